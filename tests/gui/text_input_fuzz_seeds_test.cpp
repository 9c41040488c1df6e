// The seed corpus of the text-edit fuzz target: typing, keys and clicks on the three field kinds.
#include <gtest/gtest.h>

#include "support/fuzz_seeds.h"

namespace bw {
namespace {

// Options byte, then commands: 0x00-0x3F keys, 0x40 clicks, 0x80 typed runs, 0xC0 SetText.
constexpr uint8_t kMulti = 1;
constexpr uint8_t kVertical = 2;
constexpr uint8_t kFullWidth = 4;
constexpr uint8_t kLeft = 0, kRight = 1, kUp = 2, kDown = 3, kHome = 4, kEnd = 5, kDelete = 6;

std::vector<uint8_t> Typed(const std::string& bytes) {
  std::vector<uint8_t> out{static_cast<uint8_t>(0x80 + bytes.size() - 1)};
  out.insert(out.end(), bytes.begin(), bytes.end());
  return out;
}

std::vector<uint8_t> Seed(uint8_t options, std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out{options};
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

TEST(TextEditFuzzSeeds, MatchTheCommittedCorpus) {
  test::FuzzSeeds seeds;
  seeds["single_scroll"] = Seed(0, {Typed("abcdefghijklmnopqrstuvwxyz"),
                                    {kLeft, kLeft, kHome},
                                    {0x40, 30, 5},
                                    Typed("\b\bXY"),
                                    {kEnd, kDelete}});
  seeds["trail_in_lead_range"] = Seed(0, {Typed("\x81\x81"
                                                "A\x88\x81\x82"),
                                          {0x40, 18, 4, 0x40, 21, 4},
                                          Typed("\b\b\b")});
  seeds["multi_newlines"] = Seed(kMulti, {Typed("ab\n\n\n\ncd"),
                                          {kUp, kUp, kDown, kEnd},
                                          Typed("\x82\xA0\x82\xA2\n"),
                                          {0x40, 40, 30}});
  seeds["vertical_lines"] =
      Seed(kMulti | kVertical,
           {Typed("0123456789abcdefghij"), {kHome, kLeft, kDown, kRight, kUp}, {0x40, 5, 50}});
  seeds["vertical_single_full_width"] = Seed(kVertical | kFullWidth | 0x08, {Typed("a\x82\xA0"
                                                                                   "b\x82\xA2"),
                                                                             {kUp, kDown},
                                                                             Typed("\r\t\x1B")});
  seeds["set_text_cut"] =
      Seed(0x18, {{0xC4, 'a', 'b', 0x82, 0xA0, 0x82}, {kEnd}, Typed(std::string("z\0y", 3))});
  test::CheckOrWriteFuzzSeeds("text_edit", seeds);
}

}  // namespace
}  // namespace bw
