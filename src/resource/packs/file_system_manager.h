// The one place a resource name becomes bytes: a loose file under the application folder or a
// search folder, or a member of a mounted pack. Packs are opened by pack decoders, the built-in
// VFA decoder and *.ADL plug-ins. Names are engine paths; they resolve against the application
// folder and are lower-cased (ASCII only) before the packs are asked.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <vector>

#include "common/global.h"
#include "resource/packs/archive.h"

namespace bw {

// Codes of resolving and reading (also the File class's, which passes them on).
constexpr int kFsOk = 0;
constexpr int kFsNotFound = 3;
constexpr int kFsBadPath = 5;
constexpr int kFsReadFailed = 7;
constexpr int kFsOutOfMemory = 8;
constexpr int kFsSizeUnknown = 10;

// FindFileInfo.
constexpr int kFindBadPath = 1;
constexpr int kFindNoSuchAbsolute = 2;
constexpr int kFindNotInFolders = 3;
// FindFile.
constexpr int kFindLoose = 0;
constexpr int kFindInPack = -1;
constexpr int kFindNotFound = 2;
// OpenFileHandle.
constexpr int kOpenBadPath = 1;  // also an absolute name that does not exist
constexpr int kOpenNotInFolders = 2;
// AddSearchFolder / RemoveSearchFolder.
constexpr int kFolderBadPath = 1;
constexpr int kFolderNone = -1;
// Mount.
constexpr int kMountNoDecoder = 1;
constexpr int kMountCannotOpen = 3;
constexpr int kMountNoFile = 5;
// Mount ids: the start-up packs; GetMountName / GetMountArchive by position.
constexpr int32_t kStartupMountId = -2;
constexpr int32_t kMountById = -1;
// AddDecoder / LoadDecoderPlugin (the plug-in errors are the decoders' own numbers).
constexpr int kDecoderNull = 1;
constexpr int kPluginBadPath = 1;
constexpr int kPluginLoadFailed = 2;
constexpr int kPluginEntryMissing = 3;
constexpr int kPluginNoDecodeObject = 4;
constexpr int kPluginUnexpected = 5;

// What a find answers: a loose file's or folder's, or a pack member's (never a folder; its full
// size, as reading it gives it).
struct FileFindData {
  bool folder = false;
  uint64_t size = 0;
  std::string fileName;  // the leaf as it stands on disk, CP932
};

class FileSystemManager {
 public:
  FileSystemManager() = default;
  virtual ~FileSystemManager();
  FileSystemManager(const FileSystemManager&) = delete;
  FileSystemManager& operator=(const FileSystemManager&) = delete;

  // A stream with one holder over the loose file or pack member, or null with the code in
  // error. A member stored packed is read whole into a memory stream when wholeFallback is set.
  // path receives where the name was found.
  virtual Stream* OpenStream(std::string_view name, std::string* path, int* error,
                             bool wholeFallback = true);
  // Reads the whole file or member into memory from allocate(size, argument, null); release
  // (argument) undoes the allocation when the read fails after it. path receives the loose
  // file's path, or the lower-cased absolute name for a pack member.
  [[nodiscard]] virtual int LoadFile(std::string_view name, ArchiveAllocateFunc allocate,
                                     ArchiveReleaseFunc release, void* argument, std::string* path);

  // Folders asked after the application folder, absolute, lower-cased, ending with '\'.
  virtual size_t GetSearchFolderCount() const { return searchFolders_.size(); }
  virtual void ClearSearchFolders() { searchFolders_.clear(); }
  [[nodiscard]] virtual int AddSearchFolder(std::string_view path, bool atEnd);
  // With a path the equal entry goes; without, the one at index (the last for a negative one).
  [[nodiscard]] virtual int RemoveSearchFolder(const char* path, int index);
  // Null at or beyond the count; the last for a negative index.
  virtual const char* GetSearchFolder(int index) const;

  // Loose files only.
  virtual int FindFileInfo(std::string* path, std::string_view name, FileFindData* data);
  [[nodiscard]] virtual int OpenFileHandle(host::HostFile& file, std::string_view name,
                                           std::string* path);

  virtual size_t GetMountCount() const { return mounts_.size(); }
  virtual void UnmountAll();
  // Opens the pack with the decoder of its extension (or, when none has it, the first decoder
  // that accepts it) and puts it in the mount list. The mount name is the folder that holds the
  // pack, or with namedByPack the pack's path without extension as a folder. A pack that is
  // refused leaves words for why in *why, when given.
  [[nodiscard]] virtual int Mount(std::string_view packName, int32_t mountId, bool namedByPack,
                                  bool atEnd, Archive** archive = nullptr,
                                  std::string* why = nullptr);
  // By mount name (path given), by mount id (no path, id other than -2), or by position.
  virtual void Unmount(const char* path, int32_t mountId, int index);
  virtual const char* GetMountName(int32_t mountId, int index) const;
  // entryIndex -1 reads by name.
  [[nodiscard]] virtual int ReadPackMember(int32_t mountId, int32_t entryIndex, const char* name,
                                           ArchiveAllocateFunc allocate, ArchiveReleaseFunc release,
                                           void* argument, std::string* path);
  virtual Archive* GetMountArchive(int32_t mountId, int index) const;
  // 0 a loose file, -1 a pack member, 1 the path cannot be built, 2 not found. data, when
  // given, describes what was found.
  virtual int FindFile(std::string* path, std::string_view name, FileFindData* data);

  virtual void RemoveDecoder(uint32_t typeId);
  virtual void RemoveAllDecoders();
  // Takes a built-in decoder and its decode object.
  [[nodiscard]] virtual int AddDecoder(std::unique_ptr<ArchiveLoader> decodeObject,
                                       const char* extensions, const char* typeString,
                                       uint32_t typeId, AdlAssistFunc assist,
                                       AdlAssistFunc2 assist2, AdlConfigDlg configDialog);
  [[nodiscard]] virtual int LoadDecoderPlugin(std::string_view path);
  // The number of *.ADL files of the folder that failed to load; -1 when the folder path
  // cannot be built.
  [[nodiscard]] virtual int ScanDecoderPlugins(std::string_view folder);
  virtual ArchiveLoader* FindDecoderByExtension(std::string_view name) const;

  AdlAssistFunc2 GetDecoderAssistFunc2(uint32_t typeId) const;
  size_t GetDecoderCount() const { return decoders_.size(); }

 private:
  struct MountRecord {
    Archive* archive = nullptr;
    std::string name;  // lower-cased absolute folder ending with '\'
    int32_t id = 0;
    // First of a group: the length its members' names share; middle 0; last -1; alone 0.
    int32_t link = 0;
    void* module = nullptr;  // the decoder plug-in whose code serves the archive
  };
  using MountList = std::list<MountRecord>;

  // Calls ask(record, rest) for each record that may hold the lower-cased absolute name, in
  // lookup order, until it answers true.
  template <typename Ask>
  [[nodiscard]] bool AskPacks(const std::string& name, Ask ask);
  // Loose files first, then the packs, by the name and then under each search folder.
  template <typename Loose, typename Packed>
  [[nodiscard]] int Resolve(std::string_view name, Loose loose, Packed packed);

  MountList::iterator FindFirstSharing(std::string_view name, size_t* shared);
  MountList::iterator FindById(int32_t mountId);
  MountList::const_iterator FindMount(int32_t mountId, int index) const;
  void Remove(MountList::iterator record);
  void DestroyDecoder(PluginRecord& record);
  const PluginRecord* FindDecoderRecord(std::string_view name) const;

  std::vector<std::string> searchFolders_;
  std::vector<PluginRecord> decoders_;
  MountList mounts_;
};

using TheFileSystemManager = Global<FileSystemManager>;

constexpr const char kPluginFolder[] = "plugin";

// Start-up: registers the built-in VFA decoder, then loads the decoder plug-ins of the "plugin"
// folder. Answers the scan's count of plug-ins that failed to load.
int RegisterPackDecoders(FileSystemManager& manager);

// Start-up: mounts "PATCH.VFA"; only when that mounted, "PATCH2.VFA", "PATCH3.VFA", ... each in
// front of the last until one is missing; then "SCRIPT.VFA", named by its folder. The packs are
// then asked from the highest patch down to "SCRIPT.VFA". Answers the number of packs mounted.
// A pack that is there but refused stops the mounting: failure (CP932) names it and says why.
int MountStartupPacks(FileSystemManager& manager, std::string* failure = nullptr);

}  // namespace bw
