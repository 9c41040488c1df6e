#include "sound/direct_sound_buffer.h"

#include <gtest/gtest.h>

#include "sound/sound_world.h"

namespace bw {
namespace {

using soundtest::MakePcmt;
using soundtest::SoundWorld;

std::vector<uint8_t> HostBytes(SoundBuffer& b) {
  host::LockedRegions r;
  EXPECT_EQ(b.GetDirectSoundBuffer()->Lock(0, 0, &r, host::kLockEntireBuffer), host::kSoundOk);
  std::vector<uint8_t> out(r.first, r.first + r.firstBytes);
  b.GetDirectSoundBuffer()->Unlock({});
  return out;
}

// Playing once and looped is the sound natives' to check; lost to another program while playing,
// the next play restores the buffer, samples and all.
TEST(DirectSoundBuffer, ALostBufferIsRestoredByTheNextPlay) {
  SoundWorld w;
  const std::vector<int16_t> tone = w.PutTone("SE\\TONE.OGG", 250, 8000);
  DirectSoundBuffer b;
  ASSERT_EQ(b.Load("SE\\TONE.OGG", kLipSyncNone), kLoaded);
  ASSERT_EQ(b.PlayLoop(), kSoundBufferOk);
  w.Pull(100);
  b.GetDirectSoundBuffer()->MarkLost();
  EXPECT_FALSE(b.IsPlaying(nullptr, nullptr));
  ASSERT_EQ(b.Play(), kSoundBufferOk);
  EXPECT_EQ(w.Pull(2000), tone);
}

TEST(DirectSoundBuffer, LoadAnswersItsCodes) {
  SoundWorld w;
  w.PutRamp("A.PCMT", 100, 8000);
  w.files.Put("JUNK.OGG", {'O', 'g', 'g', 'S', 1, 2, 3});
  w.files.Put("EMPTY.PCMT", MakePcmt(1, 8000, 16, {}, 64));  // announces 64 bytes, holds none
  w.files.Put("WIDE.PCMT", MakePcmt(1, 8000, 24, std::vector<uint8_t>(30, 1)));
  DirectSoundBuffer b;
  EXPECT_EQ(b.Load(nullptr, 0), kSoundLoadNoDevice);
  EXPECT_EQ(b.Load("MISSING.OGG", 0), kSoundLoadNoDecoder);
  EXPECT_EQ(b.Load("JUNK.OGG", 0), kSoundLoadNoDecoder);
  EXPECT_EQ(b.Load("EMPTY.PCMT", 0), kSoundLoadNothingDecoded);
  EXPECT_EQ(b.Load("WIDE.PCMT", 0), kSoundLoadNoBuffer);
  EXPECT_EQ(b.GetDirectSoundBuffer(), nullptr) << "every failure leaves the buffer closed";

  ASSERT_EQ(b.Load("A.PCMT", 0), kLoaded);
  ASSERT_EQ(b.PlayLoop(), kSoundBufferOk);
  w.Pull(30);
  EXPECT_EQ(b.Load("A.PCMT", 0), kLoaded);
  EXPECT_TRUE(b.IsPlaying(nullptr, nullptr)) << "the same path again changes nothing";
  {
    ScopedGlobal<DirectSoundDevice> none(nullptr);
    EXPECT_EQ(DirectSoundBuffer().Load("A.PCMT", 0), kSoundLoadNoDevice);
  }
}

TEST(DirectSoundBuffer, PadsShortDataWithSilence) {
  SoundWorld w;
  w.files.Put("E8.PCMT", MakePcmt(1, 8000, 8, {1, 2, 3, 4}, 8));
  w.files.Put("E16.PCMT", MakePcmt(1, 8000, 16, {1, 2, 3, 4}, 8));
  DirectSoundBuffer b8, b16;
  ASSERT_EQ(b8.Load("E8.PCMT", 0), kLoaded);
  ASSERT_EQ(b16.Load("E16.PCMT", 1), kLoaded);
  EXPECT_EQ(HostBytes(b8), (std::vector<uint8_t>{1, 2, 3, 4, 0x80, 0x80, 0x80, 0x80}));
  EXPECT_EQ(HostBytes(b16), (std::vector<uint8_t>{1, 2, 3, 4, 0, 0, 0, 0}));
}

TEST(DirectSoundBuffer, LipSyncReadsSamplesAndEnvelopes) {
  SoundWorld w;
  std::vector<int16_t> loud(64);
  for (int i = 0; i < 32; ++i) loud[i] = static_cast<int16_t>(i % 2 ? -1000 : 1000);
  for (int i = 32; i < 64; ++i) loud[i] = static_cast<int16_t>(i % 2 ? -4000 : 4000);
  w.files.Put("V16.PCMT", MakePcmt(1, 8000, 16, soundtest::Bytes16(loud)));
  w.files.Put("V8.PCMT", MakePcmt(1, 8000, 8, std::vector<uint8_t>(40, 0x80 + 20)));

  DirectSoundBuffer samples, envelope, env8;
  ASSERT_EQ(samples.Load("V16.PCMT", kLipSyncSamples), kLoaded);
  ASSERT_EQ(envelope.Load("V16.PCMT", kLipSyncEnvelope), kLoaded);
  ASSERT_EQ(env8.Load("V8.PCMT", kLipSyncEnvelope), kLoaded);

  EXPECT_EQ(samples.GetSample(127), 0) << "a sample that would run past the end";

  EXPECT_EQ(envelope.GetSample(2), 1000) << "each block holds its mean loudness";
  EXPECT_EQ(envelope.GetSample(70), 4000);
  EXPECT_EQ(envelope.EnvelopePeak(), 1000);
  EXPECT_EQ(envelope.GetLevel(70, 100), 99u) << "a level at the peak stays below the range";
  EXPECT_EQ(HostBytes(envelope), soundtest::Bytes16(loud)) << "the sound plays as decoded";

  EXPECT_EQ(env8.GetLevel(35, 0), 40u) << "8-bit means, a short last block kept as decoded";
}

}  // namespace
}  // namespace bw
