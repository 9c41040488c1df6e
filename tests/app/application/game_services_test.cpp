// The services the game application holds: the keyword registries, the sound decoders with
// their plug-in scan, and the player's settings pushed into the channels and the action table.
#include "app/application/game_services.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/application/game_app.h"
#include "app/input/input_binding_table.h"
#include "host/cp932.h"
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

TEST(GameServices, PublishesItsServicesForItsLifetime) {
  {
    GameServices services;
    EXPECT_EQ(Global<SllPluginManager>::Get(), &services.decoders());
    EXPECT_NE(Global<SoundFileSource>::Get(), nullptr);
    EXPECT_EQ(Global<TcpPluginManager>::Get(), &services.transitions());
    EXPECT_EQ(Global<DcpPluginManager>::Get(), &services.effects());
    EXPECT_FALSE(services.movies().AnyLoaded());
  }
  EXPECT_EQ(Global<SllPluginManager>::Get(), nullptr);
  EXPECT_EQ(Global<SoundFileSource>::Get(), nullptr);
  EXPECT_EQ(Global<TcpPluginManager>::Get(), nullptr);
}

TEST(GameServices, StartAddsTheOggDecoderAndTheNativePluginsOfThePluginFolder) {
  test::GameFolder folder;
  {
    GameServices services;
    EXPECT_EQ(services.Start(), 0) << "no plugin folder: nothing to load";
    EXPECT_NE(services.decoders().FindByExtension("BGM\\THEME.OGG"), nullptr);
    EXPECT_EQ(services.transitions().BuiltInCount() + services.effects().BuiltInCount(), 0u);
  }

  namespace fs = std::filesystem;
  fs::create_directory(folder.dir().path() / "plugin");
  fs::copy_file(APP_TEST_SLL, folder.dir().path() / "plugin" / "testpcm.sll");
  // A Windows library of the same kind does not load; the scan goes on past it.
  folder.dir().WriteFile("plugin/AWIN.SLL", std::string("MZ\x90\0\3\0\0\0", 8));
  folder.dir().WriteFile("plugin/readme.txt", "not a plug-in");
  GameServices services;
  EXPECT_EQ(services.Start(), 1);
  EXPECT_NE(services.decoders().FindByExtension("SE\\CLICK.RAW"), nullptr);
  EXPECT_NE(services.decoders().FindByExtension("BGM\\THEME.OGG"), nullptr);
}

// The player's settings as start-up pushes them: a game run to its end, then looked at.
class SettingsPushed : public test::GameRun {
 public:
  void Run(GameApp& app) {
    WriteGame(" wait\n ret\n");
    std::vector<uint8_t> appCfg = tools::WriteAppCfg(user_);
    dir.WriteFile("SAVEDATA/APP_CFG.DAT", std::string(appCfg.begin(), appCfg.end()));
    ASSERT_EQ(RunGame(app), kExitNormal);
  }

  UserConfig user_;
};

TEST_F(SettingsPushed, TheVolumesReachTheChannelsAndTheKeysFollowTheFixedBindings) {
  constexpr uint32_t kDecide = 4, kCancel = 5, kAuto = 6, kSave = 7;
  user_.masterVolume = 200;
  user_.bgmVolume = 100;
  user_.seVolume = 120;
  user_.systemSeVolume = 130;
  user_.voiceVolume = 140;
  user_.keyCodes[1 + kSave - 4] = 0;  // no key for saving
  GameApp app;
  Run(app);
  ASSERT_NE(app.scriptHost(), nullptr);
  SoundChannelManager* channels = app.scriptHost()->soundChannels();
  ASSERT_NE(channels, nullptr);
  EXPECT_EQ(channels->MasterVolume(), 200);
  EXPECT_EQ(channels->BgmFactor(), 100);
  EXPECT_EQ(channels->DefaultFactor(0), 120);
  EXPECT_EQ(channels->DefaultFactor(1), 130);
  EXPECT_EQ(channels->DefaultFactor(2), 140);

  uint8_t* keys = app.userConfig().keyCodes + 1;  // actions 4 to 19
  InputBindingTable* table = app.bindings();
  ASSERT_NE(table, nullptr);
  auto keyAt = [&](uint32_t action, uint32_t n) {
    uint8_t code = 0;
    EXPECT_EQ(table->GetBinding(action, kDeviceKeyboard, n, &code, nullptr), 0u) << action << " " << n;
    return code;
  };
  EXPECT_EQ(table->CountBindings(kDecide, kDeviceKeyboard), 3) << "two Enter keys and Z";
  EXPECT_EQ(keyAt(kDecide, 2), 0x2C);
  EXPECT_EQ(table->CountBindings(kCancel, kDeviceKeyboard), 2) << "Escape and X";
  EXPECT_EQ(keyAt(kCancel, 1), 0x2D);
  EXPECT_EQ(keyAt(kAuto, 0), 0x1E);
  EXPECT_EQ(table->CountBindings(kSave, kDeviceKeyboard), 0);

  // Applied again after a change: replaced, removed or added, never doubled.
  keys[kDecide - 4] = 0x10;
  keys[kCancel - 4] = 0;
  keys[kSave - 4] = 0x41;
  EXPECT_EQ(app.ApplyKeyAssignments(), kAssignmentsApplied);
  EXPECT_EQ(app.ApplyKeyAssignments(), kAssignmentsApplied);
  EXPECT_EQ(table->CountBindings(kDecide, kDeviceKeyboard), 3);
  EXPECT_EQ(keyAt(kDecide, 0), 0x1C) << "the fixed keys stay";
  EXPECT_EQ(keyAt(kDecide, 2), 0x10);
  EXPECT_EQ(table->CountBindings(kCancel, kDeviceKeyboard), 1);
  EXPECT_EQ(keyAt(kCancel, 0), 0x01);
  EXPECT_EQ(table->CountBindings(kSave, kDeviceKeyboard), 1);
  EXPECT_EQ(keyAt(kSave, 0), 0x41);

  EXPECT_EQ(app.ApplyJoystickAssignments(), kAssignmentsNotKept);
  GameApp idle;
  EXPECT_FALSE(idle.ApplySoundSettings()) << "no script host";
  EXPECT_EQ(idle.ApplyKeyAssignments(), kAssignmentsNoTable);
  EXPECT_EQ(idle.ApplyJoystickAssignments(), kAssignmentsNoTable);
}

}  // namespace
}  // namespace bw
