#include "host/d3d/rasteriser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "host/d3d/direct3d.h"
#include "host/surface/surface_test_util.h"
#include "support/failing_allocation.h"

namespace bw::host {
namespace {

using test::Argb32, test::Fill, test::Get, test::Put;

std::unique_ptr<MemorySurface> RandomTexture(int w, int h, std::mt19937& rng) {
  auto t = MemorySurface::Create(w, h, Argb32());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Put(*t, x, y, uint32_t(rng()));
  return t;
}

struct Vertex {
  float x, y, z, rhw, u, v;
};

// The presentation quad: (x0, y0) to (x1, y1) showing the whole texture.
void DrawQuad(D3dDevice& device, float x0, float y0, float x1, float y1) {
  const Vertex quad[4] = {
      {x0, y0, 0, 1, 0, 0}, {x1, y0, 0, 1, 1, 0}, {x0, y1, 0, 1, 0, 1}, {x1, y1, 0, 1, 1, 1}};
  ASSERT_EQ(device.BeginScene(), kDdOk);
  ASSERT_EQ(device.DrawPrimitive(kPrimitiveTriangleStrip, kFvfXyzRhw | kFvfTex1, quad, 4, 0),
            kDdOk);
  ASSERT_EQ(device.EndScene(), kDdOk);
}

uint32_t Texel(const MemorySurface& t, int x, int y) {
  return Get(t, std::clamp(x, 0, t.Width() - 1), std::clamp(y, 0, t.Height() - 1));
}

// Per-pixel reference of the quad at (x0, y0) of size (w, h) for target pixel (x, y).
uint32_t Expected(const MemorySurface& t, bool linear, int x0, int y0, int w, int h, int x, int y) {
  const double u = (x + 0.5 - x0) / w, v = (y + 0.5 - y0) / h;
  if (!linear) return Texel(t, int(std::floor(u * t.Width())), int(std::floor(v * t.Height())));
  const double fx = u * t.Width() - 0.5, fy = v * t.Height() - 0.5;
  const int ix = int(std::floor(fx)), iy = int(std::floor(fy));
  const double ax = fx - ix, ay = fy - iy;
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    auto c = [&](int dx, int dy) { return double(Texel(t, ix + dx, iy + dy) >> shift & 0xFF); };
    const double sum = c(0, 0) * (1 - ax) * (1 - ay) + c(1, 0) * ax * (1 - ay) +
                       c(0, 1) * (1 - ax) * ay + c(1, 1) * ax * ay;
    out |= uint32_t(sum + 0.5) << shift;
  }
  return out;
}

bool Near(uint32_t a, uint32_t b) {
  for (int shift = 0; shift < 32; shift += 8) {
    if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > 1) return false;
  }
  return true;
}

class QuadTest : public testing::Test {
 protected:
  void SetUp() override {
    directDraw = DirectDraw::Create(nullptr);
    direct3d = std::make_unique<Direct3D>(directDraw.get());
  }
  std::unique_ptr<D3dDevice> Device(MemorySurface* target, bool linear) {
    std::unique_ptr<D3dDevice> device;
    EXPECT_EQ(direct3d->CreateDevice(kIidDirect3DHalDevice, target, &device), kDdOk);
    const uint32_t filter = linear ? kTfgLinear : kTfgPoint;
    EXPECT_EQ(0, device->SetTextureStageState(0, kTssMagFilter, filter));
    EXPECT_EQ(0, device->SetTextureStageState(0, kTssMinFilter, filter));
    EXPECT_EQ(0, device->SetTextureStageState(0, kTssAddress, kTaddressClamp));
    EXPECT_EQ(0, device->SetTextureStageState(0, kTssColorOp, kTopSelectArg1));
    EXPECT_EQ(0, device->SetTextureStageState(0, kTssAlphaOp, kTopSelectArg1));
    return device;
  }
  std::unique_ptr<DirectDraw> directDraw;
  std::unique_ptr<Direct3D> direct3d;
  std::mt19937 rng{11};
};

// At 1:1 texel centres come out exactly in both filters; scaled, the filters follow the reference.
TEST_F(QuadTest, QuadsFollowTheReferenceAndStayInside) {
  for (int scaled : {0, 1}) {
    for (bool linear : {false, true}) {
      SCOPED_TRACE(testing::Message() << (linear ? "linear" : "point") << " scaled " << scaled);
      auto texture = scaled ? RandomTexture(3, 5, rng) : RandomTexture(8, 6, rng);
      auto target = MemorySurface::Create(10, 8, Argb32());
      Fill(*target, 0x01020304);
      auto device = Device(target.get(), linear);
      EXPECT_EQ(0, device->SetTexture(0, texture.get()));
      DrawQuad(*device, 1, 1, 9, 7);
      for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 10; ++x) {
          const uint32_t got = Get(*target, x, y);
          if (x < 1 || x >= 9 || y < 1 || y >= 7) {
            ASSERT_EQ(got, 0x01020304u) << "outside the quad " << x << "," << y;
          } else if (linear && scaled) {
            const uint32_t want = Expected(*texture, true, 1, 1, 8, 6, x, y);
            ASSERT_TRUE(Near(got, want))
                << std::hex << got << " vs " << want << " at " << std::dec << x << "," << y;
          } else {
            ASSERT_EQ(got, Expected(*texture, false, 1, 1, 8, 6, x, y)) << x << "," << y;
          }
        }
      }
    }
  }
}

TEST_F(QuadTest, KeyedTexelsLeaveTheTargetWhenKeyingIsOn) {
  for (bool linear : {false, true}) {
    SCOPED_TRACE(linear ? "linear" : "point");
    auto texture = MemorySurface::Create(2, 1, Argb32());
    Put(*texture, 0, 0, 0xFF00FF00u);
    Put(*texture, 1, 0, 0xFFFF0000u);
    const DdColorKey key{0xFF00FF00u, 0xFF00FF00u};
    EXPECT_EQ(0, texture->SetColorKey(kDdCKeySrcBlt, &key));
    auto target = MemorySurface::Create(2, 1, Argb32());
    auto device = Device(target.get(), linear);
    EXPECT_EQ(0, device->SetTexture(0, texture.get()));
    DrawQuad(*device, 0, 0, 2, 1);
    EXPECT_EQ(Get(*target, 0, 0), 0xFF00FF00u) << "keying off: the key colour is drawn";
    Fill(*target, 0x12345678);
    EXPECT_EQ(0, device->SetRenderState(kRsColorKeyEnable, 1));
    DrawQuad(*device, 0, 0, 2, 1);
    EXPECT_EQ(Get(*target, 0, 0), 0x12345678u) << "keyed texel skipped";
    EXPECT_EQ(Get(*target, 1, 0), 0xFFFF0000u);
  }
}

TEST_F(QuadTest, HostileVerticesStayInsideTheViewportAndTheDeviceRefusesWhatItDoesNotDraw) {
  auto texture = RandomTexture(2, 2, rng);
  auto target = MemorySurface::Create(8, 8, Argb32());
  auto device = Device(target.get(), true);
  EXPECT_EQ(0, device->SetTexture(0, texture.get()));
  ASSERT_EQ(device->SetViewport({2, 2, 4, 4, 0, 1}), kDdOk);
  const float nan = std::nanf("");
  const Vertex wild[5] = {{-1e30f, -1e30f, 0, 1, nan, 0},
                          {1e30f, -1e30f, 0, 0, 1e30f, 0},
                          {-1e30f, 1e30f, 0, 1, 0, 1},
                          {1e30f, 1e30f, 0, 1, 1, 1},
                          {nan, 3, 0, 1, 0, 0}};
  EXPECT_EQ(device->DrawPrimitive(kPrimitiveTriangleStrip, kFvfXyzRhw | kFvfTex1, wild, 5, 0),
            kD3dErrSceneNotInScene);
  ASSERT_EQ(device->BeginScene(), kDdOk);
  EXPECT_EQ(device->DrawPrimitive(0, kFvfXyzRhw | kFvfTex1, wild, 5, 0),
            kD3dErrInvalidPrimitiveType);
  EXPECT_EQ(device->DrawPrimitive(kPrimitiveTriangleStrip, 0x2 | kFvfTex1, wild, 5, 0),
            kD3dErrInvalidVertexFormat);
  EXPECT_EQ(device->DrawPrimitive(kPrimitiveTriangleStrip, kFvfXyzRhw | kFvfTex1, wild, 5, 0),
            kDdOk);
  EXPECT_EQ(0, device->EndScene());
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      if (x >= 2 && x < 6 && y >= 2 && y < 6) continue;
      ASSERT_EQ(Get(*target, x, y), 0u) << "outside the viewport " << x << "," << y;
    }
  EXPECT_EQ(device->SetViewport({6, 0, 4, 4, 0, 1}), kDdErrInvalidParams);

  ASSERT_EQ(device->BeginScene(), kDdOk);
  target->SetLost(true);
  EXPECT_EQ(device->DrawPrimitive(kPrimitiveTriangleStrip, kFvfXyzRhw | kFvfTex1, wild, 5, 0),
            kDdErrSurfaceLost);
  auto palettised = MemorySurface::Create(4, 4, DdPixelFormat{32, 0x20, 0, 8, 0, 0, 0, 0});
  std::unique_ptr<D3dDevice> none;
  EXPECT_EQ(direct3d->CreateDevice(kIidDirect3DHalDevice, palettised.get(), &none),
            kDdErrInvalidPixelFormat);
  bw::test::FailingAllocations failing;
  EXPECT_EQ(direct3d->CreateDevice(kIidDirect3DHalDevice, target.get(), &none), kDdErrOutOfMemory);
}

struct Lit {
  float x, y, z, rhw;
  uint32_t diffuse;
};

// Untextured, drawing the diffuse colour: fan triangles share edges, and blending at half
// strength over black shows any pixel drawn twice.
TEST_F(QuadTest, OverlapsBlendOnceAndFlatFansTakeTheSecondVertex) {
  auto target = MemorySurface::Create(8, 8, Argb32());
  auto device = Device(target.get(), false);
  EXPECT_EQ(0, device->SetTextureStageState(0, kTssColorArg1, kTaDiffuse));
  EXPECT_EQ(0, device->SetTextureStageState(0, kTssAlphaArg1, kTaDiffuse));
  EXPECT_EQ(0, device->SetRenderState(kRsAlphaBlendEnable, 1));
  EXPECT_EQ(0, device->SetRenderState(kRsSrcBlend, kBlendSrcAlpha));
  EXPECT_EQ(0, device->SetRenderState(kRsDestBlend, kBlendInvSrcAlpha));
  EXPECT_EQ(0, device->SetRenderState(kRsShadeMode, kShadeFlat));
  const uint32_t half = 0x80FF0000u;
  const Lit fan[6] = {{4, 4, 0, 1, half}, {0, 0, 0, 1, half}, {8, 0, 0, 1, 0x8000FF00u},
                      {8, 8, 0, 1, half}, {0, 8, 0, 1, half}, {0, 0, 0, 1, half}};
  EXPECT_EQ(0, device->BeginScene());
  ASSERT_EQ(device->DrawPrimitive(kPrimitiveTriangleFan, kFvfXyzRhw | kFvfDiffuse, fan, 6, 0),
            kDdOk);
  EXPECT_EQ(0, device->EndScene());
  EXPECT_EQ(Get(*target, 4, 0) & 0xFFFFFF, 0x800000u) << "top triangle: red of vertex 1";
  EXPECT_EQ(Get(*target, 7, 4) & 0xFFFFFF, 0x008000u) << "right triangle: green of vertex 2";
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const uint32_t c = Get(*target, x, y) & 0xFFFFFF;
      ASSERT_TRUE(c == 0x800000u || c == 0x008000u) << x << "," << y << " " << std::hex << c;
    }
}

}  // namespace
}  // namespace bw::host
