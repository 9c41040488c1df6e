// The exit statuses of the command-line tools, and their usage message.
#pragma once

#include <cstdio>

namespace bw::tools {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Prints the usage text to standard error; answers kExitUsage for the caller to return.
inline int PrintUsage(const char* text) {
  std::fputs(text, stderr);
  return kExitUsage;
}

}  // namespace bw::tools
