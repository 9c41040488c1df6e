// The filter a surface layer carries while a transition or screen filter runs: what the layers
// need of it. The effects build the filters themselves.
#pragma once

#include <cstdint>

#include "platform/rect.h"

namespace bw {

class ImageSurface;

// One band of a filtered frame: the filter draws rows band.top to band.bottom of target from
// the pictures it reads (second is null for one-layer filters).
struct FilterBand {
  ImageSurface* target = nullptr;
  Rect band;
  const ImageSurface* first = nullptr;
  const ImageSurface* second = nullptr;
};

// Kinds 0 and 1 read the linked layer; bit 0 set draws the whole picture in one pass.
constexpr uint8_t kFilterTwoLayerLimit = 2;

class LayerFilter {
 public:
  virtual ~LayerFilter() = default;

  virtual uint8_t GetKind() const = 0;
  // Non-zero once the filter has finished.
  [[nodiscard]] virtual int Update(uint32_t nowMs) = 0;
  virtual bool IsDone() const = 0;
  virtual void DrawBand(const FilterBand& band) = 0;
  // True when a band reads only the same rows of the pictures it draws from: those may then be
  // brought up to date a band at a time, just before it.
  virtual bool ReadsOnlyItsRows() const { return false; }
  // True when DrawBand will write every pixel of the band without reading what the target held
  // there: the band may then be drawn into the destination itself rather than into a copy.
  virtual bool WritesWholeBand(const FilterBand&) const { return false; }

  // 0: one owner; each further owner adds one.
  int32_t shareCount = 0;
};

// Drops one owner's share; the last one deletes the filter.
inline void ReleaseFilter(LayerFilter* filter) {
  if (!filter) return;
  if (filter->shareCount == 0) {
    delete filter;
  } else {
    --filter->shareCount;
  }
}

}  // namespace bw
