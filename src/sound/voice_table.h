// The voice table of "SCRIPT\VOICEINF.DAT": the characters that speak, the aliases scripts use
// for them and the prefix of voice file names. The script engine reads it; the sound channel
// manager reads the same records when it plays a voice (its mark byte is hasSecondText).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace bw {

struct VoiceCharacter {
  static constexpr uint32_t kDefaultSetting = 256;

  std::string name;
  std::optional<std::string> secondText;
  uint32_t setting = kDefaultSetting;
  uint8_t enabled = 1;
  uint8_t hasSecondText = 0;
};

struct VoiceAlias {
  std::string name;
  uint32_t character = 0;  // index into the characters
};

constexpr int kVoiceInfoDone = 0;
constexpr int kVoiceInfoMalformed = 1;  // the file ends early; the tables stay empty

struct VoiceTable {
  static constexpr size_t kMaxPrefix = 7;  // an 8-byte field with its terminator

  std::string prefix;
  std::vector<VoiceCharacter> characters;
  std::vector<VoiceAlias> aliases;

  // Replaces the tables with those of a file's bytes. A malformed file leaves them empty.
  [[nodiscard]] int Parse(std::span<const uint8_t> file);
  void Clear() { *this = VoiceTable{}; }
};

}  // namespace bw
