#include "gui/text_view.h"

#include <algorithm>
#include <cstring>

#include "common/byte_reader.h"
#include "common/sjis.h"
#include "effects/cell_anim_tasks.h"
#include "graphics/pixel/text_kernels.h"
#include "graphics/text/outline_text_renderer.h"
#include "graphics/text/text_renderer.h"
#include "graphics/text/text_rules.h"

namespace bw {

namespace {

constexpr size_t kNameBytes = 16;
constexpr size_t kSecondNameBytes = 15;
constexpr uint8_t kWideSpaceLead = 0x81;
constexpr uint8_t kWideSpaceTrail = 0x40;

// The character at pos, read from a NUL-padded copy so that nothing past the text is touched.
TypedGlyph GlyphAt(std::string_view text, size_t pos) {
  char window[sizeof(TypedGlyph::text)] = {};
  const size_t n = std::min(text.size() - pos, sizeof(window) - 1);
  std::memcpy(window, text.data() + pos, n);
  return MessageTextWidget::ReadGlyph(window);
}

// Takes o, which lies inside box, off box when it spans the box's whole length along the line
// and reaches one of its sides across it; false when the rest would not be a rectangle.
[[nodiscard]] bool CutAcross(Rect& box, const Rect& o, bool vertical) {
  if (vertical) {
    if (o.top != box.top || o.bottom != box.bottom) return false;
    if (o.right == box.right) return box.right = o.left, true;
    if (o.left == box.left) return box.left = o.right, true;
    return false;
  }
  if (o.left != box.left || o.right != box.right) return false;
  if (o.top == box.top) return box.top = o.bottom, true;
  if (o.bottom == box.bottom) return box.bottom = o.top, true;
  return false;
}

std::string CutName(const char* text, size_t maxBytes) {
  if (!text) return {};
  return std::string(sjis::Truncate(text, maxBytes));
}

}  // namespace

TextView::TextView() = default;

TextView::~TextView() {
  TextView::Destroy();
}

void TextView::Destroy() {
  name_.clear();
  secondName_.clear();
  MessageTextWidget::Destroy();
  hidden_.Release();
  revealBase_.Release();
  mask_.Release();
}

void TextView::SetVisible(bool visible) {
  if (visible && frame_ && message_.empty()) return;
  MessageTextWidget::SetVisible(visible);
  if (nameBox_) nameBox_->SetVisible(visible && !name_.empty());
}

int TextView::SetBackgroundColor(int kind, uint32_t rgb, int opacity, bool redraw) {
  const int rc = MessageTextWidget::SetBackgroundColor(kind, rgb, opacity, redraw);
  KeepWaitMarkBackground();
  return rc;
}

void TextView::Home(bool clear) {
  MessageTextWidget::Home(clear);
  lines_.clear();
  lineIndex_ = 0;
}

ImageSurface* TextView::DrawTarget() {
  if (layoutMode_ == kLayoutMeasuring) return nullptr;
  return layoutMode_ == kLayoutHidden ? &hidden_ : &page_;
}

// Line records.

void TextView::BeginLayout() {
  layoutMode_ = kLayoutMeasuring;
  lines_.clear();
  lineIndex_ = 0;
  LineRecord first;
  first.penX = penX_;
  first.penY = penY_;
  lines_.push_back(first);
  rubySpanOpen_ = false;
}

void TextView::CloseLine() {
  if (lines_.empty()) return;
  LineRecord& line = lines_.back();
  line.length = std::max(line.length, vertical_ ? penY_ - line.penY : penX_ - line.penX);
  line.thickness = std::max(line.thickness, lineHeight_);
  if (vertical_) {
    line.box = {line.penX - line.thickness, line.penY, line.penX, line.penY + line.length};
  } else {
    line.box = {line.penX, line.penY, line.penX + line.length, line.penY + line.thickness};
  }
}

bool TextView::NewLine() {
  if (layoutMode_ == kLayoutNone) return MessageTextWidget::NewLine();
  if (layoutMode_ == kLayoutMeasuring) {
    CloseLine();
    EndItemArea();
    UpdateLineHeight();
    if (vertical_) {
      penX_ -= lineGap_ + linePitch_;
      penY_ = marginTop_ + indent_;
    } else {
      penY_ += lineGap_ + linePitch_;
      penX_ = marginLeft_ + indent_;
    }
    LineRecord next;
    next.penX = penX_;
    next.penY = penY_;
    next.offset = layoutPos_;
    lines_.push_back(next);
  } else {
    // The drawing passes follow the measured lines; past them the page decides.
    if (lineIndex_ + 1 >= lines_.size()) {
      if (MessageTextWidget::NewLine()) return true;
    } else {
      EndItemArea();
      ++lineIndex_;
      penX_ = lines_[lineIndex_].penX;
      penY_ = lines_[lineIndex_].penY;
    }
  }
  if (rubySpanOpen_) rubySpanStart_ = Along();
  return false;
}

Rect TextView::LinesUnion() const {
  Rect u{0, 0, 0, 0};
  bool any = false;
  for (const LineRecord& line : lines_) {
    if (!any) {
      u = line.box;
      any = true;
    } else {
      u.left = std::min(u.left, line.box.left);
      u.top = std::min(u.top, line.box.top);
      u.right = std::max(u.right, line.box.right);
      u.bottom = std::max(u.bottom, line.box.bottom);
    }
  }
  return u;
}

int32_t TextView::DecorationWidth(int32_t* offsetX, int32_t* offsetY) const {
  *offsetX = *offsetY = 0;
  if (!mainRenderer_) return 0;
  const int style = mainRenderer_->GetStyle();
  const int32_t sx = mainRenderer_->GetShadowOffsetX(), sy = mainRenderer_->GetShadowOffsetY();
  int32_t edge = 0;
  if (style == kTextEdge) {
    auto* outline = dynamic_cast<const OutlineTextRenderer*>(mainRenderer_);
    if (!outline) return 0;
    edge = EdgeRadius(outline->GetEdgeRadius());
  } else if (style != kTextShadow) {
    return 0;
  }
  // The boxes start where the renderer draws the decoration: an edge reaches left and up too.
  int64_t width = 0, height = 0;
  AddDecoration({style, sx, sy, edge}, &width, &height, offsetX, offsetY);
  return style == kTextShadow ? std::max(std::abs(sx), std::abs(sy)) : 2 * edge;
}

// The layout passes.

int TextView::LayoutPass(std::string_view text, bool runCalls, bool skipWideSpaces,
                         ImageSurface* target, bool measured, int32_t* count) {
  const bool draw = layoutMode_ != kLayoutMeasuring;
  const bool wrap = autoWrap_;
  // A drawing pass after a measuring pass breaks where that did, whatever the fitted page's
  // width; an unmeasured one wraps on the page and stops when it is full.
  if (draw && measured) autoWrap_ = false;
  const auto done = [&](int rc) {
    autoWrap_ = wrap;
    return rc;
  };
  size_t pos = 0;
  bool first = true;
  while (pos < text.size()) {
    layoutPos_ = pos;
    const auto b = uint8_t(text[pos]);
    if (b == 0) {
      if (pos + 1 >= text.size() || text[pos + 1] != '[') break;
      ByteReader in(text.data() + pos + 2, text.size() - pos - 2);
      uint32_t size = 0;
      // A record shorter than its own header would never move on; one past the text would
      // be read beyond it.
      if (!in.u32le(size) || size < kCallRecordMinSize || !in.has(uint64_t(size) - 4)) {
        return done(kMeasureCallFailed);
      }
      const size_t length = 2 + size_t(size);
      if (runCalls && frame_) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(text.data() + pos);
        const int rc = frame_->RunCall({bytes, length});
        if (rc != 0) return done(rc);
      }
      pos += length;
      continue;
    }
    if (skipWideSpaces && b == kWideSpaceLead && pos + 1 < text.size() &&
        uint8_t(text[pos + 1]) == kWideSpaceTrail) {
      pos += 2;
      continue;
    }
    if (draw && !autoWrap_ && lineIndex_ + 1 < lines_.size() &&
        pos >= lines_[lineIndex_ + 1].offset) {
      (void)NewLine();  // a line that does not fit ends the page, which the layout sees itself
      if (vertical_ ? penX_ - lineHeight_ < marginLeft_
                    : penY_ + lineHeight_ > height_ - marginBottom_) {
        break;
      }
    }
    const TypedGlyph glyph = GlyphAt(text, pos);
    const int rc = PlaceTyped(glyph, target, draw);
    if (rc == kBreakPageFull) break;
    if (count) ++*count;
    pos += glyph.consumed;
    // Measured lines already start at the indent; an unmeasured page wraps to it.
    if (first && (!draw || !measured) && IsIndentChar(glyph.text)) UpdateIndent();
    first = false;
  }
  return done(0);
}

int TextView::FitWindow(bool resize, bool reveal) {
  CloseLine();
  if (!lines_.empty() && lines_.back().length == 0) {
    LineRecord& last = lines_.back();
    last.thickness = lineHeight_;
    last.box = vertical_ ? Rect{last.penX - lineHeight_, last.penY, last.penX, last.penY}
                         : Rect{last.penX, last.penY, last.penX, last.penY + lineHeight_};
  }
  int32_t dx = 0, dy = 0;
  const int32_t extra = DecorationWidth(&dx, &dy);
  for (LineRecord& line : lines_) {
    line.box = {line.box.left + dx, line.box.top + dy, line.box.right + extra + dx,
                line.box.bottom + extra + dy};
  }
  const Rect u = LinesUnion();
  if (resize) {
    const int32_t oldWidth = width_;
    if (Resize(u.Width() + marginLeft_ + marginRight_, u.Height() + marginTop_ + marginBottom_,
               false) != kWidgetDone) {
      return kFitResizeFailed;
    }
    // Vertical lines start at the right edge, which moved with the width.
    if (vertical_) {
      const int32_t widthGain = width_ - oldWidth;
      for (LineRecord& line : lines_) {
        line.penX += widthGain;
        line.box.left += widthGain;
        line.box.right += widthGain;
      }
    }
  }
  if (reveal) {
    if (hidden_.Create(width_, height_, 32, kImageDibSection) != 0) return kFitHiddenFailed;
    hidden_.SetHasAlpha(true);
    if (!hidden_.Fill(0, nullptr)) return kFitResizeFailed;
  }
  if (frame_) PlaceWindow();
  return kWidgetDone;
}

void TextView::PlaceWindow() {
  int32_t x = alignment_ == 0   ? anchorX_ - width_ / 2
              : alignment_ == 2 ? anchorX_ - width_
                                : anchorX_;
  int32_t y = anchorY_;
  if (minX_ >= 0) {
    if (x < minX_) {
      x = minX_;
    } else if (x + width_ > maxX_) {
      x = maxX_ - width_;
    }
    if (y < minY_) {
      y = minY_;
    } else if (y + height_ > maxY_) {
      y = maxY_ - height_;
    }
  }
  (void)SetPosition(x, y);  // moving a part that is made cannot fail
}

void TextView::DrawName() {
  if (!nameBox_ || name_.empty()) return;
  nameBox_->Home(true);
  if (nameAlignment_ >= 4) {
    nameBox_->DrawStringJustified(name_.c_str(),
                                  {0, 0, nameBox_->GetWidth(), nameBox_->GetHeight()});
  } else {
    nameBox_->DrawStringAligned(name_.c_str(), nameAlignment_);
  }
}

int TextView::ShowMessage(bool newPage) {
  if (message_.empty() || !frame_) return kShowNoText;
  if (revealState_ != kRevealIdle) return kShowBusy;
  if (newPage) {
    Home(true);
    DrawName();
  }
  const std::string_view text(message_);
  BeginLayout();
  const int32_t startX = penX_, startY = penY_;
  int rc = LayoutPass(text, true, false, nullptr, false, nullptr);
  ClearIndent();
  // Horizontal text shown at once takes the reveal's last step too, so that a revealed page
  // ends as the same picture. Vertical glyphs stand partly outside their columns' boxes: drawn
  // straight, they stay whole.
  const bool reveal = revealPerChar_ != 0;
  const bool hidden = reveal || !vertical_;
  if (rc == 0) rc = FitWindow(true, hidden);
  if (rc != 0) {
    layoutMode_ = kLayoutNone;
    return kShowFailed;
  }
  layoutMode_ = hidden ? kLayoutHidden : kLayoutPage;
  lineIndex_ = 0;
  penX_ = lines_.empty() ? startX : lines_.front().penX;
  penY_ = lines_.empty() ? startY : lines_.front().penY;
  int32_t count = 0;
  // A call that fails stops the layout there: the page shows the text up to it.
  (void)LayoutPass(text, true, false, hidden ? &hidden_ : nullptr, true, &count);
  ClearIndent();
  layoutMode_ = kLayoutNone;
  if (reveal) {
    revealTotal_ = revealPerChar_ * uint32_t(count);
    revealState_ = kRevealStart;
    return kWidgetDone;
  }
  if (hidden) PutHiddenOnPage();
  if (waitEnabled_) ShowWaitMark(true);
  return kWidgetDone;
}

void TextView::PutHiddenOnPage() {
  BuildRevealLines();
  KeepRevealBase();
  rampTo_ = 0;
  int32_t along = 0;
  for (const LineRecord& line : lines_) along += vertical_ ? line.box.Height() : line.box.Width();
  RevealSolid(0, along);
}

int TextView::MeasureText(std::string_view text, Rect* out, bool runCalls, bool skipWideSpaces) {
  if (!text.data()) return kMeasureNoText;
  const int32_t penX = penX_, penY = penY_, indent = indent_;
  BeginLayout();
  int32_t count = 0;
  const int rc = LayoutPass(text, runCalls, skipWideSpaces, nullptr, false, &count);
  CloseLine();
  layoutMode_ = kLayoutNone;
  penX_ = penX, penY_ = penY, indent_ = indent;
  if (rc != 0) return kMeasureCallFailed;
  if (out) *out = LinesUnion();
  return count == 0 ? 0 : int(lines_.size());
}

int TextView::DrawTextAt(std::string_view text, int32_t x, int32_t y, bool runCalls,
                         bool skipWideSpaces) {
  if (!text.data()) return kDrawAtNoText;
  penX_ = marginLeft_ + x;
  penY_ = marginTop_ + y;
  const int32_t startX = penX_, startY = penY_;
  BeginLayout();
  if (runCalls) {
    const int rc = LayoutPass(text, true, skipWideSpaces, nullptr, false, nullptr);
    ClearIndent();
    if (rc != 0) {
      layoutMode_ = kLayoutNone;
      return kDrawAtCallFailed;
    }
    (void)FitWindow(false, false);  // without resizing it only moves the window
  }
  layoutMode_ = kLayoutPage;
  lineIndex_ = 0;
  penX_ = startX;
  penY_ = startY;
  // The calls, if any, ran once above without fault: this pass draws.
  (void)LayoutPass(text, runCalls, skipWideSpaces, nullptr, runCalls, nullptr);
  ClearIndent();
  layoutMode_ = kLayoutNone;
  return kWidgetDone;
}

// Ruby spans.

int TextView::BeginRuby() {
  if (layoutMode_ == kLayoutNone) return kRubyOutsideLayout;
  rubySpanOpen_ = true;
  rubySpanStart_ = Along();
  return kWidgetDone;
}

int TextView::DrawRuby(const char* text, ImageSurface* target) {
  if (layoutMode_ == kLayoutNone) return kRubyOutsideLayout;
  if (!rubyRenderer_ || !text || !*text) return kRubyNoRenderer;
  Size size;
  int32_t ox = 0, oy = 0, m = 0;
  rubyRenderer_->MeasureText(text, &size, &ox, &oy, true, &m);
  // Asked before anything divides by the count.
  if (m <= 0) return kRubyNoCharacters;
  const int32_t w = vertical_ ? size.height : size.width;
  int32_t start = GetPreviousPen();
  int32_t span = Along() - GetPreviousPen();
  if (rubySpanOpen_) {
    start = rubySpanStart_;
    span = Along() - rubySpanStart_;
    if (span <= 0) {
      rubySpanOpen_ = false;
      return vertical_ ? kRubyEmptyColumn : kRubyEmptySpan;
    }
  }
  rubySpanOpen_ = false;
  const int32_t gap = (span - w) / (m + 1);
  const int32_t step = gap + w / m;
  const int32_t first = start + gap + ((span - w - gap * (m + 1)) >> 1);
  if (layoutMode_ == kLayoutMeasuring) {
    // The line grows to hold a ruby wider than its span.
    if (!lines_.empty()) {
      LineRecord& line = lines_.back();
      const int32_t origin = vertical_ ? line.penY : line.penX;
      line.length = std::max(line.length, first + step * m - origin);
    }
    return kWidgetDone;
  }
  ImageSurface* onto = target ? target : DrawTarget();
  const int32_t rubySize = RubyFontSize();
  int32_t along = first;
  const std::string_view all(text);
  for (size_t pos = 0; pos < all.size();) {
    const TypedGlyph g = GlyphAt(all, pos);
    pos += std::max<size_t>(g.consumed, 1);
    int32_t x, y;
    if (vertical_) {
      x = penX_ - ((lineHeight_ - FontSize()) / 2) + rubyGap_ + rubySize;
      y = along;
    } else {
      x = along;
      y = penY_ + lineHeight_ - FontSize() - rubyGap_ - rubySize;
    }
    Rect drawn;
    if (rubyRenderer_->DrawString(onto, x, y, g.text, &drawn, nullptr) == kTextDone) {
      MarkDrawn(onto, drawn);
    }
    along += step;
  }
  return kWidgetDone;
}

// Settings.

bool TextView::IsIndentChar(const char* c) const {
  if (indentChars_.empty() || !c || !*c) return false;
  const bool wide = sjis::IsLeadByte(c[0]) && c[1] != '\0';
  const std::string_view list(indentChars_);
  for (size_t pos = 0; pos < list.size(); pos = sjis::Next(list, pos)) {
    const size_t n = sjis::CharLength(list, pos);
    if (wide && n == 2 && list[pos] == c[0] && list[pos + 1] == c[1]) return true;
    if (!wide && n == 1 && list[pos] == c[0]) return true;
  }
  return false;
}

int TextView::SetMessage(const char* text, size_t length) {
  if (!text || length == 0) return kWidgetRefused;
  revealState_ = kRevealIdle;
  name_.clear();
  secondName_.clear();
  message_.assign(text, length);
  return kWidgetDone;
}

void TextView::SetName(const char* name, const char* second) {
  // Cut on a character boundary, so no half character ends a name.
  name_ = CutName(name, kNameBytes);
  secondName_ = CutName(second, kSecondNameBytes);
}

void TextView::SetIndentChars(const char* text) {
  indentChars_ = text ? text : "";
}

void TextView::SetPlacement(int alignment, int32_t anchorX, int32_t anchorY, int32_t minX,
                            int32_t minY, int32_t maxX, int32_t maxY) {
  alignment_ = alignment;
  anchorX_ = anchorX;
  anchorY_ = anchorY;
  minX_ = minX < 0 ? -1 : minX;
  if (minX >= 0) minY_ = minY, maxX_ = maxX, maxY_ = maxY;
}

int TextView::SetSoftEdge(int32_t width) {
  if (!list_) return kSoftEdgeNotListed;
  if (width < 0) {
    softEdge_ = -1;
    mask_.Release();
    return kWidgetDone;
  }
  if (width < FontSize()) return kSoftEdgeTooNarrow;
  const int32_t size = std::max(1, FontSize());
  if (mask_.Create(size, size, 8, kImagePlain) != 0) return kSoftEdgeMaskFailed;
  softEdge_ = width;
  return kWidgetDone;
}

// The wait mark.

int TextView::SetWaitMark(CellImage* animation, TimerService* timers, bool enabled) {
  if (!animation || !timers) return kWidgetRefused;
  if (SetUpWaitMark(animation, timers) != kFrameAnimSetUp) return kWaitMarkRefused;
  waitEnabled_ = enabled;
  return kWidgetDone;
}

// The reveal.

bool TextView::StopReveal() {
  if (revealState_ != kRevealStart && revealState_ != kRevealRunning) return false;
  if (revealState_ == kRevealStart) StartReveal(revealStart_);
  revealState_ = kRevealStop;
  (void)OnTick(revealStart_);  // a tick answers nothing its caller acts on
  return true;
}

void TextView::RevealSolid(int32_t from, int32_t to) {
  // Only the stretch the last tick blended partly differs from the page as it was, besides the
  // lines that overlap an earlier one.
  const int32_t touched = std::min(to, rampTo_);
  RevealRange(from, touched, -1, true);
  const int32_t start = std::max(from, touched);
  int32_t origin = 0, runStart = 0;
  bool runRestore = false;
  const auto flush = [&](int32_t end) {
    const int32_t lo = std::max(start, runStart), hi = std::min(to, end);
    if (lo < hi) RevealRange(lo, hi, -1, runRestore);
  };
  for (const RevealLine& line : revealLines_) {
    if (line.restore != runRestore) {
      flush(origin);
      runStart = origin;
      runRestore = line.restore;
    }
    origin += vertical_ ? line.box.Height() : line.box.Width();
  }
  flush(std::max(origin, to));
}

void TextView::BuildRevealLines() {
  revealLines_.clear();
  for (const LineRecord& line : lines_) {
    revealLines_.push_back({line});
    RevealLine& later = revealLines_.back();
    for (size_t j = 0; j + 1 < revealLines_.size(); ++j) {
      const Rect& earlier = revealLines_[j].box;
      const Rect o{std::max(later.box.left, earlier.left), std::max(later.box.top, earlier.top),
                   std::min(later.box.right, earlier.right),
                   std::min(later.box.bottom, earlier.bottom)};
      if (!o.IsEmpty() && !CutAcross(later.box, o, vertical_)) later.restore = true;
    }
  }
}

void TextView::RevealRange(int32_t from, int32_t to, int32_t front, bool restore) {
  const int32_t edge = SoftEdge();
  int32_t origin = 0;
  for (const LineRecord& line : revealLines_) {
    const int32_t length = vertical_ ? line.box.Height() : line.box.Width();
    const int32_t lo = std::max(from, origin) - origin;
    const int32_t hi = std::min(to, origin + length) - origin;
    origin += length;
    if (lo >= hi) continue;
    Rect r = line.box;
    if (vertical_) {
      r.top = line.box.top + lo;
      r.bottom = line.box.top + hi;
    } else {
      r.left = line.box.left + lo;
      r.right = line.box.left + hi;
    }
    // A surface without pixels, or an area that misses it, is left as it is.
    if (restore) (void)page_.Blit(&revealBase_, r.left, r.top, &r, false);
    if (front < 0 || edge == 0) {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)page_.AlphaBlitOntoAlpha(&hidden_, 255, r.left, r.top, &r);
    } else {
      // One slice per step across the edge, each at the mask's opacity for its distance from
      // the front.
      for (int32_t q = lo; q < hi; ++q) {
        const int32_t distance = front - (origin - length + q);
        const int32_t index = std::clamp(edge - distance, 0, edge - 1);
        const uint8_t* cell = vertical_ ? mask_.GetRowPointer(index) : mask_.GetRowPointer(0);
        const bool inside = vertical_ || index < mask_.GetWidth();
        const int opacity = cell && inside ? cell[vertical_ ? 0 : index] : 255;
        Rect slice = r;
        if (vertical_) {
          slice.top = line.box.top + q;
          slice.bottom = slice.top + 1;
        } else {
          slice.left = line.box.left + q;
          slice.right = slice.left + 1;
        }
        if (opacity > 0) {
          // A surface without pixels, or an area that misses it, is left as it is.
          (void)page_.AlphaBlitOntoAlpha(&hidden_, opacity, slice.left, slice.top, &slice);
        }
      }
    }
    MarkPage(r);
  }
}

void TextView::FinishReveal() {
  RevealSolid(revealedUpTo_, revealLength_);
  revealState_ = kRevealIdle;
  if (waitEnabled_ && (!frame_ || frame_->MessageState() < kMessageStateWaiting)) {
    ShowWaitMark(true);
  }
}

void TextView::StartReveal(uint32_t now) {
  int32_t sum = 0, thickness = 1;
  for (const LineRecord& line : lines_) {
    sum += vertical_ ? line.box.Height() : line.box.Width();
    thickness = std::max(thickness, vertical_ ? line.box.Width() : line.box.Height());
  }
  const int32_t edge = SoftEdge();
  revealLength_ = sum + edge;
  if (edge > 0) {
    // A linear ramp from opaque to clear across the edge, along the text.
    const int32_t w = vertical_ ? thickness : edge;
    const int32_t h = vertical_ ? edge : thickness;
    if (mask_.Create(w, h, 8, kImagePlain) == 0) {
      for (int32_t i = 0; i < edge; ++i) {
        const Rect r = vertical_ ? Rect{0, i, w, i + 1} : Rect{i, 0, i + 1, h};
        // A surface without pixels, or an area that misses it, is left as it is.
        (void)mask_.Fill(uint32_t(255 - 255 * i / edge), &r);
      }
    }
  }
  BuildRevealLines();
  KeepRevealBase();
  revealedUpTo_ = 0;
  rampTo_ = 0;
  revealStart_ = now;
  revealState_ = kRevealRunning;
}

void TextView::KeepRevealBase() {
  // The copy keeps its store from one reveal to the next: handing a page-sized block back to
  // the heap and taking it again cost more than the last tick's blend.
  if (revealBase_.GetPixels() && revealBase_.GetWidth() == page_.GetWidth() &&
      revealBase_.GetHeight() == page_.GetHeight() && revealBase_.GetPitch() == page_.GetPitch() &&
      revealBase_.GetBitsPerPixel() == page_.GetBitsPerPixel() &&
      revealBase_.GetColorKey() == page_.GetColorKey()) {
    std::memcpy(revealBase_.GetPixels(), page_.GetPixels(),
                size_t(page_.GetPitch()) * size_t(page_.GetHeight()));
  } else {
    // A page without pixels reveals nothing.
    (void)revealBase_.CopyFrom(&page_, kCopyToHeap);
  }
}

int TextView::OnTick(uint32_t now) {
  if (revealState_ == kRevealIdle) return 0;
  if (revealState_ == kRevealStart) StartReveal(now);
  const uint32_t elapsed = now - revealStart_;
  if (revealState_ == kRevealStop || elapsed >= revealTotal_ || revealLength_ <= 0) {
    FinishReveal();
    return 0;
  }
  const auto front = int32_t(int64_t(elapsed) * revealLength_ / revealTotal_);
  const int32_t edge = SoftEdge();
  const int32_t solid = std::max(revealedUpTo_, front - edge);
  RevealSolid(revealedUpTo_, solid);
  revealedUpTo_ = solid;
  RevealRange(solid, front, front, true);
  rampTo_ = std::max(rampTo_, front);
  return 0;
}

}  // namespace bw
