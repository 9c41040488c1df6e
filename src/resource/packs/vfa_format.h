// The VFA pack layout and its scrambles, shared by the reader and the pack writer.
// Every scramble here is its own inverse: XOR under a key stream that does not depend on the
// data, except the nibble scramble, which has a separate inverse.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace bw {

constexpr uint32_t kVfaMagic = 0x31414656;  // "VFA1"
constexpr uint32_t kVfaHeaderSize = 8;
constexpr uint32_t kVfaSectorSize = 2048;
constexpr uint32_t kVfaSectorShift = 11;
constexpr uint32_t kVfaIndexSizeMask = 0x00FFFFFF;

// Pack flags: the top byte of the unscrambled size word.
constexpr uint8_t kVfaSectorMode = 0x01;     // index size and member offsets in sectors
constexpr uint8_t kVfaNameTrie = 0x02;       // the index holds a name trie
constexpr uint8_t kVfaKeyScramble = 0x04;    // the first words of each member are scrambled
constexpr uint8_t kVfaUnpackedSizes = 0x08;  // 13-byte entry records
constexpr uint8_t kVfaStoredFlag = 0x10;     // kept with the archive; no effect on reading
constexpr uint8_t kVfaFlagMask = 0x1F;

constexpr uint32_t kVfaRecordSize = 9;
constexpr uint32_t kVfaWideRecordSize = 13;
constexpr uint32_t kVfaMaxScrambledWords = 64;  // 256 bytes after the prefix
constexpr uint32_t kVfaMaxPrefix = 255;

constexpr uint32_t kVfaFirstSeed = 0x5c3e91d7;
constexpr uint32_t kVfaSecondSeed = 0x7b2f04ac;
constexpr uint32_t kVfaKeyConstant = 0x2d6e5a19;

// The byte that nibble-scrambled members are XORed with after their halves are swapped: high
// half 0xA, low half 0x5. Real packs with nibble-scrambled members need the original constant.
constexpr uint8_t kVfaNibbleHigh = 0xA;
constexpr uint8_t kVfaNibbleLow = 0x5;
constexpr uint8_t kVfaNibbleXor = (kVfaNibbleHigh << 4) | kVfaNibbleLow;

struct VfaKeys {
  uint32_t member;
  uint32_t index;
};

// The pack's name key: the leaf name of path without its extension, upper-cased (SCRIPT for
// "x\SCRIPT.VFA"). Both separators count; a Shift-JIS trail byte is never a separator.
std::string VfaNameKey(const char* path);
VfaKeys MakeVfaKeys(const std::string& nameKey, uint32_t keyWord1, uint32_t keyWord2);

// Over `words` little-endian words at data (need not be aligned).
void ScrambleVfaIndex(uint8_t* data, size_t words, uint32_t indexKey);
void ScrambleVfaMemberHead(uint8_t* data, size_t words, uint32_t memberKey);

inline uint8_t UnscrambleVfaNibbles(uint8_t b) {
  return static_cast<uint8_t>(((b << 4) | (b >> 4)) ^ kVfaNibbleXor);
}
inline uint8_t ScrambleVfaNibbles(uint8_t b) {
  uint8_t x = b ^ kVfaNibbleXor;
  return static_cast<uint8_t>((x << 4) | (x >> 4));
}
void UnscrambleVfaNibbles(uint8_t* data, size_t size);

}  // namespace bw
