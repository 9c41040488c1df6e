// The text view that lays the scenario frame's messages out, and the script text that types them.
#include <algorithm>
#include <vector>

#include "common/global.h"
#include "gui/script_text.h"
#include "gui/text_typing_task.h"
#include "gui/text_view.h"
#include "host/clock.h"
#include "platform/timer_service.h"
#include "scenario/message/message_text_engine.h"
#include "text_widget_fixture.h"

namespace bw::test {
namespace {

constexpr uint32_t kCallBeginRuby = 1, kCallDrawRuby = 2, kCallNewLine = 3;

std::string Word(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[size_t(i)] = char(v >> (8 * i));
  return s;
}

// A call record with no arguments; size is its size field.
std::string Call(uint32_t number, uint32_t size = 12) {
  return std::string("\0[", 2) + Word(size) + Word(number) + Word(0);
}

// Runs the ruby calls on the view, and answers a code for every other number.
class FakeFrame : public TgsCallRunner {
 public:
  int RunCall(std::span<const uint8_t> record) override {
    const uint32_t number =
        record[6] | record[7] << 8 | record[8] << 16 | uint32_t(record[9]) << 24;
    numbers.push_back(number);
    if (number == kCallBeginRuby) return view->BeginRuby();
    if (number == kCallDrawRuby) return view->DrawRuby(ruby.c_str(), nullptr);
    if (number == kCallNewLine) return view->NewLine() ? 1 : 0;
    return failure;
  }
  int MessageState() const override { return 0; }
  TextView* view = nullptr;
  std::string ruby = "ab";
  int failure = 0;
  std::vector<uint32_t> numbers;
};

class TextViewTest : public TextWidgetRig {
 protected:
  void SetUp() override {
    TextWidgetRig::SetUp();
    // A frame of 17 x 17 cut into 8-pixel sides and a 1-pixel middle, so that any size fits.
    ASSERT_TRUE(view.SetFrameSlices(8, 8, 1, 1));
    ImageSurface frame;
    ASSERT_EQ(frame.Create(17, 17, 32, kImageDibSection), 0);
    (void)frame.Fill(0xFF203040, nullptr);
    ASSERT_EQ(view.SetBackgroundImages(&frame, nullptr, nullptr, false), kWidgetDone);
    ASSERT_EQ(view.Create(&list, 10, 640, 200, 0, 0, &main, &ruby, 0), kWidgetDone);
    fake.view = &view;
    view.SetFrame(&fake);
  }
  int Show(const std::string& text) {
    // A fitted window wraps the next text at its own width: start from a wide page.
    (void)view.Resize(640, 200, false);
    (void)view.SetMessage(text.data(), text.size());
    return view.ShowMessage(true);
  }
  // The frame is one colour: its corner is the background.
  int InkOnPage(const Rect& r) { return InkIn(view.Page(), r, view.Page().GetPixel(1, 1)); }
  FakeFrame fake;
  TextView view;
};

TEST_F(TextViewTest, AWrappedLineHangsUnderTheCharacterAfterAnOpeningBracket) {
  view.SetIndentChars(Cp932Literal("「").c_str());
  std::string text = Cp932Literal("「");
  for (int i = 0; i < 30; ++i) text += Cp932Literal("あ");
  ASSERT_EQ(Show(text), kWidgetDone);
  ASSERT_EQ(view.Lines().size(), 2u);
  EXPECT_EQ(view.Lines()[0].penX, 8);
  EXPECT_EQ(view.Lines()[1].penX, 8 + 24) << "under the character after the bracket";
  EXPECT_EQ(view.GetIndentValue(), 0) << "cleared after the layout";
  EXPECT_GT(InkOnPage({32, 48 + 12, 56, 48 + 36}), 300) << "second line drawn at its start";
  EXPECT_EQ(InkOnPage({8, 48 + 12, 32, 48 + 36}), 0);
}

TEST_F(TextViewTest, ALineBrokenByACallIsDrawnWhereItWasMeasured) {
  const std::string text = Cp932Literal("あい") + Call(kCallNewLine) + Cp932Literal("うえお");
  ASSERT_EQ(Show(text), kWidgetDone);
  ASSERT_EQ(view.Lines().size(), 2u);
  EXPECT_EQ(view.Lines()[1].offset, 4u);
  EXPECT_EQ(view.GetWidth(), 8 + 72 + 8) << "fitted to the longer line";
  EXPECT_GT(InkOnPage({8, 48 + 12, 80, 48 + 36}), 3 * 400) << "three characters below";
  EXPECT_EQ(InkOnPage({56, 8 + 12, 80, 8 + 36}), 0) << "two above";
}

TEST_F(TextViewTest, TheRevealTakesTheTimeOfItsCharactersAndAStopShowsEverything) {
  view.SetRevealTime(20);
  ASSERT_EQ(view.SetSoftEdge(24), kWidgetDone);
  const std::string text(30, 'a');
  ASSERT_EQ(Show(text), kWidgetDone);
  EXPECT_EQ(std::pair(view.GetRevealTotal(), view.GetRevealState()), std::pair(600u, kRevealStart));
  EXPECT_EQ(view.ShowMessage(false), kShowBusy);
  const Rect first{8, 8, 20, 44}, last{8 + 29 * 12, 8, 8 + 30 * 12, 44};
  EXPECT_EQ(InkOnPage(first), 0) << "drawn hidden";
  (void)view.OnTick(1000);
  (void)view.OnTick(1300);
  EXPECT_EQ(view.GetRevealState(), kRevealRunning);
  EXPECT_GT(InkOnPage(first), 100);
  EXPECT_EQ(InkOnPage(last), 0);
  (void)view.OnTick(1599);
  ASSERT_EQ(view.GetRevealState(), kRevealRunning);
  (void)view.OnTick(1600);
  EXPECT_EQ(view.GetRevealState(), kRevealIdle);
  const int whole = InkOnPage({8, 8, 8 + 30 * 12, 44});

  ASSERT_EQ(Show(text), kWidgetDone);
  (void)view.OnTick(5000);
  EXPECT_TRUE(view.StopReveal());
  EXPECT_EQ(view.GetRevealState(), kRevealIdle);
  EXPECT_EQ(InkOnPage({8, 8, 8 + 30 * 12, 44}), whole) << "the same page as a finished reveal";
  EXPECT_FALSE(view.StopReveal());
}

// Edged lines reach into their neighbours. Shorter, longer and indented lines each overlap the
// line before in another way; however the reveal's ticks fall, it must end as the page shown at
// once, and no inked pixel may lie outside the line boxes.
TEST_F(TextViewTest, AnEdgedRevealEndsAsTheTextShownAtOnce) {
  main.SetStyle(kTextEdge);
  view.SetIndentChars(Cp932Literal("「").c_str());
  const std::string nl = Call(kCallNewLine);
  const std::string text = Cp932Literal("「あい") + nl + Cp932Literal("あいう") + nl +
                           Cp932Literal("あ") + nl + Cp932Literal("あいうえ");
  for (const int radius : {2, 4}) {
    SCOPED_TRACE(radius);
    main.SetEdge(1024, radius);
    ASSERT_EQ(view.SetSoftEdge(-1), kWidgetDone);
    view.SetRevealTime(0);
    ASSERT_EQ(Show(text), kWidgetDone);
    const auto& lines = view.Lines();
    ASSERT_EQ(lines.size(), 4u);
    if (radius == 4) {
      ASSERT_LT(lines[1].box.top, lines[0].box.bottom) << "the lines overlap";
    }
    const ImageSurface& hidden = view.Hidden();
    int outside = 0;
    for (int32_t y = 0; y < hidden.GetHeight(); ++y)
      for (int32_t x = 0; x < hidden.GetWidth(); ++x) {
        const auto in = [&](const TextView::LineRecord& l) {
          return x >= l.box.left && x < l.box.right && y >= l.box.top && y < l.box.bottom;
        };
        outside +=
            (hidden.GetPixel(x, y) >> 24) != 0 && std::none_of(lines.begin(), lines.end(), in);
      }
    EXPECT_EQ(outside, 0);
    ImageSurface atOnce;
    (void)atOnce.CopyFrom(&view.Page(), kCopyToHeap);

    view.SetRevealTime(20);
    ASSERT_EQ(view.SetSoftEdge(24), kWidgetDone);
    for (const uint32_t step : {7u, 33u, 100u}) {
      ASSERT_EQ(Show(text), kWidgetDone);
      for (uint32_t t = 0; view.GetRevealState() != kRevealIdle; t += step) (void)view.OnTick(t);
      int differ = 0;
      for (int32_t y = 0; y < atOnce.GetHeight(); ++y)
        for (int32_t x = 0; x < atOnce.GetWidth(); ++x)
          differ += view.Page().GetPixel(x, y) != atOnce.GetPixel(x, y);
      EXPECT_EQ(differ, 0) << "ticks of " << step << " ms";
    }
  }
}

TEST_F(TextViewTest, RubyOfTwoOverFourLeavesThreeEqualGapsAndBrokenOrFailingCallsFailTheLayout) {
  const std::string text = Call(kCallBeginRuby) + Cp932Literal("漢字漢字") + Call(kCallDrawRuby);
  ASSERT_EQ(Show(text), kWidgetDone);
  EXPECT_EQ(fake.numbers, (std::vector<uint32_t>{1, 2, 1, 2})) << "run while measuring and drawing";
  // The span is 96 wide; "ab" is 12: gaps of 28 at 8 + 28 and 8 + 62, each glyph 6 wide.
  std::vector<int32_t> columns;
  for (int32_t x = 8; x < 8 + 96; ++x) {
    if (InkOnPage({x, 8, x + 1, 20})) columns.push_back(x);
  }
  ASSERT_FALSE(columns.empty());
  EXPECT_TRUE(columns.front() == 8 + 28 || columns.front() == 8 + 29) << columns.front();
  EXPECT_LE(columns.back(), 8 + 96 - 28);
  EXPECT_EQ(InkOnPage({8 + 35, 8, 8 + 62, 20}), 0) << "the middle gap";

  EXPECT_EQ(view.BeginRuby(), kRubyOutsideLayout);
  EXPECT_EQ(view.DrawRuby("ab", nullptr), kRubyOutsideLayout);
  fake.ruby = "";
  ASSERT_EQ(Show(Cp932Literal("漢") + Call(kCallDrawRuby)), kShowFailed)
      << "the call's refusal ends the layout";

  // Broken or failing calls fail the layout.
  const std::string shortRecord = Cp932Literal("あ") + Call(99, 3) + Cp932Literal("い");
  const std::string pastTheEnd = Cp932Literal("あ") + Call(99, 40);
  Rect r;
  for (const std::string& broken : {shortRecord, pastTheEnd}) {
    EXPECT_EQ(Show(broken), kShowFailed);
    EXPECT_EQ(view.MeasureText(broken, &r, false, false), kMeasureCallFailed);
    EXPECT_EQ(view.DrawTextAt(broken, 0, 0, true, false), kDrawAtCallFailed);
  }
  fake.failure = 7;
  EXPECT_EQ(Show(Cp932Literal("あ") + Call(99)), kShowFailed);
  EXPECT_EQ(view.MeasureText(Cp932Literal("あ") + Call(99), &r, true, false), kMeasureCallFailed);
  EXPECT_EQ(view.MeasureText(Cp932Literal("あ") + Call(99), &r, false, false), 1)
      << "stepped over when calls are not run";
  EXPECT_EQ(view.MeasureText(std::string_view(), &r, false, false), kMeasureNoText);
}

TEST_F(TextViewTest, TheWindowIsPlacedAtItsAnchorAndKeptInsideItsBoundsAndTheNameIsCut) {
  (void)view.SetMargins(10, 10, 10, 10, false);
  const std::string text = Cp932Literal("あいうえおかき") + "a";  // 180 wide
  view.SetPlacement(2, 600, 50, -1, 0, 0, 0);
  ASSERT_EQ(Show(text), kWidgetDone);
  EXPECT_EQ(std::tuple(view.GetWidth(), view.GetX(), view.GetY()), std::tuple(200, 400, 50));
  view.SetPlacement(2, 600, 50, 0, 0, 580, 480);
  ASSERT_EQ(Show(text), kWidgetDone);
  EXPECT_EQ(view.GetX(), 380);

  const std::string name = "a" + Cp932Literal("あいうえおかきく");  // 17 bytes
  view.SetName(name.c_str(), name.c_str());
  EXPECT_EQ(view.GetName(), "a" + Cp932Literal("あいうえおかき")) << "cut on a character boundary";
  (void)view.SetMessage(text.data(), text.size());
  EXPECT_TRUE(view.GetName().empty()) << "a new message frees the name";
}

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
  EXPECT_EQ(window.flag, 0) << "unread text with unread skipping off";
  EXPECT_EQ(At(100), 8 + 24);
  EXPECT_EQ(At(130), 8 + 48);
  EXPECT_EQ(At(159), 8 + 48) << "the third character no earlier than 60 ms after the first";
  EXPECT_EQ(At(160), 8 + 72);
}

TEST_F(ScriptTextTest, AWaitHoldsTheTypingUntilAnAdvanceOrAStepPassesIt) {
  Message("ab$cd");
  env.speeds.unreadNoWait = 1;
  ASSERT_EQ(text.StartDisplay(0), kWidgetDone);
  At(10);
  At(100);
  EXPECT_EQ(Task().GetState(), kTypingWaiting);
  EXPECT_EQ(text.GetPenX(), 8 + 24) << "no advance yet";
  services.Button(true);
  At(200);  // a click seen by the typing
  services.Button(false);
  EXPECT_EQ(text.GetPenX(), 8 + 48);
  EXPECT_EQ(Task().GetState(), kTypingFinished) << "the end finishes";

  // A step passes a middle wait and stops at the end.
  Message("ab$cd$");
  ASSERT_EQ(text.StartDisplay(0), kWidgetDone);
  EXPECT_EQ(text.StepDisplay(1), kWidgetDone);
  EXPECT_EQ(text.GetPenX(), 8 + 48);
  EXPECT_EQ(Task().GetLastKind(), MessageTextEngine::kWaitAtEnd);
  EXPECT_EQ(text.StepDisplay(3), kWidgetDone);
  EXPECT_EQ(Task().GetState(), kTypingRunning);
  EXPECT_EQ(text.StepDisplay(9), kStepUnknown);
  Message("ab$cd");
  (void)text.StepDisplay(1);
  EXPECT_EQ(Task().GetState(), kTypingFinished);
}

TEST_F(ScriptTextTest, ALineBreakOnAFullPageSkipsTheSectionAndWaits) {
  // Three lines fit: the third '\' finds no room.
  Message("a\\b\\c\\d&e");
  ASSERT_EQ(text.StartDisplay(0), kWidgetDone);
  (void)text.StepDisplay(0);
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
  Message("x");
  EXPECT_EQ(text.StartDisplay(0), kWidgetDone);
  EXPECT_FALSE(box.IsVisible() || text.HasName());
}

}  // namespace
}  // namespace bw::test
