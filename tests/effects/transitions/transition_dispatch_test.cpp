#include "effects/transitions/transition_dispatch.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "common/global.h"
#include "effects/transitions/transition_frame.h"
#include "effects/transitions/transition_random.h"
#include "effects/transitions/transition_strips.h"
#include "graphics/device/direct3d_fixture.h"
#include "graphics/device/direct_draw_device.h"
#include "graphics/device/render_item_sprite.h"
#include "graphics/surface/directdraw_image_surface.h"
#include "graphics/surface/dirty_rect_list.h"
#include "graphics/surface/image_surface.h"
#include "support/transition_recorder.h"

namespace bw {
namespace {

using Drawn = DrawnPiece;

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

class TransitionDispatchTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(device.Create(false, false, nullptr, nullptr, 0, true, 640, 480), 0);
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
  DirectDrawDevice device;
  ScopedGlobal<DirectDrawDevice> display{&device};
  RecordingSink sink;
  ScopedGlobal<PieceSink> recording{&sink};
};

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
  for (const Drawn& d : sink.drawn) out.push_back(d.piece.source);
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
