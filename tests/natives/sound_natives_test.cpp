// The sound natives over a headless sound world: the mix is pulled by the test and the channel
// manager's tasks step on a virtual clock.
#include "natives/sound_natives.h"

#include <cstring>

#include "gui/click_action.h"
#include "gui/pointer_tip.h"
#include "host/host_path.h"
#include "lib/sob/voice_info_writer.h"
#include "native_rig.h"
#include "natives/sound_helpers.h"
#include "resource/files/file.h"
#include "resource/packs/archive.h"
#include "sound/sound_world.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

constexpr uint32_t kRate = 8000;
constexpr uint32_t kMaxWord = 0x7FFFFFFF;

class SoundNatives : public ::testing::Test {
 protected:
  SoundNatives() {
    rig.host->SetSoundChannels(std::make_unique<SoundChannelManager>(&timers));
    m = rig.host->SoundChannels();
    EXPECT_EQ(kSoundOk, m->SetChannelCount(8));
  }

  int32_t Call(uint32_t n, std::initializer_list<uint32_t> words) { return rig.Answer(n, words); }
  uint32_t Text(const std::string& text) { return rig.Text(text); }
  uint32_t Create(const std::string& file, uint32_t lipSync = 0) {
    return static_cast<uint32_t>(Call(Native::kSoundCreate, {Text(file), lipSync}));
  }
  void At(uint32_t ms) {
    clock.SetMilliseconds(ms);
    timers.RunDue(ms);
  }
  // A buffer of a quarter-second tone, kept in tone.
  uint32_t ToneBuffer() {
    tone = w.PutTone("SE\\TONE.OGG", 250, kRate);
    const uint32_t buffer = Create("SE\\TONE.OGG");
    EXPECT_NE(buffer, 0u);
    return buffer;
  }
  // A ramp loaded into a channel.
  std::vector<int16_t> Ramp(uint32_t channel = 2, uint32_t native = Native::kChannelLoad) {
    std::vector<int16_t> ramp = w.PutRamp("SE\\A.PCMT", 2000, kRate, 10);
    EXPECT_EQ(Call(native, {channel, Text("SE\\A.PCMT")}), 0);
    return ramp;
  }
  int32_t VolumeOf(uint32_t buffer) {
    uint32_t out = rig.Block(12);
    EXPECT_EQ(Call(Native::kSoundGetVolumePanFrequency, {buffer, out, out + 4, out + 8}), 0);
    return static_cast<int32_t>(rig.Word(out));
  }

  host::VirtualClock clock{100};
  ScopedGlobal<host::ClockSource> clockScope{&clock};
  TimerService timers;  // outlives the buffers, whose fades it runs
  soundtest::SoundWorld w{kRate};
  NativeRig rig;
  SoundChannelManager* m = nullptr;
  std::vector<int16_t> tone;
};

using soundtest::Part;

// Play, pause, resume, seek, loop and stop, heard on the pulled mix.
TEST_F(SoundNatives, ABufferPlaysPausesAndResumesOnTheMix) {
  const uint32_t b = ToneBuffer();
  EXPECT_EQ(Call(Native::kSoundGetDataSize, {b}), 4000);
  ASSERT_EQ(Call(Native::kSoundPlay, {b}), 0);
  EXPECT_EQ(w.Pull(1000), Part(tone, 0, 1000));
  EXPECT_EQ(Call(Native::kSoundIsPlaying, {b}), 1);
  ASSERT_EQ(Call(Native::kSoundPause, {b}), 0);
  EXPECT_EQ(w.Pull(400), std::vector<int16_t>(400, 0)) << "paused";
  EXPECT_EQ(Call(Native::kSoundIsPlaying, {b}), 0);
  ASSERT_EQ(Call(Native::kSoundResume, {b}), 0);
  EXPECT_EQ(w.Pull(1000), Part(tone, 1000, 1000));
}

TEST_F(SoundNatives, ABufferLoopsSeeksAndStopsOnTheMix) {
  const uint32_t b = ToneBuffer();
  ASSERT_EQ(Call(Native::kSoundPlayLoop, {b}), 0);
  std::vector<int16_t> looped = w.Pull(3000);
  EXPECT_EQ(Part(looped, 2000, 1000), Part(tone, 0, 1000)) << "looped";
  ASSERT_EQ(Call(Native::kSoundSeek, {b, 200}), 0);
  EXPECT_EQ(w.Pull(400), Part(tone, 1600, 400));
  ASSERT_EQ(Call(Native::kSoundStop, {b}), 0);
  EXPECT_EQ(w.Pull(100), std::vector<int16_t>(100, 0));
}

// Pause-all and resume-all reach every listed buffer at once, heard on the mix as they happen.
TEST_F(SoundNatives, PauseAllAndResumeAllReachEveryBuffer) {
  const uint32_t b = ToneBuffer();
  const uint32_t other = Create("SE\\TONE.OGG");
  ASSERT_EQ(Call(Native::kSoundPlayLoop, {b}), 0);
  ASSERT_EQ(Call(Native::kSoundPlayLoop, {other}), 0);
  EXPECT_EQ(Call(Native::kSoundPauseAll, {}), 0);
  EXPECT_EQ(Call(Native::kSoundIsPlaying, {b}), 0) << "paused with all the others";
  EXPECT_EQ(Call(Native::kSoundIsPlaying, {other}), 0);
  EXPECT_EQ(w.Pull(200), std::vector<int16_t>(200, 0)) << "silent while paused";
  EXPECT_EQ(Call(Native::kSoundResumeAll, {}), 0);
  EXPECT_EQ(Call(Native::kSoundIsPlaying, {b}), 1) << "resumed with all the others";
  EXPECT_EQ(Call(Native::kSoundIsPlaying, {other}), 1);
  EXPECT_NE(w.Pull(200), std::vector<int16_t>(200, 0)) << "heard again";
}

// Duplicates share a static buffer's data; a stream answers 2 in place of a handle.
TEST_F(SoundNatives, DuplicatesShareAStaticBuffersDataOnly) {
  const uint32_t b = ToneBuffer();
  uint32_t copy = static_cast<uint32_t>(Call(Native::kSoundCreateDuplicate, {b}));
  ASSERT_NE(copy, 0u);
  ASSERT_EQ(Call(Native::kSoundPlay, {copy}), 0);
  EXPECT_EQ(w.Pull(500), Part(tone, 0, 500));
  uint32_t stream = static_cast<uint32_t>(Call(Native::kSoundCreateStream, {Text("SE\\TONE.OGG")}));
  ASSERT_GT(stream, 2u);
  EXPECT_EQ(Call(Native::kSoundCreateDuplicate, {stream}), 2);
  EXPECT_EQ(Call(Native::kSoundGetSample, {stream, 0}), 0) << "streams keep no samples";
  EXPECT_EQ(Call(Native::kSoundCreate, {Text("SE\\NONE.OGG"), 0}), 0);
  EXPECT_EQ(w.device.BufferCount(), 3u) << "failures list nothing";
}

TEST_F(SoundNatives, BuffersFadeInAndOutOnTheGeneralTimers) {
  w.PutTone("SE\\TONE.OGG", 1000, kRate);
  uint32_t b = Create("SE\\TONE.OGG");
  At(1000);
  ASSERT_EQ(Call(Native::kSoundFadeIn, {b, 400, 1}), 0);
  EXPECT_EQ(Call(Native::kSoundIsPlaying, {b}), 1);
  At(1000);
  EXPECT_LT(VolumeOf(b), 40) << "starts near silence";
  At(1500);
  EXPECT_EQ(VolumeOf(b), 256);

  ASSERT_EQ(Call(Native::kSoundFadeOut, {b, 400}), 0);
  At(1500);
  At(2000);
  EXPECT_EQ(Call(Native::kSoundIsPlaying, {b}), 0) << "faded out and paused";
  EXPECT_EQ(VolumeOf(b), 256) << "the factor comes back for the next fade-in";
}

// Samples and levels of a known ramp, and nothing past its data.
TEST_F(SoundNatives, SamplesAndLevelsForLipSync) {
  w.PutRamp("V.PCMT", 400, kRate, -200);
  uint32_t kept = Create("V.PCMT", kLipSyncSamples);
  EXPECT_EQ(Call(Native::kSoundGetSample, {kept, 0}), -200);
  EXPECT_EQ(Call(Native::kSoundGetSample, {kept, 2 * 399}), 199);
  EXPECT_EQ(Call(Native::kSoundGetSample, {kept, 2 * 400}), 0) << "past the data";

  uint32_t envelope = Create("V.PCMT", kLipSyncEnvelope);
  EXPECT_EQ(Call(Native::kSoundGetLevel, {envelope, 0, 4}), 3) << "the loudest block";
  EXPECT_EQ(Call(Native::kSoundGetLevel, {envelope, 2 * 200, 4}), 0) << "the quiet middle";
}

// The export writes the decoded samples behind a WAVE header, and a failed one keeps the old
// file as it was.
TEST_F(SoundNatives, ExportWritesTheDecodedSamples) {
  tone = w.PutTone("SE\\TONE.OGG", 250, kRate);
  test::TempDir dir;
  std::string target;
  ASSERT_EQ(host::LinuxPathToEnginePath((dir.path() / "out.wav").string(), target), host::kPathOk);
  ASSERT_EQ(Call(Native::kSoundExportWave, {Text("SE\\TONE.OGG"), Text(target)}), kExportDone);
  std::string wave = test::ReadFile(dir.path() / "out.wav");
  ASSERT_EQ(wave.size(), kWaveHeaderBytes + tone.size() * 2);
  EXPECT_EQ(wave.substr(0, 4), "RIFF");
  EXPECT_EQ(std::memcmp(wave.data() + kWaveHeaderBytes, tone.data(), tone.size() * 2), 0);

  EXPECT_NE(Call(Native::kSoundExportWave, {Text("SE\\NONE.OGG"), Text(target)}), kExportDone);
  EXPECT_EQ(test::ReadFile(dir.path() / "out.wav"), wave);
}

// A device that cannot start warns once, through the dialog, and never again; the answer lands
// in the first argument word.
TEST_F(SoundNatives, DeviceStartWarnsOnce) {
  const uint32_t words[] = {1, 2, 44, 16};
  const uint32_t args = rig.Words(words);
  for (int32_t quiet : {0, kPrimaryFormatRefused}) {
    rig.app.soundDeviceAnswer = quiet;
    EXPECT_EQ(rig.CallAt(Native::kSoundDeviceStart, args).result, quiet);
  }
  EXPECT_EQ(rig.app.soundWarningsShown, 0);
  rig.app.soundDeviceAnswer = kDeviceNotMade;
  EXPECT_EQ(rig.CallAt(Native::kSoundDeviceStart, args).result, kDeviceNotMade);
  EXPECT_EQ(rig.Word(args), uint32_t(kDeviceNotMade));
  EXPECT_EQ(rig.app.soundWarningsShown, 1);
  EXPECT_EQ(rig.CallAt(Native::kSoundDeviceStart, args).result, kDeviceNotMade);
  EXPECT_EQ(rig.app.soundWarningsShown, 1) << "never again";
  EXPECT_TRUE(rig.CallAt(Native::kSoundDeviceStart, PastTheArena(rig.Memory())).faulted);
}

// What the switches do is heard on the channels and the voices; a word index outside 0-2 writes
// no factor.
TEST_F(SoundNatives, FactorWordsOutsideTheirRangeChangeNothing) {
  Call(Native::kSoundSetting, {3, 3, 99, 0, 0});
  // The general factor is full; the system sound effects' and the voices' take it (-1).
  const int32_t loaded[] = {kFullVolumeFactor, -1, -1};
  for (uint32_t word : {0u, 1u, 2u}) {
    EXPECT_EQ(Call(Native::kSoundGetSetting, {3, word}), loaded[word])
        << "a word index outside 0-2 writes no factor, " << word << " included";
  }
  EXPECT_EQ(Call(Native::kSoundGetSetting, {9, 0}), 0);
}

// Counts below 1 and beyond what a script can use are refused and the channels stay; every
// channel row answers its bad-index value.
TEST_F(SoundNatives, ChannelCountsOutOfRangeAreRefused) {
  for (uint32_t refused : {0u, uint32_t(-3), 1025u, kMaxWord}) {
    EXPECT_EQ(Call(Native::kChannelSetCount, {refused}), kCountRefused) << refused;
    EXPECT_EQ(m->ChannelCount(), 8) << refused;
  }
  EXPECT_EQ(Call(Native::kChannelSetCount, {12}), 0);
  EXPECT_EQ(m->ChannelCount(), 12);
}

TEST_F(SoundNatives, EveryChannelNativeRefusesABadIndex) {
  ASSERT_EQ(m->SetChannelCount(12), kSoundOk);
  for (uint32_t bad : {12u, uint32_t(-1)}) {
    EXPECT_EQ(Call(Native::kChannelLoad, {bad, Text("SE\\A.PCMT")}), kBadChannel);
    for (uint32_t n : {Native::kChannelSetVolume, Native::kChannelSetPan, Native::kChannelSetKind,
                       Native::kChannelPlay, Native::kChannelStop})
      EXPECT_EQ(Call(n, {bad, kVoice, 100}), kBadChannel) << n << " " << bad;
    for (uint32_t n : {Native::kChannelUnload, Native::kChannelIsPlaying,
                       Native::kChannelGetFadeState, Native::kChannelGetBuffer})
      EXPECT_EQ(Call(n, {bad}), 0) << n << " " << bad;
    EXPECT_NE(Call(Native::kChannelFadeOut, {100, bad}), 0);
  }
}

// A channel plays on the mix unless its kind is switched off; its buffer keeps one handle and is
// the manager's: the script cannot delete it, and it plays on.
TEST_F(SoundNatives, AChannelPlaysWhatItLoaded) {
  const std::vector<int16_t> ramp = Ramp();
  ASSERT_EQ(Call(Native::kChannelPlay, {2, 1}), 0);
  EXPECT_EQ(w.Pull(1000), Part(ramp, 0, 1000));
}

// The script's releases of sound buffers leave a channel's own alone.
TEST_F(SoundNatives, AChannelKeepsItsBuffer) {
  Ramp();
  ASSERT_EQ(Call(Native::kChannelPlay, {2, 1}), 0);
  uint32_t buffer = static_cast<uint32_t>(Call(Native::kChannelGetBuffer, {2}));
  ASSERT_NE(buffer, 0u);
  uint32_t var = rig.Var(buffer);
  EXPECT_EQ(Call(Native::kSoundDestroy, {var}), kListNotListed);
  EXPECT_EQ(rig.Word(var), buffer);
  EXPECT_EQ(Call(Native::kSoundDeleteAll, {}), 0);
  EXPECT_EQ(Call(Native::kChannelIsPlaying, {2}), 1) << "still playing";
}

TEST_F(SoundNatives, AChannelOfASwitchedOffKindStaysSilent) {
  Ramp();
  Call(Native::kSoundSetting, {2, 0, 0, 0, 0});
  EXPECT_EQ(Call(Native::kChannelPlay, {2, 0}), kSwitchedOff);
  EXPECT_EQ(w.Pull(100), std::vector<int16_t>(100, 0));
}

TEST_F(SoundNatives, AStreamingChannelGivesItsStream) {
  Ramp(3, Native::kChannelLoadStream);
  EXPECT_NE(Call(Native::kChannelGetBuffer, {3}), 0);
}

// The pointer plays the parts' sounds on the channels of its player, once each; the default
// sounds stay none.
TEST_F(SoundNatives, ThePointerPlaysPartSoundsOnTheChannels) {
  PointerTip tip;
  const std::vector<int16_t> ramp = Ramp();
  EXPECT_EQ(tip.PlaySound(nullptr, 2, 0, 0), kSoundNotPlayed) << "no player yet";
  tip.SetSoundPlayer(m);
  EXPECT_EQ(tip.PlaySound("OTHER.OGG", 2, 0, 0), 0) << "the name is not the sound";
  EXPECT_EQ(w.Pull(2000), ramp);
  EXPECT_EQ(w.Pull(100), std::vector<int16_t>(100, 0)) << "once, not looped";
  EXPECT_EQ(tip.PlaySound(nullptr, kDefaultClickSound, 0, 0), kSoundNotPlayed);
  EXPECT_EQ(tip.PlaySound(nullptr, 8, 0, 0), kBadChannel);
  tip.SetSoundPlayer(nullptr);
}

// The music's fade state reads back, and its buffer is the manager's: the script cannot delete
// it.
TEST_F(SoundNatives, TheMusicsBufferIsTheManagers) {
  w.PutTone("BGM\\A.OGG", 3000, kRate);
  At(1000);
  ASSERT_EQ(Call(Native::kBgmFadeIn, {400, Text("BGM\\A.OGG"), 65535, 0}), 0);
  EXPECT_EQ(Call(Native::kBgmGetFadeState, {}), kFadeIn);
  const uint32_t track = static_cast<uint32_t>(Call(Native::kBgmGetBuffer, {}));
  ASSERT_NE(track, 0u);
  EXPECT_EQ(Call(Native::kSoundDestroy, {rig.Var(track)}), kListNotListed);
  EXPECT_EQ(Call(Native::kBgmIsPlaying, {}), 1) << "the music plays on";
}

// A voice by name: no table, an unknown name, voices off, and the ids read from the words (none
// for a negative count).
TEST_F(SoundNatives, VoicesByName) {
  ASSERT_EQ(
      rig.host->GetVoices().Parse(sob::WriteVoiceInfo("OGX", 1, {{"HANA", "", false, {"abc"}}})),
      kVoiceInfoDone);
  w.PutRamp("VOICE\\abc01.OGX", 800, kRate);
  uint32_t name = Text("abc01");
  EXPECT_EQ(Call(Native::kVoicePlay, {6, name, 0}), 0) << "the alias index";
  EXPECT_EQ(Call(Native::kVoicePlay, {6, name, 2, 5, 0}), 1) << "its place among the ids";
  EXPECT_EQ(Call(Native::kVoicePlay, {6, Text("zz"), 0}), kVoiceUnknown);
  Call(Native::kSoundSetting, {2, 2, 0, 0, 0});
  EXPECT_EQ(Call(Native::kVoicePlay, {6, name, 0}), kVoiceSwitchedOff);
  m->SetVoiceTable(nullptr);
  EXPECT_EQ(Call(Native::kVoicePlay, {6, name, 0}), kVoiceNoTable);
}

// The duck without a text takes the player's setting: 50 halves the music.
TEST_F(SoundNatives, DuckHalvesTheMusicUnderAVoice) {
  w.PutTone("BGM\\A.OGG", 3000, kRate);
  w.PutTone("V.OGG", 3000, kRate);
  ASSERT_EQ(Call(Native::kBgmPlay, {Text("BGM\\A.OGG"), 65535, 0}), 0);
  ASSERT_EQ(Call(Native::kChannelLoad, {6, Text("V.OGG")}), 0);
  ASSERT_EQ(Call(Native::kChannelPlay, {6, 0}), 0);
  rig.app.duckSetting = 50;
  At(1000);
  EXPECT_NE(Call(Native::kBgmDuck, {6, 0}), 0);
  At(1000);
  At(1600);
  EXPECT_EQ(m->BgmFactor(), kFullVolumeFactor / 2);
}

// Music by number: once, A and B parts, fades, and a failed start that a retry plays.
TEST_F(SoundNatives, MusicByNumber) {
  ScriptHost& host = *rig.host;
  w.PutTone("BGM\\BGM03.OGG", 3000, kRate);
  w.PutTone("BGM\\BGM07A.OGG", 500, kRate);
  w.PutTone("BGM\\BGM07B.OGG", 500, kRate);
  ASSERT_EQ(PlayBgmNumber(host, 3, 0, true), kBgmNumberDone);
  EXPECT_EQ(PlayBgmNumber(host, 3, 0, true), kBgmNumberDone) << "once: the same number plays on";
  EXPECT_TRUE(m->IsBgmPlaying());

  EXPECT_EQ(PlayBgmNumber(host, 5, 0, true), kBgmNumberFailed);
  EXPECT_FALSE(m->IsBgmPlaying()) << "the failed start closed the track";
  EXPECT_EQ(CurrentBgmNumber(host), 0) << "no music plays, so none is current";
  w.PutTone("BGM\\BGM05.OGG", 3000, kRate);
  EXPECT_EQ(PlayBgmNumber(host, 5, 0, true), kBgmNumberDone) << "the retry plays";

  At(1000);
  EXPECT_EQ(PlayBgmNumber(host, 0, 500, true), kBgmNumberDone);
  At(1000);
  At(1600);
  EXPECT_FALSE(m->IsBgmPlaying());

  // A fade that cannot start its music leaves the number as the music that plays, so that a
  // retry with the same number plays once the file is there.
  EXPECT_EQ(PlayBgmNumber(host, 9, 300, true), kBgmNumberDone);
  EXPECT_EQ(CurrentBgmNumber(host), 0) << "the fade-in found no file";
  EXPECT_EQ(PlayBgmNumber(host, 7, 300, true), kBgmNumberDone);
  EXPECT_EQ(m->BgmFadeState(), kFadeIn) << "no music before: a fade-in";
  EXPECT_EQ(m->CurrentBgmTrack()->intro, "BGM\\BGM07A.OGG");
  EXPECT_EQ(PlayBgmNumber(host, 9, 300, true), kBgmNumberDone);
  EXPECT_EQ(CurrentBgmNumber(host), 7) << "the cross-fade found no file";
  w.PutTone("BGM\\BGM09.OGG", 3000, kRate);
  EXPECT_EQ(PlayBgmNumber(host, 9, 300, true), kBgmNumberDone);
  EXPECT_EQ(m->BgmFadeState(), kCrossFading) << "the retry cross-fades";

  ASSERT_EQ(PlayBgmNumber(host, 0, 0, true), kBgmNumberDone);
  ASSERT_EQ(Call(Native::kBgmPlay, {Text("BGM\\BGM03.OGG"), 65535, 0}), 0);
  EXPECT_EQ(PlayBgmNumber(host, 0, 0, true), kBgmNumberDone);
  EXPECT_FALSE(m->IsBgmPlaying()) << "0 while 0 is current still stops the music";
}

// The decoder settings: load-whole as given or the application's, stored values, assists.
int AddWords(const AdlAssistArgs* args) {
  return static_cast<int>(args->kind + args->a + args->b);
}

TEST_F(SoundNatives, DecoderSettings) {
  rig.app.loadWholeSetting = true;
  Call(Native::kSoundDecoderSetOption, {2});
  EXPECT_TRUE(w.manager.LoadsWhole()) << "the application's setting";
  EXPECT_EQ(Call(Native::kSoundDecoderAssist, {1234, 1, 2, 3}), kSllAssistUnsupported)
      << "no such type";
  ASSERT_EQ(kSllOk, w.manager.AddDecoder(std::make_unique<soundtest::PcmtDecodeObject>(), "PCMX\0",
                                         "assisted", 77, nullptr,
                                         reinterpret_cast<host::FARPROC>(&AddWords)));
  EXPECT_EQ(Call(Native::kSoundDecoderAssist, {77, 1, 20, 300}), 321);
}

}  // namespace
}  // namespace bw
