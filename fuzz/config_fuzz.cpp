// The configuration readers on arbitrary bytes, taken as each of the five files. Nothing may
// crash, a refused file changes nothing, and whatever a reader takes from the bytes must
// survive being written and read again.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "app/config/app_info.h"
#include "app/config/app_record.h"
#include "app/config/config_block.h"
#include "app/config/engine_config.h"
#include "app/config/setup_info.h"
#include "app/config/user_config.h"
#include "lib/config/config_writers.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// A text the writers can give a u8 length with its NUL.
bool FitsU8Record(const std::string& text) {
  return text.size() < 255;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace bw;
  std::span<const uint8_t> in(data, size);

  // A refused file changes nothing; a taken one survives being written and read again (reading
  // puts in the engine's style and resources, so a record read twice stays put).
  AppRecord record;
  if (!ConfigTaken(ReadAppRecord(in, record))) {
    Check(record == AppRecord{});
    (void)ReadAppRecord(tools::WriteAppSys(record),
                        record);  // checked against the first read below
  }
  AppRecord recordAgain;
  Check(ReadAppRecord(tools::WriteAppSys(record), recordAgain) == kConfigOk &&
        recordAgain == record);

  EngineConfig config;
  int status = ReadEngineConfig(in, config);
  Check(status >= kConfigOk && status <= kConfigBadText);
  if (!ConfigTaken(status)) Check(config == EngineConfig{});
  EngineConfig configAgain;
  Check(ReadEngineConfig(EncodeEngineConfig(config), configAgain) == kConfigOk &&
        configAgain == config);

  UserConfig user;
  if (!ConfigTaken(ReadUserConfig(in, user))) Check(user == UserConfig{});
  Check(user.FontFaceName().size() < sizeof user.fontFace);
  UserConfig userAgain;
  Check(ReadUserConfig(EncodeUserConfig(user), userAgain) == kConfigOk && userAgain == user);

  AppInfo info;
  if (!ConfigTaken(ReadAppInfo(in, info))) Check(info == AppInfo{});
  if (FitsU8Record(info.appName) && FitsU8Record(info.productTitle) && FitsU8Record(info.notice) &&
      FitsU8Record(info.webAddress) && FitsU8Record(info.saveFolderName.value_or(""))) {
    AppInfo infoAgain;
    Check(ReadAppInfo(tools::WriteAppInf(info), infoAgain) == kConfigOk && infoAgain == info);
  }

  SetupInfo setup;
  status = ReadSetupInfo(in, setup);
  if (!ConfigTaken(status)) Check(setup == SetupInfo{});
  if (FitsU8Record(setup.uninstallKey.value_or(""))) {
    SetupInfo setupAgain;
    Check(ReadSetupInfo(tools::WriteSetupIfg(setup), setupAgain) == kConfigOk &&
          setupAgain == setup);
  }
  return 0;
}
