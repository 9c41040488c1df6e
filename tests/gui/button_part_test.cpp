#include "gui/button_part.h"

#include <cstring>

#include "gui_fixture.h"
#include "lib/bmp/bmp_builder.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "support/image_test_rig.h"

namespace bw::test {
namespace {

uint32_t PixelAt(const ImageSurface& s, int32_t x, int32_t y) {
  uint32_t v;
  std::memcpy(&v, s.GetRowPointer(y) + 4 * x, 4);
  return v;
}

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

class Buttons : public GameFolderTest {
 protected:
  void SetUp() override {
    GameFolderTest::SetUp();
    BuildBlendTables();
    RegisterBuiltinLoaders(images_);
    tip_.SetServices(&services_);
  }
  int32_t ShownCell(const ButtonPart& button) {
    return button.GetSprite().GetSourceRect().left / button.GetWidth();
  }

  ScopedPixelLibrary library_{&BuiltInPixelLibrary()};
  ImageLoaderManager images_;
  ScopedGlobal<ImageLoaderManager> publish_{&images_};
  DisplayObjectList list_;
  FakeGuiServices services_;
  RecordingPointerTip tip_;
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
  EXPECT_EQ(four.GetWidth(), 10);
  EXPECT_EQ(two.GetWidth(), 20);
  EXPECT_EQ(disabledOnly.GetWidth(), 40 / 3);
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
  EXPECT_TRUE(box.IsBoxHit());
  EXPECT_FALSE(keyed.IsBoxHit());
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

// The drawn face, pixel by pixel, as the rules say it.
void ExpectDrawnCells(const ImageSurface& cells, int32_t w, int32_t h, uint32_t face,
                      uint32_t accent) {
  const uint32_t light = BrightenColor(face, 3);
  const uint32_t mid = ShiftColor(face, -1);
  const uint32_t dark = ShiftColor(face, -2);
  ImageSurface blended;
  ASSERT_EQ(blended.Create(1, 1, 32, kImageDibSection), 0);
  auto blend = [&](uint32_t under) {
    blended.Fill(under, nullptr);
    blended.FillColorBlend((accent >> 16) & 0xFF, (accent >> 8) & 0xFF, accent & 0xFF, accent >> 24,
                           nullptr);
    return PixelAt(blended, 0, 0);
  };
  ASSERT_EQ(cells.GetWidth(), 4 * w);
  for (int cell = 0; cell < 4; ++cell) {
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        const bool pressed = cell == 2;
        uint32_t want = face;
        if (x == w - 1 || y == h - 1) {
          want = pressed ? 0 : dark;
        } else if (x == 0 || y == 0) {
          want = pressed ? 0 : light;
        } else if (x == w - 2 || y == h - 2) {
          want = mid;
        } else if (pressed && (x == 1 || y == 1)) {
          want = mid;
        } else if (cell == 1 && x >= 2 && y >= 2 && x < w - 3 && y < h - 3) {
          want = blend(face);
        } else if (pressed && x >= 3 && y >= 3 && x < w - 3 && y < h - 3) {
          want = blend(face);
        }
        ASSERT_EQ(PixelAt(cells, cell * w + x, y) & 0xFFFFFF, want & 0xFFFFFF)
            << "cell " << cell << " at " << x << "," << y;
      }
    }
  }
}

TEST_F(Buttons, DrawnCellsMatchTheReferencePlainAndTranslucent) {
  for (uint32_t face : {0x00D4D0C8u, 0x80305070u}) {
    ButtonPart button;
    button.SetFaceColors(face, kDefaultAccentColor);
    ASSERT_EQ(button.CreateDrawn(&list_, 1, nullptr, nullptr, 4, 4, 12, 9, true, 0), kCreateDone);
    ExpectDrawnCells(*button.GetCells(), 12, 9, face, kDefaultAccentColor);
    EXPECT_EQ(button.GetSprite().GetAlpha(), face == 0x80305070u ? 0x80 : 255);
    EXPECT_TRUE(button.IsBoxHit());
  }
  ButtonPart small;
  EXPECT_EQ(small.CreateDrawn(&list_, 1, "x", nullptr, 0, 0, 7, 20, false, 0), kCreateBadArguments);
  EXPECT_EQ(BrightenColor(0xFF102060, 3), 0x3060CAu) << "tripled, or two thirds of the way to 255";
  EXPECT_EQ(ShiftColor(0x102060, 1), 0x2040C0u);
}

}  // namespace
}  // namespace bw::test
