// Where sounds come from: decoder plug-ins, names through the file layer, and the Ogg Vorbis
// decoder.
#include <vorbis/vorbisfile.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "common/global.h"
#include "common/sjis.h"
#include "host/host_path.h"
#include "host/trust.h"
#include "lib/ogg/ogg_vorbis_writer.h"
#include "sound/file_system_sound_source.h"
#include "sound/ogg_vorbis_decoder.h"
#include "sound/sll_plugin_manager.h"
#include "sound/sound_test_support.h"
#include "sound/sound_world.h"
#include "support/game_folder.h"
#include "support/temp_dir.h"

namespace bw {
namespace {

using soundtest::MemoryFiles;
using soundtest::PcmtDecodeObject;

const std::string kPluginDir = SLL_TEST_PLUGIN_DIR;

// A test plug-in by its engine path.
std::string Plugin(const std::string& name) {
  std::string path;
  EXPECT_EQ(host::LinuxPathToEnginePath(kPluginDir + "/" + name, path), host::kPathOk);
  return path;
}

// Declines everything, after moving the file on, as a careless plug-in might.
class Declining final : public SllDecodeObject {
 public:
  SoundDecoderStream* CreateDecoder(Stream* file, int32_t* error) override {
    ++offers;
    uint8_t b[3];
    if (file) (void)file->Read(b, 3);
    if (error) *error = code;
    return nullptr;
  }
  int offers = 0;
  int32_t code = kSllNotAccepted;
};

TEST(SllPluginManager, OpenOffersTheFileByExtensionThenInOrderAndPluginsJoin) {
  host::ScopedGameTrust trust(true);  // the test plug-ins are native modules
  MemoryFiles files;
  ScopedGlobal<SoundFileSource> source(&files);
  files.Put("SE\\HIT.WAV", soundtest::MakePcmt(1, 8000, 8, {1, 2, 3, 4}));
  files.Put("SE\\JUNK.WAV", {'n', 'o', 'p', 'e', 0, 0, 0});

  SllPluginManager m;
  auto ownedDeclining = std::make_unique<Declining>();
  auto ownedPcmt = std::make_unique<PcmtDecodeObject>();
  auto ownedWav = std::make_unique<Declining>();
  Declining* declining = ownedDeclining.get();
  PcmtDecodeObject* pcmt = ownedPcmt.get();
  Declining* wav = ownedWav.get();
  ASSERT_EQ(kSllOk, m.AddDecoder(std::move(ownedDeclining), "XYZ\0", "declines", 1));
  ASSERT_EQ(kSllOk, m.AddDecoder(std::move(ownedPcmt), "PCM\0", "pcmt", 3));
  ASSERT_EQ(kSllOk, m.AddDecoder(std::move(ownedWav), "WAV\0", "wave", 4));

  int32_t error = -7;
  DecoderRef d(m.Open("SE\\HIT.WAV", nullptr, true, &error));
  ASSERT_TRUE(d);
  // The extension's decoder is asked first, and the file reaches the next one rewound.
  EXPECT_EQ(std::tuple(error, wav->offers, declining->offers, pcmt->offers, d->GetPcmBytes()),
            std::tuple(kSllOk, 1, 1, 1, 4u));

  EXPECT_EQ(m.Open("SE\\JUNK.WAV", nullptr, true, &error), nullptr);
  EXPECT_EQ(error, kSllNotAccepted);
  EXPECT_EQ(wav->offers, 2) << "asked once, not again in the sweep";
  wav->code = kSllOutOfMemory;
  EXPECT_EQ(m.Open("SE\\JUNK.WAV", nullptr, true, &error), nullptr);
  EXPECT_EQ(error, kSllOutOfMemory) << "the decoder's own code is passed on";
  wav->code = kSllNotAccepted;
  EXPECT_EQ(m.Open("SE\\MISSING.WAV", nullptr, true, &error), nullptr);
  EXPECT_EQ(error, kSllCannotOpen);

  // A given file stays the caller's, and is handed back at offset 0.
  Stream* given = MemoryFiles::MakeStream({'n', 'o', 'p', 'e', 1, 2});
  EXPECT_EQ(m.Open(nullptr, given, true, nullptr), nullptr);
  EXPECT_EQ(given->Tell(), 0u);
  given->Release();

  // Decoders from plug-in libraries join those added.
  const size_t added = m.Records().size();
  ASSERT_EQ(m.LoadPlugin(Plugin("TESTPCM.SLL")), kSllPluginLoaded);
  ASSERT_EQ(m.Records().size(), added + 1);
  // Found by its extensions at start-up in the application services' test.
  EXPECT_EQ(m.Records().back()->extensions, (std::vector<std::string>{"PCM", "RAW"}));
  EXPECT_EQ(m.LoadPlugin(Plugin("NOASSIST2.SLL")), kSllPluginMissingEntry);
  EXPECT_EQ(m.LoadPlugin(Plugin("NODECODER.SLL")), kSllPluginNoDecodeObject);
  EXPECT_EQ(m.LoadPlugin(Plugin("ABSENT.SLL")), kSllPluginNotLoaded);
  EXPECT_EQ(m.LoadPlugin(""), kSllPluginBadPath);
  EXPECT_EQ(m.Records().size(), added + 1) << "failed loads leave no record";
}

// Which of a loose file and a pack member comes first is the file layer's; a folder is no sound.
TEST(FileSystemSounds, NamesResolveToPackMembersAndNeverToFolders) {
  test::GameFolder game;
  ASSERT_TRUE(
      game.MountPack("SOUND.VFA", {{"se\\tone.ogg", soundtest::EncodeTone(440, 250, 8000, 1)}}, 1));
  FileSystemSoundSource source;
  ScopedGlobal<SoundFileSource> sounds{&source};
  std::string path;
  ASSERT_TRUE(source.ResolvePath("SE\\TONE.OGG", &path));
  EXPECT_EQ(path, sjis::ToLower(game.folder()) + "se\\tone.ogg");
  std::filesystem::create_directory(game.dir().path() / "BGM");
  EXPECT_FALSE(source.ResolvePath("BGM", &path));
  ScopedGlobal<FileSystemManager> none(nullptr);
  EXPECT_FALSE(source.ResolvePath("SE\\TONE.OGG", &path));
  EXPECT_EQ(source.OpenStream("SE\\TONE.OGG"), nullptr);
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

// No file is refused; what is not Vorbis is refused with the file rewound and not held: the fuzz
// corpus's cut and foreign inputs replay that. Bytes flipped through the audio: a read that cannot
// go on ends the stream, and a seek that fails leaves the position answering.
TEST(OggVorbisDecoder, RefusesAMissingFileAndCorruptAudioEndsTheStreamAndKeepsThePosition) {
  int32_t error = -1;
  EXPECT_EQ(OggVorbisDecoderFactory().CreateDecoder(nullptr, &error), nullptr);
  EXPECT_EQ(error, kSllNoFile);
  const std::vector<uint8_t> good = soundtest::EncodeTone(440, 300, 22050, 2);
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
      (void)o.decoder->SeekMs(ms);  // a damaged file may refuse: only the bounds are asked
      EXPECT_LE(o.decoder->GetPositionMs(), o.decoder->GetLengthMs());
      ReadAll(*o.decoder);
    }
  }
}

// The decoder gives what the library alone reads of a written file, to the last partial page.
TEST(OggVorbisDecoder, GivesTheSamplesTheLibraryReadsFromAWrittenFile) {
  test::TempDir dir;
  std::vector<int16_t> pcm = tools::MakeSineTone(440, 1500, 44100, 2);  // left quieter than right
  for (size_t i = 0; i < pcm.size(); i += 2) pcm[i] = static_cast<int16_t>(pcm[i] / 3);
  std::vector<uint8_t> ogg;
  ASSERT_EQ(tools::EncodeOggVorbis(pcm, 2, 44100, &ogg), tools::kOggOk);
  const auto path = dir.WriteFile("tone.ogg", ogg);

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

  Opened o = Open(ogg);
  ASSERT_TRUE(o.decoder) << o.error;
  EXPECT_EQ(o.decoder->GetPcmBytes(), direct.size());
  for (uint32_t chunk : {1000u, 176400u}) {
    ASSERT_EQ(o.decoder->SeekMs(0), kSllOk);
    EXPECT_TRUE(ReadAll(*o.decoder, chunk) == direct) << "read in pieces of " << chunk;
  }
}

// The writer's tones decode to their format and length at every rate (their pitch is heard in the
// demo's mix); what it cannot encode it refuses, leaving nothing behind.
TEST(OggVorbisDecoder, WrittenTonesKeepTheirFormatAndLength) {
  struct Case {
    double freq;
    uint32_t ms, rate;
    int channels;
  } cases[] = {{440, 1000, 44100, 2}, {1000, 250, 22050, 1}, {300, 500, 8000, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.freq << " Hz at " << c.rate << " Hz");
    Opened o = Open(soundtest::EncodeTone(c.freq, c.ms, c.rate, c.channels));
    ASSERT_TRUE(o.decoder) << o.error;
    EXPECT_EQ(
        std::pair(int(o.decoder->GetFormat()->channels), o.decoder->GetFormat()->samplesPerSec),
        std::pair(c.channels, c.rate));
    const std::vector<uint8_t> bytes = ReadAll(*o.decoder);
    EXPECT_EQ(o.decoder->GetPcmBytes(), bytes.size());
    EXPECT_EQ(bytes.size(), size_t{c.rate} * c.ms / 1000 * 2 * size_t(c.channels));
    const uint32_t length = o.decoder->GetLengthMs();
    EXPECT_EQ(o.decoder->SeekMs(length), kOggSeekPastEnd) << "the end holds no sample to play";
    EXPECT_EQ(o.decoder->SeekMs(length - 1), kSllOk);
  }
  const int16_t three[3] = {1, 2, 3};
  std::vector<uint8_t> out = {1};
  EXPECT_EQ(tools::EncodeOggVorbis(three, 3, 44100, &out), tools::kOggBadChannels);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(tools::EncodeOggVorbis(three, 2, 44100, &out), tools::kOggBadLength);
  EXPECT_EQ(tools::EncodeOggVorbis(three, 1, 0, &out), tools::kOggBadRate);
}

}  // namespace
}  // namespace bw
