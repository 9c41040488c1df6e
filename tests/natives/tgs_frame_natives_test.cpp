#include "natives/tgs_frame_natives.h"

#include <gtest/gtest.h>

#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "lib/tob/tob_assembler.h"
#include "native_rig.h"
#include "scenario/tgs/tgs_frame.h"

namespace bw {
namespace {

class QuietHost : public TgsFrameHost {
 public:
  TgsAppState state;
  TgsUserSettings settings;
  int captions = 0;
  uint32_t Clock() override { return 0; }
  int FrameTurn() override { return 1; }
  TgsAppState& AppState() override { return state; }
  const TgsUserSettings& Settings() override { return settings; }
  void ShowCaption(const std::string&) override { ++captions; }
};

class TgsFrameNativesTest : public ::testing::Test {
 protected:
  TgsFrameNativesTest() {
    rig.app.files.Put("DATA\\BG.TXT", std::vector<uint8_t>{'1', '\n'});
    tob::AssembleResult r = tob::Assemble(".tob1\n");
    EXPECT_TRUE(r.ok) << r.error;
    rig.app.files.Put("SCRIPT\\RUN.TOB", r.bytes);
  }
  TgsFrameNativeState& State() { return rig.host->Extension<TgsFrameNativeState>(); }

  NativeRig rig;
  QuietHost fake;
};

TEST_F(TgsFrameNativesTest, StepWithoutFrameAndCreationFailures) {
  EXPECT_EQ(rig.Call(793, {0}).result, kTgsStepNoFrame);
  // The application's message window is not drawn yet: its set-up is refused.
  EXPECT_EQ(rig.Call(791, {0}).result, kTgsCreateSetup);
  State().SetFrameHost(&fake);
  EXPECT_EQ(rig.Call(791, {12345}).result, kTgsCreateBadCanvas);
  rig.app.files.Put("DATA\\BG.TXT", std::vector<uint8_t>{'*', '\n'});
  EXPECT_EQ(rig.Call(791, {0}).result, kTgsCreateSetup);
  EXPECT_EQ(State().Frame(), nullptr);
}

TEST_F(TgsFrameNativesTest, CreateConfigureStepDestroy) {
  State().SetFrameHost(&fake);
  ASSERT_EQ(rig.Call(791, {0}).result, 0);
  ASSERT_NE(State().Frame(), nullptr);
  EXPECT_EQ(rig.Call(794, {0, 77}).result, 0);
  EXPECT_EQ(fake.state.config[0], 77);
  EXPECT_EQ(rig.Call(793, {rig.Text("NOSUCH")}).result, kTgsStepLoadFailed);
  // An empty script cannot run (-3): the scenario ends and the step answers 0.
  EXPECT_EQ(rig.Call(793, {rig.Text("RUN")}).result, 0);
  EXPECT_EQ(fake.state.lastTgsResult, -3);
  EXPECT_EQ(rig.Call(792, {}).result, 0);
  EXPECT_EQ(TheTgsFrame::Get(), nullptr);
  // A frame left alive goes with the host.
  ASSERT_EQ(rig.Call(791, {0}).result, 0);
  rig.host.reset();
  EXPECT_EQ(TheTgsFrame::Get(), nullptr);
}

// Without a canvas the frame's own is the screen, the offscreen layer linked to it as the back
// page; a given canvas takes the screen, and the own layers go after the screen has left them.
TEST(TgsFrameCanvas, OwnLayersAreTheScreenUntilACanvasIsGiven) {
  DisplayManager display;
  ASSERT_EQ(display.SetCanvasSize(64, 48), kDisplayDone);
  TgsFrameCanvas canvas;
  CanvasLayer* screenWhenLeaving = nullptr;
  canvas.SetLeaving([&] { screenWhenLeaving = display.GetScreenCanvas(); });
  ASSERT_EQ(canvas.Use(nullptr, &display), 0);
  ASSERT_EQ(display.GetScreenCanvas(), canvas.OwnCanvas());
  ASSERT_EQ(canvas.OwnCanvas()->GetLinkedLayer(), canvas.OwnOffscreen());
  EXPECT_NE(canvas.OwnOffscreen()->GetCompositionLayer(), nullptr);
  CanvasLayer given;
  ASSERT_EQ(given.Create(32, 24, 32, kLayerComposed), kLayerDone);
  ASSERT_EQ(canvas.Use(&given, &display), 0);
  EXPECT_EQ(screenWhenLeaving, &given);
  EXPECT_EQ(canvas.OwnCanvas(), nullptr);
  display.SetScreenSurface(nullptr);
}

}  // namespace
}  // namespace bw
