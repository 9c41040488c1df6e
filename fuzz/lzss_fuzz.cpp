// LZSS decoding of arbitrary streams. Input: the unpacked size (u32, little-endian, capped),
// then the packed stream. The output buffer is exactly the size asked for, so the sanitizers
// see any write past it and any read past the stream.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/byte_reader.h"
#include "resource/packs/lzss_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr uint32_t kMaxUnpacked = 1u << 20;
  bw::ByteReader reader(data, size);
  uint32_t unpacked = 0;
  if (!reader.u32le(unpacked)) return 0;
  unpacked %= kMaxUnpacked + 1;
  auto stream = reader.bytes(reader.remaining());
  std::vector<uint8_t> out;
  (void)bw::LzssCodec::Decode(*stream, out, unpacked);  // any answer: only a crash or a leak fails
  return 0;
}
