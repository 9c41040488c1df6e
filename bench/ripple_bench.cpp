// The ripple's frame at 640x360 and 1280x720, half-way through (amplitude 24, wave length 32),
// on sprite-like and random pictures. Every round of the ripple steps it on by a frame's time and
// back, so that each draw works out its sample offsets afresh, as it does in a game. No peer
// library draws a ripple, so both lines set ours beside ours, from the same two pictures into
// the same target:
//   plain   the ripple with the plain kernel set against the vector set (the sets differ only in
//           the blend of the two pictures; the sample moves are the same loop), checked before
//           timing to give the same frame exactly;
//   cross   the engine's own "cross" frame at the ripple's level (each pixel the old picture's
//           blended toward the new one's, one pass): what the ripple's displacement costs over
//           the blend it also does; the ripple should reach at least 0.4 of it. Different
//           pictures by design, so nothing to compare.
// Prints "self <name> <size>: <x / y throughput>".
#include <cstring>
#include <memory>
#include <string>

#include "bench_check.h"
#include "bench_ratio.h"
#include "effects/ripple_effect.h"
#include "effects/transitions/named_transitions.h"
#include "filter_frames.h"
#include "graphics/surface/pixel_library.h"
#include "platform/mmx_flag.h"

namespace {

using Size2 = bw::bench::FrameSize;
using bw::bench::kFrameSizes;
constexpr uint32_t kDurationMs = 2000;
constexpr uint32_t kHalfway = 1000;
constexpr uint32_t kFrameMs = 16;

struct Scene : bw::bench::FilterFrame {
  explicit Scene(Size2 size) : FilterFrame(size) {
    (void)ripple.SetUp(&layer, {kDurationMs, -1, -1, 32, 0, 0, 24});
    (void)ripple.Advance(0);
    (void)ripple.Advance(kHalfway);
  }
  bw::RippleEffect ripple;
};

Scene& SceneOf(Size2 size) {
  return bw::bench::FrameOf<Scene>(size);
}

template <typename Body>
void Loop(benchmark::State& state, const Scene& s, Body body) {
  bw::bench::FrameLoop(state, s, body);
}

std::vector<uint32_t> PixelsOf(const bw::ImageSurface& p) {
  std::vector<uint32_t> out(size_t(p.GetWidth()) * size_t(p.GetHeight()));
  for (int y = 0; y < p.GetHeight(); ++y) {
    std::memcpy(out.data() + size_t(y) * size_t(p.GetWidth()), p.GetRowPointer(y),
                size_t(p.GetWidth()) * 4);
  }
  return out;
}

void Ripple(benchmark::State& state, Size2 size, bool vector) {
  Scene& s = SceneOf(size);
  bw::ScopedMmxFlag flag(vector);
  bw::RippleEffect::Initialise();
  const bw::FilterDrawRequest request = s.Request();
  if (s.ripple.Draw(request) != 0) return state.SkipWithError("draw failed");
  if (!bw::bench::AgreesWithPair(state, "ripple/" + size.Name(), vector ? "vector" : "plain",
                                 PixelsOf(s.target), s.w, s.h)) {
    return;
  }
  uint32_t step = 0;
  Loop(state, s, [&] {
    step ^= kFrameMs;
    (void)s.ripple.Advance(kHalfway + step);
    if (s.ripple.Draw(request) != 0) state.SkipWithError("draw failed");
  });
  (void)s.ripple.Advance(kHalfway);
}

void Cross(benchmark::State& state, Size2 size) {
  Scene& s = SceneOf(size);
  bw::ScopedPixelLibrary library(&bw::BuiltInPixelLibrary());
  const bw::FilterDrawRequest request = s.Request();
  Loop(state, s, [&] {
    if (bw::DrawCrossTransition(request, s.ripple.Level()) != 0) state.SkipWithError("failed");
  });
}

}  // namespace

int main(int argc, char** argv) {
  for (Size2 size : kFrameSizes) {
    const std::string n = size.Name();
    auto add = [](const std::string& name, auto run) {
      benchmark::RegisterBenchmark(name.c_str(), run)->Unit(benchmark::kMicrosecond);
    };
    add("ours/ripple/" + n, [size](benchmark::State& st) { Ripple(st, size, true); });
    add("ours/ripple-plain/" + n, [size](benchmark::State& st) { Ripple(st, size, false); });
    add("ours/cross/" + n, [size](benchmark::State& st) { Cross(st, size); });
  }
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (Size2 size : kFrameSizes) {
    const std::string n = size.Name();
    reporter.PrintSelf("ripple-vs-cross " + n, "ours/ripple/" + n, "ours/cross/" + n);
    reporter.PrintSelf("ripple vector-vs-plain " + n, "ours/ripple/" + n, "ours/ripple-plain/" + n);
  }
  benchmark::Shutdown();
  return 0;
}
