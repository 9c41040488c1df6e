#include "script/script_vm.h"

#include <cstring>
#include <new>

#include "common/global.h"
#include "common/sjis.h"
#include "script/state_block.h"

namespace bw {

namespace {

constexpr char kTableMagic[4] = {'T', 'L', 'O', 'G'};

bool HasMagic(ByteReader& r, const char (&magic)[5]) {
  auto m = r.bytes(4);
  return m && std::memcmp(m->data(), magic, 4) == 0;
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A table name compares as the engine compares zero-terminated texts.
bool SameName(const std::string& stored, const std::string& key) {
  return std::strcmp(stored.c_str(), key.c_str()) == 0;
}

bool ClassSelected(int filter, uint8_t varClass) {
  switch (filter) {
    case 1:
      return varClass == 0;
    case 2:
      return varClass == 1;
    case 3:
      return varClass == 2;
    default:
      return true;
  }
}

bool KindSelected(int filter, uint8_t kind) {
  switch (filter) {
    case 0:
      return true;
    case 1:
      return kind == 0;
    case 2:
      return kind == 1;
    case 3:
      return kind == 2;
    default:
      return false;
  }
}

// Set 0 streams class 1, set 1 class 2, anything else every class; kind 2 never streams.
bool StreamSelected(int set, const VariableRecord& r) {
  if (r.kind > 1) return false;
  if (set == 0) return r.varClass == 1;
  if (set == 1) return r.varClass == 2;
  return true;
}

// The file part of a script name, without folders or extension, upper-cased.
std::string ScriptKey(const std::string& fileName) {
  const size_t separator = sjis::FindLastOf(fileName, "\\/:");
  std::string leaf = fileName.substr(separator == sjis::npos ? 0 : separator + 1);
  size_t dot = leaf.rfind('.');
  if (dot != std::string::npos) leaf.resize(dot);
  return sjis::ToUpper(leaf);
}

}  // namespace

bool RelocationWord(int list, uint32_t value, uint32_t code, uint32_t codeSize,
                    const ScriptVmTables& t, uint32_t& word) {
  switch (list) {
    case 1:
      if (!t.variables || value >= t.variables->size()) return false;
      word = (*t.variables)[value].storage;
      return true;
    case 2:
      if (value >= kNativeCount) return false;
      word = NativeToken(value);
      return true;
    case 3:
      if (!t.hostVariables || value >= t.hostVariables->size()) return false;
      word = (*t.hostVariables)[value].address;
      return true;
    case 4:
      if (!t.libraryBase || value > t.librarySize) return false;
      word = t.libraryBase + value;
      return true;
    default:
      if (value > codeSize) return false;
      word = code + value;
      return true;
  }
}

bool ApplyRelocations(ByteReader& lists, uint32_t code, uint32_t codeSize,
                      const ScriptVmTables& t) {
  GuestMemory& m = *t.memory;
  for (int list = 1; list <= 5; ++list) {
    int32_t count;
    if (!lists.i32le(count)) return false;
    if (count <= 0) continue;
    if (!lists.has(uint64_t(count) * 8)) return false;
    for (int32_t i = 0; i < count; ++i) {
      uint32_t at = 0, value = 0, word = 0;
      if (!lists.u32le(at) || !lists.u32le(value) || at > codeSize || codeSize - at < 4)
        return false;
      if (!RelocationWord(list, value, code, codeSize, t, word)) return false;
      if (!m.Write32(code + at, word)) return false;
    }
  }
  uint32_t end;
  return lists.u32le(end) && end == 0;
}

ScriptVm::ScriptVm(ScriptFileSource* files, uint32_t arenaBytes)
    : files_(files), memory_(arenaBytes), interpreter_(memory_, &natives_) {
  // Without room every run faults on its first push, which the step reports.
  (void)interpreter_.AllocateStack(kStackWords);
  retTgsExp_ = memory_.Allocate(4);
  BindHostVariable("retTgsExp", retTgsExp_);
  tables_ = {&memory_, &live_.records, &natives_, &hostVariables_, 0, 0};
}

ScriptVm::~ScriptVm() {
  if (!tableFileName_.empty()) (void)SaveScriptTable(nullptr);  // nobody is left to tell
  if (Global<ScriptVmTables>::Get() == &tables_) Global<ScriptVmTables>::Clear();
}

void ScriptVm::PublishTables() {
  tables_.libraryBase = libraryCodeBase_;
  tables_.librarySize = librarySize_;
  Global<ScriptVmTables>::Set(&tables_);
}

int ScriptVm::RegisterNative(NativeFunction function) {
  natives_.push_back(std::move(function));
  return 0;
}

int ScriptVm::BindHostVariable(const char*, uint32_t address) {
  hostVariables_.push_back({address});
  return 0;
}

void ScriptVm::FreeLoadedScript(LoadedScript& script) {
  script.translation.reset();  // puts the opcode words back before the block goes
  script.decoded.reset();
  memory_.Free(script.code);
  script.code = 0;
}

void ScriptVm::TranslateBlock(LoadedScript& script, const BytecodeVm& interpreter) {
  script.translation.reset();
  script.decoded.reset();
  if (interpreter.TranslationEnabled()) {
    auto jit = std::unique_ptr<BytecodeJit>(new (std::nothrow) BytecodeJit(memory_));
    if (jit && jit->Compile(script.code, script.instructionBytes) == kCompileDone) {
      script.translation = std::move(jit);
      return;
    }
  }
  script.decoded = std::make_unique<ThreadedCode>(memory_, script.code, script.instructionBytes);
}

void ScriptVm::FreeLoadedScriptsFrom(size_t first) {
  while (loaded_.size() > first) {
    FreeLoadedScript(*loaded_.back());
    loaded_.pop_back();
  }
}

void ScriptVm::FreeVariableSet(VariableSet& set) {
  memory_.Free(set.data);
  memory_.Free(set.cells);
  set = VariableSet{};
}

int ScriptVm::LoadInitFiles(const std::string& tableFile, const std::string& variableFile,
                            const std::string& libraryFile, bool makeSnapshotA,
                            bool makeSnapshotB) {
  if (initialised_) return kInitAlreadyDone;
  initialised_ = true;
  if (int r = LoadTableFile(tableFile)) return r;
  if (int r = LoadVariableFile(variableFile, makeSnapshotA, makeSnapshotB)) return r;

  std::vector<uint8_t> bytes;
  if (!files_ || !files_->Load(libraryFile, bytes)) return 0;
  ByteReader r(bytes.data(), bytes.size());
  if (!HasMagic(r, "SOB2")) return kInitBadLibraryMagic;
  if (ParseCode(*r.sub(r.remaining()), 0, true) != 0) return kInitBadLibrary;
  TranslateBlock(*loaded_.back(), interpreter_);
  return 0;
}

int ScriptVm::LoadTableFile(const std::string& name) {
  std::vector<uint8_t> bytes;
  if (!files_ || !files_->Load(name, bytes)) return 0;
  ByteReader r(bytes.data(), bytes.size());
  uint16_t count;
  if (!r.u16le(count)) return kInitBadScriptTable;
  std::deque<ScriptRecord> table;
  try {
    table.resize(count);
  } catch (const std::bad_alloc&) {
    return kInitBadScriptTable;
  }
  for (ScriptRecord& record : table) {
    uint8_t length;
    uint16_t bitsA, bitsB;
    if (!r.u8(length)) return kInitBadScriptTable;
    auto nameBytes = r.bytes(length);
    // A name must carry its terminating zero, or comparing it would run past its end.
    if (!nameBytes || length == 0 || nameBytes->back() != 0) return kInitBadScriptTable;
    if (!r.u16le(bitsA) || !r.u16le(bitsB)) return kInitBadScriptTable;
    record.name.assign(reinterpret_cast<const char*>(nameBytes->data()), length);
    // 8 KB at most each; a set of 0 bits keeps no storage, as the table asks.
    (void)record.readA.Allocate(bitsA);
    (void)record.readB.Allocate(bitsB);
  }
  table_ = std::move(table);
  currentRecord_ = -1;
  return 0;
}

int ScriptVm::LoadVariableFile(const std::string& name, bool makeSnapshotA, bool makeSnapshotB) {
  std::vector<uint8_t> bytes;
  if (!files_ || !files_->Load(name, bytes)) return 0;
  ByteReader r(bytes.data(), bytes.size());
  if (!HasMagic(r, "SOB1")) return kInitBadVariableMagic;

  uint32_t dataSize, count;
  if (!r.u32le(dataSize)) return kInitBadVariableFile;
  auto data = r.bytes(dataSize);
  if (!data || !r.u32le(count) || !r.has(uint64_t{count} * 10)) return kInitBadVariableFile;
  std::vector<VariableRecord> layout(count);  // storage holds the block offset here
  for (VariableRecord& v : layout) {
    if (!r.u8(v.kind) || !r.u8(v.varClass) || !r.u32le(v.storage) || !r.u32le(v.size) ||
        v.kind > 2 || v.storage > dataSize || v.size > dataSize - v.storage)
      return kInitBadVariableFile;
  }
  uint32_t relocationCount;
  if (!r.u32le(relocationCount) || !r.has(uint64_t{relocationCount} * 8))
    return kInitBadVariableFile;
  std::vector<std::pair<uint32_t, uint32_t>> relocations(relocationCount);
  for (auto& [at, target] : relocations) {
    if (!r.u32le(at) || !r.u32le(target) || at > dataSize || dataSize - at < 4 || target > dataSize)
      return kInitBadVariableFile;
  }
  uint32_t end;
  if (!r.u32le(end) || end != 0) return kInitBadVariableFile;

  uint32_t cellCount = 0;
  for (const VariableRecord& v : layout) cellCount += v.kind == 1;

  auto build = [&](VariableSet& set) {
    FreeVariableSet(set);
    set.data = memory_.AllocateCopy(*data);
    set.cells = cellCount ? memory_.Allocate(cellCount * 4) : 0;
    if (!set.data || (cellCount && !set.cells)) return false;
    set.present = true;
    set.records = layout;
    uint32_t cell = 0;
    for (VariableRecord& v : set.records) {
      uint32_t value = set.data + v.storage;
      if (v.kind == 1) {
        memory_.Write32(set.cells + cell * 4, value);
        v.storage = set.cells + cell * 4;
        ++cell;
      } else {
        v.storage = value;
      }
    }
    for (auto [at, target] : relocations) memory_.Write32(set.data + at, set.data + target);
    return true;
  };
  if (!build(live_)) return kInitBadVariableFile;
  if (makeSnapshotA && !build(snapshotA_)) return kInitBadVariableFile;
  if (makeSnapshotB && !build(snapshotB_)) return kInitBadVariableFile;
  return 0;
}

int ScriptVm::ParseCode(ByteReader block, int32_t tableIndex, bool isLibrary) {
  uint32_t relocationBytes, instructionBytes, codeSize;
  if (!block.u32le(relocationBytes)) return kParseBadCode;
  auto lists = block.sub(relocationBytes);
  if (!lists || !block.u32le(instructionBytes) || !block.u32le(codeSize)) return kParseBadCode;
  auto codeBytes = block.bytes(codeSize);
  if (!codeBytes || instructionBytes > codeSize) return kParseBadCode;
  uint32_t code = memory_.AllocateCopy(*codeBytes);
  if (!code) return kParseBadCode;

  loaded_.push_back(std::make_unique<LoadedScript>(
      LoadedScript{code, codeSize, tableIndex, instructionBytes, nullptr, nullptr}));
  ScriptVmTables t = tables_;
  t.libraryBase = libraryCodeBase_;
  t.librarySize = librarySize_;
  if (!ApplyRelocations(*lists, code, codeSize, t)) {
    FreeLoadedScript(*loaded_.back());
    loaded_.pop_back();
    return kParseBadCode;
  }
  // Only a block that parsed names the current record: a refused one leaves the flags alone.
  if (!table_.empty() && tableIndex >= 0 && static_cast<size_t>(tableIndex) < table_.size()) {
    currentRecord_ = tableIndex;
  }
  if (isLibrary) {
    libraryCodeBase_ = code;
    librarySize_ = codeSize;
  } else {
    currentCodeBase_ = code;
  }
  return 0;
}

int ScriptVm::LoadScript(const std::string& fileName, BytecodeVm* interpreter) {
  std::vector<uint8_t> bytes;
  if (!files_ || !files_->Load(fileName, bytes)) return kLoadNotFound;
  ByteReader r(bytes.data(), bytes.size());
  if (!HasMagic(r, "SOB0")) return kLoadBadScript;
  int32_t index = -1;
  if (!table_.empty()) {
    std::string key = ScriptKey(fileName);
    for (size_t i = 0; i < table_.size() && index < 0; ++i) {
      if (SameName(table_[i].name, key)) index = static_cast<int32_t>(i);
    }
    if (index < 0) return kLoadBadScript;
  }
  if (ParseCode(*r.sub(r.remaining()), index, false) != 0) return kLoadBadCode;
  BytecodeVm& vm = interpreter ? *interpreter : interpreter_;
  vm.SetInstructionPointer(currentCodeBase_);
  if (vm.PushEndMarker() != 0) {
    UnloadLastScript();  // no room on the stack to start it
    return kLoadBadCode;
  }
  TranslateBlock(*loaded_.back(), vm);
  return 0;
}

int ScriptVm::UnloadLastScript() {
  if (loaded_.empty()) return 0;
  OnUnloadScript();
  FreeLoadedScript(*loaded_.back());
  loaded_.pop_back();
  if (!table_.empty() && !loaded_.empty()) {
    int32_t index = loaded_.back()->tableIndex;
    currentRecord_ = index >= 0 && static_cast<size_t>(index) < table_.size() ? index : -1;
  }
  return 0;
}

uint32_t ScriptVm::ValueAddress(VariableSet& set, size_t index) {
  const VariableRecord& r = set.records[index];
  if (r.kind != 1) return r.storage;
  uint32_t value = 0;
  if (!memory_.Read32(r.storage, value)) memory_.TakeFault();
  return value;
}

uint32_t ScriptVm::VariableValueAddress(uint32_t index) {
  return index < live_.records.size() ? ValueAddress(live_, index) : 0;
}

int ScriptVm::CopySelected(VariableSet& from, VariableSet& to, int classFilter, int kindFilter) {
  for (size_t i = 0; i < live_.records.size(); ++i) {
    const VariableRecord& r = live_.records[i];
    if (!ClassSelected(classFilter, r.varClass) || !KindSelected(kindFilter, r.kind)) continue;
    // A script may have pointed a cell anywhere; a bad one is skipped, not followed.
    if (!memory_.Copy(ValueAddress(to, i), ValueAddress(from, i), r.size)) memory_.TakeFault();
  }
  return 0;
}

int ScriptVm::ClearVariables(int classFilter, int kindFilter) {
  for (size_t i = 0; i < live_.records.size(); ++i) {
    const VariableRecord& r = live_.records[i];
    if (!ClassSelected(classFilter, r.varClass) || !KindSelected(kindFilter, r.kind)) continue;
    if (!memory_.Fill(ValueAddress(live_, i), 0, r.size)) memory_.TakeFault();
  }
  return 0;
}

int ScriptVm::RestoreFromSnapshotA(int classFilter, int kindFilter) {
  if (!snapshotA_.present) return kSnapshotMissing;
  return CopySelected(snapshotA_, live_, classFilter, kindFilter);
}

int ScriptVm::SaveToSnapshotB(int classFilter, int kindFilter) {
  if (!snapshotB_.present) return kSnapshotMissing;
  return CopySelected(live_, snapshotB_, classFilter, kindFilter);
}

int ScriptVm::RestoreFromSnapshotB(int classFilter, int kindFilter) {
  if (!snapshotB_.present) return kSnapshotMissing;
  return CopySelected(snapshotB_, live_, classFilter, kindFilter);
}

int ScriptVm::FindVariableIndex(uint32_t address) const {
  for (size_t i = 0; i < live_.records.size(); ++i) {
    if (live_.records[i].storage == address) return static_cast<int>(i);
  }
  return kNoVariableIndex;
}

int ScriptVm::AddMarkedVariable(uint32_t address) {
  if (!snapshotB_.present) return kSnapshotMissing;
  int index = FindVariableIndex(address);
  if (index < 0) return kVariableNotFound;
  marked_.push_back(static_cast<uint32_t>(index));
  return 0;
}

int ScriptVm::SaveVariableToSnapshotB(uint32_t address) {
  if (!snapshotB_.present) return kSnapshotMissing;
  int index = FindVariableIndex(address);
  if (index < 0) return kVariableNotFound;
  if (!memory_.Copy(ValueAddress(snapshotB_, index), ValueAddress(live_, index),
                    live_.records[index].size)) {
    memory_.TakeFault();
  }
  return 0;
}

uint32_t ScriptVm::GetVariableSetSize(int set, bool fromSnapshotB) const {
  if (fromSnapshotB && !snapshotB_.present) return 0;
  uint32_t size = 1;
  for (const VariableRecord& r : live_.records) {
    if (StreamSelected(set, r)) size += r.size + 1;
  }
  return size;
}

int ScriptVm::WriteVariableSet(std::vector<uint8_t>* out, int set, bool fromSnapshotB) {
  if (!out) return kWriteSetNoOutput;
  if (fromSnapshotB && !snapshotB_.present) return kWriteSetNoSnapshot;
  VariableSet& source = fromSnapshotB ? snapshotB_ : live_;
  out->push_back(static_cast<uint8_t>(set));
  for (size_t i = 0; i < live_.records.size(); ++i) {
    const VariableRecord& r = live_.records[i];
    if (!StreamSelected(set, r)) continue;
    out->push_back(r.kind);
    size_t at = out->size();
    out->resize(at + r.size);
    if (!memory_.Read(ValueAddress(source, i), out->data() + at, r.size)) memory_.TakeFault();
  }
  return 0;
}

int ScriptVm::ReadVariableSet(ByteReader& in) {
  uint8_t set;
  if (!in.u8(set)) return kReadSetMismatch;
  for (size_t i = 0; i < live_.records.size(); ++i) {
    const VariableRecord& r = live_.records[i];
    if (!StreamSelected(static_cast<int>(set), r)) continue;
    uint8_t kind;
    if (!in.u8(kind) || kind != r.kind) return kReadSetMismatch;
    auto value = in.bytes(r.size);
    if (!value) return kReadSetMismatch;  // a short stream stops like a wrong kind byte
    if (!memory_.Write(ValueAddress(live_, i), value->data(), r.size)) memory_.TakeFault();
  }
  return 0;
}

bool ScriptVm::CheckVariableSet(ByteReader in) const {
  uint8_t set;
  if (!in.u8(set)) return false;
  for (const VariableRecord& r : live_.records) {
    if (!StreamSelected(static_cast<int>(set), r)) continue;
    uint8_t kind;
    if (!in.u8(kind) || kind != r.kind || !in.skip(r.size)) return false;
  }
  return true;
}

ScriptRecord* ScriptVm::FlagRecord(bool inLastRecord) {
  if (table_.empty()) return nullptr;
  if (inLastRecord) return &table_.back();
  return currentRecord_ >= 0 ? &table_[currentRecord_] : nullptr;
}

const ScriptRecord* ScriptVm::FlagRecord(bool inLastRecord) const {
  return const_cast<ScriptVm*>(this)->FlagRecord(inLastRecord);
}

bool ScriptVm::TestReadFlagA(uint32_t bit, bool inLastRecord) const {
  const ScriptRecord* r = FlagRecord(inLastRecord);
  return r && r->readA.Test(bit);
}

int ScriptVm::SetReadFlagA(uint32_t bit, bool inLastRecord) {
  ScriptRecord* r = FlagRecord(inLastRecord);
  return r ? r->readA.Set(bit, true) : 0;
}

bool ScriptVm::TestReadFlagB(uint32_t bit, bool inLastRecord) const {
  const ScriptRecord* r = FlagRecord(inLastRecord);
  return r && r->readB.Test(bit);
}

int ScriptVm::SetReadFlagB(uint32_t bit, bool inLastRecord) {
  ScriptRecord* r = FlagRecord(inLastRecord);
  return r ? r->readB.Set(bit, true) : 0;
}

bool ScriptVm::SetScriptTableFileName(const char* name) {
  if (!name) return false;
  tableFileName_ = name;
  return true;
}

int ScriptVm::SaveScriptTable(const char* name) {
  try {
    if (!name) name = tableFileName_.empty() ? nullptr : tableFileName_.c_str();
    if (!name) return kSaveTableFailed;
    if (table_.empty()) return kSaveTableEmpty;
    std::vector<uint8_t> data;
    for (const ScriptRecord& r : table_) {
      data.push_back(static_cast<uint8_t>(r.name.size()));
      data.insert(data.end(), r.name.begin(), r.name.end());
      for (const BitSet* set : {&r.readA, &r.readB}) {
        PutU32(data, set->BitCount());
        PutU32(data, set->ByteCount());
        if (set->ByteCount())
          data.insert(data.end(), set->Bytes(), set->Bytes() + set->ByteCount());
      }
    }
    std::vector<uint8_t> file(kTableMagic, kTableMagic + 4);
    PackedBlock packed = PackStateBlock(data);
    PutU32(file, static_cast<uint32_t>(packed.stored.size()));
    PutU32(file, packed.unpackedSize);
    PutU32(file, static_cast<uint32_t>(table_.size()));
    file.insert(file.end(), packed.stored.begin(), packed.stored.end());
    if (!files_ || !files_->Save(StatePath(name), file)) return kSaveTableFailed;
    return 0;
  } catch (const std::bad_alloc&) {
    return kSaveTableNoMemory;
  } catch (...) {
    return kSaveTableUnexpected;
  }
}

int ScriptVm::LoadScriptTable(const char* name) {
  if (table_.empty()) return 0;
  if (!name) name = tableFileName_.empty() ? nullptr : tableFileName_.c_str();
  std::vector<uint8_t> bytes;
  if (!name || !files_ || !files_->Load(StatePath(name), bytes)) return kLoadTableNotFound;
  ByteReader r(bytes.data(), bytes.size());
  auto magic = r.bytes(4);
  uint32_t storedSize, unpackedSize, count;
  if (!magic || std::memcmp(magic->data(), kTableMagic, 4) != 0) return kLoadTableBadFile;
  if (!r.u32le(storedSize) || !r.u32le(unpackedSize) || !r.u32le(count)) return kLoadTableBadFile;
  auto storedData = r.bytes(storedSize);
  if (!storedData) return kLoadTableBadFile;
  std::vector<uint8_t> unpacked;
  if (!UnpackStateBlock(*storedData, unpackedSize, unpacked)) return kLoadTableBadFile;
  ByteReader data(unpacked.data(), unpacked.size());

  struct Stored {
    std::string name;
    uint32_t bits[2];
    std::span<const uint8_t> bytes[2];
  };
  std::vector<Stored> stored;
  if (!data.has(uint64_t{count} * 17))
    return kLoadTableBadFile;  // each record takes at least 17 bytes
  stored.resize(count);
  for (Stored& s : stored) {
    uint8_t length;
    if (!data.u8(length)) return kLoadTableBadFile;
    auto n = data.bytes(length);
    if (!n) return kLoadTableBadFile;
    s.name.assign(reinterpret_cast<const char*>(n->data()), n->size());
    for (int k = 0; k < 2; ++k) {
      uint32_t byteCount;
      if (!data.u32le(s.bits[k]) || !data.u32le(byteCount)) return kLoadTableBadFile;
      auto b = data.bytes(byteCount);
      if (!b) return kLoadTableBadFile;
      s.bytes[k] = *b;
    }
  }

  for (ScriptRecord& t : table_) t.matched = false;
  for (const Stored& s : stored) {
    for (ScriptRecord& t : table_) {
      if (t.matched || !SameName(t.name, s.name)) continue;
      BitSet* sets[2] = {&t.readA, &t.readB};
      for (int k = 0; k < 2; ++k) {
        // Both counts must agree, or the copy would not fit the table's storage.
        if (sets[k]->BitCount() == s.bits[k] && sets[k]->ByteCount() == s.bytes[k].size()) {
          // The counts agree, so the copy fits; a set without storage has nothing to take.
          (void)sets[k]->Assign(s.bytes[k].data(), static_cast<uint32_t>(s.bytes[k].size()));
        }
      }
      t.matched = true;
      break;
    }
  }
  return 0;
}

}  // namespace bw
