// The per-operation blends, the bilinear stretch, rotate-zoom, box blur and a whole composed
// frame, each measured beside pixman doing the same work in the same run; prints
// "ratio <name>: <ours / peer throughput>" per pair and the frame's absolute time.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_ratio.h"
#include "common/global.h"
#include "graphics/pixel/blend_kernels.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/filter_kernels.h"
#include "graphics/pixel/source_blend_kernels.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "platform/mmx_flag.h"
#include "platform/trig_tables.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr size_t kPixels = size_t(kWidth) * kHeight;

std::unique_ptr<bw::ImageSurface> RandomSurface(int w, int h, uint32_t seed) {
  auto s = std::make_unique<bw::ImageSurface>();
  s->Create(w, h, 32, 0);
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(s->GetRowPointer(y));
    for (int x = 0; x < w; ++x) row[x] = rng();
  }
  return s;
}

struct Scene {
  std::unique_ptr<bw::ImageSurface> src = RandomSurface(kWidth, kHeight, 1);
  std::unique_ptr<bw::ImageSurface> dst = RandomSurface(kWidth, kHeight, 2);
  std::unique_ptr<bw::ImageSurface> half = RandomSurface(kWidth / 2, kHeight / 2, 3);
  std::unique_ptr<bw::ImageSurface> background = RandomSurface(kWidth, kHeight, 4);
  std::unique_ptr<bw::ImageSurface> sprite[4] = {
      RandomSurface(256, 256, 5), RandomSurface(256, 256, 6), RandomSurface(256, 256, 7),
      RandomSurface(256, 256, 8)};
  std::unique_ptr<bw::ImageSurface> window = RandomSurface(800, 200, 9);
  std::vector<uint8_t> rule = std::vector<uint8_t>(kPixels);
  Scene() {
    std::mt19937 rng(10);
    for (auto& r : rule) r = uint8_t(rng());
  }
};

Scene& TheScene() {
  static Scene scene;
  return scene;
}

uint32_t* Px(bw::ImageSurface& s) {
  return reinterpret_cast<uint32_t*>(s.GetPixels());
}

pixman_image_t* Wrap(bw::ImageSurface& s) {
  return pixman_image_create_bits(PIXMAN_a8r8g8b8, s.GetWidth(), s.GetHeight(), Px(s),
                                  s.GetPitch());
}

void Finish(benchmark::State& state, size_t pixels = kPixels) {
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(pixels));
}

template <typename Body>
void Loop(benchmark::State& state, Body body, size_t pixels = kPixels) {
  for (auto _ : state) {
    body();
    benchmark::ClobberMemory();
  }
  Finish(state, pixels);
}

// pixman's composite of src (with an optional constant mask) over the whole target.
void PixmanComposite(benchmark::State& state, pixman_op_t op, int maskAlpha) {
  Scene& s = TheScene();
  pixman_image_t* src = Wrap(*s.src);
  pixman_image_t* dst = Wrap(*s.dst);
  pixman_color_t color{0, 0, 0, uint16_t(maskAlpha * 257)};
  pixman_image_t* mask = maskAlpha >= 0 ? pixman_image_create_solid_fill(&color) : nullptr;
  Loop(state,
       [&] { pixman_image_composite32(op, src, mask, dst, 0, 0, 0, 0, 0, 0, kWidth, kHeight); });
  if (mask) pixman_image_unref(mask);
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

void OursOpacity(benchmark::State& state) {
  Scene& s = TheScene();
  Loop(state, [&] { bw::OpacityRowsMmx(Px(*s.dst), Px(*s.src), 0, 0, kWidth, kHeight, 160); });
}
void PeerOpacity(benchmark::State& state) {
  PixmanComposite(state, PIXMAN_OP_OVER, 160);
}

void OursAdd(benchmark::State& state) {
  Scene& s = TheScene();
  Loop(state, [&] { bw::AddRowsMmx(Px(*s.dst), Px(*s.src), 0, 0, kWidth, kHeight); });
}
void PeerAdd(benchmark::State& state) {
  PixmanComposite(state, PIXMAN_OP_ADD, -1);
}

void OursSubtract(benchmark::State& state) {
  Scene& s = TheScene();
  Loop(state, [&] { bw::SubtractRowsMmx(Px(*s.dst), Px(*s.src), 0, 0, kWidth, kHeight); });
}

void OursAlphaOpacity(benchmark::State& state) {
  Scene& s = TheScene();
  Loop(state, [&] {
    bw::AlphaOpacityRowsMmx(Px(*s.dst), Px(*s.src), 0, 0, kWidth, kHeight, bw::ProductTable[200]);
  });
}
void PeerAlphaOpacity(benchmark::State& state) {
  PixmanComposite(state, PIXMAN_OP_OVER, 200);
}

void OursRule(benchmark::State& state) {
  Scene& s = TheScene();
  uint8_t table[256];
  for (int i = 0; i < 256; ++i) table[i] = uint8_t(255 - i);
  Loop(state, [&] {
    bw::RuleRowsMmx(Px(*s.dst), Px(*s.src), s.rule.data(), 0, 0, 0, kWidth, kHeight, table);
  });
}

void OursBilinear(benchmark::State& state) {
  Scene& s = TheScene();
  const bw::SmoothStepper st{0, 0, (uint64_t(kWidth / 2) << 32) / kWidth,
                             (uint64_t(kHeight / 2) << 32) / kHeight};
  Loop(state, [&] {
    bw::SmoothStretchRows32Mmx(Px(*s.dst), Px(*s.half), 0, s.half->GetPitch(), kWidth, kHeight, st,
                               kWidth / 2, kHeight / 2);
  });
}
void PeerBilinear(benchmark::State& state) {
  Scene& s = TheScene();
  pixman_image_t* src = Wrap(*s.half);
  pixman_image_t* dst = Wrap(*s.dst);
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
  pixman_image_set_transform(src, &t);
  pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  pixman_image_set_repeat(src, PIXMAN_REPEAT_PAD);
  Loop(state, [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
  });
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

// A 640 x 360 picture turned by 30 degrees and zoomed 1.5 times about its centre.
constexpr int kTurn = 43;  // 512ths of a turn
void OursRotateZoom(benchmark::State& state) {
  Scene& s = TheScene();
  bw::ScopedPixelLibrary off(nullptr);
  Loop(state,
       [&] { s.dst->RotateZoomBlit(s.half.get(), 4, 160, 90, kTurn, 0x18000, nullptr, nullptr); });
}
void PeerRotateZoom(benchmark::State& state) {
  Scene& s = TheScene();
  pixman_image_t* src = Wrap(*s.half);
  pixman_image_t* dst = Wrap(*s.dst);
  pixman_transform_t t;
  const double angle = kTurn * 3.14159265358979 / 256;
  pixman_f_transform_t f;
  pixman_f_transform_init_identity(&f);
  pixman_f_transform_translate(&f, nullptr, -640.0, -360.0);
  pixman_f_transform_rotate(&f, nullptr, std::cos(angle), std::sin(angle));
  pixman_f_transform_scale(&f, nullptr, 1 / 1.5, 1 / 1.5);
  pixman_f_transform_translate(&f, nullptr, 320.0, 180.0);
  pixman_transform_from_pixman_f_transform(&t, &f);
  pixman_image_set_transform(src, &t);
  pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
  Loop(state, [&] {
    pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
  });
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

constexpr int kBlurRadius = 4;
void OursBoxBlur(benchmark::State& state) {
  Scene& s = TheScene();
  Loop(state, [&] {
    bw::BlurRows(Px(*s.dst), Px(*s.src), 0, 0, kWidth, kHeight, {0, kWidth, kBlurRadius});
  });
}
void PeerBoxBlur(benchmark::State& state) {
  Scene& s = TheScene();
  pixman_image_t* src = Wrap(*s.src);
  pixman_image_t* dst = Wrap(*s.dst);
  std::vector<pixman_fixed_t> params = {pixman_int_to_fixed(2 * kBlurRadius + 1),
                                        pixman_int_to_fixed(1)};
  for (int i = 0; i < 2 * kBlurRadius + 1; ++i) {
    params.push_back(pixman_double_to_fixed(1.0 / (2 * kBlurRadius + 1)));
  }
  pixman_image_set_filter(src, PIXMAN_FILTER_CONVOLUTION, params.data(), int(params.size()));
  pixman_image_set_repeat(src, PIXMAN_REPEAT_PAD);
  Loop(state, [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
  });
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

// One frame: the background copied, four alpha sprites and one opacity window laid over it.
const int kSpriteX[4] = {40, 400, 760, 1000};
const int kSpriteY[4] = {60, 300, 120, 420};
void OursFrame(benchmark::State& state) {
  Scene& s = TheScene();
  bw::ScopedPixelLibrary off(nullptr);
  Loop(state, [&] {
    s.dst->Blit(s.background.get(), 0, 0, nullptr, false);
    for (int i = 0; i < 4; ++i)
      s.dst->AlphaBlit(s.sprite[i].get(), kSpriteX[i], kSpriteY[i], nullptr, false);
    s.dst->OpacityBlit(s.window.get(), 180, 240, 500, nullptr);
  });
}
void PeerFrame(benchmark::State& state) {
  Scene& s = TheScene();
  pixman_image_t* dst = Wrap(*s.dst);
  pixman_image_t* bg = Wrap(*s.background);
  pixman_image_t* sprites[4];
  for (int i = 0; i < 4; ++i) sprites[i] = Wrap(*s.sprite[i]);
  pixman_image_t* window = Wrap(*s.window);
  pixman_color_t color{0, 0, 0, uint16_t(180 * 257)};
  pixman_image_t* mask = pixman_image_create_solid_fill(&color);
  Loop(state, [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, bg, nullptr, dst, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
    for (int i = 0; i < 4; ++i) {
      pixman_image_composite32(PIXMAN_OP_OVER, sprites[i], nullptr, dst, 0, 0, 0, 0, kSpriteX[i],
                               kSpriteY[i], 256, 256);
    }
    pixman_image_composite32(PIXMAN_OP_OVER, window, mask, dst, 0, 0, 0, 0, 240, 500, 800, 200);
  });
  pixman_image_unref(mask);
  pixman_image_unref(window);
  for (auto* sprite : sprites) pixman_image_unref(sprite);
  pixman_image_unref(bg);
  pixman_image_unref(dst);
}

}  // namespace

int main(int argc, char** argv) {
  bw::BuildBlendTables();
  bw::TrigTables trig;
  bw::ScopedGlobal<bw::TrigTables> publish(&trig);
  bw::SetMmxEnabled(true);
  const std::pair<const char*, void (*)(benchmark::State&)> runs[] = {
      {"ours/opacity", OursOpacity},
      {"peer/opacity", PeerOpacity},
      {"ours/add", OursAdd},
      {"peer/add", PeerAdd},
      {"ours/subtract", OursSubtract},
      {"ours/alpha_opacity", OursAlphaOpacity},
      {"peer/alpha_opacity", PeerAlphaOpacity},
      {"ours/rule", OursRule},
      {"ours/bilinear", OursBilinear},
      {"peer/bilinear", PeerBilinear},
      {"ours/rotate_zoom", OursRotateZoom},
      {"peer/rotate_zoom", PeerRotateZoom},
      {"ours/box_blur", OursBoxBlur},
      {"peer/box_blur", PeerBoxBlur},
      {"ours/frame", OursFrame},
      {"peer/frame", PeerFrame}};
  for (auto [name, fn] : runs)
    benchmark::RegisterBenchmark(name, fn)->Unit(benchmark::kMicrosecond);
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* name :
       {"opacity", "add", "alpha_opacity", "bilinear", "rotate_zoom", "box_blur", "frame"}) {
    reporter.PrintRatio(name, std::string("ours/") + name, std::string("peer/") + name);
  }
  if (const bw::bench::RunResult* ours = reporter.Find("ours/frame")) {
    const bw::bench::RunResult* peer = reporter.Find("peer/frame");
    if (peer != nullptr) {
      std::printf("frame: %.1f %s per frame (peer %.1f)\n", ours->time, ours->unit, peer->time);
    } else {
      std::printf("frame: %.1f %s per frame (peer unavailable)\n", ours->time, ours->unit);
    }
  }
  benchmark::Shutdown();
  return 0;
}
