// Label: optimised
#include "graphics/pixel/mask_kernels.h"

#include <gtest/gtest.h>

#include "blend_reference.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

using namespace reference;

using MaskKernel = void (*)(uint32_t*, const uint8_t*, ptrdiff_t, ptrdiff_t, int, int, uint32_t,
                            const uint8_t*);

// The 8-bit "source" plane of the reference walk is the mask.
template <typename F>
void ExpectMaskPair(MaskKernel plain, MaskKernel mmx, F formula) {
  for (uint32_t color : {0x00FF8001u, 0x00000000u, 0x12FFFFFFu}) {
    for (int o : {0, 77, 255}) {
      const uint8_t* row = ProductTable[o];
      auto op = [&](uint8_t* d, const uint8_t* m) {
        Store32(d, formula(Load32(d), *m, color, row));
      };
      for (MaskKernel k : {plain, mmx}) {
        EXPECT_TRUE(MatchesReference(4, 1, Walk::kStraight, CallRows(k, color, row), op))
            << std::hex << color << " " << o;
      }
    }
  }
}

TEST(MaskKernels, EachPairMatchesItsFormula) {
  ExpectMaskPair(MaskColorFillRows, MaskColorFillRowsMmx,
                 [](uint32_t d, int m, uint32_t k, const uint8_t* row) {
                   return PerChannel(
                       d, [&](int v, int c) { return Lerp(v, Channel(k, c), W(row[m])); });
                 });
  ExpectMaskPair(
      MaskAddColorRows, MaskAddColorRowsMmx, [](uint32_t d, int m, uint32_t k, const uint8_t* row) {
        return PerChannel(
            d, [&](int v, int c) { return Saturate(v + Channel(k, c) * W(row[m]) / 256); });
      });
  ExpectMaskPair(MaskSubtractColorRows, MaskSubtractColorRowsMmx,
                 [](uint32_t d, int m, uint32_t k, const uint8_t* row) {
                   return PerChannel(d, [&](int v, int c) {
                     return Saturate(v - Channel(k, c) * W(row[m]) / 256);
                   });
                 });
  ExpectMaskPair(MaskAlphaColorFillRows, MaskAlphaColorFillRowsMmx,
                 [](uint32_t d, int m, uint32_t k, const uint8_t* row) {
                   int da = Channel(d, 3), a = row[m];
                   uint32_t out = PerChannel(d, [&](int v, int c) {
                     return Lerp(v, Channel(k, c), W(OverWeightTable[da][a]));
                   });
                   return WithChannel(out, 3, AlphaUnionTable[da][a]);
                 });
}

TEST(DrawMask, ClipsAtTheTargetEdgesAndRefusesWhollyOutside) {
  uint32_t target[4 * 3];
  std::fill(std::begin(target), std::end(target), 0x80000000u);
  // A 5 x 2 mask whose column c holds c + 1.
  uint8_t mask[2 * 5];
  for (int i = 0; i < 10; ++i) mask[i] = uint8_t(i % 5 + 1);
  MaskTarget t{reinterpret_cast<uint8_t*>(target), 4, 3, 16};
  MaskSource m{mask, 5, 2, 5};
  EXPECT_FALSE(DrawMaskSolid(-5, 0, 1, 2, 3, t, m));
  EXPECT_FALSE(DrawMaskSolid(4, 0, 1, 2, 3, t, m));
  EXPECT_FALSE(DrawMaskBlended(0, 3, 1, 2, 3, t, m));
  EXPECT_EQ(target[0], 0x80000000u);
  // At x = -3 mask columns 3 and 4 land on target columns 0 and 1, rows 2 and beyond cut.
  ASSERT_TRUE(DrawMaskSolid(-3, 2, 1, 2, 3, t, m));
  EXPECT_EQ(std::vector<uint32_t>(target + 8, target + 11),
            (std::vector<uint32_t>{0x80010203u, 0x80010203u, 0x80000000u}));
  EXPECT_EQ(target[4], 0x80000000u);
}

}  // namespace
}  // namespace bw
