// The file layer: files loaded and streamed through the file-system manager, folder lists, and
// the utilities over both.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host/file/file_system.h"
#include "host/host_path.h"
#include "host/trust.h"
#include "platform/app_paths.h"
#include "platform/command_line.h"
#include "platform/file_drop_target.h"
#include "platform/memory_stream.h"
#include "resource/files/file.h"
#include "resource/files/file_list.h"
#include "resource/files/file_utils.h"
#include "resource/packs/file_system_manager.h"
#include "resource/packs/vfa_decoder.h"
#include "support/failing_allocation.h"
#include "support/image_test_rig.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

// "セーブ", "日記" (in UTF-8 and CP932) and "表", whose trail byte is '\'.
const std::string kSave = "\x83\x5A\x81\x5B\x83\x75";
const std::string kDiaryUtf8 = "\xe6\x97\xa5\xe8\xa8\x98";
const std::string kDiary = "\x93\xfa\x8b\x4c";
const std::string kHyo = "\x95\x5c";

// A temporary application folder and a published file-system manager.
using FileTest = test::GameFolderTest;

TEST_F(FileTest, WithoutAManagerNothingOpens) {
  File file;
  ScopedGlobal<FileSystemManager> none(nullptr);
  EXPECT_EQ(file.Load("A.TXT"), kFileNoManager);
  EXPECT_EQ(file.OpenStream("A.TXT"), kFileNoManager);
  EXPECT_EQ(file.LoadPackMember(0, 0, nullptr), kFileNoManager);
}

TEST_F(FileTest, AStreamThatCannotBeMadeAnswersOutOfMemory) {
  dir_.WriteFile("a.txt", "AB");
  File file;
  test::FailingAllocations failing;
  EXPECT_EQ(file.Load("A.TXT"), kFileOutOfMemory) << "the loaded content's stream";
  EXPECT_EQ(file.OpenStream("A.TXT"), kFileOutOfMemory) << "the loose file's stream";
  EXPECT_EQ(file.GetData(), nullptr);
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
  fs::path extracted;
  {
    File file;
    auto extract = [&](const char* name) {
      std::string linuxPath;
      EXPECT_EQ(file.ExtractToTempFile(name), kFileOk);
      EXPECT_EQ(host::EnginePathToLinuxPath(file.GetPath(), linuxPath), host::kPathOk);
      extracted = linuxPath;
    };
    extract("MOVIE.DAT");
    EXPECT_EQ(std::tuple(file.GetSize(), file.GetData()), std::tuple(11u, nullptr));
    std::string leaf = GetPathLeafName(file.GetPath(), false);
    EXPECT_EQ(leaf.rfind("QZF", 0), 0u) << leaf;
    EXPECT_EQ(extracted.parent_path(), fs::temp_directory_path());
    EXPECT_EQ(test::ReadFile(extracted), "movie bytes");
    file.Close();
    EXPECT_FALSE(fs::exists(extracted));

    extract("movie.dat");
    EXPECT_EQ(file.ExtractToTempFile("none.dat"), static_cast<uint32_t>(kFsNotFound));
    EXPECT_FALSE(fs::exists(extracted));  // the next open closed the extract
    extract("movie.dat");
  }
  EXPECT_FALSE(fs::exists(extracted));  // and so does destruction
}

TEST(WildcardTest, MatchesAsFindFirstFileDoes) {
  struct Case {
    std::string pattern;
    std::vector<std::string> matches;
    std::vector<std::string> misses;
  };
  const Case cases[] = {
      {"*.*", {"readme", "a.b.c", ".hidden"}, {}},
      {"*.txt", {"A.TXT", "a.b.txt"}, {"a.txt.bak", "txt", "a.txt2"}},
      {"a?c", {"abc", "ABC"}, {"ac", "a.c"}},
      {"sav??.dat", {"SAV01.DAT", "sav1.dat", "sav.dat"}, {"sav123.dat"}},
      {"*.", {"readme"}, {"read.me"}},
      {"a.*", {"a", "a.x"}, {"ab"}},
      // Double-byte characters are one character each, and their trail bytes are neither
      // wildcards nor letters.
      {"?.txt", {kHyo + ".txt"}, {kDiary + ".txt"}},
      {"\x93\xfa*", {kDiary + ".log"}, {"\x93\xda"}},
      {"\x82\x61", {"\x82\x61"}, {"\x82\x41"}},
  };
  for (const Case& c : cases) {
    for (const std::string& name : c.matches) {
      EXPECT_TRUE(MatchesWildcard(c.pattern, name)) << c.pattern << " " << name;
    }
    for (const std::string& name : c.misses) {
      EXPECT_FALSE(MatchesWildcard(c.pattern, name)) << c.pattern << " " << name;
    }
  }
}

std::vector<std::string> Names(const FileList& list) {
  std::vector<std::string> names;
  for (uint32_t i = 0; i < list.GetCount(); ++i) names.emplace_back(list.GetName(int32_t(i)));
  return names;
}

class FileListTest : public FileTest {
 protected:
  void SetUp() override {
    // A\B\c, A\d: the folder's entry, then its contents, then the files of the outer folder.
    dir_.WriteFile("A/B/c", "ccc");
    dir_.WriteFile("A/d", "dd");
  }

  FileList list_;
};

// One folder without recursion is the file natives' scan.
TEST_F(FileListTest, RecursionListsEachFolderBeforeItsContentsAndEntersNoLinkUp) {
  EXPECT_EQ(list_.Scan("A", nullptr, kScanFoldersAndFiles, true), 3u);
  EXPECT_EQ(Names(list_), (std::vector<std::string>{"B\\", "B\\c", "d"}));
  EXPECT_EQ(list_.Scan("a\\", "*.*", kScanFilesOnly, true), 2u);
  EXPECT_EQ(Names(list_), (std::vector<std::string>{"B\\c", "d"}));
  EXPECT_EQ(list_.Scan("A", nullptr, kScanFoldersOnly, true), 1u);
  EXPECT_EQ(Names(list_), (std::vector<std::string>{"B\\"}));

  // A link back up the tree is listed but not entered.
  fs::create_directory_symlink(dir_.path() / "A", dir_.path() / "A/B/up");
  dir_.WriteFile("A/B/e", "");
  EXPECT_EQ(list_.Scan("A", nullptr, kScanFoldersAndFiles, true), 5u);
  EXPECT_EQ(Names(list_), (std::vector<std::string>{"B\\", "B\\up\\", "B\\c", "B\\e", "d"}));
}

TEST_F(FileListTest, NamesComeInCaseInsensitiveOrderInCp932) {
  for (const char* name : {"b.txt", "A.TXT", "_x.txt", "C.txt", "a1.txt", "skip.log"}) {
    dir_.WriteFile(std::string("S/") + name, "");
  }
  dir_.WriteFile("S/" + kDiaryUtf8 + ".txt", "");
  dir_.WriteFile("S/\xf0\x9f\x98\x80.txt", "");  // no CP932 form: left out
  dir_.WriteFile("S/sub/deep.TXT", "");
  dir_.WriteFile("S/sub/deep.log", "");
  EXPECT_EQ(list_.Scan("s", "*.txt", kScanFoldersAndFiles, true), 8u);
  EXPECT_EQ(Names(list_), (std::vector<std::string>{"sub\\", "sub\\deep.TXT", "A.TXT", "a1.txt",
                                                    "b.txt", "C.txt", "_x.txt", kDiary + ".txt"}));
}

using FileUtilsTest = FileTest;

// A pack member is a file to the questions: its full size, whether the pack keeps its entry
// table or not and whether it is stored packed; a loose file of the same name comes first.
TEST_F(FileUtilsTest, SizesCountPackMembersAsFiles) {
  const std::vector<uint8_t> text(1000, 'a');
  const std::vector<uint8_t> mixed = {3, 1, 4, 1, 5, 9, 2};
  for (bool tables : {false, true}) {
    EXPECT_EQ(VfaDecoderAssist(kVfaAssistTables, tables, 0), 0);
    tools::VfaPackOptions options;
    options.pack = true;
    ASSERT_TRUE(game_.WritePack("DATA.VFA", {{"a.txt", text}, {"sub\\b.bin", mixed}}, options));
    game_.manager().UnmountAll();
    ASSERT_EQ(game_.manager().Mount("DATA.VFA", 1, false, true), 0);
    EXPECT_EQ(GetFileSizeByName("A.TXT"), 1000) << "packed, tables " << tables;
    EXPECT_EQ(GetFileSizeByName("sub\\b.bin"), 7) << "tables " << tables;
    EXPECT_EQ(GetFileSizeByName("c.bin"), kNoFileSize);
    EXPECT_TRUE(FileExists("a.txt"));
  }
  EXPECT_EQ(VfaDecoderAssist(kVfaAssistTables, 0, 0), 0);
  dir_.WriteFile("a.txt", "loose");
  EXPECT_EQ(GetFileSizeByName("a.txt"), 5);
  {
    ScopedGlobal<FileSystemManager> none(nullptr);
    EXPECT_EQ(GetFileSizeByName("a.txt"), kNoFileSize);
  }
}

TEST_F(FileUtilsTest, CopyIfNewerCopiesOnlyWhenTheModeAllowsOverReadOnlyFilesToo) {
  fs::path source = dir_.WriteFile("src.dat", "new bytes");
  fs::path destination = dir_.WriteFile("dst.dat", "old");
  const timespec same{2000000000, 0}, later{2000000000, 500};
  ASSERT_TRUE(host::SetFileTimes(source, same, same));
  ASSERT_TRUE(host::SetFileTimes(destination, same, same));

  EXPECT_EQ(CopyFileIfNewer("dst.dat", "src.dat", kCopyIfNewer), kCopyNotNewer);
  EXPECT_EQ(CopyFileIfNewer("dst.dat", "src.dat", kCopyUnlessExists), kCopyRefused);
  EXPECT_EQ(test::ReadFile(destination), "old");
  EXPECT_EQ(CopyFileIfNewer("dst.dat", "src.dat", kCopyAlways), kCopyDone);
  EXPECT_EQ(test::ReadFile(destination), "new bytes");

  // A newer source is copied with its time, so the next call finds nothing newer.
  fs::path newer = dir_.WriteFile("newer.dat", "newest");
  ASSERT_TRUE(host::SetFileTimes(newer, later, later));
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

  // A read-only destination is replaced.
  fs::path locked = dir_.WriteFile("locked.dat", "stale");
  fs::permissions(locked, fs::perms::owner_read);
  EXPECT_EQ(CopyFileIfNewer("locked.dat", "src.dat", kCopyAlways), kCopyDone);
  EXPECT_EQ(test::ReadFile(locked), "new bytes");
  EXPECT_NE(fs::status(locked).permissions() & fs::perms::owner_write, fs::perms::none);
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

// Opening a file runs its program: a game not trusted opens no file, and the refusal is told.
TEST_F(FileUtilsTest, AnUntrustedGameOpensNoFileWithTheDesktop) {
  const fs::path script = dir_.WriteFile("RUN.desktop", "[Desktop Entry]\nExec=true\n");
  std::vector<std::string> told;
  host::SetTrustNoticeSink([&](const std::string& text) { told.push_back(text); });
  host::ForgetTrustNotices();
  told.clear();
  EXPECT_EQ(OpenFolderInExplorer("RUN.desktop"), kOpenFolderFailed);
  host::SetTrustNoticeSink(nullptr);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("xdg-open " + script.string()), std::string::npos) << told[0];
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

  // What cannot start fails; a name found through PATH is the file natives' test.
  for (const char* bad : {"no-such-program", "/bin/sh\\ -c", "   "})
    EXPECT_EQ(RunProcessAndWait(bad, kWaitForExit, 0, 0), kRunFailed) << bad;
  EXPECT_EQ(RunProcessAndWait(nullptr, kWaitForExit, 0, 0), kRunFailed);

  // A line past the buffer is refused, not cut.
  out = dir_.path() / "long.txt";
  line = "/bin/sh -c \"printf x > '" + out.string() + "'\"";
  line.append(kMaxPath - 1 - line.size(), ' ');
  EXPECT_EQ(RunProcessAndWait((line + " ").c_str(), kWaitForExit, 0, 0), kRunFailed);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_EQ(RunProcessAndWait(line.c_str(), kWaitForExit, 0, 0), kRunDone);
  EXPECT_TRUE(fs::exists(out));
}

// A drop refused while switched off, and one taken after a clear, are the file natives' test.
TEST(FileDropTargetTest, TakesOneDropAtATime) {
  FileDropTarget target;
  target.SetEnabled({}, true);

  host::HDROP first = host::CreateDrop(
      {"/tmp/a.txt", "/home/u/\xe3\x82\xbb\xe3\x83\xbc\xe3\x83\x96", "/tmp/\xf0\x9f\x98\x80.txt"});
  ASSERT_EQ(target.OnDropFiles(first), kDropTaken);
  EXPECT_EQ(host::DragQueryFileCount(first), 0u);
  ASSERT_EQ(target.GetCount(), 2u);  // the name with no CP932 form is left out
  EXPECT_EQ(std::tuple(target.GetFile(0), target.GetFile(1), target.GetFile(2)),
            std::tuple("Z:\\tmp\\a.txt", "Z:\\home\\u\\" + kSave, std::nullopt));

  host::HDROP second = host::CreateDrop({"/tmp/b.txt"});
  EXPECT_EQ(target.OnDropFiles(second), kDropRefused);
  EXPECT_EQ(host::DragQueryFileCount(second), 0u) << "a refused drop is finished too";
  EXPECT_EQ(target.GetCount(), 2u);
}

}  // namespace
}  // namespace bw
