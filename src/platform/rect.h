// The rectangle every clip, dirty area, hit area and blit argument uses: left, top, right,
// bottom, right and bottom exclusive.
#pragma once

#include <algorithm>
#include <cmath>
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

// A script's numbers may put a position, a size or a turn past what an int holds: these stop at
// either end instead of wrapping round.
constexpr int32_t ClampToInt32(int64_t v) {
  return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}
constexpr int32_t ClampedSum(int64_t a, int64_t b) {
  return ClampToInt32(a + b);
}
// Truncates toward zero; NaN gives 0.
inline int32_t TruncateToInt32(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<int32_t>(std::clamp(std::trunc(v), double(INT32_MIN), double(INT32_MAX)));
}

// A target size of the stretched operations.
struct Size {
  int32_t width = 0;
  int32_t height = 0;
};

}  // namespace bw
