#include "lib/tob/tob_assembler.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>

#include "common/byte_reader.h"
#include "common/sjis.h"
#include "host/cp932.h"
#include "lib/le_bytes.h"
#include "lib/sob/sob_assembler.h"
#include "scenario/tgs/tgs_builtins.h"
#include "script/state_block.h"

namespace bw::tob {

namespace {

using tools::Put16;
using tools::Put32;

// The control functions' names in the text form; the built-ins 12-131 go by their own names.
const char* const kControlNames[12] = {"JumpUnless", "JumpIf",      "JumpIf2",   "JumpIf3",
                                       "Nop",        "PrintNumber", "PrintText", "Call",
                                       "Jump",       "Return",      "Preload",   "Unload"};
constexpr uint32_t kMessageBegin = 12;
constexpr uint32_t kPrintText = 6;
constexpr uint8_t kOffsetFlags = 0xFF;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

std::optional<int64_t> Number(std::string_view s) {
  s = Trim(s);
  bool negative = !s.empty() && s[0] == '-';
  if (negative) s.remove_prefix(1);
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

bool Hex(std::string_view s, std::vector<uint8_t>& out) {
  out.clear();
  std::string digits;
  for (char c : s) {
    if (!std::isspace(static_cast<unsigned char>(c))) digits += c;
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

// Splits at separators outside quotes, parentheses and braces.
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

// A quoted UTF-8 text with \n \t \\ \" \xNN escapes, as CP932 bytes.
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

struct Fragment {
  std::vector<uint8_t> code;
  std::vector<uint8_t> area;
  uint8_t linked = 0;
};

// CODE in the sobasm syntax (lines separated by |) or {!HEX!HEX!L}, as bytecode and link lists.
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
    return true;
  }
  std::string source = ".sob0\n";
  for (std::string_view line : Split(body, '|')) source += std::string(line) + "\n";
  sob::AssembleResult r = sob::Assemble(source);
  if (!r.ok) {
    error = "main-script code: " + r.error;
    return false;
  }
  ByteReader f(r.bytes.data(), r.bytes.size());
  uint32_t areaSize = 0, instructionBytes = 0, codeSize = 0;
  f.skip(4);
  f.u32le(areaSize);
  auto area = f.sub(areaSize);
  f.u32le(instructionBytes);
  f.u32le(codeSize);
  auto code = f.bytes(codeSize);
  out.code.assign(code->begin(), code->end());
  out.area.clear();
  for (int list = 0; list < 5; ++list) {
    int32_t count = 0;
    area->i32le(count);
    if (oneByteCounts && count > 255) {
      error = "an expression holds more than 255 links of a kind";
      return false;
    }
    if (oneByteCounts)
      out.area.push_back(static_cast<uint8_t>(count));
    else
      Put32(out.area, static_cast<uint32_t>(count));
    auto pairs = area->bytes(uint64_t(count) * 8);
    out.area.insert(out.area.end(), pairs->begin(), pairs->end());
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

class Assembler {
 public:
  explicit Assembler(const FaultSwitches& faults) : faults_(faults) {}

  AssembleResult Run(std::string_view source) {
    int lineNo = 0;
    while (!source.empty()) {
      size_t nl = source.find('\n');
      std::string_view line = source.substr(0, nl);
      source = nl == std::string_view::npos ? std::string_view{} : source.substr(nl + 1);
      ++lineNo;
      if (!Line(StripComment(line)))
        return {false, {}, "line " + std::to_string(lineNo) + ": " + error_};
    }
    AssembleResult result;
    if (kind_.empty()) return {false, {}, "no file directive (.tob0, .tob1, .init, .log)"};
    if (!Write(result.bytes)) return {false, {}, error_};
    if (result.bytes.size() > faults_.truncateTo) result.bytes.resize(faults_.truncateTo);
    result.ok = true;
    return result;
  }

 private:
  static std::string_view StripComment(std::string_view line) {
    bool quoted = false;
    int depth = 0;
    for (size_t i = 0; i < line.size(); ++i) {
      char c = line[i];
      if (quoted) {
        if (c == '\\')
          ++i;
        else if (c == '"')
          quoted = false;
      } else if (c == '"') {
        quoted = true;
      } else if (c == '{') {
        ++depth;
      } else if (c == '}') {
        --depth;
      } else if (c == ';' && depth == 0) {
        return Trim(line.substr(0, i));
      }
    }
    return Trim(line);
  }

  bool Fail(std::string message) {
    error_ = std::move(message);
    return false;
  }

  bool Line(std::string_view line) {
    if (line.empty()) return true;
    if (kind_.empty()) {
      if (line == ".tob0" || line == ".tob1" || line == ".init" || line == ".log" ||
          line == ".log packed") {
        kind_ = line;
        return true;
      }
      return Fail("the first line must be .tob0, .tob1, .init, .log or .log packed");
    }
    if (kind_ == ".init" || kind_.rfind(".log", 0) == 0) return TableLine(line);
    if (line == ".end") {
      code_.push_back(0);
      return true;
    }
    if (line.rfind(".bytes", 0) == 0) {
      std::vector<uint8_t> b;
      if (!Hex(line.substr(6), b)) return Fail("bad hex bytes");
      code_.insert(code_.end(), b.begin(), b.end());
      return true;
    }
    if (line.rfind(".label ", 0) == 0) {
      auto parts = Split(line.substr(7), ',');
      auto at = parts.size() == 2 ? Number(parts[1]) : std::nullopt;
      if (!at) return Fail(".label NAME, OFFSET");
      return AddLabel(parts[0], static_cast<uint32_t>(*at));
    }
    if (line.rfind(".messages", 0) == 0) {
      explicitMessages_ = true;
      for (std::string_view m : Split(line.substr(9), ',')) {
        auto v = Number(m);
        if (!v) return Fail("bad message offset");
        messages_.push_back(static_cast<uint32_t>(*v));
      }
      return true;
    }
    if (line.front() == '"') {
      std::string text;
      if (!QuotedText(line, text, error_)) return false;
      return Text(text);
    }
    if (line.back() == ':' && line.find(' ') == std::string_view::npos) {
      return AddLabel(line.substr(0, line.size() - 1), static_cast<uint32_t>(code_.size()));
    }
    if (line.rfind("stmt{", 0) == 0 && line.back() == '}') {
      Fragment f;
      if (!AssembleFragment(Trim(line.substr(5, line.size() - 6)), false, f, error_)) return false;
      code_.push_back('[');
      code_.push_back('s');
      NoteLink(code_.size() + 4 + f.code.size() + 1 + 4, f, false);
      PutFragment(code_, f, false);
      return true;
    }
    return Instruction(line);
  }

  bool AddLabel(std::string_view name, uint32_t at) {
    std::string cp932;
    if (!QuotedText("\"" + std::string(name) + "\"", cp932, error_)) return false;
    if (cp932.empty() || cp932.size() > 200) return Fail("a label name is 1 to 200 bytes");
    labels_.push_back({cp932, at});
    return true;
  }

  bool Text(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
      size_t n = sjis::CharLength(text, i);
      if (n == 1 && text[i] == '[') {
        if (!EmitParsed(kPrintText, 1, {}, {"\"[\""})) return false;
      } else {
        code_.insert(code_.end(), text.begin() + i, text.begin() + i + n);
      }
      i += n;
    }
    return true;
  }

  // Remembers where the first link pair of the first linked fragment lies (areaAt: the link
  // area's place in the code).
  void NoteLink(size_t areaAt, const Fragment& f, bool small) {
    if (firstLinkPair_ || f.area.empty()) return;
    size_t at = 0;
    for (int list = 0; list < 5 && at < f.area.size(); ++list) {
      uint32_t count =
          small ? f.area[at]
                : f.area[at] | f.area[at + 1] << 8 | f.area[at + 2] << 16 | f.area[at + 3] << 24;
      at += small ? 1 : 4;
      if (count) {
        firstLinkPair_ = areaAt + at;
        firstLinkCode_ = f.code.size();
        return;
      }
      at += count * 8;
    }
  }

  bool Condition(std::string_view& rest, uint8_t& kind, std::vector<uint8_t>& operand) {
    kind = 1;
    if (rest.rfind("if(", 0) != 0 && rest.rfind("if{", 0) != 0) return true;
    char close = rest[2] == '(' ? ')' : '}';
    int depth = 0;
    size_t end = 2;
    for (; end < rest.size(); ++end) {
      if (rest[end] == '(' || rest[end] == '{') ++depth;
      if (rest[end] == ')' || rest[end] == '}') {
        if (--depth == 0) break;
      }
    }
    if (end == rest.size() || rest[end] != close) return Fail("unclosed condition");
    std::string_view body = Trim(rest.substr(3, end - 3));
    rest = Trim(rest.substr(end + 1));
    if (close == '}') {
      Fragment f;
      if (!AssembleFragment(body, true, f, error_)) return false;
      kind = 3;
      PutFragment(operand, f, true);
      return true;
    }
    if (body.rfind("var ", 0) == 0) {
      auto parts = Split(body.substr(4), ' ');
      std::vector<std::string_view> words;
      for (auto p : parts)
        if (!p.empty()) words.push_back(p);
      auto b = words.size() == 2 ? Number(words[0]) : std::nullopt;
      auto i = words.size() == 2 ? Number(words[1]) : std::nullopt;
      if (!b || !i) return Fail("if(var BANK INDEX)");
      kind = 2;
      Put32(operand, static_cast<uint32_t>(*b));
      Put32(operand, static_cast<uint32_t>(*i));
      return true;
    }
    auto v = Number(body);
    if (!v) return Fail("bad condition");
    kind = 0;
    Put32(operand, static_cast<uint32_t>(*v));
    return true;
  }

  struct Pending {
    size_t at;
    std::string label;
  };

  bool Argument(std::string_view a, std::vector<uint8_t>& out, size_t base) {
    uint8_t flags = 1;
    if (a.size() > 2 && a[0] == 'k' && a.find(':') != std::string_view::npos && a.find(':') < 5) {
      auto f = Number(a.substr(1, a.find(':') - 1));
      if (!f || *f < 0 || *f > 255) return Fail("bad kA: prefix");
      flags = static_cast<uint8_t>(*f);
      a = Trim(a.substr(a.find(':') + 1));
    }
    if (a == "-") {
      out.push_back(0);
      return true;
    }
    if (a[0] == '=') {
      auto v = Number(a.substr(1));
      if (!v) return Fail("bad =N argument");
      out.push_back(2);
      Put32(out, static_cast<uint32_t>(*v));
      return true;
    }
    if (a[0] == '@') {
      out.push_back(kOffsetFlags);
      out.push_back(0);
      auto v = Number(a.substr(1));
      if (v) {
        Put32(out, static_cast<uint32_t>(*v));
      } else {
        pending_.push_back({base + out.size(), std::string(a.substr(1))});
        Put32(out, 0);
      }
      return true;
    }
    out.push_back(flags);
    if (a == "nul") {
      out.push_back(1);
      Put16(out, 0);
      return true;
    }
    if (a[0] == '"') {
      std::string text;
      if (!QuotedText(a, text, error_)) return false;
      if (text.size() + 1 > 0xFFFF) return Fail("text argument too long");
      out.push_back(1);
      if (!firstString_) firstString_ = base + out.size();
      Put16(out, static_cast<uint32_t>(text.size() + 1));
      out.insert(out.end(), text.begin(), text.end());
      out.push_back(0);
      return true;
    }
    if (a.rfind("var(", 0) == 0 && a.back() == ')') {
      std::vector<std::string_view> words;
      for (auto p : Split(a.substr(4, a.size() - 5), ' '))
        if (!p.empty()) words.push_back(p);
      auto b = words.size() == 2 ? Number(words[0]) : std::nullopt;
      auto i = words.size() == 2 ? Number(words[1]) : std::nullopt;
      if (!b || !i) return Fail("var(BANK INDEX)");
      out.push_back(2);
      Put32(out, static_cast<uint32_t>(*b));
      Put32(out, static_cast<uint32_t>(*i));
      return true;
    }
    if (a[0] == '{' && a.back() == '}') {
      Fragment f;
      if (!AssembleFragment(Trim(a.substr(1, a.size() - 2)), true, f, error_)) return false;
      out.push_back(3);
      NoteLink(base + out.size() + 2 + f.code.size() + 1 + 2, f, true);
      PutFragment(out, f, true);
      return true;
    }
    auto v = Number(a);
    if (!v) return Fail("bad argument: " + std::string(a));
    out.push_back(0);
    Put32(out, static_cast<uint32_t>(*v));
    return true;
  }

  bool EmitParsed(uint32_t function, uint8_t kind, const std::vector<uint8_t>& condition,
                  const std::vector<std::string_view>& args) {
    const size_t start = code_.size();
    if (function == kMessageBegin && !explicitMessages_)
      messages_.push_back(static_cast<uint32_t>(start));
    code_.push_back('[');
    code_.push_back(' ');
    if (!firstFunction_) firstFunction_ = code_.size();
    Put32(code_, function);
    code_.push_back(kind);
    code_.insert(code_.end(), condition.begin(), condition.end());
    const size_t skipAt = code_.size();
    if (!firstSkip_) firstSkip_ = skipAt;
    Put32(code_, 0);
    if (args.size() > 255) return Fail("more than 255 arguments");
    code_.push_back(static_cast<uint8_t>(args.size()));
    std::vector<uint8_t> body;
    for (std::string_view a : args) {
      if (!Argument(a, body, code_.size())) return false;
    }
    code_.insert(code_.end(), body.begin(), body.end());
    uint32_t skip = static_cast<uint32_t>(code_.size() - skipAt);
    for (int i = 0; i < 4; ++i) code_[skipAt + i] = static_cast<uint8_t>(skip >> (8 * i));
    return true;
  }

  bool Instruction(std::string_view line) {
    size_t space = 0;
    while (space < line.size() && !std::isspace(static_cast<unsigned char>(line[space])) &&
           line[space] != '{' && line[space] != '(') {
      ++space;
    }
    int function = FunctionNumber(line.substr(0, space));
    if (function < 0)
      return Fail("unknown function or line: " + std::string(line.substr(0, space)));
    std::string_view rest = Trim(line.substr(space));
    uint8_t kind = 1;
    std::vector<uint8_t> condition;
    if (!Condition(rest, kind, condition)) return false;
    return EmitParsed(static_cast<uint32_t>(function), kind, condition, Split(rest, ','));
  }

  bool TableLine(std::string_view line) {
    std::vector<std::string_view> w;
    for (auto p : Split(line, ' '))
      if (!p.empty()) w.push_back(p);
    const bool log = kind_ != ".init";
    if (w.empty() || w[0] != (log ? ".record" : ".script") || w.size() != (log ? 6u : 4u)) {
      return Fail(log ? ".record NAME bits secondBits HEX HEX" : ".script NAME bits secondBits");
    }
    Record r;
    auto bits = Number(w[2]), second = Number(w[3]);
    if (!bits || !second) return Fail("bad bit count");
    r.name = std::string(w[1]);
    r.bits = static_cast<uint32_t>(*bits);
    r.second = static_cast<uint32_t>(*second);
    if (log && (!Hex(w[4], r.readBytes) || !Hex(w[5], r.secondBytes))) return Fail("bad set bytes");
    records_.push_back(std::move(r));
    return true;
  }

  bool Write(std::vector<uint8_t>& out) {
    if (kind_ == ".init") {
      Put32(out, static_cast<uint32_t>(records_.size()) + faults_.oversizeN);
      for (size_t i = 0; i < records_.size(); ++i) {
        const Record& r = records_[i];
        out.push_back(static_cast<uint8_t>(r.name.size() + 1));
        out.insert(out.end(), r.name.begin(), r.name.end());
        out.push_back(i == 0 && faults_.unterminatedLabel ? 'X' : 0);
        Put32(out, r.bits);
        Put32(out, r.second);
      }
      return true;
    }
    if (kind_ != ".tob0" && kind_ != ".tob1") {
      std::vector<uint8_t> data;
      for (const Record& r : records_) {
        data.push_back(static_cast<uint8_t>(r.name.size() + 1));
        data.insert(data.end(), r.name.begin(), r.name.end());
        data.push_back(0);
        Put32(data, r.bits);
        Put32(data, static_cast<uint32_t>(r.readBytes.size()));
        data.insert(data.end(), r.readBytes.begin(), r.readBytes.end());
        Put32(data, r.second);
        Put32(data, static_cast<uint32_t>(r.secondBytes.size()));
        data.insert(data.end(), r.secondBytes.begin(), r.secondBytes.end());
      }
      PackedBlock block;
      if (kind_ == ".log packed")
        block = PackStateBlock(data);
      else
        block.stored = data;
      out = {'T', 'S', 'L', 'G'};
      if (faults_.badMagic) out[3] = 'X';
      Put32(out, static_cast<uint32_t>(block.stored.size()) + faults_.oversizeS1);
      Put32(out, block.unpackedSize + faults_.oversizeS2);
      Put32(out, static_cast<uint32_t>(records_.size()) + faults_.oversizeN);
      out.insert(out.end(), block.stored.begin(), block.stored.end());
      return true;
    }
    for (const Pending& p : pending_) {
      // Resolved as the engine finds labels: ASCII letters case-blind, the first of a name wins.
      std::string name;
      if (!QuotedText("\"" + p.label + "\"", name, error_)) return false;
      auto it = std::find_if(labels_.begin(), labels_.end(),
                             [&](const auto& l) { return sjis::EqualsNoCase(l.first, name); });
      if (it == labels_.end()) return Fail("unknown label " + p.label);
      for (int i = 0; i < 4; ++i) code_[p.at + i] = static_cast<uint8_t>(it->second >> (8 * i));
    }
    ApplyCodeFaults();
    std::vector<uint8_t> labelBlock;
    for (size_t i = 0; i < labels_.size(); ++i) {
      const auto& [name, at] = labels_[i];
      labelBlock.push_back(static_cast<uint8_t>(name.size() + 5));
      labelBlock.insert(labelBlock.end(), name.begin(), name.end());
      labelBlock.push_back(i == 0 && faults_.unterminatedLabel ? 'X' : 0);
      Put32(labelBlock,
            i == 0 && faults_.offsetPastCode ? static_cast<uint32_t>(code_.size()) : at);
    }
    out = {'T', 'O', 'B', static_cast<uint8_t>(kind_ == ".tob1" ? '1' : '0')};
    if (faults_.badMagic) out[3] = '9';
    Put32(out, static_cast<uint32_t>(labelBlock.size() + 8) + faults_.oversizeS1);
    Put32(out, static_cast<uint32_t>(labels_.size()));
    out.insert(out.end(), labelBlock.begin(), labelBlock.end());
    Put32(out, static_cast<uint32_t>(8 + 4 * messages_.size()) + faults_.oversizeS2);
    Put32(out, static_cast<uint32_t>(messages_.size()) + faults_.oversizeN);
    for (uint32_t m : messages_) Put32(out, m);
    out.insert(out.end(), code_.begin(), code_.end());
    return true;
  }

  void Patch32(size_t at, uint32_t v) {
    if (at + 4 > code_.size()) return;
    for (int i = 0; i < 4; ++i) code_[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }

  void ApplyCodeFaults() {
    if (faults_.function132 && firstFunction_) Patch32(firstFunction_, 132);
    if (faults_.kind4 && firstFunction_ && firstFunction_ + 4 < code_.size())
      code_[firstFunction_ + 4] = 4;
    if (faults_.badSkip && firstSkip_) Patch32(firstSkip_, 0x7FFFFFF0);
    if (faults_.longString && firstString_ && firstString_ + 2 <= code_.size()) {
      uint32_t l = code_[firstString_] | code_[firstString_ + 1] << 8;
      l += 200;
      code_[firstString_] = static_cast<uint8_t>(l);
      code_[firstString_ + 1] = static_cast<uint8_t>(l >> 8);
    }
    if (faults_.linkPlaceOutside && firstLinkPair_)
      Patch32(firstLinkPair_, static_cast<uint32_t>(firstLinkCode_));
    if (faults_.linkIndexOutside && firstLinkPair_) Patch32(firstLinkPair_ + 4, 0xFFFFFF);
    if (faults_.noEndByte && !code_.empty() && code_.back() == 0) code_.pop_back();
    if (faults_.leadByteLast) {
      if (!code_.empty() && code_.back() == 0) code_.pop_back();
      code_.push_back(0x82);
    }
  }

  struct Record {
    std::string name;
    uint32_t bits = 0, second = 0;
    std::vector<uint8_t> readBytes, secondBytes;
  };

  const FaultSwitches& faults_;
  std::string kind_;
  std::string error_;
  std::vector<uint8_t> code_;
  std::vector<std::pair<std::string, uint32_t>> labels_;
  std::vector<uint32_t> messages_;
  bool explicitMessages_ = false;
  std::vector<Pending> pending_;
  std::vector<Record> records_;
  size_t firstFunction_ = 0, firstSkip_ = 0, firstString_ = 0, firstLinkPair_ = 0,
         firstLinkCode_ = 0;
};

}  // namespace

std::string FunctionName(uint32_t number) {
  if (number < 12) return kControlNames[number];
  std::string_view name = TgsBuiltinName(number);
  return name.empty() ? "f" + std::to_string(number) : std::string(name);
}

int FunctionNumber(std::string_view name) {
  for (int i = 0; i < 12; ++i) {
    if (name == kControlNames[i]) return i;
  }
  int32_t builtin = TgsFindBuiltin(name);
  if (builtin >= 12) return builtin;
  if (name.size() > 1 && name[0] == 'f') {
    auto v = Number(name.substr(1));
    if (v && *v >= 0 && *v <= 0xFFFFFFFF) return static_cast<int>(*v);
  }
  return -1;
}

AssembleResult Assemble(std::string_view source, const FaultSwitches& faults) {
  return Assembler(faults).Run(source);
}

namespace {

// A fragment as CODE when that form gives its bytes back, else in the raw form.
std::string FragmentText(const Fragment& f, bool oneByteCounts) {
  std::string raw = "!" + HexText(f.code) + "!" + HexText(f.area) + "!" + HexText({&f.linked, 1});
  if (f.linked != 0) return raw;
  std::vector<uint8_t> file = {'S', 'O', 'B', '0'};
  std::vector<uint8_t> area;
  ByteReader r(f.area.data(), f.area.size());
  for (int list = 0; list < 5; ++list) {
    uint32_t count = 0;
    uint8_t small = 0;
    if (oneByteCounts ? !r.u8(small) : !r.u32le(count)) return raw;
    if (oneByteCounts) count = small;
    auto pairs = r.bytes(uint64_t{count} * 8);
    if (!pairs) return raw;
    Put32(area, count);
    area.insert(area.end(), pairs->begin(), pairs->end());
  }
  if (!r.atEnd()) return raw;
  Put32(area, 0);
  Put32(file, static_cast<uint32_t>(area.size()));
  file.insert(file.end(), area.begin(), area.end());
  Put32(file, static_cast<uint32_t>(f.code.size()));
  Put32(file, static_cast<uint32_t>(f.code.size()));
  file.insert(file.end(), f.code.begin(), f.code.end());
  std::string text = sob::Disassemble(file);
  if (text.rfind("error:", 0) == 0) return raw;
  std::string joined;
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    std::string_view line = Trim(std::string_view(text).substr(
        start, nl == std::string::npos ? std::string::npos : nl - start));
    start = nl == std::string::npos ? text.size() : nl + 1;
    if (line.empty() || line[0] == ';' || line == ".sob0") continue;
    if (line.find('|') != std::string_view::npos || line.find(';') != std::string_view::npos)
      return raw;
    if (!joined.empty()) joined += " | ";
    joined += line;
  }
  Fragment again;
  std::string error;
  if (!AssembleFragment(joined, oneByteCounts, again, error) || again.code != f.code ||
      again.area != f.area)
    return raw;
  return joined;
}

bool ReadFragment(ByteReader& r, bool expression, Fragment& f) {
  uint32_t length = 0, area = 0;
  uint16_t l16 = 0;
  if (expression ? !r.u16le(l16) : !r.u32le(length)) return false;
  if (expression) length = l16;
  auto code = r.bytes(length);
  if (!code || !r.u8(f.linked)) return false;
  if (expression ? !r.u16le(l16) : !r.u32le(area)) return false;
  if (expression) area = l16;
  const uint32_t head = expression ? 2 : 4;
  if (area < head) return false;
  auto lists = r.bytes(area - head);
  if (!lists) return false;
  f.code.assign(code->begin(), code->end());
  f.area.assign(lists->begin(), lists->end());
  return true;
}

std::string Signed(uint32_t v) {
  return std::to_string(static_cast<int32_t>(v));
}

// One instruction's fields (behind "[ ") as a line; false when they do not decode.
bool InstructionText(ByteReader& r, std::string& line) {
  uint32_t function = 0, skip = 0, word = 0, word2 = 0;
  uint8_t kind = 0, count = 0;
  if (!r.u32le(function) || !r.u8(kind)) return false;
  line = FunctionName(function);
  Fragment f;
  switch (kind) {
    case 0:
      if (!r.u32le(word)) return false;
      line += " if(" + Signed(word) + ")";
      break;
    case 1:
      break;
    case 2:
      if (!r.u32le(word) || !r.u32le(word2)) return false;
      line += " if(var " + std::to_string(word) + " " + std::to_string(word2) + ")";
      break;
    case 3:
      if (!ReadFragment(r, true, f)) return false;
      line += " if{" + FragmentText(f, true) + "}";
      break;
    default:
      return false;
  }
  const size_t skipAt = r.position();
  if (!r.u32le(skip) || !r.u8(count)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t a = 0, v = 0;
    if (!r.u8(a)) return false;
    line += i ? ", " : " ";
    if (a == 0) {
      line += "-";
      continue;
    }
    if (a == 2) {
      if (!r.u32le(word)) return false;
      line += "=" + Signed(word);
      continue;
    }
    if (!r.u8(v)) return false;
    if (a == kOffsetFlags && v == 0) {
      if (!r.u32le(word)) return false;
      line += "@" + std::to_string(word);
      continue;
    }
    if (a != 1) line += "k" + std::to_string(a) + ":";
    uint16_t length = 0;
    switch (v) {
      case 0:
        if (!r.u32le(word)) return false;
        line += Signed(word);
        break;
      case 1: {
        if (!r.u16le(length)) return false;
        auto text = r.bytes(length);
        if (!text) return false;
        if (length == 0) {
          line += "nul";
          break;
        }
        if (text->back() != 0) return false;
        line += QuoteText({reinterpret_cast<const char*>(text->data()), length - 1u});
        break;
      }
      case 2:
        if (!r.u32le(word) || !r.u32le(word2)) return false;
        line += "var(" + std::to_string(word) + " " + std::to_string(word2) + ")";
        break;
      case 3:
        if (!ReadFragment(r, true, f)) return false;
        line += "{" + FragmentText(f, true) + "}";
        break;
      default:
        return false;
    }
  }
  return r.position() == skipAt + skip;
}

// The code bytes one line of text assembles to (no labels, no message table).
std::optional<std::vector<uint8_t>> CodeOf(const std::string& line) {
  AssembleResult r = Assemble(".tob0\n.messages\n" + line + "\n");
  if (!r.ok) return std::nullopt;
  return std::vector<uint8_t>(r.bytes.begin() + 20, r.bytes.end());
}

void PutLine(std::string& out, const std::string& line, std::span<const uint8_t> original) {
  auto code = CodeOf(line);
  if (code && std::equal(code->begin(), code->end(), original.begin(), original.end())) {
    out += line + "\n";
    return;
  }
  out += ".bytes";
  for (uint8_t b : original) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", b);
    out += hex;
  }
  out += "\n";
}

std::string DisassembleTob(ByteReader r, bool version1) {
  uint32_t s1 = 0, labelCount = 0, s2 = 0, n = 0;
  r.skip(4);
  if (!r.u32le(s1) || s1 < 8 || !r.u32le(labelCount)) return "error: truncated label block";
  auto labelBytes = r.bytes(s1 - 8);
  if (!labelBytes || !r.u32le(s2) || !r.u32le(n) || s2 != 8 + uint64_t{n} * 4)
    return "error: bad message block";
  std::string out = version1 ? ".tob1\n" : ".tob0\n";
  ByteReader labels(labelBytes->data(), labelBytes->size());
  for (uint32_t i = 0; i < labelCount; ++i) {
    uint8_t e = 0;
    auto entry = labels.u8(e) && e >= 5 ? labels.bytes(e) : std::nullopt;
    if (!entry || (*entry)[e - 5] != 0) return "error: bad label entry";
    std::string name(reinterpret_cast<const char*>(entry->data()), e - 5u);
    if (name.find('\0') != std::string::npos) return "error: bad label entry";
    uint32_t at = (*entry)[e - 4] | (*entry)[e - 3] << 8 | (*entry)[e - 2] << 16 |
                  uint32_t{(*entry)[e - 1]} << 24;
    std::string quoted = QuoteText(name);
    out += ".label " + quoted.substr(1, quoted.size() - 2) + ", " + std::to_string(at) + "\n";
  }
  if (!labels.atEnd()) return "error: bytes left in the label block";
  out += ".messages";
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t m = 0;
    if (!r.u32le(m)) return "error: truncated message table";
    out += (i ? ", " : " ") + std::to_string(m);
  }
  out += "\n";
  const uint8_t* code = r.data() + r.position();
  const size_t size = r.remaining();
  std::string_view all(reinterpret_cast<const char*>(code), size);
  for (size_t pos = 0; pos < size;) {
    if (code[pos] == 0) {
      out += ".end\n";
      ++pos;
      continue;
    }
    if (code[pos] == '[') {
      size_t end = pos + 1;
      std::string line;
      ByteReader ins(code, size);
      ins.seek(pos + 2);
      if (pos + 1 < size && code[pos + 1] == ' ' && InstructionText(ins, line)) {
        end = ins.position();
      } else if (pos + 1 < size && code[pos + 1] == 's') {
        Fragment f;
        if (ReadFragment(ins, false, f)) {
          line = "stmt{" + FragmentText(f, false) + "}";
          end = ins.position();
        }
      }
      PutLine(out, line, {code + pos, end - pos});
      pos = end;
      continue;
    }
    size_t end = pos;
    while (end < size && code[end] != 0 && code[end] != '[') {
      end += sjis::IsLeadByte(code[end]) && end + 1 < size && code[end + 1] != 0 ? 2 : 1;
    }
    end = std::min(end, size);
    PutLine(out, QuoteText(all.substr(pos, end - pos)), {code + pos, end - pos});
    pos = end;
  }
  return out;
}

std::string DisassembleTable(ByteReader r) {
  uint32_t count = 0;
  if (!r.u32le(count)) return "error: too short for a count of scripts";
  if (count > r.remaining() / 10) {
    return "error: a count of " + std::to_string(count) + " scripts, which " +
           std::to_string(r.remaining()) + " bytes cannot hold";
  }
  std::string out = ".init\n";
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t length = 0;
    uint32_t bits = 0, second = 0;
    auto name = r.u8(length) && length ? r.bytes(length) : std::nullopt;
    if (!name || name->back() != 0 || !r.u32le(bits) || !r.u32le(second))
      return "error: bad table record";
    out += ".script " + std::string(reinterpret_cast<const char*>(name->data()), length - 1u) +
           " " + std::to_string(bits) + " " + std::to_string(second) + "\n";
  }
  return r.atEnd() ? out : "error: bytes after the table";
}

std::string DisassembleLog(ByteReader r) {
  uint32_t stored = 0, unpacked = 0, count = 0;
  r.skip(4);
  if (!r.u32le(stored) || !r.u32le(unpacked) || !r.u32le(count) || stored != r.remaining())
    return "error: bad log header";
  std::vector<uint8_t> data;
  if (!UnpackStateBlock({r.data() + r.position(), stored}, unpacked, data))
    return "error: the log does not unpack";
  if (unpacked && PackStateBlock(data).stored.size() != stored)
    return "error: packed otherwise than the writer packs";
  std::string out = unpacked ? ".log packed\n" : ".log\n";
  ByteReader d(data.data(), data.size());
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t length = 0;
    uint32_t bits[2], bytes[2];
    std::string sets[2];
    auto name = d.u8(length) && length ? d.bytes(length) : std::nullopt;
    if (!name || name->back() != 0) return "error: bad log record";
    for (int k = 0; k < 2; ++k) {
      auto b = d.u32le(bits[k]) && d.u32le(bytes[k]) ? d.bytes(bytes[k]) : std::nullopt;
      if (!b) return "error: bad log record";
      sets[k] = HexText(*b);
    }
    out += ".record " + std::string(reinterpret_cast<const char*>(name->data()), length - 1u) +
           " " + std::to_string(bits[0]) + " " + std::to_string(bits[1]) + " " + sets[0] + " " +
           sets[1] + "\n";
  }
  return d.atEnd() ? out : "error: bytes after the log records";
}

}  // namespace

std::string Disassemble(std::span<const uint8_t> file) {
  ByteReader r(file);
  if (file.size() >= 4 && std::memcmp(file.data(), "TOB", 3) == 0 &&
      (file[3] == '0' || file[3] == '1')) {
    return DisassembleTob(r, file[3] == '1');
  }
  if (file.size() >= 4 && std::memcmp(file.data(), "TSLG", 4) == 0) return DisassembleLog(r);
  // The read-flag table has no magic: what is none of the three is said so.
  std::string table = DisassembleTable(r);
  if (table.rfind("error:", 0) != 0) return table;
  return "error: neither a scenario script (no TOB0 or TOB1 at its start), nor a read-text log "
         "(no TSLG), nor a read-flag table (" +
         table.substr(7) + ")";
}

}  // namespace bw::tob
