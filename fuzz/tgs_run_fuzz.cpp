// Runs arbitrary bytes as the code of a scenario script (behind a good header) for a few steps
// under a budget: every step answers one of the step results, and afterwards the same frame still
// starts and runs a good script to its end.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tgs_fuzz_world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 16)) return 0;
  static const std::vector<uint8_t> header = bw::fuzz::TobOrDie(".tob1\n");
  static const std::vector<uint8_t> good = bw::fuzz::TobOrDie(".tob0\n\"ok\"\n.end\n");
  bw::fuzz::TgsFuzzWorld w;
  std::vector<uint8_t> file = header;
  file.insert(file.end(), data, data + size);
  w.Files().Put("SCRIPT\\RUN.TOB", file);
  w.Files().Put("SCRIPT\\GOOD.TOB", good);
  bw::TgsFrameBase& f = w.Frame();
  if (f.Start("RUN") != 0) std::abort();
  f.SetStepBudget(20000);
  f.Runner().SetInstructionLimit(20000);
  for (int i = 0; i < 4; ++i) {
    int r = bw::TgsRunStep(f);
    if (r < bw::kTgsStepBadResult) std::abort();
    if (r <= 0) break;
  }
  f.UnloadAll();
  f.Text().clear();
  if (f.Start("GOOD") != 0 || bw::TgsRunStep(f) != bw::kTgsStepEnded || f.Text() != "ok")
    std::abort();
  return 0;
}
