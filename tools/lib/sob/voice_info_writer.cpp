#include "lib/sob/voice_info_writer.h"

namespace bw::sob {

namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A length byte counting the terminator, the text and the terminator.
void PutText(std::vector<uint8_t>& out, const std::string& text) {
  out.push_back(static_cast<uint8_t>(text.size() + 1));
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
}

}  // namespace

std::vector<uint8_t> WriteVoiceInfo(const std::string& prefix, uint32_t aliasCount,
                                    const std::vector<VoiceInfoCharacter>& characters) {
  std::vector<uint8_t> out;
  PutText(out, prefix);
  PutU32(out, aliasCount);
  PutU32(out, static_cast<uint32_t>(characters.size()));
  for (const VoiceInfoCharacter& c : characters) {
    PutText(out, c.name);
    if (!c.secondText.empty()) {
      PutText(out, c.secondText);
    } else if (c.markOnly) {
      out.push_back(1);
      out.push_back(0);
    } else {
      out.push_back(0);
    }
    PutU32(out, static_cast<uint32_t>(c.aliases.size()));
    for (const std::string& a : c.aliases) PutText(out, a);
  }
  return out;
}

}  // namespace bw::sob
