// The sprite movie of the movie natives, shown by the screen's composition like any sprite.
#include <gtest/gtest.h>

#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/composition_layer.h"
#include "movie_game.h"
#include "native_rig.h"
#include "natives/native_names.h"

namespace bw {
namespace {

constexpr uint32_t kBackground = 0x0000FF;
constexpr uint32_t kInFront = 0xFFFFFF;  // added: white over anything

class MovieSpriteScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(display_.CreateCanvasLayer(&canvas_, 128, 96, 32, kLayerComposed), 0);
    display_.SetScreenSurface(canvas_);
    Screen()->SetBackgroundColor(kBackground, true);
  }
  void TearDown() override {
    Call(633);
    display_.SetScreenSurface(nullptr);
  }
  int32_t Call(uint32_t n, std::initializer_list<uint32_t> w = {}) { return rig_.Answer(n, w); }
  int32_t Open(const char* file, uint32_t priority) {
    return Call(Native::kMovieOpen, {rig_.Text(file), 0, priority});
  }
  CompositionLayer* Screen() { return canvas_->GetCompositionLayer(); }
  // The screen as the frame presents it: composed, then read at (x, y).
  uint32_t Shown(int32_t x, int32_t y) {
    Screen()->RedrawDirty(nullptr, nullptr, 0, 0);
    return canvas_->GetPixel(x, y) & 0xFFFFFF;
  }

  test::MovieGame movies_;
  host::VirtualClock& clock_ = movies_.clock;
  DisplayManager display_;
  ScopedGlobal<DisplayManager> displayScope_{&display_};
  CanvasLayer* canvas_ = nullptr;
  NativeRig rig_;
};

// Listed at its priority behind a nearer sprite, the movie is redrawn as its frames come and
// leaves the screen when it closes.
TEST_F(MovieSpriteScreen, PlaysInTheScreenCompositionUntilClosed) {
  ColorRectObject* front = nullptr;
  ASSERT_EQ(display_.CreateColorRect(&front, 16, 16, 0xFF000000u | kInFront, 32, 24), 0);
  ASSERT_EQ(front->SetDrawMode(2), 0);
  ASSERT_EQ(Screen()->GetList().Add(front, 4, 0), 0);
  ASSERT_EQ(Open("OP.MPG", 5), 0);
  ASSERT_EQ(Call(Native::kMovieSetRect, {32, 24, 96, 72}), 0);
  ASSERT_EQ(Call(635), 0);

  clock_.AdvanceMilliseconds(500);
  EXPECT_TRUE(test::ColourNear(Shown(64, 40), tools::MovieColourOfSecond(0)));
  EXPECT_EQ(Shown(36, 28), kInFront) << "a lower priority is drawn over the movie";
  EXPECT_EQ(Shown(20, 40), kBackground);

  clock_.AdvanceMilliseconds(1000);
  EXPECT_TRUE(test::ColourNear(Shown(64, 40), tools::MovieColourOfSecond(1)))
      << "the composition redraws the movie's new frames";

  ASSERT_EQ(Call(633), 0);
  EXPECT_EQ(Shown(64, 40), kBackground);
  ASSERT_EQ(Screen()->GetList().Nodes().size(), 1u);
}

// The sprite movie's handle is a display object's: the sprite natives move it like any, but it
// stays the movie natives' own, so no destroy native ends it; it goes with the close.
TEST_F(MovieSpriteScreen, TheSpriteNativesMoveTheMovieButDoNotDestroyIt) {
  ASSERT_EQ(Open("OP.MPG", 5), 0);
  ASSERT_EQ(Call(Native::kMovieSetRect, {0, 0, 32, 24}), 0);
  ASSERT_EQ(Call(635), 0);
  const uint32_t movie = uint32_t(Call(651));
  ASSERT_NE(movie, 0u);
  EXPECT_EQ(Call(Native::kDisplayObjectSetPosition, {movie, 64, 48}), 1);
  clock_.AdvanceMilliseconds(500);
  EXPECT_TRUE(test::ColourNear(Shown(80, 60), tools::MovieColourOfSecond(0)));
  EXPECT_EQ(Shown(8, 8), kBackground) << "moved away";
  EXPECT_EQ(Call(Native::kSpriteDestroy, {rig_.Var(movie)}), kDestroyNotListed);
  EXPECT_TRUE(test::ColourNear(Shown(80, 60), tools::MovieColourOfSecond(0))) << "still playing";
  ASSERT_EQ(Call(633), 0);
  EXPECT_EQ(Call(Native::kDisplayObjectSetPosition, {movie, 0, 0}), 0)
      << "its handle went with the movie";
}

// Whichever way a movie ends, no list keeps it: a failed open, a new open, or the screen going
// first (checked by the sanitizer build).
TEST_F(MovieSpriteScreen, NoListKeepsAClosedOrFailedMovie) {
  EXPECT_EQ(Open("NONE.MPG", 5), kMovieNotFound);
  EXPECT_TRUE(Screen()->GetList().IsEmpty());

  ASSERT_EQ(Open("OP.MPG", 5), 0);
  ASSERT_EQ(Open("OP.MPG", 6), 0);
  ASSERT_EQ(Screen()->GetList().Nodes().size(), 1u);
  EXPECT_EQ(Screen()->GetList().Nodes().front().priority, 6u);
  EXPECT_EQ(Open("NONE.MPG", 5), kMovieNotFound);
  EXPECT_TRUE(Screen()->GetList().IsEmpty());

  ASSERT_EQ(Open("OP.MPG", 5), 0);
  display_.SetScreenSurface(nullptr);
  ASSERT_EQ(display_.DestroyLayer(canvas_), 0);
  EXPECT_EQ(Call(633), 0);

  ASSERT_EQ(Open("OP.MPG", 5), 0) << "without a composed screen the movie still opens";
  EXPECT_NE(Call(651), 0);
}

}  // namespace
}  // namespace bw
