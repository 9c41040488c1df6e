// Appending little-endian integers to a byte vector, for the file writers.
#pragma once

#include <cstdint>
#include <vector>

namespace bw::tools {

inline void PutLe(std::vector<uint8_t>& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void Put16(std::vector<uint8_t>& out, uint32_t v) {
  PutLe(out, v, 2);
}
inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
  PutLe(out, v, 4);
}

}  // namespace bw::tools
