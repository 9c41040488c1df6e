#include "platform/child_process.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

#include "common/sjis.h"
#include "host/clock.h"
#include "host/cp932.h"
#include "host/host_path.h"
#include "platform/app_paths.h"

extern char** environ;

namespace bw {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string CurrentFolder() {
  std::string folder(kMaxPath, '\0');
  while (getcwd(folder.data(), folder.size()) == nullptr) {
    if (errno != ERANGE) return {};
    folder.resize(folder.size() * 2);
  }
  folder.resize(folder.find('\0'));
  return folder;
}

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         access(path.c_str(), X_OK) == 0;
}

// The program as an engine path resolved against a Linux folder.
std::string ProgramIn(std::string_view program, const std::string& folder) {
  std::string linuxPath;
  if (folder.empty() || host::EnginePathToLinuxPath(program, folder, linuxPath) != host::kPathOk) {
    return {};
  }
  return IsExecutableFile(linuxPath) ? linuxPath : std::string();
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (i == line.size()) return words;

  // The program: no backslash rules, a quote only at the start.
  std::string program;
  if (line[i] == '"') {
    ++i;
    while (i < line.size() && line[i] != '"') {
      size_t next = sjis::Next(line, i);
      program.append(line.substr(i, next - i));
      i = next;
    }
    if (i < line.size()) ++i;
  } else {
    while (i < line.size() && !IsBlank(line[i])) {
      size_t next = sjis::Next(line, i);
      program.append(line.substr(i, next - i));
      i = next;
    }
  }
  words.push_back(std::move(program));

  while (true) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i == line.size()) break;
    std::string word;
    bool quoted = false;
    while (i < line.size() && (quoted || !IsBlank(line[i]))) {
      if (line[i] == '\\') {
        size_t run = 0;
        while (i < line.size() && line[i] == '\\') ++run, ++i;
        if (i < line.size() && line[i] == '"') {
          word.append(run / 2, '\\');
          if (run % 2 == 1) {
            word += '"';
            ++i;
          }
        } else {
          word.append(run, '\\');
        }
        continue;
      }
      if (line[i] == '"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          word += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
        continue;
      }
      size_t next = sjis::Next(line, i);
      word.append(line.substr(i, next - i));
      i = next;
    }
    words.push_back(std::move(word));
  }
  return words;
}

std::string FindProgram(std::string_view program) {
  if (program.empty()) return {};
  if (sjis::FindFirstOf(program, ":\\/") != sjis::npos) return ProgramIn(program, CurrentFolder());

  std::string appFolder;
  if (!GetAppFolder().empty() &&
      host::EnginePathToLinuxPath(GetAppFolder(), appFolder) != host::kPathOk) {
    appFolder.clear();
  }
  for (const std::string& folder : {appFolder, CurrentFolder()}) {
    std::string found = ProgramIn(program, folder);
    if (!found.empty()) return found;
  }
  const char* path = std::getenv("PATH");
  std::string_view rest = path ? path : "";
  while (!rest.empty()) {
    size_t colon = rest.find(':');
    std::string folder(rest.substr(0, colon));
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    if (folder.empty() || folder[0] != '/') continue;  // relative PATH entries are not trusted
    std::string found = ProgramIn(program, folder);
    if (!found.empty()) return found;
  }
  return {};
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !ended_) {
    std::thread([pid = pid_] {
      while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  }
}

bool ChildProcess::Start(std::string_view commandLine) {
  std::vector<std::string> words = SplitCommandLine(commandLine);
  if (words.empty()) return false;
  std::string program = FindProgram(words[0]);
  if (program.empty()) return false;
  for (std::string& word : words) {
    host::Cp932Conversion utf8 = host::Cp932ToUtf8(word);
    if (!utf8.ok) return false;
    word = std::move(utf8.text);
  }
  return Spawn(program, words);
}

bool ChildProcess::Spawn(const std::string& linuxProgram, const std::vector<std::string>& argv) {
  if (pid_ > 0 || argv.empty()) return false;
  std::vector<char*> args;
  for (const std::string& word : argv) args.push_back(const_cast<char*>(word.c_str()));
  args.push_back(nullptr);
  // Handles are not inherited: the child gets the standard streams and nothing else.
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  pid_t pid = 0;
  // glibc's posix_spawn reports a failed exec as its own failure.
  int failed = posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  if (!failed) {
    failed = posix_spawn(&pid, linuxProgram.c_str(), &actions, nullptr, args.data(), environ);
  }
  posix_spawn_file_actions_destroy(&actions);
  if (failed) return false;
  pid_ = pid;
  ended_ = false;
  exitCode_ = kStillActive;
  return true;
}

bool ChildProcess::Reap(bool block) {
  if (ended_) return true;
  int status = 0;
  pid_t r;
  do {
    r = waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r != pid_) return false;
  ended_ = true;
  if (WIFEXITED(status)) {
    exitCode_ = static_cast<uint32_t>(WEXITSTATUS(status));
  } else if (WIFSIGNALED(status)) {
    exitCode_ = kSignalExitBase + static_cast<uint32_t>(WTERMSIG(status));
  }
  return true;
}

uint32_t ChildProcess::Wait(uint32_t timeoutMs) {
  if (pid_ <= 0) return kProcessWaitFailed;
  if (timeoutMs == kInfinite) return Reap(true) ? kWaitObject0 : kProcessWaitFailed;
  uint32_t start = host::GetTickCount();
  while (!Reap(false)) {
    if (host::GetTickCount() - start >= timeoutMs) return kWaitTimeout;
    host::Sleep(1);
  }
  return kWaitObject0;
}

}  // namespace bw
