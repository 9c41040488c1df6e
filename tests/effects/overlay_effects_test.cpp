// The screen overlays on a seeded generator and a virtual clock: the quake's shake and restore,
// the noise picture's copy and visibility, and the particles' steps, entries and draining stop.
#include <memory>

#include "effects/builtin_effects.h"
#include "effects/overlay_particles.h"
#include "effects/overlay_quake_noise.h"
#include "effects/overlay_shake.h"
#include "effects/sp_effect_rig.h"
#include "graphics/layers/canvas_layer.h"
#include "platform/subtractive_random.h"
#include "support/listed_task.h"

namespace bw::test {
namespace {

std::vector<uint8_t> Picture(uint32_t w, uint32_t h, int depth = 24) {
  tools::WgxPicture p{depth, w, h, {}, {}, 0, 0, {}};
  for (uint32_t i = 0; i < w * h; ++i) p.pixels.push_back(depth == 8 ? i % 4 : 0x010203 * i);
  if (depth == 8) p.palette = {0x112233, 0x445566, 0x778899, 0xAABBCC};
  return tools::WriteWgx(p);
}

// The overlays, on the sprite-effect rig's clock, go before the layers they shake.
class Overlays : public SpriteEffectRig {
 protected:
  void SetUp() override {
    SpriteEffectRig::SetUp();
    RegisterBuiltinLoaders(images);
    random.Seed(42);
    RegisterScriptHostKeywords(transitions, effects, &random);
    for (OffscreenLayer* l : {&below, &above}) ASSERT_EQ(l->Create(64, 48, 32, true), kLayerDone);
    ASSERT_EQ(below.SetLinkedLayer(&above), 0);
    ASSERT_EQ(background.Create(64, 48, 32, 0), 0);
    (void)A()->SetBackgroundImage(&background, 3, 4, true);
  }
  void TearDown() override { timers.Clear(); }
  CompositionLayer* A() { return below.GetCompositionLayer(); }
  CompositionLayer* B() { return above.GetCompositionLayer(); }
  // Sets the keyword's effect up on the lower layer; null when refused.
  DisplayEffect* Start(const char* keyword, ArgList words) {
    std::unique_ptr<DisplayEffect> effect(effects.Create(keyword));
    const int rc = effect->Setup(&timers, static_cast<SurfaceLayer*>(&below), words);
    return rc == 0 ? test::HandOver(timers, std::move(effect)) : nullptr;
  }
  // The code of a set-up on the lower layer that must be refused.
  int Refused(const char* keyword, ArgList words) {
    return effects.Create(keyword)->Setup(&timers, static_cast<SurfaceLayer*>(&below), words);
  }
  std::pair<int32_t, int32_t> OffsetOf(CompositionLayer* composition) {
    int32_t x = 0, y = 0;
    composition->GetBackground(nullptr, &x, &y, nullptr, nullptr, nullptr);
    return {x, y};
  }

  ImageLoaderManager images;
  ScopedGlobal<ImageLoaderManager> publishedImages{&images};
  SubtractiveRandom random;
  TcpPluginManager transitions;
  DcpPluginManager effects;
  OffscreenLayer below, above;
  ImageSurface background;
};

TEST_F(Overlays, QuakeShakesWithinItsAmplitudeAndRestores) {
  // One set up but never listed (the service refused it) takes its work surfaces away again: the
  // layer would draw them unfilled.
  {
    std::unique_ptr<DisplayEffect> unlisted(effects.Create("quake"));
    EXPECT_EQ(
        unlisted->Setup(&timers, static_cast<SurfaceLayer*>(&below), {0, 10, 10, 0, 0, 1, 1, 1}),
        kOverlaySetUp);
    EXPECT_NE(A()->GetWorkSurface(), nullptr);
  }
  EXPECT_EQ(A()->GetWorkSurface(), nullptr);
  EXPECT_EQ(B()->GetWorkSurface(), nullptr);

  OffscreenLayer lonely;
  ASSERT_EQ(lonely.Create(8, 8, 32, true), kLayerDone);
  std::unique_ptr<DisplayEffect> refused = effects.Create("quake");
  EXPECT_EQ(refused->Setup(&timers, static_cast<SurfaceLayer*>(&lonely), {0, 10, 10}),
            kOverlayBadArguments)
      << "no link";
  ScreenOverlay::SetRandom(nullptr);
  EXPECT_EQ(Refused("quake", {0, 10, 10, 0, 0, 0, 1, 1}), kOverlayRefused) << "no random source";
  ScreenOverlay::SetRandom(&random);

  // Random shaking over 1000 ms, weakening to nothing.
  ASSERT_NE(Start("quake", {0, 10, 10, 1000, 0, 0, 1, 0}), nullptr);
  for (uint32_t t = 0; t < 1000; t += 100) {
    At(t);
    const auto [x, y] = OffsetOf(A());
    EXPECT_LE(std::abs(x - 3), 5) << t;
    EXPECT_LE(std::abs(y - 4), 5) << t;
  }
  At(1000);
  EXPECT_EQ(OffsetOf(A()), std::pair(3, 4)) << "the offset is put back at the end";
  EXPECT_EQ(timers.FindById(kTaskKindScreenOverlay), nullptr);

  // A sine shake through the work surface until a stop at the end of a period.
  DisplayEffect* sine = Start("quake", {-400, 6, 0, 0, 0, 1, 1, 1});
  ASSERT_NE(sine, nullptr);
  At(1100, 1200);
  EXPECT_TRUE(A()->IsTransformed()) << "the shifted picture is drawn into the work surface";
  EXPECT_EQ(sine->Command({0}), 0);
  At(1400);
  EXPECT_NE(timers.FindById(kTaskKindScreenOverlay), nullptr) << "the period runs out first";
  At(1500, 1501);
  EXPECT_EQ(timers.FindById(kTaskKindScreenOverlay), nullptr);
  EXPECT_FALSE(A()->IsTransformed());
  EXPECT_EQ(OffsetOf(A()), std::pair(3, 4));
}

TEST_F(Overlays, NoiseCopiesItsPictureAndSwitchesVisibility) {
  EXPECT_EQ(Refused("noise", {128, 5, 1, 1}), kOverlayNoPicture) << "no noise picture";
  game.dir().WriteFile("SYS/NOISE.WGX",
                       Picture(5, 3, 8));  // an 8-bit picture is widened to 32 bits
  auto* noise = static_cast<NoiseOverlay*>(Start("noise", {128, 5, 0, 1}));
  ASSERT_NE(noise, nullptr);
  EXPECT_FALSE(noise->SpriteA().IsVisible());
  EXPECT_TRUE(noise->SpriteB().IsVisible());
  At(100);
  const ImageSurface& out = noise->Output();
  ASSERT_EQ(out.GetWidth(), 64);
  // The output walks the noise picture's pixels from a drawn start, wrapping at its end.
  SubtractiveRandom same;
  same.Seed(42);
  const int64_t start = same.DrawRaw() % 15;
  const uint32_t palette[4] = {0x112233, 0x445566, 0x778899, 0xAABBCC};
  for (int y : {0, 7, 47}) {
    const auto* row = reinterpret_cast<const uint32_t*>(out.GetRowPointer(y));
    for (int x = 0; x < 64; ++x) {
      ASSERT_EQ(row[x] & 0xFFFFFF, palette[(start + y * 64 + x) % 15 % 4]) << x << "," << y;
    }
  }
  EXPECT_EQ(noise->Command({1, 0}), 0);
  EXPECT_TRUE(noise->SpriteA().IsVisible());
  EXPECT_FALSE(noise->SpriteB().IsVisible());
}

TEST_F(Overlays, ParticlesStepEnterAndDrainAfterAStop) {
  EXPECT_EQ(Refused("paper", {0}), kOverlayBadArguments) << "no particles";
  for (int i = 0; i < 8; ++i)
    game.dir().WriteFile("SYS/PAPER_" + std::to_string(i) + ".WGX", Picture(48, 4));
  auto* paper = static_cast<ParticleOverlay*>(Start("paper", {6, 1, 2, 1, Word("0.1"), 1, 1}));
  ASSERT_NE(paper, nullptr);
  EXPECT_EQ(A()->GetList().Count(), 6u);
  EXPECT_EQ(B()->GetList().Count(), 6u);
  std::vector<double> ys;
  for (const auto& p : paper->Particles()) {
    EXPECT_TRUE(p.active) << "spread: all placed at once";
    ys.push_back(p.y);
  }
  At(80);
  for (size_t i = 0; i < ys.size(); ++i) {
    const auto& p = paper->Particles()[i];
    EXPECT_NEAR(p.y - ys[i], std::max(p.vy * 0.1, 1.0), 1e-9) << i;
    if (p.vy < 10) {
      EXPECT_DOUBLE_EQ(p.y - ys[i], 1.0) << "0.79 and up is raised to one pixel";
    }
  }
  (void)paper->Command({0});
  uint32_t now = 80;
  while (timers.FindById(kTaskKindScreenOverlay) && now < 80 * 1000) At(now += 80);
  EXPECT_LT(now, 80u * 1000) << "the stop ends the effect once the screen is empty";
  EXPECT_LE(now, 80u * 60) << "the slowest particle falls a pixel a step";

  // Without spread, rain enters from the top only as the entry chance lets it.
  auto* rain = static_cast<ParticleOverlay*>(Start("rain", {50, 1, 1, 0, 0, 1, 0}));
  ASSERT_NE(rain, nullptr);
  for (const auto& p : rain->Particles()) {
    EXPECT_FALSE(p.active);
    EXPECT_EQ(p.inA->GetHeight(), int32_t((1.0 - 0.1 * p.picture) * 200));
  }
  size_t entered = 0;
  for (uint32_t t = now + 80; t <= now + 80 * 20; t += 80) At(t);
  for (const auto& p : rain->Particles()) entered += p.active;
  EXPECT_LT(entered, 10u) << "a 0.2 % chance per step";
  rain->Stop();
  EXPECT_TRUE(rain->Particles().empty());
  EXPECT_EQ(A()->GetList().Count(), 0u);
}

// A shake over a duration weakens toward its end factor: two updates a whole turn apart, each at
// the sine's crest (1024 512ths over 512 ms: 128 at 64 ms and again at 320 ms).
TEST_F(Overlays, AShakeWithADurationDiesDown) {
  const struct {
    double endFactor;
    int32_t early, late;
  } cases[] = {{0.0, 87, 37}, {1.0, 100, 100}, {0.5, 93, 68}};
  for (const auto& c : cases) {
    Shake shake;
    shake.durationMs = 512;
    shake.period = 1024;
    shake.amplitudeX = 100;
    shake.endFactor = c.endFactor;
    int32_t dx = 0, dy = 0;
    ASSERT_TRUE(shake.Step(1000, random, &dx, &dy));
    std::vector<int32_t> seen;
    for (uint32_t at : {1064u, 1320u}) {
      ASSERT_TRUE(shake.Step(at, random, &dx, &dy));
      seen.push_back(dx);
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{c.early, c.late})) << "end factor " << c.endFactor;
    EXPECT_FALSE(shake.Step(1512, random, &dx, &dy)) << "over at its duration";
  }
}

}  // namespace
}  // namespace bw::test
