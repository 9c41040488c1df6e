#include "natives/movie_natives.h"

#include <mutex>

#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "host/clock.h"
#include "host/message_queue.h"
#include "native_rig.h"
#include "sound/movie_game.h"
#include "sound/movie_object.h"
#include "sound/movie_sprite_control.h"
#include "support/movie_samples.h"

namespace bw {
namespace {

// An application with a movie slot over a headless window.
class MovieRigApp : public NativeRigApp {
 public:
  ~MovieRigApp() override {
    movie.reset();
    EXPECT_TRUE(host::DestroyWindow(window));
  }
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
  void TearDown() override { Call(Native::kMovieClose); }
  int32_t Call(uint32_t n, std::initializer_list<uint32_t> w = {}) { return rig_.Answer(n, w); }
  int32_t Open(const char* file, uint32_t form) {
    return Call(Native::kMovieOpen, {rig_.Text(file), form, 0});
  }
  MovieSpriteControl* Sprite(uint32_t handle) {
    return static_cast<MovieSpriteControl*>(
        rig_.Handles().Get<DisplayObject>(handle, ScriptObjectType::kDisplayObject));
  }

  test::MovieGame movies_;
  host::VirtualClock& clock_ = movies_.clock;
  test::GameFolder& game_ = movies_.game;
  MovieRigApp app_;
  NativeRig rig_;
};

// The sprite form opened by name: its length and size, and its sprite.
class SpriteMovie : public MovieNatives {
 protected:
  void SetUp() override {
    MovieNatives::SetUp();
    ASSERT_EQ(Open("OP.MPG", 0), 0);
    sprite = Sprite(Call(Native::kMovieGetSprite));
    ASSERT_NE(sprite, nullptr);
  }
  MovieSpriteControl* sprite = nullptr;
};

TEST_F(SpriteMovie, AnswersItsLengthAndSize) {
  EXPECT_NEAR(Call(Native::kMovieGetLength), 2000, 100);
  EXPECT_EQ(Call(Native::kMovieGetWidth) * 1000 + Call(Native::kMovieGetHeight), 64048);
}

// It plays on the virtual clock; seeks move the picture, a negative time to the start.
TEST_F(SpriteMovie, PlaysAndSeeks) {
  ASSERT_EQ(Call(Native::kMoviePlay), 0);
  clock_.AdvanceMilliseconds(1500);
  EXPECT_NEAR(Call(Native::kMovieGetPosition), 1500, 1);
  EXPECT_TRUE(test::ColourNear(test::SpriteColour(*sprite), tools::MovieColourOfSecond(1)));
  ASSERT_EQ(Call(Native::kMovieSeek, {200}), 0);
  EXPECT_TRUE(test::ColourNear(test::SpriteColour(*sprite), tools::MovieColourOfSecond(0)));
  ASSERT_EQ(Call(Native::kMovieSeek, {uint32_t(-300)}), 0);
  EXPECT_EQ(Call(Native::kMovieGetPosition), 0) << "a negative time seeks to the start";
}

// A script's far-off rectangle, and moves past the end of 32 bits, stop at the edge instead of
// wrapping round (or overflowing: the sanitizer build checks).
TEST_F(SpriteMovie, FarOffRectanglesAndMovesStopAtTheEdge) {
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

// A new open closes the old movie, whatever its form, and the sprite's handle goes with it (the
// window-level commands then answer 2); a failed open answers the open's code and leaves no movie.
TEST_F(MovieNatives, OpeningClosesTheOpenMovieAndAFailedOneLeavesNone) {
  ASSERT_EQ(Open("OP.MPG", 0), 0);
  const uint32_t first = Call(Native::kMovieGetSprite);
  ASSERT_EQ(Open("OP.MPG", 1), 0);
  EXPECT_EQ(Sprite(first), nullptr);
  EXPECT_EQ(Call(Native::kMovieGetWidth), 64) << "the window-level movie answers";

  ASSERT_EQ(Open("OP.MPG", 0), 0);
  EXPECT_EQ(app_.movie, nullptr);
  EXPECT_EQ(Call(Native::kMovieCommand, {5}), 2) << "no window-level movie to command";
  const uint32_t second = Call(Native::kMovieGetSprite);
  EXPECT_EQ(Call(Native::kMovieClose), 0);
  EXPECT_EQ(Sprite(second), nullptr) << "stale after a close";

  ASSERT_EQ(Open("OP.MPG", 1), 0);
  EXPECT_EQ(Open("NONE.MPG", 1), kMovieNotFound);
  EXPECT_EQ(app_.movie, nullptr);
  EXPECT_EQ(Open("NONE.MPG", 0), kMovieNotFound);
  EXPECT_EQ(Call(Native::kMoviePlay), -1);
  MovieLibrarySet primitive = MakeMovieLibraries(true, false, &game_.manager());
  PublishMovieLibraries(&primitive);
  EXPECT_EQ(Open("OP.MPG", 0), kMovieBadArgument) << "a render item without a display";
  rig_.host->SetApplication(nullptr);
  EXPECT_EQ(Open("OP.MPG", 1), kMovieNotCreated);
}

// The sprite movie of the movie natives, shown by the screen's composition like any sprite.
constexpr uint32_t kBackground = 0x0000FF;
constexpr uint32_t kInFront = 0xFFFFFF;  // added: white over anything

class MovieSpriteScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(display_.CreateCanvasLayer(&canvas_, 128, 96, 32, kLayerComposed), 0);
    (void)display_.SetScreenSurface(canvas_);
    Screen()->SetBackgroundColor(kBackground, true);
  }
  void TearDown() override {
    Call(Native::kMovieClose);
    (void)display_.SetScreenSurface(nullptr);
  }
  int32_t Call(uint32_t n, std::initializer_list<uint32_t> w = {}) { return rig_.Answer(n, w); }
  int32_t Open(const char* file, uint32_t priority) {
    return Call(Native::kMovieOpen, {rig_.Text(file), 0, priority});
  }
  CompositionLayer* Screen() { return canvas_->GetCompositionLayer(); }
  // The screen as the frame presents it: composed, then read at (x, y).
  uint32_t Shown(int32_t x, int32_t y) {
    (void)Screen()->RedrawDirty(nullptr, nullptr, 0, 0);
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
  ASSERT_EQ(Call(Native::kMoviePlay), 0);

  clock_.AdvanceMilliseconds(500);
  EXPECT_TRUE(test::ColourNear(Shown(64, 40), tools::MovieColourOfSecond(0)));
  EXPECT_EQ(Shown(36, 28), kInFront) << "a lower priority is drawn over the movie";
  EXPECT_EQ(Shown(20, 40), kBackground);

  clock_.AdvanceMilliseconds(1000);
  EXPECT_TRUE(test::ColourNear(Shown(64, 40), tools::MovieColourOfSecond(1)))
      << "the composition redraws the movie's new frames";

  ASSERT_EQ(Call(Native::kMovieClose), 0);
  EXPECT_EQ(Shown(64, 40), kBackground);
  ASSERT_EQ(Screen()->GetList().Nodes().size(), 1u);
}

// The sprite movie's handle is a display object's: the sprite natives move it like any, but it
// stays the movie natives' own, so no destroy native ends it; it goes with the close.
TEST_F(MovieSpriteScreen, TheSpriteNativesMoveTheMovieButDoNotDestroyIt) {
  ASSERT_EQ(Open("OP.MPG", 5), 0);
  ASSERT_EQ(Call(Native::kMovieSetRect, {0, 0, 32, 24}), 0);
  ASSERT_EQ(Call(Native::kMoviePlay), 0);
  const uint32_t movie = uint32_t(Call(Native::kMovieGetSprite));
  ASSERT_NE(movie, 0u);
  EXPECT_EQ(Call(Native::kDisplayObjectSetPosition, {movie, 64, 48}), 1);
  clock_.AdvanceMilliseconds(500);
  EXPECT_TRUE(test::ColourNear(Shown(80, 60), tools::MovieColourOfSecond(0)));
  EXPECT_EQ(Shown(8, 8), kBackground) << "moved away";
  EXPECT_EQ(Call(Native::kSpriteDestroy, {rig_.Var(movie)}), kDestroyNotListed);
  EXPECT_TRUE(test::ColourNear(Shown(80, 60), tools::MovieColourOfSecond(0))) << "still playing";
  ASSERT_EQ(Call(Native::kMovieClose), 0);
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
  (void)display_.SetScreenSurface(nullptr);
  ASSERT_EQ(display_.DestroyLayer(canvas_), 0);
  EXPECT_EQ(Call(Native::kMovieClose), 0);

  ASSERT_EQ(Open("OP.MPG", 5), 0) << "without a composed screen the movie still opens";
  EXPECT_NE(Call(Native::kMovieGetSprite), 0);
}

}  // namespace
}  // namespace bw
