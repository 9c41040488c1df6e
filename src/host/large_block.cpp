#include "host/large_block.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <type_traits>

namespace bw::host {

namespace {

constexpr size_t kLargePage = size_t{2} << 20;
constexpr size_t kSmallPage = size_t{4} << 10;
// The heap grows by this much beyond each request, so that its growth comes in whole large pages,
// and serves requests up to kHeapLargest, which would otherwise each be mapped in small pages.
constexpr int kHeapStep = 16 << 20;
constexpr int kHeapLargest = 32 << 20;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kHeapOnly = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kHeapOnly = true;
#else
constexpr bool kHeapOnly = false;
#endif
#else
constexpr bool kHeapOnly = false;
#endif

constexpr uint8_t kUnwrittenFill = 0xA5;

uintptr_t RoundUp(uintptr_t size, uintptr_t unit) {
  return (size + unit - 1) / unit * unit;
}

// The length to map for size bytes: whole large pages where the padding costs at most a quarter
// of the block (an 800 x 600 picture of 32-bit pixels fills 92 % of one), else whole small pages,
// of which only the large pages lying wholly inside get large; 0 when none would.
size_t MappedLength(size_t size) {
  if (kHeapOnly || size == 0 || size > SIZE_MAX - 2 * kLargePage) return 0;
  const size_t large = RoundUp(size, kLargePage);
  if (large - size <= size / 4) return large;
  return size >= kLargePage ? RoundUp(size, kSmallPage) : 0;
}

// The heap's own growth, from where blocks too small to map are taken, is advised for large pages
// too: the heap is set to grow in large steps, to serve large requests and to keep what is freed
// at its top, and each block taken from it advises what it grew by since the last one.
class HeapAdvice {
 public:
  HeapAdvice() {
    mallopt(M_MMAP_THRESHOLD, kHeapLargest);
    mallopt(M_TOP_PAD, kHeapStep);
    mallopt(M_TRIM_THRESHOLD, 4 * kHeapStep);
  }
  void AdviseGrowth() {
    std::lock_guard<std::mutex> hold(lock_);
    const auto top = reinterpret_cast<uintptr_t>(sbrk(0));
    if (top == uintptr_t(-1)) return;
    // Growth after the heap gave memory back is new memory again.
    if (advised_ == 0 || top < advised_) {
      advised_ = RoundUp(top, kLargePage);
      return;
    }
    const uintptr_t end = top / kLargePage * kLargePage;
    if (end <= advised_) return;
    (void)madvise(reinterpret_cast<void*>(advised_), end - advised_, MADV_HUGEPAGE);
    advised_ = end;
  }

 private:
  std::mutex lock_;
  uintptr_t advised_ = 0;
};

// Blocks given back are kept, newest last, for the next block of the same length: a scene's
// pictures and the frames presented come and go all game long, and each new mapping costs its
// page faults, the kernel's zeroing of every page and, at unmapping, a flush of every processor's
// address cache. What is kept is bounded; past the bound the oldest are unmapped.
class KeptBlocks {
 public:
  // A kept block of length bytes, or null.
  uint8_t* Take(size_t length) {
    std::lock_guard<std::mutex> hold(lock_);
    for (size_t i = count_; i-- > 0;) {
      if (blocks_[i].length != length) continue;
      uint8_t* bytes = blocks_[i].bytes;
      std::copy(blocks_ + i + 1, blocks_ + count_, blocks_ + i);
      --count_;
      bytes_ -= length;
      return bytes;
    }
    return nullptr;
  }
  void Keep(uint8_t* bytes, size_t length) {
    Kept gone[kKeptBlocks + 1];
    size_t goneCount = 0;
    if (length > kKeptBytes) {
      gone[goneCount++] = {bytes, length};
    } else {
      std::lock_guard<std::mutex> hold(lock_);
      size_t oldest = 0;
      while (bytes_ + length > kKeptBytes || count_ - oldest == kKeptBlocks) {
        bytes_ -= blocks_[oldest].length;
        gone[goneCount++] = blocks_[oldest++];
      }
      std::copy(blocks_ + oldest, blocks_ + count_, blocks_);
      count_ -= oldest;
      blocks_[count_++] = {bytes, length};
      bytes_ += length;
    }
    for (size_t i = 0; i < goneCount; ++i) munmap(gone[i].bytes, gone[i].length);
  }

 private:
  // Enough for the frames in flight and a scene's change of pictures at 800 x 600, in 2 MiB
  // blocks, and a few at larger sizes.
  static constexpr size_t kKeptBytes = size_t{32} << 20;
  static constexpr size_t kKeptBlocks = 12;
  struct Kept {
    uint8_t* bytes = nullptr;
    size_t length = 0;
  };
  std::mutex lock_;
  Kept blocks_[kKeptBlocks];
  size_t count_ = 0;
  size_t bytes_ = 0;
};
// Blocks are given back until the process ends, after the destructors of static objects too.
static_assert(std::is_trivially_destructible_v<KeptBlocks>);
KeptBlocks theKeptBlocks;

LargeBlock FromHeap(size_t size, bool zeroed) {
  LargeBlock block(new (std::nothrow) uint8_t[size], LargeBlockRelease{0});
  if (!block) return block;
  if (!kHeapOnly) {
    static HeapAdvice advice;
    advice.AdviseGrowth();
  }
  // Zeroed only now, so that what the heap grew by is advised before it is first touched.
  if (zeroed) {
    std::memset(block.get(), 0, size);
  } else if (kHeapOnly) {
    // Checked builds fill what is not zeroed with a byte no picture relies on, so that a reader
    // of bytes nobody wrote shows in what it draws.
    std::memset(block.get(), kUnwrittenFill, size);
  }
  return block;
}

}  // namespace

void LargeBlockRelease::operator()(uint8_t* bytes) const noexcept {
  if (mapped == 0) {
    delete[] bytes;
  } else {
    theKeptBlocks.Keep(bytes, mapped);
  }
}

bool MapsOnItsOwn(size_t size) {
  return MappedLength(size) != 0;
}

LargeBlock AllocateLargeBlock(size_t size, bool zeroed) {
  const size_t length = MappedLength(size);
  if (length == 0) return FromHeap(size, zeroed);
  // A kept block holds what its last user left and is zeroed by hand where asked: that costs
  // what the kernel's zeroing of a fresh large page costs, without the page fault, the page's
  // allocation and the address-cache flush of every processor when it is unmapped again.
  if (uint8_t* kept = theKeptBlocks.Take(length)) {
    if (zeroed) std::memset(kept, 0, size);
    return LargeBlock(kept, LargeBlockRelease{length});
  }
  // Map a large page more than needed, then give back what lies before the first 2 MiB boundary
  // and after the block.
  const size_t span = length + kLargePage;
  void* mapping = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) return FromHeap(size, zeroed);
  auto* start = static_cast<uint8_t*>(mapping);
  const auto address = reinterpret_cast<uintptr_t>(start);
  const size_t head = RoundUp(address, kLargePage) - address;
  if (head > 0) munmap(start, head);
  if (span - head > length) munmap(start + head + length, span - head - length);
  // Without large pages (switched off, or none free) the block works in small ones.
  (void)madvise(start + head, length, MADV_HUGEPAGE);
  // A fresh mapping reads as zero.
  return LargeBlock(start + head, LargeBlockRelease{length});
}

}  // namespace bw::host
