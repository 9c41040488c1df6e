#include "graphics/text/text_renderer.h"

#include <algorithm>

#include "common/global.h"
#include "common/gone_notice.h"
#include "graphics/text/text_angles.h"
#include "platform/trig_tables.h"

namespace bw {

TextRenderer::TextRenderer(const host::GlyphSource& source) : source_(source) {
  logFont_.lfHeight = -16;
  logFont_.lfWeight = host::FW_NORMAL;
  logFont_.lfCharSet = host::SHIFTJIS_CHARSET;
  logFont_.lfQuality = host::NONANTIALIASED_QUALITY;
}

TextRenderer::~TextRenderer() {
  NotifyGone(this);
}

void TextRenderer::SetAntialiasLevel(int level) {
  level = std::clamp(level, 0, 2);
  if (level == antialiasLevel_) return;
  ForgetGlyphs();
  antialiasLevel_ = uint8_t(level);
}

int TextRenderer::DrawText(Surface* surface, int32_t x, int32_t y, const char* text, Rect* rect,
                           Point* endPoint) {
  return Draw(DrawMode::kText, surface, x, y, text, rect, endPoint);
}

int TextRenderer::DrawTextLayer(Surface* surface, int32_t x, int32_t y, const char* text,
                                Rect* rect, Point* endPoint) {
  return Draw(DrawMode::kLayer, surface, x, y, text, rect, endPoint);
}

int TextRenderer::DrawString(Surface* surface, int32_t x, int32_t y, const char* text, Rect* rect,
                             Point* endPoint) {
  return Draw(DrawMode::kString, surface, x, y, text, rect, endPoint);
}

int TextRenderer::DrawTextToDc(host::MemoryDc*, int32_t, int32_t, const char*, Rect*) {
  return kTextNotReady;
}

void TextRenderer::SetLogFont(const host::LOGFONTA& logFont) {
  logFont_ = logFont;
}

int32_t MulFixed(int64_t v, int32_t t) {
  const int64_t product = (v * t) >> 16;
  return int32_t(std::clamp<int64_t>(product, INT32_MIN, INT32_MAX));
}

bool TurnOf(int32_t tenths, int32_t* cosine, int32_t* sine) {
  const TrigTables* trig = Global<TrigTables>::Get();
  const int step = int(int64_t(tenths) * 512 / 3600);
  if (!trig || step == 0) return false;
  *cosine = trig->Cosine(step);
  *sine = trig->Cosine(step - 128);
  return true;
}

bool TextRenderer::Turn(int32_t* cosine, int32_t* sine) const {
  return TurnOf(logFont_.lfOrientation, cosine, sine);
}

void TextRenderer::GetRotatedRect(Rect* out, int32_t x, int32_t y, int32_t width,
                                  int32_t height) const {
  if (!out) return;
  int32_t c = 0, s = 0;
  if (!Turn(&c, &s)) {
    *out = {x, y, int32_t(int64_t(x) + width), int32_t(int64_t(y) + height)};
    return;
  }
  const int64_t px = MulFixed(x, c) + int64_t(MulFixed(y, s));
  const int64_t py = MulFixed(y, c) - int64_t(MulFixed(x, s));
  const int64_t ux = MulFixed(width, c), uy = -int64_t(MulFixed(width, s));
  const int64_t vx = MulFixed(height, s), vy = MulFixed(height, c);
  const int64_t xs[4] = {px, px + ux, px + vx, px + ux + vx};
  const int64_t ys[4] = {py, py + uy, py + vy, py + uy + vy};
  auto cut = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  out->left = cut(*std::min_element(xs, xs + 4));
  out->right = cut(*std::max_element(xs, xs + 4));
  out->top = cut(*std::min_element(ys, ys + 4));
  out->bottom = cut(*std::max_element(ys, ys + 4));
}

}  // namespace bw
