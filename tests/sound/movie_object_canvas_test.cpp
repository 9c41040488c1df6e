// The window movie writes each frame into a canvas the window let go of: whatever rectangle a
// canvas served before, a frame shows the movie inside the present rectangle and opaque black
// everywhere else.
#include <gtest/gtest.h>

#include <cstring>

#include "host/message_queue.h"
#include "sound/movie_object.h"
#include "support/game_folder.h"
#include "support/movie_samples.h"

namespace bw {
namespace {

constexpr int32_t kCanvasWidth = 64, kCanvasHeight = 48;
constexpr uint32_t kOpaqueBlack = 0xFF000000u;

uint32_t PixelAt(const std::vector<uint8_t>& frame, int32_t x, int32_t y) {
  uint32_t pixel = 0;
  std::memcpy(&pixel, frame.data() + (size_t(y) * kCanvasWidth + x) * 4, 4);
  return pixel;
}

TEST(MovieObjectCanvas, EachFrameShowsTheMovieInItsRectangleAndBlackAroundIt) {
  host::VirtualClock clock{1000};
  ScopedGlobal<host::ClockSource> clockScope{&clock};
  test::GameFolder game;
  const std::vector<uint8_t> movie = test::MakeMovie({});
  ASSERT_FALSE(movie.empty());
  game.dir().WriteFile("OP.MPG", std::string(movie.begin(), movie.end()));
  const MovieLibrarySet libraries = MakeMovieLibraries(true, true, &game.manager());
  PublishMovieLibraries(&libraries);
  const host::HWND window = host::CreateWindow(host::WindowDesc{});
  ASSERT_TRUE(window);
  {
    MovieObject object;
    ASSERT_EQ(object.Open(window, "OP.MPG", nullptr, kCanvasWidth, kCanvasHeight), kMovieOpened);
    EXPECT_EQ(0, object.Play());
    // Larger, smaller, partly off the canvas, whole again: each outlives the three canvases.
    for (const Rect& rect : {Rect{0, 0, 64, 48}, Rect{16, 12, 48, 36}, Rect{40, 30, 90, 70},
                             Rect{0, 0, 64, 48}, Rect{4, 20, 60, 28}}) {
      SCOPED_TRACE(testing::Message()
                   << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom);
      ASSERT_EQ(object.SetRect(rect), 0);
      EXPECT_EQ(object.LastFrame(), std::vector<uint8_t>(size_t{kCanvasWidth} * kCanvasHeight * 4))
          << "nothing is shown in a new rectangle before its first frame";
      for (int step = 0; step < 5; ++step) {
        clock.AdvanceMilliseconds(40);
        ASSERT_TRUE(object.Present());
        const std::vector<uint8_t> frame = object.LastFrame();
        ASSERT_EQ(frame.size(), size_t{kCanvasWidth} * kCanvasHeight * 4);
        int32_t wrong = 0;
        for (int32_t y = 0; y < kCanvasHeight; ++y) {
          for (int32_t x = 0; x < kCanvasWidth; ++x) {
            const bool inside =
                x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
            const uint32_t pixel = PixelAt(frame, x, y);
            if (inside ? pixel >> 24 != 0xFF || pixel == kOpaqueBlack : pixel != kOpaqueBlack)
              ++wrong;
          }
        }
        EXPECT_EQ(wrong, 0) << "step " << step;
      }
    }
  }
  host::DestroyWindow(window);
  PublishMovieLibraries(nullptr);
}

}  // namespace
}  // namespace bw
