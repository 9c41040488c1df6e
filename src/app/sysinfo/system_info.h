// What the machine is, gathered once at start: system name and version, language, memory,
// screen and processor count. On Linux the name and version come from uname, memory from
// /proc/meminfo, the screen from the host's desktop; the Windows version flags and the DirectX
// version have no Linux meaning and stay clear.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/sysinfo/machine_facts.h"

namespace bw {

struct MemoryStatus {
  uint64_t totalPhys = 0;
  uint64_t availPhys = 0;
  uint64_t totalPageFile = 0;
  uint64_t availPageFile = 0;
};

struct SystemFacts {
  static constexpr size_t kOsNameSize = 64;  // bytes with the terminator

  std::string osName;       // CP932
  std::string versionText;  // CP932
  std::string language;     // CP932
  MemoryStatus memory;
  // (first << 16 | second) and (third << 16 | fourth); 0 when unknown.
  uint32_t directXVersion[2] = {};
  uint16_t screenWidth = 0;
  uint16_t screenHeight = 0;
  uint32_t bitsPerPixel = 0;
  uint16_t refreshHz = 0;  // 0 when unknown or below 2
  uint32_t processorCount = 0;
  // The Windows version family.
  bool ntFamily = false;
  bool nt5OrLater = false;
  bool windows95 = false;
  bool nt4Sp3 = false;
  bool xpOrLater = false;
  bool vistaOrLater = false;
};

// The running machine's facts.
SystemFacts GatherSystemFacts();

// Memory from the text of /proc/meminfo; missing lines count as 0.
MemoryStatus ParseMeminfo(std::string_view text);

class SystemInfo {
 public:
  SystemInfo() : facts_(GatherSystemFacts()) {}
  explicit SystemInfo(SystemFacts facts) : facts_(std::move(facts)) {}
  virtual ~SystemInfo() = default;

  const SystemFacts& Facts() const { return facts_; }

  // Bytes free to the caller and in all on the file system holding rootPath (a Linux path);
  // false when it cannot be read.
  static bool GetDiskSpace(const std::string& rootPath, uint64_t* freeBytes, uint64_t* totalBytes);

 private:
  SystemFacts facts_;
};

// One line of /proc/self/mounts with its octal escapes undone.
struct MountEntry {
  std::string source;
  std::string mountPoint;
  std::string type;
};
std::vector<MountEntry> ParseMounts(std::string_view text);
// The drive kind of a mount; nothing for a pseudo file system that holds no user files.
std::optional<DriveType> ClassifyMount(const MountEntry& mount);

// The drives: real file systems by mount point, in path order, with their space and label.
std::vector<DriveFacts> ListDrives();
// The running programs in pid order (kernel threads left out); nothing when /proc cannot be
// read.
std::optional<std::vector<ProcessFacts>> ListProcesses();

}  // namespace bw
