// Label: threads
// Packs and the file slot pool read from several threads at once.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "lib/vfa/vfa_writer.h"
#include "platform/stream.h"
#include "resource/file_slot_pool.h"
#include "resource/packs/file_system_manager.h"
#include "resource/packs/vfa_archive.h"
#include "support/game_folder.h"
#include "support/spin_until.h"
#include "support/vector_reads.h"

namespace bw {
namespace {

// The frame thread and the file-slot pool's worker read members of one pack at the same time.
TEST(VfaThreads, ReadsFromTwoThreadsGetTheirOwnMembers) {
  std::vector<tools::VfaMemberSource> members;
  std::mt19937 rng(5);
  for (int i = 0; i < 6; ++i) {
    std::vector<uint8_t> data(200 + 300 * i);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    members.push_back({"m" + std::to_string(i) + ".bin", data});
  }
  test::GameFolder game;
  ASSERT_TRUE(game.WritePack("DATA.VFA", members));
  const auto path = game.dir().path() / "DATA.VFA";
  int error = -1;
  Archive* archive = OpenVfaPack(path.c_str(), host::HostFile(), &error);
  ASSERT_NE(archive, nullptr) << error;

  auto reader = [&](uint32_t first, int* wrong) {
    for (int round = 0; round < 3000; ++round) {
      for (uint32_t i = first; i < members.size(); i += 2) {
        std::vector<uint8_t> got;
        if (archive->ReadByIndex(i, test::AllocateVector, &got, nullptr, nullptr) != kArchiveOk ||
            got != members[i].data) {
          ++*wrong;
        }
        int streamError = 0;
        Stream* stream = archive->OpenStreamByIndex(i, &streamError);
        if (stream) {
          stream->Release();
        } else {
          ++*wrong;
        }
      }
    }
  };
  int wrong[2] = {};
  std::thread other(reader, 1, &wrong[1]);
  reader(0, &wrong[0]);
  other.join();
  EXPECT_EQ(wrong[0] + wrong[1], 0) << "reads that got another read's bytes";
  archive->Release();
}

// Serves "data:" + name for every name, but holds load number k (from 0) until k loads are
// allowed, so the worker stops where the test wants it.
class GatedFiles : public FileSystemManager {
 public:
  int LoadFile(std::string_view name, ArchiveAllocateFunc allocate, ArchiveReleaseFunc,
               void* argument, std::string* path) override {
    std::unique_lock<std::mutex> lock(mutex_);
    size_t number = entered_++;
    requested_.emplace_back(name);
    changed_.notify_all();
    changed_.wait(lock, [&] { return number < allowed_; });
    std::string data = "data:" + std::string(name);
    void* buffer = allocate(static_cast<uint32_t>(data.size()), argument, nullptr);
    std::memcpy(buffer, data.data(), data.size());
    if (path) *path = name;
    return kFsOk;
  }
  void Allow(size_t loads) {
    std::lock_guard<std::mutex> lock(mutex_);
    allowed_ = loads;
    changed_.notify_all();
  }
  // Succeeds once the worker has asked for load number k: every slot before it is loaded.
  testing::AssertionResult WaitEntered(size_t k) {
    return test::SpinUntil(
        [&] {
          std::lock_guard<std::mutex> lock(mutex_);
          return entered_ > k;
        },
        "the worker's load " + std::to_string(k));
  }
  std::vector<std::string> Requested() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requested_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t entered_ = 0;                  // guarded by mutex_
  size_t allowed_ = 0;                  // guarded by mutex_
  std::vector<std::string> requested_;  // guarded by mutex_
};

class FileSlotPoolThreadTest : public ::testing::Test {
 protected:
  void TearDown() override {
    files_.Allow(SIZE_MAX);  // a worker still held must be able to end
    pool_.Free();
  }
  std::string SlotText(uint32_t slot) {
    const void* data = pool_.GetSlotData(slot);
    return data ? std::string(static_cast<const char*>(data), pool_.GetSlotSize(slot)) : "busy";
  }

  GatedFiles files_;
  ScopedGlobal<FileSystemManager> publish_{&files_};
  FileSlotPool pool_;
  const char* names_[3] = {"a.wgx", "b.wgx", "c.wgx"};
};

TEST_F(FileSlotPoolThreadTest, SlotsStayBusyUntilTheWorkerHasLoadedThem) {
  ASSERT_EQ(pool_.Allocate(4), kSlotOk);
  ASSERT_EQ(pool_.SetFolder("CG"), kSlotOk);
  ASSERT_EQ(pool_.StartLoading(1, 3, names_), kSlotOk);
  ASSERT_TRUE(files_.WaitEntered(0));
  for (uint32_t slot : {1u, 2u, 3u}) {
    EXPECT_EQ(pool_.GetSlotData(slot), nullptr) << slot;
    EXPECT_EQ(pool_.GetSlotSize(slot), 0u) << slot;
  }
  // A second batch while this one loads changes nothing.
  const char* other[1] = {"x.wgx"};
  EXPECT_EQ(pool_.StartLoading(0, 1, other), kSlotWorkerBusy);
  EXPECT_FALSE(pool_.IsSlotBusy(0));

  files_.Allow(1);
  ASSERT_TRUE(files_.WaitEntered(1));
  EXPECT_EQ(SlotText(1), "data:CG\\a.wgx");
  EXPECT_EQ(SlotText(2), "busy");
  // Closing a range that runs past the end: slot 1 closes, 2 and 3 are still the worker's.
  EXPECT_EQ(pool_.CloseRange(1, 100), 2);
  EXPECT_EQ(pool_.GetSlotSize(1), 0u);

  files_.Allow(3);
  pool_.WaitIdle();  // true, or false when the worker was already done
  EXPECT_FALSE(pool_.WaitIdle()) << "nothing runs any more";
  EXPECT_EQ(SlotText(3), "data:CG\\c.wgx");
  EXPECT_EQ(files_.Requested(), (std::vector<std::string>{"CG\\a.wgx", "CG\\b.wgx", "CG\\c.wgx"}));
  EXPECT_EQ(pool_.CloseRange(0, 4), 0);
  EXPECT_EQ(pool_.GetSlotData(3), nullptr);
}

TEST_F(FileSlotPoolThreadTest, AStopRequestEndsTheBatchEarly) {
  ASSERT_EQ(pool_.Allocate(3), kSlotOk);
  std::string copied[3] = {"one", "two", "three"};
  const char* names[3] = {copied[0].c_str(), copied[1].c_str(), copied[2].c_str()};
  ASSERT_EQ(pool_.StartLoading(0, 3, names), kSlotOk);
  copied[1] = "overwritten by the caller";  // the pool keeps its own copies
  files_.Allow(1);
  ASSERT_TRUE(files_.WaitEntered(1));
  pool_.RequestStop();
  files_.Allow(2);
  pool_.WaitIdle();
  EXPECT_EQ(SlotText(1), "data:two");
  EXPECT_TRUE(pool_.IsSlotBusy(2)) << "a slot the worker never reached stays busy";
  EXPECT_EQ(pool_.CloseRange(0, 3), 1);

  // A new batch takes the slots back.
  files_.Allow(SIZE_MAX);
  const char* again[1] = {"four"};
  ASSERT_EQ(pool_.StartLoading(2, 1, again), kSlotOk);
  pool_.WaitIdle();
  EXPECT_EQ(SlotText(2), "data:four");
}

// A batch past the last slot, closing without slots and freeing by a count of 0 are the file
// natives' test.
TEST(FileSlotPoolTest, RefusesBatchesOutsideTheSlotsAndCountsAbove16Bits) {
  FileSlotPool pool;
  const char* names[2] = {"a", "b"};
  EXPECT_EQ(pool.StartLoading(0, 1, names), kSlotBadBatch) << "no slots";
  EXPECT_EQ(pool.Allocate(65536), kSlotOutOfMemory);
  ASSERT_EQ(pool.Allocate(kMaxSlots), kSlotOk);
  ASSERT_EQ(pool.Allocate(4), kSlotOk);
  EXPECT_EQ(pool.StartLoading(0, 0, names), kSlotBadBatch);
  EXPECT_EQ(pool.StartLoading(0, 1, nullptr), kSlotBadBatch);
  EXPECT_EQ(pool.GetSlotData(4), nullptr);
}

}  // namespace
}  // namespace bw
