// Label: optimised
// The demo's story played from the title to its end twice in one game folder, headless on the
// virtual clock. The first play clicks through every line, takes the sea road and quick-saves in
// the second scene, then sees the closing movie. The second play first sets, on the settings sheet,
// a faster unread text speed and the skip key to pass read lines only, then holds the skip key: the
// read lines of the first play fly by, the forest road's lines stop it, and F1 loads the quick save
// back.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "e2e/demo_scene.h"
#include "support/demo_copy.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

constexpr std::chrono::seconds kRunLimit{300};

// A click on a line of the choice list (the first line is the sea, the second the forest), the
// pointer moved onto it first. Elsewhere on the screen it just advances the text.
std::string ClickOn(uint32_t frame, uint32_t y) {
  return "," + std::to_string(frame - 3) + ":move:390:" + std::to_string(y - 6) + "," +
         std::to_string(frame - 2) + ":move:400:" + std::to_string(y) + "," +
         std::to_string(frame) + ":click:400:" + std::to_string(y);
}

// The hash switch for the frames of the ranges (first, last).
std::string Shown(const std::vector<std::pair<uint32_t, uint32_t>>& ranges) {
  std::string list = "BRIMWOLD_HEADLESS_HASHES=";
  for (auto [first, last] : ranges) list += test::FrameRange(first, last) + ",";
  list.pop_back();
  return list;
}

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

TEST(StoryRoads, BothRoadsPlayToTheEndWithSkipSpeedAndAQuickLoad) {
  test::TempDir game, home;
  test::CopyDemoGame(BRIMWOLD_DEMO_GAME, game.path());
  test::PutShippedSettings(game.path());
  const fs::path wave = home.path() / "mix.wav";

  std::string input = "BRIMWOLD_HEADLESS_INPUT=55:move:400:352,60:click:400:352";
  for (uint32_t f = 200; f < kFirstEnd - 40; f += 120) input += ClickOn(f, 268);
  input += ",785:keydown:Left Ctrl,785:key:F1,786:keyup:Left Ctrl";
  std::vector<std::pair<uint32_t, uint32_t>> seaFrames = {
      {kTitle, kTitle},
      {kSaved, kSavedUntil},
      {kDefaultSpeedLine, kDefaultSpeedLine + 40},
      {kFirstEnd, kFirstEnd}};
  for (uint32_t f : kMoments) seaFrames.push_back({f, f});
  const test::PlayedRun sea = test::PlayHeadless(
      game.path(), home.path(),
      {Shown(seaFrames), input, "BRIMWOLD_HEADLESS_FRAMES=" + std::to_string(kFirstEnd + 5),
       "BRIMWOLD_HEADLESS_WAVE=" + wave.string()},
      kRunLimit);
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
  for (uint32_t f : {200u, 260u}) input += ClickOn(f, 318);
  for (uint32_t f = 440; f < kSecondEnd - 40; f += 60) input += ClickOn(f, 318);
  const test::PlayedRun forest =
      test::PlayHeadless(game.path(), home.path(),
                         {Shown({{100, kLoadedUntil}, {kSecondEnd, kSecondEnd}}), input, kSheet,
                          "BRIMWOLD_HEADLESS_FRAMES=" + std::to_string(kSecondEnd + 5)},
                         kRunLimit);
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

}  // namespace
}  // namespace bw
