// The seed corpus of the text-rendering fuzz target, written through its input's own encoder.
#include <gtest/gtest.h>

#include "lib/text/text_render_input.h"
#include "support/fuzz_seeds.h"

namespace bw {
namespace {

TEST(TextRenderSeeds, AreWhatTheInputEncodes) {
  test::FuzzSeeds seeds;
  auto add = [&](const char* name, tools::TextRenderInput in) { seeds[name] = in.Encode(); };
  tools::TextRenderInput in;
  in.text = "AB\x82\xa0@@@12@123456789\n @";
  add("plain_codes", in);
  in.style = 2, in.level = 0, in.flags = 1 | 2 | 16, in.angle = 2700;
  in.text = "\x82\xa0\x82\xa1\nA\x82";  // ends on a lone lead byte
  add("edged_bold_down", in);
  in.style = 1, in.level = 1, in.flags = 4 | 8 | 32, in.angle = 450, in.shadowX = -3;
  in.edgeStrength = -300, in.edgeRadius = -70, in.lineSpacing = -20;
  in.text = "@0@3@1\n\n12";
  add("shadow_turned_pictures", in);
  in.cellWidth = 0, in.cellCount = 200, in.sets = 3, in.height = 63, in.angle = -3599;
  in.flags |= 128;  // the radius of -70 as given
  add("bad_cells_large", in);
  test::CheckOrWriteFuzzSeeds("text_render", seeds);
}

}  // namespace
}  // namespace bw
