// GoogleTest entry for every test program: tests run headless, with SDL's dummy drivers.
// BRIMWOLD_REFUSE_EXECUTABLE_MEMORY=1 runs them as on a system that refuses executable memory.
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "host/process/executable_memory.h"
#include "support/leftover_listener.h"

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const char* refuse = std::getenv("BRIMWOLD_REFUSE_EXECUTABLE_MEMORY");
  if (refuse && std::strcmp(refuse, "1") == 0) bw::host::ExecutableMemory::SetRefused(true);
  testing::InitGoogleTest(&argc, argv);
  // Appended after the printer, so that its end of a test (called in reverse) reports first.
  testing::UnitTest::GetInstance()->listeners().Append(new bw::test::LeftoverListener);
  return RUN_ALL_TESTS();
}
