// A block of pixel bytes that a surface and the sinks showing its frames hold together, so that a
// finished frame reaches the window without a copy. The rule that makes sharing safe: only a sole
// holder writes. A holder that finds the block shared writes into another block instead.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>

#include "host/large_block.h"

namespace bw::host {

class SharedPixels {
 public:
  SharedPixels() = default;
  // An empty handle when the bytes cannot be had. The bytes start zero when zeroed, else
  // undefined.
  static SharedPixels Make(size_t size, bool zeroed = false) {
    SharedPixels out;
    LargeBlock bytes = AllocateLargeBlock(size, zeroed);
    if (!bytes) return out;
    out.block_.reset(new (std::nothrow) Block{{1}, size, std::move(bytes)});
    return out;
  }

  SharedPixels(const SharedPixels& other) {
    if (!other.block_) return;
    other.block_->holders.fetch_add(1, std::memory_order_relaxed);
    block_.reset(other.block_.get());
  }
  SharedPixels(SharedPixels&& other) noexcept = default;
  SharedPixels& operator=(SharedPixels other) noexcept {
    std::swap(block_, other.block_);
    return *this;
  }

  void Reset() { block_.reset(); }

  explicit operator bool() const { return block_ != nullptr; }
  uint8_t* Data() const { return block_ ? block_->bytes.get() : nullptr; }
  size_t Size() const { return block_ ? block_->size : 0; }
  // Whether this handle is the only one, so that writing through it disturbs nobody.
  bool Sole() const { return block_ && block_->holders.load(std::memory_order_acquire) == 1; }

 private:
  struct Block {
    std::atomic<int> holders;
    size_t size;
    LargeBlock bytes;
  };
  // Each handle holds one count; the last one deletes the block.
  struct DropHolder {
    void operator()(Block* block) const {
      // The release orders this holder's last reads before a sole holder's next writes.
      if (block->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) delete block;
    }
  };
  std::unique_ptr<Block, DropHolder> block_;
};

}  // namespace bw::host
