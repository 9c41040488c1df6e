// The sprite cross-fade's recomposition ("sp_cfade", and "sp_change" in its blend styles) at
// several picture sizes up to a 1280x720 union, sprite-like alpha, new picture a third of a width
// to the right of the old one. The peer does the same work with pixman in the same run, on the
// same pictures premultiplied (pixel_data.h), step for step: clears the union outside the old
// picture (SRC of a clear solid over the band), copies the old picture in (SRC, here through a
// solid mask of 255 - v: the engine's alpha scaling, which pixman's premultiplied pixels need in
// their colours too), fades it once more under the new picture as the engine's opacity blit
// does (IN_REVERSE of a solid of alpha 255 - v over the new picture's place), and adds the new
// picture faded in (ADD through a solid mask of v). Before timing, the two unions are checked: ours
// (straight alpha) premultiplied against pixman's within 2 per channel and 1 in alpha, wherever at
// most one picture lies; where both do, the engine mixes their straight colours by the level, which
// no premultiplied compositing does, so those pixels are not compared.
#include <pixman.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_check.h"
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

pixman_image_t* Solid(int alpha) {
  pixman_color_t color{0, 0, 0, uint16_t(alpha * 257)};
  return pixman_image_create_solid_fill(&color);
}

// The peer's union: what pixman draws, from the pairs' premultiplied pictures.
class PixmanUnion {
 public:
  explicit PixmanUnion(const Pair& pair)
      : size_(pair.size),
        w_(size_.w + size_.w / 3),
        pixels_(size_t(w_) * size_.h),
        a_(bw::bench::Premultiplied(PixelsOf(*pair.a))),
        b_(bw::bench::Premultiplied(PixelsOf(*pair.b))) {
    dst_ = pixman_image_create_bits(PIXMAN_a8r8g8b8, w_, size_.h, pixels_.data(), w_ * 4);
    a = WrapPixels(a_), b = WrapPixels(b_);
    clear_ = Solid(0), fade_ = Solid(255 - kLevel), show_ = Solid(kLevel);
  }
  ~PixmanUnion() {
    for (pixman_image_t* image : {dst_, a, b, clear_, fade_, show_}) pixman_image_unref(image);
  }
  void Draw() {
    const int w = size_.w, h = size_.h;
    // The old picture fills the union's height: only the band to its right is cleared.
    pixman_image_composite32(PIXMAN_OP_SRC, clear_, nullptr, dst_, 0, 0, 0, 0, w, 0, w_ - w, h);
    pixman_image_composite32(PIXMAN_OP_SRC, a, fade_, dst_, 0, 0, 0, 0, 0, 0, w, h);
    pixman_image_composite32(PIXMAN_OP_IN_REVERSE, fade_, nullptr, dst_, 0, 0, 0, 0, w / 3, 0, w,
                             h);
    pixman_image_composite32(PIXMAN_OP_ADD, b, show_, dst_, 0, 0, 0, 0, w / 3, 0, w, h);
  }
  const std::vector<uint32_t>& Pixels() const { return pixels_; }
  int Width() const { return w_; }

 private:
  static std::vector<uint32_t> PixelsOf(const bw::ImageSurface& s) {
    std::vector<uint32_t> out(size_t(s.GetWidth()) * s.GetHeight());
    for (int y = 0; y < s.GetHeight(); ++y) {
      std::memcpy(out.data() + size_t(y) * s.GetWidth(), s.GetRowPointer(y),
                  size_t(s.GetWidth()) * 4);
    }
    return out;
  }
  pixman_image_t* WrapPixels(std::vector<uint32_t>& pixels) {
    return pixman_image_create_bits(PIXMAN_a8r8g8b8, size_.w, size_.h, pixels.data(), size_.w * 4);
  }
  Size size_;
  int w_;
  std::vector<uint32_t> pixels_, a_, b_;
  pixman_image_t *dst_ = nullptr, *a = nullptr, *b = nullptr;
  pixman_image_t *clear_ = nullptr, *fade_ = nullptr, *show_ = nullptr;
};

uint32_t PremultipliedOf(uint32_t p) {
  const uint32_t a = p >> 24;
  uint32_t q = a << 24;
  for (int shift = 0; shift < 24; shift += 8) q |= (((p >> shift & 0xFF) * a + 127) / 255) << shift;
  return q;
}

// Both unions drawn once and compared (see the top).
std::string CheckUnions(Size size) {
  Pair pair(size);
  bw::CrossFadeComposition composition;
  composition.Build(pair.a.get(), {0, 0, size.w, size.h}, pair.placedA, pair.b.get(),
                    {0, 0, size.w, size.h}, pair.placedB);
  composition.Compose(kLevel);
  PixmanUnion peer(pair);
  peer.Draw();
  const bw::ImageSurface& ours = *composition.Surface();
  auto alphaAt = [&](const bw::ImageSurface& picture, int x, int y) -> uint32_t {
    if (x < 0 || x >= size.w) return 0;
    return picture.GetPixel(x, y) >> 24;
  };
  for (int y = 0; y < size.h; ++y) {
    for (int x = 0; x < peer.Width(); ++x) {
      const uint32_t aA = alphaAt(*pair.a, x, y), aB = alphaAt(*pair.b, x - size.w / 3, y);
      if (aA > 0 && aB > 0) continue;
      const uint32_t mine = PremultipliedOf(ours.GetPixel(x, y));
      const uint32_t theirs = peer.Pixels()[size_t(y) * peer.Width() + x];
      std::string problem = bw::bench::ComparePixels(&mine, 1, &theirs, 1, 1, 1, 2, 0x00FFFFFF);
      if (problem.empty())
        problem = bw::bench::ComparePixels(&mine, 1, &theirs, 1, 1, 1, 1, 0xFF000000u);
      if (!problem.empty())
        return "at (" + std::to_string(x) + ", " + std::to_string(y) + "): " + problem;
    }
  }
  return "";
}

bool Checked(benchmark::State& state, Size size) {
  return bw::bench::SidesAgree(state, "cfade/" + std::to_string(size.w),
                               [size] { return CheckUnions(size); });
}

void Ours(benchmark::State& state, Size size) {
  if (!Checked(state, size)) return;
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
  if (!Checked(state, size)) return;
  Pair pair(size);
  PixmanUnion peer(pair);
  for (auto _ : state) {
    peer.Draw();
    benchmark::DoNotOptimize(peer.Pixels().data());
  }
  state.SetItemsProcessed(state.iterations() * peer.Width() * size.h);
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
