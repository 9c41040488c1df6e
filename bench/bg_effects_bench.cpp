// The redrawing layer effects at 640x360 and 1280x720 on sprite-like pictures, each frame beside
// a peer doing the same pixel work on the same pictures in the same run, each side stepped to a
// new time every frame:
//   bg_rast   each row copied shifted by the row's wave offset: the same rows copied with memcpy
//             from the same offsets (the wave worked out as the effect works it), the rows' ends
//             from the plain picture: the copy's bound, as both sides only move rows;
//   bg_haze   the same with the rows displaced up and down by the haze's table, the rows' ends
//             kept: memcpy of the same rows;
//   bg_loop   the scrolled frame as two pixman SRC composites, the picture from the offset and
//             its start after the wrap;
//   bg_cross  pixman SRC of this layer's picture, then OVER of the partner's (x8r8g8b8) through
//             a solid mask at the level;
//   bg_blur   a trail frame (half opacity, turned 45 degrees about the centre): pixman OVER of
//             the picture premultiplied (pixel_data.h) through the same affine transform,
//             NEAREST, through a solid mask of that opacity; "bg_blur-opaque" the same with the
//             picture taken as opaque on both sides (x8r8g8b8 for pixman).
// Before timing, each side draws the frame at one time from where it stands, checked: rast, haze
// and loop exactly against the other side; cross's colour within 2 (pixel_ops_bench's opacity);
// blur's each side against the exact turn, every pixel well inside the turned picture the trail
// blended toward one of its pixels near the exact position as the engine weighs it (within 3 for
// pixman, pixel_ops_bench's alpha_opacity; ours within 2 pixels of the position, rotate-zoom's
// reach), every pixel well outside it as it was.
// Prints "limit <effect> against memcpy <size>: <ours / memcpy throughput>" for rast and haze,
// "ratio <effect> <size>: <ours / peer throughput>" for the others.
#include <pixman.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench_check.h"
#include "bench_ratio.h"
#include "common/global.h"
#include "effects/bg_blur_effect.h"
#include "effects/bg_layer_effect.h"
#include "effects/bg_loop_effect.h"
#include "effects/bg_rast_effect.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/lerp.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/pixel_library.h"
#include "pixel_data.h"
#include "platform/timer_service.h"
#include "platform/trig_tables.h"

namespace {

struct FrameSize {
  int w, h;
  std::string Name() const { return std::to_string(w) + "x" + std::to_string(h); }
};
constexpr FrameSize kSizes[] = {{640, 360}, {1280, 720}};
constexpr int32_t kAmplitude = 24;
constexpr int32_t kRows = 90;
constexpr uint32_t kPeriod = 1000;
constexpr int kOpacity = 128;
constexpr int kTurn = 64;  // 512ths of a turn
constexpr uint32_t kCheckedTime = 107;
constexpr uint32_t kStep = 7;
constexpr uint32_t kColour = 0x00FFFFFFu;
const char kWave[] = "(1,0,24)(3,128,8)";
constexpr int32_t kHazeRows = 720;

std::vector<uint32_t> PixelsOf(const bw::ImageSurface& s) {
  std::vector<uint32_t> out(size_t(s.GetWidth()) * size_t(s.GetHeight()));
  for (int y = 0; y < s.GetHeight(); ++y) {
    std::memcpy(out.data() + size_t(y) * size_t(s.GetWidth()), s.GetRowPointer(y),
                size_t(s.GetWidth()) * 4);
  }
  return out;
}

void Fill(bw::ImageSurface& s, int w, int h, const std::vector<uint32_t>& pixels, bool alpha) {
  (void)s.Create(w, h, 32, 0);
  s.SetHasAlpha(alpha);
  for (int y = 0; y < h; ++y)
    std::memcpy(s.GetRowPointer(y), pixels.data() + size_t(y) * size_t(w), size_t(w) * 4);
}

// A composed layer showing a sprite-like picture, linked to a partner showing another.
struct Scene {
  explicit Scene(FrameSize size, bool opaque = false)
      : w(size.w),
        h(size.h),
        pixels(bw::bench::SpritePixels(w, h, 1)),
        otherPixels(bw::bench::SpritePixels(w, h, 2)) {
    bw::BuildBlendTables();
    for (bw::OffscreenLayer* l : {&layer, &partner}) (void)l->Create(w, h, 32, true);
    (void)layer.SetLinkedLayer(&partner);
    Fill(picture, w, h, pixels, !opaque);
    Fill(other, w, h, otherPixels, true);
    (void)Composition().SetBackgroundImage(&picture, 0, 0, true);
    (void)partner.GetCompositionLayer()->SetBackgroundImage(&other, 0, 0, true);
  }
  bw::CompositionLayer& Composition() { return *layer.GetCompositionLayer(); }
  int w, h;
  std::vector<uint32_t> pixels, otherPixels;
  bw::ImageSurface picture, other;
  bw::OffscreenLayer layer, partner;
};

pixman_image_t* Wrap(std::vector<uint32_t>& pixels, int w, int h,
                     pixman_format_code_t format = PIXMAN_a8r8g8b8) {
  return pixman_image_create_bits(format, w, h, pixels.data(), w * 4);
}

// How a side's checked frame is judged: against the other side, or by a check of its own.
using OwnCheck = std::function<std::string(const std::vector<uint32_t>& before,
                                           const std::vector<uint32_t>& after)>;
struct Judge {
  int tolerance = 0;
  uint32_t channels = ~0u;
  OwnCheck own;
};

bool Judged(benchmark::State& state, const std::string& pair, const char* side, const Judge& j,
            const std::vector<uint32_t>& before, const std::vector<uint32_t>& after,
            FrameSize size) {
  if (j.own) {
    return bw::bench::SidesAgree(state, pair + '/' + side, [&] { return j.own(before, after); });
  }
  return bw::bench::AgreesWithPair(state, pair, side, after, size.w, size.h, j.tolerance,
                                   j.channels);
}

// A set-up effect stepped to the checked time, then to a new time each frame.
void Ours(benchmark::State& state, FrameSize size, const std::string& name, const char* keyword,
          const std::vector<bw::ArgWord>& words, const Judge& judge, bool opaque = false) {
  bw::TrigTables trig;
  bw::ScopedGlobal<bw::TrigTables> published(&trig);
  bw::ScopedPixelLibrary library(&bw::BuiltInPixelLibrary());
  (void)trig.EnsureCosineDoubles();  // the effects build it again when they need it
  Scene scene(size, opaque);
  bw::TimerService timers;
  std::unique_ptr<bw::DisplayEffect> made;
  if (std::strcmp(keyword, "bg_rast") == 0) made = bw::BgRastEffect::Create(0);
  if (std::strcmp(keyword, "bg_haze") == 0) made = bw::BgHazeEffect::Create(0);
  if (std::strcmp(keyword, "bg_loop") == 0) made = bw::BgLoopEffect::Create(0);
  if (std::strcmp(keyword, "bg_cross") == 0) made = bw::BgCrossEffect::Create(0);
  if (std::strcmp(keyword, "bg_blur") == 0) made = bw::BgBlurEffect::Create(0);
  bw::DisplayEffect* effect = made.get();
  if (effect->Setup(&timers, static_cast<bw::SurfaceLayer*>(&scene.layer),
                    bw::ArgWords(words.data(), words.size())) != 0) {
    state.SkipWithError("the effect refused its set-up");
    return;
  }
  (void)effect->Update(0);
  const bw::ImageSurface* work = scene.Composition().GetWorkSurface();
  if (!work) {
    timers.Clear();
    return state.SkipWithError("the effect made no work surface");
  }
  const std::vector<uint32_t> before = PixelsOf(*work);
  (void)effect->Update(kCheckedTime);
  if (Judged(state, name + size.Name(), "ours", judge, before, PixelsOf(*work), size)) {
    uint32_t now = kCheckedTime;
    for (auto _ : state) {
      now += kStep;
      (void)effect->Update(now);
      benchmark::ClobberMemory();
    }
    bw::bench::CountPixels(state, int64_t{size.w} * size.h);
  }
  timers.Clear();
}

// The peer's frame at elapsed time `now` into `work`, from the scene's pictures.
using PeerFrame = std::function<void(uint32_t now)>;

// A peer side: `start` puts the work where ours stands before the checked frame; then the
// checked frame and a new time each frame.
void Peer(benchmark::State& state, FrameSize size, const std::string& name, const Judge& judge,
          std::vector<uint32_t>& work, const PeerFrame& frame) {
  const std::vector<uint32_t> before = work;
  frame(kCheckedTime);
  if (!Judged(state, name + size.Name(), "peer", judge, before, work, size)) return;
  uint32_t now = kCheckedTime;
  for (auto _ : state) {
    now += kStep;
    frame(now);
    benchmark::ClobberMemory();
  }
  bw::bench::CountPixels(state, int64_t{size.w} * size.h);
}

// A row of `width` from picture row `src` (null past the picture) starting at `from`; the ends
// the picture does not reach come from `ends` (null: kept as they are). memcpy throughout.
void CopyShiftedRow(uint32_t* dst, int width, const uint32_t* src, int64_t from,
                    const uint32_t* ends) {
  const int64_t lo = std::clamp<int64_t>(-from, 0, width);
  const int64_t hi = std::clamp<int64_t>(width - from, lo, width);
  if (src && hi > lo) std::memcpy(dst + lo, src + from + lo, size_t(hi - lo) * 4);
  const int64_t spans[2][2] = {{0, src ? lo : width}, {src ? hi : width, width}};
  for (const auto& span : spans) {
    if (ends && span[1] > span[0])
      std::memcpy(dst + span[0], ends + span[0], size_t(span[1] - span[0]) * 4);
  }
}

void PeerRast(benchmark::State& state, FrameSize size) {
  Scene scene(size);
  bw::TrigTables trig;
  std::vector<uint32_t> work = scene.pixels;
  Peer(state, size, "bg_rast", {}, work, [&](uint32_t now) {
    // The wave at the effect's phase, as it works it out.
    const int32_t phase = int32_t(uint64_t{now % kPeriod} * 512 / kPeriod);
    for (int y = 0; y < size.h; ++y) {
      const int64_t shift =
          int64_t{kAmplitude} * bw::Sine16(trig, phase + int64_t{y} * 512 / kRows - 128) >> 16;
      const uint32_t* row = scene.pixels.data() + size_t(y) * size.w;
      CopyShiftedRow(work.data() + size_t(y) * size.w, size.w, row, -shift, row);
    }
  });
}

void PeerHaze(benchmark::State& state, FrameSize size) {
  Scene scene(size);
  bw::TrigTables trig;
  std::vector<bw::WaveTriple> waves;
  bw::ParseWaveText(kWave, waves);
  const std::vector<int32_t> table = bw::BgHazeEffect::BuildTable(trig, waves, kHazeRows);
  std::vector<uint32_t> work = scene.pixels;
  auto frame = [&](uint32_t now) {
    const int64_t offset = int64_t{now % kPeriod} * kHazeRows / kPeriod;
    for (int y = 0; y < size.h; ++y) {
      const int64_t d = table[size_t((offset + y) % kHazeRows)];
      const int64_t row = y + d;
      const uint32_t* src =
          row >= 0 && row < size.h ? scene.pixels.data() + size_t(row) * size.w : nullptr;
      CopyShiftedRow(work.data() + size_t(y) * size.w, size.w, src, -d, nullptr);
    }
  };
  frame(0);  // ours stands at its frame of time 0
  Peer(state, size, "bg_haze", {}, work, frame);
}

void PeerLoop(benchmark::State& state, FrameSize size) {
  Scene scene(size);
  std::vector<uint32_t> work = scene.pixels;
  pixman_image_t* src = Wrap(scene.pixels, size.w, size.h);
  pixman_image_t* dst = Wrap(work, size.w, size.h);
  Peer(state, size, "bg_loop", {}, work, [&](uint32_t now) {
    const int32_t offset = int32_t(int64_t{size.w} * (now % kPeriod) / kPeriod);
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, offset, 0, 0, 0, 0, 0,
                             size.w - offset, size.h);
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, size.w - offset, 0,
                             offset, size.h);
  });
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

constexpr uint32_t kCrossPeriod = 510 * kStep;  // a level step every frame

void PeerCross(benchmark::State& state, FrameSize size) {
  Scene scene(size);
  std::vector<uint32_t> work = scene.pixels;
  pixman_image_t* mine = Wrap(scene.pixels, size.w, size.h);
  pixman_image_t* theirs = Wrap(scene.otherPixels, size.w, size.h, PIXMAN_x8r8g8b8);
  pixman_image_t* dst = Wrap(work, size.w, size.h);
  Peer(state, size, "bg_cross", {2, kColour, {}}, work, [&](uint32_t now) {
    const int level = bw::BgCrossEffect::Level(now, kCrossPeriod);
    pixman_color_t color{0, 0, 0, uint16_t(level * 257)};
    pixman_image_t* mask = pixman_image_create_solid_fill(&color);
    pixman_image_composite32(PIXMAN_OP_SRC, mine, nullptr, dst, 0, 0, 0, 0, 0, 0, size.w, size.h);
    pixman_image_composite32(PIXMAN_OP_OVER, theirs, mask, dst, 0, 0, 0, 0, 0, 0, size.w, size.h);
    pixman_image_unref(mask);
  });
  for (pixman_image_t* image : {mine, theirs, dst}) pixman_image_unref(image);
}

// The trail frame's exact turn: target to picture, about the centre.
void TurnBack(FrameSize size, double x, double y, double* u, double* v) {
  const double angle = kTurn * M_PI / 256, cx = size.w / 2.0, cy = size.h / 2.0;
  const double c = std::cos(angle), s = std::sin(angle);
  *u = cx + (x - cx) * c + (y - cy) * s;
  *v = cy - (x - cx) * s + (y - cy) * c;
}

// A trail frame as the engine weighs it: the trail lerped toward the picture's pixel by its alpha
// (taken as 255 when opaque) times the opacity.
Judge BlurJudge(const Scene& scene, FrameSize size, bool opaque, int reach, int tolerance) {
  return {0, ~0u,
          [&scene, size, opaque, reach, tolerance](const std::vector<uint32_t>& before,
                                                   const std::vector<uint32_t>& after) {
            return bw::bench::CheckMapped(
                {after.data(), before.data(), size.w, size.w, size.h, scene.pixels.data(), size.w,
                 size.w, size.h, reach},
                [size](double x, double y, double* u, double* v) { TurnBack(size, x, y, u, v); },
                [opaque](uint32_t trail, uint32_t sample) {
                  const uint32_t a = opaque ? 255 : sample >> 24;
                  return bw::pixel_detail::LerpPlain(
                      trail, sample, bw::WeightTable[bw::ProductTable[kOpacity][a]][0]);
                },
                tolerance, kColour);
          }};
}

void PeerBlur(benchmark::State& state, FrameSize size, bool opaque) {
  // Both judges read the scene: one per side and size, kept for the whole run.
  static std::map<std::string, std::unique_ptr<Scene>> scenes;
  auto& kept = scenes[size.Name() + (opaque ? "o" : "")];
  if (!kept) kept = std::make_unique<Scene>(size, opaque);
  Scene& scene = *kept;
  std::vector<uint32_t> premultiplied = bw::bench::Premultiplied(scene.pixels);
  std::vector<uint32_t> work = scene.pixels;
  pixman_image_t* src = opaque ? Wrap(scene.pixels, size.w, size.h, PIXMAN_x8r8g8b8)
                               : Wrap(premultiplied, size.w, size.h);
  pixman_image_t* dst = Wrap(work, size.w, size.h, PIXMAN_x8r8g8b8);
  pixman_f_transform_t f{};
  TurnBack(size, 0, 0, &f.m[0][2], &f.m[1][2]);
  const double angle = kTurn * M_PI / 256;
  f.m[0][0] = f.m[1][1] = std::cos(angle);
  f.m[0][1] = std::sin(angle), f.m[1][0] = -std::sin(angle);
  f.m[2][2] = 1;
  pixman_transform_t t;
  pixman_transform_from_pixman_f_transform(&t, &f);
  pixman_image_set_transform(src, &t);
  pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
  pixman_color_t opacity{0, 0, 0, uint16_t(kOpacity * 257)};
  pixman_image_t* mask = pixman_image_create_solid_fill(&opacity);
  Peer(state, size, opaque ? "bg_blur-opaque" : "bg_blur", BlurJudge(scene, size, opaque, 1, 3),
       work, [&](uint32_t) {
         pixman_image_composite32(PIXMAN_OP_OVER, src, mask, dst, 0, 0, 0, 0, 0, 0, size.w, size.h);
       });
  for (pixman_image_t* image : {src, dst, mask}) pixman_image_unref(image);
}

void OursBlur(benchmark::State& state, FrameSize size, bool opaque) {
  static std::map<std::string, std::unique_ptr<Scene>> scenes;
  auto& kept = scenes[size.Name() + (opaque ? "o" : "")];
  if (!kept) kept = std::make_unique<Scene>(size, opaque);
  static const char one[] = "1", two[] = "2", turn[] = "64", turned[] = "128";
  Ours(state, size, opaque ? "bg_blur-opaque" : "bg_blur", "bg_blur",
       {0, size.w / 2, size.h / 2, bw::Word(one), bw::Word(turn), bw::Word(two), bw::Word(turned),
        1 << 30, kOpacity},
       BlurJudge(*kept, size, opaque, 2, 0), opaque);
}

void Register(const std::string& name,
              const std::function<void(benchmark::State&, FrameSize)>& run) {
  for (FrameSize size : kSizes) {
    benchmark::RegisterBenchmark((name + '/' + size.Name()).c_str(), [run,
                                                                      size](benchmark::State& s) {
      run(s, size);
    })->Unit(benchmark::kMicrosecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Register("ours/bg_rast", [](benchmark::State& s, FrameSize size) {
    Ours(s, size, "bg_rast", "bg_rast", {kAmplitude, kRows, kPeriod, 0, 0, 0, 0, 0}, {});
  });
  Register("memcpy/bg_rast", PeerRast);
  Register("ours/bg_haze", [](benchmark::State& s, FrameSize size) {
    Ours(s, size, "bg_haze", "bg_haze", {bw::Word(kWave), kHazeRows, kPeriod, 0, 0, 0, 0, 0}, {});
  });
  Register("memcpy/bg_haze", PeerHaze);
  Register("ours/bg_loop", [](benchmark::State& s, FrameSize size) {
    Ours(s, size, "bg_loop", "bg_loop", {0, kPeriod, 0, 0}, {});
  });
  Register("pixman/bg_loop", PeerLoop);
  Register("ours/bg_cross", [](benchmark::State& s, FrameSize size) {
    Ours(s, size, "bg_cross", "bg_cross", {kCrossPeriod, 0, 0, 0, 0}, {2, kColour, {}});
  });
  Register("pixman/bg_cross", PeerCross);
  for (bool opaque : {false, true}) {
    const std::string name = opaque ? "bg_blur-opaque" : "bg_blur";
    Register("ours/" + name,
             [opaque](benchmark::State& s, FrameSize size) { OursBlur(s, size, opaque); });
    Register("pixman/" + name,
             [opaque](benchmark::State& s, FrameSize size) { PeerBlur(s, size, opaque); });
  }
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const std::pair<const char*, const char*> lines[] = {
      {"bg_rast", "memcpy"},  {"bg_haze", "memcpy"}, {"bg_loop", "pixman"},
      {"bg_cross", "pixman"}, {"bg_blur", "pixman"}, {"bg_blur-opaque", "pixman"}};
  for (const auto& [name, peer] : lines) {
    for (FrameSize size : kSizes) {
      const std::string run = std::string(name) + '/' + size.Name();
      const std::string ours = "ours/" + run;
      const std::string other = std::string(peer) + '/' + run;
      // memcpy is the floor of moving rows, not a peer that could do the effect.
      if (std::strcmp(peer, "memcpy") == 0) {
        reporter.PrintLimit(std::string(name) + " against memcpy " + size.Name(), ours, other);
      } else {
        reporter.PrintRatio(std::string(name) + ' ' + size.Name(), ours, other);
      }
    }
  }
  benchmark::Shutdown();
  return 0;
}
