// Numbers as a script makes and reads them: the format native's decimal digits of every length
// and the float operations with operands that do not commute.

#include <bit>
#include <string>

#include "native_rig.h"

namespace bw {
namespace {

uint32_t Bits(float f) {
  return std::bit_cast<uint32_t>(f);
}

TEST(NumberNatives, FormatWritesDecimalsOfEveryLength) {
  NativeRig rig;
  const uint32_t out = rig.Block(64);
  const char* digits = "1234567890";
  for (size_t n = 1; n <= 10; ++n) {
    const std::string expected = std::string(digits, n);
    const uint32_t value = uint32_t(std::stoul(expected));
    ASSERT_EQ(rig.Answer(Native::kStrFormat, {out, rig.Text("%d|%u"), value, value}), 0);
    EXPECT_EQ(rig.Read(out), expected + "|" + expected);
  }
  ASSERT_EQ(rig.Answer(Native::kStrFormat, {out, rig.Text("%d %d %d"), 100, 909, uint32_t(-105)}),
            0);
  EXPECT_EQ(rig.Read(out), "100 909 -105");
}

TEST(NumberNatives, FloatOperationsKeepTheirOperandsInOrder) {
  NativeRig rig;
  const struct {
    uint32_t native;
    float a, b, expected;
  } cases[] = {{Native::kFloatAdd, 5.0f, -2.0f, 3.0f},
               {Native::kFloatSub, 5.0f, 2.0f, 3.0f},
               {Native::kFloatMul, 5.0f, -2.0f, -10.0f},
               {Native::kFloatDiv, 5.0f, 2.0f, 2.5f}};
  for (const auto& c : cases) {
    EXPECT_EQ(uint32_t(rig.Answer(c.native, {Bits(c.a), Bits(c.b)})), Bits(c.expected))
        << "native " << c.native;
  }
}

}  // namespace
}  // namespace bw
