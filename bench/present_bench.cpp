// The copy that puts each frame on the primary surface: a 1280 x 720 and a 640 x 480 back buffer
// presented 1:1, and scaled to 1920 x 1080 (the 4:3 frame letterboxed to 1440 x 1080, as the
// display manager places it). Each frame first draws a whole new picture into the back buffer
// through its lock (one of two pictures, by turns, so that every pixel changes), as a game that
// changes the whole screen does; the present then shares the back buffer's pixels with the primary
// (1:1) or scales them into it, and the copy a 1:1 present stands for is made, where needed, at the
// next draw, so it is counted there. Peer, the same two steps on plain memory: memcpy of the new
// picture into the back buffer, then memcpy of the frame into the primary (1:1) or pixman's SRC
// with a nearest filter and the same scale (scaled). Before timing, both sides' primaries must hold
// the same pixels. Throughput is target pixels per second; prints "ratio present <case>: <ours /
// peer throughput>" for the scaled cases and "limit present <case>: ..." for the 1:1 ones, whose
// peer is two memcpy calls: the floor of drawing a whole new frame into a back buffer whose last
// frame is still shown, which any way of keeping the shown frame must copy once.
#include <benchmark/benchmark.h>
#include <pixman.h>

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

// The two pictures the frames alternate between.
struct Pictures {
  explicit Pictures(const Case& c)
      : frames{bw::bench::RandomPixels(c.srcW, c.srcH, 1),
               bw::bench::RandomPixels(c.srcW, c.srcH, 2)} {}
  std::vector<uint32_t> frames[2];
};

class OurPresent {
 public:
  OurPresent(const Case& c, const Pictures& p)
      : c_(c),
        p_(p),
        back_(MemorySurface::Create(c.srcW, c.srcH, bw::bench::Bgra32())),
        primary_(MemorySurface::Create(c.dstW, c.dstH, bw::bench::Bgra32())) {}
  bool Frame(int n) {
    bw::host::DdSurfaceDesc desc;
    if (!back_ || !primary_ || back_->Lock(&desc) != bw::host::kDdOk) return false;
    const uint32_t* picture = p_.frames[n & 1].data();
    // Rows without padding lie end to end, as the peer's do: one copy writes them all.
    if (desc.pitch == c_.srcW * 4) {
      std::memcpy(desc.surface, picture, size_t(c_.srcW) * 4 * size_t(c_.srcH));
    } else {
      for (int y = 0; y < c_.srcH; ++y) {
        std::memcpy(desc.surface + ptrdiff_t{y} * desc.pitch, picture + size_t(y) * c_.srcW,
                    size_t(c_.srcW) * 4);
      }
    }
    (void)back_->Unlock();
    return primary_->Blt(&c_.dest, back_.get(), nullptr, 0, nullptr) == bw::host::kDdOk;
  }
  const uint8_t* Row(int y) const { return primary_->Pixels() + y * primary_->Pitch(); }

 private:
  const Case& c_;
  const Pictures& p_;
  std::unique_ptr<MemorySurface> back_, primary_;
};

class PeerPresent {
 public:
  PeerPresent(const Case& c, const Pictures& p)
      : c_(c), p_(p), back_(size_t(c.srcW) * c.srcH), primary_(size_t(c.dstW) * c.dstH) {
    source_ = pixman_image_create_bits(PIXMAN_x8r8g8b8, c.srcW, c.srcH, back_.data(), c.srcW * 4);
    target_ =
        pixman_image_create_bits(PIXMAN_x8r8g8b8, c.dstW, c.dstH, primary_.data(), c.dstW * 4);
    // Each target pixel takes the source pixel under its centre; pixman's nearest filter takes
    // the one below a centre that falls on a source pixel's edge, and its scale is a 16.16
    // fraction: rounded up, and the centres moved up a step, it picks the same pixels here.
    const int w = c.dest.right - c.dest.left, h = c.dest.bottom - c.dest.top;
    pixman_transform_t scale;
    pixman_transform_init_scale(&scale, (pixman_int_to_fixed(c.srcW) + w - 1) / w,
                                (pixman_int_to_fixed(c.srcH) + h - 1) / h);
    pixman_transform_translate(&scale, nullptr, pixman_fixed_e, pixman_fixed_e);
    pixman_image_set_transform(source_, &scale);
    pixman_image_set_filter(source_, PIXMAN_FILTER_NEAREST, nullptr, 0);
  }
  ~PeerPresent() {
    pixman_image_unref(source_);
    pixman_image_unref(target_);
  }
  void Frame(int n) {
    std::memcpy(back_.data(), p_.frames[n & 1].data(), back_.size() * 4);
    if (c_.srcW == c_.dstW && c_.srcH == c_.dstH) {
      std::memcpy(primary_.data(), back_.data(), primary_.size() * 4);
      return;
    }
    pixman_image_composite32(PIXMAN_OP_SRC, source_, nullptr, target_, 0, 0, 0, 0, c_.dest.left,
                             c_.dest.top, c_.dest.right - c_.dest.left,
                             c_.dest.bottom - c_.dest.top);
  }
  const uint8_t* Row(int y) const {
    return reinterpret_cast<const uint8_t*>(primary_.data() + size_t(y) * c_.dstW);
  }

 private:
  const Case& c_;
  const Pictures& p_;
  std::vector<uint32_t> back_, primary_;
  pixman_image_t *source_, *target_;
};

// "" when both sides' primaries hold the same colours where the frame lands, after two frames.
std::string Disagreement(const Case& c) {
  const Pictures pictures(c);
  OurPresent ours(c, pictures);
  PeerPresent peer(c, pictures);
  for (int n = 0; n < 2; ++n) {
    if (!ours.Frame(n)) return "our present was refused";
    peer.Frame(n);
  }
  for (int y = c.dest.top; y < c.dest.bottom; ++y) {
    for (int x = c.dest.left; x < c.dest.right; ++x) {
      uint32_t a, b;
      std::memcpy(&a, ours.Row(y) + x * 4, 4);
      std::memcpy(&b, peer.Row(y) + x * 4, 4);
      if ((a ^ b) & 0xFFFFFF) {
        return "the primaries differ at " + std::to_string(x) + "," + std::to_string(y);
      }
    }
  }
  return "";
}

void OursPresent(benchmark::State& state, const Case& c) {
  if (const std::string why = Disagreement(c); !why.empty())
    return state.SkipWithError(why.c_str());
  const Pictures pictures(c);
  OurPresent ours(c, pictures);
  int n = 0;
  for (auto _ : state) {
    if (!ours.Frame(n++)) {
      state.SkipWithError("the present was refused");
      break;
    }
    benchmark::ClobberMemory();
  }
  bw::bench::CountPixels(state, TargetPixels(c));
}

void Peer(benchmark::State& state, const Case& c) {
  const Pictures pictures(c);
  PeerPresent peer(c, pictures);
  int n = 0;
  for (auto _ : state) {
    peer.Frame(n++);
    benchmark::ClobberMemory();
  }
  bw::bench::CountPixels(state, TargetPixels(c));
}

}  // namespace

int main(int argc, char** argv) {
  for (const Case& c : kCases) {
    benchmark::RegisterBenchmark((std::string("ours/present/") + c.name).c_str(), OursPresent, c)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((std::string("peer/present/") + c.name).c_str(), Peer, c)
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const Case& c : kCases) {
    const std::string label = std::string("present ") + c.name,
                      ours = std::string("ours/present/") + c.name,
                      peer = std::string("peer/present/") + c.name;
    if (c.srcW == c.dstW && c.srcH == c.dstH) {
      reporter.PrintLimit(label, ours, peer);
    } else {
      reporter.PrintRatio(label, ours, peer);
    }
  }
  benchmark::Shutdown();
  return 0;
}
