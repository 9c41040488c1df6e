// The command-line tools as a game maker calls them: names cross between UTF-8 and CP932, a file
// the engine would refuse is refused with the engine's words and a failing status, and a wrong
// call names the argument that was wrong.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "host/host_path.h"
#include "lib/file_bytes.h"
#include "resource/images/gmp_file.h"
#include "support/shell_quote.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

// Runs the built tools in a temporary folder, keeping what they said.
class ToolCommands : public testing::Test {
 protected:
  // Runs `tool ARGUMENTS` (arguments as a shell would split them); answers the exit status, -1
  // when it did not exit.
  int Run(const std::string& tool, const std::string& arguments) {
    const std::string line = test::ShellQuoted(std::string(BW_TOOL_DIR) + "/" + tool) + " " +
                             arguments + " >" + Path("stdout.txt") + " 2>" + Path("stderr.txt");
    const int status = std::system(line.c_str());
    output_ = test::ReadFile(dir_.path() / "stdout.txt");
    errors_ = test::ReadFile(dir_.path() / "stderr.txt");
    return status == -1 || !WIFEXITED(status) ? -1 : WEXITSTATUS(status);
  }
  // A path below the folder, quoted for the shell.
  std::string Path(const std::string& relative) const {
    return test::ShellQuoted((dir_.path() / relative).string());
  }

  test::TempDir dir_;
  std::string output_;  // standard output of the last run
  std::string errors_;  // its standard error
};

// A picture named in Japanese in the text form is found by the engine under that name, and a
// save's title written in Japanese reaches the file.
TEST_F(ToolCommands, JapaneseNamesAndTitlesReachTheFiles) {
  const std::string background = "\xE8\x83\x8C\xE6\x99\xAF.BMP";  // 背景.BMP
  dir_.WriteFile("screen/" + background, "picture");
  dir_.WriteFile("screen.gmpt",
                 "background " + background + "\npart 1 4 5 255 1 8 9 4 my button.bmp\n");
  ASSERT_EQ(Run("gmp", "write " + Path("screen.gmpt") + " " + Path("screen/SCREEN.GMP")), 0)
      << errors_;

  std::vector<uint8_t> bytes;
  ASSERT_TRUE(tools::ReadFileBytes(dir_.path() / "screen" / "SCREEN.GMP", bytes));
  GmpFile file;
  ASSERT_EQ(ParseGmp(bytes, false, &file), kGmpLoaded);
  std::string folder, found;
  ASSERT_EQ(host::LinuxPathToEnginePath((dir_.path() / "screen").string() + "/", folder),
            host::kPathOk);
  ASSERT_EQ(host::EnginePathToLinuxPath(folder + file.background, found), host::kPathOk);
  EXPECT_EQ(found, (dir_.path() / "screen" / background).string());

  ASSERT_EQ(Run("gmp", "dump " + Path("screen/SCREEN.GMP")), 0);
  EXPECT_EQ(output_, "background " + background + "\npart 1 4 5 255 1 8 9 4 my button.bmp\n")
      << "a name is the rest of its line";

  dir_.WriteFile("slot.txt", "title \xE7\xAC\xAC\xE4\xB8\x80\xE7\xAB\xA0\nvariables 00000000\n");
  ASSERT_EQ(Run("savfile", "make " + Path("slot.txt") + " " + Path("s.sav")), 0) << errors_;
  ASSERT_EQ(Run("savfile", "dump " + Path("s.sav")), 0);
  EXPECT_NE(output_.find("\ntitle \xE7\xAC\xAC\xE4\xB8\x80\xE7\xAB\xA0\n"), std::string::npos)
      << output_;  // 第一章
}

// What the engine refuses, the tools refuse: on standard error, naming the file, with status 1.
// A wrong call fails with status 2, its first words naming the argument, then the usage.
TEST_F(ToolCommands, RefusedFilesAndWrongCallsFailSayingWhy) {
  std::mt19937 rng(4);
  std::string noise(4096, '\0');
  for (char& c : noise) c = static_cast<char>(rng());
  dir_.WriteFile("USER.CFG", noise);
  dir_.WriteFile("noise.bin", noise);
  dir_.WriteFile("open.tobs", ".tob1\n  MessageBegin 0\n  \"a line\"\n\n  MessageWait ; the end\n");
  dir_.WriteFile("long.tobs", ".tob1\n  MessageBegin {.space 70000 | ret}\n  .end\n");
  dir_.WriteFile("os2.bmp",
                 std::string("BM\0\0\0\0\0\0\0\0\x4e\0\0\0\x40\0\0\0", 18) + std::string(60, '\0'));
  struct Case {
    const char* tool;
    std::string arguments;
    int status;
    const char* words;
  };
  const Case cases[] = {
      {"appcfg", "dump " + Path("USER.CFG"), 1, "the engine refuses"},
      {"gmp", "dump " + Path("noise.bin"), 1, "noise.bin: not a GMP file"},
      {"tobasm", "-d " + Path("noise.bin"), 1, "noise.bin: neither a scenario script"},
      {"tobasm", Path("open.tobs") + " " + Path("open.tob"), 1,
       "line 5: the scenario ends without .end"},
      {"tobasm", Path("long.tobs") + " " + Path("long.tob"), 1,
       "line 2: an expression's code or link lists pass 65535 bytes"},
      {"wgx", "encode " + Path("os2.bmp") + " " + Path("os2.wgx"), 1,
       "os2.bmp: BMP header of 64 bytes is not read"},
      {"oggtone", "x.ogg --freq abc --ms 10", 2, "oggtone: --freq needs a number, not \"abc\""},
      {"oggtone", "x.ogg --freq 440 --ms 10 --loud", 2, "oggtone: unknown option --loud"},
      {"wgx", "encode a.bmp a.wgx --form 9", 2, "wgx: --form must be 0, 1 or 2"},
      {"tobasm", "--truncate=ten a.tobs a.tob", 2,
       "tobasm: --truncate= needs a number, not \"ten\""},
      {"savfile", "make a.txt a.sav --fault bent", 2, "savfile: no fault is called \"bent\""},
      {"gmp", "draw a b", 2, "gmp: unknown command draw"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    EXPECT_EQ(Run(c.tool, c.arguments), c.status);
    EXPECT_EQ(output_, "") << "nothing goes to standard output";
    const size_t at = errors_.find(c.words);
    EXPECT_TRUE(c.status == 1 ? at != std::string::npos : at == 0) << errors_;
    EXPECT_EQ(errors_.find("usage: ") != std::string::npos, c.status == 2) << errors_;
  }
}

// The pack command: what it packs, the engine's reader lists and extracts. A folder of members:
// text that packs well, a sub-folder and bytes that do not shrink.
class VfaCommand : public ToolCommands {
 protected:
  void SetUp() override {
    for (int i = 0; i < 40; ++i) text_ += "line of the scenario text, again and again\r\n";
    for (int i = 0; i < 300; ++i) binary_.push_back(static_cast<char>((i * 151 + 7) % 251));
    dir_.WriteFile("in/Story.txt", text_);
    dir_.WriteFile("in/sub/Pic.bin", binary_);
  }
  int Vfa(const std::string& arguments) { return Run("vfa", arguments); }

  std::string text_;
  std::string binary_;
};

// Each layout and scramble reads back through the engine's reader in the pack tests; here the
// options reach the writer and the keys the reader. Host names are UTF-8, the engine's CP932: a
// member is stored under its CP932 name, listed and extracted by its UTF-8 one; a name CP932
// cannot hold stops the pack and is named.
TEST_F(VfaCommand, PacksListsAndExtractsByTheEngineName) {
  const std::string folder = "\xE7\x94\xBB\xE5\x83\x8F";    // 画像
  const std::string file = "\xE8\xA1\xA8\xE3\x80\x9C.txt";  // 表〜.txt, the wave dash
  dir_.WriteFile("in/" + folder + "/" + file, "kanji");
  const std::string keys = "--key1 1 --key2 2";
  ASSERT_EQ(Vfa("pack --sector --wide --scramble --prefix --nibble --pack " + keys + " " +
                Path("in") + " " + Path("out.vfa")),
            0)
      << errors_;
  ASSERT_EQ(Vfa("list " + keys + " " + Path("out.vfa")), 0);
  std::string listed = output_;
  for (char& c : listed) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_NE(listed.find("story.txt"), std::string::npos) << output_;
  EXPECT_NE(listed.find("sub\\pic.bin"), std::string::npos) << "engine separators: " << output_;
  const std::string kanji = folder + "\\\xE8\xA1\xA8\xEF\xBD\x9E.txt";  // as CP932 decodes
  EXPECT_NE(output_.find(kanji), std::string::npos) << output_;
  // Names as the engine asks for them: any case, backslash separators, the wave dash as typed on
  // Linux.
  const std::pair<std::string, std::string> members[] = {{"story.TXT", text_},
                                                         {"Sub\\pic.bin", binary_},
                                                         {kanji, "kanji"},
                                                         {folder + "/" + file, "kanji"}};
  for (const auto& [member, bytes] : members) {
    std::filesystem::remove(dir_.path() / "x.out");
    ASSERT_EQ(Vfa("extract " + keys + " " + Path("out.vfa") + " '" + member + "' " + Path("x.out")),
              0)
        << member << ": " << errors_;
    EXPECT_EQ(test::ReadFile(dir_.path() / "x.out"), bytes) << member;
  }

  const std::string emoji = "face\xF0\x9F\x98\x80.txt";
  dir_.WriteFile("in/" + emoji, "x");
  EXPECT_NE(Vfa("pack " + Path("in") + " " + Path("bad.vfa")), 0);
  EXPECT_NE(errors_.find(emoji), std::string::npos) << errors_;
  EXPECT_NE(errors_.find("CP932"), std::string::npos) << errors_;
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "bad.vfa"));
}

TEST_F(VfaCommand, RefusesBadArgumentsMissingNamesAndWrongKeysSayingWhy) {
  EXPECT_NE(Vfa("pack --key1 0x100000000 " + Path("in") + " " + Path("out.vfa")), 0)
      << "over 32 bits";
  ASSERT_EQ(Vfa("pack --key1 5 --key2 9 " + Path("in") + " " + Path("out.vfa")), 0);
  EXPECT_NE(Vfa("extract --key1 5 --key2 9 " + Path("out.vfa") + " none.txt " + Path("x.out")), 0);
  EXPECT_NE(errors_.find("no such member"), std::string::npos) << errors_;
  EXPECT_NE(Vfa("extract " + Path("out.vfa") + " story.txt " + Path("x.out")), 0);
  EXPECT_NE(errors_.find("cannot open " + dir_.path().string() + "/out.vfa: "), std::string::npos)
      << "the wrong key: " << errors_;

  EXPECT_NE(Vfa("list " + Path("missing.vfa")), 0);
  EXPECT_NE(errors_.find("no such file"), std::string::npos) << errors_;
  EXPECT_EQ(errors_.find("error 1"), std::string::npos) << errors_;
}

}  // namespace
}  // namespace bw
