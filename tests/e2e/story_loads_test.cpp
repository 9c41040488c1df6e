// Label: optimised
// The demo's story played headless with its effects switched off (so that a waiting line's frames
// repeat), clicked through at one place where the pointer rests, choice included. In each of its
// four scenes a waiting line is quick-saved and loaded back at once: the loaded frame is one the
// line showed before the save, its text and the bar as they were.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/config/user_config.h"
#include "e2e/demo_scene.h"
#include "lib/file_bytes.h"
#include "lib/tob/tob_assembler.h"
#include "support/demo_copy.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

constexpr std::chrono::seconds kRunLimit{300};

// The story's pace: each click brings the next line, which waits typed out by the next one. The
// eighth click takes the first choice (the sea) where the pointer rests since the clicks before.
constexpr uint32_t kFirstClick = 200, kPace = 120, kClicks = 17;
// After the clicks that bring Mina's first line, the town's bell line, the sea's first line and
// the last scene's first line, how long until the line waits for its save; a save and its load
// then take kSaveAndLoad frames more before the next click.
struct Stop {
  uint32_t click, waited;
};
constexpr Stop kStops[] = {{0, 200}, {4, 200}, {8, 260}, {13, 200}};
constexpr uint32_t kSaveAndLoad = 150;
// The wait mark turns through its pictures in 66 frames, under kTurn: a turn before the save and
// one after the load (once its rebuild and fade are over) are compared.
constexpr uint32_t kTurn = 70, kLoadSettled = 70;
// The line after the loaded one waits typed out this long after its click, the next click then.
constexpr uint32_t kNextWaits = 230;

struct Window {
  uint32_t from, to;
};

// The run's input: the clicks at their pace, each stop waiting longer for its save and load
// (which only withSaves plays); the frames compared are listed per stop.
struct Schedule {
  std::string input = "BRIMWOLD_HEADLESS_INPUT=55:move:400:352,60:click:400:352";
  std::string answers = "BRIMWOLD_HEADLESS_ANSWERS=";
  // Per stop: a turn before the save, one after the load, and one of the line after it.
  std::vector<std::array<Window, 3>> windows;
  uint32_t end = 0;
};

Schedule Plan(bool withSaves) {
  Schedule s;
  uint32_t at = kFirstClick;
  bool afterLoad = false;
  for (uint32_t click = 0; click < kClicks; ++click) {
    s.input += "," + std::to_string(at) + ":click:400:268";
    // The line after a loaded one waits long enough for a whole turn of its mark.
    uint32_t next = at + (afterLoad ? kNextWaits : kPace);
    afterLoad = false;
    for (const Stop& stop : kStops) {
      if (stop.click != click) continue;
      const uint32_t save = at + stop.waited;
      if (withSaves) {
        s.input += "," + std::to_string(save) + ":keydown:Left Ctrl," + std::to_string(save) +
                   ":key:F1," + std::to_string(save + 1) + ":keyup:Left Ctrl," +
                   std::to_string(save + 10) + ":key:F1";
        s.answers += "1,";
      }
      next = save + kSaveAndLoad;
      afterLoad = true;
      s.windows.push_back({Window{save - kTurn, save - 1},
                           Window{save + kLoadSettled, save + kLoadSettled + kTurn - 1},
                           Window{next + kNextWaits - kTurn, next + kNextWaits - 1}});
    }
    at = next;
  }
  if (s.answers.back() == ',') s.answers.pop_back();
  s.end = at;
  return s;
}

test::PlayedRun Play(const fs::path& game, const fs::path& home, const Schedule& s) {
  std::string hashes = "BRIMWOLD_HEADLESS_HASHES=";
  for (const auto& windows : s.windows) {
    for (const Window& w : windows) hashes += test::FrameRange(w.from, w.to) + ",";
  }
  hashes.pop_back();
  std::vector<std::string> switches = {s.input, hashes,
                                       "BRIMWOLD_HEADLESS_FRAMES=" + std::to_string(s.end)};
  if (!s.answers.ends_with('=')) switches.push_back(s.answers);
  return test::PlayHeadless(game, home, switches, kRunLimit);
}

std::set<uint64_t> Shown(const test::PlayedRun& run, const Window& w) {
  std::set<uint64_t> hashes;
  for (uint32_t f = w.from; f <= w.to; ++f) hashes.insert(run.hashes.at(f));
  return hashes;
}

TEST(StoryLoads, EachSceneLoadsBackTheFrameItSavedAndTheRestingPointerTakesTheChoice) {
  test::TempDir game, home;
  test::CopyDemoGame(BRIMWOLD_DEMO_GAME, game.path());
  test::PutShippedSettings(game.path());
  test::ChangePlayerSettings(game.path(), [](UserConfig& user) { user.showEffects = 0; });

  // The same clicks without the saves first: the lines as they come without a load.
  const Schedule plain = Plan(false), saving = Plan(true);
  const test::PlayedRun unloaded = Play(game.path(), home.path(), plain);
  ASSERT_EQ(unloaded.status, 0) << unloaded.errors;
  fs::remove(game.path() / "SAVEDATA" / "TEXT_LOG.DAT");
  const test::PlayedRun run = Play(game.path(), home.path(), saving);
  ASSERT_EQ(run.status, 0) << run.errors;
  ASSERT_EQ(run.hashes.size(), saving.windows.size() * 3 * kTurn) << run.errors;

  for (size_t i = 0; i < saving.windows.size(); ++i) {
    const auto& [before, after, next] = saving.windows[i];
    EXPECT_EQ(Shown(run, after), Shown(run, before))
        << "scene " << i + 1 << ": the loaded line differs from the saved one";
    EXPECT_EQ(Shown(run, next), Shown(unloaded, next))
        << "scene " << i + 1 << ": the line after the load differs from the one without it";
  }

  // The choice was taken: the sea's lines were read, the forest's not.
  const std::string record = test::LogRecord(game.path(), "STORY");
  std::istringstream fields(record);
  std::string dot, name, bits, second, read, taken;
  fields >> dot >> name >> bits >> second >> read >> taken;
  ASSERT_GE(read.size(), 4u) << record;
  // Messages 8-15 are the second byte: 8 asks, 9-11 the sea, 12-13 the forest, 14-15 where the
  // roads meet.
  EXPECT_EQ(read.substr(2, 2), "CF") << record;
  EXPECT_EQ(taken.substr(0, 2), "01") << "the first choice, the sea: " << record;
}

}  // namespace
}  // namespace bw
