#include "natives/native_helpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/global.h"
#include "common/sjis.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/display_object.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"
#include "gui/message_text_widget_base.h"
#include "lib/bmp/bmp_builder.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "support/image_test_rig.h"
#include "support/still_control.h"

namespace bw {
namespace {

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

TEST(TextWindowFeed, LineEndsCharactersAndWhereItStops) {
  RecordingWindow w;
  FeedTextWindow(w, "ab\r\ncd\ref\ng\x82\xa0");
  EXPECT_EQ(w.fed, "ab|cd|ef|g\x82\xa0") << "CR LF counts once, a kana is one entry";

  // The terminator right behind a lead byte ends the feed: the byte is no character.
  RecordingWindow cut;
  std::string text = "xy\x82";
  FeedTextWindow(cut, text.c_str());
  EXPECT_EQ(cut.fed, "xy");

  RecordingWindow full;
  FeedTextWindow(full, "ab!cd");
  EXPECT_EQ(full.fed, "ab!") << "a full window stops the feed";
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
    tools::BmpFields bmp;
    bmp.width = 2, bmp.height = 1;
    bmp.data = {0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0, 0};  // 0x112233, 0x445566
    Write("TWO.BMP", tools::BuildBmp(bmp));
  }
  ImageLoaderManager loaders_;
  ScopedGlobal<ImageLoaderManager> publish_{&loaders_};
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
