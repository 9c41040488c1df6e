// The samples of one row of a turned (affine-mapped) picture. Target pixel x of the row shows
// source position u = rowU + ((x + nudge) - originX) x uPerX (v likewise), truncated to whole
// pixels and mirrored as asked. The vector form computes the same doubles in the same order (no
// fused multiply-add), so both forms read the same pixels.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bw {

struct TurnedRow {
  const uint8_t* pixels;  // the source's row 0, column 0
  ptrdiff_t pitch;        // bytes
  double rowU, rowV;
  double uPerX, vPerX;
  double nudge, originX;
  // Source column = columnBase + columnSign x trunc(u); row = rowBase + rowSign x trunc(v).
  int64_t columnBase, rowBase;
  int columnSign, rowSign;
  // Every sample's byte offset from pixels lies within +-2^31 and the pitch is whole pixels:
  // the vector form may index in 32 bits.
  bool smallOffsets;
};

// out[i] := the sample of pixel first + i, for count pixels whose samples all lie inside the
// source.
void TurnedRowSamples(uint32_t* out, const TurnedRow& row, int32_t first, int count);
void TurnedRowSamplesMmx(uint32_t* out, const TurnedRow& row, int32_t first, int count);

}  // namespace bw
