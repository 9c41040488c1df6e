// The eased share of a timed change at progress t (0 to 1): an exponent e below 0 slows the end
// (1 - (1 - t)^-e), above 0 slows the start (t^e), 0 is linear.
#pragma once

#include <cmath>

namespace bw {

inline double EaseProgress(double t, double exponent) {
  if (exponent < 0) return 1.0 - std::pow(1.0 - t, -exponent);
  if (exponent > 0) return std::pow(t, exponent);
  return t;
}

}  // namespace bw
