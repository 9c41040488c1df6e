// Label: threads
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "graphics/device/direct_draw_device.h"
#include "graphics/device/display_manager.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/movie_frame_surface.h"
#include "graphics/surface/pixel_library.h"
#include "host/message_queue.h"
#include "sound/movie_game.h"
#include "sound/movie_object.h"
#include "sound/movie_prim_control.h"
#include "sound/sound_world.h"

namespace bw {
namespace {

using tools::MovieColourOfSecond;
using tools::MovieToneOfSecond;

constexpr uint32_t kRate = 22050;
constexpr int64_t kUnitsPerMs = 10000;

class MovieWrappers : public ::testing::Test {
 protected:
  void TearDown() override { SetMovieVolumeSetting(256); }
  double PulledTone(uint32_t ms) {
    std::vector<int16_t> pcm = world_.device.Device()->Pull(kRate * ms / 1000);
    std::vector<uint8_t> bytes(pcm.size() * 2);
    std::memcpy(bytes.data(), pcm.data(), bytes.size());
    return test::ToneOfPcm(bytes, kRate);
  }

  test::MovieGame movies_;
  host::VirtualClock& clock_ = movies_.clock;
  test::GameFolder& game_ = movies_.game;
  soundtest::SoundWorld world_{kRate};
};

TEST_F(MovieWrappers, SpriteShowsPictureAndSoundInStepWithTheClockAtItsVolume) {
  MovieSpriteControl sprite;
  ASSERT_EQ(sprite.Open("OP.MPG", 0, 0), kMovieOpened);
  ASSERT_EQ(sprite.Play(), 0);
  // The picture at a time and after a seek is the movie natives' to check; here the sound keeps
  // step with it.
  clock_.AdvanceMilliseconds(500);
  EXPECT_NEAR(PulledTone(400), MovieToneOfSecond(0), 40);
  clock_.AdvanceMilliseconds(1000);
  PulledTone(700);
  EXPECT_NEAR(PulledTone(400), MovieToneOfSecond(1), 40);
  ASSERT_EQ(sprite.Seek(1500 * kUnitsPerMs), 0);
  EXPECT_NEAR(PulledTone(300), MovieToneOfSecond(1), 40);

  // Pause holds both where the movie was.
  clock_.AdvanceMilliseconds(300);
  ASSERT_EQ(sprite.Pause(), 0);
  clock_.AdvanceMilliseconds(1000);
  int64_t position = 0;
  ASSERT_EQ(0, sprite.GetPosition(&position));
  EXPECT_EQ(position, 1800 * kUnitsPerMs);
  EXPECT_NEAR(PulledTone(200), 0, 1) << "silence while paused";
  ASSERT_EQ(sprite.Resume(), 0);
  EXPECT_NEAR(PulledTone(200), MovieToneOfSecond(1), 60);

  // Without the loop flag the end stops the movie and its sound.
  clock_.AdvanceMilliseconds(1000);
  int32_t state = -1;
  ASSERT_EQ(0, sprite.GetState(&state));
  EXPECT_EQ(state, host::kMovieStopped);

  sprite.SetLoop(true);
  ASSERT_EQ(sprite.Play(), 0);
  clock_.AdvanceMilliseconds(2300);
  ASSERT_EQ(0, sprite.GetState(&state));
  EXPECT_EQ(state, host::kMoviePlaying) << "the loop flag wraps";
  EXPECT_TRUE(test::ColourNear(test::SpriteColour(sprite), MovieColourOfSecond(0)));

  // The volume reaches the sound buffer by the formula.
  ASSERT_NE(sprite.Control()->Sound(), nullptr);
  host::SoundBuffer* buffer = sprite.Control()->Sound()->GetDirectSoundBuffer();
  const struct {
    int32_t volume, stored, hundredths;
  } cases[] = {{0, 0, -10000},   {1, 1, -5029}, {64, 64, -2146},
               {128, 128, -636}, {256, 256, 0}, {300, 256, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(sprite.SetVolume(c.volume), 0);
    int32_t volume = 1;
    EXPECT_EQ(0, buffer->GetVolume(&volume));
    EXPECT_EQ(volume, c.hundredths) << c.volume;
    EXPECT_EQ(sprite.GetVolume(), c.stored);
  }
  // The settings' movie volume scales first.
  SetMovieVolumeSetting(128);
  ASSERT_EQ(0, sprite.SetVolume(256));
  int32_t volume = 0;
  EXPECT_EQ(0, buffer->GetVolume(&volume));
  EXPECT_EQ(volume, -636);
}

TEST_F(MovieWrappers, OpenAnswersItsCodesAFailureLeavesNothingOpenAndSoundAloneHasNoPicture) {
  ASSERT_TRUE(game_.MountPack("MOVIE.VFA",
                              {{"packed.mpg", movies_.movie}, {"packed.ogm", movies_.movie}}, 1));
  movies_.Put("LOOSE.OGM", movies_.movie);
  movies_.Put("BAD.MPG", std::vector<uint8_t>(3000, 0x41));
  MovieSpriteControl sprite;
  EXPECT_EQ(sprite.Open("PACKED.MPG", 0, 0), kMovieOpened) << "a pack member through its stream";
  EXPECT_EQ(sprite.Control()->MediaType(), kMediaMpeg);
  EXPECT_EQ(sprite.Open("LOOSE.OGM", 0, 0), kMovieOpened)
      << "a loose file is probed, whatever its name";
  const struct {
    const char* name;
    int32_t code;
  } failures[] = {{"PACKED.OGM", kMovieBadExtension}, {"BAD.MPG", kMovieLibraryRefused}};
  for (const auto& f : failures) {
    EXPECT_EQ(sprite.Open(f.name, 0, 0), f.code) << f.name;
    EXPECT_EQ(sprite.Control(), nullptr) << f.name;
  }
  EXPECT_EQ(sprite.Open(nullptr, 0, 0), kMovieBadArgument);
  {
    ScopedPixelLibrary none(nullptr);
    EXPECT_EQ(sprite.Open("OP.MPG", 0, 0), kMovieBadArgument);
  }
  // A movie of sound alone has no picture.
  tools::MovieWriterOptions options;
  options.picture = false;
  movies_.Put("TONE.MPG", test::MakeMovie(options));
  ASSERT_EQ(sprite.Open("TONE.MPG", 5, 5), kMovieOpened);
  EXPECT_EQ(std::pair(sprite.VideoWidth(), sprite.VideoHeight()), std::pair(0, 0));
  EXPECT_EQ(0, sprite.Play());
  EXPECT_NEAR(PulledTone(300), MovieToneOfSecond(0), 40);
  PublishMovieLibraries(nullptr);
  EXPECT_EQ(sprite.Open("OP.MPG", 0, 0), kMovieNoLibrary);
}

// The colour of the frame surface the primitive shows now, away from the moving bar.
uint32_t ShownColour(MoviePrimControl& prim) {
  const int32_t shown = prim.Control()->Player().PrepareFrame();
  EXPECT_EQ(prim.Control()->Player().DoneWithFrame(), host::kMovieOk);
  const MovieFrameSurface* frame = prim.FrameSurface(shown);
  EXPECT_EQ(frame->GetFormatCode(), kFormatX888);
  uint32_t pixel = 0;
  std::memcpy(&pixel, frame->GetMemory() + 16 * frame->GetPitch() + 32 * 4, 4);
  return pixel & 0xFFFFFF;
}

// The primitive writes its frame surfaces; its decoder works on other threads while the frame
// thread draws and restores. A lost frame surface comes back blank: the frames after its restore
// are converted into it whole, not only where the picture changed.
TEST_F(MovieWrappers, PrimitiveWritesItsFramesAndDecodingRacesNothing) {
  // The display manager is made after the device is published, as the engine makes it.
  ScopedGlobal<DirectDrawDevice> display{nullptr};
  DirectDrawDevice device;
  ASSERT_EQ(device.Create(false, false, nullptr, nullptr, 0, true, 640, 480), 0);
  Global<DirectDrawDevice>::Set(&device);
  DisplayManager manager;
  MovieLibrarySet libraries = MakeMovieLibraries(true, false, &game_.manager());
  PublishMovieLibraries(&libraries);
  MoviePrimControl prim;
  EXPECT_EQ(prim.GetKind(), kItemMovie);
  ASSERT_EQ(prim.Open(&manager, "OP.MPG", 0, 0), kMovieOpened);
  ASSERT_NE(prim.FrameSurface(0), nullptr);
  EXPECT_EQ(0, prim.Play());
  std::atomic<bool> stop{false};
  std::thread drawer([&] {
    while (!stop.load()) (void)prim.Draw(nullptr, nullptr, nullptr);  // only a race is looked for
  });
  for (int i = 0; i < 50; ++i) {
    clock_.AdvanceMilliseconds(20);
    world_.device.Device()->Pull(441);
    EXPECT_EQ(0, prim.Restore());
  }
  stop = true;
  drawer.join();
  clock_.AdvanceMilliseconds(500);
  // Without a destination nothing is drawn: the frame the draw picks is what is looked at.
  (void)prim.Draw(nullptr, nullptr, nullptr);
  uint32_t shown = ShownColour(prim);
  EXPECT_TRUE(test::ColourNear(shown, MovieColourOfSecond(1))) << std::hex << shown;
  EXPECT_EQ(prim.Restore(), 0);

  for (int i = 0; i < 2; ++i) prim.FrameSurface(i)->GetDirectDrawSurface()->SetLost(true);
  ASSERT_EQ(prim.Restore(), 0);
  for (int i = 0; i < 2; ++i) {
    clock_.AdvanceMilliseconds(40);
    (void)prim.Draw(nullptr, nullptr, nullptr);  // likewise
    shown = ShownColour(prim);
    EXPECT_TRUE(test::ColourNear(shown, MovieColourOfSecond(1)))
        << "frame " << i << std::hex << " shows " << shown;
  }
}

// The window movie writes each frame into a canvas the window let go of: whatever rectangle a
// canvas served before, a frame shows the movie inside the present rectangle and opaque black
// everywhere else. At its end it tells the window, and stops or loops.
TEST_F(MovieWrappers, WindowMovieShowsItsRectangleAndTellsTheWindowItsEnd) {
  constexpr int32_t kWidth = 64, kHeight = 48;
  constexpr uint32_t kOpaqueBlack = 0xFF000000u;
  const host::HWND window = host::CreateWindow(host::WindowDesc{});
  ASSERT_TRUE(window);
  {
    MovieObject movie;
    EXPECT_EQ(movie.Open(host::HWND{}, "OP.MPG", nullptr, kWidth, kHeight), kMovieBadArgument);
    ASSERT_EQ(movie.Open(window, "OP.MPG", nullptr, kWidth, kHeight), kMovieOpened);
    EXPECT_EQ(movie.Query(), 0);
    EXPECT_EQ(movie.Command(5), 0);
    EXPECT_EQ(0, movie.Play());
    EXPECT_TRUE(movie.IsShowing());
    // Larger, smaller, partly off the canvas, whole again: each outlives the three canvases.
    for (const Rect& rect : {Rect{0, 0, 64, 48}, Rect{16, 12, 48, 36}, Rect{40, 30, 90, 70},
                             Rect{0, 0, 64, 48}, Rect{4, 20, 60, 28}}) {
      SCOPED_TRACE(testing::Message()
                   << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom);
      ASSERT_EQ(movie.SetRect(rect), 0);
      EXPECT_EQ(movie.LastFrame(), std::vector<uint8_t>(size_t{kWidth} * kHeight * 4))
          << "nothing is shown in a new rectangle before its first frame";
      for (int step = 0; step < 5; ++step) {
        clock_.AdvanceMilliseconds(40);
        ASSERT_TRUE(movie.Present());
        const std::vector<uint8_t> frame = movie.LastFrame();
        ASSERT_EQ(frame.size(), size_t{kWidth} * kHeight * 4);
        int32_t wrong = 0;
        for (int32_t y = 0; y < kHeight; ++y) {
          for (int32_t x = 0; x < kWidth; ++x) {
            const bool inside =
                x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
            uint32_t pixel = 0;
            std::memcpy(&pixel, frame.data() + (size_t(y) * kWidth + x) * 4, 4);
            if (inside ? pixel >> 24 != 0xFF || pixel == kOpaqueBlack : pixel != kOpaqueBlack)
              ++wrong;
          }
        }
        EXPECT_EQ(wrong, 0) << "step " << step;
      }
    }
    ASSERT_EQ(movie.SetRect(Rect{0, 0, kWidth, kHeight}), 0);
    clock_.AdvanceMilliseconds(300);
    ASSERT_TRUE(movie.Present());
    uint32_t pixel = 0;
    std::memcpy(&pixel, movie.LastFrame().data() + (16 * kWidth + 32) * 4, 4);
    EXPECT_TRUE(test::ColourNear(pixel & 0xFFFFFF, MovieColourOfSecond(1))) << std::hex << pixel;

    for (bool loop : {true, false}) {
      SCOPED_TRACE(loop ? "looping" : "once");
      movie.SetLoop(loop);
      clock_.AdvanceMilliseconds(2000);
      movie.Present();
      host::MSG msg;
      ASSERT_TRUE(host::PeekMessage(&msg, window, 0, 0, host::PM_REMOVE));
      EXPECT_EQ(msg.message, host::WM_APP_MOVIE);
      movie.HandleEvents();
      int32_t state = -1;
      ASSERT_EQ(0, movie.GetState(&state));
      EXPECT_EQ(state, loop ? host::kMoviePlaying : host::kMovieStopped);
      EXPECT_EQ(movie.IsShowing(), loop);
    }
  }
  EXPECT_TRUE(host::DestroyWindow(window));
}

}  // namespace
}  // namespace bw
