// Label: optimised
#include "script/script_engine.h"

#include <gtest/gtest.h>

#include "common/global.h"
#include "script_test_util.h"

namespace bw {
namespace {

constexpr uint32_t kArena = 1 << 20;

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

}  // namespace
}  // namespace bw
