// Label: optimised
#include <gtest/gtest.h>

#include "lib/sob/sob_assembler.h"
#include "script/script_vm.h"
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

}  // namespace
}  // namespace bw
