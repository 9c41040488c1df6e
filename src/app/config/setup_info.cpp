#include "app/config/setup_info.h"

#include <cstring>

#include "app/config/config_block.h"

namespace bw {

namespace {
constexpr char kMagic[4] = {'I', 'F', 'G', '1'};
}  // namespace

int ReadSetupInfo(std::span<const uint8_t> file, SetupInfo& info, std::string* why) {
  ByteReader in(file);
  ConfigVerdict verdict;
  auto magic = in.bytes(sizeof kMagic);
  if (!magic) {
    verdict.Refuse(kConfigTruncated, "the file ends inside the magic");
    return verdict.Answer(why);
  }
  if (std::memcmp(magic->data(), kMagic, sizeof kMagic) != 0) {
    verdict.Refuse(kConfigBadMagic, "the file does not begin with IFG1");
    return verdict.Answer(why);
  }
  std::span<const uint8_t> body;
  if (!ReadConfigRecord(in, 1, body, verdict, "the key name")) return verdict.Answer(why);
  SetupInfo read;
  if (!body.empty()) {
    read.uninstallKey = ConfigRecordText(body, verdict, "the key name");
    if (!in.u8(read.perUser))
      verdict.Refuse(kConfigTruncated, "the file ends before the per-user flag");
  }
  // Nothing is read after the flag (nor after a key of length 0).
  if (!verdict.Refused()) info = std::move(read);
  return verdict.Answer(why);
}

}  // namespace bw
