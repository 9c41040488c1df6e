#include "sound/movie_object.h"

#include <algorithm>
#include <cstring>

#include "host/clock.h"
#include "host/messages.h"
#include "host/presentation_sink.h"

namespace bw {

namespace {
constexpr uint32_t kDecodeStepMs = 10;
constexpr int32_t kBytesPerPixel = 4;
}  // namespace

// A plain BGRA buffer of the destination's size.
class MovieObject::Buffer final : public host::MovieFrameBuffer {
 public:
  Buffer(int32_t width, int32_t height)
      : width_(width),
        height_(height),
        pixels_(static_cast<size_t>(width) * height * kBytesPerPixel) {}
  bool LockFrame(host::MovieFrameMemory* memory) override {
    if (pixels_.empty()) return false;
    *memory = {pixels_.data(), width_ * kBytesPerPixel, width_, height_,
               host::MovieFrameFormat::kXrgb8888};
    return true;
  }
  void UnlockFrame() override {}
  bool KeepsPixels() const override { return true; }
  const uint8_t* Row(int32_t y) const {
    return pixels_.data() + static_cast<size_t>(y) * width_ * kBytesPerPixel;
  }

 private:
  int32_t width_, height_;
  std::vector<uint8_t> pixels_;
};

// Decodes and presents at the device's pace where the clock moves by itself.
class MovieObject::Decoder final : public WorkerThread {
 public:
  explicit Decoder(MovieObject* owner) : owner_(owner) {}
  // A thread that cannot be joined is left detached; it reads nothing of ours once stopped.
  ~Decoder() override { (void)Stop(); }
  void Run() override {
    while (!WaitForStopRequest(kDecodeStepMs)) owner_->Present();
  }

 private:
  MovieObject* owner_;
};

MovieObject::MovieObject() : MovieWrapper(false) {}

MovieObject::~MovieObject() {
  Reset();
}

void MovieObject::Reset() {
  decoder_.reset();  // stops the thread before what it reads goes
  std::lock_guard<std::mutex> hold(frameLock_);
  ResetControl();
  buffers_[0].reset();
  buffers_[1].reset();
  for (Canvas& canvas : canvases_) canvas = {};
  lastCanvas_ = -1;
  handedTime_ = -1;
  window_ = {};
  sink_ = nullptr;
  rect_ = {};
  canvasWidth_ = canvasHeight_ = 0;
  showing_ = false;
  videoWidth_ = videoHeight_ = 0;
}

int32_t MovieObject::Open(host::HWND window, const char* file, FileSystemManager* fileSystem,
                          int32_t canvasWidth, int32_t canvasHeight) {
  const MovieHelperLibrary* library = GetMovieLibrary(MovieLibraryKind::kWindow);
  if (!library) return kMovieNoLibrary;
  if (!fileSystem) fileSystem = library->fileSystem;
  if (!window || !file || !fileSystem || canvasWidth < 1 || canvasHeight < 1)
    return kMovieBadArgument;
  Reset();
  const int32_t r = OpenControl(file, fileSystem);
  if (r != kMovieOpened) return r;
  // The end is told by an event; HandleEvents decides.
  control_->Player().SetStopAtEnd(false);
  {
    std::lock_guard<std::mutex> hold(frameLock_);
    window_ = window;
    sink_ = host::GetPresentationSink(window);
    canvasWidth_ = canvasWidth;
    canvasHeight_ = canvasHeight;
    videoWidth_ = control_->VideoWidth();
    videoHeight_ = control_->VideoHeight();
    rect_ = {0, 0, videoWidth_, videoHeight_};
    lastCanvas_ = -1;
    MakeBuffers();
  }
  if (host::CurrentClock().MovesOnItsOwn()) {
    decoder_ = std::make_unique<Decoder>(this);
    // Without its thread nothing would show the movie.
    if (decoder_->Start() != kThreadStarted) {
      Reset();
      return kMovieLibraryRefused;
    }
  }

  return kMovieOpened;
}

void MovieObject::MakeBuffers() {
  control_->Player().SetFrameBuffers(nullptr, nullptr);
  const int32_t w = rect_.right - rect_.left, h = rect_.bottom - rect_.top;
  if (w < 1 || h < 1 || videoWidth_ < 1) {
    buffers_[0].reset();
    buffers_[1].reset();
    return;
  }
  buffers_[0] = std::make_unique<Buffer>(w, h);
  buffers_[1] = std::make_unique<Buffer>(w, h);
  control_->Player().SetFrameBuffers(buffers_[0].get(), buffers_[1].get());
  handedTime_ = -1;
}

int32_t MovieObject::Play() {
  if (!control_) return kMovieNone;
  showing_ = true;
  return control_->Play();
}

int32_t MovieObject::Resume() {
  if (!control_) return kMovieNone;
  const int32_t r = control_->Resume();
  if (r == 0) showing_ = true;
  return r;
}

int32_t MovieObject::Stop() {
  if (!control_) return kMovieNone;
  showing_ = false;
  return control_->Stop();
}

int32_t MovieObject::Query() {
  return control_ ? 0 : kMovieNone;
}
int32_t MovieObject::Command(int32_t) {
  return control_ ? 0 : kMovieNone;
}

int32_t MovieObject::SetRect(const Rect& rect) {
  std::lock_guard<std::mutex> hold(frameLock_);
  if (!control_) return kMovieNone;
  // Only what fits the canvas is drawn; a rectangle larger than a movie may be is refused.
  if (rect.right - int64_t{rect.left} > host::kMovieMaxSide ||
      rect.bottom - int64_t{rect.top} > host::kMovieMaxSide) {
    return kMovieBadArgument;
  }
  rect_ = rect;
  lastCanvas_ = -1;
  MakeBuffers();
  return 0;
}

Rect MovieObject::GetRect() const {
  std::lock_guard<std::mutex> hold(frameLock_);
  return rect_;
}

bool MovieObject::Present() {
  std::lock_guard<std::mutex> hold(frameLock_);
  if (!control_) return false;
  host::MoviePlayer& player = control_->Player();
  const int32_t index = player.PrepareFrame();
  const int64_t time = player.ShownFrameTime();
  if (showing_ && buffers_[0] && time >= 0 && time != handedTime_) {
    handedTime_ = time;
    uint8_t* canvas = FreeCanvas();
    host::PresentationSink* sink = host::GetPresentationSink(window_);
    if (!sink) sink = sink_;
    if (canvas) {
      DrawFrame(*buffers_[index & 1], canvas);
      if (sink) {
        // The canvas's own size and pitch: the sink takes them.
        (void)sink->HandOver(canvases_[lastCanvas_].pixels, canvasWidth_, canvasHeight_,
                             canvasWidth_ * kBytesPerPixel, host::ScaleFilter::kLinear);
      }
    }
  }
  (void)player.DoneWithFrame();  // a closed player holds no frame
  // A window already gone has no queue: the message has nobody to reach.
  if (player.HasEvents()) (void)host::PostMessage(window_, host::WM_APP_MOVIE, 0, 0);
  return true;
}

uint8_t* MovieObject::FreeCanvas() {
  const size_t bytes = static_cast<size_t>(canvasWidth_) * canvasHeight_ * kBytesPerPixel;
  int free = 0;
  while (free < kCanvases && canvases_[free].pixels && !canvases_[free].pixels.Sole()) ++free;
  // A window that keeps every frame it was shown gets a new canvas each time.
  if (free == kCanvases) free = (lastCanvas_ + 1) % kCanvases;
  Canvas& canvas = canvases_[free];
  if (!canvas.pixels.Sole()) {
    canvas.pixels = host::SharedPixels::Make(bytes);
    canvas.outside = {};
    if (!canvas.pixels) return nullptr;
  }
  if (canvas.outside != rect_) {
    uint32_t* pixels = reinterpret_cast<uint32_t*>(canvas.pixels.Data());
    std::fill(pixels, pixels + bytes / kBytesPerPixel, 0xFF000000u);
    canvas.outside = rect_;
  }
  lastCanvas_ = free;
  return canvas.pixels.Data();
}

void MovieObject::DrawFrame(const Buffer& frame, uint8_t* canvas) const {
  // Clip the destination to the canvas.
  const int32_t left = std::clamp(rect_.left, 0, canvasWidth_),
                right = std::clamp(rect_.right, 0, canvasWidth_);
  const int32_t top = std::clamp(rect_.top, 0, canvasHeight_),
                bottom = std::clamp(rect_.bottom, 0, canvasHeight_);
  for (int32_t y = top; y < bottom && left < right; ++y) {
    uint32_t* to = reinterpret_cast<uint32_t*>(canvas) + static_cast<size_t>(y) * canvasWidth_;
    const uint8_t* from =
        frame.Row(y - rect_.top) + static_cast<size_t>(left - rect_.left) * kBytesPerPixel;
    for (int32_t x = left; x < right; ++x, from += kBytesPerPixel) {
      uint32_t pixel;
      std::memcpy(&pixel, from, kBytesPerPixel);
      // The unused byte of each pixel is opaque for the sink.
      to[x] = pixel | 0xFF000000u;
    }
  }
}

std::vector<uint8_t> MovieObject::LastFrame() const {
  std::lock_guard<std::mutex> hold(frameLock_);
  const size_t bytes = static_cast<size_t>(canvasWidth_) * canvasHeight_ * kBytesPerPixel;
  if (lastCanvas_ < 0) return std::vector<uint8_t>(bytes, 0);
  const uint8_t* pixels = canvases_[lastCanvas_].pixels.Data();
  return std::vector<uint8_t>(pixels, pixels + bytes);
}

void MovieObject::HandleEvents() {
  if (!control_) return;
  int32_t code = 0;
  while (control_->Player().NextEvent(&code)) {
    int32_t state = host::kMovieStopped;
    (void)control_->GetState(&state);  // a player that cannot tell is taken as stopped
    if (code == host::kMovieEventComplete && state == host::kMoviePlaying) {
      if (Loop()) {
        // A player that will not rewind is stopped; one that will not stop either plays on
        // from where it is.
        if (control_->Seek(0) != 0) (void)control_->Stop();
        // A buffer that does not start stays silent and is played again on the next command.
        (void)control_->Play();
      } else {
        (void)Stop();  // hidden either way; a player that will not stop is at its end
      }
    } else if (code == host::kMovieEventError) {
      (void)Stop();  // hidden either way; a player in error shows nothing more
    }
  }
}

void MovieObject::OnDisplayChange() {
  std::lock_guard<std::mutex> hold(frameLock_);
  handedTime_ = -1;
}

}  // namespace bw
