#include "lib/sav/sav_text.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sstream>

#include "host/cp932.h"
#include "lib/tool_args.h"
#include "script/state_block.h"

namespace bw::sav {

namespace {

using tools::ParseNumber;

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::string Hex(std::span<const uint8_t> bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s;
  s.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) s += kDigits[b >> 4], s += kDigits[b & 15];
  return s;
}

bool FromHex(const std::string& text, std::vector<uint8_t>& out) {
  if (text.size() % 2) return false;
  out.clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    unsigned v;
    if (std::sscanf(text.c_str() + i, "%2x", &v) != 1) return false;
    out.push_back(static_cast<uint8_t>(v));
  }
  return true;
}

// A field's text shown as UTF-8 with its line breaks escaped.
std::string Shown(std::span<const uint8_t> field) {
  std::string utf8 = host::Cp932ToUtf8Lenient(FieldText(field));
  std::string out;
  for (char c : utf8) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

// A text field as the lines gave it: as text (CP932) and as the field's bytes.
struct FieldLines {
  std::optional<std::string> text;
  std::string line;  // the text line as written
  std::optional<std::vector<uint8_t>> bytes;
};

// Takes a "title" or "comment" line: UTF-8, with "\r" and "\n" for line breaks ("\n" alone is
// CR LF in a hand-written description).
bool FieldLine(const std::string& key, const std::string& value, bool newlineIsCrLf,
               FieldLines& field, std::string& error) {
  std::string text;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size() && (value[i + 1] == 'r' || value[i + 1] == 'n')) {
      text += value[i + 1] == 'r' ? "\r" : (newlineIsCrLf ? "\r\n" : "\n");
      ++i;
    } else {
      text += value[i];
    }
  }
  host::Cp932Conversion cp932 = host::Utf8ToCp932(text);
  if (!cp932.ok) {
    error = key + " holds a character that CP932 lacks";
    return false;
  }
  field.text = std::move(cp932.text);
  field.line = value;
  return true;
}

// Fills the field from its lines. A text line and a bytes line must agree (a dump has both);
// a text longer than the field holds is refused.
template <size_t N>
bool SetField(const char* name, const FieldLines& lines, uint8_t (&field)[N], std::string& error) {
  if (lines.bytes) {
    // A dump shows the bytes as its text line does, characters CP932 cannot decode included.
    if (lines.text && Shown(*lines.bytes) != lines.line) {
      error = std::string("the ") + name + " line and the " + name +
              "-bytes line disagree; change one and remove the other";
      return false;
    }
    std::memcpy(field, lines.bytes->data(), N);
    return true;
  }
  if (!lines.text) return true;
  const size_t room = N == kTitleFieldBytes ? kTitleTextMax : kCommentBudget - 1;
  if (lines.text->size() > room) {
    error = std::string("the ") + name + " is " + std::to_string(lines.text->size()) +
            " bytes in CP932; the field holds " + std::to_string(room);
    return false;
  }
  std::memset(field, 0, N);
  if constexpr (N == kTitleFieldBytes) {
    PutTitle(field, *lines.text);
  } else {
    PutComment(field, *lines.text);
  }
  return true;
}

}  // namespace

uint64_t Digest(std::span<const uint8_t> bytes) {
  uint64_t h = 0xcbf29ce484222325ull;  // FNV-1a
  for (uint8_t b : bytes) h = (h ^ b) * 0x100000001b3ull;
  return h;
}

std::vector<uint8_t> JoinState(const StateParts& parts, const StateFaults& faults) {
  std::vector<uint8_t> out = parts.variables;
  out.push_back(parts.historyFlag);
  if (parts.historyFlag == 1) {
    out.insert(out.end(), parts.history.begin(), parts.history.end());
    const size_t frameBytes = parts.frame && !faults.noFramePart ? parts.frame->size() : 0;
    PutU32(out, static_cast<uint32_t>(parts.snapshot.size() +
                                      (faults.snapshotPastBlob ? frameBytes + 1 : 0)));
    out.insert(out.end(), parts.snapshot.begin(), parts.snapshot.end());
  }
  if (parts.frame && !faults.noFramePart)
    out.insert(out.end(), parts.frame->begin(), parts.frame->end());
  return out;
}

std::vector<uint8_t> JoinState(const StateParts& parts) {
  return JoinState(parts, {});
}

std::vector<uint8_t> MakeSaveFile(const SaveDescription& d, const Faults& faults) {
  SaveHeader header = d.header;
  if (faults.fieldsWithoutNul) {
    std::memset(header.title, 0x82, sizeof header.title);  // lead bytes to the very end
    std::memset(header.comment, 'c', sizeof header.comment);
  }
  PackedBlock block;
  if (d.packed) {
    block = PackStateBlock(d.state);
  } else {
    block.stored = d.state;
  }
  if (faults.shortLzss && block.unpackedSize != 0 && block.stored.size() > 1) {
    block.stored.resize(block.stored.size() / 2);
  }
  std::vector<uint8_t> file = EncodeSaveFileStored(header, block.stored, block.unpackedSize);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  if (faults.magic) file[0] ^= 0xFF;
  if (faults.reservedWord) put32(4, 1);
  if (faults.checkByte) ++file[kSaveHeaderBytes - 1];
  if (faults.storedPastEnd)
    put32(kStoredSizeOffset, static_cast<uint32_t>(block.stored.size() + 1));
  if (faults.unpackedTooLarge) {
    put32(kStoredSizeOffset + 4, static_cast<uint32_t>(block.stored.size() * kMaxUnpackFactor + 1));
  }
  if (faults.truncateTo && faults.truncateTo < file.size()) file.resize(faults.truncateTo);
  return file;
}

bool DumpSaveFile(std::span<const uint8_t> file, std::string& text, std::string& error) {
  SaveFileContents contents;
  if (int r = ReadSaveFile(file, contents)) {
    error = "not a readable save file (code " + std::to_string(r) + ")";
    return false;
  }
  std::vector<uint8_t> state;
  if (int r = UnpackSaveState(contents, state)) {
    error = "the state does not unpack (code " + std::to_string(r) + ")";
    return false;
  }
  const SaveHeader& h = contents.header;
  std::ostringstream o;
  char digest[32];
  std::snprintf(digest, sizeof digest, "%016" PRIX64, Digest(h.thumbnail));
  o << "# savfile dump: title and comment as UTF-8 and as bytes; to change one, edit its text "
       "line and remove its -bytes line\n";
  o << "title " << Shown(h.title) << "\n";
  o << "comment " << Shown(h.comment) << "\n";
  o << "title-bytes " << Hex(h.title) << "\n";
  o << "comment-bytes " << Hex(h.comment) << "\n";
  o << "protect " << int(h.protect) << "\n";
  o << "thumbnail-digest " << digest << "\n";
  o << "thumbnail " << Hex(h.thumbnail) << "\n";
  o << "stored-size " << contents.storedSize << "\n";
  o << "unpacked-size " << contents.unpackedSize << "\n";
  o << "check " << int(contents.check) << "\n";
  o << "packing " << (contents.unpackedSize ? "packed" : "stored") << "\n";
  o << "state " << Hex(state) << "\n";
  text = o.str();
  return true;
}

bool ParseSaveText(const std::string& text, SaveDescription& out, std::string& error,
                   const StateFaults& faults) {
  std::istringstream in(text);
  std::string line;
  StateParts parts;
  bool haveParts = false, haveState = false;
  FieldLines title, comment;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t space = line.find(' ');
    const std::string key = line.substr(0, space);
    const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
    std::vector<uint8_t> bytes;
    auto hex = [&](size_t size) {
      if (!FromHex(value, bytes) || (size && bytes.size() != size)) {
        error = "bad hex for " + key;
        return false;
      }
      return true;
    };
    if (key == "title-bytes") {
      if (!hex(kTitleFieldBytes)) return false;
      title.bytes = bytes;
    } else if (key == "comment-bytes") {
      if (!hex(kCommentFieldBytes)) return false;
      comment.bytes = bytes;
    } else if (key == "title" || key == "title-text") {
      if (!FieldLine(key, value, false, title, error)) return false;
    } else if (key == "comment" || key == "comment-text") {
      // A description's "\n" is a line break; a dump's "\r\n" is one too.
      if (!FieldLine(key, value, key == "comment-text", comment, error)) return false;
    } else if (key == "protect") {
      if (!ParseNumber(value, &out.header.protect)) {
        error = "protect needs a number from 0 to 255, not \"" + value + "\"";
        return false;
      }
    } else if (key == "thumbnail") {
      if (!hex(kThumbnailBytes)) return false;
      out.header.thumbnail = bytes;
    } else if (key == "packing") {
      out.packed = value == "packed";
    } else if (key == "state") {
      if (!hex(0)) return false;
      out.state = bytes, haveState = true;
    } else if (key == "variables" || key == "history" || key == "snapshot" || key == "frame") {
      if (!hex(0)) return false;
      haveParts = true;
      if (key == "variables") parts.variables = bytes;
      if (key == "history") parts.history = bytes, parts.historyFlag = 1;
      if (key == "snapshot") parts.snapshot = bytes;
      if (key == "frame") parts.frame = bytes;
    } else if (key == "thumbnail-digest" || key == "stored-size" || key == "unpacked-size" ||
               key == "check") {
      // Shown for people; make computes them.
    } else {
      error = "unknown line: " + key;
      return false;
    }
  }
  if (haveParts && !haveState) out.state = JoinState(parts, faults);
  return SetField("title", title, out.header.title, error) &&
         SetField("comment", comment, out.header.comment, error);
}

}  // namespace bw::sav
