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
