// The image filters: set-up refusals and the progress laws at fixed clock times, then the
// pictures they draw into a layer's area.
#include "effects/filter_image_effects.h"

#include "effects/filter_effect_rig.h"

namespace bw {
namespace {

constexpr uint32_t kOld = 0x00102030;
constexpr uint32_t kNew = 0x00E0C0A0;

class ImageFilters : public FilterEffectRig {
 protected:
  void SetUp() override {
    FilterEffectRig::SetUp();
    for (ImageSurface* s : {&before, &after, &out}) ASSERT_EQ(s->Create(64, 32, 32, 0), 0);
    (void)before.Fill(kOld, nullptr);
    (void)after.Fill(kNew, nullptr);
  }
  // The keyword's filter started at clock 0 and drawn at ms over the whole area.
  std::unique_ptr<FilterEffect> DrawnAt(const char* keyword, ArgList words, uint32_t ms) {
    std::unique_ptr<FilterEffect> filter = Make(keyword, words);
    EXPECT_NE(filter, nullptr) << keyword;
    if (filter) {
      (void)filter->Advance(0);
      DrawAt(*filter, ms);
    }
    return filter;
  }
  void DrawAt(FilterEffect& filter, uint32_t ms) {
    (void)filter.Advance(ms);
    EXPECT_EQ(filter.Draw(Whole()), kFilterDrawn) << filter.GetKeyword() << " at " << ms;
  }
  FilterDrawRequest Whole() {
    FilterDrawRequest r;
    r.width = 64, r.height = 32;
    r.target = &out, r.oldImage = &before, r.newImage = &after;
    return r;
  }
  uint32_t At(int x, int y) { return reinterpret_cast<uint32_t*>(out.GetRowPointer(y))[x]; }

  ImageSurface before, after, out;
};

TEST_F(ImageFilters, SetUpRefusesWhatItCannotDraw) {
  ExpectSetUpCodes({
      {"zoomflip", nullptr, {1000, 0}, kFilterBadArguments},
      {"zoomflip", &shallow, {1000, 0}, kFilterUnsuitableSurface},
      {"addsub", &layer, {0, 1}, kFilterBadArguments},
      {"hblur", &layer, {}, kFilterBadArguments},
      {"zoomflip", &layer, {1000, 7}, kFilterBadArguments},  // it would never draw
      {"quake", &layer, {0, 4, 4, 0}, kFilterSetUpDone},     // a quake needs no duration
  });
  QuakeFilter::SetRandom(nullptr);
  int code = 0;
  EXPECT_EQ(Make("quake", {0, 4, 4, 0}, &code), nullptr);
  EXPECT_EQ(code, kFilterNoRandomSource);
  QuakeFilter::SetRandom(&random);
}

TEST_F(ImageFilters, ProgressLawsAtFixedTimes) {
  ExpectProgressLaws<ImageFilter>({
      {"zoomflip", {1000, 0}, {{7000, 0}, {7500, 32}, {9000, 64}}, 64},  // the picture width
      {"zoomflip", {1000, 1}, {{0, 0}, {500, 16}}, 32},                  // the height
      {"zoomflip", {1000, 4}, {{0, 0}, {250, 128}, {1000, 512}}, 512},
      {"zoomflip", {1000, 6}, {{0, 0}, {500, 128}}, 256},
      {"rotcenter", {2000}, {{0, 0}, {1000, 256}, {3000, 512}}, 512},
      {"addsub", {1000, 2}, {{100, 0}, {600, 127}, {1100, 255}}, 255},
      {"hblur", {300, 0, 0}, {{0, 0}, {100, 1}, {300, 3}}, 3},  // radius 0 is 1: 2r + 1 steps
      {"hblur", {1000, 1, 400}, {{0, 0}, {500, 127}}, 255},
  });
}

TEST_F(ImageFilters, AddsubFadesThroughWhiteOrBlack) {
  DrawnAt("addsub", {1000, 2}, 500);  // level 127
  EXPECT_EQ(At(5, 5), 0x00000000u) << "every channel of the old picture is below 127";
  DrawnAt("addsub", {1000, 3}, 750);  // level 191: the new picture less 255 - 191 = 64
  EXPECT_EQ(At(63, 31), 0x00A08060u);
  auto whiten = DrawnAt("addsub", {1000, 0}, 200);  // level 51 added to the old picture
  EXPECT_EQ(At(0, 0), 0x00435363u);
  DrawAt(*whiten, 1000);
  EXPECT_EQ(At(0, 0), kNew) << "the end shows the new picture";
}

TEST_F(ImageFilters, ZoomflipPushesAStripAndZoomsThroughTheCentre) {
  DrawnAt("zoomflip", {1000, 2}, 250);  // 16 px from the right edge
  EXPECT_EQ(std::tuple(At(47, 3), At(48, 3)), std::tuple(kOld, kNew));
  auto zoom = DrawnAt("zoomflip", {1000, 4}, 999);
  EXPECT_EQ(At(0, 0), kNew);
  DrawAt(*zoom, 100);  // before the start: still the old picture
  EXPECT_EQ(At(32, 16), kOld);
}

TEST_F(ImageFilters, RotcenterGrowsTheNewPictureToFullSize) {
  auto turn = DrawnAt("rotcenter", {1000, 0}, 0);
  EXPECT_EQ(At(32, 16), kOld) << "nothing has grown yet";
  DrawAt(*turn, 500);  // half size, half a turn
  EXPECT_EQ(At(32, 16) & 0xFFFFFF, kNew) << "the centre shows the turning picture";
  EXPECT_EQ(At(0, 0), kOld) << "the corners still show the background";
}

TEST_F(ImageFilters, HblurSpreadsOneColumnOverTheWindow) {
  (void)before.Fill(0, nullptr);
  (void)before.FillRectXYWH(20, 0, 1, 32, 0x00FFFFFF);
  auto blur = DrawnAt("hblur", {500, 0, 2}, 200);  // five steps, radius 2; level 2
  for (int x = 17; x <= 23; ++x) {
    EXPECT_EQ(At(x, 4) != 0, x >= 18 && x <= 22) << "column " << x;
  }
  DrawAt(*blur, 500);
  EXPECT_EQ(At(20, 4), kNew) << "the last step is a plain copy of the new picture";
}

TEST_F(ImageFilters, QuakeEndsStillAndShakesBySineInSixtyFourBits) {
  auto quake = std::unique_ptr<FilterEffect>(transitions.Create("quake"));
  ASSERT_EQ(quake->SetUp(&layer, {0, 10, 10, 1000, 0, 1}), kFilterSetUpDone);
  auto* q = static_cast<QuakeFilter*>(quake.get());
  // How far the random shake reaches is the quake overlay's to check: both shake alike.
  (void)quake->Advance(0);
  (void)quake->Advance(1000);
  EXPECT_EQ(quake->IsFinished(), 1);
  EXPECT_EQ(std::pair(q->OffsetX(), q->OffsetY()), std::pair(0, 0));

  // A sine shake of a large amplitude keeps its sign: the product is taken in 64 bits.
  auto wide = std::unique_ptr<FilterEffect>(transitions.Create("quake"));
  ASSERT_EQ(wide->SetUp(&layer, {400, 40000, 0, 0}), kFilterSetUpDone);
  auto* w = static_cast<QuakeFilter*>(wide.get());
  (void)wide->Advance(0);
  (void)wide->Advance(100);  // a quarter period: the sine's peak
  EXPECT_EQ(w->OffsetX(), int32_t(int64_t{40000} * trig.Cosine((127 - 128) & 511) >> 16));
  EXPECT_EQ(wide->IsFinished(), 0) << "without a duration it never ends by itself";

  // Drawing: the picture moved by the offset, the bare border cleared.
  auto small = std::unique_ptr<FilterEffect>(transitions.Create("quake"));
  ASSERT_EQ(small->SetUp(&layer, {400, 10, 0, 0, 0, 1}), kFilterSetUpDone);
  (void)small->Advance(0);
  (void)small->Advance(100);
  const int32_t dx = static_cast<QuakeFilter*>(small.get())->OffsetX();
  ASSERT_EQ(dx, 9);
  for (int x = 0; x < 64; ++x)
    (void)before.FillRectXYWH(x, 0, 1, 32, 0x00010000u * uint32_t(x + 1));
  (void)out.Fill(0x00FFFFFF, nullptr);
  ASSERT_EQ(small->Draw(Whole()), kFilterDrawn);
  EXPECT_EQ(At(0, 0), 0x00010000u * 10) << "each pixel shows the one dx to its right";
  EXPECT_EQ(At(54, 9), 0x00010000u * 64);
  EXPECT_EQ(At(55, 9), 0u) << "the strip the picture left is cleared";
}

}  // namespace
}  // namespace bw
