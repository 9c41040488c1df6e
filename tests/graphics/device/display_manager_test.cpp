#include "graphics/device/display_manager.h"

#include <gtest/gtest.h>

#include <cstring>

#include "graphics/layers/canvas_layer.h"
#include "graphics/layers/fake_filter.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/movie_frame_surface.h"
#include "graphics/layers/wgx_picture_layer.h"
#include "graphics/pixel/surface_rows.h"
#include "lib/wgx/wgx_writer.h"
#include "common/global.h"
#include "graphics/device/direct3d_fixture.h"
#include "graphics/pixel/pixel_library.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
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

TEST_F(DisplayManagerTest, LetterboxFillsTheWidthOrTheHeight) {
  ASSERT_EQ(manager_->SetCanvasSize(640, 480), kDisplayDone);
  EXPECT_EQ(manager_->ComputeDisplayRect(640, 480, false), kRectSameAsCanvas);
  EXPECT_FALSE(manager_->IsScaled());

  ASSERT_EQ(manager_->ComputeDisplayRect(1280, 1024, false), kDisplayDone);
  EXPECT_TRUE(manager_->IsScaled());
  EXPECT_TRUE(manager_->HasBars());
  EXPECT_EQ(manager_->DisplayRect(), (Rect{0, 32, 1280, 992}));
  EXPECT_EQ(manager_->Bar(0), (Rect{0, 0, 1280, 32}));
  EXPECT_EQ(manager_->Bar(1), (Rect{0, 992, 1280, 1024}));

  ASSERT_EQ(manager_->ComputeDisplayRect(1921, 1080, false), kDisplayDone);
  EXPECT_EQ(manager_->DisplayRect(), (Rect{240, 0, 1680, 1080})) << "odd margins halve by shifting";
  EXPECT_EQ(manager_->Bar(1), (Rect{1680, 0, 1921, 1080}));

  ASSERT_EQ(manager_->ComputeDisplayRect(1280, 960, false), kDisplayDone);
  EXPECT_TRUE(manager_->IsScaled());
  EXPECT_FALSE(manager_->HasBars());
  EXPECT_EQ(manager_->DisplayRect(), (Rect{0, 0, 1280, 960}));
  ASSERT_EQ(manager_->ComputeDisplayRect(1280, 960, true), kDisplayDone);
  EXPECT_FALSE(manager_->IsScaled()) << "same aspect, kept 1:1 when asked";
  EXPECT_EQ(manager_->ComputeDisplayRect(0, 960, false), kDisplayFailed);
  EXPECT_EQ(manager_->SetCanvasSize(0, 5), kDisplayFailed);
}

TEST_F(DisplayManagerTest, ListsOneRecordPerMonitorAndChoosesDepthAndDisplaySize) {
  MonitorList monitors;
  ASSERT_EQ(manager_->SetCanvasSize(640, 480), kDisplayDone);
  ASSERT_EQ(manager_->EnumerateDisplayDevices(&monitors, 640, 480, true), kDisplayDone);
  ASSERT_EQ(manager_->Devices().size(), 2u);
  const DisplayDeviceRecord& first = *manager_->Devices()[0];
  EXPECT_NE(first.description.find(" (Primary)"), std::string::npos);
  EXPECT_EQ(manager_->Devices()[1]->description.find(" (Primary)"), std::string::npos);
  EXPECT_EQ(first.modeWidth, 640);
  EXPECT_EQ(first.modeHeight, 480);
  EXPECT_TRUE(first.exactSize);
  EXPECT_EQ(first.depthFlags, 0x500u) << "16 and 32 bits";

  EXPECT_EQ(manager_->SelectDisplayDevice(true, kNoMonitor, 2, 32, nullptr), kDisplayFailed)
      << "an index past the end is refused";
  ASSERT_EQ(manager_->SelectDisplayDevice(true, kNoMonitor, 0, 24, nullptr), kDisplayDone);
  EXPECT_EQ(manager_->ChosenDepth(), 32) << "24 bits not offered: 32 first";
  EXPECT_TRUE(manager_->FullScreenWanted());
  EXPECT_FALSE(manager_->IsScaled()) << "an exact-size mode shows the canvas 1:1";

  MonitorHandle chosen = kNoMonitor;
  ASSERT_EQ(manager_->SelectDisplayDevice(false, kNoMonitor, 1, 16, &chosen), kDisplayDone);
  EXPECT_EQ(chosen, manager_->Devices()[1]->monitor);
  EXPECT_EQ(manager_->ChosenDepth(), 16);
  EXPECT_FALSE(manager_->FullScreenWanted());
  EXPECT_EQ(manager_->DisplayRect(), (Rect{320, 0, 2240, 1440}))
      << "the second monitor's 2560 x 1440 fills its height";

  // No mode of the canvas width: no size and no depth to offer.
  host::SetDisplayModeSize(800, 600);
  ASSERT_EQ(manager_->EnumerateDisplayDevices(&monitors, 640, 480, true), kDisplayDone);
  EXPECT_EQ(manager_->Devices()[0]->modeWidth, 0);
  EXPECT_EQ(manager_->SelectDisplayDevice(true, kNoMonitor, -1, 32, nullptr), kSelectNoDepth);
  EXPECT_EQ(manager_->EnumerateDisplayDevices(nullptr, 640, 480, true), kDisplayFailed);
}

TEST_F(DisplayManagerTest, WindowAndFullScreenSwitchesKeepTheirBookkeeping) {
  MonitorList monitors;
  EXPECT_EQ(manager_->SetMode(window_, true, false), kModeNoCanvasSize);
  ASSERT_EQ(manager_->SetCanvasSize(64, 48), kDisplayDone);
  ASSERT_EQ(manager_->EnumerateDisplayDevices(&monitors, 64, 48, true), kDisplayDone);
  ASSERT_EQ(manager_->SelectDisplayDevice(true, kNoMonitor, 0, 32, nullptr), kDisplayDone);

  // Without a canvas the render list draws into a DirectDraw back buffer.
  ASSERT_EQ(manager_->SetMode(window_, true, false), kDisplayDone);
  EXPECT_EQ(manager_->GetBackend(), kBackendDirectDraw);
  EXPECT_FALSE(manager_->HasFlipChain());

  ASSERT_EQ(manager_->SetMode(window_, false, true), kDisplayDone);
  EXPECT_EQ(manager_->ScreenState(), kScreenFull);
  EXPECT_TRUE(manager_->HasFlipChain());
  EXPECT_EQ(manager_->GetBackBuffer(), manager_->GetPrimary()->GetAttachedSurface());
  EXPECT_EQ(manager_->ShowGdiOverFullScreen(), 0);
  EXPECT_TRUE(manager_->GdiOverFullScreen());
  EXPECT_EQ(manager_->EndGdiOverFullScreen(), 0);

  ASSERT_EQ(manager_->SetMode(window_, true, false), kDisplayDone);
  EXPECT_EQ(manager_->ScreenState(), kScreenWindow);
  EXPECT_FALSE(manager_->HasFlipChain()) << "back in a window the chain is gone";

  // With a canvas a window is shown through GDI, and so is an unscaled full screen.
  ASSERT_NE(MakeCanvas(64, 48), nullptr);
  ASSERT_EQ(manager_->SetMode(window_, true, false), kDisplayDone);
  EXPECT_EQ(manager_->GetBackend(), kBackendGdi);
  EXPECT_EQ(manager_->GetBackBuffer(), nullptr);
  ASSERT_EQ(manager_->SetMode(window_, false, false), kDisplayDone);
  EXPECT_EQ(manager_->ScreenState(), kScreenFull);
  EXPECT_EQ(manager_->GetBackend(), kBackendGdi);
  EXPECT_FALSE(manager_->ScaledPresentation());
}

TEST_F(DisplayManagerTest, TheCanvasPathPresentsOnlyWhenSomethingChanged) {
  CanvasLayer* canvas = MakeCanvas(64, 48);
  ASSERT_NE(canvas, nullptr);
  ASSERT_EQ(manager_->SetMode(window_, true, false), kDisplayDone);
  canvas->GetCompositionLayer()->SetBackgroundColor(0x203040, true);
  ColorRectObject box;
  box.Create(8, 8, 0xFFFF8000u, 4, 4);
  canvas->GetCompositionLayer()->GetList().Add(&box, 0, 0);
  ASSERT_EQ(manager_->UpdateBackBuffer(), kDisplayDone);
  ASSERT_TRUE(Shown());
  EXPECT_EQ(sink_->LastFrame().filter, host::ScaleFilter::kNearest);
  EXPECT_EQ(FramePixel(5, 5), 0xFF8000u);
  EXPECT_EQ(FramePixel(40, 40), 0x203040u);

  ASSERT_EQ(manager_->UpdateBackBuffer(), kDisplayDone);
  EXPECT_FALSE(Shown()) << "nothing changed: nothing presented";
  EXPECT_FALSE(manager_->GetLock().IsHeldByCurrentThread()) << "every path gives the lock back";
  box.SetPos(30, 30);
  ASSERT_EQ(manager_->UpdateBackBuffer(), kDisplayDone);
  ASSERT_TRUE(Shown());
  EXPECT_EQ(FramePixel(5, 5), 0x203040u);
  EXPECT_EQ(FramePixel(31, 31), 0xFF8000u);

  auto section = host::DibSection::Create(64, 48, 32);
  host::MemoryDc dc;
  dc.Select(section.get());
  EXPECT_EQ(manager_->PaintRect(&dc, Rect{28, 28, 500, 500}), host::kDdOk);
  uint32_t painted;
  std::memcpy(&painted, section->Pixels() + 31 * section->Pitch() + 31 * 4, 4);
  EXPECT_EQ(painted & 0xFFFFFF, 0xFF8000u);
  std::memcpy(&painted, section->Pixels() + 5 * section->Pitch() + 5 * 4, 4);
  EXPECT_EQ(painted, 0u) << "outside the paint rectangle";
}

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

TEST_F(DisplayManagerTest, TheProbeChoosesTheTextureWhenStretchingDoesNotSmooth) {
  ASSERT_NE(MakeCanvas(64, 48), nullptr);
  manager_->SetTextureRequest(kTextureWhenNotSmoothed, false);
  ASSERT_EQ(manager_->SetMode(window_, true, false), kDisplayDone);
  EXPECT_EQ(manager_->ProbeResult(), kProbeNotRun) << "a window without the texture option uses GDI";
  EXPECT_EQ(manager_->GetBackend(), kBackendGdi);

  manager_->SetTextureRequest(kTextureWhenNotSmoothed, true);
  ASSERT_EQ(manager_->SetMode(window_, true, false), kDisplayDone);
  EXPECT_EQ(manager_->ProbeResult(), kProbeNoSmoothing) << "the software blitter stretches by nearest pixel";
  EXPECT_EQ(manager_->GetBackend(), kBackendDirect3D);
  EXPECT_FLOAT_EQ(manager_->Quad()[0].x, -0.5f) << "texel centres on pixel centres";
  EXPECT_FLOAT_EQ(manager_->Quad()[3].y, 47.5f);
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

// The engine switches without the Direct3D render device; only the test switch turns it on.
TEST_F(DisplayManagerTest, TheRenderListDrawsThroughTheRenderDeviceOnlyWhenAsked) {
  MonitorList monitors;
  ASSERT_EQ(manager_->SetCanvasSize(64, 48), kDisplayDone);
  ASSERT_EQ(manager_->EnumerateDisplayDevices(&monitors, 64, 48, true), kDisplayDone);
  ASSERT_EQ(manager_->SelectDisplayDevice(true, kNoMonitor, 0, 32, nullptr), kDisplayDone);
  D3DRectPrimitive* rect = nullptr;
  ASSERT_EQ(manager_->CreateD3DRectPrimitive(&rect, 8, 4, 0xFF00FF00u, 2, 3), 0);
  ASSERT_EQ(manager_->GetRenderList().Insert(rect, 1, 0), 0);

  ASSERT_EQ(manager_->SetMode(window_, true, false), kDisplayDone);
  EXPECT_EQ(manager_->GetDevice(), nullptr);
  EXPECT_EQ(manager_->DrawRenderList(), kRenderNoDevice);

  manager_->SetDirect3DRenderDevice(true);
  for (bool windowed : {true, false}) {
    SCOPED_TRACE(windowed ? "window" : "full screen");
    ASSERT_EQ(manager_->SetMode(window_, windowed, false), kDisplayDone);
    ASSERT_NE(manager_->GetDevice(), nullptr);
    EXPECT_EQ(manager_->GetDevice()->RenderTarget(), manager_->GetBackBuffer());
    ASSERT_EQ(manager_->ClearBackBuffer(), 0);
    ASSERT_EQ(manager_->DrawRenderList(), kRenderDone);
    EXPECT_EQ(testing_devices::Rgb(*manager_->GetBackBuffer(), 2, 3), 0x00FF00u);
    EXPECT_EQ(testing_devices::Rgb(*manager_->GetBackBuffer(), 9, 6), 0x00FF00u);
    EXPECT_EQ(testing_devices::Rgb(*manager_->GetBackBuffer(), 10, 6), 0u);
  }

  // A lost back buffer comes back with the device drawing on it again.
  manager_->GetBackBuffer()->SetLost(true);
  EXPECT_EQ(manager_->DrawRenderList(), kRenderPrimitiveFailed);
  ASSERT_EQ(manager_->RestoreLostSurfaces(), kDisplayDone);
  ASSERT_NE(manager_->GetDevice(), nullptr);
  ASSERT_EQ(manager_->DrawRenderList(), kRenderDone);
  EXPECT_EQ(testing_devices::Rgb(*manager_->GetBackBuffer(), 5, 5), 0x00FF00u);
}

TEST_F(DisplayManagerTest, CreateMethodsListTheirObjectsUnderTheOwnerValue) {
  D3DPolygonPrimitive* poly = reinterpret_cast<D3DPolygonPrimitive*>(1);
  int32_t ys[2] = {0, 0};
  EXPECT_EQ(manager_->CreateD3DPolygonPrimitive(&poly, 2, nullptr, ys, 0xFFFFFFFFu, 2, false),
            kPointsBadArgument) << "the initialisation's own code";
  EXPECT_EQ(poly, nullptr);
  EXPECT_EQ(manager_->RenderItemCount(), 0u);
  ScopedGlobal<DirectDrawDevice> display(manager_.get());
  MovieFrameSurface* frame = nullptr;
  EXPECT_EQ(manager_->CreateMovieFrameSurface(&frame, 32, 16), kFrameNoDirectDraw) << "no mode set yet";
  EXPECT_EQ(manager_->LayerCount(), 0u);
  ASSERT_EQ(manager_->SetCanvasSize(64, 48), kDisplayDone);
  ASSERT_EQ(manager_->SetMode(window_, true, false), kDisplayDone);
  ASSERT_EQ(manager_->CreateMovieFrameSurface(&frame, 32, 16), 0);
  EXPECT_NE(frame->GetMemory(), nullptr);
  DirectDrawImageSurface* blank = nullptr;
  EXPECT_EQ(manager_->CreateDirectDrawImage(&blank, 0, 4, true), kDdsNoDevice);
  ASSERT_EQ(manager_->CreateDirectDrawImage(&blank, 8, 4, true), 0);
  const std::vector<uint8_t> wgx = tools::WriteWgx({24, 2, 1, {0xFF0000u, 0x00FF00u}, {}, 5, 6, {}}, {1, {}});
  DirectDrawImageSurface* loaded = nullptr;
  ASSERT_EQ(manager_->CreateDirectDrawImageFromFile(&loaded, nullptr, wgx.data(), wgx.size(), 0), 0);
  EXPECT_EQ(loaded->GetWidth(), 2);
  EXPECT_EQ(loaded->GetWord1(), 5u) << "the picture's placement";
  EXPECT_EQ(manager_->DestroyLayer(loaded), 0);
  EXPECT_EQ(manager_->CreateDirectDrawImageFromFile(&loaded, nullptr, wgx.data(), 2, 0), kDdsBadPicture);
  EXPECT_EQ(loaded, nullptr);
  EXPECT_EQ(manager_->DestroyLayer(blank), 0);
  SpritePrimitive* sprite = nullptr;
  ASSERT_EQ(manager_->CreateSpritePrimitive(&sprite, frame, nullptr, 0, 0), 0);
  TransitionPrimitive* transition = reinterpret_cast<TransitionPrimitive*>(1);
  EXPECT_EQ(manager_->CreateTransitionPrimitive(&transition, nullptr, frame, 87, 0, 0, 0),
            kTransitionFirstStep);
  EXPECT_EQ(transition, nullptr);
  WgxPictureLayer* picture = reinterpret_cast<WgxPictureLayer*>(1);
  EXPECT_EQ(manager_->CreateWgxPictureLayer(&picture, kFormat8888, nullptr, nullptr, 0, true),
            kWgxLayerNoDevice) << "no Direct3D device to make textures with";
  EXPECT_EQ(picture, nullptr);
  D3DSpritePrimitive* textured = nullptr;
  EXPECT_EQ(manager_->CreateD3DSpritePrimitive(&textured, nullptr, nullptr, 0, 0), kD3DSpriteNoTexture);
  // A destroyed picture clears the item that draws it.
  EXPECT_EQ(manager_->DestroyLayer(frame), 0);
  EXPECT_EQ(sprite->GetSource(), nullptr);
  EXPECT_EQ(manager_->DestroyRenderItem(sprite), 0);

  manager_->SetLayerOwner(7);
  CanvasLayer* layers[5] = {};
  D3DRenderStatePrimitive* states = nullptr;
  D3DBlendStatePrimitive* blend = nullptr;
  for (int i = 0; i < 5; ++i) {
    if (i == 3) manager_->SetLayerOwner(8);
    ASSERT_EQ(manager_->CreateCanvasLayer(&layers[i], 8, 8, 32, kLayerPlain), kDisplayDone);
  }
  ASSERT_EQ(manager_->CreateD3DBlendStatePrimitive(&blend), 0);
  manager_->SetLayerOwner(7);
  ASSERT_EQ(manager_->CreateD3DRenderStatePrimitive(&states), 0);
  const int32_t txs[3] = {0, 4, 0}, tys[3] = {0, 0, 4};
  D3DTrianglePrimitive* triangle = nullptr;
  ASSERT_EQ(manager_->CreateD3DTrianglePrimitive(&triangle, txs, tys, 0xFFFFFFFFu, 0, 0), 0);
  EXPECT_EQ(states->Owner(), 7u);
  EXPECT_EQ(blend->Owner(), 8u);
  manager_->GetRenderList().Insert(states, 0, 0);
  manager_->GetRenderList().Insert(blend, 0, 0);

  manager_->DestroyObjectsOfOwner(7, 0);
  EXPECT_EQ(manager_->RenderItemCount(), 1u) << "items only";
  EXPECT_EQ(manager_->LayerCount(), 5u);
  EXPECT_EQ(manager_->GetRenderList().Count(), 1u) << "a destroyed item leaves the list";
  manager_->DestroyObjectsOfOwner(7, kOwnerAlsoLayers);
  EXPECT_EQ(manager_->LayerCount(), 2u) << "the first three";
  manager_->DestroyObjectsOfOwner(7, kOwnerAlsoLayers | kOwnerAllBut);
  EXPECT_EQ(manager_->LayerCount(), 0u) << "the last two";
  EXPECT_EQ(manager_->RenderItemCount(), 0u);

  D3DRectPrimitive* rect = nullptr;
  ASSERT_EQ(manager_->CreateD3DRectPrimitive(&rect, 1, 1, 0xFFFFFFFFu, 0, 0), 0);
  EXPECT_EQ(manager_->DestroyRenderItem(rect), 0);
  EXPECT_EQ(manager_->DestroyRenderItem(rect), kDestroyNotListed);
  EXPECT_EQ(manager_->DestroyRenderItem(nullptr), kDestroyNull);
  CanvasLayer* layer = nullptr;
  ASSERT_EQ(manager_->CreateCanvasLayer(&layer, 8, 8, 32, kLayerPlain), kDisplayDone);
  Surface* held = layer;
  EXPECT_EQ(manager_->DestroyLayerAndClear(&held), 0);
  EXPECT_EQ(held, nullptr);
  EXPECT_EQ(manager_->DestroyLayer(layer), kDestroyNotListed);
  EXPECT_EQ(manager_->DestroyLayer(nullptr), kDestroyNull);

  ASSERT_EQ(manager_->CreateD3DRectPrimitive(&rect, 1, 1, 0xFFFFFFFFu, 0, 0), 0);
  manager_->GetRenderList().Insert(rect, 0, 0);
  ASSERT_EQ(manager_->CreateCanvasLayer(&layer, 8, 8, 32, kLayerPlain), kDisplayDone);
  manager_->DestroyAllLayers();
  EXPECT_EQ(manager_->RenderItemCount(), 0u);
  EXPECT_EQ(manager_->LayerCount(), 0u);
  EXPECT_EQ(manager_->GetRenderList().Count(), 0u);
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

TEST_F(DisplayManagerTest, SurfacesAndSpritesComeAndGoThroughTheirLists) {
  ImageSurface* image = nullptr;
  EXPECT_EQ(manager_->CreateImageSurface(&image, 0, 4, 32, 0), kSurfaceBadArgument);
  EXPECT_EQ(image, nullptr);
  EXPECT_EQ(manager_->LayerCount(), 0u);
  const uint8_t junk[4] = {1, 2, 3, 4};
  EXPECT_NE(manager_->CreateImageSurfaceFromFile(&image, nullptr, junk, sizeof junk, 0), 0);
  EXPECT_EQ(image, nullptr) << "an unreadable picture is not listed";
  EXPECT_EQ(manager_->LayerCount(), 0u);

  manager_->SetLayerOwner(4);
  ASSERT_EQ(manager_->CreateImageSurface(&image, 8, 4, 32, 0), 0);
  EXPECT_EQ(image->GetWord3(), 4u);
  ImageSurface* copy = nullptr;
  ASSERT_EQ(manager_->CreateImageSurfaceCopy(&copy, image, 0), 0);
  OffscreenLayer* offscreen = nullptr;
  ASSERT_EQ(manager_->CreateOffscreenLayer(&offscreen, 8, 4, 32, true), 0);
  EXPECT_EQ(manager_->LayerCount(), 3u);

  manager_->SetSpriteOwner(9);
  Sprite* sprite = nullptr;
  ASSERT_EQ(manager_->CreateSprite(&sprite, image, nullptr, 0, 0), 0);
  EXPECT_EQ(sprite->GetTag(), 9u);
  Sprite* twin = nullptr;
  ASSERT_EQ(manager_->CreateSpriteCopy(&twin, sprite), 0);
  manager_->SetSpriteOwner(10);
  ColorRectObject* rect = nullptr;
  ASSERT_EQ(manager_->CreateColorRect(&rect, 4, 4, 0xFF102030u, 1, 1), 0);
  EXPECT_EQ(manager_->SpriteCount(), 3u);
  manager_->DestroySpritesOfOwner(9, true);
  EXPECT_EQ(manager_->SpriteCount(), 2u) << "all but owner 9";
  DisplayObject* held = twin;
  EXPECT_EQ(manager_->DestroySpriteAndClear(&held), 0);
  EXPECT_EQ(held, nullptr);
  EXPECT_EQ(manager_->DestroySprite(twin), kDestroyNotListed);

  // Destroying everything takes the sprites before the pictures they show.
  manager_->DestroyAllLayers();
  EXPECT_EQ(manager_->SpriteCount(), 0u);
  EXPECT_EQ(manager_->LayerCount(), 0u);
}

}  // namespace
}  // namespace bw
