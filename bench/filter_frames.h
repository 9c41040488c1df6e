// The frames the filter and ripple benchmarks draw: a layer and its old, new and target
// pictures (sprite-like alpha in the old one, random pixels in the new) at each frame size, made
// once; and the timing loop that counts the frame's pixels.
#pragma once

#include <pixman.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "effects/filter_effect.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "pixel_data.h"

namespace bw::bench {

struct FrameSize {
  int w, h;
  std::string Name() const { return std::to_string(w) + "x" + std::to_string(h); }
};
constexpr FrameSize kFrameSizes[] = {{640, 360}, {1280, 720}};

struct FilterFrame {
  explicit FilterFrame(FrameSize size) : w(size.w), h(size.h) {
    BuildBlendTables();
    (void)layer.Create(w, h, 32, false);
    for (ImageSurface* s : {&before, &after, &target}) (void)s->Create(w, h, 32, 0);
    Fill(before, SpritePixels(w, h, 1));
    Fill(after, RandomPixels(w, h, 2));
  }
  FilterDrawRequest Request() {
    FilterDrawRequest r;
    r.width = w, r.height = h;
    r.target = &target, r.oldImage = &before, r.newImage = &after;
    return r;
  }
  pixman_image_t* Wrap(ImageSurface& s, pixman_format_code_t format = PIXMAN_a8r8g8b8) const {
    return pixman_image_create_bits(format, w, h, reinterpret_cast<uint32_t*>(s.GetPixels()),
                                    s.GetPitch());
  }
  static void Fill(ImageSurface& s, const std::vector<uint32_t>& pixels) {
    for (int y = 0; y < s.GetHeight(); ++y) {
      std::memcpy(s.GetRowPointer(y), pixels.data() + size_t(y) * size_t(s.GetWidth()),
                  size_t(s.GetWidth()) * 4);
    }
  }

  int w, h;
  OffscreenLayer layer;
  ImageSurface before, after, target;
};

// The frame of one size, made on first use; Frame is FilterFrame or a class built on it.
template <typename Frame>
Frame& FrameOf(FrameSize size) {
  static std::unique_ptr<Frame> frames[2];
  std::unique_ptr<Frame>& f = frames[size.w == kFrameSizes[0].w ? 0 : 1];
  if (!f) f = std::make_unique<Frame>(size);
  return *f;
}

template <typename Body>
void FrameLoop(benchmark::State& state, const FilterFrame& f, Body body) {
  for (auto _ : state) {
    body();
    benchmark::ClobberMemory();
  }
  CountPixels(state, int64_t{f.w} * f.h);
}

}  // namespace bw::bench
