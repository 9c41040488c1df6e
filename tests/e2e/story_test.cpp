// Label: optimised
// The demo game played as a player would, headless on the virtual clock: the title's start
// button, then a click at a fixed pace through the story's first scene, a save, the system
// menu and the text history. Frames, the mix's tunes and voices and the read-text log are
// checked, and a run from a folder whose name has spaces and Japanese characters.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
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

constexpr std::chrono::seconds kRunLimit{240};

// The start button is clicked at frame 60; from frame 200 a click every 120 frames on the first
// choice's line, the pointer moved onto it first (a list takes a pointer that moves). Each click
// finds its line typed out and waiting.
const std::string kStart = "55:move:400:352,60:click:400:352";
constexpr uint32_t kFirstClick = 200;
constexpr uint32_t kPace = 120;
// The title; the hill coming in; Mina fading in; her smile cross-fading in; her walk to the
// left; Sora's line, waiting. Three clicks take the first scene there.
const std::vector<uint32_t> kShown = {40, 100, 220, 335, 460, 600};
constexpr uint32_t kToSorasLine = 450;
// Once Sora's line is out, Ctrl+F1 saves to slot 1. When the frames after the save have settled
// and the line waits (from kWaited), the right button opens the system menu, open at kMenu; a
// click outside closes it, closed by kClosed.
const std::string kSaveAndMenu =
    ",600:keydown:Left Ctrl,600:key:F1,601:keyup:Left Ctrl,994:move:400:300,"
    "995:down:right,996:up:right,1070:click:50:50";
constexpr uint32_t kWaited = 920, kMenu = 1010, kClosed = 1090;
// The wait mark keeps turning: a whole turn of it before the menu and one after are compared.
constexpr uint32_t kMarkTurn = 60;
// Then the history key opens the text history; a click on the first voiced line's box at
// kReplay plays Mina's voice again.
const std::string kHistory = ",1160:key:Insert,1198:move:400:90,1200:click:400:94";
constexpr uint32_t kReplay = 1200;

using Played = test::PlayedRun;

std::string Clicks(uint32_t until) {
  std::string input = "BRIMWOLD_HEADLESS_INPUT=" + kStart;
  for (uint32_t frame = kFirstClick; frame < until; frame += kPace) {
    input += "," + std::to_string(frame - 3) + ":move:390:262," + std::to_string(frame - 2) +
             ":move:400:268," + std::to_string(frame) + ":click:400:268";
  }
  return input;
}

std::string Hashes(std::vector<uint32_t> frames) {
  std::string list = "BRIMWOLD_HEADLESS_HASHES=";
  for (uint32_t f : frames) list += std::to_string(f) + ",";
  list.pop_back();
  return list;
}

std::string Frames(uint32_t end) {
  return "BRIMWOLD_HEADLESS_FRAMES=" + std::to_string(end);
}

class Story : public test::DemoGameTest {
 protected:
  void SetUp() override {
    test::CopyDemoGame(BRIMWOLD_DEMO_GAME, game.path());
    test::PutShippedSettings(game.path());
  }

  Played Play(const std::vector<std::string>& switches) { return PlayIn(game.path(), switches); }

  Played PlayIn(const fs::path& folder, const std::vector<std::string>& switches) {
    return test::PlayHeadless(folder, home.path(), switches, kRunLimit);
  }
};

// The title, then the first scene clicked through: each moment its own picture; the save lands
// in its slot, the system menu drawn from the demo's pictures opens over the waiting line and
// leaves it as it was; the title's tune, then the scene's own, in the mix, and Mina's voice again
// from the history; the lines clicked away marked read.
TEST_F(Story, TheFirstSceneSavesAndItsMenuOpensAndCloses) {
  const fs::path wave = home.path() / "mix.wav";
  std::vector<uint32_t> shown = kShown;
  shown.push_back(kMenu);
  for (uint32_t f = 0; f < kMarkTurn; ++f) shown.insert(shown.end(), {kWaited + f, kClosed + f});
  const Played first = Play({Hashes(shown), Clicks(kToSorasLine) + kSaveAndMenu + kHistory,
                             Frames(kReplay + 60), "BRIMWOLD_HEADLESS_WAVE=" + wave.string()});
  ASSERT_EQ(first.status, 0) << first.errors;
  ASSERT_EQ(first.hashes.size(), shown.size());
  for (size_t i = 1; i < kShown.size(); ++i) {
    EXPECT_NE(first.hashes.at(kShown[i]), first.hashes.at(kShown[i - 1])) << kShown[i];
  }
  std::set<uint64_t> waited, closed;
  for (uint32_t f = 0; f < kMarkTurn; ++f) {
    waited.insert(first.hashes.at(kWaited + f));
    closed.insert(first.hashes.at(kClosed + f));
  }
  EXPECT_FALSE(waited.contains(first.hashes.at(kMenu))) << "the menu did not open";
  EXPECT_EQ(closed, waited) << "the menu left a trace";
  EXPECT_TRUE(fs::is_regular_file(game.path() / "SAVEDATA" / "DATA0105.SAV")) << first.errors;
  EXPECT_EQ(test::LogRecord(game.path(), "STORY"), ".record STORY 19 2 070000 00")
      << "the lines clicked away";

  const std::string mix = test::ReadFile(wave);
  ASSERT_GT(mix.size(), test::kWaveHeader + test::kWaveRate * 4 * 6) << "six seconds of the mix";
  EXPECT_GT(test::Tone(mix, 262, 0, 1), 300) << "the title tune's first note";
  EXPECT_GT(test::Tone(mix, 196, 1, 6), 300) << "the first scene's tune";
  EXPECT_LT(test::Tone(mix, 262, 2, 6), 100) << "the title tune goes on in the story";
  const double replay = kReplay / 60.0;
  EXPECT_LT(test::Loudest(mix, test::kMinasNotes, replay - 1, replay), 100) << "before the click";
  EXPECT_GT(test::Loudest(mix, test::kMinasNotes, replay, replay + 0.75), 500)
      << "the history's replay";
}

// The system menu's "タイトルへ", answered yes, ends the story where it stands and the title comes
// back as it first showed (the pointer moved off its buttons). The menu opens with the pointer on
// its sixth button; the eleventh lies five buttons lower.
TEST_F(Story, TheMenuReturnsToTheTitle) {
  const std::string menu =
      ",994:move:400:300,995:down:right,996:up:right,1030:move:400:405,1032:move:400:410,"
      "1040:click:400:410,1100:move:790:10";
  const Played run = Play({"BRIMWOLD_HEADLESS_HASHES=40,1000,1120", Clicks(kToSorasLine) + menu,
                           "BRIMWOLD_HEADLESS_ANSWERS=1", Frames(1125)});
  ASSERT_EQ(run.status, 0) << run.errors;
  ASSERT_EQ(run.hashes.size(), 3u) << run.errors;
  EXPECT_NE(run.hashes.at(1000), run.hashes.at(40));
  EXPECT_EQ(run.hashes.at(1120), run.hashes.at(40)) << "the title did not come back";
}

// The title and the first scene's effects midway show the same frames on two runs from the same
// start (lines read before show faster: each run starts with no read-text log).
TEST_F(Story, TheFirstSceneShowsTheSameOnEveryRun) {
  const std::vector<uint32_t> shown(kShown.begin(), kShown.begin() + 4);
  const Played first = Play({Hashes(shown), Clicks(shown.back()), Frames(shown.back() + 10)});
  ASSERT_EQ(first.status, 0) << first.errors;
  fs::remove(game.path() / "SAVEDATA" / "TEXT_LOG.DAT");
  const Played again = Play({Hashes(shown), Clicks(shown.back()), Frames(shown.back() + 10)});
  ASSERT_EQ(again.status, 0) << again.errors;
  ASSERT_EQ(first.hashes.size(), shown.size());
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
