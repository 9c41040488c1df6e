#include "graphics/text/glyph_cache.h"

#include <algorithm>

namespace bw {

uint32_t GlyphCache::Key(uint32_t code, int32_t size, bool edge, bool bold, bool italic) {
  return uint32_t(edge) << 31 | uint32_t(bold) << 30 | uint32_t(italic) << 29 |
         (uint32_t(size) & 0x3FF) << 16 | (code & 0xFFFF);
}

uint8_t GlyphCache::Hash(uint32_t code, int32_t size, bool edge, bool bold, bool italic) {
  const uint32_t s = uint32_t(size);
  return uint8_t(((uint32_t(bold) << 3 ^ uint32_t(italic)) << 4) ^ uint32_t(edge) ^ (code >> 8) ^
                 (s >> 8) ^ s ^ code);
}

const GlyphRef* GlyphCache::Lookup(uint32_t key, uint8_t hash) {
  for (const Slot& slot : buckets_[hash]) {
    if (slot.key != key) continue;
    if (slot.at != recency_.begin()) recency_.splice(recency_.begin(), recency_, slot.at);
    return &slot.at->glyph;
  }
  return nullptr;
}

void GlyphCache::Insert(uint32_t key, uint8_t hash, GlyphRef glyph) {
  if (capacity_ == 0) return;
  recency_.push_front({key, hash, std::move(glyph)});
  buckets_[hash].push_back({key, recency_.begin()});
  while (recency_.size() > capacity_) {
    auto last = std::prev(recency_.end());
    auto& bucket = buckets_[last->hash];
    bucket.erase(std::find_if(bucket.begin(), bucket.end(),
                              [last](const Slot& slot) { return slot.at == last; }));
    recency_.erase(last);
  }
}

void GlyphCache::Clear() {
  for (auto& bucket : buckets_) bucket.clear();
  recency_.clear();
}

}  // namespace bw
