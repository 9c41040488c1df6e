#include "resource/files/file.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "common/sjis.h"
#include "host/file/file_system.h"
#include "host/host_path.h"
#include "host/trust.h"
#include "platform/app_paths.h"
#include "platform/memory_stream.h"
#include "resource/packs/file_system_manager.h"

namespace bw {
namespace {

constexpr uint8_t kCr = 13;
constexpr uint8_t kLf = 10;
constexpr uint8_t kCtrlZ = 26;

void DeleteEngineFile(const std::string& enginePath) {
  std::string linuxPath;
  if (host::EnginePathToLinuxPath(enginePath, linuxPath) == host::kPathOk) {
    // A file that stays is found on its next use; closing goes on.
    (void)host::RemoveFile(linuxPath);
  }
}

}  // namespace

void* File::GetData() {
  return stream_ ? stream_->GetBuffer(false) : nullptr;
}

void File::Close() {
  if (stream_) stream_->Release();
  stream_ = nullptr;
  file_.Close();
  if (deleteOnClose_) DeleteEngineFile(path_);
  deleteOnClose_ = false;
  path_.clear();
  size_ = 0;
}

uint32_t File::TakeLoaded(int code, void* block, uint32_t size, std::string path) {
  if (code != kFsOk) {
    Close();
    return static_cast<uint32_t>(code);
  }
  // An empty file still gets a block, so the content reads as an empty file.
  if (!block) block = AllocGlobalMemory(1);
  Ref<MemoryStream> stream = block ? MakeMemoryStream(block, size) : nullptr;
  if (!stream) {
    Close();
    return kFileOutOfMemory;
  }
  stream_ = stream.release();
  size_ = size;
  path_ = std::move(path);
  return kFileOk;
}

uint32_t File::Load(const char* name) {
  FileSystemManager* manager = TheFileSystemManager::Get();
  if (!manager) return kFileNoManager;
  Close();
  if (!name) return kFileBadPath;
  GlobalBlock block;
  std::string path;
  int code = manager->LoadFile(name, AllocGlobalBlock, FreeGlobalBlock, &block, &path);
  if (code != kFsOk) FreeGlobalBlock(&block);
  return TakeLoaded(code, block.pointer, block.size, std::move(path));
}

uint32_t File::LoadPackMember(int32_t pack, int32_t member, const char* name) {
  FileSystemManager* manager = TheFileSystemManager::Get();
  if (!manager) return kFileNoManager;
  Close();
  GlobalBlock block;
  std::string path;
  int code =
      manager->ReadPackMember(pack, member, name, AllocGlobalBlock, FreeGlobalBlock, &block, &path);
  if (code != kFsOk) FreeGlobalBlock(&block);
  return TakeLoaded(code, block.pointer, block.size, std::move(path));
}

uint32_t File::OpenStream(const char* name) {
  FileSystemManager* manager = TheFileSystemManager::Get();
  if (!manager) return kFileNoManager;
  Close();
  if (!name) return kFileBadPath;
  int code = kFsNotFound;
  stream_ = manager->OpenStream(name, &path_, &code);
  if (stream_) {
    size_ = stream_->GetSize();
  } else {
    path_.clear();
  }
  return static_cast<uint32_t>(code);
}

uint32_t File::Tell() {
  if (stream_) return stream_->Tell();
  if (!file_.IsOpen()) return kFileNoPosition;
  std::optional<uint64_t> position = file_.Tell();
  return position && *position < kFileNoPosition ? static_cast<uint32_t>(*position)
                                                 : kFileNoPosition;
}

bool File::IsEof() {
  if (stream_) return stream_->IsEof();
  if (!file_.IsOpen()) return false;
  std::optional<uint64_t> position = file_.Tell();
  std::optional<uint64_t> size = file_.Size64();
  return position && size && *position == *size;
}

uint32_t File::Seek(int32_t position) {
  if (stream_) return stream_->Seek(static_cast<uint32_t>(position));
  if (!file_.IsOpen()) return kFileNotOpen;
  return file_.Seek(position, host::HostFile::Origin::kBegin) ? kFileOk : kFileSeekFailed;
}

uint32_t File::Skip(int32_t distance) {
  if (stream_) return stream_->Skip(distance);
  if (!file_.IsOpen()) return kFileNotOpen;
  return file_.Seek(distance, host::HostFile::Origin::kCurrent) ? kFileOk : kFileSeekFailed;
}

uint32_t File::SeekFromEnd(int32_t distance) {
  if (stream_) return stream_->SeekFromEnd(static_cast<uint32_t>(distance));
  if (!file_.IsOpen()) return kFileNotOpen;
  return file_.Seek(-int64_t{distance}, host::HostFile::Origin::kEnd) ? kFileOk : kFileSeekFailed;
}

uint32_t File::Read(void* buffer, uint32_t count) {
  if (stream_) return stream_->Read(buffer, count);
  return file_.Read(buffer, count);
}

void* File::DetachData() {
  if (!stream_) return nullptr;
  void* block = stream_->GetBuffer(true);
  stream_->Release();
  stream_ = nullptr;
  return block;
}

int32_t File::ReadLine(char* buffer, uint32_t size) {
  const auto* block = static_cast<const uint8_t*>(GetData());
  if (!block) return 0;
  uint32_t position = stream_->Tell();
  uint32_t left = stream_->GetSize() - position;
  const uint8_t* p = block + position;
  uint32_t length = 0;  // up to the CR LF, which needs both its bytes inside the data
  while (length < left && !(p[length] == kCr && length + 1 < left && p[length + 1] == kLf)) {
    ++length;
  }
  bool endsWithCrLf = length < left;
  uint32_t text = length > 0 && p[length - 1] == kCtrlZ ? length - 1 : length;
  if (!buffer) return static_cast<int32_t>(text + 1);
  if (size < 2 || text > size - 1) return 0;
  std::memcpy(buffer, p, text);
  buffer[text] = '\0';
  uint32_t consumed = length + (endsWithCrLf ? 2 : 0);
  stream_->Seek(position + consumed);
  return static_cast<int32_t>(consumed);
}

uint32_t ResolveDiskPath(const char* path, std::string& enginePath, std::string& linuxPath) {
  if (!path || BuildAbsolutePath(enginePath, path) == kPathBuildFailed) return kFileBadPath;
  if (host::EnginePathToLinuxPath(enginePath, linuxPath) != host::kPathOk) return kFileNotOpen;
  // Refused as a folder the player may not write is.
  if (!host::GamePathAllowed(linuxPath, host::PathUse::kWrite)) return kFileNotOpen;
  return kFileOk;
}

uint32_t File::OpenDisk(const char* path, host::HostFile::Access access) {
  Close();
  std::string linuxPath;
  uint32_t code = ResolveDiskPath(path, path_, linuxPath);
  if (code == kFileOk && !file_.Open(linuxPath, access)) code = kFileNotOpen;
  if (code != kFileOk) path_.clear();
  return code;
}

uint32_t File::Create(const char* path, bool overwrite) {
  return OpenDisk(
      path, overwrite ? host::HostFile::Access::kCreateAlways : host::HostFile::Access::kCreateNew);
}

uint32_t File::OpenReadWrite(const char* path) {
  uint32_t code = OpenDisk(path, host::HostFile::Access::kReadWrite);
  if (code != kFileOk) return code;
  std::optional<uint32_t> size = file_.Size();
  if (!size) {
    Close();
    return kFileSizeOrTempName;
  }
  size_ = *size;
  return kFileOk;
}

uint32_t File::Write(const void* buffer, uint32_t count) {
  if (!file_.IsOpen() || !buffer) return 0;
  return file_.Write(buffer, count);
}

uint32_t File::WriteFormat(const char* format, ...) {
  if (!file_.IsOpen() || !format) return 0;
  char text[1024];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  if (n < 0) return 0;
  std::string_view formatted(text, std::min(static_cast<size_t>(n), sizeof(text) - 1));
  std::string_view line = sjis::Truncate(formatted, kWriteFormatMax);
  return file_.Write(line.data(), static_cast<uint32_t>(line.size()));
}

uint32_t File::ExtractToTempFile(const char* name) {
  uint32_t code = Load(name);
  if (code != kFileOk) return code;
  std::error_code error;
  std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  std::optional<std::string> created;
  if (!error) created = host::CreateUniqueFile((folder / "QZFXXXXXX.TMP").string(), 4);
  std::string enginePath;
  if (!created || host::LinuxPathToEnginePath(*created, enginePath) != host::kPathOk) {
    // The open already failed: a file left behind is only a stray temporary one.
    if (created) (void)host::RemoveFile(*created);
    Close();
    return kFileSizeOrTempName;
  }
  const std::string& tempName = *created;
  File copy;
  uint32_t written = 0;
  code = copy.Create(enginePath.c_str(), true);
  if (code == kFileOk) written = copy.Write(GetData(), size_);
  copy.Close();
  if (code != kFileOk || written != size_) {
    // The open already failed: a file left behind is only a stray temporary one.
    (void)host::RemoveFile(tempName);
    Close();
    return kFileNotOpen;
  }
  uint32_t size = size_;
  Close();
  path_ = enginePath;
  size_ = size;
  deleteOnClose_ = true;
  return kFileOk;
}

}  // namespace bw
