// The pieces of the scenario scripts' text form that reading and writing it share.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace bw::tob::syntax {

constexpr uint8_t kOffsetFlags = 0xFF;

// A decimal or 0x number of at most 32 bits, with an optional minus.
std::optional<int64_t> Number(std::string_view s);
// Hex digits (blanks between them allowed; "-" for none) as bytes.
bool Hex(std::string_view s, std::vector<uint8_t>& out);
std::string HexText(std::span<const uint8_t> bytes);
// Splits at separators outside quotes, parentheses and braces.
std::vector<std::string_view> Split(std::string_view s, char separator);
// A quoted UTF-8 text with \n \t \\ \" \xNN escapes, as CP932 bytes.
bool QuotedText(std::string_view s, std::string& out, std::string& error);
std::string QuoteText(std::string_view cp932);

struct Fragment {
  std::vector<uint8_t> code;
  std::vector<uint8_t> area;
  uint8_t linked = 0;
};

// A "SOB0" code block as a fragment's bytecode and link lists (counts of one byte or four);
// false with the error when the block is cut short or a count does not fit.
bool ReadCodeBlock(std::span<const uint8_t> block, bool oneByteCounts, Fragment& out,
                   std::string& error);
// CODE in the sobasm syntax (lines separated by |) or {!HEX!HEX!L}, as bytecode and link lists.
bool AssembleFragment(std::string_view body, bool oneByteCounts, Fragment& out, std::string& error);
void PutFragment(std::vector<uint8_t>& out, const Fragment& f, bool expression);

}  // namespace bw::tob::syntax
