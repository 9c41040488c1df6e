// The five configuration files laid out by hand, byte by byte, from their layouts: the readers
// take the fields from where the layouts put them, and the writers (which share the block
// encoding with the engine) give back the same bytes.
#include <gtest/gtest.h>

#include <vector>

#include "app/config/app_info.h"
#include "app/config/app_record.h"
#include "app/config/config_block.h"
#include "app/config/engine_config.h"
#include "app/config/setup_info.h"
#include "app/config/user_config.h"
#include "lib/config/config_writers.h"

namespace bw {
namespace {

using Bytes = std::vector<uint8_t>;

template <class Block>
Bytes Encoded(const Block& block) {
  auto bytes = EncodeBlock(block);
  return Bytes(bytes.begin(), bytes.end());
}

TEST(ConfigKnownAnswer, ApplicationRecord) {
  // clang-format off
  const Bytes file = {
      23, 0,                   // u16 length
      0x20, 0x03, 0x58, 0x02,  // canvas 800 x 600
      0x78, 0x56, 0x34, 0x12,  // window style
      0x09, 0x00, 0x00, 0x00,  // extended style
      5, 0, 7, 0, 0, 0,        // icon 5, menu 7, no accelerators
      0, 1, 1, 3, 0,           // not single, full screen only, CD-ROM, folder mode 3, kind 0
  };
  // clang-format on
  AppRecord shipped{800, 600, 0x12345678, 9, 5, 7, 0, 0, 1, 1, 3, 0};
  EXPECT_EQ(tools::WriteAppSys(shipped), file);
  AppRecord record;
  ASSERT_EQ(ReadAppRecord(file, record), kConfigOk);
  // The style, icon and menu are replaced after reading.
  EXPECT_EQ(record,
            (AppRecord{800, 600, kAppWindowStyle, 9, kAppIconId, kAppMenuId, 0, 0, 1, 1, 3, 0}));
}

TEST(ConfigKnownAnswer, ApplicationInformation) {
  // clang-format off
  const Bytes file = {
      1, 5, 0x0A,                                  // version 1.05, revision a
      5, 'G', 'a', 'm', 'e', 0,                    // application name
      6, 'T', 'i', 't', 'l', 'e', 0,               // product title
      0,                                           // no notice
      10, 'h', 't', 't', 'p', ':', '/', '/', 'x', '/', 0,  // web address
      0,                                           // no save-folder name
  };
  // clang-format on
  AppInfo info;
  ASSERT_EQ(ReadAppInfo(file, info), kConfigOk);
  EXPECT_EQ(info, (AppInfo{1, 5, 0x0A, "Game", "Title", "", "http://x/", std::nullopt}));
  EXPECT_EQ(tools::WriteAppInf(info), file);
}

TEST(ConfigKnownAnswer, EngineSettings) {
  Bytes engine(72, 0);
  engine[0] = 1;      // threaded driving
  engine[16] = 1;     // input mode: Windows API
  engine[43] = 0x2B;  // the first byte of the word at 43
  Bytes display = {1, 32, 0x10, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0, 0xF4, 0x01, 1};
  Bytes pacing = {1, 2, 0, 3, 0, 1, 0, 0, 1, 0, 5, 0x00, 0x04, 0, 1, 1, 0};
  Bytes file = {72, 0};
  file.insert(file.end(), engine.begin(), engine.end());
  file.insert(file.end(), {14, 0});
  file.insert(file.end(), display.begin(), display.end());
  file.insert(file.end(), {17, 0});
  file.insert(file.end(), pacing.begin(), pacing.end());
  file.insert(file.end(), {8, 0, 'C', ':', '\\', 'S', 'A', 'V', 'E', 0});

  EngineConfig config;
  ASSERT_EQ(ReadEngineConfig(file, config), kConfigOk);
  EXPECT_EQ(std::tuple(Encoded(config.engine), Encoded(config.display), Encoded(config.pacing)),
            std::tuple(engine, display, pacing));
  EXPECT_EQ(std::tuple(config.pacing.vsyncMode, config.chosenSaveFolder),
            std::tuple(2, "C:\\SAVE"));
  EXPECT_EQ(tools::WriteUserCfg(config), file);
}

TEST(ConfigKnownAnswer, UserSettings) {
  Bytes block(196);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7 + 1);
  block[67] = 0;  // the font face (36 to 67) ends
  Bytes file = {196, 0, 0, 0};
  file.insert(file.end(), block.begin(), block.end());
  UserConfig config;
  ASSERT_EQ(ReadUserConfig(file, config), kConfigOk);
  EXPECT_EQ(Encoded(config), block);
  EXPECT_EQ(tools::WriteAppCfg(config), file);
}

TEST(ConfigKnownAnswer, SetupInformation) {
  const Bytes file = {'I', 'F', 'G', '1', 6, '{', 'K', 'E', 'Y', '}', 0, 1};
  SetupInfo info;
  ASSERT_EQ(ReadSetupInfo(file, info), kConfigOk);
  EXPECT_EQ(info, (SetupInfo{"{KEY}", 1}));
  EXPECT_EQ(tools::WriteSetupIfg(info), file);
}

}  // namespace
}  // namespace bw
