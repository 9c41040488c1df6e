// Questions about the file system and small changes to it, on Linux paths (UTF-8): what kind of
// entry a path names and its size, times and owner's write bit; the names of a folder; the space
// of a disk; the process's own folders. The engine's path rules sit above; here a path is what
// the kernel takes.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace bw::host {

enum class EntryKind { kFile, kFolder, kOther };

struct FileStatus {
  EntryKind kind = EntryKind::kOther;
  uint64_t size = 0;
  timespec lastWrite{};
  timespec lastAccess{};
  bool ownerWritable = false;
  // Together they name the entry itself, whatever path reached it (a link back up a tree).
  uint64_t device = 0;
  uint64_t inode = 0;

  bool IsFolder() const { return kind == EntryKind::kFolder; }
  bool IsFile() const { return kind == EntryKind::kFile; }
};

// kFollow answers for what a symbolic link leads to; kOwn for the link itself.
enum class Links { kFollow, kOwn };

// Nothing when the path names no entry (or one that cannot be reached).
std::optional<FileStatus> QueryFile(const std::filesystem::path& path,
                                    Links links = Links::kFollow);
// The names in a folder, "." and ".." left out, in the file system's own order; nothing when the
// folder cannot be read.
std::optional<std::vector<std::string>> ListFolder(const std::filesystem::path& folder);
// A regular file this process may run.
bool IsExecutableFile(const std::filesystem::path& path);

// False when the path names no file or it cannot be removed.
[[nodiscard]] bool RemoveFile(const std::filesystem::path& path);
[[nodiscard]] bool SetFileTimes(const std::filesystem::path& path, const timespec& lastAccess,
                                const timespec& lastWrite);
// Gives the owner the right to write (the engine's "normal" attributes); false on failure.
[[nodiscard]] bool MakeOwnerWritable(const std::filesystem::path& path);
// Creates a new empty file from a template such as "/tmp/QZFXXXXXX.TMP": the six X before the
// last suffixLength bytes become a name no other file has. The created path, or nothing.
[[nodiscard]] std::optional<std::string> CreateUniqueFile(std::string pathTemplate,
                                                          int suffixLength);

// Folders and moves for the scripts. CreateFolder makes one folder whose parent exists; false
// when anything is already there. MovePath renames a file or folder and never replaces what is
// at to; a file moves to another file system by copy and removal. ReplaceWithFile flushes from
// to disk and renames it over to, so to holds the old bytes or the new, never a mixture.
[[nodiscard]] bool CreateFolder(const std::filesystem::path& path);
[[nodiscard]] bool MovePath(const std::filesystem::path& from, const std::filesystem::path& to);
[[nodiscard]] bool ReplaceWithFile(const std::filesystem::path& from,
                                   const std::filesystem::path& to);
// Changes the process's current folder.
[[nodiscard]] bool SetCurrentFolder(const std::filesystem::path& path);

struct DiskSpace {
  uint64_t freeBytes = 0;  // free to this user
  uint64_t totalBytes = 0;
};
std::optional<DiskSpace> QueryDiskSpace(const std::filesystem::path& path);

// The process's current folder; empty when it cannot be read (removed, or no longer reachable).
std::string CurrentFolder();
// The path of the running program; empty when it cannot be learnt.
std::string ProgramPath();
// This user's home: $HOME when absolute, else the password database's entry; empty without.
std::string HomeFolder();

}  // namespace bw::host
