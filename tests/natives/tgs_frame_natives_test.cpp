#include "natives/tgs_frame_natives.h"

#include <gtest/gtest.h>

#include <tuple>

#include <cstring>

#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "host/cp932.h"
#include "lib/tob/tob_assembler.h"
#include "native_rig.h"
#include "natives/native_names.h"
#include "scenario/font_list.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_interpreter.h"

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
  void PutScenario(const std::string& lines) {
    tob::AssembleResult r = tob::Assemble(".tob1\n" + lines);
    ASSERT_TRUE(r.ok) << r.error;
    rig.app.files.Put("SCRIPT\\RUN.TOB", r.bytes);
  }
  uint32_t HostVariable(uint32_t i) { return rig.Word(rig.host->HostVariableAddress(i)); }

  NativeRig rig;
  QuietHost fake;
};

TEST_F(TgsFrameNativesTest, StepWithoutFrameAndCreationFailures) {
  EXPECT_EQ(rig.Answer(Native::kTgsStep, {0}), kTgsStepNoFrame);
  // The application's message window is not drawn yet: its set-up is refused.
  EXPECT_EQ(rig.Answer(Native::kTgsCreate, {0}), kTgsCreateSetup);
  State().SetFrameHost(&fake);
  EXPECT_EQ(rig.Answer(Native::kTgsCreate, {12345}), kTgsCreateBadCanvas);
  rig.app.files.Put("DATA\\BG.TXT", std::vector<uint8_t>{'*', '\n'});
  EXPECT_EQ(rig.Answer(Native::kTgsCreate, {0}), kTgsCreateSetup);
  EXPECT_EQ(State().Frame(), nullptr);
}

TEST_F(TgsFrameNativesTest, CreateConfigureStepDestroy) {
  State().SetFrameHost(&fake);
  ASSERT_EQ(rig.Answer(Native::kTgsCreate, {0}), 0);
  ASSERT_NE(State().Frame(), nullptr);
  EXPECT_EQ(rig.Answer(Native::kTgsSetConfig, {0, 77}), 0);
  EXPECT_EQ(fake.state.config[0], 77);
  EXPECT_EQ(rig.Answer(Native::kTgsStep, {rig.Text("NOSUCH")}), kTgsStepLoadFailed);
  // An empty script cannot run (-3): the scenario ends and the step answers 0.
  EXPECT_EQ(rig.Answer(Native::kTgsStep, {rig.Text("RUN")}), 0);
  EXPECT_EQ(fake.state.lastTgsResult, -3);
  EXPECT_EQ(rig.Answer(Native::kTgsDestroy, {}), 0);
  EXPECT_EQ(TheTgsFrame::Get(), nullptr);
  // A frame left alive goes with the host.
  ASSERT_EQ(rig.Answer(Native::kTgsCreate, {0}), 0);
  rig.host.reset();
  EXPECT_EQ(TheTgsFrame::Get(), nullptr);
}

// Statements of the running scenario reach every native: the frame they run in is neither made
// anew, destroyed nor stepped again under them, and the step goes on to the scenario's end.
TEST_F(TgsFrameNativesTest, TheFrameNativesAreRefusedFromInsideItsStep) {
  State().SetFrameHost(&fake);
  ASSERT_EQ(rig.Answer(Native::kTgsCreate, {0}), 0);
  TgsFrame* frame = State().Frame();
  for (const char* call :
       {"native native:791, a, host:2 | ret | a: .word 0", "native native:792, 0, host:2 | ret",
        "native native:793, a, host:2 | ret | a: .word n | n: .string \"RUN\""}) {
    PutScenario(std::string("  stmt{") + call + "}\n  MessageBegin 0\n  .end\n");
    EXPECT_EQ(rig.Answer(Native::kTgsStep, {rig.Text("RUN")}), 0) << call;
    EXPECT_EQ(HostVariable(2), uint32_t(kTgsFrameBusy)) << call;
    EXPECT_EQ(State().Frame(), frame) << call;
    EXPECT_EQ(fake.state.lastTgsResult, kTgsStepEnded) << call;
  }
  // Once the step is over they act again.
  EXPECT_EQ(rig.Answer(Native::kTgsDestroy, {}), 0);
  EXPECT_EQ(State().Frame(), nullptr);
}

// A face list of the system: one Japanese face and its vertical twin.
int ReportFaces(const host::LOGFONTA&, host::FONTENUMPROCA proc, host::LPARAM param, uint32_t) {
  int answer = 1;
  for (const char* face : {"Present Face", "@Present Face"}) {
    host::ENUMLOGFONTEXA font;
    std::memcpy(font.elfLogFont.lfFaceName, face, std::strlen(face));
    font.elfLogFont.lfCharSet = host::SHIFTJIS_CHARSET;
    answer = proc(&font, host::TRUETYPE_FONTTYPE, param);
  }
  return answer;
}

// The frame made by 791 checks a scenario's faces against the application's font list, which it
// fills when it is empty; and the nested run's failures reach the application's message box.
TEST_F(TgsFrameNativesTest, FacesComeFromTheFontListAndNestedFailuresAreShown) {
  FontList fonts(ReportFaces);
  rig.app.fonts = &fonts;
  State().SetFrameHost(&fake);
  ASSERT_EQ(rig.Answer(Native::kTgsCreate, {0}), 0);
  PutScenario(R"(
  TextFont 30, -, -, "Missing Face, @Present Face"
  stmt{native native:0, a, host:2 | wait | ret | a: .word n | n: .string "NONE"}
  .end
)");
  // The failed statement stops the step (1) and leaves the frame.
  EXPECT_EQ(rig.Answer(Native::kTgsStep, {rig.Text("RUN")}), 1);
  EXPECT_EQ(State().Frame()->Font().face, "@Present Face");
  EXPECT_EQ(fonts.Count(), 1) << "the list was filled with the horizontal faces";
  ASSERT_EQ(rig.app.messages.size(), 1u);
  EXPECT_EQ(rig.app.messages[0], host::Cp932Literal("Call命令でスクリプトのロードに失敗"));
  EXPECT_EQ(rig.Answer(Native::kTgsDestroy, {}), 0);
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
