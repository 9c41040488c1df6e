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

TEST_F(HostPath, ResolvesEachComponentCaseInsensitivelyAndNormalises) {
  EXPECT_EQ(Map("\\GAME\\script\\main.sob"), root_ + "/Game/Script/Main.SOB");
  EXPECT_EQ(Map("\\game\\" + kJapaneseCp932 + "\\DATA.TXT"),
            root_ + "/Game/" + kJapaneseUtf8 + "/Data.txt")
      << "the 0x5C trail bytes of the folder name are no separators";
  EXPECT_EQ(Map("\\game\\" + kJapaneseCp932), root_ + "/Game/" + kJapaneseUtf8)
      << "a name ending in a 0x5C trail has no trailing separator";
  // The exact name first, then the least in byte order.
  EXPECT_EQ(Map("\\game\\dup\\file.txt"), root_ + "/Game/dup/file.txt");
  EXPECT_EQ(Map("\\game\\dup\\file.TXT"), root_ + "/Game/dup/FILE.TXT");
  // Dots, repeated and trailing separators are normalised.
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

// Linux names that hold the variants Linux text uses for CP932's characters (the wave dash
// U+301C where Windows has U+FF5E, ...) enter the engine and come back as the same names.
struct Variant {
  const char* utf8;       // as a Linux input method types it
  const char* cp932;      // the engine's code
  const char* canonical;  // what that code decodes to
};
const Variant kVariants[] = {
    {"\xE3\x80\x9C", "\x81\x60", "\xEF\xBD\x9E"},  // wave dash
    {"\xE2\x80\x96", "\x81\x61", "\xE2\x88\xA5"},  // double vertical line
    {"\xE2\x88\x92", "\x81\x7C", "\xEF\xBC\x8D"},  // minus sign
    {"\xC2\xA2", "\x81\x91", "\xEF\xBF\xA0"},      // cent sign
    {"\xC2\xA3", "\x81\x92", "\xEF\xBF\xA1"},      // pound sign
    {"\xC2\xAC", "\x81\xCA", "\xEF\xBF\xA2"},      // not sign
};

TEST(HostPathCp932, FoldersNamedWithVariantsMapToTheEngineAndBack) {
  test::TempDir dir;
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.utf8);
    const std::string folder = std::string("Game") + v.utf8 + "Dx";
    dir.WriteFile(folder + "/Script/Main.sob", "");
    const std::string linux = (dir.path() / folder).string();

    std::string engine;
    ASSERT_EQ(LinuxPathToEnginePath(linux + "/", engine), kPathOk);
    EXPECT_NE(engine.find(std::string("Game") + v.cp932 + "Dx\\"), std::string::npos);

    std::string back;
    ASSERT_EQ(EnginePathToLinuxPath(engine, back), kPathOk);
    EXPECT_EQ(back, linux + "/") << "the very folder, not one named with " << v.canonical;
    ASSERT_EQ(EnginePathToLinuxPath(engine + "SCRIPT\\main.SOB", back), kPathOk);
    EXPECT_EQ(back, linux + "/Script/Main.sob") << "and what lies below it";
    std::string lower = engine;
    lower.replace(lower.find("Game"), 4, "gAME");
    ASSERT_EQ(EnginePathToLinuxPath(lower, back), kPathOk);
    EXPECT_EQ(back, linux + "/") << "case-insensitively around the variant";
  }
}

// Two siblings the code page cannot tell apart: the one that entered the engine is the one its
// paths lead back to, and a path from the other that enters later comes back as itself.
TEST(HostPathCp932, APathThatEnteredComesBackAsGivenNotAsItsSibling) {
  test::TempDir dir;
  const std::string waveDash = "g\xE3\x80\x9C", fullWidth = "g\xEF\xBD\x9E";
  dir.WriteFile(waveDash + "/Script/Main.sob", "");
  dir.WriteFile(fullWidth + "/Script/Main.sob", "");
  dir.WriteFile(fullWidth + "/dropped.txt", "");
  const std::string game = (dir.path() / waveDash).string();
  const std::string sibling = (dir.path() / fullWidth).string();

  std::string engine, back;
  ASSERT_EQ(LinuxPathToEnginePath(game, engine), kPathOk);
  ASSERT_EQ(EnginePathToLinuxPath(engine + "\\SCRIPT\\main.SOB", back), kPathOk);
  EXPECT_EQ(back, game + "/Script/Main.sob") << "below the folder, names match the entries";
  ASSERT_EQ(EnginePathToLinuxPath(engine + "\\script\\..\\.\\", back), kPathOk);
  EXPECT_EQ(back, game + "/");
  const std::string leaf = engine.substr(engine.rfind('\\'));
  ASSERT_EQ(EnginePathToLinuxPath(engine + "\\.." + leaf + "\\script", back), kPathOk);
  EXPECT_EQ(back, game + "/Script") << "'..' goes up before the path is matched";

  std::string dropped;
  ASSERT_EQ(LinuxPathToEnginePath(sibling + "/dropped.txt", dropped), kPathOk);
  ASSERT_EQ(EnginePathToLinuxPath(dropped, back), kPathOk);
  EXPECT_EQ(back, sibling + "/dropped.txt");
  ASSERT_EQ(EnginePathToLinuxPath(engine, back), kPathOk);
  EXPECT_EQ(back, game) << "a file from the sibling does not move the folder";

  ASSERT_EQ(LinuxPathToEnginePath(sibling, engine), kPathOk);
  ASSERT_EQ(EnginePathToLinuxPath(engine, back), kPathOk);
  EXPECT_EQ(back, sibling) << "the sibling itself entering takes the name over";
}

TEST(HostPathCp932, TheExactNameWinsOverAVariantAndSeparatorsStayOut) {
  test::TempDir dir;
  const std::string fullWidth = "x\xEF\xBD\x9E", waveDash = "x\xE3\x80\x9C";
  dir.WriteFile(fullWidth + "/a", "");
  dir.WriteFile(waveDash + "/b", "");
  std::string engine, back;
  ASSERT_EQ(LinuxPathToEnginePath((dir.path() / fullWidth).string(), engine), kPathOk);
  ASSERT_EQ(EnginePathToLinuxPath(engine, back), kPathOk);
  EXPECT_EQ(back, (dir.path() / fullWidth).string()) << "the code's own character first";
  EXPECT_EQ(FindEntryNoCase(dir.path().string(), "X\xEF\xBD\x9E"), fullWidth)
      << "then a match in UTF-8 before one in CP932";
  EXPECT_EQ(FindEntryNoCase(dir.path().string(), "X\xE2\x80\x96"), "") << "0x8161 is no 0x8160";

  // The yen sign is 0x5C in CP932: the name would split in two.
  EXPECT_EQ(LinuxPathToEnginePath("/tmp/a\xC2\xA5"
                                  "b",
                                  engine),
            kPathBadName);
}

}  // namespace
}  // namespace bw::host
