#include "natives/native_helpers.h"

#include <climits>
#include <string>

#include "common/global.h"
#include "common/sjis.h"
#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/sprite.h"
#include "gui/button_part.h"
#include "gui/cell_image_part.h"
#include "gui/check_part.h"
#include "gui/color_box_part.h"
#include "gui/image_list_part.h"
#include "gui/message_text_widget.h"
#include "gui/message_text_widget_base.h"
#include "gui/script_text.h"
#include "gui/scroll_list_part.h"
#include "gui/text_input_part.h"
#include "gui/text_list_part.h"
#include "input/pointer_move_task.h"
#include "platform/timer_service.h"
#include "script/native_args.h"
#include "script/script_host.h"

namespace bw {

TextArg ReadText(NativeArgs& a, uint32_t k) {
  TextArg arg;
  bool isNull = false;
  arg.present = a.Text(k, arg.text, &isNull) && !isNull;
  return arg;
}

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
  // A removed task stays listed until the next pass, but is no longer running.
  return service != nullptr && task != nullptr && service->FindByHandle(task->Handle()) != nullptr;
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

namespace {

constexpr int kBlendWithAlpha = 2;

// Attaches the picture, then lists and shows the sprite; between the two, dress applies the
// colour key or blend.
template <typename Dress>
[[nodiscard]] int32_t PlaceSprite(Sprite* sprite, ImageSurface* surface,
                                  const SpritePlacement& place, Dress dress) {
  Rect source{place.left, place.top, place.right, place.bottom};
  if (sprite->SetImage(surface, place.left >= 0 ? &source : nullptr, place.x, place.y) !=
      kSpriteDone)
    return kSpriteSetupRefused;
  dress();
  if (place.priority >= 0) {
    DisplayManager* display = Global<DisplayManager>::Get();
    CompositionLayer* layer = place.layer;
    if (!layer && display) layer = display->GetSpriteComposition();
    DisplayObjectList* list = !layer             ? nullptr
                              : place.secondList ? layer->GetSecondList()
                                                 : &layer->GetList();
    if (!list) return kSpriteSetupRefused;
    const uint32_t priority = static_cast<uint32_t>(place.priority);
    // Set up again in the same list, the sprite only moves to the new priority.
    int added = list->Add(sprite, priority, display ? display->LayerOwner() : 0);
    if (added == kAddInList) added = list->SetPriority(sprite, priority, false) ? kAddDone : added;
    if (added != kAddDone) return kSpriteSetupRefused;
  }
  sprite->SetVisible(place.visible);
  return kSpriteSetupDone;
}

}  // namespace

int32_t LoadSpriteImage(Sprite* sprite, ImageSurface* surface, const char* file, int32_t keyMode,
                        int32_t keyValue, const SpritePlacement& place) {
  if (!sprite || !surface) return kSpriteSetupNull;
  if (!file || surface->Load(file, nullptr, 0, kImageDibSection) != 0) return kSpriteSetupNoImage;
  return PlaceSprite(sprite, surface, place, [&] {
    if (keyMode >= 0) {
      // A picture without pixels has no key to set.
      (void)surface->SetColorKeyFromPixel(keyMode, keyValue);
    } else if (keyMode < -1) {
      // A mode out of range keeps the one in force.
      (void)sprite->SetDrawMode(kBlendWithAlpha);
      sprite->SetAlpha(keyValue);
    }
  });
}

int32_t SetupSpriteFromSurface(Sprite* sprite, ImageSurface* surface, int32_t blendMode,
                               int32_t alpha, const SpritePlacement& place) {
  if (!sprite || !surface) return kSpriteSetupNull;
  return PlaceSprite(sprite, surface, place, [&] {
    if (blendMode != 0) {
      // A mode out of range keeps the one in force.
      (void)sprite->SetDrawMode(blendMode);
      sprite->SetAlpha(alpha);
    }
  });
}

int KindOf(const UiControl* part) {
  return part == nullptr ? -1 : part->GetKind();
}

namespace {

bool IsTextWindowKind(int kind) {
  return kind == kKindTextWindow || kind == kKindScriptText;
}

// A text window of either kind that owns a page; a bare window base has none.
MessageTextWidget* PagedWindow(UiControl* part) {
  return IsTextWindowKind(KindOf(part)) ? dynamic_cast<MessageTextWidget*>(part) : nullptr;
}

// The list's head lies before its first cell, its tail past its last.
constexpr int32_t kListHead = -1;
constexpr int32_t kListTail = -2;
int32_t ListIndex(int32_t index) {
  return index == kListHead ? -1 : index == kListTail ? INT32_MAX : index;
}

}  // namespace

DisplayObject* GetPartSprite(UiControl* part, int32_t index) {
  switch (KindOf(part)) {
    case kKindPushButton:
      return &static_cast<ButtonPart*>(part)->GetSprite();
    case kKindCheckButton:
      return &static_cast<CheckPart*>(part)->GetSprite();
    case kKindColorBox:
      return &static_cast<ColorBoxPart*>(part)->Rect();
    case kKindTextInput:
      return &static_cast<TextInputPart*>(part)->TextSprite();
    case kKindTextWindow:
    case kKindScriptText: {
      MessageTextWidget* window = PagedWindow(part);
      return window == nullptr ? nullptr : &window->PageSprite();
    }
    case kKindImageList:
      // The list owns its sprites; only the query is const.
      return const_cast<Sprite*>(
          static_cast<ImageListPart*>(part)->GetCellSprite(ListIndex(index)));
    case kKindTextListView:
    case kKindTextList:
      return &static_cast<TextListView*>(part)->ViewSprite();
    default:
      return nullptr;
  }
}

ImageSurface* GetPartSurface(UiControl* part, int32_t index) {
  switch (KindOf(part)) {
    case kKindPushButton:
      return static_cast<ButtonPart*>(part)->GetCells();
    case kKindCheckButton:
      return static_cast<CheckPart*>(part)->GetPicture();
    case kKindTextInput:
      return &static_cast<TextInputPart*>(part)->TextSurface();
    case kKindTextWindow:
    case kKindScriptText: {
      MessageTextWidget* window = PagedWindow(part);
      return window == nullptr ? nullptr : &window->Page();
    }
    case kKindImageList:
      return const_cast<ImageSurface*>(static_cast<ImageListPart*>(part)->GetCellSurface(index));
    case kKindTextListView:
    case kKindTextList:
      return &static_cast<TextListView*>(part)->View();
    case kKindCellImage:
      return &static_cast<CellImagePart*>(part)->Map();
    default:
      return nullptr;
  }
}

int32_t SetPartValue(UiControl* part, int32_t value, const char* text) {
  switch (KindOf(part)) {
    case kKindCheckButton:
      return static_cast<CheckPart*>(part)->SetChecked(value != 0) ? 1 : 0;
    case kKindTextInput:
      return static_cast<TextInputPart*>(part)->SetText(text);
    case kKindScrollList:
      return static_cast<ScrollListPart*>(part)->SetScrollPosition(value);
    case kKindTextWindow:
      if (text != nullptr) FeedTextWindow(*static_cast<MessageTextWidgetBase*>(part), text);
      return 0;
    case kKindTextList:
      return static_cast<TextListPart*>(part)->SelectLine(value);
    case kKindCellImage:
      return static_cast<CellImagePart*>(part)->FocusCellByIndex(static_cast<uint32_t>(value));
    default:
      return kPartRefused;
  }
}

int32_t GetPartValue(UiControl* part) {
  switch (KindOf(part)) {
    case kKindCheckButton: {
      const uint8_t state = static_cast<CheckPart*>(part)->GetState();
      return state >= kCheckChecked && state != kCheckDisabled ? 1 : 0;
    }
    case kKindScrollList:
      return static_cast<ScrollListPart*>(part)->GetScrollPos();
    case kKindImageList:
      return static_cast<ImageListPartBase*>(part)->GetValueA();
    case kKindTextList:
      return static_cast<TextListPart*>(part)->GetSelectedLine();
    case kKindCellImage:
      return static_cast<CellImagePart*>(part)->GetActiveCell();
    default:
      return kPartRefused;
  }
}

const std::string* GetPartText(UiControl* part) {
  if (KindOf(part) != kKindTextInput) return nullptr;
  const auto* field = static_cast<TextInputPart*>(part);
  return field->HasText() ? &field->Text() : nullptr;
}

int32_t SetPartFlag(UiControl* part, uint32_t flag) {
  switch (KindOf(part)) {
    case kKindPushButton:
      static_cast<ButtonPart*>(part)->SetBoxHit(flag != 0);
      return 0;
    case kKindCheckButton:
      static_cast<CheckPart*>(part)->SetBoxHit(flag != 0);
      return 0;
    case kKindScrollList:
      static_cast<ScrollListPart*>(part)->SetRectHitTest(flag != 0);
      return 0;
    default:
      return kPartRefused;
  }
}

int32_t SetPartOption(UiControl* part, uint32_t flag) {
  const bool on = flag != 0;
  switch (KindOf(part)) {
    case kKindCheckButton:
      (void)static_cast<CheckPart*>(part)->SetChecked(on);  // false when already so
      return 0;
    case kKindTextInput:
      static_cast<TextInputPart*>(part)->SetLocked(on);
      return 0;
    case kKindTextWindow:
    case kKindScriptText:
      static_cast<MessageTextWidgetBase*>(part)->SetDecided(on);
      return 0;
    case kKindImageList:
      static_cast<ImageListPart*>(part)->SetShowReadColors(on);
      return 0;
    case kKindCellImage:
      static_cast<CellImagePart*>(part)->SetLocked(on);
      return 0;
    default:
      return kPartRefused;
  }
}

void FeedTextWindow(MessageTextWidgetBase& window, const char* text) {
  const char* p = text;
  while (*p != '\0') {
    if (*p == '\r' || *p == '\n') {
      p += (p[0] == '\r' && p[1] == '\n') ? 2 : 1;
      if (!window.NewLine()) return;
      continue;
    }
    // A lead byte cut off by the terminator is no character: the entry would step past the end.
    if (sjis::IsLeadByte(*p) && p[1] == '\0') return;
    const char* before = p;
    if (window.PutChar(&p) > 0) return;
    if (p == before) return;  // an entry that took nothing would never end
  }
}

}  // namespace bw
