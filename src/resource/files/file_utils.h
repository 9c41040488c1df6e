// Small services on files for the script natives, the settings and the application: questions
// about one file, copying when newer, starting a program and waiting for it, opening a folder for
// the player, and the user's special folders. Engine paths are made absolute against the
// application folder; names that may live in packs are asked of the file-system manager.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "host/file/file_system.h"

namespace bw {

// A file time as FILETIME holds it: 100-ns ticks since 1601-01-01 00:00 UTC. Linux counts from
// 1970-01-01 UTC; the 369 years between are 11,644,473,600 s. Times before 1601 read as 0.
using FileTime = uint64_t;
constexpr uint64_t kFileTimeTicksPerSecond = 10000000;
constexpr int64_t kUnixEpochInFileTimeSeconds = 11644473600;
FileTime FileTimeFromUnix(const timespec& time);
// The last-write time of an entry.
FileTime LastWriteFileTime(const host::FileStatus& status);

// A time broken down in local time, as SYSTEMTIME gives it (month 1-12, day of week 0 Sunday).
struct FileTimeFields {
  uint16_t year = 0;
  uint8_t month = 0;
  uint8_t day = 0;
  uint8_t dayOfWeek = 0;
  uint8_t hour = 0;
  uint8_t minute = 0;
  uint8_t second = 0;
};
// False when the time has no local-time form.
[[nodiscard]] bool ToLocalFields(const timespec& time, FileTimeFields& fields);

// An engine path made absolute against the application folder and mapped to Linux; false when
// either step fails. enginePath (may be null) receives the absolute engine path.
[[nodiscard]] bool ResolveLinuxPath(std::string_view path, std::string* enginePath,
                                    std::string& linuxPath);

// GetFileSizeByName: the size of a loose file or pack member; -1 without a manager and for a
// name found nowhere; sizes past 2 GiB - 1 read as 2 GiB - 1.
constexpr int32_t kNoFileSize = -1;
int32_t GetFileSizeByName(const char* name);

// GetFileTimeByName: kFileFound, kFileTimeNoManager, or the manager's find code (a pack member
// answers kFileTimeInPack: it has no time). Each output may be null.
constexpr uint32_t kFileFound = 0;
constexpr uint32_t kFileTimeNoManager = 3;
constexpr uint32_t kFileTimeInPack = 0xFFFFFFFFu;
[[nodiscard]] uint32_t GetFileTimeByName(const char* name, uint16_t* year, uint16_t* month,
                                         uint16_t* day, uint16_t* hour, uint16_t* minute,
                                         uint16_t* second, uint16_t* dayOfWeek);

// True for a loose file, folder or pack member the manager finds; false without a manager.
bool FileExists(const char* name);

// IsFileNewer: each side is the path's last-write time (loose files and folders only) or, with
// no path, the given time.
constexpr int32_t kFirstIsNewer = 1;
constexpr int32_t kFirstIsNotNewer = 0;
constexpr int32_t kFirstIsMissing = -1;  // no path or no such file, or both first arguments null
int32_t IsFileNewer(const char* firstPath, const char* secondPath, const FileTime* firstTime,
                    const FileTime* secondTime);

// CopyFileIfNewer modes and results. A copy keeps the source's last-write time, so a second
// copy-if-newer finds nothing newer. The destination is replaced whole, never half written.
constexpr int32_t kCopyIfNewer = 0;  // and every mode other than the two below
constexpr int32_t kCopyAlways = 1;
constexpr int32_t kCopyUnlessExists = 2;
constexpr int32_t kCopyDone = 0;
constexpr int32_t kCopyNotNewer = 1;
constexpr int32_t kCopyRefused = 2;  // a path cannot be made, or mode 2 found the destination
constexpr int32_t kCopyFailed = -1;
[[nodiscard]] int32_t CopyFileIfNewer(const char* destination, const char* source, int32_t mode);
// CopyFileA: source onto destination (Linux paths), replacing it when overwrite is set.
[[nodiscard]] bool CopyFileKeepingTime(const std::string& source, const std::string& destination,
                                       bool overwrite);

// RunProcessAndWait wait modes and results. The command line must fit the 260-byte buffer with
// its terminator; a longer one is refused. Nothing here waits for input idleness: mode 2 returns
// at once. x and y went to the start-up record's position fields without the flag that makes
// them count, so they change nothing.
constexpr int32_t kWaitForExit = 1;
constexpr int32_t kWaitForInputIdle = 2;
constexpr uint32_t kRunDone = 0;
constexpr uint32_t kRunFailed = 1;
[[nodiscard]] uint32_t RunProcessAndWait(const char* commandLine, int32_t waitMode, int32_t x,
                                         int32_t y);

// Opens the folder in the desktop's file manager through xdg-open, without waiting; a file only
// for a game the player trusts.
constexpr uint32_t kOpenFolderDone = 0;
constexpr uint32_t kOpenFolderBadPath = 1;
constexpr uint32_t kOpenFolderFailed = 2;  // also: no xdg-open to be found
[[nodiscard]] uint32_t OpenFolderInExplorer(const char* folder);

// The special folders the engine asks for, and the XDG folders that stand for them: the desktop,
// documents and pictures from $XDG_CONFIG_HOME/user-dirs.dirs (else ~/Desktop, ~/Documents,
// ~/Pictures), application data from $XDG_DATA_HOME (else ~/.local/share). Common application
// data has no per-machine folder every user may write here, so it is not to be had.
constexpr int kCsidlDesktop = 0;
constexpr int kCsidlPersonal = 5;
constexpr int kCsidlAppData = 26;
constexpr int kCsidlCommonAppData = 35;
constexpr int kCsidlMyPictures = 39;
// The folder in drive form without a trailing '\', created when missing; false for another id,
// a folder that cannot be created, or one whose path has no engine form within 259 bytes.
[[nodiscard]] bool GetSpecialFolderPath(std::string& buffer, int csidl);

// This user's cache folder as a Linux path: $XDG_CACHE_HOME, else ~/.cache; empty without a home.
std::string UserCacheFolder();

}  // namespace bw
