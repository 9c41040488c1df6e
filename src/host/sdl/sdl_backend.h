// The real backend: SDL2 windows, events, message boxes and a streaming-texture sink. Every SDL
// video call happens on the thread that created the backend.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/backend.h"
#include "host/input/key_state.h"
#include "host/input_event.h"
#include "host/presentation_sink.h"

// SDL's types stay opaque here: only the SDL part of the host includes SDL's headers.
struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Window;
union SDL_Event;

namespace bw::host {

class SdlCursors;
class SdlJoysticks;

class SdlSink final : public PresentationSink {
 public:
  SdlSink(SDL_Window* window, SDL_Renderer* renderer, Backend* backend)
      : window_(window), renderer_(renderer), backend_(backend) {}
  ~SdlSink() override;

  // Draws the last frame again (after an expose or a resize).
  void Redraw();
  // The window is about to go: the sink lets go of the texture and renderer and shows nothing
  // from now on, so a user that still holds it cannot reach freed SDL objects.
  void Detach();
  // Drawn over every frame before it is shown (the menu bar and dialogs).
  void SetOverlay(std::function<void()> overlay) { overlay_ = std::move(overlay); }
  // Rows at the top of the window kept for a menu bar; the picture goes below them.
  void SetTopInset(int32_t rows) { topInset_ = rows; }
  int32_t TopInset() const { return topInset_; }
  // Where a point of the window (in SDL's window coordinates) falls in the picture as it is
  // drawn, and back. Full screen keeps the desktop's mode and scales the picture into it, so a
  // pointer must be scaled with it to land where the player sees it. Before the first frame only
  // the inset is taken off.
  Point WindowToPicture(Point inWindow) const;
  Point PictureToWindow(Point inPicture) const;

 protected:
  void Show(const FrameView& frame) override;
  void NotifyPending() override { backend_->Wake(); }

 private:
  // The picture's place in the window: in output pixels, with the output's pixels per window
  // point across and down. False before the first frame.
  struct Placement {
    Rect target;
    double pixelsPerPointX = 1;
    double pixelsPerPointY = 1;
  };
  bool Place(Placement* placement) const;
  Rect Target(int32_t outputWidth, int32_t outputHeight) const;

  SDL_Window* window_;
  SDL_Renderer* renderer_;
  Backend* backend_;
  SDL_Texture* texture_ = nullptr;
  int32_t textureWidth_ = 0;
  int32_t textureHeight_ = 0;
  ScaleFilter filter_ = ScaleFilter::kNearest;
  bool failureReported_ = false;
  std::function<void()> overlay_;
  int32_t topInset_ = 0;
};

class SdlBackend final : public Backend {
 public:
  // Starts SDL's video; null with the reason in error when it cannot.
  static std::unique_ptr<SdlBackend> Create(std::string* error);
  ~SdlBackend() override;

  // Whether SDL's video driver shows anything (not the dummy or offscreen driver).
  static bool HasDisplay();
  // Whether the window is in full screen: the desktop's own, or covering its display itself.
  bool IsFullScreen(SDL_Window* window) const;
  // Full screen, and (where the platform tells a window's real size) as large as its display.
  bool FillsDisplay(SDL_Window* window) const;

  // The SDL id of a window's native window, 0 when unknown (tests address events with it).
  uint32_t SdlWindowId(HWND hwnd) const;
  // The window's SDL objects and sink, null when unknown.
  SDL_Window* SdlWindowOf(HWND hwnd);
  SDL_Renderer* SdlRendererOf(HWND hwnd);
  SdlSink* SdlSinkOf(HWND hwnd);
  // Sees every SDL event first; an event it answers true for goes no further.
  void SetEventFilter(std::function<bool(const SDL_Event&)> filter) {
    eventFilter_ = std::move(filter);
  }
  // Told of a native window just before its SDL objects and sink are destroyed, so a user of
  // them lets go while they still live.
  void SetWindowClosing(std::function<void(HWND)> closing) { windowClosing_ = std::move(closing); }
  // Runs at the start of every pump, before the pending events are read.
  void SetPumpHook(std::function<void()> hook) { pumpHook_ = std::move(hook); }

  [[nodiscard]] bool OpenWindow(HWND hwnd, const NativeWindowDesc& desc) override;
  void CloseWindow(HWND hwnd) override;
  [[nodiscard]] bool ShowWindow(HWND hwnd, bool show) override;
  [[nodiscard]] bool SetClientSize(HWND hwnd, int32_t width, int32_t height) override;
  [[nodiscard]] bool MoveWindow(HWND hwnd, int32_t left, int32_t top) override;
  [[nodiscard]] bool SetFullScreen(HWND hwnd, bool fullScreen) override;
  [[nodiscard]] bool GetWindowPosition(HWND hwnd, int32_t* left, int32_t* top) override;
  [[nodiscard]] bool MinimizeWindow(HWND hwnd, bool minimize) override;
  [[nodiscard]] bool SetWindowTopmost(HWND hwnd, bool topmost) override;
  [[nodiscard]] bool SetWindowMaximizable(HWND hwnd, bool maximizable) override;
  [[nodiscard]] bool SetTitle(HWND hwnd, std::string_view cp932) override;
  [[nodiscard]] bool GetClientSize(HWND hwnd, int32_t* width, int32_t* height) override;
  PresentationSink* Sink(HWND hwnd) override;
  void PumpEvents() override;
  void WaitEvents() override;
  void Wake() override;
  DesktopInfo Desktop() override;
  std::string FileSystemType(const std::string& folder) override;
  [[nodiscard]] int ShowMessageBox(const MessageBoxRequest& request) override;
  bool ScreenSaverActive() override;
  [[nodiscard]] bool SetScreenSaverActive(bool active) override;
  bool KeyDownNow(int virtualKey) override;
  void ApplyCursor(const CursorState& state) override;
  void SetTextInput(bool on) override;
  JoystickSource& Joysticks() override;
  std::unique_ptr<AudioOutput> MakeAudioOutput(SoundDevice& device) override;

 private:
  struct NativeWindow {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    std::unique_ptr<SdlSink> sink;
    // Full screen that no window manager granted: the window covers its display without a frame,
    // and goes back to this place and size.
    bool coversDisplay = false;
    Rect windowed;
    // The platform offers maximising only on a window its player may also size: the size the
    // engine gave it comes back after a drag.
    bool maximizable = false;
    int32_t clientWidth = 0;
    int32_t clientHeight = 0;
  };

  explicit SdlBackend(uint32_t wakeEvent);
  NativeWindow* Find(HWND hwnd);
  HWND WindowOf(uint32_t sdlWindowId) const;
  void Translate(const SDL_Event& event);
  void DeliverDrop();
  // Carries out a pointer move the engine asked for, or reads the pointer outside the windows.
  void TrackPointer();
  // Tells the user of the window, detaches its sink and destroys its SDL objects.
  void Dispose(HWND hwnd, NativeWindow& native);
  static void CoverDisplay(NativeWindow& native, const Rect& windowed, const Rect& display);
  static void UncoverDisplay(NativeWindow& native);
  uint32_t KeyState() const;
  // A pointer at (x, y) in an SDL window, in the picture's pixels (see SdlSink).
  Point PointerInPicture(uint32_t sdlWindowId, int32_t x, int32_t y);
  // A window event: false when it is not one the engine hears of.
  [[nodiscard]] bool TranslateWindowEvent(const SDL_Event& event, InputEvent& out);

  uint32_t wakeEvent_;
  std::function<bool(const SDL_Event&)> eventFilter_;
  std::function<void(HWND)> windowClosing_;
  std::function<void()> pumpHook_;
  std::map<uint32_t, NativeWindow> windows_;  // by HWND id
  // Sinks of closed windows: a surface may still hold one; detached, they show nothing.
  std::vector<std::unique_ptr<SdlSink>> retiredSinks_;
  std::unique_ptr<SdlCursors> cursors_;      // event thread; freed before the video stops
  std::unique_ptr<SdlJoysticks> joysticks_;  // any thread
  // Mouse state as the events told it.
  uint32_t buttonsHeld_ = 0;
  int32_t mouseX_ = 0;
  int32_t mouseY_ = 0;
  // Files of a drop in progress.
  bool dropOpen_ = false;
  HWND dropWindow_;
  std::vector<std::string> dropFiles_;
};

}  // namespace bw::host
