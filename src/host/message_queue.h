// Windows and per-thread message queues. Each thread that uses them gets a queue on first use.
// A send to a window of another thread waits until that thread handles it; a thread waiting in
// GetMessage, WaitMessage or its own cross-thread send keeps serving sends addressed to it. On the
// event thread (where the backend was installed) waits also pump the backend's events.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/backend.h"
#include "host/messages.h"

namespace bw::host {

struct WindowDesc {
  WindowProc proc = nullptr;
  void* userData = nullptr;  // also WM_CREATE's lParam
  // A platform window (event thread only); otherwise a window that only takes messages.
  bool native = false;
  NativeWindowDesc nativeDesc;
  // An owned popup: never a platform window of its own. Its owner's platform window shows it
  // (the full-screen menu bar is drawn over the owner's picture). It goes when the owner goes.
  HWND owner;
};

// Creates the window on the calling thread and sends it WM_CREATE; -1 from the procedure refuses
// the creation. Answers a null handle on failure.
[[nodiscard]] HWND CreateWindow(const WindowDesc& desc);
// Only the owning thread may destroy a window. WM_DESTROY is sent first; messages still posted to
// the window are dropped and senders still waiting on it get 0.
[[nodiscard]] bool DestroyWindow(HWND hwnd);
bool IsWindow(HWND hwnd);
// 0 for a handle that finds no window.
uint32_t GetWindowThreadId(HWND hwnd);
void* GetWindowUserData(HWND hwnd);
[[nodiscard]] bool SetWindowUserData(HWND hwnd, void* data);

// The owner of an owned popup; null for any other window.
HWND GetWindowOwner(HWND hwnd);
// Whether the window is shown, as ShowWindow last set it (or as it was created).
bool IsWindowVisible(HWND hwnd);
// Outer rectangle in screen coordinates: an owned popup's as it was placed, a platform window's
// as the backend reports it. False for a window that cannot tell.
[[nodiscard]] bool GetWindowRect(HWND hwnd, Rect* rect);
// Minimises or restores; the state is kept for IsIconic whatever the platform does.
[[nodiscard]] bool MinimizeWindow(HWND hwnd, bool minimize);
// False where the platform cannot keep a window above the others.
[[nodiscard]] bool SetWindowTopmost(HWND hwnd, bool topmost);
// From any thread: another thread's request is carried out on the window's thread.
[[nodiscard]] bool SetWindowMaximizable(HWND hwnd, bool maximizable);
bool IsIconic(HWND hwnd);

// A small id of the calling thread, never 0.
uint32_t GetCurrentThreadId();

// A null hwnd posts a thread message to the calling thread.
[[nodiscard]] bool PostMessage(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam);
// Fails for a thread that has no queue.
[[nodiscard]] bool PostThreadMessage(uint32_t threadId, uint32_t message, WPARAM wParam,
                                     LPARAM lParam);
// 0 when the window is gone (or goes before its thread handles the message).
LRESULT SendMessage(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam);
// Filters: a null hwnd takes every message of the thread; min = max = 0 takes every number.
// Order: posted messages first in, then a pending paint, then the quit message.
[[nodiscard]] bool PeekMessage(MSG* msg, HWND hwnd, uint32_t filterMin, uint32_t filterMax,
                               uint32_t removeFlags);
// 1 for a message, 0 for WM_QUIT, -1 for a handle that finds no window.
[[nodiscard]] int GetMessage(MSG* msg, HWND hwnd, uint32_t filterMin, uint32_t filterMax);
// Returns when the queue holds something or a send was served.
void WaitMessage();
void PostQuitMessage(int exitCode);
// Calls the procedure of the message's window when it belongs to the calling thread; else 0.
LRESULT DispatchMessage(const MSG& msg);
// WM_CLOSE destroys the window; everything else answers 0.
LRESULT DefWindowProc(HWND hwnd, uint32_t message, WPARAM wParam, LPARAM lParam);
// A disabled window takes no keyboard or pointer input; false for a window that is not there.
[[nodiscard]] bool EnableWindow(HWND hwnd, bool enable);
bool IsWindowEnabled(HWND hwnd);
// Marks the window for one WM_PAINT, delivered when no posted message is left.
[[nodiscard]] bool InvalidateWindow(HWND hwnd);

// What the queues still hold: the calling thread's posted messages and quit, the windows and the
// queues of other threads still running. A test checks that it leaves none of them behind.
struct QueueLeftovers {
  size_t posted = 0;
  bool quitPending = false;
  size_t windows = 0;
  size_t otherThreads = 0;
};
QueueLeftovers LeftoverMessages();

// Native-window operations, on the event thread only; false elsewhere or for other windows.
// ShowWindow, SetClientSize and MoveWindow also place an owned popup, from its own thread.
[[nodiscard]] bool ShowWindow(HWND hwnd, bool show);
[[nodiscard]] bool SetClientSize(HWND hwnd, int32_t width, int32_t height);
[[nodiscard]] bool MoveWindow(HWND hwnd, int32_t left, int32_t top);
[[nodiscard]] bool SetFullScreen(HWND hwnd, bool fullScreen);
[[nodiscard]] bool SetWindowText(HWND hwnd, std::string_view cp932);
[[nodiscard]] bool GetClientSize(HWND hwnd, int32_t* width, int32_t* height);
// The window's presentation sink, or null.
PresentationSink* GetPresentationSink(HWND hwnd);

}  // namespace bw::host
