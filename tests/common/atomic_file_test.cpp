#include "common/atomic_file.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

std::span<const uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

size_t FilesIn(const std::filesystem::path& dir) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

TEST(AtomicFile, ReplacesTheTargetButAnUncommittedOrFailedWriteKeepsIt) {
  test::TempDir dir;
  auto target = dir.path() / "save.dat";
  ASSERT_TRUE(WriteFileAtomically(target, Bytes("old")));
  ASSERT_TRUE(WriteFileAtomically(target, Bytes("precious")));
  EXPECT_EQ(test::ReadFile(target), "precious");
  std::error_code error;
  EXPECT_FALSE(WriteFileAtomically(dir.path() / "no" / "such" / "file", Bytes("x"), &error))
      << "a missing folder is an error";
  EXPECT_EQ(error, std::errc::no_such_file_or_directory);
  {
    AtomicFileWriter w;
    ASSERT_TRUE(w.Open(target));
    ASSERT_TRUE(w.Write("half", 4));
    // the writer goes away without Commit, as when the caller's own encoding fails
  }
  EXPECT_EQ(test::ReadFile(target), "precious") << "uncommitted";
  EXPECT_EQ(FilesIn(dir.path()), 1u);

  std::string big(64 * 1024, 'x');
  {
    test::FileSizeLimit limit(4096);
    ASSERT_TRUE(limit.set);
    AtomicFileWriter w;
    ASSERT_TRUE(w.Open(target));
    EXPECT_FALSE(w.Write(big.data(), big.size())) << "the write past the limit fails";
    EXPECT_FALSE(w.Write("y", 1)) << "a writer stays failed";
    EXPECT_FALSE(w.Commit()) << "a failed write is never committed";
    EXPECT_EQ(w.Error(), std::errc::file_too_large) << "the first failure is the reason";
  }
  EXPECT_EQ(test::ReadFile(target), "precious") << "failed";
  EXPECT_EQ(FilesIn(dir.path()), 1u) << "the temporary must be removed";
}

// A start removes what killed writes left beside the files it writes, and nothing else: not the
// temporary of a write still going, not names that only look alike, not folders or links.
TEST(AtomicFile, StaleTemporariesAreRemovedButNotAWriteInProgress) {
  test::TempDir dir;
  const auto target = dir.path() / "APP_CFG.DAT";
  ASSERT_TRUE(WriteFileAtomically(target, Bytes("settings")));
  dir.WriteFile("APP_CFG.DAT.tmp.Ab12Cd", "killed");
  dir.WriteFile("SAVE01.DAT.tmp.zzzzzz", "killed");
  dir.WriteFile("user.cfg.tmp.Q1w2E3", "killed");
  const char* keep[] = {"notes.tmp.abcde", "notes.tmp.abcdefg", "notes.tmp.ab-cde", ".tmp.abcdef",
                        "APP_CFG.DAT"};
  for (const char* name : keep) {
    if (!std::filesystem::exists(dir.path() / name)) dir.WriteFile(name, "theirs");
  }
  std::filesystem::create_directory(dir.path() / "album.tmp.abcdef");
  std::filesystem::create_symlink(target, dir.path() / "link.tmp.abcdef");

  AtomicFileWriter inProgress;
  ASSERT_TRUE(inProgress.Open(target));
  ASSERT_TRUE(inProgress.Write("new", 3));

  EXPECT_EQ(RemoveStaleTemporaries(dir.path(), "USER.CFG"), 1u)
      << "a named target takes only its own, in any case";
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "SAVE01.DAT.tmp.zzzzzz"));
  EXPECT_EQ(RemoveStaleTemporaries(dir.path()), 2u);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "APP_CFG.DAT.tmp.Ab12Cd"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "SAVE01.DAT.tmp.zzzzzz"));
  for (const char* name : keep) EXPECT_TRUE(std::filesystem::exists(dir.path() / name)) << name;
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "album.tmp.abcdef"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "link.tmp.abcdef"));

  EXPECT_TRUE(inProgress.Commit()) << "the write that was going on finishes";
  EXPECT_EQ(test::ReadFile(target), "new");
  EXPECT_EQ(RemoveStaleTemporaries(dir.path() / "missing"), 0u);
}

}  // namespace
}  // namespace bw
