#include "app/window/window.h"

#include <gtest/gtest.h>

#include <string>

#include "host/headless/headless_backend.h"
#include "host/message_queue.h"

namespace bw {
namespace {

// Records which stage saw each message; OnMessage answers as told.
class TracingWindow : public Window {
 public:
  std::string trace;
  int onMessageAnswer = kNotHandled;

  int OnMessage(MessageRecord& record) override {
    if (record.message == host::WM_USER || record.message == host::WM_CLOSE) trace += "O";
    if (record.message == host::WM_USER && onMessageAnswer == kHandled) record.result = 7;
    return record.message == host::WM_USER ? onMessageAnswer : Window::OnMessage(record);
  }

  int Handle(MessageRecord& record) {
    trace += "H";
    record.result = 42;
    return answer;
  }
  int answer = kHandled;

};

// Replaces or destroys itself through the window, then reads its own fields: the window must
// keep it alive until it returns (the sanitizer build sees any use after free).
class SelfRemovingHandler : public MessageHandler {
 public:
  SelfRemovingHandler(TracingWindow* window, bool destroy, std::string mark)
      : window_(window), destroy_(destroy), mark_(std::move(mark)) {}
  int Invoke(MessageRecord& record) override {
    if (destroy_) {
      window_->Destroy();
    } else {
      window_->Bind(record.message, BindMember(window_, &TracingWindow::Handle));
    }
    window_->trace += mark_;
    return kHandled;
  }

 private:
  TracingWindow* window_;
  bool destroy_;
  std::string mark_;
};

WindowCreateRecord Record() {
  WindowCreateRecord r;
  r.clientWidth = 640;
  r.clientHeight = 480;
  r.className = "Test window";
  r.title = "Test window";
  return r;
}

TEST(Window, DispatchGoesHandlerThenOnMessageThenDefault) {
  TracingWindow w;
  ASSERT_EQ(w.Create(Record(), false, true), kCreated);
  w.Bind(host::WM_USER, BindMember(&w, &TracingWindow::Handle));
  EXPECT_EQ(w.SendMessage(host::WM_USER, 0, 0), 42) << "a handled message ends at the handler";
  EXPECT_EQ(w.trace, "H");

  w.trace.clear();
  w.answer = kNotHandled;
  w.onMessageAnswer = kHandled;
  EXPECT_EQ(w.SendMessage(host::WM_USER, 0, 0), 7);
  EXPECT_EQ(w.trace, "HO") << "a handler answering 1 lets OnMessage run";

  // Without a handler: OnMessage, then the default procedure, which closes on WM_CLOSE.
  w.trace.clear();
  w.SendMessage(host::WM_CLOSE, 0, 0);
  EXPECT_EQ(w.trace, "O");
  EXPECT_FALSE(w.IsWindow());
  EXPECT_EQ(w.SendMessage(host::WM_USER, 0, 0), 0) << "a destroyed window answers 0";
  EXPECT_FALSE(w.PostMessage(host::WM_USER, 0, 0));
}

TEST(Window, HandlersReplacedOrDestroyedInsideThemselvesStayAliveUntilTheyReturn) {
  TracingWindow w;
  ASSERT_EQ(w.Create(Record(), false, true), kCreated);
  w.Bind(host::WM_USER, std::make_unique<SelfRemovingHandler>(&w, false, "R"));
  w.SendMessage(host::WM_USER, 0, 0);
  w.SendMessage(host::WM_USER, 0, 0);
  EXPECT_EQ(w.trace, "RH") << "the new handler serves the next message";

  w.Bind(host::WM_USER + 1, std::make_unique<SelfRemovingHandler>(&w, true, "D"));
  w.SendMessage(host::WM_USER + 1, 0, 0);
  EXPECT_EQ(w.trace, "RHD");
  EXPECT_FALSE(w.IsWindow());
}

TEST(Window, QuitOnDestroyPostsTheQuitMessage) {
  host::MSG msg;
  while (host::PeekMessage(&msg, host::HWND{}, 0, 0, host::PM_REMOVE)) {
  }
  TracingWindow w;
  ASSERT_EQ(w.Create(Record(), true, true), kCreated);
  w.Destroy();
  ASSERT_TRUE(host::PeekMessage(&msg, host::HWND{}, 0, 0, host::PM_REMOVE));
  EXPECT_EQ(msg.message, host::WM_QUIT);
}

TEST(Window, RegistrationNeedsAClassName) {
  TracingWindow w;
  WindowCreateRecord r = Record();
  r.className.clear();
  EXPECT_EQ(w.Create(r, false, true), kRegisterFailed);
  r.className = "STATIC";
  EXPECT_EQ(w.Create(r, false, true), kCreated) << "system classes are not registered";
  EXPECT_EQ(Window::Register(Record()), Window::Register(Record())) << "one atom per class";
}

TEST(Window, PlacementKeepsOrCentresInTheWorkArea) {
  host::HeadlessBackend backend;
  host::ScopedBackend use(&backend);
  host::DesktopInfo desktop;
  desktop.width = 1280, desktop.height = 1024, desktop.bitsPerPixel = 32;
  desktop.monitors.push_back({{0, 0, 1280, 1024}, {0, 0, 1280, 984}});
  backend.SetDesktop(desktop);

  struct Case {
    uint8_t mode;
    int32_t left, top, wantLeft, wantTop;
  };
  const Case cases[] = {
      {kPlaceInsideOrCentre, -1, -1, 320, 252},  // no saved position: centred
      {kPlaceInsideOrCentre, 100, 50, 100, 50},  // inside: kept
      {kPlaceInsideOrCentre, 900, 50, 320, 252}, // would hang out: centred
      {kPlaceCentre, 100, 50, 320, 252},
      {kPlaceAsGiven, -1, -1, -1, -1},
  };
  for (const Case& c : cases) {
    TracingWindow w;
    WindowCreateRecord r = Record();
    r.placement = c.mode, r.left = c.left, r.top = c.top;
    ASSERT_EQ(w.Create(r, false, true), kCreated);
    const auto* state = backend.Window(w.GetHandle());
    ASSERT_NE(state, nullptr) << "a native window on the event thread";
    EXPECT_EQ(state->left, c.wantLeft) << "mode " << int(c.mode) << " from " << c.left;
    EXPECT_EQ(state->top, c.wantTop) << "mode " << int(c.mode) << " from " << c.left;
  }

  desktop.monitors[0].workArea = {0, 0, 600, 400};
  backend.SetDesktop(desktop);
  TracingWindow big;
  WindowCreateRecord r = Record();
  r.placement = kPlaceCentre;
  ASSERT_EQ(big.Create(r, false, true), kCreated);
  EXPECT_EQ(backend.Window(big.GetHandle())->left, 0) << "a window larger than the work area goes to 0, 0";
}

}  // namespace
}  // namespace bw
