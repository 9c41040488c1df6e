#include "resource/files/file_utils.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host/clock.h"
#include "host/host_path.h"
#include "platform/app_paths.h"
#include "platform/command_line.h"
#include "platform/file_drop_target.h"
#include "resource/packs/vfa_decoder.h"
#include "support/game_folder.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

// "セーブ" and "表" in CP932; 表's trail byte is '\'.
const std::string kSave = "\x83\x5A\x81\x5B\x83\x75";
const std::string kHyo = "\x95\x5C";

void SetTime(const fs::path& path, time_t seconds, long nanoseconds = 0) {
  const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// A temporary application folder and a published file-system manager.
class FileUtilsTest : public ::testing::Test {
 protected:
  test::GameFolder game_;
  const test::TempDir& dir_ = game_.dir();
};

// A pack member is a file to the questions: its full size, whether the pack keeps its entry
// table or not and whether it is stored packed; a loose file of the same name comes first.
TEST_F(FileUtilsTest, SizesCountPackMembersAsFiles) {
  const std::vector<uint8_t> text(1000, 'a');
  const std::vector<uint8_t> mixed = {3, 1, 4, 1, 5, 9, 2};
  for (bool tables : {false, true}) {
    VfaDecoderAssist(kVfaAssistTables, tables, 0);
    tools::VfaPackOptions options;
    options.pack = true;
    std::vector<uint8_t> pack;
    std::string error;
    ASSERT_TRUE(tools::BuildVfaPack("DATA.VFA", {{"a.txt", text}, {"sub\\b.bin", mixed}}, options,
                                    pack, &error))
        << error;
    dir_.WriteFile("DATA.VFA", std::string(pack.begin(), pack.end()));
    game_.manager().UnmountAll();
    ASSERT_EQ(game_.manager().Mount("DATA.VFA", 1, false, true), 0);
    EXPECT_EQ(GetFileSizeByName("A.TXT"), 1000) << "packed, tables " << tables;
    EXPECT_EQ(GetFileSizeByName("sub\\b.bin"), 7) << "tables " << tables;
    EXPECT_EQ(GetFileSizeByName("c.bin"), kNoFileSize);
    EXPECT_TRUE(FileExists("a.txt"));
  }
  VfaDecoderAssist(kVfaAssistTables, 0, 0);
  dir_.WriteFile("a.txt", "loose");
  EXPECT_EQ(GetFileSizeByName("a.txt"), 5);
  {
    ScopedGlobal<FileSystemManager> none(nullptr);
    EXPECT_EQ(GetFileSizeByName("a.txt"), kNoFileSize);
  }
}

TEST_F(FileUtilsTest, CopyIfNewerCopiesOnlyWhenTheModeAllows) {
  fs::path source = dir_.WriteFile("src.dat", "new bytes");
  fs::path destination = dir_.WriteFile("dst.dat", "old");
  SetTime(source, 2000000000);
  SetTime(destination, 2000000000);

  EXPECT_EQ(CopyFileIfNewer("dst.dat", "src.dat", kCopyIfNewer), kCopyNotNewer);
  EXPECT_EQ(CopyFileIfNewer("dst.dat", "src.dat", kCopyUnlessExists), kCopyRefused);
  EXPECT_EQ(test::ReadFile(destination), "old");
  EXPECT_EQ(CopyFileIfNewer("dst.dat", "src.dat", kCopyAlways), kCopyDone);
  EXPECT_EQ(test::ReadFile(destination), "new bytes");

  // A newer source is copied with its time, so the next call finds nothing newer.
  fs::path newer = dir_.WriteFile("newer.dat", "newest");
  SetTime(newer, 2000000000, 500);
  EXPECT_EQ(CopyFileIfNewer("DST.DAT", "Newer.dat", 7), kCopyDone);
  EXPECT_EQ(test::ReadFile(destination), "newest");
  EXPECT_EQ(fs::last_write_time(destination), fs::last_write_time(newer));
  EXPECT_EQ(CopyFileIfNewer("dst.dat", "newer.dat", kCopyIfNewer), kCopyNotNewer);

  // Mode 2 copies when there is nothing to keep; an absent source copies nothing.
  EXPECT_EQ(CopyFileIfNewer((kSave + ".dat").c_str(), "src.dat", kCopyUnlessExists), kCopyDone);
  EXPECT_EQ(test::ReadFile(dir_.path() / "\xe3\x82\xbb\xe3\x83\xbc\xe3\x83\x96.dat"), "new bytes");
  EXPECT_EQ(CopyFileIfNewer("dst.dat", "gone.dat", kCopyAlways), kCopyFailed);
  EXPECT_EQ(CopyFileIfNewer("no folder\\x.dat", "src.dat", kCopyAlways), kCopyFailed);
  EXPECT_EQ(test::ReadFile(destination), "newest");
  EXPECT_EQ(CopyFileIfNewer("..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\x", "src.dat", 1),
            kCopyRefused);
  EXPECT_EQ(CopyFileIfNewer("dst.dat", nullptr, kCopyAlways), kCopyRefused);
}

TEST_F(FileUtilsTest, CopyReplacesAReadOnlyDestination) {
  dir_.WriteFile("src.dat", "fresh");
  fs::path destination = dir_.WriteFile("locked.dat", "stale");
  fs::permissions(destination, fs::perms::owner_read);
  EXPECT_EQ(CopyFileIfNewer("locked.dat", "src.dat", kCopyAlways), kCopyDone);
  EXPECT_EQ(test::ReadFile(destination), "fresh");
  EXPECT_NE(fs::status(destination).permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST(CommandLineTest, SplitsAsWindowsDoes) {
  struct Case {
    std::string line;
    std::vector<std::string> words;
  };
  const Case cases[] = {
      {"", {}},
      {"  prog  a\tb  ", {"prog", "a", "b"}},
      // The program takes no backslash rules; a quoted one may hold blanks.
      {"\"C:\\Program Files\\a b.exe\" x", {"C:\\Program Files\\a b.exe", "x"}},
      {"C:\\dir\\\" x", {"C:\\dir\\\"", "x"}},
      {"p \"a b\" c\"d e\"f", {"p", "a b", "cd ef"}},
      {"p a\\\\\\\"b", {"p", "a\\\"b"}},     // 3 backslashes and a quote: one and a quote
      {"p \"a\\\\\" b", {"p", "a\\", "b"}},  // 2 and a quote: one, and the quote closes
      {"p a\\b\\\\c", {"p", "a\\b\\\\c"}},   // no quote after them: as they stand
      {"p \"a\"\"b\" \"\"", {"p", "a\"b", ""}},
      {"p \"open to the end", {"p", "open to the end"}},
      // A trail byte that looks like a backslash escapes nothing.
      {"p " + kHyo + "\" x\"", {"p", kHyo + " x"}},
      {"\"" + kHyo + "\" " + kHyo, {kHyo, kHyo}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.line), c.words) << c.line;
  }
}

TEST(CommandLineTest, StartsTheProgramItNamesWithItsWords) {
  host::Process process;
  ASSERT_TRUE(StartCommandLine(process, "sh -c \"exit $#\" zero a \"b c\""));  // found through PATH
  EXPECT_EQ(process.Wait(host::kInfinite), host::kWaitObject0);
  EXPECT_EQ(process.ExitStatus(), 2u) << "two words behind the script";

  host::Process missing;
  EXPECT_FALSE(StartCommandLine(missing, "no-such-program-here x"));
  EXPECT_FALSE(StartCommandLine(missing, "/bin/sh\\ -c"));
  EXPECT_FALSE(StartCommandLine(missing, "   "));
  EXPECT_FALSE(missing.Started());
}

TEST_F(FileUtilsTest, RunProcessWaitsAndFindsProgramsInTheAppFolder) {
  fs::path out = dir_.path() / "out.txt";
  std::string line = "/bin/sh -c \"printf ran > '" + out.string() + "'\"";
  ASSERT_EQ(RunProcessAndWait(line.c_str(), kWaitForExit, 10, 20), kRunDone);
  EXPECT_EQ(test::ReadFile(out), "ran");

  // A bare name is looked for in the application folder first, its case ignored.
  fs::path tool = dir_.WriteFile("tool.sh", "#!/bin/sh\nprintf '%s|%s' \"$1\" \"$2\" > \"$3\"\n");
  fs::permissions(tool, fs::perms::owner_all);
  line = "TOOL.SH \"a b\" " + kSave + " " + out.string();
  ASSERT_EQ(RunProcessAndWait(line.c_str(), kWaitForExit, 0, 0), kRunDone);
  EXPECT_EQ(test::ReadFile(out), "a b|\xe3\x82\xbb\xe3\x83\xbc\xe3\x83\x96");

  EXPECT_EQ(RunProcessAndWait("no-such-program", kWaitForExit, 0, 0), kRunFailed);
  EXPECT_EQ(RunProcessAndWait(nullptr, kWaitForExit, 0, 0), kRunFailed);
}

TEST_F(FileUtilsTest, RunProcessRefusesLinesPastItsBuffer) {
  fs::path out = dir_.path() / "long.txt";
  std::string line = "/bin/sh -c \"printf x > '" + out.string() + "'\"";
  line.append(kMaxPath - 1 - line.size(), ' ');
  EXPECT_EQ(RunProcessAndWait((line + " ").c_str(), kWaitForExit, 0, 0), kRunFailed);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_EQ(RunProcessAndWait(line.c_str(), kWaitForExit, 0, 0), kRunDone);
  EXPECT_TRUE(fs::exists(out));
}

TEST(FileDropTargetTest, TakesOneDropAtATime) {
  FileDropTarget target;
  host::HDROP early = host::CreateDrop({"/tmp/a.txt"});
  EXPECT_EQ(target.OnDropFiles(early), kDropRefused);  // not enabled yet
  EXPECT_EQ(host::DragQueryFileCount(early), 0u);      // but finished
  target.SetEnabled({}, true);

  host::HDROP first = host::CreateDrop(
      {"/tmp/a.txt", "/home/u/\xe3\x82\xbb\xe3\x83\xbc\xe3\x83\x96", "/tmp/\xf0\x9f\x98\x80.txt"});
  ASSERT_EQ(target.OnDropFiles(first), kDropTaken);
  EXPECT_EQ(host::DragQueryFileCount(first), 0u);
  ASSERT_EQ(target.GetCount(), 2u);  // the name with no CP932 form is left out
  EXPECT_EQ(target.GetFile(0), "Z:\\tmp\\a.txt");
  EXPECT_EQ(target.GetFile(1), "Z:\\home\\u\\" + kSave);
  EXPECT_EQ(target.GetFile(2), std::nullopt);

  host::HDROP second = host::CreateDrop({"/tmp/b.txt"});
  EXPECT_EQ(target.OnDropFiles(second), kDropRefused);
  EXPECT_EQ(host::DragQueryFileCount(second), 0u);
  EXPECT_EQ(target.GetCount(), 2u);

  target.Clear();
  ASSERT_EQ(target.OnDropFiles(host::CreateDrop({"/tmp/b.txt"})), kDropTaken);
  EXPECT_EQ(target.GetFile(0), "Z:\\tmp\\b.txt");
}

}  // namespace
}  // namespace bw
