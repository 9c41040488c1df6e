#include "app/sysinfo/system_report.h"

#include <algorithm>
#include <filesystem>

#include "app/sysinfo/report_text.h"
#include "host/cp932.h"
#include "host/file/file_system.h"
#include "host/host_path.h"

namespace bw {
namespace {

constexpr double kBytesToMegabytes = 9.536743e-07;
// The width of "ディスプレイ    : " in CP932 bytes, to line up the monitors below the first.
constexpr int kDisplayIndent = 18;

class ReportWriter {
 public:
  ReportWriter(const ReportRecord& record, const SystemFacts& system, const MonitorList* monitors,
               const ReportFacts& facts)
      : record_(record), system_(system), monitors_(monitors), facts_(facts) {}

  std::string Build() {
    Title();
    System();
    if (record_.longForm) {
      LongForm();
    } else {
      ShortForm();
    }
    return std::move(text_);
  }

 private:
  static const char* OnOff(bool on) { return on ? "有効" : "無効"; }
  static const char* InUse(bool on) { return on ? "使用する" : "使用しない"; }
  // The words above as CP932 arguments.
  static std::string W(const char* utf8) { return host::Cp932Literal(utf8); }

  void Put(std::string_view utf8) { text_ += host::Cp932Literal(utf8); }
  void PutRaw(std::string_view cp932) { text_ += cp932; }

  void Title() {
    AppendFormat(
        &text_, "「%s」Version %s\r\n", record_.title.c_str(),
        VersionText(record_.versionMajor, record_.versionMinor, record_.versionRevision).c_str());
    for (const std::string* line : {&record_.extraLine1, &record_.extraLine2}) {
      if (!line->empty()) AppendFormat(&text_, "%s\r\n", line->c_str());
    }
  }

  void ProcessorLine() {
    const CpuRecord& cpu = facts_.processor;
    if (!cpu.brand.empty()) {
      AppendFormat(&text_, "%s [ %s ]\r\n", cpu.modelName.c_str(), cpu.brand.c_str());
    } else {
      AppendFormat(&text_, "%s\r\n", cpu.modelName.c_str());
    }
  }

  void System() {
    Put("\r\n------ システム ------\r\n");
    AppendFormat(&text_,
                 "OS              : %s (%s) %s\r\nDirectX         : ", system_.osName.c_str(),
                 system_.versionText.c_str(), system_.language.c_str());
    PutRaw(DirectXText(system_.directXVersion));
    Put("\r\n");
    if (record_.showProcessor) {
      Put("CPU             : ");
      ProcessorLine();
    }
    const MemoryStatus& m = system_.memory;
    AppendFormat(&text_, "メモリ          : %dMB (%dMB 使用可能)\r\n", Megabytes(m.totalPhys),
                 Megabytes(m.availPhys));
    if (const auto& dd = facts_.display.directDraw) {
      Put("ビデオメモリ    : ");
      const double total = static_cast<double>(dd->videoTotalBytes) * kBytesToMegabytes;
      if (dd->videoFreeBytes) {
        const double free = static_cast<double>(*dd->videoFreeBytes) * kBytesToMegabytes;
        AppendFormat(&text_, "%.3f MB (%.3fMB 使用中 / %.3fMB 使用可能)\r\n", total, total - free,
                     free);
      } else {
        AppendFormat(&text_, "%.3f MB\r\n", total);
      }
    }
    AppendFormat(&text_, "ページファイル  : %dMB 使用中 / %dMB 使用可能\r\n",
                 Megabytes(m.totalPageFile - std::min(m.totalPageFile, m.availPageFile)),
                 Megabytes(m.availPageFile));
    Display();
    const char* path = facts_.display.path == PresentPath::kDirectDraw ? "DirectDraw"
                       : facts_.display.path == PresentPath::kDirect3D ? "Direct3D"
                                                                       : "GDI";
    AppendFormat(&text_, "画面更新方法    : %s\r\n実行ファイル    : %s\r\n作業フォルダ    : ", path,
                 facts_.programPath.c_str());
    PutRaw(facts_.workingFolder);
    AppendFormat(&text_, "\r\n高分解能タイマー: %s\r\nフレームスキップ: %s\r\n\r\n",
                 W(InUse(facts_.highResTimer)).c_str(), W(OnOff(facts_.frameSkip)).c_str());
  }

  void Display() {
    Put("ディスプレイ    : ");
    if (monitors_ == nullptr || monitors_->GetCount() == 0) {
      AppendFormat(&text_, "%dx%d %ubit", system_.screenWidth, system_.screenHeight,
                   system_.bitsPerPixel);
      if (system_.refreshHz != 0) AppendFormat(&text_, " %dHz", system_.refreshHz);
      Put("\r\n");
      return;
    }
    bool first = true;
    for (const MonitorRecord& r : monitors_->Records()) {
      if (!first) AppendFormat(&text_, "%*s", kDisplayIndent, "");
      first = false;
      AppendFormat(&text_, "%s %dx%d %dbit", r.description.c_str(), r.bounds.Width(),
                   r.bounds.Height(), r.bitsPerPixel);
      if (r.refreshHz != 0) AppendFormat(&text_, " %dHz", r.refreshHz);
      if (r.primary) Put(" (Primary)");
      Put("\r\n");
    }
  }

  const SoundDeviceFacts* FirstSoundDevice() const {
    for (const SoundDeviceFacts& d : facts_.sound.devices) {
      if (d.hasGuid) return &d;
    }
    return nullptr;
  }

  void ShortForm() {
    const DisplayFacts& display = facts_.display;
    Put("------ デバイス ------\r\nビデオカード    : ");
    if (display.directDraw && !display.directDraw->driverName.empty()) {
      PutRaw(display.directDraw->driverName);
    } else {
      Put("不明");
    }
    Put("\r\nサウンドカード  : ");
    const SoundDeviceFacts* sound = FirstSoundDevice();
    if (sound != nullptr && !sound->description.empty()) {
      PutRaw(sound->description);
    } else {
      Put("不明");
    }
    Put("\r\nDirectDraw      : ");
    if (!display.initialised) {
      Put("未初期化\r\n");
    } else {
      AppendFormat(&text_, "%s\r\n", W(OnOff(display.directDraw.has_value())).c_str());
    }
    const struct {
      const char* label;
      bool on;
    } lines[] = {
        {"Direct3D        : %s\r\n", display.direct3D.has_value()},
        {"VSync待ち描画   : %s\r\n", display.vsync},
        {"DirectDraw Flip : %s\r\n", display.flip},
        {"DirectSound     : %s\r\n", facts_.sound.available},
        {"DirectInput     : %s\r\n", facts_.input.mode == 0},
        {"ジョイスティック: %s\r\n", facts_.input.joystick.has_value()},
        {"MMX命令         : %s\r\n", facts_.processor.mmx},
        {"SSE命令         : %s\r\n", facts_.processor.sse},
    };
    for (const auto& line : lines) {
      AppendFormat(&text_, line.label, W(OnOff(line.on)).c_str());
    }
  }

  void LongForm() {
    LongDisplay();
    Processor();
    Sound();
    Input();
    Drives();
    Processes();
  }

  void LongDisplay() {
    const DisplayFacts& display = facts_.display;
    if (display.fullScreen) {
      Put("------ フルスクリーンモード ------\r\nディスプレイ      : ");
      if (!display.deviceDescription.empty()) {
        AppendFormat(&text_, "%s\r\n                    ", display.deviceDescription.c_str());
      }
      AppendFormat(&text_, "%ux%u %ubit\r\n", display.width, display.height, display.bitsPerPixel);
    } else {
      Put("------ ウィンドウモード ------\r\n");
    }
    if (!display.directDraw) {
      Put("GDI描画\r\n\r\n");
      return;
    }
    const DirectDrawFacts& dd = *display.directDraw;
    Put("< DirectDraw >\r\nビデオカード      : ");
    PutRaw(dd.driverName);
    Put("\r\nドライバファイル  : ");
    PutRaw(dd.driverFile);
    AppendFormat(&text_,
                 "\r\nドライバ Version  : %u.%u.%u.%u\r\n動作モード        : ", dd.driverVersion[0],
                 dd.driverVersion[1], dd.driverVersion[2], dd.driverVersion[3]);
    Put(dd.hardware ? "HAL" : "HEL");
    AppendFormat(&text_, "\r\nハードウェア拡縮  : %s\r\n", W(OnOff(dd.hardwareStretch)).c_str());
    if (dd.primary && dd.backBuffer) {
      auto memory = [](const SurfaceFacts& s) {
        return host::Cp932Literal(s.systemMemory ? "システムメモリ" : "VRAM");
      };
      AppendFormat(&text_, "プライマリバッファ: %s / Caps[0x%08x]\r\n", memory(*dd.primary).c_str(),
                   dd.primary->caps);
      AppendFormat(&text_, "バックバッファ    : %s / Caps[0x%08x]\r\n",
                   memory(*dd.backBuffer).c_str(), dd.backBuffer->caps);
      const PixelFacts& p = dd.pixel;
      AppendFormat(&text_, "ピクセル情報      : %ubit Type[0x%04x] RGB%u%u%u/%08x:%08x:%08x\r\n",
                   p.bits, p.typeClass, p.redBits, p.greenBits, p.blueBits, p.redMask, p.greenMask,
                   p.blueMask);
    }
    AppendFormat(&text_, "VSync待ち描画     : %s\r\nDirectDraw Flip   : %s\r\n",
                 W(OnOff(display.vsync)).c_str(), W(OnOff(display.flip)).c_str());
    if (display.direct3D) {
      Direct3D(*display.direct3D);
    } else if (display.texture) {
      const PresentTextureFacts& t = *display.texture;
      AppendFormat(&text_,
                   "< Direct3D >\r\nテクスチャ        : %ux%u Type[0x%04x]\r\n"
                   "テクスチャ直接転送: %s\r\n",
                   t.width, t.height, t.typeClass, W(OnOff(t.directBlt)).c_str());
    }
  }

  void Direct3D(const Direct3DFacts& d3d) {
    static const char* const kDeviceTypes[] = {"HEL", "HAL", "T&L"};
    AppendFormat(&text_, "------ Direct3D ------\r\n動作モード            : %s\r\n",
                 d3d.deviceType < 3 ? kDeviceTypes[d3d.deviceType] : "Unknown");
    AppendFormat(&text_,
                 "αブレンディング      : %s\r\nグーローαブレンド    : %s\r\n"
                 "αテスト              : %s\r\n隠れサーフェスの除去  : %s\r\n",
                 W(OnOff(d3d.alphaBlending)).c_str(), W(OnOff(d3d.gouraudAlpha)).c_str(),
                 W(OnOff(d3d.alphaTest)).c_str(), W(OnOff(d3d.zBufferLessHsr)).c_str());
    AppendFormat(&text_,
                 "最大テクスチャステージ: %u\r\n最小テクスチャサイズ  : %u x %u\r\n"
                 "最大テクスチャサイズ  : %u x %u\r\n",
                 d3d.maxTextureStages, d3d.minTextureWidth, d3d.minTextureHeight,
                 d3d.maxTextureWidth, d3d.maxTextureHeight);
    AppendFormat(&text_,
                 "テクスチャ能力        : 0x%08x\r\nテクスチャブレンド能力: 0x%08x\r\n"
                 "転送元αブレンド能力  : 0x%08x\r\n転送先αブレンド能力  : 0x%08x\r\n"
                 "テクスチャサイズ制限  : ",
                 d3d.textureCaps, d3d.textureOpCaps, d3d.srcBlendCaps, d3d.destBlendCaps);
    const struct {
      uint32_t bit;
      const char* text;
    } limits[] = {{kTextureCapsPow2, "幅と高さは2の二乗"},
                  {kTextureCapsSquareOnly, "正方形のみ"},
                  {kTextureCapsNonPow2Conditional, "特定条件下で制限なし"}};
    bool first = true;
    for (const auto& limit : limits) {
      if ((d3d.textureCaps & limit.bit) == 0) continue;
      if (!first) Put(" / ");
      first = false;
      Put(limit.text);
    }
    Put("\r\n<サポートテクスチャフォーマット>\r\n");
    for (const TextureFormatLine& line : kTextureFormatLines) {
      if (d3d.textureFormats & line.bit) {
        Put("  ");
        Put(line.text);
      }
    }
  }

  void Processor() {
    const CpuRecord& cpu = facts_.processor;
    Put("------ CPU ------\r\nCPU情報    : ");
    ProcessorLine();
    AppendFormat(&text_,
                 "             Vender %s / Type %d / Family %d / Model %d / Stepping %d\r\n",
                 cpu.vendor, cpu.type, cpu.family, cpu.model, cpu.stepping);
    AppendFormat(&text_,
                 "CPUクロック: %s (%u CPU)\r\nキャッシュ : ", ClockText(cpu.clockMhz).c_str(),
                 system_.processorCount);
    PutRaw(CacheText(cpu));
    auto mark = [](bool b) { return FeatureMark(b); };
    AppendFormat(&text_, "\r\n拡張機能   : FPU %s / TSC %s / CMOV %s\r\n", mark(cpu.fpu).c_str(),
                 mark(cpu.tsc).c_str(), mark(cpu.cmov).c_str());
    AppendFormat(&text_, "             MMX %s / SSE %s / SSE2 %s / SSE3 %s\r\n",
                 mark(cpu.mmx).c_str(), mark(cpu.sse).c_str(), mark(cpu.sse2).c_str(),
                 mark(cpu.sse3).c_str());
    AppendFormat(&text_, "             MMX+ %s / 3DNow! %s / 3DNow!+ %s / HTT %s\r\n\r\n",
                 mark(cpu.mmxPlus).c_str(), mark(cpu.now3d).c_str(), mark(cpu.now3dPlus).c_str(),
                 mark(cpu.htt).c_str());
  }

  void Sound() {
    const SoundFacts& sound = facts_.sound;
    AppendFormat(&text_, "----- DirectSound -----\r\nDirectSound状態 : %s\r\n",
                 W(OnOff(sound.available)).c_str());
    int listed = 0;
    for (const SoundDeviceFacts& d : sound.devices) {
      if (!d.hasGuid) continue;
      ++listed;
      AppendFormat(&text_, "サウンドカード  : %s\r\nドライバファイル: %s\r\n",
                   d.description.c_str(), d.module.c_str());
    }
    if (listed > 1) Put("※複数のサウンドデバイスが接続されています。\r\n");
    if (listed == 0) Put("利用できません\r\n");
  }

  void Input() {
    const InputFacts& input = facts_.input;
    Put("\r\n----- 入力デバイス -----\r\n入力検知方式    : ");
    if (input.mode == 0) {
      AppendFormat(&text_, "DirectInput\r\nキーボード      : %u キー\r\n", input.keyCount);
      AppendFormat(&text_, "マウス          : %u 軸 / %u ボタン\r\n", input.mouseAxes,
                   input.mouseButtons);
    } else if (input.mode == 1) {
      Put("Windows API\r\n");
    } else {
      Put("Window Message\r\n");
    }
    std::string joystick;
    if (const auto& j = input.joystick) {
      AppendFormat(&joystick, "No.%u / %s / %u 軸 / %u ボタン", j->number, j->name.c_str(), j->axes,
                   j->buttons);
    } else {
      joystick = W(OnOff(false));
    }
    AppendFormat(&text_, "ジョイスティック: %s\r\n\r\n----- ドライブ情報 -----\r\n",
                 joystick.c_str());
  }

  void Drives() {
    for (const DriveFacts& d : facts_.drives) {
      AppendFormat(&text_, " [%s] ", d.root.c_str());
      switch (d.type) {
        case DriveType::kRemovable:
          Put("リムーバブルドライブ");
          break;
        case DriveType::kRemote:
          Put("ネットワークドライブ");
          break;
        case DriveType::kCdRom:
          Put("CD/DVD-ROM ドライブ");
          break;
        case DriveType::kRamDisk:
          Put("RAM-DISK ドライブ");
          break;
        case DriveType::kFixed:
          if (d.spaceKnown) {
            PutRaw(DriveSpaceText(d.freeBytes, d.totalBytes));
            if (!d.volumeName.empty()) AppendFormat(&text_, " (%s)", d.volumeName.c_str());
            break;
          }
          [[fallthrough]];
        case DriveType::kUnknown:
          Put("不明");
          break;
      }
      Put("\r\n");
    }
  }

  void Processes() {
    Put("\r\n----- プロセス -----\r\n");
    if (!facts_.processes) {
      Put("スナップショットの作成に失敗\r\n");
      return;
    }
    for (const ProcessFacts& p : *facts_.processes) AppendFormat(&text_, "%s\r\n", p.name.c_str());
  }

  const ReportRecord& record_;
  const SystemFacts& system_;
  const MonitorList* monitors_;
  const ReportFacts& facts_;
  std::string text_;
};

// A Linux path in the engine's drive form; a name without one is shown as near as CP932 allows.
std::string EngineFormPath(const std::string& linuxPath) {
  std::string path;
  if (host::LinuxPathToEnginePath(linuxPath, path) != host::kPathOk) {
    path = host::Utf8ToCp932Lenient(linuxPath);
  }
  return path;
}

}  // namespace

ReportFacts GatherReportFacts() {
  ReportFacts f;
  (void)IdentifyCpu();  // without CPUID the record stays empty, and says so
  f.processor = TheCpuRecord();

  if (std::string program = host::ProgramPath(); !program.empty())
    f.programPath = EngineFormPath(program);
  if (std::string folder = host::CurrentFolder(); !folder.empty())
    f.workingFolder = EngineFormPath(folder);
  f.drives = ListDrives();
  f.processes = ListProcesses();
  return f;
}

std::string BuildSystemReport(const ReportRecord& record, const SystemInfo& system,
                              const MonitorList* monitors, const ReportFacts& facts) {
  return ReportWriter(record, system.Facts(), monitors, facts).Build();
}

}  // namespace bw
