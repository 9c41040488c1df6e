// An invisible clickable rectangle laid over a picture drawn by other means. It fires on the
// press of the button or of the decide key, with no pressed look.
#pragma once

#include <cstdint>

#include "gui/click_action.h"
#include "gui/color_box_part.h"

namespace bw {

class HitAreaPart : public ClickablePart {
 public:
  ~HitAreaPart() override { ReleaseAction(); }

  int GetKind() const override { return kKindHitArea; }
  int32_t GetX() const override { return x_; }
  int32_t GetY() const override { return y_; }
  int32_t GetWidth() const override { return width_; }
  int32_t GetHeight() const override { return height_; }
  [[nodiscard]] int SetPosition(int32_t x, int32_t y) override;
  void SetVisible(bool /*visible*/) override {}
  bool IsVisible() const override { return enabled_; }
  [[nodiscard]] int SetOrder(int32_t, int32_t, bool) override { return 0; }
  int32_t GetOrder() const override { return 0; }
  [[nodiscard]] int SetAlpha(int) override { return 0; }
  int GetAlpha() const override { return 0; }
  [[nodiscard]] int SetState(uint32_t /*state*/) override { return 0; }
  bool HitTest(int32_t x, int32_t y) const override;
  void OnPointerOver(int32_t x, int32_t y) override;
  void OnPointerLeave() override;
  [[nodiscard]] bool OnPointerInput(int32_t x, int32_t y, Mouse* mouse) override;
  void OnFocusGot(UiControl* previous, bool forward) override;
  void OnFocusLost(UiControl* next) override;
  [[nodiscard]] bool OnKeyInput(InputBindingTable* bindings) override;
  [[nodiscard]] bool FireAction() override;

  // A negative centre coordinate is the rectangle's middle on that axis.
  [[nodiscard]] int Create(int32_t x, int32_t y, int32_t width, int32_t height, int32_t centerX,
                           int32_t centerY, bool hitEnabled, bool fireEnabled, int32_t group);
  bool IsHovered() const { return hovered_; }
  int32_t GetCenterX() const { return centerX_; }
  int32_t GetCenterY() const { return centerY_; }
  void SetCenter(int32_t x, int32_t y) {
    centerX_ = x;
    centerY_ = y;
  }

 private:
  int32_t x_ = 0;
  int32_t y_ = 0;
  int32_t centerX_ = 0;
  int32_t centerY_ = 0;
  bool hitEnabled_ = true;
  bool fireEnabled_ = true;
  bool hovered_ = false;
};

}  // namespace bw
