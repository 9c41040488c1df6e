#include <gtest/gtest.h>

#include <iterator>
#include <random>

#include "app/config/app_info.h"
#include "app/config/app_record.h"
#include "app/config/config_block.h"
#include "app/config/engine_config.h"
#include "app/config/setup_info.h"
#include "app/config/user_config.h"
#include "lib/config/config_writers.h"
#include "support/game_run.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

using tools::ConfigRecord;
using Bytes = std::vector<uint8_t>;

template <class Block>
Bytes Encoded(const Block& block) {
  auto bytes = EncodeBlock(block);
  return Bytes(bytes.begin(), bytes.end());
}

// A block of n bytes, zero but for the listed {offset, value} bytes.
Bytes Sparse(size_t n, std::initializer_list<std::pair<size_t, uint8_t>> set) {
  Bytes bytes(n, 0);
  for (auto [offset, value] : set) bytes[offset] = value;
  return bytes;
}

void PutLe32(Bytes& bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

Bytes RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes bytes(n);
  for (auto& b : bytes) b = static_cast<uint8_t>(rng());
  return bytes;
}

template <class Block>
Block RandomBlock(uint32_t seed) {
  Block block;
  DecodeBlock<Block>(std::span<const uint8_t, Block::kSize>(RandomBytes(Block::kSize, seed)),
                     block);
  return block;
}

// The blocks a fresh install writes, byte for byte.
TEST(ConfigLayout, DefaultsAreTheShippedBytes) {
  // clang-format off
  EXPECT_EQ(Encoded(AppRecord{}), (Bytes{0x80, 0x02, 0xE0, 0x01, 0x00, 0x00, 0xCA, 0x00, 0, 0, 0, 0,
                                         0, 0, 0, 0, 0, 0, 1, 2, 0, 1, 1}));
  EXPECT_EQ(Encoded(EngineSettings{}), Sparse(72, {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {9, 1},
      {10, 1}, {13, 1}, {16, 2}, {17, 1}, {18, 1}, {20, 1}, {21, 2}, {22, 1}, {23, 1}}));
  EXPECT_EQ(Encoded(DisplaySettings{}),
            (Bytes{0, 3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0}));
  EXPECT_EQ(Encoded(FramePacingSettings{}),
            (Bytes{0, 1, 1, 0, 1, 0, 1, 1, 1, 1, 0, 0x00, 0x02, 1, 1, 0, 1}));

  Bytes user = Sparse(196, {{25, 30}, {27, 30}, {29, 150}, {31, 30}, {70, 2}, {74, 140}, {174, 2},
                            {178, 5}, {192, 5}});
  for (size_t offset : {0, 4, 5, 7, 8, 9, 11, 13, 15, 16, 26, 30, 68, 73, 81, 82, 83, 84, 130, 149,
                        153, 155, 159, 162, 163, 164, 165, 166, 172, 173, 179, 180, 181, 182, 183,
                        190, 191}) {
    user[offset] = 1;
  }
  for (auto [offset, value] : {std::pair<size_t, uint32_t>{20, 750}, {32, 1000}, {76, 0x106EA8},
                               {88, 256}, {92, 150}, {96, 160}, {100, 170}, {104, 256}, {168, 256}}) {
    PutLe32(user, offset, value);
  }
  const std::string face = "\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E";  // ＭＳ ゴシック
  std::copy(face.begin(), face.end(), user.begin() + 36);
  const uint8_t keys[17] = {0x41, 0x2C, 0x2D, 0x1E, 0x41, 0x42, 0x43, 0x44, 0x39,
                            0x32, 0x2E, 0xD2, 0x1F, 0x0E, 0x14, 0xC9, 0xD1};
  // clang-format on
  std::copy(std::begin(keys), std::end(keys), user.begin() + 113);
  EXPECT_EQ(Encoded(UserConfig{}), user);
  EXPECT_EQ(UserConfig{}.FontFaceName(), face);
}

// Every byte of every block matters: random blocks must come back unchanged (the user block's
// every byte is the known answer's).
TEST(ConfigRoundTrip, TheBlockFilesReadBackWhatWasWritten) {
  EngineConfig config{RandomBlock<EngineSettings>(1), RandomBlock<DisplaySettings>(2),
                      RandomBlock<FramePacingSettings>(3), std::nullopt};
  config.chosenSaveFolder = "Z:\\home\\player\\\x95\x5C";  // ends in 表, whose trail is '\'
  EngineConfig readCfg;
  EXPECT_EQ(ReadEngineConfig(tools::WriteUserCfg(config), readCfg), kConfigOk);
  EXPECT_EQ(readCfg, config);
  EXPECT_EQ(EncodeEngineConfig(config), tools::WriteUserCfg(config));
}

TEST(ConfigRead, ShortRecordsKeepTheDefaultsTheyDoNotReach) {
  EngineConfig config;
  config.engine.logFile = 1, config.engine.inputMode = kInputDirectInput;
  config.display.windowLeft = 100, config.pacing.vsyncMode = kVSyncAlways;
  auto records = tools::UserCfgRecords(config);
  records[0].body.resize(15);  // reaches the log switch, not the input mode
  records[1].body.resize(4);   // half of the window's left edge
  records[2].body.clear();
  EngineConfig readCfg;
  ASSERT_EQ(ReadEngineConfig(tools::WriteUserCfg(records), readCfg), kConfigOk);
  EXPECT_EQ(std::tuple(readCfg.engine.logFile, readCfg.engine.inputMode),
            std::tuple(1, kInputWindowMessages));
  EXPECT_EQ(readCfg.display.windowLeft, static_cast<int32_t>(0xFFFF0064))
      << "bytes copied as they come";
  EXPECT_EQ(readCfg.pacing, FramePacingSettings{});
  EXPECT_FALSE(readCfg.chosenSaveFolder) << "a fourth record of length 0 chooses no folder";

  AppRecord record;
  record.canvasWidth = 1024, record.canvasHeight = 768;
  auto body = tools::AppRecordBody(record);
  body.body.resize(2);
  AppRecord readRecord;
  ASSERT_EQ(ReadAppRecord(tools::WriteAppSys(body), readRecord), kConfigOk);
  EXPECT_EQ(std::tuple(readRecord.canvasWidth, readRecord.canvasHeight, readRecord.saveFolderMode),
            std::tuple(1024, 480, 1));
}

// What does not read as the files' records is refused whole: nothing of it is taken (the window
// title and the boxes' title come from the application name), and the words say where it broke.
TEST(ConfigRead, FilesThatBreakTheirRecordsAreRefusedAndChangeNothing) {
  EngineConfig config;
  config.display.screenMode = kSavedScreenWindow, config.chosenSaveFolder = "Z:\\saves";
  auto longEngine = tools::UserCfgRecords(config);
  longEngine[0].body.resize(300, 0xEE);
  Bytes cut = tools::WriteUserCfg(config);
  cut.resize(2 + 72 + 2 + 1);
  auto badFolder = tools::UserCfgRecords(config);
  badFolder[3] = tools::TextRecord("Z:\\\x85\x40");  // a code no character has
  struct UserCfgCase {
    const char* name;
    Bytes file;
    int status;
    const char* where;
  };
  const UserCfgCase userCfgCases[] = {
      {"a record longer than its block", tools::WriteUserCfg(longEngine), kConfigTooLong,
       "the engine settings is 300 bytes long"},
      {"cut inside a record", cut, kConfigTruncated, "ends inside the display settings"},
      {"a folder that is no CP932 text", tools::WriteUserCfg(badFolder), kConfigBadText,
       "the chosen save folder"},
  };
  for (const UserCfgCase& c : userCfgCases) {
    SCOPED_TRACE(c.name);
    EngineConfig read;
    std::string why;
    EXPECT_EQ(ReadEngineConfig(c.file, read, &why), c.status);
    EXPECT_NE(why.find(c.where), std::string::npos) << why;
    EXPECT_EQ(read, EngineConfig{});
  }

  auto texts = tools::AppInfTexts(AppInfo{});
  texts[4] = tools::TextRecord(std::string_view("Sav\0ed", 6));
  auto control = tools::AppInfTexts(AppInfo{});
  control[0] = tools::TextRecord("Game\x1B");
  for (const Bytes& file :
       {RandomBytes(105, 2), RandomBytes(105, 3), tools::WriteAppInf({1, 2, 0}, texts),
        tools::WriteAppInf({1, 2, 0}, control), Bytes{4}}) {
    AppInfo info;
    info.appName = "kept";
    std::string why;
    EXPECT_FALSE(ConfigTaken(ReadAppInfo(file, info, &why))) << file.size();
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(info.appName, "kept") << why;
  }

  AppRecord record;
  record.canvasWidth = 800;
  auto longRecord = tools::AppRecordBody(AppRecord{});
  longRecord.body.resize(40, 0xEE);
  for (const Bytes& file : {tools::WriteAppSys(longRecord), Bytes{0x17}, RandomBytes(64, 4)}) {
    EXPECT_FALSE(ConfigTaken(ReadAppRecord(file, record)));
    EXPECT_EQ(record.canvasWidth, 800) << "nor are the engine's replacements made";
  }

  UserConfig user;
  user.confirmWebPage = 9;
  auto hugeLength = tools::UserConfigBody(UserConfig{});
  hugeLength.body.resize(10);
  hugeLength.declaredLength = 0xFFFFFFFF;
  auto longUser = tools::UserConfigBody(UserConfig{});
  longUser.body.resize(1000, 0xEE);
  for (const Bytes& file :
       {tools::WriteAppCfg(hugeLength), tools::WriteAppCfg(longUser), Bytes{1, 0, 0}}) {
    EXPECT_FALSE(ConfigTaken(ReadUserConfig(file, user)));
    EXPECT_EQ(user.confirmWebPage, 9);
  }
}

TEST(ConfigRead, TextsAndTheFontFaceWithoutTheirNulAreEndedAndKept) {
  auto texts = tools::AppInfTexts(AppInfo{});
  texts[0] = tools::TextRecord("NoNul", false);
  texts[1] = tools::TextRecord("Title");
  texts[2] = ConfigRecord{};
  texts[4] = tools::TextRecord(std::string_view("Sav\0\0", 5));
  AppInfo info;
  EXPECT_EQ(ReadAppInfo(tools::WriteAppInf({1, 2, 0}, texts), info), kConfigMended);
  EXPECT_EQ(std::tuple(info.appName, info.productTitle, info.notice, info.saveFolderName),
            std::tuple("NoNul", "Title", "", "Sav"))
      << "the text after an unended one is in its place; NULs may pad a text";

  // A chosen folder that fills its record without a NUL is cut so that it can be saved again.
  auto records = tools::UserCfgRecords(EngineConfig{});
  records[3] = tools::TextRecord(std::string(0xFFFF, 'x'), false);
  EngineConfig config;
  EXPECT_EQ(ReadEngineConfig(tools::WriteUserCfg(records), config), kConfigMended);
  ASSERT_TRUE(config.chosenSaveFolder);
  EXPECT_EQ(config.chosenSaveFolder->size(), 0xFFFEu);
  EngineConfig again;
  EXPECT_EQ(ReadEngineConfig(EncodeEngineConfig(config), again), kConfigOk);
  EXPECT_EQ(again, config);

  // A font face without its NUL is ended on a character.
  UserConfig user;
  auto body = tools::UserConfigBody(user);
  // 31 bytes of 'a' and a lead byte in the last place: the lead byte goes with the cut.
  std::fill(body.body.begin() + 36, body.body.begin() + 67, 'a');
  body.body[67] = 0x82;
  UserConfig readUser;
  EXPECT_EQ(ReadUserConfig(tools::WriteAppCfg(body), readUser), kConfigMended);
  EXPECT_EQ(readUser.FontFaceName(), std::string(31, 'a'));

  std::fill(body.body.begin() + 36, body.body.begin() + 68,
            0x82);  // sixteen double-byte characters
  EXPECT_EQ(ReadUserConfig(tools::WriteAppCfg(body), readUser), kConfigMended);
  EXPECT_EQ(readUser.FontFaceName().size(), 30u) << "the last whole character that leaves room";
}

TEST(ConfigRead, SetupFileIsTakenWholeOrSkipped) {
  const SetupInfo before{"kept", 1};
  SetupInfo info = before;
  EXPECT_EQ(ReadSetupInfo(tools::WriteSetupIfg("IFG2", tools::TextRecord("key"), 0), info),
            kConfigBadMagic);
  EXPECT_EQ(ReadSetupInfo(Bytes{'I', 'F', 'G'}, info), kConfigTruncated);
  EXPECT_EQ(
      ReadSetupInfo(tools::WriteSetupIfg("IFG1", tools::TextRecord("key"), std::nullopt), info),
      kConfigTruncated);
  auto longKey = tools::TextRecord("key");
  longKey.declaredLength = 50;
  EXPECT_EQ(ReadSetupInfo(tools::WriteSetupIfg("IFG1", longKey, 1), info), kConfigTruncated);
  EXPECT_EQ(info, before) << "a broken file changes nothing";

  EXPECT_EQ(ReadSetupInfo(tools::WriteSetupIfg("IFG1", ConfigRecord{}, std::nullopt), info),
            kConfigOk);
  EXPECT_FALSE(info.uninstallKey) << "a zero-length key name: no key, so no registry access";

  EXPECT_EQ(ReadSetupInfo(tools::WriteSetupIfg("IFG1", tools::TextRecord("open", false), 1), info),
            kConfigMended);
  EXPECT_EQ(info, (SetupInfo{"open", 1}));
}

// The five configuration files laid out by hand, byte by byte, from their layouts: the readers
// take the fields from where the layouts put them, and the writers (which share the block
// encoding with the engine) give back the same bytes.
TEST(ConfigKnownAnswer, TheFiveFilesByHand) {
  // clang-format off
  const Bytes appSys = {
      23, 0,                   // u16 length
      0x20, 0x03, 0x58, 0x02,  // canvas 800 x 600
      0x78, 0x56, 0x34, 0x12,  // window style
      0x09, 0x00, 0x00, 0x00,  // extended style
      5, 0, 7, 0, 0, 0,        // icon 5, menu 7, no accelerators
      0, 1, 1, 3, 0,           // not single, full screen only, CD-ROM, folder mode 3, kind 0
  };
  // clang-format on
  AppRecord shipped{800, 600, 0x12345678, 9, 5, 7, 0, 0, 1, 1, 3, 0};
  EXPECT_EQ(tools::WriteAppSys(shipped), appSys);
  AppRecord record;
  ASSERT_EQ(ReadAppRecord(appSys, record), kConfigOk);
  // The style, icon and menu are replaced after reading.
  EXPECT_EQ(record,
            (AppRecord{800, 600, kAppWindowStyle, 9, kAppIconId, kAppMenuId, 0, 0, 1, 1, 3, 0}));

  // clang-format off
  const Bytes appInf = {
      1, 5, 0x0A,                                  // version 1.05, revision a
      5, 'G', 'a', 'm', 'e', 0,                    // application name
      6, 'T', 'i', 't', 'l', 'e', 0,               // product title
      0,                                           // no notice
      10, 'h', 't', 't', 'p', ':', '/', '/', 'x', '/', 0,  // web address
      0,                                           // no save-folder name
  };
  // clang-format on
  AppInfo info;
  ASSERT_EQ(ReadAppInfo(appInf, info), kConfigOk);
  EXPECT_EQ(info, (AppInfo{1, 5, 0x0A, "Game", "Title", "", "http://x/", std::nullopt}));
  EXPECT_EQ(tools::WriteAppInf(info), appInf);

  Bytes engine(72, 0);
  engine[0] = 1;      // threaded driving
  engine[16] = 1;     // input mode: Windows API
  engine[43] = 0x2B;  // the first byte of the word at 43
  engine[63] = 1, engine[64] = 2, engine[65] = 3, engine[66] = 4;  // the word at 63
  Bytes display = {1, 32, 0x10, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0, 0xF4, 0x01, 1};
  Bytes pacing = {1, 2, 0, 3, 0, 1, 0, 0, 1, 0, 5, 0x00, 0x04, 0, 1, 1, 0};
  Bytes userCfg;  // each record after its u16 length
  for (const Bytes& part : {Bytes{72, 0}, engine, Bytes{14, 0}, display, Bytes{17, 0}, pacing,
                            Bytes{8, 0, 'C', ':', '\\', 'S', 'A', 'V', 'E', 0}})
    userCfg.insert(userCfg.end(), part.begin(), part.end());
  EngineConfig config;
  ASSERT_EQ(ReadEngineConfig(userCfg, config), kConfigOk);
  EXPECT_EQ(std::tuple(Encoded(config.engine), Encoded(config.display), Encoded(config.pacing)),
            std::tuple(engine, display, pacing));
  // Multi-byte and signed fields, which the defaults do not show, are taken from their offsets.
  EXPECT_EQ(std::tuple(config.engine.threadedDriving, config.engine.inputMode,
                       config.engine.displayWord63, config.display.windowLeft,
                       config.display.windowTop, config.display.menuEdgeDelayMs),
            std::tuple(1, 1, 0x04030201u, 0x10, -2, 500));
  EXPECT_EQ(
      std::tuple(config.pacing.vsyncMode, config.pacing.glyphCacheSize, config.chosenSaveFolder),
      std::tuple(2, 0x400, "C:\\SAVE"));
  EXPECT_EQ(tools::WriteUserCfg(config), userCfg);

  Bytes block(196);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7 + 1);
  block[67] = 0;  // the font face (36 to 67) ends
  Bytes appCfg = {196, 0, 0, 0};
  appCfg.insert(appCfg.end(), block.begin(), block.end());
  UserConfig user;
  ASSERT_EQ(ReadUserConfig(appCfg, user), kConfigOk);
  EXPECT_EQ(Encoded(user), block);
  EXPECT_EQ(std::tuple(user.unreadNoWait, user.unreadCharMs, user.readNoWait, user.readCharMs),
            std::tuple(block[24], block[25], block[26], block[27]));
  EXPECT_EQ(std::tuple(user.savedOnce, user.lastAutoSlot, user.lastQuickSlot),
            std::tuple(block[186], block[187], block[188]));
  EXPECT_EQ(tools::WriteAppCfg(user), appCfg);

  const Bytes setupIfg = {'I', 'F', 'G', '1', 6, '{', 'K', 'E', 'Y', '}', 0, 1};
  SetupInfo setup;
  ASSERT_EQ(ReadSetupInfo(setupIfg, setup), kConfigOk);
  EXPECT_EQ(setup, (SetupInfo{"{KEY}", 1}));
  EXPECT_EQ(tools::WriteSetupIfg(setup), setupIfg);
}

// Start-up with settings files and packs that are not what they claim: the start stops with the
// one message that names the file and where it broke, nothing of the file leaks out (the title of
// a broken information file is the default name) and the file is not saved over. The sizes that
// break the files in other places are ConfigRead's.
using ConfigStart = test::GameRun;

TEST_F(ConfigStart, ABrokenFileStopsTheStartNamingTheFileAndWhereItBroke) {
  Bytes pack = RandomBytes(200, 3);
  pack.insert(pack.begin(), {'V', 'F', 'A', '1'});
  const struct {
    const char* file;
    Bytes bytes;
    std::string first;  // the message's start, up to where it broke
    const char* title;
  } cases[] = {
      {"USER.CFG", RandomBytes(1 << 20, 11),
       "環境設定ファイルの読み込みに失敗\n" + (dir.path() / "USER.CFG").string(), nullptr},
      {"SCRIPT/QZ_APP.INF", RandomBytes(5000, 5000),
       "アプリケーション情報ファイルの読み込みに失敗\nSCRIPT\\QZ_APP.INF", "KVR DX Application"},
      {"PATCH.VFA", pack,
       "A pack of the game cannot be used:\n" + (dir.path() / "PATCH.VFA").string(), nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    WriteGame(" wait\n ret\n");
    dir.WriteFile(c.file, c.bytes);
    GameApp app;
    EXPECT_NE(RunGame(app), 0);
    const std::vector<std::string> texts = MessageTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].find(c.first + ": "), 0u) << texts[0];
    if (c.title) {
      EXPECT_EQ(backend.MessageBoxes().back().title, c.title);
    }
    EXPECT_TRUE(test::ReadFile(dir.path() / c.file) == std::string(c.bytes.begin(), c.bytes.end()))
        << "saved over";
  }
}

}  // namespace
}  // namespace bw
