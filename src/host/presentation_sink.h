// Where finished frames go: a 32-bit BGRA back buffer (bytes B, G, R, A in memory), shown scaled
// into the window with its aspect kept and black bars around it.
#pragma once

#include <cstdint>
#include <limits>
#include <mutex>
#include <vector>

#include "host/backend.h"
#include "host/surface/shared_pixels.h"

namespace bw::host {

enum class ScaleFilter { kNearest, kLinear };

struct Frame {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> bgra;  // width * 4 bytes per row, no padding
  ScaleFilter filter = ScaleFilter::kNearest;
};

// Where a frame may differ from the one shown before it, when nothing narrower is known.
constexpr Rect kWholeFrame{0, 0, std::numeric_limits<int32_t>::max(),
                           std::numeric_limits<int32_t>::max()};

// A frame as a sink is shown it: rows pitch bytes apart. With pixels, the bytes stay as they are
// for as long as the sink holds that handle; without, they are good only while Show runs. Outside
// changed it is the frame shown before (when that had the same size).
struct FrameView {
  const uint8_t* bgra = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t pitch = 0;
  ScaleFilter filter = ScaleFilter::kNearest;
  SharedPixels pixels;
  Rect changed = kWholeFrame;
};

// The largest rectangle of the source's aspect that fits the target, centred; empty when either
// size is not positive.
Rect LetterboxRect(int32_t sourceWidth, int32_t sourceHeight, int32_t targetWidth,
                   int32_t targetHeight);

// FNV-1a 64 over the bytes; hash carries on from bytes hashed before.
constexpr uint64_t kFnv1a64Start = 0xcbf29ce484222325ull;
uint64_t Fnv1a64(const uint8_t* data, size_t size, uint64_t hash = kFnv1a64Start);

// The frame's rows without their padding: width * 4 * height bytes into out.
void CopyFrameRows(const FrameView& frame, uint8_t* out);
// The frame as a whole Frame of its own.
void CopyFrame(const FrameView& frame, Frame* out);

class PresentationSink {
 public:
  virtual ~PresentationSink() = default;

  // Window thread: shows the pixels now, without keeping them. pitch is the distance between
  // rows in bytes. False for a size or pitch that does not fit.
  [[nodiscard]] bool Present(const uint8_t* bgra, int32_t width, int32_t height, int32_t pitch,
                             ScaleFilter filter);
  // Any thread: keeps a copy of the frame under the lock for the window thread to show; a frame
  // not yet shown is replaced. False for a size or pitch that does not fit.
  [[nodiscard]] bool HandOver(const uint8_t* bgra, int32_t width, int32_t height, int32_t pitch,
                              ScaleFilter filter);
  // The same without a copy: the pixels are held, and whoever drew them writes the next frame
  // elsewhere while they are. changed bounds where the frame differs from the one handed over
  // before. False also when the block is too small for the frame.
  [[nodiscard]] bool HandOver(SharedPixels pixels, int32_t width, int32_t height, int32_t pitch,
                              ScaleFilter filter, const Rect& changed = kWholeFrame);
  // Any thread: the frame on screen stays for another turn because nothing in it changed. A sink
  // that counts frames counts it at the next pump like a frame shown; a frame handed over and not
  // yet shown stands for it.
  void HandOverSame();
  // Window thread (the pump calls it): shows a handed-over frame, or the last one again; answers
  // whether there was one.
  bool PresentPending();

 protected:
  // Shows the frame; window thread only. A sink that keeps frame.pixels keeps the bytes.
  virtual void Show(const FrameView& frame) = 0;
  // The last frame stays on screen for one more turn; window thread only. Nothing to draw again
  // by default.
  virtual void ShowSame() {}
  // Tells the window thread that a frame is waiting.
  virtual void NotifyPending() {}
  // A block of at least size bytes that nobody else holds, from the blocks the sink has let go
  // of where one fits; empty when memory runs out.
  SharedPixels TakeBlock(size_t size);

 private:
  std::mutex pendingLock_;
  FrameView pending_;         // guarded by pendingLock_
  bool hasPending_ = false;   // guarded by pendingLock_
  bool samePending_ = false;  // guarded by pendingLock_
  // Blocks the sink made for copies, kept for the next ones; guarded by pendingLock_.
  std::vector<SharedPixels> spares_;
};

}  // namespace bw::host
