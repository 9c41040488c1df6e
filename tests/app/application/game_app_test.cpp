// Label: threads
// The game application headless: start-up and its refusals, MAIN's run and its exit status, the
// interrupt and the settings written at the end.
#include "app/application/game_app.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "app/application/game_services.h"
#include "effects/transitions/wipe_transitions.h"
#include "graphics/device/render_item.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"
#include "host/headless/headless_backend.h"
#include "host/message_queue.h"
#include "host/trust.h"
#include "lib/sob/sob_assembler.h"
#include "sound/movie_control.h"
#include "sound/sll_plugin_manager.h"
#include "support/game_folder.h"
#include "support/game_run.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

using test::GameRun;
using test::kLoopForever;
using test::kPeriodMs;
using test::Once;

TEST_F(GameRun, RunsMainToItsEndAndSavesTheSettingsInTheRebasedFolder) {
  WriteGame(" wait\n wait\n ret\n");
  // Trailing bytes the reader passes over: a settings file written back is the plain encoding.
  std::filesystem::path userCfg = dir.path() / "USER.CFG";
  {
    std::ofstream append(userCfg, std::ios::binary | std::ios::app);
    append << "trailing";
  }
  GameApp app;
  EXPECT_EQ(RunGame(app), kExitNormal);
  EXPECT_TRUE(MessageTexts().empty());
  // Mode 1 under "/L": the settings go back where start-up read them, without the trailing bytes.
  EXPECT_EQ(std::filesystem::file_size(userCfg), EncodeEngineConfig(config).size());
  EXPECT_EQ(std::filesystem::file_size(dir.path() / "SAVEDATA/APP_CFG.DAT"), 4 + UserConfig::kSize);
  EXPECT_EQ(app.GetSaveFolder().back(), '\\');
}

// The settings written between saves (the rings' counters) and at the end: a write that fails
// is told each time, and the run ends with the status that says its settings were not saved.
TEST_F(GameRun, SettingsThatCannotBeWrittenAreToldAndTheRunSaysSo) {
  GameApp app;
  ASSERT_TRUE(StartLooping(app));
  std::filesystem::remove(dir.path() / "SAVEDATA/APP_CFG.DAT");
  dir.WriteFile("SAVEDATA/APP_CFG.DAT/inside", "a folder took its place");
  MessageTexts();
  SaveSettings ring = app.SaveSettingsSource()->GetSaveSettings();
  ring.nextQuickSlot = 6;
  app.SaveSettingsSource()->SetSaveSettings(ring, true);
  const std::vector<std::string> failed{"アプリケーション設定ファイルの保存に失敗"};
  EXPECT_EQ(MessageTexts(), failed);
  app.AppShutdown(0);
  EXPECT_EQ(std::tuple(MessageTexts(), app.ExitStatus()),
            std::tuple(failed, kExitSettingsNotSaved));
}

// A game torn down without its shut-down (a failed test, an exception) closes its windows with
// none of its handlers called on the half-destroyed object (the sanitizer would report it), and
// leaves no device published and no quit for the next game's loop on this thread.
TEST_F(GameRun, AStartedGameDestroyedWithoutItsShutDownCallsNoHandlerOfIts) {
  auto app = std::make_unique<GameApp>();
  ASSERT_TRUE(StartLooping(*app));
  const host::HWND window = app->MainWindow().GetHandle();
  app.reset();
  EXPECT_EQ(std::tuple(host::IsWindow(window), Global<DirectDrawDevice>::Get(),
                       Global<Direct3DDevice>::Get()),
            std::tuple(false, nullptr, nullptr));
  host::MSG quit;
  EXPECT_FALSE(
      host::PeekMessage(&quit, host::HWND{}, host::WM_QUIT, host::WM_QUIT, host::PM_NOREMOVE));
}

// A refused start ends with its code and saves nothing; a failing script ends non-zero and still
// saves. Each shows its one message.
TEST_F(GameRun, EachRefusedStartAndScriptFailureShowsItsMessageAndEndsNonZero) {
  struct Case {
    const char* name;
    std::function<void(GameRun&)> spoil;
    int code;                      // 0: any but a normal end
    const char* message;           // its first line
    const char* detail = nullptr;  // on standard error, where the box leaves it out
  };
  const Case cases[] = {
      {"no MAIN", [](GameRun& g) { std::filesystem::remove(g.dir.path() / "SCRIPT/MAIN.SOB"); }, 0,
       "メインスクリプトを開けません"},
      {"MAIN whose code does not parse",
       [](GameRun& g) {
         sob::FaultSwitches faults;
         faults.badTerminator = true;
         sob::AssembleResult main = sob::Assemble(".sob0\n ret\n", faults);
         g.dir.WriteFile("SCRIPT/MAIN.SOB", std::string(main.bytes.begin(), main.bytes.end()));
       },
       0, "デバッグモード用のスクリプトです", "SCRIPT\\MAIN.SOB: 44 bytes were read"},
      {"started from a CD-ROM",
       [](GameRun& g) { g.backend.SetFileSystemType(g.dir.path().string() + "/", "iso9660"); },
       kStartupCdRom, "ハードディスクから起動してください"},
      // A game that may use full screen starts anyway; one that has only the window cannot.
      {"256 colours",
       [](GameRun& g) {
         g.record.defaultScreenMode = kScreenWindowOnly;
         g.WriteGame(kLoopForever);
         g.backend.SetDesktop({1024, 768, 8, {}});
       },
       kStartupDisplay, "画面モードをHighColor(16bit)以上にして起動して下さい"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    record.defaultScreenMode = kScreenBoth;
    WriteGame(kLoopForever);
    std::filesystem::remove_all(dir.path() / "SAVEDATA");
    c.spoil(*this);
    MessageTexts();  // forget earlier boxes
    {
      GameApp app;
      testing::internal::CaptureStderr();
      const int status = RunGame(app);
      const std::string errors = testing::internal::GetCapturedStderr();
      EXPECT_TRUE(c.code ? status == c.code : status != kExitNormal) << status;
      EXPECT_TRUE(!c.detail || errors.find(c.detail) != std::string::npos) << errors;
    }
    std::vector<std::string> texts = MessageTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(c.code ? texts[0].substr(0, texts[0].find('\n')) : texts[0], c.message);
    EXPECT_EQ(Exists("SAVEDATA/APP_CFG.DAT"), c.code == 0);
    if (c.code) {  // the refusals come last: the failing scripts run on the first desktop
      backend.SetDesktop({1024, 768, 32, {}});
      backend.SetFileSystemType(dir.path().string() + "/", "ext4");
    }
  }
}

// The program's test stops a second copy; without the single-instance request two may run.
TEST_F(GameRun, WithoutTheSingleInstanceRequestTwoMayRun) {
  record.singleInstance = 0;
  WriteGame(" ret\n");
  InstanceLock first;
  ASSERT_TRUE(first.Acquire(locks.path().string(), "Brimwold DX" + info.appName));
  GameApp second;
  EXPECT_EQ(RunGame(second), kExitNormal);
}

TEST_F(GameRun, AnInterruptThatCannotRestartMainEndsTheRunNonZero) {
  WriteGame(kLoopForever);
  GameApp app;
  test::List(app.FirstTimers(), Once([&] {
               std::filesystem::remove(dir.path() / "SCRIPT/MAIN.SOB");
               app.RequestInterrupt(kInterruptRestartOther);
             }),
             5 * kPeriodMs, 0, 1);
  EXPECT_NE(RunGame(app), kExitNormal);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"スクリプト割り込みに失敗しました"});
}

// The game services: the sound decoders with their plug-in scan, and the keyword registries.
TEST(GameServices, StartAddsTheOggDecoderAndTheNativePluginsOfThePluginFolder) {
  test::GameFolder folder;
  {
    GameServices services;
    EXPECT_EQ(services.Start(), 0) << "no plugin folder: nothing to load";
    EXPECT_TRUE(services.Effects().Modules().empty() && services.Transitions().Modules().empty())
        << "start-up loads no effect plug-in";
  }

  namespace fs = std::filesystem;
  fs::create_directory(folder.dir().path() / "plugin");
  fs::copy_file(APP_TEST_SLL, folder.dir().path() / "plugin" / "testpcm.sll");
  // A Windows library of the same kind does not load; the scan goes on past it.
  folder.dir().WriteFile("plugin/AWIN.SLL", std::string("MZ\x90\0\3\0\0\0", 8));
  folder.dir().WriteFile("plugin/readme.txt", "not a plug-in");
  // The native plug-in loads only for a game the player trusts.
  for (bool trusted : {false, true}) {
    host::ScopedGameTrust trust(trusted);
    GameServices services;
    EXPECT_EQ(services.Start(), trusted ? 1 : 0);
    EXPECT_EQ(services.Decoders().FindByExtension("SE\\CLICK.RAW") != nullptr, trusted);
    EXPECT_NE(services.Decoders().FindByExtension("BGM\\THEME.OGG"), nullptr);
  }
}

using ServicesRun = test::GameRun;

// What the application publishes for movies and wipes lives as long as it does.
TEST_F(ServicesRun, TheApplicationPublishesMoviesAndWipesForItsLifetime) {
  config.engine.canvas = 1;
  auto app = std::make_unique<GameApp>();
  ASSERT_TRUE(StartLooping(*app));
  ASSERT_EQ(app->FrameThreadBegin(), 0);
  EXPECT_TRUE(GetMovieLibrary(MovieLibraryKind::kSprite) &&
              GetMovieLibrary(MovieLibraryKind::kWindow) &&
              !GetMovieLibrary(MovieLibraryKind::kPrimitive))
      << "the canvas picks the sprite form";
  app->GetUserConfig().movieVolume = 128;
  EXPECT_TRUE(app->ApplySoundSettings());
  EXPECT_EQ(MovieVolumeSetting(), 128u);
  SetMovieVolumeSetting(256);

  ASSERT_NE(Global<WipeTransitions>::Get(), nullptr);
  ImageSurface target;
  ASSERT_EQ(target.Create(16, 16, 32, 0), 0);
  const uint32_t wipe = Global<WipeTransitions>::Get()->Start(0, 100, &target, nullptr, {});
  EXPECT_TRUE(app->SecondTimers().Contains(wipe)) << "on the effects' timer service";
  app.reset();
  EXPECT_EQ(std::tuple(Global<WipeTransitions>::Get(), GetMovieLibrary(MovieLibraryKind::kWindow)),
            std::tuple(nullptr, nullptr));
}

// The pixel library follows the game folder: a file of its name that cannot load as a shared
// object has the built-in table stand in, and without the file the game runs without one: sprites
// refuse their pictures, the library's own operations answer "no library" and an alpha blit clears
// the target's alpha. A same-shaped shared object is GameTrust's.
TEST_F(ServicesRun, TheGameFoldersPixelLibraryIsPublishedOnlyWhenTheFolderShipsOne) {
  WriteGame("l:\n wait\n jmp l\n");
  namespace fs = std::filesystem;
  fs::remove(dir.path() / "tvpgl.dll");
  struct Shipped {
    const char* what;
    std::function<void()> ship;
    int libOpLevel;  // 2: no library; 3: the routine is not in the table
    uint32_t alphaAfterBlit;
    int sprite;
  };
  const Shipped cases[] = {
      {"none", [] {}, ImageSurface::kOpBadFormat, 0, kSpriteNoLibrary},
      {"the game's Windows module",
       [&] { dir.WriteFile("TVPGL.DLL", std::string("MZ\x90\0\3\0\0\0", 8)); }, 3, 0x80, 0},
  };
  for (const Shipped& c : cases) {
    SCOPED_TRACE(c.what);
    c.ship();
    auto app = std::make_unique<GameApp>();
    ASSERT_TRUE(Start(*app));
    EXPECT_EQ(GetPixelLibrary(), c.libOpLevel == 3 ? &BuiltInPixelLibrary() : nullptr);
    ImageSurface target, source;
    ASSERT_EQ(target.Create(4, 4, 32, 0) | source.Create(4, 4, 32, 0), 0);
    (void)target.Fill(0x80102030, nullptr);
    (void)source.Fill(0x80FFFFFF, nullptr);
    EXPECT_EQ(target.LibOpLevel(1, 5, 0, nullptr), c.libOpLevel);
    ASSERT_EQ(target.AlphaBlit(&source, 0, 0, nullptr, false), 0);
    EXPECT_EQ(target.GetRowPointer(0)[3], c.alphaAfterBlit);
    Sprite sprite;
    EXPECT_EQ(sprite.SetImage(&source, nullptr, 0, 0), c.sprite);
    app->AppShutdown(0);
    app.reset();
    EXPECT_EQ(GetPixelLibrary(), nullptr) << "given back with the application";
  }
}

}  // namespace
}  // namespace bw
