#include "effects/natural_spline.h"

namespace bw {

std::vector<double> NaturalSplineTerms(std::span<const double> points) {
  const size_t n = points.size();
  std::vector<double> m(n, 0.0);
  if (n < 3) return m;
  // Forward elimination of the tridiagonal system of the inner points, then back substitution.
  std::vector<double> diagonal(n, 4.0), rhs(n, 0.0);
  for (size_t i = 1; i + 1 < n; ++i)
    rhs[i] = (points[i + 1] - points[i]) - (points[i] - points[i - 1]);
  for (size_t i = 2; i + 1 < n; ++i) {
    const double factor = 1.0 / diagonal[i - 1];
    diagonal[i] -= factor;
    rhs[i] -= factor * rhs[i - 1];
  }
  for (size_t i = n - 2; i >= 1; --i) {
    m[i] = (rhs[i] - m[i + 1]) / diagonal[i];
  }
  return m;
}

double EvaluateNaturalSpline(std::span<const double> points, std::span<const double> terms,
                             size_t i, double t) {
  const double delta = points[i + 1] - points[i];
  const double mi = terms[i], mj = terms[i + 1];
  return points[i] + (delta - (2 * mi + mj)) * t + 3 * mi * t * t + (mj - mi) * t * t * t;
}

}  // namespace bw
