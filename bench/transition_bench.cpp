// The named transitions and the numbered transitions' frames, against pixman doing the same work
// on the same pictures in the same run. The named ones at 1280x720:
//   cross    pixman SRC of the old picture, then OVER of the new (x8r8g8b8) through a solid mask
//            at the level;
//   rule     the same through an a8 mask made each frame from the rule picture by the rule's
//            table for the level (a loop written here); the rule picture is noise;
//   wipe     rule, through a diagonal rule picture as a game's wipes draw them (a sweep with a
//            little grain), the edge mid-way across;
//   tone     SRC of the old picture, then OVER of a solid colour through a solid mask;
//   wave     per row: SRC of the old row and OVER of the new row through a solid mask, both
//            shifted, and a fill of the gap;
//   rotaxis  the picture turned about its vertical axis is texture-mapped into a quad (linear
//            along each edge and each row, not in perspective), which pixman has no way to do:
//            against a plain loop written here (per row the span from the quad's edges, samples
//            stepped in 16.16 fixed point, the rest of the row cleared);
//   mosaic   two pixman SRC composites, NEAREST: the picture shrunk to one pixel a block (each
//            block's top-left pixel), then grown back.
// The numbered modes at 1280x720 and 640x360, each timed pass three frames at progress 64, 128
// and 192 (the random generator seeded alike), copying the new picture (random pixels), and at
// 1280x720 also laying it over by its alpha (draw kind 1; a sprite-like picture, premultiplied
// for pixman). The modes that draw pieces of the picture against pixman given each frame's
// pieces as clip regions: one composite per run of pieces that share an offset, SRC or OVER;
// "modes" is a sweep's total time. The cascade strips likewise. Mode 53 (a cross-fade) against
// OVER through a solid mask; 68 and 69 (a mosaic of the picture) against the two composites of
// "mosaic"; 70 (the picture inverted) against a loop written here that copies and inverts. The
// stretching modes 2, 3 and 79 to 82 have no peer and are not run. Modes 13, 22, 72, 76, 78, 85
// and 86, whose frames are a few large copies or whole rows, and the row strips also against
// memcpy of each piece's rows: the copy's bound, printed as "limit".
// Before timing, each frame a side times is checked against the other's: the copies exactly,
// the blends' colour within what rounding by 255ths against flooring by 256ths can part
// (pixel_ops_bench): 2 for the cross-fades and the tones; 3 for pieces laid over by their alpha
// (2 for one blend, but where flying blocks overlap a pixel is blended twice) and mode 53 over,
// each once more for every frame a pass lays over the one before; rotaxis, whose sides round sample
// positions their own way, each against the exact mapping (pixel_ops_bench's rotate-zoom). Prints
// "ratio <name>: <ours / peer throughput>".
#include <pixman.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "bench_check.h"
#include "bench_ratio.h"
#include "common/global.h"
#include "effects/transitions/named_transitions.h"
#include "effects/transitions/transition_dispatch.h"
#include "effects/transitions/transition_frame.h"
#include "effects/transitions/transition_random.h"
#include "effects/transitions/transition_strips.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "pixel_data.h"
#include "platform/trig_tables.h"

namespace {

constexpr uint32_t kColour = 0x00FFFFFFu;
constexpr int kLevel = 100;

struct FrameSize {
  int w, h;
  std::string Name() const { return std::to_string(w) + "x" + std::to_string(h); }
};
constexpr FrameSize kBig{1280, 720};
constexpr FrameSize kSmall{640, 360};

void Load(bw::ImageSurface& s, const std::vector<uint32_t>& pixels) {
  for (int y = 0; y < s.GetHeight(); ++y) {
    std::memcpy(s.GetRowPointer(y), pixels.data() + size_t(y) * size_t(s.GetWidth()),
                size_t(s.GetWidth()) * 4);
  }
}

std::vector<uint32_t> PixelsOf(const bw::ImageSurface& s) {
  std::vector<uint32_t> out(size_t(s.GetWidth()) * size_t(s.GetHeight()));
  for (int y = 0; y < s.GetHeight(); ++y) {
    std::memcpy(out.data() + size_t(y) * size_t(s.GetWidth()), s.GetRowPointer(y),
                size_t(s.GetWidth()) * 4);
  }
  return out;
}

std::unique_ptr<bw::ImageSurface> Picture(FrameSize size, const std::vector<uint32_t>& pixels) {
  auto s = std::make_unique<bw::ImageSurface>();
  (void)s->Create(size.w, size.h, 32, 0);
  Load(*s, pixels);
  return s;
}

// The pictures of one frame size, made once.
struct Scene {
  explicit Scene(FrameSize frame)
      : size(frame),
        start(bw::bench::RandomPixels(frame.w, frame.h, 3)),
        spritePixels(bw::bench::SpritePixels(frame.w, frame.h, 5)),
        premultiplied(bw::bench::Premultiplied(spritePixels)),
        oldImage(Picture(frame, bw::bench::RandomPixels(frame.w, frame.h, 1))),
        newImage(Picture(frame, bw::bench::RandomPixels(frame.w, frame.h, 2))),
        sprite(Picture(frame, spritePixels)),
        target(Picture(frame, start)) {
    (void)rule.Create(frame.w, frame.h, 8, 0);
    (void)wipe.Create(frame.w, frame.h, 8, 0);
    const std::vector<uint32_t> bytes = bw::bench::RandomPixels(frame.w, frame.h, 4);
    const std::vector<uint8_t> sweep = bw::bench::DiagonalRule(frame.w, frame.h);
    for (int y = 0; y < frame.h; ++y) {
      for (int x = 0; x < frame.w; ++x) {
        rule.GetRowPointer(y)[x] = uint8_t(bytes[size_t(y) * frame.w + x]);
        wipe.GetRowPointer(y)[x] = sweep[size_t(y) * frame.w + x];
      }
    }
  }
  bw::TransitionDrawArea Area() {
    return {0, 0, size.w, size.h, target.get(), 0, 0, oldImage.get(), 0, 0, newImage.get(), 0, 0};
  }
  const bw::ImageSurface& NewPicture(int kind) const {
    return kind == bw::kDrawAlpha ? *sprite : *newImage;
  }
  FrameSize size;
  std::vector<uint32_t> start, spritePixels, premultiplied;
  std::unique_ptr<bw::ImageSurface> oldImage, newImage, sprite, target;
  bw::ImageSurface rule, wipe;
  bw::TrigTables trig;
};

Scene& SceneOf(FrameSize size) {
  static Scene big(kBig), small(kSmall);
  return size.w == kBig.w ? big : small;
}

pixman_image_t* Wrap(const bw::ImageSurface& s, pixman_format_code_t format = PIXMAN_a8r8g8b8) {
  return pixman_image_create_bits(format, s.GetWidth(), s.GetHeight(),
                                  reinterpret_cast<uint32_t*>(s.GetPixels()), s.GetPitch());
}

pixman_image_t* WrapPixels(const std::vector<uint32_t>& pixels, FrameSize size) {
  return pixman_image_create_bits(PIXMAN_a8r8g8b8, size.w, size.h,
                                  const_cast<uint32_t*>(pixels.data()), size.w * 4);
}

pixman_image_t* SolidMask(int level) {
  pixman_color_t color{0, 0, 0, uint16_t(level * 257)};
  return pixman_image_create_solid_fill(&color);
}

// The check and the timing of one side: `first` draws the checked frame onto the target as it
// starts; then the timed passes of `pass`.
struct Side {
  std::string pair;
  const char* name;
  int tolerance = 0;
  uint32_t channels = ~0u;
};
template <typename First, typename Pass>
void TimeSide(benchmark::State& state, Scene& s, const Side& side, First first, Pass pass) {
  bw::ScopedGlobal<bw::TrigTables> trig(&s.trig);
  bw::ScopedPixelLibrary library(&bw::BuiltInPixelLibrary());
  Load(*s.target, s.start);
  if (!first()) return state.SkipWithError("the draw failed");
  if (!bw::bench::AgreesWithPair(state, side.pair, side.name, PixelsOf(*s.target), s.size.w,
                                 s.size.h, side.tolerance, side.channels)) {
    return;
  }
  for (auto _ : state) {
    pass();
    benchmark::ClobberMemory();
  }
  bw::bench::CountPixels(state, int64_t{s.size.w} * s.size.h);
}

// A side whose timed pass is `count` frames drawn one over another by `frame(i)`: each frame
// is checked as the pass leaves it, from the target as it starts, before the timing. A blend's
// rounding parts the sides anew in every frame, on top of what the frames before left, so the
// colour may part by the side's tolerance once for every frame drawn so far.
template <typename Frame>
void TimeFrames(benchmark::State& state, Scene& s, const Side& side, size_t count, Frame frame) {
  bw::ScopedGlobal<bw::TrigTables> trig(&s.trig);
  bw::ScopedPixelLibrary library(&bw::BuiltInPixelLibrary());
  Load(*s.target, s.start);
  for (size_t i = 0; i < count; ++i) {
    if (!frame(i)) return state.SkipWithError("the draw failed");
    const int tolerance = side.tolerance * static_cast<int>(i + 1);
    if (!bw::bench::AgreesWithPair(state, side.pair + "/frame" + std::to_string(i), side.name,
                                   PixelsOf(*s.target), s.size.w, s.size.h, tolerance,
                                   side.channels)) {
      return;
    }
  }
  for (auto _ : state) {
    for (size_t i = 0; i < count; ++i) frame(i);
    benchmark::ClobberMemory();
  }
  bw::bench::CountPixels(state, int64_t{s.size.w} * s.size.h);
}

// A side whose check frame and timed pass are the same draw.
template <typename Draw>
void TimeDraw(benchmark::State& state, Scene& s, const Side& side, Draw draw) {
  TimeSide(
      state, s, side, [&] { return draw(); }, [&] { draw(); });
}

// ---- The named transitions ----------------------------------------------------------------------

template <typename Draw>
void Ours(benchmark::State& state, const char* pair, int tolerance, uint32_t channels, Draw draw) {
  Scene& s = SceneOf(kBig);
  TimeDraw(state, s, {pair, "ours", tolerance, channels}, [&] { return draw(s) == 0; });
}

// SRC of the old picture, then OVER of source through mask.
void PeerOverOld(benchmark::State& state, const char* pair, pixman_image_t* source,
                 pixman_image_t* mask, const std::function<void()>& before = nullptr) {
  Scene& s = SceneOf(kBig);
  pixman_image_t* old = Wrap(*s.oldImage);
  pixman_image_t* dst = Wrap(*s.target);
  TimeDraw(state, s, {pair, "pixman", 2, kColour}, [&] {
    if (before) before();
    pixman_image_composite32(PIXMAN_OP_SRC, old, nullptr, dst, 0, 0, 0, 0, 0, 0, kBig.w, kBig.h);
    pixman_image_composite32(PIXMAN_OP_OVER, source, mask, dst, 0, 0, 0, 0, 0, 0, kBig.w, kBig.h);
    return true;
  });
  pixman_image_unref(old);
  pixman_image_unref(dst);
}

void PeerCross(benchmark::State& state) {
  pixman_image_t* source = Wrap(*SceneOf(kBig).newImage, PIXMAN_x8r8g8b8);
  pixman_image_t* mask = SolidMask(kLevel);
  PeerOverOld(state, "cross", source, mask);
  pixman_image_unref(mask);
  pixman_image_unref(source);
}

constexpr int kRamp = 64;
void PeerRuleThrough(benchmark::State& state, const char* pair, const bw::ImageSurface& rule) {
  const int stride = (kBig.w + 3) & ~3;
  std::vector<uint8_t> weights(size_t(stride) * kBig.h);
  pixman_image_t* source = Wrap(*SceneOf(kBig).newImage, PIXMAN_x8r8g8b8);
  pixman_image_t* mask = pixman_image_create_bits(
      PIXMAN_a8, kBig.w, kBig.h, reinterpret_cast<uint32_t*>(weights.data()), stride);
  // The rule's weight of each pixel at the level, as the rule blend takes it.
  auto makeMask = [&] {
    uint8_t table[256];
    const int threshold = kLevel * (256 + kRamp) / 255;
    for (int r = 0; r < 256; ++r)
      table[r] = uint8_t(std::clamp((threshold - r) * 255 / kRamp, 0, 255));
    for (int y = 0; y < kBig.h; ++y) {
      const uint8_t* from = rule.GetRowPointer(y);
      uint8_t* to = weights.data() + size_t(y) * stride;
      for (int x = 0; x < kBig.w; ++x) to[x] = table[from[x]];
    }
  };
  PeerOverOld(state, pair, source, mask, makeMask);
  pixman_image_unref(mask);
  pixman_image_unref(source);
}

void PeerRule(benchmark::State& state) {
  PeerRuleThrough(state, "rule", SceneOf(kBig).rule);
}
void PeerWipe(benchmark::State& state) {
  PeerRuleThrough(state, "wipe", SceneOf(kBig).wipe);
}

void PeerTone(benchmark::State& state) {
  pixman_color_t tone{0x3333, 0x6666, 0x9999, 0xFFFF};
  pixman_image_t* source = pixman_image_create_solid_fill(&tone);
  pixman_image_t* mask = SolidMask(kLevel);
  PeerOverOld(state, "tone", source, mask);
  pixman_image_unref(mask);
  pixman_image_unref(source);
}

constexpr bw::WaveFrame kWave{kLevel, 24, 3 << 9, 0, 0xFF102030u};

void PeerWave(benchmark::State& state) {
  Scene& s = SceneOf(kBig);
  pixman_image_t* old = Wrap(*s.oldImage);
  pixman_image_t* fresh = Wrap(*s.newImage, PIXMAN_x8r8g8b8);
  pixman_image_t* dst = Wrap(*s.target);
  pixman_image_t* mask = SolidMask(kLevel);
  std::vector<int> shifts(kBig.h);
  for (int y = 0; y < kBig.h; ++y) {
    const int64_t sine = s.trig.Cosine(int(((int64_t{y} * kWave.step >> 9) - 128) & 511));
    shifts[size_t(y)] = int((kWave.amplitude * sine) >> 16);
  }
  TimeDraw(state, s, {"wave", "pixman", 2, kColour}, [&] {
    for (int y = 0; y < kBig.h; ++y) {
      const int shift = shifts[size_t(y)], count = kBig.w - std::abs(shift);
      const int from = shift < 0 ? -shift : 0, to = shift > 0 ? shift : 0;
      pixman_image_composite32(PIXMAN_OP_SRC, old, nullptr, dst, from, y, 0, 0, to, y, count, 1);
      pixman_image_composite32(PIXMAN_OP_OVER, fresh, mask, dst, from, y, 0, 0, to, y, count, 1);
      const int gap = shift > 0 ? 0 : count;
      pixman_fill(reinterpret_cast<uint32_t*>(s.target->GetPixels()), s.target->GetPitch() / 4, 32,
                  gap, y, kBig.w - count, 1, kWave.gapColor);
    }
    return true;
  });
  for (pixman_image_t* image : {mask, dst, fresh, old}) pixman_image_unref(image);
}

// The corners the rotaxis draw maps the picture's to, at p 40 about axis 0, as it rounds them.
constexpr int kTurn = 40;
void TurnedCorners(const bw::TrigTables& trig, double out[4][2]) {
  const double c = trig.Cosine(kTurn) / 65536.0, s = trig.Cosine(kTurn - 128) / 65536.0;
  static constexpr double kCorners[4][2] = {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
  for (int i = 0; i < 4; ++i) {
    const double x = kCorners[i][0] * c, y = kCorners[i][1], z = -kCorners[i][0] * s;
    out[i][0] = std::trunc((2 * x / (z + 2) + 1) * kBig.w / 2);
    out[i][1] = std::trunc((1 - 2 * y / (z + 2)) * kBig.h / 2);
  }
}

// Where a row of the turned picture runs and what it samples: the quad's edges each carry the
// picture's coordinates linearly from corner to corner, and a row's samples step linearly from
// its left crossing to its right one, as a quad is texture-mapped.
struct RowSpan {
  double left = 0, right = 0, u0 = 0, v0 = 0, u1 = 0, v1 = 0;
};
class TurnedQuad {
 public:
  TurnedQuad() {
    double corners[4][2];
    TurnedCorners(SceneOf(kBig).trig, corners);
    const double picture[4][2] = {{0, 0}, {kBig.w, 0}, {0, kBig.h}, {kBig.w, kBig.h}};
    // Corners in order round the quad: top left, top right, bottom right, bottom left.
    const int round[4] = {0, 1, 3, 2};
    for (int i = 0; i < 4; ++i) {
      const int k = round[i];
      x_[i] = corners[k][0], y_[i] = corners[k][1], u_[i] = picture[k][0], v_[i] = picture[k][1];
    }
  }
  // The span of the row through y, if it crosses the quad.
  bool Span(double y, RowSpan* out) const {
    int found = 0;
    RowSpan ends[2];
    for (int i = 0; i < 4 && found < 2; ++i) {
      const int j = (i + 1) % 4;
      if (y_[i] == y_[j] || y < std::min(y_[i], y_[j]) || y >= std::max(y_[i], y_[j])) continue;
      const double t = (y - y_[i]) / (y_[j] - y_[i]);
      const double x = x_[i] + t * (x_[j] - x_[i]);
      ends[found++] = {x, x, u_[i] + t * (u_[j] - u_[i]), v_[i] + t * (v_[j] - v_[i]), 0, 0};
    }
    if (found < 2) return false;
    if (ends[0].left > ends[1].left) std::swap(ends[0], ends[1]);
    *out = {ends[0].left, ends[1].left, ends[0].u0, ends[0].v0, ends[1].u0, ends[1].v0};
    return out->right > out->left;
  }
  // The picture's coordinates at (x, y); rows beyond the quad, as far outside it as they lie.
  void Map(double x, double y, double* u, double* v) const {
    RowSpan r;
    for (int away = 0; away <= 3; ++away) {
      for (int side : {-1, 1}) {
        if (!Span(y + side * away, &r)) continue;
        const double t = (x - r.left) / (r.right - r.left);
        *u = r.u0 + t * (r.u1 - r.u0);
        *v = (r.v0 + t * (r.v1 - r.v0)) + (r.v0 + r.v1 < kBig.h ? -away : away);
        return;
      }
    }
    *u = *v = -100;
  }

 private:
  double x_[4], y_[4], u_[4], v_[4];
};

// Each side's frame against the quad: every pixel well inside it a picture pixel near where the
// quad samples (within 2 for ours, which rounds the corners to whole pixels, steps in 12.20
// fixed point and draws a row with the edges of the row below it), every one well outside it
// cleared.
bool TurnedRight(benchmark::State& state, const char* side, int reach) {
  Scene& s = SceneOf(kBig);
  return bw::bench::SidesAgree(state, std::string("rotaxis/") + side, [&] {
    const TurnedQuad quad;
    const std::vector<uint32_t> out = PixelsOf(*s.target), source = PixelsOf(*s.oldImage);
    const std::vector<uint32_t> cleared(out.size(), 0);
    return bw::bench::CheckMapped(
        {out.data(), cleared.data(), kBig.w, kBig.w, kBig.h, source.data(), kBig.w, kBig.w, kBig.h,
         reach},
        [&](double x, double y, double* u, double* v) { quad.Map(x, y, u, v); },
        [](uint32_t, uint32_t sample) { return sample; }, 0, kColour);
  });
}

void OursRotaxis(benchmark::State& state) {
  Scene& s = SceneOf(kBig);
  auto draw = [&] { return bw::DrawRotaxisTransition(s.Area(), kTurn, 0) == 0; };
  TimeSide(
      state, s, {"rotaxis/ours_run", "ours"},
      [&] { return draw() && TurnedRight(state, "ours", 2); }, draw);
}

// The turn as it is usually written: per row, the span from the quad's edges, the rest of the
// row cleared, samples stepped across the span in 16.16 fixed point.
void PlainRotaxis(benchmark::State& state) {
  Scene& s = SceneOf(kBig);
  const TurnedQuad quad;
  const auto* pixels = reinterpret_cast<const uint32_t*>(s.oldImage->GetPixels());
  const size_t pitch = size_t(s.oldImage->GetPitch()) / 4;
  auto draw = [&] {
    for (int y = 0; y < kBig.h; ++y) {
      auto* out = reinterpret_cast<uint32_t*>(s.target->GetRowPointer(y));
      RowSpan r;
      int from = 0, to = 0;
      if (quad.Span(y + 0.5, &r)) {
        from = std::clamp(int(std::ceil(r.left - 0.5)), 0, kBig.w);
        to = std::clamp(int(std::ceil(r.right - 0.5)), from, kBig.w);
      }
      std::fill(out, out + from, 0u);
      std::fill(out + to, out + kBig.w, 0u);
      if (from == to) continue;
      const double du = (r.u1 - r.u0) / (r.right - r.left), dv = (r.v1 - r.v0) / (r.right - r.left);
      auto fixed = [](double value) { return int32_t(std::lround(value * 65536)); };
      int32_t u = fixed(r.u0 + (from + 0.5 - r.left) * du),
              v = fixed(r.v0 + (from + 0.5 - r.left) * dv);
      const int32_t stepU = fixed(du), stepV = fixed(dv);
      for (int x = from; x < to; ++x, u += stepU, v += stepV) {
        const int su = std::clamp(u >> 16, 0, kBig.w - 1), sv = std::clamp(v >> 16, 0, kBig.h - 1);
        out[x] = pixels[size_t(sv) * pitch + size_t(su)];
      }
    }
  };
  TimeSide(
      state, s, {"rotaxis/plain_run", "plain"},
      [&] {
        draw();
        return TurnedRight(state, "plain", 1);
      },
      draw);
}

// A mosaic of blocks of `block` pixels whose first column and row are `first` wide, each the
// colour of its top-left pixel, by two NEAREST composites through a picture of one pixel a block.
class PixmanMosaic {
 public:
  PixmanMosaic(const bw::ImageSurface& picture, const bw::ImageSurface& target, int block,
               int firstW, int firstH)
      : w_(picture.GetWidth()), h_(picture.GetHeight()) {
    // Block k >= 1 starts at first + (k - 1) x block: a grid from first - block, whose block 0
    // samples before the picture and so, padded, its first pixel.
    const int dx = firstW - block, dy = firstH - block;
    smallW_ = (w_ - dx + block - 1) / block, smallH_ = (h_ - dy + block - 1) / block;
    small_.resize(size_t(smallW_) * smallH_);
    source_ = Wrap(picture);
    small_image_ =
        pixman_image_create_bits(PIXMAN_a8r8g8b8, smallW_, smallH_, small_.data(), smallW_ * 4);
    target_ = Wrap(target);
    pixman_transform_t down, up;
    pixman_transform_init_identity(&down);
    down.matrix[0][0] = down.matrix[1][1] = pixman_int_to_fixed(block);
    down.matrix[0][2] = pixman_double_to_fixed(dx - block * 0.5 + 0.5);
    down.matrix[1][2] = pixman_double_to_fixed(dy - block * 0.5 + 0.5);
    pixman_transform_init_identity(&up);
    up.matrix[0][0] = up.matrix[1][1] = pixman_double_to_fixed(1.0 / block);
    up.matrix[0][2] = pixman_double_to_fixed(double(-dx) / block);
    up.matrix[1][2] = pixman_double_to_fixed(double(-dy) / block);
    pixman_image_set_transform(source_, &down);
    pixman_image_set_filter(source_, PIXMAN_FILTER_NEAREST, nullptr, 0);
    pixman_image_set_repeat(source_, PIXMAN_REPEAT_PAD);
    pixman_image_set_transform(small_image_, &up);
    pixman_image_set_filter(small_image_, PIXMAN_FILTER_NEAREST, nullptr, 0);
  }
  ~PixmanMosaic() {
    for (pixman_image_t* image : {source_, small_image_, target_}) pixman_image_unref(image);
  }
  void Draw() {
    pixman_image_composite32(PIXMAN_OP_SRC, source_, nullptr, small_image_, 0, 0, 0, 0, 0, 0,
                             smallW_, smallH_);
    pixman_image_composite32(PIXMAN_OP_SRC, small_image_, nullptr, target_, 0, 0, 0, 0, 0, 0, w_,
                             h_);
  }

 private:
  int w_, h_, smallW_ = 0, smallH_ = 0;
  std::vector<uint32_t> small_;
  pixman_image_t *source_ = nullptr, *small_image_ = nullptr, *target_ = nullptr;
};

// The first block of a centred mosaic, as both the named and the numbered mosaic place it.
int CentredFirst(int extent, int block) {
  const int first = block < extent ? ((extent - block) / 2) % block : block;
  return first == 0 ? block : first;
}

constexpr int kMosaicStep = 8, kMosaicMaximum = 32;
void PeerMosaic(benchmark::State& state) {
  Scene& s = SceneOf(kBig);
  PixmanMosaic mosaic(*s.oldImage, *s.target, kMosaicStep, CentredFirst(kBig.w, kMosaicStep),
                      CentredFirst(kBig.h, kMosaicStep));
  TimeDraw(state, s, {"mosaic", "pixman"}, [&] {
    mosaic.Draw();
    return true;
  });
}

// ---- The numbered modes -------------------------------------------------------------------------

constexpr int32_t kProgress[] = {64, 128, 192};
constexpr int kModeSeed = 1234;

bool IsPieceListMode(int mode) {
  return mode != 2 && mode != 3 && mode != 53 && !(mode >= 68 && mode <= 70) &&
         !(mode >= 79 && mode <= 82);
}
bool HasPeer(int mode) {
  return mode != 2 && mode != 3 && !(mode >= 79 && mode <= 82);
}

// A frame's draw: a numbered mode, or a cascade of strips (modes below 0: -1 columns of 16,
// -2 columns of 8, -3 rows of 8).
int Draw(Scene& s, int mode, int kind, int32_t progress) {
  const bw::ImageSurface* picture = &s.NewPicture(kind);
  bw::ReseedTransitionRandom(kModeSeed);
  if (mode == -3) {
    return bw::TransitionCascadeRows(s.target.get(), picture, progress, 0, 0, true, kind, 8,
                                     nullptr);
  }
  if (mode < 0) {
    return bw::TransitionCascadeColumns(s.target.get(), picture, progress, 0, 0, true, kind,
                                        mode == -1 ? 16 : 8, nullptr);
  }
  return bw::TransitionTable()[size_t(mode)](s.target.get(), picture, progress, 0, 0, kind,
                                             nullptr);
}

// Keeps the pieces of a frame for the peer.
class PieceList : public bw::PieceSink {
 public:
  int DrawWhole(bw::TransitionFrame& f) override {
    pieces.push_back({{0, 0, f.source->GetWidth(), f.source->GetHeight()}, f.x, f.y, false, {}});
    return 0;
  }
  void DrawPiece(bw::TransitionFrame&, const bw::TransitionPiece& p) override {
    pieces.push_back(p);
  }
  std::vector<bw::TransitionPiece> pieces;
};

std::vector<bw::TransitionPiece> PiecesOf(Scene& s, int mode, int kind, int32_t progress) {
  PieceList list;
  bw::ScopedGlobal<bw::TrigTables> trig(&s.trig);
  bw::ScopedGlobal<bw::PieceSink> record(&list);
  Draw(s, mode, kind, progress);
  return std::move(list.pieces);
}

std::string ModePair(int mode, int kind, FrameSize size) {
  return "mode" + std::to_string(mode) + (kind == bw::kDrawAlpha ? "over" : "") + size.Name();
}

void OursMode(benchmark::State& state, int mode, int kind, FrameSize size) {
  Scene& s = SceneOf(size);
  const int tolerance = kind == bw::kDrawCopy ? (mode == 53 ? 2 : 0) : 3;
  TimeFrames(state, s,
             {ModePair(mode, kind, size), "ours", tolerance, kind == bw::kDrawCopy ? ~0u : kColour},
             std::size(kProgress),
             [&](size_t i) { return Draw(s, mode, kind, kProgress[i]) == 0; });
}

// A frame's pieces as pixman draws them: each run of pieces that share an offset from the
// picture to the target as one clip region, one composite over the region's extents. Pieces laid
// over by their alpha that overlap the run so far start a new run, as blending twice is not
// blending once; where the runs break is found once, before the timing.
class RegionReplay {
 public:
  RegionReplay(const std::vector<bw::TransitionPiece>& pieces, pixman_image_t* source,
               pixman_image_t* target, pixman_op_t op, FrameSize size)
      : source_(source), target_(target), op_(op) {
    std::vector<uint8_t> covered(size_t(size.w) * size.h);
    auto box = [&](const bw::TransitionPiece& p) {
      return pixman_box32_t{std::clamp(p.x, 0, size.w), std::clamp(p.y, 0, size.h),
                            std::clamp(p.x + p.source.Width(), 0, size.w),
                            std::clamp(p.y + p.source.Height(), 0, size.h)};
    };
    auto mark = [&](const pixman_box32_t& b, bool check) {
      for (int y = b.y1; y < b.y2; ++y) {
        uint8_t* row = covered.data() + size_t(y) * size.w;
        if (check && std::find(row + b.x1, row + b.x2, 1) != row + b.x2) return true;
        if (!check) std::fill(row + b.x1, row + b.x2, 1);
      }
      return false;
    };
    for (const bw::TransitionPiece& p : pieces) {
      const int32_t dx = p.x - p.source.left, dy = p.y - p.source.top;
      const pixman_box32_t b = {p.x, p.y, p.x + p.source.Width(), p.y + p.source.Height()};
      const bool overlaps = op == PIXMAN_OP_OVER && !runs_.empty() && mark(box(p), true);
      if (runs_.empty() || runs_.back().dx != dx || runs_.back().dy != dy || overlaps) {
        if (op == PIXMAN_OP_OVER) std::fill(covered.begin(), covered.end(), 0);
        runs_.push_back({dx, dy, {}});
      }
      runs_.back().boxes.push_back(b);
      if (op == PIXMAN_OP_OVER) mark(box(p), false);
    }
  }
  void Draw() {
    for (const Run& run : runs_) {
      pixman_region32_t region;
      pixman_region32_init_rects(&region, run.boxes.data(), int(run.boxes.size()));
      pixman_image_set_clip_region32(target_, &region);
      const pixman_box32_t* e = pixman_region32_extents(&region);
      pixman_image_composite32(op_, source_, nullptr, target_, e->x1 - run.dx, e->y1 - run.dy, 0, 0,
                               e->x1, e->y1, e->x2 - e->x1, e->y2 - e->y1);
      pixman_image_set_clip_region32(target_, nullptr);
      pixman_region32_fini(&region);
    }
  }

 private:
  struct Run {
    int32_t dx, dy;
    std::vector<pixman_box32_t> boxes;
  };
  std::vector<Run> runs_;
  pixman_image_t* source_;
  pixman_image_t* target_;
  pixman_op_t op_;
};

// Pixman's frames of a mode at each progress, in the way of doing that mode's work.
class PixmanFrames {
 public:
  PixmanFrames(Scene& s, int mode, int kind) {
    // The cross-fade weighs the colour alone, whatever the picture's alpha.
    source_ = kind != bw::kDrawCopy ? WrapPixels(s.premultiplied, s.size)
              : mode == 53          ? Wrap(*s.newImage, PIXMAN_x8r8g8b8)
                                    : Wrap(*s.newImage);
    target_ = Wrap(*s.target, kind == bw::kDrawCopy ? PIXMAN_a8r8g8b8 : PIXMAN_x8r8g8b8);
    for (int32_t p : kProgress) {
      if (mode == 53) {
        masks_.push_back(SolidMask(p - 1));
      } else if (mode == 68 || mode == 69) {
        const int block = ((255 - p) >> 2) + 1;
        mosaics_.push_back(std::make_unique<PixmanMosaic>(
            *s.newImage, *s.target, block, mode == 68 ? CentredFirst(s.size.w, block) : block,
            mode == 68 ? CentredFirst(s.size.h, block) : block));
      } else if (mode != 70) {
        replays_.emplace_back(PiecesOf(s, mode, kind, p), source_, target_,
                              kind == bw::kDrawCopy ? PIXMAN_OP_SRC : PIXMAN_OP_OVER, s.size);
      }
    }
    mode_ = mode;
    scene_ = &s;
  }
  ~PixmanFrames() {
    for (pixman_image_t* mask : masks_) pixman_image_unref(mask);
    pixman_image_unref(source_);
    pixman_image_unref(target_);
  }
  void Draw(size_t frame) {
    if (mode_ == 53) {
      const FrameSize& size = scene_->size;
      pixman_image_composite32(PIXMAN_OP_OVER, source_, masks_[frame], target_, 0, 0, 0, 0, 0, 0,
                               size.w, size.h);
    } else if (mode_ == 68 || mode_ == 69) {
      mosaics_[frame]->Draw();
    } else if (mode_ == 70) {
      CopyInverted(*scene_->newImage, *scene_->target);
    } else {
      replays_[frame].Draw();
    }
  }

 private:
  // The picture copied with its colour inverted, as a loop is usually written.
  static void CopyInverted(const bw::ImageSurface& from, bw::ImageSurface& to) {
    for (int y = 0; y < from.GetHeight(); ++y) {
      const auto* in = reinterpret_cast<const uint32_t*>(from.GetRowPointer(y));
      auto* out = reinterpret_cast<uint32_t*>(to.GetRowPointer(y));
      for (int x = 0; x < from.GetWidth(); ++x) out[x] = in[x] ^ 0x00FFFFFFu;
    }
  }
  int mode_ = 0;
  Scene* scene_ = nullptr;
  pixman_image_t* source_ = nullptr;
  pixman_image_t* target_ = nullptr;
  std::vector<pixman_image_t*> masks_;
  std::vector<std::unique_ptr<PixmanMosaic>> mosaics_;
  std::vector<RegionReplay> replays_;
};

void PeerMode(benchmark::State& state, int mode, int kind, FrameSize size) {
  Scene& s = SceneOf(size);
  PixmanFrames frames(s, mode, kind);
  const int tolerance = kind == bw::kDrawCopy ? (mode == 53 ? 2 : 0) : 3;
  TimeFrames(state, s,
             {ModePair(mode, kind, size), "pixman", tolerance,
              mode == 53 || kind != bw::kDrawCopy ? kColour : ~0u},
             std::size(kProgress), [&](size_t i) {
               frames.Draw(i);
               return true;
             });
}

// Each piece's rows copied with memcpy, one call per row, cut to both pictures as the blit cuts.
void MemcpyMode(benchmark::State& state, int mode) {
  Scene& s = SceneOf(kBig);
  std::vector<std::vector<bw::TransitionPiece>> frames;
  for (int32_t p : kProgress) {
    frames.push_back(PiecesOf(s, mode, bw::kDrawCopy, p));
    for (bw::TransitionPiece& piece : frames.back()) {
      const int32_t cutLeft = std::max({0, -piece.source.left, -piece.x});
      const int32_t cutTop = std::max({0, -piece.source.top, -piece.y});
      piece.source.left += cutLeft, piece.x += cutLeft, piece.source.top += cutTop,
          piece.y += cutTop;
      piece.source.right =
          std::min({piece.source.right, kBig.w, piece.source.left + (kBig.w - piece.x)});
      piece.source.bottom =
          std::min({piece.source.bottom, kBig.h, piece.source.top + (kBig.h - piece.y)});
    }
  }
  auto draw = [&](const std::vector<bw::TransitionPiece>& pieces) {
    for (const bw::TransitionPiece& p : pieces) {
      if (p.source.IsEmpty()) continue;
      const size_t bytes = size_t(p.source.Width()) * 4;
      for (int32_t j = 0; j < p.source.Height(); ++j) {
        std::memcpy(s.target->GetRowPointer(p.y + j) + size_t(p.x) * 4,
                    s.newImage->GetRowPointer(p.source.top + j) + size_t(p.source.left) * 4, bytes);
      }
    }
  };
  TimeFrames(state, s, {ModePair(mode, bw::kDrawCopy, kBig), "memcpy"}, frames.size(),
             [&](size_t i) {
               draw(frames[i]);
               return true;
             });
}

// Modes whose frames are a few large copies or whole rows, and the row strips.
constexpr int kCopyModes[] = {13, 22, 72, 76, 78, 85, 86, -3};

std::string ModeName(int mode) {
  static const char* const kStrips[] = {"", "strips columns16", "strips columns8", "strips rows8"};
  return mode < 0 ? kStrips[-mode] : "mode " + std::to_string(mode);
}
std::string RunName(const char* side, int mode, int kind, FrameSize size) {
  return std::string(side) + "/" + ModeName(mode) + (kind == bw::kDrawAlpha ? " over" : "") + " " +
         size.Name();
}

void Register(const std::string& name, void (*run)(benchmark::State&)) {
  benchmark::RegisterBenchmark(name.c_str(), run)->Unit(benchmark::kMicrosecond);
}

template <typename Draw>
void RegisterOurs(const char* pair, int tolerance, uint32_t channels, Draw draw) {
  benchmark::RegisterBenchmark((std::string("ours/") + pair).c_str(), [=](benchmark::State& s) {
    Ours(s, pair, tolerance, channels, draw);
  })->Unit(benchmark::kMicrosecond);
}

// The modes of one kind and size: a line each and the sweep's total time.
void PrintModes(const bw::bench::RatioReporter& reporter, int kind, FrameSize size) {
  double oursTotal = 0, peerTotal = 0;
  for (int mode = -3; mode < bw::kTransitionModes; ++mode) {
    if (!HasPeer(mode) || (kind == bw::kDrawAlpha && !IsPieceListMode(mode))) continue;
    const std::string ours = RunName("ours", mode, kind, size),
                      peer = RunName("pixman", mode, kind, size);
    reporter.PrintRatio(ours.substr(5), ours, peer);
    const bw::bench::RunResult* o = reporter.Find(ours);
    const bw::bench::RunResult* p = reporter.Find(peer);
    if (o && p && mode >= 0) oursTotal += o->seconds, peerTotal += p->seconds;
  }
  if (oursTotal > 0) {
    std::printf("ratio modes%s %s: %.2f\n", kind == bw::kDrawAlpha ? " over" : "",
                size.Name().c_str(), peerTotal / oursTotal);
  }
}

}  // namespace

int main(int argc, char** argv) {
  bw::BuildBlendTables();
  RegisterOurs("cross", 2, kColour,
               [](Scene& s) { return bw::DrawCrossTransition(s.Area(), kLevel); });
  Register("pixman/cross", PeerCross);
  RegisterOurs("rule", 2, kColour,
               [](Scene& s) { return bw::DrawRuleTransition(s.Area(), &s.rule, kLevel, kRamp); });
  Register("pixman/rule", PeerRule);
  RegisterOurs("wipe", 2, kColour,
               [](Scene& s) { return bw::DrawRuleTransition(s.Area(), &s.wipe, kLevel, kRamp); });
  Register("pixman/wipe", PeerWipe);
  RegisterOurs("tone", 2, kColour,
               [](Scene& s) { return bw::DrawToneTransition(s.Area(), 0x336699, kLevel); });
  Register("pixman/tone", PeerTone);
  RegisterOurs("wave", 2, kColour,
               [](Scene& s) { return bw::DrawWaveTransition(s.Area(), kWave); });
  Register("pixman/wave", PeerWave);
  Register("ours/rotaxis", OursRotaxis);
  Register("plain/rotaxis", PlainRotaxis);
  RegisterOurs("mosaic", 0, ~0u, [](Scene& s) {
    return bw::DrawMosaicTransition(s.Area(), kMosaicStep, kMosaicMaximum, 0, false);
  });
  Register("pixman/mosaic", PeerMosaic);
  for (int kind : {bw::kDrawCopy, bw::kDrawAlpha}) {
    for (FrameSize size : {kBig, kSmall}) {
      if (kind == bw::kDrawAlpha && size.w != kBig.w) continue;
      for (int mode = -3; mode < bw::kTransitionModes; ++mode) {
        if (!HasPeer(mode) || (kind == bw::kDrawAlpha && !IsPieceListMode(mode))) continue;
        benchmark::RegisterBenchmark(RunName("ours", mode, kind, size).c_str(),
                                     [=](benchmark::State& s) { OursMode(s, mode, kind, size); })
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(RunName("pixman", mode, kind, size).c_str(),
                                     [=](benchmark::State& s) { PeerMode(s, mode, kind, size); })
            ->Unit(benchmark::kMicrosecond);
      }
    }
  }
  for (int mode : kCopyModes) {
    benchmark::RegisterBenchmark(RunName("memcpy", mode, bw::kDrawCopy, kBig).c_str(),
                                 [mode](benchmark::State& s) { MemcpyMode(s, mode); })
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* name : {"cross", "rule", "wipe", "tone", "wave", "mosaic"}) {
    reporter.PrintRatio(name, std::string("ours/") + name, std::string("pixman/") + name);
  }
  reporter.PrintRatio("rotaxis-vs-plain-loop", "ours/rotaxis", "plain/rotaxis");
  for (FrameSize size : {kBig, kSmall}) PrintModes(reporter, bw::kDrawCopy, size);
  PrintModes(reporter, bw::kDrawAlpha, kBig);
  for (int mode : kCopyModes) {
    reporter.PrintLimit(ModeName(mode) + " against memcpy",
                        RunName("ours", mode, bw::kDrawCopy, kBig),
                        RunName("memcpy", mode, bw::kDrawCopy, kBig));
  }
  benchmark::Shutdown();
  return 0;
}
