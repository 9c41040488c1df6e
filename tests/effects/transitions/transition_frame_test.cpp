// However the engine's sink batches, joins, copies or blends a frame's pieces, the picture must be
// the one the blits give drawing each piece alone in turn.
#include "effects/transitions/transition_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <utility>
#include <vector>

#include "common/global.h"
#include "effects/transitions/numbered_modes.h"
#include "effects/transitions/transition_dispatch.h"
#include "effects/transitions/transition_random.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/dirty_rect_list.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/surface_fixture.h"
#include "platform/mmx_flag.h"
#include "platform/trig_tables.h"
#include "support/transition_recorder.h"

namespace bw {
namespace {

using testing_surfaces::SamePixels;

void Paint(ImageSurface& s, uint32_t salt) {
  for (int32_t j = 0; j < s.GetHeight(); ++j) {
    for (int32_t i = 0; i < s.GetWidth(); ++i) {
      (void)s.SetPixel(i, j, 0xFF000000u ^ salt ^ uint32_t(i << 12 | j));
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
      (void)s.SetPixel(i, j, alpha << 24 | (random() & 0x00FFFFFFu));
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
  // One stretched over the others, as a smear stretches its edge.
  pieces[150].source = {0, 0, 30, 20};
  pieces[150].stretched = true;
  pieces[150].size = {45, 11};
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
      const uint32_t odd = random() % 8;
      if (odd == 0) p.x += 1;
      if (odd == 1) (rows ? p.source.left : p.source.top) += 1;
      if (odd == 2) (rows ? p.source.top : p.source.left) -= backwards ? -2 : 2;
      if (odd == 3) (rows ? p.source.right : p.source.bottom) -= 1;
      if (odd == 4) {
        // Inside out, with the end that meets the run in its place: nothing to draw.
        (backwards ? (rows ? p.source.top : p.source.left)
                   : (rows ? p.source.bottom : p.source.right)) = backwards ? hi + 1 : lo - 1;
        p.x = p.source.left + dx, p.y = p.source.top + dy;
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
  bool library = false;
};

// A piece drawn alone with the surface's own blits; a whole draw (no rectangle) at (x, y).
void BlitAlone(ImageSurface& to, const ImageSurface& from, const TransitionPiece& p, bool whole,
               int32_t x, int32_t y, int kind) {
  const Rect* r = whole ? nullptr : &p.source;
  if (p.stretched) {
    (void)(kind ? to.StretchAlphaBlit(&from, &p.size, x, y, r, false)
                : to.StretchBlit(&from, &p.size, x, y, r, false));
  } else {
    (void)(kind ? to.AlphaBlit(&from, x, y, r, false) : to.Blit(&from, x, y, r, false));
  }
}

// However the engine's sink batches, joins, copies or blends pieces itself, the picture is the
// one the blit (kind 0) or the alpha blit (kind 1) gives drawing each piece in turn, under
// either kernel set, and one rectangle covering all of them is marked (none, and the picture not
// changed, when every piece lands beyond the target).
void ExpectDrawnInTurn(const Case& c, const std::vector<TransitionPiece>& pieces) {
  BuildBlendTables();
  ScopedMmxFlag vectors(c.vectors);
  ScopedWideVectors wide(c.wide && WideVectorsEnabled());
  ScopedPixelLibrary library(c.library ? &BuiltInPixelLibrary() : nullptr);
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
    BlitAlone(expected, source, p, false, p.x, p.y, c.kind);
    // What the blit can change: the piece where it lands, cut to the target's clip.
    const Rect& clip = *target.GetClipRectPtr();
    const Size size = p.stretched ? p.size : Size{p.source.Width(), p.source.Height()};
    const Rect r{std::max(p.x, clip.left), std::max(p.y, clip.top),
                 std::min(p.x + size.width, clip.right), std::min(p.y + size.height, clip.bottom)};
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
  ASSERT_TRUE(SamePixels(target, expected)) << "seed " << c.seed;
  EXPECT_EQ(target.IsChanged(), !marked.IsEmpty());
  ASSERT_EQ(target.GetDirtyList()->Count(), marked.IsEmpty() ? 0 : 1);
  if (!marked.IsEmpty()) {
    EXPECT_EQ(target.GetDirtyList()->Bounds(), marked) << "seed " << c.seed;
  }
}

TEST(TransitionFrame, PiecesLandAsTheBlitDrawsThemInTurn) {
  for (const Case& c :
       {Case{false, 1}, Case{true, 2}, Case{false, 5, kDrawAlpha}, Case{true, 6, kDrawAlpha},
        Case{true, 7, kDrawAlpha, true, false}, Case{false, 8, kDrawAlpha, false},
        Case{true, 9, kDrawAlpha, false}, Case{true, 31, kDrawCopy, true, true, 64, 32, true},
        Case{true, 32, kDrawAlpha, true, true, 64, 32, true}}) {
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
        Case{false, 15, kDrawCopy, true, true, 150}, Case{true, 16, kDrawCopy, true, true, 150},
        Case{true, 17, kDrawAlpha, true, false, 150, 32, true}}) {
    ExpectDrawnInTurn(c, Columns(c.seed, false));
    ExpectDrawnInTurn(c, Columns(c.seed, true));
  }
}

// Strips that continue one another may be copied or blended as one, whichever way they are walked.
TEST(TransitionFrame, StripsLandAsTheBlitDrawsThemInTurn) {
  for (const Case& c :
       {Case{false, 21}, Case{true, 22}, Case{false, 23, kDrawCopy, false},
        Case{true, 24, kDrawCopy, true, true, 150}, Case{false, 25, kDrawAlpha},
        Case{true, 26, kDrawAlpha}, Case{true, 27, kDrawAlpha, false},
        Case{false, 28, kDrawAlpha, true, false, 150},
        Case{false, 29, kDrawCopy, true, true, 64, 8}, Case{true, 30, kDrawCopy, true, true, 64, 8},
        Case{true, 33, kDrawAlpha, true, true, 64, 32, true}}) {
    ExpectDrawnInTurn(c, Strips(c.seed));
  }
}

// Every numbered mode's frames: cells and blocks in rows (joined where they touch), columns and
// chords, flights that overlap and leave the picture, strips, pinwheels; each drawn again alone,
// piece by recorded piece.
TEST(TransitionFrame, EveryModeDrawsWhatItsPiecesDrawAlone) {
  BuildBlendTables();
  TrigTables trig;
  ScopedGlobal<TrigTables> publishTrig{&trig};
  static constexpr struct {
    int32_t width, height;  // the source's
    int32_t targetWidth, targetHeight;
    int32_t x, y;  // where the picture lands
    bool clipped;
  } kScenes[] = {{37, 23, 40, 30, -5, 3, true}, {90, 61, 104, 70, 9, 4, false}};
  static constexpr int32_t kProgress[] = {1, 37, 128, 219, 256};
  static constexpr struct {
    int kind;
    bool library, vectors;
  } kRuns[] = {{kDrawCopy, false, true},
               {kDrawAlpha, false, true},
               {kDrawAlpha, true, true},
               {kDrawAlpha, true, false},
               {kDrawAlpha, false, false}};
  for (const auto& s : kScenes) {
    for (const auto& run : kRuns) {
      ImageSurface source, target, expected;
      ASSERT_EQ(source.Create(s.width, s.height, 32, 0), 0);
      ASSERT_EQ(target.Create(s.targetWidth, s.targetHeight, 32, 0), 0);
      ASSERT_EQ(expected.Create(s.targetWidth, s.targetHeight, 32, 0), 0);
      PaintTranslucent(source, uint32_t(s.width * 31 + run.kind));
      if (s.clipped) {
        const Rect sourceClip{2, 1, s.width - 3, s.height - 2};
        const Rect targetClip{5, 3, s.targetWidth - 4, s.targetHeight - 6};
        source.SetClipRect(&sourceClip);
        target.SetClipRect(&targetClip);
        expected.SetClipRect(&targetClip);
      }
      ScopedMmxFlag vectors(run.vectors);
      ScopedPixelLibrary library(run.library ? &BuiltInPixelLibrary() : nullptr);
      for (int mode = 0; mode < kTransitionModes; ++mode) {
        if (mode == 53 || (mode >= 68 && mode <= 70)) continue;  // not drawn as pieces
        for (int32_t p : kProgress) {
          RecordingSink sink;
          {
            ScopedGlobal<PieceSink> recording{&sink};
            ReseedTransitionRandom(7);
            TransitionTable()[size_t(mode)](&target, &source, p, s.x, s.y, run.kind, nullptr);
          }
          PaintTranslucent(target, 99);
          PaintTranslucent(expected, 99);
          ReseedTransitionRandom(7);
          TransitionTable()[size_t(mode)](&target, &source, p, s.x, s.y, run.kind, nullptr);
          for (const DrawnPiece& d : sink.drawn) {
            BlitAlone(expected, source, d.piece, d.whole, d.whole ? s.x : d.piece.x,
                      d.whole ? s.y : d.piece.y, run.kind);
          }
          ASSERT_TRUE(SamePixels(target, expected))
              << "mode " << mode << " progress " << p << " kind " << run.kind << " library "
              << run.library << " vectors " << run.vectors << " scene " << s.width;
        }
      }
    }
  }
}

// The dissolves, circles, grids and stripes copy or blend their cells and spans straight into the
// picture and mark them changed once, at the frame's end: every pixel a frame changed lies in the
// area marked, or the window keeps stale pixels there. The picture lies inside the target (rows
// laid whole, spans drawn at once, then the cells that move) or across its edge (pieces alone).
TEST(TransitionFrame, DissolvesMarkEveryPixelTheirCellsChange) {
  ImageSurface source, target;
  ASSERT_EQ(source.Create(48, 40, 32, 0), 0);
  ASSERT_EQ(target.Create(64, 56, 32, kImageDirtyList), 0);
  Paint(source, 0);
  const std::pair<int, std::vector<int>> modesOfKind[] = {
      {kDrawCopy, {5, 6, 8, 10, 64, 65, 30, 33}}, {kDrawAlpha, {5, 6, 37, 44, 64}}};
  for (const auto& [kind, modes] : modesOfKind) {
    for (const int mode : modes) {
      for (const auto [x, y, progress] :
           {std::array{8, 8, 60}, {8, 8, 180}, {-20, 30, 60}, {-20, 30, 180}}) {
        Paint(target, 0x00A5A5A5u);
        target.GetDirtyList()->Clear();
        ReseedTransitionRandom(mode);
        NumberedModeRoutine(mode)(&target, &source, progress, x, y, kind, nullptr);
        const Rect marked = target.GetDirtyList()->Bounds();
        int changed = 0;
        for (int32_t j = 0; j < 56; ++j) {
          for (int32_t i = 0; i < 64; ++i) {
            if (target.GetPixel(i, j) == (0xFF000000u ^ 0x00A5A5A5u ^ uint32_t(i << 12 | j)))
              continue;
            ++changed;
            ASSERT_TRUE(i >= marked.left && i < marked.right && j >= marked.top &&
                        j < marked.bottom)
                << "mode " << mode << " kind " << kind << " x " << x << " progress " << progress
                << ": " << i << ", " << j << " changed outside the marked area";
          }
        }
        EXPECT_GT(changed, 0) << "mode " << mode << " x " << x << " progress " << progress;
      }
    }
  }
}

}  // namespace
}  // namespace bw
