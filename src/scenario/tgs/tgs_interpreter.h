// The scenario interpreter. Code is message text with embedded instructions: plain Shift-JIS is
// collected into the frame's text buffer, "[ " runs an instruction (control functions 0-11 here,
// built-ins 12-131 through the registered table) and "[s" runs a main-script statement in place.
// Conditions and arguments may be main-script variables or expressions, run by the frame's own
// bytecode machine over the host's guest memory and natives.
#pragma once

#include <cstdint>
#include <optional>

#include "common/byte_reader.h"
#include "scenario/tgs/tgs_frame_base.h"

namespace bw {

// TgsRunStep
constexpr int kTgsStepEnded = 0;
constexpr int kTgsStepStatementFailed = -1;
constexpr int kTgsStepNoScript = -2;
constexpr int kTgsStepMalformed =
    -3;  // code the interpreter cannot run (standard error says where)
constexpr int kTgsStepBadResult = -4;  // a built-in answered below -1
// The result word a built-in (or an empty Return) sets when the script has ended.
constexpr int32_t kTgsScriptEnded = 0x7FFFFFFF;
// TgsRunNested
constexpr int kTgsNestedNoHost = 1;
constexpr int kTgsNestedCallFailed = 1;
constexpr int kTgsNestedJumpFailed = 2;
constexpr int kTgsNestedJumpRefused = 3;
constexpr int kTgsNestedQuit = -1;
constexpr int kTgsNestedFault = -3;

// Runs the current script until a built-in stops it or the script ends.
[[nodiscard]] int TgsRunStep(TgsFrameBase& frame);
// Runs the instruction whose fields start at position (behind "[ "); the next position, or
// nullopt to stop the step.
[[nodiscard]] std::optional<uint32_t> TgsExecuteInstruction(TgsFrameBase& frame, uint32_t position);
// Runs the statement whose fields start at position (behind "[s"); the next position or nullopt.
[[nodiscard]] std::optional<uint32_t> TgsRunStatement(TgsFrameBase& frame, uint32_t position);
// Finishes main-script code on the frame's runner that waited or asked for a Call, Jump or Exit;
// alreadyRunning: the runner has run and its last result is current.
[[nodiscard]] int TgsRunNested(TgsFrameBase& frame, bool jumpAllowed, bool alreadyRunning);
// Applies the five link lists read from lists to the code at code (codeSize bytes): each count is
// one byte (expressions) or a u32 (statements). False when a list runs past lists' end, a place
// does not leave 4 bytes inside the code, or a number is outside its table.
[[nodiscard]] bool TgsLinkBytecode(GuestMemory& memory, ByteReader& lists, uint32_t code,
                                   uint32_t codeSize, bool oneByteCounts);
// Appends one built-in to the table; the frame holds 0-11 already. Answers the function's number.
int TgsRegisterFunction(TgsFrameBase& frame, TgsBuiltin function);

}  // namespace bw
