// The tools' file writers, checked against the engine's readers.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "common/byte_reader.h"
#include "lib/ogg/ogg_vorbis_writer.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/wgx_unpack.h"
#include "sound/ogg_vorbis_decoder.h"
#include "sound/sound_test_support.h"

namespace bw::tools {
namespace {

struct Decoded {
  int channels = 0;
  long rate = 0;
  int64_t frames = 0;  // as the stream declares them
  std::vector<int16_t> samples;
};

// Read back through the engine's decoder, which its own tests hold to what the library reads.
bool Decode(const std::vector<uint8_t>& ogg, Decoded* out) {
  StreamRef file(soundtest::MemoryFiles::MakeStream(ogg));
  int32_t error = 0;
  DecoderRef d(OggVorbisDecoderFactory().CreateDecoder(file.get(), &error));
  if (!d) return false;
  out->channels = d->GetFormat()->channels;
  out->rate = long(d->GetFormat()->samplesPerSec);
  out->frames = int64_t{d->GetPcmBytes()} / (2 * out->channels);
  out->samples.resize(d->GetPcmBytes() / 2);
  return d->Read(out->samples.data(), d->GetPcmBytes()) == d->GetPcmBytes();
}

// Sign changes of one channel: twice the frequency per second of a clean tone.
int ZeroCrossings(const Decoded& d, int channel) {
  int crossings = 0;
  for (size_t i = channel + d.channels; i < d.samples.size(); i += d.channels) {
    if ((d.samples[i - d.channels] < 0) != (d.samples[i] < 0)) ++crossings;
  }
  return crossings;
}

TEST(OggVorbisWriter, TonesDecodeToTheirLengthAndPitch) {
  struct Case {
    double freq;
    uint32_t ms, rate;
    int channels;
  } cases[] = {{440, 1000, 44100, 2}, {1000, 250, 22050, 1}, {300, 500, 8000, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.freq << " Hz at " << c.rate << " Hz");
    std::vector<uint8_t> ogg;
    ASSERT_EQ(
        EncodeOggVorbis(MakeSineTone(c.freq, c.ms, c.rate, c.channels), c.channels, c.rate, &ogg),
        kOggOk);
    Decoded d;
    ASSERT_TRUE(Decode(ogg, &d));
    EXPECT_EQ(d.channels, c.channels);
    EXPECT_EQ(d.rate, static_cast<long>(c.rate));
    EXPECT_EQ(d.frames, int64_t{c.rate} * c.ms / 1000);
    const double expected = 2 * c.freq * c.ms / 1000;
    for (int ch = 0; ch < c.channels; ++ch) {
      EXPECT_NEAR(ZeroCrossings(d, ch), expected, expected * 0.02) << "channel " << ch;
    }
  }
}

TEST(OggVorbisWriter, RefusesWhatItCannotEncode) {
  const int16_t three[3] = {1, 2, 3};
  std::vector<uint8_t> out = {1};
  EXPECT_EQ(EncodeOggVorbis(three, 3, 44100, &out), kOggBadChannels);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(EncodeOggVorbis(three, 2, 44100, &out), kOggBadLength);
  EXPECT_EQ(EncodeOggVorbis(three, 1, 0, &out), kOggBadRate);
}

// The WGX writer's streams against the engine's own unpacking.

using Bytes = std::vector<uint8_t>;

// 0, 1, ..., 0, 1 then bytes seen nowhere before: the only thing to copy is the pair that comes
// back `distance` bytes later.
Bytes LonePairAt(size_t distance) {
  Bytes bytes(distance);
  std::iota(bytes.begin(), bytes.end(), uint8_t{0});
  bytes.insert(bytes.end(), {0, 1, 200, 201, 202});
  return bytes;
}

TEST(WgxWriter, ShortPairCopiesNeverSpellTheEndCode) {
  for (size_t distance = 2; distance <= 40; ++distance) {
    SCOPED_TRACE(distance);
    const Bytes bytes = LonePairAt(distance);
    const Bytes stream = tools::EncodeWgx8(bytes);
    EXPECT_EQ(std::count(stream.begin(), stream.end(), 0xFF), 1) << "only the end code";
    Bytes out(bytes.size());
    ByteReader in(stream.data(), stream.size());
    ASSERT_EQ(WgxUnpack8(in, out), 0);
    EXPECT_EQ(out, bytes);
    EXPECT_EQ(in.position(), stream.size()) << "the stream ends at its end code";
  }
}

}  // namespace
}  // namespace bw::tools
