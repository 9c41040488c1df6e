#include "natives/gui_part_kind_natives.h"

#include <string>

#include "gui/check_part.h"
#include "gui/hit_area_part.h"
#include "gui/image_list_part.h"
#include "gui/script_text.h"
#include "gui/text_list_part.h"
#include "gui/text_typing_task.h"
#include "natives/gui_part_native_support.h"
#include "natives/message_text_natives.h"
#include "natives/native_helpers.h"
#include "natives/object_casts.h"
#include "script/native_names.h"
#include "script/script_host.h"

namespace bw {
namespace {

using namespace gui_part_support;

// Colours the image-list setters add to the script's.
constexpr uint32_t kListDisabledText = 0x909090;
constexpr uint32_t kListDisabledTop = 0xB0B0B0;
constexpr uint32_t kListDisabledBottom = 0x595959;
// 762: the cell's state or picture could not be set.
constexpr int32_t kCellStateFailed = 2;
constexpr int32_t kCellPictureRefused = 3;
// 789: the part is no image list.
constexpr int32_t kNotAnImageList = 1;

// 743: checks or clears the part; 1 when that changed it.
int32_t CheckSetOption(NativeArgs& a) {
  auto* check = PartOfKind<CheckPart>(a, 0, kKindCheckButton);
  if (!check) return -1;
  return check->SetChecked(a.U32(1) != 0) ? 1 : 0;
}

// 744: a radio group answers its selected index, a check box whether it is checked.
int32_t CheckGetValue(NativeArgs& a) {
  auto* check = PartOfKind<CheckPart>(a, 0, kKindCheckButton);
  if (!check) return -1;
  if (check->IsRadio()) {
    const CheckPartBase* head = check->GetLeader() ? check->GetLeader() : check;
    return head->GetSelectedIndex();
  }
  return check->IsChecked() ? 1 : 0;
}

// 750
int32_t HitAreaSetCentre(NativeArgs& a) {
  auto* area = PartOfKind<HitAreaPart>(a, 0, kKindHitArea);
  if (!area) return 0;
  area->SetCenter(a.I32(1), a.I32(2));
  return 1;
}

// --- Text windows and image lists.

// 751: margins, then paddings (a list takes the first four as its margins and the next two as
// its text offset).
int32_t SetMargins(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  if (MessageTextWidget* window = Window(part)) {
    (void)window->SetMargins(a.I32(1), a.I32(2), a.I32(3), a.I32(4), true);  // margins always take
    (void)window->SetPaddings(a.I32(5), a.I32(6), a.I32(7), a.I32(8),
                              true);  // paddings always take
    return 1;
  }
  if (KindOf(part) != kKindImageList) return 0;
  auto* list = static_cast<ImageListPart*>(part);
  list->SetMargins(a.I32(1), a.I32(2), a.I32(3), a.I32(4));
  list->SetTextOffset(a.I32(5), a.I32(6));
  return 1;
}

// 752: main and ruby renderers (a list keeps no second renderer).
int32_t SetRenderers(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  if (MessageTextWidget* window = Window(part)) {
    // Without a main font the window keeps its own; before its page it keeps the fonts.
    (void)window->SetRenderers(Renderer(a, 1), Renderer(a, 2), true);
    return 0;
  }
  if (KindOf(part) != kKindImageList) return -1;
  // The items added from now on are drawn with it.
  static_cast<ImageListPart*>(part)->SetRenderer(Renderer(a, 1));
  return 0;
}

// 753: shown byte, colour, opacity byte.
int32_t SetBackgroundColor(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  const uint8_t shown = a.U32(1) & 0xFF;
  const uint8_t opacity = a.U32(3) & 0xFF;
  if (MessageTextWidget* window = Window(part)) {
    return window->SetBackgroundColor(shown, a.U32(2), opacity, true);
  }
  if (KindOf(part) != kKindImageList) return -1;
  return static_cast<ImageListPart*>(part)->SetBackground(shown, a.U32(2), opacity);
}

// 754: the alpha a list's or a window's frame must reach to drag it (0: not draggable).
int32_t SetDragThreshold(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  const uint8_t threshold = a.U32(1) & 0xFF;
  if (MessageTextWidget* window = Window(part)) {
    window->SetDragThreshold(threshold);
    return 1;
  }
  if (KindOf(part) != kKindImageList) return 0;
  static_cast<ImageListPart*>(part)->SetDraggable(threshold);
  return 1;
}

// 755
int32_t Home(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  if (MessageTextWidget* window = Window(part)) {
    window->Home(true);
    return 1;
  }
  if (KindOf(part) != kKindImageList) return 0;
  static_cast<ImageListPart*>(part)->ClearItems();
  return 1;
}

// 756: &x, &y, then a window's cell size or a list's item.
int32_t GetCellOrigin(NativeArgs& a) {
  UiControl* part = Part(a, 0);
  int32_t x = 0, y = 0;
  int32_t result = 0;
  if (MessageTextWidget* window = Window(part)) {
    window->GetCellOrigin(&x, &y, a.I32(3), a.I32(4));
    result = 1;
  } else if (KindOf(part) == kKindImageList) {
    result = static_cast<ImageListPart*>(part)->GetCellCentre(a.I32(3), &x, &y) ? 1 : 0;
  } else {
    return 0;
  }
  a.Out32(1, static_cast<uint32_t>(x));
  a.Out32(2, static_cast<uint32_t>(y));
  return result;
}

// 757-761: list boxes.
int32_t TextListAddLine(NativeArgs& a) {
  auto* list = PartOfKind<TextListPart>(a, 0, kKindTextList);
  if (!list) return -1;
  TextArg text = ReadText(a, 1);
  TextArg face = ReadText(a, 2);
  if (a.Faulted()) return -1;
  return list->AddLine(text.c_str(), face.c_str(), a.U32(3) != 0);
}
int32_t TextListRefresh(NativeArgs& a) {
  auto* list = PartOfKind<TextListPart>(a, 0, kKindTextList);
  if (!list) return 0;
  if (a.U32(1) == 0) {
    list->Redraw();
  } else {
    list->Relayout();
  }
  return 1;
}
int32_t TextListSetLineFlag(NativeArgs& a) {
  auto* list = PartOfKind<TextListPart>(a, 0, kKindTextList);
  if (!list) return -1;
  return list->SetLineFlag(a.I32(1), a.U32(2) & 0xFF, a.U32(3) != 0);
}
int32_t TextListGetLineFlag(NativeArgs& a) {
  auto* list = PartOfKind<TextListPart>(a, 0, kKindTextList);
  return list ? list->GetLineFlag(a.I32(1)) : 0;
}
int32_t TextListGetSelected(NativeArgs& a) {
  auto* list = PartOfKind<TextListPart>(a, 0, kKindTextList);
  return list ? list->GetSelectedLine() : 0;
}

// 762: cell byte, state (negative: left alone), picture (a picture map keeps none per cell).
int32_t CellPartSetCell(NativeArgs& a) {
  auto* map = PartOfKind<CellImagePart>(a, 0, kKindCellImage);
  if (!map) return 1;
  int32_t result = 0;
  if (a.I32(2) >= 0 && map->SetCellEnabled(a.U32(1) & 0xFF, a.U32(2) != 0) != kMapDone) {
    result = kCellStateFailed;
  }
  if (a.U32(3) != 0) result = kCellPictureRefused;
  return result;
}

// 763: automatic wrap, hang count, character gap, centring of wide glyphs, line gap; the wrap
// limit follows them; then the ruby gap.
int32_t SetLayout(NativeArgs& a) {
  MessageTextWidget* window = Window(Part(a, 0));
  if (!window) return 0;
  window->SetAutoWrap(a.U32(1) != 0);
  window->SetHangCount(a.I32(2));
  window->SetCentreWide(a.U32(4) != 0);
  window->SetLineAndCharGaps(a.I32(5), a.I32(3));
  (void)window->UpdateWrapLimitIfReady();  // without a font the limit is set when one comes
  window->SetRubyGap(a.I32(6));
  return 1;
}

// 764: the smallest line height.
int32_t SetMinLineHeight(NativeArgs& a) {
  MessageTextWidget* window = Window(Part(a, 0));
  if (!window) return 0;
  window->SetMinLineHeight(a.I32(1));
  return 1;
}

// 765-769: text windows only.
int32_t Recreate(NativeArgs& a) {
  MessageTextWidget* window = Window(Part(a, 0));
  return window ? window->Recreate(a.I32(1), a.I32(2)) : 4;
}
int32_t SetBackground(NativeArgs& a) {
  MessageTextWidget* window = Window(Part(a, 0));
  if (!window) return 9;
  TextArg frame = ReadText(a, 1), middle = ReadText(a, 2), base = ReadText(a, 3);
  if (a.Faulted()) return 9;
  return window->SetBackground(frame.c_str(), middle.c_str(), base.c_str(), a.U32(4) != 0);
}
int32_t SetBackgroundImages(NativeArgs& a) {
  MessageTextWidget* window = Window(Part(a, 0));
  if (!window) return 9;
  const ScriptHandles& handles = a.Host().Handles();
  return window->SetBackgroundImages(GetObjectSurface(handles, a.U32(1)),
                                     GetObjectSurface(handles, a.U32(2)),
                                     GetObjectSurface(handles, a.U32(3)), a.U32(4) != 0);
}
int32_t EnableLinks(NativeArgs& a) {
  MessageTextWidget* window = Window(Part(a, 0));
  return window ? window->EnableLinks(a.U32(1) != 0, true) : 2;
}
int32_t SetVertical(NativeArgs& a) {
  MessageTextWidget* window = Window(Part(a, 0));
  return window ? window->SetVertical(a.U32(1) != 0, true) : 5;
}

// 771-775: the script text.
ScriptText* Text(NativeArgs& a, uint32_t k) {
  return PartOfKind<ScriptText>(a, k, kKindScriptText);
}
int32_t ScriptTextCheck(NativeArgs& a) {
  return Text(a, 0) ? 0 : 1;
}
int32_t ScriptTextStartDisplay(NativeArgs& a) {
  ScriptText* text = Text(a, 0);
  return text ? text->StartDisplay(a.I32(1)) : -1;
}
int32_t ScriptTextStartDisplayAll(NativeArgs& a) {
  ScriptText* text = Text(a, 0);
  return text ? text->StartDisplayAll() : -1;
}
int32_t ScriptTextStepDisplay(NativeArgs& a) {
  ScriptText* text = Text(a, 0);
  return text ? text->StepDisplay(a.U32(1) & 0xFF) : -1;
}
int32_t ScriptTextSetWaitMark(NativeArgs& a) {
  ScriptText* text = Text(a, 0);
  if (!text) return 0;
  text->SetWaitMark(a.Handle<CellImage>(1, ScriptObjectType::kCellImage));
  return 1;
}

// 770: whether a click completes the typing at once.
int32_t ScriptTextSetFlag(NativeArgs& a) {
  ScriptText* text = Text(a, 0);
  if (!text) return 0;
  text->SetClickCompletesTyping((a.U32(1) & 0xFF) != 0);
  return 1;
}

// 776: text, the window that shows the speaker's name, six unused words, the name's alignment
// (0-3 within the box, 4 and up spread over it).
int32_t ScriptTextBindWindow(NativeArgs& a) {
  ScriptText* text = Text(a, 0);
  if (!text) return 1;
  UiControl* box = Part(a, 1);
  if (KindOf(box) != kKindTextWindow) return 2;
  auto* window = dynamic_cast<MessageTextWidget*>(box);
  if (!window || window == text) return 2;
  text->SetNameBox(window, a.U32(8) & 0xFF);
  text->SetHasName(false);
  return 0;
}

// 777: the check box whose checked state stands for a busy window (skipping).
int32_t ScriptTextBindCheck(NativeArgs& a) {
  ScriptText* text = Text(a, 0);
  if (!text) return 1;
  auto* check = PartOfKind<CheckPart>(a, 1, kKindCheckButton);
  if (!check) return 2;
  text->BindStateCheck(check);
  return 0;
}

// 778, 779: the typing's state, then the kind of the token that stopped it.
int32_t ScriptTextGetState(NativeArgs& a) {
  ScriptText* text = Text(a, 0);
  const TextTypingTask* task = text ? text->GetTask() : nullptr;
  return task ? task->GetState() : 0;
}
int32_t ScriptTextGetStopKind(NativeArgs& a) {
  ScriptText* text = Text(a, 0);
  const TextTypingTask* task = text ? text->GetTask() : nullptr;
  return task ? static_cast<uint8_t>(task->GetLastKind()) : 0;
}

// 780: the second part of the speaker's name, with its NUL; 1 when there is one.
int32_t ScriptTextGetName(NativeArgs& a) {
  ScriptText* text = Text(a, 0);
  if (!text) return 0;
  const std::string& name = text->GetSecondName();
  const uint32_t buffer = a.U32(1);
  if (buffer != 0 &&
      !a.Memory().Write(buffer, name.c_str(), static_cast<uint32_t>(name.size() + 1))) {
    return 0;
  }
  return name.empty() ? 0 : 1;
}

// --- Image lists. The current list is the message natives' current choice list.

ImageListPart* List(NativeArgs& a, uint32_t k) {
  return PartOfKind<ImageListPart>(a, k, kKindImageList);
}

// 781: width, height, head height, tail height.
int32_t ImageListSetSize(NativeArgs& a) {
  ImageListPart* list = List(a, 0);
  return list ? list->SetSize(a.I32(1), a.I32(2), a.I32(3), a.I32(4)) : 4;
}

// 782: look count, pressed-look flag, extra-look flag, the template's three pictures, then the
// head's and the tail's (-1 in the first: neither).
int32_t ImageListSetItem(NativeArgs& a) {
  ImageListPart* list = List(a, 0);
  if (!list) return 4;
  const bool noEnds = OffSigned(a, 7);
  TextArg names[9];
  for (uint32_t i = 0; i < 9; ++i) {
    if (i < 3 || !noEnds) names[i] = ReadText(a, 4 + i);
  }
  if (a.Faulted()) return 4;
  const char* const files[9] = {names[0].c_str(), names[1].c_str(), names[2].c_str(),
                                names[3].c_str(), names[4].c_str(), names[5].c_str(),
                                names[6].c_str(), names[7].c_str(), names[8].c_str()};
  return list->CreateFromImages(a.I32(1), a.U32(2) != 0, a.U32(3) != 0, files);
}

// 783: a, fill mode, c, fill colour of the looks after the first.
int32_t ImageListSetFill(NativeArgs& a) {
  ImageListPart* list = List(a, 0);
  if (!list) return 0;
  list->SetFill(a.U32(2) & 0xFF, a.U32(4));
  return 1;
}

// 784: normal, read and hover text colours; disabled text is grey.
int32_t ImageListSetGrid(NativeArgs& a) {
  ImageListPart* list = List(a, 0);
  if (!list) return 0;
  list->SetTextColors(a.U32(1), a.U32(2), a.U32(3), kListDisabledText);
  return 1;
}

// 785: top and bottom colours of the normal, read and hover gradations; disabled is grey.
int32_t ImageListSetFrame(NativeArgs& a) {
  ImageListPart* list = List(a, 0);
  if (!list) return 0;
  list->SetGradations(a.U32(1), a.U32(2), a.U32(3), a.U32(4), a.U32(5), a.U32(6), kListDisabledTop,
                      kListDisabledBottom);
  return 1;
}

// 786
int32_t ImageListSetOffset(NativeArgs& a) {
  ImageListPart* list = List(a, 0);
  if (!list) return 0;
  list->SetPressedOffset(a.I32(1), a.I32(2));
  return 1;
}

// 787: label, tooltip, disabled flag (-1: no action), action text, value, second text.
int32_t ImageListSetItemText(NativeArgs& a) {
  ImageListPart* list = List(a, 0);
  if (!list) return 4;
  TextArg label = ReadText(a, 1), tooltip = ReadText(a, 2);
  const bool plain = OffSigned(a, 3);
  TextArg first = plain ? TextArg{} : ReadText(a, 4);
  TextArg second = plain ? TextArg{} : ReadText(a, 6);
  if (a.Faulted()) return 4;
  return list->AddCell(label.c_str(), tooltip.c_str(), !plain && a.U32(3) != 0, -1, first.c_str(),
                       plain ? -1 : a.I32(5), second.c_str(), 0, 0, 0);
}

// 788: item, state byte.
int32_t ImageListSelect(NativeArgs& a) {
  ImageListPart* list = List(a, 0);
  return list ? list->SetItemState(a.I32(1), static_cast<int>(a.U32(2) & 0xFF)) : -1;
}

// 789: the old current list loses its selection; only an image list becomes current.
int32_t ImageListSetCurrent(NativeArgs& a) {
  return a.Host().Extension<CurrentChoiceList>().Set(List(a, 0)) == 0 ? 0 : kNotAnImageList;
}

// 790: the current list's read flags go to this one.
int32_t ImageListLinkCurrent(NativeArgs& a) {
  ImageListPart* list = List(a, 0);
  if (!list) return -1;
  return list->CopyReadFlagsFrom(a.Host().Extension<CurrentChoiceList>().Get());
}

constexpr NativeEntry kEntries[] = {
    {Native::kCheckSetOption, CheckSetOption},
    {Native::kCheckGetValue, CheckGetValue},
    {Native::kHitAreaSetCentre, HitAreaSetCentre},
    {Native::kTextWindowSetMargins, SetMargins},
    {Native::kTextWindowSetRenderers, SetRenderers},
    {Native::kTextWindowSetBackgroundColor, SetBackgroundColor},
    {Native::kTextWindowSetFlag, SetDragThreshold},
    {Native::kTextWindowHome, Home},
    {Native::kTextWindowGetCellOrigin, GetCellOrigin},
    {Native::kTextListAddLine, TextListAddLine},
    {Native::kTextListRefresh, TextListRefresh},
    {Native::kTextListSetLineFlag, TextListSetLineFlag},
    {Native::kTextListGetLineFlag, TextListGetLineFlag},
    {Native::kTextListGetSelected, TextListGetSelected},
    {Native::kCellPartSetCell, CellPartSetCell},
    {Native::kTextWindowSetLayout, SetLayout},
    {Native::kTextWindowSetValue, SetMinLineHeight},
    {Native::kTextWindowRecreate, Recreate},
    {Native::kTextWindowSetBackground, SetBackground},
    {Native::kTextWindowSetBackgroundImages, SetBackgroundImages},
    {Native::kTextWindowEnableLinks, EnableLinks},
    {Native::kTextWindowSetVertical, SetVertical},
    {Native::kScriptTextSetFlag, ScriptTextSetFlag},
    {Native::kScriptTextCheck, ScriptTextCheck},
    {Native::kScriptTextStartDisplay, ScriptTextStartDisplay},
    {Native::kScriptTextStartDisplayAll, ScriptTextStartDisplayAll},
    {Native::kScriptTextStepDisplay, ScriptTextStepDisplay},
    {Native::kScriptTextSetWaitMark, ScriptTextSetWaitMark},
    {Native::kScriptTextBindWindow, ScriptTextBindWindow},
    {Native::kScriptTextBindCheck, ScriptTextBindCheck},
    {Native::kScriptTextGetStateA, ScriptTextGetState},
    {Native::kScriptTextGetStateB, ScriptTextGetStopKind},
    {Native::kScriptTextGetName, ScriptTextGetName},
    {Native::kImageListSetSize, ImageListSetSize},
    {Native::kImageListSetItem, ImageListSetItem},
    {Native::kImageListSetSpacing, ImageListSetFill},
    {Native::kImageListSetGrid, ImageListSetGrid},
    {Native::kImageListSetFrame, ImageListSetFrame},
    {Native::kImageListSetOffset, ImageListSetOffset},
    {Native::kImageListSetItemText, ImageListSetItemText},
    {Native::kImageListSelect, ImageListSelect},
    {Native::kImageListSetCurrent, ImageListSetCurrent},
    {Native::kImageListLinkCurrent, ImageListLinkCurrent},
};

constexpr NativeRange kNumbers[] = {{743, 744}, {750, 790}};

}  // namespace

const NativeFamily& GuiPartKindNativeFamily() {
  static const NativeFamily family{"gui part kinds", kEntries, kNumbers};
  return family;
}

}  // namespace bw
