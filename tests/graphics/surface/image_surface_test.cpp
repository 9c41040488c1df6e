#include "graphics/surface/image_surface.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "graphics/pixel/pixel_kernels.h"
#include "graphics/surface/memory_bitmap.h"
#include "platform/mmx_flag.h"
#include "support/pixel_reference.h"

namespace bw {
namespace {

TEST(DibSurface, CreateAndResizeRefuseBadSizesAndPadRows) {
  DibSurface s;
  EXPECT_EQ(s.Create(0, 10, 32, false), kSurfaceBadArgument);
  EXPECT_EQ(s.Create(10, 10, 4, false), kSurfaceBadArgument);
  EXPECT_EQ(s.Create(10, 10, 12, false), kSurfaceBadArgument);
  EXPECT_EQ(s.Create(100000, 100000, 32, false), kSurfaceNoMemory) << "too large to address";
  EXPECT_EQ(s.Create(INT32_MAX, 1, 32, false), kSurfaceNoMemory)
      << "one row whose pitch passes 32 bits";
  EXPECT_EQ(s.Create(1, INT32_MAX, 24, true), kSurfaceNoMemory) << "a section as tall as the limit";
  EXPECT_EQ(s.GetPixels(), nullptr);
  EXPECT_EQ(s.Resize(4, 4), kSurfaceBadArgument) << "nothing to resize";
  ASSERT_EQ(s.Create(3, 2, 8, false), kSurfaceDone);
  EXPECT_EQ(s.GetPitch(), 4);
  EXPECT_EQ(s.Resize(INT32_MAX, INT32_MAX), kSurfaceNoMemory);
  EXPECT_EQ(s.GetPitch(), 4) << "a refused resize keeps the store";
  EXPECT_EQ(reinterpret_cast<uintptr_t>(s.GetPixels()) % 8, 0u);
  ASSERT_EQ(s.Create(3, 2, 32, true), kSurfaceDone);
  EXPECT_EQ(s.GetPitch(), 12);
  EXPECT_EQ(s.GetRowPointer(2), nullptr);

  ASSERT_EQ(s.Create(8, 8, 32, false), kSurfaceDone);
  s.GetPixels()[0] = 0x5A;
  uint8_t* pixels = s.GetPixels();
  EXPECT_EQ(s.Resize(4, 4), kSurfaceDone);
  EXPECT_EQ(s.GetPixels(), pixels) << "a smaller heap surface keeps its block";
  EXPECT_EQ(s.GetPixels()[0], 0x5A);
  EXPECT_EQ(s.GetPitch(), 16);
  EXPECT_EQ(*s.GetClipRectPtr(), (Rect{0, 0, 4, 4}));
  EXPECT_EQ(s.Resize(0, 4), kSurfaceBadArgument);
}

// Clipping: the clipped blit must draw exactly the visible part of the unclipped one.
using reference::Plane;
using reference::StretchSourceIndex;

TEST(ClipBlit, DrawsExactlyTheVisiblePartOfTheUnclippedBlit) {
  std::mt19937 rng(21);
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int round = 0; round < 400; ++round) {
    const bool mirrored = round % 2;
    const bool scaled = round % 4 >= 2;
    ImageSurface src, dst;
    ASSERT_EQ(src.Create(pick(1, 24), pick(1, 24), 32, 0), kSurfaceDone);
    ASSERT_EQ(dst.Create(pick(1, 24), pick(1, 24), 32, 0), kSurfaceDone);
    for (int y = 0; y < src.GetHeight(); ++y)
      for (int x = 0; x < src.GetWidth(); ++x) src.SetPixel(x, y, uint32_t(rng()) | 1);
    Rect srcClip{pick(0, 4), pick(0, 4), src.GetWidth() - pick(0, 4), src.GetHeight() - pick(0, 4)};
    src.SetClipRect(&srcClip);
    Rect dstClip{pick(0, 4), pick(0, 4), dst.GetWidth() - pick(0, 4), dst.GetHeight() - pick(0, 4)};
    dst.SetClipRect(&dstClip);
    dstClip = *dst.GetClipRectPtr();  // a refused clip leaves the whole surface
    Rect srcRect{pick(-4, 8), pick(-4, 8), pick(0, 30), pick(0, 30)};
    const int x = pick(-20, 20), y = pick(-20, 20);
    Size size{pick(1, 40), pick(1, 40)};
    StretchStepper steps{};
    SCOPED_TRACE(testing::Message() << "round " << round << " mirrored " << mirrored << " scaled "
                                    << scaled << " at " << x << "," << y);
    int result = mirrored ? dst.ClipBlitMirrored(&src, x, y, &srcRect, scaled ? &size : nullptr,
                                                 &steps, nullptr)
                          : dst.ClipBlit(&src, x, y, &srcRect, scaled ? &size : nullptr, &steps,
                                         nullptr);
    // The expected picture: the source rectangle cut to the source clip (the placement moving
    // with a cut at the drawn-first edge), scaled or not, then cut to the destination clip.
    Rect s = srcRect;
    int px = x, py = y;
    const Rect& sc = *src.GetClipRectPtr();
    if (!mirrored && s.left < sc.left) px += sc.left - s.left;
    if (mirrored && s.right > sc.right) px += s.right - sc.right;
    if (s.top < sc.top) py += sc.top - s.top;
    s = {std::max(s.left, sc.left), std::max(s.top, sc.top), std::min(s.right, sc.right),
         std::min(s.bottom, sc.bottom)};
    std::vector<uint32_t> expect(size_t(dst.GetWidth()) * dst.GetHeight(), 0);
    bool any = false;
    if (!s.IsEmpty()) {
      int w = scaled ? size.width : s.Width(), h = scaled ? size.height : s.Height();
      for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
          int tx = px + i, ty = py + j;
          if (tx < dstClip.left || tx >= dstClip.right || ty < dstClip.top || ty >= dstClip.bottom)
            continue;
          int col = scaled ? StretchSourceIndex(i, s.Width(), w) : i;
          int row = scaled ? StretchSourceIndex(j, s.Height(), h) : j;
          if (mirrored) col = s.Width() - 1 - col;
          expect[size_t(ty) * dst.GetWidth() + tx] = src.GetPixel(s.left + col, s.top + row);
          any = true;
        }
      }
    }
    ASSERT_EQ(result, any ? kClipDraw : kClipNothing);
    if (result == kClipDraw) {
      const Rect& cd = dst.ClippedDest();
      const Rect& cs = dst.ClippedSource();
      auto* to = reinterpret_cast<uint32_t*>(dst.GetRowPointer(cd.top)) + cd.left;
      ptrdiff_t dstSkip = dst.GetPitch() - ptrdiff_t{cd.Width()} * 4;
      auto* from = reinterpret_cast<const uint32_t*>(src.GetRowPointer(cs.top)) +
                   (mirrored ? cs.right : cs.left);
      if (scaled) {
        (mirrored ? StretchMirrorCopyRows32 : StretchCopyRows32)(to, from, dstSkip, src.GetPitch(),
                                                                 cd.Width(), cd.Height(), steps);
      } else {
        ASSERT_EQ(cs.Width(), cd.Width());
        ptrdiff_t rowBytes = ptrdiff_t{cs.Width()} * 4;
        if (mirrored) {
          MirrorCopyRows32(to, from, dstSkip, src.GetPitch() + rowBytes, cd.Width(), cd.Height());
        } else {
          CopyRows32(to, from, dstSkip, src.GetPitch() - rowBytes, cd.Width(), cd.Height());
        }
      }
    }
    std::vector<uint32_t> got(expect.size());
    for (int j = 0; j < dst.GetHeight(); ++j)
      for (int i = 0; i < dst.GetWidth(); ++i) got[size_t(j) * dst.GetWidth() + i] = dst.GetPixel(i, j);
    ASSERT_EQ(got, expect);
  }
}

TEST(ClipBlit, RefusalsAndFarPlacements) {
  ImageSurface src, dst;
  ASSERT_EQ(src.Create(20, 10, 32, 0), kSurfaceDone);
  ASSERT_EQ(dst.Create(40, 10, 32, 0), kSurfaceDone);
  StretchStepper steps;
  Size flat{0, 5};
  EXPECT_EQ(dst.ClipBlit(&src, 0, 0, nullptr, &flat, &steps, nullptr), kClipNothing);
  Size some{5, 5};
  EXPECT_EQ(dst.ClipBlit(&src, 0, 0, nullptr, &some, nullptr, nullptr), kClipNoStepRecord);
  EXPECT_EQ(dst.ClipBlit(nullptr, 0, 0, nullptr, nullptr, nullptr, nullptr), kClipNoSource);
  Rect outside{100, 0, 120, 5};
  EXPECT_EQ(dst.ClipBlit(&src, 0, 0, nullptr, nullptr, nullptr, &outside), kClipNothing);
  EXPECT_EQ(dst.ClipBlit(&src, 2000000000, 0, nullptr, nullptr, nullptr, nullptr), kClipNothing)
      << "far placements clip instead of wrapping";
}

TEST(ClipSmoothStretch, ClippedPositionsContinueTheUnclippedOnes) {
  std::mt19937 rng(33);
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  ImageSurface src, dst;
  ASSERT_EQ(src.Create(40, 30, 32, 0), kSurfaceDone);
  ASSERT_EQ(dst.Create(50, 40, 32, 0), kSurfaceDone);
  for (int round = 0; round < 300; ++round) {
    Rect from{pick(0, 10), pick(0, 10), pick(11, 40), pick(11, 30)};
    Size size{pick(1, 90), pick(1, 90)};
    const int x = pick(-60, 45), y = pick(-60, 35);
    SmoothStepper steps{};
    int result = dst.ClipSmoothStretch(&src, x, y, &from, &size, &steps, nullptr);
    const bool visible = x < 50 && x + size.width > 0 && y < 40 && y + size.height > 0;
    ASSERT_EQ(result, visible ? kClipDraw : kClipNothing) << "round " << round;
    if (!visible) continue;
    const uint64_t xStep = (uint64_t(from.Width()) << 32) / uint64_t(size.width);
    const uint64_t yStep = (uint64_t(from.Height()) << 32) / uint64_t(size.height);
    ASSERT_EQ(steps.xStep, xStep);
    const Rect& cd = dst.ClippedDest();
    const Rect& cs = dst.ClippedSource();
    EXPECT_EQ(cd, (Rect{std::max(x, 0), std::max(y, 0), std::min(x + size.width, 50),
                        std::min(y + size.height, 40)}));
    for (int i : {0, cd.Width() - 1}) {
      const uint64_t unclipped = uint64_t(cd.left - x + i) * xStep;
      const uint64_t clipped = (uint64_t(cs.left - from.left) << 32) + steps.xFraction + i * xStep;
      ASSERT_EQ(clipped, unclipped) << "round " << round << " pixel " << i;
    }
    const uint64_t rowUnclipped = uint64_t(cd.top - y) * yStep;
    ASSERT_EQ((uint64_t(cs.top - from.top) << 32) + steps.yFraction, rowUnclipped);
  }
  Size some{4, 4};
  EXPECT_EQ(dst.ClipSmoothStretch(&src, 0, 0, nullptr, &some, nullptr, nullptr), kClipNoStepRecord);
  Size flat{4, 0};
  SmoothStepper steps;
  EXPECT_EQ(dst.ClipSmoothStretch(&src, 0, 0, nullptr, &flat, &steps, nullptr), kClipNothing);
}

}  // namespace
}  // namespace bw
