// Memory for whole pictures. A block of a couple of megabytes or more is mapped on its own,
// aligned to 2 MiB and marked for the kernel's large pages: a new picture then costs one page
// fault for each 2 MiB instead of one for each 4 KiB, and those faults were about a sixth of the
// processor time of a story that loads its scenes' pictures as it goes. Smaller blocks come from
// the heap, whose growth is marked the same way (which sets the process's heap to grow in large
// steps and keep what it frees). Mapped blocks given back are kept, a bounded few, for the next
// block of their length, zeroed by hand where asked. Address-sanitized builds, which check the
// bounds of what the heap hands out, take every block from the heap, and fill a block not zeroed
// with a byte nobody relies on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace bw::host {

struct LargeBlockRelease {
  size_t mapped = 0;  // the length of the block's own mapping; 0 for a block from the heap
  void operator()(uint8_t* bytes) const noexcept;
};
using LargeBlock = std::unique_ptr<uint8_t[], LargeBlockRelease>;

// size bytes, zero when zeroed (otherwise undefined); null when memory runs out.
LargeBlock AllocateLargeBlock(size_t size, bool zeroed);
// Whether a block of size bytes is mapped on its own.
bool MapsOnItsOwn(size_t size);

}  // namespace bw::host
