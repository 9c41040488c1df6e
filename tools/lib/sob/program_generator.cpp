#include "lib/sob/program_generator.h"

#include <cstdint>
#include <string>
#include <vector>

namespace bw::sob {

namespace {

constexpr int kVariables = 6;
constexpr int kFunctions = 3;
constexpr int kMaxStatements = 40;

// The library: each function works on host:0 and returns; offsets are fixed by the layout.
constexpr const char* kLibrary =
    ".sob2\n"
    "f0: inc host:0\n ret\n"                             // 0
    "f1: add 3, 4, host:0\n retv 7\n"                    // 12
    "f2: mov host:0, m.1\nm: mul 0, 3, host:0\n ret\n";  // 36
constexpr uint32_t kLibraryEntries[] = {0, 12, 36};

class Source {
 public:
  explicit Source(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint32_t Next() { return at_ < bytes_.size() ? bytes_[at_++] : 0; }
  uint32_t Below(uint32_t n) { return Next() % n; }
  bool Empty() const { return at_ >= bytes_.size(); }

 private:
  std::span<const uint8_t> bytes_;
  size_t at_ = 0;
};

class Generator {
 public:
  explicit Generator(Source& in) : in_(in) {}

  std::string Program() {
    std::string s;
    const int statements = static_cast<int>(in_.Below(kMaxStatements)) + 1;
    for (int i = 0; i < statements && !in_.Empty(); ++i) s += Statement(0);
    s += " ret\n";
    for (int f = 0; f < kFunctions; ++f) {
      s += "fn" + std::to_string(f) + ":\n";
      for (int i = 0; i < 3; ++i) s += Simple();
      if (in_.Below(2)) {
        s += " ret\n";
      } else {
        const std::string r = Label("r");
        s += " mov " + Var() + ", " + r + ".1\n" + r + ": retv 0\n";
      }
    }
    for (int v = 0; v < kVariables; ++v)
      s += "v" + std::to_string(v) + ": .word " + std::to_string(in_.Next()) + "\n";
    s += "ptr: .word v0\ncnt0: .word 0\nsidx: .word 0\n";
    return s;
  }

 private:
  std::string Var() { return "v" + std::to_string(in_.Below(kVariables)); }
  std::string Imm() {
    static const int32_t kSpecial[] = {0, 1, -1, 2, 31, 32, 33, -8, 0x7FFFFFFF, INT32_MIN};
    uint32_t k = in_.Below(16);
    return k < 10 ? std::to_string(kSpecial[k])
                  : std::to_string(static_cast<int32_t>(in_.Next() * 2654435761u));
  }
  std::string Label(const char* stem) {
    last_ = std::string(stem) + std::to_string(labels_++);
    return last_;
  }
  // An operand: an immediate, or a variable moved into the operand word first.
  std::string Operands(const char* mnemonic, int count, bool lastIsDest) {
    std::string moves, ops;
    const std::string at = Label("i");
    for (int k = 1; k <= count; ++k) {
      if (k > 1) ops += ", ";
      if (lastIsDest && k == count) {
        ops += Var();
        // Now and then the destination word is rewritten first, to another variable.
        if (in_.Below(8) == 0)
          moves += " set " + Var() + ", " + at + "." + std::to_string(k) + "\n";
      } else if (in_.Below(2)) {
        moves += " mov " + Var() + ", " + at + "." + std::to_string(k) + "\n";
        ops += "0";
      } else {
        ops += Imm();
      }
    }
    return moves + at + ": " + mnemonic + " " + ops + "\n";
  }

  std::string Simple() {
    static const char* const kBinary[] = {"add", "sub", "mul", "and", "or",  "xor",
                                          "sar", "shl", "lt",  "le",  "gt",  "ge",
                                          "eq",  "ne",  "div", "mod", "modp"};
    switch (in_.Below(10)) {
      case 0:
        return Operands("not", 2, true);
      case 1:
        return Operands("lnot", 2, true);
      case 2:
        return " " + std::string(in_.Below(2) ? "inc " : "dec ") + Var() + "\n";
      case 3: {  // a move, its source word now and then rewritten first
        const std::string at = Label("m");
        std::string s = in_.Below(6) ? "" : " set " + Var() + ", " + at + ".1\n";
        return s + at + ": mov " + Var() + ", " + Var() + "\n";
      }
      case 4:
        return " push " + Imm() + "\n sinc 4\n pop " + Var() + "\n";
      case 5:
        return " pushv " + Var() + "\n push 0\n smov 8, 4\n sget 4, " + Var() + "\n spsub 8\n";
      case 6:
        return " saddr 0, ptr\n push 9\n stind 5, ptr\n pop " + Var() + "\n";
      case 7:
        return " deref ptr, " + Var() + "\n";
      default: {
        uint32_t k = in_.Below(17);
        // Divisions by a variable may divide by 0 and fault, as they would in a game.
        return Operands(kBinary[k], 3, true);
      }
    }
  }

  std::string Statement(int depth) {
    switch (in_.Below(12)) {
      case 0:
        if (depth == 0) {  // a loop bounded by a counter
          const std::string counter = "cnt" + std::to_string(depth);
          const std::string top = Label("top"), test = Label("t"), out = Label("out");
          std::string s =
              " set " + std::to_string(in_.Below(6) + 1) + ", " + counter + "\n" + top + ":\n";
          const int body = static_cast<int>(in_.Below(4)) + 1;
          for (int i = 0; i < body; ++i) s += Statement(depth + 1);
          return s + " dec " + counter + "\n mov " + counter + ", " + test + ".1\n" + test +
                 ": jz 0, " + out + "\n jmp " + top + "\n" + out + ":\n";
        }
        return Simple();
      case 1:
        return " call fn" + std::to_string(in_.Below(kFunctions)) + "\n getret " + Var() + "\n";
      case 2:
        return " call lib:" + std::to_string(kLibraryEntries[in_.Below(3)]) + "\n";
      case 3: {  // a switch on a variable: an index past the table faults
        const std::string mask = Label("sm"), sw = Label("sw"), a = Label("sa"), b = Label("sb"),
                          e = Label("se");
        const std::string var = Var();
        const char* bits = in_.Below(4) ? "1" : "3";
        return " mov " + var + ", " + mask + ".2\n" + mask + ": and " + bits +
               ", 0, sidx\n mov sidx, " + sw + ".1\n" + sw + ": switch 0, " + a + ", " + b + "\n" +
               a + ": inc v0\n jmp " + e + "\n" + b + ": dec v1\n" + e + ":\n";
      }
      case 4:
        return depth == 0 && in_.Below(3) == 0 ? " wait\n" : Simple();
      case 5: {
        switch (in_.Below(8)) {
          case 0:
            return " native native:2, 0, " + Var() + "\n";
          case 1:
            return " native native:3, 0, v0\n";
          case 2:
            return " native native:" + std::to_string(100 + in_.Below(8)) + ", 0, v0\n";
          default:
            return " native native:" + std::to_string(in_.Below(2)) + ", " + Var() + ", " + Var() +
                   "\n";
        }
      }
      case 6:  // a bad address now and then
        return in_.Below(8) == 0 ? " mov 0x7FFFFFF0, v0\n" : Simple();
      default:
        return Simple();
    }
  }

  Source& in_;
  int labels_ = 0;
  std::string last_;
};

}  // namespace

GeneratedProgram GenerateProgram(std::span<const uint8_t> bytes) {
  Source in(bytes);
  return {Generator(in).Program(), kLibrary};
}

}  // namespace bw::sob
