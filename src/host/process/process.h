// Another program started by this one: spawned with its words and the environment, waited for
// and reaped. A handle dropped while the program runs leaves it running; it is reaped in the
// background when it ends, so it never lingers as a zombie.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bw::host {

// A program ended by a signal reads as this plus the signal number, as shells show it.
constexpr uint32_t kSignalExitBase = 128;
// The exit code of a program that is still running.
constexpr uint32_t kStillActive = 259;
// Results of Process::Wait, with the values WaitForSingleObject uses.
constexpr uint32_t kWaitObject0 = 0;
constexpr uint32_t kWaitTimeout = 258;
constexpr uint32_t kProcessWaitFailed = 0xFFFFFFFFu;

class Process {
 public:
  Process() = default;
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Starts program (a Linux path) with the UTF-8 words argv (argv[0] included), inheriting the
  // current folder, the environment and the standard streams, and no other open file. False
  // when this handle already has a program, argv is empty, or the start (the exec) fails.
  [[nodiscard]] bool Spawn(const std::string& program, const std::vector<std::string>& argv);
  bool Started() const { return pid_ > 0; }
  // True once the program has ended and is reaped; block waits for the end.
  [[nodiscard]] bool Reap(bool block);
  // kWaitObject0 once the program has ended, kWaitTimeout when timeoutMs passed first
  // (kInfinite: never), kProcessWaitFailed without a program. A finite wait polls on the host
  // clock.
  [[nodiscard]] uint32_t Wait(uint32_t timeoutMs);
  // The exit code, or kSignalExitBase + the signal; kStillActive until a reap has seen the end.
  uint32_t ExitStatus() const { return exitStatus_; }
  // The system's number of the process; 0 before a start.
  int32_t Id() const { return pid_; }

 private:
  int32_t pid_ = 0;
  bool ended_ = false;
  uint32_t exitStatus_ = kStillActive;
};

}  // namespace bw::host
