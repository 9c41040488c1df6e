// The main script's instruction set: one opcode word followed by its operand words. The
// interpreter, the template compiler and the assembler all name instructions by these.
#pragma once

#include <cstdint>

namespace bw {

enum Opcode : uint32_t {
  kOpWait,
  kOpReturn,
  kOpReturnValue,
  kOpGetReturn,
  kOpCall,
  kOpNative,
  kOpJump,
  kOpSwitch,
  kOpPush,
  kOpPushValue,
  kOpPop,
  kOpStackAdd,
  kOpStackSub,
  kOpAdd,
  kOpSub,
  kOpMul,
  kOpDiv,
  kOpMod,
  kOpModPositive,
  kOpAnd,
  kOpOr,
  kOpXor,
  kOpNot,
  kOpLogicalNot,
  kOpShiftRight,
  kOpShiftLeft,
  kOpIncrement,
  kOpDecrement,
  kOpStackIncrement,
  kOpStackDecrement,
  kOpJumpIfZero,
  kOpSet,
  kOpMove,
  kOpStoreIndirect,
  kOpStackSet,
  kOpStackGet,
  kOpStackStore,
  kOpStackMove,
  kOpStackDeref,
  kOpDeref,
  kOpStackAddress,
  kOpLess,
  kOpLessEqual,
  kOpGreater,
  kOpGreaterEqual,
  kOpEqual,
  kOpNotEqual,
};

constexpr uint32_t kOpcodeCount = kOpNotEqual + 1;

// Operand words behind each opcode (a switch's table not counted).
inline constexpr uint8_t kOpcodeOperands[kOpcodeCount] = {
    0, 0, 1, 1, 1, 3, 1, 1, 1, 1, 1, 1, 1,  // wait .. stack sub
    3, 3, 3, 3, 3, 3, 3, 3, 3,              // add .. xor
    2, 2, 3, 3, 1, 1, 1, 1,                 // not .. stack decrement
    2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,        // jump if zero .. stack address
    3, 3, 3, 3, 3, 3};                      // the compares

}  // namespace bw
