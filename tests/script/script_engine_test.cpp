// Label: optimised
#include "script/script_engine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "common/global.h"
#include "host/cp932.h"
#include "lib/sob/voice_info_writer.h"
#include "script/script_host.h"
#include "script_test_util.h"

namespace bw {
namespace {

// 0 title: kind 1 text, 32 bytes; 1 head: kind 0, 8 bytes; 2 s1, 3 s2: class 1; 4 sys, 5 big:
// class 2; 6 never: class 2 kind 2; 7 shortText: kind 1, 4 bytes.
const char kVariables[] =
    ".sob1\n"
    "title: .string \"SAVE TITLE\"\n .space 21\n"
    "head: .word 0, 0\n"
    "s1: .word 1\n"
    "s2: .word 2, 3\n"
    "sys: .word 9\n"
    "big: .space 4000\n"
    "never: .word 5\n"
    "shortText: .string \"AB\"\n .space 1\n"
    ".var 1 0 title 32\n"
    ".var 0 0 head 8\n"
    ".var 0 1 s1 4\n"
    ".var 0 1 s2 8\n"
    ".var 0 2 sys 4\n"
    ".var 0 2 big 4000\n"
    ".var 2 2 never 4\n"
    ".var 1 0 shortText 4\n";

enum Var { kTitle, kHead, kS1, kS2, kSys, kBig, kNever, kShortText };

std::vector<uint8_t> TwoVoices() {
  return sob::WriteVoiceInfo("V_", 4,
                             {{"HANA", "", false, {"H"}}, {"YUKI", "SECOND", false, {"Y", "YU"}}});
}

// Scripts, variables and voices held in memory and an engine over them, started by Start().
struct Engine {
  MemoryScriptFileSource files;
  std::unique_ptr<ScriptEngine> engine;

  explicit Engine(const std::string& variables = kVariables) {
    files.Put("SCRIPT\\USER_VAR.SOB", Sob(variables));
    files.Put("SCRIPT\\VOICEINF.DAT", TwoVoices());
    files.Put("SCRIPT\\FUNC_LIB.SOB", Sob(".sob2\n ret\n"));
    PutScript(files, "MAIN", " ret\n");
    engine = std::make_unique<ScriptEngine>(&files, kArena);
  }
  void Script(const std::string& name, const std::string& body) { PutScript(files, name, body); }
  int Start() { return engine->Start(); }
  // The address scripts use for variable i: its cell for kind 1, its value otherwise.
  uint32_t Storage(Var v) { return engine->Variables()[v].storage; }
  uint32_t Value(Var v) { return engine->VariableValueAddress(v); }
  uint32_t Word(Var v, uint32_t k = 0) { return GuestWord(engine->GetMemory(), Value(v) + 4 * k); }
  void SetWord(Var v, uint32_t w, uint32_t k = 0) {
    ASSERT_TRUE(engine->GetMemory().Write32(Value(v) + 4 * k, w));
  }
  std::string Text(Var v) {
    std::string s;
    EXPECT_TRUE(engine->GetMemory().ReadCString(Value(v), s, 64));
    return s;
  }
  void SetText(Var v, const char* s) {
    ASSERT_TRUE(engine->GetMemory().Write(Value(v), s, static_cast<uint32_t>(std::strlen(s) + 1)));
  }
  std::vector<uint32_t> Words() {
    return {Word(kHead),  Word(kHead, 1), Word(kS1),      Word(kS2),
            Word(kS2, 1), Word(kSys),     Word(kBig, 999)};
  }
  const std::vector<uint8_t>& File(const std::string& name) {
    const std::vector<uint8_t>* f = files.Find(name);
    EXPECT_NE(f, nullptr) << name;
    static const std::vector<uint8_t> none;
    return f ? *f : none;
  }
};

// The engine, started.
struct StateEngine : Engine {
  explicit StateEngine(const std::string& variables = kVariables) : Engine(variables) {
    EXPECT_EQ(Start(), 0);
  }
};

// Scripts that ask for another script by name.
std::string Call(const std::string& name) {
  return " native native:0, n_" + name + ", tmp\n wait\n";
}
std::string Jump(const std::string& name) {
  return " native native:1, n_" + name + ", tmp\n";
}
std::string Names(std::initializer_list<std::string> names) {
  std::string s = "tmp: .word 0\n";
  for (const auto& n : names)
    s += "n_" + n + ": .word s_" + n + "\ns_" + n + ": .string \"" + n + "\"\n";
  return s;
}

constexpr uint32_t kAnyWord = ~0u;

TEST(ScriptEngineStep, MisplacedAndFailedRequestsAndFaults) {
  struct Case {
    const char* what;
    std::string main;
    int step;
    uint32_t word;
  };
  const Case cases[] = {
      {"a Call must be followed by a wait", " native native:0, n_SUB, tmp\n ret\n" + Names({"SUB"}),
       kStepIllegal, kRequestCall},
      {"a Jump must be followed by the end", Jump("SUB") + " wait\n ret\n" + Names({"SUB"}),
       kStepIllegal, kRequestJump},
      {"a Jump to no script", Jump("NONE") + " ret\n" + Names({"NONE"}), kStepJumpFailed,
       kRequestJump},
      {"a Call to no script", Call("NONE") + " ret\n" + Names({"NONE"}), kStepCallFailed,
       kRequestNone},
      // Faults end the step as illegal.
      {"a write past the arena", " set 1, 0x3FFFFFF0\n ret\n", kStepIllegal, kAnyWord},
      {"a request naming text at null", " native native:0, 0, host:0\n wait\n ret\n", kStepIllegal,
       kAnyWord},
  };
  for (const Case& c : cases) {
    Engine e;
    e.Script("MAIN", c.main);
    e.Script("SUB", " ret\n");
    ASSERT_EQ(e.Start(), 0) << c.what;
    uint32_t sp = e.engine->Interpreter().StackPointer();
    EXPECT_EQ(e.engine->Step(), c.step) << c.what;
    EXPECT_EQ(e.engine->Request().word, c.word == kAnyWord ? e.engine->Request().word : c.word)
        << c.what;
    if (c.step == kStepCallFailed) {
      EXPECT_EQ(e.engine->Interpreter().StackPointer(), sp) << "the saved pointer was taken back";
    }
  }
}

TEST(ScriptEngineNames, AreBoundedByTheirBuffers) {
  Engine e;
  std::string longest(kMaxScriptName, 'A');
  e.Script(longest, " ret\n");
  e.Script(longest + "B", " ret\n");
  EXPECT_EQ(e.engine->LoadScript(longest), 0);
  EXPECT_EQ(e.engine->LoadScript(longest + "B"), kLoadNotFound);

  // The request buffer holds 259 bytes; a longer name fails the request instead of loading
  // whatever its first 259 bytes name.
  for (size_t length : {kMaxRequestName, kMaxRequestName + 1}) {
    std::string name(length, 'C');
    Engine f;
    f.Script("MAIN", Jump(name) + " ret\n" + Names({name}));
    ASSERT_EQ(f.Start(), 0);
    EXPECT_EQ(f.engine->Step(), kStepJumpFailed);
    EXPECT_EQ(std::tuple(f.engine->Request().nameTooLong, f.engine->Request().name.size()),
              std::tuple(length > kMaxRequestName, length > kMaxRequestName ? 0 : length))
        << length;
  }
}

// A missing MAIN is the game run's to check.
TEST(ScriptEngineStart, PublishesItsTablesWhileItLives) {
  Engine e;
  e.Script("MAIN", " ret\n .word host:2, lib:0\n");
  ASSERT_EQ(e.Start(), 0);
  ASSERT_EQ(Global<ScriptVmTables>::Get(), &e.engine->Tables());
  EXPECT_EQ(e.engine->Tables().libraryBase, e.engine->LibraryCodeBase());
  e.engine.reset();
  EXPECT_EQ(Global<ScriptVmTables>::Get(), nullptr) << "a dead VM's tables stay published";
}

TEST(ScriptEngineInterrupt, RestartsMainWithOnlyTheLibraryKept) {
  Engine e;
  e.Script("MAIN", " add host:0, 1, host:0\n" + Call("SUB") + " ret\n" + Names({"SUB"}));
  e.Script("SUB", " wait\n ret\n");
  ASSERT_EQ(e.Start(), 0);
  ASSERT_EQ(e.engine->Step(), kStepWaiting);
  ASSERT_EQ(e.engine->Request().callDepth, 1u);
  ASSERT_EQ(e.engine->Interrupt(7), 0);
  EXPECT_EQ(GuestWord(e.engine->GetMemory(), e.engine->BootFlagAddress()), 7u);
  EXPECT_EQ(e.engine->LoadedScripts().size(), 2u) << "library and the new MAIN";
  EXPECT_EQ(e.engine->Interpreter().StackPointer(), e.engine->Interpreter().StackBottom() + 4)
      << "only the end marker";
}

class FakeApp : public ScriptApplication {
 public:
  MemoryScriptFileSource files;
  std::vector<std::string> messages;     // as UTF-8
  std::map<uint32_t, uint32_t> options;  // what native 4 stored, by index

  FakeApp() { PutScript(files, "MAIN", " ret\n"); }
  ScriptFileSource* ScriptFiles() override { return &files; }
  std::string SaveFolder() override { return "SAVE\\"; }
  bool TranslationOption() override { return false; }
  uint32_t Clock() override { return 1000; }
  void ShowMessage(const std::string& text) override {
    host::Cp932Conversion utf8 = host::Cp932ToUtf8(text);
    EXPECT_TRUE(utf8.ok) << "messages are CP932";
    messages.push_back(utf8.text);
  }
  void SetAppOption(uint32_t index, uint32_t value) override { options[index] = value; }
  // Counts how often the host had the message text keep its pending choices.
  struct CountingText : ScriptHostMessageText {
    explicit CountingText(int& n) : stores(n) {}
    void StorePendingChoices() override { ++stores; }
    int& stores;
  };
  int choiceStores = 0;
  std::unique_ptr<ScriptHostMessageText> CreateMessageText(ScriptHost&) override {
    return std::make_unique<CountingText>(choiceStores);
  }
  uint32_t GetAppOption(uint32_t) override { return 0; }
};

// A missing MAIN is the game run's to check.
TEST(StartScriptHost, EachFailureShowsItsMessage) {
  struct Case {
    const char* name;
    void (*spoil)(MemoryScriptFileSource&);
    int result;
    const char* message;
  } cases[] = {
      {"bad variable file",
       [](auto& f) {
         f.Put("SCRIPT\\USER_VAR.SOB", {'S', 'O', 'B', 'X'});
       },
       2, "スクリプト初期化ファイルのロードに失敗"},
      {"MAIN of another kind", [](auto& f) { f.Put("SCRIPT\\MAIN.SOB", Sob(".sob2\n ret\n")); }, 4,
       "メインスクリプトが不正です"},
      {"MAIN that does not link",
       [](auto& f) { PutScript(f, "MAIN", " ret\n", {.badTerminator = true}); }, 5,
       "デバッグモード用のスクリプトです"},
  };
  for (const Case& c : cases) {
    FakeApp app;
    c.spoil(app.files);
    std::unique_ptr<ScriptHost> host;
    EXPECT_EQ(StartScriptHost(app, host), c.result) << c.name;
    EXPECT_EQ(app.messages, std::vector<std::string>{c.message}) << c.name;
  }
}

// The table has a place for every native from 0 to 808. One that is not built answers -1 and is
// named on standard error once, however often it is called; a number past the table is refused
// when the script is read.
TEST(NativeTable, EveryNumberHasItsPlaceAndTheUnbuiltAnswerMinusOne) {
  FakeApp app;
  PutScript(app.files, "MAIN",
            " native native:808, 0, host:0\n native native:808, 0, host:0\n native native:84, "
            "range, host:2\n"
            " wait\n ret\nrange: .word 1\n");
  std::unique_ptr<ScriptHost> host;
  ASSERT_EQ(StartScriptHost(app, host), 0);
  EXPECT_FALSE(host->IsNativeBuilt(808));
  EXPECT_FALSE(host->IsNativeBuilt(kNativeCount));
  testing::internal::CaptureStderr();
  (void)host->Step();  // what the step answers matters not: the message does
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "native 808 not built\n");
  EXPECT_EQ(static_cast<int32_t>(GuestWord(host->GetMemory(), host->HostVariableAddress(0))),
            kNativeNotBuilt);
  EXPECT_EQ(GuestWord(host->GetMemory(), host->HostVariableAddress(2)), 0u)
      << "the script went on past it";
}

TEST(AppOptionNatives, AnArgumentOutsideTheArenaFaultsTheStep) {
  for (const char* call :
       {" native native:5, 0, host:0\n", " native native:4, 0xFFFFFFFC, host:0\n"}) {
    FakeApp app;
    PutScript(app.files, "MAIN", std::string(call) + " ret\n");
    std::unique_ptr<ScriptHost> host;
    ASSERT_EQ(StartScriptHost(app, host), 0);
    EXPECT_EQ(host->Step(), kStepIllegal) << call;
    EXPECT_TRUE(app.options.empty()) << call;
  }
}

// A Jump and a Call's return unload the script, the interrupt all of them: each time the
// pending choices go into the message history first.
TEST(ScriptHostInterrupt, PassesTheBootValueByTheRequestByteAndKeepsPendingChoicesFirst) {
  FakeApp app;
  PutScript(app.files, "MAIN", " wait\n ret\n");
  std::unique_ptr<ScriptHost> host;
  ASSERT_EQ(StartScriptHost(app, host), 0);
  ASSERT_NE(host->MessageText(), nullptr);
  host->SetBootValue(5);
  for (auto [byte, expected] : {std::pair{uint8_t{1}, -5}, std::pair{uint8_t{2}, 5}}) {
    ASSERT_EQ(host->Step(), kStepWaiting);
    const int stores = app.choiceStores;
    ASSERT_EQ(host->ServeInterrupt(byte), 0);
    EXPECT_GT(app.choiceStores, stores) << int(byte);
    const uint32_t flag = GuestWord(host->GetMemory(), host->BootFlagAddress());
    EXPECT_EQ(static_cast<int32_t>(flag), expected) << int(byte);
  }
  const int stores = app.choiceStores;
  host->UnloadLastScript();
  EXPECT_EQ(app.choiceStores, stores + 1);
}

// --- voice table ---

TEST(VoiceInfo, MalformedFilesLeaveEmptyTables) {
  std::vector<uint8_t> good = TwoVoices();
  VoiceTable t;
  for (size_t cut = 0; cut < good.size(); ++cut) {
    ASSERT_EQ(t.Parse(TwoVoices()), kVoiceInfoDone);
    EXPECT_EQ(t.Parse(std::span(good).first(cut)), kVoiceInfoMalformed) << "cut to " << cut;
    EXPECT_TRUE(t.characters.empty() && t.aliases.empty() && t.prefix.empty()) << "cut to " << cut;
  }
  std::vector<uint8_t> huge = good;
  huge[11] = 0xFF;  // the top byte of the character count, behind the prefix and alias count
  EXPECT_EQ(t.Parse(huge), kVoiceInfoMalformed);
}

// --- system state ---

TEST(SystemState, RoundTripsVoiceSettingsOfItsTableAndTheSystemVariablesAndRefusalsApplyNothing) {
  StateEngine e;
  EXPECT_EQ(e.engine->WriteSystemState(nullptr), kStateNoName);
  EXPECT_EQ(e.engine->ReadSystemState("MISSING"), kStateNoName);
  e.engine->SetFolderPrefix("SAVE\\");
  e.engine->SetSystemStateFileName("SYSTEM.DAT");
  e.engine->GetVoices().characters[1].setting = 77;
  e.engine->GetVoices().characters[1].enabled = 0;
  e.SetWord(kSys, 1234);
  e.SetWord(kBig, 55, 999);
  e.SetWord(kS1, 8);
  ASSERT_EQ(e.engine->WriteSystemState(nullptr), 0);
  const std::vector<uint8_t>& file = e.File("SAVE\\SYSTEM.DAT");
  EXPECT_NE(U32At(file, 4), 0u) << "a mostly empty state packs";

  e.engine->GetVoices().characters[1] = VoiceCharacter{};
  e.SetWord(kBig, 0, 999);
  e.SetWord(kS1, 0);
  ASSERT_EQ(e.engine->ReadSystemState(nullptr), 0);
  const VoiceCharacter& voice = e.engine->GetVoices().characters[1];
  EXPECT_EQ(std::tuple(voice.setting, voice.enabled, e.Word(kBig, 999), e.Word(kS1)),
            std::tuple(77u, 0, 55u, 0u))
      << "class 1 is not system state";

  // Voice settings of another table are skipped.
  e.SetWord(kSys, 5);
  ASSERT_EQ(e.engine->WriteSystemState("S"), 0);
  e.files.Put("SCRIPT\\VOICEINF.DAT", sob::WriteVoiceInfo("", 0, {{"ONE", "", false, {}}}));
  ASSERT_EQ(e.engine->LoadVoiceInfo("SCRIPT\\VOICEINF.DAT"), kVoiceInfoDone);
  e.engine->GetVoices().characters[0].setting = 3;
  e.SetWord(kSys, 0);
  ASSERT_EQ(e.engine->ReadSystemState("S"), 0);
  EXPECT_EQ(e.engine->GetVoices().characters[0].setting, 3u);
  EXPECT_EQ(e.Word(kSys), 5u);

  // A cut or badly packed state applies nothing.
  std::vector<uint8_t> good = e.File("SAVE\\S");
  e.SetWord(kSys, 6);
  e.files.Put("SAVE\\S", std::vector<uint8_t>(good.begin(), good.end() - 1));
  EXPECT_EQ(e.engine->ReadSystemState("S"), kStateBadData);
  std::vector<uint8_t> badPacking = good;
  badPacking[4] ^= 0x40;  // another unpacked size
  e.files.Put("SAVE\\S", badPacking);
  EXPECT_EQ(e.engine->ReadSystemState("S"), kStateBadData);
  EXPECT_EQ(e.Word(kSys), 6u);

  e.files.SetFailSaves(true);
  EXPECT_EQ(e.engine->WriteSystemState("S"), kStateCannotCreate);
}

// --- variable files ---

TEST(VariableFiles, RoundTripTheSetAndBothHeaderValuesWhichMustFitTheirVariables) {
  StateEngine e;
  e.engine->SetFolderPrefix("SAVE\\");
  e.SetWord(kHead, 7);
  e.SetWord(kHead, 8, 1);
  e.SetText(kTitle, "HELLO");
  e.SetWord(kS1, 100);
  e.SetWord(kS2, 200);
  e.SetWord(kS2, 300, 1);
  e.SetWord(kSys, 9);
  ASSERT_EQ(e.engine->WriteVariableFile("V.DAT", 0, e.Storage(kHead), e.Storage(kTitle), false), 0);
  EXPECT_EQ(U32At(e.File("SAVE\\V.DAT"), 20), 6u) << "text size with its terminator";

  for (Var v : {kHead, kS1, kS2, kSys}) {
    e.SetWord(v, 0);
    if (v != kS1 && v != kSys) e.SetWord(v, 0, 1);
  }
  e.SetText(kTitle, "");
  ASSERT_EQ(e.engine->ReadVariableFileHeader("V.DAT", e.Storage(kHead), e.Storage(kTitle)), 0);
  EXPECT_EQ(std::pair(e.Word(kHead, 1), e.Text(kTitle)), std::pair(8u, std::string("HELLO")));
  EXPECT_EQ(e.Word(kS1), 0u) << "the header read leaves the set alone";
  ASSERT_EQ(e.engine->ReadVariableFile("V.DAT"), 0);
  EXPECT_EQ(e.Words(), (std::vector<uint32_t>{7, 8, 100, 200, 300, 0, 0}))
      << "only set 0 comes back";

  // Header values must fit their variables.
  ASSERT_EQ(e.engine->WriteVariableFile("BARE", 0, 0, 0, false), 0);
  e.SetWord(kS1, 1);
  e.SetText(kShortText, "AB");
  EXPECT_EQ(e.engine->ReadVariableFileHeader("V.DAT", e.Storage(kS1), 0), kVariableFileTooLarge)
      << "8 stored bytes into a 4-byte variable";
  EXPECT_EQ(e.engine->ReadVariableFileHeader("V.DAT", 0, e.Storage(kShortText)),
            kVariableFileTooLarge)
      << "a 6-byte text into a 4-byte variable";
  EXPECT_EQ(std::tuple(e.Word(kS1), e.Text(kShortText)), std::tuple(1u, "AB"));
  EXPECT_EQ(e.engine->ReadVariableFileHeader("BARE", 0, e.Storage(kTitle)), kVariableFileBadData)
      << "none stored";
  EXPECT_EQ(e.engine->ReadVariableFileHeader("BARE", 0, 0), 0);
  EXPECT_EQ(e.engine->ReadVariableFileHeader("V.DAT", e.Storage(kTitle), 0),
            kVariableFileLookupFailed)
      << "kind 1";
  e.engine->SetSystemStateFileName("V.DAT");
  EXPECT_EQ(e.engine->ReadVariableFileHeader(nullptr, e.Storage(kHead), 0), 0)
      << "the system-state name";
}

TEST(VariableFiles, ABadChecksumOrKindChangesNothingAndRefusedWritesAnswerTheirCodes) {
  StateEngine e;
  e.SetWord(kS1, 100);
  ASSERT_EQ(e.engine->WriteVariableFile("V", 0, 0, 0, false), 0);
  std::vector<uint8_t> good = e.File("V");
  ASSERT_EQ(U32At(good, 4), 0u) << "a small set is stored plain";
  e.SetWord(kS1, 1);

  std::vector<uint8_t> flipped = good;
  flipped.back() ^= 1;
  e.files.Put("V", flipped);
  EXPECT_EQ(e.engine->ReadVariableFile("V"), kVariableFileBadData);

  // A kind byte that disagrees with the table, under a checksum that agrees.
  size_t data = good.size() - U32At(good, 0);
  std::vector<uint8_t> wrongKind = good;
  wrongKind[data] = 1;
  wrongKind[data - 1] = static_cast<uint8_t>(wrongKind[data - 1] + 1);
  e.files.Put("V", wrongKind);
  EXPECT_EQ(e.engine->ReadVariableFile("V"), kVariableFileBadData);

  e.files.Put("V", std::vector<uint8_t>(good.begin(), good.end() - 1));
  EXPECT_EQ(e.engine->ReadVariableFile("V"), kVariableFileBadData);
  EXPECT_EQ(e.Word(kS1), 1u);
  EXPECT_EQ(e.engine->ReadVariableFile(nullptr), kVariableFileNoFile)
      << "no system-state name either";

  // Refused writes answer their codes (a write without a name is the variable natives').
  EXPECT_EQ(e.engine->WriteVariableFile("V", 0, e.Storage(kTitle), 0, false),
            kVariableFileBadHeaderVariables);
  e.files.SetFailSaves(true);
  EXPECT_EQ(e.engine->WriteVariableFile("V", 0, 0, 0, false), kVariableFileNoFile);

  StateEngine noClassOne(".sob1\na: .word 1\n.var 0 0 a 4\n");
  EXPECT_EQ(noClassOne.engine->WriteVariableFile("V", 0, 0, 0, false), kVariableFileEmptySet);
}

}  // namespace
}  // namespace bw
