#include "natives/render_natives.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "effects/builtin_effects.h"
#include "effects/effect_registries.h"
#include "graphics/device/direct3d_fixture.h"
#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/layers/texture_layer.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/image_surface.h"
#include "gui/hit_area_part.h"
#include "gui/part_manager.h"
#include "host/clock.h"
#include "host/headless/headless_backend.h"
#include "native_rig.h"
#include "natives/object_casts.h"
#include "platform/timer_service.h"
#include "resource/images/image_loader_manager.h"
#include "scenario/font_list.h"
#include "support/game_run.h"
#include "support/listed_task.h"
#include "support/text_renderers.h"

namespace bw {
namespace {

// A script host with a display manager and the effects' timer service published.
class RenderRig : public NativeRig {
 public:
  TimerService timers;
  DisplayManager display;
  ScopedGlobal<TimerService> publishTimers{&timers};
  ScopedGlobal<DisplayManager> publishDisplay{&display};
};

// The same index in another generation: a forged handle.
constexpr uint32_t kOtherGeneration = 1u << HandleTable::kIndexBits;

TEST(ObjectCasts, DecideByHandleTypeThenKind) {
  RenderRig rig;
  ImageSurface* image = nullptr;
  CanvasLayer* canvas = nullptr;
  OffscreenLayer* offscreen = nullptr;
  ASSERT_EQ(rig.display.CreateImageSurface(&image, 4, 4, 32, 0), 0);
  ASSERT_EQ(rig.display.CreateCanvasLayer(&canvas, 8, 8, 32, kLayerComposed), 0);
  ASSERT_EQ(rig.display.CreateOffscreenLayer(&offscreen, 8, 8, 32, true), 0);
  ScriptHandles& h = rig.Handles();

  uint32_t imageHandle = rig.Give(image);
  EXPECT_EQ(GetObjectSurface(h, imageHandle), image);

  // Kinds 7 to 10 are also GUI-part kinds: a layer handle casts as a layer, a part as nothing.
  for (SurfaceLayer* layer :
       {static_cast<SurfaceLayer*>(canvas), static_cast<SurfaceLayer*>(offscreen)}) {
    SCOPED_TRACE(layer->GetKind());
    uint32_t handle = rig.Give(dynamic_cast<Surface*>(layer));
    EXPECT_EQ(GetObjectSurface(h, handle), dynamic_cast<ImageSurface*>(layer));
    CompositionLayer* container = nullptr;
    EXPECT_EQ(GetObjectImageHolderAndContainer(h, handle, &container), layer);
    EXPECT_EQ(container, layer->GetCompositionLayer());
  }

  HitAreaPart area;
  const uint32_t partHandle = h.HandleOf(ScriptObjectType::kGuiPart, &area);

  ColorRectObject* sprite = nullptr;
  ASSERT_EQ(rig.display.CreateColorRect(&sprite, 2, 2, 0, 0, 0), 0);
  uint32_t spriteHandle = h.HandleOf(ScriptObjectType::kDisplayObject, sprite);
  CompositionLayer* container = offscreen->GetCompositionLayer();
  for (uint32_t bad : {partHandle, spriteHandle, imageHandle + kOtherGeneration, 0u, 12345u}) {
    EXPECT_EQ(GetObjectSurface(h, bad), nullptr) << bad;
    EXPECT_EQ(GetObjectImageHolderAndContainer(h, bad, &container), nullptr) << bad;
    EXPECT_EQ(container, nullptr);
  }
}

// A task that writes into its target every step, as path and sprite animations do.
class TouchingTask : public TimedTask {
 public:
  TouchingTask(void* target, void (*touch)(void*)) : target_(target), touch_(touch) {}
  int32_t Update(uint32_t) override {
    touch_(target_);
    return kTaskStepContinue;
  }
  void Stop() override { touch_(target_); }
  bool IsBoundTo(const void* object) const override { return object == target_; }

 private:
  void* target_;
  void (*touch_)(void*);
};

// Destroying by owner takes the items and (flag 1) the layers; a task bound to one of them ends
// first, untouched, so the next pass does not write into freed memory (checked by the sanitizer).
TEST(TaskHandles, ABoundTaskGoesBeforeItsTargetAndReadsAsGone) {
  RenderRig rig;
  EXPECT_EQ(rig.Answer(Native::kDisplaySetOwner, {5}), 0) << "the owner of what follows";
  uint32_t item = rig.Made(Native::kCreateD3DRectPrimitive, {4, 4, 0xFF000000u, 0, 0});
  uint32_t canvas = rig.Made(Native::kCreateCanvasLayer, {8, 8, 32, kLayerComposed});
  ASSERT_TRUE(item && canvas);
  TouchingTask* itemTask = test::List(
      rig.timers,
      std::make_unique<TouchingTask>(rig.Handles().Get(item, ScriptObjectType::kRenderItem),
                                     [](void* t) { static_cast<RenderItem*>(t)->MoveBy(1, 1); }));
  TouchingTask* containerTask = test::List(
      rig.timers,
      std::make_unique<TouchingTask>(GetObjectContainer(rig.Handles(), canvas), [](void* t) {
        static_cast<CompositionLayer*>(t)->InvalidateRect(nullptr);
      }));
  ASSERT_TRUE(itemTask && containerTask);
  uint32_t handle = TaskHandleOf(*rig.host, itemTask);
  uint32_t other = TaskHandleOf(*rig.host, containerTask);
  EXPECT_EQ(rig.Answer(Native::kTaskPause, {handle}), 1);
  EXPECT_EQ(itemTask->PauseCount(), 1u);
  EXPECT_EQ(rig.Answer(Native::kTaskResume, {handle}), 1);
  rig.timers.RunDue(10);

  EXPECT_EQ(rig.Answer(Native::kDisplayDestroyOwned, {5, 0}), 0) << "destroy the owner's items";
  EXPECT_EQ(rig.Answer(Native::kTaskIsAlive, {handle}), 0) << "a finished task reads as gone";
  EXPECT_EQ(rig.Answer(Native::kTaskIsAlive, {other}), 1);
  EXPECT_EQ(rig.Answer(Native::kDisplayDestroyOwned, {5, kOwnerAlsoLayers}), 0) << "and its layers";
  EXPECT_EQ(rig.Answer(Native::kTaskIsAlive, {other}), 0);
  rig.timers.RunDue(20);
  EXPECT_EQ(rig.timers.Count(), 0u);
}

// Image holders a (made for owner 7) and b, linked layers of one shape, beside a smaller layer
// and an image.
class ImageHolderNatives : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterApplicationKeywords(filters, effects);
    rig.Call(Native::kDisplaySetOwner, {7});
    a = rig.Made(Native::kCreateCanvasLayer, {8, 8, 32, kLayerComposed});
    rig.Call(Native::kDisplaySetOwner, {0});
    b = rig.Made(Native::kCreateCanvasLayer, {8, 8, 32, kLayerComposed});
    small = rig.Made(Native::kCreateCanvasLayer, {4, 4, 32, kLayerComposed});
    image = rig.Made(Native::kCreateImage, {8, 8, 32, 0});
    ASSERT_TRUE(a && b && small && image);
  }
  SurfaceLayer* Holder(uint32_t handle) { return GetObjectImageHolder(rig.Handles(), handle); }

  RenderRig rig;
  TcpPluginManager filters;
  DcpPluginManager effects;
  ScopedGlobal<TcpPluginManager> publishFilters{&filters};
  uint32_t a = 0, b = 0, small = 0, image = 0;
};

// A link refuses another shape, and a link to a destroyed layer is dropped with it.
TEST_F(ImageHolderNatives, LinksTakeOneShapeAndGoWithTheLinkedLayer) {
  EXPECT_EQ(rig.Answer(Native::kImageHolderLink, {a, small}), kLinkRefused);
  EXPECT_EQ(rig.Answer(Native::kImageHolderLink, {a, b}), 0);
  EXPECT_EQ(rig.Answer(Native::kLayerSetSourceLink, {a, 1}), 1);
  EXPECT_EQ(Holder(a)->GetLinkedLayer(), Holder(b));
  EXPECT_EQ(rig.Answer(Native::kDisplayDestroyLayer, {rig.Var(b)}), 0);
  EXPECT_EQ(Holder(a)->GetLinkedLayer(), nullptr);
}

TEST_F(ImageHolderNatives, EachKeepsTheOwnerItWasMadeFor) {
  rig.Expect({{"no part owns a layer", Native::kImageHolderGetLinkedPart, {a}, 0},
              {"its owner", Native::kImageHolderGetValue, {a}, 7},
              {"none", Native::kImageHolderGetValue, {b}, 0},
              {"an image is no holder", Native::kImageHolderGetValue, {image}, 0}});
}

// Applying the link exchanges the compositions, and a filter runs between the linked layers.
TEST_F(ImageHolderNatives, ApplyingTheLinkExchangesAndFilters) {
  ASSERT_EQ(rig.Answer(Native::kImageHolderLink, {a, b}), 0);
  CompositionLayer* theirs = GetObjectContainer(rig.Handles(), b);
  EXPECT_EQ(rig.Answer(Native::kImageHolderApplyLinked, {a, 0}), 1);
  EXPECT_EQ(GetObjectContainer(rig.Handles(), a), theirs) << "the compositions change places";
  EXPECT_EQ(rig.Answer(Native::kFilterStart, {a, rig.Text("cross"), 0, 0, 100}), 0);
  EXPECT_EQ(rig.Answer(Native::kFilterStart, {a, rig.Text("cross"), 0, 0, 0}),
            kRenderNativeWrongKind)
      << "a duration of 0 makes no filter";
}

// The font list's names: copied bounded into a buffer, or handed out as guest copies.
TEST(RenderNatives, FontNames) {
  RenderRig rig;
  FontList fonts([](const host::LOGFONTA&, host::FONTENUMPROCA proc, host::LPARAM param, uint32_t) {
    int answer = 1;
    for (const char* face : {"GOTHIC", "0123456789ABCDEF0123456789ABCDEF"}) {
      host::ENUMLOGFONTEXA font{};
      std::memcpy(font.elfLogFont.lfFaceName, face, std::min<size_t>(32, std::strlen(face)));
      answer = proc(&font, host::TRUETYPE_FONTTYPE, param);
    }
    return answer;
  });
  rig.app.fonts = &fonts;
  EXPECT_EQ(rig.Answer(Native::kFontListEnumerate, {0, 0}), 2);
  uint32_t buffer = rig.Block(40);
  EXPECT_EQ(rig.Answer(Native::kFontListGetName, {1, buffer}), 1);
  EXPECT_EQ(rig.Read(buffer), "0123456789ABCDEF0123456789ABCDEF")
      << "all 32 bytes of an unterminated face";
  uint32_t name = rig.Made(Native::kFontListGetNamePtr, {0});
  EXPECT_EQ(rig.Read(name), "GOTHIC");
  EXPECT_TRUE(rig.Call(Native::kFontListGetName, {0, PastTheArena(rig.Memory())}).faulted);
}

// 203: below -1 the settings' budget, else the script's own.
TEST(RenderNatives, ImageCacheBudget) {
  RenderRig rig;
  ImageLoaderManager images;
  ScopedGlobal<ImageLoaderManager> published(&images);
  rig.app.cacheBudget = 12;
  for (auto [word, megabytes] : {std::pair{uint32_t(-2), 12u}, {3u, 3u}}) {
    EXPECT_EQ(rig.Answer(Native::kImageCacheSetBudget, {word}), 0);
    EXPECT_EQ(images.GetCache().GetBudget(), uint64_t{megabytes} << 20);
  }
}

TEST(RenderNatives, OnlyACanvasLayerBecomesTheScreen) {
  RenderRig rig;
  uint32_t image = rig.Made(Native::kCreateImage, {8, 8, 32, 0});
  uint32_t canvas = rig.Made(Native::kCreateCanvasLayer, {16, 12, 32, kLayerComposed});
  ASSERT_NE(canvas, 0u);
  uint32_t rect[4] = {rig.Block(4), rig.Block(4), rig.Block(4), rig.Block(4)};
  EXPECT_EQ(rig.Answer(Native::kDisplaySetScreen, {image}), kRenderNativeNull);
  EXPECT_EQ(rig.Answer(Native::kDisplaySetScreen, {canvas}), 0);
  EXPECT_EQ(rig.Made(Native::kDisplayGetScreen, {}), canvas);
  EXPECT_EQ(rig.Answer(Native::kDisplayGetScreenRect, {rect[0], 0, rect[2], rect[3]}), 1);
  EXPECT_EQ(std::pair(rig.Word(rect[2]), rig.Word(rect[3])), std::pair(16u, 12u));
  (void)rig.display.SetScreenSurface(nullptr);
}

// A release of another kind of object is not listed.
TEST(RenderNatives, ReleasesKeepToTheirKind) {
  RenderRig rig;
  int32_t item = rig.Answer(Native::kCreateD3DRectPrimitive, {4, 4, 0xFF0000FFu, 1, 2});
  ASSERT_NE(item, 0);
  EXPECT_EQ(rig.Answer(Native::kDisplayDestroyLayer, {rig.Var(uint32_t(item))}), kDestroyNotListed)
      << "an item is not a layer";
  EXPECT_EQ(rig.Answer(Native::kDisplayDestroyAll, {}), 0);
  EXPECT_EQ(rig.Answer(Native::kRenderItemSetPosition, {uint32_t(item), 0, 0}), 0)
      << "gone with every item";
}

// The items that draw pictures need the display device.
class RenderItemNatives : public testing_devices::Direct3DTarget {
 protected:
  void SetUp() override {
    testing_devices::Direct3DTarget::SetUp();
    rect = rig.Made(Native::kCreateD3DRectPrimitive, {4, 4, 0xFF000000u, 0, 0});
    image = rig.Made(Native::kCreateDirectDrawImage, {8, 8});
    sprite = rig.Made(Native::kCreateSpritePrimitive, {image, 0, 0, 4, 4, 9, 9});
    ASSERT_TRUE(rect && image && sprite);
    rectItem = rig.Handles().Get<D3DRectPrimitive>(rect, ScriptObjectType::kRenderItem);
  }
  RenderRig rig;
  uint32_t rect = 0, image = 0, sprite = 0;
  D3DRectPrimitive* rectItem = nullptr;
};

// Each setter acts on its own item types only; the others answer the row's value untouched.
TEST_F(RenderItemNatives, SettersRefuseTheWrongItemType) {
  rig.Expect({{"colour", Native::kRenderItemSetColor, {rect, 0x123456}, 1},
              {"alpha", Native::kRenderItemSetAlpha, {rect, 300}, 1},
              {"sprite stage", Native::kSpriteItemSetColorStage, {rect, 1, 2, 3}, 0},
              {"progress", Native::kTransitionItemSetProgress, {rect, 5}, -1},
              {"a plain sprite has no colour", Native::kRenderItemSetColor, {sprite, 0x654321}, 0},
              {"a surface is no item", Native::kRenderItemSetColor, {image, 0x654321}, 0}});
  EXPECT_EQ(rectItem->Vertices()[0].diffuse, 0xFF123456u);
  EXPECT_EQ(rectItem->Vertices()[3].diffuse >> 24, 255u) << "alpha clamped";
}

TEST_F(RenderItemNatives, OffsetsAddUpToTheEdgeOfTheRange) {
  EXPECT_EQ(rig.Answer(Native::kRenderItemSetOffset, {rect, 5, uint32_t(-6)}), 1);
  EXPECT_EQ(rig.Answer(Native::kRenderItemAddOffset, {rect, 0x7FFFFFFF, 2}), 1);
  EXPECT_EQ(std::pair(rectItem->DrawOffsetX(), rectItem->DrawOffsetY()),
            std::pair(int32_t{0x7FFFFFFF}, -4));
}

// Items placed, sized and moved past the ends of 32 bits stop at the edge (the sanitizer build
// checks that no sum overflows on the way), turned or not.
TEST_F(RenderItemNatives, FarOffItemsStopAtTheEdge) {
  const uint32_t out = rig.Block(16);
  auto edges = [&](uint32_t item) {
    EXPECT_EQ(rig.Answer(Native::kRenderItemGetRect, {item, out, out + 4, out + 8, out + 12}), 1);
    return Rect{int32_t(rig.Word(out)), int32_t(rig.Word(out + 4)), int32_t(rig.Word(out + 8)),
                int32_t(rig.Word(out + 12))};
  };
  for (uint32_t item : {rect, sprite}) {
    EXPECT_EQ(rig.Answer(Native::kRenderItemSetPosition, {item, 0x7FFFFFF0, uint32_t(INT32_MIN)}),
              1);
    EXPECT_EQ(rig.Answer(Native::kRenderItemMoveBy, {item, 0x100, uint32_t(-1)}), 1);
    EXPECT_EQ(edges(item), (Rect{INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN + 4}));
    EXPECT_EQ(
        rig.Answer(Native::kRenderItemSetSizeAndPosition, {item, 0x7FFFFFFF, 8, 0x7FFFFFF0, 0}), 1);
    EXPECT_EQ(edges(item).right, INT32_MAX);
  }
  EXPECT_EQ(rig.Answer(Native::kRenderItemSetRotation, {rect, 64, 3}), 1)
      << "turned about its far corner";
}

// A texture layer is an image holder as the other layers are: its picture takes fills, its
// container takes sprites, and new parts and the tooltips are placed on it.
TEST_F(RenderItemNatives, ATextureLayerHoldsItsPictureAndContainer) {
  const uint32_t layer =
      rig.Made(Native::kCreateTextureLayer, {kFormatX888, 8, 8, 32, kLayerComposed});
  auto* texture =
      dynamic_cast<TextureLayer*>(rig.Handles().Get<Surface>(layer, ScriptObjectType::kSurface));
  ASSERT_NE(texture, nullptr);
  EXPECT_EQ(rig.Answer(Native::kObjectFill, {layer, 0x10, 0x20, 0x30}), 1);
  EXPECT_EQ(texture->GetImage()->GetPixel(3, 3) & 0xFFFFFF, 0x102030u);
  const uint32_t fill = rig.Made(Native::kColorRectCreate, {2, 2, 0xFFFFFFFF, 0, 0});
  EXPECT_EQ(rig.Answer(Native::kContainerAdd, {layer, fill, 1, 0, 0}), kAddDone);
  PartManager parts;
  rig.app.parts = &parts;
  EXPECT_EQ(rig.Answer(Native::kPartSetTarget, {layer}), 0);
  EXPECT_EQ(parts.GetTargetLayer(), texture->GetCompositionLayer());
  rig.app.parts = nullptr;
}

// Render items move along paths as sprites do, from text or a point array.
TEST_F(RenderItemNatives, ItemsMoveAlongPaths) {
  host::VirtualClock clock{1000};
  ScopedGlobal<host::ClockSource> published(&clock);
  const uint32_t points[] = {7, 8, 255};
  const uint32_t array = rig.Words(points);
  ASSERT_NE(
      rig.Answer(Native::kRenderItemMovePoints, {rect, 100, 1, array, 0, 0, 65535, 0, 0, 0, 0}), 0);
  rig.timers.RunDue(1200);
  rig.timers.RunDue(1400);
  EXPECT_EQ(std::pair(rectItem->GetX(), rectItem->GetY()), std::pair(7, 8));
  EXPECT_TRUE(rig.Call(Native::kRenderItemMovePoints,
                       {rect, 100, 1, PastTheArena(rig.Memory()), 0, 0, 65535})
                  .faulted);
}

// The pairs are checked in guest memory before anything is made.
TEST_F(RenderItemNatives, PolygonPairsMustLieInGuestMemory) {
  const size_t items = rig.display.RenderItemCount();
  EXPECT_EQ(rig.Answer(Native::kCreateD3DPolygonPrimitive, {6, 0, 1, 0, 0}), 0)
      << "type index above 5";
  const uint32_t farPairs[] = {0, 0xFF000000u, 0x40000000};  // pairs far past the words given
  NativeAnswer huge = rig.CallAt(Native::kCreateD3DPolygonPrimitive, rig.Words(farPairs));
  EXPECT_EQ(huge.result, 0);
  EXPECT_TRUE(huge.faulted);
  EXPECT_EQ(rig.display.RenderItemCount(), items);

  const uint32_t pairs[] = {1, 0xFF00FF00u, 3, 0, 0, 4, 0, 4, 4};
  uint32_t polygon =
      uint32_t(rig.CallAt(Native::kCreateD3DPolygonPrimitive, rig.Words(pairs)).result);
  ASSERT_NE(polygon, 0u);
  auto* item = rig.Handles().Get<D3DPolygonPrimitive>(polygon, ScriptObjectType::kRenderItem);
  ASSERT_EQ(item->Vertices().size(), 3u);
  EXPECT_LT(item->Vertices()[0].x, item->Vertices()[1].x) << "points (0, 0), (4, 0), (4, 4)";
  EXPECT_LT(item->Vertices()[1].y, item->Vertices()[2].y);
  // Borrowed arrays would be gone with the native's call: moving a point reads them again.
  EXPECT_EQ(rig.Answer(Native::kPrimitiveSetPoint, {polygon, 2, 7, 7}), 1);
  EXPECT_GT(item->Vertices()[2].x, item->Vertices()[1].x);
}

// A gdi and an outline renderer, made through the published factory.
class TextRendererNatives : public ::testing::Test, public testing_text::FakeFaceRenderers {
 protected:
  void SetUp() override {
    gdi = rig.Made(Native::kTextRendererCreateGdi, {rig.Text("FACE"), 16});
    outline = rig.Made(Native::kTextRendererCreateOutline, {0, 16});
    ASSERT_TRUE(gdi && outline);
  }
  RenderRig rig;
  ScopedGlobal<TextRendererFactory> publishFactory{&factory};
  uint32_t gdi = 0, outline = 0;
};

TEST_F(TextRendererNatives, SettersRefuseForgedHandlesNullNamesAndOtherKinds) {
  const uint32_t forged = outline + kOtherGeneration;
  rig.Expect({{"forged", Native::kTextRendererSetColor, {forged, 1, 2, 3}, 0},
              {"a null face name", Native::kTextRendererSetFaceName, {gdi, 0}, 2},
              {"outline renderers only", Native::kOutlineRendererSetOrientation, {gdi, 900}, 0}});
}

// 189 formats through the bounded guest formatter: a huge width stays inside its buffer.
TEST_F(TextRendererNatives, AFormattedDrawStaysInsideItsBuffer) {
  uint32_t image = rig.Made(Native::kCreateImage, {32, 32, 32, 0});
  EXPECT_EQ(rig.Answer(Native::kTextRendererSetDefault, {gdi}), 1);
  EXPECT_FALSE(
      rig.Call(Native::kImageDrawTextFormat, {image, 0, 0, rig.Text("%5000d"), 7}).faulted);
}

// A game's frames drawn from the render list, with the back buffer the scripts ask to clear.
// The border colour and the clearing flag set, then five frames and the end.
constexpr char kClearingMain[] =
    " native native:198, colour, result\n"
    " native native:199, on, result\n"
    "idle:\n"
    " wait\n"
    " inc frames\n"
    " mov frames, check.1\n"
    "check: lt 0, 5, waiting\n"
    " mov waiting, branch.1\n"
    "branch: jz 0, done\n"
    " jmp idle\n"
    "done:\n"
    " ret\n"
    "colour: .word 0x10, 0x20, 0x30\n"
    "on: .word 1\n"
    "result: .word 0\n"
    "frames: .word 0\n"
    "waiting: .word 0\n";

class RenderListFrames : public test::GameRun {};

TEST_F(RenderListFrames, StartFromTheColourTheScriptGave) {
  WriteGame(kClearingMain);
  uint32_t middle = 0;
  int shown = 0;
  backend.SetFrameObserver([&](host::HWND window, const host::HeadlessSink& sink) {
    if (window != backend.MainWindow()) return;
    const host::Frame& f = sink.LastFrame();
    const size_t at = (size_t(f.height / 2) * size_t(f.width) + size_t(f.width / 2)) * 4;
    if (at + 4 > f.bgra.size()) return;
    middle = uint32_t(f.bgra[at]) | uint32_t(f.bgra[at + 1]) << 8 | uint32_t(f.bgra[at + 2]) << 16;
    ++shown;
  });
  GameApp app;
  EXPECT_EQ(RunGame(app), kExitNormal);
  backend.SetFrameObserver(nullptr);
  ASSERT_GT(shown, 0);
  EXPECT_EQ(middle, 0x102030u) << "nothing drawn over the cleared back buffer";
}

}  // namespace
}  // namespace bw
