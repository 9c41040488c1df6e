#include "scenario/message/script_message_text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/sjis.h"
#include "graphics/surface/image_surface.h"
#include "graphics/text/text_renderer.h"
#include "script/script_vm.h"

namespace bw {

namespace {

constexpr size_t kBlockHeader = 8;  // "[", NUL, four bytes, 16-bit length
constexpr size_t kMaxPictureDigits = 6;

uint8_t ByteAt(std::string_view text, size_t i) {
  return i < text.size() ? static_cast<uint8_t>(text[i]) : 0;
}

// Where the tag that starts at i ('<') ends, with a '\' right after it; npos when it does not
// end before the text does.
size_t SkipTag(std::string_view text, size_t i) {
  size_t p = i + 1;
  while (ByteAt(text, p) != 0 && ByteAt(text, p) != '>')
    p += sjis::IsLeadByte(ByteAt(text, p)) ? 2 : 1;
  if (p >= text.size() || text[p] != '>') return std::string_view::npos;
  ++p;
  return ByteAt(text, p) == '\\' ? p + 1 : p;
}

// Where the binary block that starts at i ("[" NUL) ends, with a '\' right after it; npos when
// its data run past the text.
size_t SkipBlock(std::string_view text, size_t i) {
  if (text.size() - i < kBlockHeader) return std::string_view::npos;
  const size_t length = ByteAt(text, i + 6) | ByteAt(text, i + 7) << 8;
  if (length > text.size() - i - kBlockHeader) return std::string_view::npos;
  const size_t p = i + kBlockHeader + length;
  return ByteAt(text, p) == '\\' ? p + 1 : p;
}

// The bytes of the character unit at i: a double-byte character, "@@", '@' and up to six
// digits (a picture glyph), or one byte.
size_t UnitLength(std::string_view text, size_t i) {
  const uint8_t c = ByteAt(text, i);
  if (sjis::IsLeadByte(c)) return i + 1 < text.size() ? 2 : 1;
  if (c != '@') return 1;
  if (ByteAt(text, i + 1) == '@') return 2;
  size_t n = 1;
  while (n <= kMaxPictureDigits && ByteAt(text, i + n) >= '0' && ByteAt(text, i + n) <= '9') ++n;
  return n;
}

int32_t FontSize(const TextRenderer& renderer) {
  return static_cast<int32_t>(
      std::min<int64_t>(std::llabs(renderer.GetLogFont().lfHeight), INT32_MAX));
}

}  // namespace

ScriptMessageText::ScriptMessageText(ScriptVm* vm, GuestMemory* memory)
    : MessageTextEngine(memory), vm_(vm) {}

bool ScriptMessageText::TestMessageRead(uint32_t bit, bool inLast) const {
  return vm_ && vm_->TestReadFlagA(bit, inLast);
}

int ScriptMessageText::SetMessageRead(uint32_t bit, bool inLast) {
  return vm_ ? vm_->SetReadFlagA(bit, inLast) : 0;
}

uint8_t ScriptMessageText::IsEndHookSuppressed(uint8_t keyByte, uint16_t keyNumber) {
  return TestMessageRead(keyNumber, keyByte != 0) ? 1 : 0;
}

void ScriptMessageText::OnEndOfText(uint8_t keyByte, uint16_t keyNumber) {
  // A bit past the script's read flags is not kept; the text has ended all the same.
  (void)SetMessageRead(keyNumber, keyByte != 0);
}

int32_t ScriptMessageText::SetOutput(ImageSurface* surface, MessageTextOwner* owner, int32_t x,
                                     int32_t y, TextRenderer* renderer, bool outline,
                                     bool fixedPitch, int32_t spacing) {
  if (!surface || !renderer) return 1;
  surface_ = surface;
  owner_ = owner;
  renderer_ = renderer;
  outline_ = outline;
  fixedPitch_ = fixedPitch;
  spacing_ = spacing;
  originX_ = penX_ = x;
  originY_ = penY_ = y;
  return 0;
}

ScriptMessageText::Output ScriptMessageText::Resolve(ImageSurface* surface, TextRenderer* renderer,
                                                     uint8_t outline) const {
  return {surface ? surface : surface_, renderer ? renderer : renderer_,
          outline == kStoredOutline ? outline_ : outline != 0};
}

int32_t ScriptMessageText::DrawUnit(std::string_view unit, const Output& out, int32_t& penX,
                                    int32_t penY) {
  const std::string text(unit);
  TextRenderer& renderer = *out.renderer;
  int32_t x = penX;
  int32_t advance = 0;
  const bool centred = fixedPitch_ && sjis::IsLeadByte(text[0]) && text.size() == 2;
  if (centred) {
    Size size;
    renderer.MeasureText(text.c_str(), &size, nullptr, nullptr, false, nullptr);
    advance = FontSize(renderer);
    x += (advance - size.width) / 2;
  }
  Rect rect;
  Point end{x, penY};
  const int r = out.outline ? renderer.DrawString(out.surface, x, penY, text.c_str(), &rect, &end)
                            : renderer.DrawText(out.surface, x, penY, text.c_str(), &rect, &end);
  if (r != kTextDone) return 3;
  if (!centred) advance = end.x - penX;
  penX += advance + spacing_;
  out.surface->MarkDirty(
      rect.IsEmpty() ? Rect{0, 0, out.surface->GetWidth(), out.surface->GetHeight()} : rect);
  if (owner_) owner_->OnCharacterDrawn(rect);
  return 0;
}

int32_t ScriptMessageText::DrawRun(std::string_view text, size_t from, size_t to, const Output& out,
                                   int32_t lineStart, int32_t& penX, int32_t& penY) {
  to = std::min(to, text.size());
  for (size_t i = from; i < to;) {
    const uint8_t c = ByteAt(text, i);
    if (c == 0) break;
    size_t next = i + 1;
    std::string_view unit;
    if (c == '$' || c == '&') {
      // waits and section ends draw nothing
    } else if (c == '<' && ByteAt(text, i + 1) == '<') {
      unit = text.substr(i, 1);
      next = i + 2;
    } else if (c == '<') {
      next = SkipTag(text, i);
    } else if (c == '[' && i + 1 < text.size() && text[i + 1] == 0) {
      next = SkipBlock(text, i);
    } else if (c == '[') {
      const size_t length = UnitLength(text, i + 1);
      unit = text.substr(i + 1, length);
      next = i + 1 + length;
    } else if (c == '\\') {
      penX = lineStart;
      penY += out.renderer->GetLineSpacing() + FontSize(*out.renderer);
    } else {
      const size_t length = UnitLength(text, i);
      unit = text.substr(i, length);
      next = i + length;
    }
    if (next == std::string_view::npos) return 0;  // a malformed tag ends the text
    if (!unit.empty()) {
      const int32_t r = DrawUnit(unit, out, penX, penY);
      if (r != 0) return r;
    }
    i = next;
  }
  return 0;
}

int32_t ScriptMessageText::DrawString(std::string_view text, int32_t x, int32_t y,
                                      const Output& out) {
  if (!out.surface || !out.renderer) return 1;
  int32_t penX = x, penY = y;
  return DrawRun(text, 0, text.size(), out, x, penX, penY);
}

int32_t ScriptMessageText::DrawTextPart(int32_t x, int32_t y, int32_t part, ImageSurface* surface,
                                        TextRenderer* renderer, uint8_t outline) {
  const Output out = Resolve(surface, renderer, outline);
  if (!out.surface || !out.renderer) return 1;
  std::string text;
  if (part == 0) {
    if (!Name()) return 2;
    text = Name()->data();
  } else {
    const uint32_t length = GetTextPart(part, nullptr, 0);
    if (length == 0) return 2;
    text.resize(length);
    GetTextPart(part, text.data(), text.size());
    text.resize(length - 1);
  }
  return DrawString(text, x, y, out);
}

int32_t ScriptMessageText::DrawChoice(int32_t index, int32_t x, int32_t y, ImageSurface* surface,
                                      TextRenderer* renderer, uint8_t outline) {
  const Output out = Resolve(surface, renderer, outline);
  if (!out.surface || !out.renderer) return 1;
  const auto text = GetChoiceText(index);
  if (!text) return 2;
  return DrawString(std::string(*text), x, y, out);
}

int32_t ScriptMessageText::Advance(bool skipToTag) {
  const size_t from = Cursor();
  int32_t token = NextToken();
  if (token == kCharacter) {
    if (skipToTag) token = SkipToNextTag();
    if (surface_ && renderer_ && Body()) {
      // A character the renderer refuses ends the drawing there: the token is read all the same.
      (void)DrawRun(*Body(), from, Cursor(), Resolve(nullptr, nullptr, kStoredOutline), originX_,
                    penX_, penY_);
    }
  } else if (token == kSectionEnd || token == kEnd) {
    ResetPen();
  }
  return token;
}

int32_t ScriptMessageText::SeekTag(int32_t tag, bool draw) {
  if (!Body() || (draw && (!surface_ || !renderer_))) return -1;
  ResetPen();
  const int32_t result = MessageTextEngine::SeekTag(tag);
  // A character the renderer refuses ends the drawing there: the tag is found all the same.
  if (draw)
    (void)DrawRun(*Body(), 0, Cursor(), Resolve(nullptr, nullptr, kStoredOutline), originX_, penX_,
                  penY_);
  return result;
}

void ScriptMessageText::Redraw() {
  ResetPen();
  if (Body() && surface_ && renderer_) {
    // A character the renderer refuses ends the drawing there: the text reads on all the same.
    (void)DrawRun(*Body(), 0, Cursor(), Resolve(nullptr, nullptr, kStoredOutline), originX_, penX_,
                  penY_);
  }
}

uint32_t ScriptMessageText::ExtractPlainText(char* out, size_t size, bool withLineBreaks) const {
  if (!Body()) {
    if (out && size) out[0] = '\0';
    return 0;
  }
  const std::string_view text = *Body();
  std::string plain;
  for (size_t i = 0; i < text.size();) {
    const uint8_t c = ByteAt(text, i);
    if (c == 0 || c == '$' || c == '&') break;
    size_t next = i + 1;
    if (c == '<' && ByteAt(text, i + 1) == '<') {
      plain += '<';
      next = i + 2;
    } else if (c == '<') {
      next = SkipTag(text, i);
    } else if (c == '[' && i + 1 < text.size() && text[i + 1] == 0) {
      next = SkipBlock(text, i);
    } else if (c == '[') {
      const size_t length = sjis::CharLength(text, i + 1);
      plain.append(text.substr(i + 1, length));
      next = i + 1 + length;
    } else if (c == '\\') {
      if (withLineBreaks) plain += "\r\n";
    } else if (c == '@' && ByteAt(text, i + 1) >= '0' && ByteAt(text, i + 1) <= '9') {
      next = i + UnitLength(text, i);  // a picture glyph has no text
    } else {
      const size_t length = sjis::CharLength(text, i);
      plain.append(text.substr(i, length));
      next = i + length;
    }
    if (next == std::string_view::npos) break;
    i = next;
  }
  if (out && size) {
    const size_t copied = sjis::FitLength(plain, size - 1);
    std::memcpy(out, plain.data(), copied);
    out[copied] = '\0';
  }
  return static_cast<uint32_t>(plain.size());
}

void ScriptMessageText::SetChoiceRead(int32_t choice) {
  SetLastHistoryFlag(static_cast<uint8_t>(choice));
  if (vm_ && ChoiceCount() > 0 && ChoiceMode() != 2 && choice >= 0 && choice < ChoiceCount()) {
    // A bit beyond the read flags is not kept; the choice is taken all the same.
    (void)vm_->SetReadFlagB(uint32_t{ChoiceValue()} + static_cast<uint32_t>(choice),
                            ChoiceBitInLast());
  }
}

bool ScriptMessageText::IsChoiceRead(int32_t choice) const {
  if (!vm_ || ChoiceCount() == 0 || ChoiceMode() == 2 || choice < 0 || choice >= ChoiceCount()) {
    return false;
  }
  return vm_->TestReadFlagB(uint32_t{ChoiceValue()} + static_cast<uint32_t>(choice),
                            ChoiceBitInLast());
}

uint8_t ScriptMessageText::GetChoiceMode() const {
  return Body() ? ChoiceMode() : 255;
}

int32_t ScriptMessageText::SaveReadingPosition() {
  if (!Body()) return 0;
  hasReadingPosition_ = true;
  savedSerial_ = MessageSerial();
  savedOffset_ = Cursor();
  return 1;
}

int32_t ScriptMessageText::RestoreReadingPosition() {
  if (!hasReadingPosition_ || !Body() || savedSerial_ != MessageSerial()) return 0;
  SetCursor(savedOffset_);
  return 1;
}

}  // namespace bw
