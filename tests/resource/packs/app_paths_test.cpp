#include "resource/packs/app_paths.h"

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
      {"../../a.txt", "D:\\", kPathBuildFailed, ""},
      {"../../a.txt", "D:\\GAME\\", kPathBuildFailed, ""},
      {"./.\\x", "D:\\GAME\\", kPathJoined, "D:\\GAME\\x"},
      {"dir/sub/file", "D:\\GAME\\", kPathJoined, "D:\\GAME\\dir\\sub\\file"},
      {"\\lead", "D:\\GAME\\", kPathJoined, "D:\\GAME\\lead"},
      {"..x/y", "D:\\GAME\\", kPathJoined, "D:\\GAME\\..x\\y"},
      {"a", "D:\\GAME", kPathJoined, "D:\\GAME\\a"},
      {"a", "", kPathBuildFailed, ""},
      {"C:/abs/x", "D:\\GAME\\", kPathWasAbsolute, "C:/abs/x"},
      {"\\\\host\\share\\x", "D:\\GAME\\", kPathWasAbsolute, "\\\\host\\share\\x"},
      {"../x", "\\\\host\\share\\", kPathJoined, "\\\\host\\x"},
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

TEST(CutLastPathPart, CutsToTheParentFolder) {
  struct Case {
    std::string path;
    int result;
    std::string expected;
  };
  const Case cases[] = {
      {"D:\\GAME\\a.txt", 0, "D:\\GAME\\"},
      {"D:\\GAME\\", 0, "D:\\"},
      {"D:/GAME/", 0, "D:/"},
      {"D:\\", 0, "D:\\"},
      {"ab", 1, "ab"},
      {"\\\\host", 0, "\\\\host"},
      {"\\\\host\\", 0, "\\\\host\\"},
      {"\\\\host\\share", 0, "\\\\host\\"},
      {"D:\\" + kHyo, 0, "D:\\"},
      {"D:\\" + kHyo + "\\", 0, "D:\\"},
  };
  for (const Case& c : cases) {
    std::string path = c.path;
    EXPECT_EQ(CutLastPathPart(path), c.result) << c.path;
    EXPECT_EQ(path, c.expected) << c.path;
  }
}

TEST(PathParts, LeafExtensionAndFileName) {
  struct Case {
    std::string path;
    std::string leaf, folderLeaf;  // GetPathLeafName without and with a trailing folder
    std::string cutName, cutRest;  // CutFileName
  };
  const Case cases[] = {
      {"D:\\GAME\\a.txt", "a.txt", "a.txt", "a.txt", "D:\\GAME\\"},
      {"D:\\GAME\\", "", "GAME", "", "D:\\GAME\\"},
      {"name", "name", "name", "", "name"},
      {"\\\\host", "", "\\\\host", "", "\\\\host"},
      {"D:\\" + kHyo, kHyo, kHyo, kHyo, "D:\\"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetPathLeafName(c.path, false), c.leaf) << c.path;
    EXPECT_EQ(GetPathLeafName(c.path, true), c.folderLeaf) << c.path;
    std::string p = c.path;
    EXPECT_EQ(CutFileName(p), c.cutName) << c.path;
    EXPECT_EQ(p, c.cutRest) << c.path;
  }
  EXPECT_EQ(GetPathExtension("a.b\\c"), "b\\c");
  EXPECT_EQ(GetPathExtension("noext"), "");
  std::string path = "dir\\file.tar.gz";
  EXPECT_EQ(SplitOffExtension(path), "gz");
  EXPECT_EQ(path, "dir\\file.tar");
}

TEST(AppFolder, InitAndRebase) {
  std::string saved = GetAppFolder();
  ASSERT_EQ(InitAppFolder(), 0);
  EXPECT_EQ(GetAppFolder().rfind("Z:\\", 0), 0u) << GetAppFolder();
  EXPECT_EQ(GetAppFolder().back(), '\\');

  EXPECT_EQ(RebaseAppFolder("Z:\\game"), 0);
  EXPECT_EQ(GetAppFolder(), "Z:\\game\\");
  EXPECT_EQ(RebaseAppFolder("sub/dir"), 0);
  EXPECT_EQ(GetAppFolder(), "Z:\\game\\sub\\dir\\");
  EXPECT_EQ(RebaseAppFolder("../../other\\"), 0);
  EXPECT_EQ(GetAppFolder(), "Z:\\game\\other\\");
  EXPECT_EQ(RebaseAppFolder("../../../x"), 1);
  EXPECT_EQ(GetAppFolder(), "Z:\\game\\other\\");

  if (!saved.empty()) RebaseAppFolder(saved);
}

}  // namespace
}  // namespace bw
