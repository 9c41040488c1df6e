// The image filters at 640x360 and 1280x720 against pixman doing the same work on the same
// pictures (sprite-like alpha in the old one, random pixels in the new) in the same run:
//   zoomflip   mode 4 at progress 128: the old picture's centred half stretched over the frame;
//              pixman SRC of the picture through a scale-by-two transform, NEAREST;
//   rotcenter  progress 300: the old picture copied, the new one turned and shrunk into the
//              centre; pixman SRC of the old picture, then OVER of the new one (x8r8g8b8, so
//              opaque inside and clear outside) through the inverse affine transform, NEAREST,
//              over the turned picture's bounding box;
//   addsub     mode 0 at level 100: the old picture copied and a grey added with saturation;
//              pixman SRC of the old picture, then ADD of a solid grey;
//   hblur      mode 0 at level 8: a 17-pixel box blur of every row of the old picture; pixman
//              SRC through a separable convolution of a 17-pixel box along rows, none down.
// Prints "ratio <name> <size>: <ours / peer throughput>".
#include <pixman.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "bench_ratio.h"
#include "common/global.h"
#include "effects/filter_image_effects.h"
#include "filter_frames.h"
#include "graphics/surface/pixel_library.h"
#include "platform/trig_tables.h"

namespace {

using Size2 = bw::bench::FrameSize;
using bw::bench::kFrameSizes;

constexpr int kBlurRadius = 8;
constexpr uint32_t kTurnProgress = 300;

struct Scene : bw::bench::FilterFrame {
  explicit Scene(Size2 size) : FilterFrame(size) { trig.EnsureCosineDoubles(); }
  bw::TrigTables trig;
};

Scene& SceneOf(Size2 size) {
  return bw::bench::FrameOf<Scene>(size);
}

template <typename Body>
void Loop(benchmark::State& state, const Scene& s, Body body) {
  bw::bench::FrameLoop(state, s, body);
}

// A filter set up on the scene's layer and advanced to progress time t of its duration.
void Ours(benchmark::State& state, Size2 size, bw::FilterEffect* filter, bw::ArgList words,
          uint32_t t) {
  Scene& s = SceneOf(size);
  bw::ScopedGlobal<bw::TrigTables> trig(&s.trig);
  bw::ScopedPixelLibrary library(&bw::BuiltInPixelLibrary());
  std::unique_ptr<bw::FilterEffect> owned(filter);
  if (filter->SetUp(&s.layer, words) != 0) return state.SkipWithError("set-up refused");
  filter->Advance(1000);
  filter->Advance(1000 + t);
  const bw::FilterDrawRequest request = s.Request();
  Loop(state, s, [&] {
    if (filter->Draw(request) != 0) state.SkipWithError("draw failed");
  });
}

void PeerZoom(benchmark::State& state, Size2 size) {
  Scene& s = SceneOf(size);
  pixman_image_t* src = s.Wrap(s.before);
  pixman_image_t* dst = s.Wrap(s.target);
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
  pixman_transform_translate(nullptr, &t, pixman_int_to_fixed(s.w / 4),
                             pixman_int_to_fixed(s.h / 4));
  pixman_image_set_transform(src, &t);
  pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
  Loop(state, s, [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, s.w, s.h);
  });
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

void PeerTurn(benchmark::State& state, Size2 size) {
  Scene& s = SceneOf(size);
  const double* table = s.trig.CosineDoubles();
  const int p = int(kTurnProgress);
  const double c = table[p & 511], sn = table[(p - 128) & 511], scale = p / 512.0;
  const double cx = s.w / 2.0, cy = s.h / 2.0;
  // Destination to source: turn back, shrink back, about the centres.
  pixman_f_transform_t f{};
  f.m[0][0] = c / scale, f.m[0][1] = sn / scale;
  f.m[1][0] = -sn / scale, f.m[1][1] = c / scale;
  f.m[0][2] = s.w / 2.0 - (f.m[0][0] * cx + f.m[0][1] * cy);
  f.m[1][2] = s.h / 2.0 - (f.m[1][0] * cx + f.m[1][1] * cy);
  f.m[2][2] = 1;
  pixman_transform_t t;
  pixman_transform_from_pixman_f_transform(&t, &f);
  const double reach = std::hypot(s.w, s.h) * scale / 2;
  const int left = std::max(0, int(cx - reach)), top = std::max(0, int(cy - reach));
  const int right = std::min(s.w, int(cx + reach) + 1), bottom = std::min(s.h, int(cy + reach) + 1);
  pixman_image_t* back = s.Wrap(s.before);
  pixman_image_t* turning = s.Wrap(s.after, PIXMAN_x8r8g8b8);
  pixman_image_t* dst = s.Wrap(s.target);
  pixman_image_set_transform(turning, &t);
  pixman_image_set_filter(turning, PIXMAN_FILTER_NEAREST, nullptr, 0);
  Loop(state, s, [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, back, nullptr, dst, 0, 0, 0, 0, 0, 0, s.w, s.h);
    pixman_image_composite32(PIXMAN_OP_OVER, turning, nullptr, dst, left, top, 0, 0, left, top,
                             right - left, bottom - top);
  });
  pixman_image_unref(back);
  pixman_image_unref(turning);
  pixman_image_unref(dst);
}

void PeerAdd(benchmark::State& state, Size2 size) {
  Scene& s = SceneOf(size);
  pixman_image_t* src = s.Wrap(s.before);
  pixman_image_t* dst = s.Wrap(s.target);
  const pixman_color_t grey{100 * 257, 100 * 257, 100 * 257, 0};
  pixman_image_t* solid = pixman_image_create_solid_fill(&grey);
  Loop(state, s, [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, s.w, s.h);
    pixman_image_composite32(PIXMAN_OP_ADD, solid, nullptr, dst, 0, 0, 0, 0, 0, 0, s.w, s.h);
  });
  pixman_image_unref(solid);
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

void PeerBlur(benchmark::State& state, Size2 size) {
  Scene& s = SceneOf(size);
  int count = 0;
  pixman_fixed_t* params = pixman_filter_create_separable_convolution(
      &count, pixman_int_to_fixed(2 * kBlurRadius + 1), pixman_int_to_fixed(1),
      PIXMAN_KERNEL_IMPULSE, PIXMAN_KERNEL_IMPULSE, PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_IMPULSE, 0, 0);
  pixman_image_t* src = s.Wrap(s.before);
  pixman_image_t* dst = s.Wrap(s.target);
  pixman_image_set_filter(src, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, count);
  pixman_image_set_repeat(src, PIXMAN_REPEAT_PAD);
  Loop(state, s, [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, s.w, s.h);
  });
  free(params);
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

template <typename Run>
void RegisterBoth(const std::string& name, Run ours, void (*peer)(benchmark::State&, Size2)) {
  for (Size2 size : kFrameSizes) {
    benchmark::RegisterBenchmark(("ours/" + name + "/" + size.Name()).c_str(),
                                 [ours, size](benchmark::State& st) { ours(st, size); })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("peer/" + name + "/" + size.Name()).c_str(),
                                 [peer, size](benchmark::State& st) { peer(st, size); })
        ->Unit(benchmark::kMicrosecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterBoth(
      "zoomflip",
      [](benchmark::State& st, Size2 size) {
        Ours(st, size, new bw::ZoomflipFilter, {1000, 4}, 250);
      },
      PeerZoom);
  RegisterBoth(
      "rotcenter",
      [](benchmark::State& st, Size2 size) {
        Ours(st, size, new bw::RotcenterFilter, {512, 0}, kTurnProgress);
      },
      PeerTurn);
  RegisterBoth(
      "addsub",
      [](benchmark::State& st, Size2 size) {
        Ours(st, size, new bw::AddsubFilter, {255, 0}, 100);
      },
      PeerAdd);
  RegisterBoth(
      "hblur",
      [](benchmark::State& st, Size2 size) {
        Ours(st, size, new bw::HblurFilter, {uint32_t(2 * kBlurRadius + 1), 0, kBlurRadius},
             kBlurRadius);
      },
      PeerBlur);
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* name : {"zoomflip", "rotcenter", "addsub", "hblur"}) {
    for (Size2 size : kFrameSizes) {
      const std::string n = std::string(name) + "/" + size.Name();
      reporter.PrintRatio(std::string(name) + " " + size.Name(), "ours/" + n, "peer/" + n);
    }
  }
  benchmark::Shutdown();
  return 0;
}
