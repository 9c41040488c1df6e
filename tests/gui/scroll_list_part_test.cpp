#include "gui/scroll_list_part.h"

#include "part_fixture.h"

namespace bw::test {
namespace {

class RecordingSink : public ControlEventSink {
 public:
  void OnFired(UiControl*, int32_t value) override { values.push_back(value); }
  void OnScrollEnd(UiControl*) override { ++ends; }
  std::vector<int32_t> values;
  int ends = 0;
};

// A drawn vertical bar of size 16 at the origin over 116 pixels: the track runs from 16 to 100,
// and 1000 units with 100 shown give an 8-pixel thumb travelling 76 pixels over 900 units.
class ScrollBars : public PartTest {
 protected:
  void SetUp() override {
    PartTest::SetUp();
    ASSERT_EQ(bar_.CreateDrawn(&list_, {.order = 1}, 0), kCreateDone);
    ASSERT_EQ(bar_.SetRange(116, 1000, 100, 0, 0, 1), 0);
    ASSERT_EQ(std::tuple(bar_.GetThumbLength(), bar_.GetThumbMax()), std::tuple(8, 76));
    bar_.SetEventSink(&sink_);
    (void)bar_.AddToPointerManager(&tip_, -1);
  }
  // One frame at the given time, the devices read afresh.
  void Frame(uint32_t now) {
    services_.input.Poll();
    services_.now = now;
    Step();
  }

  ScrollListPart bar_;
  RecordingSink sink_;
};

TEST_F(ScrollBars, HoldingOnTheTrackPagesAtOnceThenAfter500ThenEvery100Ms) {
  MoveTo(8, 90);
  EXPECT_EQ(bar_.GetBarState(), kBarHover);
  Button(true);
  EXPECT_EQ(bar_.GetBarState(), kBarPressed);
  std::vector<int32_t> thumb{bar_.GetThumbPos()};
  for (uint32_t t : {1499u, 1500u, 1599u, 1600u, 1700u, 1800u, 1900u, 2000u, 2100u, 2200u, 2300u}) {
    Frame(t);
    thumb.push_back(bar_.GetThumbPos());
  }
  EXPECT_EQ(thumb, (std::vector<int32_t>{8, 8, 16, 16, 24, 32, 40, 48, 56, 64, 72, 72}))
      << "paging stops once the thumb reaches the pointer at 90";
  ASSERT_EQ(sink_.values.size(), 9u);
  EXPECT_EQ(std::tuple(bar_.GetBarState(), sink_.values[0]), std::tuple(kBarHover, 900 * 8 / 76));
}

TEST_F(ScrollBars, DraggingKeepsTheCaptureOutsideTheTrack) {
  MoveTo(8, 20);
  Button(true);
  EXPECT_TRUE(tip_.IsCaptured());
  services_.input.Poll();
  MoveTo(100, 60);
  EXPECT_EQ(std::tuple(bar_.GetThumbPos(), bar_.GetScrollPos()), std::tuple(40, 900 * 40 / 76))
      << "dragged 40 pixels outside the track";
  MoveTo(100, 500);
  EXPECT_EQ(std::pair(bar_.GetThumbPos(), bar_.GetScrollPos()), std::pair(76, 900));
  Button(false);
  EXPECT_EQ(std::tuple(tip_.IsCaptured(), bar_.GetBarState()), std::tuple(false, kBarNormal))
      << "the release re-tests the hover";
  Step();
  EXPECT_EQ(tip_.GetHover(), nullptr);
}

TEST_F(ScrollBars, TrackClickModeOneCentresTheThumbAndOnlyTheThumbDrags) {
  bar_.SetTrackClickMode(1);
  MoveTo(8, 60);
  Button(true);
  EXPECT_EQ(bar_.GetThumbPos(), 60 - 16 - 4) << "centred on the pointer";
  EXPECT_EQ(bar_.GetBarState(), kBarHover) << "a click on the track does not drag";
  services_.input.Poll();
  MoveTo(8, 80);
  EXPECT_EQ(bar_.GetThumbPos(), 40);
  Button(false);
  MoveTo(8, 60);
  Button(true);
  EXPECT_EQ(bar_.GetBarState(), kBarPressed) << "a press on the thumb drags";
  services_.input.Poll();
  MoveTo(8, 70);
  EXPECT_EQ(bar_.GetThumbPos(), 50);
}

TEST_F(ScrollBars, TheWheelStepsByUnitsOrByThumbPixels) {
  const struct {
    int32_t step, start;
    bool away;
    int32_t scrollPos, thumbPos;
  } cases[] = {
      {0, 0, false, 1, 0},
      {0, 900, false, 900, 76},
      {0, 0, true, 0, 0},
      {-10, 0, false, 900 * 10 / 76, 10},
      {-10, 900, true, 900 * 66 / 76, 66},
      {50, 0, false, 50, 76 * 50 / 900},
  };
  MoveTo(8, 90);
  for (const auto& c : cases) {
    bar_.SetStep(c.step);
    (void)bar_.SetScrollPosition(c.start);
    services_.input.OnMouseWheel(static_cast<host::WPARAM>(uint16_t(c.away ? 120 : -120)) << 16);
    services_.input.Poll();
    Step();
    services_.input.Poll();
    EXPECT_EQ(std::tuple(bar_.GetScrollPos(), bar_.GetThumbPos()),
              std::tuple(c.scrollPos, c.thumbPos))
        << "step " << c.step << " from " << c.start;
  }
  EXPECT_EQ(sink_.ends, 1) << "one unit step on from the end";
}

TEST_F(ScrollBars, AHeldArrowStepsOnThePressThenRepeats) {
  EXPECT_FALSE(bar_.GetBackButton()->IsEnabled()) << "at the start";
  MoveTo(8, 105);
  ASSERT_EQ(tip_.GetHover(), bar_.GetForwardButton());
  Button(true);
  std::vector<int32_t> pos{bar_.GetScrollPos()};
  for (uint32_t t : {1499u, 1500u, 1599u, 1600u}) {
    Frame(t);
    pos.push_back(bar_.GetScrollPos());
  }
  services_.Button(false);
  Frame(1800);
  pos.push_back(bar_.GetScrollPos());
  EXPECT_EQ(pos, (std::vector<int32_t>{1, 1, 2, 2, 3, 3}));
  EXPECT_TRUE(bar_.GetBackButton()->IsEnabled());
}

TEST_F(ScrollBars, RangesWorkIn64BitsAndBadRangesScrollNothing) {
  ASSERT_EQ(bar_.SetRange(116, 2000000000, 1000000000, 1500000000, 0, 1), 0);
  EXPECT_EQ(std::tuple(bar_.GetThumbLength(), bar_.GetScrollPos(), bar_.GetThumbPos()),
            std::tuple(42, 1000000000, 42))
      << "clamped to the end";
  EXPECT_EQ(bar_.SetScrollPosition(500000000), 0);
  EXPECT_EQ(bar_.GetThumbPos(), 21);
  EXPECT_EQ(bar_.SetThumbPosition(10), 0);
  EXPECT_EQ(bar_.GetScrollPos(), 238095238);

  const struct {
    int32_t total, visible;
    int result;
  } bad[] = {{0, 10, kScrollNothing}, {100, -1, kScrollNothing}, {100, 400, kScrollUnchanged}};
  for (const auto& c : bad) {
    EXPECT_EQ(bar_.SetRange(116, c.total, c.visible, 0, 0, 1), c.result)
        << c.total << " / " << c.visible;
  }
  EXPECT_EQ(std::tuple(bar_.GetScrollPos(), bar_.IsEnabled(), bar_.GetForwardButton()->IsEnabled()),
            std::tuple(-1, false, false));
  EXPECT_EQ(bar_.SetScrollPosition(3), kScrollNothing);
  EXPECT_EQ(bar_.Step(false), kScrollUnchanged);
  EXPECT_EQ(sink_.ends, 0) << "a step back ends nothing";
  EXPECT_EQ(bar_.Step(true), kScrollUnchanged);
  EXPECT_EQ(sink_.ends, 1) << "nothing to scroll is the end";

  // A thumb picture of fixed length taller than the track has nothing to scroll.
  Write("CG/THUMB.BMP", GreyCells(16, 3, 100));
  ScrollListPart fixed;
  ASSERT_EQ(
      fixed.CreateFromImages(
          &list_, {.order = 1, .thumbFile = "cg\\thumb.bmp", .vertical = true, .blendMode = 2}, 0),
      kCreateDone);
  EXPECT_EQ(fixed.SetRange(50, 1000, 10, 0, 0, 1), kScrollUnchanged);
  EXPECT_EQ(fixed.GetScrollPos(), -1);
  EXPECT_EQ(fixed.SetRange(300, 1000, 10, 0, 0, 1), 0);
  EXPECT_EQ(fixed.GetThumbMax(), 200);
}

// The drawn thumb's picture stretches its middle: the top row and the two bottom rows (its light,
// mid and dark edges) keep their places at either end.
TEST_F(ScrollBars, TheThumbKeepsItsEdgesAtBothEnds) {
  const ImageSurface& thumb = bar_.GetThumbSurface();
  const int32_t last = bar_.GetThumbLength() - 1;
  const uint32_t face = thumb.GetPixel(1, 3);
  EXPECT_EQ(thumb.GetPixel(1, last - 2), face) << "the middle reaches the trailing edge";
  for (int32_t row : {0, last - 1, last}) EXPECT_NE(thumb.GetPixel(1, row), face) << row;
  EXPECT_NE(thumb.GetPixel(1, last - 1), thumb.GetPixel(1, last)) << "mid, then dark";
}

}  // namespace
}  // namespace bw::test
