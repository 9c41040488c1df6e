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

// GetPluginInfo's answer: 0 the kind, 2 the extensions, 3 the description.
inline int PluginInfo(int number, char* buffer, int length, const char* kind,
                      const char* extensions, const char* description) {
  const char* text = number == 0   ? kind
                     : number == 2 ? extensions
                     : number == 3 ? description
                                   : nullptr;
  return text ? CopyPluginInfo(text, buffer, length) : 0;
}

}  // namespace bw::test
