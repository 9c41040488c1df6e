// The built program as a child process: its environment given, its standard output and error
// collected, signals sent to it, its end awaited for a bounded time.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace bw::test {

class ProgramProcess {
 public:
  // Starts program with the arguments; environment holds "NAME=value" items added to (or
  // replacing those of) this process's, and "NAME" items removed from it.
  ProgramProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment);
  // A child still running is killed.
  ~ProgramProcess();
  ProgramProcess(const ProgramProcess&) = delete;
  ProgramProcess& operator=(const ProgramProcess&) = delete;

  // Collects output until standard output or error holds text; false when the child ended or
  // the time ran out first.
  bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit);
  void Signal(int signal);
  // The raw wait status once the child has ended within limit; nothing while it still runs.
  std::optional<int> WaitForEnd(std::chrono::milliseconds limit);

  const std::string& Output() const { return out_; }
  const std::string& Errors() const { return err_; }

 private:
  // Reads what is there, waiting up to ms for more; false once both pipes are closed.
  bool Collect(int ms);

  pid_t pid_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  std::string out_;
  std::string err_;
  std::optional<int> status_;
};

// The status of a child that exited by itself, or -1 for one a signal ended or none.
int ExitCode(std::optional<int> waitStatus);

}  // namespace bw::test
