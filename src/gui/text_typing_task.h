// Types the main script's message into its window at the reader's speed: stepped by the timer
// service every frame, it reads the message text engine token by token, waits at '$' for the
// player, and finishes at once when the text is skipped.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/timed_task.h"

namespace bw {

class ScriptText;

// Typing states.
constexpr uint8_t kTypingStarted = 0;
constexpr uint8_t kTypingRunning = 1;
constexpr uint8_t kTypingWaiting = 2;
constexpr uint8_t kTypingFinished = 3;
constexpr uint8_t kTypingFinishedAtOnce = 4;

// Start, Step, Finish and Continue.
constexpr int kTypingDone = 0;
constexpr int kTypingFailed = 1;  // no owner, a malformed token, or Continue while not waiting
constexpr int kTypingNameTooLong = 2;

class TextTypingTask final : public TimedTask {
 public:
  explicit TextTypingTask(ScriptText* owner) : owner_(owner) {}

  uint32_t GetKindId() const override { return kTaskKindNone; }
  // Never reports itself finished: the task stays with the window.
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  void Stop() override {}
  // The first call keeps the time; calls nest.
  void PauseSelf(uint32_t nowMs);
  // The last call moves the next step on by the time paused.
  void ResumeSelf(uint32_t nowMs);

  [[nodiscard]] int Start(bool all, int mode);
  [[nodiscard]] int Step(bool all);
  [[nodiscard]] int Finish();
  [[nodiscard]] int Continue();

  uint8_t GetState() const { return state_; }
  int8_t GetLastKind() const { return lastKind_; }
  bool IsAlreadyRead() const { return alreadyRead_; }
  bool IsSkipAtOnce() const { return skipAtOnce_; }
  uint8_t GetDelay() const { return delay_; }
  bool IsAllAtOnce() const { return allAtOnce_; }
  uint32_t GetNextDue() const { return nextDue_; }
  uint32_t GetSelfPauses() const { return selfPauses_; }
  void Detach() { owner_ = nullptr; }

 private:
  // A character (with '\' as a new line) placed; false when the page was full, which skips the
  // rest of the section.
  [[nodiscard]] bool TypeCharacter(size_t from, bool* newLine);
  // Reads the next token and does what all typing does with it: characters placed, quoted tags
  // drawn, size tags applied; the kind, -1 for a malformed token.
  [[nodiscard]] int32_t TypeToken(bool* pageFull, bool* newLine);
  void Wait();
  void NoteEnd();
  void RestoreFontSize();
  void ApplySizeTag(int32_t n);
  bool AdvanceRequested() const;
  bool WindowBusy() const;
  uint32_t Now() const;

  ScriptText* owner_;
  uint8_t state_ = kTypingStarted;
  int8_t lastKind_ = 0;
  bool endReached_ = false;
  bool alreadyRead_ = false;
  bool skipAtOnce_ = false;
  uint8_t delay_ = 0;
  bool allAtOnce_ = false;
  uint32_t nextDue_ = 0;
  int32_t savedFontSize_ = 0;
  bool busyCounts_ = true;
  uint32_t selfPauses_ = 0;
  uint32_t selfPauseTime_ = 0;
};

}  // namespace bw
