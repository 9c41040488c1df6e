#include <algorithm>
#include <utility>
#include <vector>

#include "graphics/layers/surface_layer.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/directdraw_image_surface.h"
#include "host/clock.h"
#include "host/gdi/memory_dc.h"
#include "host/surface/memory_surface.h"

namespace bw {
namespace {

ImageSurface* BackgroundOf(const SurfaceLayer* layer) {
  ImageSurface* picture = nullptr;
  if (const CompositionLayer* composition = layer ? layer->GetCompositionLayer() : nullptr) {
    composition->GetBackground(&picture, nullptr, nullptr, nullptr, nullptr, nullptr);
  }
  return picture;
}

// Brings a composed picture up to date without the list drawn above it.
void RedrawWithoutUpper(CompositionLayer* composition) {
  if (!composition) return;
  DisplayObjectList* upper = composition->GetSecondList();
  composition->SetSecondList(nullptr);
  // A frame that is not shown is drawn again on the next turn.
  (void)composition->RedrawDirty(nullptr, nullptr, 0, 0);
  composition->SetSecondList(upper);
}

// The visible display objects drawn over the filter, each list from its tail, with where each
// lies: gathered once a frame, so that a band draws only those that reach it instead of walking
// the lists again.
void GatherOverFilter(DisplayObjectList* const lists[2],
                      std::vector<std::pair<DisplayObject*, Rect>>& objects) {
  objects.clear();
  for (int i = 0; i < 2; ++i) {
    if (!lists[i]) continue;
    const auto& nodes = lists[i]->Nodes();
    for (auto node = nodes.rbegin(); node != nodes.rend(); ++node) {
      DisplayObject* object = node->object;
      if (!object->IsVisible() || object->GetAlpha() <= 0) continue;
      Rect rect;
      object->GetRect(&rect);
      if (!rect.IsEmpty()) objects.emplace_back(object, rect);
    }
  }
}

// Draws the filter's band, then the gathered objects that reach it.
void DrawFilterBand(LayerFilter* filter, const FilterBand& band,
                    const std::vector<std::pair<DisplayObject*, Rect>>& objects) {
  filter->DrawBand(band);
  for (const auto& [object, rect] : objects) {
    // An object that cannot draw leaves its area as it was.
    if (IntersectRects(nullptr, rect, band.band)) (void)object->Draw(band.target, band.band);
  }
}

// Whether the filter may draw into direct: a 32-bit picture of the layer's size that holds none
// of the pictures the filter reads.
bool DrawableDirectly(const ImageSurface& direct, const ImageSurface& picture,
                      const FilterBand& band) {
  const uint8_t* pixels = direct.GetPixels();
  return pixels && direct.GetBitsPerPixel() == 32 && picture.GetBitsPerPixel() == 32 &&
         direct.GetWidth() == picture.GetWidth() && direct.GetHeight() == picture.GetHeight() &&
         pixels != picture.GetPixels() && (!band.first || pixels != band.first->GetPixels()) &&
         (!band.second || pixels != band.second->GetPixels());
}

int CopyBand(DirectDrawImageSurface& target, const ImageSurface& from, const Rect& band,
             host::MemoryDc* dc, host::DdSurfaceDesc* locked) {
  if (dc) {
    return from.GetDc() && host::BitBlt(*dc, band.left, band.top, band.Width(), band.Height(),
                                        *from.GetDc(), band.left, band.top)
               ? 0
               : kUpdateNoAccess;
  }
  return target.CopyFromImage(&from, band.left, band.top, &band, locked) == 0 ? 0 : kUpdateNoAccess;
}

}  // namespace

int SurfaceLayer::UpdateDirectDraw(DirectDrawImageSurface& target, bool dirtyOnly) {
  host::MemorySurface* surface = target.GetDirectDrawSurface();
  if (!surface) return kUpdateNoSurface;
  if (filter_) {
    // A frame that is not shown is drawn again on the next turn.
    (void)RunFilter(target);
    return kUpdateDone;
  }
  ImageSurface* picture = GetImage();
  CompositionLayer* composition = GetCompositionLayer();
  if (composing_ && composition) {
    // A layer without a target has nothing to redraw.
    if (!dirtyOnly) (void)composition->InvalidateAll();
    const int result = picture->GetDc() ? composition->RedrawToDc(surface, 0, 0, host::HWND{})
                                        : composition->RedrawToSurface(surface, 0, 0);
    return result == 0 ? kUpdateDone : result + 1;
  }
  const Rect whole{0, 0, picture->GetWidth(), picture->GetHeight()};
  DirtyRectList* dirty = picture->GetActiveDirtyList();
  if (dirtyOnly && (!picture->IsChanged() || !dirty)) return kUpdateNothing;
  host::MemoryDc* dc = nullptr;
  host::DdSurfaceDesc desc;
  if (picture->GetDc()) {
    if (surface->GetDC(&dc) != host::kDdOk) return kUpdateNoAccess;
  } else if (surface->Lock(&desc) != host::kDdOk) {
    return kUpdateNoAccess;
  }
  int result = kUpdateDone;
  if (!dirtyOnly) {
    result = CopyBand(target, *picture, whole, dc, &desc);
  } else {
    if (CoalesceDirty()) dirty->Coalesce();
    if (const RectNode* node = dirty->Head()) {
      do {
        if (int r = CopyBand(target, *picture, node->rect, dc, &desc); r != 0) result = r;
        node = node->next;
      } while (node != dirty->Head());
    }
    dirty->Clear();
    picture->SetChanged(false);
  }
  if (dc) {
    if (surface->ReleaseDC(dc) != host::kDdOk) return kUpdateNotReleased;
  } else {
    // Unlocking what was locked just above cannot fail.
    (void)surface->Unlock();
  }
  return result;
}

int SurfaceLayer::StartFilterFrame() {
  LayerFilter* filter = filter_;
  if (int done = filter->Update(host::GetTickCount()); done != 0) {
    DetachSource(applyOnDetach_);
    return done;
  }
  return backing_ ? 0 : kFilterNoAccess;
}

void SurfaceLayer::DrawFilterFrame(const BandSink& sink, ImageSurface* direct) {
  LayerFilter* filter = filter_;
  ImageSurface* picture = GetImage();
  ImageSurface* backing = backing_.get();
  const bool twoLayer = filter->GetKind() < kFilterTwoLayerLimit;
  CompositionLayer* composition = GetCompositionLayer();
  const bool composed = composing_ && composition;
  FilterBand band{backing, {}, picture, twoLayer && linked_ ? linked_->GetImage() : nullptr};
  DisplayObjectList* lists[2] = {nullptr, nullptr};
  // The pages the filter reads, brought up to date band by band when it reads only its band's
  // rows: each band of them is then drawn and read while it is still in the cache.
  CompositionLayer* pages[2] = {nullptr, nullptr};
  if (attachMode_ == kAttachPlain) {
    if (composed && !composition->SkipsSecond()) lists[0] = upper_.get();
  } else if (attachMode_ == kAttachExchangeObjects) {
    CompositionLayer* linkedPage = twoLayer && linked_ ? linked_->GetCompositionLayer() : nullptr;
    CompositionLayer* ownPage = composed ? composition : nullptr;
    if (filter->ReadsOnlyItsRows()) {
      if (linkedPage && linkedPage->StartRows(false)) pages[0] = linkedPage;
      if (ownPage && ownPage->StartRows(false)) pages[1] = ownPage;
    } else {
      RedrawWithoutUpper(linkedPage);
      RedrawWithoutUpper(ownPage);
    }
    if (composition && !composition->SkipsSecond()) lists[0] = upper_.get();
  } else {
    band.first = BackgroundOf(this);
    band.second = twoLayer ? BackgroundOf(linked_) : nullptr;
    if (composed) {
      if (!composition->SkipsOwn()) lists[0] = &composition->GetList();
      if (!composition->SkipsSecond()) lists[1] = upper_.get();
    }
  }
  const int32_t width = picture->GetWidth(), height = picture->GetHeight();
  const int32_t rows = !(filter->GetKind() & 1) && BandedRedraw() ? BandHeight(width) : height;
  if (direct && !DrawableDirectly(*direct, *picture, band)) direct = nullptr;
  GatherOverFilter(lists, overFilter_);
  backingBehind_ = false;
  for (int32_t top = 0; top < height; top += rows) {
    band.band = {0, top, width, std::min(height, top + rows)};
    for (CompositionLayer* page : pages) {
      if (page) page->RedrawRows(band.band.top, band.band.bottom, false);
    }
    band.target = direct;
    if (!direct || !filter->WritesWholeBand(band)) band.target = backing;
    if (band.target != backing) backingBehind_ = true;
    DrawFilterBand(filter, band, overFilter_);
    sink(*band.target, band.band);
  }
  for (CompositionLayer* page : pages) {
    if (page) page->FinishRows();
  }
}

void SurfaceLayer::KeepFinalFrame(const ImageSurface& direct) {
  const ImageSurface* backing = backing_.get();
  if (!filter_ || !filter_->IsDone() || !backing || !backing->GetDc() || !direct.GetDc()) return;
  // Both contexts hold their surfaces' sections (checked above): the copy is made.
  (void)host::BitBlt(*backing->GetDc(), 0, 0, backing->GetWidth(), backing->GetHeight(),
                     *direct.GetDc(), 0, 0);
  backingBehind_ = false;
}

void SurfaceLayer::StopSource() {
  // The filter has not moved on since that frame: drawn again, it draws the same, unless the
  // pages it reads changed in between.
  if (filter_ && backingBehind_ && backing_)
    DrawFilterFrame([](const ImageSurface&, const Rect&) {});
  backingBehind_ = false;
  DetachSource(applyOnDetach_);
}

int SurfaceLayer::EndFilterFrame() {
  if (!filter_ || !filter_->IsDone()) return 0;
  DetachSource(applyOnDetach_);
  return 1;
}

int SurfaceLayer::RunFilter(DirectDrawImageSurface& target) {
  if (int started = StartFilterFrame(); started != 0) return started;
  host::MemorySurface* surface = target.GetDirectDrawSurface();
  host::MemoryDc* dc = nullptr;
  host::DdSurfaceDesc desc;
  if (GetImage()->GetDc()) {
    if (surface->GetDC(&dc) != host::kDdOk) return kFilterNoAccess;
  } else if (surface->Lock(&desc) != host::kDdOk) {
    return kFilterNoAccess;
  }
  DrawFilterFrame([&](const ImageSurface& backing, const Rect& band) {
    CopyBand(target, backing, band, dc, &desc);
  });
  if (dc) {
    if (surface->ReleaseDC(dc) != host::kDdOk) return kUpdateNotReleased;
  } else {
    (void)surface->Unlock();
  }
  return EndFilterFrame();
}

}  // namespace bw
