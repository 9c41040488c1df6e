#include "common/atomic_file.h"

#include <sys/resource.h>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <string>

#include "support/temp_dir.h"

namespace bw {
namespace {

std::span<const uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

size_t FilesIn(const std::filesystem::path& dir) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

TEST(AtomicFile, ReplacesTheTargetButAnUncommittedWriteKeepsIt) {
  test::TempDir dir;
  auto target = dir.path() / "save.dat";
  ASSERT_FALSE(WriteFileAtomically(target, Bytes("old")));
  ASSERT_FALSE(WriteFileAtomically(target, Bytes("precious")));
  EXPECT_EQ(test::ReadFile(target), "precious");
  EXPECT_TRUE(WriteFileAtomically(dir.path() / "no" / "such" / "file", Bytes("x")))
      << "a missing folder is an error";
  {
    AtomicFileWriter w;
    ASSERT_FALSE(w.Open(target));
    ASSERT_FALSE(w.Write("half", 4));
    // the writer goes away without Commit, as when the caller's own encoding fails
  }
  EXPECT_EQ(test::ReadFile(target), "precious");
  EXPECT_EQ(FilesIn(dir.path()), 1u);
}

TEST(AtomicFile, AFailedRenameKeepsTheOldFileAndReportsIt) {
  test::TempDir dir;
  auto target = dir.path() / "slot";
  std::filesystem::create_directory(target);  // a non-empty folder cannot be renamed over
  std::ofstream(target / "inside") << "x";
  EXPECT_TRUE(WriteFileAtomically(target, Bytes("data")));
  EXPECT_TRUE(std::filesystem::is_directory(target));
  EXPECT_EQ(FilesIn(dir.path()), 1u) << "the temporary must be removed";
}

// Lowers the file-size limit for its lifetime so that writes past it fail as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit lowered = previous_;
    lowered.rlim_cur = bytes;
    set_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  bool set() const { return set_; }

 private:
  rlimit previous_{};
  void (*previousHandler_)(int) = nullptr;
  bool set_ = false;
};

TEST(AtomicFile, AFailedWriteKeepsTheOldFileAndRefusesTheCommit) {
  test::TempDir dir;
  auto target = dir.path() / "save.dat";
  ASSERT_FALSE(WriteFileAtomically(target, Bytes("precious")));
  std::string big(64 * 1024, 'x');
  {
    FileSizeLimit limit(4096);
    ASSERT_TRUE(limit.set());
    AtomicFileWriter w;
    ASSERT_FALSE(w.Open(target));
    EXPECT_TRUE(w.Write(big.data(), big.size())) << "the write past the limit fails";
    EXPECT_TRUE(w.Write("y", 1)) << "a writer stays failed";
    EXPECT_TRUE(w.Commit()) << "a failed write is never committed";
  }
  EXPECT_EQ(test::ReadFile(target), "precious");
  EXPECT_EQ(FilesIn(dir.path()), 1u) << "the temporary must be removed";
}

}  // namespace
}  // namespace bw
