#include "scenario/tgs/tgs_frame_base.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "common/sjis.h"
#include "host/cp932.h"
#include "scenario/tgs/tgs_call_record.h"
#include "script/script_engine.h"
#include "script/script_file_source.h"
#include "script/state_block.h"

namespace bw {

namespace {

constexpr size_t kMaxTgsName = 259;
constexpr uint32_t kMaxFlagBits = 1u << 24;
// The log holds a few names and bit sets per script: far less than this.
constexpr uint32_t kMaxLogBytes = 64u << 20;

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutName(std::vector<uint8_t>& out, const std::string& name) {
  Put16(out, static_cast<uint16_t>(name.size() + 1));
  out.insert(out.end(), name.begin(), name.end());
  out.push_back(0);
}
// A u16-length name with its NUL (the state record's form); false when it is not one.
bool ReadName(ByteReader& r, std::string& name) {
  uint16_t length = 0;
  if (!r.u16le(length) || length == 0 || length - 1u > kMaxTgsName || !r.has(length)) return false;
  name.resize(length - 1u);
  uint8_t nul = 1;
  return r.copy(name.data(), length - 1u) && r.u8(nul) && nul == 0 &&
         name.find('\0') == std::string::npos;
}

void PutSet(std::vector<uint8_t>& out, const BitSet& set) {
  Put32(out, set.BitCount());
  Put32(out, set.ByteCount());
  if (set.ByteCount()) out.insert(out.end(), set.Bytes(), set.Bytes() + set.ByteCount());
}
// Reads one stored set and copies it into set when both counts match; false when the bytes run out.
bool ReadSet(ByteReader& r, BitSet& set) {
  uint32_t bits = 0, bytes = 0;
  if (!r.u32le(bits) || !r.u32le(bytes) || !r.has(bytes)) return false;
  if (bits == set.BitCount() && bytes == set.ByteCount() && bytes &&
      set.Assign(r.data() + r.position(), bytes) != kBitSetDone)
    return false;
  return r.skip(bytes);
}

}  // namespace

TgsFrameBase::TgsFrameBase(ScriptEngine* host, ScriptFileSource* files)
    : ownMemory_(host ? nullptr : std::make_unique<GuestMemory>()),
      host_(host),
      memory_(host ? host->GetMemory() : *ownMemory_),
      files_(files),
      runner_(memory_, host ? host->Tables().natives : &noNatives_) {
  valueStack_ = memory_.Allocate(kValueStackWords * 4);
  numberScratch_ = memory_.Allocate(16);
  // Without room every run faults on its first push, which the step reports.
  (void)runner_.AllocateStack(kRunnerStackWords);
  for (uint32_t i = 0; i < kControlCount; ++i)
    builtins_.push_back([](TgsBuiltinCall&) { return 0; });
  const char* trace = std::getenv("BRIMWOLD_TGS_TRACE");
  trace_ = trace && std::strcmp(trace, "1") == 0;
}

TgsFrameBase::~TgsFrameBase() {
  // A log that cannot be written keeps the one on disk: the marks of this run are lost only.
  if (!logName_.empty()) (void)WriteLogFile(nullptr);
  UnloadAll();
  table_.clear();
  memory_.Free(valueStack_);
  memory_.Free(numberScratch_);
  memory_.Free(runner_.StackBottom());
}

void TgsFrameBase::ShowMessage(const std::string& cp932) const {
  if (messageSink_) {
    messageSink_(cp932);
  } else {
    std::fprintf(stderr, "%s\n", host::Cp932ToUtf8Lenient(cp932).c_str());
  }
}

int TgsFrameBase::SetScriptFolder(const char* path) {
  if (!path) return kTgsNullName;
  scriptFolder_ = path;
  if (scriptFolder_.empty() ||
      !sjis::IsSeparator(scriptFolder_[sjis::Prev(scriptFolder_, scriptFolder_.size())])) {
    scriptFolder_ += '\\';
  }
  return 0;
}

int TgsFrameBase::SetLogFileName(const char* name) {
  if (!name) return kTgsNullName;
  logName_ = name;
  return 0;
}

std::string TgsFrameBase::LogPath(const char* name) const {
  return logFolder_ + name;
}

// --- the read-flag table ---

int TgsFrameBase::ParseInitTable(ByteReader r, std::deque<TgsReadFlagRecord>& table) const {
  uint32_t count = 0;
  if (!r.u32le(count) || count > r.remaining() / 10)
    return kTgsTableBad;  // a record takes 10 bytes
  table.resize(count);
  for (TgsReadFlagRecord& record : table) {
    uint8_t length = 0;
    uint32_t bits = 0, second = 0;
    if (!r.u8(length) || length == 0 || !r.has(length)) return kTgsTableBad;
    record.name.assign(reinterpret_cast<const char*>(r.data() + r.position()), length - 1u);
    uint8_t nul = 1;
    if (!r.skip(length - 1u) || !r.u8(nul) || nul != 0 ||
        record.name.find('\0') != std::string::npos)
      return kTgsTableBad;
    if (!r.u32le(bits) || !r.u32le(second) || bits > kMaxFlagBits || second > kMaxFlagBits)
      return kTgsTableBad;
    record.nameLength = length;
    if ((bits && record.readSet.Allocate(bits) != kBitSetDone) ||
        (second && record.secondSet.Allocate(second) != kBitSetDone)) {
      return kTgsTableBad;
    }
  }
  return 0;
}

int TgsFrameBase::LoadInitTable(const std::string& name) {
  std::vector<uint8_t> bytes;
  if (!files_ || !files_->Load(FolderPath(name), bytes)) return kTgsTableMissing;
  std::deque<TgsReadFlagRecord> table;
  try {
    int r = ParseInitTable(ByteReader(bytes.data(), bytes.size()), table);
    if (r != 0) return r;
  } catch (const std::bad_alloc&) {
    return kTgsTableBad;
  }
  // Scripts keep their record indexes: a new table renumbers nothing they hold.
  for (auto* list : {&stack_, &resident_}) {
    for (auto& s : *list) s->SetFlagIndex(-1);
  }
  currentRecord_ = nullptr;
  table_ = std::move(table);
  return 0;
}

void TgsFrameBase::FollowRecord() {
  currentRecord_ = nullptr;
  if (!current_) return;
  int32_t i = current_->FlagIndex();
  if (i >= 0 && static_cast<size_t>(i) < table_.size()) currentRecord_ = &table_[i];
}

const TgsReadFlagRecord* TgsFrameBase::NamedRecord(const char* name) const {
  for (const TgsReadFlagRecord& r : table_) {
    if (sjis::EqualsNoCase(r.name, name)) return &r;
  }
  return nullptr;
}

bool TgsFrameBase::IsMessageRead(uint32_t i) const {
  return currentRecord_ && currentRecord_->readSet.Test(i);
}

int TgsFrameBase::MarkMessageRead(uint32_t i) {
  if (!currentRecord_) return kTgsNoRecord;
  return static_cast<int>(currentRecord_->readSet.Set(i, true));
}

uint32_t TgsFrameBase::GetFlagCount(const char* name) const {
  if (name) {
    const TgsReadFlagRecord* r = NamedRecord(name);
    return r ? r->readSet.BitCount() : 0;
  }
  uint32_t sum = 0;
  for (const TgsReadFlagRecord& r : table_) sum += r.readSet.BitCount();
  return sum;
}

uint32_t TgsFrameBase::GetSetFlagCount(const char* name) const {
  if (name) {
    const TgsReadFlagRecord* r = NamedRecord(name);
    return r ? r->readSet.Count() : 0;
  }
  uint32_t sum = 0;
  for (const TgsReadFlagRecord& r : table_) sum += r.readSet.Count();
  return sum;
}

bool TgsFrameBase::IsAllFlagged(const char* name) const {
  if (table_.empty()) return false;
  if (name) {
    const TgsReadFlagRecord* r = NamedRecord(name);
    return r && r->readSet.IsAllSet();
  }
  for (const TgsReadFlagRecord& r : table_) {
    if (!r.readSet.IsAllSet()) return false;
  }
  return true;
}

// --- the read-text log ---

int TgsFrameBase::WriteLogFile(const char* name) {
  if (!name && logName_.empty()) return kTgsLogNoName;
  std::string path = LogPath(name ? name : logName_.c_str());
  if (table_.empty()) return kTgsLogNoTable;
  try {
    std::vector<uint8_t> data;
    for (const TgsReadFlagRecord& r : table_) {
      data.push_back(r.nameLength);
      data.insert(data.end(), r.name.begin(), r.name.end());
      data.push_back(0);
      PutSet(data, r.readSet);
      PutSet(data, r.secondSet);
    }
    PackedBlock block = PackStateBlock(data);
    std::vector<uint8_t> file = {'T', 'S', 'L', 'G'};
    Put32(file, static_cast<uint32_t>(block.stored.size()));
    Put32(file, block.unpackedSize);
    Put32(file, static_cast<uint32_t>(table_.size()));
    file.insert(file.end(), block.stored.begin(), block.stored.end());
    if (!files_ || !files_->Save(path, file)) return kTgsLogNoName;
  } catch (const std::bad_alloc&) {
    return kTgsLogNoMemory;
  } catch (...) {
    return kTgsLogFault;
  }
  return 0;
}

int TgsFrameBase::ReadLogFile(const char* name) {
  if (table_.empty()) return 0;
  if (!name && logName_.empty()) return kTgsLogNoName;
  std::vector<uint8_t> bytes;
  if (!files_ || !files_->Load(LogPath(name ? name : logName_.c_str()), bytes))
    return kTgsLogNoName;
  ByteReader r(bytes.data(), bytes.size());
  uint8_t magic[4];
  uint32_t stored = 0, unpacked = 0, count = 0;
  if (!r.copy(magic, 4) || std::memcmp(magic, "TSLG", 4) != 0 || !r.u32le(stored) ||
      !r.u32le(unpacked) || !r.u32le(count) || stored > r.remaining() || unpacked > kMaxLogBytes) {
    return kTgsLogBad;
  }
  std::vector<uint8_t> data;
  try {
    if (!UnpackStateBlock({r.data() + r.position(), stored}, unpacked, data)) return kTgsLogBad;
  } catch (const std::bad_alloc&) {
    return kTgsLogBad;
  }
  for (TgsReadFlagRecord& t : table_) t.matched = false;
  ByteReader d(data.data(), data.size());
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t length = 0;
    if (!d.u8(length) || length == 0 || !d.has(length)) return kTgsLogBad;
    std::string_view recordName(reinterpret_cast<const char*>(d.data() + d.position()), length);
    if (!d.skip(length) || recordName.back() != '\0') return kTgsLogBad;

    recordName.remove_suffix(1);
    TgsReadFlagRecord* match = nullptr;
    for (TgsReadFlagRecord& t : table_) {
      if (!t.matched && t.name == recordName) {
        match = &t;
        break;
      }
    }
    BitSet ignoredRead, ignoredSecond;
    if (!ReadSet(d, match ? match->readSet : ignoredRead) ||
        !ReadSet(d, match ? match->secondSet : ignoredSecond)) {
      return kTgsLogBad;
    }
    if (match) match->matched = true;
  }
  return 0;
}

// --- loading and releasing scripts ---

int TgsFrameBase::LoadTgsScript(const std::string& name, bool ontoStack) {
  if (name.size() > kMaxTgsName || name.find('\0') != std::string::npos) return kTgsLoadNotFound;
  std::unique_ptr<TgsScript> script;
  int r = files_ ? TgsScript::Load(memory_, *files_, FolderPath(name) + ".TOB", name, script)
                 : kTobNotFound;
  if (r == kTobNotFound) return kTgsLoadNotFound;
  // The magic is judged before the table: a bad file is bad whether it is listed or not.
  if (r != kTobDone) return r == kTobBadFile ? kTgsLoadBadFile : kTgsLoadNotFound;
  int32_t index = -1;
  if (!table_.empty()) {
    std::string key = sjis::ToUpper(name);
    for (size_t i = 0; i < table_.size() && index < 0; ++i) {
      if (table_[i].name == key) index = static_cast<int32_t>(i);
    }
    if (index < 0) return kTgsLoadNotListed;
  }
  script->SetFlagIndex(index);
  (ontoStack ? stack_ : resident_).push_back(std::move(script));
  return 0;
}

int TgsFrameBase::Start(const std::string& name) {
  if (!stack_.empty()) return kTgsStartBusy;
  int r = LoadTgsScript(name, true);
  if (r != 0) return r + 1;
  // The script was pushed just above: the stack top is there.
  (void)MakeCurrent(-1);
  position_ = 0;
  return 0;
}

int TgsFrameBase::Preload(const std::string& name) {
  return LoadTgsScript(name, false);
}

int TgsFrameBase::Unload(const char* name) {
  if (resident_.empty()) return kTgsUnloadNone;
  int32_t k = name ? FindResident(name) : static_cast<int32_t>(resident_.size()) - 1;
  if (k < 0) return kTgsUnloadNotFound;
  if (currentIndex_ == k) return kTgsUnloadInUse;
  for (size_t i = 0; i < callCount_; ++i) {
    if (calls_[i].scriptIndex == k) return kTgsUnloadInUse;
  }
  resident_.erase(resident_.begin() + k);
  for (size_t i = 0; i < callCount_; ++i) {
    if (calls_[i].scriptIndex > k) --calls_[i].scriptIndex;
  }
  if (currentIndex_ > k) --currentIndex_;
  return 0;
}

void TgsFrameBase::UnloadAll() {
  stack_.clear();
  resident_.clear();
  current_ = nullptr;
  currentIndex_ = -1;
  callCount_ = 0;
  valueTop_ = 0;
  position_ = 0;
  pendingText_ = 0;
  currentRecord_ = nullptr;
}

int32_t TgsFrameBase::FindResident(std::string_view name) const {
  for (size_t i = 0; i < resident_.size(); ++i) {
    if (sjis::EqualsNoCase(resident_[i]->Name(), name)) return static_cast<int32_t>(i);
  }
  return -1;
}

bool TgsFrameBase::MakeCurrent(int32_t index) {
  if (index == -1) {
    if (stack_.empty()) return false;
    current_ = stack_.back().get();
  } else {
    if (index < 0 || static_cast<size_t>(index) >= resident_.size()) return false;
    current_ = resident_[index].get();
  }
  currentIndex_ = index;
  FollowRecord();
  return true;
}

bool TgsFrameBase::FindOrLoad(const std::string& name) {
  int32_t k = FindResident(name);
  if (k >= 0) return MakeCurrent(k);
  if (LoadTgsScript(name, true) != 0) return false;
  return MakeCurrent(-1);
}

bool TgsFrameBase::PopCurrent() {
  if (stack_.empty()) return false;
  stack_.pop_back();
  current_ = nullptr;
  currentRecord_ = nullptr;
  return true;
}

// After the current script was released, a failed load leaves nothing running.
void TgsFrameBase::LoseScript() {
  current_ = nullptr;
  currentIndex_ = -1;
  currentRecord_ = nullptr;
  position_ = 0;
}

std::optional<uint32_t> TgsFrameBase::Target(const char* label, uint32_t offset) {
  if (!current_) return std::nullopt;
  if (!label) return offset;
  int32_t at = current_->FindLabel(label);
  if (at < 0) return std::nullopt;
  return static_cast<uint32_t>(at);
}

std::optional<uint32_t> TgsFrameBase::Call(const char* name, const char* label, int32_t offset) {
  if (callCount_ == kCallStackFrames) return std::nullopt;
  calls_[callCount_++] = {name ? currentIndex_ : -2, position_};
  if (name && !FindOrLoad(name)) return std::nullopt;
  return Target(label, static_cast<uint32_t>(offset));
}

std::optional<uint32_t> TgsFrameBase::Jump(const char* name, const char* label, int32_t offset) {
  if (name) {
    std::string target = name;  // name may point into the script released here
    if (currentIndex_ == -1 && !PopCurrent()) return std::nullopt;
    if (!FindOrLoad(target)) {
      LoseScript();
      return std::nullopt;
    }
  }
  return Target(label, static_cast<uint32_t>(offset));
}

std::optional<uint32_t> TgsFrameBase::Return(const char* name, const char* label, int32_t offset) {
  if (callCount_ == 0) return std::nullopt;
  TgsCallFrame frame = calls_[--callCount_];
  if (frame.scriptIndex != -2) {
    if (currentIndex_ == -1 && !PopCurrent()) return std::nullopt;
    if (!MakeCurrent(frame.scriptIndex)) {
      LoseScript();
      return std::nullopt;
    }
  }
  if (name) {
    std::string target = name;
    if (currentIndex_ == -1 && !PopCurrent()) return std::nullopt;
    if (!FindOrLoad(target)) {
      LoseScript();
      return std::nullopt;
    }
  }
  if (label) return Target(label, 0);
  if (!current_) return std::nullopt;
  if (offset == 0) return frame.returnOffset;
  if (offset == -1) return 0u;
  return static_cast<uint32_t>(offset);
}

// --- the state record ---

uint32_t TgsFrameBase::GetStateSize() const {
  uint32_t size = 4 + 4 + 4 + 8 * static_cast<uint32_t>(callCount_) + 8;
  for (const auto& s : stack_) size += static_cast<uint32_t>(s->Name().size()) + 3;
  for (const auto& s : resident_) size += static_cast<uint32_t>(s->Name().size()) + 3;
  return size;
}

int TgsFrameBase::SaveState(std::vector<uint8_t>* out) const {
  if (!out || !current_) return kTgsStateNoCursor;
  Put32(*out, static_cast<uint32_t>(stack_.size()));
  for (const auto& s : stack_) PutName(*out, s->Name());
  Put32(*out, static_cast<uint32_t>(resident_.size()));
  for (const auto& s : resident_) PutName(*out, s->Name());
  Put32(*out, static_cast<uint32_t>(callCount_));
  for (size_t i = 0; i < callCount_; ++i) {
    Put32(*out, static_cast<uint32_t>(calls_[i].scriptIndex));
    Put32(*out, calls_[i].returnOffset);
  }
  Put32(*out, static_cast<uint32_t>(currentIndex_));
  Put32(*out, position_);
  return 0;
}

int TgsFrameBase::ReadStateRecord(ByteReader& r, TgsStateRecord& out) {
  std::vector<std::string>& stackNames = out.stackNames;
  std::vector<std::string>& residentNames = out.residentNames;
  std::array<TgsCallFrame, kCallStackFrames>& calls = out.calls;
  uint32_t s = 0, rCount = 0, f = 0;
  if (!r.u32le(s) || s > r.remaining() / 3) return kTgsStateMalformed;
  stackNames.resize(s);
  for (std::string& n : stackNames) {
    if (!ReadName(r, n)) return kTgsStateMalformed;
  }
  if (!r.u32le(rCount) || rCount > r.remaining() / 3) return kTgsStateMalformed;
  residentNames.resize(rCount);
  for (std::string& n : residentNames) {
    if (!ReadName(r, n)) return kTgsStateMalformed;
  }
  if (!r.u32le(f) || f > kCallStackFrames) return kTgsStateMalformed;
  for (uint32_t i = 0; i < f; ++i) {
    if (!r.i32le(calls[i].scriptIndex) || !r.u32le(calls[i].returnOffset))
      return kTgsStateMalformed;
    if (calls[i].scriptIndex < -2 || calls[i].scriptIndex >= static_cast<int32_t>(rCount))
      return kTgsStateMalformed;
  }
  out.callCount = f;
  if (!r.i32le(out.index) || !r.u32le(out.position)) return kTgsStateMalformed;
  if (out.index < -1 || out.index >= static_cast<int32_t>(rCount)) return kTgsStateNoResident;
  if (out.index == -1 && s == 0) return kTgsStateMalformed;
  return 0;
}

int TgsFrameBase::LoadState(ByteReader* in) {
  if (!in) return kTgsStateNoCursor;
  ByteReader r = *in;
  TgsStateRecord record;
  if (int code = ReadStateRecord(r, record); code != 0) return code;
  const std::vector<std::string>& stackNames = record.stackNames;
  const std::vector<std::string>& residentNames = record.residentNames;
  const uint32_t f = record.callCount, position = record.position;
  const int32_t index = record.index;

  // Build the new lists beside the running ones, then swap: a failure keeps what runs.
  std::vector<std::unique_ptr<TgsScript>> oldStack, oldResident;
  oldStack.swap(stack_);
  oldResident.swap(resident_);
  auto restore = [&]() {
    stack_.swap(oldStack);
    resident_.swap(oldResident);
  };
  for (const std::string& n : stackNames) {
    if (LoadTgsScript(n, true) != 0) {
      restore();
      return kTgsStateLoadFailed;
    }
  }
  for (const std::string& n : residentNames) {
    if (LoadTgsScript(n, false) != 0) {
      restore();
      return kTgsStateLoadFailed;
    }
  }
  const TgsScript* target = index == -1 ? stack_.back().get() : resident_[index].get();
  if (position >= target->CodeSize()) {
    restore();
    return kTgsStateMalformed;
  }
  oldStack.clear();
  oldResident.clear();
  calls_ = record.calls;
  callCount_ = f;
  // The script at index was checked above: it is there.
  (void)MakeCurrent(index);
  position_ = position;
  valueTop_ = 0;
  pendingText_ = 0;
  *in = r;
  return 0;
}

bool TgsFrameBase::AppendCallRecord(uint32_t number, std::span<const TgsSlot> slots) {
  return TgsWriteCallRecord(text_, kTextBufferBytes - 1, memory_, number, slots);
}

}  // namespace bw
