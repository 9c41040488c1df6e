// The script engine: starts scripts by name, steps the main script once per frame-loop turn and
// serves the Call, Jump and Exit requests that natives 0 to 2 leave, restarts "MAIN" on an
// interrupt, reads the voice table and keeps the system state and variable files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "script/script_vm.h"
#include "sound/voice_table.h"

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

// System state file
constexpr int kStateNoName = 1;       // also: the file does not load (reading)
constexpr int kStateOutOfMemory = 2;  // writing
constexpr int kStateBadData = 2;      // reading: unpacking fails or the content is short
constexpr int kStateCannotCreate = 3;
constexpr int kStateFault = -1;
constexpr int kStateNoNames = 2;  // SavePersistentState with neither file named
// Variable files
constexpr int kVariableFileNoFile = 1;    // no name, cannot create, does not load
constexpr int kVariableFileEmptySet = 2;  // also: snapshot B asked for and missing
constexpr int kVariableFileBadData = 2;   // checksum, unpacking, kinds, a short or empty header
constexpr int kVariableFileOutOfMemory = 3;
constexpr int kVariableFileTooLarge = 3;  // a stored header value does not fit its variable
constexpr int kVariableFileBadHeaderVariables = 4;
constexpr int kVariableFileLookupFailed = 3;  // ReadVariableFileHeader: the targets are wrong
// FindHeaderVariables
constexpr int kHeaderPlainNotDirect = 1;
constexpr int kHeaderTextNotCell = 2;
constexpr int kHeaderNotFound = 3;

struct ScriptRequest {
  uint32_t word = kRequestNone;
  std::string name;
  bool nameTooLong = false;  // the asked name did not fit the buffer: it loads nothing
  uint32_t callDepth = 0;
};

// The text (CP932) the frame loop shows for a step result; empty for 0 and 1.
std::string StepFailureMessage(int stepResult);

class ScriptEngine : public ScriptVm {
 public:
  explicit ScriptEngine(ScriptFileSource* files, uint32_t arenaBytes = GuestMemory::kDefaultArena);
  ~ScriptEngine() override;

  // name is the bare script name; 1 when it is longer than kMaxScriptName bytes.
  [[nodiscard]] int LoadScript(const std::string& name, BytecodeVm* interpreter = nullptr) override;
  // The script named in the request buffer.
  [[nodiscard]] int LoadRequestedScript();
  virtual void OnUnloadAll() {}

  // Loads the start files and the voice table, publishes the VM tables and loads "MAIN".
  [[nodiscard]] int Start();
  [[nodiscard]] int Step();
  // The interrupt's first half: every script but the library goes, the stack empties.
  void UnloadScripts(uint32_t bootFlag);
  // The interrupt: UnloadScripts, then "MAIN" again; the LoadScript result.
  [[nodiscard]] int Interrupt(uint32_t bootFlag);

  [[nodiscard]] int LoadVoiceInfo(const std::string& file);
  const VoiceTable& GetVoices() const { return voices_; }
  VoiceTable& GetVoices() { return voices_; }

  void SetSystemStateFileName(const char* name);
  [[nodiscard]] int SavePersistentState();
  [[nodiscard]] int WriteSystemState(const char* name);
  [[nodiscard]] int ReadSystemState(const char* name);

  // Sizes of the two header variables: plain (kind 0) and text (kind 1); 0 asks for neither.
  int FindHeaderVariables(uint32_t plain, uint32_t text, uint32_t* plainSize, uint32_t* textSize);
  [[nodiscard]] int WriteVariableFile(const char* name, int set, uint32_t plain, uint32_t text,
                                      bool fromSnapshotB);
  [[nodiscard]] int ReadVariableFileHeader(const char* name, uint32_t plain, uint32_t text);
  [[nodiscard]] int ReadVariableFile(const char* name);

  ScriptRequest& Request() { return request_; }
  uint32_t BootFlagAddress() const { return HostVariableAddress(1); }

 private:
  [[nodiscard]] int NativeRequest(GuestMemory& memory, uint32_t args, uint32_t word);
  // The name to use: the given one, else the system-state file name; null when neither.
  const char* NameOrSystem(const char* name) const;

  ScriptRequest request_;
  VoiceTable voices_;
  std::optional<std::string> systemStateFileName_;
};

}  // namespace bw
