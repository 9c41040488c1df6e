#include "natives/gui_part_natives.h"

#include <map>
#include <string>

#include "graphics/layers/surface_layer.h"
#include "graphics/surface/image_surface.h"
#include "gui/part_manager.h"
#include "gui/pointer_tip.h"
#include "gui/text_panel.h"
#include "natives/gui_part_native_support.h"
#include "natives/native_constants.h"
#include "natives/native_helpers.h"
#include "natives/object_casts.h"
#include "natives/system_file_natives.h"
#include "scenario/message/script_message_text.h"
#include "script/native_names.h"
#include "script/script_host.h"

namespace bw {
namespace {

using namespace gui_part_support;

// The alpha the file and surface factories are given.
constexpr int kOpaque = 255;

// What creation answers when the factory refuses: no handle.
constexpr int32_t kNoPart = 0;
// 702: the object has no image holder.
constexpr int32_t kNoImageHolder = 1;
// 720: the word names no text renderer.
constexpr int32_t kNoRenderer = 1;

ScriptApplication* App(NativeArgs& a) {
  return a.Host().Application();
}
PartManager* Parts(NativeArgs& a) {
  ScriptApplication* app = App(a);
  return app ? app->ScriptPartManager() : nullptr;
}
PointerManager* Pointers(NativeArgs& a) {
  ScriptApplication* app = App(a);
  return app ? app->ScriptPointerManager() : nullptr;
}
// The pointer tip keeps the fired id and the tooltip box; a bare manager has neither.
PointerTip* Tip(NativeArgs& a) {
  return dynamic_cast<PointerTip*>(Pointers(a));
}

uint32_t Give(NativeArgs& a, UiControl* part) {
  return a.Host().Handles().HandleOf(ScriptObjectType::kGuiPart, part);
}
// A made part's handle, or no handle when the factory refused.
template <typename T>
int32_t Made(NativeArgs& a, int result, T* part) {
  if (result != 0 || !part) return kNoPart;
  return static_cast<int32_t>(Give(a, static_cast<UiControl*>(part)));
}

// A made scroll bar reports its moves as the fired id.
int32_t MadeBar(NativeArgs& a, int result, ScrollListPart* part) {
  if (result == 0 && part) {
    if (PointerTip* tip = Tip(a)) part->SetEventSink(tip->FireSink());
  }
  return Made(a, result, part);
}

// The optional-group switch: word k holds 65535 (or the signed -1 where the native says so).
bool Off(NativeArgs& a, uint32_t k) {
  return a.U32(k) == kDefaultsSwitch;
}

// Where a button factory's optional words stand; -1 for a word the native does not take.
struct ButtonWordsAt {
  int disabled = -1;
  int pressed = -1;
  int blend = -1;
  int keys = -1;  // colour keys a and b
  int order = -1;
  int stateVar = -1;
};

// A button's optional words, or their defaults when the group is switched off: no disabled
// cell, a pressed cell, blend 2, no colour keys, order and state variable 0.
struct ButtonWords {
  bool disabledCell = false;
  bool pressedCell = true;
  int blend = 2;
  int32_t keyA = -1;
  int32_t keyB = -1;
  int32_t order = 0;
  uint32_t stateVar = 0;
};

ButtonWords ReadButtonWords(NativeArgs& a, bool off, const ButtonWordsAt& at) {
  ButtonWords words;
  if (off) return words;
  auto word = [&a](int k) { return a.U32(static_cast<uint32_t>(k)); };
  words.disabledCell = word(at.disabled) != 0;
  if (at.pressed >= 0) words.pressedCell = word(at.pressed) != 0;
  words.blend = static_cast<int>(word(at.blend) & 0xFF);
  if (at.keys >= 0) {
    words.keyA = static_cast<int32_t>(word(at.keys));
    words.keyB = static_cast<int32_t>(word(at.keys + 1));
  }
  if (at.order >= 0) words.order = static_cast<int32_t>(word(at.order));
  if (at.stateVar >= 0) words.stateVar = word(at.stateVar);
  return words;
}

// A picture part's place and words, opaque. A surface's picture reads no colour keys: its words
// keep them at none.
ButtonPicture PictureOf(const ButtonWords& w, int32_t x, int32_t y) {
  return {.order = w.order,
          .hasDisabledCell = w.disabledCell,
          .hasPressedCell = w.pressedCell,
          .x = x,
          .y = y,
          .blendMode = w.blend,
          .alpha = kOpaque,
          .colorKeyA = w.keyA,
          .colorKeyB = w.keyB};
}

CheckPicture CheckPictureOf(const ButtonWords& w, int layout, CheckPartBase* leader, int32_t x,
                            int32_t y) {
  return {.stateVar = w.stateVar,
          .layout = layout,
          .hasDisabledCell = w.disabledCell,
          .groupLeader = leader,
          .x = x,
          .y = y,
          .blendMode = w.blend,
          .alpha = kOpaque,
          .colorKeyA = w.keyA,
          .colorKeyB = w.keyB};
}

// --- Factories. Each answers the new part's handle, 0 when the factory refuses.

// 685: x, y, width, height, disabled-cell flag (65535: it and the rest 0), label, font, order.
int32_t CreateDrawnButton(NativeArgs& a) {
  const bool off = Off(a, 4);
  TextArg label = off ? TextArg{} : ReadText(a, 5);
  TextRenderer* font = off ? nullptr : Renderer(a, 6);
  const int32_t order = off ? 0 : a.I32(7);
  PartManager* parts = Parts(a);
  if (a.Faulted() || !parts) return kNoPart;
  ButtonPart* part = nullptr;
  int result = parts->CreateDrawnButton(&part, order, label.c_str(), font, a.I32(0), a.I32(1),
                                        a.I32(2), a.I32(3), !off && a.U32(4) != 0);
  return Made(a, result, part);
}

// 686: file, x, y, disabled-cell flag, pressed-cell flag, blend byte, colour keys a and b,
// order; alpha 255.
int32_t CreateFileButton(NativeArgs& a) {
  TextArg file = ReadText(a, 0);
  const bool off = Off(a, 3);
  PartManager* parts = Parts(a);
  if (a.Faulted() || !parts) return kNoPart;
  ButtonPart* part = nullptr;
  const ButtonWords w =
      ReadButtonWords(a, off, {.disabled = 3, .pressed = 4, .blend = 5, .keys = 6, .order = 8});
  int result = parts->CreateFileButton(&part, file.c_str(), PictureOf(w, a.I32(1), a.I32(2)));
  return Made(a, result, part);
}

// 687: x, y, image object, four-cell flag (65535: the defaults), pressed-cell flag, blend byte,
// order.
int32_t CreateSurfaceButton(NativeArgs& a) {
  ImageSurface* surface = GetObjectSurface(a.Host().Handles(), a.U32(2));
  PartManager* parts = Parts(a);
  if (!surface) return kPartNoSurface;
  if (!parts) return kNoPart;
  const bool off = Off(a, 3);
  ButtonPart* part = nullptr;
  const ButtonWords w =
      ReadButtonWords(a, off, {.disabled = 3, .pressed = 4, .blend = 5, .order = 6});
  int result = parts->CreateSurfaceButton(&part, surface, PictureOf(w, a.I32(0), a.I32(1)));
  return Made(a, result, part);
}

// 688: file, x, y, layout byte, disabled-cell flag (65535: the defaults), a part of the radio
// group to join, blend byte, colour keys a and b, state variable; alpha 255, order 0.
int32_t CreateFileCheckButton(NativeArgs& a) {
  TextArg file = ReadText(a, 0);
  const bool off = Off(a, 4);
  auto* leader = off ? nullptr : dynamic_cast<CheckPartBase*>(Part(a, 5));
  PartManager* parts = Parts(a);
  if (a.Faulted() || !parts) return kNoPart;
  CheckPart* part = nullptr;
  const int layout = static_cast<int>(a.U32(3) & 0xFF);
  const ButtonWords w =
      ReadButtonWords(a, off, {.disabled = 4, .blend = 6, .keys = 7, .stateVar = 9});
  int result = parts->CreateFileCheckButton(&part, file.c_str(),
                                            CheckPictureOf(w, layout, leader, a.I32(1), a.I32(2)));
  return Made(a, result, part);
}

// 689: x, y, image object, layout byte, disabled-cell flag (65535: the defaults), a part of the
// radio group, blend byte, state variable; alpha 255, order 0.
int32_t CreateSurfaceCheckButton(NativeArgs& a) {
  ImageSurface* surface = GetObjectSurface(a.Host().Handles(), a.U32(2));
  PartManager* parts = Parts(a);
  if (!surface) return kPartNoSurface;
  if (!parts) return kNoPart;
  const bool off = Off(a, 4);
  auto* leader = off ? nullptr : dynamic_cast<CheckPartBase*>(Part(a, 5));
  const int layout = static_cast<int>(a.U32(3) & 0xFF);
  CheckPart* part = nullptr;
  const ButtonWords w = ReadButtonWords(a, off, {.disabled = 4, .blend = 6, .stateVar = 7});
  int result = parts->CreateSurfaceCheckButton(
      &part, surface, CheckPictureOf(w, layout, leader, a.I32(0), a.I32(1)));
  return Made(a, result, part);
}

// 690
int32_t CreateColorBox(NativeArgs& a) {
  PartManager* parts = Parts(a);
  if (!parts) return kNoPart;
  ColorBoxPart* part = nullptr;
  int result = parts->CreateColorBox(&part, a.I32(7), a.I32(0), a.I32(1), a.I32(2), a.I32(3),
                                     a.U32(4), a.U32(5), a.U32(6));
  return Made(a, result, part);
}

// 691: font, width, x, y, margin (65535: margin 2, border on, order 0), border flag, order.
int32_t CreateTextInput(NativeArgs& a) {
  PartManager* parts = Parts(a);
  if (!parts) return kNoPart;
  const bool off = Off(a, 4);
  TextInputPart* part = nullptr;
  int result = parts->CreateTextInput(&part, {.order = off ? 0 : a.I32(6),
                                              .font = Renderer(a, 0),
                                              .width = a.I32(1),
                                              .x = a.I32(2),
                                              .y = a.I32(3),
                                              .margin = off ? 2 : a.I32(4),
                                              .border = off || a.U32(5) != 0});
  return Made(a, result, part);
}

// 692: font, lines, width, x, y, margin (65535: margin 2, spacing 2, border on, order 0), line
// spacing, border flag, order.
int32_t CreateTextInputEx(NativeArgs& a) {
  PartManager* parts = Parts(a);
  if (!parts) return kNoPart;
  const bool off = Off(a, 5);
  TextInputPart* part = nullptr;
  int result = parts->CreateTextInputEx(&part, {.order = off ? 0 : a.I32(8),
                                                .font = Renderer(a, 0),
                                                .lines = a.I32(1),
                                                .width = a.I32(2),
                                                .x = a.I32(3),
                                                .y = a.I32(4),
                                                .margin = off ? 2 : a.I32(5),
                                                .lineSpacing = off ? 2 : a.I32(6),
                                                .border = off || a.U32(7) != 0});
  return Made(a, result, part);
}

// 693: x, y, vertical flag, size (65535: the drawn defaults), face, track, hover, pressed and
// arrow colours, order.
int32_t CreateScrollList(NativeArgs& a) {
  PartManager* parts = Parts(a);
  if (!parts) return kNoPart;
  const bool off = Off(a, 3);
  ScrollListPart* part = nullptr;
  DrawnScrollBar bar{.x = a.I32(0), .y = a.I32(1), .vertical = a.U32(2) != 0};
  if (!off) {
    bar.order = a.I32(9);
    bar.size = a.I32(3);
    bar.faceColor = a.U32(4);
    bar.trackColor = a.U32(5);
    bar.hoverColor = a.U32(6);
    bar.pressedColor = a.U32(7);
    bar.arrowColor = a.U32(8);
  }
  int result = parts->CreateScrollList(&part, bar);
  return MadeBar(a, result, part);
}

// 694: x, y, inset x, inset y, thumb picture, its start edge (65535: no edges, track or
// arrows, and the second group's defaults), end edge, track picture, its two edges, back and
// forward arrow pictures, disabled-cell flag (65535: three cells, vertical, blend 2, no colour
// key, order 0), vertical flag. The rest of the second group keeps its defaults.
int32_t CreateImageScrollList(NativeArgs& a) {
  const bool plain = Off(a, 5);
  const bool defaults = plain || Off(a, 12);
  TextArg thumb = ReadText(a, 4);
  TextArg track = plain ? TextArg{} : ReadText(a, 7);
  TextArg back = plain ? TextArg{} : ReadText(a, 10);
  TextArg forward = plain ? TextArg{} : ReadText(a, 11);
  PartManager* parts = Parts(a);
  if (a.Faulted() || !parts) return kNoPart;
  ScrollListPart* part = nullptr;
  int result = parts->CreateImageScrollList(&part, {.x = a.I32(0),
                                                    .y = a.I32(1),
                                                    .insetX = a.I32(2),
                                                    .insetY = a.I32(3),
                                                    .thumbFile = thumb.c_str(),
                                                    .thumbStartEdge = plain ? 0 : a.I32(5),
                                                    .thumbEndEdge = plain ? 0 : a.I32(6),
                                                    .trackFile = track.c_str(),
                                                    .trackStartEdge = plain ? 0 : a.I32(8),
                                                    .trackEndEdge = plain ? 0 : a.I32(9),
                                                    .backFile = back.c_str(),
                                                    .forwardFile = forward.c_str(),
                                                    .hasDisabledCell = !defaults && a.U32(12) != 0,
                                                    .vertical = defaults || a.U32(13) != 0,
                                                    .blendMode = 2,
                                                    .alpha = kOpaque});
  return MadeBar(a, result, part);
}

// 696: x, y, width, height, main renderer, ruby renderer (-1: none, and no margins), left, top,
// right and bottom margins. The window is made at order 0 (732 moves it).
int32_t CreateTextWidget(NativeArgs& a) {
  PartManager* parts = Parts(a);
  if (!parts) return kNoPart;
  const bool off = OffSigned(a, 5);
  MessageTextWidget* part = nullptr;
  int result = parts->CreateTextWidget(&part, 0, a.I32(0), a.I32(1), a.I32(2), a.I32(3),
                                       Renderer(a, 4), off ? nullptr : Renderer(a, 5));
  if (result == 0 && part) {
    // Margins always take.
    (void)part->SetMargins(off ? 0 : a.I32(6), off ? 0 : a.I32(7), off ? 0 : a.I32(8),
                           off ? 0 : a.I32(9), true);
  }
  return Made(a, result, part);
}

// 697: x, y, width, height, second-renderer flag, left margin (-1: no margins, order 0), top,
// right and bottom margins, order. The text shows the main script's message.
int32_t CreateScriptText(NativeArgs& a) {
  ScriptApplication* app = App(a);
  TextPanel* panel = app ? app->ScriptTextPanel() : nullptr;
  PartManager* parts = Parts(a);
  if (!panel || !parts) return kNoPart;
  const bool off = OffSigned(a, 5);
  ScriptTextLayout layout;
  layout.x = a.I32(0);
  layout.y = a.I32(1);
  layout.width = a.I32(2);
  layout.height = a.I32(3);
  if (!off) {
    layout.marginLeft = a.I32(5);
    layout.marginTop = a.I32(6);
    layout.marginRight = a.I32(7);
    layout.marginBottom = a.I32(8);
    layout.priority = a.I32(9);
  }
  panel->SetScriptTextFont(a.U32(4) != 0);
  MessageTextEngine* engine = dynamic_cast<ScriptMessageText*>(a.Host().MessageText());
  const uint32_t noColors[3] = {};
  ScriptText* text = nullptr;
  int result = panel->CreateScriptText(&text, engine, EffectTimers(), parts->GetTargetList(),
                                       layout, noColors, parts->GetDefaultGroup());
  return Made(a, result, text);
}

// 698: value a, value b, cell width, cell height, spacing, font, order.
int32_t CreateImageList(NativeArgs& a) {
  PartManager* parts = Parts(a);
  if (!parts) return kNoPart;
  ImageListPart* part = nullptr;
  int result = parts->CreateImageList(&part, a.I32(6), a.I32(0), a.I32(1), a.I32(2), a.I32(3),
                                      a.I32(4), Renderer(a, 5));
  return Made(a, result, part);
}

// 699: x, y, width, height, centre x (-1: the centre and both flags take their defaults),
// centre y, hit flag, fire flag.
int32_t CreateHitArea(NativeArgs& a) {
  PartManager* parts = Parts(a);
  if (!parts) return kNoPart;
  const bool off = OffSigned(a, 4);
  HitAreaPart* part = nullptr;
  int result = parts->CreateHitArea(&part, a.I32(0), a.I32(1), a.I32(2), a.I32(3),
                                    off ? -1 : a.I32(4), off ? -1 : a.I32(5),
                                    off ? false : a.U32(6) != 0, off ? false : a.U32(7) != 0);
  return Made(a, result, part);
}

// 700: x, y, then font, height, width for the factory first; thumb picture, its two edges, bar
// length, bar x, bar y, blend byte (65535: blend 2, no flag picture, spacing 3, order 0), flag
// picture, line spacing, order.
int32_t CreateTextList(NativeArgs& a) {
  TextArg thumb = ReadText(a, 5);
  const bool off = Off(a, 11);
  TextArg flags = off ? TextArg{} : ReadText(a, 12);
  PartManager* parts = Parts(a);
  if (a.Faulted() || !parts) return kNoPart;
  TextListPart* part = nullptr;
  TextListLayout layout{.renderer = Renderer(a, 2),
                        .height = a.I32(3),
                        .width = a.I32(4),
                        .x = a.I32(0),
                        .y = a.I32(1),
                        .thumbImage = thumb.c_str(),
                        .thumbStartEdge = a.I32(6),
                        .thumbEndEdge = a.I32(7),
                        .barLength = a.I32(8),
                        .barX = a.I32(9),
                        .barY = a.I32(10)};
  if (!off) {
    layout.order = a.I32(14);
    layout.barBlendMode = static_cast<int>(a.U32(11) & 0xFF);
    layout.flagImageName = flags.c_str();
    layout.lineSpacing = a.I32(13);
  }
  int result = parts->CreateTextList(&part, layout);
  return Made(a, result, part);
}

// 701: map file, cell count byte, x, y, fire flag.
int32_t CreateCellImage(NativeArgs& a) {
  TextArg map = ReadText(a, 0);
  PartManager* parts = Parts(a);
  if (a.Faulted() || !parts) return kNoPart;
  CellImagePart* part = nullptr;
  int result = parts->CreateCellImage(&part, map.c_str(), a.I32(1) & 0xFF, a.I32(2), a.I32(3),
                                      a.U32(4) != 0);
  return Made(a, result, part);
}

// --- The part manager and the pointer manager.

// 702: new parts go into the object's container, and the tooltip box shows on it.
int32_t SetTarget(NativeArgs& a) {
  CompositionLayer* container = nullptr;
  SurfaceLayer* holder = GetObjectImageHolderAndContainer(a.Host().Handles(), a.U32(0), &container);
  if (!holder) return kNoImageHolder;
  if (PartManager* parts = Parts(a)) parts->SetTarget(container);
  if (PointerTip* tip = Tip(a)) tip->SetTargetLayer(container);
  return 0;
}

// 703: enable flag, delay, duration (0: until the pointer leaves), the tooltip font.
int32_t SetTooltipOptions(NativeArgs& a) {
  if (PointerManager* pointers = Pointers(a)) {
    pointers->SetTooltipOptions(a.U32(0) != 0, a.U32(1), a.U32(2));
  }
  if (PointerTip* tip = Tip(a)) tip->SetTooltipFont(Renderer(a, 3));
  return 0;
}

// 704
int32_t SetCursorState(NativeArgs& a) {
  PointerManager* pointers = Pointers(a);
  return pointers && pointers->SetCursorState(a.I32(0)) ? 1 : 0;
}

// 705: the pending event is the tip's fired id, which its reset forgets.
int32_t ResetPointerState(NativeArgs& a) {
  if (PointerManager* pointers = Pointers(a)) pointers->ResetState();
  return 0;
}

// 706
int32_t UpdatePointer(NativeArgs& a) {
  PointerManager* pointers = Pointers(a);
  return pointers ? pointers->Update(App(a)->Clock()) : 0;
}

// 707
int32_t TakePointerEvent(NativeArgs& a) {
  PointerTip* tip = Tip(a);
  return tip ? tip->TakeFiredId() : -1;
}

// 708: a null part clears the focus.
int32_t SetFocus(NativeArgs& a) {
  PointerManager* pointers = Pointers(a);
  return pointers ? pointers->SetFocus(Part(a, 0)) : kFocusEmptyList;
}

// 709, 710
int32_t GetFocus(NativeArgs& a) {
  PointerManager* pointers = Pointers(a);
  return pointers ? static_cast<int32_t>(Give(a, pointers->GetFocus())) : 0;
}
int32_t GetHover(NativeArgs& a) {
  PointerManager* pointers = Pointers(a);
  return pointers ? static_cast<int32_t>(Give(a, pointers->GetHover())) : 0;
}

// A deleted part's sprites take the tasks bound to them along, whoever started those (the
// scenario's own button fades too): the sweeper is made before the first deletion.
PartManager* PartsForDelete(NativeArgs& a) {
  a.Host().Extension<BoundTaskSweeper>();
  return Parts(a);
}

// 711
int32_t DeleteAllParts(NativeArgs& a) {
  if (PartManager* parts = PartsForDelete(a)) parts->DeleteAll();
  return 0;
}

// 712
int32_t SetListChoice(NativeArgs& a) {
  PartManager* parts = Parts(a);
  return parts ? parts->SetUseAltList(a.U32(0) != 0) : 0;
}

// 713
int32_t SetCurrentGroup(NativeArgs& a) {
  if (PartManager* parts = Parts(a)) parts->SetDefaultGroup(a.I32(0));
  return 0;
}

// 714
int32_t DeleteGroup(NativeArgs& a) {
  if (PartManager* parts = PartsForDelete(a)) parts->DeleteGroup(a.I32(0), a.U32(1) != 0);
  return 0;
}

// 715: &var; the variable is cleared once the part is gone. A handle whose part is gone names
// no part of the list.
int32_t DeletePart(NativeArgs& a) {
  const uint32_t var = a.U32(0);
  uint32_t handle = 0;
  if (var == 0 || !a.Memory().Read32(var, handle)) {
    if (var != 0) NativeArgs::Fault(a.Memory());
    return kDeleteNull;
  }
  if (handle == 0) return kDeleteNull;
  PartManager* parts = PartsForDelete(a);
  auto* part = a.Host().Handles().Get<UiControl>(handle, ScriptObjectType::kGuiPart);
  if (!part || !parts) return kDeleteNotListed;
  int result = parts->DeletePart(part);
  if (result == kDeleteDone) a.Memory().Write32(var, 0);
  return result;
}

// 716: scroll bars bring their arrows, list boxes their bar.
int32_t AddControl(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  PointerManager* pointers = Pointers(a);
  if (!part || !pointers) return -1;
  const int32_t position = a.I32(1);
  switch (part->GetKind()) {
    case kKindScrollList:
      return static_cast<ScrollListPart*>(part)->AddToPointerManager(pointers, position);
    case kKindTextList:
      return static_cast<TextListPart*>(part)->AddToPointerManager(pointers, position);
    default:
      return pointers->AddControl(part, position);
  }
}

// 717
int32_t RemoveControl(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  if (!part) return 0;
  switch (part->GetKind()) {
    case kKindScrollList:
      return static_cast<ScrollListPart*>(part)->RemoveFromPointerManager() ? 1 : 0;
    case kKindTextList:
      return static_cast<TextListPart*>(part)->RemoveFromPointerManager() ? 1 : 0;
    default:
      if (PointerManager* owner = part->GetOwner()) owner->RemoveControl(part);
      return 0;
  }
}

// 718
int32_t RemoveAllControls(NativeArgs& a) {
  if (PointerManager* pointers = Pointers(a)) pointers->RemoveAll();
  return 0;
}

// 719
int32_t AttachTextInput(NativeArgs& a) {
  if (ScriptApplication* app = App(a)) app->AttachTextInput(a.U32(0) != 0);
  return 0;
}

// 720: font, x, y; no font takes the indicator down.
int32_t SetImeIndicator(NativeArgs& a) {
  PartManager* parts = Parts(a);
  if (a.U32(0) == 0) {
    if (parts) parts->DestroyImeIndicator();
    return 0;
  }
  TextRenderer* font = Renderer(a, 0);
  if (!font) return kNoRenderer;
  return parts ? parts->CreateImeIndicator(font, a.I32(1), a.I32(2)) : kNoRenderer;
}

// 721, 722
int32_t PushControls(NativeArgs& a) {
  PointerManager* pointers = Pointers(a);
  return pointers ? pointers->PushControls() : kStackNothing;
}
int32_t PopControls(NativeArgs& a) {
  PointerManager* pointers = Pointers(a);
  return pointers ? pointers->PopControls() : kStackNothing;
}

// --- Any part.

// 723
int32_t SetId(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  if (!part) return 0;
  part->SetId(a.I32(1));
  return 1;
}

// 724
int32_t SetTooltip(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  if (!part) return 0;
  TextArg text = ReadText(a, 1);
  if (a.Faulted()) return 0;
  part->SetTooltipText(text.c_str());
  return 1;
}

// 725: left, right, up, down; a null or stale neighbour clears that side.
int32_t SetNeighbours(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  if (!part) return 0;
  part->SetNeighbours(Part(a, 1), Part(a, 2), Part(a, 3), Part(a, 4));
  return 1;
}

// 726: the click, enter and leave sound channels of the parts that play sounds.
int32_t SetPartSounds(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  if (!part) return -1;
  const int32_t click = a.I32(1), enter = a.I32(2), leave = a.I32(3);
  switch (part->GetKind()) {
    case kKindPushButton:
    case kKindCheckButton:
    case kKindColorBox:
    case kKindHitArea:
      static_cast<ClickablePart*>(part)->SetAction(
          {.clickSound = click, .enterSound = enter, .leaveSound = leave});
      return 0;
    case kKindScrollList:
      static_cast<ScrollListPart*>(part)->SetSounds(nullptr, nullptr, nullptr, click, enter, leave);
      return 0;
    case kKindImageList:
      static_cast<ImageListPart*>(part)->SetSounds(nullptr, nullptr, nullptr, click, enter, leave);
      return 0;
    case kKindCellImage:
      (void)static_cast<CellImagePart*>(part)->SetSounds(nullptr, nullptr, nullptr, click, enter,
                                                         leave);
      return 0;
    default:
      return 1;
  }
}

// 727-730
int32_t SetEnabled(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  return part && part->SetEnabled(a.U32(1) != 0) ? 1 : 0;
}
int32_t IsEnabled(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  return part && part->IsEnabled() ? 1 : 0;
}
int32_t SetVisible(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  if (!part) return 0;
  const bool visible = a.U32(1) != 0;
  PointerManager* owner = part->GetOwner();
  if (!visible && owner) owner->LetGo(part, true);
  part->SetVisible(visible);
  return 1;
}
int32_t IsVisible(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  return part && part->IsVisible() ? 1 : 0;
}

// 731-735
int32_t SetPosition(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  return part ? part->SetPosition(a.I32(1), a.I32(2)) : 0;
}
int32_t SetPriority(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  return part ? part->SetOrder(a.I32(1), part->GetGroup(), false) : 0;
}
int32_t SetAlpha(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  return part ? part->SetAlpha(static_cast<int>(a.U32(1) & 0xFF)) : 0;
}
int32_t GetWidth(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  return part ? part->GetWidth() : 0;
}
int32_t GetHeight(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  return part ? part->GetHeight() : 0;
}

// 736-741: the per-kind helpers the other families share.
int32_t GetSprite(NativeArgs& a) {
  DisplayObject* sprite = GetPartSprite(Part(a, 0), a.I32(1));
  return sprite ? static_cast<int32_t>(
                      a.Host().Handles().HandleOf(ScriptObjectType::kDisplayObject, sprite))
                : 0;
}
int32_t GetSurface(NativeArgs& a) {
  ImageSurface* surface = GetPartSurface(Part(a, 0), a.I32(1));
  return surface ? static_cast<int32_t>(a.Host().Handles().HandleOf(ScriptObjectType::kSurface,
                                                                    static_cast<Surface*>(surface)))
                 : 0;
}
int32_t SetValue(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  // Text windows and text fields read the word as their text.
  const int kind = KindOf(part);
  TextArg text = kind == kKindTextWindow || kind == kKindTextInput ? ReadText(a, 1) : TextArg{};
  if (a.Faulted()) return kPartRefused;
  return SetPartValue(part, a.I32(1), text.c_str());
}

// A text field's text as the script reads it: a guest copy per field, kept until the field's
// next read or its end.
class FieldTextCopies : public ScriptHostExtension {
 public:
  explicit FieldTextCopies(ScriptHost& host) : host_(host) {}
  ~FieldTextCopies() override {
    for (auto& [handle, copy] : copies_) copy.Free(host_.GetMemory());
  }
  uint32_t Of(uint32_t field, const std::string& text) {
    // Copies of fields gone since are freed first.
    for (auto it = copies_.begin(); it != copies_.end();) {
      if (host_.Handles().Get(it->first, ScriptObjectType::kGuiPart)) {
        ++it;
        continue;
      }
      it->second.Free(host_.GetMemory());
      it = copies_.erase(it);
    }
    return copies_[field].Of(host_.GetMemory(), text);
  }

 private:
  ScriptHost& host_;
  std::map<uint32_t, GuestCopy> copies_;
};

int32_t GetValue(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  if (KindOf(part) != kKindTextInput) return GetPartValue(part);
  const std::string* text = GetPartText(part);
  if (!text) return kPartRefused;
  return static_cast<int32_t>(a.Host().Extension<FieldTextCopies>().Of(a.U32(0), *text));
}
int32_t SetFlag(NativeArgs& a) {
  return SetPartFlag(Part(a, 0), a.U32(1));
}
int32_t SetOption(NativeArgs& a) {
  return SetPartOption(Part(a, 0), a.U32(1));
}

// 742, 745-747: the settings later parts are made with.
int32_t SetButtonColors(NativeArgs& a) {
  if (PartManager* parts = Parts(a)) parts->SetButtonColors(a.U32(0), a.U32(1));
  return 0;
}
int32_t SetTextInputColors(NativeArgs& a) {
  if (PartManager* parts = Parts(a)) parts->SetTextInputStyle(a.I32(0), a.U32(1), a.U32(2));
  return 0;
}
int32_t SetTextInputStyle(NativeArgs& a) {
  if (PartManager* parts = Parts(a)) parts->SetTextInputTriple(a.I32(0), a.U32(1), a.U32(2));
  return 0;
}
int32_t SetScrollStyle(NativeArgs& a) {
  if (PartManager* parts = Parts(a)) parts->SetListStyle(a.U32(0) & 0xFF, a.I32(1));
  return 0;
}

// 748: background, hover frame and selection colours, first check flag of new list boxes.
int32_t SetListColors(NativeArgs& a) {
  if (PartManager* parts = Parts(a)) {
    parts->SetListColors(a.U32(0), a.U32(1), a.U32(2), a.U32(3) & 0xFF);
  }
  return 0;
}

// 695: the bar's layout once its content is known: length, total, visible, position, end
// inset, smallest thumb.
int32_t ScrollListSetRange(NativeArgs& a) {
  auto* bar = PartOfKind<ScrollListPart>(a, 0, kKindScrollList);
  if (!bar) return -1;
  return bar->SetRange(a.I32(1), a.I32(2), a.I32(3), a.I32(4), a.I32(5), a.I32(6));
}

// 749: a picture's placement offsets; anything else answers 0 with zeros.
int32_t ImageGetStoredPoint(NativeArgs& a) {
  ScriptObjectType type{};
  auto* surface = static_cast<Surface*>(a.Host().Handles().Lookup(a.U32(0), &type));
  const bool picture = surface && type == ScriptObjectType::kSurface &&
                       (surface->GetKind() & 0xFF) == kKindDibSurface;
  a.Out32(1, picture ? surface->GetWord1() : 0);
  a.Out32(2, picture ? surface->GetWord2() : 0);
  return picture ? 1 : 0;
}

// --- Check parts and hit areas.

constexpr NativeEntry kEntries[] = {
    {Native::kPartCreateDrawnButton, CreateDrawnButton},
    {Native::kPartCreateFileButton, CreateFileButton},
    {Native::kPartCreateSurfaceButton, CreateSurfaceButton},
    {Native::kPartCreateFileCheckButton, CreateFileCheckButton},
    {Native::kPartCreateSurfaceCheckButton, CreateSurfaceCheckButton},
    {Native::kPartCreateColorBox, CreateColorBox},
    {Native::kPartCreateTextInput, CreateTextInput},
    {Native::kPartCreateTextInputEx, CreateTextInputEx},
    {Native::kPartCreateScrollList, CreateScrollList},
    {Native::kPartCreateImageScrollList, CreateImageScrollList},
    {Native::kScrollListSetImages, ScrollListSetRange},
    {Native::kPartCreateTextWidget, CreateTextWidget},
    {Native::kScriptTextCreate, CreateScriptText},
    {Native::kPartCreateImageList, CreateImageList},
    {Native::kPartCreateHitArea, CreateHitArea},
    {Native::kPartCreateTextList, CreateTextList},
    {Native::kPartCreateCellImage, CreateCellImage},
    {Native::kPartSetTarget, SetTarget},
    {Native::kPointerSetTooltipOptions, SetTooltipOptions},
    {Native::kPointerSetCursorState, SetCursorState},
    {Native::kPointerResetState, ResetPointerState},
    {Native::kPointerUpdate, UpdatePointer},
    {Native::kPointerTakeEvent, TakePointerEvent},
    {Native::kPointerSetFocus, SetFocus},
    {Native::kPointerGetFocus, GetFocus},
    {Native::kPointerGetHover, GetHover},
    {Native::kPartDeleteAll, DeleteAllParts},
    {Native::kPartSetListChoice, SetListChoice},
    {Native::kPartSetCurrentGroup, SetCurrentGroup},
    {Native::kPartDeleteGroup, DeleteGroup},
    {Native::kPartDelete, DeletePart},
    {Native::kPointerAddControl, AddControl},
    {Native::kPointerRemoveControl, RemoveControl},
    {Native::kPointerRemoveAll, RemoveAllControls},
    {Native::kTextInputAttach, AttachTextInput},
    {Native::kImeIndicatorSet, SetImeIndicator},
    {Native::kPointerPushControls, PushControls},
    {Native::kPointerPopControls, PopControls},
    {Native::kPartSetId, SetId},
    {Native::kPartSetTooltip, SetTooltip},
    {Native::kPartSetNeighbours, SetNeighbours},
    {Native::kPartSetStateImages, SetPartSounds},
    {Native::kPartSetEnabled, SetEnabled},
    {Native::kPartIsEnabled, IsEnabled},
    {Native::kPartSetVisible, SetVisible},
    {Native::kPartIsVisible, IsVisible},
    {Native::kPartSetPosition, SetPosition},
    {Native::kPartSetPriority, SetPriority},
    {Native::kPartSetAlpha, SetAlpha},
    {Native::kPartGetWidth, GetWidth},
    {Native::kPartGetHeight, GetHeight},
    {Native::kPartGetSprite, GetSprite},
    {Native::kPartGetSurface, GetSurface},
    {Native::kPartSetValue, SetValue},
    {Native::kPartGetValue, GetValue},
    {Native::kPartSetFlag, SetFlag},
    {Native::kPartSetOption, SetOption},
    {Native::kPartSetButtonColors, SetButtonColors},
    {Native::kPartSetTextInputColors, SetTextInputColors},
    {Native::kPartSetTextInputStyle, SetTextInputStyle},
    {Native::kPartSetScrollStyle, SetScrollStyle},
    {Native::kPartSetListColors, SetListColors},
    {Native::kImageGetStoredPoint, ImageGetStoredPoint},
};

constexpr NativeRange kNumbers[] = {{685, 742}, {745, 749}};

}  // namespace

const NativeFamily& GuiPartNativeFamily() {
  static const NativeFamily family{"gui parts", kEntries, kNumbers};
  return family;
}

}  // namespace bw
