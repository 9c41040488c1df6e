// "sp_panime" on real sprites: the path at fixed clock steps, the eases, duration 0, loops of
// very short segments, the command and the query.
#include "effects/sp_panime_effect.h"

#include "effects/sp_effect_rig.h"
#include "support/listed_task.h"

namespace bw {
namespace {

class SpPanime : public SpriteEffectRig {
 protected:
  SpPanimeEffect* Make(Sprite* sprite, const char* path, int32_t ms, int32_t loop = 0) {
    auto effect = std::make_unique<SpPanimeEffect>();
    const int rc = effect->Start(&timers, nullptr, {Word(sprite), Word(path), ms, loop, 0});
    EXPECT_EQ(rc, kSpPanimeSetUp) << path;
    return rc == kSpPanimeSetUp ? test::HandOver(timers, std::move(effect)) : nullptr;
  }
};

TEST_F(SpPanime, MovesAndFadesAlongThePathThenEnds) {
  Sprite* sprite = AddSprite(40, 40, 0xFF00FF00, 100, 50);
  SpPanimeEffect* effect = Make(sprite, "P200,50O0 300 P200,350", 1000);
  int32_t opacity = 0;
  (void)effect->Query({0, 0, Word(&opacity)});
  EXPECT_EQ(opacity, -1) << "no record reached yet";
  At(0);
  At(500);
  EXPECT_EQ(std::tuple(sprite->GetX(), sprite->GetAlpha()), std::tuple(150, 128));
  At(1150);
  EXPECT_EQ(sprite->GetY(), 200) << "the 150 ms left over carry into the 300 ms segment";
  EXPECT_EQ(sprite->GetAlpha(), 0);
  int32_t x = 0;
  (void)effect->Query({Word(&x), 0, Word(&opacity)});
  EXPECT_EQ(std::tuple(x, opacity), std::tuple(200, 0));
  At(1300);
  EXPECT_EQ(sprite->GetY(), 350);
  EXPECT_EQ(timers.Count(), 0u) << "the end of a path without a loop finishes the effect";
}

TEST_F(SpPanime, EasesShapeTheProgress) {
  struct Case {
    const char* path;
    uint32_t at;
    int32_t x;
  } const cases[] = {
      {"A P200,0", 250, 114},  // cosine: (cos(3/8 turn) + 1) / 2 of 100
      {"A P200,0", 500, 150},   {"A2 P200,0", 500, 125},
      {"A-2 P200,0", 500, 175}, {"1 P200,0", 0, 200},  // a segment under 2 ms shows its end
  };
  for (const Case& c : cases) {
    Sprite* sprite = AddSprite(10, 10, 0xFFFFFFFF, 100, 0);
    clock.SetMilliseconds(0);
    Make(sprite, c.path, 1000);
    At(0);
    At(c.at);
    EXPECT_EQ(sprite->GetX(), c.x) << c.path << " at " << c.at;
    timers.Clear();
  }
}

TEST_F(SpPanime, DurationZeroPutsTheEndStateAtOnce) {
  Sprite* sprite = AddSprite(40, 40, 0xFF0000FF, 10, 10);
  SpPanimeEffect effect;
  EXPECT_EQ(effect.Start(&timers, nullptr, {Word(sprite), Word("P300,20O40"), 0, 0, 0}),
            kSpPanimeEndedAtOnce);
  EXPECT_EQ(std::tuple(sprite->GetX(), sprite->GetAlpha(), timers.Count()),
            std::tuple(300, 40, 0u));
  EXPECT_EQ(effect.Start(&timers, nullptr, {Word(sprite), Word("P1,1 ?"), 100, 0, 0}),
            kSpPanimePathRefused);
  EXPECT_EQ(effect.Start(&timers, nullptr, {0, Word("P1,1"), 100, 0, 0}), kSpPanimeBadArguments);
}

TEST_F(SpPanime, ALoopOfTinySegmentsGoesRoundOncePerUpdate) {
  Sprite* sprite = AddSprite(10, 10, 0xFFFFFFFF, 0, 0);
  Make(sprite, "1 P5,0 1 P9,0", 1000, 1);
  At(0);
  At(100000);  // would spin for ever without the bound
  EXPECT_EQ(timers.Count(), 1u) << "a looping path keeps running";
  At(100003);
  EXPECT_EQ(timers.Count(), 1u);
}

TEST_F(SpPanime, PausedPathsGoOnWhereTheyStopped) {
  Sprite* sprite = AddSprite(10, 10, 0xFFFFFFFF, 0, 0);
  SpPanimeEffect* effect = Make(sprite, "P100,0", 1000);
  At(0);
  At(200);
  effect->Pause(200);
  effect->Resume(700);
  At(800);
  EXPECT_EQ(sprite->GetX(), 30);
}

TEST_F(SpPanime, CommandSetsTheBandThatOrdersPriorities) {
  Sprite* back = AddSprite(10, 10, 0xFFFFFFFF, 0, 0, 5);
  Sprite* sprite = AddSprite(10, 10, 0xFFFFFFFF, 0, 0, 20);
  EXPECT_EQ(SpPanimeEffect::PathCommand({0, 30, 5}), 0);
  EXPECT_EQ(SpPanimeEffect::PathCommand({1, 0, Word("P1,1")}), kSpPanimeBadArguments);

  // "B" puts the sprite behind an equal priority when its path reaches it.
  Make(sprite, "B P10,0", 100);
  At(0);
  const auto& nodes = layer.GetList().Nodes();
  ASSERT_EQ(nodes.size(), 2u);
  EXPECT_EQ(std::tuple(nodes.front().object, nodes.back().priority), std::tuple(back, 5u));
}

}  // namespace
}  // namespace bw
