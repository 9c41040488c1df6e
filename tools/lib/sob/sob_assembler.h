// The readable text form of compiled main scripts, and the writer of their files: code blocks
// ("SOB0" scripts, the "SOB2" library), the "SOB1" variable file and the "SOB_INIT.DAT" script
// table. The first directive of a source names the file it makes:
//
//   .sob0 / .sob2     code: instructions and data
//   .sob1             the variable file: data directives build the block, .var declares
//   .table            the script table: one .script line per script
//   .raw              data directives only, written as they stand (voice tables, state files)
//
// Lines: `label:` may start any line; `;` starts a comment. Instructions are a mnemonic (see
// kOpcodeMnemonics) or `op N` with any operands, separated by commas; `switch i, a, b, ...`
// appends the table's -1 word. Operands: numbers (12, -3, 0x1F); `name` or `name+N` / `name-N`, the
// address of a label; `name.K`, the address of operand K (from 1) of the instruction at name; and
// `var:N`, `native:N`, `host:N`, `lib:N`, resolved by the loader through its tables.
// Data: `.word` operands..., `.byte` numbers..., `.string "text"` (zero added), `.space N`.
// Strings take UTF-8 text, written as its CP932 bytes (text with no CP932 form is an error), and
// \xNN, \n, \t, \0, \\ and \" escapes. In .sob1: `.var kind class label size`. In .table:
// `.script NAME bitsA bitsB`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "script/bytecode_vm.h"

namespace bw::sob {

// Ways to spoil the written file, for testing the readers.
struct FaultSwitches {
  bool badMagic = false;
  bool badTerminator = false;        // the word closing the relocation lists is not 0
  bool unterminatedNames = false;    // script-table names lose their terminating zero
  bool misplacedRelocation = false;  // the first relocation's place straddles the code's end
  uint32_t oversizeCount = 0;        // added to the file's first count
  uint32_t oversizeSize = 0;         // added to the file's first size (relocation area, data)
  size_t truncateTo = SIZE_MAX;      // the file is cut to this many bytes
};

struct AssembleResult {
  bool ok = false;
  std::vector<uint8_t> bytes;
  std::string error;  // "line N: ..." when not ok
};

AssembleResult Assemble(std::string_view source, const FaultSwitches& faults = {});

// The text form of a "SOB0" or "SOB2" file, which assembles to the same bytes except under
// relocations (written as 0; the loader overwrites them); an error text starting with "error:"
// when the file is not one.
std::string Disassemble(std::span<const uint8_t> file);

}  // namespace bw::sob
