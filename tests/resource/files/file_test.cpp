#include "resource/files/file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/sjis.h"
#include "host/host_path.h"
#include "platform/app_paths.h"
#include "platform/memory_stream.h"
#include "resource/packs/file_system_manager.h"
#include "support/game_folder.h"

namespace bw {
namespace {

// A temporary application folder and a published file-system manager.
class FileTest : public ::testing::Test {
 protected:
  test::GameFolder game_;
  const test::TempDir& dir_ = game_.dir();
};

TEST_F(FileTest, ClosedFileAnswersItsCodes) {
  File file;
  char byte;
  EXPECT_EQ(file.Seek(0), kFileNotOpen);
  EXPECT_EQ(file.Skip(1), kFileNotOpen);
  EXPECT_EQ(file.Read(&byte, 1), 0u);
  EXPECT_EQ(file.ReadLine(nullptr, 0), 0);
  file.Close();

  ScopedGlobal<FileSystemManager> none(nullptr);
  EXPECT_EQ(file.Load("A.TXT"), kFileNoManager);
  EXPECT_EQ(file.OpenStream("A.TXT"), kFileNoManager);
  EXPECT_EQ(file.LoadPackMember(0, 0, nullptr), kFileNoManager);
}

TEST_F(FileTest, ReadLineOnContentInMemory) {
  dir_.WriteFile("lines.txt", "AB\r\nC");
  dir_.WriteFile("eof.txt", "AB\x1A");
  dir_.WriteFile("cr.txt", "xyz\r");
  File file;
  ASSERT_EQ(file.Load("LINES.TXT"), kFileOk);
  EXPECT_EQ(file.ReadLine(nullptr, 0), 3);
  char line[8];
  EXPECT_EQ(file.ReadLine(line, 2), 0);  // "AB" does not fit in 2 bytes
  EXPECT_EQ(file.Tell(), 0u);
  EXPECT_EQ(file.ReadLine(line, 1), 0);
  EXPECT_EQ(file.ReadLine(line, 3), 4);
  EXPECT_STREQ(line, "AB");
  EXPECT_EQ(file.Tell(), 4u);
  EXPECT_EQ(file.ReadLine(nullptr, 0), 2);
  EXPECT_EQ(file.ReadLine(line, sizeof(line)), 1);
  EXPECT_STREQ(line, "C");
  EXPECT_TRUE(file.IsEof());

  // A Ctrl-Z that ends the last line is dropped.
  ASSERT_EQ(file.Load("eof.txt"), kFileOk);
  EXPECT_EQ(file.ReadLine(nullptr, 0), 3);
  EXPECT_EQ(file.ReadLine(line, 3), 3);
  EXPECT_STREQ(line, "AB");

  // A CR as the very last byte has no LF after it: it stays in the line, and nothing past the
  // content is read.
  ASSERT_EQ(file.Load("cr.txt"), kFileOk);
  EXPECT_EQ(file.Skip(3), 0u);
  EXPECT_EQ(file.ReadLine(nullptr, 0), 2);
  EXPECT_EQ(file.ReadLine(line, sizeof(line)), 1);
  EXPECT_STREQ(line, "\r");

  // Only content held whole in memory has lines.
  ASSERT_EQ(file.OpenStream("lines.txt"), kFileOk);
  EXPECT_EQ(file.ReadLine(line, sizeof(line)), 0);
}

TEST_F(FileTest, ExtractToTempFileDeletesItOnClose) {
  dir_.WriteFile("movie.dat", "movie bytes");
  std::filesystem::path extracted;
  {
    File file;
    ASSERT_EQ(file.ExtractToTempFile("MOVIE.DAT"), kFileOk);
    EXPECT_EQ(file.GetSize(), 11u);
    EXPECT_EQ(file.GetData(), nullptr);
    std::string leaf = GetPathLeafName(file.GetPath(), false);
    EXPECT_EQ(leaf.rfind("QZF", 0), 0u) << leaf;
    std::string linuxPath;
    ASSERT_EQ(host::EnginePathToLinuxPath(file.GetPath(), linuxPath), host::kPathOk);
    extracted = linuxPath;
    EXPECT_EQ(extracted.parent_path(), std::filesystem::temp_directory_path());
    EXPECT_EQ(test::ReadFile(extracted), "movie bytes");
    file.Close();
    EXPECT_FALSE(std::filesystem::exists(extracted));

    ASSERT_EQ(file.ExtractToTempFile("movie.dat"), kFileOk);
    ASSERT_EQ(host::EnginePathToLinuxPath(file.GetPath(), linuxPath), host::kPathOk);
    extracted = linuxPath;
    EXPECT_EQ(file.ExtractToTempFile("none.dat"), static_cast<uint32_t>(kFsNotFound));
    EXPECT_FALSE(std::filesystem::exists(extracted));  // the next open closed the extract
    ASSERT_EQ(file.ExtractToTempFile("movie.dat"), kFileOk);
    ASSERT_EQ(host::EnginePathToLinuxPath(file.GetPath(), linuxPath), host::kPathOk);
    extracted = linuxPath;
  }
  EXPECT_FALSE(std::filesystem::exists(extracted));  // and so does destruction
}

}  // namespace
}  // namespace bw
