// A folder listed for the scripts, recursively if asked: names relative to the scanned folder in
// CP932 (folders with a trailing '\'), with last-write time, size and attributes.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "resource/files/file_utils.h"

namespace bw {

// The entry's attribute byte.
constexpr uint8_t kEntryReadOnly = 1;
constexpr uint8_t kEntryHidden = 2;   // a name starting with '.'
constexpr uint8_t kEntrySystem = 4;   // never set here
constexpr uint8_t kEntryArchive = 8;  // every file; folders never
constexpr uint8_t kEntryFolder = 16;

// Folder modes of Scan.
constexpr int32_t kScanFilesOnly = 0;
constexpr int32_t kScanFoldersAndFiles = 1;
constexpr int32_t kScanFoldersOnly = 2;

struct FileListEntry {
  std::string name;
  FileTimeFields time;  // local time of the last write
  uint32_t size = 0;    // 0 for folders; past 4 GiB - 1 reads as 4 GiB - 1
  uint8_t attributes = 0;
};

// Whether a CP932 name matches a pattern as FindFirstFile matches them: letters compare without
// case; '*' takes any run; '?' takes one character but none at a '.' or the end; "*." and a
// trailing '.' take names without one; a '.' before '*' or '?' also matches the end of a name
// ("*.*" takes every name); a '*' before a '.' stops at the name's last dot. Only long names
// exist here, so "*.htm" does not take "a.html" as a short name would.
bool MatchesWildcard(std::string_view pattern, std::string_view name);

class FileList {
 public:
  // Lists the folder (the application folder when null; relative ones are made absolute against
  // it) into a fresh list, entries matching pattern ("*.*" when null). Within a folder, entries
  // come in the order of their names with letters upper-cased, as NTFS gives them; folders are
  // walked first, each listed (folder modes 1 and 2) and entered (recurse) before the next,
  // then the matching files follow (modes 0 and 1). Names without a CP932 form are left out, and
  // a folder is never entered again from inside itself. Answers the entry count; 0 when the
  // folder path cannot be made.
  [[nodiscard]] uint32_t Scan(const char* folder, const char* pattern, int32_t folderMode,
                              bool recurse);

  uint32_t GetCount() const { return static_cast<uint32_t>(entries_.size()); }
  // Null for an index out of range.
  const FileListEntry* GetEntry(int32_t index) const;
  const char* GetName(int32_t index) const;
  void Clear() { entries_.clear(); }

 private:
  struct Walk;
  void ScanFolder(Walk& walk, const std::string& linuxFolder, const std::string& relative);

  std::deque<FileListEntry> entries_;
};

}  // namespace bw
