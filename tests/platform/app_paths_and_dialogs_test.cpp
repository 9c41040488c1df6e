#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/dialog/scripted_dialog_host.h"
#include "platform/app_paths.h"
#include "platform/file_dialogs.h"
#include "support/game_folder.h"

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

// Through a scripted dialog host, with a temporary application folder.
TEST(FileDialogsTest, CancelledOrUnfittingChoicesLeaveThePathAndFilterIndex) {
  test::GameFolder game;
  host::ScriptedDialogHost scripted;
  ScopedGlobal<host::DialogHost> use{&scripted};
  FileDialogs dialogs;
  char path[kDialogPathSize] = "old.dat";
  char title[kDialogFileTitleSize] = "old title";
  scripted.QueueFileChoice(Chosen("Z:\\a.txt", 3));
  ASSERT_TRUE(dialogs.OpenFile({}, "Open", path, title, nullptr, nullptr, false));
  std::strcpy(path, "old.dat");

  // Nothing queued: the host cancels.
  EXPECT_FALSE(dialogs.SaveFile({}, "Save", path, title, nullptr, nullptr, nullptr));
  EXPECT_STREQ(path, "old.dat");
  EXPECT_STREQ(title, "") << "the title is emptied whatever the answer";
  EXPECT_EQ(dialogs.GetFilterIndex(), 3u);

  // A cut path would name another file, so one too long for the buffer is refused, as is none.
  scripted.QueueFileChoice(Chosen("Z:\\" + std::string(kDialogPathSize - 3, 'a'), 1));
  EXPECT_FALSE(dialogs.OpenFile({}, "Open", path, title, nullptr, nullptr, false));
  EXPECT_STREQ(path, "old.dat");
  scripted.QueueFileChoice(Chosen("", 1));
  EXPECT_FALSE(dialogs.OpenFile({}, "Open", path, title, nullptr, nullptr, false));
  EXPECT_EQ(dialogs.GetFilterIndex(), 3u);

  // A 256-byte name fits the path but not the title, which is cut before the split character.
  const std::string leaf = Repeat(kHyo, 128);
  scripted.QueueFileChoice(Chosen("Z:\\" + leaf, 1));
  ASSERT_TRUE(dialogs.OpenFile({}, "Open", path, title, nullptr, nullptr, false));
  EXPECT_EQ(std::string(path), "Z:\\" + leaf);
  EXPECT_EQ(std::string(title), Repeat(kHyo, 127));

  std::strcpy(path, "old.dat");
  ScopedGlobal<host::DialogHost> none(nullptr);
  EXPECT_FALSE(dialogs.OpenFile({}, "Open", path, title, nullptr, nullptr, false));
  EXPECT_STREQ(path, "old.dat");
  EXPECT_FALSE(dialogs.OpenFile({}, "Open", nullptr, title, nullptr, nullptr, false));
}

}  // namespace
}  // namespace bw
