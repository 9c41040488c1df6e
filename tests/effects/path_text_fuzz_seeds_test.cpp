// The seed corpus of the path-text fuzz target: point texts as game scripts write them.
#include <gtest/gtest.h>

#include "support/fuzz_seeds.h"

namespace bw {
namespace {

std::vector<uint8_t> Text(const std::string& text) {
  return {text.begin(), text.end()};
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
