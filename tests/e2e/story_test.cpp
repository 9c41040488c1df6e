// Label: optimised
// The demo game played as a player would, headless on the virtual clock: the title's start
// button, then a click at a fixed pace into the story's first scene. Frames, the mix's loudness
// and the read-text log are checked, and a run from a folder whose name has spaces and Japanese
// characters.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/demo_scene.h"
#include "lib/file_bytes.h"
#include "lib/tob/tob_assembler.h"
#include "program/program_process.h"
#include "support/demo_copy.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

constexpr std::chrono::seconds kRunLimit{180};

// The start button is clicked at frame 60; from frame 200 a click every 100 frames, at the
// height of the screen's middle.
const std::string kStart = "55:move:400:352,60:click:400:352";
constexpr uint32_t kFirstClick = 200;
constexpr uint32_t kPace = 100;
// The title; the first background coming in; the first scene's four messages.
const std::vector<uint32_t> kShown = {40, 120, 290, 390, 590, 790};
constexpr uint32_t kEnd = 3000;

using Played = test::PlayedRun;

std::string Clicks(uint32_t count) {
  std::string input = "BRIMWOLD_HEADLESS_INPUT=" + kStart;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t frame = kFirstClick + i * kPace;
    input += "," + std::to_string(frame - 2) + ":move:400:300," + std::to_string(frame) +
             ":click:400:300";
  }
  return input;
}

std::string Hashes() {
  std::string list = "BRIMWOLD_HEADLESS_HASHES=";
  for (uint32_t f : kShown) list += std::to_string(f) + ",";
  list.pop_back();
  return list;
}

const std::string kFrames = "BRIMWOLD_HEADLESS_FRAMES=" + std::to_string(kEnd);

class Story : public testing::Test {
 protected:
  void SetUp() override { test::CopyDemoGame(BRIMWOLD_DEMO_GAME, game.path()); }

  Played Play(const std::vector<std::string>& switches) { return PlayIn(game.path(), switches); }

  Played PlayIn(const fs::path& folder, const std::vector<std::string>& switches) {
    return test::PlayHeadless(folder, home.path(), switches, kRunLimit);
  }

  // A scene's line of the read-text log: ".record NAME bits secondBits <read> <taken>".
  std::string LogRecord(const std::string& scene) {
    std::vector<uint8_t> bytes;
    if (!tools::ReadFileBytes(game.path() / "SAVEDATA" / "TEXT_LOG.DAT", bytes)) return "no log";
    std::istringstream lines(tob::Disassemble(bytes));
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with(".record " + scene + " ")) return line;
    }
    return "no record";
  }

  test::TempDir game;
  test::TempDir home;
};

// The title, then the first scene clicked through: the same frames on every run, each moment
// its own picture, the music of the title in the mix, and the scene's lines marked read.
TEST_F(Story, TheTitleAndTheFirstSceneShowTheSameOnEveryRun) {
  const fs::path wave = home.path() / "mix.wav";
  const Played first =
      Play({Hashes(), Clicks(26), kFrames, "BRIMWOLD_HEADLESS_WAVE=" + wave.string()});
  ASSERT_EQ(first.status, 0) << first.errors;
  ASSERT_EQ(first.hashes.size(), kShown.size());
  for (size_t i = 1; i < kShown.size(); ++i) {
    EXPECT_NE(first.hashes.at(kShown[i]), first.hashes.at(kShown[i - 1])) << kShown[i];
  }
  EXPECT_EQ(LogRecord("STORY"), ".record STORY 19 2 070000 00") << "the lines clicked away";

  const std::string mix = test::ReadFile(wave);
  ASSERT_GT(mix.size(), 46u + 22050 * 4) << "a second of the title's music";
  double sum = 0;
  size_t count = 0;
  for (size_t at = 46; at + 4 <= 46 + 22050 * 4; at += 4, ++count) {
    const auto left = static_cast<int16_t>(uint8_t(mix[at]) | uint8_t(mix[at + 1]) << 8);
    sum += double(left) * left;
  }
  EXPECT_GT(std::sqrt(sum / double(count)), 1000) << "the title's tune";

  const Played again = Play({Hashes(), Clicks(26), kFrames});
  EXPECT_EQ(again.status, 0) << again.errors;
  EXPECT_EQ(again.hashes, first.hashes);
}

// The game folder copied as a player might keep it, under a name with spaces and Japanese
// characters, shows the same title and ends by its quit button.
TEST_F(Story, RunsFromAFolderNamedWithSpacesAndJapanese) {
  const fs::path folder = home.path() / "はるかぜ の 丘 (デモ)";
  test::CopyDemoGame(BRIMWOLD_DEMO_GAME, folder);
  const std::string quit = "BRIMWOLD_HEADLESS_INPUT=60:move:400:532,62:click:400:532";
  const Played there = PlayIn(folder, {"BRIMWOLD_HEADLESS_HASHES=40", quit});
  EXPECT_EQ(there.status, 0) << there.errors;
  const Played here = Play({"BRIMWOLD_HEADLESS_HASHES=40", quit});
  EXPECT_EQ(here.status, 0) << here.errors;
  ASSERT_EQ(there.hashes.size(), 1u);
  EXPECT_EQ(there.hashes, here.hashes);
  EXPECT_TRUE(fs::is_regular_file(folder / "SAVEDATA" / "APP_CFG.DAT"));
}

}  // namespace
}  // namespace bw
