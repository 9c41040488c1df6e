// Copy, fill, alpha-over and keyed copy of 1280 x 720 pixels, each measured beside its nearest
// peer in the same run; prints "ratio <name>: <ours / peer throughput>" per pair.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <random>
#include <vector>

#include "bench_ratio.h"
#include "graphics/pixel/alpha_kernels.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/pixel_kernels.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr size_t kPixels = size_t(kWidth) * kHeight;

struct Frames {
  std::vector<uint32_t> src = std::vector<uint32_t>(kPixels);
  std::vector<uint32_t> dst = std::vector<uint32_t>(kPixels);
  Frames() {
    std::mt19937 rng(1);
    for (auto& p : src) p = static_cast<uint32_t>(rng());
    for (auto& p : dst) p = static_cast<uint32_t>(rng());
  }
};

Frames& TheFrames() {
  static Frames frames;
  return frames;
}

pixman_image_t* Wrap(std::vector<uint32_t>& pixels) {
  return pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight, pixels.data(), kWidth * 4);
}

void Finish(benchmark::State& state) {
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kPixels));
}

void OursCopy(benchmark::State& state) {
  Frames& f = TheFrames();
  for (auto _ : state) {
    bw::CopyRows32Mmx(f.dst.data(), f.src.data(), 0, 0, kWidth, kHeight);
    benchmark::ClobberMemory();
  }
  Finish(state);
}

void PeerMemcpy(benchmark::State& state) {
  Frames& f = TheFrames();
  for (auto _ : state) {
    std::memcpy(f.dst.data(), f.src.data(), kPixels * 4);
    benchmark::ClobberMemory();
  }
  Finish(state);
}

void PeerPixmanSrc(benchmark::State& state) {
  Frames& f = TheFrames();
  pixman_image_t* src = Wrap(f.src);
  pixman_image_t* dst = Wrap(f.dst);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(src);
  pixman_image_unref(dst);
  Finish(state);
}

void OursFill(benchmark::State& state) {
  Frames& f = TheFrames();
  for (auto _ : state) {
    bw::FillRows32(f.dst.data(), 0, kWidth, kHeight, 0x80402010u);
    benchmark::ClobberMemory();
  }
  Finish(state);
}

void PeerPixmanFill(benchmark::State& state) {
  Frames& f = TheFrames();
  for (auto _ : state) {
    pixman_fill(f.dst.data(), kWidth, 32, 0, 0, kWidth, kHeight, 0x80402010u);
    benchmark::ClobberMemory();
  }
  Finish(state);
}

void OursAlphaOver(benchmark::State& state) {
  Frames& f = TheFrames();
  std::vector<uint32_t> dst = f.dst;
  for (auto _ : state) {
    bw::AlphaOverRowsMmx(dst.data(), f.src.data(), 0, 0, kWidth, kHeight);
    benchmark::ClobberMemory();
  }
  Finish(state);
}

void PeerPixmanOver(benchmark::State& state) {
  Frames& f = TheFrames();
  std::vector<uint32_t> dstPixels = f.dst;
  pixman_image_t* src = Wrap(f.src);
  pixman_image_t* dst = Wrap(dstPixels);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(src);
  pixman_image_unref(dst);
  Finish(state);
}

void OursKeyedCopy(benchmark::State& state) {
  Frames& f = TheFrames();
  for (auto _ : state) {
    bw::CopyRows32Keyed(f.dst.data(), f.src.data(), 0, 0, kWidth, kHeight, 0x00FF00FFu);
    benchmark::ClobberMemory();
  }
  Finish(state);
}

}  // namespace

int main(int argc, char** argv) {
  bw::BuildBlendTables();
  benchmark::RegisterBenchmark("ours/copy", OursCopy);
  benchmark::RegisterBenchmark("peer/memcpy", PeerMemcpy);
  benchmark::RegisterBenchmark("peer/pixman_src", PeerPixmanSrc);
  benchmark::RegisterBenchmark("ours/fill", OursFill);
  benchmark::RegisterBenchmark("peer/pixman_fill", PeerPixmanFill);
  benchmark::RegisterBenchmark("ours/alpha_over", OursAlphaOver);
  benchmark::RegisterBenchmark("peer/pixman_over", PeerPixmanOver);
  benchmark::RegisterBenchmark("ours/keyed_copy", OursKeyedCopy);
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("copy", "ours/copy", "peer/memcpy");
  reporter.PrintRatio("copy-vs-pixman-src", "ours/copy", "peer/pixman_src");
  reporter.PrintRatio("fill", "ours/fill", "peer/pixman_fill");
  reporter.PrintRatio("alpha-over", "ours/alpha_over", "peer/pixman_over");
  reporter.PrintRatio("keyed-copy", "ours/keyed_copy", "peer/memcpy");
  benchmark::Shutdown();
  return 0;
}
