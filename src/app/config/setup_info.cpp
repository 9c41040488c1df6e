#include "app/config/setup_info.h"

#include <cstring>

#include "app/config/config_block.h"

namespace bw {

namespace {
constexpr char kMagic[4] = {'I', 'F', 'G', '1'};
}  // namespace

int ReadSetupInfo(std::span<const uint8_t> file, SetupInfo& info) {
  ByteReader in(file);
  auto magic = in.bytes(sizeof kMagic);
  if (!magic) return kConfigTruncated;
  if (std::memcmp(magic->data(), kMagic, sizeof kMagic) != 0) return kConfigBadMagic;

  int status = kConfigOk;
  std::span<const uint8_t> body;
  if (!ReadConfigRecord(in, 1, body, status) || status != kConfigOk) return status;
  SetupInfo read;
  if (!body.empty()) {
    read.uninstallKey = ConfigRecordText(body, status);
    if (!in.u8(read.perUser)) return kConfigTruncated;
  }
  info = std::move(read);
  return status;
}

}  // namespace bw
