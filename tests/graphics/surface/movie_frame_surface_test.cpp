// Label: threads
#include "graphics/surface/movie_frame_surface.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "graphics/device/direct3d_fixture.h"
#include "graphics/pixel/surface_rows.h"

namespace bw {
namespace {

using MovieFrameTest = testing_devices::DirectDrawTarget;

TEST_F(MovieFrameTest, CreateRefusesBadSizesAndAMissingDevice) {
  {
    ScopedGlobal<DirectDrawDevice> unset(nullptr);
    MovieFrameSurface none;
    EXPECT_EQ(none.Create(4, 4), kFrameNoDevice) << "no device given or set";
  }
  MovieFrameSurface frame(&device);
  EXPECT_EQ(frame.Create(0, 10), kFrameNoDevice);
  EXPECT_EQ(frame.GetMemory(), nullptr);
  DirectDrawDevice empty;
  MovieFrameSurface noDirectDraw(&empty);
  EXPECT_EQ(noDirectDraw.Create(4, 4), kFrameNoDirectDraw);
}

TEST_F(MovieFrameTest, RestoreRemakesOnlyALostSurfaceUnderTheLock) {
  MovieFrameSurface frame(&device);
  EXPECT_EQ(frame.Restore(1), 0) << "nothing made yet";
  ASSERT_EQ(frame.Create(16, 8), 0);
  host::MemorySurface* before = frame.GetDirectDrawSurface();
  EXPECT_EQ(frame.Restore(1), 0);
  EXPECT_EQ(frame.GetDirectDrawSurface(), before) << "not lost: left alone";

  // A writer copies frames in under the lock while the surface is remade: it must never write
  // through an address that was released.
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    while (!stop.load()) {
      ScopedLock hold(frame.GetLock());
      if (uint8_t* memory = frame.GetMemory())
        std::memset(memory, 0x7F, size_t(frame.GetPitch()) * 8);
    }
  });
  int failures = 0;  // counted, not asserted: the writer is joined before anything returns
  for (int i = 0; i < 50; ++i) {
    frame.GetDirectDrawSurface()->SetLost(true);
    failures += frame.Restore(1) != 0;
  }
  stop = true;
  writer.join();
  EXPECT_EQ(failures, 0) << "restores that failed";
  EXPECT_EQ(frame.GetDirectDrawSurface()->IsLost(), host::kDdOk);
}

}  // namespace
}  // namespace bw
