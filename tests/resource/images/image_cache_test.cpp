#include "resource/images/image_cache.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/process/machine.h"
#include "resource/images/image_loader_manager.h"

namespace bw {
namespace {

constexpr uint64_t kMb = 1048576;

// A picture of a given byte size that tells when it dies.
class TrackedImage : public DecodedImage {
 public:
  TrackedImage(uint32_t bytes, int* deaths) : DecodedImage({}, bytes), deaths_(deaths) {}
  ~TrackedImage() override { ++*deaths_; }

 private:
  int* deaths_;
};

class ImageCacheTest : public ::testing::Test {
 protected:
  // A new picture handed to the cache; the maker's own reference is dropped at once, so the
  // cache's is the only one left.
  int Put(const std::string& key, uint32_t bytes) {
    auto* image = new TrackedImage(bytes, &deaths_);
    int rc = cache_.Insert(image, key);
    image->Release();
    return rc;
  }
  using Keys = std::vector<std::string>;

  int deaths_ = 0;
  ImageCache cache_;
};

TEST_F(ImageCacheTest, EvictsLeastRecentlyUsedFirstWhenOverBudget) {
  cache_.SetBudget(300);
  ASSERT_EQ(Put("a", 100), kCacheInserted);
  ASSERT_EQ(Put("b", 100), kCacheInserted);
  ASSERT_EQ(Put("c", 100), kCacheInserted);
  // A hit makes "a" the most recent; "b" is then the oldest.
  DecodedImage* a = cache_.Find("a");
  ASSERT_NE(a, nullptr);
  a->Release();
  EXPECT_EQ(cache_.GetKeysByRecency(), (Keys{"a", "c", "b"}));

  ASSERT_EQ(Put("d", 150), kCacheInserted);
  EXPECT_EQ(cache_.GetKeysByRecency(), (Keys{"d", "a"}));
  EXPECT_EQ(cache_.GetUsedBytes(), 250u);
  EXPECT_EQ(deaths_, 2) << "evicted pictures lose the cache's reference";

  // A name already cached only moves to the front; the new picture is not kept.
  auto* again = new TrackedImage(10, &deaths_);
  EXPECT_EQ(cache_.Insert(again, "a"), kCacheAlreadyCached);
  EXPECT_EQ(cache_.GetKeysByRecency(), (Keys{"a", "d"}));
  again->Release();
  EXPECT_EQ(deaths_, 3);

  EXPECT_EQ(cache_.EvictLeastRecent(5), 2u);
  EXPECT_EQ(cache_.GetUsedBytes(), 0u);
}

TEST(ImageCacheHashTest, TakesBytesAsSigned) {
  // Byte 0xE0 enters as -32: one step gives (-32 * 1025) ^ ((-32 * 1025) >> 6) in 32 bits.
  uint32_t t = static_cast<uint32_t>(-32) * 1025u;
  EXPECT_EQ(ImageCacheHash("\xE0"), NameHashFinish(t ^ (t >> 6)));
  EXPECT_EQ(ImageCacheHash(""), 0xFFFFFFFFu) << "a hash of 0 is never answered";
}

TEST(CacheBudgetTest, FollowsPhysicalMemoryIn64Bits) {
  // {asked MB (-1: by memory), physical MB, budget MB}; capped at half the memory; 6 GB of a
  // 64 GB machine is past 32 bits both in megabytes x 2^20 and as the budget.
  for (auto [asked, memory, budget] : {std::tuple(-1, 96, 0),
                                       {-1, 128, 10},
                                       {-1, 1024, 80},
                                       {1000, 256, 128},
                                       {0, 256, 0},
                                       {6144, 64 * 1024, 6144}}) {
    EXPECT_EQ(ComputeCacheBudget(asked, memory * kMb), budget * kMb) << asked << " of " << memory;
  }
}

TEST(CacheBudgetTest, TheManagerAsksTheMachineItRunsOn) {
  host::MachineFacts facts;
  facts.physicalMemoryBytes = 256 * kMb;
  host::FixedMachine small(facts);
  ScopedGlobal<host::Machine> installed(&small);
  ImageLoaderManager manager;
  manager.SetCacheBudget(-1);
  EXPECT_EQ(manager.GetCache().GetBudget(), 30 * kMb) << "picked by the machine's memory";
}

}  // namespace
}  // namespace bw
