#include "app/config/app_info.h"

#include <array>

#include "app/config/config_block.h"

namespace bw {

int ReadAppInfo(std::span<const uint8_t> file, AppInfo& info) {
  ByteReader in(file);
  int status = kConfigOk;
  std::array<uint8_t, 3> version{};
  for (uint8_t& b : version) {
    if (!in.u8(b)) status = kConfigTruncated;
  }
  info.majorVersion = version[0];
  info.minorVersion = version[1];
  info.revision = version[2];

  std::array<std::string*, 4> texts = {&info.appName, &info.productTitle, &info.notice,
                                       &info.webAddress};
  std::span<const uint8_t> body;
  for (std::string* text : texts) {
    *text = ReadConfigRecord(in, 1, body, status) ? ConfigRecordText(body, status) : std::string();
  }
  info.saveFolderName.reset();
  if (ReadConfigRecord(in, 1, body, status) && !body.empty()) {
    info.saveFolderName = ConfigRecordText(body, status);
  }
  return status;
}

}  // namespace bw
