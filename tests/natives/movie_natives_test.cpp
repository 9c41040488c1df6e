#include "natives/movie_natives.h"

#include <gtest/gtest.h>

#include <mutex>

#include "graphics/surface/image_surface.h"
#include "host/clock.h"
#include "host/message_queue.h"
#include "movie_game.h"
#include "native_rig.h"
#include "natives/native_names.h"
#include "sound/movie_object.h"
#include "sound/movie_sprite_control.h"
#include "support/movie_samples.h"

namespace bw {
namespace {

// An application with a movie slot over a headless window.
class MovieRigApp : public NativeRigApp {
 public:
  ~MovieRigApp() override { movie.reset(), host::DestroyWindow(window); }
  bool UseMovieSlot(const std::function<void(std::unique_ptr<MovieObject>&)>& use) override {
    std::lock_guard hold(lock);
    use(movie);
    return true;
  }
  int32_t OpenWindowMovie(MovieObject& m, const char* file) override {
    return m.Open(window, file, nullptr, 64, 48);
  }
  std::mutex lock;
  std::unique_ptr<MovieObject> movie;
  host::HWND window = host::CreateWindow(host::WindowDesc{});
};

class MovieNatives : public ::testing::Test {
 protected:
  void SetUp() override { rig_.host->SetApplication(&app_); }
  void TearDown() override { Call(633); }
  int32_t Call(uint32_t n, std::initializer_list<uint32_t> w = {}) { return rig_.Answer(n, w); }
  int32_t Open(const char* file, uint32_t form) {
    return Call(Native::kMovieOpen, {rig_.Text(file), form, 0});
  }
  MovieSpriteControl* Sprite(uint32_t handle) {
    return static_cast<MovieSpriteControl*>(
        rig_.host->Handles().Get<DisplayObject>(handle, ScriptObjectType::kDisplayObject));
  }

  test::MovieGame movies_;
  host::VirtualClock& clock_ = movies_.clock;
  test::GameFolder& game_ = movies_.game;
  MovieRigApp app_;
  NativeRig rig_;
};

TEST_F(MovieNatives, WithoutAMovieCommandsAnswerMinusOneQueriesZeroAndTheWindowOnesTwo) {
  for (uint32_t n : {Native::kMoviePlay, Native::kMovieStop, Native::kMoviePause,
                     Native::kMovieResume, Native::kMovieSetRect, Native::kMovieSeek,
                     Native::kMovieSetVolume, Native::kMovieSetBalance, Native::kMovieSetRate})
    EXPECT_EQ(Call(n, {1, 2, 3, 4}), -1) << n;
  for (uint32_t n : {Native::kMovieGetLength, Native::kMovieGetWidth, Native::kMovieGetHeight,
                     Native::kMovieGetPosition, Native::kMovieGetState, Native::kMovieGetSprite})
    EXPECT_EQ(Call(n), 0) << n;
  EXPECT_EQ(Call(647), 2);
  EXPECT_EQ(Call(Native::kMovieCommand, {5}), 2);
}

// The sprite form opened by name plays on the virtual clock; seeks move the picture, a
// negative time to the start.
TEST_F(MovieNatives, ASpriteMovieOpenedByNamePlaysAndSeeks) {
  ASSERT_EQ(Open("OP.MPG", 0), 0);
  EXPECT_NEAR(Call(640), 2000, 100);
  EXPECT_EQ(Call(641) * 1000 + Call(642), 64048);
  MovieSpriteControl* sprite = Sprite(Call(651));
  ASSERT_NE(sprite, nullptr);
  auto colour = [&] {
    ImageSurface target;
    EXPECT_EQ(target.Create(64, 48, 32, 0), 0);
    Rect drawn;
    sprite->DrawInto(&target, &drawn);
    return target.GetPixel(32, 16) & 0xFFFFFF;
  };
  ASSERT_EQ(Call(635), 0);
  clock_.AdvanceMilliseconds(1500);
  EXPECT_NEAR(Call(644), 1500, 1);
  EXPECT_TRUE(test::ColourNear(colour(), tools::MovieColourOfSecond(1)));
  ASSERT_EQ(Call(Native::kMovieSeek, {200}), 0);
  EXPECT_TRUE(test::ColourNear(colour(), tools::MovieColourOfSecond(0)));
  ASSERT_EQ(Call(Native::kMovieSeek, {uint32_t(-300)}), 0);
  EXPECT_EQ(Call(644), 0) << "a negative time seeks to the start";
}

// A script's far-off rectangle, and moves past the end of 32 bits, stop at the edge instead of
// wrapping round (or overflowing: the sanitizer build checks).
TEST_F(MovieNatives, ASpriteMoviePlacedFarOffStopsAtTheEdge) {
  ASSERT_EQ(Open("OP.MPG", 0), 0);
  MovieSpriteControl* sprite = Sprite(Call(651));
  ASSERT_NE(sprite, nullptr);
  EXPECT_EQ(Call(Native::kMovieSetRect, {0x7FFFFFF0, 0, 0x7FFFFFF0, 10}), 0)
      << "no width: the video's";
  EXPECT_EQ(*sprite->GetRectPtr(), (Rect{0x7FFFFFF0, 0, INT32_MAX, 10}));
  EXPECT_TRUE(sprite->Overlaps(*sprite));
  EXPECT_EQ(Call(Native::kMovieSetRect,
                 {uint32_t(INT32_MIN), uint32_t(INT32_MIN), 0x7FFFFFFF, 0x7FFFFFFF}),
            0);
  EXPECT_EQ(sprite->GetWidth(), INT32_MAX) << "the largest width";
  EXPECT_EQ(*sprite->GetRectPtr(), (Rect{INT32_MIN, INT32_MIN, -1, -1}));
  EXPECT_FALSE(sprite->MoveBy(-1, -1)) << "already at the edge";
  EXPECT_TRUE(sprite->SetPos(INT32_MAX - 8, 0));
  EXPECT_TRUE(sprite->MoveBy(INT32_MAX, INT32_MAX));
  EXPECT_EQ(*sprite->GetRectPtr(), (Rect{INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}));
  EXPECT_FALSE(sprite->Overlaps(*sprite)) << "nothing of it is left on the plane";
}

// Past 214,748 ms the units no longer fit 32 bits.
TEST(MovieUnits, AreSixtyFourBitsWideAndNeverNegative) {
  EXPECT_EQ(MovieUnitsOfMs(214749), 2147490000);
  EXPECT_EQ(MovieUnitsOfMs(-1), 0);
}

// A new open closes the old movie, whatever its form, and the sprite's handle goes with it; a
// failed open answers the open's code and leaves no movie.
TEST_F(MovieNatives, OpeningClosesTheOpenMovieAndAFailedOneLeavesNone) {
  ASSERT_EQ(Open("OP.MPG", 0), 0);
  const uint32_t first = Call(651);
  ASSERT_EQ(Open("OP.MPG", 1), 0);
  EXPECT_EQ(Sprite(first), nullptr);
  EXPECT_EQ(Call(641), 64) << "the window-level movie answers";

  ASSERT_EQ(Open("OP.MPG", 0), 0);
  EXPECT_EQ(app_.movie, nullptr);
  const uint32_t second = Call(651);
  EXPECT_EQ(Call(633), 0);
  EXPECT_EQ(Sprite(second), nullptr) << "stale after a close";

  ASSERT_EQ(Open("OP.MPG", 1), 0);
  EXPECT_EQ(Open("NONE.MPG", 1), kMovieNotFound);
  EXPECT_EQ(app_.movie, nullptr);
  EXPECT_EQ(Open("NONE.MPG", 0), kMovieNotFound);
  EXPECT_EQ(Call(635), -1);
  MovieLibrarySet primitive = MakeMovieLibraries(true, false, &game_.manager());
  PublishMovieLibraries(&primitive);
  EXPECT_EQ(Open("OP.MPG", 0), kMovieBadArgument) << "a render item without a display";
  rig_.host->SetApplication(nullptr);
  EXPECT_EQ(Open("OP.MPG", 1), kMovieNotCreated);
}

}  // namespace
}  // namespace bw
