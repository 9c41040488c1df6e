// Main-script code inside scenarios: linking it on first use, and finishing a run of it that
// waited or asked for another script.
#include <string>

#include "common/global.h"
#include "host/cp932.h"
#include "scenario/tgs/tgs_interpreter.h"
#include "script/script_engine.h"

namespace bw {

bool TgsLinkBytecode(GuestMemory& memory, ByteReader& lists, uint32_t code, uint32_t codeSize,
                     bool oneByteCounts) {
  const ScriptVmTables* tables = Global<ScriptVmTables>::Get();
  if (!tables || tables->memory != &memory) return false;
  for (int list = 1; list <= 5; ++list) {
    uint32_t count = 0;
    uint8_t small = 0;
    if (oneByteCounts ? !lists.u8(small) : !lists.u32le(count)) return false;
    if (oneByteCounts) count = small;
    if (!lists.has(uint64_t{count} * 8)) return false;
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t at = 0, value = 0, word = 0;
      if (!lists.u32le(at) || !lists.u32le(value) || at > codeSize || codeSize - at < 4)
        return false;

      if (!RelocationWord(list, value, code, codeSize, *tables, word) ||
          !memory.Write32(code + at, word)) {
        memory.TakeFault();
        return false;
      }
    }
  }
  return true;
}

int TgsRunNested(TgsFrameBase& frame, bool jumpAllowed, bool alreadyRunning) {
  ScriptEngine* host = frame.host_;
  if (!host) return kTgsNestedNoHost;
  BytecodeVm& runner = frame.runner_;
  ScriptRequest& request = host->Request();
  int nested = 0;
  int r = alreadyRunning ? frame.lastRun_ : runner.Run();
  // Scripts this run loaded go again whichever way it ends. An Exit stays asked: the main script
  // ends at its next wait, as it would on its own Exit.
  auto finish = [&](int answer) {
    for (; nested > 0; --nested) host->UnloadLastScript();
    if (request.word != kRequestExit) request.word = kRequestNone;
    return answer;
  };
  for (;;) {
    if (r == kRunFault) return finish(kTgsNestedFault);
    switch (request.word) {
      case kRequestNone:
        if (r == kRunWaiting) {
          if (!frame.frameStep_ || frame.frameStep_() == 0) return finish(kTgsNestedQuit);
        } else {
          if (nested == 0) return finish(0);
          --nested;
          host->UnloadLastScript();
          if (runner.PopInstructionPointer() != 0) return finish(kTgsNestedFault);
        }
        break;
      case kRequestCall:
        if (runner.PushInstructionPointer() != 0) return finish(kTgsNestedFault);
        if (request.nameTooLong || host->LoadScript(request.name, &runner) != 0) {
          frame.ShowMessage(host::Cp932Literal("Call命令でスクリプトのロードに失敗"));
          return finish(kTgsNestedCallFailed);
        }
        ++nested;
        request.word = kRequestNone;
        break;
      case kRequestJump:
        if (!jumpAllowed) {
          frame.ShowMessage(host::Cp932Literal("システムスクリプト中でJump命令は使用できません"));
          return finish(kTgsNestedJumpRefused);
        }
        host->UnloadLastScript();
        if (nested > 0) --nested;
        if (request.nameTooLong || host->LoadScript(request.name, &runner) != 0) {
          frame.ShowMessage(host::Cp932Literal("Jump命令でスクリプトのロードに失敗"));
          return finish(kTgsNestedJumpFailed);
        }
        ++nested;
        request.word = kRequestNone;
        break;
      default:
        return finish(kTgsNestedQuit);
    }
    r = runner.Run();
  }
}

}  // namespace bw
