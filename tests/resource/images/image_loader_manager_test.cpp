// The image loaders' manager, the DIB conversion pictures pass through, the image cache, and the
// Susie plug-ins bridged in as archives and image loaders.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/trust.h"
#include "lib/bmp/bmp_builder.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/decoded_image.h"
#include "resource/images/image_cache.h"
#include "resource/images/image_loader_manager.h"
#include "resource/images/susie_bridge.h"
#include "support/image_test_rig.h"

namespace bw {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Wgx24(uint32_t width, uint32_t height, int16_t offsetX = 0, int16_t offsetY = 0) {
  tools::WgxPicture picture{24, width, height, {}, {}, offsetX, offsetY, {}};
  for (uint32_t i = 0; i < width * height; ++i) picture.pixels.push_back(0x010203u * (i + 1));
  return tools::WriteWgx(picture, {offsetX || offsetY ? 1 : 0, {}});
}

// A 2 x 2 8-bit BMP (bottom-up: the bottom row first) with a 4-entry palette.
Bytes Bmp8() {
  const std::vector<uint32_t> palette = {0x00112233, 0x00445566, 0x00778899, 0x00AABBCC};
  return tools::BuildBmp(
      {2, 2, 8, 0, 40, 4, palette, {}, tools::PackIndexRows({{2, 3}, {0, 1}}, 8), {}});
}

class ImageLoaderManagerTest : public test::GameFolderTest {
 protected:
  void SetUp() override {
    GameFolderTest::SetUp();
    RegisterBuiltinLoaders(manager_);
  }
  ImageLoaderManager manager_;
};

TEST_F(ImageLoaderManagerTest, LoadsFilesIntoDestinationsWithOffsetsAndWeighsCachedOnes) {
  Write("SYS/BG.WGX", Wgx24(3, 2, -10, 7));
  test::RecordingDestination dest;
  ImagePlacement placement;
  ASSERT_EQ(manager_.LoadFromFile("sys\\bg.wgx", dest.Target(), &placement), kGllDone);
  EXPECT_EQ(std::tuple(dest.width, dest.bits, dest.Pixel32(1, 1)),
            std::tuple(3, 32, 0x010203u * 5));
  EXPECT_EQ(std::tuple(placement.offsetX, placement.offsetY), std::tuple(-10, 7));

  // A name whose extension lies still loads by content.
  Write("SYS/REAL_BMP.WGX", Bmp8());
  test::RecordingDestination eight;
  ASSERT_EQ(manager_.LoadFromFile("SYS\\REAL_BMP.WGX", eight.Target(true), nullptr), kGllDone);
  EXPECT_EQ(eight.bits, 8);
  EXPECT_EQ(eight.pixels, (Bytes{0, 1, 2, 3})) << "rows top-down";

  // A picture that is not to be had is named on standard error, once.
  testing::internal::CaptureStderr();
  test::RecordingDestination missing;
  EXPECT_EQ(manager_.LoadFromFile("SYS\\NOT_THERE.WGX", missing.Target(), nullptr),
            kGllFileUnreadable);
  EXPECT_EQ(manager_.LoadImage("sys\\not_there.wgx", true), nullptr);
  Write("SYS/JUNK.DAT", Bytes{1, 2, 3, 4, 5});
  test::RecordingDestination junk;
  EXPECT_EQ(manager_.LoadFromFile("SYS\\JUNK.DAT", junk.Target(), nullptr), kGllFailed);
  EXPECT_EQ(junk.releases, 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "brimwold: picture SYS\\NOT_THERE.WGX: not found in the game's folder or its packs\n"
            "brimwold: picture SYS\\JUNK.DAT: none of the picture loaders reads it\n");

  // A cached picture weighs its info block and rows; one entry for every spelling is the plug-in
  // picture's test.
  Write("SYS/A.WGX", Wgx24(4, 4));
  manager_.SetCacheBudget(16);
  DecodedImage* image = manager_.LoadImage("SYS\\A.WGX", true);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->GetByteSize(), 44u + 4 * 12);
  image->Release();
}

// What is saved loading back, and a refusal of the loader's own, are the image surface's tests.
TEST_F(ImageLoaderManagerTest, SavesThroughTheLoaderThatCanAndKeepsOldFilesOnFailure) {
  const uint8_t pixels[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};  // 2 x 2 at 24 bits, pitch 6
  ImageSaveSource source{0, pixels, 2, 2, 24, 6, nullptr};
  ASSERT_EQ(manager_.SaveImage("SAVE\\..\\SHOT.BMP", source, 0), kGllDone);
  const std::string saved = test::ReadFile(dir_.path() / "SHOT.BMP");
  ASSERT_EQ(saved.size(), 54u + 16);

  EXPECT_EQ(manager_.SaveImage("SHOT.WGX", source, 0), kSaveNoLoader);
  EXPECT_EQ(manager_.SaveImage("SHOT.BMP", source, kWgxLoaderType), kGllNotSupported);
  EXPECT_EQ(test::ReadFile(dir_.path() / "SHOT.BMP"), saved);
  EXPECT_EQ(manager_.SaveImage("NO_SUCH_FOLDER\\SHOT.BMP", source, 0), kGllFileUnreadable);
}

DibImage Dib(int32_t width, int32_t height, uint16_t bits, std::vector<uint8_t> pixels,
             std::vector<uint32_t> palette = {}) {
  DibImage dib;
  dib.width = width, dib.height = height, dib.bits = bits;
  dib.pitch = static_cast<uint32_t>(DibPitch(static_cast<uint32_t>(width), bits));
  dib.pixels = std::move(pixels), dib.palette = std::move(palette);
  return dib;
}

// Asked for 8 bits, every paletted depth gives one index a pixel and its palette; other depths
// and requests without 8 bits give 32-bit pixels.
TEST(DibConversionTest, PalettedPicturesOfEveryDepthGiveIndices) {
  const std::vector<uint32_t> two = {0x00102030, 0x00405060};
  const std::vector<uint32_t> sixteen = {0, 0x00010203, 0, 0, 0, 0, 0, 0,
                                         0, 0,          0, 0, 0, 0, 0, 0x00F0E0D0};
  struct Case {
    const char* what;
    DibImage dib;
    bool eightBit;
    int bits;
    std::vector<uint8_t> pixels;  // top row first
  };
  const Case cases[] = {
      // 3 x 2 at 1 bit, bottom-up: file rows 0b101 and 0b010.
      {"1 bit", Dib(3, 2, 1, {0x40, 0, 0, 0, 0xA0, 0, 0, 0}, two), true, 8, {1, 0, 1, 0, 1, 0}},
      // 3 x 1 at 4 bits, indices 15, 1, 0.
      {"4 bits", Dib(3, 1, 4, {0xF1, 0x00, 0, 0}, sixteen), true, 8, {15, 1, 0}},
      {"4 bits, top-down", Dib(3, -1, 4, {0x10, 0xF0, 0, 0}, sixteen), true, 8, {1, 0, 15}},
  };
  for (const Case& c : cases) {
    test::RecordingDestination dest;
    ASSERT_EQ(WriteDibToDestination(c.dib, dest.Target(c.eightBit).destination, c.eightBit),
              kGllDone)
        << c.what;
    EXPECT_EQ(dest.bits, c.bits) << c.what;
    EXPECT_EQ(dest.pixels, c.pixels) << c.what;
    EXPECT_TRUE(std::equal(c.dib.palette.begin(), c.dib.palette.end(), dest.palette.begin()))
        << c.what << ": the palette goes along";
  }
  test::RecordingDestination wide;
  ASSERT_EQ(WriteDibToDestination(cases[1].dib, wide.Target().destination, false), kGllDone);
  EXPECT_EQ(wide.bits, 32) << "without the 8-bit request";
  EXPECT_EQ(wide.Pixel32(0, 0), 0x00F0E0D0u);

  // A paletted picture without palette entries leaves the destination's own palette alone.
  test::RecordingDestination bare;
  bool askedForPalette = true;
  auto destination = [&](int w, int h, int b, bool alpha, bool wantsPalette) {
    askedForPalette = wantsPalette;
    return bare.Target(true).destination(w, h, b, alpha, wantsPalette);
  };
  ASSERT_EQ(WriteDibToDestination(Dib(2, 1, 8, {7, 9, 0, 0}), destination, true), kGllDone);
  EXPECT_FALSE(askedForPalette);
  EXPECT_EQ(bare.pixels, (Bytes{7, 9}));
}

// Compressed rows are the image surface's failed load of a cached picture.
TEST(DibConversionTest, RefusesSmallDestinations) {
  DibImage dib = Dib(2, 1, 8, {0, 0, 0, 0});
  auto tooSmall = [](int, int, int, bool, bool) {
    static uint8_t one[4];
    return ImageDestination{one, 4, nullptr};
  };
  EXPECT_EQ(WriteDibToDestination(dib, tooSmall, false), kGllNoBuffer);
}

constexpr uint64_t kMb = 1048576;

// A picture of a given byte size that tells when it dies.
class TrackedImage : public DecodedImage {
 public:
  TrackedImage(uint32_t bytes, int* deaths) : DecodedImage({}, bytes), deaths_(deaths) {}
  ~TrackedImage() override { ++*deaths_; }

 private:
  int* deaths_;
};

TEST(ImageCacheTest, EvictsLeastRecentlyUsedFirstWhenOverBudget) {
  using Keys = std::vector<std::string>;
  int deaths = 0;
  ImageCache cache;
  // A new picture handed to the cache; the maker's own reference is dropped at once, so the
  // cache's is the only one left.
  auto put = [&](const std::string& key, uint32_t bytes) {
    auto* image = new TrackedImage(bytes, &deaths);
    int rc = cache.Insert(image, key);
    image->Release();
    return rc;
  };
  cache.SetBudget(300);
  ASSERT_EQ(put("a", 100), kCacheInserted);
  ASSERT_EQ(put("b", 100), kCacheInserted);
  ASSERT_EQ(put("c", 100), kCacheInserted);
  // A hit makes "a" the most recent; "b" is then the oldest.
  DecodedImage* a = cache.Find("a");
  ASSERT_NE(a, nullptr);
  a->Release();
  EXPECT_EQ(cache.GetKeysByRecency(), (Keys{"a", "c", "b"}));

  ASSERT_EQ(put("d", 150), kCacheInserted);
  EXPECT_EQ(cache.GetKeysByRecency(), (Keys{"d", "a"}));
  EXPECT_EQ(cache.GetUsedBytes(), 250u);
  EXPECT_EQ(deaths, 2) << "evicted pictures lose the cache's reference";

  // A name already cached only moves to the front; the new picture is not kept.
  auto* again = new TrackedImage(10, &deaths);
  EXPECT_EQ(cache.Insert(again, "a"), kCacheAlreadyCached);
  EXPECT_EQ(cache.GetKeysByRecency(), (Keys{"a", "d"}));
  again->Release();
  EXPECT_EQ(deaths, 3);

  EXPECT_EQ(cache.EvictLeastRecent(5), 2u);
  EXPECT_EQ(cache.GetUsedBytes(), 0u);
}

TEST(CacheBudgetTest, FollowsPhysicalMemoryIn64Bits) {
  // {asked MB (-1: by memory), physical MB, budget MB}; capped at half the memory; 6 GB of a
  // 64 GB machine is past 32 bits both in megabytes x 2^20 and as the budget.
  for (auto [asked, memory, budget] : {std::tuple(-1, 96, 0),
                                       {-1, 128, 10},
                                       {-1, 1024, 80},
                                       {1000, 256, 128},
                                       {0, 256, 0},
                                       {6144, 64 * 1024, 6144}}) {
    EXPECT_EQ(ComputeCacheBudget(asked, memory * kMb), budget * kMb) << asked << " of " << memory;
  }
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

class SusieImageTest : public SusieBridgeTest {
 protected:
  void SetUp() override {
    SusieBridgeTest::SetUp();
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
