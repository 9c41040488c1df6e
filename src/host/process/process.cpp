#include "host/process/process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "host/clock.h"

extern char** environ;

namespace bw::host {

Process::~Process() {
  if (pid_ > 0 && !ended_) {
    std::thread([pid = pid_] {
      while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  }
}

bool Process::Spawn(const std::string& program, const std::vector<std::string>& argv) {
  if (pid_ > 0 || argv.empty()) return false;
  std::vector<char*> args;
  for (const std::string& word : argv) args.push_back(const_cast<char*>(word.c_str()));
  args.push_back(nullptr);
  // Handles are not inherited: the child gets the standard streams and nothing else.
  posix_spawn_file_actions_t actions;
  if (::posix_spawn_file_actions_init(&actions) != 0) return false;
  pid_t pid = 0;
  // glibc's posix_spawn reports a failed exec as its own failure.
  int failed = ::posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  if (!failed)
    failed = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, args.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  if (failed) return false;
  pid_ = pid;
  ended_ = false;
  exitStatus_ = kStillActive;
  return true;
}

bool Process::Reap(bool block) {
  if (pid_ <= 0) return false;
  if (ended_) return true;
  int status = 0;
  pid_t r;
  do {
    r = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r != pid_) return false;
  ended_ = true;
  if (WIFEXITED(status)) {
    exitStatus_ = static_cast<uint32_t>(WEXITSTATUS(status));
  } else if (WIFSIGNALED(status)) {
    exitStatus_ = kSignalExitBase + static_cast<uint32_t>(WTERMSIG(status));
  }
  return true;
}

uint32_t Process::Wait(uint32_t timeoutMs) {
  if (!Started()) return kProcessWaitFailed;
  if (timeoutMs == kInfinite) return Reap(true) ? kWaitObject0 : kProcessWaitFailed;
  const uint32_t start = GetTickCount();
  while (!Reap(false)) {
    if (GetTickCount() - start >= timeoutMs) return kWaitTimeout;
    Sleep(1);
  }
  return kWaitObject0;
}

}  // namespace bw::host
