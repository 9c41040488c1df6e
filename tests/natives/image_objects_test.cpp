
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "effects/path_tasks.h"
#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/layers/software_surface_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"
#include "gui/ui_control.h"
#include "host/clock.h"
#include "native_rig.h"
#include "natives/image_natives.h"
#include "platform/timer_service.h"
#include "platform/trig_tables.h"
#include "resource/files/file.h"

namespace bw {
namespace {

constexpr uint32_t kOff = 65535;  // a word group switched off, or not given

uint32_t W(int32_t v) {
  return uint32_t(v);
}

// A display manager and the effects' timer service, published to a script host.
class ImageObjects : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(display.CreateImageSurface(&image, 32, 32, 32, 0), 0);
    (void)image->Fill(0xFF204060u, nullptr);
    imageHandle = rig.Give(image);
  }
  int32_t Call(uint32_t n, std::initializer_list<uint32_t> w) { return rig.Answer(n, w); }
  DisplayObject* Object(int32_t handle) {
    return rig.Handles().Get<DisplayObject>(W(handle), ScriptObjectType::kDisplayObject);
  }
  uint32_t Var(int32_t value) { return rig.Var(W(value)); }

  TrigTables trig;
  ScopedGlobal<TrigTables> publishedTrig{&trig};
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  TimerService timers;
  ScopedGlobal<TimerService> publishedTimers{&timers};
  DisplayManager display;
  ScopedGlobal<DisplayManager> publishedDisplay{&display};
  NativeRig rig;
  ImageSurface* image = nullptr;
  uint32_t imageHandle = 0;
};

// Sprites made, copied, owned and destroyed one by one, by owner and all while path tasks
// (with and without a script handle) use them: the tasks leave the service before each dies
// (the address sanitizer watches the frames that follow).
TEST_F(ImageObjects, SpritesDieCleanlyUnderTheirTasks) {
  EXPECT_EQ(Call(Native::kSpriteSetOwner, {7}), 0);
  const int32_t a = Call(Native::kSpriteCreate, {imageHandle, 0, 0, 16, 16, 5, 6});
  const int32_t b = Call(Native::kSpriteCreate, {imageHandle, kOff, 0, 0, 0, 1, 2});
  EXPECT_EQ(Call(Native::kSpriteSetOwner, {9}), 7) << "the previous owner";
  const int32_t c = Call(Native::kSpriteCreateCopy, {W(a)});
  const int32_t d = Call(Native::kColorRectCreate, {8, 4, 0x80FF0000u, 3, 3});
  ASSERT_TRUE(a && b && c && d);
  EXPECT_EQ(Call(Native::kSpriteCreateCopy, {W(d)}), 0) << "a colour rectangle is no sprite";

  auto moveTask = [&](int32_t sprite) {
    auto task = std::make_unique<MovePathTask>(100, 0, true, 0.0, 0, false, true, 0);
    EXPECT_EQ(task->SetPathText("(50,50,255)(0,0,255)"), kPathTaskDone);
    EXPECT_EQ(task->StartOnSprite(&timers, dynamic_cast<Sprite*>(Object(sprite))), kPathTaskDone);
    EXPECT_NE(timers.HandOver(std::move(task)), nullptr);
  };
  const uint32_t path = rig.Text("(100,0,255)(0,100,255)");
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    const int32_t s1 = round ? Call(Native::kSpriteCreate, {imageHandle, 0, 0, 16, 16, 0, 0}) : a;
    const int32_t s2 = round ? Call(Native::kSpriteCreate, {imageHandle, 0, 0, 16, 16, 0, 0}) : c;
    ASSERT_TRUE(s1 && s2);
    moveTask(s1);
    // The first round's tasks have no script handle: the destroy itself sets the sweeper up.
    if (round == 0) {
      moveTask(s2);
    } else {
      EXPECT_NE(rig.Answer(Native::kSpriteMovePath, {W(s2), 100, path, 0, 0, kOff, 0, 0, 0, 0}), 0);
    }
    timers.RunDue(1000);
    if (round == 0) {
      EXPECT_EQ(Call(Native::kSpriteDestroy, {Var(s1)}), 0);
      const uint32_t var = Var(s2);
      EXPECT_EQ(Call(Native::kSpriteDestroy, {var}), 0);
      EXPECT_EQ(Call(Native::kSpriteDestroy, {var}), kDestroyNull) << "the variable is cleared";
      EXPECT_EQ(Call(Native::kSpriteDestroy, {Var(s1)}), kDestroyNotListed) << "stale";
    } else if (round == 1) {
      EXPECT_EQ(Call(Native::kSpriteDestroyOwned, {9, 0}), 0);
      EXPECT_NE(Object(b), nullptr) << "owner 7 stays";
      EXPECT_EQ(Object(d), nullptr) << "owner 9";
    } else {
      EXPECT_EQ(Call(Native::kSpriteDestroyAll, {}), 0);
    }
    EXPECT_EQ(Object(s1), nullptr);
    EXPECT_EQ(Object(s2), nullptr);
    timers.RunDue(1100);
    EXPECT_EQ(timers.Count(), 0u) << "the tasks went with their sprites";
  }
}

// The list natives on containers of each kind: a canvas layer with its second list and an
// offscreen layer without one, and four sprites to list.
class ImageContainers : public ImageObjects {
 protected:
  void SetUp() override {
    ImageObjects::SetUp();
    CanvasLayer* canvas = nullptr;
    OffscreenLayer* offscreen = nullptr;
    ASSERT_EQ(display.CreateCanvasLayer(&canvas, 64, 48, 32, kLayerComposedWithUpperList), 0);
    ASSERT_EQ(display.CreateOffscreenLayer(&offscreen, 64, 48, 32, true), 0);
    canvasHandle = rig.Give(canvas);
    offscreenHandle = rig.Give(offscreen);
    withSecond = canvas->GetCompositionLayer();
    ownOnly = offscreen->GetCompositionLayer();
    ASSERT_NE(withSecond->GetSecondList(), nullptr);
    ASSERT_EQ(ownOnly->GetSecondList(), nullptr);
    for (uint32_t k = 0; k < 4; ++k)
      s.push_back(Call(Native::kSpriteCreate, {imageHandle, 0, 0, 8, 8, 8 * k, 0}));
  }

  uint32_t canvasHandle = 0, offscreenHandle = 0;
  CompositionLayer* withSecond = nullptr;
  CompositionLayer* ownOnly = nullptr;
  std::vector<int32_t> s;
};

TEST_F(ImageContainers, AddsTakeTheirListAndPriority) {
  // Priority -1: the first list at priority 0, user value 0, whatever the flag says.
  EXPECT_EQ(Call(Native::kContainerAdd, {canvasHandle, W(s[0]), W(-1), 5, 1}), kAddDone);
  const DisplayObjectList::Node* node = withSecond->GetList().Find(Object(s[0]));
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(std::pair(node->priority, node->user), std::pair(0u, 0u));
  EXPECT_EQ(Call(Native::kContainerAdd, {offscreenHandle, W(s[2]), 4, 0, 1}), 4)
      << "no second list";
  EXPECT_EQ(Call(Native::kContainerAdd, {offscreenHandle, W(s[2]), 4, 0, 0}), kAddDone);
  EXPECT_NE(ownOnly->GetList().Find(Object(s[2])), nullptr);
  EXPECT_EQ(Call(Native::kContainerAddAfterEqual, {canvasHandle, W(s[3]), 2, 0, 0}), kAddDone);
  EXPECT_EQ(Call(Native::kDisplayObjectGetState, {W(s[3])}), 2) << "listed and shown";
}

// Priorities in whichever list holds the object; removal from either.
TEST_F(ImageContainers, PrioritiesAndRemovalsFindTheObjectInEitherList) {
  ASSERT_EQ(Call(Native::kContainerAdd, {canvasHandle, W(s[1]), 4, 2, 1}), kAddDone);
  ASSERT_EQ(Call(Native::kContainerAdd, {offscreenHandle, W(s[2]), 4, 0, 0}), kAddDone);
  EXPECT_EQ(Call(Native::kContainerSetPriorityAfterEqual, {canvasHandle, W(s[1]), 7, 0}), 1);
  EXPECT_EQ(withSecond->GetSecondList()->Find(Object(s[1]))->priority, 7u);
  EXPECT_EQ(Call(Native::kContainerSetPriority, {canvasHandle, W(s[2]), 1, 0}), 0)
      << "not in this container";
  EXPECT_EQ(Call(Native::kContainerRemove, {canvasHandle, W(s[1])}), 1)
      << "found in the second list";
  EXPECT_EQ(withSecond->GetSecondList()->Find(Object(s[1])), nullptr);
}

TEST_F(ImageContainers, ListCallsAndClearsEmptyTheList) {
  ASSERT_EQ(Call(Native::kContainerAdd, {canvasHandle, W(s[0]), 1, 0, 0}), kAddDone);
  ASSERT_EQ(Call(Native::kContainerAdd, {offscreenHandle, W(s[2]), 4, 0, 0}), kAddDone);
  EXPECT_EQ(Call(Native::kContainerListCall, {canvasHandle, W(kAny), W(kAny), 0}), 0);
  EXPECT_TRUE(withSecond->GetList().IsEmpty());
  EXPECT_EQ(Call(Native::kContainerClear, {offscreenHandle}), 0);
  EXPECT_TRUE(ownOnly->GetList().IsEmpty());
}

// The background natives as a game uses them: 424 reads back what 418 and 419 set, 422 picks the
// picture's point that 423 puts at the turn's centre, 431 leaves the background out and 429
// renders the own list, and the second one when asked. Here on a canvas whose background is the
// picture and a colour, with a picture to render it to.
class ImageObjectsOnACanvas : public ImageObjects {
 protected:
  void SetUp() override {
    ImageObjects::SetUp();
    BuildBlendTables();
    CanvasLayer* canvas = nullptr;
    ASSERT_EQ(display.CreateCanvasLayer(&canvas, 64, 48, 32, kLayerComposedWithUpperList), 0);
    canvasHandle = rig.Give(canvas);
    ASSERT_EQ(display.CreateImageSurface(&shot, 64, 48, 32, 0), 0);
    shotHandle = rig.Give(shot);
    picture = image->GetPixel(0, 0);
    EXPECT_EQ(Call(Native::kCompositionSetBackgroundColor, {canvasHandle, 0x00102030u, 0}), 1);
    EXPECT_EQ(Call(Native::kCompositionSetBackgroundImage, {canvasHandle, imageHandle, 2, 3, 1}),
              1);
  }
  // The picture's anchor and where it lands, unturned about (20, 20).
  void Anchor(int32_t mode, int32_t x, int32_t y) {
    EXPECT_EQ(Call(Native::kCompositionSetBackgroundAnchor, {canvasHandle, W(mode), W(x), W(y)}),
              1);
    EXPECT_EQ(Call(Native::kCompositionSetBackgroundRotation, {canvasHandle, 0, 20, 20, 0}), 0);
  }
  ImageSurface* shot = nullptr;
  uint32_t canvasHandle = 0, shotHandle = 0, picture = 0;
};

TEST_F(ImageObjectsOnACanvas, TheBackgroundReadsBackAsSet) {
  const uint32_t outs = rig.Block(24);
  EXPECT_EQ(Call(Native::kCompositionGetBackground,
                 {canvasHandle, outs, outs + 4, outs + 8, outs + 12, outs + 16, outs + 20}),
            1);
  std::vector<uint32_t> read;
  for (uint32_t k = 0; k < 6; ++k) read.push_back(rig.Word(outs + 4 * k));
  EXPECT_EQ(read, (std::vector<uint32_t>{imageHandle, 2, 3, 0x10, 0x20, 0x30}));
}

// The 32 x 32 picture turned by nothing about (20, 20): its anchor lands there.
TEST_F(ImageObjectsOnACanvas, TheAnchorPlacesThePicture) {
  const struct {
    int32_t mode, x, y;  // the anchor
    int32_t left, top;   // where the picture lands
  } anchors[] = {{0, 9, 9, 20, 20},   {1, 9, 9, -12, 20}, {2, 9, 9, 20, -12},
                 {3, 9, 9, -12, -12}, {4, 9, 9, 4, 4},    {7, 10, 2, 10, 18}};
  for (const auto& c : anchors) {
    Anchor(c.mode, c.x, c.y);
    ASSERT_EQ(Call(Native::kCompositionRenderTo, {canvasHandle, shotHandle, 0, 0, 1}),
              kComposeDone);
    for (int32_t y = 0; y < 48; y += 3) {
      for (int32_t x = 0; x < 64; x += 3) {
        const bool inside = x >= c.left && x < c.left + 32 && y >= c.top && y < c.top + 32;
        ASSERT_EQ(shot->GetPixel(x, y) == picture, inside)
            << "anchor mode " << c.mode << " at " << x << "," << y;
      }
    }
  }
}

// A sprite of the second list shows only when 429 is asked for it; 431 drops the background.
TEST_F(ImageObjectsOnACanvas, TheSecondListShowsWhenAskedAndTheFlagDropsTheBackground) {
  Anchor(7, 10, 2);
  (void)shot->Fill(0xFF000000u, nullptr);
  const int32_t sprite = Call(Native::kSpriteCreate, {imageHandle, 0, 0, 8, 8, 40, 30});
  ASSERT_EQ(Call(Native::kContainerAdd, {canvasHandle, W(sprite), 1, 0, 1}), kAddDone);
  EXPECT_EQ(Call(Native::kContainerSetFlag, {canvasHandle, 0x101}), 0);
  for (uint32_t second : {0u, 1u}) {
    ASSERT_EQ(Call(Native::kCompositionRenderTo, {canvasHandle, shotHandle, 0, 0, second}),
              kComposeDone);
    EXPECT_EQ(shot->GetPixel(41, 31) == picture, second == 1) << second;
    EXPECT_NE(shot->GetPixel(12, 22), picture) << "no background";
  }
  EXPECT_EQ(Call(Native::kContainerSetFlag, {canvasHandle, 0x100}), 0) << "a byte: off";
  ASSERT_EQ(Call(Native::kCompositionRenderTo, {canvasHandle, shotHandle, 0, 0, 0}), kComposeDone);
  EXPECT_EQ(shot->GetPixel(12, 22), picture);
}

// The script holds a task handle: running until the wipe ends, gone once the service deletes
// it; the finish and cancel of a gone wipe touch nothing. Images without a surface, a source
// kind without a source and a missing manager start nothing.
TEST(WipeNatives, AWipeIsATaskHandleThatGoesWithTheWipe) {
  BuildBlendTables();
  host::VirtualClock clock{1000};
  ScopedGlobal<host::ClockSource> clockScope{&clock};
  TimerService timers;
  WipeTransitions wipes{&timers};
  ScopedGlobal<WipeTransitions> published{&wipes};
  NativeRig rig;
  ImageSurface target;
  ASSERT_EQ(target.Create(16, 12, 32, 0), 0);
  (void)target.Fill(0xFFFFFFFFu, nullptr);
  const uint32_t targetHandle = rig.Give(&target);
  // Every call gets the twelve words a start reads.
  auto Call = [&](uint32_t number, std::initializer_list<uint32_t> words) {
    std::vector<uint32_t> all(words);
    all.resize(12);
    NativeAnswer answer = rig.CallAt(number, rig.Words(all));
    EXPECT_FALSE(answer.faulted) << number;
    return answer.result;
  };
  const uint32_t wipe =
      Call(Native::kWipeStart, {10, 100, targetHandle, 0, kOff, 0, 4, 0, 300, 200});
  ASSERT_NE(wipe, 0u);
  EXPECT_EQ(Call(Native::kWipeIsRunning, {wipe}), 1);
  EXPECT_EQ(Call(Native::kWipeFinish, {wipe}), kWipeDone);
  EXPECT_EQ(Call(Native::kWipeIsRunning, {wipe}), 0) << "finished";
  const uint32_t corner = target.GetPixel(15, 11);
  EXPECT_TRUE((corner & 0xFF) == ((corner >> 16) & 0xFF) && (corner & 0xFF) < 0xFF)
      << std::hex << corner << ": the whole target, without the colour words";
  timers.RunDue(host::TimeGetTime() + 200);
  EXPECT_EQ(rig.Handles().Get(wipe, ScriptObjectType::kTimedTask), nullptr);
  EXPECT_EQ(Call(Native::kWipeFinish, {wipe}), kWipeDone);

  File file;
  const uint32_t notAnImage = rig.Handles().HandleOf(ScriptObjectType::kFile, &file);
  EXPECT_EQ(Call(Native::kWipeStart, {0, 100, 0, 0, kOff}), 0);
  EXPECT_EQ(Call(Native::kWipeStart, {2, 100, targetHandle, notAnImage, kOff}), 0);
  EXPECT_EQ(timers.Count(), 0u);
  ScopedGlobal<WipeTransitions> none{nullptr};
  EXPECT_EQ(Call(Native::kWipeStart, {0, 100, targetHandle, 0, kOff}), 0);
  EXPECT_EQ(Call(Native::kWipeFinish, {1}), kWipeNoService);
}

// Depth conversion, pixels, palettes (a palette fill stops at its 256 entries whatever the
// count) and a library word group switched off by 65535, which reads as zeros, on a 32-bit
// picture and a grey-palette 8-bit one behind handles.
TEST(SingleImageNatives, DepthPixelsAndPalettes) {
  NativeRig rig;
  auto Call = [&](uint32_t n, std::initializer_list<uint32_t> w) { return rig.Answer(n, w); };
  ImageSurface wide, narrow, converted, empty;
  ASSERT_EQ(wide.Create(20, 16, 32, kImagePlain), 0);
  ASSERT_EQ(narrow.Create(20, 16, 8, kImagePlain), 0);
  (void)wide.Fill(0xFF808080u, nullptr);
  (void)narrow.SetPalette(nullptr, 256, 0);
  const uint32_t wideHandle = rig.Give(&wide), narrowHandle = rig.Give(&narrow);
  ASSERT_EQ(converted.CopyFrom(&wide, kCopyLikeSource), 0);
  const uint32_t convertedHandle = rig.Give(&converted);
  EXPECT_EQ(Call(Native::kImageConvertDepth, {convertedHandle, 8}), 0);
  EXPECT_EQ(converted.GetBitsPerPixel(), 8);
  EXPECT_EQ(converted.GetPalette()[100], 0x646464u) << "a grey palette";
  EXPECT_EQ(Call(Native::kImageConvertDepth, {convertedHandle, 32}), 0);
  EXPECT_EQ(Call(Native::kImageConvertDepth, {rig.Give(&empty), 32}), 1) << "no pixels";

  EXPECT_EQ(Call(Native::kImageSetPixel, {wideHandle, 20, 0, 5}), 1) << "outside";
  EXPECT_EQ(Call(Native::kImageSetPixel, {wideHandle, 19, 15, 0x12345678}), 0);
  EXPECT_EQ(Call(Native::kImageGetPixel, {wideHandle, 19, 15}), 0x12345678);
  EXPECT_EQ(Call(Native::kImageSetPixel, {narrowHandle, 1, 1, 0x1FE}), 0);
  EXPECT_EQ(narrow.GetPixel(1, 1), 0xFEu) << "a palette index";

  EXPECT_EQ(Call(Native::kImageFillPalette, {narrowHandle, 1, 2, 3, 1000}), 0);
  EXPECT_EQ(narrow.GetPalette()[255], 0x010203u);
  EXPECT_EQ(Call(Native::kImageFillRgb, {wideHandle, 0, 0, 2, 2, 9, 8, 7}), 1)
      << "the rectangle comes first";
  EXPECT_EQ(wide.GetPixel(1, 1) & 0xFFFFFFu, 0x090807u);

  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  ImageSurface byCall;
  ASSERT_EQ(byCall.CopyFrom(&wide, kCopyLikeSource), 0);
  const uint32_t zeros[4] = {};
  EXPECT_EQ(Call(Native::kImageLibOpFour, {wideHandle, 65535, 2, 3, 4}), byCall.LibOpFour(zeros));
  EXPECT_EQ(std::memcmp(wide.GetPixels(), byCall.GetPixels(), 20 * 16 * 4), 0);
}

}  // namespace
}  // namespace bw
