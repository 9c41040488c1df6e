#include "host/file/file_lock.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace bw::host {
namespace {

TEST(FileLock, OneHolderAtATimeUntilReleased) {
  test::TempDir dir;
  const auto path = dir.path() / "game.lock";
  FileLock first;
  FileLock second;
  ASSERT_EQ(first.TryLock(path), FileLock::Result::kLocked);
  EXPECT_TRUE(first.Held());
  EXPECT_EQ(second.TryLock(path), FileLock::Result::kHeldElsewhere);
  EXPECT_FALSE(second.Held());

  first.Release();
  EXPECT_FALSE(first.Held());
  EXPECT_EQ(second.TryLock(path), FileLock::Result::kLocked);
  {
    FileLock third;
    EXPECT_EQ(third.TryLock(dir.path() / "other.lock"), FileLock::Result::kLocked)
        << "another name is another lock";
  }
  second.Release();
}

TEST(FileLock, AFileThatCannotBeMadeSaysWhy) {
  test::TempDir dir;
  FileLock lock;
  EXPECT_EQ(lock.TryLock(dir.path() / "missing" / "game.lock"), FileLock::Result::kNoFile);
  EXPECT_FALSE(lock.Held());
  EXPECT_FALSE(lock.Error().empty());
}

}  // namespace
}  // namespace bw::host
