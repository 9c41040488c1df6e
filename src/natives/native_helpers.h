// Small routines the natives and the scenario player share: application requests, the
// clipboard, tasks on the general timer service, the timed pointer move and the current save
// name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace bw {

class CompositionLayer;
class DisplayObject;
class GuestMemory;
class NativeArgs;
class ImageSurface;
class MessageTextWidgetBase;
class UiControl;
class ScriptApplication;
class ScriptHost;
class Sprite;
class TimedTask;
class TimerService;

// A text argument as a C string: null for a null address, and for a bad one (which has faulted
// the step).
struct TextArg {
  std::string text;
  bool present = false;
  const char* c_str() const { return present ? text.c_str() : nullptr; }
};
TextArg ReadText(NativeArgs& a, uint32_t k);

// PostAppCommand's private request: the parameter is a host record for the window thread.
constexpr uint8_t kAppRequestPrivate = 7;
// Request 0-7 to the main window: 1 when sent, 0 when not enabled or unknown. The request and
// the send flag count by their low bytes.
[[nodiscard]] int32_t PostAppCommand(ScriptApplication* app, uint32_t request, uint32_t send,
                                     uintptr_t parameter);

constexpr int32_t kClipboardDone = 0;
constexpr int32_t kClipboardNullText = 1;
constexpr int32_t kClipboardFailed = 2;
// The text up to its terminator or size bytes, whichever comes first (size 0: to the terminator);
// the host clipboard takes it as plain text.
[[nodiscard]] int32_t CopyTextToClipboard(ScriptApplication* app, const char* text, uint32_t size);
// The same for a guest text: a text that runs out of the arena before either end faults.
[[nodiscard]] int32_t CopyGuestTextToClipboard(ScriptApplication* app, GuestMemory& memory,
                                               uint32_t text, uint32_t size);

// Whether the service still holds the task.
bool IsTaskAlive(TimerService* service, const TimedTask* task);
// Takes the task out of the slot (the slot becomes null) and out of the service; false for a
// null slot.
[[nodiscard]] bool RemoveTask(TimerService* service, TimedTask** slot);

// StartPointerMove results besides the task start's.
constexpr int32_t kPointerMoveNotStarted = 0;
// Moves the pointer to (x, y) of the picture over ms with a pointer-move task on the general
// timer service. Without force nothing moves while the pointer rests on the picture's last
// pixel; nothing moves while the application's switch is off. task (when given) receives the
// task or null. Answers 0 or the start's code.
[[nodiscard]] int32_t StartPointerMove(ScriptApplication* app, int32_t x, int32_t y, uint32_t ms,
                                       bool force, uint8_t mode, TimedTask** task);

// A null text keeps the current name.
void SetCurrentSaveName(ScriptHost& host, const char* text);

// Where a set-up sprite goes. left >= 0 takes (left, top, right, bottom) of the picture, else the
// whole picture. priority >= 0 lists the sprite at that priority under the display manager's
// layer owner value, in the layer's second list or its first; a null layer is the screen's.
struct SpritePlacement {
  int32_t x = 0;
  int32_t y = 0;
  int32_t left = -1;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  int32_t priority = -1;
  bool visible = false;
  bool secondList = false;
  CompositionLayer* layer = nullptr;
};

constexpr int32_t kSpriteSetupDone = 0;
constexpr int32_t kSpriteSetupNull = 1;
constexpr int32_t kSpriteSetupNoImage = 2;
// The sprite refuses the picture or rectangle, or there is no list to put it in.
constexpr int32_t kSpriteSetupRefused = 3;
// Loads the file into surface and shows it through sprite. keyMode >= 0: the colour key is the
// surface's pixel at (keyMode, keyValue); keyMode < -1: the sprite blends (mode 2) with alpha
// keyValue; -1: neither.
[[nodiscard]] int32_t LoadSpriteImage(Sprite* sprite, ImageSurface* surface, const char* file,
                                      int32_t keyMode, int32_t keyValue,
                                      const SpritePlacement& place);
// The same for a surface already drawn; a non-zero blendMode is set with alpha.
[[nodiscard]] int32_t SetupSpriteFromSurface(Sprite* sprite, ImageSurface* surface,
                                             int32_t blendMode, int32_t alpha,
                                             const SpritePlacement& place);

// Per-kind access to a GUI part; the script text (111) answers as a text window, and a null
// part or a kind a row does not name answers null or -1.
constexpr int32_t kPartRefused = -1;
// The part's display object: a button's, check's, colour box's or list box's, a text field's
// text sprite, a text window's page sprite; for an image list -1 its head's sprite, -2 its
// tail's, else a cell's.
DisplayObject* GetPartSprite(UiControl* part, int32_t index);
// The part's picture: a button's cells, a check's file picture, a text field's text, a text
// window's page, an image list's cell, a list box's view, a cell image's map.
ImageSurface* GetPartSurface(UiControl* part, int32_t index);
// The part's kind; -1 for no part.
int KindOf(const UiControl* part);
// A check part is checked or cleared, a text field given text (a null text is refused), a scroll
// bar moved, a list box's line selected, a cell image's cell entered by its number; a text
// window takes text (a null text feeds nothing) and answers 0.
[[nodiscard]] int32_t SetPartValue(UiControl* part, int32_t value, const char* text);
// Whether a check part is checked, a scroll bar's position, an image list's first set-up value,
// a list box's selected line, a cell image's entered cell (-1: none).
int32_t GetPartValue(UiControl* part);
// A text field's text, which the script reads in place of a value; null for other parts and a
// field not created.
const std::string* GetPartText(UiControl* part);
// A button's, a check's or a scroll bar's box hit: the rectangle instead of the pixels.
[[nodiscard]] int32_t SetPartFlag(UiControl* part, uint32_t flag);
// A check part checked, a text field's or a cell image's lock, a text window's decided flag, an
// image list's read colours.
[[nodiscard]] int32_t SetPartOption(UiControl* part, uint32_t flag);

// Feeds text to the window a character at a time: CR, LF and CR LF ask for one new line, any other
// character goes to its character entry. Stops at the terminator, on a refused new line, on a
// positive entry answer, and before a lead byte whose trail is the terminator.
void FeedTextWindow(MessageTextWidgetBase& window, const char* text);

}  // namespace bw
