// Words of the shell commands the windowed tests run: paths and input plans may hold spaces,
// Japanese text and quotes.
#pragma once

#include <string>

namespace bw::test {

// text as one single-quoted shell word.
inline std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace bw::test
