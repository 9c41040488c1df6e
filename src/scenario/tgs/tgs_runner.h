// The scenario interpreter's parts, shared by the files that read instructions, run the control
// instructions and run steps.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "scenario/tgs/tgs_frame_base.h"
#include "scenario/tgs/tgs_functions.h"
#include "scenario/tgs/tgs_interpreter.h"
#include "script/script_engine.h"

namespace bw {

constexpr uint32_t kTgsLastFunction = kTgsBuiltinCount - 1;
constexpr size_t kTgsMaxSlotText = 4095;
constexpr uint32_t kTgsControlJumpLast = TgsNumber(TgsFunction::kJumpIf3);

enum class [[nodiscard]] TgsOutcome{kOk, kMalformed, kFailed};

// A next position, or none to stop the step. One word wide, so it comes back in a register:
// an optional comes back through the stack, in two stores a wider load then waits for.
class [[nodiscard]] TgsNext {
 public:
  TgsNext(uint32_t position) : v_(position) {}  // NOLINT(google-explicit-constructor)
  TgsNext(std::nullopt_t) : v_(kNone) {}        // NOLINT(google-explicit-constructor)
  explicit operator bool() const { return v_ != kNone; }
  uint32_t operator*() const { return static_cast<uint32_t>(v_); }
  std::optional<uint32_t> Optional() const {
    return v_ != kNone ? std::optional<uint32_t>(static_cast<uint32_t>(v_)) : std::nullopt;
  }

 private:
  static constexpr uint64_t kNone = ~uint64_t{0};
  uint64_t v_;
};

// The code of the script a step reads, taken as the step starts: the step may release the script.
struct TgsCode {
  explicit TgsCode(const TgsScript& script)
      : bytes(script.Code()), size(script.CodeSize()), start(script.CodeStart()) {}
  const uint8_t* bytes;
  uint64_t size;
  uint32_t start;  // its guest address
};

// Where a reading goes on inside an instruction, behind the fields a decoded step took.
enum class TgsPhase { kSkip, kCount, kArgument };
struct TgsResumption {
  TgsPhase phase;
  uint32_t at;  // the code offset the reading goes on from
  uint32_t function;
  bool truth;
  uint32_t end;
  uint32_t count;
  uint32_t argument;  // the argument read next
};

// What a step does once its fields are known, read now or decoded on an earlier turn.
class TgsRunner {
 public:
  explicit TgsRunner(TgsFrameBase& frame) : f_(frame) {}
  // Runs a step decoded on an earlier turn whose first stage is intact. Where embedded code
  // rewrote what the step reads next, the step is read on from there, and kept as it now reads.
  [[gnu::always_inline]] TgsNext RunDecoded(const TgsDecodedStep& step, TgsScript& script);
  // Runs the cycle entered at step as one unit (TgsLoop), building it while tries last, on a
  // step within the budget of which spent steps are spent. The steps it ran; 0 where it ran
  // none, and the step takes the ordinary path.
  // stretch: the stretch the step runs in (see TgsLoop), moved on where the block is not clean.
  static constexpr uint8_t kLoopTries = 4;
  [[gnu::noinline]] static uint64_t RunLoop(TgsFrameBase& frame, TgsScript& script,
                                            const TgsDecodedStep& step, uint64_t spent,
                                            uint64_t& stretch);
  // A stretch no block was proved in yet.
  static uint64_t NewStretch();

 protected:
  std::nullopt_t Malformed() {
    f_.malformed_ = true;
    return std::nullopt;
  }
  // An instruction's operand did not give a value.
  std::nullopt_t Stop(TgsOutcome o) {
    if (o == TgsOutcome::kMalformed) return Malformed();
    f_.result_ = -1;
    return std::nullopt;
  }
  TgsOutcome ReadVariable(uint32_t bank, uint32_t index, int32_t& value);
  [[gnu::always_inline]] TgsOutcome Operand(const TgsDecodedOperand& operand, int32_t& value);
  // Runs linked bytecode at code.
  [[gnu::always_inline]] TgsOutcome RunFragment(uint32_t code, bool expression, int32_t* value);
  [[gnu::noinline]] TgsOutcome RunBeside(uint32_t code, bool expression, int32_t* value);
  [[nodiscard]] bool Text(const TgsSlot& slot, std::string& out, bool& given);
  TgsNext Control(uint32_t function, std::span<const TgsSlot> slots, uint32_t end);
  // Lays the first count slots of the frame's row on the value stack and runs the function.
  [[gnu::always_inline]] TgsNext Dispatch(uint32_t function, uint32_t count, uint32_t end,
                                          uint32_t start);
  // Runs a control function or built-in whose count slots are laid at laidAt.
  [[gnu::noinline]] TgsNext Call(uint32_t function, uint32_t count, const uint8_t* laidAt,
                                 uint32_t end, uint32_t start);

  TgsFrameBase& f_;

 private:
  // Reads the rest of step's instruction from r, in stage k, and keeps it as it now reads unless
  // script (null when it went) is gone.
  [[gnu::noinline]] TgsNext ReadOn(const TgsResumption& r, const TgsCode& code, uint32_t start,
                                   TgsScript* script, const TgsDecodedStep& step, size_t k);
};

// Reads one instruction's fields from the code, and runs it. The cursor is a plain offset beside
// the code pointer, so that reads stay in registers; every read checks what remains of the code
// first. A record, when given, takes what was read as a decoded step: the operands and every byte
// the reading relied on, in stages split where embedded code ran.
class TgsInstruction : public TgsRunner {
 public:
  // start: the offset of the "[ " or "[s"; at: where the reading begins.
  TgsInstruction(TgsFrameBase& frame, const TgsCode& code, uint32_t start, uint32_t at,
                 TgsDecodedStep* record = nullptr)
      : TgsRunner(frame),
        code_(code.bytes),
        size_(code.size),
        codeStart_(code.start),
        at_(at <= size_ ? at : 0),
        start_(start),
        record_(record) {
    if (record_) record_->position = TgsDecodedStep::kEmpty;
  }

  // Reads a fresh record from the "[ " or "[s" on.
  void BeginRecord() {
    if (!record_) return;
    *record_ = {};
    record_->stages.push_back({0, 0, -1});
    Note(start_, code_ + start_, 2);
  }
  // Reads the step at the "[" at pos in script and runs it, keeping it decoded for its next turns.
  [[gnu::noinline]] static TgsNext ReadStep(TgsFrameBase& frame, TgsScript& script, uint32_t pos,
                                            bool& statement);
  TgsNext Execute();
  TgsNext Statement();
  // Goes on with an instruction whose fields in front of r.at are taken; the record, when given,
  // holds what was read of them.
  TgsNext Resume(const TgsResumption& r);

 private:
  bool Get8(uint8_t& v) {
    if (at_ >= size_) return false;
    v = code_[at_++];
    return true;
  }
  template <typename T>
  bool Get(T& v) {
    if (size_ - at_ < sizeof(T)) return false;
    std::memcpy(&v, code_ + at_, sizeof(T));
    at_ += sizeof(T);
    return true;
  }
  // Get, noting the bytes read.
  template <typename T>
  bool Take(T& v) {
    const uint64_t at = at_;
    if (!Get(v)) return false;
    Note(at, &v, sizeof(T));
    return true;
  }
  TgsOutcome Condition(uint8_t kind, TgsDecodedOperand& operand);
  TgsOutcome Argument(TgsDecodedOperand& operand);
  // Reads a fragment's framing and links it once: L bytes of bytecode at the cursor, with the
  // link area behind them.
  TgsOutcome Fragment(bool expression, TgsDecodedOperand& operand);
  // Evaluates an operand just read; argument: the one read after it (-1: the skip).
  TgsOutcome Evaluate(const TgsDecodedOperand& operand, int32_t& value, int32_t argument);
  TgsNext Skip(uint32_t function, bool truth);
  // Records the arguments of an instruction its condition skips, when none of them is embedded
  // code (whose reading links it): a later turn that runs it then finds it read whole. Reads
  // nothing when one is, or when they do not fit in front of end.
  void RecordSkippedArguments(uint32_t end);
  // Reads count and arguments, into the record if there is one; false at embedded code or at
  // arguments that do not fit in front of end.
  [[nodiscard]] bool ReadPlainArguments(uint32_t end);
  TgsNext Count(uint32_t function, uint32_t end);
  TgsNext Arguments(uint32_t function, uint32_t end, uint32_t count, uint32_t from);

  // The record.
  void Note(uint64_t at, const void* bytes, size_t n);
  void Flush();
  void Recorded() {
    if (!record_) return;
    Flush();
    TgsDecodedStep& r = *record_;
    r.jump = r.complete && r.function <= kTgsControlJumpLast && r.count <= 1 &&
             (r.count == 0 || r.arguments[0].form != TgsDecodedOperand::kExpression);
    r.quiet = r.complete && r.count <= 1 && r.condition.form == TgsDecodedOperand::kConstant &&
              (r.count == 0 || r.arguments[0].form == TgsDecodedOperand::kConstant) &&
              (r.function <= TgsNumber(TgsFunction::kNop) ||
               (r.function >= TgsNumber(TgsFunction::kCall) &&
                r.function <= TgsNumber(TgsFunction::kReturn)));
    r.position = start_;
  }

  const uint8_t* const code_;
  const uint64_t size_;
  const uint32_t codeStart_;
  uint64_t at_;     // never past size_
  uint32_t start_;  // the offset of "[ " or "[s"
  TgsDecodedStep* record_;
  // Bytes read one after another, not yet in the record.
  uint64_t runAt_ = 0;
  uint8_t runBytes_[TgsReadBytes::kWindow] = {};
  uint32_t runLength_ = 0;
};

inline TgsOutcome TgsRunner::ReadVariable(uint32_t bank, uint32_t index, int32_t& value) {
  uint32_t word = 0;
  if (!f_.host_) return TgsOutcome::kMalformed;
  const auto& variables = f_.host_->Variables();
  if (bank >= variables.size() || uint64_t{index} * 4 + 4 > variables[bank].size)
    return TgsOutcome::kMalformed;
  uint32_t address = f_.host_->VariableValueAddress(bank);
  if (!f_.memory_.Read32(address + index * 4, word)) {
    f_.memory_.TakeFault();
    return TgsOutcome::kMalformed;
  }
  value = static_cast<int32_t>(word);
  return TgsOutcome::kOk;
}

inline TgsOutcome TgsRunner::Operand(const TgsDecodedOperand& operand, int32_t& value) {
  switch (operand.form) {
    case TgsDecodedOperand::kConstant:
      value = static_cast<int32_t>(operand.a);
      return TgsOutcome::kOk;
    case TgsDecodedOperand::kVariable:
      return ReadVariable(operand.a, operand.b, value);
    default:
      return RunFragment(operand.a, true, &value);
  }
}

inline TgsOutcome TgsRunner::RunFragment(uint32_t code, bool expression, int32_t* value) {
  if (!f_.host_) return TgsOutcome::kMalformed;
  ScriptRequest& request = f_.host_->Request();
  if (__builtin_expect(request.word != kRequestNone, 0)) return RunBeside(code, expression, value);
  GuestMemory& m = f_.memory_;
  const uint32_t result = expression ? f_.host_->HostVariableAddress(0) : 0;
  if (expression) (void)m.Write32(result, 0);
  const int run = f_.runner_.CallAt(code);
  if (__builtin_expect(run != kRunEnded || request.word != kRequestNone, 0)) {
    f_.lastRun_ = run;
    const int nested = run == kRunFault ? kTgsNestedFault : TgsRunNested(f_, false, true);
    if (nested != 0) {
      f_.runner_.ResetStack();
      m.TakeFault();
      return nested == kTgsNestedFault ? TgsOutcome::kMalformed : TgsOutcome::kFailed;
    }
  }
  if (expression) {
    uint32_t word = 0;
    (void)m.Read32(result, word);  // host variable 0 is the engine's own word, always mapped
    *value = static_cast<int32_t>(word);
  }
  return TgsOutcome::kOk;
}

inline TgsNext TgsRunner::Dispatch(uint32_t function, uint32_t count, uint32_t end,
                                   uint32_t start) {
  const TgsSlot* slots = f_.slotRow_.data();
  const uint32_t top = f_.valueTop_;
  if (uint64_t{top} + uint64_t{2} * count > TgsFrameBase::kValueStackWords) return Malformed();
  // A jump takes only the room: its position is its first slot, which nothing reads from the stack.
  if (function <= kTgsControlJumpLast) {
    f_.result_ = 0;
    return static_cast<uint32_t>(count ? slots[0].value : 0);
  }
  std::span<uint8_t> stack = f_.memory_.View(f_.valueStack_ + top * 4, count * 8u);
  // Slot by slot: a row is a few slots, too short for a block copy to pay its start. Each field
  // is read on its own, as it was written: a wider read of two just-stored words waits for both
  // stores to retire.
  for (size_t i = 0; i < stack.size() / 8; ++i) {
    uint32_t flags = slots[i].flags;
    int32_t value = slots[i].value;
    __asm__("" : "+r"(flags), "+r"(value));
    std::memcpy(stack.data() + 8 * i, &flags, 4);
    std::memcpy(stack.data() + 8 * i + 4, &value, 4);
  }
  f_.valueTop_ = top + 2u * count;
  return Call(function, count, stack.data(), end, start);
}

}  // namespace bw
