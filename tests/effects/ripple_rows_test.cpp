// Label: optimised
// The ripple's frames against a pixel-by-pixel reference, for odd sizes, centres, amplitudes,
// pitches, partial areas and tall frames, under every kernel set.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "effects/ripple_effect.h"
#include "graphics/layers/canvas_layer.h"
#include "platform/mmx_flag.h"
#include "support/bg_effect_rig.h"

namespace bw {
namespace {

void FillRandom(ImageSurface& s, int w, int h, std::mt19937& bits) {
  ASSERT_EQ(s.Create(w, h, 32, 0), 0);
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(s.GetRowPointer(y));
    for (int x = 0; x < w; ++x) row[x] = bits();
  }
}

using test::PixelAt;

int Reflect(int v, int low, int high) {
  if (v < low) v = 2 * low - v;
  if (v >= high) v = 2 * high - v - 1;
  return std::clamp(v, low, high - 1);
}

// The displacement (across, down) of a pixel i columns and j rows from the centre, worked out
// from the wave's formulas rather than read from the effect's tables: the ring and the direction
// of the pixel's middle, the wave's height where the ring meets the phase, and that height split
// along the direction.
std::pair<int, int> Displacement(const RippleKey& k, int level, int phase, int i, int j) {
  const double pi = 3.14159265358979323846;
  const double dx = i + 0.5, dy = (j + 0.5) * double(k.aspect);
  const int ring = int(std::sqrt(dx * dx + dy * dy)) % k.waveLength;
  const int direction = std::min(int(std::atan(dx / dy) * 64 / pi), 31);
  const double a = double((ring + phase) % k.waveLength) / k.waveLength * -2 * pi;
  const double wave = (std::sin(2 * a - 2.0) * 0.2 + std::sin(a)) * 0.8403361344537815;
  const int64_t height = std::lround(std::min(wave * wave, 1.0) * 2048) * level * 256 >> 10;
  const double theta = pi / 2 - (direction + 0.5) * pi / 64;
  return {int8_t(std::lround(std::cos(theta) * 2048) * height >> 22),
          int8_t(uint8_t(std::lround(std::sin(theta) * 2048) * height >> 22))};
}

// The pixel the ripple gives at (x, y) of a request whose area starts at the origin: the two
// pictures blended where the displacement points, reflected back inside both pictures.
uint32_t Reference(const RippleEffect& r, const FilterDrawRequest& q, int x, int y) {
  const RippleKey& k = r.Key();
  const bool right = x >= k.centreX, below = y >= k.centreY;
  const int i = right ? x - k.centreX : k.centreX - x - 1;
  const int j = below ? y - k.centreY : k.centreY - y - 1;
  const auto [h, v] = Displacement(k, r.AmplitudeLevel(), r.Phase(), i, j);
  const int right0 =
      std::min({k.width, q.oldImage->GetWidth() - q.oldX, q.newImage->GetWidth() - q.newX});
  const int bottom0 =
      std::min({k.height, q.oldImage->GetHeight() - q.oldY, q.newImage->GetHeight() - q.newY});
  const int sx = Reflect(right ? x - h : x + h, 0, right0);
  const int sy = Reflect(below ? y - v : y + v, 0, bottom0);
  return RippleBlend(PixelAt(*q.oldImage, sx + q.oldX, sy + q.oldY),
                     PixelAt(*q.newImage, sx + q.newX, sy + q.newY), uint32_t(r.Level()));
}

// Draws each case at several moments, over the whole area and a piece of it, with every kernel
// set, and compares every pixel with the reference.
void ExpectReferenceFrames(int width, int height, const std::vector<std::vector<ArgWord>>& cases) {
  OffscreenLayer layer;
  ASSERT_EQ(layer.Create(width, height, 32, false), kLayerDone);
  std::mt19937 bits(11);
  ImageSurface before, after, out;
  FillRandom(before, width + 7, height + 5, bits);
  FillRandom(after, width + 2, height, bits);
  FillRandom(out, width + 3, height + 1, bits);
  FilterDrawRequest whole;
  whole.width = width, whole.height = height;
  whole.target = &out, whole.targetX = 3, whole.targetY = 1;
  whole.oldImage = &before, whole.oldX = 5, whole.oldY = 4;
  whole.newImage = &after, whole.newX = 1;
  for (const std::vector<ArgWord>& words : cases) {
    RippleEffect ripple;
    ASSERT_EQ(ripple.SetUp(&layer, ArgWords(words.data(), words.size())), kFilterSetUpDone);
    (void)ripple.Advance(0);
    for (uint32_t t : {0u, 170u, 500u, 810u}) {
      (void)ripple.Advance(t);
      // The whole area, then a piece of it that starts at odd offsets.
      for (auto [x0, y0, w, h] :
           {std::array{0, 0, width, height}, std::array{7, 3, width - 28, height - 8}}) {
        FilterDrawRequest q = whole;
        q.areaX = x0, q.areaY = y0, q.width = w, q.height = h;
        q.targetX += x0, q.targetY += y0, q.oldX += x0, q.oldY += y0, q.newX += x0, q.newY += y0;
        for (int set = 0; set < 3; ++set) {
          ScopedMmxFlag mmx(set > 0);
          ScopedWideVectors wide(set == 1);
          RippleEffect::Initialise();
          ASSERT_EQ(ripple.Draw(q), kFilterDrawn);
          for (int y = y0; y < y0 + h; ++y) {
            for (int x = x0; x < x0 + w; ++x) {
              ASSERT_EQ(PixelAt(out, x + whole.targetX, y + whole.targetY),
                        Reference(ripple, whole, x, y))
                  << "centre " << words[1] << "," << words[2] << " at " << t << " ms, set " << set
                  << ", pixel " << x << "," << y;
            }
          }
        }
      }
    }
  }
  RippleEffect::Initialise();
}

TEST(RippleRows, FramesMatchTheTwoSampleBlendOnOddSizesAndTallFrames) {
  ExpectReferenceFrames(61, 37,
                        {{1000, -1, -1, 16, 0, 0, 12},
                         {1000, 0, 0, 32, 0, 0, 127},
                         {1000, 58, 3, 128, Word("0.6"), 0, 30},
                         {1000, 4, 33, 64, 0, 0, 50}});
  // Far more rows than the blended rows kept at once: samples above and below their pixel's row
  // cross the ends of that store.
  ExpectReferenceFrames(29, 211, {{1000, -1, -1, 16, 0, 0, 9}, {1000, 10, 40, 32, 0, 0, 20}});
}

}  // namespace
}  // namespace bw
