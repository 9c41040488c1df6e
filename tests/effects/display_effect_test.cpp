// The effect bases: the priority hooks, low-spec disarming, and the resume that moves an effect's
// own clock. The unsupported slots' answer is every keyword's to give through the natives.
#include "effects/display_effect.h"

#include <gtest/gtest.h>

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
  int Setup(TimerService*, EffectTarget, ArgWords) override { return 0; }
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

TEST_F(Hooks, StartedEffectsRestoreThePriorityOnceDisarmedOnesNeverAndOnlyTheLastResumeShifts) {
  auto* first = new PlainEffect;
  auto* second = new PlainEffect;
  first->NotifyStart();
  first->NotifyStart();
  second->NotifyStart();
  EXPECT_EQ(lowered, 2) << "a second NotifyStart of one effect does nothing";
  delete first;
  EXPECT_EQ(restored, 1);
  delete second;
  EXPECT_EQ(restored, 2);

  lowSpec = true;
  {
    PlainEffect effect;
    effect.DisarmIfLowSpec();
    effect.NotifyStart();
  }
  EXPECT_EQ(std::pair(lowered, restored), std::pair(2, 2))
      << "a low-spec disarmed effect touched the priority";

  // Only the last resume shifts the clock.
  PlainEffect effect;
  effect.Pause(1000);
  effect.Pause(1200);
  EXPECT_EQ(effect.Resume(1500), 1u);
  EXPECT_EQ(effect.shifted, 0u);
  EXPECT_EQ(effect.Resume(1800), 800u);
  EXPECT_EQ(effect.shifted, 800u) << "the whole span since the first pause";
  EXPECT_EQ(effect.Resume(1900), 0u);
  EXPECT_EQ(effect.shifted, 800u) << "an unpaired resume moves nothing";
}

}  // namespace
}  // namespace bw
