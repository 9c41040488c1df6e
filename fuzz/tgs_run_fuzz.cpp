// Runs arbitrary bytes as the code of a scenario script (behind a good header) for a few steps
// under a budget, twice: keeping the steps it decodes for their next turns, and reading every step
// afresh. Every step answers one of the step results, both runs agree on each step's result,
// position, text, built-in calls and the whole guest memory, and afterwards the same frame still
// starts and runs a good script to its end.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tgs_fuzz_world.h"

namespace {

// What a run did: per step its result and the frame's state, then the guest memory.
std::string Run(const std::vector<uint8_t>& file, bool decoding) {
  static const std::vector<uint8_t> good = bw::fuzz::TobOrDie(".tob0\n\"ok\"\n.end\n");
  bw::fuzz::TgsFuzzWorld w;
  std::string trace;
  bw::fuzz::builtinLog = &trace;
  w.Files().Put("SCRIPT\\RUN.TOB", file);
  w.Files().Put("SCRIPT\\GOOD.TOB", good);
  bw::TgsFrameBase& f = w.Frame();
  f.SetStepDecoding(decoding);
  if (f.Start("RUN") != 0) std::abort();
  f.SetStepBudget(20000);
  f.Runner().SetInstructionLimit(20000);
  for (int i = 0; i < 4; ++i) {
    int r = bw::TgsRunStep(f);
    if (r < bw::kTgsStepBadResult) std::abort();
    trace += "|" + std::to_string(r) + " " + std::to_string(f.Position()) + " " +
             std::to_string(f.ValueStackTop()) + " " + std::to_string(f.Result()) + " " +
             std::to_string(f.ArgumentCount()) + " " + f.Text() + "|";
    if (r <= 0) break;
  }
  bw::GuestMemory& m = w.Host().GetMemory();
  std::span<uint8_t> used =
      m.View(bw::GuestMemory::kNullPage, m.Top() - bw::GuestMemory::kNullPage);
  trace.append(reinterpret_cast<const char*>(used.data()), used.size());
  bw::fuzz::builtinLog = nullptr;
  f.UnloadAll();
  f.Text().clear();
  if (f.Start("GOOD") != 0 || bw::TgsRunStep(f) != bw::kTgsStepEnded || f.Text() != "ok")
    std::abort();
  return trace;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 16)) return 0;
  static const std::vector<uint8_t> header = bw::fuzz::TobOrDie(".tob1\n");
  std::vector<uint8_t> file = header;
  file.insert(file.end(), data, data + size);
  if (Run(file, true) != Run(file, false)) std::abort();
  return 0;
}
