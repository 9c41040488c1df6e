// The keyword registries and the sound decoders with their plug-in scan.
#include "app/application/game_services.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/application/game_app.h"
#include "host/cp932.h"
#include "input/input_binding_table.h"
#include "lib/config/config_writers.h"
#include "sound/sll_plugin_manager.h"
#include "sound/sound_channel_manager.h"
#include "sound/sound_decoder.h"
#include "support/game_folder.h"
#include "support/game_run.h"

namespace bw {
namespace {

void FactoryA() {}
void FactoryB() {}

EffectFactoryRecord Record(host::FARPROC factory, std::string keyword) {
  EffectFactoryRecord r;
  r.factory = factory;
  r.keyword = std::move(keyword);
  return r;
}

TEST(KeywordRegistry, FindsByKeywordInAnyAsciiCaseAndKeepsTheFirst) {
  TcpPluginManager registry;
  EXPECT_EQ(registry.Find("cross"), nullptr) << "built with empty lists";
  EXPECT_EQ(registry.Register(Record(FactoryA, "cross")), kFactoryRegistered);
  EXPECT_EQ(registry.Register(Record(FactoryB, "CROSS")), kFactoryDuplicate);
  ASSERT_NE(registry.Find("Cross"), nullptr);
  EXPECT_EQ(registry.Find("Cross")->factory, &FactoryA);
  EXPECT_EQ(registry.Find("cros"), nullptr);

  // Only ASCII folds: a kana's trail byte is never a letter to fold.
  const std::string kana = host::Cp932Literal("ア") + "x";  // 0x83 0x41: the trail byte is 'A'
  const std::string other = std::string("\x83\x61") + "x";   // 0x83 0x61: the trail byte is 'a'
  EXPECT_EQ(registry.Register(Record(FactoryB, kana)), kFactoryRegistered);
  EXPECT_NE(registry.Find(host::Cp932Literal("ア") + "X"), nullptr);
  EXPECT_EQ(registry.Find(other), nullptr);

  EXPECT_EQ(registry.Register(Record(nullptr, "rule")), kFactoryIncomplete);
  EXPECT_EQ(registry.Register(Record(FactoryA, "")), kFactoryIncomplete);
  EXPECT_EQ(registry.BuiltInCount(), 2u);
  EXPECT_EQ(registry.PluginCount(), 0u);
}

TEST(GameServices, StartAddsTheOggDecoderAndTheNativePluginsOfThePluginFolder) {
  test::GameFolder folder;
  {
    GameServices services;
    EXPECT_EQ(services.Start(), 0) << "no plugin folder: nothing to load";
    EXPECT_NE(services.Decoders().FindByExtension("BGM\\THEME.OGG"), nullptr);
    EXPECT_EQ(services.Transitions().BuiltInCount() + services.Effects().BuiltInCount(), 0u);
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
