#include "script/script_engine.h"

namespace bw {

ScriptEngine::ScriptEngine(ScriptFileSource* files, uint32_t arenaBytes) : ScriptVm(files, arenaBytes) {
  RegisterNative([this](GuestMemory& m, uint32_t args) { return NativeRequest(m, args, kRequestCall); });
  RegisterNative([this](GuestMemory& m, uint32_t args) { return NativeRequest(m, args, kRequestJump); });
  RegisterNative([this](GuestMemory& m, uint32_t args) { return NativeRequest(m, args, kRequestExit); });
  BindHostVariable("ScriptBootFlg", memory().Allocate(4));
  BindHostVariable("retAppProc", memory().Allocate(4));
}

int ScriptEngine::NativeRequest(GuestMemory& m, uint32_t args, uint32_t word) {
  request_.word = word;
  if (word == kRequestExit) return 0;
  uint32_t text = 0;
  if (!m.Read32(args, text)) return 0;
  // A name longer than the buffer is cut there; LoadScript then refuses it.
  std::string name;
  for (uint32_t i = 0; i < kMaxRequestName; ++i) {
    uint8_t c;
    if (!m.Read(text + i, &c, 1)) return 0;
    if (c == 0) break;
    name.push_back(static_cast<char>(c));
  }
  request_.name = std::move(name);
  return 0;
}

int ScriptEngine::LoadScript(const std::string& name, BytecodeVm* interpreter) {
  if (name.size() > kMaxScriptName || name.find('\0') != std::string::npos) return kLoadNotFound;
  return ScriptVm::LoadScript("SCRIPT\\" + name + ".SOB", interpreter);
}

int ScriptEngine::Start() {
  if (LoadInitFiles("SCRIPT\\SOB_INIT.DAT", "SCRIPT\\USER_VAR.SOB", "SCRIPT\\FUNC_LIB.SOB", true, true) != 0) {
    return kStartInitFailed;
  }
  PublishTables();
  int r = LoadScript("MAIN");
  return r == 0 ? 0 : kStartInitFailed + r;
}

int ScriptEngine::Step() {
  BytecodeVm& vm = interpreter();
  for (;;) {
    int r = vm.Run();
    if (r == kRunFault) return kStepIllegal;
    switch (request_.word) {
      case kRequestNone:
        if (r == kRunWaiting) return kStepWaiting;
        if (request_.callDepth == 0) return kStepEnded;
        // A called script ended: its caller resumes behind its wait.
        --request_.callDepth;
        UnloadLastScript();
        if (vm.PopInstructionPointer() != 0) return kStepIllegal;
        break;
      case kRequestJump:
        if (r == kRunWaiting) return kStepIllegal;  // a Jump must be followed by the end
        UnloadLastScript();
        if (LoadScript(request_.name) != 0) return kStepJumpFailed;
        request_.word = kRequestNone;
        break;
      case kRequestCall:
        if (r == kRunEnded) return kStepIllegal;  // a Call must be followed by a wait
        if (vm.PushInstructionPointer() != 0) return kStepIllegal;
        if (LoadScript(request_.name) != 0) {
          vm.PopInstructionPointer();
          request_.word = kRequestNone;
          return kStepCallFailed;
        }
        ++request_.callDepth;
        request_.word = kRequestNone;
        break;
      case kRequestExit:
        return kStepEnded;
      default:
        request_.word = kRequestNone;
        break;
    }
  }
}

void ScriptEngine::UnloadScripts(uint32_t bootFlag) {
  OnUnloadAll();
  memory().Write32(HostVariableAddress(1), bootFlag);
  interpreter().ResetStack();
  request_.callDepth = 0;
  FreeLoadedScriptsFrom(libraryCodeBase() ? 1 : 0);
}

int ScriptEngine::Interrupt(uint32_t bootFlag) {
  UnloadScripts(bootFlag);
  return LoadScript("MAIN");
}

}  // namespace bw
