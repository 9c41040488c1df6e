// The command-line tools as a game maker calls them: names cross between UTF-8 and CP932, a file
// the engine would refuse is refused with the engine's words and a failing status, and a wrong
// call names the argument that was wrong.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "host/host_path.h"
#include "lib/file_bytes.h"
#include "resource/images/gmp_file.h"
#include "tools/tool_run.h"

namespace bw {
namespace {

std::string Tool(const std::string& name) {
  return std::string(BW_TOOL_DIR) + "/" + name;
}

class ToolCommands : public testing::Test {
 protected:
  test::ToolRun run_;
  const test::TempDir& dir_ = run_.Dir();
};

// A picture named in Japanese in the text form is found by the engine under that name.
TEST_F(ToolCommands, GmpNamesArePicturesTheEngineFinds) {
  const std::string background = "\xE8\x83\x8C\xE6\x99\xAF.BMP";  // 背景.BMP
  dir_.WriteFile("screen/" + background, "picture");
  dir_.WriteFile("screen.gmpt",
                 "background " + background + "\npart 1 4 5 255 1 8 9 4 my button.bmp\n");
  ASSERT_EQ(run_.Run(Tool("gmp"),
                     "write " + run_.Path("screen.gmpt") + " " + run_.Path("screen/SCREEN.GMP")),
            0)
      << run_.Errors();

  std::vector<uint8_t> bytes;
  ASSERT_TRUE(tools::ReadFileBytes(dir_.path() / "screen" / "SCREEN.GMP", bytes));
  GmpFile file;
  ASSERT_EQ(ParseGmp(bytes, false, &file), kGmpLoaded);
  std::string folder, found;
  ASSERT_EQ(host::LinuxPathToEnginePath((dir_.path() / "screen").string() + "/", folder),
            host::kPathOk);
  ASSERT_EQ(host::EnginePathToLinuxPath(folder + file.background, found), host::kPathOk);
  EXPECT_EQ(found, (dir_.path() / "screen" / background).string());
  ASSERT_EQ(file.entries.size(), 1u);
  EXPECT_EQ(file.entries[0].name, "my button.bmp") << "a name is the rest of its line";

  ASSERT_EQ(run_.Run(Tool("gmp"), "dump " + run_.Path("screen/SCREEN.GMP")), 0);
  EXPECT_EQ(run_.Output(), "background " + background + "\npart 1 4 5 255 1 8 9 4 my button.bmp\n");
}

TEST_F(ToolCommands, SaveTitlesWrittenAsTextReachTheFile) {
  dir_.WriteFile("slot.txt", "title \xE7\xAC\xAC\xE4\xB8\x80\xE7\xAB\xA0\nvariables 00000000\n");
  ASSERT_EQ(run_.Run(Tool("savfile"), "make " + run_.Path("slot.txt") + " " + run_.Path("s.sav")),
            0)
      << run_.Errors();
  ASSERT_EQ(run_.Run(Tool("savfile"), "dump " + run_.Path("s.sav")), 0);
  EXPECT_NE(run_.Output().find("\ntitle \xE7\xAC\xAC\xE4\xB8\x80\xE7\xAB\xA0\n"), std::string::npos)
      << run_.Output();  // 第一章
}

// What the engine refuses, the tools refuse: on standard error, naming the file, failing.
TEST_F(ToolCommands, FilesTheEngineRefusesFailWithItsWords) {
  std::mt19937 rng(4);
  std::string noise(4096, '\0');
  for (char& c : noise) c = static_cast<char>(rng());
  dir_.WriteFile("USER.CFG", noise);
  dir_.WriteFile("noise.bin", noise);
  struct Case {
    const char* tool;
    std::string arguments;
    const char* words;
  };
  const Case cases[] = {
      {"appcfg", "dump " + run_.Path("USER.CFG"), "the engine refuses"},
      {"gmp", "dump " + run_.Path("noise.bin"), "noise.bin: not a GMP file"},
      {"tobasm", "-d " + run_.Path("noise.bin"), "noise.bin: neither a scenario script"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tool);
    EXPECT_EQ(run_.Run(Tool(c.tool), c.arguments), 1);
    EXPECT_EQ(run_.Output(), "") << "nothing read goes to standard output";
    EXPECT_NE(run_.Errors().find(c.words), std::string::npos) << run_.Errors();
  }
}

TEST_F(ToolCommands, AWrongCallNamesTheArgument) {
  struct Case {
    const char* tool;
    const char* arguments;
    const char* words;
  };
  const Case cases[] = {
      {"oggtone", "x.ogg --freq abc --ms 10", "oggtone: --freq needs a number, not \"abc\""},
      {"oggtone", "x.ogg --freq 440 --ms 10 --loud", "oggtone: unknown option --loud"},
      {"movgen", "x.mpg --fps fast", "movgen: --fps needs a number, not \"fast\""},
      {"wgx", "encode a.bmp a.wgx --form 9", "wgx: --form must be 0, 1 or 2"},
      {"tobasm", "--truncate=ten a.tobs a.tob", "tobasm: --truncate= needs a number, not \"ten\""},
      {"savfile", "make a.txt a.sav --fault bent", "savfile: no fault is called \"bent\""},
      {"gmp", "draw a b", "gmp: unknown command draw"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    EXPECT_EQ(run_.Run(Tool(c.tool), c.arguments), 2);
    EXPECT_EQ(run_.Errors().rfind(c.words, 0), 0u) << run_.Errors();
    EXPECT_NE(run_.Errors().find("usage: "), std::string::npos);
  }
}

}  // namespace
}  // namespace bw
