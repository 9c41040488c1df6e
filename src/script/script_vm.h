// The main script's virtual machine: the interpreter with its stack, the natives, the host
// variables, the script variables with their two snapshots, the script table with its read flags
// and the loaded code blocks, all in one guest address space.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "platform/bit_set.h"
#include "script/bytecode_vm.h"
#include "script/guest_memory.h"
#include "script/script_file_source.h"
#include "script/threaded_code.h"

namespace bw {

// LoadInitFiles
constexpr int kInitAlreadyDone = 1;
constexpr int kInitBadScriptTable = 2;
constexpr int kInitBadVariableMagic = 3;
constexpr int kInitBadVariableFile = 4;
constexpr int kInitBadLibraryMagic = 5;
constexpr int kInitBadLibrary = 6;
// LoadScript
constexpr int kLoadNotFound = 1;
constexpr int kLoadBadScript = 2;  // wrong magic or not in the script table
constexpr int kLoadBadCode = 3;
// ParseCode
constexpr int kParseBadCode = 1;
// RestoreFromSnapshotA, SaveToSnapshotB, RestoreFromSnapshotB, AddMarkedVariable,
// SaveVariableToSnapshotB
constexpr int kSnapshotMissing = 1;
constexpr int kVariableNotFound = 2;
// WriteVariableSet
constexpr int kWriteSetNoOutput = 1;
constexpr int kWriteSetNoSnapshot = 2;
// ReadVariableSet
constexpr int kReadSetMismatch = 1;
// SaveScriptTable
constexpr int kSaveTableFailed = 1;  // no name or the write failed
constexpr int kSaveTableEmpty = 2;
constexpr int kSaveTableNoMemory = 3;
constexpr int kSaveTableUnexpected = -1;
// LoadScriptTable
constexpr int kLoadTableNotFound = 1;
constexpr int kLoadTableBadFile = 2;
// FindVariableIndex
constexpr int kNoVariableIndex = -1;

constexpr uint32_t kNativeCount = 809;      // natives 0 to 808
constexpr uint32_t kHostVariableCount = 3;  // retTgsExp, ScriptBootFlg, retAppProc

struct VariableRecord {
  uint32_t storage = 0;  // the value (kinds 0, 2) or its pointer cell (kind 1)
  uint8_t kind = 0;
  uint8_t varClass = 0;
  uint32_t size = 0;
};

struct HostVariable {
  uint32_t address = 0;
};

struct ScriptRecord {
  std::string name;  // the stored bytes, terminating zero included
  bool matched = false;
  BitSet readA;
  BitSet readB;
};

struct LoadedScript {
  uint32_t code = 0;
  uint32_t codeSize = 0;
  int32_t tableIndex = -1;
  uint32_t instructionBytes = 0;
  std::unique_ptr<BytecodeJit> translation;  // machine code of the instructions, or none
  std::unique_ptr<ThreadedCode> decoded;     // else the interpreter's decoding of them
};

// What scenario scripts need to link embedded main-script code: published at the start.
struct ScriptVmTables {
  GuestMemory* memory = nullptr;
  const std::vector<VariableRecord>* variables = nullptr;
  const std::vector<NativeFunction>* natives = nullptr;
  const std::vector<HostVariable>* hostVariables = nullptr;
  uint32_t libraryBase = 0;
  uint32_t librarySize = 0;
};

// Applies the five relocation lists read from lists to the code at code (codeSize bytes) and
// checks the terminating zero. False when a list runs short, a place lies outside the code, a
// number is outside its table, or the terminator is not 0.
[[nodiscard]] bool ApplyRelocations(ByteReader& lists, uint32_t code, uint32_t codeSize,
                                    const ScriptVmTables& tables);
// The word that entry (list 1 to 5, value) of a relocation list stores into the code at code
// (codeSize bytes); false when value is outside its table.
[[nodiscard]] bool RelocationWord(int list, uint32_t value, uint32_t code, uint32_t codeSize,
                                  const ScriptVmTables& tables, uint32_t& word);

class ScriptVm {
 public:
  static constexpr uint32_t kStackWords = 16384;

  // files must outlive the VM: its destructor writes the script-table state file.
  explicit ScriptVm(ScriptFileSource* files, uint32_t arenaBytes = GuestMemory::kDefaultArena);
  virtual ~ScriptVm();
  ScriptVm(const ScriptVm&) = delete;
  ScriptVm& operator=(const ScriptVm&) = delete;

  [[nodiscard]] virtual int LoadScript(const std::string& fileName,
                                       BytecodeVm* interpreter = nullptr);
  virtual int UnloadLastScript();
  virtual uint32_t GetCodeBase() const { return currentCodeBase_; }
  [[nodiscard]] virtual int PushEndMarker() { return interpreter_.PushEndMarker(); }
  [[nodiscard]] virtual int CallAt(uint32_t address) { return interpreter_.CallAt(address); }
  virtual void OnUnloadScript() {}

  int RegisterNative(NativeFunction function);
  int BindHostVariable(const char* name, uint32_t address);

  [[nodiscard]] int LoadInitFiles(const std::string& tableFile, const std::string& variableFile,
                                  const std::string& libraryFile, bool makeSnapshotA,
                                  bool makeSnapshotB);
  [[nodiscard]] int ParseCode(ByteReader block, int32_t tableIndex, bool isLibrary);

  [[nodiscard]] int ClearVariables(int classFilter, int kindFilter);
  [[nodiscard]] int RestoreFromSnapshotA(int classFilter, int kindFilter);
  [[nodiscard]] int SaveToSnapshotB(int classFilter, int kindFilter);
  [[nodiscard]] int RestoreFromSnapshotB(int classFilter, int kindFilter);
  int FindVariableIndex(uint32_t address) const;
  [[nodiscard]] int AddMarkedVariable(uint32_t address);
  void ClearMarkedVariables() { marked_.clear(); }
  [[nodiscard]] int SaveVariableToSnapshotB(uint32_t address);

  uint32_t GetVariableSetSize(int set, bool fromSnapshotB) const;
  [[nodiscard]] int WriteVariableSet(std::vector<uint8_t>* out, int set, bool fromSnapshotB);
  [[nodiscard]] int ReadVariableSet(ByteReader& in);
  // True when ReadVariableSet would read the whole selected set from in (a copy is walked).
  [[nodiscard]] bool CheckVariableSet(ByteReader in) const;

  bool TestReadFlagA(uint32_t bit, bool inLastRecord) const;
  [[nodiscard]] int SetReadFlagA(uint32_t bit, bool inLastRecord);
  bool TestReadFlagB(uint32_t bit, bool inLastRecord) const;
  [[nodiscard]] int SetReadFlagB(uint32_t bit, bool inLastRecord);
  // The choice flags of the running or the last script's record; null without one.
  BitSet* ReadFlagsB(bool inLastRecord) {
    ScriptRecord* r = FlagRecord(inLastRecord);
    return r ? &r->readB : nullptr;
  }

  [[nodiscard]] bool SetScriptTableFileName(const char* name);
  bool HasScriptTableFileName() const { return !tableFileName_.empty(); }
  [[nodiscard]] int SaveScriptTable(const char* name);
  [[nodiscard]] int LoadScriptTable(const char* name);
  void SetFolderPrefix(std::string prefix) { folderPrefix_ = std::move(prefix); }

  // Makes the tables reachable through Global<ScriptVmTables> until this VM dies.
  void PublishTables();
  const ScriptVmTables& Tables() const { return tables_; }

  GuestMemory& GetMemory() { return memory_; }
  BytecodeVm& Interpreter() { return interpreter_; }
  const std::vector<VariableRecord>& Variables() const { return live_.records; }
  // The address of live variable index's value, 0 when there is none.
  uint32_t VariableValueAddress(uint32_t index);
  const std::vector<std::unique_ptr<LoadedScript>>& LoadedScripts() const { return loaded_; }
  const std::deque<ScriptRecord>& ScriptTable() const { return table_; }
  int CurrentRecord() const { return currentRecord_; }
  uint32_t LibraryCodeBase() const { return libraryCodeBase_; }
  const std::vector<uint32_t>& MarkedVariables() const { return marked_; }
  uint32_t HostVariableAddress(uint32_t number) const {
    return number < hostVariables_.size() ? hostVariables_[number].address : 0;
  }

 protected:
  struct VariableSet {
    bool present = false;
    uint32_t data = 0;
    uint32_t cells = 0;
    std::vector<VariableRecord> records;
  };

  ScriptFileSource* Files() const { return files_; }
  std::string StatePath(const char* name) const { return folderPrefix_ + name; }
  void FreeLoadedScript(LoadedScript& script);
  // Translates the block's instructions when interpreter runs translated code; a block whose
  // translation fails, or that is not to be translated, is decoded for the interpreter.
  void TranslateBlock(LoadedScript& script, const BytecodeVm& interpreter);
  // Frees every loaded block from position first on, without the unload hook.
  void FreeLoadedScriptsFrom(size_t first);
  void FreeVariableSet(VariableSet& set);
  // The value address of record index in set, 0 when a cell points nowhere sensible.
  uint32_t ValueAddress(VariableSet& set, size_t index);

 private:
  [[nodiscard]] int CopySelected(VariableSet& from, VariableSet& to, int classFilter,
                                 int kindFilter);
  [[nodiscard]] int LoadTableFile(const std::string& name);
  [[nodiscard]] int LoadVariableFile(const std::string& name, bool makeSnapshotA,
                                     bool makeSnapshotB);
  ScriptRecord* FlagRecord(bool inLastRecord);
  const ScriptRecord* FlagRecord(bool inLastRecord) const;

  ScriptFileSource* files_;
  GuestMemory memory_;
  std::vector<NativeFunction> natives_;
  BytecodeVm interpreter_;
  std::vector<std::unique_ptr<LoadedScript>> loaded_;
  std::vector<HostVariable> hostVariables_;
  VariableSet live_, snapshotA_, snapshotB_;
  std::vector<uint32_t> marked_;
  bool initialised_ = false;
  uint32_t libraryCodeBase_ = 0;
  uint32_t librarySize_ = 0;
  uint32_t currentCodeBase_ = 0;
  uint32_t retTgsExp_ = 0;          // guest address of host variable 0
  std::deque<ScriptRecord> table_;  // records hold their bit sets in place
  int currentRecord_ = -1;
  std::string folderPrefix_;
  std::string tableFileName_;
  ScriptVmTables tables_;
};

}  // namespace bw
