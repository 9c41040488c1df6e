// Label: optimised
#include "scenario/tgs/tgs_frame_base.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "scenario/tgs/tgs_test_world.h"

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

}  // namespace
}  // namespace bw
