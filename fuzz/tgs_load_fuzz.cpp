// Loads arbitrary bytes as a ".TOB" scenario script: a file loads or is refused with its code,
// and a loaded one answers label and message questions from inside its code.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tgs_fuzz_world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  bw::fuzz::TgsFuzzWorld w;
  w.Files().Put("SCRIPT\\F.TOB", std::vector<uint8_t>(data, data + size));
  int r = w.Frame().Preload("F");
  if (r != 0 && r != bw::kTgsLoadBadFile) std::abort();
  if (r != 0) return 0;
  const bw::TgsScript& s = *w.Frame().ResidentScript(0);
  for (uint32_t i = 0; i <= s.MessageCount(); ++i) {
    int32_t at = s.GetMessageOffset(i);
    if (i < s.MessageCount() ? (at < 0 || static_cast<uint32_t>(at) >= s.CodeSize()) : at != -1)
      std::abort();
  }
  int32_t at = s.FindLabel("start");
  if (at >= 0 && static_cast<uint32_t>(at) >= s.CodeSize()) std::abort();
  return 0;
}
