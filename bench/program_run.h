// The built program run whole on the demo game, for the benchmarks that measure a game as a
// player runs it: a fresh copy of the game per run with the settings it ships with, the program
// started with extra environment and its standard output in a file, and its processor time.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace bw::bench {

namespace fs = std::filesystem;

// A folder of its own under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "brimwold-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

// The demo game as the build made it, without the saves a run by hand left there, with the
// settings it ships with; false when it cannot be copied.
inline bool CopyDemoGame(const fs::path& to) {
  const fs::path from = BRIMWOLD_DEMO_GAME;
  std::error_code error;
  fs::create_directories(to / "SAVEDATA", error);
  for (const fs::directory_entry& entry : fs::directory_iterator(from, error)) {
    if (entry.path().filename() == "SAVEDATA") continue;
    fs::copy(entry.path(), to / entry.path().filename(), fs::copy_options::recursive, error);
    if (error) return false;
  }
  fs::copy_file(from.parent_path() / "stage" / "APP_CFG.DAT", to / "SAVEDATA" / "APP_CFG.DAT",
                error);
  return !error;
}

// Starts program with arguments; environment holds "NAME=value" items that are added or replace
// this process's. Standard output goes to output (none: discarded), standard error is discarded.
// The child's id, or -1.
inline pid_t StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment,
                          const fs::path& output = {}) {
  std::vector<std::string> items;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string item = *e;
    const std::string name = item.substr(0, item.find('='));
    bool replaced = false;
    for (const std::string& change : environment)
      replaced = replaced || change.substr(0, change.find('=')) == name;
    if (!replaced) items.push_back(item);
  }
  items.insert(items.end(), environment.begin(), environment.end());
  std::vector<std::string> argumentItems{program};
  argumentItems.insert(argumentItems.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv, envp;
  for (std::string& a : argumentItems) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (std::string& e : items) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string outPath = output.empty() ? "/dev/null" : output.string();
  const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (out < 0 || null < 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(out);
  ::close(null);
  return pid;
}

struct Ended {
  int exitCode = -1;      // -1 when a signal ended it
  double cpuSeconds = 0;  // user and system time of the whole run
};

inline Ended WaitForProgram(pid_t pid) {
  Ended ended;
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid) return ended;
  if (WIFEXITED(status)) ended.exitCode = WEXITSTATUS(status);
  ended.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  return ended;
}

// The processor time a running process has used so far, from /proc; -1 when it cannot be read.
inline double ProcessCpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // The command name in brackets may hold spaces: the fields are counted after its end.
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  unsigned long long user = 0, system = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) user = std::stoull(field);
    if (i == 15) system = std::stoull(field);
  }
  return double(user + system) / double(::sysconf(_SC_CLK_TCK));
}

}  // namespace bw::bench
