// The interpreter's test programs, shared by the tests that run them interpreted and
// translated: one case or more per opcode, and every way of faulting.
#pragma once

#include <climits>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>

namespace bw {

struct OpCase {
  const char* name;
  const char* body;
  int32_t expected;
};

// One case or more per opcode; each ends with ret and leaves its answer in host:0.
inline const OpCase kOpCases[] = {
    {"retv_getret", "call f\n getret host:0\n ret\nf: retv 42\n", 42},
    {"call_returns_behind_operand", "call f\n add 1, 0, host:0\n ret\nf: ret\n", 1},
    {"jmp", "jmp over\n set 1, host:0\nover: ret\n", 0},
    {"switch_second_entry", "switch 1, a, b\na: set 10, host:0\n ret\nb: set 11, host:0\n ret\n",
     11},
    {"pushv", "pushv k\n pop host:0\n ret\nk: .word 9\n", 9},
    {"spsub_drops_words", "push 1\n push 2\n spsub 4\n pop host:0\n ret\n", 1},
    {"spadd_takes_words_back", "push 5\n spsub 4\n spadd 4\n pop host:0\n ret\n", 5},
    {"add_wraps", "add 0x7FFFFFFF, 1, host:0\n ret\n", INT_MIN},
    {"mul_keeps_low_bits", "mul 65536, 65536, host:0\n ret\n", 0},
    {"div_truncates_toward_zero", "div -7, 2, host:0\n ret\n", -3},
    {"div_min_by_minus_one", "div 0x80000000, -1, host:0\n ret\n", INT_MIN},
    {"mod_min_by_minus_one", "mod 0x80000000, -1, host:0\n ret\n", 0},
    {"modp_adds_divisor", "modp -7, 3, host:0\n ret\n", 2},
    {"modp_negative_divisor_negative_rest", "modp -7, -3, host:0\n ret\n", -4},
    {"not", "not 0, host:0\n ret\n", -1},
    {"lnot_zero", "lnot 0, host:0\n ret\n", 1},
    {"sar_is_arithmetic", "sar -8, 1, host:0\n ret\n", -4},
    {"shl_count_mod_32", "shl 1, 33, host:0\n ret\n", 2},
    {"inc", "set 5, host:0\n inc host:0\n ret\n", 6},
    {"sinc", "push 5\n sinc 4\n pop host:0\n ret\n", 6},
    {"sdec", "push 5\n push 0\n sdec 8\n spsub 4\n pop host:0\n ret\n", 4},
    {"jz_taken", "jz 0, skip\n set 1, host:0\nskip: ret\n", 0},
    {"stind", "stind 9, cell\n ret\ncell: .word host:0\n", 9},
    {"sset", "push 0\n sset 77, 4\n pop host:0\n ret\n", 77},
    {"sget", "push 12\n push 0\n sget 8, host:0\n spsub 8\n ret\n", 12},
    {"sstore", "push 0\n sstore k, 4\n pop host:0\n ret\nk: .word 31\n", 31},
    {"smov", "push 3\n push 0\n smov 8, 4\n pop host:0\n spsub 4\n ret\n", 3},
    {"sderef", "push k\n sderef 4, host:0\n spsub 4\n ret\nk: .word 21\n", 21},
    {"deref", "deref p, host:0\n ret\np: .word k\nk: .word 23\n", 23},
    {"saddr_names_a_stack_word",
     "push 55\n saddr 4, p\n spsub 4\n deref p, host:0\n ret\np: .word 0\n", 55},
    {"lt_signed", "lt -1, 0, host:0\n ret\n", 1},
    {"le_equal", "le 4, 4, host:0\n ret\n", 1},
    {"gt_signed", "gt 0, -1, host:0\n ret\n", 1},
    {"code_rewrites_own_operand", "set 40, fix.1\nfix: add 0, 2, host:0\n ret\n", 42},
    // A move into the next instruction's operand hands the value on; every handler entered so
    // must see the moved value, never the word that stood there before. The other binaries meet
    // moved operands in the loop programs, run against the plain loop.
    {"moved_first_operand_sub", " set 10, n.1\nn: sub 99, 3, host:0\n ret\n", 7},
    {"moved_second_operand_sub", " mov k, n.2\nn: sub 10, 99, host:0\n ret\nk: .word 3\n", 7},
    {"moved_operands_mul", " set 6, n.1\n set 7, n.2\nn: mul 0, 0, host:0\n ret\n", 42},
    {"moved_first_operand_sar", " set -8, n.1\nn: sar 0, 1, host:0\n ret\n", -4},
    {"moved_second_operand_shl", " set 33, n.2\nn: shl 1, 0, host:0\n ret\n", 2},
    {"moved_test_into_jz_takes_the_jump", " set 0, j.1\nj: jz 1, skip\n set 1, host:0\nskip: ret\n",
     0},
    {"moved_test_into_jz_goes_on", " set 1, j.1\nj: jz 0, skip\n set 1, host:0\nskip: ret\n", 1},
    {"moved_into_divide_rereads", " set 7, d.1\nd: div 99, 2, host:0\n ret\n", 3},
    {"moved_into_third_operand_is_a_destination", " set host:0, n.3\nn: add 1, 2, 0x10\n ret\n", 3},
};

// Every way of breaking the rules ends the run with the fault result instead of touching
// memory outside the guest's or looping on garbage.
struct FaultCase {
  const char* name;
  const char* body;
};

inline const FaultCase kFaultCases[] = {
    {"opcode_47", "op 47\n ret\n"},
    {"div_by_zero", "div 1, 0, host:0\n ret\n"},
    {"modp_by_zero", "modp 1, 0, host:0\n ret\n"},
    {"write_to_null", "set 1, 0\n ret\n"},
    {"read_outside_arena", "mov 0x7FFFFFF0, host:0\n ret\n"},
    {"deref_of_null_pointer", "deref p, host:0\n ret\np: .word 0\n"},
    {"jump_to_null", "jmp 0\n"},
    {"stack_underflow", "pop host:0\n pop host:0\n ret\n"},
    {"stack_overflow", "top: push 1\n jmp top\n"},
    {"sp_below_bottom", "spsub 4\n spsub 4\n ret\n"},
    {"stack_word_outside", "sset 1, 0x100000\n ret\n"},
    {"switch_index_on_end_word", "switch 2, a, b\na: ret\nb: ret\n"},
    {"native_plain_address", "native 0x20000, 0, host:0\n ret\n"},
    {"native_not_registered", "native native:500, 0, host:0\n ret\n"},
    {"native_result_to_null", "native native:0, args, 0\n ret\nargs: .word 1\n"},
};

// A counted loop of the instructions loops can run as a whole, written as the script compiler
// writes them, over six variables and a table: every binary (divisions by a variable fault at 0),
// moves, counts, tests, a skip forward, reads and writes through a pointer, and now and then a
// write through the pointer into the loop's own operands or into one of its variables. The answer
// is the variables' sum.
inline std::string LoopProgram(std::mt19937& rng) {
  static const char* const kBinary[] = {"add", "sub", "mul", "and", "or", "xor", "sar", "shl", "lt",
                                        "le",  "gt",  "ge",  "eq",  "ne", "div", "mod", "modp"};
  auto pick = [&rng](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
  auto var = [&] { return "v" + std::to_string(pick(6)); };
  auto number = [&](uint32_t n) { return std::to_string(pick(n)); };
  std::string body;
  const int statements = 1 + static_cast<int>(pick(12));
  for (int i = 0; i < statements; ++i) {
    const std::string at = "i" + std::to_string(i);
    switch (pick(9)) {
      case 0:
        body += " mov " + var() + ", " + at + ".1\n mov " + var() + ", " + at + ".2\n" + at + ": " +
                kBinary[pick(17)] + " 0, 0, " + var() + "\n";
        break;
      case 1:
        body += " mov " + var() + ", " + at + ".1\n" + at + ": " + kBinary[pick(14)] + " 0, " +
                std::to_string(static_cast<int32_t>(rng()) >> pick(32)) + ", " + var() + "\n";
        break;
      case 2:
        body += pick(2)
                    ? " set " + std::to_string(static_cast<int>(pick(9)) - 4) + ", " + var() + "\n"
                    : " mov " + var() + ", " + var() + "\n";
        break;
      case 3:
        body += std::string(pick(2) ? " inc " : " dec ") + var() + "\n" +
                (pick(2) ? " not " : " lnot ") + var() + ", " + var() + "\n";
        break;
      case 4:  // a test skipping a count
        body += " mov " + var() + ", " + at + ".1\n" + at + ": and 0, 1, t\n mov t, " + at +
                "j.1\n" + at + "j: jz 0, " + at + "s\n inc " + var() + "\n" + at + "s:\n";
        break;
      case 5:  // the pointer onto one of the table's 16 words, then a write and a read
        body += " mov " + var() + ", " + at + ".1\n" + at + ": and 0, 15, t\n mov t, " + at +
                "h.1\n" + at + "h: shl 0, 2, t\n mov t, " + at + "a.1\n" + at +
                "a: add 0, table, ptr\n stind " + number(100) + ", ptr\n deref ptr, " + var() +
                "\n";
        break;
      case 6:  // through the pointer into the loop's bound, into a variable, or out of one
        body += pick(3) == 0
                    ? " set bound.2, ptr\n stind " + std::to_string(3 + pick(6)) + ", ptr\n"
                : pick(2) == 0 ? " set " + var() + ", ptr\n stind " + number(50) + ", ptr\n"
                               : " set " + var() + ", ptr\n deref ptr, " + var() + "\n";
        break;
      default:
        body += " mov " + var() + ", " + at + ".1\n" + at + ": " + kBinary[pick(8)] + " 0, " +
                number(40) + ", " + var() + "\n";
        break;
    }
  }
  std::string vars;
  for (int v = 0; v < 6; ++v) vars += "v" + std::to_string(v) + ": .word " + number(97) + "\n";
  return " set 0, n\ntop:\n" + body +
         " inc n\n mov n, bound.1\nbound: lt 0, 7, t\n mov t, back.1\nback: jz 0, out\n jmp top\n"
         "out: add v0, v1, t\n add t, v2, t\n add t, v3, t\n add t, v4, t\n add t, v5, host:0\n"
         " ret\nn: .word 0\nt: .word 0\nptr: .word table\n" +
         vars + "table: .space 64\n";
}

inline void PrintTo(const OpCase& c, std::ostream* os) {
  *os << c.name;
}
inline void PrintTo(const FaultCase& c, std::ostream* os) {
  *os << c.name;
}

}  // namespace bw
