// The message road of the scenario frame: collecting and committing a message, showing it and
// waiting for the reader, the choices, the system commands and the timed waits. Every wait is a
// nested loop of frame turns and ends with -1 when the application quits.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "common/sjis.h"
#include "host/cp932.h"
#include "input/key_codes.h"
#include "platform/timer_service.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_history.h"
#include "scenario/tgs/tgs_window_fade.h"
#include "script/script_engine.h"

namespace bw {
namespace {

constexpr size_t kSpeakerLimit = 40;
constexpr size_t kShownNameLimit = 16;
constexpr size_t kVoiceLimit = 15;
constexpr uint8_t kPageCounterLast = 255;
constexpr uint8_t kRightButtonAutoPlay = 3;

// The commands of input actions 6-17.
constexpr int kActionCommands[kActionCommandCount] = {6, 3, 4, 0, 1, 9, 10, 8, 7, 5, 2, 11};
// The system menu's answers 8-17 as commands.
constexpr int kMenuCommands[10] = {5, 6, 7, 9, 3, 4, 0, 1, 8, 2};

std::string Cut(TgsText text, size_t limit) {
  if (!text) return {};
  return std::string(sjis::Truncate(*text, limit));
}

std::string SlotName(int slot) {
  static const char* const kWideDigits[] = {"\x82\x50", "\x82\x51", "\x82\x52", "\x82\x53",
                                            "\x82\x54"};
  return slot >= 1 && slot <= 5 ? kWideDigits[slot - 1] : "";
}

std::string Format(const char* utf8, const std::string& value) {
  std::string pattern = host::Cp932Literal(utf8);
  size_t at = pattern.find("%s");
  if (at != std::string::npos) pattern.replace(at, 2, value);
  return pattern;
}

// The characters of a page, its call records left out.
uint32_t PageCharacters(std::string_view text) {
  uint32_t count = 0;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == 0) {
      if (text.size() - i < 6 || text[i + 1] != '[') break;
      uint32_t size = static_cast<uint8_t>(text[i + 2]) | static_cast<uint8_t>(text[i + 3]) << 8 |
                      static_cast<uint8_t>(text[i + 4]) << 16 |
                      static_cast<uint32_t>(static_cast<uint8_t>(text[i + 5])) << 24;
      if (size < 4 || size > text.size() - i - 2) break;
      i += 2 + size;
      continue;
    }
    i = sjis::Next(text, i);
    ++count;
  }
  return count;
}

}  // namespace

// Message collection.

int32_t TgsFrame::BeginMessage(int32_t number) {
  messageIndex_ = number;
  messageRead_ = number >= 0 && IsMessageRead(static_cast<uint32_t>(number));
  SetCollectingText(true);
  if (!messageRead_ && S().systemSkipReadOnly) {
    StopSkipping();
    // A fixed button number is never refused.
    (void)SetButtonState(5, 0);
  } else if (buttons_[5] == 0 && !restoring_) {
    (void)SetButtonState(5, 1);
  }
  return 0;
}

int32_t TgsFrame::SetSpeakerName(TgsText name) {
  speaker_ = Cut(name, kSpeakerLimit);
  return 0;
}

int32_t TgsFrame::SetNameAndVoice(TgsText name, TgsText voice) {
  shownName_ = Cut(name, kShownNameLimit);
  voiceName_ = Cut(voice, kVoiceLimit);
  return 0;
}

int32_t TgsFrame::DisableChoice(uint8_t index) {
  if (index < disabled_.size()) disabled_[index] = 1;
  return 0;
}

int TgsFrame::CommitMessageText() {
  std::string& text = Text();
  if (text.empty()) return 1;
  EndWindowAnimation();
  if (!rebuilding_) {
    // The view keeps its own copies; the pending voice is copied here, since the next commit
    // replaces the view's before the voice is taken.
    viewText_ = text;
    viewName_ = shownName_;
    H().SetMessage(viewText_, viewName_, GetRevealTime());
    H().ShowPage();
    if (!voiceName_.empty() && pendingVoice_.empty()) pendingVoice_ = voiceName_;
  }
  // The history keeps the message with the height the history view lays it out at.
  if (TgsHistoryView* view = H().HistoryView(); view && historyOn_ && history_.Capacity() > 0) {
    const int32_t height = view->MeasureText(text);
    if (height >= 0) {
      // The text and the log's room were checked: a message always goes in.
      (void)history_.AddMessage(reinterpret_cast<const uint8_t*>(text.data()),
                                static_cast<uint32_t>(text.size()),
                                static_cast<uint32_t>(height) + 4, shownName_.c_str(),
                                voiceName_.c_str(), pageChanged_ ? pageCounter_ : 0);
    }
  }
  // The page has its message: what follows on it until the view's next page is no new page.
  pageChanged_ = false;
  text.clear();
  shownName_.clear();
  voiceName_.clear();
  SetCollectingText(false);
  return 0;
}

void TgsFrame::DropRestoredText() {
  Text().clear();
  shownName_.clear();
  voiceName_.clear();
  SetCollectingText(false);
}

int32_t TgsFrame::MessageWait() {
  bool withVoice = showing_;
  const bool changed = pageChanged_;
  if (restoring_) {
    // The restore shows this message already: what the script collected again goes.
    DropRestoredText();
  } else {
    if (pageChanged_ && !rebuilding_ && GetRevealTime() == 0) FinishBothViews();
    withVoice = CommitMessageText() == 0;
  }
  if (!rebuilding_) {
    if (int r = ShowMessage(2, withVoice); r != 0) return r;
  }
  EndPage(changed);
  return 0;
}

void TgsFrame::EndPage(bool changed) {
  if (changed) pageCounter_ = pageCounter_ >= kPageCounterLast ? 1 : pageCounter_ + 1;
}

void TgsFrame::MarkCurrentRead() {
  // A message past the record's flags is not marked: the text still shows.
  if (messageIndex_ >= 0) (void)MarkMessageRead(static_cast<uint32_t>(messageIndex_));
}

void TgsFrame::StopSkipping() {
  // A fixed button number is never refused.
  if (systemSkip_ && buttons_[5] == 2) (void)SetButtonState(5, 1);
  systemSkip_ = false;
  fastRead_ = false;
}

bool TgsFrame::SkipKeysCount() {
  if (S().skipKeysReadOnly && !messageRead_) return false;
  return H().SkipModifierDown();
}

void TgsFrame::FollowPointer() {
  const bool low = H().PointerLow();
  if (pointerLow_ == low) return;
  pointerLow_ = low;
  if (S().hideButtonsUnlessLow && !buttonsHidden_) H().ShowButtons(low);
}

bool TgsFrame::AdvanceSeen() {
  return H().LeftClicked() || H().ActionPressed(kActionDecide) || H().ActionPressed(kActionAdvance);
}

int TgsFrame::ShowMessage(int waitMode, bool withVoice) {
  std::string voice;
  if (withVoice) {
    voice = pendingVoice_;
    pendingVoice_.clear();
    showing_ = true;
    windowShown_ = true;
    H().SetWindowVisible(true);
    if (restoring_) {
      restoring_ = false;
    } else if (!voice.empty() && historyOn_ && history_.Capacity() > 0) {
      // The log's room was checked: the snapshot always goes in.
      (void)AddSceneSnapshot(history_, *scene_);
    }
  }
  // A fixed button number is never refused.
  if (history_.Count() > 1 && buttons_[7] == 0) (void)SetButtonState(7, 1);
  if (!buttonsHidden_ && !S().hideButtonsUnlessLow) H().ShowButtons(true);

  auto finish = [&](int answer, bool skipped) {
    FollowModal(true);
    if (withVoice) {
      if (voicePlaying_ && S().stopVoice) H().StopVoice();
      voicePlaying_ = false;
    }
    voiceWait_ = 0;
    if (answer != 0) return answer;
    if (!skipped && waitMode != 0 && S().hideCursor && App().pendingWindowRequest == 0 &&
        App().fullScreenMenuMode != 2) {
      cursorHidden_ = true;
      H().SetCursorVisible(false);
    }
    if (waitMode != 0) {
      H().NextPage();
      pageChanged_ = true;
      ResetFont();
      ApplyTextConfig(false, false, true, true, true);
    }
    showing_ = false;
    MarkCurrentRead();
    return 0;
  };

  // Skipping: typed out at once, one turn, no voice.
  if (SkipKeysCount() || buttons_[5] == 2 || fastRead_) {
    FinishBothViews();
    if (!Turn()) return finish(-1, true);
    if (waitMode == 0) return finish(0, true);
    int d = DispatchInput(-1);
    if ((d == 1 && exitCode_) || d > 4) return finish(exitCode_, true);
    if (d < -1) return finish(-1, true);
    if (AdvanceSeen()) StopSkipping();
    if (SkipKeysCount() || buttons_[5] == 2 || fastRead_) return finish(0, true);
  }
  if (waitMode == 0) return finish(0, false);

  if (!voice.empty() && S().voiceOn) {
    int32_t index = H().PlayVoice(voice, scene_->CharacterIds());
    if (index >= -1) {
      std::optional<int32_t> speaker = speakerX_ ? speakerX_ : scene_->SpeakerX(index);
      int32_t pan = S().voicePanByPosition && index >= 0 && speaker ? VoicePanForX(*speaker) : 0;
      H().SetVoicePan(pan);
      voicePlaying_ = true;
      if (S().duckMusic && H().MusicPlaying()) H().DuckMusicForVoice();
      if (S().voiceOnly) {
        H().SetWindowVisible(false);
        FinishBothViews();
        voiceWait_ = 1;
      }
    }
  }
  RestartAutoTimer();
  for (;;) {
    if (!Turn()) return finish(-1, false);
    FollowModal(false);
    FollowPointer();
    const int d = DispatchInput(H().TakePointerEvent());
    if (d == kDispatchNothing) {
      if (AdvanceSeen() || SkipKeysCount()) {
        // Mode 1 waits on the current view alone, mode 2 on both.
        if (waitMode == 1 && H().Typing()) {
          H().FinishTyping();
          continue;
        }
        if (waitMode == 2) {
          const bool typing = H().Typing() || H().SecondViewTyping();
          if (typing) FinishBothViews();
          // A click also ends the window's fade and face animation before it ends the wait.
          const bool windowMoving = S().clickSkips && EndWindowTasks();
          if (typing || windowMoving) continue;
        }
        return finish(0, false);
      }
    } else if (d > 4) {
      return finish(exitCode_, false);
    } else if (d == 1) {
      if (exitCode_) return finish(exitCode_, false);
      RestartAutoTimer();
    } else if (d == kDispatchRestart) {
      RestartAutoTimer();
    } else if (d == kDispatchSkipped) {
      return finish(0, true);
    } else if (d < -1) {
      return finish(-1, false);
    }
    // While a menu stands open the auto-play time stands too.
    const uint32_t now = menuDepth_ > 0 ? menuOpenedAt_ : H().Clock();
    const uint64_t elapsed = static_cast<uint32_t>(now - autoStart_);
    if (autoPlay_ && !H().VoicePlaying() && !H().Typing() &&
        elapsed > AutoPlayMs(S().autoCharMs, PageCharacters(viewText_), S().autoBaseMs)) {
      return finish(0, false);
    }
    if (voiceWait_ == 1 && !H().VoicePlaying()) {
      voiceWait_ = 2;
      RestartAutoTimer();
    } else if (voiceWait_ == 2 && elapsed > S().autoBaseMs) {
      return finish(0, false);
    }
  }
}

// Choices.

int32_t TgsFrame::ShowChoices(std::span<const std::string_view> choices, int32_t firstBit) {
  if (restoring_) {
    DropRestoredText();
    if (int r = ShowMessage(0, true); r != 0) return r;
  } else if (!Text().empty()) {
    // The text is not empty: it always commits.
    (void)CommitMessageText();
    if (int r = ShowMessage(0, true); r != 0) return r;
  } else {
    // The message ends without text: built-ins after it act again instead of being kept.
    SetCollectingText(false);
    MarkCurrentRead();
  }
  choices_.clear();
  choiceFirstBit_ = firstBit;
  TgsReadFlagRecord* record = CurrentRecord();
  for (size_t i = 0; i < choices.size(); ++i) {
    Choice c;
    c.text = std::string(choices[i]);
    c.enabled = i >= disabled_.size() || disabled_[i] == 0;
    const int64_t bit = int64_t{firstBit} + static_cast<int64_t>(i);
    c.taken = record && bit >= 0 && bit <= UINT32_MAX && record->secondSet.Test(bit);
    choices_.push_back(std::move(c));
  }
  choiceSerial_.reset();
  if (historyOn_ && !choices_.empty() &&
      history_.BeginChoices(static_cast<int32_t>(choices_.size())) == 0) {
    // The list was opened for these choices: each one goes in.
    for (const Choice& c : choices_) (void)history_.AddChoice(c.text.c_str(), c.enabled ? 1 : 0);
    uint32_t serial = 0;
    if (history_.EndChoices(serial) == 0) choiceSerial_ = serial;
  }
  disabled_.fill(0);
  choicesPending_ = !choices_.empty();
  return 0;
}

int32_t TgsFrame::ChoiceWait() {
  if (!choicesPending_) return 0;
  return SelectChoice();
}

int TgsFrame::SelectChoice() {
  const bool skipBefore = systemSkip_;
  systemSkip_ = false;
  // A fixed button number is never refused.
  (void)SetButtonState(5, 0);
  (void)SetButtonState(6, 0);
  if (history_.Count() > 1) (void)SetButtonState(7, 1);
  H().ShowChoiceList(true);
  if (!buttonsHidden_ && !S().hideButtonsUnlessLow) H().ShowButtons(true);
  if (int32_t x = 0, y = 0; H().ChoicePoint(x, y) && H().StartPointerMove(x, y, kChoicePointerMs)) {
    while (H().PointerMoving()) {
      if (!Turn()) return -1;
    }
  }
  bool snapshot = false;
  if (restoring_) {
    restoring_ = false;
  } else {
    // A failed save or snapshot leaves the choice as it is: the player still chooses.
    if (buttons_[3] != 0 && S().saveBeforeChoice) (void)H().AutoSave();
    if (S().keepBackToChoice) snapshot = H().TakeSnapshot();
  }
  // The list takes the pointer now, not the window's hit area.
  H().SetHitAreaEnabled(false);
  for (;;) {
    if (!Turn()) return -1;
    FollowPointer();
    const int event = H().TakePointerEvent();
    if (event >= 20 && static_cast<size_t>(event - 20) < choices_.size()) {
      const int chosen = event - 20;
      if (!choices_[chosen].enabled) continue;
      if (ChooseChoice(chosen, skipBefore, snapshot) != 0) return -1;
      return 0;
    }
    const int d = DispatchInput(event < 20 ? event : -1);
    if ((d == 1 && exitCode_) || d > 4) return exitCode_;
    if (d < -1) return -1;
  }
}

int TgsFrame::ChooseChoice(int chosen, bool skipBefore, bool snapshot) {
  if (S().acceptSoundAtChoice) H().PlaySystemSound(kTgsSoundAccept);
  if (TgsReadFlagRecord* record = CurrentRecord()) {
    const int64_t bit = int64_t{choiceFirstBit_} + chosen;
    // A choice past the record's bits is not recorded.
    if (bit >= 0 && bit <= UINT32_MAX) (void)record->secondSet.Set(bit, true);
  }
  choices_[chosen].taken = true;
  H().FadeOtherChoices(chosen);
  while (H().ChoiceFadesRunning()) {
    if (!Turn()) return -1;
  }
  H().RemoveTasks(kChoicePathTaskKind);
  // A fixed button number is never refused; a refused guest word leaves the variable as it was; a
  // list that left the log takes no mark.
  if (S().keepBackToChoice && snapshot) (void)SetButtonState(2, 1);
  if (config_[0] != 0) (void)H().WriteGuestWord(static_cast<uint32_t>(config_[0]), chosen);
  if (choiceSerial_) (void)history_.SetChosenIndex(*choiceSerial_, chosen);
  choiceSerial_.reset();
  if (S().stopVoice) H().StopVoice();
  if (skipBefore && S().keepSkipAfterChoice) {
    systemSkip_ = true;
    // A fixed button number is never refused.
    (void)SetButtonState(5, 2);
  } else {
    (void)SetButtonState(5, 1);
  }
  (void)SetButtonState(6, autoPlay_ ? 2 : 1);
  H().ShowChoiceList(false);
  choices_.clear();
  choicesPending_ = false;
  H().SetHitAreaEnabled(true);
  ApplyTextConfig(false, false, true, true, true);
  MarkCurrentRead();
  return 0;
}

// The system buttons, their keys and actions.

int TgsFrame::Caption(const std::string& cp932, uint32_t ms) {
  H().ShowCaption(cp932, ms);
  return kDispatchRan;
}

int TgsFrame::AskYesNo(const std::string& text) {
  if (RequestWindow(kTgsRequestYesNo, text) != kRequestDone) return 0;
  return H().WindowRequestAnswer();
}

int TgsFrame::DispatchInput(int button) {
  // A game chosen in the menu bar's load dialog: the run ends, and the step native loads it.
  if (App().loadedGame != 0 && App().pendingWindowRequest == 0) {
    exitCode_ = 2;
    return kDispatchLoaded;
  }
  int slot = 0;
  if (button < 0) {
    if (App().fullScreenMenuMode == 2 && S().hideWindowForMenu) return HideWindowCommand(true);
    // A right button bound to auto play toggles it as its action does.
    if (autoPlay_ && S().rightClickEndsAuto && S().rightButtonMode != kRightButtonAutoPlay &&
        H().RightClicked()) {
      autoPlay_ = false;
      // A fixed button number is never refused.
      (void)SetButtonState(6, 1);
      H().SetWaitMarkAuto(false);
    }
    const int action = H().FindPressedAction(kActionFirstCommand, kActionCommandCount);
    if (action >= kActionFirstCommand && action < kActionFirstCommand + kActionCommandCount) {
      button = kActionCommands[action - kActionFirstCommand];
    } else if (!H().KeyDown(kKeyLeftAlt) && !H().KeyDown(kKeyRightAlt)) {
      for (int k = 0; k < 5 && button < 0; ++k) {
        if (!H().KeyPressed(kKeyF1 + k)) continue;
        slot = k + 1;
        const bool modifier = S().shiftQuickSave
                                  ? H().KeyDown(kKeyLeftShift) || H().KeyDown(kKeyRightShift)
                                  : H().KeyDown(kKeyLeftControl) || H().KeyDown(kKeyRightControl);
        button = modifier ? 0 : 1;
      }
    }
    if (button < 0) return kDispatchNothing;
  }
  if (button < kTgsButtonCount && buttons_[button] == 0) return kDispatchNothing;
  if (button > 11) return kDispatchNothing;
  return DispatchCommand(button, slot);
}

int TgsFrame::QuickSaveCommand(int slot) {
  if (!H().QuickSave(slot)) return Caption(host::Cp932Literal("クイックセーブに失敗しました"));
  if (slot == 0) return Caption(host::Cp932Literal("クイックセーブを実行しました"));
  return Caption(Format("スロット%sにセーブしました", SlotName(slot)));
}

int TgsFrame::QuickLoadCommand(int slot) {
  auto missing = [&] {
    return Caption(slot == 0 ? host::Cp932Literal("クイックセーブデータは存在しません")
                             : Format("スロット%sにデータは存在しません", SlotName(slot)));
  };
  const bool confirm = S().confirmQuickLoad;
  if (confirm) {
    std::string text;
    if (!H().SlotText(slot, text)) return missing();
    H().PlaySystemSound(kTgsSoundOpen);
    if (AskYesNo(text + host::Cp932Literal("\r\nをロードしますか？")) != 1) return kDispatchRan;
  }
  // The slot is only looked for here (the run ends before it is read): not found, it is missing.
  if (!H().QuickLoad(slot)) return missing();
  if (confirm) {
    H().ShowCaption({}, kCaptionShortMs);
    H().PlaySystemSound(kTgsSoundAccept);
  } else {
    H().ShowCaption(slot == 0 ? host::Cp932Literal("クイックロードを実行しました")
                              : Format("スロット%sからロードしました", SlotName(slot)),
                    S().userSkip ? kCaptionShortMs : kCaptionLongMs);
  }
  exitCode_ = 2;
  return kDispatchLoaded;
}

int TgsFrame::DispatchCommand(int command, int slot) {
  switch (command) {
    case 0:
      return QuickSaveCommand(slot);
    case 1:
      return QuickLoadCommand(slot);
    case 2:
      if (S().confirmPreviousChoice) {
        H().PlaySystemSound(kTgsSoundOpen);
        if (AskYesNo(host::Cp932Literal("前の選択肢に戻ります。\r\nよろしいですか？")) != 1) {
          return kDispatchRan;
        }
        H().PlaySystemSound(kTgsSoundAccept);
      }
      exitCode_ = 3;
      return kDispatchBackToChoice;
    case 3:
      H().PlaySystemSound(kTgsSoundOpen);
      App().menuOpen = 1;
      // A dialog that does not open leaves the game as it was.
      (void)RequestWindow(kTgsRequestSave, {});
      App().menuOpen = 0;
      return kDispatchRan;
    case 4:
      H().PlaySystemSound(kTgsSoundOpen);
      App().loadedGame = 0;
      App().menuOpen = 1;
      // A dialog that does not open loads nothing: the loaded-game flag tells.
      (void)RequestWindow(kTgsRequestLoad, {});
      App().menuOpen = 0;
      if (App().loadedGame == 0) return kDispatchRan;
      H().PlaySystemSound(kTgsSoundAccept);
      H().ShowCaption({}, kCaptionShortMs);
      exitCode_ = 2;
      return kDispatchLoaded;
    case 5:
      H().PlaySystemSound(kTgsSoundClick);
      systemSkip_ = !systemSkip_;
      // A fixed button number is never refused.
      (void)SetButtonState(5, systemSkip_ ? 2 : 1);
      if (!systemSkip_) fastRead_ = false;
      return systemSkip_ ? kDispatchSkipped : kDispatchSkipEnded;
    case 6:
      H().PlaySystemSound(kTgsSoundClick);
      autoPlay_ = !autoPlay_;
      H().SetWaitMarkAuto(autoPlay_);
      // A fixed button number is never refused.
      (void)SetButtonState(6, autoPlay_ ? 2 : 1);
      RestartAutoTimer();
      return kDispatchRan;
    case 7: {
      PauseMenuClock();
      const int closed = OpenTextHistory();
      ResumeMenuClock();
      switch (closed) {
        case kHistoryQuit:
          return kDispatchQuit;
        case 0:
          return kDispatchRestart;
        default:
          return kDispatchRan;  // nothing could be shown: the wait goes on
      }
    }
    case 10: {
      PauseMenuClock();
      const int32_t chosen = SystemMenu();
      ResumeMenuClock();
      if (exitCode_ != 0 || chosen < 8) return chosen;
      return DispatchCommand(chosen <= 17 ? kMenuCommands[chosen - 8] : 11, 0);
    }
    case 8: {
      H().PlaySystemSound(kTgsSoundOpen);
      const bool readOnlySkip = S().systemSkipReadOnly;
      if (RequestWindow(kTgsRequestSettings, {}) != kRequestDone) return kDispatchRan;
      // The settings sheet raises the indicators whose guest addresses words 4 and 5 hold.
      const bool fonts = TakeIndicator(4), window = TakeIndicator(5);
      if (fonts) ApplyTextConfig(false, true, false, false, false);
      if (window) ApplyTextConfig(true, false, false, false, false);
      if (fonts || window) {
        // What is on the screen takes the new look at once: the page and the choices.
        H().RelayoutPage();
        if (choicesPending_ && !choices_.empty()) H().ShowChoiceList(true);
        if (readOnlySkip != S().systemSkipReadOnly) {
          // A fixed button number is never refused.
          (void)SetButtonState(5, !S().systemSkipReadOnly || messageRead_ ? 1 : 0);
        }
      }
      return kDispatchRan;
    }
    case 9:
      return HideWindowCommand(false);
    case 11:
      if (!App().titleAllowed) return kDispatchRan;
      H().PlaySystemSound(kTgsSoundOpen);
      if (AskYesNo(host::Cp932Literal("タイトルに戻ります。\r\nよろしいですか？")) != 1) {
        return kDispatchRan;
      }
      H().PlaySystemSound(kTgsSoundAccept);
      exitCode_ = 1;
      return kDispatchTitle;
    default:
      return kDispatchNothing;
  }
}

int TgsFrame::HideWindowCommand(bool fromMenu) {
  // The full-screen menu hides the windows while it is open, without the command's sounds.
  if (!fromMenu) H().PlaySystemSound(kTgsSoundClick);
  H().SetWindowVisible(false);
  H().ShowButtons(false);
  for (;;) {
    if (!Turn()) return kDispatchQuit;
    if (fromMenu ? App().fullScreenMenuMode != 2
                 : H().LeftClicked() || H().RightClicked() || H().ActionPressed(kActionDecide) ||
                       H().ActionPressed(kActionCancel) || H().ActionPressed(kActionHideWindow)) {
      break;
    }
  }
  if (!fromMenu) H().PlaySystemSound(kTgsSoundClick);
  voiceWait_ = 0;
  StopSkipping();
  if (!Turn()) return kDispatchQuit;
  H().SetWindowVisible(windowShown_);
  if (H().PointerLow()) H().ShowButtons(true);
  return kDispatchRan;
}

void TgsFrame::PauseMenuClock() {
  if (menuDepth_++ == 0) menuOpenedAt_ = H().Clock();
}

void TgsFrame::ResumeMenuClock() {
  if (menuDepth_ == 0 || --menuDepth_ != 0) return;
  // The auto-play timer starts later by the time the menu stood open.
  autoStart_ += H().Clock() - menuOpenedAt_;
}

void TgsFrame::FollowModal(bool waitEnds) {
  const bool open = !waitEnds && App().modalOpen != 0;
  if (open == modalPaused_) return;
  modalPaused_ = open;
  if (open) {
    PauseMenuClock();
  } else {
    ResumeMenuClock();
  }
}

bool TgsFrame::TakeIndicator(size_t word) {
  const int32_t address = config_[word];
  int32_t value = 0;
  if (address == 0 || !H().ReadGuestWord(static_cast<uint32_t>(address), value)) return false;
  return value != 0;
}

int TgsFrame::RequestWindow(int kind, const std::string& text) {
  if (App().pendingWindowRequest != 0) return kRequestPending;
  App().pendingWindowRequest = static_cast<uint8_t>(kind + 1);
  PauseMenuClock();
  auto done = [&](int answer) {
    App().pendingWindowRequest = 0;
    ResumeMenuClock();
    return answer;
  };
  if (!H().PostWindowRequest(kind, text)) return done(kRequestRefused);
  const uint32_t start = H().Clock();
  for (;;) {
    TgsRequestStart state = H().PollWindowRequest();
    if (state == TgsRequestStart::kDone) return done(kRequestDone);
    if (state == TgsRequestStart::kRunning) break;
    if (static_cast<uint32_t>(H().Clock() - start) > kRequestAcceptMs) {
      // Not taken in time: a late start would open the dialog over the running scenario.
      H().CancelWindowRequest();
      return done(kRequestTimedOut);
    }
    if (!Turn()) {
      H().CancelWindowRequest();
      return done(kRequestTimedOut);
    }
  }
  while (H().PollWindowRequest() != TgsRequestStart::kDone) {
    if (!Turn()) break;
  }
  return done(kRequestDone);
}

// Timed waits.

int TgsFrame::WaitTime(uint32_t ms) {
  if (rebuilding_) return 0;
  const uint32_t start = H().Clock();
  while (static_cast<uint32_t>(H().Clock() - start) < ms) {
    if (!Turn()) return -1;
  }
  return 0;
}

int TgsFrame::WaitTimeSkippable(uint32_t ms, bool click) {
  if (systemSkip_ || fastRead_) return 1;
  if (rebuilding_) return 0;
  const uint32_t start = H().Clock();
  for (;;) {
    if (!Turn()) return -1;
    if (static_cast<uint32_t>(H().Clock() - start) >= ms) return 0;
    if (H().SkipModifierDown()) return 0;
    if (click && S().clickSkips && (H().LeftClicked() || H().ActionPressed(kActionDecide))) {
      return 1;
    }
  }
}

int32_t TgsFrame::WaitTimeSkippable(int32_t ms, bool click) {
  return WaitTimeSkippable(static_cast<uint32_t>(std::max(ms, 0)), click);
}

int32_t TgsFrame::WaitTimeFixed(int32_t ms) {
  // A wait that may not be skipped ends the skipping too, as a click would.
  StopSkipping();
  return WaitTime(static_cast<uint32_t>(std::max(ms, 0)));
}

// Placement, visibility and fades.

int32_t TgsFrame::SelectMessageWindow(int32_t window) {
  return window == 0 ? 0 : kBadWindow;
}

int32_t TgsFrame::SetMessageWindowPlace(int32_t alignment, int32_t x, int32_t y, int32_t style,
                                        int32_t frame, int32_t window) {
  if (!AcceptWindowArgument(window)) return kBadWindow;
  if (alignment >= 0) {
    placeAlignment_ = alignment;
    const int32_t alignedX = alignment == 1 ? 0 : alignment == 2 ? 800 : 400;
    placeX_ = x < 0 ? alignedX : x;
    placeY_ = y < 0 ? 561 : y;
  }
  // The frame's kind and opacity where given; the user's settings fill in the rest.
  if (style >= 0) {
    styleGiven_ |= kStyleGiven;
    frameStyle_ = style;
  }
  if (frame >= 0) {
    styleGiven_ |= kOpacityGiven;
    frameOpacity_ = static_cast<uint8_t>(std::min(frame, 255));
  }
  if (!restoring_) {
    H().PlaceWindow(placeAlignment_, placeX_, placeY_);
    if (style >= 0 || frame >= 0) ApplyWindowFrame();
  }
  return 0;
}

int32_t TgsFrame::SetFaceWindowPlace(int32_t slot, int32_t dx, int32_t dy, int32_t group) {
  int32_t x = placeX_ + dx, y = placeY_ + dy;
  if (slot >= 0) {
    const TgsSpriteRecord* r = scene_->SpriteRecord(0, slot, group);
    if (!rebuilding_ && (!r || !r->sprite)) return 0;
    x = rebuilding_ ? dx : dx + r->x - r->anchorX;
    y = rebuilding_ ? dy : dy + r->y - r->anchorY;
  }
  placeX_ = x;
  placeY_ = y;
  if (!rebuilding_) H().PlaceWindow(placeAlignment_, x, y);
  return 0;
}

int32_t TgsFrame::SetTextFont(std::optional<int32_t> size, std::optional<int32_t> color,
                              std::optional<int32_t> shadow, TgsText face) {
  // The history's text keeps its colours on the history's renderers; faces and sizes stay.
  if (historyLayout_) {
    if (TgsHistoryView* view = H().HistoryView()) {
      if (color) view->SetTextColor(*color == -1 ? historyColor_ : uint32_t(*color) & 0xFFFFFF);
      if (shadow) view->SetShadowColor(*shadow == -1 ? 0 : uint32_t(*shadow) & 0xFFFFFF);
    }
    return 0;
  }
  font_.changed = true;
  if (size && *size < 1) size = 24;
  if (color) font_.color = *color == -1 ? 0xFFFFFF : static_cast<uint32_t>(*color) & 0xFFFFFF;
  if (shadow) font_.shadow = *shadow == -1 ? 0 : static_cast<uint32_t>(*shadow) & 0xFFFFFF;
  std::string picked = face ? PickFace(*face, S().face, installed_) : std::string();
  if (!picked.empty()) {
    font_.faceChanged = true;
    font_.face = picked;
    font_.secondFace = picked;
    if (size) font_.size = *size;
  } else if (size) {
    font_.size = *size;
  }
  ShowFont();
  return 0;
}

int32_t TgsFrame::ShowMessageWindow(bool show, int32_t window) {
  if (!AcceptWindowArgument(window)) return kBadWindow;
  windowShown_ = show;
  H().SetWindowVisible(show);
  return 0;
}

int32_t TgsFrame::CloseMessageWindow(int32_t window) {
  if (!AcceptWindowArgument(window)) return kBadWindow;
  viewText_.clear();
  viewName_.clear();
  windowShown_ = false;
  H().SetWindowVisible(false);
  EndWindowTasks();
  return 0;
}

int32_t TgsFrame::FadeMessageWindows(bool show, int32_t time, bool buttons) {
  EndWindowFade();
  windowShown_ = show;
  auto atOnce = [&] {
    H().SetWindowVisible(show);
    if (buttons) H().ShowButtons(show);
    return 0;
  };
  TimerService* timers = Global<TimerService>::Get();
  if (systemSkip_ || fastRead_ || restoring_ || !timers) return atOnce();
  const uint32_t total = time <= 0 ? (time == 0 ? 1 : 300) : static_cast<uint32_t>(time);
  if (show) atOnce();
  auto fade = std::make_unique<TgsWindowFade>(H(), show, buttons, total);
  TgsWindowFade* listed = fade.get();
  if (timers->Add(std::move(fade), 0, 0, 0) != kTaskAdded) return 0;
  windowFade_ = listed;
  windowFade_->SetOwnerSlot(&windowFade_);
  while (windowFade_) {
    if (!Turn()) return -1;
  }
  return 0;
}

bool TgsFrame::EndWindowFade() {
  if (!windowFade_) return false;
  if (TimerService* timers = Global<TimerService>::Get()) {
    // A task that ended on its own is gone already.
    (void)timers->RemoveByHandle(windowFade_->Handle());
  }
  windowFade_ = nullptr;
  return true;
}

bool TgsFrame::EndWindowTasks() {
  const bool animated = scene_->WindowAnimationRunning();
  scene_->ReleaseWindowAnimation();
  return EndWindowFade() || animated;
}

int32_t TgsFrame::ShowMessageWindows(bool show) {
  windowShown_ = show;
  H().SetWindowVisible(show);
  if (!S().hideButtonsUnlessLow) H().ShowButtons(show);
  return 0;
}

}  // namespace bw
