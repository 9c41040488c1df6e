#include "graphics/device/display_manager.h"

#include <gtest/gtest.h>

#include <cstring>

#include "graphics/device/direct3d_fixture.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/layers/fake_filter.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "host/gdi/memory_dc.h"
#include "host/headless/headless_backend.h"
#include "host/message_queue.h"

namespace bw {
namespace {

class DisplayManagerTest : public testing::Test {
 protected:
  DisplayManagerTest() {
    host::DesktopInfo desktop;
    desktop.width = 1920;
    desktop.height = 1080;
    desktop.bitsPerPixel = 32;
    desktop.monitors = {{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}},
                        {{1920, 0, 4480, 1440}, {1920, 0, 4480, 1400}}};
    backend_.SetDesktop(desktop);
    host::WindowDesc desc;
    desc.proc = host::DefWindowProc;
    desc.native = true;
    desc.nativeDesc = host::NativeWindowDesc{"display", 64, 48, true};
    window_ = host::CreateWindow(desc);
    sink_ = static_cast<host::HeadlessSink*>(host::GetPresentationSink(window_));
  }
  ~DisplayManagerTest() override {
    manager_.reset();
    host::DestroyWindow(window_);
    host::SetDisplayModeSize(640, 480);
  }

  // Shows what was handed over; answers whether a frame came.
  bool Shown() { return sink_->PresentPending(); }
  uint32_t FramePixel(int x, int y) const {
    const host::Frame& f = sink_->LastFrame();
    uint32_t v;
    std::memcpy(&v, f.bgra.data() + (size_t(y) * size_t(f.width) + size_t(x)) * 4, 4);
    return v & 0xFFFFFF;
  }
  CanvasLayer* MakeCanvas(int32_t w, int32_t h) {
    CanvasLayer* canvas = nullptr;
    EXPECT_EQ(manager_->CreateCanvasLayer(&canvas, w, h, 32, kLayerComposed), kDisplayDone);
    if (canvas) manager_->SetScreenSurface(canvas);
    return canvas;
  }

  host::HeadlessBackend backend_;
  host::ScopedBackend use_{&backend_};
  host::HWND window_;
  host::HeadlessSink* sink_ = nullptr;
  ScopedPixelLibrary library_{&BuiltInPixelLibrary()};
  std::unique_ptr<DisplayManager> manager_ = std::make_unique<DisplayManager>();
};

TEST_F(DisplayManagerTest, TheTexturePathScalesSmoothlyAndSurvivesALostBackBuffer) {
  CanvasLayer* canvas = MakeCanvas(64, 48);
  ASSERT_NE(canvas, nullptr);
  manager_->SetTextureRequest(kTextureAlways, true);
  ASSERT_EQ(manager_->SetMode(window_, true, false), kDisplayDone);
  ASSERT_EQ(manager_->GetBackend(), kBackendDirect3D);
  canvas->GetCompositionLayer()->SetBackgroundColor(0x00FF00, true);
  ASSERT_EQ(manager_->UpdateBackBuffer(), kDisplayDone);
  ASSERT_TRUE(Shown());
  EXPECT_EQ(sink_->LastFrame().filter, host::ScaleFilter::kLinear);
  EXPECT_EQ(FramePixel(10, 10), 0x00FF00u);
  EXPECT_EQ(FramePixel(63, 47), 0x00FF00u);

  canvas->GetCompositionLayer()->SetBackgroundColor(0x0000FF, true);
  manager_->GetBackBuffer()->SetLost(true);
  EXPECT_EQ(manager_->UpdateBackBuffer(), kDisplayDone) << "a lost surface never stops the frame";
  EXPECT_FALSE(manager_->GetLock().IsHeldByCurrentThread());
  EXPECT_EQ(manager_->GetBackBuffer()->IsLost(), host::kDdOk);
  Shown();
  ASSERT_EQ(manager_->UpdateBackBuffer(), kDisplayDone);
  ASSERT_TRUE(Shown()) << "the next frame copies the whole canvas again";
  EXPECT_EQ(FramePixel(10, 10), 0x0000FFu);
}

TEST_F(DisplayManagerTest, RestoresLostSurfacesAndCopiesTheCanvasAgain) {
  ASSERT_EQ(manager_->SetCanvasSize(64, 48), kDisplayDone);
  ASSERT_EQ(manager_->SetMode(window_, true, false), kDisplayDone);
  EXPECT_EQ(manager_->RestoreLostSurfaces(), kDisplayDone);
  manager_->SetBorderColor(1, 2, 3);
  ASSERT_EQ(manager_->ClearBackBuffer(), kDisplayDone);
  ASSERT_EQ(manager_->Present(), kDisplayDone);
  ASSERT_TRUE(Shown());
  EXPECT_EQ(FramePixel(0, 0), 0x010203u);

  manager_->GetPrimary()->SetLost(true);
  EXPECT_EQ(manager_->Present(), kPresentLost);
  EXPECT_EQ(manager_->RestoreLostSurfaces(), kDisplayDone);
  EXPECT_EQ(manager_->GetPrimary()->IsLost(), host::kDdOk);
  EXPECT_EQ(manager_->Present(), kDisplayDone);

  manager_->SetTextureRequest(kTextureAlways, true);
  CanvasLayer* canvas = MakeCanvas(64, 48);
  ASSERT_EQ(manager_->SetMode(window_, true, false), kDisplayDone);
  canvas->GetCompositionLayer()->SetBackgroundColor(0xABCDEF, true);
  ASSERT_EQ(manager_->UpdateBackBuffer(), kDisplayDone);
  manager_->GetPresentationTexture()->SetLost(true);
  ASSERT_EQ(manager_->RestoreLostSurfaces(), kDisplayDone);
  host::DdSurfaceDesc locked;
  ASSERT_EQ(manager_->GetPresentationTexture()->Lock(&locked), host::kDdOk);
  uint32_t texel;
  std::memcpy(&texel, locked.surface + 5 * locked.pitch + 5 * 4, 4);
  manager_->GetPresentationTexture()->Unlock();
  EXPECT_EQ(texel & 0xFFFFFF, 0xABCDEFu) << "the restored texture holds the whole canvas again";
}

TEST_F(DisplayManagerTest, ADestroyedLayerLeavesNoLinkOrTwoLayerFilterBehind) {
  CanvasLayer* survivor = nullptr;
  CanvasLayer* partner = nullptr;
  ASSERT_EQ(manager_->CreateCanvasLayer(&survivor, 8, 8, 32, kLayerComposed), kDisplayDone);
  ASSERT_EQ(manager_->CreateCanvasLayer(&partner, 8, 8, 32, kLayerComposed), kDisplayDone);
  ASSERT_EQ(survivor->SetLinkedLayer(partner), kLayerDone);
  ASSERT_EQ(partner->SetLinkedLayer(survivor), kLayerDone);
  int deleted = 0;
  // Applying this filter on detach would swap the survivor's objects into the dying layer.
  ASSERT_EQ(survivor->AttachSource(new testing_layers::FakeFilter(0, &deleted), kAttachExchangeObjects, true, false),
            kLayerDone);
  CompositionLayer* own = survivor->GetCompositionLayer();

  ASSERT_EQ(manager_->DestroyLayer(partner), 0);
  EXPECT_EQ(survivor->GetLinkedLayer(), nullptr);
  EXPECT_FALSE(survivor->HasSource());
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(survivor->GetCompositionLayer(), own) << "detached without applying";

  // All at once: the links between dying layers are dropped before either goes.
  ASSERT_EQ(manager_->CreateCanvasLayer(&partner, 8, 8, 32, kLayerComposed), kDisplayDone);
  ASSERT_EQ(survivor->SetLinkedLayer(partner), kLayerDone);
  ASSERT_EQ(partner->SetLinkedLayer(survivor), kLayerDone);
  ASSERT_EQ(partner->AttachSource(new testing_layers::FakeFilter(0, &deleted), kAttachExchangeObjects,
                                   true, false),
            kLayerDone);
  manager_->DestroyAllLayers();
  EXPECT_EQ(deleted, 2);
}

}  // namespace
}  // namespace bw
