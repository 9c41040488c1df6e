// Bitmaps as other programs write them, made into the plain form the engine's loader reads: the
// larger info headers (108 and 124 bytes) become the 40-byte one, with 32-bit BGRA bit fields as
// plain 32 bits so that alpha stays; 8-bit RLE becomes plain 8 bits, a run past a row's end (the
// padding pixel some writers add to odd widths) cut off.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bw::tools {

// False with the reason, naming what is not read; a bitmap already plain comes back as it is.
bool MakePlainBmp(const std::vector<uint8_t>& in, std::vector<uint8_t>* out, std::string* reason);

}  // namespace bw::tools
