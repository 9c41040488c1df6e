// Native 323 (a 64 x 64 fill) and native 333 (a 64 x 64 blit) called through the script host's
// native table, beside direct calls of the same surface operations (ImageSurface::Fill and
// ImageSurface::Blit) on the same pictures, with the same values, in the same run: what the
// native layer (reading the argument words from guest memory, resolving the image handles)
// costs. Both sides are ours. Each must leave the target as the operation does. Prints
// "self fill_64: <native/direct>" and "self blit_64: <native/direct>".
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench_ratio.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "natives/native_families.h"
#include "script/script_file_source.h"
#include "script/script_host.h"

namespace {

constexpr int32_t kSide = 64;
constexpr uint32_t kColor = 0xFF336699u;
constexpr uint32_t kWhole = 65535;

bw::NativeRoutine Routine(uint32_t number) {
  for (const bw::NativeFamily& f : bw::AllNativeFamilies()) {
    for (const bw::NativeEntry& e : f.entries) {
      if (e.number == number) return e.routine;
    }
  }
  return nullptr;
}

// Two 64 x 64 pictures, the source seeded.
struct Pictures {
  Pictures() {
    bw::BuildBlendTables();
    // Sizes fixed here: only a lack of memory refuses them, and the pictures then stay blank.
    (void)target.Create(kSide, kSide, 32, bw::kImagePlain);
    (void)source.Create(kSide, kSide, 32, bw::kImagePlain);
    for (int32_t y = 0; y < kSide; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(source.GetRowPointer(y));
      for (int32_t x = 0; x < kSide; ++x) row[x] = 0xFF000000u | uint32_t(x * 4 + y * 1024);
    }
  }
  bw::ImageSurface target, source;
};

// The host, its table's routine and the argument block of one native.
struct NativeCall {
  NativeCall(uint32_t number, std::initializer_list<uint32_t> words)
      : host(&files, 1, 1 << 20, bw::AllNativeFamilies()), routine(Routine(number)) {
    bw::GuestMemory& m = host.GetMemory();
    args = m.Allocate(uint32_t(words.size() * 4));
    uint32_t at = args;
    for (uint32_t w : words) m.Write32(at, w), at += 4;
  }
  uint32_t Give(bw::Surface* s) {
    return host.Handles().HandleOf(bw::ScriptObjectType::kSurface, s);
  }
  int32_t Run() {
    bw::NativeArgs a(host, host.GetMemory(), args);
    return routine(a);
  }
  bw::MemoryScriptFileSource files;
  bw::ScriptHost host;
  bw::NativeRoutine routine;
  uint32_t args = 0;
};

void BM_NativeFill(benchmark::State& state) {
  bw::ScopedPixelLibrary library{&bw::BuiltInPixelLibrary()};
  Pictures p;
  NativeCall call(323, {0, kColor, kWhole});
  call.host.GetMemory().Write32(call.args, call.Give(&p.target));
  for (auto _ : state) {
    benchmark::DoNotOptimize(call.Run());
    benchmark::ClobberMemory();
  }
  if (p.target.GetPixel(63, 63) != kColor) state.SkipWithError("the fill did not land");
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_DirectFill(benchmark::State& state) {
  bw::ScopedPixelLibrary library{&bw::BuiltInPixelLibrary()};
  Pictures p;
  for (auto _ : state) {
    benchmark::DoNotOptimize(p.target.Fill(kColor, nullptr));
    benchmark::ClobberMemory();
  }
  if (p.target.GetPixel(63, 63) != kColor) state.SkipWithError("the fill did not land");
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_NativeBlit(benchmark::State& state) {
  bw::ScopedPixelLibrary library{&bw::BuiltInPixelLibrary()};
  Pictures p;
  NativeCall call(333, {0, 0, 0, 0, kWhole});
  call.host.GetMemory().Write32(call.args, call.Give(&p.target));
  call.host.GetMemory().Write32(call.args + 4, call.Give(&p.source));
  for (auto _ : state) {
    benchmark::DoNotOptimize(call.Run());
    benchmark::ClobberMemory();
  }
  if (std::memcmp(p.target.GetPixels(), p.source.GetPixels(), size_t(kSide) * kSide * 4) != 0)
    state.SkipWithError("the blit did not land");
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_DirectBlit(benchmark::State& state) {
  bw::ScopedPixelLibrary library{&bw::BuiltInPixelLibrary()};
  Pictures p;
  for (auto _ : state) {
    benchmark::DoNotOptimize(p.target.Blit(&p.source, 0, 0, nullptr, false));
    benchmark::ClobberMemory();
  }
  if (std::memcmp(p.target.GetPixels(), p.source.GetPixels(), size_t(kSide) * kSide * 4) != 0)
    state.SkipWithError("the blit did not land");
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("native_fill_64", BM_NativeFill);
  benchmark::RegisterBenchmark("direct_fill_64", BM_DirectFill);
  benchmark::RegisterBenchmark("native_blit_64", BM_NativeBlit);
  benchmark::RegisterBenchmark("direct_blit_64", BM_DirectBlit);
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSelf("fill_64", "native_fill_64", "direct_fill_64");
  reporter.PrintSelf("blit_64", "native_blit_64", "direct_blit_64");
  benchmark::Shutdown();
  return 0;
}
