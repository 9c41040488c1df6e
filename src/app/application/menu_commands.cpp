// The menu commands of the main window and the requests other threads send through them.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>

#include "app/application/game_app.h"
#include "app/dialogs/accelerators.h"
#include "host/cp932.h"
#include "host/input/key_state.h"
#include "host/message_queue.h"
#include "platform/app_paths.h"
#include "sound/direct_sound_device.h"
#include "sound/sound_buffer.h"

namespace bw {

namespace {

constexpr uint8_t kDefaultChannels = 2;
constexpr uint32_t kDefaultRateCode = 44;
constexpr uint16_t kDefaultBits = 16;

}  // namespace

int GameApp::OnCreate(WindowMessage& record) {
  const host::HWND window = record.window->GetHandle();
  menu_.Build(window);
  if (record_.acceleratorsId != 0) LoadAccelerators(MainAccelerators(), window, menu_.Menu());
  return kHandled;
}

int GameApp::OnMenuCommand(WindowMessage& record) {
  menu_.Command(host::LoWord(record.wParam), record.lParam);
  return kHandled;
}

void GameApp::ServeRequest(int command, host::LPARAM record) {
  if (command == kCmdSoundFormat) {
    ServeSoundFormat(reinterpret_cast<SoundFormatRequest*>(record));
  } else {
    systemDialogs_.Serve(command, record);
  }
}

void GameApp::CloseMainWindow() {
  MainWindow().SendMessage(host::WM_CLOSE, 0, 0);
}

void GameApp::ToggleScreenMode() {
  DisplaySettings& saved = config_.display;
  const uint8_t oldMode = saved.screenMode;
  const uint8_t oldDepth = saved.fullScreenDepth;
  const int mode = oldMode == kSavedScreenWindow ? kSavedScreenFull : kSavedScreenWindow;
  int depth = oldDepth;
  bool monitorFailed = false;
  {
    ScopedLock hold(FrameLock());
    if (mode == kSavedScreenFull) {
      if (SelectMonitor(MainWindow().GetHandle(), 0) != 0) {
        monitorFailed = true;
      } else {
        depth = GetDisplayManager().ChosenDepth();
      }
    }
    if (!monitorFailed && SwitchScreenMode(mode, depth, kSwitchForced) != kSwitchDone) {
      saved.screenMode = oldMode;
      saved.fullScreenDepth = oldDepth;
      displayFailure_ = kDisplaySwitchFailed;
    }
  }
  if (monitorFailed) {
    // Told outside the lock: the frame thread may go on meanwhile.
    EngineApp::ShowMessage(host::Cp932Literal("画面モード変更に失敗"), kIconError);
    saved.screenMode = oldMode;
    saved.fullScreenDepth = oldDepth;
    return;
  }
  RefreshFramePacing();
}

void GameApp::ServeSoundFormat(SoundFormatRequest* request) {
  if (request == nullptr) return;
  DirectSoundDevice* device = sound_ ? sound_->Device() : nullptr;
  if (device == nullptr) {
    request->answer = kSoundFormatNoDevice;
    return;
  }
  uint8_t channels = request->useGiven ? request->channels : kDefaultChannels;
  uint32_t rate = request->useGiven ? request->rateCode : kDefaultRateCode;
  uint16_t bits = request->useGiven ? request->bitsPerSample : kDefaultBits;
  request->answer =
      device->SetPrimaryFormat(MainWindow().GetHandle(), config_.engine.soundGlobalFocus != 0,
                               config_.engine.soundSoftware != 0, nullptr, channels, rate, bits);
}

bool GameApp::SendToWindow(int command, void* record) {
  if (!MainWindow().IsWindow()) return false;
  // From the frame thread this waits until the window thread has served the record.
  MainWindow().SendMessage(host::WM_COMMAND, static_cast<host::WPARAM>(command),
                           reinterpret_cast<host::LPARAM>(record));
  return true;
}

bool GameApp::RequestSoundFormat(SoundFormatRequest& request) {
  return SendToWindow(kCmdSoundFormat, &request);
}

void GameApp::SetCursorVisible(bool visible) {
  Mouse* mouse = GetInputManager().GetMouse();
  if (mouse == nullptr || !MainWindow().IsWindow()) return;
  mouse->SetCursorVisible(visible, MainWindow().GetHandle(), kMsgShowCursor);
}

int GameApp::SelectMonitor(host::HWND window, int bits) {
  MonitorHandle monitor = kNoMonitor;
  int index = 0;
  if (User().monitorNumber != 0) {
    index = User().monitorNumber - 1;
  } else {
    // The saved position comes from the settings file: the far edges are added in 64 bits and
    // kept on the coordinate range.
    auto farEdge = [](int32_t near, int32_t size) {
      return static_cast<int32_t>(std::min<int64_t>(int64_t{near} + size, INT32_MAX));
    };
    host::Rect rect{config_.display.windowLeft, config_.display.windowTop,
                    farEdge(config_.display.windowLeft, record_.canvasWidth),
                    farEdge(config_.display.windowTop, record_.canvasHeight)};
    int32_t width = 0;
    int32_t height = 0;
    if (window && host::GetClientSize(window, &width, &height)) {
      host::Point origin = host::WindowOrigin(window);
      rect = {origin.x, origin.y, origin.x + width, origin.y + height};
    }
    monitor = GetMonitorList().MonitorFromRect(rect);
  }
  return GetDisplayManager().SelectDisplayDevice(User().fullScreenMonitor != 0, monitor, index,
                                                 bits, nullptr);
}

}  // namespace bw

namespace bw {

namespace {

// PostAppCommand's requests: the message each sends and the permission that enables it (-1:
// always).
struct AppCommand {
  uint32_t message;
  int command;
  int permission;
};
constexpr int kAlways = -1;
constexpr AppCommand kAppCommands[] = {
    {host::WM_COMMAND, kCmdSettings, kPermissionSettings},
    {host::WM_COMMAND, kCmdSave, kPermissionSave},
    {host::WM_COMMAND, kCmdLoad, kPermissionLoad},
    {host::WM_CLOSE, 0, kAlways},
    {host::WM_COMMAND, kCmdScreenMode, kPermissionScreenMode},
    {host::WM_COMMAND, kCmdVersion, kAlways},
    {host::WM_COMMAND, kCmdReturnToTitle, kPermissionReturn},
};
constexpr uint8_t kPrivateRequest = 7;

}  // namespace

bool GameApp::PostAppCommand(uint8_t request, bool send, uintptr_t parameter) {
  if (!MainWindow().IsWindow()) return false;
  uint32_t message = kMsgMessageDialog;
  host::WPARAM wParam = 0;
  // The private request's record travels where its handler reads it.
  host::LPARAM lParam = static_cast<host::LPARAM>(parameter);
  if (request == kPrivateRequest) {
    // The parameter is a host record of the window thread's; without one nothing is sent.
    if (parameter == 0) return false;
  } else if (request < std::size(kAppCommands)) {
    const AppCommand& c = kAppCommands[request];
    if (c.permission != kAlways && !MenuItemEnabled(c.permission)) return false;
    message = c.message;
    wParam = static_cast<host::WPARAM>(c.command);
    lParam = 0;
  } else {
    return false;
  }
  if (send) {
    SendPausingFrames(message, wParam, lParam);
  } else {
    // A window already gone has no queue: the message has nobody to reach.
    (void)host::PostMessage(MainWindow().GetHandle(), message, wParam, lParam);
  }
  return true;
}

}  // namespace bw
