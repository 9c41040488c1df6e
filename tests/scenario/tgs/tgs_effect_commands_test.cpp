// Label: optimised
// The scene's effects and transitions: recorded and immediate forms, waits, skipping, the page
// swap with its screen-slot rules, the copy of the shown page and the rule pictures.
#include "scenario/tgs/tgs_effect_commands.h"

#include <gtest/gtest.h>

#include "effects/bg_blur_effect.h"
#include "effects/filter_effect.h"
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
  EXPECT_EQ(FakeLayerEffect::commands, 2);
  EXPECT_EQ(bg.effect, nullptr);
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

TEST_F(EffectCommandsTest, CrossWithTimeZeroRunsASecondAndSwapsThePages) {
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
  ImageSurface* shownPicture = nullptr;
  shown_.GetCompositionLayer()->GetBackground(&shownPicture, nullptr, nullptr, nullptr, nullptr,
                                              nullptr);
  EXPECT_EQ(shownPicture, scene_->Background(0).picture.get());
  const TgsSpriteRecord& sprite = *scene_->SpriteRecord(0, 0, 0);
  EXPECT_EQ(sprite.sprite->GetOwnerList(), &shown_.GetCompositionLayer()->GetList());
}

TEST_F(EffectCommandsTest, SkippingOrAnUnknownTransitionSwapsAtOnce) {
  ASSERT_EQ(scene_->LoadBackground("BG1A", 0), 0);
  ASSERT_EQ(scene_->LoadBackground("BG2A", 1), 0);
  skipping_ = true;
  EXPECT_EQ(scene_->TransCross(500), 0);
  EXPECT_FALSE(shown_.HasSource());
  EXPECT_EQ(scene_->Background(0).name, "BG2A");
  EXPECT_EQ(scene_->TransFilter(9, 500, 0, 0, 0), 0) << "the skip test comes first";
  EXPECT_EQ(scene_->Background(0).name, "BG1A");
  skipping_ = false;
  EXPECT_EQ(scene_->TransFilter(9, 500, 0, 0, 0), kBadTransitionIndex);
  EXPECT_EQ(scene_->TransFilter(0, 500, 0, 0, 0), kTransitionUnknown);
  EXPECT_EQ(scene_->Background(0).name, "BG2A");
  ImageSurface* shownPicture = nullptr;
  shown_.GetCompositionLayer()->GetBackground(&shownPicture, nullptr, nullptr, nullptr, nullptr,
                                              nullptr);
  EXPECT_EQ(shownPicture, scene_->Background(0).picture.get());
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
  EXPECT_EQ(back.effect, nullptr);
  EXPECT_EQ(back.quakeEffect, nullptr);
  EXPECT_EQ(back.capture.GetPixels(), nullptr) << "the capture stays the shown page's own";
  EXPECT_EQ(back.captured, 0);
  EXPECT_EQ(back.name, "BG1A");
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

  // The quake's and the scroll's texts, read by the overlay and the transition.
  const std::array<int32_t, 3> shake{4, 6, 6};
  ASSERT_EQ(scene_->Quake(shake, 300, "0.5", std::array<uint8_t, 3>{0, 1, 1}, 0, 0), 0);
  EXPECT_EQ(scene_->WaitQuake(0, false), 0);
  ASSERT_EQ(scene_->TransScroll(400, 1, 0, "1.5"), 0);
  EXPECT_EQ(scene_->WaitTransition(false), 0);
  EXPECT_EQ(scene_->Background(0).name, "BG2A");
}

TEST_F(RealEffectsScene, SpriteRecordsTakeTheEndTheirPathsReach) {
  ASSERT_EQ(scene_->LoadSprite(0, "CH_A", 0, 0, false), 0);
  TgsSpriteRecord& r = *scene_->SpriteRecord(0, 0, 0);
  auto recorded = [&] { return std::pair(r.x - r.anchorX, r.y - r.anchorY); };
  auto shown = [&] { return std::pair(r.sprite->GetX(), r.sprite->GetY()); };
  // "sp_panime": the end, opacity and "F" (the front of the group).
  BothForms([&] {
    ASSERT_EQ(scene_->SpriteToBack(0, 0, 0, true), 0);
    ASSERT_EQ(scene_->PlaceSprite(0, 0, false, 0, 0), 0);
    ASSERT_EQ(scene_->AnimateSpritePath(0, "P60,70 O99 F", 300, 0, 0, false), 0);
    EXPECT_EQ(r.priority, SpriteGroup(0).Top());
    const auto end = recorded();
    EXPECT_EQ(scene_->WaitSpriteEffect(0, false, 0, 0), 0);
    EXPECT_EQ(end, shown());
    EXPECT_EQ(std::pair(int(r.alpha), r.sprite->GetAlpha()), std::pair(99, 99));
  });
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

}  // namespace
}  // namespace bw::test
