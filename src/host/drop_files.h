// The file lists behind WM_DROPFILES: the message carries a drop handle; the receiver reads the
// names and finishes the drop, which frees it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bw::host {

using HDROP = uintptr_t;  // 0 is none

// Answers 0 for an empty list.
HDROP CreateDrop(std::vector<std::string> files);
// The number of names, 0 for a finished or unknown drop.
uint32_t DragQueryFileCount(HDROP drop);
// One name (a Linux path, UTF-8); nothing past the end or for an unknown drop.
std::optional<std::string> DragQueryFile(HDROP drop, uint32_t index);
void DragFinish(HDROP drop);

}  // namespace bw::host
