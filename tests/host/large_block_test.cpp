// Label: optimised
#include "host/large_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace bw::host {
namespace {

constexpr size_t kLargePage = size_t{2} << 20;

// Sizes on each side of the ways a block is had: the heap, one mapping in whole large pages (an
// 800 x 600 picture, a 1280 x 720 one) and one in small pages past its last large page.
const std::vector<size_t> kSizes = {
    1, 4096, 345000, 1229312, 1920007, kLargePage, kLargePage + 99, 3686400, 9u << 20};

size_t Mappings() {
  std::ifstream maps("/proc/self/maps");
  return size_t(
      std::count(std::istreambuf_iterator<char>(maps), std::istreambuf_iterator<char>(), '\n'));
}

// How many of addresses lie in some mapping of the process.
size_t StillMapped(const std::vector<uintptr_t>& addresses) {
  std::ifstream maps("/proc/self/maps");
  std::vector<std::pair<uintptr_t, uintptr_t>> ranges;
  for (std::string line; std::getline(maps, line);) {
    const size_t dash = line.find('-');
    if (dash == std::string::npos) continue;
    ranges.emplace_back(std::stoull(line.substr(0, dash), nullptr, 16),
                        std::stoull(line.substr(dash + 1), nullptr, 16));
  }
  return size_t(std::count_if(addresses.begin(), addresses.end(), [&](uintptr_t at) {
    return std::any_of(ranges.begin(), ranges.end(),
                       [at](const auto& r) { return at >= r.first && at < r.second; });
  }));
}

TEST(LargeBlock, EveryByteIsUsableAndZeroWhenAskedWhereverTheBlockComesFrom) {
  for (size_t size : kSizes) {
    SCOPED_TRACE(size);
    // What an earlier block left in memory the heap hands out again must not show through.
    LargeBlock dirty = AllocateLargeBlock(size, false);
    ASSERT_TRUE(dirty);
    std::memset(dirty.get(), 0xAB, size);
    dirty.reset();
    LargeBlock block = AllocateLargeBlock(size, true);
    ASSERT_TRUE(block);
    EXPECT_EQ(std::count(block.get(), block.get() + size, 0), ptrdiff_t(size));
    std::memset(block.get(), 0x5A, size);
    EXPECT_EQ(block[size - 1], 0x5A);
    if (MapsOnItsOwn(size)) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(block.get()) % kLargePage, 0u);
    }
  }
  // Too small for a large page to pay, or none to map at all.
  EXPECT_FALSE(MapsOnItsOwn(0));
  EXPECT_FALSE(MapsOnItsOwn(345000));
  EXPECT_FALSE(MapsOnItsOwn(SIZE_MAX));
}

TEST(LargeBlock, BlocksGoneLeaveNoMappingBehind) {
  // A scene's pictures come and go all game long: each block gives back all it mapped, the
  // alignment's trimmings included.
  for (int i = 0; i < 20; ++i) {
    for (size_t size : kSizes) (void)AllocateLargeBlock(size, i % 2 == 0);
  }
  const size_t before = Mappings();
  for (int i = 0; i < 500; ++i) {
    std::vector<LargeBlock> blocks;
    for (size_t size : kSizes) blocks.push_back(AllocateLargeBlock(size, i % 2 == 0));
    for (const LargeBlock& block : blocks) ASSERT_TRUE(block);
  }
  EXPECT_LE(Mappings(), before + 4);
}

TEST(LargeBlock, BlocksGivenBackServeTheNextOfTheirLengthAndWhatIsKeptStaysBounded) {
  // An 800 x 600 picture of 32-bit pixels: a frame presented, a scene's picture.
  constexpr size_t kFrame = 800 * 600 * 4;
  // Address-sanitized builds take every block from the heap, which keeps nothing for us.
  if (!MapsOnItsOwn(kFrame)) GTEST_SKIP() << "blocks come from the heap in this build";
  LargeBlock first = AllocateLargeBlock(kFrame, false);
  ASSERT_TRUE(first);
  std::memset(first.get(), 0xC3, kFrame);
  first.reset();
  // Kept, not mapped again: what its last user left is still there.
  LargeBlock again = AllocateLargeBlock(kFrame, false);
  ASSERT_TRUE(again);
  EXPECT_EQ(std::tuple(again[0], again[kFrame - 1]), std::tuple(0xC3, 0xC3));
  const uint8_t* kept = again.get();
  again.reset();
  // A block asked zeroed is served from the kept ones too, cleared.
  LargeBlock zeroed = AllocateLargeBlock(kFrame, true);
  ASSERT_TRUE(zeroed);
  EXPECT_EQ(zeroed.get(), kept);
  EXPECT_EQ(std::count(zeroed.get(), zeroed.get() + kFrame, 0), ptrdiff_t(kFrame));
  zeroed.reset();
  // A whole scene of large pictures given back at once keeps only a few of them mapped.
  std::vector<LargeBlock> scene;
  std::vector<uintptr_t> addresses;
  for (int i = 0; i < 40; ++i) {
    scene.push_back(AllocateLargeBlock(3686400, i % 2 == 0));
    ASSERT_TRUE(scene.back());
    addresses.push_back(reinterpret_cast<uintptr_t>(scene.back().get()));
  }
  EXPECT_EQ(StillMapped(addresses), 40u);
  scene.clear();
  EXPECT_LE(StillMapped(addresses), 12u);
}

}  // namespace
}  // namespace bw::host
