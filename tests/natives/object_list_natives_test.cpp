// Animation data, background animations and cell images held by handle, the GMP loaders' parts
// read back, and the animation tasks started on them, over a game folder and a virtual clock.
#include "natives/object_list_natives.h"

#include <tuple>

#include "effects/path_tasks.h"
#include "effects/sprite_anim_task.h"
#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"
#include "host/clock.h"
#include "lib/gmp/gmp_writer.h"
#include "lib/hva/hv_writer.h"
#include "lib/wgx/wgx_writer.h"
#include "native_rig.h"
#include "natives/object_casts.h"
#include "object_world.h"
#include "platform/timer_service.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "support/game_folder.h"

namespace bw {
namespace {

using fuzz::ObjectGameFiles;

class ObjectListNatives : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterBuiltinLoaders(loaders);
    game.dir().WriteFile("A.HVA", tools::WriteHva(ObjectGameFiles::Animation()));
    game.dir().WriteFile("A.HVD", tools::WriteHvd(ObjectGameFiles::BackgroundAnimation()));
    game.dir().WriteFile("CELLS.BMP", ObjectGameFiles::Bmp(12, 4));
    game.dir().WriteFile("B.BMP", ObjectGameFiles::Bmp(8, 6));
    GmpFile gmp;
    for (int16_t i = 0; i < 3; ++i) {
      // Widths past 32767 read back negative.
      gmp.entries.push_back({"B.BMP", 1, i, 2, 200, true, static_cast<uint16_t>(0xFFF0 + i), 6,
                             static_cast<uint8_t>(200 + i)});
    }
    game.dir().WriteFile("S.GMP", tools::WriteGmp(gmp));

    ASSERT_EQ(canvas.Create(40, 30, 32, kImagePlain), 0);
    canvasHandle = rig.Give(&canvas);
    ASSERT_EQ(display.CreateCanvasLayer(&screen, 40, 30, 32, kLayerComposed), 0);
    containerHandle = rig.Give(screen);
  }
  int32_t Call(uint32_t n, std::initializer_list<uint32_t> w) { return rig.Answer(n, w); }
  uint32_t Var(uint32_t value) { return rig.Var(value); }
  uint32_t Word(uint32_t at) { return rig.Word(at); }

  host::VirtualClock clock{1000};
  ScopedGlobal<host::ClockSource> publishedClock{&clock};
  test::GameFolder game;
  ImageLoaderManager loaders;
  ScopedGlobal<ImageLoaderManager> publishedLoaders{&loaders};
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  TimerService timers;
  ScopedGlobal<TimerService> publishedTimers{&timers};
  DisplayManager display;
  ScopedGlobal<DisplayManager> publishedDisplay{&display};
  ImageSurface canvas;
  NativeRig rig;
  CanvasLayer* screen = nullptr;
  uint32_t canvasHandle = 0, containerHandle = 0;
};

// A null variable and ReleaseAll on an empty list.
TEST_F(ObjectListNatives, ReleasesOfNothing) {
  for (uint32_t release :
       {Native::kHvaDataRelease, Native::kHvdAnimationRelease, Native::kCellImageRelease})
    EXPECT_EQ(Call(release, {0}), 1) << release;
  for (uint32_t releaseAll :
       {Native::kHvaDataReleaseAll, Native::kHvdAnimationReleaseAll, Native::kCellImageReleaseAll})
    EXPECT_EQ(Call(releaseAll, {}), 0) << releaseAll;
}

// The part loader without a part manager, and its empty ranges.
TEST_F(ObjectListNatives, ThePartLoaderWithoutAManager) {
  rig.Expect({{"no part manager", Native::kGmpPartLoad, {rig.Text("S.GMP"), 0, 0, 0}, 1},
              {"nothing to copy", Native::kGmpPartGetParts, {0, 0, 0, 0, 0, 0}, 0},
              {"past the end", Native::kGmpPartGetParts, {5, 0, 0, 0, 0, 0}, 1}});
}

TEST_F(ObjectListNatives, BackgroundAnimationInfo) {
  const uint32_t h = rig.Made(Native::kHvdAnimationCreate, {rig.Text("A.HVD")});
  HvdAnimation direct;
  ASSERT_EQ(direct.Load("A.HVD"), kHvdLoaded);
  EXPECT_EQ(Call(Native::kHvdAnimationGetInfo, {h, 0}), 2);
  EXPECT_EQ(Call(Native::kHvdAnimationGetInfo, {h, 1}),
            static_cast<int32_t>(direct.Frames().size()));
  EXPECT_EQ(Call(Native::kHvdAnimationGetInfo, {h, 2}), 0x0201);
  EXPECT_EQ(Call(Native::kHvdAnimationGetInfo, {h, 3}), 0x0403);
  EXPECT_EQ(Call(Native::kHvdAnimationGetInfo, {h, 4}), 0);
}

// 514's refusals give 0; a started task plays, queues the next sequence, and goes with its
// data, after which the script's handle reads as gone.
TEST_F(ObjectListNatives, SpriteAnimationsStartQueueAndGoWithTheirData) {
  const uint32_t data = rig.Made(Native::kHvaDataCreate, {rig.Text("A.HVA"), 0});
  const uint32_t start = Native::kSpriteAnimStart;
  rig.Expect({{"an image holds no list", start, {canvasHandle, data, 0, 1, 5, 0, 0, 0, 0, 0}, 0},
              {"no data", start, {containerHandle, 0, 0, 1, 5, 0, 0, 0, 0, 0}, 0},
              {"no such sequence", start, {containerHandle, data, 2, 1, 5, 0, 0, 0, 0, 0}, 0}});
  const uint32_t task = rig.Made(start, {containerHandle, data, 0, 0xFFFFFFFF, 5, 0, 0, 0, 0, 0});
  ASSERT_NE(task, 0u);
  timers.RunDue(1000);
  EXPECT_EQ(Call(Native::kSpriteAnimGetState, {task}), SpriteAnimTask::kRunning);
  EXPECT_EQ(Call(Native::kSpriteAnimQueueNext, {task, 0, 2}), 0);
  EXPECT_EQ(Call(Native::kHvaDataRelease, {Var(data)}), 0);
  EXPECT_EQ(Call(Native::kSpriteAnimGetState, {task}), 0) << "the task went before its data";
  EXPECT_EQ(Call(Native::kSpriteAnimQueueNext, {task, 0, 0}), -2);
}

// A screen in the game's own folder names its pictures bare (they were once looked for under the
// screen's own name). Range copies: count 0 copies all; from the end nothing (526 answers 1, 531
// would answer 0); past the end both answer 1. Records read back signed x, y and an unsigned flag.
TEST_F(ObjectListNatives, LayerLoaderPartsReadBack) {
  EXPECT_EQ(Call(Native::kGmpLayerLoad, {canvasHandle, rig.Text("S.GMP"), 5, 0, 1}), -2)
      << "an image has no list";
  ASSERT_EQ(Call(Native::kGmpLayerLoad, {containerHandle, rig.Text("S.GMP"), 5, 0, 1}), 0);
  const uint32_t outs = rig.Block(5 * 4);
  EXPECT_EQ(Call(Native::kGmpLayerGetPart, {1, outs, outs + 4, outs + 8, outs + 12, outs + 16}), 1);
  EXPECT_NE(rig.Handles().Get(Word(outs + 4), ScriptObjectType::kDisplayObject), nullptr);
  EXPECT_EQ(std::tuple(Word(outs + 8), Word(outs + 12), Word(outs + 16)),
            std::tuple(uint32_t(-15), 6u, 201u));

  const uint32_t xs = rig.Block(4 * 4);
  for (const auto& [first, count, copied] :
       {std::tuple{0, 0, 3}, std::tuple{1, 0, 2}, std::tuple{-4, 2, 2}, std::tuple{3, 1, 0},
        std::tuple{5, 0, 0}}) {
    for (uint32_t i = 0; i < 4; ++i) rig.Memory().Write32(xs + 4 * i, 0xEEEE);
    EXPECT_EQ(Call(Native::kGmpLayerGetParts, {uint32_t(first), uint32_t(count), 0, 0, xs, 0, 0}),
              1);
    for (int i = 0; i < 4; ++i) {
      const uint32_t want = i < copied ? uint32_t(-16 + std::max(first, 0) + i) : 0xEEEEu;
      EXPECT_EQ(Word(xs + 4 * uint32_t(i)), want) << first << " " << count << " " << i;
    }
  }
  EXPECT_TRUE(
      rig.Call(Native::kGmpLayerGetParts, {0, 0, 0, 0, PastTheArena(rig.Memory()) - 4, 0, 0})
          .faulted)
      << "the array is checked whole";
}

// The screen's sprites go with the natives' state (when the host goes): a task moving one ends
// first, whichever of the host's parts went before (checked by the address sanitizer).
TEST_F(ObjectListNatives, ATaskOnAScreenSpriteEndsWhenTheHostGoes) {
  auto state = std::make_unique<ObjectListNativeState>(*rig.host);
  CompositionLayer* container = screen->GetCompositionLayer();
  ASSERT_EQ(state->LayerLoader().Load(container, &display, "S.GMP", &container->GetList(), 5, false,
                                      true),
            kGmpLoaded);
  auto task = std::make_unique<MovePathTask>(100, 0, true, 0.0, 0, false, true, 0);
  ASSERT_EQ(task->SetPathText("(0,0,255)(9,9,255)"), kPathTaskDone);
  ASSERT_EQ(task->StartOnSprite(&timers, state->LayerLoader().GetSprite(0)), kPathTaskDone);
  ASSERT_NE(timers.HandOver(std::move(task)), nullptr);
  timers.RunDue(1010);
  state.reset();
  timers.RunDue(1020);
  EXPECT_EQ(timers.Count(), 0u) << "the task ended with its sprite";
}

// Cell images: the 65535 switch, the surface answer 1 in place of a handle, targets, reloads,
// and a frame task removed before its image goes.
TEST_F(ObjectListNatives, CellImagesAndTheirTasks) {
  EXPECT_EQ(
      Call(Native::kCellImageCreate, {rig.Text("CELLS.BMP"), 3, 100, 0, 0, 1, 1, 0, 0, 0, 0, 0}), 1)
      << "no surface";
  // Three 4-pixel cells drawn on the canvas.
  const uint32_t image =
      rig.Made(Native::kCellImageCreate,
               {rig.Text("CELLS.BMP"), 3, 100, 0, canvasHandle, 1, 1, 0, 0, 65535, 0, 0xFFFFFFFF});
  ASSERT_GT(image, 1u);
  CellImage* cells = rig.Handles().Get<CellImage>(image, ScriptObjectType::kCellImage);
  ASSERT_NE(cells, nullptr);
  EXPECT_EQ(cells->Backing(), nullptr) << "the switch turns the background off";

  const uint32_t surface = rig.Made(Native::kCellImageGetSurface, {image});
  EXPECT_EQ(GetObjectSurface(rig.Handles(), surface), cells->Source());

  const uint32_t task = rig.Made(Native::kFrameAnimStart, {image, 0, 100, 0, 0});
  ASSERT_NE(task, 0u);
  EXPECT_EQ(Call(Native::kCellImageLoad, {image, rig.Text("CELLS.BMP"), 2, 100, 0, canvasHandle, 0,
                                          0, 0, 0, 1, 0, 0xFFFFFFFF}),
            0);
  EXPECT_EQ(GetScriptTask(rig.Handles(), task), nullptr) << "a reload removes the task";

  const uint32_t again = rig.Made(Native::kFrameAnimStart, {image, 0, 100, 0, 0});
  ASSERT_NE(again, 0u);
  EXPECT_EQ(Call(Native::kCellImageRelease, {Var(image)}), 0);
  EXPECT_EQ(GetScriptTask(rig.Handles(), again), nullptr);
  EXPECT_EQ(rig.Handles().Get(surface, ScriptObjectType::kSurface), nullptr)
      << "the picture went with the image";
  EXPECT_EQ(Call(Native::kCellImageRelease, {Var(image)}), 2);
}

// The background word: 1 blends a cell over the kept background, any higher value copies it.
TEST_F(ObjectListNatives, ABackgroundWordAboveOneCopiesTheCell) {
  tools::WgxPicture strip{32, 8, 4, {}, {}, 0, 0, {}};
  strip.pixels.assign(32, 0x80FF0000);  // two 4 x 4 cells of half-clear red
  game.dir().WriteFile("HALF.WGX", tools::WriteWgx(strip));
  const struct {
    uint32_t word;
    bool copied;
  } cases[] = {{1, false}, {2, true}, {7, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.word);
    (void)canvas.Fill(0xFF0000FF, nullptr);
    const uint32_t image = rig.Made(
        Native::kCellImageCreate,
        {rig.Text("HALF.WGX"), 2, 100, 0, canvasHandle, 1, 1, 0, 0, c.word, 1, 0xFFFFFFFF});
    ASSERT_GT(image, 1u);
    ASSERT_NE(Call(Native::kFrameAnimStart, {image, 0, 100, 0, 0}), 0);
    timers.RunDue(1100);
    const uint32_t shown = canvas.GetPixel(2, 2) & 0xFFFFFF;
    if (c.copied) {
      EXPECT_EQ(shown, 0xFF0000u) << std::hex << shown;
    } else {
      EXPECT_GT(shown & 0xFF, 0x40u) << "blue shows through: " << std::hex << shown;
    }
    EXPECT_EQ(Call(Native::kCellImageRelease, {Var(image)}), 0);
  }
}

// A sprite attached as a target, or drawn on, may be destroyed before the image: the image lets
// go of it and the next cell is drawn nowhere (clean under the address sanitizer).
TEST_F(ObjectListNatives, ACellImageForgetsADyingTarget) {
  auto target = std::make_unique<ImageSurface>();
  ASSERT_EQ(target->Create(20, 8, 32, kImagePlain), 0);
  auto shown = std::make_unique<Sprite>();
  ASSERT_EQ(shown->SetImage(target.get(), nullptr, 0, 0), kSpriteDone);
  const uint32_t targetHandle = rig.Give(target.get());
  const uint32_t shownHandle = rig.Give(shown.get());
  const uint32_t image =
      rig.Made(Native::kCellImageCreate,
               {rig.Text("CELLS.BMP"), 3, 100, 0, targetHandle, 0, 0, 0, 0, 1, 0, 0xFFFFFFFF});
  ASSERT_GT(image, 1u);
  EXPECT_EQ(Call(Native::kCellImageAttachTarget, {image, shownHandle}), 0);
  CellImage* cells = rig.Handles().Get<CellImage>(image, ScriptObjectType::kCellImage);
  ASSERT_NE(cells, nullptr);
  ASSERT_NE(Call(Native::kFrameAnimStart, {image, 0, 100, 0, 0}), 0);
  timers.RunDue(1100);
  shown.reset();
  target.reset();
  EXPECT_TRUE(cells->Targets().empty());
  EXPECT_EQ(cells->DefaultTarget(), nullptr);
  clock.SetMilliseconds(1500);
  timers.RunDue(1500);
  cells->DrawCell(1, nullptr, nullptr);
}

}  // namespace
}  // namespace bw
