#include "host/presentation_sink.h"

#include <algorithm>
#include <cstring>

namespace bw::host {

namespace {
constexpr int32_t kBytesPerPixel = 4;
// Bigger than any display: keeps row * height arithmetic far from overflow.
constexpr int32_t kMaxSide = 16384;
// Blocks kept for copied frames: one pending, one shown and held, one being filled.
constexpr size_t kMaxSpares = 3;

// The bytes a frame spans from its first pixel to its last, or 0 when its size or pitch does not
// fit.
size_t FrameBytes(int32_t width, int32_t height, int32_t pitch) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return 0;
  const size_t row = static_cast<size_t>(width) * kBytesPerPixel;
  if (pitch < 0 || static_cast<size_t>(pitch) < row) return 0;
  return static_cast<size_t>(pitch) * static_cast<size_t>(height - 1) + row;
}
Rect Bounds(const Rect& a, const Rect& b) {
  return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}
}  // namespace

Rect LetterboxRect(int32_t sourceWidth, int32_t sourceHeight, int32_t targetWidth,
                   int32_t targetHeight) {
  if (sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0 || targetHeight <= 0) return Rect{};
  int64_t width = targetWidth;
  int64_t height = int64_t{targetWidth} * sourceHeight / sourceWidth;
  if (height > targetHeight) {
    height = targetHeight;
    width = int64_t{targetHeight} * sourceWidth / sourceHeight;
  }
  int32_t left = static_cast<int32_t>((targetWidth - width) / 2);
  int32_t top = static_cast<int32_t>((targetHeight - height) / 2);
  return Rect{left, top, left + static_cast<int32_t>(width), top + static_cast<int32_t>(height)};
}

uint64_t Fnv1a64(const uint8_t* data, size_t size, uint64_t hash) {
  for (size_t i = 0; i < size; ++i) {
    hash ^= data[i];
    hash *= 0x100000001b3ull;
  }
  return hash;
}

void CopyFrameRows(const FrameView& frame, uint8_t* out) {
  const size_t row = static_cast<size_t>(frame.width) * kBytesPerPixel;
  for (int32_t y = 0; y < frame.height; ++y) {
    std::memcpy(out + row * static_cast<size_t>(y),
                frame.bgra + static_cast<size_t>(frame.pitch) * static_cast<size_t>(y), row);
  }
}

void CopyFrame(const FrameView& frame, Frame* out) {
  out->width = frame.width;
  out->height = frame.height;
  out->filter = frame.filter;
  out->bgra.resize(static_cast<size_t>(frame.width) * kBytesPerPixel *
                   static_cast<size_t>(frame.height));
  CopyFrameRows(frame, out->bgra.data());
}

bool PresentationSink::Present(const uint8_t* bgra, int32_t width, int32_t height, int32_t pitch,
                               ScaleFilter filter) {
  if (bgra == nullptr || FrameBytes(width, height, pitch) == 0) return false;
  Show(FrameView{bgra, width, height, pitch, filter, {}});
  return true;
}

SharedPixels PresentationSink::TakeBlock(size_t size) {
  std::lock_guard<std::mutex> guard(pendingLock_);
  for (const SharedPixels& spare : spares_) {
    if (spare.Sole() && spare.Size() >= size) return spare;
  }
  SharedPixels block = SharedPixels::Make(size);
  if (!block) return block;
  if (spares_.size() == kMaxSpares) spares_.erase(spares_.begin());
  spares_.push_back(block);
  return block;
}

bool PresentationSink::HandOver(const uint8_t* bgra, int32_t width, int32_t height, int32_t pitch,
                                ScaleFilter filter) {
  if (bgra == nullptr || FrameBytes(width, height, pitch) == 0) return false;
  const size_t row = static_cast<size_t>(width) * kBytesPerPixel;
  SharedPixels block = TakeBlock(row * static_cast<size_t>(height));
  if (!block) return false;
  CopyFrameRows(FrameView{bgra, width, height, pitch, filter, {}}, block.Data());
  return HandOver(std::move(block), width, height, static_cast<int32_t>(row), filter);
}

bool PresentationSink::HandOver(SharedPixels pixels, int32_t width, int32_t height, int32_t pitch,
                                ScaleFilter filter, const Rect& changed) {
  const size_t bytes = FrameBytes(width, height, pitch);
  if (bytes == 0 || pixels.Size() < bytes) return false;
  FrameView replaced;
  {
    std::lock_guard<std::mutex> guard(pendingLock_);
    replaced = std::move(pending_);
    const uint8_t* bgra = pixels.Data();
    // A frame replaced before it was shown leaves its changes to the one that replaces it.
    const Rect reaches = hasPending_ ? Bounds(replaced.changed, changed) : changed;
    pending_ = FrameView{bgra, width, height, pitch, filter, std::move(pixels), reaches};
    hasPending_ = true;
  }
  NotifyPending();
  return true;
}

void PresentationSink::HandOverSame() {
  {
    std::lock_guard<std::mutex> guard(pendingLock_);
    samePending_ = true;
  }
  NotifyPending();
}

bool PresentationSink::PresentPending() {
  FrameView frame;
  bool same = false;
  {
    std::lock_guard<std::mutex> guard(pendingLock_);
    same = samePending_;
    samePending_ = false;
    if (!hasPending_) {
      if (!same) return false;
    } else {
      frame = std::move(pending_);
      pending_ = FrameView{};
      hasPending_ = false;
      same = false;
    }
  }
  if (same) {
    ShowSame();
  } else {
    Show(frame);
  }
  return true;
}

}  // namespace bw::host
