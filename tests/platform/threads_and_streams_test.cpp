// Label: threads
#include "platform/lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "platform/event.h"
#include "platform/memory_stream.h"
#include "platform/worker_thread.h"
#include "resource/files/file_stream.h"
#include "resource/packs/pack_member_stream.h"
#include "support/failing_allocation.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

TEST(Lock, IsRecursiveKnowsItsOwnerAndAScopedLockReleasesEveryLevelItHolds) {
  Lock lock;
  EXPECT_EQ(lock.Acquire(), 1);
  EXPECT_EQ(lock.Acquire(), 2);
  bool heldElsewhere = true;
  std::thread([&] { heldElsewhere = lock.IsHeldByCurrentThread(); }).join();
  EXPECT_FALSE(heldElsewhere);
  lock.Release();
  EXPECT_TRUE(lock.IsHeldByCurrentThread()) << "one level is still held";
  lock.Release();
  EXPECT_FALSE(lock.IsHeldByCurrentThread());
  lock.Release();  // not held: refused
  EXPECT_EQ(lock.Acquire(), 1);
  lock.Release();

  // A scoped lock releases every level it holds.
  struct CountingLock : Lock {
    void Release() override {
      ++releases;
      Lock::Release();
    }
    int releases = 0;
  } counting;
  {
    ScopedLock guard(counting);
    guard.Relock();
    guard.Relock();
  }
  EXPECT_EQ(counting.releases, 3);
  {
    ScopedLock guard(counting);
    guard.Unlock();
    guard.Unlock();
  }
  EXPECT_EQ(counting.releases, 4) << "an unlock at 0 and the end release nothing more";
  EXPECT_FALSE(counting.IsHeldByCurrentThread());
}

// One signal wakes one wait; the signal is used up by it.
TEST(Event, AutoResetConsumesTheSignal) {
  Event event;
  EXPECT_EQ(event.Wait(0), kWaitTimedOut) << "a new event is not signalled";
  event.Set();
  EXPECT_TRUE(event.IsSet());
  EXPECT_EQ(event.Wait(0), kWaitSignalled);
  EXPECT_EQ(event.Wait(0), kWaitTimedOut) << "the first wait consumed the signal";
  EXPECT_TRUE(event.IsSet()) << "IsSet reports the last Set or Reset, not the waits";
  event.Set();
  event.Reset();
  EXPECT_FALSE(event.IsSet());
  EXPECT_EQ(event.Wait(0), kWaitTimedOut) << "a reset takes the signal back";

  // A set from another thread ends an endless wait.
  std::thread setter([&] { event.Set(); });
  EXPECT_EQ(event.Wait(kInfinite), kWaitSignalled);
  setter.join();
}

// Reports each start, then sleeps until it is told to stop.
struct SleepingBody {
  void Loop() {
    ++runs;
    entered.Set();
    while (owner->KeepRunning()) (void)owner->WaitForStopRequest(kInfinite);  // looks again
  }
  WorkerThread* owner = nullptr;
  std::atomic<int> runs{0};
  Event entered;
};

TEST(WorkerThread, StartsStopsAndRestartsButNotFromItsOwnBody) {
  WorkerThread worker;
  EXPECT_EQ(worker.Stop(), kThreadStopped) << "nothing to stop yet";
  SleepingBody body;
  body.owner = &worker;
  ThreadDelegate delegate = ThreadDelegate::Bind(&body, &SleepingBody::Loop);
  ASSERT_EQ(worker.StartWithDelegate(delegate), kThreadStarted);
  EXPECT_TRUE(worker.IsRunning()) << "Start returns once the thread runs";
  ASSERT_EQ(body.entered.Wait(kInfinite), kWaitSignalled);
  uint32_t firstId = worker.GetThreadId();
  // Both starts take the worker's lock before stopping the body, which needs it to end.
  ASSERT_EQ(worker.Start(), kThreadStarted);
  ASSERT_EQ(body.entered.Wait(kInfinite), kWaitSignalled);
  EXPECT_EQ(body.runs.load(), 2);
  EXPECT_NE(worker.GetThreadId(), firstId);
  ASSERT_EQ(worker.StartWithDelegate(delegate), kThreadStarted);
  ASSERT_EQ(body.entered.Wait(kInfinite), kWaitSignalled);
  EXPECT_EQ(worker.Stop(), kThreadStopped);
  EXPECT_EQ(body.runs.load(), 3);
  EXPECT_FALSE(worker.IsRunning());
  EXPECT_FALSE(worker.KeepRunning());
  EXPECT_EQ(worker.GetThreadId(), kNoThread);

  // A body cannot stop or restart its own worker.
  class SelfStopping : public WorkerThread {
   public:
    ~SelfStopping() override { (void)Stop(); }  // stopped already
    void Run() override {
      stopResult = Stop();
      keptRunning = KeepRunning();
      startResult = Start();
    }
    uint32_t stopResult = 99, startResult = 99;
    bool keptRunning = true;
  };
  SelfStopping self;
  ASSERT_EQ(self.Start(), kThreadStarted);
  EXPECT_EQ(self.Stop(), kThreadStopped);
  EXPECT_EQ(self.stopResult, kThreadStopFromItself);
  EXPECT_FALSE(self.keptRunning) << "the stop request is still raised";
  EXPECT_EQ(self.startResult, kThreadNotCreated);
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

StreamRef NewMemoryStream(const std::string& bytes) {
  void* block = AllocGlobalMemory(bytes.size());
  std::memcpy(block, bytes.data(), bytes.size());
  return MakeMemoryStream(block, static_cast<uint32_t>(bytes.size()));
}

std::string ReadAll(Stream& s, uint32_t count) {
  std::string out(count, '\0');
  out.resize(s.Read(out.data(), count));
  return out;
}

// Every stream over "0123456789" must clamp every move the same way: in memory, over a file, and
// a pack member whose first three bytes are held apart, the rest read from offset 5 of the file.
TEST(StreamClamping, MovesStayInsideTheDataOfEveryStream) {
  test::TempDir dir;
  host::HostFile file, packed;
  ASSERT_TRUE(file.Open(dir.WriteFile("s.bin", "0123456789"), host::HostFile::Access::kRead));
  ASSERT_TRUE(packed.Open(dir.WriteFile("p.bin", "ab0123456789zz"), host::HostFile::Access::kRead));
  ASSERT_TRUE(packed.Seek(5, host::HostFile::Origin::kBegin).has_value());
  Ref<FileStream> fileStream = MakeRef<FileStream>();
  ASSERT_EQ(fileStream->Attach(std::move(file)), FileStream::kDone);
  const std::pair<const char*, StreamRef> streams[] = {
      {"memory", NewMemoryStream("0123456789")},
      {"file", std::move(fileStream)},
      {"pack member",
       StreamRef(new PackMemberStream(std::move(packed), 5, 10, {'0', '1', '2'}, false))}};
  for (const auto& [name, stream] : streams) {
    SCOPED_TRACE(name);
    Stream& s = *stream.get();
    EXPECT_EQ(s.GetSize(), 10u);
    EXPECT_EQ(s.Skip(-10), 0u);
    EXPECT_EQ(s.Tell(), 0u) << "skipping back past the start stops at 0";
    EXPECT_EQ(ReadAll(s, 3), "012");

    EXPECT_EQ(s.Skip(100), 0u);
    EXPECT_TRUE(s.IsEof()) << "skipping forward past the end stops at the end";
    EXPECT_EQ(ReadAll(s, 5), "");

    EXPECT_EQ(s.SeekFromEnd(11), 0u);
    EXPECT_EQ(s.Tell(), 0u) << "a distance beyond the size goes to the start";
    EXPECT_EQ(s.SeekFromEnd(3), 0u);
    EXPECT_EQ(ReadAll(s, 100), "789") << "reads stop at the end";

    EXPECT_EQ(s.Seek(2), 0u);
    EXPECT_EQ(s.Skip(3), 0u);
    EXPECT_EQ(ReadAll(s, 2), "56") << "the handle follows the kept position";
  }
}

TEST(EmptyStreams, EveryOperationRefuses) {
  MemoryStream m;
  FileStream f;
  for (auto [s, code] :
       {std::pair<Stream*, uint32_t>{&m, MemoryStream::kNoBlock}, {&f, FileStream::kNoHandle}}) {
    EXPECT_EQ(s->Seek(0), code);
    EXPECT_EQ(s->Skip(-1), code);
    EXPECT_EQ(s->SeekFromEnd(0), code);
    char c;
    EXPECT_EQ(s->Read(&c, 1), 0u);
  }
  EXPECT_EQ(f.Attach(host::HostFile()), FileStream::kAttachFailed) << "a closed handle has no size";
}

TEST(MakeMemoryStream, OutOfMemoryFreesTheBlockItWasGiven) {
  void* block = AllocGlobalMemory(16);
  ASSERT_NE(block, nullptr);
  test::FailingAllocations failing;
  // The leak check at exit catches a block left behind.
  EXPECT_FALSE(MakeMemoryStream(block, 16));
}

}  // namespace
}  // namespace bw
