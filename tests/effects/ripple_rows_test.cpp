// Label: optimised
// The ripple's vector rows (eight-wide and four-wide) against its plain rows: the same frames on
// pictures of different pitches placed apart, with amplitudes that throw samples past every edge.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "effects/ripple_effect.h"
#include "graphics/layers/canvas_layer.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

void FillRandom(ImageSurface& s, int w, int h, std::mt19937& bits) {
  ASSERT_EQ(s.Create(w, h, 32, 0), 0);
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(s.GetRowPointer(y));
    for (int x = 0; x < w; ++x) row[x] = bits();
  }
}

TEST(RippleRows, VectorRowsDrawThePlainFramesOnPicturesApart) {
  constexpr int kW = 72, kH = 50;
  OffscreenLayer layer;
  ASSERT_EQ(layer.Create(kW, kH, 32, false), kLayerDone);
  std::mt19937 bits(9);
  ImageSurface before, after, out;
  FillRandom(before, kW + 13, kH + 6, bits);
  FillRandom(after, kW, kH, bits);
  FillRandom(out, kW + 4, kH + 2, bits);
  FilterDrawRequest whole;
  whole.width = kW, whole.height = kH;
  whole.target = &out, whole.targetX = 3, whole.targetY = 1;
  whole.oldImage = &before, whole.oldX = 9, whole.oldY = 5;
  whole.newImage = &after;
  for (const std::vector<ArgWord>& words :
       {std::vector<ArgWord>{1000, 30, 20, 16, 0, 0, 127}, {1000, -1, -1, 32, 0, 0, 40}}) {
    RippleEffect ripple;
    ASSERT_EQ(ripple.SetUp(&layer, ArgWords(words.data(), words.size())), kFilterSetUpDone);
    ripple.Advance(0);
    for (uint32_t t : {90u, 500u, 730u}) {
      ripple.Advance(t);
      std::vector<uint32_t> frames[3];
      for (int set = 0; set < 3; ++set) {
        ScopedMmxFlag mmx(set > 0);
        ScopedWideVectors wide(set == 1);
        RippleEffect::Initialise();
        ASSERT_EQ(ripple.Draw(whole), kFilterDrawn);
        for (int y = 0; y < out.GetHeight(); ++y) {
          auto* row = reinterpret_cast<uint32_t*>(out.GetRowPointer(y));
          frames[set].insert(frames[set].end(), row, row + out.GetWidth());
        }
      }
      EXPECT_EQ(frames[0], frames[1]) << "eight-wide rows at " << t;
      EXPECT_EQ(frames[0], frames[2]) << "four-wide rows at " << t;
    }
  }
  RippleEffect::Initialise();
}

}  // namespace
}  // namespace bw
