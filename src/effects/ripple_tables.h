// The ripple's precomputed tables: a ring-and-direction code for every pixel of one quadrant,
// and the displacement of every (amplitude level, wave phase, direction). Sets are shared by
// reference count through a cache of the four most recently used parameter sets.
#pragma once

#include <cstdint>
#include <vector>

namespace bw {

struct RippleKey {
  int32_t width = 0;
  int32_t height = 0;
  int32_t centreX = 0;
  int32_t centreY = 0;
  int32_t waveLength = 16;  // a power of two
  float aspect = 1.0f;
  int32_t amplitude = 24;
  bool operator==(const RippleKey&) const = default;
};

constexpr int kRippleDirections = 32;
constexpr int kRippleCacheSlots = 4;

struct RippleTables {
  RippleKey key;
  int32_t references = 0;
  int32_t quadrantWidth = 0;
  int32_t quadrantHeight = 0;
  std::vector<uint16_t> codes;         // quadrantHeight rows of quadrantWidth
  std::vector<uint16_t> displacement;  // 4 x amplitude levels of 2 x waveLength x 32 entries
  std::vector<int32_t> profile;        // the wave's shape, one value per phase

  // The entries of one amplitude level at one phase, indexed by a code.
  const uint16_t* Row(int32_t level, int32_t phase) const {
    return displacement.data() + (int64_t{level} * key.waveLength * 64 + int64_t{phase} * 32);
  }
};

// Builds a set with no references; throws std::bad_alloc when memory runs out.
RippleTables* BuildRippleTables(const RippleKey& key);

// A set for key with one reference for the caller; throws std::bad_alloc when it cannot be
// built (the least recently used slot is then already dropped).
RippleTables* AcquireRippleTables(const RippleKey& key);
// Drops one reference; the last frees the set.
void ReleaseRippleTables(RippleTables* tables);
// Drops the cache's reference to every slot and empties it.
void ClearRippleTableCache();
// The slot in most-recently-used order, or null.
const RippleTables* RippleCacheSlot(int index);

}  // namespace bw
