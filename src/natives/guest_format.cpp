#include "natives/guest_format.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/sjis.h"

namespace bw {

namespace {

using std::string_view_literals::operator""sv;

constexpr int kMaxField = 1 << 12;  // widths and precisions past any output (1,024) are clamped

// "00" to "99": decimal digits go out two a step, halving the divisions.
constexpr std::array<std::array<char, 2>, 100> kDigitPairs = [] {
  std::array<std::array<char, 2>, 100> pairs{};
  for (size_t i = 0; i < pairs.size(); ++i) {
    pairs[i] = {static_cast<char>('0' + i / 10), static_cast<char>('0' + i % 10)};
  }
  return pairs;
}();

// Fills the whole buffer, one byte past the limit, so the final cut can tell a whole character
// from a split one.
class Output {
 public:
  explicit Output(std::span<char> buffer) : at_(buffer.begin()), end_(buffer.end()) {}
  bool Full() const { return at_ == end_; }
  // Fields are mostly a few bytes: a loop beats a call to memmove or memset there.
  void Put(std::string_view s) {
    const size_t n = std::min(s.size(), Room());
    if (n > kShort) {
      at_ = std::copy_n(s.begin(), n, at_);
    } else {
      for (size_t k = 0; k < n; ++k) *at_++ = s[k];
    }
  }
  void Repeat(char c, size_t n) {
    n = std::min(n, Room());
    if (n > kShort) {
      at_ = std::fill_n(at_, n, c);
    } else {
      for (; n; --n) *at_++ = c;
    }
  }
  // Copies f from i up to the next '%' or the end of the room; answers where it stopped. No
  // second byte of a double-byte character is a '%', so the run holds whole characters.
  size_t CopyLiteral(std::string_view f, size_t i) {
    const size_t stop = std::min(f.size(), i + Room());
    for (; i < stop && f[i] != '%'; ++i) *at_++ = f[i];
    return i;
  }
  std::span<char>::iterator At() const { return at_; }

 private:
  static constexpr size_t kShort = 16;

  size_t Room() const { return static_cast<size_t>(end_ - at_); }

  std::span<char>::iterator at_;
  std::span<char>::iterator end_;
};

int ReadNumber(std::string_view f, size_t& i) {
  int n = 0;
  while (i < f.size() && f[i] >= '0' && f[i] <= '9') {
    n = std::min(kMaxField, n * 10 + (f[i] - '0'));
    ++i;
  }
  return n;
}

// v's digits (none for 0) at the end of buffer.
std::string_view Digits(uint32_t v, bool hex, bool upper, std::array<char, 16>& buffer) {
  char* const end = buffer.data() + buffer.size();
  char* p = end;
  if (hex) {
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    for (; v; v >>= 4) *--p = set[v & 15];
  } else {
    // Constant divisors: the compiler multiplies instead of dividing.
    for (; v >= 100; v /= 100) {
      p -= 2;
      std::memcpy(p, kDigitPairs[v % 100].data(), 2);
    }
    if (v >= 10) {
      p -= 2;
      std::memcpy(p, kDigitPairs[v].data(), 2);
    } else if (v) {
      *--p = static_cast<char>('0' + v);
    }
  }
  return {p, end};
}

struct Spec {
  bool left = false;
  bool zero = false;
  bool alternate = false;
  int width = 0;
  int precision = -1;
};

// prefix, zeros and body, padded to the width.
void PutField(Output& o, const Spec& s, std::string_view prefix, size_t zeros,
              std::string_view body) {
  const size_t length = prefix.size() + zeros + body.size();
  const size_t pad = static_cast<size_t>(s.width) > length ? s.width - length : 0;
  if (pad != 0 && !s.left && !s.zero) o.Repeat(' ', pad);
  o.Put(prefix);
  o.Repeat('0', s.zero && !s.left ? zeros + pad : zeros);
  o.Put(body);
  if (pad != 0 && s.left) o.Repeat(' ', pad);
}

}  // namespace

std::optional<std::string_view> FormatGuestText(GuestMemory& memory, std::string_view f,
                                                uint32_t values, std::span<char> buffer) {
  char spare = 0;  // for an empty buffer: nothing fits, yet the first value is still read
  Output o(buffer.empty() ? std::span<char>(&spare, 1) : buffer);
  uint64_t next = values;
  std::array<char, 16> digits;
  auto word = [&](uint32_t& v) {
    bool ok = next <= UINT32_MAX && memory.Read32(static_cast<uint32_t>(next), v);
    if (next > UINT32_MAX) memory.Read32(0, v);  // raises the fault
    next += 4;
    return ok;
  };
  for (size_t i = 0; i < f.size() && !o.Full();) {
    if (f[i] != '%') {
      i = o.CopyLiteral(f, i);
      continue;
    }
    if (++i >= f.size()) break;
    Spec s;
    for (; i < f.size(); ++i) {
      if (f[i] == '-') {
        s.left = true;
      } else if (f[i] == '0') {
        s.zero = true;
      } else if (f[i] == '#') {
        s.alternate = true;
      } else {
        break;
      }
    }
    s.width = ReadNumber(f, i);
    if (i < f.size() && f[i] == '.') {
      ++i;
      s.precision = ReadNumber(f, i);
    }
    bool shortValue = false;
    if (i < f.size() && (f[i] == 'l' || f[i] == 'h')) shortValue = f[i++] == 'h';
    if (i >= f.size()) break;
    char c = f[i++];
    uint32_t v = 0;
    std::string_view prefix;  // a sign or 0x
    size_t zeros = 0;         // after the prefix, to the precision
    std::string_view body;
    char ch = 0;
    switch (c) {
      case 'd':
      case 'i':
      case 'u':
      case 'x':
      case 'X': {
        if (!word(v)) return std::nullopt;
        bool negative = false;
        if (c == 'd' || c == 'i') {
          int32_t sv = shortValue ? int16_t(v) : static_cast<int32_t>(v);
          negative = sv < 0;
          v = negative ? 0u - static_cast<uint32_t>(sv) : static_cast<uint32_t>(sv);
        } else if (shortValue) {
          v &= 0xFFFF;
        }
        bool hex = c == 'x' || c == 'X';
        body = Digits(v, hex, c == 'X', digits);
        // At least one digit, except for a value of 0 at precision 0.
        const size_t minDigits = s.precision < 0 ? 1 : static_cast<size_t>(s.precision);
        zeros = minDigits > body.size() ? minDigits - body.size() : 0;
        if (negative) prefix = "-"sv;
        if (hex && s.alternate && v != 0) prefix = c == 'X' ? "0X"sv : "0x"sv;
        // The '0' flag pads between the prefix and the digits, unless a precision is given.
        s.zero = s.zero && s.precision < 0;
        break;
      }
      case 'c': {
        if (!word(v)) return std::nullopt;
        ch = static_cast<char>(v);
        body = std::string_view(&ch, 1);
        s.zero = false;
        break;
      }
      case 's': {
        if (!word(v)) return std::nullopt;
        body = "(null)"sv;
        if (v && !memory.CStringView(v, body, memory.Top())) return std::nullopt;
        if (s.precision >= 0) body = sjis::Truncate(body, static_cast<size_t>(s.precision));
        s.zero = false;
        break;
      }
      default: {
        size_t n = sjis::CharLength(f, i - 1);
        o.Put(f.substr(i - 1, n));
        i += n - 1;
        continue;
      }
    }
    PutField(o, s, prefix, zeros, body);
  }
  if (buffer.empty()) return std::string_view();
  const std::string_view made(buffer.begin(), o.At());
  const size_t length = sjis::FitLength(made, buffer.size() - 1);
  buffer[length] = '\0';
  return made.substr(0, length);
}

}  // namespace bw
