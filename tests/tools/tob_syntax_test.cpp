#include "lib/tob/tob_syntax.h"

#include <gtest/gtest.h>

#include <span>
#include <string>

#include "lib/sob/sob_assembler.h"

namespace bw::tob::syntax {
namespace {

// A main-script code block is read whole or refused with the reason: cut anywhere, or with a
// count or size past what it holds, it never reads past its end.
TEST(TobCodeBlock, CutOrOverlongBlocksAreRefused) {
  const std::string source = ".sob0\nset 1, var:0\nret\n";
  const sob::AssembleResult whole = sob::Assemble(source);
  ASSERT_TRUE(whole.ok) << whole.error;
  Fragment f;
  std::string error;
  ASSERT_TRUE(ReadCodeBlock(whole.bytes, true, f, error)) << error;
  EXPECT_FALSE(f.code.empty());
  EXPECT_EQ(f.area.size(), 5u + 8u) << "five one-byte counts and the variable's link";

  for (size_t n = 0; n < whole.bytes.size(); ++n) {
    error.clear();
    EXPECT_FALSE(ReadCodeBlock(std::span(whole.bytes.data(), n), false, f, error)) << n;
    EXPECT_EQ(error, "main-script code: the code block is cut short") << n;
  }
  const struct {
    const char* name;
    sob::FaultSwitches faults;
    const char* error;
  } cases[] = {
      {"a count past the lists",
       {.oversizeCount = 1000},
       "main-script code: the link lists are cut short"},
      {"lists past the block",
       {.oversizeSize = 1000},
       "main-script code: the code block is cut short"},
  };
  for (const auto& c : cases) {
    const sob::AssembleResult spoilt = sob::Assemble(source, c.faults);
    ASSERT_TRUE(spoilt.ok) << c.name;
    EXPECT_FALSE(ReadCodeBlock(spoilt.bytes, false, f, error)) << c.name;
    EXPECT_EQ(error, c.error) << c.name;
  }
}

// An expression keeps its code's and its lists' sizes in 16 bits: more is refused, not wrapped.
TEST(TobCodeBlock, ExpressionsPastSixteenBitSizesAreRefused) {
  Fragment f;
  std::string error;
  EXPECT_TRUE(AssembleFragment(".space 65000 | ret", true, f, error)) << error;
  EXPECT_FALSE(AssembleFragment(".space 70000 | ret", true, f, error));
  EXPECT_EQ(error, "an expression's code or link lists pass 65535 bytes");
  EXPECT_TRUE(AssembleFragment(".space 70000 | ret", false, f, error)) << "a statement's are 32";
}

}  // namespace
}  // namespace bw::tob::syntax
