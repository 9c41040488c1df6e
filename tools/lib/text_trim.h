// Trimming the blanks around a word of the tools' text forms.
#pragma once

#include <cctype>
#include <string_view>

namespace bw::tools {

inline bool IsBlank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

inline std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace bw::tools
