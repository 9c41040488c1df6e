// One text in a DirectDraw texture that the Direct3D sprites draw. The text is measured with a
// text renderer and drawn into a texture of a size the device accepts; a text too large for the
// device is drawn at full size and scaled into it. On formats with alpha the text's coverage
// becomes the alpha; without alpha the background colour becomes the colour key. A smoothing
// GDI renderer draws at four times the size and folds the picture down into the coverage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "graphics/layers/direct_draw_layer.h"
#include "graphics/surface/rendered_text.h"

namespace bw {

// SetText results; a failed rendering is its code plus kTextLayerNoMemory.
constexpr int kTextLayerNoDevice = 1;  // also no text
constexpr int kTextLayerNoMemory = 2;
// Render results. The texture's or the temporary surface's creation failures are Create's code
// plus kTextLayerCreateBase; the drawing's (kTextDraw*) plus kTextLayerDrawBase.
constexpr int kTextLayerNoRenderer = 1;  // no text, or no renderer and no default
constexpr int kTextLayerNoFormat = 2;
constexpr int kTextLayerCreateBase = 2;
constexpr int kTextLayerDrawBase = 4;
constexpr int kTextLayerOtherFailure = 13;
constexpr int kTextLayerScaleFailed = 15;
// Drawing failures.
constexpr int kTextDrawNoPicture = 1;  // the 4x picture or its renderer
constexpr int kTextDrawNoWork = 2;     // the 32-bit work picture, the edge mask, or the drawing
constexpr int kTextDrawDcFailed = 3;
constexpr int kTextDrawReleaseFailed = 4;
constexpr int kTextDrawFillFailed = 5;
constexpr int kTextDrawLockFailed = 6;
constexpr int kTextDrawUnlockFailed = 7;
constexpr int kTextDrawKeyFailed = 8;

// Folds a 4w x 4h grey picture (each pixel 0..15) into its top-left w x h corner, same pitch:
// each value is the sum t of its 4 x 4 block with t's top bits repeated below, so that a full
// block (240) reads 246.
void FoldCoverage(uint8_t* pixels, ptrdiff_t pitch, int32_t w, int32_t h);

class TextLayer : public DirectDrawLayer, public TextRendererUser {
 public:
  TextLayer() = default;

  // Frees the text, forgets the renderer and releases the texture.
  void Clear();
  // formatCode chooses the device's texture format; renderer null: the default renderer.
  [[nodiscard]] int SetText(int formatCode, const char* text, TextRenderer* renderer);
  // Draws the kept text again; a failure clears the layer.
  [[nodiscard]] int Render();
  void ForgetTextRenderer(const TextRenderer* renderer) override;
  const std::string& GetText() const { return text_; }
  TextRenderer* GetTextRenderer() const { return renderer_; }

  int GetKind() const override { return kKindTextLayer; }
  int GetPixelFormatCode() const override { return formatCode_; }
  // Draws the text again when the texture was lost (or always, without check); 1 when that
  // fails.
  [[nodiscard]] int Restore(int check) override;

 private:
  [[nodiscard]] int RenderText();

  std::string text_;
  TextRenderer* renderer_ = nullptr;  // not owned; null: the default renderer
  int formatCode_ = 0;
};

}  // namespace bw
