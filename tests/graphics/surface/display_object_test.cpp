#include "graphics/surface/display_object.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"

namespace bw {
namespace {

std::vector<DisplayObject*> Order(const DisplayObjectList& list) {
  std::vector<DisplayObject*> out;
  for (const auto& node : list.Nodes()) out.push_back(node.object);
  return out;
}

TEST(DisplayObjectList, KeepsAscendingPriorityAndRefusesAnObjectTwice) {
  ColorRectObject p, q, r;
  DisplayObjectList list;
  ASSERT_EQ(list.Add(&p, 5, 0), kAddDone);
  ASSERT_EQ(list.Add(&q, 5, 0), kAddDone);
  ASSERT_EQ(list.Add(&r, 3, 0), kAddDone);
  EXPECT_EQ(Order(list), (std::vector<DisplayObject*>{&r, &q, &p}))
      << "equal priorities go before the ones already there";

  DisplayObjectList other;
  EXPECT_EQ(other.Add(&p, 1, 0), kAddInList);
  EXPECT_EQ(list.Add(nullptr, 1, 0), kAddNoObject);
  EXPECT_TRUE(other.IsEmpty());

  ColorRectObject s;
  ASSERT_EQ(list.AddAfterEqual(&s, 5, 0), kAddDone);
  EXPECT_EQ(Order(list).back(), &s);
  ASSERT_TRUE(list.SetPriority(&s, 3, false));
  EXPECT_EQ(Order(list), (std::vector<DisplayObject*>{&s, &r, &q, &p}));
  ASSERT_TRUE(list.SetPriorityAfterEqual(&s, 3, false));
  EXPECT_EQ(Order(list), (std::vector<DisplayObject*>{&r, &s, &q, &p}));
}

TEST(SurfaceUsers, AFreedSourceOrBackgroundDetachesItsUsers) {
  ScopedPixelLibrary library(&BuiltInPixelLibrary());
  ImageSurface target;
  ASSERT_EQ(target.Create(16, 16, 32, 0), kSurfaceDone);
  CompositionLayer layer;
  ASSERT_EQ(layer.SetTarget(&target, true), kComposeDone);
  Sprite sprite;
  (void)layer.GetList().Add(&sprite, 0, 0);
  {
    ImageSurface picture;
    ASSERT_EQ(picture.Create(8, 8, 32, 0), kSurfaceDone);
    (void)picture.Fill(0xFF00FF00u, nullptr);
    ASSERT_EQ(sprite.SetImage(&picture, nullptr, 2, 2), kSpriteDone);
    ASSERT_EQ(sprite.SetZoom(12, 12), kSpriteDone);
    ASSERT_TRUE(layer.SetBackgroundImage(&picture, 0, 0, true));
    ASSERT_EQ(layer.SetBackgroundStretch(0, 0, 0, 0, nullptr), 0);
  }
  EXPECT_EQ(std::tuple(sprite.GetSource(), sprite.GetWorkSurface()), std::tuple(nullptr, nullptr));
  ImageSurface* background = &target;
  layer.GetBackground(&background, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(background, nullptr);
  (void)layer.InvalidateAll();
  EXPECT_EQ(layer.RedrawDirty(nullptr, nullptr, 0, 0), kComposeDone)
      << "redrawing after the picture went must not touch it";

  {
    auto gone = std::make_unique<ImageSurface>();
    ASSERT_EQ(gone->Create(4, 4, 32, 0), kSurfaceDone);
    CompositionLayer other;
    ASSERT_EQ(other.SetTarget(gone.get(), false), kComposeDone);
    gone.reset();
    EXPECT_EQ(other.GetTarget(), nullptr);
    EXPECT_EQ(other.RedrawDirty(nullptr, nullptr, 0, 0), kComposeNoTarget);
  }
}

}  // namespace
}  // namespace bw
