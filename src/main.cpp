// The brimwold program: starts the game application on the game folder, runs the game's "MAIN"
// and ends with the run's status.
//
// Test switches (environment):
//   BRIMWOLD_HEADLESS=1          run on the headless backend instead of SDL
//   BRIMWOLD_HEADLESS_FRAMES=N   headless only: close the window after N frames
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/application/game_app.h"
#include "host/clock.h"
#include "host/host_path.h"
#include "host/headless/headless_backend.h"
#include "host/message_queue.h"
#include "host/sdl/sdl_backend.h"
#include "resource/packs/app_paths.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitStartFailed = 1;
constexpr int kExitUsage = 2;

struct CommandLine {
  std::string gameFolder;
};

void PrintUsage() { std::fprintf(stderr, "usage: brimwold [/L game-folder]\n"); }

// "/L folder" or "/Lfolder" (either case); nothing else is understood yet.
bool ParseCommandLine(int argc, char** argv, CommandLine* out) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if ((arg[0] == '/' || arg[0] == '-') && (arg[1] == 'L' || arg[1] == 'l')) {
      if (arg[2] != '\0') {
        out->gameFolder = arg + 2;
      } else if (i + 1 < argc) {
        out->gameFolder = argv[++i];
      } else {
        std::fprintf(stderr, "brimwold: /L needs a game folder\n");
        return false;
      }
      continue;
    }
    std::fprintf(stderr, "brimwold: unknown argument: %s\n", arg);
    return false;
  }
  return true;
}

bool ParseFrameCount(const char* text, uint32_t* frames) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  unsigned long value = std::strtoul(text, &end, 10);
  if (*end != '\0' || value == 0 || value > 0xFFFFFFFFul) return false;
  *frames = static_cast<uint32_t>(value);
  return true;
}

// "/L" and the folder in the engine's drive form, as the application reads its command line.
bool EngineCommandLine(const std::string& gameFolder, std::string* commandLine) {
  if (gameFolder.empty()) return true;
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(gameFolder, ec);
  if (ec) return false;
  std::string enginePath;
  if (bw::host::LinuxPathToEnginePath(absolute.lexically_normal().string(), enginePath) != bw::host::kPathOk) {
    return false;
  }
  *commandLine = "/L" + enginePath;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace bw::host;
  CommandLine parsed;
  if (!ParseCommandLine(argc, argv, &parsed)) {
    PrintUsage();
    return kExitUsage;
  }
  std::error_code ec;
  if (!parsed.gameFolder.empty() && !std::filesystem::is_directory(parsed.gameFolder, ec)) {
    std::fprintf(stderr, "brimwold: the game folder %s does not exist\n", parsed.gameFolder.c_str());
    return kExitUsage;
  }

  const char* headlessSwitch = std::getenv("BRIMWOLD_HEADLESS");
  bool headless = headlessSwitch != nullptr && std::strcmp(headlessSwitch, "1") == 0;
  std::unique_ptr<Backend> backend;
  if (headless) {
    auto headlessBackend = std::make_unique<HeadlessBackend>();
    if (const char* framesSwitch = std::getenv("BRIMWOLD_HEADLESS_FRAMES")) {
      uint32_t frames = 0;
      if (!ParseFrameCount(framesSwitch, &frames)) {
        std::fprintf(stderr, "brimwold: BRIMWOLD_HEADLESS_FRAMES must be a positive number\n");
        return kExitUsage;
      }
      headlessBackend->CloseAfterFrames(frames);
    }
    backend = std::move(headlessBackend);
  } else {
    std::string error;
    backend = SdlBackend::Create(&error);
    if (!backend) {
      std::fprintf(stderr, "brimwold: cannot start the display: %s\n", error.c_str());
      return kExitStartFailed;
    }
    // SDL falls back to an invisible driver when there is no display; only a driver asked for
    // by name may be one.
    if (!SdlBackend::HasDisplay() && std::getenv("SDL_VIDEODRIVER") == nullptr) {
      std::fprintf(stderr, "brimwold: no display to open the window on\n");
      return kExitStartFailed;
    }
  }
  ScopedBackend useBackend(backend.get());

  std::string commandLine;
  if (!EngineCommandLine(parsed.gameFolder, &commandLine)) {
    std::fprintf(stderr, "brimwold: the game folder %s has no engine path\n", parsed.gameFolder.c_str());
    return kExitUsage;
  }
  bw::InitAppFolder();
  bw::GameApp app;
  app.set_playAloud(!headless);
  int started = app.Run(commandLine);
  return started != 0 ? started : app.exitStatus();
}
