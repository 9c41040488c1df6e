// Label: threads
#include "host/sdl/sdl_backend.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <thread>
#include <tuple>
#include <vector>

#include "host/input/joystick.h"
#include "host/input/text_input.h"
#include "host/message_queue.h"
#include "host/sdl_window_fixture.h"

// Events name only the fields they set; the rest stay zero.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace bw::host {
namespace {

class SdlEvents : public SdlWindowFixture {
 protected:
  SdlEvents() : SdlWindowFixture(DefWindowProc, "Test \x83\x65") {}

  void Push(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError(); }

  SDL_Event KeyEvent(uint32_t type, SDL_Scancode scancode, bool repeat, uint16_t mod = 0) {
    SDL_Event e{.key = {.type = type,
                        .windowID = backend_->SdlWindowId(window_),
                        .state = uint8_t(type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED),
                        .repeat = uint8_t(repeat),
                        .keysym = {.scancode = scancode, .mod = mod}}};
    return e;
  }
};

TEST_F(SdlEvents, KeysCarryTheVirtualKeyScanCodeAndRepeatBit) {
  struct Case {
    uint32_t type;
    SDL_Scancode scancode;
    bool repeat;
    uint16_t mod;
    uint32_t message;
    WPARAM key;
    uint32_t lParam;
    const char* name;
  };
  const Case cases[] = {
      {SDL_KEYDOWN, SDL_SCANCODE_Z, false, 0, WM_KEYDOWN, 'Z', 0x002C0001u, "press"},
      {SDL_KEYDOWN, SDL_SCANCODE_Z, true, 0, WM_KEYDOWN, 'Z', 0x402C0001u, "repeat is bit 30"},
      {SDL_KEYUP, SDL_SCANCODE_Z, false, 0, WM_KEYUP, 'Z', 0xC02C0001u, "release"},
      {SDL_KEYDOWN, SDL_SCANCODE_UP, false, 0, WM_KEYDOWN, 0x26, 0x01480001u, "extended key"},
      {SDL_KEYDOWN, SDL_SCANCODE_RETURN, false, KMOD_LALT, WM_SYSKEYDOWN, 0x0D, 0x201C0001u,
       "Alt held"},
      {SDL_KEYDOWN, SDL_SCANCODE_SEMICOLON, false, 0, WM_KEYDOWN, 0xBB, 0x00270001u,
       "the key right of L on the Japanese layout"},
  };
  for (const Case& c : cases) Push(KeyEvent(c.type, c.scancode, c.repeat, c.mod));
  std::vector<MSG> got = Drain();
  ASSERT_EQ(got.size(), std::size(cases));
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(std::tuple(got[i].hwnd, got[i].message, got[i].wParam, uint32_t(got[i].lParam)),
              std::tuple(window_, cases[i].message, cases[i].key, cases[i].lParam))
        << cases[i].name;
  }
}

TEST_F(SdlEvents, TypedTextArrivesAsCp932AndEndsTheComposition) {
  ResetTextInput();
  const uint32_t id = backend_->SdlWindowId(window_);
  Push({.editExt = {.type = SDL_TEXTEDITING_EXT,
                    .windowID = id,
                    .text = SDL_strdup("\xE3\x81\xAB")}});  // に
  Drain();
  EXPECT_EQ(Composition(), "\x82\xC9");

  // 日, an emoji.
  Push({.text = {.type = SDL_TEXTINPUT, .windowID = id, .text = "\xE6\x97\xA5\xF0\x9F\x98\x80"}});
  std::vector<MSG> got = Drain();
  EXPECT_EQ(Composition(), "") << "committing ends the composition";
  ASSERT_EQ(got.size(), 2u) << "the emoji has no CP932 form and is dropped whole";
  EXPECT_EQ(std::tuple(got[0].wParam, got[1].wParam), std::tuple(0x93u, 0xFAu));
  ResetTextInput();
}

// SDL's signed axes on the engine's 0..65535 range, read through the backend's joysticks.
TEST_F(SdlEvents, JoystickAxesAreOffsetToTheEnginesRange) {
  // The dummy driver's window never has the focus, and SDL drops joystick input without it.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  JoystickSource& joysticks = backend_->Joysticks();
  ASSERT_EQ(joysticks.Count(), 0);  // starts SDL's joystick part
  int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 6, 0);
  ASSERT_GE(index, 0) << SDL_GetError();
  JoystickCaps caps;
  ASSERT_TRUE(joysticks.Caps(index, &caps));
  EXPECT_EQ(std::tuple(caps.buttonCount, caps.axisCount), std::tuple(6u, 2u));
  int32_t handle = joysticks.Open(index);
  ASSERT_GT(handle, 0);
  SDL_Joystick* stick = SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(index));
  ASSERT_NE(stick, nullptr);
  SDL_JoystickSetVirtualAxis(stick, 0, -32768);
  SDL_JoystickSetVirtualAxis(stick, 1, 32767);
  SDL_JoystickSetVirtualButton(stick, 5, SDL_PRESSED);
  SDL_JoystickUpdate();
  JoystickReading reading;
  ASSERT_TRUE(joysticks.Read(handle, &reading));
  EXPECT_EQ(std::tuple(reading.x, reading.y), std::tuple(kJoystickAxisMin, kJoystickAxisMax));
  EXPECT_EQ(reading.buttons, 1u << 5);
  SDL_JoystickDetachVirtual(index);
  EXPECT_FALSE(joysticks.Read(handle, &reading)) << "unplugged";
  joysticks.Close(handle);
  SDL_ResetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS);
}

// A user of a window hears of its end while the sink still lives; a surface that kept the sink
// afterwards presents into nothing instead of into freed SDL objects.
TEST_F(SdlEvents, AWindowsEndIsToldBeforeItsSinkGoes) {
  PresentationSink* kept = GetPresentationSink(window_);
  ASSERT_NE(kept, nullptr);
  HWND told;
  bool sinkAlive = false;
  backend_->SetWindowClosing([&](HWND hwnd) {
    told = hwnd;
    sinkAlive = backend_->SdlSinkOf(hwnd) != nullptr;
  });
  ASSERT_TRUE(DestroyWindow(window_));
  backend_->SetWindowClosing({});
  EXPECT_EQ(told, window_);
  EXPECT_TRUE(sinkAlive);
  std::vector<uint8_t> pixels(4 * 4 * 4, 0x80);
  EXPECT_TRUE(kept->Present(pixels.data(), 4, 4, 16, ScaleFilter::kNearest));
  EXPECT_TRUE(kept->HandOver(pixels.data(), 4, 4, 16, ScaleFilter::kNearest));
  EXPECT_TRUE(kept->PresentPending());
}

// The maximise box makes the window one its player may size (where the driver can): the
// platform's maximise is the window's system command, and a size dragged by the player springs
// back to the engine's.
TEST_F(SdlEvents, AMaximisableWindowMaximisesByCommandAndKeepsItsSize) {
  SDL_Window* window = backend_->SdlWindowOf(window_);
  ASSERT_TRUE(SetWindowMaximizable(window_, true));
  const uint32_t id = backend_->SdlWindowId(window_);
  Push(SDL_Event{
      .window = {.type = SDL_WINDOWEVENT, .windowID = id, .event = SDL_WINDOWEVENT_MAXIMIZED}});
  SDL_SetWindowSize(window, 400, 300);
  Push(SDL_Event{.window = {.type = SDL_WINDOWEVENT,
                            .windowID = id,
                            .event = SDL_WINDOWEVENT_RESIZED,
                            .data1 = 400,
                            .data2 = 300}});
  std::vector<MSG> commands;
  for (const MSG& msg : Drain()) {
    if (msg.message != WM_PAINT) commands.push_back(msg);
  }
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(std::tuple(commands[0].message, commands[0].wParam),
            std::tuple(WM_SYSCOMMAND, WPARAM{SC_MAXIMIZE}));
  int w = 0, h = 0;
  SDL_GetWindowSize(window, &w, &h);
  EXPECT_EQ(std::tuple(w, h), std::tuple(320, 240));
}

class SdlEventsThread : public SdlEvents {};

TEST_F(SdlEventsThread, AnSdlEventPushedByAnotherThreadWakesGetMessage) {
  std::thread pusher(
      [e = KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_A, false)]() mutable { SDL_PushEvent(&e); });
  MSG msg;
  ASSERT_EQ(GetMessage(&msg, HWND{}, WM_KEYDOWN, WM_KEYDOWN), 1);
  pusher.join();
  EXPECT_EQ(msg.wParam, WPARAM{'A'});
}

}  // namespace
}  // namespace bw::host
