// The controls' world for tests: message-fed devices that tests press, a binding table with the
// four navigation actions and decide, a clock tests set, and a script arena for the words.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/pixel_library.h"
#include "gui/gui_services.h"
#include "gui/pointer_tip.h"
#include "gui/ui_control.h"
#include "host/messages.h"
#include "input/input_binding_table.h"
#include "input/input_manager.h"
#include "script/guest_memory.h"

namespace bw::test {

// Virtual keys and the keyboard codes they stand for.
struct GuiKey {
  uint32_t virtualKey;
  uint8_t code;
};
constexpr GuiKey kUp{0x26, 0xC8};
constexpr GuiKey kDown{0x28, 0xD0};
constexpr GuiKey kLeft{0x25, 0xCB};
constexpr GuiKey kRight{0x27, 0xCD};
constexpr GuiKey kReturn{0x0D, 0x1C};
constexpr GuiKey kTab{0x09, 0x0F};
constexpr GuiKey kShift{0x10, 0x36};

class FakeGuiServices : public GuiServices {
 public:
  FakeGuiServices() {
    EXPECT_EQ(input.CreateDevices(host::HWND{}, kDeviceTypeMessage, kDeviceTypeMessage), 0u);
    input.Activate();
    EXPECT_EQ(input.CreateBindingTable(8, &bindings), 0u);
    const GuiKey keys[] = {kUp, kDown, kLeft, kRight, kReturn};
    for (uint32_t action = 0; action < 5; ++action) {
      EXPECT_EQ(bindings->AddBinding(action, kDeviceKeyboard, keys[action].code), 0u);
    }
  }
  void GetPointerPosition(int32_t* px, int32_t* py) override {
    *px = x;
    *py = y;
  }
  void SetPointerPosition(int32_t px, int32_t py) override {
    warps.push_back({px, py});
    x = px;
    y = py;
  }
  void SetCursorVisible(bool) override {}
  Mouse* GetMouse() override { return input.GetMouse(); }
  KeyboardDevice* GetKeyboard() override { return input.Keyboard(); }
  InputBindingTable* GetInputBindings() override { return bindings; }
  uint8_t PollTextInput(TextInputTarget*) override { return 0; }
  bool SendTextInputMessage(uint32_t) override { return false; }
  int32_t GetCanvasWidth() override { return 640; }
  int32_t GetCanvasHeight() override { return 480; }
  uint32_t Now() override { return now; }
  GuestMemory* GetScriptMemory() override { return &memory; }

  // One frame of input: the key goes down (or up) and the devices are read.
  void Key(GuiKey key, bool down) {
    if (down) {
      input.OnKeyDown(key.virtualKey, 0);
    } else {
      input.OnKeyUp(key.virtualKey, 0);
    }
    input.Poll();
  }
  void Button(bool down) {
    input.OnMouseButton(down ? host::WM_LBUTTONDOWN : host::WM_LBUTTONUP);
    input.Poll();
  }

  InputManager input;
  InputBindingTable* bindings = nullptr;
  GuestMemory memory{1u << 20};
  int32_t x = -1;
  int32_t y = -1;
  uint32_t now = 1000;
  struct Warp {
    int32_t x, y;
  };
  std::vector<Warp> warps;
};

// A pointer tip that also keeps the sounds it was asked for.
class RecordingPointerTip : public PointerTip {
 public:
  int32_t PlaySound(const char* file, int32_t soundId, int32_t value1, int32_t value2) override {
    sounds.push_back(soundId);
    return PointerTip::PlaySound(file, soundId, value1, value2);
  }
  std::vector<int32_t> sounds;
};

// A rectangle that records what its manager told it.
class FakeControl : public UiControl {
 public:
  FakeControl(std::string name, int32_t x, int32_t y, int32_t w = 10, int32_t h = 10)
      : name_(std::move(name)), x_(x), y_(y), w_(w), h_(h) {}
  int GetKind() const override { return kKindHitArea; }
  int32_t GetX() const override { return x_; }
  int32_t GetY() const override { return y_; }
  int32_t GetWidth() const override { return w_; }
  int32_t GetHeight() const override { return h_; }
  int SetPosition(int32_t x, int32_t y) override {
    x_ = x;
    y_ = y;
    return 0;
  }
  void SetVisible(bool visible) override { visible_ = visible; }
  bool IsVisible() const override { return visible_; }
  int SetOrder(int32_t, int32_t, bool) override { return 0; }
  int32_t GetOrder() const override { return 0; }
  int SetAlpha(int) override { return 0; }
  int GetAlpha() const override { return 255; }
  bool HitTest(int32_t x, int32_t y) const override {
    return x >= x_ && y >= y_ && x < x_ + w_ && y < y_ + h_;
  }
  void OnFocusGot(UiControl* previous, bool forward) override {
    log.push_back(name_ + " got" + (previous == this ? " again" : "") + (forward ? "" : " back"));
  }
  void OnFocusLost(UiControl*) override { log.push_back(name_ + " lost"); }

  std::vector<std::string> log;

 private:
  std::string name_;
  int32_t x_, y_, w_, h_;
  bool visible_ = true;
};

class GuiTest : public testing::Test {
 protected:
  void SetUp() override {
    BuildBlendTables();
    tip.SetServices(&services);
  }
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  FakeGuiServices services;
  RecordingPointerTip tip;
};

}  // namespace bw::test
