#include "gui/ime_indicator.h"

#include <cstdlib>

#include "graphics/surface/display_object.h"
#include "graphics/text/outline_text_renderer.h"
#include "graphics/text/text_renderer.h"
#include "input/ime_context.h"

namespace bw {

namespace {

constexpr uint32_t kKeepColor = 0xFFFFFFFF;
constexpr int kSpriteBlend = 2;
// The edge the indicator draws with, and the margin it leaves for it on every side.
constexpr int32_t kEdgeRadius = 2;
constexpr int32_t kEdgeMargin = 2;

// CP932 labels.
constexpr char kAlphanumeric[] = "\x89\x70\x90\x94";  // 英数
constexpr char kRoman[] = "\x82\x71";                 // Ｒ
constexpr char kFull[] = "\x91\x53";                  // 全
constexpr char kHalf[] = "\x94\xBC";                  // 半
constexpr char kKatakana[] = "\x83\x4A";              // カ
constexpr char kHiragana[] = "\x82\xD0";              // ひ
constexpr char kLatin[] = "\x89\x70";                 // 英
constexpr char kPrediction[] = "\x98\x41";            // 連
constexpr char kPlural[] = "\x95\xA1";                // 複
constexpr char kSingle[] = "\x92\x50";                // 単
constexpr char kAutomatic[] = "\x8E\xA9";             // 自

void SetColor(TextRenderer* font, uint32_t rgb, bool edge) {
  const auto r = static_cast<uint8_t>(rgb >> 16);
  const auto g = static_cast<uint8_t>(rgb >> 8);
  const auto b = static_cast<uint8_t>(rgb);
  if (edge) {
    font->SetDecorationColor(r, g, b);
  } else {
    font->SetTextColor(r, g, b);
  }
}

}  // namespace

std::string ImeModeLabel(bool open, uint32_t conversion, uint32_t sentence) {
  if (!open || (conversion & kImeNoConversion)) return kAlphanumeric;
  std::string label;
  if (conversion & kImeRoman) label += kRoman;
  label += (conversion & kImeFullShape) ? kFull : kHalf;
  label += (conversion & kImeKatakana) ? kKatakana : (conversion & kImeNative) ? kHiragana : kLatin;
  if (sentence & kSentencePrediction) {
    label += kPrediction;
  } else if (sentence & kSentencePluralClause) {
    label += kPlural;
  } else if (sentence & kSentenceSingle) {
    label += kSingle;
  } else if (sentence & kSentenceAutomatic) {
    label += kAutomatic;
  }
  return label;
}

int ImeIndicatorBase::SetColors(uint32_t textColor, uint32_t edgeColor) {
  if (textColor != kKeepColor) textColor_ = textColor;
  if (edgeColor != kKeepColor) edgeColor_ = edgeColor;
  dirty_ = true;
  return kIndicatorDone;
}

int ImeIndicatorBase::SetRightAligned(bool rightAligned) {
  rightAligned_ = rightAligned;
  dirty_ = true;
  return kIndicatorDone;
}

ImeIndicator::~ImeIndicator() {
  Release();
}

void ImeIndicator::Release() {
  if (list_) list_->Remove(&sprite_);
  list_ = nullptr;
  sprite_.Reset();
  surface_.Release();
  inputHost_ = nullptr;
  font_ = nullptr;
  lastConversion_ = 0;
  lastSentence_ = 0;
  lastOpen_ = false;
}

int ImeIndicator::Create(DisplayObjectList* list, ImeContext* inputHost, TextRenderer* font,
                         int32_t x, int32_t y, bool rightAligned, int32_t group) {
  if (!list || !inputHost || !font) return kIndicatorBadArguments;
  // The same list: the sprite keeps its place in it.
  if (list == list_) list_ = nullptr;
  Release();
  const int32_t h = std::abs(font->GetLogFont().lfHeight);
  const int32_t m = kEdgeMargin;
  if (surface_.Create(2 * m + 4 * (h + 2 * m), h + 2 * m, 32, kImagePlain) != 0) {
    return kIndicatorNoSurface;
  }
  Rect whole{0, 0, surface_.GetWidth(), surface_.GetHeight()};
  // A sprite that cannot take the picture keeps the one it had.
  (void)sprite_.SetImage(&surface_, &whole, 0, 0);
  // A mode out of range keeps the one in force.
  (void)sprite_.SetDrawMode(kSpriteBlend);
  // An object already listed stays where it is.
  if (!sprite_.GetOwnerList()) (void)list->Add(&sprite_, 0, static_cast<uint32_t>(group));
  list_ = list;
  sprite_.SetVisible(false);
  inputHost_ = inputHost;
  font_ = font;
  anchorX_ = x;
  anchorY_ = y;
  rightAligned_ = rightAligned;
  dirty_ = true;
  Refresh();
  (void)Move(x, y);  // moving the indicator cannot fail
  return kIndicatorDone;
}

int ImeIndicator::Move(int32_t x, int32_t y) {
  anchorX_ = x;
  anchorY_ = y;
  sprite_.SetPos(rightAligned_ ? x - PictureWidth() : x, y);
  return kIndicatorDone;
}

void ImeIndicator::Refresh() {
  if (!inputHost_ || !font_ || !surface_.GetPixels()) return;
  uint32_t conversion = 0;
  uint32_t sentence = 0;
  // Without a context both words stay 0, as for a closed input method.
  (void)inputHost_->GetConversionStatus(&conversion, &sentence);
  const bool open = inputHost_->IsOpen();
  if (!dirty_ && conversion == lastConversion_ && sentence == lastSentence_ && open == lastOpen_) {
    return;
  }
  lastConversion_ = conversion;
  lastSentence_ = sentence;
  lastOpen_ = open;
  ++drawCount_;

  const int savedStyle = font_->GetStyle();
  const TextColor savedText = font_->GetTextColor();
  const TextColor savedEdge = font_->GetDecorationColor();
  auto* outline = dynamic_cast<OutlineTextRenderer*>(font_);
  const int32_t savedStrength = outline ? outline->GetEdgeStrength() : 0;
  const int32_t savedRadius = outline ? outline->GetEdgeRadius() : 0;
  font_->SetStyle(kTextEdge);
  if (outline) outline->SetEdge(savedStrength, kEdgeRadius);
  SetColor(font_, textColor_, false);
  SetColor(font_, edgeColor_, true);

  // A surface without pixels, or an area that misses it, is left as it is.
  (void)surface_.Fill(0, nullptr);
  const std::string label = ImeModeLabel(open, conversion, sentence);
  int32_t x = kEdgeMargin;
  // One glyph string at a time, each from where the last one ended.
  for (size_t at = 0; at + 1 < label.size(); at += 2) {
    const std::string glyph = label.substr(at, 2);
    Size size;
    int32_t ox = 0;
    int32_t oy = 0;
    // Text that cannot be drawn leaves the picture as it was.
    (void)font_->DrawText(&surface_, x, kEdgeMargin, glyph.c_str(), nullptr, nullptr);
    if (font_->MeasureText(glyph.c_str(), &size, &ox, &oy, false, nullptr) != 0) x += size.width;
  }
  const int32_t width = std::min(x + kEdgeMargin, surface_.GetWidth());
  Rect shown{0, 0, width, surface_.GetHeight()};
  // A sprite that cannot take it is shown as it was.
  (void)sprite_.SetSourceRect(&shown);
  if (rightAligned_) sprite_.SetPos(anchorX_ - width, anchorY_);
  sprite_.Refresh(nullptr);
  sprite_.SetChanged(true);

  font_->SetStyle(savedStyle);
  if (outline) outline->SetEdge(savedStrength, savedRadius);
  font_->SetTextColor(savedText.r, savedText.g, savedText.b);
  font_->SetDecorationColor(savedEdge.r, savedEdge.g, savedEdge.b);
  dirty_ = false;
}

}  // namespace bw
