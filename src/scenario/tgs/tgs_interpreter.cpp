#include "scenario/tgs/tgs_interpreter.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "common/global.h"
#include "common/sjis.h"
#include "host/cp932.h"
#include "scenario/tgs/tgs_call_record.h"
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
  Next(std::optional<uint32_t> next) : v_(next ? *next : kNone) {}  // NOLINT
  explicit operator bool() const { return v_ != kNone; }
  uint32_t operator*() const { return static_cast<uint32_t>(v_); }
  std::optional<uint32_t> Optional() const {
    return v_ != kNone ? std::optional<uint32_t>(static_cast<uint32_t>(v_)) : std::nullopt;
  }

 private:
  static constexpr uint64_t kNone = ~uint64_t{0};
  uint64_t v_;
};

}  // namespace

// Runs what needs no code read: linked main-script code, variables, and the steps decoded on an
// earlier turn.
class TgsRunner {
 public:
  explicit TgsRunner(TgsFrameBase& frame) : f_(frame) {}
  // Runs a step decoded on an earlier turn, as TgsInstruction's Execute or Statement would.
  [[gnu::always_inline]] Next RunDecoded(const TgsDecodedStep& step);

 protected:
  std::nullopt_t Malformed() {
    f_.malformed_ = true;
    return std::nullopt;
  }
  Outcome ReadVariable(uint32_t bank, uint32_t index, int32_t& value);
  [[gnu::always_inline]] Outcome Operand(const TgsDecodedOperand& operand, int32_t& value);
  // Runs linked bytecode at code.
  [[gnu::always_inline]] Outcome RunFragment(uint32_t code, bool expression, int32_t* value);
  [[gnu::noinline]] Outcome RunBeside(uint32_t code, bool expression, int32_t* value);

  TgsFrameBase& f_;
};

// Reads one instruction's fields from the current script's code and evaluates its operands. The
// cursor is a plain offset beside the code pointer, so that reads stay in registers; every read
// checks what remains of the code first.
class TgsInstruction : public TgsRunner {
 public:
  // record, when given, takes the step's fields as they are read, for a jump or a statement.
  TgsInstruction(TgsFrameBase& frame, uint32_t position, TgsDecodedStep* record = nullptr)
      : TgsRunner(frame),
        script_(*frame.current_),
        code_(script_.Code()),
        size_(script_.CodeSize()),
        at_(position <= size_ ? position : 0),
        start_(position - 2),
        record_(record) {}

  [[gnu::always_inline]] Next Execute();
  [[gnu::always_inline]] Next Statement();

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
  // Inlined into the instruction: a condition and an argument or two are on every turn of a
  // loop, and a call to each would save and restore the instruction's registers.
  [[gnu::always_inline]] Outcome Condition(uint8_t kind, bool& truth);
  [[gnu::always_inline]] Outcome Argument(TgsSlot& slot);
  Outcome Variable(int32_t& value);
  void Record(TgsDecodedOperand::Form form, uint32_t a, uint32_t b = 0) {
    if (recordInto_) *recordInto_ = {form, a, b};
  }
  [[gnu::always_inline]] Outcome Expression(int32_t& value);
  // Links (once) and runs L bytes of bytecode at the cursor, with the link area behind it.
  [[gnu::always_inline]] Outcome Fragment(bool expression, int32_t* value);
  bool Text(const TgsSlot& slot, std::string& out, bool& given);
  Next Control(uint32_t function, std::span<const TgsSlot> slots, uint32_t end);

  TgsScript& script_;
  const uint8_t* const code_;
  const uint64_t size_;
  uint64_t at_;     // never past size_
  uint32_t start_;  // the offset of "[ " or "[s"
  TgsDecodedStep* record_;
  TgsDecodedOperand* recordInto_ = nullptr;  // the operand being read, while recording
};

Outcome TgsInstruction::Variable(int32_t& value) {
  uint32_t bank = 0, index = 0;
  if (!Get(bank) || !Get(index)) return Outcome::kMalformed;
  Record(TgsDecodedOperand::kVariable, bank, index);
  return ReadVariable(bank, index, value);
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

inline Outcome TgsInstruction::Expression(int32_t& value) {
  return Fragment(true, &value);
}

inline Outcome TgsInstruction::Fragment(bool expression, int32_t* value) {
  // An expression counts its bytecode and link area in 16 bits, a statement in 32.
  uint32_t length = 0, area = 0;
  if (expression) {
    uint16_t l16 = 0;
    if (!Get(l16)) return Outcome::kMalformed;
    length = l16;
  } else if (!Get(length)) {
    return Outcome::kMalformed;
  }
  const uint64_t bytecodeAt = at_;
  if (size_ - at_ <= length) return Outcome::kMalformed;  // the bytecode and its linked byte
  at_ += length;
  const uint64_t linkedAt = at_;
  const uint8_t linked = code_[at_++];
  if (expression) {
    uint16_t m = 0;
    if (!Get(m) || m < 2) return Outcome::kMalformed;
    area = m - 2u;
  } else {
    if (!Get(area) || area < 4) return Outcome::kMalformed;
    area -= 4;
  }
  if (size_ - at_ < area) return Outcome::kMalformed;
  const uint64_t listsAt = at_;
  at_ += area;
  const uint32_t code = script_.CodeStart() + static_cast<uint32_t>(bytecodeAt);
  if (record_) {
    // The bytecode runs as it stands each time: what a decoded step keeps leaves it out.
    if (record_->bodyCount < TgsDecodedStep::kMaxBodies) {
      record_->bodies[record_->bodyCount] = {static_cast<uint32_t>(bytecodeAt),
                                             static_cast<uint32_t>(bytecodeAt + length)};
    }
    ++record_->bodyCount;
  }
  if (linked == 0) {
    ByteReader lists(code_ + listsAt, area);
    if (!TgsLinkBytecode(f_.memory_, lists, code, length, expression)) return Outcome::kMalformed;
    uint8_t one = 1;
    f_.memory_.Write(script_.CodeStart() + static_cast<uint32_t>(linkedAt), &one, 1);
  }
  Record(TgsDecodedOperand::kExpression, code);
  return RunFragment(code, expression, value);
}

inline Outcome TgsRunner::RunFragment(uint32_t code, bool expression, int32_t* value) {
  if (!f_.host_) return Outcome::kMalformed;
  ScriptRequest& request = f_.host_->Request();
  if (__builtin_expect(request.word != kRequestNone, 0)) return RunBeside(code, expression, value);
  GuestMemory& m = f_.memory_;
  const uint32_t result = expression ? f_.host_->HostVariableAddress(0) : 0;
  if (expression) m.Write32(result, 0);
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
    m.Read32(result, word);
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

inline Outcome TgsInstruction::Condition(uint8_t kind, bool& truth) {
  int32_t value = 0;
  Outcome o = Outcome::kOk;
  switch (kind) {
    case 0: {
      uint32_t c = 0;
      if (!Get(c)) return Outcome::kMalformed;
      value = static_cast<int32_t>(c);
      Record(TgsDecodedOperand::kConstant, c);
      break;
    }
    case 1:
      value = 1;
      Record(TgsDecodedOperand::kConstant, 1);
      break;
    case 2:
      o = Variable(value);
      break;
    case 3:
      o = Expression(value);
      break;
    default:
      return Outcome::kMalformed;
  }
  truth = value != 0;
  return o;
}

inline Outcome TgsInstruction::Argument(TgsSlot& slot) {
  uint8_t a = 0, v = 0;
  if (!Get8(a)) return Outcome::kMalformed;
  slot = {};
  if (a == 0) {
    Record(TgsDecodedOperand::kConstant, 0);
    return Outcome::kOk;
  }
  uint32_t word = 0;
  if (a == 2) {
    if (!Get(word)) return Outcome::kMalformed;
    slot.value = static_cast<int32_t>(word);
    Record(TgsDecodedOperand::kConstant, word);
    return Outcome::kOk;
  }
  slot.flags = a;
  if (!Get8(v)) return Outcome::kMalformed;
  switch (v) {
    case 0:
      if (!Get(word)) return Outcome::kMalformed;
      slot.value = static_cast<int32_t>(word);
      Record(TgsDecodedOperand::kConstant, word);
      return Outcome::kOk;
    case 1: {
      uint16_t length = 0;
      if (!Get(length)) return Outcome::kMalformed;
      const uint64_t at = at_;
      if (size_ - at_ < length || (length && code_[at_ + length - 1] != 0))
        return Outcome::kMalformed;
      at_ += length;
      slot.flags |= kTgsSlotText;
      slot.value = length ? static_cast<int32_t>(script_.CodeStart() + at) : 0;
      Record(TgsDecodedOperand::kConstant, static_cast<uint32_t>(slot.value));
      return Outcome::kOk;
    }
    case 2:
      return Variable(slot.value);
    case 3:
      return Expression(slot.value);
    default:
      return Outcome::kMalformed;
  }
}

// A text slot's contents; false when the slot is given but holds no text or the text cannot be
// read.
bool TgsInstruction::Text(const TgsSlot& slot, std::string& out, bool& given) {
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

Next TgsInstruction::Control(uint32_t function, std::span<const TgsSlot> slots, uint32_t end) {
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
      f_.memory_.Write(f_.numberScratch_, digits, static_cast<uint32_t>(n) + 1);
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
  return next;
}

inline Next TgsInstruction::Execute() {
  uint32_t function = 0, skip = 0;
  uint8_t kind = 0, count = 0;
  bool truth = false;
  if (!Get(function) || function > kLastFunction || function >= f_.builtins_.size() ||
      !Get8(kind)) {
    return Malformed();
  }
  if (record_) recordInto_ = &record_->condition;
  Outcome o = Condition(kind, truth);
  recordInto_ = nullptr;
  if (o != Outcome::kOk)
    return o == Outcome::kMalformed ? Malformed() : (f_.result_ = -1, std::nullopt);
  if (function == 0) truth = !truth;
  const uint64_t skipAt = at_;
  if (!Get(skip) || skip < 5 || skipAt + skip > size_) return Malformed();
  const uint32_t end = static_cast<uint32_t>(skipAt + skip);
  if (!truth) return end;
  if (!Get8(count)) return Malformed();
  std::vector<TgsSlot>& row = f_.slotRow_;  // laid on the value stack before anything may reuse it
  if (row.size() < count) row.resize(count);
  std::span<TgsSlot> slots(row.data(), count);
  for (TgsSlot& slot : slots) {
    if (record_ && &slot == slots.data()) recordInto_ = &record_->target;
    o = Argument(slot);
    recordInto_ = nullptr;
    if (o != Outcome::kOk)
      return o == Outcome::kMalformed ? Malformed() : (f_.result_ = -1, std::nullopt);
  }
  if (at_ > end) return Malformed();

  const uint32_t top = f_.valueTop_;
  if (uint64_t{top} + 2u * count > TgsFrameBase::kValueStackWords) return Malformed();
  const uint32_t at = f_.valueStack_ + top * 4;
  std::span<uint8_t> stack = f_.memory_.View(at, count * 8u);
  // Slot by slot: a row is a few slots, too short for a block copy to pay its start. Each field
  // is read on its own, as Argument wrote it: a wider read of two just-stored words waits for
  // both stores to retire.
  for (uint32_t i = 0; i < stack.size() / 8; ++i) {
    uint32_t flags = slots[i].flags;
    int32_t value = slots[i].value;
    __asm__("" : "+r"(flags), "+r"(value));
    std::memcpy(stack.data() + 8 * i, &flags, 4);
    std::memcpy(stack.data() + 8 * i + 4, &value, 4);
  }
  f_.valueTop_ = top + 2u * count;
  if (function <= kControlJumpLast) {  // a jump: the position is its first slot
    if (record_ && count <= 1) {
      record_->position = start_;
      record_->next = end;
      record_->invert = function == 0;
      record_->hasTarget = count == 1;
    }
    f_.result_ = 0;
    f_.valueTop_ = top;
    return static_cast<uint32_t>(count ? slots[0].value : 0);
  }
  if (function < TgsFrameBase::kControlCount) {
    Next next = Control(function, slots, end);
    f_.valueTop_ = top;
    return next;
  }
  std::span<const TgsSlot> laid;
  if (count) laid = {reinterpret_cast<const TgsSlot*>(stack.data()), count};
  if (f_.trace_) {
    std::fprintf(stderr, "tgs %s +%u built-in %u", script_.Name().c_str(),
                 static_cast<unsigned>(start_), function);
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

inline Next TgsInstruction::Statement() {
  if (record_) recordInto_ = &record_->condition;
  Outcome o = Fragment(false, nullptr);
  recordInto_ = nullptr;
  if (o == Outcome::kMalformed) return Malformed();
  if (o == Outcome::kFailed) return std::nullopt;
  if (record_) {
    record_->position = start_;
    record_->next = static_cast<uint32_t>(at_);
    record_->statement = true;
  }
  return static_cast<uint32_t>(at_);
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

inline Next TgsRunner::RunDecoded(const TgsDecodedStep& step) {
  if (step.statement) {
    Outcome o = RunFragment(step.condition.a, false, nullptr);
    if (o == Outcome::kMalformed) return Malformed();
    if (o == Outcome::kFailed) return std::nullopt;
    return step.next;
  }
  int32_t value = 0;
  Outcome o = Operand(step.condition, value);
  if (o != Outcome::kOk)
    return o == Outcome::kMalformed ? Malformed() : (f_.result_ = -1, std::nullopt);
  if ((value != 0) == step.invert) return step.next;
  int32_t target = 0;
  if (step.hasTarget) {
    o = Operand(step.target, target);
    if (o != Outcome::kOk)
      return o == Outcome::kMalformed ? Malformed() : (f_.result_ = -1, std::nullopt);
  }
  // The slot is laid on the value stack only while the jump runs; what counts is the room.
  if (uint64_t{f_.valueTop_} + (step.hasTarget ? 2u : 0u) > TgsFrameBase::kValueStackWords)
    return Malformed();
  f_.result_ = 0;
  return static_cast<uint32_t>(target);
}

std::optional<uint32_t> TgsExecuteInstruction(TgsFrameBase& frame, uint32_t position) {
  return TgsInstruction(frame, position).Execute().Optional();
}

std::optional<uint32_t> TgsRunStatement(TgsFrameBase& frame, uint32_t position) {
  return TgsInstruction(frame, position).Statement().Optional();
}

int TgsRegisterFunction(TgsFrameBase& frame, TgsBuiltin function) {
  frame.builtins_.push_back(function);
  return static_cast<int>(frame.builtins_.size()) - 1;
}

bool TgsLinkBytecode(GuestMemory& memory, ByteReader& lists, uint32_t code, uint32_t codeSize,
                     bool oneByteCounts) {
  const ScriptVmTables* tables = Global<ScriptVmTables>::Get();
  if (!tables || tables->memory != &memory) return false;
  for (int list = 1; list <= 5; ++list) {
    uint32_t count = 0;
    uint8_t small = 0;
    if (oneByteCounts ? !lists.u8(small) : !lists.u32le(count)) return false;
    if (oneByteCounts) count = small;
    if (!lists.has(uint64_t{count} * 8)) return false;
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t at = 0, value = 0, word = 0;
      lists.u32le(at);
      lists.u32le(value);
      if (at > codeSize || codeSize - at < 4) return false;
      if (!RelocationWord(list, value, code, codeSize, *tables, word) ||
          !memory.Write32(code + at, word)) {
        memory.TakeFault();
        return false;
      }
    }
  }
  return true;
}

int TgsRunNested(TgsFrameBase& frame, bool jumpAllowed, bool alreadyRunning) {
  ScriptEngine* host = frame.host_;
  if (!host) return kTgsNestedNoHost;
  BytecodeVm& runner = frame.runner_;
  ScriptRequest& request = host->Request();
  int nested = 0;
  int r = alreadyRunning ? frame.lastRun_ : runner.Run();
  // Scripts this run loaded go again whichever way it ends.
  auto finish = [&](int answer) {
    for (; nested > 0; --nested) host->UnloadLastScript();
    request.word = kRequestNone;
    return answer;
  };
  for (;;) {
    if (r == kRunFault) return finish(kTgsNestedFault);
    switch (request.word) {
      case kRequestNone:
        if (r == kRunWaiting) {
          if (!frame.frameStep_ || frame.frameStep_() == 0) return finish(kTgsNestedQuit);
        } else {
          if (nested == 0) return finish(0);
          --nested;
          host->UnloadLastScript();
          if (runner.PopInstructionPointer() != 0) return finish(kTgsNestedFault);
        }
        break;
      case kRequestCall:
        if (runner.PushInstructionPointer() != 0) return finish(kTgsNestedFault);
        if (request.nameTooLong || host->LoadScript(request.name, &runner) != 0) {
          frame.ShowMessage(host::Cp932Literal("Call命令でスクリプトのロードに失敗"));
          return finish(kTgsNestedCallFailed);
        }
        ++nested;
        request.word = kRequestNone;
        break;
      case kRequestJump:
        if (!jumpAllowed) {
          frame.ShowMessage(host::Cp932Literal("システムスクリプト中でJump命令は使用できません"));
          return finish(kTgsNestedJumpRefused);
        }
        host->UnloadLastScript();
        if (nested > 0) --nested;
        if (request.nameTooLong || host->LoadScript(request.name, &runner) != 0) {
          frame.ShowMessage(host::Cp932Literal("Jump命令でスクリプトのロードに失敗"));
          return finish(kTgsNestedJumpFailed);
        }
        ++nested;
        request.word = kRequestNone;
        break;
      default:
        return finish(kTgsNestedQuit);
    }
    r = runner.Run();
  }
}

namespace {

void CopyText(TgsFrameBase& frame, std::string_view chars) {
  std::string& text = frame.Text();
  size_t room = TgsFrameBase::kTextBufferBytes - 1 -
                std::min(text.size(), TgsFrameBase::kTextBufferBytes - 1);
  text.append(chars.substr(0, sjis::FitLength(chars, room)));
}

}  // namespace

int TgsRunStep(TgsFrameBase& frame) {
  if (!frame.current_) return kTgsStepNoScript;
  frame.malformed_ = false;
  for (uint64_t spent = 0;; ++spent) {
    if (frame.stepBudget_ && spent == frame.stepBudget_) {
      std::fprintf(stderr, "TGS script %s: the step's budget is spent\n",
                   host::Cp932ToUtf8Lenient(frame.current_->Name()).c_str());
      frame.valueTop_ = 0;
      return kTgsStepMalformed;
    }
    if (frame.pendingText_) {
      std::string pending;
      if (frame.memory_.ReadCString(frame.pendingText_, pending, TgsFrameBase::kTextBufferBytes)) {
        CopyText(frame, pending);
      }
      frame.memory_.TakeFault();
      frame.pendingText_ = 0;
    }
    TgsScript* script = frame.current_;
    const uint8_t* code = script->Code();
    const uint32_t size = script->CodeSize();
    const uint32_t pos = frame.position_;
    Next next = std::nullopt;
    bool statement = false;
    if (const TgsDecodedStep* decoded = script->FindDecoded(pos)) {
      statement = decoded->statement;
      next = TgsRunner(frame).RunDecoded(*decoded);
    } else if (pos >= size) {
      frame.malformed_ = true;
    } else if (code[pos] == 0) {
      return kTgsStepEnded;
    } else if (code[pos] != '[') {
      const bool pair = sjis::IsLeadByte(code[pos]) && pos + 1 < size && code[pos + 1] != 0;
      CopyText(frame, {reinterpret_cast<const char*>(code + pos), pair ? 2u : 1u});
      frame.position_ = pos + (pair ? 2 : 1);
      continue;
    } else if (pos + 1 >= size) {
      frame.malformed_ = true;
    } else if (code[pos + 1] == ' ' || code[pos + 1] == 's') {
      statement = code[pos + 1] == 's';
      TgsDecodedStep step;
      const uint32_t releases = TgsScript::Releases();
      TgsInstruction instruction(frame, pos + 2, &step);
      next = statement ? instruction.Statement() : instruction.Execute();
      if (step.position == pos && TgsScript::Releases() == releases) script->KeepDecoded(step);
    } else {
      frame.position_ = pos + 1;
      continue;
    }
    if (frame.malformed_) {
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
    frame.position_ = *next;
  }
}

}  // namespace bw
