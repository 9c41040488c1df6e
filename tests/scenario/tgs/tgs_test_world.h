// A scenario frame on a real script engine for the interpreter tests: a script table, variables
// (variable 0 holds four words), a library, natives 0-2 of the engine and native 3 (adds its two
// argument words), and built-ins 12-131 that record their calls.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "lib/sob/sob_assembler.h"
#include "lib/tob/tob_assembler.h"
#include "scenario/tgs/tgs_builtins.h"
#include "scenario/tgs/tgs_frame_base.h"
#include "scenario/tgs/tgs_interpreter.h"
#include "scenario/tgs/tgs_stand_in_operations.h"
#include "script/script_engine.h"
#include "script/script_file_source.h"

namespace bw {

struct RecordedCall {
  uint32_t number = 0;
  std::vector<TgsSlot> slots;
  std::vector<std::string> texts;  // per slot: its text, or "" for a slot without one
  int32_t chainSeen = 0;
};

struct BuiltinMock {
  std::vector<RecordedCall> calls;
  std::map<uint32_t, int32_t> results;  // answers by function number (0 when absent)
  static BuiltinMock*& Current() {
    static BuiltinMock* mock = nullptr;
    return mock;
  }
};

// Waits skip and count as the wait chain says; function 14 appends itself to collected text.
template <uint32_t N>
int32_t RecordingBuiltin(TgsBuiltinCall& call) {
  BuiltinMock& mock = *BuiltinMock::Current();
  RecordedCall r{N, {call.slots.begin(), call.slots.end()}, {}, call.interpreter.WaitChain()};
  for (const TgsSlot& s : call.slots) {
    std::string text;
    if ((s.flags & kTgsSlotText) && s.value)
      call.interpreter.Memory().ReadCString(s.value, text, 4095);
    r.texts.push_back(text);
  }
  mock.calls.push_back(r);
  if (N == 20) {
    int32_t& chain = call.interpreter.WaitChain();
    chain = chain ? chain + 1 : 1;
  }
  if (N == 14 && call.interpreter.CollectingText())
    call.interpreter.AppendCallRecord(N, call.slots);
  auto it = mock.results.find(N);
  return it == mock.results.end() ? 0 : it->second;
}

template <uint32_t... I>
void RegisterRecorders(TgsFrameBase& frame, std::integer_sequence<uint32_t, I...>) {
  (TgsRegisterFunction(frame, &RecordingBuiltin<I + 12>), ...);
}

inline std::vector<uint8_t> Tob(const std::string& source, const tob::FaultSwitches& faults = {}) {
  tob::AssembleResult r = tob::Assemble(source, faults);
  EXPECT_TRUE(r.ok) << r.error << "\n" << source;
  return r.bytes;
}

class TgsWorld {
 public:
  // realBuiltins: the frame gets the built-in table (over stand-in operations) in place of the
  // recorders.
  explicit TgsWorld(bool realBuiltins = false) : host_(&files_, 32u << 20) {
    Put("SCRIPT\\SOB_INIT.DAT", ".table\n.script SUB 8 8\n.script RUN 8 8\n");
    Put("SCRIPT\\USER_VAR.SOB", ".sob1\nv: .space 16\n.var 0 1 v 16\n");
    Put("SCRIPT\\FUNC_LIB.SOB", ".sob2\nlib: set 9, var:0\n ret\n");
    Put("SCRIPT\\SUB.SOB", ".sob0\n set 77, var:0\n ret\n");
    EXPECT_EQ(host_.LoadInitFiles("SCRIPT\\SOB_INIT.DAT", "SCRIPT\\USER_VAR.SOB",
                                  "SCRIPT\\FUNC_LIB.SOB", false, false),
              0);
    host_.RegisterNative([](GuestMemory& m, uint32_t args) {
      uint32_t a = 0, b = 0;
      m.Read32(args, a);
      m.Read32(args + 4, b);
      return static_cast<int32_t>(a + b);
    });
    host_.PublishTables();
    BuiltinMock::Current() = &mock_;
    frame_ = std::make_unique<TgsFrameBase>(&host_, &files_);
    frame_->SetScriptFolder("SCRIPT");
    if (realBuiltins) {
      for (uint32_t i = kTgsFirstBuiltin; i < kTgsBuiltinCount; ++i)
        TgsRegisterFunction(*frame_, TgsBuiltinTable()[i]);
    } else {
      RegisterRecorders(*frame_, std::make_integer_sequence<uint32_t, 120>{});
    }
    frame_->SetOperations(&operations_);
    frame_->SetMessageSink([this](const std::string& m) { messages_.push_back(m); });
  }
  ~TgsWorld() { BuiltinMock::Current() = nullptr; }

  void Put(const std::string& name, const std::string& sobSource) {
    sob::AssembleResult r = sob::Assemble(sobSource);
    ASSERT_TRUE(r.ok) << r.error;
    files_.Put(name, r.bytes);
  }
  void PutTob(const std::string& name, const std::string& source,
              const tob::FaultSwitches& faults = {}) {
    files_.Put("SCRIPT\\" + name + ".TOB", Tob(source, faults));
  }
  // Starts a scenario of the given lines (a .tob1 script named RUN).
  int StartScenario(const std::string& lines, const tob::FaultSwitches& faults = {}) {
    PutTob("RUN", ".tob1\n" + lines, faults);
    return frame_->Start("RUN");
  }
  uint32_t Variable(uint32_t word) {
    uint32_t v = 0;
    host_.GetMemory().Read32(host_.VariableValueAddress(0) + 4 * word, v);
    return v;
  }

  MemoryScriptFileSource& Files() { return files_; }
  ScriptEngine& Host() { return host_; }
  TgsFrameBase& Frame() { return *frame_; }
  BuiltinMock& Mock() { return mock_; }
  TgsStandInOperations& Operations() { return operations_; }
  const std::vector<std::string>& Messages() const { return messages_; }

 private:
  MemoryScriptFileSource files_;
  ScriptEngine host_;
  BuiltinMock mock_;
  TgsStandInOperations operations_;
  std::unique_ptr<TgsFrameBase> frame_;
  std::vector<std::string> messages_;
};

}  // namespace bw
