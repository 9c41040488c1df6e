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

// A 3 x 3 mask drawn solid or blended at each edge of a 5 x 5 target: only its part inside is
// drawn, and one wholly outside, even by a touching edge, draws nothing and says so.
TEST(MaskKernels, MasksAtTheEdgesDrawOnlyTheirPartInside) {
  const std::vector<uint8_t> mask(9, 255);
  const MaskSource source{mask.data(), 3, 3, 3};
  const struct {
    int x, y;
    bool drawn;
  } cases[] = {{-2, -2, true}, {3, 3, true},   {4, 0, true},  {0, 4, true}, {1, 1, true},
               {-3, 0, false}, {0, -3, false}, {5, 0, false}, {0, 5, false}};
  for (int kind = 0; kind < 3; ++kind) {
    ScopedMmxFlag pin(kind == 2);
    for (const auto& c : cases) {
      std::vector<uint32_t> pixels(25, 0xFF000000u);
      const MaskTarget target{reinterpret_cast<uint8_t*>(pixels.data()), 5, 5, 20};
      const bool drawn = kind == 0 ? DrawMaskSolid(c.x, c.y, 255, 255, 255, target, source)
                                   : DrawMaskBlended(c.x, c.y, 255, 255, 255, target, source);
      EXPECT_EQ(drawn, c.drawn) << "kind " << kind << " at " << c.x << "," << c.y;
      for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 5; ++x) {
          const bool inside = x >= c.x && x < c.x + 3 && y >= c.y && y < c.y + 3;
          EXPECT_EQ(pixels[size_t(y * 5 + x)] & 0xFFFFFFu, inside ? 0xFFFFFFu : 0u)
              << "kind " << kind << " at " << c.x << "," << c.y << " pixel " << x << "," << y;
        }
      }
    }
  }
}

}  // namespace
}  // namespace bw
