#include "graphics/device/direct3d_device.h"

#include <gtest/gtest.h>

#include "common/global.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/directdraw_image_surface.h"

namespace bw {
namespace {

class DeviceTest : public testing::Test {
 protected:
  void SetUp() override {
    host::SetDisplayModeSize(320, 240);
    SetExclusiveModeLatched(false);
  }
  void TearDown() override {
    host::SetDisplayModeSize(640, 480);
    SetExclusiveModeLatched(false);
  }
};

TEST_F(DeviceTest, ModeSwitchFallsBackToExclusiveAndStaysThere) {
  DirectDrawDevice device;
  ASSERT_EQ(device.Create(false, false, nullptr, nullptr, 0, true, 320, 240), 0);
  EXPECT_EQ(device.SetDisplayMode(host::HWND{3}, 320, 240, 24, true), kModeDepthNotAllowed);
  ASSERT_EQ(device.SetDisplayMode(host::HWND{3}, 320, 240, 16, true), 0);
  EXPECT_TRUE(ExclusiveModeLatched()) << "the normal level refused the mode";
  EXPECT_EQ(device.DisplayDepth(), 16);
  EXPECT_EQ(device.SetDisplayMode(host::HWND{3}, 320, 240, 16, true), kModeNoDirectDrawOrSameDepth);

  ASSERT_EQ(device.RestoreMode(true), 0);
  EXPECT_EQ(device.CooperativeState(), kCoopNormal);
  ASSERT_EQ(device.SetDisplayMode(host::HWND{3}, 320, 240, 32, false), 0);
  EXPECT_EQ(device.CooperativeState(), kCoopExclusive) << "later switches go straight to exclusive";

  DirectDrawDevice none;
  EXPECT_EQ(none.SetDisplayMode(host::HWND{3}, 320, 240, 32, false), kModeNoDirectDrawOrSameDepth);
  EXPECT_EQ(none.RestoreMode(false), kRestoreNoDirectDraw);
}

class Direct3DTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    ASSERT_EQ(device.Create(false, true, nullptr, nullptr, 0, true, 320, 240), 0);
    target = host::MemorySurface::Create(16, 16, host::DirectDraw::DisplayFormat(32));
  }
  void TearDown() override {
    device.Release();
    FreeDirectDrawDeviceList();
    DeviceTest::TearDown();
  }
  Direct3DDevice device;
  std::unique_ptr<host::MemorySurface> target;
};

TEST_F(Direct3DTest, CacheSkipsRepeatsAndReappliesAfterARestore) {
  ASSERT_EQ(device.Create(target.get(), nullptr, false), 0);
  host::D3dDevice* d3d = device.GetDevice();
  int calls = d3d->StateCalls();
  ASSERT_EQ(device.SetCullMode(1), 0);
  ASSERT_EQ(device.SetCullMode(1), 0);
  EXPECT_EQ(d3d->StateCalls(), calls + 1) << "a repeated value is not sent";
  ASSERT_EQ(device.SetColorOp(2), 0);
  ASSERT_EQ(device.SetAlphaRef(0), 0);
  ASSERT_EQ(device.SetAlphaRef(0), 0);
  EXPECT_EQ(d3d->StateCalls(), calls + 4) << "alpha reference 0 counts as unknown";
  ASSERT_EQ(device.SetTextureFactor(0x80FFFFFF), 0);

  host::DirectDraw* dd = device.GetDirectDraw();
  ASSERT_NE(dd, nullptr);
  ScopedGlobal<DirectDrawDevice> display(&device);
  DirectDrawImageSurface texture;
  const host::DdPixelFormat format = *device.GetTextureFormat(kFormat8888);
  ASSERT_EQ(texture.Create(4, 4, false, true, &format), 0);
  ASSERT_EQ(device.SetTexture(&texture), 0);
  ASSERT_EQ(device.SetTexture(&texture), 0);
  EXPECT_EQ(d3d->StateCalls(), calls + 6) << "the bound surface is not bound again";
  EXPECT_EQ(d3d->GetTexture(0), texture.GetDirectDrawSurface());

  // A new device starts from its defaults: the cache sends every known value once.
  ASSERT_EQ(device.Create(target.get(), nullptr, false), 0);
  d3d = device.GetDevice();
  calls = d3d->StateCalls();
  ASSERT_EQ(device.RenderStateCache(), 0);
  EXPECT_EQ(d3d->StateCalls(), calls + 4) << "cull, colour op, texture factor and the texture";
  uint32_t factor = 0;
  EXPECT_EQ(0, d3d->GetRenderState(host::kRsTextureFactor, &factor));
  EXPECT_EQ(factor, 0x80FFFFFFu);
  EXPECT_EQ(d3d->GetTexture(0), texture.GetDirectDrawSurface());
  ASSERT_EQ(device.SetCullMode(1), 0);
  EXPECT_EQ(d3d->StateCalls(), calls + 4) << "and then skips again";

  d3d->SetRefusesStates(true);
  EXPECT_EQ(device.SetCullMode(2), kStateRefused);
  EXPECT_EQ(device.RenderStateCache(), kStateRefused);
}

}  // namespace
}  // namespace bw
