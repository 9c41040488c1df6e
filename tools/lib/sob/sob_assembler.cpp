#include "lib/sob/sob_assembler.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <set>

#include "common/byte_reader.h"
#include "host/cp932.h"
#include "lib/le_bytes.h"
#include "lib/text_trim.h"

namespace bw::sob {

namespace {

enum class FileKind { kNone, kCode, kLibrary, kVariables, kTable, kRaw };
// Relocation lists in file order.
enum List { kVar, kNative, kHost, kLib, kOwn };
constexpr const char* kListPrefix[4] = {"var:", "native:", "host:", "lib:"};

using tools::Put16;
using tools::Put32;
using tools::PutBytes;
using tools::Trim;
void SetU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

bool IsIdent(std::string_view s) {
  if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  for (char c : s) {
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  }
  return true;
}

std::optional<int64_t> ParseNumber(std::string_view s) {
  return tools::ParseNumber(s, true);
}

// Splits at commas outside quotes.
std::vector<std::string_view> SplitOperands(std::string_view s) {
  std::vector<std::string_view> out;
  s = Trim(s);
  if (s.empty()) return out;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '"' && (i == 0 || s[i - 1] != '\\')) quoted = !quoted;
    if (s[i] == ',' && !quoted) {
      out.push_back(Trim(s.substr(start, i - start)));
      start = i + 1;
    }
  }
  out.push_back(Trim(s.substr(start)));
  return out;
}

struct Fixup {
  size_t at;
  std::string label;
  int64_t addend;
  int operand;  // 0: the label itself; K: operand K of the instruction there
  int line;
};

class Assembler {
 public:
  explicit Assembler(const FaultSwitches& faults) : faults_(faults) {}

  AssembleResult Run(std::string_view source) {
    if (!tools::ForEachLine(
            source, [this](std::string_view line, int number) { return Line(line, number); }))
      return Fail();
    if (kind_ == FileKind::kNone)
      return Fail(0, "no file directive (.sob0, .sob1, .sob2, .table, .raw)");
    if (!Resolve()) return Fail();
    AssembleResult result;
    result.ok = true;
    result.bytes = Write();
    if (result.bytes.size() > faults_.truncateTo) result.bytes.resize(faults_.truncateTo);
    return result;
  }

 private:
  AssembleResult Fail(int line = -1, std::string message = {}) {
    if (line >= 0) Error(line, std::move(message));
    return AssembleResult{false, {}, error_};
  }
  bool Error(int line, std::string message) {
    error_ = "line " + std::to_string(line) + ": " + message;
    return false;
  }

  std::string_view StripComment(std::string_view line) {
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '"' && (i == 0 || line[i - 1] != '\\')) quoted = !quoted;
      if (line[i] == ';' && !quoted) return line.substr(0, i);
    }
    return line;
  }

  bool Line(std::string_view line, int n) {
    line = Trim(StripComment(line));
    // Leading labels.
    for (;;) {
      size_t colon = line.find(':');
      if (colon == std::string_view::npos || !IsIdent(line.substr(0, colon))) break;
      std::string label(line.substr(0, colon));
      if (labels_.count(label)) return Error(n, "label defined twice: " + label);
      labels_[label] = bytes_.size();
      line = Trim(line.substr(colon + 1));
    }
    if (line.empty()) return true;
    size_t space = line.find_first_of(" \t");
    std::string_view word = line.substr(0, space);
    std::string_view rest =
        space == std::string_view::npos ? std::string_view{} : line.substr(space);
    if (word[0] == '.') return Directive(word, rest, n);
    if (kind_ == FileKind::kNone) return Error(n, "no file directive before the first instruction");
    if (kind_ != FileKind::kCode && kind_ != FileKind::kLibrary)
      return Error(n, "instruction outside code");
    return Instruction(word, SplitOperands(rest), n);
  }

  bool Directive(std::string_view word, std::string_view rest, int n) {
    auto ops = SplitOperands(rest);
    if (word == ".sob0" || word == ".sob2" || word == ".sob1" || word == ".table" ||
        word == ".raw") {
      if (kind_ != FileKind::kNone) return Error(n, "second file directive");
      kind_ = word == ".sob0"    ? FileKind::kCode
              : word == ".sob2"  ? FileKind::kLibrary
              : word == ".sob1"  ? FileKind::kVariables
              : word == ".table" ? FileKind::kTable
                                 : FileKind::kRaw;
      return true;
    }
    if (kind_ == FileKind::kNone) return Error(n, "no file directive before " + std::string(word));
    if (word == ".script") {
      if (kind_ != FileKind::kTable) return Error(n, ".script outside a table");
      auto parts = SplitWords(rest);
      if (parts.size() != 3) return Error(n, ".script NAME bitsA bitsB");
      auto a = ParseNumber(parts[1]), b = ParseNumber(parts[2]);
      if (!a || !b || *a < 0 || *b < 0 || *a > 0xFFFF || *b > 0xFFFF || parts[0].size() > 254) {
        return Error(n, "bad .script line");
      }
      scripts_.push_back(
          {std::string(parts[0]), static_cast<uint16_t>(*a), static_cast<uint16_t>(*b)});
      return true;
    }
    if (kind_ == FileKind::kTable) return Error(n, "only .script lines in a table");
    if (word == ".var") {
      if (kind_ != FileKind::kVariables) return Error(n, ".var outside a variable file");
      auto parts = SplitWords(rest);
      if (parts.size() != 4) return Error(n, ".var kind class label size");
      auto kind = ParseNumber(parts[0]), cls = ParseNumber(parts[1]), size = ParseNumber(parts[3]);
      if (!kind || !cls || !size || *kind < 0 || *kind > 255 || *cls < 0 || *cls > 255 ||
          *size < 0) {
        return Error(n, "bad .var line");
      }
      variables_.push_back({static_cast<uint8_t>(*kind), static_cast<uint8_t>(*cls),
                            std::string(parts[2]), static_cast<uint32_t>(*size), n});
      return true;
    }
    if (word == ".word") {
      for (auto op : ops) {
        if (!Operand(op, n)) return false;
      }
      return true;
    }
    if (word == ".byte") {
      for (auto op : ops) {
        auto v = ParseNumber(op);
        if (!v || *v < -128 || *v > 255) return Error(n, "bad byte: " + std::string(op));
        bytes_.push_back(static_cast<uint8_t>(*v));
      }
      return true;
    }
    if (word == ".space") {
      auto v = ParseNumber(rest);
      if (!v || *v < 0 || *v > (1 << 24)) return Error(n, "bad .space size");
      bytes_.resize(bytes_.size() + static_cast<size_t>(*v));
      return true;
    }
    if (word == ".string") return String(Trim(rest), n);
    return Error(n, "unknown directive " + std::string(word));
  }

  static std::vector<std::string_view> SplitWords(std::string_view s) {
    std::vector<std::string_view> out;
    s = Trim(s);
    while (!s.empty()) {
      size_t sp = s.find_first_of(" \t");
      out.push_back(s.substr(0, sp));
      s = sp == std::string_view::npos ? std::string_view{} : Trim(s.substr(sp));
    }
    return out;
  }

  bool String(std::string_view s, int n) {
    if (s.size() < 2 || s.front() != '"' || s.back() != '"')
      return Error(n, "a string needs quotes");
    s = s.substr(1, s.size() - 2);
    for (size_t i = 0; i < s.size(); ++i) {
      uint8_t c = static_cast<uint8_t>(s[i]);
      if (c >= 0x80) {
        // A run of source text beyond ASCII becomes its CP932 bytes, or the line is refused.
        size_t end = i;
        while (end < s.size() && static_cast<uint8_t>(s[end]) >= 0x80) ++end;
        host::Cp932Conversion text = host::Utf8ToCp932(s.substr(i, end - i));
        if (!text.ok) return Error(n, "text with no CP932 form");
        bytes_.insert(bytes_.end(), text.text.begin(), text.text.end());
        i = end - 1;
        continue;
      }
      if (c != '\\') {
        bytes_.push_back(c);
        continue;
      }
      if (++i >= s.size()) return Error(n, "escape at the end of a string");
      switch (s[i]) {
        case 'n':
          bytes_.push_back('\n');
          break;
        case 't':
          bytes_.push_back('\t');
          break;
        case '0':
          bytes_.push_back(0);
          break;
        case '\\':
          bytes_.push_back('\\');
          break;
        case '"':
          bytes_.push_back('"');
          break;
        case 'x': {
          auto v = i + 2 < s.size() + 0 ? ParseNumber("0x" + std::string(s.substr(i + 1, 2)))
                                        : std::nullopt;
          if (!v) return Error(n, "\\x needs two hex digits");
          bytes_.push_back(static_cast<uint8_t>(*v));
          i += 2;
          break;
        }
        default:
          return Error(n, "unknown escape");
      }
    }
    bytes_.push_back(0);
    return true;
  }

  bool Instruction(std::string_view word, const std::vector<std::string_view>& ops, int n) {
    int opcode = -1;
    size_t first = 0;
    if (word == "op") {
      if (ops.empty()) return Error(n, "op needs its number");
      auto v = ParseNumber(ops[0]);
      if (!v || *v < 0) return Error(n, "bad opcode number");
      opcode = static_cast<int>(*v);
      first = 1;
    } else {
      for (int i = 0; i < static_cast<int>(kOpcodeCount); ++i) {
        if (word == kOpcodeMnemonics[i]) opcode = i;
      }
      if (opcode < 0) return Error(n, "unknown instruction " + std::string(word));
      size_t want = static_cast<size_t>(kOpcodeOperands[opcode]);
      if (opcode == static_cast<int>(kOpSwitch) ? ops.size() < 1 : ops.size() != want) {
        return Error(n, std::string(word) + " takes " + std::to_string(want) + " operands");
      }
    }
    Put32(bytes_, static_cast<uint32_t>(opcode));
    for (size_t i = first; i < ops.size(); ++i) {
      if (!Operand(ops[i], n)) return false;
    }
    if (word == "switch") Put32(bytes_, 0xFFFFFFFF);
    instructionEnd_ = bytes_.size();
    return true;
  }

  bool Operand(std::string_view op, int n) {
    if (op.empty()) return Error(n, "empty operand");
    for (int list = 0; list < 4; ++list) {
      std::string_view prefix = kListPrefix[list];
      if (op.substr(0, prefix.size()) != prefix) continue;
      if (kind_ == FileKind::kVariables || kind_ == FileKind::kRaw)
        return Error(n, "table operands are for code");
      auto v = ParseNumber(op.substr(prefix.size()));
      if (!v || *v < 0) return Error(n, "bad number in " + std::string(op));
      relocations_[list].push_back(
          {static_cast<uint32_t>(bytes_.size()), static_cast<uint32_t>(*v)});
      Put32(bytes_, 0);
      return true;
    }
    if (auto v = ParseNumber(op)) {
      Put32(bytes_, static_cast<uint32_t>(*v));
      return true;
    }
    if (kind_ == FileKind::kRaw) return Error(n, "a raw file has no addresses: " + std::string(op));
    // label, label+N, label-N, label.K
    size_t end = 0;
    while (end < op.size() && (std::isalnum(static_cast<unsigned char>(op[end])) || op[end] == '_'))
      ++end;
    std::string label(op.substr(0, end));
    if (!IsIdent(label)) return Error(n, "bad operand " + std::string(op));
    int64_t addend = 0;
    int operand = 0;
    std::string_view tail = op.substr(end);
    if (!tail.empty()) {
      auto v = ParseNumber(tail.substr(1));
      if (!v || (tail[0] != '+' && tail[0] != '-' && tail[0] != '.'))
        return Error(n, "bad operand " + std::string(op));
      if (tail[0] == '.') {
        if (*v < 1) return Error(n, "operands count from 1");
        operand = static_cast<int>(*v);
      } else {
        addend = tail[0] == '-' ? -*v : *v;
      }
    }
    fixups_.push_back({bytes_.size(), label, addend, operand, n});
    Put32(bytes_, 0);
    return true;
  }

  bool Resolve() {
    for (const Fixup& f : fixups_) {
      auto it = labels_.find(f.label);
      if (it == labels_.end()) return Error(f.line, "unknown label " + f.label);
      int64_t target = static_cast<int64_t>(it->second) + f.addend + 4 * f.operand;
      if (target < 0) return Error(f.line, "address before the start");
      SetU32(bytes_, f.at, 0);
      relocations_[kOwn].push_back({static_cast<uint32_t>(f.at), static_cast<uint32_t>(target)});
    }
    for (const Variable& v : variables_) {
      auto it = labels_.find(v.label);
      if (it == labels_.end()) return Error(v.line, "unknown label " + v.label);
    }
    return true;
  }

  std::vector<uint8_t> Write() {
    std::vector<uint8_t> out;
    const char* magic = kind_ == FileKind::kCode        ? "SOB0"
                        : kind_ == FileKind::kLibrary   ? "SOB2"
                        : kind_ == FileKind::kVariables ? "SOB1"
                                                        : nullptr;
    if (magic) {
      out.assign(magic, magic + 4);
      if (faults_.badMagic) out[3] = 'X';
    }
    switch (kind_) {
      case FileKind::kCode:
      case FileKind::kLibrary:
        WriteCode(out);
        break;
      case FileKind::kVariables:
        WriteVariables(out);
        break;
      case FileKind::kRaw:
        PutBytes(out, bytes_);
        break;
      default:
        WriteTable(out);
        break;
    }
    return out;
  }

  void WriteCode(std::vector<uint8_t>& out) {
    std::vector<uint8_t> area;
    if (faults_.misplacedRelocation) {
      for (auto& list : relocations_) {
        if (list.empty()) continue;
        list.front().first = static_cast<uint32_t>(bytes_.size()) - 2;
        break;
      }
    }
    for (int list = 0; list < 5; ++list) {
      uint32_t count = static_cast<uint32_t>(relocations_[list].size());
      Put32(area, count + (list == 0 ? faults_.oversizeCount : 0));
      for (auto [at, value] : relocations_[list]) {
        Put32(area, at);
        Put32(area, value);
      }
    }
    Put32(area, faults_.badTerminator ? 1 : 0);
    Put32(out, static_cast<uint32_t>(area.size()) + faults_.oversizeSize);
    PutBytes(out, area);
    Put32(out, static_cast<uint32_t>(instructionEnd_));
    Put32(out, static_cast<uint32_t>(bytes_.size()));
    PutBytes(out, bytes_);
  }

  void WriteVariables(std::vector<uint8_t>& out) {
    Put32(out, static_cast<uint32_t>(bytes_.size()) + faults_.oversizeSize);
    PutBytes(out, bytes_);
    Put32(out, static_cast<uint32_t>(variables_.size()) + faults_.oversizeCount);
    for (const Variable& v : variables_) {
      out.push_back(v.kind);
      out.push_back(v.varClass);
      Put32(out, static_cast<uint32_t>(labels_[v.label]));
      Put32(out, v.size);
    }
    Put32(out, static_cast<uint32_t>(relocations_[kOwn].size()));
    for (auto [at, target] : relocations_[kOwn]) {
      Put32(out, at);
      Put32(out, target);
    }
    Put32(out, faults_.badTerminator ? 1 : 0);
  }

  void WriteTable(std::vector<uint8_t>& out) {
    Put16(out, static_cast<uint16_t>(scripts_.size() + faults_.oversizeCount));
    for (const Script& s : scripts_) {
      size_t length = s.name.size() + (faults_.unterminatedNames ? 0 : 1);
      out.push_back(static_cast<uint8_t>(length));
      out.insert(out.end(), s.name.begin(), s.name.end());
      if (!faults_.unterminatedNames) out.push_back(0);
      Put16(out, s.bitsA);
      Put16(out, s.bitsB);
    }
  }

  struct Variable {
    uint8_t kind, varClass;
    std::string label;
    uint32_t size;
    int line;
  };
  struct Script {
    std::string name;
    uint16_t bitsA, bitsB;
  };

  const FaultSwitches& faults_;
  FileKind kind_ = FileKind::kNone;
  std::vector<uint8_t> bytes_;
  size_t instructionEnd_ = 0;
  std::map<std::string, size_t> labels_;
  std::vector<Fixup> fixups_;
  std::array<std::vector<std::pair<uint32_t, uint32_t>>, 5> relocations_;
  std::vector<Variable> variables_;
  std::vector<Script> scripts_;
  std::string error_;
};

std::string LabelName(uint32_t offset) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "L%X", offset);
  return buf;
}

// The text form of one code file: its parts read, its instructions found, its own addresses
// named, then the instructions and the data written.
class Disassembler {
 public:
  explicit Disassembler(std::span<const uint8_t> file) : reader_(file) {}

  std::string Run() {
    if (std::string error = Read(); !error.empty()) return error;
    if (!FindInstructions()) return "error: the instruction part does not decode";
    NameTargets();
    std::string out = library_ ? ".sob2\n" : ".sob0\n";
    WriteInstructions(out);
    WriteData(out);
    for (auto& [at, lv] : relocations_) {
      if (!shown_.count(at)) return "error: a relocation does not fall on an operand or data word";
    }
    return out;
  }

 private:
  // The header, the relocation lists and the code; an error text when they do not read.
  std::string Read() {
    auto magic = reader_.bytes(4);
    if (!magic || (std::memcmp(magic->data(), "SOB0", 4) != 0 &&
                   std::memcmp(magic->data(), "SOB2", 4) != 0)) {
      return "error: not a SOB0 or SOB2 file";
    }
    library_ = (*magic)[3] == '2';
    uint32_t areaSize;
    if (!reader_.u32le(areaSize)) return "error: truncated";
    auto area = reader_.sub(areaSize);
    if (!area || !reader_.u32le(instructionBytes_) || !reader_.u32le(codeSize_))
      return "error: truncated";
    auto code = reader_.bytes(codeSize_);
    if (!code || instructionBytes_ > codeSize_) return "error: truncated code";
    code_ = *code;
    return ReadRelocations(*area);
  }

  std::string ReadRelocations(ByteReader& area) {
    for (int list = 0; list < 5; ++list) {
      int32_t count;
      if (!area.i32le(count)) return "error: truncated relocation lists";
      for (int32_t i = 0; i < count; ++i) {
        uint32_t at, value;
        if (!area.u32le(at) || !area.u32le(value)) return "error: truncated relocation lists";
        if (at > codeSize_ || codeSize_ - at < 4) return "error: relocation outside the code";
        relocations_[at] = {list, value};
      }
    }
    uint32_t end;
    if (!area.u32le(end) || end != 0) return "error: relocation lists not closed by 0";
    return {};
  }

  uint32_t Word(uint32_t at) const {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t{code_[at + i]} << (8 * i);
    return v;
  }
  // Where the instruction at `at` showing `operands` words ends (a switch's -1 word included).
  uint32_t End(uint32_t at, uint32_t operands) const {
    return at + 4 + 4 * operands + (Word(at) == kOpSwitch ? 4 : 0);
  }

  // Walks the instructions once to learn where each starts; false when words that are not a
  // whole instruction come before the data.
  bool FindInstructions() {
    bool rawTail = false;
    for (uint32_t at = 0; at < instructionBytes_;) {
      if (instructionBytes_ - at < 4) {
        rawTail = true;
        break;
      }
      uint32_t op = Word(at);
      uint32_t operands = op < kOpcodeCount ? static_cast<uint32_t>(kOpcodeOperands[op]) : 0;
      if (op == kOpSwitch) {
        uint32_t k = 1;
        while (at + 4 + 4 * k + 4 <= instructionBytes_ && Word(at + 4 + 4 * k) != 0xFFFFFFFF) ++k;
        operands = k;  // the -1 word is added back by the assembler
        if (at + 8 + 4 * k > instructionBytes_) {
          rawTail = true;
          break;
        }
      }
      if (at + 4 + 4 * operands > instructionBytes_) {
        rawTail = true;  // not a well-formed instruction: shown as data
        break;
      }
      starts_[at] = operands;
      at = End(at, operands);
    }
    dataStart_ = starts_.empty() ? 0 : End(starts_.rbegin()->first, starts_.rbegin()->second);
    return !(rawTail && dataStart_ < instructionBytes_);
  }

  // Names for own addresses: a label at each target, or operand K of an instruction.
  void NameTargets() {
    for (auto& [at, lv] : relocations_) {
      if (lv.first != kOwn) continue;
      uint32_t t = lv.second;
      if (starts_.count(t) || (t >= dataStart_ && t <= codeSize_)) {
        labelAt_.insert(t);
        targetName_[t] = LabelName(t);
        continue;
      }
      auto it = starts_.upper_bound(t);
      if (t < dataStart_ && it != starts_.begin()) {
        auto s = std::prev(it);
        uint32_t k = (t - s->first) / 4;
        if ((t - s->first) % 4 == 0 && k >= 1 && k <= s->second) {
          labelAt_.insert(s->first);
          targetName_[t] = LabelName(s->first) + "." + std::to_string(k);
          continue;
        }
      }
      labelAt_.insert(0);  // inside an operand word or past the code: counted from the start
      targetName_[t] = "L0+" + std::to_string(t);
    }
  }

  std::string OperandText(uint32_t at) {
    shown_.insert(at);
    auto it = relocations_.find(at);
    if (it == relocations_.end()) return std::to_string(static_cast<int32_t>(Word(at)));
    auto [list, value] = it->second;
    if (list == kOwn) return targetName_[value];
    return kListPrefix[list] + std::to_string(value);
  }

  void Label(std::string& out, uint32_t at) const {
    if (labelAt_.count(at)) out += LabelName(at) + ":\n";
  }

  void WriteInstructions(std::string& out) {
    for (auto& [at, operands] : starts_) {
      Label(out, at);
      uint32_t op = Word(at);
      out += op < kOpcodeCount ? std::string("  ") + kOpcodeMnemonics[op]
                               : "  op " + std::to_string(op);
      for (uint32_t k = 1; k <= operands; ++k)
        out += (k == 1 ? " " : ", ") + OperandText(at + 4 * k);
      out += "\n";
    }
  }

  // Words where a relocation or a label fits, bytes elsewhere.
  void WriteData(std::string& out) {
    for (uint32_t at = dataStart_; at < codeSize_;) {
      Label(out, at);
      bool labelInside = false;
      for (uint32_t k = 1; k < 4; ++k) labelInside |= labelAt_.count(at + k) > 0;
      if (codeSize_ - at >= 4 && !labelInside) {
        out += "  .word " + OperandText(at) + "\n";
        at += 4;
      } else {
        out += "  .byte " + std::to_string(code_[at]) + "\n";
        at += 1;
      }
    }
    Label(out, codeSize_);
  }

  ByteReader reader_;
  bool library_ = false;
  uint32_t instructionBytes_ = 0, codeSize_ = 0, dataStart_ = 0;
  std::span<const uint8_t> code_;
  std::map<uint32_t, std::pair<int, uint32_t>> relocations_;  // at -> (list, value)
  std::map<uint32_t, uint32_t> starts_;                       // offset -> operand count shown
  std::set<uint32_t> labelAt_;
  std::map<uint32_t, std::string> targetName_;
  std::set<uint32_t> shown_;  // words written as operands
};

}  // namespace

AssembleResult Assemble(std::string_view source, const FaultSwitches& faults) {
  return Assembler(faults).Run(source);
}

std::string Disassemble(std::span<const uint8_t> file) {
  return Disassembler(file).Run();
}

}  // namespace bw::sob
