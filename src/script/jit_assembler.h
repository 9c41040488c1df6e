// x86-64 machine code for the template compiler's loops: the instructions they need, on 32-bit
// values, with guest words addressed from r15 and the context from r14. Stores wait and are made
// together in address order (neighbours in one cache line cost one write) before anything that
// could see them: a read of their word, a change of the register holding their value, a label,
// a jump, or a store through a pointer; a branch taken while they wait goes through a pad that
// makes them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "script/bytecode_jit.h"

namespace bw::jit {

// A jump from generated code to code outside it: where the rel32 at `at` points.
struct CodeFixup {
  enum Kind : uint8_t {
    kInstruction,  // the variant's code of instruction `value`, entered as any jump enters it
    kExit,         // the variant's exit `value`
    kBody,         // byte `value` of the loop's own body (from its entry)
    kEntryEnd,     // behind the entry: the plain code of the loop's first instruction
  };
  uint32_t at;
  Kind kind;
  uint32_t value;
};

struct MachineCode {
  std::vector<uint8_t> bytes;
  std::vector<CodeFixup> fixups;
};

enum Reg : int { eax, ecx, edx, ebx, esp, ebp, esi, edi, r8, r9, r10, r11, r12, r13, r14, r15 };

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

inline bool Overlap(uint32_t a, uint32_t b) {
  return (a > b ? a - b : b - a) < 4;
}

// x86-64 machine code, 32-bit operations; guest words are addressed from r15.
class Assembler {
 public:
  MachineCode code;

  int NewLabel() {
    labels_.push_back(-1);
    return static_cast<int>(labels_.size()) - 1;
  }
  // Code reached by jumps too: every path arrives with its stores made.
  void Bind(int label) {
    Drop(label);
    FlushStores();
    labels_[label] = Here();
  }
  // The code at label stores to these words before anything could see them: a waiting store
  // to one of them is dropped on the way there.
  void Overwrites(int label, std::vector<uint32_t> words) {
    overwritten_[label] = std::move(words);
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
  // A read through index, which may land on a waiting store's word: where it does, a pad makes
  // the stores first (making them again later does no harm) and comes back. scratch: a register
  // free to use.
  void LoadAt(int dst, int index, int scratch) {
    if (!pending_.empty()) {
      uint32_t from = pending_[0].address, to = from;
      for (const PendingStore& p : pending_) {
        from = std::min(from, p.address);
        to = std::max(to, p.address);
      }
      Lea(scratch, index, static_cast<uint32_t>(3 - static_cast<int64_t>(from)));
      AluRI(kCmp, scratch, to - from + 7);
      const int back = NewLabel();
      Byte(0x0F);
      Byte(0x80 | kBelow);
      const int pad = NewLabel();
      Local(pad);
      pads_.push_back({pad, pending_, {false, CodeFixup::kExit, static_cast<uint32_t>(back)}});
      Mark(back);
    }
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
    std::vector<PendingStore> waiting = pending_;
    Drop(label);
    Local(Pad({false, CodeFixup::kExit, static_cast<uint32_t>(label)}));
    pending_ = std::move(waiting);
  }
  void Jmp(int label) {
    Drop(label);
    FlushStores();
    Byte(0xE9);
    Local(label);
  }
  void JccOut(int condition, CodeFixup::Kind kind, uint32_t value) {
    Byte(0x0F);
    Byte(0x80 | condition);
    const int pad = Pad({true, kind, value});
    if (pad >= 0) {
      Local(pad);
    } else {
      Out(kind, value);
    }
  }
  void JmpOut(CodeFixup::Kind kind, uint32_t value) {
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
  void Out(CodeFixup::Kind kind, uint32_t value) {
    code.fixups.push_back({Here(), kind, value});
    Imm32(0);
  }

  struct PendingStore {
    uint32_t address;
    int reg;
  };
  struct Destination {
    bool outside;
    CodeFixup::Kind kind;
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
  void Drop(int label) {
    auto it = overwritten_.find(label);
    if (it == overwritten_.end()) return;
    std::erase_if(pending_, [&](const PendingStore& p) {
      return std::find(it->second.begin(), it->second.end(), p.address) != it->second.end();
    });
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
  std::map<int, std::vector<uint32_t>> overwritten_;
};

}  // namespace bw::jit
