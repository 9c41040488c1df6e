#include "resource/images/susie_bridge.h"

#include <gtest/gtest.h>

#include "image_test_rig.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"

namespace bw {
namespace {

using Bytes = std::vector<uint8_t>;

// A "SUSI" picture of the test image plug-in: width, height, 4 palette entries, indices.
Bytes SusiePicture(uint8_t width, uint8_t height, const Bytes& indices) {
  Bytes b = {'S', 'U', 'S', 'I', width, height};
  for (uint32_t entry : {0x000000FFu, 0x0000FF00u, 0x00FF0000u, 0x80FFFFFFu})
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(entry >> (8 * i)));
  b.insert(b.end(), indices.begin(), indices.end());
  return b;
}

std::string ReadString(Archive& archive, const char* name) {
  GlobalBlock block;
  int rc = archive.ReadByName(name, AllocGlobalBlock, &block, nullptr, nullptr);
  std::string text = rc == kArchiveOk
                         ? std::string(static_cast<const char*>(block.pointer), block.size)
                         : "error " + std::to_string(rc);
  FreeGlobalBlock(&block);
  return text;
}

TEST(SusieNamesTest, FiltersBecomeExtensionLists) {
  using namespace std::string_literals;
  EXPECT_EQ(SusieExtensionList("*.jpg;*.Jpeg"), "JPG\0JPEG\0"s);
  EXPECT_EQ(SusieExtensionList("*.pi"), "PI\0"s);
  // A trail byte that looks like a letter or a separator stays as it is.
  EXPECT_EQ(SusieExtensionList("*.\x83\x61;*.x"), "\x83\x61\0X\0"s);
  EXPECT_EQ(SusieExtensionList(""), ""s);
}

TEST(SusieNamesTest, MemberNamesFoldBeforeHashing) {
  EXPECT_EQ(SusieFoldName("SYS\\BG.PNG"), "sys\\bg.png");
  EXPECT_EQ(SusieFoldName("\x82\x60"), "\x82\x81") << "full-width A becomes a";
  EXPECT_EQ(SusieFoldName("\x87\x54"), "\xFA\x4A") << "NEC Roman one becomes the IBM form";
  EXPECT_EQ(SusieFoldName("\xFA\x40"), "\xFA\x4A") << "IBM small Roman one becomes capital";
  // The hash folds every double-byte character alike; names compare apart all the same.
  EXPECT_EQ(SusieFoldName("\x83\x41"), SusieFoldName("\x83\x4B"));
  EXPECT_NE(SusieMatchName("\x83\x41"), SusieMatchName("\x83\x4B")) << "ア is not ケ";
  EXPECT_EQ(SusieMatchName("\x87\x54"), SusieMatchName("\xFA\x40"));
  EXPECT_EQ(SusieNameHash(SusieFoldName("A.TXT")), SusieNameHash("a.txt"));
  // Bytes enter unsigned, unlike the image cache's keys.
  EXPECT_EQ(SusieNameHash("\xE0"), NameHashFinish(NameHashStep(0, 0xE0)));
}

class SusieBridgeTest : public test::GameFolderTest {
 protected:
  void SetUp() override {
    GameFolderTest::SetUp();
    RegisterBuiltinLoaders(images_);
  }
  ImageLoaderManager images_;
};

TEST_F(SusieBridgeTest, StartUpScansBothPluginKindsAndCountsFailures) {
  InstallPlugin(BW_TEST_LOADER_GLL, "plugin/TESTIMG.GLL");
  InstallPlugin(BW_TEST_IMAGE_SPI, "plugin/TESTIMG.SPI");
  InstallPlugin(BW_TEST_ARCHIVE_SPI, "plugin/testarc.spi");
  Write("plugin/WINDOWS.SPI", Bytes{'M', 'Z', 0x90, 0});
  InstallPlugin(BW_TEST_LOADER_GLL, "plugin/NOTSUSIE.SPI");  // no GetPluginInfo
  ImageLoaderManager fresh;
  EXPECT_EQ(SetUpImageLoaders(fresh, &files_), 2);
  ASSERT_EQ(fresh.GetLoaderCount(), 4u);
  const ImageLoaderRecord* susie = fresh.GetLoaderRecord(3);
  EXPECT_EQ(susie->typeString, "Test picture");
  EXPECT_EQ(susie->extensions, std::string("SUS\0SUS2\0", 9));
  EXPECT_EQ(susie->module, nullptr) << "the loader keeps its own module";
  EXPECT_EQ(files_.GetDecoderCount(), 2u) << "VFA and the archive plug-in";
  EXPECT_NE(files_.FindDecoderByExtension("DATA.SAR"), nullptr);

  // Kinds the caller does not take are refused, and the plug-in is let go.
  EXPECT_EQ(LoadSusiePlugin("plugin\\TESTARC.SPI", nullptr, &images_), kSusieKindRefused);
  EXPECT_EQ(LoadSusiePlugin("plugin\\TESTIMG.SPI", &files_, nullptr), kSusieKindRefused);
  EXPECT_EQ(ScanSusiePlugins("..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\x", &files_, &images_),
            -1);
}

TEST_F(SusieBridgeTest, ImagePluginsDecodeThroughTheManager) {
  ASSERT_EQ(ScanSusiePlugins("plugin", &files_, &images_), 0) << "no folder, no failures";
  InstallPlugin(BW_TEST_IMAGE_SPI, "plugin/TESTIMG.SPI");
  ASSERT_EQ(ScanSusiePlugins("plugin", &files_, &images_), 0);
  // Found by content: the head is padded to 2,048 bytes for the plug-in.
  Write("CG/FACE.DAT", SusiePicture(3, 2, {0, 1, 2, 3, 3, 3}));
  images_.SetCacheBudget(16);
  test::RecordingDestination dest;
  ASSERT_EQ(images_.LoadFromFile("CG\\FACE.DAT", dest.Target(), nullptr), kGllDone);
  EXPECT_EQ(dest.bits, 32);
  EXPECT_EQ(dest.Pixel32(0, 0), 0x000000FFu);
  EXPECT_EQ(dest.Pixel32(2, 0), 0x00FF0000u);
  EXPECT_EQ(dest.Pixel32(0, 1), 0x80FFFFFFu);
  EXPECT_EQ(images_.GetCache().GetCount(), 1u);

  test::RecordingDestination eight;
  ASSERT_EQ(images_.LoadFromMemory(SusiePicture(2, 1, {3, 1}), eight.Target(true), nullptr),
            kGllDone);
  EXPECT_EQ(eight.bits, 8);
  EXPECT_EQ(eight.pixels, (Bytes{3, 1}));
  EXPECT_EQ(eight.palette[1], 0x0000FF00u);

  // A plug-in that claims bytes and then fails them gives a plain failure.
  ImageLoader* susie = images_.FindLoaderByType(kSusieImageType);
  ASSERT_NE(susie, nullptr);
  EXPECT_EQ(susie->LoadToBuffers(Bytes{'S', 'U', 'S', 'I', 9, 9}, {}), kSusiePictureFailed);
  EXPECT_EQ(susie->LoadToBuffers({}, {}), kSusieNoData);
  // A progress callback that says stop reaches the plug-in.
  EXPECT_EQ(susie->LoadToBuffers(SusiePicture(1, 1, {0}), [](int, int) { return 1; }),
            kSusiePictureFailed);
}

TEST_F(SusieBridgeTest, ArchivePluginsServePackMembers) {
  InstallPlugin(BW_TEST_ARCHIVE_SPI, "plugin/TESTARC.SPI");
  ASSERT_EQ(ScanSusiePlugins("plugin", &files_, nullptr), 0);
  dir_.WriteFile("DATA/VOICE.SAR",
                 "SAR1\nA001.OGG=first\nSub\\B.txt=second\nempty.bin=\n\x83\x41.ogg=a-kana\n");
  Archive* archive = nullptr;
  ASSERT_EQ(files_.Mount("DATA\\VOICE.SAR", 7, true, true, &archive), 0);
  ASSERT_NE(archive, nullptr);
  EXPECT_EQ(archive->GetEntryCount(), 4u);
  EXPECT_EQ(archive->GetEntryTable(), nullptr) << "the table setting is off";
  EXPECT_EQ(ReadString(*archive, "a001.ogg"), "first");
  EXPECT_EQ(ReadString(*archive, "SUB\\b.TXT"), "second");
  EXPECT_EQ(ReadString(*archive, "empty.bin"), "error 2");
  EXPECT_EQ(ReadString(*archive, "none"), "error 3");
  EXPECT_EQ(ReadString(*archive, "\x83\x41.OGG"), "a-kana");
  EXPECT_EQ(ReadString(*archive, "\x83\x4B.ogg"), "error 3") << "ケ is another name";
  const char* name = nullptr;
  const ArchiveEntryInfo* info = archive->GetEntryInfo(1, &name);
  ASSERT_NE(info, nullptr);
  EXPECT_STREQ(name, "Sub\\B.txt");
  EXPECT_EQ(info->unpackedSize, 6u);
  EXPECT_EQ(info->crc, 0xC0DE0001u);
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

  // The decoder's assist entry turns the entry table on for archives opened after it.
  AdlAssistArgs on{0, 1, 0};
  AdlAssistFunc2 assist = files_.GetDecoderAssistFunc2(kSusieArchiveType);
  ASSERT_NE(assist, nullptr);
  EXPECT_EQ(assist(&on), 0);
  AdlAssistArgs unknown{4, 0, 0};
  EXPECT_EQ(assist(&unknown), 5);
  ASSERT_EQ(files_.Mount("DATA\\VOICE.SAR", 8, false, true, &archive), 0);
  ASSERT_NE(archive->GetEntryTable(), nullptr);
  EXPECT_STREQ(archive->GetEntryTable()[2].name, "empty.bin");
  AdlAssistArgs off{0, 0, 0};
  assist(&off);

  // The archive keeps the plug-in's code alive after its decoder is gone.
  files_.RemoveAllDecoders();
  EXPECT_EQ(ReadString(*archive, "A001.OGG"), "first");

  dir_.WriteFile("DATA/BAD.SAR", "not an archive");
  ASSERT_EQ(ScanSusiePlugins("plugin", &files_, nullptr), 0);
  EXPECT_EQ(files_.Mount("DATA\\BAD.SAR", 9, true, true, nullptr), kArchiveBadFormat);
}

}  // namespace
}  // namespace bw
