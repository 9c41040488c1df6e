// "ripple": a cross-fade from the old picture to the new one while rings of waves run outward
// from a centre and bend both. The per-pixel work is two table look-ups and a move after one
// blend of the two pictures; the tables come from the shared cache.
#pragma once

#include <memory>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "effects/filter_effect.h"
#include "effects/ripple_tables.h"
#include "graphics/pixel/ripple_rows.h"

namespace bw {

class RippleEffect final : public FilterEffect {
 public:
  static std::unique_ptr<FilterEffect> Create(uint32_t extra);
  // The registry record's start-up routine: chooses the row blend once.
  static void Initialise();
  // The registry record's release routine: empties the table cache.
  static void Finalise();
  // The row blend in use.
  static RippleCrossRoutine CrossRows();

  RippleEffect() = default;
  ~RippleEffect() override;

  uint8_t GetKind() const override { return kFilterKindTwoLayerBanded; }
  const char* GetKeyword() const override { return "ripple"; }
  [[nodiscard]] int Advance(uint32_t nowMs) override;
  int IsFinished() const override { return level_ >= 255 ? 1 : 0; }
  [[nodiscard]] int Draw(const FilterDrawRequest& request) override;
  using FilterEffect::SetUp;
  // Words: duration (ms, at least 2), centre x and y (negative: the middle), wave length (16,
  // 32, 64 or 128), aspect and speed as decimal texts (1.0 and 6.0 when missing), amplitude
  // (1-127; 0 or less: 24).
  [[nodiscard]] int SetUp(SurfaceLayer* target, ArgWords args) override;

  const RippleTables* Tables() const { return tables_; }
  const RippleKey& Key() const { return key_; }
  int32_t Level() const { return level_; }
  int32_t Phase() const { return phase_; }
  int32_t AmplitudeLevel() const { return amplitudeLevel_; }
  int32_t Margin() const { return margin_; }

 private:
  struct Placed;
  struct CrossedRing;
  RippleBounds SampleBounds(const Placed& from, const Placed& to) const;
  // The least and greatest displacement of the current level and phase.
  void MeasureDisplacement();
  void CrossFadeArea(const FilterDrawRequest& a, const Placed& from, const Placed& to) const;
  // The sample offsets for the crossed frame's pitch, made again when it or the level changed.
  void PrepareOffsets(ptrdiff_t pitch);
  void MoveRow(const FilterDrawRequest& a, int32_t j, const CrossedRing& frame,
               const RippleBounds& bounds) const;

  RippleKey key_;
  float speed_ = 6.0f;
  bool firstStep_ = false;
  uint32_t startMs_ = 0;
  uint32_t elapsedMs_ = 0;
  RippleTables* tables_ = nullptr;
  int32_t level_ = 0;
  int32_t phase_ = 0;
  int32_t amplitudeLevel_ = 0;
  int32_t margin_ = 2;
  const uint16_t* displacement_ = nullptr;
  // The old and new pictures blended at the level, in ripple coordinates, for the rows that
  // the output rows near the one being drawn reach: made at set-up.
  std::vector<uint32_t> crossed_;
  // The sample offsets in the crossed frame per quadrant, and what they were made for.
  std::vector<int32_t> offsets_;
  const uint16_t* offsetsRow_ = nullptr;
  ptrdiff_t offsetsPitch_ = 0;
  // The least and greatest displacement in use, across and down, before the quadrant's signs.
  int32_t leastAcross_ = 0, mostAcross_ = 0, leastDown_ = 0, mostDown_ = 0;
};

}  // namespace bw
