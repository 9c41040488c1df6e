#include "gui/part_manager.h"

#include <functional>

#include "graphics/surface/composition_layer.h"
#include "gui/button_part.h"
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
  ImageSurface face;
  ASSERT_EQ(face.Create(40, 10, 32, kImageDibSection), 0);
  struct Case {
    const char* name;
    std::function<int(UiControl**)> make;
    int expected;
  };
  const Case cases[] = {
      {"drawn button",
       [&](UiControl** out) {
         ButtonPart* b = nullptr;
         int r = parts.CreateDrawnButton(&b, 1, "OK", &gdi, 0, 0, 40, 20, false);
         *out = b;
         return r;
       },
       kCreateBadArguments},
      {"file button",
       [&](UiControl** out) {
         ButtonPart* b = nullptr;
         int r = parts.CreateFileButton(&b, 1, "cg\\b.bmp", false, false, 0, 0, 0, 255, -1, -1);
         *out = b;
         return r;
       },
       kCreateBadArguments},
      {"surface button",
       [&](UiControl** out) {
         ButtonPart* b = nullptr;
         int r = parts.CreateSurfaceButton(&b, 1, &face, false, false, 0, 0, 0, 255);
         *out = b;
         return r;
       },
       kCreateBadArguments},
      {"colour box",
       [&](UiControl** out) {
         ColorBoxPart* b = nullptr;
         int r = parts.CreateColorBox(&b, 1, 0, 0, 10, 10, 1, 2, 3);
         *out = b;
         return r;
       },
       kCreateBadArguments},
      {"check button",
       [&](UiControl** out) {
         return parts.CreateFileCheckButton(out, 0, nullptr, 1, "cg\\c.bmp", false, 0, 0, 0, 255);
       },
       kCreateBadArguments},
  };
  ColorBoxPart sentinel;
  for (const Case& c : cases) {
    UiControl* out = &sentinel;  // the factory clears it
    EXPECT_EQ(c.make(&out), c.expected) << c.name;
    EXPECT_EQ(out, nullptr) << c.name;
    EXPECT_EQ(parts.PartCount(), 0u) << c.name;
  }
  // The menu keeps no target of its own until it is given one: it is made and listed.
  ImageListPart* menu = nullptr;
  EXPECT_EQ(parts.CreateImageList(&menu, 1, 0, 0, 60, 20, 0, nullptr), 1) << "no renderer";
  EXPECT_EQ(menu, nullptr);
  ASSERT_EQ(parts.CreateImageList(&menu, 1, 0, 0, 60, 20, 0, &gdi), 0);
  EXPECT_TRUE(parts.Holds(menu));
}

TEST_F(Parts, PartsAreMadeInTheDefaultGroupOnTheTargetList) {
  parts.SetTarget(&layer);
  ColorBoxPart* box = Box(7);
  EXPECT_EQ(box->GetGroup(), 7);
  EXPECT_FALSE(layer.GetList().IsEmpty());
  EXPECT_EQ(parts.DeletePart(box), kDeleteDone);
  EXPECT_TRUE(layer.GetList().IsEmpty()) << "a deleted part leaves the screen";
  EXPECT_TRUE(tip.Controls().empty()) << "and the pointer tip";
}

TEST_F(Parts, DeletePartAnswersForNullAndStrangers) {
  parts.SetTarget(&layer);
  ColorBoxPart* box = Box(0);
  ColorBoxPart stranger;
  EXPECT_EQ(parts.DeletePart(nullptr), kDeleteNull);
  EXPECT_EQ(parts.DeletePart(&stranger), kDeleteNotListed);
  EXPECT_EQ(parts.DeletePart(box), kDeleteDone);
  EXPECT_EQ(parts.DeletePart(box), kDeleteNotListed) << "deleted once";
}

TEST_F(Parts, DeleteGroupTakesTheGroupOrEveryOtherGroup) {
  parts.SetTarget(&layer);
  struct Case {
    bool invert;
    std::vector<int32_t> kept;
  };
  for (const Case& c : {Case{false, {2, 3}}, Case{true, {1, 1}}}) {
    ColorBoxPart* made[] = {Box(1), Box(2), Box(1), Box(3)};
    parts.DeleteGroup(1, c.invert);
    std::vector<int32_t> kept;
    for (ColorBoxPart* box : made) {
      if (parts.Holds(box)) kept.push_back(box->GetGroup());
    }
    EXPECT_EQ(kept, c.kept) << "invert " << c.invert;
    EXPECT_EQ(tip.Controls().size(), c.kept.size()) << "deleted parts leave the pointer tip";
    parts.DeleteAll();
    EXPECT_EQ(parts.PartCount(), 0u);
    EXPECT_TRUE(tip.Controls().empty());
  }
}

}  // namespace
}  // namespace bw::test
