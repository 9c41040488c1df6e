// The file natives' state: the guest copies they hand out, the script's File objects that write
// through a temporary, and the per-host state that owns them.
#include <algorithm>
#include <cstring>
#include <string>

#include "common/atomic_file.h"
#include "host/file/file_system.h"
#include "host/host_path.h"
#include "natives/system_file_natives.h"
#include "resource/files/file_utils.h"
#include "resource/packs/file_system_manager.h"

namespace bw {

uint32_t GuestCopy::Of(GuestMemory& memory, std::string_view bytes) {
  if (address_ && bytes == bytes_) return address_;
  Free(memory);
  address_ =
      memory.AllocateCopy({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, true);
  if (address_) bytes_ = bytes;
  return address_;
}

void GuestCopy::Free(GuestMemory& memory) {
  memory.Free(address_);
  address_ = 0;
  bytes_.clear();
}

ScriptFile::~ScriptFile() {
  // File's destructor would only reach File::Close: the temporary is settled here.
  Close();
}

void ScriptFile::Close() {
  (void)CloseWritten();  // Close answers nothing; the natives that care call CloseWritten
}

uint32_t ScriptFile::CloseWritten() {
  std::string temporary = std::move(temporary_);
  temporary_.clear();
  File::Close();
  uint32_t result = kFileOk;
  if (!temporary.empty() && (writeFailed_ || !host::ReplaceWithFile(temporary, targetLinux_))) {
    // The file is told as not written: a copy left behind is only a stray temporary file.
    (void)host::RemoveFile(temporary);
    result = kFileNotWritten;
  }
  target_.clear();
  targetLinux_.clear();
  writeFailed_ = false;
  data_.Free(memory_);
  path_.Free(memory_);
  return result;
}

const char* ScriptFile::GetPath() const {
  return temporary_.empty() ? File::GetPath() : target_.c_str();
}

uint32_t ScriptFile::Create(const char* path, bool overwrite) {
  return OpenTemporary(path, true, overwrite);
}

uint32_t ScriptFile::OpenReadWrite(const char* path) {
  return OpenTemporary(path, false, false);
}

uint32_t ScriptFile::OpenTemporary(const char* path, bool create, bool overwrite) {
  Close();
  std::string engine, linuxPath;
  uint32_t code = ResolveDiskPath(path, engine, linuxPath);
  if (code != kFileOk) return code;
  std::optional<host::FileStatus> old = host::QueryFile(linuxPath);
  // A new file is refused over an old one; an old one must be a file to be opened.
  if (old && (old->IsFolder() || (create && !overwrite))) return kFileNotOpen;
  if (!create && !old) return kFileNotOpen;
  std::string temporary = CreateTemporaryBeside(linuxPath);
  if (temporary.empty()) return kFileNotOpen;
  std::string temporaryEngine;
  if (host::LinuxPathToEnginePath(temporary, temporaryEngine) != host::kPathOk ||
      (!create && !CopyFileKeepingTime(linuxPath, temporary, true))) {
    // The open already failed: a copy left behind is only a stray temporary file.
    (void)host::RemoveFile(temporary);
    return kFileNotOpen;
  }
  code = create ? File::Create(temporaryEngine.c_str(), true)
                : File::OpenReadWrite(temporaryEngine.c_str());
  if (code != kFileOk) {
    // The open already failed: a copy left behind is only a stray temporary file.
    (void)host::RemoveFile(temporary);
    return code;
  }
  target_ = std::move(engine);
  targetLinux_ = std::move(linuxPath);
  temporary_ = std::move(temporary);
  return kFileOk;
}

uint32_t ScriptFile::Write(const void* buffer, uint32_t count) {
  uint32_t written = File::Write(buffer, count);
  if (buffer && written != count) writeFailed_ = true;
  return written;
}

uint32_t ScriptFile::GuestData() {
  const void* data = GetData();
  if (!data) return 0;
  return data_.Of(memory_, {static_cast<const char*>(data), GetSize()});
}

uint32_t ScriptFile::GuestPath() {
  return path_.Of(memory_, GetPath());
}

FileNativeState::FileNativeState(ScriptHost& host)
    : memory_(host.GetMemory()), files_(host.Handles(), ScriptObjectType::kFile) {}

FileNativeState::~FileNativeState() {
  files_.ReleaseAll();
  pool_.reset();
  for (GuestCopy& c : slots_) c.Free(memory_);
  FreeAll(scanNames_);
  FreeAll(dropNames_);
  for (auto& [key, copy] : memberNames_) copy.Free(memory_);
}

void FileNativeState::FreeAll(std::map<int32_t, GuestCopy>& copies) {
  for (auto& [index, copy] : copies) copy.Free(memory_);
  copies.clear();
}

FileSlotPool& FileNativeState::Pool() {
  if (!pool_) pool_ = std::make_unique<FileSlotPool>();
  return *pool_;
}

uint32_t FileNativeState::SlotData(uint32_t slot) {
  FileSlotPool& pool = Pool();
  const void* data = pool.GetSlotData(slot);
  if (!data) return 0;
  if (slots_.size() < pool.GetSlotCount()) slots_.resize(pool.GetSlotCount());
  return slots_[slot].Of(memory_, {static_cast<const char*>(data), pool.GetSlotSize(slot)});
}

void FileNativeState::ForgetSlots(uint32_t first, uint32_t count) {
  if (count == 0) {
    for (GuestCopy& c : slots_) c.Free(memory_);
    slots_.clear();
    return;
  }
  uint64_t end = std::min<uint64_t>(uint64_t{first} + count, slots_.size());
  for (uint64_t i = first; i < end; ++i) slots_[i].Free(memory_);
}

uint32_t FileNativeState::ScanName(int32_t index) {
  const char* name = scan_.GetName(index);
  return name ? scanNames_[index].Of(memory_, name) : 0;
}

void FileNativeState::ClearScan() {
  scan_.Clear();
  FreeAll(scanNames_);
}

uint32_t FileNativeState::DroppedName(int32_t index, const std::string& name) {
  return dropNames_[index].Of(memory_, name);
}

void FileNativeState::ClearDrops() {
  FreeAll(dropNames_);
}

uint32_t FileNativeState::MemberName(const void* pack, uint32_t member, const char* name) {
  return memberNames_[{pack, member}].Of(memory_, name);
}

void FileNativeState::ForgetUnmountedPacks() {
  FileSystemManager* manager = TheFileSystemManager::Get();
  for (auto it = memberNames_.begin(); it != memberNames_.end();) {
    bool mounted = false;
    for (size_t i = 0; manager && !mounted && i < manager->GetMountCount(); ++i) {
      mounted = manager->GetMountArchive(kMountById, static_cast<int>(i)) == it->first.first;
    }
    if (mounted) {
      ++it;
    } else {
      it->second.Free(memory_);
      it = memberNames_.erase(it);
    }
  }
}

}  // namespace bw
