// Start-up to the first presented frame on a generated game folder, headless. There is no peer
// engine to set beside it, so the time is printed as a plain figure.
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/application/game_app.h"
#include "bench_ratio.h"
#include "host/headless/headless_backend.h"
#include "host/host_path.h"
#include "host/message_queue.h"
#include "lib/config/config_writers.h"
#include "lib/sob/sob_assembler.h"
#include "platform/app_paths.h"

namespace bw {
namespace {

// A game folder under the temporary folder, removed at exit.
struct GeneratedGame {
  GeneratedGame() {
    root =
        std::filesystem::temp_directory_path() / ("brimwold-startup-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root / "locks");
    std::string error;
    EngineConfig config;
    config.engine.canvas = 1;
    ok = tools::WriteGameConfig(root, AppRecord{}, AppInfo{}, config, &error);
    sob::AssembleResult main = sob::Assemble(".sob0\nl:\n wait\n jmp l\n");
    ok = ok && main.ok;
    std::filesystem::create_directories(root / "SCRIPT");
    FILE* f = std::fopen((root / "SCRIPT" / "MAIN.SOB").c_str(), "wb");
    ok = ok && f != nullptr &&
         std::fwrite(main.bytes.data(), 1, main.bytes.size(), f) == main.bytes.size();
    if (f) std::fclose(f);
    // A game ships the pixel-operation library; the built-in table stands in for this file.
    FILE* library = std::fopen((root / "tvpgl.dll").c_str(), "wb");
    ok = ok && library != nullptr && std::fputs("The pixel-operation library.\n", library) >= 0;
    if (library) ok = std::fclose(library) == 0 && ok;
    ok = ok && host::LinuxPathToEnginePath(root.string(), enginePath) == host::kPathOk;
  }
  ~GeneratedGame() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  std::filesystem::path root;
  std::string enginePath;
  bool ok = false;
};

GeneratedGame& Game() {
  static GeneratedGame game;
  return game;
}

bool FrameShown(host::HeadlessBackend& backend) {
  const host::HeadlessBackend::WindowState* window = backend.Window(backend.MainWindow());
  return window != nullptr && window->sink->FramesShown() > 0;
}

void BM_GameStartupToFirstFrame(benchmark::State& state) {
  GeneratedGame& game = Game();
  if (!game.ok) {
    state.SkipWithError("the game folder cannot be written");
    return;
  }
  for (auto _ : state) {
    host::HeadlessBackend backend;
    ScopedGlobal<host::Backend> use(&backend);
    if (RebaseAppFolder(game.enginePath) != kAppFolderSet) {
      state.SkipWithError("the game folder has no engine path");
      break;
    }

    GameApp app;
    app.SetLockFolder((game.root / "locks").string());
    if (app.AppStartup() != kStartupOk) {
      state.SkipWithError("start-up refused");
      return;
    }
    while (!FrameShown(backend)) (void)app.PumpMessages(true);  // the game does not quit here
    state.PauseTiming();
    app.AppShutdown(1);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_GameStartupToFirstFrame)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bw

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bw::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (const bw::bench::RunResult* ours = reporter.Find("BM_GameStartupToFirstFrame");
      ours && ours->seconds > 0) {
    std::printf("start-up to the first frame: %.3f ms\n", ours->seconds * 1000.0);
  }
  benchmark::Shutdown();
  return 0;
}
