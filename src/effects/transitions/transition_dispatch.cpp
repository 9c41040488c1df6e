#include "effects/transitions/transition_dispatch.h"

#include "effects/transitions/numbered_modes.h"
#include "effects/transitions/transition_frame.h"
#include "graphics/device/render_item_sprite.h"
#include "graphics/surface/image_surface.h"

namespace bw {
namespace {

bool IsDirectDrawKind(int kind) {
  return kind == kKindDirectDrawImageSurface || kind == kKindDirectDrawSurface;
}

}  // namespace

const std::array<TransitionRoutine, kTransitionModes>& TransitionTable() {
  static const std::array<TransitionRoutine, kTransitionModes> table = [] {
    std::array<TransitionRoutine, kTransitionModes> t{};
    for (int mode = 0; mode < kTransitionModes; ++mode) t[size_t(mode)] = NumberedModeRoutine(mode);
    return t;
  }();
  return table;
}

int TransitionSurfaceKind(const Surface* surface) {
  if (dynamic_cast<const ImageSurface*>(surface)) return kKindDibSurface;
  return surface->GetKind();
}

int NumberedTransitionDispatch(int mode, Surface* destination, Surface* source, int32_t progress,
                               int32_t x, int32_t y, int kind, Surface* backBuffer) {
  if (backBuffer) {
    if (!source || !IsDirectDrawKind(TransitionSurfaceKind(source))) return kTransitionUnsuitable;
    kind = kDrawDirectDraw;
  } else {
    if (!destination || !source) return kTransitionUnsuitable;
    const int to = TransitionSurfaceKind(destination), from = TransitionSurfaceKind(source);
    if (to != kKindDibSurface || from != kKindDibSurface) {
      if (to != kKindDirectDrawImageSurface || !IsDirectDrawKind(from)) {
        return kTransitionUnsuitable;
      }
      kind = kDrawDirectDraw;
    }
  }
  if (mode < 0 || mode >= kTransitionModes) return kTransitionNoMode;
  return TransitionTable()[size_t(mode)](destination, source, progress, x, y, kind, backBuffer);
}

void InstallTransitionDispatch() {
  SetTransitionDispatch(&NumberedTransitionDispatch);
}

}  // namespace bw
