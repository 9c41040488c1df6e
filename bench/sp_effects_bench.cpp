// The sprite cross-fade's recomposition ("sp_cfade", and "sp_change" in its blend styles) at
// several picture sizes up to a 1280x720 union, sprite-like alpha, new picture a third of a width
// to the right of the old one. The peer cross-fades the same pictures premultiplied
// (pixel_data.h) with pixman in the same run, as a pixman user would: the old picture laid once
// into a union-wide picture (clear around it), then per frame one composite of it through a solid
// mask of 255 - v (SRC) and one of the new picture through a solid mask of v (ADD) over its place.
// Before timing, every pixel of both unions is checked: ours, by the vector kernel set, against
// the same union made by the plain set (which the engine's formulas define) exactly; pixman's
// against the premultiplied cross-fade worked out here, within 2 per channel; and where only one
// picture's place lies, ours premultiplied against pixman's within 2 per channel and 1 in alpha
// (where both places do, the engine fades the old picture's alpha twice and mixes straight
// colours by the level, which no premultiplied compositing does).
#include <pixman.h>

#include <algorithm>
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
#include "platform/mmx_flag.h"

namespace {

constexpr int kLevel = 100;

struct Size {
  int w, h;
};
constexpr Size kSizes[] = {{240, 320}, {480, 640}, {960, 720}};

std::unique_ptr<bw::ImageSurface> Picture(int w, int h, uint32_t seed) {
  auto s = std::make_unique<bw::ImageSurface>();
  (void)s->Create(w, h, 32, 0);
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
        a_(size_t(w_) * size_.h, 0),
        b_(bw::bench::Premultiplied(PixelsOf(*pair.b))) {
    const std::vector<uint32_t> old = bw::bench::Premultiplied(PixelsOf(*pair.a));
    for (int y = 0; y < size_.h; ++y) {
      std::memcpy(a_.data() + size_t(y) * w_, old.data() + size_t(y) * size_.w,
                  size_t(size_.w) * 4);
    }
    dst_ = Wrap(pixels_, w_);
    a = Wrap(a_, w_), b = Wrap(b_, size_.w);
    fade_ = Solid(255 - kLevel), show_ = Solid(kLevel);
  }
  ~PixmanUnion() {
    for (pixman_image_t* image : {dst_, a, b, fade_, show_}) pixman_image_unref(image);
  }
  void Draw() {
    const int w = size_.w, h = size_.h;
    pixman_image_composite32(PIXMAN_OP_SRC, a, fade_, dst_, 0, 0, 0, 0, 0, 0, w_, h);
    pixman_image_composite32(PIXMAN_OP_ADD, b, show_, dst_, 0, 0, 0, 0, w / 3, 0, w, h);
  }
  const std::vector<uint32_t>& Pixels() const { return pixels_; }
  int Width() const { return w_; }
  // The old picture laid in the union, and the new one, premultiplied.
  uint32_t OldAt(int x, int y) const { return a_[size_t(y) * w_ + x]; }
  uint32_t NewAt(int x, int y) const {
    x -= size_.w / 3;
    return x < 0 || x >= size_.w ? 0 : b_[size_t(y) * size_.w + x];
  }

 private:
  static std::vector<uint32_t> PixelsOf(const bw::ImageSurface& s) {
    std::vector<uint32_t> out(size_t(s.GetWidth()) * s.GetHeight());
    for (int y = 0; y < s.GetHeight(); ++y) {
      std::memcpy(out.data() + size_t(y) * s.GetWidth(), s.GetRowPointer(y),
                  size_t(s.GetWidth()) * 4);
    }
    return out;
  }
  pixman_image_t* Wrap(std::vector<uint32_t>& pixels, int width) {
    return pixman_image_create_bits(PIXMAN_a8r8g8b8, width, size_.h, pixels.data(), width * 4);
  }
  Size size_;
  int w_;
  std::vector<uint32_t> pixels_, a_, b_;
  pixman_image_t *dst_ = nullptr, *a = nullptr, *b = nullptr;
  pixman_image_t *fade_ = nullptr, *show_ = nullptr;
};

uint32_t PremultipliedOf(uint32_t p) {
  const uint32_t a = p >> 24;
  uint32_t q = a << 24;
  for (int shift = 0; shift < 24; shift += 8) q |= (((p >> shift & 0xFF) * a + 127) / 255) << shift;
  return q;
}

// Our union, composed by the kernel set asked for.
std::vector<uint32_t> OurUnion(const Pair& pair, bool vector) {
  bw::ScopedMmxFlag flag(vector);
  bw::CrossFadeComposition composition;
  (void)composition.Build(pair.a.get(), {0, 0, pair.size.w, pair.size.h}, pair.placedA,
                          pair.b.get(), {0, 0, pair.size.w, pair.size.h}, pair.placedB);
  composition.Compose(kLevel);
  const bw::ImageSurface& s = *composition.Surface();
  std::vector<uint32_t> out;
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int x = 0; x < s.GetWidth(); ++x) out.push_back(s.GetPixel(x, y));
  return out;
}

// The premultiplied cross-fade of two pixels by the level, channel by channel.
uint32_t CrossFaded(uint32_t old, uint32_t fresh) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t c =
        ((old >> shift & 0xFF) * (255 - kLevel) + (fresh >> shift & 0xFF) * kLevel + 127) / 255;
    out |= std::min(c, 255u) << shift;
  }
  return out;
}

std::string At(int x, int y, const std::string& problem) {
  return "at (" + std::to_string(x) + ", " + std::to_string(y) + "): " + problem;
}

// Both unions drawn once and every pixel compared (see the top).
std::string CheckUnions(Size size) {
  Pair pair(size);
  const std::vector<uint32_t> ours = OurUnion(pair, true), plain = OurUnion(pair, false);
  PixmanUnion peer(pair);
  peer.Draw();
  const int w = peer.Width();
  if (ours.size() != size_t(w) * size.h) return "our union is not the union's size";
  for (int y = 0; y < size.h; ++y) {
    for (int x = 0; x < w; ++x) {
      const size_t at = size_t(y) * w + x;
      std::string problem = bw::bench::ComparePixels(&ours[at], 1, &plain[at], 1, 1, 1);
      if (!problem.empty()) return At(x, y, "ours against the plain kernels: " + problem);
      const uint32_t theirs = peer.Pixels()[at];
      const uint32_t expected = CrossFaded(peer.OldAt(x, y), peer.NewAt(x, y));
      problem = bw::bench::ComparePixels(&theirs, 1, &expected, 1, 1, 1, 2);
      if (!problem.empty()) return At(x, y, "pixman against the cross-fade: " + problem);
      if (x >= size.w / 3 && x < size.w) continue;
      const uint32_t mine = PremultipliedOf(ours[at]);
      problem = bw::bench::ComparePixels(&mine, 1, &theirs, 1, 1, 1, 2, 0x00FFFFFF);
      if (problem.empty())
        problem = bw::bench::ComparePixels(&mine, 1, &theirs, 1, 1, 1, 1, 0xFF000000u);
      if (!problem.empty()) return At(x, y, "ours against pixman: " + problem);
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
  (void)composition.Build(pair.a.get(), {0, 0, size.w, size.h}, pair.placedA, pair.b.get(),
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
  (void)bw::SetPixelLibrary(&bw::BuiltInPixelLibrary());
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
