#include "app/application/game_services.h"

#include <iterator>

#include "app/application/game_app.h"
#include "effects/builtin_effects.h"
#include "input/input_binding_table.h"
#include "input/joystick_device.h"
#include "input/mouse.h"
#include "natives/effect_movie_wrappers.h"
#include "sound/file_system_sound_source.h"
#include "sound/ogg_vorbis_decoder.h"
#include "sound/sll_plugin_manager.h"
#include "sound/sound_channel_manager.h"

namespace bw {

GameServices::GameServices()
    : decoders_(std::make_unique<SllPluginManager>()),
      soundFiles_(std::make_unique<FileSystemSoundSource>()),
      publishedDecoders_(decoders_.get()),
      publishedSoundFiles_(soundFiles_.get()) {}

GameServices::~GameServices() {
  if (moviesPublished_) PublishMovieLibraries(nullptr);
  if (moviesPublished_) PublishWrapperMovies(false);
}

int32_t GameServices::Start() {
  // The decoder is built in, so it is always there; a plug-in of the same type may replace it.
  (void)RegisterOggVorbisDecoder(*decoders_);
  RegisterApplicationKeywords(transitions_, effects_);
  return decoders_->LoadPluginFolder(kPluginFolderName);
}

void GameServices::LoadMovieLibraries(bool load, bool movieInSprite,
                                      FileSystemManager* fileSystem) {
  movies_ = MakeMovieLibraries(load, movieInSprite, fileSystem);
  PublishMovieLibraries(&movies_);
  // The effects' movies play through the sprite wrapper when it is there.
  PublishWrapperMovies(movies_.sprite != nullptr);
  moviesPublished_ = true;
}

bool GameApp::ApplySoundSettings() {
  return ApplySoundSettings(User());
}

bool GameApp::ApplySoundSettings(const UserConfig& from) {
  // Movies scale their own volume by this setting, with or without the channels.
  SetMovieVolumeSetting(from.movieVolume);
  SoundChannelManager* channels = host_ ? host_->SoundChannels() : nullptr;
  if (channels == nullptr) return false;
  channels->SetSoundEnabled(from.soundOn != 0, false);
  channels->SetMasterVolume(static_cast<int32_t>(from.masterVolume), false);
  channels->SetBgmVolume(-1, static_cast<int32_t>(from.bgmVolume), true);
  // Music that does not open stays silent until it is played again.
  (void)channels->SetBgmEnabled(from.bgmOn != 0, false);
  channels->SetKindEnabled(from.seOn != 0, kSoundEffect, true, false);
  channels->SetDefaultFactor(0, static_cast<int32_t>(from.seVolume));
  channels->SetKindSwitch(kSystemSoundEffect, from.systemSeOn != 0);
  channels->SetDefaultFactor(1, static_cast<int32_t>(from.systemSeVolume));
  channels->SetDefaultFactor(2, static_cast<int32_t>(from.voiceVolume));
  // Off by default and disabled on the settings sheet: a game turns its voices on through its
  // shipped settings or its scripts.
  channels->SetKindSwitch(kVoice, from.voiceOn != 0);
  return true;
}

namespace {

// The assignable binding of each action on a device comes after its fixed ones: a 0 code
// removes it, another code adds or replaces it. A device that is not plugged in takes none.
void RewriteAssignedBindings(InputBindingTable& bindings, int32_t device, const uint8_t* codes,
                             uint32_t (*fixedCount)(uint32_t action)) {
  for (uint32_t i = 0; i < kAssignedActionCount; ++i) {
    const uint32_t action = kFirstAssignedAction + i;
    const uint8_t code = codes[i];
    const int32_t fixed = static_cast<int32_t>(fixedCount(action));
    if (bindings.CountBindings(action, device) <= fixed) {
      if (code != 0) (void)bindings.AddBinding(action, device, code);
      continue;
    }
    uint8_t current = 0;
    if (bindings.GetBinding(action, device, static_cast<uint32_t>(fixed), &current, nullptr) != 0)
      continue;
    if (code == 0) {
      (void)bindings.RemoveBinding(action, device, current);
    } else if (code != current) {
      (void)bindings.ChangeBindingCode(action, device, code, current);
    }
  }
}

// The keyboard keeps two Enter keys for the decide action and Escape for cancel.
uint32_t FixedKeys(uint32_t action) {
  return action == kFirstAssignedAction ? 2 : action == kFirstAssignedAction + 1 ? 1 : 0;
}
uint32_t NoFixedBindings(uint32_t) {
  return 0;
}

// The mouse buttons' action choices: none, the system menu, hide the window, auto play, skip,
// save, load.
constexpr uint32_t kMouseButtonActions[] = {0, 12, 11, 6, 15, 7, 8};

// A button bound to no action is found missing: nothing to remove.
void BindMouseButton(InputBindingTable& bindings, uint8_t button, uint8_t choice) {
  for (uint32_t action : kMouseButtonActions) {
    if (action != 0) (void)bindings.RemoveBinding(action, kDeviceMouse, button);
  }
  if (choice != 0 && choice < std::size(kMouseButtonActions))
    (void)bindings.AddBinding(kMouseButtonActions[choice], kDeviceMouse, button);
}

}  // namespace

int GameApp::ApplyKeyAssignments() {
  if (bindings_ == nullptr) return kAssignmentsNoTable;
  ScopedLock hold(FrameLock());
  RewriteAssignedBindings(*bindings_, kDeviceKeyboard, User().actionKeys, FixedKeys);
  return kAssignmentsApplied;
}

int GameApp::ApplyJoystickAssignments() {
  if (bindings_ == nullptr) return kAssignmentsNoTable;
  constexpr uint8_t kRightButton = 1;
  constexpr uint8_t kWheelButton = 2;
  ScopedLock hold(FrameLock());
  GetInputManager().SetJoysticksEnabled(User().joystickEnabled != 0);
  // Codes below 4 are the stick's directions, bound to the cursor actions for good.
  uint8_t buttons[kAssignedActionCount];
  for (uint32_t i = 0; i < kAssignedActionCount; ++i)
    buttons[i] = User().actionButtons[i] >= kJoyFirstButton ? User().actionButtons[i] : 0;
  RewriteAssignedBindings(*bindings_, kDeviceFirstJoystick, buttons, NoFixedBindings);
  BindMouseButton(*bindings_, kRightButton, User().rightButtonAction);
  BindMouseButton(*bindings_, kWheelButton, User().wheelButtonAction);
  // Turning the wheel down reads on as the decide action does (unbound, nothing to remove).
  (void)bindings_->RemoveBinding(kFirstAssignedAction, kDeviceMouse, kButtonWheelDown);
  if (User().wheelAdvancesText != 0)
    (void)bindings_->AddBinding(kFirstAssignedAction, kDeviceMouse, kButtonWheelDown);
  return kAssignmentsApplied;
}

}  // namespace bw
