#include "app/config/user_config.h"

#include <algorithm>
#include <cstring>

#include "app/config/config_block.h"
#include "common/atomic_file.h"

namespace bw {

static_assert(BlockSize<UserConfig>() == UserConfig::kSize);

std::string UserConfig::FontFaceName() const {
  const void* nul = std::memchr(fontFace, 0, sizeof fontFace);
  size_t length =
      nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - fontFace) : sizeof fontFace;
  return std::string(reinterpret_cast<const char*>(fontFace), length);
}

int ReadUserConfig(std::span<const uint8_t> file, UserConfig& config, std::string* why) {
  ByteReader in(file);
  ConfigVerdict verdict;
  UserConfig read = config;
  if (!ReadBlockRecord(in, 4, read, verdict, "the settings block")) {
    return verdict.Answer(why);
  }
  // The face is only ever looked up by name: an odd one gets the default face, not a refusal.
  if (TerminateTextField(read.fontFace)) verdict.Mend();
  config = read;
  return verdict.Answer(why);
}

std::vector<uint8_t> EncodeUserConfig(const UserConfig& config) {
  auto block = EncodeBlock(config);
  // The length word, then the block.
  std::vector<uint8_t> out(4 + block.size());
  out[0] = static_cast<uint8_t>(block.size());
  std::copy(block.begin(), block.end(), out.begin() + 4);
  return out;
}

bool SaveUserConfig(const std::filesystem::path& path, const UserConfig& config,
                    std::error_code* error) {
  return WriteFileAtomically(path, EncodeUserConfig(config), error);
}

}  // namespace bw
