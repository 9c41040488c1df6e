// The devices the device, surface and layer tests draw with, published as the display device: a
// DirectDraw device with an 8 x 8 target, and a Direct3D device drawing onto a 16 x 16 one.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "common/global.h"
#include "graphics/device/direct3d_device.h"
#include "graphics/device/direct_draw_device.h"
#include "graphics/device/render_list.h"
#include "host/surface/surface_test_util.h"
#include "platform/trig_tables.h"

namespace bw::testing_devices {

// The colour of pixel (x, y) of a 32-bit surface, alpha dropped.
inline uint32_t Rgb(const host::MemorySurface& s, int x, int y) {
  return host::test::Get(s, x, y) & 0xFFFFFF;
}

class DirectDrawTarget : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(device.Create(false, false, nullptr, nullptr, 0, true, 640, 480), 0);
    dest = host::MemorySurface::Create(8, 8, host::DirectDraw::DisplayFormat(32));
  }
  void TearDown() override { SetExclusiveModeLatched(false); }
  DirectDrawDevice device;
  ScopedGlobal<DirectDrawDevice> display{&device};
  std::unique_ptr<host::MemorySurface> dest;
  const Rect clip{0, 0, 8, 8};
};

class Direct3DTarget : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(device.DirectDrawDevice::Create(false, true, nullptr, nullptr, 0, true, 0, 0), 0);
    target = host::MemorySurface::Create(16, 16, host::DirectDraw::DisplayFormat(32));
    ASSERT_EQ(device.Create(target.get(), nullptr, false), 0);
  }
  void TearDown() override {
    (void)device.SetTexture(nullptr);
    device.Release();
    FreeDirectDrawDeviceList();
    host::ResetHalDeviceDesc();
  }
  // Makes the device again as one that reports these texture limits.
  void UseTextureLimits(uint32_t textureCaps, uint32_t maxSide) {
    host::D3dDeviceDesc desc = host::HalDeviceDesc();
    desc.textureCaps = textureCaps;
    desc.maxTextureWidth = desc.maxTextureHeight = maxSide;
    host::SetHalDeviceDesc(desc);
    ASSERT_EQ(device.Create(target.get(), nullptr, false), 0);
  }
  uint32_t Shown(int x, int y) const { return Rgb(*target, x, y); }
  int DrawOne(RenderItem* item) {
    RenderList list;
    (void)list.Insert(item, 0, 0);
    return list.DrawAll(target.get(), nullptr, &device);
  }
  Direct3DDevice device;
  ScopedGlobal<DirectDrawDevice> display{&device};
  ScopedGlobal<Direct3DDevice> display3d{&device};
  std::unique_ptr<host::MemorySurface> target;
  TrigTables trig;
  ScopedGlobal<TrigTables> trigScope{&trig};
};

}  // namespace bw::testing_devices
