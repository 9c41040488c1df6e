#include "platform/timed_task.h"

#include <gtest/gtest.h>

#include <memory>

#include "host/clock.h"
#include "platform/timer_service.h"
#include "support/listed_task.h"

namespace bw {
namespace {

class IdleTask : public TimedTask {
 public:
  int32_t Update(uint32_t) override { return 0; }
  void Stop() override {}
};

class TimedTaskTest : public testing::Test {
 protected:
  host::VirtualClock clock_{1000};
  ScopedGlobal<host::ClockSource> use_{&clock_};
  TimerService service_;
};

TEST_F(TimedTaskTest, NestedPauseMovesTheDueTimeByTheWholeSpan) {
  IdleTask* task = test::List(service_, std::make_unique<IdleTask>(), 100);
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

TEST_F(TimedTaskTest, DestructorClearsTheOwnersPointerOnlyOnce) {
  IdleTask* owned = new IdleTask;
  owned->SetOwnerSlot(&owned);
  delete owned;
  EXPECT_EQ(owned, nullptr);

  IdleTask* mine = new IdleTask;
  IdleTask* kept = mine;
  mine->SetOwnerSlot(&mine);
  mine->ClearOwnerSlot();
  EXPECT_EQ(mine, nullptr);
  mine = kept;  // the owner's variable is in use again
  delete kept;
  EXPECT_EQ(mine, kept) << "a cleared slot is not written again";
}

}  // namespace
}  // namespace bw
