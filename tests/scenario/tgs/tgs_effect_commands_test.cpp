// Label: optimised
// The scene's effects and transitions: recorded and immediate forms, waits, skipping, the page
// swap with its screen-slot rules, the copy of the shown page and the rule pictures.
#include "scenario/tgs/tgs_effect_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "effects/bg_blur_effect.h"
#include "effects/filter_effect.h"
#include "host/gdi/memory_dc.h"
#include "scenario/tgs/tgs_crossfade.h"
#include "scenario/tgs/tgs_scene_world.h"

namespace bw::test {
namespace {

using EffectCommandsTest = SceneWorld;

TEST(ScreenSlotSwap, FollowsThePages) {
  struct Case {
    int32_t kind;
    std::array<int32_t, 7> before;
    std::array<int32_t, 7> after;
  } cases[] = {
      {kSlotNoise, {1, 9, 1, 0, 5, 6, 7}, {1, 9, 0, 1, 5, 6, 7}},
      {kSlotPathAnime, {2, 0, 1, 2, 3, 4, 5}, {2, 1, 1, 2, 3, 4, 5}},
      {kSlotQuake, {3, 1, 2, 3, 4, 5, 6}, {3, 1, 2, 3, 4, 6, 5}},
      {kSlotRaster, {4, 1, 0, 0, 0, 0, 0}, {4, 0, 0, 0, 0, 0, 0}},
      {kSlotHaze20, {6, 0, 0, 0, 0, 0, 0}, {6, 1, 0, 0, 0, 0, 0}},
      {kSlotLoop, {7, 1, 3, 4, 0, 0, 0}, {7, 0, 3, 4, 0, 0, 0}},
      {kSlotMovie, {8, 0, 1, 2, 3, 4, 0}, {8, 1, 1, 2, 3, 4, 0}},
      {kSlotParts, {9, 7, 1, 0, 1, 5, 0}, {9, 7, 1, 0, 0, 5, 0}},
      {kSlotParts, {9, 7, 1, 0, 2, 5, 0}, {9, 7, 0, 1, 2, 5, 0}},
      {kSlotCross, {10, 5, 1, 0, 0, 0, 0}, {10, 5, 2, 1, 0, 0, 0}},
      {kSlotCross, {10, 5, 2, 1, 0, 0, 0}, {10, 5, 1, 0, 0, 0, 0}},
      {kSlotCross, {10, 5, 0, 1, 0, 0, 0}, {10, 5, 0, 0, 0, 0, 0}},
      {kSlotWeather + 3, {14, 4, 1, 0, 0, 0, 0}, {14, 4, 0, 1, 0, 0, 0}},
      {0, {0, 1, 2, 3, 4, 5, 6}, {0, 1, 2, 3, 4, 5, 6}},
  };
  for (const Case& c : cases) {
    TgsScreenSlot slot;
    slot.words = c.before;
    SwapSlotPages(slot);
    EXPECT_EQ(slot.words, c.after) << "kind " << c.kind;
  }
}

TEST_F(EffectCommandsTest, LayerEffectRecordedImmediateWaitedAndStopped) {
  ASSERT_EQ(scene_->LoadBackground("BG1A", 0), 0);
  TgsBackgroundRecord& bg = scene_->Background(0);

  // Recorded: the effect runs and its end view is kept for the rebuild.
  ASSERT_EQ(scene_->ZoomBackground(0, 400, 300, "2.0", std::nullopt, 500), 0);
  ASSERT_NE(bg.effect, nullptr);
  EXPECT_EQ(bg.view[0], -1) << "the layer has no work surface yet";
  EXPECT_EQ(scene_->WaitLayerEffect(0, false), 0);
  EXPECT_EQ(bg.effect, nullptr) << "the task cleared its handle when it ended";
  EXPECT_EQ(turns_, 6) << "one turn starts its clock, five run it";

  // A skippable wait on one that never ends.
  ASSERT_EQ(scene_->ZoomBackground(0, 400, 300, "2.0", std::nullopt, 0), 0);
  skipping_ = true;
  EXPECT_EQ(scene_->WaitLayerEffect(0, true), 1);
  EXPECT_EQ(bg.effect, nullptr);
  EXPECT_EQ(timers_.FindById(kTaskKindLayerEffect), nullptr);

  // Immediate while skipping and with effects off: the command function, no task.
  EXPECT_EQ(scene_->ZoomBackground(0, 400, 300, "2.0", std::nullopt, 500), 0);
  skipping_ = false;
  showEffects_ = false;
  EXPECT_EQ(scene_->ZoomBackground(0, 400, 300, "2.0", std::nullopt, 500), 0);
  EXPECT_EQ(std::tuple(FakeLayerEffect::commands, bg.effect), std::tuple(2, nullptr));
  EXPECT_EQ(scene_->SetBackgroundZoomNow(400, 300, "2.0", 0), 0);
  EXPECT_EQ(FakeLayerEffect::commands, 3);

  // Stop: a later command on the page ends what runs.
  showEffects_ = true;
  ASSERT_EQ(scene_->ZoomBackground(0, 400, 300, "2.0", std::nullopt, 0), 0);
  ASSERT_EQ(scene_->SetBackgroundOffset(1, 1, 0), 0);
  EXPECT_EQ(bg.effect, nullptr);
  EXPECT_EQ(timers_.FindById(kTaskKindLayerEffect), nullptr);

  // Unknown keywords: effects 1, command functions -2, screen slots their own code.
  effects_.UnloadAll();
  EXPECT_EQ(scene_->RotateBackgroundEffect(0, 10, "1.5", 400, 300, {}, 500), kEffectUnknownKeyword);
  showEffects_ = false;
  EXPECT_EQ(scene_->ZoomBackground(0, 400, 300, "2.0", std::nullopt, 500), kNoCommandFunction);
  const std::array<int32_t, 10> blur{};
  const std::array<TgsText, 10> texts{};
  EXPECT_EQ(scene_->BlurBackgroundPath(0, "(1,2)", blur, texts, true, false, false), 2)
      << "a path of one point cannot be read";
  EXPECT_EQ(scene_->BlurBackgroundPath(0, "(1,2)(3,4,2)", blur, texts, true, false, false),
            kNoCommandFunction);
  showEffects_ = true;
  EXPECT_EQ(scene_->ScreenNoise(1, 3, true, false), 2);
  EXPECT_EQ(scene_->ScreenSlot(1).Kind(), kSlotNoise) << "the rebuild record is written anyway";
  EXPECT_EQ(scene_->WaitScreenEffect(1, false), 0);
  EXPECT_EQ(scene_->ScreenSlot(1).Kind(), 0) << "waiting on an empty slot stops it";
  EXPECT_EQ(scene_->ScreenNoise(3, 3, true, false), kSlotBad);
}

// A cross of time 0 runs a second and swaps the pages; skipping or an unknown transition swaps
// them at once.
TEST_F(EffectCommandsTest, TransitionsSwapThePagesAtTheirEndOrAtOnce) {
  ASSERT_EQ(scene_->LoadBackground("BG1A", 0), 0);
  ASSERT_EQ(scene_->LoadBackground("BG2A", 1), 0);
  ASSERT_EQ(scene_->LoadSprite(0, "CH_A", 1, 0, false), 0);
  ASSERT_EQ(scene_->TransCross(0), 0);
  EXPECT_TRUE(scene_->TransitionPending());
  ASSERT_NE(shown_.GetSource(), nullptr);
  EXPECT_EQ(static_cast<FilterEffect*>(shown_.GetSource())->durationMs, 1000u);
  EXPECT_EQ(scene_->Background(0).name, "BG2A") << "the records are swapped at the start";
  EXPECT_EQ(scene_->WaitTransition(false), 0);
  EXPECT_EQ(turns_, 11) << "one turn starts the clock, ten run the second";
  EXPECT_FALSE(scene_->TransitionPending());
  EXPECT_EQ(BackgroundOf(shown_), scene_->Background(0).picture.get());
  const TgsSpriteRecord& sprite = *scene_->SpriteRecord(0, 0, 0);
  EXPECT_EQ(sprite.sprite->GetOwnerList(), &shown_.GetCompositionLayer()->GetList());

  skipping_ = true;
  EXPECT_EQ(scene_->TransCross(500), 0);
  EXPECT_EQ(std::tuple(shown_.HasSource(), scene_->Background(0).name), std::tuple(false, "BG1A"));
  EXPECT_EQ(scene_->TransFilter(9, 500, 0, 0, 0), 0) << "the skip test comes first";
  EXPECT_EQ(scene_->Background(0).name, "BG2A");
  skipping_ = false;
  EXPECT_EQ(scene_->TransFilter(9, 500, 0, 0, 0), kBadTransitionIndex);
  EXPECT_EQ(scene_->TransFilter(0, 500, 0, 0, 0), kTransitionUnknown);
  EXPECT_EQ(scene_->Background(0).name, "BG1A");
  EXPECT_EQ(BackgroundOf(shown_), scene_->Background(0).picture.get());
  const std::array<int32_t, 3> quake{1, 2, 3};
  EXPECT_EQ(scene_->ScreenQuake(quake, 0, {}, 0, 0, 0), kTransitionUnknown);
}

TEST_F(EffectCommandsTest, RulePictureIsReadOncePerNumber) {
  ASSERT_EQ(scene_->TransRule(1, 300, 0), 0);
  ASSERT_EQ(scene_->WaitTransition(false), 0);
  ASSERT_EQ(scene_->TransRule(1, 300, 0), 0);
  EXPECT_EQ(loads_["SYS\\RULE001.WGX"], 1);
  ASSERT_EQ(scene_->SetRuleFlipH(true), 0);
  ASSERT_EQ(scene_->TransRule(1, 300, 0), 0);
  EXPECT_EQ(loads_["SYS\\RULE001.WGX"], 2) << "a flip forgets the loaded rule";
  EXPECT_EQ(scene_->LoadedRule(), 1);
  ASSERT_EQ(scene_->LoadBackground("BG1A", 0), 0);
  ASSERT_EQ(scene_->LoadBackground("BG2A", 1), 0);
  skipping_ = true;
  loads_["SYS\\RULE002.WGX"] = 0;
  EXPECT_EQ(scene_->TransRule(2, 300, 0), 0) << "the rule is read before the skip test";
  EXPECT_EQ(loads_["SYS\\RULE002.WGX"], 1);
  EXPECT_EQ(scene_->Background(0).name, "BG2A");
  EXPECT_EQ(scene_->TransRule(999, 300, 0), kRuleNotLoaded);
  EXPECT_EQ(loads_["SYS\\RULE999.WGX"], 1);
}

TEST_F(EffectCommandsTest, CopyShownPageToBackLeavesTheHandlesEmpty) {
  ASSERT_EQ(scene_->LoadBackground("BG1A", 0), 0);
  ASSERT_EQ(scene_->CaptureBackground(true, 0, false), 0);
  ASSERT_EQ(scene_->LoadSprite(0, "CH_A", 0, 0, false), 0);
  ASSERT_EQ(scene_->ZoomBackground(0, 400, 300, "2.0", std::nullopt, 0), 0);
  TgsBackgroundRecord& shown = scene_->Background(0);
  ASSERT_NE(shown.effect, nullptr);
  ASSERT_EQ(scene_->CopyShownPageToBack(), 0);
  const TgsBackgroundRecord& back = scene_->Background(1);
  EXPECT_EQ(std::tuple(back.effect, back.quakeEffect), std::tuple(nullptr, nullptr));
  EXPECT_EQ(back.capture.GetPixels(), nullptr) << "the capture stays the shown page's own";
  EXPECT_EQ(std::tuple(back.captured, back.name), std::tuple(0, "BG1A"));
  EXPECT_NE(shown.effect, nullptr) << "the shown page's effect runs on";
  EXPECT_NE(scene_->SpriteRecord(1, 0, 0)->sprite, nullptr);
  ASSERT_EQ(scene_->StopLayerEffect(0), 0);
  EXPECT_EQ(shown.effect, nullptr);
  EXPECT_EQ(timers_.FindById(kTaskKindLayerEffect), nullptr);
}

TEST_F(EffectCommandsTest, ReplacedSpritesAndSlotRecords) {
  DisplayObjectList& list = shown_.GetCompositionLayer()->GetList();
  ASSERT_EQ(scene_->LoadSprite(0, "CH_A", 0, 0, false), 0);
  EXPECT_EQ(scene_->CrossFadeSprite(0, "CH_B", 0, 300, false, 0, 0), 5) << "no sp_cfade class";
  EXPECT_EQ(list.Count(), 1u) << "the old sprite went with the failed effect";
  EXPECT_EQ(scene_->SpriteRecord(0, 0, 0)->name, "CH_B");
  showEffects_ = false;
  EXPECT_EQ(scene_->CrossFadeSprite(0, "CH_C", -1, 300, false, 0, 0), 0);
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_EQ(scene_->CrossFadeSprite(0, "MISSING", -1, 300, false, 0, 0), 4);
  EXPECT_EQ(scene_->CrossFadeSprite(1, std::nullopt, -1, 300, false, 0, 0), 2);
  EXPECT_EQ(scene_->ChangeSprite(0, "CH_A", {}, 3, 300, false, 0, 0, 0), kSceneBadSlot);
  EXPECT_EQ(scene_->AnimateCharacterParts(1, 3, 1, 0, true), kPartsBadCharacter)
      << "an empty slot has no character";
  EXPECT_EQ(scene_->AnimateCharacterParts(7, 1, 0, 0, true), kSceneBadSlot);

  // A path animation in a slot is recorded for the rebuild even when it is not shown.
  showEffects_ = true;
  EXPECT_EQ(scene_->AnimateBackgroundPath(1, "PATH", 700, true, false, true, 2), 3);
  const TgsScreenSlot& slot = scene_->ScreenSlot(2);
  EXPECT_EQ(slot.words, (std::array<int32_t, 7>{kSlotPathAnime, 1, 700, 1, 0, 0, 0}));
  EXPECT_EQ(slot.name, "PATH");
  EXPECT_EQ(scene_->AnimateBackgroundPath(1, std::string(48, 'P'), 700, true, false, true, 0), 2);
  EXPECT_EQ(scene_->ScreenSlot(0).Kind(), 0);
  ASSERT_EQ(scene_->TransCross(300), 0);
  EXPECT_EQ(scene_->ScreenSlot(2).words[1], 0) << "the slot follows its page";
}

// The scene commands against the registry's real effect and transition classes: each must hand
// its class the words where the class reads them (texts as texts, doubles in two words, the
// right target), animated and in the immediate form.
using RealEffectsScene = RealEffectsWorld;

TEST_F(RealEffectsScene, LayerCommandsHandTheirClassesTextsAndRecordTheEnd) {
  TgsBackgroundRecord& bg = scene_->Background(0);
  auto view = [](int32_t x, int32_t y, double zoom) {
    Rect v;
    EXPECT_EQ(BgBlurEffect::ComputeView(x, y, zoom, kTgsScreenWidth, kTgsScreenHeight, &v), 0);
    return std::array{v.left, v.top, v.right, v.bottom};
  };
  // "bg_rot": the fifth word is the ease text.
  ASSERT_EQ(scene_->RotateBackgroundEffect(0, 64, "1.5", 400, 300, "2.0", 300), 0);
  EXPECT_EQ(scene_->WaitLayerEffect(0, false), 0);
  int32_t x = 0, y = 0;
  int angle = 0;
  double scale = 0;
  ASSERT_TRUE(shown_.GetCompositionLayer()->GetRotation(&x, &y, &angle, &scale));
  EXPECT_EQ(std::tuple(x, y, angle, scale), std::tuple(400, 300, 64, 1.5));

  // "bg_blur" with values: zooms, angles, ease and source are texts.
  const std::array<int32_t, 15> values{200, 150, 0, 0, 0, 0, 300, 255};
  const std::array<TgsText, 15> texts{{{}, {}, "1.0", "0.0", "2.0", "0.0", {}, {}, "1.5"}};
  BothForms([&] {
    bg.view = {-1, 0, 0, 0};
    ASSERT_EQ(scene_->BlurBackground(0, values, texts, true, true, false), 0);
    EXPECT_EQ(bg.view, view(200, 150, 2.0));
  });
  // Along a path: the ease (fourth value) is a text; the last point is the end.
  const std::array<int32_t, 10> pathValues{0, 300, 255};
  const std::array<TgsText, 10> pathTexts{{{}, {}, {}, "0.5"}};
  BothForms([&] {
    ASSERT_EQ(scene_->BlurBackgroundPath(0, "(100,100,1.0)(400,300,1.5)", pathValues, pathTexts,
                                         true, true, false),
              0);
    EXPECT_EQ(bg.view, view(400, 300, 1.5));
  });
}

TEST_F(RealEffectsScene, SpriteRecordsTakeTheEndTheirPathsReach) {
  ASSERT_EQ(scene_->LoadSprite(0, "CH_A", 0, 0, false), 0);
  TgsSpriteRecord& r = *scene_->SpriteRecord(0, 0, 0);
  auto recorded = [&] { return std::pair(r.x - r.anchorX, r.y - r.anchorY); };
  auto shown = [&] { return std::pair(r.sprite->GetX(), r.sprite->GetY()); };
  // "sp_change": the path is its third word, the style in its parameter block. Whichever picture
  // the style moves, the new one ends where the record says.
  const char* names[] = {"CH_C", "CH_D", "CH_E"};
  for (uint8_t style = 0; style <= 2; ++style) {
    SCOPED_TRACE(int(style));
    ASSERT_EQ(scene_->ChangeSprite(0, names[style], "p10,20 O77", style, 300, false, 0, 0, 0), 0);
    ASSERT_NE(r.effect, nullptr);
    const auto end = recorded();
    EXPECT_EQ(scene_->WaitSpriteEffect(0, false, 0, 0), 0);
    EXPECT_EQ(end, shown());
    EXPECT_EQ(std::pair(int(r.alpha), r.sprite->GetAlpha()), std::pair(77, 77));
  }
}

// The waited cross-fades: their lengths, the page exchange they leave, skipping and the
// transitions that never start.
class CrossFadeTest : public SceneWorld {
 protected:
  CrossFadeTest() {
    TgsCrossFadeLinks links;
    links.turn = [this] {
      if (beforeTurn_) beforeTurn_();
      // Each new transition's length, as the virtual clock runs it. A transition is new by the
      // page's count: the next one may well take the place the last one freed.
      const uint32_t started = scene_->Page(0).TransitionsStarted();
      if (auto* f = static_cast<FilterEffect*>(shown_.GetSource()); f && started != counted_)
        lengths_.push_back(f->durationMs), counted_ = started;
      return Turn();
    };
    links.skipIf = [this](int bits) { return skipHeld_ && bits == kFadeSkipAny; };
    links.skipping = [this] { return skipping_; };
    fades_ = std::make_unique<TgsCrossFade>(*scene_, std::move(links));
    EXPECT_EQ(scene_->LoadBackground("BG1A", 0), 0);
    EXPECT_EQ(scene_->LoadSprite(0, "CH_A", 0, 0, false), 0);
  }

  // The shown page composed whole, the list above included.
  std::unique_ptr<ImageSurface> Shown() {
    auto picture = std::make_unique<ImageSurface>();
    EXPECT_EQ(picture->Create(kTgsScreenWidth, kTgsScreenHeight, 32, kImagePlain), kSurfaceDone);
    EXPECT_EQ(shown_.GetCompositionLayer()->RenderTo(picture.get(), kRenderAll, 0, true),
              kComposeDone);
    return picture;
  }

  std::function<void()> beforeTurn_;
  std::unique_ptr<TgsCrossFade> fades_;
  std::vector<uint32_t> lengths_;
  uint32_t counted_ = 0;
  bool skipHeld_ = false;
};

TEST_F(CrossFadeTest, ThroughColourSplitsItsTimeAndEndsWhereItShould) {
  EXPECT_EQ(fades_->ChangeBackgroundThroughColor("BG2A", 0, 0xFFFFFF), 0);
  EXPECT_EQ(lengths_, (std::vector<uint32_t>{500, 300}));
  EXPECT_EQ(std::tuple(scene_->Background(0).name, scene_->Background(1).color),
            std::tuple("BG2A", 0xFFFFFFu));
  EXPECT_EQ(scene_->SpriteRecord(0, 0, 0)->sprite, nullptr);

  lengths_.clear();
  EXPECT_EQ(fades_->ChangeBackgroundThroughColor("MISSING", 1600, 0), kFadeNoBackground);
  EXPECT_EQ(lengths_, (std::vector<uint32_t>{1000, 600})) << "both halves still run";

  skipping_ = true;
  const int turns = turns_;
  EXPECT_EQ(fades_->ChangeBackgroundThroughColor("BG3A", 0, 0), 0);
  EXPECT_EQ(turns_, turns) << "skipping shows nothing";
  EXPECT_EQ(scene_->Background(0).name, "BG3A");
}

TEST_F(CrossFadeTest, HeldSkipKeyCutsTheFadeShortAndATransitionThatCannotStartSwapsNothing) {
  ASSERT_EQ(scene_->LoadBackground("BG2A", 1), 0);
  skipHeld_ = true;
  EXPECT_EQ(fades_->CrossFade(1000, 1, kFadeSkipAny), kFadeCutShort);
  EXPECT_EQ(std::tuple(turns_, shown_.HasSource(), scene_->Background(0).name),
            std::tuple(1, false, "BG2A"));
  EXPECT_EQ(BackgroundOf(shown_), scene_->Background(0).picture.get()) << "layer and records agree";
  EXPECT_EQ(fades_->CrossFade(300, 2, 0), kFadeFinished) << "skip mode 0 ignores the keys";
  EXPECT_EQ(scene_->Background(0).name, "BG1A");
  EXPECT_EQ(scene_->SpriteRecord(0, 0, 0)->sprite, nullptr) << "mode 2 leaves the sprites";

  EXPECT_EQ(fades_->RunTransition(nullptr, scene_->Page(0), 1, 0), kFadeNoTransition);
  // Exchanging backgrounds needs one on each page.
  ASSERT_EQ(scene_->ClearBackgroundToColor(0x102030, 1), 0);
  EXPECT_EQ(fades_->CrossFade(300, 2, 0), kFadeNotStarted);
  EXPECT_FALSE(shown_.HasSource());
  EXPECT_EQ(scene_->Background(0).name, "BG1A") << "the pages stay as they were";
}

TEST_F(CrossFadeTest, FadeFromBlackBringsTheSceneInAndLeavesBothPagesAsTheyWere) {
  ASSERT_EQ(scene_->LoadBackground("BG2A", 1), 0);
  const std::unique_ptr<ImageSurface> unfaded = Shown();
  ImageSurface *const front = BackgroundOf(shown_), *const back = BackgroundOf(back_);
  auto section = host::DibSection::Create(kTgsScreenWidth, kTgsScreenHeight, 32);
  host::MemoryDc dc;
  dc.Select(section.get());
  // Each presented frame of the fade: the sum of its colour channels and how many of its pixels
  // differ from the scene as it stands.
  std::vector<uint64_t> light;
  std::vector<int> differing;
  beforeTurn_ = [&] {
    if (!shown_.HasSource() || shown_.PresentFrame({}, &dc, nullptr, 0, true) != kPresentDone)
      return;
    uint64_t sum = 0;
    int count = 0;
    for (int y = 0; y < kTgsScreenHeight; ++y) {
      for (int x = 0; x < kTgsScreenWidth; ++x) {
        uint32_t v;
        std::memcpy(&v, section->Pixels() + y * section->Pitch() + 4 * x, 4);
        sum += (v & 0xFF) + (v >> 8 & 0xFF) + (v >> 16 & 0xFF);
        count += ((v ^ PixelAt(*unfaded, x, y)) & 0xFFFFFF) != 0;
      }
    }
    light.push_back(sum);
    differing.push_back(count);
  };
  EXPECT_EQ(fades_->FadeInFromBlack(500), kFadeFinished);
  EXPECT_EQ(lengths_, (std::vector<uint32_t>{500}));
  ASSERT_GE(light.size(), 3u);
  EXPECT_EQ(light.front(), 0u) << "the fade starts from black, the pictures too";
  EXPECT_TRUE(std::is_sorted(light.begin(), light.end()) && light[1] > 0);
  for (int count : differing) EXPECT_GT(count, 0) << "a frame of the fade shows the end already";

  EXPECT_EQ(BackgroundOf(shown_), front);
  EXPECT_EQ(BackgroundOf(back_), back);
  EXPECT_EQ(scene_->Background(1).name, "BG2A");
  const std::unique_ptr<ImageSurface> after = Shown();
  for (int y = 0; y < kTgsScreenHeight; ++y) {
    ASSERT_EQ(std::memcmp(after->GetRowPointer(y), unfaded->GetRowPointer(y), 4 * kTgsScreenWidth),
              0)
        << "row " << y;
  }
}

}  // namespace
}  // namespace bw::test
