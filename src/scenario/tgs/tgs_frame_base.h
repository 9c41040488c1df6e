// The scenario player's base: it loads ".TOB" scripts, keeps the stack of running scripts, the
// resident scripts, the call stack of Call and Return, the value stack of argument slots, the
// per-script read flags with their log "TEXT_LOG.DAT", the state record for save data, and the
// interpreter's state (see tgs_interpreter.h).
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "platform/bit_set.h"
#include "scenario/tgs/tgs_builtin_call.h"
#include "scenario/tgs/tgs_script.h"
#include "script/bytecode_vm.h"

namespace bw {

class ScriptEngine;
class ScriptFileSource;

// LoadTgsScript
constexpr int kTgsLoadNotFound = 1;
constexpr int kTgsLoadBadFile = 2;  // another magic or a malformed layout
constexpr int kTgsLoadNotListed = 3;
// Start (and LoadTgsScript's code + 1)
constexpr int kTgsStartBusy = 1;
// LoadInitTable
constexpr int kTgsTableMissing = 1;
constexpr int kTgsTableBad = 2;  // out of memory, or records that do not fit the file
// Unload
constexpr int kTgsUnloadNone = 1;
constexpr int kTgsUnloadNotFound = 2;
constexpr int kTgsUnloadInUse = 3;
// SetScriptFolder, SetLogFileName
constexpr int kTgsNullName = 1;
// WriteLogFile / ReadLogFile
constexpr int kTgsLogNoName = 1;  // also: the file cannot be written or read
constexpr int kTgsLogNoTable = 2;
constexpr int kTgsLogBad = 2;
constexpr int kTgsLogNoMemory = 3;
constexpr int kTgsLogFault = -1;
// SaveState / LoadState
constexpr int kTgsStateNoCursor = 1;  // also: SaveState with no script running
constexpr int kTgsStateLoadFailed = 2;
constexpr int kTgsStateNoResident = 3;
constexpr int kTgsStateMalformed = 4;
// MarkMessageRead
constexpr int kTgsNoRecord = -1;

struct TgsReadFlagRecord {
  std::string name;        // without its NUL
  uint8_t nameLength = 0;  // the stored length, NUL included
  bool matched = false;
  BitSet readSet;
  BitSet secondSet;
};

struct TgsCallFrame {
  int32_t scriptIndex = -2;  // -2 the same script, -1 the stack top, k the k-th resident script
  uint32_t returnOffset = 0;
};

// The state record as read, before any script is loaded for it.
struct TgsStateRecord {
  std::vector<std::string> stackNames;
  std::vector<std::string> residentNames;
  std::array<TgsCallFrame, 128> calls{};
  uint32_t callCount = 0;
  int32_t index = 0;
  uint32_t position = 0;
};

class TgsFrameBase : public TgsInterpreterContext {
 public:
  static constexpr uint32_t kValueStackWords = 4096;
  static constexpr uint32_t kCallStackFrames = 128;
  static constexpr uint32_t kRunnerStackWords = 8192;
  static constexpr size_t kTextBufferBytes = 4096;  // one byte stays for the terminator
  static constexpr uint32_t kBuiltinCount = 132;
  static constexpr uint32_t kControlCount = 12;
  static constexpr uint32_t kCallRecordScratch = 8192;

  // host links embedded main-script code (null: that code cannot run); files reads scripts,
  // the table and the log and writes the log. Both must outlive the frame.
  TgsFrameBase(ScriptEngine* host, ScriptFileSource* files);
  ~TgsFrameBase() override;
  TgsFrameBase(const TgsFrameBase&) = delete;
  TgsFrameBase& operator=(const TgsFrameBase&) = delete;

  [[nodiscard]] virtual int LoadInitTable(const std::string& name);
  [[nodiscard]] virtual int Start(const std::string& name);
  [[nodiscard]] virtual int Preload(const std::string& name);
  [[nodiscard]] virtual int Unload(const char* name);
  // New positions (code offsets in the then current script); nullopt for none.
  [[nodiscard]] virtual std::optional<uint32_t> Call(const char* name, const char* label,
                                                     int32_t offset);
  [[nodiscard]] virtual std::optional<uint32_t> Jump(const char* name, const char* label,
                                                     int32_t offset);
  [[nodiscard]] virtual std::optional<uint32_t> Return(const char* name, const char* label,
                                                       int32_t offset);
  virtual uint32_t GetStateSize() const;
  [[nodiscard]] virtual int SaveState(std::vector<uint8_t>* out) const;
  [[nodiscard]] virtual int LoadState(ByteReader* in);
  // Reads a state record without acting on it: 0 or a kTgsState* code; r moves past it.
  [[nodiscard]] static int ReadStateRecord(ByteReader& r, TgsStateRecord& out);
  // The frame's current message becomes none (Call, Jump and Return to another place).
  virtual void ResetMessageIndex() {}

  [[nodiscard]] int LoadTgsScript(const std::string& name, bool ontoStack);
  [[nodiscard]] int SetScriptFolder(const char* path);
  [[nodiscard]] int SetLogFileName(const char* name);
  void SetLogFolder(std::string folder) { logFolder_ = std::move(folder); }
  [[nodiscard]] int WriteLogFile(const char* name);
  [[nodiscard]] int ReadLogFile(const char* name);
  void UnloadAll();

  bool IsMessageRead(uint32_t i) const;
  [[nodiscard]] int MarkMessageRead(uint32_t i);
  uint32_t GetFlagCount(const char* name) const;
  uint32_t GetSetFlagCount(const char* name) const;
  bool IsAllFlagged(const char* name) const;

  // What runs and where.
  TgsScript* CurrentScript() const { return current_; }
  int32_t CurrentIndex() const { return currentIndex_; }
  uint32_t Position() const { return position_; }
  void SetPosition(uint32_t offset) { position_ = offset; }
  size_t StackDepth() const { return stack_.size(); }
  size_t ResidentCount() const { return resident_.size(); }
  const TgsScript* StackScript(size_t i) const { return stack_[i].get(); }
  const TgsScript* ResidentScript(size_t i) const { return resident_[i].get(); }
  std::span<const TgsCallFrame> CallStack() const { return {calls_.data(), callCount_}; }
  const std::deque<TgsReadFlagRecord>& ReadFlagTable() const { return table_; }
  TgsReadFlagRecord* CurrentRecord() const { return currentRecord_; }

  // The interpreter's state.
  std::string& Text() { return text_; }
  int32_t Result() const { return result_; }
  uint32_t ArgumentCount() const { return argumentCount_; }
  void SetOperations(TgsOperations* operations) { operations_ = operations; }
  BytecodeVm& Runner() { return runner_; }
  // Bounds each step to n characters and instructions (0: no bound); past it the step ends as for
  // malformed code. Untrusted scripts run this way in fuzzing, where an endless loop must end.
  void SetStepBudget(uint64_t n) { stepBudget_ = n; }
  // Whether steps read once are kept decoded for their next turns (on by default); off, every
  // turn reads every step afresh. The two must behave alike: fuzzing compares them.
  void SetStepDecoding(bool on) { decoding_ = on; }
  ScriptEngine* Host() const { return host_; }
  uint32_t ValueStackTop() const { return valueTop_; }
  // One turn of the application's frame loop for nested waits; answers 0 when it is quitting.
  void SetFrameStep(std::function<int()> step) { frameStep_ = std::move(step); }
  // Where the interpreter's error messages go (CP932); standard error when unset.
  void SetMessageSink(std::function<void(const std::string&)> sink) {
    messageSink_ = std::move(sink);
  }

  // TgsInterpreterContext
  GuestMemory& Memory() override { return memory_; }
  int32_t& WaitChain() override { return waitChain_; }
  bool CollectingText() const override { return collecting_; }
  [[nodiscard]] bool AppendCallRecord(uint32_t number, std::span<const TgsSlot> slots) override;
  void SetCollectingText(bool on) { collecting_ = on; }

 private:
  friend int TgsRunStep(TgsFrameBase& frame);
  friend std::optional<uint32_t> TgsExecuteInstruction(TgsFrameBase& frame, uint32_t position);
  friend std::optional<uint32_t> TgsRunStatement(TgsFrameBase& frame, uint32_t position);
  friend int TgsRunNested(TgsFrameBase& frame, bool jumpAllowed, bool alreadyRunning);
  friend int TgsRegisterFunction(TgsFrameBase& frame, TgsBuiltin function);
  friend class TgsInstruction;
  friend class TgsRunner;

  std::string FolderPath(const std::string& name) const { return scriptFolder_ + name; }
  std::string LogPath(const char* name) const;
  // The index of the resident script named name (case-blind), -1 when none.
  int32_t FindResident(std::string_view name) const;
  // Makes the named script current, resident or newly loaded onto the stack; false on failure.
  [[nodiscard]] bool FindOrLoad(const std::string& name);
  // Makes the script at index current (-1 the stack top); false when there is none.
  [[nodiscard]] bool MakeCurrent(int32_t index);
  void FollowRecord();
  // Releases and pops the stack top (the current script); false when the stack is empty.
  [[nodiscard]] bool PopCurrent();
  // A position in the current script, or nullopt when it is cleared for a failed load.
  [[nodiscard]] std::optional<uint32_t> Target(const char* label, uint32_t offset);
  void LoseScript();
  const TgsReadFlagRecord* NamedRecord(const char* name) const;
  [[nodiscard]] int ParseInitTable(ByteReader r, std::deque<TgsReadFlagRecord>& table) const;
  void ShowMessage(const std::string& cp932) const;

  std::unique_ptr<GuestMemory> ownMemory_;  // without a host
  ScriptEngine* host_;
  GuestMemory& memory_;
  ScriptFileSource* files_;
  std::vector<std::unique_ptr<TgsScript>> stack_;
  std::vector<std::unique_ptr<TgsScript>> resident_;
  TgsScript* current_ = nullptr;
  int32_t currentIndex_ = -1;
  std::array<TgsCallFrame, kCallStackFrames> calls_{};
  size_t callCount_ = 0;
  uint32_t position_ = 0;    // offset from the current script's code start
  uint32_t valueStack_ = 0;  // guest block of kValueStackWords words and the number scratch
  uint32_t valueTop_ = 0;    // words in use
  uint32_t numberScratch_ = 0;
  std::deque<TgsReadFlagRecord> table_;
  TgsReadFlagRecord* currentRecord_ = nullptr;
  std::string scriptFolder_;
  std::string logFolder_;
  std::string logName_;

  std::string text_;
  uint32_t pendingText_ = 0;  // guest address of text still to copy, 0 none
  int32_t result_ = 0;
  uint32_t argumentCount_ = 0;
  std::vector<TgsBuiltin> builtins_;
  int32_t waitChain_ = 0;
  bool collecting_ = false;
  bool malformed_ = false;  // the step met code it cannot run
  bool trace_ = false;
  uint64_t stepBudget_ = 0;
  bool decoding_ = true;
  std::vector<TgsSlot> slotRow_;  // the instruction's arguments while they are read
  TgsOperations* operations_ = nullptr;
  const std::vector<NativeFunction> noNatives_;
  BytecodeVm runner_;
  int lastRun_ = kRunEnded;
  std::function<int()> frameStep_;
  std::function<void(const std::string&)> messageSink_;
};

}  // namespace bw
