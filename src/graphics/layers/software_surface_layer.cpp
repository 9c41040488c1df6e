#include "graphics/layers/software_surface_layer.h"

#include <algorithm>
#include <atomic>

#include "common/global.h"
#include "graphics/device/direct_draw_device.h"
#include "graphics/surface/composition_layer.h"
#include "host/clock.h"
#include "host/gdi/memory_dc.h"
#include "host/surface/memory_surface.h"

namespace bw {
namespace {

std::atomic<bool> dcImages{false};

int PictureFlags() { return dcImages ? kImageDibSection | kImageDirtyList : kImageDirtyList; }

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
  composition->RedrawDirty(nullptr, nullptr, 0, 0);
  composition->SetSecondList(upper);
}

}  // namespace

void SetLayerDcImages(bool on) { dcImages = on; }
bool LayerDcImages() { return dcImages; }

void DrawFilterBand(FilterEffect* filter, const FilterBand& band,
                    DisplayObjectList* const lists[2]) {
  filter->DrawBand(band);
  for (int i = 0; i < 2; ++i) {
    if (!lists[i]) continue;
    const auto& nodes = lists[i]->Nodes();
    for (auto node = nodes.rbegin(); node != nodes.rend(); ++node) {
      DisplayObject* object = node->object;
      if (object->IsVisible() && object->GetAlpha() > 0) object->Draw(band.target, band.band);
    }
  }
}

SoftwareSurfaceLayer::SoftwareSurfaceLayer(DirectDrawDevice* device) {
  if (device) Global<DirectDrawDevice>::Set(device);
}

SoftwareSurfaceLayer::~SoftwareSurfaceLayer() {
  surface_.Release();
  SurfaceLayer::Release();
}

void SoftwareSurfaceLayer::Reset() {
  SurfaceLayer::Release();
  surface_.Release();
  colorKey_ = kNoColorKey;
}

int SoftwareSurfaceLayer::CreateDdSurface(int32_t width, int32_t height) {
  const int result = surface_.Create(width, height, false, false, nullptr);
  if (result == 0) return 0;
  return result == kDdsNoDirectDraw || result == kDdsNoDevice ? kDdSurfaceNoDirectDraw
                                                              : kDdSurfaceCreateFailed;
}

int SoftwareSurfaceLayer::Create(int32_t width, int32_t height, int depth, int options) {
  if (!Global<DirectDrawDevice>::Get()) return kSoftLayerNoDevice;
  Reset();
  const int result = Build(width, height, depth, options);
  if (result != 0) {
    Reset();
    ImageSurface::Release();
  }
  return result;
}

int SoftwareSurfaceLayer::Build(int32_t width, int32_t height, int depth, int options) {
  if (options < kLayerPlain || options > kLayerComposedWithUpperList) return kSoftLayerOtherFailure;
  if (CreateDdSurface(width, height) != 0) return kSoftLayerNoSurface;
  if (ImageSurface::Create(width, height, depth, PictureFlags()) != kSurfaceDone) {
    return kSoftLayerNoPicture;
  }
  SetActiveDirtyList(GetDirtyList());
  if (options != kLayerPlain) {
    switch (Compose(options)) {
      case kLayerDone: break;
      case kLayerNoMemory: return kSoftLayerNoMemory;
      case kLayerTargetRefused: return kSoftLayerTargetRefused;
      default: return kSoftLayerOtherFailure;
    }
  }
  Fill(0, nullptr);
  if (surface_.FillColor(0, 0, 0) != 0) return kSoftLayerOtherFailure;
  // Both start black: nothing to copy yet.
  if (DirtyRectList* dirty = GetActiveDirtyList()) dirty->Clear();
  SetChanged(false);
  return 0;
}

int SoftwareSurfaceLayer::Recreate(int depth) {
  if (!GetDirectDrawSurface()) return kRecreateNoSurface;
  if (ImageSurface::Create(GetWidth(), GetHeight(), depth, PictureFlags()) != kSurfaceDone) {
    Reset();
    ImageSurface::Release();
    return kRecreateFailed;
  }
  if (CompositionLayer* composition = GetCompositionLayer()) {
    composition->SetTarget(this, true);
    SetActiveDirtyList(nullptr);
  } else {
    SetActiveDirtyList(GetDirtyList());
  }
  return 0;
}

int SoftwareSurfaceLayer::CopyBand(const ImageSurface& from, const Rect& band, host::MemoryDc* dc,
                                   host::DdSurfaceDesc* locked) {
  if (dc) {
    return from.GetDc() && host::BitBlt(*dc, band.left, band.top, band.Width(), band.Height(),
                                        *from.GetDc(), band.left, band.top)
               ? 0
               : kUpdateNoAccess;
  }
  return surface_.CopyFromImage(&from, band.left, band.top, &band, locked) == 0 ? 0
                                                                              : kUpdateNoAccess;
}

int SoftwareSurfaceLayer::UpdateSurface(bool dirtyOnly) {
  host::MemorySurface* surface = GetDirectDrawSurface();
  if (!surface) return kUpdateNoSurface;
  if (filter_) {
    RunFilter();
    return kUpdateDone;
  }
  CompositionLayer* composition = GetCompositionLayer();
  if (composing_ && composition) {
    if (!dirtyOnly) composition->InvalidateAll();
    const int result = GetDc() ? composition->RedrawToDc(surface, 0, 0, host::HWND{})
                               : composition->RedrawToSurface(surface, 0, 0);
    return result == 0 ? kUpdateDone : result + 1;
  }
  const Rect whole{0, 0, GetWidth(), GetHeight()};
  DirtyRectList* dirty = GetActiveDirtyList();
  if (dirtyOnly && (!IsChanged() || !dirty)) return kUpdateNothing;
  host::MemoryDc* dc = nullptr;
  host::DdSurfaceDesc desc;
  if (GetDc()) {
    if (surface->GetDC(&dc) != host::kDdOk) return kUpdateNoAccess;
  } else if (surface->Lock(&desc) != host::kDdOk) {
    return kUpdateNoAccess;
  }
  int result = kUpdateDone;
  if (!dirtyOnly) {
    result = CopyBand(*this, whole, dc, &desc);
  } else {
    if (CoalesceDirty()) dirty->Coalesce();
    if (const RectNode* node = dirty->Head()) {
      do {
        if (int r = CopyBand(*this, node->rect, dc, &desc); r != 0) result = r;
        node = node->next;
      } while (node != dirty->Head());
    }
    dirty->Clear();
    SetChanged(false);
  }
  if (dc) {
    if (surface->ReleaseDC(dc) != host::kDdOk) return kUpdateNotReleased;
  } else {
    surface->Unlock();
  }
  return result;
}

int SoftwareSurfaceLayer::RunFilter() {
  FilterEffect* filter = filter_;
  if (int done = filter->Update(host::GetTickCount()); done != 0) {
    DetachSource(applyOnDetach_);
    return done;
  }
  host::MemorySurface* surface = GetDirectDrawSurface();
  ImageSurface* backing = backing_.get();
  if (!backing) return kFilterNoAccess;
  const bool twoLayer = filter->GetKind() < kFilterTwoLayerLimit;
  CompositionLayer* composition = GetCompositionLayer();
  const bool composed = composing_ && composition;
  FilterBand band{backing, {}, this, twoLayer && linked_ ? linked_->GetImage() : nullptr};
  DisplayObjectList* lists[2] = {nullptr, nullptr};
  if (attachMode_ == kAttachPlain) {
    if (composed && !composition->SkipsSecond()) lists[0] = upper_.get();
  } else if (attachMode_ == kAttachExchangeObjects) {
    if (twoLayer && linked_) RedrawWithoutUpper(linked_->GetCompositionLayer());
    if (composed) RedrawWithoutUpper(composition);
    if (composition && !composition->SkipsSecond()) lists[0] = upper_.get();
  } else {
    band.first = BackgroundOf(this);
    band.second = twoLayer ? BackgroundOf(linked_) : nullptr;
    if (composed) {
      if (!composition->SkipsOwn()) lists[0] = &composition->GetList();
      if (!composition->SkipsSecond()) lists[1] = upper_.get();
    }
  }
  host::MemoryDc* dc = nullptr;
  host::DdSurfaceDesc desc;
  if (GetDc()) {
    if (surface->GetDC(&dc) != host::kDdOk) return kFilterNoAccess;
  } else if (surface->Lock(&desc) != host::kDdOk) {
    return kFilterNoAccess;
  }
  const int32_t width = GetWidth(), height = GetHeight();
  const int32_t rows = !(filter->GetKind() & 1) && BandedRedraw() ? BandHeight(width) : height;
  for (int32_t top = 0; top < height; top += rows) {
    band.band = {0, top, width, std::min(height, top + rows)};
    DrawFilterBand(filter, band, lists);
    CopyBand(*backing, band.band, dc, &desc);
  }
  if (dc) {
    if (surface->ReleaseDC(dc) != host::kDdOk) return kUpdateNotReleased;
  } else {
    surface->Unlock();
  }
  if (filter->IsDone()) {
    DetachSource(applyOnDetach_);
    return 1;
  }
  return 0;
}

int SoftwareSurfaceLayer::SetColorKeyRgb(int r, int g, int b) {
  colorKey_ = kNoColorKey;
  switch (surface_.SetColorKeyRgb(r, g, b)) {
    case 0: break;
    case kDdsNoSurface: return kLayerKeyNoSurface;
    case kDdsKeyNoFormat: return kLayerKeyNoFormat;
    default: return kLayerKeyRefused;
  }
  colorKey_ = surface_.GetColorKeyRgb();
  return 0;
}

int SoftwareSurfaceLayer::SetColorKeyFromPixel(int32_t x, int32_t y) {
  if (!GetDirectDrawSurface() || x < 0 || y < 0 || x >= GetWidth() || y >= GetHeight()) {
    return kLayerKeyNoSurface;
  }
  const uint8_t* row = GetRowPointer(y);
  uint32_t rgb;
  if (GetBitsPerPixel() == 8) {
    const uint32_t* palette = GetPalette();
    rgb = palette ? palette[row[x]] : row[x] * 0x010101u;
  } else {
    rgb = reinterpret_cast<const uint32_t*>(row)[x];
  }
  return SetColorKeyRgb(int(rgb >> 16 & 0xFF), int(rgb >> 8 & 0xFF), int(rgb & 0xFF));
}

int SoftwareSurfaceLayer::ClearColorKey() {
  if (colorKey_ == kNoColorKey) return 0;
  host::MemorySurface* surface = GetDirectDrawSurface();
  if (!surface) return kLayerKeyNoSurface;
  if (surface->SetColorKey(host::kDdCKeySrcBlt, nullptr) != host::kDdOk) return kLayerKeyNoFormat;
  surface_.ClearColorKey();
  colorKey_ = kNoColorKey;
  return 0;
}

int SoftwareSurfaceLayer::Restore(int onlyIfLost) {
  host::MemorySurface* surface = GetDirectDrawSurface();
  if (!surface || (onlyIfLost && surface->IsLost() == host::kDdOk)) return 0;
  const uint32_t key = colorKey_;
  if (CreateDdSurface(GetWidth(), GetHeight()) != 0) return kLayerRestoreSurface;
  colorKey_ = kNoColorKey;
  if (UpdateSurface(false) > 0) return kLayerRestoreUpdate;
  if (key != kNoColorKey &&
      SetColorKeyRgb(int(key >> 16 & 0xFF), int(key >> 8 & 0xFF), int(key & 0xFF)) != 0) {
    return kLayerRestoreKey;
  }
  return 0;
}

}  // namespace bw
