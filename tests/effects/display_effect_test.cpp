// The effect bases: the priority hooks, low-spec disarming, the unsupported slots, the resume
// that moves an effect's own clock, and the layer's view of a filter.
#include "effects/display_effect.h"

#include <gtest/gtest.h>

#include "effects/filter_effect.h"
#include "graphics/surface/image_surface.h"
#include "platform/timer_service.h"

namespace bw {
namespace {

int lowered = 0;
int restored = 0;
bool lowSpec = false;

class PlainEffect final : public DisplayEffect {
 public:
  int32_t Update(uint32_t) override { return 0; }
  void Stop() override {}
  const char* GetKeyword() const override { return "plain"; }
  uint8_t GetType() const override { return kEffectTypeScreen; }
  int Setup(TimerService*, void*, ArgWords) override { return 0; }
  uint32_t shifted = 0;

 protected:
  void ShiftStartTimes(uint32_t spanMs) override { shifted += spanMs; }
};

class Hooks : public ::testing::Test {
 protected:
  void SetUp() override {
    lowered = restored = 0;
    lowSpec = false;
    SetEffectRunningHooks([] { ++lowered; }, [] { ++restored; });
    SetLowSpecQuery([] { return lowSpec; });
  }
  void TearDown() override {
    SetEffectRunningHooks(nullptr, nullptr);
    SetLowSpecQuery(nullptr);
  }
};

TEST_F(Hooks, EachStartedEffectRestoresThePriorityOnceWhenItGoes) {
  auto* first = new PlainEffect;
  auto* second = new PlainEffect;
  first->NotifyStart();
  first->NotifyStart();
  second->NotifyStart();
  EXPECT_EQ(lowered, 2) << "a second NotifyStart of one effect does nothing";
  EXPECT_EQ(first->priorityState, kPriorityHeld);
  delete first;
  EXPECT_EQ(restored, 1);
  delete second;
  EXPECT_EQ(restored, 2);

  PlainEffect never;
  EXPECT_EQ(never.priorityState, kPriorityArmed) << "armed, but never started";
}

TEST_F(Hooks, LowSpecDisarmsSoTheEffectNeverTouchesThePriority) {
  {
    PlainEffect effect;
    effect.DisarmIfLowSpec();
    EXPECT_EQ(effect.priorityState, kPriorityArmed) << "not in low-spec mode";
  }
  lowSpec = true;
  {
    PlainEffect effect;
    effect.DisarmIfLowSpec();
    EXPECT_EQ(effect.priorityState, kPriorityDisarmed);
    effect.NotifyStart();
  }
  EXPECT_EQ(std::pair(lowered, restored), std::pair(0, 0));
}

TEST_F(Hooks, UnsupportedSlotsAnswerMinusTwoAndOnlyTheLastResumeShiftsTheClock) {
  PlainEffect effect;
  EXPECT_EQ(effect.Command({1, 2}), kEffectUnsupported);
  EXPECT_EQ(effect.Query(ArgWords()), kEffectUnsupported);
  EXPECT_EQ(effect.Init({5}), 0);
  EXPECT_EQ(effect.GetValue(), 0);
  effect.Pause(1000);
  effect.Pause(1200);
  EXPECT_EQ(effect.Resume(1500), 1u);
  EXPECT_EQ(effect.shifted, 0u);
  EXPECT_EQ(effect.Resume(1800), 800u);
  EXPECT_EQ(effect.shifted, 800u) << "the whole span since the first pause";
  EXPECT_EQ(effect.Resume(1900), 0u);
  EXPECT_EQ(effect.shifted, 800u) << "an unpaired resume moves nothing";
}

// A filter that records what the layer asked of it.
class RecordingFilter final : public FilterEffect {
 public:
  uint8_t GetKind() const override { return kFilterKindTwoLayerBanded; }
  const char* GetKeyword() const override { return "recording"; }
  int Advance(uint32_t nowMs) override {
    advancedTo = nowMs;
    return 0;
  }
  int IsFinished() const override { return finished; }
  int Draw(const FilterDrawRequest& request) override {
    last = request;
    return 0;
  }
  using FilterEffect::SetUp;
  int SetUp(SurfaceLayer*, ArgWords) override { return 0; }
  uint32_t advancedTo = 0;
  int finished = 0;
  FilterDrawRequest last;
};

TEST(FilterEffect, TheLayerSeesAdvanceAndBandsAsDrawRequests) {
  RecordingFilter filter;
  LayerFilter& layerView = filter;
  EXPECT_EQ(layerView.Update(480), 0) << "the clock step never asks to detach";
  EXPECT_EQ(filter.advancedTo, 480u);
  EXPECT_FALSE(layerView.IsDone());
  filter.finished = 1;
  EXPECT_TRUE(layerView.IsDone());

  ImageSurface target, before, after;
  layerView.DrawBand(FilterBand{&target, Rect{0, 16, 64, 48}, &before, &after});
  const FilterDrawRequest& r = filter.last;
  EXPECT_EQ((std::vector<int32_t>{r.areaX, r.areaY, r.width, r.height, r.targetX, r.targetY, r.oldX,
                                  r.oldY, r.newX, r.newY}),
            (std::vector<int32_t>{0, 16, 64, 32, 0, 16, 0, 16, 0, 16}));
  EXPECT_EQ(r.target, &target);
  EXPECT_EQ(r.oldImage, &before) << "the layer's own picture is the one before";
  EXPECT_EQ(r.newImage, &after);
}

}  // namespace
}  // namespace bw
