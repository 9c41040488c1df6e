#include "graphics/text/glyph_cache.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "graphics/pixel/blend_tables.h"
#include "graphics/text/text_texture.h"

namespace bw {
namespace {

GlyphRef Glyph() {
  return std::make_shared<GlyphBitmap>();
}

struct Request {
  uint32_t code;
  bool edge = false;
  uint32_t Key() const { return GlyphCache::Key(code, 16, edge, false, false); }
  uint8_t Hash() const { return GlyphCache::Hash(code, 16, edge, false, false); }
};

bool Find(GlyphCache& cache, Request r) {
  return cache.Lookup(r.Key(), r.Hash()) != nullptr;
}

TEST(GlyphCache, EvictsExactlyTheLeastRecentAndHitsRefresh) {
  GlyphCache cache(512);
  // Codes that share buckets, so the chains are walked too.
  for (uint32_t code = 0; code < 512; ++code)
    cache.Insert(Request{code}.Key(), Request{code}.Hash(), Glyph());
  ASSERT_EQ(cache.Count(), 512u);
  ASSERT_TRUE(Find(cache, Request{0}));  // 0 becomes the most recent, 1 the least
  cache.Insert(Request{512}.Key(), Request{512}.Hash(), Glyph());
  EXPECT_EQ(cache.Count(), 512u);
  EXPECT_FALSE(Find(cache, Request{1})) << "the least recent goes";
  for (uint32_t code : {0u, 2u, 511u, 512u}) EXPECT_TRUE(Find(cache, Request{code})) << code;
}

// Cells are 8 x 4 with the cell's number in each byte; a 32-wide picture holds four a row.
class TextTextureTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { BuildBlendTables(); }
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
