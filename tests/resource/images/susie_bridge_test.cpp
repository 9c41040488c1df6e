#include "resource/images/susie_bridge.h"

#include <gtest/gtest.h>

#include "host/trust.h"
#include "resource/images/decoded_image.h"
#include "resource/images/image_loader_manager.h"
#include "support/image_test_rig.h"

namespace bw {
namespace {

std::string ReadString(Archive& archive, const char* name) {
  GlobalBlock block;
  int rc = archive.ReadByName(name, AllocGlobalBlock, &block, nullptr, nullptr);
  std::string text = rc == kArchiveOk
                         ? std::string(static_cast<const char*>(block.pointer), block.size)
                         : "error " + std::to_string(rc);
  FreeGlobalBlock(&block);
  return text;
}

// The test plug-ins are native modules.
class SusieBridgeTest : public test::GameFolderTest {
  host::ScopedGameTrust trust_{true};
};

TEST_F(SusieBridgeTest, ArchivePluginsServePackMembers) {
  InstallPlugin(BW_TEST_ARCHIVE_SPI, "plugin/TESTARC.SPI");
  ASSERT_EQ(ScanSusiePlugins("plugin", &files_, nullptr), 0);
  dir_.WriteFile("DATA/VOICE.SAR",
                 "SAR1\nA001.OGG=first\nSub\\B.txt=second\nempty.bin=\n\x83\x41.ogg=a-kana\n");
  Archive* archive = nullptr;
  ASSERT_EQ(files_.Mount("DATA\\VOICE.SAR", 7, true, true, &archive), 0);
  ASSERT_NE(archive, nullptr);
  EXPECT_EQ(archive->GetEntryCount(), 4u);
  EXPECT_EQ(ReadString(*archive, "a001.ogg"), "first");
  EXPECT_EQ(ReadString(*archive, "SUB\\b.TXT"), "second");
  EXPECT_EQ(ReadString(*archive, "empty.bin"), "error 2");
  EXPECT_EQ(ReadString(*archive, "none"), "error 3");
  EXPECT_EQ(ReadString(*archive, "\x83\x41.OGG"), "a-kana");
  EXPECT_EQ(ReadString(*archive, "\x83\x4B.ogg"), "error 3") << "ケ is another name";
  EXPECT_EQ(archive->ReadByIndex(0, nullptr, nullptr, nullptr, nullptr), kArchiveNoPath);

  // Members are not streamable: the manager reads them whole.
  std::string path;
  int error = 0;
  Stream* stream = files_.OpenStream("DATA\\VOICE\\A001.OGG", &path, &error);
  ASSERT_NE(stream, nullptr) << error;
  EXPECT_EQ(stream->GetSize(), 5u);
  stream->Release();
  archive->OpenStreamByName("none", &error);
  EXPECT_EQ(error, kArchiveNotFound);

  // The archive keeps the plug-in's code alive after its decoder is gone.
  files_.RemoveAllDecoders();
  EXPECT_EQ(ReadString(*archive, "A001.OGG"), "first");

  dir_.WriteFile("DATA/BAD.SAR", "not an archive");
  ASSERT_EQ(ScanSusiePlugins("plugin", &files_, nullptr), 0);
  EXPECT_EQ(files_.Mount("DATA\\BAD.SAR", 9, true, true, nullptr), kArchiveBadFormat);
}

// A picture of the test image plug-in: header, palette entries, rows bottom row first.
std::string SimPicture(int32_t width, int32_t height, uint16_t bits,
                       const std::vector<uint32_t>& palette, const std::vector<uint8_t>& rows) {
  std::string out = "SIM1";
  auto put = [&](const void* p, size_t n) { out.append(static_cast<const char*>(p), n); };
  const auto entries = static_cast<uint16_t>(palette.size());
  put(&width, 4);
  put(&height, 4);
  put(&bits, 2);
  put(&entries, 2);
  put(palette.data(), palette.size() * 4);
  put(rows.data(), rows.size());
  return out;
}

class SusieImageTest : public test::GameFolderTest {
  host::ScopedGameTrust trust_{true};

 protected:
  void SetUp() override {
    GameFolderTest::SetUp();
    InstallPlugin(BW_TEST_IMAGE_SPI, "plugin/TESTIMG.SPI");
    ASSERT_EQ(SetUpImageLoaders(manager_, &files_), 0);
    // 3 x 2 at 4 bits: top row 1 2 3, bottom row 15 0 1.
    dir_.WriteFile("PIC/A.SIM",
                   SimPicture(3, 2, 4, palette_, {0xF0, 0x10, 0, 0, 0x12, 0x30, 0, 0}));
  }
  const std::vector<uint32_t> palette_ = {
      0x000000, 0x112233, 0x445566, 0x778899, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFFEEDD};
  ImageLoaderManager manager_;
};

// The plug-in cannot write into a destination: the manager decodes to buffers, caches the picture
// and converts it (to indices with the palette when 8 bits are asked: the DIB conversion's test).
TEST_F(SusieImageTest, PicturesReachDestinationsThroughTheBuffers) {
  manager_.SetCacheBudget(16);
  test::RecordingDestination wide;
  ASSERT_EQ(manager_.LoadFromFile("pic\\a.sim", wide.Target(), nullptr), kGllDone);
  EXPECT_EQ(wide.bits, 32);
  EXPECT_EQ(wide.Pixel32(0, 1), 0xFFEEDDu);
  DecodedImage* cached = manager_.FindCachedImage("PIC\\A.SIM");
  ASSERT_NE(cached, nullptr) << "decoded once, kept in the cache";
  EXPECT_EQ(cached->GetPicture().bits, 4);
  cached->Release();

  // Found by content under a name no loader claims; a short file's head is padded for the
  // plug-in, which reads all 2,048 bytes of it.
  dir_.WriteFile("PIC/B.DAT", SimPicture(1, 1, 8, {0x123456}, {0, 0, 0, 0}));
  test::RecordingDestination byContent;
  ASSERT_EQ(manager_.LoadFromFile("PIC\\B.DAT", byContent.Target(), nullptr), kGllDone);
  EXPECT_EQ(byContent.Pixel32(0, 0), 0x123456u);
}

// Registered as an image loader that cannot save; what it refuses answers its codes.
TEST_F(SusieImageTest, RegistersAsAnImageLoaderAndRefusedPicturesAnswerTheirCodes) {
  const ImageLoaderRecord* record = manager_.GetLoaderRecord(manager_.GetLoaderCount() - 1);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->typeId, kSusieImageType);
  EXPECT_EQ(manager_.FindLoaderByExtension("x.sim", false), record->loader.get());
  EXPECT_EQ(manager_.FindLoaderByExtension("x.sim", true), nullptr) << "it cannot save";
  // An archive plug-in is refused where only images are taken, and the other way round.
  InstallPlugin(BW_TEST_ARCHIVE_SPI, "plugin/TESTARC.SPI");
  EXPECT_EQ(LoadSusiePlugin("plugin\\TESTARC.SPI", nullptr, &manager_), kSusieKindRefused);
  EXPECT_EQ(LoadSusiePlugin("plugin\\TESTIMG.SPI", &files_, nullptr), kSusieKindRefused);

  dir_.WriteFile("PIC/BAD.SIM", SimPicture(3, 2, 3, {}, std::vector<uint8_t>(8)));
  test::RecordingDestination dest;
  EXPECT_EQ(manager_.LoadFromFile("PIC\\BAD.SIM", dest.Target(), nullptr), kGllFailed);
  EXPECT_EQ(dest.releases, 1);

  ImageLoader* loader = record->loader.get();
  EXPECT_EQ(loader->LoadToBuffers({}, {}), kSusieNoData);
  const std::string picture = SimPicture(1, 1, 8, {0}, {0, 0, 0, 0});
  std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(picture.data()), picture.size());
  int calls = 0;
  EXPECT_EQ(loader->LoadToBuffers(bytes, [&](int, int) { return ++calls, 1; }), kSusiePictureFailed)
      << "the caller's progress stops the plug-in";
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(loader->LoadToBuffers(bytes, {}), kGllDone) << "without a progress of the caller's";
}

}  // namespace
}  // namespace bw
