// Label: threads
#include "host/sdl/sdl_backend.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

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
    SDL_Event e;
    SDL_zero(e);
    e.type = type;
    e.key.windowID = backend_->SdlWindowId(window_);
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.scancode = scancode;
    e.key.keysym.mod = mod;
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
    EXPECT_EQ(got[i].hwnd, window_);
    EXPECT_EQ(got[i].message, cases[i].message) << cases[i].name;
    EXPECT_EQ(got[i].wParam, cases[i].key) << cases[i].name;
    EXPECT_EQ(static_cast<uint32_t>(got[i].lParam), cases[i].lParam) << cases[i].name;
  }
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

class SdlEventsThread : public SdlEvents {};

TEST_F(SdlEventsThread, AnSdlEventPushedByAnotherThreadWakesGetMessage) {
  std::thread pusher([this] {
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_KEYDOWN;
    e.key.windowID = backend_->SdlWindowId(window_);
    e.key.state = SDL_PRESSED;
    e.key.keysym.scancode = SDL_SCANCODE_A;
    SDL_PushEvent(&e);
  });
  MSG msg;
  ASSERT_EQ(GetMessage(&msg, HWND{}, WM_KEYDOWN, WM_KEYDOWN), 1);
  pusher.join();
  EXPECT_EQ(msg.wParam, WPARAM{'A'});
}

}  // namespace
}  // namespace bw::host
