#include "resource/packs/file_system_manager.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>

#include "common/sjis.h"
#include "host/cp932.h"
#include "host/file/file_system.h"
#include "host/host_path.h"
#include "host/module.h"
#include "host/trust.h"
#include "platform/app_paths.h"
#include "platform/memory_stream.h"
#include "resource/files/file_stream.h"
#include "resource/packs/vfa_decoder.h"
#include "resource/plugin_folder.h"

namespace bw {
namespace {

// A resolution step that did not find the name: the next step goes on.
constexpr int kGoOn = -1;

bool ToLinux(const std::string& enginePath, std::string& linuxPath) {
  return host::EnginePathToLinuxPath(enginePath, linuxPath) == host::kPathOk;
}

// Loose files are read only where the game may read.
bool ToReadable(const std::string& enginePath, std::string& linuxPath) {
  return ToLinux(enginePath, linuxPath) && host::GamePathAllowed(linuxPath, host::PathUse::kRead);
}

bool OpenLoose(const std::string& enginePath, host::HostFile& file) {
  std::string linuxPath;
  return ToReadable(enginePath, linuxPath) && file.Open(linuxPath, host::HostFile::Access::kRead);
}

bool StatLoose(const std::string& enginePath, FileFindData* data) {
  std::string linuxPath;
  std::optional<host::FileStatus> status;
  if (!ToReadable(enginePath, linuxPath) || !(status = host::QueryFile(linuxPath))) return false;
  if (data) {
    data->folder = status->IsFolder();
    data->size = status->size;
    std::string found;
    if (host::LinuxPathToEnginePath(linuxPath, found) != host::kPathOk) found = enginePath;
    data->fileName = GetPathLeafName(found, true);
  }
  return true;
}

// Wraps a caller's allocate callback to learn whether a failed read had allocated, so release
// runs only for an allocation that happened.
struct TrackedAllocation {
  ArchiveAllocateFunc allocate;
  void* argument;
  bool allocated = false;

  static void* Allocate(uint32_t size, void* self, void* preallocated) {
    auto* t = static_cast<TrackedAllocation*>(self);
    void* buffer = t->allocate(size, t->argument, preallocated);
    t->allocated = t->allocated || buffer != nullptr;
    return buffer;
  }
  void ReleaseIfAllocated(ArchiveReleaseFunc release) {
    if (allocated && release) release(argument);
    allocated = false;
  }
};

// A member's full size: from its entry record when the pack keeps a table, else from a read
// whose allocation is refused, which learns the size and reads nothing.
uint64_t MemberSize(Archive& archive, const std::string& name) {
  if (const ArchiveEntryInfo* info = archive.FindEntryInfo(name.c_str())) {
    return info->unpackedSize;
  }
  uint32_t size = 0;
  auto probe = [](uint32_t wanted, void* argument, void*) -> void* {
    *static_cast<uint32_t*>(argument) = wanted;
    return nullptr;
  };
  // Fails by design: the refused allocation has learnt the size.
  (void)archive.ReadByName(name.c_str(), probe, &size, nullptr, nullptr);
  return size;
}

size_t SharedLength(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  size_t i = 0;
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

// A name of the application folder as the player knows it: the Linux path, in CP932 for a
// message.
std::string ShownPath(std::string_view name) {
  std::string engine, linuxPath;
  if (BuildAbsolutePath(engine, name) == kPathBuildFailed || !ToLinux(engine, linuxPath)) {
    return std::string(name);
  }
  return host::Utf8ToCp932Lenient(linuxPath);
}

// The folder form of a search folder or mount path: absolute, lower-cased, ending with '\'.
bool FolderKey(std::string_view path, std::string& key) {
  if (BuildAbsolutePath(key, path) == kPathBuildFailed) return false;
  if (!EndsWithSeparator(key)) key += '\\';
  sjis::ToLowerInPlace(key);
  return true;
}

}  // namespace

FileSystemManager::~FileSystemManager() {
  UnmountAll();
  RemoveAllDecoders();
  ClearSearchFolders();
}

template <typename Loose, typename Packed>
int FileSystemManager::Resolve(std::string_view name, Loose loose, Packed packed) {
  std::string absolute;
  int built = BuildAbsolutePath(absolute, name);
  if (built == kPathBuildFailed) return kFsBadPath;
  if (int r = loose(absolute); r != kGoOn) return r;
  // An absolute name is never tried under the search folders.
  std::vector<std::string> underFolders;
  if (built != kPathWasAbsolute) {
    for (const std::string& folder : searchFolders_) {
      std::string path;
      if (BuildAbsolutePath(path, name, &folder) == kPathBuildFailed) continue;
      if (int r = loose(path); r != kGoOn) return r;
      underFolders.push_back(std::move(path));
    }
  }
  sjis::ToLowerInPlace(absolute);
  if (int r = packed(absolute); r != kGoOn) return r;
  for (std::string& path : underFolders) {
    sjis::ToLowerInPlace(path);
    if (int r = packed(path); r != kGoOn) return r;
  }
  return kFsNotFound;
}

FileSystemManager::MountList::iterator FileSystemManager::FindFirstSharing(std::string_view name,
                                                                           size_t* shared) {
  for (auto it = mounts_.begin(); it != mounts_.end();) {
    size_t n = SharedLength(name, it->name);
    if (n > 0) {
      *shared = n;
      return it;
    }
    if (it->link > 0) {  // a group whose first name shares nothing: none of its names does
      while (it != mounts_.end() && it->link != -1) ++it;
    }
    if (it != mounts_.end()) ++it;
  }
  *shared = 0;
  return mounts_.end();
}

template <typename Ask>
bool FileSystemManager::AskPacks(const std::string& name, Ask ask) {
  size_t shared;
  auto first = FindFirstSharing(name, &shared);
  if (first == mounts_.end()) return false;
  // Every record asked must hold the whole folder of the name, not only the group's shared part.
  auto tryRecord = [&](MountRecord& record) {
    if (!record.archive || !name.starts_with(record.name)) return false;
    return ask(record, std::string(name.substr(record.name.size())));
  };
  if (tryRecord(*first)) return true;
  if (first->link <= 0) return false;
  for (auto it = std::next(first); it != mounts_.end(); ++it) {
    if (tryRecord(*it)) return true;
    if (it->link == -1) break;
  }
  return false;
}

Stream* FileSystemManager::OpenStream(std::string_view name, std::string* path, int* error,
                                      bool wholeFallback) {
  Stream* stream = nullptr;
  auto loose = [&](const std::string& candidate) {
    host::HostFile file;
    if (!OpenLoose(candidate, file)) return kGoOn;
    Ref<FileStream> fileStream = MakeRef<FileStream>();
    if (!fileStream) return kFsOutOfMemory;
    if (fileStream->Attach(std::move(file)) != FileStream::kDone) return kFsSizeUnknown;
    stream = fileStream.release();
    if (path) *path = candidate;
    return kFsOk;
  };
  auto packed = [&](const std::string& lowered) {
    int code = kGoOn;
    // The code the asked pack sets tells what became of the name.
    (void)AskPacks(lowered, [&](MountRecord& record, const std::string& rest) {
      int archiveError = kArchiveNotFound;
      stream = record.archive->OpenStreamByName(rest.c_str(), &archiveError);
      if (stream) {
        code = kFsOk;
      } else if (archiveError == kArchiveNotStreamable && wholeFallback) {
        GlobalBlock block;
        code = record.archive->ReadByName(rest.c_str(), AllocGlobalBlock, &block, nullptr, nullptr);
        if (code != kArchiveOk) {
          FreeGlobalBlock(&block);
        } else {
          stream = MakeMemoryStream(block.pointer, block.size).release();
          if (!stream) code = kFsOutOfMemory;
        }
      } else if (archiveError != kArchiveNotFound && archiveError != kArchiveOk) {
        code = archiveError;
      }
      if (code == kFsOk && path) *path = lowered;
      return code != kGoOn;
    });
    return code;
  };
  int code = Resolve(name, loose, packed);
  if (error) *error = code;
  if (code != kFsOk && stream) {
    stream->Release();
    stream = nullptr;
  }
  return stream;
}

int FileSystemManager::LoadFile(std::string_view name, ArchiveAllocateFunc allocate,
                                ArchiveReleaseFunc release, void* argument, std::string* path) {
  if (!allocate) return kFsBadPath;
  auto loose = [&](const std::string& candidate) {
    host::HostFile file;
    if (!OpenLoose(candidate, file)) return kGoOn;
    std::optional<uint32_t> size = file.Size();
    if (!size) return kFsSizeUnknown;
    void* buffer = allocate(*size, argument, nullptr);
    if (!buffer && *size != 0) return kFsOutOfMemory;
    if (file.Read(buffer, *size) != *size) {
      if (release) release(argument);
      return kFsReadFailed;
    }
    if (path) *path = candidate;
    return kFsOk;
  };
  auto packed = [&](const std::string& lowered) {
    int code = kGoOn;
    // The code the asked pack sets tells what became of the name.
    (void)AskPacks(lowered, [&](MountRecord& record, const std::string& rest) {
      TrackedAllocation tracked{allocate, argument};
      int read = record.archive->ReadByName(rest.c_str(), TrackedAllocation::Allocate, &tracked,
                                            nullptr, nullptr);
      if (read != kArchiveOk) tracked.ReleaseIfAllocated(release);
      if (read == kArchiveNotFound) return false;
      code = read;
      if (code == kFsOk && path) *path = lowered;
      return true;
    });
    return code;
  };
  return Resolve(name, loose, packed);
}

int FileSystemManager::AddSearchFolder(std::string_view path, bool atEnd) {
  std::string key;
  if (!FolderKey(path, key)) return kFolderBadPath;
  if (atEnd) {
    searchFolders_.push_back(std::move(key));
  } else {
    searchFolders_.insert(searchFolders_.begin(), std::move(key));
  }
  return 0;
}

int FileSystemManager::RemoveSearchFolder(const char* path, int index) {
  if (path) {
    std::string key;
    if (!FolderKey(path, key)) return kFolderNone;
    auto it = std::find(searchFolders_.begin(), searchFolders_.end(), key);
    if (it == searchFolders_.end()) return kFolderNone;
    searchFolders_.erase(it);
    return 0;
  }
  if (searchFolders_.empty()) return kFolderNone;
  if (index < 0) {
    searchFolders_.pop_back();
    return 0;
  }
  if (static_cast<size_t>(index) >= searchFolders_.size()) return kFolderNone;
  searchFolders_.erase(searchFolders_.begin() + index);
  return 0;
}

const char* FileSystemManager::GetSearchFolder(int index) const {
  if (searchFolders_.empty()) return nullptr;
  if (index < 0) return searchFolders_.back().c_str();
  if (static_cast<size_t>(index) >= searchFolders_.size()) return nullptr;
  return searchFolders_[static_cast<size_t>(index)].c_str();
}

int FileSystemManager::FindFileInfo(std::string* path, std::string_view name, FileFindData* data) {
  std::string absolute;
  int built = BuildAbsolutePath(absolute, name);
  if (built == kPathBuildFailed) return kFindBadPath;
  if (StatLoose(absolute, data)) {
    if (path) *path = absolute;
    return 0;
  }
  if (built == kPathWasAbsolute) return kFindNoSuchAbsolute;
  for (const std::string& folder : searchFolders_) {
    std::string candidate;
    if (BuildAbsolutePath(candidate, name, &folder) == kPathBuildFailed) continue;
    if (StatLoose(candidate, data)) {
      if (path) *path = candidate;
      return 0;
    }
  }
  return kFindNotInFolders;
}

int FileSystemManager::OpenFileHandle(host::HostFile& file, std::string_view name,
                                      std::string* path) {
  std::string absolute;
  int built = BuildAbsolutePath(absolute, name);
  if (built == kPathBuildFailed) return kOpenBadPath;
  if (OpenLoose(absolute, file)) {
    if (path) *path = absolute;
    return 0;
  }
  if (built == kPathWasAbsolute) return kOpenBadPath;
  for (const std::string& folder : searchFolders_) {
    std::string candidate;
    if (BuildAbsolutePath(candidate, name, &folder) == kPathBuildFailed) continue;
    if (OpenLoose(candidate, file)) {
      if (path) *path = candidate;
      return 0;
    }
  }
  return kOpenNotInFolders;
}

void FileSystemManager::UnmountAll() {
  for (MountRecord& record : mounts_) {
    if (record.archive) record.archive->Release();
  }
  mounts_.clear();
}

int FileSystemManager::Mount(std::string_view packName, int32_t mountId, bool namedByPack,
                             bool atEnd, Archive** out, std::string* why) {
  if (out) *out = nullptr;
  auto refuse = [why](int code, std::string words) {
    if (why) *why = std::move(words);
    return code;
  };
  std::string path;
  FileFindData data;
  if (FindFileInfo(&path, packName, &data) != 0) return refuse(kMountNoFile, "not found");
  host::HostFile file;
  if (data.folder) return refuse(kMountCannotOpen, "a folder, not a pack");
  if (!OpenLoose(path, file)) return refuse(kMountCannotOpen, "the file cannot be opened");

  Archive* archive = nullptr;
  void* module = nullptr;
  const PluginRecord* byExtension = FindDecoderRecord(packName);
  if (byExtension) {
    int error = kMountNoDecoder;
    std::string words;
    archive =
        byExtension->decodeObject->OpenExplained(path.c_str(), std::move(file), &error, &words);
    if (!archive) {
      if (error == kArchiveOk) error = kMountNoDecoder;
      return refuse(error, words.empty() ? DescribeArchiveError(error) : words);
    }
    module = byExtension->module;
  } else {
    for (PluginRecord& decoder : decoders_) {
      if (!file.IsOpen() && !OpenLoose(path, file)) return kMountCannotOpen;
      int error = kArchiveOk;
      archive = decoder.decodeObject->Open(path.c_str(), std::move(file), &error);
      if (archive) {
        module = decoder.module;
        break;
      }
    }
    if (!archive) return refuse(kMountNoDecoder, "no pack decoder takes it");
  }

  MountRecord record{archive, path, mountId, 0, module};
  if (namedByPack) {
    SplitOffExtension(record.name);
    record.name += '\\';
  } else {
    CutFileName(record.name);
  }
  sjis::ToLowerInPlace(record.name);

  size_t shared;
  auto first = FindFirstSharing(record.name, &shared);
  auto sharedLink = static_cast<int32_t>(shared);
  if (first == mounts_.end()) {
    record.link = 0;
    mounts_.insert(atEnd ? mounts_.end() : mounts_.begin(), std::move(record));
  } else if (first->link == 0) {
    if (atEnd) {
      first->link = sharedLink;
      record.link = -1;
      mounts_.insert(std::next(first), std::move(record));
    } else {
      record.link = sharedLink;
      first->link = -1;
      mounts_.insert(first, std::move(record));
    }
  } else {
    int32_t length = std::min(first->link, sharedLink);
    if (atEnd) {
      first->link = length;
      auto last = std::next(first);
      while (last != mounts_.end() && last->link != -1) ++last;
      if (last != mounts_.end()) last->link = 0;
      record.link = -1;
      mounts_.insert(last == mounts_.end() ? last : std::next(last), std::move(record));
    } else {
      record.link = length;
      first->link = 0;
      mounts_.insert(first, std::move(record));
    }
  }
  if (out) *out = archive;
  return 0;
}

void FileSystemManager::Remove(MountList::iterator record) {
  // The group keeps a first and a last record.
  if (record->link > 0) {
    auto next = std::next(record);
    if (next != mounts_.end()) next->link = next->link == -1 ? 0 : record->link;
  } else if (record->link == -1 && record != mounts_.begin()) {
    auto previous = std::prev(record);
    previous->link = previous->link > 0 ? 0 : -1;
  }
  if (record->archive) record->archive->Release();
  mounts_.erase(record);
}

FileSystemManager::MountList::iterator FileSystemManager::FindById(int32_t mountId) {
  return std::find_if(mounts_.begin(), mounts_.end(),
                      [&](const MountRecord& r) { return r.id == mountId; });
}

void FileSystemManager::Unmount(const char* path, int32_t mountId, int index) {
  if (path) {
    std::string key;
    if (!FolderKey(path, key)) return;
    for (auto it = mounts_.begin(); it != mounts_.end();) {
      auto next = std::next(it);
      if (it->name == key) Remove(it);
      it = next;
    }
  } else if (mountId != kStartupMountId) {
    auto it = FindById(mountId);
    if (it != mounts_.end()) Remove(it);
  } else if (!mounts_.empty()) {
    if (index < 0) {
      Remove(std::prev(mounts_.end()));
    } else if (static_cast<size_t>(index) < mounts_.size()) {
      Remove(std::next(mounts_.begin(), index));
    }
  }
}

FileSystemManager::MountList::const_iterator FileSystemManager::FindMount(int32_t mountId,
                                                                          int index) const {
  if (mountId != kMountById) {
    return std::find_if(mounts_.begin(), mounts_.end(),
                        [&](const MountRecord& r) { return r.id == mountId; });
  }
  if (mounts_.empty()) return mounts_.end();
  if (index < 0) return std::prev(mounts_.end());
  if (static_cast<size_t>(index) >= mounts_.size()) return mounts_.end();
  return std::next(mounts_.begin(), index);
}

const char* FileSystemManager::GetMountName(int32_t mountId, int index) const {
  auto it = FindMount(mountId, index);
  return it == mounts_.end() ? nullptr : it->name.c_str();
}

Archive* FileSystemManager::GetMountArchive(int32_t mountId, int index) const {
  auto it = FindMount(mountId, index);
  return it == mounts_.end() ? nullptr : it->archive;
}

int FileSystemManager::ReadPackMember(int32_t mountId, int32_t entryIndex, const char* name,
                                      ArchiveAllocateFunc allocate, ArchiveReleaseFunc release,
                                      void* argument, std::string* path) {
  auto record = FindById(mountId);
  if (record == mounts_.end() || !record->archive) return kArchiveNotFound;
  if (entryIndex == -1 && !name) return kArchiveNotFound;
  if (!allocate) return kArchiveNoPath;
  TrackedAllocation tracked{allocate, argument};
  int code;
  if (entryIndex == -1) {
    code =
        record->archive->ReadByName(name, TrackedAllocation::Allocate, &tracked, nullptr, nullptr);
  } else {
    code = record->archive->ReadByIndex(static_cast<uint32_t>(entryIndex),
                                        TrackedAllocation::Allocate, &tracked, nullptr, nullptr);
  }
  if (code != kArchiveOk) {
    tracked.ReleaseIfAllocated(release);
    return code;
  }
  if (path) {
    char generated[16];
    std::snprintf(generated, sizeof(generated), "%06d", entryIndex);
    *path = record->name + (name ? std::string(name) : std::string(generated) + ".DAT");
  }
  return kArchiveOk;
}

int FileSystemManager::FindFile(std::string* path, std::string_view name, FileFindData* data) {
  auto loose = [&](const std::string& candidate) {
    if (!StatLoose(candidate, data)) return kGoOn;
    if (path) *path = candidate;
    return 0;
  };
  bool inPack = false;
  auto packed = [&](const std::string& lowered) {
    inPack = AskPacks(lowered, [&](MountRecord& record, const std::string& rest) {
      if (!record.archive->Exists(rest.c_str())) return false;
      if (data) {
        data->folder = false;
        data->size = MemberSize(*record.archive, rest);
        data->fileName = GetPathLeafName(rest, true);
      }
      return true;
    });
    if (inPack && path) *path = lowered;
    return inPack ? kFsOk : kGoOn;
  };
  int code = Resolve(name, loose, packed);
  if (code == kFsBadPath) return kFindBadPath;
  if (code == kFsNotFound) return kFindNotFound;
  return inPack ? kFindInPack : code;
}

void FileSystemManager::DestroyDecoder(PluginRecord& record) {
  if (record.module) {
    // A plug-in's archives run its code: they go before the module does.
    for (auto it = mounts_.begin(); it != mounts_.end();) {
      auto next = std::next(it);
      if (it->module == record.module) Remove(it);
      it = next;
    }
  }
  record.decodeObject.reset();
  // A module the loader will not close stays mapped: nothing more can be done.
  if (record.module) (void)host::FreeLibrary(record.module);
  record.module = nullptr;
}

void FileSystemManager::RemoveDecoder(uint32_t typeId) {
  for (auto it = decoders_.begin(); it != decoders_.end();) {
    if (it->typeId == typeId) {
      DestroyDecoder(*it);
      it = decoders_.erase(it);
    } else {
      ++it;
    }
  }
}

void FileSystemManager::RemoveAllDecoders() {
  for (PluginRecord& record : decoders_) DestroyDecoder(record);
  decoders_.clear();
}

int FileSystemManager::AddDecoder(std::unique_ptr<ArchiveLoader> decodeObject,
                                  const char* extensions, const char* typeString, uint32_t typeId,
                                  AdlAssistFunc assist, AdlAssistFunc2 assist2,
                                  AdlConfigDlg configDialog) {
  if (!decodeObject) return kDecoderNull;
  decoders_.push_back({typeId, typeString, extensions, std::move(decodeObject), nullptr, assist,
                       assist2, configDialog});
  return 0;
}

int FileSystemManager::LoadDecoderPlugin(std::string_view path) {
  host::HMODULE module;
  if (int rc = LoadPluginLibrary(path, &module)) {
    return rc == kPluginLibraryBadPath ? kPluginBadPath : kPluginLoadFailed;
  }

  auto entry = [&](const char* entryName) { return host::GetProcAddress(module, entryName); };
  auto getType = reinterpret_cast<uint32_t (*)()>(entry("GetAdlType"));
  auto getTypeString = reinterpret_cast<const char* (*)()>(entry("GetAdlTypeString"));
  auto getExtensions = reinterpret_cast<const char* (*)()>(entry("GetAdlSupportExt"));
  auto assist = reinterpret_cast<AdlAssistFunc>(entry("AdlAssistFunc"));
  auto assist2 = reinterpret_cast<AdlAssistFunc2>(entry("AdlAssistFunc2"));
  auto getDecodeObject = reinterpret_cast<ArchiveLoader* (*)()>(entry("GetAdlDecodeObject"));
  auto configDialog = reinterpret_cast<AdlConfigDlg>(entry("AdlConfigDlg"));
  if (!getType || !getTypeString || !getExtensions || !assist || !assist2 || !getDecodeObject) {
    // The failure told is the missing entry.
    (void)host::FreeLibrary(module);
    return kPluginEntryMissing;
  }
  PluginRecord record{0, nullptr, nullptr, nullptr, module, assist, assist2, configDialog};
  try {
    record.typeId = getType();
    record.typeString = getTypeString();
    record.extensions = getExtensions();
    record.decodeObject.reset(getDecodeObject());
  } catch (...) {
    // The failure told is the plug-in's.
    (void)host::FreeLibrary(module);
    return kPluginUnexpected;
  }
  if (!record.decodeObject) {
    // The failure told is the missing decoder.
    (void)host::FreeLibrary(module);
    return kPluginNoDecodeObject;
  }
  decoders_.push_back(std::move(record));
  return 0;
}

int FileSystemManager::ScanDecoderPlugins(std::string_view folder) {
  std::vector<std::string> paths;
  if (!ListPluginFiles(folder, ".adl", paths)) return -1;
  int failed = 0;
  for (const std::string& path : paths) {
    if (path.empty() || LoadDecoderPlugin(path) != 0) ++failed;
  }
  return failed;
}

const PluginRecord* FileSystemManager::FindDecoderRecord(std::string_view name) const {
  std::string extension = sjis::ToUpper(GetPathExtension(name));
  for (const PluginRecord& record : decoders_) {
    for (const char* e = record.extensions; e && *e; e += std::strlen(e) + 1) {
      if (extension == e) return &record;
    }
  }
  return nullptr;
}

ArchiveLoader* FileSystemManager::FindDecoderByExtension(std::string_view name) const {
  const PluginRecord* record = FindDecoderRecord(name);
  return record ? record->decodeObject.get() : nullptr;
}

AdlAssistFunc2 FileSystemManager::GetDecoderAssistFunc2(uint32_t typeId) const {
  for (const PluginRecord& record : decoders_) {
    if (record.typeId == typeId) return record.assist2;
  }
  return nullptr;
}

int RegisterPackDecoders(FileSystemManager& manager) {
  PluginRecord vfa = MakeVfaDecoderRecord();
  // The built-in decoder has its extension and object: the manager takes it.
  (void)manager.AddDecoder(std::move(vfa.decodeObject), vfa.extensions, vfa.typeString, vfa.typeId,
                           vfa.assist, vfa.assist2, vfa.configDialog);
  return manager.ScanDecoderPlugins(kPluginFolder);
}

int MountStartupPacks(FileSystemManager& manager, std::string* failure) {
  int mounted = 0;
  bool refused = false;
  auto mount = [&](const std::string& name, bool namedByPack, bool atEnd) {
    std::string why;
    int code = manager.Mount(name, kStartupMountId, namedByPack, atEnd, nullptr, &why);
    if (code == 0) {
      ++mounted;
    } else if (code != kMountNoFile) {
      refused = true;
      if (failure) *failure = ShownPath(name) + ": " + why;
    }
    return code == 0;
  };
  if (mount("PATCH.VFA", false, true)) {
    for (int n = 2; !refused && mount("PATCH" + std::to_string(n) + ".VFA", false, false); ++n) {
    }
  }
  if (!refused) mount("SCRIPT.VFA", true, true);
  return mounted;
}

}  // namespace bw
