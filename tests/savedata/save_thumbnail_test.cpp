// Where a thumbnail comes from while the scene layer runs a filter: a two-layer transition shows
// the linked layer's picture, any other filter the layer's own composition.
#include <gtest/gtest.h>

#include "graphics/layers/canvas_layer.h"
#include "graphics/layers/fake_filter.h"
#include "graphics/surface/pixel_library.h"
#include "save_rig.h"

namespace bw {
namespace {

using testing_layers::FakeFilter;

constexpr uint32_t kShown = 0x336699;
constexpr uint32_t kLinked = 0x99CC00;

class SceneThumbnail : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(shown_.Create(240, 180, 32, kLayerComposed), kLayerDone);
    ASSERT_EQ(linked_.Create(240, 180, 32, kLayerComposed), kLayerDone);
    shown_.GetCompositionLayer()->SetBackgroundColor(kShown, true);
    linked_.GetCompositionLayer()->SetBackgroundColor(kLinked, true);
    ASSERT_EQ(shown_.SetLinkedLayer(&linked_), kLayerDone);
    frame_.layer = shown_.GetCompositionLayer();
    frame_.holder = &shown_;
    rig_.app.frame = &frame_;
  }
  void TearDown() override { shown_.DetachSource(false); }

  // The saved thumbnail's middle pixel as 0xRRGGBB, or the writer's failure code negated.
  int64_t SavedColour() {
    if (int r = rig_.Save().WriteSaveData(2, 0); r != 0) return -r;
    ImageSurface thumbnail;
    EXPECT_EQ(thumbnail.Create(120, 90, 32, 0), 0);
    EXPECT_EQ(
        rig_.Save().ReadSaveSlotInfo(2, 0, &thumbnail, nullptr, nullptr, nullptr, nullptr, false),
        0);
    const uint8_t* p = thumbnail.GetRowPointer(45) + 60 * 4;
    return p[0] | p[1] << 8 | p[2] << 16;
  }

  ScopedPixelLibrary library_{&BuiltInPixelLibrary()};
  SaveRig rig_;
  FakeFrame frame_;
  CanvasLayer shown_, linked_;
};

TEST_F(SceneThumbnail, ATwoLayerTransitionShowsTheLinkedLayer) {
  EXPECT_EQ(SavedColour(), kShown) << "no filter: the layer's own picture";
  for (uint8_t kind : {0, 1}) {
    ASSERT_EQ(shown_.AttachSource(new FakeFilter(kind), kAttachPlain, false, false), kLayerDone);
    EXPECT_EQ(SavedColour(), kLinked) << int(kind);
  }
  ASSERT_EQ(shown_.AttachSource(new FakeFilter(2), kAttachPlain, false, false), kLayerDone);
  EXPECT_EQ(SavedColour(), kShown) << "a one-layer filter keeps the layer's composition";
}

TEST_F(SceneThumbnail, ATwoLayerTransitionWithoutItsLinkedLayerHasNoPicture) {
  ASSERT_EQ(shown_.AttachSource(new FakeFilter(0), kAttachPlain, false, false), kLayerDone);
  ASSERT_EQ(shown_.SetLinkedLayer(nullptr), kLayerDone);
  EXPECT_EQ(SavedColour(), -kWriteNoLayer);
  EXPECT_FALSE(rig_.Exists(2, 0)) << "nothing written";
}

}  // namespace
}  // namespace bw
