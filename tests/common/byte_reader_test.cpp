#include "common/byte_reader.h"

#include <gtest/gtest.h>

#include <array>

namespace bw {
namespace {

TEST(ByteReader, RefusesReadsPastTheEndWithoutMoving) {
  const std::array<uint8_t, 3> data{1, 2, 3};
  ByteReader r(data.data(), data.size());
  ASSERT_TRUE(r.skip(1));
  uint32_t v = 0xAAAAAAAA;
  EXPECT_FALSE(r.u32le(v));
  EXPECT_EQ(v, 0xAAAAAAAAu) << "a failed read must not write its output";
  EXPECT_EQ(r.position(), 1u);
  EXPECT_FALSE(r.bytes(3).has_value());
  EXPECT_FALSE(r.skip(uint64_t{1} << 63)) << "huge counts from the data must not wrap";
  EXPECT_FALSE(r.seek(4));
  EXPECT_TRUE(r.seek(3));
  EXPECT_FALSE(r.u8().has_value());
  EXPECT_EQ(ByteReader(nullptr, 100).size(), 0u) << "null data is empty";
}

TEST(ByteReader, CStringNeedsItsTerminatorWithinTheLimit) {
  const char data[] = "abc\0defgh";  // "defgh" has its NUL only as the array's end
  ByteReader r(data, sizeof(data) - 1);
  EXPECT_EQ(r.cstring(3), "abc");
  EXPECT_FALSE(r.cstring(16).has_value()) << "no terminator before the end";
  EXPECT_EQ(r.position(), 4u);

  ByteReader r2(data, 4);
  EXPECT_FALSE(r2.cstring(2).has_value()) << "longer than the limit";
}

TEST(ByteReader, SliceAndSubStayInsideTheirParent) {
  const std::array<uint8_t, 6> data{1, 2, 3, 4, 5, 6};
  ByteReader r(data.data(), data.size());
  auto s = r.slice(4, 2);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->u16le(), 0x0605);
  EXPECT_FALSE(r.slice(5, 2));
  EXPECT_FALSE(r.slice(UINT64_MAX, 2)) << "offset + size must not wrap";
  auto sub = r.sub(2);
  ASSERT_TRUE(sub);
  EXPECT_EQ(sub->size(), 2u);
  EXPECT_EQ(r.position(), 2u);
}

}  // namespace
}  // namespace bw
