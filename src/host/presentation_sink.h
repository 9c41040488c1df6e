// Where finished frames go: a 32-bit BGRA back buffer (bytes B, G, R, A in memory), shown scaled
// into the window with its aspect kept and black bars around it.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "host/backend.h"

namespace bw::host {

enum class ScaleFilter { kNearest, kLinear };

struct Frame {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bgra;  // width * 4 bytes per row, no padding
  ScaleFilter filter = ScaleFilter::kNearest;
};

// The largest rectangle of the source's aspect that fits the target, centred; empty when either
// size is not positive.
Rect LetterboxRect(int32_t sourceWidth, int32_t sourceHeight, int32_t targetWidth, int32_t targetHeight);

// FNV-1a 64 over the bytes.
uint64_t Fnv1a64(const uint8_t* data, size_t size);

class PresentationSink {
 public:
  virtual ~PresentationSink() = default;

  // Window thread: shows the pixels now. pitch is the distance between rows in bytes. False for a
  // size or pitch that does not fit.
  bool Present(const uint8_t* bgra, int32_t width, int32_t height, int32_t pitch, ScaleFilter filter);
  // Any thread: keeps a copy of the frame under the lock for the window thread to show; a frame
  // not yet shown is replaced. False for a size or pitch that does not fit.
  bool HandOver(const uint8_t* bgra, int32_t width, int32_t height, int32_t pitch, ScaleFilter filter);
  // Window thread (the pump calls it): shows a handed-over frame; answers whether there was one.
  bool PresentPending();

 protected:
  // Shows the frame; window thread only.
  virtual void Show(const Frame& frame) = 0;
  // Tells the window thread that a frame is waiting.
  virtual void NotifyPending() {}

 private:
  static bool CopyFrame(Frame* frame, const uint8_t* bgra, int32_t width, int32_t height, int32_t pitch,
                        ScaleFilter filter);

  std::mutex pendingLock_;
  Frame pending_;       // guarded by pendingLock_
  bool hasPending_ = false;  // guarded by pendingLock_
  Frame current_;       // window thread only
};

}  // namespace bw::host
