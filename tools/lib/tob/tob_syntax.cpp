#include "lib/tob/tob_syntax.h"

#include <charconv>
#include <cstdio>

#include "common/byte_reader.h"
#include "common/sjis.h"
#include "host/cp932.h"
#include "lib/le_bytes.h"
#include "lib/sob/sob_assembler.h"
#include "lib/text_trim.h"

namespace bw::tob::syntax {

using tools::Put16;
using tools::Put32;
using tools::Trim;

std::optional<int64_t> Number(std::string_view s) {
  return tools::ParseNumber(s, false);
}

bool Hex(std::string_view s, std::vector<uint8_t>& out) {
  out.clear();
  std::string digits;
  for (char c : s) {
    if (!tools::IsBlank(c)) digits += c;
  }
  if (digits == "-") return true;
  if (digits.size() % 2) return false;
  for (size_t i = 0; i < digits.size(); i += 2) {
    uint8_t b = 0;
    auto [p, ec] = std::from_chars(digits.data() + i, digits.data() + i + 2, b, 16);
    if (ec != std::errc() || p != digits.data() + i + 2) return false;
    out.push_back(b);
  }
  return true;
}

std::string HexText(std::span<const uint8_t> bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  for (uint8_t b : bytes) {
    s += digits[b >> 4];
    s += digits[b & 15];
  }
  return s.empty() ? "-" : s;
}

std::vector<std::string_view> Split(std::string_view s, char separator) {
  std::vector<std::string_view> out;
  s = Trim(s);
  if (s.empty()) return out;
  int depth = 0;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (quoted) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        quoted = false;
      continue;
    }
    if (c == '"')
      quoted = true;
    else if (c == '(' || c == '{')
      ++depth;
    else if (c == ')' || c == '}')
      --depth;
    else if (c == separator && depth == 0) {
      out.push_back(Trim(s.substr(start, i - start)));
      start = i + 1;
    }
  }
  out.push_back(Trim(s.substr(start)));
  return out;
}

bool QuotedText(std::string_view s, std::string& out, std::string& error) {
  if (s.size() < 2 || s.front() != '"' || s.back() != '"') {
    error = "a text must be quoted";
    return false;
  }
  s = s.substr(1, s.size() - 2);
  std::string utf8, result;
  auto flush = [&]() {
    host::Cp932Conversion c = host::Utf8ToCp932(utf8);
    if (!c.ok) return false;
    result += c.text;
    utf8.clear();
    return true;
  };
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      utf8 += s[i];
      continue;
    }
    if (++i == s.size()) break;
    char c = s[i];
    if (c == 'n')
      utf8 += '\n';
    else if (c == 't')
      utf8 += '\t';
    else if (c == 'x') {
      std::vector<uint8_t> b;
      if (i + 2 >= s.size() || !Hex(s.substr(i + 1, 2), b) || b.size() != 1) {
        error = "bad \\x escape";
        return false;
      }
      if (!flush()) break;
      result += static_cast<char>(b[0]);
      i += 2;
    } else {
      utf8 += c;
    }
  }
  if (!flush()) {
    error = "text with no CP932 form";
    return false;
  }
  out = result;
  return true;
}

std::string QuoteText(std::string_view cp932) {
  std::string out = "\"";
  for (size_t i = 0; i < cp932.size();) {
    size_t n = sjis::CharLength(cp932, i);
    auto b = static_cast<uint8_t>(cp932[i]);
    host::Cp932Conversion c = host::Cp932ToUtf8(cp932.substr(i, n));
    if (b < 0x20 || b == 0x7F || !c.ok || (n == 1 && b >= 0x80)) {
      for (size_t k = 0; k < n; ++k) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<uint8_t>(cp932[i + k]));
        out += hex;
      }
    } else if (b == '"' || b == '\\') {
      out += '\\';
      out += static_cast<char>(b);
    } else {
      out += c.text;
    }
    i += n;
  }
  return out + "\"";
}

bool ReadCodeBlock(std::span<const uint8_t> block, bool oneByteCounts, Fragment& out,
                   std::string& error) {
  ByteReader f(block.data(), block.size());
  uint32_t areaSize = 0, instructionBytes = 0, codeSize = 0;
  auto area = f.skip(4) && f.u32le(areaSize) ? f.sub(areaSize) : std::nullopt;
  auto code =
      area && f.u32le(instructionBytes) && f.u32le(codeSize) ? f.bytes(codeSize) : std::nullopt;
  if (!code) {
    error = "main-script code: the code block is cut short";
    return false;
  }
  out.code.assign(code->begin(), code->end());
  out.area.clear();
  for (int list = 0; list < 5; ++list) {
    uint32_t count = 0;
    auto pairs = area->u32le(count) ? area->bytes(uint64_t{count} * 8) : std::nullopt;
    if (!pairs) {
      error = "main-script code: the link lists are cut short";
      return false;
    }
    if (oneByteCounts && count > 255) {
      error = "an expression holds more than 255 links of a kind";
      return false;
    }
    if (oneByteCounts)
      out.area.push_back(static_cast<uint8_t>(count));
    else
      Put32(out.area, count);
    out.area.insert(out.area.end(), pairs->begin(), pairs->end());
  }
  return true;
}

bool AssembleFragment(std::string_view body, bool oneByteCounts, Fragment& out,
                      std::string& error) {
  if (!body.empty() && body[0] == '!') {
    auto parts = Split(body.substr(1), '!');
    std::vector<uint8_t> linked;
    if (parts.size() != 3 || !Hex(parts[0], out.code) || !Hex(parts[1], out.area) ||
        !Hex(parts[2], linked) || linked.size() != 1) {
      error = "bad raw fragment";
      return false;
    }
    out.linked = linked[0];
  } else {
    std::string source = ".sob0\n";
    for (std::string_view line : Split(body, '|')) source += std::string(line) + "\n";
    sob::AssembleResult r = sob::Assemble(source);
    if (!r.ok) {
      error = "main-script code: " + r.error;
      return false;
    }
    if (!ReadCodeBlock(r.bytes, oneByteCounts, out, error)) return false;
  }
  // An expression gives its code's and its lists' sizes in 16 bits.
  if (oneByteCounts && (out.code.size() > 0xFFFF || out.area.size() + 2 > 0xFFFF)) {
    error = "an expression's code or link lists pass 65535 bytes";
    return false;
  }
  return true;
}

void PutFragment(std::vector<uint8_t>& out, const Fragment& f, bool expression) {
  if (expression)
    Put16(out, static_cast<uint32_t>(f.code.size()));
  else
    Put32(out, static_cast<uint32_t>(f.code.size()));
  out.insert(out.end(), f.code.begin(), f.code.end());
  out.push_back(f.linked);
  if (expression)
    Put16(out, static_cast<uint32_t>(f.area.size() + 2));
  else
    Put32(out, static_cast<uint32_t>(f.area.size() + 4));
  out.insert(out.end(), f.area.begin(), f.area.end());
}

}  // namespace bw::tob::syntax
