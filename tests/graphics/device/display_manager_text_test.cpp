#include <gtest/gtest.h>

#include <string>

#include "graphics/device/direct3d_fixture.h"
#include "graphics/device/display_manager.h"
#include "graphics/layers/text_layer.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/direct_draw_surface.h"
#include "graphics/surface/image_surface.h"
#include "support/fake_text_renderer.h"

namespace bw {
namespace {

class DisplayManagerTextTest : public testing_devices::Direct3DTarget {
 protected:
  testing_text::FakeTextRendererFactory factory;
  ScopedGlobal<TextRendererFactory> factoryScope{&factory};
  ScopedGlobal<TextRenderer> noDefault{nullptr};
  DisplayManager manager;
};

TEST_F(DisplayManagerTextTest, MakesRenderersThroughTheFactoryAndSetsThemUp) {
  TextRenderer* gdi = nullptr;
  TextRenderer* outline = nullptr;
  ASSERT_EQ(manager.CreateGdiTextRenderer(&gdi, "FACE", 20), 0);
  ASSERT_EQ(manager.CreateOutlineTextRenderer(&outline, nullptr, 24), 0);
  EXPECT_FALSE(gdi->IsOutline());
  EXPECT_TRUE(outline->IsOutline());
  EXPECT_EQ(gdi->GetLogFont().lfHeight, -20);
  EXPECT_EQ(std::string(gdi->GetLogFont().lfFaceName), "FACE");
  EXPECT_EQ(manager.TextRendererCount(), 2u);

  const std::string tooLong(40, 'F');
  TextRenderer* refused = gdi;
  EXPECT_EQ(manager.CreateGdiTextRenderer(&refused, tooLong.c_str(), 20), 2)
      << "the set-up's own code";
  EXPECT_EQ(refused, nullptr);
  EXPECT_EQ(manager.CreateOutlineTextRenderer(&refused, tooLong.c_str(), 20), 3);
  EXPECT_EQ(manager.TextRendererCount(), 2u);
  ScopedGlobal<TextRendererFactory> noFactory(nullptr);
  EXPECT_EQ(manager.CreateGdiTextRenderer(&refused, nullptr, 20), kCreateTextRendererNoMemory);
}

TEST_F(DisplayManagerTextTest, DestroyingARendererDetachesEveryKeeperAndTheDefault) {
  TextRenderer* renderer = nullptr;
  ASSERT_EQ(manager.CreateGdiTextRenderer(&renderer, nullptr, 16), 0);
  DirectDrawSurface* surface = nullptr;
  TextLayer* layer = nullptr;
  ASSERT_EQ(manager.CreateDirectDrawSurface(&surface, "AB", renderer), 0);
  ASSERT_EQ(manager.CreateTextLayer(&layer, kFormat8888, "AB", renderer), 0);
  TheDefaultTextRenderer::Set(renderer);

  TextRenderer* none = nullptr;
  EXPECT_EQ(manager.DestroyTextRenderer(&none), kDestroyNull);
  EXPECT_EQ(manager.DestroyTextRenderer(nullptr), kDestroyNull);
  testing_text::FakeTextRenderer stranger(false);
  TextRenderer* unlisted = &stranger;
  EXPECT_EQ(manager.DestroyTextRenderer(&unlisted), kDestroyNotListed);
  EXPECT_EQ(manager.DestroyTextRenderer(&renderer), 0);
  EXPECT_EQ(renderer, nullptr);
  EXPECT_EQ(surface->GetTextRenderer(), nullptr);
  EXPECT_EQ(layer->GetTextRenderer(), nullptr);
  EXPECT_EQ(TheDefaultTextRenderer::Get(), nullptr);
  EXPECT_EQ(surface->Restore(0), kTextRenderNoRenderer)
      << "nothing left to draw with, and no crash";

  ASSERT_EQ(stranger.SetFont(16, false, false, nullptr), 0);
  TheDefaultTextRenderer::Set(&stranger);
  EXPECT_EQ(manager.RestoreLayers(0), 0) << "the default draws both again";
  EXPECT_NE(surface->GetDirectDrawSurface(), nullptr);
}

TEST_F(DisplayManagerTextTest, TextObjectsAreListedOnlyWhenTheyCouldBeDrawn) {
  TextRenderer* renderer = nullptr;
  ASSERT_EQ(manager.CreateOutlineTextRenderer(&renderer, nullptr, 16), 0);
  DirectDrawSurface* surface = nullptr;
  TextLayer* layer = nullptr;
  ImageSurface* image = nullptr;
  EXPECT_EQ(manager.CreateDirectDrawSurface(&surface, "", renderer), kTextSurfaceNoText);
  EXPECT_EQ(manager.CreateTextLayer(&layer, 3, "AB", renderer),
            kTextLayerNoFormat + kTextLayerNoMemory);
  EXPECT_EQ(manager.CreateTextImageSurface(&image, "AB", nullptr, 0),
            ImageSurface::kTextNoRenderer);
  EXPECT_EQ(manager.LayerCount(), 0u);
  EXPECT_TRUE(surface == nullptr && layer == nullptr && image == nullptr);

  manager.SetLayerOwner(5);
  ASSERT_EQ(manager.CreateTextImageSurface(&image, "AB", renderer, 0), 0);
  EXPECT_EQ(image->GetWord3(), 5u);
  manager.DestroyAllLayers();
  EXPECT_EQ(manager.TextRendererCount(), 1u) << "renderers outlive the layers";
  ASSERT_EQ(manager.CreateTextLayer(&layer, kFormat8888, "AB", renderer), 0);
  // The manager goes with a layer that keeps a renderer: the renderer goes last.
}

}  // namespace
}  // namespace bw
