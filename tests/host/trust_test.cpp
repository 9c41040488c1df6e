#include "host/trust.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "host/module.h"
#include "support/temp_dir.h"

namespace bw::host {
namespace {

namespace fs = std::filesystem;

// A game and its save folder beside the player's own files, with the
// temporary folder moved beside them: everything lies under one test folder.
class GamePaths : public ::testing::Test {
 protected:
  GamePaths() {
    ForgetTrustNotices();
    for (const char* folder : {"game/sub", "save", "home"})
      fs::create_directories(root.path() / folder);
    fs::create_symlink(root.path() / "home", root.path() / "game/out");
    fs::create_symlink(root.path() / "home/new.rc", root.path() / "game/dangling");
    fs::create_symlink(root.path() / "game/sub", root.path() / "home/in");
    SetGameFolders({Path("game"), Path("save") + "/"});
    SetTrustNoticeSink([this](const std::string& text) { told.push_back(text); });
  }
  ~GamePaths() override {
    SetTrustNoticeSink(nullptr);
    SetGameFolders({});
  }
  std::string Path(const std::string& relative) const { return (root.path() / relative).string(); }

  test::TempDir root;
  test::ScopedTemporaryFolder temporary{root.path() / "tmp"};
  std::vector<std::string> told;
};

TEST_F(GamePaths, OnlyTheGamesOwnFoldersAreReachedUnlessTheGameIsTrusted) {
  struct Case {
    const char* path;
    PathUse use;
    bool allowed;
  };
  const Case cases[] = {
      {"game/NEW.TXT", PathUse::kWrite, true},
      {"game", PathUse::kWrite, true},
      {"game/sub/not/yet/made.txt", PathUse::kWrite, true},
      {"save/DATA0000.SAV", PathUse::kWrite, true},
      {"tmp/QZF0001.TMP", PathUse::kWrite, true},
      {"home/in/x", PathUse::kWrite, true},  // a link from outside into the game
      {"home/.profile", PathUse::kWrite, false},
      {"home/.profile", PathUse::kRead, false},
      {"game/../home/.profile", PathUse::kWrite, false},
      {"game/sub/../../home/x", PathUse::kWrite, false},
      {"game/out/.profile", PathUse::kWrite, false},  // a link out of the game
      {"game/dangling", PathUse::kWrite, false},      // would create the link's target
      {"game2/x", PathUse::kWrite, false},            // a sibling sharing the name's start
      {"", PathUse::kWrite, false},                   // the test folder itself
  };
  for (bool trusted : {false, true}) {
    ScopedGameTrust trust(trusted);
    for (const Case& c : cases) {
      EXPECT_EQ(GamePathAllowed(Path(c.path), c.use), c.allowed || trusted)
          << c.path << (trusted ? " (trusted)" : "");
    }
  }
}

TEST_F(GamePaths, ARefusedPathIsToldOnceAndANewRunTellsItAgain) {
  const std::string outside = Path("home/.profile");
  EXPECT_FALSE(GamePathAllowed(outside, PathUse::kWrite));
  EXPECT_FALSE(GamePathAllowed(outside, PathUse::kWrite));
  EXPECT_FALSE(GamePathAllowed(Path("home/other"), PathUse::kRead));
  ASSERT_EQ(told.size(), 2u);
  EXPECT_NE(told[0].find(outside), std::string::npos) << told[0];
  EXPECT_NE(told[0].find("--trust-game"), std::string::npos) << told[0];

  // Told with no sink, a notice waits for the next one.
  SetTrustNoticeSink(nullptr);
  ForgetTrustNotices();
  EXPECT_FALSE(GamePathAllowed(outside, PathUse::kWrite));
  SetTrustNoticeSink([this](const std::string& text) { told.push_back(text); });
  ASSERT_EQ(told.size(), 3u);
  EXPECT_NE(told[2].find(outside), std::string::npos);
}

using CountFn = int (*)();

// Windows modules and missing files are the decoder plug-in scan's failures.
TEST(Module, RepeatedLoadsShareOneCountedInstance) {
  ScopedGameTrust trust(true);
  HMODULE first = LoadLibrary(BW_TEST_PLUGIN);
  HMODULE second = LoadLibrary(BW_TEST_PLUGIN);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  auto count = reinterpret_cast<CountFn>(GetProcAddress(first, "TestPluginCount"));
  ASSERT_NE(count, nullptr);
  int before = count();
  EXPECT_TRUE(FreeLibrary(second));
  // Still loaded through the first handle: its state lives on.
  count = reinterpret_cast<CountFn>(GetProcAddress(first, "TestPluginCount"));
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(count(), before + 1);
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_FALSE(FreeLibrary(nullptr));
}

// Loading runs a module's constructors, so an untrusted game's module is never handed to the
// loader, and the refusal names it.
TEST_F(GamePaths, ANativeModuleLoadsOnlyForATrustedGame) {
  for (bool trusted : {false, true}) {
    SCOPED_TRACE(trusted);
    unsetenv("BW_TEST_PLUGIN_RAN");
    told.clear();
    ScopedGameTrust trust(trusted);
    HMODULE module = LoadLibrary(BW_TEST_PLUGIN);
    EXPECT_EQ(module != nullptr, trusted);
    ASSERT_EQ(told.size(), trusted ? 0u : 1u);
    // (A module loaded before keeps its mark from running again: only its absence is sure.)
    if (!trusted) {
      EXPECT_EQ(std::getenv("BW_TEST_PLUGIN_RAN"), nullptr) << "the constructor ran";
      EXPECT_NE(told[0].find(BW_TEST_PLUGIN), std::string::npos) << told[0];
    }
    if (module) {
      EXPECT_TRUE(FreeLibrary(module));
    }
  }
}

}  // namespace
}  // namespace bw::host
