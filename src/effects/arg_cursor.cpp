#include "effects/arg_cursor.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "common/sjis.h"

namespace bw {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsSeparator(char c) {
  return IsBlank(c) || c == ',' || c == '(' || c == ')';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
// The length of the character at p: 2 for a lead byte with its trail byte.
size_t CharLength(const char* p) {
  return sjis::IsLeadByte(*p) && p[1] != '\0' ? 2 : 1;
}

int DigitValue(char c, int base) {
  int v = -1;
  if (IsDigit(c)) {
    v = c - '0';
  } else if (c >= 'a' && c <= 'f') {
    v = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'F') {
    v = c - 'A' + 10;
  }
  return v < base ? v : -1;
}

}  // namespace

char ArgCursor::SkipSeparators() {
  if (!p_) return 0;
  while (IsSeparator(*p_)) ++p_;
  return *p_;
}

char ArgCursor::SkipBlanks() {
  if (!p_) return 0;
  while (IsBlank(*p_)) ++p_;
  return *p_;
}

char ArgCursor::SkipWord() {
  if (!p_) return 0;
  while (*p_ != '\0' && !IsSeparator(*p_)) p_ += CharLength(p_);
  return *p_;
}

int ArgCursor::ReadWord(char* buffer, size_t size) {
  if (!p_ || *p_ == '\0' || size == 0 || buffer == nullptr) return kArgNoText;
  const char* start = p_;
  SkipWord();
  const size_t length = static_cast<size_t>(p_ - start);
  if (length + 1 > size) return kArgNoRoom;
  std::memcpy(buffer, start, length);
  buffer[length] = '\0';
  return kArgRead;
}

int ArgCursor::ReadInt(int32_t* out) {
  if (!p_) return kArgNoText;
  SkipSeparators();
  const bool negative = *p_ == '-';
  if (!negative && !IsDigit(*p_)) return kArgNotNumber;
  if (negative) ++p_;
  int base = 10;
  if (p_[0] == '0' && (p_[1] == 'x' || p_[1] == 'X')) {
    base = 16;
    p_ += 2;
  } else if (p_[0] == '0' && (p_[1] == 'b' || p_[1] == 'B')) {
    base = 2;
    p_ += 2;
  }
  uint32_t value = 0;
  for (int d; (d = DigitValue(*p_, base)) >= 0; ++p_)
    value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(d);
  if (negative) value = 0u - value;
  *out = static_cast<int32_t>(value);
  return kArgRead;
}

int ArgCursor::ReadDecimal(double* out) {
  if (!p_) return kArgNoText;
  SkipSeparators();
  if (*p_ != '-' && !IsDigit(*p_)) return kArgNotNumber;
  const char* start = p_;
  const char* q = p_;
  if (*q == '-') ++q;
  while (IsDigit(*q)) ++q;
  if (*q == '.') {
    ++q;
    while (IsDigit(*q)) ++q;
  }
  if (static_cast<size_t>(q - start) > kDecimalTextMax) return kArgNotNumber;
  const std::string text(start, q);
  p_ = q;
  *out = std::strtod(text.c_str(), nullptr);
  return kArgRead;
}

double DecimalOr(const char* text, double fallback) {
  double value = fallback;
  (void)ArgCursor(text).ReadDecimal(&value);  // a refused text leaves the value as it was
  return value;
}

bool ParseSignedInt(const char** cursor, int32_t* out) {
  const char* p = *cursor;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (!IsDigit(*p)) return false;
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; IsDigit(*p); ++p) value = std::min(value * 10 + (*p - '0'), kLimit);
  value = negative ? -value : std::min(value, kLimit - 1);
  *out = static_cast<int32_t>(value);
  *cursor = p;
  return true;
}

bool ParseSignedDecimal(const char** cursor, double* out) {
  const char* p = *cursor;
  const char* start = p;
  if (*p == '-' || *p == '+') ++p;
  if (!IsDigit(*p)) return false;
  while (IsDigit(*p)) ++p;
  if (*p == '.') {
    ++p;
    while (IsDigit(*p)) ++p;
  }
  *out = std::strtod(std::string(start, p).c_str(), nullptr);
  *cursor = p;
  return true;
}

namespace {

// Skips blanks and commas inside one point; false at its end.
bool NextValue(ArgCursor& cursor) {
  for (char c = cursor.SkipBlanks(); c == ','; c = cursor.SkipBlanks()) {
    cursor.SetText(cursor.Position() + 1);
  }
  const char c = *cursor.Position();
  return c != '\0' && c != ')' && c != '(';
}

}  // namespace

int ParsePointTriples(const char* text, std::vector<double>& out) {
  if (text == nullptr) return kPointsNoText;
  int count = 0;
  for (const char* p = text; *p != '\0'; p += CharLength(p)) {
    if (*p == '(') ++count;
  }
  if (count < 2) return kPointsMalformed;
  out.assign(static_cast<size_t>(count) * 3 + 3, 0.0);
  const char* p = text;
  for (int i = 0; i < count; ++i) {
    while (*p != '(' && *p != '\0') p += CharLength(p);
    if (*p == '\0') return kPointsMalformed;
    ArgCursor cursor(p + 1);
    int32_t x = 0, y = 0;
    if (!NextValue(cursor) || cursor.ReadInt(&x) != kArgRead) return kPointsMalformed;
    if (!NextValue(cursor) || cursor.ReadInt(&y) != kArgRead) return kPointsMalformed;
    double z = 1.0;
    char word[kDecimalTextMax + 1];
    if (NextValue(cursor) && cursor.ReadWord(word, sizeof word) == kArgRead)
      z = std::strtod(word, nullptr);
    out[static_cast<size_t>(i) * 3] = x;
    out[static_cast<size_t>(i) * 3 + 1] = y;
    out[static_cast<size_t>(i) * 3 + 2] = z;
    p = cursor.Position();
  }
  return count;
}

}  // namespace bw
