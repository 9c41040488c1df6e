#include "sound/movie_prim_control.h"

#include "graphics/device/display_manager.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/movie_frame_surface.h"

namespace bw {

// One frame surface as the decoder writes it: its address and pitch read under its lock, which
// a restore also takes. A restore makes the surface again, blank: its generation tells the
// player that what it converted there is gone.
class MoviePrimControl::Buffer final : public host::MovieFrameBuffer {
 public:
  explicit Buffer(MovieFrameSurface* frame) : frame_(frame) {}
  bool LockFrame(host::MovieFrameMemory* memory) override {
    frame_->GetLock().Acquire();
    host::MovieFrameFormat format = host::MovieFrameFormat::kXrgb8888;
    bool known = true;
    switch (frame_->GetFormatCode()) {
      case kFormat555:
        format = host::MovieFrameFormat::kRgb555;
        break;
      case kFormat565:
        format = host::MovieFrameFormat::kRgb565;
        break;
      case kFormat24:
        format = host::MovieFrameFormat::kRgb888;
        break;
      case kFormatX888:
        format = host::MovieFrameFormat::kXrgb8888;
        break;
      default:
        known = false;
        break;
    }
    if (!frame_->GetMemory() || !known) {
      frame_->GetLock().Release();
      return false;
    }
    *memory = {
        frame_->GetMemory(),    frame_->GetPitch(), frame_->GetWidth(), frame_->GetHeight(), format,
        frame_->GetGeneration()};
    return true;
  }
  void UnlockFrame() override { frame_->GetLock().Release(); }
  bool KeepsPixels() const override { return true; }

 private:
  MovieFrameSurface* frame_;
};

MoviePrimControl::MoviePrimControl() : MovieWrapper(true) {}

MoviePrimControl::~MoviePrimControl() {
  Reset();
}

void MoviePrimControl::Reset() {
  ResetControl();
  blit_.SetSource(nullptr);
  for (int i = 0; i < 2; ++i) {
    // One the manager does not hold is gone already.
    if (frames_[i] && target_) (void)target_->DestroyLayer(frames_[i]);
    frames_[i] = nullptr;
    buffers_[i].reset();
  }
  target_ = nullptr;
  videoWidth_ = videoHeight_ = 0;
  source_ = {};
  x_ = y_ = width_ = height_ = 0;
}

int32_t MoviePrimControl::Open(DisplayManager* target, const char* file, int32_t width,
                               int32_t height, FileSystemManager* fileSystem) {
  const MovieHelperLibrary* library = GetMovieLibrary(MovieLibraryKind::kPrimitive);
  if (!library) return kMovieNoLibrary;
  if (!fileSystem) fileSystem = library->fileSystem;
  if (!target || !file || !fileSystem) return kMovieBadArgument;
  Reset();
  const int32_t r = OpenControl(file, fileSystem);
  if (r != kMovieOpened) return r;
  target_ = target;
  const int32_t w = control_->VideoWidth(), h = control_->VideoHeight();
  if (w > 0 && h > 0) {
    for (int i = 0; i < 2; ++i) {
      if (target->CreateMovieFrameSurface(&frames_[i], w, h) != 0 || !frames_[i]) {
        frames_[i] = nullptr;
        Reset();
        return kMovieNoFrames;
      }
      buffers_[i] = std::make_unique<Buffer>(frames_[i]);
    }
    control_->Player().SetFrameBuffers(buffers_[0].get(), buffers_[1].get());
  }
  videoWidth_ = w;
  videoHeight_ = h;
  source_ = {0, 0, w, h};
  width_ = width;
  height_ = height;
  return kMovieOpened;
}

void MoviePrimControl::SetSize(int32_t width, int32_t height) {
  width_ = width;
  height_ = height;
}

void MoviePrimControl::SetSizeAndPosition(int32_t width, int32_t height, int32_t x, int32_t y) {
  SetSize(width, height);
  SetPosition(x, y);
}

bool MoviePrimControl::GetRect(Rect* out) const {
  if (!out) return false;
  const int32_t w = width_ > 0 ? width_ : videoWidth_, h = height_ > 0 ? height_ : videoHeight_;
  *out = {x_, y_, ClampedSum(x_, w), ClampedSum(y_, h)};
  return true;
}

int MoviePrimControl::Draw(host::MemorySurface* dest, const Rect* clip, Direct3DDevice* device) {
  if (!IsEnabled()) return kRenderDone;
  if (!control_ || !frames_[0]) return kRenderMissing;
  host::MoviePlayer& player = control_->Player();
  const int32_t index = player.PrepareFrame();
  MovieFrameSurface* frame = frames_[index & 1];
  int result = kRenderMissing;
  {
    ScopedLock hold(frame->GetLock());
    // A frame without pixels is not shown.
    (void)blit_.Init(frame, &source_, x_, y_);
    blit_.SetSize(width_ > 0 ? width_ : 0, height_ > 0 ? height_ : 0);
    result = blit_.Draw(dest, clip, device);
    blit_.SetSource(nullptr);
  }
  (void)player.DoneWithFrame();  // a closed player holds no frame
  return result;
}

int MoviePrimControl::Restore() {
  int result = 0;
  for (MovieFrameSurface* frame : frames_) {
    if (frame && frame->Restore(1) != 0) result = kFrameRestoreFailed;
  }
  return result;
}

}  // namespace bw
