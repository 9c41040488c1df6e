// The exit statuses of the command-line tools, and their usage message.
#pragma once

#include <cstdio>
#include <cstring>

namespace bw::tools {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// What a tool is for, in a sentence, and how it is called.
struct ToolUsage {
  const char* purpose;
  const char* usage;
};

inline void WriteUsage(const ToolUsage& usage, std::FILE* to) {
  std::fprintf(to, "%s\n%s", usage.purpose, usage.usage);
}

// Prints the usage to standard error; answers kExitUsage for the caller to return.
inline int PrintUsage(const ToolUsage& usage) {
  WriteUsage(usage, stderr);
  return kExitUsage;
}

// With --help or -h as the only argument, prints the usage to standard output and answers true.
inline bool PrintHelpIfAsked(int argc, char** argv, const ToolUsage& usage) {
  if (argc != 2 || (std::strcmp(argv[1], "--help") != 0 && std::strcmp(argv[1], "-h") != 0)) {
    return false;
  }
  WriteUsage(usage, stdout);
  return true;
}

}  // namespace bw::tools
