// The natural cubic spline through points one parameter unit apart, as the motion paths and the
// blur's point lists use it: m holds one sixth of the second derivative at each point, zero at
// both ends.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace bw {

// Solves m[i-1] + 4 m[i] + m[i+1] = (p[i+1] - p[i]) - (p[i] - p[i-1]) with m[0] = m[n] = 0.
std::vector<double> NaturalSplineTerms(std::span<const double> points);

// The value at t (0 to 1) of the segment from points[i] to points[i + 1].
double EvaluateNaturalSpline(std::span<const double> points, std::span<const double> terms,
                             size_t i, double t);

}  // namespace bw
