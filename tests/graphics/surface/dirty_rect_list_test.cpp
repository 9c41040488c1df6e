#include "graphics/surface/dirty_rect_list.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "surface_fixture.h"

namespace bw {
namespace {

using testing_surfaces::Nodes;

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

TEST(DirtyRectList, JoinsAndCovers) {
  DirtyRectList list;
  list.Add({0, 0, 10, 10});
  list.Add({2, 2, 5, 5});
  EXPECT_EQ(Nodes(list), (std::vector<Rect>{{0, 0, 10, 10}})) << "inside an existing node";
  list.Add({0, 0, 10, 10});
  EXPECT_EQ(list.Count(), 1) << "an equal rectangle";
  list.Add({10, 0, 20, 10});
  EXPECT_EQ(Nodes(list), (std::vector<Rect>{{0, 0, 20, 10}})) << "joined at insert";
  list.Add({5, 5, 5, 9});
  EXPECT_EQ(list.Bounds(), (Rect{0, 0, 20, 10})) << "an empty rectangle is ignored";

  DirtyRectList reversed;
  reversed.Add({10, 0, 20, 10});
  reversed.Add({0, 0, 10, 10});
  EXPECT_EQ(Nodes(reversed), (std::vector<Rect>{{0, 0, 20, 10}}));
}

TEST(DirtyRectList, CoalesceJoinsSideBySideAcrossHeights) {
  DirtyRectList sameTop;
  sameTop.Add({0, 0, 10, 10});
  sameTop.Add({10, 0, 20, 5});
  sameTop.Coalesce();
  EXPECT_EQ(Nodes(sameTop), (std::vector<Rect>{{0, 0, 20, 5}, {0, 5, 10, 10}}))
      << "the shared rows span both; the taller keeps its rest";

  DirtyRectList lower;
  lower.Add({0, 0, 10, 10});
  lower.Add({10, 4, 20, 8});
  lower.Coalesce();
  EXPECT_EQ(Nodes(lower), (std::vector<Rect>{{0, 0, 10, 4}, {0, 4, 20, 8}, {0, 8, 10, 10}}))
      << "three bands";

  DirtyRectList level;
  level.Add({10, 0, 20, 10});
  level.Add({0, 5, 10, 10});
  level.Coalesce();
  EXPECT_EQ(Nodes(level), (std::vector<Rect>{{10, 0, 20, 5}, {0, 5, 20, 10}}))
      << "ending level, the lower one takes the joined width";
}

TEST(DirtyRectList, CoalesceStacksAndClearRestarts) {
  DirtyRectList list;
  list.Coalesce();
  list.Add({0, 0, 10, 10});
  list.Add({0, 10, 10, 20});
  EXPECT_EQ(list.Count(), 2);
  list.Coalesce();
  EXPECT_EQ(Nodes(list), (std::vector<Rect>{{0, 0, 10, 20}}));
  list.Clear();
  EXPECT_EQ(list.Head(), nullptr);
  list.Add({3, 3, 4, 4});
  EXPECT_EQ(Nodes(list), (std::vector<Rect>{{3, 3, 4, 4}}));
}

TEST(DirtyRectList, PoolGrowsInBlocksAndEmptiesWhenAllAreFree) {
  {
    DirtyRectList list;
    for (int i = 0; i < 300; ++i) list.Add({i * 2, 0, i * 2 + 1, 1});
    EXPECT_EQ(list.Count(), 300);
    EXPECT_EQ(RectPool::Instance().TotalAllocated(), 512u);
  }
  EXPECT_EQ(RectPool::Instance().TotalAllocated(), 0u);
}

TEST(IntersectRects, WritesOnlyANonEmptyIntersection) {
  Rect a{0, 0, 10, 10}, b{5, 5, 20, 20};
  Rect out{1, 2, 3, 4};
  EXPECT_TRUE(IntersectRects(&out, a, b));
  EXPECT_EQ(out, (Rect{5, 5, 10, 10}));
  EXPECT_TRUE(IntersectRects(&a, a, b)) << "out may be an input";
  EXPECT_EQ(a, (Rect{5, 5, 10, 10}));
  Rect keep{1, 2, 3, 4};
  EXPECT_FALSE(IntersectRects(&keep, {0, 0, 5, 5}, {5, 0, 9, 5})) << "touching edges";
  EXPECT_EQ(keep, (Rect{1, 2, 3, 4}));
  EXPECT_TRUE(IntersectRects(nullptr, {0, 0, 5, 5}, {4, 4, 9, 9}));
}

}  // namespace
}  // namespace bw
