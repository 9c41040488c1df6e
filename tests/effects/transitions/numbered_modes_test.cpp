// The numbered transition modes: their pieces against worked cases and laws, and the dispatch that
// picks what to draw by the surfaces' kinds, the mode and the progress.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "common/global.h"
#include "effects/transitions/numbered_modes.h"
#include "effects/transitions/transition_dispatch.h"
#include "effects/transitions/transition_frame.h"
#include "effects/transitions/transition_random.h"
#include "effects/transitions/transition_strips.h"
#include "graphics/device/direct3d_fixture.h"
#include "graphics/device/direct_draw_device.h"
#include "graphics/device/render_item_sprite.h"
#include "graphics/surface/directdraw_image_surface.h"
#include "graphics/surface/dirty_rect_list.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/surface_fixture.h"
#include "platform/mmx_flag.h"
#include "platform/trig_tables.h"
#include "support/bg_effect_rig.h"
#include "support/fuzz_seeds.h"
#include "support/transition_recorder.h"

namespace bw {
namespace {

constexpr int32_t kX = 5, kY = 7;

std::unique_ptr<ImageSurface> Picture(int32_t w, int32_t h) {
  auto s = std::make_unique<ImageSurface>();
  test::FillCoded(*s, w, h);
  return s;
}

class NumberedModesTest : public testing::Test {
 protected:
  std::vector<TransitionPiece> Record(int mode, int32_t w, int32_t h, int32_t p,
                                      int* result = nullptr) {
    auto source = Picture(w, h);
    sink.drawn.clear();
    const int r = TransitionTable()[size_t(mode)](&target, source.get(), p, kX, kY, 0, nullptr);
    if (result) *result = r;
    std::vector<TransitionPiece> pieces;
    for (const DrawnPiece& d : sink.drawn) {
      if (!d.whole) pieces.push_back(d.piece);
    }
    return pieces;
  }
  // How often each source pixel was drawn in place (pieces drawn elsewhere fail the test).
  std::vector<int> InPlaceCount(int mode, int32_t w, int32_t h, int32_t p) {
    std::vector<int> count(size_t(w) * size_t(h));
    for (const TransitionPiece& piece : Record(mode, w, h, p)) {
      const Rect& r = piece.source;
      EXPECT_EQ(std::tuple(piece.x, piece.y), std::tuple(kX + r.left, kY + r.top));
      for (int32_t j = std::max(r.top, 0); j < std::min(r.bottom, h); ++j) {
        for (int32_t i = std::max(r.left, 0); i < std::min(r.right, w); ++i) {
          ++count[size_t(j) * size_t(w) + size_t(i)];
        }
      }
    }
    return count;
  }
  std::unique_ptr<DirectDrawImageSurface> DirectDrawPicture(int32_t w, int32_t h) {
    auto s = std::make_unique<DirectDrawImageSurface>();
    EXPECT_EQ(s->Create(w, h, true, false, nullptr), 0);
    return s;
  }
  int Dispatch(int mode, Surface* to, Surface* from, int32_t progress, int kind,
               Surface* backBuffer = nullptr) {
    sink.drawn.clear();
    return NumberedTransitionDispatch(mode, to, from, progress, 3, 4, kind, backBuffer);
  }
  void SetUp() override {
    ASSERT_EQ(target.Create(64, 64, 32, 0), 0);
    ASSERT_EQ(device.Create(false, false, nullptr, nullptr, 0, true, 640, 480), 0);
  }

  ImageSurface target;
  TrigTables trig;
  ScopedGlobal<TrigTables> publishTrig{&trig};
  DirectDrawDevice device;
  ScopedGlobal<DirectDrawDevice> display{&device};
  RecordingSink sink;
  ScopedGlobal<PieceSink> recording{&sink};
};

TEST_F(NumberedModesTest, LineAndSquareModesMatchTheirWorkedCases) {
  auto middle = Record(2, 640, 2, 255);
  EXPECT_EQ(std::pair(middle[1].size.width, middle[1].x), std::pair(645, kX - 2))
      << "the middle row (n = 0) is widened by 2/256";

  EXPECT_EQ(Record(11, 100, 60, 64)[0].source, (Rect{38, 18, 63, 43}));
  EXPECT_EQ(Record(12, 60, 100, 64)[0].source, (Rect{0, 0, 25, 25}));

  auto rows = Record(16, 10, 4, 64);
  EXPECT_EQ(rows[0].source, (Rect{0, 0, 2, 1}));
  EXPECT_EQ(rows[1].source, (Rect{7, 1, 10, 2}));

  EXPECT_EQ(Record(18, 8, 8, 128).size(), 4u) << "p = 128: only the even rows";
  EXPECT_EQ(Record(18, 8, 8, 129).size(), 8u);

  auto frayed = Record(21, 90, 40, 64);
  const int32_t offsets[6] = {-10, 10, -20, 20, -30, 30};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(frayed[size_t(k) + 1].x, kX + offsets[k]) << k;
}

TEST_F(NumberedModesTest, CircleBandAndBlockModesMatchTheirWorkedCases) {
  auto top = Record(27, 32, 16, 128);
  ASSERT_EQ(top.size(), 11u);
  EXPECT_EQ(std::pair(top[0].source.Width(), top[10].source.top), std::pair(22, 10));
  auto bottom = Record(28, 32, 16, 128);
  ASSERT_EQ(bottom.size(), 10u) << "the widest chord falls below the picture";
  EXPECT_EQ(std::pair(bottom[0].source.top, bottom[0].source.Width()), std::pair(15, 21));

  for (int covered : InPlaceCount(31, 32, 32, 255)) EXPECT_GE(covered, 1);
  EXPECT_EQ(Record(35, 32, 4, 31).size(), 4u);
  EXPECT_EQ(Record(35, 32, 4, 224).size(), 32u);
  EXPECT_TRUE(Record(43, 32, 4, 31).empty());

  auto in = Record(45, 8, 8, 15), out = Record(46, 8, 8, 15);
  ASSERT_EQ(in.size(), 4u);
  EXPECT_EQ(in[0].source, (Rect{0, 0, 1, 1}));
  EXPECT_EQ(out[0].source, (Rect{1, 1, 2, 2}));
  EXPECT_EQ(Record(51, 5, 6, 1)[0].source, (Rect{0, 0, 5, 6}));
  // Mode 52 at p = 64: ranks 0 to 4 of the spiral out, five cells of every 32-pixel tile.
  EXPECT_EQ(Record(52, 32, 32, 64).size(), 5u);
  EXPECT_EQ(Record(52, 32, 32, 1).size(), 1u);

  auto halves = Record(85, 64, 4, 64);
  EXPECT_EQ(std::tuple(halves[0].source, halves[1].source, halves[1].x),
            std::tuple(Rect{24, 0, 32, 4}, Rect{32, 0, 40, 4}, kX + 56));
}

TEST_F(NumberedModesTest, FlyingBlocksArriveTheTurningGridTurnsAndFlightsStopAtTheRangesEnd) {
  auto turned = Record(60, 40, 30, 128);
  EXPECT_EQ(std::pair(turned[0].x, turned[0].y), std::pair(kX + 40, kY + 30));
  // Far from the centre the offsets need 64-bit products: blocks stay within the picture's
  // reach of their places instead of flying off by wrapped amounts.
  for (int mode = 54; mode <= 63; ++mode) {
    for (const TransitionPiece& piece : Record(mode, 1280, 720, 200)) {
      ASSERT_LE(std::abs(int64_t{piece.x} - kX - piece.source.left), 2000) << mode;
      ASSERT_LE(std::abs(int64_t{piece.y} - kY - piece.source.top), 2000) << mode;
    }
  }
  // Mode 63 closes in: at p = 255 every block is a few pixels from its place at most.
  for (const TransitionPiece& piece : Record(63, 120, 80, 255)) {
    EXPECT_LE(std::abs(piece.x - kX - piece.source.left), 8);
    EXPECT_LE(std::abs(piece.y - kY - piece.source.top), 8);
  }

  // Drawn near the end of the 32-bit range, blocks that would land past it stop at its end rather
  // than wrapping round to the far side of the target.
  auto source = Picture(40, 30);
  constexpr int32_t kFar = INT32_MAX - 20;
  for (int mode = 54; mode <= 67; ++mode) {
    std::vector<TransitionPiece> placed[2];
    for (int32_t at : {0, kFar}) {
      sink.drawn.clear();
      ReseedTransitionRandom(3);
      TransitionTable()[size_t(mode)](&target, source.get(), 128, at, at, 0, nullptr);
      for (const DrawnPiece& d : sink.drawn) placed[at != 0].push_back(d.piece);
    }
    ASSERT_EQ(placed[0].size(), placed[1].size()) << mode;
    int stopped = 0;
    for (size_t i = 0; i < placed[0].size(); ++i) {
      const TransitionPiece &near = placed[0][i], &far = placed[1][i];
      EXPECT_EQ(far.source, near.source) << mode;
      EXPECT_EQ(far.x, std::min<int64_t>(int64_t{near.x} + kFar, INT32_MAX)) << mode;
      EXPECT_EQ(far.y, std::min<int64_t>(int64_t{near.y} + kFar, INT32_MAX)) << mode;
      stopped += int64_t{near.x} + kFar > INT32_MAX;
    }
    if (mode <= 63) {
      EXPECT_GT(stopped, 0) << mode;
    }
  }
}

// The pinwheel's sectors from the centre, independently of how the mode splits them.
bool PinwheelLaw(int mode, const TrigTables& trig, int32_t w, int32_t h, int32_t p, int32_t i,
                 int32_t j) {
  const int64_t x = i - w / 2, y = j - h / 2;
  if (x == 0 && y == 0) return true;
  const int64_t c = trig.Cosine(p / 2), s = trig.Cosine(p / 2 - 128);
  // (u, v) in each sector's frame; v turns toward the next axis.
  const int64_t frames[4][2] = {{x, mode == 83 ? y : -y},
                                {mode == 83 ? y : -y, -x},
                                {-x, mode == 83 ? -y : y},
                                {mode == 83 ? -y : y, x}};
  for (const auto& uv : frames) {
    if (uv[0] > 0 && uv[1] >= 0 && uv[1] * c <= uv[0] * s) return true;
  }
  return false;
}

TEST_F(NumberedModesTest, PinwheelsDrawTheirSectorsOncePerPixel) {
  for (int mode : {83, 84}) {
    for (const Size size : {Size{1, 1}, Size{7, 5}, Size{33, 17}, Size{40, 30}}) {
      for (int32_t p : {1, 2, 64, 128, 200, 255}) {
        const auto count = InPlaceCount(mode, size.width, size.height, p);
        for (int32_t j = 0; j < size.height; ++j) {
          for (int32_t i = 0; i < size.width; ++i) {
            const int expected = PinwheelLaw(mode, trig, size.width, size.height, p, i, j) ? 1 : 0;
            ASSERT_EQ(count[size_t(j * size.width + i)], expected)
                << "mode " << mode << " p " << p << " pixel " << i << "," << j;
          }
        }
      }
    }
  }
}

TEST_F(NumberedModesTest, RandomModesTakeOneDrawPerRowOrCell) {
  struct Case {
    int mode;
    int32_t draws;  // on a 7 x 5 picture
  } cases[] = {{4, 5}, {6, 6}, {7, 6}, {10, 6}, {20, 12}};
  for (const Case& c : cases) {
    ReseedTransitionRandom(99);
    Record(c.mode, 7, 5, 100);
    SubtractiveRandom twin;
    twin.Seed(99);
    for (int32_t k = 0; k < c.draws; ++k) twin.DrawRaw();
    EXPECT_EQ(TransitionRandom().DrawRaw(), twin.DrawRaw()) << "mode " << c.mode;
  }
  // Mode 5: a wandering cell takes two more.
  ReseedTransitionRandom(7);
  SubtractiveRandom twin;
  twin.Seed(7);
  int32_t expected = 0;
  for (int k = 0; k < 6; ++k) expected += (twin.DrawRaw() & 255) <= 1 ? 1 : 3;
  Record(5, 7, 5, 1);
  twin.Seed(7);
  for (int32_t k = 0; k < expected; ++k) twin.DrawRaw();
  EXPECT_EQ(TransitionRandom().DrawRaw(), twin.DrawRaw());
}

TEST_F(NumberedModesTest, ModesNeedingTheCosineTableAnswerOneWithoutIt) {
  ScopedGlobal<TrigTables> none{nullptr};
  for (int mode : {2, 3, 23, 24, 25, 26, 57, 58, 59, 60, 61, 62, 63, 83, 84}) {
    int result = 0;
    EXPECT_TRUE(Record(mode, 8, 8, 100, &result).empty()) << mode;
    EXPECT_EQ(result, 1) << mode;
    Record(mode, 8, 8, 256, &result);
    EXPECT_EQ(result, 0) << "the final step needs no table, mode " << mode;
  }
}

TEST_F(NumberedModesTest, OnDirectDrawMemoryCrossFadeIsRefusedAndFiltersGiveTheImageBytes) {
  ScopedGlobal<PieceSink> own{nullptr};
  auto picture = Picture(16, 12);
  auto to = DirectDrawPicture(24, 20), from = DirectDrawPicture(16, 12);
  EXPECT_EQ(NumberedTransitionDispatch(53, to.get(), from.get(), 100, 0, 0, 0, nullptr), 1)
      << "unsuitable, not the unknown mode's -1 (read as success)";
  ASSERT_EQ(from->CopyFromImage(picture.get(), 0, 0, nullptr, 0), 0);
  ImageSurface image;
  ASSERT_EQ(image.Create(24, 20, 32, 0), 0);
  for (int mode : {68, 69, 70}) {
    EXPECT_EQ(0, to->FillColor(0, 0, 0));
    (void)image.Fill(0xFF000000u, nullptr);
    ASSERT_EQ(NumberedTransitionDispatch(mode, to.get(), from.get(), 40, 3, 2, 0, nullptr), 0)
        << mode;
    ASSERT_EQ(TransitionTable()[size_t(mode)](&image, picture.get(), 40, 3, 2, 0, nullptr), 0);
    for (int32_t j = 0; j < 20; ++j) {
      for (int32_t i = 0; i < 24; ++i) {
        ASSERT_EQ(to->GetPixel(i, j) & 0xFFFFFF, image.GetPixel(i, j) & 0xFFFFFF)
            << "mode " << mode << " at " << i << "," << j;
      }
    }
  }
}

TEST(NumberedModePixels, CrossFadeWeighsThePicturesAndFiltersEndOnThePicture) {
  ImageSurface target;
  ASSERT_EQ(target.Create(16, 16, 32, 0), 0);
  (void)target.Fill(0xFF40FF80u, nullptr);
  auto source = Picture(16, 16);
  auto blue = Picture(16, 16);
  (void)blue->Fill(0xFF0000FFu, nullptr);
  ASSERT_EQ(TransitionTable()[53](&target, blue.get(), 1, 0, 0, 0, nullptr), 0);
  // Weights 255 and 0: a channel of 255 reads 254, 0x40 reads 0x3F.
  EXPECT_EQ(target.GetPixel(3, 3) & 0xFFFFFF, 0x3FFE7Fu);
  ASSERT_EQ(TransitionTable()[53](&target, blue.get(), 129, 0, 0, 0, nullptr), 0);
  EXPECT_EQ(target.GetPixel(3, 3) & 0xFF, ((0x7Fu * 127 + 0xFF * 128) >> 8));

  for (int mode : {68, 69}) {
    (void)target.Fill(0, nullptr);
    ASSERT_EQ(TransitionTable()[size_t(mode)](&target, source.get(), 255, 0, 0, 0, nullptr), 0);
    EXPECT_EQ(target.GetPixel(9, 5), source->GetPixel(9, 5)) << mode;
  }
  ASSERT_EQ(TransitionTable()[70](&target, source.get(), 100, 0, 0, 0, nullptr), 0);
  EXPECT_EQ(target.GetPixel(2, 3) & 0xFFFFFF, ~source->GetPixel(2, 3) & 0xFFFFFF);
  ASSERT_EQ(TransitionTable()[68](&target, source.get(), 1, 0, 0, 0, nullptr), 0);
  EXPECT_EQ(target.GetPixel(0, 0), target.GetPixel(15, 15)) << "one 64-pixel block";
}

// The filters draw the picture through the filter in one pass where the copy would land whole
// inside both clip rectangles; elsewhere (clipped, a keyed target) they copy, then filter. Either
// way the target must read as the copy and then the surface's own filter over where it landed.
TEST(NumberedModePixels, FiltersReadAsTheCopyThenTheFilterOnEveryPath) {
  const auto picture = Picture(17, 13);
  // A pixel of the keyed target's colour, which its invert leaves as it is.
  const uint32_t keyColour = 0x00123456u;
  std::memcpy(picture->GetRowPointer(5) + 5 * 4, &keyColour, 4);
  struct Case {
    const char* name;
    int32_t x, y;
    Rect clip;
    bool keyed;
  } cases[] = {{"inside", 3, 2, {0, 0, 24, 20}, false},
               {"at the origin", 0, 0, {0, 0, 24, 20}, false},
               {"clipped", 9, 10, {0, 0, 22, 18}, false},
               {"keyed target", 3, 2, {0, 0, 24, 20}, true}};
  for (bool mmx : {false, true}) {
    ScopedMmxFlag pin(mmx);
    for (const Case& c : cases) {
      for (int mode : {68, 69, 70}) {
        for (int32_t p : {1, 40, 128, 250, 255}) {
          ImageSurface got, want;
          for (ImageSurface* s : {&got, &want}) {
            ASSERT_EQ(s->Create(24, 20, 32, 0), 0);
            (void)s->Fill(0xFF204060u, nullptr);
            ASSERT_TRUE(s->SetClipRect(&c.clip));
            if (c.keyed) {
              ASSERT_EQ(s->SetColorKeyRgb(0x12, 0x34, 0x56), kKeySet);
            }
          }
          ASSERT_EQ(TransitionTable()[size_t(mode)](&got, picture.get(), p, c.x, c.y, 0, nullptr),
                    0);
          ASSERT_EQ(want.Blit(picture.get(), c.x, c.y, nullptr, false), 0);
          const Rect drawn{c.x, c.y, c.x + 17, c.y + 13};
          if (mode == 70) {
            ASSERT_EQ(want.Invert(0, &drawn), 0);
          } else {
            ASSERT_EQ(want.Mosaic(((255 - p) >> 2) + 1, mode == 68 ? 0 : 1, &drawn), 0);
          }
          ASSERT_TRUE(testing_surfaces::SamePixels(got, want))
              << c.name << ", mode " << mode << ", progress " << p << ", set " << mmx;
          EXPECT_TRUE(got.IsChanged()) << c.name << ", mode " << mode;
        }
      }
    }
  }
}

// The transition fuzz target's input: mode, width, height, x, y, progress (16 bits), kind and
// the generator's seed (16 bits), one family of modes per seed.
TEST(TransitionFuzzSeeds, CoverEveryFamily) {
  test::FuzzSeeds seeds;
  struct Seed {
    const char* name;
    uint8_t mode, w, h, x, y, progress, kind;
  } cases[] = {{"mirror", 0, 7, 5, 250, 3, 100, 0},     {"wave", 2, 33, 17, 0, 0, 30, 1},
               {"cells", 5, 30, 20, 9, 9, 1, 0},        {"circle", 31, 33, 17, 252, 250, 200, 0},
               {"blocks", 51, 20, 20, 4, 4, 64, 1},     {"crossfade", 53, 16, 9, 30, 0, 129, 0},
               {"flight", 58, 39, 39, 200, 200, 90, 0}, {"filter", 69, 33, 17, 2, 2, 9, 0},
               {"strips", 80, 20, 30, 0, 10, 120, 1},   {"pinwheel", 83, 39, 21, 8, 8, 200, 0},
               {"halves", 86, 30, 39, 30, 0, 128, 3}};
  for (const Seed& c : cases) {
    seeds[c.name] = {c.mode, c.w, c.h, c.x, c.y, c.progress, 0, c.kind, 42, 0};
  }
  test::CheckOrWriteFuzzSeeds("transition", seeds);
}

// A layer: an image surface answering a layer's kind.
class LayerSurface : public ImageSurface {
 public:
  int GetKind() const override { return kKindCanvasLayer; }
};

std::unique_ptr<ImageSurface> Image(int32_t w, int32_t h, uint32_t fill) {
  auto s = std::make_unique<ImageSurface>();
  EXPECT_EQ(s->Create(w, h, 32, kImageDirtyList), 0);
  (void)s->Fill(fill, nullptr);
  s->GetDirtyList()->Clear();
  return s;
}

using TransitionDispatchTest = NumberedModesTest;

TEST_F(TransitionDispatchTest, SurfaceKindsModeAndProgressDecideWhatIsDrawn) {
  auto image = Image(8, 8, 0), picture = Image(4, 4, 0);
  LayerSurface layer;
  ASSERT_EQ(layer.Create(8, 8, 32, 0), 0);
  auto ddTo = DirectDrawPicture(8, 8), ddFrom = DirectDrawPicture(4, 4);
  struct Case {
    const char* name;
    Surface* to;
    Surface* from;
    Surface* backBuffer;
    int kind;
    int result;
    int drawnKind;  // -1: nothing drawn
  } cases[] = {
      {"image pair, copy", image.get(), picture.get(), nullptr, 0, 0, 0},
      {"image pair, alpha", image.get(), picture.get(), nullptr, 1, 0, 1},
      {"a layer is an image surface", &layer, picture.get(), nullptr, 0, 0, 0},
      {"DirectDraw pair", ddTo.get(), ddFrom.get(), nullptr, 0, 0, 2},
      {"DirectDraw onto image", image.get(), ddFrom.get(), nullptr, 0, 1, -1},
      {"no source", image.get(), nullptr, nullptr, 0, 1, -1},
      {"back buffer, destination unused", nullptr, ddFrom.get(), ddTo.get(), 0, 0, 2},
      {"back buffer with an image source", nullptr, picture.get(), ddTo.get(), 0, 1, -1},
      {"back buffer without DirectDraw memory", nullptr, ddFrom.get(), image.get(), 1, 1, -1},
      {"an unknown draw kind answers 1", image.get(), picture.get(), nullptr, 7, 1, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Dispatch(5, c.to, c.from, 256, c.kind, c.backBuffer), c.result) << c.name;
    if (c.drawnKind < 0) {
      EXPECT_TRUE(sink.drawn.empty()) << c.name;
    } else {
      ASSERT_EQ(sink.drawn.size(), 1u) << c.name;
      EXPECT_TRUE(sink.drawn[0].whole) << c.name;
      EXPECT_EQ(sink.drawn[0].kind, c.drawnKind) << c.name;
    }
  }

  for (int mode : {-1, 87}) {
    EXPECT_EQ(Dispatch(mode, image.get(), picture.get(), 100, 0), kTransitionNoMode) << mode;
    EXPECT_EQ(Dispatch(mode, image.get(), nullptr, 100, 0), 1) << "surfaces come first";
  }
  for (int32_t progress : {0, -5}) {
    EXPECT_EQ(Dispatch(86, image.get(), picture.get(), progress, 0), 0);
    EXPECT_TRUE(sink.drawn.empty()) << progress;
  }
  // The final step answers the whole draw's result.
  sink.wholeResult = 3;
  EXPECT_EQ(Dispatch(0, image.get(), picture.get(), 257, 0), 3);
}

std::vector<Rect> Sources(const RecordingSink& sink) {
  std::vector<Rect> out;
  for (const DrawnPiece& d : sink.drawn) out.push_back(d.piece.source);
  return out;
}

TEST_F(TransitionDispatchTest, CascadeStripsStartOneStepApartAndSmearsStretchTheEdge) {
  auto image = Image(64, 8, 0), picture = Image(40, 6, 0);
  ASSERT_EQ(TransitionCascadeColumns(image.get(), picture.get(), 128, 3, 4, true, 0, 16, nullptr),
            0);
  EXPECT_EQ(Sources(sink), (std::vector<Rect>{{0, 0, 9, 6}, {16, 0, 24, 6}, {32, 0, 39, 6}}));
  EXPECT_EQ(std::pair(sink.drawn[1].piece.x, sink.drawn[1].piece.y), std::pair(3 + 16, 4));

  sink.drawn.clear();
  (void)TransitionCascadeRows(image.get(), picture.get(), 128, 0, 0, true, 1, 4, nullptr);
  EXPECT_EQ(Sources(sink).front(), (Rect{0, 0, 40, 3})) << "n = 2, reach = 3";
  EXPECT_EQ(sink.drawn.front().kind, 1);

  // A smear stretches the edge over the rest: at progress 1 nothing is revealed, only the edge
  // column is stretched.
  sink.drawn.clear();
  ASSERT_EQ(TransitionSmearColumns(image.get(), picture.get(), 1, 3, 4, false, 0, nullptr), 0);
  ASSERT_EQ(sink.drawn.size(), 1u);
  const TransitionPiece& edge = sink.drawn[0].piece;
  EXPECT_TRUE(edge.stretched);
  EXPECT_EQ(edge.source, (Rect{0, 0, 1, 6}));
  EXPECT_EQ(std::pair(edge.x, edge.size.width), std::pair(3, 64 - 3)) << "out to the edge";

  sink.drawn.clear();
  (void)TransitionSmearRows(image.get(), picture.get(), 128, 0, 1, false, 0, nullptr);
  EXPECT_EQ(sink.drawn[0].piece.source, (Rect{0, 0, 40, 3}));
  EXPECT_EQ(sink.drawn[1].piece.size.height, 8 - 3 - 1);
}

TEST_F(TransitionDispatchTest, DirectDrawPiecesLandInTheTarget) {
  ScopedGlobal<PieceSink> own{nullptr};
  auto to = DirectDrawPicture(48, 8), from = DirectDrawPicture(40, 8);
  ASSERT_EQ(to->FillColor(0, 0, 0), 0);
  ASSERT_EQ(from->FillColor(255, 0, 0), 0);
  ASSERT_EQ(
      TransitionCascadeColumns(to.get(), from.get(), 128, 0, 0, true, kDrawDirectDraw, 16, nullptr),
      0);
  const host::MemorySurface& shown = *DirectDrawSurfaceOf(to.get());
  for (int x : {0, 8, 16, 23, 32, 38}) EXPECT_EQ(testing_devices::Rgb(shown, x, 3), 0xFF0000u) << x;
  for (int x : {9, 15, 24, 39, 47}) EXPECT_EQ(testing_devices::Rgb(shown, x, 3), 0u) << x;
}

TEST(RandomOrderTable, IsTheSameOnEveryRunAndBuiltOnce) {
  BuildRandomOrderTable();
  const uint8_t* table = RandomOrderTable();
  EXPECT_EQ(std::vector<uint8_t>(table, table + 4), (std::vector<uint8_t>{135, 98, 243, 3}));
  // A second call neither rebuilds the table nor reseeds the generator.
  ReseedTransitionRandom(42);
  BuildRandomOrderTable();
  SubtractiveRandom expected;
  expected.Seed(42);
  EXPECT_EQ(TransitionRandom().DrawRaw(), expected.DrawRaw());
  EXPECT_EQ(RandomOrderTable()[0], 135);
}

}  // namespace
}  // namespace bw
