#include "program/program_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

extern char** environ;

namespace bw::test {

namespace {

std::string NameOf(const std::string& item) {
  return item.substr(0, item.find('='));
}

std::vector<std::string> ChildEnvironment(const std::vector<std::string>& changes) {
  std::vector<std::string> result;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string item = *e;
    bool changed = false;
    for (const std::string& change : changes) changed = changed || NameOf(change) == NameOf(item);
    if (!changed) result.push_back(std::move(item));
  }
  for (const std::string& change : changes) {
    if (change.find('=') != std::string::npos) result.push_back(change);
  }
  return result;
}

std::vector<char*> Pointers(std::vector<std::string>& items) {
  std::vector<char*> pointers;
  for (std::string& item : items) pointers.push_back(item.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

ProgramProcess::ProgramProcess(const std::string& program,
                               const std::vector<std::string>& arguments,
                               const std::vector<std::string>& environment) {
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return;
  if (::pipe2(err, O_CLOEXEC) != 0) {
    ::close(out[0]);
    ::close(out[1]);
    return;
  }
  // Everything the child needs is made before the fork: after it only exec-safe calls run.
  std::vector<std::string> argumentItems{program};
  argumentItems.insert(argumentItems.end(), arguments.begin(), arguments.end());
  std::vector<std::string> environmentItems = ChildEnvironment(environment);
  std::vector<char*> argv = Pointers(argumentItems);
  std::vector<char*> envp = Pointers(environmentItems);
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  outFd_ = out[0];
  errFd_ = err[0];
  if (pid_ < 0) {
    ::close(outFd_);
    ::close(errFd_);
    outFd_ = errFd_ = -1;
  }
}

ProgramProcess::~ProgramProcess() {
  if (pid_ > 0 && !status_) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  if (outFd_ >= 0) ::close(outFd_);
  if (errFd_ >= 0) ::close(errFd_);
}

bool ProgramProcess::Collect(int ms) {
  pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
  if (outFd_ < 0 && errFd_ < 0) return false;
  if (::poll(fds, 2, ms) <= 0) return true;
  int* owners[2] = {&outFd_, &errFd_};
  std::string* sinks[2] = {&out_, &err_};
  for (int i = 0; i < 2; ++i) {
    if (*owners[i] < 0 || fds[i].revents == 0) continue;
    char buffer[4096];
    ssize_t n = ::read(*owners[i], buffer, sizeof buffer);
    if (n > 0) {
      sinks[i]->append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      ::close(*owners[i]);
      *owners[i] = -1;
    }
  }
  return outFd_ >= 0 || errFd_ >= 0;
}

bool ProgramProcess::WaitForOutput(const std::string& text, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  const auto seen = [&] {
    return out_.find(text) != std::string::npos || err_.find(text) != std::string::npos;
  };
  while (!seen() && std::chrono::steady_clock::now() < end && Collect(50)) {
  }
  return seen();
}

void ProgramProcess::Signal(int signal) {
  if (pid_ > 0 && !status_) ::kill(pid_, signal);
}

std::optional<int> ProgramProcess::WaitForEnd(std::chrono::milliseconds limit) {
  if (pid_ <= 0 || status_) return status_;
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = status;
      // What the child wrote last; a pipe some grandchild still holds is not waited for long.
      for (int i = 0; i < 50 && Collect(10);) ++i;
      return status_;
    }
    if (std::chrono::steady_clock::now() >= end) return std::nullopt;
    Collect(20);
  }
}

int ExitCode(std::optional<int> waitStatus) {
  return waitStatus && WIFEXITED(*waitStatus) ? WEXITSTATUS(*waitStatus) : -1;
}

}  // namespace bw::test
