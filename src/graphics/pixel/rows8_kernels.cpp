#include "graphics/pixel/rows8_kernels.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "graphics/pixel/filter_kernels.h"
#include "graphics/pixel/row_walk.h"

namespace bw {

using namespace pixel_detail;

namespace {

struct Keyed8 {
  uint8_t key;
  void operator()(uint8_t* d, const uint8_t* s) const {
    if (*s != key) *d = *s;
  }
};

inline void Copy8(uint8_t* d, const uint8_t* s) {
  *d = *s;
}

template <typename Op>
void CopyRows8With(uint8_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                   int direction, int width, int height, Op op) {
  if (direction >= 0) {
    WalkStraight(dst, src, dstSkip, srcSkip, width, height, op);
    return;
  }
  // Backwards from the row's last pixel; the skip is added to the pointer left one before the
  // row's first pixel.
  do {
    for (int x = 0; x < width; ++x) op(dst + x, src - x);
    dst += width + dstSkip;
    src += srcSkip - width;
  } while (--height > 0);
}

}  // namespace

void CopyRows8(uint8_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
               int direction, int width, int height) {
  if (direction >= 0) {
    do {
      std::memcpy(dst, src, size_t(width));
      dst += width + dstSkip;
      src += width + srcSkip;
    } while (--height > 0);
    return;
  }
  CopyRows8With(dst, src, dstSkip, srcSkip, direction, width, height, Copy8);
}

void CopyRows8Keyed(uint8_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcSkip,
                    int direction, int width, int height, uint8_t key) {
  CopyRows8With(dst, src, dstSkip, srcSkip, direction, width, height, Keyed8{key});
}

void StretchRows8(uint8_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                  int width, int height, const StretchStepper& st) {
  WalkStretched(dst, src, dstSkip, srcPitch, width, height, st, Copy8);
}
void StretchRows8Keyed(uint8_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                       int width, int height, const StretchStepper& st, uint8_t key) {
  WalkStretched(dst, src, dstSkip, srcPitch, width, height, st, Keyed8{key});
}
void StretchRows8Mirrored(uint8_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                          int width, int height, const StretchStepper& st) {
  WalkStretchedMirrored(dst, src, dstSkip, srcPitch, width, height, st, Copy8);
}
void StretchRows8MirroredKeyed(uint8_t* dst, const uint8_t* src, ptrdiff_t dstSkip,
                               ptrdiff_t srcPitch, int width, int height, const StretchStepper& st,
                               uint8_t key) {
  WalkStretchedMirrored(dst, src, dstSkip, srcPitch, width, height, st, Keyed8{key});
}

void ScaleRows8Bilinear(uint8_t* dst, const uint8_t* src, ptrdiff_t dstSkip, ptrdiff_t srcPitch,
                        int width, int height, const BilinearStepper& st) {
  const int64_t lastColumn = std::max(st.sourceColumns, 1) - 1;
  const int64_t lastRow = std::max(st.sourceRows, 1) - 1;
  int64_t row = 0;
  uint64_t yPos = st.yFraction;
  do {
    const int64_t r0 = std::clamp<int64_t>(row, 0, lastRow);
    const uint8_t* top = src + r0 * srcPitch;
    const uint8_t* below = src + std::min(r0 + 1, lastRow) * srcPitch;
    const int fy = int(uint32_t(yPos) >> 24);
    int64_t x = st.xStart;
    for (int i = 0; i < width; ++i, x += st.xStep) {
      const int64_t c0 = std::clamp<int64_t>(x >> 32, 0, lastColumn);
      const int64_t c1 = std::min(c0 + 1, lastColumn);
      const int fx = int(uint32_t(x) >> 24);
      int a = uint8_t(top[c0] + ((top[c1] - top[c0]) * fx >> 8));
      int b = uint8_t(below[c0] + ((below[c1] - below[c0]) * fx >> 8));
      *dst++ = uint8_t(a + ((b - a) * fy >> 8));
    }
    dst += dstSkip;
    yPos = uint32_t(yPos) + uint64_t(st.yStep);
    row += int64_t(yPos >> 32);
  } while (--height > 0);
}

int BlurRows8(uint8_t* pixels, ptrdiff_t pitch, int width, int height) {
  if (width < 4 || height < 4) return kBlurTooSmall;
  // The rows above and at the one being written, as they were before the pass.
  std::vector<uint8_t> before;
  try {
    before.resize(size_t(width) * 2);
  } catch (const std::bad_alloc&) {
    return kBlurNoMemory;
  }
  uint8_t* above = before.data();
  uint8_t* self = above + width;
  std::memcpy(self, pixels, size_t(width));
  for (int y = 0; y < height; ++y) {
    uint8_t* row = pixels + y * pitch;
    const uint8_t* next = y + 1 < height ? row + pitch : nullptr;
    const bool edgeY = y == 0 || !next;
    for (int x = 0; x < width; ++x) {
      const bool edgeX = x == 0 || x == width - 1;
      int horizontal = (x > 0 ? self[x - 1] : 0) + (x + 1 < width ? self[x + 1] : 0);
      int vertical = (y > 0 ? above[x] : 0) + (next ? next[x] : 0);
      int v;
      if (!edgeX && !edgeY) {
        v = (vertical + 2 * (horizontal + self[x])) >> 3;
      } else if (edgeX && edgeY) {
        v = (2 * self[x] + horizontal + vertical) >> 2;
      } else {
        v = (self[x] + horizontal + vertical) >> 2;
      }
      row[x] = uint8_t(v);
    }
    std::swap(above, self);
    if (next) std::memcpy(self, next, size_t(width));
  }
  return kBlurDone;
}

void MosaicRows8(uint8_t* pixels, ptrdiff_t pitch, int width, int height, int blockSize,
                 int anchorMode) {
  if (!MosaicMakesBlocks(width, height, blockSize)) return;
  auto firstSpan = [blockSize](int length, bool fromFar, bool centred) {
    int first = blockSize;
    if (centred) {
      first = blockSize < length ? ((length - blockSize) >> 1) % blockSize : blockSize;
    } else if (fromFar) {
      first = length % blockSize;
    }
    return first == 0 ? blockSize : first;
  };
  const bool centred = anchorMode < 1 || anchorMode > 4;
  const int firstColumn = firstSpan(width, anchorMode == 2 || anchorMode == 4, centred);
  const int firstRow = firstSpan(height, anchorMode == 3 || anchorMode == 4, centred);
  for (int top = 0, bandHeight = firstRow; top < height;
       top += bandHeight, bandHeight = blockSize) {
    const int bottom = std::min(height, top + bandHeight);
    for (int left = 0, blockWidth = firstColumn; left < width;
         left += blockWidth, blockWidth = blockSize) {
      const int right = std::min(width, left + blockWidth);
      const uint8_t value = pixels[top * pitch + left];
      for (int y = top; y < bottom; ++y)
        std::memset(pixels + y * pitch + left, value, size_t(right - left));
    }
  }
}

void WriteAlphaPlane(int formatFlag, uint8_t* pixels, int x, int y, int width, int height,
                     ptrdiff_t pitch, const uint8_t* plane, int planeX, int planeY,
                     ptrdiff_t planePitch) {
  const int bytes = formatFlag == 256 ? 4 : 2;
  if (formatFlag != 64 && formatFlag != 128 && formatFlag != 256) return;
  for (int j = 0; j < height; ++j) {
    uint8_t* out = pixels + (y + j) * pitch + x * bytes;
    const uint8_t* alpha = plane + (planeY + j) * planePitch + planeX;
    for (int i = 0; i < width; ++i, out += bytes) {
      const uint8_t a = alpha[i];
      switch (formatFlag) {
        case 64:
          out[1] = uint8_t((out[1] & 0x7F) | (a & 0x80));
          break;
        case 128:
          out[1] = uint8_t((out[1] & 0x0F) | (a & 0xF0));
          break;
        default:
          out[3] = a;
          break;
      }
    }
  }
}

void FoldRowsToGrey8(uint8_t* buffer, ptrdiff_t pitch, int width, int outputRows) {
  for (int r = 0; r < outputRows; ++r) {
    const uint8_t* in = buffer + ptrdiff_t{4} * r * pitch;
    uint8_t* out = buffer + r * pitch;
    for (int x = 0; x < width; ++x) {
      unsigned sum = 0;
      for (int k = 0; k < 4; ++k) {
        const uint8_t* p = in + k * pitch + 4 * x;
        sum += p[0] + p[1] + p[2] + p[3];
      }
      out[x] = uint8_t(sum);
    }
  }
}

}  // namespace bw
