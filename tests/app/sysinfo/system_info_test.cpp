#include "app/sysinfo/system_info.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "support/temp_dir.h"

namespace bw {
namespace {

TEST(SystemInfoTest, MemoryFromMeminfo) {
  MemoryStatus m = ParseMeminfo(
      "MemTotal:       16318412 kB\n"
      "MemFree:          512000 kB\n"
      "MemAvailable:    8159206 kB\n"
      "SwapTotal:        2097148 kB\n"
      "SwapFree:         1048574 kB\n"
      "HugePages_Total:       0\n");
  EXPECT_EQ(
      std::tuple(m.totalPhys, m.availPhys, m.totalPageFile, m.availPageFile),
      std::tuple(16318412ull * 1024, 8159206ull * 1024, 2097148ull * 1024, 1048574ull * 1024));

  m = ParseMeminfo("MemTotal: 1024 kB\nMemFree: 256 kB\nbroken line\nSwapTotal: x kB");
  EXPECT_EQ(m.availPhys, 256u * 1024) << "older kernels have no MemAvailable";
  EXPECT_EQ(m.totalPageFile, 0u);
  EXPECT_EQ(ParseMeminfo("").totalPhys, 0u);
}

TEST(DriveListTest, MountsAreUnescapedAndSortedIntoKinds) {
  std::vector<MountEntry> mounts = ParseMounts(
      "/dev/sda2 / ext4 rw,relatime 0 0\n"
      "proc /proc proc rw 0 0\n"
      "/dev/sdb1 /media/My\\040Stick vfat rw 0 0\n"
      "server:/export /mnt/nfs nfs4 rw 0 0\n"
      "/dev/sr0 /media/cd iso9660 ro 0 0\n"
      "tmpfs /run tmpfs rw 0 0\n"
      "/dev/zram0 /scratch ext2 rw 0 0\n"
      "overlay / overlay rw 0 0\n"
      "short line\n");
  ASSERT_EQ(mounts.size(), 8u);
  EXPECT_EQ(mounts[2].mountPoint, "/media/My Stick");
  std::vector<std::optional<DriveType>> kinds;
  for (const MountEntry& m : mounts) kinds.push_back(ClassifyMount(m));
  EXPECT_EQ(kinds[0], DriveType::kFixed);
  EXPECT_EQ(kinds[1], std::nullopt);
  EXPECT_EQ(kinds[3], DriveType::kRemote);
  EXPECT_EQ(kinds[4], DriveType::kCdRom);
  EXPECT_EQ(kinds[5], std::nullopt) << "memory file systems are no drives";
  EXPECT_EQ(kinds[6], DriveType::kRamDisk);
  EXPECT_EQ(kinds[7], DriveType::kFixed) << "a container's root";
}

}  // namespace
}  // namespace bw
