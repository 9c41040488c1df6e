#include <gtest/gtest.h>

#include <cstring>

#include "common/global.h"
#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/pixel_library.h"
#include "host/headless/headless_backend.h"
#include "host/message_queue.h"

namespace bw {
namespace {

// A canvas screen that did not change shows nothing new, yet the headless run places its scripted
// input by frames shown: each turn must still count, or a wait for a scripted click never ends.
// A headless window the display manager shows its frames in.
class CanvasFrameTurns : public testing::Test {
 protected:
  CanvasFrameTurns() {
    host::WindowDesc desc;
    desc.proc = host::DefWindowProc;
    desc.native = true;
    desc.nativeDesc = host::NativeWindowDesc{"display", 64, 48, true};
    window = host::CreateWindow(desc);
    sink = static_cast<host::HeadlessSink*>(host::GetPresentationSink(window));
  }
  ~CanvasFrameTurns() override {
    host::DestroyWindow(window);
    host::SetDisplayModeSize(640, 480);
  }

  host::HeadlessBackend backend;
  ScopedGlobal<host::Backend> use{&backend};
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  host::HWND window;
  host::HeadlessSink* sink = nullptr;
};

// A title that asks for its whole screen to be drawn again every turn shows the same picture:
// whether the canvas goes to the window through GDI or through a DirectDraw back buffer, the window
// must not draw it anew, and when a box then moves it is told the box's old and new places, not the
// whole frame.
TEST_F(CanvasFrameTurns, AScreenDrawnAgainAsItWasIsNotDrawnAnew) {
  ASSERT_NE(sink, nullptr);
  uint32_t observed = 0;
  backend.SetFrameObserver([&](host::HWND, const host::HeadlessSink&) { ++observed; });
  for (const int backend_wanted : {kBackendGdi, kBackendDirectDraw}) {
    SCOPED_TRACE(backend_wanted);
    DisplayManager manager;
    CanvasLayer* canvas = nullptr;
    ASSERT_EQ(manager.CreateCanvasLayer(&canvas, 64, 48, 32, kLayerComposed), kDisplayDone);
    // A window made before the screen has its canvas keeps a DirectDraw back buffer, as a game
    // that sets its screen after start-up has.
    const bool canvasFirst = backend_wanted == kBackendGdi;
    if (canvasFirst) manager.SetScreenSurface(canvas);
    ASSERT_EQ(manager.SetCanvasSize(64, 48), kDisplayDone);
    ASSERT_EQ(manager.SetMode(window, true, false), kDisplayDone);
    if (!canvasFirst) manager.SetScreenSurface(canvas);
    ASSERT_EQ(manager.GetBackend(), backend_wanted);
    CompositionLayer& composition = *canvas->GetCompositionLayer();
    composition.SetBackgroundColor(0x336699, true);
    ColorRectObject* box = nullptr;
    ASSERT_EQ(manager.CreateColorRect(&box, 8, 6, 0xFFC08040, 4, 4), kDisplayDone);
    composition.GetList().Add(box, 100, 0);

    ASSERT_EQ(manager.UpdateBackBuffer(), kDisplayDone);
    ASSERT_TRUE(sink->PresentPending());
    const uint32_t shown = sink->FramesShown(), drawn = sink->FramesDrawn();
    for (int turn = 0; turn < 3; ++turn) {
      composition.InvalidateAll();
      ASSERT_EQ(manager.UpdateBackBuffer(), kDisplayDone);
      ASSERT_TRUE(sink->PresentPending());
    }
    EXPECT_EQ(sink->FramesShown(), shown + 3) << "each turn still counts";
    EXPECT_EQ(observed, sink->FramesShown()) << "the observer hears of every turn";
    EXPECT_EQ(sink->FramesDrawn(), drawn) << "the same picture was drawn again";

    box->SetPos(40, 30);
    ASSERT_EQ(manager.UpdateBackBuffer(), kDisplayDone);
    ASSERT_TRUE(sink->PresentPending());
    EXPECT_EQ(sink->FramesDrawn(), drawn + 1);
    const host::Rect changed = sink->LastChanged();
    EXPECT_TRUE(changed.left <= 4 && changed.top <= 4 && changed.right >= 48 &&
                changed.bottom >= 36)
        << "the box's old and new places";
    EXPECT_LT(int64_t{changed.Width()} * changed.Height(), 64 * 48) << "not the whole frame";
    const host::Frame& frame = sink->LastFrame();
    for (int y = 0; y < 48; ++y) {
      ASSERT_EQ(std::memcmp(frame.bgra.data() + y * 64 * 4, canvas->GetRowPointer(y), 64 * 4), 0)
          << "row " << y << " differs from the canvas";
    }
    manager.DestroySprite(box);
  }
}

}  // namespace
}  // namespace bw
