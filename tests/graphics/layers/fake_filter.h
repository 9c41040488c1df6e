// A filter for the layer tests: paints each band with its top row index and records it, counts
// its deletion and drawn bands, reports done after framesToFinish whole frames and asks to
// finish (Update answers 1) after finishAfterUpdates updates.
#pragma once

#include <climits>
#include <vector>

#include "graphics/layers/layer_filter.h"

namespace bw::testing_layers {

class FakeFilter : public LayerFilter {
 public:
  explicit FakeFilter(uint8_t kind = 0, int* deleted = nullptr) : kind_(kind), deleted_(deleted) {}
  ~FakeFilter() override {
    if (deleted_) ++*deleted_;
  }
  uint8_t GetKind() const override { return kind_; }
  int Update(uint32_t) override { return ++updates > finishAfterUpdates ? 1 : 0; }
  bool IsDone() const override { return drawnFrames >= framesToFinish; }
  void DrawBand(const FilterBand& band) override {
    bands.push_back(band.band);
    if (bandsDrawn) ++*bandsDrawn;
    readsLinked = band.second != nullptr;
    band.target->Fill(0xFF000000u | uint32_t(band.band.top), &band.band);
    if (band.band.bottom == band.target->GetHeight()) ++drawnFrames;
  }

  int* bandsDrawn = nullptr;  // outlives the filter
  int finishAfterUpdates = INT_MAX;
  int framesToFinish = INT_MAX;
  std::vector<Rect> bands;
  int updates = 0;
  int drawnFrames = 0;
  bool readsLinked = false;

 private:
  uint8_t kind_;
  int* deleted_;
};

}  // namespace bw::testing_layers
