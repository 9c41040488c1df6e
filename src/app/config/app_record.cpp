#include "app/config/app_record.h"

#include "app/config/config_block.h"

namespace bw {

static_assert(BlockSize<AppRecord>() == AppRecord::kSize);

int ReadAppRecord(std::span<const uint8_t> file, AppRecord& record, std::string* why) {
  ByteReader in(file);
  ConfigVerdict verdict;
  AppRecord read = record;
  if (!ReadBlockRecord(in, 2, read, verdict, "the record")) {
    return verdict.Answer(why);
  }
  read.windowStyle = kAppWindowStyle;
  read.iconId = kAppIconId;
  if (read.menuId) read.menuId = kAppMenuId;
  if (read.acceleratorsId) read.acceleratorsId = kAppAcceleratorsId;
  record = read;
  return verdict.Answer(why);
}

}  // namespace bw
