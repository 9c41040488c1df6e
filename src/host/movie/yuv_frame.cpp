#include "host/movie/yuv_frame.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "host/movie/yuv_rows.h"

namespace bw::host {
namespace {

struct ByteSpan {
  size_t first, last;
};

constexpr size_t kBlock = 32;
// Spans are widened to whole blocks of pixels, so that a changed part of a row converts with the
// same vectors and stores as the whole row.
constexpr int32_t kPixelBlock = 32;

__attribute__((target("avx2"))) inline __m256i SameBytes(const uint8_t* a, const uint8_t* b,
                                                         size_t block) {
  return _mm256_cmpeq_epi8(
      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + block * kBlock)),
      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + block * kBlock)));
}

__attribute__((target("avx2"))) inline bool BlockDiffers(const uint8_t* a, const uint8_t* b,
                                                         size_t block) {
  return _mm256_movemask_epi8(SameBytes(a, b, block)) != -1;
}

// The first block from the left, and the last from the right, where 32 bytes differ.
__attribute__((target("avx2"))) ByteSpan DifferingBlocks(const uint8_t* a, const uint8_t* b,
                                                         size_t blocks) {
  size_t first = 0;
  // Four blocks a step while they agree: most rows of a still picture do to their end.
  for (; first + 4 <= blocks; first += 4) {
    const __m256i same =
        _mm256_and_si256(_mm256_and_si256(SameBytes(a, b, first), SameBytes(a, b, first + 1)),
                         _mm256_and_si256(SameBytes(a, b, first + 2), SameBytes(a, b, first + 3)));
    if (_mm256_movemask_epi8(same) != -1) break;
  }
  while (first < blocks && !BlockDiffers(a, b, first)) ++first;
  if (first == blocks) return {blocks * kBlock, blocks * kBlock};
  size_t last = blocks;
  while (last > first + 1 && !BlockDiffers(a, b, last - 1)) --last;
  return {first * kBlock, last * kBlock};
}

// Ends of rows shorter than a block, byte by byte.
ByteSpan DifferingBytes(const uint8_t* a, const uint8_t* b, size_t from, size_t n) {
  size_t first = from;
  while (first < n && a[first] == b[first]) ++first;
  if (first == n) return {n, n};
  size_t last = n;
  while (a[last - 1] == b[last - 1]) --last;
  return {first, last};
}

// Bytes [first, last) that hold every byte where a and b differ, widened to the blocks the
// vectors compare; first == last == n when a and b agree.
ByteSpan DifferingSpan(const uint8_t* a, const uint8_t* b, size_t n) {
  const size_t blocks = HasAvx2() ? n / kBlock : 0;
  if (blocks == 0) {
    if (std::memcmp(a, b, n) == 0) return {n, n};
    return DifferingBytes(a, b, 0, n);
  }
  const ByteSpan whole = DifferingBlocks(a, b, blocks);
  if (whole.first == blocks * kBlock) {
    // The blocks agree: only the tail can differ.
    return DifferingBytes(a, b, blocks * kBlock, n);
  }
  // A differing tail moves the end of the span past the blocks.
  const ByteSpan tail = DifferingBytes(a, b, blocks * kBlock, n);
  return {whole.first, tail.first == n ? whole.last : tail.last};
}

// The pixels whose conversion a byte span of a plane touches: each chroma byte covers two.
RowSpan Pixels(ByteSpan s, size_t n, int32_t scale) {
  if (s.first == n) return {};
  return {static_cast<int32_t>(s.first) * scale, static_cast<int32_t>(s.last) * scale};
}

// Whole blocks of pixels from an even start, so the chroma samples line up.
RowSpan Widen(RowSpan s, int32_t width) {
  if (s.Empty()) return {};
  return {s.first / kPixelBlock * kPixelBlock,
          std::min(width, (s.last + kPixelBlock - 1) / kPixelBlock * kPixelBlock)};
}

}  // namespace

RowSpan RowSpan::Union(RowSpan other) const {
  if (Empty()) return other;
  if (other.Empty()) return *this;
  return {std::min(first, other.first), std::max(last, other.last)};
}

int32_t FindChangedRows(const YuvPlanes& picture, const YuvPlanes& before, int32_t width,
                        int32_t height, RowSpan* rows) {
  int32_t changed = 0;
  const size_t lumaBytes = static_cast<size_t>(width);
  const size_t chromaBytes = (lumaBytes + 1) / 2;
  for (int32_t row = 0; row < height; row += 2) {
    const int32_t line = row / 2;
    const RowSpan chroma =
        Pixels(DifferingSpan(picture.Row(1, line), before.Row(1, line), chromaBytes), chromaBytes,
               2)
            .Union(Pixels(DifferingSpan(picture.Row(2, line), before.Row(2, line), chromaBytes),
                          chromaBytes, 2));
    for (int32_t y = row; y < std::min(row + 2, height); ++y) {
      const RowSpan luma =
          Pixels(DifferingSpan(picture.Row(0, y), before.Row(0, y), lumaBytes), lumaBytes, 1);
      rows[y] = Widen(luma.Union(chroma), width);
      changed += rows[y].Empty() ? 0 : 1;
    }
  }
  return changed;
}

void ConvertYuv420Frame(const YuvPlanes& picture, const XrgbFrame& frame, const RowSpan* rows,
                        bool bypassCache) {
  const int32_t width = frame.width;
  for (int32_t row = 0; row < frame.height; row += 2) {
    const bool pair = row + 1 < frame.height;
    const uint8_t* y0 = picture.Row(0, row);
    const uint8_t* y1 = pair ? picture.Row(0, row + 1) : nullptr;
    const uint8_t* u = picture.Row(1, row / 2);
    const uint8_t* v = picture.Row(2, row / 2);
    const RowSpan first = rows ? rows[row] : RowSpan{0, width};
    const RowSpan second = !pair ? RowSpan{} : rows ? rows[row + 1] : RowSpan{0, width};
    auto* out0 = reinterpret_cast<uint32_t*>(frame.pixels + frame.pitch * row);
    auto* out1 = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(out0) + frame.pitch);
    if (!first.Empty() && !second.Empty()) {
      const RowSpan both = first.Union(second);
      const int32_t x = both.first;
      YuvRowPairToXrgb(y0 + x, y1 + x, u + x / 2, v + x / 2, out0 + x, out1 + x, both.last - x,
                       bypassCache);
    } else if (!first.Empty() || !second.Empty()) {
      const RowSpan one = first.Empty() ? second : first;
      const int32_t x = one.first;
      YuvRowToXrgb((first.Empty() ? y1 : y0) + x, u + x / 2, v + x / 2,
                   (first.Empty() ? out1 : out0) + x, one.last - x, bypassCache);
    }
  }
  if (bypassCache) _mm_sfence();
}

}  // namespace bw::host
