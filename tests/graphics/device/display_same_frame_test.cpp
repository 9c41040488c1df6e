#include <gtest/gtest.h>

#include "common/global.h"
#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/pixel_library.h"
#include "host/headless/headless_backend.h"
#include "host/message_queue.h"

namespace bw {
namespace {

// A canvas screen that did not change shows nothing new, yet the headless run places its scripted
// input by frames shown: each turn must still count, or a wait for a scripted click never ends.
TEST(CanvasFrameTurns, AnUnchangedCanvasStillCountsAsAShownFrame) {
  host::HeadlessBackend backend;
  ScopedGlobal<host::Backend> use{&backend};
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  host::WindowDesc desc;
  desc.proc = host::DefWindowProc;
  desc.native = true;
  desc.nativeDesc = host::NativeWindowDesc{"display", 32, 24, true};
  const host::HWND window = host::CreateWindow(desc);
  auto* sink = static_cast<host::HeadlessSink*>(host::GetPresentationSink(window));
  ASSERT_NE(sink, nullptr);
  uint32_t observed = 0;
  backend.SetFrameObserver([&](host::HWND, const host::HeadlessSink&) { ++observed; });
  {
    DisplayManager manager;
    CanvasLayer* canvas = nullptr;
    ASSERT_EQ(manager.CreateCanvasLayer(&canvas, 32, 24, 32, kLayerComposed), kDisplayDone);
    manager.SetScreenSurface(canvas);
    ASSERT_EQ(manager.SetMode(window, true, false), kDisplayDone);
    canvas->GetCompositionLayer()->SetBackgroundColor(0x336699, true);

    ASSERT_EQ(manager.UpdateBackBuffer(), kDisplayDone);
    ASSERT_TRUE(sink->PresentPending());
    const uint64_t hash = sink->FrameHash();
    for (int turn = 0; turn < 3; ++turn) {
      ASSERT_EQ(manager.UpdateBackBuffer(), kDisplayDone);
      ASSERT_TRUE(sink->PresentPending()) << "turn " << turn << " without a change";
    }
    EXPECT_EQ(sink->FramesShown(), 4u);
    EXPECT_EQ(observed, 4u) << "the observer hears of every turn";
    EXPECT_EQ(sink->FrameHash(), hash) << "the frame shown again is the last one";

    // A changed frame handed over before the pump stands for the same-frame turn.
    ASSERT_EQ(manager.UpdateBackBuffer(), kDisplayDone);
    canvas->GetCompositionLayer()->SetBackgroundColor(0x112233, true);
    ASSERT_EQ(manager.UpdateBackBuffer(), kDisplayDone);
    ASSERT_TRUE(sink->PresentPending());
    EXPECT_FALSE(sink->PresentPending());
    EXPECT_EQ(sink->FramesShown(), 5u);
    EXPECT_NE(sink->FrameHash(), hash);
  }
  host::DestroyWindow(window);
  host::SetDisplayModeSize(640, 480);
}

}  // namespace
}  // namespace bw
