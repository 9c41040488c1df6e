#include "app/application/tgs_windows.h"

#include <algorithm>
#include <list>
#include <string>
#include <tuple>
#include <vector>

#include "app/application/scenario_screens.h"
#include "app/application/tgs_history_screen.h"
#include "app/application/tgs_menu_parts.h"
#include "common/global.h"
#include "effects/builtin_effects.h"
#include "effects/effect_registries.h"
#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/surface/composition_layer.h"
#include "gui/button_part.h"
#include "gui/gui_fixture.h"
#include "gui/image_list_part.h"
#include "gui/part_manager.h"
#include "gui/text_view.h"
#include "host/clock.h"
#include "host/cp932.h"
#include "lib/gmp/gmp_writer.h"
#include "lib/wgx/wgx_writer.h"
#include "natives/native_rig.h"
#include "platform/timer_service.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/gmp_file.h"
#include "resource/images/image_loader_manager.h"
#include "script/native_names.h"
#include "support/bg_effect_rig.h"
#include "support/image_test_rig.h"
#include "support/temp_dir.h"
#include "support/text_renderers.h"

namespace bw::test {
namespace {

// The pictures of the scenario's windows in a game folder: the frames and choice cells in one
// colour, the two wait cursors white, the menu bar and the button strip as the test wants them,
// and a button screen of ten buttons along the bottom.
const char* const kTgsWindowPictures[] = {
    "SYS/MS_FRM_B.WGX", "SYS/MS_FRM_A.WGX", "SYS/MS_FRM_G.WGX", "SYS/NM_FRM_B.WGX",
    "SYS/NM_FRM_A.WGX", "SYS/NM_FRM_G.WGX", "SYS/MS_CUR0.WGX",  "SYS/MS_CUR1.WGX",
    "SYS/MS_BAR.WGX",   "SYS/MS_SEL_B.WGX", "SYS/MS_SEL_A.WGX", "SYS/MS_SEL_G.WGX",
    "SYS/BTN.WGX",      "SYS/MS_FRAME.GMP",
};

std::vector<uint8_t> SolidWgx(uint32_t w, uint32_t h, uint32_t rgb) {
  return tools::WriteWgx({24, w, h, std::vector<uint32_t>(size_t{w} * h, rgb), {}, 0, 0, {}});
}

// A screen of count buttons of BTN.WGX, w x h, in a row from x0 at step apart.
std::vector<uint8_t> ButtonRow(int16_t count, int16_t x0, int16_t step, int16_t y, uint16_t w,
                               uint16_t h) {
  GmpFile gmp;
  for (int16_t i = 0; i < count; ++i)
    gmp.entries.push_back(
        {"BTN.WGX", 1, int16_t(x0 + step * i), y, 255, true, w, h, GmpFullStateCode(1)});
  return tools::WriteGmp(gmp);
}

struct TgsWindowLook {
  uint32_t barWidth = 30, barHeight = 30, bar = 0x203040, button = 0x808080;
};

// Every picture but the one named except.
void WriteTgsWindowPictures(const TempDir& dir, const TgsWindowLook& look,
                            const std::string& except = {}) {
  for (const std::string name : kTgsWindowPictures) {
    if (name == except) continue;
    if (name == "SYS/MS_FRAME.GMP") {
      dir.WriteFile(name, ButtonRow(10, 10, 60, 580, 16, 16));
    } else if (name.find("CUR") != std::string::npos) {
      dir.WriteFile(name, SolidWgx(50, 10, 0xFFFFFF));
    } else if (name == "SYS/MS_BAR.WGX") {
      dir.WriteFile(name, SolidWgx(look.barWidth, look.barHeight, look.bar));
    } else if (name == "SYS/BTN.WGX") {
      dir.WriteFile(name, SolidWgx(48, 16, look.button));
    } else {
      dir.WriteFile(name, SolidWgx(30, 30, 0x203040));
    }
  }
}

// A message set, its page shown and the window made visible.
void ShowMessage(TgsWindows& w, const std::string& text, const std::string& name = "",
                 uint32_t typingMs = 0) {
  w.SetMessage(text, name, typingMs);
  w.ShowPage();
  w.SetWindowVisible(true);
}

// The game folder's pictures, the pointer and the parts the windows are placed with.
class TgsWindowsBase : public GameFolderTest {
 protected:
  void SetUp() override {
    BuildBlendTables();
    RegisterBuiltinLoaders(images_);
    tip_.SetServices(&services_);
  }

  ScopedPixelLibrary library_{&BuiltInPixelLibrary()};
  ImageLoaderManager images_;
  ScopedGlobal<ImageLoaderManager> publishedImages_{&images_};
  DisplayManager display_;
  FakeGuiServices services_;
  RecordingPointerTip tip_;
  PartManager parts_;
  TimerService timers_;
  TgsWindowsPlace place_;
};

class TgsWindowsTest : public TgsWindowsBase {
 protected:
  void SetUp() override {
    TgsWindowsBase::SetUp();
    ASSERT_EQ(screen_.Create(800, 600, 32, kImageDibSection), 0);
    (void)layer_.SetTarget(&screen_, true);
    parts_.SetTarget(&layer_);
    place_ = {&layer_, nullptr, &display_, &parts_, &tip_, &timers_};
  }
  void WriteAll(const std::string& except = {}) { WriteTgsWindowPictures(dir_, {}, except); }

  ImageSurface screen_;
  CompositionLayer layer_;
};

TEST_F(TgsWindowsTest, PreparedWindowsShowAMessageTheButtonsAndTheChoices) {
  WriteAll();
  TgsWindows w(testing_text::FakeSource(), place_);
  ASSERT_EQ(w.PrepareWindows(), 0);

  // The ten buttons are the part manager's, in group 1000, labelled and hidden.
  ASSERT_EQ(parts_.PartCount(), 10u);
  for (int i = 0; i < 10; ++i) {
    UiControl* b = w.Button(i);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(std::tuple(b->GetId(), b->IsVisible()), std::tuple(i, false));
  }
  EXPECT_EQ(std::string(w.Button(9)->GetTooltipText()), host::Cp932Literal("ウィンドウを消去"));
  w.SetButtonState(2, 0);
  w.ShowButtons(true);
  EXPECT_EQ(std::tuple(w.Button(2)->IsEnabled(), w.Button(0)->IsVisible(),
                       w.Bar().GetRectPtr()->top, w.WaitMark().GetX(), w.WaitMark().GetY()),
            std::tuple(false, true, 577, 735, 75));

  // A named message types out, then stands whole with its name box.
  const std::string text = host::Cp932Literal("「こんにちは」");
  ShowMessage(w, text, host::Cp932Literal("アリス"), 30);
  EXPECT_EQ(std::tuple(w.View().IsVisible(), w.NameBox().IsVisible()), std::tuple(true, true));
  w.FinishTyping();
  EXPECT_EQ(std::tuple(w.Typing(), w.View().GetName()),
            std::tuple(false, host::Cp932Literal("アリス")));
  w.SetWindowVisible(false);
  EXPECT_FALSE(w.NameBox().IsVisible());

  // The user's look reaches both message renderers and stays through font changes, which
  // colour both; each renderer keeps its own size and weight.
  TgsUserSettings user;
  user.fontBold = true;
  w.SetMessageLook(user);
  TgsFontState font;
  font.size = 20, font.color = 0xFF0000, font.face = "NoSuchFace";
  w.SetMessageFont(font);
  for (size_t i = 0; i < 2; ++i) {
    const OutlineTextRenderer& r = w.Renderer(i);
    EXPECT_EQ(std::tuple(r.GradationOn(), r.GetStyle(), r.GetShadowOffsetX(), r.GetShadowOffsetY(),
                         r.GetAntialiasLevel(), r.GetTextColor()),
              std::tuple(false, int(kTextEdge), 2, 2, 2, TextColor{255, 0, 0}))
        << i;
    EXPECT_EQ(std::tuple(r.GetLogFont().lfHeight, r.GetLogFont().lfWeight >= 700),
              std::tuple(i == 0 ? -20 : -13, i == 0))
        << i;
  }
  user.fontGradation = true, user.fontBold = false, user.rubyBold = true, user.fontStyle = 1;
  w.SetMessageLook(user);
  w.SetMessageFont(TgsFontState{});
  EXPECT_EQ(std::tuple(w.Renderer(0).GradationOn(), w.Renderer(0).GetStyle()), std::tuple(true, 1));
  EXPECT_EQ(std::tuple(w.Renderer(0).GetLogFont().lfWeight, w.Renderer(1).GetLogFont().lfWeight),
            std::tuple(400, 700));

  // Two choices, the second disabled; the list registers with the pointer while shown.
  w.SetChoiceSource([] { return std::vector<TgsChoiceLine>{{"yes", true}, {"no", false}}; });
  w.ShowChoiceList(true);
  ASSERT_NE(w.Choices(), nullptr);
  EXPECT_EQ(std::tuple(w.Choices()->IsVisible(), w.Choices()->Count()), std::tuple(true, 2));
  uint32_t now = 0;
  w.SetClock([&now] { return now; });
  w.FadeOtherChoices(0);
  EXPECT_TRUE(w.ChoiceFadesRunning());
  now = 400;
  w.Tick(now);
  EXPECT_FALSE(w.ChoiceFadesRunning());
  w.ShowChoiceList(false);
  EXPECT_FALSE(w.Choices()->IsVisible());

  // Choice cells: the hover look filled with the background's complement, the text 5 pixels in
  // (its glyph box a pixel further); the history's renderers measure an edge around their text.
  w.SetChoiceSource([] { return std::vector<TgsChoiceLine>{{"A", true}, {"", true}}; });
  w.ShowChoiceList(true);
  const ImageSurface &cell = *w.Choices()->GetCellSurface(0),
                     &blank = *w.Choices()->GetCellSurface(1);
  EXPECT_EQ(blank.GetPixel(30 + 8, 8), 0x80FFFFFFu);
  EXPECT_NE(cell.GetPixel(14, 14), blank.GetPixel(14, 14));
  EXPECT_EQ(std::tuple(cell.GetPixel(13, 14), cell.GetPixel(14, 13)),
            std::tuple(blank.GetPixel(13, 14), blank.GetPixel(14, 13)));
  Size box;
  int32_t x = 0, y = 0;
  w.Renderer(2).MeasureText("A", &box, &x, &y, true, nullptr);
  EXPECT_LT(x, 0);

  w.Release();
  EXPECT_EQ(parts_.PartCount(), 0u);
}

// The page's rows as they stand.
std::vector<uint8_t> Rows(const ImageSurface& page) {
  std::vector<uint8_t> rows;
  for (int32_t y = 0; y < page.GetHeight(); ++y) {
    const uint8_t* row = page.GetPixels() + size_t(y) * size_t(page.GetPitch());
    rows.insert(rows.end(), row, row + size_t(page.GetWidth()) * 4);
  }
  return rows;
}

// A message is fitted into the window: the frame picture is its one tile, so the window keeps
// whole pictures, stays at its place and holds the text.
TEST_F(TgsWindowsTest, AMessageIsDrawnIntoTheWindowAtItsPictureSize) {
  WriteAll();
  // The window wraps its text at the picture's width.
  for (const char* name : {"SYS/MS_FRM_B.WGX", "SYS/MS_FRM_A.WGX", "SYS/MS_FRM_G.WGX"})
    dir_.WriteFile(name, SolidWgx(600, 90, 0x203040));
  TgsWindows w(testing_text::FakeSource(), place_);
  ASSERT_EQ(w.PrepareWindows(), 0);
  ShowMessage(w, host::Cp932Literal("こんにちは、世界"));
  const TextView& view = w.View();
  ASSERT_FALSE(view.Lines().empty());
  EXPECT_EQ(std::tuple(view.GetWidth(), view.GetHeight(), view.GetX(), view.GetY()),
            std::tuple(600, 90, 15, 475));
  EXPECT_GE(view.GetWidth(), view.Lines().front().box.right);
  const ImageSurface& page = view.Page();
  const std::vector<uint8_t> text = Rows(page);
  w.NextPage();
  EXPECT_NE(Rows(page), text) << "the text was not drawn";

  // A message shown before a choice list keeps its mark; the next message, longer, brings the
  // mark to its own end rather than leaving it over its text.
  for (const char* message : {"ab", "abcdefgh"}) w.SetMessage(message, "", 0), w.ShowPage();
  EXPECT_EQ(w.WaitMark().GetX(), view.Lines().back().box.right);
}

// A missing picture leaves its piece out (the buttons go with any of theirs) and is named; the
// message is still shown, the choices drawn plainly, and nothing is left behind at the release.
TEST_F(TgsWindowsTest, AMissingPictureLeavesItsPieceOutAndIsNamed) {
  for (const char* missing : kTgsWindowPictures) {
    SCOPED_TRACE(missing);
    WriteAll(missing);
    std::filesystem::remove(dir_.path() / missing);
    TgsWindows w(testing_text::FakeSource(), place_);
    ASSERT_EQ(w.PrepareWindows(), 0);
    const bool buttonPicture = std::string(missing) == "SYS/BTN.WGX";
    std::string named = buttonPicture ? "SYS/MS_FRAME.GMP" : missing;
    std::replace(named.begin(), named.end(), '/', '\\');
    EXPECT_EQ(w.MissingPictures(), std::vector<std::string>{named});
    const bool buttons = buttonPicture || named == "SYS\\MS_FRAME.GMP";
    EXPECT_EQ(parts_.PartCount(), buttons ? 0u : 10u);
    ShowMessage(w, host::Cp932Literal("こんにちは"), host::Cp932Literal("アリス"), 30);
    EXPECT_EQ(std::tuple(w.View().IsVisible(), w.View().Lines().empty()), std::tuple(true, false));
    w.SetChoiceSource([] { return std::vector<TgsChoiceLine>{{"yes", true}}; });
    w.ShowChoiceList(true);
    EXPECT_EQ(w.Choices()->Count(), 1);
    w.Release();
    EXPECT_TRUE(parts_.PartCount() == 0 && tip_.Controls().empty() && layer_.GetList().IsEmpty());
  }
}

// Buttons of the bar's size carry their labels on every cell, greyed on the disabled one; the hit
// area over the screen comes after them in the pointer's list, and a shown list gives the point
// its first choice is taken at.
TEST_F(TgsWindowsTest, ButtonsCarryTheirLabelsAndTheHitAreaStandsBehindThem) {
  WriteAll();
  dir_.WriteFile("SYS/BTN.WGX", SolidWgx(4 * 76, 21, 0x304870));
  Write("SYS/MS_FRAME.GMP", ButtonRow(10, 2, 79, 578, 76, 21));
  TgsWindows w(testing_text::FakeSource(), place_);
  ASSERT_EQ(w.PrepareWindows(), 0);
  // Each label stands in one line at a size that reads: its inked rows make one band, as tall
  // as a line of the one-line sizes. The brightest pixel of each cell is the label, white, or grey
  // where disabled.
  for (int b = 0; b < 10; ++b) {
    SCOPED_TRACE(b);
    const ImageSurface& cells = *dynamic_cast<ButtonPart*>(w.Button(b))->GetCells();
    uint32_t brightest[4] = {};
    std::vector<int32_t> inked;
    for (int32_t y = 0; y < 21; ++y) {
      for (int32_t x = 0; x < 4 * 76; ++x) {
        const uint32_t v = cells.GetPixel(x, y) & 0xFF;
        brightest[x / 76] = std::max(brightest[x / 76], v);
        if (x < 76 && v > 0x70 && (inked.empty() || inked.back() != y)) inked.push_back(y);
      }
    }
    EXPECT_GT(brightest[0], brightest[3]) << "the disabled label is not grey";
    EXPECT_GT(brightest[3], 0x70u) << "the disabled cell has no label";
    ASSERT_FALSE(inked.empty());
    EXPECT_EQ(inked.back() - inked.front() + 1, static_cast<int32_t>(inked.size()))
        << "the label is in two lines";
    EXPECT_GE(inked.size(), 10u) << "the label is too small to read";
  }
  const std::list<UiControl*>& controls = tip_.Controls();
  ASSERT_EQ(controls.size(), 11u);
  EXPECT_EQ(std::tuple(controls.back(), w.HitArea().IsEnabled()), std::tuple(&w.HitArea(), true));
  w.SetHitAreaEnabled(false);
  EXPECT_FALSE(w.HitArea().IsEnabled());
  int32_t x = 0, y = 0;
  EXPECT_FALSE(w.ChoicePoint(x, y)) << "no list shown";
  w.SetChoiceSource([] { return std::vector<TgsChoiceLine>{{"no", false}, {"yes", true}}; });
  w.ShowChoiceList(true);
  ASSERT_TRUE(w.ChoicePoint(x, y));
  const Sprite& second = *w.Choices()->GetCellSprite(1);
  EXPECT_EQ(std::tuple(x, y), std::tuple(second.GetX() + second.GetWidth() / 2,
                                         second.GetY() + second.GetHeight() / 2));
}

// The windows on the screen canvas of two scene pages: a mode-1 exchange swaps the pages'
// compositions, and the windows and buttons must stay on the shown one; the buttons fade in.
constexpr uint32_t kBar = 0x10E010, kButton = 0x808080, kShownPage = 0x0000C0, kBackPage = 0xC00000;

class TgsWindowsPagesTest : public TgsWindowsBase {
 protected:
  void SetUp() override {
    TgsWindowsBase::SetUp();
    RegisterScriptHostKeywords(transitions_, effects_);
    ASSERT_EQ(screen_.Create(800, 600, 32, kLayerComposed), 0);
    ASSERT_EQ(back_.Create(800, 600, 32, kLayerComposed), 0);
    screen_.GetCompositionLayer()->SetBackgroundColor(kShownPage, true);
    back_.GetCompositionLayer()->SetBackgroundColor(kBackPage, true);
    WriteTgsWindowPictures(dir_, {800, 23, kBar, kButton});
    // The canvas was made without an upper list: the windows' place gets one.
    place_ = {
        screen_.GetCompositionLayer(), screen_.AddUpperList(), &display_, &parts_, &tip_, &timers_};
    parts_.SetTarget(place_.layer);
    ASSERT_EQ(shown_.Create(800, 600, 32, kImageDibSection), 0);
  }
  // The shown page's colour at a point.
  uint32_t ShownAt(int32_t x, int32_t y) {
    EXPECT_EQ(screen_.GetCompositionLayer()->RenderTo(&shown_, kRenderAll, 0, true), 0);
    return PixelAt(shown_, x, y) & 0xFFFFFF;
  }

  TcpPluginManager transitions_;
  DcpPluginManager effects_;
  ScopedGlobal<DcpPluginManager> publishedEffects_{&effects_};
  host::VirtualClock clock_{1000};
  ScopedGlobal<host::ClockSource> publishedClock_{&clock_};
  CanvasLayer screen_, back_;
  ImageSurface shown_;
};

TEST_F(TgsWindowsPagesTest, WindowsStayOverAPageExchangeAndButtonsFadeIn) {
  TgsWindows w(testing_text::FakeSource(), place_);
  ASSERT_EQ(w.PrepareWindows(), 0);
  w.ShowButtons(true);
  ShowMessage(w, "abc");
  timers_.RunDue(1000);
  timers_.RunDue(1500);  // the buttons' fade is over
  for (uint32_t page : {kBackPage, kShownPage}) {
    screen_.SwapCompositionWith(&back_);
    EXPECT_EQ(ShownAt(400, 300), page) << "the pages were not exchanged";
    EXPECT_EQ(ShownAt(5, 590), kBar) << "the bar vanished";
    EXPECT_EQ(ShownAt(20, 585), kButton) << "a button vanished";
    EXPECT_NE(ShownAt(20, 480), page) << "the message window vanished";
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

// The application as far as the history screen asks it while it only draws.
class DrawingScreensHost final : public ScenarioScreensHost {
 public:
  uint32_t Clock() override { return 0; }
  Mouse* GetMouse() override { return nullptr; }
  EngineInput* PointerInput() override { return nullptr; }
  PartManager* ScreenParts() override { return nullptr; }
  PointerTip* ScreenTip() override { return nullptr; }
  TgsAppState* TgsState() override { return nullptr; }
  ScriptHost* GetScriptHost() override { return nullptr; }
  bool MenuItemEnabled(int) const override { return false; }
  int SetMenuItemEnabled(int, bool) override { return 0; }
};

// Twelve menu buttons in a row and the menu's base picture.
void WriteMenuPictures(const TempDir& dir) {
  dir.WriteFile("SYS/SM_BG.GMP", ButtonRow(kTgsMenuButtons, 0, 20, 0, 16, 16));
  dir.WriteFile("SYS/SM_BASE.WGX", SolidWgx(260, 40, 0x404040));
}

// The text history is a full-screen overlay: its dark box lies over the scenario's windows as over
// the page, though the windows stand on the canvas's upper list. The system menu opened at a
// choice lies over the list, as it lies over the windows.
TEST_F(TgsWindowsPagesTest, TheHistoryAndTheMenuLieOverTheWindows) {
  WriteMenuPictures(dir_);
  TgsWindows w(testing_text::FakeSource(), place_);
  ASSERT_EQ(w.PrepareWindows(), 0);
  ShowMessage(w, "abc");
  (void)display_.SetScreenSurface(&screen_);
  DrawingScreensHost host;
  TgsHistoryScreen history(host, display_, timers_, w.Renderer(2), w.Renderer(3), nullptr);
  const uint32_t window = ShownAt(20, 480), bar = ShownAt(5, 590), page = ShownAt(400, 300);
  ASSERT_EQ(history.Open(0, 0), 0);
  history.SetAlpha(255, 140);
  EXPECT_NE(ShownAt(400, 300), page) << "the dark box is not drawn";
  // The bar is opaque: drawn over the dark box it would keep its colour.
  EXPECT_NE(ShownAt(5, 590), bar) << "the windows lie over the history";
  history.Close();
  EXPECT_EQ(std::tuple(ShownAt(20, 480), ShownAt(5, 590)), std::tuple(window, bar))
      << "the history left a trace";
  (void)display_.SetScreenSurface(nullptr);

  w.SetChoiceSource([] { return std::vector<TgsChoiceLine>{{"yes", true}, {"no", true}}; });
  w.ShowChoiceList(true);
  ASSERT_NE(w.Choices(), nullptr);
  const int32_t x = w.Choices()->GetX() + 2, y = w.Choices()->GetY() + 2;
  const uint32_t cell = ShownAt(x, y);
  TgsMenuParts menu(place_, {});
  // The point falls on the menu's base, below its row of buttons.
  ASSERT_EQ(menu.Open(x - 100, y - 30), 0);
  EXPECT_FALSE(menu.SetMenuFade(false, true)) << "shown at once, without a fade task";
  EXPECT_EQ(ShownAt(x, y), 0x404040u) << "the choice list lies over the menu";
  menu.Close();
  EXPECT_EQ(ShownAt(x, y), cell) << "the menu left a trace";
  w.Release();
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
TEST_F(TgsPartsDeletedTest, ButtonsDeletedByTheScriptLeaveTheWindowsAndTheMenuWorking) {
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

  // The menu's buttons go while it is open, faded in or not; closing it and opening it again
  // works, and the menu destroyed while open forgets the buttons the script already deleted.
  TgsMenuParts menu(place_, {});
  ASSERT_EQ(menu.Open(100, 100), 0);
  ASSERT_NE(menu.Button(kTgsMenuButtons - 1), nullptr);
  EXPECT_TRUE(menu.SetMenuFade(true, true));
  timers_.RunDue(4000);
  DeleteGroup(kTgsMenuGroup);
  timers_.RunDue(4100);
  EXPECT_EQ(std::tuple(menu.FadeRunning(), menu.Button(0)), std::tuple(false, nullptr));
  menu.SetButton(0, false, true, "tip");
  int32_t x = 0, y = 0;
  EXPECT_FALSE(menu.ButtonCorner(3, x, y));
  menu.FocusButton(2);
  EXPECT_FALSE(menu.SetMenuFade(false, false)) << "hidden at once, without a fade task";
  menu.Close();

  ASSERT_EQ(menu.Open(50, 50), 0);
  EXPECT_FALSE(menu.SetMenuFade(false, true)) << "shown at once, without a fade task";
  DeleteAll();
  (void)menu.SetMenuFade(true, false);  // on deleted parts: only that nothing breaks counts
  timers_.RunDue(5000);
  EXPECT_EQ(menu.TakeClickedButton(5000), -1);
}

}  // namespace
}  // namespace bw::test
