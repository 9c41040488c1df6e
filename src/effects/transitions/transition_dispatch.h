// The numbered transitions' entry point: the surface checks, then the routine of the mode.
#pragma once

#include <array>
#include <cstdint>

#include "graphics/surface/surface.h"

namespace bw {

constexpr int kTransitionModes = 87;
// The answer for a mode outside 0 to 86 (the surfaces suit).
constexpr int kTransitionNoMode = -1;

// A mode routine: (destination, source, progress, x, y, draw kind, back buffer or null).
using TransitionRoutine = int (*)(Surface* destination, const Surface* source, int32_t progress,
                                  int32_t x, int32_t y, int kind, Surface* backBuffer);

// The routines by mode.
const std::array<TransitionRoutine, kTransitionModes>& TransitionTable();

// The surface kinds the transitions tell apart: any image surface (the layers too) counts as a
// DIB surface.
int TransitionSurfaceKind(const Surface* surface);

// backBuffer stands for the display manager: when given, the source must be a DirectDraw
// surface and the pieces go to the back buffer's DirectDraw surface (kind 2). Otherwise two image
// surfaces keep the caller's kind, a DirectDraw image destination with a DirectDraw source gets
// kind 2, and anything else answers 1.
[[nodiscard]] int NumberedTransitionDispatch(int mode, Surface* destination, Surface* source,
                                             int32_t progress, int32_t x, int32_t y, int kind,
                                             Surface* backBuffer);

// Installs the dispatcher behind the transition render item and the other callers.
void InstallTransitionDispatch();

}  // namespace bw
