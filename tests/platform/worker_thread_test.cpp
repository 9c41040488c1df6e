// Label: threads
#include "platform/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>

namespace bw {
namespace {

// Reports each start, then sleeps until it is told to stop.
struct SleepingBody {
  void Loop() {
    ++runs;
    entered.Set();
    while (owner->KeepRunning()) owner->WaitForStopRequest(kInfinite);
  }
  WorkerThread* owner = nullptr;
  std::atomic<int> runs{0};
  Event entered;
};

TEST(WorkerThread, StartsStopsAndRestarts) {
  WorkerThread worker;
  EXPECT_EQ(worker.Stop(), kThreadStopped) << "nothing to stop yet";
  SleepingBody body;
  body.owner = &worker;
  ThreadDelegate delegate = ThreadDelegate::Bind(&body, &SleepingBody::Loop);
  ASSERT_EQ(worker.StartWithDelegate(delegate), kThreadStarted);
  EXPECT_TRUE(worker.IsRunning()) << "Start returns once the thread runs";
  body.entered.Wait(kInfinite);
  uint32_t firstId = worker.GetThreadId();
  // Both starts take the worker's lock before stopping the body, which needs it to end.
  ASSERT_EQ(worker.Start(), kThreadStarted);
  body.entered.Wait(kInfinite);
  EXPECT_EQ(body.runs.load(), 2);
  EXPECT_NE(worker.GetThreadId(), firstId);
  ASSERT_EQ(worker.StartWithDelegate(delegate), kThreadStarted);
  body.entered.Wait(kInfinite);
  EXPECT_EQ(worker.Stop(), kThreadStopped);
  EXPECT_EQ(body.runs.load(), 3);
  EXPECT_FALSE(worker.IsRunning());
  EXPECT_FALSE(worker.KeepRunning());
  EXPECT_EQ(worker.GetThreadId(), kNoThread);
}

TEST(WorkerThread, BodyCannotStopOrRestartItself) {
  class SelfStopping : public WorkerThread {
   public:
    ~SelfStopping() override { Stop(); }
    void Run() override {
      stopResult = Stop();
      keptRunning = KeepRunning();
      startResult = Start();
    }
    uint32_t stopResult = 99;
    uint32_t startResult = 99;
    bool keptRunning = true;
  };
  SelfStopping worker;
  ASSERT_EQ(worker.Start(), kThreadStarted);
  EXPECT_EQ(worker.Stop(), kThreadStopped);
  EXPECT_EQ(worker.stopResult, kThreadStopFromItself);
  EXPECT_FALSE(worker.keptRunning) << "the stop request is still raised";
  EXPECT_EQ(worker.startResult, kThreadNotCreated);
}

TEST(WorkerThreadDelegate, LastCopyDeletesAnOwnedTarget) {
  struct Tracked {
    ~Tracked() { ++*deaths; }
    void Touch() { ++touches; }
    int* deaths;
    std::atomic<int> touches{0};
  };
  int deaths = 0;
  Tracked* raw = new Tracked{&deaths};
  {
    ThreadDelegate owned =
        ThreadDelegate::BindOwned(std::unique_ptr<Tracked>(raw), &Tracked::Touch);
    WorkerThread worker;
    ASSERT_EQ(worker.StartWithDelegate(owned), kThreadStarted);
    EXPECT_EQ(worker.Stop(), kThreadStopped);
    EXPECT_EQ(raw->touches.load(), 1);
    EXPECT_EQ(owned.ShareCount(), 2) << "the worker keeps its own copy";
    worker.SetDelegate(ThreadDelegate());
    EXPECT_EQ(deaths, 0);
  }
  EXPECT_EQ(deaths, 1);
  Tracked kept{&deaths};
  { ThreadDelegate bound = ThreadDelegate::Bind(&kept, &Tracked::Touch); }
  EXPECT_EQ(deaths, 1) << "a bound target is not the delegate's to delete";
}

}  // namespace
}  // namespace bw
