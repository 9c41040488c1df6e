// WGX decoding of a 1280 x 720 32-bit background with a soft-edged alpha beside libpng decoding
// the same picture stored as a PNG (written by libpng at its default compression), both into
// 32-bit pixels in memory order blue, green, red, alpha. Before timing, both sides' pixels are
// checked to be the picture's exactly. Times are per decoded picture.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstring>
#include <vector>

#include "bench_check.h"
#include "bench_ratio.h"
#include "lib/wgx/sample_picture.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/wgx_loader.h"

namespace {

constexpr uint32_t kWidth = 1280;
constexpr uint32_t kHeight = 720;

struct Input {
  std::vector<uint8_t> wgx;
  std::vector<uint8_t> png;
  std::vector<uint8_t> raw;  // the picture's pixels as both decoders give them

  Input() {
    bw::tools::WgxPicture picture;
    picture.depth = 32;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.pixels = bw::tools::MakeBackdrop(kWidth, kHeight, 2026);
    wgx = bw::tools::WriteWgx(picture);
    raw.resize(picture.pixels.size() * 4);
    std::memcpy(raw.data(), picture.pixels.data(), raw.size());
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kWidth;
    image.height = kHeight;
    image.format = PNG_FORMAT_BGRA;
    png_alloc_size_t size = 0;
    if (png_image_write_to_memory(&image, nullptr, &size, 0, raw.data(), 0, nullptr)) {
      png.resize(size);
      if (!png_image_write_to_memory(&image, png.data(), &size, 0, raw.data(), 0, nullptr))
        png.clear();
      png.resize(size);
    }
  }
};

const Input& TheInput() {
  static const Input input;
  return input;
}

template <typename Decode>
void Run(benchmark::State& state, const char* side, Decode decode, int64_t compressed) {
  const Input& in = TheInput();
  std::vector<uint8_t> pixels(in.raw.size());
  if (!decode(pixels)) return state.SkipWithError("decode failed");
  if (!bw::bench::SidesAgree(state, side,
                             [&] { return bw::bench::CompareBytes(pixels, in.raw); })) {
    return;
  }
  for (auto _ : state) {
    if (!decode(pixels)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(pixels.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.raw.size()));
  state.counters["compressed"] = double(compressed);
}

void BM_WgxDecode(benchmark::State& state) {
  const Input& in = TheInput();
  bw::WgxLoader loader;
  Run(
      state, "wgx",
      [&](std::vector<uint8_t>& pixels) {
        auto destination = [&](int w, int, int, bool, bool) {
          return bw::WgxDestination{pixels, size_t(w) * 4};
        };
        return loader.Load(in.wgx, destination, false) == 0;
      },
      int64_t(in.wgx.size()));
}
BENCHMARK(BM_WgxDecode)->Unit(benchmark::kMillisecond);

void BM_LibpngDecode(benchmark::State& state) {
  const Input& in = TheInput();
  Run(
      state, "png",
      [&](std::vector<uint8_t>& pixels) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&image, in.png.data(), in.png.size())) return false;
        image.format = PNG_FORMAT_BGRA;
        return png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
      },
      int64_t(in.png.size()));
}
BENCHMARK(BM_LibpngDecode)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("wgx_decode-vs-libpng", "BM_WgxDecode", "BM_LibpngDecode",
                      bw::bench::Compare::kTime);
  benchmark::Shutdown();
  return 0;
}
