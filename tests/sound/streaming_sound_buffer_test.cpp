// Label: threads
#include "sound/streaming_sound_buffer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>

#include "host/audio/sound_mixer.h"
#include "host/clock.h"
#include "platform/timer_service.h"
#include "sound/sound_world.h"
#include "support/spin_until.h"

namespace bw {
namespace {

using soundtest::Bytes16;
using soundtest::MakePcmt;
using soundtest::MakeSlowPcmt;
using soundtest::SoundWorld;

constexpr uint32_t kRate = 8000;  // mono 16-bit: 16000 bytes a second, a ring of 64000

std::vector<int16_t> Pattern(uint32_t samples, int step, int sign) {
  std::vector<int16_t> out(samples);
  for (uint32_t i = 0; i < samples; ++i)
    out[i] = static_cast<int16_t>(sign * (int(i * step % 30000) + 1));
  return out;
}

class StreamFixture : public ::testing::Test {
 protected:
  StreamFixture() { StreamingSoundBuffer::SetUseNotifications(true); }
  ~StreamFixture() override { StreamingSoundBuffer::SetUseNotifications(true); }

  // Pulls and then waits until the feeder has counted the new play cursor and refilled behind
  // it, or has ended. Each pull after the first short one passes one notification position.
  std::vector<int16_t> Feed(StreamingSoundBuffer& b, uint32_t frames) {
    std::vector<int16_t> out = w.Pull(frames);
    uint32_t play = 0;
    EXPECT_EQ(0, b.GetDirectSoundBuffer()->GetCurrentPosition(&play, nullptr));
    EXPECT_TRUE(test::SpinUntil(
        [&] {
          uint32_t counted = 0, refilled = 0;
          b.IsPlaying(&counted, &refilled);
          return !b.FeederRunning() || (counted == play && refilled == play);
        },
        "the feeder's refill behind play cursor " + std::to_string(play)));
    return out;
  }

  void WaitForFeederEnd(StreamingSoundBuffer& b) {
    ASSERT_TRUE(test::SpinUntil([&] { return !b.FeederRunning(); }, "the feeder's end"));
  }

  // Plays b and collects `seconds` of sound (after a first tenth of a second).
  std::vector<int16_t> Collect(StreamingSoundBuffer& b, int seconds) {
    std::vector<int16_t> all = w.Pull(kRate / 10);
    for (int i = 0; i < seconds; ++i) {
      std::vector<int16_t> part = Feed(b, kRate);
      all.insert(all.end(), part.begin(), part.end());
    }
    return all;
  }

  SoundWorld w{kRate};
};

TEST_F(StreamFixture, OpenChecksBothStreamsAndStreamsThatDeliverNothingEnd) {
  w.PutPcm("A.PCMT", Pattern(100, 3, 1), kRate);
  w.files.Put("STEREO8.PCMT", MakePcmt(2, kRate, 8, std::vector<uint8_t>(100, 0x80)));
  w.files.Put("NORATE.PCMT", MakePcmt(1, 0, 16, std::vector<uint8_t>(100, 0)));
  StreamingSoundBuffer b;
  EXPECT_EQ(b.Open(nullptr, nullptr), kStreamNoDevice);
  EXPECT_EQ(b.Open("MISSING.PCMT", nullptr), kStreamNoDecoder);
  EXPECT_EQ(b.Open("NORATE.PCMT", nullptr), kStreamNoDecoder);
  EXPECT_EQ(b.Open("A.PCMT", "MISSING.PCMT"), kStreamNoLoopDecoder);
  EXPECT_EQ(b.Open("A.PCMT", "STEREO8.PCMT"), kStreamLoopMismatch)
      << "the same byte rate is not the same sound";
  EXPECT_EQ(b.GetDirectSoundBuffer(), nullptr) << "a refused open leaves the buffer closed";

  ASSERT_EQ(b.Open("A.PCMT", "A.PCMT"), kStreamOpened);
  EXPECT_EQ(b.RingBytes(), 64000u);
  EXPECT_EQ(b.GetDataSize(), 400u);

  // Streams that give nothing open: the ring holds silence and the feeder ends, neither spinning
  // nor dividing by an empty length.
  w.files.Put("EMPTY.PCMT", MakePcmt(1, kRate, 16, {}));
  w.files.Put("LIAR.PCMT", MakePcmt(1, kRate, 16, {}, 32000));
  for (const char* name : {"EMPTY.PCMT", "LIAR.PCMT"}) {
    SCOPED_TRACE(name);
    StreamingSoundBuffer empty;
    ASSERT_EQ(empty.Open(name, nullptr), kStreamOpened);
    ASSERT_EQ(empty.PlayLoop(), kSoundBufferOk);
    std::vector<int16_t> got = Collect(empty, 3);
    WaitForFeederEnd(empty);
    EXPECT_TRUE(std::all_of(got.begin(), got.end(), [](int16_t s) { return s == 0; }));
    EXPECT_FALSE(empty.IsPlaying(nullptr, nullptr));
  }
}

std::vector<int16_t> Expected(const std::vector<int16_t>& intro, const std::vector<int16_t>& loop,
                              size_t frames) {
  std::vector<int16_t> out;
  for (size_t k = 0; k < frames; ++k) {
    out.push_back(k < intro.size() ? intro[k] : loop[(k - intro.size()) % loop.size()]);
  }
  return out;
}

// Fed by notifications, or polling by the host clock; or pulled by an output that mixes in step
// with the frames (a headless run), a second at a time without waiting: each pull waits for the
// refill its notification asked for, so the stream is never outrun, however late the feeder runs.
TEST_F(StreamFixture, StreamThreadPlaysTheIntroThenLoopsAcrossTheRingWrap) {
  const auto intro = Pattern(kRate * 3 / 2, 7, 1);
  const auto loop = Pattern(kRate * 2, 13, -1);
  w.PutPcm("BGM01A.PCMT", intro, kRate);
  w.PutPcm("BGM01B.PCMT", loop, kRate);
  for (const char* mode : {"notifications", "polling", "mix in step"}) {
    SCOPED_TRACE(mode);
    const bool polling = mode[0] == 'p', inStep = mode[0] == 'm';
    host::VirtualClock clock;
    std::optional<ScopedGlobal<host::ClockSource>> scope;
    if (polling) scope.emplace(&clock);
    StreamingSoundBuffer::SetUseNotifications(!polling);
    w.device.Device()->Mixer()->mixesInStep = inStep;
    StreamingSoundBuffer b;
    ASSERT_EQ(b.Open("BGM01A.PCMT", "BGM01B.PCMT"), kStreamOpened);
    EXPECT_EQ(b.GetLengthMs(), 3500u);
    ASSERT_EQ(b.PlayLoop(), kSoundBufferOk);
    std::vector<int16_t> got = inStep ? w.Pull(kRate / 10) : Collect(b, 9);
    for (int i = 0; inStep && i < 9; ++i) {
      const std::vector<int16_t> part = w.Pull(kRate);
      got.insert(got.end(), part.begin(), part.end());
    }
    const std::vector<int16_t> want = Expected(intro, loop, got.size());
    for (size_t k = 0; k < got.size(); ++k) ASSERT_EQ(got[k], want[k]) << "frame " << k;
    EXPECT_EQ(b.GetPositionMs(), 1500u + (9100 - 1500) % 2000) << "the position stays in the loop";
    ASSERT_EQ(b.Stop(), kSoundBufferOk);
    EXPECT_FALSE(b.FeederRunning());
  }
  w.device.Device()->Mixer()->mixesInStep = false;
}

// A virtual clock that counts the sleeps, so that a test knows when the polling feeder has been
// round once more.
class CountingClock final : public host::ClockSource {
 public:
  uint64_t NowNanoseconds() override { return ns.load(); }
  void Sleep(uint32_t ms) override {
    ns += uint64_t{ms} * 1000000u;
    ++sleeps;
  }
  std::atomic<uint64_t> ns{0};
  std::atomic<uint64_t> sleeps{0};
};

// Decoders that stop the first fill early, then deliver small pieces with nothing ready every
// other time, or everything at once: what comes later joins on where the fill stopped, the
// intro runs into the loop mid-piece, and the loop into itself, without silence or repeats.
TEST_F(StreamFixture, StreamThreadKeepsUpWithASlowDecoder) {
  StreamingSoundBuffer::SetUseNotifications(false);
  const auto intro = Pattern(12345, 7, 1);
  const auto loop = Pattern(9100, 13, -1);
  for (char how : {soundtest::kSlow, soundtest::kHiccup}) {
    SCOPED_TRACE(how);
    CountingClock clock;
    ScopedGlobal<host::ClockSource> scope(&clock);
    w.files.Put("I.PCMT", MakeSlowPcmt(1, kRate, 16, Bytes16(intro), how));
    w.files.Put("L.PCMT", MakeSlowPcmt(1, kRate, 16, Bytes16(loop), how));
    StreamingSoundBuffer b;
    ASSERT_EQ(b.Open("I.PCMT", "L.PCMT"), kStreamOpened);
    ASSERT_EQ(b.PlayLoop(), kSoundBufferOk);
    std::vector<int16_t> got;
    for (int step = 0; step < 160; ++step) {
      const std::vector<int16_t> part = w.Pull(200);
      got.insert(got.end(), part.begin(), part.end());
      // Two more sleeps: the second pass began after the pull and refilled behind it.
      const uint64_t seen = clock.sleeps.load();
      ASSERT_TRUE(
          test::SpinUntil([&] { return clock.sleeps.load() >= seen + 2 || !b.FeederRunning(); },
                          "the feeder's refill at step " + std::to_string(step)));
    }
    const std::vector<int16_t> want = Expected(intro, loop, got.size());
    for (size_t k = 0; k < got.size(); ++k) ASSERT_EQ(got[k], want[k]) << "frame " << k;
    EXPECT_TRUE(b.FeederRunning());
    ASSERT_EQ(b.Stop(), kSoundBufferOk);
  }
}

// The feeder ends a fade only through the frame thread: the fade's next step sees the request.
TEST_F(StreamFixture, StreamThreadEndingLeavesTheFadeToTheFrameThread) {
  host::VirtualClock clock{100};
  ScopedGlobal<host::ClockSource> scope(&clock);
  TimerService timers;
  w.PutPcm("V.PCMT", Pattern(kRate * 3 / 2, 5, 1), kRate);
  StreamingSoundBuffer b;
  ASSERT_EQ(b.Open("V.PCMT", nullptr), kStreamOpened);
  ASSERT_EQ(kSoundBufferOk, b.SetVolume(200));
  ASSERT_EQ(b.FadeIn(&timers, 60000, false), kFadeStarted);
  timers.RunDue(100);
  Collect(b, 3);
  WaitForFeederEnd(b);
  EXPECT_EQ(b.FadeState(), kFadingIn) << "the feeder did not touch the timer service";
  timers.RunDue(400);  // the next step: 60000 / 200 ms on
  EXPECT_EQ(b.FadeState(), kFadeNone);
  EXPECT_EQ(b.GetVolumeFactor(), 200);
  EXPECT_EQ(timers.Count(), 0u);
}

}  // namespace
}  // namespace bw
