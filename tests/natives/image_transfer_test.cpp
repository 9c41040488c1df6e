#include "natives/image_transfer.h"

#include <algorithm>
#include <functional>
#include <set>
#include <vector>

#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/quad_mapper.h"
#include "graphics/surface/sprite.h"
#include "native_rig.h"
#include "platform/trig_tables.h"
#include "published.h"
#include "seeded_image.h"

namespace bw {
namespace {

constexpr uint32_t kOff = kDefaultsSwitch;
constexpr int32_t kX = 3, kY = 4;
constexpr Size kSize{20, 15};
constexpr Rect kRect{2, 1, 14, 10};

// A direct call's values: the row's values with both switches applied.
struct D {
  ImageSurface& t;
  const Surface* s;
  int32_t x, y;
  const Size* z;
  const Rect* r;
};
struct Case {
  uint32_t number;
  std::vector<uint32_t> before, after;  // values ahead of and behind the images
  std::function<int(const D&)> direct;
};

class ImageTransfers : public testing::Test {
 protected:
  void SetUp() override {
    BuildBlendTables();
    ruleHandle = rig.Give(&rule);
    Seed(rule, 24, 24, 8, 99);
  }
  static constexpr uint32_t kTarget = kSeedCopy;
  std::vector<Case> Cases();

  Published<TrigTables> trig;
  NativeRig rig;
  ImageSurface rule;
  uint32_t ruleHandle = 0;
};

// clang-format off
std::vector<Case> ImageTransfers::Cases() {
  const Surface* rl = &rule;
  return {
      {Native::kImageBlit, {}, {}, [](const D& d) { return d.t.Blit(d.s, d.x, d.y, d.r, false); }},
      {Native::kImageStretchBlit, {}, {}, [](const D& d) { return d.t.StretchBlit(d.s, d.z, d.x, d.y, d.r, false); }},
      {Native::kImageBlitMirrored, {}, {1}, [](const D& d) { return d.t.BlitMirrored(1, d.s, d.x, d.y, d.r); }},
      {Native::kImageStretchBlitMirrored, {}, {2}, [](const D& d) { return d.t.StretchBlitMirrored(2, d.s, d.z, d.x, d.y, d.r); }},
      {Native::kImageAlphaBlit, {}, {}, [](const D& d) { return d.t.AlphaBlit(d.s, d.x, d.y, d.r, false); }},
      {Native::kImageStretchAlphaBlit, {}, {}, [](const D& d) { return d.t.StretchAlphaBlit(d.s, d.z, d.x, d.y, d.r, false); }},
      {Native::kImageAlphaBlitMirrored, {}, {0x101}, [](const D& d) { return d.t.AlphaBlitMirrored(1, d.s, d.x, d.y, d.r); }},
      {Native::kImageStretchAlphaBlitMirrored, {}, {1}, [](const D& d) { return d.t.StretchAlphaBlitMirrored(1, d.s, d.z, d.x, d.y, d.r); }},
      {Native::kImageCopyAlphaPlane, {}, {}, [](const D& d) { return d.t.CopyAlphaPlane(d.s, d.x, d.y, d.r, false); }},
      {Native::kImageStretchCopyAlphaPlane, {}, {}, [](const D& d) { return d.t.StretchCopyAlphaPlane(d.s, d.z, d.x, d.y, d.r, false); }},
      {Native::kImageCopyAlphaPlaneMirrored, {}, {2}, [](const D& d) { return d.t.CopyAlphaPlaneMirrored(2, d.s, d.x, d.y, d.r); }},
      {Native::kImageStretchCopyAlphaPlaneMirrored, {}, {1}, [](const D& d) { return d.t.StretchCopyAlphaPlaneMirrored(1, d.s, d.z, d.x, d.y, d.r); }},
      {Native::kImageBlitColor, {}, {}, [](const D& d) { return d.t.BlitColor(d.s, d.x, d.y, d.r); }},
      {Native::kImageStretchBlitColor, {}, {}, [](const D& d) { return d.t.StretchBlitColor(d.s, d.z, d.x, d.y, d.r); }},
      {Native::kImageBlitAlpha, {}, {}, [](const D& d) { return d.t.BlitAlpha(d.s, d.x, d.y, d.r); }},
      {Native::kImageStretchBlitAlpha, {}, {}, [](const D& d) { return d.t.StretchBlitAlpha(d.s, d.z, d.x, d.y, d.r); }},
      {Native::kImageBlitFromObject, {}, {}, [](const D& d) { return d.t.BlitFromObject(d.s, d.x, d.y, d.r); }},
      {Native::kImageStretchBlitFromObject, {}, {}, [](const D& d) { return d.t.StretchBlitFromObject(d.s, d.z, d.x, d.y, d.r); }},
      {Native::kImageOpacityBlit, {}, {200}, [](const D& d) { return d.t.OpacityBlit(d.s, 200, d.x, d.y, d.r); }},
      {Native::kImageStretchOpacityBlit, {}, {0x1C8}, [](const D& d) { return d.t.StretchOpacityBlit(d.s, 200, d.z, d.x, d.y, d.r); }},
      {Native::kImageWeightedBlit, {}, {0xFF804020, 0x408080}, [](const D& d) { return d.t.WeightedBlit(d.s, 0x804020, 0x408080, d.x, d.y, d.r); }},
      {Native::kImageStretchWeightedBlit, {}, {0x804020, 0x408080}, [](const D& d) { return d.t.StretchWeightedBlit(d.s, 0x804020, 0x408080, d.z, d.x, d.y, d.r); }},
      {Native::kImageBlendBlit, {1}, {}, [](const D& d) { return d.t.BlendBlit(1, d.s, d.x, d.y, d.r); }},
      {Native::kImageStretchBlendBlit, {2}, {}, [](const D& d) { return d.t.StretchBlendBlit(2, d.s, d.z, d.x, d.y, d.r); }},
      {Native::kImageAddBlit, {}, {150}, [](const D& d) { return d.t.AddBlit(d.s, 150, d.x, d.y, d.r); }},
      {Native::kImageSubtractBlit, {}, {150}, [](const D& d) { return d.t.SubtractBlit(d.s, 150, d.x, d.y, d.r); }},
      {Native::kImageAlphaOpacityBlit, {1}, {180}, [](const D& d) { return d.t.AlphaOpacityBlit(1, d.s, 180, d.x, d.y, d.r); }},
      {Native::kImageStretchAlphaOpacityBlit, {0}, {180}, [](const D& d) { return d.t.StretchAlphaOpacityBlit(0, d.s, 180, d.z, d.x, d.y, d.r); }},
      {Native::kImageAlphaBlitOntoAlpha, {}, {220}, [](const D& d) { return d.t.AlphaBlitOntoAlpha(d.s, 220, d.x, d.y, d.r); }},
      {Native::kImageStretchAlphaBlitOntoAlpha, {}, {220}, [](const D& d) { return d.t.StretchAlphaBlitOntoAlpha(d.s, 220, d.z, d.x, d.y, d.r); }},
      {Native::kImageRuleBlit, {}, {ruleHandle, 255, 256, 64}, [rl](const D& d) { return d.t.RuleBlit(d.s, rl, 255, 256, 64, d.x, d.y, d.r); }},
      {Native::kImageRuleAlphaBlit, {}, {ruleHandle, 200, 100, 32}, [rl](const D& d) { return d.t.RuleAlphaBlit(d.s, rl, 200, 100, 32, d.x, d.y, d.r); }},
      {Native::kImageBlurBlit, {}, {2, 200}, [](const D& d) { return d.t.BlurBlit(d.s, 2, 200, d.x, d.y, d.r); }},
      {Native::kImageBlurAlphaBlit, {}, {3, 255}, [](const D& d) { return d.t.BlurAlphaBlit(d.s, 3, 255, d.x, d.y, d.r); }},
      {Native::kImageSmoothStretchBlit, {}, {}, [](const D& d) { return d.t.SmoothStretchBlit(d.s, d.z, d.x, d.y, d.r); }},
      {Native::kImageLibBlitOpB, {}, {2, 180, 0}, [](const D& d) { return d.t.LibBlitOpB(d.s, 2, 180, 0, d.x, d.y, d.r); }},
      {Native::kImageLibStretchBlit, {}, {2, 0, 180, 0}, [](const D& d) { return d.t.LibStretchBlit(d.s, 2, 0, 180, 0, d.z, d.x, d.y, d.r); }},
  };
}
// clang-format on

// Every row of the decoder, with each switch, on seeded 8- and 32-bit pictures under both
// kernel sets: the target's bytes and the answer equal a direct call of the same operation.
TEST_F(ImageTransfers, EveryRowEqualsTheDirectCallUnderEachSwitch) {
  const std::vector<Case> cases = Cases();
  std::set<uint32_t> covered;
  for (const Case& c : cases) covered.insert(c.number);
  for (const TransferRow& row : TransferRows())
    EXPECT_TRUE(covered.count(row.number)) << row.number;

  enum Switch { kFull, kWholeSource, kNoPosition };
  for (PixelLibrary* kernels : {&BuiltInPixelLibrary(), static_cast<PixelLibrary*>(nullptr)}) {
    ScopedPixelLibrary scope{kernels};
    for (int bits : {32, 8}) {
      ImageSurface seedTarget, source;
      Seed(seedTarget, 30, 26, bits, 7);
      Seed(source, 18, 14, bits, 8);
      const uint32_t sourceHandle = rig.Give(&source);
      for (const Case& c : cases) {
        const bool stretched = FindTransferRow(c.number)->stretched;
        for (Switch sw : {kFull, kWholeSource, kNoPosition}) {
          SCOPED_TRACE(testing::Message() << c.number << " bits " << bits << " switch " << sw
                                          << (kernels ? " library" : " own kernels"));
          std::vector<uint32_t> words = c.before;
          words.insert(words.end(), {kTarget, sourceHandle});
          words.insert(words.end(), c.after.begin(), c.after.end());
          D d{seedTarget, &source, 0, 0, nullptr, nullptr};
          if (sw == kNoPosition) {
            words.push_back(kOff);
          } else {
            d.x = kX, d.y = kY;
            words.insert(words.end(), {uint32_t(kX), uint32_t(kY)});
            if (stretched) {
              d.z = &kSize;
              words.insert(words.end(), {uint32_t(kSize.width), uint32_t(kSize.height)});
            }
            if (sw == kWholeSource) {
              words.push_back(kOff);
            } else {
              d.r = &kRect;
              words.insert(words.end(), {2, 1, 14, 10});
            }
          }
          ExpectSameAsDirect(rig, seedTarget, c.number, words, [&](ImageSurface& t) {
            return c.direct(D{t, d.s, d.x, d.y, d.z, d.r});
          });
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
  const uint32_t sourceHandle = rig.Give(&source);
  const Point quad[4] = {{4, 2}, {30, 6}, {2, 28}, {34, 36}};
  const Rect clip{0, 0, 30, 30};
  ScopedPixelLibrary scope{&BuiltInPixelLibrary()};
  for (bool rects : {false, true}) {
    SCOPED_TRACE(rects ? "rectangles" : "none");
    const Rect* r = rects ? &kRect : nullptr;
    const Rect* c = rects ? &clip : nullptr;
    std::vector<uint32_t> rectWords = {kOff, 0, 0, 0, kOff, 0, 0, 0};
    if (rects) rectWords = {2, 1, 14, 10, 0, 0, 30, 30};
    std::vector<uint32_t> words = {kTarget, sourceHandle, 4, 2, 30, 6, 2, 28, 34, 36};
    words.insert(words.end(), rectWords.begin(), rectWords.end());
    ExpectSameAsDirect(rig, seedTarget, Native::kImageQuadBlit, words,
                       [&](ImageSurface& t) { return t.QuadBlit(&source, quad, r, c); });
    ExpectSameAsDirect(rig, seedTarget, Native::kImageQuadAlphaBlit, words, [&](ImageSurface& t) {
      return t.QuadOpacityBlit(&source, quad, 255, r, c);
    });
    words = {kTarget, sourceHandle, 4, 20, 20, 64, 0x18000};
    words.insert(words.end(), rectWords.begin(), rectWords.end());
    ExpectSameAsDirect(rig, seedTarget, Native::kImageRotateZoomBlit, words, [&](ImageSurface& t) {
      return t.RotateZoomBlit(&source, 4, 20, 20, 64, 0x18000, r, c);
    });
    words.insert(words.begin() + 7, 160);
    ExpectSameAsDirect(rig, seedTarget, Native::kImageRotateZoomOpacityBlit, words,
                       [&](ImageSurface& t) {
                         return t.RotateZoomOpacityBlit(&source, 4, 20, 20, 64, 0x18000, 160, r, c);
                       });
  }
}

// A source or rule that is not a picture of the right kind draws nothing: a sprite handle as
// the source of 349 or the rule of 369, a 32-bit rule, a null target. Out-of-range rule values
// are the operation's refusal.
TEST_F(ImageTransfers, RefusalsDrawNothing) {
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  ImageSurface target, source, wideRule;
  Seed(target, 20, 20, 32, 1);
  Seed(source, 10, 10, 32, 2);
  Seed(wideRule, 10, 10, 32, 3);
  const std::vector<uint8_t> before = Bytes(target);
  Sprite sprite;
  ASSERT_EQ(sprite.SetImage(&source, nullptr, 0, 0), kSpriteDone);
  const uint32_t spriteHandle = rig.Give(&sprite);
  const uint32_t t = rig.Give(&target), s = rig.Give(&source);
  rig.Expect({
      // clang-format off
      {"a sprite as the source", Native::kImageBlitFromObject, {t, spriteHandle, kOff}, kTransferNoImage},
      {"a sprite as the rule", Native::kImageRuleBlit, {t, s, spriteHandle, 255, 256, 64, kOff}, kTransferNoImage},
      {"a 32-bit rule", Native::kImageRuleAlphaBlit, {t, s, rig.Give(&wideRule), 255, 256, 64, kOff}, kTransferNoImage},
      {"no target", Native::kImageBlit, {0, s, kOff}, kTransferNoImage},
      {"no quad source", Native::kImageQuadBlit, {t, 0, 0, 0, 0, 0, 0, 0, 0, 0, kOff, 0, 0, 0, kOff}, kTransferNoImage},
      {"a rule value past 512", Native::kImageRuleBlit, {t, s, ruleHandle, 255, 513, 0, kOff}, ImageSurface::kOpBadParameter},
      // clang-format on
  });
  EXPECT_EQ(Bytes(target), before);
}

// What each transfer does to the pixels, by its own formula: a 4 x 3 source put at (2, 1) on an
// 8 x 6 target, every target pixel checked against the source pixel over it (the mirrored copy
// reads it left to right or upside down).
TEST_F(ImageTransfers, EachTransferPutsItsFormulaWhereTheSourceLands) {
  ScopedPixelLibrary scope{&BuiltInPixelLibrary()};
  auto rgb = [](uint32_t v) { return v & 0x00FFFFFFu; };
  auto perChannel = [](uint32_t d, uint32_t s, int sign) {
    uint32_t out = 0;
    for (int shift : {0, 8, 16}) {
      const int v = int(d >> shift & 0xFF) + sign * int(s >> shift & 0xFF);
      out |= uint32_t(std::clamp(v, 0, 255)) << shift;
    }
    return out;
  };
  auto copy = [](uint32_t, uint32_t s) { return s; };
  const struct {
    const char* what;
    uint32_t number;
    std::vector<uint32_t> after;
    int mirror;  // 0 none, 1 left to right, 2 upside down
    bool rgbOnly;
    std::function<uint32_t(uint32_t d, uint32_t s)> pixel;
  } rows[] = {
      // clang-format off
      {"copy", Native::kImageBlit, {}, 0, false, copy},
      {"copy left to right", Native::kImageBlitMirrored, {0}, 1, false, copy},
      {"copy upside down", Native::kImageBlitMirrored, {1}, 2, false, copy},
      {"colour only", Native::kImageBlitColor, {}, 0, false, [&](uint32_t d, uint32_t s) { return (d & 0xFF000000u) | rgb(s); }},
      {"alpha only", Native::kImageBlitAlpha, {}, 0, false, [&](uint32_t d, uint32_t s) { return (s & 0xFF000000u) | rgb(d); }},
      {"add", Native::kImageAddBlit, {255}, 0, true, [&](uint32_t d, uint32_t s) { return perChannel(d, s, 1); }},
      {"subtract", Native::kImageSubtractBlit, {255}, 0, true, [&](uint32_t d, uint32_t s) { return perChannel(d, s, -1); }},
      // clang-format on
  };
  ImageSurface seedTarget, source;
  Seed(seedTarget, 8, 6, 32, 31);
  Seed(source, 4, 3, 32, 32);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ImageSurface target;
    ASSERT_EQ(target.CopyFrom(&seedTarget, kCopyLikeSource), 0);
    std::vector<uint32_t> words = {rig.Give(&target), rig.Give(&source)};
    words.insert(words.end(), row.after.begin(), row.after.end());
    words.insert(words.end(), {2, 1, kOff});
    ASSERT_EQ(rig.Answer(row.number, words), 0);
    for (int32_t y = 0; y < 6; ++y) {
      for (int32_t x = 0; x < 8; ++x) {
        const uint32_t d = seedTarget.GetPixel(x, y);
        const bool under = x >= 2 && x < 6 && y >= 1 && y < 4;
        uint32_t want = d;
        const int32_t sx = row.mirror == 1 ? 5 - x : x - 2, sy = row.mirror == 2 ? 3 - y : y - 1;
        if (under) want = row.pixel(d, source.GetPixel(sx, sy));
        const uint32_t got = target.GetPixel(x, y);
        ASSERT_EQ(row.rgbOnly ? rgb(got) : got, row.rgbOnly ? rgb(want) : want)
            << "at " << x << "," << y;
      }
    }
  }
}

}  // namespace
}  // namespace bw
