// How the scenario interpreter calls its built-in functions 12-131: each built-in reads its row
// of argument slots and calls one operation of the scenario player.
#pragma once

#include <cstdint>
#include <span>

namespace bw {

class GuestMemory;
class TgsOperations;

// One argument of a scenario instruction. flags 0: not given (built-ins use their default);
// bit kTgsSlotText: value is the guest address of a NUL-terminated text (0 for an empty one);
// kTgsSlotOffset: value is a code offset (Call, Jump, Return).
struct TgsSlot {
  uint32_t flags = 0;
  int32_t value = 0;
};
inline constexpr uint32_t kTgsSlotText = 2;
inline constexpr uint32_t kTgsSlotOffset = 0xFF;

// What a built-in sees of the interpreter that calls it.
class TgsInterpreterContext {
 public:
  virtual ~TgsInterpreterContext() = default;
  // The guest memory that text slots point into.
  virtual GuestMemory& Memory() = 0;
  // The wait chain counter: a built-in that leaves it unchanged has it cleared after the call.
  virtual int32_t& WaitChain() = 0;
  // True while message text is being collected: the inline built-ins (14, 26, 27, 28) append a
  // call record to the text instead of acting.
  virtual bool CollectingText() const = 0;
  // Appends a built-in call record to the collected text; false when it does not fit (the
  // record is dropped whole).
  [[nodiscard]] virtual bool AppendCallRecord(uint32_t number, std::span<const TgsSlot> slots) = 0;
};

struct TgsBuiltinCall {
  TgsInterpreterContext& interpreter;
  TgsOperations& operations;
  std::span<const TgsSlot> slots;  // slots past the end read as not given
};

// A built-in's result: 0 goes on; other values stop the step (see the interpreter).
using TgsBuiltin = int32_t (*)(TgsBuiltinCall& call);

}  // namespace bw
