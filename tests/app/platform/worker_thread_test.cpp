#include "app/platform/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>

namespace bw {
namespace {

// A body that reports each start and then sleeps until it is told to stop.
class SleepingWorker : public WorkerThread {
 public:
  ~SleepingWorker() override { Stop(); }
  void Run() override {
    ++runs;
    entered.Set();
    while (KeepRunning()) WaitForStopRequest(kInfinite);
  }
  std::atomic<int> runs{0};
  Event entered;
};

TEST(WorkerThread, StopWithoutThreadAnswersStopped) {
  WorkerThread worker;
  EXPECT_EQ(worker.Stop(), kThreadStopped);
  EXPECT_FALSE(worker.IsRunning());
  EXPECT_EQ(worker.GetThreadId(), kNoThread);
}

TEST(WorkerThread, RunsUntilStopped) {
  SleepingWorker worker;
  ASSERT_EQ(worker.Start(), kThreadStarted);
  EXPECT_TRUE(worker.IsRunning()) << "Start returns once the body runs";
  EXPECT_TRUE(worker.KeepRunning());
  EXPECT_NE(worker.GetThreadId(), kNoThread);
  EXPECT_NE(worker.GetThreadId(), CurrentThreadId());
  worker.entered.Wait(kInfinite);
  EXPECT_EQ(worker.Stop(), kThreadStopped);
  EXPECT_FALSE(worker.IsRunning());
  EXPECT_FALSE(worker.KeepRunning());
  EXPECT_EQ(worker.runs.load(), 1);
}

TEST(WorkerThread, SecondStartRestartsTheBody) {
  SleepingWorker worker;
  ASSERT_EQ(worker.Start(), kThreadStarted);
  worker.entered.Wait(kInfinite);
  uint32_t firstId = worker.GetThreadId();
  // Start stops the running body while it holds its own lock; the ending body needs that lock.
  ASSERT_EQ(worker.Start(), kThreadStarted);
  worker.entered.Wait(kInfinite);
  EXPECT_EQ(worker.runs.load(), 2);
  EXPECT_TRUE(worker.IsRunning());
  EXPECT_NE(worker.GetThreadId(), firstId);
}

TEST(WorkerThread, RestartWithDelegateHoldingTheLockDeeper) {
  struct Body {
    void Loop() {
      ++runs;
      entered.Set();
      while (owner->KeepRunning()) owner->WaitForStopRequest(kInfinite);
    }
    WorkerThread* owner = nullptr;
    std::atomic<int> runs{0};
    Event entered;
  };
  WorkerThread worker;
  Body body;
  body.owner = &worker;
  ThreadDelegate delegate = ThreadDelegate::Bind(&body, &Body::Loop);
  ASSERT_EQ(worker.StartWithDelegate(delegate), kThreadStarted);
  body.entered.Wait(kInfinite);
  ASSERT_EQ(worker.StartWithDelegate(delegate), kThreadStarted);
  body.entered.Wait(kInfinite);
  EXPECT_EQ(body.runs.load(), 2);
  EXPECT_EQ(worker.Stop(), kThreadStopped);
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

TEST(WorkerThread, StopRequestEndsTheSleepOfTheBody) {
  SleepingWorker worker;
  ASSERT_EQ(worker.Start(), kThreadStarted);
  worker.RequestStop();
  EXPECT_TRUE(worker.WaitForStopRequest(kInfinite));
  EXPECT_EQ(worker.Stop(), kThreadStopped);
  EXPECT_TRUE(worker.WaitForStopRequest(0)) << "a raised request answers at once";
}

struct Tracked {
  explicit Tracked(std::atomic<int>* d) : deaths(d) {}
  ~Tracked() { ++*deaths; }
  void Touch() { ++touches; }
  std::atomic<int>* deaths;
  std::atomic<int> touches{0};
};

TEST(WorkerThreadDelegate, CopiesShareOneHolderThatOwnsItsTarget) {
  std::atomic<int> deaths{0};
  auto target = std::make_unique<Tracked>(&deaths);
  Tracked* raw = target.get();
  {
    ThreadDelegate owned = ThreadDelegate::BindOwned(std::move(target), &Tracked::Touch);
    WorkerThread worker;
    ASSERT_EQ(worker.StartWithDelegate(owned), kThreadStarted);
    EXPECT_EQ(worker.Stop(), kThreadStopped);
    EXPECT_EQ(raw->touches.load(), 1);
    EXPECT_EQ(owned.ShareCount(), 2) << "the worker keeps its own copy";
    worker.SetDelegate(ThreadDelegate());
    EXPECT_EQ(owned.ShareCount(), 1);
    EXPECT_EQ(deaths.load(), 0);
  }
  EXPECT_EQ(deaths.load(), 1) << "the last copy deletes the owned target";

  std::atomic<int> unownedDeaths{0};
  {
    Tracked kept(&unownedDeaths);
    { ThreadDelegate bound = ThreadDelegate::Bind(&kept, &Tracked::Touch); }
    EXPECT_EQ(unownedDeaths.load(), 0) << "a bound target is not the delegate's to delete";
  }
}

}  // namespace
}  // namespace bw
