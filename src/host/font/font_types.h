// The records and constants of the engine's font calls, with the layouts and values it was
// written against: the font description, text metrics, glyph metrics and the glyph transform.
// Face names are CP932 bytes.
#pragma once

#include <cstdint>

namespace bw::host {

constexpr int kLfFaceSize = 32;

struct LOGFONTA {
  int32_t lfHeight = 0;       // < 0: character height; > 0: cell height; 0: the default size
  int32_t lfWidth = 0;        // average character width; 0: as the face is drawn
  int32_t lfEscapement = 0;   // tenths of a degree, counter-clockwise
  int32_t lfOrientation = 0;  // follows lfEscapement for outline faces
  int32_t lfWeight = 0;       // 0 (don't care) or 100-900
  uint8_t lfItalic = 0;
  uint8_t lfUnderline = 0;
  uint8_t lfStrikeOut = 0;
  uint8_t lfCharSet = 0;
  uint8_t lfOutPrecision = 0;
  uint8_t lfClipPrecision = 0;
  uint8_t lfQuality = 0;
  uint8_t lfPitchAndFamily = 0;
  char lfFaceName[kLfFaceSize] = {};  // CP932; need not be terminated when all 32 bytes are used
};
static_assert(sizeof(LOGFONTA) == 60);

struct TEXTMETRICA {
  int32_t tmHeight = 0;
  int32_t tmAscent = 0;
  int32_t tmDescent = 0;
  int32_t tmInternalLeading = 0;
  int32_t tmExternalLeading = 0;
  int32_t tmAveCharWidth = 0;
  int32_t tmMaxCharWidth = 0;
  int32_t tmWeight = 0;
  int32_t tmOverhang = 0;
  int32_t tmDigitizedAspectX = 0;
  int32_t tmDigitizedAspectY = 0;
  uint8_t tmFirstChar = 0;
  uint8_t tmLastChar = 0;
  uint8_t tmDefaultChar = 0;
  uint8_t tmBreakChar = 0;
  uint8_t tmItalic = 0;
  uint8_t tmUnderlined = 0;
  uint8_t tmStruckOut = 0;
  uint8_t tmPitchAndFamily = 0;  // TMPF_* bits and the family
  uint8_t tmCharSet = 0;
};
static_assert(sizeof(TEXTMETRICA) == 56);

// Where a glyph's black box sits, y up from the baseline.
struct GlyphPoint {
  int32_t x = 0;
  int32_t y = 0;
};

struct GLYPHMETRICS {
  uint32_t gmBlackBoxX = 0;
  uint32_t gmBlackBoxY = 0;
  GlyphPoint gmptGlyphOrigin;  // top-left of the black box from the pen position, y up
  int16_t gmCellIncX = 0;      // the pen's move, turned by the escapement, y up
  int16_t gmCellIncY = 0;
};
static_assert(sizeof(GLYPHMETRICS) == 20);

// A 16.16 fixed-point number as two halves.
struct FIXED {
  uint16_t fract = 0;
  int16_t value = 0;
};

// The glyph transform [eM11 eM12; eM21 eM22], applied to the outline in y-up glyph space.
struct MAT2 {
  FIXED eM11{0, 1};
  FIXED eM12{0, 0};
  FIXED eM21{0, 0};
  FIXED eM22{0, 1};
};
static_assert(sizeof(MAT2) == 16);

constexpr FIXED FixedFromInt(int16_t v) {
  return FIXED{0, v};
}
constexpr int32_t FixedToRaw(FIXED f) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(f.value)) << 16 |
                              f.fract);
}

// Weights.
constexpr int32_t FW_DONTCARE = 0;
constexpr int32_t FW_NORMAL = 400;
constexpr int32_t FW_SEMIBOLD = 600;
constexpr int32_t FW_BOLD = 700;

// Character sets.
constexpr uint8_t ANSI_CHARSET = 0;
constexpr uint8_t DEFAULT_CHARSET = 1;
constexpr uint8_t SHIFTJIS_CHARSET = 128;

// lfPitchAndFamily: pitch in the low two bits, family in the high nibble.
constexpr uint8_t DEFAULT_PITCH = 0;
constexpr uint8_t FIXED_PITCH = 1;
constexpr uint8_t VARIABLE_PITCH = 2;
constexpr uint8_t FF_ROMAN = 0x10;
constexpr uint8_t FF_SWISS = 0x20;
constexpr uint8_t FF_MODERN = 0x30;

// tmPitchAndFamily bits (TMPF_FIXED_PITCH set means the pitch is variable).
constexpr uint8_t TMPF_FIXED_PITCH = 0x01;
constexpr uint8_t TMPF_VECTOR = 0x02;
constexpr uint8_t TMPF_TRUETYPE = 0x04;

// Precision and quality values of enumerated outline faces.
constexpr uint8_t OUT_STROKE_PRECIS = 3;
constexpr uint8_t CLIP_STROKE_PRECIS = 2;
constexpr uint8_t DRAFT_QUALITY = 1;
constexpr uint8_t NONANTIALIASED_QUALITY = 3;
constexpr uint8_t ANTIALIASED_QUALITY = 4;
constexpr uint8_t CLEARTYPE_QUALITY = 5;

// Font types of the enumeration.
constexpr uint32_t RASTER_FONTTYPE = 0x0001;
constexpr uint32_t DEVICE_FONTTYPE = 0x0002;
constexpr uint32_t TRUETYPE_FONTTYPE = 0x0004;

// Glyph formats; the grey formats give 5, 17 and 65 levels (0..4, 0..16, 0..64).
constexpr uint32_t GGO_METRICS = 0;
constexpr uint32_t GGO_BITMAP = 1;
constexpr uint32_t GGO_GRAY2_BITMAP = 4;
constexpr uint32_t GGO_GRAY4_BITMAP = 5;
constexpr uint32_t GGO_GRAY8_BITMAP = 6;

constexpr uint32_t GDI_ERROR = 0xFFFFFFFF;

}  // namespace bw::host
