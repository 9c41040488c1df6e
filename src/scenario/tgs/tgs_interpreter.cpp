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
#include "script/script_engine.h"

namespace bw {

namespace {

constexpr uint32_t kLastFunction = 131;
constexpr size_t kMaxSlotText = 4095;
constexpr uint32_t kControlJumpLast = 3;

enum class Outcome { kOk, kMalformed, kFailed };

// A next position, or none to stop the step. One word wide, so it comes back in a register:
// an optional comes back through the stack, in two stores a wider load then waits for.
class Next {
 public:
  Next(uint32_t position) : v_(position) {}  // NOLINT(google-explicit-constructor)
  Next(std::nullopt_t) : v_(kNone) {}        // NOLINT(google-explicit-constructor)
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
enum class Phase { kSkip, kCount, kArgument };
struct Resumption {
  Phase phase;
  uint32_t at;  // the code offset the reading goes on from
  uint32_t function;
  bool truth;
  uint32_t end;
  uint32_t count;
  uint32_t argument;  // the argument read next
};

}  // namespace

// What a step does once its fields are known, read now or decoded on an earlier turn.
class TgsRunner {
 public:
  explicit TgsRunner(TgsFrameBase& frame) : f_(frame) {}
  // Runs a step decoded on an earlier turn whose first stage is intact. Where embedded code
  // rewrote what the step reads next, the step is read on from there, and kept as it now reads.
  [[gnu::always_inline]] Next RunDecoded(const TgsDecodedStep& step, TgsScript& script);
  // Runs the cycle entered at step as one unit (TgsLoop), building it while tries last, on a
  // step within the budget of which spent steps are spent. The steps it ran; 0 where it ran
  // none, and the step takes the ordinary path.
  static constexpr uint8_t kLoopTries = 4;
  [[gnu::noinline]] static uint64_t RunLoop(TgsFrameBase& frame, TgsScript& script,
                                            const TgsDecodedStep& step, uint64_t spent);

 protected:
  std::nullopt_t Malformed() {
    f_.malformed_ = true;
    return std::nullopt;
  }
  // An instruction's operand did not give a value.
  std::nullopt_t Stop(Outcome o) {
    if (o == Outcome::kMalformed) return Malformed();
    f_.result_ = -1;
    return std::nullopt;
  }
  Outcome ReadVariable(uint32_t bank, uint32_t index, int32_t& value);
  [[gnu::always_inline]] Outcome Operand(const TgsDecodedOperand& operand, int32_t& value);
  // Runs linked bytecode at code.
  [[gnu::always_inline]] Outcome RunFragment(uint32_t code, bool expression, int32_t* value);
  [[gnu::noinline]] Outcome RunBeside(uint32_t code, bool expression, int32_t* value);
  bool Text(const TgsSlot& slot, std::string& out, bool& given);
  Next Control(uint32_t function, std::span<const TgsSlot> slots, uint32_t end);
  // Lays the first count slots of the frame's row on the value stack and runs the function.
  [[gnu::always_inline]] Next Dispatch(uint32_t function, uint32_t count, uint32_t end,
                                       uint32_t start);
  // Runs a control function or built-in whose count slots are laid at laidAt.
  [[gnu::noinline]] Next Call(uint32_t function, uint32_t count, const uint8_t* laidAt,
                              uint32_t end, uint32_t start);

  TgsFrameBase& f_;

 private:
  // Reads the rest of step's instruction from r, in stage k, and keeps it as it now reads unless
  // script (null when it went) is gone.
  [[gnu::noinline]] Next ReadOn(const Resumption& r, const TgsCode& code, uint32_t start,
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
  [[gnu::noinline]] static Next ReadStep(TgsFrameBase& frame, TgsScript& script, uint32_t pos,
                                         bool& statement);
  Next Execute();
  Next Statement();
  // Goes on with an instruction whose fields in front of r.at are taken; the record, when given,
  // holds what was read of them.
  Next Resume(const Resumption& r);

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
  Outcome Condition(uint8_t kind, TgsDecodedOperand& operand);
  Outcome Argument(TgsDecodedOperand& operand);
  // Reads a fragment's framing and links it once: L bytes of bytecode at the cursor, with the
  // link area behind them.
  Outcome Fragment(bool expression, TgsDecodedOperand& operand);
  // Evaluates an operand just read; argument: the one read after it (-1: the skip).
  Outcome Evaluate(const TgsDecodedOperand& operand, int32_t& value, int32_t argument);
  Next Skip(uint32_t function, bool truth);
  // Records the arguments of an instruction its condition skips, when none of them is embedded
  // code (whose reading links it): a later turn that runs it then finds it read whole. Reads
  // nothing when one is, or when they do not fit in front of end.
  void RecordSkippedArguments(uint32_t end);
  // Reads count and arguments, into the record if there is one; false at embedded code or at
  // arguments that do not fit in front of end.
  bool ReadPlainArguments(uint32_t end);
  Next Count(uint32_t function, uint32_t end);
  Next Arguments(uint32_t function, uint32_t end, uint32_t count, uint32_t from);

  // The record.
  void Note(uint64_t at, const void* bytes, size_t n);
  void Flush();
  void Recorded() {
    if (!record_) return;
    Flush();
    TgsDecodedStep& r = *record_;
    r.jump = r.complete && r.function <= kControlJumpLast && r.count <= 1 &&
             (r.count == 0 || r.arguments[0].form != TgsDecodedOperand::kExpression);
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

void TgsInstruction::Note(uint64_t at, const void* bytes, size_t n) {
  if (!record_) return;
  const auto* b = static_cast<const uint8_t*>(bytes);
  for (size_t i = 0; i < n; ++i, ++at) {
    if (runLength_ == TgsReadBytes::kWindow || (runLength_ && at != runAt_ + runLength_)) Flush();
    if (runLength_ == 0) runAt_ = at;
    runBytes_[runLength_++] = b[i];
  }
}

void TgsInstruction::Flush() {
  if (runLength_ == 0) return;
  constexpr uint32_t kWindow = TgsReadBytes::kWindow;
  TgsReadBytes& r = record_->reads.emplace_back();  // cleared: the bytes in front are not read
  r.windowAt = static_cast<int32_t>(runAt_ + runLength_) - static_cast<int32_t>(kWindow);
  std::memcpy(r.bytes + kWindow - runLength_, runBytes_, runLength_);
  std::memset(r.mask + kWindow - runLength_, 0xFF, runLength_);
  record_->stages.back().readsEnd = static_cast<uint32_t>(record_->reads.size());
  runLength_ = 0;
}

Outcome TgsRunner::ReadVariable(uint32_t bank, uint32_t index, int32_t& value) {
  uint32_t word = 0;
  if (!f_.host_) return Outcome::kMalformed;
  const auto& variables = f_.host_->Variables();
  if (bank >= variables.size() || uint64_t{index} * 4 + 4 > variables[bank].size)
    return Outcome::kMalformed;
  uint32_t address = f_.host_->VariableValueAddress(bank);
  if (!f_.memory_.Read32(address + index * 4, word)) {
    f_.memory_.TakeFault();
    return Outcome::kMalformed;
  }
  value = static_cast<int32_t>(word);
  return Outcome::kOk;
}

inline Outcome TgsRunner::Operand(const TgsDecodedOperand& operand, int32_t& value) {
  switch (operand.form) {
    case TgsDecodedOperand::kConstant:
      value = static_cast<int32_t>(operand.a);
      return Outcome::kOk;
    case TgsDecodedOperand::kVariable:
      return ReadVariable(operand.a, operand.b, value);
    default:
      return RunFragment(operand.a, true, &value);
  }
}

inline Outcome TgsRunner::RunFragment(uint32_t code, bool expression, int32_t* value) {
  if (!f_.host_) return Outcome::kMalformed;
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
      return nested == kTgsNestedFault ? Outcome::kMalformed : Outcome::kFailed;
    }
  }
  if (expression) {
    uint32_t word = 0;
    (void)m.Read32(result, word);  // host variable 0 is the engine's own word, always mapped
    *value = static_cast<int32_t>(word);
  }
  return Outcome::kOk;
}

// The main script's own request waits for this run.
Outcome TgsRunner::RunBeside(uint32_t code, bool expression, int32_t* value) {
  ScriptRequest& request = f_.host_->Request();
  ScriptRequest outer = request;
  request.word = kRequestNone;
  Outcome o = RunFragment(code, expression, value);
  request = std::move(outer);
  return o;
}

Outcome TgsInstruction::Fragment(bool expression, TgsDecodedOperand& operand) {
  // An expression counts its bytecode and link area in 16 bits, a statement in 32.
  uint32_t length = 0, area = 0;
  if (expression) {
    uint16_t l16 = 0;
    if (!Take(l16)) return Outcome::kMalformed;
    length = l16;
  } else if (!Take(length)) {
    return Outcome::kMalformed;
  }
  const uint64_t bytecodeAt = at_;
  if (size_ - at_ <= length) return Outcome::kMalformed;  // the bytecode and its linked byte
  at_ += length;
  const uint64_t linkedAt = at_;
  uint8_t linked = code_[at_++];
  uint16_t m = 0;
  if (expression) {
    if (!Get(m) || m < 2) return Outcome::kMalformed;
    area = m - 2u;
  } else {
    if (!Get(area) || area < 4) return Outcome::kMalformed;
    area -= 4;
  }
  if (size_ - at_ < area) return Outcome::kMalformed;
  const uint64_t listsAt = at_;
  at_ += area;
  const uint32_t code = codeStart_ + static_cast<uint32_t>(bytecodeAt);
  if (linked == 0) {
    ByteReader lists(code_ + listsAt, area);
    if (!TgsLinkBytecode(f_.memory_, lists, code, length, expression)) return Outcome::kMalformed;
    linked = 1;
    // Unmarked, the next run would link the rewritten operands again.
    if (!f_.memory_.Write(codeStart_ + static_cast<uint32_t>(linkedAt), &linked, 1)) {
      return Outcome::kMalformed;
    }
  }
  // The bytecode runs as it stands each time: main-script code rewrites its own operands. Once
  // linked, the link lists are not read again.
  Note(linkedAt, &linked, 1);
  if (expression) {
    Note(linkedAt + 1, &m, 2);
  } else {
    const uint32_t stored = area + 4;
    Note(linkedAt + 1, &stored, 4);
  }
  operand = {TgsDecodedOperand::kExpression, 0, code, 0};
  return Outcome::kOk;
}

Outcome TgsInstruction::Condition(uint8_t kind, TgsDecodedOperand& operand) {
  switch (kind) {
    case 0: {
      uint32_t c = 0;
      if (!Take(c)) return Outcome::kMalformed;
      operand = {TgsDecodedOperand::kConstant, 0, c, 0};
      return Outcome::kOk;
    }
    case 1:
      operand = {TgsDecodedOperand::kConstant, 0, 1, 0};
      return Outcome::kOk;
    case 2: {
      uint32_t bank = 0, index = 0;
      if (!Take(bank) || !Take(index)) return Outcome::kMalformed;
      operand = {TgsDecodedOperand::kVariable, 0, bank, index};
      return Outcome::kOk;
    }
    case 3:
      return Fragment(true, operand);
    default:
      return Outcome::kMalformed;
  }
}

Outcome TgsInstruction::Argument(TgsDecodedOperand& operand) {
  uint8_t a = 0, v = 0;
  if (!Take(a)) return Outcome::kMalformed;
  uint32_t word = 0;
  if (a == 0) {
    operand = {};
    return Outcome::kOk;
  }
  if (a == 2) {
    if (!Take(word)) return Outcome::kMalformed;
    operand = {TgsDecodedOperand::kConstant, 0, word, 0};
    return Outcome::kOk;
  }
  if (!Take(v)) return Outcome::kMalformed;
  switch (v) {
    case 0:
      if (!Take(word)) return Outcome::kMalformed;
      operand = {TgsDecodedOperand::kConstant, a, word, 0};
      return Outcome::kOk;
    case 1: {
      uint16_t length = 0;
      if (!Take(length)) return Outcome::kMalformed;
      const uint64_t at = at_;
      if (size_ - at_ < length || (length && code_[at_ + length - 1] != 0))
        return Outcome::kMalformed;
      if (length) Note(at_ + length - 1, code_ + at_ + length - 1, 1);
      at_ += length;
      const uint32_t text = length ? codeStart_ + static_cast<uint32_t>(at) : 0;
      operand = {TgsDecodedOperand::kConstant, static_cast<uint8_t>(a | kTgsSlotText), text, 0};
      return Outcome::kOk;
    }
    case 2: {
      uint32_t bank = 0, index = 0;
      if (!Take(bank) || !Take(index)) return Outcome::kMalformed;
      operand = {TgsDecodedOperand::kVariable, a, bank, index};
      return Outcome::kOk;
    }
    case 3: {
      Outcome o = Fragment(true, operand);
      operand.flags = a;
      return o;
    }
    default:
      return Outcome::kMalformed;
  }
}

Outcome TgsInstruction::Evaluate(const TgsDecodedOperand& operand, int32_t& value,
                                 int32_t argument) {
  if (operand.form == TgsDecodedOperand::kExpression && record_) {
    Flush();
    const auto readsEnd = static_cast<uint32_t>(record_->reads.size());
    record_->stages.push_back({readsEnd, static_cast<uint32_t>(at_), argument});
  }
  return Operand(operand, value);
}

// A text slot's contents; false when the slot is given but holds no text or the text cannot be
// read.
bool TgsRunner::Text(const TgsSlot& slot, std::string& out, bool& given) {
  out.clear();
  given = slot.flags != 0;
  if (!given) return true;
  if (!IsTextSlot(slot)) return false;
  if (slot.value == 0) return true;
  if (!f_.memory_.ReadCString(static_cast<uint32_t>(slot.value), out, kMaxSlotText)) {
    f_.memory_.TakeFault();
    return false;
  }
  return true;
}

Next TgsRunner::Control(uint32_t function, std::span<const TgsSlot> slots, uint32_t end) {
  static const TgsSlot kNone{};
  const TgsSlot& s0 = slots.size() > 0 ? slots[0] : kNone;
  const TgsSlot& s1 = slots.size() > 1 ? slots[1] : kNone;
  f_.result_ = 0;
  if (function <= kControlJumpLast) return static_cast<uint32_t>(s0.value);
  std::string text, name, label;
  bool given = false, named = false;
  switch (function) {
    case 4:
      return end;
    case 5: {
      char digits[16];
      int n = std::snprintf(digits, sizeof digits, "%d", s0.value);
      // Without a scratch block (a full arena at start-up) the address is 0: no text.
      (void)f_.memory_.Write(f_.numberScratch_, digits, static_cast<uint32_t>(n) + 1);
      f_.pendingText_ = f_.numberScratch_;
      return end;
    }
    case 6:
      if (!Text(s0, text, given)) return Malformed();
      f_.pendingText_ = given ? static_cast<uint32_t>(s0.value) : 0;
      return end;
    case 10:
      if (!Text(s0, text, given) || !given) return Malformed();
      f_.Preload(text);
      return end;
    case 11:
      if (!Text(s0, text, given)) return Malformed();
      f_.Unload(given ? text.c_str() : nullptr);
      return end;
    default:
      break;
  }
  // Call, Jump and Return: slot 1 names a script, slot 0 is a label or (0xFF) an offset. Names
  // are copied first: a jump may release the script that holds them.
  if (!Text(s1, name, named)) return Malformed();
  named = named && !name.empty();
  const bool isOffset = s0.flags == kTgsSlotOffset;
  bool labelled = false;
  if (!isOffset && !Text(s0, label, labelled)) return Malformed();
  labelled = labelled && s0.value != 0;
  const char* namePtr = named ? name.c_str() : nullptr;
  const char* labelPtr = labelled ? label.c_str() : nullptr;
  const int32_t offset = isOffset ? s0.value : 0;
  std::optional<uint32_t> next;
  f_.position_ = end;
  switch (function) {
    case 7:
      if (named) f_.ResetMessageIndex();
      next = f_.Call(namePtr, labelPtr, offset);
      break;
    case 8:
      if (named) f_.ResetMessageIndex();
      next = f_.Jump(namePtr, labelPtr, offset);
      break;
    default:
      f_.ResetMessageIndex();
      next = f_.Return(namePtr, labelPtr, isOffset && offset == 0 ? -1 : offset);
      if (!next) f_.result_ = kTgsScriptEnded;
      break;
  }
  return next ? Next(*next) : Next(std::nullopt);
}

inline Next TgsRunner::Dispatch(uint32_t function, uint32_t count, uint32_t end, uint32_t start) {
  const TgsSlot* slots = f_.slotRow_.data();
  const uint32_t top = f_.valueTop_;
  if (uint64_t{top} + 2u * count > TgsFrameBase::kValueStackWords) return Malformed();
  // A jump takes only the room: its position is its first slot, which nothing reads from the stack.
  if (function <= kControlJumpLast) {
    f_.result_ = 0;
    return static_cast<uint32_t>(count ? slots[0].value : 0);
  }
  std::span<uint8_t> stack = f_.memory_.View(f_.valueStack_ + top * 4, count * 8u);
  // Slot by slot: a row is a few slots, too short for a block copy to pay its start. Each field
  // is read on its own, as it was written: a wider read of two just-stored words waits for both
  // stores to retire.
  for (uint32_t i = 0; i < stack.size() / 8; ++i) {
    uint32_t flags = slots[i].flags;
    int32_t value = slots[i].value;
    __asm__("" : "+r"(flags), "+r"(value));
    std::memcpy(stack.data() + 8 * i, &flags, 4);
    std::memcpy(stack.data() + 8 * i + 4, &value, 4);
  }
  f_.valueTop_ = top + 2u * count;
  return Call(function, count, stack.data(), end, start);
}

Next TgsRunner::Call(uint32_t function, uint32_t count, const uint8_t* laidAt, uint32_t end,
                     uint32_t start) {
  const uint32_t top = f_.valueTop_ - 2u * count;
  if (function < TgsFrameBase::kControlCount) {
    Next next = Control(function, {f_.slotRow_.data(), count}, end);
    f_.valueTop_ = top;
    return next;
  }
  std::span<const TgsSlot> laid;
  if (count) laid = {reinterpret_cast<const TgsSlot*>(laidAt), count};
  if (f_.trace_) {
    std::fprintf(stderr, "tgs %s +%u built-in %u", f_.current_ ? f_.current_->Name().c_str() : "",
                 static_cast<unsigned>(start), function);
    for (const TgsSlot& s : laid)
      std::fprintf(stderr, " (%u,%d)", static_cast<unsigned>(s.flags), static_cast<int>(s.value));
    std::fprintf(stderr, "\n");
  }
  f_.result_ = static_cast<int32_t>(function);
  f_.argumentCount_ = count;
  const int32_t chain = f_.waitChain_;
  if (!f_.operations_) {
    // Without the player's operations a built-in has nothing to act on.
    f_.valueTop_ = top;
    return Malformed();
  }
  f_.position_ = end;  // a built-in that stops the step is done: the next step goes on behind it
  TgsBuiltinCall call{f_, *f_.operations_, laid};
  f_.result_ = f_.builtins_[function](call);
  if (f_.waitChain_ == chain) f_.waitChain_ = 0;
  f_.valueTop_ = top;
  if (f_.result_ != 0) return std::nullopt;
  return end;
}

Next TgsInstruction::Execute() {
  uint32_t function = 0;
  uint8_t kind = 0;
  if (!Take(function) || function > kLastFunction || function >= f_.builtins_.size() ||
      !Take(kind)) {
    return Malformed();
  }
  if (record_) {
    record_->function = function;
    record_->invert = function == 0;
  }
  TgsDecodedOperand condition;
  int32_t value = 0;
  Outcome o = Condition(kind, condition);
  if (o != Outcome::kOk) return Malformed();
  if (record_) record_->condition = condition;
  o = Evaluate(condition, value, -1);
  if (o != Outcome::kOk) return Stop(o);
  return Skip(function, (value != 0) != (function == 0));
}

Next TgsInstruction::Skip(uint32_t function, bool truth) {
  const uint64_t skipAt = at_;
  uint32_t skip = 0;
  if (!Take(skip) || skip < 5 || skipAt + skip > size_) return Malformed();
  const uint32_t end = static_cast<uint32_t>(skipAt + skip);
  if (record_) {
    record_->next = end;
    record_->countAt = static_cast<uint32_t>(at_);
  }
  if (!truth) {
    if (record_) RecordSkippedArguments(end);
    Recorded();
    return end;
  }
  return Count(function, end);
}

void TgsInstruction::RecordSkippedArguments(uint32_t end) {
  // A dry run without the record first: the real one notes only arguments it can keep.
  const uint64_t from = at_;
  TgsDecodedStep* const record = std::exchange(record_, nullptr);
  const bool plain = ReadPlainArguments(end);
  record_ = record;
  at_ = from;
  if (plain) ReadPlainArguments(end);
}

bool TgsInstruction::ReadPlainArguments(uint32_t end) {
  uint8_t count = 0;
  if (!Take(count)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    // Embedded code (form 3 behind a slot flag other than 0 or 2) links as it is read.
    if (size_ - at_ >= 2 && code_[at_] != 0 && code_[at_] != 2 && code_[at_ + 1] == 3) return false;
    TgsDecodedOperand operand;
    if (Argument(operand) != Outcome::kOk) return false;
    if (record_) record_->arguments.push_back(operand);
  }
  if (at_ > end) return false;
  if (record_) {
    record_->count = count;
    record_->complete = true;
  }
  return true;
}

Next TgsInstruction::Count(uint32_t function, uint32_t end) {
  uint8_t count = 0;
  if (!Take(count)) return Malformed();
  return Arguments(function, end, count, 0);
}

Next TgsInstruction::Arguments(uint32_t function, uint32_t end, uint32_t count, uint32_t from) {
  std::vector<TgsSlot>& row = f_.slotRow_;  // laid on the value stack before anything may reuse it
  if (row.size() < count) row.resize(count);
  for (uint32_t i = from; i < count; ++i) {
    TgsDecodedOperand operand;
    if (Argument(operand) == Outcome::kMalformed) return Malformed();
    if (record_) record_->arguments.push_back(operand);
    row[i].flags = operand.flags;
    Outcome o = Evaluate(operand, row[i].value, static_cast<int32_t>(i + 1));
    if (o != Outcome::kOk) return Stop(o);
  }
  if (at_ > end) return Malformed();
  if (record_) {
    record_->complete = true;
    record_->count = count;
  }
  Recorded();
  return Dispatch(function, count, end, start_);
}

Next TgsInstruction::Resume(const Resumption& r) {
  at_ = r.at <= size_ ? r.at : size_;
  switch (r.phase) {
    case Phase::kSkip:
      return Skip(r.function, r.truth);
    case Phase::kCount:
      return Count(r.function, r.end);
    default:
      return Arguments(r.function, r.end, r.count, r.argument);
  }
}

Next TgsInstruction::Statement() {
  if (record_) record_->function = TgsDecodedStep::kStatement;
  TgsDecodedOperand code;
  if (Fragment(false, code) != Outcome::kOk) return Malformed();
  const auto next = static_cast<uint32_t>(at_);
  if (record_) {
    record_->condition = code;
    record_->next = next;
    record_->complete = true;
  }
  Recorded();
  Outcome o = RunFragment(code.a, false, nullptr);
  if (o == Outcome::kMalformed) return Malformed();
  if (o == Outcome::kFailed) return std::nullopt;
  return next;
}

Next TgsRunner::ReadOn(const Resumption& r, const TgsCode& code, uint32_t start, TgsScript* script,
                       const TgsDecodedStep& step, size_t stage) {
  TgsDecodedStep fresh;
  TgsDecodedStep* record = script && f_.decoding_ ? &fresh : nullptr;
  if (record) {
    // What the stages in front of this one read stands. Behind the skip, the reading goes on in
    // the stage that read the skip; anywhere else embedded code ran first, and it starts anew.
    fresh = step;
    fresh.stages.resize(stage + 1);
    if (r.phase != Phase::kCount) {
      fresh.stages[stage].readsEnd = stage ? fresh.stages[stage - 1].readsEnd : 0;
      fresh.reads.resize(fresh.stages[stage].readsEnd);
    }
    fresh.arguments.resize(r.phase == Phase::kArgument ? r.argument : 0);
    fresh.complete = false;
  }
  const uint32_t releases = TgsScript::Releases();
  TgsInstruction reader(f_, code, start, r.at, record);
  Next next = reader.Resume(r);
  if (record && fresh.position == start && TgsScript::Releases() == releases)
    script->KeepDecoded(fresh);
  return next;
}

inline Next TgsRunner::RunDecoded(const TgsDecodedStep& step, TgsScript& script) {
  if (step.function == TgsDecodedStep::kStatement) {
    Outcome o = RunFragment(step.condition.a, false, nullptr);
    if (o == Outcome::kMalformed) return Malformed();
    if (o == Outcome::kFailed) return std::nullopt;
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
  auto readOn = [&](Phase phase, uint32_t at, bool truth, uint32_t argument) {
    const bool gone = TgsScript::Releases() != releases;
    return ReadOn({phase, at, function, truth, end, count, argument}, TgsCode(script), start,
                  gone ? nullptr : &script, step, stage);
  };
  int32_t value = 0;
  bool truth = false;
  if (step.condition.form == TgsDecodedOperand::kExpression) {
    const uint32_t at = step.stages[stage].resumeAt;
    Outcome o = RunFragment(step.condition.a, true, &value);
    if (o != Outcome::kOk) return Stop(o);
    truth = (value != 0) != (function == 0);
    if (changed(step)) return readOn(Phase::kSkip, at, truth, 0);
    ++stage;
  } else {
    Outcome o = Operand(step.condition, value);
    if (o != Outcome::kOk) return Stop(o);
    truth = (value != 0) != (function == 0);
  }
  if (!truth) return end;
  if (step.jump) {
    // As Dispatch runs it, with the one slot.
    int32_t target = 0;
    if (count) {
      Outcome o = Operand(step.arguments[0], target);
      if (o != Outcome::kOk) return Stop(o);
    }
    if (uint64_t{f_.valueTop_} + 2u * count > TgsFrameBase::kValueStackWords) return Malformed();
    f_.result_ = 0;
    return static_cast<uint32_t>(target);
  }
  if (!step.complete) {
    // The first turn found the condition false and read no further.
    stage = step.stages.size() - 1;
    return readOn(Phase::kCount, step.countAt, truth, 0);
  }
  std::vector<TgsSlot>& row = f_.slotRow_;
  if (row.size() < count) row.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    const TgsDecodedOperand& operand = step.arguments[i];
    row[i].flags = operand.flags;
    if (operand.form != TgsDecodedOperand::kExpression) {
      Outcome o = Operand(operand, row[i].value);
      if (o != Outcome::kOk) return Stop(o);
      continue;
    }
    const uint32_t at = step.stages[stage].resumeAt;
    Outcome o = RunFragment(operand.a, true, &row[i].value);
    if (o != Outcome::kOk) return Stop(o);
    if (changed(step)) return readOn(Phase::kArgument, at, truth, i + 1);
    ++stage;
  }
  return Dispatch(function, count, end, start);
}

Next TgsInstruction::ReadStep(TgsFrameBase& frame, TgsScript& script, uint32_t pos,
                              bool& statement) {
  const uint8_t* code = script.Code();
  if (pos + 1 >= script.CodeSize()) {
    frame.malformed_ = true;
    return std::nullopt;
  }
  if (code[pos + 1] != ' ' && code[pos + 1] != 's') return pos + 1;  // the "[" is dropped
  statement = code[pos + 1] == 's';
  TgsDecodedStep fresh;
  TgsDecodedStep* record = frame.decoding_ ? &fresh : nullptr;
  const uint32_t releases = TgsScript::Releases();
  TgsInstruction reader(frame, TgsCode(script), pos, pos + 2, record);
  reader.BeginRecord();
  Next next = statement ? reader.Statement() : reader.Execute();
  if (record && fresh.position == pos && TgsScript::Releases() == releases)
    script.KeepDecoded(fresh);
  return next;
}

std::optional<uint32_t> TgsExecuteInstruction(TgsFrameBase& frame, uint32_t position) {
  return TgsInstruction(frame, TgsCode(*frame.current_), position - 2, position)
      .Execute()
      .Optional();
}

std::optional<uint32_t> TgsRunStatement(TgsFrameBase& frame, uint32_t position) {
  return TgsInstruction(frame, TgsCode(*frame.current_), position - 2, position)
      .Statement()
      .Optional();
}

int TgsRegisterFunction(TgsFrameBase& frame, TgsBuiltin function) {
  frame.builtins_.push_back(function);
  return static_cast<int>(frame.builtins_.size()) - 1;
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

uint64_t TgsRunner::RunLoop(TgsFrameBase& frame, TgsScript& script, const TgsDecodedStep& step,
                            uint64_t spent) {
  ScriptEngine* host = frame.host_;
  if (!host || !frame.decoding_) return 0;
  const uint32_t resultWord = host->HostVariableAddress(0);
  const TgsLoop* loop = step.loop;
  if (loop && (loop->ResultWord() != resultWord || !loop->Intact(script))) {
    step.loop = loop = nullptr;  // rebuilt from the steps as they now read, while tries last
  }
  if (!loop) {
    if (step.loopTries >= kLoopTries) return 0;
    ++step.loopTries;
    std::unique_ptr<TgsLoop> built = TgsLoop::Build(script, frame.memory_, step, resultWord);
    if (!built) return 0;
    step.loop = loop = script.KeepLoop(std::move(built));
    if (!loop) return 0;
  }
  // A jump that would not find room for its slots stops the step on the ordinary path.
  if (uint64_t{frame.valueTop_} + 2u * loop->MostSlots() > TgsFrameBase::kValueStackWords) return 0;
  uint64_t turns = ~uint64_t{0};
  if (frame.stepBudget_) turns = (frame.stepBudget_ - spent) / loop->Steps();
  if (turns == 0) return 0;
  uint64_t done = 0;
  const int exit = frame.runner_.RunStraight(loop->Unit(), turns, done);
  if (exit == kStraightRefused) {
    step.loop = nullptr;  // its code changed, or the runner cannot take it: not tried every turn
    return 0;
  }
  uint64_t steps = done * loop->Steps();
  bool resultZero = done && loop->TurnJumps();
  frame.position_ = loop->Position();
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
    Next next = std::nullopt;
    bool statement = false;
    if (pos >= script->CodeSize()) {
      frame.malformed_ = true;
    } else if (script->Code()[pos] != '[') {
      if (script->Code()[pos] == 0) return kTgsStepEnded;
      frame.position_ = CopyCharacter(frame, *script, pos);
      continue;
    } else if (const TgsDecodedStep* decoded = script->FindDecoded(pos, last)) {
      if (decoded->loop || decoded->loopTries < TgsRunner::kLoopTries) {
        if (const uint64_t ran = TgsRunner::RunLoop(frame, *script, *decoded, spent)) {
          spent += ran - 1;
          last = nullptr;
          continue;
        }
      }
      statement = decoded->function == TgsDecodedStep::kStatement;
      releases = TgsScript::Releases();
      next = TgsRunner(frame).RunDecoded(*decoded, *script);
      last = decoded;
    } else {
      next = TgsInstruction::ReadStep(frame, *script, pos, statement);
      last = nullptr;
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
    if (frame.current_ != script || TgsScript::Releases() != releases) last = nullptr;
    frame.position_ = *next;
  }
}

}  // namespace bw
