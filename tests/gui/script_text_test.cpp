#include "gui/script_text.h"

#include "common/global.h"
#include "gui/text_typing_task.h"
#include "host/clock.h"
#include "platform/timer_service.h"
#include "scenario/message/message_text_engine.h"
#include "text_widget_fixture.h"

namespace bw::test {
namespace {

class FakeEnvironment : public TypingEnvironment {
 public:
  TextSpeedSettings GetTextSpeeds() const override { return speeds; }
  bool IsSkipModifierDown() const override { return false; }
  bool IsSkipForbidden() const override { return false; }
  uint32_t Now() const override { return now; }
  TextSpeedSettings speeds;
  uint32_t now = 0;
};

class FakeWindowState : public MessageWindowState {
 public:
  int GetState() const override { return 0; }
  void SetFlag(uint8_t f) override { flag = f; }
  void Cancel() override {}
  int flag = -1;
};

class ScriptTextTest : public TextWidgetRig {
 protected:
  void SetUp() override {
    TextWidgetRig::SetUp();
    ASSERT_EQ(text.Create(&list, 10, 640, 120, 0, 0, &main, nullptr, 0), kWidgetDone);
    text.SetEnvironment(&env);
    text.SetWindowState(&window);
    ASSERT_EQ(tip.AddControl(&text, 0), 0);
  }
  void Message(const std::string& compiled) {
    engine.ParseMessageText({reinterpret_cast<const uint8_t*>(compiled.data()), compiled.size()});
    engine.SetCursor(0);
  }
  // Runs the timer service at t; answers the pen.
  int32_t At(uint32_t t) {
    env.now = t;
    clock.SetMilliseconds(t);
    timers.RunDue(t);
    return text.GetPenX();
  }
  // A click seen by the typing at t.
  void ClickAt(uint32_t t) {
    services.Button(true);
    At(t);
    services.Button(false);
  }
  TextTypingTask& Task() { return *text.GetTask(); }

  host::VirtualClock clock{0};
  ScopedGlobal<host::ClockSource> publishedClock{&clock};
  MessageTextEngine engine;
  TimerService timers;
  FakeEnvironment env;
  FakeWindowState window;
  ScriptText text{&engine, &timers};
};

TEST_F(ScriptTextTest, CharactersComeAtTheReadersSpeed) {
  Message(Cp932Literal("あいうえ"));
  ASSERT_EQ(text.StartDisplay(0), kWidgetDone);
  EXPECT_EQ(text.GetKind(), kKindScriptText);
  EXPECT_EQ(Task().GetDelay(), 30);
  EXPECT_EQ(window.flag, 0) << "unread text with unread skipping off";
  EXPECT_EQ(At(100), 8 + 24);
  EXPECT_EQ(At(129), 8 + 24);
  EXPECT_EQ(At(130), 8 + 48);
  EXPECT_EQ(At(159), 8 + 48) << "the third character no earlier than 60 ms after the first";
  EXPECT_EQ(At(160), 8 + 72);
}

TEST_F(ScriptTextTest, AWaitHoldsTheTypingUntilAnAdvanceAndTheEndFinishes) {
  Message("ab$cd");
  env.speeds.unreadNoWait = 1;
  ASSERT_EQ(text.StartDisplay(0), kWidgetDone);
  At(10);
  At(100);
  EXPECT_EQ(Task().GetState(), kTypingWaiting);
  EXPECT_EQ(text.GetPenX(), 8 + 24) << "no advance yet";
  ClickAt(200);
  EXPECT_EQ(text.GetPenX(), 8 + 48);
  EXPECT_EQ(Task().GetState(), kTypingFinished);
  EXPECT_EQ(Task().GetSelfPauses(), 1u);
}

TEST_F(ScriptTextTest, StepDisplayPassesAMiddleWaitAndStopsAtTheEnd) {
  Message("ab$cd$");
  ASSERT_EQ(text.StartDisplay(0), kWidgetDone);
  EXPECT_EQ(text.StepDisplay(1), kWidgetDone);
  EXPECT_EQ(text.GetPenX(), 8 + 48);
  EXPECT_EQ(Task().GetLastKind(), MessageTextEngine::kWaitAtEnd);
  EXPECT_EQ(text.StepDisplay(3), kWidgetDone);
  EXPECT_EQ(Task().GetState(), kTypingRunning);
  EXPECT_EQ(text.StepDisplay(9), kStepUnknown);
  Message("ab$cd");
  text.StepDisplay(1);
  EXPECT_EQ(Task().GetState(), kTypingFinished);
}

TEST_F(ScriptTextTest, ALineBreakOnAFullPageSkipsTheSectionAndWaits) {
  // Three lines fit: the third '\' finds no room.
  Message("a\\b\\c\\d&e");
  ASSERT_EQ(text.StartDisplay(0), kWidgetDone);
  text.StepDisplay(0);
  EXPECT_EQ(Task().GetState(), kTypingWaiting);
  EXPECT_EQ(engine.Cursor(), std::string("a\\b\\c\\d&").size()) << "past the section's end";
  EXPECT_EQ(text.GetPenY(), 8 + 2 * text.GetLinePitch());
}

TEST_F(ScriptTextTest, ASizeTagIsUndoneAtTheEnd) {
  Message("a<4>b<4>c");
  ASSERT_EQ(text.StartDisplayAll(), kWidgetDone);
  EXPECT_EQ(Task().GetState(), kTypingFinished);
  EXPECT_EQ(text.FontSize(), 24);
  // The tags added up while the text was typed: c was 32 high, advancing 16.
  EXPECT_EQ(text.GetPenX(), 8 + 12 + 14 + 16);
}

TEST_F(ScriptTextTest, TheSpeakerGoesToTheNameBoxAndALongSecondPartIsCut) {
  MessageTextWidget box;
  ASSERT_EQ(box.Create(&list, 11, 200, 40, 0, 0, &main, nullptr, 0), kWidgetDone);
  text.SetNameBox(&box, 2);
  Message("#" + Cp932Literal("語り手") + "\\abcdefghijklmnop$x");  // second part of 16 + NUL
  EXPECT_EQ(text.StartDisplay(0), kTypingNameTooLong);
  EXPECT_EQ(text.GetSecondName(), "abcdefghijklmno");
  EXPECT_TRUE(text.HasName() && box.IsVisible());
  EXPECT_EQ(box.GetPenX(), 8 + 72) << "drawn at the box's start";
  Message("#" + Cp932Literal("語り手") + "\\abc$x");
  EXPECT_EQ(text.StartDisplay(0), kWidgetDone);
  EXPECT_EQ(text.GetSecondName(), "abc");
  Message("x");
  EXPECT_EQ(text.StartDisplay(0), kWidgetDone);
  EXPECT_FALSE(box.IsVisible() || text.HasName());
}

}  // namespace
}  // namespace bw::test
