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

TEST_F(HostPath, NormalisesDotsRepeatedAndTrailingSeparators) {
  EXPECT_EQ(Map("\\game\\.\\\\script\\..\\SCRIPT\\"), root_ + "/Game/Script/");
  std::string out;
  ASSERT_EQ(EnginePathToLinuxPath("Z:\\..\\..\\", out), kPathOk);
  EXPECT_EQ(out, "/") << "'..' stops at the root";
  ASSERT_EQ(EnginePathToLinuxPath("z:\\..\\" + engineRoot_.substr(3) + "\\Game", out), kPathOk);
  EXPECT_EQ(out, root_ + "/Game");
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

}  // namespace
}  // namespace bw::host
