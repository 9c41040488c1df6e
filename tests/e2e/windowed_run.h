// The built program in a real window, on an X server of its own, for the windowed tests.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/demo_copy.h"
#include "support/shell_quote.h"
#include "support/temp_dir.h"

namespace bw::test {

// Whether the shell finds every one of the commands.
inline bool HaveCommands(const std::vector<std::string>& commands) {
  std::string check = "true";
  for (const std::string& command : commands) check += " && command -v " + command;
  return std::system(("(" + check + ") >/dev/null 2>&1").c_str()) == 0;
}

// A copy of the demo game, which runs write their settings into, and a home for the runs.
struct DemoCopy {
  DemoCopy() { CopyDemoGame(BRIMWOLD_DEMO_GAME, game.path()); }
  TempDir game;
  TempDir home;
};

// The program's environment in the window: home as its lock and data folder, the input played.
// The session bus is pointed at nothing, so none is started for the run; the software renderer
// keeps the GL driver, whose allocations outlive the process, out of it.
inline std::vector<std::string> WindowedEnvironment(const std::filesystem::path& home,
                                                    const std::string& input,
                                                    const std::string& audio = "dummy") {
  return {"BRIMWOLD_HEADLESS",
          "SDL_VIDEODRIVER=x11",
          "SDL_AUDIODRIVER=" + audio,
          "SDL_RENDER_DRIVER=software",
          "SDL_FRAMEBUFFER_ACCELERATION=0",
          "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (home / "no-bus").string(),
          "XDG_RUNTIME_DIR=" + home.string(),
          "XDG_DATA_HOME=" + home.string(),
          "BRIMWOLD_SDL_INPUT=" + input};
}

// The same as the words of a shell command that runs what follows them.
inline std::string WindowedEnvCommand(const std::filesystem::path& home, const std::string& input) {
  std::string command = "env -u BRIMWOLD_HEADLESS";
  for (const std::string& entry : WindowedEnvironment(home, input)) {
    if (entry.find('=') != std::string::npos) command += " " + ShellQuoted(entry);
  }
  return command;
}

struct WindowedRun {
  int status = -1;  // -1: killed or not started
  std::string errors;
};

// The shell command run until its server starts: xvfb-run -a can lose the display it picked to
// another server starting at the same moment. errors is where the command puts the program's.
inline WindowedRun RunUnderXvfb(const std::string& command, const std::filesystem::path& errors) {
  WindowedRun run;
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int status = std::system(command.c_str());
    run.status = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.errors = ReadFile(errors);
    if (run.errors.find("xvfb-run: error:") == std::string::npos) break;
  }
  return run;
}

// What a sanitizer or the input player said went wrong; empty when nothing did. Without
// leaksCount, a leak report alone is no complaint.
inline std::string Complaints(const std::string& errors, bool leaksCount = true) {
  const bool onlyLeaks = errors.find("LeakSanitizer: detected memory leaks") != std::string::npos &&
                         errors.find("ERROR: AddressSanitizer") == std::string::npos;
  for (const std::string mark : {"Sanitizer", "runtime error:", "input: gave up"}) {
    if (mark == "Sanitizer" && onlyLeaks && !leaksCount) continue;
    const size_t at = errors.find(mark);
    if (at != std::string::npos) return errors.substr(at > 200 ? at - 200 : 0, 2000);
  }
  return {};
}

}  // namespace bw::test
