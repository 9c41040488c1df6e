#include "gui/text_typing_task.h"

#include <string>

#include "common/sjis.h"
#include "graphics/text/text_renderer.h"
#include "gui/pointer_manager.h"
#include "gui/script_text.h"
#include "input/input_binding_table.h"
#include "input/key_codes.h"
#include "input/mouse.h"
#include "scenario/message/message_text_engine.h"

namespace bw {

namespace {

using Engine = MessageTextEngine;

constexpr size_t kSecondNameField = 16;  // with its NUL
constexpr size_t kNameBuffer = 256;

// The due time has come (the clock wraps).
bool Reached(uint32_t now, uint32_t due) {
  return int32_t(now - due) >= 0;
}

}  // namespace

uint32_t TextTypingTask::Now() const {
  TypingEnvironment* env = owner_ ? owner_->GetEnvironment() : nullptr;
  return env ? env->Now() : 0;
}

void TextTypingTask::PauseSelf(uint32_t nowMs) {
  if (selfPauses_++ == 0) selfPauseTime_ = nowMs;
}

void TextTypingTask::ResumeSelf(uint32_t nowMs) {
  if (selfPauses_ == 0) return;
  if (--selfPauses_ == 0) nextDue_ += nowMs - selfPauseTime_;
}

void TextTypingTask::RestoreFontSize() {
  if (savedFontSize_ == 0 || !owner_) return;
  // Refused, the font in force stays; not made, the renderer has none and draws no text.
  if (TextRenderer* r = owner_->GetMainRenderer()) (void)r->SetHeight(savedFontSize_);
  savedFontSize_ = 0;
  owner_->UpdateLineHeight();
}

void TextTypingTask::ApplySizeTag(int32_t n) {
  TextRenderer* r = owner_->GetMainRenderer();
  if (!r) return;
  const int32_t size = owner_->FontSize();
  if (savedFontSize_ == 0) savedFontSize_ = size;
  // Refused, the font in force stays; not made, the renderer has none and draws no text.
  (void)r->SetHeight(size + n);
  owner_->UpdateLineHeight();
}

void TextTypingTask::NoteEnd() {
  if (!endReached_) {
    PauseSelf(Now());
    endReached_ = true;
  }
  state_ = kTypingFinished;
  RestoreFontSize();
}

void TextTypingTask::Wait() {
  state_ = kTypingWaiting;
  owner_->ShowWaitMark(true);
}

bool TextTypingTask::WindowBusy() const {
  MessageWindowState* ws = owner_ ? owner_->GetWindowState() : nullptr;
  return busyCounts_ && ws && ws->IsBusy();
}

bool TextTypingTask::AdvanceRequested() const {
  if (!owner_ || !owner_->IsVisible() || !owner_->IsEnabled()) return false;
  PointerManager* pm = owner_->GetOwner();
  if (!pm || pm->IsCaptured()) return false;
  InputBindingTable* bindings = pm->GetInputBindings();
  if (bindings &&
      (bindings->IsActionPressed(kActionAdvance) || bindings->IsActionPressed(kActionDecide))) {
    return true;
  }
  Mouse* mouse = pm->GetMouse();
  if (!mouse || !mouse->IsButtonPressed(kButtonLeft)) return false;
  const UiControl* hover = pm->GetHover();
  return !hover || (hover->GetKind() != kKindPushButton && hover->GetKind() != kKindCheckButton);
}

bool TextTypingTask::TypeCharacter(size_t from, bool* newLine) {
  Engine* engine = owner_->GetEngine();
  const std::string_view body = engine->Body().value_or(std::string_view());
  std::string text(body.substr(from, engine->Cursor() - from));
  if (text == "<<") text = "<";
  *newLine = text == "\\";
  if (*newLine) return !owner_->NewLine();
  const char* cursor = text.c_str();
  while (*cursor) {
    if (owner_->PutChar(&cursor) == kBreakPageFull) return false;
  }
  return true;
}

int32_t TextTypingTask::TypeToken(bool* pageFull, bool* newLine) {
  Engine* engine = owner_->GetEngine();
  const size_t from = engine->Cursor();
  const int32_t kind = engine->NextToken();
  lastKind_ = int8_t(kind);
  *pageFull = false;
  *newLine = false;
  if (kind == Engine::kCharacter && !TypeCharacter(from, newLine)) {
    // A full page: the rest of the section is passed over, however it ends.
    (void)engine->SeekTag(-1);
    *pageFull = true;
  } else if (kind == Engine::kQuotedTag) {
    const std::string tag(engine->GetTagText().value_or(std::string_view()));
    // A tag that draws nothing leaves the page as it was.
    (void)owner_->DrawString(tag.c_str(), -1, -1, true);
  } else if (kind == Engine::kIntegerTag) {
    ApplySizeTag(engine->GetTagValue());
  } else if (kind < Engine::kCharacter || kind > Engine::kBinaryBlock) {
    lastKind_ = -1;
  }
  return lastKind_;
}

int TextTypingTask::Step(bool all) {
  if (!owner_ || !owner_->GetEngine()) return kTypingFailed;
  for (;;) {
    bool pageFull = false, newLine = false;
    switch (TypeToken(&pageFull, &newLine)) {
      case Engine::kCharacter:
        if (pageFull) {
          // The player is asked on, as at a wait before the end.
          lastKind_ = Engine::kWaitAtEnd;
          Wait();
          return kTypingDone;
        }
        if (!all && !newLine) return kTypingDone;
        break;
      case Engine::kWait:
      case Engine::kWaitBeforeSection:
      case Engine::kWaitAtEnd:
        Wait();
        return kTypingDone;
      case Engine::kSectionEnd:
        owner_->NewPage();
        break;
      case Engine::kEnd:
        NoteEnd();
        return kTypingDone;
      case Engine::kQuotedTag:
        if (!all) return kTypingDone;
        break;
      case Engine::kIntegerTag:
      case Engine::kBinaryBlock:
        break;
      default:
        return kTypingFailed;
    }
  }
}

int TextTypingTask::Finish() {
  if (!owner_ || !owner_->GetEngine()) return kTypingFailed;
  int result = kTypingDone;
  for (bool more = true; more;) {
    bool pageFull = false, newLine = false;
    const int32_t kind = TypeToken(&pageFull, &newLine);
    // Waits, size tags and blocks are passed over; a section's end, the end, a quoted tag, a
    // full page or an error stop.
    more = kind >= Engine::kCharacter && kind <= Engine::kBinaryBlock && !pageFull &&
           kind != Engine::kSectionEnd && kind != Engine::kEnd && kind != Engine::kQuotedTag;
    if (kind < 0) result = kTypingFailed;
  }
  NoteEnd();
  return result;
}

int TextTypingTask::Continue() {
  if (state_ != kTypingWaiting) return kTypingFailed;
  owner_->ShowWaitMark(false);
  state_ = kTypingRunning;
  return kTypingDone;
}

int TextTypingTask::Start(bool all, int mode) {
  if (!owner_) return kTypingFailed;
  RestoreFontSize();
  owner_->NewPage();
  owner_->ShowWaitMark(false);
  if (!owner_->IsVisible()) owner_->SetVisible(true);
  endReached_ = false;
  lastKind_ = 0;
  int result = kTypingDone;
  Engine* engine = owner_->GetEngine();
  char name[kNameBuffer] = {};
  if (MessageTextWidget* box = owner_->GetNameBox()) {
    box->Home(true);
    const uint32_t length = engine ? engine->GetTextPart(1, name, sizeof(name)) : 0;
    if (length > 1 && length <= sizeof(name)) {
      owner_->SetHasName(true);
      if (owner_->GetNameAlignment() >= 4) {
        box->DrawStringJustified(name, {0, 0, box->GetWidth(), box->GetHeight()});
      } else {
        box->DrawStringAligned(name, owner_->GetNameAlignment());
      }
      box->SetVisible(true);
    } else {
      box->SetVisible(false);
    }
  }
  const uint32_t second = engine ? engine->GetTextPart(2, name, sizeof(name)) : 0;
  if (second > 1 && second <= sizeof(name)) {
    // The field holds 15 bytes and the NUL: a longer part is cut on a character boundary.
    if (second > kSecondNameField) result = kTypingNameTooLong;
    owner_->SetSecondName(std::string(sjis::Truncate(name, kSecondNameField - 1)));
  } else {
    owner_->SetSecondName({});
    if (second > sizeof(name)) result = kTypingNameTooLong;
  }
  alreadyRead_ = engine && engine->EndHookSuppressed();
  if (all) {
    (void)
        Finish();  // a step that fails stops at the text it could not read, as the last kind tells
    return result;
  }
  TypingEnvironment* env = owner_->GetEnvironment();
  const TextSpeedSettings speeds = env ? env->GetTextSpeeds() : TextSpeedSettings{};
  allAtOnce_ = alreadyRead_ ? speeds.readNoWait != 0 : speeds.unreadNoWait != 0;
  delay_ = alreadyRead_ ? speeds.readCharMs : speeds.unreadCharMs;
  skipAtOnce_ = alreadyRead_ && mode != 0;
  if (skipAtOnce_ && (AdvanceRequested() || (env && env->IsSkipForbidden()))) skipAtOnce_ = false;
  const bool modifierCounts = alreadyRead_ || speeds.fastForwardReadOnly == 0;
  const bool modifier = modifierCounts && env && env->IsSkipModifierDown();
  busyCounts_ = true;
  if (MessageWindowState* ws = owner_->GetWindowState()) {
    if (!alreadyRead_ && speeds.skipReadOnly != 0) {
      ws->SetFlag(0);
      if (ws->IsBusy()) ws->Cancel();
      busyCounts_ = false;
    } else {
      ws->SetFlag(1);
    }
  }
  if (skipAtOnce_ || modifier || WindowBusy()) {
    (void)Finish();
    state_ = kTypingFinishedAtOnce;
    return result;
  }
  state_ = kTypingStarted;
  nextDue_ = 0;
  while (selfPauses_ > 0) ResumeSelf(Now());
  nextDue_ = 0;
  return result;
}

int32_t TextTypingTask::Update(uint32_t nowMs) {
  if (!owner_ || !owner_->IsEnabled()) return kTaskStepContinue;
  if (state_ == kTypingFinished || state_ == kTypingFinishedAtOnce) return kTaskStepContinue;
  TypingEnvironment* env = owner_->GetEnvironment();
  const TextSpeedSettings speeds = env ? env->GetTextSpeeds() : TextSpeedSettings{};
  const bool modifier =
      env && env->IsSkipModifierDown() && (speeds.fastForwardReadOnly == 0 || alreadyRead_);
  if (modifier || WindowBusy()) {
    (void)
        Finish();  // a step that fails stops at the text it could not read, as the last kind tells
    state_ = kTypingFinishedAtOnce;
    return kTaskStepContinue;
  }
  if (state_ == kTypingRunning && owner_->ClickCompletesTyping() && AdvanceRequested()) {
    (void)Step(true);
    return kTaskStepContinue;
  }
  if (state_ == kTypingWaiting) {
    if (!AdvanceRequested()) return kTaskStepContinue;
    owner_->ShowWaitMark(false);
    state_ = kTypingRunning;
  }
  if (nextDue_ == 0 || Reached(nowMs, nextDue_)) {
    state_ = kTypingRunning;
    (void)Step(allAtOnce_);
    nextDue_ = nowMs + delay_;
  }
  return kTaskStepContinue;
}

}  // namespace bw
