// A replacement pixel library: its blend routine paints the clipped rectangle with a marker, its
// stretch routine refuses, and every other position is empty.
#include <algorithm>

#include "graphics/surface/pixel_library.h"

namespace {

using namespace bw;

Rect touched;
int configured = 0;

constexpr uint32_t kMarker = 0xFFABCDEF;

int PaintBlend(ImageSurface* target, const Surface* source, int32_t x, int32_t y, const Rect* rect,
               uint32_t, int, uint32_t) {
  const Rect from = rect ? *rect : *source->GetClipRectPtr();
  Rect area{x, y, x + from.Width(), y + from.Height()};
  const Rect& clip = *target->GetClipRectPtr();
  area.left = std::max(area.left, clip.left);
  area.top = std::max(area.top, clip.top);
  area.right = std::min(area.right, clip.right);
  area.bottom = std::min(area.bottom, clip.bottom);
  if (area.IsEmpty()) return 1;
  for (int32_t row = area.top; row < area.bottom; ++row) {
    auto* p =
        reinterpret_cast<uint32_t*>(target->GetPixels() + ptrdiff_t{row} * target->GetPitch());
    std::fill(p + area.left, p + area.right, kMarker);
  }
  touched = area;
  return 0;
}

int RefuseStretch(ImageSurface*, const Surface*, const Size*, int32_t, int32_t, const Rect*,
                  uint32_t, uint32_t, int, uint32_t) {
  return 1;
}

class Table : public PixelRoutineTable {
 public:
  Table() {
    routine[kLibTouchedRect - 1] = &touched;
    routine[kLibBlend - 1] = reinterpret_cast<void*>(PaintBlend);
    routine[kLibStretch - 1] = reinterpret_cast<void*>(RefuseStretch);
  }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) void tvpglConfig(uint32_t, RowsKernel copy,
                                                                   RowsKernel color,
                                                                   RowsKernel alpha) {
  configured = copy && color && alpha ? 1 : -1;
}

extern "C" __attribute__((visibility("default"))) PixelRoutineTable* GetLibrary(const CpuRecord*) {
  return configured == 1 ? new Table : nullptr;
}
