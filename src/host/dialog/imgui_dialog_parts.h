// What the dialog host's sources share: the host draws the menu bar, boxes and windows in
// imgui_dialog_host.cpp, the larger dialogs' pages, lists and controls in imgui_dialog_parts.cpp
// and the file choosers in imgui_file_chooser.cpp.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace bw::host {

// CP932 text as ImGui takes it.
std::string Utf8(std::string_view cp932);

// UTF-8 edit buffer with the field's CP932 limit.
struct EditBuffer {
  std::vector<char> bytes;
  size_t maxBytes = 0;

  void Set(std::string_view cp932);
  std::string Cp932() const;
};

}  // namespace bw::host
