// Label: optimised
#include "script/script_vm.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "lib/sob/sob_assembler.h"
#include "lib/tob/tob_assembler.h"
#include "script_test_util.h"

namespace bw {
namespace {

const char kTableFile[] = "SCRIPT\\SOB_INIT.DAT";
const char kVariableFile[] = "SCRIPT\\USER_VAR.SOB";
const char kLibraryFile[] = "SCRIPT\\FUNC_LIB.SOB";

const char kTable[] = ".table\n.script MAIN 16 8\n.script SUB 0 0\n";
const char kVariables[] =
    ".sob1\n"
    "a: .word 11\n"
    "b: .word 22, 23\n"
    "txt: .string \"HI\"\n"
    " .byte 0\n"
    "p: .word a\n"
    ".var 0 1 a 4\n"
    ".var 0 2 b 8\n"
    ".var 1 1 txt 4\n"
    ".var 2 0 p 4\n";
const char kLibrary[] = ".sob2\nentry: set 5, host:0\n ret\ndata: .word 99\n";

uint32_t Word(ScriptVm& vm, uint32_t address) {
  return GuestWord(vm.GetMemory(), address);
}

struct Loader {
  MemoryScriptFileSource files;
  std::unique_ptr<ScriptVm> vm = std::make_unique<ScriptVm>(&files, kArena);

  Loader() {
    files.Put(kTableFile, Sob(kTable));
    files.Put(kVariableFile, Sob(kVariables));
    files.Put(kLibraryFile, Sob(kLibrary));
  }
  int Init() { return vm->LoadInitFiles(kTableFile, kVariableFile, kLibraryFile, true, true); }
};

TEST(ScriptFiles, LinkEveryRelocationKindAndFindScriptsByTheirUpperCaseBaseName) {
  Loader l;
  ASSERT_EQ(l.Init(), 0);
  PutScript(l.files, "MAIN",
            "ret\nrefs: .word var:0, var:2, native:3, host:0, lib:8, refs+4, refs.1\n");
  ASSERT_EQ(l.vm->LoadScript("SCRIPT\\MAIN.SOB"), 0);
  ScriptVm& vm = *l.vm;
  uint32_t refs = vm.GetCodeBase() + 4;
  const auto& vars = vm.Variables();
  ASSERT_EQ(vars.size(), 4u);
  // A kind-1 variable is named by its cell; refs.1 is operand 1 of what starts at refs.
  const uint32_t expected[] = {
      vars[0].storage,          vars[2].storage, NativeToken(3), vm.HostVariableAddress(0),
      vm.LibraryCodeBase() + 8, refs + 4,        refs + 4};
  for (uint32_t i = 0; i < 7; ++i) EXPECT_EQ(Word(vm, refs + 4 * i), expected[i]) << i;
  EXPECT_EQ(Word(vm, vars[0].storage), 11u);
  EXPECT_EQ(Word(vm, Word(vm, vars[2].storage)), 0x4948u) << "the cell points at the text";
  // The variable file's own relocation points p at a, in every copy.
  EXPECT_EQ(Word(vm, vars[3].storage), vars[0].storage);
  EXPECT_EQ(vm.CurrentRecord(), 0);

  // Script names are found by their upper-case base name.
  l.files.Put("SCRIPT\\x\\sub.sob", Sob(".sob0\nret\n"));
  EXPECT_EQ(l.vm->LoadScript("SCRIPT\\x\\sub.sob"), 0);
  EXPECT_EQ(l.vm->CurrentRecord(), 1);
  PutScript(l.files, "OTHER", "ret\n");
  EXPECT_EQ(l.vm->LoadScript("SCRIPT\\OTHER.SOB"), kLoadBadScript) << "not in the table";
  EXPECT_EQ(l.vm->UnloadLastScript(), 0);
  EXPECT_EQ(l.vm->CurrentRecord(), 0) << "MAIN's record becomes current again";
}

TEST(ScriptFiles, DoubleByteNamesKeepTheirTrailBytes) {
  // 0x95 0x5C and 0x83 0x61 are single characters whose second bytes read as '\' and 'a'.
  MemoryScriptFileSource files;
  files.Put("T", Sob(".table\n.script \x95\x5C\x83\x61X 0 0\n"));
  ScriptVm vm(&files, kArena);
  ASSERT_EQ(vm.LoadInitFiles("T", "V", "L", false, false), 0);
  files.Put("SCRIPT\\\x95\x5C\x83\x61x.sob", Sob(".sob0\nret\n"));
  EXPECT_EQ(vm.LoadScript("SCRIPT\\\x95\x5C\x83\x61x.sob"), 0);
}

// A broken init file: the file its source's first line makes it (table, variables or library).
struct InitCase {
  const char* name;
  std::string source;
  sob::FaultSwitches faults;
  int expected;
};

const InitCase kInitCases[] = {
    {"table_oversize_count", kTable, {.oversizeCount = 1}, kInitBadScriptTable},
    {"variables_bad_magic", kVariables, {.badMagic = true}, kInitBadVariableMagic},
    {"variables_bad_terminator", kVariables, {.badTerminator = true}, kInitBadVariableFile},
    {"variables_oversize_data", kVariables, {.oversizeSize = 0x7FFFFFFF}, kInitBadVariableFile},
    {"variable_past_its_block", ".sob1\na: .word 0\n.var 0 1 a 8\n", {}, kInitBadVariableFile},
    {"variable_of_unknown_kind", ".sob1\na: .word 0\n.var 3 1 a 4\n", {}, kInitBadVariableFile},
    {"library_bad_magic", kLibrary, {.badMagic = true}, kInitBadLibraryMagic},
    {"library_naming_a_library", ".sob2\n.word lib:0\n", {}, kInitBadLibrary},
};

class InitRefusals : public testing::TestWithParam<InitCase> {};

TEST_P(InitRefusals, AnswerTheirCode) {
  Loader l;
  const std::string& source = GetParam().source;
  const char* file = source.starts_with(".table")  ? kTableFile
                     : source.starts_with(".sob1") ? kVariableFile
                                                   : kLibraryFile;
  l.files.Put(file, Sob(source, GetParam().faults));
  EXPECT_EQ(l.Init(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(All, InitRefusals, testing::ValuesIn(kInitCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

struct LoadCase {
  const char* name;
  const char* body;
  sob::FaultSwitches faults;
  int expected;
};

// Cut files are the fuzz corpus's.
const LoadCase kLoadCases[] = {
    {"bad_magic", "ret\n", {.badMagic = true}, kLoadBadScript},
    {"bad_terminator", "ret\n", {.badTerminator = true}, kLoadBadCode},
    {"oversize_area", "ret\n", {.oversizeSize = 0xFFFFFF00}, kLoadBadCode},
    {"relocation_straddles_end",
     "ret\n .word host:0\n",
     {.misplacedRelocation = true},
     kLoadBadCode},
    {"variable_out_of_table", "ret\n .word var:4\n", {}, kLoadBadCode},
    {"native_809", "ret\n .word native:809\n", {}, kLoadBadCode},
    {"library_offset_past_library", "ret\n .word lib:100\n", {}, kLoadBadCode},
    {"own_offset_past_code", "x: ret\n .word x+100\n", {}, kLoadBadCode},
    {"native_808_links", "ret\n .word native:808\n", {}, 0},
    {"own_offset_at_end_links", "x: ret\n .word x+8\n", {}, 0},
};

class LoadRefusals : public testing::TestWithParam<LoadCase> {};

// SUB has a record of its own: a refused block must leave the library's current.
TEST_P(LoadRefusals, AnswerTheirCodeAndKeepTheLoadedListAndRecord) {
  Loader l;
  ASSERT_EQ(l.Init(), 0);
  PutScript(l.files, "SUB", GetParam().body, GetParam().faults);
  size_t before = l.vm->LoadedScripts().size();
  const bool loads = GetParam().expected == 0;
  EXPECT_EQ(l.vm->LoadScript("SCRIPT\\SUB.SOB"), GetParam().expected);
  EXPECT_EQ(l.vm->LoadedScripts().size(), before + (loads ? 1 : 0));
  EXPECT_EQ(l.vm->CurrentRecord(), loads ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(All, LoadRefusals, testing::ValuesIn(kLoadCases),
                         [](const auto& instance) { return std::string(instance.param.name); });

TEST(SobAssembler, WritesTheCodeBlockLayout) {
  auto r = sob::Assemble(
      ".sob0\nstart: push var:2\n jmp start.1\n wait\nd: .word 1, native:5\n .byte 7\n");
  ASSERT_TRUE(r.ok) << r.error;
  const auto& b = r.bytes;
  ASSERT_EQ(std::string(b.begin(), b.begin() + 4), "SOB0");
  // Lists: var {4, 2}; native {24, 5}; host none; lib none; own {12, 4}; then 0.
  const uint32_t expectedArea[] = {1, 4, 2, 1, 24, 5, 0, 0, 1, 12, 4, 0};
  ASSERT_EQ(U32At(b, 4), sizeof expectedArea);
  for (size_t i = 0; i < std::size(expectedArea); ++i) {
    EXPECT_EQ(U32At(b, 8 + 4 * i), expectedArea[i]) << i;
  }
  size_t after = 8 + sizeof expectedArea;
  EXPECT_EQ(U32At(b, after), 20u) << "instruction bytes end behind the wait";
  EXPECT_EQ(U32At(b, after + 4), 29u) << "code size";
  ASSERT_EQ(b.size(), after + 8 + 29);
  EXPECT_EQ(U32At(b, after + 8), 8u) << "push";
  EXPECT_EQ(U32At(b, after + 8 + 20), 1u) << "first data word";
  EXPECT_EQ(b.back(), 7);
}

TEST(SobAssembler, RefusesBadSourceWithItsLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"add 1, 2\n", "no file directive"},
      {".sob0\n add 1, 2\n", "line 2"},
      {".sob0\n jmp nowhere\n", "unknown label"},
      {".sob0\n .string \"\xF0\x9F\x98\x80\"\n", "CP932"},  // no CP932 form
      {".raw\nx: .word x\n", "no addresses"},
  };
  for (auto [source, message] : cases) {
    auto r = sob::Assemble(source);
    EXPECT_FALSE(r.ok) << source;
    EXPECT_NE(r.error.find(message), std::string::npos) << source << " gave: " << r.error;
  }
}

TEST(SobDisassembler, ShowsWhatAssemblesBackToTheSameFile) {
  const char* sources[] = {
      ".sob0\n  push 3\n  call f\n  native native:0, args, var:0\n  wait\n  ret\nf: sinc 8\n  retv "
      "5\n"
      "args: .word 20, lib:4\n .string \"MAIN\"\n",
      ".sob2\nx: set 1, x.2\n switch var:0, x, y\ny: op 99\n ret\n .word y.1, x+3, x+1000\n .byte "
      "1, 2\n",
      ".sob0\n .word 0\n",
  };
  for (const char* source : sources) {
    auto first = sob::Assemble(source);
    ASSERT_TRUE(first.ok) << first.error;
    std::string text = sob::Disassemble(first.bytes);
    ASSERT_EQ(text.rfind("error:", 0), std::string::npos) << text;
    auto second = sob::Assemble(text);
    ASSERT_TRUE(second.ok) << second.error << "\n" << text;
    EXPECT_EQ(second.bytes, first.bytes) << text;
  }
  EXPECT_EQ(sob::Disassemble(std::vector<uint8_t>{'S', 'O', 'B', '1'}).rfind("error:", 0), 0u);
  sob::FaultSwitches cut;
  cut.truncateTo = 20;
  EXPECT_EQ(sob::Disassemble(sob::Assemble(".sob0\nret\n", cut).bytes).rfind("error:", 0), 0u);
}

std::vector<uint8_t> Bytes(const BitSet& set) {
  return std::vector<uint8_t>(set.Bytes(), set.Bytes() + set.ByteCount());
}

// Variables: 0 class 0 kind 0; 1 class 1 kind 0; 2 class 1 kind 1 (text through a cell);
// 3 class 2 kind 0; 4 class 2 kind 2 (never saved).
const char kClassVariables[] =
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
    files.Put("V", Sob(kClassVariables));
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

// Bit i set: variable i is selected (see kClassVariables for each one's class and kind).
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
