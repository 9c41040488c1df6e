// A 4:2:0 picture into 32-bit frame memory, and where two pictures' rows differ: a frame that
// keeps its pixels gets only the parts of rows that changed since the picture it holds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bw::host {

// The three planes of a 4:2:0 picture: luma, then u and v at half the width and height.
struct YuvPlanes {
  const uint8_t* data[3] = {nullptr, nullptr, nullptr};
  ptrdiff_t pitch[3] = {0, 0, 0};
  const uint8_t* Row(int plane, int32_t line) const { return data[plane] + pitch[plane] * line; }
};

struct XrgbFrame {
  uint8_t* pixels = nullptr;
  ptrdiff_t pitch = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// The pixels [first, last) of one row that a change touches; first >= last when none.
struct RowSpan {
  int32_t first = 0;
  int32_t last = 0;
  bool Empty() const { return first >= last; }
  RowSpan Union(RowSpan other) const;
};

// Per pixel row of two pictures of frame's size, the pixels whose conversion differs between
// them: a changed chroma sample touches its two pixels of both its rows. Spans are widened to the
// blocks of 32 pixels that the conversion writes at once. Answers how many rows changed.
int32_t FindChangedRows(const YuvPlanes& picture, const YuvPlanes& before, int32_t width,
                        int32_t height, RowSpan* rows);

// Converts picture into frame (same size): every row whole, or with rows (one span per pixel
// row), only those spans. bypassCache streams the rows past the caches.
void ConvertYuv420Frame(const YuvPlanes& picture, const XrgbFrame& frame, const RowSpan* rows,
                        bool bypassCache);

}  // namespace bw::host
