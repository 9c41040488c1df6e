// The ripple's frame at 640x360 and 1280x720, half-way through (amplitude 24, wave length 32),
// on sprite-like and random pictures, against work on the same frame in the same run. Every
// round of the ripple steps it on by a frame's time and back, so that each draw works out its
// sample offsets afresh, as it does in a game. All sides draw the whole frame, 32 bits a pixel,
// from the same two pictures into the same target.
//   cross   the engine's own "cross" frame at the ripple's level: each pixel the old picture's
//           blended toward the new one's, one pass; the ripple should reach at least 0.4 of it;
//   pixman  pixman SRC of the old picture, then OVER of the new one (x8r8g8b8) through a solid
//           mask at the level: the cross-fade alone;
//   plain   the ripple with the plain kernel set against the vector set (the sets differ only
//           in the blend of the two pictures; the sample moves are the same loop).
// Prints "ratio <name> <size>: <ours / peer throughput>".
#include <pixman.h>

#include <cstring>
#include <memory>
#include <string>

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
    ripple.SetUp(&layer, {kDurationMs, -1, -1, 32, 0, 0, 24});
    ripple.Advance(0);
    ripple.Advance(kHalfway);
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

void Ripple(benchmark::State& state, Size2 size, bool vector) {
  Scene& s = SceneOf(size);
  bw::ScopedMmxFlag flag(vector);
  bw::RippleEffect::Initialise();
  const bw::FilterDrawRequest request = s.Request();
  uint32_t step = 0;
  Loop(state, s, [&] {
    step ^= kFrameMs;
    s.ripple.Advance(kHalfway + step);
    if (s.ripple.Draw(request) != 0) state.SkipWithError("draw failed");
  });
}

void Cross(benchmark::State& state, Size2 size) {
  Scene& s = SceneOf(size);
  bw::ScopedPixelLibrary library(&bw::BuiltInPixelLibrary());
  const bw::FilterDrawRequest request = s.Request();
  Loop(state, s, [&] {
    if (bw::DrawCrossTransition(request, s.ripple.Level()) != 0) state.SkipWithError("failed");
  });
}

void PixmanCross(benchmark::State& state, Size2 size) {
  Scene& s = SceneOf(size);
  pixman_image_t* old = s.Wrap(s.before);
  pixman_image_t* fresh = s.Wrap(s.after, PIXMAN_x8r8g8b8);
  pixman_image_t* dst = s.Wrap(s.target);
  const pixman_color_t level{0, 0, 0, uint16_t(s.ripple.Level() * 257)};
  pixman_image_t* mask = pixman_image_create_solid_fill(&level);
  Loop(state, s, [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, old, nullptr, dst, 0, 0, 0, 0, 0, 0, s.w, s.h);
    pixman_image_composite32(PIXMAN_OP_OVER, fresh, mask, dst, 0, 0, 0, 0, 0, 0, s.w, s.h);
  });
  for (pixman_image_t* i : {old, fresh, dst, mask}) pixman_image_unref(i);
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
    add("peer/cross/" + n, [size](benchmark::State& st) { PixmanCross(st, size); });
  }
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (Size2 size : kFrameSizes) {
    const std::string n = size.Name();
    reporter.PrintRatio("ripple-vs-cross " + n, "ours/ripple/" + n, "ours/cross/" + n);
    reporter.PrintRatio("ripple-vs-pixman-cross " + n, "ours/ripple/" + n, "peer/cross/" + n);
    reporter.PrintRatio("ripple vector-vs-plain " + n, "ours/ripple/" + n,
                        "ours/ripple-plain/" + n);
  }
  benchmark::Shutdown();
  return 0;
}
