// A text drawn by a text renderer, kept in DirectDraw memory at the size the text measures. It
// keeps the text and the renderer so that it can draw itself again after a loss; colour keys
// work as on a picture in DirectDraw memory.
#pragma once

#include <cstdint>
#include <string>

#include "graphics/surface/directdraw_image_surface.h"
#include "graphics/surface/rendered_text.h"

namespace bw {

// Load results.
constexpr int kTextSurfaceNoText = 1;  // also no display device
constexpr int kTextSurfaceNoMemory = 2;
// Load answers a failed rendering as its code plus kTextSurfaceNoMemory; Restore as it is.
constexpr int kTextRenderNoRenderer = 1;  // also a text that measures nothing
constexpr int kTextRenderNotCreated = 2;  // the surface could not be made at the text's size
constexpr int kTextRenderDrawFailed = 3;  // the work picture, the drawing or the copy failed

class DirectDrawSurface : public DirectDrawImageSurface, public TextRendererUser {
 public:
  DirectDrawSurface() = default;

  int GetKind() const override { return kKindDirectDrawSurface; }
  // Draws text with renderer (null: the default renderer, also when the renderer is forgotten
  // later).
  [[nodiscard]] int Load(const char* text, TextRenderer* renderer);
  // Draws the kept text again and sets the kept colour key again.
  [[nodiscard]] int Restore(int check) override;
  void ForgetTextRenderer(const TextRenderer* renderer) override;

  const std::string& GetText() const { return text_; }
  TextRenderer* GetTextRenderer() const { return renderer_; }

 private:
  [[nodiscard]] int Render();

  std::string text_;
  TextRenderer* renderer_ = nullptr;  // not owned
};

}  // namespace bw
