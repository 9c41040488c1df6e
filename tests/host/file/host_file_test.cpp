#include "host/file/host_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "host/file/file_lock.h"
#include "host/file/file_system.h"
#include "support/temp_dir.h"

namespace bw::host {
namespace {

using Access = HostFile::Access;
using Origin = HostFile::Origin;

TEST(HostFile, CreateNewRefusesAnExistingFileAndAFailedOpenLeavesNothingOpen) {
  test::TempDir dir;
  auto path = dir.WriteFile("a.txt", "keep");
  HostFile file;
  EXPECT_FALSE(file.Open(path, Access::kCreateNew));
  EXPECT_FALSE(file.IsOpen());
  ASSERT_TRUE(file.Open(path, Access::kRead));
  char buffer[8] = {};
  EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 4u) << "a short read answers the bytes there";
  EXPECT_STREQ(buffer, "keep");

  ASSERT_TRUE(file.Open(path, Access::kCreateAlways));
  EXPECT_EQ(file.Size(), 0u) << "create-always truncates";

  // A handle whose open failed is closed and answers nothing.
  EXPECT_FALSE(file.Open(dir.path() / "missing", Access::kRead));
  EXPECT_FALSE(file.Open(dir.path(), Access::kRead)) << "a folder is not a file";
  char c;
  EXPECT_EQ(file.Read(&c, 1), 0u);
  EXPECT_EQ(file.Write(&c, 1), 0u);
  EXPECT_FALSE(file.Seek(0, Origin::kBegin));
  EXPECT_FALSE(file.Size());
}

TEST(HostFile, RefusesThirtyTwoBitSizesOverFourGigabytes) {
  test::TempDir dir;
  auto path = dir.path() / "big";
  int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  const uint64_t big = uint64_t{1} << 32;  // sparse: takes no space
  bool truncated = ::ftruncate(fd, static_cast<off_t>(big)) == 0;
  ::close(fd);
  if (!truncated) GTEST_SKIP() << "the temporary folder cannot hold a sparse 4 GiB file";
  HostFile file;
  ASSERT_TRUE(file.Open(path, Access::kRead));
  EXPECT_EQ(file.Size64(), big);
  EXPECT_FALSE(file.Size()) << "4 GiB does not fit the engine's size";
}

// The settings are read whole; a folder or an unreadable file where one is expected answers
// false, never an exception, and leaves nothing half read.
TEST(HostFile, ReadWholeFileRefusesFoldersAndOversizedFiles) {
  test::TempDir dir;
  std::vector<uint8_t> bytes{9, 9};
  ASSERT_TRUE(ReadWholeFile(dir.WriteFile("USER.CFG", "abc"), bytes));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{'a', 'b', 'c'}));
  EXPECT_TRUE(ReadWholeFile(dir.WriteFile("empty", ""), bytes));
  EXPECT_TRUE(bytes.empty());

  bytes = {9};
  std::filesystem::create_directory(dir.path() / "APP_CFG.DAT");
  EXPECT_FALSE(ReadWholeFile(dir.path() / "APP_CFG.DAT", bytes)) << "a folder";
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(ReadWholeFile(dir.path() / "missing", bytes));
  EXPECT_FALSE(ReadWholeFile({}, bytes)) << "a path that could not be mapped";
  EXPECT_FALSE(ReadWholeFile(dir.WriteFile("big", "12345"), bytes, 4));
  EXPECT_TRUE(bytes.empty());
}

namespace fs = std::filesystem;

// A link back up the tree, known by its entry, is the folder list's test, which does not enter it.
TEST(FileSystemQuery, TellsFilesFoldersLinksAndProgramsApart) {
  test::TempDir dir;
  fs::path file = dir.WriteFile("a.bin", "12345");
  fs::create_directory(dir.path() / "sub");
  fs::create_symlink(dir.path() / "nowhere", dir.path() / "dangling");

  std::optional<FileStatus> status = QueryFile(file);
  ASSERT_TRUE(status);
  EXPECT_TRUE(status->IsFile());
  EXPECT_EQ(status->size, 5u);
  EXPECT_TRUE(status->ownerWritable);
  ASSERT_TRUE(QueryFile(dir.path() / "sub"));
  EXPECT_TRUE(QueryFile(dir.path() / "sub")->IsFolder());
  EXPECT_FALSE(QueryFile(dir.path() / "missing"));

  EXPECT_FALSE(QueryFile(dir.path() / "dangling")) << "followed, the link leads nowhere";
  ASSERT_TRUE(QueryFile(dir.path() / "dangling", Links::kOwn));
  EXPECT_EQ(QueryFile(dir.path() / "dangling", Links::kOwn)->kind, EntryKind::kOther);

  // Executable means a regular file with the run bit.
  fs::path script = dir.WriteFile("run.sh", "#!/bin/sh\n");
  EXPECT_FALSE(IsExecutableFile(script));
  fs::permissions(script, fs::perms::owner_exec, fs::perm_options::add);
  EXPECT_TRUE(IsExecutableFile(script));
  EXPECT_FALSE(IsExecutableFile(dir.path())) << "a folder has the bit but cannot run";
  EXPECT_FALSE(IsExecutableFile(dir.path() / "missing"));
}

// A lock held elsewhere is what stops a second copy of a game, which the program tests start.
TEST(FileLock, AFileThatCannotBeMadeSaysWhy) {
  test::TempDir dir;
  FileLock lock;
  EXPECT_EQ(lock.TryLock(dir.path() / "missing" / "game.lock"), FileLock::Result::kNoFile);
  EXPECT_FALSE(lock.Held());
  EXPECT_FALSE(lock.Error().empty());
}

}  // namespace
}  // namespace bw::host
