#include "graphics/surface/composition_layer.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "graphics/pixel/pixel_library.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/sprite.h"
#include "graphics/surface/surface_fixture.h"

namespace bw {
namespace {

using testing_surfaces::Nodes;
using testing_surfaces::Pixel;
using testing_surfaces::Random;
using testing_surfaces::SamePixels;

// Records the clip of every Draw call.
class Recorder : public ColorRectObject {
 public:
  int Draw(ImageSurface* target, const Rect& clip) override {
    clips.push_back(clip);
    return ColorRectObject::Draw(target, clip);
  }
  std::vector<Rect> clips;
};

class CompositionTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(target_.Create(100, 70, 32, 0), kSurfaceDone);
    ASSERT_EQ(layer_.SetTarget(&target_, true), kComposeDone);
    layer_.SetBackgroundColor(0x102030, false);
  }
  ScopedPixelLibrary library_{&BuiltInPixelLibrary()};
  ImageSurface target_;
  CompositionLayer layer_;
};

TEST_F(CompositionTest, RedrawsInBandsByWidthAndOnlyWhatIsDirty) {
  Recorder object;
  object.Create(100, 70, 0xFF00FF00u, 0, 0);
  layer_.GetList().Add(&object, 0, 0);
  ASSERT_EQ(layer_.RedrawDirty(nullptr, nullptr, 0, 0), kComposeDone);
  EXPECT_EQ(object.clips, (std::vector<Rect>{{0, 0, 100, 32}, {0, 32, 100, 64}, {0, 64, 100, 70}}));

  object.clips.clear();
  EXPECT_EQ(layer_.RedrawDirty(nullptr, nullptr, 0, 0), kComposeNothingDirty);
  EXPECT_TRUE(object.clips.empty());

  SetBandedRedraw(false);
  layer_.InvalidateAll();
  layer_.RedrawDirty(nullptr, nullptr, 0, 0);
  SetBandedRedraw(true);
  EXPECT_EQ(object.clips, (std::vector<Rect>{{0, 0, 100, 70}}));
  EXPECT_EQ(BandHeight(39), 128);
  EXPECT_EQ(BandHeight(40), 64);
  EXPECT_EQ(BandHeight(640), 8);
}

TEST_F(CompositionTest, AMovedObjectDirtiesItsOldAndNewPlace) {
  ColorRectObject box;
  box.Create(10, 10, 0xFFFF0000u, 5, 5);
  layer_.GetList().Add(&box, 0, 0);
  layer_.RedrawDirty(nullptr, nullptr, 0, 0);
  EXPECT_EQ(Pixel(target_, 6, 6) & 0xFFFFFF, 0xFF0000u);

  box.SetPos(50, 40);
  layer_.CollectChanges(nullptr, nullptr);
  EXPECT_EQ(Nodes(layer_.Dirty()), (std::vector<Rect>{{5, 5, 15, 15}, {50, 40, 60, 50}}));
  DirtyRectList out;
  const Rect outClip{0, 0, 65, 70};
  ASSERT_EQ(layer_.RedrawDirty(&out, &outClip, 10, 0), kComposeDone);
  EXPECT_EQ(Pixel(target_, 6, 6) & 0xFFFFFF, 0x102030u) << "the old place shows the background";
  EXPECT_EQ(Pixel(target_, 51, 41) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(Nodes(out), (std::vector<Rect>{{15, 5, 25, 15}, {60, 40, 65, 50}}))
      << "moved right by 10 and cut to the output clip";

  box.SetVisible(false);
  layer_.RedrawDirty(nullptr, nullptr, 0, 0);
  EXPECT_EQ(Pixel(target_, 51, 41) & 0xFFFFFF, 0x102030u) << "an invisible object is not drawn";
  box.SetVisible(true);
  box.SetAlpha(0);
  layer_.InvalidateAll();
  layer_.RedrawDirty(nullptr, nullptr, 0, 0);
  EXPECT_EQ(Pixel(target_, 51, 41) & 0xFFFFFF, 0x102030u) << "nor a fully transparent one";
}

TEST_F(CompositionTest, DirtyRedrawMatchesAFullRedraw) {
  std::mt19937 rng(2024);
  auto background = Random(rng, 120, 90, 32);
  layer_.SetBackgroundImage(background.get(), 7, 9, true);
  std::vector<std::unique_ptr<ImageSurface>> pictures;
  std::vector<std::unique_ptr<Sprite>> sprites;
  DisplayObjectList upper;
  layer_.SetSecondList(&upper);
  for (int i = 0; i < 8; ++i) {
    pictures.push_back(Random(rng, 5 + int(rng() % 20), 5 + int(rng() % 20), 32));
    auto sprite = std::make_unique<Sprite>();
    ASSERT_EQ(sprite->SetImage(pictures.back().get(), nullptr, int32_t(rng() % 100) - 10,
                               int32_t(rng() % 70) - 10),
              kSpriteDone);
    sprite->SetDrawMode(int(rng() % 3));
    sprite->SetAlpha(int(rng() % 256));
    (i % 3 == 0 ? upper : layer_.GetList()).Add(sprite.get(), uint32_t(rng() % 4), 0);
    sprites.push_back(std::move(sprite));
  }
  ColorRectObject shade;
  shade.Create(30, 20, 0x80000000u | (rng() & 0xFFFFFF), 20, 20);
  layer_.GetList().Add(&shade, 1, 0);
  ImageSurface full;
  ASSERT_EQ(full.Create(100, 70, 32, 0), kSurfaceDone);
  for (int frame = 0; frame < 12; ++frame) {
    for (auto& sprite : sprites) {
      if (rng() % 2) sprite->MoveBy(int32_t(rng() % 9) - 4, int32_t(rng() % 9) - 4);
      if (rng() % 5 == 0) sprite->SetVisible(!sprite->IsVisible());
    }
    if (frame == 5) layer_.GetList().Remove(sprites[1].get());
    if (frame == 7) shade.SetArgb(0x40FFFFFFu);
    layer_.RedrawDirty(nullptr, nullptr, 0, 0);
    ASSERT_EQ(layer_.RenderTo(&full, kRenderAll, 0, true), kComposeDone);
    ASSERT_TRUE(SamePixels(target_, full)) << "frame " << frame;
  }
  layer_.SetSecondList(nullptr);
}

TEST_F(CompositionTest, ASpriteReportsWhatChangedInItsSourceWhereItShowsIt) {
  ImageSurface source;
  ASSERT_EQ(source.Create(20, 20, 32, kImageDirtyList), kSurfaceDone);
  Sprite sprite;
  const Rect shown{5, 5, 15, 15};
  ASSERT_EQ(sprite.SetImage(&source, &shown, 40, 30), kSpriteDone);
  layer_.GetList().Add(&sprite, 0, 0);
  layer_.RedrawDirty(nullptr, nullptr, 0, 0);
  source.GetDirtyList()->Clear();
  source.FillRectXYWH(0, 0, 8, 8, 0xFF0000FFu);
  source.FillRectXYWH(17, 17, 2, 2, 0xFF0000FFu);
  sprite.SyncWithSource(true);
  EXPECT_EQ(Nodes(layer_.Dirty()), (std::vector<Rect>{{40, 30, 43, 33}}))
      << "only the part inside the shown rectangle, moved to the sprite";
  EXPECT_FALSE(source.IsChanged());
  EXPECT_EQ(source.GetDirtyList()->Count(), 0);
}

TEST_F(CompositionTest, BackgroundRulesForEightBitTargetsAndNoBackground) {
  ImageSurface indexed;
  ASSERT_EQ(indexed.Create(8, 8, 8, 0), kSurfaceDone);
  CompositionLayer small;
  ASSERT_EQ(small.SetTarget(&indexed, true), kComposeDone);
  small.SetBackgroundRgb(5, 200, 9, true);
  ASSERT_EQ(small.RedrawDirty(nullptr, nullptr, 0, 0), kComposeDone);
  EXPECT_EQ(indexed.GetRowPointer(3)[3], 5) << "the red byte is the palette index";

  target_.Fill(0xFFABCDEFu, nullptr);
  layer_.SetNoBackground(true);
  layer_.InvalidateAll();
  layer_.RedrawDirty(nullptr, nullptr, 0, 0);
  EXPECT_EQ(Pixel(target_, 1, 1), 0xFFABCDEFu) << "without a background the target keeps its pixels";
  layer_.SetSuspended(true);
  layer_.InvalidateAll();
  EXPECT_EQ(layer_.RedrawDirty(nullptr, nullptr, 0, 0), kComposeDone);
  EXPECT_EQ(layer_.Dirty().Count(), 1) << "a suspended layer keeps its dirty list";
}

TEST_F(CompositionTest, StretchedBackgroundFillsTheTargetAndSwapsWithAnotherLayer) {
  ImageSurface picture;
  ASSERT_EQ(picture.Create(2, 2, 32, 0), kSurfaceDone);
  picture.Fill(0xFF00FF00u, nullptr);
  picture.SetPixel(1, 1, 0xFF0000FFu);
  ASSERT_TRUE(layer_.SetBackgroundImage(&picture, 0, 0, false));
  ASSERT_EQ(layer_.SetBackgroundStretch(0, 0, 0, 0, nullptr), 0);
  layer_.RedrawDirty(nullptr, nullptr, 0, 0);
  EXPECT_EQ(Pixel(target_, 10, 10), 0xFF00FF00u);
  EXPECT_EQ(Pixel(target_, 99, 69), 0xFF0000FFu);

  ImageSurface otherTarget;
  ASSERT_EQ(otherTarget.Create(100, 70, 32, 0), kSurfaceDone);
  CompositionLayer other;
  other.SetTarget(&otherTarget, false);
  other.SetBackgroundColor(0x445566, false);
  ASSERT_EQ(layer_.SwapBackground(&other, true), 0);
  layer_.RedrawDirty(nullptr, nullptr, 0, 0);
  other.RedrawDirty(nullptr, nullptr, 0, 0);
  EXPECT_EQ(Pixel(target_, 99, 69) & 0xFFFFFF, 0x445566u);
  EXPECT_EQ(Pixel(otherTarget, 99, 69), 0xFF0000FFu);
  EXPECT_EQ(layer_.SwapBackground(nullptr, true), 1);
}

}  // namespace
}  // namespace bw
