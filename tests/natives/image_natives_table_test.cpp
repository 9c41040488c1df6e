
#include <algorithm>
#include <functional>
#include <vector>

#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"
#include "native_rig.h"
#include "natives/image_natives.h"
#include "natives/native_constants.h"
#include "seeded_image.h"

namespace bw {
namespace {

constexpr uint32_t kOff = 65535;

constexpr uint32_t W(int32_t v) {
  return uint32_t(v);
}
constexpr Rect kRect{3, 2, 15, 11};
// Stand-ins in a row's words for the handles of its pictures.
constexpr uint32_t kTarget = kSeedCopy, kOther = 0xFFFFFF02, kMask = 0xFFFFFF03;

// The pictures a row's direct call reaches besides its target.
struct Others {
  ImageSurface& other;  // 32-bit
  ImageSurface& mask;   // 8-bit
};

struct SingleCase {
  uint32_t number;
  int bits;  // of the target
  std::vector<uint32_t> words;
  std::function<int(ImageSurface&, const Others&)> direct;
  bool changes = true;  // the direct call changes the target's bytes (the built-in pixel
                        // library refuses its own further operations)
};

// clang-format off
const std::vector<SingleCase>& SingleCases() {
  static const std::vector<SingleCase> cases = {
      {Native::kImageFill, 32, {kTarget, 0x80402010, 3, 2, 15, 11}, [](ImageSurface& t, const Others&) { return int(t.Fill(0x80402010, &kRect)); }},
      {Native::kImageFill, 32, {kTarget, 0x80402010, kOff}, [](ImageSurface& t, const Others&) { return int(t.Fill(0x80402010, nullptr)); }},
      {Native::kImageFillKeepAlpha, 32, {kTarget, 0x1C0, 0x20, 0x90, 3, 2, 15, 11}, [](ImageSurface& t, const Others&) { return int(t.FillColorKeepAlpha(0xC0, 0x20, 0x90, &kRect)); }},
      {Native::kImageLibOpByte, 32, {kTarget, 77, 3, 2, 15, 11}, [](ImageSurface& t, const Others&) { return t.LibOpByte(77, &kRect); }, false},
      {Native::kImageSetAlpha, 32, {kTarget, 0x140}, [](ImageSurface& t, const Others&) {
         for (int32_t y = 0; y < t.GetHeight(); ++y)
           for (int32_t x = 0; x < t.GetWidth(); ++x) (void)t.SetPixel(x, y, (t.GetPixel(x, y) & 0xFFFFFFu) | 0x40000000u);
         return 0; }},
      {Native::kImageSetAlpha, 8, {kTarget, 0x40}, [](ImageSurface&, const Others&) { return 2; }, false},
      {Native::kImageFindPaletteIndex, 8, {kTarget, 0x110, 0x80, 0x30}, [](ImageSurface& t, const Others&) { return t.FindPaletteIndex(0x10, 0x80, 0x30); }, false},
      {Native::kImageCopyPalette, 8, {kTarget, kMask}, [](ImageSurface& t, const Others& o) { return t.CopyPaletteFrom(&o.mask) & 0xFF; }},
      {Native::kImageSetPaletteEntry, 8, {kTarget, 0x107, 0x123456, 1}, [](ImageSurface& t, const Others&) { return int(t.SetPaletteEntry(7, 0x123456, true)); }},
      {Native::kImageSetBrightness, 32, {kTarget, 0x1012C, 3, 2, 15, 11}, [](ImageSurface& t, const Others&) { return t.SetBrightness(300, &kRect); }},
      {Native::kImageSetBrightness, 32, {kTarget, 90, kOff}, [](ImageSurface& t, const Others&) { return t.SetBrightness(90, nullptr); }},
      {Native::kImageFillColorBlend, 32, {kTarget, 0x1F0, 0x40, 0x10, 0x1A0, 3, 2, 15, 11}, [](ImageSurface& t, const Others&) { return t.FillColorBlend(0xF0, 0x40, 0x10, 0xA0, &kRect); }},
      {Native::kImageAddColor, 32, {kTarget, 0x130, 0x05, 0x60, 3, 2, 15, 11}, [](ImageSurface& t, const Others&) { return t.AddColor(0x30, 0x05, 0x60, &kRect); }},
      {Native::kImageSubtractColor, 32, {kTarget, 0x30, 0x105, 0x60, kOff}, [](ImageSurface& t, const Others&) { return t.SubtractColor(0x30, 0x05, 0x60, nullptr); }},
      {Native::kImageLibOpLevel, 32, {kTarget, 0x00FF8040, 0x1C0, 1, 3, 2, 15, 11}, [](ImageSurface& t, const Others&) { return t.LibOpLevel(0x00FF8040, 0xC0, 1, &kRect); }, false},
      {Native::kImageMaskColorFill, 32, {1, kTarget, kMask, 0x1C8, 0x20, 0xE0, 0x70, 4, 3, 1, 2, 9, 8}, [](ImageSurface& t, const Others& o) { const Rect r{1, 2, 9, 8}; return t.MaskColorFill(1, &o.mask, 0xC8, 0x20, 0xE0, 0x70, 4, 3, &r); }},
      {Native::kImageMaskColorFill, 32, {0, kTarget, kMask, 0xFF, 0x20, 0xE0, 0x70, kOff}, [](ImageSurface& t, const Others& o) { return t.MaskColorFill(0, &o.mask, 0xFF, 0x20, 0xE0, 0x70, 0, 0, nullptr); }},
      {Native::kImageGreyscale, 32, {kTarget, 3, 2, 15, 11}, [](ImageSurface& t, const Others&) { return t.Greyscale(&kRect); }},
      {Native::kImageGreyscale, 8, {kTarget, kOff}, [](ImageSurface& t, const Others&) { return t.Greyscale(nullptr); }},
      {Native::kImageColorTone, 32, {kTarget, 0x100C0, 100, 200, W(-20), 30, 5, 3, 2, 15, 11}, [](ImageSurface& t, const Others&) { return t.ColorTone(0xC0, 100, 200, -20, 30, 5, &kRect); }},
      {Native::kImageInvert, 32, {kTarget, 0x100, 3, 2, 15, 11}, [](ImageSurface& t, const Others&) { return t.Invert(0, &kRect); }},
      {Native::kImageInvert, 32, {kTarget, 2, kOff}, [](ImageSurface& t, const Others&) { return t.Invert(2, nullptr); }},
      {Native::kImageBlur, 32, {kTarget, 0x101, 3, 2, 15, 11}, [](ImageSurface& t, const Others&) { return t.Blur(1, &kRect); }},
      {Native::kImageMosaic, 32, {kTarget, 3, 0x101, 3, 2, 15, 11}, [](ImageSurface& t, const Others&) { return t.Mosaic(3, 1, &kRect); }},
      {Native::kImageApplyAlphaGradient, 32, {kTarget, 1, 0x110, 0x20, 0x30, 0xF0, 0xE0, 0x1D0, 3, 2, 15, 11}, [](ImageSurface& t, const Others&) { return t.FillGradient(1, 0x102030, 0xF0E0D0, &kRect); }},
      {Native::kImageScaleAlpha, 32, {kTarget, 0x10140, 3, 2, 15, 11}, [](ImageSurface& t, const Others&) { return int(t.ScaleAlpha(0x140, &kRect)); }},
      {Native::kImageToneAlpha, 32, {kTarget, 200, W(-40), 3, 2, 15, 11}, [](ImageSurface& t, const Others&) { return int(t.ToneAlpha(200, -40, &kRect)); }},
      {Native::kImageLibFilterA, 32, {kTarget, 3, 2, 15, 11}, [](ImageSurface& t, const Others&) { return t.LibFilterA(&kRect); }, false},
      {Native::kImageLibFilterB, 32, {kTarget, kOff}, [](ImageSurface& t, const Others&) { return t.LibFilterB(nullptr); }, false},
      {Native::kImageLibFilterChoice, 32, {kTarget, 1}, [](ImageSurface& t, const Others&) { return int(t.LibFilterChoice(true)); }, false},
      {Native::kImageLibFilterC, 32, {kTarget, 0x30}, [](ImageSurface& t, const Others&) { return int(t.LibFilterC(0x30)); }, false},
      {Native::kImageLibFilterD, 32, {kTarget, 0x50}, [](ImageSurface& t, const Others&) { return int(t.LibFilterD(0x50)); }, false},
      {Native::kImageLibBlendA, 32, {kTarget, kOther, kTarget, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, [](ImageSurface& t, const Others& o) { const uint32_t w[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}; return t.LibBlendA(&o.other, &t, w); }, false},
      {Native::kImageLibBlendB, 32, {kTarget, kOther, kTarget, kMask, kOff}, [](ImageSurface& t, const Others& o) { const uint32_t w[13] = {}; return t.LibBlendB(&o.other, &t, &o.mask, w); }, false},
  };
  return cases;
}
// clang-format on

class SingleImageTable : public testing::Test {
 protected:
  void SetUp() override {
    BuildBlendTables();
    Seed(other, 20, 14, 32, 5);
    Seed(mask, 12, 10, 8, 6);
  }

  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  NativeRig rig;
  ImageSurface other, mask;
};

// Every single-image row on one seeded copy through the native and on another by the direct
// call: the same answer and the same bytes, so each word lands where the operation wants it.
TEST_F(SingleImageTable, EveryRowActsAsTheDirectCallWithItsWords) {
  const Others others{other, mask};
  for (const SingleCase& c : SingleCases()) {
    SCOPED_TRACE(testing::Message() << "native " << c.number << " on " << c.bits << " bits");
    ImageSurface seed;
    Seed(seed, 20, 14, c.bits, c.number);
    std::vector<uint32_t> words = c.words;
    std::replace(words.begin(), words.end(), kOther, rig.Give(&other));
    std::replace(words.begin(), words.end(), kMask, rig.Give(&mask));
    auto direct = [&](ImageSurface& t) { return c.direct(t, others); };
    EXPECT_EQ(ExpectSameAsDirect(rig, seed, c.number, words, direct) != Bytes(seed), c.changes)
        << "the row must show its words";
  }
}

// Without a picture behind the target handle each row answers its null code and acts on
// nothing else.
TEST_F(SingleImageTable, ANullTargetAnswersItsNullCode) {
  for (const SingleCase& c : SingleCases()) {
    std::vector<uint32_t> words = c.words;
    std::replace(words.begin(), words.end(), kTarget, 0u);
    std::replace(words.begin(), words.end(), kOther, rig.Give(&other));
    std::replace(words.begin(), words.end(), kMask, rig.Give(&mask));
    const int32_t want = c.number == Native::kImageApplyAlphaGradient ? kImageNoSurface : -1;
    EXPECT_EQ(rig.CallAt(c.number, rig.Words(words)).result, want) << "native " << c.number;
  }
}

// A canvas layer's composition, a picture and a listed sprite behind script handles.
struct ListScene {
  CompositionLayer& layer;
  SurfaceLayer& holder;
  ImageSurface& image;
  DisplayObject& object;
};

struct ListCase {
  uint32_t number;
  std::vector<uint32_t> words;  // kTarget: the canvas, kOther: the picture, kMask: the sprite
  int32_t answer;
  std::function<void(const ListScene&)> check;
  Rect dirty{};  // marked on the layer before the call
};

// clang-format off
const std::vector<ListCase>& ListCases() {
  static const std::vector<ListCase> cases = {
      {Native::kCompositionSetBackgroundImage, {kTarget, kOther, 2, 3, 1}, 1, [](const ListScene& s) {
         ImageSurface* picture = nullptr; int32_t x = 0, y = 0;
         s.layer.GetBackground(&picture, &x, &y, nullptr, nullptr, nullptr);
         EXPECT_EQ(picture, &s.image); EXPECT_EQ(std::pair(x, y), std::pair(2, 3)); }},
      {Native::kCompositionSetBackgroundColor, {kTarget, 0x00123456, 0}, 1, [](const ListScene& s) { EXPECT_EQ(s.layer.GetFillColor() & 0xFFFFFF, 0x123456u); }},
      {Native::kCompositionInvalidateAll, {kTarget}, 0, [](const ListScene& s) { EXPECT_EQ(s.layer.Dirty().Bounds(), (Rect{0, 0, 40, 30})); }},
      {Native::kCompositionInvalidateAllB, {kTarget}, 0, [](const ListScene& s) { EXPECT_EQ(s.layer.Dirty().Bounds(), (Rect{0, 0, 40, 30})); }},
      {Native::kCompositionInvalidateRect, {kTarget, 4, 5, 9, 7}, 1, [](const ListScene& s) {
         EXPECT_EQ(s.layer.Dirty().Count(), 1); EXPECT_EQ(s.layer.Dirty().Bounds(), (Rect{4, 5, 9, 7})); }},
      {Native::kCompositionSetBackgroundStretch, {kTarget, 1, 2, 30, 20, 0, 1, 6, 5}, 0, [](const ListScene& s) {
         Rect view{}; EXPECT_TRUE(s.layer.GetStretchView(&view)); EXPECT_EQ(view, (Rect{0, 1, 6, 5})); }},
      {Native::kCompositionSetBackgroundRotation, {kTarget, 128, 5, 6, kMask + 1}, 0, [](const ListScene& s) {
         int32_t x = 0, y = 0; int angle = 0; double scale = 0;
         EXPECT_TRUE(s.layer.GetRotation(&x, &y, &angle, &scale));
         EXPECT_EQ(std::tuple(x, y, angle, scale), std::tuple(5, 6, 128, 1.5)); }},
      {Native::kImageHolderSetFlag, {kTarget, 0}, 1, [](const ListScene& s) { EXPECT_FALSE(s.holder.IsComposing()); }},
      {Native::kCompositionRedrawDirty, {kTarget}, 0, [](const ListScene& s) { EXPECT_EQ(s.layer.Dirty().Count(), 0); }, {2, 2, 8, 8}},
      {Native::kContainerSetFlags, {kTarget, 0x101, 0x200}, 0, [](const ListScene& s) {
         EXPECT_TRUE(s.layer.SkipsOwn()); EXPECT_FALSE(s.layer.SkipsSecond()) << "a byte"; }},
      {Native::kDisplaySetGlobalFlag, {0x100}, 0, [](const ListScene&) { EXPECT_FALSE(BandedRedraw()) << "a byte"; }},
      {Native::kDisplayObjectSetVisible, {kMask, 0}, 0, [](const ListScene& s) { EXPECT_FALSE(s.object.IsVisible()); }},
      {Native::kDisplayObjectMarkChanged, {kMask}, 1, [](const ListScene& s) { EXPECT_TRUE(s.object.IsChanged()); }},
      {Native::kDisplayObjectSetRect, {kMask, 3, 4, 13, 10}, 1, [](const ListScene& s) {
         Rect r{}; s.object.GetRect(&r); EXPECT_EQ(r, (Rect{3, 4, 13, 10})); }},
      {Native::kDisplayObjectSetBlendMode, {kMask, 0x102}, 0, [](const ListScene& s) { EXPECT_EQ(s.object.GetDrawMode(), 2); }},
      {Native::kDisplayObjectSetAlpha, {kMask, 0x180}, 0, [](const ListScene& s) { EXPECT_EQ(s.object.GetAlpha(), 0x80); }},
  };
  return cases;
}
// clang-format on

// Each composition and display-object row on a fresh scene: its answer and the state it leaves
// where the layer or the object shows it; a null container or object is refused.
TEST(ListTable, EveryRowReachesTheLayerOrObjectItNames) {
  BuildBlendTables();
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  for (const ListCase& c : ListCases()) {
    SCOPED_TRACE(testing::Message() << "native " << c.number);
    DisplayManager display;
    ScopedGlobal<DisplayManager> published{&display};
    NativeRig rig;
    CanvasLayer* canvas = nullptr;
    ImageSurface* image = nullptr;
    ASSERT_EQ(display.CreateCanvasLayer(&canvas, 40, 30, 32, kLayerComposedWithUpperList), 0);
    ASSERT_EQ(display.CreateImageSurface(&image, 16, 12, 32, 0), 0);
    (void)image->Fill(0xFF336699u, nullptr);
    const uint32_t imageHandle = rig.Give(image);
    const int32_t sprite = rig.Answer(Native::kSpriteCreate, {imageHandle, kOff, 0, 0, 0, 1, 1});
    DisplayObject* object =
        rig.Handles().Get<DisplayObject>(W(sprite), ScriptObjectType::kDisplayObject);
    ASSERT_NE(object, nullptr);
    CompositionLayer& layer = *canvas->GetCompositionLayer();
    ASSERT_EQ(layer.GetList().Add(object, 1, 0), kAddDone);
    object->SetChanged(false);
    ASSERT_TRUE(layer.SetBackgroundImage(image, 0, 0, false));
    layer.DiscardDirty();
    if (!c.dirty.IsEmpty()) layer.InvalidateClippedRect(c.dirty);
    const bool wasBanded = BandedRedraw();
    std::vector<uint32_t> words = c.words;
    std::replace(words.begin(), words.end(), kTarget, rig.Give(canvas));
    std::replace(words.begin(), words.end(), kOther, imageHandle);
    std::replace(words.begin(), words.end(), kMask, W(sprite));
    std::replace(words.begin(), words.end(), kMask + 1, rig.Text("1.5"));
    EXPECT_EQ(rig.CallAt(c.number, rig.Words(words)).result, c.answer);
    c.check(ListScene{layer, *canvas, *image, *object});
    SetBandedRedraw(wasBanded);
    if (c.number == Native::kDisplaySetGlobalFlag) continue;
    words[0] = 0;
    int32_t refused = -1;
    if (c.number >= Native::kDisplayObjectSetVisible) refused = c.number >= 437 ? -2 : 0;
    EXPECT_EQ(rig.CallAt(c.number, rig.Words(words)).result, refused) << "without its object";
  }
}

}  // namespace
}  // namespace bw
