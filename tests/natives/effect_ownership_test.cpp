// Who owns a keyword effect, as a script starts one: the start native holds it while it sets up,
// deletes it when the set-up fails, however far the set-up got, and hands it to the effects'
// timer service when it succeeds; one the service refuses is deleted too. The live-object count
// of a probe effect says so, and the leak checker of the sanitizer build watches the rest.

#include <memory>
#include <vector>

#include "effects/builtin_effects.h"
#include "effects/effect_registries.h"
#include "native_rig.h"
#include "platform/subtractive_random.h"
#include "platform/timer_service.h"

namespace bw {
namespace {

// Set up with word 0 as its answer, after taking a buffer and a frame-priority hold (the partial
// work a real effect does before it fails), so a leak of either shows.
class ProbeEffect final : public DisplayEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t) { return std::make_unique<ProbeEffect>(); }
  ProbeEffect() { ++alive; }
  ~ProbeEffect() override { --alive; }
  const char* GetKeyword() const override { return "fx_probe"; }
  uint8_t GetType() const override { return kEffectTypeSprite; }
  int Setup(TimerService* timers, EffectTarget, ArgWords args) override {
    if (timers == nullptr) return 1;
    scratch_ = std::make_unique<std::vector<uint8_t>>(4096);
    NotifyStart();
    AskSchedule(args.Uint(1), 0);
    return args.Int(0);
  }
  int32_t Update(uint32_t) override {
    ++updates;
    return kTaskStepContinue;
  }
  void Stop() override {}

  static inline int alive = 0;
  static inline int updates = 0;

 private:
  std::unique_ptr<std::vector<uint8_t>> scratch_;
};

// A service that turns every task away while refusing is set.
class RefusingTimers final : public TimerService {
 public:
  uint32_t Add(std::unique_ptr<TimedTask> task, uint32_t delayMs, uint32_t intervalMs,
               uint32_t repeatCount) override {
    if (refusing) return kTaskIsNull;  // the task dies with its pointer here
    return TimerService::Add(std::move(task), delayMs, intervalMs, repeatCount);
  }
  bool refusing = false;
};

class EffectOwnership : public testing::Test {
 protected:
  EffectOwnership() {
    RegisterScriptHostKeywords(filters, effects, &random);
    EXPECT_EQ(
        effects.Register(ProbeEffect::Create, "fx_probe", kEffectTypeSprite, nullptr, nullptr, 0),
        kRegistered);
    ProbeEffect::alive = ProbeEffect::updates = 0;
    lowered = 0;
    SetEffectRunningHooks([] { ++lowered; }, [] { --lowered; });
  }
  ~EffectOwnership() override { SetEffectRunningHooks(nullptr, nullptr); }

  uint32_t Start(const char* keyword, std::vector<uint32_t> words) {
    words.insert(words.begin(), {0, rig.Text(keyword)});
    words.resize(40);
    return uint32_t(rig.CallAt(Native::kEffectStart, rig.Words(words)).result);
  }

  static inline int lowered = 0;  // frame-priority holds not yet given back
  SubtractiveRandom random;
  TcpPluginManager filters;
  DcpPluginManager effects;
  ScopedGlobal<TcpPluginManager> publishedFilters{&filters};
  ScopedGlobal<DcpPluginManager> publishedEffects{&effects};
  RefusingTimers timers;
  ScopedGlobal<TimerService> publishedTimers{&timers};
  NativeRig rig;
};

// A set-up that answers 0 lists the effect at the delay it asked for, once; one that fails after
// its partial work deletes it at once, whatever the failure code.
TEST_F(EffectOwnership, ASetUpEffectRunsUntilRemovedAndAFailedOneGoesAtOnce) {
  const uint32_t handle = Start("fx_probe", {0, 50});
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(ProbeEffect::alive, 1);
  EXPECT_EQ(timers.Count(), 1u);
  EXPECT_EQ(lowered, 1);
  const TimedTask* listed = timers.FindById(kTaskKindNone);
  ASSERT_NE(listed, nullptr);
  timers.RunDue(listed->DueTime() - 1);
  EXPECT_EQ(ProbeEffect::updates, 0) << "held for its delay";
  timers.RunDue(listed->DueTime());
  EXPECT_EQ(ProbeEffect::updates, 1);
  const uint32_t variable = rig.Var(handle);
  EXPECT_EQ(rig.Answer(Native::kTaskRemove, {variable}), 1);
  timers.RunDue(0);
  EXPECT_EQ(ProbeEffect::alive, 0);
  EXPECT_EQ(lowered, 0);
  EXPECT_EQ(rig.Answer(Native::kTaskIsAlive, {handle}), 0);

  for (uint32_t failure : {1u, 7u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(failure);
    EXPECT_EQ(Start("fx_probe", {failure}), 0u);
    EXPECT_EQ(ProbeEffect::alive, 0);
    EXPECT_EQ(lowered, 0) << "its priority hold given back";
    EXPECT_EQ(timers.Count(), 0u);
  }
}

// An effect the service turns away is deleted by the start, which answers 0; the built-in ones
// leave their targets whole.
TEST_F(EffectOwnership, AnEffectTheServiceRefusesIsDeletedAndTheStartAnswersZero) {
  timers.refusing = true;
  EXPECT_EQ(Start("fx_probe", {0}), 0u);
  EXPECT_EQ(ProbeEffect::alive, 0);
  EXPECT_EQ(lowered, 0);
  EXPECT_EQ(Start("sp_fade", {3, 0, 1}), 0u);
  EXPECT_EQ(timers.Count(), 0u);
  EXPECT_EQ(lowered, 0);

  timers.refusing = false;
  const uint32_t fade = Start("sp_fade", {3, 0, 0});
  EXPECT_NE(fade, 0u) << "the same start, taken";
  EXPECT_EQ(rig.Answer(Native::kTaskIsAlive, {fade}), 1);
}

}  // namespace
}  // namespace bw
