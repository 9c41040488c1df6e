// Reads arbitrary bytes as "DATA/BG.TXT": the table is taken or refused with its code; a taken
// table ends with its 0 and holds no section marker that reads as a plain number.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "scenario/tgs/tgs_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  std::vector<int32_t> table;
  int r = bw::ParseBackgroundTable({reinterpret_cast<const char*>(data), size}, table);
  if (r == 0) {
    if (table.size() < 2 || table.back() != 0) std::abort();
  } else if (r < bw::kBgTableEmpty || r > bw::kBgTableRepeatAfterNumber) {
    std::abort();
  }
  return 0;
}
