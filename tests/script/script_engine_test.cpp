// Label: optimised
#include "script/script_engine.h"

#include <gtest/gtest.h>

#include <map>

#include "common/global.h"
#include "host/cp932.h"
#include "script/script_host.h"
#include "script_test_util.h"

namespace bw {
namespace {

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

struct Engine {
  MemoryScriptFileSource files;
  std::unique_ptr<ScriptEngine> engine;

  Engine() {
    files.Put("SCRIPT\\FUNC_LIB.SOB", Sob(".sob2\n ret\n"));
    engine = std::make_unique<ScriptEngine>(&files, kArena);
  }
  void Script(const std::string& name, const std::string& body) { PutScript(files, name, body); }
  int Start() { return engine->Start(); }
};

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

}  // namespace
}  // namespace bw
