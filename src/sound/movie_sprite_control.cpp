#include "sound/movie_sprite_control.h"

#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"

namespace bw {

namespace {
constexpr int kFrameBits = 32;
constexpr int kModeAdd = 4;
constexpr int kModeSubtract = 5;
}  // namespace

// One memory bitmap as the decoder writes it: under the bitmap's own lock. Only the player
// writes it between the control's open and reset, so what it converted stays.
class MovieSpriteControl::Buffer final : public host::MovieFrameBuffer {
 public:
  explicit Buffer(MemoryBitmap* bitmap) : bitmap_(bitmap) {}
  bool LockFrame(host::MovieFrameMemory* memory) override {
    bitmap_->GetLock().lock();
    if (!bitmap_->GetPixels()) {
      bitmap_->GetLock().unlock();
      return false;
    }
    *memory = {bitmap_->GetPixels(), bitmap_->GetPitch(), bitmap_->GetWidth(), bitmap_->GetHeight(),
               host::MovieFrameFormat::kXrgb8888};
    return true;
  }
  void UnlockFrame() override { bitmap_->GetLock().unlock(); }
  bool KeepsPixels() const override { return true; }

 private:
  MemoryBitmap* bitmap_;
};

MovieSpriteControl::MovieSpriteControl() : MovieWrapper(true) {
  buffers_[0] = std::make_unique<Buffer>(&frames_[0]);
  buffers_[1] = std::make_unique<Buffer>(&frames_[1]);
}

MovieSpriteControl::~MovieSpriteControl() {
  Reset();
}

void MovieSpriteControl::Reset() {
  ResetControl();
  frames_[0].Free();
  frames_[1].Free();
  videoWidth_ = videoHeight_ = 0;
  source_ = placed_ = {};
  displayWidth_ = displayHeight_ = 0;
  collectedTime_ = -1;
}

bool MovieSpriteControl::IsChanged() const {
  if (changed_ || !visible_ || alpha_ == 0 || !control_ || videoWidth_ < 1) return changed_;
  host::MoviePlayer& player = control_->Player();
  (void)player.GetState(nullptr);  // brings the picture up to the clock; a closed one has none
  return player.ShownFrameTime() != collectedTime_;
}

void MovieSpriteControl::SetChanged(bool changed) {
  changed_ = changed;
  if (!changed && control_) collectedTime_ = control_->Player().ShownFrameTime();
}

int32_t MovieSpriteControl::Open(const char* file, int32_t x, int32_t y,
                                 FileSystemManager* fileSystem) {
  const MovieHelperLibrary* library = GetMovieLibrary(MovieLibraryKind::kSprite);
  if (!library) return kMovieNoLibrary;
  if (!fileSystem) fileSystem = library->fileSystem;
  if (!file || !fileSystem || !GetPixelLibrary()) return kMovieBadArgument;
  Reset();
  const int32_t r = OpenControl(file, fileSystem);
  if (r != kMovieOpened) return r;
  const int32_t w = control_->VideoWidth(), h = control_->VideoHeight();
  if (w > 0 && h > 0) {
    if (frames_[0].Create(w, h, kFrameBits) != 0 || frames_[1].Create(w, h, kFrameBits) != 0) {
      Reset();
      return kMovieLibraryRefused;
    }
    control_->Player().SetFrameBuffers(buffers_[0].get(), buffers_[1].get());
  }
  videoWidth_ = w;
  videoHeight_ = h;
  source_ = {0, 0, w, h};
  x_ = x;
  y_ = y;
  UpdatePlaced();
  return kMovieOpened;
}

void MovieSpriteControl::UpdatePlaced() {
  placed_ = {x_, y_, ClampedSum(x_, GetWidth()), ClampedSum(y_, GetHeight())};
  SetChanged(true);
}

int MovieSpriteControl::SetDrawMode(int mode) {
  if (mode < 0 || mode > kMaxDrawMode) return 1;
  if (mode != drawMode_) {
    drawMode_ = static_cast<uint8_t>(mode);
    SetChanged(true);
  }
  return 0;
}

int MovieSpriteControl::SetZoom(int32_t width, int32_t height) {
  // One side below 1 takes the video's; both below 1 go back to the video's size.
  const int32_t w = width < 1 ? 0 : width, h = height < 1 ? 0 : height;
  if (w == displayWidth_ && h == displayHeight_) return 0;
  displayWidth_ = w;
  displayHeight_ = h;
  UpdatePlaced();
  return 0;
}

bool MovieSpriteControl::SetZoomAndPos(int32_t width, int32_t height, int32_t x, int32_t y) {
  const Rect before = placed_;
  displayWidth_ = width < 1 ? 0 : width;
  displayHeight_ = height < 1 ? 0 : height;
  x_ = x;
  y_ = y;
  const bool changed = IsChanged();
  UpdatePlaced();
  if (placed_ == before) {
    SetChanged(changed);
    return false;
  }
  return true;
}

bool MovieSpriteControl::Refresh(const Rect* rect) {
  return InvalidatePart(rect, GetWidth(), GetHeight());
}

bool MovieSpriteControl::HitTest(int32_t x, int32_t y, bool) const {
  return x >= placed_.left && x < placed_.right && y >= placed_.top && y < placed_.bottom;
}

int MovieSpriteControl::DrawFrame(ImageSurface* target) {
  if (!visible_ || alpha_ == 0) return kDrawDone;
  if (!target || !control_) return kDrawNoTarget;
  if (videoWidth_ < 1 || videoHeight_ < 1) return kDrawNothing;  // sound only
  host::MoviePlayer& player = control_->Player();
  const int32_t index = player.PrepareFrame();
  if (index < 0) return kDrawFailed;
  MemoryBitmap& frame = frames_[index & 1];
  // The frame carries no alpha: only the opacity, an addition or a subtraction apply, and an
  // opaque frame is copied.
  const uint32_t blend = drawMode_ == kModeAdd        ? kLibAdd
                         : drawMode_ == kModeSubtract ? kLibSubtract
                         : alpha_ == 255              ? kLibCopy
                                                      : kLibOpacity;
  int result = 0;
  {
    std::lock_guard<std::recursive_mutex> hold(frame.GetLock());
    if (displayWidth_ > 0 || displayHeight_ > 0) {
      const Size size{GetWidth(), GetHeight()};
      result = target->LibStretchBlit(&frame, static_cast<int>(LibraryOperation(blend)), 0, alpha_,
                                      0, &size, x_, y_, &source_);
    } else {
      result = target->LibBlitOpB(&frame, static_cast<int>(LibraryOperation(blend)), alpha_, 0, x_,
                                  y_, &source_);
    }
  }
  (void)player.DoneWithFrame();  // a closed player holds no frame
  return result == ImageSurface::kOpDone ? kDrawDone : kDrawFailed;
}

int MovieSpriteControl::DrawOver(ImageSurface* target) {
  const bool changed = IsChanged();
  const int result = DrawFrame(target);
  SetChanged(changed);
  return result;
}

int MovieSpriteControl::DrawInto(ImageSurface* target, Rect* out) {
  if (out) out->left = DisplayObjectList::kNoRect;
  const int result = DrawFrame(target);
  if (result == kDrawDone && out && target && visible_ && alpha_ != 0) {
    Rect drawn = placed_;
    if (target->ClipToClipRect(&drawn)) *out = drawn;
  }
  return result;
}

int MovieSpriteControl::Draw(ImageSurface* target, const Rect& clip) {
  Rect area = placed_;
  if (!IntersectRects(&area, area, clip)) return kDrawDone;
  return DrawFrame(target);
}

}  // namespace bw
