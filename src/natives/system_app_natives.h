// The system natives that reach the application (state, settings, pacing, boxes and dialogs,
// the desktop, time, stopwatches and input); the system family's table places them.
#pragma once

#include <cstdint>

#include "script/script_host.h"

namespace bw {

[[nodiscard]] int32_t NativeSetWindowFeature(NativeArgs& a);
[[nodiscard]] int32_t NativeGetAppState(NativeArgs& a);
[[nodiscard]] int32_t NativeGetAppText(NativeArgs& a);
[[nodiscard]] int32_t NativeSetUserSetting(NativeArgs& a);
[[nodiscard]] int32_t NativeGetUserSetting(NativeArgs& a);
[[nodiscard]] int32_t NativeSetVoiceSetting(NativeArgs& a);
[[nodiscard]] int32_t NativeGetVoiceInfo(NativeArgs& a);
[[nodiscard]] int32_t NativeApplyTextSettings(NativeArgs& a);
[[nodiscard]] int32_t NativeSetScreenMode(NativeArgs& a);
// Flags 0 and 1 of the application (bit 0 of a0).
template <uint32_t kWhich>
[[nodiscard]] int32_t NativeSetScriptFlag(NativeArgs& a);
template <uint32_t (ScriptApplication::*Operation)()>
[[nodiscard]] int32_t NativePacing(NativeArgs& a);
[[nodiscard]] int32_t NativeLowerFrameThreadPriority(NativeArgs& a);
[[nodiscard]] int32_t NativeRestoreFrameThreadPriority(NativeArgs& a);
[[nodiscard]] int32_t NativeSetFrameRate(NativeArgs& a);
[[nodiscard]] int32_t NativeGetFrameRate(NativeArgs& a);
[[nodiscard]] int32_t NativePostAppCommand(NativeArgs& a);
[[nodiscard]] int32_t NativeGetInterruptArgument(NativeArgs& a);
[[nodiscard]] int32_t NativeSavePersistentData(NativeArgs& a);
[[nodiscard]] int32_t NativeTakeWindowRestoredFlag(NativeArgs& a);
[[nodiscard]] int32_t NativeCopyToClipboard(NativeArgs& a);
[[nodiscard]] int32_t NativeGetInputText(NativeArgs& a);
[[nodiscard]] int32_t NativeSetupInputDialog(NativeArgs& a);
// Kind 0 message, 1 yes/no, 2 ok/cancel.
template <uint32_t kKind>
[[nodiscard]] int32_t NativeBox(NativeArgs& a);
[[nodiscard]] int32_t NativeMessageDialog(NativeArgs& a);
// A file (false) or a folder (true) through the desktop's opener.
template <bool kFolder>
[[nodiscard]] int32_t NativeOpenWithDesktop(NativeArgs& a);
[[nodiscard]] int32_t NativeGetSpecialFolder(NativeArgs& a);
[[nodiscard]] int32_t NativeSetAppFolder(NativeArgs& a);
// Wallpaper and screen saver: nothing of the desktop is touched.
[[nodiscard]] int32_t NativeDesktopNothing(NativeArgs& a);
[[nodiscard]] int32_t NativeGetLocalTime(NativeArgs& a);
// 0 Create, 1 Start, 2 GetElapsed, 3 SetElapsed, 4 Pause, 5 Resume, 6 PauseAll, 7 ResumeAll.
template <int kOp>
[[nodiscard]] int32_t NativeStopwatchOp(NativeArgs& a);
template <bool kPressed>
[[nodiscard]] int32_t NativeActionTest(NativeArgs& a);
template <bool kPressed>
[[nodiscard]] int32_t NativeFindAction(NativeArgs& a);
// 0 add, 1 remove, 2 change.
template <int kOp>
[[nodiscard]] int32_t NativeBinding(NativeArgs& a);
template <uint32_t kAction, bool kPressed>
[[nodiscard]] int32_t NativeFixedAction(NativeArgs& a);
template <bool kPressed>
[[nodiscard]] int32_t NativeSkipModifier(NativeArgs& a);
// 0 newly pressed, 1 held, 2 released.
template <int kTest>
[[nodiscard]] int32_t NativeKeyTest(NativeArgs& a);
template <int kVirtualKey>
[[nodiscard]] int32_t NativeKeyToggle(NativeArgs& a);
[[nodiscard]] int32_t NativeSetKeyboardMode(NativeArgs& a);
[[nodiscard]] int32_t NativeSetCursorShape(NativeArgs& a);
// A display object as the animated cursor (0: back to the plain cursor); the mouse's result.
[[nodiscard]] int32_t NativeSetAnimatedCursor(NativeArgs& a);
[[nodiscard]] int32_t NativeShowCursor(NativeArgs& a);
[[nodiscard]] int32_t NativeGetCursorPosition(NativeArgs& a);
[[nodiscard]] int32_t NativeSetCursorPosition(NativeArgs& a);
[[nodiscard]] int32_t NativeIsPointerInWindow(NativeArgs& a);
template <int kButton, bool kPressed>
[[nodiscard]] int32_t NativeMouseButton(NativeArgs& a);
template <int kButton>
[[nodiscard]] int32_t NativeWheel(NativeArgs& a);
[[nodiscard]] int32_t NativeGetJoystickState(NativeArgs& a);
template <bool kPressed>
[[nodiscard]] int32_t NativeJoyButton(NativeArgs& a);

}  // namespace bw
