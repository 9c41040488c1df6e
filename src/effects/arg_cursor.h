// Readers of the short argument texts that scripts hand to effects: point lists such as
// "(x,y,zoom)(x,y,zoom)", wave lists and motion paths. The texts are NUL-terminated CP932; a
// lead byte always takes its trail byte with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bw {

// Results of the cursor's readers.
constexpr int kArgRead = 0;
constexpr int kArgNoText = 1;     // no text, at its end, or no room at all
constexpr int kArgNotNumber = 2;  // not a number here, or a number text too long
constexpr int kArgNoRoom = 3;     // the word and its NUL do not fit

// The longest number text ReadDecimal takes.
constexpr size_t kDecimalTextMax = 31;

// A cursor over a text it does not own. Separators are blank, tab, ',', '(' and ')'.
class ArgCursor {
 public:
  ArgCursor() = default;
  explicit ArgCursor(const char* text) : p_(text) {}

  void SetText(const char* text) { p_ = text; }
  const char* Position() const { return p_; }
  // Each answers the character reached (0 without a text).
  char SkipSeparators();
  char SkipBlanks();
  char SkipWord();
  // Copies one word, without skipping separators first.
  [[nodiscard]] int ReadWord(char* buffer, size_t size);
  // An optional '-', then "0x" hexadecimal, "0b" binary or decimal digits; the value is kept
  // modulo 2^32 and a prefix without digits reads as 0.
  [[nodiscard]] int ReadInt(int32_t* out);
  // An optional '-', digits, and optionally '.' and digits.
  [[nodiscard]] int ReadDecimal(double* out);

 private:
  const char* p_ = nullptr;
};

// The decimal an optional argument text starts with; fallback without a text or a number.
double DecimalOr(const char* text, double fallback);

// The path texts' number readers: an optional sign and at least one digit. False, with the
// cursor unchanged, when no digit follows. An integer beyond 32 bits saturates.
[[nodiscard]] bool ParseSignedInt(const char** cursor, int32_t* out);
[[nodiscard]] bool ParseSignedDecimal(const char** cursor, double* out);

// ParsePointTriples results below 0.
constexpr int kPointsNoText = -1;
constexpr int kPointsMalformed = -2;  // empty, fewer than two points, or a point without x or y

// Reads "(x,y[,z])" points into out as x, y, z triples (z 1.0 when missing) and answers their
// number.
[[nodiscard]] int ParsePointTriples(const char* text, std::vector<double>& out);

}  // namespace bw
