#include "gui/text_input_part.h"

#include <algorithm>
#include <memory>
#include <string>

#include "common/sjis.h"
#include "graphics/surface/display_object.h"
#include "graphics/text/text_renderer.h"
#include "gui/caret_blink_task.h"
#include "gui/click_action.h"
#include "gui/pointer_manager.h"
#include "input/ime_context.h"
#include "platform/timer_service.h"

namespace bw {

namespace {

constexpr uint32_t kFrameDark = 0x80000000;
constexpr uint32_t kFrameLight = 0x80FFFFFF;
constexpr uint32_t kOpaque = 0xFF000000;
constexpr int kSpriteBlend = 2;
constexpr int32_t kCaretThickness = 2;

// Thrown inside a create and answered as its result.
struct CreateFailure {
  int code;
};

// The renderer's string drawing, or its plain drawing where it has none.
void DrawGlyphs(TextRenderer* font, ImageSurface* surface, int32_t x, int32_t y, const char* text) {
  if (font->DrawString(surface, x, y, text, nullptr, nullptr) != kTextDone) {
    // Text that cannot be drawn leaves the picture as it was.
    (void)font->DrawText(surface, x, y, text, nullptr, nullptr);
  }
}

void SetFontColor(TextRenderer* font, uint32_t rgb) {
  font->SetTextColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

}  // namespace

TextInputPart::TextInputPart() = default;

TextInputPart::~TextInputPart() {
  Release();
}

int TextInputPart::SetPosition(int32_t x, int32_t y) {
  textSprite_.SetPos(x, y);
  return 0;
}

void TextInputPart::SetVisible(bool visible) {
  if (PointerManager* owner = GetOwner()) {
    // Clearing the focus cannot fail.
    if (!visible && owner->IsFocus(this)) (void)owner->SetFocus(nullptr);
    if (owner->IsHover(this)) owner->ForgetPointer();
  }
  textSprite_.SetVisible(visible);
}

int TextInputPart::SetOrder(int32_t order, int32_t tag, bool keepWhenEqual) {
  if (!target_) return kTextInputBadArguments;
  if (PlaceInList(target_, &textSprite_, order, tag, keepWhenEqual)) group_ = tag;
  PlaceInList(target_, &caretRect_, order, tag, keepWhenEqual);
  order_ = order;
  return kTextInputDone;
}

bool TextInputPart::IsBlinking() const {
  return blinkTask_ && blinkTask_->IsBlinking();
}

void TextInputPart::Release() {
  // A task that ended on its own is gone already.
  if (blinkTask_ && timerService_) (void)timerService_->RemoveByHandle(blinkTask_->Handle());
  blinkTask_ = nullptr;
  timerService_ = nullptr;
  if (target_) {
    target_->Remove(&textSprite_);
    target_->Remove(&caretRect_);
  }
  textSprite_.Reset();
  caretRect_.Reset();
  textSurface_.Release();
  if (imeContext_) {
    if (compositionSprite_ && compositionSprite_->GetOwnerList())
      compositionSprite_->GetOwnerList()->Remove(compositionSprite_.get());
    compositionSprite_.reset();
    compositionSurface_.reset();
    imeContext_ = nullptr;
  }
  shownComposition_.clear();
  font_ = nullptr;
  resultBuffer_ = {};
  fieldWidth_ = 0;
  maxLines_ = 0;
  text_.clear();
  hasText_ = false;
  lineStarts_.clear();
  lineCount_ = 0;
  caret_ = 0;
  columnOffset_ = 0;
}

int TextInputPart::Create(DisplayObjectList* target, TimerService* timer, ImeContext* ime,
                          const TextInputLayout& layout, const TextResultBuffer& result,
                          int32_t group) {
  return Build(target, timer, ime, 0, layout, result, group);
}

int TextInputPart::CreateMultiLine(DisplayObjectList* target, TimerService* timer, ImeContext* ime,
                                   const TextInputLayout& layout, const TextResultBuffer& result,
                                   int32_t group) {
  if (layout.lines < 2) return kTextInputBadArguments;
  return Build(target, timer, ime, layout.lines, layout, result, group);
}

int TextInputPart::Build(DisplayObjectList* target, TimerService* timer, ImeContext* ime,
                         int32_t lines, const TextInputLayout& layout,
                         const TextResultBuffer& result, int32_t group) {
  if (!target || !layout.font || layout.width <= 0) return kTextInputBadArguments;
  const int32_t fontH = std::abs(layout.font->GetLogFont().lfHeight);
  const bool vertical = layout.font->GetLogFont().lfEscapement == kVerticalEscapement;
  const int32_t inset = (layout.border ? 1 : 0) + layout.margin;
  int32_t columns = 0;
  if (lines > 0) {
    // A font without height, or a field too narrow for one wide character, lays out nothing.
    if (fontH < 1) return kTextInputBadArguments;
    columns = ((layout.width - 2 * inset) / fontH) * 2;
    if (columns < 2) return kTextInputBadArguments;
  }
  // The same list: the pictures keep their places in it.
  if (target == target_) target_ = nullptr;
  Release();
  target_ = target;
  try {
    const int32_t stack = lines > 0 ? (fontH + layout.lineSpacing) * (lines - 1) : 0;
    const int32_t thickness = fontH + 2 * inset + stack;
    const int32_t w = vertical ? thickness : layout.width;
    const int32_t h = vertical ? layout.width : thickness;
    textOriginX_ = vertical ? fontH + stack + inset : inset;
    textOriginY_ = inset;
    if (w <= 0 || h <= 0 || textSurface_.Create(w, h, 32, kImagePlain) != 0) {
      throw CreateFailure{kTextInputNoSurface};
    }
    border_ = layout.border;
    verticalText_ = vertical;
    fieldWidth_ = w;
    fieldHeight_ = h;
    if (layout.border) DrawFrame();
    if (lines > 0) {
      maxLength_ = (columns + 1) * lines;
      maxLines_ = lines;
      lineSpacing_ = layout.lineSpacing;
      lineColumns_ = columns;
      caretLine_ = 0;
      lineStarts_.assign(static_cast<size_t>(lines), 0);
      lineCount_ = 1;
    }
    font_ = layout.font;
    TakeInitialText(result);
    hasText_ = true;
    caret_ = 0;
    columnOffset_ = 0;
    Rect whole{0, 0, w, h};
    // A sprite that cannot take the picture keeps the one it had.
    (void)textSprite_.SetImage(&textSurface_, &whole, layout.x, layout.y);
    // A mode out of range keeps the one in force.
    (void)textSprite_.SetDrawMode(kSpriteBlend);
    const int32_t caretW = vertical ? fontH : kCaretThickness;
    const int32_t caretH = vertical ? kCaretThickness : fontH;
    // A caret of no size is not shown.
    (void)caretRect_.Create(caretW, caretH, kOpaque | textColor_, layout.x, layout.y);
    caretRect_.SetVisible(false);
    if (timer) {
      auto task = std::make_unique<CaretBlinkTask>(&caretRect_);
      CaretBlinkTask* listed = task.get();
      if (timer->Add(std::move(task), kCaretBlinkMs, kCaretBlinkMs, 0) != kTaskAdded) {
        throw CreateFailure{kTextInputNoBlinkTask};
      }
      blinkTask_ = listed;
      blinkTask_->SetOwnerSlot(&blinkTask_);
      timerService_ = timer;
    }
    textMargin_ = layout.margin;
    (void)SetOrder(layout.order, group, true);  // the list is set by now, so placing cannot fail
    if (ime) {
      const int32_t along = compositionChars_ * fontH;
      auto surface = std::make_unique<ImageSurface>();
      if (fontH < 1 || along <= 0 ||
          surface->Create(vertical ? fontH : along, vertical ? along : fontH, 32, kImagePlain) !=
              0) {
        throw CreateFailure{kTextInputNoComposition};
      }
      compositionSurface_ = std::move(surface);
      compositionSprite_ = std::make_unique<Sprite>();
      // A sprite that cannot take the picture keeps the one it had.
      (void)compositionSprite_->SetImage(compositionSurface_.get(), nullptr, layout.x, layout.y);
      // An object already listed stays where it is.
      (void)target_->Add(compositionSprite_.get(), 0, static_cast<uint32_t>(group));
      compositionSprite_->SetVisible(false);
      imeContext_ = ime;
    }
    DrawText();
  } catch (const CreateFailure& failure) {
    Release();
    return failure.code;
  } catch (...) {
    Release();
    return kTextInputFailed;
  }
  return kTextInputDone;
}

void TextInputPart::DrawFrame() {
  const int32_t w = fieldWidth_;
  const int32_t h = fieldHeight_;
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)textSurface_.FillRectXYWH(0, 0, w, 1, kFrameDark);
  (void)textSurface_.FillRectXYWH(0, 0, 1, h, kFrameDark);
  (void)textSurface_.FillRectXYWH(0, h - 1, w, 1, kFrameLight);
  (void)textSurface_.FillRectXYWH(w - 1, 0, 1, h, kFrameLight);
}

void TextInputPart::FillTextArea() {
  const int32_t b = border_ ? 1 : 0;
  Rect area{b, b, fieldWidth_ - b, fieldHeight_ - b};
  if (!IsMultiLine()) {
    if (verticalText_) {
      area.bottom -= textMargin_;
    } else {
      area.right -= textMargin_;
    }
  }
  // A surface without pixels, or an area that misses it, is left as it is.
  if (area.right > area.left && area.bottom > area.top) (void)textSurface_.Fill(backColor_, &area);
}

void TextInputPart::DrawText() {
  if (!font_ || !textSurface_.GetPixels()) return;
  FillTextArea();
  const TextColor saved = font_->GetTextColor();
  SetFontColor(font_, textColor_);
  const int32_t fontH = FontHeight();
  const int32_t b = border_ ? 1 : 0;
  char glyph[3] = {};
  auto drawAt = [&](size_t at, size_t length, int32_t x, int32_t y) {
    glyph[0] = text_[at];
    glyph[1] = length == 2 ? text_[at + 1] : 0;
    glyph[2] = 0;
    DrawGlyphs(font_, &textSurface_, x, y, glyph);
  };
  if (!IsMultiLine()) {
    const int32_t farEdge = (verticalText_ ? fieldHeight_ : fieldWidth_) - b - textMargin_;
    int32_t pen = verticalText_ ? textOriginY_ : textOriginX_;
    for (size_t at = std::min(columnOffset_, text_.size()); at < text_.size() && pen < farEdge;) {
      const size_t length = sjis::CharLength(text_, at);
      if (verticalText_) {
        drawAt(at, length, textOriginX_, pen);
      } else {
        drawAt(at, length, pen, textOriginY_);
      }
      pen += MeasureWidth(at, at + length);
      at += length;
    }
    // A glyph cut at the far edge must not show beyond it.
    Rect strip = verticalText_ ? Rect{b, farEdge, fieldWidth_ - b, fieldHeight_ - b}
                               : Rect{farEdge, b, fieldWidth_ - b, fieldHeight_ - b};
    // A surface without pixels, or an area that misses it, is left as it is.
    if (strip.right > strip.left && strip.bottom > strip.top)
      (void)textSurface_.Fill(backColor_, &strip);
    if (border_) {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)textSurface_.FillRectXYWH(0, fieldHeight_ - 1, fieldWidth_, 1, kFrameLight);
      (void)textSurface_.FillRectXYWH(fieldWidth_ - 1, 0, 1, fieldHeight_, kFrameLight);
    }
  } else {
    LayOutLines();
    int32_t line = 0;
    int32_t pen = 0;
    for (size_t at = 0; at < text_.size();) {
      const size_t length = sjis::CharLength(text_, at);
      while (line + 1 < lineCount_ && at >= lineStarts_[static_cast<size_t>(line + 1)]) {
        ++line;
        pen = 0;
      }
      if (!(length == 1 && text_[at] == '\n')) {
        if (verticalText_) {
          drawAt(at, length, textOriginX_ - line * Pitch(), textOriginY_ + pen);
        } else {
          drawAt(at, length, textOriginX_ + pen, textOriginY_ + line * Pitch());
        }
        pen += length == 2 ? fontH : fontH / 2;
      }
      at += length;
    }
  }
  font_->SetTextColor(saved.r, saved.g, saved.b);
  textSprite_.Refresh(nullptr);
  textSprite_.SetChanged(true);
}

void TextInputPart::CaretOrigin(int32_t* x, int32_t* y) const {
  int32_t dx = 0;
  int32_t dy = 0;
  if (IsMultiLine()) {
    CaretPixelPosition(&dx, &dy);
  } else if (verticalText_) {
    dy = CaretPixelOffset();
  } else {
    dx = CaretPixelOffset();
  }
  const int32_t inset = (border_ ? 1 : 0) + textMargin_;
  *x = GetX() + inset + dx;
  *y = GetY() + inset + dy;
}

void TextInputPart::PlaceCaret() {
  int32_t x = 0;
  int32_t y = 0;
  CaretOrigin(&x, &y);
  caretRect_.SetPos(x, y);
}

void TextInputPart::ShowCaret() {
  if (!hasText_) return;
  PlaceCaret();
  caretRect_.SetVisible(true);
  if (blinkTask_) {
    blinkTask_->SetBlinking(true);
    // The caret stays a full period after every change.
    if (timerService_) timerService_->Postpone(blinkTask_->Handle(), kCaretBlinkMs);
  }
}

void TextInputPart::HideCaret() {
  if (blinkTask_) blinkTask_->SetBlinking(false);
  caretRect_.SetVisible(false);
}

void TextInputPart::HideComposition() {
  if (compositionSprite_) compositionSprite_->SetVisible(false);
}

void TextInputPart::DrawComposition() {
  if (!imeContext_ || !compositionSprite_ || !font_) return;
  const char* fresh = imeContext_->GetCompositionString();
  if (fresh) shownComposition_ = fresh;
  if (imeContext_->KeptComposition().empty()) shownComposition_.clear();
  int32_t highlightStart = 0;
  int32_t highlightEnd = 0;
  if (!shownComposition_.empty() && imeContext_->GetCursorPos() == 0) {
    const int32_t clauseEnd = imeContext_->GetClauseEnd();
    if (imeContext_->GetDeltaStart() != clauseEnd) highlightEnd = clauseEnd;
  }
  // The box stands at the caret; the candidates open just outside it.
  int32_t originX = 0;
  int32_t originY = 0;
  CaretOrigin(&originX, &originY);
  const int32_t boxW = compositionSurface_->GetWidth();
  const int32_t boxH = compositionSurface_->GetHeight();
  if (verticalText_) {
    imeContext_->SetCaret(originX + boxW, originY);
  } else {
    imeContext_->SetCaret(originX, originY + boxH);
  }
  if (!fresh) {
    if (shownComposition_.empty()) {
      compositionSprite_->SetVisible(false);
      return;
    }
    if (highlightStart == shownHighlightStart_ && highlightEnd == shownHighlightEnd_) {
      compositionSprite_->SetPos(originX, originY);
      compositionSprite_->SetVisible(true);
      return;
    }
  }
  shownHighlightStart_ = highlightStart;
  shownHighlightEnd_ = highlightEnd;
  compositionSprite_->SetPos(originX, originY);
  DrawCompositionBox(shownComposition_, highlightStart, highlightEnd);
}

void TextInputPart::DrawCompositionBox(const std::string& text, int32_t highlightStart,
                                       int32_t highlightEnd) {
  ImageSurface& box = *compositionSurface_;
  const TextColor savedColor = font_->GetTextColor();
  const int savedStyle = font_->GetStyle();
  font_->SetStyle(kTextPlain);
  const int32_t fontH = FontHeight();
  const int32_t limit = verticalText_ ? box.GetHeight() : box.GetWidth();
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)box.Fill(0, nullptr);
  int32_t pen = 0;
  char glyph[3] = {};
  for (size_t at = 0; at < text.size();) {
    const size_t length = sjis::CharLength(text, at);
    glyph[0] = text[at];
    glyph[1] = length == 2 ? text[at + 1] : 0;
    Size size;
    int32_t ox = 0;
    int32_t oy = 0;
    const int32_t advance = font_->MeasureText(glyph, &size, &ox, &oy, false, nullptr) != 0
                                ? size.width
                                : (length == 2 ? fontH : fontH / 2);
    if (pen + advance > limit) break;
    const bool lit =
        static_cast<int32_t>(at) >= highlightStart && static_cast<int32_t>(at) < highlightEnd;
    const uint32_t back = lit ? compositionTextColor_ : compositionBackColor_;
    const uint32_t fore = lit ? compositionBackColor_ : compositionTextColor_;
    if (verticalText_) {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)box.FillRectXYWH(0, pen, fontH, advance, kOpaque | back);
      SetFontColor(font_, fore);
      DrawGlyphs(font_, &box, fontH, pen, glyph);
    } else {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)box.FillRectXYWH(pen, 0, advance, fontH, kOpaque | back);
      SetFontColor(font_, fore);
      DrawGlyphs(font_, &box, pen, 0, glyph);
    }
    pen += advance;
    at += length;
  }
  font_->SetTextColor(savedColor.r, savedColor.g, savedColor.b);
  font_->SetStyle(savedStyle);
  Rect shown =
      verticalText_ ? Rect{0, 0, fontH, std::max(pen, 1)} : Rect{0, 0, std::max(pen, 1), fontH};
  // A sprite that cannot take it is shown as it was.
  (void)compositionSprite_->SetSourceRect(&shown);
  compositionSprite_->Refresh(nullptr);
  compositionSprite_->SetChanged(true);
  compositionSprite_->SetVisible(!text.empty());
}

}  // namespace bw
