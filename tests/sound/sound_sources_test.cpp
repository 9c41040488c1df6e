// Where sounds come from: decoder plug-ins offered the files in turn, and names resolved through
// the file layer.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/global.h"
#include "common/sjis.h"
#include "host/host_path.h"
#include "sound/file_system_sound_source.h"
#include "sound/sll_plugin_manager.h"
#include "sound/sound_test_support.h"
#include "sound/sound_world.h"
#include "support/game_folder.h"

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
    if (file) file->Read(b, 3);
    if (error) *error = code;
    return nullptr;
  }
  int offers = 0;
  int32_t code = kSllNotAccepted;
};

TEST(SllPluginManager, OpenOffersTheFileByExtensionThenInOrder) {
  MemoryFiles files;
  ScopedGlobal<SoundFileSource> source(&files);
  files.Put("SE\\HIT.WAV", soundtest::MakePcmt(1, 8000, 8, {1, 2, 3, 4}));
  files.Put("SE\\JUNK.WAV", {'n', 'o', 'p', 'e', 0, 0, 0});

  SllPluginManager m;
  auto* declining = new Declining;
  auto* pcmt = new PcmtDecodeObject;
  auto* wav = new Declining;
  m.AddDecoder(declining, "XYZ\0", "declines", 1);
  m.AddDecoder(pcmt, "PCM\0", "pcmt", 3);
  m.AddDecoder(wav, "WAV\0", "wave", 4);

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
}

TEST(SllPluginManager, LoadsPluginLibraries) {
  SllPluginManager m;
  ASSERT_EQ(m.LoadPlugin(Plugin("TESTPCM.SLL")), kSllPluginLoaded);
  ASSERT_EQ(m.Records().size(), 1u);
  const SllPluginRecord& r = *m.Records()[0];
  EXPECT_EQ(std::tuple(r.typeId, r.typeName), std::tuple(77u, "Raw PCM"));
  EXPECT_EQ(r.extensions, (std::vector<std::string>{"PCM", "RAW"}));

  // Its decoder works through the manager.
  MemoryFiles files;
  ScopedGlobal<SoundFileSource> source(&files);
  files.Put("VOICE\\A.PCM", std::vector<uint8_t>(80, 0x90));
  DecoderRef d(m.Open("VOICE\\A.PCM", nullptr, true, nullptr));
  ASSERT_TRUE(d);
  EXPECT_EQ(d->GetLengthMs(), 10u);

  EXPECT_EQ(m.LoadPlugin(Plugin("NOASSIST2.SLL")), kSllPluginMissingEntry);
  EXPECT_EQ(m.LoadPlugin(Plugin("NODECODER.SLL")), kSllPluginNoDecodeObject);
  EXPECT_EQ(m.LoadPlugin(Plugin("ABSENT.SLL")), kSllPluginNotLoaded);
  EXPECT_EQ(m.LoadPlugin(""), kSllPluginBadPath);
  EXPECT_EQ(m.Records().size(), 1u) << "failed loads leave no record";
}

TEST(SllPluginManager, LoadsEveryPluginOfAFolderUnderTheApplicationFolder) {
  test::GameFolder game;
  namespace fs = std::filesystem;
  const fs::path folder = game.dir().path() / "Plugin";
  fs::create_directory(folder);
  fs::copy_file(kPluginDir + "/TESTPCM.SLL", folder / "b.sll");
  fs::copy_file(kPluginDir + "/NODECODER.SLL", folder / "A.SLL");
  fs::copy_file(kPluginDir + "/TESTPCM.SLL", folder / "c.dll");
  SllPluginManager m;
  EXPECT_EQ(m.LoadPluginFolder("plugin"), 1);
  EXPECT_EQ(m.LoadPluginFolder(""), -1);
  SllPluginManager single;
  EXPECT_EQ(single.LoadPlugin("PLUGIN\\B.SLL"), kSllPluginLoaded)
      << "relative to the application folder";
}

// A game folder with a mounted sound pack, and the sounds served from it.
class FileSystemSounds : public ::testing::Test {
 protected:
  void SetUp() override {
    ogg_ = soundtest::EncodeTone(440, 250, 8000, 1);
    ASSERT_TRUE(game_.MountPack("SOUND.VFA", {{"se\\tone.ogg", ogg_}}, 1));
  }

  test::GameFolder game_;
  std::vector<uint8_t> ogg_;
  FileSystemSoundSource source_;
  ScopedGlobal<SoundFileSource> sounds_{&source_};
};

TEST_F(FileSystemSounds, NamesResolveToLooseFilesFirstAndNeverToFolders) {
  std::string path;
  ASSERT_TRUE(source_.ResolvePath("SE\\TONE.OGG", &path));
  EXPECT_EQ(path, sjis::ToLower(game_.folder()) + "se\\tone.ogg");

  game_.dir().WriteFile("Se/Tone.Ogg", std::string(ogg_.begin(), ogg_.end()));
  ASSERT_TRUE(source_.ResolvePath("SE\\TONE.OGG", &path));
  EXPECT_EQ(path, game_.folder() + "SE\\TONE.OGG");

  std::filesystem::create_directory(game_.dir().path() / "BGM");
  EXPECT_FALSE(source_.ResolvePath("BGM", &path));
  ScopedGlobal<FileSystemManager> none(nullptr);
  EXPECT_FALSE(source_.ResolvePath("SE\\TONE.OGG", &path));
  EXPECT_EQ(source_.OpenStream("SE\\TONE.OGG"), nullptr);
}

}  // namespace
}  // namespace bw
