#include <gtest/gtest.h>

#include <string>

#include "graphics/device/direct3d_fixture.h"
#include "graphics/device/display_manager.h"
#include "graphics/layers/text_layer.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/direct_draw_surface.h"
#include "graphics/surface/image_surface.h"
#include "support/text_renderers.h"

namespace bw {
namespace {

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

  const std::string tooLong(40, 'F');
  EXPECT_EQ(manager.CreateGdiTextRenderer(&made, tooLong.c_str(), 20), 2)
      << "the set-up's own code";
  EXPECT_EQ(made, nullptr);
  EXPECT_EQ(manager.TextRendererCount(), 2u);
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
  EXPECT_EQ(renderer, nullptr);
  EXPECT_EQ(surface->GetTextRenderer(), nullptr);
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
  EXPECT_EQ(manager.LayerCount(), 0u);
  EXPECT_TRUE(surface == nullptr && layer == nullptr && image == nullptr);

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
