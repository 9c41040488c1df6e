#include "effects/transitions/named_transitions.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "common/global.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "host/presentation_sink.h"
#include "platform/mmx_flag.h"
#include "platform/trig_tables.h"

namespace bw {
namespace {

constexpr int32_t kW = 48;
constexpr int32_t kH = 32;

// Pictures whose pixels name their own coordinates, so a wrong source pixel shows.
std::unique_ptr<ImageSurface> Coded(int32_t w, int32_t h, uint32_t salt) {
  auto s = std::make_unique<ImageSurface>();
  EXPECT_EQ(s->Create(w, h, 32, 0), 0);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) s->SetPixel(x, y, (uint32_t(x) | uint32_t(y) << 12) ^ salt);
  }
  return s;
}

uint32_t Pixel(const ImageSurface& s, int32_t x, int32_t y) {
  return reinterpret_cast<const uint32_t*>(s.GetRowPointer(y))[x];
}

constexpr uint32_t kOldSalt = 0xFF000000u;
constexpr uint32_t kNewSalt = 0x80A00000u;
constexpr uint32_t kUntouched = 0x5A5A5A5Au;

class NamedTransitionTest : public testing::Test {
 protected:
  void SetUp() override {
    BuildBlendTables();
    oldImage = Coded(kW, kH, kOldSalt);
    newImage = Coded(kW, kH, kNewSalt);
    target = Coded(kW + 8, kH + 8, 0);
    Reset();
  }
  void Reset() { target->Fill(kUntouched, nullptr); }
  // The whole picture at (4, 4) of the target.
  TransitionDrawArea Area() const {
    return {0, 0, kW, kH, target.get(), 4, 4, oldImage.get(), 0, 0, newImage.get(), 0, 0};
  }
  // Every target pixel against expect(x, y) in picture coordinates; outside the area untouched.
  void ExpectPixels(const std::function<uint32_t(int32_t, int32_t)>& expect,
                    const std::string& what) {
    for (int32_t y = 0; y < kH + 8; ++y) {
      for (int32_t x = 0; x < kW + 8; ++x) {
        const bool inside = x >= 4 && x < 4 + kW && y >= 4 && y < 4 + kH;
        const uint32_t want = inside ? expect(x - 4, y - 4) : kUntouched;
        ASSERT_EQ(Pixel(*target, x, y), want) << what << " at " << x << "," << y;
      }
    }
  }
  uint32_t Old(int32_t x, int32_t y) const { return Pixel(*oldImage, x, y); }
  uint32_t New(int32_t x, int32_t y) const { return Pixel(*newImage, x, y); }
  uint64_t Hash() const {
    uint64_t h = host::kFnv1a64Start;
    for (int32_t y = 0; y < kH + 8; ++y) {
      h = host::Fnv1a64(target->GetRowPointer(y), size_t(kW + 8) * 4, h);
    }
    return h;
  }

  TrigTables trig;
  ScopedGlobal<TrigTables> publishTrig{&trig};
  std::unique_ptr<ImageSurface> oldImage, newImage, target;
};

// The library's row cross-blend of one pixel pair: the reference for the blends' geometry.
uint32_t CrossOf(uint32_t o, uint32_t n, int level) {
  uint32_t out = 0;
  BuiltInPixelLibrary().Get<RowCrossBlendRoutine>(kLibRowCrossBlend)(&out, &o, &n, 1, level);
  return out;
}

TEST_F(NamedTransitionTest, CopiesAndBlendsTakeTheRightSourcePixels) {
  for (bool library : {true, false}) {
    ScopedPixelLibrary use(library ? &BuiltInPixelLibrary() : nullptr);
    const std::string set = library ? " (library)" : " (built-in routines)";
    Reset();
    ASSERT_EQ(DrawCrossTransition(Area(), 100), 0);
    ExpectPixels([&](int x, int y) { return CrossOf(Old(x, y), New(x, y), 100); }, "cross" + set);

    // Blocks of 5 anchored at the bottom right: the first column is 48 mod 5 = 3 wide.
    Reset();
    ASSERT_EQ(DrawMosaicTransition(Area(), 11, 16, 4, false), 0);
    auto block = [](int v, int first, int size) { return v < first ? 0 : v - (v - first) % size; };
    ExpectPixels([&](int x, int y) { return New(block(x, 3, 5), block(y, 2, 5)); }, "mosaic" + set);

    // Scroll right by 10, pushing: the new picture's right part enters at the left.
    Reset();
    ASSERT_EQ(DrawScrollTransition(Area(), 0, 2, 10, 0), 0);
    ExpectPixels([&](int x, int y) { return x < 10 ? New(x + kW - 10, y) : Old(x - 10, y); },
                 "scroll push" + set);

    // The wave with no amplitude is the cross-blend; with one it shifts rows and fills the gap.
    Reset();
    ASSERT_EQ(DrawWaveTransition(Area(), {60, 0, 40, 0, 0xFF0000FFu}), 0);
    ExpectPixels([&](int x, int y) { return CrossOf(Old(x, y), New(x, y), 60); }, "flat wave");
    Reset();
    const WaveFrame wave{60, 5, 64 << 9, 0, 0xFF0000FFu};
    ASSERT_EQ(DrawWaveTransition(Area(), wave), 0);
    ExpectPixels(
        [&](int x, int y) {
          const int shift = int((int64_t{5} * trig.Cosine((y * 64 - 128) & 511)) >> 16);
          const int from = x - shift;
          if (from < 0 || from >= kW) return 0xFF0000FFu;
          return CrossOf(Old(from, y), New(from, y), 60);
        },
        "wave" + set);

    Reset();
    ASSERT_EQ(DrawToneTransition(Area(), 0xFF336699u, 255), 0);
    ExpectPixels([](int, int) { return 0xFF336699u; }, "tone at the end" + set);

    // Edge-on at a quarter turn the picture is at most one column; the rest is cleared.
    Reset();
    ASSERT_EQ(DrawRotaxisTransition(Area(), 128, 0), 0);
    int shown = 0;
    for (int32_t y = 4; y < 4 + kH; ++y) {
      for (int32_t x = 4; x < 4 + kW; ++x) shown += Pixel(*target, x, y) != 0;
    }
    EXPECT_LE(shown, kH) << "rotaxis edge-on" << set;

    Reset();
    ASSERT_EQ(DrawTransTransition(Area(), 40, 256), 0);
    ExpectPixels([&](int x, int y) { return New(x, y); }, "trans at the end" + set);
  }
}

TEST_F(NamedTransitionTest, TheAreaIsCutToEverySurface) {
  // An area wider than the new picture and starting left of the old one.
  auto narrow = Coded(20, 10, kNewSalt);
  TransitionDrawArea a = Area();
  a.newImage = narrow.get();
  a.oldX = -2;
  ASSERT_EQ(DrawCrossTransition(a, 255), 0);
  ExpectPixels(
      [&](int x, int y) {
        if (x < 2 || x >= 20 || y >= 10) return kUntouched;
        return CrossOf(Old(x - 2, y), Pixel(*narrow, x, y), 255);
      },
      "cut cross");
  // Nothing left to draw is no failure.
  a.targetX = kW + 8;
  EXPECT_EQ(DrawMosaicTransition(a, 3, 8, 0, true), 0);
}

TEST_F(NamedTransitionTest, RefusesWhatItCannotDraw) {
  auto rule = std::make_unique<ImageSurface>();
  ASSERT_EQ(rule->Create(kW, kH, 8, 0), 0);
  TransitionDrawArea noOld = Area();
  noOld.oldImage = nullptr;
  EXPECT_EQ(DrawCrossTransition(noOld, 10), kNamedDrawBadArgument) << "a missing picture";
  EXPECT_EQ(DrawRuleTransition(Area(), rule.get(), 10, 16), kNamedDrawUnsuitable)
      << "a rule smaller than the target";
  EXPECT_EQ(DrawRuleTransition(Area(), oldImage.get(), 10, 16), kNamedDrawUnsuitable)
      << "a rule not of 8 bits";
  EXPECT_EQ(DrawRuleTransition(Area(), nullptr, 10, 16), kNamedDrawBadArgument);
  EXPECT_EQ(DrawTransTransition(Area(), 87, 10), kNamedDrawBadArgument);
  EXPECT_EQ(DrawScrollTransition(Area(), 4, 0, 1, 0), kNamedDrawBadArgument);
  EXPECT_EQ(DrawRotaxisTransition(Area(), 10, 4), kNamedDrawBadArgument);
  {
    ScopedGlobal<TrigTables> none{nullptr};
    EXPECT_EQ(DrawWaveTransition(Area(), {}), kNamedDrawFailed) << "no sine table";
  }
  // Far-off phases and huge amplitudes stay defined: every row is all gap.
  Reset();
  ASSERT_EQ(DrawWaveTransition(Area(), {0, INT32_MAX, INT32_MAX, INT32_MIN, 7}), 0);
  EXPECT_EQ(Pixel(*target, 4, 4 + 1), 7u);
  // Keeping the aspect of a 3-wide area makes blocks 2 wide and 12 high, centred: the first row
  // of blocks is 10 high.
  Reset();
  TransitionDrawArea small = Area();
  small.width = 3;
  ASSERT_EQ(DrawMosaicTransition(small, 12, 24, 0, true), 0);
  EXPECT_EQ(Pixel(*target, 5, 4 + 9), New(0, 0));
  EXPECT_EQ(Pixel(*target, 6, 4 + 9), New(2, 0));
  EXPECT_EQ(Pixel(*target, 6, 4 + 10), New(2, 10));
  EXPECT_EQ(Pixel(*target, 7, 4), kUntouched);
}

// Hashes of the target at five progress points; both kernel sets, library on and off.
TEST_F(NamedTransitionTest, GoldenFramesAtFiveProgressPoints) {
  auto rule = std::make_unique<ImageSurface>();
  ASSERT_EQ(rule->Create(kW + 8, kH + 8, 8, 0), 0);
  for (int32_t y = 0; y < kH + 8; ++y) {
    for (int32_t x = 0; x < kW + 8; ++x) rule->SetPixel(x, y, uint32_t((x * 5 + y * 3) & 0xFF));
  }
  struct Kernel {
    const char* name;
    std::function<int(const TransitionDrawArea&, int quarter)> draw;
    uint64_t plain;    // the hash of the five frames' hashes
    uint64_t mmx = 0;  // 0: as the plain set
  };
  // The first frames of the copies are the old picture itself; the fade of "scroll" is the one
  // formula the kernel sets do not share.
  Kernel kernels[] = {
      {"cross", [](const auto& a, int q) { return DrawCrossTransition(a, q * 255 / 4); },
       0xf835aad138f78948ull},
      {"rule",
       [&](const auto& a, int q) { return DrawRuleTransition(a, rule.get(), q * 255 / 4, 32); },
       0x298f638c86c77758ull},
      {"tone", [](const auto& a, int q) { return DrawToneTransition(a, 0x336699, q * 255 / 4); },
       0xddc4636dddb5d36bull},
      {"wave",
       [](const auto& a, int q) {
         return DrawWaveTransition(a, {q * 255 / 4, 6 - q, 24 << 9, -16 * q, 0xFF000000u});
       },
       0xf5bd5b952bdc147aull},
      {"mosaic", [](const auto& a, int q) { return DrawMosaicTransition(a, q * 4, 16, 0, true); },
       0x5771e02d26e52e93ull},
      {"rotaxis", [](const auto& a, int q) { return DrawRotaxisTransition(a, q * 64, q % 4); },
       0xba7fb34552ff25adull},
      {"scroll",
       [](const auto& a, int q) { return DrawScrollTransition(a, q % 4, 3, q * 8, q * 60); },
       0xff56232740ab2bb3ull, 0xa6652696865d125dull},
      {"trans", [](const auto& a, int q) { return DrawTransTransition(a, 3, q * 64); },
       0xb66e7eb3b9998b5full},
  };
  for (const Kernel& k : kernels) {
    for (bool mmx : {false, true}) {
      ScopedMmxFlag set(mmx);
      uint64_t frames = host::kFnv1a64Start;
      for (int q = 0; q <= 4; ++q) {
        uint64_t hashes[2];
        for (bool library : {true, false}) {
          ScopedPixelLibrary use(library ? &BuiltInPixelLibrary() : nullptr);
          Reset();
          ASSERT_EQ(k.draw(Area(), q), 0) << k.name << " at " << q;
          hashes[library] = Hash();
        }
        EXPECT_EQ(hashes[0], hashes[1]) << k.name << " library on and off at " << q;
        frames = host::Fnv1a64(reinterpret_cast<const uint8_t*>(&hashes[0]), 8, frames);
      }
      EXPECT_EQ(frames, mmx && k.mmx ? k.mmx : k.plain)
          << k.name << (mmx ? " mmx: 0x" : " plain: 0x") << std::hex << frames;
    }
  }
}

}  // namespace
}  // namespace bw
