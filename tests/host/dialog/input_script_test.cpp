#include "host/dialog/input_script.h"

#include <gtest/gtest.h>

#include <SDL.h>

namespace bw::host {
namespace {

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
