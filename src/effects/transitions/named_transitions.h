// The drawing of the eight named transitions: one function per transition, drawing the state at
// a progress value into the area a layer asks for. The effect classes keep the arguments and the
// progress laws and call these. Pixel work goes through the published pixel library, or the
// built-in table's routines when none is published.
#pragma once

#include <cstdint>

namespace bw {

class ImageSurface;
class PixelLibrary;

// The published pixel library, or the built-in one when none is published.
const PixelLibrary& DrawingLibrary();

// What a layer hands a transition's draw: the area (a point in the layer's surface and a size),
// and where it lies in the target and in the old and the new picture.
struct TransitionDrawArea {
  int32_t areaX = 0;
  int32_t areaY = 0;
  int32_t width = 0;
  int32_t height = 0;
  ImageSurface* target = nullptr;
  int32_t targetX = 0;
  int32_t targetY = 0;
  const ImageSurface* oldImage = nullptr;
  int32_t oldX = 0;
  int32_t oldY = 0;
  const ImageSurface* newImage = nullptr;
  int32_t newX = 0;
  int32_t newY = 0;
};

// Draw results.
constexpr int kNamedDrawDone = 0;
constexpr int kNamedDrawBadArgument = 1;  // a missing picture or target, a value out of range
constexpr int kNamedDrawUnsuitable = 2;   // not 32 bits per pixel; a rule smaller than the target
constexpr int kNamedDrawFailed = 5;       // a pixel routine reported failure or is missing

// The area is first cut to every surface it reads or writes; nothing left draws nothing (0).

// Checks the pictures (the new one only when needsNew) and cuts the area to them: kNamedDrawGo
// when something is left to draw, else the answer to give (kNamedDrawDone for nothing left).
constexpr int kNamedDrawGo = -1;
[[nodiscard]] int PrepareDrawArea(TransitionDrawArea& area, bool needsNew);
// Whether the area lies whole in the target and the pictures (the new one only when needsNew),
// all at 32 bits: a transition that covers what it draws then writes every pixel of it.
bool DrawsWholeArea(const TransitionDrawArea& area, bool needsNew);

// level 0 (old) to 255 (new).
[[nodiscard]] int DrawCrossTransition(const TransitionDrawArea& area, int level);
// rule: 8-bit, read at the area's point; at least the target's size.
[[nodiscard]] int DrawRuleTransition(const TransitionDrawArea& area, const ImageSurface* rule,
                                     int level, int rampWidth);
// The old picture, with the numbered transition of mode (0 to 86) drawing the new one over it at
// progress 0 to 256.
[[nodiscard]] int DrawTransTransition(const TransitionDrawArea& area, int mode, int32_t progress);
// The old picture blended toward color at level; 255 is the colour alone.
[[nodiscard]] int DrawToneTransition(const TransitionDrawArea& area, uint32_t color, int level);
// step 0 to maximum: the old picture in blocks growing to maximum / 2, then the new one in
// blocks shrinking to 1. anchor 0 (centred) to 4; keepAspect stretches the blocks to the area.
[[nodiscard]] int DrawMosaicTransition(const TransitionDrawArea& area, int32_t step,
                                       int32_t maximum, int anchor, bool keepAspect);
// p 0 to 256: the picture turned about axis 0-3 (half a turn at 256), the old one up to 128.
[[nodiscard]] int DrawRotaxisTransition(const TransitionDrawArea& area, int32_t p, int axis);

constexpr int kScrollDirections = 4;
constexpr int kScrollModes = 5;
// direction 0 right, 1 down, 2 left, 3 up; mode 0 the new slides in, 1 the old slides out, 2
// both (push), 3 and 4 as 0 and 1 with the moving picture faded at fadeLevel. position: pixels.
[[nodiscard]] int DrawScrollTransition(const TransitionDrawArea& area, int direction, int mode,
                                       int32_t position, int fadeLevel);

// One frame of the wave: the cross-blend level, the rows' amplitude (pixels), the sine step from
// row to row and the first row's phase (both in 512ths of a sine step), and the gap colour.
struct WaveFrame {
  int level = 0;
  int32_t amplitude = 0;
  int32_t step = 0;
  int32_t phase = 0;
  uint32_t gapColor = 0;
};
[[nodiscard]] int DrawWaveTransition(const TransitionDrawArea& area, const WaveFrame& wave);

}  // namespace bw
