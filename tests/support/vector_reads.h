// Reads into a vector through the allocation callback the archives and the file layer take.
#pragma once

#include <cstdint>
#include <vector>

namespace bw::test {

// The vector behind argument, sized to the read and filled with 0xEE, so bytes the read left
// alone show.
inline void* AllocateVector(uint32_t size, void* argument, void*) {
  auto* v = static_cast<std::vector<uint8_t>*>(argument);
  v->assign(size, 0xEE);
  return v->data();
}

}  // namespace bw::test
