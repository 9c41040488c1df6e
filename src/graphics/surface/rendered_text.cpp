#include "graphics/surface/rendered_text.h"

#include "graphics/surface/dib_surface.h"

namespace bw {

TextRenderer* ChooseTextRenderer(TextRenderer* given) {
  return given ? given : TheDefaultTextRenderer::Get();
}

bool MeasureTextBox(TextRenderer& renderer, const char* text, TextBox* box) {
  Size size;
  int32_t x = 0, y = 0;
  if (renderer.MeasureText(text, &size, &x, &y, true, nullptr) == 0) return false;
  if (renderer.IsOutline()) {
    Rect turned;
    renderer.GetRotatedRect(&turned, x, y, size.width, size.height);
    *box = {turned.left, turned.top, turned.Width(), turned.Height()};
  } else {
    *box = {x, y, size.width, size.height};
  }
  return box->width > 0 && box->height > 0;
}

int DrawTextIntoDib(TextRenderer& renderer, DibSurface& dib, int32_t x, int32_t y,
                    const char* text) {
  if (renderer.IsOutline()) return renderer.DrawText(&dib, x, y, text, nullptr, nullptr);
  return renderer.DrawTextToDc(dib.GetDc(), x, y, text, nullptr);
}

BackColorScope::BackColorScope(TextRenderer& renderer, bool transparent, TextColor color)
    : renderer_(renderer),
      transparent_(renderer.IsTransparentBack()),
      color_(renderer.GetBackColor()) {
  renderer_.SetBackColor(transparent, color.r, color.g, color.b);
}

BackColorScope::~BackColorScope() {
  renderer_.SetBackColor(transparent_, color_.r, color_.g, color_.b);
}

}  // namespace bw
