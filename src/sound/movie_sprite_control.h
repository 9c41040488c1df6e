// A movie shown as a display object: the player converts its frames into two memory bitmaps
// (each under its own lock, the decoder writing the one not shown), and the composition draws
// the shown one with the pixel library's blit like a sprite.
#pragma once

#include <cstdint>
#include <memory>

#include "graphics/surface/display_object.h"
#include "graphics/surface/memory_bitmap.h"
#include "sound/movie_control.h"

namespace bw {

class MovieSpriteControl : public PlacedDisplayObject, public MovieWrapper {
 public:
  MovieSpriteControl();
  ~MovieSpriteControl() override;

  // 0, or a wrapper code of movie_control.h (1, 2, 3, 4, 6).
  [[nodiscard]] int32_t Open(const char* file, int32_t x, int32_t y,
                             FileSystemManager* fileSystem = nullptr);
  // Releases the movie: empty again, volume 256.
  void Reset();

  int32_t VideoWidth() const { return videoWidth_; }
  int32_t VideoHeight() const { return videoHeight_; }
  MemoryBitmap& FrameBuffer(int index) { return frames_[index & 1]; }

  // The size it is shown at: the one set, else the video's.
  int32_t GetWidth() const override { return displayWidth_ > 0 ? displayWidth_ : videoWidth_; }
  int32_t GetHeight() const override { return displayHeight_ > 0 ? displayHeight_ : videoHeight_; }
  bool IsColorRect() const override { return false; }
  // A shown frame the composition has not collected yet is a change: a playing movie is redrawn
  // as its frames come, and only then.
  bool IsChanged() const override;
  void SetChanged(bool changed) override;
  [[nodiscard]] int SetDrawMode(int mode) override;
  [[nodiscard]] int SetZoom(int32_t width, int32_t height) override;
  bool SetZoomAndPos(int32_t width, int32_t height, int32_t x, int32_t y) override;
  bool Refresh(const Rect* rect) override;
  bool HitTest(int32_t x, int32_t y, bool testPixel) const override;
  [[nodiscard]] int DrawOver(ImageSurface* target) override;
  [[nodiscard]] int DrawInto(ImageSurface* target, Rect* out) override;
  [[nodiscard]] int Draw(ImageSurface* target, const Rect& clip) override;

 private:
  class Buffer;

  void UpdatePlaced() override;
  [[nodiscard]] int DrawFrame(ImageSurface* target);

  MemoryBitmap frames_[2];
  std::unique_ptr<Buffer> buffers_[2];
  int32_t videoWidth_ = 0;
  int32_t videoHeight_ = 0;
  Rect source_;
  int32_t displayWidth_ = 0;
  int32_t displayHeight_ = 0;
  int64_t collectedTime_ = -1;  // the player's shown frame when the change was last collected
};

}  // namespace bw
