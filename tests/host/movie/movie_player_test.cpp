#include "host/movie/movie_player.h"

#include <gtest/gtest.h>

#include <string>

#include "common/global.h"
#include "host/clock.h"
#include "lib/movie/memory_movie_source.h"
#include "support/movie_samples.h"

namespace bw::host {
namespace {

using tools::MovieContainer;
using tools::MovieWriterOptions;

using MemorySource = tools::MemoryMovieSource;

// A 32-bit frame buffer in plain memory.
class PlainBuffer final : public MovieFrameBuffer {
 public:
  PlainBuffer(int32_t w, int32_t h) : w_(w), h_(h), pixels_(static_cast<size_t>(w) * h) {}
  bool LockFrame(MovieFrameMemory* m) override {
    *m = {reinterpret_cast<uint8_t*>(pixels_.data()), w_ * 4, w_, h_, MovieFrameFormat::kXrgb8888};
    return true;
  }
  void UnlockFrame() override {}
  // Away from the moving bar along the bottom.
  uint32_t Centre() const { return pixels_[static_cast<size_t>(h_ / 3) * w_ + w_ / 2] & 0xFFFFFF; }

 private:
  int32_t w_, h_;
  std::vector<uint32_t> pixels_;
};

class MoviePlayerTest : public ::testing::Test {
 protected:
  int32_t Open(const MovieWriterOptions& options) {
    std::vector<uint8_t> bytes = test::MakeMovie(options);
    EXPECT_FALSE(bytes.empty()) << "the writer made no movie";
    return OpenBytes(std::move(bytes));
  }
  int32_t OpenBytes(std::vector<uint8_t> bytes) {
    const int32_t r = player.Open(std::make_unique<MemorySource>(std::move(bytes)), 0, 44100);
    if (r == kMovieOk) player.SetFrameBuffers(&a, &b);
    return r;
  }
  uint32_t ShownColour() {
    const int32_t index = player.PrepareFrame();
    EXPECT_EQ(player.DoneWithFrame(), kMovieOk);
    return index == 0 ? a.Centre() : b.Centre();
  }
  int32_t State() {
    int32_t s = -1;
    EXPECT_EQ(player.GetState(&s), kMovieOk);
    return s;
  }
  double ToneAt(uint32_t ms) {
    EXPECT_EQ(player.SeekSoundMs(ms), kMovieOk);
    std::vector<uint8_t> pcm(44100 / 4 * 4);
    pcm.resize(player.ReadSound(pcm.data(), static_cast<uint32_t>(pcm.size())));
    return test::ToneOfPcm(pcm, 44100);
  }

  VirtualClock clock{1000};
  ScopedGlobal<ClockSource> scope{&clock};
  PlainBuffer a{64, 48}, b{64, 48};
  MoviePlayer player;
};

TEST_F(MoviePlayerTest, EveryContainerTheWriterMakesPlays) {
  for (MovieContainer c :
       {MovieContainer::kMpeg1, MovieContainer::kAvi, MovieContainer::kMp4, MovieContainer::kWmv}) {
    SCOPED_TRACE(tools::MovieExtension(c));
    ASSERT_EQ(Open({.container = c}), kMovieOk);
    EXPECT_TRUE(player.HasSound());
    EXPECT_EQ(0, player.Play());
    clock.AdvanceMilliseconds(1500);
    EXPECT_TRUE(test::ColourNear(ShownColour(), tools::MovieColourOfSecond(1)))
        << std::hex << ShownColour();
    EXPECT_NEAR(ToneAt(300), tools::MovieToneOfSecond(0), 30);
  }
}

TEST_F(MoviePlayerTest, BadFilesAreRefusedAndLeaveNothingOpen) {
  EXPECT_EQ(Open({.container = MovieContainer::kAvi, .hugeSize = true}), kMovieRefused);
  EXPECT_FALSE(player.IsOpen());
  // Playlists and concatenation would open other names: everything comes from the one source.
  for (std::string text :
       {"ffconcat version 1.0\nfile 'other.mpg'\n",
        "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\nother.ts\n#EXT-X-ENDLIST\n"}) {
    EXPECT_EQ(OpenBytes(std::vector<uint8_t>(text.begin(), text.end())), kMovieRefused) << text;
    EXPECT_FALSE(player.IsOpen());
  }
}

// Its size and tone are the sprite wrapper's test.
TEST_F(MoviePlayerTest, SoundWithoutPictureEndsWithItsSound) {
  ASSERT_EQ(Open({.picture = false}), kMovieOk);
  EXPECT_EQ(0, player.Play());
  clock.AdvanceMilliseconds(1000);
  EXPECT_EQ(State(), kMoviePlaying);
  clock.AdvanceMilliseconds(1500);
  EXPECT_EQ(State(), kMovieStopped);
}

TEST_F(MoviePlayerTest, ShortAndBrokenFilesCompleteEarly) {
  for (const MovieWriterOptions& options :
       {MovieWriterOptions{.keepPercent = 25}, MovieWriterOptions{.corrupt = true}}) {
    ASSERT_EQ(Open(options), kMovieOk);
    EXPECT_EQ(0, player.Play());
    for (int step = 0; step < 30 && State() == kMoviePlaying; ++step) {
      clock.AdvanceMilliseconds(100);
      (void)player.PrepareFrame();  // only brings the picture up to the clock
      EXPECT_EQ(player.DoneWithFrame(), kMovieOk);
    }
    EXPECT_EQ(State(), kMovieStopped);
    if (options.keepPercent) {
      EXPECT_LT(player.ShownFrameTime(), 1800 * 10000) << "a cut file ends at its last frame";
    }
    std::vector<uint8_t> pcm(1 << 16);
    while (player.ReadSound(pcm.data(), static_cast<uint32_t>(pcm.size())) > 0) {
    }
    EXPECT_TRUE(player.SoundAtEnd());
  }
}

}  // namespace
}  // namespace bw::host
