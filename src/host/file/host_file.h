// A host file handle: what the engine reached through CreateFile, ReadFile, WriteFile,
// SetFilePointer and GetFileSize, as an owned POSIX descriptor opened from a Linux path.
// Sizes and positions are 64-bit inside; the engine's 32-bit views refuse files over 4 GiB - 1.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace bw::host {

class HostFile {
 public:
  enum class Access {
    kRead,          // open an existing file for reading (shared reads)
    kReadWrite,     // open an existing file for reading and writing
    kCreateAlways,  // create or truncate, for writing
    kCreateNew,     // create, failing when the file exists, for writing
  };
  enum class Origin { kBegin, kCurrent, kEnd };

  static constexpr uint64_t kMaxEngineSize = 0xFFFFFFFFu;

  HostFile() = default;
  ~HostFile() { Close(); }
  HostFile(HostFile&& other) noexcept;
  HostFile& operator=(HostFile&& other) noexcept;
  HostFile(const HostFile&) = delete;
  HostFile& operator=(const HostFile&) = delete;

  // Opens path, closing whatever was open first; false (and closed) on failure.
  [[nodiscard]] bool Open(const std::filesystem::path& path, Access access);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  // The path the handle was opened from, so a second reader can open the same file.
  const std::filesystem::path& Path() const { return path_; }

  // Bytes moved; short at the end of the file, 0 with nothing open or on failure.
  [[nodiscard]] uint32_t Read(void* buffer, uint32_t count);
  [[nodiscard]] uint32_t Write(const void* buffer, uint32_t count);

  // The new position, or nothing when the handle is closed or the target is before the start.
  [[nodiscard]] std::optional<uint64_t> Seek(int64_t distance, Origin origin);
  std::optional<uint64_t> Tell() { return Seek(0, Origin::kCurrent); }
  std::optional<uint64_t> Size64() const;
  // The engine's 32-bit size: nothing when the size cannot be read or exceeds 4 GiB - 1.
  std::optional<uint32_t> Size() const;

 private:
  int fd_ = -1;
  std::filesystem::path path_;
};

// Reads a whole regular file into out. False, with out emptied, for a file that cannot be opened
// or read, a folder, or one larger than maxSize.
[[nodiscard]] bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& out,
                                 uint64_t maxSize = HostFile::kMaxEngineSize);

}  // namespace bw::host
