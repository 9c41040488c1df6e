#include "lib/tob/tob_assembler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace bw {
namespace {

std::vector<uint8_t> Bytes(const std::string& source) {
  tob::AssembleResult r = tob::Assemble(source);
  EXPECT_TRUE(r.ok) << r.error << "\n" << source;
  return r.bytes;
}

// The text form of bytes assembles to the same bytes.
void ExpectRoundTrip(const std::vector<uint8_t>& bytes, const char* what) {
  std::string text = tob::Disassemble(bytes);
  ASSERT_NE(text.rfind("error:", 0), 0u) << what << ": " << text;
  tob::AssembleResult again = tob::Assemble(text);
  ASSERT_TRUE(again.ok) << what << ": " << again.error << "\n" << text;
  EXPECT_EQ(again.bytes, bytes) << what << "\n" << text;
}

TEST(TobAssembler, EveryFormRoundTripsThroughItsText) {
  const char* scripts[] = {
      ".tob1\nstart:\n MessageBegin 0\n \"こんにちは[世界]\"\n .bytes 5B 41 81 5B 00 82\n",
      ".tob0\n WaitTime if(7) -, =3, 5, \"t\", nul, var(2 9), @start, @12, k6:\"x\", "
      "k3:-1\nstart:\n .end\n",
      ".tob1\n JumpIf if{set 1, host:0 | ret} {add 1, 2, host:0 | ret}\n stmt{native native:3, a, "
      "var:0 | ret | a: "
      ".word 1, 2}\n .end\n",
      ".tob0\n stmt{!0800000005000000!00000000000000000000000000000000000000!01}\n MessageBegin "
      "if(var 1 2)\n",
      ".tob0\n.label b, 1\n.label a, 0\n.messages 3, 1\n \"ab\\x01\\\\\\\"\"\n f15\n f50 1\n",
      ".init\n.script A 16 4\n.script LONGER_NAME 0 0\n",
      ".log\n.record A 16 4 FF01 0F\n.record B 0 0 - -\n",
      ".log packed\n.record A 64 0 0000000000000000 -\n",
  };
  for (const char* source : scripts) ExpectRoundTrip(Bytes(source), source);
}

TEST(TobAssembler, LayoutOfAnInstructionAndOfTheHeader) {
  std::vector<uint8_t> b = Bytes(".tob1\nx:\n MessageBegin 5\n .end\n");
  const std::vector<uint8_t> expected = {
      'T', 'O', 'B', '1', 15, 0, 0, 0,  1, 0, 0, 0,  // S1 (counting itself), one label
      6,   'x', 0,   0,   0,  0, 0,                  // "x" at 0
      12,  0,   0,   0,   1,  0, 0, 0,  0, 0, 0, 0,  // S2, N, message 0 at 0
      '[', ' ', 12,  0,   0,  0, 1, 11, 0, 0, 0, 1,  // MessageBegin, always, skip, one argument
      1,   0,   5,   0,   0,  0, 0};
  EXPECT_EQ(b, expected);
}

}  // namespace
}  // namespace bw
