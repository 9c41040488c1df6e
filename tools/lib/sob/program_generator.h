// Well-formed main-script programs made from arbitrary bytes, for comparing the interpreter with
// the translated code: bounded loops, moves into later instructions' operand words (addresses
// among them), calls into local functions and into a library block, switches, waits, and natives
// that record, allocate or fault. Every byte sequence gives a program that assembles; programs
// never write opcode words. The same bytes always give the same program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace bw::sob {

// The natives programs call, by number: 0 answers the word at its argument, 1 records its
// argument's word and answers 0, 2 allocates a block and answers its address, 3 faults.
constexpr uint32_t kGeneratedNatives = 4;

struct GeneratedProgram {
  std::string script;   // the main script's code lines, for a ".sob0" source
  std::string library;  // ".sob2" source of the library it calls
};

GeneratedProgram GenerateProgram(std::span<const uint8_t> bytes);

}  // namespace bw::sob
