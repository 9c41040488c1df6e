#include "graphics/surface/surface.h"

#include <algorithm>

namespace bw {

bool SurfaceBase::SetClipRect(const Rect* rect) {
  if (!rect) {
    clip_ = {0, 0, width_, height_};
    return true;
  }
  if (rect->top >= rect->bottom || rect->left >= rect->right) return false;
  clip_ = {std::max(rect->left, 0), std::max(rect->top, 0), std::min(rect->right, width_),
           std::min(rect->bottom, height_)};
  return true;
}

bool SurfaceBase::ClipToClipRect(Rect* rect) const {
  rect->left = std::max(rect->left, clip_.left);
  rect->right = std::min(rect->right, clip_.right);
  if (rect->left >= rect->right) return false;
  rect->top = std::max(rect->top, clip_.top);
  rect->bottom = std::min(rect->bottom, clip_.bottom);
  return rect->top < rect->bottom;
}

}  // namespace bw
