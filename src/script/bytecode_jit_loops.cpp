#include "script/bytecode_jit_loops.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <map>
#include <set>
#include <unordered_map>
#include <utility>

#include "script/bytecode_jit.h"
#include "script/jit_assembler.h"

namespace bw {

#if defined(__x86_64__)

namespace {

using namespace jit;

// Where a loop keeps its variables. Outside loops ebx and ebp hold the stack's bounds, which
// every way out of the loop loads again.
constexpr int kVariableRegisters[] = {esi, edi, r8, r9, r10, r11, ebx, ebp};
constexpr int kTemporaries[] = {edx, ecx, eax};

constexpr uint32_t kNull = GuestMemory::kNullPage;

bool IsBinary(uint32_t op) {
  return (op >= kOpAdd && op <= kOpXor) || op == kOpShiftRight || op == kOpShiftLeft ||
         (op >= kOpLess && op <= kOpNotEqual);
}
bool InLoops(uint32_t op) {
  switch (op) {
    case kOpJump:
    case kOpJumpIfZero:
    case kOpSet:
    case kOpMove:
    case kOpStoreIndirect:
    case kOpDeref:
    case kOpNot:
    case kOpLogicalNot:
    case kOpIncrement:
    case kOpDecrement:
      return true;
    default:
      return IsBinary(op);
  }
}
// Whether operand word k of op holds a value (else an address of data or code).
bool IsValueWord(uint32_t op, uint32_t k) {
  switch (op) {
    case kOpJump:
    case kOpMove:
    case kOpDeref:
    case kOpIncrement:
    case kOpDecrement:
      return false;
    case kOpJumpIfZero:
    case kOpSet:
    case kOpNot:
    case kOpLogicalNot:
    case kOpStoreIndirect:
      return k == 1;
    default:
      return k != 3;
  }
}
// The operand word naming the address op stores to, 0 for none.
uint32_t StoredWord(uint32_t op) {
  switch (op) {
    case kOpSet:
    case kOpMove:
    case kOpDeref:
    case kOpNot:
    case kOpLogicalNot:
      return 2;
    case kOpIncrement:
    case kOpDecrement:
      return 1;
    default:
      return IsBinary(op) ? 3 : 0;
  }
}
// The operand word naming an address op reads a word from, 0 for none.
uint32_t ReadWord(uint32_t op) {
  switch (op) {
    case kOpMove:
    case kOpDeref:
    case kOpIncrement:
    case kOpDecrement:
      return 1;
    case kOpStoreIndirect:
      return 2;
    default:
      return 0;
  }
}

// Where a value is: a constant, a register, or the guest word at an address.
struct Source {
  enum Kind { kConstant, kRegister, kMemory } kind;
  uint32_t value;
  bool In(int reg) const { return kind == kRegister && value == static_cast<uint32_t>(reg); }
};

class LoopTranslator {
 public:
  LoopTranslator(GuestMemory& memory, const std::vector<ListedInstruction>& list, uint32_t firstTag)
      : memory_(memory), list_(list), firstTag_(firstTag) {
    for (size_t i = 0; i < list.size(); ++i) indexOf_.emplace(list[i].address, i);
  }

  std::vector<TranslatedLoop> Run() {
    // A jump back to an instruction at or before it closes a loop.
    std::vector<std::pair<size_t, size_t>> ranges;
    for (size_t i = 0; i < list_.size(); ++i) {
      const uint32_t op = list_[i].opcode;
      if (op != kOpJump && op != kOpJumpIfZero) continue;
      auto it = indexOf_.find(Word(list_[i].address + (op == kOpJump ? 4 : 8)));
      if (it != indexOf_.end() && it->second <= i) ranges.push_back({it->second, i});
    }
    depth_.assign(list_.size(), 0);
    for (auto [first, last] : ranges) {
      for (size_t k = first; k <= last; ++k) ++depth_[k];
    }
    // The widest first; an inner loop is tried where its outer one cannot run trusted.
    std::sort(ranges.begin(), ranges.end(),
              [](const auto& a, const auto& b) { return a.second - a.first > b.second - b.first; });
    std::vector<TranslatedLoop> loops;
    for (auto [first, last] : ranges) {
      bool overlaps = false;
      for (const TranslatedLoop& t : loops)
        overlaps = overlaps || !(last < t.first || first > t.last);
      if (!overlaps && Eligible(first, last)) loops.push_back(Translate(first, last));
    }
    std::sort(loops.begin(), loops.end(),
              [](const TranslatedLoop& a, const TranslatedLoop& b) { return a.first < b.first; });
    return loops;
  }

 private:
  uint32_t Word(uint64_t address) const {
    uint32_t v = 0;
    memory_.Read32(static_cast<uint32_t>(address), v);
    return v;
  }
  uint32_t Operand(size_t k, uint32_t w) const { return Word(list_[k].address + 4 * w); }

  // Every instruction of the loop can run trusted, its addresses are good, and no store of the
  // loop lands on a word the loop reads as an instruction.
  bool Eligible(size_t first, size_t last) {
    written_.clear();
    for (size_t k = first; k <= last; ++k) {
      const uint32_t op = list_[k].opcode;
      if (!InLoops(op)) return false;
      for (uint32_t w = 1; w <= kOpcodeOperands[op]; ++w) {
        const bool target = op == kOpJump || (op == kOpJumpIfZero && w == 2);
        if (!IsValueWord(op, w) && !target && !memory_.Valid(Operand(k, w), 4)) return false;
      }
      if (StoredWord(op)) written_.insert(Operand(k, StoredWord(op)));
    }
    for (size_t k = first; k <= last; ++k) {
      const uint32_t op = list_[k].opcode;
      for (uint32_t w = 0; w <= kOpcodeOperands[op]; ++w) {
        const bool instructionWord = w == 0 || !IsValueWord(op, w);
        if (instructionWord && Written(list_[k].address + 4 * w)) return false;
      }
    }
    return true;
  }
  // Whether a store of the loop reaches into the word at address.
  bool Written(uint32_t address) const {
    auto it = written_.lower_bound(address >= 3 ? address - 3 : 0);
    return it != written_.end() && *it < uint64_t{address} + 4;
  }

  TranslatedLoop Translate(size_t first, size_t last) {
    TranslatedLoop loop;
    loop.first = first;
    loop.last = last;
    first_ = first;
    last_ = last;
    lo_ = list_[first].address;
    hi_ = list_[last].next;
    ChooseVariables(first, last);
    for (int v = 0; v < 2; ++v) {
      loop.entry[v] = Entry();
      loop.body[v] = Body(first, last, v == 1);
    }
    return loop;
  }

  // The variables read most, the inner loops' first, go into registers; never two that share
  // bytes, nor a word of the loop itself.
  void ChooseVariables(size_t first, size_t last) {
    std::map<uint32_t, uint64_t> weight;
    for (size_t k = first; k <= last; ++k) {
      const uint32_t w = ReadWord(list_[k].opcode);
      if (w) weight[Operand(k, w)] += uint64_t{1} << (4 * std::min(depth_[k], 12u));
      const uint32_t s = StoredWord(list_[k].opcode);
      if (s) weight.emplace(Operand(k, s), 0);
    }
    std::vector<std::pair<uint64_t, uint32_t>> ranked;
    for (auto it = weight.begin(); it != weight.end(); ++it) {
      auto next = std::next(it);
      const bool shared = (it != weight.begin() && Overlap(std::prev(it)->first, it->first)) ||
                          (next != weight.end() && Overlap(it->first, next->first));
      const bool inLoop = uint64_t{it->first} + 4 > lo_ && it->first < hi_;
      if (!shared && !inLoop && it->second) ranked.push_back({it->second, it->first});
    }
    std::sort(ranked.begin(), ranked.end(), std::greater<>());
    variables_.clear();
    for (size_t i = 0; i < ranked.size() && i < std::size(kVariableRegisters); ++i)
      variables_[ranked[i].second] = kVariableRegisters[i];
    // A store through a pointer must not reach the loop's code, nor a word the loop keeps in
    // a register or stores to while its stores wait.
    guarded_ = {{lo_, hi_}};
    std::set<uint32_t> data;
    for (auto [address, reg] : variables_) data.insert(address);
    for (uint32_t address : written_) {
      if (address >= hi_ || uint64_t{address} + 4 <= lo_) data.insert(address);
    }
    if (!data.empty()) {
      const uint32_t from = *data.begin();
      const uint64_t to = uint64_t{*data.rbegin()} + 4;
      // Data just behind or before the code shares its test.
      if (from >= hi_ && from - hi_ <= 64) {
        guarded_[0].second = static_cast<uint32_t>(std::max<uint64_t>(hi_, to));
      } else if (to <= lo_ && lo_ - to <= 64) {
        guarded_[0].first = from;
      } else {
        guarded_.push_back({from, static_cast<uint32_t>(to)});
      }
    }
    restoreStack_ = false;
    for (auto [address, reg] : variables_)
      restoreStack_ = restoreStack_ || reg == ebx || reg == ebp;
  }

  // What an instruction word holds once translated: opcode words hold their tags.
  uint32_t Expected(uint32_t address) const {
    auto it = indexOf_.find(address);
    return it != indexOf_.end() ? firstTag_ + static_cast<uint32_t>(it->second) : Word(address);
  }

  // Compares every word the loop does not write with its translation, two at a time where two
  // stand together; a difference leaves for the plain code behind. Then loads the variables.
  MachineCode Entry() {
    Assembler as;
    for (uint64_t a = lo_; a < hi_;) {
      if (Written(static_cast<uint32_t>(a))) {
        a += 4;
        continue;
      }
      if (a + 8 <= hi_ && !Written(static_cast<uint32_t>(a + 4))) {
        as.MovRI64(eax, Expected(static_cast<uint32_t>(a)) |
                            uint64_t{Expected(static_cast<uint32_t>(a + 4))} << 32);
        as.CmpMQ(static_cast<uint32_t>(a), eax);
        a += 8;
      } else {
        as.CmpMI(static_cast<uint32_t>(a), Expected(static_cast<uint32_t>(a)));
        a += 4;
      }
      as.JccOut(kNotEqual, CodeFixup::kEntryEnd, 0);
    }
    for (auto [address, reg] : variables_) as.Load(reg, address);
    as.JmpOut(CodeFixup::kBody, 0);
    as.Finish();
    return std::move(as.code);
  }

  MachineCode Body(size_t first, size_t last, bool counted) {
    Assembler as;
    as_ = &as;
    counted_ = counted;
    labels_.clear();
    stubs_.clear();
    std::set<size_t> targets{first};
    for (size_t k = first; k <= last; ++k) {
      labels_.push_back(as.NewLabel());
      const uint32_t op = list_[k].opcode;
      if (op != kOpJump && op != kOpJumpIfZero) continue;
      auto it = indexOf_.find(Operand(k, op == kOpJump ? 1 : 2));
      if (it != indexOf_.end() && it->second >= first && it->second <= last)
        targets.insert(it->second);
    }
    if (!counted) {
      for (size_t k : targets) as.Overwrites(labels_[k - first], Overwritten(k));
    }
    in_.clear();
    for (auto [address, reg] : variables_) in_[address] = reg;
    for (size_t k = first; k <= last; ++k) {
      if (targets.count(k)) {
        as.Bind(labels_[k - first]);
        ForgetTemporaries();
        as.ForgetFlags();
      } else {
        as.Mark(labels_[k - first]);
      }
      if (counted) {
        as.CountDown();
        as.JccOut(kBelow, CodeFixup::kExit, kExitFault);
      }
      Instruction(k);
    }
    const uint32_t op = list_[last].opcode;
    if (op != kOpJump) as.Jmp(Target(list_[last].next));
    for (auto [key, label] : stubs_) {
      const uint32_t address = key.first;
      as.Bind(label);
      if (key.second) as.CountBack();
      if (restoreStack_) {
        as.LoadContext(ebx, offsetof(JitContext, stackBottom));
        as.LoadContext(ebp, offsetof(JitContext, stackTop));
      }
      auto it = indexOf_.find(address);
      if (it != indexOf_.end()) {
        as.JmpOut(CodeFixup::kInstruction, static_cast<uint32_t>(it->second));
      } else {
        as.MovRI(eax, address);
        as.JmpOut(CodeFixup::kExit, kExitDispatch);
      }
    }
    as.EmitPads();
    as.Finish();
    return std::move(as.code);
  }

  // The words that the instructions from k on store to before anything could see the word:
  // before a test, a jump out, a fault or a read through a pointer, and before a read of the
  // word itself. Jumps inside the loop are followed.
  std::vector<uint32_t> Overwritten(size_t k) const {
    std::vector<uint32_t> read, written;
    auto seen = [](const std::vector<uint32_t>& words, uint32_t address) {
      for (uint32_t w : words) {
        if (Overlap(w, address)) return true;
      }
      return false;
    };
    std::set<size_t> visited;
    for (size_t m = k; m <= last_ && visited.insert(m).second; ++m) {
      const uint32_t op = list_[m].opcode;
      if (op == kOpJump) {
        auto it = indexOf_.find(Operand(m, 1));
        if (it == indexOf_.end() || it->second < first_ || it->second > last_) break;
        m = it->second - 1;
        continue;
      }
      const bool divides = op >= kOpDiv && op <= kOpModPositive;
      if (op == kOpJumpIfZero || op == kOpStoreIndirect || op == kOpDeref || divides) break;
      for (uint32_t w = 1; w <= kOpcodeOperands[op]; ++w) {
        const uint32_t at = list_[m].address + 4 * w;
        if (IsValueWord(op, w) && Written(at)) read.push_back(at);
      }
      if (ReadWord(op)) read.push_back(Operand(m, ReadWord(op)));
      if (!StoredWord(op)) continue;
      const uint32_t to = Operand(m, StoredWord(op));
      // Only a store of the whole word, to a word no earlier instruction of the run read.
      bool clean = !seen(read, to);
      for (uint32_t w : written) clean = clean && (w == to || !Overlap(w, to));
      if (clean) written.push_back(to);
    }
    return written;
  }

  // The label a jump to address takes: the instruction's own inside the loop, else a way out.
  int Target(uint32_t address) {
    auto it = indexOf_.find(address);
    if (it != indexOf_.end() && it->second >= first_ && it->second <= last_)
      return labels_[it->second - first_];
    return Leave(address);
  }
  // A way out of the loop to the plain code at address; again: to run an instruction whose
  // unit of the budget was spent already.
  int Leave(uint32_t address, bool again = false) {
    const std::pair<uint32_t, bool> key{address, again && counted_};
    auto it = stubs_.find(key);
    if (it != stubs_.end()) return it->second;
    const int label = as_->NewLabel();
    stubs_.emplace(key, label);
    return label;
  }

  // The registers that hold what the words at addresses hold.
  void Clobber(int reg) {
    for (auto it = in_.begin(); it != in_.end();)
      it = it->second == reg ? in_.erase(it) : std::next(it);
  }
  void ForgetTemporaries() {
    for (int t : kTemporaries) Clobber(t);
  }
  Source Read(uint32_t address) const {
    auto it = in_.find(address);
    if (it != in_.end()) return {Source::kRegister, static_cast<uint32_t>(it->second)};
    return {Source::kMemory, address};
  }
  // Operand word w of instruction k: a constant where the loop never writes it.
  Source Value(size_t k, uint32_t w) const {
    const uint32_t address = list_[k].address + 4 * w;
    if (!Written(address)) return {Source::kConstant, Word(address)};
    return Read(address);
  }
  void Into(int reg, const Source& s) {
    if (s.In(reg)) return;
    Clobber(reg);
    if (s.kind == Source::kConstant) {
      as_->MovRI(reg, s.value);
    } else if (s.kind == Source::kRegister) {
      as_->MovRR(reg, static_cast<int>(s.value));
    } else {
      as_->Load(reg, s.value);
      in_[s.value] = reg;
    }
  }
  // A temporary other than those given: one holding nothing and no waiting store's value if
  // any, else one holding nothing.
  int Temporary(int avoid1 = -1, int avoid2 = -1) {
    int chosen = -1, idle = -1;
    for (int t : kTemporaries) {
      if (t == avoid1 || t == avoid2) continue;
      bool free = true;
      for (auto [address, reg] : in_) free = free && reg != t;
      if (free && !as_->Waiting(t)) return t;
      if (free && idle < 0) idle = t;
      if (chosen < 0) chosen = t;
    }
    return idle >= 0 ? idle : chosen;
  }
  // Stores reg at address (memory first, as every store goes there), and remembers it.
  void Write(uint32_t address, int reg) {
    for (auto it = in_.begin(); it != in_.end();) {
      it = Overlap(it->first, address) ? in_.erase(it) : std::next(it);
    }
    auto v = variables_.find(address);
    if (v != variables_.end()) {
      if (v->second != reg) KeepWaiting(v->second, reg);
      Clobber(v->second);
      as_->MovRR(v->second, reg);
      reg = v->second;
    }
    as_->Store(address, reg);
    in_[address] = reg;
  }
  // A temporary that is neither a nor b.
  static int Scratch(int a, int b) {
    for (int t : kTemporaries) {
      if (t != a && t != b) return t;
    }
    return eax;
  }
  // Before a variable's register changes, the stores still waiting on its value take it from
  // a temporary, so that they can wait on with the others.
  void KeepWaiting(int reg, int avoid1 = -1, int avoid2 = -1) {
    if (!as_->Waiting(reg)) return;
    const int spare = Temporary(avoid1, avoid2);
    Clobber(spare);
    as_->Rename(reg, spare);
  }
  // Faults unless reg names a word of the used arena.
  void CheckGuest(int reg, int scratch) {
    Clobber(scratch);
    as_->Lea(scratch, reg, static_cast<uint32_t>(-static_cast<int64_t>(kNull)));
    as_->AluRR(kCmp, scratch, r12);
    as_->JccOut(kAbove, CodeFixup::kExit, kExitFault);
  }

  // A register holding s: its own, else spare loaded with it.
  int InRegister(const Source& s, int spare) {
    if (s.kind == Source::kRegister) return static_cast<int>(s.value);
    Into(spare, s);
    return spare;
  }

  void Instruction(size_t k);
  void Binary(size_t k);
  void Compare(size_t k);
  void Divide(uint32_t op, Source b);
  void StoreIndirect(size_t k);

  GuestMemory& memory_;
  const std::vector<ListedInstruction>& list_;
  uint32_t firstTag_;
  std::unordered_map<uint32_t, size_t> indexOf_;
  std::vector<uint32_t> depth_;
  std::set<uint32_t> written_;
  uint32_t lo_ = 0, hi_ = 0;
  std::map<uint32_t, int> variables_;
  // The ranges a store through a pointer must not reach: the loop's code and its variables.
  std::vector<std::pair<uint32_t, uint32_t>> guarded_;
  bool restoreStack_ = false;
  // While a body is written:
  size_t first_ = 0, last_ = 0;
  Assembler* as_ = nullptr;
  std::vector<int> labels_;
  std::map<std::pair<uint32_t, bool>, int> stubs_;  // (address, run again): label
  bool counted_ = false;
  std::map<uint32_t, int> in_;
};

void LoopTranslator::Instruction(size_t k) {
  const uint32_t op = list_[k].opcode;
  switch (op) {
    case kOpJump:
      as_->Jmp(Target(Operand(k, 1)));
      return;
    case kOpJumpIfZero: {
      const Source s = Value(k, 1);
      const int to = Target(Operand(k, 2));
      if (s.kind == Source::kConstant) {
        if (s.value == 0) as_->Jmp(to);
        return;
      }
      int condition = 0;
      if (s.kind == Source::kRegister && as_->Flagged(static_cast<int>(s.value), condition)) {
        as_->Jcc(condition ^ 1, to);  // a compare's result of 0: its condition failed
        return;
      }
      if (s.kind == Source::kRegister) {
        as_->Test(static_cast<int>(s.value), static_cast<int>(s.value));
      } else {
        as_->CmpMI(s.value, 0);
      }
      as_->Jcc(kEqual, to);
      return;
    }
    case kOpSet:
    case kOpMove: {
      const Source s = op == kOpSet ? Value(k, 1) : Read(Operand(k, 1));
      int reg = static_cast<int>(s.value);
      if (s.kind != Source::kRegister) {
        reg = Temporary();
        Into(reg, s);
      }
      Write(Operand(k, 2), reg);
      return;
    }
    case kOpIncrement:
    case kOpDecrement: {
      const uint32_t a = Operand(k, 1);
      auto v = variables_.find(a);
      const int reg = v != variables_.end() ? v->second : Temporary();
      Into(reg, Read(a));
      if (v != variables_.end()) KeepWaiting(reg);
      Clobber(reg);
      as_->Step(op == kOpDecrement, reg);
      Write(a, reg);
      return;
    }
    case kOpNot:
    case kOpLogicalNot:
      Into(eax, Value(k, 1));
      Clobber(eax);
      if (op == kOpNot) {
        as_->Unary(kNot, eax);
      } else {
        as_->Test(eax, eax);
        as_->SetEax(kEqual, false);
      }
      Write(Operand(k, 2), eax);
      return;
    case kOpDeref: {
      const int pointer = InRegister(Read(Operand(k, 1)), eax);
      const int scratch = Scratch(pointer, eax);
      CheckGuest(pointer, scratch);
      Clobber(eax);
      as_->LoadAt(eax, pointer, scratch);
      Write(Operand(k, 2), eax);
      return;
    }
    case kOpStoreIndirect:
      StoreIndirect(k);
      return;
    default:
      Binary(k);
      return;
  }
}

void LoopTranslator::Binary(size_t k) {
  const uint32_t op = list_[k].opcode;
  if (op >= kOpLess) return Compare(k);
  const Source a = Value(k, 1);
  Source b = Value(k, 2);
  // The result is worked out where it goes: in its variable's register, else in eax.
  auto v = variables_.find(Operand(k, 3));
  const bool divide = op >= kOpDiv && op <= kOpModPositive;
  int reg = v != variables_.end() && !divide && !b.In(v->second) ? v->second : eax;
  if (b.In(reg) && !a.In(reg)) {  // a second operand held there moves out first
    const int spare = a.In(edx) ? ecx : edx;
    Clobber(spare);
    as_->MovRR(spare, reg);
    b = {Source::kRegister, static_cast<uint32_t>(spare)};
  }
  Into(reg, a);
  if (reg != eax) KeepWaiting(reg, b.kind == Source::kRegister ? static_cast<int>(b.value) : -1);
  Clobber(reg);
  auto alu = [&](int group) {
    if (b.kind == Source::kConstant) {
      as_->AluRI(group, reg, b.value);
    } else if (b.kind == Source::kRegister) {
      as_->AluRR(group, reg, static_cast<int>(b.value));
    } else {
      as_->AluRM(group, reg, b.value);
    }
  };
  switch (op) {
    case kOpAdd:
      alu(kAdd);
      break;
    case kOpSub:
      alu(kSub);
      break;
    case kOpAnd:
      alu(kAnd);
      break;
    case kOpOr:
      alu(kOr);
      break;
    case kOpXor:
      alu(kXor);
      break;
    case kOpMul:
      if (b.kind == Source::kConstant) {
        as_->ImulRI(reg, b.value);
      } else if (b.kind == Source::kRegister) {
        as_->ImulRR(reg, static_cast<int>(b.value));
      } else {
        as_->ImulRM(reg, b.value);
      }
      break;
    case kOpShiftLeft:
    case kOpShiftRight: {
      const int digit = op == kOpShiftLeft ? kShiftLeft : kShiftRight;
      if (b.kind == Source::kConstant) {
        as_->ShiftRI(digit, reg, b.value);
      } else {
        Into(ecx, b);
        as_->ShiftRCl(digit, reg);
      }
      break;
    }
    default:
      Divide(op, b);
      break;
  }
  Write(Operand(k, 3), reg);
}

// eax := 1 where the compare of a with b holds, else 0; the flags stay for a jump to test.
void LoopTranslator::Compare(size_t k) {
  static constexpr int kConditions[] = {kLess,         kLessEqual, kGreater,
                                        kGreaterEqual, kEqual,     kNotEqual};
  const Source a = Value(k, 1);
  const Source b = Value(k, 2);
  const int left = InRegister(a, b.In(edx) ? ecx : edx);
  const bool zeroFirst = left != eax && !b.In(eax);
  if (zeroFirst) {
    Clobber(eax);
    as_->AluRR(kXor, eax, eax);
  }
  if (b.kind == Source::kConstant) {
    as_->AluRI(kCmp, left, b.value);
  } else if (b.kind == Source::kRegister) {
    as_->AluRR(kCmp, left, static_cast<int>(b.value));
  } else {
    as_->AluRM(kCmp, left, b.value);
  }
  Clobber(eax);
  as_->SetEax(kConditions[list_[k].opcode - kOpLess], zeroFirst);
  Write(Operand(k, 3), eax);
}

// eax := eax divided by b: by 0 faults; by -1 the quotient is the negation (INT_MIN stays) and
// the remainder 0, where idiv would trap.
void LoopTranslator::Divide(uint32_t op, Source b) {
  Into(ecx, b);
  Clobber(edx);
  as_->Test(ecx, ecx);
  as_->JccOut(kEqual, CodeFixup::kExit, kExitFault);
  const int general = as_->NewLabel(), done = as_->NewLabel();
  as_->AluRI(kCmp, ecx, 0xFFFFFFFF);
  as_->Jcc(kNotEqual, general);
  if (op == kOpDiv) {
    as_->Unary(kNegate, eax);
  } else {
    as_->MovRI(eax, 0);
  }
  as_->Jmp(done);
  as_->Bind(general);
  as_->Cdq();
  as_->Unary(kDivide, ecx);
  if (op != kOpDiv) {
    as_->MovRR(eax, edx);
    if (op == kOpModPositive) {
      as_->Test(eax, eax);
      as_->Jcc(kNotSign, done);
      as_->AluRR(kAdd, eax, ecx);
    }
  }
  as_->Bind(done);
}

// [[b]] := a. A store that would reach the loop's code or its data leaves for the plain code,
// which makes it.
void LoopTranslator::StoreIndirect(size_t k) {
  const Source v = Value(k, 1);
  int value = edx;
  if (v.kind == Source::kRegister && !v.In(ecx)) {
    value = static_cast<int>(v.value);
  } else {
    Into(edx, v);
  }
  const int pointer = InRegister(Read(Operand(k, 2)), value == eax ? ecx : eax);
  const int scratch = Scratch(pointer, value);
  CheckGuest(pointer, scratch);
  const int out = Leave(list_[k].address, true);
  for (auto [from, to] : guarded_) {
    as_->Lea(scratch, pointer, static_cast<uint32_t>(-static_cast<int64_t>(from)));
    as_->AluRI(kCmp, scratch, to - from);
    as_->Jcc(kBelow, out);
  }
  as_->StoreAt(pointer, value);
  ForgetTemporaries();
}

}  // namespace

std::vector<TranslatedLoop> TranslateLoops(GuestMemory& memory,
                                           const std::vector<ListedInstruction>& list,
                                           uint32_t firstTag) {
  return LoopTranslator(memory, list, firstTag).Run();
}

#else

std::vector<TranslatedLoop> TranslateLoops(GuestMemory&, const std::vector<ListedInstruction>&,
                                           uint32_t) {
  return {};
}

#endif

}  // namespace bw
