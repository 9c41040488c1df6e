#include "natives/message_text_natives.h"

#include <algorithm>
#include <string>
#include <vector>

#include "graphics/surface/display_object.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/surface.h"
#include "graphics/text/text_renderer.h"
#include "gui/image_list_part.h"
#include "natives/object_casts.h"
#include "natives/system_file_natives.h"
#include "natives/system_natives.h"
#include "scenario/message/script_message_text.h"
#include "script/native_names.h"

namespace bw {

ImageListPart* CurrentChoiceList::Get() const {
  auto* part = host_.Handles().Get<UiControl>(handle_, ScriptObjectType::kGuiPart);
  return part && part->GetKind() == kKindImageList ? static_cast<ImageListPart*>(part) : nullptr;
}

int32_t CurrentChoiceList::Set(UiControl* part) {
  ClearSelection();
  handle_ = 0;
  if (!part || part->GetKind() != kKindImageList) return 1;
  handle_ = host_.Handles().HandleOf(ScriptObjectType::kGuiPart, part);
  return 0;
}

void CurrentChoiceList::Refresh(ScriptMessageText& text) {
  ImageListPart* list = Get();
  if (!list) return;
  const uint8_t mode = text.ChoiceMode();
  BitSet* flags = mode < 2 ? host_.ReadFlagsB(mode == 1) : nullptr;
  (void)list->SetReadFlags(flags, text.ChoiceValue(), 0);  // taking the flags cannot fail
}

void CurrentChoiceList::ClearSelection() {
  // Taking the flags cannot fail.
  if (ImageListPart* list = Get()) (void)list->SetReadFlags(nullptr, 0, 0);
}

namespace {

// What the output of 470 was given, by handle: a picture or renderer the script destroyed since
// must not be drawn on through the text object's stored pointers.
class MessageOutputState : public ScriptHostExtension, public MessageTextOwner {
 public:
  explicit MessageOutputState(ScriptHost& host) : host_(host) {}
  ~MessageOutputState() override { choiceText.Free(host_.GetMemory()); }

  // The owner is a display object shown over the picture: each drawn character's box is
  // redrawn there.
  void OnCharacterDrawn(const Rect& rect) override {
    auto* shown = host_.Handles().Get<DisplayObject>(owner, ScriptObjectType::kDisplayObject);
    if (shown) shown->Refresh(rect.IsEmpty() ? nullptr : &rect);
  }

  uint32_t image = 0;
  uint32_t renderer = 0;
  uint32_t owner = 0;
  GuestCopy choiceText;  // the text 506 answers with

 private:
  ScriptHost& host_;
};

ScriptMessageText* Text(NativeArgs& a) {
  return dynamic_cast<ScriptMessageText*>(a.Host().MessageText());
}

MessageOutputState& Output(NativeArgs& a) {
  return a.Host().Extension<MessageOutputState>();
}

CurrentChoiceList& Choices(NativeArgs& a) {
  return a.Host().Extension<CurrentChoiceList>();
}

// The stored output while its picture and renderer live; else it is dropped.
void CheckOutput(NativeArgs& a, ScriptMessageText& text) {
  MessageOutputState& out = Output(a);
  if (!out.image && !out.renderer) return;
  if (a.Host().Handles().Get(out.image, ScriptObjectType::kSurface) &&
      a.Host().Handles().Get(out.renderer, ScriptObjectType::kTextRenderer))
    return;
  text.DropOutput();
  out.image = out.renderer = out.owner = 0;
}

// A picture of kind 4, 7 or 9: an image, a software layer or the canvas.
ImageSurface* Picture(NativeArgs& a, uint32_t k) {
  auto* surface = a.Handle<Surface>(k, ScriptObjectType::kSurface);
  if (!surface) return nullptr;
  const int kind = surface->GetKind() & 0xFF;
  if (kind != kKindDibSurface && kind != kKindSoftwareSurfaceLayer && kind != kKindCanvasLayer)
    return nullptr;
  return GetObjectSurface(a.Host().Handles(), a.U32(k));
}

TextRenderer* Renderer(NativeArgs& a, uint32_t k) {
  return a.Handle<TextRenderer>(k, ScriptObjectType::kTextRenderer);
}

// The compiled block at word k, bounded by the arena's used end (its own markup ends it).
std::span<const uint8_t> Block(NativeArgs& a, uint32_t k) {
  const uint32_t at = a.U32(k);
  GuestMemory& m = a.Memory();
  if (at == 0 || at >= m.Top()) {
    if (at != 0) NativeArgs::Fault(m);
    return {};
  }
  return m.View(at, m.Top() - at);
}

// Writes bytes (with their terminator) to the buffer at word k when one is given.
bool PutText(NativeArgs& a, uint32_t k, std::string_view bytes) {
  const uint32_t at = a.U32(k);
  return at == 0 || PutGuestText(a.Memory(), at, bytes);
}

// 466
int32_t SetHistoryCapacity(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return kMessageNoText;
  // Without the memory for it the history has no room: the game plays on without it.
  (void)t->SetHistoryCapacity(static_cast<uint8_t>(a.U32(0)));
  return 0;
}

// 467
int32_t SetHistoryEnabled(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return kMessageNoText;
  t->SetHistoryEnabled(a.U32(0) != 0);
  return 0;
}

// 468
int32_t SetMessage(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return kMessageNoText;
  const auto block = Block(a, 0);
  if (a.Faulted()) return kMessageNoText;
  return t->SetMessage(block);
}

// 469
int32_t SetMessageEnabled(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return kMessageNoText;
  t->SetMessageSetEnabled(static_cast<uint8_t>(a.U32(0)) != 0);
  return 0;
}

// 470
int32_t SetOutput(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return kMessageNoText;
  ImageSurface* picture = Picture(a, 0);
  if (!picture) return kOutputBadImage;
  TextRenderer* renderer = Renderer(a, 4);
  if (!renderer || !renderer->IsOutline()) return kOutputBadRenderer;
  MessageOutputState& out = Output(a);
  const int32_t r =
      t->SetOutput(picture, &out, a.I32(2), a.I32(3), renderer, static_cast<uint8_t>(a.U32(5)) != 0,
                   static_cast<uint8_t>(a.U32(6)) != 0, a.I32(7));
  if (r == 0) out.image = a.U32(0), out.renderer = a.U32(4), out.owner = a.U32(1);
  return r;
}

// 471
int32_t GetTextPart(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return 0;
  const int32_t part = a.I32(0);
  const uint32_t length = t->GetTextPart(part, nullptr, 0);
  if (length == 0 || a.U32(1) == 0) return static_cast<int32_t>(length);
  std::string bytes(length, '\0');
  t->GetTextPart(part, bytes.data(), bytes.size());
  bytes.resize(length - 1);
  PutText(a, 1, bytes);
  return static_cast<int32_t>(length);
}

// 472 and 504: the image and renderer checks come before anything is drawn.
template <bool kChoice>
int32_t DrawPart(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return kMessageNoText;
  ImageSurface* picture = nullptr;
  if (a.U32(3) != 0 && !(picture = Picture(a, 3))) return kDrawBadImage;
  const uint32_t outline = a.U32(4);
  TextRenderer* renderer = nullptr;
  uint8_t flag = ScriptMessageText::kStoredOutline;
  if (outline < ScriptMessageText::kStoredOutline) {
    flag = static_cast<uint8_t>(outline);
    if (a.U32(5) != 0) {
      renderer = Renderer(a, 5);
      if (!renderer || !renderer->IsOutline()) return kDrawBadRenderer;
    }
  }
  CheckOutput(a, *t);
  if constexpr (kChoice) {
    return t->DrawChoice(a.I32(0), a.I32(1), a.I32(2), picture, renderer, flag);
  } else {
    return t->DrawTextPart(a.I32(0), a.I32(1), a.I32(2), picture, renderer, flag);
  }
}

// 473
int32_t Advance(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return kMessageNoText;
  CheckOutput(a, *t);
  return t->Advance(static_cast<uint8_t>(a.U32(0)) != 0);
}

// 474
int32_t DrawAll(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return 0;
  CheckOutput(a, *t);
  return t->SeekTag(-1, true) >= 0 ? 1 : 0;
}

// 475
int32_t SeekTag(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return kMessageNoText;
  CheckOutput(a, *t);
  return t->SeekTag(a.I32(0), a.U32(1) != 0);
}

// 476
int32_t Redraw(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return 0;
  CheckOutput(a, *t);
  t->Redraw();
  return 1;
}

// 477
int32_t GetPen(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return kMessageNoText;
  if (a.Out32(0, static_cast<uint32_t>(t->GetPenX())))
    a.Out32(1, static_cast<uint32_t>(t->GetPenY()));
  return 0;
}

// 478
int32_t GetTagText(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t || !t->GetTagText()) return 0;
  std::string_view text = *t->GetTagText();
  text = text.substr(0, text.find('\0'));
  return PutText(a, 0, text) ? 1 : 0;
}

// 479
int32_t GetTagValue(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  return t ? t->GetTagValue() : 0;
}

// 480, 481
int32_t HasPrevious(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  return t && t->ShownPosition() > 0 ? 1 : 0;
}

int32_t HasNext(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  return t && t->ShownPosition() < t->HistoryCount() - 1 ? 1 : 0;
}

// 482
int32_t GetPlainText(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return 0;
  const uint32_t count = t->ExtractPlainText(nullptr, 0, true);
  if (a.U32(0) == 0) return static_cast<int32_t>(count);
  std::string bytes(size_t{count} + 1, '\0');
  t->ExtractPlainText(bytes.data(), bytes.size(), true);
  bytes.resize(count);
  PutText(a, 0, bytes);
  return static_cast<int32_t>(count);
}

// 483, 484
int32_t HistoryCount(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  return t ? t->HistoryCount() : 0;
}

int32_t HistoryPosition(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  return t ? t->ShownPosition() : 0;
}

// 485-490: a move that succeeded shows another message, whose choices the list then reads.
template <int32_t (MessageTextEngine::*kMove)()>
int32_t ShowHistory(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return kMessageNoText;
  const int32_t r = (t->*kMove)();
  if (r == 0) Choices(a).Refresh(*t);
  return r;
}

template <int32_t (MessageTextEngine::*kMove)(int32_t)>
int32_t ShowHistoryBy(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return kMessageNoText;
  const int32_t r = (t->*kMove)(a.I32(0));
  if (r == 0) Choices(a).Refresh(*t);
  return r;
}

// 491, 492
int32_t SaveReadingPosition(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  return t ? static_cast<uint8_t>(t->SaveReadingPosition()) : 0;
}

int32_t RestoreReadingPosition(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  return t ? static_cast<uint8_t>(t->RestoreReadingPosition()) : 0;
}

// 493
int32_t ClearMessageText(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return kMessageNoText;
  Choices(a).ClearSelection();
  t->Reset();
  return 0;
}

// 494
int32_t GetRenderer(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return 0;
  CheckOutput(a, *t);
  return static_cast<int32_t>(
      a.Host().Handles().Get(Output(a).renderer, ScriptObjectType::kTextRenderer)
          ? Output(a).renderer
          : 0);
}

// 495, 496
int32_t SetScriptTableFile(NativeArgs& a) {
  std::string name;
  bool isNull = false;
  if (!a.Text(0, name, &isNull)) return 0;
  // A null name keeps the name in force; the script is answered 0 either way.
  (void)a.Host().SetScriptTableFileName(isNull ? nullptr : name.c_str());
  return 0;
}

int32_t LoadScriptTable(NativeArgs& a) {
  return a.Host().LoadScriptTable(nullptr);
}

// 497
int32_t SetChoices(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return kMessageNoText;
  const auto block = Block(a, 0);
  if (a.Faulted()) return kMessageNoText;
  const int32_t r = t->SetChoices(block);
  if (r < 1) Choices(a).Refresh(*t);
  return r;
}

// 498
int32_t SetChoiceOption(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return kMessageNoText;
  t->SetChoicesEnabled(static_cast<uint8_t>(a.U32(0)) != 0);
  return 0;
}

// 499: more than the packed list can count is never used, and would only exhaust memory.
int32_t SetMaxChoices(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return 0;
  Choices(a).ClearSelection();
  t->SetMaxChoices(std::clamp(a.I32(0), 0, kMostChoices));
  return 1;
}

// 500
int32_t ClearChoiceState(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return kMessageNoText;
  Choices(a).ClearSelection();
  t->ClearChoiceState();
  return 0;
}

// 501
int32_t AddChoice(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return kMessageNoText;
  std::string text;
  bool isNull = false;
  if (!a.Text(0, text, &isNull)) return kMessageNoText;
  Choices(a).ClearSelection();
  return t->AddChoice(isNull ? nullptr : text.c_str());
}

// 502
int32_t ClearChoices(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return kMessageNoText;
  Choices(a).ClearSelection();
  t->ClearChoices();
  return 0;
}

// 503
int32_t ChoiceCount(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  return t ? t->ChoiceCount() : 0;
}

// 505: the script's size is checked against the arena; no choice text is longer than a record
// holds, so a larger buffer is as good as one that size.
int32_t CopyChoiceText(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return kMessageNoText;
  const uint32_t buffer = a.U32(1);
  const int64_t size = a.I32(2);
  if (size < 0 || (buffer && !GuestRange(a.Memory(), buffer, size))) return 3;
  char bytes[MessageTextEngine::kMaxChoiceTextBytes + 1] = {};
  const int32_t r = t->CopyChoiceText(a.I32(0), bytes, std::min<size_t>(size, sizeof bytes));
  // The range was checked above.
  if (r == 0 && buffer) (void)PutGuestText(a.Memory(), buffer, bytes);
  return r;
}

// 506: the host's text as a guest copy, kept until the next call.
int32_t GetChoiceText(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return 0;
  const auto text = t->GetChoiceText(a.I32(0));
  if (!text) return 0;
  return static_cast<int32_t>(
      Output(a).choiceText.Of(a.Memory(), text->substr(0, text->find('\0'))));
}

// 507-509
int32_t SetChoiceRead(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  if (!t) return 0;
  t->SetChoiceRead(static_cast<uint8_t>(a.U32(0)));
  return 1;
}

int32_t GetChoiceMode(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  return t ? t->GetChoiceMode() : kNoChoiceMode;
}

int32_t IsChoiceRead(NativeArgs& a) {
  ScriptMessageText* t = Text(a);
  return t && t->IsChoiceRead(static_cast<uint8_t>(a.U32(0))) ? 1 : 0;
}

constexpr NativeEntry kEntries[] = {
    {Native::kMessageSetHistoryCapacity, SetHistoryCapacity},
    {Native::kMessageSetHistoryEnabled, SetHistoryEnabled},
    {Native::kMessageSet, SetMessage},
    {Native::kMessageSetEnabled, SetMessageEnabled},
    {Native::kMessageSetOutput, SetOutput},
    {Native::kMessageGetTextPart, GetTextPart},
    {Native::kMessageDrawTextPart, DrawPart<false>},
    {Native::kMessageAdvance, Advance},
    {Native::kMessageDrawAll, DrawAll},
    {Native::kMessageSeekTag, SeekTag},
    {Native::kMessageRedraw, Redraw},
    {Native::kMessageGetPen, GetPen},
    {Native::kMessageGetTagText, GetTagText},
    {Native::kMessageGetTagValue, GetTagValue},
    {Native::kMessageHasPrevious, HasPrevious},
    {Native::kMessageHasNext, HasNext},
    {Native::kMessageGetPlainText, GetPlainText},
    {Native::kMessageGetHistoryCount, HistoryCount},
    {Native::kMessageGetHistoryPosition, HistoryPosition},
    {Native::kMessageShowPrevious, ShowHistory<&MessageTextEngine::ShowPreviousHistory>},
    {Native::kMessageShowNext, ShowHistory<&MessageTextEngine::ShowNextHistory>},
    {Native::kMessageShowFirst, ShowHistory<&MessageTextEngine::ShowFirstHistory>},
    {Native::kMessageShowLast, ShowHistory<&MessageTextEngine::ShowLastHistory>},
    {Native::kMessageShowAt, ShowHistoryBy<&MessageTextEngine::ShowHistoryAt>},
    {Native::kMessageShowRelative, ShowHistoryBy<&MessageTextEngine::ShowHistoryRelative>},
    {Native::kMessageSaveReadingPosition, SaveReadingPosition},
    {Native::kMessageRestoreReadingPosition, RestoreReadingPosition},
    {Native::kClearMessageText, ClearMessageText},
    {Native::kMessageGetRenderer, GetRenderer},
    {Native::kMessageSetScriptTableFile, SetScriptTableFile},
    {Native::kMessageLoadScriptTable, LoadScriptTable},
    {Native::kMessageSetChoices, SetChoices},
    {Native::kMessageSetChoiceOption, SetChoiceOption},
    {Native::kMessageSetMaxChoices, SetMaxChoices},
    {Native::kMessageClearChoiceState, ClearChoiceState},
    {Native::kMessageAddChoice, AddChoice},
    {Native::kMessageClearChoices, ClearChoices},
    {Native::kMessageGetChoiceCount, ChoiceCount},
    {Native::kMessageDrawChoice, DrawPart<true>},
    {Native::kMessageCopyChoiceText, CopyChoiceText},
    {Native::kMessageGetChoiceText, GetChoiceText},
    {Native::kMessageSetChoiceRead, SetChoiceRead},
    {Native::kMessageGetChoiceMode, GetChoiceMode},
    {Native::kMessageIsChoiceRead, IsChoiceRead},
};

constexpr NativeRange kNumbers[] = {{466, 509}};

}  // namespace

const NativeFamily& MessageTextNativeFamily() {
  static const NativeFamily family{"message text", kEntries, kNumbers};
  return family;
}

}  // namespace bw
