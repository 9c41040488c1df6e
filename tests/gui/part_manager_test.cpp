#include "gui/part_manager.h"

#include "graphics/surface/composition_layer.h"
#include "gui/color_box_part.h"
#include "gui/image_list_part.h"
#include "gui_fixture.h"
#include "support/text_renderers.h"

namespace bw::test {
namespace {

class Parts : public GuiTest, public testing_text::FakeFaceRenderers {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    ASSERT_EQ(screen.Create(100, 60, 32, kImageDibSection), 0);
    layer.SetTarget(&screen, true);
  }
  ColorBoxPart* Box(int32_t group) {
    parts.SetDefaultGroup(group);
    ColorBoxPart* box = nullptr;
    EXPECT_EQ(parts.CreateColorBox(&box, 1, 0, 0, 10, 10, 1, 2, 3), 0);
    tip.AddControl(box, -1);
    return box;
  }

  ImageSurface screen;
  CompositionLayer layer;
  PartManager parts;
};

TEST_F(Parts, FactoriesWithoutATargetListNothing) {
  ColorBoxPart sentinel;
  ColorBoxPart* box = &sentinel;  // the factory clears it
  EXPECT_EQ(parts.CreateColorBox(&box, 1, 0, 0, 10, 10, 1, 2, 3), kCreateBadArguments);
  EXPECT_EQ(box, nullptr);
  UiControl* check = &sentinel;
  EXPECT_EQ(parts.CreateFileCheckButton(&check, 0, nullptr, 1, "cg\\c.bmp", false, 0, 0, 0, 255),
            kCreateBadArguments);
  EXPECT_EQ(check, nullptr);
  EXPECT_EQ(parts.PartCount(), 0u);
  // The menu keeps no target of its own until it is given one: it is made and listed.
  ImageListPart* menu = nullptr;
  EXPECT_EQ(parts.CreateImageList(&menu, 1, 0, 0, 60, 20, 0, nullptr), 1) << "no renderer";
  EXPECT_EQ(menu, nullptr);
  ASSERT_EQ(parts.CreateImageList(&menu, 1, 0, 0, 60, 20, 0, &gdi), 0);
  EXPECT_TRUE(parts.Holds(menu));
}

TEST_F(Parts, PartsAreMadeInTheDefaultGroupAndDeletedOnce) {
  parts.SetTarget(&layer);
  ColorBoxPart* box = Box(7);
  EXPECT_EQ(box->GetGroup(), 7);
  EXPECT_FALSE(layer.GetList().IsEmpty());
  ColorBoxPart stranger;
  EXPECT_EQ(parts.DeletePart(nullptr), kDeleteNull);
  EXPECT_EQ(parts.DeletePart(&stranger), kDeleteNotListed);
  EXPECT_EQ(parts.DeletePart(box), kDeleteDone);
  EXPECT_EQ(parts.DeletePart(box), kDeleteNotListed) << "deleted once";
  EXPECT_TRUE(layer.GetList().IsEmpty()) << "a deleted part leaves the screen";
  EXPECT_TRUE(tip.Controls().empty()) << "and the pointer tip";
}

}  // namespace
}  // namespace bw::test
