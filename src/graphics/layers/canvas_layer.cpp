#include "graphics/layers/canvas_layer.h"

#include "graphics/pixel/pixel_format.h"
#include "graphics/pixel/surface_rows.h"
#include "host/gdi/memory_dc.h"
#include "host/message_queue.h"
#include "host/presentation_sink.h"
#include "host/surface/memory_surface.h"

namespace bw {

namespace {

bool HandToWindow(host::HWND window, const ImageSurface& picture) {
  host::PresentationSink* sink = host::GetPresentationSink(window);
  return sink && picture.GetBitsPerPixel() == 32 &&
         sink->HandOver(picture.GetPixels(), picture.GetWidth(), picture.GetHeight(),
                        picture.GetPitch(), host::ScaleFilter::kNearest);
}

// An 8-bit picture converts through the palette given (its own when none).
void ConvertRect(const ImageSurface& picture, int format, const host::DdSurfaceDesc& desc, Rect r,
                 const uint32_t* palette = nullptr) {
  if (!IntersectRects(&r, r, Rect{0, 0, int32_t(desc.width), int32_t(desc.height)})) return;
  const uint8_t* row = picture.GetRowPointer(r.top);
  if (!row) return;
  if (picture.GetBitsPerPixel() == 32) {
    Rows32ToSurface(format, desc.surface, r.left, r.top, desc.pitch,
                    reinterpret_cast<const uint32_t*>(row) + r.left, picture.GetPitch(), r.Width(),
                    r.Height());
  } else {
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)PaletteRowsToSurface(format, desc.surface, r.left, r.top, desc.pitch, row + r.left,
                               picture.GetPitch(), r.Width(), r.Height(),
                               palette ? palette : picture.GetPalette());
  }
}

}  // namespace

CanvasLayer::~CanvasLayer() {
  SurfaceLayer::Release();
}

OffscreenLayer::~OffscreenLayer() {
  SurfaceLayer::Release();
}

int OffscreenLayer::Recreate(int depth) {
  const bool compose = GetCompositionLayer() != nullptr;
  return SurfaceLayer::Create(GetWidth(), GetHeight(), depth, compose);
}

bool OffscreenLayer::SetComposing(bool on) {
  const bool previous = composing_;
  composing_ = on;
  return previous;
}

void OffscreenLayer::Invalidate(const Rect* rect) {
  if (composing_ && composition_) composition_->InvalidateRect(rect);
}

int CanvasLayer::SetDepth(int bits) {
  if (!GetPixels()) return kDepthNoPixels;
  const int32_t width = GetWidth(), height = GetHeight();
  const int result = ImageSurface::Create(width, height, bits, kImageDibSection | kImageDirtyList);
  if (result != kSurfaceDone) {
    ImageSurface::Release();
    return kDepthCreateFailed;
  }
  if (CompositionLayer* composition = GetCompositionLayer()) {
    // A target without pixels leaves the layer unbound, drawing nothing.
    (void)composition->SetTarget(this, true);
    SetActiveDirtyList(nullptr);
  }
  return 0;
}

void CanvasLayer::RedrawAll() {
  if (CompositionLayer* composition = GetCompositionLayer(); composition && IsComposing()) {
    // A layer without a target has nothing to redraw.
    (void)composition->InvalidateAll();
    return;
  }
  Invalidate(nullptr);
}

int CanvasLayer::PresentFiltered(host::HWND window, host::MemoryDc* dc,
                                 host::MemorySurface* surface, int formatFlag,
                                 DirtyRectList* drawn) {
  if (int started = StartFilterFrame(); started != 0) return started;
  host::DdSurfaceDesc desc;
  int format = 0;
  if (!dc && !window) {
    if (!surface) return kPresentNoDc;
    format = formatFlag ? formatFlag : ClassifyPixelFormat(surface, nullptr, nullptr);
    if (GetBitsPerPixel() != 32 && !GetPalette()) return kPresentLockFailed;
    if (surface->Lock(&desc) != host::kDdOk) return kPresentNoDc;
  }
  // Bands the filter writes whole go straight into the context's pixels.
  ImageSurface direct;
  host::DibSection* section = dc ? dc->Selected() : nullptr;
  const bool intoDc =
      section && section->Bits() == 32 &&
      direct.CreateOver(section->Pixels(), section->Width(), section->Height()) == kSurfaceDone;
  const ImageSurface* frame = nullptr;
  bool drewDirect = false;
  DrawFilterFrame(
      [&](const ImageSurface& frameSurface, const Rect& band) {
        frame = &frameSurface;
        if (&frameSurface == &direct) {
          drewDirect = true;
        } else if (dc) {
          if (frameSurface.GetDc()) {
            // A context without a section has nothing to show the band on; the frame goes on.
            (void)host::BitBlt(*dc, band.left, band.top, band.Width(), band.Height(),
                               *frameSurface.GetDc(), band.left, band.top);
          }
        } else if (!window) {
          ConvertRect(frameSurface, format, desc, band, GetPalette());
        }
      },
      intoDc ? &direct : nullptr);
  if (drewDirect) KeepFinalFrame(direct);
  // The filter draws the whole picture, band after band.
  if (!dc && !window) (void)surface->Unlock();
  if (dc && drawn && frame) drawn->Add(Rect{0, 0, frame->GetWidth(), frame->GetHeight()});
  // A window without a context takes the finished frame whole.
  if (window && !dc && frame && !HandToWindow(window, *frame)) return kPresentNoDc;
  return EndFilterFrame();
}

int CanvasLayer::PresentFrame(host::HWND window, host::MemoryDc* dc, host::MemorySurface* surface,
                              int formatFlag, bool onlyChanged, DirtyRectList* drawn) {
  if (HasSource()) return PresentFiltered(window, dc, surface, formatFlag, drawn);
  CompositionLayer* composition = GetCompositionLayer();
  if (composition && IsComposing()) {
    // A layer without a target has nothing to redraw.
    if (!onlyChanged) (void)composition->InvalidateAll();
    if (dc) return composition->RedrawIntoDc(dc, 0, 0, drawn);
    if (window) return composition->RedrawToDc(nullptr, 0, 0, window);
    return composition->RedrawToSurface(surface, 0, 0);
  }
  DirtyRectList* dirty = GetActiveDirtyList();
  if (onlyChanged && (!IsChanged() || !dirty)) return kPresentNothingChanged;
  const Rect whole{0, 0, GetWidth(), GetHeight()};
  int result = kPresentDone;
  if (dc || window) {
    if (window && !dc) {
      if (!HandToWindow(window, *this)) return kPresentNoDc;
    } else if (!onlyChanged || !dirty->Head()) {
      // Rows the context holds already are left alone, and not named as drawn.
      int first = 0, end = 0;
      if (!onlyChanged && (!GetDc() || !host::BitBltChanged(*dc, 0, 0, whole.right, whole.bottom,
                                                            *GetDc(), 0, 0, &first, &end))) {
        return kPresentNoDc;
      }
      if (!onlyChanged && drawn && first < end) drawn->Add(Rect{0, first, whole.right, end});
    } else {
      if (!GetDc()) return kPresentNoDc;
      const RectNode* node = dirty->Head();
      do {
        const Rect& r = node->rect;
        int first = 0, end = 0;
        // Only the rows it wrote count: a copy that wrote none adds no rectangle.
        (void)host::BitBltChanged(*dc, r.left, r.top, r.Width(), r.Height(), *GetDc(), r.left,
                                  r.top, &first, &end);
        if (drawn && first < end) drawn->Add(Rect{r.left, first, r.right, end});
        node = node->next;
      } while (node != dirty->Head());
    }
  } else {
    if (!surface) return kPresentNoDc;
    const int format = formatFlag ? formatFlag : ClassifyPixelFormat(surface, nullptr, nullptr);
    host::DdSurfaceDesc desc;
    if (surface->Lock(&desc) != host::kDdOk) return onlyChanged ? kPresentLockFailed : kPresentNoDc;
    if (!onlyChanged) {
      ConvertRect(*this, format, desc, whole);
      (void)surface->Unlock();
    } else {
      if (const RectNode* node = dirty->Head()) {
        do {
          ConvertRect(*this, format, desc, node->rect);
          node = node->next;
        } while (node != dirty->Head());
      }
      (void)surface->Unlock(DdRectsOf(*dirty));
    }
  }
  if (onlyChanged) {
    dirty->Clear();
    SetChanged(false);
  }
  return result;
}

}  // namespace bw
