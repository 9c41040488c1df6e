// The game services: the sound decoders with their plug-in scan, and the keyword registries.
#include "app/application/game_services.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "app/application/game_app.h"
#include "effects/transitions/wipe_transitions.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"
#include "input/input_binding_table.h"
#include "lib/config/config_writers.h"
#include "sound/movie_control.h"
#include "sound/sll_plugin_manager.h"
#include "sound/sound_channel_manager.h"
#include "sound/sound_decoder.h"
#include "support/game_folder.h"
#include "support/game_run.h"

namespace bw {
namespace {

TEST(GameServices, StartAddsTheOggDecoderAndTheNativePluginsOfThePluginFolder) {
  test::GameFolder folder;
  {
    GameServices services;
    EXPECT_EQ(services.Start(), 0) << "no plugin folder: nothing to load";
    EXPECT_NE(services.Decoders().FindByExtension("BGM\\THEME.OGG"), nullptr);
    EXPECT_TRUE(services.Effects().Modules().empty() && services.Transitions().Modules().empty())
        << "start-up loads no effect plug-in";
  }

  namespace fs = std::filesystem;
  fs::create_directory(folder.dir().path() / "plugin");
  fs::copy_file(APP_TEST_SLL, folder.dir().path() / "plugin" / "testpcm.sll");
  // A Windows library of the same kind does not load; the scan goes on past it.
  folder.dir().WriteFile("plugin/AWIN.SLL", std::string("MZ\x90\0\3\0\0\0", 8));
  folder.dir().WriteFile("plugin/readme.txt", "not a plug-in");
  GameServices services;
  EXPECT_EQ(services.Start(), 1);
  EXPECT_NE(services.Decoders().FindByExtension("SE\\CLICK.RAW"), nullptr);
  EXPECT_NE(services.Decoders().FindByExtension("BGM\\THEME.OGG"), nullptr);
}

using ServicesRun = test::GameRun;

// What the application publishes for movies and wipes lives as long as it does.
TEST_F(ServicesRun, TheApplicationPublishesMoviesAndWipesForItsLifetime) {
  config.engine.canvas = 1;
  WriteGame("l:\n wait\n jmp l\n");
  auto app = std::make_unique<GameApp>();
  ASSERT_TRUE(Start(*app));
  ASSERT_EQ(app->FrameThreadBegin(), 0);
  EXPECT_NE(GetMovieLibrary(MovieLibraryKind::kSprite), nullptr)
      << "the canvas picks the sprite form";
  EXPECT_EQ(GetMovieLibrary(MovieLibraryKind::kPrimitive), nullptr);
  EXPECT_NE(GetMovieLibrary(MovieLibraryKind::kWindow), nullptr);
  app->GetUserConfig().movieVolume = 128;
  app->ApplySoundSettings();
  EXPECT_EQ(MovieVolumeSetting(), 128u);
  SetMovieVolumeSetting(256);

  ASSERT_NE(Global<WipeTransitions>::Get(), nullptr);
  ImageSurface target;
  ASSERT_EQ(target.Create(16, 16, 32, 0), 0);
  const uint32_t wipe = Global<WipeTransitions>::Get()->Start(0, 100, &target, nullptr, {});
  EXPECT_TRUE(app->SecondTimers().Contains(wipe)) << "on the effects' timer service";
  app.reset();
  EXPECT_EQ(Global<WipeTransitions>::Get(), nullptr);
  EXPECT_EQ(GetMovieLibrary(MovieLibraryKind::kWindow), nullptr);
}

// The pixel library follows the game folder: a file of its name that cannot load as a shared
// object has the built-in table stand in, a same-shaped shared object is loaded, and without the
// file the game runs without one: sprites refuse their pictures, the library's own operations
// answer "no library" and an alpha blit clears the target's alpha.
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
    target.Fill(0x80102030, nullptr);
    source.Fill(0x80FFFFFF, nullptr);
    EXPECT_EQ(target.LibOpLevel(1, 5, 0, nullptr), c.libOpLevel);
    ASSERT_EQ(target.AlphaBlit(&source, 0, 0, nullptr, false), 0);
    EXPECT_EQ(target.GetRowPointer(0)[3], c.alphaAfterBlit);
    Sprite sprite;
    EXPECT_EQ(sprite.SetImage(&source, nullptr, 0, 0), c.sprite);
    app->AppShutdown(0);
    app.reset();
    EXPECT_EQ(GetPixelLibrary(), nullptr) << "given back with the application";
  }
#ifdef BW_TEST_PIXEL_LIBRARY_DIR
  fs::remove(dir.path() / "TVPGL.DLL");
  fs::copy_file(fs::path(BW_TEST_PIXEL_LIBRARY_DIR) / "tvpgl.dll", dir.path() / "tvpgl.dll");
  auto app = std::make_unique<GameApp>();
  ASSERT_TRUE(Start(*app));
  ASSERT_NE(GetPixelLibrary(), nullptr);
  EXPECT_NE(GetPixelLibrary()->GetModule(), nullptr) << "the folder's own shared object";
  app->AppShutdown(0);
  app.reset();
  EXPECT_EQ(GetPixelLibrary(), nullptr);
#endif
}

}  // namespace
}  // namespace bw
