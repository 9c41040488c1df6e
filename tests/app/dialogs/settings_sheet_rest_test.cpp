#include <gtest/gtest.h>

#include <set>

#include "app/dialogs/settings_sheet.h"
#include "common/global.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/text/renderer_factory.h"
#include "host/dialog/scripted_dialog_host.h"
#include "host/font/fake_glyph_source.h"
#include "sound/sound_world.h"

namespace bw {
namespace {

class SettingsTestSound : public soundtest::ChannelWorld {};

TEST_F(SettingsTestSound, EachTestPlaysItsFileAtItsKindsVolumeOnTheLastChannel) {
  w.PutTone("SE\\SE_TEST.OGG", 50, soundtest::kChannelRate);
  w.PutTone("VOICE\\VO_TEST.OGG", 50, soundtest::kChannelRate);
  EXPECT_EQ(PlaySettingsTestSound(m, 0), kBadChannel) << "no channel to borrow";
  ASSERT_EQ(m.SetChannelCount(4), kSoundOk);
  m.SetDefaultFactor(0, 100);
  m.SetDefaultFactor(1, 120);
  m.SetDefaultFactor(2, 140);
  w.PutTone("VOICE\\MINA_TEST.OGG", 50, soundtest::kChannelRate);
  VoiceCharacter mina;
  mina.name = "MINA", mina.setting = 90;
  struct Case {
    int which;
    const char* file;
    int32_t factor;
    const VoiceCharacter* character = nullptr;
  } cases[] = {{0, "SE\\SE_TEST.OGG", 100},
               {1, "SE\\SE_TEST.OGG", 120},
               {2, "VOICE\\VO_TEST.OGG", 140},
               {2, "VOICE\\MINA_TEST.OGG", 90, &mina}};
  for (const Case& c : cases) {
    ASSERT_EQ(PlaySettingsTestSound(m, c.which, c.character), kSoundOk) << c.file;
    const SoundChannel& channel = *m.GetChannel(3);
    EXPECT_EQ(channel.fileName, c.file);
    EXPECT_EQ(channel.factor, c.factor) << c.which;
    EXPECT_TRUE(m.IsChannelPlaying(3)) << c.which;
    EXPECT_EQ(channel.kind, kSoundEffect) << "the channel's own kind comes back";
    EXPECT_FALSE(m.IsChannelPlaying(0));
  }
  m.SetKindSwitch(kSystemSoundEffect, false);
  (void)PlaySettingsTestSound(m, 1);  // what counts is the silence, checked next
  EXPECT_FALSE(m.IsChannelPlaying(3)) << "a switched-off kind stays silent";

  // A sound the script loaded is never replaced: the test takes a lower free channel.
  w.PutTone("SE\\DOOR.OGG", 50, soundtest::kChannelRate);
  for (int32_t channel : {3, 1, 0})
    ASSERT_EQ(m.LoadChannel(channel, "SE\\DOOR.OGG", kLipSyncNone, false), kSoundOk);
  ASSERT_EQ(PlaySettingsTestSound(m, 0), kSoundOk);
  EXPECT_EQ(m.GetChannel(3)->fileName, "SE\\DOOR.OGG");
  EXPECT_EQ(m.GetChannel(2)->fileName, "SE\\SE_TEST.OGG");
  ASSERT_EQ(m.LoadChannel(2, "SE\\DOOR.OGG", kLipSyncNone, false), kSoundOk);
  EXPECT_EQ(PlaySettingsTestSound(m, 0), kBadChannel) << "no channel free";
}

struct PreviewHost : SettingsSheetHost {
  void ApplySound(const UserConfig&) override {}
  void ApplyKeys() override {}
  void ApplyJoystick() override {}
};

struct PreviewRig {
  host::ScriptedDialogHost dialogs;
  ScopedGlobal<host::DialogHost> use{&dialogs};
  PreviewHost app;
  UserConfig config;

  std::map<int, host::DialogControlRecord> Run(const std::string& steps) {
    host::DialogAnswer answer;
    std::string error;
    EXPECT_TRUE(host::ParseDialogAnswer(steps, &answer, &error)) << error;
    dialogs.QueueAnswer(answer);
    RunSettingsSheet(config, app, host::HWND{});
    return dialogs.Dialogs().back().controls;
  }
};

uint32_t Rgb(const host::DialogImage& image, int32_t x, int32_t y) {
  const uint8_t* p = &image.pixels[(size_t(y) * size_t(image.width) + size_t(x)) * 4];
  return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

std::set<uint32_t> Greys(const host::DialogImage& image) {
  std::set<uint32_t> seen;
  for (int32_t y = 0; y < image.height; ++y) {
    for (int32_t x = 0; x < image.width; ++x) {
      const uint32_t c = Rgb(image, x, y);
      if (c == (c & 0xFF) * 0x010101) seen.insert(c);
    }
  }
  return seen;
}

// Where the bar stands: the first column whose pixels are not the bare preview's.
int32_t BarEnd(const host::DialogImage& image) {
  int32_t x = 0;
  while (x < image.width && (Rgb(image, x, 0) != 0xD4D0C8 && Rgb(image, x, 0) != 0x808080)) ++x;
  return x;
}

TEST(SettingsSheetPreviews, SpeedBarsMoveWithTheTicksOnlyWhileTheirPageIsShown) {
  PreviewRig rig;
  rig.config.unreadCharMs = 40;
  rig.config.readNoWait = 1;
  rig.config.lastSettingsPage = 1;
  auto still = rig.Run("2");
  EXPECT_EQ(BarEnd(still.at(1085).image), 0);
  EXPECT_EQ(BarEnd(still.at(1086).image), 240) << "no wait: full at once";
  EXPECT_EQ(Rgb(still.at(1085).image, 15, 5), 0x808080u) << "a line every sixteenth";

  // 10 ticks of 16 ms at 40 ms a character: four of sixteen cells.
  auto moved = rig.Run("ticks:10;2");
  EXPECT_EQ(BarEnd(moved.at(1085).image), 60);
  EXPECT_GT(moved.at(1085).image.changes, still.at(1085).image.changes);
  EXPECT_EQ(moved.at(1086).image.changes, still.at(1086).image.changes) << "a full bar stays";

  // Ticks on another page leave the bars; a faster slider speeds the bar.
  auto away = rig.Run("page:0;ticks:10;page:1;slider:1051:20;2");
  EXPECT_EQ(BarEnd(away.at(1085).image), 0);
  auto faster = rig.Run("slider:1051:20;ticks:10;2");
  EXPECT_EQ(BarEnd(faster.at(1085).image), 120);
}

TEST(SettingsSheetPreviews, FontSampleShowsTheFrameOverACheckerboardAndTheText) {
  BuildBlendTables();
  host::FakeGlyphSource glyphs(true);
  GlyphTextRendererFactory factory(glyphs, [] { return 256u; });
  ScopedGlobal<TextRendererFactory> useFactory(&factory);
  PreviewRig rig;
  rig.config.lastSettingsPage = 2;
  auto framed = rig.Run("2");
  const host::DialogImage& sample = framed.at(1084).image;
  ASSERT_EQ(sample.width * sample.height * 4, int32_t(sample.pixels.size()));
  // 0x106EA8 at 140 of 255 over the light square.
  EXPECT_EQ(Rgb(sample, 0, 0), 0x6598B8u);
  int white = 0;
  for (int32_t y = 0; y < sample.height; ++y) {
    for (int32_t x = 0; x < sample.width; ++x) white += Rgb(sample, x, y) == 0xFFFFFF;
  }
  EXPECT_GT(white, 0) << "the text in white";

  auto bare = rig.Run("check:1070:0;2");
  EXPECT_EQ(Rgb(bare.at(1084).image, 0, 0), 0xCCCCCCu);
  EXPECT_EQ(Rgb(bare.at(1084).image, 8, 0), 0xFFFFFFu);
  EXPECT_EQ(bare.at(1084).image.changes, framed.at(1084).image.changes + 1);

  // Fully covered text is white, or with the gradation a grey per row down to black.
  rig.config.fontDecoration = 0;
  EXPECT_EQ(Greys(rig.Run("2").at(1084).image), std::set<uint32_t>{0xFFFFFF});
  EXPECT_GT(Greys(rig.Run("check:1123:1;2").at(1084).image).size(), 4u);
}

}  // namespace
}  // namespace bw
