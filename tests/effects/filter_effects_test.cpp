// The filters' class side: set-ups, refusals and progress laws, the image filters' pictures, and
// the ripple's arguments, shared table cache and last frame.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "effects/builtin_effects.h"
#include "effects/filter_effect_rig.h"
#include "effects/filter_image_effects.h"
#include "effects/named_transition_effects.h"
#include "effects/ripple_effect.h"
#include "graphics/layers/canvas_layer.h"

namespace bw {
namespace {

constexpr uint32_t kOld = 0x00102030;
constexpr uint32_t kNew = 0x00E0C0A0;

class ImageFilters : public FilterEffectRig {
 protected:
  void SetUp() override {
    FilterEffectRig::SetUp();
    for (ImageSurface* s : {&before, &after, &out}) ASSERT_EQ(s->Create(64, 32, 32, 0), 0);
    (void)before.Fill(kOld, nullptr);
    (void)after.Fill(kNew, nullptr);
  }
  // The keyword's filter started at clock 0 and drawn at ms over the whole area.
  std::unique_ptr<FilterEffect> DrawnAt(const char* keyword, ArgList words, uint32_t ms) {
    std::unique_ptr<FilterEffect> filter = Make(keyword, words);
    EXPECT_NE(filter, nullptr) << keyword;
    if (filter) {
      (void)filter->Advance(0);
      DrawAt(*filter, ms);
    }
    return filter;
  }
  void DrawAt(FilterEffect& filter, uint32_t ms) {
    (void)filter.Advance(ms);
    EXPECT_EQ(filter.Draw(Whole()), kFilterDrawn) << filter.GetKeyword() << " at " << ms;
  }
  FilterDrawRequest Whole() {
    FilterDrawRequest r;
    r.width = 64, r.height = 32;
    r.target = &out, r.oldImage = &before, r.newImage = &after;
    return r;
  }
  uint32_t At(int x, int y) { return reinterpret_cast<uint32_t*>(out.GetRowPointer(y))[x]; }

  ImageSurface before, after, out;
};

TEST_F(ImageFilters, SetUpRefusesWhatItCannotDraw) {
  ExpectSetUpCodes({
      {"zoomflip", nullptr, {1000, 0}, kFilterBadArguments},
      {"zoomflip", &shallow, {1000, 0}, kFilterUnsuitableSurface},
      {"addsub", &layer, {0, 1}, kFilterBadArguments},
      {"hblur", &layer, {}, kFilterBadArguments},
      {"zoomflip", &layer, {1000, 7}, kFilterBadArguments},  // it would never draw
      {"quake", &layer, {0, 4, 4, 0}, kFilterSetUpDone},     // a quake needs no duration
  });
  QuakeFilter::SetRandom(nullptr);
  ExpectSetUpCodes({{"quake", &layer, {0, 4, 4, 0}, kFilterNoRandomSource}});
  QuakeFilter::SetRandom(&random);
}

TEST_F(ImageFilters, ProgressLawsAtFixedTimes) {
  ExpectProgressLaws<ImageFilter>({
      {"zoomflip", {1000, 0}, {{7000, 0}, {7500, 32}, {9000, 64}}, 64},  // the picture width
      {"zoomflip", {1000, 1}, {{0, 0}, {500, 16}}, 32},                  // the height
      {"zoomflip", {1000, 4}, {{0, 0}, {250, 128}, {1000, 512}}, 512},
      {"zoomflip", {1000, 6}, {{0, 0}, {500, 128}}, 256},
      {"rotcenter", {2000}, {{0, 0}, {1000, 256}, {3000, 512}}, 512},
      {"addsub", {1000, 2}, {{100, 0}, {600, 127}, {1100, 255}}, 255},
      {"hblur", {300, 0, 0}, {{0, 0}, {100, 1}, {300, 3}}, 3},  // radius 0 is 1: 2r + 1 steps
      {"hblur", {1000, 1, 400}, {{0, 0}, {500, 127}}, 255},
  });
}

TEST_F(ImageFilters, AddsubFadesThroughWhiteOrBlack) {
  DrawnAt("addsub", {1000, 2}, 500);  // level 127
  EXPECT_EQ(At(5, 5), 0x00000000u) << "every channel of the old picture is below 127";
  DrawnAt("addsub", {1000, 3}, 750);  // level 191: the new picture less 255 - 191 = 64
  EXPECT_EQ(At(63, 31), 0x00A08060u);
  auto whiten = DrawnAt("addsub", {1000, 0}, 200);  // level 51 added to the old picture
  EXPECT_EQ(At(0, 0), 0x00435363u);
  DrawAt(*whiten, 1000);
  EXPECT_EQ(At(0, 0), kNew) << "the end shows the new picture";
}

TEST_F(ImageFilters, ZoomflipPushesOrZoomsAndRotcenterGrowsTheNewPicture) {
  DrawnAt("zoomflip", {1000, 2}, 250);  // 16 px from the right edge
  EXPECT_EQ(std::tuple(At(47, 3), At(48, 3)), std::tuple(kOld, kNew));
  auto zoom = DrawnAt("zoomflip", {1000, 4}, 999);
  EXPECT_EQ(At(0, 0), kNew);
  DrawAt(*zoom, 100);  // before the start: still the old picture
  EXPECT_EQ(At(32, 16), kOld);

  auto turn = DrawnAt("rotcenter", {1000, 0}, 0);
  EXPECT_EQ(At(32, 16), kOld) << "nothing has grown yet";
  DrawAt(*turn, 500);  // half size, half a turn
  EXPECT_EQ(At(32, 16) & 0xFFFFFF, kNew) << "the centre shows the turning picture";
  EXPECT_EQ(At(0, 0), kOld) << "the corners still show the background";
}

TEST_F(ImageFilters, HblurSpreadsOneColumnOverTheWindow) {
  (void)before.Fill(0, nullptr);
  (void)before.FillRectXYWH(20, 0, 1, 32, 0x00FFFFFF);
  auto blur = DrawnAt("hblur", {500, 0, 2}, 200);  // five steps, radius 2; level 2
  for (int x = 17; x <= 23; ++x) {
    EXPECT_EQ(At(x, 4) != 0, x >= 18 && x <= 22) << "column " << x;
  }
  DrawAt(*blur, 500);
  EXPECT_EQ(At(20, 4), kNew) << "the last step is a plain copy of the new picture";
}

TEST_F(ImageFilters, QuakeEndsStillAndShakesBySineInSixtyFourBits) {
  auto quake = std::unique_ptr<FilterEffect>(transitions.Create("quake"));
  ASSERT_EQ(quake->SetUp(&layer, {0, 10, 10, 1000, 0, 1}), kFilterSetUpDone);
  auto* q = static_cast<QuakeFilter*>(quake.get());
  // How far the random shake reaches is the quake overlay's to check: both shake alike.
  (void)quake->Advance(0);
  (void)quake->Advance(1000);
  EXPECT_EQ(quake->IsFinished(), 1);
  EXPECT_EQ(std::pair(q->OffsetX(), q->OffsetY()), std::pair(0, 0));

  // A sine shake of a large amplitude keeps its sign: the product is taken in 64 bits.
  auto wide = std::unique_ptr<FilterEffect>(transitions.Create("quake"));
  ASSERT_EQ(wide->SetUp(&layer, {400, 40000, 0, 0}), kFilterSetUpDone);
  auto* w = static_cast<QuakeFilter*>(wide.get());
  (void)wide->Advance(0);
  (void)wide->Advance(100);  // a quarter period: the sine's peak
  EXPECT_EQ(w->OffsetX(), int32_t(int64_t{40000} * trig.Cosine((127 - 128) & 511) >> 16));
  EXPECT_EQ(wide->IsFinished(), 0) << "without a duration it never ends by itself";

  // Drawing: the picture moved by the offset, the bare border cleared.
  auto small = std::unique_ptr<FilterEffect>(transitions.Create("quake"));
  ASSERT_EQ(small->SetUp(&layer, {400, 10, 0, 0, 0, 1}), kFilterSetUpDone);
  (void)small->Advance(0);
  (void)small->Advance(100);
  const int32_t dx = static_cast<QuakeFilter*>(small.get())->OffsetX();
  ASSERT_EQ(dx, 9);
  for (int x = 0; x < 64; ++x)
    (void)before.FillRectXYWH(x, 0, 1, 32, 0x00010000u * uint32_t(x + 1));
  (void)out.Fill(0x00FFFFFF, nullptr);
  ASSERT_EQ(small->Draw(Whole()), kFilterDrawn);
  EXPECT_EQ(At(0, 0), 0x00010000u * 10) << "each pixel shows the one dx to its right";
  EXPECT_EQ(At(54, 9), 0x00010000u * 64);
  EXPECT_EQ(At(55, 9), 0u) << "the strip the picture left is cleared";
}

class NamedTransitions : public FilterEffectRig {
 protected:
  void SetUp() override {
    FilterEffectRig::SetUp();
    ASSERT_EQ(rule.Create(64, 32, 8, 0), 0);
    ASSERT_EQ(wide.Create(64, 32, 32, 0), 0);
  }
  ImageSurface rule, wide;
};

TEST_F(NamedTransitions, ProgressLawsAtFixedTimes) {
  ExpectProgressLaws<NamedTransition>({
      {"cross", {1000}, {{5000, 0}, {5500, 127}, {5999, 254}, {6000, 255}}, 255},
      {"rule", {1000, Word(&rule), 16}, {{0, 0}, {250, 63}, {9000, 255}}, 255},
      {"trans", {1000, 0x101, 1}, {{0, 256}, {500, 128}, {1000, 0}}, 0},
      {"rotaxis", {1000, 3}, {{0, 0}, {500, 128}, {2000, 256}}, 256},
      {"tone", {1000, 0xFF00FF, 1}, {{0, 255}, {200, 204}, {1000, 0}}, 0},
      {"mosaic", {1600, 9, 8}, {{0, 0}, {800, 8}, {1700, 16}}, 16},
      {"scroll", {1000, 0, 0}, {{0, 0}, {500, 32}, {1000, 64}}, 64},
  });
}

TEST_F(NamedTransitions, ScrollEasesFromItsTextAndFades) {
  struct Case {
    const char* easing;
    uint32_t mode;
    int32_t position, fade;
  } const cases[] = {
      {nullptr, 3, 32, 127},
      {"2", 3, 16, 63},
      {"-2", 4, 48, 64},
  };
  for (const Case& c : cases) {
    std::unique_ptr<FilterEffect> filter(transitions.Create("scroll"));
    ASSERT_EQ(filter->SetUp(&layer, {1000, 2, static_cast<ArgWord>(c.mode), Word(c.easing)}), 0);
    auto* scroll = static_cast<ScrollTransition*>(filter.get());
    (void)filter->Advance(0);
    EXPECT_EQ(scroll->FadeLevel(), c.mode == 4 ? 255 : 0);
    (void)filter->Advance(500);
    EXPECT_EQ(scroll->Progress(), c.position) << (c.easing ? c.easing : "linear");
    EXPECT_EQ(scroll->FadeLevel(), c.fade) << (c.easing ? c.easing : "linear");
  }
}

TEST_F(NamedTransitions, WaveRisesAndFallsBackToFlat) {
  std::unique_ptr<FilterEffect> filter = Make("wave", {1, 0, 20, 512, 0xFF000000, 0x00FFFFFF});
  ASSERT_NE(filter, nullptr);
  auto* wave = static_cast<WaveTransition*>(filter.get());
  (void)filter->Advance(10);
  (void)filter->Advance(10);
  EXPECT_EQ(wave->Frame().amplitude, 0);
  (void)filter->Advance(11);
  EXPECT_EQ(wave->Frame().amplitude, 20) << "the peak at half time";
  (void)filter->Advance(12);
  EXPECT_EQ(std::tuple(wave->Frame().amplitude, filter->IsFinished()), std::tuple(0, 1));
  EXPECT_EQ(wave->Frame().gapColor, 0xFFFFFFFFu) << "colour B at level 255, colour A's alpha";
  EXPECT_EQ(WaveGapColor(0x80102030, 0x00FFFFFF, 0), 0x80102030u);
}

TEST_F(NamedTransitions, SetUpRefusals) {
  ExpectSetUpCodes({
      {"cross", &layer, {}, kFilterBadArguments},
      {"rule", &layer, {100, Word(&wide), 8}, kFilterUnsuitableSurface},
      {"rule", &layer, {100, 0, 8}, kFilterBadArguments},
      {"scroll", &layer, {100, 4, 0}, kFilterBadArguments},
      {"rotaxis", &layer, {100, 4}, kFilterBadArguments},
      {"trans", &layer, {100, 87}, kFilterBadArguments},
      {"cross", nullptr, {100}, kFilterBadArguments},
      {"cross", &shallow, {100}, kFilterUnsuitableSurface},
  });
  std::unique_ptr<FilterEffect> wave(transitions.Create("wave"));
  {
    ScopedGlobal<TrigTables> none(nullptr);
    EXPECT_EQ(wave->SetUp(&layer, {100, 0, 4, 4, 0, 0}), 5) << "no sine table";
  }
}

TEST_F(NamedTransitions, AFinishedCrossDrawsTheNewPictureThroughTheLayersBand) {
  std::unique_ptr<FilterEffect> cross = Make("cross", {100});
  ImageSurface before, after;
  ASSERT_EQ(before.Create(64, 32, 32, 0), 0);
  ASSERT_EQ(after.Create(64, 32, 32, 0), 0);
  (void)before.Fill(0xFF000000u, nullptr);
  (void)after.Fill(0xFF4080C0u, nullptr);
  LayerFilter& asLayerSees = *cross;
  (void)asLayerSees.Update(0);
  (void)asLayerSees.Update(100);
  ASSERT_TRUE(asLayerSees.IsDone());
  asLayerSees.DrawBand(FilterBand{&wide, Rect{0, 8, 64, 16}, &before, &after});
  EXPECT_EQ(wide.GetPixel(5, 10) & 0xFFFFFF, 0x4080C0u);
  EXPECT_EQ(wide.GetPixel(5, 20) & 0xFFFFFF, 0u) << "outside the band";
}

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
  std::unique_ptr<RippleEffect> Make(ArgList words) {
    auto ripple = std::make_unique<RippleEffect>();
    EXPECT_EQ(ripple->SetUp(&layer, words), kFilterSetUpDone);
    return ripple;
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
  auto ripple = Make({1, -1, 99, 20, Word("0"), Word("2.5"), 200});
  const RippleKey& k = ripple->Key();
  EXPECT_EQ(std::tuple(ripple->durationMs, std::pair(k.centreX, k.centreY), k.waveLength, k.aspect),
            std::tuple(2u, std::pair(24, 39), 16, 1.0f));
  EXPECT_EQ(k.amplitude, 127);
  EXPECT_EQ(Make({500, 0, 0, 64, 0, 0, 0})->Key().amplitude, 24);
  EXPECT_EQ(RippleEffect().SetUp(&layer, {}), kFilterBadArguments);
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
