// Reading the command-line tools' arguments.
#pragma once

#include <charconv>
#include <string_view>

namespace bw::tools {

// The whole of text as a number; false when any of it is not.
template <typename T>
bool ParseNumber(std::string_view text, T* out) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, *out);
  return ec == std::errc() && ptr == end;
}

}  // namespace bw::tools
