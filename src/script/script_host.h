// The game's script host: the script engine with the full native table (0 to 808, in the order
// compiled scripts rely on), the random generator, and the objects natives work on. The
// application creates it with StartScriptHost and steps it from its frame loop.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/subtractive_random.h"
#include "script/native_args.h"
#include "script/script_engine.h"
#include "script/script_handles.h"

namespace bw {

// Owned by other subsystems; the host holds them once those land (null until then).
class SoundChannelManager;  // sound: the channels, its save state is the host's second interface
class EffectRegistry;       // effects: the keywords the host fills at construction
class TransitionRegistry;
class ScriptApplication;
class InputBindingTable;  // input: the devices and actions the system natives ask
class KeyboardDevice;
class Mouse;
class JoystickDevice;
class TimerService;
class EngineInput;
class FileDropTarget;
class MovieObject;  // sound: the window-level movie the application's slot holds
class PartManager;  // gui: scripted screens, reached through the application
class PointerManager;
class FontList;           // scenario: the font list the application fills
class TgsHistoryView;     // scenario: the text history window the application draws
class TgsPresentation;    // scenario: the frame's windows the application draws
class SaveSettingsStore;  // savedata: what the save data reads of the running game
class SaveFrameState;
class SaveTextPanel;
class TextPanel;
struct TgsAppState;  // scenario: the application's words the scenario frame reads
struct TgsUserSettings;
class TgsMenuHost;   // scenario: the system menu's parts the application gives
class TgsSceneHost;  // scenario: the scene pages' layers the application gives

// The main script's message text object, which lives with the scenario player: before scripts go
// (a Jump, a Call's return, the interrupt) its pending choices are stored in its history.
class ScriptHostMessageText {
 public:
  virtual ~ScriptHostMessageText() = default;
  virtual void StorePendingChoices() = 0;
};

// What ScriptHost::ApplyTextSettings hands on: push only when the settings changed, clear the
// changed flag afterwards, the two message widgets and the renderer the script names (0: none),
// whether the renderer (or the shared default one) and the message history take the settings.
struct TextSettingsRequest {
  bool changedOnly = false;
  bool clearFlag = false;
  uint32_t firstWidget = 0;
  uint32_t secondWidget = 0;
  uint32_t renderer = 0;
  bool useRenderer = false;
  bool history = false;
};

// Who puts the player's text settings into the text on the screen: the scenario frame while one
// runs, else the script's message widgets and renderers.
class TextSettingsTarget {
 public:
  virtual ~TextSettingsTarget() = default;
  virtual void ApplyTextSettings(const TextSettingsRequest& request) = 0;
};

// A native not built yet answers this (and says so once on standard error).
constexpr int32_t kNativeNotBuilt = -1;

// State a native family keeps with the host (its blocks, files, lists); made on first use and
// destroyed with the host, before its memory.
class ScriptHostExtension {
 public:
  virtual ~ScriptHostExtension() = default;
  // Writes what the family keeps across runs (SavePersistentData asks).
  virtual void SavePersistentData() {}
};

class ScriptHost : public ScriptEngine {
 public:
  // seed starts the random generator (the application passes its clock); the families' natives
  // take their numbers' places.
  ScriptHost(ScriptFileSource* files, uint32_t seed,
             uint32_t arenaBytes = GuestMemory::kDefaultArena,
             std::span<const NativeFamily> families = {});
  ~ScriptHost() override;

  // The interrupt the application asks for with its request byte: 1 restarts with the boot
  // value negated, 2 with it as it is. The LoadScript result for "MAIN".
  [[nodiscard]] int ServeInterrupt(uint8_t requestByte);

  int32_t BootValue() const { return bootValue_; }
  void SetBootValue(int32_t v) { bootValue_ = v; }
  SubtractiveRandom& Random() { return random_; }

  // The application natives 4 and 5 reach; null answers them with nothing set and 0 read.
  void SetApplication(ScriptApplication* app) { app_ = app; }
  ScriptApplication* Application() const { return app_; }

  bool IsNativeBuilt(uint32_t number) const { return number < built_.size() && built_[number]; }
  uint32_t BuiltNativeCount() const;
  // Family entries refused at construction: a number outside 3-808 or given twice.
  uint32_t RejectedNativeEntries() const { return rejected_; }

  ScriptHandles& Handles() { return handles_; }
  // What native 35 and the end of a session save: each family's persistent data (the scenario
  // frame's read-text log), then the engine's persistent state; the engine's result.
  [[nodiscard]] int SavePersistentData();
  // The family state of type T (constructed from the host on first use).
  template <typename T>
  T& Extension() {
    std::unique_ptr<ScriptHostExtension>& slot = extensions_[&kExtensionKey<T>];
    if (!slot) slot = std::make_unique<T>(*this);
    return static_cast<T&>(*slot);
  }

  SoundChannelManager* SoundChannels() const { return soundChannels_.get(); }
  // The host owns the sound channels; they read its voice table.
  void SetSoundChannels(std::unique_ptr<SoundChannelManager> channels);
  // The host owns the message text object the application makes for it.
  void SetMessageText(std::unique_ptr<ScriptHostMessageText> text) {
    messageText_ = std::move(text);
  }
  ScriptHostMessageText* MessageText() const { return messageText_.get(); }
  EffectRegistry* Effects() const { return effects_; }
  TransitionRegistry* Transitions() const { return transitions_; }
  // The current save-data file name; empty until one is chosen.
  void SetCurrentSaveName(std::string name) { currentSaveName_ = std::move(name); }
  const std::string& CurrentSaveName() const { return currentSaveName_; }
  // The text settings go to the target (null: none takes them). Answers whether they had
  // changed since the last clear, as on entry.
  void SetTextSettingsTarget(TextSettingsTarget* target) { textTarget_ = target; }
  bool ApplyTextSettings(const TextSettingsRequest& request);

 private:
  void OnUnloadScript() override;
  void OnUnloadAll() override;
  void RegisterNatives(std::span<const NativeFamily> families);
  template <typename T>
  static constexpr char kExtensionKey = 0;
  void Register(uint32_t number, NativeFunction function);
  [[nodiscard]] int32_t NotBuilt(uint32_t number);

  int32_t bootValue_ = 0;
  ScriptApplication* app_ = nullptr;
  SubtractiveRandom random_;
  std::vector<bool> built_;
  std::vector<bool> reported_;  // unbuilt natives already named on standard error
  std::unique_ptr<SoundChannelManager> soundChannels_;
  std::unique_ptr<ScriptHostMessageText> messageText_;
  uint32_t rejected_ = 0;
  ScriptHandles handles_;  // outlives the extensions, whose objects leave it as they go
  std::map<const void*, std::unique_ptr<ScriptHostExtension>> extensions_;
  EffectRegistry* effects_ = nullptr;
  TransitionRegistry* transitions_ = nullptr;
  std::string currentSaveName_;
  TextSettingsTarget* textTarget_ = nullptr;
};

// SetScreenMode results.
constexpr int32_t kScreenModeDone = 0;
constexpr int32_t kScreenModeRefused = 1;
constexpr int32_t kScreenModeNoMonitor = 2;
constexpr int32_t kScreenModeSwitchFailed = 3;
// LowerFrameThreadPriority without a thread to lower.
constexpr int kPriorityNoFrameThread = 2;

// What the start of a script host needs of the game application.
class ScriptApplication {
 public:
  virtual ~ScriptApplication() = default;
  virtual ScriptFileSource* ScriptFiles() = 0;
  virtual std::string SaveFolder() = 0;  // engine path, '\' at its end
  virtual bool TranslationOption() = 0;
  virtual uint32_t Clock() = 0;  // milliseconds, by the application's timer choice
  virtual void ShowMessage(const std::string& cp932Text) = 0;
  // What a fault's box leaves out (which file, the system's reason), in UTF-8: on standard
  // error and in the start-up log.
  virtual void TellDetail(const std::string& /*utf8Text*/) {}
  // The main script's message text object for host (null: none).
  virtual std::unique_ptr<ScriptHostMessageText> CreateMessageText(ScriptHost& /*host*/) {
    return nullptr;
  }
  // Natives 4 and 5: one live setting or menu permission by index (see the application).
  virtual void SetAppOption(uint32_t index, uint32_t value) = 0;
  virtual uint32_t GetAppOption(uint32_t index) = 0;
  // The native families the host places in its table.
  virtual std::span<const NativeFamily> NativeFamilies() { return {}; }

  // The system natives' requests: state, menus, pacing, priority, screen mode, boxes and dialogs,
  // the desktop, cursor and input. The defaults answer as an application without a window,
  // devices or dialogs.
  virtual void SetWindowFeature(uint32_t /*kind*/, uint32_t /*value*/) {}
  virtual uint32_t GetAppState(uint32_t /*index*/) { return 0; }
  // Kind 0 the identifier, 1 the application's name, 2 its version text (CP932).
  virtual std::string GetAppText(uint32_t /*kind*/) { return {}; }
  // Numeric user settings by group and index; 1 for one the scripts may not set.
  [[nodiscard]] virtual int32_t SetUserSetting(uint32_t /*group*/, uint32_t /*index*/,
                                               uint32_t /*value*/) {
    return 0;
  }
  virtual uint32_t GetUserSetting(uint32_t /*group*/, uint32_t /*index*/) { return 0; }
  // The one text setting (group 2, index 0), at most 31 bytes kept.
  virtual void SetUserText(const std::string& /*cp932*/) {}
  virtual std::string GetUserText() { return {}; }
  // Modes 0-2 full screen at 16, 24, 32 bits (negative: the depth kept), 3 a window: a
  // kScreenMode* code.
  [[nodiscard]] virtual int32_t SetScreenMode(int32_t /*mode*/) { return kScreenModeRefused; }
  // Flag 0 and 1: two switches the scripts keep in the application.
  virtual void SetScriptFlag(uint32_t /*which*/, bool /*on*/) {}
  virtual uint32_t PushVSyncWait() { return 0; }
  virtual uint32_t PopVSyncWait() { return 0; }
  virtual uint32_t PushPreciseTimingOff() { return 0; }
  virtual uint32_t PopPreciseTimingOff() { return 0; }
  [[nodiscard]] virtual int LowerFrameThreadPriority() { return kPriorityNoFrameThread; }
  [[nodiscard]] virtual int RestoreFrameThreadPriority() { return 0; }
  virtual void UpdateFramePacing(int32_t /*fps*/) {}
  virtual int32_t FrameRate() { return 0; }
  virtual uint8_t InterruptArgument() { return 0; }
  // True once after the window came back from being minimised.
  virtual bool TakeWindowRestoredFlag() { return false; }
  // Requests 0-7 to the main window; false when not enabled, not sent or unknown.
  [[nodiscard]] virtual bool PostAppCommand(uint8_t /*request*/, bool /*send*/,
                                            uintptr_t /*parameter*/) {
    return false;
  }
  [[nodiscard]] virtual bool SetClipboardText(std::string_view /*cp932*/) { return false; }
  virtual void SetupInputDialog(const std::string& /*prompt*/, const std::string& /*defaultText*/,
                                uint32_t /*flags*/, uint32_t /*limit*/, int32_t /*x*/,
                                int32_t /*y*/) {}
  // The data-input dialog through the window thread: true when OK ended it, with the text typed.
  [[nodiscard]] virtual bool RequestInputText(std::string& /*cp932*/) { return false; }
  // Kinds 0 message, 1 yes/no, 2 ok/cancel through the window thread; 1 for yes or OK.
  virtual uint32_t RequestScriptBox(uint32_t /*kind*/, const std::string& /*title*/,
                                    const std::string& /*text*/, uint32_t /*icon*/) {
    return 0;
  }
  // A message dialog of the application (kind 0 tells, 2 asks); 1 for yes.
  virtual uint32_t RequestScriptDialog(uint32_t /*kind*/, const std::string& /*text*/) { return 0; }
  // Hands a file or folder (engine path) to the desktop's opener; false when it cannot.
  [[nodiscard]] virtual bool OpenWithDesktop(const std::string& /*path*/, bool /*folder*/) {
    return false;
  }
  virtual void SetCursorVisible(bool /*visible*/) {}
  virtual bool PointerInWindow() { return false; }
  // The switch of the timed pointer moves; whether the last pointer position is the picture's
  // last pixel (width - 1, height - 1).
  virtual bool PointerMovesAllowed() { return false; }
  virtual bool PointerAtLastPixel() { return false; }
  // The skip modifier: both Ctrl keys when true, else both Shift keys.
  virtual bool SkipWithCtrl() { return false; }
  // The keyboard's settable state byte (its key repeats).
  virtual void SetKeyRepeats(bool /*on*/) {}
  // Null where the device or service is missing.
  virtual InputBindingTable* Bindings() { return nullptr; }
  virtual KeyboardDevice* Keyboard() { return nullptr; }
  virtual Mouse* GetMouse() { return nullptr; }
  virtual JoystickDevice* Joystick() { return nullptr; }
  virtual TimerService* GeneralTimers() { return nullptr; }
  // The pointer in picture coordinates, and the pointer moves' target.
  virtual EngineInput* PointerInput() { return nullptr; }
  // Files dropped on the main window, and the file and folder dialogs that the window thread
  // shows for the scripts. The records hold copies of the scripts' texts (CP932, engine paths),
  // never guest addresses; without a window nothing is dropped and every dialog is cancelled.
  struct FileDialogRecord {
    bool save = false;
    std::string title, initialFolder, filter, defaultExtension;
    std::string path;       // the name proposed (saving), then the path chosen
    std::string fileTitle;  // the chosen file's name
    int32_t answer = 0;     // the dialog's result word: 0 cancelled
  };
  struct FolderDialogRecord {
    std::string title, initialFolder;
    std::string path;    // the folder chosen, with its '\'
    int32_t answer = 0;  // 1 when a folder was chosen
  };
  virtual void EnableFileDrops(bool /*on*/) {}
  virtual FileDropTarget* FileDrops() { return nullptr; }
  virtual void RequestFileDialog(FileDialogRecord& /*record*/) {}
  virtual void RequestFolderDialog(FolderDialogRecord& /*record*/) {}
  // Sound natives: command 40030 restarts the sound device on the window thread in the format
  // given (useGiven false: the default one) and answers its result, 0 when no window serves it;
  // the warn-once byte of the sound-device warning and the warning in the message dialog with a
  // check box (false when nothing was shown); the decoders' load-whole setting; the player's
  // music-duck setting byte.
  [[nodiscard]] virtual int32_t StartSoundDevice(bool /*useGiven*/, uint8_t /*channels*/,
                                                 uint32_t /*rateCode*/,
                                                 uint16_t /*bitsPerSample*/) {
    return 0;
  }
  virtual uint8_t SoundWarnOnce() { return 0; }
  virtual void SetSoundWarnOnce(uint8_t /*value*/) {}
  virtual bool ShowSoundWarning(const std::string& /*cp932Text*/, uint8_t* /*checkState*/) {
    return false;
  }
  [[nodiscard]] virtual bool DecoderLoadWholeSetting() { return false; }
  virtual uint8_t BgmDuckSetting() { return 0; }
  // Movie natives: use runs on the window-level movie slot under the application's movie lock
  // (false: no slot); OpenWindowMovie opens a movie on the main window at the canvas size.
  [[nodiscard]] virtual bool UseMovieSlot(
      const std::function<void(std::unique_ptr<MovieObject>&)>& /*use*/) {
    return false;
  }
  // 2 (no window) here.
  [[nodiscard]] virtual int32_t OpenWindowMovie(MovieObject& /*movie*/, const char* /*file*/) {
    return 2;
  }
  // The process-wide part manager and pointer manager that scripted screens use (null: none).
  virtual PartManager* ScriptPartManager() { return nullptr; }
  virtual PointerManager* ScriptPointerManager() { return nullptr; }
  // The text panel whose factory makes the scripts' text objects (null: none).
  virtual TextPanel* ScriptTextPanel() { return nullptr; }
  // The installed fonts as the scripts list them (null: none).
  virtual FontList* Fonts() { return nullptr; }
  // The image cache's budget in megabytes from the settings; below 0 the automatic one.
  virtual int64_t ConfiguredImageCacheBudget() { return -1; }
  // Whether each frame drawn from the render list starts from a cleared back buffer.
  virtual void SetClearBackBuffer(bool /*on*/) {}

  // Save data: the user block's save settings, the running scenario frame and the text panel
  // (null: none, and the save data keeps its own settings).
  virtual SaveSettingsStore* SaveSettingsSource() { return nullptr; }
  virtual SaveFrameState* SaveFrame() { return nullptr; }
  virtual SaveTextPanel* SaveTextPanelSource() { return nullptr; }
  // The scenario frame: the application's state words (null: none), the player's settings it
  // reads (false: defaults), and one turn of the frame loop for its waits (0: quitting).
  virtual TgsAppState* TgsState() { return nullptr; }
  [[nodiscard]] virtual bool ReadTgsSettings(TgsUserSettings& /*out*/) { return false; }
  [[nodiscard]] virtual int TgsFrameTurn() { return 0; }
  // A dialog of the application (0 settings, 1 save, 2 load) opened between the frame's steps:
  // false when it cannot be asked for; then 0 not taken yet, 1 open, 2 closed again.
  [[nodiscard]] virtual bool PostTgsDialog(int /*kind*/) { return false; }
  [[nodiscard]] virtual int PollTgsDialog() { return 2; }
  // Its windows on the screen (null: not drawn).
  virtual TgsPresentation* TgsScreen() { return nullptr; }
  // Its text history window on the screen (null: no history is kept or shown).
  virtual TgsHistoryView* TgsHistory() { return nullptr; }
  // The scene pages' layers and pictures (null: the scene is kept but not drawn).
  virtual TgsSceneHost* TgsPages() { return nullptr; }
  // The system menu's parts (null: the menu does not open).
  virtual TgsMenuHost* TgsMenu() { return nullptr; }

  // The flag the settings sheet raises when it changed a text setting (null: none).
  virtual uint8_t* TextSettingsChangedFlag() { return nullptr; }

  // GUI parts: the platform's text input goes to the main window (on) or to none.
  virtual void AttachTextInput(bool /*on*/) {}
};

// StartScriptHost
constexpr int kStartNoMemory = 1;

// Replaces host with a new one, hands it app and starts "MAIN"; on failure shows its message and
// answers 1 (no memory), 2 (start files) or 2 + the LoadScript result for "MAIN".
[[nodiscard]] int StartScriptHost(ScriptApplication& app, std::unique_ptr<ScriptHost>& host);
// The message shown when an interrupt cannot restart "MAIN" (CP932).
std::string InterruptFailureMessage();

}  // namespace bw
