// A fixed-size array of bits; bit i is bit (i mod 8), from the least significant, of byte i / 8.
#pragma once

#include <cstdint>
#include <memory>

namespace bw {

constexpr uint32_t kBitSetDone = 0;
constexpr uint32_t kBitSetNoStorage = 1;  // also: Allocate of 0 bits, a bad Assign
constexpr uint32_t kBitSetOutOfMemory = 2;
constexpr uint32_t kBitSetOutOfRange = 2;

class BitSet {
 public:
  BitSet() = default;
  virtual ~BitSet() = default;

  // Replaces the storage with `bits` cleared bits; 0 bits keeps the old storage.
  [[nodiscard]] uint32_t Allocate(uint32_t bits);
  void Free();
  // Copies n raw bytes to the start of the storage.
  [[nodiscard]] uint32_t Assign(const uint8_t* bytes, uint32_t n);
  [[nodiscard]] uint32_t Set(uint32_t i, bool value);
  bool Test(uint32_t i) const;
  // Counts every set bit of the storage bytes, also those past the bit count.
  uint32_t Count() const;
  bool IsAllSet() const;

  uint32_t BitCount() const { return bitCount_; }
  uint32_t ByteCount() const { return byteCount_; }
  const uint8_t* Bytes() const { return bytes_.get(); }

 private:
  uint32_t bitCount_ = 0;
  uint32_t byteCount_ = 0;
  std::unique_ptr<uint8_t[]> bytes_;
};

}  // namespace bw
