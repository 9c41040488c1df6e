// A native window on the headless backend: tests script the platform's input and read what the
// host made of it.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "common/global.h"
#include "host/headless/headless_backend.h"
#include "host/input/key_state.h"
#include "host/input/text_input.h"
#include "host/message_queue.h"
#include "host/take_messages.h"

namespace bw {

// Keys as the virtual key and set-1 scan code the backends give them (0x80: an extended key).
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
         .scanCode = uint8_t(key.scanCode & 0x7F),
         .extended = (key.scanCode & 0x80) != 0});
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

}  // namespace bw
