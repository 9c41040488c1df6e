// The redrawing layer effects at 640x360 and 1280x720 on sprite-like pictures, each frame against
// pixman doing the same pixel work on the same pictures in the same run:
//   bg_rast   per row, pixman SRC of the picture row shifted by the row's wave offset (the same
//             offsets) into the work surface;
//   bg_haze   per row, pixman SRC of the displaced picture row (the same displacements);
//   bg_loop   the scrolled frame as two pixman SRC composites, the picture from the offset and
//             its start after the wrap;
//   bg_cross  pixman SRC of this layer's picture, then OVER of the partner's (x8r8g8b8) through
//             a solid mask at the level;
//   bg_blur   a trail frame (half opacity, turned and zoomed): pixman OVER of the picture
//             through the same affine transform, NEAREST, through a solid mask of that opacity;
//             "bg_blur-opaque" the same with the picture taken as opaque on both sides
//             (x8r8g8b8 for pixman).
// Prints "ratio <effect> <size>: <ours / peer throughput>".
#include <pixman.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_ratio.h"
#include "common/global.h"
#include "effects/bg_blur_effect.h"
#include "effects/bg_loop_effect.h"
#include "effects/bg_rast_effect.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/blend_tables.h"
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

void Fill(bw::ImageSurface& s, int w, int h, uint32_t seed, bool alpha = true) {
  s.Create(w, h, 32, 0);
  s.SetHasAlpha(alpha);
  const std::vector<uint32_t> pixels = bw::bench::SpritePixels(w, h, seed);
  for (int y = 0; y < h; ++y)
    std::memcpy(s.GetRowPointer(y), pixels.data() + size_t(y) * size_t(w), size_t(w) * 4);
}

// A composed layer showing a sprite-like picture, linked to a partner showing another.
struct Scene {
  explicit Scene(FrameSize size, bool opaque = false) : w(size.w), h(size.h) {
    bw::BuildBlendTables();
    for (bw::OffscreenLayer* l : {&layer, &partner}) l->Create(w, h, 32, true);
    layer.SetLinkedLayer(&partner);
    Fill(picture, w, h, 1, !opaque);
    Fill(other, w, h, 2);
    Composition().SetBackgroundImage(&picture, 0, 0, true);
    partner.GetCompositionLayer()->SetBackgroundImage(&other, 0, 0, true);
  }
  bw::CompositionLayer& Composition() { return *layer.GetCompositionLayer(); }
  int w, h;
  bw::ImageSurface picture, other;
  bw::OffscreenLayer layer, partner;
};

pixman_image_t* Wrap(const bw::ImageSurface& s, pixman_format_code_t format = PIXMAN_a8r8g8b8) {
  return pixman_image_create_bits(format, s.GetWidth(), s.GetHeight(),
                                  reinterpret_cast<uint32_t*>(s.GetPixels()), s.GetPitch());
}

// Steps a set-up effect at a new time each iteration, so every frame is redrawn.
void Ours(benchmark::State& state, FrameSize size, const char* keyword,
          const std::vector<bw::ArgWord>& words, uint32_t step, bool opaque = false) {
  bw::TrigTables trig;
  bw::ScopedGlobal<bw::TrigTables> published(&trig);
  bw::ScopedPixelLibrary library(&bw::BuiltInPixelLibrary());
  Scene scene(size, opaque);
  bw::TimerService timers;
  std::unique_ptr<bw::DisplayEffect> made;
  if (std::strcmp(keyword, "bg_rast") == 0) made.reset(bw::BgRastEffect::Create(0));
  if (std::strcmp(keyword, "bg_haze") == 0) made.reset(bw::BgHazeEffect::Create(0));
  if (std::strcmp(keyword, "bg_loop") == 0) made.reset(bw::BgLoopEffect::Create(0));
  if (std::strcmp(keyword, "bg_cross") == 0) made.reset(bw::BgCrossEffect::Create(0));
  if (std::strcmp(keyword, "bg_blur") == 0) made.reset(bw::BgBlurEffect::Create(0));
  bw::DisplayEffect* effect = made.release();
  if (effect->Setup(&timers, static_cast<bw::SurfaceLayer*>(&scene.layer),
                    bw::ArgWords(words.data(), words.size())) != 0) {
    delete effect;
    state.SkipWithError("the effect refused its set-up");
    return;
  }
  uint32_t now = 100;
  effect->Update(0);
  for (auto _ : state) {
    now += step;
    effect->Update(now);
    benchmark::ClobberMemory();
  }
  bw::bench::CountPixels(state, int64_t{size.w} * size.h);
  timers.Clear();
}

template <typename Body>
void Peer(benchmark::State& state, FrameSize size, Body body, bool opaque = false) {
  Scene scene(size, opaque);
  bw::ImageSurface work;
  work.Create(size.w, size.h, 32, 0);
  pixman_image_t* src = Wrap(scene.picture, opaque ? PIXMAN_x8r8g8b8 : PIXMAN_a8r8g8b8);
  pixman_image_t* other = Wrap(scene.other, PIXMAN_x8r8g8b8);
  pixman_image_t* dst = Wrap(work);
  uint32_t now = 1;
  for (auto _ : state) {
    now += 7;
    body(src, other, dst, size, now);
    benchmark::ClobberMemory();
  }
  bw::bench::CountPixels(state, int64_t{size.w} * size.h);
  pixman_image_unref(src);
  pixman_image_unref(other);
  pixman_image_unref(dst);
}

// The row offsets of a wave at phase, as the ripple computes them.
int32_t RowShift(int32_t y, uint32_t now) {
  const double phase = double(now % kPeriod) / kPeriod * 2 * M_PI;
  return int32_t(kAmplitude * std::sin(phase + y * 2 * M_PI / kRows - M_PI / 2));
}

void PeerRows(pixman_image_t* src, pixman_image_t* dst, FrameSize size, uint32_t now,
              bool displace) {
  for (int y = 0; y < size.h; ++y) {
    const int32_t d = RowShift(y, now);
    const int32_t row = displace ? std::clamp(y + d, 0, size.h - 1) : y;
    const int32_t x = std::max(0, d);
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, x - d, row, 0, 0, x, y,
                             size.w - std::abs(d), 1);
  }
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
  static const char wave[] = "(1,0,24)(3,128,8)";
  static const char one[] = "1", two[] = "2", turn[] = "64", turned[] = "128";
  Register("ours/bg_rast", [](benchmark::State& s, FrameSize size) {
    Ours(s, size, "bg_rast", {kAmplitude, kRows, kPeriod, 0, 0, 0, 0, 0}, 7);
  });
  Register("peer/bg_rast", [](benchmark::State& s, FrameSize size) {
    Peer(s, size,
         [](pixman_image_t* src, pixman_image_t*, pixman_image_t* dst, FrameSize sz, uint32_t now) {
           PeerRows(src, dst, sz, now, false);
         });
  });
  Register("ours/bg_haze", [](benchmark::State& s, FrameSize size) {
    Ours(s, size, "bg_haze", {bw::Word(wave), 720, kPeriod, 0, 0, 0, 1, 0}, 7);
  });
  Register("peer/bg_haze", [](benchmark::State& s, FrameSize size) {
    Peer(s, size,
         [](pixman_image_t* src, pixman_image_t*, pixman_image_t* dst, FrameSize sz, uint32_t now) {
           PeerRows(src, dst, sz, now, true);
         });
  });
  Register("ours/bg_loop", [](benchmark::State& s, FrameSize size) {
    Ours(s, size, "bg_loop", {0, kPeriod, 0, 0}, 7);
  });
  Register("peer/bg_loop", [](benchmark::State& s, FrameSize size) {
    Peer(s, size,
         [](pixman_image_t* src, pixman_image_t*, pixman_image_t* dst, FrameSize sz, uint32_t now) {
           const int32_t offset = int32_t(int64_t{sz.w} * (now % kPeriod) / kPeriod);
           pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, offset, 0, 0, 0, 0, 0,
                                    sz.w - offset, sz.h);
           pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, sz.w - offset, 0,
                                    offset, sz.h);
         });
  });
  Register("ours/bg_cross", [](benchmark::State& s, FrameSize size) {
    // A level step every frame.
    Ours(s, size, "bg_cross", {510 * 7, 0, 0, 0, 0}, 7);
  });
  Register("peer/bg_cross", [](benchmark::State& s, FrameSize size) {
    Peer(s, size,
         [](pixman_image_t* src, pixman_image_t* other, pixman_image_t* dst, FrameSize sz,
            uint32_t now) {
           pixman_color_t level{0, 0, 0, uint16_t((now % 255) * 257)};
           pixman_image_t* mask = pixman_image_create_solid_fill(&level);
           pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, sz.w, sz.h);
           pixman_image_composite32(PIXMAN_OP_OVER, other, mask, dst, 0, 0, 0, 0, 0, 0, sz.w, sz.h);
           pixman_image_unref(mask);
         });
  });
  for (bool opaque : {false, true}) {
    const std::string name = opaque ? "bg_blur-opaque" : "bg_blur";
    Register("ours/" + name, [opaque](benchmark::State& s, FrameSize size) {
      Ours(s, size, "bg_blur",
           {0, size.w / 2, size.h / 2, bw::Word(one), bw::Word(turn), bw::Word(two),
            bw::Word(turned), 1 << 30, kOpacity},
           1, opaque);
    });
    Register("peer/" + name, [opaque](benchmark::State& s, FrameSize size) {
      Peer(
          s, size,
          [](pixman_image_t* src, pixman_image_t*, pixman_image_t* dst, FrameSize sz,
             uint32_t now) {
            // A turn and zoom about the centre, as the trail frame draws it.
            const double angle = M_PI / 4 + now * 1e-6, zoom = 1.0 + now * 1e-9;
            const double c = std::cos(angle) / zoom, si = std::sin(angle) / zoom;
            const double cx = sz.w / 2.0, cy = sz.h / 2.0;
            pixman_transform_t t;
            pixman_transform_init_identity(&t);
            t.matrix[0][0] = pixman_double_to_fixed(c);
            t.matrix[0][1] = pixman_double_to_fixed(si);
            t.matrix[0][2] = pixman_double_to_fixed(cx - c * cx - si * cy);
            t.matrix[1][0] = pixman_double_to_fixed(-si);
            t.matrix[1][1] = pixman_double_to_fixed(c);
            t.matrix[1][2] = pixman_double_to_fixed(cy + si * cx - c * cy);
            pixman_image_set_transform(src, &t);
            pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
            pixman_color_t opacity{0, 0, 0, uint16_t(kOpacity * 257)};
            pixman_image_t* mask = pixman_image_create_solid_fill(&opacity);
            pixman_image_composite32(PIXMAN_OP_OVER, src, mask, dst, 0, 0, 0, 0, 0, 0, sz.w, sz.h);
            pixman_image_unref(mask);
            pixman_image_set_transform(src, nullptr);
          },
          opaque);
    });
  }
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* name :
       {"bg_rast", "bg_haze", "bg_loop", "bg_cross", "bg_blur", "bg_blur-opaque"}) {
    for (FrameSize size : kSizes) {
      reporter.PrintRatio(std::string(name) + ' ' + size.Name(),
                          std::string("ours/") + name + '/' + size.Name(),
                          std::string("peer/") + name + '/' + size.Name());
    }
  }
  benchmark::Shutdown();
  return 0;
}
