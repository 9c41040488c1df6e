// Label: optimised
#include "scenario/tgs/tgs_frame_base.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "scenario/tgs/tgs_interpreter.h"
#include "scenario/tgs/tgs_script.h"
#include "scenario/tgs/tgs_test_world.h"
#include "script/opcodes.h"

namespace bw {
namespace {

TEST(TgsScriptFiles, BothMagicsLoadWithLabelsAndMessageOffsets) {
  for (const char* magic : {".tob0", ".tob1"}) {
    TgsWorld w;
    w.PutTob("A", std::string(magic) + R"(
  "ab"
here:
  MessageBegin 0
  "x"
HERE:
  MessageBegin 1
here:
  .end
.label far, 1
)");
    ASSERT_EQ(w.Frame().Start("a"), 0) << magic;  // any case, ".TOB" appended
    const TgsScript& s = *w.Frame().CurrentScript();
    EXPECT_EQ(s.IsVersion1(), magic[4] == '1');
    // The first "here" wins; labels of other cases are the many-labels test's.
    EXPECT_EQ(std::tuple(s.FindLabel("here"), s.FindLabel("far"), s.FindLabel(nullptr)),
              std::tuple(2, 1, 0));
    ASSERT_EQ(s.MessageCount(), 2u);
    // An instruction of one number is 18 bytes.
    EXPECT_EQ(std::tuple(s.GetMessageOffset(0), s.GetMessageOffset(1), s.GetMessageOffset(2)),
              std::tuple(2, 2 + 18 + 1, -1));
  }
}

// Enough labels to grow the index well past its first size, names that prefix each other or fill
// whole words, names that differ in case only, double-byte names, and a script that rewrites its
// own label area after the load.
TEST(TgsScriptFiles, ManyLabelsComparedByteForByte) {
  TgsWorld w;
  std::string source = ".tob0\n\"abcdefgh\"\n.end\n";
  for (int i = 0; i < 3000; ++i)
    source += ".label L" + std::to_string(i) + ", " + std::to_string(i % 8) + "\n";
  source += ".label l7, 3\n.label ア, 3\n.label ャa, 4\n.label ルx, 5\n.label ルX, 6\n";
  source += ".label Sixteen_Letters_, 3\n.label NineChars, 4\n";
  w.PutTob("MANY", source);
  ASSERT_EQ(w.Frame().Start("MANY"), 0);
  const TgsScript& s = *w.Frame().CurrentScript();
  for (int i = 0; i < 3000; i += 7)
    ASSERT_EQ(s.FindLabel(("L" + std::to_string(i)).c_str()), i % 8) << i;
  EXPECT_EQ(std::tuple(s.FindLabel("L7"), s.FindLabel("l7")), std::tuple(7, 3));
  EXPECT_EQ(s.FindLabel("L"), -1);
  EXPECT_EQ(s.FindLabel("L30000"), -1);
  // Octal escapes, so that a letter may follow a byte: \203 is 0x83, \213 is 0x8B.
  EXPECT_EQ(s.FindLabel("\203\101"), 3);
  EXPECT_EQ(s.FindLabel("\203\141"), -1);
  EXPECT_EQ(s.FindLabel("\203\203a"), 4);
  EXPECT_EQ(s.FindLabel("\203\203A"), -1);
  EXPECT_EQ(std::tuple(s.FindLabel("\203\213x"), s.FindLabel("\203\213X")), std::tuple(5, 6));
  EXPECT_EQ(std::tuple(s.FindLabel("Sixteen_Letters_"), s.FindLabel("sixteen_letters_")),
            std::tuple(3, -1));
  EXPECT_EQ(std::tuple(s.FindLabel("NineChars"), s.FindLabel("ninechars")), std::tuple(4, -1));
  EXPECT_EQ(s.FindLabel("Sixteen_Letters"), -1);
  // The first entry's name "L0" follows the header words and its length byte.
  GuestMemory& m = w.Host().GetMemory();
  const uint32_t name = s.CodeStart() - s.CodeOffset() + 13;
  ASSERT_TRUE(m.Write(name, "L0", 3));
  ASSERT_TRUE(m.Fill(name + 2, 'x', 1));
  EXPECT_EQ(s.FindLabel("L0"), 0) << "names compare as long as they were at load";
  EXPECT_EQ(s.FindLabel("L0x"), -1);
}

TEST(TgsScriptFiles, TableLookupAndMissingFiles) {
  TgsWorld w;
  w.Files().Put("SCRIPT\\TGS_INIT.DAT", Tob(".init\n.script RUN 8 0\n.script MAIN 16 4\n"));
  ASSERT_EQ(w.Frame().LoadInitTable("TGS_INIT.DAT"), 0);
  w.PutTob("OTHER", ".tob0\n.end\n");
  EXPECT_EQ(w.Frame().Preload("OTHER"), kTgsLoadNotListed);
  EXPECT_EQ(w.Frame().Preload("NONE"), kTgsLoadNotFound);
  // A bad magic is judged first, listed or not.
  w.PutTob("BAD", ".tob0\n.end\n", {.badMagic = true});
  EXPECT_EQ(w.Frame().Preload("BAD"), kTgsLoadBadFile);
  EXPECT_EQ(w.Frame().Start("NONE"), kTgsLoadNotFound + 1);
  EXPECT_EQ(w.StartScenario(".end\n"), 0);
  EXPECT_EQ(w.Frame().CurrentRecord(), &w.Frame().ReadFlagTable()[0]);
  EXPECT_EQ(w.Frame().Start("RUN"), kTgsStartBusy);
  EXPECT_EQ(w.Frame().GetFlagCount(nullptr), 24u);
  EXPECT_EQ(w.Frame().GetFlagCount("main"), 16u);
  EXPECT_EQ(w.Frame().MarkMessageRead(3), 0);
  EXPECT_EQ(w.Frame().MarkMessageRead(8), static_cast<int>(kBitSetOutOfRange));
  EXPECT_EQ(std::tuple(w.Frame().IsMessageRead(3), w.Frame().GetSetFlagCount("RUN"),
                       w.Frame().IsAllFlagged(nullptr)),
            std::tuple(true, 1u, false));
}

TEST(TgsScriptFiles, MalformedLayoutsAnswerBadFile) {
  const std::pair<const char*, tob::FaultSwitches> faults[] = {
      {"bad magic", {.badMagic = true}},
      {"oversize S1", {.oversizeS1 = 1000}},
      {"oversize S2", {.oversizeS2 = 4}},
      {"oversize N", {.oversizeN = 1}},
      {"unterminated label", {.unterminatedLabel = true}},
      {"offset past the code", {.offsetPastCode = true}},
      {"truncated header", {.truncateTo = 14}},
  };
  for (const auto& [name, f] : faults) {
    TgsWorld w;
    EXPECT_EQ(w.StartScenario("l:\nMessageBegin 0\n.end\n", f), kTgsLoadBadFile + 1) << name;
    EXPECT_EQ(w.Frame().StackDepth(), 0u) << name;
  }
}

// A script that calls, jumps and returns between a stack script and resident ones.
TEST(TgsCallStack, CallJumpReturnAcrossStackAndResidentScripts) {
  TgsWorld w;
  w.PutTob("R0", ".tob0\nr0:\n.end\n");
  w.PutTob("R1", ".tob0\n\"..\"\nr1:\n.end\n");
  ASSERT_EQ(w.StartScenario(".end\nmain:\n.end\n"), 0);
  TgsFrameBase& f = w.Frame();
  ASSERT_EQ(f.Preload("R0"), 0);
  ASSERT_EQ(f.Preload("r1"), 0);
  f.SetPosition(1);
  EXPECT_EQ(f.Call(nullptr, "main", 0), 1u);  // same script: frame -2
  EXPECT_EQ(f.Call("R1", "r1", 0), 2u);       // resident script 1: frame -1 (from the stack top)
  EXPECT_EQ(f.CurrentIndex(), 1);
  f.SetPosition(2);
  EXPECT_EQ(f.Call("R0", nullptr, 0), 0u);  // frame 1
  EXPECT_EQ(f.CurrentIndex(), 0);
  std::vector<int32_t> frames;
  for (const auto& frame : f.CallStack()) frames.push_back(frame.scriptIndex);
  EXPECT_EQ(frames, (std::vector<int32_t>{-2, -1, 1}));
  EXPECT_EQ(f.Unload("R1"), kTgsUnloadInUse) << "a pending Return goes back to it";
  EXPECT_EQ(f.Unload("r0"), kTgsUnloadInUse) << "it runs";
  EXPECT_EQ(f.Return(nullptr, nullptr, 0), 2u);
  EXPECT_EQ(f.CurrentScript()->Name(), "r1");
  EXPECT_EQ(f.Return(nullptr, nullptr, 0), 1u);
  EXPECT_EQ(f.CurrentIndex(), -1);
  EXPECT_EQ(f.Return(nullptr, nullptr, -1), 0u) << "same script, to the code start";
  EXPECT_EQ(f.Return(nullptr, nullptr, 0), std::nullopt) << "empty call stack";

  // A jump from the stack top to a new script releases the old one.
  EXPECT_EQ(f.Jump("R0", "r0", 0), 0u);
  EXPECT_EQ(f.CurrentIndex(), 0);
  EXPECT_EQ(f.StackDepth(), 0u);
}

TEST(TgsCallStack, UnloadRenumbersFramesAndTheCallPastTheLastFrameFails) {
  TgsWorld w;
  for (const char* n : {"R0", "R1", "R2"}) w.PutTob(n, ".tob0\n.end\n");
  ASSERT_EQ(w.StartScenario(".end\n"), 0);
  TgsFrameBase& f = w.Frame();
  EXPECT_EQ(f.Unload(nullptr), kTgsUnloadNone);
  for (const char* n : {"R0", "R1", "R2"}) ASSERT_EQ(f.Preload(n), 0);
  EXPECT_EQ(f.Unload("nothing"), kTgsUnloadNotFound);
  ASSERT_TRUE(f.Call("R2", nullptr, 0));  // frame -1, current 2
  ASSERT_TRUE(f.Call("R1", nullptr, 0));  // frame 2, current 1
  ASSERT_TRUE(f.Call("R2", nullptr, 0));  // frame 1, current 2
  ASSERT_EQ(f.Unload("R0"), 0);
  EXPECT_EQ(f.CurrentIndex(), 1);
  EXPECT_EQ(f.CurrentScript(), f.ResidentScript(1));
  EXPECT_EQ(f.CallStack()[1].scriptIndex, 1);
  EXPECT_EQ(f.CallStack()[2].scriptIndex, 0);
  EXPECT_EQ(f.Return(nullptr, nullptr, 0), 0u);
  EXPECT_EQ(f.CurrentScript()->Name(), "R1");

  // The call past the last frame fails.
  while (f.CallStack().size() < TgsFrameBase::kCallStackFrames)
    ASSERT_TRUE(f.Call(nullptr, nullptr, 0)) << f.CallStack().size();
  EXPECT_EQ(f.Call(nullptr, nullptr, 0), std::nullopt);
  EXPECT_EQ(f.CallStack().size(), TgsFrameBase::kCallStackFrames);
}

TEST(TgsState, RoundTripsByteForByteWithExactSize) {
  TgsWorld w;
  w.PutTob("R0", ".tob0\n\"abc\"\n.end\n");
  ASSERT_EQ(w.StartScenario("\"0123456789\"\n.end\n"), 0);
  TgsFrameBase& f = w.Frame();
  ASSERT_EQ(f.Preload("R0"), 0);
  f.SetPosition(4);
  f.SetPosition(*f.Call("R0", nullptr, 2));
  std::vector<uint8_t> saved;
  ASSERT_EQ(f.SaveState(&saved), 0);
  EXPECT_EQ(saved.size(), f.GetStateSize());

  TgsWorld other;
  other.PutTob("R0", ".tob0\n\"abc\"\n.end\n");
  other.PutTob("RUN", ".tob1\n\"0123456789\"\n.end\n");
  ByteReader r(saved.data(), saved.size());
  ASSERT_EQ(other.Frame().LoadState(&r), 0);
  EXPECT_TRUE(r.atEnd());
  EXPECT_EQ(other.Frame().CurrentIndex(), 0);
  EXPECT_EQ(other.Frame().Position(), 2u);
  std::vector<uint8_t> again;
  ASSERT_EQ(other.Frame().SaveState(&again), 0);
  EXPECT_EQ(again, saved);
  EXPECT_EQ(other.Frame().Return(nullptr, nullptr, 0), 4u);
}

TEST(TgsState, MalformedRecordsKeepTheRunningScripts) {
  TgsWorld w;
  ASSERT_EQ(w.StartScenario("\"0123\"\n.end\n"), 0);
  TgsFrameBase& f = w.Frame();
  std::vector<uint8_t> good;
  ASSERT_EQ(f.SaveState(&good), 0);  // S=1 "RUN", R=0, F=0, index -1, position 0
  auto patched = [&](size_t at, uint32_t v) {
    std::vector<uint8_t> b = good;
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    return b;
  };
  const size_t fAt = 4 + 2 + 4 + 4;  // after S, the name and R
  std::vector<uint8_t> tooManyFrames = patched(fAt, 129);
  tooManyFrames.resize(tooManyFrames.size() + 129 * 8, 0);
  std::vector<uint8_t> unterminated = good;
  unterminated[4 + 2 + 3] = 'X';
  std::vector<uint8_t> missingScript = good;
  missingScript[4 + 2] = 'Q';
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    int code;
  } cases[] = {
      {"129 frames", tooManyFrames, kTgsStateMalformed},
      {"unterminated name", unterminated, kTgsStateMalformed},
      {"position past the code", patched(good.size() - 4, 5), kTgsStateMalformed},
      {"index names no resident script", patched(good.size() - 8, 0), kTgsStateNoResident},
      {"truncated", std::vector<uint8_t>(good.begin(), good.end() - 1), kTgsStateMalformed},
      {"script that does not load", missingScript, kTgsStateLoadFailed},
  };
  const TgsScript* running = f.CurrentScript();
  for (const auto& c : cases) {
    ByteReader r(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(f.LoadState(&r), c.code) << c.name;
    EXPECT_EQ(f.CurrentScript(), running) << c.name;
    EXPECT_EQ(f.StackDepth(), 1u) << c.name;
  }
}

// A log with a mismatched record for B and a record count one too high: RUN's flags come back.
TEST(TgsReadLog, ABadLogKeepsTheRecordsThatMatched) {
  TgsWorld fresh;
  fresh.Files().Put("SCRIPT\\TGS_INIT.DAT", Tob(".init\n.script RUN 12 3\n.script B 40 0\n"));
  fresh.Files().Put("TEXT_LOG.DAT", Tob(".log packed\n.record RUN 12 3 FF0F 07\n.record B 41 0 "
                                        "0000000000FF -\n.record B 40 0 FF -\n",
                                        {.oversizeN = 1}));
  TgsFrameBase& g = fresh.Frame();
  ASSERT_EQ(g.LoadInitTable("TGS_INIT.DAT"), 0);
  EXPECT_EQ(g.WriteLogFile(nullptr), kTgsLogNoName);
  EXPECT_EQ(g.ReadLogFile("TEXT_LOG.DAT"), kTgsLogBad);
  EXPECT_EQ(g.GetSetFlagCount("RUN"), 12u);
  EXPECT_EQ(g.GetSetFlagCount("B"), 0u) << "bit counts differ";
  EXPECT_EQ(g.ReadFlagTable()[0].secondSet.Count(), 3u);
  EXPECT_TRUE(g.IsAllFlagged("RUN"));
}

TEST(TgsReadLog, MalformedTablesAndLogsAreRefused) {
  TgsWorld w;
  TgsFrameBase& f = w.Frame();
  w.Files().Put("SCRIPT\\EMPTY.DAT", Tob(".init\n"));
  ASSERT_EQ(f.LoadInitTable("EMPTY.DAT"), 0);
  EXPECT_EQ(f.WriteLogFile("X.DAT"), kTgsLogNoTable) << "no table, no log";
  EXPECT_EQ(f.LoadInitTable("NONE.DAT"), kTgsTableMissing);
  for (const tob::FaultSwitches& faults :
       {tob::FaultSwitches{.unterminatedLabel = true}, tob::FaultSwitches{.oversizeN = 1},
        tob::FaultSwitches{.truncateTo = 9}}) {
    w.Files().Put("SCRIPT\\BAD.DAT", Tob(".init\n.script RUN 8 0\n", faults));
    EXPECT_EQ(f.LoadInitTable("BAD.DAT"), kTgsTableBad);
  }
  w.Files().Put("SCRIPT\\BIG.DAT", Tob(".init\n.script RUN 16777217 0\n"));
  EXPECT_EQ(f.LoadInitTable("BIG.DAT"), kTgsTableBad);

  w.Files().Put("SCRIPT\\T.DAT", Tob(".init\n.script RUN 8 0\n"));
  ASSERT_EQ(f.LoadInitTable("T.DAT"), 0);
  for (const tob::FaultSwitches& faults :
       {tob::FaultSwitches{.badMagic = true}, tob::FaultSwitches{.oversizeS2 = 1u << 30}}) {
    w.Files().Put("L.DAT", Tob(".log packed\n.record RUN 8 0 FF -\n", faults));
    EXPECT_EQ(f.ReadLogFile("L.DAT"), kTgsLogBad);
  }
  EXPECT_EQ(f.GetSetFlagCount(nullptr), 0u);
}

// A step runs from what an earlier turn decoded: nothing of that may outlive its script, and a
// fault inside embedded code on a later turn must end the step as the first turn's would. Loops
// the one-unit cycle does not take run as blocks of decoded steps: runs longer than a unit, runs
// that end at a call, a return or a jump back to another loop's head, and runs entered in their
// middle. Each must do what the run that decodes nothing does, also where code rewrites what
// another block was decoded from.

// A loop whose named jump leaves once variable word 0 reaches turns: on a later turn than its
// first, so the step that leaves runs decoded.
std::string Looping(const char* text, int turns, const char* next) {
  return std::string(".tob1\ntop:\n  \"") + text + "\"\n  stmt{inc var:0 | ret}\n" +
         "  Jump if{mov var:0, c.1 | c: ge 0, " + std::to_string(turns) + ", host:0 | ret} @0, \"" +
         next + "\"\n  JumpIf2 @top\n";
}

// Runs the scenario of lines (S2 beside it) with steps decoded or not, once within budget and
// once on: both step results, variable word 0 after each, the built-ins called and the text.
std::string Outcome(const std::string& lines, bool decoding, int budget) {
  TgsWorld w;
  w.PutTob("S2", ".tob1\n  stmt{inc var:0 | ret}\n  \"s\"\n  stmt{inc var:0 | ret}\n  Return\n");
  w.Frame().SetStepDecoding(decoding);
  EXPECT_EQ(w.StartScenario(lines), 0);
  w.Frame().SetStepBudget(budget);
  const int first = TgsRunStep(w.Frame());
  const uint32_t counted = w.Variable(0);
  w.Frame().SetStepBudget(1000000);
  const int second = TgsRunStep(w.Frame());
  return std::to_string(first) + " " + std::to_string(counted) + " " + std::to_string(second) +
         " " + std::to_string(w.Variable(0)) + " " + std::to_string(w.Mock().calls.size()) + " " +
         w.Frame().Text();
}

// A leaves from a step decoded on an earlier turn, and the load puts B into A's released block:
// the same code offsets hold other bytes. B's steps are read from B, and nothing A decoded (nor
// the step A ran last) is used after A went. The same holds for a script started where the
// frame's own unload freed another.
TEST(TgsDecodedSteps, AScriptLoadedWhereAnotherWentIsReadAfresh) {
  TgsWorld w;
  w.PutTob("B", Looping("b", 5, "C"));
  w.PutTob("C", ".tob1\n\"c\"\n.end\n");
  w.PutTob("RUN", Looping("a", 2, "B"));
  TgsFrameBase& f = w.Frame();
  ASSERT_EQ(f.Start("RUN"), 0);
  const uint32_t block = f.CurrentScript()->CodeStart();
  f.SetStepBudget(100);
  EXPECT_EQ(TgsRunStep(f), kTgsStepEnded);
  EXPECT_EQ(std::tuple(f.Text(), w.Variable(0)), std::tuple("aabbbc", 5u));

  f.UnloadAll();
  ASSERT_EQ(f.Start("B"), 0);
  ASSERT_EQ(f.CurrentScript()->CodeStart(), block) << "B must take the block A left";
  w.SetVariable(0, 0);
  EXPECT_EQ(TgsRunStep(f), kTgsStepEnded);
  EXPECT_EQ(f.Text(), "aabbbcbbbbbc");
}

// Embedded code that faults on the third turn, in a statement, in the condition or in the jump's
// target: the step ends malformed with nothing left on the value stack, and once the fault's
// cause is gone the frame runs on from the same step, from what it decoded before.
TEST(TgsDecodedSteps, EmbeddedCodeThatFaultsOnALaterTurnEndsTheStep) {
  const std::string faultAtThree = "mov var:0, e.2 | e: sub 3, 0, d.1 | d: jz 0, fault";
  const std::string loop = "mov var:0, c.1 | c: lt 0, 5, host:0 | ret";
  for (const std::string& line :
       {"stmt{" + faultAtThree + " | ret | fault: jmp 0}\n  JumpIf if{" + loop + "} @top",
        "JumpIf if{" + faultAtThree + " | " + loop + " | fault: jmp 0} @top",
        "JumpIf if{" + loop + "} {" + faultAtThree + " | set 0, host:0 | ret | fault: jmp 0}"}) {
    SCOPED_TRACE(line);
    TgsWorld w;
    EXPECT_EQ(w.Run("top:\n  \"t\"\n  stmt{inc var:0 | ret}\n  " + line + "\n  .end\n"),
              kTgsStepMalformed);
    EXPECT_EQ(w.Frame().Text(), "ttt");
    EXPECT_EQ(w.Frame().ValueStackTop(), 0u);
    w.SetVariable(0, 4);
    w.Frame().SetStepBudget(100);
    EXPECT_EQ(TgsRunStep(w.Frame()), kTgsStepEnded);
    EXPECT_EQ(std::tuple(w.Frame().Text(), w.Variable(0)), std::tuple("tttt", 5u));
  }
}

// A loop of steps runs as one unit only while nothing it runs can change what they were read as.
// From the third turn on, the statement adds 1 to the last opcode: into a compare's operand, or,
// with rewrites, into the compare's opcode, which then faults. A budget that runs out inside the
// loop stops it on the step it stops the plain run on.
TEST(TgsDecodedSteps, ALoopRunsAsOneUnitOnlyWhileItsCodeCannotChangeIt) {
  for (bool rewrites : {false, true}) {
    SCOPED_TRACE(rewrites);
    TgsWorld w;
    ASSERT_EQ(w.StartScenario(std::string("\"x\"\ntop:\n  stmt{inc var:0 | mov var:0, c.1 | c: ge "
                                          "0, 3, o.2 | o: add 46, 0, ") +
                              (rewrites ? "i" : "i.2") +
                              " | i: ne 0, 0, i.1 | ret}\n  JumpIf if{mov var:0, c.1 | c: lt 0, "
                              "6, host:0 | ret} @top\n  \"y\"\n  .end\n"),
              0);
    w.Frame().SetStepBudget(8);
    EXPECT_EQ(TgsRunStep(w.Frame()), kTgsStepMalformed);
    EXPECT_EQ(w.Variable(0), rewrites ? 3u : 4u);
    w.Frame().SetStepBudget(100);
    EXPECT_EQ(TgsRunStep(w.Frame()), rewrites ? kTgsStepMalformed : kTgsStepEnded);
    EXPECT_EQ(w.Frame().Text(), rewrites ? "x" : "xy");
    EXPECT_EQ(w.Variable(0), rewrites ? 4u : 6u);
  }
}

// A loop with its test in front leaves by a jump that is not taken until the last turn, and
// instructions that their conditions skip on the first turns run on later ones: read while
// skipped, they run with the values of the turn they run on. An argument that is embedded code
// is read only when it runs. With a statement that rewrites its own compare, a budget stops the
// loop where it stops the run that decodes nothing.
TEST(TgsDecodedSteps, AWhileShapedLoopRunsAsTheRunThatDecodesNothing) {
  const std::string skipped =
      "  PrintNumber if{mov var:0, c.1 | c: ge 0, 3, host:0 | ret} var(0 0)\n"
      "  PrintText if{mov var:0, c.1 | c: eq 0, 4, host:0 | ret} \"!\"\n"
      "  PrintNumber if{mov var:0, c.1 | c: eq 0, 5, host:0 | ret} {mov var:0, host:0 | ret}\n";
  const std::string rewriting =
      "  stmt{mov var:0, c.1 | c: ge 0, 3, o.2 | o: add 46, 0, i | i: ne 0, 0, i.1 | ret}\n";
  for (const std::string& body : {skipped, rewriting}) {
    for (int budget : {9, 100}) {
      SCOPED_TRACE(body + " budget " + std::to_string(budget));
      const std::string lines =
          "\"x\"\ntop:\n  JumpUnless if{mov var:0, c.1 | c: lt 0, 6, host:0 | ret} @done\n"
          "  stmt{inc var:0 | ret}\n" +
          body + "  JumpIf @top\ndone:\n  \"y\"\n  .end\n";
      const std::string outcome[2] = {Outcome(lines, false, budget), Outcome(lines, true, budget)};
      EXPECT_EQ(outcome[true], outcome[false]);
      if (body == skipped && budget == 100) {
        EXPECT_EQ(outcome[true], std::to_string(kTgsStepEnded) + " 6 " +
                                     std::to_string(kTgsStepEnded) + " 6 0 x34!556y");
      }
    }
  }
}

// Loops of 8, 17, 64 and 200 steps a turn run as the run that decodes nothing does: plain, with
// text in the middle (which keeps them on the ordinary path), and with a statement that from the
// third turn rewrites the compare of the one behind it (its operand, or its opcode, which then
// faults). A budget stops each where the plain run stops.
TEST(TgsDecodedSteps, LongLoopsRunAsTheRunThatDecodesNothing) {
  for (int steps : {8, 17, 64, 200}) {
    for (const std::string rewrite : {"", "text", "i.2", "i"}) {
      const bool rewrites = rewrite.starts_with("i");
      const int counts = rewrites ? steps - 2 : steps - 1;  // increments a turn
      std::string body;
      for (int i = 0; i < counts; ++i) {
        body += "  stmt{inc var:0 | ret}\n";
        if (rewrite == "text" && i == counts / 2) body += "  \"t\"\n";
      }
      if (rewrites) {
        body += "  stmt{mov var:0, c.1 | c: ge 0, " + std::to_string(2 * counts + 1) +
                ", o.2 | o: add 46, 0, " + rewrite + " | i: ne 0, 0, i.1 | ret}\n";
      }
      for (int budget : {steps * 2 + 5, steps * 3 + 1, 100000}) {
        SCOPED_TRACE(std::to_string(steps) + " steps, rewrite " + rewrite + ", budget " +
                     std::to_string(budget));
        const std::string lines =
            "\"x\"\ntop:\n" + body + "  JumpIf if{mov var:0, c.1 | c: lt 0, " +
            std::to_string(30 * counts) + ", host:0 | ret} @top\n  \"y\"\n  .end\n";
        EXPECT_EQ(Outcome(lines, true, budget), Outcome(lines, false, budget));
      }
    }
  }
}

std::string Repeat(const std::string& line, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += line;
  return out;
}

const std::string kInc = "  stmt{inc var:0 | ret}\n";
const std::string kPass = "  stmt{ret}\n";

// The jump back to top while word 0 is below end.
std::string Back(int end) {
  return "  JumpIf if{mov var:0, c.1 | c: lt 0, " + std::to_string(end) + ", host:0 | ret} @top\n";
}

// Plain and with a built-in in the middle; a call and a return of the same script (which keep
// the stretch) and of another; a forward jump into the middle of a decoded run, taken from the
// fifth turn on; a jump back to an inner loop's head. Budgets stop each inside its turns.
TEST(TgsLoopPaths, LoopsBeyondOneUnitRunAsTheRunThatDecodesNothing) {
  const struct {
    const char* name;
    std::string lines;
    int steps;  // about a turn's
  } cases[] = {
      {"300 steps", "top:\n" + Repeat(kInc, 299) + Back(3000), 300},
      {"built-in",
       "top:\n" + Repeat(kInc, 150) + "  TextNewLine\n" + Repeat(kInc, 150) + Back(3000), 302},
      {"call",
       "top:\n" + Repeat(kInc, 20) + "  Call @sub\n" + Repeat(kInc, 20) + Back(400) +
           "  \"e\"\n  .end\nsub:\n" + Repeat(kInc, 30) + "  \"c\"\n" + kInc + "  Return\n",
       75},
      {"named call",
       "  Preload \"S2\"\ntop:\n" + Repeat(kInc, 20) + "  Call @0, \"S2\"\n" + Repeat(kInc, 20) +
           Back(300),
       47},
      {"jump in",
       "top:\n  JumpIf if{mov var:0, c.1 | c: ge 0, 1200, host:0 | ret} @mid\n" +
           Repeat(kInc, 150) + "mid:\n" + Repeat(kInc, 150) + Back(4000),
       302},
      {"inner loop",
       "top:\n" + Repeat(kInc, 10) + "inner:\n" + Repeat(kInc, 20) +
           "  JumpIf if{mov var:0, c.1 | c: lt 0, 200, host:0 | ret} @inner\n" +
           Repeat(kPass, 260) + Back(500),
       290},
  };
  for (const auto& c : cases) {
    for (int budget : {c.steps * 2 + 7, c.steps * 3 + 1, 1000000}) {
      SCOPED_TRACE(std::string(c.name) + ", budget " + std::to_string(budget));
      const std::string lines = "\"x\"\n" + c.lines + "  \"y\"\n  .end\n";
      EXPECT_EQ(Outcome(lines, true, budget), Outcome(lines, false, budget));
    }
  }
}

// From word 0 = from on, a statement writes "inc" over the "dec" of another step's fragment (a
// word that fragment was decoded from), which then counts 3 a turn instead of 1: the step right
// behind the writer (one block), or 280 steps on (another block, entered after the writer's).
// The writer is straight code (a block takes it) or ends in a jump (the ordinary path runs it).
// address: the rewritten word's guest address, found by a first load.
std::string Rewriting(uint32_t address, int apart, int from, bool jumps) {
  const std::string write = "  stmt{mov var:0, c.1 | c: ge 0, " + std::to_string(from) +
                            ", t.2 | t: sub " + std::to_string(kOpDecrement) + ", 0, " +
                            std::to_string(address) +
                            (jumps ? " | jmp e | e: ret}\n" : " | ret}\n");
  return "\"x\"\ntop:\n" + kInc + write + Repeat(kPass, apart) +
         "  stmt{dec var:0 | inc var:0 | inc var:0 | ret}\n" + Repeat(kPass, 20) + Back(301) +
         "  \"y\"\n  .end\n";
}

TEST(TgsLoopPaths, CodeRewrittenFromAnotherBlockIsSeen) {
  for (bool jumps : {false, true}) {
    for (int apart : {0, 280}) {
      SCOPED_TRACE(std::to_string(apart) + (jumps ? " apart, the writer jumps" : " apart"));
      uint32_t address = 0;
      {
        TgsWorld w;
        ASSERT_EQ(w.StartScenario(Rewriting(0, apart, 100, jumps)), 0);
        const TgsScript& script = *w.Frame().CurrentScript();
        const uint32_t words[] = {kOpDecrement, 0, kOpIncrement, 0, kOpIncrement};
        for (uint32_t at = 0; at + sizeof words <= script.CodeSize() && !address; ++at) {
          uint32_t seen[5];
          std::memcpy(seen, script.Code() + at, sizeof seen);
          if (seen[0] == words[0] && seen[2] == words[2] && seen[4] == words[4])
            address = script.CodeStart() + at;
        }
      }
      ASSERT_NE(address, 0u);
      for (int from : {100, 100000}) {
        const std::string lines = Rewriting(address, apart, from, jumps);
        for (int budget : {700, 3000, 1000000}) {
          SCOPED_TRACE(std::to_string(from) + ", budget " + std::to_string(budget));
          EXPECT_EQ(Outcome(lines, true, budget), Outcome(lines, false, budget));
        }
      }
      EXPECT_NE(Outcome(Rewriting(address, apart, 100, jumps), false, 1000000),
                Outcome(Rewriting(address, apart, 100000, jumps), false, 1000000))
          << "the rewrite changes the count";
    }
  }
}

// Every op a unit runs stands behind one on other words, so one that took its words from the op
// in front would count the wrong word: increments, a decrement, a move, a set, plain and
// moved-into binaries, the store of the result word and the exit test. Budgets stop it mid-turn.
TEST(TgsLoopPaths, EachOpOfAUnitRunsOnItsOwnWords) {
  auto run = [](bool decoding, int budget) {
    TgsWorld w;
    const uint32_t v = w.Host().VariableValueAddress(0);
    auto word = [v](uint32_t k) { return std::to_string(v + 4 * k); };
    const std::string lines = "\"x\"\ntop:\n" + kInc + "  stmt{inc " + word(1) + " | dec " +
                              word(2) + " | ret}\n  stmt{mov " + word(2) +
                              ", q.1 | set 5, p.1 | p: add 0, 2, q.2 | q: sub 0, 0, " + word(3) +
                              " | ret}\n" + Back(40) + "  \"y\"\n  .end\n";
    w.Frame().SetStepDecoding(decoding);
    EXPECT_EQ(w.StartScenario(lines), 0);
    w.Frame().SetStepBudget(budget);
    std::string out = std::to_string(TgsRunStep(w.Frame()));
    for (uint32_t k = 0; k < 4; ++k)
      out += " " + std::to_string(static_cast<int32_t>(w.Variable(k)));
    return out;
  };
  for (int budget : {9, 22, 1000}) EXPECT_EQ(run(true, budget), run(false, budget)) << budget;
  EXPECT_EQ(run(true, 1000), "0 40 40 -40 -47");
}

}  // namespace
}  // namespace bw
