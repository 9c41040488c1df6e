#include "script/bytecode_jit.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <unordered_map>
#include <vector>

#include "script/bytecode_jit_loops.h"
#include "script/bytecode_jit_templates.h"
#include "script/bytecode_vm.h"
#include "script/threaded_code.h"

namespace bw {

#if defined(__x86_64__)

namespace {

using namespace jit;

struct Instruction {
  uint32_t address;
  uint32_t opcode;
  uint32_t next;
  uint32_t index;
};

// Writes templates into the mapping, patching as it goes.
class Emitter {
 public:
  explicit Emitter(GuestMemory& memory) : memory_(memory) {}
  void SetOutput(uint8_t* out) { out_ = out; }

  size_t Position() const { return at_; }
  // The variant's exits and the code of each instruction, as offsets from the block's start.
  size_t exits[2][kExitCount] = {};
  // Where a jump enters each instruction (a loop's entry before its first instruction), and
  // where the instruction's own code starts.
  std::vector<size_t> code[2];
  std::vector<size_t> start[2];
  std::vector<size_t> cold[2];
  std::vector<size_t> slow;      // the general code of specialised instructions (plain variant)
  std::vector<uint8_t> special;  // whether an instruction's plain code is its specialised form
  size_t trailer[2] = {};
  std::unordered_map<uint32_t, size_t> indexOf;
  const std::vector<Instruction>* list = nullptr;
  const Templates* templates = nullptr;

  // Whether the next instruction's code starts by loading words 1 to k, so that a move into its
  // word k may hand the value on in a register; for kTakesResult, whether it is a move from
  // memory. Only the plain variant: the counted one must spend a unit at the next instruction.
  bool Forwards(const Instruction* in, uint32_t k, int variant) const {
    const bool last = in->index + 1 >= list->size();
    if (last || variant != 0) return false;
    const uint32_t next = (*list)[in->index + 1].opcode;
    if (k == kTakesResult) return next == kOpMove;
    return StartsWithLoads(Form(in->index + 1), k);
  }
  // The plain variant's code of instruction i: its specialised form or the general one.
  const Words& Form(size_t i) const {
    const Template& tp = templates->table[(*list)[i].opcode];
    return special[i] ? tp.fast : tp.words;
  }
  // The bytes t takes for in, its kIfForwarded parts counted where they are emitted.
  size_t Size(const Words& t, const Instruction* in, int variant) const {
    size_t n = 0;
    bool skipping = false;
    for (uint16_t w : t) {
      if (w == kEnd) break;
      if (w == kEndIf) {
        skipping = false;
      } else if ((w & 0xFF00) == kIfForwarded) {
        skipping = !Forwards(in, w & 0xFF, variant);
      } else if (!skipping) {
        n += w < 0x100 ? 1 : 4;
      }
    }
    return n;
  }

  // Copies loop code, patching its jumps out; body: where the loop's body starts.
  void EmitLoop(const jit::MachineCode& c, const TranslatedLoop& loop, size_t body, int variant) {
    std::memcpy(out_ + at_, c.bytes.data(), c.bytes.size());
    for (const jit::CodeFixup& f : c.fixups) {
      size_t to = 0;
      switch (f.kind) {
        case jit::CodeFixup::kInstruction:
          to = code[variant][f.value];
          break;
        case jit::CodeFixup::kExit:
          to = exits[variant][f.value];
          break;
        case jit::CodeFixup::kBody:
          to = body + f.value;
          break;
        case jit::CodeFixup::kEntryEnd:
          to = start[variant][loop.first];
          break;
      }
      const uint32_t rel = static_cast<uint32_t>(to - (at_ + f.at + 4));
      std::memcpy(out_ + at_ + f.at, &rel, 4);
    }
    at_ += c.bytes.size();
  }

  bool Emit(const Words& t, const Instruction* in, int variant) {
    bool skipping = false;
    for (uint16_t w : t) {
      if (w == kEnd) return true;
      if (w == kEndIf) {
        skipping = false;
        continue;
      }
      if ((w & 0xFF00) == kIfForwarded) {
        skipping = !Forwards(in, w & 0xFF, variant);
        continue;
      }
      if (skipping) continue;
      if (w < 0x100) {
        out_[at_++] = static_cast<uint8_t>(w);
        continue;
      }
      const uint16_t kind = w & 0xFF00;
      const uint32_t k = w & 0xFF;
      uint32_t value = 0;
      switch (kind) {
        case kWordAddress:
          value = in->address + 4 * k;
          break;
        case kNextAddress:
          value = in->next + 4 * k;
          break;
        case kField:
          if (k >= std::size(kFieldOffsets)) return false;
          value = kFieldOffsets[k];
          break;
        case kExit:
          if (k >= kCountedExit + kExitCount || (k >= kExitCount && k < kCountedExit)) return false;
          value = k >= kCountedExit ? Relative(exits[1][k - kCountedExit])
                                    : Relative(exits[variant][k]);
          break;
        case kOldOperand:
          if (!memory_.Read32(in->address + 4 * k, value)) return false;
          break;
        case kJumpTarget: {
          uint32_t target = 0;
          if (!memory_.Read32(in->address + 4 * k, target)) return false;
          auto it = indexOf.find(target);
          value = Relative(it == indexOf.end() ? exits[variant][kExitDispatch]
                                               : code[variant][it->second]);
          break;
        }
        case kColdCode:
          value = Relative(cold[variant][in->index]);
          break;
        case kSlowCode:
          value = Relative(slow[in->index]);
          break;
        case kAfter: {
          const bool last = in->index + 1 >= list->size();
          value = Relative(last ? trailer[variant] : code[variant][in->index + 1]);
          break;
        }
        case kNextLoaded: {  // only where Forwards(kTakesResult): a plain move follows
          const bool last = in->index + 1 >= list->size();
          if (last || variant != 0) return false;
          value = Relative(start[0][in->index + 1] +
                           (special[in->index + 1] ? kConstantLoadSize : MoveLoadSize()));
          break;
        }
        case kNextCode: {
          const bool last = in->index + 1 >= list->size();
          value =
              Relative(last ? exits[variant][kExitDispatch] : start[variant][in->index + 1] + k);
          break;
        }
        case kForwarded:
          value = Forwards(in, k, variant) ? in->next + 4 * k : 0;
          break;
        default:
          return false;
      }
      std::memcpy(out_ + at_, &value, 4);
      at_ += 4;
    }
    return true;
  }

 private:
  uint32_t Relative(size_t to) const { return static_cast<uint32_t>(to - (at_ + 4)); }

  uint8_t* out_ = nullptr;
  GuestMemory& memory_;
  size_t at_ = 0;
};

// The trailer of a variant: falling off the last instruction hands over at the next address.
constexpr size_t kTrailerSize = 10;

// One block's translation: the forms of its instructions, their layout, and their emission.
class Translator {
 public:
  Translator(GuestMemory& memory, const std::vector<ListedInstruction>& listed, uint32_t firstTag)
      : memory_(memory), t_(TheTemplates()), em(memory) {
    list_.reserve(listed.size());
    for (const ListedInstruction& in : listed)
      list_.push_back({in.address, in.opcode, in.next, static_cast<uint32_t>(list_.size())});
    loops_ = TranslateLoops(memory, listed, firstTag);
    em.list = &list_;
    em.templates = &t_;
    Specialise();
    B(after_, {0xE9});
    P(after_, kAfter);
    after_.push_back(kEnd);
  }

  // The layout: the stub, both variants' exits, then per variant the instructions (a loop's
  // entry before its first), the trailer and the out-of-line parts; the plain variant's general
  // code of specialised instructions, and last the loops' bodies. Answers the total size.
  size_t Layout() {
    loopAt_.assign(list_.size(), nullptr);
    for (const TranslatedLoop& loop : loops_) loopAt_[loop.first] = &loop;
    size_t offset = t_.table[BytecodeJit::kStubIndex].size;
    for (int v = 0; v < 2; ++v) {
      for (int e = 0; e < kExitCount; ++e) {
        em.exits[v][e] = offset;
        offset += t_.exitSize[v][e];
      }
    }
    for (int v = 0; v < 2; ++v) {
      for (const Instruction& in : list_) {
        em.code[v].push_back(offset);
        if (loopAt_[in.index]) offset += loopAt_[in.index]->entry[v].bytes.size();
        em.start[v].push_back(offset);
        offset += v == 0 && em.special[in.index]
                      ? ByteSize(special_[in.index])
                      : em.Size(t_.table[in.opcode].words, &in, v) + (v == 1 ? t_.countSize : 0);
      }
      em.trailer[v] = offset;
      offset += kTrailerSize;
      for (const Instruction& in : list_) {
        em.cold[v].push_back(offset);
        offset += t_.table[in.opcode].coldSize;
      }
    }
    em.slow.assign(list_.size(), 0);
    for (const Instruction& in : list_) {
      if (!em.special[in.index]) continue;
      em.slow[in.index] = offset;
      offset += em.Size(t_.table[in.opcode].words, &in, 0) + ByteSize(after_);
    }
    bodyAt_.resize(loops_.size());
    for (size_t l = 0; l < loops_.size(); ++l) {
      for (int v = 0; v < 2; ++v) {
        bodyAt_[l][v] = offset;
        offset += loops_[l].body[v].bytes.size();
      }
    }
    return offset;
  }

  // Writes the code into out, laid out as Layout said; fallOff: the address behind the block.
  bool Emit(uint8_t* out, uint32_t fallOff) {
    em.SetOutput(out);
    for (size_t i = 0; i < list_.size(); ++i) em.indexOf.emplace(list_[i].address, i);
    const Instruction none{0, 0, 0, 0};
    bool ok = em.Emit(t_.table[BytecodeJit::kStubIndex].words, &none, 0);
    for (int v = 0; v < 2; ++v) {
      for (int e = 0; e < kExitCount; ++e) ok = ok && em.Emit(t_.exits[v][e], &none, v);
    }
    Words trailer;
    B(trailer, {0xB8});
    Disp32(trailer, static_cast<int32_t>(fallOff));
    B(trailer, {0xE9});
    P(trailer, kExit + kExitHandOver);
    trailer.push_back(kEnd);
    for (int v = 0; v < 2 && ok; ++v) {
      for (const Instruction& in : list_) {
        if (const TranslatedLoop* loop = loopAt_[in.index])
          em.EmitLoop(loop->entry[v], *loop, bodyAt_[loop - loops_.data()][v], v);
        if (v == 1) ok = ok && em.Emit(t_.count, &in, v);
        const bool own = v == 0 && em.special[in.index];
        ok = ok && em.Emit(own ? special_[in.index] : t_.table[in.opcode].words, &in, v);
      }
      ok = ok && em.Emit(trailer, &none, v);
      for (const Instruction& in : list_) ok = ok && em.Emit(t_.table[in.opcode].cold, &in, v);
    }
    for (const Instruction& in : list_) {
      if (!em.special[in.index]) continue;
      ok = ok && em.Emit(t_.table[in.opcode].words, &in, 0) && em.Emit(after_, &in, 0);
    }
    for (size_t l = 0; l < loops_.size() && ok; ++l) {
      for (int v = 0; v < 2; ++v) em.EmitLoop(loops_[l].body[v], loops_[l], bodyAt_[l][v], v);
    }
    return ok;
  }

 private:
  uint32_t Old(const Instruction& in, uint32_t k) const {
    uint32_t v = 0;
    memory_.Read32(in.address + 4 * k, v);
    return v;
  }

  // The plain variant specialises each instruction whose address operands are good now. A
  // specialised form knows where it stored its result, so it hands the value on to the next
  // instruction without a test: to a move that reads it, or into the next operand word loaded.
  void Specialise() {
    em.special.assign(list_.size(), 0);
    for (const Instruction& in : list_) {
      const uint32_t words = AddressWords(in.opcode);
      bool good = words != 0;
      for (uint32_t k = 1; k <= 3; ++k) {
        if (words >> k & 1) good = good && memory_.Valid(Old(in, k), 4);
      }
      em.special[in.index] = good;
    }
    special_.resize(list_.size());
    for (const Instruction& in : list_) {
      if (!em.special[in.index]) continue;
      Words& w = special_[in.index];
      w = t_.table[in.opcode].fast;
      const uint32_t result = ResultWord(in.opcode);
      if (in.index + 1 < list_.size() && result) {
        const uint32_t to = Old(in, result);
        const Instruction& next = list_[in.index + 1];
        if (em.special[next.index] && next.opcode == kOpMove && Old(next, 1) == to) {
          B(w, {0xE9});
          P(w, static_cast<uint16_t>(kNextCode + kConstantLoadSize));
        } else if (to == next.address + 4 && StartsWithLoads(em.Form(next.index), 1)) {
          B(w, {0xE9});
          P(w, kNextCode + 7);
        } else if (to == next.address + 8 && StartsWithLoads(em.Form(next.index), 2)) {
          ForwardedSecond(w);
        }
      }
      w.push_back(kEnd);
    }
  }

  GuestMemory& memory_;
  const Templates& t_;
  std::vector<Instruction> list_;
  std::vector<TranslatedLoop> loops_;
  std::vector<Words> special_;
  Words after_;  // ends the general code of a specialised instruction
  std::vector<const TranslatedLoop*> loopAt_;
  std::vector<std::array<size_t, 2>> bodyAt_;

 public:
  Emitter em;
};

}  // namespace

BytecodeJit::BytecodeJit(GuestMemory& memory) : memory_(memory) {
  TheTemplates();
}

bool BytecodeJit::Supported() {
  return true;
}

int BytecodeJit::Compile(uint32_t instructions, uint32_t byteCount) {
  Release();
  // Pass 1: the instructions, their forms and the layout of their code.
  std::vector<ListedInstruction> listed;
  if (!ListInstructions(memory_, instructions, byteCount, listed)) return kCompileFailed;
  const int64_t first = memory_.Translations().Reserve(static_cast<uint32_t>(listed.size()));
  if (first < 0) return kCompileFailed;
  auto giveBack = [&] {
    memory_.Translations().Free(static_cast<uint32_t>(first), static_cast<uint32_t>(listed.size()));
    code_.Release();
    return kCompileFailed;
  };
  Translator tr(memory_, listed, Tag(static_cast<uint32_t>(first)));
  const size_t total = tr.Layout();
  if (!code_.Map(total)) return giveBack();

  // Pass 2: the layout is known, so every jump is patched as it is emitted.
  const uint32_t fallOff = listed.empty() ? instructions : listed.back().next;
  if (!tr.Emit(code_.Data(), fallOff) || tr.em.Position() != total) return giveBack();
  if (!code_.Seal()) return giveBack();

  // Only now, with the code executable, do the opcode words change.
  size_ = total;
  firstEntry_ = static_cast<uint32_t>(first);
  entryCount_ = static_cast<uint32_t>(listed.size());
  std::vector<TranslationEntry>& entries = memory_.Translations().Entries();
  for (size_t i = 0; i < listed.size(); ++i) {
    TranslationEntry& e = entries[firstEntry_ + i];
    e.code = code_.Data() + tr.em.code[0][i];
    e.countedCode = code_.Data() + tr.em.code[1][i];
    e.guest = listed[i].address;
    e.opcode = listed[i].opcode;
    memory_.Write32(listed[i].address, Tag(firstEntry_ + static_cast<uint32_t>(i)));
  }
  return kCompileDone;
}

void BytecodeJit::Release() {
  if (!code_.Data()) return;
  TranslationTable& table = memory_.Translations();
  for (uint32_t i = firstEntry_; i < firstEntry_ + entryCount_ && i < table.Count(); ++i) {
    const TranslationEntry& e = table.Entries()[i];
    uint32_t word = 0;
    if (e.guest && memory_.Read32(e.guest, word) && word == Tag(i))
      memory_.Write32(e.guest, e.opcode);
  }
  memory_.TakeFault();
  table.Free(firstEntry_, entryCount_);
  entryCount_ = 0;
  size_ = 0;
  code_.Release();
}

// Generated code carries no type signature for the sanitizer's indirect-call check to read.
#if defined(__clang__)
__attribute__((no_sanitize("function")))
#endif
int BytecodeJit::Enter(JitContext& context) const {
  if (!code_.Data()) return kRunFault;
  using Stub = int (*)(JitContext*);
  Stub stub = reinterpret_cast<Stub>(reinterpret_cast<uintptr_t>(code_.Data()));
  return stub(&context);
}

#else

BytecodeJit::BytecodeJit(GuestMemory& memory) : memory_(memory) {}
bool BytecodeJit::Supported() {
  return false;
}
int BytecodeJit::Compile(uint32_t, uint32_t) {
  return kCompileFailed;
}
void BytecodeJit::Release() {}
int BytecodeJit::Enter(JitContext&) const {
  return kRunFault;
}

#endif

}  // namespace bw
