#include "effects/transitions/transition_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "graphics/surface/dirty_rect_list.h"
#include "graphics/surface/image_surface.h"

namespace bw {
namespace {

void Paint(ImageSurface& s, uint32_t salt) {
  for (int32_t j = 0; j < s.GetHeight(); ++j) {
    for (int32_t i = 0; i < s.GetWidth(); ++i) {
      s.SetPixel(i, j, 0xFF000000u ^ salt ^ uint32_t(i << 12 | j));
    }
  }
}

// Pieces of the sizes the patterns give (single pixels, cells, strips), overlapping one another,
// some straddling or beyond the pictures' edges, some empty.
std::vector<TransitionPiece> ScatteredPieces(uint32_t seed) {
  std::mt19937 random(seed);
  static constexpr int32_t kSides[] = {0, 1, 2, 3, 4, 8, 16, 17, 40};
  auto side = [&] { return kSides[random() % std::size(kSides)]; };
  auto at = [&] { return int32_t(random() % 60) - 6; };
  std::vector<TransitionPiece> pieces(300);
  for (TransitionPiece& p : pieces) {
    const int32_t l = at(), t = at();
    p.source = {l, t, l + side(), t + side()};
    // A third drawn in place, as the dissolves draw; the rest moved, as the flights.
    const bool moved = random() % 3;
    p.x = moved ? at() : l + 2;
    p.y = moved ? at() : t + 3;
  }
  return pieces;
}

struct Case {
  bool clipped;
  uint32_t seed;
};

// However the engine's sink batches, joins or copies pieces itself, the picture is the one the
// blit gives drawing each piece in turn, and one rectangle covering all of them is marked.
TEST(TransitionFrame, PiecesLandAsTheBlitDrawsThemInTurn) {
  for (const Case& c : {Case{false, 1}, Case{true, 2}, Case{true, 3}, Case{false, 4}}) {
    ImageSurface source, target, expected;
    ASSERT_EQ(source.Create(48, 40, 32, 0), 0);
    ASSERT_EQ(target.Create(64, 56, 32, kImageDirtyList), 0);
    ASSERT_EQ(expected.Create(64, 56, 32, 0), 0);
    Paint(source, 0);
    Paint(target, 0x00A5A5A5u);
    Paint(expected, 0x00A5A5A5u);
    target.GetDirtyList()->Clear();
    target.SetChanged(false);
    if (c.clipped) {
      const Rect sourceClip{3, 5, 41, 33}, targetClip{7, 2, 60, 47};
      source.SetClipRect(&sourceClip);
      target.SetClipRect(&targetClip);
      expected.SetClipRect(&targetClip);
    }
    const std::vector<TransitionPiece> pieces = ScatteredPieces(c.seed);
    Rect marked;
    for (const TransitionPiece& p : pieces) {
      expected.Blit(&source, p.x, p.y, &p.source, false);
      // What the blit can change: the piece where it lands, cut to the target's clip.
      const Rect& clip = *target.GetClipRectPtr();
      const Rect r{std::max(p.x, clip.left), std::max(p.y, clip.top),
                   std::min(p.x + p.source.Width(), clip.right),
                   std::min(p.y + p.source.Height(), clip.bottom)};
      if (r.IsEmpty()) continue;
      marked = marked.IsEmpty()
                   ? r
                   : Rect{std::min(marked.left, r.left), std::min(marked.top, r.top),
                          std::max(marked.right, r.right), std::max(marked.bottom, r.bottom)};
    }
    const int result = RunTransitionFrame(&target, &source, 100, 0, 0, kDrawCopy, nullptr,
                                          [&](TransitionFrame& f, int32_t) {
                                            for (const TransitionPiece& p : pieces)
                                              DrawTransitionPiece(f, p);
                                            return kTransitionStepDone;
                                          });
    EXPECT_EQ(result, kTransitionStepDone);
    for (int32_t j = 0; j < 56; ++j) {
      for (int32_t i = 0; i < 64; ++i) {
        ASSERT_EQ(target.GetPixel(i, j), expected.GetPixel(i, j))
            << "at " << i << ", " << j << " seed " << c.seed;
      }
    }
    EXPECT_TRUE(target.IsChanged());
    ASSERT_EQ(target.GetDirtyList()->Count(), 1);
    EXPECT_EQ(target.GetDirtyList()->Bounds(), marked) << "seed " << c.seed;
  }
}

// Pieces that all land beyond the target draw nothing and mark nothing.
TEST(TransitionFrame, PiecesBeyondTheTargetLeaveItUntouched) {
  ImageSurface source, target;
  ASSERT_EQ(source.Create(16, 16, 32, 0), 0);
  ASSERT_EQ(target.Create(16, 16, 32, kImageDirtyList), 0);
  Paint(source, 0);
  Paint(target, 0x00123456u);
  target.GetDirtyList()->Clear();
  target.SetChanged(false);
  RunTransitionFrame(&target, &source, 100, 0, 0, kDrawCopy, nullptr,
                     [](TransitionFrame& f, int32_t) {
                       for (int32_t k = 0; k < 200; ++k) {
                         TransitionPiece p;
                         p.source = {0, 0, 4, 2};
                         p.x = k % 2 ? 16 + k : -4;
                         p.y = k % 3 ? -2 : 16;
                         DrawTransitionPiece(f, p);
                       }
                       return kTransitionStepDone;
                     });
  EXPECT_FALSE(target.IsChanged());
  EXPECT_EQ(target.GetDirtyList()->Count(), 0);
  EXPECT_EQ(target.GetPixel(0, 0), 0xFF123456u);
}

}  // namespace
}  // namespace bw
