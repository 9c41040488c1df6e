// Decoded pictures kept by name: 64 hash buckets, a least-recently-used list and a byte budget.
// The cache holds one reference of each picture it keeps. A budget of 0 turns it off.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "resource/images/decoded_image.h"

namespace bw {

// Insert results.
constexpr int kCacheInserted = 0;
constexpr int kCacheNullArgument = 1;
constexpr int kCacheOff = 2;
constexpr int kCacheAlreadyCached = -1;
// Remove results.
constexpr int kCacheRemoved = 0;
constexpr int kCacheNotCached = 2;

constexpr size_t kCacheBuckets = 64;

// The name hash of the cache (and of other 64-bucket name tables): each byte enters as
// t = h + byte, h = (t * 1025) ^ ((t * 1025) >> 6); Finish mixes the result and never answers 0.
constexpr uint32_t NameHashStep(uint32_t h, uint32_t byte) {
  uint32_t t = (h + byte) * 1025u;
  return t ^ (t >> 6);
}
constexpr uint32_t NameHashFinish(uint32_t h) {
  h *= 9u;
  h = (h ^ (h >> 11)) * 32769u;
  return h == 0 ? 0xFFFFFFFFu : h;
}
// Over the key's bytes taken as signed: bytes 0x80-0xFF count as negative.
uint32_t ImageCacheHash(std::string_view key);

class ImageCache {
 public:
  ImageCache() = default;
  virtual ~ImageCache() { Clear(); }
  ImageCache(const ImageCache&) = delete;
  ImageCache& operator=(const ImageCache&) = delete;

  // key is the lower-cased resolved name.
  [[nodiscard]] int Insert(DecodedImage* image, std::string_view key);
  // The picture with one more reference, or null on a miss or with the cache off. A hit becomes
  // the most recent.
  DecodedImage* Find(std::string_view key);
  // Drops the entry and the cache's reference of its picture.
  [[nodiscard]] int Remove(std::string_view key);
  // Removes up to count of the least recently used entries; answers how many went.
  size_t EvictLeastRecent(size_t count);
  // 0 empties the cache and turns it off; otherwise the oldest entries go while over budget.
  void SetBudget(uint64_t bytes);
  void Clear();

  bool IsOn() const { return budget_ != 0; }
  uint64_t GetBudget() const { return budget_; }
  uint64_t GetUsedBytes() const { return used_; }
  size_t GetCount() const { return lru_.size(); }
  // Keys from the most recent to the least recent.
  std::vector<std::string> GetKeysByRecency() const;

 private:
  struct Entry {
    uint32_t hash;
    std::string key;
    DecodedImage* image;
    std::list<Entry*>::iterator recency;
  };
  using Bucket = std::vector<std::unique_ptr<Entry>>;

  Entry* Lookup(std::string_view key, uint32_t hash);
  void Drop(Entry* entry);
  void EvictWhileOver(uint64_t limit);

  std::array<Bucket, kCacheBuckets> buckets_;
  std::list<Entry*> lru_;  // front: most recent
  uint64_t budget_ = 0;
  uint64_t used_ = 0;
};

// The budget for a request of megabytes on a machine of physicalBytes: a negative request picks
// a size by the machine (up to 96 MB none, then 10, 20, 30, 64, 80 MB) capped at the whole
// memory; any other request is capped at half of it.
uint64_t ComputeCacheBudget(int64_t megabytes, uint64_t physicalBytes);
// Total physical memory; 0 when it cannot be read.
uint64_t GetPhysicalMemoryBytes();

}  // namespace bw
