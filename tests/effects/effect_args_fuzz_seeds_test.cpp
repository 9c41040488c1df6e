// The seed corpus of the argument-text fuzz target: texts as game scripts write them.
#include <gtest/gtest.h>

#include "support/fuzz_seeds.h"

namespace bw {
namespace {

std::vector<uint8_t> Text(const std::string& text) {
  return {text.begin(), text.end()};
}

TEST(EffectArgsFuzzSeeds, MatchTheCommittedCorpus) {
  test::FuzzSeeds seeds;
  seeds["points"] = Text("(0,0,1.0)(320,240,1.5) (0x40,-8)");
  seeds["haze"] = Text("(1,0,10)");
  seeds["path_layer"] = Text("c 500 l 2000 r A2.0 S i !u");
  seeds["path_sprite"] = Text("O0 300 O255p0,-20 t100,400 M10 >3]2 L20 $3 %1 F z o5,5");
  seeds["path_numbers"] = Text("P-100,+50 Z0.5 R0.25 -2 +3 <1 >1 [2 ^1 _1 B N");
  seeds["path_random_backwards"] = Text("t400,100 c");
  seeds["decimals"] = Text("-2.5 2. 0x1F 0b101 -12 x 0x");
  seeds["kana"] = Text("\x83\x41(1,2)\x83(3,4)");
  test::CheckOrWriteFuzzSeeds("effect_args", seeds);
}

}  // namespace
}  // namespace bw
