// The seed corpora of the argument-text and path-text fuzz targets: texts as game scripts write
// them.
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

TEST(PathTextFuzzSeeds, MatchTheCommittedCorpus) {
  test::FuzzSeeds seeds;
  seeds["move"] = Text("(100,20,255)(300,-40,128)(0x40,0b101,0)");
  seeds["one_point"] = Text("(10,20,255)");
  seeds["zoom"] = Text("(128,1.5,255)(-256,0.25,64)");
  seeds["short_groups"] = Text("(5)(6,7)()(,,)");
  seeds["trail_byte"] = Text("(1,2,3)\x83\x28(4,5,6)\x83");
  seeds["long_word"] = Text("(1,123456789012345678901234567890123.5,9)(-2147483648,2147483647,-1)");
  test::CheckOrWriteFuzzSeeds("path_text", seeds);
}

}  // namespace
}  // namespace bw
