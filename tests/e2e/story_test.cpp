// Label: optimised
// The demo story played whole by the program headless on copies of the demo game.
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
#include "support/demo_copy.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

// The demo game played as a player would, headless on the virtual clock: the title's start
// button, then a click at a fixed pace through the story's first scene, a save, the system
// menu and the text history. Frames, the mix's tunes and voices and the read-text log are
// checked, and a run from a folder whose name has spaces and Japanese characters.

constexpr std::chrono::seconds kStoryRunLimit{240};

// The start button is clicked at frame 60; from frame 200 a click every 120 frames on the first
// choice's line (test::StoryClicks).
constexpr uint32_t kStoryFirstClick = 200;
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
// Then the bar's text-history button, shown by the pointer low on the screen, opens the text
// history: pressed and let go a few frames apart, as a hand does (the press must not also take
// the line away); a click on the first voiced line's box at kReplay plays Mina's voice again.
const std::string kHistory =
    ",1150:move:593:588,1175:down:left,1178:up:left,1198:move:400:90,1200:click:400:94";
constexpr uint32_t kReplay = 1200;

using Played = test::PlayedRun;

using Story = test::ShippedDemoTest;

// The title, then the first scene clicked through: each moment its own picture; after a quick
// save (its slot is the roads run's to check) the system menu drawn from the demo's pictures
// opens over the waiting line and leaves it as it was; the title's tune, silent once the story's
// own starts (the roads run hears that), and Mina's voice again from the history; the lines
// clicked away marked read.
TEST_F(Story, TheFirstSceneSavesAndItsMenuOpensAndCloses) {
  const fs::path wave = home.path() / "mix.wav";
  std::vector<uint32_t> shown = kShown;
  shown.push_back(kMenu);
  for (uint32_t f = 0; f < kMarkTurn; ++f) shown.insert(shown.end(), {kWaited + f, kClosed + f});
  const Played first =
      Play({test::HashesOf(shown), test::StoryClicks(kToSorasLine) + kSaveAndMenu + kHistory,
            "BRIMWOLD_HEADLESS_FRAMES=" + std::to_string(kReplay + 60),
            "BRIMWOLD_HEADLESS_WAVE=" + wave.string()},
           kStoryRunLimit);
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
  EXPECT_EQ(test::LogRecord(game.path(), "STORY"), ".record STORY 19 2 070000 00")
      << "the lines clicked away";

  const std::string mix = test::ReadFile(wave);
  ASSERT_GT(mix.size(), test::kWaveHeader + test::kWaveRate * 4 * 6) << "six seconds of the mix";
  EXPECT_GT(test::Tone(mix, 262, 0, 1), 300) << "the title tune's first note";
  EXPECT_LT(test::Tone(mix, 262, 2, 6), 100) << "the title tune goes on in the story";
  const double replay = kReplay / 60.0;
  EXPECT_LT(test::Loudest(mix, test::kMinasNotes, replay - 1, replay), 100) << "before the click";
  EXPECT_GT(test::Loudest(mix, test::kMinasNotes, replay, replay + 0.75), 500)
      << "the history's replay";
}

// The system menu's "タイトルへ", answered yes, ends the story where it stands and the title comes
// back as it first showed (the pointer moved off its buttons). The menu opens with the pointer on
// its sixth button; the eleventh lies five buttons lower. The title's start button then starts the
// story again as it did the first time: the story's message window, gone with its frame, no
// longer takes the pointer.
TEST_F(Story, TheMenuReturnsToTheTitleWhoseStartButtonStartsTheStoryAgain) {
  const std::string menu =
      ",994:move:400:300,995:down:right,996:up:right,1030:move:400:405,1032:move:400:410,"
      "1040:click:400:410,1100:move:790:10,1125:move:400:352,1130:click:400:352";
  const Played run = Play(
      {"BRIMWOLD_HEADLESS_HASHES=40,100,1000,1120,1170", test::StoryClicks(kToSorasLine) + menu,
       "BRIMWOLD_HEADLESS_ANSWERS=1", "BRIMWOLD_HEADLESS_FRAMES=1175"},
      kStoryRunLimit);
  ASSERT_EQ(run.status, 0) << run.errors;
  ASSERT_EQ(run.hashes.size(), 5u) << run.errors;
  EXPECT_NE(run.hashes.at(1000), run.hashes.at(40));
  EXPECT_EQ(run.hashes.at(1120), run.hashes.at(40)) << "the title did not come back";
  EXPECT_EQ(run.hashes.at(1170), run.hashes.at(100)) << "the story did not start again";
}

// The game folder copied as a player might keep it, under a name with spaces and Japanese
// characters, shows the same title and ends by its quit button.
TEST_F(Story, RunsFromAFolderNamedWithSpacesAndJapanese) {
  const fs::path folder = home.path() / "はるかぜ の 丘 (デモ)";
  test::CopyDemoGame(BRIMWOLD_DEMO_GAME, folder);
  const Played there = test::PlayHeadless(folder, home.path(),
                                          {"BRIMWOLD_HEADLESS_HASHES=40", test::kQuitFromTitle});
  EXPECT_EQ(there.status, 0) << there.errors;
  const Played here = Play({"BRIMWOLD_HEADLESS_HASHES=40", test::kQuitFromTitle});
  EXPECT_EQ(here.status, 0) << here.errors;
  ASSERT_EQ(there.hashes.size(), 1u);
  EXPECT_EQ(there.hashes, here.hashes);
  EXPECT_TRUE(fs::is_regular_file(folder / "SAVEDATA" / "APP_CFG.DAT"));
}

// The demo's story played from the title to its end twice in one game folder, headless on the
// virtual clock. The first play clicks through every line, takes the sea road and quick-saves in
// the second scene, then sees the closing movie. The second play first sets, on the settings sheet,
// a faster unread text speed and the skip key to pass read lines only, then holds the skip key: the
// read lines of the first play fly by, the forest road's lines stop it, and F1 loads the quick save
// back.

constexpr std::chrono::seconds kRoadsRunLimit{300};

// The first play: start at 60, then a click every 120 frames from 200, each finding its line
// typed out and waiting; Ctrl+F1 saves at 785 while the second scene's second line waits (its
// caption is gone before the choice list). The story is back at the title by kFirstEnd, after
// the movie (its frames come 25 a second).
constexpr uint32_t kFirstEnd = 2540, kSaved = 786, kSavedUntil = 799;
// Moments of every scene, each its own picture: the hill coming in, Mina's walk, the town's two
// characters coming in, the quake, the choice list (shown from 1040 until a later click takes
// it), the sea scrolling in, the rain over Mina coming
// in, the rule change back to the hill, the last line, the fade to black, the movie.
const std::vector<uint32_t> kMoments = {100,  470,  700,  830,  1130, 1230,
                                        1420, 1950, 2200, 2360, 2500};
constexpr uint32_t kTitle = 40, kChoiceList = 1130;
// Sora's "うん。また来よう。" (nine characters) comes at the click at 1760, at the default speed.
constexpr uint32_t kDefaultSpeedLine = 1760;

// The second play: the settings button at 60 (the sheet is answered: an unread character every
// 4 ms; the skip key passes read text only), start at 100, the pointer resting where the first
// play's did (on the list's first line, which it lights), Ctrl held from 110. The forest line
// "こっちの道、近道なんだ。" (twelve characters) comes at the click at 260; Ctrl is let go at 280,
// F1 at 290 loads the quick save (answered yes), shown from kLoaded; Ctrl again at 420 skips to
// the choice, the forest once more, and the end. (Ctrl is also the quick keys' modifier, so a
// hold starts skipping only after a moment without an F key.)
constexpr uint32_t kSecondEnd = 640, kFastLine = 260, kLoadKey = 290, kLoadedUntil = 419;
constexpr char kSheet[] = "BRIMWOLD_HEADLESS_ANSWERS=page:1;slider:1051:4;page:4;check:1070:1;1,1";

// Frames from a line's click until the picture holds still for four frames: the line is typed.
uint32_t TypedAfter(const test::PlayedRun& run, uint32_t from) {
  for (uint32_t f = from; run.hashes.contains(f + 3); ++f) {
    const uint64_t h = run.hashes.at(f);
    if (run.hashes.at(f + 1) == h && run.hashes.at(f + 2) == h && run.hashes.at(f + 3) == h)
      return f - from;
  }
  return UINT32_MAX;
}

using StoryRoads = test::ShippedDemoTest;

TEST_F(StoryRoads, BothRoadsPlayToTheEndWithSkipSpeedAndAQuickLoad) {
  const fs::path wave = home.path() / "mix.wav";

  // The first line of the choice list is the sea, the second the forest.
  std::string input =
      test::StoryClicks(kFirstEnd - 40) + ",785:keydown:Left Ctrl,785:key:F1,786:keyup:Left Ctrl";
  std::vector<std::pair<uint32_t, uint32_t>> seaFrames = {
      {kTitle, kTitle},
      {kSaved, kSavedUntil},
      {kDefaultSpeedLine, kDefaultSpeedLine + 40},
      {kFirstEnd, kFirstEnd}};
  for (uint32_t f : kMoments) seaFrames.push_back({f, f});
  const test::PlayedRun sea = Play({test::HashRanges(seaFrames), input,
                                    "BRIMWOLD_HEADLESS_FRAMES=" + std::to_string(kFirstEnd + 5),
                                    "BRIMWOLD_HEADLESS_WAVE=" + wave.string()},
                                   kRoadsRunLimit);
  ASSERT_EQ(sea.status, 0) << sea.errors;
  ASSERT_EQ(sea.hashes.size(), 3 + kSavedUntil - kSaved + 41 + kMoments.size()) << sea.errors;
  ASSERT_TRUE(fs::is_regular_file(game.path() / "SAVEDATA" / "DATA0105.SAV"));
  std::set<uint64_t> moments = {sea.hashes.at(kTitle)};
  for (uint32_t f : kMoments) EXPECT_TRUE(moments.insert(sea.hashes.at(f)).second) << f;
  EXPECT_EQ(sea.hashes.at(kFirstEnd), sea.hashes.at(kTitle)) << "the story ends at the title";

  // Each scene's tune in its time (a frame is a sixtieth of a second), none after the end.
  const std::string mix = test::ReadFile(wave);
  EXPECT_GT(test::Tone(mix, 196, 3, 9), 300) << "the morning tune";
  EXPECT_GT(test::Tone(mix, 175, 13, 19), 300) << "the dusk tune";
  EXPECT_GT(test::Tone(mix, 147, 21, 31), 300) << "the night tune";
  EXPECT_GT(test::Tone(mix, 196, 34, 38), 300) << "the morning tune again";
  EXPECT_LT(test::Tone(mix, 196, 39.5, 41), 30) << "the music faded out";
  EXPECT_GT(test::Tone(mix, 1568, 11.5, 13), 300) << "the harbour bell";
  // The voices with their lines; the narrator's lines are silent.
  EXPECT_LT(test::Loudest(mix, test::kMinasNotes, 1.5, 3.5), 100) << "the narrator's first line";
  EXPECT_GT(test::Loudest(mix, test::kMinasNotes, 4, 5), 500) << "Mina's first line";
  EXPECT_GT(test::Loudest(mix, test::kSorasNotes, 16, 17), 500) << "Sora in the town";
  EXPECT_GT(test::Tone(mix, 880, 42.5, 43.2), 1000) << "the movie's second second";

  input =
      "BRIMWOLD_HEADLESS_INPUT=55:move:400:472,60:click:400:472,95:move:400:352,"
      "100:click:400:352,102:move:400:268,110:keydown:Left Ctrl,280:keyup:Left Ctrl,290:key:F1,"
      "420:keydown:Left Ctrl";
  for (uint32_t f : {200u, 260u}) input += test::ClickOnLine(f, 318);
  for (uint32_t f = 440; f < kSecondEnd - 40; f += 60) input += test::ClickOnLine(f, 318);
  const test::PlayedRun forest =
      Play({test::HashRanges({{100, kLoadedUntil}, {kSecondEnd, kSecondEnd}}), input, kSheet,
            "BRIMWOLD_HEADLESS_FRAMES=" + std::to_string(kSecondEnd + 5)},
           kRoadsRunLimit);
  ASSERT_EQ(forest.status, 0) << forest.errors;
  ASSERT_EQ(forest.hashes.size(), kLoadedUntil - 100 + 2) << forest.errors;

  // The skip passes the read lines: the choice list the first play reached at kChoiceList is
  // there within a hundred frames of the start; the forest's unread lines wait for their clicks.
  auto first_shown = [&](uint64_t hash, uint32_t from) {
    for (auto [f, shown] : forest.hashes) {
      if (f >= from && shown == hash) return f;
    }
    return UINT32_MAX;
  };
  EXPECT_LT(first_shown(sea.hashes.at(kChoiceList), 100), 200u) << "the read lines were typed";
  std::set<uint64_t> waiting;
  for (uint32_t f = kFastLine - 20; f < kFastLine; ++f) waiting.insert(forest.hashes.at(f));
  EXPECT_LE(waiting.size(), 4u) << "the forest's first line did not wait (its mark turns)";
  // The faster speed: twelve characters typed in fewer frames than nine at the default speed.
  const uint32_t slow = TypedAfter(sea, kDefaultSpeedLine), fast = TypedAfter(forest, kFastLine);
  EXPECT_GE(slow, 15u);
  EXPECT_LE(fast, 8u);

  // F1 brings back the picture saved in the second scene.
  std::set<uint64_t> saved;
  for (uint32_t f = kSaved; f <= kSavedUntil; ++f) saved.insert(sea.hashes.at(f));
  bool before = false, after = false;
  for (uint32_t f = kFastLine; f < kLoadKey; ++f) before |= saved.contains(forest.hashes.at(f));
  for (uint32_t f = kLoadKey; f <= kLoadedUntil; ++f) after |= saved.contains(forest.hashes.at(f));
  EXPECT_FALSE(before);
  EXPECT_TRUE(after) << "the loaded scene differs from the saved one";
  EXPECT_EQ(forest.hashes.at(kSecondEnd), sea.hashes.at(kTitle)) << "back at the title";
}

// The demo's story played headless with its effects switched off (so that a waiting line's frames
// repeat), clicked through at one place where the pointer rests, choice included. In each of its
// four scenes a waiting line is quick-saved and loaded back at once: the loaded frame is one the
// line showed before the save, its text and the bar as they were.

constexpr std::chrono::seconds kLoadsRunLimit{300};

// The story's pace (kStoryFirstClick, kPace): each click brings the next line, which waits typed
// out by the next one. The eighth click takes the first choice (the sea) where the pointer rests
// since the clicks before.
constexpr uint32_t kClicks = 17;
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
  uint32_t at = kStoryFirstClick;
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

test::PlayedRun PlaySchedule(const fs::path& game, const fs::path& home, const Schedule& s) {
  std::string hashes = "BRIMWOLD_HEADLESS_HASHES=";
  for (const auto& windows : s.windows) {
    for (const Window& w : windows) hashes += test::FrameRange(w.from, w.to) + ",";
  }
  hashes.pop_back();
  std::vector<std::string> switches = {s.input, hashes,
                                       "BRIMWOLD_HEADLESS_FRAMES=" + std::to_string(s.end)};
  if (!s.answers.ends_with('=')) switches.push_back(s.answers);
  return test::PlayHeadless(game, home, switches, kLoadsRunLimit);
}

std::set<uint64_t> ShownIn(const test::PlayedRun& run, const Window& w) {
  std::set<uint64_t> hashes;
  for (uint32_t f = w.from; f <= w.to; ++f) hashes.insert(run.hashes.at(f));
  return hashes;
}

using StoryLoads = test::ShippedDemoTest;

TEST_F(StoryLoads, EachSceneLoadsBackTheFrameItSavedAndTheRestingPointerTakesTheChoice) {
  test::ChangePlayerSettings(game.path(), [](UserConfig& user) { user.showEffects = 0; });

  // The same clicks without the saves first: the lines as they come without a load.
  const Schedule plain = Plan(false), saving = Plan(true);
  const test::PlayedRun unloaded = PlaySchedule(game.path(), home.path(), plain);
  ASSERT_EQ(unloaded.status, 0) << unloaded.errors;
  fs::remove(game.path() / "SAVEDATA" / "TEXT_LOG.DAT");
  const test::PlayedRun run = PlaySchedule(game.path(), home.path(), saving);
  ASSERT_EQ(run.status, 0) << run.errors;
  ASSERT_EQ(run.hashes.size(), saving.windows.size() * 3 * kTurn) << run.errors;

  for (size_t i = 0; i < saving.windows.size(); ++i) {
    const auto& [before, after, next] = saving.windows[i];
    EXPECT_EQ(ShownIn(run, after), ShownIn(run, before))
        << "scene " << i + 1 << ": the loaded line differs from the saved one";
    EXPECT_EQ(ShownIn(run, next), ShownIn(unloaded, next))
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
