// The script handle registry's lookup (handle -> type and object) against the obvious
// alternative: a std::unordered_map from handle to type and object. Both sides are guarded by a
// std::mutex, as the registry must be (objects die on any thread), and look up the same live
// handles in the same shuffled order; before timing, both are checked to answer every handle
// with the same type and object.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "bench_check.h"
#include "bench_ratio.h"
#include "script/script_handles.h"

namespace {

constexpr size_t kLiveHandles = 1 << 16;

struct Fixture {
  bw::ScriptHandles handles;
  std::vector<std::unique_ptr<int>> objects;
  std::vector<uint32_t> order;  // the live handles, shuffled
  std::unordered_map<uint32_t, std::pair<bw::ScriptObjectType, void*>> peer;
  std::mutex peerLock;

  Fixture() {
    std::mt19937 random(7);
    for (size_t i = 0; i < kLiveHandles; ++i) {
      objects.push_back(std::make_unique<int>(int(i)));
      auto type = static_cast<bw::ScriptObjectType>(1 + random() % 6);
      uint32_t h = handles.HandleOf(type, objects.back().get());
      order.push_back(h);
      peer.emplace(h, std::pair{type, objects.back().get()});
    }
    std::shuffle(order.begin(), order.end(), random);
  }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

std::string SameAnswers() {
  Fixture& f = TheFixture();
  for (uint32_t h : f.order) {
    bw::ScriptObjectType type{};
    void* object = f.handles.Lookup(h, &type);
    auto it = f.peer.find(h);
    if (it == f.peer.end() || it->second.first != type || it->second.second != object)
      return "handle " + std::to_string(h) + " answers differently";
  }
  return "";
}

bool Agree(benchmark::State& state) {
  return bw::bench::SidesAgree(state, "lookups", SameAnswers);
}

// Each iteration looks up every live handle once, in the shuffled order: a lookup alone is a few
// nanoseconds, and iterations that stop part way through the order time a share of it that is
// more or less in the caches from run to run.
void BM_RegistryLookup(benchmark::State& state) {
  if (!Agree(state)) return;
  Fixture& f = TheFixture();
  uintptr_t sum = 0;
  for (auto _ : state) {
    for (uint32_t h : f.order) {
      bw::ScriptObjectType type{};
      void* object = f.handles.Lookup(h, &type);
      sum += reinterpret_cast<uintptr_t>(object) + static_cast<uintptr_t>(type);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kLiveHandles));
}

void BM_UnorderedMapLookup(benchmark::State& state) {
  if (!Agree(state)) return;
  Fixture& f = TheFixture();
  uintptr_t sum = 0;
  for (auto _ : state) {
    for (uint32_t h : f.order) {
      std::lock_guard guard(f.peerLock);
      auto it = f.peer.find(h);
      if (it != f.peer.end()) {
        sum += reinterpret_cast<uintptr_t>(it->second.second) +
               static_cast<uintptr_t>(it->second.first);
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kLiveHandles));
}

}  // namespace

int main(int argc, char** argv) {
  // Three repetitions of at least half a second each; each side keeps its best.
  for (auto* run : {benchmark::RegisterBenchmark("registry_lookup", BM_RegistryLookup),
                    benchmark::RegisterBenchmark("unordered_map_lookup", BM_UnorderedMapLookup)}) {
    run->Unit(benchmark::kMicrosecond)->MinTime(0.5)->Repetitions(3);
  }
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("handle_lookup", "registry_lookup/min_time:0.500/repeats:3",
                      "unordered_map_lookup/min_time:0.500/repeats:3");
  benchmark::Shutdown();
  return 0;
}
