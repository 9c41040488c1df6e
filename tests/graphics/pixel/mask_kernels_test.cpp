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

}  // namespace
}  // namespace bw
