// Label: threads
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/global.h"
#include "host/headless/headless_backend.h"
#include "host/input/key_state.h"
#include "host/input/text_input.h"
#include "host/message_queue.h"
#include "host/take_messages.h"
#include "input/engine_input.h"
#include "input/input_manager.h"
#include "support/recording_field.h"

namespace bw {
namespace {

// Keys as the virtual key and set-1 scan code the backends give them.
struct TestKey {
  uint8_t virtualKey;
  uint8_t scanCode;
};
constexpr TestKey kKeyZ{'Z', 0x2C};
constexpr TestKey kKeyRightShift{0x10, 0x36};
constexpr TestKey kKeyReturn{0x0D, 0x1C};

// Windows and scripted events name only the fields they set.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
// A native window on the headless backend: tests script the platform's input and read what the
// host made of it.
class HeadlessInputTest : public testing::Test {
 protected:
  void SetUp() override {
    window_ = host::CreateWindow(
        {.proc = host::DefWindowProc, .native = true, .nativeDesc = {"input", 320, 240, true}});
    ASSERT_TRUE(window_);
    Drain();
    host::ResetKeyState();
    host::ResetTextInput();
  }
  void TearDown() override {
    if (host::IsWindow(window_)) {
      EXPECT_TRUE(host::DestroyWindow(window_));
    }
    Drain();
    host::ResetKeyState();
  }

  // Pumps the backend and answers the messages it made.
  std::vector<host::MSG> Drain() { return host::test::TakeMessages(); }

  void Key(TestKey key, bool down) {
    backend_.QueueEvent(
        {.kind = down ? host::InputEventKind::kKeyDown : host::InputEventKind::kKeyUp,
         .virtualKey = key.virtualKey,
         .scanCode = key.scanCode});
  }
  void Button(host::MouseButton button, bool down, int32_t x = 10, int32_t y = 10) {
    backend_.QueueEvent({.kind = down ? host::InputEventKind::kMouseButtonDown
                                      : host::InputEventKind::kMouseButtonUp,
                         .x = x,
                         .y = y,
                         .button = button});
  }
  void Wheel(int32_t notches) {
    backend_.QueueEvent({.kind = host::InputEventKind::kMouseWheel, .wheelNotches = notches});
  }
  void Focus(bool active) {
    backend_.QueueEvent({.kind = host::InputEventKind::kActivate, .active = active});
  }

  host::HeadlessBackend backend_;
  ScopedGlobal<host::Backend> use_{&backend_};
  host::HWND window_;
};
#pragma GCC diagnostic pop

// Keyboards and mice over scripted platform input: what a frame reads as held and newly pressed.
constexpr int kCodeZ = 0x2C;
constexpr int kCodeEnter = 0x1C;
constexpr int kCodeNumpadEnter = 0x9C;
constexpr int kCodeLeftShift = 0x2A;
constexpr int kCodeRightShift = 0x36;
constexpr host::LPARAM kRepeat = host::LPARAM{1} << 30;

class PolledDevices : public HeadlessInputTest {
 protected:
  void SetUp() override {
    HeadlessInputTest::SetUp();
    ASSERT_EQ(manager_.CreateDevices(window_, kDeviceTypePolled, kDeviceTypePolled), 0u);
    manager_.Activate();
  }
  // One frame: the window thread's messages, then the poll.
  void Frame() {
    for (const host::MSG& msg : Drain()) {
      if (msg.message == host::WM_MOUSEWHEEL) manager_.OnMouseWheel(msg.wParam);
    }
    manager_.Poll();
  }
  InputManager manager_;
};

TEST_F(PolledDevices, HeldKeysPressOnceShareTheirCodesAndGoUpWithTheFocus) {
  KeyboardDevice* keyboard = manager_.Keyboard();
  Key(kKeyZ, true);
  Frame();
  EXPECT_TRUE(keyboard->IsKeyPressed(kCodeZ) && keyboard->IsKeyDown(kCodeZ));
  Frame();
  EXPECT_FALSE(keyboard->IsKeyPressed(kCodeZ)) << "the second frame";
  EXPECT_TRUE(keyboard->IsKeyDown(kCodeZ));
  Key(kKeyZ, false);
  Frame();
  EXPECT_FALSE(keyboard->IsKeyDown(kCodeZ));

  // One Shift or Enter key sets both codes of its virtual key.
  Key(kKeyRightShift, true);
  Key(kKeyReturn, true);
  Frame();
  for (int code : {kCodeLeftShift, kCodeRightShift, kCodeEnter, kCodeNumpadEnter})
    EXPECT_TRUE(keyboard->IsKeyDown(code)) << code;
  Focus(false);
  Frame();
  EXPECT_FALSE(keyboard->IsKeyDown(kCodeEnter)) << "losing the focus releases keys";
}

TEST_F(PolledDevices, PointerOutsideThePictureAnswersNothing) {
  Mouse* mouse = manager_.GetMouse();
  PointerPosition pointer{kPointerOutside, 5};
  mouse->SetPointerPosition(&pointer);
  Button(host::MouseButton::kLeft, true);
  Wheel(1);
  Frame();
  EXPECT_FALSE(mouse->IsButtonDown(kButtonLeft) || mouse->IsButtonPressed(kButtonLeft));
  EXPECT_EQ(std::pair(mouse->GetDownButton(), mouse->GetWheel()), std::pair(-1, 0));
  // Beside the picture (-2) is not outside.
  pointer = PointerPosition{kPointerBeside, 5};
  EXPECT_TRUE(mouse->IsButtonDown(kButtonLeft));
  mouse->SetPointerPosition(nullptr);
}

// Each host button reaches its own engine button, a held one is newly pressed only in its first
// frame, and each wheel direction answers as its own button.
TEST_F(PolledDevices, EachButtonAndWheelDirectionReadsAsItself) {
  Mouse* mouse = manager_.GetMouse();
  const struct {
    host::MouseButton host;
    int engine;
  } kButtons[] = {{host::MouseButton::kLeft, kButtonLeft},
                  {host::MouseButton::kRight, kButtonRight},
                  {host::MouseButton::kMiddle, kButtonMiddle}};
  for (const auto& b : kButtons) {
    Button(b.host, true);
    Frame();
    for (const auto& other : kButtons) {
      EXPECT_EQ(mouse->IsButtonDown(other.engine), other.engine == b.engine)
          << "host " << int(b.host) << " read as " << other.engine;
    }
    EXPECT_TRUE(mouse->IsButtonPressed(b.engine));
    Frame();
    EXPECT_TRUE(mouse->IsButtonDown(b.engine));
    EXPECT_FALSE(mouse->IsButtonPressed(b.engine)) << "held into a second frame";
    Button(b.host, false);
    Frame();
  }
  for (int notches : {1, -1}) {
    Wheel(notches);
    Frame();
    EXPECT_EQ(mouse->IsButtonDown(kButtonWheelUp), notches > 0) << notches;
    EXPECT_EQ(mouse->IsButtonDown(kButtonWheelDown), notches < 0) << notches;
    EXPECT_EQ(mouse->IsButtonPressed(kButtonWheelUp), notches > 0) << notches;
    Frame();
  }
}

// The message-fed devices, driven by the messages the window thread hands on.
class MessageDevices : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(manager_.CreateDevices(host::HWND{}, kDeviceTypeMessage, kDeviceTypeMessage), 0u);
    manager_.Activate();
  }
  InputManager manager_;
};

TEST_F(MessageDevices, ShortPressesCountOnceInTheNextFrameNeverAsDownAndHeldKeysRepeat) {
  KeyboardDevice* keyboard = manager_.Keyboard();
  EXPECT_TRUE(manager_.OnKeyDown('Z', 0));
  manager_.OnKeyUp('Z', 0);
  EXPECT_FALSE(keyboard->IsKeyPressed(kCodeZ)) << "not before the frame's poll";
  manager_.Poll();
  EXPECT_EQ(keyboard->GetPressedKey(), kCodeZ);
  EXPECT_FALSE(keyboard->IsKeyDown(kCodeZ));
  manager_.Poll();
  EXPECT_FALSE(keyboard->IsKeyPressed(kCodeZ));

  Mouse* mouse = manager_.GetMouse();
  EXPECT_TRUE(manager_.OnMouseButton(host::WM_LBUTTONDOWN));
  EXPECT_TRUE(manager_.OnMouseButton(host::WM_LBUTTONUP));
  manager_.Poll();
  EXPECT_EQ(mouse->GetPressedButton(), kButtonLeft);
  EXPECT_FALSE(mouse->IsButtonDown(kButtonLeft));
  manager_.Poll();
  EXPECT_FALSE(mouse->IsButtonPressed(kButtonLeft));
  manager_.OnMouseWheel(host::MakeLong(0, -host::WHEEL_DELTA));
  manager_.Poll();
  EXPECT_TRUE(mouse->IsButtonPressed(kButtonWheelDown));

  // Held keys repeat, and keys of one virtual key share its mapping.
  manager_.OnKeyDown(0x0D, 0);
  manager_.OnKeyDown(0x10, 0);
  manager_.Poll();
  EXPECT_TRUE(keyboard->IsKeyPressed(kCodeEnter)) << "Enter maps to the main Enter code";
  EXPECT_FALSE(keyboard->IsKeyPressed(kCodeNumpadEnter));
  EXPECT_TRUE(keyboard->IsKeyDown(kCodeLeftShift));
  EXPECT_FALSE(keyboard->IsKeyRepeated(kCodeEnter));
  manager_.OnKeyDown(0x0D, kRepeat);
  manager_.Poll();
  EXPECT_TRUE(keyboard->IsKeyRepeated(kCodeEnter));

  auto* message = static_cast<MessageKeyboard*>(keyboard);
  message->SetRepeatsEnabled(false);
  manager_.OnKeyDown(0x0D, kRepeat);
  manager_.Poll();
  EXPECT_FALSE(keyboard->IsKeyPressed(kCodeEnter)) << "with repeats off a repeat is no press";
}

// A click between two polls is a press in exactly one of the frames after it, whichever half of
// the double buffer it lands in.
TEST_F(MessageDevices, AShortClickIsPressedInOneFrameOnly) {
  Mouse* mouse = manager_.GetMouse();
  for (int framesBefore : {0, 1, 2, 3}) {
    for (int i = 0; i < framesBefore; ++i) manager_.Poll();
    manager_.OnMouseButton(host::WM_LBUTTONDOWN);
    manager_.OnMouseButton(host::WM_LBUTTONUP);
    std::string frames;
    for (int i = 0; i < 4; ++i) {
      manager_.Poll();
      frames += mouse->IsButtonPressed(kButtonLeft) ? 'P' : '-';
    }
    EXPECT_EQ(frames, "P---") << "after " << framesBefore << " frames";
  }
}

TEST_F(PolledDevices, DirectInputModeRunsPolledSoClicksAreSeen) {
  uint32_t mode = kInputModeDirectInput;
  ASSERT_EQ(manager_.SetUpDevices(kInputModeDirectInput, window_, false, &mode), 0u);
  EXPECT_EQ(mode, kInputModePolled);
  EXPECT_EQ(manager_.GetMouse()->GetKind(), kMouseWindows);
  manager_.Activate();
  Button(host::MouseButton::kLeft, true);
  Frame();  // no button message reaches the manager
  EXPECT_TRUE(manager_.GetMouse()->IsButtonPressed(kButtonLeft));

  ASSERT_EQ(manager_.SetUpDevices(kInputModeMessages, window_, false, &mode), 0u);
  EXPECT_EQ(std::tuple(mode, manager_.Keyboard()->GetKind(), manager_.GetMouse()->GetKind()),
            std::tuple(uint32_t{kInputModeMessages}, kKeyboardMessage, kMouseMessage));
}

// The window thread feeds keys while the frame thread polls; run under the thread sanitizer.
TEST_F(MessageDevices, FeedAndPollFromTwoThreads) {
  constexpr int kPresses = 2000;
  std::thread window([&] {
    for (int i = 0; i < kPresses; ++i) {
      manager_.OnKeyDown('Z', 0);
      manager_.OnMouseButton(host::WM_LBUTTONDOWN);
      manager_.OnKeyUp('Z', 0);
      manager_.OnMouseButton(host::WM_LBUTTONUP);
    }
  });
  int pressed = 0;
  for (int i = 0; i < kPresses; ++i) {
    manager_.Poll();
    pressed += manager_.Keyboard()->IsKeyPressed(kCodeZ) ? 1 : 0;
  }
  window.join();
  manager_.Poll();
  pressed += manager_.Keyboard()->IsKeyPressed(kCodeZ) ? 1 : 0;
  EXPECT_GE(pressed, 1);
  EXPECT_LE(pressed, kPresses);
  EXPECT_FALSE(manager_.Keyboard()->IsKeyDown(kCodeZ));
}

// Typed text on its way to a text field: the 32-byte buffer, whole characters, the input
// method's composition, and Japanese text from the platform arriving as CP932.
using test::RecordingField;

// Characters as the window thread hands them on, or the window thread's messages through the
// backend.
class TypedText : public HeadlessInputTest {
 protected:
  void SetUp() override {
    HeadlessInputTest::SetUp();
    input_.SetMainWindow(window_);
  }
  void Type(const std::string& bytes) {
    for (unsigned char b : bytes) input_.OnTextInputMessage(window_, host::WM_CHAR, b, 0);
  }
  void Deliver() {
    for (const host::MSG& msg : Drain()) {
      if (msg.hwnd == input_.AttachedWindow())
        input_.OnTextInputMessage(msg.hwnd, msg.message, msg.wParam, msg.lParam);
    }
  }
  EngineInput input_;
  RecordingField field_;
};

TEST_F(TypedText, EachRunIsHandedOverOnceHalfACharacterWaitsAndAFullBufferDropsTheRest) {
  Type("ab");
  EXPECT_EQ(input_.PollTextInput(&field_), 2);
  EXPECT_EQ(input_.PollTextInput(&field_), 0);
  Type("c");
  input_.PollTextInput(&field_);
  Type("\x82");
  input_.PollTextInput(&field_);
  EXPECT_EQ(field_.texts, (std::vector<std::string>{"ab", "c"}));
  Type("\xA0");
  input_.PollTextInput(&field_);
  EXPECT_EQ(field_.texts, (std::vector<std::string>{"ab", "c", "\x82\xA0"}));

  // A full buffer drops the excess and never ends in half a character.
  field_.texts.clear();
  Type(std::string(31, 'a') + "\x88");
  Type("\x9F");  // the 33rd byte: dropped, and the lead before it too
  input_.PollTextInput(&field_);
  ASSERT_EQ(field_.texts.size(), 1u);
  EXPECT_EQ(field_.texts[0], std::string(31, 'a'));
  Type(std::string(40, 'b'));
  input_.PollTextInput(&field_);
  EXPECT_EQ(field_.texts[1], std::string(32, 'b'));
}

TEST_F(TypedText, CompositionIsAnsweredOnlyWhenItChanges) {
  host::ResetTextInput();
  ImeContext& ime = input_.Ime();
  EXPECT_TRUE(ime.Attach(window_));
  host::SetComposition("\x82\xA9\x82\xC8");  // かな
  EXPECT_STREQ(ime.GetCompositionString(), "\x82\xA9\x82\xC8");
  EXPECT_EQ(ime.GetCompositionString(), nullptr);
  // Cut at 127 bytes on a character boundary.
  host::SetComposition(std::string(1, 'a') + std::string(200, '\x82'));
  const char* cut = ime.GetCompositionString();
  ASSERT_NE(cut, nullptr);
  EXPECT_EQ(std::strlen(cut), 127u);
  host::SetComposition("");
  EXPECT_EQ(ime.GetCompositionString(), nullptr);
  host::ResetTextInput();
}

TEST_F(TypedText, JapaneseArrivesAsCp932WithItsCompositionAndTheRestIsDropped) {
  input_.AttachTextInput(window_);
  Drain();
  input_.EnableIme(true);
  ASSERT_EQ(input_.Ime().SetOpenStatus(true), 0);

  // A composition longer than a 32-byte event text.
  std::string longReading;
  for (int i = 0; i < 20; ++i) longReading += "にほんご";
  backend_.QueueComposition(longReading.c_str());
  Deliver();
  const char* composition = input_.Ime().GetCompositionString();
  ASSERT_NE(composition, nullptr);
  EXPECT_EQ(std::string(composition, 8), "\x82\xC9\x82\xD9\x82\xF1\x82\xB2");
  EXPECT_TRUE(input_.Ime().IsOpen());

  backend_.QueueTypedText(
      "日\xF0\x9F\x98\x80本");  // an emoji, without a CP932 form, is dropped whole
  Deliver();
  EXPECT_EQ(input_.Ime().GetCompositionString(), nullptr) << "committing ends the composition";
  input_.PollTextInput(&field_);
  EXPECT_EQ(field_.texts, std::vector<std::string>{"\x93\xFA\x96\x7B"});
}

TEST_F(TypedText, AttachingClearsAndDestroyingDetaches) {
  input_.AttachTextInput(window_);
  Drain();
  backend_.QueueTypedText("q");
  Deliver();
  input_.OnTextInputMessage(window_, host::WM_KEYDOWN, 39, 0);
  input_.AttachTextInput(window_);
  EXPECT_EQ(input_.PollTextInput(&field_), 0) << "nothing survives a new attach";
  EXPECT_TRUE(input_.SendTextInputMessage(0));
  input_.OnTextInputMessage(window_, host::WM_DESTROY, 0, 0);
  EXPECT_FALSE(input_.AttachedWindow());
  EXPECT_FALSE(input_.SendTextInputMessage(1));
}

// The frame thread attaches while the window thread types: the send to the window thread must not
// be made while holding the lock that every character takes.
EngineInput* typingInput = nullptr;

host::LRESULT TypingWindow(host::HWND hwnd, uint32_t message, host::WPARAM wParam,
                           host::LPARAM lParam) {
  if (message == host::WM_APP_IME) {
    // A character arrives while the frame thread waits on this very send.
    typingInput->OnTextInputMessage(hwnd, host::WM_CHAR, 'k', 0);
    typingInput->EnableIme(wParam != 0);
    return 0;
  }
  return host::DefWindowProc(hwnd, message, wParam, lParam);
}

TEST(TextInputLock, AttachFromTheFrameThreadWhileTheWindowTypes) {
  EngineInput input;
  typingInput = &input;
  host::WindowDesc desc;
  desc.proc = TypingWindow;
  host::HWND window = host::CreateWindow(desc);
  ASSERT_TRUE(window);
  std::thread frame([&] {
    input.AttachTextInput(window);
    EXPECT_TRUE(host::PostMessage(window, host::WM_USER, 0, 0));
  });
  host::MSG msg;
  while (host::GetMessage(&msg, host::HWND{}, 0, 0) > 0 && msg.message != host::WM_USER) {
    host::DispatchMessage(msg);
  }
  frame.join();
  EXPECT_TRUE(input.IsImeEnabled());
  EXPECT_EQ(input.AttachedWindow(), window);
  EXPECT_TRUE(host::DestroyWindow(window));
  typingInput = nullptr;
}

}  // namespace
}  // namespace bw
