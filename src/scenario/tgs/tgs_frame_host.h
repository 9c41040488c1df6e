// What the scenario frame needs of the application, its devices and its windows. The frame keeps
// the message road's logic; the host behind this interface draws, plays and asks. Tests put a
// fake here.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace bw {

class SoundChannelManager;
class Sprite;
class TgsHistoryView;
class TgsMenuHost;
class TgsSceneHost;
class TimerService;

// The application's state words that the frame reads and writes.
constexpr size_t kConfigSavePermissionWord = 1;
constexpr size_t kConfigFontNoticeWord = 4;
constexpr size_t kConfigFrameNoticeWord = 5;
constexpr size_t kConfigLoadWord = 6;

struct TgsAppState {
  uint8_t endRequest = 0;            // the step native ends the scenario when set
  uint8_t pendingWindowRequest = 0;  // 0 none, request kind + 1 while one runs
  uint8_t fullScreenMenuMode = 0;    // 2 while a full-screen menu is open
  uint8_t titleAllowed = 0;          // the return to the title is allowed
  // Native 794's words: 0 the guest address the choice list writes the chosen index through,
  // 1 that of the save-permission word (0 there forbids saving while a frame runs), 4 and 5
  // those of the text and window settings-changed indicators, 6 that of the load word (1 when
  // the load dialog chose a file). 0 names no word.
  std::array<int32_t, 7> config{};
  int32_t lastTgsResult = 0;
  uint8_t menuOpen = 0;
  uint8_t modalOpen = 0;   // a dialog or the menu bar's menu stands open over the game
  int32_t loadedGame = 0;  // set by the load dialog when a game was loaded
  uint8_t lowSpec = 0;
  uint8_t textSettingsChanged = 0;
  uint8_t quickSaveAllowed = 1;
  uint8_t quickLoadAllowed = 1;
  uint8_t settingsAllowed = 1;
};

// The player's settings the message road reads, by role.
struct TgsUserSettings {
  bool voiceOn = false;
  bool voicePanByPosition = false;
  bool duckMusic = false;
  bool stopVoice = false;  // when a waited message ends and when a choice is taken
  bool voiceOnly = false;
  uint8_t autoCharMs = 30;
  uint32_t autoBaseMs = 1000;
  bool systemSkipReadOnly = true;
  bool skipKeysReadOnly = false;
  bool fastReadText = false;
  bool hideCursor = false;
  bool hideButtonsUnlessLow = false;
  bool saveBeforeChoice = false;
  bool confirmQuickLoad = true;
  bool userSkip = false;
  bool confirmPreviousChoice = true;
  bool keepBackToChoice = true;
  bool keepSkipAfterChoice = false;
  bool acceptSoundAtChoice = false;
  bool shiftQuickSave = false;
  bool rightClickEndsAuto = false;
  // What the right button is bound to; 3, auto play, takes the right click for itself.
  uint8_t rightButtonMode = 1;
  bool hideWindowForMenu = false;
  bool clickSkips = true;
  bool readNoWait = true;
  uint8_t readCharMs = 30;
  bool unreadNoWait = false;
  uint8_t unreadCharMs = 30;
  uint32_t historyCapacity = 150;
  bool effectSoundOn = true;  // scenario sound effects play
  bool fastEffects = false;   // marked waits end at once, and no closing fade after a load
  std::string face;           // CP932, the user's first face
  std::string secondFace;     // the user's second face
  uint8_t fontStyle = 2;      // 0 plain, 1 shadow, 2 edge
  bool fontGradation = false;
  uint8_t fontAntialias = 1;
  bool fontBold = false;
  bool rubyBold = false;      // the second message renderer's weight
  uint8_t menuRow = 5;        // the system menu's button the pointer starts on
  bool noMenuFade = false;    // the system menu opens and closes without its fade
  bool fadeOutOnQuit = true;  // a quit from the system menu fades the scene and music out
  uint8_t drawTextFrame = 1;  // the frame of the message window: its kind, colour and opacity
  uint32_t frameColor = 0x106EA8;
  uint8_t frameAlpha = 140;
};

// The fonts and colours of the two message renderers (faces CP932, empty: the renderer's own).
struct TgsFontState {
  int32_t size = 24;
  int32_t secondSize = 13;
  uint32_t color = 0xFFFFFF;
  uint32_t shadow = 0x000000;
  std::string face;
  std::string secondFace;
  bool changed = false;
  bool faceChanged = false;
};

// System sound channels.
constexpr int kTgsSoundAccept = 0;
constexpr int kTgsSoundOpen = 1;
constexpr int kTgsSoundClick = 3;

// Window-request kinds.
constexpr int kTgsRequestSettings = 0;
constexpr int kTgsRequestSave = 1;
constexpr int kTgsRequestLoad = 2;
constexpr int kTgsRequestYesNo = 7;

// A presentation operation the host does not draw.
constexpr int kTgsViewNotBuilt = 1;

// A request's start as the window thread reports it.
enum class TgsRequestStart {
  kNotAccepted,  // not (yet) taken by the window thread
  kRunning,
  kDone,
};

// Presentation: the message window, its name box and wait mark, the system buttons and the
// choice list. The application's screen implements it; the frame's host forwards to it.
class TgsPresentation {
 public:
  virtual ~TgsPresentation() = default;

  // The control last clicked (a system button, or 20 + a choice index), -1 none; cleared.
  virtual int TakePointerEvent() { return -1; }
  // Prepare answers 0 or a failure code.
  [[nodiscard]] virtual int PrepareWindows() { return 0; }
  // Lets go of what PrepareWindows made, its parts and its hit area among them, when the frame
  // that asked for them goes: left listed, they would take the pointer from the next screen.
  virtual void ReleaseWindows() {}
  virtual void SetMessage(std::string_view /*text*/, const std::string& /*name*/,
                          uint32_t /*revealMs*/) {}
  virtual void ShowPage() {}
  virtual bool Typing() { return false; }
  virtual void FinishTyping() {}
  // The frame's second text view types as the message view does (false: none, or not typing).
  virtual bool SecondViewTyping() { return false; }
  virtual void FinishSecondView() {}
  virtual void NextPage() {}
  virtual void SetWindowVisible(bool /*visible*/) {}
  virtual void PlaceWindow(int32_t /*alignment*/, int32_t /*x*/, int32_t /*y*/) {}
  virtual void SetWindowAlpha(uint8_t /*alpha*/, bool /*withButtons*/) {}
  virtual void SetWaitMarkAuto(bool /*autoPlay*/) {}
  virtual void SetButtonState(int /*button*/, int /*state*/) {}
  virtual void ShowButtons(bool /*show*/) {}
  virtual void ShowChoiceList(bool /*show*/) {}
  virtual void FadeOtherChoices(int /*chosen*/) {}
  virtual bool ChoiceFadesRunning() { return false; }
  // The message renderers' fonts and colours (0xRRGGBB); the fonts take the user's weights.
  virtual void SetMessageFont(const TgsFontState& /*font*/) {}
  // The user's look on both message renderers: face, weight, style, gradation and grey levels.
  virtual void SetMessageLook(const TgsUserSettings& /*user*/) {}
  // The text look built-ins in direct mode (a line break, a ruby span and its text): 0 done.
  [[nodiscard]] virtual int ViewNewLine() { return kTgsViewNotBuilt; }
  [[nodiscard]] virtual int ViewBeginRuby() { return kTgsViewNotBuilt; }
  [[nodiscard]] virtual int ViewDrawRuby(std::string_view /*ruby*/) { return kTgsViewNotBuilt; }
  // The message window's display object, which its face animation moves; null until it is made.
  virtual Sprite* WindowSprite() { return nullptr; }
  // The hit area over the whole screen, which keeps the pointer from what lies under the windows.
  virtual void SetHitAreaEnabled(bool /*enabled*/) {}
  // The pointer rests on a control (a system button, a choice) and not on the hit area: a press
  // there is the control's, not a click on the message.
  virtual bool PointerOnControl() { return false; }
  // The frame of the message window and the choice list: the background kind (0 the plain
  // picture, 1 the frame over the colour), its colour 0xRRGGBB and opacity.
  virtual void SetWindowFrame(int /*kind*/, uint32_t /*rgb*/, uint8_t /*alpha*/) {}
  // The page shown is laid out again, whole, with the renderers as they are now.
  virtual void RelayoutPage() {}
  // Where the pointer goes to take the shown list's first choice that can be taken.
  virtual bool ChoicePoint(int32_t& /*x*/, int32_t& /*y*/) const { return false; }
};

class TgsFrameHost : public TgsPresentation {
 public:
  // Clock and loop.
  virtual uint32_t Clock() = 0;
  // One turn of the application's frame loop; 0 when the application quits.
  [[nodiscard]] virtual int FrameTurn() = 0;

  virtual TgsAppState& AppState() = 0;
  virtual const TgsUserSettings& Settings() = 0;
  // Reads and writes a guest word (the configuration words' addresses); false when refused.
  [[nodiscard]] virtual bool ReadGuestWord(uint32_t /*address*/, int32_t& /*value*/) {
    return false;
  }
  [[nodiscard]] virtual bool WriteGuestWord(uint32_t /*address*/, int32_t /*value*/) {
    return false;
  }

  // Input, as of the last turn.
  virtual bool LeftClicked() { return false; }
  virtual bool RightClicked() { return false; }
  virtual bool ActionPressed(int /*action*/) { return false; }
  virtual int FindPressedAction(int /*first*/, int /*count*/) { return -1; }
  virtual bool KeyPressed(int /*code*/) { return false; }
  virtual bool KeyDown(int /*code*/) { return false; }
  virtual bool SkipModifierDown() { return false; }
  virtual bool PointerLow() { return false; }  // in the screen's lowest 23 lines
  // Moves the pointer to (x, y) of the screen over ms; false when it does not move (the
  // application's switch is off, or the pointer rests in the screen's corner).
  [[nodiscard]] virtual bool StartPointerMove(int32_t /*x*/, int32_t /*y*/, uint32_t /*ms*/) {
    return false;
  }
  virtual bool PointerMoving() { return false; }
  // Removes the timed tasks of that kind from the application's general timer service.
  virtual void RemoveTasks(uint32_t /*kind*/) {}

  // Sound: the voice on channel 6 answers the speaking picture's index among characterIds, the
  // character ids of the shown character pictures (-1 none; below -1 nothing played).
  [[nodiscard]] virtual int32_t PlayVoice(const std::string& /*name*/,
                                          std::span<const int32_t> /*characterIds*/ = {}) {
    return -2;
  }
  virtual void SetVoicePan(int32_t /*pan*/) {}
  virtual bool VoicePlaying() { return false; }
  virtual void StopVoice() {}
  virtual bool MusicPlaying() { return false; }
  virtual void DuckMusicForVoice() {}
  virtual void PlaySystemSound(int /*channel*/) {}
  // The channel manager and the timer service its fades run on (null: none).
  virtual SoundChannelManager* SoundChannels() { return nullptr; }
  virtual TimerService* SoundTimers() { return nullptr; }
  // The main script's music player (number, fade ms, loop) and the number it made current.
  [[nodiscard]] virtual int32_t PlayBgmNumber(int32_t /*number*/, uint32_t /*fadeMs*/,
                                              bool /*loop*/) {
    return 1;
  }
  virtual int32_t CurrentBgmNumber() { return 0; }

  // The window thread: kinds 0-2 dialogs, 7 yes/no with text. Post answers false when refused;
  // Poll tells how far it got; Cancel marks a request that must not start any more.
  [[nodiscard]] virtual bool PostWindowRequest(int /*kind*/, const std::string& /*text*/) {
    return false;
  }
  [[nodiscard]] virtual TgsRequestStart PollWindowRequest() { return TgsRequestStart::kDone; }
  virtual void CancelWindowRequest() {}
  virtual int32_t WindowRequestAnswer() { return 0; }

  // The caption line for ms (each step of its path); an empty text takes the running one away.
  virtual void ShowCaption(const std::string& /*cp932*/, uint32_t /*ms*/) {}
  virtual void SetCursorVisible(bool /*visible*/) {}

  // Save data: quick slots 1-5 (0 the default one), the automatic slot 10.
  [[nodiscard]] virtual bool QuickSave(int /*slot*/) { return false; }
  [[nodiscard]] virtual bool QuickLoad(int /*slot*/) { return false; }
  [[nodiscard]] virtual bool SlotText(int /*slot*/, std::string& /*text*/) { return false; }
  [[nodiscard]] virtual bool AutoSave() { return false; }
  // Keeps the game as it stands now to go back to (the previous choice); false when it cannot.
  [[nodiscard]] virtual bool TakeSnapshot() { return false; }
  // Whether the save data keeps a snapshot to go back to the previous choice.
  virtual bool SnapshotKept() { return false; }

  virtual void TraceBuiltin(uint32_t /*number*/) {}

  // The scene pages' layers and pictures; null: the scene keeps its records without drawing.
  virtual TgsSceneHost* SceneHost() { return nullptr; }
  // The text history window's screen side; null: the history is neither measured nor shown.
  virtual TgsHistoryView* HistoryView() { return nullptr; }
  // The system menu's parts on the screen; null: the menu does not open.
  virtual TgsMenuHost* MenuHost() { return nullptr; }
};

}  // namespace bw
