// "USER.CFG": the engine settings, the display settings, the frame-pacing settings and the save
// folder the player chose. Four records, each a u16 length and that many bytes, copied over
// their blocks. Bytes that no field here names are kept and written back unchanged: the
// settings sheet reads them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <vector>

namespace bw {

// Input modes.
constexpr uint8_t kInputDirectInput = 0;
constexpr uint8_t kInputWindowsApi = 1;
constexpr uint8_t kInputWindowMessages = 2;

struct EngineSettings {
  static constexpr size_t kSize = 72;

  uint8_t threadedDriving = 0;            // 0: the frame loop runs on the main thread
  uint8_t cpuFeatures[4] = {1, 1, 1, 1};  // 0 clears a process-wide feature flag (kCpuSwitch*)
  uint8_t canvas = 1;                     // 0 render list; else a canvas layer (2: with flag 2)
  uint8_t kept6[3] = {};
  uint8_t kept9 = 1;
  uint8_t direct3DReport = 1;  // the Direct3D capability report goes into the log
  uint8_t zBuffer = 0;         // the Direct3D options of the display mode switch
  uint8_t tripleBuffer = 0;
  uint8_t minimizeOnDeactivate = 1;  // in full screen
  uint8_t logFile = 0;               // write "SYS_LOG.TXT"
  uint8_t logCpuClock = 0;
  uint8_t inputMode = kInputWindowMessages;
  uint8_t joysticks = 1;
  uint8_t soundGlobalFocus = 1;
  uint8_t graphicsFlag19 = 0;  // a process-wide graphics flag
  uint8_t soundSoftware = 1;
  uint8_t kept21 = 2;
  uint8_t soundDeviceFlag = 1;
  uint8_t graphicsFlag23 = 1;  // a process-wide graphics flag
  uint8_t suppressScreenSaver = 0;
  uint8_t suppressPowerSaving = 0;  // low power and power off
  uint8_t keepAwake = 0;
  uint8_t kept27[16] = {};
  uint32_t displayWord43 = 0;  // cleared at exit after start-up failures 9 and 12
  uint8_t kept47[16] = {};
  uint32_t displayWord63 = 0;  // likewise
  uint8_t kept67[5] = {};

  template <class Self, class V>
  static constexpr void Fields(Self& s, V& v) {
    v(s.threadedDriving), v(s.cpuFeatures), v(s.canvas), v(s.kept6), v(s.kept9),
        v(s.direct3DReport), v(s.zBuffer), v(s.tripleBuffer), v(s.minimizeOnDeactivate),
        v(s.logFile), v(s.logCpuClock), v(s.inputMode), v(s.joysticks), v(s.soundGlobalFocus),
        v(s.graphicsFlag19), v(s.soundSoftware), v(s.kept21), v(s.soundDeviceFlag),
        v(s.graphicsFlag23), v(s.suppressScreenSaver), v(s.suppressPowerSaving), v(s.keepAwake),
        v(s.kept27), v(s.displayWord43), v(s.kept47), v(s.displayWord63), v(s.kept67);
  }

  bool operator==(const EngineSettings&) const = default;
};

// Saved screen modes.
constexpr uint8_t kSavedScreenDefault = 0;
constexpr uint8_t kSavedScreenFull = 1;
constexpr uint8_t kSavedScreenWindow = 2;

struct DisplaySettings {
  static constexpr size_t kSize = 14;

  uint8_t screenMode = kSavedScreenDefault;
  uint8_t fullScreenDepth = 3;  // bits; 3 after a switch to window mode
  int32_t windowLeft = -1;      // -1: centred
  int32_t windowTop = -1;
  uint8_t restorePointer = 1;    // put the pointer back after a screen-mode switch
  uint16_t menuEdgeDelayMs = 0;  // rest on the top edge before the full-screen menu opens
  uint8_t pauseWhenInactive = 0;

  template <class Self, class V>
  static constexpr void Fields(Self& s, V& v) {
    v(s.screenMode), v(s.fullScreenDepth), v(s.windowLeft), v(s.windowTop), v(s.restorePointer),
        v(s.menuEdgeDelayMs), v(s.pauseWhenInactive);
  }

  bool operator==(const DisplaySettings&) const = default;
};

// Vertical-blank sync modes.
constexpr uint8_t kVSyncAuto = 0;    // wait when the display runs at 60 Hz
constexpr uint8_t kVSyncAlways = 2;  // any other value: never

struct FramePacingSettings {
  static constexpr size_t kSize = 17;

  uint8_t jit = 0;  // translate the scripts into machine code
  uint8_t vsyncMode = 1;
  uint8_t preciseTiming = 1;  // pace with the performance counter when no vertical-blank wait
  uint8_t vsyncIntervalMinus1 = 0;
  uint8_t systemCursor = 1;  // 0: hidden, and the pump drops mouse moves
  uint8_t frameSkipCounting = 0;
  uint8_t soundWarning = 1;  // say so when the sound device cannot be used
  uint8_t loadMovieLibraries = 1;
  uint8_t flag8 = 1;             // a process-wide flag
  uint8_t scriptSetting9 = 1;    // read and changed by the scripts
  uint8_t imageCacheBudget = 0;  // value - 1, times 4 when positive, is the cache budget
  uint16_t glyphCacheSize = 512;
  uint8_t scriptsMayForceVSync = 1;
  uint8_t scriptSetting14 = 1;  // read by the scripts
  uint8_t priorityLoweringOff = 0;
  uint8_t flag16 = 1;  // a process-wide flag

  template <class Self, class V>
  static constexpr void Fields(Self& s, V& v) {
    v(s.jit), v(s.vsyncMode), v(s.preciseTiming), v(s.vsyncIntervalMinus1), v(s.systemCursor),
        v(s.frameSkipCounting), v(s.soundWarning), v(s.loadMovieLibraries), v(s.flag8),
        v(s.scriptSetting9), v(s.imageCacheBudget), v(s.glyphCacheSize), v(s.scriptsMayForceVSync),
        v(s.scriptSetting14), v(s.priorityLoweringOff), v(s.flag16);
  }

  bool operator==(const FramePacingSettings&) const = default;
};

struct EngineConfig {
  EngineSettings engine;
  DisplaySettings display;
  FramePacingSettings pacing;
  std::optional<std::string> chosenSaveFolder;  // CP932 engine path; unset: none chosen

  bool operator==(const EngineConfig&) const = default;
};

// Copies the file's four records over config (a record shorter than its block leaves the rest
// of the block as it was). Answers a kConfig* code; a refused file leaves config as it was, and
// why says where it broke.
[[nodiscard]] int ReadEngineConfig(std::span<const uint8_t> file, EngineConfig& config,
                                   std::string* why = nullptr);

std::vector<uint8_t> EncodeEngineConfig(const EngineConfig& config);

// What is saved: the configured sync mode and precise timing in place of any override the
// scripts hold, and a centred window unless the player wants the position remembered.
EngineConfig EngineConfigForSave(const EngineConfig& live, uint8_t configuredVSyncMode,
                                 uint8_t configuredPreciseTiming, bool rememberWindowPosition);

// Replaces the file at path: true when written; a failure leaves the old file as it was and
// (error given) says why.
[[nodiscard]] bool SaveEngineConfig(const std::filesystem::path& path, const EngineConfig& config,
                                    std::error_code* error = nullptr);

}  // namespace bw
