// A filter for the layer tests: paints each band with its top row index, counts its deletion and
// reports done after framesToFinish whole frames.
#pragma once

#include <climits>

#include "graphics/layers/layer_filter.h"

namespace bw::testing_layers {

class FakeFilter : public LayerFilter {
 public:
  explicit FakeFilter(uint8_t kind = 0, int* deleted = nullptr) : kind_(kind), deleted_(deleted) {}
  ~FakeFilter() override {
    if (deleted_) ++*deleted_;
  }
  uint8_t GetKind() const override { return kind_; }
  int Update(uint32_t) override { return 0; }
  bool IsDone() const override { return drawnFrames >= framesToFinish; }
  void DrawBand(const FilterBand& band) override {
    band.target->Fill(0xFF000000u | uint32_t(band.band.top), &band.band);
    if (band.band.bottom == band.target->GetHeight()) ++drawnFrames;
  }

  int framesToFinish = INT_MAX;
  int drawnFrames = 0;

 private:
  uint8_t kind_;
  int* deleted_;
};

}  // namespace bw::testing_layers
