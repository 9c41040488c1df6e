// The kernels that move whole pixels, and alpha-over, at every size of pixel_data.h, each beside
// a peer doing the same work on the same pixels in the same run:
//   copy        memcpy of the same rows (the machine's bound for a copy), and pixman SRC
//               a8r8g8b8 -> a8r8g8b8;
//   fill        pixman_fill of the same 32-bit rectangle;
//   alpha-over  pixman OVER onto the x8r8g8b8 target, of the same picture premultiplied as our
//               kernel weighs it (clear pixels 0, so pixman skips them and copies opaque ones as
//               ours does), on random alpha and on sprite-like alpha; ours also with the 128-bit
//               forms only, printed as its own line;
//   keyed copy  SDL2's colour-keyed SDL_BlitSurface between the same two x8r8g8b8 surfaces, the
//               source a sprite with the key colour around it.
// Before timing, each side's pass over a copy of the target is checked against the other's:
// exactly, except alpha-over's colour within 1 per channel (pixman rounds the target's share by
// 255ths, ours floors it by 256ths; ours leaves alpha 0 on the target, pixman's target has none).
// Prints "ratio <name> <size>: <ours / peer throughput>" per pair.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <map>
#include <vector>

#include "bench_check.h"
#include "bench_ratio.h"
#include "graphics/pixel/alpha_kernels.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/pixel_kernels.h"
#include "pixel_data.h"
#include "platform/mmx_flag.h"

namespace {

using bw::bench::Alpha;

constexpr uint32_t kKey = 0x00FF00FFu;
constexpr uint32_t kColour = 0x00FFFFFFu;

struct Planes {
  std::vector<uint32_t> random, sprite, keyed, dst;
  std::vector<uint32_t> premultiplied[2];  // random, sprite
};

Planes& PlanesOf(int size) {
  static std::map<int, Planes> planes;
  Planes& p = planes[size];
  if (p.dst.empty()) {
    p.random = bw::bench::RandomPixels(size, size, 1);
    p.sprite = bw::bench::SpritePixels(size, size, 2);
    p.keyed = bw::bench::SpritePixels(size, size, 3, true, kKey);
    p.dst = bw::bench::RandomPixels(size, size, 4);
    p.premultiplied[0] = bw::bench::Premultiplied(p.random);
    p.premultiplied[1] = bw::bench::Premultiplied(p.sprite);
  }
  return p;
}

const std::vector<uint32_t>& Source(Planes& p, Alpha a) {
  return a == Alpha::kRandom ? p.random : p.sprite;
}

pixman_image_t* Wrap(std::vector<uint32_t>& pixels, int size,
                     pixman_format_code_t format = PIXMAN_a8r8g8b8) {
  return bw::bench::WrapPixman(format, pixels.data(), size, size, size * 4);
}

pixman_image_t* WrapConst(const std::vector<uint32_t>& pixels, int size,
                          pixman_format_code_t format = PIXMAN_a8r8g8b8) {
  return Wrap(const_cast<std::vector<uint32_t>&>(pixels), size, format);
}

// One checked pass over a fresh copy of the target, then the timed ones.
template <typename Body>
void Run(benchmark::State& state, const std::string& pair, const char* side, int size,
         std::vector<uint32_t>& dst, Body body, int tolerance = 0, uint32_t channels = ~0u) {
  bw::bench::TimeChecked(
      state, {pair + '/' + bw::bench::SizeName(size), side, size, size, tolerance, channels},
      PlanesOf(size).dst, dst, int64_t{size} * size, body);
}

void OursCopy(benchmark::State& state, int size) {
  Planes& p = PlanesOf(size);
  std::vector<uint32_t> dst;
  Run(state, "copy", "ours", size, dst,
      [&] { bw::CopyRows32Mmx(dst.data(), p.random.data(), 0, 0, size, size); });
}

void PeerMemcpy(benchmark::State& state, int size) {
  Planes& p = PlanesOf(size);
  std::vector<uint32_t> dst;
  Run(state, "copy", "memcpy", size, dst,
      [&] { std::memcpy(dst.data(), p.random.data(), size_t(size) * size * 4); });
}

void PeerPixmanSrc(benchmark::State& state, int size) {
  Planes& p = PlanesOf(size);
  std::vector<uint32_t> dstPixels = p.dst;
  pixman_image_t* src = Wrap(p.random, size);
  pixman_image_t* dst = Wrap(dstPixels, size);
  Run(state, "copy", "pixman", size, dstPixels, [&] {
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, size, size);
  });
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

void OursFill(benchmark::State& state, int size) {
  std::vector<uint32_t> dst;
  Run(state, "fill", "ours", size, dst,
      [&] { bw::FillRows32(dst.data(), 0, size, size, 0x80402010u); });
}

void PeerFill(benchmark::State& state, int size) {
  std::vector<uint32_t> dst;
  Run(state, "fill", "pixman", size, dst,
      [&] { pixman_fill(dst.data(), size, 32, 0, 0, size, size, 0x80402010u); });
}

std::string AlphaPair(Alpha alpha) {
  return std::string("alpha_over/") + bw::bench::AlphaName(alpha);
}

void OursAlphaOver(benchmark::State& state, int size, Alpha alpha, bool wide) {
  const std::vector<uint32_t>& src = Source(PlanesOf(size), alpha);
  std::vector<uint32_t> dst;
  bw::ScopedWideVectors pin(wide);
  Run(
      state, AlphaPair(alpha), wide ? "ours" : "ours128", size, dst,
      [&] { bw::AlphaOverRowsMmx(dst.data(), src.data(), 0, 0, size, size); }, 1, kColour);
}

void PeerAlphaOver(benchmark::State& state, int size, Alpha alpha) {
  Planes& p = PlanesOf(size);
  std::vector<uint32_t> dstPixels = p.dst;
  pixman_image_t* src = WrapConst(p.premultiplied[alpha == Alpha::kSprite], size);
  pixman_image_t* dst = Wrap(dstPixels, size, PIXMAN_x8r8g8b8);
  Run(
      state, AlphaPair(alpha), "pixman", size, dstPixels,
      [&] {
        pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, 0, 0, size, size);
      },
      1, kColour);
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

void OursKeyedCopy(benchmark::State& state, int size) {
  Planes& p = PlanesOf(size);
  std::vector<uint32_t> dst;
  Run(state, "keyed_copy", "ours", size, dst,
      [&] { bw::CopyRows32Keyed(dst.data(), p.keyed.data(), 0, 0, size, size, kKey); });
}

void PeerSdlKeyedCopy(benchmark::State& state, int size) {
  Planes& p = PlanesOf(size);
  std::vector<uint32_t> dstPixels = p.dst;
  SDL_Surface* src = SDL_CreateRGBSurfaceWithFormatFrom(p.keyed.data(), size, size, 32, size * 4,
                                                        SDL_PIXELFORMAT_RGB888);
  SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormatFrom(dstPixels.data(), size, size, 32, size * 4,
                                                        SDL_PIXELFORMAT_RGB888);
  if (!src || !dst || SDL_SetColorKey(src, SDL_TRUE, kKey) != 0 ||
      SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_NONE) != 0) {
    state.SkipWithError(SDL_GetError());
  } else {
    // SDL writes the x of an x8r8g8b8 target as it likes.
    Run(
        state, "keyed_copy", "sdl", size, dstPixels,
        [&] { SDL_BlitSurface(src, nullptr, dst, nullptr); }, 0, kColour);
  }
  SDL_FreeSurface(src);
  SDL_FreeSurface(dst);
}

}  // namespace

int main(int argc, char** argv) {
  using bw::bench::RegisterSized;
  bw::BuildBlendTables();
  RegisterSized("ours", "copy", OursCopy);
  RegisterSized("peer", "memcpy", PeerMemcpy);
  RegisterSized("peer", "pixman_src", PeerPixmanSrc);
  RegisterSized("ours", "fill", OursFill);
  RegisterSized("peer", "pixman_fill", PeerFill);
  for (Alpha a : {Alpha::kRandom, Alpha::kSprite}) {
    const std::string name = AlphaPair(a);
    RegisterSized("ours", name, [a](benchmark::State& s, int n) { OursAlphaOver(s, n, a, true); });
    RegisterSized("ours128", name,
                  [a](benchmark::State& s, int n) { OursAlphaOver(s, n, a, false); });
    RegisterSized("peer", name, [a](benchmark::State& s, int n) { PeerAlphaOver(s, n, a); });
  }
  RegisterSized("ours", "keyed_copy", OursKeyedCopy);
  RegisterSized("peer", "keyed_copy", PeerSdlKeyedCopy);
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  using bw::bench::PrintSized;
  PrintSized(reporter, "copy-vs-memcpy", "ours/copy", "peer/memcpy");
  PrintSized(reporter, "copy-vs-pixman-src", "ours/copy", "peer/pixman_src");
  PrintSized(reporter, "fill", "ours/fill", "peer/pixman_fill");
  for (Alpha a : {Alpha::kRandom, Alpha::kSprite}) {
    const std::string kind = bw::bench::AlphaName(a);
    PrintSized(reporter, "alpha-over " + kind, "ours/alpha_over/" + kind,
               "peer/alpha_over/" + kind);
    PrintSized(reporter, "alpha-over " + kind + " 128-bit", "ours128/alpha_over/" + kind,
               "peer/alpha_over/" + kind);
  }
  PrintSized(reporter, "keyed-copy-vs-sdl", "ours/keyed_copy", "peer/keyed_copy");
  benchmark::Shutdown();
  return 0;
}
