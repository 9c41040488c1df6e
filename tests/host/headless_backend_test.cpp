// Label: threads
#include "host/headless/headless_backend.h"
#include "host/headless/headless_input_script.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <tuple>
#include <vector>

#include "common/global.h"
#include "host/input/cursor.h"
#include "host/input/joystick.h"
#include "host/message_box.h"
#include "host/message_queue.h"
#include "host/take_messages.h"

// Scripted events name only the fields they set; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace bw::host {
namespace {

std::vector<MSG> g_messages;

LRESULT KeepingProc(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
  g_messages.push_back(MSG{hwnd, message, wParam, lParam, 0});
  return DefWindowProc(hwnd, message, wParam, lParam);
}

class Headless : public testing::Test {
 protected:
  Headless()
      : backend_(5000),
        use_(&backend_),
        window_(CreateWindow(
            {.proc = KeepingProc, .native = true, .nativeDesc = {"Title", 640, 480, true}})) {
    g_messages.clear();
  }
  ~Headless() override {
    if (IsWindow(window_)) {
      EXPECT_TRUE(DestroyWindow(window_));
    }
    Drain();
  }

  static std::vector<MSG> Drain() { return test::TakeMessages(); }

  HeadlessBackend backend_;
  ScopedGlobal<Backend> use_;
  HWND window_;
};

using enum InputEventKind;

// Typed text is the typed-text device's test, which reads it through these messages.
TEST_F(Headless, ScriptedMouseActivationCloseAndQuitBecomeMessages) {
  backend_.QueueEvent({.kind = kMouseMove, .x = 320, .y = -5});
  backend_.QueueEvent({.kind = kMouseButtonDown,
                       .x = 1,
                       .y = 2,
                       .keyState = MK_RBUTTON,
                       .button = MouseButton::kRight});
  backend_.QueueEvent({.kind = kMouseWheel, .wheelNotches = -2});
  backend_.QueueEvent({.kind = kActivate, .active = false});
  backend_.QueueEvent({.kind = kClose});
  backend_.QueueEvent({.kind = kQuit});

  std::vector<MSG> got = Drain();
  std::vector<uint32_t> numbers;
  for (const MSG& m : got) numbers.push_back(m.message);
  ASSERT_EQ(numbers, (std::vector<uint32_t>{WM_MOUSEMOVE, WM_RBUTTONDOWN, WM_MOUSEWHEEL,
                                            WM_ACTIVATEAPP, WM_ACTIVATE, WM_CLOSE, WM_QUIT}));
  EXPECT_EQ(GetXParam(got[0].lParam), 320);
  EXPECT_EQ(GetYParam(got[0].lParam), -5) << "coordinates are signed 16-bit halves";
  EXPECT_EQ(static_cast<int16_t>(HiWord(got[2].wParam)), -240) << "120 per notch";
  EXPECT_EQ(got[4].wParam, WPARAM{WA_INACTIVE});
}

// Without a backend no joystick is attached, and a box answers its default; its text on standard
// error is the refused start's, which the demo run checks in Japanese.
TEST(WithoutBackend, NoJoystickAndBoxesAnswerTheDefault) {
  ASSERT_EQ(CurrentBackend(), nullptr);
  EXPECT_EQ(JoystickCount(), 0);
  EXPECT_EQ(OpenJoystick(0), 0);
  JoystickReading reading;
  EXPECT_FALSE(ReadJoystick(1, &reading));
  EXPECT_EQ(MessageBox(HWND{}, "t", "x", MB_YESNO | MB_DEFBUTTON2), IDNO);
}

std::vector<uint8_t> Pattern(int32_t width, int32_t height, int32_t pitch, uint8_t seed) {
  std::vector<uint8_t> pixels(static_cast<size_t>(pitch) * height, 0xEE);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width * 4; ++x)
      pixels[size_t(y * pitch + x)] = uint8_t(seed + x + 7 * y);
  return pixels;
}

// Frames are kept as their rows without padding, whether copied or handed over in a shared block
// that is held, not copied, until a newer frame replaces it.
TEST_F(Headless, SinkKeepsTheFrameRowsWithoutPaddingAndHashesIt) {
  auto* sink = static_cast<HeadlessSink*>(GetPresentationSink(window_));
  ASSERT_NE(sink, nullptr);
  std::vector<uint8_t> padded = Pattern(3, 2, 16, 1);
  ASSERT_TRUE(sink->Present(padded.data(), 3, 2, 16, ScaleFilter::kLinear));
  std::vector<uint8_t> tight = Pattern(3, 2, 12, 1);
  EXPECT_EQ(sink->LastFrame().bgra, tight);
  EXPECT_EQ(sink->LastFrame().filter, ScaleFilter::kLinear);
  EXPECT_EQ(sink->FrameHash(), Fnv1a64(tight.data(), tight.size()));
  EXPECT_EQ(Fnv1a64(reinterpret_cast<const uint8_t*>("a"), 1), 0xaf63dc4c8601ec8cull);

  uint64_t before = sink->FrameHash();
  tight[5] ^= 1;
  ASSERT_TRUE(sink->Present(tight.data(), 3, 2, 12, ScaleFilter::kNearest));
  EXPECT_NE(sink->FrameHash(), before) << "one changed bit changes the hash";
  EXPECT_FALSE(sink->Present(tight.data(), 3, 2, 8, ScaleFilter::kNearest)) << "pitch below a row";
  EXPECT_FALSE(sink->Present(nullptr, 3, 2, 12, ScaleFilter::kNearest));
  EXPECT_EQ(sink->FramesShown(), 2u);

  padded = Pattern(3, 2, 16, 7);
  SharedPixels block = SharedPixels::Make(padded.size());
  ASSERT_TRUE(block);
  std::memcpy(block.Data(), padded.data(), padded.size());
  EXPECT_FALSE(sink->HandOver(block, 3, 3, 16, ScaleFilter::kNearest)) << "a row past the block";
  EXPECT_FALSE(sink->HandOver(SharedPixels{}, 3, 2, 16, ScaleFilter::kNearest)) << "no block";
  ASSERT_TRUE(sink->HandOver(block, 3, 2, 16, ScaleFilter::kLinear));
  EXPECT_FALSE(block.Sole()) << "the sink holds the block until it is shown and replaced";
  ASSERT_TRUE(sink->PresentPending());
  tight = Pattern(3, 2, 12, 7);
  EXPECT_EQ(sink->FrameHash(), Fnv1a64(tight.data(), tight.size()));
  EXPECT_EQ(sink->LastFrame().bgra, tight);
  ASSERT_TRUE(sink->Present(tight.data(), 3, 2, 12, ScaleFilter::kNearest));
  EXPECT_TRUE(block.Sole()) << "a newer frame lets the old block go";
}

TEST_F(Headless, AClosedWindowsSinkStaysValidAndShowsNothing) {
  backend_.CloseAfterFrames(1);
  auto* sink = static_cast<HeadlessSink*>(GetPresentationSink(window_));
  ASSERT_NE(sink, nullptr);
  std::vector<uint8_t> pixels = Pattern(2, 2, 8, 4);
  ASSERT_TRUE(sink->Present(pixels.data(), 2, 2, 8, ScaleFilter::kNearest));
  ASSERT_TRUE(DestroyWindow(window_));
  EXPECT_EQ(backend_.Window(window_), nullptr);

  // A surface that still holds the sink presents into it after the window went.
  EXPECT_TRUE(sink->Detached());
  EXPECT_TRUE(sink->Present(pixels.data(), 2, 2, 8, ScaleFilter::kNearest));
  EXPECT_TRUE(sink->HandOver(pixels.data(), 2, 2, 8, ScaleFilter::kNearest));
  sink->PresentPending();
  EXPECT_EQ(sink->FramesShown(), 1u) << "a detached sink shows nothing";
  EXPECT_TRUE(Drain().empty()) << "no close posted for a frame after the window went";
}

// Named for the thread-sanitizer run.
class HeadlessThread : public Headless {};

TEST_F(HeadlessThread, AnotherThreadsFrameShowsAtTheNextPumpAndItsSendReachesGetMessage) {
  auto* sink = static_cast<HeadlessSink*>(GetPresentationSink(window_));
  ASSERT_NE(sink, nullptr);
  std::vector<uint8_t> first = Pattern(4, 4, 16, 3);
  std::vector<uint8_t> second = Pattern(4, 4, 16, 9);
  std::thread frameThread([&] {
    EXPECT_TRUE(sink->HandOver(first.data(), 4, 4, 16, ScaleFilter::kNearest));
    EXPECT_TRUE(sink->HandOver(second.data(), 4, 4, 16, ScaleFilter::kNearest));
  });
  frameThread.join();
  EXPECT_EQ(sink->FramesShown(), 0u) << "nothing is shown off the window thread";
  MSG msg;
  (void)PeekMessage(&msg, HWND{}, 0, 0, PM_NOREMOVE);  // it pumps: what it finds does not matter
  EXPECT_EQ(sink->FramesShown(), 1u) << "a frame not yet shown is replaced";
  EXPECT_EQ(sink->LastFrame().bgra, second);

  // Another thread's send reaches the event thread waiting in GetMessage.
  g_messages.clear();
  LRESULT answer = -1;
  std::thread sender([&] {
    answer = SendMessage(window_, WM_APP_MESSAGE_BOX, 1, 2);
    EXPECT_TRUE(PostMessage(window_, WM_CLOSE, 0, 0));
  });
  while (GetMessage(&msg, HWND{}, 0, 0) > 0) {
    DispatchMessage(msg);
    if (!IsWindow(window_)) break;
  }
  sender.join();
  EXPECT_EQ(answer, 0);
  ASSERT_GE(g_messages.size(), 2u);
  EXPECT_EQ(g_messages[0].message, WM_APP_MESSAGE_BOX);
  EXPECT_EQ(g_messages[1].message, WM_CLOSE);
}

// What the headless backend stands in for besides windows: the cursor, the text-input switch and
// captured sound; its joysticks are read by the joystick device's tests.
class HeadlessServices : public testing::Test {
 protected:
  ~HeadlessServices() override {
    EXPECT_TRUE(SetCursorShape(0));
    SetKeyboardGrab(false);
  }
  HeadlessBackend backend_;
  ScopedGlobal<Backend> use_{&backend_};
};

TEST_F(HeadlessServices, CursorChangesReachTheBackendOnTheEventThread) {
  ASSERT_TRUE(SetCursorShape(3));
  EXPECT_EQ(backend_.AppliedCursor().shape, 3) << "the event thread applies at once";

  std::thread other([] {
    EXPECT_TRUE(SetCursorShape(7));
    SetKeyboardGrab(true);
  });
  other.join();
  EXPECT_EQ(backend_.AppliedCursor().shape, 3) << "another thread's change waits for the pump";
  test::TakeMessages();
  EXPECT_EQ(backend_.AppliedCursor(), (CursorState{7, true, true}));
}

using Kind = HeadlessInputStep::Kind;

TEST(HeadlessInput, ItemsBecomeStepsOrderedByFrame) {
  std::vector<HeadlessInputStep> steps;
  std::string error;
  ASSERT_TRUE(ParseHeadlessInput(
      "9:text:ab,3:click:40:50,3:wheel:-2,4:key:Return,5:down:right,6:convert:ぶりむ,7:compose:",
      &steps, &error))
      << error;
  // Frame and event of each step; the click's release comes a frame after its press.
  std::vector<uint32_t> frames;
  std::vector<InputEventKind> kinds;
  for (const HeadlessInputStep& s : steps) {
    frames.push_back(s.frame);
    kinds.push_back(s.kind == Kind::kEvent ? s.event.kind : kPaint);
  }
  ASSERT_EQ(frames, (std::vector<uint32_t>{3, 3, 3, 4, 4, 5, 5, 6, 7, 9}));
  EXPECT_EQ(kinds, (std::vector<InputEventKind>{kMouseMove, kMouseButtonDown, kMouseWheel,
                                                kMouseButtonUp, kKeyDown, kKeyUp, kMouseButtonDown,
                                                kPaint, kPaint, kPaint}));
  EXPECT_EQ(std::tuple(steps[9].kind, steps[4].event.virtualKey, steps[2].event.wheelNotches),
            std::tuple(Kind::kTypedText, 0x0D, -2));
  EXPECT_EQ(steps[6].event.x, 40) << "a button goes down where the pointer is";
  EXPECT_EQ(steps[6].event.button, MouseButton::kRight);
  EXPECT_EQ(steps[7].kind, Kind::kComposition);
}

// Keys go down and up with Alt while either Alt key is held, in the order of the frames, not of
// the items: Alt+Enter must reach the window as the screen mode's chord.
TEST(HeadlessInput, KeysWhileAnAltKeyIsHeldComeWithAlt) {
  std::vector<HeadlessInputStep> steps;
  std::string error;
  ASSERT_TRUE(ParseHeadlessInput(
      "9:keyup:Left Alt,5:keydown:Left Alt,6:key:Return,7:keydown:Right Alt,10:key:Return,"
      "12:keyup:Right Alt,13:key:Return",
      &steps, &error))
      << error;
  // Each key event as its frame, 'v' for down or '^' for up, and 'A' when it comes with Alt.
  std::string got;
  for (const HeadlessInputStep& s : steps) {
    got += std::to_string(s.frame) + (s.event.kind == InputEventKind::kKeyDown ? "v" : "^") +
           (s.event.altDown ? "A " : " ");
  }
  EXPECT_EQ(got, "5vA 6vA 7^A 7vA 9^A 10vA 11^A 12^ 13v 14^ ");
}

TEST(HeadlessInput, MalformedItemsAreRefusedWithTheirReason) {
  const struct {
    const char* text;
    const char* error;  // names the first bad item and why
  } cases[] = {
      {"0:move:1:2", "0:move:1:2: not a frame from 1 and an event"},
      {"3", "3: not a frame from 1 and an event"},
      {"3:move:1", "3:move:1: needs X:Y"},
      {"3:wheel:0", "3:wheel:0: needs a turn of 1 to 120 notches either way"},
      {"3:down:thumb", "3:down:thumb: names no button (left, right, middle)"},
      {"3:key:NoSuchKey", "3:key:NoSuchKey: names no key"},
      {"3:move:1:2,", ": not a frame from 1 and an event"},
  };
  for (const auto& c : cases) {
    std::vector<HeadlessInputStep> steps;
    std::string error;
    EXPECT_FALSE(ParseHeadlessInput(c.text, &steps, &error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

}  // namespace
}  // namespace bw::host
