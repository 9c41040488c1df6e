// The parts a click fires: buttons from pictures, surfaces or drawn cells, colour boxes, and the
// tooltip they show.
#include "gui/button_part.h"
#include "graphics/pixel/blend_tables.h"
#include "gui/color_box_part.h"
#include "host/input/cursor.h"
#include "part_fixture.h"
#include "support/text_renderers.h"
#include "text_widget_fixture.h"

namespace bw::test {
namespace {

using Buttons = PartTest;

TEST_F(Buttons, FileCellsFollowTheStateForFourAndTwoCells) {
  Write("CG/FOUR.BMP", GreyCells(10, 4, 6));
  Write("CG/TWO.BMP", GreyCells(20, 2, 6));
  const ButtonPicture fourCells{
      .order = 1, .hasDisabledCell = true, .hasPressedCell = true, .x = 5, .y = 5};
  ButtonPart four, two, disabledOnly;
  ASSERT_EQ(four.CreateFromFile(&list_, "cg\\four.bmp", fourCells, 0), kCreateDone);
  ASSERT_EQ(two.CreateFromFile(&list_, "cg\\two.bmp", {.order = 1, .x = 5, .y = 5}, 0),
            kCreateDone);
  ASSERT_EQ(disabledOnly.CreateFromFile(&list_, "cg\\four.bmp",
                                        {.order = 1, .hasDisabledCell = true, .x = 5, .y = 5}, 0),
            kCreateDone);
  EXPECT_EQ(disabledOnly.GetWidth(), 40 / 3) << "three cells";
  const struct {
    ButtonPart* button;
    int cells[4];  // shown for states 0 to 3
  } cases[] = {{&four, {0, 1, 2, 3}}, {&two, {0, 1, 1, 0}}, {&disabledOnly, {0, 1, 1, 2}}};
  for (const auto& c : cases) {
    for (int state : {1, 2, 3, 0}) {
      (void)c.button->SetState(state);
      EXPECT_EQ(c.button->GetSprite().GetSourceRect().left / c.button->GetWidth(), c.cells[state])
          << "state " << state;
    }
  }
  EXPECT_EQ(four.CreateFromFile(&list_, "cg\\none.bmp", fourCells, 0), kCreateNoPicture);
  EXPECT_EQ(four.CreateFromFile(&list_, nullptr, fourCells, 0), kCreateBadArguments);
}

TEST_F(Buttons, BoxHitWithoutAColourKeyPixelHitWithOneAndNoHitOnceTheSurfaceGoes) {
  std::vector<uint32_t> columns(40, 0x808080);
  columns[0] = 0;  // the key pixel, at the top left
  Write("CG/TWO.BMP", Cells(1, 6, columns));
  ButtonPart box, keyed;
  ASSERT_EQ(box.CreateFromFile(&list_, "cg\\two.bmp", {.order = 1, .x = 5, .y = 5}, 0),
            kCreateDone);
  ASSERT_EQ(keyed.CreateFromFile(&list_, "cg\\two.bmp",
                                 {.order = 1, .x = 5, .y = 5, .colorKeyA = 0, .colorKeyB = 0}, 0),
            kCreateDone);
  EXPECT_EQ(
      std::tuple(box.HitTest(5, 5), keyed.HitTest(5, 5), keyed.HitTest(6, 5), box.HitTest(25, 5)),
      std::tuple(true, false, true, false))
      << "the keyed pixel is not on the button; one cell wide";

  // A surface button hits nothing once its surface goes.
  auto surface = std::make_unique<ImageSurface>();
  ASSERT_EQ(surface->Create(40, 10, 32, kImageDibSection), 0);
  (void)surface->SetColorKeyRgb(0, 0, 0);
  ButtonPart button;
  ASSERT_EQ(button.CreateFromSurface(&list_, surface.get(), {.order = 1}, 0), kCreateDone);
  (void)surface->Fill(0xFF808080, nullptr);
  EXPECT_TRUE(button.HitTest(3, 3));
  surface.reset();
  EXPECT_FALSE(button.HitTest(3, 3));
  ImageSurface empty;
  EXPECT_EQ(button.CreateFromSurface(&list_, &empty, {.order = 1}, 0), kCreateBadArguments);
}

TEST_F(Buttons, WithoutAPressedCellTheDecideKeyFiresAtOnce) {
  Write("CG/TWO.BMP", GreyCells(20, 2, 6));
  ButtonPart button;
  ASSERT_EQ(button.CreateFromFile(&list_, "cg\\two.bmp", {.order = 1, .x = 5, .y = 5}, 0),
            kCreateDone);
  button.SetId(3);
  EXPECT_EQ(tip_.AddControl(&button, -1), kAddControlDone);
  (void)tip_.SetFocus(&button);
  services_.Key(kReturn, true);
  EXPECT_EQ(tip_.Update(services_.now), kUpdateKeyTaken);
  EXPECT_EQ(std::tuple(tip_.TakeFiredId(), button.GetState(), tip_.IsOverButton(6, 6)),
            std::tuple(3, kStateHover, true));
  (void)button.SetEnabled(false);
  EXPECT_EQ(button.GetState(), kStateDisabled);
  EXPECT_TRUE(tip_.IsOverButton(6, 6)) << "enabled and visible play no part";
}

// The drawn cells painted pixel by pixel from the drawing rules, with nothing on the faces: the
// slow reference of the fills, copies and blends CreateDrawn makes.
class PaintedCells {
 public:
  PaintedCells(int32_t w, int32_t h, bool disabledCell, uint32_t face, uint32_t accent)
      : w_(w), h_(h), n_(disabledCell ? 4 : 3), px_(size_t(n_ * w) * size_t(h), 0) {
    auto channels = [](uint32_t c, auto f) {
      uint32_t out = 0;
      for (int k = 0; k < 3; ++k) out |= uint32_t(f(int(c >> (8 * k)) & 0xFF)) << (8 * k);
      return out;
    };
    const uint32_t light =
        channels(face, [](int v) { return v > 85 ? v + (255 - v) * 2 / 3 : v * 3; });
    const uint32_t mid = channels(face, [](int v) { return v >> 1; });
    const uint32_t dark = channels(face, [](int v) { return v >> 2; });
    Fill(1, 1, w - 2, h - 2, face);
    for (int32_t i = 0; i < n_; ++i) {
      const int32_t cx = i * w;
      if (i == 1) {
        Copy(w - 2, h - 2, cx + 1, 1);
        Blend(cx + 2, 2, cx + w - 3, h - 3, accent);
      } else if (i == 2) {
        Copy(w - 3, h - 3, cx + 2, 2);
        Fill(cx + 1, 1, cx + w - 1, 2, mid);
        Fill(cx + 1, 2, cx + 2, h - 1, mid);
        Blend(cx + 3, 3, cx + w - 3, h - 3, accent);
      } else if (i == 3) {
        Fill(cx + 1, 1, cx + w - 2, h - 2, face);
      }
      const uint32_t a = i == 2 ? 0 : light, b = i == 2 ? 0 : dark;
      Fill(cx, 0, cx + w - 1, 1, a);
      Fill(cx, 1, cx + 1, h - 1, a);
      Fill(cx, h - 1, cx + w, h, b);
      Fill(cx + w - 1, 0, cx + w, h - 1, b);
      Fill(cx + 1, h - 2, cx + w - 1, h - 1, mid);
      Fill(cx + w - 2, 1, cx + w - 1, h - 2, mid);
    }
  }
  uint32_t At(int32_t x, int32_t y) const { return px_[size_t(y) * size_t(n_ * w_) + size_t(x)]; }

 private:
  uint32_t& Pixel(int32_t x, int32_t y) { return px_[size_t(y) * size_t(n_ * w_) + size_t(x)]; }
  void Fill(int32_t l, int32_t t, int32_t r, int32_t b, uint32_t c) {
    for (int32_t y = t; y < b; ++y)
      for (int32_t x = l; x < r; ++x) Pixel(x, y) = c;
  }
  // Cell 0's pixels from (1, 1) up to (right, bottom), to (dx, dy).
  void Copy(int32_t right, int32_t bottom, int32_t dx, int32_t dy) {
    for (int32_t y = 1; y < bottom; ++y)
      for (int32_t x = 1; x < right; ++x) Pixel(dx + x - 1, dy + y - 1) = At(x, y);
  }
  // The accent's colour at the opacity of its alpha byte; the pixel's alpha stays.
  void Blend(int32_t l, int32_t t, int32_t r, int32_t b, uint32_t accent) {
    const int o = int(accent >> 24);
    for (int32_t y = t; y < b; ++y) {
      for (int32_t x = l; x < r; ++x) {
        uint32_t& p = Pixel(x, y);
        uint32_t out = p & 0xFF000000u;
        for (int k = 0; k < 3; ++k) {
          const int v = int(p >> (8 * k)) & 0xFF, c = int(accent >> (8 * k)) & 0xFF;
          out |= uint32_t(ProductTable[255 - o][v] + ProductTable[c][o]) << (8 * k);
        }
        p = out;
      }
    }
  }

  int32_t w_, h_, n_;
  std::vector<uint32_t> px_;
};

TEST_F(Buttons, DrawnCellsMatchTheSlowReferenceAndTakeTheFaceAlpha) {
  const struct {
    int32_t w, h;
    bool disabledCell;
    uint32_t face, accent;
  } cases[] = {{12, 9, true, 0x00D4D0C8, kDefaultAccentColor},
               {8, 8, false, 0x80305070, 0xFF102030},
               {31, 17, true, 0x00FFFFFF, 0x01FF00FF}};
  for (const auto& c : cases) {
    ButtonPart button;
    button.SetFaceColors(c.face, c.accent);
    ASSERT_EQ(button.CreateDrawn(&list_, 1, nullptr, nullptr, 0, 0, c.w, c.h, c.disabledCell, 0),
              kCreateDone);
    const ImageSurface& cells = *button.GetCells();
    const PaintedCells want(c.w, c.h, c.disabledCell, c.face, c.accent);
    ASSERT_EQ(cells.GetWidth(), c.w * (c.disabledCell ? 4 : 3));
    int wrong = 0;
    for (int32_t y = 0; y < c.h; ++y) {
      for (int32_t x = 0; x < cells.GetWidth(); ++x) {
        if (cells.GetPixel(x, y) != want.At(x, y) && ++wrong <= 3)
          ADD_FAILURE() << c.w << "x" << c.h << " at " << x << "," << y << ": " << std::hex
                        << cells.GetPixel(x, y) << " for " << want.At(x, y);
      }
    }
    EXPECT_EQ(wrong, 0) << c.w << "x" << c.h;
    EXPECT_EQ(button.GetSprite().GetAlpha(), c.face >> 24 ? c.face >> 24 : 255) << "the face's";
    EXPECT_TRUE(button.IsBoxHit());
  }
  ButtonPart small;
  EXPECT_EQ(small.CreateDrawn(&list_, 1, "x", nullptr, 0, 0, 7, 20, false, 0), kCreateBadArguments)
      << "too small a face";
}

class ColorBox : public PartTest {
 protected:
  void SetUp() override {
    PartTest::SetUp();
    ASSERT_EQ(box.Create(&list_, 5, 10, 10, 40, 20, 0xFF000010, kKeepColor, kKeepColor, 3),
              kCreateDone);
    box.SetAction({.clickedVar = clicked, .hoveredVar = hovered, .clickSound = 9});
    box.SetId(7);
    EXPECT_EQ(tip_.AddControl(&box, -1), kAddControlDone);
  }

  ColorBoxPart box;
  uint32_t clicked = NewWord(), hovered = NewWord();
};

TEST_F(ColorBox, FiresOnReleaseOnlyWhileThePointerStayed) {
  MoveTo(15, 15);
  EXPECT_EQ(std::tuple(box.GetState(), Word(hovered), box.Rect().GetRgb()),
            std::tuple(kStateHover, 1u, 0x0080FFu))
      << "the hover colour";
  EXPECT_EQ(Button(true), kUpdatePointerTaken);
  EXPECT_EQ(box.GetState(), kStatePressed);
  EXPECT_EQ(Button(false), kUpdatePointerTaken);
  EXPECT_EQ(std::tuple(tip_.TakeFiredId(), Word(clicked), tip_.sounds),
            std::tuple(7, 1u, std::vector<int32_t>{kDefaultEnterSound, 9}));

  services_.memory.Write32(clicked, 0);
  Button(true);
  MoveTo(100, 100);
  EXPECT_EQ(std::tuple(box.GetState(), Word(hovered)), std::tuple(kStateNormal, 0u))
      << "leaving drops to normal";
  services_.Button(false);
  MoveTo(15, 15);
  Step();
  EXPECT_EQ(std::tuple(Word(clicked), tip_.GetFiredId()), std::tuple(0u, -1))
      << "no firing after the pointer left";
}

TEST_F(ColorBox, TheDecideKeyShowsPressedAHundredMillisecondsThenFires) {
  // Across the clock's wrap: the release time lies past it.
  services_.now = 0xFFFFFFC0u;
  ASSERT_EQ(tip_.SetFocus(&box), kFocusDone);
  EXPECT_EQ(box.GetState(), kStateHover);
  EXPECT_EQ(services_.warps.back().x, 639) << "the focus parks the pointer at the bottom right";
  services_.Key(kReturn, true);
  EXPECT_EQ(Step(), kUpdateKeyTaken);
  EXPECT_EQ(box.GetState(), kStatePressed);
  services_.Key(kReturn, false);
  services_.now = 0xFFFFFFC0u + 100;
  Step();
  EXPECT_EQ(box.GetState(), kStatePressed) << "still pressed at +100";
  services_.now = 0xFFFFFFC0u + 101;
  Step();
  EXPECT_EQ(std::tuple(box.GetState(), Word(clicked), tip_.sounds.back()),
            std::tuple(kStateHover, 1u, 9));
}

TEST_F(ColorBox, CreateLiteralStateColoursSoundsAndBadScriptAddresses) {
  ColorBoxPart other;
  EXPECT_EQ(other.Create(&list_, 0, 0, 0, 0, 1, 0, 0, 0, 0), kCreateBadArguments);
  ASSERT_EQ(other.Create(&list_, 0, 0, 0, 4, 4, kKeepColor, kKeepColor, kKeepColor, 0),
            kCreateDone);
  EXPECT_EQ(std::tuple(other.Rect().GetRgb(), other.Rect().GetAlpha()), std::tuple(0u, 0))
      << "a kept normal colour on a new part is transparent black";
  (void)other.SetState(0x80123456);
  EXPECT_EQ(std::tuple(other.Rect().GetRgb(), other.GetState()), std::tuple(0x123456u, 0x56));

  EXPECT_EQ(tip_.PlaySound(nullptr, kDefaultEnterSound, 0, 0), kSoundNotPlayed)
      << "no sound player";
  box.SetAction(
      {.clickedVar = 8, .clickSoundFile = "se.ogg", .enterSoundFile = "in.ogg", .enterSound = 7});
  EXPECT_EQ(std::tuple(box.GetAction()->enterSound, box.GetAction()->clickSound), std::tuple(0, 0))
      << "a sound file makes its number 0";
  ClickAt(15, 15);
  EXPECT_EQ(tip_.TakeFiredId(), 7) << "a bad script address is skipped, the part still fires";
  EXPECT_FALSE(services_.memory.Faulted());
}

class Tooltip : public ScreenPartTest, public testing_text::FakeFaceRenderers {};

TEST_F(Tooltip, TheBoxFramesTheTextWithAShadowAndGoesAboveAtTheBottom) {
  tip_.SetTargetLayer(&layer_);
  tip_.SetTooltipFont(&gdi);
  Size size;
  int32_t left = 0, top = 0;
  gdi.MeasureText("AB", &size, &left, &top, true, nullptr);
  tip_.ShowTooltip("AB", 10, 10);
  const ImageSurface& box = tip_.TooltipSurface();
  int32_t w = size.width + 10, h = size.height + 10;
  ASSERT_EQ(std::pair(box.GetWidth(), box.GetHeight()), std::pair(w, h));
  auto pixel = [&](int32_t x, int32_t y) { return box.GetPixel(x, y); };
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      uint32_t want;
      bool frame = x < w - 4 && y < h - 4 && (x == 0 || y == 0 || x == w - 5 || y == h - 5);
      if (frame) {
        want = 0xFF445F97;
      } else if (x < w - 4 && y < h - 4) {
        continue;  // the face and the text's ink
      } else if ((x >= w - 4 && y < 4) || (x < 4 && y >= h - 4)) {
        want = 0;
      } else {
        want = 0x80000000;
      }
      ASSERT_EQ(pixel(x, y), want) << "at " << x << "," << y;
    }
  }
  EXPECT_EQ(pixel(1, 1), 0xD0FFFFE1u) << "the face";
  EXPECT_EQ(std::pair(tip_.TooltipSprite().GetX(), tip_.TooltipSprite().GetY()), std::pair(10, 32));
  tip_.ShowTooltip("AB", 190, 90);
  EXPECT_EQ(std::pair(tip_.TooltipSprite().GetX(), tip_.TooltipSprite().GetY()),
            std::pair(200 - w, 90 - h))
      << "kept inside the layer, and above the pointer with no room below";
  EXPECT_TRUE(tip_.SetCursorState(1));
  EXPECT_EQ(host::CursorShape(), host::kCursorPointingHand) << "the program's pointing hand";
  EXPECT_FALSE(tip_.SetCursorState(7));
}

}  // namespace
}  // namespace bw::test
