#include "lib/tob/tob_assembler.h"

#include <algorithm>
#include <cctype>

#include "common/sjis.h"
#include "lib/le_bytes.h"
#include "lib/text_trim.h"
#include "lib/tob/tob_syntax.h"
#include "scenario/tgs/tgs_builtins.h"
#include "script/state_block.h"

namespace bw::tob {

namespace {

using syntax::AssembleFragment;
using syntax::Fragment;
using syntax::Hex;
using syntax::kOffsetFlags;
using syntax::Number;
using syntax::PutFragment;
using syntax::QuotedText;
using syntax::Split;
using tools::Put16;
using tools::Put32;
using tools::Trim;

constexpr uint32_t kMessageBegin = TgsNumber(TgsFunction::kMessageBegin);
constexpr uint32_t kPrintText = TgsNumber(TgsFunction::kPrintText);

class Assembler {
 public:
  explicit Assembler(const FaultSwitches& faults) : faults_(faults) {}

  AssembleResult Run(std::string_view source) {
    int failedLine = 0;
    const bool read = tools::ForEachLine(source, [&](std::string_view line, int lineNo) {
      const std::string_view stripped = StripComment(line);
      const bool directive = kind_.empty();
      if (!Line(stripped)) {
        failedLine = lineNo;
        return false;
      }
      if (!directive && !stripped.empty() &&
          !(stripped.back() == ':' && stripped.find(' ') == std::string_view::npos) &&
          !stripped.starts_with(".label") && !stripped.starts_with(".messages")) {
        lastCode_ = stripped;
        lastLine_ = lineNo;
      }
      return true;
    });
    if (!read) return {false, {}, "line " + std::to_string(failedLine) + ": " + error_};
    AssembleResult result;
    if (kind_.empty()) return {false, {}, "no file directive (.tob0, .tob1, .init, .log)"};
    // Without an end the player runs past the code and stops the game as malformed.
    if ((kind_ == ".tob0" || kind_ == ".tob1") && !EndsItsCode(lastCode_)) {
      return {false,
              {},
              "line " + std::to_string(lastLine_) +
                  ": the scenario ends without .end (or a Return or Jump), so its code would run "
                  "past its last line"};
    }
    if (!Write(result.bytes)) return {false, {}, error_};
    if (result.bytes.size() > faults_.truncateTo) result.bytes.resize(faults_.truncateTo);
    result.ok = true;
    return result;
  }

 private:
  // A script may also end on a return or a jump back (the jumps' conditions are not weighed).
  // Raw bytes are the writer's to end, and a header alone is a start for code appended to it.
  static bool EndsItsCode(std::string_view last) {
    return last.empty() || last == ".end" || last == "Return" || last.starts_with("Jump") ||
           last.starts_with(".bytes");
  }

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
    while (space < line.size() && !tools::IsBlank(line[space]) && line[space] != '{' &&
           line[space] != '(') {
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
  std::string lastCode_;  // the last line that makes code, and where it stands
  int lastLine_ = 0;
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
  std::string_view name = TgsFunctionName(number);
  return name.empty() ? "f" + std::to_string(number) : std::string(name);
}

int FunctionNumber(std::string_view name) {
  // Control instructions are matched exactly, built-ins in either case.
  for (uint32_t i = 0; i < kTgsFirstBuiltin; ++i) {
    if (name == TgsFunctionName(i)) return static_cast<int>(i);
  }
  int32_t builtin = TgsFindBuiltin(name);
  if (builtin >= 0) return builtin;
  if (name.size() > 1 && name[0] == 'f') {
    auto v = Number(name.substr(1));
    if (v && *v >= 0 && *v <= 0xFFFFFFFF) return static_cast<int>(*v);
  }
  return -1;
}

AssembleResult Assemble(std::string_view source, const FaultSwitches& faults) {
  return Assembler(faults).Run(source);
}

}  // namespace bw::tob
