#pragma once

#include <vector>

#include "host/message_queue.h"

namespace bw::host::test {

// Takes every queued message of the window (of all windows for none), in order.
inline std::vector<MSG> TakeMessages(HWND hwnd = HWND{}) {
  std::vector<MSG> got;
  MSG msg;
  while (PeekMessage(&msg, hwnd, 0, 0, PM_REMOVE)) got.push_back(msg);
  return got;
}

}  // namespace bw::host::test
