// Runs the built program headless.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "program/program_process.h"
#include "support/game_run.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

using namespace std::chrono_literals;
using test::ExitCode;
using test::ProgramProcess;

// Bounds on waits for a child that works; a slow machine meets them, a stuck child fails them.
constexpr auto kStartLimit = 60s;
constexpr auto kEndLimit = 60s;

// The switches of a headless run in its own lock and data folders, plus more.
std::vector<std::string> HeadlessEnvironment(const test::TempDir& home,
                                             std::vector<std::string> more = {}) {
  std::vector<std::string> environment{"BRIMWOLD_HEADLESS=1",
                                       "XDG_RUNTIME_DIR=" + home.path().string(),
                                       "XDG_DATA_HOME=" + home.path().string(),
                                       "XDG_CACHE_HOME",
                                       "BRIMWOLD_HEADLESS_FRAMES",
                                       "BRIMWOLD_HEADLESS_HASHES"};
  environment.insert(environment.end(), more.begin(), more.end());
  return environment;
}

// The program playing the game folder in a headless run.
ProgramProcess Play(const std::filesystem::path& game, const test::TempDir& home,
                    std::vector<std::string> more = {}) {
  return ProgramProcess(BW_PROGRAM, {"/L", game.string()}, HeadlessEnvironment(home, more));
}

// Waits for the program's end; answers its exit code.
int Finish(ProgramProcess& program) {
  return ExitCode(program.WaitForEnd(kEndLimit));
}

// A game folder with the default configuration and the given MAIN.
void WriteGame(const test::TempDir& game, const std::string& mainBody) {
  test::WriteGameFolder(game, AppRecord{}, AppInfo{}, EngineConfig{}, mainBody);
}

// Each test's lock and data folders, and a folder for its game.
class Program : public testing::Test {
 protected:
  test::TempDir home;
  test::TempDir game;
};

// A game whose MAIN ends, or whose window closes, ends with 0 in the demo's runs.
TEST_F(Program, TakesItsFolderJoinedToTheSwitchHelpsAndEndsNonZeroOnABadCommandLine) {
  const auto run = [&](const std::vector<std::string>& arguments) {
    ProgramProcess program(BW_PROGRAM, arguments,
                           HeadlessEnvironment(home, {"BRIMWOLD_HEADLESS_FRAMES=1"}));
    return Finish(program);
  };
  WriteGame(game, test::kLoopForever);
  EXPECT_EQ(run({"/l" + game.path().string()}), 0) << "the window closed";
  EXPECT_EQ(run({"--trust-game", "/L", game.path().string()}), 0) << "the player's switch";
  EXPECT_NE(run({"/L"}), 0) << "no folder after /L";
  EXPECT_NE(run({"/L", (game.path() / "missing").string()}), 0) << "no such folder";

  // The help says what the program is for, and a run without /L where it looked.
  ProgramProcess help(BW_PROGRAM, {"-h"}, {});
  EXPECT_EQ(Finish(help), 0);
  EXPECT_NE(help.Output().find("usage: brimwold [--trust-game] [/L game-folder]"),
            std::string::npos);
  EXPECT_NE(help.Output().find("  --trust-game\n"), std::string::npos) << "the switch is listed";
  ProgramProcess wrong(BW_PROGRAM, {"--frobnicate"}, {});
  EXPECT_EQ(Finish(wrong), 2);
  EXPECT_NE(wrong.Errors().find("usage: brimwold"), std::string::npos);

  // The program's own folder holds no game.
  ProgramProcess bare(BW_PROGRAM, {}, HeadlessEnvironment(home));
  EXPECT_NE(Finish(bare), 0);
  const std::string folder = std::filesystem::path(BW_PROGRAM).parent_path().string();
  EXPECT_NE(bare.Errors().find("looked for in " + folder), std::string::npos) << bare.Errors();
}

// A settings file that is a folder is reported as the engine reports an unreadable one, and the
// folder keeps what it holds.
TEST_F(Program, ASettingsFileThatIsAFolderIsReportedAndKept) {
  WriteGame(game, " wait\n ret\n");
  std::filesystem::remove(game.path() / "USER.CFG");
  game.WriteFile("USER.CFG/inside", "keep");
  ProgramProcess settings = Play(game.path(), home);
  EXPECT_EQ(Finish(settings), 1) << settings.Errors();
  EXPECT_NE(settings.Errors().find("環境設定ファイルの読み込みに失敗"), std::string::npos)
      << settings.Errors();
  EXPECT_EQ(test::ReadFile(game.path() / "USER.CFG" / "inside"), "keep");
}

// A machine without the Japanese faces still runs the game, and says what will not show.
TEST_F(Program, WithoutTheFacesTheGameRunsAndSaysItsTextWillNotShow) {
  WriteGame(game, test::kLoopForever);
  home.WriteFile("fonts.conf", "<?xml version=\"1.0\"?>\n<fontconfig><dir>" +
                                   (home.path() / "no-fonts").string() + "</dir><cachedir>" +
                                   (home.path() / "font-cache").string() +
                                   "</cachedir></fontconfig>\n");
  ProgramProcess bare = Play(
      game.path(), home,
      {"BRIMWOLD_HEADLESS_FRAMES=2", "FONTCONFIG_FILE=" + (home.path() / "fonts.conf").string()});
  EXPECT_EQ(Finish(bare), 0) << bare.Errors();
  EXPECT_NE(bare.Errors().find("the default face did not load"), std::string::npos)
      << bare.Errors();
}

// The stuck game's script waits once, so frame 2 is shown, then loops without waiting. The
// headless clock is virtual: the loop is entered at once after the frame, and the pause only
// covers the scheduler of a busy machine.
constexpr char kStuckAfterOneWait[] = " wait\ntop:\n jmp top\n";
bool EnterTheEndlessLoop(ProgramProcess& program) {
  if (!program.WaitForOutput("frame 2 hash", kStartLimit)) return false;
  return !program.WaitForEnd(300ms);
}

// A game whose script never waits is ended by the watchdog, or by a second stop signal. (A game
// that waits closes on a stop as by its close button: the dialog's and the second copy's tests.)
TEST_F(Program, StopSignalsCloseTheGameOrEndIt) {
  WriteGame(game, kStuckAfterOneWait);
  for (auto [signal, said] : {std::pair{SIGTERM, "did not close within five seconds"},
                              {SIGINT, "a second stop signal came"}}) {
    ProgramProcess program = Play(game.path(), home, {"BRIMWOLD_HEADLESS_HASHES=2"});
    ASSERT_TRUE(EnterTheEndlessLoop(program)) << program.Errors();
    program.Signal(signal);
    if (signal == SIGINT) {
      ASSERT_TRUE(program.WaitForOutput("closing the game", kEndLimit)) << program.Errors();
      program.Signal(SIGINT);
    }
    std::optional<int> status = program.WaitForEnd(signal == SIGTERM ? 6s : kEndLimit);
    ASSERT_TRUE(status) << "still running after signal " << signal;
    EXPECT_EQ(ExitCode(status), 128 + signal) << program.Errors();
    EXPECT_NE(program.Errors().find(said), std::string::npos) << program.Errors();
  }
}

// A stop that comes while a dialog waits for its answer closes the dialog as the window's close
// button does, then the game: the run ends at once, with its settings saved. The dialog is drawn
// on SDL's own invisible driver, where it waits as it does on a screen.
TEST_F(Program, AStopWhileADialogWaitsClosesItAndTheGame) {
  WriteGame(game,
            " native native:799, ask, status\n wait\n ret\n"
            "ask: .word 1, 0, question\nquestion: .string \"Stop here?\"\nstatus: .word 0\n");
  ProgramProcess program(
      BW_PROGRAM, {"/L", game.path().string()},
      {"BRIMWOLD_HEADLESS", "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy",
       "XDG_RUNTIME_DIR=" + home.path().string(), "XDG_DATA_HOME=" + home.path().string()});
  ASSERT_TRUE(program.WaitForOutput("Stop here?", kStartLimit)) << program.Errors();
  program.Signal(SIGTERM);
  // Generous for a loaded sanitizer build: a dialog that ignored the stop would wait forever.
  std::optional<int> status = program.WaitForEnd(15s);
  ASSERT_TRUE(status) << "still running 15 s after SIGTERM: " << program.Errors();
  EXPECT_EQ(ExitCode(status), 0) << program.Errors();
  EXPECT_TRUE(std::filesystem::exists(game.path() / "SAVEDATA" / "APP_CFG.DAT"))
      << "the settings were saved";
}

// The lock lives in the user's runtime folder, else in the user's cache folder, and is the game's
// own: a second copy of one game stops and says why, another game runs beside it.
TEST_F(Program, ASecondCopyOfAGameStopsAndSaysWhy) {
  WriteGame(game, test::kLoopForever);
  ProgramProcess first = Play(game.path(), home, {"BRIMWOLD_HEADLESS_HASHES=1"});
  ASSERT_TRUE(first.WaitForOutput("frame 1 hash", kStartLimit)) << first.Errors();
  EXPECT_TRUE(std::filesystem::exists(home.path() / "Brimwold DXKVR DX Application.lock"));

  ProgramProcess second = Play(game.path(), home);
  EXPECT_EQ(Finish(second), 3);
  EXPECT_NE(second.Errors().find("already running"), std::string::npos) << second.Errors();

  test::TempDir other;
  AppInfo info;
  info.appName = "Other";
  test::WriteGameFolder(other, AppRecord{}, info, EngineConfig{}, " wait\n ret\n");
  ProgramProcess beside = Play(other.path(), home);
  EXPECT_EQ(Finish(beside), 0) << beside.Errors();

  first.Signal(SIGTERM);
  EXPECT_EQ(Finish(first), 0);

  // Without a runtime folder: this user's cache folder, never a folder every user shares.
  ProgramProcess cached(BW_PROGRAM, {"/L", other.path().string()},
                        {"BRIMWOLD_HEADLESS=1", "XDG_RUNTIME_DIR",
                         "XDG_CACHE_HOME=" + home.path().string() + "/cache",
                         "XDG_DATA_HOME=" + home.path().string()});
  EXPECT_EQ(Finish(cached), 0) << cached.Errors();
  EXPECT_TRUE(
      std::filesystem::exists(home.path() / "cache" / "brimwold" / "Brimwold DXOther.lock"));
}

// A folder path of n bytes below base, its engine form (drive, '\' separators, the trailing '\')
// being 3 bytes longer.
std::filesystem::path FolderOfLength(const std::filesystem::path& base, size_t n) {
  std::filesystem::path folder = base;
  while (folder.string().size() < n) {
    const size_t left = n - folder.string().size() - 1;  // one for the separator
    folder /= std::string(std::min<size_t>(left, 200), 'd');
  }
  return folder;
}

TEST_F(Program, AGameOrSaveFolderTooLongForTheEnginesBuffersIsRefusedSayingSo) {
  const size_t longest = kMaxAppFolder - 3;
  const std::filesystem::path fits = FolderOfLength(game.path(), longest);
  const std::filesystem::path over = FolderOfLength(game.path(), longest + 1);
  ASSERT_EQ(fits.string().size(), longest);
  ASSERT_EQ(over.string().size(), longest + 1);
  for (const auto& folder : {fits, over}) {
    std::filesystem::create_directories(folder);
    test::TempDir dir;  // the writers' folder; the game is copied into place
    // The save of page 10's extra slot, "DATA10-1.SAV", a canvas for its thumbnail.
    WriteGame(dir,
              " native native:238, canvas, thumbnail\n native native:41, thumbnail, status\n"
              " native native:43, slot, status\n wait\n ret\n"
              "canvas: .word 160, 120, 32, 2\nthumbnail: .word 0, 0\nslot: .word 10, -1\n"
              "status: .word 0\n");
    std::filesystem::copy(dir.path(), folder, std::filesystem::copy_options::recursive);
  }
  ProgramProcess runs = Play(fits, home);
  EXPECT_EQ(Finish(runs), 0) << runs.Errors();
  EXPECT_TRUE(std::filesystem::exists(fits / "SAVEDATA" / "DATA10-1.SAV"))
      << "the longest name the engine builds fits: " << runs.Errors();

  ProgramProcess refused = Play(over, home);
  EXPECT_EQ(Finish(refused), 2);
  EXPECT_NE(refused.Errors().find("too long for the engine"), std::string::npos)
      << refused.Errors();
  EXPECT_FALSE(std::filesystem::exists(over / "SAVEDATA"));

  // A save folder of its own (mode 3, in the data folder) too long for the saves' names, though
  // not for the settings' "USER.CFG": its engine form "Z:" + data + "\\S\\" is 250 bytes.
  test::TempDir far;
  const std::filesystem::path data = FolderOfLength(far.path(), 245);
  std::filesystem::create_directories(data);
  AppRecord record;
  record.saveFolderMode = 3;
  AppInfo info;
  info.saveFolderName = "S";
  test::TempDir own;
  test::WriteGameFolder(own, record, info, EngineConfig{}, " wait\n ret\n");
  ProgramProcess saves(BW_PROGRAM, {"/L", own.path().string()},
                       {"BRIMWOLD_HEADLESS=1", "XDG_RUNTIME_DIR=" + home.path().string(),
                        "XDG_DATA_HOME=" + data.string()});
  EXPECT_EQ(Finish(saves), kStartupInitInstance);
  EXPECT_NE(saves.Errors().find("The save folder's path is too long"), std::string::npos)
      << saves.Errors();
}

// A start removes what a killed save left beside the settings, and only that.
TEST_F(Program, AStartRemovesStaleTemporaries) {
  WriteGame(game, " wait\n ret\n");
  game.WriteFile("SAVEDATA/APP_CFG.DAT.tmp.k1LLed", "half");
  game.WriteFile("USER.CFG.tmp.aB3dE6", "half");
  game.WriteFile("OPENING.OGG.tmp.aB3dE6", "the game's");
  ProgramProcess program = Play(game.path(), home);
  EXPECT_EQ(Finish(program), 0) << program.Errors();
  EXPECT_FALSE(std::filesystem::exists(game.path() / "SAVEDATA" / "APP_CFG.DAT.tmp.k1LLed"));
  EXPECT_FALSE(std::filesystem::exists(game.path() / "USER.CFG.tmp.aB3dE6"));
  EXPECT_TRUE(std::filesystem::exists(game.path() / "OPENING.OGG.tmp.aB3dE6"))
      << "only beside the files it writes";
}

// What `make run` builds before the window opens: the program, the tools and the demo game, and
// none of the tests, which take many times longer to build. Read from the build tree's own rules.
TEST_F(Program, TheRunTargetBuildsTheProgramToolsAndDemoAndNoTest) {
  const std::filesystem::path tree = BW_BUILD_DIR;
  if (!std::filesystem::exists(tree / "build.ninja")) GTEST_SKIP() << "not a Ninja build tree";
  const std::string command = "ninja -C '" + tree.string() + "' -t commands player 2>&1";
  std::string commands;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) commands.append(chunk, n);
    EXPECT_EQ(pclose(pipe), 0) << commands;
  }
  // The tree's own path may hold "tests/" (a checkout in a folder of that name): only what lies
  // inside the tree counts.
  const std::string root = std::string(BW_SOURCE_DIR) + "/";
  for (size_t at; (at = commands.find(root)) != std::string::npos;) commands.erase(at, root.size());
  for (const char* made : {"-o src/brimwold ", "-o tools/sobasm ", "SCRIPT.VFA"})
    EXPECT_NE(commands.find(made), std::string::npos) << made;
  for (const char* test : {"tests/", "bench/", "fuzz/"})
    EXPECT_EQ(commands.find(test), std::string::npos) << test;
}

// The game folder as the player names it: the program reads and writes that folder, byte for
// byte, even where a sibling's name has the same CP932 form.
namespace fs = std::filesystem;

// "g〜" (U+301C, as Linux input methods type it) and "g～" (U+FF5E, what its CP932 code decodes
// to): two folders that the engine's code page cannot tell apart.
const std::string kWaveDash = "g\xE3\x80\x9C";
const std::string kFullWidthTilde = "g\xEF\xBD\x9E";

void WriteNamedGame(const test::TempDir& root, const std::string& folder) {
  test::TempDir made;
  WriteGame(made, " wait\n ret\n");
  fs::copy(made.path(), root.path() / folder, fs::copy_options::recursive);
}

// Every file below folder with its bytes, to tell whether a run touched it.
std::string Snapshot(const fs::path& folder) {
  std::string all;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    all += entry.path().string() + "\n";
    if (entry.is_regular_file()) all += test::ReadFile(entry.path()) + "\n";
  }
  return all;
}

TEST_F(Program, ARunWritesItsOwnFolderNotTheSiblingWithTheSameCodePageName) {
  const test::TempDir& root = game;
  for (const std::string& played : {kWaveDash, kFullWidthTilde}) {
    SCOPED_TRACE(played);
    const std::string other = played == kWaveDash ? kFullWidthTilde : kWaveDash;
    fs::remove_all(root.path() / kWaveDash);
    fs::remove_all(root.path() / kFullWidthTilde);
    WriteNamedGame(root, played);
    WriteNamedGame(root, other);
    const std::string untouched = Snapshot(root.path() / other);

    ProgramProcess program = Play(root.path() / played, home);
    EXPECT_EQ(Finish(program), 0) << program.Errors();
    EXPECT_TRUE(fs::exists(root.path() / played / "SAVEDATA" / "APP_CFG.DAT"))
        << "the settings went into the folder played";
    EXPECT_EQ(Snapshot(root.path() / other), untouched) << "the sibling was left alone";
  }
}

}  // namespace
}  // namespace bw
