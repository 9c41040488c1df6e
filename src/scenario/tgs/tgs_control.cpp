// The control instructions and the call of a built-in with its slots laid.
#include <cstdio>
#include <string>
#include <utility>

#include "scenario/tgs/tgs_runner.h"

namespace bw {

// The main script's own request waits for this run.
TgsOutcome TgsRunner::RunBeside(uint32_t code, bool expression, int32_t* value) {
  ScriptRequest& request = f_.host_->Request();
  ScriptRequest outer = request;
  request.word = kRequestNone;
  TgsOutcome o = RunFragment(code, expression, value);
  // An Exit asked meanwhile stays: it ends the main script at its next wait.
  if (request.word != kRequestExit) request = std::move(outer);
  return o;
}

// A slot's text; false when the slot is given but its text cannot be read.
bool TgsRunner::Text(const TgsSlot& slot, std::string& out, bool& given) {
  out.clear();
  given = slot.flags != 0;
  // Without the text bit too: a variable's or an expression's value is the address of a text
  // in the main script's memory.
  if (!given || slot.value == 0) return true;
  if (!f_.memory_.ReadCString(static_cast<uint32_t>(slot.value), out, kTgsMaxSlotText)) {
    f_.memory_.TakeFault();
    return false;
  }
  return true;
}

TgsNext TgsRunner::Control(uint32_t function, std::span<const TgsSlot> slots, uint32_t end) {
  static const TgsSlot kNone{};
  const TgsSlot& s0 = slots.size() > 0 ? slots[0] : kNone;
  const TgsSlot& s1 = slots.size() > 1 ? slots[1] : kNone;
  f_.result_ = 0;
  if (function <= kTgsControlJumpLast) return static_cast<uint32_t>(s0.value);
  std::string text, name, label;
  bool given = false, named = false;
  switch (function) {
    case TgsNumber(TgsFunction::kNop):
      return end;
    case TgsNumber(TgsFunction::kPrintNumber): {
      char digits[16];
      int n = std::snprintf(digits, sizeof digits, "%d", s0.value);
      // Without a scratch block (a full arena at start-up) the address is 0: no text.
      (void)f_.memory_.Write(f_.numberScratch_, digits, static_cast<uint32_t>(n) + 1);
      f_.pendingText_ = f_.numberScratch_;
      return end;
    }
    case TgsNumber(TgsFunction::kPrintText):
      if (!Text(s0, text, given)) return Malformed();
      f_.pendingText_ = given ? static_cast<uint32_t>(s0.value) : 0;
      return end;
    case TgsNumber(TgsFunction::kPreload):
      if (!Text(s0, text, given) || !given) return Malformed();
      // A script that does not load is found missing when it is called.
      (void)f_.Preload(text);
      return end;
    case TgsNumber(TgsFunction::kUnload):
      if (!Text(s0, text, given)) return Malformed();
      // A script in use or not loaded stays as it is.
      (void)f_.Unload(given ? text.c_str() : nullptr);
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
    case TgsNumber(TgsFunction::kCall):
      if (named) f_.ResetMessageIndex();
      next = f_.Call(namePtr, labelPtr, offset);
      break;
    case TgsNumber(TgsFunction::kJump):
      if (named) f_.ResetMessageIndex();
      next = f_.Jump(namePtr, labelPtr, offset);
      break;
    default:
      f_.ResetMessageIndex();
      next = f_.Return(namePtr, labelPtr, isOffset && offset == 0 ? -1 : offset);
      if (!next) f_.result_ = kTgsScriptEnded;
      break;
  }
  return next ? TgsNext(*next) : TgsNext(std::nullopt);
}

TgsNext TgsRunner::Call(uint32_t function, uint32_t count, const uint8_t* laidAt, uint32_t end,
                        uint32_t start) {
  const uint32_t top = f_.valueTop_ - 2u * count;
  if (function < TgsFrameBase::kControlCount) {
    TgsNext next = Control(function, {f_.slotRow_.data(), count}, end);
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

int TgsRegisterFunction(TgsFrameBase& frame, TgsBuiltin function) {
  frame.builtins_.push_back(function);
  return static_cast<int>(frame.builtins_.size()) - 1;
}

}  // namespace bw
