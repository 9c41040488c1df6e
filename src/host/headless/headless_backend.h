// The deterministic backend: a virtual clock, scripted input (events, typed text, compositions,
// joysticks), a settable desktop and file-system types, scripted message-box answers, and frames,
// the cursor, the text-input switch and the sound kept for tests to read.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "host/backend.h"
#include "host/clock.h"
#include "host/headless/captured_audio_output.h"
#include "host/headless/scripted_joysticks.h"
#include "host/input_event.h"
#include "host/presentation_sink.h"

namespace bw::host {

class HeadlessSink final : public PresentationSink {
 public:
  // The frame shown last, made whole (rows without padding) when it is first asked for: a run
  // that never reads it pays nothing per frame.
  const Frame& LastFrame() const;
  uint64_t FrameHash() const;
  // Frames shown, a turn that showed the last frame again included.
  uint32_t FramesShown() const { return framesShown_; }
  // Of those, the frames a window would draw anew: a turn with the same frame again is not one.
  uint32_t FramesDrawn() const { return framesDrawn_; }
  // Where the last frame drawn anew may differ from the one drawn before it.
  const Rect& LastChanged() const { return last_.changed; }
  void SetOnShow(std::function<void()> onShow) { onShow_ = std::move(onShow); }
  void SetOnPending(std::function<void()> onPending) { onPending_ = std::move(onPending); }
  // The window has gone: the sink forgets its callbacks and shows nothing from now on, so a user
  // that still holds it cannot reach the backend through it.
  void Detach();
  bool Detached() const { return detached_; }

 protected:
  void Show(const FrameView& frame) override;
  void ShowSame() override;
  void NotifyPending() override {
    if (onPending_) onPending_();
  }

 private:
  // Holds the pixels of a handed-over frame; copies those of a frame shown directly.
  FrameView last_;
  mutable Frame made_;
  mutable bool madeCurrent_ = true;
  uint32_t framesShown_ = 0;
  uint32_t framesDrawn_ = 0;
  std::function<void()> onShow_;
  std::function<void()> onPending_;
  bool detached_ = false;
};

class HeadlessBackend final : public Backend {
 public:
  // Installs its virtual clock as the current clock for its lifetime.
  explicit HeadlessBackend(uint32_t startMs = 0);
  ~HeadlessBackend() override;

  VirtualClock& Clock() { return clock_; }

  // Script. Events go to the first open window, in order, on the next pump.
  void QueueEvent(InputEvent event);
  // Text typed and a composition shown by an input method, in UTF-8 as a platform gives them;
  // they take their turn among the events. The composition's cursor counts characters (negative:
  // at its end); an input method converting puts it at 0.
  void QueueTypedText(std::string utf8);
  void QueueComposition(std::string utf8, int32_t cursor = -1);
  void SetDesktop(DesktopInfo desktop);
  // The keyboard as the platform tells it outside the events (keys held before the game began).
  void HoldKey(int virtualKey, bool down);
  void SetFileSystemType(const std::string& folder, std::string type);
  // Answers for the coming message boxes, in order; when they run out a box answers its default.
  // Boxes may come from any thread.
  void QueueMessageBoxAnswer(int answer);
  std::vector<MessageBoxRequest> MessageBoxes();
  // After the window has shown this many frames, WM_CLOSE is posted to it (0: never).
  void CloseAfterFrames(uint32_t frames) { closeAfterFrames_ = frames; }
  // Called on the event thread each time a window has shown a frame, before the close above.
  using FrameObserver = std::function<void(HWND window, const HeadlessSink& sink)>;
  void SetFrameObserver(FrameObserver observer) { frameObserver_ = std::move(observer); }

  // What a window looks like now; null for an unknown window.
  struct WindowState {
    NativeWindowDesc desc;
    int32_t left = 0;
    int32_t top = 0;
    bool fullScreen = false;
    bool minimized = false;
    bool topmost = false;
    bool maximizable = false;
    std::unique_ptr<HeadlessSink> sink;
  };
  const WindowState* Window(HWND hwnd) const;
  HWND MainWindow() const;

  // The cursor as last applied on the event thread, and whether text input is on.
  CursorState AppliedCursor() const;
  bool TextInputOn() const;
  // The joysticks tests plug in.
  ScriptedJoysticks& Joysticks() override { return joysticks_; }
  // Full screen asked from now on is refused, as by a platform that keeps its windows.
  void RefuseFullScreen(bool refuse) { refuseFullScreen_ = refuse; }
  // Audio outputs opened from now on fail with this reason (empty: they open).
  void FailAudioOutput(std::string reason);
  // Mixes this many frames from the output opened last, if it is open, onto the captured sound;
  // false when no output is open.
  [[nodiscard]] bool PullSound(size_t frames);
  // The sound pulled so far: 16-bit stereo at the open output's rate.
  std::vector<int16_t> CapturedSound();
  // The rate of the output opened last while it is open, else 0.
  uint32_t CapturedRate();

  [[nodiscard]] bool OpenWindow(HWND hwnd, const NativeWindowDesc& desc) override;
  void CloseWindow(HWND hwnd) override;
  [[nodiscard]] bool ShowWindow(HWND hwnd, bool show) override;
  [[nodiscard]] bool SetClientSize(HWND hwnd, int32_t width, int32_t height) override;
  [[nodiscard]] bool MoveWindow(HWND hwnd, int32_t left, int32_t top) override;
  [[nodiscard]] bool SetFullScreen(HWND hwnd, bool fullScreen) override;
  [[nodiscard]] bool SetTitle(HWND hwnd, std::string_view cp932) override;
  [[nodiscard]] bool GetClientSize(HWND hwnd, int32_t* width, int32_t* height) override;
  [[nodiscard]] bool GetWindowPosition(HWND hwnd, int32_t* left, int32_t* top) override;
  [[nodiscard]] bool MinimizeWindow(HWND hwnd, bool minimize) override;
  [[nodiscard]] bool SetWindowTopmost(HWND hwnd, bool topmost) override;
  [[nodiscard]] bool SetWindowMaximizable(HWND hwnd, bool maximizable) override;
  PresentationSink* Sink(HWND hwnd) override;
  void PumpEvents() override;
  void WaitEvents() override;
  void Wake() override;
  DesktopInfo Desktop() override;
  std::string FileSystemType(const std::string& folder) override;
  [[nodiscard]] int ShowMessageBox(const MessageBoxRequest& request) override;
  // The screen saver starts out active; tests read what the engine made of it.
  bool ScreenSaverActive() override { return screenSaverActive_; }
  [[nodiscard]] bool SetScreenSaverActive(bool active) override {
    screenSaverActive_ = active;
    return true;
  }
  bool KeyDownNow(int virtualKey) override;
  void ApplyCursor(const CursorState& state) override;
  void SetTextInput(bool on) override;
  std::unique_ptr<AudioOutput> MakeAudioOutput(SoundDevice& device) override;

 private:
  // One turn of the script: an event, or UTF-8 text typed or composed.
  struct Scripted {
    enum class Kind { kEvent, kTypedText, kComposition };
    Kind kind = Kind::kEvent;
    InputEvent event;
    std::string utf8;
    int32_t cursor = -1;
  };
  void Queue(Scripted scripted);

  VirtualClock clock_;
  ScopedGlobal<ClockSource> useClock_;

  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<Scripted> events_;                  // guarded by lock_
  bool woken_ = false;                           // guarded by lock_
  std::deque<int> answers_;                      // guarded by lock_
  std::vector<MessageBoxRequest> messageBoxes_;  // guarded by lock_
  std::set<int> keysHeld_;                       // guarded by lock_

  // Event thread only.
  std::map<uint32_t, WindowState> windows_;
  // Sinks of closed windows: a surface may still hold one; detached, they show nothing.
  std::vector<std::unique_ptr<HeadlessSink>> retiredSinks_;
  DesktopInfo desktop_;
  bool screenSaverActive_ = true;
  bool refuseFullScreen_ = false;
  std::map<std::string, std::string> fileSystems_;
  uint32_t closeAfterFrames_ = 0;
  FrameObserver frameObserver_;
  CursorState appliedCursor_;
  bool textInputOn_ = false;

  ScriptedJoysticks joysticks_;
  std::shared_ptr<AudioCapture> audio_ = std::make_shared<AudioCapture>();
};

}  // namespace bw::host
