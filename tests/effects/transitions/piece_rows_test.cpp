// The engine's sink draws a frame's pieces by bands of rows, joining those that continue one
// another: whatever the pattern, the picture must be the one the blits give drawing each piece
// alone in turn, with and without the engine's own pixel library (whose alpha blend keeps the
// target's alpha), under either kernel set, where pieces straddle the pictures' edges and the clip
// rectangles, overlap, or come in more than the sink holds at once.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "common/global.h"
#include "effects/transitions/transition_dispatch.h"
#include "effects/transitions/transition_frame.h"
#include "effects/transitions/transition_random.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "platform/mmx_flag.h"
#include "platform/trig_tables.h"
#include "support/transition_recorder.h"

namespace bw {
namespace {

// Runs of clear, solid and translucent pixels, as sprites have them.
void PaintSprite(ImageSurface& s, uint32_t seed) {
  std::mt19937 random(seed);
  uint32_t alpha = 0;
  for (int32_t j = 0; j < s.GetHeight(); ++j) {
    for (int32_t i = 0; i < s.GetWidth(); ++i) {
      if (random() % 6 == 0) alpha = random() % 3 == 0 ? random() % 256 : 255 * (random() % 2);
      s.SetPixel(i, j, alpha << 24 | (random() & 0x00FFFFFFu));
    }
  }
}

struct Scene {
  int32_t width, height;  // the source's
  int32_t targetWidth, targetHeight;
  int32_t x, y;  // where the picture lands
  bool clipped;
};

class PieceRowsTest : public testing::Test {
 protected:
  void SetUp() override { BuildBlendTables(); }

  void Open(const Scene& s, int kind) {
    ASSERT_EQ(source.Create(s.width, s.height, 32, 0), 0);
    ASSERT_EQ(target.Create(s.targetWidth, s.targetHeight, 32, 0), 0);
    ASSERT_EQ(expected.Create(s.targetWidth, s.targetHeight, 32, 0), 0);
    PaintSprite(source, uint32_t(s.width * 31 + kind));
    if (s.clipped) {
      const Rect sourceClip{2, 1, s.width - 3, s.height - 2};
      const Rect targetClip{5, 3, s.targetWidth - 4, s.targetHeight - 6};
      source.SetClipRect(&sourceClip);
      target.SetClipRect(&targetClip);
      expected.SetClipRect(&targetClip);
    }
  }
  void Reset() {
    PaintSprite(target, 99);
    PaintSprite(expected, 99);
  }
  // The pieces drawn in turn onto `expected` with the surface's blits.
  void DrawAlone(const std::vector<DrawnPiece>& drawn, int kind) {
    for (const DrawnPiece& d : drawn) {
      const TransitionPiece& p = d.piece;
      const Rect* r = d.whole ? nullptr : &p.source;
      const int32_t x = d.whole ? scene.x : p.x, y = d.whole ? scene.y : p.y;
      if (p.stretched) {
        kind ? expected.StretchAlphaBlit(&source, &p.size, x, y, r, false)
             : expected.StretchBlit(&source, &p.size, x, y, r, false);
      } else {
        kind ? expected.AlphaBlit(&source, x, y, r, false) : expected.Blit(&source, x, y, r, false);
      }
    }
  }
  testing::AssertionResult Same() const {
    for (int32_t j = 0; j < target.GetHeight(); ++j) {
      for (int32_t i = 0; i < target.GetWidth(); ++i) {
        if (target.GetPixel(i, j) != expected.GetPixel(i, j)) {
          return testing::AssertionFailure()
                 << "pixel " << i << "," << j << " is 0x" << std::hex << target.GetPixel(i, j)
                 << ", expected 0x" << expected.GetPixel(i, j);
        }
      }
    }
    return testing::AssertionSuccess();
  }

  Scene scene{};
  ImageSurface source, target, expected;
  TrigTables trig;
  ScopedGlobal<TrigTables> publishTrig{&trig};
};

// Every numbered mode's frames: cells and blocks in rows (joined where they touch), columns and
// chords, flights that overlap and leave the picture, strips, pinwheels.
TEST_F(PieceRowsTest, EveryModeDrawsWhatItsPiecesDrawAlone) {
  static constexpr Scene kScenes[] = {{37, 23, 40, 30, -5, 3, true},
                                      {90, 61, 104, 70, 9, 4, false}};
  static constexpr int32_t kProgress[] = {1, 37, 128, 219, 256};
  static constexpr struct {
    int kind;
    bool library, vectors;
  } kRuns[] = {{kDrawCopy, false, true},
               {kDrawAlpha, false, true},
               {kDrawAlpha, true, true},
               {kDrawAlpha, true, false},
               {kDrawAlpha, false, false}};
  for (const Scene& s : kScenes) {
    for (const auto& run : kRuns) {
      scene = s;
      Open(s, run.kind);
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
          Reset();
          ReseedTransitionRandom(7);
          TransitionTable()[size_t(mode)](&target, &source, p, s.x, s.y, run.kind, nullptr);
          DrawAlone(sink.drawn, run.kind);
          ASSERT_TRUE(Same()) << "mode " << mode << " progress " << p << " kind " << run.kind
                              << " library " << run.library << " vectors " << run.vectors
                              << " scene " << s.width;
        }
      }
    }
  }
}

// Pieces given straight to a frame: rows of cells that continue one another either way along,
// across the clip edges and off the picture; columns whose tops and heights differ (many bands);
// pieces that overlap the ones before (blended twice); a stretched piece between them; and more
// pieces than the sink holds at once.
TEST_F(PieceRowsTest, JoinedOverlappingAndBandedPiecesDrawAsAlone) {
  std::mt19937 random(3);
  std::vector<TransitionPiece> pieces;
  auto add = [&](Rect r, int32_t x, int32_t y) {
    TransitionPiece p;
    p.source = r;
    p.x = x, p.y = y;
    pieces.push_back(p);
  };
  for (int32_t cy = -2; cy < 44; cy += 2) {
    const bool backwards = cy % 4 == 0;
    for (int32_t k = 0; k < 20; ++k) {
      const int32_t cx = backwards ? 72 - 4 * k : 4 * k - 6;
      if (random() % 5) add({cx, cy, cx + 4, cy + 2}, cx + 3, cy + 1);
    }
  }
  for (int32_t i = 0; i < 300; ++i) {
    const int32_t cx = int32_t(random() % 70) - 3, top = int32_t(random() % 20) - 2;
    add({cx, top, cx + 1 + int32_t(random() % 3), top + 5 + int32_t(random() % 30)}, cx + 1,
        top + 2);
    if (i == 150) {
      TransitionPiece stretched;
      stretched.source = {0, 0, 30, 20};
      stretched.x = 10, stretched.y = 6;
      stretched.stretched = true;
      stretched.size = {45, 11};
      pieces.push_back(stretched);
    }
  }
  for (int32_t i = 0; i < 40; ++i) {
    const int32_t l = int32_t(random() % 60), t = int32_t(random() % 40);
    add({l, t, l + 9, t + 7}, 20 + int32_t(random() % 20), 10 + int32_t(random() % 20));
  }
  scene = {70, 45, 80, 56, 0, 0, true};
  for (int kind : {kDrawCopy, kDrawAlpha}) {
    for (bool library : {false, true}) {
      Open(scene, kind);
      ScopedPixelLibrary use(library ? &BuiltInPixelLibrary() : nullptr);
      Reset();
      std::vector<DrawnPiece> drawn;
      for (const TransitionPiece& p : pieces) drawn.push_back({false, kind, p});
      DrawAlone(drawn, kind);
      RunTransitionFrame(&target, &source, 100, 0, 0, kind, nullptr,
                         [&](TransitionFrame& f, int32_t) {
                           for (const TransitionPiece& p : pieces) DrawTransitionPiece(f, p);
                           return kTransitionStepDone;
                         });
      EXPECT_TRUE(Same()) << "kind " << kind << " library " << library;
    }
  }
}

}  // namespace
}  // namespace bw
