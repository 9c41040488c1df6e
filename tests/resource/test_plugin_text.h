// What the test plug-ins share: their packs' text form (a magic line, then "name=content" lines)
// and the Susie plug-ins' GetPluginInfo answer.
#pragma once

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace bw::test {

// The members of the text pack at path, in order; none when its first line is not magic.
inline std::vector<std::pair<std::string, std::string>> ReadLinePack(const std::string& path,
                                                                     const char* magic) {
  std::vector<std::pair<std::string, std::string>> members;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!std::getline(in, line) || line != magic) return members;
  while (std::getline(in, line)) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) members.emplace_back(line.substr(0, eq), line.substr(eq + 1));
  }
  return members;
}

// GetPluginInfo's answer, cut to the buffer: 0 the kind, 2 the extensions, 3 the description.
inline int PluginInfo(int number, char* buffer, int length, const char* kind,
                      const char* extensions, const char* description) {
  const char* text = number == 0   ? kind
                     : number == 2 ? extensions
                     : number == 3 ? description
                                   : nullptr;
  if (!text) return 0;
  const int n = std::min(static_cast<int>(std::strlen(text)), length - 1);
  std::memcpy(buffer, text, static_cast<size_t>(n));
  buffer[n] = '\0';
  return n;
}

}  // namespace bw::test
