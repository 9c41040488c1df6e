// Label: optimised
#include "scenario/tgs/tgs_interpreter.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "common/global.h"
#include "host/cp932.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "scenario/tgs/tgs_builtins.h"
#include "scenario/tgs/tgs_call_record.h"
#include "scenario/tgs/tgs_operations.h"
#include "scenario/tgs/tgs_test_world.h"
#include "script/guest_memory.h"
#include "support/game_folder.h"

namespace bw {
namespace {

TEST(TgsText, CharactersBracketsAndPrintedValues) {
  TgsWorld w;
  EXPECT_EQ(w.Run(R"(
  "A"
  .bytes 81 5B        ; a character whose trail byte is "["
  .bytes 5B 41        ; "[" before another byte is dropped
  "x[y"               ; "[" in text prints through function 6
  PrintNumber -2147483648
  PrintNumber if(0) 5 ; a false condition skips it
  PrintText nul
  .bytes 82 00        ; a lead byte before the end byte is one byte
)"),
            kTgsStepEnded);
  EXPECT_EQ(w.Frame().Text(),
            "A\x81\x5B"
            "Ax[y-2147483648\x82");
}

TEST(TgsText, TheBufferKeepsWholeCharactersUpToItsLimit) {
  TgsWorld w;
  EXPECT_EQ(w.Run("\"" + std::string(4094, 'a') + "あい\"\n.end\n"), kTgsStepEnded);
  EXPECT_EQ(w.Frame().Text(), std::string(4094, 'a'));
}

TEST(TgsControl, ConditionsJumpsCallsAndReturns) {
  TgsWorld w;
  w.PutTob("R0", ".tob0\n\"r\"\nReturn\n");
  EXPECT_EQ(w.Run(R"(
  JumpUnless if(0) @a   ; function 0 jumps when its condition is false
  "no"
a:
  JumpIf if(0) @no
  JumpIf if(var 0 0) @no
  JumpIf2 @b
no:
  "no"
b:
  Call "sub"
  Preload "R0"
  Call @0, "r0"
  Unload -
  "e"
  Return @0            ; the call stack is empty: the script ends
  "no"
sub:
  "s"
  Return
)"),
            kTgsStepEnded);
  EXPECT_EQ(w.Frame().Text(), "sre");
  EXPECT_EQ(w.Frame().ResidentCount(), 0u);
}

TEST(TgsControl, AFailedJumpEndsTheScript) {
  TgsWorld w;
  EXPECT_EQ(w.Run("Jump @0, \"MISSING\"\n\"no\"\n.end\n"), kTgsStepEnded);
  EXPECT_EQ(w.Frame().CurrentScript(), nullptr);
  EXPECT_EQ(TgsRunStep(w.Frame()), kTgsStepNoScript);
}

// Names, labels and texts held in main-script variables or made by expressions are addresses of
// texts in the main script's memory, read as texts given in place would be. Variable words: 0 the
// script's name, 1 the label, 2 a text, 3 an address nothing maps.
TEST(TgsControl, TextsFromVariablesAndExpressionsAreRead) {
  const struct {
    const char* lines;
    int step;
    const char* text;
  } cases[] = {
      {"Call var(0 1), var(0 0)", kTgsStepEnded, "sbe"},
      {"Call {set t, host:0 | ret | t: .string \"back\"}, {set n, host:0 | ret | n: .string "
       "\"S2\"}",
       kTgsStepEnded, "be"},
      {"Preload var(0 0)\nCall var(0 1), var(0 0)\nUnload var(0 0)", kTgsStepEnded, "sbe"},
      {"Jump var(0 1), var(0 0)", kTgsStepEnded, "sb"},
      {"PrintText var(0 2)\nPrintText {mov var:0, host:0 | ret}", kTgsStepEnded, "textS2e"},
      {"Call var(0 3), var(0 0)", kTgsStepMalformed, ""},
      {"PrintText var(0 3)", kTgsStepMalformed, ""},
  };
  for (const auto& c : cases) {
    TgsWorld w;
    w.PutTob("S2", ".tob1\n\"x\"\nsub:\n\"s\"\nback:\n\"b\"\nReturn\n");
    GuestMemory& m = w.Host().GetMemory();
    uint32_t word = 0;
    for (std::string_view text : {"S2", "sub", "text"}) {
      const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
      w.SetVariable(word++, m.AllocateCopy({bytes, text.size()}, true));
    }
    w.SetVariable(3, 0x123);
    EXPECT_EQ(w.Run(std::string(c.lines) + "\n\"e\"\n.end\n"), c.step) << c.lines;
    EXPECT_EQ(w.Frame().Text(), c.text) << c.lines;
    EXPECT_EQ(w.Frame().ResidentCount(), 0u) << c.lines;
  }
}

TEST(TgsBuiltins, EveryNumberReachesItsBuiltinWithItsSlots) {
  TgsWorld w;
  std::string lines;
  for (uint32_t f = kTgsFirstBuiltin; f < kTgsBuiltinCount; ++f)
    lines += tob::FunctionName(f) + " 5, \"t\", -, =9\n";
  EXPECT_EQ(w.Run(lines + ".end\n"), kTgsStepEnded);
  ASSERT_EQ(w.Mock().calls.size(), 120u);
  for (uint32_t f = kTgsFirstBuiltin; f < kTgsBuiltinCount; ++f) {
    const RecordedCall& c = w.Mock().calls[f - kTgsFirstBuiltin];
    EXPECT_EQ(c.number, f);
    ASSERT_EQ(c.slots.size(), 4u) << f;
    EXPECT_EQ(std::tuple(c.slots[0].flags, c.slots[0].value, c.slots[1].flags, c.texts[1],
                         c.slots[2].flags, c.slots[3].flags, c.slots[3].value),
              std::tuple(1u, 5, 1u | kTgsSlotText, "t", 0u, 0u, 9))
        << f;
  }
  EXPECT_EQ(w.Frame().ValueStackTop(), 0u);
}

TEST(TgsBuiltins, ResultsStopTheStepAndMapToStepResults) {
  const struct {
    int32_t result;
    int step;
  } cases[] = {{kTgsScriptEnded, kTgsStepEnded}, {-1, -1}, {-5, kTgsStepBadResult}, {7, 7}};
  for (const auto& c : cases) {
    TgsWorld w;
    w.Mock().results[16] = c.result;
    ASSERT_EQ(w.StartScenario("\"a\"\nMessageWait 1, 2\n\"b\"\n.end\n"), 0);
    EXPECT_EQ(TgsRunStep(w.Frame()), c.step) << c.result;
    EXPECT_EQ(w.Frame().Text(), "a");
    EXPECT_EQ(w.Frame().ValueStackTop(), 0u) << "a stopping built-in's slots are popped";
    EXPECT_EQ(w.Frame().ArgumentCount(), 2u);
    EXPECT_EQ(TgsRunStep(w.Frame()), kTgsStepEnded) << "the next step goes on behind it";
    EXPECT_EQ(std::tuple(w.Frame().Text(), w.Mock().calls.size()), std::tuple("ab", 1u));
  }
}

TEST(TgsBuiltins, OneSkipEndsARunOfWaitsUntilAnotherBuiltin) {
  TgsWorld w;
  EXPECT_EQ(w.Run("WaitTime 1\nWaitTime 1\nMessageBegin 0\nWaitTime 1\n.end\n"), kTgsStepEnded);
  std::vector<int32_t> seen;
  for (const RecordedCall& c : w.Mock().calls) seen.push_back(c.chainSeen);
  EXPECT_EQ(seen, (std::vector<int32_t>{0, 1, 2, 0})) << "a built-in that leaves it clears it";
}

TEST(TgsMainScriptCode, EachLinkListAndExpressionResults) {
  TgsWorld w;
  EXPECT_EQ(w.Run(R"(
  stmt{set 5, var:0 | ret}
  MessageBegin {add 1, 2, host:0 | ret}, {ret}, var(0 0)
  stmt{native native:3, a, var:0 | ret | a: .word 20, 22}
  MessageBegin var(0 0)
  stmt{call lib:0 | ret}
  MessageBegin var(0 0)
  stmt{jmp over | set 1, var:0 | over: ret}
  JumpIf if{set 0, host:0 | ret} @0
  MessageBegin var(0 0)
  .end
)"),
            kTgsStepEnded);
  // host:0 is cleared before an expression.
  std::vector<int32_t> values;
  for (const RecordedCall& c : w.Mock().calls)
    for (const TgsSlot& slot : c.slots) values.push_back(slot.value);
  EXPECT_EQ(values, (std::vector<int32_t>{3, 0, 5, 42, 9, 9}));
  // Linked once: a second run of the same code finds the same values.
  w.Mock().calls.clear();
  w.Frame().SetPosition(0);
  EXPECT_EQ(TgsRunStep(w.Frame()), kTgsStepEnded);
  EXPECT_EQ(w.Mock().calls[1].slots[0].value, 42);
}

TEST(TgsMainScriptCode, NestedCallsWaitsJumpsAndExit) {
  TgsWorld w;
  const size_t loaded = w.Host().LoadedScripts().size();
  int turns = 0;
  w.Frame().SetFrameStep([&] { return ++turns; });
  EXPECT_EQ(w.Run(R"(
  stmt{native native:0, a, host:2 | wait | ret | a: .word n | n: .string "SUB"}
  stmt{wait | ret}
  .end
)"),
            kTgsStepEnded);
  EXPECT_EQ(w.Variable(0), 77u) << "the called script ran";
  EXPECT_EQ(turns, 1) << "one frame turn for the wait";
  EXPECT_EQ(w.Host().LoadedScripts().size(), loaded);

  // A Call to a missing script is the frame natives' to check, message and all.
  // An Exit stays asked, so that the main script ends at its next wait.
  const struct {
    const char* code;
    const char* message;
    uint32_t request;
  } failures[] = {
      {"native native:1, a, host:2 | ret | a: .word n | n: .string \"SUB\"",
       "システムスクリプト中でJump命令は使用できません", kRequestNone},
      {"native native:2, 0, host:2 | ret", nullptr, kRequestExit},
  };
  for (const auto& f : failures) {
    TgsWorld v;
    ASSERT_EQ(v.StartScenario(std::string("stmt{") + f.code + "}\n\"no\"\n.end\n"), 0);
    EXPECT_EQ(TgsRunStep(v.Frame()), kTgsStepStatementFailed) << f.code;
    EXPECT_EQ(v.Frame().Text(), "");
    if (f.message) {
      ASSERT_EQ(v.Messages().size(), 1u) << f.code;
      EXPECT_EQ(v.Messages()[0], host::Cp932Literal(f.message));
    }
    EXPECT_EQ(v.Host().Request().word, f.request) << f.code;
  }
  TgsWorld quitting;  // a wait with no frame loop to turn
  EXPECT_EQ(quitting.Run("stmt{wait | ret}\n.end\n"), kTgsStepStatementFailed);
}

TEST(TgsMalformedCode, EveryFaultEndsTheStepWithMinusThree) {
  const struct {
    const char* name;
    const char* lines;
    tob::FaultSwitches faults;
  } cases[] = {
      {"no end byte", "\"a\"\n.end\n", {.noEndByte = true}},
      {"lead byte last", "\"a\"\n.end\n", {.leadByteLast = true}},
      {"bad skip", "MessageBegin 1\n.end\n", {.badSkip = true}},
      {"function 132", "MessageBegin 1\n.end\n", {.function132 = true}},
      {"kind 4", "MessageBegin 1\n.end\n", {.kind4 = true}},
      {"long string", "MessageBegin \"x\"\n.end\n", {.longString = true}},
      {"link place", "stmt{set 1, var:0 | ret}\n.end\n", {.linkPlaceOutside = true}},
      {"link index", "MessageBegin {set 1, host:0 | ret}\n.end\n", {.linkIndexOutside = true}},
      {"bad bank", "MessageBegin if(var 5 0)\n.end\n", {}},
      {"index past the variable", "MessageBegin var(0 4)\n.end\n", {}},
      {"text slot without text", "PrintText 5\n.end\n", {}},
      {"jump outside the code", "JumpIf @500\n.end\n", {}},
      {"fault in main-script code", "stmt{jmp 0}\n.end\n", {}},
  };
  for (const auto& c : cases) {
    TgsWorld w;
    ASSERT_EQ(w.StartScenario(c.lines, c.faults), 0) << c.name;
    EXPECT_EQ(TgsRunStep(w.Frame()), kTgsStepMalformed) << c.name;
    EXPECT_TRUE(w.Mock().calls.empty()) << c.name;
    EXPECT_EQ(w.Frame().ValueStackTop(), 0u) << c.name;
  }
}

TEST(TgsCallRecords, RoundTripAndBoundedReading) {
  TgsWorld w;
  GuestMemory& m = w.Frame().Memory();
  const uint32_t text = m.AllocateCopy(std::vector<uint8_t>{'r', 'u', 'b', 'y'}, true);
  const TgsSlot slots[] = {{1, 24}, {3, static_cast<int32_t>(text)}, {0, 0}, {2, 0}};
  std::string buffer = "ab";
  ASSERT_TRUE(TgsWriteCallRecord(buffer, 4095, m, 27, slots));
  const uint32_t scratch = m.Allocate(64);
  ByteReader r(buffer.data() + 2, buffer.size() - 2);
  uint32_t number = 0;
  std::vector<TgsSlot> out;
  ASSERT_TRUE(TgsReadCallRecord(r, m, scratch, 64, number, out));
  EXPECT_TRUE(r.atEnd());
  EXPECT_EQ(number, 27u);
  ASSERT_EQ(out.size(), 4u);
  std::string s;
  EXPECT_TRUE(m.ReadCString(out[1].value, s, 10));
  EXPECT_EQ(std::tuple(out[0].value, s, out[3].flags, out[3].value), std::tuple(24, "ruby", 2u, 0));

  std::string full(4090, 'x');
  EXPECT_FALSE(TgsWriteCallRecord(full, 4095, m, 27, slots))
      << "a record that does not fit is dropped whole";
  EXPECT_EQ(full.size(), 4090u);

  std::string record(buffer.begin() + 2, buffer.end());
  std::string f132 = record;
  f132[6] = static_cast<char>(132);
  for (const std::string& bad : {f132, record.substr(0, record.size() - 1)}) {
    ByteReader b(bad.data(), bad.size());
    EXPECT_FALSE(TgsReadCallRecord(b, m, scratch, 64, number, out));
    EXPECT_EQ(b.position(), 0u);
  }
  ByteReader small(record.data(), record.size());
  EXPECT_FALSE(TgsReadCallRecord(small, m, scratch, 4, number, out))
      << "texts must fit the scratch area";
}

// Loops run their jumps and statements from what the first turn read: each turn must still see
// the variables and expressions as they are now.

TEST(TgsLoops, ConditionsAreEvaluatedAgainOnEveryTurn) {
  TgsWorld w;
  ASSERT_EQ(w.StartScenario(R"(
count:
  stmt{inc var:0 | ret}
  JumpIf if{mov var:0, c.1 | c: lt 0, 3, host:0 | ret} @count
again:
  "x"
  stmt{inc var:0 | ret}
  JumpUnless if{mov var:0, c.1 | c: ge 0, 6, host:0 | ret} @again
middle:
  stmt{inc var:0 | ret}
  JumpIf if{mov var:0, c.1 | c: eq 0, 8, host:0 | ret} @middle  ; not taken on its first turn
  JumpIf if{mov var:0, c.1 | c: lt 0, 9, host:0 | ret} @middle
flag:
  "y"
  stmt{add var:0, 4, c.2 | c: set 0, 0 | ret}
  JumpIf if(var 0 1) @flag
  .end
)"),
            0);
  w.SetVariable(1, 1);
  EXPECT_EQ(TgsRunStep(w.Frame()), kTgsStepEnded);
  EXPECT_EQ(std::tuple(w.Frame().Text(), w.Variable(0)), std::tuple("xxxy", 9u));
}

TEST(TgsLoops, JumpTargetsFromVariablesAndExpressionsAreReadEachTime) {
  for (const char* target : {"var(0 1)", "{add var:0, 4, m.1 | m: mov 0, host:0 | ret}"}) {
    SCOPED_TRACE(target);
    TgsWorld w;
    ASSERT_EQ(w.StartScenario(std::string(R"(
top:
  JumpIf2 )") + target + R"(
a:
  "A"
  stmt{add var:0, 8, m.1 | add var:0, 4, m.2 | m: mov 0, 0 | ret}
  JumpIf2 @top
b:
  "B"
  .end
)"),
              0);
    const TgsScript& script = *w.Frame().CurrentScript();
    w.SetVariable(1, static_cast<uint32_t>(script.FindLabel("a")));
    w.SetVariable(2, static_cast<uint32_t>(script.FindLabel("b")));
    w.Frame().SetStepBudget(100);
    EXPECT_EQ(TgsRunStep(w.Frame()), kTgsStepEnded);
    EXPECT_EQ(w.Frame().Text(), "AB");
  }
}

// A statement writes into the scenario's own bytes, at the address in variable word 1: the jump
// it rewrites is read again, not run as it was first read. Its condition's constant lies 7 bytes
// into the instruction.
TEST(TgsLoops, AJumpRewrittenByTheScenariosOwnCodeIsReadAgain) {
  TgsWorld w;
  ASSERT_EQ(w.StartScenario(R"(
top:
  JumpIf if(1) @skip
  "n"
skip:
  stmt{add var:0, 4, s.1 | s: mov 0, d.2 | d: set 0, 0 | ret}
  "s"
  JumpIf if(var 0 0) @again
  .end
again:
  stmt{set 0, var:0 | ret}
  JumpIf @top
)"),
            0);
  w.SetVariable(0, 1);
  w.SetVariable(1, w.Frame().CurrentScript()->CodeStart() + 7);
  EXPECT_EQ(TgsRunStep(w.Frame()), kTgsStepEnded);
  EXPECT_EQ(w.Frame().Text(), "sns");
}

// Code that writes variable word j at the address in word i.
std::string Write(int i, int j) {
  return "add var:0, " + std::to_string(4 * j) + ", v.1 | v: mov 0, d.1 | add var:0, " +
         std::to_string(4 * i) + ", p.1 | p: mov 0, d.2 | d: set 0, 0";
}

// Expressions rewrite the instruction that runs them: the value of the built-in's next argument,
// and the jump's own target. On every turn the rest of the instruction reads as rewritten. A
// built-in whose condition held on no turn before runs with its arguments too.
TEST(TgsLoops, WhatAnExpressionRewritesOfItsInstructionCountsOnThatTurn) {
  TgsWorld w;
  ASSERT_EQ(w.StartScenario(R"(
top:
  MessageWait
  WaitTime {)" + Write(1, 0) +
                            R"( | set 5, host:0 | ret}, 1
wait:
  SetNameAndVoice if{mov var:0, c.1 | c: gt 0, 12, host:0 | ret} "n", var(0 0)
  JumpIf2 if{)" + Write(3, 2) +
                            R"( | set 1, host:0 | ret} @top
jump:
a:
  "a"
  JumpIf2 @top
b:
  "b"
  JumpIf2 @top
)"),
            0);
  const TgsScript& script = *w.Frame().CurrentScript();
  w.SetVariable(1, script.CodeStart() + static_cast<uint32_t>(script.FindLabel("wait")) - 4);
  w.SetVariable(3, script.CodeStart() + static_cast<uint32_t>(script.FindLabel("jump")) - 4);
  w.Mock().results[16] = 1;  // MessageWait stops each step: one turn a step
  ASSERT_EQ(TgsRunStep(w.Frame()), 1);
  const std::string turns = "abbab";
  for (size_t t = 0; t < turns.size(); ++t) {
    w.SetVariable(0, 10 + static_cast<uint32_t>(t));
    w.SetVariable(2, static_cast<uint32_t>(script.FindLabel(turns.substr(t, 1).c_str())));
    ASSERT_EQ(TgsRunStep(w.Frame()), 1) << t;
  }
  EXPECT_EQ(w.Frame().Text(), turns);
  std::vector<int32_t> waits, names;
  for (const RecordedCall& c : w.Mock().calls) {
    if (c.number == TgsNumber(TgsFunction::kWaitTime)) waits.push_back(c.slots[1].value);
    if (c.number != 16 && c.number != 20) names.push_back(c.slots[1].value);
  }
  EXPECT_EQ(waits, (std::vector<int32_t>{10, 11, 12, 13, 14}));
  EXPECT_EQ(names, (std::vector<int32_t>{13, 14}));
}

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
  // "s<index>", 0 = a given 0, - = not given.
  std::vector<TgsSlot> Slots(std::string_view kinds) {
    std::vector<TgsSlot> slots;
    for (size_t i = 0; i < kinds.size(); ++i) {
      const char k = kinds[i];
      slots.push_back(k == 't'   ? Text("s" + std::to_string(i))
                      : k == 'i' ? TgsSlot{1, 700 + static_cast<int32_t>(i)}
                      : k == '0' ? TgsSlot{1, 0}
                                 : TgsSlot{});
    }
    return slots;
  }
  // Runs built-in number and clears an unchanged wait chain, as the interpreter does.
  int32_t Run(uint32_t number, const std::vector<TgsSlot>& slots) {
    int32_t before = interpreter_.chain;
    TgsBuiltinCall call{interpreter_, ops_, slots};
    int32_t result = TgsBuiltinTable()[number](call);
    if (interpreter_.chain == before) interpreter_.chain = 0;
    return result;
  }
  int32_t Run(TgsFunction f, const std::vector<TgsSlot>& slots) { return Run(TgsNumber(f), slots); }
  std::string Log(TgsFunction f, std::string_view kinds) { return Log(TgsNumber(f), kinds); }
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
      // Rows 15, 19 and 92 call no operation; every other row calls one when its slots are given.
      const bool silent = n == 15 || n == 19 || n == 92;
      if (!kinds.empty()) {
        EXPECT_EQ(ops_.log.empty(), silent) << "built-in " << n;
      }
      if (!ops_.log.empty()) {
        EXPECT_EQ(ops_.builtin, n) << ops_.log;
      }
      EXPECT_FALSE(interpreter_.memory.Faulted()) << "built-in " << n;
    }
  }
  for (uint32_t n : {0u, 11u, 15u}) EXPECT_EQ(Log(n, "iiii"), "") << "control rows do nothing";
}

// The text form's names both ways: control names exactly, built-ins whole in either case, unnamed
// rows as fN. Every name leading back to its own number is checked where each number is
// assembled by name.
TEST(TgsFunctionNames, NameAndNumberAgree) {
  struct Case {
    std::string_view name;
    int number;
    bool printed;  // the disassembler writes this name for the number
  };
  static constexpr Case kCases[] = {
      {"JumpUnless", 0, true},    {"Jump", 8, true},          {"Unload", 11, true},
      {"jump", -1, false},        {"MessageBegin", 12, true}, {"messagebegin", 12, false},
      {"MessageBegi", -1, false}, {"f15", 15, true},          {"f50", 50, true},
      {"f55", 55, true},          {"VoicePlay", 131, true},   {"f132", 132, true},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(tob::FunctionNumber(c.name), c.number) << c.name;
    if (c.printed) {
      EXPECT_EQ(tob::FunctionName(c.number), c.name);
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
    Run(TgsFunction::kSetSpeakerName, {c.slot});
    EXPECT_EQ(ops_.log, c.expected);
    EXPECT_FALSE(memory.Faulted()) << c.expected;
  }
  uint32_t word = 0;
  EXPECT_FALSE(memory.Read32(0x10, word));  // a fault of the script's own
  Run(TgsFunction::kSetSpeakerName, {{kTgsSlotText, 0x123}});
  EXPECT_TRUE(memory.TakeFault()) << "an earlier fault stays raised";
}

TEST_F(TgsBuiltinsTest, OneSkipEndsARunOfSkippableWaits) {
  ops_.answers["WaitTimeSkippable"] = 1;  // the reader skips
  EXPECT_EQ(Run(TgsFunction::kWaitTime, Slots("i")), 0);
  EXPECT_EQ(interpreter_.chain, 1);
  ops_.log.clear();
  EXPECT_EQ(Run(TgsFunction::kTransWait, Slots("i")), 0);
  EXPECT_EQ(Run(TgsFunction::kWaitSpriteEffect, Slots("iiii")), 0);
  EXPECT_EQ(Run(TgsFunction::kWaitTime, Slots("i")), 0);
  EXPECT_EQ(ops_.log, "EndPendingTransition(); ReleaseSpriteEffect(700, 189, 702)")
      << "chained waits finish at once, a timed wait does nothing";
  EXPECT_EQ(interpreter_.chain, 4);

  Run(TgsFunction::kBgLoad, Slots("ti"));  // not a wait: the chain ends
  EXPECT_EQ(interpreter_.chain, 0);
  ops_.log.clear();
  Run(TgsFunction::kTransWait, Slots("i"));
  EXPECT_EQ(ops_.log, "WaitTransition(1)");
  EXPECT_EQ(interpreter_.chain, 0) << "a wait that ran to its end";

  interpreter_.chain = 1;
  ops_.log.clear();
  Run(TgsFunction::kTransWait, Slots("0"));  // not skippable: waits even in a chain
  interpreter_.chain = 1;
  Run(TgsFunction::kWaitSeFade, Slots("i-0i"));  // chained without stopOnSkip: nothing to stop
  Run(TgsFunction::kWaitSeFade, Slots("iiii"));
  Run(TgsFunction::kWaitScreenEffect, Slots("0i"));
  EXPECT_EQ(ops_.log, "WaitTransition(0); StopEffectChannel(700); StopScreenEffect(0, 1, 0)");

  ops_.answers["WaitQuake"] = -1;  // the application quits
  interpreter_.chain = 0;
  EXPECT_EQ(Run(TgsFunction::kWaitQuake, Slots("ii")), -1);
  ops_.restoring = true;
  ops_.log.clear();
  EXPECT_EQ(Run(TgsFunction::kWaitTime, Slots("i")), 0);
  EXPECT_EQ(Run(TgsFunction::kWaitTimeFixed, Slots("i")), 0);
  EXPECT_EQ(ops_.log, "") << "timed waits do nothing while a loaded game is restored";
}

TEST_F(TgsBuiltinsTest, AnswersAndFailuresOfOperations) {
  ops_.answers = {{"MessageWait", 6},
                  {"WaitTimeFixed", -3},
                  {"FadeMessageWindows", -2},
                  {"LoadBackground", 1},
                  {"LoadSprite", 2}};
  EXPECT_EQ(Run(TgsFunction::kMessageWait, {}), 6) << "an exit code stops the step";
  EXPECT_EQ(Run(TgsFunction::kWaitTimeFixed, {}), -1);
  EXPECT_EQ(Run(TgsFunction::kMessageWindowFade, {}), -1);
  EXPECT_EQ(Log(TgsFunction::kBgChangeRule, "tiiiiiii"), R"(LoadBackground("s0", 1))")
      << "nothing more after a failed load";
  EXPECT_EQ(Log(TgsFunction::kSpriteChangeCross, "itiiii"),
            R"(CopyShownPageToBack(); LoadSprite(700, "s1", 1, 705, 1))");
  ops_.log.clear();
  for (int32_t index : {-1, 4, 5, 256}) Run(TgsFunction::kDisableChoice, {{1, index}});
  EXPECT_EQ(ops_.log, "DisableChoice(4)") << "only choices 0-4 can be disabled";
}

TEST_F(TgsBuiltinsTest, ReleaseImageDropsTheCachedPicture) {
  test::GameFolder game;
  game.dir().WriteFile(
      "BG/A.WGX", tools::WriteWgx({24, 2, 2, std::vector<uint32_t>(4, 0x102030), {}, 0, 0, {}}));
  ImageLoaderManager images;
  RegisterBuiltinLoaders(images);
  images.SetCacheBudget(16);
  images.LoadImage("BG\\A.WGX", true)->Release();
  ASSERT_EQ(images.GetCache().GetCount(), 1u);

  const std::vector<TgsSlot> slots{Text("bg\\a.wgx")};
  EXPECT_EQ(Run(92, slots), 0) << "no manager published yet";
  EXPECT_EQ(images.GetCache().GetCount(), 1u);
  ScopedGlobal<ImageLoaderManager> published(&images);
  EXPECT_EQ(Run(92, slots), 0);
  EXPECT_EQ(std::tuple(images.GetCache().GetCount(), ops_.log), std::tuple(0u, ""));
}

// Every built-in row with a distinct value in each slot it reads (a number 700 + slot, whose
// low byte is 188 + slot, or the text "s" + slot): the operations it calls and where each value
// lands among their arguments.
TEST_F(TgsBuiltinsTest, EachSlotLandsInItsPlaceAmongTheOperationsArguments) {
  struct Row {
    uint32_t number;
    const char* kinds;
    const char* log;
  };
  // clang-format off
  static const Row kRows[] = {
      {12, "i", "BeginMessage(700)"},
      {13, "itttttttti", "ShowChoices([\"s1\" \"s2\" \"s3\" \"s4\" \"s5\" \"s6\" \"s7\" \"s8\"], 709)"},
      {14, "", "TextNewLine()"}, {15, "", ""}, {16, "", "MessageWait()"}, {17, "", "ChoiceWait()"},
      {18, "t", "SetSpeakerName(\"s0\")"}, {19, "i", ""}, {20, "i", "WaitTimeSkippable(700, 1)"},
      {21, "i", "WaitTimeFixed(700)"}, {22, "i", "SelectMessageWindow(700)"},
      {23, "iiiiii", "SetMessageWindowPlace(700, 701, 702, 703, 704, 705)"},
      {24, "iiii", "SetFaceWindowPlace(700, 701, 702, 703)"},
      {25, "tt", "SetNameAndVoice(\"s0\", \"s1\")"}, {26, "", "BeginRuby()"},
      {27, "t", "DrawRuby(\"s0\")"}, {28, "iiit", "SetTextFont(700, 701, 702, \"s3\")"},
      {29, "ii", "ShowMessageWindow(1, 701)"}, {30, "i", "CloseMessageWindow(700)"},
      {31, "iiti", "MessageTalk(700, 701, \"s2\", 1)"}, {32, "it", "TalkAnime(700, \"s1\")"},
      {33, "ii", "WaitTalkAnime(700, 1)"}, {34, "i", "ReleaseTalkAnime(700)"},
      {35, "ti", "LoadBackground(\"s0\", 189)"}, {36, "ii", "ClearBackgroundToColor(700, 189)"},
      {37, "ii", "SetLayerColor(700, 189)"}, {38, "iiiii", "SetBackgroundTone(188, 1, 1, 1, 192)"},
      {39, "ii", "SetBackgroundFilter(700, 189)"},
      {40, "iii", "SetBackgroundOffset(700, 701, 190)"}, {41, "ii", "CaptureBackground(1, 188, 1)"},
      {42, "i", "CaptureBackground(0, 188, 0)"},
      {43, "iiiii", "SetBackgroundView(700, 701, 702, 703, 192)"},
      {44, "tiii", "SetBackgroundZoomNow(701, 702, \"s0\", 191)"},
      {45, "itiii", "RotateBackground(700, \"s1\", 702, 703, 192)"},
      {46, "tiiiti", "ZoomBackground(193, 701, 702, \"s0\", \"s4\", 703)"},
      {47, "itiiiti", "RotateBackgroundEffect(194, 700, \"s1\", 702, 703, \"s5\", 704)"},
      {48, "tiiiiii", "AnimateBackgroundPath(193, \"s0\", 701, 1, 1, 1, 706)"},
      {49, "ti", "EndBackgroundPath(\"s0\", 189)"},
      {50, "iittttiiti", "BlurBackground(0, [700 701 0 0 0 0 706 195 0 0 0 0 0 197 0], [null null \"s2\" \"s3\" \"s4\" \"s5\" null null \"s8\" null null null null null null], 1, 0, 1)"},
      {51, "tiiitii", "BlurBackgroundPath(194, \"s0\", [1 702 191 0 0 0 0 0 193 0], [null null null \"s4\" null null null null null null], 1, 0, 1)"},
      {52, "iittttiiti", "BlurBackground(0, [700 701 0 0 0 0 706 195 0 0 1 0 1 0 0], [null null \"s2\" \"s3\" \"s4\" \"s5\" null null \"s8\" null null null null null null], 0, 0, 0)"},
      {53, "tiittttiit", "BlurBackground(0, [701 702 0 0 0 0 707 196 0 0 0 0 1 0 0], [null null \"s3\" \"s4\" \"s5\" \"s6\" null null \"s9\" \"s0\" null null null null null], 0, 0, 0)"},
      {54, "tiiitiiiii", "BlurBackgroundPath(197, \"s0\", [1 702 191 0 0 1 1 1 195 708], [null null null \"s4\" null null null null null null], 0, 0, 0)"},
      {55, "ttiiitiiii", "BlurBackgroundPath(0, \"s1\", [1 703 192 0 0 1 1 1 196 709], [null null null \"s5\" \"s0\" null null null null null], 0, 0, 0)"},
      {56, "iiiii", "SetBackgroundBlurNow(192, 700, 701, 702, 703)"},
      {57, "ii", "WaitLayerEffect(188, 1)"}, {58, "i", "StopLayerEffect(188)"},
      {59, "iiii", "ScreenNoise(700, 189, 1, 1)"},
      {60, "iiiiiiiii", "WaveBackground(192, 700, 701, 702, 703, 705, 706, 707, 1)"},
      {61, "iiii", "LoopScrollBackground(191, 188, 701, 702)"},
      {62, "tiiiiii", "SpriteMovie(\"s0\", 701, 190, 1, 704, 705, 706)"},
      {63, "tiiiiii", "SpriteParts(\"s0\", 701, 190, 703, 1, 1, 1)"},
      {64, "iiii", "CrossFadeLayer(700, 701, 190, 191)"},
      {65, "iiiitii", "ScreenWeather(700, 701, 702, 1, \"s4\", 1, 1)"},
      {66, "iii", "SetScreenEffectArgs(700, 1, 1)"}, {67, "iii", "StopScreenEffect(700, 701, 702)"},
      {68, "i", "StopScreenEffect(700, 1, 0)"},
      {69, "tii", "LoadBackgroundAnime(\"s0\", 701, 0, 190)"},
      {70, "tii", "LoadBackgroundMovie(\"s0\", 190, 189)"},
      {71, "i", "LoadBackgroundAnime(null, 0, 0, 188)"},
      {72, "i", "ControlBackgroundAnime(188, 1)"}, {73, "i", "WaitBackgroundAnime(188)"},
      {74, "i", "ControlBackgroundAnime(188, 5)"}, {75, "ii", "WaitBackgroundAnimeEnd(188, 1)"},
      {76, "i", "SetSpriteTint(1)"},
      {77, "itiiii", "LoadSprite(700, \"s1\", 191, 705, 1); PlaceSprite(700, 702, 0, 191, 705)"},
      {78, "iiiiii", "SetSpriteTone(700, 189, 1, 1, 192, 705)"},
      {79, "iiii", "SetSpriteFilter(700, 701, 190, 703)"},
      {80, "iiiii", "PlaceSprite(700, 701, 1, 191, 704)"},
      {81, "iiiii", "MoveSprite(700, 701, 702, 191, 704)"},
      {82, "iii", "SpriteToBack(700, 189, 702, 1)"}, {83, "iii", "SpriteToFront(700, 189, 702, 1)"},
      {84, "ii", "ClearSprites(188, 701)"},
      {85, "itiiiii", "CrossFadeSprite(700, \"s1\", 702, 703, 1, 193, 706)"},
      {86, "itiiii", "AnimateSpritePath(700, \"s1\", 702, 191, 704, 1)"},
      {87, "itii", "EndSpritePath(700, \"s1\", 190, 703)"},
      {88, "ittiiiiii", "ChangeSprite(700, \"s1\", \"s2\", 191, 704, 1, 706, 195, 708)"},
      {89, "iiiii", "AnimateCharacterParts(700, 701, 191, 704, 1)"},
      {90, "iiii", "WaitSpriteEffect(700, 1, 189, 702)"},
      {91, "iii", "ReleaseSpriteEffect(700, 189, 702)"}, {92, "", ""}, {93, "i", "SetRuleFlipH(1)"},
      {94, "i", "SetRuleFlipV(1)"}, {95, "", "CopyShownPageToBack()"},
      {96, "i", "WaitTransition(1)"}, {97, "", "EndPendingTransition()"},
      {98, "i", "TransCross(700)"}, {99, "iii", "TransRule(700, 701, 702)"},
      {100, "iii", "TransTrans(700, 701, 1)"},
      {101, "iiiii", "TransFilter(700, 701, 702, 703, 704)"},
      {102, "iiit", "TransScroll(700, 189, 190, \"s3\")"},
      {103, "itiiiit", "TransRipple([700 0 702 703 704 705 0], \"s6\", \"s1\")"},
      {104, "i", "ClearBackgroundToColor(0, 1); ClearSprites(1, -1); TransCross(700)"},
      {105, "i", "ClearBackgroundToColor(16777215, 1); ClearSprites(1, -1); TransCross(700)"},
      {106, "tiiiii", "LoadBackground(\"s0\", 1); SetBackgroundTone(190, 1, 1, 1, 1); ClearSprites(1, -1); TransCross(701)"},
      {107, "tiiiiiii", "LoadBackground(\"s0\", 1); SetBackgroundTone(192, 1, 1, 1, 1); ClearSprites(1, -1); TransRule(701, 702, 703)"},
      {108, "tiiiiiii", "LoadBackground(\"s0\", 1); SetBackgroundTone(192, 1, 1, 1, 1); ClearSprites(1, -1); TransTrans(701, 702, 1)"},
      {109, "itiiii", "CopyShownPageToBack(); LoadSprite(700, \"s1\", 1, 705, 1); PlaceSprite(700, 702, 0, 1, 705); TransCross(703)"},
      {110, "iiii", "CopyShownPageToBack(); ClearSprites(1, 703); TransRule(701, 700, 702)"},
      {111, "iiitii", "ScreenQuake([0 700 701], 702, \"s3\", 192, 193, 0)"},
      {112, "iiiitii", "ScreenQuake([702 700 701], 703, \"s4\", 193, 194, 0)"},
      {113, "iiitiiii", "Quake([0 700 701], 702, \"s3\", [192 193 194], 195, 0)"},
      {114, "iiiitiiii", "Quake([702 700 701], 703, \"s4\", [193 194 195], 196, 0)"},
      {115, "ii", "WaitQuake(188, 1)"}, {116, "i", "ReleaseQuake(188)"},
      {117, "ii", "FlashColor(700, 701)"},
      {118, "tii", "ChangeBackgroundThroughColor(\"s0\", 701, 702)"},
      {119, "iii", "FadeMessageWindows(1, 701, 1)"}, {120, "i", "ShowMessageWindows(1)"},
      {121, "iii", "PlayMusic(700, 701, 1)"}, {122, "i", "WaitBgmFade(1)"},
      {123, "i", "FadeOutMusic(1)"}, {124, "tiii", "PlayEffect(\"s0\", 701, 702, 1)"},
      {125, "tiii", "FadeInEffect(\"s0\", 701, 702, 703)"}, {126, "ii", "FadeOutEffect(700, 701)"},
      {127, "i", "StopEffect(700)"}, {128, "", "UnloadAllEffects()"},
      {129, "iiii", "WaitEffectFade(700, 1, 1, 1)"}, {130, "iii", "WaitEffectEnd(700, 1, 1)"},
      {131, "ti", "EndVoice(); PlayVoice(\"s0\", 1)"},
  };
  // clang-format on
  std::set<uint32_t> seen;
  for (const Row& row : kRows) {
    seen.insert(row.number);
    interpreter_.chain = 0;
    EXPECT_EQ(Log(row.number, row.kinds), row.log) << "built-in " << row.number;
  }
  EXPECT_EQ(seen.size(), kTgsBuiltinCount - kTgsFirstBuiltin) << "every row is listed";
}

}  // namespace
}  // namespace bw
