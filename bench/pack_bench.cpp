// Packs at scale: finding a member's entry by name and opening (mounting) a pack, at 1,000 and
// 100,000 members, with the name tables on (the setting under which the file-system manager
// takes every member's size from its entry). There is no peer reader: each size is set beside
// the other, and a look-up should cost the same in both, a mount the same per member.
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench_ratio.h"
#include "common/atomic_file.h"
#include "lib/vfa/vfa_writer.h"
#include "resource/packs/vfa_archive.h"
#include "resource/packs/vfa_decoder.h"

namespace bw {
namespace {

constexpr int kSmall = 1000;
constexpr int kLarge = 100000;

std::string MemberName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "bg\\%03d\\pic%06d.wgx", i % 97, i);
  return name;
}

// One pack per size under the temporary folder, written once and removed at exit.
class PackFiles {
 public:
  PackFiles()
      : folder_(std::filesystem::temp_directory_path() /
                ("brimwold-pack-bench-" + std::to_string(::getpid()))) {}
  ~PackFiles() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  // The pack of n members; empty when it cannot be written.
  std::string Path(int n) {
    auto found = paths_.find(n);
    if (found != paths_.end()) return found->second;
    std::vector<tools::VfaMemberSource> members;
    members.reserve(n);
    for (int i = 0; i < n; ++i) {
      members.push_back({MemberName(i), std::vector<uint8_t>(16, static_cast<uint8_t>(i))});
    }
    tools::VfaPackOptions options;
    options.wideTrie = true;
    std::vector<uint8_t> bytes;
    std::filesystem::path path = folder_ / std::to_string(n) / "SCRIPT.VFA";
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    if (!tools::BuildVfaPack("SCRIPT.VFA", members, options, bytes, nullptr) ||
        !WriteFileAtomically(path, bytes)) {
      return paths_[n] = "";
    }
    return paths_[n] = path.string();
  }

 private:
  std::filesystem::path folder_;
  std::map<int, std::string> paths_;
};

PackFiles& Packs() {
  static PackFiles packs;
  return packs;
}

Archive* OpenWithTables(const std::string& path) {
  (void)VfaDecoderAssist(kVfaAssistTables, 1, 0);  // a kind the decoder knows
  int error = 0;
  return path.empty() ? nullptr : OpenVfaPack(path.c_str(), host::HostFile(), &error);
}

// Entry look-ups by name in a random order, as a game asks for its files; each answer checked.
void BM_PackLookUp(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Archive* archive = OpenWithTables(Packs().Path(n));
  if (!archive) {
    state.SkipWithError("the pack cannot be written or opened");
    return;
  }
  std::vector<std::string> names;
  std::vector<uint32_t> order;
  std::mt19937 rng(1);
  for (int i = 0; i < 4096; ++i) order.push_back(rng() % n);
  for (uint32_t i : order) names.push_back(MemberName(static_cast<int>(i)));
  for (size_t i = 0; i < names.size(); ++i) {
    const ArchiveEntryInfo* info = archive->FindEntryInfo(names[i].c_str());
    if (!info || info->index != order[i]) {
      state.SkipWithError("a look-up answered the wrong entry");
      archive->Release();
      return;
    }
  }
  size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(archive->FindEntryInfo(names[next].c_str()));
    next = (next + 1) % names.size();
  }
  state.SetItemsProcessed(state.iterations());
  archive->Release();
}
BENCHMARK(BM_PackLookUp)->Arg(kSmall)->Arg(kLarge);

// Opening the pack with its tables, per member.
void BM_PackMount(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::string path = Packs().Path(n);
  for (auto _ : state) {
    Archive* archive = OpenWithTables(path);
    if (!archive || archive->GetEntryCount() != static_cast<uint32_t>(n)) {
      state.SkipWithError("the pack does not open whole");
      return;
    }
    archive->Release();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_PackMount)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);

// "self NAME: X": the larger pack's rate over the smaller's (1 = the same cost per item).
void PrintSelf(const bench::RatioReporter& reporter, const char* label, const char* benchmark) {
  const std::string small = std::string(benchmark) + "/" + std::to_string(kSmall);
  const std::string large = std::string(benchmark) + "/" + std::to_string(kLarge);
  const bench::RunResult* s = reporter.Find(small);
  const bench::RunResult* l = reporter.Find(large);
  if (!s || !l || s->rate <= 0) {
    std::printf("self %s: unavailable\n", label);
    return;
  }
  std::printf("self %s: %.2f\n", label, l->rate / s->rate);
}

}  // namespace
}  // namespace bw

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  bw::PrintSelf(reporter, "pack look-up at 100,000 members vs 1,000", "BM_PackLookUp");
  bw::PrintSelf(reporter, "pack mount per member at 100,000 members vs 1,000", "BM_PackMount");
  benchmark::Shutdown();
  return 0;
}
