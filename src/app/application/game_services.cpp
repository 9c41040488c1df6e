#include "app/application/game_services.h"

#include <iterator>

#include "app/application/game_app.h"
#include "effects/builtin_effects.h"
#include "input/input_binding_table.h"
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
  RegisterOggVorbisDecoder(*decoders_);
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
  return ApplySoundSettings(user_);
}

bool GameApp::ApplySoundSettings(const UserConfig& from) {
  // Movies scale their own volume by this setting, with or without the channels.
  SetMovieVolumeSetting(from.movieVolume);
  SoundChannelManager* channels = host_ ? host_->SoundChannels() : nullptr;
  if (channels == nullptr) return false;
  channels->SetSoundEnabled(from.soundOn != 0, false);
  channels->SetMasterVolume(static_cast<int32_t>(from.masterVolume), false);
  channels->SetBgmVolume(-1, static_cast<int32_t>(from.bgmVolume), true);
  channels->SetBgmEnabled(from.bgmOn != 0, false);
  channels->SetKindEnabled(from.seOn != 0, kSoundEffect, true, false);
  channels->SetDefaultFactor(0, static_cast<int32_t>(from.seVolume));
  channels->SetKindSwitch(kSystemSoundEffect, from.systemSeOn != 0);
  channels->SetDefaultFactor(1, static_cast<int32_t>(from.systemSeVolume));
  // The voice switch stays the channels' own: the stored byte is 0 by default and its page
  // control is disabled, so pushing it would silence every voice.
  channels->SetDefaultFactor(2, static_cast<int32_t>(from.voiceVolume));
  return true;
}

int GameApp::ApplyKeyAssignments() {
  if (bindings_ == nullptr) return kAssignmentsNoTable;
  ScopedLock hold(FrameLock());
  const uint8_t* keys = user_.actionKeys;
  for (uint32_t i = 0; i < kAssignedActionCount; ++i) {
    const uint32_t action = kFirstAssignedAction + i;
    const uint8_t key = keys[i];
    // The assignable binding comes after the fixed ones: two Enter keys, one Escape.
    const int32_t fixed = action == kFirstAssignedAction ? 2 : action == kFirstAssignedAction + 1 ? 1 : 0;
    if (bindings_->CountBindings(action, kDeviceKeyboard) <= fixed) {
      if (key != 0) bindings_->AddBinding(action, kDeviceKeyboard, key);
      continue;
    }
    uint8_t current = 0;
    if (bindings_->GetBinding(action, kDeviceKeyboard, static_cast<uint32_t>(fixed), &current, nullptr) != 0) continue;
    if (key == 0) {
      bindings_->RemoveBinding(action, kDeviceKeyboard, current);
    } else if (key != current) {
      bindings_->ChangeBindingCode(action, kDeviceKeyboard, key, current);
    }
  }
  return kAssignmentsApplied;
}

int GameApp::ApplyJoystickAssignments() {
  if (bindings_ == nullptr) return kAssignmentsNoTable;
  // The right button runs the action the player picked for it: none, the system menu, hide the
  // window, auto play, skip, save or load.
  static constexpr uint32_t kRightButtonActions[] = {0, 12, 11, 6, 15, 7, 8};
  constexpr uint8_t kRightButton = 1;
  {
    ScopedLock hold(FrameLock());
    for (uint32_t action : kRightButtonActions) {
      if (action != 0) bindings_->RemoveBinding(action, kDeviceMouse, kRightButton);
    }
    const uint8_t chosen = user_.rightButtonAction;
    if (chosen != 0 && chosen < std::size(kRightButtonActions))
      bindings_->AddBinding(kRightButtonActions[chosen], kDeviceMouse, kRightButton);
  }
  // The joystick buttons the player assigns have no field in the settings block yet: the
  // default bindings stay.
  return kAssignmentsNotKept;
}

}  // namespace bw
