#include "gui/button_part.h"

#include "part_fixture.h"
#include "text_widget_fixture.h"

namespace bw::test {
namespace {

// A 24-bit picture whose columns say which cell they belong to; (0, 0) of each cell is black.
std::vector<uint8_t> CellPicture(int32_t cellWidth, int32_t cells, int32_t height) {
  tools::BmpFields bmp;
  bmp.width = cellWidth * cells;
  bmp.height = height;
  for (int32_t y = height; y-- > 0;) {
    for (int32_t x = 0; x < bmp.width; ++x) {
      uint8_t level = static_cast<uint8_t>(40 * (x / cellWidth + 1));
      if (x % cellWidth == 0 && y == 0) level = 0;
      bmp.data.insert(bmp.data.end(), {level, level, level});
    }
    bmp.data.resize((bmp.data.size() + 3) & ~size_t{3});
  }
  return tools::BuildBmp(bmp);
}

class Buttons : public PartTest {
 protected:
  int32_t ShownCell(const ButtonPart& button) {
    return button.GetSprite().GetSourceRect().left / button.GetWidth();
  }
};

TEST_F(Buttons, FileCellsFollowTheStateForFourAndTwoCells) {
  Write("CG/FOUR.BMP", CellPicture(10, 4, 6));
  Write("CG/TWO.BMP", CellPicture(20, 2, 6));
  ButtonPart four, two, disabledOnly;
  ASSERT_EQ(four.CreateFromFile(&list_, 1, "cg\\four.bmp", true, true, 5, 5, 0, 255, -1, -1, 0),
            kCreateDone);
  ASSERT_EQ(two.CreateFromFile(&list_, 1, "cg\\two.bmp", false, false, 5, 5, 0, 255, -1, -1, 0),
            kCreateDone);
  ASSERT_EQ(
      disabledOnly.CreateFromFile(&list_, 1, "cg\\four.bmp", true, false, 5, 5, 0, 255, -1, -1, 0),
      kCreateDone);
  EXPECT_EQ(disabledOnly.GetWidth(), 40 / 3) << "three cells";
  const struct {
    ButtonPart* button;
    int cells[4];  // shown for states 0 to 3
  } cases[] = {{&four, {0, 1, 2, 3}}, {&two, {0, 1, 1, 0}}, {&disabledOnly, {0, 1, 1, 2}}};
  for (const auto& c : cases) {
    for (int state : {1, 2, 3, 0}) {
      c.button->SetState(state);
      EXPECT_EQ(ShownCell(*c.button), c.cells[state]) << "state " << state;
    }
  }
  EXPECT_EQ(four.CreateFromFile(&list_, 1, "cg\\none.bmp", true, true, 5, 5, 0, 255, -1, -1, 0),
            kCreateNoPicture);
  EXPECT_EQ(four.CreateFromFile(&list_, 1, nullptr, true, true, 5, 5, 0, 255, -1, -1, 0),
            kCreateBadArguments);
}

TEST_F(Buttons, BoxHitWithoutAColourKeyAndPixelHitWithOne) {
  Write("CG/TWO.BMP", CellPicture(20, 2, 6));
  ButtonPart box, keyed;
  ASSERT_EQ(box.CreateFromFile(&list_, 1, "cg\\two.bmp", false, false, 5, 5, 0, 255, -1, -1, 0),
            kCreateDone);
  ASSERT_EQ(keyed.CreateFromFile(&list_, 1, "cg\\two.bmp", false, false, 5, 5, 0, 255, 0, 0, 0),
            kCreateDone);
  EXPECT_TRUE(box.IsBoxHit() && !keyed.IsBoxHit());
  EXPECT_TRUE(box.HitTest(5, 5));
  EXPECT_FALSE(keyed.HitTest(5, 5)) << "the keyed pixel is not on the button";
  EXPECT_TRUE(keyed.HitTest(6, 5));
  EXPECT_FALSE(box.HitTest(25, 5)) << "one cell wide";
}

TEST_F(Buttons, ASurfaceButtonShowsNothingOnceItsSurfaceGoes) {
  auto surface = std::make_unique<ImageSurface>();
  ASSERT_EQ(surface->Create(40, 10, 32, kImageDibSection), 0);
  surface->SetColorKeyRgb(0, 0, 0);
  ButtonPart button;
  ASSERT_EQ(button.CreateFromSurface(&list_, 1, surface.get(), false, false, 0, 0, 0, 255, 0),
            kCreateDone);
  surface->Fill(0xFF808080, nullptr);
  EXPECT_TRUE(button.HitTest(3, 3));
  surface.reset();
  EXPECT_FALSE(button.HitTest(3, 3));
  ImageSurface empty;
  EXPECT_EQ(button.CreateFromSurface(&list_, 1, &empty, false, false, 0, 0, 0, 255, 0),
            kCreateBadArguments);
}

TEST_F(Buttons, WithoutAPressedCellTheDecideKeyFiresAtOnce) {
  Write("CG/TWO.BMP", CellPicture(20, 2, 6));
  ButtonPart button;
  ASSERT_EQ(button.CreateFromFile(&list_, 1, "cg\\two.bmp", false, false, 5, 5, 0, 255, -1, -1, 0),
            kCreateDone);
  button.SetId(3);
  tip_.AddControl(&button, -1);
  tip_.SetFocus(&button);
  services_.Key(kReturn, true);
  EXPECT_EQ(tip_.Update(services_.now), kUpdateKeyTaken);
  EXPECT_EQ(tip_.TakeFiredId(), 3);
  EXPECT_EQ(button.GetState(), kStateHover);
  EXPECT_TRUE(tip_.IsOverButton(6, 6));
  button.SetEnabled(false);
  EXPECT_EQ(button.GetState(), kStateDisabled);
  EXPECT_TRUE(tip_.IsOverButton(6, 6)) << "enabled and visible play no part";
}

TEST_F(Buttons, DrawnCellsTakeTheFaceAlphaAndRefuseTooSmallAFace) {
  for (uint32_t face : {0x00D4D0C8u, 0x80305070u}) {
    ButtonPart button;
    button.SetFaceColors(face, kDefaultAccentColor);
    ASSERT_EQ(button.CreateDrawn(&list_, 1, nullptr, nullptr, 4, 4, 12, 9, true, 0), kCreateDone);
    ASSERT_EQ(button.GetCells()->GetWidth(), 4 * 12);
    EXPECT_EQ(PagePixel(*button.GetCells(), 5, 4) & 0xFFFFFF, face & 0xFFFFFF) << "the face";
    EXPECT_EQ(PagePixel(*button.GetCells(), 0, 4) & 0xFFFFFF, BrightenColor(face, 3) & 0xFFFFFF);
    EXPECT_EQ(button.GetSprite().GetAlpha(), face == 0x80305070u ? 0x80 : 255);
    EXPECT_TRUE(button.IsBoxHit());
  }
  ButtonPart small;
  EXPECT_EQ(small.CreateDrawn(&list_, 1, "x", nullptr, 0, 0, 7, 20, false, 0), kCreateBadArguments);
  EXPECT_EQ(BrightenColor(0xFF102060, 3), 0x3060CAu) << "tripled, or two thirds of the way to 255";
}

}  // namespace
}  // namespace bw::test
