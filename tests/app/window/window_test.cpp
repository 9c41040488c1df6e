#include "app/window/window.h"

#include <gtest/gtest.h>

#include <cstdint>
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

  int OnMessage(WindowMessage& record) override {
    if (record.message == host::WM_USER || record.message == host::WM_CLOSE) trace += "O";
    if (record.message == host::WM_USER && onMessageAnswer == kHandled) record.result = 7;
    return record.message == host::WM_USER ? onMessageAnswer : Window::OnMessage(record);
  }

  int Handle(WindowMessage& record) {
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
  int Invoke(WindowMessage& record) override {
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
  r.clientWidth = 640, r.clientHeight = 480, r.className = r.title = "Test window";
  return r;
}

TEST(Window, DispatchGoesHandlerThenOnMessageThenDefault) {
  TracingWindow w;
  ASSERT_EQ(w.Create(Record(), false, true), kCreated);
  w.Bind(host::WM_USER, BindMember(&w, &TracingWindow::Handle));
  EXPECT_EQ(w.SendMessage(host::WM_USER, 0, 0), 42) << "a handled message ends at the handler";
  EXPECT_EQ(w.trace, "H");

  w.trace.clear();
  w.answer = kNotHandled, w.onMessageAnswer = kHandled;
  EXPECT_EQ(w.SendMessage(host::WM_USER, 0, 0), 7);
  EXPECT_EQ(w.trace, "HO") << "a handler answering 1 lets OnMessage run";

  // Without a handler: OnMessage, then the default procedure, which closes on WM_CLOSE.
  w.trace.clear();
  w.SendMessage(host::WM_CLOSE, 0, 0);
  EXPECT_EQ(std::tuple(w.trace, w.IsWindow()), std::tuple("O", false));
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
  EXPECT_EQ(std::tuple(w.trace, w.IsWindow()), std::tuple("RHD", false));
}

// A headless desktop of 1280 by 1024 whose primary monitor keeps 40 lines for a task bar.
class WindowPlacement : public ::testing::Test {
 protected:
  void SetUp() override {
    desktop_.width = 1280, desktop_.height = 1024, desktop_.bitsPerPixel = 32;
    desktop_.monitors.push_back({{0, 0, 1280, 1024}, {0, 0, 1280, 984}});
    backend_.SetDesktop(desktop_);
  }

  struct Case {
    uint8_t mode;
    int32_t width, height, left, top, wantLeft, wantTop;
    const char* why;
  };

  void Expect(const Case& c) {
    TracingWindow w;
    WindowCreateRecord r = Record();
    r.placement = c.mode, r.left = c.left, r.top = c.top;
    r.clientWidth = c.width, r.clientHeight = c.height;
    ASSERT_EQ(w.Create(r, false, true), kCreated);
    const auto* state = backend_.Window(w.GetHandle());
    ASSERT_NE(state, nullptr) << "a native window on the event thread";
    EXPECT_EQ(std::tuple(state->left, state->top), std::tuple(c.wantLeft, c.wantTop)) << c.why;
  }

  host::HeadlessBackend backend_;
  ScopedGlobal<host::Backend> use_{&backend_};
  host::DesktopInfo desktop_;
};

// The second monitor lies left of the primary one, at negative coordinates.
TEST_F(WindowPlacement, TwoMonitorsPlaceOnTheMonitorTheWindowIsOn) {
  desktop_.monitors.push_back({{-1920, 0, 0, 1080}, {-1920, 0, 0, 1040}});
  backend_.SetDesktop(desktop_);
  const Case cases[] = {
      {kPlaceInsideOrCentre, 640, 480, -1, -1, 320, 252,
       "no saved position: centred on the primary"},
      {kPlaceInsideOrCentre, 640, 480, -1500, 100, -1500, 100, "inside the second: kept"},
      {kPlaceInsideOrCentre, 640, 480, 600, 600, 320, 252,
       "hanging off the primary: centred there"},
      {kPlaceInsideOrCentre, 640, 480, -500, 100, -1280, 280,
       "mostly on the second: centred there"},
      {kPlaceCentre, 640, 480, -1500, 100, -1280, 280, "always centred"},
      {kPlaceAsGiven, 640, 480, 5000, 5000, 5000, 5000, "as given"},
      {kPlaceInsideOrCentre, 1600, 1000, -1, -1, -1760, 20, "too big for the primary: the second"},
      {kPlaceCentre, 4000, 3000, 100, 100, 0, 0, "too big for all: the nearest area's corner"},
  };
  for (const Case& c : cases) Expect(c);
}

}  // namespace
}  // namespace bw
