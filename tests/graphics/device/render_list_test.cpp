#include "graphics/device/render_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/device/direct3d_fixture.h"
#include "graphics/device/render_item.h"

namespace bw {
namespace {

// Records its name when drawn and answers a set code.
class FakeItem : public RenderItem {
 public:
  FakeItem(std::string name, std::vector<std::string>* log) : name_(std::move(name)), log_(log) {}
  uint8_t GetKind() const override { return kItemMovie; }
  int Draw(host::MemorySurface*, const Rect*, Direct3DDevice*) override {
    if (!IsEnabled()) return kRenderDone;
    log_->push_back(name_);
    return result;
  }
  int Restore() override {
    log_->push_back("restore " + name_);
    return result;
  }
  int result = kRenderDone;

 private:
  std::string name_;
  std::vector<std::string>* log_;
};

class RenderListTest : public testing::Test {
 protected:
  std::vector<std::string> Drawn() {
    log.clear();
    (void)list.DrawAll(nullptr, nullptr, nullptr);
    return log;
  }
  std::vector<std::string> log;
  RenderList list;
  FakeItem a{"a", &log}, b{"b", &log}, c{"c", &log};
};

using Names = std::vector<std::string>;

TEST_F(RenderListTest, DrawsByDescendingPriorityEqualsInTheirChosenOrder) {
  ASSERT_EQ(list.Insert(&a, 5, 0), 0);
  ASSERT_EQ(list.Insert(&b, 9, 0), 0);
  ASSERT_EQ(list.Insert(&c, 5, 0), 0);
  EXPECT_EQ(Drawn(), (Names{"b", "a", "c"}));
  list.Remove(&c);
  ASSERT_EQ(list.InsertBeforeEqual(&c, 5, 0), 0);
  EXPECT_EQ(Drawn(), (Names{"b", "c", "a"}));

  EXPECT_EQ(list.Insert(&a, 1, 0), kInsertListed);
  EXPECT_EQ(list.Insert(nullptr, 1, 0), kInsertNoItem);
  EXPECT_EQ(Drawn(), (Names{"b", "c", "a"})) << "a refused insert changes nothing";

  EXPECT_TRUE(list.SetPriority(&b, 5, true)) << "moved after the equals";
  EXPECT_EQ(Drawn(), (Names{"c", "a", "b"}));
  EXPECT_FALSE(list.SetPriority(&b, 5, true)) << "same priority, skipped";
  EXPECT_TRUE(list.SetPriorityBeforeEqual(&b, 5, false));
  EXPECT_EQ(Drawn(), (Names{"b", "c", "a"}));
  EXPECT_FALSE(list.SetPriority(nullptr, 1, false));
}

TEST_F(RenderListTest, FiltersRemovalAndItemsLeavingOnTheirOwn) {
  (void)list.Insert(&a, 1, 3);
  (void)list.Insert(&b, 7, 2);
  (void)list.Insert(&c, 7, 3);
  list.SetEnabledWhere(false, kAnyValue, 3);
  EXPECT_EQ(Drawn(), (Names{"b"}));
  list.SetEnabledWhere(true, 1, kAnyValue);
  EXPECT_EQ(Drawn(), (Names{"b", "a"}));

  list.RemoveByPriority(7);
  EXPECT_EQ(b.List(), nullptr);
  EXPECT_EQ(list.Count(), 1u);
  (void)list.Insert(&b, 7, 2);
  list.RemoveByType(3);
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_EQ(a.List(), nullptr);
  {
    FakeItem brief{"brief", &log};
    (void)list.Insert(&brief, 0, 0);
    EXPECT_EQ(list.Count(), 2u);
  }
  EXPECT_EQ(list.Count(), 1u) << "a dying item leaves the list";
  list.Clear();
  EXPECT_EQ(b.List(), nullptr);
  EXPECT_EQ(list.Insert(&b, 1, 0), 0) << "a cleared item can be listed again";
}

TEST_F(RenderListTest, DrawingAndRestoreStopAtTheFirstFailure) {
  (void)list.Insert(&a, 3, 0);
  (void)list.Insert(&b, 2, 0);
  (void)list.Insert(&c, 1, 0);
  b.result = 4;
  log.clear();
  EXPECT_EQ(list.DrawAll(nullptr, nullptr, nullptr), 4);
  EXPECT_EQ(log, (Names{"a", "b"}));
  log.clear();
  EXPECT_EQ(list.Restore(), 4);
  EXPECT_EQ(log, (Names{"restore a", "restore b"}));
}

// The coloured items drawn by a Direct3D device onto a 16 x 16 target.
using ColorItemTest = testing_devices::Direct3DTarget;

TEST_F(ColorItemTest, RectangleFillsExactlyItsPixels) {
  D3DRectPrimitive rect;
  ASSERT_EQ(rect.Set(4, 3, 0xFF00FF00u, -2, 14), 0);
  EXPECT_EQ(rect.BlendEnable(), 0) << "opaque: no blending";
  ASSERT_EQ(DrawOne(&rect), kRenderDone);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x)
      ASSERT_EQ(Shown(x, y), x < 2 && y >= 14 ? 0x00FF00u : 0u) << x << "," << y;
  }

  // Signed hit tests: an item placed partly off screen is hit where it shows.
  EXPECT_TRUE(rect.HitTest(-1, 15, true));
  EXPECT_FALSE(rect.HitTest(2, 14, false));
  D3DRectPrimitive other;
  (void)other.Set(2, 2, 0xFF000000u, 1, 16);
  EXPECT_TRUE(rect.Overlaps(other));
  other.SetPosition(2, 16);
  EXPECT_FALSE(rect.Overlaps(other)) << "touching edges do not overlap";
}

TEST_F(ColorItemTest, DrawAnswersForWhatIsMissing) {
  D3DRectPrimitive rect;
  (void)rect.Set(2, 2, 0xFFFFFFFFu, 0, 0);
  EXPECT_EQ(rect.Draw(target.get(), nullptr, nullptr), kRenderMissing);
  D3DPolygonPrimitive empty;
  EXPECT_EQ(empty.Draw(target.get(), nullptr, &device), kRenderMissing);
  device.Release();
  EXPECT_EQ(rect.Draw(target.get(), nullptr, &device), kRenderNoDevice);
  RenderList list;
  (void)list.Insert(&rect, 0, 0);
  EXPECT_EQ(list.DrawAll(target.get(), nullptr, &device), kRenderNoDevice)
      << "drawn without a scene";
}

}  // namespace
}  // namespace bw
