// The pointer in picture coordinates, its edges and the cursor.
#include <gtest/gtest.h>

#include <vector>

#include "host/clock.h"
#include "host/input/cursor.h"
#include "host/message_queue.h"
#include "input/engine_input.h"

namespace bw {
namespace {

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
  void TearDown() override { host::DestroyWindow(window_); }
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
  host::TakeCursorWarp(&warp);
  input_.SetCursorPosition(639, 479);
  ASSERT_TRUE(host::TakeCursorWarp(&warp)) << "the event thread is asked to move the pointer";
  EXPECT_EQ(warp, (host::Point{100 + 160 + 958, 50 + 718}));
  EXPECT_EQ(input_.Pointer().x, 639);
  input_.SetCursorPosition(640, 10);
  EXPECT_EQ(input_.Pointer().x, kPointerOutside);
}

TEST(CursorShape, SystemShapesAndRefusals) {
  WindowsMouse mouse;
  EXPECT_EQ(mouse.SetCursorShape(-1, 0), kCursorNone);
  EXPECT_EQ(mouse.SetCursorShape(3, 0x7F00), kCursorNone) << "no cursor resources here";
  EXPECT_EQ(mouse.SetCursorShape(host::kCursorShapeCount, 0), kCursorNone);
  for (int32_t shape = 0; shape < host::kCursorShapeCount; ++shape) {
    EXPECT_EQ(mouse.SetCursorShape(shape, 0), 0u) << "shape " << shape;
    EXPECT_EQ(host::CursorShape(), shape);
  }
}

// A sprite that only answers what the cursor checks before taking it.
class FakeSprite : public CursorSprite {
 public:
  int32_t Kind() const override { return kind; }
  bool HasImage() const override { return hasImage; }
  void SetVisible(bool) override {}
  void MoveTo(int32_t, int32_t) override {}
  int32_t SourceWidth() const override { return 32; }
  void GetSourcePosition(int32_t* sx, int32_t* sy) const override { *sx = *sy = 0; }
  void SetSourcePosition(int32_t, int32_t) override {}
  int32_t kind = kSpriteKindImage;
  bool hasImage = true;
};

TEST(AnimatedCursor, SpritesWithoutTheirImageOrOfOtherKindsAreRefused) {
  WindowsMouse mouse_;
  FakeSprite sprite_;
  sprite_.hasImage = false;
  EXPECT_EQ(mouse_.SetAnimatedCursor(&sprite_, 1, 10, false, 0, 0), kAnimatedNoImage);
  sprite_.kind = kSpriteKindCell;
  EXPECT_EQ(mouse_.SetAnimatedCursor(&sprite_, 1, 10, false, 0, 0), kAnimatedNoCellImage);
  sprite_.kind = 2;
  sprite_.hasImage = true;
  EXPECT_EQ(mouse_.SetAnimatedCursor(&sprite_, 1, 10, false, 0, 0), kAnimatedBadKind);
  EXPECT_FALSE(mouse_.HasAnimatedCursor());
  EXPECT_EQ(mouse_.SetAnimatedCursor(nullptr, 0, 0, false, 0, 0), 0u);
}

}  // namespace
}  // namespace bw
