// The game folder as the player names it: the program reads and writes that folder, byte for
// byte, even where a sibling's name has the same CP932 form.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "lib/config/config_writers.h"
#include "lib/sob/sob_assembler.h"
#include "program/program_process.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// "g〜" (U+301C, as Linux input methods type it) and "g～" (U+FF5E, what its CP932 code decodes
// to): two folders that the engine's code page cannot tell apart.
const std::string kWaveDash = "g\xE3\x80\x9C";
const std::string kFullWidthTilde = "g\xEF\xBD\x9E";

void WriteGame(const test::TempDir& root, const std::string& folder) {
  std::string error;
  ASSERT_TRUE(
      tools::WriteGameConfig(root.path() / folder, AppRecord{}, AppInfo{}, EngineConfig{}, &error))
      << error;
  sob::AssembleResult main = sob::Assemble(".sob0\n wait\n ret\n");
  ASSERT_TRUE(main.ok) << main.error;
  root.WriteFile(folder + "/SCRIPT/MAIN.SOB", main.bytes);
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

TEST(GameFolderPaths, ARunWritesItsOwnFolderNotTheSiblingWithTheSameCodePageName) {
  test::TempDir root, home;
  for (const std::string& played : {kWaveDash, kFullWidthTilde}) {
    SCOPED_TRACE(played);
    const std::string other = played == kWaveDash ? kFullWidthTilde : kWaveDash;
    fs::remove_all(root.path() / kWaveDash);
    fs::remove_all(root.path() / kFullWidthTilde);
    WriteGame(root, played);
    WriteGame(root, other);
    const std::string untouched = Snapshot(root.path() / other);

    test::ProgramProcess program(BW_PROGRAM, {"/L", (root.path() / played).string()},
                                 {"BRIMWOLD_HEADLESS=1", "XDG_RUNTIME_DIR=" + home.path().string(),
                                  "XDG_DATA_HOME=" + home.path().string(), "XDG_CACHE_HOME",
                                  "BRIMWOLD_HEADLESS_FRAMES", "BRIMWOLD_HEADLESS_HASHES"});
    EXPECT_EQ(test::ExitCode(program.WaitForEnd(60s)), 0) << program.Errors();
    EXPECT_TRUE(fs::exists(root.path() / played / "SAVEDATA" / "APP_CFG.DAT"))
        << "the settings went into the folder played";
    EXPECT_EQ(Snapshot(root.path() / other), untouched) << "the sibling was left alone";
  }
}

}  // namespace
}  // namespace bw
