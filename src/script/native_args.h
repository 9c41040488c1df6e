// How natives read their argument words and write their answers in guest memory. A bad address
// (outside the arena, a text without its terminator inside it) raises the memory's fault flag,
// which ends the script's step with the illegal-script result once the native returns; 0 never
// faults. Sizes a script gives are taken 64 bits wide and checked before any allocation or copy.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "script/guest_memory.h"
#include "script/script_handles.h"

namespace bw {

class ScriptHost;
class NativeArgs;

// A native of a family: reads its words through args, answers the result word.
using NativeRoutine = int32_t (*)(NativeArgs& args);

struct NativeEntry {
  uint32_t number;
  NativeRoutine routine;
};

// Numbers a family owns, first to last inclusive.
struct NativeRange {
  uint32_t first;
  uint32_t last;
};

// A group of natives and the numbers it owns (those it does not build answer not-built).
struct NativeFamily {
  const char* name;
  std::span<const NativeEntry> entries;
  std::span<const NativeRange> numbers;
};

class NativeArgs {
 public:
  NativeArgs(ScriptHost& host, GuestMemory& memory, uint32_t address)
      : host_(host), memory_(memory), address_(address) {}

  ScriptHost& Host() const { return host_; }
  GuestMemory& Memory() const { return memory_; }

  // Every native reads its words through these: defined here, so that they inline.
  uint32_t U32(uint32_t k) const {
    uint32_t value = 0;
    memory_.Read32(WordAddress(k), value);
    return value;
  }
  int32_t I32(uint32_t k) const { return static_cast<int32_t>(U32(k)); }
  // The address of argument word k (for natives that pass the remaining words on); 0 when it
  // does not fit 32 bits.
  uint32_t WordAddress(uint32_t k) const {
    const uint64_t at = uint64_t{address_} + uint64_t{k} * 4;
    return at <= UINT32_MAX ? static_cast<uint32_t>(at) : 0;
  }
  // The text whose address is word k: 0 reads as empty (and sets isNull when asked); false when
  // the text is bad.
  [[nodiscard]] bool Text(uint32_t k, std::string& out, bool* isNull = nullptr) const;
  // The same text seen in place, valid until guest memory is next written or allocated.
  [[nodiscard]] bool TextView(uint32_t k, std::string_view& out, bool* isNull = nullptr) const;
  // Writes value to the address in word k; an address of 0 is skipped. A bad address raises the
  // fault flag, so the answer may go unread.
  bool Out32(uint32_t k, uint32_t value) const;
  // The object named by word k; null for 0 and for forged, stale or mistyped handles.
  template <typename T>
  T* Handle(uint32_t k, ScriptObjectType type) const {
    return static_cast<T*>(HandlePointer(k, type));
  }
  bool Faulted() const { return memory_.Faulted(); }

  // Raises the fault flag: the step ends with the illegal-script result.
  static bool Fault(GuestMemory& memory);

 private:
  void* HandlePointer(uint32_t k, ScriptObjectType type) const;

  ScriptHost& host_;
  GuestMemory& memory_;
  uint32_t address_;
};

// A size from a script, checked before it is used: false (and a fault) when address + size does
// not lie inside the arena.
[[nodiscard]] bool GuestRange(GuestMemory& memory, uint32_t address, int64_t size);

}  // namespace bw
