// The scenario interpreter beside the main-script interpreter, and scenario loading beside
// reading the file.
//
// count: a counting loop of kTurns turns. The scenario interpreter runs a scenario whose every
// turn runs a "[s" statement that increments a variable and a JumpIf whose condition is an
// expression comparing it with the end; the main interpreter runs the same loop as one block
// (increment, compare, jump). "count while-shaped" runs the scenario's loop with its test in
// front: a JumpUnless on the same comparison leaves it, and a JumpIf without a condition goes
// back. Once its steps are decoded, the scenario interpreter runs such a
// loop of straight fragments as one unit (TgsLoop), with every store and the expression's result
// word as the steps would leave them. Both interpreters are ours: a "self" line. Both must end
// with the variable at kTurns. Items are loop turns.
// load: ours loads a 4 MB scenario (20,000 labels, 50,000 messages) from a file: reads it straight
// into guest memory, checks its layout and indexes its labels; the peer reads the same file into
// memory, the bound of any load. Items are bytes.
// steps: loops of kLoops' steps a turn, kLoopTurns turns: a statement counts the turns in
// var:0, the statements behind it count in var:1, and a JumpIf on an expression comparing var:0
// with the end goes back; the main interpreter runs the same increments, compare and jump. Both
// must end with var:0 at kLoopTurns and var:1 at kLoopTurns times the statements behind the first.
// Loops longer than one unit takes (300 steps), loops that call a subroutine (a Call and its
// Return in the scenario, call and ret in the main script) and loops whose turns take one arm and
// then the other of a branch are no cycle the unit runs round and round: they run as straight
// runs of decoded steps, with the call and the return between them, or as cycles left at the
// branch every other turn. "self scenario loop of 300 steps", "... of 64 steps with a call" and
// "... of 64 steps with a branch" measure it.
// Prints "limit load against reading the file: <ours/peer throughput>", "self count:
// <scenario/main throughput>", "self count while-shaped: <scenario/main throughput>" and "self
// scenario loop of N steps[ with a call or a branch]: <scenario/main throughput>" for each loop.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench_ratio.h"
#include "host/file/host_file.h"
#include "lib/file_bytes.h"
#include "lib/sob/sob_assembler.h"
#include "lib/tob/tob_assembler.h"
#include "scenario/tgs/tgs_frame_base.h"
#include "scenario/tgs/tgs_interpreter.h"
#include "script/script_engine.h"

namespace {

constexpr int kTurns = 100000;
constexpr int kLoopTurns = 20000;
// A loop's steps a turn; called: how many of them a subroutine runs (0: no call); branches: the
// turns take two arms of steps - 5 increments each by turns, switched by var:2 (a turn through
// the first arm runs one step more, its jump to the join).
struct LoopShape {
  int steps;
  int called;
  bool branches;
  std::string Name() const {
    return std::to_string(steps) + (called     ? " steps with a call"
                                    : branches ? " steps with a branch"
                                               : " steps");
  }
  std::string File() const {
    return "LOOP" + std::to_string(steps) + (called ? "C" : branches ? "B" : "");
  }
  // The increments of var:1 a turn: every step but the first, the jump back, the Call and the
  // Return; of one arm.
  int Counted() const { return branches ? steps - 5 : steps - 2 - (called ? 2 : 0); }
};
constexpr LoopShape kLoops[] = {{8, 0, false},   {17, 0, false},  {64, 0, false}, {200, 0, false},
                                {300, 0, false}, {64, 32, false}, {64, 0, true}};

std::string Repeat(const char* line, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += line;
  return out;
}

// The scenario loop of shape, and the main script doing the same: var:0 counts the turns, var:1
// the other increments, half in front of the call and half behind it.
std::string LoopScenario(const LoopShape& shape) {
  const int body = shape.Counted() - (shape.called ? shape.called - 1 : 0);
  const char* inc = " stmt{inc var:1 | ret}\n";
  std::string source = ".tob0\nloop:\n stmt{inc var:0 | ret}\n";
  if (shape.branches) {
    source +=
        " stmt{mov var:2, s.2 | s: sub 1, 0, var:2 | ret}\n"
        " JumpUnless if{mov var:2, c.1 | c: ne 0, 0, host:0 | ret} @other\n" +
        Repeat(inc, body) + " JumpIf @join\nother:\n" + Repeat(inc, body) + "join:\n";
  } else {
    source += Repeat(inc, body / 2);
    if (shape.called) source += " Call @sub\n";
    source += Repeat(inc, body - body / 2);
  }
  source += " JumpIf if{mov var:0, c.1 | c: lt 0, " + std::to_string(kLoopTurns) +
            ", host:0 | ret} @loop\n .end\n";
  if (shape.called) source += "sub:\n" + Repeat(inc, shape.called - 1) + " Return\n";
  return source;
}
std::string LoopScript(const LoopShape& shape) {
  const int body = shape.Counted() - (shape.called ? shape.called - 1 : 0);
  std::string source = ".sob0\nloop: inc var:0\n";
  if (shape.branches) {
    source +=
        " mov var:2, s.2\ns: sub 1, 0, var:2\n mov var:2, b.1\nb: ne 0, 0, z.1\nz: jz 0, "
        "other\n" +
        Repeat(" inc var:1\n", body) + " jmp join\nother:" + Repeat(" inc var:1\n", body) + "join:";
  } else {
    source += Repeat(" inc var:1\n", body / 2);
    if (shape.called) source += " call sub\n";
    source += Repeat(" inc var:1\n", body - body / 2);
  }
  source +=
      " mov var:0, c.1\nc: ge 0, " + std::to_string(kLoopTurns) + ", t.1\nt: jz 0, loop\n ret\n";
  if (shape.called) source += "sub:" + Repeat(" inc var:1\n", shape.called - 1) + " ret\n";
  return source;
}

std::vector<uint8_t> Sob(const std::string& source) {
  bw::sob::AssembleResult r = bw::sob::Assemble(source);
  if (!r.ok) {
    std::fprintf(stderr, "%s\n", r.error.c_str());
    std::abort();
  }
  return r.bytes;
}

std::vector<uint8_t> Tob(const std::string& source) {
  bw::tob::AssembleResult r = bw::tob::Assemble(source);
  if (!r.ok) {
    std::fprintf(stderr, "%s\n", r.error.c_str());
    std::abort();
  }
  return r.bytes;
}

struct Engine {
  bw::MemoryScriptFileSource files;
  std::unique_ptr<bw::ScriptEngine> host;
  Engine() {
    files.Put("SCRIPT\\USER_VAR.SOB",
              Sob(".sob1\nv: .space 4\nw: .space 4\nx: .space 4\n.var 0 1 v 4\n.var 0 1 w "
                  "4\n.var 0 1 x 4\n"));
    for (const LoopShape& shape : kLoops) {
      files.Put("SCRIPT\\" + shape.File() + ".TOB", Tob(LoopScenario(shape)));
      files.Put("SCRIPT\\" + shape.File() + ".SOB", Sob(LoopScript(shape)));
    }
    files.Put("SCRIPT\\LOOP.SOB", Sob(".sob0\nloop: inc var:0\n mov var:0, c.1\nc: ge 0, " +
                                      std::to_string(kTurns) + ", t.1\nt: jz 0, loop\n ret\n"));
    files.Put("SCRIPT\\COUNT.TOB",
              Tob(".tob0\nloop:\n stmt{inc var:0 | ret}\n JumpIf if{mov var:0, c.1 | c: lt 0, " +
                  std::to_string(kTurns) + ", host:0 | ret} @loop\n .end\n"));
    files.Put(
        "SCRIPT\\WHILE.TOB",
        Tob(".tob0\nloop:\n JumpUnless if{mov var:0, c.1 | c: lt 0, " + std::to_string(kTurns) +
            ", host:0 | ret} @done\n stmt{inc var:0 | ret}\n JumpIf @loop\ndone:\n .end\n"));
    host = std::make_unique<bw::ScriptEngine>(&files, 64u << 20);
    if (host->LoadInitFiles("", "SCRIPT\\USER_VAR.SOB", "", false, false) != 0) std::abort();
    host->PublishTables();
  }
  uint32_t Counter(uint32_t bank = 0) {
    uint32_t v = 0;
    host->GetMemory().Read32(host->VariableValueAddress(bank), v);
    return v;
  }
  void Reset() {
    host->GetMemory().Write32(host->VariableValueAddress(0), 0);
    host->GetMemory().Write32(host->VariableValueAddress(1), 0);
  }
  // Whether a run of the loop of shape left both counters as it must.
  bool LoopDone(const LoopShape& shape) {
    return Counter(0) == kLoopTurns &&
           Counter(1) == static_cast<uint32_t>(kLoopTurns) * static_cast<uint32_t>(shape.Counted());
  }
};

void BM_ScenarioCount(benchmark::State& state, const char* script) {
  Engine e;
  bw::TgsFrameBase frame(e.host.get(), &e.files);
  // A folder name given here is never refused.
  (void)frame.SetScriptFolder("SCRIPT");
  if (frame.Start(script) != 0) std::abort();
  for (auto _ : state) {
    e.Reset();
    frame.SetPosition(0);
    if (bw::TgsRunStep(frame) != bw::kTgsStepEnded) state.SkipWithError("the scenario failed");
  }
  if (e.Counter() != kTurns) state.SkipWithError("wrong count");
  state.SetItemsProcessed(state.iterations() * kTurns);
}

void BM_MainCount(benchmark::State& state) {
  Engine e;
  if (e.host->LoadScript("LOOP") != 0) std::abort();
  const uint32_t entry = e.host->GetCodeBase();
  e.host->Interpreter().ResetStack();
  for (auto _ : state) {
    e.Reset();
    if (e.host->CallAt(entry) != bw::kRunEnded) state.SkipWithError("the script failed");
  }
  if (e.Counter() != kTurns) state.SkipWithError("wrong count");
  state.SetItemsProcessed(state.iterations() * kTurns);
}

void BM_ScenarioLoop(benchmark::State& state, LoopShape shape) {
  Engine e;
  bw::TgsFrameBase frame(e.host.get(), &e.files);
  // A folder name given here is never refused.
  (void)frame.SetScriptFolder("SCRIPT");
  if (frame.Start(shape.File()) != 0) std::abort();
  for (auto _ : state) {
    e.Reset();
    frame.SetPosition(0);
    if (bw::TgsRunStep(frame) != bw::kTgsStepEnded || !e.LoopDone(shape)) {
      state.SkipWithError("the scenario loop counted wrong");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kLoopTurns);
}

void BM_MainLoop(benchmark::State& state, LoopShape shape) {
  Engine e;
  if (e.host->LoadScript(shape.File()) != 0) std::abort();
  const uint32_t entry = e.host->GetCodeBase();
  e.host->Interpreter().ResetStack();
  for (auto _ : state) {
    e.Reset();
    if (e.host->CallAt(entry) != bw::kRunEnded || !e.LoopDone(shape)) {
      state.SkipWithError("the main loop counted wrong");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kLoopTurns);
}

// Reads files from a folder on disk, as the game's file layer does from loose files.
class DiskFiles : public bw::ScriptFileSource {
 public:
  explicit DiskFiles(std::filesystem::path folder) : folder_(std::move(folder)) {}
  bool Load(const std::string& name, std::vector<uint8_t>& out) override {
    return bw::tools::ReadFileBytes(Path(name), out);
  }
  // Reads into the guest block as ReadWholeFile reads into its vector.
  bool LoadToGuest(const std::string& name, bw::GuestMemory& memory, uint32_t padding,
                   bw::GuestFile& out) override {
    bw::host::HostFile file;
    if (!file.Open(Path(name), bw::host::HostFile::Access::kRead)) return false;
    std::optional<uint64_t> size = file.Size64();
    if (!size || *size > bw::host::HostFile::kMaxEngineSize) return false;
    out = {0, *size};
    if (*size + padding > bw::GuestMemory::kMaxArena) return true;
    const auto n = static_cast<uint32_t>(*size);
    out.address = memory.AllocateToFill(n + padding, n);
    if (!out.address) return true;
    if (file.Read(memory.View(out.address, n).data(), n) != n) {
      memory.Free(out.address);
      return false;
    }
    return true;
  }
  bool Save(const std::string&, std::span<const uint8_t>) override { return false; }

 private:
  std::filesystem::path Path(const std::string& name) const {
    return folder_ / name.substr(name.find_last_of('\\') + 1);
  }
  std::filesystem::path folder_;
};

std::filesystem::path BigScenario() {
  static const std::filesystem::path path = [] {
    std::string source = ".tob1\n";
    for (int i = 0; i < 20000; ++i)
      source += ".label L" + std::to_string(i) + ", " + std::to_string(i * 200) + "\n";
    source += ".messages 0";
    for (int i = 1; i < 50000; ++i) source += ", " + std::to_string(i * 80);
    source += "\n";
    const std::string line = "\"" + std::string(1000, 'a') + "\"\n";
    for (int i = 0; i < 4100; ++i) source += line;
    source += ".end\n";
    std::filesystem::path p = std::filesystem::temp_directory_path() / "brimwold_tgs_bench";
    std::filesystem::create_directories(p);
    if (!bw::tools::WriteFileBytes("tgs_bench", p / "BIG.TOB", Tob(source))) std::abort();
    return p;
  }();
  return path;
}

void BM_ScenarioLoad(benchmark::State& state) {
  DiskFiles files(BigScenario());
  bw::TgsFrameBase frame(nullptr, &files);
  size_t bytes = std::filesystem::file_size(BigScenario() / "BIG.TOB");
  for (auto _ : state) {
    if (frame.Preload("BIG") != 0 || frame.Unload(nullptr) != 0)
      state.SkipWithError("the load failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_FileRead(benchmark::State& state) {
  DiskFiles files(BigScenario());
  size_t bytes = std::filesystem::file_size(BigScenario() / "BIG.TOB");
  for (auto _ : state) {
    std::vector<uint8_t> out;
    if (!files.Load("BIG.TOB", out)) state.SkipWithError("the read failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("tgs/count", BM_ScenarioCount, "COUNT");
  benchmark::RegisterBenchmark("tgs/count-while", BM_ScenarioCount, "WHILE");
  benchmark::RegisterBenchmark("script/count", BM_MainCount);
  for (const LoopShape& shape : kLoops) {
    benchmark::RegisterBenchmark(("tgs/" + shape.File()).c_str(), BM_ScenarioLoop, shape);
    benchmark::RegisterBenchmark(("script/" + shape.File()).c_str(), BM_MainLoop, shape);
  }
  benchmark::RegisterBenchmark("tgs/load", BM_ScenarioLoad);
  benchmark::RegisterBenchmark("file/load", BM_FileRead);
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSelf("count", "tgs/count", "script/count");
  reporter.PrintSelf("count while-shaped", "tgs/count-while", "script/count");
  for (const LoopShape& shape : kLoops) {
    reporter.PrintSelf("scenario loop of " + shape.Name(), "tgs/" + shape.File(),
                       "script/" + shape.File());
  }
  reporter.PrintLimit("load against reading the file", "tgs/load", "file/load");
  benchmark::Shutdown();
  std::filesystem::remove_all(BigScenario());
  return 0;
}
