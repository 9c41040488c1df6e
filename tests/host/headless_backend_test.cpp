#include "host/headless/headless_backend.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "host/drop_files.h"
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
    if (IsWindow(window_)) DestroyWindow(window_);
    Drain();
  }

  static std::vector<MSG> Drain() { return test::TakeMessages(); }

  HeadlessBackend backend_;
  ScopedBackend use_;
  HWND window_;
};

using enum InputEventKind;

TEST_F(Headless, ScriptedKeysBecomeKeyMessagesWithTheRepeatAndTransitionBits) {
  ASSERT_TRUE(window_);
  backend_.QueueEvent({.kind = kKeyDown, .virtualKey = 'Z', .scanCode = 0x2C});
  backend_.QueueEvent({.kind = kKeyDown, .virtualKey = 'Z', .scanCode = 0x2C, .repeat = true});
  backend_.QueueEvent({.kind = kKeyUp, .virtualKey = 'Z', .scanCode = 0x2C});
  backend_.QueueEvent({.kind = kKeyDown, .virtualKey = 0x26, .scanCode = 0x48, .extended = true});
  backend_.QueueEvent({.kind = kKeyDown, .virtualKey = 'X', .scanCode = 0x2D, .altDown = true});
  backend_.QueueEvent({.kind = kKeyUp, .virtualKey = VK_F10, .scanCode = 0x44});

  std::vector<MSG> got = Drain();
  ASSERT_EQ(got.size(), 6u);
  EXPECT_EQ(got[0].hwnd, window_);
  EXPECT_EQ(static_cast<uint32_t>(got[0].lParam), 0x002C0001u) << "one press, scan code, no repeat";
  EXPECT_EQ(static_cast<uint32_t>(got[1].lParam), 0x402C0001u) << "repeat sets bit 30";
  EXPECT_EQ(got[2].message, WM_KEYUP);
  EXPECT_EQ(static_cast<uint32_t>(got[2].lParam), 0xC02C0001u) << "release sets bits 30 and 31";
  EXPECT_EQ(static_cast<uint32_t>(got[3].lParam), 0x01480001u) << "extended key sets bit 24";
  EXPECT_EQ(got[4].message, WM_SYSKEYDOWN) << "an Alt chord is a system key";
  EXPECT_EQ(static_cast<uint32_t>(got[4].lParam) & (1u << 29), 1u << 29);
  EXPECT_EQ(got[5].message, WM_SYSKEYUP) << "F10 is a system key";
}

TEST_F(Headless, ScriptedMouseTextActivationCloseAndQuitBecomeMessages) {
  backend_.QueueEvent({.kind = kMouseMove, .x = 320, .y = -5});
  backend_.QueueEvent({.kind = kMouseButtonDown, .x = 1, .y = 2, .keyState = MK_RBUTTON,
                       .button = MouseButton::kRight});
  backend_.QueueEvent({.kind = kMouseWheel, .wheelNotches = -2});
  backend_.QueueEvent({.kind = kText, .text = "a\x82\xa0"});
  backend_.QueueEvent({.kind = kActivate, .active = false});
  backend_.QueueEvent({.kind = kClose});
  backend_.QueueEvent({.kind = kQuit});

  std::vector<MSG> got = Drain();
  std::vector<uint32_t> numbers;
  for (const MSG& m : got) numbers.push_back(m.message);
  EXPECT_EQ(numbers, (std::vector<uint32_t>{WM_MOUSEMOVE, WM_RBUTTONDOWN, WM_MOUSEWHEEL, WM_CHAR, WM_CHAR,
                                            WM_CHAR, WM_ACTIVATEAPP, WM_ACTIVATE, WM_CLOSE, WM_QUIT}));
  ASSERT_EQ(got.size(), 10u);
  EXPECT_EQ(GetXParam(got[0].lParam), 320);
  EXPECT_EQ(GetYParam(got[0].lParam), -5) << "coordinates are signed 16-bit halves";
  EXPECT_EQ(static_cast<int16_t>(HiWord(got[2].wParam)), -240) << "120 per notch";
  EXPECT_EQ(got[4].wParam, 0x82u) << "CP932 bytes arrive one by one";
  EXPECT_EQ(got[5].wParam, 0xA0u);
  EXPECT_EQ(got[7].wParam, WPARAM{WA_INACTIVE});
}

TEST_F(Headless, DroppedFilesArriveBehindADropHandle) {
  backend_.QueueEvent({.kind = kDropFiles, .files = {"/tmp/a.txt", "/tmp/b c.png"}});
  std::vector<MSG> got = Drain();
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(got[0].message, WM_DROPFILES);
  HDROP handle = got[0].wParam;
  EXPECT_EQ(DragQueryFileCount(handle), 2u);
  EXPECT_EQ(DragQueryFile(handle, 1), "/tmp/b c.png");
  DragFinish(handle);
  EXPECT_EQ(DragQueryFileCount(handle), 0u);
  EXPECT_EQ(DragQueryFile(handle, 0), std::nullopt);
}

TEST_F(Headless, MessagesCarryTheVirtualTimeTheyWerePosted) {
  backend_.Clock().AdvanceMilliseconds(250);
  PostMessage(window_, WM_USER, 0, 0);
  std::vector<MSG> got = Drain();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].time, 5250u);
}

TEST_F(Headless, WindowOperationsReachTheBackendOnlyForItsWindows) {
  EXPECT_TRUE(SetWindowText(window_, "New"));
  EXPECT_TRUE(SetClientSize(window_, 800, 600));
  EXPECT_TRUE(MoveWindow(window_, 10, 20));
  EXPECT_TRUE(ShowWindow(window_, false));
  const HeadlessBackend::WindowState* state = backend_.Window(window_);
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->desc.title, "New");
  EXPECT_FALSE(state->desc.visible);
  Rect placed;
  ASSERT_TRUE(GetWindowRect(window_, &placed));
  EXPECT_EQ(placed, (Rect{10, 20, 810, 620}));

  backend_.SetDesktop(DesktopInfo{1920, 1080, 32, {}});
  EXPECT_TRUE(SetFullScreen(window_, true));
  ASSERT_TRUE(GetWindowRect(window_, &placed));
  EXPECT_EQ(placed, (Rect{0, 0, 1920, 1080})) << "full screen fills the desktop";

  HWND messageOnly = CreateWindow(WindowDesc{});
  EXPECT_FALSE(SetWindowText(messageOnly, "x")) << "a message-only window has nothing to show";
  EXPECT_EQ(GetPresentationSink(messageOnly), nullptr);
  DestroyWindow(messageOnly);

  HWND closed = window_;
  DestroyWindow(window_);
  EXPECT_EQ(backend_.Window(closed), nullptr) << "destroying closes the native window";
}

TEST_F(Headless, MessageBoxesAnswerFromTheScriptAndAreRecorded) {
  backend_.QueueMessageBoxAnswer(IDNO);
  EXPECT_EQ(MessageBox(window_, "Quit?", "Game", MB_YESNO | MB_ICONQUESTION), IDNO);
  EXPECT_EQ(MessageBox(window_, "Again?", "Game", MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL)
      << "an empty script answers the default button";
  backend_.QueueMessageBoxAnswer(IDYES);
  EXPECT_EQ(MessageBox(window_, "Fine", "Game", MB_OKCANCEL), IDOK)
      << "an answer the box has no button for becomes its default";
  std::vector<MessageBoxRequest> boxes = backend_.MessageBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].text, "Quit?");
  EXPECT_EQ(boxes[0].owner, window_);
}

TEST(MessageBoxWithoutBackend, AnswersTheDefaultAndWritesUtf8ToStandardError) {
  ASSERT_EQ(CurrentBackend(), nullptr);
  EXPECT_EQ(MessageBox(HWND{}, "t", "x", MB_YESNO | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(MessageBox(HWND{}, "t", "x", MB_OKCANCEL | MB_DEFBUTTON3), IDOK) << "no third button";
  testing::internal::CaptureStderr();
  // A katakana title, and a text whose trail byte is 0x5C: both arrive as UTF-8.
  EXPECT_EQ(MessageBox(HWND{}, "\x95\x5C", "\x83\x5E\x83\x43\x83\x67\x83\x8B", MB_OK), IDOK);
  std::string written = testing::internal::GetCapturedStderr();
  EXPECT_NE(written.find("\xE3\x82\xBF\xE3\x82\xA4\xE3\x83\x88\xE3\x83\xAB"), std::string::npos)
      << written;
  EXPECT_NE(written.find("\xE8\xA1\xA8"), std::string::npos)
      << "the text, 0x955C, in UTF-8: " << written;
}

std::vector<uint8_t> Pattern(int32_t width, int32_t height, int32_t pitch, uint8_t seed) {
  std::vector<uint8_t> pixels(static_cast<size_t>(pitch) * height, 0xEE);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width * 4; ++x) {
      pixels[size_t(y * pitch + x)] = uint8_t(seed + x + 7 * y);
    }
  }
  return pixels;
}

TEST_F(Headless, SinkKeepsTheFrameRowsWithoutPaddingAndHashesIt) {
  auto* sink = static_cast<HeadlessSink*>(GetPresentationSink(window_));
  ASSERT_NE(sink, nullptr);
  std::vector<uint8_t> padded = Pattern(3, 2, 16, 1);
  ASSERT_TRUE(sink->Present(padded.data(), 3, 2, 16, ScaleFilter::kLinear));
  std::vector<uint8_t> tight = Pattern(3, 2, 12, 1);
  EXPECT_EQ(sink->LastFrame().bgra, tight) << "row padding is not part of the frame";
  EXPECT_EQ(sink->LastFrame().filter, ScaleFilter::kLinear);
  EXPECT_EQ(sink->FrameHash(), Fnv1a64(tight.data(), tight.size()));
  const uint8_t a[] = {'a'};
  EXPECT_EQ(Fnv1a64(nullptr, 0), 0xcbf29ce484222325ull);
  EXPECT_EQ(Fnv1a64(a, 1), 0xaf63dc4c8601ec8cull);

  uint64_t before = sink->FrameHash();
  tight[5] ^= 1;
  ASSERT_TRUE(sink->Present(tight.data(), 3, 2, 12, ScaleFilter::kNearest));
  EXPECT_NE(sink->FrameHash(), before) << "one changed bit changes the hash";
  EXPECT_FALSE(sink->Present(tight.data(), 3, 2, 8, ScaleFilter::kNearest)) << "pitch below a row";
  EXPECT_FALSE(sink->Present(tight.data(), 0, 2, 12, ScaleFilter::kNearest));
  EXPECT_FALSE(sink->Present(nullptr, 3, 2, 12, ScaleFilter::kNearest));
  EXPECT_EQ(sink->FramesShown(), 2u);
}

// Named for the thread-sanitizer run.
class HeadlessThread : public Headless {};

TEST_F(HeadlessThread, FrameHandedOverByAnotherThreadShowsAtTheNextPump) {
  auto* sink = static_cast<HeadlessSink*>(GetPresentationSink(window_));
  ASSERT_NE(sink, nullptr);
  std::vector<uint8_t> first = Pattern(4, 4, 16, 3);
  std::vector<uint8_t> second = Pattern(4, 4, 16, 9);
  std::thread frameThread([&] {
    sink->HandOver(first.data(), 4, 4, 16, ScaleFilter::kNearest);
    sink->HandOver(second.data(), 4, 4, 16, ScaleFilter::kNearest);
  });
  frameThread.join();
  EXPECT_EQ(sink->FramesShown(), 0u) << "nothing is shown off the window thread";
  MSG msg;
  PeekMessage(&msg, HWND{}, 0, 0, PM_NOREMOVE);
  EXPECT_EQ(sink->FramesShown(), 1u) << "a frame not yet shown is replaced";
  EXPECT_EQ(sink->LastFrame().bgra, second);
}

TEST_F(Headless, ClosesAfterTheAskedFramesOnceTheObserverSawEach) {
  backend_.CloseAfterFrames(2);
  std::vector<uint64_t> hashes;
  backend_.SetFrameObserver([&](HWND window, const HeadlessSink& sink) {
    hashes.push_back(sink.FrameHash());
    PostMessage(window, WM_USER, sink.FramesShown(), 0);
  });
  auto* sink = GetPresentationSink(window_);
  std::vector<uint8_t> black(16, 0), white(16, 0xFF);
  sink->Present(black.data(), 2, 2, 8, ScaleFilter::kNearest);
  sink->Present(white.data(), 2, 2, 8, ScaleFilter::kNearest);
  std::vector<MSG> got = Drain();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].wParam, 1u);
  EXPECT_EQ(got[1].wParam, 2u);
  EXPECT_EQ(got[2].message, WM_CLOSE) << "what the observer posts comes first";
  EXPECT_EQ(hashes, (std::vector<uint64_t>{Fnv1a64(black.data(), 16), Fnv1a64(white.data(), 16)}));
}

TEST_F(HeadlessThread, AnotherThreadsSendReachesTheEventThreadWaitingInGetMessage) {
  LRESULT answer = -1;
  std::thread sender([&] {
    answer = SendMessage(window_, WM_APP_MESSAGE_BOX, 1, 2);
    PostMessage(window_, WM_CLOSE, 0, 0);
  });
  MSG msg;
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

}  // namespace
}  // namespace bw::host
