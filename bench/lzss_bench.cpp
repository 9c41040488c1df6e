// LZSS decoding against zlib's inflate on the same inputs: a text corpus and a 1280x720 BGRA
// picture, both generated here. Each codec packs the input in its own format; throughput is
// unpacked bytes per second. Prints "ratio <name>: <ours/peer throughput>" per input.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_ratio.h"
#include "resource/packs/lzss_codec.h"

namespace {

std::vector<uint8_t> MakeText() {
  static const char* words[] = {"the", "of", "and", "garden", "shadow", "she", "said", "quietly",
                                "morning", "light", "through", "window", "never", "again", "I",
                                "remember", "a", "letter", "from", "you", "station", "rain"};
  std::mt19937 rng(20240601);
  std::vector<uint8_t> text;
  while (text.size() < (4u << 20)) {
    size_t sentence = 4 + rng() % 12;
    for (size_t i = 0; i < sentence; ++i) {
      std::string w = words[rng() % std::size(words)];
      if (i == 0) w[0] = static_cast<char>(std::toupper(w[0]));
      text.insert(text.end(), w.begin(), w.end());
      text.push_back(i + 1 == sentence ? '.' : ' ');
    }
    text.insert(text.end(), {'\r', '\n'});
  }
  return text;
}

// A picture like a game's: smooth gradients, flat panels, a few soft circles, light grain.
std::vector<uint8_t> MakePicture() {
  constexpr int kWidth = 1280, kHeight = 720;
  std::mt19937 rng(7);
  std::vector<uint8_t> pixels(size_t{kWidth} * kHeight * 4);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* p = &pixels[(size_t{static_cast<size_t>(y)} * kWidth + x) * 4];
      int b = 40 + y * 120 / kHeight, g = 60 + x * 80 / kWidth, r = 90;
      if (y > 520) b = g = r = 24;  // a message-window panel
      for (int c = 0; c < 3; ++c) {
        double dx = x - (300 + c * 340), dy = y - 260;
        if (std::sqrt(dx * dx + dy * dy) < 120) r = 200 - c * 50;
      }
      if (y <= 520 && (x / 64 + y / 64) % 5 == 0) {
        int grain = static_cast<int>(rng() % 3);
        b += grain;
        g += grain;
      }
      p[0] = static_cast<uint8_t>(b);
      p[1] = static_cast<uint8_t>(g);
      p[2] = static_cast<uint8_t>(r);
      p[3] = 255;
    }
  }
  return pixels;
}

struct Input {
  std::vector<uint8_t> raw;
  std::vector<uint8_t> lzss;
  std::vector<uint8_t> zlib;
};

const Input& GetInput(const std::string& name) {
  static std::map<std::string, Input> inputs = [] {
    std::map<std::string, Input> m;
    m["text"].raw = MakeText();
    m["picture"].raw = MakePicture();
    for (auto& [name, in] : m) {
      auto codec = std::make_unique<bw::LzssCodec>();
      uint32_t size = 0;
      if (codec->Encode(in.raw, &in.lzss, &size) != bw::LzssCodec::kPacked) std::abort();
      uLongf bound = compressBound(in.raw.size());
      in.zlib.resize(bound);
      if (compress2(in.zlib.data(), &bound, in.raw.data(), in.raw.size(), Z_DEFAULT_COMPRESSION) != Z_OK) {
        std::abort();
      }
      in.zlib.resize(bound);
    }
    return m;
  }();
  return inputs.at(name);
}

void BM_LzssDecode(benchmark::State& state, const std::string& name) {
  const Input& in = GetInput(name);
  std::vector<uint8_t> out(in.raw.size());
  for (auto _ : state) {
    int code = bw::LzssCodec::Decode(in.lzss, out.data(), static_cast<uint32_t>(out.size()));
    benchmark::DoNotOptimize(code);
    benchmark::ClobberMemory();
  }
  if (out != in.raw) state.SkipWithError("LZSS round trip failed");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.raw.size()));
}

void BM_ZlibInflate(benchmark::State& state, const std::string& name) {
  const Input& in = GetInput(name);
  std::vector<uint8_t> out(in.raw.size());
  for (auto _ : state) {
    uLongf size = out.size();
    int code = uncompress(out.data(), &size, in.zlib.data(), in.zlib.size());
    benchmark::DoNotOptimize(code);
    benchmark::ClobberMemory();
  }
  if (out != in.raw) state.SkipWithError("zlib round trip failed");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.raw.size()));
}

}  // namespace

int main(int argc, char** argv) {
  for (const char* name : {"text", "picture"}) {
    benchmark::RegisterBenchmark((std::string("lzss_decode/") + name).c_str(), BM_LzssDecode, name);
    benchmark::RegisterBenchmark((std::string("zlib_inflate/") + name).c_str(), BM_ZlibInflate, name);
  }
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* name : {"text", "picture"}) {
    reporter.PrintRatio(name, std::string("lzss_decode/") + name,
                        std::string("zlib_inflate/") + name);
  }
  for (const char* name : {"text", "picture"}) {
    const Input& in = GetInput(name);
    std::printf("size %s: raw %zu, lzss %zu, zlib %zu\n", name, in.raw.size(), in.lzss.size(),
                in.zlib.size());
  }
  benchmark::Shutdown();
  return 0;
}
