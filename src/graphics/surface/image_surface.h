// The work-horse surface: every loaded picture, sprite source and work buffer. 8 or 32 bits;
// every drawing operation reports what it touched to the active dirty list and sets the
// changed byte.
#pragma once

#include <memory>
#include <vector>

#include "graphics/pixel/stretch_stepper.h"
#include "graphics/surface/dib_surface.h"
#include "graphics/surface/dirty_rect_list.h"

namespace bw {

// Create flags.
constexpr int kImageDibSection = 1;
constexpr int kImageDirtyList = 2;

// Create: the dirty list could not be made.
constexpr int kImageNoDirtyList = 3;

// CopyFrom modes.
constexpr int kCopyToHeap = 0;
constexpr int kCopyToDibSection = 1;
constexpr int kCopyLikeSource = 2;

// ConvertDepth and BuildRowTable answers.
constexpr int kNoPixels = 1;
constexpr int kDepthRefused = 2;
constexpr int kNoStore = 3;

// The blit clippers' answers.
constexpr int kClipDraw = 0;
constexpr int kClipNothing = -1;
constexpr int kClipNoSource = 1;
constexpr int kClipNoStepRecord = 2;

class ImageSurface : public DibSurface {
 public:
  ImageSurface() = default;
  ~ImageSurface() override;

  // bits 8 or 32 (else 1); 2 when the pixels cannot be had, 3 when the dirty list cannot.
  int Create(int32_t width, int32_t height, int bits, int flags);
  int Resize(int32_t width, int32_t height) override;
  void Release();

  // 1 without a source with pixels; 2 when this surface cannot be made, 3 when the palette
  // cannot be copied.
  int CopyFrom(const ImageSurface* source, int mode);
  bool SetPixel(int32_t x, int32_t y, uint32_t value);
  // 8 to 32 bits through the palette (alpha 0), 32 to 8 bits to grey.
  int ConvertDepth(int bits);
  int BuildRowTable();
  const std::vector<uint8_t*>& RowTable() const { return rowTable_; }

  bool FillRgb(int r, int g, int b, const Rect* rect);
  bool Fill(uint32_t argb, const Rect* rect);
  bool FillRgbXYWH(int32_t x, int32_t y, int32_t width, int32_t height, int r, int g, int b);
  bool FillRectXYWH(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t argb);
  // New colour, alpha kept; 32-bit surfaces only.
  bool FillColorKeepAlpha(int r, int g, int b, const Rect* rect);

  int SetPalette(const uint32_t* entries, int count, int first);
  bool SetPaletteEntry(int index, uint32_t color, bool apply);
  bool FillPalette(uint32_t color, bool apply);
  int CopyPaletteFrom(const DibSurface* source);

  // The clipping of every blit that reads a source: leaves the clipped rectangles in
  // ClippedSource and ClippedDest. size null: unscaled; else steps receives the stretch
  // stepper. clip (optional) is first cut in place to this surface's clip rectangle.
  int ClipBlit(const Surface* source, int32_t x, int32_t y, const Rect* sourceRect,
               const Size* size, StretchStepper* steps, Rect* clip);
  // The same with the source mirrored left to right.
  int ClipBlitMirrored(const Surface* source, int32_t x, int32_t y, const Rect* sourceRect,
                       const Size* size, StretchStepper* steps, Rect* clip);
  // The clipping of the filtered stretch: steps receives 32.32 source steps per destination
  // pixel and row, and the fractions of the first drawn pixel's source position.
  int ClipSmoothStretch(const Surface* source, int32_t x, int32_t y, const Rect* sourceRect,
                        const Size* size, SmoothStepper* steps, Rect* clip);
  const Rect& ClippedSource() const { return clippedSource_; }
  const Rect& ClippedDest() const { return clippedDest_; }

  void MarkDirty(const Rect& rect);
  DirtyRectList* GetDirtyList() const { return ownedDirty_.get(); }
  DirtyRectList* GetActiveDirtyList() const { return activeDirty_; }
  void SetActiveDirtyList(DirtyRectList* list) { activeDirty_ = list; }
  bool IsChanged() const { return changed_; }
  void SetChanged(bool changed) { changed_ = changed; }
  bool HasAlpha() const { return hasAlpha_; }
  void SetHasAlpha(bool hasAlpha) { hasAlpha_ = hasAlpha; }

 private:
  struct ClipStart;
  int StartClip(const Surface* source, int32_t x, int32_t y, const Rect* sourceRect, Rect* clip,
                bool mirrored, ClipStart& out);
  int Clip(const Surface* source, int32_t x, int32_t y, const Rect* sourceRect, const Size* size,
           StretchStepper* steps, Rect* clip, bool mirrored);
  void MarkAll();

  bool hasAlpha_ = false;
  bool changed_ = false;
  std::unique_ptr<DirtyRectList> ownedDirty_;
  DirtyRectList* activeDirty_ = nullptr;
  std::vector<uint8_t*> rowTable_;
  Rect clippedSource_;
  Rect clippedDest_;
};

// Sets the alpha byte of every pixel of a 32-bit surface, keeping the colour; nothing without
// pixels or at another depth.
void SetSurfaceAlpha(DibSurface* surface, uint8_t alpha);

}  // namespace bw
