// A sheet of text samples drawn with the engine's renderers on the installed faces: Japanese
// lines plain, shadowed, edged, graded, bold and italic, a vertical "@" column, picture glyphs,
// GDI text hard-edged and smoothed with an underline and an opaque back, a text layer, and a
// compiled message drawn by the main script's message text object. Each
// sample reports the box its text measures, so that what it inks can be checked against it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/surface/image_surface.h"
#include "platform/rect.h"

namespace bw::tools {

constexpr int32_t kSheetWidth = 640;
constexpr int32_t kSheetHeight = 440;
constexpr uint32_t kSheetBackground = 0x00303840;

struct TextSample {
  std::string name;
  Rect box;  // on the sheet
};

// Makes sheet a 32-bit kSheetWidth x kSheetHeight image and draws every sample; false (with
// the failing sample's name in error) when a renderer or a sample cannot be made.
bool DrawTextSheet(ImageSurface* sheet, std::vector<TextSample>* samples, std::string* error);

// The sheet as a 24-bit top-down BMP file; empty when it cannot be written.
std::vector<uint8_t> SheetBmp(const ImageSurface& sheet);

}  // namespace bw::tools
