#include "graphics/surface/composition_layer.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/dirty_rect_list.h"
#include "graphics/surface/display_object.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"
#include "graphics/surface/surface_fixture.h"

namespace bw {
namespace {

using testing_surfaces::Nodes;
using testing_surfaces::Pixel;
using testing_surfaces::Random;
using testing_surfaces::SamePixels;

class CompositionTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(target_.Create(100, 70, 32, 0), kSurfaceDone);
    ASSERT_EQ(layer_.SetTarget(&target_, true), kComposeDone);
    layer_.SetBackgroundColor(0x102030, false);
  }
  ScopedPixelLibrary library_{&BuiltInPixelLibrary()};
  ImageSurface target_;
  CompositionLayer layer_;
};

TEST_F(CompositionTest, DirtyRedrawWholeOrByRowsMatchesAFullRedraw) {
  std::mt19937 rng(2024);
  auto background = Random(rng, 120, 90, 32);
  (void)layer_.SetBackgroundImage(background.get(), 7, 9, true);
  std::vector<std::unique_ptr<ImageSurface>> pictures;
  std::vector<std::unique_ptr<Sprite>> sprites;
  DisplayObjectList upper;
  layer_.SetSecondList(&upper);
  for (int i = 0; i < 8; ++i) {
    pictures.push_back(Random(rng, 5 + int(rng() % 20), 5 + int(rng() % 20), 32));
    auto sprite = std::make_unique<Sprite>();
    ASSERT_EQ(sprite->SetImage(pictures.back().get(), nullptr, int32_t(rng() % 100) - 10,
                               int32_t(rng() % 70) - 10),
              kSpriteDone);
    (void)sprite->SetDrawMode(int(rng() % 3));
    sprite->SetAlpha(int(rng() % 256));
    (void)(i % 3 == 0 ? upper : layer_.GetList()).Add(sprite.get(), uint32_t(rng() % 4), 0);
    sprites.push_back(std::move(sprite));
  }
  ColorRectObject shade;
  (void)shade.Create(30, 20, 0x80000000u | (rng() & 0xFFFFFF), 20, 20);
  (void)layer_.GetList().Add(&shade, 1, 0);
  ImageSurface full;
  ASSERT_EQ(full.Create(100, 70, 32, 0), kSurfaceDone);
  for (int frame = 0; frame < 12; ++frame) {
    for (auto& sprite : sprites) {
      if (rng() % 2) sprite->MoveBy(int32_t(rng() % 9) - 4, int32_t(rng() % 9) - 4);
      if (rng() % 5 == 0) sprite->SetVisible(!sprite->IsVisible());
    }
    if (frame == 5) layer_.GetList().Remove(sprites[1].get());
    if (frame == 7) shade.SetArgb(0x40FFFFFFu);
    // Every other frame redrawn a band of rows at a time, as a filter that reads the picture
    // right after each band does.
    if (frame % 2 == 0) {
      (void)layer_.RedrawDirty(nullptr, nullptr, 0, 0);
    } else if (layer_.StartRows(true)) {
      for (int32_t top = 0; top < 70; top += 16) layer_.RedrawRows(top, top + 16, true);
      layer_.FinishRows();
    }
    ASSERT_EQ(layer_.RenderTo(&full, kRenderAll, 0, true), kComposeDone);
    ASSERT_TRUE(SamePixels(target_, full)) << "frame " << frame;
  }
  layer_.SetSecondList(nullptr);
}

// A colour rectangle that counts how often a redraw asks it to draw.
class CountedRect : public ColorRectObject {
 public:
  int Draw(ImageSurface* target, const Rect& clip) override {
    ++draws;
    return ColorRectObject::Draw(target, clip);
  }
  int draws = 0;
};

// Drops of rain over the picture: one that moves redraws only what lies where it was and is; when
// all of them move, their many small rectangles are redrawn as one, and the picture is the same.
TEST_F(CompositionTest, ARedrawDrawsOnlyWhatItsRectanglesReachAndJoinsScatteredOnes) {
  std::vector<std::unique_ptr<CountedRect>> drops;
  for (int i = 0; i < 40; ++i) {
    drops.push_back(std::make_unique<CountedRect>());
    (void)drops.back()->Create(2, 6, 0xC08090A0u, (i * 37) % 96, (i * 53) % 62);
    (void)layer_.GetList().Add(drops.back().get(), uint32_t(i), 0);
  }
  (void)layer_.RedrawDirty(nullptr, nullptr, 0, 0);
  for (auto& drop : drops) drop->draws = 0;
  const Rect was = *drops[0]->GetRectPtr();
  drops[0]->MoveBy(1, 2);
  ASSERT_EQ(layer_.RedrawDirty(nullptr, nullptr, 0, 0), kComposeDone);
  EXPECT_GT(drops[0]->draws, 0);
  for (size_t i = 1; i < drops.size(); ++i) {
    const Rect& at = *drops[i]->GetRectPtr();
    const bool near =
        IntersectRects(nullptr, at, was) || IntersectRects(nullptr, at, *drops[0]->GetRectPtr());
    EXPECT_TRUE(near || drops[i]->draws == 0) << "drop " << i << " lies elsewhere";
  }

  for (auto& drop : drops) drop->MoveBy(1, 2);
  DirtyRectList redrawn;
  ASSERT_EQ(layer_.RedrawDirty(&redrawn, nullptr, 0, 0), kComposeDone);
  EXPECT_EQ(redrawn.Count(), 1);
  ImageSurface full;
  ASSERT_EQ(full.Create(100, 70, 32, 0), kSurfaceDone);
  ASSERT_EQ(layer_.RenderTo(&full, kRenderAll, 0, true), kComposeDone);
  EXPECT_TRUE(SamePixels(target_, full));
}

TEST_F(CompositionTest, ASpriteReportsWhatChangedInItsSourceWhereItShowsIt) {
  ImageSurface source;
  ASSERT_EQ(source.Create(20, 20, 32, kImageDirtyList), kSurfaceDone);
  Sprite sprite;
  const Rect shown{5, 5, 15, 15};
  ASSERT_EQ(sprite.SetImage(&source, &shown, 40, 30), kSpriteDone);
  (void)layer_.GetList().Add(&sprite, 0, 0);
  (void)layer_.RedrawDirty(nullptr, nullptr, 0, 0);
  source.GetDirtyList()->Clear();
  (void)source.FillRectXYWH(0, 0, 8, 8, 0xFF0000FFu);
  (void)source.FillRectXYWH(17, 17, 2, 2, 0xFF0000FFu);
  sprite.SyncWithSource(true);
  EXPECT_EQ(Nodes(layer_.Dirty()), (std::vector<Rect>{{40, 30, 43, 33}}))
      << "only the part inside the shown rectangle, moved to the sprite";
  EXPECT_FALSE(source.IsChanged());
  EXPECT_EQ(source.GetDirtyList()->Count(), 0);
}

std::vector<DisplayObject*> Order(const DisplayObjectList& list) {
  std::vector<DisplayObject*> out;
  for (const auto& node : list.Nodes()) out.push_back(node.object);
  return out;
}

TEST(DisplayObjectList, KeepsAscendingPriorityAndRefusesAnObjectTwice) {
  ColorRectObject p, q, r;
  DisplayObjectList list;
  ASSERT_EQ(list.Add(&p, 5, 0), kAddDone);
  ASSERT_EQ(list.Add(&q, 5, 0), kAddDone);
  ASSERT_EQ(list.Add(&r, 3, 0), kAddDone);
  EXPECT_EQ(Order(list), (std::vector<DisplayObject*>{&r, &q, &p}))
      << "equal priorities go before the ones already there";

  DisplayObjectList other;
  EXPECT_EQ(other.Add(&p, 1, 0), kAddInList);
  EXPECT_EQ(list.Add(nullptr, 1, 0), kAddNoObject);
  EXPECT_TRUE(other.IsEmpty());

  ColorRectObject s;
  ASSERT_EQ(list.AddAfterEqual(&s, 5, 0), kAddDone);
  EXPECT_EQ(Order(list).back(), &s);
  ASSERT_TRUE(list.SetPriority(&s, 3, false));
  EXPECT_EQ(Order(list), (std::vector<DisplayObject*>{&s, &r, &q, &p}));
  ASSERT_TRUE(list.SetPriorityAfterEqual(&s, 3, false));
  EXPECT_EQ(Order(list), (std::vector<DisplayObject*>{&r, &s, &q, &p}));
}

TEST(SurfaceUsers, AFreedSourceOrBackgroundDetachesItsUsers) {
  ScopedPixelLibrary library(&BuiltInPixelLibrary());
  ImageSurface target;
  ASSERT_EQ(target.Create(16, 16, 32, 0), kSurfaceDone);
  CompositionLayer layer;
  ASSERT_EQ(layer.SetTarget(&target, true), kComposeDone);
  Sprite sprite;
  (void)layer.GetList().Add(&sprite, 0, 0);
  {
    ImageSurface picture;
    ASSERT_EQ(picture.Create(8, 8, 32, 0), kSurfaceDone);
    (void)picture.Fill(0xFF00FF00u, nullptr);
    ASSERT_EQ(sprite.SetImage(&picture, nullptr, 2, 2), kSpriteDone);
    ASSERT_EQ(sprite.SetZoom(12, 12), kSpriteDone);
    ASSERT_TRUE(layer.SetBackgroundImage(&picture, 0, 0, true));
    ASSERT_EQ(layer.SetBackgroundStretch(0, 0, 0, 0, nullptr), 0);
  }
  EXPECT_EQ(std::tuple(sprite.GetSource(), sprite.GetWorkSurface()), std::tuple(nullptr, nullptr));
  ImageSurface* background = &target;
  layer.GetBackground(&background, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(background, nullptr);
  (void)layer.InvalidateAll();
  EXPECT_EQ(layer.RedrawDirty(nullptr, nullptr, 0, 0), kComposeDone)
      << "redrawing after the picture went must not touch it";

  {
    auto gone = std::make_unique<ImageSurface>();
    ASSERT_EQ(gone->Create(4, 4, 32, 0), kSurfaceDone);
    CompositionLayer other;
    ASSERT_EQ(other.SetTarget(gone.get(), false), kComposeDone);
    gone.reset();
    EXPECT_EQ(other.GetTarget(), nullptr);
    EXPECT_EQ(other.RedrawDirty(nullptr, nullptr, 0, 0), kComposeNoTarget);
  }
}

constexpr int kGrid = 64;

// Checks the list's invariants and that it covers exactly the cells marked in covered.
testing::AssertionResult Holds(const DirtyRectList& list, const std::vector<bool>& covered) {
  std::vector<Rect> nodes = Nodes(list);
  std::vector<int> cover(kGrid * kGrid, 0);
  for (size_t i = 0; i < nodes.size(); ++i) {
    const Rect& r = nodes[i];
    if (r.IsEmpty()) return testing::AssertionFailure() << "empty node " << i;
    if (i > 0) {
      const Rect& p = nodes[i - 1];
      if (p.top > r.top || (p.top == r.top && p.left > r.left))
        return testing::AssertionFailure() << "node " << i << " out of row order";
    }
    const Rect& b = list.Bounds();
    if (r.left < b.left || r.top < b.top || r.right > b.right || r.bottom > b.bottom)
      return testing::AssertionFailure() << "node " << i << " outside the bounding box";
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) ++cover[y * kGrid + x];
  }
  for (int c = 0; c < kGrid * kGrid; ++c) {
    if (cover[c] > 1) return testing::AssertionFailure() << "nodes overlap at cell " << c;
    if ((cover[c] == 1) != covered[c])
      return testing::AssertionFailure() << "cell " << c << " covered " << cover[c];
  }
  return testing::AssertionSuccess();
}

TEST(DirtyRectList, KeepsItsInvariantsUnderRandomUse) {
  std::mt19937 rng(11);
  for (int round = 0; round < 60; ++round) {
    DirtyRectList list;
    std::vector<bool> covered(kGrid * kGrid, false);
    int adds = 1 + rng() % 40;
    for (int k = 0; k < adds; ++k) {
      int l = rng() % kGrid, t = rng() % kGrid;
      Rect r{l, t, l + int(rng() % 20), t + int(rng() % 20)};
      r.right = std::min(r.right, kGrid);
      r.bottom = std::min(r.bottom, kGrid);
      list.Add(r);
      for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) covered[y * kGrid + x] = true;
      ASSERT_TRUE(Holds(list, covered)) << "round " << round << " add " << k;
    }
    list.Coalesce();
    ASSERT_TRUE(Holds(list, covered)) << "round " << round << " after Coalesce";
  }
  EXPECT_EQ(RectPool::Instance().TotalAllocated(), 0u) << "every node went back to the heap";
}

// Rectangles that only touch meet in nothing: no rectangle without height or width comes out.
TEST(IntersectRects, RectanglesThatOnlyTouchMeetInNothing) {
  const Rect a{10, 10, 20, 20};
  const struct {
    Rect b;
    bool meet;
    Rect expected;
  } cases[] = {{{0, 20, 30, 30}, false, {}},
               {{0, 0, 30, 10}, false, {}},
               {{20, 0, 30, 30}, false, {}},
               {{0, 0, 10, 30}, false, {}},
               {{15, 19, 30, 30}, true, {15, 19, 20, 20}},
               {{0, 0, 11, 30}, true, {10, 10, 11, 20}}};
  for (const auto& c : cases) {
    Rect out{-1, -1, -1, -1};
    EXPECT_EQ(IntersectRects(&out, a, c.b), c.meet) << c.b.left << "," << c.b.top;
    EXPECT_EQ(out, c.meet ? c.expected : (Rect{-1, -1, -1, -1})) << c.b.left << "," << c.b.top;
  }
}

}  // namespace
}  // namespace bw
