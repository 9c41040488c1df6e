#include "host/input/key_state.h"

#include <array>
#include <atomic>
#include <map>
#include <mutex>

namespace bw::host {

namespace {

constexpr int16_t kKeyDownBit = static_cast<int16_t>(0x8000);

struct KeptState {
  std::array<std::atomic<uint8_t>, 256> down{};
  std::array<std::atomic<uint8_t>, 256> downByMessages{};  // as the messages taken so far left it
  std::array<std::atomic<uint8_t>, 256> toggled{};
  std::atomic<int32_t> x{0};
  std::atomic<int32_t> y{0};
  std::atomic<bool> warpPending{false};
  std::mutex originLock;
  std::map<uint32_t, Point> origins;  // guarded by originLock
};

KeptState& State() {
  static KeptState state;
  return state;
}

uint8_t ButtonKey(MouseButton button) {
  switch (button) {
    case MouseButton::kLeft:
      return VK_LBUTTON;
    case MouseButton::kRight:
      return VK_RBUTTON;
    case MouseButton::kMiddle:
      return VK_MBUTTON;
  }
  return 0;
}

void SetPointer(HWND hwnd, const InputEvent& event) {
  Point origin = WindowOrigin(hwnd);
  RecordCursorPos(origin.x + event.x, origin.y + event.y);
}

}  // namespace

void RecordInputEvent(HWND hwnd, const InputEvent& event) {
  KeptState& state = State();
  switch (event.kind) {
    case InputEventKind::kKeyDown:
      if (event.virtualKey == 0) return;
      state.down[event.virtualKey].store(1, std::memory_order_relaxed);
      if (!event.repeat) state.toggled[event.virtualKey].fetch_xor(1, std::memory_order_relaxed);
      return;
    case InputEventKind::kKeyUp:
      state.down[event.virtualKey].store(0, std::memory_order_relaxed);
      return;
    case InputEventKind::kMouseButtonDown:
    case InputEventKind::kMouseButtonUp:
      state.down[ButtonKey(event.button)].store(
          event.kind == InputEventKind::kMouseButtonDown ? 1 : 0, std::memory_order_relaxed);
      SetPointer(hwnd, event);
      return;
    case InputEventKind::kMouseMove:
      SetPointer(hwnd, event);
      return;
    case InputEventKind::kActivate:
      // Keys released while another window had the focus never report their release.
      if (!event.active) ResetKeyState();
      return;
    default:
      return;
  }
}

void ResetKeyState() {
  for (auto& key : State().down) key.store(0, std::memory_order_relaxed);
  for (auto& key : State().downByMessages) key.store(0, std::memory_order_relaxed);
}

void RecordInputMessage(uint32_t message, WPARAM wParam) {
  int key = 0;
  bool down = false;
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      key = static_cast<int>(wParam & 0xFF), down = true;
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      key = static_cast<int>(wParam & 0xFF);
      break;
    case WM_LBUTTONDOWN:
      key = VK_LBUTTON, down = true;
      break;
    case WM_LBUTTONUP:
      key = VK_LBUTTON;
      break;
    case WM_RBUTTONDOWN:
      key = VK_RBUTTON, down = true;
      break;
    case WM_RBUTTONUP:
      key = VK_RBUTTON;
      break;
    case WM_MBUTTONDOWN:
      key = VK_MBUTTON, down = true;
      break;
    case WM_MBUTTONUP:
      key = VK_MBUTTON;
      break;
    default:
      return;
  }
  if (key != 0) State().downByMessages[key].store(down ? 1 : 0, std::memory_order_relaxed);
}

int16_t GetAsyncKeyState(int virtualKey) {
  if (virtualKey <= 0 || virtualKey > 255) return 0;
  return State().down[virtualKey].load(std::memory_order_relaxed) ? kKeyDownBit : 0;
}

int16_t GetKeyState(int virtualKey) {
  if (virtualKey <= 0 || virtualKey > 255) return 0;
  const KeptState& state = State();
  const int16_t held =
      state.downByMessages[virtualKey].load(std::memory_order_relaxed) ? kKeyDownBit : 0;
  return static_cast<int16_t>(held |
                              (state.toggled[virtualKey].load(std::memory_order_relaxed) & 1));
}

Point GetCursorPos() {
  return Point{State().x.load(std::memory_order_relaxed),
               State().y.load(std::memory_order_relaxed)};
}

void RecordCursorPos(int32_t x, int32_t y) {
  State().x.store(x, std::memory_order_relaxed);
  State().y.store(y, std::memory_order_relaxed);
}

void SetCursorPos(int32_t x, int32_t y) {
  RecordCursorPos(x, y);
  State().warpPending.store(true, std::memory_order_release);
}

bool TakeCursorWarp(Point* to) {
  if (!State().warpPending.exchange(false, std::memory_order_acq_rel)) return false;
  *to = GetCursorPos();
  return true;
}

void SetWindowOrigin(HWND hwnd, int32_t left, int32_t top) {
  std::lock_guard<std::mutex> hold(State().originLock);
  State().origins[hwnd.id] = Point{left, top};
}

Point WindowOrigin(HWND hwnd) {
  std::lock_guard<std::mutex> hold(State().originLock);
  auto it = State().origins.find(hwnd.id);
  return it == State().origins.end() ? Point{} : it->second;
}

}  // namespace bw::host
