// SIGINT and SIGTERM: the first asks the game to close as its window's close button does; a
// second, or a game that shows no progress for five seconds after the first, ends the process at
// once with 128 + the signal's number. Progress is the frame loop's turns and the notes of work
// that goes on while the frame loop cannot turn (a modal dialog's message pump, closing's steps).
// The handler only writes the signal's number to a pipe; a watcher thread reads it and does the
// rest.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace bw::host {

class ClockSource;

// From any thread: work that shows the program alive and moving toward its end while the frame
// loop cannot turn, such as a modal dialog's message pump or a step of closing.
void NoteProgress();
// The frame loop's turns with the notes: what the watchdog watches.
uint64_t Progress(uint64_t frameTurns);

// The decisions, on times the caller gives, so that they are tried without waiting.
class StopWatchdog {
 public:
  enum class Action { kNone, kRequestClose, kExitNow };
  static constexpr uint64_t kStallLimitMs = 5000;

  // A signal came at nowMs, when the progress stood at progress.
  [[nodiscard]] Action OnSignal(int signal, uint64_t nowMs, uint64_t progress);
  // A look at the progress between signals.
  [[nodiscard]] Action OnTick(uint64_t nowMs, uint64_t progress);
  bool Signalled() const { return signal_ != 0; }
  // The status a forced end answers: 128 + the last signal's number.
  int ExitStatus() const { return 128 + signal_; }

 private:
  int signal_ = 0;
  uint64_t lastProgress_ = 0;
  uint64_t lastProgressMs_ = 0;  // when progress was last seen, or the first signal came
};

class StopSignalWatcher {
 public:
  struct Hooks {
    // Asks the game to close; false when there is no game to ask yet.
    std::function<bool()> requestClose;
    // The frame loop's turns so far; read from the watcher thread.
    std::function<uint64_t()> frameTurns;
    // The wall's time; null for the monotonic clock. A stuck game must end on real time,
    // whatever clock the game runs on.
    ClockSource* clock = nullptr;
  };

  StopSignalWatcher() = default;
  // Puts the default handlers back, then stops the watcher.
  ~StopSignalWatcher();
  StopSignalWatcher(const StopSignalWatcher&) = delete;
  StopSignalWatcher& operator=(const StopSignalWatcher&) = delete;

  // Installs the handlers and starts the watcher; false (nothing installed) when the pipe or
  // the handlers cannot be had.
  [[nodiscard]] bool Start(Hooks hooks);

 private:
  void Watch();

  Hooks hooks_;
  int pipe_[2] = {-1, -1};
  std::atomic<bool> stopping_{false};
  std::thread watcher_;
};

}  // namespace bw::host
