// The base of the named transitions and the image filters: a filter that a layer holds and
// asks, frame by frame, to advance and to draw.
#pragma once

#include <cstdint>

#include "effects/effect_args.h"
#include "effects/transitions/named_transitions.h"
#include "graphics/layers/layer_filter.h"
#include "host/module.h"

namespace bw {

class SurfaceLayer;

// The registry kinds of the built-in filters: 0 and 1 read the linked layer's picture, bit 0
// draws the whole picture in one pass.
constexpr uint8_t kFilterKindTwoLayerBanded = 0;
constexpr uint8_t kFilterKindTwoLayerWhole = 1;
constexpr uint8_t kFilterKindOneLayer = 2;

// SetUp results shared by the filters.
constexpr int kFilterSetUpDone = 0;
constexpr int kFilterBadArguments = 1;
constexpr int kFilterUnsuitableSurface = 2;
constexpr int kFilterNoRandomSource = 5;
constexpr int kFilterSetUpFailed = 6;
// Draw results.
constexpr int kFilterDrawn = 0;
constexpr int kFilterPixelRoutineFailed = 5;

// What a layer hands to Draw: the area of the layer surface to draw, the target, and the old
// and new pictures with the area's top-left corner in each.
using FilterDrawRequest = TransitionDrawArea;

// Builds the draw request for one band of a layer's frame.
FilterDrawRequest RequestForBand(const FilterBand& band);

class FilterEffect : public LayerFilter {
 public:
  // The hold count is the layer filter's shareCount: 0 = one holder.
  FilterEffect() = default;
  ~FilterEffect() override = default;

  virtual const char* GetKeyword() const = 0;
  // Moves the filter on to the clock time; the first call takes nowMs as the start.
  [[nodiscard]] virtual int Advance(uint32_t nowMs) = 0;
  // Non-zero once the filter has reached its end.
  virtual int IsFinished() const = 0;
  [[nodiscard]] virtual int Draw(const FilterDrawRequest& request) = 0;
  // Whether Draw will write every pixel of the request's area, whatever the target held.
  virtual bool WritesWhole(const FilterDrawRequest&) const { return false; }
  [[nodiscard]] int SetUp(SurfaceLayer* target, ArgList args) {
    return SetUp(target, ArgWords(args));
  }
  // Checks the target and reads the words; 0 on success.
  [[nodiscard]] virtual int SetUp(SurfaceLayer* target, ArgWords args) = 0;
  [[nodiscard]] virtual int Reserved2(int32_t, int32_t) { return kEffectUnsupported; }
  [[nodiscard]] virtual int Reserved0() { return kEffectUnsupported; }

  // What the layer asks: the clock step never detaches (the last frame is drawn before IsDone
  // lets the layer detach the filter), and each band becomes one draw request.
  [[nodiscard]] int Update(uint32_t nowMs) final;
  bool IsDone() const final { return IsFinished() != 0; }
  void DrawBand(const FilterBand& band) final;
  bool WritesWholeBand(const FilterBand& band) const final {
    return WritesWhole(RequestForBand(band));
  }

  // The plug-in library whose factory made the filter; null for a built-in one.
  host::HMODULE Module() const { return module_; }
  void SetModule(host::HMODULE module) { module_ = module; }

  uint32_t durationMs = 0;

 private:
  host::HMODULE module_ = nullptr;
};

}  // namespace bw
