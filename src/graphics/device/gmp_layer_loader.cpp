#include "graphics/device/gmp_layer_loader.h"

#include "graphics/device/display_manager.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "platform/app_paths.h"
#include "resource/files/file.h"

namespace bw {

int ReadGmpTable(const char* name, bool layerOnlyAllowed, GmpFile* file, std::string* folder) {
  File bytes;
  if (!name || bytes.Load(name) != kFileOk) return kGmpCannotRead;
  // A screen in the game's own folder has no folder part: its pictures are named bare.
  *folder = name;
  if (CutFileName(*folder).empty()) folder->clear();
  return ParseGmp({static_cast<const uint8_t*>(bytes.GetData()), bytes.GetSize()}, layerOnlyAllowed,
                  file);
}

int LoadGmpBackground(DisplayManager* display, const GmpFile& file, const std::string& folder,
                      bool withBackground, bool eightBit, ImageSurface** out) {
  *out = nullptr;
  if (file.background.empty()) return kGmpLoaded;
  if (!withBackground) return kGmpBackgroundRefused;
  std::string path = folder + file.background;
  int result = eightBit ? display->CreateImageSurfaceFromFile8(out, path.c_str(), nullptr, 0, 0)
                        : display->CreateImageSurfaceFromFile(out, path.c_str(), nullptr, 0, 0);
  if (result != 0) {
    *out = nullptr;
    return kGmpNoBackground;
  }
  return kGmpLoaded;
}

void ShowGmpBackground(CompositionLayer* owner, ImageSurface* background) {
  // A picture without pixels leaves the background as it was.
  if (owner && background) (void)owner->SetBackgroundImage(background, 0, 0, true);
}

void GmpLayerLoader::Clear() {
  if (display_) {
    for (Sprite* sprite : sprites_) {
      // One the manager does not hold is gone already.
      if (sprite) (void)display_->DestroySprite(sprite);
    }
    for (ImageSurface* surface : surfaces_) {
      // One the manager does not hold is gone already.
      if (surface) (void)display_->DestroyLayer(surface);
    }
    // One the manager does not hold is gone already.
    if (background_) (void)display_->DestroyLayer(background_);
  }
  sprites_.clear();
  surfaces_.clear();
  records_.clear();
  background_ = nullptr;
  display_ = nullptr;
}

int GmpLayerLoader::Load(CompositionLayer* owner, DisplayManager* display, const char* name,
                         DisplayObjectList* list, uint32_t priority, bool eightBit,
                         bool withBackground) {
  Clear();
  if (!owner || !display || !name) return kGmpBadArguments;
  GmpFile file;
  std::string folder;
  int result = ReadGmpTable(name, true, &file, &folder);
  if (result != kGmpLoaded) return result;
  display_ = display;
  result = LoadGmpBackground(display, file, folder, withBackground, eightBit, &background_);
  if (result != kGmpLoaded) return result;
  for (const GmpEntry& e : file.entries) {
    std::string path = folder + e.name;
    ImageSurface* surface = nullptr;
    Sprite* sprite = nullptr;
    if (display->CreateImageSurfaceFromFile(&surface, path.c_str(), nullptr, 0, 0) != 0) {
      Clear();
      return kGmpPartFailedFirst;
    }
    surfaces_.push_back(surface);
    if (display->CreateSprite(&sprite, surface, nullptr, e.x, e.y) != 0) {
      Clear();
      return kGmpPartFailedFirst;
    }
    sprites_.push_back(sprite);
    GmpRecord record{e.width, e.height, e.stateCode};
    if (e.kind == kGmpLayerOnly) {
      record = {static_cast<uint16_t>(surface->GetWidth()),
                static_cast<uint16_t>(surface->GetHeight()), 1};
    }
    records_.push_back(record);
    sprite->SetAlpha(e.alpha);
    sprite->SetVisible(e.visible);
  }
  // Listed only once the whole screen is made.
  if (list) {
    // An object already listed stays where it is.
    for (Sprite* sprite : sprites_) (void)list->AddAfterEqual(sprite, priority, 0);
  }
  ShowGmpBackground(owner, background_);
  return kGmpLoaded;
}

void GmpLayerLoader::Forget(const void* object) {
  // The notice names the object by its base: a sprite as a display object, a picture as a
  // surface.
  for (Sprite*& sprite : sprites_) {
    if (sprite && static_cast<const DisplayObject*>(sprite) == object) sprite = nullptr;
  }
  for (ImageSurface*& surface : surfaces_) {
    if (surface && static_cast<const Surface*>(surface) == object) surface = nullptr;
  }
  if (background_ && static_cast<const Surface*>(background_) == object) background_ = nullptr;
}

}  // namespace bw
