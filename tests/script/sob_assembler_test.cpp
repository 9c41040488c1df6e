// Label: optimised
#include "lib/sob/sob_assembler.h"

#include <gtest/gtest.h>

#include "script_test_util.h"

namespace bw {
namespace {

TEST(SobAssembler, WritesTheCodeBlockLayout) {
  auto r = sob::Assemble(
      ".sob0\nstart: push var:2\n jmp start.1\n wait\nd: .word 1, native:5\n .byte 7\n");
  ASSERT_TRUE(r.ok) << r.error;
  const auto& b = r.bytes;
  ASSERT_EQ(std::string(b.begin(), b.begin() + 4), "SOB0");
  // Lists: var {4, 2}; native {24, 5}; host none; lib none; own {12, 4}; then 0.
  const uint32_t expectedArea[] = {1, 4, 2, 1, 24, 5, 0, 0, 1, 12, 4, 0};
  ASSERT_EQ(U32At(b, 4), sizeof expectedArea);
  for (size_t i = 0; i < std::size(expectedArea); ++i) {
    EXPECT_EQ(U32At(b, 8 + 4 * i), expectedArea[i]) << i;
  }
  size_t after = 8 + sizeof expectedArea;
  EXPECT_EQ(U32At(b, after), 20u) << "instruction bytes end behind the wait";
  EXPECT_EQ(U32At(b, after + 4), 29u) << "code size";
  ASSERT_EQ(b.size(), after + 8 + 29);
  EXPECT_EQ(U32At(b, after + 8), 8u) << "push";
  EXPECT_EQ(U32At(b, after + 8 + 20), 1u) << "first data word";
  EXPECT_EQ(b.back(), 7);
}

TEST(SobAssembler, RefusesBadSourceWithItsLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"add 1, 2\n", "no file directive"},
      {".sob0\n add 1, 2\n", "line 2"},
      {".sob0\n jmp nowhere\n", "unknown label"},
      {".sob0\n .string \"\xF0\x9F\x98\x80\"\n", "CP932"},  // no CP932 form
      {".raw\nx: .word x\n", "no addresses"},
  };
  for (auto [source, message] : cases) {
    auto r = sob::Assemble(source);
    EXPECT_FALSE(r.ok) << source;
    EXPECT_NE(r.error.find(message), std::string::npos) << source << " gave: " << r.error;
  }
}

TEST(SobDisassembler, ShowsWhatAssemblesBackToTheSameFile) {
  const char* sources[] = {
      ".sob0\n  push 3\n  call f\n  native native:0, args, var:0\n  wait\n  ret\nf: sinc 8\n  retv "
      "5\n"
      "args: .word 20, lib:4\n .string \"MAIN\"\n",
      ".sob2\nx: set 1, x.2\n switch var:0, x, y\ny: op 99\n ret\n .word y.1, x+3, x+1000\n .byte "
      "1, 2\n",
      ".sob0\n .word 0\n",
  };
  for (const char* source : sources) {
    auto first = sob::Assemble(source);
    ASSERT_TRUE(first.ok) << first.error;
    std::string text = sob::Disassemble(first.bytes);
    ASSERT_EQ(text.rfind("error:", 0), std::string::npos) << text;
    auto second = sob::Assemble(text);
    ASSERT_TRUE(second.ok) << second.error << "\n" << text;
    EXPECT_EQ(second.bytes, first.bytes) << text;
  }
  EXPECT_EQ(sob::Disassemble(std::vector<uint8_t>{'S', 'O', 'B', '1'}).rfind("error:", 0), 0u);
  sob::FaultSwitches cut;
  cut.truncateTo = 20;
  EXPECT_EQ(sob::Disassemble(sob::Assemble(".sob0\nret\n", cut).bytes).rfind("error:", 0), 0u);
}

}  // namespace
}  // namespace bw
