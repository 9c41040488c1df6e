// SDL events turned into messages, on SDL's dummy video driver.
#include "host/sdl/sdl_backend.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "host/drop_files.h"
#include "host/message_box.h"
#include "host/message_queue.h"
#include "host/sdl/file_system_type.h"
#include "host/sdl_window_fixture.h"
#include "support/temp_dir.h"

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

TEST_F(SdlEvents, MouseMovesButtonsAndWheel) {
  const uint32_t id = backend_->SdlWindowId(window_);
  SDL_Event e;
  SDL_zero(e);
  e.motion = {.type = SDL_MOUSEMOTION, .windowID = id, .x = 100, .y = 50};
  Push(e);
  auto button = [&](uint32_t type, uint8_t which) {
    e.button = {.type = type, .windowID = id, .button = which, .x = 101, .y = 51};
    Push(e);
  };
  button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
  button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT);
  button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
  e.wheel = {.type = SDL_MOUSEWHEEL, .windowID = id, .y = 1};
  Push(e);
  e.wheel = {.type = SDL_MOUSEWHEEL, .windowID = id, .y = -3, .direction = SDL_MOUSEWHEEL_FLIPPED};
  Push(e);
  button(SDL_MOUSEBUTTONDOWN, 9);  // a button the engine has no message for

  std::vector<MSG> got = Drain();
  ASSERT_EQ(got.size(), 6u);
  std::vector<uint32_t> numbers;
  for (const MSG& m : got) numbers.push_back(m.message);
  EXPECT_EQ(numbers, (std::vector<uint32_t>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_RBUTTONDOWN,
                                            WM_LBUTTONUP, WM_MOUSEWHEEL, WM_MOUSEWHEEL}));
  EXPECT_EQ(GetYParam(got[0].lParam), 50);
  EXPECT_EQ(got[2].wParam & (MK_LBUTTON | MK_RBUTTON), MK_LBUTTON | MK_RBUTTON) << "both held";
  EXPECT_EQ(got[3].wParam & (MK_LBUTTON | MK_RBUTTON), MK_RBUTTON);
  EXPECT_EQ(static_cast<int16_t>(HiWord(got[4].wParam)), 120);
  EXPECT_EQ(GetXParam(got[4].lParam), 101) << "the wheel reports where the pointer is";
  EXPECT_EQ(static_cast<int16_t>(HiWord(got[5].wParam)), 360) << "a flipped wheel turns the other way";
}

TEST_F(SdlEvents, WindowTextDropAndQuitEvents) {
  const uint32_t id = backend_->SdlWindowId(window_);
  SDL_Event e;
  SDL_zero(e);
  for (uint8_t event :
       {SDL_WINDOWEVENT_FOCUS_GAINED, SDL_WINDOWEVENT_EXPOSED, SDL_WINDOWEVENT_CLOSE}) {
    e.window = {.type = SDL_WINDOWEVENT, .windowID = id, .event = event};
    Push(e);
  }
  SDL_zero(e);
  e.text = {.type = SDL_TEXTINPUT, .windowID = id};
  std::strcpy(e.text.text, "h\xC3\xA9!");
  Push(e);
  e.drop = {.type = SDL_DROPBEGIN, .windowID = id};
  Push(e);
  for (const char* file : {"/tmp/one", "/tmp/two"}) {
    e.drop = {.type = SDL_DROPFILE, .file = SDL_strdup(file), .windowID = id};
    Push(e);
  }
  e.drop = {.type = SDL_DROPCOMPLETE, .windowID = id};
  Push(e);
  e.type = SDL_QUIT;
  Push(e);

  std::vector<MSG> got = Drain();
  std::vector<uint32_t> numbers;
  for (const MSG& m : got) numbers.push_back(m.message);
  EXPECT_EQ(numbers, (std::vector<uint32_t>{WM_ACTIVATEAPP, WM_ACTIVATE, WM_CLOSE, WM_CHAR, WM_CHAR,
                                            WM_DROPFILES, WM_PAINT, WM_QUIT}))
      << "non-ASCII text is left to text entry; paint and quit come last";
  ASSERT_EQ(got.size(), 8u);
  EXPECT_EQ(got[0].wParam, 1u);
  EXPECT_EQ(got[3].wParam, WPARAM{'h'});
  EXPECT_EQ(got[4].wParam, WPARAM{'!'});
  HDROP drop = got[5].wParam;
  EXPECT_EQ(DragQueryFileCount(drop), 2u) << "one drop of both files";
  EXPECT_EQ(DragQueryFile(drop, 0), "/tmp/one");
  DragFinish(drop);
}

TEST_F(SdlEvents, WindowOperationsReachTheSdlWindow) {
  SDL_Window* sdlWindow = SDL_GetWindowFromID(backend_->SdlWindowId(window_));
  ASSERT_NE(sdlWindow, nullptr);
  EXPECT_STREQ(SDL_GetWindowTitle(sdlWindow), "Test \xE3\x83\x86") << "the title given at creation";
  ASSERT_TRUE(SetWindowText(window_, "\x83\x65\x83\x58\x83\x67 \x95\x5C"));
  EXPECT_STREQ(SDL_GetWindowTitle(sdlWindow), "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88 \xE8\xA1\xA8");

  ASSERT_TRUE(SetFullScreen(window_, true));
  constexpr uint32_t kDesktopMode = SDL_WINDOW_FULLSCREEN_DESKTOP;
  EXPECT_EQ(SDL_GetWindowFlags(sdlWindow) & kDesktopMode, kDesktopMode);
  ASSERT_TRUE(SetFullScreen(window_, false));
  EXPECT_EQ(SDL_GetWindowFlags(sdlWindow) & kDesktopMode, 0u);
  PresentationSink* sink = GetPresentationSink(window_);
  ASSERT_NE(sink, nullptr);
  std::vector<uint8_t> pixels(8 * 8 * 4, 0x80);
  EXPECT_TRUE(sink->Present(pixels.data(), 8, 8, 32, ScaleFilter::kLinear));
}

TEST_F(SdlEvents, MessageBoxWithoutADisplayAnswersItsDefault) {
  EXPECT_EQ(MessageBox(window_, "text", "title", MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING), IDNO);
}

class SdlEventsThread : public SdlEvents {};

std::thread::id gServedOn;

LRESULT AnswerSends(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_USER + 1) return DefWindowProc(hwnd, message, wParam, lParam);
  gServedOn = std::this_thread::get_id();
  return static_cast<LRESULT>(wParam + 1);
}

TEST_F(SdlEventsThread, ASendFromAnotherThreadIsServedWhileTheEventThreadWaits) {
  WindowDesc desc;
  desc.proc = AnswerSends;
  HWND target = CreateWindow(desc);
  ASSERT_TRUE(target);
  LRESULT answer = 0;
  std::thread sender([&] {
    answer = SendMessage(target, WM_USER + 1, 41, 0);
    PostMessage(window_, WM_USER, 0, 0);  // only after the send returned
  });
  MSG msg;
  ASSERT_EQ(GetMessage(&msg, HWND{}, WM_USER, WM_USER), 1);
  sender.join();
  EXPECT_EQ(answer, 42);
  EXPECT_EQ(gServedOn, std::this_thread::get_id()) << "the window's own thread runs its procedure";
  DestroyWindow(target);
}

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

TEST_F(SdlEventsThread, AFrameHandedOverByAnotherThreadIsShownByTheEventThreadsPump) {
  PresentationSink* sink = GetPresentationSink(window_);
  ASSERT_NE(sink, nullptr);
  std::thread producer([this, sink] {
    std::vector<uint8_t> pixels(16 * 8 * 4, 0x40);
    EXPECT_TRUE(sink->HandOver(pixels.data(), 16, 8, 16 * 4, ScaleFilter::kNearest));
    PostMessage(window_, WM_USER, 0, 0);
  });
  MSG msg;
  ASSERT_EQ(GetMessage(&msg, HWND{}, WM_USER, WM_USER), 1);
  producer.join();
  EXPECT_FALSE(sink->PresentPending()) << "the pump showed the frame before the post arrived";
}

TEST(FileSystemType, MissingFoldersHaveNone) {
  EXPECT_EQ(FileSystemTypeName(0x12345678), "unknown");
  EXPECT_EQ(FileSystemTypeOf("/no/such/folder/at/all"), "");
  EXPECT_EQ(FileSystemTypeOf(""), "");
  EXPECT_FALSE(FileSystemTypeOf(bw::test::TempDir().path().string()).empty());
}

}  // namespace
}  // namespace bw::host
