// The main script's message window: a text widget that shows the current message of the message
// text engine, with an optional name box for the speaker, an optional wait mark shown while the
// text waits for the player, and the typing task that types the text out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "gui/message_text_widget.h"

namespace bw {

class CellImage;
class CheckPartBase;
class MessageTextEngine;
class TextTypingTask;
class TimerService;

constexpr int kKindScriptText = 111;

// StartDisplay.
constexpr int kDisplayNotReady = 1;
constexpr int kDisplayTaskRefused = 2;
constexpr int kDisplayWaitMarkFailed = 3;
// StepDisplay.
constexpr int kStepNoTask = 1;
constexpr int kStepUnknown = 2;

// The player's text settings the typing reads.
struct TextSpeedSettings {
  uint8_t unreadNoWait = 0;
  uint8_t unreadCharMs = 30;
  uint8_t readNoWait = 1;
  uint8_t readCharMs = 30;
  uint8_t skipReadOnly = 1;         // unread text is never skipped
  uint8_t fastForwardReadOnly = 0;  // the skip modifier passes over read text only
};

// What the typing asks of the application.
class TypingEnvironment {
 public:
  virtual ~TypingEnvironment() = default;
  virtual TextSpeedSettings GetTextSpeeds() const = 0;
  // The skip modifier held (IsSkipModifierDown with the application's key option).
  virtual bool IsSkipModifierDown() const = 0;
  // Skipping at once is forbidden for now.
  virtual bool IsSkipForbidden() const = 0;
  virtual uint32_t Now() const = 0;
};

// The message window's state, kept by the script's window set-up: busy in states 3 to 5 and 7
// and above (the window is being skipped through).
class MessageWindowState {
 public:
  virtual ~MessageWindowState() = default;
  virtual int GetState() const = 0;
  virtual void SetFlag(uint8_t flag) = 0;
  virtual void Cancel() = 0;
  bool IsBusy() const {
    const int s = GetState();
    return (s >= 3 && s <= 5) || s >= 7;
  }
};

// Where a new script text goes: its priority, its box and the margins of its text.
struct ScriptTextLayout {
  int32_t priority = 0;
  int32_t x = 0, y = 0, width = 0, height = 0;
  int32_t marginLeft = 0, marginTop = 0, marginRight = 0, marginBottom = 0;
};

class ScriptText : public MessageTextWidget {
 public:
  ScriptText(MessageTextEngine* engine, TimerService* timers);
  ~ScriptText() override;

  int GetKind() const override { return kKindScriptText; }
  [[nodiscard]] int SetPosition(int32_t x, int32_t y) override;
  void SetVisible(bool visible) override;
  void Destroy() override;
  [[nodiscard]] int SetBackgroundColor(int kind, uint32_t rgb, int opacity, bool redraw) override;
  void NewPage();

  [[nodiscard]] int StartDisplay(int mode);
  [[nodiscard]] int StartDisplayAll();
  [[nodiscard]] int StepDisplay(int operation);
  void SetWaitMark(CellImage* source);

  void SetEnvironment(TypingEnvironment* environment) { environment_ = environment; }
  void SetWindowState(MessageWindowState* state) { windowState_ = state; }
  // The box is forgotten when it is destroyed first.
  void SetNameBox(MessageTextWidget* box, uint8_t alignment);
  // A check part as the window state: its checked states are the busy ones, the state's flag
  // is its enabled flag, and cancelling unchecks it. Null unbinds; a destroyed part is
  // forgotten.
  void BindStateCheck(CheckPartBase* check);
  void SetClickCompletesTyping(bool on) { clickCompletes_ = on; }

  MessageTextEngine* GetEngine() const { return engine_; }
  TextTypingTask* GetTask() const { return task_; }
  TypingEnvironment* GetEnvironment() const { return environment_; }
  MessageWindowState* GetWindowState() const { return windowState_; }
  MessageTextWidget* GetNameBox() const { return nameBox_; }
  uint8_t GetNameAlignment() const { return nameAlignment_; }
  bool ClickCompletesTyping() const { return clickCompletes_; }
  bool HasName() const { return hasName_; }
  void SetHasName(bool on) { hasName_ = on; }
  const std::string& GetSecondName() const { return secondName_; }
  void SetSecondName(std::string name) { secondName_ = std::move(name); }

 private:
  [[nodiscard]] int MakeTask();
  void Listen();
  static void OnGone(const void* object, void* self);

  MessageTextEngine* engine_;
  TimerService* timers_;
  TextTypingTask* task_ = nullptr;
  bool clickCompletes_ = true;
  std::string secondName_;
  MessageTextWidget* nameBox_ = nullptr;
  MessageWindowState* windowState_ = nullptr;
  uint8_t nameAlignment_ = 0;
  bool hasName_ = false;
  CellImage* waitSource_ = nullptr;
  TypingEnvironment* environment_ = nullptr;
  std::unique_ptr<MessageWindowState> checkState_;
  bool listening_ = false;
  std::thread::id listenThread_;  // parts die on the thread that binds them
};

}  // namespace bw
