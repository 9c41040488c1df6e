#include "app/window/window.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <string_view>

#include "host/message_queue.h"
#include "platform/monitor_list.h"

namespace bw {
namespace {

constexpr uint16_t kFirstAtom = 0xC000;

// The system's own control classes are never registered by us.
bool IsSystemClass(std::string_view name) {
  static constexpr std::array<std::string_view, 7> kSystem = {
      "BUTTON", "COMBOBOX", "EDIT", "LISTBOX", "MDICLIENT", "SCROLLBAR", "STATIC"};
  return std::find(kSystem.begin(), kSystem.end(), name) != kSystem.end();
}

std::mutex classLock;
std::vector<std::string>& Classes() {  // guarded by classLock
  static std::vector<std::string> classes;
  return classes;
}

host::DesktopInfo CurrentDesktop() {
  host::Backend* backend = host::CurrentBackend();
  return backend ? backend->Desktop() : host::DesktopInfo{};
}

}  // namespace

Window::~Window() {
  // The handlers' owner is being torn down as well: the last messages get no handler of its, and
  // no quit is left for a loop of its.
  map_.clear();
  quitOnDestroy_ = false;
  Destroy();
}

int Window::OnMessage(WindowMessage& record) {
  if (record.message == host::WM_DESTROY && quitOnDestroy_) {
    host::PostQuitMessage(0);
    return kHandled;
  }
  return kNotHandled;
}

uint16_t Window::Register(const WindowCreateRecord& record) {
  if (record.className.empty()) return 0;
  std::lock_guard<std::mutex> guard(classLock);
  auto& classes = Classes();
  auto it = std::find(classes.begin(), classes.end(), record.className);
  if (it == classes.end()) it = classes.insert(classes.end(), record.className);
  return uint16_t(kFirstAtom + (it - classes.begin()));
}

host::Rect Window::ComputeWindowRect(int32_t clientWidth, int32_t clientHeight, uint32_t, uint32_t,
                                     bool, bool applyPlacement, int32_t left, int32_t top) const {
  host::Rect outer{0, 0, clientWidth, clientHeight};
  if (!applyPlacement) return outer;
  const int32_t width = outer.Width(), height = outer.Height();
  if (placement_ == kPlaceAsGiven) return {left, top, width, height};
  const host::DesktopInfo desktop = CurrentDesktop();
  if (desktop.monitors.size() >= 2) {
    // Mode 1 keeps a position inside any monitor's work area; the others always centre.
    const MonitorList monitors(MonitorFactsFromDesktop(desktop));
    int32_t x = left, y = top;
    // A refused placement (an empty size) keeps the position asked.
    (void)monitors.PlaceWindow(&x, &y, width, height, placement_ != kPlaceInsideOrCentre, true);

    return {x, y, width, height};
  }
  const host::Rect work = desktop.monitors.empty() ? host::Rect{0, 0, desktop.width, desktop.height}
                                                   : desktop.monitors.front().workArea;
  // The saved position comes from the settings file: added in 64 bits.
  const bool fits = left >= 0 && top >= 0 && int64_t{left} + width <= work.Width() &&
                    int64_t{top} + height <= work.Height();
  if ((placement_ == kPlaceInsideOrCentre && fits) || placement_ > kPlaceCentre) {
    return {left, top, width, height};
  }
  int32_t x = work.Width() / 2 - width / 2, y = work.Height() / 2 - height / 2;
  if (x < 0 || y < 0) x = y = 0;
  return {x, y, width, height};
}

int Window::Create(const WindowCreateRecord& record, bool quitOnDestroy, bool registerFirst,
                   host::HWND owner) {
  if (registerFirst && !IsSystemClass(record.className) && Register(record) == 0)
    return kRegisterFailed;
  quitOnDestroy_ = quitOnDestroy;
  placement_ = record.placement;
  const host::Rect placed =
      ComputeWindowRect(record.clientWidth, record.clientHeight, record.style, record.exStyle,
                        record.menuId > 0, true, record.left, record.top);
  host::WindowDesc desc;
  desc.proc = &Window::Procedure;
  desc.userData = this;
  desc.native = !owner && host::IsEventThread() && host::CurrentBackend() != nullptr;
  desc.owner = owner;
  desc.nativeDesc.title = record.title;
  desc.nativeDesc.width = placed.right;  // the outer width
  desc.nativeDesc.height = placed.bottom;
  desc.nativeDesc.visible = (record.style & WS_VISIBLE) != 0;
  style_ = record.style;
  exStyle_ = record.exStyle;
  deletedSystemItems_.clear();
  const host::HWND hwnd = host::CreateWindow(desc);
  if (!hwnd) return kCreateFailed;
  handle_ = hwnd;
  // A window the platform cannot place opens where it puts it; one that offers no maximise
  // keeps its size either way.
  if (desc.native || owner) (void)host::MoveWindow(hwnd, placed.left, placed.top);
  if (style_ & WS_MAXIMIZEBOX) (void)host::SetWindowMaximizable(hwnd, true);
  return kCreated;
}

void Window::SetStyle(uint32_t style, uint32_t exStyle) {
  const bool boxChanged = ((style ^ style_) & WS_MAXIMIZEBOX) != 0;
  style_ = style;
  exStyle_ = exStyle;
  // Where the platform cannot offer it the window keeps its size either way.
  if (boxChanged && IsWindow())
    (void)host::SetWindowMaximizable(handle_, (style & WS_MAXIMIZEBOX) != 0);
}

void Window::DeleteSystemMenuItem(uint32_t command) {
  command &= host::kSysCommandMask;
  if (HasSystemMenuItem(command)) deletedSystemItems_.push_back(command);
}

bool Window::HasSystemMenuItem(uint32_t command) const {
  command &= host::kSysCommandMask;
  return std::find(deletedSystemItems_.begin(), deletedSystemItems_.end(), command) ==
         deletedSystemItems_.end();
}

void Window::Retire(std::unique_ptr<MessageHandler> handler) {
  if (dispatchDepth_ > 0 && handler) retired_.push_back(std::move(handler));
}

void Window::Bind(uint32_t message, std::unique_ptr<MessageHandler> handler) {
  std::unique_ptr<MessageHandler>& slot = map_[message];
  Retire(std::move(slot));
  slot = std::move(handler);
}

void Window::Destroy() {
  if (IsWindow()) (void)host::DestroyWindow(handle_);  // found just now: it goes
  handle_ = host::HWND{};
  for (auto& [message, handler] : map_) Retire(std::move(handler));
  map_.clear();
}

host::LRESULT Window::SendMessage(uint32_t message, host::WPARAM wParam, host::LPARAM lParam) {
  return IsWindow() ? host::SendMessage(handle_, message, wParam, lParam) : 0;
}

bool Window::PostMessage(uint32_t message, host::WPARAM wParam, host::LPARAM lParam) {
  return IsWindow() && host::PostMessage(handle_, message, wParam, lParam);
}

bool Window::IsWindow() const {
  return handle_ && host::IsWindow(handle_);
}

host::LRESULT Window::Procedure(host::HWND hwnd, uint32_t message, host::WPARAM wParam,
                                host::LPARAM lParam) {
  auto* window = static_cast<Window*>(host::GetWindowUserData(hwnd));
  if (!window) return host::DefWindowProc(hwnd, message, wParam, lParam);
  // WM_CREATE arrives before CreateWindow has returned the handle.
  if (message == host::WM_CREATE) window->handle_ = hwnd;
  return window->Dispatch(message, wParam, lParam);
}

host::LRESULT Window::Dispatch(uint32_t message, host::WPARAM wParam, host::LPARAM lParam) {
  const host::HWND hwnd = handle_;
  WindowMessage record{this, message, wParam, lParam, 0};
  ++dispatchDepth_;
  bool handled = false;
  if (auto it = map_.find(message); it != map_.end() && it->second) {
    handled = it->second->Invoke(record) == kHandled;
  }
  if (!handled) handled = OnMessage(record) == kHandled;
  // A handler that lets default processing follow may have changed the parameters for it.
  if (!handled) record.result = host::DefWindowProc(hwnd, message, record.wParam, record.lParam);
  if (--dispatchDepth_ == 0) retired_.clear();
  return record.result;
}

}  // namespace bw
