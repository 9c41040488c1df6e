#include "sound/ogg_vorbis_decoder.h"

#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <fstream>
#include <iterator>

#include "lib/ogg/ogg_vorbis_writer.h"
#include "sound/sound_world.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

using soundtest::MemoryFiles;

std::vector<uint8_t> Tone(uint32_t ms, uint32_t rate, int channels) {
  return soundtest::EncodeTone(440, ms, rate, channels);
}

struct Opened {
  StreamRef file;
  DecoderRef decoder;
  int32_t error = -99;
};

Opened Open(const std::vector<uint8_t>& bytes) {
  Opened o;
  o.file = StreamRef(MemoryFiles::MakeStream(bytes));
  OggVorbisDecoderFactory factory;
  o.decoder.reset(factory.CreateDecoder(o.file.get(), &o.error));
  return o;
}

std::vector<uint8_t> ReadAll(SoundDecoderStream& d, uint32_t chunk = 4096) {
  std::vector<uint8_t> out;
  std::vector<uint8_t> buf(chunk);
  while (uint32_t n = d.Read(buf.data(), chunk))
    out.insert(out.end(), buf.begin(), buf.begin() + n);
  return out;
}

// What is not Vorbis is refused with the file rewound and not held: the fuzz corpus's cut and
// foreign inputs replay that.
TEST(OggVorbisDecoder, RefusesAMissingFile) {
  int32_t error = -1;
  EXPECT_EQ(OggVorbisDecoderFactory().CreateDecoder(nullptr, &error), nullptr);
  EXPECT_EQ(error, kSllNoFile);
}

// Bytes flipped through the audio: a read that cannot go on ends the stream, and a seek that
// fails leaves the position answering. (Cut headers are the fuzz corpus's.)
TEST(OggVorbisDecoder, CorruptAudioEndsTheStreamAndKeepsThePosition) {
  const std::vector<uint8_t> good = Tone(300, 22050, 2);
  uint32_t seed = 12345;
  for (int round = 0; round < 60; ++round) {
    std::vector<uint8_t> bytes = good;
    for (int i = 0; i < 20; ++i) {
      seed = seed * 1103515245 + 12345;
      bytes[200 + (seed >> 8) % (bytes.size() - 200)] ^= static_cast<uint8_t>(seed >> 24 | 1);
    }
    Opened o = Open(bytes);
    if (!o.decoder) continue;
    ReadAll(*o.decoder);
    EXPECT_TRUE(o.decoder->IsEnd());
    for (uint32_t ms : {150u, 100u, 0u}) {
      o.decoder->SeekMs(ms);
      EXPECT_LE(o.decoder->GetPositionMs(), o.decoder->GetLengthMs());
      ReadAll(*o.decoder);
    }
  }
}

// The decoder gives what the library alone reads of a written file, to the last partial page.
TEST(OggVorbisDecoder, GivesTheSamplesTheLibraryReadsFromAWrittenFile) {
  test::TempDir dir;
  const auto path = dir.path() / "tone.ogg";
  std::vector<int16_t> pcm = tools::MakeSineTone(440, 1500, 44100, 2);  // left quieter than right
  for (size_t i = 0; i < pcm.size(); i += 2) pcm[i] = static_cast<int16_t>(pcm[i] / 3);
  std::vector<uint8_t> ogg;
  ASSERT_EQ(tools::EncodeOggVorbis(pcm, 2, 44100, &ogg), tools::kOggOk);
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(ogg.data()), static_cast<std::streamsize>(ogg.size()));
  }

  OggVorbis_File file;
  ASSERT_EQ(ov_fopen(path.c_str(), &file), 0);
  std::vector<uint8_t> direct;
  char block[4096];
  int section = 0;
  for (long n; (n = ov_read(&file, block, sizeof block, 0, 2, 1, &section)) > 0;) {
    direct.insert(direct.end(), block, block + n);
  }
  ov_clear(&file);
  ASSERT_EQ(direct.size(), pcm.size() * 2);

  std::ifstream in(path, std::ios::binary);
  Opened o = Open({std::istreambuf_iterator<char>(in), {}});
  ASSERT_TRUE(o.decoder) << o.error;
  EXPECT_EQ(o.decoder->GetPcmBytes(), direct.size());
  for (uint32_t chunk : {1000u, 176400u}) {
    ASSERT_EQ(o.decoder->SeekMs(0), kSllOk);
    EXPECT_TRUE(ReadAll(*o.decoder, chunk) == direct) << "read in pieces of " << chunk;
  }
}

}  // namespace
}  // namespace bw
