#include "host/ddraw/direct_draw.h"

#include <gtest/gtest.h>

#include "host/d3d/direct3d.h"
#include "host/headless/headless_backend.h"
#include "host/message_queue.h"
#include "host/surface/surface_test_util.h"

namespace bw::host {
namespace {

// A creation request for a surface of the given size.
DdSurfaceDesc Sized(uint32_t caps, uint32_t width, uint32_t height) {
  DdSurfaceDesc desc;
  desc.flags = kDdsdCaps | kDdsdWidth | kDdsdHeight;
  desc.caps = caps;
  desc.width = width, desc.height = height;
  return desc;
}

// A primary surface with one back buffer.
DdSurfaceDesc PrimaryChain(uint32_t caps) {
  DdSurfaceDesc desc;
  desc.flags = kDdsdCaps | kDdsdBackBufferCount;
  desc.caps = kDdsCapsPrimarySurface | kDdsCapsComplex | caps;
  desc.backBufferCount = 1;
  return desc;
}

class DirectDrawTest : public testing::Test {
 protected:
  void SetUp() override {
    SetDisplayModeSize(800, 600);
    dd = DirectDraw::Create(nullptr);
    ASSERT_NE(dd, nullptr);
  }
  void TearDown() override { SetDisplayModeSize(640, 480); }
  std::unique_ptr<DirectDraw> dd;
};

TEST_F(DirectDrawTest, OffersOneHardwareDeviceAndRefusesOthers) {
  const Guid other{1, 2, 3, {}};
  EXPECT_EQ(DirectDraw::Create(&other), nullptr);
  const auto devices = Direct3D(dd.get()).EnumDevices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].guid, kIidDirect3DHalDevice);
  EXPECT_EQ(devices[0].desc.renderDepths, kDdbd16 | kDdbd32);
}

TEST_F(DirectDrawTest, ModesAreTheCanvasAtSixteenAndThirtyTwoBits) {
  const auto modes = dd->EnumDisplayModes();
  ASSERT_EQ(modes.size(), 2u);
  EXPECT_EQ(modes[0], (DdDisplayMode{800, 600, 16, 60}));
  EXPECT_EQ(modes[1], (DdDisplayMode{800, 600, 32, 60}));

  ASSERT_EQ(dd->SetCooperativeLevel(HWND{}, kDdsclNormal), kDdOk);
  EXPECT_EQ(dd->SetDisplayMode(800, 600, 16, 60, 0), kDdErrNoExclusiveMode);
  EXPECT_EQ(dd->SetCooperativeLevel(HWND{}, kDdsclExclusive | kDdsclFullScreen), kDdErrInvalidParams)
      << "exclusive needs a window";
  ASSERT_EQ(dd->SetCooperativeLevel(HWND{7}, kDdsclExclusive | kDdsclFullScreen), kDdOk);
  EXPECT_EQ(dd->SetDisplayMode(1024, 768, 16, 0, 0), kDdErrInvalidMode);
  EXPECT_EQ(dd->SetDisplayMode(800, 600, 24, 0, 0), kDdErrInvalidMode);
  EXPECT_EQ(dd->SetDisplayMode(800, 600, 16, 75, 0), kDdErrInvalidMode);
  ASSERT_EQ(dd->SetDisplayMode(800, 600, 16, 0, 0), kDdOk);
  DdDisplayMode mode;

  // Surfaces without a format take the display's.
  std::unique_ptr<MemorySurface> surface;
  ASSERT_EQ(dd->CreateSurface(Sized(kDdsCapsOffscreenPlain, 10, 5), &surface), kDdOk);
  DdSurfaceDesc got;
  ASSERT_EQ(surface->GetSurfaceDesc(&got), kDdOk);
  EXPECT_EQ(got.pixelFormat.rBitMask, 0xF800u);
  EXPECT_EQ(got.pitch, 20);
  EXPECT_NE(got.caps & kDdsCapsVideoMemory, 0u);

  ASSERT_EQ(dd->SetCooperativeLevel(HWND{}, kDdsclNormal), kDdOk);
  dd->GetDisplayMode(&mode);
  EXPECT_EQ(mode.bitsPerPixel, 32) << "leaving exclusive mode gives the desktop back";
}

TEST_F(DirectDrawTest, CreatesPrimaryChainsTexturesAndDepthBuffers) {
  std::unique_ptr<MemorySurface> primary;
  EXPECT_EQ(dd->CreateSurface(PrimaryChain(0), &primary), kDdErrInvalidCaps)
      << "back buffers need FLIP";
  ASSERT_EQ(dd->CreateSurface(PrimaryChain(kDdsCapsFlip), &primary), kDdOk);
  ASSERT_NE(primary->GetAttachedSurface(), nullptr);

  DdSurfaceDesc tex = Sized(kDdsCapsTexture | kDdsCapsSystemMemory, 3, 3);
  tex.flags |= kDdsdPixelFormat;
  tex.pixelFormat.flags = kDdpfRgb | kDdpfAlphaPixels;
  tex.pixelFormat.rgbBitCount = 16;
  tex.pixelFormat.rBitMask = 0x0F00, tex.pixelFormat.gBitMask = 0xF0, tex.pixelFormat.bBitMask = 0xF;
  tex.pixelFormat.rgbAlphaBitMask = 0xF000;
  std::unique_ptr<MemorySurface> texture;
  ASSERT_EQ(dd->CreateSurface(tex, &texture), kDdOk);
  DdSurfaceDesc got;
  texture->GetSurfaceDesc(&got);
  EXPECT_EQ(got.caps & kDdsCapsVideoMemory, 0u);
  EXPECT_EQ(got.pixelFormat.rgbAlphaBitMask, 0xF000u);

  std::unique_ptr<MemorySurface> depth;
  ASSERT_EQ(dd->CreateSurface(Sized(kDdsCapsZBuffer, 4, 4), &depth), kDdOk);
  DdSurfaceDesc missing = Sized(kDdsCapsOffscreenPlain, 0, 0);
  missing.flags = kDdsdCaps;
  EXPECT_EQ(dd->CreateSurface(missing, &depth), kDdErrInvalidParams);
  EXPECT_EQ(depth, nullptr);
}

TEST_F(DirectDrawTest, ThePrimaryIsTheWindowsPicture) {
  HeadlessBackend backend;
  ScopedBackend use(&backend);
  WindowDesc window;
  window.proc = &DefWindowProc;
  window.native = true;
  window.nativeDesc.width = 800, window.nativeDesc.height = 600;
  const HWND hwnd = CreateWindow(window);
  ASSERT_TRUE(hwnd);
  ASSERT_EQ(dd->SetCooperativeLevel(hwnd, kDdsclExclusive | kDdsclFullScreen), kDdOk);
  ASSERT_EQ(dd->SetDisplayMode(800, 600, 16, 60, 0), kDdOk);
  EXPECT_TRUE(backend.Window(hwnd)->fullScreen) << "full screen is the window over the desktop";

  std::unique_ptr<MemorySurface> primary;
  ASSERT_EQ(dd->CreateSurface(PrimaryChain(kDdsCapsFlip), &primary), kDdOk);
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
