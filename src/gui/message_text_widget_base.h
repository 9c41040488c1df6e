// The layout state every text window shares: page size, margins, paddings, the pen and the
// orientation; where lines break under the Japanese line-breaking rules; and the link items, areas
// of the page that react to the pointer and the keys. The drawing is the derived window's.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "gui/click_action.h"
#include "gui/ui_control.h"
#include "platform/rect.h"

namespace bw {

class TextRenderer;

// AddItem.
constexpr int kAddItemDone = 0;
constexpr int kAddItemRefused = 1;
// The item map's 8-bit cells hold index + 1.
constexpr int kMaxTextLinkItems = 255;

// ApplyLineBreak.
constexpr int kBreakNone = 0;
constexpr int kBreakPageFull = 1;
constexpr int kBreakNewLine = -1;

// SetCursorState values the widget asks for.
constexpr int kCursorOverLink = 1;
constexpr int kCursorOverFrame = 3;

// The shared line-breaking lists: CP932 entries of two bytes (full-width) or one byte
// (half-width), each list ending in NUL.
namespace kinsoku {
extern const char kWideNotAtLineEnd[];
extern const char kWideNotAtLineStart[];
extern const char kWideSmall[];
extern const char kNarrowNotAtLineEnd[];
extern const char kNarrowNotAtLineStart[];
extern const char kNarrowSmall[];
}  // namespace kinsoku

struct ItemRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// A selectable stretch of text. The action's name is the item's notification text.
struct TextLinkItem {
  ClickAction action;
  std::string tooltip;  // empty: none
  uint32_t highlightColor = 0;
  bool active = false;
  std::deque<ItemRect> area;  // relative to the page
};

class MessageTextWidgetBase : public UiControl {
 public:
  MessageTextWidgetBase() = default;
  ~MessageTextWidgetBase() override;
  void ForgetGone(const void* object) override;

  int GetKind() const override { return kKindTextWindow; }
  int32_t GetWidth() const override { return width_; }
  int32_t GetHeight() const override { return height_; }
  bool HitTest(int32_t x, int32_t y) const override;
  const char* GetTooltipText() const override { return hoverTooltip_; }

  void OnPointerOver(int32_t x, int32_t y) override;
  void OnPointerLeave() override;
  [[nodiscard]] bool OnPointerInput(int32_t x, int32_t y, Mouse* mouse) override;
  void OnFocusGot(UiControl* previous, bool forward) override;
  void OnFocusLost(UiControl* next) override;
  [[nodiscard]] bool OnKeyInput(InputBindingTable* bindings) override;

  // Whether the widget claims the pointer at (x, y): a drag, the frame or an item.
  [[nodiscard]] bool ClaimPointer(int32_t x, int32_t y);
  // Hover tracking of the items.
  void OnPointerMove(int32_t x, int32_t y);
  [[nodiscard]] bool OnButtonDown(int32_t x, int32_t y, Mouse* mouse);
  // Moves between the items (and on to the neighbouring controls) by the navigation keys.
  [[nodiscard]] bool OnNavigate(InputBindingTable* bindings);

  // Text operations of the concrete window.
  // Starts a new line; true when the page is full (the pen stays).
  [[nodiscard]] virtual bool NewLine() = 0;
  // A negative coordinate keeps the pen's.
  [[nodiscard]] virtual int MoveTo(int32_t x, int32_t y) = 0;
  [[nodiscard]] virtual int DrawString(const char* text, int32_t x, int32_t y,
                                       bool throughMoveTo) = 0;
  // Places the character at *cursor and moves the cursor past what was consumed.
  [[nodiscard]] virtual int PutChar(const char** cursor) = 0;
  // True where the window's frame takes a drag (x, y relative to the window).
  virtual bool HitFrame(int32_t x, int32_t y) const = 0;
  virtual void PaintItemArea(int32_t x, int32_t y, int32_t width, int32_t height) = 0;
  // -1 for none.
  virtual int ItemAt(int32_t x, int32_t y) const = 0;
  virtual void ShowItemHighlight(int index, bool on) = 0;

  void RemoveAllItems();
  // The tooltip may be null or empty (none).
  [[nodiscard]] int AddItem(ClickAction action, const char* tooltip, uint32_t highlightColor);
  void BeginItemArea();
  void EndItemArea();
  void CloseItem();
  void ClearPressed();
  void SetDecided(bool decided);

  void UpdateLineHeight();
  int32_t GetBaselineOffset() const;
  int32_t GetColumnOffset() const;
  int32_t GetRowOffset() const { return -paddingTop_; }
  void UpdateWrapLimit();
  [[nodiscard]] bool UpdateWrapLimitIfReady();
  [[nodiscard]] bool BreakLine();
  void UpdateIndent();
  void ClearIndent() { indent_ = 0; }
  [[nodiscard]] bool SetRubyText(const char* text);
  void DrawStringAligned(const char* text, int alignment);
  void DrawStringJustified(const char* text, const Rect& rect);

  [[nodiscard]] bool SelectItem(int index);
  [[nodiscard]] bool FocusItem(int index);
  [[nodiscard]] bool EnterItem(int index);
  [[nodiscard]] bool LeaveItem(int index);

  // The kinsoku tests against the previous character.
  bool IsKinsokuByte(uint8_t c) const;
  bool IsKinsokuChar(uint16_t c) const;
  // The breaking rule, asked before a character c (two bytes when wide) is placed with
  // automatic wrap on: kBreakNone, kBreakPageFull (nothing may be placed) or kBreakNewLine.
  [[nodiscard]] int ApplyLineBreak(uint16_t c, bool wide);
  // The previous character: a wide one's two bytes, a narrow one in the high byte.
  void SetPreviousChar(uint16_t c) { previousChar_ = c; }
  uint16_t GetPreviousChar() const { return previousChar_; }

  // The main renderer's font size, positive.
  int32_t FontSize() const;
  int32_t RubyFontSize() const;

  TextRenderer* GetMainRenderer() const { return mainRenderer_; }
  TextRenderer* GetRubyRenderer() const { return rubyRenderer_; }
  int32_t GetPenX() const { return penX_; }
  int32_t GetPenY() const { return penY_; }
  void SetPen(int32_t x, int32_t y) { penX_ = x, penY_ = y; }
  int32_t GetLineHeight() const { return lineHeight_; }
  int32_t GetLinePitch() const { return linePitch_; }
  int32_t GetWrapLimit() const { return wrapLimit_; }
  int32_t GetIndent() const { return indent_; }
  bool IsVertical() const { return vertical_; }
  bool IsDecided() const { return decided_; }
  bool IsPageFull() const { return pageFull_; }
  int GetHoveredItem() const { return hovered_; }
  size_t GetItemCount() const { return items_.size(); }
  const TextLinkItem* GetItem(int index) const;
  const char* GetPendingRuby() const { return pendingRuby_; }
  bool IsItemOpen() const { return itemOpen_; }
  bool IsAreaOpen() const { return areaOpen_; }
  bool IsRecheckingHover() const { return recheckHover_; }

  // Layout settings (the concrete window's setters add redrawing).
  void SetMinLineHeight(int32_t height) { minLineHeight_ = height; }
  void SetGaps(int32_t lineGap, int32_t charGap, int32_t rubyGap) {
    lineGap_ = lineGap, charGap_ = charGap, rubyGap_ = rubyGap;
  }
  void SetLineAndCharGaps(int32_t lineGap, int32_t charGap) {
    lineGap_ = lineGap, charGap_ = charGap;
  }
  void SetRubyGap(int32_t gap) { rubyGap_ = gap; }
  void SetHangCount(int32_t count) { hangCount_ = count; }
  void SetAutoWrap(bool on) { autoWrap_ = on; }
  void SetCentreWide(bool on) { centreWide_ = on; }
  void SetRubyEnabled(bool on) { rubyEnabled_ = on; }
  void SetDragThreshold(uint8_t threshold) { dragThreshold_ = threshold; }
  void SetLinksEnabledFlag(bool on) { linksEnabled_ = on; }

 protected:
  TextRenderer* mainRenderer_ = nullptr;
  TextRenderer* rubyRenderer_ = nullptr;
  int32_t width_ = 0;
  int32_t height_ = 0;
  uint32_t backgroundColor_ = 0;
  uint8_t backgroundOpacity_ = 128;
  uint8_t backgroundKind_ = 1;
  int32_t marginLeft_ = 8;
  int32_t marginTop_ = 8;
  int32_t marginRight_ = 8;
  int32_t marginBottom_ = 8;
  int32_t minLineHeight_ = 0;
  int32_t lineHeight_ = 0;
  int32_t linePitch_ = 0;
  int32_t paddingLeft_ = 2;
  int32_t paddingTop_ = 2;
  int32_t paddingRight_ = 2;
  int32_t paddingBottom_ = 2;
  int32_t penX_ = 0;
  int32_t penY_ = 0;
  bool linksEnabled_ = false;
  bool centreWide_ = false;
  bool vertical_ = false;
  bool autoWrap_ = true;
  int32_t lineGap_ = 0;
  int32_t charGap_ = 0;
  int32_t rubyGap_ = 0;
  int32_t hangCount_ = 2;
  int32_t wrapLimit_ = 0;
  uint8_t dragThreshold_ = 0;
  int32_t indent_ = 0;
  const char* pendingRuby_ = nullptr;
  bool pageFull_ = false;
  uint16_t previousChar_ = 0;
  bool rubyEnabled_ = true;
  bool pressed_ = false;
  bool decided_ = false;
  bool recheckHover_ = false;
  int32_t pressX_ = 0;
  int32_t pressY_ = 0;
  int32_t closeX_ = 0;
  int32_t closeY_ = 0;
  std::deque<std::unique_ptr<TextLinkItem>> items_;
  bool itemOpen_ = false;
  int hovered_ = -1;
  bool areaOpen_ = false;
  const char* hoverTooltip_ = nullptr;

 private:
  TextLinkItem* ActiveItem(int index) const;
  void LeaveHovered();
  void HideOwnTooltip();
};

}  // namespace bw
