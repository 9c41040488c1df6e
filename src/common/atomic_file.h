// Writes state the player cares about (settings, saves, logs of read text, variable files):
// the bytes go to a temporary file beside the target, are flushed to disk, and the temporary is
// renamed over the target. Any failure removes the temporary and leaves the old file untouched.
// A writer holds a lock on its temporary until the rename, so a temporary nobody holds is known
// to be left by a write that was killed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

namespace bw {

class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter();  // discards an uncommitted temporary
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Each step answers true when it succeeded; Error() then says why the last one failed.
  // Creates the temporary beside target. The target's folder must exist.
  [[nodiscard]] bool Open(const std::filesystem::path& target);
  [[nodiscard]] bool Write(const void* data, size_t size);
  // Flushes, closes and renames over the target.
  [[nodiscard]] bool Commit();
  std::error_code Error() const { return error_; }
  // Drops the temporary; the target stays as it was.
  void Discard();
  bool IsOpen() const { return fd_ >= 0; }

 private:
  bool Fail(std::error_code error);

  int fd_ = -1;
  std::filesystem::path target_;
  std::filesystem::path temp_;
  std::error_code failure_;  // first failure of Write; Commit refuses after one
  std::error_code error_;    // why the last step failed
};

// One-call form of the writer: true when the target holds bytes; else error (when given) says
// why.
[[nodiscard]] bool WriteFileAtomically(const std::filesystem::path& target,
                                       std::span<const uint8_t> bytes,
                                       std::error_code* error = nullptr);

// For writers that read and seek what they write before it replaces the target: a new empty
// temporary named as the writer's, beside target, with the target's permissions (or a new
// file's); its path, or empty when it cannot be made. A temporary left by a killed run is
// removed as the writer's are.
[[nodiscard]] std::string CreateTemporaryBeside(const std::filesystem::path& target);

// Test seam: called before each system call a writer makes on its way (create, mode, write,
// flush, rename, close, folder flush), so a test can end the process at each in turn. Null (the
// default) calls nothing.
using AtomicFileStepHook = void (*)();
void SetAtomicFileStepHook(AtomicFileStepHook hook);

// Removes from folder the temporaries of writes that were killed: regular files named
// "<target>.tmp.XXXXXX" that no writer holds, in this process or another. With a target name,
// only that target's (its case ignored, as the engine's names are). Answers how many went;
// a folder that cannot be read removes nothing.
size_t RemoveStaleTemporaries(const std::filesystem::path& folder,
                              std::string_view targetName = {});

}  // namespace bw
