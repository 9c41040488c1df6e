#include "platform/monitor_list.h"

#include <gtest/gtest.h>

#include <tuple>

#include "host/headless/headless_backend.h"

namespace bw {
namespace {

// A 1920x1080 primary and a 2560x1440 monitor to its right; each loses 40 rows to a panel.
class MonitorPlacementTest : public testing::Test {
 protected:
  bool SetDesktop() {
    backend_.SetDesktop({.width = 1920,
                         .height = 1080,
                         .bitsPerPixel = 32,
                         .monitors = {{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}},
                                      {{1920, 0, 4480, 1440}, {1920, 0, 4480, 1400}}}});
    return true;
  }

  int32_t Place(int32_t x, int32_t y, int32_t w, int32_t h, bool force, bool centre) {
    x_ = x;
    y_ = y;
    return list_.PlaceWindow(&x_, &y_, w, h, force, centre);
  }

  host::HeadlessBackend backend_;
  ScopedGlobal<host::Backend> use_{&backend_};
  bool desktopSet_ = SetDesktop();
  MonitorList list_;
  int32_t x_ = 0;
  int32_t y_ = 0;
};

TEST_F(MonitorPlacementTest, PlacesOnTheNearestMonitorThatHoldsTheWindow) {
  struct Case {
    const char* what;
    int32_t x, y, w, h;
    bool force, centre;
    int32_t result, placedX, placedY;
  };
  const Case cases[] = {
      {"inside a work area it stays", 2000, 100, 800, 600, false, true, 0, 2000, 100},
      {"forced: centred on the nearest work area", 2000, 100, 800, 600, true, true, 1,
       1920 + 1280 - 400, 700 - 300},
      {"touching the right and bottom edges", 3680, 800, 800, 600, false, false, 0, 3680, 800},
      {"one column past them", 3681, 800, 800, 600, false, false, 1, 1920, 0},
      {"too large for the nearest: the first that holds it", 100, 100, 2000, 1200, false, false, 1,
       1920, 0},
      {"nothing holds it: top left of the nearest, uncentred", 10, 10, 3000, 1500, false, true, 1,
       0, 0},
      {"off every monitor: the closest one", 9000, 100, 100, 100, false, false, 1, 1920, 0},
      {"empty width", 7, 8, 0, 100, false, false, -1, 7, 8},
  };
  for (const Case& c : cases) {
    const int32_t result = Place(c.x, c.y, c.w, c.h, c.force, c.centre);
    EXPECT_EQ(std::tuple(result, x_, y_), std::tuple(c.result, c.placedX, c.placedY)) << c.what;
  }

  MonitorList empty(std::vector<MonitorFacts>{});
  int32_t x = 5, y = 5;
  EXPECT_EQ(empty.PlaceWindow(&x, &y, 100, 100, true, true), -1);
  EXPECT_EQ(x, 5);
  EXPECT_EQ(empty.FindMonitorFitting(1, 1), kNoMonitor);
}

MonitorFacts Named(std::string description, uint32_t refreshHz = 60) {
  MonitorFacts f;
  f.bounds = {0, 0, 640, 480};
  f.description = std::move(description);
  f.refreshHz = refreshHz;
  return f;
}

TEST(MonitorNumberingTest, IdenticalMonitorsAreNumberedPastTen) {
  std::vector<MonitorFacts> facts(12, Named("Card"));
  facts.insert(facts.begin() + 3, Named("Other"));
  MonitorList list(facts);
  ASSERT_EQ(list.GetCount(), 13u);
  EXPECT_EQ(list.Records()[0].description, "Card[1]");
  EXPECT_EQ(list.Records()[3].description, "Other");
  EXPECT_EQ(list.Records()[3].duplicateNumber, MonitorRecord::kNotNumbered);
  EXPECT_EQ(list.Records()[10].description, "Card[10]");
  EXPECT_EQ(list.Records()[12].duplicateNumber, 12);
}

}  // namespace
}  // namespace bw
