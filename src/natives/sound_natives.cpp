#include "natives/sound_natives.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/global.h"
#include "host/host_path.h"
#include "host/trust.h"
#include "natives/native_constants.h"
#include "natives/sound_helpers.h"
#include "platform/app_paths.h"
#include "resource/packs/archive.h"
#include "script/native_names.h"
#include "sound/direct_sound_buffer.h"
#include "sound/direct_sound_device.h"
#include "sound/sll_plugin_manager.h"
#include "sound/sound_channel_manager.h"
#include "sound/sound_tasks.h"

namespace bw {

namespace {

SoundBuffer* Buffer(NativeArgs& a, uint32_t k) {
  return a.Handle<SoundBuffer>(k, ScriptObjectType::kSoundBuffer);
}
int32_t Give(NativeArgs& a, SoundBuffer* buffer) {
  return static_cast<int32_t>(a.Host().Handles().HandleOf(ScriptObjectType::kSoundBuffer, buffer));
}
DirectSoundDevice* Device() {
  return Global<DirectSoundDevice>::Get();
}
SllPluginManager* Decoders() {
  return Global<SllPluginManager>::Get();
}
SoundChannelManager* Channels(NativeArgs& a) {
  return a.Host().SoundChannels();
}
TimerService* Timers(NativeArgs& a) {
  return GeneralTimerService(a.Host());
}

// A file name text; null for an address of 0. False when the text is bad.
bool Name(NativeArgs& a, uint32_t k, std::string& text, const char*& name) {
  bool isNull = false;
  if (!a.Text(k, text, &isNull)) return false;
  name = isNull ? nullptr : text.c_str();
  return true;
}

// ---- The sound device and the decoders ----

// 596: the window thread gets a host record; its answer goes into the first argument word.
int32_t SoundDeviceStart(NativeArgs& a) {
  uint32_t useGiven = a.U32(0);
  auto channels = static_cast<uint8_t>(a.U32(1));
  uint32_t rateCode = a.U32(2);
  auto bits = static_cast<uint16_t>(a.U32(3));
  ScriptApplication* app = a.Host().Application();
  if (a.Faulted() || !app) return 0;
  int32_t result = app->StartSoundDevice(useGiven != 0, channels, rateCode, bits);
  a.Memory().Write32(a.WordAddress(0), static_cast<uint32_t>(result));
  uint8_t flag = app->SoundWarnOnce();
  if (result >= 1 && flag) {
    // The dialog's check box writes into a copy: the flag is the application's, and shown once.
    uint8_t checkState = flag;
    if (app->ShowSoundWarning(SoundDeviceWarningText(), &checkState)) app->SetSoundWarnOnce(!flag);
  }
  return result;
}

// 597: 0 and 1 as given; any other value takes the application's setting.
int32_t DecoderSetOption(NativeArgs& a) {
  uint32_t value = a.U32(0);
  SllPluginManager* decoders = Decoders();
  if (a.Faulted() || !decoders) return 0;
  ScriptApplication* app = a.Host().Application();
  decoders->SetLoadWhole(value <= 1 ? value == 1 : app && app->DecoderLoadWholeSetting());
  return 0;
}

// 598, 599
template <int kIndex>
int32_t DecoderSetting(NativeArgs& a) {
  int32_t value = a.I32(0);
  if (!a.Faulted() && Decoders()) Decoders()->SetScriptSetting(kIndex, value);
  return 0;
}

// 600
int32_t DecoderSelect(NativeArgs& a) {
  int32_t id = a.I32(0);
  SllPluginManager* decoders = Decoders();
  if (a.Faulted() || !decoders) return 0;
  if (id == -1) {
    decoders->ResetSelection();
  } else {
    decoders->SelectType(id);
  }
  return 0;
}

// 601: the plug-in reads a host copy of the three words after the type.
int32_t DecoderAssist(NativeArgs& a) {
  uint32_t type = a.U32(0);
  AdlAssistArgs args{a.U32(1), a.U32(2), a.U32(3)};
  if (a.Faulted()) return 0;
  SllPluginRecord* record = Decoders() ? Decoders()->RecordOfType(type) : nullptr;
  if (!record || !record->assist2) return kSllAssistUnsupported;
  return reinterpret_cast<AdlAssistFunc2>(record->assist2)(&args);
}

// ---- Buffers ----

// 602
int32_t DeleteAll(NativeArgs&) {
  if (Device()) Device()->DeleteAllBuffers();
  return 0;
}

// 603
int32_t Create(NativeArgs& a) {
  std::string text;
  const char* file = nullptr;
  auto lipSync = static_cast<uint8_t>(a.U32(1));
  if (!Name(a, 0, text, file) || a.Faulted() || !Device()) return 0;
  SoundBuffer* made = nullptr;
  return Device()->CreateBuffer(&made, file, lipSync) == kListOk ? Give(a, made) : 0;
}

constexpr int32_t kDuplicateOfStream = 2;

// 604
int32_t CreateDuplicate(NativeArgs& a) {
  SoundBuffer* source = Buffer(a, 0);
  if (!source || !Device()) return 0;
  if (source->IsStreaming()) return kDuplicateOfStream;
  SoundBuffer* made = nullptr;
  return Device()->CreateDuplicate(&made, source) == kListOk ? Give(a, made) : 0;
}

// 605, 606
template <bool kWithLoop>
int32_t CreateStream(NativeArgs& a) {
  std::string text, loopText;
  const char* file = nullptr;
  const char* loopFile = nullptr;
  if (!Name(a, 0, text, file) || (kWithLoop && !Name(a, 1, loopText, loopFile)) || !Device()) {
    return 0;
  }
  SoundBuffer* made = nullptr;
  return Device()->CreateStream(&made, file, loopFile) == kListOk ? Give(a, made) : 0;
}

// 607: buffers the channel manager owns are not listed and stay; a handle whose buffer is gone
// is not listed either.
int32_t Destroy(NativeArgs& a) {
  uint32_t variable = a.U32(0);
  uint32_t handle = 0;
  if (a.Faulted() || variable == 0) return kListNullBuffer;
  if (!a.Memory().Read32(variable, handle) || handle == 0) return kListNullBuffer;
  auto* buffer = a.Host().Handles().Get<SoundBuffer>(handle, ScriptObjectType::kSoundBuffer);
  if (!buffer) return kListNotListed;
  int32_t r = Device() ? Device()->RemoveBuffer(buffer) : kListNotListed;
  if (r == kListOk) a.Memory().Write32(variable, 0);
  return r;
}

// 608-612, 628, 620, 621: a buffer operation without arguments.
template <auto kOperation, int32_t kNull>
int32_t Operate(NativeArgs& a) {
  SoundBuffer* b = Buffer(a, 0);
  return b ? static_cast<int32_t>((b->*kOperation)()) : kNull;
}

// 618, 623-625: a buffer operation with one value.
template <typename Value, int32_t (SoundBuffer::*kOperation)(Value), int32_t kNull>
int32_t OperateWith(NativeArgs& a) {
  SoundBuffer* b = Buffer(a, 0);
  auto value = static_cast<Value>(a.U32(1));
  return b ? (b->*kOperation)(value) : kNull;
}

// 613
int32_t FadeIn(NativeArgs& a) {
  SoundBuffer* b = Buffer(a, 0);
  uint32_t ms = a.U32(1);
  bool loop = a.U32(2) != 0;
  return b ? b->FadeIn(Timers(a), ms, loop) : -2;
}

// 614
int32_t FadeOut(NativeArgs& a) {
  SoundBuffer* b = Buffer(a, 0);
  uint32_t ms = a.U32(1);
  return b ? b->FadeOut(Timers(a), ms) : -2;
}

// 615-617
template <void (DirectSoundDevice::*kOperation)()>
int32_t EveryBuffer(NativeArgs&) {
  if (Device()) (Device()->*kOperation)();
  return 0;
}

// 619: the out words are written when the format was read.
int32_t GetFormat(NativeArgs& a) {
  SoundBuffer* b = Buffer(a, 0);
  if (!b) return -1;
  uint16_t channels = 0, bits = 0;
  uint32_t rate = 0;
  int32_t r = b->GetFormat(&channels, &rate, &bits);
  if (r == kSoundBufferOk) a.Out32(1, channels) && a.Out32(2, rate) && a.Out32(3, bits);
  return r;
}

// 622: the low byte of the answer alone.
int32_t IsPlaying(NativeArgs& a) {
  SoundBuffer* b = Buffer(a, 0);
  return b && b->IsPlaying(nullptr, nullptr) ? 1 : 0;
}

// 626
int32_t Adjust(NativeArgs& a) {
  SoundBuffer* b = Buffer(a, 0);
  int32_t volume = a.I32(1), pan = a.I32(2), frequency = a.I32(3);
  return b ? b->Adjust(volume, pan, frequency) : -1;
}

// 627
int32_t GetVolumePanFrequency(NativeArgs& a) {
  SoundBuffer* b = Buffer(a, 0);
  if (!b) return -1;
  int32_t factor = 0, pan = 0;
  uint32_t frequency = 0;
  int32_t r = b->GetVolumePanFrequency(&factor, &pan, &frequency);
  if (r == kSoundBufferOk) {
    a.Out32(1, static_cast<uint32_t>(factor)) && a.Out32(2, static_cast<uint32_t>(pan)) &&
        a.Out32(3, frequency);
  }
  return r;
}

// Static buffers only: streams keep no samples.
DirectSoundBuffer* Static(NativeArgs& a, uint32_t k) {
  SoundBuffer* b = Buffer(a, k);
  return b && !b->IsStreaming() ? static_cast<DirectSoundBuffer*>(b) : nullptr;
}

// 629
int32_t GetSample(NativeArgs& a) {
  DirectSoundBuffer* b = Static(a, 0);
  uint32_t offset = a.U32(1);
  return b ? b->GetSample(offset) : 0;
}

// 630: asked every frame for lip-sync; one look-up.
int32_t GetLevel(NativeArgs& a) {
  DirectSoundBuffer* b = Static(a, 0);
  uint32_t offset = a.U32(1), range = a.U32(2);
  return b ? static_cast<int32_t>(b->GetLevel(offset, range)) : 0;
}

// 631: the output path in engine form, relative to the application folder.
int32_t ExportWave(NativeArgs& a) {
  std::string soundText, outputText;
  const char* sound = nullptr;
  const char* output = nullptr;
  if (!Name(a, 0, soundText, sound) || !Name(a, 1, outputText, output)) return kExportBadArgument;
  std::string absolute, linux;
  if (!output || BuildAbsolutePath(absolute, outputText) == kPathBuildFailed ||
      host::EnginePathToLinuxPath(absolute, linux) != host::kPathOk) {
    return kExportBadArgument;
  }
  if (!host::GamePathAllowed(linux, host::PathUse::kWrite)) return kExportCannotWrite;
  return ExportSoundAsWave(sound, std::filesystem::path(linux), Decoders());
}

constexpr NativeEntry kBufferEntries[] = {
    {Native::kSoundDeviceStart, SoundDeviceStart},
    {Native::kSoundDecoderSetOption, DecoderSetOption},
    {Native::kSoundDecoderCallA, DecoderSetting<0>},
    {Native::kSoundDecoderCallB, DecoderSetting<1>},
    {Native::kSoundDecoderSelect, DecoderSelect},
    {Native::kSoundDecoderAssist, DecoderAssist},
    {Native::kSoundDeleteAll, DeleteAll},
    {Native::kSoundCreate, Create},
    {Native::kSoundCreateDuplicate, CreateDuplicate},
    {Native::kSoundCreateStream, CreateStream<false>},
    {Native::kSoundCreateStreamLoop, CreateStream<true>},
    {Native::kSoundDestroy, Destroy},
    {Native::kSoundPlay, Operate<&SoundBuffer::Play, -1>},
    {Native::kSoundPlayLoop, Operate<&SoundBuffer::PlayLoop, -1>},
    {Native::kSoundPause, Operate<&SoundBuffer::Pause, -1>},
    {Native::kSoundResume, Operate<&SoundBuffer::Resume, -1>},
    {Native::kSoundStop, Operate<&SoundBuffer::Stop, -1>},
    {Native::kSoundFadeIn, FadeIn},
    {Native::kSoundFadeOut, FadeOut},
    {Native::kSoundPauseAll, EveryBuffer<&DirectSoundDevice::PauseAllBuffers>},
    {Native::kSoundResumeAll, EveryBuffer<&DirectSoundDevice::ResumeAllBuffers>},
    {Native::kSoundStopAll, EveryBuffer<&DirectSoundDevice::StopAllBuffers>},
    {Native::kSoundSeek, OperateWith<uint32_t, &SoundBuffer::SeekMs, -1>},
    {Native::kSoundGetFormat, GetFormat},
    {Native::kSoundGetLength, Operate<&SoundBuffer::GetLengthMs, 0>},
    {Native::kSoundGetPosition, Operate<&SoundBuffer::GetPositionMs, 0>},
    {Native::kSoundIsPlaying, IsPlaying},
    {Native::kSoundSetVolume, OperateWith<int32_t, &SoundBuffer::SetVolume, -2>},
    {Native::kSoundSetPan, OperateWith<int32_t, &SoundBuffer::SetPan, -1>},
    {Native::kSoundSetFrequency, OperateWith<uint32_t, &SoundBuffer::SetFrequency, -1>},
    {Native::kSoundAdjust, Adjust},
    {Native::kSoundGetVolumePanFrequency, GetVolumePanFrequency},
    {Native::kSoundGetDataSize, Operate<&SoundBuffer::GetDataSize, 0>},
    {Native::kSoundGetSample, GetSample},
    {Native::kSoundGetLevel, GetLevel},
    {Native::kSoundExportWave, ExportWave},
};

constexpr NativeRange kBufferNumbers[] = {{596, 631}};

// ---- Switches and factors ----

constexpr uint8_t kKindOfSwitch[] = {kSoundEffect, kSystemSoundEffect, kVoice};

// The setting that SoundSetting writes and SoundGetSetting reads back.
enum class SoundSettingCommand : uint32_t {
  kBgm,            // music on or off
  kEffectKind,     // one kind's enabled state
  kKindSwitch,     // the switch byte of effects, system effects or voices
  kDefaultFactor,  // one of three default volume factors
  kSoundLevel,     // sound on or off, master volume or voice volume
};

// 652: always 0.
int32_t SoundSetting(NativeArgs& a) {
  uint32_t command = a.U32(0);
  int32_t p = a.I32(1), q = a.I32(2), r = a.I32(3), s = a.I32(4);
  SoundChannelManager* m = Channels(a);
  if (a.Faulted() || !m) return 0;
  switch (static_cast<SoundSettingCommand>(command)) {
    case SoundSettingCommand::kBgm:
      (void)m->SetBgmEnabled(p != 0, false);  // music that does not open stays silent
      break;
    case SoundSettingCommand::kEffectKind:
      m->SetKindEnabled(p != 0, static_cast<uint8_t>(q), r != 0, s != 0);
      break;
    case SoundSettingCommand::kKindSwitch:
      // Each switch byte directly, the sound effects' too, so that 653 reads back what was set.
      if (p >= 0 && p <= 2) m->SetKindSwitch(kKindOfSwitch[p], q != 0);
      break;
    case SoundSettingCommand::kDefaultFactor:
      if (p >= 0 && p <= 2) m->SetDefaultFactor(p, q);
      break;
    case SoundSettingCommand::kSoundLevel:
      if (p == 0) m->SetSoundEnabled(q != 0, r != 0);
      if (p == 1) m->SetMasterVolume(q, r != 0);
      if (p == 2) m->SetVoiceVolume(q);
      break;
    default:
      break;
  }
  return 0;
}

// 653
int32_t SoundGetSetting(NativeArgs& a) {
  uint32_t command = a.U32(0);
  int32_t p = a.I32(1);
  SoundChannelManager* m = Channels(a);
  if (a.Faulted() || !m) return 0;
  switch (static_cast<SoundSettingCommand>(command)) {
    case SoundSettingCommand::kBgm:
      return m->BgmEnabled();
    case SoundSettingCommand::kEffectKind:
      return m->KindEnabled(kSoundEffect);
    case SoundSettingCommand::kKindSwitch:
      return p >= 0 && p <= 2 ? m->KindEnabled(kKindOfSwitch[p]) : 0;
    case SoundSettingCommand::kDefaultFactor:
      return p >= 0 && p <= 2 ? m->DefaultFactor(p) : 0;
    case SoundSettingCommand::kSoundLevel:
      return p == 0   ? m->SoundEnabled()
             : p == 1 ? m->MasterVolume()
             : p == 2 ? m->VoiceVolume()
                      : 0;
    default:
      return 0;
  }
}

// 654
int32_t SetKindVolume(NativeArgs& a) {
  int32_t factor = a.I32(0);
  bool loopingOnly = a.U32(1) != 0;
  auto mask = static_cast<uint8_t>(a.U32(2));
  if (!a.Faulted() && Channels(a)) Channels(a)->SetKindVolume(factor, loopingOnly, mask);
  return 0;
}

// 655
int32_t BgmSetVolume(NativeArgs& a) {
  int32_t volume = a.I32(0), factor = a.I32(1);
  if (!a.Faulted() && Channels(a)) Channels(a)->SetBgmVolume(volume, factor, true);
  return 0;
}

// 656
int32_t BgmSetPan(NativeArgs& a) {
  int32_t pan = a.I32(0);
  if (!a.Faulted() && Channels(a)) Channels(a)->SetBgmPan(pan);
  return 0;
}

// The music a row names: file, loop switch (65535: looped, no intro) and intro file.
struct Music {
  std::string fileText, introText;
  const char* file = nullptr;
  const char* intro = nullptr;
  bool loop = true;
  bool defaults = false;

  bool Read(NativeArgs& a, uint32_t fileWord, uint32_t loopWord, uint32_t introWord) {
    uint32_t loopSwitch = a.U32(loopWord);
    defaults = loopSwitch == kDefaultsSwitch;
    loop = defaults || loopSwitch != 0;
    if (!Name(a, fileWord, fileText, file)) return false;
    return defaults || Name(a, introWord, introText, intro);
  }
};

// 657
int32_t BgmPlay(NativeArgs& a) {
  Music music;
  if (!music.Read(a, 0, 1, 2) || !Channels(a)) return kBgmBadName;
  return Channels(a)->PlayBgm(music.file, music.intro, music.loop);
}

// 658-660
template <void (SoundChannelManager::*kOperation)()>
int32_t BgmOperate(NativeArgs& a) {
  if (Channels(a)) (Channels(a)->*kOperation)();
  return 0;
}

// 661
int32_t BgmVolumeFade(NativeArgs& a) {
  int32_t target = a.I32(0);
  uint32_t ms = a.U32(1);
  SoundChannelManager* m = Channels(a);
  if (a.Faulted() || !m) return kTaskNoTarget;
  return StartOwned(std::make_unique<BgmVolumeFadeTask>(target, ms), Timers(a), m,
                    m->CurrentBgmTrack());
}

// 662
int32_t BgmFadeIn(NativeArgs& a) {
  uint32_t ms = a.U32(0);
  Music music;
  SoundChannelManager* m = Channels(a);
  if (!music.Read(a, 1, 2, 3) || !m) return kTaskNoTarget;
  return StartOwned(std::make_unique<BgmFadeInTask>(ms), Timers(a), m, m->CurrentBgmTrack(),
                    music.file, music.intro, music.loop);
}

// 663
int32_t BgmFadeOut(NativeArgs& a) {
  uint32_t ms = a.U32(0);
  SoundChannelManager* m = Channels(a);
  if (a.Faulted() || !m) return kTaskNoTarget;
  return StartOwned(std::make_unique<BgmFadeOutTask>(ms), Timers(a), m, m->CurrentBgmTrack());
}

// 664: the overlap is the duration when either switch is 65535.
int32_t BgmCrossFade(NativeArgs& a) {
  uint32_t ms = a.U32(0);
  uint32_t overlap = a.U32(4);
  int32_t volume = a.I32(5);
  Music music;
  SoundChannelManager* m = Channels(a);
  if (!music.Read(a, 1, 2, 3) || !m) return kTaskNoTarget;
  if (music.defaults || overlap == kDefaultsSwitch) overlap = ms;
  if (music.defaults) volume = -1;
  return StartOwned(std::make_unique<BgmCrossFadeTask>(ms, overlap), Timers(a), m, music.file,
                    music.intro, music.loop, volume);
}

// 665
int32_t BgmIsPlaying(NativeArgs& a) {
  return Channels(a) && Channels(a)->IsBgmPlaying() ? 1 : 0;
}

// 666
int32_t BgmGetFadeState(NativeArgs& a) {
  return Channels(a) ? Channels(a)->BgmFadeState() : 0;
}

// 667: the manager's own stream, one handle for the host's life.
int32_t BgmGetBuffer(NativeArgs& a) {
  return Channels(a) ? Give(a, &Channels(a)->CurrentBgmTrack()->stream) : 0;
}

// ---- Channels ----

// 668: a count beyond what a script can use is refused like one below 1.
int32_t ChannelSetCount(NativeArgs& a) {
  int32_t count = a.I32(0);
  if (a.Faulted() || !Channels(a) || count < 1 || count > kMaxScriptChannels) return kCountRefused;
  return Channels(a)->SetChannelCount(count);
}

// 669
int32_t ChannelSetVolume(NativeArgs& a) {
  int32_t channel = a.I32(0), volume = a.I32(1), factor = a.I32(2);
  if (a.Faulted() || !Channels(a)) return kBadChannel;
  return Channels(a)->SetChannelVolume(channel, volume, factor);
}

// 670
int32_t ChannelSetPan(NativeArgs& a) {
  int32_t channel = a.I32(0), pan = a.I32(1);
  if (a.Faulted() || !Channels(a)) return kBadChannel;
  return Channels(a)->SetChannelPan(channel, pan);
}

// 671
int32_t ChannelSetKind(NativeArgs& a) {
  int32_t channel = a.I32(0);
  auto kind = static_cast<uint8_t>(a.U32(1));
  if (a.Faulted() || !Channels(a)) return kBadChannel;
  return Channels(a)->SetChannelKind(channel, kind);
}

// 672, 673
template <bool kStream>
int32_t ChannelLoad(NativeArgs& a) {
  int32_t channel = a.I32(0);
  std::string text;
  const char* file = nullptr;
  if (!Name(a, 1, text, file) || !Channels(a)) return kBadChannel;
  return Channels(a)->LoadChannel(channel, file, kLipSyncNone, kStream);
}

// 674
int32_t ChannelUnload(NativeArgs& a) {
  int32_t channel = a.I32(0);
  if (!a.Faulted() && Channels(a)) Channels(a)->UnloadChannel(channel);
  return 0;
}

// 675
int32_t ChannelPlay(NativeArgs& a) {
  int32_t channel = a.I32(0);
  bool loop = a.U32(1) != 0;
  if (a.Faulted() || !Channels(a)) return kBadChannel;
  return Channels(a)->PlayChannel(channel, loop);
}

// 676
int32_t ChannelStop(NativeArgs& a) {
  int32_t channel = a.I32(0);
  if (a.Faulted() || !Channels(a)) return kBadChannel;
  return Channels(a)->StopChannel(channel);
}

// 677: always 0.
int32_t ChannelVolumeFade(NativeArgs& a) {
  int32_t channel = a.I32(0), target = a.I32(1);
  uint32_t ms = a.U32(2);
  if (!a.Faulted() && Channels(a)) {
    // A fade that cannot start is deleted and the volume stays; the native answers 0 either way.
    (void)StartOwned(std::make_unique<ChannelVolumeFadeTask>(target, ms), Timers(a), Channels(a),
                     channel);
  }
  return 0;
}

// 678
int32_t ChannelFadeIn(NativeArgs& a) {
  uint32_t ms = a.U32(0);
  std::string text;
  const char* file = nullptr;
  int32_t channel = a.I32(2);
  bool loop = a.U32(3) != 0, stream = a.U32(4) != 0;
  if (!Name(a, 1, text, file) || a.Faulted() || !Channels(a)) return kTaskNoTarget;
  return StartOwned(std::make_unique<ChannelFadeInTask>(ms), Timers(a), Channels(a), file, channel,
                    loop, stream);
}

// 679
int32_t ChannelFadeOut(NativeArgs& a) {
  uint32_t ms = a.U32(0);
  int32_t channel = a.I32(1);
  if (a.Faulted() || !Channels(a)) return kTaskNoTarget;
  return StartOwned(std::make_unique<ChannelFadeOutTask>(ms), Timers(a), Channels(a), channel);
}

// 680
int32_t ChannelIsPlaying(NativeArgs& a) {
  int32_t channel = a.I32(0);
  return !a.Faulted() && Channels(a) && Channels(a)->IsChannelPlaying(channel) ? 1 : 0;
}

// 681
int32_t ChannelGetFadeState(NativeArgs& a) {
  int32_t channel = a.I32(0);
  return !a.Faulted() && Channels(a) ? Channels(a)->GetChannelFadeState(channel) : 0;
}

// 682: the record's own buffers, one handle each while the record lives.
int32_t ChannelGetBuffer(NativeArgs& a) {
  int32_t channel = a.I32(0);
  SoundChannel* c = !a.Faulted() && Channels(a) ? Channels(a)->GetChannel(channel) : nullptr;
  if (!c) return 0;
  return Give(a,
              c->loaded == &c->stream ? static_cast<SoundBuffer*>(&c->stream) : &c->staticBuffer);
}

// 683: the character ids are read through guest memory, none for a negative count.
int32_t VoicePlay(NativeArgs& a) {
  int32_t channel = a.I32(0);
  std::string text;
  const char* name = nullptr;
  int32_t count = a.I32(2);
  if (!Name(a, 1, text, name) || a.Faulted()) return kVoiceUnknown;
  std::vector<int32_t> ids;
  if (count > 0) {
    if (!GuestRange(a.Memory(), a.WordAddress(3), int64_t{count} * 4)) return kVoiceUnknown;
    ids.resize(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) ids[i] = a.I32(3 + static_cast<uint32_t>(i));
  }
  if (!Channels(a)) return kVoiceNoTable;
  return Channels(a)->PlayVoiceByName(channel, name, count, ids.empty() ? nullptr : ids.data());
}

// 684: the duck task's handle, or 0.
int32_t BgmDuck(NativeArgs& a) {
  int32_t channel = a.I32(0);
  std::string text;
  const char* ratio = nullptr;
  if (!Name(a, 1, text, ratio) || a.Faulted()) return 0;
  BgmDuckTask* task = StartSoundFader(a.Host(), channel, ratio);
  return static_cast<int32_t>(a.Host().Handles().HandleOf(ScriptObjectType::kTimedTask, task));
}

constexpr NativeEntry kChannelEntries[] = {
    {Native::kSoundSetting, SoundSetting},
    {Native::kSoundGetSetting, SoundGetSetting},
    {Native::kSoundSetKindVolume, SetKindVolume},
    {Native::kBgmSetVolume, BgmSetVolume},
    {Native::kBgmSetPan, BgmSetPan},
    {Native::kBgmPlay, BgmPlay},
    {Native::kBgmStop, BgmOperate<&SoundChannelManager::StopBgm>},
    {Native::kBgmPause, BgmOperate<&SoundChannelManager::PauseBgm>},
    {Native::kBgmResume, BgmOperate<&SoundChannelManager::ResumeBgm>},
    {Native::kBgmVolumeFade, BgmVolumeFade},
    {Native::kBgmFadeIn, BgmFadeIn},
    {Native::kBgmFadeOut, BgmFadeOut},
    {Native::kBgmCrossFade, BgmCrossFade},
    {Native::kBgmIsPlaying, BgmIsPlaying},
    {Native::kBgmGetFadeState, BgmGetFadeState},
    {Native::kBgmGetBuffer, BgmGetBuffer},
    {Native::kChannelSetCount, ChannelSetCount},
    {Native::kChannelSetVolume, ChannelSetVolume},
    {Native::kChannelSetPan, ChannelSetPan},
    {Native::kChannelSetKind, ChannelSetKind},
    {Native::kChannelLoad, ChannelLoad<false>},
    {Native::kChannelLoadStream, ChannelLoad<true>},
    {Native::kChannelUnload, ChannelUnload},
    {Native::kChannelPlay, ChannelPlay},
    {Native::kChannelStop, ChannelStop},
    {Native::kChannelVolumeFade, ChannelVolumeFade},
    {Native::kChannelFadeIn, ChannelFadeIn},
    {Native::kChannelFadeOut, ChannelFadeOut},
    {Native::kChannelIsPlaying, ChannelIsPlaying},
    {Native::kChannelGetFadeState, ChannelGetFadeState},
    {Native::kChannelGetBuffer, ChannelGetBuffer},
    {Native::kVoicePlay, VoicePlay},
    {Native::kBgmDuck, BgmDuck},
};

constexpr NativeRange kChannelNumbers[] = {{652, 684}};

}  // namespace

const NativeFamily& SoundBufferNativeFamily() {
  static const NativeFamily family{"sound", kBufferEntries, kBufferNumbers};
  return family;
}

const NativeFamily& SoundChannelNativeFamily() {
  static const NativeFamily family{"sound channels", kChannelEntries, kChannelNumbers};
  return family;
}

}  // namespace bw
