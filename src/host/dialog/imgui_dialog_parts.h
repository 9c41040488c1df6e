// What the dialog host's two sources share: the host draws the menu bar, boxes and windows in
// imgui_dialog_host.cpp and the larger dialogs' pages, lists and controls and the file choosers
// in imgui_dialog_parts.cpp.
#pragma once

#include <string>
#include <string_view>

namespace bw::host {

// CP932 text as ImGui takes it.
std::string Utf8(std::string_view cp932);

}  // namespace bw::host
