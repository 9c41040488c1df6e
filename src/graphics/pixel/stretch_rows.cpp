#include "graphics/pixel/stretch_rows.h"

#include <immintrin.h>

#include <algorithm>
#include <vector>

#include "graphics/pixel/pixel_kernels.h"
#include "graphics/pixel/row_walk.h"
#include "platform/mmx_flag.h"

namespace bw {

using pixel_detail::AddBytes;

namespace {

__attribute__((target("avx2"))) void GatherRowAvx2(uint32_t* dst, const uint32_t* src,
                                                   const int32_t* columns, int count) {
  const int* base = reinterpret_cast<const int*>(src);
  int x = 0;
  for (; x + 8 <= count; x += 8) {
    const __m256i at = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(columns + x));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), _mm256_i32gather_epi32(base, at, 4));
  }
  for (; x < count; ++x) dst[x] = src[columns[x]];
}

void GatherRowScalar(uint32_t* dst, const uint32_t* src, const int32_t* columns, int count) {
  for (int x = 0; x < count; ++x) dst[x] = src[columns[x]];
}

// Addresses [lo, hi) that a set of rows covers.
struct ByteRange {
  uintptr_t lo = UINTPTR_MAX;
  uintptr_t hi = 0;
  void Add(const void* start, ptrdiff_t firstByte, ptrdiff_t endByte) {
    const auto at = reinterpret_cast<uintptr_t>(start);
    lo = std::min(lo, at + uintptr_t(firstByte));
    hi = std::max(hi, at + uintptr_t(endByte));
  }
  bool Meets(const ByteRange& o) const { return lo < o.hi && o.lo < hi; }
};

}  // namespace

void GatherRow32(uint32_t* dst, const uint32_t* src, const int32_t* columns, int count) {
  (WideVectorsEnabled() ? GatherRowAvx2 : GatherRowScalar)(dst, src, columns, count);
}

bool StretchCopyRowsVector(uint32_t* dst, const uint32_t* src, ptrdiff_t dstSkip,
                           ptrdiff_t srcPitch, int width, int height, const StretchStepper& st,
                           bool mirrored) {
  if (width <= 0 || height <= 0) return false;
  // Per thread: the frame thread and the file-slot workers may both stretch.
  thread_local std::vector<int32_t> columns;
  thread_local std::vector<ptrdiff_t> rows;
  columns.resize(size_t(width));
  rows.resize(size_t(height));
  int32_t error = st.xError, at = 0;
  for (int x = 0; x < width; ++x) {
    columns[size_t(x)] = mirrored ? -1 - at : at;
    if (x + 1 < width) at += StepAxis(error, st.xRemainder, st.destWidth, st.xStep);
  }
  const ptrdiff_t firstColumn = mirrored ? -ptrdiff_t{at} - 1 : 0;
  const ptrdiff_t lastColumn = mirrored ? -1 : at;
  error = st.yError;
  ptrdiff_t offset = 0;
  ByteRange read, written;
  for (int y = 0; y < height; ++y) {
    rows[size_t(y)] = offset;
    read.Add(src, offset + firstColumn * 4, offset + lastColumn * 4 + 4);
    written.Add(dst, ptrdiff_t{y} * (ptrdiff_t{width} * 4 + dstSkip),
                ptrdiff_t{y} * (ptrdiff_t{width} * 4 + dstSkip) + ptrdiff_t{width} * 4);
    offset += srcPitch * StepAxis(error, st.yRemainder, st.destHeight, st.yStep);
  }
  if (read.Meets(written)) return false;

  const bool straight = st.xStep == 1 && st.xRemainder == 0;
  const uint32_t* previousSource = nullptr;
  const uint32_t* previousRow = nullptr;
  uint32_t* d = dst;
  for (int y = 0; y < height; ++y) {
    const uint32_t* s = AddBytes(src, rows[size_t(y)]);
    if (s == previousSource) {
      CopyRows32Mmx(d, previousRow, 0, 0, width, 1);
    } else if (straight) {
      (mirrored ? MirrorCopyRows32Mmx : CopyRows32Mmx)(d, s, 0, 0, width, 1);
    } else {
      GatherRow32(d, s, columns.data(), width);
    }
    previousSource = s;
    previousRow = d;
    d = AddBytes(d + width, dstSkip);
  }
  return true;
}

}  // namespace bw
