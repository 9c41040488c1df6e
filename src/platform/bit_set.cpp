#include "platform/bit_set.h"

#include <bit>
#include <cstring>
#include <new>

namespace bw {

uint32_t BitSet::Allocate(uint32_t bits) {
  if (bits == 0) return kBitSetNoStorage;
  Free();
  uint32_t byteCount = static_cast<uint32_t>((uint64_t{bits} + 7) / 8);
  bytes_.reset(new (std::nothrow) uint8_t[byteCount]());
  if (!bytes_) return kBitSetOutOfMemory;
  bitCount_ = bits;
  byteCount_ = byteCount;
  return kBitSetDone;
}

void BitSet::Free() {
  bytes_.reset();
  bitCount_ = 0;
  byteCount_ = 0;
}

uint32_t BitSet::Assign(const uint8_t* bytes, uint32_t n) {
  if (!bytes_ || !bytes || n > byteCount_) return kBitSetNoStorage;
  std::memcpy(bytes_.get(), bytes, n);
  return kBitSetDone;
}

uint32_t BitSet::Set(uint32_t i, bool value) {
  if (!bytes_) return kBitSetNoStorage;
  if (i >= bitCount_) return kBitSetOutOfRange;
  uint8_t mask = static_cast<uint8_t>(1u << (i % 8));
  if (value) {
    bytes_[i / 8] |= mask;
  } else {
    bytes_[i / 8] &= static_cast<uint8_t>(~mask);
  }
  return kBitSetDone;
}

bool BitSet::Test(uint32_t i) const {
  return bytes_ && i < bitCount_ && (bytes_[i / 8] >> (i % 8)) & 1;
}

uint32_t BitSet::Count() const {
  uint32_t count = 0;
  for (uint32_t b = 0; b < byteCount_; ++b)
    count += static_cast<uint32_t>(std::popcount(bytes_[b]));
  return count;
}

bool BitSet::IsAllSet() const {
  if (!bytes_) return false;
  for (uint32_t b = 0; b < bitCount_ / 8; ++b) {
    if (bytes_[b] != 0xff) return false;
  }
  uint32_t rest = bitCount_ % 8;
  if (rest == 0) return true;
  uint8_t mask = static_cast<uint8_t>((1u << rest) - 1);
  return (bytes_[bitCount_ / 8] & mask) == mask;
}

}  // namespace bw
