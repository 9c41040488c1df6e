#include "graphics/layers/canvas_layer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "graphics/layers/fake_filter.h"
#include "graphics/layers/layer.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/surface_fixture.h"
#include "host/clock.h"
#include "host/ddraw/direct_draw.h"
#include "host/gdi/memory_dc.h"

namespace bw {
namespace {

uint32_t DcPixel(const host::DibSection& section, int x, int y) {
  return testing_surfaces::PixelAt(section.Pixels(), section.Pitch(), x, y);
}

TEST(SurfaceLayer, LinksOnlyALayerOfTheSameShape) {
  OffscreenLayer a, b, deeper;
  ASSERT_EQ(a.Create(16, 8, 32, false), kLayerDone);
  ASSERT_EQ(b.Create(16, 8, 32, true), kLayerDone);
  ASSERT_EQ(deeper.Create(16, 8, 8, false), kLayerDone);
  ASSERT_EQ(a.SetLinkedLayer(&b), kLayerDone);
  EXPECT_EQ(a.SetLinkedLayer(&deeper), kLinkRefused);
  EXPECT_EQ(a.GetLinkedLayer(), &b) << "a refused link keeps the previous one";
  OffscreenLayer bad;
  EXPECT_EQ(bad.Create(16, 8, 24, true), kLayerNoPicture);
  EXPECT_EQ(bad.GetCompositionLayer(), nullptr);
}

using testing_layers::FakeFilter;

int g_attached = 0;
int g_detached = 0;

class FilterTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(a_.Create(8, 8, 32, kLayerComposed), kLayerDone);
    ASSERT_EQ(b_.Create(8, 8, 32, kLayerComposed), kLayerDone);
    ASSERT_EQ(pictureA_.Create(8, 8, 32, 0), kSurfaceDone);
    ASSERT_EQ(pictureB_.Create(8, 8, 32, 0), kSurfaceDone);
    (void)a_.GetCompositionLayer()->SetBackgroundImage(&pictureA_, 0, 0, false);
    (void)b_.GetCompositionLayer()->SetBackgroundImage(&pictureB_, 0, 0, false);
    g_attached = g_detached = 0;
    SetLayerFilterHooks([] { ++g_attached; }, [] { ++g_detached; });
  }
  void TearDown() override { SetLayerFilterHooks(nullptr, nullptr); }
  ImageSurface* BackgroundOf(SurfaceLayer& layer) {
    ImageSurface* picture = nullptr;
    layer.GetCompositionLayer()->GetBackground(&picture, nullptr, nullptr, nullptr, nullptr,
                                               nullptr);
    return picture;
  }
  ImageSurface pictureA_, pictureB_;
  CanvasLayer a_, b_;
  int deleted_ = 0;
};

TEST_F(FilterTest,
       AttachingASecondFilterDetachesAndAppliesTheFirstAndASharedOneWaitsForItsLastOwner) {
  auto* first = new FakeFilter(0, &deleted_);
  EXPECT_EQ(a_.AttachSource(first, kAttachExchangeBackgrounds, true, true), kAttachNoLinkedLayer);
  ASSERT_EQ(a_.SetLinkedLayer(&b_), kLayerDone);
  ASSERT_EQ(a_.AttachSource(first, kAttachExchangeBackgrounds, true, true), kLayerDone);
  EXPECT_EQ(g_attached, 1);

  auto* second = new FakeFilter(2, &deleted_);
  ASSERT_EQ(a_.AttachSource(second, kAttachPlain, false, false), kLayerDone);
  EXPECT_EQ(deleted_, 1) << "the first filter went";
  EXPECT_EQ(g_detached, 1);
  EXPECT_EQ(BackgroundOf(a_), &pictureB_) << "its exchange ran, its apply flag being set";
  EXPECT_EQ(BackgroundOf(b_), &pictureA_);

  ASSERT_EQ(a_.SetLinkedLayer(nullptr), kLayerDone);
  EXPECT_EQ(a_.AttachSource(nullptr, kAttachPlain, false, false), kLayerDone)
      << "null detaches even without a linked layer";
  EXPECT_EQ(deleted_, 2);
  EXPECT_FALSE(a_.HasSource());
  EXPECT_EQ(g_detached, 1) << "the second filter asked for no notice";

  // A shared filter survives until its last owner lets go.
  ASSERT_EQ(a_.SetLinkedLayer(&b_), kLayerDone);
  auto* shared = new FakeFilter(3, &deleted_);
  shared->shareCount = 2;
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(a_.AttachSource(shared, kAttachPlain, false, false), kLayerDone);
    a_.DetachSource(false);
    EXPECT_EQ(deleted_, round == 2 ? 3 : 2) << "shared filter, round " << round;
  }
  (void)b_.GetCompositionLayer()->SetBackgroundImage(nullptr, 0, 0, false);
  FakeFilter local(0, &deleted_);
  EXPECT_EQ(a_.AttachSource(&local, kAttachExchangeBackgrounds, false, false), kAttachNoBackground);
}

TEST(OffscreenLayer, RecordsComposingInvalidatesOnlyWhileComposingAndTakesNoFilter) {
  OffscreenLayer layer;
  ASSERT_EQ(layer.Create(8, 8, 32, true), kLayerDone);
  CompositionLayer* composition = layer.GetCompositionLayer();
  ASSERT_NE(composition, nullptr);
  DirtyRectList own;
  layer.SetActiveDirtyList(&own);
  EXPECT_TRUE(layer.SetComposing(false));
  EXPECT_EQ(layer.GetActiveDirtyList(), &own) << "only the flag changes";
  composition->DiscardDirty();
  layer.SetChanged(false);
  const Rect r{1, 2, 3, 4};
  layer.Invalidate(&r);
  EXPECT_EQ(own.Count() + composition->Dirty().Count(), 0) << "nothing while not composing";
  EXPECT_FALSE(layer.IsChanged());
  layer.SetComposing(true);
  layer.Invalidate(&r);
  EXPECT_EQ(composition->Dirty().Bounds(), r);

  OffscreenLayer partner;
  ASSERT_EQ(partner.Create(8, 8, 32, true), kLayerDone);
  ASSERT_EQ(layer.SetLinkedLayer(&partner), kLayerDone);
  int deleted = 0;
  FakeFilter filter(0, &deleted);
  EXPECT_EQ(layer.AttachSource(&filter, kAttachPlain, false, false), kOffscreenNoFilter);
  EXPECT_EQ(deleted, 0) << "a refused filter stays its owner's";
}

TEST(CanvasLayer, AFilteredCanvasIsDrawnBandByBandUntilTheFilterEnds) {
  host::VirtualClock clock;
  ScopedGlobal<host::ClockSource> useClock(&clock);
  CanvasLayer canvas, partner;
  ASSERT_EQ(canvas.Create(100, 40, 32, kLayerComposed), kLayerDone);
  ASSERT_EQ(partner.Create(100, 40, 32, kLayerComposed), kLayerDone);
  ASSERT_EQ(canvas.SetLinkedLayer(&partner), kLayerDone);
  auto* filter = new FakeFilter(2);
  filter->framesToFinish = 2;
  ASSERT_EQ(canvas.AttachSource(filter, kAttachPlain, false, false), kLayerDone);
  auto section = host::DibSection::Create(100, 40, 32);
  host::MemoryDc dc;
  dc.Select(section.get());
  ASSERT_EQ(canvas.PresentFrame(host::HWND{}, &dc, nullptr, 0, true), kPresentDone);
  EXPECT_EQ(DcPixel(*section, 99, 31), 0xFF000000u) << "a canvas 100 wide goes in bands of 32";
  EXPECT_EQ(DcPixel(*section, 99, 32), 0xFF000020u);
  EXPECT_EQ(DcPixel(*section, 0, 39), 0xFF000020u) << "the last band is shorter";
  EXPECT_TRUE(canvas.HasSource());
  EXPECT_EQ(canvas.PresentFrame(host::HWND{}, &dc, nullptr, 0, true), 1) << "the filter ended";
  EXPECT_FALSE(canvas.HasSource());
}

// A change that reads the page it brings in shows that page as it is now, whether the page is
// redrawn whole before the change's bands or, being too large for the cache, band by band just
// before each.
TEST(CanvasLayer, TheIncomingPageIsUpToDateInEveryBandOfAChange) {
  host::VirtualClock clock;
  ScopedGlobal<host::ClockSource> useClock(&clock);
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  constexpr int32_t kW = 640, kH = 480;
  for (const bool byRows : {false, true}) {
    SCOPED_TRACE(byRows);
    CanvasLayer canvas, page;
    ASSERT_EQ(canvas.Create(kW, kH, 32, kLayerComposed), kLayerDone);
    ASSERT_EQ(page.Create(kW, kH, 32, kLayerComposed), kLayerDone);
    ASSERT_EQ(canvas.SetLinkedLayer(&page), kLayerDone);
    CompositionLayer& pageComposition = *page.GetCompositionLayer();
    pageComposition.SetBackgroundColor(0x203040, true);
    ColorRectObject box;
    (void)box.Create(300, 250, 0xC0E08020u, 0, 0);
    (void)pageComposition.GetList().Add(&box, 1, 0);
    auto* filter = new FakeFilter(0);
    filter->copiesSecond = true;
    filter->readsOnlyItsRows = byRows;
    ASSERT_EQ(canvas.AttachSource(filter, kAttachExchangeObjects, false, false), kLayerDone);
    auto section = host::DibSection::Create(kW, kH, 32);
    host::MemoryDc dc;
    dc.Select(section.get());
    ImageSurface expected;
    ASSERT_EQ(expected.Create(kW, kH, 32, 0), kSurfaceDone);
    for (int frame = 0; frame < 4; ++frame) {
      box.SetPos(frame * 101, frame * 53);
      // The whole page at times: too much for the cache, so drawn by rows.
      if (frame % 2 == 1) (void)pageComposition.InvalidateAll();
      ASSERT_EQ(canvas.PresentFrame(host::HWND{}, &dc, nullptr, 0, true), kPresentDone);
      ASSERT_EQ(pageComposition.RenderTo(&expected, kRenderAll, 0, false), kComposeDone);
      for (int y = 0; y < kH; ++y) {
        ASSERT_EQ(std::memcmp(section->Pixels() + y * section->Pitch(), expected.GetRowPointer(y),
                              size_t(kW) * 4),
                  0)
            << "frame " << frame << ", row " << y;
      }
    }
    canvas.DetachSource(false);
  }
}

}  // namespace
}  // namespace bw
