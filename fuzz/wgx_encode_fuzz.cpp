// The WGX writer on arbitrary pictures: whatever it writes, the engine's loader must decode to the
// very pixels it was given, in every depth and header form.
//
// Input: byte 0 picks the depth (value % 3: 8, 24, 32), the form ((value / 3) % 3) and, bit
// (value / 9) & 1, whether colour pixels take four input bytes each; byte 1 is the width, byte 2
// the height, byte 3 a seed for the palette, the colours and the offsets. The rest, repeated as
// often as the picture needs, gives one unit per byte (an index, or a colour from the seed's
// table) or four bytes per colour pixel.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "lib/wgx/wgx_writer.h"
#include "resource/images/wgx_loader.h"

namespace {

constexpr size_t kMaxUnits = size_t{1} << 16;

void Check(bool condition) {
  if (!condition) std::abort();
}

uint32_t Mix(uint32_t seed, uint32_t value) {
  uint32_t h = (seed + 1) * 0x9E3779B1u ^ value * 0x85EBCA77u;
  return h ^ h >> 15;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int depths[] = {8, 24, 32};
  const int depth = depths[data[0] % 3];
  const int form = data[0] / 3 % 3;
  const bool wide = (data[0] / 9 & 1) != 0;
  const uint32_t seed = data[3];
  std::span<const uint8_t> units(data + 4, size - 4);
  auto unit = [&](size_t k) -> uint32_t { return units.empty() ? 0 : units[k % units.size()]; };

  bw::tools::WgxPicture picture;
  picture.depth = depth;
  picture.width = data[1];
  picture.height = data[2];
  if (picture.width && size_t{picture.width} * picture.height > kMaxUnits) {
    picture.height = static_cast<uint32_t>(kMaxUnits / picture.width);
  }
  const size_t count = size_t{picture.width} * picture.height;
  picture.pixels.resize(count);
  for (size_t k = 0; k < count; ++k) {
    uint32_t p;
    if (depth == 8) {
      p = unit(k);
    } else if (wide) {
      p = unit(4 * k) | unit(4 * k + 1) << 8 | unit(4 * k + 2) << 16 | unit(4 * k + 3) << 24;
    } else {
      p = Mix(seed, unit(k));
    }
    picture.pixels[k] = depth == 24 ? p & 0xFFFFFF : p;
  }
  if (depth == 8) {
    for (uint32_t i = 0; i < 256; ++i) picture.palette.push_back(Mix(seed, i) & 0xFFFFFF);
  }
  picture.offsetX = static_cast<int16_t>(Mix(seed, 0x100));
  picture.offsetY = static_cast<int16_t>(Mix(seed, 0x200));
  size_t extra = 0;
  if (form == 2) {
    picture.chunks.emplace_back(units.begin(), units.begin() + std::min<size_t>(units.size(), 6));
    if (seed & 1) picture.chunks.emplace_back();
    for (const auto& chunk : picture.chunks) extra += 1 + 4 + chunk.size();
  }

  bw::tools::WgxWriteOptions options;
  options.form = form;
  const std::vector<uint8_t> file = bw::tools::WriteWgx(picture, options);

  bw::WgxLoader loader;
  bw::DibImage dib;
  Check(loader.LoadToBuffers(file, dib) == bw::kWgxDone);
  Check(dib.bits == depth && uint32_t(dib.width) == picture.width && dib.Rows() == picture.height);
  Check(form == 0 ? dib.offsetX == 0 && dib.offsetY == 0
                  : dib.offsetX == picture.offsetX && dib.offsetY == picture.offsetY);
  Check(loader.GetPaletteCount() == extra);
  if (depth == 8) Check(dib.palette == picture.palette);
  for (uint32_t y = 0; y < picture.height; ++y) {
    const uint8_t* row = dib.Row(y);
    for (uint32_t x = 0; x < picture.width; ++x) {
      uint32_t got = 0;
      std::memcpy(&got, row + size_t{x} * (depth / 8), depth / 8);
      Check(got == picture.pixels[size_t{y} * picture.width + x]);
    }
  }
  return 0;
}
