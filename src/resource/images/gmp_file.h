// GMP screen files: a background picture and a table of parts, each a picture placed with a
// kind, an alpha, a visibility and the size of one state picture. The whole table is read and
// checked here before any loader makes a thing of it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace bw {

// Load results shared by the GMP loaders.
constexpr int kGmpLoaded = 0;
constexpr int kGmpBadArguments = 1;
constexpr int kGmpCannotRead = 2;
constexpr int kGmpBadFile = 3;  // wrong magic, or the table runs past the end
constexpr int kGmpNoBackground = 4;
constexpr int kGmpBackgroundRefused = 5;
constexpr int kGmpPartFailedFirst = 6;  // 6 to 11 by the failed part's kind
constexpr int kGmpUnknownKind = 12;

constexpr uint8_t kGmpLayerOnly = 0;  // a picture without a part; only the layer loader takes it
constexpr uint8_t kGmpLastKind = 9;

struct GmpEntry {
  std::string name;  // CP932, relative to the GMP file's folder
  uint8_t kind = 0;
  int16_t x = 0;
  int16_t y = 0;
  uint8_t alpha = 255;
  bool visible = true;
  // Kind 0 carries none of these.
  uint16_t width = 0;
  uint16_t height = 0;
  uint8_t stateCode = 0;
};

struct GmpFile {
  std::string background;  // empty: none
  std::vector<GmpEntry> entries;
};

// kGmpLoaded, kGmpBadFile, or kGmpUnknownKind for a kind past 9 (and for kind 0 unless
// layerOnlyAllowed).
[[nodiscard]] int ParseGmp(std::span<const uint8_t> bytes, bool layerOnlyAllowed, GmpFile* out);

// The state code by which a part of the kind starts with its extra state picture.
uint8_t GmpFullStateCode(uint8_t kind);

// The result for a part of the kind that could not be made (6 to 11).
int GmpPartFailure(uint8_t kind);

}  // namespace bw
