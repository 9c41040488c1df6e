#include "app/platform/file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/platform/memory_stream.h"
#include "common/sjis.h"
#include "host/host_path.h"
#include "resource/packs/app_paths.h"
#include "resource/packs/file_system_manager.h"
#include "support/game_folder.h"

namespace bw {
namespace {

// A temporary application folder and a published file-system manager.
class FileTest : public ::testing::Test {
 protected:
  test::GameFolder game_;
  const test::TempDir& dir_ = game_.dir();
  const std::string& folder_ = game_.folder();
};

TEST_F(FileTest, ClosedFileAnswersItsCodes) {
  File file;
  char byte;
  EXPECT_EQ(file.Seek(0), kFileNotOpen);
  EXPECT_EQ(file.Skip(1), kFileNotOpen);
  EXPECT_EQ(file.Read(&byte, 1), 0u);
  EXPECT_EQ(file.Tell(), kFileNoPosition);
  EXPECT_FALSE(file.IsEof());
  EXPECT_EQ(file.GetData(), nullptr);
  EXPECT_EQ(file.DetachData(), nullptr);
  EXPECT_EQ(file.ReadLine(nullptr, 0), 0);
  file.Close();
  file.Close();

  ScopedGlobal<FileSystemManager> none(nullptr);
  EXPECT_EQ(file.Load("A.TXT"), kFileNoManager);
  EXPECT_EQ(file.OpenStream("A.TXT"), kFileNoManager);
  EXPECT_EQ(file.LoadPackMember(0, 0, nullptr), kFileNoManager);
}

TEST_F(FileTest, DiskFilesCreateWriteAndSeek) {
  File file;
  ASSERT_EQ(file.Create("./log.txt", false), kFileOk);
  EXPECT_EQ(std::string(file.GetPath()), folder_ + "log.txt");
  EXPECT_EQ(file.Write("0123456789", 10), 10u);
  EXPECT_EQ(file.Write(nullptr, 10), 0u);
  EXPECT_EQ(file.WriteFormat("<%s %03d>", "n", 7), 7u);
  file.Close();
  EXPECT_EQ(std::string(file.GetPath()), "");
  EXPECT_EQ(test::ReadFile(dir_.path() / "log.txt"), "0123456789<n 007>");

  // Without overwrite an existing file stays as it was.
  EXPECT_EQ(file.Create("LOG.TXT", false), kFileNotOpen);
  EXPECT_EQ(std::string(file.GetPath()), "");
  EXPECT_EQ(test::ReadFile(dir_.path() / "log.txt"), "0123456789<n 007>");
  EXPECT_EQ(file.Create("no such folder\\x.txt", true), kFileNotOpen);
  EXPECT_EQ(file.Create("../../../../../../../../../../../../x", true), kFileBadPath);

  ASSERT_EQ(file.OpenReadWrite("Log.Txt"), kFileOk);
  EXPECT_EQ(file.GetSize(), 17u);
  EXPECT_EQ(file.Seek(4), kFileOk);
  EXPECT_EQ(file.Tell(), 4u);
  EXPECT_EQ(file.Skip(-2), kFileOk);
  EXPECT_EQ(file.Tell(), 2u);
  EXPECT_EQ(file.Skip(-10), kFileSeekFailed);
  EXPECT_EQ(file.Seek(-1), kFileSeekFailed);
  EXPECT_EQ(file.SeekFromEnd(9), kFileOk);
  char tail[9];
  EXPECT_EQ(file.Read(tail, 9), 9u);
  EXPECT_EQ(std::string(tail, 9), "89<n 007>");
  EXPECT_TRUE(file.IsEof());
  EXPECT_EQ(file.SeekFromEnd(0), kFileOk);
  EXPECT_EQ(file.Write("!", 1), 1u);
  file.Close();
  EXPECT_EQ(test::ReadFile(dir_.path() / "log.txt"), "0123456789<n 007>!");
  EXPECT_EQ(file.OpenReadWrite("missing.txt"), kFileNotOpen);
  EXPECT_EQ(std::string(file.GetPath()), "");
}

TEST_F(FileTest, WriteFormatStopsAt511BytesOnACharacterBoundary) {
  File file;
  ASSERT_EQ(file.Create("fmt.txt", true), kFileOk);
  std::string ascii(600, 'a');
  EXPECT_EQ(file.WriteFormat("%s", ascii.c_str()), kWriteFormatMax);
  // 510 single bytes then a two-byte character: taking byte 511 would split it.
  std::string split = std::string(510, 'b') + "\x82\xA0" + "c";
  EXPECT_EQ(file.WriteFormat("%s", split.c_str()), 510u);
  EXPECT_EQ(file.WriteFormat(nullptr), 0u);
  file.Close();
  EXPECT_EQ(test::ReadFile(dir_.path() / "fmt.txt"), std::string(511, 'a') + std::string(510, 'b'));
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

TEST_F(FileTest, LoadedContentAndStreams) {
  dir_.WriteFile("data.bin", "0123456789");
  dir_.WriteFile("empty.bin", "");
  File file;
  ASSERT_EQ(file.Load("DATA.BIN"), kFileOk);
  EXPECT_EQ(std::string(file.GetPath()), folder_ + "DATA.BIN");
  EXPECT_EQ(file.GetSize(), 10u);
  ASSERT_NE(file.GetData(), nullptr);
  EXPECT_EQ(file.SeekFromEnd(3), 0u);
  char bytes[4] = {};
  EXPECT_EQ(file.Read(bytes, 4), 3u);
  EXPECT_STREQ(bytes, "789");
  void* block = file.DetachData();
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::string(static_cast<char*>(block), 10), "0123456789");
  FreeGlobalMemory(block);
  EXPECT_EQ(file.GetData(), nullptr);

  ASSERT_EQ(file.Load("empty.bin"), kFileOk);
  EXPECT_EQ(file.GetSize(), 0u);
  EXPECT_TRUE(file.IsEof());

  EXPECT_EQ(file.Load("missing.bin"), static_cast<uint32_t>(kFsNotFound));
  EXPECT_EQ(std::string(file.GetPath()), "");
  EXPECT_EQ(file.Load("../../../../../../../../../../../../x"), kFileBadPath);

  ASSERT_EQ(file.OpenStream("data.bin"), kFileOk);
  EXPECT_EQ(file.GetSize(), 10u);
  EXPECT_EQ(file.GetData(), nullptr);
  EXPECT_EQ(file.Seek(8), 0u);
  EXPECT_EQ(file.Read(bytes, 4), 2u);
  EXPECT_TRUE(file.IsEof());
  EXPECT_EQ(file.OpenStream("missing.bin"), static_cast<uint32_t>(kFsNotFound));
}

TEST_F(FileTest, PackMembersLoadByMountId) {
  ASSERT_TRUE(game_.MountPack("DATA.VFA", {{"sys\\a.txt", {'h', 'i'}}}, 12));

  File file;
  ASSERT_EQ(file.LoadPackMember(12, -1, "sys\\a.txt"), kFileOk);
  EXPECT_EQ(std::string(static_cast<char*>(file.GetData()), file.GetSize()), "hi");
  EXPECT_EQ(std::string(file.GetPath()), sjis::ToLower(folder_) + "sys\\a.txt");
  EXPECT_EQ(file.LoadPackMember(13, 0, nullptr), static_cast<uint32_t>(kArchiveNotFound));
  ASSERT_EQ(file.Load("SYS\\A.TXT"), kFileOk);
  EXPECT_EQ(file.GetSize(), 2u);
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
