// What both test Susie plug-ins answer GetPluginInfo with: the text, cut to the buffer.
#pragma once

#include <cstring>

namespace bw::test {

inline int CopyPluginInfo(const char* text, char* buffer, int length) {
  int n = static_cast<int>(std::strlen(text));
  if (n >= length) n = length - 1;
  std::memcpy(buffer, text, static_cast<size_t>(n));
  buffer[n] = '\0';
  return n;
}

}  // namespace bw::test
