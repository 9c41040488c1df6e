// Reads arbitrary bytes as the scenario player's scene block: a block is taken or refused with its
// code and the cursor left alone; a taken one writes back at the size it announces, and what it
// writes reads back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "scenario/tgs/tgs_scene_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 16)) return 0;
  bw::ByteReader in(data, size);
  bw::TgsSceneBlock block;
  if (bw::ReadSceneBlock(in, block) != 0) {
    if (in.position() != 0) std::abort();
    return 0;
  }
  std::vector<uint8_t> out;
  bw::WriteSceneBlock(block, out);
  if (out.size() != bw::SceneBlockSize(block)) std::abort();
  bw::ByteReader again(out);
  bw::TgsSceneBlock reread;
  if (bw::ReadSceneBlock(again, reread) != 0 || !again.atEnd()) std::abort();
  std::vector<uint8_t> second;
  bw::WriteSceneBlock(reread, second);
  if (second != out) std::abort();
  return 0;
}
