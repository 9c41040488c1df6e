// The platform under the host layer: native windows, the event source, the desktop, message boxes
// and the presentation sink. Chosen once at start: SDL for the program, headless for tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/global.h"
#include "host/messages.h"

namespace bw::host {

class AudioOutput;
class JoystickSource;
class PresentationSink;
class SoundDevice;

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

struct Monitor {
  Rect bounds;
  Rect workArea;
};

struct DesktopInfo {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bitsPerPixel = 0;
  std::vector<Monitor> monitors;
};

// What a native window is opened with. The title is CP932.
struct NativeWindowDesc {
  std::string title;
  int32_t width = 0;
  int32_t height = 0;
  bool visible = true;
};

// Message-box buttons and icons as the engine passes them in its style word.
constexpr uint32_t MB_OK = 0x00;
constexpr uint32_t MB_OKCANCEL = 0x01;
constexpr uint32_t MB_YESNOCANCEL = 0x03;
constexpr uint32_t MB_YESNO = 0x04;
constexpr uint32_t MB_TYPEMASK = 0x0F;
constexpr uint32_t MB_ICONHAND = 0x10;
constexpr uint32_t MB_ICONERROR = MB_ICONHAND;
constexpr uint32_t MB_ICONQUESTION = 0x20;
constexpr uint32_t MB_ICONEXCLAMATION = 0x30;
constexpr uint32_t MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr uint32_t MB_ICONASTERISK = 0x40;
constexpr uint32_t MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr uint32_t MB_ICONMASK = 0xF0;
constexpr uint32_t MB_DEFBUTTON2 = 0x100;
constexpr uint32_t MB_DEFBUTTON3 = 0x200;
constexpr uint32_t MB_DEFMASK = 0xF00;

// Answers.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// A message box after CP932 has become UTF-8.
struct MessageBoxRequest {
  HWND owner;
  std::string title;  // UTF-8
  std::string text;   // UTF-8
  uint32_t style = MB_OK;
};

// The buttons of a style in order and the answer of its default button.
std::vector<int> MessageBoxButtons(uint32_t style);
int MessageBoxDefaultAnswer(uint32_t style);

// The cursor as the engine asked for it (input/cursor.h keeps it).
struct CursorState {
  int32_t shape = 0;  // 0 to kCursorTableSize - 1
  bool visible = true;
  bool keyboardGrabbed = false;  // the keyboard confined to the window (full screen)
  bool operator==(const CursorState&) const = default;
};

class Backend {
 public:
  virtual ~Backend() = default;

  // Native windows; called on the event thread only.
  [[nodiscard]] virtual bool OpenWindow(HWND hwnd, const NativeWindowDesc& desc) = 0;
  virtual void CloseWindow(HWND hwnd) = 0;
  [[nodiscard]] virtual bool ShowWindow(HWND hwnd, bool show) = 0;
  [[nodiscard]] virtual bool SetClientSize(HWND hwnd, int32_t width, int32_t height) = 0;
  [[nodiscard]] virtual bool MoveWindow(HWND hwnd, int32_t left, int32_t top) = 0;
  [[nodiscard]] virtual bool SetFullScreen(HWND hwnd, bool fullScreen) = 0;
  [[nodiscard]] virtual bool SetTitle(HWND hwnd, std::string_view cp932) = 0;
  [[nodiscard]] virtual bool GetClientSize(HWND hwnd, int32_t* width, int32_t* height) = 0;
  // Where the window's client area lies on the screen; false when the platform cannot tell.
  [[nodiscard]] virtual bool GetWindowPosition(HWND /*hwnd*/, int32_t* /*left*/, int32_t* /*top*/) {
    return false;
  }
  [[nodiscard]] virtual bool MinimizeWindow(HWND /*hwnd*/, bool /*minimize*/) { return false; }
  // Keeps the window above the other windows of the desktop, or lets it go back among them.
  [[nodiscard]] virtual bool SetWindowTopmost(HWND /*hwnd*/, bool /*topmost*/) { return false; }
  // Whether the window offers to be maximised. A maximise the player asks for there reaches the
  // window as its system command, and the window keeps its size.
  [[nodiscard]] virtual bool SetWindowMaximizable(HWND /*hwnd*/, bool /*maximizable*/) {
    return false;
  }
  // The window's sink, or null for a window the backend does not know.
  virtual PresentationSink* Sink(HWND hwnd) = 0;

  // Turns what the platform has pending into posted messages; event thread only.
  virtual void PumpEvents() = 0;
  // Blocks the event thread until the platform has an event or Wake was called.
  virtual void WaitEvents() = 0;
  // Any thread: ends a WaitEvents, now or the next time it is called.
  virtual void Wake() = 0;

  virtual DesktopInfo Desktop() = 0;
  // The file-system type of the folder ("ext4", "iso9660", ...), empty when it cannot be told.
  virtual std::string FileSystemType(const std::string& folder) = 0;
  // Shows the box and answers the button chosen (IDOK ...).
  [[nodiscard]] virtual int ShowMessageBox(const MessageBoxRequest& request) = 0;
  // The desktop's screen saver: whether it may start, and switching that. False where the
  // backend can neither tell nor change it: the saver then counts as absent.
  virtual bool ScreenSaverActive() { return false; }
  [[nodiscard]] virtual bool SetScreenSaverActive(bool /*active*/) { return false; }

  // Whether the key (a virtual key) is down on the keyboard now, as the platform knows it with
  // the events not yet taken; false where it cannot tell. Event thread only.
  virtual bool KeyDownNow(int /*virtualKey*/) { return false; }
  // Event thread: gives the platform the cursor's shape, visibility and keyboard grab.
  virtual void ApplyCursor(const CursorState& state) = 0;
  // Turns the platform's text input (and its input method) on or off.
  virtual void SetTextInput(bool on) = 0;
  // The joysticks attached to the machine; any thread.
  virtual JoystickSource& Joysticks() = 0;
  // An output, closed until opened, that plays the device's mix.
  virtual std::unique_ptr<AudioOutput> MakeAudioOutput(SoundDevice& device) = 0;
};

// The backend in force, or null. It is installed through the registry (Global<Backend>,
// ScopedGlobal<Backend>); the thread that installs one becomes the event thread: its message
// waits go through the backend.
inline Backend* CurrentBackend() {
  return Global<Backend>::Get();
}
bool IsEventThread();

}  // namespace bw::host

namespace bw {

// Installing a backend moves the event thread to the installing thread and wakes the threads
// that waited on the backend it replaces (message_queue.cpp).
template <>
struct GlobalTraits<host::Backend> {
  static void Installed(host::Backend* now, host::Backend* previous);
};

}  // namespace bw
