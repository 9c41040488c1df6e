#include "host/message_queue.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "common/never_destroyed.h"
#include "host/clock.h"
#include "host/input/key_state.h"
#include "host/input_event.h"

namespace bw::host {

namespace {

struct ThreadQueue;

struct SendRecord {
  HWND hwnd;
  uint32_t message;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT result = 0;
  bool done = false;
  std::shared_ptr<ThreadQueue> sender;
};

struct ThreadQueue {
  uint32_t threadId = 0;
  bool alive = true;
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<SendRecord>> sends;
  bool quitPending = false;
  int quitCode = 0;
  std::condition_variable wake;
};

struct WindowEntry {
  HWND hwnd;
  std::shared_ptr<ThreadQueue> owner;
  WindowProc proc = nullptr;
  void* userData = nullptr;
  bool native = false;
  bool paintPending = false;
  bool destroying = false;
  HWND ownerWindow;  // set for an owned popup
  bool visible = false;
  bool minimized = false;
  bool disabled = false;  // takes no keyboard or pointer input
  Rect placed;            // an owned popup's outer rectangle
};

// One lock guards every queue, window and the backend choice: sends cross threads in both
// directions, and a single lock keeps their hand-offs free of ordering puzzles.
struct Registry {
  std::mutex lock;
  std::unordered_map<uint32_t, std::shared_ptr<WindowEntry>> windows;  // guarded by lock
  std::unordered_map<uint32_t, std::weak_ptr<ThreadQueue>> threads;    // guarded by lock
  uint32_t nextWindowId = 1;                                           // guarded by lock
  Backend* backend = nullptr;  // guarded by lock; the registry's backend, as installed
  uint32_t eventThreadId = 0;  // guarded by lock
};

// Never destroyed: thread-exit cleanup may run after static destructors.
Registry& TheRegistry() {
  static NeverDestroyed<Registry> registry;
  return registry.Get();
}

// Ids for threads as each first asks for its own; atomic.
std::atomic<uint32_t> g_nextThreadId{1};

void FailSendLocked(SendRecord& record);
void WakeLocked(Registry& r, ThreadQueue& q);

// Holds the calling thread's queue; at thread exit its windows go away and its waiting senders
// are released with 0.
struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  ~QueueHolder() {
    if (!queue) return;
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    queue->alive = false;
    r.threads.erase(queue->threadId);
    for (auto it = r.windows.begin(); it != r.windows.end();) {
      if (it->second->owner == queue) {
        it = r.windows.erase(it);
      } else {
        ++it;
      }
    }
    for (auto& record : queue->sends) FailSendLocked(*record);
    queue->sends.clear();
    queue->posted.clear();
  }
};

// Each thread's own id and queue.
thread_local uint32_t t_threadId = 0;
thread_local QueueHolder t_queue;

uint32_t CurrentThreadIdValue() {
  if (t_threadId == 0) t_threadId = g_nextThreadId.fetch_add(1);
  return t_threadId;
}

// The calling thread's queue, made on first use. Caller holds the lock.
ThreadQueue& OwnQueueLocked(Registry& r) {
  if (!t_queue.queue) {
    auto q = std::make_shared<ThreadQueue>();
    q->threadId = CurrentThreadIdValue();
    r.threads[q->threadId] = q;
    t_queue.queue = std::move(q);
  }
  return *t_queue.queue;
}

bool IsEventThreadLocked(const Registry& r) {
  return r.backend != nullptr && r.eventThreadId == CurrentThreadIdValue();
}

void WakeLocked(Registry& r, ThreadQueue& q) {
  if (r.backend != nullptr && q.threadId == r.eventThreadId) {
    r.backend->Wake();
  } else {
    q.wake.notify_all();
  }
}

void FailSendLocked(SendRecord& record) {
  record.result = 0;
  record.done = true;
  if (record.sender) WakeLocked(TheRegistry(), *record.sender);
}

std::shared_ptr<WindowEntry> FindLocked(Registry& r, HWND hwnd) {
  if (!hwnd) return nullptr;
  auto it = r.windows.find(hwnd.id);
  return it == r.windows.end() ? nullptr : it->second;
}

// Runs every send waiting for this thread. Called and returns with the lock held; the lock is
// released while a procedure runs. Answers whether any send was served.
bool ServeSendsLocked(Registry& r, std::unique_lock<std::mutex>& lock, ThreadQueue& q) {
  bool served = false;
  while (!q.sends.empty()) {
    std::shared_ptr<SendRecord> record = q.sends.front();
    q.sends.pop_front();
    auto window = FindLocked(r, record->hwnd);
    LRESULT result = 0;
    if (window && window->owner.get() == &q && window->proc) {
      WindowProc proc = window->proc;
      lock.unlock();
      result = proc(record->hwnd, record->message, record->wParam, record->lParam);
      lock.lock();
    }
    record->result = result;
    record->done = true;
    if (record->sender && record->sender->alive) WakeLocked(r, *record->sender);
    served = true;
  }
  return served;
}

// On the event thread, lets the backend turn platform events into messages. Lock held on entry
// and exit.
void PumpBackendLocked(Registry& r, std::unique_lock<std::mutex>& lock) {
  if (!IsEventThreadLocked(r)) return;
  Backend* backend = r.backend;
  lock.unlock();
  backend->PumpEvents();
  lock.lock();
}

// Blocks the calling thread until something may have changed. Lock held on entry and exit.
void BlockLocked(Registry& r, std::unique_lock<std::mutex>& lock, ThreadQueue& q) {
  if (IsEventThreadLocked(r)) {
    Backend* backend = r.backend;
    lock.unlock();
    backend->WaitEvents();
    lock.lock();
  } else {
    q.wake.wait(lock);
  }
}

bool InRange(uint32_t message, uint32_t filterMin, uint32_t filterMax) {
  if (filterMin == 0 && filterMax == 0) return true;
  return message >= filterMin && message <= filterMax;
}

// Finds (and with remove takes) the next message that passes the filters. Lock held.
bool TakeLocked(Registry& r, ThreadQueue& q, MSG* msg, HWND hwnd, uint32_t filterMin,
                uint32_t filterMax, bool remove) {
  for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
    if (hwnd && it->hwnd != hwnd) continue;
    if (!InRange(it->message, filterMin, filterMax)) continue;
    *msg = *it;
    if (remove) {
      q.posted.erase(it);
      RecordInputMessage(msg->message, msg->wParam);
    }
    return true;
  }
  if (InRange(WM_PAINT, filterMin, filterMax)) {
    for (auto& [id, window] : r.windows) {
      if (window->owner.get() != &q || !window->paintPending) continue;
      if (hwnd && window->hwnd != hwnd) continue;
      *msg = MSG{window->hwnd, WM_PAINT, 0, 0, GetTickCount()};
      if (remove) window->paintPending = false;
      return true;
    }
  }
  if (q.quitPending && !hwnd && InRange(WM_QUIT, filterMin, filterMax)) {
    *msg = MSG{HWND{}, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, GetTickCount()};
    if (remove) q.quitPending = false;
    return true;
  }
  return false;
}

bool HasAnythingLocked(Registry& r, ThreadQueue& q) {
  MSG ignored;
  return TakeLocked(r, q, &ignored, HWND{}, 0, 0, false);
}

bool PostToQueueLocked(Registry& r, ThreadQueue& q, HWND hwnd, uint32_t message, WPARAM wParam,
                       LPARAM lParam) {
  if (!q.alive) return false;
  q.posted.push_back(MSG{hwnd, message, wParam, lParam, GetTickCount()});
  WakeLocked(r, q);
  return true;
}

LRESULT CallProc(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
  Registry& r = TheRegistry();
  WindowProc proc = nullptr;
  {
    std::lock_guard<std::mutex> guard(r.lock);
    auto window = FindLocked(r, hwnd);
    if (!window || window->owner.get() != &OwnQueueLocked(r)) return 0;
    proc = window->proc;
  }
  return proc ? proc(hwnd, message, wParam, lParam) : DefWindowProc(hwnd, message, wParam, lParam);
}

// The window if it is native and the caller is the event thread that may touch it.
Backend* NativeBackendFor(HWND hwnd) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto window = FindLocked(r, hwnd);
  if (!window || !window->native || !IsEventThreadLocked(r)) return nullptr;
  return r.backend;
}

// Runs f on the window's entry under the lock; false for no window.
template <typename F>
bool WithWindow(HWND hwnd, F f) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto window = FindLocked(r, hwnd);
  if (!window) return false;
  f(*window);
  return true;
}

// The same for an owned popup, on its own thread only.
template <typename F>
bool WithPopup(HWND hwnd, F f) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto window = FindLocked(r, hwnd);
  if (!window || !window->ownerWindow || window->owner.get() != &OwnQueueLocked(r)) return false;
  f(*window);
  return true;
}

}  // namespace

}  // namespace bw::host

void bw::GlobalTraits<bw::host::Backend>::Installed(host::Backend* now, host::Backend* previous) {
  host::Registry& r = host::TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  r.backend = now;
  r.eventThreadId = now ? host::CurrentThreadIdValue() : 0;
  // A thread that was waiting on the old backend falls back to its condition variable.
  for (auto& [id, weak] : r.threads) {
    if (auto q = weak.lock()) q->wake.notify_all();
  }
  if (previous) previous->Wake();
}

namespace bw::host {

bool IsEventThread() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  return IsEventThreadLocked(r);
}

uint32_t GetCurrentThreadId() {
  return CurrentThreadIdValue();
}

HWND CreateWindow(const WindowDesc& desc) {
  Registry& r = TheRegistry();
  HWND hwnd;
  Backend* backend = nullptr;
  {
    std::lock_guard<std::mutex> guard(r.lock);
    if (desc.owner && !FindLocked(r, desc.owner)) return HWND{};
    if (desc.native && !desc.owner) {
      if (!IsEventThreadLocked(r)) return HWND{};
      backend = r.backend;
    }
    OwnQueueLocked(r);
    while (r.nextWindowId == 0 || r.windows.count(r.nextWindowId) != 0) ++r.nextWindowId;
    hwnd = HWND{r.nextWindowId++};
    auto entry = std::make_shared<WindowEntry>();
    entry->hwnd = hwnd;
    entry->owner = t_queue.queue;
    entry->proc = desc.proc;
    entry->userData = desc.userData;
    entry->native = desc.native && !desc.owner;
    entry->ownerWindow = desc.owner;
    entry->visible = desc.nativeDesc.visible;
    entry->placed = Rect{0, 0, desc.nativeDesc.width, desc.nativeDesc.height};
    r.windows[hwnd.id] = std::move(entry);
  }
  if (backend && !backend->OpenWindow(hwnd, desc.nativeDesc)) {
    std::lock_guard<std::mutex> guard(r.lock);
    r.windows.erase(hwnd.id);
    return HWND{};
  }
  if (CallProc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(desc.userData)) == -1) {
    (void)DestroyWindow(hwnd);  // this thread made it just now: it goes
    return HWND{};
  }
  return hwnd;
}

bool DestroyWindow(HWND hwnd) {
  Registry& r = TheRegistry();
  std::shared_ptr<WindowEntry> window;
  {
    std::lock_guard<std::mutex> guard(r.lock);
    window = FindLocked(r, hwnd);
    if (!window || window->owner.get() != &OwnQueueLocked(r) || window->destroying) return false;
    window->destroying = true;
  }
  // Owned popups go first, as their owner's end takes them along.
  for (;;) {
    HWND popup;
    {
      std::lock_guard<std::mutex> guard(r.lock);
      for (auto& [id, entry] : r.windows) {
        if (entry->ownerWindow == hwnd && !entry->destroying && entry->owner == window->owner)
          popup = entry->hwnd;
      }
    }
    if (!popup || !DestroyWindow(popup)) break;
  }
  if (window->proc) window->proc(hwnd, WM_DESTROY, 0, 0);
  Backend* backend = nullptr;
  {
    std::lock_guard<std::mutex> guard(r.lock);
    if (window->native && IsEventThreadLocked(r)) backend = r.backend;
  }
  if (backend) backend->CloseWindow(hwnd);
  std::lock_guard<std::mutex> guard(r.lock);
  r.windows.erase(hwnd.id);
  ThreadQueue& q = *window->owner;
  std::erase_if(q.posted, [&](const MSG& m) { return m.hwnd == hwnd; });
  // Senders on other threads waiting on this window are let go with 0.
  std::erase_if(q.sends, [&](const std::shared_ptr<SendRecord>& record) {
    if (record->hwnd != hwnd) return false;
    FailSendLocked(*record);
    return true;
  });
  return true;
}

bool IsWindow(HWND hwnd) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  return FindLocked(r, hwnd) != nullptr;
}

uint32_t GetWindowThreadId(HWND hwnd) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto window = FindLocked(r, hwnd);
  return window ? window->owner->threadId : 0;
}

void* GetWindowUserData(HWND hwnd) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto window = FindLocked(r, hwnd);
  return window ? window->userData : nullptr;
}

bool SetWindowUserData(HWND hwnd, void* data) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto window = FindLocked(r, hwnd);
  if (!window) return false;
  window->userData = data;
  return true;
}

bool PostMessage(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  if (!hwnd) return PostToQueueLocked(r, OwnQueueLocked(r), hwnd, message, wParam, lParam);
  auto window = FindLocked(r, hwnd);
  if (!window) return false;
  return PostToQueueLocked(r, *window->owner, hwnd, message, wParam, lParam);
}

bool PostThreadMessage(uint32_t threadId, uint32_t message, WPARAM wParam, LPARAM lParam) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto it = r.threads.find(threadId);
  if (it == r.threads.end()) return false;
  auto q = it->second.lock();
  if (!q) return false;
  return PostToQueueLocked(r, *q, HWND{}, message, wParam, lParam);
}

LRESULT SendMessage(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
  Registry& r = TheRegistry();
  std::unique_lock<std::mutex> lock(r.lock);
  auto window = FindLocked(r, hwnd);
  if (!window) return 0;
  ThreadQueue& own = OwnQueueLocked(r);
  if (window->owner.get() == &own) {
    lock.unlock();
    return CallProc(hwnd, message, wParam, lParam);
  }
  ThreadQueue& target = *window->owner;
  if (!target.alive) return 0;
  auto record = std::make_shared<SendRecord>();
  *record = SendRecord{hwnd, message, wParam, lParam, 0, false, t_queue.queue};
  target.sends.push_back(record);
  WakeLocked(r, target);
  while (!record->done) {
    ServeSendsLocked(r, lock, own);
    if (record->done) break;
    PumpBackendLocked(r, lock);
    if (record->done) break;
    BlockLocked(r, lock, own);
  }
  return record->result;
}

bool PeekMessage(MSG* msg, HWND hwnd, uint32_t filterMin, uint32_t filterMax,
                 uint32_t removeFlags) {
  if (msg == nullptr) return false;
  Registry& r = TheRegistry();
  std::unique_lock<std::mutex> lock(r.lock);
  ThreadQueue& q = OwnQueueLocked(r);
  ServeSendsLocked(r, lock, q);
  PumpBackendLocked(r, lock);
  ServeSendsLocked(r, lock, q);
  return TakeLocked(r, q, msg, hwnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0);
}

int GetMessage(MSG* msg, HWND hwnd, uint32_t filterMin, uint32_t filterMax) {
  if (msg == nullptr) return -1;
  Registry& r = TheRegistry();
  std::unique_lock<std::mutex> lock(r.lock);
  ThreadQueue& q = OwnQueueLocked(r);
  if (hwnd && !FindLocked(r, hwnd)) return -1;
  for (;;) {
    ServeSendsLocked(r, lock, q);
    PumpBackendLocked(r, lock);
    ServeSendsLocked(r, lock, q);
    if (TakeLocked(r, q, msg, hwnd, filterMin, filterMax, true))
      return msg->message == WM_QUIT ? 0 : 1;
    if (hwnd && !FindLocked(r, hwnd)) return -1;
    BlockLocked(r, lock, q);
  }
}

void WaitMessage() {
  Registry& r = TheRegistry();
  std::unique_lock<std::mutex> lock(r.lock);
  ThreadQueue& q = OwnQueueLocked(r);
  for (;;) {
    bool served = ServeSendsLocked(r, lock, q);
    PumpBackendLocked(r, lock);
    served = ServeSendsLocked(r, lock, q) || served;
    if (served || HasAnythingLocked(r, q)) return;
    BlockLocked(r, lock, q);
  }
}

QueueLeftovers LeftoverMessages() {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  QueueLeftovers left;
  left.windows = r.windows.size();
  for (auto& [id, weak] : r.threads) {
    if (id != CurrentThreadIdValue() && !weak.expired()) ++left.otherThreads;
  }
  if (const ThreadQueue* q = t_queue.queue.get()) {
    left.posted = q->posted.size();
    left.quitPending = q->quitPending;
  }
  return left;
}

void PostQuitMessage(int exitCode) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  ThreadQueue& q = OwnQueueLocked(r);
  q.quitPending = true;
  q.quitCode = exitCode;
  WakeLocked(r, q);
}

LRESULT DispatchMessage(const MSG& msg) {
  if (!msg.hwnd) return 0;
  return CallProc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

LRESULT DefWindowProc(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam) {
  // Called on the window's own thread: a window gone already, or a platform that cannot offer
  // maximising, leaves nothing to do.
  switch (message) {
    case WM_CLOSE:
      (void)DestroyWindow(hwnd);
      break;
    case WM_SYSKEYDOWN:
      // Alt+F4 is the system menu's close, also where no window manager takes the chord first.
      if (wParam == VK_F4 && (lParam & kKeyAltHeldBit) != 0)
        (void)SendMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    case WM_SYSCOMMAND:
      if ((wParam & kSysCommandMask) == SC_CLOSE) (void)SendMessage(hwnd, WM_CLOSE, 0, 0);
      break;
    case WM_HOST_SET_MAXIMIZABLE:
      (void)SetWindowMaximizable(hwnd, wParam != 0);
      break;
    default:
      break;
  }
  return 0;
}

bool InvalidateWindow(HWND hwnd) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto window = FindLocked(r, hwnd);
  if (!window) return false;
  window->paintPending = true;
  WakeLocked(r, *window->owner);
  return true;
}

bool ShowWindow(HWND hwnd, bool show) {
  if (WithPopup(hwnd, [show](WindowEntry& popup) { popup.visible = show; })) return true;
  Backend* backend = NativeBackendFor(hwnd);
  if (!backend || !backend->ShowWindow(hwnd, show)) return false;
  WithWindow(hwnd, [show](WindowEntry& window) { window.visible = show; });
  return true;
}

bool SetClientSize(HWND hwnd, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return false;
  if (WithPopup(hwnd, [&](WindowEntry& popup) {
        popup.placed.right = popup.placed.left + width;
        popup.placed.bottom = popup.placed.top + height;
      })) {
    return true;
  }
  Backend* backend = NativeBackendFor(hwnd);
  return backend && backend->SetClientSize(hwnd, width, height);
}

bool MoveWindow(HWND hwnd, int32_t left, int32_t top) {
  if (WithPopup(hwnd, [&](WindowEntry& popup) {
        popup.placed = Rect{left, top, left + popup.placed.Width(), top + popup.placed.Height()};
      })) {
    return true;
  }
  Backend* backend = NativeBackendFor(hwnd);
  return backend && backend->MoveWindow(hwnd, left, top);
}

HWND GetWindowOwner(HWND hwnd) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto window = FindLocked(r, hwnd);
  return window ? window->ownerWindow : HWND{};
}

bool IsWindowVisible(HWND hwnd) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto window = FindLocked(r, hwnd);
  return window && window->visible;
}

bool EnableWindow(HWND hwnd, bool enable) {
  return WithWindow(hwnd, [enable](WindowEntry& window) { window.disabled = !enable; });
}

bool IsWindowEnabled(HWND hwnd) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto window = FindLocked(r, hwnd);
  return window && !window->disabled;
}

bool GetWindowRect(HWND hwnd, Rect* rect) {
  if (WithPopup(hwnd, [rect](WindowEntry& popup) { *rect = popup.placed; })) return true;
  Backend* backend = NativeBackendFor(hwnd);
  int32_t left = 0, top = 0, width = 0, height = 0;
  if (!backend || !backend->GetWindowPosition(hwnd, &left, &top) ||
      !backend->GetClientSize(hwnd, &width, &height)) {
    return false;
  }
  *rect = Rect{left, top, left + width, top + height};
  return true;
}

bool SetWindowTopmost(HWND hwnd, bool topmost) {
  Backend* backend = NativeBackendFor(hwnd);
  return backend && backend->SetWindowTopmost(hwnd, topmost);
}

bool SetWindowMaximizable(HWND hwnd, bool maximizable) {
  if (Backend* backend = NativeBackendFor(hwnd))
    return backend->SetWindowMaximizable(hwnd, maximizable);
  bool native = false;
  WithWindow(hwnd, [&native](WindowEntry& window) { native = window.native; });
  return native && !IsEventThread() &&
         PostMessage(hwnd, WM_HOST_SET_MAXIMIZABLE, maximizable ? 1 : 0, 0);
}

bool MinimizeWindow(HWND hwnd, bool minimize) {
  // The state is kept for IsIconic whatever the platform does.
  if (Backend* backend = NativeBackendFor(hwnd)) (void)backend->MinimizeWindow(hwnd, minimize);
  return WithWindow(hwnd, [minimize](WindowEntry& window) { window.minimized = minimize; });
}

bool IsIconic(HWND hwnd) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> guard(r.lock);
  auto window = FindLocked(r, hwnd);
  return window && window->minimized;
}

bool SetFullScreen(HWND hwnd, bool fullScreen) {
  Backend* backend = NativeBackendFor(hwnd);
  return backend && backend->SetFullScreen(hwnd, fullScreen);
}

bool SetWindowText(HWND hwnd, std::string_view cp932) {
  Backend* backend = NativeBackendFor(hwnd);
  return backend && backend->SetTitle(hwnd, cp932);
}

bool GetClientSize(HWND hwnd, int32_t* width, int32_t* height) {
  Backend* backend = NativeBackendFor(hwnd);
  return backend && backend->GetClientSize(hwnd, width, height);
}

PresentationSink* GetPresentationSink(HWND hwnd) {
  Backend* backend = NativeBackendFor(hwnd);
  return backend ? backend->Sink(hwnd) : nullptr;
}

}  // namespace bw::host
