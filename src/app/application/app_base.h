// The outer application: the message loop and the start-up / shut-down bracket around it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "app/dialogs/accelerators.h"
#include "host/dialog/menu.h"
#include "host/messages.h"

namespace bw {

// Message-loop modes.
constexpr uint8_t kLoopScriptOnMainThread = 0;  // the main thread calls Run
constexpr uint8_t kLoopGetMessage = 1;          // the main thread only serves messages

// PumpMessages results.
constexpr int kPumpEmpty = 0;
constexpr int kPumpQuit = 1;

// The thread message AskToClose posts to the thread that runs the application.
constexpr uint32_t kMsgCloseAsked = 0x9080;
// WM_CLOSE's wParam for a close asked from outside the game (a stop signal): the player is not
// asked first.
constexpr host::WPARAM kCloseUnasked = 1;

class AppBase {
 public:
  AppBase() = default;
  virtual ~AppBase() = default;
  AppBase(const AppBase&) = delete;
  AppBase& operator=(const AppBase&) = delete;

  // Starts, runs and shuts down. Answers the start-up result when start-up refused, else 0.
  [[nodiscard]] int Run(const std::string& commandLine);

  [[nodiscard]] virtual int AppStartup() = 0;
  virtual void Run() {}
  virtual void AppShutdown(int /*code*/) {}
  // True swallows the message.
  [[nodiscard]] virtual bool PreTranslateMessage(const host::MSG& /*msg*/) { return false; }
  virtual const char* GetAppName() const { return nullptr; }

  // Empties the queue; kPumpQuit as soon as WM_QUIT is seen. Pointer moves are dropped unless
  // kept.
  [[nodiscard]] int PumpMessages(bool keepMouseMoves);

  // From now on the message loops translate these keys into commands for window; a greyed item
  // of menu (may be null) takes no command. An empty table stops the translation.
  void LoadAccelerators(std::vector<Accelerator> table, host::HWND window, const host::Menu* menu);

  // From any thread: asks the application to close as its window's close button does, without
  // the question. False before Run has a queue to take the request.
  [[nodiscard]] bool AskToClose();
  // How often the frame loop has turned; read from any thread to tell a stuck game.
  uint64_t FrameTurns() const { return frameTurns_.load(std::memory_order_relaxed); }

  const std::string& GetCommandLine() const { return commandLine_; }
  uint8_t LoopMode() const { return loopMode_; }
  bool QuitSeen() const { return quit_; }

 protected:
  void SetLoopMode(uint8_t mode) { loopMode_ = mode; }
  void SetQuitSeen(bool quit) { quit_ = quit; }
  void CountFrameTurn() { frameTurns_.fetch_add(1, std::memory_order_relaxed); }
  // AskToClose's request, on the application's thread.
  virtual void OnAskedToClose() {}

 private:
  // True when the message became a command.
  bool TranslateAccelerators(const host::MSG& msg) const;
  // True when the message was AskToClose's request, handed to OnAskedToClose.
  [[nodiscard]] bool TakeCloseAsked(const host::MSG& msg);

  std::vector<Accelerator> accelerators_;
  host::HWND acceleratorWindow_;
  const host::Menu* acceleratorMenu_ = nullptr;
  std::string commandLine_;
  uint8_t loopMode_ = kLoopGetMessage;
  bool quit_ = false;
  std::atomic<uint32_t> runThread_{0};  // the thread in Run; 0 outside it
  std::atomic<uint64_t> frameTurns_{0};
};

}  // namespace bw
