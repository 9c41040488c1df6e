// The ImGui dialog host on SDL's dummy driver: the modal loop, what ends it, sends served while
// it runs, and the room the menu bar takes.
#include "host/dialog/imgui_dialog_host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "host/cp932.h"
#include "host/message_queue.h"
#include "host/sdl_window_fixture.h"

namespace bw::host {
namespace {

constexpr uint32_t kPing = WM_USER + 7;

LRESULT PingProc(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
  if (message == kPing) return 1234;
  return DefWindowProc(hwnd, message, wParam, lParam);
}

// Down and up in separate frames: this ImGui reads a key's state once per frame.
void PushKey(uint32_t type, SDL_Scancode scancode) {
  SDL_Event e;
  SDL_zero(e);
  e.type = type;
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.scancode = scancode;
  e.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
  SDL_PushEvent(&e);
}

class ImGuiDialogHostTest : public SdlWindowFixture {
 protected:
  ImGuiDialogHostTest() : SdlWindowFixture(PingProc, "dialogs") {}
  void SetUp() override {
    SdlWindowFixture::SetUp();
    host_ = std::make_unique<ImGuiDialogHost>(backend_.get());
  }
  void TearDown() override {
    host_.reset();
    SdlWindowFixture::TearDown();
  }

  static Dialog TwoButtons() {
    Dialog dialog;
    dialog.templateId = 114;
    dialog.title = Utf8ToCp932Lenient("確認");
    dialog.texts = {{1012, Utf8ToCp932Lenient("よろしいですか？")}};
    dialog.buttons = {{1, Utf8ToCp932Lenient("はい")}, {2, Utf8ToCp932Lenient("いいえ")}};
    dialog.textWidth = 200;
    dialog.textHeight = 30;
    dialog.growToText = true;
    dialog.closeAnswer = 0;
    return dialog;
  }

  // A key pressed and released, then a few frames of the menu with the filter's messages pumped.
  void PressAndPump(SDL_Scancode key, HWND filter) {
    PushKey(SDL_KEYDOWN, key);
    PushKey(SDL_KEYUP, key);
    MSG msg;
    for (int i = 0; i < 3; ++i) {
      PeekMessage(&msg, filter, 0, 0, PM_REMOVE);
      host_->RefreshMenu();
    }
  }

  std::unique_ptr<ImGuiDialogHost> host_;
};

TEST_F(ImGuiDialogHostTest, EndsWithTheButtonAskedForAndKeepsTheEditText) {
  Dialog dialog = TwoButtons();
  dialog.edit = DialogEdit{1012, Utf8ToCp932Lenient("既定"), 8};
  int frames = 0;
  host_->SetFrameHook([&](int frame) {
    frames = frame + 1;
    if (frame == 3) host_->EndDialog(2);
  });
  EXPECT_EQ(host_->RunDialog(window_, dialog), 2);
  EXPECT_EQ(frames, 4);
  EXPECT_EQ(dialog.edit->text, Utf8ToCp932Lenient("既定"));

  // An id that is no button of the dialog closes it.
  host_->SetFrameHook([&](int) { host_->EndDialog(77); });
  EXPECT_EQ(host_->RunDialog(window_, dialog), 0);
}

// Ends a loop that the input did not end, so a failure cannot hang the run.
constexpr int kGiveUpFrame = 30;
constexpr int kGaveUp = 77;

TEST_F(ImGuiDialogHostTest, KeysAndTypedTextReachTheDialogNotTheGame) {
  Dialog dialog = TwoButtons();
  dialog.closeAnswer = 9;
  dialog.buttons.push_back({kGaveUp, "-"});
  host_->SetFrameHook([&](int frame) {
    if (frame == 3) PushKey(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE);
    if (frame == 5) PushKey(SDL_KEYUP, SDL_SCANCODE_ESCAPE);
    if (frame == kGiveUpFrame) host_->EndDialog(kGaveUp);
  });
  EXPECT_EQ(host_->RunDialog(window_, dialog), 9) << "Escape closes";

  // Typed text is held to the field's limit in CP932 bytes: two of three characters fit.
  dialog.edit = DialogEdit{1012, "", 4};
  host_->SetFrameHook([&](int frame) {
    if (frame == 3) {
      SDL_Event e;
      SDL_zero(e);
      e.type = SDL_TEXTINPUT;
      std::strcpy(e.text.text, "\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86");  // あいう
      SDL_PushEvent(&e);
    }
    if (frame == 6) host_->EndDialog(1);
  });
  EXPECT_EQ(host_->RunDialog(window_, dialog), 1);
  EXPECT_EQ(dialog.edit->text, Utf8ToCp932Lenient("あい"));
  for (const MSG& m : Drain()) {
    EXPECT_NE(m.message, WM_KEYDOWN) << "a key of the dialog reached the game";
    EXPECT_NE(m.message, WM_CHAR);
  }
}

TEST_F(ImGuiDialogHostTest, RefusesWhatItCannotShow) {
  Dialog dialog = TwoButtons();
  dialog.closeAnswer = 5;
  EXPECT_EQ(host_->RunDialog(HWND{}, dialog), 5) << "no window";
  int answer = 0;
  std::thread other([&] { answer = host_->RunDialog(window_, dialog); });
  other.join();
  EXPECT_EQ(answer, 5) << "only the window thread runs dialogs";
}

TEST_F(ImGuiDialogHostTest, ServesSendsWhileTheDialogRuns) {
  Dialog dialog = TwoButtons();
  std::atomic<LRESULT> reply{0};
  std::thread sender;
  host_->SetFrameHook([&](int frame) {
    if (frame == 0) sender = std::thread([&] { reply = SendMessage(window_, kPing, 0, 0); });
    if (reply.load() != 0) host_->EndDialog(1);
  });
  EXPECT_EQ(host_->RunDialog(window_, dialog), 1);
  sender.join();
  EXPECT_EQ(reply.load(), 1234);
}

TEST_F(ImGuiDialogHostTest, TheMenuBarGrowsTheWindowNotThePicture) {
  auto sdlHeight = [&] {
    int w = 0;
    int h = 0;
    SDL_GetWindowSize(backend_->SdlWindowOf(window_), &w, &h);
    return h;
  };
  Menu menu(window_, {{40001, Utf8ToCp932Lenient("設定(&C)"), false, true, false, {}}});
  host_->AttachMenu(window_, &menu);
  int32_t width = 0;
  int32_t height = 0;
  ASSERT_TRUE(GetClientSize(window_, &width, &height));
  EXPECT_EQ(height, 240);
  int32_t bar = backend_->SdlSinkOf(window_)->TopInset();
  EXPECT_GT(bar, 0);
  EXPECT_EQ(sdlHeight(), 240 + bar);
  // The window wrapper sets the canvas size: the bar stays on top of it.
  ASSERT_TRUE(SetClientSize(window_, 400, 300));
  EXPECT_EQ(sdlHeight(), 300 + bar);
  host_->AttachMenu(window_, nullptr);
  EXPECT_EQ(sdlHeight(), 300);
}

TEST_F(ImGuiDialogHostTest, F10OpensAndClosesTheMenu) {
  Menu menu(window_, {{0, "System", false, true, false, {{40004, "Version", false, true, false, {}}}}});
  host_->AttachMenu(window_, &menu);
  PressAndPump(SDL_SCANCODE_F10, HWND{});
  EXPECT_TRUE(host_->IsMenuOpen());
  PressAndPump(SDL_SCANCODE_F10, HWND{});
  EXPECT_FALSE(host_->IsMenuOpen()) << "the same key again closes it";
  host_->AttachMenu(window_, nullptr);
}

// The full-screen menu bar is a popup of the game window: its menu is drawn there, and the
// menu's opening and closing reach the popup as its menu loop.
TEST_F(ImGuiDialogHostTest, AMenuOfAnOwnedPopupShowsInItsOwnerAndReportsItsLoop) {
  WindowDesc desc;
  desc.proc = PingProc;
  desc.owner = window_;
  desc.nativeDesc = NativeWindowDesc{"menu", 320, 20, true};
  HWND popup = CreateWindow(desc);
  ASSERT_TRUE(popup);
  Menu menu(window_, {{0, "System", false, true, false, {{40004, "Version", false, true, false, {}}}}});
  host_->AttachMenu(popup, &menu);
  EXPECT_FALSE(host_->IsMenuOpen());
  host_->OpenMenu(window_);
  EXPECT_FALSE(host_->IsMenuOpen()) << "the menu belongs to the popup";
  host_->OpenMenu(popup);
  host_->RefreshMenu();
  EXPECT_TRUE(host_->IsMenuOpen());
  auto takeLoop = [&] {
    std::vector<uint32_t> loop;
    for (const MSG& m : test::TakeMessages(popup)) {
      if (m.message == WM_ENTERMENULOOP || m.message == WM_EXITMENULOOP) loop.push_back(m.message);
    }
    return loop;
  };
  EXPECT_EQ(takeLoop(), std::vector<uint32_t>{WM_ENTERMENULOOP});
  PressAndPump(SDL_SCANCODE_LALT, window_);
  EXPECT_FALSE(host_->IsMenuOpen());
  EXPECT_EQ(takeLoop(), std::vector<uint32_t>{WM_EXITMENULOOP});
  // The popup's end takes the menu along: nothing is drawn from it any more.
  host_->OpenMenu(popup);
  DestroyWindow(popup);
  host_->RefreshMenu();
  EXPECT_FALSE(host_->IsMenuOpen());
}

}  // namespace
}  // namespace bw::host
