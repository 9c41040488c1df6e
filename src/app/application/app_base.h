// The outer application: the message loop and the start-up / shut-down bracket around it.
#pragma once

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

class AppBase {
 public:
  AppBase() = default;
  virtual ~AppBase() = default;
  AppBase(const AppBase&) = delete;
  AppBase& operator=(const AppBase&) = delete;

  // Starts, runs and shuts down. Answers the start-up result when start-up refused, else 0.
  int Run(const std::string& commandLine);

  virtual int AppStartup() = 0;
  virtual void Run() {}
  virtual void AppShutdown(int /*code*/) {}
  // True swallows the message.
  virtual bool PreTranslateMessage(const host::MSG& /*msg*/) { return false; }
  virtual const char* GetAppName() const { return nullptr; }

  // Empties the queue; kPumpQuit as soon as WM_QUIT is seen. Pointer moves are dropped unless
  // kept.
  int PumpMessages(bool keepMouseMoves);

  // From now on the message loops translate these keys into commands for window; a greyed item
  // of menu (may be null) takes no command. An empty table stops the translation.
  void LoadAccelerators(std::vector<Accelerator> table, host::HWND window, const host::Menu* menu);

  const std::string& commandLine() const { return commandLine_; }
  uint8_t loopMode() const { return loopMode_; }
  bool quitSeen() const { return quit_; }

 protected:
  void set_loopMode(uint8_t mode) { loopMode_ = mode; }
  void set_quitSeen(bool quit) { quit_ = quit; }

 private:
  // True when the message became a command.
  bool TranslateAccelerators(const host::MSG& msg) const;

  std::vector<Accelerator> accelerators_;
  host::HWND acceleratorWindow_;
  const host::Menu* acceleratorMenu_ = nullptr;
  std::string commandLine_;
  uint8_t loopMode_ = kLoopGetMessage;
  bool quit_ = false;
};

}  // namespace bw
