#include "gui/color_box_part.h"

#include "graphics/surface/composition_layer.h"
#include "gui_fixture.h"
#include "host/input/cursor.h"
#include "support/text_renderers.h"

namespace bw::test {
namespace {

class ColorBox : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    ASSERT_EQ(box.Create(&list, 5, 10, 10, 40, 20, 0xFF000010, kKeepColor, kKeepColor, 3),
              kCreateDone);
    clicked = services.memory.Allocate(4);
    hovered = services.memory.Allocate(4);
    box.SetAction(nullptr, 0, nullptr, clicked, hovered, 0, nullptr, nullptr, nullptr, 9, -1, -1);
    box.SetId(7);
    tip.AddControl(&box, -1);
  }
  uint32_t Word(uint32_t address) {
    uint32_t value = 0;
    services.memory.Read32(address, value);
    return value;
  }
  void MoveTo(int32_t x, int32_t y) {
    services.x = x;
    services.y = y;
    tip.Update(services.now);
  }

  DisplayObjectList list;
  ColorBoxPart box;
  uint32_t clicked = 0;
  uint32_t hovered = 0;
};

TEST_F(ColorBox, FiresOnReleaseOnlyWhileThePointerStayed) {
  MoveTo(15, 15);
  EXPECT_EQ(box.GetState(), kStateHover);
  EXPECT_EQ(Word(hovered), 1u);
  EXPECT_EQ(box.Rect().GetRgb(), 0x0080FFu) << "the hover colour";
  services.Button(true);
  EXPECT_EQ(tip.Update(services.now), kUpdatePointerTaken);
  EXPECT_EQ(box.GetState(), kStatePressed);
  services.Button(false);
  EXPECT_EQ(tip.Update(services.now), kUpdatePointerTaken);
  EXPECT_EQ(tip.TakeFiredId(), 7);
  EXPECT_EQ(Word(clicked), 1u);
  EXPECT_EQ(tip.sounds, (std::vector<int32_t>{kDefaultEnterSound, 9}));

  services.memory.Write32(clicked, 0);
  services.Button(true);
  tip.Update(services.now);
  MoveTo(100, 100);
  EXPECT_EQ(box.GetState(), kStateNormal) << "leaving drops to normal";
  EXPECT_EQ(Word(hovered), 0u);
  services.Button(false);
  MoveTo(15, 15);
  tip.Update(services.now);
  EXPECT_EQ(Word(clicked), 0u) << "no firing after the pointer left";
  EXPECT_EQ(tip.GetFiredId(), -1);
}

TEST_F(ColorBox, TheDecideKeyShowsPressedAHundredMillisecondsThenFires) {
  // Across the clock's wrap: the release time lies past it.
  services.now = 0xFFFFFFC0u;
  ASSERT_EQ(tip.SetFocus(&box), kFocusDone);
  EXPECT_EQ(box.GetState(), kStateHover);
  EXPECT_EQ(services.warps.back().x, 639) << "the focus parks the pointer at the bottom right";
  services.Key(kReturn, true);
  EXPECT_EQ(tip.Update(services.now), kUpdateKeyTaken);
  EXPECT_EQ(box.GetState(), kStatePressed);
  services.Key(kReturn, false);
  services.now = 0xFFFFFFC0u + 100;
  tip.Update(services.now);
  EXPECT_EQ(box.GetState(), kStatePressed) << "still pressed at +100";
  services.now = 0xFFFFFFC0u + 101;
  tip.Update(services.now);
  EXPECT_EQ(box.GetState(), kStateHover);
  EXPECT_EQ(Word(clicked), 1u);
  EXPECT_EQ(tip.sounds.back(), 9);
}

TEST_F(ColorBox, CreateAndTheLiteralStateColours) {
  ColorBoxPart other;
  EXPECT_EQ(other.Create(&list, 0, 0, 0, 0, 1, 0, 0, 0, 0), kCreateBadArguments);
  ASSERT_EQ(other.Create(&list, 0, 0, 0, 4, 4, kKeepColor, kKeepColor, kKeepColor, 0), kCreateDone);
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
  EXPECT_EQ(tip.PlaySound(nullptr, kDefaultEnterSound, 0, 0), kSoundNotPlayed) << "no sound player";
  box.SetAction(nullptr, 0, nullptr, 8, 0, 0, "se.ogg", "in.ogg", nullptr, -1, 7, -1);
  EXPECT_EQ(box.GetAction()->enterSound, 0) << "a sound file makes its number 0";
  EXPECT_EQ(box.GetAction()->clickSound, 0);
  MoveTo(15, 15);
  services.Button(true);
  tip.Update(services.now);
  services.Button(false);
  tip.Update(services.now);
  EXPECT_EQ(tip.TakeFiredId(), 7) << "a bad script address is skipped, the part still fires";
  EXPECT_FALSE(services.memory.Faulted());
}

class Tooltip : public GuiTest, public testing_text::FakeFaceRenderers {};

TEST_F(Tooltip, TheBoxFramesTheTextWithAShadowAndGoesAboveAtTheBottom) {
  ImageSurface screen;
  ASSERT_EQ(screen.Create(200, 100, 32, kImageDibSection), 0);
  CompositionLayer layer;
  layer.SetTarget(&screen, true);
  tip.SetTargetLayer(&layer);
  tip.SetTooltipFont(&gdi);
  Size size;
  int32_t left = 0, top = 0;
  gdi.MeasureText("AB", &size, &left, &top, true, nullptr);
  tip.ShowTooltip("AB", 10, 10);
  const ImageSurface& box = tip.TooltipSurface();
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
  EXPECT_EQ(std::pair(tip.TooltipSprite().GetX(), tip.TooltipSprite().GetY()), std::pair(10, 32));
  tip.ShowTooltip("AB", 190, 90);
  EXPECT_EQ(std::pair(tip.TooltipSprite().GetX(), tip.TooltipSprite().GetY()),
            std::pair(200 - w, 90 - h))
      << "kept inside the layer, and above the pointer with no room below";
  EXPECT_TRUE(tip.SetCursorState(1));
  EXPECT_EQ(host::CursorShape(), host::kCursorPointingHand) << "the program's pointing hand";
  EXPECT_FALSE(tip.SetCursorState(7));
}

}  // namespace
}  // namespace bw::test
