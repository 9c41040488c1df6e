// Label: optimised
// The built program run headless on copies of the demo game folder, watched from outside: its
// exit status, its messages and the files it leaves behind.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/config/config_block.h"
#include "app/config/engine_config.h"
#include "e2e/demo_scene.h"
#include "host/presentation_sink.h"
#include "lib/file_bytes.h"
#include "lib/sob/sob_assembler.h"
#include "lib/vfa/vfa_writer.h"
#include "support/demo_copy.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

const fs::path kGame = BRIMWOLD_DEMO_GAME;
const fs::path kPackMembers = BRIMWOLD_DEMO_MEMBERS;

constexpr const char* kAppRecordFailed = "アプリケーション設定ファイルの読み込みに失敗";
constexpr const char* kIllegalScript = "不正なスクリプトを実行しました";

// A copy of the demo game folder the test may spoil, and a home for the run.
class DemoRun : public test::DemoGameTest {
 protected:
  void SetUp() override { test::CopyDemoGame(kGame, game.path()); }

  test::PlayedRun Run(const std::vector<std::string>& switches = {}) { return Play(switches); }

  // The settings the run left in the game folder.
  EngineConfig SavedSettings() {
    std::vector<uint8_t> bytes;
    EngineConfig config;
    EXPECT_TRUE(tools::ReadFileBytes(game.path() / "USER.CFG", bytes));
    EXPECT_EQ(ReadEngineConfig(bytes, config), kConfigOk);
    return config;
  }

  // SCRIPT.VFA packed again from the demo's members after change has had its way with them.
  void Repack(const std::function<void(std::vector<tools::VfaMemberSource>&)>& change) {
    std::vector<tools::VfaMemberSource> members;
    std::string error;
    ASSERT_TRUE(tools::CollectVfaMembers(kPackMembers, members, &error)) << error;
    change(members);
    std::vector<uint8_t> pack;
    ASSERT_TRUE(tools::BuildVfaPack("SCRIPT.VFA", members, {}, pack, &error)) << error;
    game.WriteFile("SCRIPT.VFA", std::string(pack.begin(), pack.end()));
  }

  static void Replace(std::vector<tools::VfaMemberSource>& members, const std::string& name,
                      std::vector<uint8_t> bytes) {
    for (auto& m : members) {
      if (m.name == name) {
        m.data = std::move(bytes);
        return;
      }
    }
    ADD_FAILURE() << name << " is not a member";
  }
};

// The title's quit button (the fourth, centred at 400, 532) clicked once the title stands.
const std::string kQuit = "BRIMWOLD_HEADLESS_INPUT=60:move:400:532,62:click:400:532";

// The run shows the title and ends normally by its quit button and saves; run again from the
// shipped settings with the scripts translated to machine code, it shows the same frames and
// counts alike.
TEST_F(DemoRun, EndsNormallySavesAndRunsTheSameWithScriptsTranslated) {
  const fs::path userCfg = game.path() / "USER.CFG";
  const auto shippedTime = fs::file_time_type::clock::now() - std::chrono::hours(24 * 365);
  fs::last_write_time(userCfg, shippedTime);
  EngineConfig shipped = SavedSettings();
  ASSERT_EQ(shipped.pacing.jit, 0);
  const std::vector<uint8_t> black(800 * 600 * 4, 0);
  const uint64_t blackHash = host::Fnv1a64(black.data(), black.size());
  test::PlayedRun plain = Run({"BRIMWOLD_HEADLESS_HASHES=2,50", kQuit});
  EXPECT_EQ(plain.status, 0) << plain.errors;
  const std::map<uint32_t, uint64_t> hashes = plain.hashes;
  ASSERT_EQ(hashes.size(), 2u) << plain.errors;
  EXPECT_NE(hashes.at(50), blackHash) << "the title stands";
  EXPECT_NE(fs::last_write_time(userCfg), shippedTime) << "USER.CFG saved at the exit";
  EXPECT_EQ(SavedSettings().display.screenMode, kSavedScreenWindow);
  EXPECT_EQ(SavedSettings().pacing.scriptSetting9, 1)
      << "MAIN started once and kept its count there";
  EXPECT_TRUE(fs::is_regular_file(game.path() / "SAVEDATA" / "APP_CFG.DAT"))
      << "mode 1 keeps the saves beside the game";

  shipped.pacing.jit = 1;
  const std::vector<uint8_t> bytes = EncodeEngineConfig(shipped);
  game.WriteFile("USER.CFG", std::string(bytes.begin(), bytes.end()));
  test::PlayedRun translated = Run({"BRIMWOLD_HEADLESS_HASHES=2,50", kQuit});
  EXPECT_EQ(translated.status, 0) << translated.errors;
  EXPECT_EQ(translated.hashes, hashes);
  EXPECT_EQ(SavedSettings().pacing.jit, 1);
  EXPECT_EQ(SavedSettings().pacing.scriptSetting9, 1) << "the translated scripts kept count alike";
}

// "Return to title" (40002) chosen from the menu at frame 30 and its question answered "はい":
// MAIN starts again, counts its second start and builds the title again, whose quit button
// ends the game.
TEST_F(DemoRun, ReturnsToTheTitleFromTheMenu) {
  constexpr int kAnswerYes = 1;
  test::PlayedRun r = Run({"BRIMWOLD_HEADLESS_COMMANDS=30:40002",
                           "BRIMWOLD_HEADLESS_ANSWERS=" + std::to_string(kAnswerYes),
                           "BRIMWOLD_HEADLESS_HASHES=29,250",
                           "BRIMWOLD_HEADLESS_INPUT=120:move:400:532,122:click:400:532"});
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(SavedSettings().pacing.scriptSetting9, 2) << "MAIN started again and counted it";
  EXPECT_TRUE(r.hashes.contains(29)) << r.errors;
  EXPECT_FALSE(r.hashes.contains(250)) << "the game ended by the second title's quit button";
}

TEST_F(DemoRun, AMalformedAppRecordStartsWithDefaults) {
  // An empty record, and bytes after it that belong to no record.
  // A MAIN that waits once and ends: the title is laid out for the demo's own screen.
  sob::AssembleResult ending = sob::Assemble(".sob0\n wait\n ret\n");
  ASSERT_TRUE(ending.ok) << ending.error;
  Repack([&](auto& members) {
    Replace(members, "QZ_APP.SYS", {0x00, 0x00, 0xDE, 0xAD, 0xBE});
    Replace(members, "MAIN.SOB", ending.bytes);
  });
  test::PlayedRun r = Run();
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.errors.find(kAppRecordFailed), std::string::npos);
  EXPECT_TRUE(fs::is_regular_file(game.path() / "SAVEDATA" / "APP_CFG.DAT"));
}

// Each spoiling rewrites the game's SCRIPT.VFA; the run is refused with its message and a
// non-zero status, and the player's settings survive.
TEST_F(DemoRun, RefusesGamesItCannotStart) {
  sob::AssembleResult faulting = sob::Assemble(".sob0\n wait\n op 250\n");
  ASSERT_TRUE(faulting.ok) << faulting.error;
  struct Case {
    const char* what;
    std::function<void()> spoil;
    const char* message;
  };
  const Case cases[] = {
      {"no SCRIPT.VFA", [&] { fs::remove(game.path() / "SCRIPT.VFA"); }, kAppRecordFailed},
      {"no QZ_APP.SYS in the pack",
       [&] {
         Repack([](auto& m) { std::erase_if(m, [](auto& e) { return e.name == "QZ_APP.SYS"; }); });
       },
       kAppRecordFailed},
      {"a faulting MAIN", [&] { Repack([&](auto& m) { Replace(m, "MAIN.SOB", faulting.bytes); }); },
       kIllegalScript},
  };
  // The settings as they were, but for the window's place: a window that was shown is centred,
  // and its place is kept.
  const auto withoutPlace = [](std::string cfg) {
    constexpr size_t kWindowPlace = 2 + 72 + 2 + 2;  // the display block's left and top
    if (cfg.size() >= kWindowPlace + 8) cfg.replace(kWindowPlace, 8, 8, '\0');
    return cfg;
  };
  const std::string settings = withoutPlace(test::ReadFile(game.path() / "USER.CFG"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.spoil();
    test::PlayedRun r = Run();
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.errors.find(c.message), std::string::npos) << r.errors;
    EXPECT_EQ(withoutPlace(test::ReadFile(game.path() / "USER.CFG")), settings);
    if (c.message == kAppRecordFailed) {
      EXPECT_FALSE(fs::exists(game.path() / "SAVEDATA")) << "nothing saved by a refused start";
    }
  }
}

}  // namespace
}  // namespace bw
