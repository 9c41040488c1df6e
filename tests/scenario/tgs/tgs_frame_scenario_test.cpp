// A scenario of real built-ins on the frame: messages wait for clicks, the choice's index goes
// through the configuration word, read flags and taken bits land in the log record, and built-ins
// kept in message text run in direct mode.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scenario/tgs/tgs_frame.h"
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

TEST_F(TgsScenarioTest, MessagesAndAChoiceRunThroughTheBuiltins) {
  host.clickTurns = {5, 12};
  host.pointerEvents = {{8, 21}};
  EXPECT_EQ(Run(R"(MessageBegin 0
SetNameAndVoice "Ann", "V01"
"Hello"
MessageWait
MessageBegin 1
"Pick"
DisableChoice 0
ChoiceShow -, "A", "B", -, -, -, -, -, -, 3
ChoiceWait
MessageBegin 2
"After"
MessageWait
.end
)"),
            kTgsStepEnded);
  EXPECT_EQ(host.shown, (std::vector<std::string>{"Ann|Hello", "|Pick", "|After"}));
  EXPECT_EQ(host.guest[0x4000], 1);
  EXPECT_EQ(host.turns, 12);
  EXPECT_EQ(host.traced.front(), 12u);
  for (uint32_t i : {0u, 1u, 2u}) EXPECT_TRUE(frame->IsMessageRead(i)) << i;
  EXPECT_TRUE(frame->CurrentRecord()->secondSet.Test(4));  // slot 9's 3 + the index 1
  EXPECT_FALSE(frame->CurrentRecord()->secondSet.Test(3));
}

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

}  // namespace
}  // namespace bw
