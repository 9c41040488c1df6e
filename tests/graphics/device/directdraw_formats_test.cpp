// The DirectDraw-side helpers the devices, surfaces and sprites share: the pixel-format classes
// and the scaled clipping of a target with its source (the unscaled cuts show in the copies'
// tests).
#include <gtest/gtest.h>

#include "graphics/pixel/pixel_format.h"
#include "host/ddraw/direct_draw.h"
#include "host/surface/surface_test_util.h"

namespace bw {
namespace {

using host::test::Format;

TEST(ClassifyPixelFormat, EachFormatOfTheTableAndTheNearMisses) {
  const struct {
    host::DdPixelFormat format;
    int flag;
  } cases[] = {
      {Format(8, 0, 0, 0, 0), kFormatPalette8},
      {Format(16, 0x7C00, 0x03E0, 0x001F, 0), kFormat555},
      {Format(16, 0xF800, 0x07E0, 0x001F, 0), kFormat565},
      {Format(24, 0xFF0000, 0xFF00, 0xFF, 0), kFormat24},
      {Format(32, 0xFF0000, 0xFF00, 0xFF, 0), kFormatX888},
      {Format(16, 0x7C00, 0x03E0, 0x001F, 0x8000), kFormat1555},
      {Format(16, 0x0F00, 0x00F0, 0x000F, 0xF000), kFormat4444},
      {Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u), kFormat8888},
      // Near misses are "any other format".
      {Format(16, 0xF800, 0x07E0, 0x001F, 0x8000), kFormatOther},
      {Format(32, 0xFF, 0xFF00, 0xFF0000, 0), kFormatOther},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClassifyPixelFormat(nullptr, nullptr, &c.format), c.flag)
        << c.format.rgbBitCount << " bits, alpha " << std::hex << c.format.rgbAlphaBitMask;
  }
  EXPECT_EQ(ClassifyPixelFormat(nullptr, nullptr, nullptr), 0) << "nothing to classify";
}

}  // namespace
}  // namespace bw
