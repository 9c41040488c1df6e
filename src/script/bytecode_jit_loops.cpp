#include "script/bytecode_jit_loops.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <map>
#include <set>
#include <unordered_map>
#include <utility>

#include "script/bytecode_jit.h"

namespace bw {

#if defined(__x86_64__)

namespace {

enum Reg : int { eax, ecx, edx, ebx, esp, ebp, esi, edi, r8, r9, r10, r11, r12, r13, r14, r15 };
// Where a loop keeps its variables. Outside loops ebx and ebp hold the stack's bounds, which
// every way out of the loop loads again.
constexpr int kVariableRegisters[] = {esi, edi, r8, r9, r10, r11, ebx, ebp};
constexpr int kTemporaries[] = {edx, ecx, eax};

enum Condition : int {
  kBelow = 2,
  kEqual = 4,
  kNotEqual = 5,
  kAbove = 7,
  kNotSign = 9,
  kLess = 0xC,
  kGreaterEqual = 0xD,
  kLessEqual = 0xE,
  kGreater = 0xF
};
// The arithmetic group, numbered as the instruction set numbers it.
enum Alu : int { kAdd = 0, kOr = 1, kAnd = 4, kSub = 5, kXor = 6, kCmp = 7 };
constexpr int kShiftLeft = 4, kShiftRight = 7, kNot = 2, kNegate = 3, kDivide = 7;

constexpr uint32_t kNull = GuestMemory::kNullPage;

bool Overlap(uint32_t a, uint32_t b) {
  return (a > b ? a - b : b - a) < 4;
}

// x86-64 machine code, 32-bit operations; guest words are addressed from r15.
class Assembler {
 public:
  LoopCode code;

  int NewLabel() {
    labels_.push_back(-1);
    return static_cast<int>(labels_.size()) - 1;
  }
  // Code reached by jumps too: every path arrives with its stores made.
  void Bind(int label) {
    FlushStores();
    labels_[label] = Here();
  }
  // A label nothing jumps to (yet): the stores keep waiting.
  void Mark(int label) { labels_[label] = Here(); }
  // At code reached from elsewhere too nothing is known of the flags.
  void ForgetFlags() { flagged_ = 0; }
  // Whether reg holds 1 where condition holds of the flags and 0 where not (a compare's result).
  bool Flagged(int reg, int& condition) const {
    condition = condition_;
    return flagged_ >> reg & 1;
  }

  void MovRR(int dst, int src) {
    if (dst == src) return;
    Before(dst);
    Rex(src, dst);
    Byte(0x89);
    ModRR(src, dst);
    flagged_ = (flagged_ & ~(1u << dst)) | ((flagged_ >> src & 1) << dst);
  }
  void MovRI(int dst, uint32_t v) {
    Before(dst);
    Rex(0, dst);
    Byte(0xB8 + (dst & 7));
    Imm32(v);
    Wrote(dst);
  }
  void MovRI64(int dst, uint64_t v) {
    Before(dst);
    Byte(0x48 | (dst >> 3));
    Byte(0xB8 + (dst & 7));
    Imm32(static_cast<uint32_t>(v));
    Imm32(static_cast<uint32_t>(v >> 32));
  }
  void Load(int dst, uint32_t address) {
    Before(dst);
    BeforeRead(address);
    Guest(0x8B, dst, address);
    Wrote(dst);
  }
  // Stores src at address: at once when flushed, else with the other stores of the stretch.
  void Store(uint32_t address, int src, bool flushed = false) {
    if (flushed) {
      Guest(0x89, src, address);
      return;
    }
    for (const PendingStore& p : pending_) {
      if (p.address != address && Overlap(p.address, address)) FlushStores();
    }
    std::erase_if(pending_, [address](const PendingStore& p) { return p.address == address; });
    pending_.push_back({address, src});
  }
  // Emits the waiting stores, in address order: neighbours in one cache line go together.
  void FlushStores() {
    std::sort(pending_.begin(), pending_.end(),
              [](const PendingStore& a, const PendingStore& b) { return a.address < b.address; });
    for (const PendingStore& p : pending_) Guest(0x89, p.reg, p.address);
    pending_.clear();
  }
  void LoadAt(int dst, int index) {
    FlushStores();  // it may read any of them
    Before(dst);
    Indexed(0x8B, dst, index);
    Wrote(dst);
  }
  // The caller has made sure that no waiting store lands where this one does.
  void StoreAt(int index, int src) { Indexed(0x89, src, index); }
  void AluRR(int op, int dst, int src) {
    if (op != kCmp) Before(dst);
    Rex(src, dst);
    Byte(op * 8 + 1);
    ModRR(src, dst);
    Flags();
  }
  void AluRI(int op, int dst, uint32_t v) {
    if (op != kCmp) Before(dst);
    Rex(0, dst);
    Byte(0x81);
    ModRR(op, dst);
    Imm32(v);
    Flags();
  }
  void AluRM(int op, int dst, uint32_t address) {
    if (op != kCmp) Before(dst);
    BeforeRead(address);
    Guest(op * 8 + 3, dst, address);
    Flags();
  }
  void CmpMI(uint32_t address, uint32_t v) {
    BeforeRead(address);
    Byte(0x41);
    Byte(0x81);
    Byte(0xBF);
    Imm32(address);
    Imm32(v);
    Flags();
  }
  void CmpMQ(uint32_t address, int reg) {  // 64 bits
    BeforeRead(address);
    BeforeRead(address + 4);
    Byte(0x49 | (reg >> 3) << 2);
    Byte(0x39);
    Byte(0x80 | (reg & 7) << 3 | 7);
    Imm32(address);
    Flags();
  }
  void ImulRR(int dst, int src) {
    Before(dst);
    Rex(dst, src);
    Byte(0x0F);
    Byte(0xAF);
    ModRR(dst, src);
    Flags();
  }
  void ImulRI(int dst, uint32_t v) {
    Before(dst);
    Rex(dst, dst);
    Byte(0x69);
    ModRR(dst, dst);
    Imm32(v);
    Flags();
  }
  void ImulRM(int dst, uint32_t address) {
    Before(dst);
    BeforeRead(address);
    Byte(0x41 | (dst >> 3) << 2);
    Byte(0x0F);
    Byte(0xAF);
    Byte(0x80 | (dst & 7) << 3 | 7);
    Imm32(address);
    Flags();
  }
  void ShiftRI(int digit, int dst, uint32_t n) {
    Before(dst);
    Rex(0, dst);
    Byte(0xC1);
    ModRR(digit, dst);
    Byte(static_cast<int>(n & 31));
    Flags();
  }
  void ShiftRCl(int digit, int dst) {
    Before(dst);
    Rex(0, dst);
    Byte(0xD3);
    ModRR(digit, dst);
    Flags();
  }
  void Unary(int digit, int dst) {
    Before(dst);
    if (digit == kDivide) Before(edx);
    Rex(0, dst);
    Byte(0xF7);
    ModRR(digit, dst);
    Flags();
  }
  void Step(bool down, int dst) {
    Before(dst);
    Rex(0, dst);
    Byte(0xFF);
    ModRR(down ? 1 : 0, dst);
    Flags();
  }
  void Test(int a, int b) {
    Rex(b, a);
    Byte(0x85);
    ModRR(b, a);
    Flags();
  }
  // eax := 1 where condition holds of the flags, else 0; zeroed makes eax 0 already.
  void SetEax(int condition, bool zeroed) {
    Before(eax);
    for (int b : {0x0F, 0x90 | condition, 0xC0}) Byte(b);
    if (!zeroed) {
      for (int b : {0x0F, 0xB6, 0xC0}) Byte(b);
    }
    flagged_ = 1u << eax;
    condition_ = condition;
  }
  void Cdq() {
    Before(edx);
    Byte(0x99);
    Wrote(edx);
  }
  void Lea(int dst, int base, uint32_t displacement) {  // base neither rsp nor r12
    Before(dst);
    Rex(dst, base);
    Byte(0x8D);
    Byte(0x80 | (dst & 7) << 3 | (base & 7));
    Imm32(displacement);
    Wrote(dst);
  }
  void LoadContext(int dst, uint32_t offset) {  // mov dst, [r14 + offset]
    Before(dst);
    Byte(0x41 | (dst >> 3) << 2);
    Byte(0x8B);
    Byte(0x80 | (dst & 7) << 3 | 6);
    Imm32(offset);
    Wrote(dst);
  }
  void CountBack() {  // add qword [r14 + budget], 1
    for (int b : {0x49, 0x83, 0x86}) Byte(b);
    Imm32(offsetof(JitContext, budget));
    Byte(1);
    Flags();
  }
  void CountDown() {  // sub qword [r14 + budget], 1
    FlushStores();
    for (int b : {0x49, 0x83, 0xAE}) Byte(b);
    Imm32(offsetof(JitContext, budget));
    Byte(1);
    Flags();
  }
  // A branch taken while stores wait goes through a pad that makes them first; they keep
  // waiting on the way on.
  void Jcc(int condition, int label) {
    Byte(0x0F);
    Byte(0x80 | condition);
    Local(Pad({false, LoopFixup::kExit, static_cast<uint32_t>(label)}));
  }
  void Jmp(int label) {
    FlushStores();
    Byte(0xE9);
    Local(label);
  }
  void JccOut(int condition, LoopFixup::Kind kind, uint32_t value) {
    Byte(0x0F);
    Byte(0x80 | condition);
    const int pad = Pad({true, kind, value});
    if (pad >= 0) {
      Local(pad);
    } else {
      Out(kind, value);
    }
  }
  void JmpOut(LoopFixup::Kind kind, uint32_t value) {
    FlushStores();
    Byte(0xE9);
    Out(kind, value);
  }
  // Writes the pads, behind everything else.
  void EmitPads() {
    for (size_t i = 0; i < pads_.size(); ++i) {
      Bind(pads_[i].label);
      for (const PendingStore& p : pads_[i].stores) Guest(0x89, p.reg, p.address);
      if (pads_[i].to.outside) {
        JmpOut(pads_[i].to.kind, pads_[i].to.value);
      } else {
        Jmp(static_cast<int>(pads_[i].to.value));
      }
    }
  }
  bool Waiting(int reg) const {
    for (const PendingStore& p : pending_) {
      if (p.reg == reg) return true;
    }
    return false;
  }
  // Copies reg into spare, whose value the stores waiting on reg's take from now on.
  void Rename(int reg, int spare) {
    MovRR(spare, reg);
    for (PendingStore& p : pending_) {
      if (p.reg == reg) p.reg = spare;
    }
  }
  // Patches the jumps to this code's own labels.
  void Finish() {
    for (auto [at, label] : locals_) {
      const int32_t rel = static_cast<int32_t>(labels_[label] - (at + 4));
      std::memcpy(code.bytes.data() + at, &rel, 4);
    }
  }

 private:
  uint32_t Here() const { return static_cast<uint32_t>(code.bytes.size()); }
  void Byte(int b) { code.bytes.push_back(static_cast<uint8_t>(b)); }
  void Imm32(uint32_t v) {
    for (int i = 0; i < 4; ++i) Byte(static_cast<int>(v >> (8 * i)));
  }
  void Rex(int reg, int rm) {
    const int rex = 0x40 | (reg >> 3) << 2 | (rm >> 3);
    if (rex != 0x40) Byte(rex);
  }
  void ModRR(int reg, int rm) { Byte(0xC0 | (reg & 7) << 3 | (rm & 7)); }
  void Guest(int opcode, int reg, uint32_t address) {  // op reg, [r15 + address]
    Byte(0x41 | (reg >> 3) << 2);
    Byte(opcode);
    Byte(0x80 | (reg & 7) << 3 | 7);
    Imm32(address);
  }
  void Indexed(int opcode, int reg, int index) {  // op reg, [r15 + index]
    Byte(0x41 | (reg >> 3) << 2 | (index >> 3) << 1);
    Byte(opcode);
    Byte(0x04 | (reg & 7) << 3);
    Byte((index & 7) << 3 | 7);
  }
  void Local(int label) {
    locals_.push_back({Here(), label});
    Imm32(0);
  }
  void Out(LoopFixup::Kind kind, uint32_t value) {
    code.fixups.push_back({Here(), kind, value});
    Imm32(0);
  }

  struct PendingStore {
    uint32_t address;
    int reg;
  };
  struct Destination {
    bool outside;
    LoopFixup::Kind kind;
    uint32_t value;  // a label, or the fixup's value
  };
  struct PadCode {
    int label;
    std::vector<PendingStore> stores;
    Destination to;
  };
  // A label for a branch to `to`: a pad when stores wait, else (outside) -1 or the label itself.
  int Pad(const Destination& to) {
    if (pending_.empty()) return to.outside ? -1 : static_cast<int>(to.value);
    std::sort(pending_.begin(), pending_.end(),
              [](const PendingStore& a, const PendingStore& b) { return a.address < b.address; });
    pads_.push_back({NewLabel(), pending_, to});
    return pads_.back().label;
  }
  // Makes the stores of reg's value before reg changes.
  void Before(int reg) {
    bool uses = false;
    for (const PendingStore& p : pending_) uses = uses || p.reg == reg;
    if (!uses) return;
    std::vector<PendingStore> kept;
    for (const PendingStore& p : pending_) {
      if (p.reg == reg) {
        Guest(0x89, p.reg, p.address);
      } else {
        kept.push_back(p);
      }
    }
    pending_ = std::move(kept);
  }
  // Makes a waiting store to the word at address before the word is read.
  void BeforeRead(uint32_t address) {
    for (const PendingStore& p : pending_) {
      if (Overlap(p.address, address)) return FlushStores();
    }
  }
  void Wrote(int reg) { flagged_ &= ~(1u << reg); }
  void Flags() { flagged_ = 0; }

  std::vector<int64_t> labels_;
  std::vector<std::pair<uint32_t, int>> locals_;
  uint32_t flagged_ = 0;  // registers holding the flags' condition as 1 or 0
  int condition_ = 0;
  std::vector<PendingStore> pending_;
  std::vector<PadCode> pads_;
};

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
  LoopCode Entry() {
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
      as.JccOut(kNotEqual, LoopFixup::kEntryEnd, 0);
    }
    for (auto [address, reg] : variables_) as.Load(reg, address);
    as.JmpOut(LoopFixup::kBody, 0);
    as.Finish();
    return std::move(as.code);
  }

  LoopCode Body(size_t first, size_t last, bool counted) {
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
      if (it != indexOf_.end()) targets.insert(it->second);
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
        as.JccOut(kBelow, LoopFixup::kExit, kExitFault);
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
        as.JmpOut(LoopFixup::kInstruction, static_cast<uint32_t>(it->second));
      } else {
        as.MovRI(eax, address);
        as.JmpOut(LoopFixup::kExit, kExitDispatch);
      }
    }
    as.EmitPads();
    as.Finish();
    return std::move(as.code);
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
    as_->JccOut(kAbove, LoopFixup::kExit, kExitFault);
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
      CheckGuest(pointer, Scratch(pointer, eax));
      Clobber(eax);
      as_->LoadAt(eax, pointer);
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
  as_->JccOut(kEqual, LoopFixup::kExit, kExitFault);
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
