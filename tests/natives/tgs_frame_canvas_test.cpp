#include <gtest/gtest.h>

#include "common/global.h"
#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "natives/tgs_frame_natives.h"

namespace bw {
namespace {

class TgsFrameCanvasTest : public ::testing::Test {
 protected:
  TgsFrameCanvasTest() {
    EXPECT_EQ(display.SetCanvasSize(64, 48), kDisplayDone);
    canvas.SetLeaving([this] {
      ++leaving;
      screenWhenLeaving = display.GetScreenCanvas();
    });
  }

  DisplayManager display;
  ScopedGlobal<DisplayManager> published{&display};
  TgsFrameCanvas canvas;
  int leaving = 0;
  CanvasLayer* screenWhenLeaving = nullptr;
};

// Without a canvas the frame makes its own once, at the display's size, with the offscreen layer
// linked to it, and makes it the screen; a given canvas takes the screen and the own layers go
// after the screen has left them.
TEST_F(TgsFrameCanvasTest, OwnLayersAreMadeOnceAndGoWhenACanvasIsGiven) {
  ASSERT_EQ(canvas.Use(nullptr, &display), 0);
  CanvasLayer* own = canvas.OwnCanvas();
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(display.GetScreenCanvas(), own);
  EXPECT_EQ(own->GetWidth(), 64);
  EXPECT_EQ(own->GetBitsPerPixel(), 32);
  ASSERT_NE(own->GetCompositionLayer(), nullptr);
  EXPECT_EQ(own->GetLinkedLayer(), canvas.OwnOffscreen());
  EXPECT_NE(canvas.OwnOffscreen()->GetCompositionLayer(), nullptr) << "the back page draws";
  ASSERT_EQ(canvas.Use(nullptr, &display), 0);
  EXPECT_EQ(canvas.OwnCanvas(), own);

  CanvasLayer empty;
  EXPECT_EQ(canvas.Use(&empty, &display), kTgsCreateSetup);
  EXPECT_EQ(display.GetScreenCanvas(), own);
  EXPECT_EQ(leaving, 0);

  CanvasLayer given;
  ASSERT_EQ(given.Create(32, 24, 32, kLayerComposed), kLayerDone);
  ASSERT_EQ(canvas.Use(&given, &display), 0);
  EXPECT_EQ(display.GetScreenCanvas(), &given);
  EXPECT_EQ(leaving, 1);
  EXPECT_EQ(screenWhenLeaving, &given);
  EXPECT_EQ(canvas.OwnCanvas(), nullptr);
  EXPECT_EQ(canvas.OwnOffscreen(), nullptr);
}

TEST_F(TgsFrameCanvasTest, ReleasingTheScreenCanvasClearsTheScreen) {
  ASSERT_EQ(canvas.Use(nullptr, &display), 0);
  canvas.Release(&display);
  EXPECT_EQ(display.GetScreenCanvas(), nullptr);
  EXPECT_EQ(leaving, 1);
  EXPECT_EQ(screenWhenLeaving, nullptr);
  // Without a display there is no screen to give.
  EXPECT_EQ(canvas.Use(nullptr, nullptr), 0);
  EXPECT_EQ(canvas.OwnCanvas(), nullptr);
}

}  // namespace
}  // namespace bw
