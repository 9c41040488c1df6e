// Writes the voice table "SCRIPT\VOICEINF.DAT": the voice-file prefix, the alias count, and per
// character its name, its optional second text and its aliases. Texts are CP932 bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bw::sob {

struct VoiceInfoCharacter {
  std::string name;
  std::string secondText;  // written when not empty
  bool markOnly = false;   // with no second text: a one-byte field that only sets the mark
  std::vector<std::string> aliases;
};

// aliasCount is the count stored at the top; the aliases written need not add up to it.
std::vector<uint8_t> WriteVoiceInfo(const std::string& prefix, uint32_t aliasCount,
                                    const std::vector<VoiceInfoCharacter>& characters);

}  // namespace bw::sob
