#include "host/file/file_system.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace bw::host {
namespace {

namespace fs = std::filesystem;

TEST(FileSystemQuery, TellsFilesFoldersAndLinksApart) {
  test::TempDir dir;
  fs::path file = dir.WriteFile("a.bin", "12345");
  fs::create_directory(dir.path() / "sub");
  fs::create_symlink(dir.path() / "nowhere", dir.path() / "dangling");
  fs::create_directory_symlink(dir.path(), dir.path() / "sub" / "up");

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

  // A link back up the tree names the same entry as the folder it leads to.
  std::optional<FileStatus> top = QueryFile(dir.path());
  std::optional<FileStatus> viaLink = QueryFile(dir.path() / "sub" / "up");
  ASSERT_TRUE(top && viaLink);
  EXPECT_EQ(std::pair(top->device, top->inode), std::pair(viaLink->device, viaLink->inode));
}

TEST(FileSystemQuery, ExecutableMeansARegularFileWithTheRunBit) {
  test::TempDir dir;
  fs::path script = dir.WriteFile("run.sh", "#!/bin/sh\n");
  EXPECT_FALSE(IsExecutableFile(script));
  fs::permissions(script, fs::perms::owner_exec, fs::perm_options::add);
  EXPECT_TRUE(IsExecutableFile(script));
  EXPECT_FALSE(IsExecutableFile(dir.path())) << "a folder has the bit but cannot run";
  EXPECT_FALSE(IsExecutableFile(dir.path() / "missing"));
}

TEST(FileSystemChange, TimesAndTheWriteBitAreSetAndUniqueFilesAreNew) {
  test::TempDir dir;
  fs::path file = dir.WriteFile("old.txt", "x");
  const timespec access{1000000000, 0};
  const timespec write{1200000000, 500};
  ASSERT_TRUE(SetFileTimes(file, access, write));
  std::optional<FileStatus> status = QueryFile(file);
  ASSERT_TRUE(status);
  EXPECT_EQ(status->lastWrite.tv_sec, write.tv_sec);
  EXPECT_EQ(status->lastWrite.tv_nsec, write.tv_nsec);
  EXPECT_EQ(status->lastAccess.tv_sec, access.tv_sec);

  fs::permissions(file, fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_FALSE(QueryFile(file)->ownerWritable);
  EXPECT_TRUE(MakeOwnerWritable(file));
  EXPECT_TRUE(QueryFile(file)->ownerWritable);
  EXPECT_FALSE(MakeOwnerWritable(dir.path() / "missing"));

  const std::string pattern = (dir.path() / "QZFXXXXXX.TMP").string();
  std::optional<std::string> first = CreateUniqueFile(pattern, 4);
  std::optional<std::string> second = CreateUniqueFile(pattern, 4);
  ASSERT_TRUE(first && second);
  EXPECT_NE(*first, *second);
  EXPECT_TRUE(first->ends_with(".TMP")) << *first;
  EXPECT_EQ(QueryFile(*first)->size, 0u);
  EXPECT_FALSE(CreateUniqueFile((dir.path() / "plain.TMP").string(), 4)) << "no X to replace";

  EXPECT_TRUE(RemoveFile(*first));
  EXPECT_FALSE(QueryFile(*first));
  EXPECT_FALSE(RemoveFile(*first)) << "gone already";
}

}  // namespace
}  // namespace bw::host
