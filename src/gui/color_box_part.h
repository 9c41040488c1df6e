// A plain rectangle of one colour that follows the click state: normal, hover, pressed.
#pragma once

#include <cstdint>

#include "graphics/surface/color_rect_object.h"
#include "gui/click_action.h"
#include "gui/shown_by_object.h"

namespace bw {

class DisplayObjectList;

// Create results.
constexpr int kCreateDone = 0;
constexpr int kCreateBadArguments = 1;
constexpr int kCreateNoPicture = 2;

constexpr uint32_t kKeepColor = 0xFFFFFFFF;

class ColorBoxPartBase : public ClickablePart {
 public:
  virtual void DetachFromTarget() = 0;

 protected:
  uint32_t normalColor_ = 0;
  uint32_t hoverColor_ = 0x400080FF;
  uint32_t pressedColor_ = 0x40FF8000;
};

class ColorBoxPart : public ShownByObject<ColorBoxPartBase> {
 public:
  ~ColorBoxPart() override;
  void ForgetGone(const void* object) override {
    if (target_ == object) target_ = nullptr;
  }

  int GetKind() const override { return kKindColorBox; }
  int32_t GetWidth() const override { return width_; }
  int32_t GetHeight() const override { return height_; }
  [[nodiscard]] int SetPosition(int32_t x, int32_t y) override;
  void SetVisible(bool visible) override;
  [[nodiscard]] int SetOrder(int32_t order, int32_t tag, bool keepWhenEqual) override;
  int32_t GetOrder() const override { return order_; }
  [[nodiscard]] int SetState(uint32_t state) override;
  void DetachFromTarget() override;

  [[nodiscard]] int AttachToTarget(DisplayObjectList* list);
  // A normal colour of kKeepColor keeps the stored one, as do hover and pressed colours.
  [[nodiscard]] int Create(DisplayObjectList* list, int32_t order, int32_t x, int32_t y,
                           int32_t width, int32_t height, uint32_t normalColor, uint32_t hoverColor,
                           uint32_t pressedColor, int32_t group);
  [[nodiscard]] int Resize(int32_t width, int32_t height);
  const ColorRectObject& Rect() const { return rect_; }
  ColorRectObject& Rect() { return rect_; }

 private:
  DisplayObject& ShownBy() override { return rect_; }
  DisplayObjectList* target_ = nullptr;
  int32_t order_ = 0;
  ColorRectObject rect_;
};

}  // namespace bw
