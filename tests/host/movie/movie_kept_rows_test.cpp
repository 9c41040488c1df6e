// Label: optimised
// Buffers that keep their pixels get only the rows that changed, converted at the movie's size or
// scaled to another: frame after frame they must show what buffers done whole show, across a seek
// and after their memory moved.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <span>
#include <vector>

#include "common/global.h"
#include "host/clock.h"
#include "host/movie/movie_player.h"
#include "lib/movie/memory_movie_source.h"
#include "support/movie_samples.h"

namespace bw::host {
namespace {

constexpr int32_t kMovieWidth = 96, kMovieHeight = 50;  // not whole vectors

struct Buffer final : MovieFrameBuffer {
  Buffer(int32_t w, int32_t h, bool keep) : width(w), height(h), keeps(keep) {}
  bool LockFrame(MovieFrameMemory* m) override {
    *m = {pixels->data(), width * 4, width, height, MovieFrameFormat::kXrgb8888};
    return true;
  }
  void UnlockFrame() override {}
  bool KeepsPixels() const override { return keeps; }
  void MoveMemory() {  // new memory full of rubbish
    pixels = std::make_unique<std::vector<uint8_t>>(size_t(width) * height * 4, 0xAB);
  }
  int32_t width, height;
  bool keeps;
  std::unique_ptr<std::vector<uint8_t>> pixels =
      std::make_unique<std::vector<uint8_t>>(size_t(width) * height * 4);
};

struct Played {
  Played(int32_t width, int32_t height, bool keep, std::span<const uint8_t> movie)
      : a(width, height, keep), b(width, height, keep) {
    EXPECT_EQ(player.Open(std::make_unique<tools::MemoryMovieSource>(movie), 0, 44100), kMovieOk);
    player.SetFrameBuffers(&a, &b);
    EXPECT_EQ(player.Play(), kMovieOk);
  }
  std::vector<uint8_t> Shown() {
    const int32_t index = player.PrepareFrame();
    player.DoneWithFrame();
    return *(index == 0 ? a : b).pixels;
  }
  Buffer a, b;
  MoviePlayer player;
};

// The still movie keeps most rows; the textured one changes every row of every frame, which the
// test checks at the movie's own size so that it cannot pass by showing a frame twice.
TEST(MovieKeptRows, KeptBuffersShowWhatWholeFramesShow) {
  struct Size {
    int32_t width, height;
  };
  for (bool textured : {false, true}) {
    tools::MovieWriterOptions options;
    options.width = kMovieWidth;
    options.height = kMovieHeight;
    options.sound = false;
    options.textured = textured;
    const std::vector<uint8_t> movie = test::MakeMovie(options);
    ASSERT_FALSE(movie.empty());
    // Converted at its size; grown by 2.5 as a 320 x 240 movie fills an 800 x 600 window; shrunk;
    // only narrowed.
    for (Size size :
         {Size{kMovieWidth, kMovieHeight}, Size{240, 125}, Size{40, 21}, Size{50, kMovieHeight}}) {
      SCOPED_TRACE(testing::Message()
                   << (textured ? "textured " : "still ") << size.width << "x" << size.height);
      const bool ownSize = size.width == kMovieWidth && size.height == kMovieHeight;
      VirtualClock clock{1000};
      ScopedGlobal<ClockSource> scope{&clock};
      Played kept(size.width, size.height, true, movie);
      Played whole(size.width, size.height, false, movie);
      std::vector<uint8_t> before;
      for (int step = 0; step < 60; ++step) {
        if (step == 20) {
          ASSERT_EQ(kept.player.Seek(3000000), kMovieOk);
          ASSERT_EQ(whole.player.Seek(3000000), kMovieOk);
        }
        if (step == 30) {
          kept.a.MoveMemory();
          kept.b.MoveMemory();
        }
        clock.AdvanceMilliseconds(40);
        const std::vector<uint8_t> shown = whole.Shown();
        ASSERT_EQ(kept.Shown(), shown) << "step " << step;
        if (textured && ownSize && !before.empty() && step != 20) {
          for (int32_t row = 0; row < kMovieHeight; ++row) {
            const size_t at = size_t{kMovieWidth} * 4 * row;
            ASSERT_FALSE(std::equal(shown.begin() + at, shown.begin() + at + kMovieWidth * 4,
                                    before.begin() + at))
                << "row " << row << " did not change at step " << step;
          }
        }
        before = shown;
      }
    }
  }
}

}  // namespace
}  // namespace bw::host
