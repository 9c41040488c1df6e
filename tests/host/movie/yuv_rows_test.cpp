// Label: optimised
#include "host/movie/yuv_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "common/global.h"
#include "host/clock.h"
#include "host/movie/movie_player.h"
#include "lib/movie/memory_movie_source.h"
#include "support/movie_samples.h"

namespace bw::host {
namespace {

// Studio-range BT.601 in real numbers, channel at shift of 0xRRGGBB.
int Reference(int y, int u, int v, int shift) {
  const double c = (y - 16) * 255.0 / 219.0, d = (u - 128) * 255.0 / 224.0,
               e = (v - 128) * 255.0 / 224.0;
  const double value = shift == 16  ? c + 1.402 * e
                       : shift == 8 ? c - 0.344136 * d - 0.714136 * e
                                    : c + 1.772 * d;
  return static_cast<int>(std::lround(std::fmin(255.0, std::fmax(0.0, value))));
}

TEST(YuvRows, PlainKernelStaysWithinOneOfTheReferenceAndIsOpaque) {
  for (int y = 0; y < 256; y += 3) {
    for (int u = 0; u < 256; u += 5) {
      for (int v = 0; v < 256; v += 5) {
        const uint8_t ys[2] = {uint8_t(y), uint8_t(y)}, us[1] = {uint8_t(u)}, vs[1] = {uint8_t(v)};
        uint32_t out[2] = {};
        YuvRowToXrgbPlain(ys, us, vs, out, 2);
        ASSERT_EQ(out[0], out[1]) << "one chroma sample covers two pixels";
        ASSERT_EQ(out[0] >> 24, 0xffu);
        for (int shift : {0, 8, 16}) {
          ASSERT_NEAR(int(out[0] >> shift & 0xff), Reference(y, u, v, shift), 1)
              << "y " << y << " u " << u << " v " << v << " shift " << shift;
        }
      }
    }
  }
}

// Random rows (all 0 and all 255 among them) of every width up to a few vectors, written at
// every alignment the kernels tell apart: the vector kernels, cached or streamed, one row or two
// over one chroma row, give the plain pixels and write nothing past the rows.
TEST(YuvRows, VectorKernelsGiveThePlainPixelsAtEveryWidth) {
  std::mt19937 random(41);
  constexpr int kMaxWidth = 100;
  for (int width = 1; width <= kMaxWidth; ++width) {
    for (int round = 0; round < 12; ++round) {
      std::vector<uint8_t> y(width * 2), u((width + 1) / 2), v((width + 1) / 2);
      for (auto* plane : {&y, &u, &v}) {
        for (uint8_t& value : *plane) value = uint8_t(round < 2 ? round * 255 : random());
      }
      const uint8_t* y1 = y.data() + width;
      std::vector<uint32_t> plain(width * 2 + 1, 0x12345678u);
      YuvRowToXrgbPlain(y.data(), u.data(), v.data(), plain.data(), width);
      YuvRowToXrgbPlain(y1, u.data(), v.data(), plain.data() + width, width);
      // Words: 64-, 16-, 4- and 32-byte aligned rows.
      constexpr int kOffsets[] = {0, 4, 1, 8};
      const int offset = kOffsets[round % 4];
      auto written = [&](const uint32_t* out, int rows) {
        std::vector<uint32_t> got(out, out + width * rows + 1);
        std::vector<uint32_t> want(plain.begin(), plain.begin() + width * rows);
        want.push_back(0x12345678u);
        return got == want;
      };
      for (bool bypassCache : {false, true}) {
        alignas(64) uint32_t out[kMaxWidth * 2 + 16];
        std::fill(std::begin(out), std::end(out), 0x12345678u);
        YuvRowToXrgbSse2(y.data(), u.data(), v.data(), out + offset, width, bypassCache);
        ASSERT_TRUE(written(out + offset, 1))
            << "width " << width << " round " << round << " streamed " << bypassCache;
        for (auto pair : {HasAvx2() ? YuvRowPairToXrgbAvx2 : nullptr,
                          HasAvx512() ? YuvRowPairToXrgbAvx512 : nullptr,
                          HasAvx512Vbmi() ? YuvRowPairToXrgbAvx512Vbmi : nullptr}) {
          // One row, then the second right after the first, so both share the alignment only
          // sometimes.
          for (int rows = 1; pair && rows <= 2; ++rows) {
            std::fill(std::begin(out), std::end(out), 0x12345678u);
            pair(y.data(), rows == 2 ? y1 : nullptr, u.data(), v.data(), out + offset,
                 rows == 2 ? out + offset + width : nullptr, width, bypassCache);
            ASSERT_TRUE(written(out + offset, rows))
                << rows << " rows, width " << width << " round " << round << " streamed "
                << bypassCache << (pair == YuvRowPairToXrgbAvx512 ? " avx-512" : "")
                << (pair == YuvRowPairToXrgbAvx512Vbmi ? " vbmi" : "");
          }
        }
      }
    }
  }
}

// Every luma, u and v value together, through each wide kernel for two rows:
// the 16-bit arithmetic of the wide kernels must equal the plain 32-bit one everywhere, clamps
// included.
TEST(YuvRows, WideKernelsMatchThePlainOneForEveryColour) {
  std::vector<uint8_t> y(512), u(256), v(256);
  for (int x = 0; x < 256; ++x) {
    y[x] = uint8_t(x);
    y[256 + x] = uint8_t(255 - x);
  }
  std::vector<uint32_t> wide(512), plain(512);
  for (int uValue = 0; uValue < 256; ++uValue) {
    for (int vValue = 0; vValue < 256; ++vValue) {
      // Chroma varies along the row too, so each sample lands at its own pixels.
      for (int i = 0; i < 256; ++i) {
        u[i] = uint8_t(uValue + (i & 1) * 128);
        v[i] = uint8_t(vValue + (i >> 7) * 128);
      }
      YuvRowToXrgbPlain(y.data(), u.data(), v.data(), plain.data(), 256);
      YuvRowToXrgbPlain(y.data() + 256, u.data(), v.data(), plain.data() + 256, 256);
      for (auto pair : {YuvRowPairToXrgb, HasAvx2() ? YuvRowPairToXrgbAvx2 : YuvRowPairToXrgb,
                        HasAvx512() ? YuvRowPairToXrgbAvx512 : YuvRowPairToXrgb}) {
        pair(y.data(), y.data() + 256, u.data(), v.data(), wide.data(), wide.data() + 256, 256,
             false);
        ASSERT_EQ(wide, plain) << "u " << uValue << " v " << vValue;
      }
    }
  }
}

// Buffers that keep their pixels get only the rows that changed, converted at the movie's size or
// scaled to another: frame after frame they must show what buffers done whole show, across a seek
// and after their memory moved.
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
    EXPECT_EQ(player.DoneWithFrame(), kMovieOk);
    return *(index == 0 ? a : b).pixels;
  }
  Buffer a, b;
  MoviePlayer player;
};

// The still movie keeps most rows; the textured one changes every row of every frame, which the
// test checks at the movie's own size so that it cannot pass by showing a frame twice.
TEST(MovieKeptRows, KeptBuffersShowWhatWholeFramesShow) {
  for (bool textured : {false, true}) {
    const std::vector<uint8_t> movie = test::MakeMovie(
        {.width = kMovieWidth, .height = kMovieHeight, .sound = false, .textured = textured});
    ASSERT_FALSE(movie.empty());
    // Converted at its size; grown by 2.5 as a 320 x 240 movie fills an 800 x 600 window; shrunk;
    // only narrowed.
    for (auto [width, height] :
         {std::pair{kMovieWidth, kMovieHeight}, {240, 125}, {40, 21}, {50, kMovieHeight}}) {
      SCOPED_TRACE(testing::Message()
                   << (textured ? "textured " : "still ") << width << "x" << height);
      const bool ownSize = width == kMovieWidth && height == kMovieHeight;
      VirtualClock clock{1000};
      ScopedGlobal<ClockSource> scope{&clock};
      Played kept(width, height, true, movie);
      Played whole(width, height, false, movie);
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

using tools::MovieContainer;
using tools::MovieWriterOptions;

class MoviePlayerTest : public ::testing::Test {
 protected:
  int32_t Open(const MovieWriterOptions& options) {
    std::vector<uint8_t> bytes = test::MakeMovie(options);
    EXPECT_FALSE(bytes.empty()) << "the writer made no movie";
    return OpenBytes(std::move(bytes));
  }
  int32_t OpenBytes(std::vector<uint8_t> bytes) {
    const int32_t r =
        player.Open(std::make_unique<tools::MemoryMovieSource>(std::move(bytes)), 0, 44100);
    if (r == kMovieOk) player.SetFrameBuffers(&a, &b);
    return r;
  }
  uint32_t ShownColour() {
    const int32_t index = player.PrepareFrame();
    EXPECT_EQ(player.DoneWithFrame(), kMovieOk);
    // Away from the moving bar along the bottom.
    uint32_t centre;
    std::memcpy(&centre, (index == 0 ? a : b).pixels->data() + (48 / 3 * 64 + 64 / 2) * 4, 4);
    return centre & 0xFFFFFF;
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
  Buffer a{64, 48, false}, b{64, 48, false};
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
