// Joysticks, the action tables' refusals, the shared skip modifier and the pointer.
#include <gtest/gtest.h>

#include <vector>

#include "common/global.h"
#include "host/clock.h"
#include "host/headless/headless_backend.h"
#include "host/input/cursor.h"
#include "host/message_queue.h"
#include "input/engine_input.h"
#include "input/input_manager.h"
#include "input/pointer_move_task.h"
#include "input/skip_modifier.h"
#include "platform/timer_service.h"
#include "support/failing_allocation.h"

namespace bw {
namespace {

// The headless backend's scripted joysticks.

constexpr int kButtons = 6;
// Axis positions on the engine's range, centred at 32768.
constexpr int32_t kAxisCentre = host::kJoystickAxisCentre;
constexpr int32_t kAxisLow = host::kJoystickAxisMin;
constexpr int32_t kAxisHigh = host::kJoystickAxisMax;

class Joysticks : public testing::Test {
 protected:
  void SetUp() override {
    ResetJoystickTable();
    ASSERT_EQ(manager_.CreateDevices(host::HWND{}, kDeviceTypeMessage, kDeviceTypeMessage), 0u);
    manager_.Activate();
  }
  void TearDown() override {
    manager_.ReleaseDevices();
    ResetJoystickTable();
  }
  // Plugs in a two-axis pad; answers its index.
  int32_t Attach() {
    return backend_.Joysticks().Attach({.buttonCount = kButtons, .axisCount = 2, .name = "pad"});
  }
  // Moves joystick n; buttons is the mask held.
  void Set(int32_t n, int32_t x, int32_t y, uint32_t buttons = 0) {
    backend_.Joysticks().Set(n, host::JoystickReading{x, y, buttons});
  }
  void Frame() { manager_.Poll(); }
  host::HeadlessBackend backend_;
  ScopedGlobal<host::Backend> use_{&backend_};
  InputManager manager_;
};

TEST_F(Joysticks, DirectionsAtTheOuterThirdsButtonsAndTheFirstFree) {
  int32_t stick = Attach();
  ASSERT_EQ(manager_.AddJoystick(-1, host::HWND{}), 0);
  JoystickDevice* joystick = manager_.GetJoystick(0);
  ASSERT_NE(joystick, nullptr);
  EXPECT_TRUE(IsJoystickInUse(0));

  Set(stick, kAxisCentre, kAxisCentre);
  Frame();
  EXPECT_EQ(joystick->GetDownCode(), -1) << "the centre is no direction";

  Set(stick, kAxisCentre, kAxisLow);
  Frame();
  EXPECT_EQ(joystick->GetDownCode(), kJoyUp);
  Frame();
  EXPECT_TRUE(joystick->IsDown(kJoyUp));
  EXPECT_FALSE(joystick->IsPressed(kJoyUp));

  Set(stick, kAxisHigh, kAxisCentre, 1u << 5);
  Frame();
  EXPECT_TRUE(joystick->IsPressed(kJoyFirstButton + 5));
  EXPECT_EQ(joystick->GetPressedCode(), kJoyRight);
  EXPECT_FALSE(joystick->IsDown(kJoyFirstButton + kButtons)) << "beyond the button count";

  // A third of the way from the centre is still inside the middle third.
  Set(stick, kAxisCentre - 10000, kAxisCentre, 1u << 5);
  Frame();
  EXPECT_FALSE(joystick->IsDown(kJoyLeft));
  Set(stick, kAxisCentre - 12000, kAxisCentre, 1u << 5);
  Frame();
  EXPECT_TRUE(joystick->IsDown(kJoyLeft));

  manager_.SetJoysticksEnabled(false);
  EXPECT_EQ(joystick->GetDownCode(), -1);

  // The first free one skips one in use; with none left adding fails.
  Attach();
  EXPECT_EQ(manager_.AddJoystick(-1, host::HWND{}), 1);
  EXPECT_EQ(manager_.AddJoystick(-1, host::HWND{}), kAddJoystickFailed);
  EXPECT_EQ(manager_.AddJoystick(0, host::HWND{}), kAddJoystickFailed) << "in use";
  manager_.ReleaseDevices();
  EXPECT_FALSE(IsJoystickInUse(0)) << "closing frees the entry";
}

// Each refusal of an open names its reason; a number past the table is refused before it is used.
TEST_F(Joysticks, OpeningRefusesNumbersPastTheTableAndAbsentSticks) {
  const struct {
    int32_t number;
    bool exclusive;
    uint32_t code;
  } cases[] = {{kMaxJoysticks, true, kJoyBadNumber},
               {kMaxJoysticks, false, kJoyBadNumber},
               {kMaxJoysticks + 9, true, kJoyBadNumber},
               {3, true, kJoyNoCaps},
               {-1, false, kJoyNoneFree}};
  for (const auto& c : cases) {
    WindowsJoystick joystick;
    EXPECT_EQ(joystick.Open(c.number, false, c.exclusive), c.code)
        << c.number << (c.exclusive ? " exclusive" : "");
  }
}

TEST(JoystickThresholds, OuterThirdsWithoutOverflow) {
  JoystickThresholds t = ComputeJoystickThresholds(0, 65535);
  EXPECT_EQ(std::pair(t.low, t.high), std::pair(21845, 43690));
  t = ComputeJoystickThresholds(INT32_MIN, INT32_MAX);  // 2 x max overflows 32 bits
  EXPECT_EQ(std::pair(t.low, t.high), std::pair(-715827883, 715827882));
}

// The action tables refuse bindings to devices that are not there and actions past their size;
// what a bound key or button does is every game's to show.
TEST(Bindings, MissingDevicesAndBadActionsAreRefused) {
  constexpr uint32_t kCancel = 1;
  InputManager manager;
  ASSERT_EQ(manager.CreateDevices(host::HWND{}, kDeviceTypeMessage, kDeviceTypeMessage), 0u);
  InputBindingTable* table = nullptr;
  ASSERT_EQ(manager.CreateBindingTable(20, &table), 0u);
  EXPECT_EQ(table->AddBinding(kCancel, kDeviceFirstJoystick, kJoyUp), kBindingNoDevice);
  EXPECT_EQ(table->AddBinding(20, kDeviceKeyboard, 0x01), kBindingBadAction);
  EXPECT_EQ(table->RemoveBinding(kCancel, kDeviceFirstJoystick, kJoyUp), kBindingNoDevice);
  EXPECT_EQ(table->ChangeBindingCode(kCancel, 7, 0, -1), kBindingNoDevice);
  InputBindingTable* other = nullptr;
  EXPECT_EQ(manager.CreateBindingTable(0, &other), kBindingTableSizing);
  EXPECT_EQ(other, nullptr);
  InputBindingTable orphan(nullptr);
  ASSERT_EQ(orphan.Resize(2), 0u);
  EXPECT_EQ(orphan.AddBinding(0, kDeviceKeyboard, 0x1C), kBindingBadAction);
}

// The skip pair shared with the quick-save modifier: a hold that took an F key never skips, and a
// new press starts the grace time again.
TEST(SharedSkipModifier, AHoldThatTookAnFKeyNeverSkips) {
  constexpr uint32_t kGrace = SharedSkipModifier::kGraceMs;
  SharedSkipModifier skip;
  EXPECT_FALSE(skip.Skips(true, true, false, 0));
  EXPECT_FALSE(skip.Skips(true, false, true, 100));
  EXPECT_FALSE(skip.Skips(true, false, false, 5000)) << "F1 let go, the modifier still held";
  // Released and pressed again between two asks: a new hold.
  EXPECT_FALSE(skip.Skips(true, true, false, 6000));
  EXPECT_TRUE(skip.Skips(true, false, false, 6000 + kGrace));
}

// The pointer in picture coordinates, its edges and the cursor.

constexpr int32_t kCanvasW = 640;
constexpr int32_t kCanvasH = 480;

class FakeDisplay : public PointerDisplay {
 public:
  DisplayBox DisplayRect() const override { return screen; }
  bool IsScaled() const override { return scaled; }
  bool LetterboxRect(DisplayBox* box) const override {
    if (!hasLetterbox) return false;
    *box = letterbox;
    return true;
  }
  void OnMenuShown(bool) override {}

  DisplayBox screen{100, 50, 1280, 960};
  bool scaled = false;
  bool hasLetterbox = false;
  DisplayBox letterbox;
};

class Pointer : public testing::Test {
 protected:
  void SetUp() override {
    host::WindowDesc desc;
    desc.proc = host::DefWindowProc;
    window_ = host::CreateWindow(desc);
    ASSERT_TRUE(window_);
    input_.SetMainWindow(window_);
    input_.SetMouse(&mouse_);
    input_.SetDisplay(&display_);
    input_.SetCanvasSize(kCanvasW, kCanvasH);
  }
  void TearDown() override { EXPECT_TRUE(host::DestroyWindow(window_)); }
  void MoveTo(int32_t x, int32_t y) { host::SetCursorPos(x, y); }

  host::VirtualClock clock_{1000};
  ScopedGlobal<host::ClockSource> useClock_{&clock_};
  host::HWND window_;
  MessageMouse mouse_;
  FakeDisplay display_;
  EngineInput input_;
};

// The grab that stands in for the keyboard hook: 0 when it is in place, as the hook answered.
TEST_F(Pointer, TheKeyboardHookAnswersZeroOnceInPlace) {
  input_.SetDisplayMode(kDisplayFullScreen);
  EXPECT_EQ(input_.InstallKeyboardHook(), kHookInstalled);
  EXPECT_TRUE(host::IsKeyboardGrabbed());
  EXPECT_EQ(input_.InstallKeyboardHook(), kHookInstalled) << "already in place";
  input_.RemoveKeyboardHook();
  EXPECT_FALSE(host::IsKeyboardGrabbed());
  input_.SetHookEnabled(false);
  EXPECT_EQ(input_.InstallKeyboardHook(), kHookSettingOff);
  EXPECT_FALSE(host::IsKeyboardGrabbed());
}

TEST_F(Pointer, AMoveThatCannotBeMadeIsRefused) {
  TimerService timers;
  ASSERT_TRUE(input_.IsCursorShown());
  test::FailingAllocations failing;
  EXPECT_EQ(PointerMoveTask::Start(&timers, &input_, 5, 5, 100, 0.0, kPointerMoveStay, 0),
            kPointerMoveRefused);
  EXPECT_EQ(timers.FindById(kTaskKindPointerMove), nullptr);
}

TEST_F(Pointer, WindowEdgesByTheSideTheyLeftThrough) {
  MoveTo(10, 20);
  EXPECT_TRUE(input_.UpdatePointer());
  EXPECT_EQ(std::tuple(input_.Pointer().x, input_.Pointer().y, input_.Edge()),
            std::tuple(10, 20, kEdgeNone));
  MoveTo(-3, -3);
  EXPECT_FALSE(input_.UpdatePointer());
  EXPECT_EQ(input_.Pointer().x, kPointerOutside);
  // Each move starts inside; the first edge left through stays until the pointer is back.
  const struct {
    int32_t x, y, x2, y2, edge;
  } exits[] = {{-3, -3, kCanvasW + 5, 100, kEdgeTopLeft},
               {kCanvasW + 1, kCanvasH + 1, kCanvasW + 1, kCanvasH + 1, kEdgeBottomRight},
               {100, kCanvasH, 100, kCanvasH, kEdgeBottom}};
  for (const auto& e : exits) {
    MoveTo(100, 100);
    input_.UpdatePointer();
    EXPECT_EQ(input_.Edge(), kEdgeNone);
    MoveTo(e.x, e.y);
    input_.UpdatePointer();
    MoveTo(e.x2, e.y2);
    input_.UpdatePointer();
    EXPECT_EQ(input_.Edge(), e.edge) << e.x << "," << e.y;
  }
}

TEST_F(Pointer, FullScreenLetterboxMapping) {
  input_.SetDisplayMode(kDisplayFullScreen);
  display_.scaled = true;
  display_.hasLetterbox = true;
  display_.letterbox = DisplayBox{160, 0, 960, 720};  // 4:3 picture centred, 1.5 times
  display_.screen = DisplayBox{100, 50, 1280, 720};

  MoveTo(100 + 160 + 480, 50 + 360);
  EXPECT_TRUE(input_.UpdatePointer());
  EXPECT_EQ(std::tuple(input_.Pointer().x, input_.Pointer().y, input_.Edge()),
            std::tuple(320, 240, kEdgeNone));

  host::Point p{320, 240};
  input_.ClientToScreenPoint(&p);
  EXPECT_EQ(p, (host::Point{100 + 160 + 480, 50 + 360}));

  MoveTo(100 + 20, 50 + 360);  // in the bar beside the picture
  EXPECT_TRUE(input_.UpdatePointer());
  EXPECT_EQ(std::tuple(input_.Pointer().x, input_.Pointer().y, input_.Edge()),
            std::tuple(kPointerBeside, 240, kEdgeTop));

  MoveTo(100 + 160, 50 + 360);  // first column of the picture
  input_.UpdatePointer();
  EXPECT_EQ(std::pair(input_.Pointer().x, input_.Edge()), std::pair(0, kEdgeLeft));

  host::Point warp;
  (void)host::TakeCursorWarp(&warp);  // a warp left from before, if any, goes
  input_.SetCursorPosition(639, 479);
  ASSERT_TRUE(host::TakeCursorWarp(&warp)) << "the event thread is asked to move the pointer";
  EXPECT_EQ(warp, (host::Point{100 + 160 + 958, 50 + 718}));
  EXPECT_EQ(input_.Pointer().x, 639);
  input_.SetCursorPosition(640, 10);
  EXPECT_EQ(input_.Pointer().x, kPointerOutside);
}

// A sprite that only answers what the cursor checks before taking it.
class FakeSprite : public CursorSprite {
 public:
  int32_t Kind() const override { return kind; }
  bool HasImage() const override { return hasImage; }
  void SetVisible(bool) override {}
  void MoveTo(int32_t, int32_t) override {}
  int32_t SourceWidth() const override { return 32; }
  void GetSourcePosition(int32_t* sx, int32_t* sy) const override {
    *sx = sourceX;
    *sy = 7;
  }
  void SetSourcePosition(int32_t sx, int32_t) override { sourceX = sx; }
  int32_t sourceX = 5;
  int32_t kind = kSpriteKindImage;
  bool hasImage = true;
};

TEST(CursorShape, SystemShapesAnimatedCursorsAndRefusals) {
  WindowsMouse mouse;
  EXPECT_EQ(mouse.SetCursorShape(-1, 0), kCursorNone);
  EXPECT_EQ(mouse.SetCursorShape(3, 0x7F00), kCursorNone) << "no cursor resources here";
  EXPECT_EQ(mouse.SetCursorShape(host::kCursorShapeCount, 0), kCursorNone);
  for (int32_t shape = 0; shape < host::kCursorShapeCount; ++shape) {
    EXPECT_EQ(mouse.SetCursorShape(shape, 0), 0u) << "shape " << shape;
    EXPECT_EQ(host::CursorShape(), shape);
  }

  // Cell sprites without their image and sprites of other kinds are refused as animated cursors.
  FakeSprite sprite;
  sprite.hasImage = false;
  sprite.kind = kSpriteKindCell;
  EXPECT_EQ(mouse.SetAnimatedCursor(&sprite, 1, 10, false, 0, 0), kAnimatedNoCellImage);
  sprite.kind = 2;
  sprite.hasImage = true;
  EXPECT_EQ(mouse.SetAnimatedCursor(&sprite, 1, 10, false, 0, 0), kAnimatedBadKind);
  EXPECT_FALSE(mouse.HasAnimatedCursor());
  EXPECT_EQ(mouse.SetAnimatedCursor(nullptr, 0, 0, false, 0, 0), 0u);
}

// A strip of four 32-pixel frames, 10 ms each, starting at x 5: straight through and back, or
// back and forth without showing either end twice.
TEST(CursorShape, AnimatedStripsRunThroughTheirFramesAndBack) {
  host::VirtualClock clock(1000);
  ScopedGlobal<host::ClockSource> use(&clock);
  PointerPosition at{40, 40};
  for (bool pingPong : {false, true}) {
    WindowsMouse mouse;
    mouse.SetPointerPosition(&at);
    FakeSprite sprite;
    ASSERT_EQ(mouse.SetAnimatedCursor(&sprite, 4, 10, pingPong, 0, 0), 0u);
    std::vector<int32_t> frames;
    for (int step = 0; step < 9; ++step, clock.AdvanceMilliseconds(10)) {
      mouse.UpdateAnimatedCursor();
      frames.push_back((sprite.sourceX - 5) / 32);
    }
    const std::vector<int32_t> want = pingPong ? std::vector<int32_t>{0, 1, 2, 3, 2, 1, 0, 0, 1}
                                               : std::vector<int32_t>{0, 1, 2, 3, 0, 1, 2, 3, 0};
    EXPECT_EQ(frames, want) << (pingPong ? "back and forth" : "straight through");
  }
}

}  // namespace
}  // namespace bw
