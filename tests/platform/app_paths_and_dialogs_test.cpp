#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/dialog/scripted_dialog_host.h"
#include "host/host_path.h"
#include "platform/app_paths.h"
#include "platform/file_dialogs.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

// "表" is 0x95 0x5C: its trail byte looks like a backslash.
const std::string kHyo = "\x95\x5C";

TEST(BuildAbsolutePath, StepsJoinsAndRefuses) {
  struct Case {
    std::string path;
    std::string base;
    int result;
    std::string expected;
  };
  const Case cases[] = {
      {"../a.txt", "D:\\GAME\\", kPathJoined, "D:\\a.txt"},
      {"../../a.txt", "D:\\GAME\\", kPathBuildFailed, ""},
      {"..x/y", "D:\\GAME\\", kPathJoined, "D:\\GAME\\..x\\y"},
      {"a", "", kPathBuildFailed, ""},
      {"C:/abs/x", "D:\\GAME\\", kPathWasAbsolute, "C:/abs/x"},
      {"../../x", "\\\\host\\share\\", kPathBuildFailed, ""},
      // Trail bytes are never separators: not cut by "..", not turned from '/'.
      {"../b", "D:\\" + kHyo + "\\", kPathJoined, "D:\\b"},
      {kHyo + "/a", "D:\\", kPathJoined, "D:\\" + kHyo + "\\a"},
      {"\x95/x", "D:\\", kPathJoined, "D:\\\x95/x"},
  };
  for (const Case& c : cases) {
    std::string out = "unchanged";
    EXPECT_EQ(BuildAbsolutePath(out, c.path, &c.base), c.result) << c.path << " on " << c.base;
    if (c.result != kPathBuildFailed) {
      EXPECT_EQ(out, c.expected) << c.path << " on " << c.base;
    } else {
      EXPECT_EQ(out, "unchanged") << c.path;
    }
  }
  std::string out;
  std::string base = "D:\\";
  EXPECT_EQ(BuildAbsolutePath(out, std::string(kMaxPath, 'a'), &base), kPathBuildFailed);
  EXPECT_EQ(BuildAbsolutePath(out, std::string(kMaxPath - 4, 'a'), &base), kPathJoined);
}

std::string Repeat(const std::string& text, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out += text;
  return out;
}

host::FileChoice Chosen(std::string path, uint32_t filterIndex = 1) {
  return {true, std::move(path), filterIndex};
}

// A temporary application folder and a scripted dialog host.
class FileDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(host::LinuxPathToEnginePath(dir_.path().string() + "/", folder_), host::kPathOk);
    ASSERT_EQ(RebaseAppFolder(folder_), 0);
  }

  test::TempDir dir_;
  std::string folder_;
  host::ScriptedDialogHost host_;
  ScopedGlobal<host::DialogHost> use_{&host_};
  FileDialogs dialogs_;
  char path_[kDialogPathSize] = "old.dat";
  char title_[kDialogFileTitleSize] = "old title";
};

TEST_F(FileDialogsTest, CancelledOrUnfittingChoicesLeaveThePathAndFilterIndex) {
  host_.QueueFileChoice(Chosen("Z:\\a.txt", 3));
  ASSERT_TRUE(dialogs_.OpenFile({}, "Open", path_, title_, nullptr, nullptr, false));
  std::strcpy(path_, "old.dat");

  // Nothing queued: the host cancels.
  EXPECT_FALSE(dialogs_.SaveFile({}, "Save", path_, title_, nullptr, nullptr, nullptr));
  EXPECT_STREQ(path_, "old.dat");
  EXPECT_STREQ(title_, "") << "the title is emptied whatever the answer";
  EXPECT_EQ(dialogs_.GetFilterIndex(), 3u);

  // A cut path would name another file, so one too long for the buffer is refused, as is none.
  host_.QueueFileChoice(Chosen("Z:\\" + std::string(kDialogPathSize - 3, 'a'), 1));
  EXPECT_FALSE(dialogs_.OpenFile({}, "Open", path_, title_, nullptr, nullptr, false));
  EXPECT_STREQ(path_, "old.dat");
  host_.QueueFileChoice(Chosen("", 1));
  EXPECT_FALSE(dialogs_.OpenFile({}, "Open", path_, title_, nullptr, nullptr, false));
  EXPECT_EQ(dialogs_.GetFilterIndex(), 3u);

  // A 256-byte name fits the path but not the title, which is cut before the split character.
  const std::string leaf = Repeat(kHyo, 128);
  host_.QueueFileChoice(Chosen("Z:\\" + leaf, 1));
  ASSERT_TRUE(dialogs_.OpenFile({}, "Open", path_, title_, nullptr, nullptr, false));
  EXPECT_EQ(std::string(path_), "Z:\\" + leaf);
  EXPECT_EQ(std::string(title_), Repeat(kHyo, 127));

  std::strcpy(path_, "old.dat");
  ScopedGlobal<host::DialogHost> none(nullptr);
  EXPECT_FALSE(dialogs_.OpenFile({}, "Open", path_, title_, nullptr, nullptr, false));
  EXPECT_STREQ(path_, "old.dat");
  EXPECT_FALSE(dialogs_.OpenFile({}, "Open", nullptr, title_, nullptr, nullptr, false));
}

}  // namespace
}  // namespace bw
