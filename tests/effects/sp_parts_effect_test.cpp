// "sp_parts" and "sp_loop" on files in a game folder, as the drawn layer shows them; the parts'
// reader and every failure of it and of the set-ups.
#include "effects/sp_parts_effect.h"
#include "effects/sp_effect_rig.h"
#include "effects/sp_loop_effect.h"
#include "effects/sp_panime_effect.h"
#include "support/listed_task.h"

namespace bw {
namespace {

class SpParts : public SpriteEffectRig {
 protected:
  void SetUp() override {
    SpriteEffectRig::SetUp();
    WritePicture("SYS/ARM.WGX", 20, 10, std::vector<uint32_t>(200, 0xFF112233));
    WritePicture("SYS/SKY.WGX", 40, 8, std::vector<uint32_t>(320, 0xFF445566));
  }
  // Writes the definition and sets the effect up on it; the set-up's result.
  int Make(const std::string& text, SpPartsEffect** out = nullptr, int32_t second = 0,
           int32_t intermediate = 0) {
    game.dir().WriteFile("SYS/CA001.TXT", text);
    auto effect = std::make_unique<SpPartsEffect>();
    const int rc =
        effect->Start(&timers, &layer,
                      {Word("SYS\\CA001.TXT"), 5, 6, 40, 0, 0, 0, 0, intermediate, second, 1, 0});
    lastError = effect->LastReadError();
    if (rc != kSpPartsSetUp) return rc;
    SpPartsEffect* listed = test::HandOver(timers, std::move(effect));
    if (out) *out = listed;
    return rc;
  }
  // Red and green 10 x 10 parts.
  void WriteSquares() {
    WritePicture("SYS/RED.WGX", 10, 10, std::vector<uint32_t>(100, 0xFFFF0000));
    WritePicture("SYS/GRN.WGX", 10, 10, std::vector<uint32_t>(100, 0xFF00FF00));
  }
  int lastError = 0;
};

TEST_F(SpParts, OneKeyFrameStandsStillUntilStop) {
  SpPartsEffect* effect = nullptr;
  ASSERT_EQ(Make("// arm\n*ARM.WGX\n  100,50\n", &effect), kSpPartsSetUp);
  ASSERT_EQ(effect->PartCount(), 1u);
  EXPECT_EQ(effect->PlayState(0), kPartStatic);
  const Sprite* arm = effect->PartSprite(0);
  EXPECT_EQ(std::tuple(std::pair(arm->GetX(), arm->GetY()), arm->GetAlpha()),
            std::tuple(std::pair(100, 50), 255))
      << "x and y alone keep full opacity";
  At(0, 60000);
  EXPECT_EQ(timers.Count(), 1u) << "a part that stands still keeps the effect running";
  EXPECT_EQ(layer.GetList().Count(), 1u);
  timers.Clear();
  EXPECT_EQ(layer.GetList().Count(), 0u) << "Stop takes the parts away";
}

TEST_F(SpParts, PathsLoopsAndPriorities) {
  SpPartsEffect* effect = nullptr;
  ASSERT_EQ(Make("*ARM.WGX\n0,0\nt 200\nl 40,6\n100,,128\n#s\n50,50\n#e\n"
                 "$SKY.WGX, 1, 2, 20, 200, 0, 400\nignored\n*ARM.WGX\n,3\n",
                 &effect),
            kSpPartsSetUp);
  ASSERT_EQ(effect->PartCount(), 3u);
  const auto& nodes = layer.GetList().Nodes();
  ASSERT_EQ(nodes.size(), 4u) << "two sprites of the loop, one of each path part";
  EXPECT_EQ(std::pair(nodes.front().priority, nodes.back().priority), std::pair(38u, 40u))
      << "each part one below the one before";
  const Sprite* arm = effect->PartSprite(0);
  EXPECT_EQ(arm->GetX(), 0);
  EXPECT_EQ(std::pair(effect->PartSprite(2)->GetX(), effect->PartSprite(2)->GetY()),
            std::pair(5, 3))
      << "a left-out x keeps the start place";
  const SpLoopEffect* loop = effect->PartLoop(1);
  ASSERT_NE(loop, nullptr);
  EXPECT_EQ(std::pair(loop->First().GetX(), loop->First().GetAlpha()), std::pair(6, 200));
  At(0, 100);
  EXPECT_EQ(std::pair(arm->GetX(), arm->GetY()), std::pair(50 + 40, 6))
      << "halfway the \"l\" line's swing is at its widest";
  EXPECT_EQ(arm->GetAlpha(), 192);
  At(199);
  EXPECT_EQ(effect->PlayState(0), kPartPlaying);
  At(200);
  EXPECT_EQ(effect->PlayState(0), kPartDone) << "the hidden block is not read";
  EXPECT_FALSE(arm->IsVisible());
  EXPECT_EQ(effect->Command({2, 3, 0}), 1);
  EXPECT_EQ(effect->Command({0}), 0);
  At(400);
  EXPECT_EQ(effect->PlayState(1), kPartDone) << "a stopped loop ends at its period";
  EXPECT_EQ(timers.Count(), 1u);
}

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kYellow = 0xFFFF00;

// Three overlapping 10 x 10 parts at x = 0, 4 and 8 take the priorities 40, 39, 38 (the later on
// top). Red's "b" puts it at the back of the band, 40 - 3, after its equals: in front of all;
// blue's "f" at its front, 40, before its equals: behind green. A band published after the set-up
// is not theirs.
TEST_F(SpParts, StepsFAndBTakeTheBandOfTheParts) {
  WriteSquares();
  WritePicture("SYS/BLU.WGX", 10, 10, std::vector<uint32_t>(100, 0xFF0000FF));
  ASSERT_EQ(Make("*RED.WGX\n0,0\nt 100\nb\n0,0\n*GRN.WGX\n4,0\n"
                 "*BLU.WGX\n8,0\nt 100\nf\n8,0\n"),
            kSpPartsSetUp);
  EXPECT_EQ(Shown(9, 5), kBlue) << "before the steps the file's order holds";
  (void)SpPanimeEffect::PathCommand({0, 5, 6});
  At(0, 50);
  ExpectShown({{9, 5, kRed}, {12, 5, kGreen}, {15, 5, kBlue}});
}

// With intermediate layers the parts compose in a layer of their own, which the list draws at
// the base priority: a sprite of the list at 39 lies over every part, though the green part
// has 39 too. What a moving part leaves is redrawn.
TEST_F(SpParts, IntermediateLayersDrawThePartsAsOneGroup) {
  WriteSquares();
  layer.SetBackgroundColor(0x000040, false);
  AddSprite(10, 10, 0xFFFFFF00, 5, 0, 39);
  SpPartsEffect* effect = nullptr;
  ASSERT_EQ(Make("*RED.WGX\n0,0\n*GRN.WGX\n10,0\nt 100\n30,0\n", &effect, 0, 1), kSpPartsSetUp);
  EXPECT_EQ(layer.GetList().Count(), 2u) << "the yellow sprite and the parts' layer";
  const DisplayObjectList* parts = effect->PartSprite(0)->GetOwnerList();
  ASSERT_NE(parts->GetLayer(), &layer);
  EXPECT_EQ(parts->Count(), 2u);
  At(0);
  ExpectShown({{2, 5, kRed}, {12, 5, kYellow, "over the green part"}, {17, 5, kGreen}});
  At(50);
  ExpectShown({{17, 5, 0x000040u, "where green was"}, {22, 5, kGreen}});
  EXPECT_EQ(effect->Command({2, 0, 0}), 0);
  At(60);
  EXPECT_EQ(Shown(2, 5), 0x000040u) << "a part hidden by command";
  timers.Clear();
  ExpectShown({{25, 5, 0x000040u, "stopped, the parts are gone"}, {7, 5, kYellow}});
  EXPECT_EQ(layer.GetList().Count(), 1u);
}

TEST_F(SpParts, BothListsShowTheParts) {
  CompositionLayer view;
  ImageSurface viewArea;
  ASSERT_EQ(viewArea.Create(320, 240, 32, 0), 0);
  (void)view.SetTarget(&viewArea, false);
  layer.SetSecondList(&view.GetList());
  SpPartsEffect* effect = nullptr;
  ASSERT_EQ(Make("*ARM.WGX\n10,10\n30,10\n", &effect, 1), kSpPartsSetUp);
  EXPECT_TRUE(effect->PartSprite(0)->IsVisible());
  EXPECT_FALSE(effect->PartSprite(0, true)->IsVisible()) << "the second list starts hidden";
  At(0, 500);
  EXPECT_EQ(effect->PartSprite(0, true)->GetX(), 20) << "the second sprite follows the first";
  EXPECT_EQ(effect->Command({1, 1, 1}), 0);
  At(600);
  EXPECT_TRUE(effect->PartSprite(0, true)->IsVisible());
  timers.Clear();
  layer.SetSecondList(nullptr);
}

TEST_F(SpParts, FailuresOfTheFileAndTheSetUp) {
  struct Case {
    const char* text;
    int error;
  } const cases[] = {
      {"a 2\n*ARM.WGX\n0,0\n", kPartsStepBeforeHeader},
      {"0,0\n*ARM.WGX\n", kPartsKeyFrameBeforeHeader},
      {"// nothing\n\n", kPartsNoPart},
      {"*ARM.WGX\nt 100\n", kPartsNoKeyFrame},
      {"*ARM.WGX\n0,0\nt\n1,1\n", kPartsTimeMissing},
      {"*ARM.WGX\n0,0\nt 0\n1,1\n", kPartsTimeZero},
      {"*ARM.WGX\nf\n0,0\n", kPartsFirstNotKeyFrame},
      {"*NONE.WGX\n0,0\n", kPartsNoImage},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Make(c.text), kSpPartsFileFailed) << c.text;
    EXPECT_EQ(lastError, c.error) << c.text;
  }
  SpPartsEffect effect;
  EXPECT_EQ(effect.Start(&timers, &layer, {Word("SYS\\NONE.TXT")}), kSpPartsFileFailed);
  EXPECT_EQ(effect.LastReadError(), kPartsNoFile);
  EXPECT_EQ(effect.Start(&timers, nullptr, {Word("SYS\\CA001.TXT")}), kSpPartsBadArguments);
  EXPECT_EQ(effect.Start(&timers, &layer, {Word("SYS\\CA001.TXT"), 0, 0, 0, 0, 0, 0, 0, 0, 1}),
            kSpPartsNoSecondList);
  EXPECT_EQ(layer.GetList().Count(), 0u) << "a failed set-up leaves no part behind";
}

TEST(PartsReader, TheFillPassNeverWritesPastTheCount) {
  std::vector<PartsPart> parts;
  ASSERT_EQ(CountParts("*A\n0,0\n1,1\n2,2\n", false, &parts), kPartsRead);
  ASSERT_EQ(parts[0].stepCount, 3);
  parts[0].stepCount = 2;  // a count that disagrees with the lines
  EXPECT_NE(FillPart(parts[0], PartImageInfo{8, 8, 0, 0}, 0, 0), kPartsRead);
  EXPECT_TRUE(parts[0].steps.empty());
}

class SpLoop : public SpriteEffectRig {
 protected:
  void SetUp() override {
    SpriteEffectRig::SetUp();
    WritePicture("STRIP.WGX", 100, 10, std::vector<uint32_t>(1000, 0xFF102030));
  }
  SpLoopEffect* Make(int32_t view, int32_t direction, int32_t count) {
    return Started<SpLoopEffect>(
        &layer, {Word("STRIP.WGX"), 5, 7, view, 255, 3, direction, 1000, count, 0}, kSpLoopSetUp);
  }
  static std::pair<int32_t, int32_t> Span(const Sprite& s) {
    return {s.GetSourceRect().left, s.GetSourceRect().right};
  }
};

TEST_F(SpLoop, ScrollsEitherWayCountsPeriodsStopsAtABoundaryAndRefusesBadSetUps) {
  SpLoopEffect* effect = Make(60, kLoopLeftward, 2);
  EXPECT_EQ(layer.GetList().Count(), 2u);
  At(0);
  EXPECT_EQ(Span(effect->First()), std::pair(0, 60));
  EXPECT_FALSE(effect->Second().IsVisible());
  At(500);
  EXPECT_EQ(Span(effect->First()), std::pair(50, 100));
  EXPECT_EQ(Span(effect->Second()), std::pair(0, 10));
  EXPECT_EQ(effect->Second().GetX(), 55) << "the wrapped part follows the first";
  At(1999);
  EXPECT_EQ(timers.Count(), 1u);
  At(2000);
  EXPECT_EQ(timers.Count(), 0u) << "the last period ends the loop";
  EXPECT_EQ(layer.GetList().Count(), 0u);

  // Rightward, the whole picture runs from the other end.
  effect = Make(0, kLoopRightward, 0);
  At(3000, 3250);
  EXPECT_EQ(Span(effect->First()), std::pair(75, 100));
  EXPECT_EQ(Span(effect->Second()), std::pair(0, 75));

  // An endless loop ends at a period's boundary once asked.
  effect->Stop();
  At(5000);
  EXPECT_EQ(timers.Count(), 1u) << "Stop alone does not end a loop";
  EXPECT_EQ(effect->Command({2, 40, 50}), 0);
  At(5100);
  EXPECT_EQ(effect->First().GetX(), 40);
  EXPECT_EQ(effect->Command({0}), 0);
  At(5999);
  EXPECT_EQ(timers.Count(), 1u);
  At(6000);
  EXPECT_EQ(timers.Count(), 0u);

  SpLoopEffect refused;
  EXPECT_EQ(refused.Start(&timers, nullptr, {Word("STRIP.WGX")}), kSpLoopBadArguments);
  EXPECT_EQ(refused.Start(&timers, &layer, {Word("NONE.WGX")}), kSpLoopNoPicture);
  EXPECT_EQ(refused.Start(&timers, &layer, {Word("STRIP.WGX"), 0, 0, 101}), kSpLoopViewTooLarge);
  EXPECT_EQ(refused.Update(0), kSpLoopNothingShown);
  EXPECT_EQ(refused.Command({1, 0}), 1);
}

}  // namespace
}  // namespace bw
