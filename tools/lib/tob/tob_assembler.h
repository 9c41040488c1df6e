// The readable text form of compiled scenario scripts and the writer of the scenario files. The
// first directive of a source names the file it makes:
//
//   .tob0 / .tob1     a scenario script
//   .init             the read-flag table "TGS_INIT.DAT": `.script NAME bits secondBits` lines
//   .log / .log packed  the read-text log "TEXT_LOG.DAT": `.record NAME bits secondBits HEX HEX`
//                     lines (the two sets' bytes in hex, `-` for none)
//
// Script lines (`;` starts a comment outside quotes and braces):
//   NAME:                 a label at this place (also `.label NAME OFFSET`, in the label block's
//                         order, for labels anywhere)
//   "text"                UTF-8 text, written as CP932; a "[" becomes a PrintText instruction
//   .bytes 5B 41 ...      raw code bytes;  .end  the end byte
//   .messages O, O, ...   the message table (else the offset of each MessageBegin, in order)
//   FUNCTION [COND] ARG, ARG, ...   an instruction: FUNCTION is a built-in or control name (see
//                         FunctionName) or fN. COND: if(N), if(var B I) or if{CODE}.
//   stmt{CODE}            a main-script statement
// Arguments: - (not given), =N (flags 0), N, "text", nul (a text of length 0), var(B I), {CODE}
// (an expression), @LABEL or @N (an offset); kA: in front gives flags A. CODE is main-script
// code in the sobasm syntax, its lines separated by |; an expression stores its result into
// host:0 and returns. {!HEX!HEX!L} gives a fragment's bytecode, link area and linked byte as they
// stand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lib/sob/sob_assembler.h"

namespace bw::tob {

// Ways to spoil the written file, for testing the readers.
struct FaultSwitches {
  bool badMagic = false;
  uint32_t oversizeS1 = 0;         // added to the label block's size
  uint32_t oversizeS2 = 0;         // added to the message block's size
  uint32_t oversizeN = 0;          // added to the message count (and the table's record count)
  bool unterminatedLabel = false;  // the first label (or table name) loses its NUL
  bool offsetPastCode = false;     // the first label's offset is the code's size
  bool noEndByte = false;          // the code's last end byte is dropped
  bool leadByteLast = false;       // the code ends with a lone lead byte
  bool badSkip = false;            // the first instruction's skip runs past the code
  bool function132 = false;        // the first instruction calls function 132
  bool kind4 = false;              // the first instruction's condition kind is 4
  bool longString = false;         // the first text argument claims 200 more bytes
  bool linkPlaceOutside = false;   // the first link's place is the bytecode's length
  bool linkIndexOutside = false;   // the first link's number is past every table
  size_t truncateTo = SIZE_MAX;
};

using sob::AssembleResult;

AssembleResult Assemble(std::string_view source, const FaultSwitches& faults = {});

// The text form of a scenario script, read-flag table or log, which assembles to the same bytes;
// an error text starting with "error:" when the file is none of them.
std::string Disassemble(std::span<const uint8_t> file);

// Names of functions 0-131 as the text form writes them (the built-ins' own names from 12 on); fN
// for one without a name.
std::string FunctionName(uint32_t number);
// The number of a function name or fN; -1 when it is neither.
int FunctionNumber(std::string_view name);

}  // namespace bw::tob
