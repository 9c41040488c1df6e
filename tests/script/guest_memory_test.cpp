// Label: optimised
#include <gtest/gtest.h>

#include <string>

#include "script/bytecode_vm.h"
#include "script/guest_memory.h"

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

TEST(GuestMemory, BlocksComeBackZeroedMergedOrAlignedToFillAndCStringsAreBounded) {
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

  // C strings are bounded.
  const uint8_t text[] = {'A', 'B', 'C'};
  uint32_t s = mem.AllocateCopy(text, true);
  std::string out;
  ASSERT_TRUE(mem.ReadCString(s, out, 3));
  EXPECT_EQ(out, "ABC");
  EXPECT_FALSE(mem.ReadCString(s, out, 2)) << "longer than the limit";

  // Blocks that files are read into are aligned and give their gap back.
  GuestMemory fill(1 << 20);
  const uint32_t small = fill.Allocate(8);
  const uint32_t block = fill.AllocateToFill(100, 100);
  ASSERT_TRUE(small && block);
  EXPECT_EQ(block % 64, 0u);
  EXPECT_EQ(fill.Allocate(8), small + 8) << "the gap in front of the block is free";

  // A reused block holds stale bytes up to keep only; the rest comes back zero.
  ASSERT_TRUE(fill.Fill(block, 0xAB, 100));
  fill.Free(block);
  const uint32_t again = fill.AllocateToFill(100, 40);
  EXPECT_EQ(again, block);
  uint32_t word = 1;
  ASSERT_TRUE(fill.Read32(again + 40, word));
  EXPECT_EQ(word, 0u);
  ASSERT_TRUE(fill.Read32(again + 96, word));
  EXPECT_EQ(word, 0u);
}

// Mistyped, stale and reused handles are the script handles' to check; a handle's word without
// its base bit is a guest address, never a handle.
TEST(HandleTable, AWordWithoutTheBaseBitIsNoHandle) {
  HandleTable table;
  int x = 0;
  const uint32_t h = table.Add(1, &x);
  ASSERT_EQ(table.Get(h, 1), &x);
  EXPECT_EQ(table.Get(h & 0x7FFFFFFF, 1), nullptr);
  uint16_t type = 9;
  EXPECT_EQ(table.Lookup(h + 1, &type), nullptr) << "the index one past the table";
  EXPECT_EQ(type, 0);
}

// CallAt pushes the end marker inside the interpreter loop: the free and the counted loop check
// the stack alike and leave it as they found it.
TEST(GuestFile, EnteringForAShortRunChecksTheStack) {
  for (uint64_t limit : {0, 10}) {
    GuestMemory mem(1 << 20);
    const uint32_t code = mem.Allocate(4);  // op 1: return
    ASSERT_TRUE(mem.Write32(code, 1));
    BytecodeVm vm(mem, nullptr);
    vm.SetInstructionLimit(limit);
    EXPECT_EQ(vm.CallAt(code), kRunFault) << "no stack";

    ASSERT_EQ(vm.AllocateStack(2), kStackAllocated);
    EXPECT_EQ(vm.CallAt(code), kRunEnded);
    EXPECT_EQ(vm.StackPointer(), vm.StackBottom());

    ASSERT_EQ(vm.PushEndMarker(), 0);
    ASSERT_EQ(vm.PushEndMarker(), 0);
    EXPECT_EQ(vm.CallAt(code), kRunFault) << "the stack is full";
    EXPECT_EQ(vm.StackPointer(), vm.StackTop());
    EXPECT_EQ(vm.InstructionPointer(), code);
  }
}

}  // namespace
}  // namespace bw
