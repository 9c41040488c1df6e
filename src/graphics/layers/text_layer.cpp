#include "graphics/layers/text_layer.h"

#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "common/global.h"
#include "graphics/device/direct3d_device.h"
#include "graphics/layers/wgx_picture_layer.h"
#include "graphics/pixel/mask_kernels.h"
#include "graphics/pixel/pixel_format.h"
#include "graphics/pixel/rows8_kernels.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/pixel/text_kernels.h"
#include "graphics/surface/directdraw_ops.h"
#include "graphics/surface/image_surface.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

// The supersampled picture's factor, and the grey each of its pixels counts: 16 of them fold
// into 0..240.
constexpr int kSupersample = 4;
constexpr uint8_t kSubpixelGrey = 15;
// The GDI renderer's one-pixel edge.
constexpr int kEdgeRadius = 1;
constexpr int32_t kEdgeStrength = 512;

// What one drawing needs: the target, the renderer, the text and where it is drawn.
struct TextJob {
  DirectDrawImageSurface& target;
  TextRenderer& renderer;
  const char* text;
  TextBox box;
  int formatCode;  // the layer's; 64 and above have alpha
};

bool HasAlpha(int formatCode) {
  return formatCode >= kFormat1555;
}

// Copies a work picture into the target's top-left corner through the target's own format.
int CopyInto(DirectDrawImageSurface& target, const ImageSurface& picture, int failure) {
  return target.CopyFromImage(&picture, 0, 0, nullptr, nullptr) == 0 ? 0 : failure;
}

// Writes an 8-bit mask into the alpha bits of the target's first w x h pixels.
int WriteAlpha(DirectDrawImageSurface& target, const uint8_t* mask, ptrdiff_t maskPitch, int32_t w,
               int32_t h) {
  host::MemorySurface* surface = target.GetDirectDrawSurface();
  host::DdSurfaceDesc desc;
  if (surface->Lock(&desc) != host::kDdOk) return kTextDrawLockFailed;
  WriteAlphaPlane(target.GetFormatCode(), desc.surface, 0, 0, w, h, desc.pitch, mask, 0, 0,
                  maskPitch);
  return surface->Unlock() == host::kDdOk ? 0 : kTextDrawUnlockFailed;
}

// GDI draws straight into the target's context; on formats with alpha the alpha is inverted
// afterwards, since GDI leaves 0 where it paints.
int DrawGdiDirect(const TextJob& job) {
  host::MemorySurface* surface = job.target.GetDirectDrawSurface();
  const TextColor back = job.renderer.GetBackColor();
  const bool alpha = HasAlpha(job.formatCode);
  if (FillSurfaceRect(surface, nullptr, back.r, back.g, back.b, nullptr, alpha ? 255 : 0) !=
      kFillDone) {
    return kTextDrawFillFailed;
  }
  host::MemoryDc* dc = nullptr;
  if (surface->GetDC(&dc) != host::kDdOk) return kTextDrawDcFailed;
  int drawn;
  {
    BackColorScope transparent(job.renderer, true, back);
    drawn = job.renderer.DrawTextToDc(dc, -job.box.x, -job.box.y, job.text, nullptr);
  }
  if (surface->ReleaseDC(dc) != host::kDdOk) return kTextDrawReleaseFailed;
  if (drawn != kTextDone) return kTextDrawDcFailed;
  if (!alpha) return 0;
  host::DdSurfaceDesc desc;
  if (surface->Lock(&desc) != host::kDdOk) return kTextDrawLockFailed;
  const Rect whole{0, 0, job.target.GetWidth(), job.target.GetHeight()};
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)InvertPixelMemory(2, job.target.GetFormatCode(), desc.surface, desc.pitch, &whole, nullptr);
  return surface->Unlock() == host::kDdOk ? 0 : kTextDrawUnlockFailed;
}

// Without alpha: GDI draws on an opaque background into a work picture that is then copied.
int DrawGdiOpaque(const TextJob& job) {
  const TextColor back = job.renderer.GetBackColor();
  ImageSurface work;
  if (work.Create(job.box.width, job.box.height, 32, kImageDibSection) != 0) return kTextDrawNoWork;
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)work.FillRgb(back.r, back.g, back.b, nullptr);
  int drawn;
  {
    BackColorScope opaque(job.renderer, false, back);
    drawn = job.renderer.DrawTextToDc(work.GetDc(), -job.box.x, -job.box.y, job.text, nullptr);
  }
  if (drawn != kTextDone) return kTextDrawNoWork;
  return CopyInto(job.target, work, kTextDrawDcFailed);
}

// With alpha: the text drawn four times as large in grey 15 and folded gives the coverage; the
// colour plane is the text colour over the shadow or edge colour.
int DrawGdiSupersampled(const TextJob& job) {
  TextRenderer& renderer = job.renderer;
  const int32_t w = job.box.width, h = job.box.height;
  const int32_t x = job.box.x, y = job.box.y;
  if (int64_t{w} * kSupersample > INT32_MAX || int64_t{h} * kSupersample > INT32_MAX) {
    return kTextDrawNoPicture;
  }
  TextRendererFactory* factory = Global<TextRendererFactory>::Get();
  std::unique_ptr<TextRenderer> large = factory ? factory->CreateGdiTextRenderer() : nullptr;
  if (!large) return kTextDrawNoPicture;
  host::LOGFONTA font = renderer.GetLogFont();
  const int64_t height = std::llabs(int64_t{font.lfHeight}) * kSupersample;
  if (height > INT32_MAX) return kTextDrawNoPicture;
  font.lfHeight = -int32_t(height);
  large->SetLogFont(font);
  if (large->CreateFont() != 0) return kTextDrawNoPicture;
  large->SetTextColor(kSubpixelGrey, kSubpixelGrey, kSubpixelGrey);
  large->SetLineSpacing(int32_t(int64_t{renderer.GetLineSpacing()} * kSupersample));

  ImageSurface picture;
  if (picture.Create(w * kSupersample, h * kSupersample, 8, kImageDibSection) != 0)
    return kTextDrawNoPicture;
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)picture.Fill(0, nullptr);
  if (large->DrawTextToDc(picture.GetDc(), 0, 0, job.text, nullptr) != kTextDone)
    return kTextDrawNoPicture;
  FoldCoverage(picture.GetPixels(), picture.GetPitch(), w, h);
  const MaskSource folded{picture.GetPixels(), w, h, picture.GetPitch()};
  const TextColor text = renderer.GetTextColor();
  const TextColor decoration = renderer.GetDecorationColor();
  const int style = renderer.GetStyle();

  if (style != kTextShadow && style != kTextEdge) {
    if (FillSurfaceRect(job.target.GetDirectDrawSurface(), nullptr, text.r, text.g, text.b, nullptr,
                        0) != kFillDone) {
      return kTextDrawFillFailed;
    }
    return WriteAlpha(job.target, folded.bits, folded.pitch, w, h);
  }

  ImageSurface colors;
  if (colors.Create(w, h, 32, kImageDibSection) != 0) return kTextDrawNoWork;
  const MaskTarget plane{colors.GetPixels(), w, h, colors.GetPitch()};
  if (style == kTextShadow) {
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)colors.FillRgb(text.r, text.g, text.b, nullptr);
    (void)DrawMaskSolid(renderer.GetShadowOffsetX() - x, renderer.GetShadowOffsetY() - y,
                        decoration.r, decoration.g, decoration.b, plane, folded);
  } else {
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)colors.FillRgb(decoration.r, decoration.g, decoration.b, nullptr);
  }
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)DrawMaskBlended(-x, -y, text.r, text.g, text.b, plane, folded);
  if (int r = CopyInto(job.target, colors, kTextDrawDcFailed); r != 0) return r;

  if (style == kTextEdge) {
    std::vector<uint8_t> edge(size_t(w) * size_t(h), 0);
    if (w > 2 * kEdgeRadius && h > 2 * kEdgeRadius) {
      (MmxEnabled() ? BuildEdgeMaskMmx : BuildEdgeMask)(edge.data(), w, folded.bits, folded.pitch,
                                                        w - 2 * kEdgeRadius, h - 2 * kEdgeRadius,
                                                        kEdgeRadius, kEdgeStrength);
    }
    return WriteAlpha(job.target, edge.data(), w, w, h);
  }
  // The shadow's coverage too: the text again with its shadow, in line with the colour plane.
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)picture.Fill(0, nullptr);
  large->SetStyle(kTextShadow);
  large->SetDecorationColor(kSubpixelGrey, kSubpixelGrey, kSubpixelGrey);
  large->SetShadowOffset(int32_t(int64_t{renderer.GetShadowOffsetX()} * kSupersample),
                         int32_t(int64_t{renderer.GetShadowOffsetY()} * kSupersample));
  if (large->DrawTextToDc(picture.GetDc(), -x * kSupersample, -y * kSupersample, job.text,
                          nullptr) != kTextDone) {
    return kTextDrawNoPicture;
  }
  FoldCoverage(picture.GetPixels(), picture.GetPitch(), w, h);
  return WriteAlpha(job.target, picture.GetPixels(), picture.GetPitch(), w, h);
}

// The outline renderer blends its glyphs itself: onto the background colour without alpha, or
// colour and coverage together with alpha.
int DrawOutline(const TextJob& job) {
  ImageSurface work;
  if (work.Create(job.box.width, job.box.height, 32, kImageDibSection) != 0) return kTextDrawNoWork;
  if (!HasAlpha(job.formatCode)) {
    const TextColor back = job.renderer.GetBackColor();
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)work.FillRgb(back.r, back.g, back.b, nullptr);
    if (job.renderer.DrawText(&work, -job.box.x, -job.box.y, job.text, nullptr, nullptr) !=
        kTextDone) {
      return kTextDrawNoWork;
    }
    return CopyInto(job.target, work, kTextDrawDcFailed);
  }
  // A surface without pixels, or an area that misses it, is left as it is.
  if (job.renderer.GetStyle() == kTextPlain) (void)work.Fill(0, nullptr);
  if (job.renderer.DrawTextLayer(&work, -job.box.x, -job.box.y, job.text, nullptr, nullptr) !=
      kTextDone) {
    return kTextDrawNoWork;
  }
  return CopyInto(job.target, work, kTextDrawLockFailed);
}

int Draw(const TextJob& job) {
  if (job.renderer.IsOutline()) return DrawOutline(job);
  if (job.renderer.GetSmoothing() == 0) return DrawGdiDirect(job);
  return HasAlpha(job.formatCode) ? DrawGdiSupersampled(job) : DrawGdiOpaque(job);
}

}  // namespace

void FoldCoverage(uint8_t* pixels, ptrdiff_t pitch, int32_t w, int32_t h) {
  FoldRowsToGrey8(pixels, pitch, w, h);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = pixels + y * pitch;
    for (int32_t x = 0; x < w; ++x) row[x] = uint8_t(row[x] | ((row[x] >> 3) & 7));
  }
}

void TextLayer::Clear() {
  text_.clear();
  renderer_ = nullptr;
  Release();
  SetContentSize(0, 0);
  formatCode_ = 0;
}

int TextLayer::SetText(int formatCode, const char* text, TextRenderer* renderer) {
  Direct3DDevice* device = Global<Direct3DDevice>::Get();
  if (!device || !device->GetDirectDraw() || !device->GetDevice() || !text || !*text) {
    return kTextLayerNoDevice;
  }
  Clear();
  try {
    text_ = text;
  } catch (const std::bad_alloc&) {
    return kTextLayerNoMemory;
  }
  renderer_ = renderer;
  formatCode_ = formatCode;
  if (int r = Render(); r != 0) return r + kTextLayerNoMemory;
  return 0;
}

int TextLayer::Render() {
  int code;
  try {
    code = RenderText();
  } catch (const std::bad_alloc&) {
    code = kTextLayerOtherFailure;
  }
  if (code != 0) Clear();
  return code;
}

int TextLayer::RenderText() {
  TextRenderer* renderer = ChooseTextRenderer(renderer_);
  if (text_.empty() || !renderer) return kTextLayerNoRenderer;
  Direct3DDevice* device = Global<Direct3DDevice>::Get();
  const host::DdPixelFormat* format = device ? device->GetTextureFormat(formatCode_) : nullptr;
  if (!format) return kTextLayerNoFormat;
  TextBox box;
  // A text that measures nothing has no size to make a texture of.
  if (!MeasureTextBox(*renderer, text_.c_str(), &box)) return kDdsNoDevice + kTextLayerCreateBase;
  const TextureSize size = ChooseTextureSize(box.width, box.height, device->DeviceCaps());
  if (int e = Create(size.width, size.height, false, true, format); e != 0)
    return e + kTextLayerCreateBase;
  if (!size.tooLarge) {
    if (int e = Draw({*this, *renderer, text_.c_str(), box, formatCode_}); e != 0)
      return e + kTextLayerDrawBase;
  } else {
    DirectDrawImageSurface full;
    if (int e = full.Create(box.width, box.height, true, true, format); e != 0)
      return e + kTextLayerCreateBase;
    if (int e = Draw({full, *renderer, text_.c_str(), box, formatCode_}); e != 0)
      return e + kTextLayerDrawBase;
    if (GetDirectDrawSurface()->Blt(nullptr, full.GetDirectDrawSurface(), nullptr, host::kDdBltWait,
                                    nullptr) != host::kDdOk) {
      return kTextLayerScaleFailed;
    }
  }
  // GDI text keys its background when the renderer draws it transparent; outline text keys it
  // on formats without alpha.
  std::optional<TextColor> key;
  if (!renderer->IsOutline()) {
    if (renderer->IsTransparentBack()) key = renderer->GetBackColor();
  } else if (!HasAlpha(formatCode_)) {
    key = renderer->GetBackColor();
  }
  if (key) {
    if (SetColorKeyRgb(key->r, key->g, key->b) != 0) return kTextDrawKeyFailed + kTextLayerDrawBase;
  } else {
    // A picture without pixels has no key to set.
    (void)ClearColorKey();
  }
  SetContentSize(box.width, box.height);
  return 0;
}

int TextLayer::Restore(int check) {
  host::MemorySurface* surface = GetDirectDrawSurface();
  if (!surface || (check && surface->IsLost() == host::kDdOk)) return 0;
  return Render() == 0 ? 0 : 1;
}

void TextLayer::ForgetTextRenderer(const TextRenderer* renderer) {
  if (renderer_ == renderer) renderer_ = nullptr;
}

}  // namespace bw
