// The abstract picture behind all drawing, and SurfaceBase, which adds clipping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/rect.h"

namespace bw {

// Kind codes answered by GetKind.
constexpr int kKindDirectDrawImageSurface = 0;
constexpr int kKindDirectDrawSurface = 1;
constexpr int kKindWgxPictureLayer = 2;
constexpr int kKindTextLayer = 3;
constexpr int kKindDibSurface = 4;  // also ImageSurface
constexpr int kKindMemoryBitmap = 5;
constexpr int kKindMovieFrameSurface = 6;
constexpr int kKindSoftwareSurfaceLayer = 7;
constexpr int kKindTextureLayer = 8;
constexpr int kKindCanvasLayer = 9;
constexpr int kKindOffscreenLayer = 10;

constexpr uint32_t kNoColorKey = 0xFFFFFFFFu;

// Answers of the colour-key setters.
constexpr int kKeySet = 0;
constexpr int kKeyCleared = 1;

class Surface;

// What holds a surface it does not own (a sprite's source, a composition layer's background or
// target) registers here, so the surface can detach it before its memory goes.
class SurfaceUser {
 public:
  virtual void DetachSurface(const Surface* surface) = 0;

 protected:
  ~SurfaceUser() = default;
};

class Surface {
 public:
  Surface() = default;
  // A copy has users of its own, none at first.
  Surface(const Surface& other);
  Surface& operator=(const Surface& other);
  virtual ~Surface();

  // A user registered more than once is detached once per registration.
  void AddUser(SurfaceUser* user) const;
  void RemoveUser(SurfaceUser* user) const;

  virtual int GetKind() const = 0;
  virtual int32_t GetWidth() const { return width_; }
  virtual int32_t GetHeight() const { return height_; }
  virtual int32_t GetPitch() const { return pitch_; }
  virtual void GetBounds(Rect* out) const { *out = {0, 0, width_, height_}; }
  virtual uint8_t* GetPixels() const = 0;
  // Bits per pixel of surfaces that hold their own pixels; 0 for the others.
  virtual int GetPixelBits() const { return 0; }
  // Null without pixels or for y outside the rows.
  virtual uint8_t* GetRowPointer(int32_t y) const = 0;
  [[nodiscard]] virtual int SetColorKeyRgb(int r, int g, int b) = 0;
  [[nodiscard]] virtual int SetColorKeyFromPixel(int32_t x, int32_t y) = 0;
  virtual uint32_t GetColorKey() const { return colorKey_; }
  [[nodiscard]] virtual int ClearColorKey() = 0;
  // Brings back lost video memory; 0 for kinds without any.
  [[nodiscard]] virtual int Restore(int check) = 0;
  virtual bool SetClipRect(const Rect* rect) = 0;
  virtual void GetClipRect(Rect* out) const { *out = clip_; }
  virtual const Rect* GetClipRectPtr() const { return &clip_; }
  virtual bool ClipToClipRect(Rect* rect) const = 0;
  virtual uint32_t GetWord1() const { return word1_; }
  virtual uint32_t GetWord2() const { return word2_; }
  virtual void SetWord1(uint32_t value) { word1_ = value; }
  virtual void SetWord2(uint32_t value) { word2_ = value; }
  virtual void SetWord3(uint32_t value) { word3_ = value; }
  virtual uint32_t GetWord3() const { return word3_; }

 protected:
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t pitch_ = 0;
  uint32_t colorKey_ = kNoColorKey;
  Rect clip_;
  uint32_t word1_ = 0;
  uint32_t word2_ = 0;
  uint32_t word3_ = 0;

 private:
  mutable std::vector<SurfaceUser*> users_;
};

class SurfaceBase : public Surface {
 public:
  // Null: the whole surface. Otherwise false (clip kept) for an empty rectangle, else the
  // rectangle limited to the surface (empty when it lies wholly outside).
  bool SetClipRect(const Rect* rect) override;
  // Intersects rect with the clip rectangle in place; false once a span is empty.
  bool ClipToClipRect(Rect* rect) const override;
};

}  // namespace bw
