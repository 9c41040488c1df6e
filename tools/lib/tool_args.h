// Reading the command-line tools' arguments, and saying which one was wrong.
#pragma once

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

#include "lib/tool_exit.h"

namespace bw::tools {

// The whole of text as a number; false when any of it is not.
template <typename T>
[[nodiscard]] bool ParseNumber(std::string_view text, T* out) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, *out);
  return ec == std::errc() && ptr == end;
}

// A call the tool cannot take: says "TOOL: WHAT" on standard error, then the usage; answers
// kExitUsage for the caller to return.
inline int UsageError(const char* tool, const ToolUsage& usage, std::string_view what) {
  std::fprintf(stderr, "%s: %.*s\n", tool, static_cast<int>(what.size()), what.data());
  return PrintUsage(usage);
}

// A failure of the work itself: says "TOOL: WHAT" on standard error; answers kExitFailed.
inline int Failure(const char* tool, std::string_view what) {
  std::fprintf(stderr, "%s: %.*s\n", tool, static_cast<int>(what.size()), what.data());
  return kExitFailed;
}

// The value of the option at argv[i] (the argument after it), taken as a number: i moves past
// it. False, with words that name the option and the value, when it is missing or is not a
// number T holds.
template <typename T>
bool TakeNumber(int argc, char** argv, int& i, T* out, std::string* error) {
  const std::string option = argv[i];
  if (i + 1 >= argc) {
    *error = option + " needs a number after it";
    return false;
  }
  const std::string_view value = argv[++i];
  if (!ParseNumber(value, out)) {
    *error = option + " needs a number, not \"" + std::string(value) + "\"";
    return false;
  }
  return true;
}

// An argument that is no option of the tool: its one output file, kept in *outPath. False, with
// words, when it looks like an option or names a second file.
inline bool TakeOutputPath(const char* arg, const char** outPath, std::string* error) {
  const std::string_view text = arg;
  if (text.starts_with("--")) {
    *error = "unknown option " + std::string(text);
    return false;
  }
  if (*outPath != nullptr) {
    *error = "one output file only, not also " + std::string(text);
    return false;
  }
  *outPath = arg;
  return true;
}

}  // namespace bw::tools
