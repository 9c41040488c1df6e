// What the scenario fuzz targets share: a script engine with good start files and a scenario
// frame on it whose built-ins 12-131 read their slots as numbers and texts, as real ones do.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "lib/tob/failing_operations.h"
#include "lib/tob/tob_assembler.h"
#include "scenario/tgs/tgs_frame_base.h"
#include "scenario/tgs/tgs_interpreter.h"
#include "script/script_engine.h"
#include "script_fuzz_world.h"

namespace bw::fuzz {

inline std::vector<uint8_t> TobOrDie(const std::string& source) {
  tob::AssembleResult r = tob::Assemble(source);
  if (!r.ok) std::abort();
  return r.bytes;
}

// When set, each built-in call appends its slots and texts here.
inline std::string* builtinLog = nullptr;

inline int32_t ReadingBuiltin(TgsBuiltinCall& call) {
  uint32_t sum = 0;  // wraps: slot values are arbitrary
  for (const TgsSlot& s : call.slots) {
    std::string text;
    if ((s.flags & kTgsSlotText) && s.value)
      (void)call.interpreter.Memory().ReadCString(s.value, text, 4095);  // bad: read as empty
    call.interpreter.Memory().TakeFault();
    sum += static_cast<uint32_t>(text.size()) + static_cast<uint32_t>(s.value);
    if (builtinLog)
      *builtinLog += std::to_string(s.flags) + ":" + std::to_string(s.value) + ":" + text + ",";
  }
  if (builtinLog) *builtinLog += ";";
  if (call.interpreter.CollectingText()) (void)call.interpreter.AppendCallRecord(14, call.slots);
  return sum == 0x7FFFFFFFu ? 1 : 0;
}

class TgsFuzzWorld {
 public:
  static constexpr uint32_t kArena = 4u << 20;

  TgsFuzzWorld() : host_(&files_, kArena) {
    files_.Put("SCRIPT\\SOB_INIT.DAT", AssembleOrDie(".table\n.script SUB 8 8\n"));
    files_.Put("SCRIPT\\USER_VAR.SOB", GoodVariableFile());
    files_.Put("SCRIPT\\FUNC_LIB.SOB", GoodLibrary());
    files_.Put("SCRIPT\\SUB.SOB", AssembleOrDie(".sob0\n set 1, var:0\n ret\n"));
    if (host_.LoadInitFiles("SCRIPT\\SOB_INIT.DAT", "SCRIPT\\USER_VAR.SOB", "SCRIPT\\FUNC_LIB.SOB",
                            false, false) != 0) {
      std::abort();
    }
    RegisterFuzzNatives(host_);
    host_.PublishTables();
    frame_ = std::make_unique<TgsFrameBase>(&host_, &files_);
    // A folder name given here is never refused.
    (void)frame_->SetScriptFolder("SCRIPT");
    for (uint32_t i = 12; i < 132; ++i) TgsRegisterFunction(*frame_, &ReadingBuiltin);
    frame_->SetOperations(&operations_);
    frame_->SetMessageSink([](const std::string&) {});
    frame_->SetFrameStep([] { return 1; });
  }

  MemoryScriptFileSource& Files() { return files_; }
  TgsFrameBase& Frame() { return *frame_; }
  ScriptEngine& Host() { return host_; }

 private:
  MemoryScriptFileSource files_;
  ScriptEngine host_;
  tob::FailingOperations operations_;  // the built-ins never reach them
  std::unique_ptr<TgsFrameBase> frame_;
};

}  // namespace bw::fuzz
