#include "app/log/startup_log.h"

#include "app/sysinfo/report_text.h"
#include "common/sjis.h"
#include "host/clock.h"
#include "host/host_path.h"

namespace bw {
namespace {

const char* YesNo(bool yes) {
  return yes ? "Yes" : "No";
}
// The stretching-blit and direct-blit answers keep their column width.
const char* YesNoPadded(bool yes) {
  return yes ? "Yes" : "No ";
}

}  // namespace

LocalTime LocalTimeNow() {
  const host::WallTime now = host::GetLocalTime();
  return LocalTime{now.year, now.month, now.day, now.hour, now.minute, now.second};
}

StartupLog::StartupLog(TimeSource now) : now_(std::move(now)) {}

std::string StartupLog::Folder(uint8_t saveFolderMode, const std::string& saveFolder,
                               const std::string& appFolder) {
  return saveFolderMode != 1 && !saveFolder.empty() ? saveFolder : appFolder;
}

int StartupLog::Start(bool logSwitch, const std::string& folder) {
  if (!logSwitch) return kStartupLogOk;
  std::string path = folder;
  const size_t last = sjis::Prev(path, path.size());
  if (!path.empty() && !sjis::IsSeparator(path[last])) path += '\\';
  path += kFileName;
  std::string linuxPath;
  if (host::EnginePathToLinuxPath(path, linuxPath) != host::kPathOk ||
      !file_.Open(linuxPath, host::HostFile::Access::kCreateAlways)) {
    return kStartupLogCreateFailed;
  }
  linuxPath_ = std::move(linuxPath);
  Write(TimeStamp("< Initialize Start...  %04d/%02d/%02d  %02d:%02d:%02d >\r\n\r\n"));
  return kStartupLogOk;
}

std::string StartupLog::TimeStamp(const char* utf8Format) {
  const LocalTime t = now_();
  std::string text;
  AppendFormat(&text, utf8Format, t.year, t.month, t.day, t.hour, t.minute, t.second);
  return text;
}

// Write failures are not reported: the log is a help for support, never a reason to stop.
void StartupLog::Write(const std::string& text) {
  if (!file_.IsOpen()) return;
  // A log that cannot be written never stops the start.
  (void)file_.Write(text.data(), static_cast<uint32_t>(text.size()));
}

void StartupLog::WriteVersion(const LogVersion& version) {
  if (!IsOpen()) return;
  std::string text;
  AppendFormat(&text, "「%s」Version %s\r\n", version.title.c_str(),
               VersionText(version.major, version.minor, version.revision).c_str());
  if (!version.notice.empty()) AppendFormat(&text, "%s\r\n", version.notice.c_str());
  if (!version.webAddress.empty()) AppendFormat(&text, "%s\r\n", version.webAddress.c_str());
  Write(text);
}

void StartupLog::WriteSystem(const SystemFacts& system, const MonitorList& monitors,
                             const std::string& modulePath, const std::string& appFolder) {
  if (!IsOpen()) return;
  std::string text;
  AppendFormat(&text, "\r\n[ System ]\r\nOS       : %s (%s)\r\nLanguage : %s\r\n",
               system.osName.c_str(), system.versionText.c_str(), system.language.c_str());
  AppendFormat(&text,
               "Memory   : %dMB (Avail %dMB)\r\nDisplay  : ", Megabytes(system.memory.totalPhys),
               Megabytes(system.memory.availPhys));
  if (monitors.GetCount() == 0) {
    AppendFormat(&text, "%d x %d  %ubit %dHz (Not MonitorInfo)\r\n", system.screenWidth,
                 system.screenHeight, system.bitsPerPixel, system.refreshHz);
  } else {
    bool first = true;
    for (const MonitorRecord& r : monitors.Records()) {
      if (!first) text += "\r\n           ";
      first = false;
      AppendFormat(&text, "%d x %d  %dbit %dHz", r.bounds.Width(), r.bounds.Height(),
                   r.bitsPerPixel, r.refreshHz);
      if (r.primary && monitors.GetCount() >= 2) text += " (Primary)";
    }
    text += "\r\n";
  }
  text += "DirectX  : ";
  text += DirectXText(system.directXVersion);
  AppendFormat(&text, "\r\nPageFile : %dMB (Avail %dMB)", Megabytes(system.memory.totalPageFile),
               Megabytes(system.memory.availPageFile));
  AppendFormat(&text, "\r\nModule   : %s\r\nDirectory: %s\r\n\r\n\r\n", modulePath.c_str(),
               appFolder.c_str());
  Write(text);
}

void StartupLog::WriteProcessor(const CpuRecord& cpu, bool clockSwitch, uint32_t processorCount) {
  if (!IsOpen()) return;
  std::string text = "[ CPU ]\r\nName    : ";
  if (!cpu.modelName.empty()) {
    AppendFormat(&text, "%s [ %s ]", cpu.modelName.c_str(), cpu.brand.c_str());
  } else {
    text += cpu.brand;
  }
  AppendFormat(&text,
               "\r\nVender  : %s\r\n          Type %d / Family %d / Model %d / Stepping %d\r\n",
               cpu.vendor, cpu.type, cpu.family, cpu.model, cpu.stepping);
  if (clockSwitch) {
    AppendFormat(&text, "CpuClock: %s (%u CPU)\r\n", ClockText(cpu.clockMhz).c_str(),
                 processorCount);
  }
  text += "Cache   : " + CacheText(cpu);
  AppendFormat(&text, "\r\nSupport : FPU %s / TSC %s / CMOV %s\r\n", FeatureMark(cpu.fpu).c_str(),
               FeatureMark(cpu.tsc).c_str(), FeatureMark(cpu.cmov).c_str());
  AppendFormat(&text,
               "          MMX %s / SSE %s / SSE2 %s / SSE3 %s / MMX+ %s / 3DNow! %s / 3DNow!+ %s"
               " / HTT %s\r\n\r\n\r\n",
               FeatureMark(cpu.mmx).c_str(), FeatureMark(cpu.sse).c_str(),
               FeatureMark(cpu.sse2).c_str(), FeatureMark(cpu.sse3).c_str(),
               FeatureMark(cpu.mmxPlus).c_str(), FeatureMark(cpu.now3d).c_str(),
               FeatureMark(cpu.now3dPlus).c_str(), FeatureMark(cpu.htt).c_str());
  Write(text);
}

void StartupLog::WriteInput(const InputFacts& input) {
  if (!IsOpen()) return;
  std::string text;
  if (input.mode == 0) {
    AppendFormat(&text, "[ DirectInput ]\r\nKeyBoard: %u Key\r\nMouse   : %u Axes / %u Button",
                 input.keyCount, input.mouseAxes, input.mouseButtons);
  } else if (input.mode == 1) {
    text += "[ Input Windows API ]";
  } else {
    text += "[ Input Window Message ]";
  }
  text += "\r\nJoyStick: ";
  if (const auto& j = input.joystick) {
    AppendFormat(&text, "No.%u / %s / %u Axes / %u Button", j->number, j->name.c_str(), j->axes,
                 j->buttons);
  } else {
    text += "None";
  }
  text += "\r\n\r\n\r\n";
  Write(text);
}

void StartupLog::WriteNote(const std::string& text) {
  std::string lines;
  for (char c : text) {
    if (c == '\n' && (lines.empty() || lines.back() != '\r')) lines += '\r';
    lines += c;
  }
  lines += "\r\n\r\n";
  if (IsOpen()) {
    Write(lines);
    return;
  }
  // After the start-up the note goes at the end of this start's log.
  host::HostFile later;
  if (linuxPath_.empty() || !later.Open(linuxPath_, host::HostFile::Access::kReadWrite) ||
      !later.Seek(0, host::HostFile::Origin::kEnd)) {
    return;
  }
  (void)later.Write(lines.data(), static_cast<uint32_t>(lines.size()));
}

void StartupLog::WriteSound(const SoundFacts& sound) {
  if (!IsOpen()) return;
  std::string text = "[ DirectSound ]\r\n";
  if (sound.devices.empty()) {
    text += "Unknown\r\n\r\n\r\n";
  } else {
    int number = 0;
    for (const SoundDeviceFacts& d : sound.devices) {
      if (!d.hasGuid) continue;  // the default device, listed again under its own name
      AppendFormat(&text, "<Device %d>\r\nDriver Name: %s\r\nDriver File: %s\r\n", ++number,
                   d.description.c_str(), d.module.c_str());
    }
    text += "\r\n\r\n";
  }
  Write(text);
}

void StartupLog::WriteDisplay(const DisplayFacts& display, bool direct3DReport,
                              bool zBufferOption) {
  if (!IsOpen()) return;
  std::string text;
  if (display.fullScreen) {
    text += "[ FullScreen Mode ]\r\nDisplay : ";
    if (!display.deviceDescription.empty()) {
      AppendFormat(&text, "%s\r\n          ", display.deviceDescription.c_str());
    }
    AppendFormat(&text, "%u x %u  %ubit\r\n", display.width, display.height, display.bitsPerPixel);
  } else {
    text += "[ Window Mode ]\r\n";
  }
  if (!display.directDraw) {
    text += "< GDI >\r\n\r\n\r\n";
    Write(text);
    return;
  }
  const DirectDrawFacts& dd = *display.directDraw;
  AppendFormat(&text, "< DirectDraw >\r\nDriver Name   : %s\r\nDriver File   : %s\r\n",
               dd.driverName.c_str(), dd.driverFile.c_str());
  AppendFormat(&text, "Driver Version: %u.%u.%u.%u\r\nDirectDraw    : %s\r\nHAL StretchBlt: %s\r\n",
               dd.driverVersion[0], dd.driverVersion[1], dd.driverVersion[2], dd.driverVersion[3],
               dd.hardware ? "HAL" : "HEL", YesNoPadded(dd.hardwareStretch));
  if (dd.videoTotalBytes == 0) {
    text += "VideoMemory   : Unknown\r\n";
  } else {
    constexpr double kMegabyte = 1.0 / (1 << 20);
    AppendFormat(&text, "VideoMemory   : %.3f MB (free: %.3f MB)\r\n",
                 static_cast<double>(dd.videoTotalBytes) * kMegabyte,
                 static_cast<double>(dd.videoFreeBytes.value_or(0)) * kMegabyte);
  }
  if (dd.primary && dd.backBuffer) {
    AppendFormat(&text, "Primary       : VRAM[%s]  Caps[0x%08x]\r\n",
                 YesNo(!dd.primary->systemMemory), dd.primary->caps);
    AppendFormat(&text, "Secondary     : VRAM[%s]  Caps[0x%08x]\r\n",
                 YesNo(!dd.backBuffer->systemMemory), dd.backBuffer->caps);
    const PixelFacts& p = dd.pixel;
    AppendFormat(&text, "Pixel         : %ubit  Type[0x%04x]  RGB %u%u%u / %08x:%08x:%08x\r\n",
                 p.bits, p.typeClass, p.redBits, p.greenBits, p.blueBits, p.redMask, p.greenMask,
                 p.blueMask);
  }
  if (direct3DReport && display.direct3D) {
    AppendDirect3D(&text, *display.direct3D, zBufferOption);
  } else if (display.texture) {
    const PresentTextureFacts& t = *display.texture;
    AppendFormat(&text,
                 "< Direct3D >\r\nTexture       : %u x %u  Type[0x%04x]\r\nDirectBlt     : %s\r\n",
                 t.width, t.height, t.typeClass, YesNoPadded(t.directBlt));
  }
  text += "\r\n\r\n";
  Write(text);
}

void StartupLog::AppendDirect3D(std::string* text, const Direct3DFacts& d3d, bool zBufferOption) {
  static const char* const kDeviceTypes[] = {"HEL", "HAL", "T&L"};
  AppendFormat(text, "< Direct3D >\r\nDevice : %s\r\n",
               d3d.deviceType < 3 ? kDeviceTypes[d3d.deviceType] : "Unknown");
  if (zBufferOption) AppendFormat(text, "ZBuffer: %ubit\r\n", d3d.zBufferBits);
  *text += "\r\n<Support Texture>\r\n";
  for (const TextureFormatLine& line : kTextureFormatLines) {
    if (d3d.textureFormats & line.bit) *text += line.text;
  }
  AppendFormat(text,
               "\r\nMax Texture Stages: %u\r\nMin Texture Size  : %u x %u\r\n"
               "Max Texture Size  : %u x %u\r\n\r\n",
               d3d.maxTextureStages, d3d.minTextureWidth, d3d.minTextureHeight, d3d.maxTextureWidth,
               d3d.maxTextureHeight);
  AppendFormat(text,
               "DrawPrimitiveVertex: %s\r\nGouraudAlpha       : %s\r\nAlphaTest          : %s\r\n"
               "ZBufferLessHSR     : %s\r\n",
               YesNo(d3d.drawPrimitiveVertex), YesNo(d3d.gouraudAlpha), YesNo(d3d.alphaTest),
               YesNo(d3d.zBufferLessHsr));
  AppendFormat(text,
               "\r\n<Caps>\r\nTextureCaps  : 0x%08x\r\nTextureOpCaps: 0x%08x\r\n"
               "SrcBlendCaps : 0x%08x\r\nDestBlendCaps: 0x%08x\r\n",
               d3d.textureCaps, d3d.textureOpCaps, d3d.srcBlendCaps, d3d.destBlendCaps);
  *text += "\r\n<Texture Limitation>\r\n";
  if (d3d.textureCaps & kTextureCapsPow2) *text += "The square of 2\r\n";
  if (d3d.textureCaps & kTextureCapsNonPow2Conditional) *text += "No Limitation\r\n";
  if (d3d.textureCaps & kTextureCapsSquareOnly) *text += "Only a square\r\n";
  *text += "\r\n\r\n";
}

void StartupLog::Finish(const std::vector<DriveFacts>& drives,
                        const std::optional<std::vector<ProcessFacts>>& processes) {
  if (!IsOpen()) return;
  std::string text = "[ Drive Info ]\r\n";
  for (const DriveFacts& d : drives) {
    AppendFormat(&text, " [%s] ", d.root.c_str());
    switch (d.type) {
      case DriveType::kRemovable:
        text += "Removable Drive\r\n";
        break;
      case DriveType::kRemote:
        text += "Network Drive\r\n";
        break;
      case DriveType::kCdRom:
        text += "CD/DVD-ROM Drive\r\n";
        break;
      case DriveType::kRamDisk:
        text += "RAM-Disk Drive\r\n";
        break;
      case DriveType::kFixed:
        if (d.spaceKnown) {
          text += DriveSpaceText(d.freeBytes, d.totalBytes) + "\r\n";
          break;
        }
        [[fallthrough]];
      case DriveType::kUnknown:
        text += "Unknown\r\n";
        break;
    }
  }
  // The host keeps no list of other programs' windows: the section stays empty.
  text += "\r\n\r\n[ Application ]\r\n";
  text += "\r\n\r\n[ Process ]\r\n";
  if (!processes) {
    text += "Error\r\n";
  } else {
    for (const ProcessFacts& p : *processes) {
      AppendFormat(&text, "%s\r\n", (p.path.empty() ? p.name : p.path).c_str());
    }
  }
  text += TimeStamp("\r\n< Initialize Done...  %04d/%02d/%02d  %02d:%02d:%02d >\r\n");
  Write(text);
  file_.Close();
}

}  // namespace bw
