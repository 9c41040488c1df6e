// The named transitions' draws against the source pixels and formulas they must follow, and a
// canvas that draws them straight into the context it is shown through against one that copies.
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "effects/filter_effect_rig.h"
#include "effects/named_transition_effects.h"
#include "effects/transitions/named_transitions.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/pixel_library.h"
#include "host/clock.h"
#include "host/gdi/memory_dc.h"
#include "support/bg_effect_rig.h"

namespace bw {
namespace {

constexpr int32_t kW = 48;
constexpr int32_t kH = 32;

// Pictures whose pixels name their own coordinates, so a wrong source pixel shows.
std::unique_ptr<ImageSurface> Coded(int32_t w, int32_t h, uint32_t salt) {
  auto s = std::make_unique<ImageSurface>();
  EXPECT_EQ(s->Create(w, h, 32, 0), 0);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x)
      (void)s->SetPixel(x, y, (uint32_t(x) | uint32_t(y) << 12) ^ salt);
  }
  return s;
}

using test::PixelAt;

constexpr uint32_t kOldSalt = 0xFF000000u;
constexpr uint32_t kNewSalt = 0x80A00000u;
constexpr uint32_t kUntouched = 0x5A5A5A5Au;

// The 8-bit rule picture's value at a pixel; the rule is read at the area's own coordinates.
int RuleAt(int32_t x, int32_t y) {
  return (x * 5 + y * 3) & 0xFF;
}

// A rule picture the size of the target.
std::unique_ptr<ImageSurface> Rule() {
  auto rule = std::make_unique<ImageSurface>();
  EXPECT_EQ(rule->Create(kW + 8, kH + 8, 8, 0), 0);
  for (int32_t y = 0; y < kH + 8; ++y) {
    for (int32_t x = 0; x < kW + 8; ++x) (void)rule->SetPixel(x, y, uint32_t(RuleAt(x, y)));
  }
  return rule;
}

// The filter rig's trig tables and blend tables; the draws take no layer.
class NamedTransitionTest : public FilterEffectRig {
 protected:
  void SetUp() override {
    FilterEffectRig::SetUp();
    oldImage = Coded(kW, kH, kOldSalt);
    newImage = Coded(kW, kH, kNewSalt);
    target = Coded(kW + 8, kH + 8, 0);
    Reset();
  }
  void Reset() { (void)target->Fill(kUntouched, nullptr); }
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
        ASSERT_EQ(PixelAt(*target, x, y), want) << what << " at " << x << "," << y;
      }
    }
  }
  uint32_t Old(int32_t x, int32_t y) const { return PixelAt(*oldImage, x, y); }
  uint32_t New(int32_t x, int32_t y) const { return PixelAt(*newImage, x, y); }

  std::unique_ptr<ImageSurface> oldImage, newImage, target;
};

// The library's row cross-blend of one pixel pair: the reference for the blends' geometry.
uint32_t CrossOf(uint32_t o, uint32_t n, int level) {
  uint32_t out = 0;
  BuiltInPixelLibrary().Get<RowCrossBlendRoutine>(kLibRowCrossBlend)(&out, &o, &n, 1, level);
  return out;
}

// Without a published library the draws take the built-in one: one set of routines to check.
// A row per draw, each on a target reset to the untouched colour.
TEST_F(NamedTransitionTest, EachDrawTakesTheRightSourcePixels) {
  // Blocks of 5 anchored at the bottom right: the first column is 48 mod 5 = 3 wide.
  auto block = [](int v, int first, int size) { return v < first ? 0 : v - (v - first) % size; };
  const WaveFrame wave{60, 5, 64 << 9, 0, 0xFF0000FFu};
  using Expect = std::function<uint32_t(int32_t, int32_t)>;
  const struct {
    const char* name;
    std::function<int()> draw;
    Expect expect;
  } rows[] = {
      {"cross", [&] { return DrawCrossTransition(Area(), 100); },
       [&](int x, int y) { return CrossOf(Old(x, y), New(x, y), 100); }},
      {"mosaic", [&] { return DrawMosaicTransition(Area(), 11, 16, 4, false); },
       [&](int x, int y) { return New(block(x, 3, 5), block(y, 2, 5)); }},
      // Scroll right by 10, pushing: the new picture's right part enters at the left.
      {"scroll push", [&] { return DrawScrollTransition(Area(), 0, 2, 10, 0); },
       [&](int x, int y) { return x < 10 ? New(x + kW - 10, y) : Old(x - 10, y); }},
      // The wave cross-blends its rows shifted and fills the gap.
      {"wave", [&] { return DrawWaveTransition(Area(), wave); },
       [&](int x, int y) {
         const int shift = int((int64_t{5} * trig.Cosine((y * 64 - 128) & 511)) >> 16);
         const int from = x - shift;
         if (from < 0 || from >= kW) return 0xFF0000FFu;
         return CrossOf(Old(from, y), New(from, y), 60);
       }},
      {"tone at the end", [&] { return DrawToneTransition(Area(), 0xFF336699u, 255); },
       [](int, int) { return 0xFF336699u; }},
      {"trans at the end", [&] { return DrawTransTransition(Area(), 40, 256); },
       [&](int x, int y) { return New(x, y); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Reset();
    ASSERT_EQ(row.draw(), 0);
    ExpectPixels(row.expect, row.name);
  }
}

// Edge-on at a quarter turn the picture is at most one column; the rest is cleared.
TEST_F(NamedTransitionTest, RotaxisEdgeOnShowsAtMostOneColumn) {
  ASSERT_EQ(DrawRotaxisTransition(Area(), 128, 0), 0);
  int shown = 0;
  for (int32_t y = 4; y < 4 + kH; ++y) {
    for (int32_t x = 4; x < 4 + kW; ++x) shown += PixelAt(*target, x, y) != 0;
  }
  EXPECT_LE(shown, kH);
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
        return CrossOf(Old(x - 2, y), PixelAt(*narrow, x, y), 255);
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
  {
    ScopedGlobal<TrigTables> none{nullptr};
    EXPECT_EQ(DrawWaveTransition(Area(), {}), kNamedDrawFailed) << "no sine table";
  }
  // Far-off phases and huge amplitudes stay defined: every row is all gap.
  Reset();
  ASSERT_EQ(DrawWaveTransition(Area(), {0, INT32_MAX, INT32_MAX, INT32_MIN, 7}), 0);
  EXPECT_EQ(PixelAt(*target, 4, 4 + 1), 7u);
  // Keeping the aspect of a 3-wide area makes blocks 2 wide and 12 high, centred: the first row
  // of blocks is 10 high.
  Reset();
  TransitionDrawArea small = Area();
  small.width = 3;
  ASSERT_EQ(DrawMosaicTransition(small, 12, 24, 0, true), 0);
  EXPECT_EQ(PixelAt(*target, 5, 4 + 9), New(0, 0));
  EXPECT_EQ(PixelAt(*target, 6, 4 + 9), New(2, 0));
  EXPECT_EQ(PixelAt(*target, 6, 4 + 10), New(2, 10));
  EXPECT_EQ(PixelAt(*target, 7, 4), kUntouched);
}

// The rule and tone frames at six levels against their per-pixel formulas: the rule weighs
// each pixel by how far the level has passed its rule value over the ramp, the tone mixes the old
// picture with the colour through the product table.
TEST_F(NamedTransitionTest, RuleAndToneFramesFollowTheirFormulas) {
  auto rule = Rule();
  auto lerp = [](uint32_t d, uint32_t s, int w) {
    for (int c = 0; c < 24; c += 8) {
      const int dc = int(d >> c & 0xFF), sc = int(s >> c & 0xFF);
      d = (d & ~(0xFFu << c)) | uint32_t(dc + (((sc - dc) * w) >> 8)) << c;
    }
    return d;
  };
  auto mix = [](int k, int c) { return (k * c + 127) / 255; };
  for (int level : {0, 1, 63, 127, 191, 254}) {
    // At level 1 both ramps have the same threshold, not the same weights.
    for (int ramp : {32, 80}) {
      Reset();
      ASSERT_EQ(DrawRuleTransition(Area(), rule.get(), level, ramp), 0);
      const int threshold = level * (256 + ramp) / 255;
      ExpectPixels(
          [&](int x, int y) {
            const int k = std::clamp((threshold - RuleAt(x, y)) * 255 / ramp, 0, 255);
            return lerp(Old(x, y), New(x, y), k == 0 ? 0 : k + 1);
          },
          "rule at " + std::to_string(level) + " over " + std::to_string(ramp));
    }
    Reset();
    ASSERT_EQ(DrawToneTransition(Area(), 0x336699, level), 0);
    ExpectPixels(
        [&](int x, int y) {
          uint32_t p = Old(x, y) & 0xFF000000u;
          for (int c = 0; c < 24; c += 8) {
            const int old = int(Old(x, y) >> c & 0xFF), tone = int(0x336699u >> c & 0xFF);
            p |= uint32_t(mix(255 - level, old) + mix(level, tone)) << c;
          }
          return p;
        },
        "tone at " + std::to_string(level));
  }
}

constexpr int32_t kScreenW = 120, kScreenH = 70;  // bands of 32 rows: the last one shorter

// Rows 20 to 39 and the right half of every row hold the same pixels in both pictures, as a
// figure changing over a shared background does; alpha varies too.
void Paint(ImageSurface& picture, uint32_t seed) {
  for (int32_t y = 0; y < kScreenH; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(picture.GetRowPointer(y));
    for (int32_t x = 0; x < kScreenW; ++x) {
      const bool shared = (y >= 20 && y < 40) || x >= kScreenW / 2;
      const uint32_t s = shared ? 7u : seed;
      row[x] = (uint32_t(x * 37 + y * 11) * s) ^ (s << 20) ^ uint32_t(y) << 24;
    }
  }
}

// Draws nothing, as a filter leaves alone what its picture does not cover.
class IdleFilter final : public LayerFilter {
 public:
  uint8_t GetKind() const override { return 2; }
  int Update(uint32_t) override { return 0; }
  bool IsDone() const override { return false; }
  void DrawBand(const FilterBand&) override {}
};

// A canvas and its partner page, painted, with a half-clear box in the list above the canvas.
struct Screen {
  explicit Screen(int seed, bool withBox = true) {
    EXPECT_EQ(canvas.Create(kScreenW, kScreenH, 32, kLayerComposedWithUpperList), kLayerDone);
    EXPECT_EQ(partner.Create(kScreenW, kScreenH, 32, kLayerComposed), kLayerDone);
    EXPECT_EQ(canvas.SetLinkedLayer(&partner), kLayerDone);
    Paint(canvas, uint32_t(seed));
    Paint(partner, uint32_t(seed) * 3 + 1);
    (void)box.Create(50, 30, 0x80C04020u, 30, 25);
    if (withBox) (void)canvas.GetUpperList()->Add(&box, 1, 0);
  }
  ~Screen() { canvas.DetachSource(false); }

  // Shows the next frame through a context over section; the result of PresentFrame.
  int Show(host::DibSection& section) {
    host::MemoryDc dc;
    dc.Select(&section);
    return canvas.PresentFrame(host::HWND{}, &dc, nullptr, 0, true);
  }

  CanvasLayer canvas, partner;
  ColorRectObject box;
};

// The first kScreenW columns of each row of a section.
std::vector<uint32_t> Shown(const host::DibSection& section) {
  std::vector<uint32_t> pixels(size_t(kScreenW) * kScreenH);
  for (int32_t y = 0; y < kScreenH; ++y) {
    std::memcpy(&pixels[size_t(y) * kScreenW], section.Pixels() + y * section.Pitch(),
                size_t(kScreenW) * 4);
  }
  return pixels;
}

class IntoDestination : public FilterEffectRig {
 protected:
  void SetUp() override {
    FilterEffectRig::SetUp();
    ASSERT_EQ(rule.Create(kScreenW, kScreenH, 8, 0), kSurfaceDone);
    for (int32_t y = 0; y < kScreenH; ++y) {
      for (int32_t x = 0; x < kScreenW; ++x) rule.GetRowPointer(y)[x] = uint8_t(x * 2 + y);
    }
  }
  host::VirtualClock clock;
  ScopedGlobal<host::ClockSource> useClock{&clock};
  ImageSurface rule;
};

// One screen is shown through a context of its own size (drawn into directly), the other through
// one a pixel wider (drawn into its picture and copied); every frame must match.
TEST_F(IntoDestination, EveryTransitionShowsTheSameFramesAsThroughItsOwnPicture) {
  struct Case {
    const char* keyword;
    std::vector<ArgWord> words;
  };
  const Case cases[] = {
      {"cross", {400}},
      {"rule", {400, Word(&rule), 24}},
      {"scroll", {400, 1, 2}},
      {"scroll", {400, 2, 3}},
      {"trans", {400, 12, 0}},
      {"tone", {400, 0x304050, 0}},
      {"wave", {400, 1, 6, 2, 0x102030, 0x405060}},
      {"mosaic", {400, 0, 12, 1}},
      {"rotaxis", {400, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keyword);
    Screen direct(5), copied(5);
    for (Screen* screen : {&direct, &copied}) {
      FilterEffect* filter = transitions.Create(c.keyword).release();  // the canvas takes it
      ASSERT_NE(filter, nullptr);
      ASSERT_EQ(filter->SetUp(&screen->canvas, ArgWords(c.words.data(), c.words.size())),
                kFilterSetUpDone);
      ASSERT_EQ(screen->canvas.AttachSource(filter, kAttachPlain, true, false), kLayerDone);
    }
    auto own = host::DibSection::Create(kScreenW, kScreenH, 32);
    auto wider = host::DibSection::Create(kScreenW + 1, kScreenH, 32);
    int shown = 0, frame = 0;
    for (; shown == kPresentDone && frame < 12; ++frame) {
      shown = direct.Show(*own);
      ASSERT_EQ(copied.Show(*wider), shown) << "frame " << frame;
      ASSERT_EQ(Shown(*own), Shown(*wider)) << "frame " << frame;
      clock.AdvanceMilliseconds(50);
    }
    EXPECT_EQ(shown, 1) << "the transition ended after " << frame << " frames";
  }
}

// A transition that ended, was stopped after a frame (by the script, by a skip) or was replaced
// by the next filter attached over it leaves the frame last shown behind: a filter that then
// leaves pixels alone (as a quake leaves the strip its picture moved off) shows that frame on both
// screens, though the canvas changed meanwhile.
TEST_F(IntoDestination, AFilterThatLeavesPixelsAloneShowsTheFrameLastShown) {
  enum End { kEnded, kStopped, kReplaced };
  for (const End end : {kEnded, kStopped, kReplaced}) {
    SCOPED_TRACE(end);
    Screen direct(4, false), copied(4, false);
    auto own = host::DibSection::Create(kScreenW, kScreenH, 32);
    auto wider = host::DibSection::Create(kScreenW + 1, kScreenH, 32);
    const std::vector<ArgWord> words = {end == kEnded ? 100u : 400u};
    for (Screen* screen : {&direct, &copied}) {
      FilterEffect* cross = transitions.Create("cross").release();
      ASSERT_EQ(cross->SetUp(&screen->canvas, ArgWords(words.data(), words.size())), 0);
      ASSERT_EQ(screen->canvas.AttachSource(cross, kAttachPlain, false, false), kLayerDone);
    }
    const int frames = end == kEnded ? 3 : 2;
    for (int frame = 0; frame < frames; ++frame) {
      const int shown = frame == 2 ? 1 : kPresentDone;  // the cross of 100 ms ends at 120
      ASSERT_EQ(direct.Show(*own), shown) << "frame " << frame;
      ASSERT_EQ(copied.Show(*wider), shown) << "frame " << frame;
      clock.AdvanceMilliseconds(60);
    }
    const std::vector<uint32_t> last = Shown(*own);
    ASSERT_EQ(last, Shown(*wider));
    for (Screen* screen : {&direct, &copied}) {
      if (end == kStopped) screen->canvas.StopSource();
      ASSERT_EQ(screen->canvas.AttachSource(new IdleFilter, kAttachPlain, false, false),
                kLayerDone);
      (void)screen->canvas.Fill(0xFF102030u, nullptr);
    }
    std::memset(own->Pixels(), 0x55, size_t(own->Pitch()) * kScreenH);
    ASSERT_EQ(direct.Show(*own), kPresentDone);
    ASSERT_EQ(copied.Show(*wider), kPresentDone);
    EXPECT_EQ(std::tuple(Shown(*own), Shown(*wider)), std::tuple(last, last));
  }
}

}  // namespace
}  // namespace bw
