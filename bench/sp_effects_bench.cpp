// The sprite cross-fade's recomposition ("sp_cfade", and "sp_change" in its blend styles) at
// several picture sizes up to a 1280x720 union, sprite-like alpha, new picture a third of a width
// to the right of the old one. The peer does the same work with pixman in the same run: clears
// the union outside the old picture (SRC of a clear solid over each band), copies the old picture
// in faded (SRC through a solid mask of 255 - v), and lays the new picture over (OVER through a
// solid mask of v).
#include <pixman.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_ratio.h"
#include "effects/sp_cfade_effect.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "pixel_data.h"

namespace {

constexpr int kLevel = 100;

struct Size {
  int w, h;
};
constexpr Size kSizes[] = {{240, 320}, {480, 640}, {960, 720}};

std::unique_ptr<bw::ImageSurface> Picture(int w, int h, uint32_t seed) {
  auto s = std::make_unique<bw::ImageSurface>();
  s->Create(w, h, 32, 0);
  s->SetHasAlpha(true);
  const std::vector<uint32_t> pixels = bw::bench::SpritePixels(w, h, seed);
  for (int y = 0; y < h; ++y)
    std::memcpy(s->GetRowPointer(y), pixels.data() + size_t(y) * w, size_t(w) * 4);
  return s;
}

struct Pair {
  explicit Pair(Size s) : size(s), a(Picture(s.w, s.h, 1)), b(Picture(s.w, s.h, 2)) {
    placedA = {0, 0, s.w, s.h};
    placedB = {s.w / 3, 0, s.w / 3 + s.w, s.h};
  }
  Size size;
  std::unique_ptr<bw::ImageSurface> a, b;
  bw::Rect placedA, placedB;
};

pixman_image_t* Wrap(const bw::ImageSurface& s) {
  return pixman_image_create_bits(PIXMAN_a8r8g8b8, s.GetWidth(), s.GetHeight(),
                                  reinterpret_cast<uint32_t*>(s.GetRowPointer(0)), s.GetPitch());
}

pixman_image_t* Solid(int alpha) {
  pixman_color_t color{0, 0, 0, uint16_t(alpha * 257)};
  return pixman_image_create_solid_fill(&color);
}

void Ours(benchmark::State& state, Size size) {
  Pair pair(size);
  bw::CrossFadeComposition composition;
  composition.Build(pair.a.get(), {0, 0, size.w, size.h}, pair.placedA, pair.b.get(),
                    {0, 0, size.w, size.h}, pair.placedB);
  for (auto _ : state) {
    composition.Compose(kLevel);
    benchmark::DoNotOptimize(composition.Surface()->GetRowPointer(0));
  }
  state.SetItemsProcessed(state.iterations() * composition.Union().Width() *
                          composition.Union().Height());
}

void Peer(benchmark::State& state, Size size) {
  Pair pair(size);
  const int w = size.w + size.w / 3, h = size.h;
  bw::ImageSurface work;
  work.Create(w, h, 32, 0);
  pixman_image_t* dst = Wrap(work);
  pixman_image_t* a = Wrap(*pair.a);
  pixman_image_t* b = Wrap(*pair.b);
  pixman_image_t* clear = Solid(0);
  pixman_image_t* fade = Solid(255 - kLevel);
  pixman_image_t* show = Solid(kLevel);
  for (auto _ : state) {
    // The old picture fills the union's height: only the band to its right is cleared.
    pixman_image_composite32(PIXMAN_OP_SRC, clear, nullptr, dst, 0, 0, 0, 0, size.w, 0, w - size.w,
                             h);
    pixman_image_composite32(PIXMAN_OP_SRC, a, fade, dst, 0, 0, 0, 0, 0, 0, size.w, h);
    pixman_image_composite32(PIXMAN_OP_OVER, b, show, dst, 0, 0, 0, 0, size.w / 3, 0, size.w, h);
    benchmark::DoNotOptimize(work.GetRowPointer(0));
  }
  state.SetItemsProcessed(state.iterations() * w * h);
  for (pixman_image_t* image : {dst, a, b, clear, fade, show}) pixman_image_unref(image);
}

std::string Name(Size s) {
  return std::to_string(s.w) + "x" + std::to_string(s.h);
}

}  // namespace

int main(int argc, char** argv) {
  bw::BuildBlendTables();
  bw::SetPixelLibrary(&bw::BuiltInPixelLibrary());
  for (const Size& size : kSizes) {
    benchmark::RegisterBenchmark(("ours/cfade/" + Name(size)).c_str(), [size](benchmark::State& s) {
      Ours(s, size);
    })->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("peer/cfade/" + Name(size)).c_str(), [size](benchmark::State& s) {
      Peer(s, size);
    })->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const Size& size : kSizes) {
    reporter.PrintRatio("sp_cfade recomposition " + Name(size), "ours/cfade/" + Name(size),
                        "peer/cfade/" + Name(size));
  }
  benchmark::Shutdown();
  return 0;
}
