#include "app/sysinfo/system_report.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/log/startup_log.h"
#include "app/sysinfo/report_text.h"
#include "app/sysinfo/system_info.h"
#include "host/cp932.h"
#include "host/host_path.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

using host::Cp932Literal;

// Every line of the text (UTF-8) ends in CR LF, and the lines that carry what was found come in
// this order; the fixed texts between them are left out.
void ExpectLinesInOrder(const std::string& text, std::initializer_list<const char*> expected) {
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    lines.push_back(text.substr(at, end - at));
  }
  EXPECT_EQ(at, text.size());
  EXPECT_EQ(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')), lines.size())
      << "every line ends in CR LF";
  auto next = lines.begin();
  for (const char* line : expected) {
    next = std::find(next, lines.end(), line);
    ASSERT_NE(next, lines.end()) << "missing or out of order: " << line;
  }
}

constexpr uint64_t kMB = 1 << 20;

TEST(SystemReportTest, LongFormWithEveryDevice) {
  ReportRecord record;
  record.title = Cp932Literal("星の庭"), record.extraLine1 = Cp932Literal("体験版");
  record.versionMajor = 1, record.versionMinor = 2, record.versionRevision = 11;
  record.longForm = true;
  SystemFacts system;
  system.osName = "Linux", system.versionText = "6.1.0", system.language = "ja_JP.UTF-8";
  system.memory = {8192 * kMB, 3000 * kMB, 2048 * kMB, 512 * kMB};
  system.screenWidth = 800, system.screenHeight = 600, system.bitsPerPixel = 24;
  system.processorCount = 8;
  system.directXVersion[0] = 4 << 16 | 9;
  system.directXVersion[1] = 0 << 16 | 904;
  const MonitorFacts first{{0, 0, 1920, 1080}, {}, 32, 60, {}, "Card", true};
  MonitorList monitors({first, {{1920, 0, 3200, 1024}, {}, 16, 1, {}, "Card", false}});

  ReportFacts f;
  f.processor = CpuRecord{.vendor = "GenuineIntel",
                          .family = 6,
                          .model = 8,
                          .stepping = 3,
                          .modelName = "Intel Celeron(Coppermine-128K)",
                          .brand = "Brand X"};
  CpuRecord& cpu = f.processor;
  cpu.l1Code = cpu.l1Data = 16, cpu.l2 = 128, cpu.clockMhz = 933.4f;
  cpu.mmx = cpu.sse = true;
  f.display.initialised = true;
  f.display.path = PresentPath::kDirectDraw;
  DirectDrawFacts& dd = f.display.directDraw.emplace();
  dd.driverName = "Soft Card", dd.driverFile = "soft.drv";
  dd.driverVersion[0] = 6, dd.driverVersion[1] = 14, dd.driverVersion[2] = 10;
  dd.driverVersion[3] = 2;
  dd.videoTotalBytes = 64 * kMB, dd.videoFreeBytes = 16 * kMB;
  dd.primary = SurfaceFacts{false, 0x10000200}, dd.backBuffer = SurfaceFacts{true, 0x800};
  dd.pixel = {16, 8, 5, 6, 5, 0xF800, 0x7E0, 0x1F};
  f.display.direct3D = Direct3DFacts{.deviceType = 2,
                                     .textureFormats = kTexture555 | kTexture565 | kTexture8888,
                                     .textureCaps = 0x122};
  f.sound.available = true;
  f.sound.devices = {
      {"Primary Sound Driver", "", false}, {"Speakers", "snd.sys"}, {"Headset", "usb.sys"}};
  f.input.joystick = JoystickFacts{2, "Pad", 2, 10};
  f.highResTimer = true;
  f.drives = {{"/", DriveType::kFixed, true, 1234567 * kMB, 2000000 * kMB, "root"},
              {"/media/usb", DriveType::kRemovable, false, 0, 0, ""},
              {"/odd", DriveType::kFixed, false, 0, 0, ""}};
  f.processes =
      std::vector<ProcessFacts>{{1, "init", "/sbin/init"}, {42, Cp932Literal("ゲーム"), ""}};

  const std::string report =
      host::Cp932ToUtf8Lenient(BuildSystemReport(record, SystemInfo(system), &monitors, f));
  EXPECT_EQ(report.find("Primary Sound Driver"), std::string::npos) << "the default device";
  ExpectLinesInOrder(
      report, {"「星の庭」Version 1.02b",
               "体験版",
               "OS              : Linux (6.1.0) ja_JP.UTF-8",
               "DirectX         : DirectX 9 (4.09.00.0904)",
               "CPU             : Intel Celeron(Coppermine-128K) [ Brand X ]",
               "メモリ          : 8192MB (3000MB 使用可能)",
               "ビデオメモリ    : 64.000 MB (48.000MB 使用中 / 16.000MB 使用可能)",
               "ページファイル  : 1536MB 使用中 / 512MB 使用可能",
               "ディスプレイ    : Card[1] 1920x1080 32bit 60Hz (Primary)",
               "                  Card[2] 1280x1024 16bit",
               "画面更新方法    : DirectDraw",
               "高分解能タイマー: 使用する",
               "ドライバ Version  : 6.14.10.2",
               "プライマリバッファ: VRAM / Caps[0x10000200]",
               "バックバッファ    : システムメモリ / Caps[0x00000800]",
               "ピクセル情報      : 16bit Type[0x0008] RGB565/0000f800:000007e0:0000001f",
               "動作モード            : T&L",
               "テクスチャサイズ制限  : 幅と高さは2の二乗 / 正方形のみ / 特定条件下で制限なし",
               "  16bpp   RGB    5,5,5",
               "  32bpp  ARGB  8,8,8,8",
               "             Vender GenuineIntel / Type 0 / Family 6 / Model 8 / Stepping 3",
               "CPUクロック: 933MHz (8 CPU)",
               "キャッシュ : L1 C-Cache 16KB / L1 D-Cache 16KB / L2 Cache 128KB",
               "             MMX ○ / SSE ○ / SSE2 × / SSE3 ×",
               "サウンドカード  : Speakers",
               "サウンドカード  : Headset",
               "※複数のサウンドデバイスが接続されています。",
               "ジョイスティック: No.2 / Pad / 2 軸 / 10 ボタン",
               " [/]   1,234,567 /   2,000,000 MB (root)",
               " [/media/usb] リムーバブルドライブ",
               " [/odd] 不明",
               "init",
               "ゲーム"});
}

TEST(ReportTextTest, EdgesOfTheSharedPieces) {
  EXPECT_EQ(VersionText(1, 2, 0x1F), "1.021f");
  EXPECT_EQ(ClockText(1999.6), "2.00GHz") << "rounded to whole MHz first";
  EXPECT_EQ(ClockText(999.4), "999MHz");
  CpuRecord trace;
  trace.traceCacheK = 12;
  trace.l1Code = 16;  // a trace cache takes the code cache's place
  trace.l3 = 2048;
  EXPECT_EQ(CacheText(trace), Cp932Literal("L1 T-Cache 12KμOPs / L3 Cache 2048KB"));
  EXPECT_EQ(DriveSpaceText(1000 * kMB, 6 * kMB - 1), "      1,000 /           5 MB")
      << "whole megabytes, rounded down";
}

TEST(SystemInfoTest, MemoryFromMeminfoAndDrivesFromTheMounts) {
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

  // Mounts are unescaped and sorted into kinds of drive.
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
  for (const MountEntry& mount : mounts) kinds.push_back(ClassifyMount(mount));
  EXPECT_EQ(std::tuple(kinds[0], kinds[1], kinds[3], kinds[4]),
            std::tuple(DriveType::kFixed, std::nullopt, DriveType::kRemote, DriveType::kCdRom));
  EXPECT_EQ(kinds[5], std::nullopt) << "memory file systems are no drives";
  EXPECT_EQ(kinds[6], DriveType::kRamDisk);
  EXPECT_EQ(kinds[7], DriveType::kFixed) << "a container's root";
}

class StartupLogTest : public testing::Test {
 protected:
  StartupLogTest() {
    EXPECT_EQ(host::LinuxPathToEnginePath(dir_.path().string(), folder_), host::kPathOk);
  }

  // Each reading of the clock is one second later than the one before.
  StartupLog::TimeSource Clock() {
    return [this] { return LocalTime{2026, 3, 7, 9, 5, seconds_++}; };
  }

  std::string ReadLog() const {
    return host::Cp932ToUtf8Lenient(test::ReadFile(dir_.path() / StartupLog::kFileName));
  }

  test::TempDir dir_;
  std::string folder_;
  int seconds_ = 58;
};

TEST_F(StartupLogTest, WritesEverySectionInStartUpOrder) {
  StartupLog log(Clock());
  ASSERT_EQ(log.Start(true, folder_), kStartupLogOk);

  log.WriteVersion({Cp932Literal("星の庭"), 1, 2, 11, "Trial", ""});

  SystemFacts system;
  system.osName = "Linux", system.versionText = "6.1.0", system.language = "C";
  system.memory = {4096 * kMB, 1024 * kMB, 2048 * kMB, 2000 * kMB};
  const MonitorFacts a{{0, 0, 1920, 1080}, {}, 32, 60, {}, {}, true};
  MonitorFacts b = a;
  b.bounds = {1920, 0, 3200, 1024};
  b.primary = false;
  log.WriteSystem(system, MonitorList({a, b}), "/opt/game/run", "Z:\\opt\\game\\");

  // No model name: the brand alone.
  CpuRecord cpu{.vendor = "AuthenticAMD", .family = 15, .modelName = {}, .brand = "Some Brand"};
  cpu.l1Data = 64, cpu.l2 = 512, cpu.clockMhz = 2400;
  cpu.fpu = cpu.sse2 = true;
  log.WriteProcessor(cpu, true, 2);
  log.WriteInput({.keyCount = 256, .mouseAxes = 3, .mouseButtons = 8, .joystick = {}});
  log.WriteSound({.devices = {{"Default", "", false}, {"Speakers", "snd.so"}}});

  DisplayFacts display;
  display.fullScreen = true, display.width = 640, display.height = 480, display.bitsPerPixel = 16;
  DirectDrawFacts& dd = display.directDraw.emplace();
  dd.driverName = "Soft", dd.driverVersion[0] = 1;
  dd.primary = SurfaceFacts{false, 0x200}, dd.backBuffer = SurfaceFacts{true, 0x800};
  dd.pixel = {32, 0x20, 8, 8, 8, 0xFF0000, 0xFF00, 0xFF};
  display.direct3D = Direct3DFacts{.deviceType = 1,
                                   .textureFormats = kTexture4444 | kTextureX888,
                                   .textureCaps = kTextureCapsPow2 | kTextureCapsSquareOnly};
  log.WriteDisplay(display, true, true);

  const std::vector<DriveFacts> drives{
      {"/", DriveType::kFixed, true, 5 * kMB, 1234567 * kMB, "root"},
      {"/mnt/cd", DriveType::kCdRom, false, 0, 0, ""},
      {"/mnt/odd", DriveType::kFixed, false, 0, 0, ""}};
  log.Finish(drives, std::vector<ProcessFacts>{{1, "init", "/sbin/init"}, {7, "worker", ""}});
  EXPECT_FALSE(log.IsOpen());

  const std::string text = ReadLog();
  EXPECT_EQ(text.find("Default"), std::string::npos) << "the default sound device is left out";
  ExpectLinesInOrder(text,
                     {"< Initialize Start...  2026/03/07  09:05:58 >",
                      "「星の庭」Version 1.02b",
                      "Memory   : 4096MB (Avail 1024MB)",
                      "Display  : 1920 x 1080  32bit 60Hz (Primary)",
                      "           1280 x 1024  32bit 60Hz",
                      "PageFile : 2048MB (Avail 2000MB)",
                      "Name    : Some Brand",
                      "CpuClock: 2.40GHz (2 CPU)",
                      "Support : FPU ○ / TSC × / CMOV ×",
                      "JoyStick: None",
                      "<Device 1>",
                      "Driver Name: Speakers",
                      "Display : 640 x 480  16bit",
                      "Pixel         : 32bit  Type[0x0020]  RGB 888 / 00ff0000:0000ff00:000000ff",
                      "16bpp  ARGB  4,4,4,4",
                      "32bpp   RGB    8,8,8",
                      "The square of 2",
                      "Only a square",
                      " [/]           5 /   1,234,567 MB",
                      " [/mnt/cd] CD/DVD-ROM Drive",
                      " [/mnt/odd] Unknown",
                      "/sbin/init",
                      "worker",
                      "< Initialize Done...  2026/03/07  09:05:59 >"});
}

TEST_F(StartupLogTest, UnwritableFolderAnswersTheFailureCode) {
  StartupLog log(Clock());
  EXPECT_EQ(log.Start(true, folder_ + "\\missing\\"), kStartupLogCreateFailed);
  EXPECT_EQ(log.Start(true, "C:\\Windows"), kStartupLogCreateFailed) << "no such drive";
  EXPECT_FALSE(log.IsOpen());
  log.Finish({}, std::nullopt);
  EXPECT_EQ(seconds_, 58) << "nothing was written";
}

}  // namespace
}  // namespace bw
