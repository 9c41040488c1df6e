#include "app/config/app_record.h"

#include "app/config/config_block.h"

namespace bw {

static_assert(BlockSize<AppRecord>() == AppRecord::kSize);

int ReadAppRecord(std::span<const uint8_t> file, AppRecord& record) {
  ByteReader in(file);
  int status = kConfigOk;
  if (!ReadBlockRecord(in, 2, record, status)) return status;
  record.windowStyle = kAppWindowStyle;
  record.iconId = kAppIconId;
  if (record.menuId) record.menuId = kAppMenuId;
  if (record.acceleratorsId) record.acceleratorsId = kAppAcceleratorsId;
  return status;
}

}  // namespace bw
