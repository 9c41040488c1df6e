#include "graphics/text/outline_text_renderer.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "graphics/pixel/blend_reference.h"
#include "graphics/text/gdi_text_renderer.h"
#include "graphics/text/glyph_cache.h"
#include "graphics/text/text_angles.h"
#include "graphics/text/text_test_support.h"
#include "graphics/text/text_texture.h"
#include "host/cp932.h"
#include "host/font/fake_glyph_source.h"
#include "host/font/font.h"
#include "lib/text/text_render_input.h"
#include "support/fuzz_seeds.h"

namespace bw {
namespace {

using text_test::InkBox;
using text_test::MakePicture;

// The fake's 16-pixel font: ascent 14, single bytes advance 8 and ink columns 1-6 and rows
// 1-13 of their cell; double bytes advance 16.
class OutlineRendererTest : public text_test::TextFixture {
 protected:
  void SetUp() override { ASSERT_EQ(renderer_.SetFont(16, false, false, nullptr), 0); }

  Size Measure(const char* text, int32_t* lines = nullptr, int32_t* glyphs = nullptr,
               bool decoration = false, int32_t* ox = nullptr, int32_t* oy = nullptr) {
    Size size;
    int32_t n = renderer_.MeasureText(text, &size, ox, oy, decoration, glyphs);
    if (lines) *lines = n;
    return size;
  }

  host::FakeGlyphSource source_;
  OutlineTextRenderer renderer_{source_, 512};
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

// Both renderers: solid glyphs (level 2 of the fake, level 0 of GDI) give alpha 255 and the text
// colour inside, and only 32-bit pictures take a layer.
TEST_F(OutlineRendererTest, LayerDrawingPutsCoverageIntoAlphaAndColourUnderIt) {
  GdiTextRenderer gdi(source_);
  ASSERT_EQ(gdi.SetFont(16, false, false, nullptr), 0);
  gdi.SetAntialiasLevel(0);
  DibSurface picture, grey;
  MakePicture(grey, 8, 8, 8);
  for (TextRenderer* r : std::initializer_list<TextRenderer*>{&renderer_, &gdi}) {
    SCOPED_TRACE(r->IsOutline() ? "outline" : "GDI");
    MakePicture(picture, 40, 24);
    r->SetTextColor(10, 20, 30);
    ASSERT_EQ(r->DrawTextLayer(&picture, 2, 2, "AA", nullptr, nullptr), kTextDone);
    EXPECT_EQ(picture.GetPixel(2 + 3, 2 + 5), 0xFF0A141Eu);
    EXPECT_EQ(picture.GetPixel(2 + 8 + 3, 2 + 5), 0xFF0A141Eu) << "the second glyph kept";
    EXPECT_EQ(picture.GetPixel(2 + 7, 2 + 5) >> 24, 0u) << "between the glyphs";
    EXPECT_EQ(r->DrawTextLayer(&grey, 0, 0, "A", nullptr, nullptr), kTextNotReady);
  }

  // An edged layer: the whole edge opaque in the decoration colour, the text inside it.
  MakePicture(picture, 40, 24);
  renderer_.SetStyle(kTextEdge);
  renderer_.SetDecorationColor(200, 0, 0);
  renderer_.SetEdge(1024, 1);
  ASSERT_EQ(renderer_.DrawTextLayer(&picture, 2, 2, "AA", nullptr, nullptr), kTextDone);
  EXPECT_EQ(picture.GetPixel(2 + 0, 2 + 5), 0xFFC80000u) << "edge left of the first glyph";
  EXPECT_EQ(picture.GetPixel(2 + 7, 2 + 5), 0xFFC80000u) << "edges between glyphs overlap";
  EXPECT_EQ(picture.GetPixel(2 + 3, 2 + 5), 0xFF0A141Eu);
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

// Style 2 holds the edge glyph while it fetches the plain one, which evicts it at capacity 1.
TEST_F(OutlineRendererTest, HeldGlyphsSurviveEvictionAndSizesPastTheKeyAreDrawnUncached) {
  OutlineTextRenderer one(source_, 1), none(source_, 0);
  std::vector<std::vector<uint8_t>> drawn;
  for (OutlineTextRenderer* r : {&renderer_, &one, &none}) {
    ASSERT_EQ(r->SetFont(16, false, false, nullptr), 0);
    r->SetStyle(kTextEdge);
    DibSurface picture;
    MakePicture(picture, 48, 24);
    ASSERT_EQ(r->DrawText(&picture, 2, 2, "AB\x82\xa0", nullptr, nullptr), kTextDone);
    EXPECT_GT(InkBox(picture).Width(), 0);
    drawn.emplace_back(picture.GetPixels(), picture.GetPixels() + picture.GetPitch() * 24);
  }
  EXPECT_EQ(drawn[1], drawn[0]) << "capacity 1";
  EXPECT_EQ(drawn[2], drawn[0]) << "capacity 0";
  EXPECT_EQ(one.Cache().Count(), 1u);
  EXPECT_EQ(none.Cache().Count(), 0u);
  // Sizes past the key are drawn uncached: 1040 & 0x3FF is 16, so a cached entry would hand back
  // the 16-pixel glyph, which the drawing above cached.
  const size_t cached = renderer_.Cache().Count();
  GlyphRef small = renderer_.GetGlyph('A', 16, false, false, false, false);
  ASSERT_EQ(renderer_.Cache().Count(), cached);
  GlyphRef large = renderer_.GetGlyph('A', 1040, false, false, false, false);
  ASSERT_TRUE(large);
  EXPECT_NE(large, small);
  EXPECT_EQ(renderer_.Cache().Count(), cached);
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

// The outline renderer on the installed Japanese faces.
std::string Sjis(const char* utf8) {
  return host::Utf8ToCp932(utf8).text;
}

class FreeTypeTextTest : public text_test::TextFixture {
 protected:
  void SetUp() override {
    host::LOGFONTA lf;
    lf.lfHeight = -24;
    const std::string face = Sjis("ＭＳ ゴシック");
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    auto font = host::CreateFontIndirectA(lf);
    if (!font || font->InstalledFamily().rfind("IPA", 0) != 0) {
      GTEST_SKIP() << "the IPA Gothic face is not installed";
    }
  }
  OutlineTextRenderer renderer_{host::FreeTypeGlyphSource(), 512};
};

TEST_F(FreeTypeTextTest, AJapaneseLineStaysInsideItsMeasuredBox) {
  const std::string text = Sjis("日本語のテキスト、Ａｂｃ。Ag");
  ASSERT_EQ(renderer_.SetFont(24, false, false, Sjis("ＭＳ ゴシック").c_str()), 0);
  Size size;
  ASSERT_EQ(renderer_.MeasureText(text.c_str(), &size, nullptr, nullptr, false, nullptr), 1);
  ASSERT_EQ(size.height, 24);
  DibSurface picture;
  MakePicture(picture, size.width + 40, 80);
  Rect rect;
  ASSERT_EQ(renderer_.DrawText(&picture, 20, 20, text.c_str(), &rect, nullptr), kTextDone);
  const Rect ink = InkBox(picture);
  ASSERT_FALSE(ink.IsEmpty());
  EXPECT_TRUE(ink.left >= 20 && ink.top >= 20 && ink.right <= 20 + size.width &&
              ink.bottom <= 20 + size.height);
  EXPECT_GT(ink.Width(), size.width * 3 / 4);
}

TEST_F(FreeTypeTextTest, AnAtFaceAt2700StandsUprightInItsCells) {
  const std::string text = Sjis("一一");
  ASSERT_EQ(renderer_.SetFont(24, false, false, Sjis("@ＭＳ ゴシック").c_str()), 0);
  ASSERT_EQ(renderer_.SetOrientation(kVerticalAngle), 0);
  DibSurface picture;
  MakePicture(picture, 80, 100);
  Point end;
  ASSERT_EQ(renderer_.DrawText(&picture, 50, 10, text.c_str(), nullptr, &end), kTextDone);
  EXPECT_EQ(std::pair(end.x, end.y), std::pair(50, 10 + 48));
  const Rect ink = InkBox(picture);
  ASSERT_FALSE(ink.IsEmpty());
  // The column of cells runs down from (50, 10), its width one em to the left.
  EXPECT_TRUE(ink.left >= 50 - 24 && ink.right <= 50 && ink.top >= 10 && ink.bottom <= 10 + 48);
  // Each cell holds one upright horizontal stroke: wide, and one per cell.
  for (int cell = 0; cell < 2; ++cell) {
    DibSurface one;
    MakePicture(one, 80, 100);
    ASSERT_EQ(
        renderer_.DrawText(&one, 50, 10 + 24 * cell, text.substr(0, 2).c_str(), nullptr, nullptr),
        kTextDone);
    const Rect stroke = InkBox(one);
    EXPECT_GT(stroke.Width(), 3 * stroke.Height()) << "upright in cell " << cell;
    EXPECT_GE(stroke.top, 10 + 24 * cell);
    EXPECT_LE(stroke.bottom, 10 + 24 * (cell + 1));
  }
}

// The fake's 16-pixel "A" inks columns 1-6 and rows 1-13 of its cell.
class GdiRendererTest : public text_test::TextFixture {
 protected:
  void SetUp() override {
    ASSERT_EQ(renderer_.SetFont(16, false, false, nullptr), 0);
    renderer_.SetTextColor(255, 255, 255);
    renderer_.SetDecorationColor(0, 0, 200);
  }
  // Distinct colour bytes of the picture.
  static std::set<uint32_t> Colours(const DibSurface& p) {
    std::set<uint32_t> out;
    for (int32_t y = 0; y < p.GetHeight(); ++y) {
      for (int32_t x = 0; x < p.GetWidth(); ++x) out.insert(p.GetPixel(x, y) & 0xFFFFFF);
    }
    return out;
  }

  host::FakeGlyphSource source_;
  GdiTextRenderer renderer_{source_};
};

TEST_F(GdiRendererTest, EdgeStyleGrowsTheTextByExactlyOnePixelAtEveryLevel) {
  for (int level : {0, 2}) {
    renderer_.SetAntialiasLevel(level);
    DibSurface plain, edged;
    MakePicture(plain, 40, 40);
    MakePicture(edged, 40, 40);
    renderer_.SetStyle(kTextPlain);
    ASSERT_EQ(renderer_.DrawText(&plain, 10, 20, "A", nullptr, nullptr), kTextDone);
    renderer_.SetStyle(kTextEdge);
    Rect rect;
    ASSERT_EQ(renderer_.DrawText(&edged, 10, 20, "A", &rect, nullptr), kTextDone);
    const Rect p = InkBox(plain), e = InkBox(edged);
    EXPECT_EQ(e, (Rect{p.left - 1, p.top - 1, p.right + 1, p.bottom + 1})) << "level " << level;
    EXPECT_TRUE(rect.left <= e.left && rect.top <= e.top && rect.right >= e.right &&
                rect.bottom >= e.bottom)
        << "level " << level;
    if (level == 0) {
      EXPECT_EQ(p, (Rect{11, 21, 17, 34}));
    }
  }
}

TEST_F(GdiRendererTest, LevelZeroIsHardEdgedAndSmoothingFoldsToAtMost240) {
  renderer_.SetAntialiasLevel(0);
  ASSERT_EQ(renderer_.SetQuality(host::ANTIALIASED_QUALITY), 0);
  DibSurface picture;
  MakePicture(picture, 40, 40);
  ASSERT_EQ(renderer_.DrawText(&picture, 3, 3, "AB", nullptr, nullptr), kTextDone);
  EXPECT_EQ(Colours(picture), (std::set<uint32_t>{0, 0xFFFFFF}));

  renderer_.SetAntialiasLevel(1);
  MakePicture(picture, 40, 40);
  ASSERT_EQ(renderer_.DrawText(&picture, 3, 3, "AB", nullptr, nullptr), kTextDone);
  const std::set<uint32_t> colours = Colours(picture);
  EXPECT_EQ(*colours.rbegin(), 0xF0F0F0u) << "16 sub-pixels of 15 each";
  EXPECT_GT(colours.size(), 2u) << "the glyph's sides are partly covered";
}

TEST_F(GdiRendererTest, OpaqueLinesFillTheirBoxWithTheBackColour) {
  renderer_.SetBackColor(false, 0, 255, 0);
  renderer_.SetAntialiasLevel(0);
  DibSurface picture;
  MakePicture(picture, 40, 40);
  ASSERT_EQ(renderer_.DrawText(&picture, 2, 2, "AB\nA", nullptr, nullptr), kTextDone);
  EXPECT_EQ(picture.GetPixel(2, 2) & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(picture.GetPixel(2 + 3, 2 + 5) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(picture.GetPixel(2 + 15, 2 + 31) & 0xFFFFFF, 0x00FF00u) << "the box of the widest line";
  EXPECT_EQ(picture.GetPixel(2 + 16, 2) & 0xFFFFFF, 0u);

  // Straight into a device context: each line's own box.
  auto section = host::DibSection::Create(40, 40, 32);
  ASSERT_TRUE(section);
  host::MemoryDc dc;
  dc.Select(section.get());
  renderer_.SetStyle(kTextEdge);
  Rect rect;
  ASSERT_EQ(renderer_.DrawTextToDc(&dc, 2, 2, "AB\nA", &rect), kTextDone);
  EXPECT_EQ(section->Read(2, 2 + 15) & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(section->Read(2 + 3, 2 + 31) & 0xFFFFFF, 0x00FF00u) << "inside the second line's box";
  EXPECT_EQ(section->Read(2 + 9, 2 + 31) & 0xFFFFFF, 0u) << "past the second line's box";
  EXPECT_EQ(section->Read(2 + 3, 2 + 5) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(section->Read(2 + 2, 2 + 0) & 0xFFFFFF, 0x0000C8u) << "the edge over the box";
  EXPECT_EQ(rect, (Rect{1, 1, 2 + 16 + 1, 2 + 32 + 1}));
  EXPECT_EQ(renderer_.DrawTextToDc(&dc, 0, 0, nullptr, nullptr), kTextNotReady);
}

TEST_F(GdiRendererTest, MeasuresLinesAsWholesAndRefusesBadFacesAndHeights) {
  Size size;
  int32_t ox = 1, oy = 1, glyphs = 0;
  renderer_.SetStyle(kTextEdge);
  EXPECT_EQ(renderer_.MeasureText("AB\n\x82\xa0\x82\xa0", &size, &ox, &oy, true, &glyphs), 2);
  EXPECT_EQ(std::tuple(size.width, size.height, ox, glyphs), std::tuple(32 + 2, 32 + 2, -1, 4));
  EXPECT_EQ(renderer_.SetFaceName(std::string(32, 'x').c_str()), kGdiNoFace);
  EXPECT_EQ(renderer_.SetHeight(INT32_MIN), kGdiFontFailed);
  EXPECT_EQ(renderer_.GetLogFont().lfHeight, -16) << "the font is kept";
}

TEST(GlyphCache, EvictsExactlyTheLeastRecentAndHitsRefresh) {
  GlyphCache cache(512);
  auto key = [](uint32_t code) { return GlyphCache::Key(code, 16, false, false, false); };
  auto hash = [](uint32_t code) { return GlyphCache::Hash(code, 16, false, false, false); };
  auto find = [&](uint32_t code) { return cache.Lookup(key(code), hash(code)) != nullptr; };
  // Codes that share buckets, so the chains are walked too.
  for (uint32_t code = 0; code <= 512; ++code) {
    cache.Insert(key(code), hash(code), std::make_shared<GlyphBitmap>());
    if (code == 511) {
      ASSERT_TRUE(find(0));  // 0 becomes the most recent, 1 the least
    }
  }
  EXPECT_EQ(cache.Count(), 512u);
  EXPECT_FALSE(find(1)) << "the least recent goes";
  for (uint32_t code : {0u, 2u, 511u, 512u}) EXPECT_TRUE(find(code)) << code;
}

// Cells are 8 x 4 with the cell's number in each byte; a 32-wide picture holds four a row.
class TextTextureTest : public testing::Test {
 protected:
  std::vector<uint8_t> Picture(int32_t rows) {
    std::vector<uint8_t> p(size_t(32) * size_t(rows) * 4);
    for (int32_t y = 0; y < rows * 4; ++y) {
      for (int32_t x = 0; x < 32; ++x) p[size_t(y * 32 + x)] = uint8_t((y / 4) * 4 + x / 8 + 1);
    }
    return p;
  }
  // The picture cell a texture cell was cut from.
  static int Origin(const GlyphRef& cell) { return cell ? cell->pixels[0] - 1 : -1; }

  TextTexture texture_{0};
};

TEST_F(TextTextureTest, CutsRowsOfCellsAndPlacesTheSecondSet) {
  auto p = Picture(4);
  ASSERT_EQ(texture_.Cut(p.data(), 32, 32, 16, 6, 8, 4, kTextureFirstSet), kTextureDone);
  EXPECT_EQ(Origin(texture_.GetCell(4, 2, false)), 4) << "cell 4 starts the second row";
  EXPECT_EQ(texture_.GetCell(6, 2, false), nullptr);
  EXPECT_EQ(texture_.GetCell(-1, 2, false), nullptr);

  // A first set of 3 ends mid-row: the second starts on the next row.
  ASSERT_EQ(texture_.Cut(p.data(), 32, 32, 16, 3, 8, 4, kTextureFirstSet | kTextureSecondSet),
            kTextureDone);
  EXPECT_EQ(Origin(texture_.GetCell(0, 0, false)), 4) << "level 0 takes the second set";
  EXPECT_EQ(Origin(texture_.GetCell(0, 1, false)), 0) << "grey levels take the first";
  // A first set of exactly one row leaves the next row empty.
  ASSERT_EQ(texture_.Cut(p.data(), 32, 32, 16, 4, 8, 4, kTextureFirstSet | kTextureSecondSet),
            kTextureDone);
  EXPECT_EQ(Origin(texture_.GetCell(0, 0, false)), 8);
  // The second set alone starts at the top.
  ASSERT_EQ(texture_.Cut(p.data(), 32, 32, 16, 4, 8, 4, kTextureSecondSet), kTextureDone);
  EXPECT_EQ(Origin(texture_.GetCell(0, 2, false)), 0);
  // A row ends where the next cell would not fit whole: 32 / 12 is two cells a row.
  ASSERT_EQ(texture_.Cut(p.data(), 32, 32, 16, 3, 12, 4, kTextureFirstSet), kTextureDone);
  EXPECT_EQ(texture_.GetCell(2, 2, false)->pixels[0], p[size_t(4 * 32)]);
}

TEST_F(TextTextureTest, RefusesCellsThatDoNotFitAndBadSizes) {
  auto p = Picture(2);
  EXPECT_EQ(texture_.Cut(p.data(), 32, 32, 8, 9, 8, 4, kTextureFirstSet), kTextureTooSmall);
  EXPECT_EQ(texture_.Count(), 0) << "left empty";
  EXPECT_EQ(texture_.Cut(p.data(), 32, 32, 8, 4, 8, 4, kTextureFirstSet | kTextureSecondSet),
            kTextureTooSmall);
  for (auto [count, w, h] : {std::tuple{0, 8, 4}, {4, 0, 4}, {4, 8, -1}, {1, 33, 4}, {1, 8, 9}}) {
    EXPECT_EQ(texture_.Cut(p.data(), 32, 32, 8, count, w, h, kTextureFirstSet), kTextureTooSmall)
        << count << " " << w << " " << h;
  }
  EXPECT_EQ(texture_.Load("no such picture", 1, 8, 4, 1), kTextureNotLoaded);
}

TEST_F(TextTextureTest, EdgedCopiesAreMadeOnceAndPlacedAroundTheCell) {
  auto p = Picture(1);
  ASSERT_EQ(texture_.Cut(p.data(), 32, 32, 4, 4, 8, 4, kTextureFirstSet), kTextureDone);
  texture_.SetEdge(1024, 2);
  GlyphRef edged = texture_.GetCell(1, 2, true);
  ASSERT_TRUE(edged);
  EXPECT_EQ(edged, texture_.GetCell(1, 2, true));
  EXPECT_EQ(std::tuple(edged->width, edged->originX, edged->pitch), std::tuple(12, -2, 12));
  texture_.SetEdge(1024, 0);
  EXPECT_NE(texture_.GetCell(1, 2, true), edged) << "a new edge makes new copies";
  texture_.SetOrientation(2700);
  GlyphRef turned = texture_.GetCell(1, 2, false);
  EXPECT_EQ(std::pair(turned->originX, turned->advanceY), std::pair(-8, 4));
}

}  // namespace
}  // namespace bw
