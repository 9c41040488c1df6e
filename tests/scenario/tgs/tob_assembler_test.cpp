// Label: optimised
#include "lib/tob/tob_assembler.h"

#include <gtest/gtest.h>

#include <vector>

#include "scenario/tgs/tgs_test_world.h"

namespace bw {
namespace {

TEST(TobAssembler, LayoutOfAnInstructionAndOfTheHeader) {
  const std::vector<uint8_t> expected = {
      'T', 'O', 'B', '1', 15, 0, 0, 0,  1, 0, 0, 0,  // S1 (counting itself), one label
      6,   'x', 0,   0,   0,  0, 0,                  // "x" at 0
      12,  0,   0,   0,   1,  0, 0, 0,  0, 0, 0, 0,  // S2, N, message 0 at 0
      '[', ' ', 12,  0,   0,  0, 1, 11, 0, 0, 0, 1,  // MessageBegin, always, skip, one argument
      1,   0,   5,   0,   0,  0, 0};
  EXPECT_EQ(Tob(".tob1\nx:\n MessageBegin 5\n .end\n"), expected);
}

}  // namespace
}  // namespace bw
