#include "app/log/startup_log.h"

#include <gtest/gtest.h>

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

  EXPECT_EQ(ReadLog(),
            "< Initialize Start...  2026/03/07  09:05:58 >\r\n\r\n"
            "「星の庭」Version 1.02b\r\n"
            "Trial\r\n"
            "\r\n[ System ]\r\n"
            "OS       : Linux (6.1.0)\r\n"
            "Language : C\r\n"
            "Memory   : 4096MB (Avail 1024MB)\r\n"
            "Display  : 1920 x 1080  32bit 60Hz (Primary)\r\n"
            "           1280 x 1024  32bit 60Hz\r\n"
            "DirectX  : Unknown\r\n"
            "PageFile : 2048MB (Avail 2000MB)\r\n"
            "Module   : /opt/game/run\r\n"
            "Directory: Z:\\opt\\game\\\r\n\r\n\r\n"
            "[ CPU ]\r\n"
            "Name    : Some Brand\r\n"
            "Vender  : AuthenticAMD\r\n"
            "          Type 0 / Family 15 / Model 0 / Stepping 0\r\n"
            "CpuClock: 2.40GHz (2 CPU)\r\n"
            "Cache   : L1 D-Cache 64KB / L2 Cache 512KB\r\n"
            "Support : FPU ○ / TSC × / CMOV ×\r\n"
            "          MMX × / SSE × / SSE2 ○ / SSE3 × / MMX+ × / 3DNow! × / 3DNow!+ × / HTT ×"
            "\r\n\r\n\r\n"
            "[ DirectInput ]\r\n"
            "KeyBoard: 256 Key\r\n"
            "Mouse   : 3 Axes / 8 Button\r\n"
            "JoyStick: None\r\n\r\n\r\n"
            "[ DirectSound ]\r\n"
            "<Device 1>\r\n"
            "Driver Name: Speakers\r\n"
            "Driver File: snd.so\r\n"
            "\r\n\r\n"
            "[ FullScreen Mode ]\r\n"
            "Display : 640 x 480  16bit\r\n"
            "< DirectDraw >\r\n"
            "Driver Name   : Soft\r\n"
            "Driver File   : \r\n"
            "Driver Version: 1.0.0.0\r\n"
            "DirectDraw    : HEL\r\n"
            "HAL StretchBlt: Yes\r\n"
            "VideoMemory   : Unknown\r\n"
            "Primary       : VRAM[Yes]  Caps[0x00000200]\r\n"
            "Secondary     : VRAM[No]  Caps[0x00000800]\r\n"
            "Pixel         : 32bit  Type[0x0020]  RGB 888 / 00ff0000:0000ff00:000000ff\r\n"
            "< Direct3D >\r\n"
            "Device : HAL\r\n"
            "ZBuffer: 16bit\r\n"
            "\r\n<Support Texture>\r\n"
            "16bpp  ARGB  4,4,4,4\r\n"
            "32bpp   RGB    8,8,8\r\n"
            "\r\nMax Texture Stages: 2\r\n"
            "Min Texture Size  : 1 x 1\r\n"
            "Max Texture Size  : 256 x 256\r\n\r\n"
            "DrawPrimitiveVertex: No\r\n"
            "GouraudAlpha       : Yes\r\n"
            "AlphaTest          : No\r\n"
            "ZBufferLessHSR     : No\r\n"
            "\r\n<Caps>\r\n"
            "TextureCaps  : 0x00000022\r\n"
            "TextureOpCaps: 0x00000000\r\n"
            "SrcBlendCaps : 0x00000000\r\n"
            "DestBlendCaps: 0x00000000\r\n"
            "\r\n<Texture Limitation>\r\n"
            "The square of 2\r\n"
            "Only a square\r\n"
            "\r\n\r\n"
            "\r\n\r\n"
            "[ Drive Info ]\r\n"
            " [/]           5 /   1,234,567 MB\r\n"
            " [/mnt/cd] CD/DVD-ROM Drive\r\n"
            " [/mnt/odd] Unknown\r\n"
            "\r\n\r\n[ Application ]\r\n"
            "\r\n\r\n[ Process ]\r\n"
            "/sbin/init\r\n"
            "worker\r\n"
            "\r\n< Initialize Done...  2026/03/07  09:05:59 >\r\n");
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
