// The engine's LZSS: a 4096-byte ring, matches of 3 to 18 bytes, groups of eight items behind
// a flag byte (set bit = literal). The stream has no length and no end mark; the container
// stores the unpacked size. The codec object is the work area (about 54 KB): keep one per call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace bw {

class LzssCodec {
 public:
  static constexpr uint32_t kRingSize = 4096;
  static constexpr uint32_t kMaxMatch = 18;
  static constexpr uint32_t kThreshold = 2;
  static constexpr uint32_t kRingStart = kRingSize - kMaxMatch;  // 4078
  static constexpr uint32_t kEmpty = kRingSize;                  // empty tree link

  // Encode results.
  static constexpr int kPacked = 0;
  static constexpr int kNotPacked = 1;  // the packed form would not save more than 8 bytes
  static constexpr int kEncodeOutOfMemory = 2;
  // Decode results.
  static constexpr int kDecoded = 0;
  static constexpr int kZeroSize = 1;
  static constexpr int kNoBuffer = 2;
  static constexpr int kSourceEnded = 3;  // the source ran out before the unpacked size

  // Packs source. With out given, the packed bytes are stored there; without it only the
  // packed size is computed. On kNotPacked, packedSize holds the size reached.
  [[nodiscard]] int Encode(std::span<const uint8_t> source, std::vector<uint8_t>* out,
                           uint32_t* packedSize);

  // Unpacks exactly unpackedSize bytes into buffer, reading no byte past the source.
  [[nodiscard]] static int Decode(std::span<const uint8_t> source, uint8_t* buffer,
                                  uint32_t unpackedSize);
  // The same into a new buffer of unpackedSize bytes.
  [[nodiscard]] static int Decode(std::span<const uint8_t> source, std::vector<uint8_t>& out,
                                  uint32_t unpackedSize);

 private:
  void InitTrees();
  void InsertNode(uint32_t r);
  void DeleteNode(uint32_t p);

  uint8_t ring_[kRingSize + kMaxMatch - 1];
  uint32_t left_[kRingSize + 1];
  uint32_t right_[kRingSize + 257];
  uint32_t parent_[kRingSize + 1];
  uint32_t matchPosition_ = 0;
  uint32_t matchLength_ = 0;
};

}  // namespace bw
