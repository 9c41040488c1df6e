// The file side of the system natives: the file-system manager, the script's File objects, the
// file-slot pool, folder scans, drops, file dialogs, processes and disk operations. Texts and
// bytes the natives hand out by address are guest copies that live as long as their source.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "natives/script_object_list.h"
#include "resource/file_slot_pool.h"
#include "resource/files/file.h"
#include "resource/files/file_list.h"
#include "script/script_host.h"

namespace bw {

// A guest copy of host bytes, made again only when the bytes change. Its owner frees it.
class GuestCopy {
 public:
  GuestCopy() = default;
  GuestCopy(GuestCopy&& other) noexcept
      : address_(std::exchange(other.address_, 0)), bytes_(std::move(other.bytes_)) {}
  GuestCopy& operator=(GuestCopy&&) = delete;

  // The address of bytes with a terminator after them; 0 when the arena is full.
  uint32_t Of(GuestMemory& memory, std::string_view bytes);
  void Free(GuestMemory& memory);

 private:
  uint32_t address_ = 0;
  std::string bytes_;
};

// A File of the script's. Its content is handed to the script as a guest copy, and a file it
// creates or opens for writing is written to a temporary beside the target, which replaces the
// target when the file is closed or released: a failed write leaves the old file as it was.
// CloseWritten: a write or the replacement of the target failed; the target keeps what it held.
constexpr uint32_t kFileNotWritten = kFileNotOpen;

class ScriptFile : public File {
 public:
  explicit ScriptFile(GuestMemory& memory) : memory_(memory) {}
  ~ScriptFile() override;

  void Close() override;
  // Close, answering kFileOk or kFileNotWritten.
  [[nodiscard]] uint32_t CloseWritten();
  // The target's path while a temporary stands in for it.
  const char* GetPath() const override;
  [[nodiscard]] uint32_t Create(const char* path, bool overwrite) override;
  [[nodiscard]] uint32_t OpenReadWrite(const char* path) override;
  [[nodiscard]] uint32_t Write(const void* buffer, uint32_t count) override;

  // The loaded content (with a terminator after it) and the path, as guest copies; 0 without.
  uint32_t GuestData();
  uint32_t GuestPath();

 private:
  [[nodiscard]] uint32_t OpenTemporary(const char* path, bool create, bool overwrite);

  GuestMemory& memory_;
  std::string target_;       // engine path of the file the temporary replaces
  std::string targetLinux_;  // and its Linux path
  std::string temporary_;    // Linux path; empty when writing goes nowhere else
  bool writeFailed_ = false;
  GuestCopy data_;
  GuestCopy path_;
};

class FileNativeState : public ScriptHostExtension {
 public:
  explicit FileNativeState(ScriptHost& host);
  ~FileNativeState() override;

  GuestMemory& Memory() { return memory_; }
  ScriptObjectList<ScriptFile>& Files() { return files_; }

  FileSlotPool& Pool();
  // A loaded slot's bytes as a guest copy, kept until the slot closes or reloads; 0 while busy.
  uint32_t SlotData(uint32_t slot);
  // The copies of slots that closed or start loading again go; all of them when count is 0.
  void ForgetSlots(uint32_t first, uint32_t count);

  FileList& Scan() { return scan_; }
  uint32_t ScanName(int32_t index);
  void ClearScan();

  uint32_t DroppedName(int32_t index, const std::string& name);
  void ClearDrops();

  // A pack member's name, kept while its pack stays mounted.
  uint32_t MemberName(const void* pack, uint32_t member, const char* name);
  void ForgetUnmountedPacks();

 private:
  void FreeAll(std::map<int32_t, GuestCopy>& copies);

  GuestMemory& memory_;
  ScriptObjectList<ScriptFile> files_;
  std::unique_ptr<FileSlotPool> pool_;
  std::vector<GuestCopy> slots_;
  FileList scan_;
  std::map<int32_t, GuestCopy> scanNames_;
  std::map<int32_t, GuestCopy> dropNames_;
  std::map<std::pair<const void*, uint32_t>, GuestCopy> memberNames_;
};

// The rows this part adds to the system family.
std::span<const NativeEntry> SystemFileNativeEntries();

}  // namespace bw
