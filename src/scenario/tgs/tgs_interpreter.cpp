#include "scenario/tgs/tgs_interpreter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/sjis.h"
#include "host/cp932.h"
#include "scenario/tgs/tgs_call_record.h"
#include "scenario/tgs/tgs_loop.h"
#include "scenario/tgs/tgs_runner.h"
#include "script/script_engine.h"

namespace bw {

TgsNext TgsRunner::ReadOn(const TgsResumption& r, const TgsCode& code, uint32_t start,
                          TgsScript* script, const TgsDecodedStep& step, size_t stage) {
  TgsDecodedStep fresh;
  TgsDecodedStep* record = script && f_.decoding_ ? &fresh : nullptr;
  if (record) {
    // What the stages in front of this one read stands. Behind the skip, the reading goes on in
    // the stage that read the skip; anywhere else embedded code ran first, and it starts anew.
    fresh = step;
    fresh.stages.resize(stage + 1);
    if (r.phase != TgsPhase::kCount) {
      fresh.stages[stage].readsEnd = stage ? fresh.stages[stage - 1].readsEnd : 0;
      fresh.reads.resize(fresh.stages[stage].readsEnd);
    }
    fresh.arguments.resize(r.phase == TgsPhase::kArgument ? r.argument : 0);
    fresh.complete = false;
  }
  const uint32_t releases = TgsScript::Releases();
  TgsInstruction reader(f_, code, start, r.at, record);
  TgsNext next = reader.Resume(r);
  if (record && fresh.position == start && TgsScript::Releases() == releases)
    script->KeepDecoded(fresh);
  return next;
}

inline TgsNext TgsRunner::RunDecoded(const TgsDecodedStep& step, TgsScript& script) {
  if (step.function == TgsDecodedStep::kStatement) {
    TgsOutcome o = RunFragment(step.condition.a, false, nullptr);
    if (o == TgsOutcome::kMalformed) return Malformed();
    if (o == TgsOutcome::kFailed) return std::nullopt;
    return step.next;
  }
  // Taken before any embedded code runs, which may release the script and the step with it.
  const uint32_t function = step.function;
  const uint32_t end = step.next;
  const uint32_t start = step.position;
  const uint32_t count = step.count;
  const uint32_t releases = TgsScript::Releases();
  size_t stage = 1;
  // After embedded code ran, reads the rest afresh where what the step reads next changed.
  auto changed = [&](const TgsDecodedStep& decoded) {
    return TgsScript::Releases() != releases || !script.StageIntact(decoded, stage);
  };
  auto readOn = [&](TgsPhase phase, uint32_t at, bool truth, uint32_t argument) {
    const bool gone = TgsScript::Releases() != releases;
    return ReadOn({phase, at, function, truth, end, count, argument}, TgsCode(script), start,
                  gone ? nullptr : &script, step, stage);
  };
  int32_t value = 0;
  bool truth = false;
  if (step.condition.form == TgsDecodedOperand::kExpression) {
    const uint32_t at = step.stages[stage].resumeAt;
    TgsOutcome o = RunFragment(step.condition.a, true, &value);
    if (o != TgsOutcome::kOk) return Stop(o);
    truth = (value != 0) != (function == TgsNumber(TgsFunction::kJumpUnless));
    if (changed(step)) return readOn(TgsPhase::kSkip, at, truth, 0);
    ++stage;
  } else {
    TgsOutcome o = Operand(step.condition, value);
    if (o != TgsOutcome::kOk) return Stop(o);
    truth = (value != 0) != (function == TgsNumber(TgsFunction::kJumpUnless));
  }
  if (!truth) return end;
  if (step.jump) {
    // As Dispatch runs it, with the one slot.
    int32_t target = 0;
    if (count) {
      TgsOutcome o = Operand(step.arguments[0], target);
      if (o != TgsOutcome::kOk) return Stop(o);
    }
    if (uint64_t{f_.valueTop_} + 2u * count > TgsFrameBase::kValueStackWords) return Malformed();
    f_.result_ = 0;
    return static_cast<uint32_t>(target);
  }
  if (!step.complete) {
    // The first turn found the condition false and read no further.
    stage = step.stages.size() - 1;
    return readOn(TgsPhase::kCount, step.countAt, truth, 0);
  }
  std::vector<TgsSlot>& row = f_.slotRow_;
  if (row.size() < count) row.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    const TgsDecodedOperand& operand = step.arguments[i];
    row[i].flags = operand.flags;
    if (operand.form != TgsDecodedOperand::kExpression) {
      TgsOutcome o = Operand(operand, row[i].value);
      if (o != TgsOutcome::kOk) return Stop(o);
      continue;
    }
    const uint32_t at = step.stages[stage].resumeAt;
    TgsOutcome o = RunFragment(operand.a, true, &row[i].value);
    if (o != TgsOutcome::kOk) return Stop(o);
    if (changed(step)) return readOn(TgsPhase::kArgument, at, truth, i + 1);
    ++stage;
  }
  return Dispatch(function, count, end, start);
}

namespace {

void CopyText(TgsFrameBase& frame, std::string_view chars) {
  std::string& text = frame.Text();
  size_t room = TgsFrameBase::kTextBufferBytes - 1 -
                std::min(text.size(), TgsFrameBase::kTextBufferBytes - 1);
  text.append(chars.substr(0, sjis::FitLength(chars, room)));
}

// Copies the character at pos; the position after it.
[[gnu::noinline]] uint32_t CopyCharacter(TgsFrameBase& frame, const TgsScript& script,
                                         uint32_t pos) {
  const uint8_t* code = script.Code();
  const bool pair =
      sjis::IsLeadByte(code[pos]) && pos + 1 < script.CodeSize() && code[pos + 1] != 0;
  CopyText(frame, {reinterpret_cast<const char*>(code + pos), pair ? 2u : 1u});
  return pos + (pair ? 2 : 1);
}

[[gnu::noinline]] void CopyPendingText(TgsFrameBase& frame, uint32_t address) {
  std::string pending;
  if (frame.Memory().ReadCString(address, pending, TgsFrameBase::kTextBufferBytes))
    CopyText(frame, pending);
  frame.Memory().TakeFault();
}

[[gnu::noinline]] int Spent(TgsFrameBase& frame) {
  std::fprintf(stderr, "TGS script %s: the step's budget is spent\n",
               host::Cp932ToUtf8Lenient(frame.CurrentScript()->Name()).c_str());
  return kTgsStepMalformed;
}

}  // namespace

uint64_t TgsRunner::NewStretch() {
  // Per thread: a frame runs on one, and a stretch must never come round again.
  static thread_local uint64_t stretches = 0;
  return ++stretches;
}

uint64_t TgsRunner::RunLoop(TgsFrameBase& frame, TgsScript& script, const TgsDecodedStep& step,
                            uint64_t spent, uint64_t& stretch) {
  ScriptEngine* host = frame.host_;
  if (!host || !frame.decoding_) return 0;
  const uint32_t resultWord = host->HostVariableAddress(0);
  const uint32_t stackWord = frame.runner_.StackPointer();
  const TgsLoop* loop = step.loop;
  const bool proved =
      loop && loop->ResultWord() == resultWord && loop->ProvedIn(stretch, stackWord);
  if (loop && !proved && (loop->ResultWord() != resultWord || !loop->Intact(script))) {
    step.loop = loop = nullptr;  // rebuilt from the steps as they now read, while tries last
  }
  if (!loop) {
    if (step.loopTries >= kLoopTries) return 0;
    ++step.loopTries;
    std::unique_ptr<TgsLoop> built = TgsLoop::Build(script, frame.memory_, step, resultWord);
    if (!built) return 0;
    step.loop = loop = script.KeepLoop(std::move(built));
    if (!loop) return 0;
    loop->GuardIn(script);
  }
  // A jump that would not find room for its slots stops the step on the ordinary path.
  if (uint64_t{frame.valueTop_} + 2u * loop->MostSlots() > TgsFrameBase::kValueStackWords) return 0;
  uint64_t turns = loop->Cycles() ? ~uint64_t{0} : 1;
  if (frame.stepBudget_) turns = std::min(turns, (frame.stepBudget_ - spent) / loop->Steps());
  if (turns == 0) return 0;
  uint64_t done = 0;
  const int exit = frame.runner_.RunStraight(loop->Unit(), turns, done, proved);
  if (exit == kStraightRefused) {
    step.loop = nullptr;  // its code changed, or the runner cannot take it: not tried every turn
    return 0;
  }
  // Its own stores keep off what it was read from; a clean block's keep off every block's.
  if (loop->Clean(script)) {
    loop->Prove(stretch, stackWord);
  } else {
    stretch = NewStretch();
  }
  uint64_t steps = done * loop->Steps();
  bool resultZero = done && loop->TurnJumps();
  frame.position_ = loop->End();
  if (exit != kStraightSpent) {
    const TgsLoop::Exit& left = loop->ExitAt(exit);
    steps += left.steps;
    resultZero = resultZero || left.resultZero;
    frame.position_ = left.position;
  }
  if (resultZero) frame.result_ = 0;
  return steps;
}

int TgsRunStep(TgsFrameBase& frame) {
  if (!frame.current_) return kTgsStepNoScript;
  frame.malformed_ = false;
  // The decoded step run last, while its script is current and no script went since.
  const TgsDecodedStep* last = nullptr;
  uint32_t releases = 0;
  // A new stretch wherever code ran that may have written into the code: here, anything before
  // this step.
  uint64_t stretch = TgsRunner::NewStretch();
  for (uint64_t spent = 0;; ++spent) {
    if (__builtin_expect(frame.stepBudget_ != 0, 0) && spent == frame.stepBudget_) {
      frame.valueTop_ = 0;
      return Spent(frame);
    }
    if (__builtin_expect(frame.pendingText_ != 0, 0)) {
      CopyPendingText(frame, frame.pendingText_);
      frame.pendingText_ = 0;
    }
    TgsScript* script = frame.current_;
    const uint32_t pos = frame.position_;
    TgsNext next = std::nullopt;
    bool statement = false;
    if (pos >= script->CodeSize()) {
      frame.malformed_ = true;
    } else if (script->Code()[pos] != '[') {
      if (script->Code()[pos] == 0) return kTgsStepEnded;
      frame.position_ = CopyCharacter(frame, *script, pos);
      continue;
    } else if (const TgsDecodedStep* decoded = script->FindDecoded(pos, last)) {
      if (decoded->loop || decoded->loopTries < TgsRunner::kLoopTries) {
        if (const uint64_t ran = TgsRunner::RunLoop(frame, *script, *decoded, spent, stretch)) {
          spent += ran - 1;
          last = decoded;
          continue;
        }
      }
      statement = decoded->function == TgsDecodedStep::kStatement;
      const bool quiet = decoded->quiet;  // the step may go with its script
      releases = TgsScript::Releases();
      next = TgsRunner(frame).RunDecoded(*decoded, *script);
      last = decoded;
      if (!quiet) stretch = TgsRunner::NewStretch();
    } else {
      next = TgsInstruction::ReadStep(frame, *script, pos, statement);
      last = nullptr;
      stretch = TgsRunner::NewStretch();
    }
    if (__builtin_expect(frame.malformed_, 0)) {
      std::fprintf(stderr, "TGS script %s: malformed code at offset %u\n",
                   host::Cp932ToUtf8Lenient(script->Name()).c_str(), static_cast<unsigned>(pos));
      frame.valueTop_ = 0;
      return kTgsStepMalformed;
    }
    if (!next) {
      if (statement) return kTgsStepStatementFailed;
      const int32_t result = frame.result_;
      if (result == kTgsScriptEnded) return kTgsStepEnded;
      return result >= -1 ? result : kTgsStepBadResult;
    }
    if (!frame.current_) return kTgsStepEnded;
    if (frame.current_ != script || TgsScript::Releases() != releases) {
      last = nullptr;
      stretch = TgsRunner::NewStretch();
    }
    frame.position_ = *next;
  }
}

}  // namespace bw
