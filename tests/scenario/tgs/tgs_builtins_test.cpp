// Label: optimised
#include "scenario/tgs/tgs_builtins.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "lib/wgx/wgx_writer.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "scenario/tgs/tgs_operations.h"
#include "script/guest_memory.h"
#include "support/image_test_rig.h"

namespace bw {
namespace {

template <typename T>
requires std::is_arithmetic_v<T> std::string Show(T v) {
  return std::to_string(v);
}
std::string Show(const TgsText& t) {
  return t ? "\"" + std::string(*t) + "\"" : "null";
}
std::string Show(const std::optional<int32_t>& v) {
  return v ? std::to_string(*v) : "-";
}
std::string Show(std::string_view s) {
  return "\"" + std::string(s) + "\"";
}
template <typename T, size_t N>
std::string Show(std::span<const T, N> list) {
  std::string s = "[";
  for (const T& v : list) s += (s.size() > 1 ? " " : "") + Show(v);
  return s + "]";
}
template <typename... T>
std::string Join(const T&... v) {
  std::string s;
  ((s += (s.empty() ? "" : ", ") + Show(v)), ...);
  return s;
}

// Writes each operation as "Name(arguments)" and answers what the test set for it (else 0).
class RecordingOperations : public TgsOperations {
 public:
  bool RestoringGame() const override { return restoring; }
  void BeginBuiltin(uint32_t number) override { builtin = number; }
#define BW_RECORD(name, params, args) \
  int32_t name params override {      \
    return Record(#name, Join args);  \
  }
  BW_TGS_OPERATIONS(BW_RECORD)
#undef BW_RECORD

  std::string log;
  std::map<std::string, int32_t> answers;
  bool restoring = false;
  uint32_t builtin = 0;

 private:
  int32_t Record(const char* name, const std::string& args) {
    log += (log.empty() ? "" : "; ") + std::string(name) + "(" + args + ")";
    return answers[name];
  }
};

class FakeInterpreter : public TgsInterpreterContext {
 public:
  GuestMemory& Memory() override { return memory; }
  int32_t& WaitChain() override { return chain; }
  bool CollectingText() const override { return collecting; }
  bool AppendCallRecord(uint32_t, std::span<const TgsSlot>) override { return true; }
  GuestMemory memory{1u << 20};
  int32_t chain = 0;
  bool collecting = false;
};

class TgsBuiltinsTest : public ::testing::Test {
 protected:
  TgsSlot Text(std::string_view s) {
    std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    return {kTgsSlotText | 1, static_cast<int32_t>(interpreter_.memory.AllocateCopy(bytes, true))};
  }
  // One slot per letter: i = the value 700 + index (low byte 188 + index), t = the text
  // "s<index>", 0 = a given 0, n = a given -1, - = not given.
  std::vector<TgsSlot> Slots(std::string_view kinds) {
    std::vector<TgsSlot> slots;
    for (size_t i = 0; i < kinds.size(); ++i) {
      int32_t index = static_cast<int32_t>(i);
      switch (kinds[i]) {
        case 'i':
          slots.push_back({1, 700 + index});
          break;
        case 't':
          slots.push_back(Text("s" + std::to_string(i)));
          break;
        case '0':
          slots.push_back({1, 0});
          break;
        case 'n':
          slots.push_back({1, -1});
          break;
        default:
          slots.push_back({});
          break;
      }
    }
    return slots;
  }
  // Runs built-in number and clears an unchanged wait chain, as the interpreter does.
  int32_t Run(uint32_t number, const std::vector<TgsSlot>& slots, TgsOperations* ops = nullptr) {
    int32_t before = interpreter_.chain;
    TgsBuiltinCall call{interpreter_, ops ? *ops : ops_, slots};
    int32_t result = TgsBuiltinTable()[number](call);
    if (interpreter_.chain == before) interpreter_.chain = 0;
    return result;
  }
  std::string Log(uint32_t number, std::string_view kinds) {
    ops_.log.clear();
    EXPECT_EQ(Run(number, Slots(kinds)), 0) << "built-in " << number;
    return ops_.log;
  }

  FakeInterpreter interpreter_;
  RecordingOperations ops_;
};

// Every built-in row, handed a full set of slots or none, says which row it is before its first
// operation: a row that forgets leaves the stand-in and the trace naming the wrong built-in.
TEST_F(TgsBuiltinsTest, EveryRowAnnouncesItselfBeforeItsOperations) {
  for (uint32_t n = kTgsFirstBuiltin; n < kTgsBuiltinCount; ++n) {
    for (std::string_view kinds : {"", "itiitiitiitiitiiti"}) {
      ops_.builtin = 0;
      ops_.log.clear();
      Run(n, Slots(kinds));
      if (!ops_.log.empty()) {
        EXPECT_EQ(ops_.builtin, n) << ops_.log;
      }
      EXPECT_FALSE(interpreter_.memory.Faulted()) << "built-in " << n;
    }
  }
  for (uint32_t n : {0u, 11u, 15u}) EXPECT_EQ(Log(n, "iiii"), "") << "control rows do nothing";
}

// A built-in given slots of the kinds named as in Slots, and what it asks of the operations.
struct LoggedRow {
  uint32_t number;
  const char* kinds;
  const char* log;
};

// Slots reach their operation by position, in the operation's own order: texts as texts, numbers
// whole or as their low byte, switches as 0 or 1.
TEST_F(TgsBuiltinsTest, SlotsReachTheirArgumentsByPosition) {
  const LoggedRow rows[] = {
      {31, "iiti", R"(MessageTalk(700, 701, "s2", 1))"},
      {44, "tiii", R"(SetBackgroundZoomNow(701, 702, "s0", 191))"},
      {38, "iiiii", "SetBackgroundTone(188, 1, 1, 1, 192)"},
      {13, "-tt-t", R"(ShowChoices(["s1" "s2"], 0))"},
      {77, "itn", R"(LoadSprite(700, "s1", 0, 0, 0); KeepSpritePlace(700, 0, 0))"},
      {110, "iiii", "CopyShownPageToBack(); ClearSprites(1, 703); TransRule(701, 700, 702)"},
  };
  for (const auto& row : rows) EXPECT_EQ(Log(row.number, row.kinds), row.log) << row.number;
}

// A slot not given takes the row's default, which is not always 0.
TEST_F(TgsBuiltinsTest, MissingSlotsTakeTheirDefaults) {
  const LoggedRow rows[] = {
      {20, "", "WaitTimeSkippable(0, 1)"},
      {28, "0-n", "SetTextFont(24, -, -1, null)"},
      {46, "", "ZoomBackground(0, 400, 300, null, null, 1000)"},
      {64, "", "CrossFadeLayer(2000, 0, 0, 0)"},
      {110, "-n", "CopyShownPageToBack(); ClearSprites(1, 0); TransCross(300)"},
  };
  for (const auto& row : rows) EXPECT_EQ(Log(row.number, row.kinds), row.log) << row.number;
}

TEST_F(TgsBuiltinsTest, NamesAreUniqueAndFoundInEitherCase) {
  EXPECT_EQ(TgsFindBuiltin("bgload"), 35);
  EXPECT_EQ(TgsFindBuiltin("BgLoa"), -1);
  for (uint32_t n = 0; n < kTgsBuiltinCount; ++n) {
    if (!TgsBuiltinName(n).empty()) {
      EXPECT_EQ(TgsFindBuiltin(TgsBuiltinName(n)), int32_t(n));
    }
  }
}

TEST_F(TgsBuiltinsTest, TextsThatDoNotReadAreAbsentWithoutAFault) {
  GuestMemory& memory = interpreter_.memory;
  uint32_t unterminated = memory.Allocate(16);
  memory.Fill(unterminated, 'A', 16);
  std::string longText(kTgsTextLimit + 1, 'x');
  struct Case {
    TgsSlot slot;
    const char* expected;
  } cases[] = {
      {{kTgsSlotText, 0}, R"(SetSpeakerName(""))"},     // empty text
      {{kTgsSlotText, 0x123}, "SetSpeakerName(null)"},  // in the null page
      {{kTgsSlotText, int32_t(unterminated)}, "SetSpeakerName(null)"},
      {Text(longText), "SetSpeakerName(null)"},
      {{1, int32_t(Text("n").value)}, "SetSpeakerName(null)"},  // a number, not a text
  };
  for (const Case& c : cases) {
    ops_.log.clear();
    Run(18, {c.slot});
    EXPECT_EQ(ops_.log, c.expected);
    EXPECT_FALSE(memory.Faulted()) << c.expected;
  }
  uint32_t word = 0;
  EXPECT_FALSE(memory.Read32(0x10, word));  // a fault of the script's own
  Run(18, {{kTgsSlotText, 0x123}});
  EXPECT_TRUE(memory.TakeFault()) << "an earlier fault stays raised";
}

TEST_F(TgsBuiltinsTest, OneSkipEndsARunOfSkippableWaits) {
  ops_.answers["WaitTimeSkippable"] = 1;  // the reader skips
  EXPECT_EQ(Run(20, Slots("i")), 0);
  EXPECT_EQ(interpreter_.chain, 1);
  ops_.log.clear();
  EXPECT_EQ(Run(96, Slots("i")), 0);
  EXPECT_EQ(Run(90, Slots("iiii")), 0);
  EXPECT_EQ(Run(20, Slots("i")), 0);
  EXPECT_EQ(ops_.log, "EndPendingTransition(); ReleaseSpriteEffect(700, 189, 702)")
      << "chained waits finish at once, a timed wait does nothing";
  EXPECT_EQ(interpreter_.chain, 4);

  Run(35, Slots("ti"));  // not a wait: the chain ends
  EXPECT_EQ(interpreter_.chain, 0);
  ops_.log.clear();
  Run(96, Slots("i"));
  EXPECT_EQ(ops_.log, "WaitTransition(1)");
  EXPECT_EQ(interpreter_.chain, 0) << "a wait that ran to its end";

  interpreter_.chain = 1;
  ops_.log.clear();
  Run(96, Slots("0"));  // not skippable: waits even in a chain
  interpreter_.chain = 1;
  Run(129, Slots("i-0i"));  // chained without stopOnSkip: nothing to stop
  Run(129, Slots("iiii"));
  Run(68, Slots("0i"));
  EXPECT_EQ(ops_.log, "WaitTransition(0); StopEffectChannel(700); StopScreenEffect(0, 1, 0)");

  ops_.answers["WaitQuake"] = -1;  // the application quits
  interpreter_.chain = 0;
  EXPECT_EQ(Run(115, Slots("ii")), -1);
  ops_.restoring = true;
  ops_.log.clear();
  EXPECT_EQ(Run(20, Slots("i")), 0);
  EXPECT_EQ(Run(21, Slots("i")), 0);
  EXPECT_EQ(ops_.log, "") << "timed waits do nothing while a loaded game is restored";
}

TEST_F(TgsBuiltinsTest, AnswersAndFailuresOfOperations) {
  ops_.answers = {{"MessageWait", 6},
                  {"WaitTimeFixed", -3},
                  {"FadeMessageWindows", -2},
                  {"LoadBackground", 1},
                  {"LoadSprite", 2}};
  EXPECT_EQ(Run(16, {}), 6) << "an exit code stops the step";
  EXPECT_EQ(Run(21, {}), -1);
  EXPECT_EQ(Run(119, {}), -1);
  EXPECT_EQ(Log(107, "tiiiiiii"), R"(LoadBackground("s0", 1))")
      << "nothing more after a failed load";
  EXPECT_EQ(Log(109, "itiiii"), R"(CopyShownPageToBack(); LoadSprite(700, "s1", 1, 705, 1))");
  ops_.log.clear();
  for (int32_t index : {-1, 4, 5, 256}) Run(19, {{1, index}});
  EXPECT_EQ(ops_.log, "DisableChoice(4)") << "only choices 0-4 can be disabled";
}

class TgsReleaseImageTest : public test::GameFolderTest {};

TEST_F(TgsReleaseImageTest, ReleaseImageDropsTheCachedPicture) {
  Write("BG/A.WGX", tools::WriteWgx({24, 2, 2, std::vector<uint32_t>(4, 0x102030), {}, 0, 0, {}}));
  ImageLoaderManager images;
  RegisterBuiltinLoaders(images);
  images.SetCacheBudget(16);
  images.LoadImage("BG\\A.WGX", true)->Release();
  ASSERT_EQ(images.GetCache().GetCount(), 1u);

  FakeInterpreter interpreter;
  RecordingOperations ops;
  const std::string_view text = "bg\\a.wgx";
  uint32_t name = interpreter.memory.AllocateCopy(
      {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, true);
  std::vector<TgsSlot> slots{{kTgsSlotText, int32_t(name)}};
  TgsBuiltinCall call{interpreter, ops, slots};
  EXPECT_EQ(TgsBuiltinTable()[92](call), 0) << "no manager published yet";
  EXPECT_EQ(images.GetCache().GetCount(), 1u);
  ScopedGlobal<ImageLoaderManager> published(&images);
  EXPECT_EQ(TgsBuiltinTable()[92](call), 0);
  EXPECT_EQ(images.GetCache().GetCount(), 0u);
  EXPECT_EQ(ops.log, "");
}

}  // namespace
}  // namespace bw
