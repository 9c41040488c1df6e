// Label: optimised
#include "script/script_vm.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "lib/tob/tob_assembler.h"
#include "script_test_util.h"

namespace bw {
namespace {

std::vector<uint8_t> Bytes(const BitSet& set) {
  return std::vector<uint8_t>(set.Bytes(), set.Bytes() + set.ByteCount());
}

// Variables: 0 class 0 kind 0; 1 class 1 kind 0; 2 class 1 kind 1 (text through a cell);
// 3 class 2 kind 0; 4 class 2 kind 2 (never saved).
const char kVariables[] =
    ".sob1\n"
    "v0: .word 1\n"
    "v1: .word 2\n"
    "v2: .string \"AB\"\n"
    " .byte 0\n"
    "v3: .word 4\n"
    "v4: .word 5\n"
    ".var 0 0 v0 4\n"
    ".var 0 1 v1 4\n"
    ".var 1 1 v2 4\n"
    ".var 0 2 v3 4\n"
    ".var 2 2 v4 4\n";

struct Vm {
  MemoryScriptFileSource files;
  std::unique_ptr<ScriptVm> vm;

  explicit Vm(bool snapshots = true,
              const std::string& table = ".table\n.script MAIN 20 9\n.script MAIN 3 3\n") {
    files.Put("T", Sob(table));
    files.Put("V", Sob(kVariables));
    vm = std::make_unique<ScriptVm>(&files, kArena);
    EXPECT_EQ(vm->LoadInitFiles("T", "V", "L", snapshots, snapshots), 0);
  }
  uint32_t Get(uint32_t index) {
    return GuestWord(vm->GetMemory(), vm->VariableValueAddress(index));
  }
  void SetAll(uint32_t value) {
    for (uint32_t i = 0; i < 5; ++i) vm->GetMemory().Write32(vm->VariableValueAddress(i), value);
  }
};

TEST(VariableStream, AWrongKindOrAShortStreamStopsWhereItIs) {
  Vm v;
  std::vector<uint8_t> stream;
  ASSERT_EQ(v.vm->WriteVariableSet(&stream, 0, false), 0);  // set, kind 0, v1, kind 1, v2
  stream[6] = 0;                                            // kind byte of variable 2
  v.SetAll(0);
  ByteReader bad(stream.data(), stream.size());
  EXPECT_EQ(v.vm->ReadVariableSet(bad), 1);
  EXPECT_EQ(v.Get(1), 2u) << "what came before stays read";
  EXPECT_EQ(v.Get(2), 0u);
  ByteReader shortStream(stream.data(), 8);
  EXPECT_EQ(v.vm->ReadVariableSet(shortStream), 1);

  MemoryScriptFileSource files;
  ScriptVm empty(&files, kArena);
  EXPECT_EQ(empty.GetVariableSetSize(0, false), 1u);
  EXPECT_EQ(empty.GetVariableSetSize(0, true), 0u) << "no snapshot B";
  EXPECT_EQ(empty.WriteVariableSet(&stream, 0, true), 2);
}

// Bit i set: variable i is selected (see kVariables for each one's class and kind).
struct FilterCase {
  int classFilter, kindFilter;
  unsigned selected;
};
constexpr FilterCase kFilterCases[] = {
    {0, 0, 0b11111}, {1, 0, 0b00001}, {2, 0, 0b00110}, {3, 0, 0b11000},
    {4, 0, 0b11111}, {0, 1, 0b01011}, {0, 2, 0b00100}, {0, 3, 0b10000},
    {0, 4, 0b00000}, {2, 1, 0b00010}, {3, 3, 0b10000}, {1, 2, 0b00000},
};

// Each operation starts from live = 7 and the snapshots as loaded; afterwards the selected
// variables read `selected` and the others `other` (seen in live or, for a save, in B).
constexpr uint32_t kLoaded = ~0u;  // the variable's value as the file gave it
constexpr uint32_t kScratch = 9;
struct FilterOperation {
  const char* name;
  void (*run)(Vm&, int, int);
  uint32_t selected, other;
};
const FilterOperation kFilterOperations[] = {
    {"clear", [](Vm& v, int c, int k) { EXPECT_EQ(v.vm->ClearVariables(c, k), 0); }, 0, 7},
    {"restore A", [](Vm& v, int c, int k) { EXPECT_EQ(v.vm->RestoreFromSnapshotA(c, k), 0); },
     kLoaded, 7},
    {"save B",
     [](Vm& v, int c, int k) {
       ASSERT_EQ(v.vm->SaveToSnapshotB(c, k), 0);
       v.SetAll(kScratch);
       ASSERT_EQ(v.vm->RestoreFromSnapshotB(0, 0), 0);
     },
     7, kLoaded},
    {"restore B",
     [](Vm& v, int c, int k) {
       ASSERT_EQ(v.vm->SaveToSnapshotB(0, 0), 0);
       v.SetAll(kScratch);
       ASSERT_EQ(v.vm->RestoreFromSnapshotB(c, k), 0);
     },
     7, kScratch},
};
constexpr uint32_t kLoadedValues[] = {1, 2, 'A' | 'B' << 8, 4, 5};

TEST(VariableFilters, EachOperationTouchesOnlyTheSelectedClassesAndKinds) {
  for (const FilterOperation& op : kFilterOperations) {
    for (const FilterCase& c : kFilterCases) {
      Vm v;
      v.SetAll(7);
      op.run(v, c.classFilter, c.kindFilter);
      for (uint32_t i = 0; i < 5; ++i) {
        uint32_t want = (c.selected >> i & 1) ? op.selected : op.other;
        if (want == kLoaded) want = kLoadedValues[i];
        EXPECT_EQ(v.Get(i), want) << op.name << " class " << c.classFilter << " kind "
                                  << c.kindFilter << " variable " << i;
      }
    }
  }
}

// One variable by its storage address: found, marked and saved alone; refused without B.
TEST(VariableByAddress, FindsMarksAndSavesOnlyThatVariable) {
  for (uint32_t i = 0; i < 5; ++i) {
    Vm v;
    const uint32_t storage = v.vm->Variables()[i].storage;
    EXPECT_EQ(v.vm->FindVariableIndex(storage), static_cast<int>(i));
    EXPECT_EQ(v.vm->AddMarkedVariable(storage), 0);
    EXPECT_EQ(v.vm->MarkedVariables(), std::vector<uint32_t>{i});
    v.SetAll(7);
    EXPECT_EQ(v.vm->SaveVariableToSnapshotB(storage), 0);
    v.SetAll(kScratch);
    ASSERT_EQ(v.vm->RestoreFromSnapshotB(0, 0), 0);
    for (uint32_t k = 0; k < 5; ++k) {
      EXPECT_EQ(v.Get(k), k == i ? 7 : kLoadedValues[k]) << "saved " << i << ", read " << k;
    }
  }
  Vm v;
  const uint32_t nowhere = v.vm->Variables()[4].storage + 4;
  EXPECT_EQ(v.vm->FindVariableIndex(nowhere), kNoVariableIndex);
  EXPECT_EQ(v.vm->AddMarkedVariable(nowhere), kVariableNotFound);
  EXPECT_EQ(v.vm->SaveVariableToSnapshotB(nowhere), kVariableNotFound);
  EXPECT_TRUE(v.vm->MarkedVariables().empty());
  Vm bare(false);
  const uint32_t storage = bare.vm->Variables()[0].storage;
  EXPECT_EQ(bare.vm->FindVariableIndex(storage), 0);
  EXPECT_EQ(bare.vm->AddMarkedVariable(storage), kSnapshotMissing);
  EXPECT_EQ(bare.vm->SaveVariableToSnapshotB(storage), kSnapshotMissing);
  EXPECT_EQ(bare.vm->SaveToSnapshotB(0, 0), kSnapshotMissing);
  EXPECT_EQ(bare.vm->RestoreFromSnapshotA(0, 0), kSnapshotMissing);
  EXPECT_EQ(bare.vm->RestoreFromSnapshotB(0, 0), kSnapshotMissing);
}

// A script table file of the given ".record" lines: the scenario log's layout under the table's
// magic.
std::vector<uint8_t> TlogFile(const std::string& records) {
  tob::AssembleResult r = tob::Assemble(".log\n" + records);
  EXPECT_TRUE(r.ok) << r.error;
  std::copy_n("TLOG", 4, r.bytes.begin());
  return r.bytes;
}

TEST(ScriptTableState, SetsAreCopiedOnlyWhenBothCountsMatchAndRefusalsLeaveTheFlagsAlone) {
  Vm v;
  // Table: MAIN (20, 9) then MAIN (3, 3). Stored: the first MAIN with a wrong A bit count, the
  // second MAIN with a matching bit count but a wrong byte count for B.
  v.files.Put("S", TlogFile(".record MAIN 21 9 FFFFFF 0101\n.record MAIN 3 3 05 0700\n"
                            ".record GONE 1 1 01 01\n"));
  ASSERT_EQ(v.vm->LoadScriptTable("S"), 0);
  const auto& table = v.vm->ScriptTable();
  EXPECT_EQ(Bytes(table[0].readA), (std::vector<uint8_t>{0, 0, 0})) << "A count differs";
  EXPECT_EQ(Bytes(table[0].readB), (std::vector<uint8_t>{1, 1})) << "B still copied";
  EXPECT_EQ(Bytes(table[1].readA), (std::vector<uint8_t>{5}))
      << "second stored record, second table record";
  EXPECT_EQ(Bytes(table[1].readB), (std::vector<uint8_t>{0})) << "byte count differs";

  std::vector<uint8_t> good = TlogFile(".record MAIN 20 9 010101 0101\n");
  std::vector<uint8_t> badMagic = good;
  badMagic[0] = 'X';
  std::vector<uint8_t> packed = good;
  packed[8] = 200;  // claims packed data that does not unpack to that size
  EXPECT_EQ(v.vm->LoadScriptTable("MISSING"), 1);
  v.files.Put("S", badMagic);
  EXPECT_EQ(v.vm->LoadScriptTable("S"), 2);
  v.files.Put("S", packed);
  EXPECT_EQ(v.vm->LoadScriptTable("S"), 2);
  v.files.Put("S", std::vector<uint8_t>(good.begin(), good.end() - 1));
  EXPECT_EQ(v.vm->LoadScriptTable("S"), 2);
  EXPECT_EQ(Bytes(v.vm->ScriptTable()[0].readA), (std::vector<uint8_t>{0, 0, 0}));
}

TEST(ScriptTableState, LargeFlagSetsArePackedAndLoadBack) {
  const std::string table = ".table\n.script MAIN 30000 30000\n";
  Vm v(true, table);
  v.vm->SetFolderPrefix("SAVE\\");
  ASSERT_TRUE(v.vm->SetScriptTableFileName("TLOG.DAT"));
  (void)v.vm->SetReadFlagA(29999, true);  // the flags the table holds: both set
  (void)v.vm->SetReadFlagB(7, true);
  ASSERT_EQ(v.vm->SaveScriptTable(nullptr), 0) << "the name set before, in the save folder";
  ASSERT_NE(v.files.Find("SAVE\\TLOG.DAT"), nullptr);
  const std::vector<uint8_t>& file = *v.files.Find("SAVE\\TLOG.DAT");
  EXPECT_LT(file.size(), 1000u) << "mostly zero flags pack";

  Vm fresh(true, table);
  fresh.files.Put("S", file);
  ASSERT_EQ(fresh.vm->LoadScriptTable("S"), 0);
  EXPECT_TRUE(fresh.vm->TestReadFlagA(29999, true));
  EXPECT_EQ(fresh.vm->ScriptTable()[0].readA.Count(), 1u);
}

// A script's read flags stop at its counts, also where the last byte has room for more.
TEST(ScriptTableState, ReadFlagsPastTheCountsAreRefused) {
  Vm v(true, ".table\n.script MAIN 20 9\n");
  const struct {
    bool b;
    uint32_t bit;
    int result;
  } cases[] = {{false, 19, kBitSetDone},
               {false, 20, int(kBitSetOutOfRange)},
               {false, 23, int(kBitSetOutOfRange)},
               {true, 8, kBitSetDone},
               {true, 9, int(kBitSetOutOfRange)}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.b ? v.vm->SetReadFlagB(c.bit, true) : v.vm->SetReadFlagA(c.bit, true), c.result)
        << (c.b ? "B " : "A ") << c.bit;
  }
  const auto& record = v.vm->ScriptTable()[0];
  EXPECT_EQ(Bytes(record.readA), (std::vector<uint8_t>{0, 0, 0x08}));
  EXPECT_EQ(Bytes(record.readB), (std::vector<uint8_t>{0, 0x01}));
}

}  // namespace
}  // namespace bw
