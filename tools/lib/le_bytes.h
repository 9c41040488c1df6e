// Appending little-endian integers to a byte vector, for the file writers.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace bw::tools {

inline void PutLe(std::vector<uint8_t>& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
// Overwrites `bytes` bytes at `at` with v, low byte first.
inline void SetLe(std::vector<uint8_t>& out, size_t at, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void Put16(std::vector<uint8_t>& out, uint32_t v) {
  PutLe(out, v, 2);
}
inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
  PutLe(out, v, 4);
}
// Makes room first (growing geometrically) so that the insert itself never reallocates: g++ 12
// misreads an insert that reallocates a small vector as an overflow.
inline void PutBytes(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
  if (out.capacity() - out.size() < bytes.size()) {
    out.reserve(std::max(out.size() + bytes.size(), 2 * out.capacity()));
  }
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace bw::tools
