// Reads arbitrary bytes as built-in call records: a record is read whole or refused without
// moving the cursor, and one that was read writes back to bytes that read the same.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "scenario/tgs/tgs_call_record.h"
#include "script/guest_memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 16)) return 0;
  static bw::GuestMemory memory(1u << 20);
  static const uint32_t scratch = memory.Allocate(8192);
  static const uint32_t again = memory.Allocate(8192);
  bw::ByteReader in(data, size);
  while (!in.atEnd()) {
    uint32_t number = 0;
    std::vector<bw::TgsSlot> slots;
    size_t before = in.position();
    if (!bw::TgsReadCallRecord(in, memory, scratch, 8192, number, slots)) {
      if (in.position() != before) std::abort();
      return 0;
    }
    if (number > 131) std::abort();
    std::string text;
    if (!bw::TgsWriteCallRecord(text, 1u << 20, memory, number, slots)) std::abort();
    bw::ByteReader back(text.data(), text.size());
    uint32_t n2 = 0;
    std::vector<bw::TgsSlot> s2;
    if (!bw::TgsReadCallRecord(back, memory, again, 8192, n2, s2) || n2 != number ||
        s2.size() != slots.size() || !back.atEnd()) {
      std::abort();
    }
  }
  return 0;
}
