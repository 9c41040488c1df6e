// Label: optimised
#include "script/guest_memory.h"

#include <gtest/gtest.h>

namespace bw {
namespace {

TEST(GuestMemory, AccessOutsideTheArenaFaultsAndTouchesNothing) {
  GuestMemory mem(1 << 20);
  uint32_t a = mem.Allocate(8);
  ASSERT_NE(a, 0u);
  uint32_t v = 0;
  EXPECT_FALSE(mem.Read32(GuestMemory::kNullPage - 2, v)) << "a word straddling the null page";
  EXPECT_TRUE(mem.TakeFault());
  EXPECT_FALSE(mem.Write32(0xFFFFFFFE, 1)) << "a word wrapping past 2^32";
  EXPECT_FALSE(mem.Fill(a, 0, 0x7FFFFFFF));
  EXPECT_TRUE(mem.TakeFault());
  // Unaligned words are fine inside the arena.
  ASSERT_TRUE(mem.Write32(a + 1, 0x11223344));
  ASSERT_TRUE(mem.Read32(a + 1, v));
  EXPECT_EQ(v, 0x11223344u);
  EXPECT_FALSE(mem.Faulted());
}

TEST(GuestMemory, BlocksComeBackZeroedAndMerged) {
  GuestMemory mem(1 << 20);
  uint32_t a = mem.Allocate(16), b = mem.Allocate(16), c = mem.Allocate(16);
  ASSERT_TRUE(a && b && c);
  ASSERT_TRUE(mem.Write32(a, 7));
  mem.Free(a);
  mem.Free(b);
  uint32_t big = mem.Allocate(32);  // fits only in the merged range of a and b
  EXPECT_EQ(big, a);
  uint32_t v = 1;
  ASSERT_TRUE(mem.Read32(big, v));
  EXPECT_EQ(v, 0u);
  EXPECT_EQ(mem.Allocate(2u << 20), 0u) << "larger than the arena";
}

TEST(GuestMemory, CStringsAreBounded) {
  GuestMemory mem(1 << 20);
  const uint8_t text[] = {'A', 'B', 'C'};
  uint32_t s = mem.AllocateCopy(text, true);
  std::string out;
  ASSERT_TRUE(mem.ReadCString(s, out, 3));
  EXPECT_EQ(out, "ABC");
  EXPECT_FALSE(mem.ReadCString(s, out, 2)) << "longer than the limit";
}

TEST(HandleTable, StaleForgedAndMistypedHandlesAreNull) {
  HandleTable table;
  int x = 0, y = 0;
  uint32_t h = table.Add(1, &x);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(table.Get(h, 1), &x);
  EXPECT_EQ(table.Get(h, 2), nullptr) << "wrong type";
  EXPECT_EQ(table.Get(h & 0x7FFFFFFF, 1), nullptr) << "forged: a guest address";
  EXPECT_TRUE(table.Remove(h));
  uint32_t h2 = table.Add(1, &y);  // reuses the slot with a new generation
  EXPECT_NE(h2, h);
  EXPECT_EQ(table.Get(h, 1), nullptr) << "stale handle";
  EXPECT_EQ(table.Get(h2, 1), &y);
}

}  // namespace
}  // namespace bw
