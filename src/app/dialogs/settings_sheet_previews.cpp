#include "app/dialogs/settings_sheet_previews.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/dialogs/settings_sheet.h"
#include "common/global.h"
#include "graphics/surface/image_surface.h"
#include "graphics/text/outline_text_renderer.h"
#include "graphics/text/text_renderer.h"
#include "host/cp932.h"

namespace bw {

namespace {

constexpr int32_t kPreviewWidth = 240;
constexpr int32_t kPreviewHeight = 12;
constexpr int32_t kSampleWidth = 240;
constexpr int32_t kSampleHeight = 48;
constexpr int32_t kSampleFontHeight = 24;

void PutPixel(host::DialogImage& image, int32_t x, int32_t y, uint32_t rgb) {
  uint8_t* p = &image.pixels[(size_t(y) * size_t(image.width) + size_t(x)) * 4];
  p[0] = uint8_t(rgb), p[1] = uint8_t(rgb >> 8), p[2] = uint8_t(rgb >> 16), p[3] = 0xFF;
}

// Lays rgb over the pixel with the given opacity (0-255).
void BlendPixel(uint8_t* p, uint32_t rgb, uint32_t alpha) {
  for (int i = 0; i < 3; ++i) {
    const uint32_t over = (rgb >> (8 * i)) & 0xFF;
    p[i] = uint8_t((over * alpha + p[i] * (255 - alpha) + 127) / 255);
  }
}

// Replaces the picture's pixels, counting a change only when they differ.
void ShowPicture(host::DialogImage& image, std::vector<uint8_t> pixels) {
  if (pixels == image.pixels) return;
  image.pixels = std::move(pixels);
  ++image.changes;
}

}  // namespace

void DrawSpeedBar(host::DialogImage& image, int32_t charMs, bool noWait, uint32_t elapsedMs) {
  host::DialogImage next{.width = kPreviewWidth, .height = kPreviewHeight};
  next.pixels.resize(size_t(kPreviewWidth) * kPreviewHeight * 4);
  for (int32_t y = 0; y < kPreviewHeight; ++y) {
    for (int32_t x = 0; x < kPreviewWidth; ++x) {
      PutPixel(next, x, y, x > 0 && x % (kPreviewWidth / 16) == 0 ? 0x808080 : 0xD4D0C8);
    }
  }
  const uint32_t cellMs = uint32_t(std::max(charMs, 1));
  const uint32_t cells = noWait ? 16 : std::min<uint32_t>(16, elapsedMs % (24 * cellMs) / cellMs);
  const int32_t barWidth = int32_t(cells) * kPreviewWidth / 16;
  for (int32_t y = 0; y < kPreviewHeight; ++y) {
    for (int32_t x = 0; x < barWidth; ++x) {
      BlendPixel(&next.pixels[(size_t(y) * kPreviewWidth + size_t(x)) * 4], 0x0000FF, 0x30);
    }
  }
  image.width = next.width, image.height = next.height;
  ShowPicture(image, std::move(next.pixels));
}

bool ApplyFontLook(TextRenderer& renderer, const UserConfig& look, int32_t height, bool italic) {
  auto* outline = dynamic_cast<OutlineTextRenderer*>(&renderer);
  if (!outline) return false;
  const std::string face = look.FontFaceName();
  const bool bold = look.fontBold != 0;
  const host::LOGFONTA& now = renderer.GetLogFont();
  const bool wasBold = now.lfWeight >= host::FW_BOLD;
  if (!renderer.HasFont() || bold != wasBold ||
      std::strncmp(now.lfFaceName, face.c_str(), sizeof now.lfFaceName) != 0) {
    if (renderer.SetFont(height, bold, italic, face.c_str()) != 0) return false;
  }
  renderer.SetAntialiasLevel(look.fontAntialias * 2);
  renderer.SetStyle(std::min<int>(look.fontDecoration, kTextEdge));
  // A ramp that cannot be had leaves the sample plain.
  (void)outline->SetGradation(look.fontGradation != 0, outline->GradationTop(),
                              outline->GradationBottom(), true);
  return true;
}

void DrawFontSample(host::DialogImage& image, const UserConfig& look) {
  ImageSurface picture;
  if (picture.Create(kSampleWidth, kSampleHeight, 32, 0) != 0 || !picture.GetPixels()) return;
  for (int32_t y = 0; y < kSampleHeight; ++y) {
    uint8_t* row = picture.GetRowPointer(y);
    for (int32_t x = 0; x < kSampleWidth; ++x) {
      const uint32_t square = ((x / 8 + y / 8) & 1) != 0 ? 0xFFFFFF : 0xCCCCCC;
      uint8_t* p = row + size_t(x) * 4;
      p[0] = uint8_t(square), p[1] = uint8_t(square >> 8), p[2] = uint8_t(square >> 16);
      p[3] = 0xFF;
      if (look.drawTextFrame) BlendPixel(p, look.frameColor & 0xFFFFFF, look.frameAlpha);
    }
  }
  TextRendererFactory* factory = Global<TextRendererFactory>::Get();
  std::unique_ptr<TextRenderer> renderer = factory ? factory->CreateOutlineTextRenderer() : nullptr;
  if (renderer && ApplyFontLook(*renderer, look, kSampleFontHeight, false)) {
    renderer->SetTextColor(255, 255, 255);
    renderer->SetDecorationColor(0, 0, 0);
    renderer->SetShadowOffset(2, 2);
    const std::string text = host::Cp932Literal("サンプル Sample");
    // Text that cannot be drawn leaves the picture as it was.
    (void)renderer->DrawText(&picture, 12, 12, text.c_str(), nullptr, nullptr);
  }
  std::vector<uint8_t> pixels(size_t(kSampleWidth) * kSampleHeight * 4);
  for (int32_t y = 0; y < kSampleHeight; ++y) {
    std::memcpy(&pixels[size_t(y) * kSampleWidth * 4], picture.GetRowPointer(y),
                size_t(kSampleWidth) * 4);
    for (int32_t x = 0; x < kSampleWidth; ++x)
      pixels[(size_t(y) * kSampleWidth + x) * 4 + 3] = 0xFF;
  }
  image.width = kSampleWidth, image.height = kSampleHeight;
  ShowPicture(image, std::move(pixels));
}

}  // namespace bw
