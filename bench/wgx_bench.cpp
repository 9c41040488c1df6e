// WGX decoding of a 1280 x 720 32-bit background beside zlib's inflate of the same pixels.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <vector>

#include "bench_ratio.h"
#include "lib/wgx/sample_picture.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/wgx_loader.h"

namespace {

constexpr uint32_t kWidth = 1280;
constexpr uint32_t kHeight = 720;

struct Input {
  std::vector<uint8_t> wgx;
  std::vector<uint8_t> deflated;
  size_t rawSize = 0;

  Input() {
    bw::tools::WgxPicture picture;
    picture.depth = 32;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.pixels = bw::tools::MakeBackdrop(kWidth, kHeight, 2026);
    wgx = bw::tools::WriteWgx(picture);
    rawSize = picture.pixels.size() * 4;
    uLongf size = compressBound(rawSize);
    deflated.resize(size);
    compress2(deflated.data(), &size, reinterpret_cast<const Bytef*>(picture.pixels.data()),
              rawSize, Z_DEFAULT_COMPRESSION);
    deflated.resize(size);
  }
};

const Input& TheInput() {
  static const Input input;
  return input;
}

void BM_WgxDecode(benchmark::State& state) {
  const Input& in = TheInput();
  std::vector<uint8_t> pixels(in.rawSize);
  bw::WgxLoader loader;
  auto destination = [&](int w, int, int, bool, bool) {
    return bw::WgxDestination{pixels, size_t(w) * 4};
  };
  for (auto _ : state) {
    if (loader.Load(in.wgx, destination, false) != 0) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * in.rawSize);
  state.counters["compressed"] = double(in.wgx.size());
}
BENCHMARK(BM_WgxDecode)->Unit(benchmark::kMillisecond);

void BM_ZlibInflate(benchmark::State& state) {
  const Input& in = TheInput();
  std::vector<uint8_t> pixels(in.rawSize);
  for (auto _ : state) {
    uLongf size = pixels.size();
    if (uncompress(pixels.data(), &size, in.deflated.data(), in.deflated.size()) != Z_OK)
      state.SkipWithError("inflate failed");
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * in.rawSize);
  state.counters["compressed"] = double(in.deflated.size());
}
BENCHMARK(BM_ZlibInflate)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("wgx_decode", "BM_WgxDecode", "BM_ZlibInflate", bw::bench::Compare::kTime);
  benchmark::Shutdown();
  return 0;
}
