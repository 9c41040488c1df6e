// A replacement pixel library: its blend routine paints the pixel at the placement with a marker
// and reports it touched, its stretch routine refuses, and every other position is empty.
#include <algorithm>

#include "graphics/surface/pixel_library.h"

namespace {

using namespace bw;

Rect touched;
int configured = 0;

constexpr uint32_t kMarker = 0xFFABCDEF;

int PaintBlend(ImageSurface* target, const Surface*, int32_t x, int32_t y, const Rect*, uint32_t,
               int, uint32_t) {
  if (x < 0 || y < 0 || x >= target->GetWidth() || y >= target->GetHeight()) return 1;
  std::copy_n(
      &kMarker, 1,
      reinterpret_cast<uint32_t*>(target->GetPixels() + ptrdiff_t{y} * target->GetPitch()) + x);
  touched = {x, y, x + 1, y + 1};
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
