#include "natives/image_transfer.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>
#include <vector>

#include "common/global.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/quad_mapper.h"
#include "graphics/surface/sprite.h"
#include "native_rig.h"
#include "platform/trig_tables.h"

namespace bw {
namespace {

constexpr uint32_t kOff = kTransferSwitch;
constexpr int32_t kX = 3, kY = 4;
constexpr Size kSize{20, 15};
constexpr Rect kRect{2, 1, 14, 10};

// A picture of seeded bytes (8-bit pictures get a seeded palette).
void Seed(ImageSurface& image, int32_t width, int32_t height, int bits, uint32_t seed) {
  ASSERT_EQ(image.Create(width, height, bits, kImagePlain), 0);
  std::mt19937 random(seed);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = image.GetRowPointer(y);
    for (int32_t x = 0; x < width * bits / 8; ++x) row[x] = uint8_t(random());
  }
  if (bits == 8) {
    uint32_t palette[256];
    for (uint32_t& entry : palette) entry = random() & 0x00FFFFFFu;
    image.SetPalette(palette, 256, 0);
  }
}

std::vector<uint8_t> Bytes(const ImageSurface& image) {
  std::vector<uint8_t> out;
  const int32_t rowBytes = image.GetWidth() * image.GetBitsPerPixel() / 8;
  for (int32_t y = 0; y < image.GetHeight(); ++y) {
    const uint8_t* row = image.GetRowPointer(y);
    out.insert(out.end(), row, row + rowBytes);
  }
  return out;
}

// What the decoder must hand the surface: the row's values with both switches applied.
using Direct = std::function<int(ImageSurface& t, const Surface* s, int32_t x, int32_t y,
                                 const Size* size, const Rect* rect)>;
struct Case {
  uint32_t number;
  std::vector<uint32_t> before, after;  // values ahead of and behind the images
  Direct direct;
};

class ImageTransfers : public testing::Test {
 protected:
  void SetUp() override {
    BuildBlendTables();
    ruleHandle = Give(rule);
    Seed(rule, 24, 24, 8, 99);
  }
  uint32_t Give(Surface& s) { return rig.host->Handles().HandleOf(ScriptObjectType::kSurface, &s); }
  NativeAnswer Run(uint32_t number, const std::vector<uint32_t>& words) {
    const uint32_t args = rig.Block(uint32_t(words.size() * 4));
    for (size_t k = 0; k < words.size(); ++k)
      rig.Memory().Write32(args + 4 * uint32_t(k), words[k]);
    for (const NativeFamily& family : AllNativeFamilies()) {
      for (const NativeEntry& e : family.entries) {
        if (e.number == number) return rig.CallAt(number, args);
      }
    }
    ADD_FAILURE() << number;
    return {};
  }
  std::vector<Case> Cases();

  TrigTables trig;
  ScopedGlobal<TrigTables> publishedTrig{&trig};
  NativeRig rig;
  ImageSurface rule;
  uint32_t ruleHandle = 0;
};

std::vector<Case> ImageTransfers::Cases() {
  using S = const Surface*;
  using Z = const Size*;
  using R = const Rect*;
  return {
      {333,
       {},
       {},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) {
         return t.Blit(s, x, y, r, false);
       }},
      {334,
       {},
       {},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z z, R r) {
         return t.StretchBlit(s, z, x, y, r, false);
       }},
      {335,
       {},
       {1},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) {
         return t.BlitMirrored(1, s, x, y, r);
       }},
      {336,
       {},
       {2},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z z, R r) {
         return t.StretchBlitMirrored(2, s, z, x, y, r);
       }},
      {337,
       {},
       {},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) {
         return t.AlphaBlit(s, x, y, r, false);
       }},
      {338,
       {},
       {},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z z, R r) {
         return t.StretchAlphaBlit(s, z, x, y, r, false);
       }},
      {339,
       {},
       {0x101},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) {
         return t.AlphaBlitMirrored(1, s, x, y, r);
       }},
      {340,
       {},
       {1},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z z, R r) {
         return t.StretchAlphaBlitMirrored(1, s, z, x, y, r);
       }},
      {341,
       {},
       {},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) {
         return t.CopyAlphaPlane(s, x, y, r, false);
       }},
      {342,
       {},
       {},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z z, R r) {
         return t.StretchCopyAlphaPlane(s, z, x, y, r, false);
       }},
      {343,
       {},
       {2},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) {
         return t.CopyAlphaPlaneMirrored(2, s, x, y, r);
       }},
      {344,
       {},
       {1},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z z, R r) {
         return t.StretchCopyAlphaPlaneMirrored(1, s, z, x, y, r);
       }},
      {345,
       {},
       {},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) { return t.BlitColor(s, x, y, r); }},
      {346,
       {},
       {},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z z, R r) {
         return t.StretchBlitColor(s, z, x, y, r);
       }},
      {347,
       {},
       {},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) { return t.BlitAlpha(s, x, y, r); }},
      {348,
       {},
       {},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z z, R r) {
         return t.StretchBlitAlpha(s, z, x, y, r);
       }},
      {349,
       {},
       {},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) {
         return t.BlitFromObject(s, x, y, r);
       }},
      {350,
       {},
       {},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z z, R r) {
         return t.StretchBlitFromObject(s, z, x, y, r);
       }},
      {357,
       {},
       {200},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) {
         return t.OpacityBlit(s, 200, x, y, r);
       }},
      {358,
       {},
       {0x1C8},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z z, R r) {
         return t.StretchOpacityBlit(s, 200, z, x, y, r);
       }},
      {359,
       {},
       {0xFF804020, 0x408080},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) {
         return t.WeightedBlit(s, 0x804020, 0x408080, x, y, r);
       }},
      {360,
       {},
       {0x804020, 0x408080},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z z, R r) {
         return t.StretchWeightedBlit(s, 0x804020, 0x408080, z, x, y, r);
       }},
      {361,
       {1},
       {},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) {
         return t.BlendBlit(1, s, x, y, r);
       }},
      {362,
       {2},
       {},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z z, R r) {
         return t.StretchBlendBlit(2, s, z, x, y, r);
       }},
      {363,
       {},
       {150},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) {
         return t.AddBlit(s, 150, x, y, r);
       }},
      {364,
       {},
       {150},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) {
         return t.SubtractBlit(s, 150, x, y, r);
       }},
      {365,
       {1},
       {180},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) {
         return t.AlphaOpacityBlit(1, s, 180, x, y, r);
       }},
      {366,
       {0},
       {180},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z z, R r) {
         return t.StretchAlphaOpacityBlit(0, s, 180, z, x, y, r);
       }},
      {367,
       {},
       {220},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) {
         return t.AlphaBlitOntoAlpha(s, 220, x, y, r);
       }},
      {368,
       {},
       {220},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z z, R r) {
         return t.StretchAlphaBlitOntoAlpha(s, 220, z, x, y, r);
       }},
      {369,
       {},
       {ruleHandle, 255, 256, 64},
       [this](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) {
         return t.RuleBlit(s, &rule, 255, 256, 64, x, y, r);
       }},
      {370,
       {},
       {ruleHandle, 200, 100, 32},
       [this](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) {
         return t.RuleAlphaBlit(s, &rule, 200, 100, 32, x, y, r);
       }},
      {371,
       {},
       {2, 200},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) {
         return t.BlurBlit(s, 2, 200, x, y, r);
       }},
      {372,
       {},
       {3, 255},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) {
         return t.BlurAlphaBlit(s, 3, 255, x, y, r);
       }},
      {373,
       {},
       {},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z z, R r) {
         return t.SmoothStretchBlit(s, z, x, y, r);
       }},
      {390,
       {},
       {2, 180, 0},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z, R r) {
         return t.LibBlitOpB(s, 2, 180, 0, x, y, r);
       }},
      {391,
       {},
       {2, 0, 180, 0},
       [](ImageSurface& t, S s, int32_t x, int32_t y, Z z, R r) {
         return t.LibStretchBlit(s, 2, 0, 180, 0, z, x, y, r);
       }},
  };
}

// Every row of the decoder, with each switch, on seeded 8- and 32-bit pictures under both
// kernel sets: the target's bytes and the answer equal a direct call of the same operation.
TEST_F(ImageTransfers, EveryRowEqualsTheDirectCallUnderEachSwitch) {
  const std::vector<Case> cases = Cases();
  std::set<uint32_t> covered;
  for (const Case& c : cases) covered.insert(c.number);
  for (const TransferRow& row : TransferRows())
    EXPECT_TRUE(covered.count(row.number)) << row.number;
  EXPECT_EQ(covered.size(), TransferRows().size());

  enum Switch { kFull, kWholeSource, kNoPosition };
  for (PixelLibrary* kernels : {&BuiltInPixelLibrary(), static_cast<PixelLibrary*>(nullptr)}) {
    ScopedPixelLibrary scope{kernels};
    for (int bits : {32, 8}) {
      ImageSurface seedTarget, source;
      Seed(seedTarget, 30, 26, bits, 7);
      Seed(source, 18, 14, bits, 8);
      const uint32_t sourceHandle = Give(source);
      for (const Case& c : cases) {
        const TransferRow* row = FindTransferRow(c.number);
        ASSERT_NE(row, nullptr) << c.number;
        for (Switch sw : {kFull, kWholeSource, kNoPosition}) {
          SCOPED_TRACE(testing::Message() << c.number << " bits " << bits << " switch " << sw
                                          << (kernels ? " library" : " own kernels"));
          ImageSurface byNative, byCall;
          ASSERT_EQ(byNative.CopyFrom(&seedTarget, kCopyLikeSource), 0);
          ASSERT_EQ(byCall.CopyFrom(&seedTarget, kCopyLikeSource), 0);
          std::vector<uint32_t> words = c.before;
          words.push_back(Give(byNative));
          words.push_back(sourceHandle);
          words.insert(words.end(), c.after.begin(), c.after.end());
          int expected = 0;
          if (sw == kNoPosition) {
            words.push_back(kOff);
            expected = c.direct(byCall, &source, 0, 0, nullptr, nullptr);
          } else {
            words.insert(words.end(), {uint32_t(kX), uint32_t(kY)});
            if (row->stretched)
              words.insert(words.end(), {uint32_t(kSize.width), uint32_t(kSize.height)});
            const Size* size = row->stretched ? &kSize : nullptr;
            if (sw == kWholeSource) {
              words.push_back(kOff);
              expected = c.direct(byCall, &source, kX, kY, size, nullptr);
            } else {
              words.insert(words.end(), {uint32_t(kRect.left), uint32_t(kRect.top),
                                         uint32_t(kRect.right), uint32_t(kRect.bottom)});
              expected = c.direct(byCall, &source, kX, kY, size, &kRect);
            }
          }
          const NativeAnswer answer = Run(c.number, words);
          EXPECT_FALSE(answer.faulted);
          EXPECT_EQ(answer.result, expected);
          EXPECT_EQ(Bytes(byNative), Bytes(byCall));
        }
      }
    }
  }
}

// The fixed layouts: quadrilaterals and turns with their two optional rectangles.
TEST_F(ImageTransfers, QuadAndRotateLayoutsEqualTheDirectCalls) {
  ImageSurface seedTarget, source;
  Seed(seedTarget, 40, 40, 32, 11);
  Seed(source, 16, 16, 32, 12);
  const uint32_t sourceHandle = Give(source);
  const Point quad[4] = {{4, 2}, {30, 6}, {2, 28}, {34, 36}};
  const Rect clip{0, 0, 30, 30};
  for (PixelLibrary* kernels : {&BuiltInPixelLibrary(), static_cast<PixelLibrary*>(nullptr)}) {
    ScopedPixelLibrary scope{kernels};
    for (bool rects : {false, true}) {
      SCOPED_TRACE(testing::Message()
                   << (rects ? "rectangles" : "none") << (kernels ? " library" : " own kernels"));
      const Rect* r = rects ? &kRect : nullptr;
      const Rect* c = rects ? &clip : nullptr;
      std::vector<uint32_t> rectWords = {kOff, 0, 0, 0, kOff, 0, 0, 0};
      if (rects) rectWords = {2, 1, 14, 10, 0, 0, 30, 30};
      for (uint32_t number : {374u, 375u, 376u, 377u}) {
        ImageSurface byNative, byCall;
        ASSERT_EQ(byNative.CopyFrom(&seedTarget, kCopyLikeSource), 0);
        ASSERT_EQ(byCall.CopyFrom(&seedTarget, kCopyLikeSource), 0);
        std::vector<uint32_t> words = {Give(byNative), sourceHandle};
        int expected = 0;
        if (number < 376) {
          for (const Point& p : quad) words.insert(words.end(), {uint32_t(p.x), uint32_t(p.y)});
          expected = number == 374 ? byCall.QuadBlit(&source, quad, r, c)
                                   : byCall.QuadOpacityBlit(&source, quad, 255, r, c);
        } else {
          words.insert(words.end(), {4, 20, 20, 64, 0x18000});
          if (number == 377) words.push_back(160);
          expected = number == 376
                         ? byCall.RotateZoomBlit(&source, 4, 20, 20, 64, 0x18000, r, c)
                         : byCall.RotateZoomOpacityBlit(&source, 4, 20, 20, 64, 0x18000, 160, r, c);
        }
        words.insert(words.end(), rectWords.begin(), rectWords.end());
        const NativeAnswer answer = Run(number, words);
        EXPECT_FALSE(answer.faulted) << number;
        EXPECT_EQ(answer.result, expected) << number;
        EXPECT_EQ(Bytes(byNative), Bytes(byCall)) << number;
      }
    }
  }
}

// A source or rule that is not a picture of the right kind draws nothing: a sprite handle as
// the source of 349 or the rule of 369, a 32-bit rule, a null target. Out-of-range rule values
// are the operation's refusal. A switched-off group ends the words a script must give.
TEST_F(ImageTransfers, RefusalsDrawNothing) {
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  ImageSurface target, source, wideRule;
  Seed(target, 20, 20, 32, 1);
  Seed(source, 10, 10, 32, 2);
  Seed(wideRule, 10, 10, 32, 3);
  const std::vector<uint8_t> before = Bytes(target);
  Sprite sprite;
  ASSERT_EQ(sprite.SetImage(&source, nullptr, 0, 0), kSpriteDone);
  const uint32_t spriteHandle = rig.host->Handles().HandleOf(ScriptObjectType::kDisplayObject,
                                                             static_cast<DisplayObject*>(&sprite));
  const uint32_t t = Give(target), s = Give(source);
  EXPECT_EQ(Run(349, {t, spriteHandle, kOff}).result, kTransferNoImage);
  EXPECT_EQ(Run(350, {t, spriteHandle, kOff}).result, kTransferNoImage);
  EXPECT_EQ(Run(369, {t, s, spriteHandle, 255, 256, 64, kOff}).result, kTransferNoImage);
  EXPECT_EQ(Run(370, {t, s, Give(wideRule), 255, 256, 64, kOff}).result, kTransferNoImage)
      << "the rule must be 8-bit";
  EXPECT_EQ(Run(333, {0, s, kOff}).result, kTransferNoImage);
  EXPECT_EQ(Run(374, {t, 0, 0, 0, 0, 0, 0, 0, 0, 0, kOff, 0, 0, 0, kOff}).result, kTransferNoImage);
  EXPECT_EQ(Run(369, {t, s, ruleHandle, 255, 513, 0, kOff}).result, ImageSurface::kOpBadParameter);
  EXPECT_EQ(Bytes(target), before);

  // A switched-off position is the last word read: words that end there, at the arena's used
  // end, are enough; a block past the end faults.
  const uint32_t args = rig.Block(12);
  const uint32_t words[3] = {t, s, kOff};
  for (uint32_t k = 0; k < 3; ++k) rig.Memory().Write32(args + 4 * k, words[k]);
  EXPECT_FALSE(rig.CallAt(333, args).faulted);
  EXPECT_TRUE(rig.CallAt(333, PastTheArena(rig.Memory())).faulted);
}

}  // namespace
}  // namespace bw
