// What both renderers share: what they refuse before touching their font (face names that do
// not fit the font record with their NUL, heights the glyph source cannot make), and how a
// decoration widens the measured box.
#pragma once

#include <cstdint>

#include "graphics/text/text_renderer.h"
#include "host/font/font_types.h"
#include "host/font/glyph_source.h"

namespace bw {

bool FaceNameFits(const char* faceName);
// INT_MIN too: its absolute value does not exist.
bool HeightTooLarge(int32_t height, const host::GlyphSource& source);
// The face, which must fit, with the rest of the field cleared.
void CopyFaceName(host::LOGFONTA* logFont, const char* faceName);

int32_t Clamp32(int64_t v);
// 0x00RRGGBB.
uint32_t PackedColor(TextColor color);

// A shadow adds its offsets' sizes and starts the box at its negative ones; an edge of
// edgeWidth adds it on every side.
struct Decoration {
  int style;
  int32_t shadowX, shadowY;
  int32_t edgeWidth;
};
void AddDecoration(const Decoration& decoration, int64_t* width, int64_t* height, int32_t* offsetX,
                   int32_t* offsetY);

}  // namespace bw
