#include "support/x_screen.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <map>
#include <optional>
#include <span>

#include "common/byte_reader.h"
#include "support/shell_quote.h"
#include "support/temp_dir.h"

namespace bw::test {

namespace fs = std::filesystem;

int Rgb::DistanceTo(const Rgb& other) const {
  return std::max({std::abs(r - other.r), std::abs(g - other.g), std::abs(b - other.b)});
}

Rgb Screen::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return {};
  const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(width) + x) * 3;
  if (at + 2 >= rgb.size()) return {};
  return {rgb[at], rgb[at + 1], rgb[at + 2]};
}

Rgb Screen::Ground(int left, int top, int right, int bottom) const {
  std::map<int, int> counts;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      const Rgb p = At(x, y);
      ++counts[p.r << 16 | p.g << 8 | p.b];
    }
  }
  if (counts.empty()) return {};
  const int ground =
      std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
        return a.second < b.second;
      })->first;
  return {ground >> 16, (ground >> 8) & 0xFF, ground & 0xFF};
}

int Screen::Ink(int left, int top, int right, int bottom, int threshold) const {
  const Rgb ground = Ground(left, top, right, bottom);
  int ink = 0;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) ink += At(x, y).DistanceTo(ground) > threshold ? 1 : 0;
  }
  return ink;
}

namespace {

// The dump's header: big-endian words, the first saying how long it is with the window's name.
enum XwdWord {
  kHeaderSize,
  kVersion,
  kFormat,
  kDepth,
  kWidth,
  kHeight,
  kXOffset,
  kByteOrder,
  kBitmapUnit,
  kBitOrder,
  kBitmapPad,
  kBitsPerPixel,
  kBytesPerLine,
  kVisualClass,
  kRedMask,
  kGreenMask,
  kBlueMask,
  kBitsPerRgb,
  kColormapEntries,
  kColours,
  kWords = 25,
};
constexpr uint32_t kXwdVersion = 7;
constexpr uint32_t kZPixmap = 2;
constexpr uint32_t kMostSignificantFirst = 1;
constexpr uint64_t kColourBytes = 12;
constexpr uint32_t kMaxSide = 16384;

// One channel of a pixel, as eight bits.
int Channel(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const uint32_t top = mask >> shift;
  return static_cast<int>(((pixel & mask) >> shift) * 255 / top);
}

}  // namespace

Screen ReadXwd(const fs::path& file) {
  const std::string bytes = ReadFile(file);
  ByteReader in(bytes.data(), bytes.size());
  std::array<uint32_t, kWords> header{};
  for (uint32_t& word : header) {
    const std::optional<std::span<const uint8_t>> b = in.bytes(4);
    if (!b) return {};
    word = uint32_t((*b)[0]) << 24 | uint32_t((*b)[1]) << 16 | uint32_t((*b)[2]) << 8 | (*b)[3];
  }
  const uint32_t width = header[kWidth];
  const uint32_t height = header[kHeight];
  const uint32_t pixelBytes = header[kBitsPerPixel] / 8;
  // Only what a true-colour server of 24 or 32 bits a pixel dumps.
  if (header[kVersion] != kXwdVersion || header[kFormat] != kZPixmap ||
      (header[kBitsPerPixel] != 24 && header[kBitsPerPixel] != 32) || width == 0 || height == 0 ||
      width > kMaxSide || height > kMaxSide ||
      uint64_t{header[kBytesPerLine]} < uint64_t{width} * pixelBytes ||
      !in.seek(header[kHeaderSize]) || !in.skip(header[kColours] * kColourBytes))
    return {};
  Screen screen;
  screen.rgb.reserve(size_t{width} * height * 3);
  for (uint32_t y = 0; y < height; ++y) {
    const std::optional<std::span<const uint8_t>> row = in.bytes(header[kBytesPerLine]);
    if (!row) return {};
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t pixel = 0;
      for (uint32_t i = 0; i < pixelBytes; ++i) {
        const uint32_t byte = (*row)[x * pixelBytes + i];
        pixel |= header[kByteOrder] == kMostSignificantFirst ? byte << (8 * (pixelBytes - 1 - i))
                                                             : byte << (8 * i);
      }
      for (uint32_t mask : {header[kRedMask], header[kGreenMask], header[kBlueMask]})
        screen.rgb.push_back(static_cast<uint8_t>(Channel(pixel, mask)));
    }
  }
  screen.width = static_cast<int>(width);
  screen.height = static_cast<int>(height);
  return screen;
}

Screen ShootDisplay(const std::string& display, const fs::path& file) {
  const std::string command = "DISPLAY=" + ShellQuoted(display) + " xwd -root -silent > " +
                              ShellQuoted(file.string()) + " 2>/dev/null";
  if (std::system(command.c_str()) != 0) return {};
  return ReadXwd(file);
}

}  // namespace bw::test
