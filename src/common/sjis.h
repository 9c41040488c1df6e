// Stepping through Shift-JIS (CP932) text, the engine's text everywhere. A byte in 0x81-0x9F or
// 0xE0-0xFC is a lead byte and takes the next byte as its trail, whatever that byte is; a lead
// byte at the very end is a lone one-byte character. A trail byte is never a separator, markup
// or a letter to case-fold, though it may look like '\', '|', '@' or 'a'-'z' (0x955C is "表").
// Nothing here allocates except the functions that answer a new string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace bw::sjis {

constexpr size_t npos = std::string_view::npos;

constexpr bool IsLeadByte(uint8_t b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
constexpr bool IsLeadByte(char c) {
  return IsLeadByte(static_cast<uint8_t>(c));
}

// Bytes of the character that starts at pos: 2 for a lead byte with a byte after it, else 1;
// 0 at or past the end.
constexpr size_t CharLength(std::string_view s, size_t pos) {
  if (pos >= s.size()) return 0;
  return IsLeadByte(s[pos]) && pos + 1 < s.size() ? 2 : 1;
}

// Start of the character after the one at pos (pos must be a character start).
constexpr size_t Next(std::string_view s, size_t pos) {
  return pos + CharLength(s, pos);
}

// Start of the character before pos (pos must be a character start; 0 stays 0, a pos past the
// end gives the end). Only the run of lead-range bytes just before pos is read: after any other
// byte a character starts, so the parity of that run tells whether the byte two back is a lead
// or a trail.
constexpr size_t Prev(std::string_view s, size_t pos) {
  if (pos > s.size()) return s.size();
  if (pos == 0) return 0;
  if (pos < 2 || !IsLeadByte(s[pos - 2])) return pos - 1;
  size_t run = 1;
  while (run < pos - 1 && IsLeadByte(s[pos - 2 - run])) ++run;
  return run % 2 == 1 ? pos - 2 : pos - 1;
}

// True when pos is where a character starts (not a trail byte); the end counts as a start.
constexpr bool IsCharStart(std::string_view s, size_t pos) {
  if (pos > s.size()) return false;
  size_t i = 0;
  while (i < pos) i = Next(s, i);
  return i == pos;
}

// The character at pos as one number: the byte, or lead << 8 | trail. 0 at the end.
constexpr uint16_t CharAt(std::string_view s, size_t pos) {
  size_t n = CharLength(s, pos);
  if (n == 0) return 0;
  auto b0 = static_cast<uint8_t>(s[pos]);
  return n == 1 ? b0 : static_cast<uint16_t>(b0 << 8 | static_cast<uint8_t>(s[pos + 1]));
}

// First single-byte character c (ASCII) at or after the character start from; npos when none.
constexpr size_t Find(std::string_view s, char c, size_t from = 0) {
  for (size_t i = from; i < s.size(); i = Next(s, i)) {
    if (s[i] == c) return i;
  }
  return npos;
}

// First single-byte character that is one of set; npos when none.
constexpr size_t FindFirstOf(std::string_view s, std::string_view set, size_t from = 0) {
  for (size_t i = from; i < s.size(); i = Next(s, i)) {
    if (set.find(s[i]) != std::string_view::npos) return i;
  }
  return npos;
}

// Last single-byte character that is one of set; npos when none.
constexpr size_t FindLastOf(std::string_view s, std::string_view set) {
  size_t found = npos;
  for (size_t i = 0; i < s.size(); i = Next(s, i)) {
    if (set.find(s[i]) != std::string_view::npos) found = i;
  }
  return found;
}

constexpr size_t FindLast(std::string_view s, char c) {
  return FindLastOf(s, std::string_view(&c, 1));
}

// Path separators of engine paths: '\' and, as Windows also takes it, '/'.
constexpr std::string_view kSeparators = "\\/";
constexpr bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}
constexpr size_t FindLastSeparator(std::string_view s) {
  return FindLastOf(s, kSeparators);
}

// Length of the longest prefix of s of at most maxBytes that ends on a character boundary, so a
// cut never leaves half a character.
constexpr size_t FitLength(std::string_view s, size_t maxBytes) {
  if (s.size() <= maxBytes) return s.size();
  size_t i = 0;
  for (size_t next = Next(s, 0); next <= maxBytes; next = Next(s, next)) i = next;
  return i;
}
constexpr std::string_view Truncate(std::string_view s, size_t maxBytes) {
  return s.substr(0, FitLength(s, maxBytes));
}

// ASCII-only case mapping of single-byte characters.
constexpr char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}
constexpr char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

// In-place casing: only single-byte 'A'-'Z' / 'a'-'z' change, never a trail byte.
template <char (*Fold)(char)>
constexpr void FoldInPlace(std::span<char> s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (IsLeadByte(s[i])) {
      ++i;  // leave the trail byte alone
    } else {
      s[i] = Fold(s[i]);
    }
  }
}
constexpr void ToUpperInPlace(std::span<char> s) {
  FoldInPlace<AsciiUpper>(s);
}
constexpr void ToLowerInPlace(std::span<char> s) {
  FoldInPlace<AsciiLower>(s);
}
inline std::string ToUpper(std::string_view s) {
  std::string r(s);
  ToUpperInPlace(r);
  return r;
}
inline std::string ToLower(std::string_view s) {
  std::string r(s);
  ToLowerInPlace(r);
  return r;
}

// Case-insensitive three-way compare with the casing rule above (letters fold to lower case;
// bytes compare unsigned). While the two strings agree, a byte is a lead in one exactly when it
// is in the other, so one walk serves both.
constexpr int CompareNoCase(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  bool trail = false;
  for (size_t i = 0; i < n; ++i) {
    auto x = static_cast<uint8_t>(trail ? a[i] : AsciiLower(a[i]));
    auto y = static_cast<uint8_t>(trail ? b[i] : AsciiLower(b[i]));
    if (x != y) return x < y ? -1 : 1;
    trail = !trail && IsLeadByte(x);
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}
// True when s begins with prefix, case-insensitively, and the prefix ends on a character
// boundary of s (a prefix ending in a lead byte does not match half of s's character).
constexpr bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (prefix.size() > s.size() || !EqualsNoCase(s.substr(0, prefix.size()), prefix)) return false;
  return prefix.empty() || IsCharStart(s, prefix.size());
}

}  // namespace bw::sjis
