#include "sound/sll_plugin_manager.h"

#include <algorithm>
#include <cstring>

#include "common/global.h"
#include "common/sjis.h"
#include "platform/memory_stream.h"
#include "resource/plugin_folder.h"

namespace bw {
namespace {

constexpr size_t kEntryCount = std::size(kSllEntryNames);
constexpr size_t kRequiredEntries = kEntryCount - 1;  // SllConfigDlg is optional

std::string UpperExtension(const std::string& fileName) {
  size_t dot = sjis::FindLast(fileName, '.');
  if (dot == sjis::npos) return {};
  std::string ext = fileName.substr(dot + 1);
  sjis::ToUpperInPlace(ext);
  return ext;
}

// Reads the whole stream into a memory stream; null when memory runs out.
Stream* LoadWhole(Stream* source) {
  uint32_t size = source->GetSize();
  source->Seek(0);
  void* block = AllocGlobalMemory(size);
  if (size != 0 && block == nullptr) return nullptr;
  uint32_t got = size ? source->Read(block, size) : 0;
  return MakeMemoryStream(block, got).release();
}

}  // namespace

std::vector<std::string> ParseExtensionList(const char* list, size_t maxBytes) {
  std::vector<std::string> out;
  if (list == nullptr) return out;
  size_t i = 0;
  while (i < maxBytes && list[i] != '\0') {
    size_t n = strnlen(list + i, maxBytes - i);
    std::string ext(list + i, n);
    sjis::ToUpperInPlace(ext);
    out.push_back(std::move(ext));
    i += n + 1;
  }
  return out;
}

SllPluginManager::~SllPluginManager() {
  UnloadAll();
}

void SllPluginManager::Destroy(SllPluginRecord& record) {
  record.decodeObject.reset();  // the plug-in's code: before its library goes
  // A module the loader will not close stays mapped: nothing more can be done.
  if (record.module) (void)host::FreeLibrary(record.module);
  record.module = nullptr;
}

void SllPluginManager::RemoveByType(uint32_t typeId) {
  std::erase_if(records_, [typeId](std::unique_ptr<SllPluginRecord>& r) {
    if (r->typeId != typeId) return false;
    Destroy(*r);
    return true;
  });
}

void SllPluginManager::UnloadAll() {
  for (auto& r : records_) Destroy(*r);
  records_.clear();
}

int32_t SllPluginManager::AddDecoder(std::unique_ptr<SllDecodeObject> decodeObject,
                                     const char* extensions, const char* typeName, uint32_t typeId,
                                     host::FARPROC assist, host::FARPROC assist2,
                                     host::FARPROC configDialog) {
  if (decodeObject == nullptr) return kSllNullDecodeObject;
  auto record = std::make_unique<SllPluginRecord>();
  record->typeId = typeId;
  record->typeName = typeName ? typeName : "";
  record->extensions = ParseExtensionList(extensions);
  record->decodeObject = std::move(decodeObject);
  record->assist = assist;
  record->assist2 = assist2;
  record->configDialog = configDialog;
  records_.push_back(std::move(record));
  return kSllAdded;
}

int32_t LoadSllPlugin(SllPluginManager& manager, const std::string& path) {
  return manager.LoadPlugin(path);
}

int32_t SllPluginManager::LoadPlugin(const std::string& path) {
  if (path.empty()) return kSllPluginBadPath;
  auto record = std::make_unique<SllPluginRecord>();
  if (int rc = LoadPluginLibrary(path, &record->module)) {
    return rc == kPluginLibraryBadPath ? kSllPluginBadPath : kSllPluginNotLoaded;
  }
  int32_t result = kSllPluginLoaded;
  try {
    host::FARPROC entries[kEntryCount];
    for (size_t i = 0; i < kEntryCount; ++i) {
      entries[i] = host::GetProcAddress(record->module, kSllEntryNames[i]);
      if (entries[i] == nullptr && i < kRequiredEntries) throw kSllPluginMissingEntry;
    }
    record->typeId = reinterpret_cast<GetSllTypeFunc>(entries[0])();
    const char* name = reinterpret_cast<GetSllTextFunc>(entries[1])();
    record->typeName = name ? name : "";
    record->extensions = ParseExtensionList(reinterpret_cast<GetSllTextFunc>(entries[2])());
    record->assist = entries[3];
    record->assist2 = entries[4];
    record->configDialog = entries[6];
    record->decodeObject.reset(reinterpret_cast<GetSllDecodeObjectFunc>(entries[5])());
    if (record->decodeObject == nullptr) throw kSllPluginNoDecodeObject;
    records_.push_back(std::move(record));
    return kSllPluginLoaded;
  } catch (int32_t code) {
    result = code;
  } catch (...) {
    result = kSllPluginFailed;
  }
  Destroy(*record);
  return result;
}

int32_t SllPluginManager::LoadPluginFolder(const std::string& folder) {
  std::vector<std::string> paths;
  if (folder.empty() || !ListPluginFiles(folder, ".sll", paths)) return kSllFolderRefused;
  int32_t loaded = 0;
  for (const std::string& path : paths) {
    if (!path.empty() && LoadPlugin(path) == kSllPluginLoaded) ++loaded;
  }
  return loaded;
}

SllDecodeObject* SllPluginManager::FindByExtension(const std::string& fileName) const {
  std::string ext = UpperExtension(fileName);
  if (ext.empty()) return nullptr;
  for (const auto& r : records_) {
    if (std::find(r->extensions.begin(), r->extensions.end(), ext) != r->extensions.end()) {
      return r->decodeObject.get();
    }
  }
  return nullptr;
}

SllDecodeObject* SllPluginManager::FindByType(uint32_t typeId) const {
  SllPluginRecord* r = RecordOfType(typeId);
  return r ? r->decodeObject.get() : nullptr;
}

SllPluginRecord* SllPluginManager::RecordOfType(uint32_t typeId) const {
  for (const auto& r : records_) {
    if (r->typeId == typeId) return r.get();
  }
  return nullptr;
}

SoundDecoderStream* SllPluginManager::Open(const char* fileName, Stream* file, bool streamed,
                                           int32_t* outError) {
  int32_t error = kSllOk;
  Stream* own = nullptr;  // a file made here, released before returning
  SoundDecoderStream* decoder = nullptr;
  if (file == nullptr) {
    SoundFileSource* source = Global<SoundFileSource>::Get();
    Stream* opened = fileName && source ? source->OpenStream(fileName) : nullptr;
    if (opened && (!streamed || loadWhole_)) {
      own = LoadWhole(opened);
      opened->Release();
      if (own == nullptr) error = kSllOutOfMemory;
    } else {
      own = opened;
      if (own == nullptr) error = kSllCannotOpen;
    }
    file = own;
  }
  if (file != nullptr) {
    SllDecodeObject* first = fileName ? FindByExtension(fileName) : nullptr;
    // The first code a decode object reports says most: the extension's decoder is asked first.
    int32_t reported = kSllOk;
    auto attempt = [&](SllDecodeObject* object) {
      file->Seek(0);  // a declining decoder may have left it elsewhere
      int32_t code = kSllOk;
      decoder = object->CreateDecoder(file, &code);
      if (decoder == nullptr && reported == kSllOk) reported = code;
    };
    if (first) attempt(first);
    for (size_t i = 0; decoder == nullptr && i < records_.size(); ++i) {
      if (records_[i]->decodeObject.get() != first) attempt(records_[i]->decodeObject.get());
    }
    if (decoder == nullptr) {
      file->Seek(0);
      error = reported != kSllOk ? reported : kSllNotAccepted;
    }
  }
  if (own) own->Release();
  if (outError) *outError = decoder ? kSllOk : error;
  return decoder;
}

}  // namespace bw
