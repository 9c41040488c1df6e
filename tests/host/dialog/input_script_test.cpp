#include "host/dialog/input_script.h"

#include <gtest/gtest.h>

#include <SDL.h>

namespace bw::host {
namespace {

TEST(InputScript, ReadsEachKindOfStep) {
  std::vector<InputStep> steps;
  std::string error;
  ASSERT_TRUE(
      ParseInputScript("wait:30,click:はい,key:Alt+Return,screen:full,close", &steps, &error))
      << error;
  ASSERT_EQ(steps.size(), 5u);
  EXPECT_EQ(steps[0].frames, 30);
  EXPECT_EQ(steps[1].label, "はい");
  EXPECT_EQ(steps[2].keys, (std::vector<int>{SDL_SCANCODE_LALT, SDL_SCANCODE_RETURN}));
  EXPECT_TRUE(steps[3].fullScreen);
  EXPECT_EQ(steps[4].kind, InputStep::Kind::kClose);
  EXPECT_EQ(DescribeInputStep(steps[2]), "key:Left Alt+Return");
}

TEST(InputScript, RefusesWhatItCannotPlayAndSaysWhy) {
  const char* bad[] = {"", "wait:0", "click:", "key:Hyper+A", "screen:half", "wait:1,,close"};
  for (const char* text : bad) {
    std::vector<InputStep> steps;
    std::string error;
    EXPECT_FALSE(ParseInputScript(text, &steps, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

}  // namespace
}  // namespace bw::host
