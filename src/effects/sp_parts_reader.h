// Parts definition files ("SYS/CA0%02d.TXT"): a text that lists the parts of a standing picture,
// each an image with a key-frame path ("*" parts) or a looping scroll ("$" parts). The file is
// read once; a counting pass checks the structure and a filling pass builds the steps over the
// same bytes, never past what the counting pass found.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bw {

// Reader results.
constexpr int kPartsRead = 0;
constexpr int kPartsNoFile = 2;
constexpr int kPartsNoImage = 3;
constexpr int kPartsStepBeforeHeader = 4;
constexpr int kPartsKeyFrameBeforeHeader = 5;
constexpr int kPartsNoPart = 6;
constexpr int kPartsNoKeyFrame = 7;
constexpr int kPartsTimeMissing = 8;
constexpr int kPartsTimeZero = 9;
constexpr int kPartsFirstNotKeyFrame = 10;

// Step kinds; they are the motion path's record kinds.
constexpr uint8_t kStepKeyFrame = 0;
constexpr uint8_t kStepTime = 1;
constexpr uint8_t kStepEase = 3;
constexpr uint8_t kStepFront = 4;
constexpr uint8_t kStepBack = 5;
constexpr uint8_t kStepSmoothOn = 6;
constexpr uint8_t kStepSmoothOff = 7;
constexpr uint8_t kStepCentre = 10;

constexpr int32_t kPartsDefaultTimeMs = 1000;
constexpr int32_t kLoopDefaultTimeMs = 2000;

struct PartsStep {
  uint8_t kind = kStepKeyFrame;
  uint8_t value = 0;  // key frame: opacity; ease: 1 when an exponent was given
  int32_t x = 0;      // key frame: x; time: ms; centre: x
  int32_t y = 0;
  int32_t lineValues[4] = {0, 0, 0, 0};
  double zoom = 1.0;  // key frame: zoom; ease: the exponent
  double rotation = 0.0;
  int32_t keyIndex = 0;
};

// What the filling pass measures a part against.
struct PartImageInfo {
  int32_t width = 0;
  int32_t height = 0;
  int32_t anchorX = 0;
  int32_t anchorY = 0;
};

struct PartsPart {
  bool looping = false;  // a "$" part
  std::string image;     // as the header names it
  // "$" parts: x, y, view, opacity, direction, time; given[i] when the header holds value i.
  int32_t loop[6] = {0, 0, 0, 255, 0, kLoopDefaultTimeMs};
  bool given[6] = {false, false, false, false, false, false};
  // "*" parts: the counting pass's counts, then the filling pass's results.
  int32_t stepCount = 0;
  int32_t keyFrames = 0;
  std::vector<PartsStep> steps;  // empty for fewer than two steps
  PartsStep first;               // the first key frame, where the part stands
  bool show = false;             // an "s" step turns the smooth path on
  uint8_t motionMode = 0;        // 1 after "f", 2 after "b"
  bool zoomUsed = false;
  bool rotationUsed = false;
  double largestZoom = 1.0;
  int32_t totalMs = 0;
  int32_t centreX = 0;
  int32_t centreY = 0;
  // The lines of the part, kept for the filling pass.
  std::vector<std::string_view> lines;
};

// The counting pass: the parts in file order with their step counts and lines; a kParts code.
// The parts' lines point into text, which must outlive them.
[[nodiscard]] int CountParts(std::string_view text, bool readHidden, std::vector<PartsPart>* parts);
// The filling pass of one "*" part; offsets move the start place.
[[nodiscard]] int FillPart(PartsPart& part, const PartImageInfo& image, int32_t offsetX,
                           int32_t offsetY);

}  // namespace bw
