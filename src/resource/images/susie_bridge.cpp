#include "resource/images/susie_bridge.h"

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "common/byte_reader.h"
#include "common/sjis.h"
#include "host/host_path.h"
#include "host/module.h"
#include "platform/app_paths.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_cache.h"
#include "resource/images/image_loader_manager.h"
#include "resource/packs/file_system_manager.h"
#include "resource/plugin_folder.h"

namespace bw {
namespace {

constexpr int kAssistNotSupported = 5;
constexpr int kArchiveListEmpty = 2;
constexpr uint32_t kDibInfoSize = 40;

// Whether archives opened from now on build their entry table. Set through a plug-in's assist
// entry, read on whichever thread opens an archive; atomic.
std::atomic<uint8_t> gSusieTableSetting{0};

// A block a plug-in handed out, freed when the holder goes.
struct PluginBlock {
  void* pointer = nullptr;
  ~PluginBlock() { std::free(pointer); }
  size_t Size() const { return pointer ? malloc_usable_size(pointer) : 0; }
  std::span<const uint8_t> Bytes() const { return {static_cast<const uint8_t*>(pointer), Size()}; }
};

// Plug-ins get a progress callback whether the caller gave one or not: many call it without
// asking. Without the caller's it answers 0, go on.
struct ProgressBridge {
  const ImageProgress* progress;
  static int Call(int done, int total, intptr_t data) {
    auto* self = reinterpret_cast<ProgressBridge*>(data);
    return *self->progress ? (*self->progress)(done, total) : 0;
  }
};

struct ArchiveProgressBridge {
  ArchiveProgressFunc progress;
  void* argument;
  static int Call(int done, int total, intptr_t data) {
    auto* self = reinterpret_cast<ArchiveProgressBridge*>(data);
    if (self->progress) {
      self->progress(static_cast<uint32_t>(done), static_cast<uint32_t>(total), self->argument);
    }
    return 0;
  }
};

// A DIB as a plug-in hands it out: the info block (40-byte header and palette) and the rows.
bool ReadPluginDib(std::span<const uint8_t> info, std::span<const uint8_t> pixels, DibImage& dib) {
  ByteReader in(info);
  uint32_t size, compression, usedColours;
  uint16_t planes;
  if (!in.u32le(size) || size != kDibInfoSize || !in.i32le(dib.width) || !in.i32le(dib.height) ||
      !in.u16le(planes) || !in.u16le(dib.bits) || !in.u32le(compression) || !in.skip(12) ||
      !in.u32le(usedColours) || !in.skip(4))
    return false;
  if (compression != 0 || dib.width <= 0 || dib.height == 0 || dib.height == INT32_MIN)
    return false;
  if (dib.bits != 1 && dib.bits != 4 && dib.bits != 8 && dib.bits != 16 && dib.bits != 24 &&
      dib.bits != 32)
    return false;
  if (dib.bits <= 8) {
    uint64_t count = usedColours ? usedColours : uint64_t{1} << dib.bits;
    if (count > (uint64_t{1} << dib.bits) || !in.has(count * 4)) return false;
    dib.palette.resize(count);
    for (uint32_t& entry : dib.palette)
      if (!in.u32le(entry)) return false;
  }
  uint64_t pitch = DibPitch(static_cast<uint32_t>(dib.width), dib.bits);
  uint64_t bytes = pitch * dib.Rows();
  if (bytes > pixels.size()) return false;
  dib.pitch = static_cast<uint32_t>(pitch);
  dib.pixels.assign(pixels.data(), pixels.data() + bytes);
  return true;
}

std::string PluginInfo(SusieGetPluginInfo info, int number) {
  char buffer[kSusieInfoBufferSize + 1] = {};
  int n = info(number, buffer, kSusieInfoBufferSize);
  if (n <= 0) return {};
  return std::string(buffer, strnlen(buffer, kSusieInfoBufferSize));
}

std::string FixedString(const char* field, size_t size) {
  return std::string(field, strnlen(field, size));
}

}  // namespace

std::string SusieExtensionList(std::string_view filter) {
  std::string list;
  std::string current;
  auto end = [&] {
    if (!current.empty()) {
      list += current;
      list += '\0';
    }
    current.clear();
  };
  for (size_t i = 0; i < filter.size(); i = sjis::Next(filter, i)) {
    size_t n = sjis::CharLength(filter, i);
    char c = filter[i];
    if (n == 2) {
      current.append(filter.substr(i, 2));
    } else if (c == ';') {
      end();
    } else if (c != '*' && c != '.') {
      current += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
  }
  end();
  return list;
}

namespace {

std::string Fold(std::string_view name, bool everyLead) {
  std::string folded;
  folded.reserve(name.size());
  for (size_t i = 0; i < name.size();) {
    auto b = static_cast<uint8_t>(name[i]);
    if (sjis::CharLength(name, i) == 2) {
      auto t = static_cast<uint8_t>(name[i + 1]);
      if (b == 0x87 && t >= 0x54 && t <= 0x5D) {
        b = 0xFA;
        t = static_cast<uint8_t>(t - 10);
      } else if (t >= 0x60 && t <= 0x79 && (everyLead || b == 0x82)) {
        t = static_cast<uint8_t>(t + 0x21);
      } else if (t >= 0x40 && t <= 0x49 && (everyLead || b == 0xFA)) {
        t = static_cast<uint8_t>(t + 0x0A);
      }
      folded += static_cast<char>(b);
      folded += static_cast<char>(t);
      i += 2;
      continue;
    }
    folded += (b >= 'A' && b <= 'Z') ? static_cast<char>(b - 'A' + 'a') : static_cast<char>(b);
    ++i;
  }
  return folded;
}

}  // namespace

std::string SusieFoldName(std::string_view name) {
  return Fold(name, true);
}
std::string SusieMatchName(std::string_view name) {
  return Fold(name, false);
}

uint32_t SusieNameHash(std::string_view folded) {
  uint32_t h = 0;
  for (char c : folded) h = NameHashStep(h, static_cast<uint8_t>(c));
  return NameHashFinish(h);
}

// ---- images

SusieImageLoader::SusieImageLoader(SusieModule module, std::string description,
                                   std::string extensions, SusieIsSupported isSupported,
                                   SusieGetPicture getPicture)
    : module_(std::move(module)),
      description_(std::move(description)),
      extensions_(std::move(extensions)),
      isSupported_(isSupported),
      getPicture_(getPicture) {}

bool SusieImageLoader::IsSupported(std::span<const uint8_t> data, const char* name) {
  if (!data.data()) return false;
  if (data.size() >= kSusieHeadSize) return isSupported_(name ? name : "", data.data()) != 0;
  uint8_t head[kSusieHeadSize] = {};
  std::memcpy(head, data.data(), data.size());
  return isSupported_(name ? name : "", head) != 0;
}

int SusieImageLoader::LoadToBuffers(std::span<const uint8_t> data, const ImageProgress& progress) {
  FreeBuffers();
  if (!data.data() || data.empty()) return kSusieNoData;
  PluginBlock info, pixels;
  ProgressBridge bridge{&progress};
  int rc = getPicture_(reinterpret_cast<const char*>(data.data()),
                       static_cast<intptr_t>(data.size()), kSusieFromMemory, &info.pointer,
                       &pixels.pointer, &ProgressBridge::Call, reinterpret_cast<intptr_t>(&bridge));
  if (rc != kSusieOk || !info.pointer || !pixels.pointer) return kSusiePictureFailed;
  DibImage dib;
  try {
    if (!ReadPluginDib(info.Bytes(), pixels.Bytes(), dib)) return kSusiePictureFailed;
  } catch (const std::bad_alloc&) {
    return kGllNoBuffer;
  }
  uint64_t byteSize = uint64_t{info.Size()} + pixels.Size();
  KeepPicture(std::move(dib));
  byteSize_ = byteSize > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(byteSize);
  return kGllDone;
}

// ---- archives

SusieArchive::SusieArchive(SusieModule module, std::string path, SusieGetFile getFile,
                           std::vector<Member> members, bool withTable)
    : module_(std::move(module)),
      path_(std::move(path)),
      getFile_(getFile),
      members_(std::move(members)) {
  for (uint32_t i = 0; i < members_.size(); ++i) {
    buckets_[SusieNameHash(SusieFoldName(members_[i].name)) % buckets_.size()].push_back(i);
  }
  if (withTable) {
    for (const Member& m : members_) table_.push_back({m.name.c_str(), m.info});
  }
}

const SusieArchive::Member* SusieArchive::Find(const char* name) const {
  if (!name) return nullptr;
  std::string folded = SusieMatchName(name);
  for (uint32_t i : buckets_[SusieNameHash(SusieFoldName(name)) % buckets_.size()]) {
    if (members_[i].folded == folded) return &members_[i];
  }
  return nullptr;
}

const SusieArchive::Member* SusieArchive::At(uint32_t index) const {
  return index < members_.size() ? &members_[index] : nullptr;
}

const ArchiveEntryInfo* SusieArchive::FindEntryInfo(const char* name) {
  const Member* m = Find(name);
  return m ? &m->info : nullptr;
}

const ArchiveEntryInfo* SusieArchive::GetEntryInfo(uint32_t index, const char** name) {
  const Member* m = At(index);
  if (name) *name = m ? m->name.c_str() : nullptr;
  return m ? &m->info : nullptr;
}

int SusieArchive::Read(const Member* member, ArchiveAllocateFunc allocate, void* argument,
                       ArchiveProgressFunc progress, void* progressArgument) {
  if (!member) return kArchiveNotFound;
  if (!allocate) return kArchiveNoPath;
  if (member->info.unpackedSize == 0) return kArchiveEmptyMember;
  PluginBlock block;
  ArchiveProgressBridge bridge{progress, progressArgument};
  int rc =
      getFile_(path_.c_str(), member->info.offset, reinterpret_cast<char*>(&block.pointer),
               kSusieToMemory, &ArchiveProgressBridge::Call, reinterpret_cast<intptr_t>(&bridge));
  const uint32_t size = member->info.unpackedSize;
  if (rc != kSusieOk || block.Size() < size) return kSusieGetFileFailed;
  void* buffer = allocate(size, argument, nullptr);
  if (!buffer) return kSusieNoBuffer;
  std::memcpy(buffer, block.pointer, size);
  return kArchiveOk;
}

int SusieArchive::ReadByName(const char* name, ArchiveAllocateFunc allocate, void* argument,
                             ArchiveProgressFunc progress, void* progressArgument) {
  return Read(Find(name), allocate, argument, progress, progressArgument);
}

int SusieArchive::ReadByIndex(uint32_t index, ArchiveAllocateFunc allocate, void* argument,
                              ArchiveProgressFunc progress, void* progressArgument) {
  return Read(At(index), allocate, argument, progress, progressArgument);
}

int SusieArchive::Extract(const Member* member, const char* folder, ArchiveProgressFunc progress,
                          void* progressArgument) {
  if (!member || !folder) return kArchiveNotFound;
  std::string linuxFolder;
  if (host::EnginePathToLinuxPath(folder, linuxFolder) != host::kPathOk) return kArchiveNoPath;
  ArchiveProgressBridge bridge{progress, progressArgument};
  int rc = getFile_(path_.c_str(), member->info.offset, linuxFolder.data(), kSusieFromFile,
                    &ArchiveProgressBridge::Call, reinterpret_cast<intptr_t>(&bridge));
  return rc == kSusieOk ? kArchiveOk : kSusieGetFileFailed;
}

int SusieArchive::ExtractByName(const char* name, const char* folder, ArchiveProgressFunc progress,
                                void* progressArgument) {
  return Extract(Find(name), folder, progress, progressArgument);
}

int SusieArchive::ExtractByIndex(uint32_t index, const char* folder, ArchiveProgressFunc progress,
                                 void* progressArgument) {
  return Extract(At(index), folder, progress, progressArgument);
}

Stream* SusieArchive::OpenStreamByName(const char* name, int* error) {
  if (error) *error = Find(name) ? kArchiveNotStreamable : kArchiveNotFound;
  return nullptr;
}

Stream* SusieArchive::OpenStreamByIndex(uint32_t index, int* error) {
  if (error) *error = At(index) ? kArchiveNotStreamable : kArchiveNotFound;
  return nullptr;
}

SusieArchiveLoader::SusieArchiveLoader(SusieModule module, std::string description,
                                       std::string extensions, SusieGetArchiveInfo getArchiveInfo,
                                       SusieGetFile getFile)
    : module_(std::move(module)),
      description_(std::move(description)),
      extensions_(std::move(extensions)),
      getArchiveInfo_(getArchiveInfo),
      getFile_(getFile) {}

Archive* SusieArchiveLoader::Open(const char* path, host::HostFile file, int* error) {
  int unused;
  if (!error) error = &unused;
  // The plug-in opens the archive itself, by its Linux path.
  std::string linuxPath = file.IsOpen() ? file.Path().string() : std::string();
  file.Close();
  if (linuxPath.empty() &&
      (!path || host::EnginePathToLinuxPath(path, linuxPath) != host::kPathOk)) {
    *error = kArchiveBadFormat;
    return nullptr;
  }
  PluginBlock list;
  if (getArchiveInfo_(linuxPath.c_str(), 0, kSusieFromFile, &list.pointer) != kSusieOk ||
      !list.pointer) {
    *error = kArchiveBadFormat;
    return nullptr;
  }
  std::vector<SusieArchive::Member> members;
  try {
    std::span<const uint8_t> bytes = list.Bytes();
    for (size_t at = 0; at + sizeof(SusieFileInfo) <= bytes.size() && bytes[at] != 0;
         at += sizeof(SusieFileInfo)) {
      SusieFileInfo record;
      std::memcpy(&record, bytes.data() + at, sizeof(record));
      SusieArchive::Member m;
      m.name = FixedString(record.path, sizeof(record.path)) +
               FixedString(record.fileName, sizeof(record.fileName));
      m.folded = SusieMatchName(m.name);
      m.info.index = static_cast<uint32_t>(members.size());
      m.info.size = record.compressedSize;
      m.info.unpackedSize = record.fileSize;
      m.info.timeStamp = record.timeStamp;
      m.info.crc = record.crc;
      m.info.offset = record.position;
      m.info.method = 8;
      m.info.flag = 0;
      m.info.packed = record.compressedSize != record.fileSize;
      members.push_back(std::move(m));
    }
    if (members.empty()) {
      *error = kArchiveListEmpty;
      return nullptr;
    }
    *error = kArchiveOk;
    // The loader interface, which plug-ins implement too, hands the archive over bare.
    return std::make_unique<SusieArchive>(module_, std::move(linuxPath), getFile_,
                                          std::move(members), gSusieTableSetting.load() != 0)
        .release();
  } catch (const std::bad_alloc&) {
    *error = kArchiveOutOfMemory;
    return nullptr;
  }
}

int SusieArchiveAssist(uint32_t kind, uint32_t a, uint32_t) {
  if (kind != 0) return kAssistNotSupported;
  gSusieTableSetting.store(a != 0 ? 1 : 0);
  return 0;
}

int SusieArchiveAssist2(const AdlAssistArgs* args) {
  return args ? SusieArchiveAssist(args->kind, args->a, args->b) : kAssistNotSupported;
}

// ---- registration

int LoadSusiePlugin(std::string_view path, FileSystemManager* archives,
                    ImageLoaderManager* images) {
  host::HMODULE handle;
  if (int rc = LoadPluginLibrary(path, &handle)) {
    return rc == kPluginLibraryBadPath ? kSusieBadPath : kSusieLoadFailed;
  }
  // A module the loader will not close stays mapped: nothing more can be done.
  SusieModule module(handle, [](void* m) { (void)host::FreeLibrary(m); });
  auto entry = [&](const char* name) { return host::GetProcAddress(handle, name); };
  auto info = reinterpret_cast<SusieGetPluginInfo>(entry("GetPluginInfo"));
  if (!info) return kSusieNoPluginInfo;
  std::string kind = PluginInfo(info, kSusieInfoKind);
  std::string extensions = SusieExtensionList(PluginInfo(info, kSusieInfoFilter));
  std::string description = PluginInfo(info, kSusieInfoDescription);
  auto config = reinterpret_cast<AdlConfigDlg>(entry("ConfigurationDlg"));
  try {
    if (kind == "00IN") {
      auto isSupported = reinterpret_cast<SusieIsSupported>(entry("IsSupported"));
      auto getPicture = reinterpret_cast<SusieGetPicture>(entry("GetPicture"));
      if (!isSupported || !getPicture) return kSusieUnknownKind;
      if (!images) return kSusieKindRefused;
      auto loader = std::make_unique<SusieImageLoader>(module, description, extensions, isSupported,
                                                       getPicture);
      if (images->AddLoader(std::move(loader), extensions.c_str(), description.c_str(),
                            kSusieImageType, nullptr, nullptr, config) != 0)
        return kSusieRegistrationRefused;
      return kSusieTaken;
    }
    if (kind == "00AM") {
      auto getArchiveInfo = reinterpret_cast<SusieGetArchiveInfo>(entry("GetArchiveInfo"));
      auto getFile = reinterpret_cast<SusieGetFile>(entry("GetFile"));
      if (!getArchiveInfo || !getFile) return kSusieUnknownKind;
      if (!archives) return kSusieKindRefused;
      auto loader = std::make_unique<SusieArchiveLoader>(module, description, extensions,
                                                         getArchiveInfo, getFile);
      // The record points at the loader's own strings, which live as long as it does.
      const SusieArchiveLoader& named = *loader;
      if (archives->AddDecoder(std::move(loader), named.GetExtensions().c_str(),
                               named.GetDescription().c_str(), kSusieArchiveType,
                               SusieArchiveAssist, SusieArchiveAssist2, config) != 0)
        return kSusieRegistrationRefused;
      return kSusieTaken;
    }
  } catch (const std::bad_alloc&) {
    return kSusieUnknownKind;
  }
  return kSusieUnknownKind;
}

int ScanSusiePlugins(std::string_view folder, FileSystemManager* archives,
                     ImageLoaderManager* images) {
  std::vector<std::string> paths;
  if (!ListPluginFiles(folder, kSpiPattern, paths)) return -1;
  int failed = 0;
  for (const std::string& path : paths) {
    if (LoadSusiePlugin(path, archives, images) != kSusieTaken) ++failed;
  }
  return failed;
}

int SetUpImageLoaders(ImageLoaderManager& images, FileSystemManager* archives) {
  RegisterBuiltinLoaders(images);
  int failed = images.ScanLoaderPlugins(kPluginFolder);
  int susieFailed = ScanSusiePlugins(kPluginFolder, archives, &images);
  return std::max(failed, 0) + std::max(susieFailed, 0);
}

}  // namespace bw
