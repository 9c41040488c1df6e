#include <string>
#include <vector>

#include "app/application/tgs_windows.h"
#include "effects/builtin_effects.h"
#include "effects/effect_registries.h"
#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "gui/button_part.h"
#include "gui/gui_fixture.h"
#include "gui/part_manager.h"
#include "gui/text_view.h"
#include "host/clock.h"
#include "lib/gmp/gmp_writer.h"
#include "lib/wgx/wgx_writer.h"
#include "platform/timer_service.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "support/bg_effect_rig.h"
#include "support/image_test_rig.h"
#include "support/text_renderers.h"

namespace bw::test {
namespace {

constexpr uint32_t kBar = 0xFF10E010;
constexpr uint32_t kButton = 0xFF808080;
constexpr uint32_t kBackPage = 0xFFC00000;
constexpr uint32_t kShownPage = 0xFF0000C0;

std::vector<uint8_t> Solid(uint32_t w, uint32_t h, uint32_t argb) {
  tools::WgxPicture p;
  p.width = w;
  p.height = h;
  p.pixels.assign(size_t{w} * h, argb);
  return tools::WriteWgx(p);
}

// The windows on the screen canvas of two scene pages: a mode-1 exchange swaps the pages'
// compositions, and the windows must stay on the shown one.
class TgsWindowsPagesTest : public GameFolderTest {
 protected:
  void SetUp() override {
    BuildBlendTables();
    RegisterBuiltinLoaders(images_);
    tip_.SetServices(&services_);
    ASSERT_EQ(screen_.Create(800, 600, 32, kLayerComposed), 0);
    ASSERT_EQ(back_.Create(800, 600, 32, kLayerComposed), 0);
    ASSERT_EQ(screen_.SetLinkedLayer(&back_), 0);
    back_.GetCompositionLayer()->SetBackgroundColor(kBackPage & 0xFFFFFF, true);
    screen_.GetCompositionLayer()->SetBackgroundColor(kShownPage & 0xFFFFFF, true);
    for (const char* name : {"SYS/MS_FRM_B.WGX", "SYS/MS_FRM_A.WGX", "SYS/MS_FRM_G.WGX",
                             "SYS/NM_FRM_B.WGX", "SYS/NM_FRM_A.WGX", "SYS/NM_FRM_G.WGX",
                             "SYS/MS_SEL_B.WGX", "SYS/MS_SEL_A.WGX", "SYS/MS_SEL_G.WGX"}) {
      Write(name, Solid(30, 30, 0xFF203040));
    }
    Write("SYS/MS_CUR0.WGX", Solid(50, 10, 0xFFFFFFFF));
    Write("SYS/MS_CUR1.WGX", Solid(50, 10, 0xFFFFFFFF));
    Write("SYS/MS_BAR.WGX", Solid(800, 23, kBar));
    Write("SYS/BTN.WGX", Solid(48, 16, kButton));
    GmpFile gmp;
    for (int16_t i = 0; i < 10; ++i) {
      gmp.entries.push_back(
          {"BTN.WGX", 1, int16_t(10 + 60 * i), 580, 255, true, 16, 16, GmpFullStateCode(1)});
    }
    Write("SYS/MS_FRAME.GMP", tools::WriteGmp(gmp));
  }

  TgsWindowsPlace Place(DisplayObjectList* list) {
    parts_.SetTarget(screen_.GetCompositionLayer());
    TgsWindowsPlace place;
    place.layer = screen_.GetCompositionLayer();
    place.list = list;
    place.display = &display_;
    place.parts = &parts_;
    place.pointers = &tip_;
    place.timers = &timers_;
    return place;
  }

  // What the screen canvas shows, its upper list included.
  const ImageSurface& Shown() {
    EXPECT_EQ(shown_.Create(800, 600, 32, kImageDibSection), 0);
    EXPECT_EQ(screen_.GetCompositionLayer()->RenderTo(&shown_, kRenderAll, 0, true), 0);
    return shown_;
  }

  ScopedPixelLibrary library_{&BuiltInPixelLibrary()};
  ImageLoaderManager images_;
  ScopedGlobal<ImageLoaderManager> publish_{&images_};
  DisplayManager display_;
  CanvasLayer screen_;
  CanvasLayer back_;
  FakeGuiServices services_;
  RecordingPointerTip tip_;
  PartManager parts_;
  TimerService timers_;
  ImageSurface shown_;
};

TEST_F(TgsWindowsPagesTest, WindowsAndButtonsStayShownThroughAPageExchange) {
  // The canvas was made without an upper list: the windows' place gets one.
  ASSERT_EQ(screen_.GetUpperList(), nullptr);
  DisplayObjectList* upper = screen_.AddUpperList();
  ASSERT_NE(upper, nullptr);
  EXPECT_EQ(screen_.AddUpperList(), upper);
  EXPECT_EQ(back_.GetUpperList(), nullptr);

  TgsWindows w(testing_text::FakeSource(), Place(upper));
  ASSERT_EQ(w.PrepareWindows(), 0);
  w.ShowButtons(true);
  w.SetMessage("abc", "", 0);
  w.ShowPage();
  w.SetWindowVisible(true);
  EXPECT_TRUE(screen_.GetCompositionLayer()->GetList().IsEmpty());

  for (int exchange = 0; exchange < 2; ++exchange) {
    SCOPED_TRACE(exchange);
    screen_.SwapCompositionWith(&back_);
    const ImageSurface& shown = Shown();
    EXPECT_EQ(PixelAt(shown, 400, 300) & 0xFFFFFF,
              (exchange == 0 ? kBackPage : kShownPage) & 0xFFFFFF)
        << "the pages were not exchanged";
    EXPECT_EQ(PixelAt(shown, 5, 590) & 0xFFFFFF, kBar & 0xFFFFFF) << "the bar vanished";
    EXPECT_EQ(PixelAt(shown, 20, 585) & 0xFFFFFF, kButton & 0xFFFFFF) << "a button vanished";
    EXPECT_NE(PixelAt(shown, 20, 480) & 0xFFFFFF, PixelAt(shown, 400, 300) & 0xFFFFFF)
        << "the message window vanished";
  }
  w.Release();
  EXPECT_TRUE(upper->IsEmpty());
}

// The buttons fade in through the "sp_fade" task on the windows' timer service and hide at once.
TEST_F(TgsWindowsPagesTest, ButtonsFadeInAndHideAtOnce) {
  TcpPluginManager transitions;
  DcpPluginManager effects;
  RegisterScriptHostKeywords(transitions, effects);
  ScopedGlobal<DcpPluginManager> published(&effects);
  host::VirtualClock clock(1000);
  ScopedGlobal<host::ClockSource> publishedClock(&clock);
  TgsWindows w(testing_text::FakeSource(), Place(screen_.AddUpperList()));
  ASSERT_EQ(w.PrepareWindows(), 0);
  ASSERT_EQ(timers_.Count(), 2u) << "the wait mark and the fade task";
  auto* button = dynamic_cast<ButtonPart*>(w.Button(3));
  ASSERT_NE(button, nullptr);
  const Sprite& sprite = button->GetSprite();

  w.ShowButtons(true);
  EXPECT_TRUE(button->IsVisible());
  EXPECT_EQ(sprite.GetAlpha(), 0);
  const struct {
    uint32_t at;
    int alpha;
  } steps[] = {{1000, 0}, {1100, 127}, {1200, 255}, {1300, 255}};
  for (const auto& step : steps) {
    timers_.RunDue(step.at);
    EXPECT_TRUE(sprite.IsVisible()) << step.at;
    EXPECT_NEAR(sprite.GetAlpha(), step.alpha, 2) << step.at;
  }

  // Shown again while fading: the fade ends; hidden: at once.
  w.ShowButtons(false);
  w.ShowButtons(true);
  timers_.RunDue(1400);
  w.ShowButtons(false);
  EXPECT_FALSE(sprite.IsVisible());
  w.ShowButtons(false);
  w.Release();
  timers_.RunDue(1500);
  EXPECT_EQ(timers_.Count(), 0u) << "the tasks went with the windows";
}

}  // namespace
}  // namespace bw::test
