// The demo's title left alone in a window: the program runs whole on a fresh copy of the game in
// a window of a virtual X server (Xvfb, drawn by the GL driver in software), and once the title
// is up its processor time is read over ten seconds of wall time. Nothing moves on the title, so
// what it costs is what the frame loop, the composition and the presentation spend on frames
// that show nothing new. No peer: prints "idle title in a window: <processor time / wall time>".
// Not a test: the figure depends on the machine and on what else runs on it.
#include <benchmark/benchmark.h>

#include <poll.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "program_run.h"

namespace {

constexpr std::chrono::seconds kStartUp{4};
constexpr std::chrono::seconds kMeasured{10};

// An X server of its own on a display number it chooses; its number, or "" when none starts.
class VirtualDisplay {
 public:
  VirtualDisplay() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    // The server writes its display number to the pipe once it takes connections.
    pid_ = bw::bench::StartProgram(
        "/usr/bin/Xvfb",
        {"-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
        {});
    ::close(fds[1]);
    pollfd ready{fds[0], POLLIN, 0};
    char text[16] = {};
    if (pid_ > 0 && ::poll(&ready, 1, 10000) == 1 && ::read(fds[0], text, sizeof text - 1) > 0)
      display_ = ":" + std::to_string(std::atoi(text));
    ::close(fds[0]);
  }
  ~VirtualDisplay() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    bw::bench::WaitForProgram(pid_);
  }
  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace

int main(int argc, char** argv) {
  // The shared flags of every benchmark program are taken and have nothing to change here.
  benchmark::Initialize(&argc, argv);
  VirtualDisplay x;
  if (x.Display().empty()) {
    std::printf("idle title in a window: unavailable (Xvfb does not start)\n");
    return 0;
  }
  bw::bench::TempFolder work;
  const bw::bench::fs::path game = work.Path() / "game", home = work.Path() / "home";
  std::error_code error;
  bw::bench::fs::create_directories(home, error);
  if (work.Path().empty() || !bw::bench::CopyDemoGame(game)) {
    std::printf("idle title in a window: unavailable (the demo game cannot be copied)\n");
    return 0;
  }
  // No sound device here: a silent one, so that no warning box stands over the title.
  const pid_t pid = bw::bench::StartProgram(
      BRIMWOLD_PROGRAM, {"/L", game.string()},
      {"DISPLAY=" + x.Display(), "SDL_AUDIODRIVER=dummy", "XDG_RUNTIME_DIR=" + home.string(),
       "XDG_DATA_HOME=" + home.string()});
  if (pid < 0) {
    std::printf("idle title in a window: unavailable (the program cannot be started)\n");
    return 0;
  }
  std::this_thread::sleep_for(kStartUp);
  const double cpuBefore = bw::bench::ProcessCpuSeconds(pid);
  const auto wallBefore = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(kMeasured);
  const double cpuAfter = bw::bench::ProcessCpuSeconds(pid);
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
  // The window closes as its close button closes it.
  ::kill(pid, SIGTERM);
  const bw::bench::Ended ended = bw::bench::WaitForProgram(pid);
  if (cpuBefore < 0 || cpuAfter < 0 || ended.exitCode != 0) {
    std::printf("idle title in a window: unavailable (the program ended early or with status %d)\n",
                ended.exitCode);
    return 0;
  }
  const double share = (cpuAfter - cpuBefore) / wall;
  std::printf("idle title in a window: %.3f of a core (%.1f %%) over %.1f s\n", share, share * 100,
              wall);
  benchmark::Shutdown();
  return 0;
}
