// A rectangle of a source surface drawn at a place, optionally zoomed or turned; the zoomed or
// turned picture is rendered once into a work surface and drawn from there.
#pragma once

#include <cstdint>
#include <memory>

#include "graphics/surface/display_object.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/rotated_bounds.h"

namespace bw {

// Results of the sprite's picture operations.
constexpr int kSpriteDone = 0;
constexpr int kSpriteNoSurface = 1;
constexpr int kSpriteNoLibrary = 2;
constexpr int kSpriteRectNotClipping = 3;
constexpr int kSpriteBorrowed = 1;
constexpr int kSpriteRectRefused = 2;
constexpr int kSpriteRenderFailed = 3;

// Anchor modes (SetAnchor; other values take the given point).
constexpr int kAnchorTopLeft = 0;
constexpr int kAnchorTopRight = 1;
constexpr int kAnchorBottomLeft = 2;
constexpr int kAnchorBottomRight = 3;
constexpr int kAnchorCentre = 4;

class Sprite : public PlacedDisplayObject, private SurfaceUser {
 public:
  Sprite();
  ~Sprite() override;

  int32_t GetWidth() const override;
  int32_t GetHeight() const override;
  bool IsColorRect() const override { return false; }
  [[nodiscard]] int SetDrawMode(int mode) override;
  [[nodiscard]] int SetZoom(int32_t width, int32_t height) override;
  bool SetZoomAndPos(int32_t width, int32_t height, int32_t x, int32_t y) override;
  bool Refresh(const Rect* rect) override;
  bool HitTest(int32_t x, int32_t y, bool testPixel) const override;
  [[nodiscard]] int DrawOver(ImageSurface* target) override;
  [[nodiscard]] int DrawInto(ImageSurface* target, Rect* out) override;
  [[nodiscard]] int Draw(ImageSurface* target, const Rect& clip) override;
  virtual void Reset();

  [[nodiscard]] int SetImage(ImageSurface* surface, const Rect* sourceRect, int32_t x, int32_t y);
  [[nodiscard]] int ReplaceSurface(ImageSurface* surface);
  [[nodiscard]] int SetSourceRect(const Rect* rect);
  [[nodiscard]] int ScrollSource(int32_t x, int32_t y);
  // fill: the colour of the work surface around the turned picture.
  [[nodiscard]] int SetRotation(int angle, double scale, uint32_t fill = 0);
  [[nodiscard]] int CreateRotationWorkSurface(double scale);
  // Makes the work surface for a zoom to width x height ahead of time.
  [[nodiscard]] int CreateWorkSurface(int32_t width, int32_t height);
  // Drops the zoom or rotation with the work surface that holds it.
  void ReleaseWorkSurface();
  bool SetAnchor(int mode, int32_t x, int32_t y);
  // Low nibble: an 8-bit picture's flip (1 left-right, 2 upside down, 3 both); the library
  // operation that renders a 32-bit one (0 and 1 copy all four bytes, 2 alpha-over, 3 onto
  // alpha). The flag 0x10 is carried along.
  [[nodiscard]] int SetMirrorMode(int mode);
  void CopyFrom(const Sprite& other);
  void CopyStateFrom(const Sprite& other);
  // Invalidates the parts of the placed rectangle that show the source's dirty rectangles.
  void SyncWithSource(bool clearSourceDirty);

  ImageSurface* GetSource() const { return source_; }
  const ImageSurface* GetWorkSurface() const { return work_.get(); }
  const Rect& GetSourceRect() const { return sourceRect_; }
  int32_t GetScrollX() const { return scrollX_; }
  int32_t GetScrollY() const { return scrollY_; }
  int GetAngle() const { return angle_; }
  double GetScale() const { return scale_; }
  // The point of the shown rectangle that rotation and zoom keep in place.
  double GetAnchorX() const { return anchorX_; }
  double GetAnchorY() const { return anchorY_; }
  int GetMirrorMode() const { return mirror_; }
  bool IsRotated() const { return rotatedWidth_ != 0; }
  bool IsZoomed() const { return zoomWidth_ != 0; }
  bool IsBorrowed() const { return borrowed_; }

 private:
  void DetachSurface(const Surface* surface) override;
  void SetSource(ImageSurface* surface);
  int32_t ShownWidth() const;
  int32_t ShownHeight() const;
  void UpdatePlaced() override;
  [[nodiscard]] int RenderZoom();
  [[nodiscard]] int RenderRotation(uint32_t fill);
  [[nodiscard]] int Rerender();
  void DropTransforms();
  bool ClipSource(Rect* rect) const;

  ImageSurface* source_ = nullptr;
  std::shared_ptr<ImageSurface> work_;
  Rect sourceRect_;
  int32_t scrollX_ = 0;
  int32_t scrollY_ = 0;
  int32_t zoomWidth_ = 0;
  int32_t zoomHeight_ = 0;
  int angle_ = 0;
  double scale_ = 1.0;
  double anchorX_ = 0;
  double anchorY_ = 0;
  int32_t rotatedX_ = 0;
  int32_t rotatedY_ = 0;
  int32_t rotatedWidth_ = 0;
  int32_t rotatedHeight_ = 0;
  uint8_t mirror_ = 0;
  RotatedCorners corners_{};
  bool borrowed_ = false;
};

}  // namespace bw
