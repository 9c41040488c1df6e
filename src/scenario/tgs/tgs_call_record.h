// A built-in call kept inside collected message text, run when the typing reaches it: the bytes
// 0x00 and "[", a u32 size counted from that field to the record's end, the u32 function number,
// the u32 argument count, then per argument the low byte of its flags and either a u32 length
// with the text (its NUL included) or the u32 value.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "scenario/tgs/tgs_builtin_call.h"

namespace bw {

class GuestMemory;

// True when the slot holds a text address (an offset slot never does).
inline bool IsTextSlot(const TgsSlot& slot) {
  return (slot.flags & kTgsSlotText) != 0 && slot.flags != kTgsSlotOffset;
}

// Appends the record to text when text then stays within limit bytes; false (and text as it
// was) when it does not fit or a text argument cannot be read.
[[nodiscard]] bool TgsWriteCallRecord(std::string& text, size_t limit, GuestMemory& memory,
                                      uint32_t number, std::span<const TgsSlot> slots);

// Reads one record at in (which stands on its 0x00); texts are copied into the guest area
// [scratch, scratch + scratchSize) and the slots point at them. False, with in unmoved, for a
// record that is cut short, does not fit the area or names a function above 131.
[[nodiscard]] bool TgsReadCallRecord(ByteReader& in, GuestMemory& memory, uint32_t scratch,
                                     uint32_t scratchSize, uint32_t& number,
                                     std::vector<TgsSlot>& slots);

}  // namespace bw
