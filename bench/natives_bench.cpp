// The script's formatting native (67) beside the C library's snprintf on one five-conversion
// format. Ours reads the format, the value words and the %s text from guest memory and writes
// the result back there; the peer formats the same values from host memory into a host buffer
// of the same 1,024 bytes. Both must give the same text. Prints "ratio format: <ours/peer>".
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bench_ratio.h"
#include "natives/native_families.h"
#include "script/script_file_source.h"
#include "script/script_host.h"

namespace {

constexpr char kFormat[] = "%s: %5d points, %-4x|%c|%08u";
constexpr char kName[] = "Brimwold";
constexpr int32_t kPoints = -1234;
constexpr uint32_t kCode = 0xBEEF;
constexpr char kMark = '*';
constexpr uint32_t kCount = 98765;

bw::NativeRoutine FormatRoutine() {
  for (const bw::NativeFamily& f : bw::AllNativeFamilies()) {
    for (const bw::NativeEntry& e : f.entries) {
      if (e.number == 67) return e.routine;
    }
  }
  return nullptr;
}

std::string PeerText() {
  char out[1024];
  std::snprintf(out, sizeof out, kFormat, kName, kPoints, kCode, kMark, kCount);
  return out;
}

void BM_GuestFormat(benchmark::State& state) {
  bw::MemoryScriptFileSource files;
  bw::ScriptHost host(&files, 1, 1 << 20, bw::AllNativeFamilies());
  bw::GuestMemory& m = host.GetMemory();
  auto text = [&](const char* s) {
    return m.AllocateCopy({reinterpret_cast<const uint8_t*>(s), std::strlen(s)}, true);
  };
  uint32_t dest = m.Allocate(1024);
  const uint32_t words[] = {dest,  text(kFormat),   text(kName), uint32_t(kPoints),
                            kCode, uint32_t(kMark), kCount};
  uint32_t args = m.Allocate(sizeof words);
  m.Write(args, words, sizeof words);
  bw::NativeRoutine routine = FormatRoutine();
  for (auto _ : state) {
    bw::NativeArgs a(host, m, args);
    benchmark::DoNotOptimize(routine(a));
    benchmark::ClobberMemory();
  }
  std::string out;
  (void)m.ReadCString(dest, out, 1024);  // a bad text reads empty and differs below
  if (out != PeerText()) state.SkipWithError("the two texts differ");
  state.SetItemsProcessed(state.iterations());
}

void BM_Snprintf(benchmark::State& state) {
  char out[1024];
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        std::snprintf(out, sizeof out, kFormat, kName, kPoints, kCode, kMark, kCount));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("guest_format", BM_GuestFormat);
  benchmark::RegisterBenchmark("snprintf", BM_Snprintf);
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("format", "guest_format", "snprintf");
  benchmark::Shutdown();
  return 0;
}
