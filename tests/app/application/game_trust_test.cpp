// A game folder is data: its scripts write only into the game folder, its save folder and the
// temporary folder, and its native modules are not loaded, unless the player trusts the game.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "graphics/surface/pixel_library.h"
#include "host/host_path.h"
#include "host/trust.h"
#include "support/game_run.h"

namespace bw {
namespace {

namespace fs = std::filesystem;

// What the script makes in the player's folder when it may.
constexpr const char* kMade[] = {"DRIVE.TXT", "UP.TXT",     "LINK.TXT",   "MADE",
                                 "MOVED.TXT", "COPIED.TXT", "EXTRACT.TXT"};

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

std::string EnginePath(const fs::path& path) {
  std::string engine;
  EXPECT_EQ(host::LinuxPathToEnginePath(path.string(), engine), host::kPathOk);
  return engine;
}

std::string Escaped(const std::string& path) {
  std::string text;
  for (char c : path) text += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return text;
}

// The temporary folder lies inside the game here, so that the player's other folder (a second
// test folder beside the game) is outside every folder the game may write.
class GameTrust : public test::GameRun {
 protected:
  GameTrust() { config.engine.logFile = 1; }

  // A main script that writes through the file natives to each target and shows their answers.
  std::string WritingMain() const {
    const std::string away = Escaped(EnginePath(outside.path()));
    const std::string up = "SCRIPT\\\\..\\\\..\\\\" + outside.path().filename().string();
    const char* created[] = {"driveFile", "upFile", "linkFile", "insideFile"};
    // Each answer goes straight into its place among the report's values.
    auto into = [](int k) { return ", reportArgs+" + std::to_string(8 + 4 * k) + "\n"; };
    std::string main;
    for (int k = 0; k < 4; ++k) {
      const std::string n = std::to_string(k);
      main += " native native:124, nothing, file\n mov file, create" + n + "\n mov file, write" +
              n + "\n mov file, close" + n + "\n native native:130, create" + n + into(k) +
              " native native:142, write" + n + ", ignored\n native native:132, close" + n +
              ", ignored\n";
    }
    main += " native native:162, folderArgs" + into(4) + " native native:163, moveArgs" + into(5) +
            " native native:164, copyArgs" + into(6) + " mov file, loadArgs\n" +
            " native native:127, loadArgs" + into(7) + " native native:805, extractArgs" + into(8) +
            " native native:67, reportArgs, ignored\n"
            " native native:796, show, ignored\n"
            " ret\n";
    for (int k = 0; k < 4; ++k) {
      const std::string n = std::to_string(k);
      main += "create" + n + ": .word 0, " + created[k] + ", 1\nwrite" + n +
              ": .word 0, line\nclose" + n + ": .word 0\n";
    }
    main += "driveFile: .string \"" + away + "\\\\DRIVE.TXT\"\n" + "upFile: .string \"" + up +
            "\\\\UP.TXT\"\n" + "linkFile: .string \"LINK\\\\LINK.TXT\"\n" +
            "insideFile: .string \"INSIDE.TXT\"\n" + "folderArgs: .word folderName\n" +
            "folderName: .string \"" + away + "\\\\MADE\"\n" +
            "moveArgs: .word moved, movedTo\nmoved: .string \"MOVED.TXT\"\n" +
            "movedTo: .string \"" + up + "\\\\MOVED.TXT\"\n" +
            "copyArgs: .word copied, copiedTo, 1\ncopied: .string \"COPIED.TXT\"\n" +
            "copiedTo: .string \"" + away + "\\\\COPIED.TXT\"\n" +
            "line: .string \"written by the game\"\n" +
            "loadArgs: .word 0, secret\nsecret: .string \"" + away + "\\\\SECRET.TXT\"\n" +
            "extractArgs: .word copied, extracted\n" + "extracted: .string \"" + away +
            "\\\\EXTRACT.TXT\"\n" +
            "reportArgs: .word report, format, 9, 9, 9, 9, 9, 9, 9, 9, 9\n" +
            "format: .string \"%d %d %d %d %d %d %d %d %d\"\n" +
            "show: .word title, report, 2\ntitle: .string \"Files\"\n" +
            "nothing: .word 0\nfile: .word 0\nignored: .word 0\nreport: .space 64\n";
    return main;
  }

  test::TempDir outside;  // the player's own folder
  test::ScopedTemporaryFolder temporary{dir.path() / "TEMP"};
};

TEST_F(GameTrust, ScriptsWriteOutsideTheGameOnlyWhenThePlayerTrustsIt) {
  struct Case {
    bool trusted;
    // 130 by drive, by "..", through a link, inside; 162, 163, 164, 127 (a read), 805
    const char* answers;
  };
  // Outside, each native answers its failure as for a denied path or a missing file.
  const Case cases[] = {{false, "3 3 3 0 2 3 -1 3 2"}, {true, "0 0 0 0 0 0 0 0 0"}};
  outside.WriteFile("SECRET.TXT", "the player's");
  fs::create_directory_symlink(outside.path(), dir.path() / "LINK");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.trusted);
    for (const char* made : kMade) fs::remove(outside.path() / made);
    dir.WriteFile("MOVED.TXT", "moved");
    dir.WriteFile("COPIED.TXT", "copied");
    WriteGame(WritingMain());
    host::ScopedGameTrust trust(c.trusted);
    {
      GameApp app;
      testing::internal::CaptureStderr();
      const int status = RunGame(app);
      const std::string errors = testing::internal::GetCapturedStderr();
      ASSERT_EQ(status, kExitNormal) << errors;
      EXPECT_EQ(Count(errors, "DRIVE.TXT"), c.trusted ? 0u : 1u) << errors;
    }
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{c.answers});
    EXPECT_EQ(test::ReadFile(dir.path() / "INSIDE.TXT"), "written by the game");
    for (const char* made : kMade) EXPECT_EQ(fs::exists(outside.path() / made), c.trusted) << made;
    EXPECT_EQ(fs::exists(dir.path() / "MOVED.TXT"), !c.trusted) << "the source stays";
    // Each refused path is named once in the log.
    const std::string log = test::ReadFile(dir.path() / "SYS_LOG.TXT");
    EXPECT_EQ(Count(log, (outside.path() / "DRIVE.TXT").string()), c.trusted ? 0u : 1u) << log;
    EXPECT_EQ(Count(log, (outside.path() / "MADE").string()), c.trusted ? 0u : 1u) << log;
  }
}

#ifdef BW_TEST_PIXEL_LIBRARY_DIR
// A pixel library built as a native module stands in the game folder: the built-in routines
// stand in for it unless the player trusts the game, and the log names the module skipped.
TEST_F(GameTrust, TheGamesNativePixelLibraryLoadsOnlyWhenTrusted) {
  WriteGame(test::kLoopForever);
  fs::remove(dir.path() / "tvpgl.dll");
  fs::copy_file(fs::path(BW_TEST_PIXEL_LIBRARY_DIR) / "tvpgl.dll", dir.path() / "tvpgl.dll");
  for (bool trusted : {false, true}) {
    SCOPED_TRACE(trusted);
    host::ScopedGameTrust trust(trusted);
    auto app = std::make_unique<GameApp>();
    ASSERT_TRUE(Start(*app));
    ASSERT_NE(GetPixelLibrary(), nullptr);
    EXPECT_EQ(GetPixelLibrary()->GetModule() != nullptr, trusted);
    EXPECT_EQ(GetPixelLibrary() == &BuiltInPixelLibrary(), !trusted);
    app->AppShutdown(0);
    app.reset();
    EXPECT_EQ(GetPixelLibrary(), nullptr) << "given back with the application";
    const std::string log = test::ReadFile(dir.path() / "SYS_LOG.TXT");
    EXPECT_EQ(Count(log, "did not load the native module " + (dir.path() / "tvpgl.dll").string()),
              trusted ? 0u : 1u)
        << log;
  }
}
#endif

}  // namespace
}  // namespace bw
