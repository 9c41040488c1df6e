#include "natives/message_text_natives.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "graphics/device/display_manager.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/display_object.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/sprite.h"
#include "gui/image_list_part.h"
#include "host/cp932.h"
#include "lib/tob/tob_assembler.h"
#include "native_rig.h"
#include "natives/tgs_frame_natives.h"
#include "scenario/font_list.h"
#include "scenario/message/script_message_text.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_interpreter.h"
#include "scenario/tgs/tgs_test_world.h"
#include "support/text_renderers.h"

namespace bw {
namespace {

// The rig's host restarted over a script table with one record, with the message text object the
// application makes.
class MessageNatives : public ::testing::Test, public testing_text::FakeFaceRenderers {
 protected:
  void SetUp() override {
    BuildBlendTables();
    rig.app.files.Put("SCRIPT\\SOB_INIT.DAT", Sob(".table\n.script MAIN 64 64\n"));
    ASSERT_EQ(StartScriptHost(rig.app, rig.host), 0);
    rig.host->SetMessageText(std::make_unique<ScriptMessageText>(rig.host.get(), &Mem()));
    ASSERT_EQ(picture.Create(200, 60, 32, 0), 0);
  }
  GuestMemory& Mem() { return rig.Memory(); }
  int32_t Call(uint32_t n, std::initializer_list<uint32_t> w) { return rig.Answer(n, w); }
  // A compiled block: three head bytes, then the text and its terminator.
  uint32_t Block(std::initializer_list<uint8_t> head, const std::string& text) {
    std::string bytes(head.begin(), head.end());
    return rig.Text(bytes + text);
  }
  ScriptMessageText& Text() { return *static_cast<ScriptMessageText*>(rig.host->MessageText()); }

  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  NativeRig rig;
  ImageSurface picture;
};

// The picture must be an image, a software layer or the canvas, the renderer an outline one;
// stale and mistyped handles count as missing, and nothing is drawn before the checks pass.
TEST_F(MessageNatives, OutputAndDrawsCheckTheirPictureAndRenderer) {
  Sprite sprite;
  const uint32_t image = rig.Give(&picture);
  const uint32_t outlineFont = rig.Give(ScriptObjectType::kTextRenderer, &outline);
  const uint32_t gdiFont = rig.Give(ScriptObjectType::kTextRenderer, &gdi);
  const uint32_t notPicture = rig.Give(&sprite);
  struct Case {
    uint32_t image, renderer;
    int32_t output, draw;
  } cases[] = {{image, outlineFont, 0, 0},
               {notPicture, outlineFont, kOutputBadImage, kDrawBadImage},
               {image, gdiFont, kOutputBadRenderer, kDrawBadRenderer},
               {image, 0, kOutputBadRenderer, 0}};
  ASSERT_EQ(Call(Native::kMessageSet, {Block({0, 5, 0}, "#Ann$Hello")}), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.image << "/" << c.renderer);
    EXPECT_EQ(Call(Native::kMessageSetOutput, {c.image, 0, 4, 4, c.renderer, 0, 0, 0}), c.output);
    EXPECT_EQ(Call(Native::kMessageDrawTextPart, {0, 0, 0, c.image, 0, c.renderer}), c.draw);
    EXPECT_EQ(Call(Native::kMessageDrawChoice, {0, 0, 0, c.image, 0, c.renderer}),
              c.draw == 0 ? 2 : c.draw)
        << "no choice 0";
  }
  EXPECT_EQ(Call(Native::kMessageGetRenderer, {}), static_cast<int32_t>(outlineFont));

  // A renderer the script destroyed is forgotten, not drawn with.
  auto doomed = std::make_unique<OutlineTextRenderer>(testing_text::FakeSource(), 16);
  (void)doomed->SetFont(16, false, false, nullptr);
  const uint32_t doomedFont = rig.Give(ScriptObjectType::kTextRenderer, doomed.get());
  ASSERT_EQ(Call(Native::kMessageSetOutput, {image, 0, 4, 4, doomedFont, 0, 0, 0}), 0);
  doomed.reset();
  EXPECT_EQ(Call(Native::kMessageDrawTextPart, {0, 0, 0, 0, 255, 0}), 1)
      << "the stored output is gone";
  EXPECT_EQ(Call(Native::kMessageDrawAll, {}), 0);
  EXPECT_EQ(Call(Native::kMessageGetRenderer, {}), 0);
}

// Texts go into the script's buffers with their terminators; sizes and addresses the script
// gives are checked; a choice's text comes back as a guest copy.
TEST_F(MessageNatives, MessageTextsReachTheScriptsBuffers) {
  ASSERT_EQ(Call(Native::kMessageSet, {Block({0, 1, 0}, "#Dee\\Eve$th\\ree<\"tag\">")}), 0);
  const uint32_t buffer = rig.Block(32);
  EXPECT_EQ(Call(Native::kMessageGetTextPart, {2, buffer}), 4);
  EXPECT_EQ(rig.Read(buffer), "Eve");
  EXPECT_EQ(Call(Native::kMessageGetPlainText, {buffer}), 7);
  EXPECT_EQ(rig.Read(buffer), "th\r\nree");
  int32_t token = 0;
  for (int i = 0; i < 8 && token != MessageTextEngine::kQuotedTag; ++i)
    token = Call(Native::kMessageAdvance, {0});
  EXPECT_EQ(Call(Native::kMessageGetTagText, {buffer}), 1);
  EXPECT_EQ(rig.Read(buffer), "tag");
}

TEST_F(MessageNatives, ChoiceTextsReachTheScriptsBuffersAndTheirCountIsBounded) {
  const uint32_t buffer = rig.Block(32);
  const std::string list{'\x02', '\x04', '\x01', 'a', '\0', '\x05', '\x01', 'b', 'c', '\0'};
  ASSERT_EQ(Call(Native::kMessageSetChoices, {Block({1, 10, 0}, list)}), 0);
  EXPECT_EQ(Call(Native::kMessageCopyChoiceText, {1, buffer, 3}), 0);
  EXPECT_EQ(rig.Read(buffer), "bc");
  EXPECT_EQ(Call(Native::kMessageCopyChoiceText, {1, buffer, 2}), 3);
  EXPECT_TRUE(rig.Call(Native::kMessageCopyChoiceText, {1, PastTheArena(Mem()), 8}).faulted)
      << "a buffer outside the arena";
  EXPECT_EQ(rig.Read(rig.Made(Native::kMessageGetChoiceText, {0})), "a");
  EXPECT_EQ(Call(Native::kMessageSetMaxChoices, {0x7FFFFFFF}), 1);
  EXPECT_EQ(Text().MaxChoices(), kMostChoices) << "bounded, not billions of slots";
}

// The current choice list reads the message's choice flags after the choices or the shown
// message change, forgets them when the choices are cleared, and is forgotten when deleted. Here a
// two-item menu, the history on, and a message whose two choices are read from bit 10.
class ChoiceMenus : public MessageNatives {
 protected:
  void SetUp() override {
    MessageNatives::SetUp();
    ASSERT_EQ(menu->Setup(&list, 0, 0, 0, 60, 20, 0, &gdi, 0), 0);
    for (const char* label : {"a", "b"})
      ASSERT_EQ(menu->AddCell(label, nullptr, false, -1, nullptr, -1, nullptr, 0, 0, 0), 0);
    EXPECT_EQ(Current().Set(nullptr), 1);
    ASSERT_EQ(Current().Set(menu.get()), 0);
    Call(Native::kMessageSetHistoryEnabled, {1});
    Call(Native::kMessageSetHistoryCapacity, {4});
    ASSERT_EQ(Call(Native::kMessageSet, {Block({0, 1, 0}, "Q")}), 0);
    ASSERT_EQ(Call(Native::kMessageSetChoices, {Block({1, 10, 0}, two)}), 0);
  }
  CurrentChoiceList& Current() { return rig.host->Extension<CurrentChoiceList>(); }

  const std::string two{'\x02', '\x04', '\x01', 'a', '\0', '\x04', '\x01', 'b', '\0'};
  DisplayObjectList list;
  std::unique_ptr<ImageListPart> menu = std::make_unique<ImageListPart>();
};

TEST_F(ChoiceMenus, AChoiceIsMarkedReadAtTheMessagesBits) {
  (void)menu->Choose(1);
  EXPECT_EQ(Call(Native::kMessageIsChoiceRead, {1}), 1);
  EXPECT_EQ(Call(Native::kMessageIsChoiceRead, {0}), 0);
}

TEST_F(ChoiceMenus, AClearedSelectionMarksNothing) {
  Call(Native::kMessageClearChoiceState, {});
  (void)menu->Choose(0);
  EXPECT_EQ(Call(Native::kMessageIsChoiceRead, {0}), 0);
}

// The choices go into the history with their message.
TEST_F(ChoiceMenus, APreviousMessageShowsItsChoicesAgain) {
  ASSERT_EQ(Call(Native::kMessageSet, {Block({0, 2, 0}, "R")}), 0);
  ASSERT_EQ(Call(Native::kMessageShowPrevious, {}), 0);
  (void)menu->Choose(0);
  EXPECT_TRUE(rig.host->TestReadFlagB(10, true));
}

// Mode 2 keeps no flags: the list is given none.
TEST_F(ChoiceMenus, ChoicesWithoutFlagsMarkNothing) {
  ASSERT_EQ(Call(Native::kMessageClearChoices, {}), 0);
  ASSERT_EQ(Call(Native::kMessageSetChoices, {Block({2, 20, 0}, two)}), 0);
  (void)menu->Choose(0);
  EXPECT_FALSE(rig.host->TestReadFlagB(20, true));
}

TEST_F(ChoiceMenus, ADeletedListIsNotRefreshed) {
  menu.reset();
  EXPECT_EQ(Current().Get(), nullptr);
  EXPECT_EQ(Call(Native::kMessageSetChoices, {Block({1, 30, 0}, two)}), 0);
}

class TgsFrameNativesTest : public ::testing::Test {
 protected:
  TgsFrameNativesTest() {
    rig.app.files.Put("DATA\\BG.TXT", std::vector<uint8_t>{'1', '\n'});
    PutScenario("");
  }
  TgsFrameNativeState& State() { return rig.host->Extension<TgsFrameNativeState>(); }
  void PutScenario(const std::string& lines) {
    tob::AssembleResult r = tob::Assemble(".tob1\n" + lines);
    ASSERT_TRUE(r.ok) << r.error;
    rig.app.files.Put("SCRIPT\\RUN.TOB", r.bytes);
  }
  uint32_t HostVariable(uint32_t i) { return rig.Word(rig.host->HostVariableAddress(i)); }

  NativeRig rig;
  FakeFrameHost fake;
};

// The happy run of a frame is the demo's scenario scene's; these are its refusals and ends.
TEST_F(TgsFrameNativesTest, RefusalsStepsAndTheFramesEnd) {
  EXPECT_EQ(rig.Answer(Native::kTgsStep, {0}), kTgsStepNoFrame);
  // The application's message window is not drawn yet: its set-up is refused.
  EXPECT_EQ(rig.Answer(Native::kTgsCreate, {0}), kTgsCreateSetup);
  State().SetFrameHost(&fake);
  EXPECT_EQ(rig.Answer(Native::kTgsCreate, {12345}), kTgsCreateBadCanvas);
  rig.app.files.Put("DATA\\BG.TXT", std::vector<uint8_t>{'*', '\n'});
  EXPECT_EQ(rig.Answer(Native::kTgsCreate, {0}), kTgsCreateSetup);
  EXPECT_EQ(State().Frame(), nullptr);

  rig.app.files.Put("DATA\\BG.TXT", std::vector<uint8_t>{'1', '\n'});
  ASSERT_EQ(rig.Answer(Native::kTgsCreate, {0}), 0);
  ASSERT_NE(State().Frame(), nullptr);
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
  (void)display.SetScreenSurface(nullptr);
}

}  // namespace
}  // namespace bw
