#include "script/state_block.h"

#include <memory>

#include "resource/packs/lzss_codec.h"

namespace bw {

namespace {
// One flag bit and two bytes give at most 18 bytes: nothing real unpacks past nine times its
// packed size, so a larger claim is refused before anything is allocated.
constexpr uint64_t kMaxExpansion = 9;
}  // namespace

PackedBlock PackStateBlock(std::span<const uint8_t> data) {
  PackedBlock block;
  auto codec = std::make_unique<LzssCodec>();
  uint32_t packedSize = 0;
  if (!data.empty() && codec->Encode(data, &block.stored, &packedSize) == LzssCodec::kPacked) {
    block.unpackedSize = static_cast<uint32_t>(data.size());
  } else {
    block.stored.assign(data.begin(), data.end());
  }
  return block;
}

bool UnpackStateBlock(std::span<const uint8_t> stored, uint32_t unpackedSize,
                      std::vector<uint8_t>& out) {
  if (unpackedSize == 0) {
    out.assign(stored.begin(), stored.end());
    return true;
  }
  if (unpackedSize > stored.size() * kMaxExpansion + kMaxExpansion) return false;
  return LzssCodec::Decode(stored, out, unpackedSize) == LzssCodec::kDecoded;
}

}  // namespace bw
