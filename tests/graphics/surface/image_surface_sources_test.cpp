// Where an image surface's pixels come from: picture files and the text renderers.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "common/sjis.h"
#include "graphics/device/direct3d_fixture.h"
#include "graphics/layers/text_layer.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/direct_draw_surface.h"
#include "graphics/surface/hva_data.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/rendered_text.h"
#include "graphics/surface/surface_fixture.h"
#include "graphics/text/text_test_support.h"
#include "lib/hva/hv_writer.h"
#include "lib/wgx/sample_picture.h"
#include "lib/wgx/wgx_writer.h"
#include "platform/trig_tables.h"
#include "resource/images/bmp_loader.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "support/image_test_rig.h"
#include "support/text_renderers.h"

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

tools::HvaFile File(std::vector<tools::HvaPictureEntry> pictures) {
  tools::HvaFile file;
  file.frames = {{0, 0, 0, 0}, {-1, 0, 0, 0}};
  file.pictures = std::move(pictures);
  return file;
}

using HvaDataTest = SurfaceLoadTest;

TEST_F(HvaDataTest, DecodesPicturesWithTheirKeysAndFlagsAndRefusesBadFiles) {
  const tools::WgxPicture colour = Wgx(24), indexed = Wgx(8);
  const Bytes hva = tools::WriteHva(File({{tools::WriteWgx(colour), 1, 1},  // key from pixel (1, 1)
                                          {tools::WriteWgx(colour), -2, 0},  // flagged, no key
                                          {tools::WriteWgx(colour), kW, 0},  // key pixel outside
                                          {tools::WriteWgx(indexed), 2, 0}}));
  HvaData data;
  ASSERT_EQ(data.Load(hva), kHvaLoaded);
  const auto& pictures = data.Pictures();
  ASSERT_EQ(pictures.size(), 4u);
  EXPECT_EQ(pictures[3].surface->GetBitsPerPixel(), 32);
  EXPECT_EQ(pictures[0].surface->GetColorKey() & 0xFFFFFF, colour.pixels[kW + 1] & 0xFFFFFF);
  EXPECT_TRUE(!pictures[0].flagged && pictures[1].flagged);
  EXPECT_EQ(pictures[1].surface->GetColorKey(), kNoColorKey);
  EXPECT_EQ(pictures[2].surface->GetColorKey(), kNoColorKey);
  EXPECT_EQ(pictures[3].surface->GetColorKey() & 0xFFFFFF, indexed.palette[indexed.pixels[2]])
      << "the colour at (2, 0)";

  // With the 8-bit flag a paletted picture stays 8-bit and its key is an index.
  ASSERT_EQ(data.Load(hva, true), kHvaLoaded);
  ASSERT_EQ(data.Pictures().size(), 4u);
  EXPECT_EQ(data.Pictures()[3].surface->GetBitsPerPixel(), 8);
  EXPECT_EQ(data.Pictures()[3].surface->GetColorKey(), indexed.pixels[2]);
  // One bad header, frame table and picture place each; the fuzz target replays the rest.
  const auto good = File({{tools::WriteWgx(Wgx(24)), 0, 0}});
  const size_t size = tools::WriteHva(good).size();
  tools::HvaFaults wrongMagic, manyFrames, farOffset;
  wrongMagic.wrongMagic = true;
  manyFrames.frameCount = 0x7FFFFFFF;
  farOffset.firstPictureOffset = static_cast<uint32_t>(size + 1);
  EXPECT_EQ(data.Load(tools::WriteHva(good, wrongMagic)), kHvaBadHeader);
  EXPECT_EQ(data.Load(tools::WriteHva(good, manyFrames)), kHvaBadFrames);
  EXPECT_EQ(data.Load(tools::WriteHva(good, farOffset)), kHvaBadSeek);
}

class ImageTextTest : public text_test::TextFixture, public testing_text::FakeFaceRenderers {};

TEST_F(ImageTextTest, CreateFromTextAnswersEachRefusal) {
  ImageSurface image;
  EXPECT_EQ(image.CreateFromText("", &gdi, kImageDibSection), ImageSurface::kTextEmpty);
  EXPECT_EQ(image.CreateFromText("AB", nullptr, kImageDibSection), ImageSurface::kTextNoRenderer);
  GdiTextRenderer fontless(testing_text::FakeSource());
  EXPECT_EQ(image.CreateFromText("AB", &fontless, kImageDibSection), ImageSurface::kTextNotCreated);
  testing_text::FailingTextRenderer failing;
  EXPECT_EQ(image.CreateFromText("AB", &failing, kImageDibSection), ImageSurface::kTextDrawFailed);
  EXPECT_EQ(image.GetPixels(), nullptr) << "the image that could not be drawn is released";
}

TEST_F(ImageTextTest, GdiTextIsKeyedAndATurnedOutlineTextSwapsTheSides) {
  ImageSurface image;
  ASSERT_EQ(image.CreateFromText("AB", &gdi, kImageDibSection), 0);
  EXPECT_EQ(Pixel(image, 2, 2) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(image.GetColorKey(), 0x00FF00u);
  EXPECT_TRUE(gdi.IsTransparentBack()) << "the renderer's background setting comes back";

  (void)outline.SetOrientation(900);
  ASSERT_EQ(image.CreateFromText("ABC", &outline, 0), 0);
  EXPECT_EQ(std::pair(image.GetWidth(), image.GetHeight()), std::pair(16, 24));
  int inked = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 16; ++x) inked += Pixel(image, x, y) != 0;
  EXPECT_GT(inked, 3 * 6 * 12) << "three turned glyph boxes inside the image";
}

TEST_F(ImageTextTest, DrawingMarksOnlyTheVisiblePartOfTheText) {
  ImageSurface image;
  ASSERT_EQ(image.Create(20, 20, 32, kImageDibSection | kImageDirtyList), 0);
  EXPECT_EQ(image.DrawTextWithRenderer(10, 12, "AB", &outline), 0);
  const Rect drawn = image.GetDirtyList()->Bounds();
  EXPECT_TRUE(drawn.left >= 10 && drawn.top >= 12 && drawn.right == 20 && drawn.bottom == 20);
  image.GetDirtyList()->Clear();
  EXPECT_EQ(image.DrawTextGdi(-4, 0, "AB", &gdi), 0);
  EXPECT_EQ(image.GetDirtyList()->Bounds(), (Rect{0, 0, 12, 16}));
  EXPECT_EQ(Pixel(image, 6, 2) & 0xFFFFFF, 0xFFFFFFu) << "the second glyph, through the context";

  EXPECT_EQ(image.DrawTextGdi(0, 0, "AB", &outline), ImageSurface::kTextNoRenderer);
  EXPECT_EQ(image.DrawTextOutline(0, 0, "AB", &gdi), ImageSurface::kTextNoRenderer);
  testing_text::FailingTextRenderer failing;
  EXPECT_EQ(image.DrawTextWithRenderer(0, 0, "AB", &failing),
            kGdiDrawFailed + ImageSurface::kTextNoRenderer);
}

class TextSurfaceTest : public testing_devices::Direct3DTarget,
                        public testing_text::FakeFaceRenderers {
 protected:
  void SetUp() override {
    Direct3DTarget::SetUp();
    outline.SetTextColor(255, 0, 0);
    ASSERT_EQ(image.Create(32, 32, 32, kImageDibSection | kImageDirtyList), 0);
  }
  static uint32_t Rgb(const DirectDrawImageSurface& s, int x, int y) {
    return testing_devices::Rgb(*s.GetDirectDrawSurface(), x, y);
  }
  uint32_t Shown(int x, int y) const { return Pixel(image, x, y) & 0xFFFFFF; }
  ImageSurface image;
};

TEST_F(TextSurfaceTest, DrawsItsTextAtTheMeasuredSizeAgainAfterALossOrRefuses) {
  DirectDrawSurface surface;
  ASSERT_EQ(surface.Load("AB", &gdi), 0);
  EXPECT_TRUE(surface.GetWidth() == 16 && surface.GetHeight() == 16);
  EXPECT_EQ(Rgb(surface, 2, 2), 0xFFFFFFu);
  // A lost surface draws its text again, with its key.
  ASSERT_EQ(surface.SetColorKeyRgb(0, 0, 0), 0);
  surface.GetDirectDrawSurface()->SetLost(true);
  EXPECT_EQ(surface.Restore(1), 0);
  EXPECT_EQ(Rgb(surface, 2, 2), 0xFFFFFFu);
  EXPECT_EQ(surface.GetColorKeyRgb(), 0u) << "the key is set again";
  EXPECT_EQ(surface.Load("AB", nullptr), kTextRenderNoRenderer + kTextSurfaceNoMemory);
  testing_text::FailingTextRenderer failing;
  EXPECT_EQ(surface.Load("AB", &failing), kTextRenderDrawFailed + kTextSurfaceNoMemory);
  EXPECT_EQ(surface.GetDirectDrawSurface(), nullptr);
}

TEST_F(TextSurfaceTest, ImagesCopyFromTextSurfacesAndTextLayers) {
  DirectDrawSurface surface;
  ASSERT_EQ(surface.Load("AB", &gdi), 0);
  EXPECT_EQ(image.BlitFromObject(&surface, 4, 4, nullptr), ImageSurface::kOpDone);
  EXPECT_EQ(Shown(6, 6), 0xFFFFFFu);
  EXPECT_EQ(image.GetDirtyList()->Bounds(), (Rect{4, 4, 20, 20}));

  TextLayer layer;
  ASSERT_EQ(layer.SetText(kFormat8888, "AB", &outline), 0);
  const Size doubled{32, 32};
  const Rect firstRows{0, 0, 16, 8};
  EXPECT_EQ(image.StretchBlitFromObject(&layer, &doubled, 0, 0, &firstRows), ImageSurface::kOpDone);
  EXPECT_EQ(Shown(4, 8), 0xFF0000u) << "layer pixel (2, 2), stretched";
  EXPECT_EQ(Shown(4, 0), 0u) << "layer row 0 is above the glyph";
}

}  // namespace
}  // namespace bw
