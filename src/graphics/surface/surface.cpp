#include "graphics/surface/surface.h"

#include <algorithm>

#include "common/gone_notice.h"

namespace bw {

Surface::Surface(const Surface& other)
    : width_(other.width_),
      height_(other.height_),
      pitch_(other.pitch_),
      colorKey_(other.colorKey_),
      clip_(other.clip_),
      word1_(other.word1_),
      word2_(other.word2_),
      word3_(other.word3_) {}

Surface& Surface::operator=(const Surface& other) {
  width_ = other.width_;
  height_ = other.height_;
  pitch_ = other.pitch_;
  colorKey_ = other.colorKey_;
  clip_ = other.clip_;
  word1_ = other.word1_;
  word2_ = other.word2_;
  word3_ = other.word3_;
  return *this;
}

Surface::~Surface() {
  NotifyGone(this);
  // A user may unregister others (or itself) while detaching: take them one at a time.
  while (!users_.empty()) {
    SurfaceUser* user = users_.back();
    users_.pop_back();
    user->DetachSurface(this);
  }
}

void Surface::AddUser(SurfaceUser* user) const {
  if (user) users_.push_back(user);
}

void Surface::RemoveUser(SurfaceUser* user) const {
  auto it = std::find(users_.begin(), users_.end(), user);
  if (it != users_.end()) users_.erase(it);
}

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
