#include "resource/images/image_cache.h"

#include <algorithm>

#include "host/process/machine.h"

namespace bw {
namespace {

constexpr uint64_t kMegabyte = 1048576;

}  // namespace

uint32_t ImageCacheHash(std::string_view key) {
  uint32_t h = 0;
  for (char c : key)
    h = NameHashStep(h, static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(c))));
  return NameHashFinish(h);
}

ImageCache::Entry* ImageCache::Lookup(std::string_view key, uint32_t hash) {
  for (auto& entry : buckets_[hash % kCacheBuckets]) {
    if (entry->hash == hash && entry->key == key) return entry.get();
  }
  return nullptr;
}

void ImageCache::Drop(Entry* entry) {
  lru_.erase(entry->recency);
  used_ -= std::min<uint64_t>(used_, entry->image->GetByteSize());
  entry->image->Release();
  Bucket& bucket = buckets_[entry->hash % kCacheBuckets];
  std::erase_if(bucket, [&](const std::unique_ptr<Entry>& e) { return e.get() == entry; });
}

void ImageCache::EvictWhileOver(uint64_t limit) {
  while (used_ > limit && !lru_.empty()) Drop(lru_.back());
}

int ImageCache::Insert(DecodedImage* image, std::string_view key) {
  if (!image || key.empty()) return kCacheNullArgument;
  if (!IsOn()) return kCacheOff;
  uint32_t hash = ImageCacheHash(key);
  if (Entry* entry = Lookup(key, hash)) {
    lru_.splice(lru_.begin(), lru_, entry->recency);
    return kCacheAlreadyCached;
  }
  auto entry = std::make_unique<Entry>(Entry{hash, std::string(key), image, {}});
  lru_.push_front(entry.get());
  entry->recency = lru_.begin();
  Bucket& bucket = buckets_[hash % kCacheBuckets];
  bucket.insert(bucket.begin(), std::move(entry));
  used_ += image->GetByteSize();
  // A picture larger than the whole budget is still kept, alone.
  EvictWhileOver(std::max<uint64_t>(budget_, image->GetByteSize()));
  image->AddRef();
  return kCacheInserted;
}

DecodedImage* ImageCache::Find(std::string_view key) {
  if (!IsOn() || key.empty()) return nullptr;
  Entry* entry = Lookup(key, ImageCacheHash(key));
  if (!entry) return nullptr;
  lru_.splice(lru_.begin(), lru_, entry->recency);
  entry->image->AddRef();
  return entry->image;
}

int ImageCache::Remove(std::string_view key) {
  Entry* entry = key.empty() ? nullptr : Lookup(key, ImageCacheHash(key));
  if (!entry) return kCacheNotCached;
  Drop(entry);
  return kCacheRemoved;
}

size_t ImageCache::EvictLeastRecent(size_t count) {
  size_t removed = 0;
  for (; removed < count && !lru_.empty(); ++removed) Drop(lru_.back());
  return removed;
}

void ImageCache::SetBudget(uint64_t bytes) {
  budget_ = bytes;
  if (bytes == 0) {
    Clear();
  } else {
    EvictWhileOver(bytes);
  }
}

void ImageCache::Clear() {
  while (!lru_.empty()) Drop(lru_.back());
  used_ = 0;
}

std::vector<std::string> ImageCache::GetKeysByRecency() const {
  std::vector<std::string> keys;
  for (const Entry* entry : lru_) keys.push_back(entry->key);
  return keys;
}

uint64_t ComputeCacheBudget(int64_t megabytes, uint64_t physicalBytes) {
  uint64_t cap;
  uint64_t wanted;
  if (megabytes < 0) {
    const uint64_t t = physicalBytes;
    wanted = t <= 96 * kMegabyte    ? 0
             : t <= 128 * kMegabyte ? 10
             : t <= 192 * kMegabyte ? 20
             : t <= 256 * kMegabyte ? 30
             : t <= 512 * kMegabyte ? 64
                                    : 80;
    cap = t;
  } else {
    wanted = static_cast<uint64_t>(megabytes);
    cap = physicalBytes / 2;
  }
  // Requests of 4 GB and more are real on today's machines: the product needs 64 bits.
  uint64_t bytes = wanted > UINT64_MAX / kMegabyte ? UINT64_MAX : wanted * kMegabyte;
  return std::min(bytes, cap);
}

uint64_t GetPhysicalMemoryBytes() {
  return host::QueryMachine().physicalMemoryBytes;
}

}  // namespace bw
