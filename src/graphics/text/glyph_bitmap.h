// One rendered character (or picture glyph) as an 8-bit coverage mask, and how text steps
// through its characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace bw {

struct GlyphBitmap {
  int32_t originX = 0;  // the mask's top-left from the pen position
  int32_t originY = 0;
  int32_t advanceX = 0;  // the pen's move, turned by the angle
  int32_t advanceY = 0;
  int32_t pitch = 0;  // bytes per row, a multiple of 4
  int32_t width = 0;  // 0 for blank characters
  int32_t height = 0;
  std::vector<uint8_t> pixels;  // pitch x height, 0 transparent to 255 opaque

  const uint8_t* Row(int32_t y) const { return pixels.data() + size_t(y) * size_t(pitch); }
  bool IsBlank() const { return width <= 0 || height <= 0; }
};

// Held by the cache, a texture and whoever draws it: a glyph lives while one of them holds it.
using GlyphRef = std::shared_ptr<const GlyphBitmap>;

// Rows of 8-bit pixels padded to 4 bytes.
constexpr int32_t GlyphPitch(int32_t width) {
  return (width + 3) & ~3;
}

// The glyph grown by r = |radius| (at most 64) on every side, origin moved by -r: hard-edged,
// a pixel is set when a set pixel lies within distance r; else the soft edge mask of the
// strength. Null when out of memory.
GlyphRef MakeEdgeGlyph(const GlyphBitmap& glyph, bool hardEdged, int32_t radius, int32_t strength);

// One step of text as the outline renderer reads it.
struct TextUnit {
  enum class Kind { kChar, kNewline, kPicture };
  Kind kind = Kind::kChar;
  uint16_t code = 0;  // the character: a byte, or lead << 8 | trail
  size_t pos = 0;     // its bytes, for measuring
  size_t length = 0;
  int32_t picture = 0;  // the texture cell of "@" and its digits
};

// Picture numbers take at most this many digits; the next one is a character of its own.
constexpr int kMaxPictureDigits = 7;

// The unit that starts at pos, moving pos past it; false at the end. "@@" is a literal "@",
// "@" and up to seven digits a picture glyph, a lone "@" picture glyph 0.
bool NextTextUnit(std::string_view text, size_t& pos, TextUnit* unit);

}  // namespace bw
