// The brimwold program. Start-up grows with the engine; for now it opens the game window and
// runs the message loop until the window is closed.
//
// Test switches (environment):
//   BRIMWOLD_HEADLESS=1          run on the headless backend instead of SDL
//   BRIMWOLD_HEADLESS_FRAMES=N   headless only: close the window after N frames
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/clock.h"
#include "host/headless/headless_backend.h"
#include "host/message_queue.h"
#include "host/presentation_sink.h"
#include "host/sdl/sdl_backend.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitStartFailed = 1;
constexpr int kExitUsage = 2;

constexpr int32_t kWindowWidth = 640;
constexpr int32_t kWindowHeight = 480;
constexpr uint32_t kFrameMs = 16;
constexpr char kTitle[] = "Brimwold DX";

volatile std::sig_atomic_t g_stopSignal = 0;

void OnStopSignal(int) { g_stopSignal = 1; }

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

bw::host::LRESULT MainWindowProc(bw::host::HWND hwnd, uint32_t message, bw::host::WPARAM wParam,
                                 bw::host::LPARAM lParam) {
  if (message == bw::host::WM_DESTROY) {
    bw::host::PostQuitMessage(0);
    return 0;
  }
  return bw::host::DefWindowProc(hwnd, message, wParam, lParam);
}

// Pumps, presents and waits for the next frame until the quit message.
int RunMessageLoop(bw::host::HWND window) {
  using namespace bw::host;
  std::vector<uint8_t> backBuffer(static_cast<size_t>(kWindowWidth) * kWindowHeight * 4, 0);
  for (size_t i = 3; i < backBuffer.size(); i += 4) backBuffer[i] = 0xFF;
  for (;;) {
    MSG msg;
    while (PeekMessage(&msg, HWND{}, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
      DispatchMessage(msg);
    }
    if (g_stopSignal) {
      g_stopSignal = 0;
      PostQuitMessage(0);
      continue;
    }
    if (PresentationSink* sink = GetPresentationSink(window)) {
      sink->Present(backBuffer.data(), kWindowWidth, kWindowHeight, kWindowWidth * 4, ScaleFilter::kNearest);
    }
    Sleep(kFrameMs);
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace bw::host;
  CommandLine commandLine;
  if (!ParseCommandLine(argc, argv, &commandLine)) {
    PrintUsage();
    return kExitUsage;
  }
  std::error_code ec;
  if (!commandLine.gameFolder.empty() && !std::filesystem::is_directory(commandLine.gameFolder, ec)) {
    std::fprintf(stderr, "brimwold: the game folder %s does not exist\n", commandLine.gameFolder.c_str());
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

  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  WindowDesc desc;
  desc.proc = MainWindowProc;
  desc.native = true;
  desc.nativeDesc = NativeWindowDesc{kTitle, kWindowWidth, kWindowHeight, true};
  HWND window = CreateWindow(desc);
  if (!window) {
    std::fprintf(stderr, "brimwold: cannot create the game window\n");
    return kExitStartFailed;
  }
  int exitCode = RunMessageLoop(window);
  if (IsWindow(window)) DestroyWindow(window);
  return exitCode == 0 ? kExitOk : exitCode;
}
