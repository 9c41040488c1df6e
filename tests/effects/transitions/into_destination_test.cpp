// A canvas whose transition writes every pixel of a band draws it straight into the context it
// is shown through; otherwise it draws into its own picture and copies the band. The two must
// show the same frames, and what the direct frames leave behind must be what the copies did,
// whether the transition ends by itself or is stopped.
#include <cstring>
#include <vector>

#include "effects/filter_effect_rig.h"
#include "effects/named_transition_effects.h"
#include "graphics/surface/color_rect_object.h"
#include "host/clock.h"
#include "host/gdi/memory_dc.h"

namespace bw {
namespace {

constexpr int32_t kW = 120, kH = 70;  // bands of 32 rows: the last one shorter

// Rows 20 to 39 and the right half of every row hold the same pixels in both pictures, as a
// figure changing over a shared background does; alpha varies too.
void Paint(ImageSurface& picture, uint32_t seed) {
  for (int32_t y = 0; y < kH; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(picture.GetRowPointer(y));
    for (int32_t x = 0; x < kW; ++x) {
      const bool shared = (y >= 20 && y < 40) || x >= kW / 2;
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
    EXPECT_EQ(canvas.Create(kW, kH, 32, kLayerComposedWithUpperList), kLayerDone);
    EXPECT_EQ(partner.Create(kW, kH, 32, kLayerComposed), kLayerDone);
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

// The first kW columns of each row of a section.
std::vector<uint32_t> Shown(const host::DibSection& section) {
  std::vector<uint32_t> pixels(size_t(kW) * kH);
  for (int32_t y = 0; y < kH; ++y) {
    std::memcpy(&pixels[size_t(y) * kW], section.Pixels() + y * section.Pitch(), size_t(kW) * 4);
  }
  return pixels;
}

class IntoDestination : public FilterEffectRig {
 protected:
  void SetUp() override {
    FilterEffectRig::SetUp();
    ASSERT_EQ(rule.Create(kW, kH, 8, 0), kSurfaceDone);
    for (int32_t y = 0; y < kH; ++y) {
      for (int32_t x = 0; x < kW; ++x) rule.GetRowPointer(y)[x] = uint8_t(x * 2 + y);
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
    auto own = host::DibSection::Create(kW, kH, 32);
    auto wider = host::DibSection::Create(kW + 1, kH, 32);
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
    auto own = host::DibSection::Create(kW, kH, 32);
    auto wider = host::DibSection::Create(kW + 1, kH, 32);
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
    std::memset(own->Pixels(), 0x55, size_t(own->Pitch()) * kH);
    ASSERT_EQ(direct.Show(*own), kPresentDone);
    ASSERT_EQ(copied.Show(*wider), kPresentDone);
    EXPECT_EQ(std::tuple(Shown(*own), Shown(*wider)), std::tuple(last, last));
  }
}

}  // namespace
}  // namespace bw
