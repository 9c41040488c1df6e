// Random image surfaces and pixel readers for the surface and pixel-operation tests.
#pragma once

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "graphics/pixel/blend_reference.h"
#include "graphics/surface/dirty_rect_list.h"
#include "graphics/surface/image_surface.h"

namespace bw::testing_surfaces {

inline std::unique_ptr<ImageSurface> Random(std::mt19937& rng, int w, int h, int bits,
                                            int flags = kImageDirtyList) {
  auto s = std::make_unique<ImageSurface>();
  if (s->Create(w, h, bits, flags) != kSurfaceDone) return nullptr;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = s->GetRowPointer(y);
    for (int x = 0; x < w * bits / 8; ++x) row[x] = uint8_t(rng());
  }
  if (bits == 8) {
    uint32_t palette[256];
    for (auto& p : palette) p = rng() & 0x00FFFFFF;
    (void)s->SetPalette(palette, 256, 0);
  }
  if (s->GetDirtyList()) s->GetDirtyList()->Clear();
  s->SetChanged(false);
  return s;
}

inline std::unique_ptr<ImageSurface> Copy(const ImageSurface& s) {
  auto c = std::make_unique<ImageSurface>();
  (void)c->CopyFrom(&s, kCopyLikeSource);
  if (c->GetDirtyList()) c->GetDirtyList()->Clear();
  c->SetChanged(false);
  return c;
}

// Whether a holds b's pixels; else the first that differs.
inline testing::AssertionResult SamePixels(const ImageSurface& a, const ImageSurface& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight())
    return testing::AssertionFailure() << "the sizes differ";
  const size_t rowBytes = size_t(a.GetWidth()) * size_t(a.GetBitsPerPixel() / 8);
  for (int y = 0; y < a.GetHeight(); ++y) {
    if (std::memcmp(a.GetRowPointer(y), b.GetRowPointer(y), rowBytes) == 0) continue;
    for (int x = 0; x < a.GetWidth(); ++x) {
      if (a.GetPixel(x, y) != b.GetPixel(x, y)) {
        return testing::AssertionFailure()
               << (testing::Message() << "pixel " << x << "," << y << " is 0x" << std::hex
                                      << a.GetPixel(x, y) << ", not 0x" << b.GetPixel(x, y));
      }
    }
  }
  return testing::AssertionSuccess();
}

// The 32-bit word of pixel (x, y) of rows pitch bytes apart.
inline uint32_t PixelAt(const uint8_t* pixels, ptrdiff_t pitch, int x, int y) {
  uint32_t v;
  std::memcpy(&v, pixels + y * pitch + x * 4, 4);
  return v;
}
inline uint32_t Pixel(const ImageSurface& s, int x, int y) {
  return PixelAt(s.GetRowPointer(y), 0, x, 0);
}
inline void SetPixel32(ImageSurface& s, int x, int y, uint32_t v) {
  std::memcpy(s.GetRowPointer(y) + x * 4, &v, 4);
}

// The rectangles of a dirty list in ring order; the ring must close after Count() nodes.
inline std::vector<Rect> Nodes(const DirtyRectList& list) {
  std::vector<Rect> out;
  const RectNode* n = list.Head();
  for (int i = 0; n && i < list.Count(); ++i, n = n->next) out.push_back(n->rect);
  if (n) {
    EXPECT_EQ(n, list.Head()) << "the ring closes after Count() nodes";
  }
  return out;
}

}  // namespace bw::testing_surfaces
