// The per-operation blends, the bilinear stretch, rotate-zoom, box blur and a whole composed
// frame, each beside a peer doing the same work on the same pixels in the same run, at every
// size of pixel_data.h (the frame at the demo's 1280 x 720):
//   opacity        pixman OVER of an x8r8g8b8 source through a solid mask (ours ignores the
//                  source's alpha, so the peer's source has none);
//   add            pixman ADD;
//   alpha_opacity  pixman OVER of an a8r8g8b8 source through a solid mask, on random and on
//                  sprite-like alpha;
//   bilinear       pixman SRC with a bilinear scale by two;
//   rotate_zoom    a picture half the target's side turned 30 degrees and zoomed 1.5 times
//                  about the target's centre; ours copies it by nearest pixel, the peer draws
//                  the turned picture's bounding box only, by nearest pixel, OVER from an
//                  x8r8g8b8 source (an opaque copy inside the picture, nothing outside it);
//   box_blur_rows  ours beside a plain box blur along rows written straightforwardly here (the
//                  row pass of a separable box blur, same radius, same edge rule);
//   frame          the background copied, four sprites laid over it, a window at an opacity;
//                  frame_presented adds the present: into the back buffer through its lock and
//                  1:1 onto the primary, beside two memcpy of the frame.
// The kernels of the MMX set are also run with the 128-bit forms only, printed as their own
// lines. Prints "ratio <name> <size>: <ours / peer throughput>" per pair and the frame's time.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
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
#include "host/surface/memory_surface.h"
#include "pixel_data.h"
#include "platform/mmx_flag.h"
#include "platform/trig_tables.h"

namespace {

using bw::bench::Alpha;

std::unique_ptr<bw::ImageSurface> SurfaceOf(int w, int h, const std::vector<uint32_t>& pixels) {
  auto s = std::make_unique<bw::ImageSurface>();
  s->Create(w, h, 32, 0);
  for (int y = 0; y < h; ++y) {
    std::memcpy(s->GetRowPointer(y), pixels.data() + size_t(y) * size_t(w), size_t(w) * 4);
  }
  return s;
}

std::unique_ptr<bw::ImageSurface> RandomSurface(int w, int h, uint32_t seed) {
  return SurfaceOf(w, h, bw::bench::RandomPixels(w, h, seed));
}

struct Planes {
  std::unique_ptr<bw::ImageSurface> random, sprite, dst, half;
};

Planes& PlanesOf(int size) {
  static std::map<int, Planes> planes;
  Planes& p = planes[size];
  if (!p.dst) {
    p.random = RandomSurface(size, size, 1);
    p.sprite = SurfaceOf(size, size, bw::bench::SpritePixels(size, size, 2));
    p.dst = RandomSurface(size, size, 3);
    p.half = RandomSurface(size / 2, size / 2, 4);
  }
  return p;
}

bw::ImageSurface& Source(Planes& p, Alpha a) {
  return a == Alpha::kRandom ? *p.random : *p.sprite;
}

uint32_t* Px(bw::ImageSurface& s) {
  return reinterpret_cast<uint32_t*>(s.GetPixels());
}

pixman_image_t* Wrap(bw::ImageSurface& s, pixman_format_code_t format = PIXMAN_a8r8g8b8) {
  return pixman_image_create_bits(format, s.GetWidth(), s.GetHeight(), Px(s), s.GetPitch());
}

template <typename Body>
void Loop(benchmark::State& state, int64_t pixels, Body body) {
  for (auto _ : state) {
    body();
    benchmark::ClobberMemory();
  }
  bw::bench::CountPixels(state, pixels);
}

// pixman's composite of src (with an optional constant mask) over the whole target.
void PixmanComposite(benchmark::State& state, int size, pixman_op_t op, bw::ImageSurface& source,
                     pixman_format_code_t format, int maskAlpha) {
  Planes& p = PlanesOf(size);
  auto dstSurface =
      SurfaceOf(size, size, std::vector<uint32_t>(Px(*p.dst), Px(*p.dst) + size_t(size) * size));
  pixman_image_t* src = Wrap(source, format);
  pixman_image_t* dst = Wrap(*dstSurface);
  pixman_color_t color{0, 0, 0, uint16_t(maskAlpha * 257)};
  pixman_image_t* mask = maskAlpha >= 0 ? pixman_image_create_solid_fill(&color) : nullptr;
  Loop(state, int64_t{size} * size,
       [&] { pixman_image_composite32(op, src, mask, dst, 0, 0, 0, 0, 0, 0, size, size); });
  if (mask) pixman_image_unref(mask);
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

// Ours on a copy of the target, with the 256-bit forms on or off.
template <typename Kernel>
void Ours(benchmark::State& state, int size, bool wide, Kernel kernel) {
  Planes& p = PlanesOf(size);
  std::vector<uint32_t> dst(Px(*p.dst), Px(*p.dst) + size_t(size) * size);
  bw::ScopedWideVectors pin(wide);
  Loop(state, int64_t{size} * size, [&] { kernel(dst.data(), size); });
}

void OursOpacity(benchmark::State& state, int size, bool wide) {
  const uint32_t* src = Px(*PlanesOf(size).random);
  Ours(state, size, wide, [&](uint32_t* d, int n) { bw::OpacityRowsMmx(d, src, 0, 0, n, n, 160); });
}
void PeerOpacity(benchmark::State& state, int size) {
  PixmanComposite(state, size, PIXMAN_OP_OVER, *PlanesOf(size).random, PIXMAN_x8r8g8b8, 160);
}

void OursAdd(benchmark::State& state, int size, bool wide) {
  const uint32_t* src = Px(*PlanesOf(size).random);
  Ours(state, size, wide, [&](uint32_t* d, int n) { bw::AddRowsMmx(d, src, 0, 0, n, n); });
}
void PeerAdd(benchmark::State& state, int size) {
  PixmanComposite(state, size, PIXMAN_OP_ADD, *PlanesOf(size).random, PIXMAN_a8r8g8b8, -1);
}

void OursAlphaOpacity(benchmark::State& state, int size, Alpha alpha, bool wide) {
  const uint32_t* src = Px(Source(PlanesOf(size), alpha));
  Ours(state, size, wide, [&](uint32_t* d, int n) {
    bw::AlphaOpacityRowsMmx(d, src, 0, 0, n, n, bw::ProductTable[200]);
  });
}
void PeerAlphaOpacity(benchmark::State& state, int size, Alpha alpha) {
  PixmanComposite(state, size, PIXMAN_OP_OVER, Source(PlanesOf(size), alpha), PIXMAN_a8r8g8b8, 200);
}

void OursBilinear(benchmark::State& state, int size) {
  Planes& p = PlanesOf(size);
  const int half = size / 2;
  const bw::SmoothStepper st{0, 0, (uint64_t(half) << 32) / size, (uint64_t(half) << 32) / size};
  Ours(state, size, true, [&](uint32_t* d, int n) {
    bw::SmoothStretchRows32Mmx(d, Px(*p.half), 0, p.half->GetPitch(), n, n, st, half, half);
  });
}
void PeerBilinear(benchmark::State& state, int size) {
  Planes& p = PlanesOf(size);
  auto dstSurface = RandomSurface(size, size, 3);
  pixman_image_t* src = Wrap(*p.half);
  pixman_image_t* dst = Wrap(*dstSurface);
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
  pixman_image_set_transform(src, &t);
  pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  pixman_image_set_repeat(src, PIXMAN_REPEAT_PAD);
  Loop(state, int64_t{size} * size, [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, size, size);
  });
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

constexpr int kTurn = 43;  // 512ths of a turn: about 30 degrees
constexpr double kZoom = 1.5;
// Throughput of both sides is counted over the turned picture's bounding box.
int64_t TurnedBoxPixels(int size, int box[4]) {
  const double angle = kTurn * 3.14159265358979 / 256;
  const double half = size / 4.0 * kZoom;
  const double extent = half * (std::fabs(std::cos(angle)) + std::fabs(std::sin(angle)));
  box[0] = std::max(0, int(std::floor(size / 2.0 - extent)));
  box[1] = box[0];
  box[2] = std::min(size, int(std::ceil(size / 2.0 + extent)));
  box[3] = box[2];
  return int64_t{box[2] - box[0]} * (box[3] - box[1]);
}
void OursRotateZoom(benchmark::State& state, int size) {
  Planes& p = PlanesOf(size);
  auto dst = RandomSurface(size, size, 3);
  bw::ScopedPixelLibrary off(nullptr);
  int box[4];
  const int64_t pixels = TurnedBoxPixels(size, box);
  // The zoomed picture's top left, so that its centre is the target's.
  const int32_t at = size / 2 - int32_t(size / 2 * kZoom) / 2;
  Loop(state, pixels, [&] {
    dst->RotateZoomBlit(p.half.get(), 4, at, at, kTurn, int32_t(kZoom * 65536), nullptr, nullptr);
  });
}
void PeerRotateZoom(benchmark::State& state, int size) {
  Planes& p = PlanesOf(size);
  auto dstSurface = RandomSurface(size, size, 3);
  pixman_image_t* src = Wrap(*p.half, PIXMAN_x8r8g8b8);
  pixman_image_t* dst = Wrap(*dstSurface);
  const double angle = kTurn * 3.14159265358979 / 256;
  pixman_f_transform_t f;
  pixman_f_transform_init_identity(&f);
  pixman_f_transform_translate(&f, nullptr, -size / 2.0, -size / 2.0);
  pixman_f_transform_rotate(&f, nullptr, std::cos(angle), std::sin(angle));
  pixman_f_transform_scale(&f, nullptr, 1 / kZoom, 1 / kZoom);
  pixman_f_transform_translate(&f, nullptr, size / 4.0, size / 4.0);
  pixman_transform_t t;
  pixman_transform_from_pixman_f_transform(&t, &f);
  pixman_image_set_transform(src, &t);
  pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
  int box[4];
  const int64_t pixels = TurnedBoxPixels(size, box);
  const int w = box[2] - box[0], h = box[3] - box[1];
  Loop(state, pixels, [&] {
    pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, box[0], box[1], 0, 0, box[0],
                             box[1], w, h);
  });
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

constexpr int kBlurRadius = 4;
void OursBoxBlur(benchmark::State& state, int size) {
  const uint32_t* src = Px(*PlanesOf(size).random);
  Ours(state, size, true, [&](uint32_t* d, int n) {
    bw::BlurRows(d, src, 0, 0, n, n, {0, n, kBlurRadius});
  });
}
// The row pass of a separable box blur as it is usually written: each pixel sums its window,
// positions past the row's ends taking the end pixel, and divides by the window.
void PlainBoxBlurRows(uint32_t* dst, const uint32_t* src, int width, int height, int radius) {
  const uint32_t window = uint32_t(2 * radius + 1);
  for (int y = 0; y < height; ++y) {
    const uint32_t* row = src + size_t(y) * size_t(width);
    uint32_t* out = dst + size_t(y) * size_t(width);
    for (int x = 0; x < width; ++x) {
      uint32_t sum[4] = {0, 0, 0, 0};
      for (int k = -radius; k <= radius; ++k) {
        const uint32_t p = row[std::clamp(x + k, 0, width - 1)];
        for (int c = 0; c < 4; ++c) sum[c] += (p >> (8 * c)) & 0xFF;
      }
      uint32_t v = 0;
      for (int c = 0; c < 4; ++c) v |= (sum[c] / window) << (8 * c);
      out[x] = v;
    }
  }
}
void PeerBoxBlur(benchmark::State& state, int size) {
  const uint32_t* src = Px(*PlanesOf(size).random);
  std::vector<uint32_t> dst(size_t(size) * size);
  Loop(state, int64_t{size} * size,
       [&] { PlainBoxBlurRows(dst.data(), src, size, size, kBlurRadius); });
}

// One frame of the demo's size: the background copied, four 256 x 256 sprites laid over it by
// their alpha and an 800 x 200 window at an opacity. The peer does the same with SRC, OVER and
// OVER through a solid mask from an x8r8g8b8 window.
constexpr int kFrameWidth = 1280;
constexpr int kFrameHeight = 720;
const int kSpriteX[4] = {40, 400, 760, 1000};
const int kSpriteY[4] = {60, 300, 120, 420};

struct Scene {
  std::unique_ptr<bw::ImageSurface> dst = RandomSurface(kFrameWidth, kFrameHeight, 11);
  std::unique_ptr<bw::ImageSurface> background = RandomSurface(kFrameWidth, kFrameHeight, 12);
  std::unique_ptr<bw::ImageSurface> sprite[2][4];
  std::unique_ptr<bw::ImageSurface> window = RandomSurface(800, 200, 13);
  Scene() {
    for (int i = 0; i < 4; ++i) {
      sprite[0][i] = RandomSurface(256, 256, 20 + i);
      sprite[1][i] = SurfaceOf(256, 256, bw::bench::SpritePixels(256, 256, 30 + i));
    }
  }
};

Scene& TheScene() {
  static Scene scene;
  return scene;
}

// With `presented`, the composed frame is also copied 1:1 onto a primary surface, as the display
// manager's present does; the peer then copies it with memcpy.
std::unique_ptr<bw::host::MemorySurface> Primary() {
  bw::host::DdPixelFormat f;
  f.flags = bw::host::kDdpfRgb;
  f.rgbBitCount = 32;
  f.rBitMask = 0xFF0000, f.gBitMask = 0xFF00, f.bBitMask = 0xFF;
  return bw::host::MemorySurface::Create(kFrameWidth, kFrameHeight, f);
}

void OursFrame(benchmark::State& state, Alpha alpha, bool wide, bool presented) {
  Scene& s = TheScene();
  auto& sprites = s.sprite[alpha == Alpha::kSprite];
  auto back = Primary(), primary = Primary();
  bw::ScopedPixelLibrary off(nullptr);
  bw::ScopedWideVectors pin(wide);
  Loop(state, int64_t{kFrameWidth} * kFrameHeight, [&] {
    s.dst->Blit(s.background.get(), 0, 0, nullptr, false);
    for (int i = 0; i < 4; ++i)
      s.dst->AlphaBlit(sprites[i].get(), kSpriteX[i], kSpriteY[i], nullptr, false);
    s.dst->OpacityBlit(s.window.get(), 180, 240, 500, nullptr);
    if (!presented) return;
    // The frame reaches the back buffer through its lock, then the primary by the copy.
    bw::host::DdSurfaceDesc desc;
    if (back->Lock(&desc) != bw::host::kDdOk) return;
    for (int y = 0; y < kFrameHeight; ++y) {
      std::memcpy(desc.surface + ptrdiff_t{y} * desc.pitch, s.dst->GetRowPointer(y),
                  size_t(kFrameWidth) * 4);
    }
    back->Unlock();
    primary->Blt(nullptr, back.get(), nullptr, 0, nullptr);
  });
}
void PeerFrame(benchmark::State& state, Alpha alpha, bool presented) {
  Scene& s = TheScene();
  auto& spriteSurfaces = s.sprite[alpha == Alpha::kSprite];
  pixman_image_t* dst = Wrap(*s.dst);
  pixman_image_t* bg = Wrap(*s.background);
  pixman_image_t* sprites[4];
  for (int i = 0; i < 4; ++i) sprites[i] = Wrap(*spriteSurfaces[i]);
  pixman_image_t* window = Wrap(*s.window, PIXMAN_x8r8g8b8);
  pixman_color_t color{0, 0, 0, uint16_t(180 * 257)};
  pixman_image_t* mask = pixman_image_create_solid_fill(&color);
  std::vector<uint32_t> back(size_t(kFrameWidth) * kFrameHeight), primary(back.size());
  Loop(state, int64_t{kFrameWidth} * kFrameHeight, [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, bg, nullptr, dst, 0, 0, 0, 0, 0, 0, kFrameWidth,
                             kFrameHeight);
    for (int i = 0; i < 4; ++i) {
      pixman_image_composite32(PIXMAN_OP_OVER, sprites[i], nullptr, dst, 0, 0, 0, 0, kSpriteX[i],
                               kSpriteY[i], 256, 256);
    }
    pixman_image_composite32(PIXMAN_OP_OVER, window, mask, dst, 0, 0, 0, 0, 240, 500, 800, 200);
    if (!presented) return;
    std::memcpy(back.data(), Px(*s.dst), back.size() * 4);
    std::memcpy(primary.data(), back.data(), back.size() * 4);
  });
  pixman_image_unref(mask);
  pixman_image_unref(window);
  for (auto* sprite : sprites) pixman_image_unref(sprite);
  pixman_image_unref(bg);
  pixman_image_unref(dst);
}

}  // namespace

int main(int argc, char** argv) {
  using bw::bench::RegisterSized;
  bw::BuildBlendTables();
  bw::TrigTables trig;
  bw::ScopedGlobal<bw::TrigTables> publish(&trig);
  bw::SetMmxEnabled(true);
  // The MMX-set kernels, each with its 128-bit forms too.
  for (bool wide : {true, false}) {
    const char* side = wide ? "ours" : "ours128";
    RegisterSized(side, "opacity", [wide](benchmark::State& s, int n) { OursOpacity(s, n, wide); });
    RegisterSized(side, "add", [wide](benchmark::State& s, int n) { OursAdd(s, n, wide); });
    for (Alpha a : {Alpha::kRandom, Alpha::kSprite}) {
      RegisterSized(side, std::string("alpha_opacity/") + bw::bench::AlphaName(a),
                    [a, wide](benchmark::State& s, int n) { OursAlphaOpacity(s, n, a, wide); });
    }
  }
  RegisterSized("peer", "opacity", PeerOpacity);
  RegisterSized("peer", "add", PeerAdd);
  for (Alpha a : {Alpha::kRandom, Alpha::kSprite}) {
    RegisterSized("peer", std::string("alpha_opacity/") + bw::bench::AlphaName(a),
                  [a](benchmark::State& s, int n) { PeerAlphaOpacity(s, n, a); });
  }
  RegisterSized("ours", "bilinear", OursBilinear);
  RegisterSized("peer", "bilinear", PeerBilinear);
  RegisterSized("ours", "rotate_zoom", OursRotateZoom);
  RegisterSized("peer", "rotate_zoom", PeerRotateZoom);
  RegisterSized("ours", "box_blur_rows", OursBoxBlur);
  RegisterSized("plain", "box_blur_rows", PeerBoxBlur);
  for (bool presented : {false, true}) {
    for (Alpha a : {Alpha::kRandom, Alpha::kSprite}) {
      const std::string name =
          std::string(presented ? "frame_presented/" : "frame/") + bw::bench::AlphaName(a);
      for (bool wide : {true, false}) {
        benchmark::RegisterBenchmark(
            ((wide ? "ours/" : "ours128/") + name).c_str(),
            [a, wide, presented](benchmark::State& s) { OursFrame(s, a, wide, presented); })
            ->Unit(benchmark::kMicrosecond);
      }
      benchmark::RegisterBenchmark(("peer/" + name).c_str(), [a, presented](benchmark::State& s) {
        PeerFrame(s, a, presented);
      })->Unit(benchmark::kMicrosecond);
    }
  }
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  using bw::bench::PrintSized;
  std::vector<std::string> narrowed = {"opacity", "add"};
  for (Alpha a : {Alpha::kRandom, Alpha::kSprite}) {
    narrowed.push_back(std::string("alpha_opacity/") + bw::bench::AlphaName(a));
  }
  for (const std::string& name : narrowed) {
    std::string label = name;
    std::replace(label.begin(), label.end(), '/', ' ');
    PrintSized(reporter, label, "ours/" + name, "peer/" + name);
    PrintSized(reporter, label + " 128-bit", "ours128/" + name, "peer/" + name);
  }
  PrintSized(reporter, "bilinear", "ours/bilinear", "peer/bilinear");
  PrintSized(reporter, "rotate_zoom", "ours/rotate_zoom", "peer/rotate_zoom");
  PrintSized(reporter, "box_blur_rows-vs-plain-loop", "ours/box_blur_rows", "plain/box_blur_rows");
  for (const char* frame : {"frame", "frame_presented"}) {
    for (Alpha a : {Alpha::kRandom, Alpha::kSprite}) {
      const std::string name = std::string(frame) + "/" + bw::bench::AlphaName(a);
      std::string label = name;
      std::replace(label.begin(), label.end(), '/', ' ');
      reporter.PrintRatio(label, "ours/" + name, "peer/" + name);
      reporter.PrintRatio(label + " 128-bit", "ours128/" + name, "peer/" + name);
      if (const bw::bench::RunResult* ours = reporter.Find("ours/" + name)) {
        std::printf("%s: %.1f %s per frame\n", label.c_str(), ours->time, ours->unit);
      }
    }
  }
  benchmark::Shutdown();
  return 0;
}
