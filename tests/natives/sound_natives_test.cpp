// The sound natives over a headless sound world: the mix is pulled by the test and the channel
// manager's tasks step on a virtual clock.
#include "natives/sound_natives.h"

#include <gtest/gtest.h>

#include <cstring>

#include "host/host_path.h"
#include "lib/sob/voice_info_writer.h"
#include "native_rig.h"
#include "natives/sound_helpers.h"
#include "resource/files/file.h"
#include "sound/sound_tasks.h"
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
    m->SetChannelCount(8);
  }

  int32_t Call(uint32_t number, std::initializer_list<uint32_t> words) {
    NativeAnswer a = rig.Call(number, words);
    EXPECT_FALSE(a.faulted) << "native " << number;
    return a.result;
  }
  uint32_t Text(const std::string& text) { return rig.Text(text); }
  uint32_t Create(const std::string& file, uint32_t lipSync = 0) {
    return static_cast<uint32_t>(Call(603, {Text(file), lipSync}));
  }
  void At(uint32_t ms) {
    clock.SetMilliseconds(ms);
    timers.RunDue(ms);
  }
  int32_t VolumeOf(uint32_t buffer) {
    uint32_t out = rig.Block(12);
    EXPECT_EQ(Call(627, {buffer, out, out + 4, out + 8}), 0);
    return static_cast<int32_t>(GuestWord(rig.Memory(), out));
  }

  host::VirtualClock clock{100};
  ScopedGlobal<host::ClockSource> clockScope{&clock};
  TimerService timers;  // outlives the buffers, whose fades it runs
  soundtest::SoundWorld w{kRate};
  NativeRig rig;
  SoundChannelManager* m = nullptr;
};

std::vector<int16_t> Part(const std::vector<int16_t>& v, size_t from, size_t n) {
  return std::vector<int16_t>(v.begin() + static_cast<std::ptrdiff_t>(from),
                              v.begin() + static_cast<std::ptrdiff_t>(from + n));
}

// Each buffer row answers its own null value for a handle of 0, a forged, a stale and a
// mistyped one, and acts on nothing.
TEST_F(SoundNatives, BufferRowsAnswerTheirNullValueForEveryBadHandle) {
  w.PutTone("SE\\A.OGG", 100, kRate);
  uint32_t live = Create("SE\\A.OGG");
  uint32_t stale = Create("SE\\A.OGG");
  ASSERT_NE(live, 0u);
  uint32_t var = rig.Block(4);
  rig.Memory().Write32(var, stale);
  ASSERT_EQ(Call(607, {var}), 0);
  EXPECT_EQ(GuestWord(rig.Memory(), var), 0u) << "the variable is cleared";
  File file;
  uint32_t mistyped = rig.host->Handles().HandleOf(ScriptObjectType::kFile, &file);
  const struct {
    uint32_t number;
    int32_t null;
  } rows[] = {{604, 0},  {608, -1}, {609, -1}, {610, -1}, {611, -1}, {612, -1}, {613, -2},
              {614, -2}, {618, -1}, {619, -1}, {620, 0},  {621, 0},  {622, 0},  {623, -2},
              {624, -1}, {625, -1}, {626, -1}, {627, -1}, {628, 0},  {629, 0},  {630, 0}};
  for (uint32_t bad : {0u, live ^ 0x00100000u, stale, mistyped}) {
    for (const auto& row : rows) {
      EXPECT_EQ(Call(row.number, {bad, 0, 0, 0}), row.null) << row.number << " with " << bad;
    }
    rig.Memory().Write32(var, bad);
    EXPECT_EQ(Call(607, {var}), kListNullBuffer) << bad;
  }
  EXPECT_EQ(Call(607, {0}), kListNullBuffer);
  EXPECT_TRUE(rig.Call(607, {PastTheArena(rig.Memory())}).faulted);
  EXPECT_EQ(Call(620, {live}), 100) << "the live buffer is untouched";
  EXPECT_EQ(w.device.BufferCount(), 1u);
}

// Play, pause, resume, seek, loop and stop, heard on the pulled mix.
TEST_F(SoundNatives, BuffersPlayOnTheMix) {
  const std::vector<int16_t> tone = w.PutTone("SE\\TONE.OGG", 250, kRate);
  ASSERT_EQ(tone.size(), 2000u);
  uint32_t b = Create("SE\\TONE.OGG");
  ASSERT_NE(b, 0u);
  EXPECT_EQ(Call(620, {b}), 250);
  EXPECT_EQ(Call(628, {b}), 4000);
  uint32_t format = rig.Block(12);
  EXPECT_EQ(Call(619, {b, format, format + 4, format + 8}), 0);
  EXPECT_EQ(GuestWord(rig.Memory(), format + 4), kRate);
  EXPECT_EQ(GuestWord(rig.Memory(), format + 8), 16u);

  ASSERT_EQ(Call(608, {b}), 0);
  EXPECT_EQ(w.Pull(1000), Part(tone, 0, 1000));
  EXPECT_EQ(Call(621, {b}), 125);
  EXPECT_EQ(Call(622, {b}), 1);
  ASSERT_EQ(Call(610, {b}), 0);
  EXPECT_EQ(w.Pull(400), std::vector<int16_t>(400, 0)) << "paused";
  EXPECT_EQ(Call(622, {b}), 0);
  ASSERT_EQ(Call(611, {b}), 0);
  EXPECT_EQ(w.Pull(1000), Part(tone, 1000, 1000));
  EXPECT_EQ(Call(622, {b}), 0) << "one play ends with the data";

  ASSERT_EQ(Call(609, {b}), 0);
  std::vector<int16_t> looped = w.Pull(3000);
  EXPECT_EQ(Part(looped, 2000, 1000), Part(tone, 0, 1000)) << "looped";
  ASSERT_EQ(Call(618, {b, 200}), 0);
  EXPECT_EQ(w.Pull(400), Part(tone, 1600, 400));
  ASSERT_EQ(Call(612, {b}), 0);
  EXPECT_EQ(Call(622, {b}), 0);
  EXPECT_EQ(w.Pull(100), std::vector<int16_t>(100, 0));

  // Every listed buffer at once.
  ASSERT_EQ(Call(609, {b}), 0);
  EXPECT_EQ(Call(615, {}), 0);
  EXPECT_EQ(Call(622, {b}), 0);
  EXPECT_EQ(Call(616, {}), 0);
  EXPECT_EQ(Call(622, {b}), 1);
  EXPECT_EQ(Call(617, {}), 0);
  EXPECT_EQ(Call(622, {b}), 0);
}

TEST_F(SoundNatives, BuffersFadeInAndOutOnTheGeneralTimers) {
  w.PutTone("SE\\TONE.OGG", 1000, kRate);
  uint32_t b = Create("SE\\TONE.OGG");
  At(1000);
  ASSERT_EQ(Call(613, {b, 400, 1}), 0);
  EXPECT_EQ(Call(622, {b}), 1);
  At(1000);
  EXPECT_LT(VolumeOf(b), 40) << "starts near silence";
  At(1200);
  EXPECT_GT(VolumeOf(b), 80);
  EXPECT_LT(VolumeOf(b), 180);
  At(1500);
  EXPECT_EQ(VolumeOf(b), 256);

  ASSERT_EQ(Call(614, {b, 400}), 0);
  At(1500);
  At(1700);
  EXPECT_LT(VolumeOf(b), 180);
  At(2000);
  EXPECT_EQ(Call(622, {b}), 0) << "faded out and paused";
  EXPECT_EQ(VolumeOf(b), 256) << "the factor comes back for the next fade-in";
}

// Duplicates share a static buffer's data; a stream answers 2 in place of a handle.
TEST_F(SoundNatives, DuplicatesAndStreams) {
  const std::vector<int16_t> tone = w.PutTone("SE\\TONE.OGG", 250, kRate);
  uint32_t b = Create("SE\\TONE.OGG");
  uint32_t copy = static_cast<uint32_t>(Call(604, {b}));
  ASSERT_NE(copy, 0u);
  EXPECT_NE(copy, b);
  EXPECT_EQ(Call(628, {copy}), 4000);
  ASSERT_EQ(Call(608, {copy}), 0);
  EXPECT_EQ(w.Pull(500), Part(tone, 0, 500));

  uint32_t stream = static_cast<uint32_t>(Call(605, {Text("SE\\TONE.OGG")}));
  ASSERT_GT(stream, 2u);
  EXPECT_EQ(Call(604, {stream}), 2);
  EXPECT_EQ(Call(629, {stream, 0}), 0) << "streams keep no samples";
  EXPECT_EQ(Call(630, {stream, 0, 4}), 0);
  EXPECT_NE(Call(606, {Text("SE\\TONE.OGG"), Text("SE\\TONE.OGG")}), 0);
  EXPECT_EQ(Call(606, {Text("SE\\TONE.OGG"), Text("SE\\NONE.OGG")}), 0);
  EXPECT_EQ(Call(603, {Text("SE\\NONE.OGG"), 0}), 0);
  EXPECT_EQ(Call(603, {0, 0}), 0);
  EXPECT_EQ(w.device.BufferCount(), 4u) << "failures list nothing";
}

// Samples and levels of a known ramp, and nothing past its data.
TEST_F(SoundNatives, SamplesAndLevelsForLipSync) {
  w.PutRamp("V.PCMT", 400, kRate, -200);
  uint32_t kept = Create("V.PCMT", kLipSyncSamples);
  uint32_t plain = Create("V.PCMT", kLipSyncNone);
  EXPECT_EQ(Call(629, {kept, 0}), -200);
  EXPECT_EQ(Call(629, {kept, 2 * 399}), 199);
  EXPECT_EQ(Call(629, {kept, 2 * 400}), 0) << "past the data";
  EXPECT_EQ(Call(629, {kept, 0xFFFFFFFF}), 0);
  EXPECT_EQ(Call(629, {plain, 0}), 0) << "nothing kept";
  EXPECT_EQ(Call(630, {kept, 0, 0}), 200 >> 7);
  EXPECT_EQ(Call(630, {kept, 2 * 400, 4}), 0);

  uint32_t envelope = Create("V.PCMT", kLipSyncEnvelope);
  EXPECT_EQ(Call(630, {envelope, 0, 4}), 3) << "the loudest block";
  EXPECT_EQ(Call(630, {envelope, 2 * 200, 4}), 0) << "the quiet middle";
}

// The export writes the decoded samples behind a WAVE header, and a failed one keeps the old
// file as it was.
TEST_F(SoundNatives, ExportWritesTheDecodedSamples) {
  const std::vector<int16_t> tone = w.PutTone("SE\\TONE.OGG", 250, kRate);
  test::TempDir dir;
  std::string target;
  ASSERT_EQ(host::LinuxPathToEnginePath((dir.path() / "out.wav").string(), target), host::kPathOk);
  ASSERT_EQ(Call(631, {Text("SE\\TONE.OGG"), Text(target)}), kExportDone);
  std::string wave = test::ReadFile(dir.path() / "out.wav");
  ASSERT_EQ(wave.size(), kWaveHeaderBytes + tone.size() * 2);
  EXPECT_EQ(wave.substr(0, 4), "RIFF");
  EXPECT_EQ(std::memcmp(wave.data() + kWaveHeaderBytes, tone.data(), tone.size() * 2), 0);

  EXPECT_NE(Call(631, {Text("SE\\NONE.OGG"), Text(target)}), kExportDone);
  EXPECT_EQ(test::ReadFile(dir.path() / "out.wav"), wave);
  EXPECT_EQ(Call(631, {Text("SE\\TONE.OGG"), 0}), kExportBadArgument);
}

// A device that cannot start warns once, through the dialog, and never again; the answer lands
// in the first argument word.
TEST_F(SoundNatives, DeviceStartWarnsOnce) {
  uint32_t args = rig.Block(16);
  const uint32_t words[] = {1, 2, 44, 16};
  for (uint32_t k = 0; k < 4; ++k) rig.Memory().Write32(args + 4 * k, words[k]);
  for (int32_t quiet : {0, kPrimaryFormatRefused}) {
    rig.app.soundDeviceAnswer = quiet;
    EXPECT_EQ(rig.CallAt(596, args).result, quiet);
  }
  EXPECT_EQ(rig.app.soundWarningsShown, 0);
  rig.app.soundDeviceAnswer = kDeviceNotMade;
  EXPECT_EQ(rig.CallAt(596, args).result, kDeviceNotMade);
  EXPECT_EQ(GuestWord(rig.Memory(), args), uint32_t(kDeviceNotMade));
  EXPECT_EQ(rig.app.soundWarningsShown, 1);
  EXPECT_EQ(rig.CallAt(596, args).result, kDeviceNotMade);
  EXPECT_EQ(rig.app.soundWarningsShown, 1) << "never again";
  EXPECT_TRUE(rig.CallAt(596, PastTheArena(rig.Memory())).faulted);
}

}  // namespace
}  // namespace bw
