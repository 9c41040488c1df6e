// The windows on the screen canvas of two scene pages: a mode-1 exchange swaps the pages'
// compositions, and the windows and buttons must stay on the shown one; the buttons fade in. A
// main script that deletes the windows' or the menu's buttons leaves both working.
#include <string>

#include "app/application/tgs_menu_parts.h"
#include "app/application/tgs_windows.h"
#include "common/global.h"
#include "effects/builtin_effects.h"
#include "effects/effect_registries.h"
#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "gui/button_part.h"
#include "gui/gui_fixture.h"
#include "gui/part_manager.h"
#include "host/clock.h"
#include "natives/native_names.h"
#include "natives/native_rig.h"
#include "platform/timer_service.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "support/bg_effect_rig.h"
#include "support/image_test_rig.h"
#include "support/text_renderers.h"
#include "tgs_window_pictures.h"

namespace bw::test {
namespace {

constexpr uint32_t kBar = 0x10E010, kButton = 0x808080, kShownPage = 0x0000C0, kBackPage = 0xC00000;

class TgsWindowsPagesTest : public GameFolderTest {
 protected:
  void SetUp() override {
    BuildBlendTables();
    RegisterBuiltinLoaders(images_);
    RegisterScriptHostKeywords(transitions_, effects_);
    tip_.SetServices(&services_);
    ASSERT_EQ(screen_.Create(800, 600, 32, kLayerComposed), 0);
    ASSERT_EQ(back_.Create(800, 600, 32, kLayerComposed), 0);
    screen_.GetCompositionLayer()->SetBackgroundColor(kShownPage, true);
    back_.GetCompositionLayer()->SetBackgroundColor(kBackPage, true);
    WriteTgsWindowPictures(dir_, {800, 23, kBar, kButton});
    // The canvas was made without an upper list: the windows' place gets one.
    place_ = {
        screen_.GetCompositionLayer(), screen_.AddUpperList(), &display_, &parts_, &tip_, &timers_};
    parts_.SetTarget(place_.layer);
  }

  ScopedPixelLibrary library_{&BuiltInPixelLibrary()};
  ImageLoaderManager images_;
  ScopedGlobal<ImageLoaderManager> publishedImages_{&images_};
  TcpPluginManager transitions_;
  DcpPluginManager effects_;
  ScopedGlobal<DcpPluginManager> publishedEffects_{&effects_};
  host::VirtualClock clock_{1000};
  ScopedGlobal<host::ClockSource> publishedClock_{&clock_};
  DisplayManager display_;
  CanvasLayer screen_, back_;
  FakeGuiServices services_;
  RecordingPointerTip tip_;
  PartManager parts_;
  TimerService timers_;
  TgsWindowsPlace place_;
  ImageSurface shown_;
};

TEST_F(TgsWindowsPagesTest, WindowsStayOverAPageExchangeAndButtonsFadeIn) {
  TgsWindows w(testing_text::FakeSource(), place_);
  ASSERT_EQ(w.PrepareWindows(), 0);
  w.ShowButtons(true);
  w.SetMessage("abc", "", 0);
  w.ShowPage();
  w.SetWindowVisible(true);
  timers_.RunDue(1000);
  timers_.RunDue(1500);  // the buttons' fade is over
  for (uint32_t page : {kBackPage, kShownPage}) {
    screen_.SwapCompositionWith(&back_);
    ASSERT_EQ(shown_.Create(800, 600, 32, kImageDibSection), 0);
    ASSERT_EQ(screen_.GetCompositionLayer()->RenderTo(&shown_, kRenderAll, 0, true), 0);
    EXPECT_EQ(PixelAt(shown_, 400, 300) & 0xFFFFFF, page) << "the pages were not exchanged";
    EXPECT_EQ(PixelAt(shown_, 5, 590) & 0xFFFFFF, kBar) << "the bar vanished";
    EXPECT_EQ(PixelAt(shown_, 20, 585) & 0xFFFFFF, kButton) << "a button vanished";
    EXPECT_NE(PixelAt(shown_, 20, 480) & 0xFFFFFF, page) << "the message window vanished";
    // Typed text reaches the screen as partial redraws, reported through the list's layer.
    EXPECT_EQ(place_.list->GetLayer(), screen_.GetCompositionLayer()) << "redraws go nowhere";
  }

  // Shown again, the buttons take kTgsButtonFadeMs from nothing; hidden, they go at once.
  w.ShowButtons(false);
  w.ShowButtons(true);
  const Sprite& sprite = dynamic_cast<ButtonPart*>(w.Button(3))->GetSprite();
  for (auto [at, alpha] : {std::pair{2000u, 0}, {2100u, 127}, {2200u, 255}}) {
    timers_.RunDue(at);
    EXPECT_NEAR(sprite.GetAlpha(), alpha, 2) << at;
  }
  w.ShowButtons(false);
  EXPECT_FALSE(sprite.IsVisible());
  w.Release();
  timers_.RunDue(2300);
  EXPECT_EQ(timers_.Count(), 0u) << "the fade task outlived the buttons";
}

// Twelve menu buttons in a row and the menu's base picture.
void WriteMenuPictures(const TempDir& dir) {
  GmpFile gmp;
  for (int16_t i = 0; i < kTgsMenuButtons; ++i)
    gmp.entries.push_back(
        {"BTN.WGX", 1, int16_t(20 * i), 0, 255, true, 16, 16, GmpFullStateCode(1)});
  const std::vector<uint8_t> screen = tools::WriteGmp(gmp);
  dir.WriteFile("SYS/SM_BG.GMP", std::string(screen.begin(), screen.end()));
  dir.WriteFile("SYS/SM_BASE.WGX", SolidWgx(260, 40, 0x404040));
}

// A main script beside the windows and the menu, deleting their buttons through the part natives
// (the part manager is the script's own); the effects' timers are the published ones.
class TgsPartsDeletedTest : public TgsWindowsPagesTest {
 protected:
  void SetUp() override {
    TgsWindowsPagesTest::SetUp();
    WriteMenuPictures(dir_);
    rig_.app.parts = &parts_;
    rig_.app.pointers = &tip_;
  }
  void TearDown() override { tip_.RemoveAll(); }
  void DeleteGroup(int32_t group) { rig_.Answer(Native::kPartDeleteGroup, {uint32_t(group), 0}); }
  void DeleteAll() { rig_.Answer(Native::kPartDeleteAll, {}); }

  ScopedGlobal<TimerService> publishedTimers_{&timers_};
  NativeRig rig_;
};

// The buttons go while their fade runs, then while they stand; the windows show, hide, fade and
// are made again with new buttons, and the menu opens over them.
TEST_F(TgsPartsDeletedTest, WindowButtonsDeletedByTheScriptLeaveTheWindowsWorking) {
  TgsWindows w(testing_text::FakeSource(), place_);
  ASSERT_EQ(w.PrepareWindows(), 0);
  w.ShowButtons(true);
  timers_.RunDue(1000);
  DeleteGroup(kTgsButtonGroup);
  EXPECT_EQ(parts_.PartCount(), 0u);
  timers_.RunDue(1100);
  EXPECT_EQ(w.Button(0), nullptr);
  w.SetButtonState(1, 0);
  w.SetWindowAlpha(128, true);
  w.ShowButtons(false);
  w.ShowButtons(true);
  timers_.RunDue(2000);

  ASSERT_EQ(w.PrepareWindows(), 0);
  ASSERT_NE(w.Button(9), nullptr);
  w.ShowButtons(true);
  timers_.RunDue(3000);  // the fade is over; its task stays
  DeleteAll();
  timers_.RunDue(3100);
  w.ShowButtons(false);
  w.SetWindowAlpha(255, true);

  TgsMenuParts menu(place_, {});
  ASSERT_EQ(menu.Open(100, 100), 0);
  ASSERT_NE(menu.Button(kTgsMenuButtons - 1), nullptr);
}

// The menu's buttons go while it is open, faded in or not; closing it and opening it again
// works, and the menu destroyed while open forgets the buttons the script already deleted.
TEST_F(TgsPartsDeletedTest, MenuButtonsDeletedByTheScriptLeaveTheMenuWorking) {
  TgsMenuParts menu(place_, {});
  ASSERT_EQ(menu.Open(100, 100), 0);
  EXPECT_TRUE(menu.SetMenuFade(true, true));
  timers_.RunDue(1000);
  DeleteGroup(kTgsMenuGroup);
  timers_.RunDue(1100);
  EXPECT_FALSE(menu.FadeRunning());
  EXPECT_EQ(menu.Button(0), nullptr);
  menu.SetButton(0, false, true, "tip");
  int32_t x = 0, y = 0;
  EXPECT_FALSE(menu.ButtonCorner(3, x, y));
  menu.FocusButton(2);
  menu.SetMenuFade(false, false);
  menu.Close();

  ASSERT_EQ(menu.Open(50, 50), 0);
  menu.SetMenuFade(false, true);
  DeleteAll();
  menu.SetMenuFade(true, false);
  timers_.RunDue(2000);
  EXPECT_EQ(menu.TakeClickedButton(2000), -1);
}

}  // namespace
}  // namespace bw::test
