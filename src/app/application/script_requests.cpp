// What the system natives ask of the game application: its state by index, the user settings the
// scripts may set, the screen mode, the boxes and dialogs through the window thread, the desktop.
#include <cstdio>

#include "app/application/game_app.h"
#include "host/cp932.h"
#include "host/dialog/dialog_host.h"
#include "resource/files/file_utils.h"

namespace bw {

namespace {

// The application's identifier in registry form.
const char kAppIdentifier[] = "{6B2E51C7-3A9D-4F08-B1E4-2C7D90A6F35E}";

// GetAppState indexes.
enum AppStateIndex : uint32_t {
  kStateActive,
  kStateScreenMode,
  kStateDisplay,
  kStateSound,
  kStateKeyboard,
  kStateMouse,
  kStateJoystick,
  kStateThreaded,
  kStateMinimized,
  kStateModal,
  kStateMovie,
  kStateMenuOpen,
  kStateCanvasWidth,
  kStateCanvasHeight,
  kStateInputMode,
  kStateFullScreenMenu,
  kStatePointerInside,
  kStateDisplayFailure,
  kStateScriptFlagA,
  kStateScriptFlagB,
  kStateMaximiseAllowed,
  kStateScreenModeBits,
  kStateFrameRate,
};

// User settings group 0: the leading switches of the user configuration. The cursor's auto-hide
// (index 7) belongs to the settings sheet alone.
constexpr uint8_t UserConfig::*kSwitches[] = {
    &UserConfig::confirmWebPage,    &UserConfig::lastSettingsPage,
    &UserConfig::reserved2,         &UserConfig::fastEffects,
    &UserConfig::markChosenChoices, &UserConfig::skipReadOnly,
    &UserConfig::keepSkipAtChoices, &UserConfig::autoHideCursor,
    &UserConfig::reserved8,         &UserConfig::showEffects,
    &UserConfig::hideFrameAtBottom, &UserConfig::autoHideSystemButtons,
    &UserConfig::autoSaveAtChoices, &UserConfig::keepPreviousChoiceData,
    &UserConfig::reserved14,        &UserConfig::tooltipsOn,
};
constexpr uint32_t kRefusedSwitch = 7;
constexpr uint32_t kSettingRefused = 1;
constexpr uint32_t kLastGroup = 8;

constexpr int kScreenDepths[] = {16, 24, 32};
constexpr int32_t kModeWindow = 3;
// "画面モード変更設定に失敗"
const char kMonitorFailedUtf8[] = "画面モード変更設定に失敗";

uint64_t SettingKey(uint32_t group, uint32_t index) {
  return (uint64_t{group} << 32) | index;
}

}  // namespace

void GameApp::SetWindowFeature(uint32_t kind, uint32_t value) {
  if (kind == 0) {
    // Only a window can grow: the maximise box has no other meaning here than the menu item.
    if (config_.display.screenMode != kSavedScreenWindow) return;
    maximiseAllowed_ = value != 0 ? 1 : 0;
    (void)SetMenuItemEnabled(kMenuPermissionCount - 1, value != 0);  // a known item
    // The box follows the value even where the permission already held it: the way back to a
    // window may have taken the box while the permission stayed.
    if (record_.defaultScreenMode != kScreenWindowOnly) ShowMaximizeBox(value != 0);
  } else if (kind == 1) {
    screenModeBits_ = static_cast<uint8_t>(value & 3);
  }
}

uint32_t GameApp::GetAppState(uint32_t index) {
  switch (index) {
    case kStateActive:
      return Active() ? 1 : 0;
    case kStateScreenMode:
      return config_.display.screenMode;
    case kStateDisplay:
      return GetDisplayManager().GetDirectDraw() != nullptr ? 1 : 0;
    case kStateSound:
      return sound_ != nullptr ? 1 : 0;
    case kStateKeyboard:
      return GetInputManager().Keyboard() != nullptr ? 1 : 0;
    case kStateMouse:
      return GetInputManager().GetMouse() != nullptr ? 1 : 0;
    case kStateJoystick:
      return static_cast<uint32_t>(GetInputManager().JoystickCount());
    case kStateThreaded:
      return Threaded() ? 1 : 0;
    case kStateMinimized:
      return IsMinimized() ? 1 : 0;
    case kStateModal:
      return IsModal() ? 1 : 0;
    case kStateMovie:
      return movie_.ShowingState();
    case kStateMenuOpen:
      return MenuOpen() ? 1 : 0;
    case kStateCanvasWidth:
      return record_.canvasWidth;
    case kStateCanvasHeight:
      return record_.canvasHeight;
    case kStateInputMode:
      return InputMode();
    case kStateFullScreenMenu:
      return GetEngineInput().IsMenuShown() ? 1 : 0;
    case kStatePointerInside:
      return PointerInWindow() ? 1 : 0;
    case kStateDisplayFailure:
      return DisplayFailure();
    case kStateScriptFlagA:
      return scriptFlags_[0];
    case kStateScriptFlagB:
      return scriptFlags_[1];
    case kStateMaximiseAllowed:
      return maximiseAllowed_;
    case kStateScreenModeBits:
      return screenModeBits_;
    case kStateFrameRate:
      return static_cast<uint32_t>(pacing_.Clock().Rate());
    default:
      return 0;
  }
}

std::string GameApp::GetAppText(uint32_t kind) {
  switch (kind) {
    case 0:
      return kAppIdentifier;
    case 1:
      return info_.appName;
    case 2: {
      char text[48];
      std::snprintf(text, sizeof text, "%u.%02u.%u", unsigned{info_.majorVersion},
                    unsigned{info_.minorVersion}, unsigned{info_.revision});
      return text;
    }
    default:
      return {};
  }
}

int32_t GameApp::SetUserSetting(uint32_t group, uint32_t index, uint32_t value) {
  if (group > kLastGroup) return 0;
  if (group == 0 && index < std::size(kSwitches)) {
    if (index == kRefusedSwitch) return kSettingRefused;
    User().*kSwitches[index] = static_cast<uint8_t>(value);
    return 0;
  }
  scriptSettings_[SettingKey(group, index)] = value;
  return 0;
}

uint32_t GameApp::GetUserSetting(uint32_t group, uint32_t index) {
  if (group == 0 && index < std::size(kSwitches)) return User().*kSwitches[index];
  auto it = scriptSettings_.find(SettingKey(group, index));
  return it == scriptSettings_.end() ? 0 : it->second;
}

void GameApp::SetUserText(const std::string& cp932) {
  std::fill(std::begin(User().fontFace), std::end(User().fontFace), 0);
  std::copy_n(cp932.begin(), std::min(cp932.size(), sizeof User().fontFace - 1),
              std::begin(User().fontFace));
}

std::string GameApp::GetUserText() {
  const char* face = reinterpret_cast<const char*>(User().fontFace);
  return std::string(face, strnlen(face, sizeof User().fontFace));
}

int32_t GameApp::SetScreenMode(int32_t mode) {
  if (mode > kModeWindow || !MenuItemEnabled(kMenuPermissionCount - 1)) return kScreenModeRefused;
  if (!MainWindow().IsWindow()) return kScreenModeRefused;
  if (mode == kModeWindow) {
    return RequestScreenMode(kSavedScreenWindow, 0, kSwitchUnforced) == kSwitchDone
               ? kScreenModeDone
               : kScreenModeSwitchFailed;
  }
  const int depth = mode >= 0 ? kScreenDepths[mode] : 0;
  if (SelectMonitor(MainWindow().GetHandle(), depth) != 0) {
    EngineApp::ShowMessage(host::Cp932Literal(kMonitorFailedUtf8), kIconError);
    return kScreenModeNoMonitor;
  }
  // A failed switch leaves the saved mode as it was.
  return RequestScreenMode(kSavedScreenFull, depth, kSwitchUnforced) == kSwitchDone
             ? kScreenModeDone
             : kScreenModeSwitchFailed;
}

void GameApp::SetScriptFlag(uint32_t which, bool on) {
  if (which < 2) scriptFlags_[which] = on ? 1 : 0;
}

bool GameApp::SetClipboardText(std::string_view cp932) {
  return host::SetClipboardText(cp932);
}

void GameApp::SetupInputDialog(const std::string& prompt, const std::string& defaultText,
                               uint32_t flags, uint32_t limit, int32_t x, int32_t y) {
  systemDialogs_.DataInput().Setup(prompt, defaultText, flags, limit, x, y);
}

bool GameApp::RequestInputText(std::string& cp932) {
  DataInputRequest request;
  bool served = RequestDataInput(request);
  // A closed dialog keeps the last text.
  cp932 = systemDialogs_.DataInput().Result();
  return served && request.answer == 1;
}

uint32_t GameApp::RequestScriptBox(uint32_t kind, const std::string& title, const std::string& text,
                                   uint32_t icon) {
  // A kind outside the four shows no icon.
  const int iconKind = icon >= kIconWarning && icon <= kIconError ? static_cast<int>(icon) : 0;
  return RequestMessageBox(static_cast<int>(kind), text, iconKind, title);
}

uint32_t GameApp::RequestScriptDialog(uint32_t kind, const std::string& text) {
  return systemDialogs_.RequestMessage(static_cast<uint8_t>(kind), text.c_str(), nullptr, nullptr,
                                       0);
}

bool GameApp::OpenWithDesktop(const std::string& path, bool /*folder*/) {
  // xdg-open opens a folder in the file manager and a file with its program alike.
  return OpenFolderInExplorer(path.c_str()) == kOpenFolderDone;
}

void GameApp::SetKeyRepeats(bool on) {
  if (auto* keyboard = dynamic_cast<MessageKeyboard*>(GetInputManager().Keyboard()))
    keyboard->SetRepeatsEnabled(on);
}

bool GameApp::PointerInWindow() {
  const PointerPosition& p = GetEngineInput().Pointer();
  return p.x >= 0 && p.y >= 0;
}

bool GameApp::PointerAtLastPixel() {
  const PointerPosition& p = GetEngineInput().Pointer();
  return p.x == record_.canvasWidth - 1 && p.y == record_.canvasHeight - 1;
}

}  // namespace bw
