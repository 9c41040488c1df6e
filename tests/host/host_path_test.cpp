#include "host/host_path.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace bw::host {
namespace {

// "表ソ" on disk (UTF-8) and in the engine (CP932, both trail bytes 0x5C).
const std::string kJapaneseUtf8 = "\xE8\xA1\xA8\xE3\x82\xBD";
const std::string kJapaneseCp932 = "\x95\x5C\x83\x5C";

class HostPath : public testing::Test {
 protected:
  void SetUp() override {
    root_ = dir_.path().string();
    ASSERT_EQ(LinuxPathToEnginePath(root_, engineRoot_), kPathOk);
    dir_.WriteFile("Game/Script/Main.SOB", "");
    dir_.WriteFile("Game/" + kJapaneseUtf8 + "/Data.txt", "");
    dir_.WriteFile("Game/dup/File.txt", "");
    dir_.WriteFile("Game/dup/FILE.TXT", "");
    dir_.WriteFile("Game/dup/file.txt", "");
    dir_.WriteFile("Game/dup/Zed.txt", "");
    dir_.WriteFile("Game/dup/ZED.txt", "");
  }

  // Maps an engine path below the temporary folder; "" when the mapping fails.
  std::string Map(const std::string& tail) {
    std::string out;
    return EnginePathToLinuxPath(engineRoot_ + tail, out) == kPathOk ? out : "";
  }

  bw::test::TempDir dir_;
  std::string root_;
  std::string engineRoot_;
};

TEST_F(HostPath, ResolvesEachComponentCaseInsensitively) {
  EXPECT_EQ(Map("\\GAME\\script\\main.sob"), root_ + "/Game/Script/Main.SOB");
  EXPECT_EQ(Map("\\game\\" + kJapaneseCp932 + "\\DATA.TXT"),
            root_ + "/Game/" + kJapaneseUtf8 + "/Data.txt")
      << "the 0x5C trail bytes of the folder name are no separators";
  EXPECT_EQ(Map("\\game\\" + kJapaneseCp932), root_ + "/Game/" + kJapaneseUtf8)
      << "a name ending in a 0x5C trail has no trailing separator";
  EXPECT_EQ(Map("/game/Script/MAIN.sob"), root_ + "/Game/Script/Main.SOB") << "'/' separates too";
}

TEST_F(HostPath, PrefersTheExactNameThenTheLeastInByteOrder) {
  EXPECT_EQ(Map("\\game\\dup\\file.txt"), root_ + "/Game/dup/file.txt");
  EXPECT_EQ(Map("\\game\\dup\\file.TXT"), root_ + "/Game/dup/FILE.TXT");
  EXPECT_EQ(Map("\\game\\dup\\zed.TXT"), root_ + "/Game/dup/ZED.txt");
}

TEST_F(HostPath, KeepsMissingComponentsAsGiven) {
  EXPECT_EQ(Map("\\game\\script\\New.Dat"), root_ + "/Game/Script/New.Dat");
  EXPECT_EQ(Map("\\GAME\\NewDir\\script\\main.sob"), root_ + "/Game/NewDir/script/main.sob")
      << "nothing below a missing folder is looked up";
  EXPECT_EQ(Map("\\game\\Script\\Main.SOB\\x"), root_ + "/Game/Script/Main.SOB/x");
  EXPECT_EQ(Map("\\game\\Gone\\..\\SCRIPT\\main.sob"), root_ + "/Game/Script/Main.SOB")
      << "'..' out of a missing folder resumes the lookup";
}

TEST_F(HostPath, NormalisesDotsRepeatedAndTrailingSeparators) {
  EXPECT_EQ(Map("\\game\\.\\\\script\\..\\SCRIPT\\"), root_ + "/Game/Script/");
  std::string out;
  ASSERT_EQ(EnginePathToLinuxPath("Z:\\..\\..\\", out), kPathOk);
  EXPECT_EQ(out, "/") << "'..' stops at the root";
  ASSERT_EQ(EnginePathToLinuxPath("z:\\..\\" + engineRoot_.substr(3) + "\\Game", out), kPathOk);
  EXPECT_EQ(out, root_ + "/Game");
  ASSERT_EQ(EnginePathToLinuxPath("\\", out), kPathOk);
  EXPECT_EQ(out, "/");
}

TEST_F(HostPath, RelativePathsNeedABase) {
  std::string out;
  const std::string base = root_ + "/Game";
  ASSERT_EQ(EnginePathToLinuxPath("SCRIPT\\main.sob", base, out), kPathOk);
  EXPECT_EQ(out, root_ + "/Game/Script/Main.SOB");
  ASSERT_EQ(EnginePathToLinuxPath("..\\..\\GAME\\dup\\..\\script", base + "/Script/", out),
            kPathOk);
  EXPECT_EQ(out, root_ + "/Game/Script");
  ASSERT_EQ(EnginePathToLinuxPath("Z:script", base, out), kPathOk);
  EXPECT_EQ(out, root_ + "/Game/Script") << "a drive without a separator is its current folder";
  EXPECT_EQ(EnginePathToLinuxPath("script", out), kPathNotAbsolute);
  EXPECT_EQ(EnginePathToLinuxPath("script", "relative/base", out), kPathNotAbsolute);
}

TEST(HostPathErrors, RefusesWhatHasNoLinuxMeaning) {
  std::string out = "untouched";
  EXPECT_EQ(EnginePathToLinuxPath("C:\\game", out), kPathUnknownDrive);
  EXPECT_EQ(EnginePathToLinuxPath("\\\\server\\share\\x", out), kPathUnknownDrive);
  EXPECT_EQ(EnginePathToLinuxPath("Z:\\bad\x81", out), kPathBadName) << "lone lead byte";
  EXPECT_EQ(EnginePathToLinuxPath("Z:\\bad\x85\x40", out), kPathBadName) << "unassigned code";
  EXPECT_EQ(EnginePathToLinuxPath(std::string("Z:\\a\0b", 6), out), kPathBadName);
  EXPECT_EQ(out, "untouched") << "a failure leaves the output alone";
}

TEST(LinuxPathToEngine, GivesTheDriveForm) {
  std::string out;
  ASSERT_EQ(LinuxPathToEnginePath("/home/u/game", out), kPathOk);
  EXPECT_EQ(out, "Z:\\home\\u\\game");
  ASSERT_EQ(LinuxPathToEnginePath("/", out), kPathOk);
  EXPECT_EQ(out, "Z:\\");
  ASSERT_EQ(LinuxPathToEnginePath("//a//" + kJapaneseUtf8 + "/", out), kPathOk);
  EXPECT_EQ(out, "Z:\\a\\" + kJapaneseCp932 + "\\");

  EXPECT_EQ(LinuxPathToEnginePath("home/u", out), kPathNotAbsolute);
  EXPECT_EQ(LinuxPathToEnginePath("", out), kPathNotAbsolute);
  EXPECT_EQ(LinuxPathToEnginePath("/a\\b", out), kPathBadName) << "'\\' would split the name";
  EXPECT_EQ(LinuxPathToEnginePath("/price\xE2\x82\xAC", out), kPathBadName) << "no CP932 form";
  EXPECT_EQ(LinuxPathToEnginePath("/yen\xC2\xA5", out), kPathBadName)
      << "U+00A5 encodes as 0x5C, which would come back as a separator";
  EXPECT_EQ(LinuxPathToEnginePath("/bad\xFF", out), kPathBadName);
  EXPECT_EQ(out, "Z:\\a\\" + kJapaneseCp932 + "\\");
}

}  // namespace
}  // namespace bw::host
