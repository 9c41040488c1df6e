// A filter for the layer tests: paints each band with its top row index (or copies it from the
// second picture), counts its deletion and reports done after framesToFinish whole frames.
#pragma once

#include <climits>

#include "graphics/layers/layer_filter.h"
#include "graphics/surface/image_surface.h"

namespace bw::testing_layers {

class FakeFilter : public LayerFilter {
 public:
  explicit FakeFilter(uint8_t kind = 0, int* deleted = nullptr) : kind_(kind), deleted_(deleted) {}
  ~FakeFilter() override {
    if (deleted_) ++*deleted_;
  }
  uint8_t GetKind() const override { return kind_; }
  bool ReadsOnlyItsRows() const override { return readsOnlyItsRows; }
  int Update(uint32_t) override { return 0; }
  bool IsDone() const override { return drawnFrames >= framesToFinish; }
  void DrawBand(const FilterBand& band) override {
    if (copiesSecond && band.second) {
      (void)band.target->Blit(band.second, band.band.left, band.band.top, &band.band, false);
    } else {
      (void)band.target->Fill(0xFF000000u | uint32_t(band.band.top), &band.band);
    }
    if (band.band.bottom == band.target->GetHeight()) ++drawnFrames;
  }

  int framesToFinish = INT_MAX;
  int drawnFrames = 0;
  // Draws each band as the same rows of the second picture instead.
  bool copiesSecond = false;
  bool readsOnlyItsRows = false;

 private:
  uint8_t kind_;
  int* deleted_;
};

}  // namespace bw::testing_layers
