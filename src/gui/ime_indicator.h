// The small picture of the input method's mode that the text fields show while they have the
// focus: "英数", or the width, kana and Roman flags and the conversion mode. It is no control; the
// part manager keeps the one indicator and hands it to the fields.
#pragma once

#include <cstdint>
#include <string>

#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "gui/shown_by_object.h"

namespace bw {

class DisplayObjectList;
class ImeContext;
class TextRenderer;

// Create results.
constexpr int kIndicatorDone = 0;
constexpr int kIndicatorBadArguments = 1;
constexpr int kIndicatorNoSurface = 2;

// Bits of the conversion and sentence mode words.
constexpr uint32_t kImeNative = 0x01;
constexpr uint32_t kImeKatakana = 0x02;
constexpr uint32_t kImeFullShape = 0x08;
constexpr uint32_t kImeRoman = 0x10;
constexpr uint32_t kImeNoConversion = 0x100;
constexpr uint32_t kSentencePluralClause = 0x01;
constexpr uint32_t kSentenceSingle = 0x02;
constexpr uint32_t kSentenceAutomatic = 0x04;
constexpr uint32_t kSentencePrediction = 0x08;

// The label of a mode: "英数" when closed or not converting, else the flags left to right.
std::string ImeModeLabel(bool open, uint32_t conversion, uint32_t sentence);

class ImeIndicatorBase {
 public:
  virtual ~ImeIndicatorBase() = default;
  // As the parts do: the font or the list is being destroyed.
  virtual void ForgetGone(const void* object) {
    if (font_ == object) font_ = nullptr;
  }
  virtual void Release() = 0;
  virtual int32_t GetX() const = 0;
  virtual int32_t GetY() const = 0;
  [[nodiscard]] virtual int Move(int32_t x, int32_t y) = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool IsVisible() const = 0;
  virtual void Refresh() = 0;
  // A colour of 0xFFFFFFFF keeps the old one.
  [[nodiscard]] virtual int SetColors(uint32_t textColor, uint32_t edgeColor);
  [[nodiscard]] virtual int SetRightAligned(bool rightAligned);

 protected:
  ImeContext* inputHost_ = nullptr;
  uint32_t lastConversion_ = 0;
  uint32_t lastSentence_ = 0;
  uint32_t textColor_ = 0xFFFFFF;
  uint32_t edgeColor_ = 0;
  TextRenderer* font_ = nullptr;
  int32_t anchorX_ = 0;
  int32_t anchorY_ = 0;
  bool rightAligned_ = false;
  bool lastOpen_ = false;
  bool dirty_ = false;
};

class ImeIndicator : public PlacedByObject<ImeIndicatorBase> {
 public:
  ~ImeIndicator() override;
  void ForgetGone(const void* object) override {
    ImeIndicatorBase::ForgetGone(object);
    if (list_ == object) list_ = nullptr;
  }

  void Release() override;
  [[nodiscard]] int Move(int32_t x, int32_t y) override;
  void SetVisible(bool visible) override { sprite_.SetVisible(visible); }
  void Refresh() override;

  [[nodiscard]] int Create(DisplayObjectList* list, ImeContext* inputHost, TextRenderer* font,
                           int32_t x, int32_t y, bool rightAligned, int32_t group);

  TextRenderer* GetFont() const { return font_; }
  const Sprite& GetSprite() const { return sprite_; }
  const ImageSurface& GetSurface() const { return surface_; }
  // Redraws so far, for tests of the unchanged case.
  uint32_t DrawCount() const { return drawCount_; }

 private:
  DisplayObject& ShownBy() override { return sprite_; }
  int32_t PictureWidth() const { return sprite_.GetSourceRect().right; }

  DisplayObjectList* list_ = nullptr;
  ImageSurface surface_;
  Sprite sprite_;
  uint32_t drawCount_ = 0;
};

}  // namespace bw
