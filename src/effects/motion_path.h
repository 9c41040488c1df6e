// Motion paths: a text in a one-letter command language that moves a sprite or a layer's picture
// over time ("c 500 l", "M10 >3", "S P100,40 1000 !r"). Parse turns it into timed records; the
// evaluators give positions along a segment, straight or by the natural spline.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bw {

class CompositionLayer;
class Sprite;

enum PathRecordKind : uint8_t {
  kPathPosition = 0,
  kPathDuration = 1,
  kPathRandomDuration = 2,
  kPathEase = 3,
  kPathFront = 4,
  kPathBack = 5,
  kPathSmoothOn = 6,
  kPathSmoothOff = 7,
  kPathMoveStep = 8,
  kPathSwingStep = 9,
  kPathOrigin = 10,
};

// Parse and ReadPathEndState results.
constexpr int kPathParsed = 0;
constexpr int kPathNoTarget = 1;  // no text, or the target gives no sizes
constexpr int kPathLayerTransformed = 2;
constexpr int kPathLayerNoPicture = 3;
constexpr int kPathBadCharacter = 4;
constexpr int kPathEmpty = 5;
constexpr int kPathNumberMissing = 6;  // after "t", or "t a,b" with b below a
// ReadPathEndState's code for a missing number.
constexpr int kPathEndNumberMissing = 4;
// SetRecords refusal.
constexpr int kPathRecordsRefused = 1;

constexpr int32_t kPathDefaultDurationMs = 1000;
constexpr int32_t kPathDefaultMoveStep = 25;
constexpr int32_t kPathDefaultSwingStep = 50;

struct PathRecord {
  uint8_t kind = kPathPosition;
  // A position's opacity (-1 unchanged); an ease record's 1 when an exponent follows.
  int16_t value = -1;
  // Position; a duration's or step's number; a random duration's least duration and count.
  int32_t x = 0;
  int32_t y = 0;
  int32_t swingX = 0;  // amplitude: the sum of the swing steps
  int32_t swingY = 0;
  int32_t shiftX = 0;  // 0 swings right (down), -A left (up), -A/2 shakes
  int32_t shiftY = 0;
  double zoom = 1.0;
  double rotation = 0.0;  // turns; an ease record's exponent
  int32_t positionIndex = 0;
};

// The offset a swing of amplitude and shift adds at progress p (0 to 1); 0 again at p = 1.
int32_t SwingOffset(int32_t amplitude, int32_t shift, double p);

class MotionPath {
 public:
  // Sprite target: the sprite and the composition layer it shows in; layer target: sprite null.
  [[nodiscard]] int Parse(const char* text, const Sprite* sprite, const CompositionLayer* layer);
  // The position at t (0 to 1) of the segment from position record i to i + 1, with the
  // destination's swing.
  void EvaluateCubic(int32_t i, double t, int32_t* x, int32_t* y) const;
  void EvaluateLinear(int32_t i, double t, int32_t* x, int32_t* y) const;
  void Clear();
  // Takes over ready records: refused for fewer than 2.
  [[nodiscard]] int SetRecords(std::vector<PathRecord> records, int32_t positionCount, bool smooth);
  void BuildSpline(int32_t positionCount);

  const std::vector<PathRecord>& Records() const { return records_; }
  // The position records in order, the start state first.
  const PathRecord& Position(int32_t i) const {
    return records_[positions_[static_cast<size_t>(i)]];
  }
  int32_t PositionCount() const { return static_cast<int32_t>(positions_.size()); }
  int32_t LastPosition() const { return PositionCount() - 1; }
  uint8_t OrderMode() const { return orderMode_; }
  bool HasSpline() const { return !splineX_.empty(); }
  int32_t TotalTime() const { return totalTime_; }
  int32_t OriginX() const { return originX_; }
  int32_t OriginY() const { return originY_; }

 private:
  void Index();

  std::vector<PathRecord> records_;
  std::vector<size_t> positions_;
  std::vector<double> pointsX_;  // the positions the spline runs through
  std::vector<double> pointsY_;
  std::vector<double> splineX_;
  std::vector<double> splineY_;
  int32_t originX_ = 0;
  int32_t originY_ = 0;
  uint8_t orderMode_ = 0;
  int32_t totalTime_ = 0;
};

// The final state of a path without building it. Each out pointer may be null. Opacity 255
// when the path sets none; order 0, 1 after "F", 2 after "B".
[[nodiscard]] int ReadPathEndState(const char* text, int32_t* x, int32_t* y, const Sprite* sprite,
                                   const CompositionLayer* layer, int32_t* opacity, int32_t* order,
                                   double* zoom, double* rotation, int32_t* originX,
                                   int32_t* originY);

}  // namespace bw
