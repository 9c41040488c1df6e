// The game services: the sound decoders with their plug-in scan, and the keyword registries.
#include "app/application/game_services.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/application/game_app.h"
#include "input/input_binding_table.h"
#include "lib/config/config_writers.h"
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

}  // namespace
}  // namespace bw
