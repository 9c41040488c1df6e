#include "host/presentation_sink.h"

#include <cstring>

namespace bw::host {

namespace {
constexpr int32_t kBytesPerPixel = 4;
// Bigger than any display: keeps row * height arithmetic far from overflow.
constexpr int32_t kMaxSide = 16384;
}  // namespace

Rect LetterboxRect(int32_t sourceWidth, int32_t sourceHeight, int32_t targetWidth, int32_t targetHeight) {
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

uint64_t Fnv1a64(const uint8_t* data, size_t size) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (size_t i = 0; i < size; ++i) {
    hash ^= data[i];
    hash *= 0x100000001b3ull;
  }
  return hash;
}

bool PresentationSink::CopyFrame(Frame* frame, const uint8_t* bgra, int32_t width, int32_t height,
                                 int32_t pitch, ScaleFilter filter) {
  if (bgra == nullptr || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
  size_t row = static_cast<size_t>(width) * kBytesPerPixel;
  if (pitch < 0 || static_cast<size_t>(pitch) < row) return false;
  frame->width = width;
  frame->height = height;
  frame->filter = filter;
  frame->bgra.resize(row * static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y) {
    std::memcpy(frame->bgra.data() + row * static_cast<size_t>(y), bgra + static_cast<size_t>(pitch) * static_cast<size_t>(y),
                row);
  }
  return true;
}

bool PresentationSink::Present(const uint8_t* bgra, int32_t width, int32_t height, int32_t pitch,
                               ScaleFilter filter) {
  if (!CopyFrame(&current_, bgra, width, height, pitch, filter)) return false;
  Show(current_);
  return true;
}

bool PresentationSink::HandOver(const uint8_t* bgra, int32_t width, int32_t height, int32_t pitch,
                                ScaleFilter filter) {
  {
    std::lock_guard<std::mutex> guard(pendingLock_);
    if (!CopyFrame(&pending_, bgra, width, height, pitch, filter)) return false;
    hasPending_ = true;
  }
  NotifyPending();
  return true;
}

bool PresentationSink::PresentPending() {
  {
    std::lock_guard<std::mutex> guard(pendingLock_);
    if (!hasPending_) return false;
    std::swap(current_, pending_);
    hasPending_ = false;
  }
  Show(current_);
  return true;
}

}  // namespace bw::host
