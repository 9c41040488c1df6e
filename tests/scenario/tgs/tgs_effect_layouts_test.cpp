// Label: optimised
// The scene commands against the registry's real effect and transition classes: each must hand
// its class the words where the class reads them (texts as texts, doubles in two words, the
// right target), animated and in the immediate form.
#include <gtest/gtest.h>

#include "effects/bg_blur_effect.h"
#include "scenario/tgs/tgs_scene_world.h"

namespace bw::test {
namespace {

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
