// The CP932 <-> UTF-8 codec of the host boundary (window titles, message boxes, file names,
// fonts, typed text). It gives the answers of glibc's iconv "CP932": 0x5C is the backslash and
// 0x7E the tilde, half-width katakana at 0xA1-0xDF, NEC row 13, both copies of the IBM
// extensions, and the user-defined area 0xF040-0xF9FC at U+E000. Where a code point has several
// CP932 codes the encoder picks glibc's; a few code points encode one way only (U+00A5 to 0x5C,
// U+2014 to 0x815C, ...), as in glibc. Among them are the JIS forms that Linux text uses for
// CP932's characters: U+301C to 0x8160, U+2016 to 0x8161, U+2212 to 0x817C, and U+00A2, U+00A3,
// U+00AC to 0x8191, 0x8192, 0x81CA; those codes decode to the full-width forms.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace bw::host {

// The answer of a strict conversion. On failure, text holds what was converted before the
// first input byte that could not be, and errorOffset is that byte's offset in the input.
struct Cp932Conversion {
  bool ok = false;
  size_t errorOffset = 0;
  std::string text;
};

// Strict: fails at a byte that is no CP932 character (including a lead byte without its trail
// at the end of the input).
Cp932Conversion Cp932ToUtf8(std::string_view cp932);
// Lenient: each byte or pair that is no CP932 character becomes U+FFFD. A lead byte followed
// by an ASCII byte that does not complete it gives U+FFFD and the ASCII byte, so markup and
// separators after a broken character survive.
std::string Cp932ToUtf8Lenient(std::string_view cp932);

// Strict: fails at malformed UTF-8 (overlong forms, surrogates, beyond U+10FFFF, truncated
// sequences) and at a character that has no CP932 form.
Cp932Conversion Utf8ToCp932(std::string_view utf8);

enum class Unmappable {
  kReplace,  // a '?' in its place
  kDrop,     // the character is left out whole (typed text)
};
// Lenient: a character without a CP932 form, or a malformed UTF-8 sequence, is replaced by '?'
// or dropped.
std::string Utf8ToCp932Lenient(std::string_view utf8, Unmappable mode = Unmappable::kReplace);

// The engine's own texts (messages, labels), written as UTF-8 in the source, as CP932.
inline std::string Cp932Literal(std::string_view utf8) {
  return Utf8ToCp932Lenient(utf8);
}

}  // namespace bw::host
