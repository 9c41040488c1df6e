#include "resource/images/image_loader_manager.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "image_test_rig.h"
#include "lib/bmp/bmp_builder.h"
#include "lib/wgx/wgx_writer.h"
#include "common/sjis.h"
#include "resource/images/builtin_loaders.h"

namespace bw {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Wgx24(uint32_t width, uint32_t height, int16_t offsetX = 0, int16_t offsetY = 0) {
  tools::WgxPicture picture;
  picture.depth = 24;
  picture.width = width;
  picture.height = height;
  for (uint32_t i = 0; i < width * height; ++i) picture.pixels.push_back(0x010203u * (i + 1));
  picture.offsetX = offsetX;
  picture.offsetY = offsetY;
  return tools::WriteWgx(picture, {offsetX || offsetY ? 1 : 0, {}});
}

// A 2 x 2 8-bit BMP (bottom-up) with a 4-entry palette.
Bytes Bmp8() {
  tools::BmpFields bmp;
  bmp.width = 2;
  bmp.height = 2;
  bmp.bits = 8;
  bmp.palette = {0x00112233, 0x00445566, 0x00778899, 0x00AABBCC};
  bmp.usedColours = 4;
  bmp.data = tools::PackIndexRows({{2, 3}, {0, 1}}, 8);  // file order: bottom row first
  return tools::BuildBmp(bmp);
}

// A picture of the test *.GLL plug-in: "TIMG", width, height, 32-bit pixels.
Bytes TestImage(uint16_t width, uint16_t height) {
  Bytes b = {'T', 'I', 'M', 'G', static_cast<uint8_t>(width), 0, static_cast<uint8_t>(height), 0};
  for (uint32_t i = 0; i < uint32_t{width} * height * 4; ++i) b.push_back(static_cast<uint8_t>(i));
  return b;
}

class ImageLoaderManagerTest : public test::GameFolderTest {
 protected:
  void SetUp() override {
    GameFolderTest::SetUp();
    RegisterBuiltinLoaders(manager_);
  }
  ImageLoaderManager manager_;
};

TEST_F(ImageLoaderManagerTest, ChoosesLoadersByExtensionContentAndType) {
  ImageLoader* bmp = manager_.FindLoaderByType(kBitmapLoaderType);
  ImageLoader* wgx = manager_.FindLoaderByType(kWgxLoaderType);
  ASSERT_TRUE(bmp && wgx);
  EXPECT_EQ(manager_.FindLoaderByExtension("SYS\\A.wgx", false), wgx);
  EXPECT_EQ(manager_.FindLoaderByExtension("shot.Bmp", true), bmp);
  EXPECT_EQ(manager_.FindLoaderByExtension("SYS\\A.WGX", true), nullptr) << "WGX cannot save";
  EXPECT_EQ(manager_.FindLoaderByExtension("SYS\\A", false), nullptr);
  EXPECT_EQ(manager_.FindLoaderByContent(Bmp8(), nullptr), bmp);
  EXPECT_EQ(manager_.FindLoaderByContent(Wgx24(1, 1), nullptr), wgx);
  EXPECT_EQ(manager_.FindLoaderByContent(Bytes{'X', 'Y', 'Z', 'W'}, nullptr), nullptr);
  EXPECT_EQ(manager_.FindLoaderByType(99), nullptr);

  manager_.RemoveLoader(kBitmapLoaderType);
  EXPECT_EQ(manager_.FindLoaderByExtension("a.bmp", false), nullptr);
  EXPECT_EQ(manager_.GetLoaderCount(), 1u);
}

TEST_F(ImageLoaderManagerTest, LoadsFilesIntoDestinationsWithOffsets) {
  Write("SYS/BG.WGX", Wgx24(3, 2, -10, 7));
  test::RecordingDestination dest;
  ImagePlacement placement;
  ASSERT_EQ(manager_.LoadFromFile("sys\\bg.wgx", dest.Target(), &placement), kGllDone);
  EXPECT_EQ(dest.width, 3);
  EXPECT_EQ(dest.bits, 32);
  EXPECT_EQ(dest.Pixel32(1, 1), 0x010203u * 5);
  EXPECT_EQ(placement.offsetX, -10);
  EXPECT_EQ(placement.offsetY, 7);

  // A name whose extension lies still loads by content.
  Write("SYS/REAL_BMP.WGX", Bmp8());
  test::RecordingDestination eight;
  ASSERT_EQ(manager_.LoadFromFile("SYS\\REAL_BMP.WGX", eight.Target(true), nullptr), kGllDone);
  EXPECT_EQ(eight.bits, 8);
  EXPECT_EQ(eight.pixels, (Bytes{0, 1, 2, 3})) << "rows top-down";
  EXPECT_EQ(eight.palette[3], 0x00AABBCCu);

  test::RecordingDestination missing;
  EXPECT_EQ(manager_.LoadFromFile("SYS\\NONE.WGX", missing.Target(), nullptr),
            kGllFileUnreadable);
  Write("SYS/JUNK.DAT", Bytes{1, 2, 3, 4, 5});
  test::RecordingDestination junk;
  EXPECT_EQ(manager_.LoadFromFile("SYS\\JUNK.DAT", junk.Target(), nullptr), kGllFailed);
  EXPECT_EQ(junk.releases, 1);
}

TEST_F(ImageLoaderManagerTest, HandsOutTheChunkListOfAChunkedWgx) {
  tools::WgxPicture picture;
  picture.depth = 8;
  picture.width = picture.height = 1;
  picture.pixels = {0};
  picture.chunks = {{0xAB, 0xCD}};
  Write("SYS/CHUNK.WGX", tools::WriteWgx(picture, {2, {}}));
  const Bytes chunkList = {1, 6, 0, 0, 0, 0xAB, 0xCD};

  test::RecordingDestination dest;
  ImagePlacement placement;
  ASSERT_EQ(manager_.LoadFromFile("SYS\\CHUNK.WGX", dest.Target(), &placement), kGllDone);
  EXPECT_EQ(placement.palette, chunkList);
  DecodedImage* image = manager_.LoadImage("SYS\\CHUNK.WGX", false);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->GetPalette(true), chunkList);
  image->Release();
}

TEST_F(ImageLoaderManagerTest, SharesOneCacheEntryAcrossSpellings) {
  Write("SYS/A.WGX", Wgx24(4, 4));
  manager_.SetCacheBudget(16);
  ASSERT_TRUE(manager_.GetCache().IsOn());
  DecodedImage* first = manager_.LoadImage("SYS\\A.WGX", true);
  ASSERT_NE(first, nullptr);
  DecodedImage* second = manager_.LoadImage("sys\\a.wgx", true);
  EXPECT_EQ(first, second);
  EXPECT_EQ(manager_.GetCache().GetCount(), 1u);
  EXPECT_EQ(manager_.GetCache().GetKeysByRecency()[0], sjis::ToLower(folder_) + "sys\\a.wgx");
  EXPECT_EQ(first->GetByteSize(), 44u + 4 * 12) << "info block and rows";
  first->Release();
  second->Release();

  // Without the cache flag a picture is decoded anew and not kept.
  DecodedImage* uncached = manager_.LoadImage("SYS\\A.WGX", false);
  EXPECT_EQ(uncached, first) << "a cached picture is still found";
  uncached->Release();
  Write("SYS/B.WGX", Wgx24(2, 2));
  DecodedImage* b = manager_.LoadImage("SYS\\B.WGX", false);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(manager_.GetCache().GetCount(), 1u);
  b->Release();
  EXPECT_EQ(manager_.LoadImage("SYS\\NONE.WGX", true), nullptr);
}

TEST_F(ImageLoaderManagerTest, ReleaseImageDropsOnlyCachedPicturesAndNeverLoads) {
  Write("SYS/A.WGX", Wgx24(2, 2));
  Write("SYS/B.WGX", Wgx24(2, 2));
  EXPECT_EQ(manager_.ReleaseImage("SYS\\A.WGX"), kReleaseCacheOff);
  manager_.SetCacheBudget(16);
  EXPECT_EQ(manager_.ReleaseImage("SYS\\B.WGX"), kReleaseNotCached);
  EXPECT_EQ(manager_.GetCache().GetCount(), 0u) << "the name was not loaded to be released";

  DecodedImage* a = manager_.LoadImage("SYS\\A.WGX", true);
  ASSERT_NE(a, nullptr);
  a->Release();
  EXPECT_EQ(manager_.ReleaseImage("sys\\a.wgx"), kReleaseDone);
  EXPECT_EQ(manager_.GetCache().GetCount(), 0u);
  EXPECT_EQ(manager_.FindCachedImage("SYS\\A.WGX"), nullptr);
  EXPECT_EQ(manager_.ReleaseImage("SYS\\A.WGX"), kReleaseNotCached);
}

TEST_F(ImageLoaderManagerTest, SavesThroughTheLoaderThatCanAndKeepsOldFilesOnFailure) {
  const uint8_t pixels[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};  // 2 x 2 at 24 bits, pitch 6
  ImageSaveSource source{0, pixels, 2, 2, 24, 6, nullptr};
  ASSERT_EQ(manager_.SaveImage("SAVE\\..\\SHOT.BMP", source, 0), kGllDone);
  DibImage dib;
  std::ifstream in(dir_.path() / "SHOT.BMP", std::ios::binary);
  Bytes saved((std::istreambuf_iterator<char>(in)), {});
  ASSERT_EQ(BmpLoader::LoadToBuffers(saved, dib), kBmpDone);
  EXPECT_EQ(dib.Row(0)[0], 1);
  EXPECT_EQ(dib.Row(1)[5], 12);

  EXPECT_EQ(manager_.SaveImage("SHOT.WGX", source, 0), kSaveNoLoader);
  EXPECT_EQ(manager_.SaveImage("SHOT.BMP", source, kWgxLoaderType), kGllNotSupported);
  ImageSaveSource bad = source;
  bad.bits = 16;
  EXPECT_EQ(manager_.SaveImage("SHOT.BMP", bad, 0), kBmpNoData);
  std::ifstream again(dir_.path() / "SHOT.BMP", std::ios::binary);
  EXPECT_EQ(Bytes((std::istreambuf_iterator<char>(again)), {}), saved);
  EXPECT_EQ(manager_.SaveImage("NO_SUCH_FOLDER\\SHOT.BMP", source, 0), kGllFileUnreadable);
}

TEST_F(ImageLoaderManagerTest, PluginLoadersDecodeAndConvertForDestinations) {
  InstallPlugin(BW_TEST_LOADER_GLL, "plugin/TESTIMG.GLL");
  Write("plugin/FAKE.GLL", Bytes{'M', 'Z', 0x90, 0, 3, 0});  // a Windows module
  Write("plugin/README.TXT", Bytes{'h', 'i'});
  EXPECT_EQ(manager_.ScanLoaderPlugins("plugin"), 1);
  ASSERT_EQ(manager_.GetLoaderCount(), 3u);
  const ImageLoaderRecord* record = manager_.GetLoaderRecord(2);
  EXPECT_EQ(record->typeString, "Test image");
  EXPECT_NE(record->module, nullptr);
  GllAssistFunc2 assist = manager_.GetLoaderAssistFunc2(40);
  ASSERT_NE(assist, nullptr);
  AdlAssistArgs args{1, 2, 3};
  EXPECT_EQ(assist(&args), 6);
  EXPECT_EQ(manager_.GetLoaderAssistFunc2(kBitmapLoaderType), nullptr);

  // The plug-in cannot write into destinations: the picture is decoded, cached and converted.
  manager_.SetCacheBudget(16);
  Write("CG/PIC.TIM", TestImage(2, 1));
  test::RecordingDestination dest;
  ImagePlacement placement;
  ASSERT_EQ(manager_.LoadFromFile("CG\\PIC.TIM", dest.Target(), &placement), kGllDone);
  EXPECT_EQ(dest.bits, 32);
  EXPECT_TRUE(dest.hasAlpha);
  EXPECT_EQ(dest.Pixel32(1, 0), 0x07060504u) << "32-bit pictures keep their alpha";
  EXPECT_EQ(placement.offsetX, 3);
  EXPECT_EQ(placement.offsetY, -4);
  EXPECT_EQ(manager_.GetCache().GetCount(), 1u);

  test::RecordingDestination refused;
  refused.refuse = true;
  EXPECT_EQ(manager_.LoadFromMemory(TestImage(1, 1), refused.Target(), nullptr), kGllNoBuffer);
  EXPECT_EQ(refused.releases, 1);

  EXPECT_EQ(manager_.LoadLoaderPlugin("plugin\\NONE.GLL"), kGllPluginLoadFailed);
  InstallPlugin(BW_TEST_IMAGE_SPI, "plugin/NOTGLL.GLL");  // loads, but lacks the entries
  EXPECT_EQ(manager_.LoadLoaderPlugin("plugin\\NOTGLL.GLL"), kGllPluginEntryMissing);
  manager_.RemoveLoader(40);
  EXPECT_EQ(manager_.GetLoaderCount(), 2u);
}

DibImage Dib(int32_t width, int32_t height, uint16_t bits, std::vector<uint8_t> pixels,
             std::vector<uint32_t> palette = {}) {
  DibImage dib;
  dib.width = width;
  dib.height = height;
  dib.bits = bits;
  dib.pitch = static_cast<uint32_t>(DibPitch(static_cast<uint32_t>(width), bits));
  dib.pixels = std::move(pixels);
  dib.palette = std::move(palette);
  return dib;
}

TEST(DibConversionTest, ConvertsEveryDepthToRowsTopDown) {
  struct Pixel {
    int x, y;
    uint32_t value;
  };
  struct Case {
    const char* what;
    DibImage dib;
    bool eightBit;
    std::vector<Pixel> expected;
  };
  const Case cases[] = {
      {"16 bits are 555, each channel in the top bits of its byte",
       Dib(1, 1, 16, {0xFF, 0x7F, 0, 0}), false, {{0, 0, 0x00F8F8F8u}}},
      {"1 bit, most significant first; palette entries whole, with their reserved byte",
       Dib(9, -1, 1, {0x20, 0x80, 0, 0}, {0x01000000, 0x00FFFFFF}), false,
       {{2, 0, 0x00FFFFFFu}, {3, 0, 0x01000000u}, {8, 0, 0x00FFFFFFu}}},
      {"4 bits, high nibble first, bottom-up rows",
       Dib(3, 2, 4, {0x12, 0x30, 0, 0, 0x45, 0x60, 0, 0}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}), false,
       {{0, 0, 4u}, {2, 1, 3u}}},
      {"8-bit output only for 8-bit pictures", Dib(2, 1, 24, {1, 2, 3, 4, 5, 6, 0, 0}), true,
       {{1, 0, 0x00060504u}}},
      {"top-down 32 bits keep their alpha",
       Dib(2, -2, 32, {1, 2, 3, 0x80, 4, 5, 6, 0xFF, 7, 8, 9, 0, 10, 11, 12, 0x40}), false,
       {{0, 0, 0x80030201u}, {1, 1, 0x400C0B0Au}}},
      {"an index past the palette is 0", Dib(1, -2, 8, {0, 0, 0, 0, 5, 0, 0, 0}, {0x11223344}),
       false, {{0, 0, 0x11223344u}, {0, 1, 0u}}},
  };
  for (const Case& c : cases) {
    test::RecordingDestination dest;
    ASSERT_EQ(WriteDibToDestination(c.dib, dest.Target(c.eightBit).destination, c.eightBit),
              kGllDone)
        << c.what;
    EXPECT_EQ(dest.bits, 32) << c.what;
    for (const Pixel& p : c.expected) EXPECT_EQ(dest.Pixel32(p.x, p.y), p.value) << c.what;
  }
}

TEST(DibConversionTest, RefusesCompressedRowsAndSmallDestinations) {
  DibImage dib = Dib(2, 1, 8, {0, 0, 0, 0});
  dib.compression = kBiRle8;
  test::RecordingDestination dest;
  EXPECT_EQ(WriteDibToDestination(dib, dest.Target().destination, false), kGllConvertFailed);
  dib.compression = 0;
  auto tooSmall = [](int, int, int, bool, bool) {
    static uint8_t one[4];
    return ImageDestination{one, 4, nullptr};
  };
  EXPECT_EQ(WriteDibToDestination(dib, tooSmall, false), kGllNoBuffer);
}

}  // namespace
}  // namespace bw
