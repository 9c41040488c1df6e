#include "lib/ogg/ogg_vorbis_writer.h"

#include <vorbis/vorbisfile.h>

#include <cstring>

#include <gtest/gtest.h>

namespace bw::tools {
namespace {

struct Decoded {
  int channels = 0;
  long rate = 0;
  int64_t frames = 0;  // as the stream declares them
  std::vector<int16_t> samples;
};

struct Memory {
  std::span<const uint8_t> bytes;
  size_t at = 0;
};

size_t ReadMemory(void* dst, size_t size, size_t count, void* source) {
  auto* m = static_cast<Memory*>(source);
  size_t n = std::min(size * count, m->bytes.size() - m->at);
  std::memcpy(dst, m->bytes.data() + m->at, n);
  m->at += n;
  return n / size;
}

bool Decode(std::span<const uint8_t> ogg, Decoded* out) {
  Memory memory{ogg};
  OggVorbis_File file;
  const ov_callbacks callbacks = {ReadMemory, nullptr, nullptr, nullptr};
  if (ov_open_callbacks(&memory, &file, nullptr, 0, callbacks) != 0) return false;
  vorbis_info* info = ov_info(&file, -1);
  out->channels = info->channels;
  out->rate = info->rate;
  char block[4096];
  int section = 0;
  long n;
  while ((n = ov_read(&file, block, sizeof block, 0, 2, 1, &section)) > 0) {
    const auto* s = reinterpret_cast<const int16_t*>(block);
    out->samples.insert(out->samples.end(), s, s + n / 2);
  }
  out->frames = static_cast<int64_t>(out->samples.size()) / out->channels;
  ov_clear(&file);
  return n == 0;
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
    ASSERT_EQ(EncodeOggVorbis(MakeSineTone(c.freq, c.ms, c.rate, c.channels), c.channels, c.rate,
                              &ogg),
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

}  // namespace
}  // namespace bw::tools
