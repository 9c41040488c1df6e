// LZSS decoding against a plain decoder of the same streams written here as a competent
// implementation would (a flag byte before each eight items; the output itself is the window of
// 4,096 bytes, matches copied from it whole where they can be), on members of a generated text of 4
// KB, 64 KB and 4 MB and on a 1280x720 BGRA picture. Before timing, both sides' output is checked
// to be the member exactly. Throughput is unpacked bytes per second. Prints "ratio <name>:
// <ours/peer throughput>".
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_check.h"
#include "bench_ratio.h"
#include "resource/packs/lzss_codec.h"

namespace {

std::vector<uint8_t> MakeText() {
  static const char* words[] = {"the",   "of",      "and",     "garden",   "shadow",  "she",
                                "said",  "quietly", "morning", "light",    "through", "window",
                                "never", "again",   "I",       "remember", "a",       "letter",
                                "from",  "you",     "station", "rain"};
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
};

constexpr const char* kInputs[] = {"text 4KB", "text 64KB", "text 4MB", "picture"};

const Input& GetInput(const std::string& name) {
  static std::map<std::string, Input> inputs = [] {
    std::map<std::string, Input> m;
    const std::vector<uint8_t> text = MakeText();
    m["text 4KB"].raw.assign(text.begin(), text.begin() + 4096);
    m["text 64KB"].raw.assign(text.begin(), text.begin() + 65536);
    m["text 4MB"].raw = text;
    m["picture"].raw = MakePicture();
    for (auto& [inputName, in] : m) {
      auto codec = std::make_unique<bw::LzssCodec>();
      uint32_t size = 0;
      if (codec->Encode(in.raw, &in.lzss, &size) != bw::LzssCodec::kPacked) std::abort();
    }
    return m;
  }();
  return inputs.at(name);
}

// A plain decoder as a competent implementation writes it: the output is the window, so a
// match is a copy from earlier in the output (a ring position is a distance back from where the
// ring would be written next; positions the ring never held read zero), of a whole 18 bytes at
// once where it neither overlaps itself nor runs off the end, byte by byte otherwise.
void PlainDecode(const std::vector<uint8_t>& in, uint8_t* out, size_t size) {
  constexpr uint32_t kRing = 4096, kLongest = 18, kFirst = kRing - kLongest;
  size_t at = 0, done = 0;
  uint32_t flags = 0;
  while (done < size && at < in.size()) {
    flags >>= 1;
    if ((flags & 0x100) == 0) {
      flags = in[at++] | 0xFF00u;
      if (at == in.size()) break;
    }
    if (flags & 1) {
      out[done++] = in[at++];
      continue;
    }
    if (at + 2 > in.size()) break;
    const uint32_t b0 = in[at], b1 = in[at + 1];
    at += 2;
    const uint32_t position = b0 | (b1 & 0xF0) << 4, length = (b1 & 0x0F) + 3;
    const uint32_t back = (uint32_t(kFirst + done) - position - 1) % kRing + 1;
    if (back <= done && back >= kLongest && done + kLongest <= size) {
      std::memcpy(out + done, out + done - back, kLongest);
      done += length;
      continue;
    }
    for (uint32_t k = 0; k < length && done < size; ++k, ++done) {
      out[done] = back <= done ? out[done - back] : 0;
    }
  }
}

template <typename Decode>
void Run(benchmark::State& state, const std::string& name, const char* side, Decode decode) {
  const Input& in = GetInput(name);
  std::vector<uint8_t> out(in.raw.size());
  decode(in, out);
  if (!bw::bench::SidesAgree(state, name + '/' + side,
                             [&] { return bw::bench::CompareBytes(out, in.raw); })) {
    return;
  }
  for (auto _ : state) {
    decode(in, out);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.raw.size()));
}

void BM_LzssDecode(benchmark::State& state, const std::string& name) {
  Run(state, name, "ours", [](const Input& in, std::vector<uint8_t>& out) {
    benchmark::DoNotOptimize(
        bw::LzssCodec::Decode(in.lzss, out.data(), static_cast<uint32_t>(out.size())));
  });
}

void BM_PlainDecode(benchmark::State& state, const std::string& name) {
  Run(state, name, "plain", [](const Input& in, std::vector<uint8_t>& out) {
    PlainDecode(in.lzss, out.data(), out.size());
  });
}

}  // namespace

int main(int argc, char** argv) {
  for (const char* name : kInputs) {
    benchmark::RegisterBenchmark((std::string("lzss_decode/") + name).c_str(), BM_LzssDecode, name);
    benchmark::RegisterBenchmark((std::string("plain_decode/") + name).c_str(), BM_PlainDecode,
                                 name);
  }
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* name : kInputs) {
    reporter.PrintRatio(std::string("lzss ") + name, std::string("lzss_decode/") + name,
                        std::string("plain_decode/") + name);
  }
  for (const char* name : kInputs) {
    const Input& in = GetInput(name);
    std::printf("size %s: raw %zu, lzss %zu\n", name, in.raw.size(), in.lzss.size());
  }
  benchmark::Shutdown();
  return 0;
}
