// Label: optimised
// Frame buffers that keep their pixels get only the rows that changed; what they show must equal
// what buffers converted in full show, frame after frame, across a seek and after a buffer's
// memory moved.
#include <gtest/gtest.h>

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

constexpr int32_t kWidth = 96;  // not a multiple of the vector width
constexpr int32_t kHeight = 50;

class Buffer final : public MovieFrameBuffer {
 public:
  explicit Buffer(bool keeps) : keeps_(keeps) {}
  bool LockFrame(MovieFrameMemory* m) override {
    *m = {pixels_->data(), kWidth * 4, kWidth, kHeight, MovieFrameFormat::kXrgb8888};
    return true;
  }
  void UnlockFrame() override {}
  bool KeepsPixels() const override { return keeps_; }
  // New memory full of rubbish: the player must convert everything again.
  void Move() { pixels_ = std::make_unique<std::vector<uint8_t>>(Size(), 0xAB); }
  const std::vector<uint8_t>& Pixels() const { return *pixels_; }

 private:
  static size_t Size() { return static_cast<size_t>(kWidth) * kHeight * 4; }
  bool keeps_;
  std::unique_ptr<std::vector<uint8_t>> pixels_ = std::make_unique<std::vector<uint8_t>>(Size());
};

struct Played {
  explicit Played(bool keeps, const std::vector<uint8_t>& movie) : a(keeps), b(keeps) {
    EXPECT_EQ(
        player.Open(std::make_unique<tools::MemoryMovieSource>(std::span<const uint8_t>(movie)), 0,
                    44100),
        kMovieOk);
    player.SetFrameBuffers(&a, &b);
  }
  const std::vector<uint8_t>& Shown() {
    const int32_t index = player.PrepareFrame();
    player.DoneWithFrame();
    return index == 0 ? a.Pixels() : b.Pixels();
  }
  Buffer a, b;
  MoviePlayer player;
};

TEST(MovieKeptRows, KeptBuffersShowWhatFullConversionShows) {
  tools::MovieWriterOptions options;
  options.width = kWidth;
  options.height = kHeight;
  options.sound = false;
  const std::vector<uint8_t> movie = test::MakeMovie(options);
  ASSERT_FALSE(movie.empty());
  VirtualClock clock{1000};
  ScopedGlobal<ClockSource> scope{&clock};
  Played kept(true, movie), full(false, movie);
  ASSERT_EQ(kept.player.Play(), kMovieOk);
  ASSERT_EQ(full.player.Play(), kMovieOk);
  for (int step = 0; step < 60; ++step) {
    if (step == 20) {
      ASSERT_EQ(kept.player.Seek(3000000), kMovieOk);
      ASSERT_EQ(full.player.Seek(3000000), kMovieOk);
    }
    if (step == 30) {
      kept.a.Move();
      kept.b.Move();
    }
    clock.AdvanceMilliseconds(40);
    ASSERT_EQ(kept.Shown(), full.Shown()) << "step " << step;
  }
}

}  // namespace
}  // namespace bw::host
