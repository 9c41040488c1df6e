// Label: optimised
// Buffers that keep their pixels get only the rows that changed: they must show what buffers
// converted in full show, frame after frame, across a seek and after their memory moved.
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

constexpr int32_t kWidth = 96, kHeight = 50;  // not whole vectors

struct Buffer final : MovieFrameBuffer {
  bool LockFrame(MovieFrameMemory* m) override {
    *m = {pixels->data(), kWidth * 4, kWidth, kHeight, MovieFrameFormat::kXrgb8888};
    return true;
  }
  void UnlockFrame() override {}
  bool KeepsPixels() const override { return keeps; }
  bool keeps = false;
  std::unique_ptr<std::vector<uint8_t>> pixels =
      std::make_unique<std::vector<uint8_t>>(size_t{kWidth} * kHeight * 4);
};

struct Played {
  Played(bool keep, std::span<const uint8_t> movie) {
    a.keeps = b.keeps = keep;
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

// The still movie keeps most rows; the textured one changes every row of every frame.
TEST(MovieKeptRows, KeptBuffersShowWhatFullConversionShows) {
  for (bool textured : {false, true}) {
    SCOPED_TRACE(textured ? "textured" : "still");
    tools::MovieWriterOptions options;
    options.width = kWidth;
    options.height = kHeight;
    options.sound = false;
    options.textured = textured;
    const std::vector<uint8_t> movie = test::MakeMovie(options);
    ASSERT_FALSE(movie.empty());
    VirtualClock clock{1000};
    ScopedGlobal<ClockSource> scope{&clock};
    Played kept(true, movie), full(false, movie);
    std::vector<uint8_t> before;
    for (int step = 0; step < 60; ++step) {
      if (step == 20) {
        ASSERT_EQ(kept.player.Seek(3000000), kMovieOk);
        ASSERT_EQ(full.player.Seek(3000000), kMovieOk);
      }
      if (step == 30) {  // new memory full of rubbish
        for (Buffer* buffer : {&kept.a, &kept.b})
          buffer->pixels =
              std::make_unique<std::vector<uint8_t>>(size_t{kWidth} * kHeight * 4, 0xAB);
      }
      clock.AdvanceMilliseconds(40);
      const std::vector<uint8_t> shown = full.Shown();
      ASSERT_EQ(kept.Shown(), shown) << "step " << step;
      if (textured && !before.empty() && step != 20) {
        for (int32_t row = 0; row < kHeight; ++row) {
          const size_t at = size_t{kWidth} * 4 * row;
          ASSERT_FALSE(
              std::equal(shown.begin() + at, shown.begin() + at + kWidth * 4, before.begin() + at))
              << "row " << row << " did not change at step " << step;
        }
      }
      before = shown;
    }
  }
}

}  // namespace
}  // namespace bw::host
