// Push buttons: up to four equal cells side by side (normal, hover, pressed, disabled), taken
// from an image file, from a surface the script holds, or drawn as a raised face with a label.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "gui/click_action.h"
#include "gui/color_box_part.h"
#include "gui/shown_by_object.h"

namespace bw {

class DisplayObjectList;
class TextRenderer;

constexpr uint32_t kDefaultFaceColor = 0xD4D0C8;
constexpr uint32_t kDefaultAccentColor = 0x400080FF;
// The smallest drawn button without a font.
constexpr int32_t kSmallestDrawn = 8;

// A picture button's cells, place and drawing. The colour keys, for a file's picture only: a
// pixel position (colorKeyB from 0), an RGB word (colorKeyA alone) or none (-1).
struct ButtonPicture {
  int32_t order = 0;
  bool hasDisabledCell = false;
  bool hasPressedCell = false;
  int32_t x = 0;
  int32_t y = 0;
  int blendMode = 0;
  int alpha = 255;
  int32_t colorKeyA = -1;
  int32_t colorKeyB = -1;
};

// The colour rules of the drawn faces; the alpha byte of the result is 0.
uint32_t BrightenColor(uint32_t color, int factor);
uint32_t ShiftColor(uint32_t color, int shift);

class ButtonPartBase : public ClickablePart {
 public:
  void ForgetGone(const void* object) override {
    if (labelFont_ == object) labelFont_ = nullptr;
  }
  [[nodiscard]] bool SetEnabled(bool enabled) override;
  bool HitTest(int32_t x, int32_t y) const override;
  [[nodiscard]] bool OnKeyInput(InputBindingTable* bindings) override;
  virtual bool PixelHitTest(int32_t x, int32_t y) const = 0;

  void SetFaceColors(uint32_t face, uint32_t accent) {
    faceColor_ = face;
    accentColor_ = accent;
  }
  bool IsBoxHit() const { return boxHit_; }
  // The script may ask for the cell rectangle as the hit area of any button, or for its pixels.
  void SetBoxHit(bool boxHit) { boxHit_ = boxHit; }

 protected:
  TextRenderer* labelFont_ = nullptr;
  std::string labelText_;
  std::string imageFile_;
  bool boxHit_ = false;
  bool hasDisabledCell_ = false;
  bool hasPressedCell_ = false;
  uint32_t faceColor_ = kDefaultFaceColor;
  int32_t colorKeyB_ = -1;
  uint32_t accentColor_ = kDefaultAccentColor;
};

class ButtonPart : public ShownByObject<ButtonPartBase> {
 public:
  ButtonPart();
  ~ButtonPart() override;
  void ForgetGone(const void* object) override {
    ButtonPartBase::ForgetGone(object);
    if (target_ == object) target_ = nullptr;
  }

  int GetKind() const override { return kKindPushButton; }
  int32_t GetWidth() const override { return width_; }
  int32_t GetHeight() const override { return height_; }
  [[nodiscard]] int SetPosition(int32_t x, int32_t y) override;
  void SetVisible(bool visible) override;
  [[nodiscard]] int SetOrder(int32_t order, int32_t tag, bool keepWhenEqual) override;
  int32_t GetOrder() const override { return order_; }
  [[nodiscard]] int SetState(uint32_t state) override;
  bool PixelHitTest(int32_t x, int32_t y) const override;

  virtual void Release();
  [[nodiscard]] int SetLabel(const char* text);
  [[nodiscard]] int SetImageFile(const char* fileName);
  [[nodiscard]] int AttachToTarget(DisplayObjectList* list);
  [[nodiscard]] int CreateFromSurface(DisplayObjectList* list, ImageSurface* surface,
                                      const ButtonPicture& look, int32_t group);
  [[nodiscard]] int CreateFromFile(DisplayObjectList* list, const char* fileName,
                                   const ButtonPicture& look, int32_t group);
  [[nodiscard]] int CreateDrawn(DisplayObjectList* list, int32_t order, const char* text,
                                TextRenderer* font, int32_t x, int32_t y, int32_t width,
                                int32_t height, bool hasDisabledCell, int32_t group);
  // The face content of a drawn button without a label; arrows of derived buttons.
  virtual void DrawFace(ImageSurface* /*surface*/, const Rect& /*rect*/, bool /*disabled*/) {}

  const Sprite& GetSprite() const { return sprite_; }
  Sprite& GetSprite() { return sprite_; }
  const ImageSurface* GetCells() const { return cells_.get(); }
  ImageSurface* GetCells() { return cells_.get(); }

 private:
  DisplayObject& ShownBy() override { return sprite_; }
  [[nodiscard]] bool BeginCreate(DisplayObjectList* list);
  // The cells of a file or surface picture, shown at (x, y) and listed.
  void ShowPicture(ImageSurface& picture, int32_t x, int32_t y, int blendMode, int alpha,
                   int32_t order, int32_t group);
  void DrawCells(int cellCount, int32_t labelX, int32_t labelY);

  DisplayObjectList* target_ = nullptr;
  int32_t order_ = 0;
  std::unique_ptr<ImageSurface> cells_;
  ImageSurface* source_ = nullptr;  // referenced: the sprite follows it as its user
  Sprite sprite_;
  int blendMode_ = 0;
  int alpha_ = 255;
  int32_t colorKeyA_ = -1;
};

}  // namespace bw
