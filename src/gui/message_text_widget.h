// The concrete text window: a 32-bit page drawn glyph by glyph and shown by a sprite in a display
// list, its background (a colour, or a nine-part frame built from images), the 8-bit item map
// that tells which link item lies under each pixel, and the highlight rectangles of the items.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "gui/message_text_widget_base.h"
#include "gui/shown_by_object.h"

namespace bw {

class CellImage;
class DisplayObjectList;
class FrameAnimTask;
class TimerService;

// Shared small answers of the widget's operations.
constexpr int kWidgetDone = 0;
constexpr int kWidgetRefused = 1;  // a missing page, list, renderer, name or size

// SetRenderers, SetBackgroundColor.
constexpr int kWidgetNoPage = -1;
constexpr int kWidgetUnchanged = -1;
constexpr int kWidgetColorNoPage = -2;

// Create.
constexpr int kCreatePageFailed = 2;
constexpr int kCreateItemMapFailed = 3;
// Recreate.
constexpr int kWidgetRecreateFailed = 3;
// SetBackgroundImages (SetBackground adds its load failures 2, 4, 6 and 8).
constexpr int kBackgroundMiddleFailed = 3;
constexpr int kBackgroundBaseFailed = 5;
constexpr int kBackgroundFrameLoadFailed = 2;
constexpr int kBackgroundMiddleLoadFailed = 4;
constexpr int kBackgroundBaseLoadFailed = 6;
constexpr int kBackgroundCopyFailed = 8;
constexpr int kBackgroundRecreateFailed = 9;
// Resize.
constexpr int kResizePageFailed = 2;
constexpr int kResizeSpriteFailed = 3;
constexpr int kResizeItemMapFailed = 4;
// SetVertical: the face change that failed.
constexpr int kVerticalMainVertical = 1;
constexpr int kVerticalMainHorizontal = 2;
constexpr int kVerticalRubyVertical = 3;
constexpr int kVerticalRubyHorizontal = 4;
// DrawImage.
constexpr int kImageLoadFailed = 2;
// PutUpright.
constexpr int kUprightNotVertical = 2;
constexpr int kUprightNoText = 3;

// The orientations of horizontal and vertical text, in tenths of a degree.
constexpr int32_t kHorizontalTenths = 0;
constexpr int32_t kVerticalTenths = 2700;

// The sprite's blend mode for the page.
constexpr int kPageBlendMode = 2;

// One character as the typing reads it: the text handed to the renderer, the character the
// kinsoku tests see, and the bytes consumed.
struct TypedGlyph {
  char text[8] = {};
  uint16_t kinsokuChar = 0;  // a wide character's two bytes, else the byte
  bool wide = false;
  size_t consumed = 0;
};

class MessageTextWidget : public PlacedByObject<MessageTextWidgetBase> {
 public:
  MessageTextWidget();
  ~MessageTextWidget() override;
  void ForgetGone(const void* object) override {
    MessageTextWidgetBase::ForgetGone(object);
    if (list_ == object) list_ = nullptr;
  }

  [[nodiscard]] int SetPosition(int32_t x, int32_t y) override;
  void SetVisible(bool visible) override;
  // The sprite's priority in its list.
  [[nodiscard]] int SetOrder(int32_t order, int32_t group, bool keepWhenEqual) override;
  int32_t GetOrder() const override { return priority_; }
  [[nodiscard]] int SetAlpha(int alpha) override;
  int GetAlpha() const override { return sprite_.GetAlpha(); }

  virtual void Destroy();
  [[nodiscard]] int SetRenderers(TextRenderer* main, TextRenderer* ruby, bool redraw);
  void ReleaseBackground();
  // Names of images; middle may be null (none). Loads each into a surface of its own.
  [[nodiscard]] int SetBackground(const char* frameName, const char* middleName,
                                  const char* baseName, bool recreate);
  [[nodiscard]] virtual int SetBackgroundColor(int kind, uint32_t rgb, int opacity, bool redraw);
  [[nodiscard]] int SetMargins(int32_t left, int32_t top, int32_t right, int32_t bottom,
                               bool redraw);
  [[nodiscard]] int SetPaddings(int32_t left, int32_t top, int32_t right, int32_t bottom,
                                bool redraw);
  [[nodiscard]] int Recreate(int32_t x, int32_t y);
  [[nodiscard]] int EnableLinks(bool on, bool redraw);
  [[nodiscard]] int SetVertical(bool on, bool redraw);

  [[nodiscard]] int MoveTo(int32_t x, int32_t y) override;
  void GetCellOrigin(int32_t* x, int32_t* y, int32_t width, int32_t height) const;
  void ClearPage();
  virtual void Home(bool clear);
  void LineStart(bool clear);
  [[nodiscard]] bool NewLine() override;
  [[nodiscard]] int PutChar(const char** cursor) override { return PutCharTo(cursor, nullptr); }
  [[nodiscard]] int DrawString(const char* text, int32_t x, int32_t y, bool throughMoveTo) override;
  // keyY >= 0: the key is the image's pixel at (key, keyY); else a key other than -1 is the
  // colour key itself.
  [[nodiscard]] int DrawImage(const char* name, int32_t key, int32_t keyY);
  [[nodiscard]] int PutUpright(const char* text);
  bool HitFrame(int32_t x, int32_t y) const override;
  void PaintItemArea(int32_t x, int32_t y, int32_t width, int32_t height) override;
  int ItemAt(int32_t x, int32_t y) const override;
  void ShowItemHighlight(int index, bool on) override;

  [[nodiscard]] int Create(DisplayObjectList* list, int32_t priority, int32_t width, int32_t height,
                           int32_t x, int32_t y, TextRenderer* main, TextRenderer* ruby,
                           int32_t group);
  // The images are copied; middle (8-bit) may be null.
  [[nodiscard]] int SetBackgroundImages(const ImageSurface* frame, const ImageSurface* middle,
                                        const ImageSurface* base, bool recreate);
  void RedrawBackground(bool kindChanged, bool colorChanged, bool opacityChanged);
  [[nodiscard]] bool SetFrameSlices(int32_t left, int32_t top, int32_t tileWidth,
                                    int32_t tileHeight);
  [[nodiscard]] int Resize(int32_t width, int32_t height, bool keep);
  // Places the character at *cursor on target (null: the page): kBreakNone, kBreakNewLine or
  // kBreakPageFull (nothing consumed).
  [[nodiscard]] int PutCharTo(const char** cursor, ImageSurface* target);

  // The wait mark after the last character: shown (started) or taken away (held).
  void ShowWaitMark(bool on);
  // Takes the wait mark's task off its timer service.
  void RemoveWaitMark();
  bool IsWaitMarkShown() const { return waitShown_; }

  // Reads the character at cursor ("@@", '@' and up to six digits, a wide or a narrow one).
  static TypedGlyph ReadGlyph(const char* cursor);

  ImageSurface& Page() { return page_; }
  const ImageSurface& Page() const { return page_; }
  const Sprite& PageSprite() const { return sprite_; }
  Sprite& PageSprite() { return sprite_; }
  const ImageSurface* ItemMap() const { return itemMap_.get(); }
  const ImageSurface* BackgroundSurface() const { return background_.get(); }
  DisplayObjectList* GetDisplayList() const { return list_; }
  size_t HighlightsInUse() const { return highlightsInUse_; }
  const ColorRectObject* Highlight(size_t i) const {
    return i < highlights_.size() ? highlights_[i].get() : nullptr;
  }
  int32_t GetPreviousPen() const { return previousPen_; }
  int32_t MarginLeft() const { return marginLeft_; }
  int32_t MarginTop() const { return marginTop_; }
  int32_t MarginRight() const { return marginRight_; }
  int32_t MarginBottom() const { return marginBottom_; }
  int32_t GetCharGap() const { return charGap_; }

 protected:
  DisplayObject& ShownBy() override { return sprite_; }
  // The glyph placed at the pen on target (drawn unless measuring); the pen advances.
  void PlaceGlyph(const TypedGlyph& glyph, ImageSurface* target, bool draw);
  // The breaking rule, then the glyph placed (drawn unless measuring).
  [[nodiscard]] int PlaceTyped(const TypedGlyph& glyph, ImageSurface* target, bool draw);
  // Marks a rectangle of the page changed for the display list.
  void MarkPage(const Rect& rect);
  // The same when onto is the page.
  void MarkDrawn(const ImageSurface* onto, const Rect& rect);
  // Where strings, images and upright runs are drawn; null while a layout only measures.
  virtual ImageSurface* DrawTarget() { return &page_; }
  // A frame animation of image on the page, held hidden until shown; kFrameAnim* codes.
  [[nodiscard]] int SetUpWaitMark(CellImage* image, TimerService* timers);
  // After the page's background changed: what lies under the hidden mark is kept anew.
  void KeepWaitMarkBackground();
  int32_t& Along() { return vertical_ ? penY_ : penX_; }
  int32_t LineEnd() const { return vertical_ ? height_ - marginBottom_ : width_ - marginRight_; }
  bool HasFrameTiles() const { return tileWidth_ > 0 && tileHeight_ > 0; }

  DisplayObjectList* list_ = nullptr;
  int32_t priority_ = 0;
  ImageSurface page_;
  Sprite sprite_;
  FrameAnimTask* waitTask_ = nullptr;  // owned by its timer service
  CellImage* waitImage_ = nullptr;
  TimerService* waitTimers_ = nullptr;
  bool waitShown_ = false;

 private:
  [[nodiscard]] int MakeItemMap();
  void DestroyPage();
  void DestroyHighlights();
  void LayOutFrame();
  bool SlicesFit() const;
  [[nodiscard]] int SetFaces(bool vertical);

  std::unique_ptr<ImageSurface> background_;
  std::unique_ptr<ImageSurface> frame_;
  std::unique_ptr<ImageSurface> middle_;
  std::unique_ptr<ImageSurface> base_;
  std::string frameName_;
  std::string middleName_;
  std::string baseName_;
  int32_t tileWidth_ = 0;
  int32_t tileHeight_ = 0;
  int32_t leftPart_ = 0;
  int32_t topPart_ = 0;
  int32_t rightPart_ = 0;
  int32_t bottomPart_ = 0;
  int32_t previousPen_ = 0;
  std::unique_ptr<ImageSurface> itemMap_;
  std::deque<std::unique_ptr<ColorRectObject>> highlights_;
  size_t highlightsInUse_ = 0;
};

}  // namespace bw
