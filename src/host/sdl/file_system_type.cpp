#include "host/sdl/file_system_type.h"

#include <sys/vfs.h>

namespace bw::host {

namespace {

struct MagicName {
  uint64_t magic;
  const char* name;
};

// ext2, ext3 and ext4 share one magic; the newest name is the likeliest.
constexpr MagicName kMagicNames[] = {
    {0xEF53, "ext4"},         {0x9123683E, "btrfs"},   {0x58465342, "xfs"},
    {0x01021994, "tmpfs"},    {0x9660, "iso9660"},     {0x15013346, "udf"},
    {0x4D44, "vfat"},         {0x2011BAB0, "exfat"},   {0x5346544E, "ntfs"},
    {0x65735546, "fuse"},     {0x6969, "nfs"},         {0xFF534D42, "cifs"},
    {0xFE534D42, "smb2"},     {0x794C7630, "overlay"}, {0xF2F52010, "f2fs"},
    {0x52654973, "reiserfs"}, {0x2FC12FC1, "zfs"},     {0x73717368, "squashfs"},
    {0x858458F6, "ramfs"},    {0x01021997, "9p"},      {0x62656572, "sysfs"},
    {0x9FA0, "proc"},
};

}  // namespace

std::string FileSystemTypeName(uint64_t magic) {
  for (const MagicName& entry : kMagicNames) {
    if (entry.magic == magic) return entry.name;
  }
  return "unknown";
}

std::string FileSystemTypeOf(const std::string& folder) {
  struct statfs info;
  if (folder.empty() || statfs(folder.c_str(), &info) != 0) return std::string();
  return FileSystemTypeName(static_cast<uint64_t>(static_cast<uint32_t>(info.f_type)));
}

}  // namespace bw::host
