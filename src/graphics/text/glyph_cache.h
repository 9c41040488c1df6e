// The outline renderer's rendered glyphs by character, size and look, with a bounded count and
// least-recently-used eviction: text typed out frame after frame asks for each glyph once.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <vector>

#include "graphics/text/glyph_bitmap.h"

namespace bw {

class GlyphCache {
 public:
  static constexpr int kBuckets = 256;
  // Sizes from here on would share the keys of small sizes: such glyphs are not cached.
  static constexpr int32_t kKeyedSizes = 1024;

  // capacity 0: nothing is kept.
  explicit GlyphCache(uint32_t capacity) : capacity_(capacity) {}

  static uint32_t Key(uint32_t code, int32_t size, bool edge, bool bold, bool italic);
  static uint8_t Hash(uint32_t code, int32_t size, bool edge, bool bold, bool italic);

  // A hit becomes the most recent entry. The pointer is the cache's own, good until the next
  // Insert or Clear.
  const GlyphRef* Lookup(uint32_t key, uint8_t hash);
  // The newest entry; then the least recent ones go until the count fits the capacity. A glyph
  // that goes lives on while someone still holds it.
  void Insert(uint32_t key, uint8_t hash, GlyphRef glyph);
  void Clear();

  uint32_t Count() const { return uint32_t(recency_.size()); }
  uint32_t Capacity() const { return capacity_; }

 private:
  struct Entry {
    uint32_t key;
    uint8_t hash;
    GlyphRef glyph;
  };
  using Recency = std::list<Entry>;

  // The key beside the entry, so that a bucket is searched without visiting the list.
  struct Slot {
    uint32_t key;
    Recency::iterator at;
  };

  Recency recency_;  // most recent first
  std::array<std::vector<Slot>, kBuckets> buckets_;
  uint32_t capacity_;
};

}  // namespace bw
