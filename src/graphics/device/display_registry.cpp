#include "graphics/device/display_manager.h"

#include <algorithm>
#include <new>
#include <type_traits>

#include "common/gone_notice.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/layers/layer_filter.h"
#include "graphics/layers/software_surface_layer.h"
#include "graphics/layers/text_layer.h"
#include "graphics/layers/texture_layer.h"
#include "graphics/layers/wgx_picture_layer.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/direct_draw_surface.h"
#include "graphics/surface/movie_frame_surface.h"
#include "graphics/surface/sprite.h"

namespace bw {

namespace {

template <typename T>
typename std::list<std::unique_ptr<T>>::iterator FindListed(std::list<std::unique_ptr<T>>* list,
                                                            const T* object) {
  return std::find_if(list->begin(), list->end(), [object](const std::unique_ptr<T>& listed) {
    return listed.get() == object;
  });
}

}  // namespace

template <typename Object, typename Base, typename Init>
int DisplayManager::AddObject(std::list<std::unique_ptr<Base>>* list, Object** out, int noMemory,
                              Init init) {
  if (!out) return noMemory;
  *out = nullptr;
  std::unique_ptr<Object> object(new (std::nothrow) Object);
  if (!object) return noMemory;
  if (int code = init(object.get()); code != 0) return code;
  if constexpr (std::is_base_of_v<RenderItem, Object>) {
    object->SetOwner(layerOwner_);
  } else if constexpr (std::is_base_of_v<DisplayObject, Object>) {
    object->SetTag(spriteOwner_);
  } else {
    object->SetWord3(layerOwner_);
  }
  try {
    list->push_back(nullptr);
  } catch (const std::bad_alloc&) {
    return noMemory;
  }
  *out = object.get();
  list->back() = std::move(object);
  return kDisplayDone;
}

int DisplayManager::CreateCanvasLayer(CanvasLayer** out, int32_t width, int32_t height, int depth,
                                      int options) {
  return AddObject(&layers_, out, kCreateCanvasNoMemory, [&](CanvasLayer* canvas) {
    return canvas->Create(width, height, depth, options);
  });
}

int DisplayManager::CreateDirectDrawImage(DirectDrawImageSurface** out, int32_t width,
                                          int32_t height, bool systemMemory) {
  return AddObject(&layers_, out, kCreateDirectDrawImageNoMemory,
                   [&](DirectDrawImageSurface* image) {
                     return image->Create(width, height, systemMemory, false, nullptr);
                   });
}

int DisplayManager::CreateDirectDrawImageFromFile(DirectDrawImageSurface** out, const char* name,
                                                  const uint8_t* data, size_t size, int flags) {
  return AddObject(
      &layers_, out, kCreateDirectDrawImageFromFileNoMemory, [&](DirectDrawImageSurface* image) {
        return image->Load(name, std::span<const uint8_t>(data, data ? size : 0), flags);
      });
}

int DisplayManager::CreateWgxPictureLayer(WgxPictureLayer** out, int formatCode, const char* name,
                                          const uint8_t* data, size_t size, bool systemMemory) {
  return AddObject(&layers_, out, kCreateWgxLayerNoMemory, [&](WgxPictureLayer* layer) {
    return layer->Load(formatCode, name, data, size, systemMemory);
  });
}

int DisplayManager::CreateOffscreenLayer(OffscreenLayer** out, int32_t width, int32_t height,
                                         int depth, bool compose) {
  return AddObject(&layers_, out, kCreateOffscreenNoMemory, [&](OffscreenLayer* layer) {
    return layer->Create(width, height, depth, compose);
  });
}

int DisplayManager::CreateSoftwareSurfaceLayer(SoftwareSurfaceLayer** out, int32_t width,
                                               int32_t height, int depth, int options) {
  return AddObject(&layers_, out, kCreateSoftwareLayerNoMemory, [&](SoftwareSurfaceLayer* layer) {
    return layer->Create(width, height, depth, options);
  });
}

int DisplayManager::CreateTextureLayer(TextureLayer** out, int formatCode, int32_t width,
                                       int32_t height, int depth, int options, bool systemMemory) {
  return AddObject(&layers_, out, kCreateTextureLayerNoMemory, [&](TextureLayer* layer) {
    return layer->Create(formatCode, width, height, depth, options, systemMemory);
  });
}

int DisplayManager::CreateImageSurface(ImageSurface** out, int32_t width, int32_t height, int depth,
                                       int flags) {
  return AddObject(&layers_, out, kCreateImageNoMemory,
                   [&](ImageSurface* image) { return image->Create(width, height, depth, flags); });
}

int DisplayManager::CreateImageSurfaceFromFile(ImageSurface** out, const char* name,
                                               const uint8_t* data, size_t size, int flags) {
  return AddObject(&layers_, out, kCreateImageFromFileNoMemory,
                   [&](ImageSurface* image) { return image->Load(name, data, size, flags); });
}

int DisplayManager::CreateImageSurfaceFromFile8(ImageSurface** out, const char* name,
                                                const uint8_t* data, size_t size, int flags) {
  return AddObject(&layers_, out, kCreateImageFromFileNoMemory,
                   [&](ImageSurface* image) { return image->Load8(name, data, size, flags); });
}

int DisplayManager::CreateImageSurfaceCopy(ImageSurface** out, const ImageSurface* source,
                                           int mode) {
  return AddObject(&layers_, out, kCreateImageCopyNoMemory,
                   [&](ImageSurface* image) { return image->CopyFrom(source, mode); });
}

int DisplayManager::CreateDirectDrawSurface(DirectDrawSurface** out, const char* text,
                                            TextRenderer* renderer) {
  return AddObject(&layers_, out, kCreateDirectDrawSurfaceNoMemory,
                   [&](DirectDrawSurface* surface) { return surface->Load(text, renderer); });
}

int DisplayManager::CreateTextLayer(TextLayer** out, int formatCode, const char* text,
                                    TextRenderer* renderer) {
  return AddObject(&layers_, out, kCreateTextLayerNoMemory,
                   [&](TextLayer* layer) { return layer->SetText(formatCode, text, renderer); });
}

int DisplayManager::CreateTextImageSurface(ImageSurface** out, const char* text,
                                           TextRenderer* renderer, int flags) {
  return AddObject(&layers_, out, kCreateTextImageNoMemory, [&](ImageSurface* image) {
    return image->CreateFromText(text, renderer, flags);
  });
}

int DisplayManager::AddTextRenderer(TextRenderer** out, bool outline, const char* faceName,
                                    int32_t height) {
  if (!out) return kCreateTextRendererNoMemory;
  *out = nullptr;
  TextRendererFactory* factory = Global<TextRendererFactory>::Get();
  std::unique_ptr<TextRenderer> renderer;
  try {
    if (factory)
      renderer = outline ? factory->CreateOutlineTextRenderer() : factory->CreateGdiTextRenderer();
    if (!renderer) return kCreateTextRendererNoMemory;
    if (int code = renderer->SetFont(height, false, false, faceName); code != 0) return code;
    renderers_.push_back(nullptr);
  } catch (const std::bad_alloc&) {
    return kCreateTextRendererNoMemory;
  }
  *out = renderer.get();
  renderers_.back() = std::move(renderer);
  return 0;
}

int DisplayManager::CreateGdiTextRenderer(TextRenderer** out, const char* faceName,
                                          int32_t height) {
  return AddTextRenderer(out, false, faceName, height);
}

int DisplayManager::CreateOutlineTextRenderer(TextRenderer** out, const char* faceName,
                                              int32_t height) {
  return AddTextRenderer(out, true, faceName, height);
}

void DisplayManager::ForgetTextRenderer(const TextRenderer* renderer) {
  for (const std::unique_ptr<Surface>& surface : layers_) {
    if (auto* user = dynamic_cast<TextRendererUser*>(surface.get()))
      user->ForgetTextRenderer(renderer);
  }
  if (TheDefaultTextRenderer::Get() == renderer) TheDefaultTextRenderer::Clear();
}

int DisplayManager::DestroyTextRenderer(TextRenderer** renderer) {
  if (!renderer || !*renderer) return kDestroyNull;
  const auto it = FindListed(&renderers_, *renderer);
  if (it == renderers_.end()) return kDestroyNotListed;
  ForgetTextRenderer(*renderer);
  renderers_.erase(it);
  *renderer = nullptr;
  return 0;
}

void DisplayManager::DestroyAllTextRenderers() {
  for (const std::unique_ptr<TextRenderer>& renderer : renderers_)
    ForgetTextRenderer(renderer.get());
  renderers_.clear();
}

int DisplayManager::CreateSprite(Sprite** out, ImageSurface* surface, const Rect* rect, int32_t x,
                                 int32_t y) {
  return AddObject(&sprites_, out, kCreateSpriteNoMemory,
                   [&](Sprite* sprite) { return sprite->SetImage(surface, rect, x, y); });
}

int DisplayManager::CreateColorRect(ColorRectObject** out, int32_t width, int32_t height,
                                    uint32_t argb, int32_t x, int32_t y) {
  return AddObject(&sprites_, out, kCreateColorRectNoMemory,
                   [&](ColorRectObject* rect) { return rect->Create(width, height, argb, x, y); });
}

int DisplayManager::CreateSpriteCopy(Sprite** out, const Sprite* source) {
  return AddObject(&sprites_, out, kCreateSpriteCopyNoMemory, [&](Sprite* sprite) {
    if (source) sprite->CopyFrom(*source);
    return 0;
  });
}

uint32_t DisplayManager::SetSpriteOwner(uint32_t owner) {
  const uint32_t previous = spriteOwner_;
  spriteOwner_ = owner;
  return previous;
}

int DisplayManager::DestroySprite(DisplayObject* sprite) {
  if (!sprite) return kDestroyNull;
  const auto it = FindListed(&sprites_, sprite);
  if (it == sprites_.end()) return kDestroyNotListed;
  NotifyGone(it->get());
  sprites_.erase(it);
  return 0;
}

int DisplayManager::DestroySpriteAndClear(DisplayObject** sprite) {
  if (!sprite) return kDestroyNull;
  const int code = DestroySprite(*sprite);
  if (code == 0) *sprite = nullptr;
  return code;
}

void DisplayManager::DestroySpritesOfOwner(uint32_t owner, bool allBut) {
  sprites_.remove_if([&](const std::unique_ptr<DisplayObject>& s) {
    if ((s->GetTag() == owner) == allBut) return false;
    NotifyGone(s.get());
    return true;
  });
}

// Every user hears of a sprite's end while it is still whole (tasks that step it, the cursor
// that draws with it); its own destructor tells them again, harmlessly.
void DisplayManager::DestroyAllSprites() {
  for (const std::unique_ptr<DisplayObject>& sprite : sprites_) NotifyGone(sprite.get());
  sprites_.clear();
}

int DisplayManager::CreateMovieFrameSurface(MovieFrameSurface** out, int32_t width,
                                            int32_t height) {
  return AddObject(&layers_, out, kCreateMovieFrameNoMemory,
                   [&](MovieFrameSurface* frame) { return frame->Create(width, height); });
}

int DisplayManager::RestoreLayers(int argument) {
  for (const std::unique_ptr<Surface>& surface : layers_) {
    if (int code = surface->Restore(argument); code != 0) return code;
  }
  // A state the device refuses leaves the one it has.
  if (GetDevice()) (void)RenderStateCache();
  return renderList_.Restore();
}

int DisplayManager::CreateSpritePrimitive(SpritePrimitive** out, Surface* source, const Rect* rect,
                                          int32_t x, int32_t y) {
  return AddObject(&items_, out, kCreateSpriteItemNoMemory,
                   [&](SpritePrimitive* item) { return item->Init(source, rect, x, y); });
}

int DisplayManager::CreateLayerSpritePrimitive(LayerSpritePrimitive** out,
                                               SoftwareSurfaceLayer* layer, const Rect* rect,
                                               int32_t x, int32_t y) {
  return AddObject(&items_, out, kCreateLayerSpriteNoMemory,
                   [&](LayerSpritePrimitive* item) { return item->Init(layer, rect, x, y); });
}

int DisplayManager::CreateLayerD3DSpritePrimitive(LayerD3DSpritePrimitive** out,
                                                  TextureLayer* layer, const Rect* rect, int32_t x,
                                                  int32_t y) {
  return AddObject(&items_, out, kCreateLayerD3DSpriteNoMemory,
                   [&](LayerD3DSpritePrimitive* item) { return item->Init(layer, rect, x, y); });
}

int DisplayManager::CreateTransitionPrimitive(TransitionPrimitive** out, Surface* drawn,
                                              Surface* target, int mode, int32_t x, int32_t y,
                                              int32_t progress) {
  return AddObject(&items_, out, kCreateTransitionNoMemory, [&](TransitionPrimitive* item) {
    return item->Init(drawn, target, mode, x, y, progress, 0, 0);
  });
}

int DisplayManager::CreateD3DSpritePrimitive(D3DSpritePrimitive** out, Layer* texture,
                                             const Rect* rect, int32_t x, int32_t y) {
  return AddObject(&items_, out, kCreateD3DSpriteNoMemory,
                   [&](D3DSpritePrimitive* item) { return item->Init(texture, rect, x, y); });
}

int DisplayManager::CreateD3DRectPrimitive(D3DRectPrimitive** out, int32_t width, int32_t height,
                                           uint32_t argb, int32_t x, int32_t y) {
  return AddObject(&items_, out, kCreateRectNoMemory,
                   [&](D3DRectPrimitive* item) { return item->Set(width, height, argb, x, y); });
}

int DisplayManager::CreateD3DTrianglePrimitive(D3DTrianglePrimitive** out, const int32_t xs[3],
                                               const int32_t ys[3], uint32_t argb, int32_t x,
                                               int32_t y) {
  return AddObject(&items_, out, kCreateTriangleNoMemory,
                   [&](D3DTrianglePrimitive* item) { return item->Set(xs, ys, argb, x, y); });
}

int DisplayManager::CreateD3DPolygonPrimitive(D3DPolygonPrimitive** out, size_t count, int32_t* xs,
                                              int32_t* ys, uint32_t argb, uint8_t type,
                                              bool borrow) {
  return AddObject(&items_, out, kCreatePolygonNoMemory, [&](D3DPolygonPrimitive* item) {
    return item->SetPoints(count, xs, ys, argb, type, borrow);
  });
}

int DisplayManager::CreateD3DRenderStatePrimitive(D3DRenderStatePrimitive** out) {
  return AddObject(&items_, out, kCreateStateNoMemory, [](D3DRenderStatePrimitive*) { return 0; });
}

int DisplayManager::CreateD3DBlendStatePrimitive(D3DBlendStatePrimitive** out) {
  return AddObject(&items_, out, kCreateStateNoMemory, [](D3DBlendStatePrimitive*) { return 0; });
}

void DisplayManager::ForgetLinksTo(Surface* dying) {
  // The device keeps the bound texture for a later restore: it must not outlive the picture.
  host::MemorySurface* picture = DirectDrawSurfaceOf(dying);
  // A state the device refuses leaves the one it has.
  if (picture && GetDevice() && GetDevice()->GetTexture(0) == picture) (void)SetTexture(nullptr);
  const auto* dyingLayer = dynamic_cast<SurfaceLayer*>(dying);
  if (!dyingLayer) return;
  for (const std::unique_ptr<Surface>& surface : layers_) {
    auto* layer = dynamic_cast<SurfaceLayer*>(surface.get());
    if (!layer || layer->GetLinkedLayer() != dyingLayer) continue;
    // A two-layer filter reads the partner: it stops before the partner goes.
    LayerFilter* filter = layer->GetSource();
    if (filter && filter->GetKind() < kFilterTwoLayerLimit) layer->DetachSource(false);
    // A null one only unlinks, which cannot fail.
    (void)layer->SetLinkedLayer(nullptr);
  }
}

void DisplayManager::DetachFiltersWhere(const std::function<bool(const LayerFilter&)>& which) {
  for (const std::unique_ptr<Surface>& surface : layers_) {
    auto* layer = dynamic_cast<SurfaceLayer*>(surface.get());
    if (layer && layer->HasSource() && which(*layer->GetSource())) layer->DetachSource(false);
  }
}

int DisplayManager::DestroyLayer(Surface* layer) {
  if (!layer) return kDestroyNull;
  const auto it = FindListed(&layers_, layer);
  if (it == layers_.end()) return kDestroyNotListed;
  ForgetLinksTo(layer);
  layers_.erase(it);
  return 0;
}

int DisplayManager::DestroyLayerAndClear(Surface** layer) {
  if (!layer) return kDestroyNull;
  const int code = DestroyLayer(*layer);
  if (code == 0) *layer = nullptr;
  return code;
}

int DisplayManager::DestroyRenderItem(RenderItem* item) {
  if (!item) return kDestroyNull;
  const auto it = FindListed(&items_, item);
  if (it == items_.end()) return kDestroyNotListed;
  items_.erase(it);
  return 0;
}

void DisplayManager::DestroyObjectsOfOwner(uint32_t owner, int flags) {
  const bool allBut = (flags & kOwnerAllBut) != 0;
  items_.remove_if(
      [&](const std::unique_ptr<RenderItem>& item) { return (item->Owner() == owner) != allBut; });
  if (!(flags & kOwnerAlsoLayers)) return;
  for (auto it = layers_.begin(); it != layers_.end();) {
    if (((*it)->GetWord3() == owner) == allBut) {
      ++it;
      continue;
    }
    ForgetLinksTo(it->get());
    it = layers_.erase(it);
  }
}

void DisplayManager::DestroyAllLayers() {
  items_.clear();
  DestroyAllSprites();
  // Links and filters between dying layers are dropped before any of them goes.
  for (const std::unique_ptr<Surface>& surface : layers_) ForgetLinksTo(surface.get());
  layers_.clear();
  renderList_.Clear();
}

}  // namespace bw
