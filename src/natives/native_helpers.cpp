#include "natives/native_helpers.h"

#include <string>

#include "input/pointer_move_task.h"
#include "platform/timer_service.h"
#include "script/native_args.h"
#include "script/script_host.h"

namespace bw {

int32_t PostAppCommand(ScriptApplication* app, uint32_t request, uint32_t send,
                       uintptr_t parameter) {
  if (app == nullptr) return 0;
  return app->PostAppCommand(static_cast<uint8_t>(request), static_cast<uint8_t>(send) != 0,
                             parameter)
             ? 1
             : 0;
}

int32_t CopyTextToClipboard(ScriptApplication* app, const char* text, uint32_t size) {
  if (text == nullptr) return kClipboardNullText;
  std::string_view whole(text);
  if (size != 0 && size < whole.size()) whole = whole.substr(0, size);
  return app != nullptr && app->SetClipboardText(whole) ? kClipboardDone : kClipboardFailed;
}

int32_t CopyGuestTextToClipboard(ScriptApplication* app, GuestMemory& memory, uint32_t text,
                                 uint32_t size) {
  if (text == 0) return kClipboardNullText;
  std::string bytes;
  if (size == 0) {
    if (!memory.ReadCString(text, bytes, memory.Top())) return NativeArgs::Fault(memory);
  } else {
    // Only as far as the terminator: the bytes past it are not the text's.
    for (uint32_t i = 0; i < size; ++i) {
      uint8_t b = 0;
      if (text + i < text || !memory.Read(text + i, &b, 1)) return NativeArgs::Fault(memory);
      if (b == 0) break;
      bytes.push_back(static_cast<char>(b));
    }
  }
  return CopyTextToClipboard(app, bytes.c_str(), 0);
}

bool IsTaskAlive(TimerService* service, const TimedTask* task) {
  return service != nullptr && task != nullptr && service->Contains(task->Handle());
}

bool RemoveTask(TimerService* service, TimedTask** slot) {
  if (slot == nullptr) return false;
  TimedTask* task = *slot;
  *slot = nullptr;
  return service != nullptr && task != nullptr && service->RemoveByHandle(task->Handle());
}

int32_t StartPointerMove(ScriptApplication* app, int32_t x, int32_t y, uint32_t ms, bool force,
                         uint8_t mode, TimedTask** task) {
  if (task != nullptr) *task = nullptr;
  if (app == nullptr) return kPointerMoveNotStarted;
  if (!force && app->PointerAtLastPixel()) return kPointerMoveNotStarted;
  if (!app->PointerMovesAllowed()) return kPointerMoveNotStarted;
  TimerService* service = app->GeneralTimers();
  int32_t r =
      PointerMoveTask::Start(service, app->PointerInput(), x, y, ms, 0.0, kPointerMoveStay, mode);
  if (r == 0 && task != nullptr) *task = service->FindById(kTaskKindPointerMove);
  return r;
}

void SetCurrentSaveName(ScriptHost& host, const char* text) {
  if (text != nullptr) host.SetCurrentSaveName(text);
}

}  // namespace bw
