// The scenario player: the frame base with its interpreter plus the message road (text, names,
// voice, waits, choices, the system buttons and their keys). Drawing, sound and the window thread
// are the host's (tgs_frame_host.h). One frame exists at a time, published through TheTgsFrame.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/global.h"
#include "platform/timed_task.h"
#include "scenario/message/text_history_log.h"
#include "scenario/tgs/tgs_crossfade.h"
#include "scenario/tgs/tgs_frame_base.h"
#include "scenario/tgs/tgs_frame_host.h"
#include "scenario/tgs/tgs_scene.h"
#include "scenario/tgs/tgs_sound.h"
#include "scenario/tgs/tgs_system_menu.h"

namespace bw {

class CompositionLayer;
class TextHistoryLog;
class TgsWindowFade;
struct TgsSceneBlock;

// "DATA/BG.TXT"
constexpr int kBgTableEmpty = 2;
constexpr int kBgTableBadSection = 3;  // a section number of 0 or below
constexpr int kBgTableRepeatFirst = 4;
constexpr int kBgTableRepeatAfterNumber = 5;
// TgsFrameSetup
constexpr int kTgsSetupNoHost = 1;
constexpr int kTgsSetupWindows = 2;
// TgsFrameBeginRun
constexpr int kTgsNotSetUp = -2;
// GetMessageSummary
constexpr int kSummaryNoText = 1;
constexpr int kSummaryEmpty = 2;
// TgsRequestWindow
constexpr int kRequestDone = 0;
constexpr int kRequestPending = 1;
constexpr int kRequestRefused = 2;
constexpr int kRequestTimedOut = 3;
constexpr uint32_t kRequestAcceptMs = 5000;
// RunCallRecord
constexpr int32_t kTgsBadCallRecord = -2;
// SetButtonState
constexpr int kBadButton = 1;
// Placement: window argument refused.
constexpr int kBadWindow = 1;

// Dispatcher answers.
constexpr int kDispatchNothing = 0;
constexpr int kDispatchRan = -1;
constexpr int kDispatchQuit = -2;
constexpr int kDispatchRestart = 2;
constexpr int kDispatchSkipped = 3;
constexpr int kDispatchSkipEnded = 4;
constexpr int kDispatchBackToChoice = 5;
constexpr int kDispatchLoaded = 6;
constexpr int kDispatchTitle = 7;

constexpr int kTgsButtonCount = 10;
// How long the system commands' captions stand: short, and the quick load's longer unless the
// player skips.
constexpr uint32_t kCaptionShortMs = 100;
constexpr uint32_t kCaptionLongMs = 850;
// The message window's placement: which of its frame's looks a script gave.
constexpr uint8_t kStyleGiven = 1;
constexpr uint8_t kOpacityGiven = 2;
constexpr uint32_t kChoiceFadeMs = 400;
// The pointer's move onto a choice list as it appears.
constexpr uint32_t kChoicePointerMs = 140;
// Path tasks of sprites in a layer's upper list: a choice taken ends them.
constexpr uint32_t kChoicePathTaskKind = kTaskKindSpriteMovePath + 1;

// Parses "DATA/BG.TXT": plain numbers, "[name k]" sections stored as -k and "*" repeating the
// section's marker; the list ends with 0. 0 or a kBgTable* code.
[[nodiscard]] int ParseBackgroundTable(std::string_view text, std::vector<int32_t>& out);

// Channel 6's pan for a speaking picture at x (hundredths of a decibel).
int32_t VoicePanForX(int32_t x);

// The auto-play wait of a page: 64 bits, so a large base time does not wrap to a short one.
inline uint64_t AutoPlayMs(uint32_t perChar, uint32_t characters, uint32_t base) {
  return uint64_t{perChar} * characters + base;
}

// What save data keeps of a message: "【name】\r\n" when a name is shown, then the text without
// full-width spaces and call records. 0, kSummaryNoText or kSummaryEmpty.
[[nodiscard]] int BuildMessageSummary(std::string_view name, std::string_view text,
                                      std::string& out);

// The first face of a comma-separated list that installed accepts ("user" is userFace); a name
// over 31 bytes never matches. Empty when none.
std::string PickFace(std::string_view list, std::string_view userFace,
                     const std::function<bool(std::string_view)>& installed);

// What native 793 does after the run: the routing of its result.
enum class TgsStepRoute { kReturn1, kRestoreCursor, kCaptionRenderEnd, kRenderEnd, kEnd };
[[nodiscard]] TgsStepRoute RouteStepResult(int result, bool endRequest);

class TgsFrame : public TgsFrameBase, public TgsSceneOperations {
 public:
  TgsFrame(ScriptEngine* host, ScriptFileSource* files, TgsFrameHost* frameHost);
  ~TgsFrame() override;

  // Reads the background table and prepares the host's windows; 0 or a kTgsSetup*/kBgTable* code.
  [[nodiscard]] int Setup(std::string_view backgroundTable);
  [[nodiscard]] int BeginRun(bool resume);
  [[nodiscard]] int End();
  [[nodiscard]] bool RestoreCursor();
  void ApplyTextConfig(bool window, bool font, bool history, bool onlyWhenChanged, bool clear);
  [[nodiscard]] int GetMessageSummary(std::string& out) const;
  int GetMessageMode() const;

  [[nodiscard]] int ShowMessage(int waitMode, bool withVoice);
  [[nodiscard]] int SelectChoice();
  [[nodiscard]] int DispatchInput(int button);
  [[nodiscard]] int RequestWindow(int kind, const std::string& text);
  [[nodiscard]] int WaitTime(uint32_t ms);
  [[nodiscard]] int WaitTimeSkippable(uint32_t ms, bool click);
  uint32_t GetRevealTime();
  bool IsSkipping(int bits);
  [[nodiscard]] int CommitMessageText();
  [[nodiscard]] int SetButtonState(int button, int state);
  void ShowSystemButtons(bool show);
  // Runs a built-in kept in message text; its result also goes to host variable 0.
  [[nodiscard]] int32_t CallBuiltinDirect(uint32_t number, std::span<const TgsSlot> slots);
  // Runs the call record at the start of record (from its 0x00) in direct mode: the built-in's
  // result, or kTgsBadCallRecord when the record cannot be read.
  [[nodiscard]] int32_t RunCallRecord(std::span<const uint8_t> record);
  // The same for a record met while the history lays text out: its font calls colour the
  // history's renderers, a colour of -1 being historyRgb, and its view calls do nothing.
  [[nodiscard]] int32_t RunHistoryCall(std::span<const uint8_t> record, uint32_t historyRgb);
  // The text history window: 0 closed, kHistoryQuit, or kHistoryNoView.
  [[nodiscard]] int OpenTextHistory();
  TextHistoryLog& History() { return history_; }

  bool IsSetUp() const { return setUp_; }
  const std::vector<int32_t>& Backgrounds() const { return backgrounds_; }
  const TgsFontState& Font() const { return font_; }
  int32_t MessageIndex() const { return messageIndex_; }
  bool SystemSkip() const { return systemSkip_; }
  bool AutoPlay() const { return autoPlay_; }
  int ButtonState(int button) const { return buttons_.at(button); }
  int32_t ExitCode() const { return exitCode_; }
  const std::string& PendingVoice() const { return pendingVoice_; }
  const std::string& SpeakerName() const { return speaker_; }
  const std::string& ShownName() const { return shownName_; }
  const std::string& VoiceName() const { return voiceName_; }
  const std::string& ViewText() const { return viewText_; }
  int32_t WindowAlignment() const { return placeAlignment_; }
  int32_t WindowX() const { return placeX_; }
  int32_t WindowY() const { return placeY_; }
  bool WindowShown() const { return windowShown_; }
  size_t ChoiceCount() const { return choices_.size(); }
  bool ChoiceEnabled(size_t i) const { return choices_.at(i).enabled; }
  const std::string& ChoiceText(size_t i) const { return choices_.at(i).text; }
  bool ChoiceTaken(size_t i) const { return choices_.at(i).taken; }
  // The picture the voice speaks from (x), or nullopt: the scene's sprite records hold none yet.
  void SetSpeakerX(std::optional<int32_t> x) { speakerX_ = x; }
  // The faces the font list holds.
  void SetInstalledFaces(std::function<bool(std::string_view)> installed) {
    installed_ = std::move(installed);
  }

  // TgsOperations: the message road.
  bool RestoringGame() const override { return restoring_; }
  void BeginBuiltin(uint32_t number) override;
  [[nodiscard]] int32_t BeginMessage(int32_t number) override;
  [[nodiscard]] int32_t ShowChoices(std::span<const std::string_view> choices,
                                    int32_t firstBit) override;
  [[nodiscard]] int32_t MessageWait() override;
  [[nodiscard]] int32_t ChoiceWait() override;
  [[nodiscard]] int32_t SetSpeakerName(TgsText name) override;
  [[nodiscard]] int32_t DisableChoice(uint8_t index) override;
  [[nodiscard]] int32_t WaitTimeSkippable(int32_t ms, bool click) override;
  [[nodiscard]] int32_t WaitTimeFixed(int32_t ms) override;
  [[nodiscard]] int32_t SelectMessageWindow(int32_t window) override;
  [[nodiscard]] int32_t SetMessageWindowPlace(int32_t alignment, int32_t x, int32_t y,
                                              int32_t style, int32_t frame,
                                              int32_t window) override;
  [[nodiscard]] int32_t SetFaceWindowPlace(int32_t slot, int32_t dx, int32_t dy,
                                           int32_t group) override;
  [[nodiscard]] int32_t SetNameAndVoice(TgsText name, TgsText voice) override;
  [[nodiscard]] int32_t TextNewLine() override { return historyLayout_ ? 0 : host_->ViewNewLine(); }
  [[nodiscard]] int32_t BeginRuby() override { return historyLayout_ ? 0 : host_->ViewBeginRuby(); }
  [[nodiscard]] int32_t DrawRuby(TgsText ruby) override {
    return historyLayout_ ? 0 : host_->ViewDrawRuby(ruby.value_or(""));
  }
  [[nodiscard]] int32_t SetTextFont(std::optional<int32_t> size, std::optional<int32_t> color,
                                    std::optional<int32_t> shadow, TgsText face) override;
  [[nodiscard]] int32_t ShowMessageWindow(bool show, int32_t window) override;
  [[nodiscard]] int32_t CloseMessageWindow(int32_t window) override;
  [[nodiscard]] int32_t FadeMessageWindows(bool show, int32_t time, bool buttons) override;
  // The window's face animation (tgs_window_animation.cpp).
  [[nodiscard]] int32_t MessageTalk(int32_t window, int32_t time, TgsText path, bool show) override;
  [[nodiscard]] int32_t TalkAnime(int32_t window, TgsText path) override;
  [[nodiscard]] int32_t WaitTalkAnime(int32_t window, bool skippable) override;
  [[nodiscard]] int32_t ReleaseTalkAnime(int32_t window) override;
  // Puts the message window where its recorded transform says (after a rebuild).
  void ApplyWindowTransform();
  // Ends the face animation; the window goes back to its placement with the next page.
  void EndWindowAnimation();
  // Ends the window's two tasks, its fade and its face animation, at their end state; whether
  // either was running.
  bool EndWindowTasks();
  bool EndWindowFade();
  [[nodiscard]] int32_t ShowMessageWindows(bool show) override;
  // Cross-fades (tgs_crossfade.cpp): a "cross" of time ms on the shown page, as
  // TgsCrossFade::CrossFade.
  [[nodiscard]] int32_t CrossFade(int32_t time, int mode, int skipMode);
  [[nodiscard]] int32_t FlashColor(int32_t time, int32_t color) override;
  [[nodiscard]] int32_t ChangeBackgroundThroughColor(TgsText name, int32_t time,
                                                     int32_t color) override;
  // The system menu (tgs_system_menu.cpp): a command 8-18, kMenuClosed or kMenuQuit.
  [[nodiscard]] int32_t SystemMenu();

  // The scene state of save data (tgs_scene_state.cpp): the script state, then the scene block.
  uint32_t GetSceneSaveSize(bool withHistory);
  // 0, or kSceneSaveBaseFailed / kSceneSaveHistoryFailed.
  [[nodiscard]] int SaveScene(std::vector<uint8_t>& out, bool withHistory);
  // 0 or a kSceneLoad* code; on failure the frame, its scripts and the cursor are as they were.
  // restoreHistory: a history range in the block goes into the log (else it is only read).
  [[nodiscard]] int LoadScene(ByteReader& in, bool restoreHistory = true);
  bool RebuildPending() const { return loadedScene_ != nullptr; }
  // Rebuilds the loaded scene: 0, or -1 when the application quits during the closing fade.
  [[nodiscard]] int RebuildScene();
  // Renders the shown page into the host's canvas so that the last picture stays: 0, or 1 when
  // there is nothing to render into.
  [[nodiscard]] int RenderSceneToHost();
  // The scene's name that saves carry as their title: built-in 18's text.
  const std::string& SceneLabel() const { return speaker_; }

  // TgsOperations: sound.
  TgsSound& Sound() { return sound_; }
  // clang-format off
#define BW_TGS_SOUND_FORWARD(name, params, args) \
  [[nodiscard]] int32_t name params override { return sound_.name args; }
  BW_TGS_SOUND_OPERATIONS(BW_TGS_SOUND_FORWARD)
#undef BW_TGS_SOUND_FORWARD
  // clang-format on

 private:
  struct Choice {
    std::string text;
    bool enabled = true;
    bool taken = false;
  };

  TgsFrameHost& H() {
    return *host_;
  }
  const TgsUserSettings& S() {
    return host_->Settings();
  }
  TgsAppState& App() {
    return host_->AppState();
  }
  bool Turn() {
    return host_->FrameTurn() != 0;
  }
  bool SkipKeysCount();
  void FinishBothViews() {
    H().FinishTyping();
    H().FinishSecondView();
  }
  bool AdvanceSeen();
  void StopSkipping();
  // With the hide setting the buttons follow the pointer: shown while it is low on the screen.
  void FollowPointer();
  void ResetFont();
  void ApplyWindowFrame();
  void ShowFont();  // hands the font state to the host's message renderer
  void RestartAutoTimer() {
    autoStart_ = H().Clock();
    menuOpenedAt_ = autoStart_;
  }
  // The menu clock: the time spent in menus and dialogs does not count toward auto play.
  void PauseMenuClock();
  void ResumeMenuClock();
  // The clock stands while the application shows a dialog or its menu bar's menu.
  void FollowModal(bool waitEnds);
  // Built-in 16's page: the page's first message took its number; the counter moves on.
  void EndPage(bool changed);
  bool AcceptWindowArgument(int32_t window) const {
    return window <= 0;
  }
  [[nodiscard]] int Caption(const std::string& cp932, uint32_t ms = kCaptionShortMs);
  // The choice taken: its read bit, the others faded out, the index written, the buttons; 0, or
  // -1 when the application quits during the fade.
  [[nodiscard]] int ChooseChoice(int chosen, bool skipBefore, bool snapshot);
  [[nodiscard]] int DispatchCommand(int command, int slot);
  [[nodiscard]] int HideWindowCommand(bool fromMenu);
  [[nodiscard]] int QuickSaveCommand(int slot);
  [[nodiscard]] int QuickLoadCommand(int slot);
  [[nodiscard]] int AskYesNo(const std::string& text);
  void MarkCurrentRead();
  // While a loaded game resumes, the text collected again is the one the restore shows: it goes.
  void DropRestoredText();
  // Whether the settings indicator at configuration word word is raised (checked guest read).
  bool TakeIndicator(size_t word);
  TgsCrossFade CrossFades();
  bool MenuButtonEnabled(int button);
  [[nodiscard]] int32_t QuitFromMenu(TgsMenuHost& menu);
  [[nodiscard]] int32_t TalkAnimation(int32_t window, int32_t time, TgsText path, bool immediate);

  TgsFrameHost* host_;
  bool setUp_ = false;
  // Native 794's words 0-5 as they were when the frame was made.
  std::array<int32_t, 6> config_{};
  std::vector<int32_t> backgrounds_;
  TgsFontState font_;
  std::function<bool(std::string_view)> installed_;

  // Message state.
  int32_t messageIndex_ = -1;
  bool messageRead_ = false;
  std::string speaker_;
  std::string shownName_;
  std::string voiceName_;
  std::string viewName_;      // the name the view holds with its text
  std::string viewText_;      // the text the view holds
  std::string pendingVoice_;  // a copy: a later commit replaces the view's own
  bool voicePlaying_ = false;
  int voiceWait_ = 0;
  std::array<uint8_t, 5> disabled_{};
  std::vector<Choice> choices_;
  int32_t choiceFirstBit_ = 0;
  bool choicesPending_ = false;
  bool showing_ = false;
  bool fastRead_ = false;
  bool systemSkip_ = false;
  bool skipAllowed_ = true;
  bool autoPlay_ = false;
  bool restoring_ = false;
  bool rebuilding_ = false;
  bool directMode_ = false;
  bool historyLayout_ = false;
  uint32_t historyColor_ = 0xFFFFFF;
  // The view went to a new page that no message has taken yet; the page's first message records
  // the counter in the history, which groups its messages by it.
  bool pageChanged_ = true;
  uint8_t pageCounter_ = 1;
  bool cursorHidden_ = false;
  bool buttonsHidden_ = false;
  std::optional<bool> pointerLow_;  // as last seen; none: the next look decides
  bool historyOn_ = true;
  uint32_t autoStart_ = 0;
  uint32_t menuOpenedAt_ = 0;
  int menuDepth_ = 0;  // menus and dialogs open, one inside another
  bool modalPaused_ = false;
  std::array<int, kTgsButtonCount> buttons_{};
  int32_t exitCode_ = 0;
  int32_t placeAlignment_ = 0;
  int32_t placeX_ = 400;
  int32_t placeY_ = 561;
  bool windowShown_ = false;
  std::optional<int32_t> speakerX_;
  TgsWindowFade* windowFade_ = nullptr;  // on the effects' timer service while it runs
  uint32_t currentBuiltin_ = 0;
  uint32_t recordScratch_ = 0;  // guest room for a call record's texts
  TgsSound sound_;

  // Scene state kept as it stands for save data.
  friend class TgsFrameRebuild;
  [[nodiscard]] int CaptureScene(TgsSceneBlock& block, bool withHistory);
  void ApplyScene(const TgsSceneBlock& block);
  std::unique_ptr<TgsSceneBlock> loadedScene_;  // the loaded block until the rebuild
  std::array<uint8_t, 4> sceneSwitches_{};
  int32_t currentWindow_ = 0;
  uint8_t styleGiven_ = 0;    // kStyleGiven, kOpacityGiven
  uint8_t frameOpacity_ = 0;  // the window's frame opacity, where a script gave it
  int32_t frameStyle_ = 0;    // the window's frame kind, where a script gave it
  std::array<uint8_t, 48> windowTransform_{};
  TextHistoryLog history_;
  std::optional<uint32_t> choiceSerial_;  // the history's entry of the choices shown
};

using TheTgsFrame = Global<TgsFrame>;

}  // namespace bw
