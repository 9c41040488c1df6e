// Parts whose place, visibility and alpha are those of the display object that shows them: the
// forwards to that object, written once over the part's own base.
#pragma once

#include <cstdint>

#include "graphics/surface/display_object.h"

namespace bw {

// The place and the visibility.
template <typename Base>
class PlacedByObject : public Base {
 public:
  using Base::Base;
  int32_t GetX() const override { return ShownBy().GetX(); }
  int32_t GetY() const override { return ShownBy().GetY(); }
  bool IsVisible() const override { return ShownBy().IsVisible(); }

 protected:
  // The object that shows the part.
  virtual DisplayObject& ShownBy() = 0;
  const DisplayObject& ShownBy() const { return const_cast<PlacedByObject*>(this)->ShownBy(); }
};

// The place, the visibility and the alpha.
template <typename Base>
class ShownByObject : public PlacedByObject<Base> {
 public:
  using PlacedByObject<Base>::PlacedByObject;
  [[nodiscard]] int SetAlpha(int alpha) override { return this->ShownBy().SetAlpha(alpha); }
  int GetAlpha() const override { return this->ShownBy().GetAlpha(); }
};

}  // namespace bw
