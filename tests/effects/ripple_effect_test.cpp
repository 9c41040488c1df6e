// The ripple: its argument rules, the shared table cache, the tables against their formulas, and
// the frames the plain and the vector row loops draw.
#include "effects/ripple_effect.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <random>

#include "effects/builtin_effects.h"
#include "graphics/layers/canvas_layer.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

class Ripple : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearRippleTableCache();
    ASSERT_EQ(layer.Create(48, 40, 32, false), kLayerDone);
    std::mt19937 bits(7);
    for (ImageSurface* s : {&before, &after, &out}) {
      ASSERT_EQ(s->Create(48, 40, 32, 0), 0);
      for (int y = 0; y < 40; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(s->GetRowPointer(y));
        for (int x = 0; x < 48; ++x) row[x] = bits();
      }
    }
  }
  void TearDown() override { ClearRippleTableCache(); }
  std::unique_ptr<RippleEffect> Make(ArgList words, int* code = nullptr) {
    auto ripple = std::make_unique<RippleEffect>();
    const int rc = ripple->SetUp(&layer, words);
    if (code) *code = rc;
    return rc == kFilterSetUpDone ? std::move(ripple) : nullptr;
  }
  FilterDrawRequest Whole() {
    FilterDrawRequest r;
    r.width = 48, r.height = 40;
    r.target = &out, r.oldImage = &before, r.newImage = &after;
    return r;
  }
  std::vector<uint32_t> Frame(RippleEffect& ripple) {
    EXPECT_EQ(ripple.Draw(Whole()), kFilterDrawn);
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 40; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(out.GetRowPointer(y));
      pixels.insert(pixels.end(), row, row + 48);
    }
    return pixels;
  }

  OffscreenLayer layer;
  ImageSurface before, after, out;
};

TEST_F(Ripple, ArgumentsAreTakenIntoTheirRanges) {
  const char aspect[] = "0", speed[] = "2.5";
  auto ripple = Make({1, -1, 99, 20, Word(aspect), Word(speed), 200});
  ASSERT_NE(ripple, nullptr);
  const RippleKey& k = ripple->Key();
  EXPECT_EQ(ripple->durationMs, 2u);
  EXPECT_EQ(std::pair(k.centreX, k.centreY), std::pair(24, 39));
  EXPECT_EQ(k.waveLength, 16);
  EXPECT_EQ(k.aspect, 1.0f);
  EXPECT_EQ(k.amplitude, 127);
  EXPECT_EQ(Make({500, 0, 0, 64, 0, 0, 0})->Key().amplitude, 24);
  int code = 0;
  EXPECT_EQ(Make({}, &code), nullptr);
  EXPECT_EQ(code, kFilterBadArguments);
  OffscreenLayer shallow;
  ASSERT_EQ(shallow.Create(8, 8, 8, false), kLayerDone);
  EXPECT_EQ(RippleEffect().SetUp(&shallow, {500}), kFilterUnsuitableSurface);
}

TEST_F(Ripple, TheCacheSharesEvictsAndKeepsHeldSets) {
  auto first = Make({500, 10, 10, 16, 0, 0, 4});
  auto twin = Make({500, 10, 10, 16, 0, 0, 4});
  ASSERT_EQ(first->Tables(), twin->Tables());
  EXPECT_EQ(first->Tables()->references, 3) << "the cache and both ripples";
  twin.reset();
  // Four more distinct sets: the first one's set leaves the cache but lives on in its ripple.
  std::vector<std::unique_ptr<RippleEffect>> others;
  for (int i = 1; i <= 4; ++i) others.push_back(Make({500, 10 + i, 10, 16, 0, 0, 4}));
  for (int slot = 0; slot < kRippleCacheSlots; ++slot)
    EXPECT_NE(RippleCacheSlot(slot), first->Tables()) << slot;
  EXPECT_EQ(first->Tables()->references, 1);
  EXPECT_EQ(RippleCacheSlot(0)->key.centreX, 14) << "most recent first";
  // A hit moves its set to the front.
  auto again = Make({500, 11, 10, 16, 0, 0, 4});
  EXPECT_EQ(RippleCacheSlot(0)->key.centreX, 11);
  EXPECT_EQ(RippleCacheSlot(1)->key.centreX, 14);

  // Through the registry: the first look-up runs the start-up routine, clearing the registry
  // runs the release routine, which empties the cache.
  {
    TcpPluginManager transitions;
    DcpPluginManager effects;
    RegisterScriptHostKeywords(transitions, effects);
    uint32_t extra = 1;
    EXPECT_NE(transitions.FindFactory("ripple", &extra), nullptr);
    EXPECT_EQ(extra, 0u);
    EXPECT_EQ(transitions.Create("Ripple"), nullptr) << "keywords are compared exactly";
  }
  EXPECT_EQ(RippleCacheSlot(0), nullptr);
  EXPECT_EQ(again->Tables()->references, 2) << "its two ripples hold the set, the cache no more";
}

TEST_F(Ripple, TablesFollowTheirFormulas) {
  const RippleKey key{40, 30, 0, 0, 32, 0.5f, 8};
  std::unique_ptr<RippleTables> t(BuildRippleTables(key));
  EXPECT_EQ(std::pair(t->quadrantWidth, t->quadrantHeight), std::pair(40, 30))
      << "a corner centre covers the whole picture";
  for (int j = 0; j < 30; j += 7) {
    for (int i = 0; i < 40; i += 5) {
      const double dx = i + 0.5, dy = (j + 0.5) * 0.5;
      const uint16_t code = t->codes[size_t(j * 40 + i)];
      EXPECT_EQ(code / 32, int(std::sqrt(dx * dx + dy * dy)) % 32) << i << "," << j;
      EXPECT_NEAR(code % 32, std::atan(dx / dy) * 64 / M_PI, 1.0) << i << "," << j;
    }
  }
  for (int k = 0; k < 32; ++k) {
    const double a = -6.283185307 * k / 32;
    const double v = std::pow((std::sin(2 * a - 2) * 0.2 + std::sin(a)) * 0.8403361344537815, 2);
    EXPECT_NEAR(t->profile[size_t(k)], v * 2048, 1.0) << k;
  }
  // The largest level moves a pixel by about a quarter of the level times the wave's shape.
  const int level = 31;
  for (int phase = 0; phase < 32; phase += 3) {
    for (int a : {0, 15, 31}) {
      const uint16_t e = t->Row(level, phase)[a];
      const double theta = M_PI / 2 - (a + 0.5) * M_PI / 64;
      const double magnitude = t->profile[size_t(phase)] / 2048.0 * level / 4;
      EXPECT_NEAR(int8_t(e >> 8), std::cos(theta) * magnitude, 1.0) << phase << "," << a;
      EXPECT_NEAR(int8_t(e & 0xFF), std::sin(theta) * magnitude, 1.0) << phase << "," << a;
      EXPECT_EQ(t->Row(level, phase)[a + 32 * 32], e) << "the doubled copy";
    }
  }
  // A very flat aspect keeps every direction inside its ring's 32 entries.
  std::unique_ptr<RippleTables> flat(BuildRippleTables({40, 30, 0, 0, 16, 1e-30f, 2}));
  for (uint16_t code : flat->codes) ASSERT_LT(code, 16 * 32);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(flat->codes[size_t(i)] % 32, 31u);
}

TEST_F(Ripple, PlainAndVectorRowsDrawTheSameFrames) {
  const char flat[] = "0.7";
  const std::vector<std::vector<ArgWord>> cases = {{1000, 20, 15, 32, 0, 0, 24},
                                                   {1000, 0, 39, 16, Word(flat), 0, 6}};
  for (const auto& words : cases) {
    auto ripple = std::make_unique<RippleEffect>();
    ASSERT_EQ(ripple->SetUp(&layer, ArgWords(words.data(), words.size())), kFilterSetUpDone);
    ripple->Advance(0);
    for (uint32_t t : {0u, 130u, 500u, 870u}) {
      ripple->Advance(t);
      std::vector<uint32_t> frames[2];
      for (bool vector : {false, true}) {
        ScopedMmxFlag flag(vector);
        RippleEffect::Initialise();
        frames[vector] = Frame(*ripple);
      }
      EXPECT_EQ(frames[0], frames[1]) << "at " << t;
      // Any cut of the area into pieces draws the same frame.
      for (auto [x, y, w, h] :
           {std::array{0, 0, 17, 40}, std::array{17, 0, 31, 13}, std::array{17, 13, 31, 27}}) {
        FilterDrawRequest piece = Whole();
        piece.areaX = piece.targetX = piece.oldX = piece.newX = x;
        piece.areaY = piece.targetY = piece.oldY = piece.newY = y;
        piece.width = w, piece.height = h;
        out.Fill(0, nullptr);
        ASSERT_EQ(ripple->Draw(piece), kFilterDrawn);
        for (int j = y; j < y + h; ++j) {
          auto* row = reinterpret_cast<uint32_t*>(out.GetRowPointer(j));
          for (int i = x; i < x + w; ++i) ASSERT_EQ(row[i], frames[0][size_t(j * 48 + i)]) << i;
        }
      }
    }
  }
  RippleEffect::Initialise();
}

TEST_F(Ripple, TheLastFrameIsTheNewPictureUndisplaced) {
  auto ripple = Make({400, -1, -1, 16, 0, 0, 60});
  ripple->Advance(1000);
  ripple->Advance(1200);
  ripple->Advance(1400);
  EXPECT_EQ(ripple->IsFinished(), 1);
  EXPECT_EQ(ripple->AmplitudeLevel(), 0);
  const std::vector<uint32_t> frame = Frame(*ripple);
  for (int y = 0; y < 40; y += 3) {
    for (int x = 0; x < 48; x += 5) {
      const uint32_t o = reinterpret_cast<uint32_t*>(before.GetRowPointer(y))[x];
      const uint32_t n = reinterpret_cast<uint32_t*>(after.GetRowPointer(y))[x];
      ASSERT_EQ(frame[size_t(y * 48 + x)], RippleBlend(o, n, 255)) << x << "," << y;
    }
  }
  // Half-way, the strongest rings bend by more than this small picture: samples stay inside.
  auto wide = Make({400, -1, -1, 16, 0, 0, 127});
  wide->Advance(0);
  wide->Advance(200);
  EXPECT_GT(wide->Margin(), 24);
  FilterDrawRequest band = Whole();
  band.areaY = band.oldY = band.newY = band.targetY = 8;
  band.height = 200;  // past the picture: cut to it
  EXPECT_EQ(wide->Draw(band), kFilterDrawn);
}

}  // namespace
}  // namespace bw
