#include "host/headless/headless_input_script.h"

#include <gtest/gtest.h>

#include <tuple>

namespace bw::host {
namespace {

using Kind = HeadlessInputStep::Kind;

TEST(HeadlessInput, ItemsBecomeStepsOrderedByFrame) {
  std::vector<HeadlessInputStep> steps;
  std::string error;
  ASSERT_TRUE(ParseHeadlessInput(
      "9:text:ab,3:click:40:50,3:wheel:-2,4:key:Return,5:down:right,6:convert:ぶりむ,7:compose:",
      &steps, &error))
      << error;
  // Frame and event of each step; the click's release comes a frame after its press.
  using enum InputEventKind;
  std::vector<std::pair<uint32_t, InputEventKind>> got;
  for (const HeadlessInputStep& s : steps)
    got.emplace_back(s.frame, s.kind == Kind::kEvent ? s.event.kind : kPaint);
  ASSERT_EQ(got, (std::vector<std::pair<uint32_t, InputEventKind>>{{3, kMouseMove},
                                                                   {3, kMouseButtonDown},
                                                                   {3, kMouseWheel},
                                                                   {4, kMouseButtonUp},
                                                                   {4, kKeyDown},
                                                                   {5, kKeyUp},
                                                                   {5, kMouseButtonDown},
                                                                   {6, kPaint},
                                                                   {7, kPaint},
                                                                   {9, kPaint}}));
  EXPECT_EQ(std::tuple(steps[9].kind, steps[4].event.virtualKey, steps[2].event.wheelNotches),
            std::tuple(Kind::kTypedText, 0x0D, -2));
  EXPECT_EQ(steps[6].event.x, 40) << "a button goes down where the pointer is";
  EXPECT_EQ(steps[6].event.button, MouseButton::kRight);
  EXPECT_EQ(steps[7].kind, Kind::kComposition);
}

// Keys go down and up with Alt while either Alt key is held, in the order of the frames, not of
// the items: Alt+Enter must reach the window as the screen mode's chord.
TEST(HeadlessInput, KeysWhileAnAltKeyIsHeldComeWithAlt) {
  std::vector<HeadlessInputStep> steps;
  std::string error;
  ASSERT_TRUE(ParseHeadlessInput(
      "9:keyup:Left Alt,5:keydown:Left Alt,6:key:Return,7:keydown:Right Alt,10:key:Return,"
      "12:keyup:Right Alt,13:key:Return",
      &steps, &error))
      << error;
  std::vector<std::tuple<uint32_t, bool, bool>> got;  // frame, down, with Alt
  for (const HeadlessInputStep& s : steps)
    got.emplace_back(s.frame, s.event.kind == InputEventKind::kKeyDown, s.event.altDown);
  EXPECT_EQ(got, (std::vector<std::tuple<uint32_t, bool, bool>>{{5, true, true},
                                                                {6, true, true},
                                                                {7, false, true},
                                                                {7, true, true},
                                                                {9, false, true},
                                                                {10, true, true},
                                                                {11, false, true},
                                                                {12, false, false},
                                                                {13, true, false},
                                                                {14, false, false}}));
}

TEST(HeadlessInput, MalformedItemsAreRefusedWithTheirReason) {
  const struct {
    const char* text;
    const char* error;  // names the first bad item and why
  } cases[] = {
      {"0:move:1:2", "0:move:1:2: not a frame from 1 and an event"},
      {"3", "3: not a frame from 1 and an event"},
      {"3:move:1", "3:move:1: needs X:Y"},
      {"3:wheel:0", "3:wheel:0: needs a turn of 1 to 120 notches either way"},
      {"3:down:thumb", "3:down:thumb: names no button (left, right, middle)"},
      {"3:key:NoSuchKey", "3:key:NoSuchKey: names no key"},
      {"3:move:1:2,", ": not a frame from 1 and an event"},
  };
  for (const auto& c : cases) {
    std::vector<HeadlessInputStep> steps;
    std::string error;
    EXPECT_FALSE(ParseHeadlessInput(c.text, &steps, &error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

}  // namespace
}  // namespace bw::host
