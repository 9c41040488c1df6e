// The game services: the sound decoders with their plug-in scan, and the keyword registries.
#include "app/application/game_services.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/application/game_app.h"
#include "effects/transitions/wipe_transitions.h"
#include "graphics/surface/image_surface.h"
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

}  // namespace
}  // namespace bw
