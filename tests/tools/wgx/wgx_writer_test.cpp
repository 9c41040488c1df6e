// The WGX writer's streams against the engine's own unpacking, and the seeds of the encoder's
// fuzz target.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "common/byte_reader.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/wgx_unpack.h"
#include "support/fuzz_seeds.h"

namespace bw {
namespace {

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

// Inputs of the encoder fuzz target: {depth/form byte, width, height, seed} and the units.
Bytes EncodeInput(int depth, int form, bool wide, uint8_t width, uint8_t height, uint8_t seed,
                  const Bytes& units) {
  const int depthIndex = depth == 8 ? 0 : depth == 24 ? 1 : 2;
  Bytes input(4 + units.size());
  input[0] = static_cast<uint8_t>(depthIndex + 3 * form + (wide ? 9 : 0));
  input[1] = width;
  input[2] = height;
  input[3] = seed;
  std::copy(units.begin(), units.end(), input.begin() + 4);
  return input;
}

TEST(WgxEncodeFuzzSeeds, AreWrittenByTheLayoutTheTargetReads) {
  test::FuzzSeeds seeds;
  Bytes shapes(53);
  for (size_t i = 0; i < shapes.size(); ++i) shapes[i] = static_cast<uint8_t>(i * i % 7 + i / 9);
  for (int depth : {8, 24, 32}) {
    for (int form : {0, 1, 2}) {
      char name[32];
      std::snprintf(name, sizeof name, "d%d_f%d", depth, form);
      seeds[name] =
          EncodeInput(depth, form, false, 37, 23, static_cast<uint8_t>(depth + form), shapes);
    }
    const std::string prefix = 'd' + std::to_string(depth);
    seeds[prefix + "_wide"] = EncodeInput(depth, 0, true, 17, 9, 3, LonePairAt(41));
    seeds[prefix + "_rows"] =
        EncodeInput(depth, 1, false, 255, 40, 5, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
  }
  // An index stream whose only repeat is a pair 33 bytes back.
  seeds["d8_pair33"] = EncodeInput(8, 0, false, 38, 1, 0, LonePairAt(33));
  seeds["d32_empty"] = EncodeInput(32, 2, false, 0, 7, 1, {});
  test::CheckOrWriteFuzzSeeds("wgx_encode", seeds);
}

}  // namespace
}  // namespace bw
