// Reads arbitrary bytes as a scenario state record beside two loadable scripts: a record is
// taken or refused with its code; a refused one keeps what ran, a taken one saves back to a record
// of the size the frame computes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tgs_fuzz_world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 16)) return 0;
  static const std::vector<uint8_t> run = bw::fuzz::TobOrDie(".tob1\n\"0123456789\"\n.end\n");
  static const std::vector<uint8_t> r0 = bw::fuzz::TobOrDie(".tob0\n\"abc\"\n.end\n");
  bw::fuzz::TgsFuzzWorld w;
  w.Files().Put("SCRIPT\\RUN.TOB", run);
  w.Files().Put("SCRIPT\\R0.TOB", r0);
  bw::TgsFrameBase& f = w.Frame();
  if (f.Start("RUN") != 0) std::abort();
  bw::ByteReader in(data, size);
  int r = f.LoadState(&in);
  if (r != 0) {
    if (f.StackDepth() != 1 || !f.CurrentScript()) std::abort();
    return 0;
  }
  std::vector<uint8_t> out;
  if (f.SaveState(&out) != 0 || out.size() != f.GetStateSize()) std::abort();
  if (f.Position() >= f.CurrentScript()->CodeSize()) std::abort();
  return 0;
}
