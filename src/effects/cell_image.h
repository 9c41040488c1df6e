// An animation strip: one picture cut into equal cells side by side, drawn cell by cell at a
// place on a target surface, with the background under the cell kept so that it can be put back
// before the next cell. The cell tasks step it; the message window's wait mark is one.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "graphics/surface/image_surface.h"

namespace bw {

class DisplayObject;
class Sprite;

// Results of CellImage's set-up operations.
constexpr int kCellDone = 0;
constexpr int kCellBadArgument = 1;  // no name or source, no target, a cell count or interval of 0
constexpr int kCellLoadFailed = 2;
constexpr int kCellTargetNoSurface = 3;
constexpr int kCellNoBacking = 4;
// Results of SwitchImage.
constexpr int kCellNoImage = 1;
constexpr int kCellImageDiffers = 2;

// Order modes (other values: random).
constexpr uint8_t kCellOrderForward = 0;
constexpr uint8_t kCellOrderBackAndForth = 1;
// Background modes.
constexpr uint8_t kCellBackgroundNone = 0;
constexpr uint8_t kCellBackgroundBlend = 1;
constexpr uint8_t kCellBackgroundCopy = 2;
// Draw modes (2 and more: only the background is put back).
constexpr int32_t kCellDraw = 0;
constexpr int32_t kCellHidden = 1;
constexpr int32_t kCellBackgroundOnly = 2;

// An x that takes the place stored in the source picture.
constexpr int32_t kCellPictureOrigin = 65535;

// How a strip is cut and where it is drawn.
struct CellLayout {
  int32_t cellCount = 1;
  int32_t interval = 0;            // ms per cell
  Sprite* targetObject = nullptr;  // its source surface becomes the default target
  ImageSurface* targetSurface = nullptr;
  int32_t x = 0;
  int32_t y = 0;
  uint8_t orderMode = kCellOrderForward;
  int32_t drawMode = kCellDraw;
  // Keep and put back the background under the cell: kCellBackgroundNone, kCellBackgroundBlend
  // (the cell is blended over it) or any higher value (the cell is copied).
  uint8_t background = kCellBackgroundNone;
};

class CellImage {
 public:
  CellImage() = default;
  CellImage(const CellImage&) = delete;
  CellImage& operator=(const CellImage&) = delete;
  virtual ~CellImage();

  void Reset();
  // colorKey other than kNoColorKey is applied as 0x00RRGGBB; the picture keeps its alpha
  // channel only with alpha.
  [[nodiscard]] int Load(const char* file, const CellLayout& layout, bool alpha, uint32_t colorKey);
  [[nodiscard]] int SetImage(ImageSurface* source, const CellLayout& layout);
  [[nodiscard]] int Setup(const CellLayout& layout);
  [[nodiscard]] int SwitchImage(ImageSurface* surface);
  void AttachTarget(DisplayObject* object);
  void DetachTarget(DisplayObject* object);
  // Lets go of a dying object: an attached target, the default target or the external image. The
  // object is not touched.
  void Forget(const void* object);

  // Draws cell (taken below the cell count) on target, or on the default target when null,
  // and reports the cell's rectangle to targetObject, or to every attached object when null.
  void DrawCell(int32_t cell, ImageSurface* target, DisplayObject* targetObject);
  // Keeps the cell's area of from (or of the default target) in the backing image.
  void SaveBackground(ImageSurface* from);
  // Puts the kept background back at the cell's place on target (or the default target).
  void RestoreBackground(ImageSurface* target);

  ImageSurface* Source() { return external_ ? external_ : &own_; }
  int32_t CellCount() const { return cellCount_; }
  int32_t Interval() const { return interval_; }
  uint8_t OrderMode() const { return orderMode_; }
  uint8_t BackgroundMode() const { return backgroundMode_; }
  int32_t DrawMode() const { return drawMode_; }
  int32_t CellWidth() const { return cellWidth_; }
  int32_t GetX() const { return x_; }
  int32_t GetY() const { return y_; }
  void SetPos(int32_t x, int32_t y) { x_ = x, y_ = y; }
  ImageSurface* DefaultTarget() const { return defaultTarget_; }
  const ImageSurface* Backing() const { return backing_.get(); }
  const std::deque<DisplayObject*>& Targets() const { return targets_; }

 private:
  ImageSurface own_;
  ImageSurface* external_ = nullptr;
  int32_t cellCount_ = 0;
  int32_t interval_ = 0;
  uint8_t orderMode_ = kCellOrderForward;
  uint8_t backgroundMode_ = kCellBackgroundNone;
  ImageSurface* defaultTarget_ = nullptr;
  int32_t x_ = 0;
  int32_t y_ = 0;
  int32_t drawMode_ = kCellDraw;
  int32_t cellWidth_ = 0;
  std::unique_ptr<ImageSurface> backing_;
  std::deque<DisplayObject*> targets_;
};

}  // namespace bw
