#include "platform/command_line.h"

#include <cstdlib>

#include "common/sjis.h"
#include "host/cp932.h"
#include "host/file/file_system.h"
#include "host/host_path.h"
#include "platform/app_paths.h"

namespace bw {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The program as an engine path resolved against a Linux folder.
std::string ProgramIn(std::string_view program, const std::string& folder) {
  std::string linuxPath;
  if (folder.empty() || host::EnginePathToLinuxPath(program, folder, linuxPath) != host::kPathOk) {
    return {};
  }
  return host::IsExecutableFile(linuxPath) ? linuxPath : std::string();
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
  if (sjis::FindFirstOf(program, ":\\/") != sjis::npos)
    return ProgramIn(program, host::CurrentFolder());

  std::string appFolder;
  if (!GetAppFolder().empty() &&
      host::EnginePathToLinuxPath(GetAppFolder(), appFolder) != host::kPathOk) {
    appFolder.clear();
  }
  for (const std::string& folder : {appFolder, host::CurrentFolder()}) {
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

bool StartCommandLine(host::Process& process, std::string_view commandLine) {
  std::vector<std::string> words = SplitCommandLine(commandLine);
  if (words.empty()) return false;
  std::string program = FindProgram(words[0]);
  if (program.empty()) return false;
  for (std::string& word : words) {
    host::Cp932Conversion utf8 = host::Cp932ToUtf8(word);
    if (!utf8.ok) return false;
    word = std::move(utf8.text);
  }
  return process.Spawn(program, words);
}

}  // namespace bw
