// The deterministic backend: a virtual clock, scripted input, a settable desktop and file-system
// types, scripted message-box answers, and frames kept for tests to read.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/backend.h"
#include "host/clock.h"
#include "host/input_event.h"
#include "host/presentation_sink.h"

namespace bw::host {

class HeadlessSink final : public PresentationSink {
 public:
  const Frame& LastFrame() const { return last_; }
  uint64_t FrameHash() const { return Fnv1a64(last_.bgra.data(), last_.bgra.size()); }
  uint32_t FramesShown() const { return framesShown_; }
  void SetOnShow(std::function<void()> onShow) { onShow_ = std::move(onShow); }
  void SetOnPending(std::function<void()> onPending) { onPending_ = std::move(onPending); }
  // The window has gone: the sink forgets its callbacks and shows nothing from now on, so a user
  // that still holds it cannot reach the backend through it.
  void Detach();
  bool Detached() const { return detached_; }

 protected:
  void Show(const Frame& frame) override;
  void NotifyPending() override {
    if (onPending_) onPending_();
  }

 private:
  Frame last_;
  uint32_t framesShown_ = 0;
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
  void SetDesktop(DesktopInfo desktop);
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
    std::unique_ptr<HeadlessSink> sink;
  };
  const WindowState* Window(HWND hwnd) const;
  HWND MainWindow() const;

  bool OpenWindow(HWND hwnd, const NativeWindowDesc& desc) override;
  void CloseWindow(HWND hwnd) override;
  bool ShowWindow(HWND hwnd, bool show) override;
  bool SetClientSize(HWND hwnd, int32_t width, int32_t height) override;
  bool MoveWindow(HWND hwnd, int32_t left, int32_t top) override;
  bool SetFullScreen(HWND hwnd, bool fullScreen) override;
  bool SetTitle(HWND hwnd, std::string_view cp932) override;
  bool GetClientSize(HWND hwnd, int32_t* width, int32_t* height) override;
  bool GetWindowPosition(HWND hwnd, int32_t* left, int32_t* top) override;
  bool MinimizeWindow(HWND hwnd, bool minimize) override;
  PresentationSink* Sink(HWND hwnd) override;
  void PumpEvents() override;
  void WaitEvents() override;
  void Wake() override;
  DesktopInfo Desktop() override;
  std::string FileSystemType(const std::string& folder) override;
  int ShowMessageBox(const MessageBoxRequest& request) override;

 private:
  VirtualClock clock_;
  ScopedGlobal<ClockSource> useClock_;

  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<InputEvent> events_;  // guarded by lock_
  bool woken_ = false;             // guarded by lock_
  std::deque<int> answers_;                      // guarded by lock_
  std::vector<MessageBoxRequest> messageBoxes_;  // guarded by lock_

  // Event thread only.
  std::map<uint32_t, WindowState> windows_;
  // Sinks of closed windows: a surface may still hold one; detached, they show nothing.
  std::vector<std::unique_ptr<HeadlessSink>> retiredSinks_;
  DesktopInfo desktop_;
  std::map<std::string, std::string> fileSystems_;
  uint32_t closeAfterFrames_ = 0;
  FrameObserver frameObserver_;
};

}  // namespace bw::host
