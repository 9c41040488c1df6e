// Label: windowed
// Full screen in a real window, on an X server of its own: reached from the settings sheet, from
// the menu, with Alt+Enter and from the mode saved by the run before, with and without a window
// manager. The screen is read back and must hold the whole picture, centred between black bars.
// Skipped only where xvfb-run is not installed.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/demo_copy.h"
#include "support/shell_quote.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

// A wide screen: the 4:3 picture is enlarged 1.8 times between two bars 240 pixels wide.
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
constexpr int kPictureLeft = 240;
constexpr int kPictureRight = 1680;
constexpr int kServerAttempts = 3;

bool HaveTools() {
  return std::system(
             "(command -v xvfb-run && command -v xdotool && command -v xwd && "
             "command -v convert && command -v matchbox-window-manager) >/dev/null") == 0;
}

struct Rgb {
  int r = 0, g = 0, b = 0;
  bool Black() const { return r + g + b < 24; }
  // The sheet's face, a light grey.
  bool Grey() const { return r > 200 && g > 200 && b > 200 && r - b < 12 && b - r < 12; }
};

struct Shot {
  int status = -1;
  std::string errors;
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
  Rgb At(int x, int y) const {
    const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(width) + x) * 3;
    if (x < 0 || y < 0 || x >= width || y >= height || at + 2 >= rgb.size()) return {};
    return {rgb[at], rgb[at + 1], rgb[at + 2]};
  }
};

// Reads the screen's raw RGB bytes; empty unless they are the whole screen.
void ReadScreen(const fs::path& file, Shot* shot) {
  const std::string bytes = test::ReadFile(file);
  if (bytes.size() != static_cast<size_t>(kScreenWidth) * kScreenHeight * 3) return;
  shot->width = kScreenWidth;
  shot->height = kScreenHeight;
  shot->rgb.assign(bytes.begin(), bytes.end());
}

// Runs the program on game with the input played, home as its data folder; once the last step
// has played, the real pointer is moved off the picture's middle with xdotool and the screen is
// read. The program is then stopped, or, with waitForEnd, left to end by itself.
Shot RunAndShoot(const fs::path& game, const fs::path& home, const std::string& input,
                 const std::string& lastStep, bool windowManager, bool waitForEnd = false) {
  const fs::path errors = home / "stderr.txt";
  const fs::path script = home / "run.sh";
  {
    std::ofstream out(script);
    out << "#!/bin/sh\n";
    if (windowManager) out << "matchbox-window-manager -use_titlebar no & sleep 1\n";
    out << "env -u BRIMWOLD_HEADLESS SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy "
           "SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0 DBUS_SESSION_BUS_ADDRESS="
        << test::ShellQuoted("unix:path=" + (home / "no-bus").string())
        << " XDG_RUNTIME_DIR=" << test::ShellQuoted(home.string())
        << " XDG_DATA_HOME=" << test::ShellQuoted(home.string())
        << " BRIMWOLD_SDL_INPUT=" << test::ShellQuoted(input) << " "
        << test::ShellQuoted(BRIMWOLD_PROGRAM) << " /L " << test::ShellQuoted(game.string())
        << " >/dev/null 2>" << test::ShellQuoted(errors.string()) << " &\nP=$!\n";
    if (waitForEnd) {
      out << "wait $P\nexit $?\n";
    } else {
      out << "i=0\nwhile ! grep -q " << test::ShellQuoted("input: played " + lastStep) << " "
          << test::ShellQuoted(errors.string()) << "; do\n  i=$((i+1)); [ $i -gt 600 ] && break\n"
          << "  kill -0 $P 2>/dev/null || break\n  sleep 0.2\ndone\nsleep 1\n"
          << "xdotool mousemove 10 10\nsleep 1\n"
          << "xwd -root -silent > " << test::ShellQuoted((home / "shot.xwd").string()) << "\n"
          << "kill $P\nwait $P\nexit 0\n";
    }
  }
  const std::string command = "timeout -k 5 180 xvfb-run -a -s " +
                              test::ShellQuoted("-screen 0 " + std::to_string(kScreenWidth) + "x" +
                                                std::to_string(kScreenHeight) + "x24") +
                              " sh " + test::ShellQuoted(script.string()) + " >/dev/null 2>&1";
  Shot shot;
  for (int attempt = 0; attempt < kServerAttempts; ++attempt) {
    const int status = std::system(command.c_str());
    shot.status = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    shot.errors = test::ReadFile(errors);
    if (shot.errors.find("xvfb-run: error:") == std::string::npos) break;
  }
  if (waitForEnd) return shot;
  const fs::path raw = home / "shot.rgb";
  if (std::system(("convert " + test::ShellQuoted("xwd:" + (home / "shot.xwd").string()) +
                   " -depth 8 " + test::ShellQuoted("rgb:" + raw.string()) + " >/dev/null 2>&1")
                      .c_str()) == 0) {
    ReadScreen(raw, &shot);
  }
  return shot;
}

// The whole picture between the bars: black beside it, the picture's own colours at its four
// corners and in its middle (the demo's title has no black there), and no sheet left over it.
void ExpectWholePictureLetterboxed(const Shot& shot, bool sheetOpen = false) {
  ASSERT_EQ(shot.width, kScreenWidth) << shot.errors;
  ASSERT_EQ(shot.height, kScreenHeight);
  const int middle = kScreenHeight / 2;
  EXPECT_TRUE(shot.At(kPictureLeft / 2, middle).Black()) << "the left bar";
  EXPECT_TRUE(shot.At((kPictureRight + kScreenWidth) / 2, middle).Black()) << "the right bar";
  const int inset = 8;
  const struct {
    int x, y;
    const char* where;
  } kCorners[] = {{kPictureLeft + inset, inset, "top left"},
                  {kPictureRight - inset, inset, "top right"},
                  {kPictureLeft + inset, kScreenHeight - inset, "bottom left"},
                  {kPictureRight - inset, kScreenHeight - inset, "bottom right"},
                  {kScreenWidth / 2, middle, "middle"}};
  for (const auto& c : kCorners) {
    // An open sheet covers the middle, not the corners.
    if (sheetOpen && c.x == kScreenWidth / 2) continue;
    const Rgb p = shot.At(c.x, c.y);
    EXPECT_FALSE(p.Black()) << "the picture's " << c.where << " is black: cut or missing";
    EXPECT_FALSE(p.Grey()) << "the sheet is still drawn at the picture's " << c.where;
  }
}

std::string Complaints(const std::string& errors) {
  for (const char* mark : {"Sanitizer: ", "runtime error:", "input: gave up"}) {
    if (std::string(mark) == "Sanitizer: " &&
        errors.find("LeakSanitizer: detected memory leaks") != std::string::npos &&
        errors.find("ERROR: AddressSanitizer") == std::string::npos)
      continue;
    size_t at = errors.find(mark);
    if (at != std::string::npos) return errors.substr(at > 200 ? at - 200 : 0, 2000);
  }
  return {};
}

// The title is on the screen after 300 turns; the sheet's radio switches at once.
constexpr const char* kTitle = "wait:300,";
constexpr const char* kFromSheet =
    "click:設定,click:システム,click:フルスクリーン,wait:30,click:OK,wait:60";
// The sheet still open over the picture its radio switched.
constexpr const char* kSheetOpen = "click:設定,click:システム,click:フルスクリーン,wait:60";
constexpr const char* kFromMenu = "click:システム,click:画面モード変更,screen:full,wait:60";
constexpr const char* kAltEnter = "key:Alt+Return,screen:full,wait:60";

TEST(WindowedScreenMode, FullScreenShowsTheWholePictureLetterboxedHoweverItIsReached) {
  if (!HaveTools()) GTEST_SKIP() << "scripts/install-deps.sh installs the X tools";
  const struct {
    const char* name;
    const char* input;
    bool windowManager;
  } kCases[] = {
      {"sheet", kFromSheet, false},
      {"sheet still open", kSheetOpen, false},
      {"menu", kFromMenu, false},
      {"Alt+Enter", kAltEnter, false},
      {"sheet with a manager", kFromSheet, true},
      {"menu with a manager", kFromMenu, true},
      {"Alt+Enter with a manager", kAltEnter, true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    test::TempDir game;
    test::TempDir home;
    test::CopyDemoGame(BRIMWOLD_DEMO_GAME, game.path());
    const std::string input = std::string(kTitle) + c.input;
    const Shot shot = RunAndShoot(game.path(), home.path(), input,
                                  input.substr(input.rfind(',') + 1), c.windowManager);
    EXPECT_EQ(Complaints(shot.errors), "");
    EXPECT_NE(shot.errors.find("input: played wait:60"), std::string::npos) << shot.errors;
    ExpectWholePictureLetterboxed(shot, c.input == kSheetOpen);
  }
}

// Full screen left on at the end comes back at the next start, whole.
TEST(WindowedScreenMode, AFullScreenSavedByTheRunBeforeStartsWhole) {
  if (!HaveTools()) GTEST_SKIP() << "scripts/install-deps.sh installs the X tools";
  for (bool windowManager : {false, true}) {
    SCOPED_TRACE(windowManager ? "with a manager" : "without a manager");
    test::TempDir game;
    test::TempDir home;
    test::CopyDemoGame(BRIMWOLD_DEMO_GAME, game.path());
    // The close question comes up in full screen; the key that switched must not answer it.
    const Shot first = RunAndShoot(game.path(), home.path(),
                                   std::string(kTitle) +
                                       "key:Alt+Return,screen:full,wait:30,close,wait:30,"
                                       "click:はい",
                                   "", windowManager, true);
    EXPECT_NE(first.errors.find("input: played click:はい"), std::string::npos)
        << "the close question was answered before the click: " << first.errors;
    const Shot second =
        RunAndShoot(game.path(), home.path(), "wait:200", "wait:200", windowManager);
    EXPECT_EQ(Complaints(second.errors), "");
    ExpectWholePictureLetterboxed(second);
  }
}

}  // namespace
}  // namespace bw
