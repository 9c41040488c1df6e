// A movie drawn as a render item: the player converts its frames straight into two movie frame
// surfaces made by the display manager (address and pitch read under each one's lock), and the
// current one is blitted at the display position and size.
#pragma once

#include <cstdint>
#include <memory>

#include "graphics/device/render_item.h"
#include "graphics/device/render_item_sprite.h"
#include "sound/movie_control.h"

namespace bw {

class DisplayManager;
class MovieFrameSurface;

class MoviePrimControl : public RenderItem, public MovieWrapper {
 public:
  MoviePrimControl();
  ~MoviePrimControl() override;

  // width and height: the display size (0 = the video's). 0, or a wrapper code of
  // movie_control.h (1, 2, 3, 4, 5, 6).
  [[nodiscard]] int32_t Open(DisplayManager* target, const char* file, int32_t width,
                             int32_t height, FileSystemManager* fileSystem = nullptr);
  void Reset();

  int32_t VideoWidth() const { return videoWidth_; }
  int32_t VideoHeight() const { return videoHeight_; }
  MovieFrameSurface* FrameSurface(int index) const { return frames_[index & 1]; }

  uint8_t GetKind() const override { return kItemMovie; }
  int32_t GetX() const override { return x_; }
  int32_t GetY() const override { return y_; }
  void SetPosition(int32_t x, int32_t y) override { x_ = x, y_ = y; }
  void SetSize(int32_t width, int32_t height) override;
  void SetSizeAndPosition(int32_t width, int32_t height, int32_t x, int32_t y) override;
  bool GetRect(Rect* out) const override;
  [[nodiscard]] int Draw(host::MemorySurface* dest, const Rect* clip,
                         Direct3DDevice* device) override;
  [[nodiscard]] int Restore() override;

 private:
  class Buffer;

  DisplayManager* target_ = nullptr;
  MovieFrameSurface* frames_[2] = {nullptr, nullptr};
  std::unique_ptr<Buffer> buffers_[2];
  int32_t videoWidth_ = 0;
  int32_t videoHeight_ = 0;
  Rect source_;
  int32_t x_ = 0, y_ = 0;
  int32_t width_ = 0, height_ = 0;
  SpritePrimitive blit_;  // draws the current frame surface
};

}  // namespace bw
