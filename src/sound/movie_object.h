// The movie played over the main window: its frames are scaled into the destination rectangle of
// a canvas-sized frame that goes to the window's presentation sink while the application holds
// the game's own frames back. It fills the application's movie slot: it posts the window the
// movie request (0x9006) when the player has events, and HandleEvents loops or stops there.
// Where the clock moves by itself a worker thread decodes; on a virtual clock the caller steps
// it with Present, so a headless run shows the same frames every time.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "host/message_queue.h"
#include "host/surface/shared_pixels.h"
#include "platform/rect.h"
#include "platform/worker_thread.h"
#include "sound/movie_control.h"

namespace bw {

class MovieObject : public MovieWrapper {
 public:
  MovieObject();
  ~MovieObject() override;
  MovieObject(const MovieObject&) = delete;
  MovieObject& operator=(const MovieObject&) = delete;

  // canvasWidth x canvasHeight: the frame handed to the window. 0, or a wrapper code of
  // movie_control.h (1, 2 for a null window, file or file system, 3, 4, 6).
  [[nodiscard]] int32_t Open(host::HWND window, const char* file, FileSystemManager* fileSystem,
                             int32_t canvasWidth, int32_t canvasHeight);
  void Reset();

  // Play and Resume show the movie, Stop hides it.
  [[nodiscard]] int32_t Play() override;
  [[nodiscard]] int32_t Resume() override;
  [[nodiscard]] int32_t Stop() override;
  [[nodiscard]] int32_t SetRect(const Rect& rect);
  // The two operations whose meaning is left open: they do nothing and answer 0.
  [[nodiscard]] int32_t Query();
  [[nodiscard]] int32_t Command(int32_t value);
  int32_t VideoWidth() const { return videoWidth_; }
  int32_t VideoHeight() const { return videoHeight_; }
  bool IsShowing() const { return showing_; }
  Rect GetRect() const;

  // Brings the picture up to the clock and hands a changed frame to the window; posts the movie
  // request when the player has events. False when nothing is open.
  bool Present();
  // The frame last handed over (canvas-sized, BGRA), for tests.
  std::vector<uint8_t> LastFrame() const;

  // The window thread's movie request: takes the player's events, looping or stopping at the end.
  virtual void HandleEvents();
  // The desktop's mode changed: the next frame is handed over whole again.
  virtual void OnDisplayChange();

 private:
  class Buffer;
  class Decoder;

  // Sizes the two frame buffers to the destination rectangle; under frameLock_.
  void MakeBuffers();
  // A canvas the window no longer holds, its bytes outside the rectangle black and opaque; null
  // when memory runs out. Under frameLock_.
  uint8_t* FreeCanvas();
  // The frame into the canvas: the rectangle's part of it, every pixel opaque.
  void DrawFrame(const Buffer& frame, uint8_t* canvas) const;

  // A canvas handed to the window is held there until it shows another: each present writes one
  // the window let go of, so that none is copied or allocated again.
  static constexpr int kCanvases = 3;
  struct Canvas {
    host::SharedPixels pixels;
    Rect outside;  // the rectangle whose outside is black and opaque here; empty for none
  };

  mutable std::mutex frameLock_;  // guards the buffers, the canvases and the rectangle
  std::unique_ptr<Buffer> buffers_[2];
  Canvas canvases_[kCanvases];
  int lastCanvas_ = -1;      // the canvas last handed over; -1 for none since the open or SetRect
  int64_t handedTime_ = -1;  // the frame time last handed over
  host::HWND window_{};
  // Looked up on the window's thread at the open: the decoder thread cannot look it up itself.
  // The application closes the movie before the window goes.
  host::PresentationSink* sink_ = nullptr;
  Rect rect_;
  int32_t canvasWidth_ = 0;
  int32_t canvasHeight_ = 0;
  std::atomic<bool> showing_{false};  // read by the decoder thread
  int32_t videoWidth_ = 0;
  int32_t videoHeight_ = 0;
  std::unique_ptr<Decoder> decoder_;
};

}  // namespace bw
