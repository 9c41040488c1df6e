// The kernels of text rendering, each vector set beside the plain set on the same glyphs:
//   edge mask   the soft edge (radius 2, strength 1024, the renderer's defaults) around 32 x 32
//               glyphs of strokes with soft borders; the vector set as the processor chooses and
//               with the 128-bit forms only, printed as its own line.
// Prints "ratio <name>: <vector / plain throughput>" per pair.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "bench_ratio.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/text_kernels.h"
#include "platform/mmx_flag.h"

namespace {

constexpr int kGlyphSize = 32;
constexpr int kGlyphs = 16;
constexpr int kRadius = 2;
constexpr int32_t kStrength = 1024;

// Glyph-like coverage: a few horizontal and vertical strokes, full inside, soft at their sides.
std::vector<uint8_t> MakeGlyphs() {
  std::mt19937 rng(23);
  std::vector<uint8_t> glyphs(size_t(kGlyphs) * kGlyphSize * kGlyphSize, 0);
  for (int g = 0; g < kGlyphs; ++g) {
    uint8_t* glyph = glyphs.data() + size_t(g) * kGlyphSize * kGlyphSize;
    for (int stroke = 0; stroke < 5; ++stroke) {
      const bool across = rng() % 2;
      const int at = 2 + int(rng() % (kGlyphSize - 6)), from = int(rng() % 8);
      const int to = kGlyphSize - 1 - int(rng() % 8);
      for (int i = from; i <= to; ++i) {
        for (int t = -2; t <= 2; ++t) {
          const uint8_t v = t == -2 || t == 2 ? 96 : 255;
          uint8_t& p = across ? glyph[(at + t) * kGlyphSize + i] : glyph[i * kGlyphSize + at + t];
          p = std::max(p, v);
        }
      }
    }
  }
  return glyphs;
}

template <typename Kernel>
void EdgeMask(benchmark::State& state, Kernel kernel, bool wideVectors) {
  bw::ScopedWideVectors wide(wideVectors);
  static const std::vector<uint8_t> glyphs = MakeGlyphs();
  constexpr int kOut = kGlyphSize + 2 * kRadius;
  std::vector<uint8_t> out(size_t(kOut) * kOut);
  for (auto _ : state) {
    for (int g = 0; g < kGlyphs; ++g) {
      kernel(out.data(), kOut, glyphs.data() + size_t(g) * kGlyphSize * kGlyphSize, kGlyphSize,
             kGlyphSize, kGlyphSize, kRadius, kStrength);
      benchmark::DoNotOptimize(out.data());
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kGlyphs} * kGlyphSize * kGlyphSize);
}

}  // namespace

int main(int argc, char** argv) {
  bw::BuildBlendTables();
  benchmark::RegisterBenchmark("ours/edge_mask", [](benchmark::State& s) {
    EdgeMask(s, bw::BuildEdgeMaskMmx, bw::WideVectorsEnabled());
  });
  benchmark::RegisterBenchmark(
      "ours128/edge_mask", [](benchmark::State& s) { EdgeMask(s, bw::BuildEdgeMaskMmx, false); });
  benchmark::RegisterBenchmark("plain/edge_mask",
                               [](benchmark::State& s) { EdgeMask(s, bw::BuildEdgeMask, false); });
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("edge-mask-sse-vs-plain", "ours/edge_mask", "plain/edge_mask");
  reporter.PrintRatio("edge-mask-sse-vs-plain 128-bit", "ours128/edge_mask", "plain/edge_mask");
  benchmark::Shutdown();
  return 0;
}
