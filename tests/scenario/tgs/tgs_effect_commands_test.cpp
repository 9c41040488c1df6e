// Label: optimised
// The scene's effects and transitions: recorded and immediate forms, waits, skipping, the page
// swap with its screen-slot rules, the copy of the shown page, the rule pictures, the parts
// animations of standing pictures and the message window's animation and fade.
#include "scenario/tgs/tgs_effect_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "common/global.h"
#include "effects/bg_blur_effect.h"
#include "effects/filter_effect.h"
#include "effects/motion_path.h"
#include "host/clock.h"
#include "host/gdi/memory_dc.h"
#include "platform/timer_service.h"
#include "scenario/tgs/tgs_crossfade.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_scene_world.h"
#include "scenario/tgs/tgs_test_world.h"
#include "scenario/tgs/tgs_window_fade.h"
#include "script/script_file_source.h"

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

// Parts animations on standing pictures: the file each picture's name and character choose, the
// effect made over the picture, and what persists for a loaded game.
class CharacterParts : public SceneWorld {
 protected:
  CharacterParts() { PartsEffectSpy::Register(effects_); }
};

// The stem's last letter picks the file's size band (S 20, X 80, others 40) plus the character;
// the effect lies over the picture at its place and takes the value as its hidden-blocks flag.
TEST_F(CharacterParts, EachNameAnimatesItsOwnFileOverThePicture) {
  const struct {
    const char* name;
    int32_t value;
    const char* file;
  } cases[] = {{"CH\\ANNS", 5, "SYS\\CA021.TXT"},
               {"CH\\ANNX.BMP", 0, "SYS\\CA081.TXT"},
               {"CH\\ANNM", 1, "SYS\\CA041.TXT"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(scene_->LoadSprite(0, c.name, 0, 0, false), 0);
    TgsSpriteRecord* r = scene_->SpriteRecord(0, 0, 0);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->charIndex, 1);
    const int before = PartsEffectSpy::made;
    EXPECT_EQ(scene_->AnimateCharacterParts(0, c.value, 0, 0, true), 0);
    EXPECT_EQ(PartsEffectSpy::made, before + 1);
    EXPECT_NE(r->effect, nullptr);
    EXPECT_EQ(PartsEffectSpy::file, c.file);
    EXPECT_EQ(std::pair(PartsEffectSpy::x, PartsEffectSpy::y),
              std::pair(r->sprite->GetX(), r->sprite->GetY()));
    EXPECT_LT(PartsEffectSpy::priority, int32_t(r->priority)) << "under the slot drawn over it";
    EXPECT_EQ(PartsEffectSpy::hidden, c.value != 0);
    EXPECT_EQ(std::pair(r->persistKind, r->persistArg), std::pair(2u, uint32_t(c.value)));
  }
}

// Without persist nothing is kept for a loaded game; with effects off nothing is made, but what
// persists is still kept.
TEST_F(CharacterParts, PersistKeepsTheValueAndEffectsOffMakeNothing) {
  ASSERT_EQ(scene_->LoadSprite(0, "CH\\BEN", 0, 0, false), 0);
  TgsSpriteRecord* r = scene_->SpriteRecord(0, 0, 0);
  EXPECT_EQ(scene_->AnimateCharacterParts(0, 3, 0, 0, false), 0);
  EXPECT_EQ(std::tuple(r->persistKind, PartsEffectSpy::made), std::tuple(0u, 1));
  showEffects_ = false;
  EXPECT_EQ(scene_->AnimateCharacterParts(0, 4, 0, 0, true), 0);
  EXPECT_EQ(PartsEffectSpy::made, 1);
  EXPECT_EQ(r->effect, nullptr) << "the running one was released";
  EXPECT_EQ(std::pair(r->persistKind, r->persistArg), std::pair(2u, 4u));
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

// The message window's face animation on the real path effect: its end kept as the window's
// transform, animated and at once, the built-ins' window rules, and the talk that commits, moves
// and waits.
class WindowAnimationTest : public RealEffectsWorld {
 protected:
  WindowAnimationTest() {
    (void)picture_.Create(300, 100, 32, kImagePlain);
    (void)picture_.Fill(0xFF336699, nullptr);
    (void)window_.SetImage(&picture_, nullptr, 250, 475);
    (void)shown_.GetCompositionLayer()->GetList().Add(&window_, 10000, 0);
  }
  ~WindowAnimationTest() override { shown_.GetCompositionLayer()->GetList().Remove(&window_); }

  ImageSurface picture_;
  Sprite window_;
};

TEST_F(WindowAnimationTest, RecordsTheEndThePathReachesBothForms) {
  const char* path = "P60,70 O99 Z1.5 R0.25";
  BothForms([&] {
    window_.SetPos(250, 475);
    window_.SetAlpha(255);
    TgsWindowTransform t;
    ASSERT_EQ(scene_->AnimateWindow(&window_, path, 300, false, t), 0);
    EXPECT_TRUE(t.Recorded());
    EXPECT_EQ(scene_->WaitWindowAnimation(false), 0);
    EXPECT_EQ(std::pair(t.x, t.y), std::pair(window_.GetX(), window_.GetY()));
    EXPECT_EQ(std::pair(int(t.alpha), window_.GetAlpha()), std::pair(99, 99));
    EXPECT_EQ(t.scale, 1.5f);
    EXPECT_EQ(t.angle, 128) << "a quarter turn in 512ths";

    // Saved and put back on a window that stands elsewhere: the same place and look.
    const auto bytes = t.ToBytes();
    float scale = 0;
    std::memcpy(&scale, bytes.data() + 32, sizeof scale);
    EXPECT_EQ(scale, 1.5f) << "save data reads the scale from word 8";
    Sprite other;
    (void)other.SetImage(&picture_, nullptr, 0, 0);
    TgsWindowTransform::FromBytes(bytes).ApplyTo(other);
    EXPECT_EQ(std::tuple(other.GetX(), other.GetY(), other.GetAlpha(), other.GetAngle()),
              std::tuple(window_.GetX(), window_.GetY(), window_.GetAlpha(), 128));
  });
}

TEST_F(WindowAnimationTest, SkippingEndsAtOnceAndFailuresLeaveTheRecord) {
  TgsWindowTransform t;
  skipping_ = true;
  ASSERT_EQ(scene_->AnimateWindow(&window_, "P10,20", 300, false, t), 0);
  EXPECT_EQ(timers_.FindById(kTaskKindSpriteEffect), nullptr) << "skipping: the end at once";
  EXPECT_EQ(std::pair(t.x, t.y), std::pair(window_.GetX(), window_.GetY()));
  skipping_ = false;

  // A long one is cut by a skippable wait, which leaves no task.
  ASSERT_EQ(scene_->AnimateWindow(&window_, "P30,40", 100000, false, t), 0);
  skipping_ = true;
  EXPECT_EQ(scene_->WaitWindowAnimation(true), 1);
  skipping_ = false;
  EXPECT_EQ(timers_.FindById(kTaskKindSpriteEffect), nullptr);

  const TgsWindowTransform before = t;
  EXPECT_EQ(scene_->AnimateWindow(nullptr, "P1,1", 300, false, t), kWindowNotReady);
  EXPECT_EQ(scene_->AnimateWindow(&window_, std::nullopt, 300, false, t), kSceneNoPicture);
  EXPECT_EQ(scene_->AnimateWindow(&window_, "P1,1 ?", 300, true, t), 3 + kPathBadCharacter)
      << "an immediate failure n answers n + 3";
  EXPECT_EQ(std::pair(t.x, t.priority), std::pair(before.x, before.priority));
}

// The frame's built-ins: window rules, the talk that commits, moves and waits, and the next
// page that puts the window back.
TEST_F(WindowAnimationTest, TalkCommitsMovesWaitsAndTheNextPageEndsIt) {
  struct Host : FakeFrameHost {
    std::function<bool()> worldTurn;
    Sprite* window = nullptr;
    Sprite* WindowSprite() override { return window; }
    int FrameTurn() override { return worldTurn(), FakeFrameHost::FrameTurn(); }
  } host;
  host.sceneHost = this;
  host.worldTurn = [this] { return Turn(); };
  MemoryScriptFileSource files;
  TgsFrame frame(nullptr, &files, &host);
  TgsOperations& operations = frame;

  EXPECT_EQ(operations.TalkAnime(1, "P1,1"), kBadWindow);
  EXPECT_EQ(operations.WaitTalkAnime(2, false), kBadWindow);
  EXPECT_EQ(operations.TalkAnime(-1, "P1,1"), kWindowNotReady) << "no window made yet";
  host.window = &window_;

  // Without show: the text stays collected, the window moves.
  frame.Text() = "hello";
  ASSERT_EQ(operations.MessageTalk(0, 300, "P100,200", false), 0);
  EXPECT_TRUE(host.shown.empty());
  EXPECT_EQ(operations.WaitTalkAnime(-1, false), 0);
  EXPECT_EQ(std::pair(window_.GetX(), window_.GetY()), std::pair(100, 200));

  // With show: committed, then moved, then waited for a click. The first click comes while the
  // window moves: it puts the window at its end and the wait goes on to the second.
  host.clickTurns = {host.turns + 2, host.turns + 3};
  ASSERT_EQ(operations.MessageTalk(0, 300, "P120,220", true), 0);
  EXPECT_EQ(host.turns, *host.clickTurns.rbegin());
  EXPECT_EQ(host.shown, std::vector<std::string>{"|hello"});
  EXPECT_TRUE(frame.Text().empty());
  EXPECT_EQ(timers_.FindById(kTaskKindSpriteEffect), nullptr);
  EXPECT_EQ(std::pair(window_.GetX(), window_.GetY()), std::pair(120, 220))
      << "an ended animation leaves the window at its end";
  ASSERT_EQ(operations.ReleaseTalkAnime(0), 0);

  // The recorded transform comes back on a window put elsewhere.
  window_.SetPos(0, 0);
  frame.ApplyWindowTransform();
  EXPECT_EQ(std::pair(window_.GetX(), window_.GetY()), std::pair(120, 220));

  // The next page ends the animation and forgets the transform.
  frame.Text() = "next";
  ASSERT_EQ(operations.MessageTalk(0, 100000, "P10,10", false), 0);
  ASSERT_NE(timers_.FindById(kTaskKindSpriteEffect), nullptr);
  EXPECT_EQ(frame.CommitMessageText(), 0);
  EXPECT_EQ(timers_.FindById(kTaskKindSpriteEffect), nullptr);
  window_.SetPos(5, 5);
  frame.ApplyWindowTransform();
  EXPECT_EQ(std::pair(window_.GetX(), window_.GetY()), std::pair(5, 5));
}

// The message windows' fade as a task on the effects' timer service: its alphas and end states,
// the built-in that waits for it, and the closing, the click and the end that cut it short.
// A frame host whose turns step the effects' timer service on the host's clock, and which keeps
// what the windows were told.
struct FadeHost : FakeFrameHost {
  host::VirtualClock clockSource{1000};
  ScopedGlobal<host::ClockSource> publishedClock{&clockSource};
  TimerService timers;
  ScopedGlobal<TimerService> publishedTimers{&timers};
  std::vector<int> alphas;
  bool windowVisible = false;

  int FrameTurn() override {
    const int r = FakeFrameHost::FrameTurn();
    clockSource.SetMilliseconds(clock);
    timers.RunDue(clock);
    return r;
  }
  void SetWindowAlpha(uint8_t alpha, bool) override { alphas.push_back(alpha); }
  void SetWindowVisible(bool visible) override { windowVisible = visible; }
};

using WindowFadeTest = FrameTest<FadeHost>;

TEST(WindowFadeAlpha, RisesFallsAndNeverWraps) {
  EXPECT_EQ(TgsWindowFade::AlphaAt(true, 0, 300), 0);
  EXPECT_EQ(TgsWindowFade::AlphaAt(true, 150, 300), 127);
  EXPECT_EQ(TgsWindowFade::AlphaAt(false, 150, 300), 128);
  EXPECT_EQ(TgsWindowFade::AlphaAt(true, 900, 300), 255) << "elapsed is capped at the time";
  EXPECT_EQ(TgsWindowFade::AlphaAt(true, 0xF0000000u, 0xFFFFFFFFu), 239)
      << "elapsed x 255 past 32 bits";
  EXPECT_EQ(TgsWindowFade::AlphaAt(false, 5, 0), 0) << "a time of 0 is 1 ms";
}

// A fade runs frame by frame to full alpha and back; skipping or no timer service shows the end
// at once.
TEST_F(WindowFadeTest, FadesRunFrameByFrameUnlessSkippedOrWithoutTimers) {
  EXPECT_EQ(frame.FadeMessageWindows(true, 50, false), 0);
  EXPECT_TRUE(host.windowVisible);
  EXPECT_TRUE(frame.WindowShown());
  ASSERT_GE(host.alphas.size(), 3u);
  EXPECT_EQ(host.alphas.front(), 0) << "the first frame drawn is transparent";
  for (size_t i = 1; i < host.alphas.size(); ++i) EXPECT_GE(host.alphas[i], host.alphas[i - 1]);
  EXPECT_EQ(host.alphas.back(), 255);
  EXPECT_EQ(host.timers.Count(), 0u) << "the task is gone once it ended";
  EXPECT_EQ(host.turns, 6) << "10 ms turns: the start, then 50 ms";

  // The fade out hides the windows and puts the alpha back.
  host.alphas.clear();
  EXPECT_EQ(frame.FadeMessageWindows(false, 40, true), 0);
  EXPECT_FALSE(host.windowVisible);
  EXPECT_FALSE(frame.WindowShown());
  ASSERT_FALSE(host.buttonsShown.empty());
  EXPECT_FALSE(host.buttonsShown.back());
  EXPECT_EQ(host.alphas.front(), 255);
  EXPECT_EQ(host.alphas.back(), 255) << "hidden, then opaque again for the next show";
  EXPECT_LT(*std::min_element(host.alphas.begin(), host.alphas.end()), 255);

  // The state the dispatch leaves is what this checks.
  (void)frame.DispatchInput(5);  // system skip on
  host.alphas.clear();
  const int turns = host.turns;
  EXPECT_EQ(frame.FadeMessageWindows(true, 300, true), 0);
  EXPECT_EQ(host.turns, turns);
  EXPECT_TRUE(host.windowVisible);
  EXPECT_TRUE(host.alphas.empty());
  // The state the dispatch leaves is what this checks.
  (void)frame.DispatchInput(5);

  ScopedGlobal<TimerService> none{nullptr};
  EXPECT_EQ(frame.FadeMessageWindows(false, 300, false), 0);
  EXPECT_EQ(host.turns, turns);
  EXPECT_FALSE(host.windowVisible);
}

// A quit leaves the fade running; closing the window, a click of the next wait or the end of
// the scene ends it at its end state.
TEST_F(WindowFadeTest, QuitLeavesItRunningForCloseAndClickToEnd) {
  host.quitAtTurn = host.turns + 2;
  EXPECT_EQ(frame.FadeMessageWindows(false, 100000, false), -1);
  ASSERT_EQ(host.timers.Count(), 1u);
  EXPECT_EQ(frame.CloseMessageWindow(0), 0);
  EXPECT_EQ(host.timers.FindByHandle(1), nullptr);
  EXPECT_FALSE(host.windowVisible);
  EXPECT_EQ(host.alphas.back(), 255);

  // Wait mode 2: the first click ends the fade and the wait goes on; the second ends the wait.
  host.quitAtTurn = host.turns + 1;
  EXPECT_EQ(frame.FadeMessageWindows(true, 100000, false), -1);
  host.clickTurns = {host.turns + 2, host.turns + 4};
  ASSERT_EQ(Message("text"), 0);
  EXPECT_EQ(host.alphas.back(), 255);
  EXPECT_EQ(host.timers.FindById(kTaskKindNone), nullptr);
  EXPECT_EQ(host.turns, *host.clickTurns.rbegin()) << "the first click only ended the fade";

  // Without the click-skips setting a click ends the wait and leaves the fade alone.
  host.settings.clickSkips = false;
  host.quitAtTurn = host.turns + 1;
  EXPECT_EQ(frame.FadeMessageWindows(true, 100000, false), -1);
  host.clickTurns = {host.turns + 2};
  ASSERT_EQ(Message("more", 1), 0);
  EXPECT_NE(host.timers.FindById(kTaskKindNone), nullptr);
  EXPECT_EQ(host.turns, *host.clickTurns.begin());
}

TEST_F(WindowFadeTest, DestroyingTheFrameEndsTheFade) {
  {
    TgsFrame other(nullptr, &files, &host);
    host.quitAtTurn = host.turns + 1;
    EXPECT_EQ(other.FadeMessageWindows(false, 100000, true), -1);
    host.windowVisible = true;
  }
  EXPECT_EQ(host.timers.FindById(kTaskKindNone), nullptr);
  EXPECT_FALSE(host.windowVisible) << "the fade-out's end state, not a task left on the host";
}

}  // namespace
}  // namespace bw::test
