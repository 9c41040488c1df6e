// What the surfaces that hold a rendered text share: the process-wide default renderer, the
// measured box of a text, drawing it into a DIB by the renderer's kind, and the detaching of a
// renderer that goes away while a surface keeps it.
#pragma once

#include <cstdint>

#include "common/global.h"
#include "graphics/text/text_renderer.h"

namespace bw {

class DibSurface;

// The renderer that a null renderer stands for; set at start-up by the application.
using TheDefaultTextRenderer = Global<TextRenderer>;

// given, or the default renderer; null when there is neither.
TextRenderer* ChooseTextRenderer(TextRenderer* given);

// A surface that keeps a renderer it does not own. The display manager tells it before the
// renderer dies; it then falls back to the default renderer.
class TextRendererUser {
 public:
  virtual void ForgetTextRenderer(const TextRenderer* renderer) = 0;

 protected:
  ~TextRendererUser() = default;
};

// The box a text covers relative to the point it is drawn at, decorations included; the outline
// renderer's box turned by the font's orientation. False when the text measures nothing.
struct TextBox {
  int32_t x = 0;  // 0 or less: decorations (or the turned text) reach left of or above the point
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};
[[nodiscard]] bool MeasureTextBox(TextRenderer& renderer, const char* text, TextBox* box);

// Draws with the renderer's own way onto a 32-bit DIB with a device context: the GDI renderer
// through the context, the outline renderer onto the pixels. The renderer's code.
[[nodiscard]] int DrawTextIntoDib(TextRenderer& renderer, DibSurface& dib, int32_t x, int32_t y,
                                  const char* text);

// Puts a renderer's background setting aside for one drawing and back afterwards.
class BackColorScope {
 public:
  BackColorScope(TextRenderer& renderer, bool transparent, TextColor color);
  ~BackColorScope();
  BackColorScope(const BackColorScope&) = delete;
  BackColorScope& operator=(const BackColorScope&) = delete;

 private:
  TextRenderer& renderer_;
  bool transparent_;
  TextColor color_;
};

}  // namespace bw
