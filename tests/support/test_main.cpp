// GoogleTest entry for every test program: tests run headless, with SDL's dummy drivers.
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
