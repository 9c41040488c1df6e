// The ripple: its argument rules, the shared table cache and its last frame.
#include "effects/ripple_effect.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "effects/builtin_effects.h"
#include "graphics/layers/canvas_layer.h"

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

  OffscreenLayer layer;
  ImageSurface before, after, out;
};

TEST_F(Ripple, ArgumentsAreTakenIntoTheirRanges) {
  const char aspect[] = "0", speed[] = "2.5";
  auto ripple = Make({1, -1, 99, 20, Word(aspect), Word(speed), 200});
  ASSERT_NE(ripple, nullptr);
  const RippleKey& k = ripple->Key();
  EXPECT_EQ(std::tuple(ripple->durationMs, std::pair(k.centreX, k.centreY), k.waveLength, k.aspect),
            std::tuple(2u, std::pair(24, 39), 16, 1.0f));
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
  }
  EXPECT_EQ(RippleCacheSlot(0), nullptr);
  EXPECT_EQ(again->Tables()->references, 2) << "its two ripples hold the set, the cache no more";
}

// The frames themselves are checked against the wave's formulas pixel by pixel elsewhere; a
// very flat aspect, too flat for a frame to show, keeps every direction inside its ring's
// entries.
TEST_F(Ripple, AVeryFlatAspectKeepsEveryDirectionInItsRing) {
  std::unique_ptr<RippleTables> flat(BuildRippleTables({40, 30, 0, 0, 16, 1e-30f, 2}));
  for (uint16_t code : flat->codes) ASSERT_LT(code, 16 * 32);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(flat->codes[size_t(i)] % 32, 31u);
}

TEST_F(Ripple, TheLastFrameIsTheNewPictureUndisplaced) {
  auto ripple = Make({400, -1, -1, 16, 0, 0, 60});
  (void)ripple->Advance(1000);
  (void)ripple->Advance(1200);
  (void)ripple->Advance(1400);
  EXPECT_EQ(ripple->IsFinished(), 1);
  EXPECT_EQ(ripple->AmplitudeLevel(), 0);
  ASSERT_EQ(ripple->Draw(Whole()), kFilterDrawn);
  for (int y = 0; y < 40; y += 3) {
    for (int x = 0; x < 48; x += 5) {
      const uint32_t o = reinterpret_cast<uint32_t*>(before.GetRowPointer(y))[x];
      const uint32_t n = reinterpret_cast<uint32_t*>(after.GetRowPointer(y))[x];
      ASSERT_EQ(reinterpret_cast<uint32_t*>(out.GetRowPointer(y))[x], RippleBlend(o, n, 255))
          << x << "," << y;
    }
  }
  // Half-way, the strongest rings bend by more than this small picture: samples stay inside.
  auto wide = Make({400, -1, -1, 16, 0, 0, 127});
  (void)wide->Advance(0);
  (void)wide->Advance(200);
  EXPECT_GT(wide->Margin(), 24);
  FilterDrawRequest band = Whole();
  band.areaY = band.oldY = band.newY = band.targetY = 8;
  band.height = 200;  // past the picture: cut to it
  EXPECT_EQ(wide->Draw(band), kFilterDrawn);
}

}  // namespace
}  // namespace bw
