#include "host/presentation_sink.h"

#include <gtest/gtest.h>

#include <ostream>

namespace bw::host {

void PrintTo(const Rect& r, std::ostream* os) {
  *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

TEST(Letterbox, KeepsTheAspectCentresTheBarsAndRefusesEmptySizes) {
  struct Case {
    int32_t sw, sh, tw, th;
    Rect expected;
  };
  const Case cases[] = {
      {640, 480, 1920, 1080, {240, 0, 1680, 1080}},  // bars left and right
      {640, 480, 1366, 768, {171, 0, 1195, 768}},    // odd bar width rounds down on the left
      {640, 480, 100000, 3, {49998, 0, 50002, 3}},   // extreme shape stays inside
      {0, 480, 640, 480, {}},
      {640, 480, -1, 480, {}},
      {640, -480, 640, 480, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LetterboxRect(c.sw, c.sh, c.tw, c.th), c.expected)
        << c.sw << "x" << c.sh << " into " << c.tw << "x" << c.th;
  }
}

}  // namespace
}  // namespace bw::host
