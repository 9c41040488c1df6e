#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "common/sjis.h"
#include "graphics/surface/image_surface.h"
#include "lib/wgx/sample_picture.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/bmp_loader.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "support/image_test_rig.h"
#include "surface_fixture.h"

namespace bw {
namespace {

using Bytes = std::vector<uint8_t>;

using testing_surfaces::Pixel;

uint8_t Grey(uint32_t rgb) {
  return static_cast<uint8_t>(
      (77 * (rgb >> 16 & 0xFF) + 150 * (rgb >> 8 & 0xFF) + 29 * (rgb & 0xFF)) >> 8);
}

// The pictures every case loads: 5 x 3, so 8-bit rows are padded.
constexpr uint32_t kW = 5, kH = 3;

tools::WgxPicture Wgx(int depth) {
  tools::WgxPicture p;
  p.depth = depth;
  p.width = kW;
  p.height = kH;
  if (depth == 8) {
    for (uint32_t i = 0; i < kW * kH; ++i) p.pixels.push_back((i * 37) & 0xFF);
    for (uint32_t i = 0; i < 256; ++i) p.palette.push_back(0x00FFFFFFu & (i * 0x0A0B0Cu + 5));
  } else {
    p.pixels = tools::MakeBackdrop(kW, kH, 3);
  }
  return p;
}

// A game folder and a published manager holding the built-in loaders.
class SurfaceLoadTest : public test::GameFolderTest {
 protected:
  void SetUp() override {
    GameFolderTest::SetUp();
    RegisterBuiltinLoaders(manager_);
  }

  ImageLoaderManager manager_;
  ScopedGlobal<ImageLoaderManager> publishManager_{&manager_};
};

// What a loaded surface must hold for the picture, by the depth asked and the source's kind.
void ExpectPicture(const ImageSurface& s, const tools::WgxPicture& source, bool eightBit,
                   const std::string& what) {
  ASSERT_EQ(std::tuple(s.GetWidth(), s.GetHeight(), s.GetBitsPerPixel()),
            std::tuple(int(kW), int(kH), eightBit ? 8 : 32))
      << what;
  for (uint32_t y = 0; y < kH; ++y) {
    for (uint32_t x = 0; x < kW; ++x) {
      const uint32_t v = source.pixels[y * kW + x];
      if (!eightBit) {
        uint32_t want = source.depth == 8 ? source.palette[v] : v & 0x00FFFFFF;
        ASSERT_EQ(Pixel(s, int(x), int(y)) & 0x00FFFFFF, want) << what << " at " << x << "," << y;
      } else {
        uint8_t want = source.depth == 8 ? uint8_t(v) : Grey(v);
        ASSERT_EQ(s.GetRowPointer(int(y))[x], want) << what << " at " << x << "," << y;
      }
    }
  }
  if (eightBit && source.depth == 8) {
    EXPECT_EQ(0, std::memcmp(s.GetPalette(), source.palette.data(), 1024)) << what << " palette";
  }
}

// Packs are the file layer's business: loose files show the surface's part.
TEST_F(SurfaceLoadTest, LoadsByNameInEitherDepth) {
  for (int depth : {24, 8}) {
    const tools::WgxPicture source = Wgx(depth);
    const std::string file = "WGX" + std::to_string(depth) + ".WGX";
    Write("CG/" + file, tools::WriteWgx(source));
    for (bool eightBit : {false, true}) {
      const std::string name = "cg\\" + file;
      const std::string what = name + (eightBit ? " Load8" : " Load");
      ImageSurface s;
      int rc = eightBit ? s.Load8(name.c_str(), nullptr, 0, kImageDirtyList)
                        : s.Load(name.c_str(), nullptr, 0, kImageDirtyList);
      ASSERT_EQ(rc, 0) << what;
      ExpectPicture(s, source, eightBit, what);
      EXPECT_EQ(s.GetDirtyList()->Bounds(), (Rect{0, 0, int(kW), int(kH)})) << what;
    }
  }
}

TEST_F(SurfaceLoadTest, SavedPicturesLoadBackTheSame) {
  ImageSurface colour;
  ASSERT_EQ(colour.Create(int(kW), int(kH), 32, 0), 0);
  const auto backdrop = tools::MakeBackdrop(kW, kH, 9);
  for (uint32_t i = 0; i < kW * kH; ++i)
    std::memcpy(colour.GetRowPointer(int(i / kW)) + 4 * (i % kW), &backdrop[i], 4);
  ASSERT_EQ(colour.SaveImage("SHOT.BMP", 0, kBmpSave32), 0);
  ImageSurface back;
  ASSERT_EQ(back.Load("shot.bmp", nullptr, 0, 0), 0);
  for (uint32_t i = 0; i < kW * kH; ++i)
    ASSERT_EQ(Pixel(back, int(i % kW), int(i / kW)), backdrop[i]) << i;

  const auto indexed = Wgx(8);
  ImageSurface eight;
  const Bytes wgx8 = tools::WriteWgx(indexed);
  ASSERT_EQ(eight.Load8(nullptr, wgx8.data(), wgx8.size(), 0), 0);
  ASSERT_EQ(eight.SaveImage("EIGHT.BMP", kBitmapLoaderType, kBmpSaveColour), 0);
  ASSERT_EQ(back.Load8("eight.bmp", nullptr, 0, 0), 0);
  ExpectPicture(back, indexed, true, "8-bit round trip");
}

TEST_F(SurfaceLoadTest, AnswersEveryFailure) {
  Write("BAD.WGX", Bytes{'W', 'G', 'X', 24, 5, 0, 3, 0, 0x01});
  Bytes junk = {'J', 'U', 'N', 'K'};
  ImageSurface s;
  auto loaded = [&] { return s.GetPixels() != nullptr; };
  auto reset = [&] { ASSERT_EQ(s.Create(2, 2, 32, 0), 0); };

  reset();
  EXPECT_EQ(s.Load("missing.wgx", nullptr, 0, 0), kGllFileUnreadable);
  EXPECT_FALSE(loaded()) << "a failed load leaves the surface released";
  reset();
  EXPECT_EQ(s.Load("bad.wgx", nullptr, 0, 0), kGllFailed);
  EXPECT_FALSE(loaded());

  // The loader's buffer cannot be made: no depth but 8 and 32.
  ImageSurface::LoaderContext context;
  EXPECT_EQ(s.CreateForLoader(2, 2, 24, false, false, context).pixels.data(), nullptr);

  // A cached picture that cannot be converted.
  manager_.SetCacheBudget(16);
  Write("RLE.BMP", junk);
  DibImage rle;
  rle.width = 2, rle.height = 2, rle.bits = 8, rle.compression = 1, rle.pitch = 4;
  rle.pixels.resize(8);
  auto* packed = new DecodedImage(rle, 64);
  ASSERT_EQ(manager_.GetCache().Insert(packed, sjis::ToLower(folder_ + "RLE.BMP")), 0);
  packed->Release();  // the cache holds it now
  EXPECT_EQ(s.Load("rle.bmp", nullptr, 0, 0), kGllConvertFailed);
  EXPECT_FALSE(loaded());

  // Drawing and saving need pixels.
  ImageSurface none;
  EXPECT_EQ(none.DrawImageFile(nullptr, junk.data(), junk.size(), 0, 0, false),
            ImageSurface::kLoadNoPixels);
  EXPECT_EQ(none.SaveImage("X.BMP", 0, 0), ImageSurface::kLoadNoPixels);
  reset();
  EXPECT_EQ(s.DrawImageFile(nullptr, junk.data(), junk.size(), 0, 0, false), kGllFailed);

  // Without a manager nothing loads or saves.
  ScopedGlobal<ImageLoaderManager> noManager(nullptr);
  EXPECT_EQ(s.Load(nullptr, junk.data(), junk.size(), 0), ImageSurface::kLoadNoManager);
  EXPECT_FALSE(loaded());
}

}  // namespace
}  // namespace bw
