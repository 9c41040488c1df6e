#include "sound/voice_table.h"

#include <cstring>

#include "common/byte_reader.h"
#include "common/sjis.h"

namespace bw {

namespace {

// A text field: a length byte, then that many bytes holding the text up to its first zero.
bool ReadText(ByteReader& r, std::string& out) {
  uint8_t length;
  if (!r.u8(length)) return false;
  auto bytes = r.bytes(length);
  if (!bytes) return false;
  const char* text = reinterpret_cast<const char*>(bytes->data());
  out.assign(text, strnlen(text, bytes->size()));
  return true;
}

// At most max bytes of text, never splitting a double-byte character.
std::string CutText(const std::string& text, size_t max) {
  size_t end = 0;
  while (end < text.size() && sjis::Next(text, end) <= max) end = sjis::Next(text, end);
  return text.substr(0, end);
}

}  // namespace

int VoiceTable::Parse(std::span<const uint8_t> file) {
  Clear();
  ByteReader r(file.data(), file.size());
  VoiceTable table;
  std::string readPrefix;
  uint32_t aliasLimit, characterCount;
  if (!ReadText(r, readPrefix) || !r.u32le(aliasLimit) || !r.u32le(characterCount))
    return kVoiceInfoMalformed;
  table.prefix = CutText(readPrefix, kMaxPrefix);
  // Each character takes at least its name length, second-text byte and alias count.
  if (!r.has(uint64_t{characterCount} * 6)) return kVoiceInfoMalformed;
  table.characters.resize(characterCount);
  for (uint32_t index = 0; index < characterCount; ++index) {
    VoiceCharacter& c = table.characters[index];
    uint8_t n;
    if (!ReadText(r, c.name) || !r.u8(n)) return kVoiceInfoMalformed;
    auto second = r.bytes(n);
    if (!second) return kVoiceInfoMalformed;
    if (n != 0) c.hasSecondText = 1;
    if (n > 1) {
      const char* text = reinterpret_cast<const char*>(second->data());
      c.secondText = std::string(text, strnlen(text, n));
    }
    uint32_t aliasCount;
    if (!r.u32le(aliasCount)) return kVoiceInfoMalformed;
    for (uint32_t a = 0; a < aliasCount; ++a) {
      VoiceAlias alias{{}, index};
      if (!ReadText(r, alias.name)) return kVoiceInfoMalformed;
      // The count at the top is the room for aliases; any beyond it are read past.
      if (table.aliases.size() < aliasLimit) table.aliases.push_back(std::move(alias));
    }
  }
  *this = std::move(table);
  return kVoiceInfoDone;
}

}  // namespace bw
