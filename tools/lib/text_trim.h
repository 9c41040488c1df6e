// Trimming the blanks around a word of the tools' text forms, reading their numbers, and walking
// their lines.
#pragma once

#include <cctype>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

namespace bw::tools {

inline bool IsBlank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

inline std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A decimal or 0x number of at most 32 bits between blanks, with an optional minus (and, where
// the form allows it, a plus).
inline std::optional<int64_t> ParseNumber(std::string_view s, bool plusAllowed) {
  s = Trim(s);
  const bool negative = !s.empty() && s[0] == '-';
  if (negative || (plusAllowed && !s.empty() && s[0] == '+')) s.remove_prefix(1);
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  uint64_t v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (s.empty() || ec != std::errc() || p != s.data() + s.size() || v > 0xFFFFFFFFull)
    return std::nullopt;
  return negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
}

// Hands each line of source (without its newline) and its number, from 1, to take until take
// answers false; false then.
template <typename Take>
bool ForEachLine(std::string_view source, Take&& take) {
  int number = 0;
  while (!source.empty()) {
    const size_t nl = source.find('\n');
    const std::string_view line = source.substr(0, nl);
    source = nl == std::string_view::npos ? std::string_view{} : source.substr(nl + 1);
    if (!take(line, ++number)) return false;
  }
  return true;
}

}  // namespace bw::tools
