#include "graphics/text/outline_text_renderer.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>
#include <vector>

#include "graphics/text/text_angles.h"
#include "graphics/text/text_test_support.h"
#include "host/font/fake_glyph_source.h"
#include "lib/text/text_render_input.h"
#include "support/fuzz_seeds.h"

namespace bw {
namespace {

using text_test::InkBox;
using text_test::MakePicture;

std::vector<uint32_t> Pixels(const DibSurface& picture) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < picture.GetHeight(); ++y) {
    for (int32_t x = 0; x < picture.GetWidth(); ++x) out.push_back(picture.GetPixel(x, y));
  }
  return out;
}

// The fake's 16-pixel font: ascent 14, single bytes advance 8 and ink columns 1-6 and rows
// 1-13 of their cell; double bytes advance 16.
class OutlineRendererTest : public text_test::TextFixture {
 protected:
  explicit OutlineRendererTest(bool outlines = false, uint32_t capacity = 512)
      : source_(outlines), renderer_(source_, capacity) {}
  void SetUp() override { ASSERT_EQ(renderer_.SetFont(16, false, false, nullptr), 0); }

  Size Measure(const char* text, int32_t* lines = nullptr, int32_t* glyphs = nullptr,
               bool decoration = false, int32_t* ox = nullptr, int32_t* oy = nullptr) {
    Size size;
    int32_t n = renderer_.MeasureText(text, &size, ox, oy, decoration, glyphs);
    if (lines) *lines = n;
    return size;
  }

  host::FakeGlyphSource source_;
  OutlineTextRenderer renderer_;
};

TEST_F(OutlineRendererTest, MeasuresPictureCodesLiteralsAndLines) {
  struct Case {
    const char* text;
    int32_t width, height, lines, glyphs;
  } cases[] = {
      {"AB", 16, 16, 1, 2},           // single bytes advance 8
      {"@@", 8, 16, 1, 1},            // a literal "@"
      {"@12", 0, 16, 1, 1},           // picture 12, no texture: no width
      {"@12345678", 8, 16, 1, 2},     // seven digits, then the character "8"
      {"@A", 8, 16, 1, 2},            // a lone "@" is picture 0
      {"A\n\x82\xa0", 16, 32, 2, 2},  // lines; a double byte is one glyph
  };
  for (const Case& c : cases) {
    int32_t lines = 0, glyphs = 0;
    Size size = Measure(c.text, &lines, &glyphs);
    EXPECT_EQ(std::tuple(size.width, size.height, lines, glyphs, renderer_.CountGlyphs(c.text)),
              std::tuple(c.width, c.height, c.lines, c.glyphs, c.glyphs))
        << c.text;
  }
  EXPECT_EQ(renderer_.CountGlyphs(nullptr), 0);
  EXPECT_EQ(renderer_.MeasureText(nullptr, nullptr, nullptr, nullptr, false, nullptr), 0);
}

TEST_F(OutlineRendererTest, ItalicDecorationsAndBoldWidenTheBox) {
  ASSERT_EQ(renderer_.SetBoldItalic(false, true), 0);
  EXPECT_EQ(Measure("AB").width, 16 + 16 / 3);
  ASSERT_EQ(renderer_.SetBoldItalic(true, false), 0);
  EXPECT_EQ(Measure("AB").width, 2 * (8 + 8 / 50 + 1)) << "bold advances by w + w/50 + 1";
  ASSERT_EQ(renderer_.SetBoldItalic(false, false), 0);

  int32_t ox = 1, oy = 1;
  renderer_.SetStyle(kTextShadow);
  renderer_.SetShadowOffset(-3, 2);
  Size size = Measure("AB", nullptr, nullptr, true, &ox, &oy);
  EXPECT_EQ(std::tuple(size.width, size.height, ox, oy), std::tuple(19, 18, -3, 0));
  renderer_.SetStyle(kTextEdge);
  size = Measure("AB", nullptr, nullptr, true, &ox, &oy);
  EXPECT_EQ(std::tuple(size.width, size.height, ox, oy), std::tuple(16 + 4, 16 + 4, -2, -2));
}

TEST_F(OutlineRendererTest, PenRunsRightAtZeroDownAt2700AndTurnsBetween) {
  DibSurface picture;
  MakePicture(picture, 64, 64);
  Rect rect;
  Point end;
  ASSERT_EQ(renderer_.DrawText(&picture, 10, 20, " A", &rect, &end), kTextDone);
  EXPECT_EQ(std::pair(end.x, end.y), std::pair(26, 20));
  EXPECT_EQ(InkBox(picture), (Rect{19, 21, 25, 34})) << "the space moves the pen only";
  EXPECT_EQ(rect, (Rect{19, 21, 25, 34}));

  ASSERT_EQ(renderer_.SetOrientation(kVerticalAngle), 0);
  ASSERT_EQ(renderer_.DrawText(&picture, 30, 10, "AA", nullptr, &end), kTextDone);
  EXPECT_EQ(std::pair(end.x, end.y), std::pair(30, 26));

  ASSERT_EQ(renderer_.SetOrientation(450), 0);
  ASSERT_EQ(renderer_.DrawText(&picture, 10, 40, "A", nullptr, &end), kTextDone);
  const int32_t c = trig_.Cosine(450 * 512 / 3600), s = trig_.Cosine(450 * 512 / 3600 - 128);
  const int64_t x = 10 + ((8 * int64_t(c)) >> 16), y = 40 - ((8 * int64_t(s)) >> 16);
  EXPECT_EQ((std::pair<int64_t, int64_t>(end.x, end.y)), std::pair(x, y));
}

TEST_F(OutlineRendererTest, RotatedRectanglesSwapSidesAtAQuarterTurn) {
  Rect box;
  renderer_.GetRotatedRect(&box, 2, 3, 40, 16);
  EXPECT_EQ(box, (Rect{2, 3, 42, 19}));
  ASSERT_EQ(renderer_.SetOrientation(900), 0);
  renderer_.GetRotatedRect(&box, 0, 0, 40, 16);
  EXPECT_EQ(std::tuple(box.Width(), box.Height(), box.bottom), std::tuple(16, 40, 0))
      << "text at 90 degrees runs up from its origin";
  ASSERT_EQ(renderer_.SetOrientation(kVerticalAngle), 0);
  renderer_.GetRotatedRect(&box, 0, 0, 40, 16);
  EXPECT_EQ(box, (Rect{-16, 0, 0, 40}));
}

TEST_F(OutlineRendererTest, BoldThickensAndStaysInsideItsBufferAtAnySize) {
  renderer_.SetAntialiasLevel(0);
  GlyphRef plain = renderer_.GetGlyph('A', 16, false, false, false, false);
  ASSERT_EQ(renderer_.SetBoldItalic(true, false), 0);
  GlyphRef bold = renderer_.GetGlyph('A', 16, false, true, false, false);
  ASSERT_TRUE(plain && bold);
  EXPECT_EQ(bold->width, plain->width + 1);
  // Large sizes widen by at most 8 pixels.
  ASSERT_EQ(renderer_.SetHeight(400), 0);
  GlyphRef big = renderer_.GetGlyph('A', 400, false, true, false, false);
  ASSERT_TRUE(big);
  EXPECT_EQ(std::tuple(big->width, big->pitch % 4), std::tuple(200 - 2 + 8, 0));
  EXPECT_GE(size_t(big->pitch) * size_t(big->height), big->pixels.size());
}

TEST_F(OutlineRendererTest, FacesWithoutOutlinesRenderGreyThroughTheBitmapFallback) {
  host::FakeGlyphSource outlined(true);
  OutlineTextRenderer withOutlines(outlined, 512);
  ASSERT_EQ(withOutlines.SetFont(16, false, false, nullptr), 0);
  for (int level : {1, 2}) {
    renderer_.SetAntialiasLevel(level);
    withOutlines.SetAntialiasLevel(level);
    GlyphRef fallback = renderer_.GetGlyph('A', 16, false, false, false, false);
    GlyphRef grey = withOutlines.GetGlyph('A', 16, false, false, false, false);
    ASSERT_TRUE(fallback && grey) << level;
    EXPECT_EQ(std::tie(fallback->width, fallback->height, fallback->originX, fallback->originY,
                       fallback->pixels),
              std::tie(grey->width, grey->height, grey->originX, grey->originY, grey->pixels))
        << level;
    EXPECT_EQ(fallback->pixels[size_t(fallback->pitch) * 2 + 2], 255) << level;
  }
}

TEST_F(OutlineRendererTest, LayerDrawingPutsCoverageIntoAlphaAndColourUnderIt) {
  DibSurface picture;
  MakePicture(picture, 40, 24);
  renderer_.SetTextColor(10, 20, 30);
  ASSERT_EQ(renderer_.DrawTextLayer(&picture, 2, 2, "AA", nullptr, nullptr), kTextDone);
  // Level 2 of the fake is solid: inside the glyph alpha 255 and the text colour.
  EXPECT_EQ(picture.GetPixel(2 + 3, 2 + 5), 0xFF0A141Eu);
  EXPECT_EQ(picture.GetPixel(2 + 8 + 3, 2 + 5), 0xFF0A141Eu) << "the second glyph kept";
  EXPECT_EQ(picture.GetPixel(2 + 7, 2 + 5) >> 24, 0u) << "between the glyphs";

  // An edged layer: the whole edge opaque in the decoration colour, the text inside it.
  MakePicture(picture, 40, 24);
  renderer_.SetStyle(kTextEdge);
  renderer_.SetDecorationColor(200, 0, 0);
  renderer_.SetEdge(1024, 1);
  ASSERT_EQ(renderer_.DrawTextLayer(&picture, 2, 2, "AA", nullptr, nullptr), kTextDone);
  EXPECT_EQ(picture.GetPixel(2 + 0, 2 + 5), 0xFFC80000u) << "edge left of the first glyph";
  EXPECT_EQ(picture.GetPixel(2 + 7, 2 + 5), 0xFFC80000u) << "edges between glyphs overlap";
  EXPECT_EQ(picture.GetPixel(2 + 3, 2 + 5), 0xFF0A141Eu);

  DibSurface grey;
  MakePicture(grey, 8, 8, 8);
  EXPECT_EQ(renderer_.DrawTextLayer(&grey, 0, 0, "A", nullptr, nullptr), kTextNotReady);
  EXPECT_EQ(renderer_.DrawString(&grey, 0, 0, "A", nullptr, nullptr), kTextNotReady);
}

TEST_F(OutlineRendererTest, GradationRunsDownTheCellAndHoldsAtItsEnds) {
  ASSERT_EQ(renderer_.SetGradation(true, 0xFF0000, 0x0000FF, true), 0);
  ASSERT_TRUE(renderer_.GradationOn());
  renderer_.SetStyle(kTextEdge);  // edge glyphs start above the cell
  renderer_.SetEdge(1024, 3);
  DibSurface picture;
  MakePicture(picture, 32, 32);
  ASSERT_EQ(renderer_.DrawText(&picture, 4, 6, "A", nullptr, nullptr), kTextDone);
  AlphaRampTable ramp;
  ASSERT_EQ(ramp.Build(16, 0xFF0000, 0x0000FF, 32), kRampDone);
  EXPECT_EQ(picture.GetPixel(4 + 3, 6 + 1) & 0xFFFFFF, ramp.Colors()[1]);
  EXPECT_EQ(picture.GetPixel(4 + 3, 6 + 13) & 0xFFFFFF, ramp.Colors()[13]);
  // The builder refuses fewer than two rows: gradation goes off with its code.
  ASSERT_EQ(renderer_.SetHeight(1), 0);
  EXPECT_EQ(renderer_.SetGradation(true, 1, 2, true), kRampTooFew);
  EXPECT_FALSE(renderer_.GradationOn());
}

TEST_F(OutlineRendererTest, RefusedFacesAndHeightsKeepTheFontAndNothingDrawsWithoutOne) {
  const std::string longFace(32, 'F');
  EXPECT_EQ(renderer_.SetFaceName(longFace.c_str()), kOutlineNoFace);
  EXPECT_EQ(renderer_.SetFont(20, false, false, longFace.c_str()), kOutlineNoFace);
  EXPECT_EQ(renderer_.SetFaceName(std::string(31, 'F').c_str()), 0) << "31 bytes and the NUL fit";
  EXPECT_EQ(renderer_.SetHeight(INT_MIN), kOutlineFontFailed);
  EXPECT_EQ(renderer_.SetHeight(host::FakeGlyphSource::kMaxHeight + 1), kOutlineFontFailed);
  EXPECT_EQ(renderer_.GetLogFont().lfHeight, -16);
  EXPECT_EQ(renderer_.SetHeight(-host::FakeGlyphSource::kMaxHeight), 0);

  // Nothing draws without a font or pixels.
  DibSurface picture;
  MakePicture(picture, 8, 8);
  OutlineTextRenderer fresh(source_, 512);
  EXPECT_EQ(fresh.DrawText(&picture, 0, 0, "A", nullptr, nullptr), kTextNotReady);
  EXPECT_EQ(fresh.MeasureText("A", nullptr, nullptr, nullptr, false, nullptr), 0);
  DibSurface empty;
  EXPECT_EQ(renderer_.DrawText(&empty, 0, 0, "A", nullptr, nullptr), kTextNotReady);
}

class OutlineCacheTest : public OutlineRendererTest {
 protected:
  OutlineCacheTest() : OutlineRendererTest(false, 1) {}
};

// Style 2 holds the edge glyph while it fetches the plain one, which evicts it at capacity 1.
TEST_F(OutlineCacheTest, HeldGlyphsSurviveEvictionAndCapacityZeroStillDraws) {
  host::FakeGlyphSource source;
  OutlineTextRenderer big(source, 512), none(source, 0);
  std::vector<std::vector<uint32_t>> drawn;
  for (OutlineTextRenderer* r : {&big, &renderer_, &none}) {
    ASSERT_EQ(r->SetFont(16, false, false, nullptr), 0);
    r->SetStyle(kTextEdge);
    DibSurface picture;
    MakePicture(picture, 48, 24);
    ASSERT_EQ(r->DrawText(&picture, 2, 2, "AB\x82\xa0", nullptr, nullptr), kTextDone);
    EXPECT_GT(InkBox(picture).Width(), 0);
    drawn.push_back(Pixels(picture));
  }
  EXPECT_EQ(drawn[1], drawn[0]) << "capacity 1";
  EXPECT_EQ(drawn[2], drawn[0]) << "capacity 0";
  EXPECT_EQ(renderer_.Cache().Count(), 1u);
  EXPECT_EQ(none.Cache().Count(), 0u);
}

TEST_F(OutlineRendererTest, SizesPastTheKeyAreDrawnUncached) {
  GlyphRef small = renderer_.GetGlyph('A', 16, false, false, false, false);
  ASSERT_EQ(renderer_.Cache().Count(), 1u);
  // 1040 & 0x3FF is 16: a cached entry would hand back the 16-pixel glyph.
  GlyphRef large = renderer_.GetGlyph('A', 1040, false, false, false, false);
  ASSERT_TRUE(large);
  EXPECT_NE(large, small);
  EXPECT_EQ(renderer_.Cache().Count(), 1u);
}

TEST_F(OutlineRendererTest, PictureGlyphsDrawTheirCells) {
  EXPECT_EQ(renderer_.SetTexture("no such picture", 4, 8, 8, 1), kTextureNotLoaded);
  TextTexture* texture = renderer_.GetTexture();
  ASSERT_NE(texture, nullptr);
  std::vector<uint8_t> cells(32 * 8);
  for (int32_t y = 0; y < 8; ++y) {
    for (int32_t x = 0; x < 32; ++x) cells[size_t(y * 32 + x)] = x / 8 == 2 ? 255 : 0;
  }
  ASSERT_EQ(texture->Cut(cells.data(), 32, 32, 8, 4, 8, 8, kTextureFirstSet), kTextureDone);
  EXPECT_EQ(Measure("@2@2").width, 16);
  DibSurface picture;
  MakePicture(picture, 32, 16);
  Point end;
  ASSERT_EQ(renderer_.DrawText(&picture, 1, 1, "@1@2", nullptr, &end), kTextDone);
  EXPECT_EQ(InkBox(picture), (Rect{9, 1, 17, 9})) << "only cell 2 is inked";
  EXPECT_EQ(end.x, 17);
  ASSERT_EQ(renderer_.DrawText(&picture, 1, 1, "@9", nullptr, &end), kTextDone);
  EXPECT_EQ(end.x, 1) << "a number past the cells is skipped";
}

// The seed corpus of the text-rendering fuzz target, written through its input's own encoder.
TEST(TextRenderSeeds, AreWhatTheInputEncodes) {
  test::FuzzSeeds seeds;
  auto add = [&](const char* name, tools::TextRenderInput in) { seeds[name] = in.Encode(); };
  tools::TextRenderInput in;
  in.text = "AB\x82\xa0@@@12@123456789\n @";
  add("plain_codes", in);
  in.style = 2, in.level = 0, in.flags = 1 | 2 | 16, in.angle = 2700;
  in.text = "\x82\xa0\x82\xa1\nA\x82";  // ends on a lone lead byte
  add("edged_bold_down", in);
  in.style = 1, in.level = 1, in.flags = 4 | 8 | 32, in.angle = 450, in.shadowX = -3;
  in.edgeStrength = -300, in.edgeRadius = -70, in.lineSpacing = -20;
  in.text = "@0@3@1\n\n12";
  add("shadow_turned_pictures", in);
  in.cellWidth = 0, in.cellCount = 200, in.sets = 3, in.height = 63, in.angle = -3599;
  in.flags |= 128;  // the radius of -70 as given
  add("bad_cells_large", in);
  test::CheckOrWriteFuzzSeeds("text_render", seeds);
}

}  // namespace
}  // namespace bw
