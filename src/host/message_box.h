// Message boxes: the title and text (CP932) also go to standard error in UTF-8; the dialog host
// draws the box, or where it cannot the backend shows it, and without either the box answers its
// default button.
#pragma once

#include <cstdint>
#include <string_view>

#include "host/backend.h"

namespace bw::host {

int MessageBox(HWND owner, std::string_view textCp932, std::string_view titleCp932, uint32_t style);

// What every box says also goes to standard error, as "[title] text" in UTF-8.
void EchoMessage(std::string_view titleCp932, std::string_view textCp932);

}  // namespace bw::host
