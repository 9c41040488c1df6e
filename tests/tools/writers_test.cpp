// The tools' file writers, checked against the engine's readers where no reader's own round trip
// reaches the case: the Ogg Vorbis writer's tones are the decoder's test.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "common/byte_reader.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/wgx_unpack.h"

namespace bw::tools {
namespace {

// The WGX writer's streams against the engine's own unpacking.

using Bytes = std::vector<uint8_t>;

// 0, 1, ..., 0, 1 then bytes seen nowhere before: the only thing to copy is the pair that comes
// back `distance` bytes later.
Bytes LonePairAt(size_t distance) {
  Bytes bytes(distance);
  std::iota(bytes.begin(), bytes.end(), uint8_t{0});
  bytes.insert(bytes.end(), {0, 1, 200, 201, 202});
  return bytes;
}

TEST(WgxWriter, ShortPairCopiesNeverSpellTheEndCode) {
  for (size_t distance = 2; distance <= 40; ++distance) {
    SCOPED_TRACE(distance);
    const Bytes bytes = LonePairAt(distance);
    const Bytes stream = tools::EncodeWgx8(bytes);
    EXPECT_EQ(std::count(stream.begin(), stream.end(), 0xFF), 1) << "only the end code";
    Bytes out(bytes.size());
    ByteReader in(stream.data(), stream.size());
    ASSERT_EQ(WgxUnpack8(in, out), 0);
    EXPECT_EQ(out, bytes);
    EXPECT_EQ(in.position(), stream.size()) << "the stream ends at its end code";
  }
}

}  // namespace
}  // namespace bw::tools
