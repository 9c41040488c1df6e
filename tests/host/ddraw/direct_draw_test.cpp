#include "host/ddraw/direct_draw.h"

#include <gtest/gtest.h>

#include "host/d3d/direct3d.h"
#include "host/headless/headless_backend.h"
#include "host/message_queue.h"
#include "host/surface/surface_test_util.h"

namespace bw::host {
namespace {

TEST(DirectDraw, ThePrimaryIsTheWindowsPicture) {
  struct ModeSize {
    ModeSize() { SetDisplayModeSize(800, 600); }
    ~ModeSize() { SetDisplayModeSize(640, 480); }
  } modeSize;
  std::unique_ptr<DirectDraw> dd = DirectDraw::Create(nullptr);
  ASSERT_NE(dd, nullptr);
  HeadlessBackend backend;
  ScopedGlobal<Backend> use(&backend);
  WindowDesc window;
  window.proc = &DefWindowProc;
  window.native = true;
  window.nativeDesc.width = 800, window.nativeDesc.height = 600;
  const HWND hwnd = CreateWindow(window);
  ASSERT_TRUE(hwnd);
  ASSERT_EQ(dd->SetCooperativeLevel(hwnd, kDdsclExclusive | kDdsclFullScreen), kDdOk);
  ASSERT_EQ(dd->SetDisplayMode(800, 600, 16, 60, 0), kDdOk);
  EXPECT_TRUE(backend.Window(hwnd)->fullScreen) << "full screen is the window over the desktop";

  // A primary surface with one back buffer.
  DdSurfaceDesc chain;
  chain.flags = kDdsdCaps | kDdsdBackBufferCount;
  chain.caps = kDdsCapsPrimarySurface | kDdsCapsComplex | kDdsCapsFlip;
  chain.backBufferCount = 1;
  std::unique_ptr<MemorySurface> primary;
  ASSERT_EQ(dd->CreateSurface(chain, &primary), kDdOk);
  test::Fill(*primary->GetAttachedSurface(), 0x001F);  // blue in 565
  ASSERT_EQ(primary->Flip(kDdFlipWait), kDdOk);
  const HeadlessSink* sink = backend.Window(hwnd)->sink.get();
  EXPECT_EQ(sink->FramesShown(), 0u) << "the flip only hands the frame over";
  backend.PumpEvents();
  ASSERT_EQ(sink->FramesShown(), 1u);
  ASSERT_EQ(sink->LastFrame().width, 800);
  EXPECT_EQ(sink->LastFrame().bgra[0], 255) << "blue";
  EXPECT_EQ(sink->LastFrame().bgra[2], 0) << "no red";

  ASSERT_EQ(dd->RestoreDisplayMode(), kDdOk);
  EXPECT_FALSE(backend.Window(hwnd)->fullScreen);
  DestroyWindow(hwnd);
}

}  // namespace
}  // namespace bw::host
