// Starting other programs: what CreateProcess, WaitForSingleObject and GetExitCodeProcess gave
// the engine, on the host's processes. A command line is CP932 text split as Windows splits it; the
// program is an engine path mapped to a Linux one, or a bare name searched for as Windows
// searches (the application folder, the current folder, then PATH).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/process/process.h"
#include "platform/event.h"

namespace bw {

// Results of ChildProcess::Wait, with the values WaitForSingleObject uses; the time-out may be
// kInfinite (event.h).
constexpr uint32_t kWaitObject0 = 0;
constexpr uint32_t kWaitTimeout = 258;
constexpr uint32_t kProcessWaitFailed = 0xFFFFFFFFu;
// The exit code of a process that is still running.
constexpr uint32_t kStillActive = 259;
// A process ended by a signal reads as this plus the signal number, as shells show it.
using host::kSignalExitBase;

// Splits a CP932 command line into its words. The first word is the program: up to the closing
// quote when it starts with one, else up to the first space or tab. The rest follow the C
// run-time's rules: blanks separate outside quotes; 2n backslashes before a quote give n and the
// quote opens or closes; 2n + 1 give n and a literal quote; other backslashes stand as they are;
// "" inside quotes is a literal quote. A trail byte is never taken for a quote or backslash.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The Linux path of the program a command line names, or "" when none is found or it is not
// an executable file. Names with a separator or a drive resolve against the current folder.
std::string FindProgram(std::string_view program);

class ChildProcess {
 public:
  ChildProcess() = default;
  // Closing the handle leaves the process running; it is reaped in the background when it ends.
  ~ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts the CP932 command line; false when it is empty, names no program, has text without
  // a UTF-8 form, or the start fails.
  bool Start(std::string_view commandLine);
  // Starts linuxProgram with the UTF-8 words argv (argv[0] included), inheriting the current
  // folder, the environment and the standard streams, and no other open file.
  bool Spawn(const std::string& linuxProgram, const std::vector<std::string>& argv);

  // kWaitObject0 once the process has ended, kWaitTimeout when timeoutMs passed first (kInfinite:
  // never), kProcessWaitFailed without a process. A finite wait polls on the host clock.
  uint32_t Wait(uint32_t timeoutMs);
  // kStillActive until a wait has seen the end.
  uint32_t GetExitCode() const { return exitCode_; }
  int32_t Id() const { return process_.Id(); }

 private:
  // True when the process has ended (and is reaped); block waits for it.
  bool Reap(bool block);

  host::Process process_;
  uint32_t exitCode_ = kStillActive;
};

}  // namespace bw
