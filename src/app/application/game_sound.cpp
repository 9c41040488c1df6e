#include "app/application/game_sound.h"

#include "common/global.h"
#include "host/backend.h"
#include "script/script_host.h"
#include "sound/direct_sound_device.h"
#include "sound/sound_buffer.h"
#include "sound/sound_channel_manager.h"

namespace bw {

namespace {

// The machine's sound output stands for the sound card the device is made on: a device whose
// output cannot open plays nothing. It is opened once to see, and opens for good when the scripts
// set the primary format.
bool OutputOpens(DirectSoundDevice& device) {
  host::Backend* backend = host::CurrentBackend();
  if (!backend || !device.Device()) return true;
  std::unique_ptr<host::AudioOutput> probe = backend->MakeAudioOutput(*device.Device());
  if (!probe) return false;
  const bool opened = probe->Open() == host::kSoundOk && probe->IsOpen();
  probe->Close();
  return opened;
}

}  // namespace

GameSound::GameSound(bool playAloud) : playAloud_(playAloud) {}

GameSound::~GameSound() {
  if (Global<DirectSoundDevice>::Get() == device_.get()) Global<DirectSoundDevice>::Clear();
}

bool GameSound::Create(host::HWND window, bool globalFocus, bool software) {
  device_ =
      std::make_unique<DirectSoundDevice>(playAloud_ ? SoundOutput::kBackend : SoundOutput::kNone);
  if (device_->Create(window, globalFocus, software, nullptr) != 0 ||
      (playAloud_ && !OutputOpens(*device_))) {
    device_.reset();
    return false;
  }
  Global<DirectSoundDevice>::Set(device_.get());
  return true;
}

void GameSound::DeleteAllBuffers() {
  if (device_) device_->DeleteAllBuffers();
}

std::string GameSound::WarningText() {
  return SoundDeviceWarningText();
}

void GameSound::GiveChannels(ScriptHost& host, TimerService& timers) {
  host.SetSoundChannels(std::make_unique<SoundChannelManager>(&timers));
}

}  // namespace bw
