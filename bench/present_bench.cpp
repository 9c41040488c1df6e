// The copy that puts each frame on the primary surface: a 1280 x 720 and a 640 x 480 back buffer
// copied 1:1, and scaled to 1920 x 1080 (the 4:3 frame letterboxed to 1440 x 1080, as the display
// manager places it), each beside memcpy of the bytes the copy writes. Each frame first changes a
// pixel of the back buffer through its lock, as a game draws into it: a 1:1 present shares the
// back buffer's pixels with the primary, and the copy it stands for is made at that next write,
// so it is counted there. Throughput is target pixels per second; prints
// "ratio present <case>: <ours / memcpy throughput>".
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_ratio.h"
#include "host/surface/memory_surface.h"
#include "pixel_data.h"

namespace {

using bw::host::DdRect;
using bw::host::MemorySurface;

struct Case {
  const char* name;
  int srcW, srcH;  // the back buffer
  int dstW, dstH;  // the primary
  DdRect dest;     // where the frame lands on it
};

const Case kCases[] = {
    {"1280x720-1:1", 1280, 720, 1280, 720, {0, 0, 1280, 720}},
    {"640x480-1:1", 640, 480, 640, 480, {0, 0, 640, 480}},
    {"1280x720-to-1920x1080", 1280, 720, 1920, 1080, {0, 0, 1920, 1080}},
    {"640x480-to-1920x1080", 640, 480, 1920, 1080, {240, 0, 1680, 1080}},
};

int64_t TargetPixels(const Case& c) {
  return int64_t{c.dest.right - c.dest.left} * (c.dest.bottom - c.dest.top);
}

void OursPresent(benchmark::State& state, const Case& c) {
  auto back = MemorySurface::Create(c.srcW, c.srcH, bw::bench::Bgra32());
  auto primary = MemorySurface::Create(c.dstW, c.dstH, bw::bench::Bgra32());
  bw::host::DdSurfaceDesc desc;
  if (!back || !primary || back->Lock(&desc) != bw::host::kDdOk) {
    state.SkipWithError("the surfaces cannot be made");
    return;
  }
  const std::vector<uint32_t> pixels = bw::bench::RandomPixels(c.srcW, c.srcH, 1);
  for (int y = 0; y < c.srcH; ++y) {
    std::memcpy(desc.surface + ptrdiff_t{y} * desc.pitch, pixels.data() + size_t(y) * c.srcW,
                size_t(c.srcW) * 4);
  }
  back->Unlock();
  uint32_t frame = 0;
  for (auto _ : state) {
    if (back->Lock(&desc) != bw::host::kDdOk) {
      state.SkipWithError("the back buffer cannot be locked");
      break;
    }
    std::memcpy(desc.surface, &++frame, sizeof frame);
    back->Unlock();
    if (primary->Blt(&c.dest, back.get(), nullptr, 0, nullptr) != bw::host::kDdOk) {
      state.SkipWithError("the copy was refused");
      break;
    }
    benchmark::ClobberMemory();
  }
  bw::bench::CountPixels(state, TargetPixels(c));
}

void PeerMemcpy(benchmark::State& state, const Case& c) {
  const size_t bytes = size_t(TargetPixels(c)) * 4;
  std::vector<uint8_t> from(bytes, 0x5A), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::ClobberMemory();
  }
  bw::bench::CountPixels(state, TargetPixels(c));
}

}  // namespace

int main(int argc, char** argv) {
  for (const Case& c : kCases) {
    benchmark::RegisterBenchmark((std::string("ours/present/") + c.name).c_str(), OursPresent, c)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((std::string("peer/memcpy/") + c.name).c_str(), PeerMemcpy, c)
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const Case& c : kCases) {
    reporter.PrintRatio(std::string("present ") + c.name, std::string("ours/present/") + c.name,
                        std::string("peer/memcpy/") + c.name);
  }
  benchmark::Shutdown();
  return 0;
}
