// Label: threads
#include <thread>

#include "host/audio/sound_test_rig.h"
#include "support/spin_until.h"

namespace bw::host {
namespace {

TEST(SoundMixerMixing, SumsBuffersWithVolumeAndPanSaturatingAndWideningEightBitMono) {
  SoundRig rig;
  auto a = rig.Make16({1000, -2000});
  auto b = rig.Make16({3000, 500});
  EXPECT_EQ(0, a->Play(kPlayLooping));
  EXPECT_EQ(0, b->Play(kPlayLooping));
  EXPECT_EQ(rig.device.Pull(1), (std::vector<int16_t>{4000, -1500}));

  auto c = rig.Make16({10000, 10000});
  EXPECT_EQ(0, b->Stop());
  EXPECT_EQ(0, a->Stop());
  EXPECT_EQ(0, c->Play(kPlayLooping));
  struct Case {
    int32_t volume, pan;
    int16_t left, right;
  } cases[] = {{0, kPanRight, 0, 10000}, {-2000, 2000, 100, 1000}, {kVolumeMin, 0, 0, 0}};
  for (const Case& k : cases) {
    ASSERT_EQ(c->SetVolume(k.volume), kSoundOk);
    ASSERT_EQ(c->SetPan(k.pan), kSoundOk);
    EXPECT_EQ(rig.device.Pull(1), (std::vector<int16_t>{k.left, k.right}))
        << "volume " << k.volume << " pan " << k.pan;
  }

  EXPECT_EQ(0, c->Stop());
  a = rig.Make16({30000, -30000});
  b = rig.Make16({30000, -30000});
  EXPECT_EQ(0, a->Play(kPlayLooping));
  EXPECT_EQ(0, b->Play(kPlayLooping));
  EXPECT_EQ(rig.device.Pull(1), (std::vector<int16_t>{32767, -32768}));
  // Long enough a period that the samples go out eight at a time.
  std::vector<int16_t> clipped;
  for (int i = 0; i < 9; ++i) clipped.insert(clipped.end(), {32767, -32768});
  EXPECT_EQ(rig.device.Pull(9), clipped);
  EXPECT_EQ(0, a->Stop());
  EXPECT_EQ(0, b->Stop());
  const uint8_t bytes[] = {0xC0, 0x00};
  auto mono8 = rig.Make(MakePcmFormat(1, 44100, 8), bytes, 2);
  EXPECT_EQ(0, mono8->Play(kPlayLooping));
  EXPECT_EQ(rig.device.Pull(2), (std::vector<int16_t>{16384, 16384, -32768, -32768}));
}

// A loop's wrap is heard through the sound natives' looped play.
TEST(SoundMixerCursors, PlayStopsAtTheEndAndLockSplitsAtTheWrap) {
  SoundRig rig;
  auto once = rig.Ramp(100);
  EXPECT_EQ(0, once->Play(0));
  std::vector<int16_t> out = rig.device.Pull(150);
  EXPECT_EQ(out[2 * 99], 99);
  EXPECT_EQ(out[2 * 100], 0) << "silence after the end";
  EXPECT_FALSE(IsPlaying(*once));
  EXPECT_EQ(PlayCursor(*once), 0u) << "the end of the buffer is offset 0";

  auto buffer = rig.Ramp(100);
  LockedRegions whole;
  ASSERT_EQ(buffer->Lock(0, 0, &whole, kLockEntireBuffer), kSoundOk);
  LockedRegions r;
  ASSERT_EQ(buffer->Lock(300, 200, &r), kSoundOk);
  EXPECT_EQ(r.first, whole.first + 300);
  EXPECT_EQ(r.firstBytes, 100u);
  EXPECT_EQ(r.second, whole.first);
  EXPECT_EQ(r.secondBytes, 100u);
  EXPECT_EQ(buffer->Unlock(r), kSoundOk);

  EXPECT_EQ(buffer->Lock(400, 4, &r), kSoundInvalidParam);
  EXPECT_EQ(buffer->Lock(0, 401, &r), kSoundInvalidParam);
  uint8_t elsewhere[4];
  EXPECT_EQ(buffer->Unlock({elsewhere, 4, nullptr, 0}), kSoundInvalidParam);
  EXPECT_EQ(buffer->Unlock({whole.first + 396, 8, nullptr, 0}), kSoundInvalidParam);
}

TEST(SoundMixerNotifications, FireOncePerCrossingIncludingWrapAndStopAndLap) {
  SoundRig rig;
  auto buffer = rig.Ramp(100);
  CountingTarget atStart, atMiddle, atLast, onStop;
  const NotifyPosition positions[] = {
      {0, &atStart}, {200, &atMiddle}, {399, &atLast}, {kNotifyOnStop, &onStop}};
  ASSERT_EQ(buffer->SetNotificationPositions(positions), kSoundOk);
  const NotifyPosition past[] = {{400, &atLast}};
  EXPECT_EQ(buffer->SetNotificationPositions(past), kSoundInvalidParam);
  EXPECT_EQ(rig.Ramp(1, kBufferCtrlVolume)->SetNotificationPositions(positions),
            kSoundControlUnavailable);
  EXPECT_EQ(0, buffer->Play(kPlayLooping));
  EXPECT_EQ(buffer->SetNotificationPositions({}), kSoundInvalidCall) << "not while playing";

  auto counts = [&] {
    return std::vector<int>{atStart.count, atMiddle.count, atLast.count, onStop.count};
  };
  rig.device.Pull(50);
  EXPECT_EQ(counts(), (std::vector<int>{1, 0, 0, 0})) << "the byte at 200 has not been played";
  rig.device.Pull(1);
  EXPECT_EQ(counts(), (std::vector<int>{1, 1, 0, 0}));
  rig.device.Pull(50);
  EXPECT_EQ(counts(), (std::vector<int>{2, 1, 1, 0})) << "the wrap passes offset 0 again";
  EXPECT_EQ(0, buffer->Stop());
  EXPECT_EQ(0, buffer->Stop());
  EXPECT_EQ(onStop.count, 1);
  EXPECT_EQ(0, buffer->Play(0));
  rig.device.Pull(500);
  EXPECT_EQ(counts(), (std::vector<int>{2, 2, 2, 2})) << "the end of a play once";

  // Once each when a pull laps the buffer.
  const uint8_t silence[8] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
  auto tiny = rig.Make(MakePcmFormat(1, 8000, 8), silence, 8);
  CountingTarget first, last;
  const NotifyPosition firstAndLast[] = {{0, &first}, {7, &last}};
  ASSERT_EQ(tiny->SetNotificationPositions(firstAndLast), kSoundOk);
  EXPECT_EQ(0, tiny->Play(kPlayLooping));
  rig.device.Pull(441);  // 80 frames: ten laps
  EXPECT_EQ(first.count, 1);
  EXPECT_EQ(last.count, 1);
}

// The frame thread plays, locks and stops, and buffers die with their targets, while the output
// pulls on its own thread.
TEST(SoundMixerThreads, FrameThreadCallsAndReleasesWhileTheOutputPulls) {
  SoundRig rig;
  auto buffer = rig.Ramp(4410);
  CountingTarget onStop, atMiddle;
  const NotifyPosition positions[] = {{kNotifyOnStop, &onStop}, {8820, &atMiddle}};
  ASSERT_EQ(buffer->SetNotificationPositions(positions), kSoundOk);

  std::atomic<bool> running{true};
  std::thread output([&] {
    while (running.load()) rig.device.Pull(64);
  });
  constexpr int kRounds = 300;
  for (int i = 0; i < kRounds; ++i) {
    ASSERT_EQ(buffer->Play(kPlayLooping), kSoundOk);
    EXPECT_EQ(0, buffer->SetFrequency(22050 + i * 10));
    LockedRegions r;
    ASSERT_EQ(buffer->Lock(0, 4, &r, kLockFromWriteCursor), kSoundOk);
    ASSERT_EQ(buffer->Unlock(r), kSoundOk);
    ASSERT_EQ(buffer->Stop(), kSoundOk);
  }
  EXPECT_EQ(onStop.count, kRounds) << "a looping buffer stops only when told";

  // A target dies right after its buffer; a pull still holding it would touch freed memory.
  for (int i = 0; i < 1000; ++i) {
    auto target = std::make_unique<CountingTarget>();
    auto released = rig.Ramp(8);
    const NotifyPosition both[] = {{0, target.get()}, {16, target.get()}};
    ASSERT_EQ(released->SetNotificationPositions(both), kSoundOk);
    EXPECT_EQ(0, released->Play(kPlayLooping));
    const testing::AssertionResult notified = bw::test::SpinUntil(
        [&] { return target->count.load() != 0; }, "the buffer's first notification");
    EXPECT_TRUE(notified);
    released.reset();
    target.reset();
    if (!notified) break;  // the output thread still ends below
  }
  running = false;
  output.join();
}

}  // namespace
}  // namespace bw::host
