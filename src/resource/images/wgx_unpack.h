// Unpacking of WGX byte-code streams. Each routine reads one stream from the reader's position,
// writes exactly the units the picture holds, and on success leaves the reader after the
// stream's end code, where the next stream begins.
//
// A stream is refused with kWgxBadStream when it runs past the picture or the input, reaches
// back before the first unit written (or above the top row), ends before the picture is full,
// or has no end code. An output that cannot hold the picture is refused with kWgxBadOutput.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "common/byte_reader.h"

namespace bw {

constexpr int kWgxBadStream = 3;
constexpr int kWgxBadOutput = 6;

// The most units one input byte can produce (the long 8-bit fill: 3 bytes for 8,226 units).
// A picture larger than this many times the remaining input cannot be a valid stream.
constexpr uint64_t kWgxMaxUnitsPerByte = 2742;

// 8-bit streams.
[[nodiscard]] int WgxUnpack8(ByteReader& in, std::span<uint8_t> out);
[[nodiscard]] int WgxUnpack8ToDib(ByteReader& in, std::span<uint8_t> dib, uint32_t width,
                                  uint32_t height, size_t pitch);
[[nodiscard]] int WgxUnpack8Rows(ByteReader& in, std::span<uint8_t> rows, uint32_t width,
                                 uint32_t height, size_t pitch);
[[nodiscard]] int WgxUnpackAlphaToDib(ByteReader& in, std::span<uint8_t> dib, uint32_t width,
                                      uint32_t height, size_t pitch);
[[nodiscard]] int WgxUnpackAlpha(ByteReader& in, std::span<uint32_t> pixels);
// Each index becomes the palette entry's colour bits with the given alpha byte on top.
[[nodiscard]] int WgxUnpackPaletteTo32(ByteReader& in, std::span<uint32_t> pixels,
                                       std::span<const uint32_t, 256> palette, uint8_t alpha);

// 24-bit streams. Row references need the picture's width; the outputs hold width x height units.
[[nodiscard]] int WgxUnpack24ToDib(ByteReader& in, std::span<uint8_t> dib, uint32_t width,
                                   uint32_t height, size_t pitch);
[[nodiscard]] int WgxUnpack24To32Dib(ByteReader& in, std::span<uint8_t> dib, uint32_t width,
                                     uint32_t height, size_t pitch);
[[nodiscard]] int WgxUnpack24To32(ByteReader& in, std::span<uint32_t> pixels, uint32_t width,
                                  uint32_t height);
[[nodiscard]] int WgxUnpack24ToGrey(ByteReader& in, std::span<uint8_t> out, uint32_t width,
                                    uint32_t height);
[[nodiscard]] int WgxUnpack24Rows(ByteReader& in, std::span<uint8_t> rows, uint32_t width,
                                  uint32_t height, size_t pitch);

// (77 R + 150 G + 29 B) >> 8, the grey of the 24-bit grey routines.
inline uint8_t WgxGrey(uint8_t b, uint8_t g, uint8_t r) {
  return static_cast<uint8_t>((77 * r + 150 * g + 29 * b) >> 8);
}

}  // namespace bw
