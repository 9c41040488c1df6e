#include "platform/trig_tables.h"

#include <cmath>
#include <new>
#include <numbers>

namespace bw {
namespace {

// Computes only the first quadrant and mirrors it, so the table is exactly symmetric.
template <typename T, typename F>
void FillCosine(std::array<T, TrigTables::kCosineSteps>& table, T one, F scale) {
  table[0] = one;
  table[128] = 0;
  table[256] = -one;
  table[384] = 0;
  for (int i = 1; i < 128; ++i) {
    T c = scale(std::cos(i * std::numbers::pi * 0.00390625));
    table[i] = c;
    table[512 - i] = c;
    table[256 - i] = -c;
    table[256 + i] = -c;
  }
}

}  // namespace

TrigTables::TrigTables() {
  FillCosine(cosine_, int32_t{65536}, [](double c) { return static_cast<int32_t>(c * 65536.0); });
  for (int i = 0; i < kArcTangentSteps; ++i) {
    arcTangent_[i] = static_cast<uint16_t>(std::atan(i / 256.0) * 32768.0 / std::numbers::pi);
  }
}

bool TrigTables::EnsureCosineDoubles() {
  if (cosineDoubles_) return true;
  auto table = std::unique_ptr<std::array<double, kCosineSteps>>(
      new (std::nothrow) std::array<double, kCosineSteps>);
  if (!table) return false;
  FillCosine(*table, 1.0, [](double c) { return c; });
  cosineDoubles_ = std::move(table);
  return true;
}

}  // namespace bw
