#include "host/cp932.h"

#include <cstdint>
#include <optional>

#include "common/sjis.h"

namespace bw::host {
namespace {

#include "host/cp932_table.inc"

constexpr uint32_t kTrailCount = 188;  // trail bytes 0x40-0x7E and 0x80-0xFC
constexpr uint32_t kUserAreaStart = 0xE000;
constexpr uint32_t kUserAreaEnd = kUserAreaStart + 10 * kTrailCount;  // leads 0xF0-0xF9
constexpr uint32_t kHalfWidthKatakana = 0xFF61;                       // from byte 0xA1
constexpr uint32_t kReplacementChar = 0xFFFD;
constexpr uint32_t kNoCodePoint = UINT32_MAX;

int TrailIndex(uint8_t t) {
  if (t >= 0x40 && t <= 0x7E) return t - 0x40;
  if (t >= 0x80 && t <= 0xFC) return t - 0x80 + 63;
  return -1;
}

uint8_t TrailByte(uint32_t index) {
  return static_cast<uint8_t>(index < 63 ? 0x40 + index : 0x80 + index - 63);
}

// Code point of a double-byte code; 0 when it has none.
uint32_t DecodePair(uint8_t lead, uint8_t trail) {
  int t = TrailIndex(trail);
  if (t < 0) return 0;
  if (lead >= 0xF0 && lead <= 0xF9) return kUserAreaStart + (lead - 0xF0) * kTrailCount + t;
  uint8_t row = kDecodeRowOfLead[lead];
  return row ? kDecodeRows[row - 1][t] : 0;
}

// CP932 code of a code point: a byte below 0x100, else lead << 8 | trail; -1 when it has none.
int EncodeCodePoint(uint32_t u) {
  if (u < 0x80) return static_cast<int>(u);
  if (u >= kHalfWidthKatakana && u <= kHalfWidthKatakana + (0xDF - 0xA1)) {
    return static_cast<int>(u - kHalfWidthKatakana + 0xA1);
  }
  if (u >= kUserAreaStart && u < kUserAreaEnd) {
    uint32_t index = u - kUserAreaStart;
    return static_cast<int>((0xF0 + index / kTrailCount) << 8 | TrailByte(index % kTrailCount));
  }
  if (u > 0xFFFF) return -1;
  uint8_t page = kEncodePageOfHigh[u >> 8];
  uint16_t code = page ? kEncodePages[page - 1][u & 0xFF] : 0;
  return code ? code : -1;
}

void AppendUtf8(std::string& out, uint32_t u) {
  if (u < 0x80) {
    out += static_cast<char>(u);
  } else if (u < 0x800) {
    out += static_cast<char>(0xC0 | u >> 6);
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else {  // every CP932 character lies in the BMP
    out += static_cast<char>(0xE0 | u >> 12);
    out += static_cast<char>(0x80 | (u >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
}

// Reads the character at pos: its code point and length, or kNoCodePoint and the number of bytes
// that make one malformed piece (at least 1).
struct Step {
  uint32_t codePoint;
  size_t length;
};

Step DecodeCp932At(std::string_view in, size_t pos) {
  auto b = static_cast<uint8_t>(in[pos]);
  if (b < 0x80) return {b, 1};
  if (b >= 0xA1 && b <= 0xDF) return {kHalfWidthKatakana + (b - 0xA1), 1};
  if (!sjis::IsLeadByte(b) || pos + 1 == in.size()) return {kNoCodePoint, 1};
  auto trail = static_cast<uint8_t>(in[pos + 1]);
  if (uint32_t u = DecodePair(b, trail)) return {u, 2};
  // An ASCII byte after a broken lead is kept as itself.
  return {kNoCodePoint, trail < 0x80 ? size_t{1} : size_t{2}};
}

Step DecodeUtf8At(std::string_view in, size_t pos) {
  auto at = [&](size_t i) { return pos + i < in.size() ? static_cast<uint8_t>(in[pos + i]) : 0; };
  uint8_t b0 = at(0);
  if (b0 < 0x80) return {b0, 1};
  size_t length;
  uint32_t u;
  uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2, u = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3, u = b0 & 0x0F;
    if (b0 == 0xE0) low = 0xA0;   // overlong
    if (b0 == 0xED) high = 0x9F;  // surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4, u = b0 & 0x07;
    if (b0 == 0xF0) low = 0x90;   // overlong
    if (b0 == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return {kNoCodePoint, 1};
  }
  for (size_t i = 1; i < length; ++i) {
    uint8_t c = at(i);  // 0 past the end, which no range takes
    if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF)) return {kNoCodePoint, i};
    u = u << 6 | (c & 0x3F);
  }
  return {u, length};
}

void AppendCp932(std::string& out, int code) {
  if (code >= 0x100) out += static_cast<char>(code >> 8);
  out += static_cast<char>(code & 0xFF);
}

// Strict: stops at the first failure. Lenient: puts U+FFFD in its place and goes on.
Cp932Conversion Decode(std::string_view in, bool strict) {
  Cp932Conversion r;
  r.text.reserve(in.size());
  for (size_t pos = 0; pos < in.size();) {
    Step s = DecodeCp932At(in, pos);
    if (s.codePoint == kNoCodePoint) {
      if (strict) {
        r.errorOffset = pos;
        return r;
      }
      s.codePoint = kReplacementChar;
    }
    AppendUtf8(r.text, s.codePoint);
    pos += s.length;
  }
  r.ok = true;
  return r;
}

// Without a mode: stops at the first failure.
Cp932Conversion Encode(std::string_view in, std::optional<Unmappable> lenient) {
  Cp932Conversion r;
  r.text.reserve(in.size());
  for (size_t pos = 0; pos < in.size();) {
    Step s = DecodeUtf8At(in, pos);
    int code = s.codePoint == kNoCodePoint ? -1 : EncodeCodePoint(s.codePoint);
    if (code >= 0) {
      AppendCp932(r.text, code);
    } else if (!lenient) {
      r.errorOffset = pos;
      return r;
    } else if (*lenient == Unmappable::kReplace) {
      r.text += '?';
    }
    pos += s.length;
  }
  r.ok = true;
  return r;
}

}  // namespace

Cp932Conversion Cp932ToUtf8(std::string_view cp932) {
  return Decode(cp932, true);
}
std::string Cp932ToUtf8Lenient(std::string_view cp932) {
  return Decode(cp932, false).text;
}
Cp932Conversion Utf8ToCp932(std::string_view utf8) {
  return Encode(utf8, std::nullopt);
}
std::string Utf8ToCp932Lenient(std::string_view utf8, Unmappable mode) {
  return Encode(utf8, mode).text;
}

}  // namespace bw::host
