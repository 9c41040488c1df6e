// The edit behaviour of the text fields: the buffer, the caret and its moves by Shift-JIS
// characters, the line model of multi-line fields, hit testing, pointer, focus and keys.
#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "common/sjis.h"
#include "graphics/text/text_renderer.h"
#include "gui/ime_indicator.h"
#include "gui/pointer_manager.h"
#include "gui/text_input_part.h"
#include "input/ime_context.h"
#include "input/input_binding_table.h"
#include "input/key_codes.h"
#include "input/mouse.h"
#include "script/guest_memory.h"

namespace bw {

namespace {

constexpr char kBackspace = 8;
constexpr char kTab = 9;
constexpr char kNewline = 10;
constexpr char kEnter = 13;
constexpr char kEscape = 27;

// ScrollToCaret steps.
constexpr int32_t kScrollInsert = 1;
constexpr int32_t kScrollMove = 3;
constexpr int32_t kScrollBackspace = 5;

// Half-width columns of the character that starts with b.
int32_t Columns(size_t length) {
  return length == 2 ? 2 : 1;
}

}  // namespace

int32_t TextEditBase::FontHeight() const {
  return font_ ? std::abs(font_->GetLogFont().lfHeight) : 0;
}

int TextEditBase::SetMaxLength(int32_t n) {
  // A capacity below one byte leaves no room even for the terminating NUL's neighbour.
  if (hasText_ || n < 1) return kTextInputRefused;
  maxLength_ = n;
  return kTextInputDone;
}

int TextEditBase::SetCompositionStyle(int32_t chars, uint32_t textColor, uint32_t backColor) {
  if (chars > 0) compositionChars_ = chars;
  if (textColor != 0xFFFFFFFF) compositionTextColor_ = textColor;
  if (backColor != 0xFFFFFFFF) compositionBackColor_ = backColor;
  return kTextInputDone;
}

int TextEditBase::Finish() {
  SetLocked(true);
  if (!resultBuffer_.memory || !hasText_) return kTextInputRefused;
  // The checked accessor: a buffer that no longer lies in script memory takes nothing.
  if (!resultBuffer_.memory->Write(resultBuffer_.address, text_.c_str(),
                                   static_cast<uint32_t>(text_.size() + 1))) {
    return kTextInputRefused;
  }
  return kTextInputDone;
}

void TextEditBase::SetLocked(bool locked) {
  if (locked != locked_ && locked && GetOwner() && GetOwner()->IsFocus(this)) {
    (void)GetOwner()->SetFocus(nullptr);  // clearing the focus cannot fail
  }
  locked_ = locked;
}

int TextEditBase::Clear() {
  if (!hasText_) return kTextInputRefused;
  text_.clear();
  caretLine_ = 0;
  columnOffset_ = 0;
  caret_ = 0;
  DrawText();
  ShowCaret();
  return kTextInputDone;
}

// Cuts text to at most limit bytes without splitting a character or keeping a lone lead byte.
static std::string CutOnBoundary(std::string_view text, size_t limit) {
  size_t end = 0;
  while (end < text.size()) {
    const size_t length = sjis::CharLength(text, end);
    if (length == 1 && sjis::IsLeadByte(text[end])) break;  // a lead byte with no trail
    if (end + length > limit) break;
    end += length;
  }
  return std::string(text.substr(0, end));
}

int TextEditBase::SetText(const char* text) {
  if (!hasText_ || !text) return kTextInputRefused;
  text_ = CutOnBoundary(text, static_cast<size_t>(maxLength_));
  caretLine_ = 0;
  caret_ = 0;
  columnOffset_ = 0;
  DrawText();
  if (GetOwner() && GetOwner()->IsFocus(this)) ShowCaret();
  return kTextInputDone;
}

void TextEditBase::TakeInitialText(const TextResultBuffer& result) {
  text_.clear();
  resultBuffer_ = {};
  if (!result.memory) return;
  // At most maxLength bytes are read, and none past the end of script memory.
  std::string read;
  const size_t limit = static_cast<size_t>(maxLength_);
  for (uint32_t address = result.address; read.size() <= limit; ++address) {
    char byte = 0;
    if (!result.memory->Valid(address, 1) || !result.memory->Read(address, &byte, 1)) break;
    if (byte == 0) break;
    read.push_back(byte);
  }
  text_ = CutOnBoundary(read, limit);
  resultBuffer_ = result;
}

// Caret stepping.

int32_t TextEditBase::MoveByChars(size_t from, int32_t n) const {
  size_t at = std::min(from, text_.size());
  if (n >= 0) {
    for (int32_t i = 0; i < n && at < text_.size(); ++i) at = sjis::Next(text_, at);
  } else {
    for (int32_t i = 0; i < -n && at > 0; ++i) at = sjis::Prev(text_, at);
  }
  return static_cast<int32_t>(at) - static_cast<int32_t>(std::min(from, text_.size()));
}

int32_t TextEditBase::MeasureWidth(size_t from, size_t to) const {
  if (!font_ || to <= from || from >= text_.size()) return 0;
  const std::string part = text_.substr(from, to - from);
  Size size;
  int32_t ox = 0;
  int32_t oy = 0;
  if (font_->MeasureText(part.c_str(), &size, &ox, &oy, false, nullptr) == 0) return 0;
  return size.width;
}

int32_t TextEditBase::CaretPixelOffset() const {
  return MeasureWidth(0, caret_) - MeasureWidth(0, columnOffset_);
}

void TextEditBase::CaretPixelPosition(int32_t* dx, int32_t* dy) const {
  const int32_t h = FontHeight();
  int32_t w = 0;
  const size_t start = caret_ >= columnOffset_ ? caret_ - columnOffset_ : 0;
  for (size_t at = start; at < start + columnOffset_ && at < text_.size();) {
    const size_t length = sjis::CharLength(text_, at);
    w += length == 2 ? h : h / 2;
    at += length;
  }
  if (verticalText_) {
    *dx = (maxLines_ - caretLine_ - 1) * Pitch();
    *dy = w;
  } else {
    *dx = w;
    *dy = caretLine_ * Pitch();
  }
}

void TextEditBase::ScrollToCaret(int32_t n) {
  const size_t before = columnOffset_;
  // A backspace before the view leaves its start where another character may now begin: it
  // goes to the character start at or before that byte, so every step below is on a boundary.
  if (columnOffset_ >= text_.size()) {
    columnOffset_ = text_.size();
  } else {
    size_t start = 0;
    for (size_t at = 0; at <= columnOffset_; at = sjis::Next(text_, at)) start = at;
    columnOffset_ = start;
  }
  const bool atEnd = caret_ >= text_.size();
  for (;;) {
    const int32_t offset = CaretPixelOffset();
    if (atEnd ? offset > 0 : offset >= 0) break;
    const int32_t moved = MoveByChars(columnOffset_, -n);
    if (moved == 0) {
      columnOffset_ = 0;
      break;
    }
    columnOffset_ += moved;
  }
  const int32_t along = verticalText_ ? fieldHeight_ : fieldWidth_;
  const int32_t avail = along - 2 * textMargin_ - 2 * (border_ ? 1 : 0);
  while (CaretPixelOffset() >= avail) {
    const int32_t moved = MoveByChars(columnOffset_, n);
    if (moved == 0) {
      // Nothing further to show: the last character starts the view.
      columnOffset_ = sjis::Prev(text_, text_.size());
      break;
    }
    columnOffset_ += moved;
  }
  if (columnOffset_ != before) DrawText();
}

size_t TextEditBase::LocateCaret(size_t offset) {
  int32_t line = 0;
  int32_t columns = 0;
  size_t lineStart = 0;
  size_t at = 0;
  const int32_t lastLine = std::max(maxLines_ - 1, 0);
  while (at < offset && at < text_.size()) {
    const size_t length = sjis::CharLength(text_, at);
    if (length == 1 && text_[at] == kNewline) {
      at += 1;
      if (line < lastLine) {
        ++line;
        lineStart = at;
        columns = 0;
      }
      continue;
    }
    if (columns + Columns(length) > lineColumns_ && line < lastLine) {
      ++line;
      lineStart = at;
      columns = 0;
    }
    columns += Columns(length);
    at += length;
  }
  caretLine_ = line;
  columnOffset_ = at - lineStart;
  return at;
}

void TextEditBase::LayOutLines() {
  lineStarts_.assign(static_cast<size_t>(std::max(maxLines_, 1)), 0);
  lineCount_ = 1;
  int32_t columns = 0;
  for (size_t at = 0; at < text_.size();) {
    const size_t length = sjis::CharLength(text_, at);
    const bool newline = length == 1 && text_[at] == kNewline;
    // A newline needs no column, but one after a newline starts a line of its own.
    if (columns + (newline ? 0 : Columns(length)) > lineColumns_) {
      if (lineCount_ >= maxLines_) {
        // No room for another line: the text ends here.
        text_.resize(at);
        break;
      }
      lineStarts_[static_cast<size_t>(lineCount_++)] = at;
      columns = 0;
    }
    // A newline fills its line: the next character starts the next one.
    columns = newline ? lineColumns_ + 1 : columns + Columns(length);
    at += length;
  }
  if (caret_ > text_.size()) caret_ = LocateCaret(text_.size());
}

size_t TextEditBase::XToChar(int32_t along) const {
  size_t at = std::min(columnOffset_, text_.size());
  const size_t start = at;
  int32_t width = 0;
  while (width < along) {
    if (at >= text_.size()) return text_.size();
    at = sjis::Next(text_, at);
    width = MeasureWidth(start, at);
  }
  if (at == start) return at;
  // The last character by the odd-run rule, never by a lone look two bytes back.
  const size_t last = std::max(sjis::Prev(text_, at), start);
  const int32_t lastWidth = MeasureWidth(last, at);
  return along <= width - lastWidth / 2 ? last : at;
}

size_t TextEditBase::PointToChar(int32_t along, int32_t across) {
  const int32_t h = FontHeight();
  int32_t line = across < h ? 0 : 1 + (across - h) / std::max(Pitch(), 1);
  line = std::clamp(line, 0, std::max(lineCount_ - 1, 0));
  const size_t start = lineStarts_.empty() ? 0 : lineStarts_[static_cast<size_t>(line)];
  size_t at = std::min(start, text_.size());
  int32_t width = 0;
  int32_t columns = 0;
  int32_t lastWidth = 0;
  while (width < along && at < text_.size()) {
    const size_t length = sjis::CharLength(text_, at);
    if (length == 1 && text_[at] == kNewline) break;
    if (columns + Columns(length) > lineColumns_) break;
    lastWidth = length == 2 ? h : h / 2;
    width += lastWidth;
    columns += Columns(length);
    at += length;
  }
  if (at > start && width >= along && along <= width - lastWidth / 2) {
    at = std::max(sjis::Prev(text_, at), start);
  }
  caretLine_ = line;
  columnOffset_ = at - start;
  return at;
}

// Caret moves and edits.

void TextEditBase::AfterEdit(int32_t scroll) {
  if (IsMultiLine()) {
    caret_ = LocateCaret(caret_);
  } else {
    ScrollToCaret(scroll);
  }
  DrawText();
  ShowCaret();
}

void TextEditBase::MoveChars(int32_t n) {
  if (n < 0 && caret_ == 0) {
    ShowCaret();
    return;
  }
  const int32_t moved = MoveByChars(caret_, n);
  if (moved != 0) {
    caret_ = static_cast<size_t>(static_cast<int64_t>(caret_) + moved);
    if (IsMultiLine()) {
      caret_ = LocateCaret(caret_);
    } else {
      ScrollToCaret(kScrollMove);
    }
  }
  ShowCaret();
}

void TextEditBase::MoveLine(int32_t delta) {
  const int32_t next = caretLine_ + delta;
  if (next < 0 || next >= lineCount_) {
    ShowCaret();
    return;
  }
  caretLine_ = next;
  const size_t start = std::min(lineStarts_[static_cast<size_t>(next)], text_.size());
  size_t at = start;
  int32_t columns = 0;
  while (at < text_.size() && at - start < columnOffset_) {
    const size_t length = sjis::CharLength(text_, at);
    if (length == 1 && text_[at] == kNewline) break;
    if (columns + Columns(length) > lineColumns_) break;
    columns += Columns(length);
    at += length;
  }
  columnOffset_ = at - start;
  caret_ = at;
  ShowCaret();
}

void TextEditBase::Home() {
  caretLine_ = 0;
  columnOffset_ = 0;
  caret_ = 0;
  DrawText();
  ShowCaret();
}

void TextEditBase::End() {
  caret_ = text_.size();
  if (IsMultiLine()) {
    caret_ = LocateCaret(caret_);
  } else {
    ScrollToCaret(kScrollInsert);
  }
  DrawText();
  ShowCaret();
}

void TextEditBase::Backspace() {
  if (caret_ == 0) return;
  const size_t previous = sjis::Prev(text_, caret_);
  text_.erase(previous, caret_ - previous);
  caret_ = previous;
  AfterEdit(kScrollBackspace);
}

void TextEditBase::Delete() {
  if (caret_ >= text_.size()) return;
  text_.erase(caret_, sjis::CharLength(text_, caret_));
  AfterEdit(kScrollInsert);
}

uint8_t TextEditBase::OnTextKey(uint32_t key) {
  if (!hasText_) return 0;
  const bool multi = IsMultiLine();
  const uint32_t back = verticalText_ ? kVkUp : kVkLeft;
  const uint32_t forward = verticalText_ ? kVkDown : kVkRight;
  if (key == back) {
    MoveChars(-1);
  } else if (key == forward) {
    MoveChars(1);
  } else if (multi && !verticalText_ && (key == kVkUp || key == kVkDown)) {
    MoveLine(key == kVkUp ? -1 : 1);
  } else if (multi && verticalText_ && (key == kVkLeft || key == kVkRight)) {
    // Lines run right to left.
    MoveLine(key == kVkLeft ? 1 : -1);
  } else if (key == kVkEnd) {
    End();
  } else if (key == kVkHome) {
    Home();
  } else if (key == kVkDelete) {
    Delete();
  } else {
    return 0;
  }
  HidePointerWhileTyping();
  return 1;
}

uint8_t TextEditBase::OnTextInput(const char* text, int32_t length) {
  if (!hasText_ || !text || length <= 0) return 0;
  const bool multi = IsMultiLine();
  int32_t limit = maxLength_;
  if (multi) {
    limit = maxLength_ - maxLines_;
    if (lineCount_ > 1)
      limit += static_cast<int32_t>(std::count(text_.begin(), text_.end(), kNewline));
  }
  std::string_view run(text, static_cast<size_t>(length));
  bool inserted = false;
  bool enter = false;
  int32_t newlines = 0;
  for (size_t at = 0; at < run.size();) {
    const char byte = run[at];
    const bool lead = sjis::IsLeadByte(byte);
    if (lead && at + 1 >= run.size()) break;  // a lead byte with nothing after it
    const size_t charLength = lead ? 2 : 1;
    if (byte == kBackspace) {
      Backspace();
      at += 1;
      continue;
    }
    if (byte == kEnter) {
      enter = true;
      break;
    }
    if (byte == kTab || byte == kEscape || byte == 0 || (lead && run[at + 1] == 0)) {
      // NUL would end the text early; neither it nor a character carrying it is kept.
      at += charLength;
      continue;
    }
    if (!lead && fullWidthOnly_) {
      at += 1;
      continue;
    }
    if (byte == kNewline) {
      if (!multi || lineCount_ + newlines >= maxLines_) {
        at += 1;
        continue;
      }
      ++newlines;
      ++limit;
    }
    const int32_t size = static_cast<int32_t>(text_.size()) + (lead ? 1 : 0);
    if (size >= limit) break;
    text_.insert(caret_, run.substr(at, charLength));
    caret_ += charLength;
    inserted = true;
    at += charLength;
  }
  if (inserted) {
    AfterEdit(kScrollInsert);
    HidePointerWhileTyping();
  }
  if (enter) {
    // Enter in the last field leaves no field focused.
    if (PointerManager* owner = GetOwner()) owner->PassFocusOn(true);
  }
  return 1;
}

// Pointer and focus.

void TextEditBase::HidePointerWhileTyping() {
  PointerManager* owner = GetOwner();
  if (!owner || !owner->IsHover(this)) return;
  owner->SetCursorVisible(false);
  pointerHidden_ = true;
  owner->HideTooltip();
}

void TextEditBase::ShowPointerAgain() {
  if (!pointerHidden_) return;
  if (PointerManager* owner = GetOwner()) owner->SetCursorVisible(true);
  pointerHidden_ = false;
}

void TextEditBase::TakeFocusFromPointer() {
  PointerManager* owner = GetOwner();
  if (!owner || owner->IsFocus(this)) return;
  focusByPointer_ = true;
  (void)owner->SetFocus(this);  // a part the manager does not list leaves the focus where it was
  // A field that passed the focus on is not left waiting for it.
  focusByPointer_ = false;
  if (owner->IsFocus(this)) ShowCaret();
}

bool TextEditBase::HitTest(int32_t x, int32_t y) const {
  const bool inside = static_cast<uint32_t>(x - GetX()) < static_cast<uint32_t>(fieldWidth_) &&
                      static_cast<uint32_t>(y - GetY()) < static_cast<uint32_t>(fieldHeight_);
  if (!inside) return false;
  // Hit testing is where a field under the pointer shows its I-beam and takes the focus.
  auto* self = const_cast<TextEditBase*>(this);
  if (PointerManager* owner = GetOwner()) {
    // Every state asked here is a known one.
    (void)owner->SetCursorState(verticalText_ ? kCursorVerticalIBeam : kCursorIBeam);
    if (focusOnHover_ && !locked_ && !owner->IsFocus(this)) self->TakeFocusFromPointer();
  }
  return true;
}

void TextEditBase::OnPointerOver(int32_t /*x*/, int32_t /*y*/) {
  ShowPointerAgain();
}

void TextEditBase::OnPointerLeave() {
  if (focusByPointer_) return;
  // Every state asked here is a known one.
  if (PointerManager* owner = GetOwner()) (void)owner->SetCursorState(0);
  ShowPointerAgain();
}

bool TextEditBase::OnPointerInput(int32_t x, int32_t y, Mouse* mouse) {
  if (locked_ || !mouse || !hasText_ || !mouse->IsButtonPressed(kButtonLeft)) return false;
  TakeFocusFromPointer();
  const int32_t inset = (border_ ? 1 : 0) + textMargin_;
  int32_t along = 0;
  int32_t across = 0;
  if (verticalText_) {
    along = std::clamp(y - textOriginY_, 0, std::max(fieldHeight_ - 2 * inset, 0));
    across = std::clamp(textOriginX_ - x, 0, std::max(fieldWidth_ - 2 * inset, 0));
  } else {
    along = std::clamp(x - textOriginX_, 0, std::max(fieldWidth_ - 2 * inset, 0));
    across = std::clamp(y - textOriginY_, 0, std::max(fieldHeight_ - 2 * inset, 0));
  }
  if (IsMultiLine()) {
    caret_ = PointToChar(along, across);
  } else {
    caret_ = XToChar(along);
  }
  ShowCaret();
  return true;
}

void TextEditBase::OnFocusGot(UiControl* /*previous*/, bool forward) {
  PointerManager* owner = GetOwner();
  if (!owner) return;
  if (locked_) {
    owner->PassFocusOn(forward);
    return;
  }
  // With no host to tell, the field works as it is.
  if (WantsIme() && !imeContext_->IsOpen()) (void)owner->SendTextInputMessage(1);
  if (modeIndicator_) modeIndicator_->SetVisible(true);
  if (focusByPointer_) {
    focusByPointer_ = false;
    return;
  }
  const int mode = owner->GetFocusPointerMode();
  if (mode == kFocusPointerCentre) {
    if (verticalText_) {
      owner->SetPointerPosition(GetX() + fieldWidth_ / 2, GetY() + (border_ ? 1 : 0));
    } else {
      owner->SetPointerPosition(GetX() + (border_ ? 1 : 0), GetY() + fieldHeight_ / 2);
    }
  } else if (mode == kFocusPointerParks) {
    owner->ParkPointer();
  }
  ShowCaret();
}

void TextEditBase::OnFocusLost(UiControl* /*next*/) {
  if (modeIndicator_) modeIndicator_->SetVisible(false);
  HideComposition();
  if (WantsIme() && imeContext_->IsOpen()) {
    // With no host to tell, the field works as it is.
    if (PointerManager* owner = GetOwner()) (void)owner->SendTextInputMessage(0);
  }
  HideCaret();
  ShowPointerAgain();
}

bool TextEditBase::OnKeyInput(InputBindingTable* bindings) {
  if (modeIndicator_) modeIndicator_->Refresh();
  DrawComposition();
  if (!bindings) return false;
  const uint32_t along[2] = {verticalText_ ? kNavigateUp : kNavigateLeft,
                             verticalText_ ? kNavigateDown : kNavigateRight};
  const uint32_t across[2] = {verticalText_ ? kNavigateLeft : kNavigateUp,
                              verticalText_ ? kNavigateRight : kNavigateDown};
  for (uint32_t action : along) {
    if (bindings->IsActionPressed(action)) return true;
  }
  if (IsMultiLine()) {
    for (uint32_t action : across) {
      if (bindings->IsActionPressed(action)) return true;
    }
  }
  return false;
}

}  // namespace bw
