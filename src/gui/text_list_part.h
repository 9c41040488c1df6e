// The list box: text lines drawn into one picture, an embedded vertical scroll bar, a selected
// line, a hover line the pointer and the keys share, and an optional check box before each
// line. A line may carry a face name of its own, so the same part serves as a font chooser.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "gui/cell_image_part.h"
#include "gui/pointer_tip.h"
#include "gui/scroll_list_part.h"
#include "gui/shown_by_object.h"

namespace bw {

class TextRenderer;

// List results besides 0: not created (also a bad create argument), a bad line index.
constexpr int kListNotCreated = 1;
constexpr int kListBadIndex = 2;
// The colours a list box starts with.
constexpr uint32_t kTextListBackground = 0xC0C0DCC0;
constexpr uint32_t kTextListHoverFrame = 0xFFFF9CBF;
constexpr uint32_t kTextListSelection = 0xC00B2BD7;

// Where a list box stands and how it is drawn. Its bar is vertical, from one thumb picture whose
// edges stay unstretched, and runs barLength long from (barX, barY).
struct TextListLayout {
  int32_t order = 0;
  TextRenderer* renderer = nullptr;
  int32_t height = 0;  // -k asks for k lines
  int32_t width = 0;
  int32_t x = 0;
  int32_t y = 0;
  const char* thumbImage = nullptr;
  int32_t thumbStartEdge = 0;
  int32_t thumbEndEdge = 0;
  int32_t barLength = 0;
  int32_t barX = 0;
  int32_t barY = 0;
  int barBlendMode = 2;
  const char* flagImageName = nullptr;  // the check boxes' picture; none: no check boxes
  int32_t lineSpacing = 3;
};

// The picture half of the list: a 32-bit view shown by a sprite.
class TextListView : public ShownByObject<UiControl> {
 public:
  void ForgetGone(const void* object) override {
    if (target_ == object) target_ = nullptr;
  }
  ~TextListView() override;

  int GetKind() const override { return kKindTextListView; }
  int32_t GetWidth() const override { return sprite_.GetWidth(); }
  int32_t GetHeight() const override { return sprite_.GetHeight(); }
  [[nodiscard]] int SetPosition(int32_t x, int32_t y) override;
  void SetVisible(bool visible) override;
  [[nodiscard]] int SetOrder(int32_t order, int32_t tag, bool keepWhenEqual) override;
  int32_t GetOrder() const override { return order_; }
  bool HitTest(int32_t x, int32_t y) const override { return sprite_.HitTest(x, y, true); }
  void OnFocusGot(UiControl* previous, bool forward) override;

  const ImageSurface& View() const { return view_; }
  ImageSurface& View() { return view_; }
  Sprite& ViewSprite() { return sprite_; }

 protected:
  DisplayObject& ShownBy() override { return sprite_; }
  DisplayObjectList* target_ = nullptr;
  int32_t order_ = 0;
  ImageSurface view_;
  Sprite sprite_;
};

class TextListPart : public TextListView {
 public:
  TextListPart();
  ~TextListPart() override;
  void ForgetGone(const void* object) override {
    TextListView::ForgetGone(object);
    scrollList_.ForgetGone(object);
    if (renderer_ == object) renderer_ = nullptr;
  }

  int GetKind() const override { return kKindTextList; }
  [[nodiscard]] int SetPosition(int32_t x, int32_t y) override;
  void SetVisible(bool visible) override;
  [[nodiscard]] int SetAlpha(int alpha) override;
  [[nodiscard]] bool SetEnabled(bool enabled) override;
  bool HitTest(int32_t x, int32_t y) const override;
  void OnPointerOver(int32_t x, int32_t y) override;
  void OnPointerEnter() override;
  [[nodiscard]] bool OnPointerInput(int32_t x, int32_t y, Mouse* mouse) override;
  void OnFocusGot(UiControl* previous, bool forward) override;
  void OnFocusLost(UiControl* next) override;
  [[nodiscard]] bool OnKeyInput(InputBindingTable* bindings) override;

  // A line pitch (font height + spacing) below 1 answers kCreateBadArguments.
  [[nodiscard]] int Create(DisplayObjectList* target, const TextListLayout& layout, int32_t group);
  void Release();
  // Null texts count as empty; the first line decides which columns the list has.
  [[nodiscard]] int AddLine(const char* text, const char* face, bool relayout);
  void Relayout();
  void Redraw();
  [[nodiscard]] int SelectLine(int32_t index);
  [[nodiscard]] int SetLineFlag(int32_t index, uint8_t value, bool redraw);
  uint8_t GetLineFlag(int32_t index) const;
  [[nodiscard]] int AddToPointerManager(PointerManager* manager, int32_t position);
  [[nodiscard]] bool RemoveFromPointerManager();
  void SetHoverLine(int32_t value);
  void ActivateLine(int32_t value);
  [[nodiscard]] bool ScrollLineIntoView(int32_t line);

  void SetColors(uint32_t background, uint32_t hoverFrame, uint32_t selection) {
    backgroundColor_ = background;
    hoverFrameColor_ = hoverFrame;
    selectionColor_ = selection;
  }
  void SetDefaultFlag(uint8_t flag) { defaultFlag_ = flag; }
  void SetPageActions(uint8_t up, uint8_t down) {
    pageUpAction_ = up;
    pageDownAction_ = down;
  }
  int32_t LineCount() const;
  int32_t GetSelectedLine() const { return selectedLine_; }
  int32_t GetHoverLine() const { return hoverLine_; }
  int32_t GetLineHeight() const { return lineHeight_; }
  ScrollListPart& GetScrollList() { return scrollList_; }

 private:
  // The embedded bar never keeps the keyboard focus.
  class Bar : public ScrollListPart {
   public:
    void OnFocusGot(UiControl* previous, bool forward) override;
  };
  class Sink : public ControlEventSink {
   public:
    explicit Sink(TextListPart* part) : part_(part) {}
    void OnFired(UiControl*, int32_t) override { part_->Redraw(); }

   private:
    TextListPart* part_;
  };

  const std::vector<std::string>* Column() const { return texts_ ? texts_.get() : faces_.get(); }
  int32_t Pitch() const { return lineHeight_ + lineSpacing_; }
  // Moves the hover line by key and brings it into view.
  [[nodiscard]] bool MoveHover(int32_t line);

  TextRenderer* renderer_ = nullptr;
  bool columnsDecided_ = false;
  std::unique_ptr<std::vector<std::string>> texts_;
  std::unique_ptr<std::vector<std::string>> faces_;
  int32_t lineHeight_ = 0;
  int32_t lineSpacing_ = 0;
  int32_t selectedLine_ = -1;
  int32_t hoverLine_ = -1;
  int32_t savedHoverLine_ = -1;
  Sink sink_{this};
  Bar scrollList_;
  int32_t barLength_ = 0;
  std::unique_ptr<ImageSurface> flagImage_;
  std::unique_ptr<std::vector<uint8_t>> lineFlags_;
  int32_t flagCellWidth_ = 0;
  uint8_t defaultFlag_ = 1;
  uint32_t backgroundColor_ = kTextListBackground;
  uint32_t hoverFrameColor_ = kTextListHoverFrame;
  uint32_t selectionColor_ = kTextListSelection;
  uint8_t pageUpAction_ = 0;
  uint8_t pageDownAction_ = 0;
  PointerManager* manager_ = nullptr;
};

}  // namespace bw
