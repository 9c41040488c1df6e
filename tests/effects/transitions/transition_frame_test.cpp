#include "effects/transitions/transition_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "effects/transitions/numbered_modes.h"
#include "effects/transitions/transition_random.h"
#include "graphics/surface/dirty_rect_list.h"
#include "graphics/surface/image_surface.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

void Paint(ImageSurface& s, uint32_t salt) {
  for (int32_t j = 0; j < s.GetHeight(); ++j) {
    for (int32_t i = 0; i < s.GetWidth(); ++i) {
      s.SetPixel(i, j, 0xFF000000u ^ salt ^ uint32_t(i << 12 | j));
    }
  }
}

// Random colours; alpha 0, 255 or anything between, in runs as well as alone.
void PaintTranslucent(ImageSurface& s, uint32_t seed) {
  std::mt19937 random(seed);
  uint32_t alpha = 0;
  for (int32_t j = 0; j < s.GetHeight(); ++j) {
    for (int32_t i = 0; i < s.GetWidth(); ++i) {
      if (random() % 4 == 0) {
        const uint32_t pick = random() % 3;
        alpha = pick == 0 ? 0 : pick == 1 ? 255 : random() % 256;
      }
      s.SetPixel(i, j, alpha << 24 | (random() & 0x00FFFFFFu));
    }
  }
}

// Pieces of the sizes the patterns give (single pixels, cells, strips), overlapping one another,
// some straddling or beyond the pictures' edges, some empty.
std::vector<TransitionPiece> ScatteredPieces(uint32_t seed) {
  std::mt19937 random(seed);
  static constexpr int32_t kSides[] = {0, 1, 2, 3, 4, 7, 8, 9, 16, 17, 40};
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

// Columns one or two pixels wide and most of the picture tall, as the mirrors and line patterns
// give them: apart within each batch of pieces the sink takes, or overlapping (their order then
// shows through alpha).
std::vector<TransitionPiece> Columns(uint32_t seed, bool overlapping) {
  std::mt19937 random(seed);
  std::vector<TransitionPiece> pieces;
  for (int32_t i = 0; i < 150; ++i) {
    TransitionPiece p;
    const int32_t x = i % 75 - 5, w = i % 11 == 0 ? 2 : 1;
    const int32_t top = int32_t(random() % 8) - 4, height = 40 + int32_t(random() % 10);
    p.source = {x, top, x + w, top + height};
    p.x = overlapping ? 10 + i % 3 : 2 * (i % 75) - 3;
    p.y = top + int32_t(random() % 5);
    pieces.push_back(p);
  }
  return pieces;
}

// Strips that touch end to end, walked from either end of either axis as the cascades walk them,
// with now and then one that touches but lands elsewhere, covers other rows, overlaps, or is
// inside out.
std::vector<TransitionPiece> Strips(uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<TransitionPiece> pieces;
  for (int walk = 0; walk < 8; ++walk) {
    const bool rows = walk % 2, backwards = walk / 2 % 2;
    const int32_t dx = int32_t(random() % 9) - 4, dy = int32_t(random() % 9) - 4;
    const int32_t from = int32_t(random() % 6) - 3, to = 34 + int32_t(random() % 12);
    int32_t at = backwards ? 50 : -3;
    while (backwards ? at > -3 : at < 50) {
      const int32_t w = 1 + int32_t(random() % 9);
      const int32_t lo = backwards ? at - w : at, hi = backwards ? at : at + w;
      at = backwards ? lo : hi;
      TransitionPiece p;
      p.source = rows ? Rect{from, lo, to, hi} : Rect{lo, from, hi, to};
      p.x = p.source.left + dx, p.y = p.source.top + dy;
      switch (random() % 8) {
        case 0:
          p.x += 1;
          break;
        case 1:
          (rows ? p.source.left : p.source.top) += 1;
          break;
        case 2:
          (rows ? p.source.top : p.source.left) -= backwards ? -2 : 2;
          break;
        case 3:
          (rows ? p.source.right : p.source.bottom) -= 1;
          break;
        case 4:
          // Inside out, with the end that meets the run in its place: nothing to draw.
          if (backwards) {
            (rows ? p.source.top : p.source.left) = hi + 1;
          } else {
            (rows ? p.source.bottom : p.source.right) = lo - 1;
          }
          p.x = p.source.left + dx, p.y = p.source.top + dy;
          break;
        default:
          break;
      }
      pieces.push_back(p);
    }
  }
  return pieces;
}

// Pieces that all land beyond the target.
std::vector<TransitionPiece> Beyond() {
  std::vector<TransitionPiece> pieces(200);
  for (int32_t k = 0; k < 200; ++k) {
    pieces[size_t(k)].source = {0, 0, 4, 2};
    pieces[size_t(k)].x = k % 2 ? 150 + k : -4;
    pieces[size_t(k)].y = k % 3 ? -2 : 56;
  }
  return pieces;
}

struct Case {
  bool clipped;
  uint32_t seed;
  int kind = kDrawCopy;
  bool vectors = true;
  bool wide = true;
  int32_t targetWidth = 64;
  int bits = 32;  // other depths take the blit's path, not the inline copy
};

// However the engine's sink batches, joins, copies or blends pieces itself, the picture is the
// one the blit (kind 0) or the alpha blit (kind 1) gives drawing each piece in turn, under
// either kernel set, and one rectangle covering all of them is marked (none, and the picture not
// changed, when every piece lands beyond the target).
void ExpectDrawnInTurn(const Case& c, const std::vector<TransitionPiece>& pieces) {
  {
    ScopedMmxFlag vectors(c.vectors);
    ScopedWideVectors wide(c.wide && WideVectorsEnabled());
    ImageSurface source, target, expected;
    ASSERT_EQ(source.Create(48, 40, c.bits, 0), 0);
    ASSERT_EQ(target.Create(c.targetWidth, 56, c.bits, kImageDirtyList), 0);
    ASSERT_EQ(expected.Create(c.targetWidth, 56, c.bits, 0), 0);
    if (c.kind == kDrawAlpha) {
      PaintTranslucent(source, c.seed);
    } else {
      Paint(source, 0);
    }
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
    Rect marked;
    for (const TransitionPiece& p : pieces) {
      if (c.kind == kDrawAlpha) {
        expected.AlphaBlit(&source, p.x, p.y, &p.source, false);
      } else {
        expected.Blit(&source, p.x, p.y, &p.source, false);
      }
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
    const int result = RunTransitionFrame(&target, &source, 100, 0, 0, c.kind, nullptr,
                                          [&](TransitionFrame& f, int32_t) {
                                            for (const TransitionPiece& p : pieces)
                                              DrawTransitionPiece(f, p);
                                            return kTransitionStepDone;
                                          });
    EXPECT_EQ(result, kTransitionStepDone);
    for (int32_t j = 0; j < 56; ++j) {
      for (int32_t i = 0; i < c.targetWidth; ++i) {
        ASSERT_EQ(target.GetPixel(i, j), expected.GetPixel(i, j))
            << "at " << i << ", " << j << " seed " << c.seed;
      }
    }
    EXPECT_EQ(target.IsChanged(), !marked.IsEmpty());
    ASSERT_EQ(target.GetDirtyList()->Count(), marked.IsEmpty() ? 0 : 1);
    if (!marked.IsEmpty()) {
      EXPECT_EQ(target.GetDirtyList()->Bounds(), marked) << "seed " << c.seed;
    }
  }
}

TEST(TransitionFrame, PiecesLandAsTheBlitDrawsThemInTurn) {
  for (const Case& c :
       {Case{false, 1}, Case{true, 2}, Case{true, 3}, Case{false, 4}, Case{false, 5, kDrawAlpha},
        Case{true, 6, kDrawAlpha}, Case{true, 7, kDrawAlpha, true, false},
        Case{false, 8, kDrawAlpha, false}, Case{true, 9, kDrawAlpha, false}}) {
    ExpectDrawnInTurn(c, ScatteredPieces(c.seed));
  }
  ExpectDrawnInTurn(Case{false, 10}, Beyond());
}

// Tall columns, which the sink may copy or blend across a batch a band of rows at a time, single
// columns side by side out of their order.
TEST(TransitionFrame, ColumnsLandAsTheBlitsDrawThemInTurn) {
  for (const Case& c :
       {Case{false, 11, kDrawAlpha, true, true, 150}, Case{true, 12, kDrawAlpha, true, true, 150},
        Case{true, 13, kDrawAlpha, false, true, 150}, Case{false, 14, kDrawAlpha, true, false, 150},
        Case{false, 15, kDrawCopy, true, true, 150}, Case{true, 16, kDrawCopy, true, true, 150}}) {
    ExpectDrawnInTurn(c, Columns(c.seed, false));
    ExpectDrawnInTurn(c, Columns(c.seed, true));
  }
}

// Strips that continue one another may be copied or blended as one, whichever way they are walked.
TEST(TransitionFrame, StripsLandAsTheBlitDrawsThemInTurn) {
  for (const Case& c : {Case{false, 21}, Case{true, 22}, Case{false, 23, kDrawCopy, false},
                        Case{true, 24, kDrawCopy, true, true, 150}, Case{false, 25, kDrawAlpha},
                        Case{true, 26, kDrawAlpha}, Case{true, 27, kDrawAlpha, false},
                        Case{false, 28, kDrawAlpha, true, false, 150},
                        Case{false, 29, kDrawCopy, true, true, 64, 8},
                        Case{true, 30, kDrawCopy, true, true, 64, 8}}) {
    ExpectDrawnInTurn(c, Strips(c.seed));
  }
}

// The dissolves copy their cells straight into the picture and mark them changed once, at the
// frame's end: every pixel a frame changed lies in the area marked, or the window keeps stale
// pixels there. The picture lies inside the target (rows laid whole, then the cells that move) or
// across its edge (cells alone).
TEST(TransitionFrame, DissolvesMarkEveryPixelTheirCellsChange) {
  ImageSurface source, target;
  ASSERT_EQ(source.Create(48, 40, 32, 0), 0);
  ASSERT_EQ(target.Create(64, 56, 32, kImageDirtyList), 0);
  Paint(source, 0);
  for (const int mode : {5, 6, 8, 10, 64, 65}) {
    for (const auto& [x, y] : {std::pair{8, 8}, std::pair{-20, 30}}) {
      for (const int32_t progress : {60, 180}) {
        Paint(target, 0x00A5A5A5u);
        target.GetDirtyList()->Clear();
        ReseedTransitionRandom(mode);
        NumberedModeRoutine(mode)(&target, &source, progress, x, y, kDrawCopy, nullptr);
        const Rect marked = target.GetDirtyList()->Bounds();
        int changed = 0;
        for (int32_t j = 0; j < 56; ++j) {
          for (int32_t i = 0; i < 64; ++i) {
            if (target.GetPixel(i, j) == (0xFF000000u ^ 0x00A5A5A5u ^ uint32_t(i << 12 | j)))
              continue;
            ++changed;
            ASSERT_TRUE(i >= marked.left && i < marked.right && j >= marked.top &&
                        j < marked.bottom)
                << "mode " << mode << " x " << x << " progress " << progress << ": " << i << ", "
                << j << " changed outside the marked area";
          }
        }
        EXPECT_GT(changed, 0) << "mode " << mode << " x " << x << " progress " << progress;
      }
    }
  }
}

}  // namespace
}  // namespace bw
