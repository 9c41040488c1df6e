// The menu of choices: a column of item cells between an optional head and tail picture. Each
// cell holds its looks side by side (normal, under the pointer, pressed) with the item's text
// drawn in; choosing marks the item read, writes its key to the result word, and fires.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "gui/ui_control.h"

namespace bw {

class BitSet;
class DisplayObjectList;
class TextRenderer;

// The record of one item; an item without one is a plain label.
struct ChoiceAction {
  std::string label;
  bool disabled = false;
  int32_t key = -1;  // negative: the item's index stands for it
  std::string actionText1;
  int32_t actionValue = -1;
  std::string actionText2;
  // Guest addresses of script words, 0 for none.
  uint32_t clickedVar = 0;
  uint32_t hoveredVar = 0;
  uint32_t notHoveredVar = 0;
  std::string tooltip;
};

// Item looks.
constexpr int kLookNormal = 0;
constexpr int kLookHover = 1;
constexpr int kLookPressed = 2;

// How the looks after the first are filled.
constexpr uint8_t kFillNone = 0;
constexpr uint8_t kFillColorWithAlpha = 1;  // the fill colour with the background alpha
constexpr uint8_t kFillComplement = 3;      // the background's complement, background alpha
// Any other mode: the fill colour as it stands.

// The pointer must move this far from where it rested when the items changed.
constexpr int32_t kPointerGuard = 3;

class ImageListPartBase : public UiControl {
 public:
  ~ImageListPartBase() override;
  void ForgetGone(const void* object) override {
    if (renderer_ == object) renderer_ = nullptr;
  }

  int32_t GetWidth() const override { return width_; }
  int32_t GetHeight() const override { return height_; }
  bool HitTest(int32_t x, int32_t y) const override;
  void OnPointerOver(int32_t x, int32_t y) override;
  void OnPointerLeave() override;
  [[nodiscard]] bool OnPointerInput(int32_t x, int32_t y, Mouse* mouse) override;
  void OnFocusGot(UiControl* previous, bool forward) override;
  void OnFocusLost(UiControl* next) override;
  [[nodiscard]] bool OnKeyInput(InputBindingTable* bindings) override;
  const char* GetTooltipText() const override { return tooltip_; }

  [[nodiscard]] virtual int SetItemState(int32_t index, int state) = 0;
  [[nodiscard]] virtual bool GetCellCentre(int32_t index, int32_t* x, int32_t* y) const = 0;
  virtual bool IsOnHandle(int32_t x, int32_t y) const = 0;
  virtual int32_t ItemAt(int32_t x, int32_t y) const = 0;

  void ClearItems();
  [[nodiscard]] int SetReadFlags(BitSet* flags, int32_t base, uint32_t resultVar);
  // 1 for null.
  [[nodiscard]] int CopyReadFlagsFrom(const ImageListPartBase* other);
  void SetSounds(const char* decide, const char* enter, const char* leave, int32_t decideId,
                 int32_t enterId, int32_t leaveId);
  void SetTextColors(uint32_t normal, uint32_t read, uint32_t hover, uint32_t disabled);
  // Top and bottom colour pairs used instead of the text colours while the renderer's gradation
  // is on.
  void SetGradations(uint32_t normalTop, uint32_t normalBottom, uint32_t readTop,
                     uint32_t readBottom, uint32_t hoverTop, uint32_t hoverBottom,
                     uint32_t disabledTop, uint32_t disabledBottom);
  void SetMargins(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // Where the text starts inside a cell's margins; the cells drawn after it use it.
  void SetTextOffset(int32_t x, int32_t y) {
    textX_ = x;
    textY_ = y;
  }
  void SetFill(uint8_t mode, uint32_t color) {
    fillMode_ = mode;
    fillColor_ = color;
  }
  void SetFillMode(uint8_t mode) { fillMode_ = mode; }
  void SetRenderer(TextRenderer* renderer) { renderer_ = renderer; }
  void SetShowReadColors(bool show) { showReadColors_ = show; }
  bool ShowsReadColors() const { return showReadColors_; }
  // The first of the two values given at set-up, kept for the script.
  int32_t GetValueA() const { return valueA_; }
  void SetDraggable(uint8_t threshold) { draggable_ = threshold; }
  void SetPressedOffset(int32_t x, int32_t y) {
    pressedX_ = x;
    pressedY_ = y;
  }
  void StopDragging() { dragging_ = false; }
  void SetLocked(bool locked) { locked_ = locked; }
  // The items take the pointer where it rests, without waiting for it to move.
  void ClearPointerGuard() { pointerGuard_ = false; }
  bool IsLocked() const { return locked_; }
  [[nodiscard]] int AddItem(const char* label, bool disabled, int32_t key, const char* actionText1,
                            int32_t actionValue, const char* actionText2, const char* tooltip,
                            uint32_t clickedVar, uint32_t hoveredVar, uint32_t notHoveredVar);
  [[nodiscard]] bool Choose(int32_t index);
  [[nodiscard]] bool MoveCursorTo(int32_t index);
  [[nodiscard]] bool EnterItem(int32_t index);
  [[nodiscard]] bool LeaveItem(int32_t index);
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  int32_t Cursor() const { return cursor_; }
  int CursorState() const { return cursorState_; }
  const ChoiceAction* GetItem(int32_t index) const;

 protected:
  bool IsItemEnabled(int32_t index) const;
  bool IsRead(int32_t itemIndex, int32_t cellIndex) const;
  void WriteWord(uint32_t address, int32_t value);
  // Leaves the current item, hiding its tooltip and restarting the wait; then there is none.
  void LeaveCurrent();
  int32_t NextEnabled(int32_t from, int step) const;
  bool PointerGuarded() const { return pointerGuard_; }

  TextRenderer* renderer_ = nullptr;
  int32_t valueA_ = 0;
  int32_t valueB_ = 0;
  int32_t spacing_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
  bool showReadColors_ = true;
  uint8_t draggable_ = 0;
  uint32_t backgroundColor_ = 0;
  uint8_t backgroundAlpha_ = 128;
  uint8_t backgroundMode_ = 1;
  int32_t marginLeft_ = 8, marginTop_ = 2, marginRight_ = 8, marginBottom_ = 2;
  int32_t textX_ = 2, textY_ = 2;
  int32_t pressedX_ = 0, pressedY_ = 0;
  bool hasPressedLook_ = false;
  bool hasExtraLook_ = false;
  uint8_t fillMode_ = 1;
  uint32_t fillColor_ = 0x80000080;
  uint32_t normalColor_ = 0xFFFFFF;
  uint32_t readColor_ = 0x8FDFDF;
  uint32_t hoverColor_ = 0xFFF000;
  uint32_t disabledColor_ = 0x909090;
  struct Gradation {
    uint32_t top, bottom;
  };
  Gradation normalGradation_{0xFFEB00, 0xFF4646};
  Gradation readGradation_{0x00FFEB, 0x26DD26};
  Gradation hoverGradation_{0xFFFF46, 0xFF9292};
  Gradation disabledGradation_{0xB0B0B0, 0x595959};
  std::vector<std::unique_ptr<ChoiceAction>> items_;
  BitSet* readFlags_ = nullptr;
  int32_t readBase_ = 0;
  uint32_t resultVar_ = 0;

 private:
  const char* tooltip_ = nullptr;
  // HitTest drags the menu and clears the guard.
  mutable bool dragging_ = false;
  bool locked_ = false;
  mutable bool pointerGuard_ = false;
  int32_t dragX_ = 0;
  int32_t dragY_ = 0;
  int32_t cursor_ = -1;
  int cursorState_ = 0;
  int32_t guardX_ = 0;
  int32_t guardY_ = 0;
  // A key press shows the pressed look, then chooses once the time is up.
  uint32_t pressDeadline_ = 0;
  bool pressArmed_ = false;
  std::string decideSound_, enterSound_, leaveSound_;
  int32_t decideId_ = -1, enterId_ = -1, leaveId_ = -1;
};

class ImageListPart : public ImageListPartBase {
 public:
  ~ImageListPart() override;
  void ForgetGone(const void* object) override {
    ImageListPartBase::ForgetGone(object);
    if (target_ == object) target_ = nullptr;
  }

  int GetKind() const override { return kKindImageList; }
  int32_t GetX() const override { return x_; }
  int32_t GetY() const override { return y_; }
  [[nodiscard]] int SetPosition(int32_t x, int32_t y) override;
  void SetVisible(bool visible) override;
  bool IsVisible() const override;
  [[nodiscard]] int SetOrder(int32_t order, int32_t tag, bool keepWhenEqual) override;
  int32_t GetOrder() const override { return order_; }
  [[nodiscard]] int SetAlpha(int alpha) override;
  int GetAlpha() const override;
  [[nodiscard]] int SetItemState(int32_t index, int state) override;
  [[nodiscard]] bool GetCellCentre(int32_t index, int32_t* x, int32_t* y) const override;
  bool IsOnHandle(int32_t x, int32_t y) const override;
  int32_t ItemAt(int32_t x, int32_t y) const override;

  [[nodiscard]] int Setup(DisplayObjectList* target, int32_t order, int32_t valueA, int32_t valueB,
                          int32_t cellWidth, int32_t cellHeight, int32_t spacing,
                          TextRenderer* renderer, int32_t group);
  [[nodiscard]] int SetTarget(DisplayObjectList* target);
  [[nodiscard]] int SetSize(int32_t cellWidth, int32_t cellHeight, int32_t headHeight,
                            int32_t tailHeight);
  // Sources in the order template, head, tail, each {overlay, mask, mask for mode 0}; a source
  // counts when it has pixels. The pictures are composed from copies of them.
  [[nodiscard]] int CreateFromSurfaces(int lookCount, bool pressedLook, bool extraLook,
                                       const ImageSurface* const (&sources)[9]);
  // The same from picture files in that order (null: none); masks load as 8-bit pictures.
  [[nodiscard]] int CreateFromImages(int lookCount, bool pressedLook, bool extraLook,
                                     const char* const (&files)[9]);
  [[nodiscard]] int SetBackground(uint8_t mode, uint32_t color, uint8_t alpha);
  [[nodiscard]] int SetReadPicture(const char* fileName);
  [[nodiscard]] int AddCell(const char* label, const char* tooltip, bool disabled, int32_t key,
                            const char* actionText1, int32_t actionValue, const char* actionText2,
                            uint32_t clickedVar, uint32_t hoveredVar, uint32_t notHoveredVar);
  void ReleaseCells();
  void ReleaseFrame();
  // Negative: the head's; at or past the count: the tail's.
  const ImageSurface* GetCellSurface(int32_t n) const;
  const Sprite* GetCellSprite(int32_t n) const;

 private:
  struct Cell {
    std::unique_ptr<ImageSurface> surface;
    std::unique_ptr<Sprite> sprite;
  };
  struct Frame {
    int32_t height = 0;
    std::unique_ptr<ImageSurface> surface;
    std::unique_ptr<Sprite> sprite;
  };
  struct Sources {
    std::unique_ptr<ImageSurface> overlay, mask, mask0;
  };
  bool HasFramePictures() const { return head_.sprite || tail_.sprite; }
  // From one row's top to the next: the cell height, and the spacing without head and tail.
  int64_t RowPitch() const {
    return int64_t{cellHeight_} + (HasFramePictures() ? 0 : int64_t{spacing_});
  }
  // The top of a row on the screen, kept in 32 bits.
  int32_t RowTop(int32_t index) const {
    return ClampedSum(int64_t{y_} + head_.height, index * RowPitch());
  }
  void DrawCell(int32_t index, ImageSurface* surface);
  void RedrawPlain();
  void Compose(ImageSurface* picture, const Sources& sources) const;
  [[nodiscard]] int MakeFrame(Frame* frame, int32_t height, int failure);
  // The cell surface of a new or redrawn item: the template's looks, or plain looks.
  std::unique_ptr<ImageSurface> MakeCellSurface() const;
  // Puts the template's looks into a cell surface made by MakeCellSurface.
  void LayTemplate(ImageSurface* surface) const;
  void Place(Sprite* sprite);
  void UpdateSize();
  void LayOut();
  template <typename Fn>
  void EachSprite(Fn fn) const;

  DisplayObjectList* target_ = nullptr;
  int32_t order_ = 0;
  int32_t x_ = 0;
  int32_t y_ = 0;
  std::vector<Cell> cells_;
  int32_t cellWidth_ = 0;
  int32_t cellHeight_ = 0;
  std::unique_ptr<ImageSurface> cellTemplate_;
  Sources templateSources_, headSources_, tailSources_;
  int lookCount_ = 2;
  bool multiLook_ = false;
  int32_t lastLookX_ = 0;
  std::unique_ptr<ImageSurface> readPicture_;
  Frame head_;
  Frame tail_;
};

}  // namespace bw
