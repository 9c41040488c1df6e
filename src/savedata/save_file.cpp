#include "savedata/save_file.h"

#include <cstdio>
#include <cstring>

#include "common/byte_writer.h"
#include "common/sjis.h"
#include "host/cp932.h"
#include "script/state_block.h"

namespace bw {

namespace {
constexpr size_t kFoldLineBytes = 82;
constexpr size_t kFoldLines = 4;
}  // namespace

int ReadSaveHeader(ByteReader& in, SaveHeader& header) {
  uint32_t magic, reserved;
  if (!in.u32le(magic) || magic != kSaveMagic) return kSaveFileBad;
  if (!in.u32le(reserved)) return kSaveFileBad;
  if (reserved != 0) return kSaveFileReserved;
  if (!in.copy(header.thumbnail.data(), kThumbnailBytes) ||
      !in.copy(header.title, kTitleFieldBytes) || !in.copy(header.comment, kCommentFieldBytes) ||
      !in.u8(header.protect)) {
    return kSaveFileBad;
  }
  return kSaveFileOk;
}

int ReadSaveFile(std::span<const uint8_t> file, SaveFileContents& out) {
  ByteReader in(file);
  if (int r = ReadSaveHeader(in, out.header)) return r;
  if (!in.u32le(out.storedSize) || !in.u32le(out.unpackedSize) || !in.u8(out.check)) {
    return kSaveFileBad;
  }
  // Sizes first: nothing is allocated for a claim the file cannot back.
  if (!in.has(out.storedSize)) return kSaveFileBad;
  if (out.unpackedSize > uint64_t{out.storedSize} * kMaxUnpackFactor) return kSaveFileBad;
  out.stored = *in.bytes(out.storedSize);
  if (CheckByte(out.stored) != out.check) return kSaveFileBad;
  return kSaveFileOk;
}

int UnpackSaveState(const SaveFileContents& file, std::vector<uint8_t>& blob) {
  try {
    return UnpackStateBlock(file.stored, file.unpackedSize, blob) ? kSaveFileOk : kSaveFileBad;
  } catch (const std::bad_alloc&) {
    return kSaveFileNoMemory;
  }
}

uint8_t CheckByte(std::span<const uint8_t> bytes) {
  uint8_t sum = 0;
  for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  return sum;
}

std::vector<uint8_t> EncodeSaveFileStored(const SaveHeader& header, std::span<const uint8_t> stored,
                                          uint32_t unpackedSize) {
  std::vector<uint8_t> out;
  out.reserve(kSaveHeaderBytes + stored.size());
  ByteWriter w(out);
  w.u32le(kSaveMagic);
  w.u32le(0);
  w.bytes(header.thumbnail);
  w.bytes(header.title);
  w.bytes(header.comment);
  w.u8(header.protect);
  w.u32le(static_cast<uint32_t>(stored.size()));
  w.u32le(unpackedSize);
  w.u8(CheckByte(stored));
  w.bytes(stored);
  return out;
}

std::vector<uint8_t> EncodeSaveFile(const SaveHeader& header, std::span<const uint8_t> state,
                                    bool pack) {
  if (!pack) return EncodeSaveFileStored(header, state, 0);
  PackedBlock block = PackStateBlock(state);
  return EncodeSaveFileStored(header, block.stored, block.unpackedSize);
}

void PutTitle(uint8_t (&field)[kTitleFieldBytes], std::string_view text) {
  std::memset(field, 0, sizeof field);
  text = text.substr(0, std::min(text.find('\0'), text.size()));
  // A lead byte whose trail is cut off is no character.
  size_t length = sjis::FitLength(text, kTitleTextMax);
  if (length > 0 && length == text.size() && sjis::IsLeadByte(text[length - 1]) &&
      sjis::IsCharStart(text, length - 1)) {
    --length;
  }
  std::memcpy(field, text.data(), length);
}

size_t PutComment(uint8_t* field, std::string_view text) {
  size_t budget = kCommentBudget;
  size_t at = 0;
  while (at < text.size() && text[at] != '\0') {
    const bool lead = sjis::IsLeadByte(text[at]);
    if (lead && (at + 1 >= text.size() || text[at + 1] == '\0')) break;
    const size_t cost = lead ? 2 : 1;
    if (budget <= cost) break;
    budget -= cost;
    at += cost;
  }
  std::memcpy(field, text.data(), at);
  field[at] = 0;
  return at;
}

std::string FieldText(std::span<const uint8_t> field) {
  std::string_view s(reinterpret_cast<const char*>(field.data()), field.size());
  const size_t nul = s.find('\0');
  if (nul != std::string_view::npos) return std::string(s.substr(0, nul));
  size_t end = 0;
  for (size_t i = 0; i < s.size(); i = sjis::Next(s, i)) {
    if (sjis::IsLeadByte(s[i]) && i + 1 >= s.size()) break;
    end = sjis::Next(s, i);
  }
  return std::string(s.substr(0, end));
}

std::string FoldComment(std::string_view text) {
  std::string out;
  size_t lines = 1, lineBytes = 0;
  for (size_t i = 0; i < text.size() && text[i] != '\0';) {
    const size_t n = sjis::CharLength(text, i);
    const bool lineEnd = text[i] == '\n';
    if (lineEnd || lineBytes + n > kFoldLineBytes) {
      if (lines == kFoldLines) break;
      out += '\n';
      ++lines;
      lineBytes = 0;
      if (lineEnd) {
        ++i;
        continue;
      }
    }
    out.append(text.substr(i, n));
    lineBytes += n;
    i += n;
  }
  return out;
}

std::string FitField(std::string_view text, size_t limit) {
  if (limit == 0) return {};
  return std::string(sjis::Truncate(text, limit - 1));
}

std::string SaveFileName(int32_t page, int32_t slot) {
  char name[40];
  std::snprintf(name, sizeof name, "DATA%02d%02d.SAV", page, slot);
  return name;
}

std::string FormatSaveDate(const SaveDate& date) {
  static const char* const kWeekdays[] = {"日", "月", "火", "水", "木", "金", "土"};
  const std::string weekday =
      host::Cp932Literal(kWeekdays[date.weekday >= 0 && date.weekday < 7 ? date.weekday : 0]);
  char text[64];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d(%s) %02d:%02d", date.year, date.month, date.day,
                weekday.c_str(), date.hour, date.minute);
  return text;
}

std::string FormatSaveCaption(std::string_view title, std::string_view date, uint8_t style) {
  const char* separator = style == 0 ? " " : style == 1 ? "\n" : "\r\n";
  std::string out = host::Cp932Literal("『");
  out += title;
  out += host::Cp932Literal("』");
  out += separator;
  out += host::Cp932Literal("【記録日時 ");
  out += date;
  out += host::Cp932Literal("】");
  return out;
}

}  // namespace bw
