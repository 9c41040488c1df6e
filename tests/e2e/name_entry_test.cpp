// Label: optimised
// The demo's name entry, played headless from the title: its button, a composition and a typed
// name in the field, a line of the suggestions, the honorific's box and the decide button; the
// frames change where each shows, and the title greets by the chosen name afterwards.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "e2e/demo_scene.h"
#include "support/demo_copy.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

// The pointer rests off every part at the title (frame 40) and again once the title is back
// (frame 230). The name button at 60; the field clicked at 90, a composition at 100, committed at
// 110; the list's third line at 130; the box at 150; decide at 170.
constexpr char kInput[] =
    "BRIMWOLD_HEADLESS_INPUT=30:move:780:300,55:move:100:560,60:click:100:560,90:click:380:136,"
    "100:compose:みな,110:text:みなと,120:move:300:250,130:click:300:244,140:move:262:360,"
    "150:click:262:360,165:move:400:522,170:click:400:522,200:move:780:300";
// Before and after each step; the entry with the first line shown; the title before and after.
constexpr uint32_t kBeforeTyping = 95, kComposing = 105, kTyped = 115;
constexpr uint32_t kBeforeLine = 125, kLine = 135, kBeforeBox = 145, kBox = 155;
constexpr uint32_t kTitleBefore = 40, kEntry = 85, kTitleAfter = 230;

using NameEntry = test::DemoGameTest;

TEST_F(NameEntry, TypingTheListTheBoxAndDecidingShowAndTheTitleGreets) {
  test::CopyDemoGame(BRIMWOLD_DEMO_GAME, game.path());
  const std::string hashes =
      test::HashesOf({kTitleBefore, kEntry, kBeforeTyping, kComposing, kTyped, kBeforeLine, kLine,
                      kBeforeBox, kBox, kTitleAfter});
  const test::PlayedRun run = Play({hashes, kInput, "BRIMWOLD_HEADLESS_FRAMES=235"});
  EXPECT_EQ(run.status, 0) << run.errors;
  ASSERT_EQ(run.hashes.size(), 10u) << run.errors;
  auto at = [&](uint32_t frame) { return run.hashes.at(frame); };

  EXPECT_NE(at(kTitleBefore), at(kEntry)) << "the name entry replaces the title";
  EXPECT_NE(at(kBeforeTyping), at(kComposing)) << "the composition shows in the field";
  EXPECT_NE(at(kComposing), at(kTyped)) << "the committed name replaces the composition";
  EXPECT_NE(at(kBeforeLine), at(kLine)) << "the chosen line is drawn into the preview";
  EXPECT_NE(at(kBeforeBox), at(kBox)) << "the honorific is drawn into the preview";
  EXPECT_NE(at(kTitleBefore), at(kTitleAfter)) << "the title greets by the chosen name";
}

}  // namespace
}  // namespace bw
