#include "script/bytecode_vm.h"

#include <limits>

namespace bw {

namespace {

constexpr uint32_t kSwitchEnd = 0xFFFFFFFF;
constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();

int32_t S32(uint32_t v) { return static_cast<int32_t>(v); }
uint32_t U32(int32_t v) { return static_cast<uint32_t>(v); }

// Signed division without the two host traps: by zero is refused by the caller, and
// INT_MIN / -1 wraps as the original's machine gives it.
int32_t Quotient(int32_t a, int32_t b) { return (a == kIntMin && b == -1) ? kIntMin : a / b; }
int32_t Remainder(int32_t a, int32_t b) { return b == -1 ? 0 : a % b; }

}  // namespace

BytecodeVm::~BytecodeVm() {
  if (stackBottom_) memory_.Free(stackBottom_);
}

int BytecodeVm::AllocateStack(uint32_t words) {
  if (words > GuestMemory::kMaxArena / 4) return 1;
  uint32_t stack = memory_.Allocate(words * 4);
  if (!stack) return 1;
  if (stackBottom_) memory_.Free(stackBottom_);
  stackBottom_ = stack;
  stackTop_ = stack + words * 4;
  sp_ = stack;
  return 0;
}

bool BytecodeVm::Push(uint32_t v) {
  if (sp_ < stackBottom_ || stackTop_ - sp_ < 4 || sp_ > stackTop_) return false;
  if (!memory_.Write32(sp_, v)) return false;
  sp_ += 4;
  return true;
}

bool BytecodeVm::Pop(uint32_t& v) {
  if (sp_ > stackTop_ || sp_ - stackBottom_ < 4 || sp_ < stackBottom_) return false;
  sp_ -= 4;
  return memory_.Read32(sp_, v);
}

bool BytecodeVm::StackWord(uint32_t n, uint32_t& address) const {
  address = sp_ - n;
  return address >= stackBottom_ && address < stackTop_ && stackTop_ - address >= 4;
}

int BytecodeVm::CallAt(uint32_t address) {
  ip_ = address;
  if (!Push(0)) return kRunFault;
  return Run();
}

bool BytecodeVm::CallNative(uint32_t token, uint32_t args, uint32_t dest) {
  if (!natives_ || !IsNativeToken(token)) return false;
  uint32_t number = NativeNumber(token);
  if (number >= natives_->size() || !(*natives_)[number]) return false;
  memory_.TakeFault();
  int32_t result = (*natives_)[number](memory_, args);
  if (memory_.TakeFault()) return false;  // the native was handed a bad address
  return memory_.Write32(dest, U32(result));
}

int BytecodeVm::Run() {
  GuestMemory& m = memory_;
  uint32_t o[3] = {0, 0, 0};
  // Reads the instruction's n operand words and steps the pointer behind them.
  auto fetch = [&](uint32_t n) {
    if (!m.Read(ip_, o, n * 4)) return false;
    ip_ += n * 4;
    return true;
  };
  auto load = [&](uint32_t address, uint32_t& v) { return m.Read32(address, v); };
  auto store = [&](uint32_t address, uint32_t v) { return m.Write32(address, v); };
  auto stackLoad = [&](uint32_t n, uint32_t& v) {
    uint32_t at;
    return StackWord(n, at) && m.Read32(at, v);
  };
  auto stackStore = [&](uint32_t n, uint32_t v) {
    uint32_t at;
    return StackWord(n, at) && m.Write32(at, v);
  };
  auto moveStack = [&](uint64_t to) {
    if (to < stackBottom_ || to > stackTop_) return false;
    sp_ = static_cast<uint32_t>(to);
    return true;
  };

  uint64_t budget = instructionLimit_;
  for (;;) {
    if (instructionLimit_ && budget-- == 0) return kRunFault;
    uint32_t op;
    if (!m.Read32(ip_, op)) return kRunFault;
    ip_ += 4;
    uint32_t v = 0, w = 0;
    bool ok = true;
    switch (op) {
      case 0:
        return kRunWaiting;
      case 1:
        if (!Pop(v)) return kRunFault;
        if (v == 0) return kRunEnded;
        ip_ = v;
        break;
      case 2:
        if (!fetch(1) || !Pop(v)) return kRunFault;
        if (v == 0) return kRunEnded;
        returnRegister_ = o[0];
        ip_ = v;
        break;
      case 3:
        ok = fetch(1) && store(o[0], returnRegister_);
        break;
      case 4:
        ok = fetch(1) && Push(ip_);
        ip_ = o[0];
        break;
      case 5:
        ok = fetch(3) && CallNative(o[0], o[1], o[2]);
        break;
      case 6:
        ok = fetch(1);
        ip_ = o[0];
        break;
      case 7: {
        if (!fetch(1)) return kRunFault;
        // The index must name an entry before the table's end word.
        uint32_t table = ip_;
        for (uint32_t i = 0;; ++i) {
          if (!load(table + i * 4, v) || v == kSwitchEnd || table + i * 4 < table) return kRunFault;
          if (i == o[0]) break;
        }
        ip_ = v;
        break;
      }
      case 8:
        ok = fetch(1) && Push(o[0]);
        break;
      case 9:
        ok = fetch(1) && load(o[0], v) && Push(v);
        break;
      case 10:
        ok = fetch(1) && Pop(v) && store(o[0], v);
        break;
      case 11:
        ok = fetch(1) && moveStack(uint64_t{sp_} + o[0]);
        break;
      case 12:
        ok = fetch(1) && moveStack(uint64_t{sp_} - o[0]);
        break;
      case 13:
        ok = fetch(3) && store(o[2], o[0] + o[1]);
        break;
      case 14:
        ok = fetch(3) && store(o[2], o[0] - o[1]);
        break;
      case 15:
        ok = fetch(3) && store(o[2], o[0] * o[1]);
        break;
      case 16:
      case 17:
      case 18: {
        if (!fetch(3) || o[1] == 0) return kRunFault;
        int32_t a = S32(o[0]), b = S32(o[1]);
        int32_t r;
        if (op == 16) {
          r = Quotient(a, b);
        } else {
          r = Remainder(a, b);
          if (op == 18 && r < 0) r = S32(U32(r) + U32(b));
        }
        ok = store(o[2], U32(r));
        break;
      }
      case 19:
        ok = fetch(3) && store(o[2], o[0] & o[1]);
        break;
      case 20:
        ok = fetch(3) && store(o[2], o[0] | o[1]);
        break;
      case 21:
        ok = fetch(3) && store(o[2], o[0] ^ o[1]);
        break;
      case 22:
        ok = fetch(2) && store(o[1], ~o[0]);
        break;
      case 23:
        ok = fetch(2) && store(o[1], o[0] == 0 ? 1 : 0);
        break;
      case 24:
        ok = fetch(3) && store(o[2], U32(S32(o[0]) >> (o[1] & 31)));
        break;
      case 25:
        ok = fetch(3) && store(o[2], o[0] << (o[1] & 31));
        break;
      case 26:
      case 27:
        ok = fetch(1) && load(o[0], v) && store(o[0], op == 26 ? v + 1 : v - 1);
        break;
      case 28:
      case 29:
        ok = fetch(1) && stackLoad(o[0], v) && stackStore(o[0], op == 28 ? v + 1 : v - 1);
        break;
      case 30:
        if (!fetch(2)) return kRunFault;
        if (o[0] == 0) ip_ = o[1];
        break;
      case 31:
        ok = fetch(2) && store(o[1], o[0]);
        break;
      case 32:
        ok = fetch(2) && load(o[0], v) && store(o[1], v);
        break;
      case 33:
        ok = fetch(2) && load(o[1], w) && store(w, o[0]);
        break;
      case 34:
        ok = fetch(2) && stackStore(o[1], o[0]);
        break;
      case 35:
        ok = fetch(2) && stackLoad(o[0], v) && store(o[1], v);
        break;
      case 36:
        ok = fetch(2) && load(o[0], v) && stackStore(o[1], v);
        break;
      case 37:
        ok = fetch(2) && stackLoad(o[0], v) && stackStore(o[1], v);
        break;
      case 38:
        ok = fetch(2) && stackLoad(o[0], w) && load(w, v) && store(o[1], v);
        break;
      case 39:
        ok = fetch(2) && load(o[0], w) && load(w, v) && store(o[1], v);
        break;
      case 40:
        ok = fetch(2) && store(o[1], sp_ - o[0]);
        break;
      case 41:
        ok = fetch(3) && store(o[2], S32(o[0]) < S32(o[1]));
        break;
      case 42:
        ok = fetch(3) && store(o[2], S32(o[0]) <= S32(o[1]));
        break;
      case 43:
        ok = fetch(3) && store(o[2], S32(o[0]) > S32(o[1]));
        break;
      case 44:
        ok = fetch(3) && store(o[2], S32(o[0]) >= S32(o[1]));
        break;
      case 45:
        ok = fetch(3) && store(o[2], o[0] == o[1]);
        break;
      case 46:
        ok = fetch(3) && store(o[2], o[0] != o[1]);
        break;
      default:
        return kRunFault;
    }
    if (!ok) return kRunFault;
  }
}

}  // namespace bw
