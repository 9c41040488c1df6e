#include <climits>

#include "graphics/surface/image_surface.h"
#include "graphics/surface/rendered_text.h"

namespace bw {
namespace {

// What a renderer's drawing leaves in its rect when it reports no box.
constexpr Rect kNoBox{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};

}  // namespace

void ImageSurface::MarkText(const Rect* drawn) {
  if (!drawn) {
    MarkAll();
    return;
  }
  Rect box = *drawn;
  if (ClipToClipRect(&box)) MarkDirty(box);
  changed_ = true;
}

int ImageSurface::CreateFromText(const char* text, TextRenderer* given, int flags) {
  if (!text || !*text) return kTextEmpty;
  TextRenderer* renderer = ChooseTextRenderer(given);
  if (!renderer) return kTextNoRenderer;
  TextBox box;
  if (!MeasureTextBox(*renderer, text, &box) || Create(box.width, box.height, 32, flags) != 0) {
    return kTextNotCreated;
  }
  // The box may start left of or above the text origin (decorations, a turned line).
  const int32_t x = -box.x, y = -box.y;
  int drawn;
  if (renderer->IsOutline()) {
    // A surface without pixels, or an area that misses it, is left as it is.
    if (renderer->IsTransparentBack()) (void)Fill(0, nullptr);
    drawn = renderer->DrawString(this, x, y, text, nullptr, nullptr);
    changed_ = true;
  } else if (renderer->GetSmoothing() != 0) {
    drawn = renderer->DrawText(this, x, y, text, nullptr, nullptr);
    changed_ = true;
  } else {
    const TextColor back = renderer->GetBackColor();
    const bool transparent = renderer->IsTransparentBack();
    // A surface without pixels, or an area that misses it, is left as it is.
    (void)FillRgb(back.r, back.g, back.b, nullptr);
    {
      BackColorScope opaque(*renderer, false, back);
      drawn = GetDc() ? DrawTextGdi(x, y, text, renderer)
                      : renderer->DrawText(this, x, y, text, nullptr, nullptr);
    }
    // A picture without pixels has no key to set.
    if (drawn == kTextDone && transparent) (void)SetColorKeyRgb(back.r, back.g, back.b);
  }
  if (drawn != kTextDone) {
    Release();
    return kTextDrawFailed;
  }
  return 0;
}

int ImageSurface::DrawTextGdi(int32_t x, int32_t y, const char* text, TextRenderer* given) {
  if (!GetDc() || !text || !*text) return kTextEmpty;
  TextRenderer* renderer = ChooseTextRenderer(given);
  if (!renderer || renderer->IsOutline()) return kTextNoRenderer;
  if (renderer->DrawTextToDc(GetDc(), x, y, text, nullptr) != kTextDone) return kTextNotCreated;
  Size size;
  int32_t offsetX = 0, offsetY = 0;
  if (renderer->MeasureText(text, &size, &offsetX, &offsetY, true, nullptr) == 0)
    return kTextDrawFailed;
  Rect drawn;
  renderer->GetRotatedRect(&drawn, offsetX, offsetY, size.width, size.height);
  drawn = {drawn.left + x, drawn.top + y, drawn.right + x, drawn.bottom + y};
  MarkText(&drawn);
  return 0;
}

int ImageSurface::DrawTextWithRenderer(int32_t x, int32_t y, const char* text,
                                       TextRenderer* given) {
  return DrawTextAt(x, y, text, given, false);
}

int ImageSurface::DrawTextOutline(int32_t x, int32_t y, const char* text, TextRenderer* given) {
  return DrawTextAt(x, y, text, given, true);
}

int ImageSurface::DrawTextAt(int32_t x, int32_t y, const char* text, TextRenderer* given,
                             bool outlineOnly) {
  if (!GetPixels() || !text || !*text) return kTextEmpty;
  TextRenderer* renderer = ChooseTextRenderer(given);
  if (!renderer || (outlineOnly && !renderer->IsOutline())) return kTextNoRenderer;
  Rect drawn = kNoBox;
  if (int r = renderer->DrawText(this, x, y, text, &drawn, nullptr); r != kTextDone)
    return r + kTextNoRenderer;
  MarkText(drawn == kNoBox ? nullptr : &drawn);
  return 0;
}

}  // namespace bw
