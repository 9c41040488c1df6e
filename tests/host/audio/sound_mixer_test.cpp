// Label: threads
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <thread>
#include <tuple>
#include <vector>

#include "host/audio/sound_device.h"
#include "host/audio/sound_mixer.h"
#include "host/headless/headless_backend.h"
#include "host/sdl/sdl_audio_output.h"
#include "support/failing_allocation.h"
#include "support/spin_until.h"

namespace bw::host {
namespace {

constexpr uint32_t kAllControls =
    kBufferCtrlVolume | kBufferCtrlPan | kBufferCtrlFrequency | kBufferCtrlPositionNotify;

class CountingTarget : public NotifyTarget {
 public:
  void Notify() override { count.fetch_add(1, std::memory_order_relaxed); }
  std::atomic<int> count{0};
};

// A sound device with a 16-bit stereo primary format and buffers filled from sample lists.
struct SoundRig {
  SoundRig() {
    EXPECT_EQ(device.SetCooperativeLevel(kCooperativePriority), kSoundOk);
    std::unique_ptr<SoundBuffer> primary;
    EXPECT_EQ(device.CreateBuffer({kBufferPrimary, 0, nullptr}, &primary), kSoundOk);
    EXPECT_EQ(primary->SetFormat(MakePcmFormat(2, 44100, 16)), kSoundOk);
  }

  std::unique_ptr<SoundBuffer> Make(const WaveFormat& format, const void* bytes, size_t size,
                                    uint32_t flags = kAllControls) {
    std::unique_ptr<SoundBuffer> buffer;
    EXPECT_EQ(device.CreateBuffer({flags, static_cast<uint32_t>(size), &format}, &buffer),
              kSoundOk);
    LockedRegions r;
    EXPECT_EQ(buffer->Lock(0, 0, &r, kLockEntireBuffer), kSoundOk);
    std::memcpy(r.first, bytes, size);
    EXPECT_EQ(buffer->Unlock(r), kSoundOk);
    return buffer;
  }
  // Interleaved 16-bit stereo samples at 44.1 kHz.
  std::unique_ptr<SoundBuffer> Make16(const std::vector<int16_t>& samples,
                                      uint32_t flags = kAllControls) {
    return Make(MakePcmFormat(2, 44100, 16), samples.data(), samples.size() * 2, flags);
  }
  // A stereo buffer of `frames` frames whose frame i holds (i, -i).
  std::unique_ptr<SoundBuffer> Ramp(uint32_t frames, uint32_t flags = kAllControls) {
    std::vector<int16_t> samples;
    for (uint32_t i = 0; i < frames; ++i) {
      samples.push_back(static_cast<int16_t>(i));
      samples.push_back(static_cast<int16_t>(-static_cast<int>(i)));
    }
    return Make16(samples, flags);
  }

  SoundDevice device;
};

TEST(SoundMixerMixing, AppliesVolumeAndPan) {
  SoundRig rig;
  auto c = rig.Make16({10000, 10000});
  EXPECT_EQ(0, c->Play(kPlayLooping));
  ASSERT_EQ(c->SetPan(kPanRight), kSoundOk);
  EXPECT_EQ(rig.device.Pull(1), (std::vector<int16_t>{0, 10000}));
  ASSERT_EQ(c->SetVolume(-2000), kSoundOk);
  ASSERT_EQ(c->SetPan(2000), kSoundOk);
  EXPECT_EQ(rig.device.Pull(1), (std::vector<int16_t>{100, 1000}));
  ASSERT_EQ(c->SetVolume(kVolumeMin), kSoundOk);
  EXPECT_EQ(rig.device.Pull(1), (std::vector<int16_t>{0, 0}));
}

// The plain per-frame rule (a frame, interpolated towards the next: the first after a loop's end,
// itself after a one-shot's; scaled, summed, clamped, rounded) against the mixer, for random
// formats, rates, lengths, gains and starting points, looping or not, two voices at a time over
// three periods of up to 1,500 frames, so most cross an end: samples, positions and stops agree.
TEST(SoundMixerMixing, MatchesThePlainRuleForRandomVoices) {
  std::mt19937 rng(7);
  auto pick = [&](uint32_t low, uint32_t high) {
    return std::uniform_int_distribution<uint32_t>(low, high)(rng);
  };
  auto sample = [](const Voice& v, uint32_t frame, int c) {
    const uint8_t* p = v.samples->data() + frame * v.format.blockAlign +
                       (v.format.channels - 1) * c * (v.format.bitsPerSample / 8);
    return v.format.bitsPerSample == 8 ? (p[0] - 128) * 256.0f : float(int16_t(p[0] | p[1] << 8));
  };
  for (int round = 0; round < 400; ++round) {
    SoundMixer mixer;
    Voice ours[2], plain[2];
    for (Voice& v : ours) {
      v.format = MakePcmFormat(uint16_t(pick(1, 2)), 22050, uint16_t(8 * pick(1, 2)));
      v.frames = pick(0, 3) == 0 ? pick(1, 4) : pick(5, 3000);
      v.samples = std::make_shared<std::vector<uint8_t>>(v.frames * v.format.blockAlign);
      for (uint8_t& b : *v.samples) b = uint8_t(pick(0, 255));
      v.frequency = std::vector<uint32_t>{22050, 44100, 11025, pick(100, 100000)}[pick(0, 3)];
      v.position = uint64_t{pick(0, v.frames - 1)} << 32 |
                   std::vector<uint32_t>{0, 1u << 31, pick(0, UINT32_MAX)}[pick(0, 2)];
      v.playing = true;
      v.looping = pick(0, 1);
      v.gainLeft = std::uniform_real_distribution<float>(0, 3)(rng);
      v.gainRight = pick(0, 1) ? 1.0f : v.gainLeft / 3;
      plain[&v - ours] = v;
      mixer.voices.push_back(&v);
    }
    for (int period = 0; period < 3; ++period) {
      const size_t frames = pick(1, 1500);
      std::vector<float> sums(2 * frames, 0.0f);
      for (Voice& v : plain) {
        const uint64_t step = (uint64_t{v.PlayRate()} << 32) / 44100,
                       end = uint64_t{v.frames} << 32;
        for (size_t i = 0; i < frames && v.playing; ++i) {
          const uint32_t index = uint32_t(v.position >> 32);
          const uint32_t next = index + 1 < v.frames ? index + 1 : (v.looping ? 0 : index);
          const float t = float(uint32_t(v.position)) * (1.0f / 4294967296.0f);
          for (int c = 0; c < 2; ++c) {
            const float a = sample(v, index, c), b = sample(v, next, c);
            sums[2 * i + c] += (t == 0 ? a : a + (b - a) * t) * (c ? v.gainRight : v.gainLeft);
          }
          v.position += step;
          v.playing = v.looping || v.position < end;
          if (v.position >= end) v.position = v.looping ? v.position % end : 0;
        }
      }
      std::vector<int16_t> out(2 * frames);
      mixer.Mix(out.data(), frames, 44100);
      for (float& sum : sums) sum = std::clamp<float>(std::nearbyint(sum), INT16_MIN, INT16_MAX);
      ASSERT_EQ(std::vector<float>(out.begin(), out.end()), sums) << "round " << round;
      for (int i : {0, 1})
        ASSERT_EQ(std::tie(ours[i].position, ours[i].playing),
                  std::tie(plain[i].position, plain[i].playing))
            << "round " << round;
    }
  }
}

// A loop's wrap is heard through the sound natives' looped play.
TEST(SoundMixerCursors, LockSplitsAtTheWrap) {
  SoundRig rig;
  auto buffer = rig.Ramp(100);
  LockedRegions whole;
  ASSERT_EQ(buffer->Lock(0, 0, &whole, kLockEntireBuffer), kSoundOk);
  LockedRegions r;
  ASSERT_EQ(buffer->Lock(300, 200, &r), kSoundOk);
  EXPECT_EQ(std::tuple(r.first, r.firstBytes, r.second, r.secondBytes),
            std::tuple(whole.first + 300, 100u, whole.first, 100u));
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
  // No ASSERT while the output thread runs: a failure breaks out so that it is joined below.
  int rounds = 0;
  for (; rounds < kRounds; ++rounds) {
    LockedRegions r;
    if (buffer->Play(kPlayLooping) != kSoundOk ||
        buffer->SetFrequency(22050 + rounds * 10) != kSoundOk ||
        buffer->Lock(0, 4, &r, kLockFromWriteCursor) != kSoundOk || buffer->Unlock(r) != kSoundOk ||
        buffer->Stop() != kSoundOk) {
      ADD_FAILURE() << "round " << rounds;
      break;
    }
  }
  EXPECT_EQ(onStop.count, rounds) << "a looping buffer stops only when told";

  // A target dies right after its buffer; a pull still holding it would touch freed memory.
  for (int i = 0; i < 1000; ++i) {
    auto target = std::make_unique<CountingTarget>();
    auto released = rig.Ramp(8);
    const NotifyPosition both[] = {{0, target.get()}, {16, target.get()}};
    if (released->SetNotificationPositions(both) != kSoundOk || released->Play(kPlayLooping) != 0) {
      ADD_FAILURE() << "round " << i;
      break;
    }
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

TEST(SoundDevice, PrimaryFormatNeedsThePriorityLevel) {
  SoundDevice device;
  std::unique_ptr<SoundBuffer> primary;
  ASSERT_EQ(device.CreateBuffer({kBufferPrimary, 0, nullptr}, &primary), kSoundOk);
  const WaveFormat cd = MakePcmFormat(2, 44100, 16);
  EXPECT_EQ(primary->SetFormat(cd), kSoundPriorityLevelNeeded);

  device.SetPriorityLevelRefused(true);
  EXPECT_EQ(device.SetCooperativeLevel(kCooperativePriority), kSoundInvalidCall);
  EXPECT_EQ(primary->SetFormat(cd), kSoundPriorityLevelNeeded) << "the refused level is not held";

  device.SetPriorityLevelRefused(false);
  ASSERT_EQ(device.SetCooperativeLevel(kCooperativePriority), kSoundOk);
  WaveFormat bad = cd;
  bad.blockAlign = 2;
  EXPECT_EQ(primary->SetFormat(bad), kSoundBadFormat);
  ASSERT_EQ(primary->SetFormat(cd), kSoundOk);
  LockedRegions r;
  EXPECT_EQ(primary->Lock(0, 4, &r), kSoundInvalidCall);
  std::unique_ptr<SoundBuffer> copy;
  EXPECT_EQ(device.DuplicateBuffer(*primary, &copy), kSoundInvalidCall);
}

TEST(SoundDevice, CreateRefusesBadDescriptions) {
  SoundDevice device;
  std::unique_ptr<SoundBuffer> buffer;
  const WaveFormat ok = MakePcmFormat(1, 22050, 16);
  WaveFormat wrongByteRate = ok;
  wrongByteRate.avgBytesPerSec = 1;
  const WaveFormat badFormats[] = {MakePcmFormat(3, 22050, 16), MakePcmFormat(2, 100001, 16),
                                   wrongByteRate};
  for (const WaveFormat& f : badFormats) {
    EXPECT_EQ(device.CreateBuffer({0, 64, &f}, &buffer), kSoundBadFormat)
        << f.channels << " channels " << f.bitsPerSample << " bits " << f.samplesPerSec << " Hz";
  }
  const BufferDesc badDescs[] = {
      {0, 63, &ok}, {0, kBufferMaxBytes + 1, &ok}, {0, 64, nullptr}, {kBufferPrimary, 64, nullptr}};
  for (const BufferDesc& d : badDescs)
    EXPECT_EQ(device.CreateBuffer(d, &buffer), kSoundInvalidParam) << d.flags << " " << d.bytes;
  EXPECT_EQ(buffer, nullptr);

  // A new buffer holds silence of its sample width.
  const WaveFormat eight = MakePcmFormat(1, 8000, 8);
  ASSERT_EQ(device.CreateBuffer({0, 800, &eight}, &buffer), kSoundOk);
  LockedRegions r;
  ASSERT_EQ(buffer->Lock(0, 0, &r, kLockEntireBuffer), kSoundOk);
  EXPECT_EQ(r.first[799], 0x80);
  std::unique_ptr<SoundBuffer> copy;
  EXPECT_EQ(SoundDevice().DuplicateBuffer(*buffer, &copy), kSoundInvalidParam)
      << "another device's buffer";
}

TEST(SoundDevice, ABufferThatCannotBeMadeAnswersOutOfMemory) {
  SoundDevice device;
  const WaveFormat format = MakePcmFormat(1, 8000, 8);
  std::unique_ptr<SoundBuffer> source, buffer;
  ASSERT_EQ(device.CreateBuffer({0, 8, &format}, &source), kSoundOk);
  test::FailingAllocations failing;
  EXPECT_EQ(device.CreateBuffer({kBufferPrimary, 0, nullptr}, &buffer), kSoundOutOfMemory);
  EXPECT_EQ(device.CreateBuffer({0, 8, &format}, &buffer), kSoundOutOfMemory);
  EXPECT_EQ(device.DuplicateBuffer(*source, &buffer), kSoundOutOfMemory);
  EXPECT_EQ(buffer, nullptr);
}

// Restoring a lost buffer is the engine sound buffer's test, which plays it again.
TEST(SoundDevice, ALostBufferStopsAndRefusesLocksPlaysAndCopies) {
  SoundRig rig;
  auto buffer = rig.Ramp(100);
  CountingTarget onStop;
  const NotifyPosition positions[] = {{kNotifyOnStop, &onStop}};
  ASSERT_EQ(buffer->SetNotificationPositions(positions), kSoundOk);
  EXPECT_EQ(0, buffer->Play(kPlayLooping));
  buffer->MarkLost();
  EXPECT_EQ(onStop.count, 1);
  LockedRegions r;
  EXPECT_EQ(buffer->Lock(0, 4, &r), kSoundBufferLost);
  EXPECT_EQ(buffer->Play(0), kSoundBufferLost);
  std::unique_ptr<SoundBuffer> copy;
  EXPECT_EQ(rig.device.DuplicateBuffer(*buffer, &copy), kSoundBufferLost);
}

TEST(SdlAudioOutput, ReportsADriverThatCannotOpen) {
  SoundDevice device;
  SdlAudioOutput output(device);
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  EXPECT_EQ(output.Open(), kSoundNoDriver);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  EXPECT_FALSE(output.IsOpen());
  EXPECT_FALSE(output.Error().empty());
}

TEST(CapturedAudio, AnOutputMayOutliveItsBackend) {
  SoundRig rig;
  std::unique_ptr<AudioOutput> output;
  {
    HeadlessBackend backend;
    output = backend.MakeAudioOutput(rig.device);
    ASSERT_EQ(output->Open(), kSoundOk);
  }
  output->Close();
  EXPECT_FALSE(output->IsOpen());
}

}  // namespace
}  // namespace bw::host
