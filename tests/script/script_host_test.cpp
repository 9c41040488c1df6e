// Label: optimised
#include "script/script_host.h"

#include <gtest/gtest.h>

#include <map>

#include "host/cp932.h"
#include "script_test_util.h"

namespace bw {
namespace {

constexpr uint32_t kArena = 1 << 21;

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
       [](auto& f) {
         PutScript(f, "MAIN", " ret\n", [] {
           sob::FaultSwitches s;
           s.badTerminator = true;
           return s;
         }());
       },
       5, "デバッグモード用のスクリプトです"},
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
