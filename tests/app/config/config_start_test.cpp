// Start-up with settings files and packs that are not what they claim: the start stops with a
// message that names the file and where it broke, and nothing of the file leaks out.
#include <gtest/gtest.h>

#include <random>

#include "support/game_run.h"

namespace bw {
namespace {

std::string RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string bytes(n, '\0');
  for (char& b : bytes) b = static_cast<char>(rng());
  return bytes;
}

class ConfigStart : public test::GameRun {
 protected:
  // Runs the game; answers the one box it showed.
  host::MessageBoxRequest RunRefused() {
    GameApp app;
    EXPECT_NE(RunGame(app), 0);
    std::vector<host::MessageBoxRequest> boxes = backend.MessageBoxes();
    EXPECT_EQ(boxes.size(), boxesSeen + 1);
    boxesSeen = boxes.size();
    return boxes.empty() ? host::MessageBoxRequest{} : boxes.back();
  }
};

TEST_F(ConfigStart, ANoisySettingsFileStopsTheStartNamingTheFile) {
  WriteGame(" wait\n ret\n");
  const std::string before = RandomBytes(1 << 20, 11);
  dir.WriteFile("USER.CFG", before);
  host::MessageBoxRequest box = RunRefused();
  EXPECT_NE(box.text.find("環境設定ファイルの読み込みに失敗"), std::string::npos);
  EXPECT_NE(box.text.find((dir.path() / "USER.CFG").string() + ": "), std::string::npos)
      << box.text;
  EXPECT_TRUE(test::ReadFile(dir.path() / "USER.CFG") == before) << "and it is not saved over";
}

TEST_F(ConfigStart, ANoisyInformationFileGivesNoTitleAndIsNamed) {
  WriteGame(" wait\n ret\n");
  for (size_t size : {5000u, 105u}) {
    SCOPED_TRACE(size);
    dir.WriteFile("SCRIPT/QZ_APP.INF", RandomBytes(size, static_cast<uint32_t>(size)));
    host::MessageBoxRequest box = RunRefused();
    EXPECT_NE(box.text.find("アプリケーション情報ファイルの読み込みに失敗\nSCRIPT\\QZ_APP.INF: "),
              std::string::npos)
        << box.text;
    EXPECT_EQ(box.title, "KVR DX Application") << "the default name, not the file's bytes";
  }
}

TEST_F(ConfigStart, ABrokenOrUnreadablePatchPackStopsTheStartNamingIt) {
  WriteGame(" wait\n ret\n");
  dir.WriteFile("PATCH.VFA", "VFA1" + RandomBytes(200, 3));
  host::MessageBoxRequest box = RunRefused();
  EXPECT_EQ(box.text.find("A pack of the game cannot be used:\n" +
                          (dir.path() / "PATCH.VFA").string() + ": "),
            0u)
      << box.text;

  std::filesystem::remove(dir.path() / "PATCH.VFA");
  std::filesystem::create_directory(dir.path() / "PATCH.VFA");
  box = RunRefused();
  EXPECT_NE(box.text.find("PATCH.VFA: a folder, not a pack"), std::string::npos) << box.text;
}

}  // namespace
}  // namespace bw
