// The reference-counted read stream of the resource layer.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <utility>

namespace bw {

// The engine's reference count: 0 means one holder. Release lowers a non-zero count and
// deletes the object when the count is already 0.
class RefCounted {
 public:
  virtual ~RefCounted() = default;
  void AddRef() { ++refCount_; }
  void Release() {
    if (refCount_ != 0) {
      --refCount_;
    } else {
      delete this;
    }
  }
  uint32_t RefCount() const { return refCount_; }

 private:
  uint32_t refCount_ = 0;
};

class Stream : public RefCounted {
 public:
  virtual uint32_t GetSize() = 0;
  virtual uint32_t Tell() = 0;
  virtual bool IsEof() = 0;
  virtual uint32_t Seek(uint32_t position) = 0;
  virtual uint32_t Skip(int32_t distance) = 0;
  virtual uint32_t SeekFromEnd(uint32_t distance) = 0;
  // Bytes delivered, at most count.
  [[nodiscard]] virtual uint32_t Read(void* buffer, uint32_t count) = 0;
  // The stream's memory block, null when it has none. With detach the caller takes the block.
  virtual void* GetBuffer(bool /*detach*/) { return nullptr; }

 protected:
  // Where the moves of the seek family land: always inside [0, size].
  static uint32_t ClampSeek(uint32_t position, uint32_t size) {
    return position < size ? position : size;
  }
  static uint32_t ClampSkip(uint32_t position, int32_t distance, uint32_t size) {
    int64_t target = int64_t{position} + distance;
    return target < 0 ? 0 : target > size ? size : static_cast<uint32_t>(target);
  }
  static uint32_t ClampFromEnd(uint32_t distance, uint32_t size) {
    return distance > size ? 0 : size - distance;
  }
};

// A stream that keeps its own position inside [0, size]: the seek family clamps the target
// and hands it to MoveTo.
class PositionedStream : public Stream {
 public:
  uint32_t GetSize() override { return size_; }
  uint32_t Tell() override { return position_; }
  bool IsEof() override { return position_ == size_; }
  uint32_t Seek(uint32_t position) override { return MoveTo(ClampSeek(position, size_)); }
  uint32_t Skip(int32_t distance) override { return MoveTo(ClampSkip(position_, distance, size_)); }
  uint32_t SeekFromEnd(uint32_t distance) override { return MoveTo(ClampFromEnd(distance, size_)); }

 protected:
  explicit PositionedStream(uint32_t size = 0) : size_(size) {}
  // Goes to position, inside [0, size]; the stream's own result code.
  virtual uint32_t MoveTo(uint32_t position) = 0;

  uint32_t size_ = 0;
  uint32_t position_ = 0;
};

// Holds one reference and releases it when the holder goes.
struct ReleaseRef {
  void operator()(RefCounted* object) const { object->Release(); }
};
template <typename T>
using Ref = std::unique_ptr<T, ReleaseRef>;
using StreamRef = Ref<Stream>;

// A new object whose maker holds its first reference; null when memory runs out.
template <typename T, typename... Args>
Ref<T> MakeRef(Args&&... args) {
  return Ref<T>(new (std::nothrow) T(std::forward<Args>(args)...));
}

}  // namespace bw
