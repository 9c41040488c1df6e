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
  ExpectMaskPair(
      MaskColorFillRows, MaskColorFillRowsMmx,
      [](uint32_t d, int m, uint32_t k, const uint8_t* row) { return LerpRef(d, k, W(row[m])); });
  ExpectMaskPair(MaskAddColorRows, MaskAddColorRowsMmx,
                 [](uint32_t d, int m, uint32_t k, const uint8_t* row) {
                   return ScaledSumRef(d, k, W(row[m]), 1);
                 });
  ExpectMaskPair(MaskSubtractColorRows, MaskSubtractColorRowsMmx,
                 [](uint32_t d, int m, uint32_t k, const uint8_t* row) {
                   return ScaledSumRef(d, k, W(row[m]), -1);
                 });
  // The mask byte stands where the others read the source alpha.
  ExpectMaskPair(MaskAlphaColorFillRows, MaskAlphaColorFillRowsMmx,
                 [](uint32_t d, int m, uint32_t k, const uint8_t* row) {
                   return OntoAlphaRef(d, (k & 0x00FFFFFFu) | uint32_t(m) << 24, row);
                 });
}

}  // namespace
}  // namespace bw
