#include "app/dialogs/settings_sheet.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "common/global.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/text/renderer_factory.h"
#include "host/cp932.h"
#include "host/dialog/imgui_dialog_host.h"
#include "host/dialog/scripted_dialog_host.h"
#include "host/font/fake_glyph_source.h"
#include "host/sdl_window_fixture.h"
#include "sound/sound_world.h"
#include "support/game_run.h"

namespace bw {
namespace {

struct FakeSheetHost : SettingsSheetHost {
  std::vector<UserConfig> sounds, displays;
  int keys = 0, joysticks = 0;
  bool pointerMoves = false;
  void ApplySound(const UserConfig& config) override { sounds.push_back(config); }
  void ApplyKeys() override { ++keys; }
  void ApplyJoystick() override { ++joysticks; }
  void ApplyDisplay(const UserConfig& config) override { displays.push_back(config); }
  bool PointerMoves() override { return pointerMoves; }
  std::vector<std::string> FontFaces() override {
    return {host::Cp932Literal("ＭＳ ゴシック"), "Sans", std::string(40, 'L')};
  }
};

struct SheetRig {
  host::ScriptedDialogHost dialogs;
  ScopedGlobal<host::DialogHost> use{&dialogs};
  FakeSheetHost app;
  UserConfig config;

  SettingsSheetResult Run(const std::string& steps) {
    dialogs.QueueAnswer(test::Steps(steps));
    return RunSettingsSheet(config, app, host::HWND{});
  }
  // The sheet as it ended.
  host::DialogRecord Shown(const std::string& steps) {
    Run(steps);
    return dialogs.Dialogs().back();
  }
};

TEST(SettingsSheet, KeyFieldsTakeNamedKeysOnceAndJoystickFieldsTakeButtons) {
  SheetRig rig;
  rig.config.joystickEnabled = 1;
  // "Z" for cancel empties decide; F1 has no name and is ignored.
  rig.Run("page:4;key:1057:0x2C;key:1058:0x3B;page:5;key:1056:0;joy:7;joy:2;1");
  EXPECT_EQ(
      std::tuple(rig.config.actionKeys[0], rig.config.actionKeys[1], rig.config.actionKeys[2]),
      std::tuple(0, 0x2C, 0x1E));
  EXPECT_EQ(std::tuple(rig.config.actionButtons[0], rig.config.actionButtons[1]), std::tuple(7, 0))
      << "a button code, stick directions ignored";
  EXPECT_EQ(rig.dialogs.Dialogs().back().controls.at(1056).text, host::Cp932Literal("ボタン4"));
  EXPECT_EQ(std::tuple(rig.app.keys, rig.app.joysticks), std::tuple(1, 1));
  EXPECT_EQ(KeyName(0x1C), "") << "Enter cannot be assigned";
}

TEST(SettingsSheet, TextPageGivesItsNoticesAndSoundIsPutBackOnCancel) {
  SheetRig rig;
  SettingsSheetResult result = rig.Run("page:2;item:1121:1;slider:1051:255;1");
  EXPECT_TRUE(result.fontNotice && result.frameNotice && result.textChanged);
  EXPECT_EQ(std::tuple(rig.config.FontFaceName(), rig.config.frameColor,
                       rig.dialogs.Dialogs().back().controls.at(1121).value),
            std::tuple("Sans", 0xFF6EA8u, 1));

  UserConfig stored = rig.config;
  stored.lastSettingsPage = 3;
  rig.app.sounds.clear();
  rig.Run("page:3;slider:1051:10;check:1071:0;2");
  ASSERT_GE(rig.app.sounds.size(), 2u);
  EXPECT_EQ(rig.app.sounds[rig.app.sounds.size() - 2].masterVolume, 10u) << "heard at once";
  EXPECT_EQ(rig.app.sounds.back(), stored) << "cancel pushes the stored fields again";
  EXPECT_EQ(rig.config.masterVolume, 256u);
}

// What "デフォルト設定に戻す" shows is what a new player starts with: the drawing method the engine
// takes for a stored 0 (never a blank choice) and the ducking the page proposes.
TEST(SettingsSheet, DefaultsShowTheStartingDrawingMethodAndDucking) {
  SheetRig rig;
  rig.config.displayOption2 = 3;
  EXPECT_EQ(rig.Shown("page:6;2").controls.at(1083).value, 2) << "Direct3D";
  EXPECT_EQ(rig.Shown("page:6;press:1301;2").controls.at(1083).value, 1) << "DirectDraw";
  EXPECT_EQ(rig.Shown("page:3;press:1301;2").controls.at(1061).valueText,
            host::Cp932Literal("65％ にする）"));
}

// The window page's options reach the display on OK only; the tooltip delay goes in tens of
// milliseconds up to three seconds, its default among them; the pointer starts at the sheet's
// centre when the player lets it be moved.
TEST(SettingsSheet, WindowOptionsTooltipDelayThePointerAndWhatCancelAndOkStore) {
  SheetRig rig;
  rig.Run("page:6;item:1083:2;check:1186:0;2");
  EXPECT_TRUE(rig.app.displays.empty()) << "cancel hands nothing over";
  rig.Run("page:6;item:1083:2;check:1184:1;check:1186:0;1");
  ASSERT_EQ(rig.app.displays.size(), 1u);
  const UserConfig& shown = rig.app.displays.back();
  EXPECT_EQ(std::tuple(shown.displayOption2, shown.drawingMethodAlways, shown.bilinearFilter),
            std::tuple(3, 1, 0));
  EXPECT_EQ(rig.config.displayOption2, 3);

  EXPECT_EQ(rig.Shown("page:0;2").controls.at(1051).value, 75) << "750 ms";
  rig.Run("page:0;slider:1051:300;1");
  EXPECT_EQ(rig.config.tooltipDelayMs, 3000u);
  // A delay past the slider's end is shown and kept while the slider is left alone.
  rig.config.tooltipDelayMs = 5000;
  EXPECT_EQ(rig.Shown("page:0;1").controls.at(1051).valueText, "5000 ms");
  EXPECT_EQ(rig.config.tooltipDelayMs, 5000u);
  rig.Run("page:0;press:1301;1");
  EXPECT_EQ(rig.config.tooltipDelayMs, 750u) << "the default, not the slider's end";

  EXPECT_FALSE(rig.Shown("2").cursorToCentre);
  rig.app.pointerMoves = true;
  EXPECT_TRUE(rig.Shown("2").cursorToCentre);

  // Cancel and the defaults store nothing; OK stores the pages.
  rig.config.unreadCharMs = 77, rig.config.lastSettingsPage = 9;
  const UserConfig before = rig.config;
  SettingsSheetResult result = rig.Run("page:1;slider:1051:99;press:1301;check:1101:1;2");
  EXPECT_FALSE(result.applied);
  EXPECT_EQ(rig.dialogs.Dialogs().back().controls.at(1051).value, 30)
      << "defaults shown on the page";
  UserConfig expected = before;
  expected.lastSettingsPage = 1;  // the page last shown is remembered, out of range began at 0
  EXPECT_EQ(rig.config, expected) << "cancel keeps every field";
  EXPECT_EQ(rig.dialogs.Dialogs().back().page, 1);

  // OK: the tooltip slider stores tens of ms, an untouched slider keeps a value past its range,
  // and the sound page stores its inverted mute.
  rig.config.soundOn = 0;
  result = rig.Run("page:0;slider:1051:30;page:3;check:1070:0;1");
  EXPECT_TRUE(result.applied && result.tooltipChanged && result.textChanged);
  EXPECT_EQ(std::tuple(rig.config.tooltipDelayMs, rig.config.soundOn), std::tuple(300u, 1));
  EXPECT_EQ(rig.config.unreadCharMs, 77) << "text 1 page untouched";
}

class SettingsTestSound : public soundtest::ChannelWorld {};

TEST_F(SettingsTestSound, EachTestPlaysItsFileAtItsKindsVolumeOnTheLastChannel) {
  w.PutTone("SE\\SE_TEST.OGG", 50, soundtest::kChannelRate);
  w.PutTone("VOICE\\VO_TEST.OGG", 50, soundtest::kChannelRate);
  EXPECT_EQ(PlaySettingsTestSound(m, 0), kBadChannel) << "no channel to borrow";
  ASSERT_EQ(m.SetChannelCount(4), kSoundOk);
  for (int kind = 0; kind < 3; ++kind) m.SetDefaultFactor(kind, 100 + 20 * kind);
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
    EXPECT_EQ(std::tuple(channel.fileName, channel.factor, m.IsChannelPlaying(3),
                         m.IsChannelPlaying(0), channel.kind),
              std::tuple(c.file, c.factor, true, false, kSoundEffect))
        << c.which << ": the channel's own kind comes back";
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
  SheetRig rig;
  rig.config.unreadCharMs = 40, rig.config.readNoWait = 1, rig.config.lastSettingsPage = 1;
  auto still = rig.Shown("2").controls;
  EXPECT_EQ(BarEnd(still.at(1085).image), 0);
  EXPECT_EQ(BarEnd(still.at(1086).image), 240) << "no wait: full at once";
  EXPECT_EQ(Rgb(still.at(1085).image, 15, 5), 0x808080u) << "a line every sixteenth";

  // 10 ticks of 16 ms at 40 ms a character: four of sixteen cells.
  auto moved = rig.Shown("ticks:10;2").controls;
  EXPECT_EQ(BarEnd(moved.at(1085).image), 60);
  EXPECT_GT(moved.at(1085).image.changes, still.at(1085).image.changes);
  EXPECT_EQ(moved.at(1086).image.changes, still.at(1086).image.changes) << "a full bar stays";

  // Ticks on another page leave the bars; a faster slider speeds the bar.
  auto away = rig.Shown("page:0;ticks:10;page:1;slider:1051:20;2").controls;
  EXPECT_EQ(BarEnd(away.at(1085).image), 0);
  auto faster = rig.Shown("slider:1051:20;ticks:10;2").controls;
  EXPECT_EQ(BarEnd(faster.at(1085).image), 120);
}

TEST(SettingsSheetPreviews, FontSampleShowsTheFrameOverACheckerboardAndTheText) {
  BuildBlendTables();
  host::FakeGlyphSource glyphs(true);
  GlyphTextRendererFactory factory(glyphs, [] { return 256u; });
  ScopedGlobal<TextRendererFactory> useFactory(&factory);
  SheetRig rig;
  rig.config.lastSettingsPage = 2;
  auto framed = rig.Shown("2").controls;
  const host::DialogImage& sample = framed.at(1084).image;
  ASSERT_EQ(sample.width * sample.height * 4, int32_t(sample.pixels.size()));
  // 0x106EA8 at 140 of 255 over the light square.
  EXPECT_EQ(Rgb(sample, 0, 0), 0x6598B8u);
  int white = 0;
  for (int32_t y = 0; y < sample.height; ++y) {
    for (int32_t x = 0; x < sample.width; ++x) white += Rgb(sample, x, y) == 0xFFFFFF;
  }
  EXPECT_GT(white, 0) << "the text in white";

  auto bare = rig.Shown("check:1070:0;2").controls;
  EXPECT_EQ(std::tuple(Rgb(bare.at(1084).image, 0, 0), Rgb(bare.at(1084).image, 8, 0)),
            std::tuple(0xCCCCCCu, 0xFFFFFFu));
  EXPECT_EQ(bare.at(1084).image.changes, framed.at(1084).image.changes + 1);

  // Fully covered text is white, or with the gradation a grey per row down to black.
  rig.config.fontDecoration = 0;
  EXPECT_EQ(Greys(rig.Shown("2").controls.at(1084).image), std::set<uint32_t>{0xFFFFFF});
  EXPECT_GT(Greys(rig.Shown("check:1123:1;2").controls.at(1084).image).size(), 4u);
}

// The settings sheet as the dialog host draws it in a game's window of 800 x 600 under its menu
// bar, on SDL's dummy driver.
constexpr int32_t kWindowWidth = 800;
constexpr int32_t kWindowHeight = 622;

class DrawnSheet : public host::SdlWindowFixture {
 protected:
  DrawnSheet() : SdlWindowFixture(host::DefWindowProc, "sheet", kWindowWidth, kWindowHeight) {}
  void SetUp() override {
    SdlWindowFixture::SetUp();
    dialogs_ = std::make_unique<host::ImGuiDialogHost>(backend_.get());
    use_ = std::make_unique<ScopedGlobal<host::DialogHost>>(dialogs_.get());
  }
  void TearDown() override {
    use_.reset();
    dialogs_.reset();
    SdlWindowFixture::TearDown();
  }

  std::unique_ptr<host::ImGuiDialogHost> dialogs_;
  std::unique_ptr<ScopedGlobal<host::DialogHost>> use_;
};

// Every page stands in the same place with its buttons where they were, inside the window: the
// sheet does not jump when the page changes, and no page pushes OK out of reach.
TEST_F(DrawnSheet, EveryPageKeepsTheButtonsInOnePlaceInsideTheWindow) {
  std::vector<std::array<float, 4>> okPlaces;
  for (int page = 0; page < kSettingsPageCount; ++page) {
    UserConfig config;
    config.lastSettingsPage = static_cast<uint8_t>(page);
    FakeSheetHost app;
    std::optional<std::array<float, 4>> ok;
    int frames = 0;
    // The sheet stands from its second frame (the loop's own count starts again after each tick
    // of the previews).
    dialogs_->SetFrameHook([&](int) {
      if (++frames < 3) return;
      ok = dialogs_->ShownItem("OK");
      dialogs_->EndDialog(kSettingsSheetCancel);
    });
    RunSettingsSheet(config, app, window_);
    ASSERT_TRUE(ok.has_value()) << "page " << page;
    okPlaces.push_back(*ok);
    EXPECT_TRUE((*ok)[2] <= float(kWindowWidth) && (*ok)[3] <= float(kWindowHeight)) << page;
  }
  for (size_t page = 1; page < okPlaces.size(); ++page)
    EXPECT_EQ(okPlaces[page], okPlaces[0]) << "page " << page;
}

}  // namespace
}  // namespace bw
