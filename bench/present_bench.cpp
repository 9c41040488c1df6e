// The copy that puts each frame on the primary surface: a 1280 x 720 and a 640 x 480 back buffer
// copied 1:1, and scaled to 1920 x 1080 (the 4:3 frame letterboxed to 1440 x 1080, as the display
// manager places it). A 1:1 copy is set beside memcpy of the bytes it writes (the machine's
// bound); a scaled one beside pixman's SRC with the nearest filter, sampling where ours samples.
// Each frame first changes a pixel of the back buffer through its lock, as a game draws into it:
// a 1:1 present shares the back buffer's pixels with the primary, and the copy it stands for is
// made at that next write, so it is counted there. Before timing, the primary ours presents is
// checked to be exactly the peer's picture. Throughput is target pixels per second; prints
// "ratio present <case>: <ours / peer throughput>".
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_check.h"
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
bool Scaled(const Case& c) {
  return c.srcW != c.dest.right - c.dest.left || c.srcH != c.dest.bottom - c.dest.top;
}

std::vector<uint32_t> BackPixels(const Case& c) {
  return bw::bench::RandomPixels(c.srcW, c.srcH, 1);
}

// The peer's scaled copy. Ours takes target pixel x from source floor((x + 1/2) * src / dst);
// pixman's nearest filter takes floor(map(x + 1/2) - 1/65536). A step rounded up, moved on by
// 1/65536, lands on the same pixels: its error stays below the nearest fraction at these sizes.
class PixmanScaler {
 public:
  PixmanScaler(const Case& c, std::vector<uint32_t>& source, std::vector<uint32_t>& target)
      : c_(c) {
    src_ = pixman_image_create_bits(PIXMAN_a8r8g8b8, c.srcW, c.srcH, source.data(), c.srcW * 4);
    dst_ = pixman_image_create_bits(PIXMAN_a8r8g8b8, c.dstW, c.dstH, target.data(), c.dstW * 4);
    const auto step = [](int source, int target) {
      return pixman_fixed_t(((int64_t{source} << 16) + target - 1) / target);
    };
    pixman_transform_t t;
    pixman_transform_init_scale(&t, step(c.srcW, Width()), step(c.srcH, Height()));
    t.matrix[0][2] = t.matrix[1][2] = pixman_fixed_e;
    pixman_image_set_transform(src_, &t);
    pixman_image_set_filter(src_, PIXMAN_FILTER_NEAREST, nullptr, 0);
    pixman_image_set_repeat(src_, PIXMAN_REPEAT_PAD);
  }
  ~PixmanScaler() {
    pixman_image_unref(src_);
    pixman_image_unref(dst_);
  }
  PixmanScaler(const PixmanScaler&) = delete;
  PixmanScaler& operator=(const PixmanScaler&) = delete;

  void Run() {
    pixman_image_composite32(PIXMAN_OP_SRC, src_, nullptr, dst_, 0, 0, 0, 0, c_.dest.left,
                             c_.dest.top, Width(), Height());
  }

 private:
  int Width() const { return c_.dest.right - c_.dest.left; }
  int Height() const { return c_.dest.bottom - c_.dest.top; }
  const Case& c_;
  pixman_image_t* src_ = nullptr;
  pixman_image_t* dst_ = nullptr;
};

// The peer's picture of the back buffer's pixels on the primary: the copy, or pixman's scaling.
std::vector<uint32_t> PeerPicture(const Case& c, std::vector<uint32_t> back) {
  std::vector<uint32_t> primary(size_t(c.dstW) * c.dstH);
  if (!Scaled(c)) return back;
  PixmanScaler(c, back, primary).Run();
  return primary;
}

// "" when ours put on the primary what the peer puts there from the back buffer as it is.
std::string CheckPresent(const Case& c, MemorySurface& back, MemorySurface& primary) {
  bw::host::DdSurfaceDesc b, p;
  if (back.Lock(&b) != bw::host::kDdOk) return "the back buffer cannot be locked";
  std::vector<uint32_t> source(size_t(c.srcW) * c.srcH);
  for (int y = 0; y < c.srcH; ++y) {
    std::memcpy(source.data() + size_t(y) * c.srcW, b.surface + ptrdiff_t{y} * b.pitch,
                size_t(c.srcW) * 4);
  }
  back.Unlock();
  const std::vector<uint32_t> peer = PeerPicture(c, source);
  if (primary.Lock(&p) != bw::host::kDdOk) return "the primary cannot be locked";
  std::string answer = bw::bench::ComparePixels(reinterpret_cast<const uint32_t*>(p.surface),
                                                p.pitch / 4, peer.data(), c.dstW, c.dstW, c.dstH);
  primary.Unlock();
  return answer;
}

// One frame: a pixel of the back buffer drawn through its lock, then the present.
bool Present(benchmark::State& state, const Case& c, MemorySurface& back, MemorySurface& primary,
             uint32_t frame) {
  bw::host::DdSurfaceDesc desc;
  if (back.Lock(&desc) != bw::host::kDdOk) {
    state.SkipWithError("the back buffer cannot be locked");
    return false;
  }
  std::memcpy(desc.surface, &frame, sizeof frame);
  back.Unlock();
  if (primary.Blt(&c.dest, &back, nullptr, 0, nullptr) != bw::host::kDdOk) {
    state.SkipWithError("the copy was refused");
    return false;
  }
  return true;
}

void OursPresent(benchmark::State& state, const Case& c) {
  auto back = MemorySurface::Create(c.srcW, c.srcH, bw::bench::Bgra32());
  auto primary = MemorySurface::Create(c.dstW, c.dstH, bw::bench::Bgra32());
  bw::host::DdSurfaceDesc desc;
  if (!back || !primary || back->Lock(&desc) != bw::host::kDdOk) {
    state.SkipWithError("the surfaces cannot be made");
    return;
  }
  const std::vector<uint32_t> pixels = BackPixels(c);
  for (int y = 0; y < c.srcH; ++y) {
    std::memcpy(desc.surface + ptrdiff_t{y} * desc.pitch, pixels.data() + size_t(y) * c.srcW,
                size_t(c.srcW) * 4);
  }
  back->Unlock();
  uint32_t frame = 0;
  if (!Present(state, c, *back, *primary, ++frame)) return;
  if (!bw::bench::SidesAgree(state, c.name, [&] { return CheckPresent(c, *back, *primary); })) {
    return;
  }
  for (auto _ : state) {
    if (!Present(state, c, *back, *primary, ++frame)) break;
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

void PeerPixman(benchmark::State& state, const Case& c) {
  std::vector<uint32_t> source = BackPixels(c), primary(size_t(c.dstW) * c.dstH);
  PixmanScaler scaler(c, source, primary);
  for (auto _ : state) {
    scaler.Run();
    benchmark::ClobberMemory();
  }
  bw::bench::CountPixels(state, TargetPixels(c));
}

std::string PeerName(const Case& c) {
  return std::string(Scaled(c) ? "peer/pixman-nearest/" : "peer/memcpy/") + c.name;
}

}  // namespace

int main(int argc, char** argv) {
  for (const Case& c : kCases) {
    benchmark::RegisterBenchmark((std::string("ours/present/") + c.name).c_str(), OursPresent, c)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(PeerName(c).c_str(), Scaled(c) ? PeerPixman : PeerMemcpy, c)
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const Case& c : kCases) {
    reporter.PrintRatio(std::string("present ") + c.name, std::string("ours/present/") + c.name,
                        PeerName(c));
  }
  benchmark::Shutdown();
  return 0;
}
