#include "scenario/tgs/tgs_call_record.h"

#include "script/guest_memory.h"

namespace bw {

namespace {

constexpr uint32_t kLastFunction = 131;

void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

}  // namespace

bool TgsWriteCallRecord(std::string& text, size_t limit, GuestMemory& memory, uint32_t number,
                        std::span<const TgsSlot> slots) {
  std::string record = {'\0', '['};
  Put32(record, 0);  // size, set below
  Put32(record, number);
  Put32(record, static_cast<uint32_t>(slots.size()));
  for (const TgsSlot& slot : slots) {
    record.push_back(static_cast<char>(slot.flags & 0xFF));
    if (!IsTextSlot(slot)) {
      Put32(record, static_cast<uint32_t>(slot.value));
      continue;
    }
    std::string s;
    if (slot.value != 0 && !memory.ReadCString(static_cast<uint32_t>(slot.value), s, limit)) {
      memory.TakeFault();
      return false;
    }
    Put32(record, slot.value == 0 ? 0 : static_cast<uint32_t>(s.size() + 1));
    if (slot.value != 0) record.append(s.c_str(), s.size() + 1);
  }
  if (record.size() > limit || text.size() > limit - record.size()) return false;
  uint32_t size = static_cast<uint32_t>(record.size() - 2);
  for (int i = 0; i < 4; ++i) record[2 + i] = static_cast<char>(size >> (8 * i));
  text += record;
  return true;
}

bool TgsReadCallRecord(ByteReader& in, GuestMemory& memory, uint32_t scratch, uint32_t scratchSize,
                       uint32_t& number, std::vector<TgsSlot>& slots) {
  ByteReader r = in;
  uint8_t zero = 1, bracket = 0;
  uint32_t size = 0, count = 0;
  if (!r.u8(zero) || !r.u8(bracket) || zero != 0 || bracket != '[' || !r.u32le(size) || size < 12 ||
      !r.has(size - 4)) {
    return false;
  }
  ByteReader body(r.data() + r.position(), size - 4);
  (void)r.skip(size - 4);  // checked above: the body is there

  uint32_t fn = 0;
  if (!body.u32le(fn) || fn > kLastFunction || !body.u32le(count) || count > body.remaining() / 5)
    return false;
  std::vector<TgsSlot> out(count);
  uint32_t used = 0;
  for (TgsSlot& slot : out) {
    uint8_t flags = 0;
    uint32_t value = 0;
    if (!body.u8(flags) || !body.u32le(value)) return false;
    slot.flags = flags;
    slot.value = static_cast<int32_t>(value);
    if (!IsTextSlot(slot) || value == 0) continue;
    auto bytes = body.bytes(value);
    if (!bytes || bytes->back() != 0 || value > scratchSize - used) return false;
    if (!memory.Write(scratch + used, bytes->data(), value)) {
      memory.TakeFault();
      return false;
    }
    slot.value = static_cast<int32_t>(scratch + used);
    used += value;
  }
  number = fn;
  slots = std::move(out);
  in = r;
  return true;
}

}  // namespace bw
