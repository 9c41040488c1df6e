#include "platform/app_paths.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace bw
