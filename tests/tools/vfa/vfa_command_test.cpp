// Runs the built `vfa` command: what it packs, the engine's reader lists and extracts.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"
#include "tools/tool_run.h"

namespace bw {
namespace {

class VfaCommand : public testing::Test {
 protected:
  int Run(const std::string& arguments) {
    int status = run_.Run(BW_VFA_COMMAND, arguments);
    output_ = run_.Output();
    errors_ = run_.Errors();
    return status;
  }
  std::string Path(const std::string& relative) const { return run_.Path(relative); }
  std::string Out(const std::string& relative) const {
    return test::ReadFile(dir_.path() / relative);
  }

  // A folder of members: text that packs well, a sub-folder and bytes that do not shrink.
  void SetUp() override {
    for (int i = 0; i < 40; ++i) text_ += "line of the scenario text, again and again\r\n";
    for (int i = 0; i < 300; ++i) binary_.push_back(static_cast<char>((i * 151 + 7) % 251));
    dir_.WriteFile("in/Story.txt", text_);
    dir_.WriteFile("in/sub/Pic.bin", binary_);
  }

  test::ToolRun run_;
  const test::TempDir& dir_ = run_.Dir();
  std::string output_;
  std::string errors_;
  std::string text_;
  std::string binary_;
};

TEST_F(VfaCommand, EveryVariantPacksListsAndExtractsByTheEngineName) {
  const char* variants[] = {
      "",
      "--sector --wide --scramble --prefix --nibble --pack --key1 1 --key2 2",
  };
  for (const char* options : variants) {
    SCOPED_TRACE(options);
    std::string keys;
    if (const char* k = std::strstr(options, "--key1")) keys = k;
    ASSERT_EQ(Run(std::string("pack ") + options + " " + Path("in") + " " + Path("out.vfa")), 0);
    ASSERT_EQ(Run("list " + keys + " " + Path("out.vfa")), 0);
    std::string listed = output_;
    for (char& c : listed) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_NE(listed.find("story.txt"), std::string::npos) << output_;
    EXPECT_NE(listed.find("sub\\pic.bin"), std::string::npos) << "engine separators: " << output_;
    // Names as the engine asks for them: any case, backslash separators.
    ASSERT_EQ(Run("extract " + keys + " " + Path("out.vfa") + " story.TXT " + Path("story.out")),
              0);
    EXPECT_EQ(Out("story.out"), text_);
    ASSERT_EQ(Run("extract " + keys + " " + Path("out.vfa") + " 'Sub\\pic.bin' " + Path("pic.out")),
              0);
    EXPECT_EQ(Out("pic.out"), binary_);
  }
}

TEST_F(VfaCommand, RefusesBadArgumentsMissingNamesAndWrongKeysSayingWhy) {
  EXPECT_NE(Run("pack --key1 0x100000000 " + Path("in") + " " + Path("out.vfa")), 0)
      << "over 32 bits";
  ASSERT_EQ(Run("pack --key1 5 --key2 9 " + Path("in") + " " + Path("out.vfa")), 0);
  EXPECT_NE(Run("extract --key1 5 --key2 9 " + Path("out.vfa") + " none.txt " + Path("x.out")), 0);
  EXPECT_NE(errors_.find("no such member"), std::string::npos) << errors_;
  EXPECT_NE(Run("extract " + Path("out.vfa") + " story.txt " + Path("x.out")), 0);
  EXPECT_NE(errors_.find("cannot open " + dir_.path().string() + "/out.vfa: "), std::string::npos)
      << "the wrong key: " << errors_;

  // A cut pack is refused whole, as the engine refuses to mount it, with the same words.
  std::string cut = Out("out.vfa");
  dir_.WriteFile("cut/out.vfa", cut.substr(0, cut.size() - 44));
  EXPECT_EQ(Run("list --key1 5 --key2 9 " + Path("cut/out.vfa")), 1);
  EXPECT_EQ(output_, "");
  EXPECT_NE(errors_.find("bytes lie outside the file"), std::string::npos) << errors_;
  EXPECT_NE(Run("list " + Path("missing.vfa")), 0);
  EXPECT_NE(errors_.find("no such file"), std::string::npos) << errors_;
  EXPECT_EQ(errors_.find("error 1"), std::string::npos) << errors_;
}

// Host names are UTF-8, the engine's CP932: a member is stored under its CP932 name, listed and
// extracted by its UTF-8 one; a name CP932 cannot hold stops the pack and is named.
TEST_F(VfaCommand, MemberNamesCrossBetweenUtf8AndCp932) {
  const std::string folder = "\xE7\x94\xBB\xE5\x83\x8F";    // 画像
  const std::string file = "\xE8\xA1\xA8\xE3\x80\x9C.txt";  // 表〜.txt, the wave dash
  dir_.WriteFile("in/" + folder + "/" + file, "kanji");
  ASSERT_EQ(Run("pack " + Path("in") + " " + Path("out.vfa")), 0) << errors_;
  ASSERT_EQ(Run("list " + Path("out.vfa")), 0);
  const std::string listed = folder + "\\\xE8\xA1\xA8\xEF\xBD\x9E.txt";  // as CP932 decodes
  EXPECT_NE(output_.find(listed), std::string::npos) << output_;
  ASSERT_EQ(Run("extract " + Path("out.vfa") + " '" + listed + "' " + Path("a.out")), 0) << errors_;
  EXPECT_EQ(Out("a.out"), "kanji");
  ASSERT_EQ(Run("extract " + Path("out.vfa") + " '" + folder + "/" + file + "' " + Path("b.out")),
            0)
      << "the wave dash as typed on Linux: " << errors_;
  EXPECT_EQ(Out("b.out"), "kanji");

  const std::string emoji = "face\xF0\x9F\x98\x80.txt";
  dir_.WriteFile("in/" + emoji, "x");
  EXPECT_NE(Run("pack " + Path("in") + " " + Path("bad.vfa")), 0);
  EXPECT_NE(errors_.find(emoji), std::string::npos) << errors_;
  EXPECT_NE(errors_.find("CP932"), std::string::npos) << errors_;
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "bad.vfa"));
}

}  // namespace
}  // namespace bw
