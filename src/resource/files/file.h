// The one file object: a disk file opened by path, or a resource that the file-system manager
// resolved (a loose file or a pack member), held whole in memory or open as a stream.
#pragma once

#include <cstdint>
#include <string>

#include "common/gone_notice.h"
#include "host/file/host_file.h"
#include "platform/stream.h"

namespace bw {

// Results of the File operations; the load operations also pass the manager's codes on.
constexpr uint32_t kFileOk = 0;
constexpr uint32_t kFileNoManager = 1;
constexpr uint32_t kFileNotOpen = 3;  // also: the disk file could not be created or opened
constexpr uint32_t kFileBadPath = 5;
constexpr uint32_t kFileSeekFailed = 6;
constexpr uint32_t kFileOutOfMemory = 8;
constexpr uint32_t kFileSizeOrTempName = 10;
// Tell with nothing open.
constexpr uint32_t kFileNoPosition = 0xFFFFFFFFu;
// Longest text one WriteFormat writes.
constexpr size_t kWriteFormatMax = 511;

// A disk path resolved against the application folder: its engine form and the Linux file behind
// it. kFileBadPath when the engine form cannot be built, kFileNotOpen when it has no Linux form.
[[nodiscard]] uint32_t ResolveDiskPath(const char* path, std::string& enginePath,
                                       std::string& linuxPath);

class FileBase {
 public:
  virtual ~FileBase() = default;
  virtual void* GetData() = 0;
  virtual const char* GetPath() const = 0;
  virtual uint32_t GetSize() const = 0;
  virtual void Dispose() = 0;
  virtual void Close() = 0;
  [[nodiscard]] virtual uint32_t Load(const char* name) = 0;
  [[nodiscard]] virtual uint32_t LoadPackMember(int32_t pack, int32_t member, const char* name) = 0;
  [[nodiscard]] virtual uint32_t OpenStream(const char* name) = 0;
  virtual uint32_t Tell() = 0;
  virtual bool IsEof() = 0;
  [[nodiscard]] virtual uint32_t Seek(int32_t position) = 0;
  [[nodiscard]] virtual uint32_t Skip(int32_t distance) = 0;
  [[nodiscard]] virtual uint32_t SeekFromEnd(int32_t distance) = 0;
  [[nodiscard]] virtual uint32_t Read(void* buffer, uint32_t count) = 0;
  virtual void* DetachData() = 0;
  [[nodiscard]] virtual int32_t ReadLine(char* buffer, uint32_t size) = 0;
  [[nodiscard]] virtual uint32_t Create(const char* path, bool overwrite) = 0;
  [[nodiscard]] virtual uint32_t OpenReadWrite(const char* path) = 0;
  [[nodiscard]] virtual uint32_t Write(const void* buffer, uint32_t count) = 0;
  __attribute__((format(printf, 2, 3))) virtual uint32_t WriteFormat(const char* format, ...) = 0;
  [[nodiscard]] virtual uint32_t ExtractToTempFile(const char* name) = 0;
};

class File : public FileBase {
 public:
  File() = default;
  ~File() override {
    NotifyGone(this);
    Close();
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // The loaded content (null unless a resource is held in memory).
  void* GetData() override;
  const char* GetPath() const override { return path_.c_str(); }
  uint32_t GetSize() const override { return size_; }
  void Dispose() override { Close(); }
  // Releases the stream, closes the handle and deletes a temporary extract. Harmless twice.
  void Close() override;

  // Reads a resource whole into memory.
  [[nodiscard]] uint32_t Load(const char* name) override;
  // Reads member (or, with -1, name) of the pack mounted with id pack whole into memory.
  [[nodiscard]] uint32_t LoadPackMember(int32_t pack, int32_t member, const char* name) override;
  // Opens a resource as a stream.
  [[nodiscard]] uint32_t OpenStream(const char* name) override;

  // kFileNoPosition with nothing open.
  uint32_t Tell() override;
  bool IsEof() override;
  // With a stream, the stream's answer; else 3 with no handle, 6 when the move fails.
  [[nodiscard]] uint32_t Seek(int32_t position) override;
  [[nodiscard]] uint32_t Skip(int32_t distance) override;
  // To distance bytes before the end.
  [[nodiscard]] uint32_t SeekFromEnd(int32_t distance) override;
  [[nodiscard]] uint32_t Read(void* buffer, uint32_t count) override;
  // Hands the loaded block to the caller (free it with FreeGlobalMemory) and drops the stream.
  void* DetachData() override;

  // On content held in memory: one line up to CR LF or the end, without a Ctrl-Z that ends it.
  // A null buffer answers the size the line needs with its terminator (the position stays).
  // With a buffer, answers the bytes consumed (CR LF included) and moves past them; 0 when the
  // line does not fit, size is below 2, or nothing is held in memory.
  [[nodiscard]] int32_t ReadLine(char* buffer, uint32_t size) override;

  // Disk files: paths resolve against the application folder.
  [[nodiscard]] uint32_t Create(const char* path, bool overwrite) override;
  [[nodiscard]] uint32_t OpenReadWrite(const char* path) override;
  [[nodiscard]] uint32_t Write(const void* buffer, uint32_t count) override;
  // Writes at most kWriteFormatMax bytes of the formatted text, cut at a character boundary.
  __attribute__((format(printf, 2, 3))) uint32_t WriteFormat(const char* format, ...) override;

  // Loads the resource and copies it to a new "QZF" file in the temporary folder; the file then
  // holds that file's path and deletes it on Close.
  [[nodiscard]] uint32_t ExtractToTempFile(const char* name) override;

 private:
  [[nodiscard]] uint32_t OpenDisk(const char* path, host::HostFile::Access access);
  [[nodiscard]] uint32_t TakeLoaded(int code, void* block, uint32_t size, std::string path);

  std::string path_;
  uint32_t size_ = 0;
  Stream* stream_ = nullptr;
  host::HostFile file_;
  bool deleteOnClose_ = false;
};

}  // namespace bw
