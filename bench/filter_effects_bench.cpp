// The image filters at 640x360 and 1280x720 against pixman doing the same work on the same
// pictures (sprite-like alpha in the old one, random pixels in the new) in the same run:
//   zoomflip   mode 4 at progress 128: the old picture's centred half stretched over the frame;
//              pixman SRC of the picture through a scale-by-two transform, NEAREST, sampling
//              where ours samples;
//   rotcenter  progress 300: the old picture copied, the new one turned and shrunk into the
//              centre; pixman SRC of the old picture, then OVER of the new one (x8r8g8b8, so
//              opaque inside and clear outside) through the inverse affine transform, NEAREST,
//              over the turned picture's bounding box;
//   addsub     mode 0 at level 100: the old picture copied and a grey added with saturation;
//              pixman SRC of the old picture, then ADD of a solid grey;
//   hblur      mode 0 at level 8: a 17-pixel box blur of every row of the old picture; a
//              running-sum box blur of the rows written here (pixel_data.h), the same radius,
//              edge rule and rounding.
// Before timing, each side's frame is checked against the other's: zoomflip, addsub and hblur
// exactly (addsub's colour: pixman's ADD also saturates the alpha); rotcenter, whose sides round
// sample positions their own way, each against the exact turn: every pixel well inside the
// turned picture one of its pixels near the exact position (within 2 for ours, see
// pixel_ops_bench's rotate-zoom), every one well outside it the old picture's.
// Prints "ratio <name> <size>: <ours / peer throughput>".
#include <pixman.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "bench_check.h"
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

struct Scene : bw::bench::FilterFrame {
  // The filters build the table again when they need it.
  explicit Scene(Size2 size) : FilterFrame(size) { (void)trig.EnsureCosineDoubles(); }
  bw::TrigTables trig;
};

Scene& SceneOf(Size2 size) {
  return bw::bench::FrameOf<Scene>(size);
}

std::vector<uint32_t> PixelsOf(const bw::ImageSurface& p) {
  std::vector<uint32_t> out(size_t(p.GetWidth()) * size_t(p.GetHeight()));
  for (int y = 0; y < p.GetHeight(); ++y) {
    std::memcpy(out.data() + size_t(y) * size_t(p.GetWidth()), p.GetRowPointer(y),
                size_t(p.GetWidth()) * 4);
  }
  return out;
}

// One frame of body, checked (against the pair's other side, or by `check`), then the timing.
template <typename Body>
void Loop(benchmark::State& state, Scene& s, const std::string& name, const char* side, Body body,
          const std::function<std::string(const std::vector<uint32_t>&)>& check = nullptr,
          uint32_t channels = ~0u) {
  bw::bench::FilterFrame::Fill(s.target, bw::bench::RandomPixels(s.w, s.h, 3));
  body();
  const std::string pair = name + '/' + std::to_string(s.w);
  const std::vector<uint32_t> out = PixelsOf(s.target);
  const bool agrees =
      check ? bw::bench::SidesAgree(state, pair + '/' + side, [&] { return check(out); })
            : bw::bench::AgreesWithPair(state, pair, side, out, s.w, s.h, 0, channels);
  if (agrees) bw::bench::FrameLoop(state, s, body);
}

// The turned picture of rotcenter against the exact turn: the destination-to-source map.
constexpr uint32_t kTurnProgress = 300;
pixman_f_transform_t TurnBack(const Scene& s) {
  const double* table = s.trig.CosineDoubles();
  const int p = int(kTurnProgress);
  const double c = table[p & 511], sn = table[(p - 128) & 511], scale = p / 512.0;
  const double cx = s.w / 2.0, cy = s.h / 2.0;
  pixman_f_transform_t f{};
  f.m[0][0] = c / scale, f.m[0][1] = sn / scale;
  f.m[1][0] = -sn / scale, f.m[1][1] = c / scale;
  f.m[0][2] = s.w / 2.0 - (f.m[0][0] * cx + f.m[0][1] * cy);
  f.m[1][2] = s.h / 2.0 - (f.m[1][0] * cx + f.m[1][1] * cy);
  f.m[2][2] = 1;
  return f;
}
std::function<std::string(const std::vector<uint32_t>&)> TurnCheck(Scene& s, int reach) {
  return [&s, reach](const std::vector<uint32_t>& out) {
    const pixman_f_transform_t f = TurnBack(s);
    const std::vector<uint32_t> before = PixelsOf(s.before), picture = PixelsOf(s.after);
    return bw::bench::CheckMapped(
        {out.data(), before.data(), s.w, s.w, s.h, picture.data(), s.w, s.w, s.h, reach},
        [&](double x, double y, double* u, double* v) {
          double point[3] = {x, y, 1};
          pixman_f_transform_point(&f, reinterpret_cast<pixman_f_vector_t*>(point));
          *u = point[0], *v = point[1];
        },
        [](uint32_t, uint32_t sample) { return sample; }, 0, 0x00FFFFFFu);
  };
}

using Check = std::function<std::string(const std::vector<uint32_t>&)>;

// A filter set up on the scene's layer and advanced to progress time t of its duration.
void Ours(benchmark::State& state, Size2 size, const std::string& name, bw::FilterEffect* filter,
          bw::ArgList words, uint32_t t, const Check& check = nullptr, uint32_t channels = ~0u) {
  Scene& s = SceneOf(size);
  bw::ScopedGlobal<bw::TrigTables> trig(&s.trig);
  bw::ScopedPixelLibrary library(&bw::BuiltInPixelLibrary());
  std::unique_ptr<bw::FilterEffect> owned(filter);
  if (filter->SetUp(&s.layer, words) != 0) return state.SkipWithError("set-up refused");
  (void)filter->Advance(1000);
  (void)filter->Advance(1000 + t);
  const bw::FilterDrawRequest request = s.Request();
  Loop(
      state, s, name, "ours",
      [&] {
        if (filter->Draw(request) != 0) state.SkipWithError("draw failed");
      },
      check, channels);
}

void PeerZoom(benchmark::State& state, Size2 size) {
  Scene& s = SceneOf(size);
  // The centred half as a picture of its own, its edges repeated.
  pixman_image_t* src = pixman_image_create_bits(
      PIXMAN_a8r8g8b8, s.w / 2, s.h / 2,
      reinterpret_cast<uint32_t*>(s.before.GetRowPointer(s.h / 4) + s.w / 4 * 4),
      s.before.GetPitch());
  pixman_image_t* dst = s.Wrap(s.target);
  pixman_transform_t t;
  // Target x samples max(0, floor((x - 1) / 2)) of the half, as the engine's stretch stepper
  // steps (its error starts one past the width): half a pixel left of where x's centre maps.
  pixman_transform_init_scale(&t, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
  t.matrix[0][2] = t.matrix[1][2] = pixman_double_to_fixed(-0.5);
  pixman_image_set_transform(src, &t);
  pixman_image_set_repeat(src, PIXMAN_REPEAT_PAD);
  pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
  Loop(state, s, "zoomflip", "pixman", [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, s.w, s.h);
  });
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

void PeerTurn(benchmark::State& state, Size2 size) {
  Scene& s = SceneOf(size);
  const pixman_f_transform_t f = TurnBack(s);
  pixman_transform_t t;
  pixman_transform_from_pixman_f_transform(&t, &f);
  const double cx = s.w / 2.0, cy = s.h / 2.0;
  const double reach = std::hypot(s.w, s.h) * (kTurnProgress / 512.0) / 2;
  const int left = std::max(0, int(cx - reach)), top = std::max(0, int(cy - reach));
  const int right = std::min(s.w, int(cx + reach) + 1), bottom = std::min(s.h, int(cy + reach) + 1);
  pixman_image_t* back = s.Wrap(s.before);
  pixman_image_t* turning = s.Wrap(s.after, PIXMAN_x8r8g8b8);
  pixman_image_t* dst = s.Wrap(s.target);
  pixman_image_set_transform(turning, &t);
  pixman_image_set_filter(turning, PIXMAN_FILTER_NEAREST, nullptr, 0);
  Loop(
      state, s, "rotcenter", "pixman",
      [&] {
        pixman_image_composite32(PIXMAN_OP_SRC, back, nullptr, dst, 0, 0, 0, 0, 0, 0, s.w, s.h);
        pixman_image_composite32(PIXMAN_OP_OVER, turning, nullptr, dst, left, top, 0, 0, left, top,
                                 right - left, bottom - top);
      },
      TurnCheck(s, 1));
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
  Loop(
      state, s, "addsub", "pixman",
      [&] {
        pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, s.w, s.h);
        pixman_image_composite32(PIXMAN_OP_ADD, solid, nullptr, dst, 0, 0, 0, 0, 0, 0, s.w, s.h);
      },
      nullptr, 0x00FFFFFF);
  pixman_image_unref(solid);
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

void PeerBlur(benchmark::State& state, Size2 size) {
  Scene& s = SceneOf(size);
  const std::vector<uint32_t> source = PixelsOf(s.before);
  std::vector<uint32_t> out(source.size());
  Loop(state, s, "hblur", "running_sum", [&] {
    bw::bench::RunningSumBoxBlurRows(out.data(), source.data(), s.w, s.h, kBlurRadius);
    // Into the target row by row, as ours writes it.
    for (int y = 0; y < s.h; ++y) {
      std::memcpy(s.target.GetRowPointer(y), out.data() + size_t(y) * s.w, size_t(s.w) * 4);
    }
  });
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
        Ours(st, size, "zoomflip", new bw::ZoomflipFilter, {1000, 4}, 250);
      },
      PeerZoom);
  RegisterBoth(
      "rotcenter",
      [](benchmark::State& st, Size2 size) {
        Ours(st, size, "rotcenter", new bw::RotcenterFilter, {512, 0}, kTurnProgress,
             TurnCheck(SceneOf(size), 2));
      },
      PeerTurn);
  RegisterBoth(
      "addsub",
      [](benchmark::State& st, Size2 size) {
        Ours(st, size, "addsub", new bw::AddsubFilter, {255, 0}, 100, nullptr, 0x00FFFFFF);
      },
      PeerAdd);
  RegisterBoth(
      "hblur",
      [](benchmark::State& st, Size2 size) {
        Ours(st, size, "hblur", new bw::HblurFilter,
             {uint32_t(2 * kBlurRadius + 1), 0, kBlurRadius}, kBlurRadius);
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
