#include "gui/color_box_part.h"

#include "host/input/cursor.h"
#include "part_fixture.h"
#include "support/text_renderers.h"

namespace bw::test {
namespace {

class ColorBox : public PartTest {
 protected:
  void SetUp() override {
    PartTest::SetUp();
    ASSERT_EQ(box.Create(&list_, 5, 10, 10, 40, 20, 0xFF000010, kKeepColor, kKeepColor, 3),
              kCreateDone);
    box.SetAction({.clickedVar = clicked, .hoveredVar = hovered, .clickSound = 9});
    box.SetId(7);
    tip_.AddControl(&box, -1);
  }

  ColorBoxPart box;
  uint32_t clicked = NewWord();
  uint32_t hovered = NewWord();
};

TEST_F(ColorBox, FiresOnReleaseOnlyWhileThePointerStayed) {
  MoveTo(15, 15);
  EXPECT_EQ(box.GetState(), kStateHover);
  EXPECT_EQ(Word(hovered), 1u);
  EXPECT_EQ(box.Rect().GetRgb(), 0x0080FFu) << "the hover colour";
  services_.Button(true);
  EXPECT_EQ(Step(), kUpdatePointerTaken);
  EXPECT_EQ(box.GetState(), kStatePressed);
  services_.Button(false);
  EXPECT_EQ(Step(), kUpdatePointerTaken);
  EXPECT_EQ(tip_.TakeFiredId(), 7);
  EXPECT_EQ(Word(clicked), 1u);
  EXPECT_EQ(tip_.sounds, (std::vector<int32_t>{kDefaultEnterSound, 9}));

  services_.memory.Write32(clicked, 0);
  services_.Button(true);
  Step();
  MoveTo(100, 100);
  EXPECT_EQ(box.GetState(), kStateNormal) << "leaving drops to normal";
  EXPECT_EQ(Word(hovered), 0u);
  services_.Button(false);
  MoveTo(15, 15);
  Step();
  EXPECT_EQ(Word(clicked), 0u) << "no firing after the pointer left";
  EXPECT_EQ(tip_.GetFiredId(), -1);
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
  EXPECT_EQ(box.GetState(), kStateHover);
  EXPECT_EQ(Word(clicked), 1u);
  EXPECT_EQ(tip_.sounds.back(), 9);
}

TEST_F(ColorBox, CreateAndTheLiteralStateColours) {
  ColorBoxPart other;
  EXPECT_EQ(other.Create(&list_, 0, 0, 0, 0, 1, 0, 0, 0, 0), kCreateBadArguments);
  ASSERT_EQ(other.Create(&list_, 0, 0, 0, 4, 4, kKeepColor, kKeepColor, kKeepColor, 0),
            kCreateDone);
  EXPECT_EQ(other.Rect().GetRgb(), 0u);
  EXPECT_EQ(other.Rect().GetAlpha(), 0)
      << "a kept normal colour on a new part is transparent black";
  other.SetState(0x80123456);
  EXPECT_EQ(other.Rect().GetRgb(), 0x123456u);
  EXPECT_EQ(other.GetState(), 0x56);
  EXPECT_TRUE(box.HitTest(49, 29));
  EXPECT_FALSE(box.HitTest(50, 15)) << "the right edge is outside";
}

TEST_F(ColorBox, SoundsScriptWordsAndBadAddresses) {
  EXPECT_EQ(tip_.PlaySound(nullptr, kDefaultEnterSound, 0, 0), kSoundNotPlayed)
      << "no sound player";
  box.SetAction(
      {.clickedVar = 8, .clickSoundFile = "se.ogg", .enterSoundFile = "in.ogg", .enterSound = 7});
  EXPECT_EQ(box.GetAction()->enterSound, 0) << "a sound file makes its number 0";
  EXPECT_EQ(box.GetAction()->clickSound, 0);
  MoveTo(15, 15);
  Click();
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
  auto pixel = [&](int32_t x, int32_t y) {
    return *reinterpret_cast<const uint32_t*>(box.GetRowPointer(y) + 4 * x);
  };
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
