// Little-endian output into a growing byte vector: the writing twin of ByteReader, for save
// records and file formats that are built in memory before they are written.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace bw {

class ByteWriter {
 public:
  explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}

  void u8(uint8_t v) { out_.push_back(v); }
  void u16le(uint16_t v) { Le(v, 2); }
  void u32le(uint32_t v) { Le(v, 4); }
  void i32le(int32_t v) { Le(static_cast<uint32_t>(v), 4); }
  void bytes(std::span<const uint8_t> b) { out_.insert(out_.end(), b.begin(), b.end()); }
  void bytes(std::string_view s) { out_.insert(out_.end(), s.begin(), s.end()); }
  size_t size() const { return out_.size(); }

 private:
  void Le(uint32_t v, int n) {
    for (int i = 0; i < n; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  std::vector<uint8_t>& out_;
};

}  // namespace bw
