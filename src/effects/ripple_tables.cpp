#include "effects/ripple_tables.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <new>

namespace bw {

namespace {

std::array<RippleTables*, kRippleCacheSlots> cache{};

int32_t RoundAway(double v) {
  return static_cast<int32_t>(std::lround(v));
}

void BuildCodes(RippleTables& t) {
  const RippleKey& k = t.key;
  t.codes.resize(size_t(t.quadrantWidth) * size_t(t.quadrantHeight));
  const double pi = 3.14159265358979323846;
  for (int32_t j = 0; j < t.quadrantHeight; ++j) {
    const double dy = (j + 0.5) * double(k.aspect);
    uint16_t* row = t.codes.data() + size_t(j) * size_t(t.quadrantWidth);
    for (int32_t i = 0; i < t.quadrantWidth; ++i) {
      const double dx = i + 0.5;
      const auto ring = static_cast<int64_t>(std::sqrt(dx * dx + dy * dy)) & (k.waveLength - 1);
      // A very flat aspect turns the direction to a full quarter: the last entry holds it.
      const int64_t direction = std::min<int64_t>(
          static_cast<int64_t>(std::atan(dx / dy) * 64 / pi), kRippleDirections - 1);
      row[i] = static_cast<uint16_t>(ring * kRippleDirections + direction);
    }
  }
}

void BuildDisplacements(RippleTables& t) {
  const RippleKey& k = t.key;
  t.profile.resize(size_t(k.waveLength));
  const float step = 1.0f / float(k.waveLength);
  for (int32_t i = 0; i < k.waveLength; ++i) {
    const double a = double(i) * double(step) * -6.2831852717958645;
    double v = (std::sin(2 * a - 2.0) * 0.2 + std::sin(a)) * 0.8403361344537815;
    v = std::clamp(v * v, -1.0, 1.0);
    t.profile[size_t(i)] = RoundAway(v * 2048);
  }
  int32_t cosines[kRippleDirections], sines[kRippleDirections];
  for (int a = 0; a < kRippleDirections; ++a) {
    const double theta = 1.5707963179489661 - (a + 0.5) * 0.04908738493590519;
    cosines[a] = RoundAway(std::cos(theta) * 2048);
    sines[a] = RoundAway(std::sin(theta) * 2048);
  }
  const int32_t levels = 4 * k.amplitude;
  const size_t perLevel = size_t(k.waveLength) * 64;
  t.displacement.resize(size_t(levels) * perLevel);
  for (int32_t level = 0; level < levels; ++level) {
    uint16_t* base = t.displacement.data() + size_t(level) * perLevel;
    for (int32_t phase = 0; phase < k.waveLength; ++phase) {
      const int64_t magnitude = int64_t{t.profile[size_t(phase)]} * level * 256 >> 10;
      for (int a = 0; a < kRippleDirections; ++a) {
        const auto h = static_cast<int8_t>(cosines[a] * magnitude >> 22);
        const auto v = static_cast<uint8_t>(sines[a] * magnitude >> 22);
        const auto entry = static_cast<uint16_t>(uint16_t(uint8_t(h)) << 8 | v);
        base[phase * 32 + a] = entry;
        base[phase * 32 + a + k.waveLength * 32] = entry;
      }
    }
  }
}

}  // namespace

RippleTables* BuildRippleTables(const RippleKey& key) {
  auto t = std::make_unique<RippleTables>();
  t->key = key;
  t->quadrantWidth = std::max(key.centreX, key.width - key.centreX);
  t->quadrantHeight = std::max(key.centreY, key.height - key.centreY);
  BuildCodes(*t);
  BuildDisplacements(*t);
  return t.release();
}

RippleTables* AcquireRippleTables(const RippleKey& key) {
  for (int k = 0; k < kRippleCacheSlots; ++k) {
    RippleTables* hit = cache[size_t(k)];
    if (hit && hit->key == key) {
      std::move_backward(cache.begin(), cache.begin() + k, cache.begin() + k + 1);
      cache[0] = hit;
      ++hit->references;
      return hit;
    }
  }
  if (RippleTables* last = cache.back()) {
    cache.back() = nullptr;
    ReleaseRippleTables(last);
  }
  RippleTables* made = BuildRippleTables(key);
  made->references = 1;
  std::move_backward(cache.begin(), cache.end() - 1, cache.end());
  cache[0] = made;
  ++made->references;
  return made;
}

void ReleaseRippleTables(RippleTables* tables) {
  if (tables && --tables->references <= 0) delete tables;
}

void ClearRippleTableCache() {
  for (RippleTables*& slot : cache) {
    ReleaseRippleTables(slot);
    slot = nullptr;
  }
}

const RippleTables* RippleCacheSlot(int index) {
  return index >= 0 && index < kRippleCacheSlots ? cache[size_t(index)] : nullptr;
}

}  // namespace bw
