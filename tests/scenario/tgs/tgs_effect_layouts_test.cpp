// The scene commands against the registry's real effect and transition classes: each command
// must hand its class the words where the class reads them (texts as texts, doubles in two
// words, the right target), in the animated and the immediate form.
#include <gtest/gtest.h>

#include <functional>

#include "effects/bg_blur_effect.h"
#include "effects/filter_effect.h"
#include "platform/subtractive_random.h"
#include "platform/trig_tables.h"
#include "scenario/tgs/tgs_scene_world.h"

namespace bw::test {
namespace {

class RealEffectsScene : public SceneWorld {
 protected:
  RealEffectsScene() {
    effects_.UnloadAll();
    transitions_.UnloadAll();
    RegisterScriptHostKeywords(transitions_, effects_, &random_);
    RegisterApplicationKeywords(transitions_, effects_);
  }
  // Each form of a command: effects shown, then off (the immediate form).
  void BothForms(const std::function<void()>& run) {
    for (bool shown : {true, false}) {
      SCOPED_TRACE(shown ? "animated" : "immediate");
      showEffects_ = shown;
      run();
    }
    showEffects_ = true;
  }
  std::array<int32_t, 4> ViewOf(int32_t x, int32_t y, double zoom) {
    Rect v;
    EXPECT_EQ(BgBlurEffect::ComputeView(x, y, zoom, kTgsScreenWidth, kTgsScreenHeight, &v), 0);
    return {v.left, v.top, v.right, v.bottom};
  }

  TrigTables trig_;
  ScopedGlobal<TrigTables> publishedTrig_{&trig_};
  SubtractiveRandom random_;
};

TEST_F(RealEffectsScene, LayerCommandsHandTheirClassesTextsAndEndStates) {
  ASSERT_EQ(scene_->LoadBackground("BG1A", 0), 0);
  TgsBackgroundRecord& bg = scene_->Background(0);
  CompositionLayer& layer = *shown_.GetCompositionLayer();

  // "bg_rot": the fifth word is the ease text.
  ASSERT_EQ(scene_->RotateBackgroundEffect(0, 64, "1.5", 400, 300, "2.0", 300), 0);
  EXPECT_EQ(scene_->WaitLayerEffect(0, false), 0);
  int32_t x = 0, y = 0;
  int angle = 0;
  double scale = 0;
  ASSERT_TRUE(layer.GetRotation(&x, &y, &angle, &scale));
  EXPECT_EQ(std::tuple(x, y, angle, scale), std::tuple(400, 300, 64, 1.5));

  // "bg_blur" with values: start and end zoom and angle, ease and source are texts; the record
  // gets the end view either way.
  std::array<int32_t, 15> values{};
  values[0] = 200, values[1] = 150, values[6] = 300, values[7] = 255;
  std::array<TgsText, 15> texts{};
  texts[2] = "1.0", texts[3] = "0.0", texts[4] = "2.0", texts[5] = "0.0", texts[8] = "1.5";
  BothForms([&] {
    bg.view = {-1, 0, 0, 0};
    ASSERT_EQ(scene_->BlurBackground(0, values, texts, true, true, false), 0);
    EXPECT_EQ(bg.view, ViewOf(200, 150, 2.0));
  });
  // A turned end keeps offset, angle and zoom instead.
  texts[5] = "32";
  ASSERT_EQ(scene_->BlurBackground(0, values, texts, true, true, false), 0);
  EXPECT_EQ(std::tuple(bg.view[0], bg.offsetX, bg.offsetY, bg.angle, bg.zoom),
            std::tuple(-1, 200, 150, 32, 2.0f));

  // "bg_blur" along a path: ease (fourth value) and source (fifth) are texts.
  std::array<int32_t, 10> pathValues{};
  pathValues[1] = 300, pathValues[2] = 255;
  std::array<TgsText, 10> pathTexts{};
  pathTexts[3] = "0.5";
  BothForms([&] {
    bg.view = {-1, 0, 0, 0};
    ASSERT_EQ(scene_->BlurBackgroundPath(0, "(100,100,1.0)(400,300,1.5)", pathValues, pathTexts,
                                         true, true, false),
              0);
    EXPECT_EQ(bg.view, ViewOf(400, 300, 1.5));
  });

  // "bg_panime": its command reads the layer, the path and two out-pointers (a path refuses a
  // turned layer).
  layer.DropWorkSurface();
  BothForms([&] {
    bg.offsetX = bg.offsetY = 0;
    ASSERT_EQ(scene_->AnimateBackgroundPath(0, "P30,40", 300, false, false, false, -1), 0);
    EXPECT_EQ(std::pair(bg.offsetX, bg.offsetY), std::pair(30, 40));
    EXPECT_EQ(scene_->WaitLayerEffect(0, false), 0);
  });
}

TEST_F(RealEffectsScene, SpriteCommandsReadBackTheirPathsEnds) {
  ASSERT_EQ(scene_->LoadBackground("BG1A", 0), 0);
  ASSERT_EQ(scene_->LoadSprite(0, "CH_A", 0, 0, false), 0);
  ASSERT_EQ(scene_->LoadSprite(1, "CH_B", 0, 0, false), 0);
  TgsSpriteRecord& r = *scene_->SpriteRecord(0, 0, 0);
  const TgsSpriteGroup group = SpriteGroup(0);

  // "sp_panime": the record takes the end the sprite reaches, and "F" (the group's front).
  BothForms([&] {
    ASSERT_EQ(scene_->SpriteToBack(0, 0, 0, true), 0);
    ASSERT_EQ(scene_->PlaceSprite(0, 0, false, 0, 0), 0);
    ASSERT_EQ(r.priority, group.base);
    ASSERT_EQ(scene_->AnimateSpritePath(0, "P60,70 O99 F", 300, 0, 0, false), 0);
    EXPECT_EQ(r.priority, group.Top());
    const std::tuple recorded(r.x - r.anchorX, r.y - r.anchorY, int(r.alpha));
    EXPECT_EQ(scene_->WaitSpriteEffect(0, false, 0, 0), 0);
    EXPECT_EQ(recorded, std::tuple(r.sprite->GetX(), r.sprite->GetY(), r.sprite->GetAlpha()));
    EXPECT_EQ(int(r.alpha), 99);
  });

  // "sp_change": the path is its third word and the style comes in its parameter block.
  ASSERT_EQ(scene_->ChangeSprite(0, "CH_C", "P10,20", 0, 300, false, 0, 0, 0), 0);
  ASSERT_NE(r.effect, nullptr);
  const std::pair recorded(r.x - r.anchorX, r.y - r.anchorY);
  EXPECT_EQ(scene_->WaitSpriteEffect(0, false, 0, 0), 0);
  EXPECT_EQ(r.name, "CH_C");
  EXPECT_EQ(recorded, std::pair(r.sprite->GetX(), r.sprite->GetY()));
}

TEST_F(RealEffectsScene, ScreenEffectsAndTransitionsReadTheirTexts) {
  ASSERT_EQ(scene_->LoadBackground("BG1A", 0), 0);
  ASSERT_EQ(scene_->LoadBackground("BG2A", 1), 0);
  const std::array<int32_t, 3> shake{4, 6, 6};
  const std::array<uint8_t, 3> bytes{0, 1, 1};
  // The quake's fifth word is its end strength as text.
  ASSERT_EQ(scene_->Quake(shake, 300, "0.5", bytes, 0, 0), 0);
  EXPECT_NE(scene_->Background(0).quakeEffect, nullptr);
  EXPECT_EQ(scene_->WaitQuake(0, false), 0);
  ASSERT_EQ(scene_->ScreenQuake(shake, 300, "0.5", 0, 1, 0), 0);
  EXPECT_EQ(scene_->WaitTransition(false), 0);

  struct Transition {
    const char* keyword;
    std::function<int32_t()> run;
    uint32_t ms;
  };
  const std::array<int32_t, 7> ripple{400, 0, 400, 300, 8, 0, 16};
  const Transition transitions[] = {
      {"scroll", [&] { return scene_->TransScroll(400, 1, 0, "1.5"); }, 400},
      {"ripple", [&] { return scene_->TransRipple(ripple, "1.0", "2.0"); }, 400},
      {"zoomflip", [&] { return scene_->TransFilter(0, 300, 1, 0, 0); }, 300},
      {"cross", [&] { return scene_->TransCross(0); }, 1000},
  };
  for (const Transition& t : transitions) {
    SCOPED_TRACE(t.keyword);
    const std::string shown = scene_->Background(0).name;
    ASSERT_EQ(t.run(), 0);
    auto* filter = static_cast<FilterEffect*>(shown_.GetSource());
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->durationMs, t.ms);
    EXPECT_EQ(scene_->WaitTransition(false), 0);
    EXPECT_NE(scene_->Background(0).name, shown) << "the pages were exchanged";
  }
}

}  // namespace
}  // namespace bw::test
