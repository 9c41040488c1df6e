#include "resource/files/file_list.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/host_path.h"
#include "platform/app_paths.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

// "日記" in UTF-8 and CP932, and "表", whose trail byte is '\'.
const std::string kDiaryUtf8 = "\xe6\x97\xa5\xe8\xa8\x98";
const std::string kDiary = "\x93\xfa\x8b\x4c";
const std::string kHyo = "\x95\x5c";

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
      {"ab??", {"ab", "abc", "abcd"}, {"abcde", "ab.c"}},
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

class FileListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string folder;
    ASSERT_EQ(host::LinuxPathToEnginePath(dir_.path().string() + "/", folder), host::kPathOk);
    ASSERT_EQ(RebaseAppFolder(folder), 0);
    // A\B\c, A\d: the folder's entry, then its contents, then the files of the outer folder.
    dir_.WriteFile("A/B/c", "ccc");
    dir_.WriteFile("A/d", "dd");
  }

  test::TempDir dir_;
  FileList list_;
};

TEST_F(FileListTest, RecursionListsEachFolderBeforeItsContents) {
  EXPECT_EQ(list_.Scan("A", nullptr, kScanFoldersAndFiles, true), 3u);
  EXPECT_EQ(Names(list_), (std::vector<std::string>{"B\\", "B\\c", "d"}));
  EXPECT_EQ(list_.Scan("a\\", "*.*", kScanFilesOnly, true), 2u);
  EXPECT_EQ(Names(list_), (std::vector<std::string>{"B\\c", "d"}));
  EXPECT_EQ(list_.Scan("A", nullptr, kScanFoldersOnly, true), 1u);
  EXPECT_EQ(Names(list_), (std::vector<std::string>{"B\\"}));
  EXPECT_EQ(list_.Scan("A", nullptr, kScanFoldersAndFiles, false), 2u);
  EXPECT_EQ(Names(list_), (std::vector<std::string>{"B\\", "d"}));
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

TEST_F(FileListTest, ALinkBackUpTheTreeIsListedButNotEntered) {
  fs::create_directory_symlink(dir_.path() / "A", dir_.path() / "A/B/up");
  dir_.WriteFile("A/B/e", "");
  EXPECT_EQ(list_.Scan("A", nullptr, kScanFoldersAndFiles, true), 5u);
  EXPECT_EQ(Names(list_), (std::vector<std::string>{"B\\", "B\\up\\", "B\\c", "B\\e", "d"}));
}

}  // namespace
}  // namespace bw
