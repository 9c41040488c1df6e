// The arrow buttons at the ends of a scroll bar: they step their bar on the press and again while
// held, and draw their arrow as the face of a drawn button.
#pragma once

#include <cstdint>

#include "gui/button_part.h"

namespace bw {

class ScrollContainerBase;

// Arrow directions; bit 0 set steps forward.
constexpr uint8_t kArrowUp = 0;
constexpr uint8_t kArrowDown = 1;
constexpr uint8_t kArrowLeft = 2;
constexpr uint8_t kArrowRight = 3;

// The first repeat of a held arrow or track press, and the ones after it.
constexpr uint32_t kRepeatFirstMs = 500;
constexpr uint32_t kRepeatNextMs = 100;

class ScrollButtonPart : public ButtonPart {
 public:
  ScrollButtonPart(ScrollContainerBase* list, uint8_t direction, uint32_t arrowColor)
      : list_(list), direction_(direction), arrowColor_(arrowColor) {}

  [[nodiscard]] bool OnPointerInput(int32_t x, int32_t y, Mouse* mouse) override;
  [[nodiscard]] bool FireAction() override;
  void DrawFace(ImageSurface* surface, const Rect& rect, bool disabled) override;

  uint8_t GetDirection() const { return direction_; }

 private:
  void DrawArrow(ImageSurface* surface, const Rect& rect, uint32_t color) const;

  ScrollContainerBase* list_;
  uint8_t direction_;
  uint32_t repeatAt_ = 0;
  uint32_t arrowColor_;
};

}  // namespace bw
