#include "app/log/startup_log.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "host/cp932.h"
#include "host/host_path.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

constexpr uint64_t kMB = 1 << 20;

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

  log.WriteVersion({host::Utf8ToCp932("星の庭").text, 1, 2, 11, "Trial", ""});

  const SystemFacts system{.osName = "Linux",
                           .versionText = "6.1.0",
                           .language = "C",
                           .memory = {4096 * kMB, 1024 * kMB, 2048 * kMB, 2000 * kMB}};
  const MonitorFacts a{{0, 0, 1920, 1080}, {}, 32, 60, {}, {}, true};
  MonitorFacts b = a;
  b.bounds = {1920, 0, 3200, 1024};
  b.primary = false;
  log.WriteSystem(system, MonitorList({a, b}), "/opt/game/run", "Z:\\opt\\game\\");

  // No model name: the brand alone.
  CpuRecord cpu{.vendor = "AuthenticAMD",
                .family = 15,
                .modelName = {},
                .brand = "Some Brand",
                .l1Data = 64,
                .l2 = 512,
                .clockMhz = 2400};
  cpu.fpu = cpu.sse2 = true;
  log.WriteProcessor(cpu, true, 2);
  log.WriteInput({.keyCount = 256, .mouseAxes = 3, .mouseButtons = 8, .joystick = {}});
  log.WriteSound({.devices = {{"Default", "", false}, {"Speakers", "snd.so"}}});

  const DisplayFacts display{
      .fullScreen = true,
      .deviceDescription = {},
      .width = 640,
      .height = 480,
      .bitsPerPixel = 16,
      .directDraw = DirectDrawFacts{.driverName = "Soft",
                                    .driverFile = {},
                                    .driverVersion = {1},
                                    .hardwareStretch = true,
                                    .videoFreeBytes = {},
                                    .primary = SurfaceFacts{false, 0x200},
                                    .backBuffer = SurfaceFacts{true, 0x800},
                                    .pixel = {32, 0x20, 8, 8, 8, 0xFF0000, 0xFF00, 0xFF}},
      .direct3D = Direct3DFacts{.deviceType = 1,
                                .zBufferBits = 16,
                                .textureFormats = kTexture4444 | kTextureX888,
                                .maxTextureStages = 2,
                                .minTextureWidth = 1,
                                .minTextureHeight = 1,
                                .maxTextureWidth = 256,
                                .maxTextureHeight = 256,
                                .gouraudAlpha = true,
                                .textureCaps = kTextureCapsPow2 | kTextureCapsSquareOnly},
      .texture = {}};
  log.WriteDisplay(display, true, true);

  const std::vector<DriveFacts> drives{
      {"/", DriveType::kFixed, true, 5 * kMB, 1234567 * kMB, "root"},
      {"/mnt/cd", DriveType::kCdRom, false, 0, 0, ""},
      {"/mnt/odd", DriveType::kFixed, false, 0, 0, ""}};
  log.Finish(drives, std::vector<ProcessFacts>{{1, "init", "/sbin/init"}, {7, "worker", ""}});
  EXPECT_FALSE(log.IsOpen());

  // The lines that carry what was found, in order; the fixed texts between them are left out.
  const std::string text = ReadLog();
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    lines.push_back(text.substr(at, end - at));
  }
  EXPECT_EQ(at, text.size());
  EXPECT_EQ(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')), lines.size())
      << "every line ends in CR LF";
  EXPECT_EQ(text.find("Default"), std::string::npos) << "the default sound device is left out";
  auto next = lines.begin();
  for (const char* line :
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
        "< Initialize Done...  2026/03/07  09:05:59 >"}) {
    next = std::find(next, lines.end(), line);
    ASSERT_NE(next, lines.end()) << "missing or out of order: " << line;
  }
}

TEST_F(StartupLogTest, UnwritableFolderAnswersTheFailureCode) {
  dir_.WriteFile("file", "not a folder");
  StartupLog log(Clock());
  EXPECT_EQ(log.Start(true, folder_ + "\\file"), kStartupLogCreateFailed);
  EXPECT_EQ(log.Start(true, folder_ + "\\missing\\"), kStartupLogCreateFailed);
  EXPECT_EQ(log.Start(true, "C:\\Windows"), kStartupLogCreateFailed) << "no such drive";
  EXPECT_FALSE(log.IsOpen());
  log.Finish({}, std::nullopt);
  EXPECT_EQ(seconds_, 58) << "nothing was written";
}

}  // namespace
}  // namespace bw
