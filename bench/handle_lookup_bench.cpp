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

void BM_RegistryLookup(benchmark::State& state) {
  if (!Agree(state)) return;
  Fixture& f = TheFixture();
  size_t i = 0;
  uintptr_t sum = 0;
  for (auto _ : state) {
    bw::ScriptObjectType type{};
    void* object = f.handles.Lookup(f.order[i], &type);
    sum += reinterpret_cast<uintptr_t>(object) + static_cast<uintptr_t>(type);
    i = (i + 1) & (kLiveHandles - 1);
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}

void BM_UnorderedMapLookup(benchmark::State& state) {
  if (!Agree(state)) return;
  Fixture& f = TheFixture();
  size_t i = 0;
  uintptr_t sum = 0;
  for (auto _ : state) {
    std::lock_guard guard(f.peerLock);
    auto it = f.peer.find(f.order[i]);
    if (it != f.peer.end()) {
      sum +=
          reinterpret_cast<uintptr_t>(it->second.second) + static_cast<uintptr_t>(it->second.first);
    }
    i = (i + 1) & (kLiveHandles - 1);
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("registry_lookup", BM_RegistryLookup);
  benchmark::RegisterBenchmark("unordered_map_lookup", BM_UnorderedMapLookup);
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("handle_lookup", "registry_lookup", "unordered_map_lookup");
  benchmark::Shutdown();
  return 0;
}
