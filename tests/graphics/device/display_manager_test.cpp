#include "graphics/device/display_manager.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "graphics/device/back_buffer_surface.h"
#include "graphics/device/direct3d_fixture.h"
#include "graphics/device/render_item_sprite.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/layers/fake_filter.h"
#include "graphics/layers/text_layer.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/direct_draw_surface.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "host/gdi/memory_dc.h"
#include "host/headless/headless_backend.h"
#include "host/message_queue.h"
#include "platform/monitor_list.h"
#include "support/text_renderers.h"

namespace bw {
namespace {

class DisplayManagerTest : public testing::Test {
 protected:
  DisplayManagerTest() {
    backend_.SetDesktop({.width = 1920,
                         .height = 1080,
                         .bitsPerPixel = 32,
                         .monitors = {{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}},
                                      {{1920, 0, 4480, 1440}, {1920, 0, 4480, 1400}}}});
    host::WindowDesc desc;
    desc.proc = host::DefWindowProc;
    desc.native = true;
    desc.nativeDesc = host::NativeWindowDesc{"display", 64, 48, true};
    window_ = host::CreateWindow(desc);
    sink_ = static_cast<host::HeadlessSink*>(host::GetPresentationSink(window_));
  }
  ~DisplayManagerTest() override {
    manager_.reset();
    EXPECT_TRUE(host::DestroyWindow(window_));
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
  // A w x h canvas screen shown through backend (null on a failure): a window made before the
  // screen has its canvas keeps a DirectDraw back buffer, as a game that sets its screen after
  // start-up has.
  CanvasLayer* ScreenThrough(DisplayManager& manager, int backend, int32_t w, int32_t h) {
    CanvasLayer* canvas = nullptr;
    EXPECT_EQ(manager.CreateCanvasLayer(&canvas, w, h, 32, kLayerComposed), kDisplayDone);
    if (backend == kBackendGdi) (void)manager.SetScreenSurface(canvas);
    EXPECT_EQ(manager.SetCanvasSize(w, h), kDisplayDone);
    EXPECT_EQ(manager.SetMode(window_, true, false), kDisplayDone);
    if (backend != kBackendGdi) (void)manager.SetScreenSurface(canvas);
    EXPECT_EQ(manager.GetBackend(), backend);
    return HasFailure() ? nullptr : canvas;
  }
  // Whether the last frame shown is the canvas, row by row.
  testing::AssertionResult ShowsCanvas(CanvasLayer& canvas) const {
    const host::Frame& frame = sink_->LastFrame();
    const size_t row = size_t(canvas.GetWidth()) * 4;
    for (int32_t y = 0; y < canvas.GetHeight(); ++y) {
      if (std::memcmp(frame.bgra.data() + y * row, canvas.GetRowPointer(y), row) != 0)
        return testing::AssertionFailure() << "row " << y << " differs from the canvas";
    }
    return testing::AssertionSuccess();
  }

  host::HeadlessBackend backend_;
  ScopedGlobal<host::Backend> use_{&backend_};
  host::HWND window_;
  host::HeadlessSink* sink_ = nullptr;
  ScopedPixelLibrary library_{&BuiltInPixelLibrary()};
  std::unique_ptr<DisplayManager> manager_ = std::make_unique<DisplayManager>();
};

TEST_F(DisplayManagerTest, TheTexturePathScalesSmoothlyAndSurvivesLostSurfaces) {
  CanvasLayer* canvas = nullptr;
  ASSERT_EQ(manager_->CreateCanvasLayer(&canvas, 64, 48, 32, kLayerComposed), kDisplayDone);
  (void)manager_->SetScreenSurface(canvas);
  manager_->SetTextureRequest(kTextureAlways, true);
  ASSERT_EQ(manager_->SetMode(window_, true, false), kDisplayDone);
  ASSERT_EQ(manager_->GetBackend(), kBackendDirect3D);
  canvas->GetCompositionLayer()->SetBackgroundColor(0x00FF00, true);
  ASSERT_EQ(manager_->UpdateBackBuffer(), kDisplayDone);
  ASSERT_TRUE(Shown());
  EXPECT_EQ(sink_->LastFrame().filter, host::ScaleFilter::kLinear);
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

  manager_->GetPresentationTexture()->SetLost(true);
  ASSERT_EQ(manager_->RestoreLostSurfaces(), kDisplayDone);
  host::DdSurfaceDesc locked;
  ASSERT_EQ(manager_->GetPresentationTexture()->Lock(&locked), host::kDdOk);
  uint32_t texel;
  std::memcpy(&texel, locked.surface + 5 * locked.pitch + 5 * 4, 4);
  EXPECT_EQ(0, manager_->GetPresentationTexture()->Unlock());
  EXPECT_EQ(texel & 0xFFFFFF, 0x0000FFu) << "the restored texture holds the whole canvas again";
}

// The surface a transition item without a drawn surface draws into is the back buffer of the
// moment: it follows the mode switches that make a new one.
TEST_F(DisplayManagerTest, RestoresALostPrimaryAndTheTransitionScreenFollowsTheBackBuffer) {
  BackBufferSurface screen;
  screen.Attach(manager_.get());
  EXPECT_EQ(DirectDrawSurfaceOf(&screen), nullptr) << "no mode set yet";
  ASSERT_EQ(manager_->SetCanvasSize(64, 48), kDisplayDone);
  ASSERT_EQ(manager_->SetMode(window_, true, false), kDisplayDone);
  ASSERT_NE(manager_->GetBackBuffer(), nullptr);
  EXPECT_EQ(DirectDrawSurfaceOf(&screen), manager_->GetBackBuffer());
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

  ASSERT_EQ(manager_->SetMode(window_, true, true), kDisplayDone);
  ASSERT_NE(manager_->GetBackBuffer(), nullptr);
  EXPECT_EQ(DirectDrawSurfaceOf(&screen), manager_->GetBackBuffer()) << "the new mode's buffer";
  manager_->ReleaseSurfaces();
  EXPECT_EQ(DirectDrawSurfaceOf(&screen), nullptr);
}

TEST_F(DisplayManagerTest, ADisplayOfAnotherShapeGetsTheCanvasCentredBetweenBars) {
  ASSERT_EQ(manager_->SetCanvasSize(640, 480), kDisplayDone);
  ASSERT_EQ(manager_->ComputeDisplayRect(1280, 1024, true), kDisplayDone);
  EXPECT_EQ(manager_->DisplayRect(), (Rect{0, 32, 1280, 992}));
  EXPECT_EQ(manager_->Bar(1), (Rect{0, 992, 1280, 1024}));
  ASSERT_EQ(manager_->ComputeDisplayRect(1920, 1080, true), kDisplayDone);
  EXPECT_EQ(manager_->Bar(1), (Rect{1680, 0, 1920, 1080})) << "wider: bars left and right";
  ASSERT_EQ(manager_->ComputeDisplayRect(1280, 960, false), kDisplayDone);
  EXPECT_FALSE(manager_->HasBars()) << "the same shape fills the display";
  ASSERT_EQ(manager_->ComputeDisplayRect(1280, 960, true), kDisplayDone);
  EXPECT_FALSE(manager_->IsScaled()) << "kept at the canvas size when asked";
  EXPECT_EQ(manager_->ComputeDisplayRect(640, 480, false), kRectSameAsCanvas);
  EXPECT_EQ(manager_->ComputeDisplayRect(0, 480, false), kDisplayFailed);
}

TEST_F(DisplayManagerTest, ADepthTheDeviceCannotShowFallsBackTo32Then24Then16) {
  MonitorList monitors;
  constexpr uint32_t k32 = 1, k24 = 2, k16 = 4, k8 = 8;  // the allowed-depth bits
  const struct {
    uint32_t allowed;
    int asked, code, chosen;
  } cases[] = {
      {k32 | k16, 24, kDisplayDone, 32},
      {k24 | k16, 32, kDisplayDone, 24},
      {k16 | k8, 32, kDisplayDone, 16},
      {k8, 32, kSelectNoDepth, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "allowed " << c.allowed << ", asked " << c.asked);
    DisplayManager manager;
    ASSERT_EQ(manager.EnumerateDisplayDevices(&monitors, 640, 480), kDisplayDone);
    ASSERT_FALSE(manager.Devices().empty());
    manager.Devices()[0]->depthFlags = c.allowed << 8;
    EXPECT_EQ(manager.SelectDisplayDevice(true, kNoMonitor, 0, c.asked, nullptr), c.code);
    if (c.code == kDisplayDone) {
      EXPECT_EQ(manager.ChosenDepth(), c.chosen);
    }
  }
}

TEST_F(DisplayManagerTest, DestroyingByOwnerTakesItemsAndWithFlagOneLayers) {
  for (int flags : {0, 1, 2, 3}) {
    SCOPED_TRACE(testing::Message() << "flags " << flags);
    DisplayManager manager;
    ImageSurface* image = nullptr;
    D3DRectPrimitive* item = nullptr;
    manager.SetLayerOwner(7);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(manager.CreateImageSurface(&image, 2, 2, 32, 0), 0);
    ASSERT_EQ(manager.CreateD3DRectPrimitive(&item, 2, 2, 0xFF000000u, 0, 0), 0);
    manager.SetLayerOwner(8);
    for (int i = 0; i < 2; ++i) ASSERT_EQ(manager.CreateImageSurface(&image, 2, 2, 32, 0), 0);
    for (int i = 0; i < 2; ++i)
      ASSERT_EQ(manager.CreateD3DRectPrimitive(&item, 2, 2, 0xFF000000u, 0, 0), 0);

    manager.DestroyObjectsOfOwner(7, flags);
    const bool allBut = flags & kOwnerAllBut;
    EXPECT_EQ(manager.RenderItemCount(), allBut ? 1u : 2u);
    EXPECT_EQ(manager.LayerCount(), !(flags & kOwnerAlsoLayers) ? 5u : allBut ? 3u : 2u);
    EXPECT_EQ(manager.DestroyLayer(image),
              (flags & kOwnerAlsoLayers) && allBut ? kDestroyNotListed : 0)
        << "the last layer has owner 8";
  }
}

TEST_F(DisplayManagerTest, ADestroyedLayerLeavesNoLinkOrTwoLayerFilterBehind) {
  CanvasLayer* survivor = nullptr;
  CanvasLayer* partner = nullptr;
  int deleted = 0;
  // Linked both ways, one of them holding a filter that would exchange their objects when applied.
  auto pair = [&](CanvasLayer* filtered) {
    ASSERT_EQ(manager_->CreateCanvasLayer(&partner, 8, 8, 32, kLayerComposed), kDisplayDone);
    ASSERT_EQ(survivor->SetLinkedLayer(partner), kLayerDone);
    ASSERT_EQ(partner->SetLinkedLayer(survivor), kLayerDone);
    ASSERT_EQ((filtered ? filtered : partner)
                  ->AttachSource(new testing_layers::FakeFilter(0, &deleted),
                                 kAttachExchangeObjects, true, false),
              kLayerDone);
  };
  ASSERT_EQ(manager_->CreateCanvasLayer(&survivor, 8, 8, 32, kLayerComposed), kDisplayDone);
  pair(survivor);
  CompositionLayer* own = survivor->GetCompositionLayer();
  ASSERT_EQ(manager_->DestroyLayer(partner), 0);
  EXPECT_EQ(survivor->GetLinkedLayer(), nullptr);
  EXPECT_FALSE(survivor->HasSource());
  EXPECT_EQ(std::tuple(deleted, survivor->GetCompositionLayer()), std::tuple(1, own))
      << "detached without applying";

  // All at once: the links between dying layers are dropped before either goes.
  pair(nullptr);
  manager_->DestroyAllLayers();
  EXPECT_EQ(deleted, 2);
}

// A paint of the canvas into a context with no pixels to take it fails.
TEST_F(DisplayManagerTest, APaintIntoAContextWithoutPixelsFails) {
  DisplayManager manager;
  ASSERT_NE(ScreenThrough(manager, kBackendGdi, 8, 8), nullptr);
  host::MemoryDc bare;
  EXPECT_EQ(manager.PaintRect(&bare, {0, 0, 8, 8}), host::kDdErrGeneric);
  auto section = host::DibSection::Create(8, 8, 32);
  host::MemoryDc dc;
  dc.Select(section.get());
  EXPECT_EQ(manager.PaintRect(&dc, {0, 0, 8, 8}), host::kDdOk);
}

// Whether the canvas goes to the window through GDI or through a DirectDraw back buffer: a screen
// drawn again as it was is not drawn anew, yet each turn counts as shown (the headless run places
// scripted input by frames shown, so a wait for a click would never end), and a box that moves
// tells the window its old and new places, not the whole frame. Frames composed band by band pass
// a back buffer whose own pixels may lag behind the window's: with strips moving at random and the
// screen sometimes composed whole, every frame shown must still be the canvas.
TEST_F(DisplayManagerTest, EveryFrameReachesTheWindowWholeAndAnUnchangedOneIsNotDrawnAnew) {
  constexpr int32_t kW = 320, kH = 64;  // wide enough for rows composed eight at a time
  ASSERT_NE(sink_, nullptr);
  uint32_t observed = 0;
  backend_.SetFrameObserver([&](host::HWND, const host::HeadlessSink&) { ++observed; });
  std::mt19937 rng(11);
  for (const int backendWanted : {kBackendGdi, kBackendDirectDraw}) {
    SCOPED_TRACE(backendWanted);
    DisplayManager manager;
    CanvasLayer* canvas = ScreenThrough(manager, backendWanted, kW, kH);
    ASSERT_NE(canvas, nullptr);
    CompositionLayer& composition = *canvas->GetCompositionLayer();
    composition.SetBackgroundColor(0x336699, true);
    ColorRectObject* box = nullptr;
    ASSERT_EQ(manager.CreateColorRect(&box, 8, 6, 0xFFC08040, 4, 4), kDisplayDone);
    (void)composition.GetList().Add(box, 100, 0);

    ASSERT_EQ(manager.UpdateBackBuffer(), kDisplayDone);
    ASSERT_TRUE(sink_->PresentPending());
    const uint32_t shown = sink_->FramesShown(), drawn = sink_->FramesDrawn();
    for (int turn = 0; turn < 3; ++turn) {
      (void)composition.InvalidateAll();
      ASSERT_EQ(manager.UpdateBackBuffer(), kDisplayDone);
      ASSERT_TRUE(sink_->PresentPending());
    }
    EXPECT_EQ(sink_->FramesShown(), shown + 3) << "each turn still counts";
    EXPECT_EQ(observed, sink_->FramesShown()) << "the observer hears of every turn";
    EXPECT_EQ(sink_->FramesDrawn(), drawn) << "the same picture was drawn again";

    box->SetPos(40, 30);
    ASSERT_EQ(manager.UpdateBackBuffer(), kDisplayDone);
    ASSERT_TRUE(sink_->PresentPending());
    EXPECT_EQ(sink_->FramesDrawn(), drawn + 1);
    const host::Rect changed = sink_->LastChanged();
    EXPECT_TRUE(changed.left <= 4 && changed.top <= 4 && changed.right >= 48 &&
                changed.bottom >= 36)
        << "the box's old and new places";
    EXPECT_LT(int64_t{changed.Width()} * changed.Height(), kW * kH) << "not the whole frame";
    ASSERT_TRUE(ShowsCanvas(*canvas));

    ColorRectObject* strips[3] = {};
    for (uint32_t i = 0; i < 3; ++i) {
      ASSERT_EQ(manager.CreateColorRect(&strips[i], kW, 4, 0xFF400000u * (i + 1), 0, 0),
                kDisplayDone);
      (void)composition.GetList().Add(strips[i], 100 + i, 0);
    }
    for (int frame = 0; frame < 120; ++frame) {
      SCOPED_TRACE(frame);
      ColorRectObject* strip = strips[rng() % 3];
      strip->SetPosAndSize(kW, 1 + int32_t(rng() % 8), 0, int32_t(rng() % kH));
      if (rng() % 2) (void)composition.InvalidateAll();
      ASSERT_EQ(manager.UpdateBackBuffer(), kDisplayDone);
      if (sink_->PresentPending()) {
        ASSERT_TRUE(ShowsCanvas(*canvas));
      }
    }
    for (ColorRectObject* sprite : {box, strips[0], strips[1], strips[2]}) {
      (void)manager.DestroySprite(sprite);
    }
  }
}

class DisplayManagerTextTest : public testing_devices::Direct3DTarget,
                               public testing_text::FakeFaceRenderers {
 protected:
  ScopedGlobal<TextRendererFactory> factoryScope{&factory};
  ScopedGlobal<TextRenderer> noDefault{nullptr};
  DisplayManager manager;
};

TEST_F(DisplayManagerTextTest, MakesRenderersThroughTheFactoryAndSetsThemUp) {
  TextRenderer* made = nullptr;
  ASSERT_EQ(manager.CreateGdiTextRenderer(&made, "FACE", 20), 0);
  EXPECT_TRUE(!made->IsOutline() && made->GetLogFont().lfHeight == -20);
  ASSERT_EQ(manager.CreateOutlineTextRenderer(&made, nullptr, 24), 0);
  ASSERT_TRUE(made->IsOutline());
  EXPECT_EQ(static_cast<OutlineTextRenderer*>(made)->Cache().Capacity(), 16u)
      << "the factory's cache setting";

  const std::string tooLong(40, 'F');
  EXPECT_EQ(manager.CreateGdiTextRenderer(&made, tooLong.c_str(), 20), 2)
      << "the set-up's own code";
  EXPECT_EQ(std::tuple(made, manager.TextRendererCount()), std::tuple(nullptr, 2u));
  ScopedGlobal<TextRendererFactory> noFactory(nullptr);
  EXPECT_EQ(manager.CreateGdiTextRenderer(&made, nullptr, 20), kCreateTextRendererNoMemory);
}

TEST_F(DisplayManagerTextTest, DestroyingARendererDetachesEveryKeeperAndTheDefault) {
  TextRenderer* renderer = nullptr;
  ASSERT_EQ(manager.CreateGdiTextRenderer(&renderer, nullptr, 16), 0);
  DirectDrawSurface* surface = nullptr;
  TextLayer* layer = nullptr;
  ASSERT_EQ(manager.CreateDirectDrawSurface(&surface, "AB", renderer), 0);
  ASSERT_EQ(manager.CreateTextLayer(&layer, kFormat8888, "AB", renderer), 0);
  TheDefaultTextRenderer::Set(renderer);

  TextRenderer* unlisted = &gdi;
  EXPECT_EQ(manager.DestroyTextRenderer(&unlisted), kDestroyNotListed);
  EXPECT_EQ(manager.DestroyTextRenderer(&renderer), 0);
  EXPECT_EQ(std::tuple(renderer, surface->GetTextRenderer()), std::tuple(nullptr, nullptr));
  EXPECT_EQ(layer->GetTextRenderer(), nullptr);
  EXPECT_EQ(TheDefaultTextRenderer::Get(), nullptr);
  EXPECT_EQ(surface->Restore(0), kTextRenderNoRenderer)
      << "nothing left to draw with, and no crash";
  TheDefaultTextRenderer::Set(&gdi);
  EXPECT_EQ(manager.RestoreLayers(0), 0) << "the default draws both again";
}

TEST_F(DisplayManagerTextTest, TextObjectsAreListedOnlyWhenTheyCouldBeDrawn) {
  DirectDrawSurface* surface = nullptr;
  TextLayer* layer = nullptr;
  ImageSurface* image = nullptr;
  EXPECT_EQ(manager.CreateDirectDrawSurface(&surface, "", &outline), kTextSurfaceNoText);
  EXPECT_EQ(manager.CreateTextLayer(&layer, 3, "AB", &outline),
            kTextLayerNoFormat + kTextLayerNoMemory);
  EXPECT_EQ(std::tuple(manager.LayerCount(), surface), std::tuple(0u, nullptr))
      << "a refused surface is not handed out";
  EXPECT_EQ(layer, nullptr) << "nor a refused layer";

  TextRenderer* renderer = nullptr;
  ASSERT_EQ(manager.CreateOutlineTextRenderer(&renderer, nullptr, 16), 0);
  ASSERT_EQ(manager.CreateTextImageSurface(&image, "AB", renderer, 0), 0);
  manager.DestroyAllLayers();
  EXPECT_EQ(manager.TextRendererCount(), 1u) << "renderers outlive the layers";
  // The manager goes with a layer that keeps a renderer: the renderer goes last.
  ASSERT_EQ(manager.CreateTextLayer(&layer, kFormat8888, "AB", renderer), 0);
}

}  // namespace
}  // namespace bw
