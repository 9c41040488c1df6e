// The interpreter of compiled main-script code. Everything is a 32-bit word in the engine's guest
// memory: code (which scripts rewrite while it runs), data, the stack and the addresses of
// natives. Every access is checked; any fault, a bad opcode, a division by zero, a switch index
// past its table or a stack overrun ends the run with kRunFault.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "script/bytecode_jit.h"
#include "script/guest_memory.h"
#include "script/opcodes.h"

namespace bw {

class StraightCode;

// A native takes the address of its first argument word and answers a signed result.
using NativeFunction = std::function<int32_t(GuestMemory& memory, uint32_t args)>;

constexpr int kRunEnded = 0;
constexpr int kRunWaiting = 1;
constexpr int kRunFault = 2;  // the script did something illegal

// EnableJit
// AllocateStack
constexpr int kStackAllocated = 0;
constexpr int kStackNoRoom = 1;

// RunStraight, beside the unit's exits
constexpr int kStraightSpent = -1;
constexpr int kStraightRefused = -2;

constexpr int kJitDone = 0;
constexpr int kJitNoMemory = 1;
constexpr int kJitTranslationFailed = 2;

class BytecodeVm {
 public:
  BytecodeVm(GuestMemory& memory, const std::vector<NativeFunction>* natives)
      : memory_(memory), natives_(natives) {}
  virtual ~BytecodeVm();
  BytecodeVm(const BytecodeVm&) = delete;
  BytecodeVm& operator=(const BytecodeVm&) = delete;

  // Replaces the stack with one of words words (in guest memory); kStackNoRoom when out of
  // memory.
  [[nodiscard]] int AllocateStack(uint32_t words);
  int SetInstructionPointer(uint32_t address) {
    ip_ = address;
    return 0;
  }
  // The three stack operations answer 0, or kRunFault when the stack is full or empty.
  [[nodiscard]] int PushEndMarker() { return Push(0) ? 0 : kRunFault; }
  [[nodiscard]] int PushInstructionPointer() { return Push(ip_) ? 0 : kRunFault; }
  [[nodiscard]] int PopInstructionPointer() { return Pop(ip_) ? 0 : kRunFault; }
  // Pushes the end marker and runs from address. Without translation the marker goes on inside
  // the interpreter loop, on its own checks: entering for a short fragment costs little.
  // Inline, as scenarios call it twice a loop turn.
  [[nodiscard]] int CallAt(uint32_t address) {
    ip_ = address;
    if (__builtin_expect(inLoop_, 0)) return CallInLoop();
    return CallStraight();
  }
  // Runs unit round and round from its first op, as many CallAt of its fragments would with the
  // unit's own stores and tests between them, at most turns times round (turnsDone: the rounds
  // completed). The exit the unit left by, kStraightSpent, or kStraightRefused with nothing run
  // where a CallAt would not take the straight entry's course: a bound on instructions a fragment
  // runs past, no stack word for the end marker or a store of the unit into it, or a word the unit
  // relied on changed. proved: the caller knows that the unit's words read as they did and that
  // the stack word is where it was, as nothing but units that store elsewhere ran since the unit
  // last ran here: those two checks are left out.
  [[nodiscard]] int RunStraight(const StraightCode& unit, uint64_t turns, uint64_t& turnsDone,
                                bool proved = false);
  // Switches translation to machine code: on, Run enters translated code (the stub of an empty
  // translation) wherever the instruction pointer names a translated instruction. Where the
  // system refuses executable memory, or on a CPU without the compiler, kJitTranslationFailed
  // and everything is interpreted.
  [[nodiscard]] int EnableJit(bool flag);
  // Whether loaded blocks are to be translated for this interpreter.
  bool TranslationEnabled() const { return jitFlag_; }
  // Runs until the script waits (kRunWaiting), ends (kRunEnded) or faults (kRunFault).
  [[nodiscard]] int Run();
  // Puts the stack pointer back at the bottom of the stack.
  void ResetStack() { sp_ = stackBottom_; }

  uint32_t InstructionPointer() const { return ip_; }
  uint32_t StackPointer() const { return sp_; }
  uint32_t StackBottom() const { return stackBottom_; }
  uint32_t StackTop() const { return stackTop_; }
  uint32_t ReturnRegister() const { return returnRegister_; }
  void SetReturnRegister(uint32_t v) { returnRegister_ = v; }
  GuestMemory& GetMemory() { return memory_; }
  // Bounds each Run to n instructions (0: no bound); past it the run faults. Untrusted scripts
  // run this way in fuzzing, where an endless loop must not hang the run.
  void SetInstructionLimit(uint64_t n) {
    instructionLimit_ = n;
    inLoop_ = jit_ || n;
  }

 private:
  [[nodiscard]] bool Push(uint32_t v) {
    if (sp_ < stackBottom_ || stackTop_ - sp_ < 4 || sp_ > stackTop_) return false;
    if (!memory_.Write32(sp_, v)) return false;
    sp_ += 4;
    return true;
  }
  [[nodiscard]] bool Pop(uint32_t& v);
  // The address of stack word S(n); false when it falls outside the stack.
  [[nodiscard]] bool StackWord(uint32_t n, uint32_t& address) const;
  [[nodiscard]] bool CallNative(uint32_t token, uint32_t args, uint32_t dest);
  // The interpreter loop; kCounted spends budget, the instructions it may still run; enter
  // pushes the end marker first.
  template <bool kCounted>
  [[nodiscard]] int Execute(uint64_t budget, bool enter = false);
  [[nodiscard]] int RunTranslated();
  // CallAt's entry without a budget or translation.
  [[nodiscard]] int CallStraight();
  // CallAt's entry with either.
  [[nodiscard]] int CallInLoop();
  // Whether RunStraight may run unit: the checks a CallAt would take the straight entry on.
  [[nodiscard]] bool StraightAdmits(const StraightCode& unit, bool proved) const;
  // Where RunStraight leaves the instruction pointer: past the exit it took (0: none), else past
  // the unit's last return once a round completed. Answers result.
  [[nodiscard]] int LeaveStraight(const StraightCode& unit, uint32_t exit, uint64_t done,
                                  int result);
  static uint32_t TranslatedNative(JitContext* context, uint32_t fn, uint32_t args, uint32_t dest,
                                   uint32_t at);

  GuestMemory& memory_;
  const std::vector<NativeFunction>* natives_;
  uint32_t stackBottom_ = 0;
  uint32_t stackTop_ = 0;  // one past the last stack word
  uint32_t ip_ = 0;
  uint32_t sp_ = 0;
  uint32_t returnRegister_ = 0;
  uint64_t instructionLimit_ = 0;
  std::unique_ptr<BytecodeJit> jit_;  // the empty program's translation: its stub enters the rest
  bool jitFlag_ = false;
  bool inLoop_ = false;  // calls go through the loop: translation or a bound is on
  JitContext context_;
};

}  // namespace bw
