// The rectangle every clip, dirty area, hit area and blit argument uses: left, top, right,
// bottom, right and bottom exclusive.
#pragma once

#include <cstdint>

namespace bw {

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  bool IsEmpty() const { return left >= right || top >= bottom; }
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// A sum of coordinates kept in 32 bits: past either end it stops at the end, so that a script's
// far-off position never wraps round.
constexpr int32_t ClampedSum(int64_t a, int64_t b) {
  const int64_t sum = a + b;
  return sum > INT32_MAX ? INT32_MAX : sum < INT32_MIN ? INT32_MIN : int32_t(sum);
}

// A target size of the stretched operations.
struct Size {
  int32_t width = 0;
  int32_t height = 0;
};

}  // namespace bw
