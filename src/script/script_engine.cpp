#include "script/script_engine.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "host/cp932.h"
#include "script/state_block.h"

namespace bw {

namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint8_t Checksum(std::span<const uint8_t> bytes) {
  uint8_t sum = 0;
  for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  return sum;
}

// The header of a variable file, up to its stored data.
struct VariableFileHeader {
  uint32_t storedSize = 0;
  uint32_t unpackedSize = 0;
  std::span<const uint8_t> plain;
  std::span<const uint8_t> text;
};

bool ReadHeader(ByteReader& r, VariableFileHeader& h) {
  uint32_t plainSize, textSize;
  if (!r.u32le(h.storedSize) || !r.u32le(h.unpackedSize) || !r.u32le(plainSize)) return false;
  auto plain = r.bytes(plainSize);
  if (!plain || !r.u32le(textSize)) return false;
  auto text = r.bytes(textSize);
  if (!text) return false;
  h.plain = *plain;
  h.text = *text;
  return true;
}

}  // namespace

std::string StepFailureMessage(int stepResult) {
  switch (stepResult) {
    case kStepIllegal:
      return host::Utf8ToCp932("不正なスクリプトを実行しました").text;
    case kStepJumpFailed:
      return host::Utf8ToCp932("Jump命令でスクリプトのロードに失敗").text;
    case kStepCallFailed:
      return host::Utf8ToCp932("Call命令でスクリプトのロードに失敗").text;
    default:
      return {};
  }
}

ScriptEngine::ScriptEngine(ScriptFileSource* files, uint32_t arenaBytes)
    : ScriptVm(files, arenaBytes) {
  RegisterNative(
      [this](GuestMemory& m, uint32_t args) { return NativeRequest(m, args, kRequestCall); });
  RegisterNative(
      [this](GuestMemory& m, uint32_t args) { return NativeRequest(m, args, kRequestJump); });
  RegisterNative(
      [this](GuestMemory& m, uint32_t args) { return NativeRequest(m, args, kRequestExit); });
  BindHostVariable("ScriptBootFlg", GetMemory().Allocate(4));
  BindHostVariable("retAppProc", GetMemory().Allocate(4));
}

ScriptEngine::~ScriptEngine() {
  if (systemStateFileName_) (void)WriteSystemState(nullptr);  // nobody is left to tell
}

int ScriptEngine::NativeRequest(GuestMemory& m, uint32_t args, uint32_t word) {
  request_.word = word;
  if (word == kRequestExit) return 0;
  uint32_t text = 0;
  if (!m.Read32(args, text)) return 0;
  std::string name;
  for (uint32_t i = 0;; ++i) {
    uint8_t c;
    if (!m.Read(text + i, &c, 1)) return 0;
    if (c == 0) break;
    if (i == kMaxRequestName) {
      // Cut, the name would be another script's: the request fails when it is served.
      request_.name.clear();
      request_.nameTooLong = true;
      return 0;
    }
    name.push_back(static_cast<char>(c));
  }
  request_.name = std::move(name);
  request_.nameTooLong = false;
  return 0;
}

int ScriptEngine::LoadScript(const std::string& name, BytecodeVm* interpreter) {
  if (name.size() > kMaxScriptName || name.find('\0') != std::string::npos) return kLoadNotFound;
  return ScriptVm::LoadScript("SCRIPT\\" + name + ".SOB", interpreter);
}

int ScriptEngine::LoadRequestedScript() {
  if (request_.nameTooLong) return kLoadNotFound;
  return LoadScript(request_.name);
}

int ScriptEngine::Start() {
  if (LoadInitFiles("SCRIPT\\SOB_INIT.DAT", "SCRIPT\\USER_VAR.SOB", "SCRIPT\\FUNC_LIB.SOB", true,
                    true) != 0) {
    return kStartInitFailed;
  }
  (void)LoadVoiceInfo("SCRIPT\\VOICEINF.DAT");  // always done: a bad table only plays no voices
  PublishTables();
  int r = LoadScript("MAIN");
  return r == 0 ? 0 : kStartInitFailed + r;
}

int ScriptEngine::Step() {
  BytecodeVm& vm = Interpreter();
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
        if (LoadRequestedScript() != 0) return kStepJumpFailed;
        request_.word = kRequestNone;
        break;
      case kRequestCall:
        if (r == kRunEnded) return kStepIllegal;  // a Call must be followed by a wait
        if (vm.PushInstructionPointer() != 0) return kStepIllegal;
        if (LoadRequestedScript() != 0) {
          (void)vm.PopInstructionPointer();  // takes back the push just made
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
  GetMemory().Write32(HostVariableAddress(1), bootFlag);
  Interpreter().ResetStack();
  request_.callDepth = 0;
  FreeLoadedScriptsFrom(LibraryCodeBase() ? 1 : 0);
}

int ScriptEngine::Interrupt(uint32_t bootFlag) {
  UnloadScripts(bootFlag);
  return LoadScript("MAIN");
}

int ScriptEngine::LoadVoiceInfo(const std::string& file) {
  voices_.Clear();
  std::vector<uint8_t> bytes;
  if (!Files() || !Files()->Load(file, bytes)) return kVoiceInfoDone;
  // A broken table plays no voices but does not stop the game; it is named once here.
  if (voices_.Parse(bytes) != kVoiceInfoDone)
    std::fprintf(stderr, "%s: broken voice table\n", file.c_str());
  return kVoiceInfoDone;
}

void ScriptEngine::SetSystemStateFileName(const char* name) {
  if (name) {
    systemStateFileName_ = name;
  } else {
    systemStateFileName_.reset();
  }
}

const char* ScriptEngine::NameOrSystem(const char* name) const {
  if (name) return name;
  return systemStateFileName_ ? systemStateFileName_->c_str() : nullptr;
}

int ScriptEngine::SavePersistentState() {
  bool any = false;
  if (systemStateFileName_) {
    any = true;
    if (int r = WriteSystemState(nullptr)) return r;
  }
  if (HasScriptTableFileName()) return SaveScriptTable(nullptr);
  return any ? 0 : kStateNoNames;
}

int ScriptEngine::WriteSystemState(const char* name) {
  try {
    name = NameOrSystem(name);
    if (!name) return kStateNoName;
    std::vector<uint8_t> plain;
    PutU32(plain, static_cast<uint32_t>(voices_.characters.size()));
    for (const VoiceCharacter& c : voices_.characters) {
      PutU32(plain, c.setting);
      plain.push_back(c.enabled);
      plain.push_back(c.hasSecondText);
    }
    if (WriteVariableSet(&plain, 1, false) != 0) return kStateCannotCreate;
    PackedBlock packed = PackStateBlock(plain);
    std::vector<uint8_t> file;
    PutU32(file, static_cast<uint32_t>(packed.stored.size()));
    PutU32(file, packed.unpackedSize);
    file.insert(file.end(), packed.stored.begin(), packed.stored.end());
    if (!Files() || !Files()->Save(StatePath(name), file)) return kStateCannotCreate;
    return 0;
  } catch (const std::bad_alloc&) {
    return kStateOutOfMemory;
  } catch (...) {
    return kStateFault;
  }
}

int ScriptEngine::ReadSystemState(const char* name) {
  name = NameOrSystem(name);
  std::vector<uint8_t> bytes;
  if (!name || !Files() || !Files()->Load(StatePath(name), bytes)) return kStateNoName;
  ByteReader r(bytes.data(), bytes.size());
  uint32_t storedSize, unpackedSize;
  if (!r.u32le(storedSize) || !r.u32le(unpackedSize)) return kStateBadData;
  auto stored = r.bytes(storedSize);
  std::vector<uint8_t> plain;
  if (!stored || !UnpackStateBlock(*stored, unpackedSize, plain)) return kStateBadData;

  ByteReader in(plain.data(), plain.size());
  uint32_t count;
  if (!in.u32le(count) || !in.has(uint64_t{count} * 6)) return kStateBadData;
  ByteReader characters = *in.sub(uint64_t{count} * 6);
  // Nothing is applied unless the whole content reads.
  if (!CheckVariableSet(in)) return kStateBadData;
  if (count == voices_.characters.size()) {
    for (VoiceCharacter& c : voices_.characters) {
      // The reader holds count whole records, so these reads cannot fail.
      (void)(characters.u32le(c.setting) && characters.u8(c.enabled) &&
             characters.u8(c.hasSecondText));
    }
  }
  (void)ReadVariableSet(in);  // checked above
  return 0;
}

int ScriptEngine::FindHeaderVariables(uint32_t plain, uint32_t text, uint32_t* plainSize,
                                      uint32_t* textSize) {
  if (plainSize) *plainSize = 0;
  if (textSize) *textSize = 0;
  if (plain) {
    int index = FindVariableIndex(plain);
    if (index < 0) return kHeaderNotFound;
    const VariableRecord& v = Variables()[index];
    if (v.kind != 0) return kHeaderPlainNotDirect;
    if (plainSize) *plainSize = v.size;
  }
  if (text) {
    int index = FindVariableIndex(text);
    if (index < 0) return kHeaderNotFound;
    const VariableRecord& v = Variables()[index];
    if (v.kind != 1) return kHeaderTextNotCell;
    if (textSize) {
      // The text up to its terminator, which must lie inside the variable.
      auto view = GetMemory().View(VariableValueAddress(index), v.size);
      if (view.size() != v.size) {
        GetMemory().TakeFault();
        return kHeaderNotFound;
      }
      const void* zero = std::memchr(view.data(), 0, view.size());
      if (!zero) return kHeaderNotFound;
      *textSize = static_cast<uint32_t>(static_cast<const uint8_t*>(zero) - view.data()) + 1;
    }
  }
  return 0;
}

int ScriptEngine::WriteVariableFile(const char* name, int set, uint32_t plain, uint32_t text,
                                    bool fromSnapshotB) {
  try {
    if (!name) return kVariableFileNoFile;
    uint32_t plainSize = 0, textSize = 0;
    if (FindHeaderVariables(plain, text, &plainSize, &textSize) != 0)
      return kVariableFileBadHeaderVariables;
    std::vector<uint8_t> stream;
    if (WriteVariableSet(&stream, set, fromSnapshotB) != 0 || stream.size() <= 1)
      return kVariableFileEmptySet;
    // The set byte goes in the header; the data is the kind and value bytes.
    PackedBlock packed = PackStateBlock(std::span<const uint8_t>(stream).subspan(1));

    std::vector<uint8_t> file;
    PutU32(file, static_cast<uint32_t>(packed.stored.size()));
    PutU32(file, packed.unpackedSize);
    PutU32(file, plainSize);
    size_t at = file.size();
    file.resize(at + plainSize);
    if (plainSize && !GetMemory().Read(plain, file.data() + at, plainSize)) GetMemory().TakeFault();
    PutU32(file, textSize);
    at = file.size();
    file.resize(at + textSize);
    if (textSize) {
      int index = FindVariableIndex(text);
      if (!GetMemory().Read(VariableValueAddress(index), file.data() + at, textSize))
        GetMemory().TakeFault();
    }
    file.push_back(static_cast<uint8_t>(set));
    file.push_back(Checksum(packed.stored));
    file.insert(file.end(), packed.stored.begin(), packed.stored.end());
    if (!Files() || !Files()->Save(StatePath(name), file)) return kVariableFileNoFile;
    return 0;
  } catch (const std::bad_alloc&) {
    return kVariableFileOutOfMemory;
  }
}

int ScriptEngine::ReadVariableFileHeader(const char* name, uint32_t plain, uint32_t text) {
  uint32_t plainRoom = 0;
  if (FindHeaderVariables(plain, 0, &plainRoom, nullptr) != 0) return kVariableFileLookupFailed;
  int textIndex = -1;
  if (text) {
    textIndex = FindVariableIndex(text);
    if (textIndex < 0 || Variables()[textIndex].kind != 1) return kVariableFileLookupFailed;
  }
  name = NameOrSystem(name);
  std::vector<uint8_t> bytes;
  if (!name || !Files() || !Files()->Load(StatePath(name), bytes)) return kVariableFileNoFile;
  ByteReader r(bytes.data(), bytes.size());
  VariableFileHeader h;
  if (!ReadHeader(r, h)) return kVariableFileBadData;

  // Both values are checked before either is written.
  if (plain) {
    if (h.plain.empty()) return kVariableFileBadData;
    if (h.plain.size() > plainRoom) return kVariableFileTooLarge;
  }
  if (text) {
    if (h.text.empty()) return kVariableFileBadData;
    if (h.text.size() > Variables()[textIndex].size) return kVariableFileTooLarge;
  }
  if (plain && !GetMemory().Write(plain, h.plain.data(), static_cast<uint32_t>(h.plain.size()))) {
    GetMemory().TakeFault();
  }
  if (text && !GetMemory().Write(VariableValueAddress(textIndex), h.text.data(),
                                 static_cast<uint32_t>(h.text.size()))) {
    GetMemory().TakeFault();
  }
  return 0;
}

int ScriptEngine::ReadVariableFile(const char* name) {
  name = NameOrSystem(name);
  std::vector<uint8_t> bytes;
  if (!name || !Files() || !Files()->Load(StatePath(name), bytes)) return kVariableFileNoFile;
  ByteReader r(bytes.data(), bytes.size());
  VariableFileHeader h;
  uint8_t set, checksum;
  if (!ReadHeader(r, h) || !r.u8(set) || !r.u8(checksum)) return kVariableFileBadData;
  auto stored = r.bytes(h.storedSize);
  if (!stored || Checksum(*stored) != checksum) return kVariableFileBadData;
  std::vector<uint8_t> stream{set};
  std::vector<uint8_t> data;
  if (!UnpackStateBlock(*stored, h.unpackedSize, data)) return kVariableFileBadData;
  stream.insert(stream.end(), data.begin(), data.end());
  ByteReader in(stream.data(), stream.size());
  if (!CheckVariableSet(in)) return kVariableFileBadData;
  (void)ReadVariableSet(in);  // checked above
  return 0;
}

}  // namespace bw
