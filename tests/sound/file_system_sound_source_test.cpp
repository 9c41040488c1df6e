#include "sound/file_system_sound_source.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/sjis.h"
#include "sound/sound_world.h"
#include "support/game_folder.h"

namespace bw {
namespace {

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
