// In-game edit fields for Shift-JIS text: one line that scrolls sideways, or a block of lines of
// fixed width, written across or top to bottom (lines then run right to left). The field takes
// typed text and editing keys from the pointer manager's text poll, shows the input method's
// composition in a box at the caret and the shared IME mode indicator while it has the focus.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"
#include "gui/shown_by_object.h"
#include "gui/ui_control.h"

namespace bw {

class CaretBlinkTask;
class DisplayObjectList;
class GuestMemory;
class ImeContext;
class ImeIndicatorBase;
class TextRenderer;
class TimerService;

// Create results.
constexpr int kTextInputDone = 0;
constexpr int kTextInputBadArguments = 1;
constexpr int kTextInputNoSurface = 2;
constexpr int kTextInputNoBlinkTask = 3;
constexpr int kTextInputNoComposition = 4;
constexpr int kTextInputFailed = -1;
// Finish, Clear, SetText, SetMaxLength besides done.
constexpr int kTextInputRefused = 1;

constexpr uint32_t kTextInputBackColor = 0xC0C0DCC0;
constexpr int32_t kTextInputDefaultLength = 255;
constexpr int32_t kVerticalEscapement = 2700;
constexpr uint32_t kCaretBlinkMs = 500;

// Cursor states the field asks of its owner while the pointer is over it.
constexpr int kCursorIBeam = 4;
constexpr int kCursorVerticalIBeam = 5;

// Where an input field stands and how it is drawn. lines and lineSpacing shape only the field of
// several lines.
struct TextInputLayout {
  int32_t order = 0;
  TextRenderer* font = nullptr;
  int32_t lines = 0;
  int32_t width = 0;
  int32_t x = 0;
  int32_t y = 0;
  int32_t margin = 0;  // between the border and the text
  int32_t lineSpacing = 0;
  bool border = false;
};

// The caller's buffer that gives the initial text and takes the final one, in script memory.
struct TextResultBuffer {
  GuestMemory* memory = nullptr;
  uint32_t address = 0;
};

class TextEditBase : public UiControl {
 public:
  void ForgetGone(const void* object) override {
    if (font_ == object) font_ = nullptr;
  }
  int GetKind() const override { return kKindTextInput; }
  int32_t GetWidth() const override { return fieldWidth_; }
  int32_t GetHeight() const override { return fieldHeight_; }
  bool HitTest(int32_t x, int32_t y) const override;
  void OnPointerOver(int32_t x, int32_t y) override;
  void OnPointerLeave() override;
  [[nodiscard]] bool OnPointerInput(int32_t x, int32_t y, Mouse* mouse) override;
  void OnFocusGot(UiControl* previous, bool forward) override;
  void OnFocusLost(UiControl* next) override;
  [[nodiscard]] bool OnKeyInput(InputBindingTable* bindings) override;
  [[nodiscard]] uint8_t OnTextKey(uint32_t virtualKey) override;
  [[nodiscard]] uint8_t OnTextInput(const char* text, int32_t length) override;

  virtual void Release() = 0;
  virtual void DrawText() = 0;
  virtual void DrawComposition() = 0;
  virtual void HideComposition() = 0;
  // Only before the create: the create fixes the capacity.
  [[nodiscard]] int SetMaxLength(int32_t n);
  // chars > 0 replaces the box's size; a colour of 0xFFFFFFFF keeps the old one.
  [[nodiscard]] int SetCompositionStyle(int32_t chars, uint32_t textColor, uint32_t backColor);
  void SetModeIndicator(ImeIndicatorBase* indicator) { modeIndicator_ = indicator; }
  // Locks the field and writes the text back to the caller's buffer.
  [[nodiscard]] int Finish();
  void SetLocked(bool locked);
  [[nodiscard]] int Clear();
  [[nodiscard]] int SetText(const char* text);
  virtual void PlaceCaret() = 0;
  virtual void ShowCaret() = 0;
  virtual void HideCaret() = 0;

  void SetBackColor(uint32_t color) { backColor_ = color; }
  void SetTextColor(uint32_t color) { textColor_ = color; }
  void SetUseIme(bool use) { useIme_ = use; }
  void SetFullWidthOnly(bool only) { fullWidthOnly_ = only; }
  void SetFocusOnHover(bool on) { focusOnHover_ = on; }

  // The state as the field keeps it: offsets into Text().
  const std::string& Text() const { return text_; }
  bool HasText() const { return hasText_; }
  int32_t MaxLength() const { return maxLength_; }
  size_t Caret() const { return caret_; }
  size_t ColumnOffset() const { return columnOffset_; }
  int32_t CaretLine() const { return caretLine_; }
  int32_t LineCount() const { return lineCount_; }
  int32_t MaxLines() const { return maxLines_; }
  int32_t LineColumns() const { return lineColumns_; }
  const std::vector<size_t>& LineStarts() const { return lineStarts_; }
  bool IsVertical() const { return verticalText_; }
  bool IsLocked() const { return locked_; }
  bool IsPointerHidden() const { return pointerHidden_; }

 protected:
  int32_t FontHeight() const;
  int32_t Pitch() const { return FontHeight() + lineSpacing_; }
  bool IsMultiLine() const { return maxLines_ > 0; }
  // Bytes moved: forward n characters, or back -n by the odd-run rule.
  int32_t MoveByChars(size_t from, int32_t n) const;
  int32_t MeasureWidth(size_t from, size_t to) const;
  int32_t CaretPixelOffset() const;
  void CaretPixelPosition(int32_t* dx, int32_t* dy) const;
  void ScrollToCaret(int32_t n);
  size_t LocateCaret(size_t offset);
  size_t XToChar(int32_t along) const;
  size_t PointToChar(int32_t along, int32_t across);
  // The laid-out lines; the text is cut where it needs more than maxLines.
  void LayOutLines();
  // Reads the caller's initial text, bounded, cut on a character boundary.
  void TakeInitialText(const TextResultBuffer& result);

  ImeContext* imeContext_ = nullptr;
  int32_t shownHighlightStart_ = 0;
  int32_t shownHighlightEnd_ = 0;
  int32_t compositionChars_ = 16;
  uint32_t compositionTextColor_ = 0x000000FF;
  uint32_t compositionBackColor_ = 0x00FFFFFF;
  ImeIndicatorBase* modeIndicator_ = nullptr;
  TextRenderer* font_ = nullptr;
  TextResultBuffer resultBuffer_;
  std::string text_;
  bool hasText_ = false;
  int32_t fieldWidth_ = 0;
  int32_t fieldHeight_ = 0;
  int32_t textMargin_ = 0;
  int32_t textOriginX_ = 0;
  int32_t textOriginY_ = 0;
  int32_t maxLines_ = 0;
  int32_t lineSpacing_ = 0;
  int32_t lineColumns_ = 0;
  std::vector<size_t> lineStarts_;
  int32_t lineCount_ = 0;
  int32_t caretLine_ = 0;
  size_t caret_ = 0;
  size_t columnOffset_ = 0;
  uint32_t backColor_ = kTextInputBackColor;
  uint32_t textColor_ = 0;
  int32_t maxLength_ = kTextInputDefaultLength;
  bool border_ = false;
  bool verticalText_ = false;
  bool fullWidthOnly_ = false;
  bool focusOnHover_ = true;
  bool useIme_ = false;
  bool locked_ = false;
  bool focusByPointer_ = false;
  bool pointerHidden_ = false;

 private:
  void TakeFocusFromPointer();
  void HidePointerWhileTyping();
  void ShowPointerAgain();
  bool WantsIme() const { return (useIme_ || fullWidthOnly_) && imeContext_; }
  void AfterEdit(int32_t scroll);
  void MoveChars(int32_t n);
  void MoveLine(int32_t delta);
  void Home();
  void End();
  void Backspace();
  void Delete();
};

class TextInputPart : public ShownByObject<TextEditBase> {
 public:
  TextInputPart();
  ~TextInputPart() override;
  void ForgetGone(const void* object) override {
    TextEditBase::ForgetGone(object);
    if (target_ == object) target_ = nullptr;
  }

  [[nodiscard]] int SetPosition(int32_t x, int32_t y) override;
  void SetVisible(bool visible) override;
  [[nodiscard]] int SetOrder(int32_t order, int32_t tag, bool keepWhenEqual) override;
  int32_t GetOrder() const override { return order_; }

  void Release() override;
  void DrawText() override;
  void DrawComposition() override;
  void HideComposition() override;
  void PlaceCaret() override;
  void ShowCaret() override;
  void HideCaret() override;

  // A caret blinks on the timer and compositions show through the input method context, when
  // given. Create makes one line that scrolls sideways; CreateMultiLine needs two lines or more.
  [[nodiscard]] int Create(DisplayObjectList* target, TimerService* timer, ImeContext* ime,
                           const TextInputLayout& layout, const TextResultBuffer& result,
                           int32_t group);
  [[nodiscard]] int CreateMultiLine(DisplayObjectList* target, TimerService* timer, ImeContext* ime,
                                    const TextInputLayout& layout, const TextResultBuffer& result,
                                    int32_t group);

  const ImageSurface& TextSurface() const { return textSurface_; }
  ImageSurface& TextSurface() { return textSurface_; }
  const Sprite& TextSprite() const { return textSprite_; }
  Sprite& TextSprite() { return textSprite_; }
  const ColorRectObject& CaretRect() const { return caretRect_; }
  // Null without an input method context.
  const ImageSurface* CompositionSurface() const { return compositionSurface_.get(); }
  const Sprite* CompositionSprite() const { return compositionSprite_.get(); }
  bool IsBlinking() const;

 private:
  DisplayObject& ShownBy() override { return textSprite_; }
  // lines 0: the single line.
  [[nodiscard]] int Build(DisplayObjectList* target, TimerService* timer, ImeContext* ime,
                          int32_t lines, const TextInputLayout& layout,
                          const TextResultBuffer& result, int32_t group);
  // Where the caret stands on the screen.
  void CaretOrigin(int32_t* x, int32_t* y) const;
  void DrawFrame();
  void FillTextArea();
  void DrawCompositionBox(const std::string& text, int32_t highlightStart, int32_t highlightEnd);

  DisplayObjectList* target_ = nullptr;
  int32_t order_ = 0;
  TimerService* timerService_ = nullptr;
  CaretBlinkTask* blinkTask_ = nullptr;  // the timer service owns it
  ImageSurface textSurface_;
  Sprite textSprite_;
  ColorRectObject caretRect_;
  std::unique_ptr<ImageSurface> compositionSurface_;
  std::unique_ptr<Sprite> compositionSprite_;
  std::string shownComposition_;
};

}  // namespace bw
