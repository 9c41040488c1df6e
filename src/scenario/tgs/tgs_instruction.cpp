// Reading an instruction's or statement's fields from the code, and keeping what was read.
#include <cstring>
#include <utility>

#include "scenario/tgs/tgs_runner.h"

namespace bw {

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

TgsOutcome TgsInstruction::Fragment(bool expression, TgsDecodedOperand& operand) {
  // An expression counts its bytecode and link area in 16 bits, a statement in 32.
  uint32_t length = 0, area = 0;
  if (expression) {
    uint16_t l16 = 0;
    if (!Take(l16)) return TgsOutcome::kMalformed;
    length = l16;
  } else if (!Take(length)) {
    return TgsOutcome::kMalformed;
  }
  const uint64_t bytecodeAt = at_;
  if (size_ - at_ <= length) return TgsOutcome::kMalformed;  // the bytecode and its linked byte
  at_ += length;
  const uint64_t linkedAt = at_;
  uint8_t linked = code_[at_++];
  uint16_t m = 0;
  if (expression) {
    if (!Get(m) || m < 2) return TgsOutcome::kMalformed;
    area = m - 2u;
  } else {
    if (!Get(area) || area < 4) return TgsOutcome::kMalformed;
    area -= 4;
  }
  if (size_ - at_ < area) return TgsOutcome::kMalformed;
  const uint64_t listsAt = at_;
  at_ += area;
  const uint32_t code = codeStart_ + static_cast<uint32_t>(bytecodeAt);
  if (linked == 0) {
    ByteReader lists(code_ + listsAt, area);
    if (!TgsLinkBytecode(f_.memory_, lists, code, length, expression))
      return TgsOutcome::kMalformed;
    linked = 1;
    // Unmarked, the next run would link the rewritten operands again.
    if (!f_.memory_.Write(codeStart_ + static_cast<uint32_t>(linkedAt), &linked, 1)) {
      return TgsOutcome::kMalformed;
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
  return TgsOutcome::kOk;
}

TgsOutcome TgsInstruction::Condition(uint8_t kind, TgsDecodedOperand& operand) {
  switch (static_cast<TgsConditionKind>(kind)) {
    case TgsConditionKind::kConstant: {
      uint32_t c = 0;
      if (!Take(c)) return TgsOutcome::kMalformed;
      operand = {TgsDecodedOperand::kConstant, 0, c, 0};
      return TgsOutcome::kOk;
    }
    case TgsConditionKind::kTrue:
      operand = {TgsDecodedOperand::kConstant, 0, 1, 0};
      return TgsOutcome::kOk;
    case TgsConditionKind::kVariable: {
      uint32_t bank = 0, index = 0;
      if (!Take(bank) || !Take(index)) return TgsOutcome::kMalformed;
      operand = {TgsDecodedOperand::kVariable, 0, bank, index};
      return TgsOutcome::kOk;
    }
    case TgsConditionKind::kExpression:
      return Fragment(true, operand);
    default:
      return TgsOutcome::kMalformed;
  }
}

TgsOutcome TgsInstruction::Argument(TgsDecodedOperand& operand) {
  uint8_t a = 0, v = 0;
  if (!Take(a)) return TgsOutcome::kMalformed;
  uint32_t word = 0;
  if (a == kTgsArgumentNotGiven) {
    operand = {};
    return TgsOutcome::kOk;
  }
  if (a == kTgsArgumentBare) {
    if (!Take(word)) return TgsOutcome::kMalformed;
    operand = {TgsDecodedOperand::kConstant, 0, word, 0};
    return TgsOutcome::kOk;
  }
  if (!Take(v)) return TgsOutcome::kMalformed;
  switch (static_cast<TgsValueKind>(v)) {
    case TgsValueKind::kConstant:
      if (!Take(word)) return TgsOutcome::kMalformed;
      operand = {TgsDecodedOperand::kConstant, a, word, 0};
      return TgsOutcome::kOk;
    case TgsValueKind::kText: {
      uint16_t length = 0;
      if (!Take(length)) return TgsOutcome::kMalformed;
      const uint64_t at = at_;
      if (size_ - at_ < length || (length && code_[at_ + length - 1] != 0))
        return TgsOutcome::kMalformed;
      if (length) Note(at_ + length - 1, code_ + at_ + length - 1, 1);
      at_ += length;
      const uint32_t text = length ? codeStart_ + static_cast<uint32_t>(at) : 0;
      operand = {TgsDecodedOperand::kConstant, static_cast<uint8_t>(a | kTgsSlotText), text, 0};
      return TgsOutcome::kOk;
    }
    case TgsValueKind::kVariable: {
      uint32_t bank = 0, index = 0;
      if (!Take(bank) || !Take(index)) return TgsOutcome::kMalformed;
      operand = {TgsDecodedOperand::kVariable, a, bank, index};
      return TgsOutcome::kOk;
    }
    case TgsValueKind::kExpression: {
      TgsOutcome o = Fragment(true, operand);
      operand.flags = a;
      return o;
    }
    default:
      return TgsOutcome::kMalformed;
  }
}

TgsOutcome TgsInstruction::Evaluate(const TgsDecodedOperand& operand, int32_t& value,
                                    int32_t argument) {
  if (operand.form == TgsDecodedOperand::kExpression && record_) {
    Flush();
    const auto readsEnd = static_cast<uint32_t>(record_->reads.size());
    record_->stages.push_back({readsEnd, static_cast<uint32_t>(at_), argument});
  }
  return Operand(operand, value);
}

TgsNext TgsInstruction::Execute() {
  uint32_t function = 0;
  uint8_t kind = 0;
  if (!Take(function) || function > kTgsLastFunction || function >= f_.builtins_.size() ||
      !Take(kind)) {
    return Malformed();
  }
  if (record_) {
    record_->function = function;
    record_->invert = function == TgsNumber(TgsFunction::kJumpUnless);
  }
  TgsDecodedOperand condition;
  int32_t value = 0;
  TgsOutcome o = Condition(kind, condition);
  if (o != TgsOutcome::kOk) return Malformed();
  if (record_) record_->condition = condition;
  o = Evaluate(condition, value, -1);
  if (o != TgsOutcome::kOk) return Stop(o);
  return Skip(function, (value != 0) != (function == TgsNumber(TgsFunction::kJumpUnless)));
}

TgsNext TgsInstruction::Skip(uint32_t function, bool truth) {
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
  // The same arguments read plain just above.
  if (plain) (void)ReadPlainArguments(end);
}

bool TgsInstruction::ReadPlainArguments(uint32_t end) {
  uint8_t count = 0;
  if (!Take(count)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    // Embedded code (form 3 behind a slot flag other than 0 or 2) links as it is read.
    if (size_ - at_ >= 2 && code_[at_] != 0 && code_[at_] != 2 && code_[at_ + 1] == 3) return false;
    TgsDecodedOperand operand;
    if (Argument(operand) != TgsOutcome::kOk) return false;
    if (record_) record_->arguments.push_back(operand);
  }
  if (at_ > end) return false;
  if (record_) {
    record_->count = count;
    record_->complete = true;
  }
  return true;
}

TgsNext TgsInstruction::Count(uint32_t function, uint32_t end) {
  uint8_t count = 0;
  if (!Take(count)) return Malformed();
  return Arguments(function, end, count, 0);
}

TgsNext TgsInstruction::Arguments(uint32_t function, uint32_t end, uint32_t count, uint32_t from) {
  std::vector<TgsSlot>& row = f_.slotRow_;  // laid on the value stack before anything may reuse it
  if (row.size() < count) row.resize(count);
  for (uint32_t i = from; i < count; ++i) {
    TgsDecodedOperand operand;
    if (Argument(operand) == TgsOutcome::kMalformed) return Malformed();
    if (record_) record_->arguments.push_back(operand);
    row[i].flags = operand.flags;
    TgsOutcome o = Evaluate(operand, row[i].value, static_cast<int32_t>(i + 1));
    if (o != TgsOutcome::kOk) return Stop(o);
  }
  if (at_ > end) return Malformed();
  if (record_) {
    record_->complete = true;
    record_->count = count;
  }
  Recorded();
  return Dispatch(function, count, end, start_);
}

TgsNext TgsInstruction::Resume(const TgsResumption& r) {
  at_ = r.at <= size_ ? r.at : size_;
  switch (r.phase) {
    case TgsPhase::kSkip:
      return Skip(r.function, r.truth);
    case TgsPhase::kCount:
      return Count(r.function, r.end);
    default:
      return Arguments(r.function, r.end, r.count, r.argument);
  }
}

TgsNext TgsInstruction::Statement() {
  if (record_) record_->function = TgsDecodedStep::kStatement;
  TgsDecodedOperand code;
  if (Fragment(false, code) != TgsOutcome::kOk) return Malformed();
  const auto next = static_cast<uint32_t>(at_);
  if (record_) {
    record_->condition = code;
    record_->next = next;
    record_->complete = true;
  }
  Recorded();
  TgsOutcome o = RunFragment(code.a, false, nullptr);
  if (o == TgsOutcome::kMalformed) return Malformed();
  if (o == TgsOutcome::kFailed) return std::nullopt;
  return next;
}

TgsNext TgsInstruction::ReadStep(TgsFrameBase& frame, TgsScript& script, uint32_t pos,
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
  TgsNext next = statement ? reader.Statement() : reader.Execute();
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

}  // namespace bw
