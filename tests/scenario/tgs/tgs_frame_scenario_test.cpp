// A scenario of real built-ins on the frame: messages wait for clicks, the choice's index goes
// through the configuration word, read flags and taken bits land in the log record, and built-ins
// kept in message text run in direct mode.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "lib/sob/sob_assembler.h"
#include "lib/tob/tob_assembler.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_interpreter.h"
#include "script/script_engine.h"
#include "script/script_file_source.h"

namespace bw {
namespace {

class ScriptedHost : public TgsFrameHost {
 public:
  TgsAppState state;
  TgsUserSettings settings;
  uint32_t clock = 0;
  int turns = 0;
  std::set<int> clicks;
  std::map<int, int> choices;  // turn -> choice index clicked
  bool skipHeld = false;
  std::vector<std::string> shown;
  std::vector<uint32_t> traced;
  ScriptEngine* engine = nullptr;

  uint32_t Clock() override { return clock; }
  int FrameTurn() override {
    clock += 16;
    return ++turns < 10000 ? 1 : 0;
  }
  TgsAppState& AppState() override { return state; }
  const TgsUserSettings& Settings() override { return settings; }
  bool WriteGuestWord(uint32_t address, int32_t value) override {
    return engine->GetMemory().Write32(address, static_cast<uint32_t>(value));
  }
  bool LeftClicked() override { return clicks.count(turns) != 0; }
  bool SkipModifierDown() override { return skipHeld; }
  int TakePointerEvent() override {
    auto it = choices.find(turns);
    return it == choices.end() ? -1 : 20 + it->second;
  }
  void SetMessage(std::string_view text, const std::string& name, uint32_t) override {
    shown.push_back(name + "|" + std::string(text));
  }
  void TraceBuiltin(uint32_t number) override { traced.push_back(number); }
};

class TgsScenarioTest : public ::testing::Test {
 protected:
  TgsScenarioTest() : engine(&files, 32u << 20) {
    Put("SCRIPT\\SOB_INIT.DAT", ".table\n.script SUB 8 8\n");
    Put("SCRIPT\\USER_VAR.SOB", ".sob1\nv: .space 16\n.var 0 1 v 16\n");
    Put("SCRIPT\\FUNC_LIB.SOB", ".sob2\nlib: ret\n");
    EXPECT_EQ(engine.LoadInitFiles("SCRIPT\\SOB_INIT.DAT", "SCRIPT\\USER_VAR.SOB",
                                   "SCRIPT\\FUNC_LIB.SOB", false, false),
              0);
    engine.PublishTables();
    host.engine = &engine;
    host.state.config[0] = static_cast<int32_t>(engine.VariableValueAddress(0));
    frame = std::make_unique<TgsFrame>(&engine, &files, &host);
    frame->SetScriptFolder("SCRIPT");
  }
  void Put(const std::string& name, const std::string& source) {
    sob::AssembleResult r = sob::Assemble(source);
    ASSERT_TRUE(r.ok) << r.error;
    files.Put(name, r.bytes);
  }
  void PutTob(const std::string& name, const std::string& source) {
    tob::AssembleResult r = tob::Assemble(source);
    ASSERT_TRUE(r.ok) << r.error;
    files.Put(name, r.bytes);
  }
  int Run(const std::string& lines) {
    PutTob("SCRIPT\\TGS_INIT.DAT", ".init\n.script RUN 8 16\n");
    EXPECT_EQ(frame->LoadInitTable("TGS_INIT.DAT"), 0);
    PutTob("SCRIPT\\RUN.TOB", ".tob1\n" + lines);
    EXPECT_EQ(frame->Start("RUN"), 0);
    return TgsRunStep(*frame);
  }
  int32_t Variable() {
    uint32_t v = 0;
    engine.GetMemory().Read32(engine.VariableValueAddress(0), v);
    return static_cast<int32_t>(v);
  }

  MemoryScriptFileSource files;
  ScriptEngine engine;
  ScriptedHost host;
  std::unique_ptr<TgsFrame> frame;
};

constexpr const char* kScenario =
    "MessageBegin 0\n"
    "SetNameAndVoice \"Ann\", \"V01\"\n"
    "\"Hello\"\n"
    "MessageWait\n"
    "MessageBegin 1\n"
    "\"Pick\"\n"
    "DisableChoice 0\n"
    "ChoiceShow -, \"A\", \"B\", -, -, -, -, -, -, 3\n"
    "ChoiceWait\n"
    "MessageBegin 2\n"
    "\"After\"\n"
    "MessageWait\n"
    ".end\n";

TEST_F(TgsScenarioTest, MessagesAndAChoiceRunThroughTheBuiltins) {
  host.clicks = {5, 12};
  host.choices = {{8, 1}};
  EXPECT_EQ(Run(kScenario), kTgsStepEnded);
  EXPECT_EQ(host.shown, (std::vector<std::string>{"Ann|Hello", "|Pick", "|After"}));
  EXPECT_EQ(Variable(), 1);
  EXPECT_EQ(host.turns, 12);
  EXPECT_EQ(host.traced.front(), 12u);
  for (uint32_t i : {0u, 1u, 2u}) EXPECT_TRUE(frame->IsMessageRead(i)) << i;
  EXPECT_TRUE(frame->CurrentRecord()->secondSet.Test(4));  // slot 9's 3 + the index 1
  EXPECT_FALSE(frame->CurrentRecord()->secondSet.Test(3));
}

TEST_F(TgsScenarioTest, ADisabledChoiceIsNotTaken) {
  host.clicks = {2, 9};
  host.choices = {{5, 0}, {7, 1}};  // the first is disabled: the list waits on
  EXPECT_EQ(Run(kScenario), kTgsStepEnded);
  EXPECT_EQ(Variable(), 1);
  EXPECT_EQ(host.turns, 9);
}

TEST_F(TgsScenarioTest, SkippingReadMessagesTakesOneTurnEach) {
  host.clicks = {1, 3};
  host.choices = {{2, 1}};
  ASSERT_EQ(Run(kScenario), kTgsStepEnded);
  // Again with the skip keys held: each read message takes one turn, the choice still waits.
  host.turns = 0;
  host.clicks = {};
  host.skipHeld = true;
  host.choices = {{4, 1}};
  frame->UnloadAll();
  EXPECT_EQ(frame->Start("RUN"), 0);
  EXPECT_EQ(TgsRunStep(*frame), kTgsStepEnded);
  EXPECT_EQ(host.turns, 5);  // message 0, message 1 before the list, the list (two), message 2
}

TEST_F(TgsScenarioTest, CallRecordsInTextRunWhenTheViewReachesThem) {
  host.clicks = {1};
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
