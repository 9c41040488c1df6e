// Pausable stopwatches on the millisecond clock, and the indexed bank of them that scripts use.
#pragma once

#include <cstdint>
#include <memory>

namespace bw {

class StopwatchBase {
 public:
  virtual ~StopwatchBase() = default;
  virtual uint32_t Start() = 0;
  virtual uint32_t GetElapsed() const = 0;
  virtual void SetElapsed(uint32_t ms) = 0;
  virtual void Pause() = 0;
  virtual void Resume() = 0;
};

// Pauses nest; the paused span does not count.
class Stopwatch : public StopwatchBase {
 public:
  Stopwatch() { Start(); }

  // Restarts from 0 and ends any pause; answers now.
  uint32_t Start() override;
  uint32_t GetElapsed() const override;
  void SetElapsed(uint32_t ms) override;
  void Pause() override;
  // A resume without a pause does nothing.
  void Resume() override;
  int32_t PauseCount() const { return pauseCount_; }

 private:
  uint32_t startMs_ = 0;
  uint32_t pauseMs_ = 0;
  int32_t pauseCount_ = 0;
};

constexpr uint32_t kTimerBankDone = 0;
constexpr uint32_t kTimerBankEmpty = 1;
constexpr uint32_t kTimerBankOutOfMemory = 2;

// Indexes are the low 16 bits of the argument; an index past the end does nothing.
class TimerBank {
 public:
  // Replaces the bank with n (low 16 bits) started stopwatches; the old ones are gone either way.
  [[nodiscard]] uint32_t Create(uint32_t n);
  void Free();
  [[nodiscard]] bool Start(uint32_t i);
  uint32_t GetElapsed(uint32_t i) const;
  [[nodiscard]] bool SetElapsed(uint32_t i, uint32_t ms);
  [[nodiscard]] bool Pause(uint32_t i);
  [[nodiscard]] bool Resume(uint32_t i);
  [[nodiscard]] bool PauseAll();
  [[nodiscard]] bool ResumeAll();

  uint16_t Count() const { return count_; }
  bool AllPaused() const { return allPaused_; }

 private:
  Stopwatch* At(uint32_t i) const;
  template <typename F>
  bool Apply(uint32_t i, F f) {
    Stopwatch* w = At(i);
    if (w) f(*w);
    return w != nullptr;
  }

  std::unique_ptr<Stopwatch[]> watches_;
  uint16_t count_ = 0;
  bool allPaused_ = false;
};

}  // namespace bw
