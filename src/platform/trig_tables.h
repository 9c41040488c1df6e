// Fixed-point cosine and arctangent tables shared by rotation, waves and paths.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

namespace bw {

class TrigTables {
 public:
  static constexpr int kCosineSteps = 512;  // a full circle
  static constexpr int kArcTangentSteps = 256;

  TrigTables();
  virtual ~TrigTables() = default;

  // cos(i * pi / 256) in 16.16 fixed point, truncated toward zero.
  int32_t Cosine(int i) const { return cosine_[static_cast<size_t>(i) & (kCosineSteps - 1)]; }
  // atan(i / 256) in units where 32768 is a half circle (0 to 45 degrees).
  uint16_t ArcTangent(int i) const {
    return arcTangent_[static_cast<size_t>(i) & (kArcTangentSteps - 1)];
  }
  const std::array<int32_t, kCosineSteps>& CosineTable() const { return cosine_; }

  // Builds the unscaled double twin of the cosine table on first use; false when out of memory.
  [[nodiscard]] bool EnsureCosineDoubles();
  // Null until EnsureCosineDoubles succeeded.
  const double* CosineDoubles() const { return cosineDoubles_ ? cosineDoubles_->data() : nullptr; }

 private:
  std::array<int32_t, kCosineSteps> cosine_{};
  std::array<uint16_t, kArcTangentSteps> arcTangent_{};
  std::unique_ptr<std::array<double, kCosineSteps>> cosineDoubles_;
};

}  // namespace bw
