#include "platform/frame_clock.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "host/clock.h"
#include "platform/stopwatch.h"
#include "platform/timer_service.h"
#include "support/listed_task.h"

namespace bw {
namespace {

class FrameClockTest : public testing::Test {
 protected:
  // A clock 60 frames per second, skip counting on, started at startMs.
  FrameClock Make(bool counter, bool unpaced, uint32_t startMs = 1000) {
    clock_.SetMilliseconds(startMs);
    FrameClock fc(60, counter);
    fc.SetUnpaced(unpaced);
    fc.SetSkipCounting(true);
    return fc;
  }
  void Advance(uint32_t ms) { clock_.AdvanceMilliseconds(ms); }

  host::VirtualClock clock_;
  ScopedGlobal<host::ClockSource> use_{&clock_};
};

constexpr int kAny = -1;

// Frame after frame: how far the clock moved, whether the frame is due, and what the clock then
// says of the wait (the loop's sleep hint, the exact time to the next frame: a loop on a virtual
// clock sleeps exactly this long) and of the frames it fell behind (kAny: not asked).
struct Step {
  uint32_t advance;
  bool due;
  int hint, msToNext, behind;
};

TEST_F(FrameClockTest, PacedFramesFallDueOncePerPeriodWithTheirWaits) {
  struct Case {
    const char* what;
    bool counter;
    uint32_t startMs;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      // 60 frames a second truncate to 16 ms, across the millisecond clock's wrap. A frame on
      // time keeps the hint; 50 ms late is three periods, two beyond the first, and halves the
      // hint; the late frame restarts the period from now.
      // clang-format off
      {"milliseconds", false, 0xFFFFFFF8u,
       {{5, false, 11, 11, kAny}, {11, true, 11, 16, kAny}, {50, true, 8, kAny, 2}, {0, false, kAny, kAny, kAny}}},
      // 16 ms x 5 ms / 16.67 ms; past half a frame the loop should not sleep; 16.67 ms less 9,
      // rounded up.
      {"counter", true, 1000, {{5, false, 4, kAny, kAny}, {4, false, 0, 8, kAny}, {8, true, kAny, kAny, kAny}}},
      // clang-format on
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FrameClock fc = Make(c.counter, false, c.startMs);
    ASSERT_EQ(fc.UsesPerformanceCounter(), c.counter);
    EXPECT_EQ(fc.PeriodMs(), 16u);
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& step = c.steps[i];
      Advance(step.advance);
      EXPECT_EQ(fc.Tick(), step.due) << "step " << i;
      // Each answer is compared unless the row does not ask for it.
      auto asked = [](int want, int got) { return want == kAny ? kAny : got; };
      EXPECT_EQ(asked(step.hint, int(fc.WaitHint())), step.hint) << "hint, step " << i;
      EXPECT_EQ(asked(step.msToNext, int(fc.MsToNextFrame())), step.msToNext) << "step " << i;
      EXPECT_EQ(asked(step.behind, fc.FramesBehind()), step.behind) << "behind, step " << i;
    }
  }
}

TEST_F(FrameClockTest, UnpacedMillisecondsSurviveTheClockWrap) {
  FrameClock fc = Make(false, true, 0xFFFFFFF0u);
  EXPECT_TRUE(fc.Tick());
  Advance(16);  // lands on 0
  EXPECT_TRUE(fc.Tick());
  EXPECT_EQ(fc.FramesBehind(), 0);
  Advance(50);
  EXPECT_TRUE(fc.Tick());
  EXPECT_EQ(fc.FramesBehind(), 2) << "a tick at 0 ms is still the previous tick";
  for (int i = 0; i < 10; ++i) {
    Advance(100);
    fc.Tick();
  }
  EXPECT_EQ(fc.MeasuredFps(), 13) << "the measuring second runs across the wrap";
}

using StopwatchTest = FrameClockTest;

TEST_F(StopwatchTest, SetElapsedWhilePausedAndAcrossTheWrap) {
  clock_.SetMilliseconds(1000);
  Stopwatch w;
  w.Pause();
  w.SetElapsed(5000);
  clock_.AdvanceMilliseconds(700);
  EXPECT_EQ(w.GetElapsed(), 5000u);
  w.Resume();
  clock_.AdvanceMilliseconds(1);
  EXPECT_EQ(w.GetElapsed(), 5001u);

  clock_.SetMilliseconds(0xFFFFFF00u);
  EXPECT_EQ(w.Start(), 0xFFFFFF00u);
  clock_.AdvanceMilliseconds(0x200);
  EXPECT_EQ(w.GetElapsed(), 0x200u);
}

// Records what the service does to it; Update answers `result` unless onUpdate says otherwise.
class FakeTask : public TimedTask {
 public:
  explicit FakeTask(uint32_t kind = kTaskKindNone, int* deaths = nullptr)
      : kind_(kind), deaths_(deaths) {}
  ~FakeTask() override {
    if (deaths_) ++*deaths_;
    if (onDestroy) onDestroy();
  }
  uint32_t GetKindId() const override { return kind_; }
  int32_t Update(uint32_t now) override {
    updates.push_back(now);
    return onUpdate ? onUpdate(now) : result;
  }
  void Stop() override { ++stops; }
  void Ask(uint32_t delayMs, uint32_t intervalMs) { AskSchedule(delayMs, intervalMs); }

  std::vector<uint32_t> updates;
  int stops = 0;
  int32_t result = 0;
  std::function<int32_t(uint32_t)> onUpdate;
  std::function<void()> onDestroy;

 private:
  uint32_t kind_;
  int* deaths_;
};

class TimerServiceTest : public testing::Test {
 protected:
  FakeTask* AddTask(uint32_t delay, uint32_t interval, uint32_t repeats,
                    uint32_t kind = kTaskKindNone) {
    return test::List(service_, std::make_unique<FakeTask>(kind, &deaths_), delay, interval,
                      repeats);
  }

  host::VirtualClock clock_{1000};
  ScopedGlobal<host::ClockSource> use_{&clock_};
  int deaths_ = 0;
  TimerService service_;
};

// A task handed over again stays the service's: it is neither listed twice nor deleted by the
// refusal. A hand-over lists a task at the schedule its start asked for.
TEST_F(TimerServiceTest, AddRefusesNullAndDoublesWithoutDeletingTheListedTask) {
  EXPECT_EQ(service_.Add(nullptr, 0, 0, 0), kTaskIsNull);
  EXPECT_EQ(service_.HandOver(std::unique_ptr<FakeTask>()), nullptr);
  FakeTask* task = AddTask(250, 0, 0);
  EXPECT_EQ(task->DueTime(), 1250u);
  EXPECT_EQ(service_.Add(std::unique_ptr<TimedTask>(task), 0, 0, 0), kTaskAlreadyListed);
  EXPECT_EQ(service_.HandOver(std::unique_ptr<FakeTask>(task)), nullptr);
  EXPECT_EQ(service_.Count(), 1u);
  EXPECT_EQ(deaths_, 0);
  EXPECT_EQ(task->DueTime(), 1250u) << "a refused add changes nothing";

  auto started = std::make_unique<FakeTask>(kTaskKindNone, &deaths_);
  started->Ask(10, 30);
  FakeTask* listed = service_.HandOver(std::move(started));
  ASSERT_NE(listed, nullptr);
  EXPECT_EQ(std::pair(listed->DueTime(), listed->Interval()), std::pair(1010u, 30u));
  service_.Clear();
  EXPECT_EQ(deaths_, 2) << "both die once, with the service's clear";
}

// In either pass: a task 350 ms late runs once in RunDue and catches up in RunDueRepeating; a
// repeat count ends a task; due times survive the clock's wrap.
TEST_F(TimerServiceTest, LateTasksRepeatCountsAndTheClockWrapInEitherPass) {
  for (bool repeating : {false, true}) {
    SCOPED_TRACE(repeating ? "RunDueRepeating" : "RunDue");
    TimerService service;
    auto run = [&] { repeating ? service.RunDueRepeating(0) : service.RunDue(0); };
    clock_.SetMilliseconds(1000);
    FakeTask* late = test::List(service, std::make_unique<FakeTask>(), 100, 100);
    ASSERT_NE(late, nullptr);
    clock_.AdvanceMilliseconds(450);
    run();
    EXPECT_EQ(late->updates.size(), repeating ? 4u : 1u);
    EXPECT_EQ(late->DueTime(), repeating ? 1500u : 1550u);
    service.Clear();

    auto owned = std::make_unique<FakeTask>();
    FakeTask* counted = owned.get();
    size_t updates = 0;
    counted->onDestroy = [&updates, counted] { updates = counted->updates.size(); };
    ASSERT_EQ(service.Add(std::move(owned), 10, 10, 3), kTaskAdded);
    for (int i = 0; i < 3 && updates == 0; ++i) {
      clock_.AdvanceMilliseconds(repeating ? 1000 : 10);
      run();
    }
    EXPECT_EQ(updates, 3u) << "deleted after the third update, though Update kept answering 0";

    clock_.SetMilliseconds(0xFFFFFFF0u);
    // Due at 0x30, past the wrap, and at 0xFFFFFFF0.
    FakeTask* later = test::List(service, std::make_unique<FakeTask>(), 0x40, 0x40);
    FakeTask* now = test::List(service, std::make_unique<FakeTask>(), 0, 0x20);
    ASSERT_TRUE(later && now);
    clock_.AdvanceMilliseconds(8);
    run();
    EXPECT_TRUE(later->updates.empty()) << "a task due after the wrap is not fired early";
    EXPECT_EQ(now->updates.size(), 1u);
    EXPECT_EQ(now->DueTime(), 0x10u);
    clock_.SetMilliseconds(0x18);
    run();
    EXPECT_EQ(now->updates.size(), 2u) << "a task due before the wrap does not wait 49 days";
    EXPECT_TRUE(later->updates.empty());
    clock_.SetMilliseconds(0x30);
    run();
    EXPECT_EQ(later->updates.size(), 1u);
  }
}

TEST_F(TimerServiceTest, CatchUpIsBoundedAfterALongStall) {
  FakeTask* task = AddTask(10, 10, 0);
  clock_.AdvanceMilliseconds(3600 * 1000);
  service_.RunDueRepeating(0);
  EXPECT_EQ(task->updates.size(), 1u + kMaxCatchUpUpdates);
  EXPECT_EQ(task->DueTime(), clock_.NowNanoseconds() / 1000000 + 10)
      << "the rest of the stall is dropped";
  service_.RunDueRepeating(0);
  EXPECT_EQ(task->updates.size(), 1u + kMaxCatchUpUpdates) << "not due again until one interval on";
}

TEST_F(TimerServiceTest, PostponeCountsFromNowAcrossTheWrap) {
  clock_.SetMilliseconds(0xFFFFFF00u);
  FakeTask* task = AddTask(0, 0, 0);
  service_.Postpone(task->Handle(), 0x200);
  EXPECT_EQ(task->DueTime(), 0x100u);
  service_.RunDue(0);
  EXPECT_TRUE(task->updates.empty()) << "due after the wrap, not at once";
  clock_.SetMilliseconds(0x100);
  service_.RunDue(0);
  EXPECT_EQ(task->updates.size(), 1u);
}

// A pause and its resume are the path tasks' test, which moves a sprite on after them.
TEST_F(TimerServiceTest, RemovalStopsAtOnceAndDeletesAtTheNextRunEvenWhilePaused) {
  FakeTask* task = AddTask(500, 0, 0, kTaskKindSpriteEffect);
  FakeTask* slot = task;
  task->SetOwnerSlot(&slot);
  uint32_t handle = task->Handle();
  ASSERT_TRUE(service_.RemoveByHandle(handle));
  EXPECT_EQ(task->stops, 1);
  EXPECT_EQ(slot, nullptr);
  EXPECT_TRUE(service_.Contains(handle)) << "still listed until the next run";
  EXPECT_EQ(service_.FindByHandle(handle), nullptr);
  EXPECT_FALSE(service_.RemoveByHandle(handle)) << "a removed task is not stopped twice";
  EXPECT_EQ(deaths_, 0);
  service_.RunDue(0);
  EXPECT_EQ(deaths_, 1);
  EXPECT_FALSE(service_.Contains(handle));

  FakeTask* paused = AddTask(0, 0, 0);
  ASSERT_TRUE(service_.PauseTask(paused->Handle()));
  service_.RunDue(0);
  EXPECT_TRUE(paused->updates.empty());
  ASSERT_TRUE(service_.RemoveByHandle(paused->Handle()));
  service_.RunDue(0);
  EXPECT_EQ(deaths_, 2) << "a paused task goes too";
}

TEST_F(TimerServiceTest, StaleAndForgedHandlesFindNothing) {
  FakeTask* task = AddTask(0, 0, 0);
  uint32_t handle = task->Handle();
  task->result = 1;
  service_.RunDue(0);
  ASSERT_EQ(deaths_, 1);
  FakeTask* next = AddTask(0, 0, 0);
  EXPECT_NE(next->Handle(), handle) << "handles are not reused";
  for (uint32_t bad : {handle, 0u, 0xDEADBEEFu}) {
    EXPECT_EQ(service_.FindByHandle(bad), nullptr);
    EXPECT_FALSE(service_.Contains(bad));
    EXPECT_FALSE(service_.RemoveByHandle(bad));
    EXPECT_FALSE(service_.PauseTask(bad));
  }
  EXPECT_EQ(next->stops, 0);
  EXPECT_EQ(next->PauseCount(), 0u);
}

TEST_F(TimerServiceTest, ClearFromInsideUpdateDeletesAfterThePass) {
  FakeTask* first = AddTask(0, 0, 0);
  FakeTask* clearer = AddTask(0, 0, 0);
  FakeTask* last = AddTask(0, 0, 0);
  FakeTask* lastSlot = last;
  last->SetOwnerSlot(&lastSlot);
  FakeTask* addedAfter = nullptr;
  clearer->onUpdate = [&](uint32_t) {
    service_.Clear();
    addedAfter = test::List(service_, std::make_unique<FakeTask>(kTaskKindNone, &deaths_));
    return 0;
  };
  int firstStops = -1;
  first->onDestroy = [&] { firstStops = first->stops; };
  service_.RunDue(0);
  EXPECT_EQ(firstStops, 1) << "every task is stopped before it goes";
  EXPECT_EQ(lastSlot, nullptr);
  EXPECT_EQ(deaths_, 3) << "the three cleared tasks are gone after the pass";
  ASSERT_EQ(service_.Count(), 1u) << "a task added after the clear stays";
  EXPECT_EQ(addedAfter->updates.size(), 1u) << "and the same pass reaches it";
}

TEST_F(TimerServiceTest, ChangesFromInsideUpdate) {
  FakeTask* remover = AddTask(0, 0, 0);
  FakeTask* victim = AddTask(0, 0, 0);
  FakeTask* self = AddTask(0, 0, 0);
  FakeTask* added = nullptr;
  remover->onUpdate = [&](uint32_t) {
    EXPECT_TRUE(service_.RemoveByHandle(victim->Handle()));
    added = test::List(service_, std::make_unique<FakeTask>(kTaskKindNone, &deaths_));
    service_.RunDue(0);  // a nested pass does nothing
    return 0;
  };
  self->onUpdate = [&](uint32_t) {
    EXPECT_TRUE(service_.RemoveByHandle(self->Handle()));
    return 0;
  };
  service_.RunDue(0);
  EXPECT_EQ(remover->updates.size(), 1u);
  EXPECT_EQ(deaths_, 2) << "the victim and the task that removed itself";
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->updates.size(), 1u);
  EXPECT_EQ(service_.Count(), 2u);
}

TEST_F(TimerServiceTest, TaskDestructorMayCallBack) {
  FakeTask* dying = AddTask(0, 0, 0);
  int heirStops = -1;
  dying->result = 1;
  dying->onDestroy = [&] {
    auto owned = std::make_unique<FakeTask>(kTaskKindNone, &deaths_);
    FakeTask* heir = owned.get();
    heir->onDestroy = [&heirStops, heir] { heirStops = heir->stops; };
    EXPECT_EQ(service_.Add(std::move(owned), 0, 0, 0), kTaskAdded);
    service_.Clear();
  };
  service_.RunDue(0);
  EXPECT_EQ(heirStops, 1);
  EXPECT_EQ(service_.Count(), 0u);
  EXPECT_EQ(deaths_, 2);
}

TEST_F(TimerServiceTest, DestructorDeletesWithoutStopAndLeavesOwnersAlone) {
  int stopsAtDeath = -1;
  FakeTask* slot = nullptr;
  {
    TimerService service;
    auto owned = std::make_unique<FakeTask>();
    FakeTask* task = owned.get();
    slot = task;
    task->SetOwnerSlot(&slot);
    task->onDestroy = [&stopsAtDeath, task] { stopsAtDeath = task->stops; };
    ASSERT_EQ(service.Add(std::move(owned), 0, 0, 0), kTaskAdded);
  }
  EXPECT_EQ(stopsAtDeath, 0);
  EXPECT_NE(slot, nullptr) << "owners may be gone at shut-down, so their variables are not written";
}

using TimedTaskTest = TimerServiceTest;

TEST_F(TimedTaskTest, NestedPauseMovesTheDueTimeByTheWholeSpan) {
  FakeTask* task = test::List(service_, std::make_unique<FakeTask>(), 100);
  ASSERT_NE(task, nullptr);
  ASSERT_EQ(task->DueTime(), 1100u);
  EXPECT_EQ(task->Pause(1010), 1u);
  EXPECT_EQ(task->Pause(1020), 2u);
  EXPECT_EQ(task->Resume(1030), 1u);
  EXPECT_EQ(task->DueTime(), 1100u) << "still paused";
  EXPECT_EQ(task->PauseTime(), 1010u) << "the outermost pause is the one recorded";
  EXPECT_EQ(task->Resume(1060), 50u) << "the span since the first pause";
  EXPECT_EQ(task->Resume(5000), 0u) << "an unmatched resume changes nothing";
  EXPECT_EQ(task->DueTime(), 1150u);
  EXPECT_EQ(task->Pause(1000), 1u) << "a later pause still counts from 0";
}

// The slot cleared at deletion is the removal and clear tests'.
TEST_F(TimedTaskTest, AClearedOwnersPointerIsNotWrittenAgain) {
  FakeTask* mine = new FakeTask;
  FakeTask* kept = mine;
  mine->SetOwnerSlot(&mine);
  mine->ClearOwnerSlot();
  EXPECT_EQ(mine, nullptr);
  mine = kept;  // the owner's variable is in use again
  delete kept;
  EXPECT_EQ(mine, kept) << "a cleared slot is not written again";
}

}  // namespace
}  // namespace bw
