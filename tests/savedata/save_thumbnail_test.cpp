// A scene layer running a two-layer transition gives the thumbnail of its linked layer; any
// other filter keeps the layer's own composition, with the list above it (the frame) unless the
// player leaves the frame out.
#include <gtest/gtest.h>

#include "graphics/layers/canvas_layer.h"
#include "graphics/layers/fake_filter.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/pixel_library.h"
#include "save_rig.h"

namespace bw {
namespace {

TEST(SaveThumbnail, ATwoLayerTransitionShowsTheLinkedLayer) {
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  SaveRig rig;
  CanvasLayer shown, linked;
  ASSERT_EQ(shown.Create(240, 180, 32, kLayerComposed), kLayerDone);
  ASSERT_EQ(linked.Create(240, 180, 32, kLayerComposed), kLayerDone);
  shown.GetCompositionLayer()->SetBackgroundColor(0x336699, true);
  linked.GetCompositionLayer()->SetBackgroundColor(0x99CC00, true);
  ASSERT_EQ(shown.SetLinkedLayer(&linked), kLayerDone);
  FakeFrame frame;
  frame.layer = shown.GetCompositionLayer();
  frame.holder = &shown;
  rig.app.frame = &frame;
  auto saved = [&](int kind) -> int64_t {
    if (kind >= 0) {
      shown.AttachSource(new testing_layers::FakeFilter(uint8_t(kind)), kAttachPlain, false, false);
    }
    if (int r = rig.Save().WriteSaveData(2, 0)) return -r;
    ImageSurface picture;
    EXPECT_EQ(picture.Create(120, 90, 32, 0), 0);
    EXPECT_EQ(
        rig.Save().ReadSaveSlotInfo(2, 0, &picture, nullptr, nullptr, nullptr, nullptr, false), 0);
    const uint8_t* p = picture.GetRowPointer(45) + 60 * 4;
    return p[0] | p[1] << 8 | p[2] << 16;
  };
  EXPECT_EQ(saved(-1), 0x336699) << "no filter";
  EXPECT_EQ(saved(1), 0x99CC00);
  EXPECT_EQ(saved(2), 0x336699) << "a one-layer filter";
  EXPECT_EQ(saved(0), 0x99CC00);
  ASSERT_EQ(shown.SetLinkedLayer(nullptr), kLayerDone);
  EXPECT_EQ(saved(-1), -kWriteNoLayer) << "no linked layer to show";
  shown.DetachSource(false);
}

TEST(SaveThumbnail, TheFrameAboveAFilteredSceneIsKeptUnlessLeftOut) {
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  BuildBlendTables();  // the frame's colour is blended over the scene
  SaveRig rig;
  CanvasLayer shown, linked;
  ASSERT_EQ(shown.Create(240, 180, 32, kLayerComposed), kLayerDone);
  ASSERT_EQ(linked.Create(240, 180, 32, kLayerComposed), kLayerDone);
  ASSERT_EQ(shown.SetLinkedLayer(&linked), kLayerDone);
  shown.GetCompositionLayer()->SetBackgroundColor(0x336699, true);
  DisplayObjectList frameList;
  ColorRectObject frame;
  ASSERT_EQ(frame.Create(240, 180, 0xFFCC3300, 0, 0), 0);
  ASSERT_EQ(frameList.Add(&frame, 1, 0), 0);
  shown.GetCompositionLayer()->SetSecondList(&frameList);
  ASSERT_EQ(shown.AttachSource(new testing_layers::FakeFilter(2), kAttachPlain, false, false),
            kLayerDone);
  FakeFrame scene;
  scene.layer = shown.GetCompositionLayer();
  scene.holder = &shown;
  rig.app.frame = &scene;
  for (uint8_t withoutFrame : {1, 0}) {
    rig.app.settings.settings.thumbnailWithoutFrame = withoutFrame;
    ASSERT_EQ(rig.Save().WriteSaveData(2, 0), 0);
    ImageSurface picture;
    ASSERT_EQ(picture.Create(120, 90, 32, 0), 0);
    EXPECT_EQ(
        rig.Save().ReadSaveSlotInfo(2, 0, &picture, nullptr, nullptr, nullptr, nullptr, false), 0);
    const uint8_t* p = picture.GetRowPointer(45) + 60 * 4;
    EXPECT_EQ(p[0] | p[1] << 8 | p[2] << 16, withoutFrame ? 0x336699 : 0xCC3300)
        << int(withoutFrame);
  }
  shown.DetachSource(false);
  shown.GetCompositionLayer()->SetSecondList(nullptr);
  ASSERT_EQ(shown.SetLinkedLayer(nullptr), kLayerDone);
}

}  // namespace
}  // namespace bw
