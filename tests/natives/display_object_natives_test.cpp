#include "natives/display_object_natives.h"

#include <cstring>
#include <string>
#include <vector>

#include "common/sjis.h"
#include "effects/path_tasks.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/display_object.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"
#include "gui/message_text_widget_base.h"
#include "gui/part_fixture.h"
#include "host/clock.h"
#include "native_rig.h"
#include "natives/native_helpers.h"
#include "platform/timer_service.h"
#include "platform/trig_tables.h"
#include "published.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "support/image_test_rig.h"
#include "support/still_control.h"

namespace bw {
namespace {

// A host with a 40 x 30 sprite, a colour rectangle and an image, each behind its handle, and
// the effects' timer service on a virtual clock.
class DisplayObjectNatives : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(image.Create(40, 30, 32, kImagePlain), kSurfaceDone);
    ASSERT_EQ(sprite.SetImage(&image, nullptr, 0, 0), kSpriteDone);
    ASSERT_EQ(rect.Create(20, 10, 0x80FF0000, 100, 100), 0);
    spriteHandle = rig.Give(&sprite);
    rectHandle = rig.Give(&rect);
    imageHandle = rig.Give(&image);
    Sprite gone;
    staleHandle = rig.Give(&gone);
  }
  int32_t Call(uint32_t n, std::initializer_list<uint32_t> w) { return rig.Answer(n, w); }
  PathTask* Task(int32_t handle) {
    return rig.Handles().Get<PathTask>(uint32_t(handle), ScriptObjectType::kTimedTask);
  }

  host::VirtualClock clock{1000};
  ScopedGlobal<host::ClockSource> publishedClock{&clock};
  Published<TrigTables> trig;
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  ImageSurface image;
  Sprite sprite;
  ColorRectObject rect;
  Published<TimerService> timers;
  NativeRig rig;
  uint32_t spriteHandle = 0, rectHandle = 0, imageHandle = 0, staleHandle = 0;
};

TEST_F(DisplayObjectNatives, ObjectsMoveTagTestAndDraw) {
  EXPECT_EQ(Call(Native::kDisplayObjectSetPosition, {spriteHandle, 5, 6}), 1);
  for (uint32_t bad : {0u, staleHandle, imageHandle, spriteHandle ^ 0x100000u})
    EXPECT_EQ(Call(Native::kDisplayObjectSetPosition, {bad, 1, 1}), 0)
        << "null, stale, mistyped or forged: " << bad;
  Call(Native::kDisplayObjectSetTag, {rectHandle, 7});
  EXPECT_EQ(Call(Native::kDisplayObjectSetTag, {rectHandle, 9}), 7) << "the previous tag";
  EXPECT_EQ(Call(Native::kDisplayObjectMoveBy, {spriteHandle, 95, 90}), 1);
  EXPECT_EQ(Call(Native::kDisplayObjectHitTest, {spriteHandle, 101, 97, 0}), 1);
  EXPECT_EQ(Call(Native::kDisplayObjectHitTest, {spriteHandle, 99, 97, 0}), 0);

  const uint32_t out = rig.Block(16);
  EXPECT_EQ(Call(Native::kDisplayObjectGetRect, {rectHandle, out, 0, out + 8, out + 12}), 1);
  EXPECT_EQ(rig.Word(out + 12), 110u);
  EXPECT_TRUE(
      rig.Call(Native::kDisplayObjectGetRect, {rectHandle, PastTheArena(rig.Memory()), 0, 0, 0})
          .faulted);

  ImageSurface canvas;
  ASSERT_EQ(canvas.Create(200, 200, 32, kImagePlain), kSurfaceDone);
  const uint32_t canvasHandle = rig.Give(&canvas);
  rect.SetChanged(true);
  EXPECT_EQ(Call(Native::kDisplayObjectDrawTo, {canvasHandle, rectHandle}), kDrawDone);
  EXPECT_TRUE(rect.IsChanged()) << "drawing keeps the changed flag";
  EXPECT_EQ(Call(Native::kDisplayObjectDrawTo, {canvasHandle, 0}), -2);

  // Far-off positions stop at the edge of 32 bits instead of wrapping round.
  for (uint32_t object : {spriteHandle, rectHandle}) {
    EXPECT_EQ(Call(Native::kDisplayObjectSetPosition, {object, 0x7FFFFFF0, uint32_t(INT32_MIN)}),
              1);
    EXPECT_EQ(Call(Native::kDisplayObjectMoveBy, {object, 0x100, uint32_t(-1)}), 1);
    EXPECT_EQ(Call(Native::kDisplayObjectGetRect, {object, out, out + 4, out + 8, out + 12}), 1);
    EXPECT_EQ(std::pair(rig.Word(out), rig.Word(out + 4)),
              std::pair(uint32_t(INT32_MAX), uint32_t(INT32_MIN)));
  }
}

// A side below 1 keeps its length; the scale of 458 and 459 is refused when the turned box does
// not fit 32 bits.
TEST_F(DisplayObjectNatives, SpriteSizesAndTurnsStayInRange) {
  EXPECT_EQ(Call(Native::kSpriteSetZoomSize, {spriteHandle, 20, 0}), 0);
  EXPECT_EQ(std::pair(sprite.GetWidth(), sprite.GetHeight()), std::pair(20, 30))
      << "a side below 1 keeps its natural length";

  EXPECT_EQ(Call(Native::kSpriteSetRotation, {spriteHandle, 64, rig.Text("1e30")}),
            kSpriteRenderFailed);
  EXPECT_EQ(Call(Native::kSpriteCreateRotationWorkSurface, {spriteHandle, rig.Text("1e30")}),
            kSpriteRenderFailed);
  EXPECT_EQ(Call(Native::kSpriteSetRotation, {spriteHandle, 32, 0}), 0);
  EXPECT_EQ(Call(Native::kSpriteReleaseWorkSurface, {spriteHandle}), 1);
  EXPECT_EQ(sprite.GetWorkSurface(), nullptr);

  EXPECT_EQ(Call(Native::kSpriteSetImage, {spriteHandle, imageHandle, 65535, 0, 0, 0, 9, 9}), 0);
  EXPECT_EQ(std::pair(sprite.GetWidth(), sprite.GetX()), std::pair(40, 0)) << "the whole picture";
}

// Path natives hand out the task's handle, which reads as gone once the service deletes it;
// every refusal answers 0 and leaves nothing in the service.
TEST_F(DisplayObjectNatives, PathNativesStartTasksOrLeaveNothing) {
  const uint32_t path = rig.Text("(100,0,255)");
  const int32_t move =
      Call(Native::kSpriteMovePath, {spriteHandle, 100, path, 0, 0, 65535, 0, 0, 0, 0});
  ASSERT_NE(Task(move), nullptr);
  timers.RunDue(1000);
  timers.RunDue(1100);
  EXPECT_EQ(sprite.GetX(), 100);

  const int32_t eased =
      Call(Native::kSpriteMovePath, {spriteHandle, 100, path, 0, 0, 1, 0, rig.Text("-2.5"), 1, 0});
  ASSERT_NE(Task(eased), nullptr);
  EXPECT_EQ(Task(eased)->Easing(), -2.5);
  timers.Clear();

  const uint32_t points = rig.Words(std::vector<uint32_t>{10, 20, 30, 40, 50, 60});
  EXPECT_NE(
      Call(Native::kSpriteSizePoints, {spriteHandle, 50, 2, points, 0, 0, 0, 2, 1, 1, 0, 0, 1}), 0);
  timers.Clear();

  const uint32_t huge = rig.Text("(0,90000000000000000000,255)");
  const std::pair<uint32_t, std::vector<uint32_t>> refused[] = {
      {Native::kSpriteMovePath, {spriteHandle, 0, path, 0, 0, 65535, 0, 0, 0, 0}},  // duration 0
      {Native::kSpriteMovePath,
       {spriteHandle, 100, rig.Text("(1,2,3)"), 0, 0, 1, 1, 0, 0, 0}},  // one spline point
      {Native::kSpriteMovePoints, {spriteHandle, 100, 0, points, 0, 0, 65535, 0, 0, 0, 0}},
      {Native::kSpriteRotateZoomPath, {spriteHandle, 100, huge, 0, 0, 65535, 0, 0, 0, 0}},
  };
  for (const auto& [number, words] : refused) {
    EXPECT_EQ(rig.CallAt(number, rig.Words(words)).result, 0) << number;
    EXPECT_EQ(timers.Count(), 0u) << number;
  }
  EXPECT_EQ(sprite.GetX(), 100) << "a zero duration jumps to the end before it is refused";
  EXPECT_TRUE(
      rig.Call(Native::kSpriteMovePoints, {spriteHandle, 100, 0x10000000, points, 0, 0, 65535})
          .faulted)
      << "the points must lie in guest memory";
}

// A text window that records what it is fed. Its entry takes a whole character, two bytes after
// a lead byte, as a real window's does; '!' makes it answer that it is full.
class RecordingWindow : public test::StillControl<MessageTextWidgetBase> {
 public:
  std::string fed;

  bool NewLine() override {
    fed += '|';
    return true;
  }
  int PutChar(const char** cursor) override {
    size_t length = sjis::IsLeadByte(**cursor) ? 2 : 1;
    fed.append(*cursor, length);
    bool full = **cursor == '!';
    *cursor += length;
    return full ? 1 : 0;
  }
  int MoveTo(int32_t, int32_t) override { return 0; }
  int DrawString(const char*, int32_t, int32_t, bool) override { return 0; }
  bool HitFrame(int32_t, int32_t) const override { return false; }
  void PaintItemArea(int32_t, int32_t, int32_t, int32_t) override {}
  int ItemAt(int32_t, int32_t) const override { return -1; }
  void ShowItemHighlight(int, bool) override {}
};

// CR LF counts once and a kana is one entry; the terminator right behind a lead byte ends the
// feed (the byte is no character), and so does a full window.
TEST(TextWindowFeed, LineEndsCharactersAndWhereItStops) {
  for (auto [text, fed] : {std::pair{"ab\r\ncd\ref\ng\x82\xa0", "ab|cd|ef|g\x82\xa0"},
                           {"xy\x82", "xy"},
                           {"ab!cd", "ab!"}}) {
    RecordingWindow w;
    FeedTextWindow(w, text);
    EXPECT_EQ(w.fed, fed) << text;
  }
}

TEST(SpriteSetup, PlacesDressesListsAndShows) {
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  CompositionLayer layer;
  ImageSurface picture;
  ASSERT_EQ(picture.Create(64, 32, 32, kImagePlain), kSurfaceDone);
  Sprite sprite;
  SpritePlacement place{
      .left = 16, .right = 32, .bottom = 16, .priority = 40, .visible = true, .layer = &layer};

  ASSERT_EQ(SetupSpriteFromSurface(&sprite, &picture, 2, 90, place), kSpriteSetupDone);
  EXPECT_EQ(sprite.GetSourceRect(), (Rect{16, 0, 32, 16}));
  ASSERT_NE(layer.GetList().Find(&sprite), nullptr);

  // Set up again in the same list: it moves to the new priority instead of failing; the whole
  // picture when left is negative.
  place.priority = 7;
  place.left = -1;
  place.visible = false;
  ASSERT_EQ(SetupSpriteFromSurface(&sprite, &picture, 0, 0, place), kSpriteSetupDone);
  EXPECT_EQ(layer.GetList().Find(&sprite)->priority, 7u);
  EXPECT_EQ(sprite.GetSourceRect(), (Rect{0, 0, 64, 32}));
  EXPECT_EQ(sprite.GetDrawMode(), 2) << "a zero blend flag leaves the mode as it was";

  // No second list to put it in, and a rectangle outside the picture: refused, nothing listed.
  Sprite other;
  place.secondList = true;
  EXPECT_EQ(SetupSpriteFromSurface(&other, &picture, 0, 0, place), kSpriteSetupRefused);
  EXPECT_EQ(layer.GetList().Find(&other), nullptr);
  place.secondList = false;
  place.left = 100, place.right = 120;
  EXPECT_EQ(SetupSpriteFromSurface(&other, &picture, 0, 0, place), kSpriteSetupRefused);
  EXPECT_EQ(layer.GetList().Find(&other), nullptr);
}

// A game folder whose manager loads BMP pictures by name.
class SpriteImageLoad : public test::GameFolderTest {
 protected:
  void SetUp() override {
    RegisterBuiltinLoaders(loaders_);
    Write("TWO.BMP", test::Cells(1, 1, {0x112233, 0x445566}));
  }
  Published<ImageLoaderManager> loaders_;
  ScopedPixelLibrary library_{&BuiltInPixelLibrary()};
  CompositionLayer layer_;
  ImageSurface picture_;
  Sprite sprite_;
};

TEST_F(SpriteImageLoad, FailuresTouchNothingAndKeyModesDressThePicture) {
  SpritePlacement place{.priority = 3, .visible = true, .layer = &layer_};
  EXPECT_EQ(LoadSpriteImage(&sprite_, &picture_, "MISSING.BMP", -2, 80, place),
            kSpriteSetupNoImage);
  EXPECT_EQ(sprite_.GetDrawMode(), 0);
  EXPECT_TRUE(layer_.GetList().IsEmpty());

  // Key mode >= 0 names the pixel whose value keys the picture.
  ASSERT_EQ(LoadSpriteImage(&sprite_, &picture_, "TWO.BMP", 1, 0, place), kSpriteSetupDone);
  uint32_t second = 0;
  std::memcpy(&second, picture_.GetRowPointer(0) + 4, 4);
  EXPECT_EQ(picture_.GetColorKey(), second);
  EXPECT_NE(layer_.GetList().Find(&sprite_), nullptr);

  // Below -1: the sprite blends with the key value as its alpha.
  ASSERT_EQ(LoadSpriteImage(&sprite_, &picture_, "TWO.BMP", -2, 80, place), kSpriteSetupDone);
  EXPECT_EQ(sprite_.GetDrawMode(), 2);
  EXPECT_EQ(sprite_.GetAlpha(), 80);
}

}  // namespace
}  // namespace bw
