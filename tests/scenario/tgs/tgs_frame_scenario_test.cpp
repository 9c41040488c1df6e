// Label: optimised
// Built-ins kept in message text run as the view reaches them, in direct mode and in the
// history's layout.
#include <gtest/gtest.h>

#include <cstring>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_history.h"
#include "scenario/tgs/tgs_test_world.h"
#include "script/script_test_util.h"

namespace bw {
namespace {

class TgsScenarioTest : public ::testing::Test {
 protected:
  TgsScenarioTest() : engine(&files, 32u << 20) {
    LoadPlainEngine(files, engine);
    host.state.config[0] = 0x4000;
    host.quitAtTurn = 10000;
    frame = std::make_unique<TgsFrame>(&engine, &files, &host);
    frame->SetScriptFolder("SCRIPT");
  }
  int Run(const std::string& lines) {
    files.Put("SCRIPT\\TGS_INIT.DAT", Tob(".init\n.script RUN 8 16\n"));
    EXPECT_EQ(frame->LoadInitTable("TGS_INIT.DAT"), 0);
    files.Put("SCRIPT\\RUN.TOB", Tob(".tob1\n" + lines));
    EXPECT_EQ(frame->Start("RUN"), 0);
    return TgsRunStep(*frame);
  }

  MemoryScriptFileSource files;
  ScriptEngine engine;
  FakeFrameHost host;
  std::unique_ptr<TgsFrame> frame;
};

TEST_F(TgsScenarioTest, CallRecordsInTextRunWhenTheViewReachesThem) {
  host.clickTurns = {1};
  ASSERT_EQ(Run("MessageBegin 0\n\"A\"\nTextFont 30, 255\n\"B\"\nMessageWait\n.end\n"),
            kTgsStepEnded);
  ASSERT_EQ(host.shown.size(), 1u);
  const std::string text = host.shown[0].substr(1);  // behind "|"
  ASSERT_EQ(text.substr(0, 2), std::string("A\0", 2));
  std::string summary;
  EXPECT_EQ(frame->GetMessageSummary(summary), 0);
  EXPECT_EQ(summary, "AB");
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  EXPECT_EQ(frame->RunCallRecord({bytes + 1, text.size() - 1}), 0);
  EXPECT_EQ(frame->Font().size, 30);
  EXPECT_EQ(frame->Font().color, 255u);
  EXPECT_EQ(frame->RunCallRecord({bytes, 1}), kTgsBadCallRecord);
}

TEST_F(TgsScenarioTest, DirectBuiltinsReachTheirOperationsAndTheResultWord) {
  std::vector<TgsSlot> slots = {{1, 0}, {1, 0x00FF00}};
  EXPECT_EQ(frame->CallBuiltinDirect(28, slots), 0);
  EXPECT_EQ(frame->Font().size, 24);
  EXPECT_EQ(frame->Font().color, 0x00FF00u);
  uint32_t result = 1;
  engine.GetMemory().Read32(engine.HostVariableAddress(0), result);
  EXPECT_EQ(result, 0u);
}

// The history keeps the colours of the font calls in its texts: -1 is the colour it draws the
// text in; faces, sizes and the message's own font stay as they are.
TEST_F(TgsScenarioTest, HistoryLayoutColoursItsRenderersThroughTextCalls) {
  struct ColourView : TgsHistoryView {
    int32_t LineHeight() override { return 20; }
    int32_t MeasureText(std::string_view) override { return -1; }
    int Open(int32_t, int32_t) override { return 0; }
    void BeginPage() override {}
    void DrawName(std::string_view, int32_t, uint32_t) override {}
    void DrawText(std::string_view, int32_t, uint32_t) override {}
    void DrawChoice(std::string_view, int32_t, uint32_t) override {}
    void PlaceVoiceBox(int, int32_t, int32_t) override {}
    void SetScrollPosition(int32_t) override {}
    int32_t ScrollPosition() override { return 0; }
    void SetAlpha(uint8_t, uint8_t) override {}
    void SetHidden(bool) override {}
    int TakeClickedBox() override { return -1; }
    int32_t Wheel() override { return 0; }
    ImageSurface* MakeSceneLayer() override { return nullptr; }
    void Close() override {}
    bool MenuItemEnabled(int) override { return true; }
    void EnableMenuItem(int, bool) override {}
    void SetTextColor(uint32_t rgb) override { text.push_back(rgb); }
    void SetShadowColor(uint32_t rgb) override { shadow.push_back(rgb); }
    std::vector<uint32_t> text, shadow;
  } view;
  host.historyView = &view;
  host.clickTurns = {1};
  ASSERT_EQ(Run("MessageBegin 0\n\"A\"\nTextFont -, -1, 4144959\n\"B\"\n"
                "TextFont 30, 65280, -, \"user\"\n\"C\"\nMessageWait\n.end\n"),
            kTgsStepEnded);
  ASSERT_EQ(host.shown.size(), 1u);
  const std::string text = host.shown[0].substr(1);
  std::vector<std::span<const uint8_t>> records;
  for (size_t at = text.find('\0'); at != std::string::npos; at = text.find('\0', at)) {
    uint32_t size = 0;
    std::memcpy(&size, text.data() + at + 2, sizeof size);
    records.push_back({reinterpret_cast<const uint8_t*>(text.data() + at), 2 + size});
    at += 2 + size;
  }
  ASSERT_EQ(records.size(), 2u);
  const TgsFontState before = frame->Font();

  EXPECT_EQ(frame->RunHistoryCall(records[0], 0xFFB74C), 0);
  EXPECT_EQ(view.text, std::vector<uint32_t>{0xFFB74C}) << "-1: the history's own colour";
  EXPECT_EQ(view.shadow, std::vector<uint32_t>{0x3F3F3F});
  EXPECT_EQ(frame->RunHistoryCall(records[1], 0xFFFFFF), 0);
  EXPECT_EQ(view.text.back(), 0x00FF00u);
  EXPECT_EQ(view.shadow.size(), 1u) << "a shadow not given is left alone";
  EXPECT_EQ(std::tuple(frame->Font().size, frame->Font().color, frame->Font().face,
                       frame->Font().changed),
            std::tuple(before.size, before.color, before.face, before.changed))
      << "the message font is not the history's";

  // Outside the history layout the same record sets the message font again.
  EXPECT_EQ(frame->RunCallRecord(records[1]), 0);
  EXPECT_EQ(frame->Font().size, 30);
  EXPECT_EQ(view.text.size(), 2u);
  EXPECT_EQ(frame->RunHistoryCall(records[1].first(1), 0xFFFFFF), kTgsBadCallRecord);
}

}  // namespace
}  // namespace bw
