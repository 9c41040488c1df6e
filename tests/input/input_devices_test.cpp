// Label: threads
// Keyboards and mice over scripted platform input: what a frame reads as held and newly pressed.
#include <gtest/gtest.h>

#include "headless_input_fixture.h"
#include "input/input_manager.h"
#include "input/key_code_table.h"

namespace bw {
namespace {

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

// The message-fed devices, driven by the messages the window thread hands on.
class MessageDevices : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(manager_.CreateDevices(host::HWND{}, kDeviceTypeMessage, kDeviceTypeMessage), 0u);
  }
  InputManager manager_;
};

TEST_F(MessageDevices, ShortPressesAndClicksCountOnceInTheNextFrameAndNeverAsDown) {
  manager_.Activate();
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
}

TEST_F(MessageDevices, RepeatsHeldKeysAndSharedKeyMapping) {
  manager_.Activate();
  KeyboardDevice* keyboard = manager_.Keyboard();
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
  manager_.Activate();
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

}  // namespace
}  // namespace bw
