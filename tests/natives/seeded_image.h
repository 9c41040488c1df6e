// Pictures of seeded bytes for the image natives' tests, and their bytes read back.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <vector>

#include "graphics/surface/image_surface.h"
#include "native_rig.h"

namespace bw {

// A picture of seeded bytes (8-bit pictures get a seeded palette).
inline void Seed(ImageSurface& image, int32_t width, int32_t height, int bits, uint32_t seed) {
  ASSERT_EQ(image.Create(width, height, bits, kImagePlain), 0);
  std::mt19937 random(seed);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = image.GetRowPointer(y);
    for (int32_t x = 0; x < width * bits / 8; ++x) row[x] = uint8_t(random());
  }
  if (bits == 8) {
    uint32_t palette[256];
    for (uint32_t& entry : palette) entry = random() & 0x00FFFFFFu;
    (void)image.SetPalette(palette, 256, 0);
  }
}

// The picture's rows and, for 8-bit pictures, every palette byte.
inline std::vector<uint8_t> Bytes(const ImageSurface& image) {
  std::vector<uint8_t> out;
  const int32_t rowBytes = image.GetWidth() * image.GetBitsPerPixel() / 8;
  for (int32_t y = 0; y < image.GetHeight(); ++y) {
    const uint8_t* row = image.GetRowPointer(y);
    out.insert(out.end(), row, row + rowBytes);
  }
  if (const uint32_t* palette = image.GetPalette()) {
    for (int k = 0; k < 256; ++k) {
      for (int shift : {0, 8, 16}) out.push_back(uint8_t(palette[k] >> shift));
    }
  }
  return out;
}

// Where a row's words hold this, the native gets the handle of its copy of the seed.
constexpr uint32_t kSeedCopy = 0xFFFFFF01;

// Runs native number with words on one copy of seed and direct on another: the same answer and
// the same bytes. Answers the bytes direct left.
inline std::vector<uint8_t> ExpectSameAsDirect(NativeRig& rig, const ImageSurface& seed,
                                               uint32_t number, std::vector<uint32_t> words,
                                               const std::function<int(ImageSurface&)>& direct) {
  ImageSurface byNative, byCall;
  EXPECT_EQ(byNative.CopyFrom(&seed, kCopyLikeSource), 0);
  EXPECT_EQ(byCall.CopyFrom(&seed, kCopyLikeSource), 0);
  std::replace(words.begin(), words.end(), kSeedCopy, rig.Give(&byNative));
  const NativeAnswer answer = rig.CallAt(number, rig.Words(words));
  EXPECT_FALSE(answer.faulted);
  EXPECT_EQ(answer.result, direct(byCall));
  EXPECT_EQ(Bytes(byNative), Bytes(byCall));
  return Bytes(byCall);
}

}  // namespace bw
