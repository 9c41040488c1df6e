#include "app/sysinfo/system_info.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "common/sjis.h"
#include "host/backend.h"
#include "host/cp932.h"
#include "host/file/file_system.h"
#include "host/process/machine.h"

namespace bw {
namespace {

std::optional<std::string> ReadSmallFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Cp932(std::string_view utf8) {
  return host::Utf8ToCp932Lenient(utf8);
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.remove_suffix(1);
  return s;
}

// Undoes the \ooo escapes of /proc/self/mounts and of udev's \xhh in link names.
std::string Unescape(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size()) {
      std::string_view digits = s.substr(i + 1, 3);
      int base = 8;
      if (digits[0] == 'x') {
        digits = digits.substr(1);
        base = 16;
      }
      unsigned value = 0;
      auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
      if (ec == std::errc() && end == digits.data() + digits.size() && value < 256) {
        out.push_back(static_cast<char>(value));
        i += 3;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return out;
}

// A partition reports removable through its disk.
bool IsRemovableDevice(const std::string& source) {
  if (!source.starts_with("/dev/")) return false;
  std::error_code ec;
  std::filesystem::path device = std::filesystem::canonical(source, ec);
  if (ec) return false;
  std::filesystem::path block = "/sys/class/block" / device.filename();
  for (const auto& candidate : {block / "removable", block / ".." / "removable"}) {
    if (auto text = ReadSmallFile(candidate.string())) return Trim(*text) == "1";
  }
  return false;
}

// Volume labels from udev's by-label links, keyed by the device they point to.
std::map<std::string, std::string> VolumeLabels() {
  std::map<std::string, std::string> labels;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/disk/by-label", ec)) {
    std::error_code linkError;
    std::filesystem::path target = std::filesystem::canonical(entry.path(), linkError);
    if (!linkError) labels[target.string()] = Unescape(entry.path().filename().string());
  }
  return labels;
}

}  // namespace

MemoryStatus ParseMeminfo(std::string_view text) {
  std::map<std::string_view, uint64_t> kb;
  while (!text.empty()) {
    size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    uint64_t n = 0;
    if (std::from_chars(value.data(), value.data() + value.size(), n).ec == std::errc()) {
      kb[line.substr(0, colon)] = n;
    }
  }
  auto bytes = [&](std::string_view key) { return kb.count(key) ? kb[key] * 1024 : 0; };
  MemoryStatus m;
  m.totalPhys = bytes("MemTotal");
  m.availPhys = kb.count("MemAvailable") ? bytes("MemAvailable") : bytes("MemFree");
  m.totalPageFile = bytes("SwapTotal");
  m.availPageFile = bytes("SwapFree");
  return m;
}

SystemFacts GatherSystemFacts() {
  SystemFacts f;
  const host::MachineFacts machine = host::QueryMachine();
  if (!machine.systemName.empty()) {
    f.osName = std::string(sjis::Truncate(Cp932(machine.systemName), SystemFacts::kOsNameSize - 1));
    f.versionText = Cp932(machine.systemRelease);
  } else {
    f.osName = "Unknown";
    f.versionText = "Unknown";
  }
  f.language = "Unknown";
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      f.language = Cp932(value);
      break;
    }
  }
  if (auto meminfo = ReadSmallFile("/proc/meminfo")) f.memory = ParseMeminfo(*meminfo);
  if (host::Backend* backend = host::CurrentBackend()) {
    host::DesktopInfo desktop = backend->Desktop();
    f.screenWidth = static_cast<uint16_t>(std::clamp(desktop.width, 0, 0xFFFF));
    f.screenHeight = static_cast<uint16_t>(std::clamp(desktop.height, 0, 0xFFFF));
    f.bitsPerPixel = static_cast<uint32_t>(std::max(desktop.bitsPerPixel, 0));
  }
  f.processorCount = machine.processorCount;
  return f;
}

bool SystemInfo::GetDiskSpace(const std::string& rootPath, uint64_t* freeBytes,
                              uint64_t* totalBytes) {
  std::optional<host::DiskSpace> space = host::QueryDiskSpace(rootPath);
  if (!space) return false;
  *freeBytes = space->freeBytes;
  *totalBytes = space->totalBytes;
  return true;
}

std::vector<MountEntry> ParseMounts(std::string_view text) {
  std::vector<MountEntry> mounts;
  std::istringstream lines{std::string(text)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    MountEntry m;
    if (fields >> m.source >> m.mountPoint >> m.type) {
      m.source = Unescape(m.source);
      m.mountPoint = Unescape(m.mountPoint);
      mounts.push_back(std::move(m));
    }
  }
  return mounts;
}

std::optional<DriveType> ClassifyMount(const MountEntry& mount) {
  static constexpr std::string_view kPseudo[] = {
      "proc",       "sysfs",    "devtmpfs",  "devpts",      "tmpfs",
      "ramfs",      "cgroup",   "cgroup2",   "securityfs",  "debugfs",
      "tracefs",    "pstore",   "bpf",       "mqueue",      "hugetlbfs",
      "configfs",   "fusectl",  "autofs",    "binfmt_misc", "rpc_pipefs",
      "nsfs",       "efivarfs", "selinuxfs", "squashfs",    "fuse.gvfsd-fuse",
      "fuse.portal"};
  static constexpr std::string_view kRemote[] = {"nfs",       "nfs4",  "cifs",       "smb3",
                                                 "smbfs",     "ncpfs", "afs",        "ceph",
                                                 "glusterfs", "9p",    "fuse.sshfs", "fuse.rclone"};
  const std::string& type = mount.type;
  if (std::ranges::find(kPseudo, type) != std::end(kPseudo)) return std::nullopt;
  if (std::ranges::find(kRemote, type) != std::end(kRemote)) return DriveType::kRemote;
  if (type == "iso9660" || type == "udf") return DriveType::kCdRom;
  if (mount.source.starts_with("/dev/ram") || mount.source.starts_with("/dev/zram")) {
    return DriveType::kRamDisk;
  }
  return DriveType::kFixed;
}

std::vector<DriveFacts> ListDrives() {
  std::vector<DriveFacts> drives;
  auto text = ReadSmallFile("/proc/self/mounts");
  if (!text) return drives;
  // A later mount on the same point hides the earlier one.
  std::map<std::string, MountEntry> byPoint;
  for (MountEntry& m : ParseMounts(*text)) byPoint[m.mountPoint] = std::move(m);
  std::map<std::string, std::string> labels = VolumeLabels();
  for (const auto& [point, mount] : byPoint) {
    std::optional<DriveType> type = ClassifyMount(mount);
    if (!type) continue;
    DriveFacts d;
    d.root = Cp932(point);
    d.type = *type == DriveType::kFixed && IsRemovableDevice(mount.source) ? DriveType::kRemovable
                                                                           : *type;
    if (d.type == DriveType::kFixed) {
      d.spaceKnown = SystemInfo::GetDiskSpace(point, &d.freeBytes, &d.totalBytes);
    }
    std::error_code ec;
    std::filesystem::path device;
    if (mount.source.starts_with('/')) device = std::filesystem::canonical(mount.source, ec);
    if (!device.empty() && !ec) {
      auto label = labels.find(device.string());
      if (label != labels.end()) d.volumeName = Cp932(label->second);
    }
    drives.push_back(std::move(d));
  }
  return drives;
}

std::optional<std::vector<ProcessFacts>> ListProcesses() {
  std::optional<std::vector<std::string>> names = host::ListFolder("/proc");
  if (!names) return std::nullopt;
  std::vector<ProcessFacts> processes;
  for (std::string_view name : *names) {
    uint32_t pid = 0;
    auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (ec != std::errc() || end != name.data() + name.size() || pid == 0) continue;
    std::string base = "/proc/" + std::string(name);
    auto comm = ReadSmallFile(base + "/comm");
    auto commandLine = ReadSmallFile(base + "/cmdline");
    // Gone meanwhile, or a kernel thread (no command line): not a program the player runs.
    if (!comm || !commandLine || commandLine->empty()) continue;
    ProcessFacts p;
    p.pid = pid;
    p.name = Cp932(Trim(*comm));
    std::error_code linkError;
    std::filesystem::path exe = std::filesystem::read_symlink(base + "/exe", linkError);
    if (!linkError) p.path = Cp932(exe.string());
    processes.push_back(std::move(p));
  }
  std::sort(processes.begin(), processes.end(),
            [](const ProcessFacts& a, const ProcessFacts& b) { return a.pid < b.pid; });
  return processes;
}

}  // namespace bw
