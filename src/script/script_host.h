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
class MovieObject;  // sound: the window-level movie the application's slot holds

// The main script's message text object, which lives with the scenario player: before scripts go
// (a Jump, a Call's return, the interrupt) its pending choices are stored in its history.
class ScriptHostMessageText {
 public:
  virtual ~ScriptHostMessageText() = default;
  virtual void StorePendingChoices() = 0;
};

// A native not built yet answers this (and says so once on standard error).
constexpr int32_t kNativeNotBuilt = -1;

// State a native family keeps with the host (its blocks, files, lists); made on first use and
// destroyed with the host, before its memory.
class ScriptHostExtension {
 public:
  virtual ~ScriptHostExtension() = default;
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
  int ServeInterrupt(uint8_t requestByte);

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

 private:
  void OnUnloadScript() override;
  void OnUnloadAll() override;
  void RegisterNatives(std::span<const NativeFamily> families);
  template <typename T>
  static constexpr char kExtensionKey = 0;
  void Register(uint32_t number, NativeFunction function);
  int32_t NotBuilt(uint32_t number);

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
};

// What the start of a script host needs of the game application.
class ScriptApplication {
 public:
  virtual ~ScriptApplication() = default;
  virtual ScriptFileSource* ScriptFiles() = 0;
  virtual std::string SaveFolder() = 0;  // engine path, '\' at its end
  virtual bool TranslationOption() = 0;
  virtual uint32_t Clock() = 0;  // milliseconds, by the application's timer choice
  virtual void ShowMessage(const std::string& cp932Text) = 0;
  // The main script's message text object for host (null: none).
  virtual std::unique_ptr<ScriptHostMessageText> CreateMessageText(ScriptHost& /*host*/) {
    return nullptr;
  }
  // Natives 4 and 5: one live setting or menu permission by index (see the application).
  virtual void SetAppOption(uint32_t index, uint32_t value) = 0;
  virtual uint32_t GetAppOption(uint32_t index) = 0;
  // The native families the host places in its table.
  virtual std::span<const NativeFamily> NativeFamilies() { return {}; }

  // Movie natives: use runs on the window-level movie slot under the application's movie lock
  // (false: no slot); OpenWindowMovie opens a movie on the main window at the canvas size.
  virtual bool UseMovieSlot(const std::function<void(std::unique_ptr<MovieObject>&)>& /*use*/) {
    return false;
  }
  // 2 (no window) here.
  virtual int32_t OpenWindowMovie(MovieObject& /*movie*/, const char* /*file*/) { return 2; }
};

// StartScriptHost
constexpr int kStartNoMemory = 1;

// Replaces host with a new one, hands it app and starts "MAIN"; on failure shows its message and answers
// 1 (no memory), 2 (start files) or 2 + the LoadScript result for "MAIN".
int StartScriptHost(ScriptApplication& app, std::unique_ptr<ScriptHost>& host);
// The message shown when an interrupt cannot restart "MAIN" (CP932).
std::string InterruptFailureMessage();

}  // namespace bw
