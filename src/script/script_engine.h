// The script engine: starts scripts by name, steps the main script once per frame-loop turn and
// serves the Call, Jump and Exit requests that natives 0 to 2 leave, and restarts "MAIN" on an
// interrupt.
#pragma once

#include <cstdint>
#include <string>

#include "script/script_vm.h"

namespace bw {

// Step
constexpr int kStepEnded = 0;
constexpr int kStepWaiting = 1;
constexpr int kStepIllegal = 2;
constexpr int kStepJumpFailed = 3;
constexpr int kStepCallFailed = 4;
// Start
constexpr int kStartInitFailed = 2;  // else 2 + the LoadScript result for "MAIN"

// What natives 0 to 2 ask of the step.
constexpr uint32_t kRequestNone = 0;
constexpr uint32_t kRequestJump = 1;
constexpr uint32_t kRequestCall = 2;
constexpr uint32_t kRequestExit = 3;

constexpr size_t kMaxScriptName = 52;    // "SCRIPT\" + name + ".SOB" fits 64 bytes
constexpr size_t kMaxRequestName = 259;  // the request buffer's 260 bytes with the terminator

struct ScriptRequest {
  uint32_t word = kRequestNone;
  std::string name;
  uint32_t callDepth = 0;
};

class ScriptEngine : public ScriptVm {
 public:
  explicit ScriptEngine(ScriptFileSource* files, uint32_t arenaBytes = GuestMemory::kDefaultArena);
  ~ScriptEngine() override = default;

  // name is the bare script name; 1 when it is longer than kMaxScriptName bytes.
  int LoadScript(const std::string& name, BytecodeVm* interpreter = nullptr) override;
  virtual void OnUnloadAll() {}

  // Loads the start files, publishes the VM tables and loads "MAIN".
  int Start();
  int Step();
  // The interrupt's first half: every script but the library goes, the stack empties.
  void UnloadScripts(uint32_t bootFlag);
  // The interrupt: UnloadScripts, then "MAIN" again; the LoadScript result.
  int Interrupt(uint32_t bootFlag);

  ScriptRequest& request() { return request_; }
  uint32_t bootFlagAddress() const { return HostVariableAddress(1); }

 private:
  int NativeRequest(GuestMemory& memory, uint32_t args, uint32_t word);

  ScriptRequest request_;
};

}  // namespace bw
