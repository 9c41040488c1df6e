#include "app/config/app_info.h"

#include <array>

#include "app/config/config_block.h"

namespace bw {

int ReadAppInfo(std::span<const uint8_t> file, AppInfo& info, std::string* why) {
  ByteReader in(file);
  ConfigVerdict verdict;
  AppInfo read;
  if (!in.u8(read.majorVersion) || !in.u8(read.minorVersion) || !in.u8(read.revision)) {
    verdict.Refuse(kConfigTruncated, "the file ends inside the version");
    return verdict.Answer(why);
  }
  const std::array<std::pair<std::string*, const char*>, 4> texts = {{
      {&read.appName, "the application name"},
      {&read.productTitle, "the product title"},
      {&read.notice, "the notice"},
      {&read.webAddress, "the web address"},
  }};
  std::span<const uint8_t> body;
  for (auto [text, what] : texts) {
    if (!ReadConfigRecord(in, 1, body, verdict, what)) return verdict.Answer(why);
    *text = ConfigRecordText(body, verdict, what);
  }
  if (!ReadConfigRecord(in, 1, body, verdict, "the save-folder name")) return verdict.Answer(why);
  if (!body.empty()) read.saveFolderName = ConfigRecordText(body, verdict, "the save-folder name");
  if (!verdict.Refused()) info = std::move(read);
  return verdict.Answer(why);
}

}  // namespace bw
