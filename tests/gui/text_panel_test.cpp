#include "gui/text_panel.h"

#include "common/global.h"
#include "graphics/surface/composition_layer.h"
#include "gui/part_manager.h"
#include "host/clock.h"
#include "platform/timer_service.h"
#include "scenario/message/message_text_engine.h"
#include "support/text_renderers.h"
#include "text_widget_fixture.h"

namespace bw::test {
namespace {

class FakePanelHost : public TextPanelHost {
 public:
  TimerService* CaptionTimers() override { return &timers; }
  CompositionLayer* CaptionLayer() override { return &layer; }
  int32_t CanvasWidth() override { return width; }
  int32_t CanvasHeight() override { return height; }
  void PlayCaptionSound() override { ++sounds; }
  bool StartPointerMove(int32_t x, int32_t y, uint32_t) override {
    moves.push_back({x, y});
    return true;
  }
  bool PointerMoving() override { return movingSteps > 0; }
  bool FrameStep() override { return ++steps, --movingSteps, !stopAsked; }

  TimerService timers;
  CompositionLayer layer;
  int32_t width = 800, height = 600;
  int sounds = 0, movingSteps = 0, steps = 0;
  bool stopAsked = false;
  std::vector<std::pair<int32_t, int32_t>> moves;
};

class TextPanelTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    panel.Setup(&host, &tip);
  }
  // The caption's place after the path ran for ms.
  std::pair<int32_t, int32_t> CaptionAt(uint32_t ms) {
    clock.SetMilliseconds(kStart + ms);
    host.timers.RunDue(0);
    return {panel.CaptionSprite().GetX(), panel.CaptionSprite().GetY()};
  }
  // Pixels the caption sprite changes on a black screen of the canvas's height.
  int InkOnScreen(int32_t height) {
    ImageSurface screen;
    EXPECT_EQ(screen.Create(200, height, 32, 0), 0);
    (void)screen.Fill(0xFF000000, nullptr);
    (void)const_cast<Sprite&>(panel.CaptionSprite()).Draw(&screen, Rect{0, 0, 200, height});
    return InkIn(screen, Rect{0, 0, 200, height}, 0xFF000000);
  }
  static constexpr uint32_t kStart = 5000, kStep = 100;
  host::VirtualClock clock{kStart};
  ScopedGlobal<host::ClockSource> publishedClock{&clock};
  FakePanelHost host;
  // What the script texts use outlives the panel that keeps them.
  MessageTextEngine engine;
  TimerService timers;
  DisplayObjectList list;
  TextPanel panel{testing_text::FakeSource()};
};

// The caption rises from below the canvas's bottom edge until its lower edge rests above the bar
// along the bottom (the scenario frame's, 23 lines high), then sinks back while it fades, for any
// canvas height.
TEST_F(TextPanelTest, CaptionPathFollowsTheCanvasBottom) {
  for (int32_t height : {600, 480}) {
    SCOPED_TRACE(height);
    host.height = height;
    clock.SetMilliseconds(kStart);
    ASSERT_EQ(panel.ShowCaption("Saved", kStep), kCaptionDone);
    const int32_t rest = height - kCaptionRise - panel.CaptionImage().GetHeight();
    EXPECT_EQ(CaptionAt(0), std::make_pair(kCaptionX, height));
    EXPECT_EQ(CaptionAt(kStep), std::make_pair(kCaptionX, rest));
    EXPECT_LE(panel.CaptionSprite().GetY() + panel.CaptionImage().GetHeight(), height - 23)
        << "the resting caption stands over the bar";
    EXPECT_GT(InkOnScreen(height), 0) << "the resting caption shows its text";
    EXPECT_EQ(CaptionAt(4 * kStep), std::make_pair(kCaptionX, rest));
    EXPECT_EQ(CaptionAt(5 * kStep), std::make_pair(kCaptionX, height));
    EXPECT_EQ(panel.CaptionSprite().GetAlpha(), 0);
    EXPECT_EQ(panel.GetCaptionTask(), nullptr) << "the finished path let go of the caption";
    host.timers.Clear();
  }
  EXPECT_EQ(host.sounds, 2);
}

// A screen with an upper list (the scenario frame's windows and button bar stand there, the
// buttons at the front priority) shows the caption in it, drawn over them all, not under.
TEST_F(TextPanelTest, TheCaptionGoesOverTheScreensUpperListAndANewOneReplacesIt) {
  DisplayObjectList upper;
  Sprite button, laterButton;
  ASSERT_EQ(upper.Add(&button, 0, 1), kAddDone);
  host.layer.SetSecondList(&upper);
  ASSERT_EQ(panel.ShowCaption("Saved", kStep), kCaptionDone);
  EXPECT_EQ(std::pair(upper.Count(), host.layer.GetList().Count()),
            std::pair(size_t{2}, size_t{0}));
  EXPECT_EQ(upper.Nodes().front().object, &panel.CaptionSprite()) << "drawn last, in front";
  // A button that came after it is passed by the next caption.
  ASSERT_EQ(upper.Add(&laterButton, 0, 1), kAddDone);
  ASSERT_EQ(panel.ShowCaption("Saved", kStep), kCaptionDone);
  EXPECT_EQ(upper.Nodes().front().object, &panel.CaptionSprite());
  upper.Remove(&button), upper.Remove(&laterButton);
  host.layer.SetSecondList(nullptr);
  ASSERT_EQ(panel.ShowCaption("Saved", kStep), kCaptionDone);
  EXPECT_EQ(std::pair(upper.Count(), host.layer.GetList().Count()),
            std::pair(size_t{0}, size_t{1}));

  // A new caption takes the running one's task away; null only removes it.
  ASSERT_EQ(panel.ShowCaption("one", kStep), kCaptionDone);
  const uint32_t first = panel.GetCaptionTask()->Handle();
  ASSERT_EQ(panel.ShowCaption("two", kStep), kCaptionDone);
  EXPECT_EQ(host.timers.FindByHandle(first), nullptr) << "the first caption's task was taken away";
  const uint32_t second = panel.GetCaptionTask()->Handle();
  EXPECT_EQ(panel.ShowCaption(nullptr, kStep), kCaptionDone);
  EXPECT_EQ(host.timers.FindByHandle(second), nullptr);
  EXPECT_EQ(panel.ShowCaption("", kStep), kCaptionNotRendered);
}

TEST_F(TextPanelTest, PointerParkedOnTheLastPixelStaysAndThePartTakesTheFocus) {
  FakeControl part("p", 100, 50, 40, 20);
  ASSERT_EQ(tip.AddControl(&part, 0), 0);
  struct Case {
    int32_t width, height, x, y;
    bool moves;
  } cases[] = {
      {800, 600, 799, 599, false}, {640, 480, 639, 479, false}, {640, 480, 799, 599, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.x << "," << c.y);
    host.width = c.width, host.height = c.height;
    services.x = c.x, services.y = c.y;
    host.moves.clear();
    (void)tip.SetFocus(nullptr);
    UiControl* out = nullptr;
    EXPECT_EQ(panel.MovePointerToPart(&part, &out, false),
              c.moves ? kPointerMoveStarted : kPointerFocusedInstead);
    using Moved = std::tuple<size_t, UiControl*, UiControl*>;
    EXPECT_EQ(Moved(host.moves.size(), out, tip.GetFocus()),
              c.moves ? Moved(1, &part, nullptr) : Moved(0, nullptr, &part));
  }
  EXPECT_EQ(host.moves[0], std::make_pair(120, 60)) << "the part's centre";
  EXPECT_EQ(panel.MovePointerToPart(nullptr, nullptr, false), kPointerNoPart);

  // Waiting runs frames until the move ends, or until the application asks to stop.
  host.movingSteps = 3;
  EXPECT_EQ(panel.MovePointerToPart(&part, nullptr, true), kPointerMoveStarted);
  EXPECT_EQ(host.steps, 3);
  host.movingSteps = 3;
  host.stopAsked = true;
  EXPECT_EQ(panel.MovePointerToPart(&part, nullptr, true), kPointerMoveStopped);
  EXPECT_EQ(host.steps, 4);
}

TEST_F(TextPanelTest, ScriptTextsUseTheChosenRendererAndStayWithTheFactory) {
  const ScriptTextLayout layout{5, 10, 20, 300, 100, 4, 4, 4, 4};
  const uint32_t none[3] = {0, 0, 0}, colors[3] = {1, 0x123456, 200};
  ScriptText *first = nullptr, *second = nullptr;
  ASSERT_EQ(panel.CreateScriptText(&first, &engine, &timers, &list, layout, none, 0), kWidgetDone);
  EXPECT_EQ(first->GetMainRenderer(), panel.FirstRenderer());
  panel.SetScriptTextFont(true);
  ASSERT_EQ(panel.CreateScriptText(&second, &engine, &timers, &list, layout, colors, 0),
            kWidgetDone);
  EXPECT_EQ(second->GetMainRenderer(), panel.SecondRenderer());
  EXPECT_EQ(panel.CreateScriptText(&first, &engine, &timers, nullptr, layout, none, 0),
            kWidgetRefused);
  EXPECT_EQ(panel.ScriptTextCount(), 2u) << "a refused text is not kept";
  EXPECT_EQ(panel.DeleteScriptText(second), kDeleteDone);
  EXPECT_EQ(panel.DeleteScriptText(second), kDeleteNotListed);
}

}  // namespace
}  // namespace bw::test
