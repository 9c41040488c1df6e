// The main script's instruction set: one opcode word followed by its operand words. The
// interpreter, the template compiler and the assembler all name instructions by these.
#pragma once

#include <cstdint>
#include <iterator>

namespace bw {

// Each opcode in numeric order: its name, its mnemonic in the text form, and its operand words
// (a switch's table not counted).
// clang-format off
#define BW_OPCODES(X)                     \
  X(Wait,             "wait",   0)        \
  X(Return,           "ret",    0)        \
  X(ReturnValue,      "retv",   1)        \
  X(GetReturn,        "getret", 1)        \
  X(Call,             "call",   1)        \
  X(Native,           "native", 3)        \
  X(Jump,             "jmp",    1)        \
  X(Switch,           "switch", 1)        \
  X(Push,             "push",   1)        \
  X(PushValue,        "pushv",  1)        \
  X(Pop,              "pop",    1)        \
  X(StackAdd,         "spadd",  1)        \
  X(StackSub,         "spsub",  1)        \
  X(Add,              "add",    3)        \
  X(Sub,              "sub",    3)        \
  X(Mul,              "mul",    3)        \
  X(Div,              "div",    3)        \
  X(Mod,              "mod",    3)        \
  X(ModPositive,      "modp",   3)        \
  X(And,              "and",    3)        \
  X(Or,               "or",     3)        \
  X(Xor,              "xor",    3)        \
  X(Not,              "not",    2)        \
  X(LogicalNot,       "lnot",   2)        \
  X(ShiftRight,       "sar",    3)        \
  X(ShiftLeft,        "shl",    3)        \
  X(Increment,        "inc",    1)        \
  X(Decrement,        "dec",    1)        \
  X(StackIncrement,   "sinc",   1)        \
  X(StackDecrement,   "sdec",   1)        \
  X(JumpIfZero,       "jz",     2)        \
  X(Set,              "set",    2)        \
  X(Move,             "mov",    2)        \
  X(StoreIndirect,    "stind",  2)        \
  X(StackSet,         "sset",   2)        \
  X(StackGet,         "sget",   2)        \
  X(StackStore,       "sstore", 2)        \
  X(StackMove,        "smov",   2)        \
  X(StackDeref,       "sderef", 2)        \
  X(Deref,            "deref",  2)        \
  X(StackAddress,     "saddr",  2)        \
  X(Less,             "lt",     3)        \
  X(LessEqual,        "le",     3)        \
  X(Greater,          "gt",     3)        \
  X(GreaterEqual,     "ge",     3)        \
  X(Equal,            "eq",     3)        \
  X(NotEqual,         "ne",     3)
// clang-format on

enum Opcode : uint32_t {
#define BW_OPCODE_ID(name, mnemonic, operands) kOp##name,
  BW_OPCODES(BW_OPCODE_ID)
#undef BW_OPCODE_ID
};

inline constexpr uint8_t kOpcodeOperands[] = {
#define BW_OPCODE_OPERANDS(name, mnemonic, operands) operands,
    BW_OPCODES(BW_OPCODE_OPERANDS)
#undef BW_OPCODE_OPERANDS
};
constexpr uint32_t kOpcodeCount = std::size(kOpcodeOperands);

inline constexpr const char* kOpcodeMnemonics[kOpcodeCount] = {
#define BW_OPCODE_MNEMONIC(name, mnemonic, operands) mnemonic,
    BW_OPCODES(BW_OPCODE_MNEMONIC)
#undef BW_OPCODE_MNEMONIC
};

}  // namespace bw
