// The per-operation blends, the bilinear stretch, rotate-zoom, box blur and a whole composed
// frame, each beside a peer doing the same work on the same pixels in the same run, at every
// size of pixel_data.h (the frame at the demo's 1280 x 720):
//   opacity        pixman OVER of an x8r8g8b8 source through a solid mask (ours ignores the
//                  source's alpha, so the peer's source has none);
//   add            pixman ADD;
//   colour_blend   pixman OVER of a solid colour at the opacity (premultiplied, as pixman takes
//                  it) onto an x8r8g8b8 target;
//   alpha_opacity  pixman OVER through a solid mask of the same picture premultiplied as our
//                  kernel weighs it (pixel_data.h), on random and on sprite-like alpha;
//   bilinear       pixman SRC with a bilinear scale by two, sampling where ours samples (source
//                  positions x / 2, edges repeated);
//   rotate_zoom    a picture half the target's side turned 30 degrees and zoomed 1.5 times
//                  about the target's centre; ours copies it by nearest pixel, the peer draws
//                  the turned picture's bounding box only, by nearest pixel, OVER from an
//                  x8r8g8b8 source (an opaque copy inside the picture, nothing outside it);
//   box_blur_rows  a running-sum box blur of the rows written here, as a box blur is usually
//                  written (the row pass of a separable blur, same radius, same edge rule and
//                  rounding);
//   frame          the background copied, four sprites laid over it, a window at an opacity;
//                  frame_presented adds the present: into the back buffer through its lock and
//                  1:1 onto the primary, beside two memcpy of the frame.
// The kernels of the MMX set are also run with the 128-bit forms only, printed as their own
// lines. Before timing, each side's pass over a copy of the target is checked against the
// other's: add and the box blur exactly; the blends' colour (the targets' alpha is not compared,
// pixman's has none), where pixman rounds each product by 255ths and ours floors the blend once
// by 256ths, within the most that arithmetic can part them for any three bytes: opacity 2,
// alpha_opacity 3 (the mask times the alpha is a third product), the frame 2; the bilinear
// within 1 on all four channels (pixman keeps 7 bits of each weight, ours 8); rotate-zoom, whose
// two sides round sample positions their own way, each against the exact turn: every pixel well
// inside the picture a source pixel near its exact position, every pixel well outside it left
// alone.
// Prints "ratio <name> <size>: <ours / peer throughput>" per pair and the frame's time.
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

#include "bench_check.h"
#include "bench_ratio.h"
#include "common/global.h"
#include "graphics/pixel/blend_kernels.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/color_rows.h"
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

constexpr uint32_t kColour = 0x00FFFFFFu;
constexpr int kOpacity = 160;
constexpr int kAlphaOpacity = 200;

struct Planes {
  std::vector<uint32_t> random, sprite, dst, half;
  std::vector<uint32_t> premultiplied[2];  // random, sprite
};

Planes& PlanesOf(int size) {
  static std::map<int, Planes> planes;
  Planes& p = planes[size];
  if (p.dst.empty()) {
    const int half = size / 2;
    p.random = bw::bench::RandomPixels(size, size, 1);
    p.sprite = bw::bench::SpritePixels(size, size, 2);
    p.dst = bw::bench::RandomPixels(size, size, 3);
    p.half = bw::bench::RandomPixels(half, half, 4);
    p.premultiplied[0] = bw::bench::Premultiplied(p.random);
    p.premultiplied[1] = bw::bench::Premultiplied(p.sprite);
  }
  return p;
}

const std::vector<uint32_t>& Source(Planes& p, Alpha a) {
  return a == Alpha::kRandom ? p.random : p.sprite;
}

pixman_image_t* Wrap(const std::vector<uint32_t>& pixels, int w, int h,
                     pixman_format_code_t format = PIXMAN_a8r8g8b8) {
  return pixman_image_create_bits(format, w, h, const_cast<uint32_t*>(pixels.data()), w * 4);
}

std::string PairName(const std::string& name, int size) {
  return name + '/' + bw::bench::SizeName(size);
}

// One checked pass over a fresh copy of the target, then the timed ones.
template <typename Body>
void Run(benchmark::State& state, const std::string& name, const char* side, int size,
         std::vector<uint32_t>& dst, Body body, int tolerance = 0, uint32_t channels = ~0u) {
  bw::bench::TimeChecked(state, {PairName(name, size), side, size, size, tolerance, channels},
                         PlanesOf(size).dst, dst, int64_t{size} * size, body);
}

// pixman's composite of the image src (through mask, when there is one) over the whole target.
void PixmanCompositeImage(benchmark::State& state, const std::string& name, int size,
                          pixman_op_t op, pixman_image_t* src, pixman_image_t* mask,
                          pixman_format_code_t target, int tolerance, uint32_t channels) {
  std::vector<uint32_t> dstPixels = PlanesOf(size).dst;
  pixman_image_t* dst = Wrap(dstPixels, size, size, target);
  Run(
      state, name, "pixman", size, dstPixels,
      [&] { pixman_image_composite32(op, src, mask, dst, 0, 0, 0, 0, 0, 0, size, size); },
      tolerance, channels);
  pixman_image_unref(dst);
}

// pixman's composite of src (with an optional constant mask) over the whole target.
void PixmanComposite(benchmark::State& state, const std::string& name, int size, pixman_op_t op,
                     const std::vector<uint32_t>& source, pixman_format_code_t format,
                     pixman_format_code_t target, int maskAlpha, int tolerance, uint32_t channels) {
  pixman_image_t* src = Wrap(source, size, size, format);
  pixman_color_t color{0, 0, 0, uint16_t(maskAlpha * 257)};
  pixman_image_t* mask = maskAlpha >= 0 ? pixman_image_create_solid_fill(&color) : nullptr;
  PixmanCompositeImage(state, name, size, op, src, mask, target, tolerance, channels);
  if (mask) pixman_image_unref(mask);
  pixman_image_unref(src);
}

// Ours on a copy of the target, with the 256-bit forms on or off.
template <typename Kernel>
void Ours(benchmark::State& state, const std::string& name, int size, bool wide, Kernel kernel,
          int tolerance = 0, uint32_t channels = ~0u) {
  std::vector<uint32_t> dst;
  bw::ScopedWideVectors pin(wide);
  Run(
      state, name, wide ? "ours" : "ours128", size, dst, [&] { kernel(dst.data(), size); },
      tolerance, channels);
}

void OursOpacity(benchmark::State& state, int size, bool wide) {
  const uint32_t* src = PlanesOf(size).random.data();
  Ours(
      state, "opacity", size, wide,
      [&](uint32_t* d, int n) { bw::OpacityRowsMmx(d, src, 0, 0, n, n, kOpacity); }, 2, kColour);
}
void PeerOpacity(benchmark::State& state, int size) {
  PixmanComposite(state, "opacity", size, PIXMAN_OP_OVER, PlanesOf(size).random, PIXMAN_x8r8g8b8,
                  PIXMAN_x8r8g8b8, kOpacity, 2, kColour);
}

void OursAdd(benchmark::State& state, int size, bool wide) {
  const uint32_t* src = PlanesOf(size).random.data();
  Ours(state, "add", size, wide, [&](uint32_t* d, int n) { bw::AddRowsMmx(d, src, 0, 0, n, n); });
}
void PeerAdd(benchmark::State& state, int size) {
  PixmanComposite(state, "add", size, PIXMAN_OP_ADD, PlanesOf(size).random, PIXMAN_a8r8g8b8,
                  PIXMAN_a8r8g8b8, -1, 0, ~0u);
}

// A flat colour laid over the target at kOpacity: the flash and the colour rectangles.
constexpr uint8_t kBlendRed = 0xF0, kBlendGreen = 0x80, kBlendBlue = 0x20;
void OursColourBlend(benchmark::State& state, int size, bool wide) {
  Ours(
      state, "colour_blend", size, wide,
      [](uint32_t* d, int n) {
        bw::BlendColorRows(d, ptrdiff_t{n} * 4, n, n, kOpacity, kBlendRed, kBlendGreen, kBlendBlue);
      },
      2, kColour);
}
void PeerColourBlend(benchmark::State& state, int size) {
  // pixman takes the colour premultiplied by its alpha, in 16-bit channels.
  const auto premultiplied = [](int c) { return uint16_t(c * kOpacity * 257 / 255); };
  const pixman_color_t colour{premultiplied(kBlendRed), premultiplied(kBlendGreen),
                              premultiplied(kBlendBlue), uint16_t(kOpacity * 257)};
  pixman_image_t* src = pixman_image_create_solid_fill(&colour);
  PixmanCompositeImage(state, "colour_blend", size, PIXMAN_OP_OVER, src, nullptr, PIXMAN_x8r8g8b8,
                       2, kColour);
  pixman_image_unref(src);
}

std::string AlphaOpacityName(Alpha a) {
  return std::string("alpha_opacity/") + bw::bench::AlphaName(a);
}
void OursAlphaOpacity(benchmark::State& state, int size, Alpha alpha, bool wide) {
  const uint32_t* src = Source(PlanesOf(size), alpha).data();
  Ours(
      state, AlphaOpacityName(alpha), size, wide,
      [&](uint32_t* d, int n) {
        bw::AlphaOpacityRowsMmx(d, src, 0, 0, n, n, bw::ProductTable[kAlphaOpacity]);
      },
      3, kColour);
}
void PeerAlphaOpacity(benchmark::State& state, int size, Alpha alpha) {
  PixmanComposite(state, AlphaOpacityName(alpha), size, PIXMAN_OP_OVER,
                  PlanesOf(size).premultiplied[alpha == Alpha::kSprite], PIXMAN_a8r8g8b8,
                  PIXMAN_x8r8g8b8, kAlphaOpacity, 3, kColour);
}

void OursBilinear(benchmark::State& state, int size) {
  Planes& p = PlanesOf(size);
  const int half = size / 2;
  const bw::SmoothStepper st{0, 0, (uint64_t(half) << 32) / size, (uint64_t(half) << 32) / size};
  Ours(
      state, "bilinear", size, true,
      [&](uint32_t* d, int n) {
        bw::SmoothStretchRows32Mmx(d, p.half.data(), 0, half * 4, n, n, st, half, half);
      },
      1);
}
void PeerBilinear(benchmark::State& state, int size) {
  Planes& p = PlanesOf(size);
  const int half = size / 2;
  std::vector<uint32_t> dstPixels = p.dst;
  pixman_image_t* src = Wrap(p.half, half, half);
  pixman_image_t* dst = Wrap(dstPixels, size, size);
  // Target pixel x samples source x / 2, as ours does: pixman samples a pixel's centre less half
  // a source pixel, so the map moves a quarter of one.
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
  t.matrix[0][2] = t.matrix[1][2] = pixman_double_to_fixed(0.25);
  pixman_image_set_transform(src, &t);
  pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  pixman_image_set_repeat(src, PIXMAN_REPEAT_PAD);
  Run(
      state, "bilinear", "pixman", size, dstPixels,
      [&] {
        pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, size, size);
      },
      1);
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

// Target to source: about the target's centre, turned back and shrunk back, about the picture's.
pixman_f_transform_t TurnBack(int size) {
  const double angle = kTurn * 3.14159265358979 / 256;
  pixman_f_transform_t f;
  pixman_f_transform_init_identity(&f);
  pixman_f_transform_translate(&f, nullptr, -size / 2.0, -size / 2.0);
  pixman_f_transform_rotate(&f, nullptr, std::cos(angle), std::sin(angle));
  pixman_f_transform_scale(&f, nullptr, 1 / kZoom, 1 / kZoom);
  pixman_f_transform_translate(&f, nullptr, size / 4.0, size / 4.0);
  return f;
}

// Each side's pass against the exact turn.
bool TurnedRight(benchmark::State& state, int size, const char* side,
                 const std::vector<uint32_t>& out, int reach) {
  Planes& p = PlanesOf(size);
  const pixman_f_transform_t f = TurnBack(size);
  return bw::bench::SidesAgree(state, PairName("rotate_zoom", size) + '/' + side, [&] {
    const int half = size / 2;
    return bw::bench::CheckMapped(
        {out.data(), p.dst.data(), size, size, size, p.half.data(), half, half, half, reach},
        [&](double x, double y, double* u, double* v) {
          double point[3] = {x, y, 1};
          pixman_f_transform_point(&f, reinterpret_cast<pixman_f_vector_t*>(point));
          *u = point[0], *v = point[1];
        },
        [](uint32_t, uint32_t s) { return s; }, 0, kColour);
  });
}

void OursRotateZoom(benchmark::State& state, int size) {
  Planes& p = PlanesOf(size);
  const int half = size / 2;
  bw::ImageSurface dst, source;
  (void)dst.Create(size, size, 32, 0);
  (void)source.Create(half, half, 32, 0);
  for (int y = 0; y < half; ++y)
    std::memcpy(source.GetRowPointer(y), p.half.data() + size_t(y) * half, size_t(half) * 4);
  auto load = [&] {
    for (int y = 0; y < size; ++y)
      std::memcpy(dst.GetRowPointer(y), p.dst.data() + size_t(y) * size, size_t(size) * 4);
  };
  bw::ScopedPixelLibrary off(nullptr);
  int box[4];
  const int64_t pixels = TurnedBoxPixels(size, box);
  // The zoomed picture's top left, so that its centre is the target's.
  const int32_t at = size / 2 - int32_t(size / 2 * kZoom) / 2;
  auto draw = [&] {
    (void)dst.RotateZoomBlit(&source, 4, at, at, kTurn, int32_t(kZoom * 65536), nullptr, nullptr);
  };
  load();
  draw();
  std::vector<uint32_t> out(size_t(size) * size);
  for (int y = 0; y < size; ++y)
    std::memcpy(out.data() + size_t(y) * size, dst.GetRowPointer(y), size_t(size) * 4);
  // Ours maps the picture's corners to whole pixels and stretches each span to end exactly at
  // the picture's edge: its samples land within two source pixels of the exact turn.
  if (!TurnedRight(state, size, "ours", out, 2)) return;
  for (auto _ : state) {
    draw();
    benchmark::ClobberMemory();
  }
  bw::bench::CountPixels(state, pixels);
}

void PeerRotateZoom(benchmark::State& state, int size) {
  Planes& p = PlanesOf(size);
  std::vector<uint32_t> dstPixels = p.dst;
  pixman_image_t* src = Wrap(p.half, size / 2, size / 2, PIXMAN_x8r8g8b8);
  pixman_image_t* dst = Wrap(dstPixels, size, size);
  const pixman_f_transform_t f = TurnBack(size);
  pixman_transform_t t;
  pixman_transform_from_pixman_f_transform(&t, &f);
  pixman_image_set_transform(src, &t);
  pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
  int box[4];
  const int64_t pixels = TurnedBoxPixels(size, box);
  const int w = box[2] - box[0], h = box[3] - box[1];
  auto draw = [&] {
    pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, box[0], box[1], 0, 0, box[0],
                             box[1], w, h);
  };
  draw();
  if (TurnedRight(state, size, "pixman", dstPixels, 1)) {
    for (auto _ : state) {
      draw();
      benchmark::ClobberMemory();
    }
    bw::bench::CountPixels(state, pixels);
  }
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

constexpr int kBlurRadius = 4;
void OursBoxBlur(benchmark::State& state, int size) {
  const uint32_t* src = PlanesOf(size).random.data();
  Ours(state, "box_blur_rows", size, true, [&](uint32_t* d, int n) {
    bw::BlurRows(d, src, 0, 0, n, n, {0, n, kBlurRadius});
  });
}
void PeerBoxBlur(benchmark::State& state, int size) {
  const uint32_t* src = PlanesOf(size).random.data();
  std::vector<uint32_t> dst;
  Run(state, "box_blur_rows", "running_sum", size, dst,
      [&] { bw::bench::RunningSumBoxBlurRows(dst.data(), src, size, size, kBlurRadius); });
}

// One frame of the demo's size: the background copied, four 256 x 256 sprites laid over it by
// their alpha and an 800 x 200 window at an opacity. The peer does the same with SRC, OVER of the
// premultiplied sprites and OVER through a solid mask from an x8r8g8b8 window.
constexpr int kFrameWidth = 1280;
constexpr int kFrameHeight = 720;
constexpr int kWindowOpacity = 180;
const int kSpriteX[4] = {40, 400, 760, 1000};
const int kSpriteY[4] = {60, 300, 120, 420};

std::unique_ptr<bw::ImageSurface> SurfaceOf(int w, int h, const std::vector<uint32_t>& pixels) {
  auto s = std::make_unique<bw::ImageSurface>();
  (void)s->Create(w, h, 32, 0);
  for (int y = 0; y < h; ++y) {
    std::memcpy(s->GetRowPointer(y), pixels.data() + size_t(y) * size_t(w), size_t(w) * 4);
  }
  return s;
}

struct Scene {
  std::vector<uint32_t> start = bw::bench::RandomPixels(kFrameWidth, kFrameHeight, 11);
  std::vector<uint32_t> backgroundPixels = bw::bench::RandomPixels(kFrameWidth, kFrameHeight, 12);
  std::vector<uint32_t> windowPixels = bw::bench::RandomPixels(800, 200, 13);
  std::vector<uint32_t> spritePixels[2][4], premultiplied[2][4];
  std::unique_ptr<bw::ImageSurface> background =
      SurfaceOf(kFrameWidth, kFrameHeight, backgroundPixels);
  std::unique_ptr<bw::ImageSurface> window = SurfaceOf(800, 200, windowPixels);
  std::unique_ptr<bw::ImageSurface> sprite[2][4];
  Scene() {
    for (int i = 0; i < 4; ++i) {
      spritePixels[0][i] = bw::bench::RandomPixels(256, 256, 20 + i);
      spritePixels[1][i] = bw::bench::SpritePixels(256, 256, 30 + i);
      for (int k = 0; k < 2; ++k) {
        sprite[k][i] = SurfaceOf(256, 256, spritePixels[k][i]);
        premultiplied[k][i] = bw::bench::Premultiplied(spritePixels[k][i]);
      }
    }
  }
};

Scene& TheScene() {
  static Scene scene;
  return scene;
}

std::unique_ptr<bw::host::MemorySurface> Primary() {
  return bw::host::MemorySurface::Create(kFrameWidth, kFrameHeight, bw::bench::Bgra32());
}

// The frame each side shows, checked before the timing: within 2 per colour channel.
bool FrameAgrees(benchmark::State& state, const std::string& name, const char* side,
                 const std::vector<uint32_t>& shown) {
  return bw::bench::AgreesWithPair(state, name, side, shown, kFrameWidth, kFrameHeight, 2, kColour);
}

std::vector<uint32_t> PixelsOf(const uint8_t* first, ptrdiff_t pitch) {
  std::vector<uint32_t> out(size_t(kFrameWidth) * kFrameHeight);
  for (int y = 0; y < kFrameHeight; ++y)
    std::memcpy(out.data() + size_t(y) * kFrameWidth, first + y * pitch, size_t(kFrameWidth) * 4);
  return out;
}

// With `presented`, the composed frame is also copied 1:1 onto a primary surface, as the display
// manager's present does; the peer then copies it with memcpy.
void OursFrame(benchmark::State& state, const std::string& name, Alpha alpha, bool wide,
               bool presented) {
  Scene& s = TheScene();
  auto& sprites = s.sprite[alpha == Alpha::kSprite];
  auto dst = SurfaceOf(kFrameWidth, kFrameHeight, s.start);
  auto back = Primary(), primary = Primary();
  bw::ScopedPixelLibrary off(nullptr);
  bw::ScopedWideVectors pin(wide);
  auto frame = [&] {
    (void)dst->Blit(s.background.get(), 0, 0, nullptr, false);
    for (int i = 0; i < 4; ++i)
      (void)dst->AlphaBlit(sprites[i].get(), kSpriteX[i], kSpriteY[i], nullptr, false);
    (void)dst->OpacityBlit(s.window.get(), kWindowOpacity, 240, 500, nullptr);
    if (!presented) return;
    // The frame reaches the back buffer through its lock, then the primary by the copy.
    bw::host::DdSurfaceDesc desc;
    if (back->Lock(&desc) != bw::host::kDdOk) return;
    for (int y = 0; y < kFrameHeight; ++y) {
      std::memcpy(desc.surface + ptrdiff_t{y} * desc.pitch, dst->GetRowPointer(y),
                  size_t(kFrameWidth) * 4);
    }
    (void)back->Unlock();
    (void)primary->Blt(nullptr, back.get(), nullptr, 0, nullptr);
  };
  frame();
  std::vector<uint32_t> shown;
  if (presented) {
    bw::host::DdSurfaceDesc desc;
    if (primary->Lock(&desc) != bw::host::kDdOk) return state.SkipWithError("no primary");
    shown = PixelsOf(desc.surface, desc.pitch);
    (void)primary->Unlock();
  } else {
    shown = PixelsOf(dst->GetRowPointer(0), dst->GetPitch());
  }
  if (!FrameAgrees(state, name, wide ? "ours" : "ours128", shown)) return;
  for (auto _ : state) {
    frame();
    benchmark::ClobberMemory();
  }
  bw::bench::CountPixels(state, int64_t{kFrameWidth} * kFrameHeight);
}

void PeerFrame(benchmark::State& state, const std::string& name, Alpha alpha, bool presented) {
  Scene& s = TheScene();
  std::vector<uint32_t> target = s.start;
  pixman_image_t* dst = Wrap(target, kFrameWidth, kFrameHeight, PIXMAN_x8r8g8b8);
  pixman_image_t* bg = Wrap(s.backgroundPixels, kFrameWidth, kFrameHeight);
  pixman_image_t* sprites[4];
  for (int i = 0; i < 4; ++i)
    sprites[i] = Wrap(s.premultiplied[alpha == Alpha::kSprite][i], 256, 256);
  pixman_image_t* window = Wrap(s.windowPixels, 800, 200, PIXMAN_x8r8g8b8);
  pixman_color_t color{0, 0, 0, uint16_t(kWindowOpacity * 257)};
  pixman_image_t* mask = pixman_image_create_solid_fill(&color);
  std::vector<uint32_t> back(size_t(kFrameWidth) * kFrameHeight), primary(back.size());
  auto frame = [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, bg, nullptr, dst, 0, 0, 0, 0, 0, 0, kFrameWidth,
                             kFrameHeight);
    for (int i = 0; i < 4; ++i) {
      pixman_image_composite32(PIXMAN_OP_OVER, sprites[i], nullptr, dst, 0, 0, 0, 0, kSpriteX[i],
                               kSpriteY[i], 256, 256);
    }
    pixman_image_composite32(PIXMAN_OP_OVER, window, mask, dst, 0, 0, 0, 0, 240, 500, 800, 200);
    if (!presented) return;
    std::memcpy(back.data(), target.data(), back.size() * 4);
    std::memcpy(primary.data(), back.data(), back.size() * 4);
  };
  frame();
  if (FrameAgrees(state, name, "pixman", presented ? primary : target)) {
    for (auto _ : state) {
      frame();
      benchmark::ClobberMemory();
    }
    bw::bench::CountPixels(state, int64_t{kFrameWidth} * kFrameHeight);
  }
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
    RegisterSized(side, "colour_blend",
                  [wide](benchmark::State& s, int n) { OursColourBlend(s, n, wide); });
    for (Alpha a : {Alpha::kRandom, Alpha::kSprite}) {
      RegisterSized(side, AlphaOpacityName(a),
                    [a, wide](benchmark::State& s, int n) { OursAlphaOpacity(s, n, a, wide); });
    }
  }
  RegisterSized("peer", "opacity", PeerOpacity);
  RegisterSized("peer", "add", PeerAdd);
  RegisterSized("peer", "colour_blend", PeerColourBlend);
  for (Alpha a : {Alpha::kRandom, Alpha::kSprite}) {
    RegisterSized("peer", AlphaOpacityName(a),
                  [a](benchmark::State& s, int n) { PeerAlphaOpacity(s, n, a); });
  }
  RegisterSized("ours", "bilinear", OursBilinear);
  RegisterSized("peer", "bilinear", PeerBilinear);
  RegisterSized("ours", "rotate_zoom", OursRotateZoom);
  RegisterSized("peer", "rotate_zoom", PeerRotateZoom);
  RegisterSized("ours", "box_blur_rows", OursBoxBlur);
  RegisterSized("peer", "box_blur_rows", PeerBoxBlur);
  for (bool presented : {false, true}) {
    for (Alpha a : {Alpha::kRandom, Alpha::kSprite}) {
      const std::string name =
          std::string(presented ? "frame_presented/" : "frame/") + bw::bench::AlphaName(a);
      for (bool wide : {true, false}) {
        benchmark::RegisterBenchmark(((wide ? "ours/" : "ours128/") + name).c_str(),
                                     [name, a, wide, presented](benchmark::State& s) {
                                       OursFrame(s, name, a, wide, presented);
                                     })
            ->Unit(benchmark::kMicrosecond);
      }
      benchmark::RegisterBenchmark(("peer/" + name).c_str(), [name, a,
                                                              presented](benchmark::State& s) {
        PeerFrame(s, name, a, presented);
      })->Unit(benchmark::kMicrosecond);
    }
  }
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  using bw::bench::PrintSized;
  std::vector<std::string> narrowed = {"opacity", "add", "colour_blend"};
  for (Alpha a : {Alpha::kRandom, Alpha::kSprite}) narrowed.push_back(AlphaOpacityName(a));
  for (const std::string& name : narrowed) {
    std::string label = name;
    std::replace(label.begin(), label.end(), '/', ' ');
    PrintSized(reporter, label, "ours/" + name, "peer/" + name);
    PrintSized(reporter, label + " 128-bit", "ours128/" + name, "peer/" + name);
  }
  PrintSized(reporter, "bilinear", "ours/bilinear", "peer/bilinear");
  PrintSized(reporter, "rotate_zoom", "ours/rotate_zoom", "peer/rotate_zoom");
  PrintSized(reporter, "box_blur_rows-vs-running-sum", "ours/box_blur_rows", "peer/box_blur_rows");
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
