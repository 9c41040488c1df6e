// The game's sounds: the loose files and pack members the file-system manager resolves.
#pragma once

#include <string>

#include "sound/sound_decoder.h"

namespace bw {

class FileSystemSoundSource final : public SoundFileSource {
 public:
  // The loose file's path or the pack member's lower-cased absolute name; a folder is no sound.
  [[nodiscard]] bool ResolvePath(const std::string& name, std::string* fullPath) override;
  // A member stored packed is read whole into memory.
  Stream* OpenStream(const std::string& name) override;
};

}  // namespace bw
