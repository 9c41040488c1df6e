// Writes GMP screen files, and from a small text form. Fault switches make the broken files the
// readers refuse.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "resource/images/gmp_file.h"

namespace bw::tools {

enum class GmpCut {
  kNone,
  kMagic,       // inside the magic
  kBackground,  // inside the background name
  kCount,       // inside the part count
  kNameLength,  // before the last entry's name length
  kName,        // inside the last entry's name
  kRecord,      // inside the last entry's record
};

struct GmpFaults {
  bool wrongMagic = false;
  GmpCut cut = GmpCut::kNone;
  std::optional<uint16_t> count;          // written in place of the real count
  std::optional<uint8_t> lastNameLength;  // the last entry's name length, past the end
  std::optional<uint8_t> lastKind;        // the last entry's kind, unknown ones too
  bool lastAsLayerOnly = false;           // the last entry written as a 7-byte kind-0 record
};

std::vector<uint8_t> WriteGmp(const GmpFile& file, const GmpFaults& faults = {});

// The text form, one item a line ('#' starts a comment):
//   background NAME
//   part KIND X Y ALPHA VISIBLE WIDTH HEIGHT STATE NAME   (kind 0: part 0 X Y ALPHA VISIBLE NAME)
//   fault magic | fault count N | fault cut WHERE | fault namelength N | fault kind N | fault
//   layeronly
// WHERE: magic, background, count, namelength, name, record. A NAME is the rest of its line, in
// UTF-8 (stored in CP932). Answers false with a message for a line it cannot read.
[[nodiscard]] bool ParseGmpText(std::string_view text, GmpFile* file, GmpFaults* faults,
                                std::string* error);

}  // namespace bw::tools
