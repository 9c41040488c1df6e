#include "script/native_args.h"

#include "script/script_host.h"

namespace bw {

bool NativeArgs::Fault(GuestMemory& memory) {
  uint32_t ignored = 0;
  return memory.Read32(0, ignored);  // 0 never maps
}

bool NativeArgs::Text(uint32_t k, std::string& out, bool* isNull) const {
  std::string_view text;
  const bool ok = TextView(k, text, isNull);
  out.assign(text);
  return ok;
}

bool NativeArgs::TextView(uint32_t k, std::string_view& out, bool* isNull) const {
  out = {};
  uint32_t at = U32(k);
  if (isNull) *isNull = at == 0;
  if (memory_.Faulted()) return false;
  if (at == 0) return true;
  return memory_.CStringView(at, out, memory_.Top());
}

bool NativeArgs::Out32(uint32_t k, uint32_t value) const {
  uint32_t at = U32(k);
  if (memory_.Faulted()) return false;
  return at == 0 || memory_.Write32(at, value);
}

void* NativeArgs::HandlePointer(uint32_t k, ScriptObjectType type) const {
  uint32_t handle = U32(k);
  return handle ? host_.Handles().Get(handle, type) : nullptr;
}

bool GuestRange(GuestMemory& memory, uint32_t address, int64_t size) {
  if (size < 0 || size > UINT32_MAX || !memory.Valid(address, static_cast<uint32_t>(size))) {
    return NativeArgs::Fault(memory);
  }
  return true;
}

}  // namespace bw
