// The script engine's state files keep their data LZSS-packed when packing pays, beside the
// unpacked size (0 when the data is stored as it is).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace bw {

struct PackedBlock {
  std::vector<uint8_t> stored;
  uint32_t unpackedSize = 0;  // 0: stored holds the data itself
};

PackedBlock PackStateBlock(std::span<const uint8_t> data);
// False when the packed data does not unpack to unpackedSize bytes.
[[nodiscard]] bool UnpackStateBlock(std::span<const uint8_t> stored, uint32_t unpackedSize,
                                    std::vector<uint8_t>& out);

}  // namespace bw
