#include "natives/guest_format.h"

#include <algorithm>
#include <cstring>

#include "common/sjis.h"

namespace bw {

namespace {

constexpr int kMaxField = 1 << 12;  // widths and precisions past any output (1,024) are clamped

// Collects output up to one byte past the limit, so the final cut can tell a whole character
// from a split one.
class Output {
 public:
  Output(std::string& out, size_t limit) : out_(out), keep_(limit + 1) {
    out_.clear();
    out_.reserve(keep_);
  }
  bool Full() const { return out_.size() >= keep_; }
  void Put(std::string_view s) {
    if (!s.empty()) out_.append(s.substr(0, keep_ - std::min(keep_, out_.size())));
  }
  void Repeat(char c, size_t n) {
    if (n) out_.append(std::min(n, keep_ - std::min(keep_, out_.size())), c);
  }

 private:
  std::string& out_;
  size_t keep_;
};

int ReadNumber(std::string_view f, size_t& i) {
  int n = 0;
  while (i < f.size() && f[i] >= '0' && f[i] <= '9') {
    n = std::min(kMaxField, n * 10 + (f[i] - '0'));
    ++i;
  }
  return n;
}

// Writes v's digits, zero-padded to at least minDigits, at the end of a buffer; answers them.
std::string_view Digits(uint32_t v, bool hex, bool upper, int minDigits,
                        char (&buffer)[kMaxField + 16]) {
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char* end = buffer + sizeof buffer;
  char* p = end;
  // Constant divisors: the compiler multiplies instead of dividing.
  if (hex) {
    for (; v; v >>= 4) *--p = set[v & 15];
  } else {
    for (; v; v /= 10) *--p = static_cast<char>('0' + v % 10);
  }
  if (end - p < minDigits) {
    const size_t pad = static_cast<size_t>(minDigits - (end - p));
    p -= pad;
    std::memset(p, '0', pad);
  }
  return {p, static_cast<size_t>(end - p)};
}

struct Spec {
  bool left = false;
  bool zero = false;
  bool alternate = false;
  int width = 0;
  int precision = -1;
};

// prefix (sign or 0x) and body, padded to the width.
void PutField(Output& o, const Spec& s, std::string_view prefix, std::string_view body,
              bool numeric) {
  size_t length = prefix.size() + body.size();
  size_t pad = static_cast<size_t>(s.width) > length ? s.width - length : 0;
  if (s.left) {
    o.Put(prefix);
    o.Put(body);
    o.Repeat(' ', pad);
  } else if (s.zero && numeric && s.precision < 0) {
    o.Put(prefix);
    o.Repeat('0', pad);
    o.Put(body);
  } else {
    o.Repeat(' ', pad);
    o.Put(prefix);
    o.Put(body);
  }
}

}  // namespace

bool FormatGuestText(GuestMemory& memory, std::string_view f, uint32_t values, size_t capacity,
                     std::string& out) {
  Output o(out, capacity ? capacity - 1 : 0);
  uint64_t next = values;
  char digits[kMaxField + 16];
  auto word = [&](uint32_t& v) {
    bool ok = next <= UINT32_MAX && memory.Read32(static_cast<uint32_t>(next), v);
    if (next > UINT32_MAX) memory.Read32(0, v);  // raises the fault
    next += 4;
    return ok;
  };
  for (size_t i = 0; i < f.size() && !o.Full();) {
    if (f[i] != '%') {
      // No second byte of a double-byte character is a '%', so the run up to the next one holds
      // whole characters.
      const size_t runEnd = std::min(f.find('%', i), f.size());
      o.Put(f.substr(i, runEnd - i));
      i = runEnd;
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
    switch (c) {
      case 'd':
      case 'i':
      case 'u':
      case 'x':
      case 'X': {
        if (!word(v)) return false;
        bool negative = false;
        if (c == 'd' || c == 'i') {
          int32_t sv = shortValue ? int16_t(v) : static_cast<int32_t>(v);
          negative = sv < 0;
          v = negative ? 0u - static_cast<uint32_t>(sv) : static_cast<uint32_t>(sv);
        } else if (shortValue) {
          v &= 0xFFFF;
        }
        bool hex = c == 'x' || c == 'X';
        // At least one digit, except for a value of 0 at precision 0.
        std::string_view body = Digits(v, hex, c == 'X', s.precision < 0 ? 1 : s.precision, digits);
        std::string_view prefix = negative ? "-" : "";
        if (hex && s.alternate && v != 0) prefix = c == 'X' ? "0X" : "0x";
        PutField(o, s, prefix, body, true);
        break;
      }
      case 'c': {
        if (!word(v)) return false;
        char ch = static_cast<char>(v);
        PutField(o, s, "", std::string_view(&ch, 1), false);
        break;
      }
      case 's': {
        if (!word(v)) return false;
        std::string_view shown = "(null)";
        if (v && !memory.CStringView(v, shown, memory.Top())) return false;
        if (s.precision >= 0) shown = sjis::Truncate(shown, static_cast<size_t>(s.precision));
        PutField(o, s, "", shown, false);
        break;
      }
      default: {
        size_t n = sjis::CharLength(f, i - 1);
        o.Put(f.substr(i - 1, n));
        i += n - 1;
        break;
      }
    }
  }
  out.resize(sjis::FitLength(out, capacity ? capacity - 1 : 0));
  return true;
}

}  // namespace bw
