#include "lib/tob/tob_assembler.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "common/byte_reader.h"
#include "common/sjis.h"
#include "lib/le_bytes.h"
#include "lib/text_trim.h"
#include "lib/tob/tob_syntax.h"
#include "scenario/tgs/tgs_functions.h"
#include "script/state_block.h"

namespace bw::tob {

namespace {

using syntax::AssembleFragment;
using syntax::Fragment;
using syntax::HexText;
using syntax::kOffsetFlags;
using syntax::QuoteText;
using tools::Put32;
using tools::Trim;

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
  switch (static_cast<TgsConditionKind>(kind)) {
    case TgsConditionKind::kConstant:
      if (!r.u32le(word)) return false;
      line += " if(" + Signed(word) + ")";
      break;
    case TgsConditionKind::kTrue:
      break;
    case TgsConditionKind::kVariable:
      if (!r.u32le(word) || !r.u32le(word2)) return false;
      line += " if(var " + std::to_string(word) + " " + std::to_string(word2) + ")";
      break;
    case TgsConditionKind::kExpression:
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
    if (a == kTgsArgumentNotGiven) {
      line += "-";
      continue;
    }
    if (a == kTgsArgumentBare) {
      if (!r.u32le(word)) return false;
      line += "=" + Signed(word);
      continue;
    }
    if (!r.u8(v)) return false;
    if (a == kOffsetFlags && static_cast<TgsValueKind>(v) == TgsValueKind::kConstant) {
      if (!r.u32le(word)) return false;
      line += "@" + std::to_string(word);
      continue;
    }
    if (a != 1) line += "k" + std::to_string(a) + ":";
    uint16_t length = 0;
    switch (static_cast<TgsValueKind>(v)) {
      case TgsValueKind::kConstant:
        if (!r.u32le(word)) return false;
        line += Signed(word);
        break;
      case TgsValueKind::kText: {
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
      case TgsValueKind::kVariable:
        if (!r.u32le(word) || !r.u32le(word2)) return false;
        line += "var(" + std::to_string(word) + " " + std::to_string(word2) + ")";
        break;
      case TgsValueKind::kExpression:
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
  // A short file fails the read below.
  (void)r.skip(4);
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
      // Past the end only when pos + 1 is the end, which the test below refuses.
      (void)ins.seek(pos + 2);
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
  // A short file fails the read below.
  (void)r.skip(4);
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
