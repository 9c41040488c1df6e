// Label: threads
#include "host/message_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "host/input_event.h"
#include "host/take_messages.h"
#include "support/spin_until.h"

// Window descriptions name only the fields they set.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace bw::host {
namespace {

constexpr uint32_t kPing = WM_USER + 1;
constexpr uint32_t kPong = WM_USER + 2;
constexpr uint32_t kOther = WM_USER + 3;
constexpr uint32_t kStop = WM_USER + 4;

// Records what reached the procedure, per thread.
thread_local std::vector<uint32_t> t_seen;

LRESULT RecordingProc(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
  t_seen.push_back(message);
  if (message == kPing) return static_cast<LRESULT>(wParam) * 2;
  return DefWindowProc(hwnd, message, wParam, lParam);
}

// A window that only takes messages, destroyed at the end of the scope.
class TestWindow {
 public:
  TestWindow() : hwnd_(CreateWindow({.proc = RecordingProc})) {}
  ~TestWindow() {
    if (IsWindow(hwnd_)) {
      EXPECT_TRUE(DestroyWindow(hwnd_));
    }
  }
  HWND hwnd() const { return hwnd_; }

 private:
  HWND hwnd_;
};

// The wParam of the first message the filter takes, or -1 when there is none.
int64_t Take(HWND hwnd = HWND{}, uint32_t first = 0, uint32_t last = 0) {
  MSG msg;
  return PeekMessage(&msg, hwnd, first, last, PM_REMOVE) ? int64_t(msg.wParam) : -1;
}

class MessageQueue : public testing::Test {
 protected:
  void SetUp() override {
    test::TakeMessages();
    t_seen.clear();
  }
  void TearDown() override { test::TakeMessages(); }
};

TEST_F(MessageQueue, PostedMessagesComeInOrderBeforeOneCoalescedPaintAndAQuit) {
  TestWindow window;
  ASSERT_TRUE(window.hwnd());
  EXPECT_TRUE(InvalidateWindow(window.hwnd()));
  EXPECT_TRUE(PostMessage(window.hwnd(), kPing, 1, 10));
  EXPECT_TRUE(PostMessage(window.hwnd(), kPong, 2, 20));
  EXPECT_TRUE(InvalidateWindow(window.hwnd()));
  EXPECT_TRUE(PostMessage(HWND{}, kOther, 3, 30));

  MSG msg;
  ASSERT_TRUE(PeekMessage(&msg, HWND{}, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, kPing) << "peeking without remove must not consume";

  std::vector<std::pair<uint32_t, WPARAM>> got;
  for (const MSG& m : test::TakeMessages()) got.emplace_back(m.message, m.wParam);
  EXPECT_EQ(got, (std::vector<std::pair<uint32_t, WPARAM>>{
                     {kPing, 1}, {kPong, 2}, {kOther, 3}, {WM_PAINT, 0}}));

  // A quit comes after the messages posted after it, and ends GetMessage.
  PostQuitMessage(7);
  EXPECT_TRUE(PostMessage(window.hwnd(), kPing, 1, 0));
  ASSERT_EQ(GetMessage(&msg, HWND{}, 0, 0), 1);
  EXPECT_EQ(msg.message, kPing);
  ASSERT_TRUE(PeekMessage(&msg, HWND{}, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_FALSE(PeekMessage(&msg, window.hwnd(), 0, 0, PM_NOREMOVE)) << "quit belongs to no window";
  EXPECT_FALSE(PeekMessage(&msg, HWND{}, kPing, kPong, PM_NOREMOVE)) << "quit is outside the range";
  EXPECT_EQ(GetMessage(&msg, HWND{}, 0, 0), 0);
  EXPECT_EQ(msg.wParam, 7u) << "the exit code";
  EXPECT_FALSE(PeekMessage(&msg, HWND{}, 0, 0, PM_REMOVE)) << "quit is taken once";
}

// A range takes both its ends; a window filter leaves the thread's own messages.
TEST_F(MessageQueue, FiltersTakeTheirRangeEndsIncludedAndTheirWindowOnly) {
  TestWindow window;
  const HWND hwnd = window.hwnd();
  ASSERT_TRUE(PostMessage(hwnd, kPing, 1, 0) && PostMessage(hwnd, kPong, 2, 0) &&
              PostMessage(hwnd, kOther, 3, 0) && PostMessage(HWND{}, kPing, 4, 0));
  const struct {
    HWND hwnd;
    uint32_t first, last;
    int64_t taken;
  } takes[] = {{hwnd, kOther, kOther, 3}, {hwnd, kStop, kStop, -1}, {hwnd, kOther, kStop, -1},
               {hwnd, kPong, kOther, 2},  {hwnd, kPing, kPing, 1},  {hwnd, 0, 0, -1},
               {HWND{}, kPing, kPing, 4}};
  for (const auto& t : takes)
    EXPECT_EQ(Take(t.hwnd, t.first, t.last), t.taken) << t.first << "-" << t.last;
}

TEST_F(MessageQueue, DestroyDropsPendingMessagesAndStaleHandlesFindNothing) {
  HWND stale;
  {
    TestWindow window;
    stale = window.hwnd();
    EXPECT_TRUE(PostMessage(stale, kPing, 1, 0));
    EXPECT_TRUE(PostMessage(HWND{}, kOther, 2, 0));
    t_seen.clear();
  }
  EXPECT_EQ(t_seen, std::vector<uint32_t>{WM_DESTROY});
  EXPECT_EQ(Take(), 2) << "thread messages survive the window";
  EXPECT_EQ(Take(), -1);

  TestWindow next;
  EXPECT_NE(next.hwnd(), stale) << "handles are not reused at once";
  EXPECT_FALSE(PostMessage(stale, kPing, 0, 0));
  EXPECT_EQ(SendMessage(stale, kPing, 1, 0), 0);
  MSG msg;
  EXPECT_EQ(GetMessage(&msg, stale, 0, 0), -1);
}

// The default procedure closes a window on Alt+F4 and on the system menu's close, and on
// nothing that merely looks like them.
TEST_F(MessageQueue, AltF4AndTheSystemCloseCloseAWindowThroughItsProcedure) {
  struct Case {
    const char* name;
    uint32_t message;
    WPARAM wParam;
    LPARAM lParam;
    std::vector<uint32_t> seen;  // what the procedure is handed, the first message included
  };
  constexpr LPARAM kAlt = kKeyAltHeldBit;
  const std::vector<Case> cases = {
      {"Alt+F4", WM_SYSKEYDOWN, VK_F4, kAlt, {WM_SYSKEYDOWN, WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}},
      {"system close", WM_SYSCOMMAND, SC_CLOSE | 2, 0, {WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}},
      {"F4 with Alt not held", WM_SYSKEYDOWN, VK_F4, 0, {WM_SYSKEYDOWN}},
      {"Alt+F10", WM_SYSKEYDOWN, VK_F10, kAlt, {WM_SYSKEYDOWN}},
      {"system minimise", WM_SYSCOMMAND, SC_MINIMIZE, 0, {WM_SYSCOMMAND}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestWindow window;
    t_seen.clear();
    (void)SendMessage(window.hwnd(), c.message, c.wParam, c.lParam);
    EXPECT_EQ(t_seen, c.seen);
    EXPECT_EQ(IsWindow(window.hwnd()), c.seen.back() != WM_DESTROY);
  }
}

TEST_F(MessageQueue, AnOwnedPopupEndsWithItsOwnerAndNeedsOne) {
  TestWindow owner;
  // A platform window is asked for, but a popup never opens one.
  WindowDesc desc{.proc = RecordingProc,
                  .native = true,
                  .nativeDesc = {"menu", 600, 20, false},
                  .owner = owner.hwnd()};
  HWND popup = CreateWindow(desc);
  ASSERT_TRUE(popup) << "no backend is needed for a popup";
  EXPECT_TRUE(ShowWindow(popup, true));
  EXPECT_TRUE(IsWindowVisible(popup));

  t_seen.clear();
  EXPECT_TRUE(DestroyWindow(owner.hwnd()));
  EXPECT_FALSE(IsWindow(popup));
  EXPECT_EQ(t_seen, (std::vector<uint32_t>{WM_DESTROY, WM_DESTROY}))
      << "the popup first, then its owner";

  EXPECT_FALSE(CreateWindow(desc)) << "an owner that is gone refuses the popup";
}

// Runs a window on a thread of its own, pumping with GetMessage until kStop.
class WindowThread {
 public:
  explicit WindowThread(WindowProc proc = RecordingProc) {
    std::promise<HWND> ready;
    auto hwnd = ready.get_future();
    thread_ = std::thread([proc, &ready, this] {
      threadId_ = GetCurrentThreadId();
      HWND own = CreateWindow({.proc = proc});
      ready.set_value(own);
      MSG msg;
      while (GetMessage(&msg, HWND{}, 0, 0) > 0 && msg.message != kStop) DispatchMessage(msg);
      (void)DestroyWindow(own);  // a procedure may have destroyed it already
    });
    hwnd_ = hwnd.get();
  }
  ~WindowThread() {
    EXPECT_TRUE(PostThreadMessage(threadId_, kStop, 0, 0));
    thread_.join();
  }
  HWND hwnd() const { return hwnd_; }

 private:
  std::thread thread_;
  uint32_t threadId_ = 0;
  HWND hwnd_;
};

// Window b's procedure sends back to window a while a's thread waits in its own send to b.
HWND g_backTarget;
LRESULT BounceProc(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
  if (message == kPong) return SendMessage(g_backTarget, kPing, wParam + 1, 0) + 1;
  return DefWindowProc(hwnd, message, wParam, lParam);
}

TEST(MessageSendThread, ASenderKeepsServingSendsAddressedToIt) {
  TestWindow a;
  g_backTarget = a.hwnd();
  WindowThread b(BounceProc);
  t_seen.clear();
  // a -> b (kPong, 10); b -> a (kPing, 11) = 22; b answers 23.
  EXPECT_EQ(SendMessage(b.hwnd(), kPong, 10, 0), 23);
  EXPECT_EQ(t_seen, std::vector<uint32_t>{kPing}) << "a served the nested send on its own thread";
}

// A window destroyed while another thread keeps sending to it: every send answers the
// procedure's value or 0, none hangs, and the procedure never runs after WM_DESTROY.
std::atomic<bool> g_destroyed{false};
std::atomic<bool> g_handledAfterDestroy{false};

LRESULT DestroyingProc(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
  if (message == kPing) {
    EXPECT_TRUE(DestroyWindow(hwnd));
    return 1;
  }
  if (message == WM_DESTROY) g_destroyed = true;
  if (message == kPong) {
    if (g_destroyed) g_handledAfterDestroy = true;
    return 5;
  }
  return DefWindowProc(hwnd, message, wParam, lParam);
}

TEST(MessageSendThread, DestroyingAWindowReleasesItsSendersWithZero) {
  g_destroyed = false;
  g_handledAfterDestroy = false;
  WindowThread b(DestroyingProc);
  std::atomic<bool> answered{false};
  std::atomic<int> unexpected{0};
  std::thread c([&] {
    for (;;) {
      LRESULT result = SendMessage(b.hwnd(), kPong, 0, 0);
      if (result != 5 && result != 0) ++unexpected;
      answered = true;
      if (result == 0) break;
    }
  });
  // Without it the destroying send below still releases c.
  EXPECT_TRUE(
      bw::test::SpinUntil([&] { return answered.load(); }, "the other sender's first answer"));
  EXPECT_EQ(SendMessage(b.hwnd(), kPing, 0, 0), 1);
  c.join();
  EXPECT_EQ(unexpected, 0);
  EXPECT_FALSE(g_handledAfterDestroy);
  EXPECT_FALSE(IsWindow(b.hwnd()));
}

TEST(MessageSendThread, ManySendersAgreeOnEveryResultAndOnlyTheOwnerDestroysOrDispatches) {
  WindowThread receiver;
  EXPECT_FALSE(DestroyWindow(receiver.hwnd()));
  EXPECT_EQ(DispatchMessage(MSG{receiver.hwnd(), kPing, 1, 0, 0}), 0);
  constexpr int kThreads = 4;
  constexpr int kRounds = 200;
  std::vector<std::thread> senders;
  std::vector<int> wrong(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    senders.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        EXPECT_TRUE(PostMessage(receiver.hwnd(), kOther, static_cast<WPARAM>(i), 0));
        if (SendMessage(receiver.hwnd(), kPing, static_cast<WPARAM>(i + t), 0) != 2 * (i + t))
          ++wrong[t];
      }
    });
  }
  for (auto& sender : senders) sender.join();
  EXPECT_EQ(wrong, std::vector<int>(kThreads, 0));
  EXPECT_TRUE(IsWindow(receiver.hwnd()));
}

}  // namespace
}  // namespace bw::host
