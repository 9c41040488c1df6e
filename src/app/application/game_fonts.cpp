#include "app/application/game_fonts.h"

#include "common/global.h"
#include "graphics/surface/rendered_text.h"
#include "host/font/glyph_source.h"

namespace bw {

GameFonts::GameFonts(std::function<uint32_t()> glyphCacheSize)
    : factory_(host::FreeTypeGlyphSource(), std::move(glyphCacheSize)) {}

GameFonts::~GameFonts() {
  if (default_ && TheDefaultTextRenderer::Get() == default_.get()) TheDefaultTextRenderer::Clear();
  if (Global<TextRendererFactory>::Get() == &factory_) Global<TextRendererFactory>::Clear();
}

bool GameFonts::Start() {
  // The count is the list's own to tell.
  (void)list_.Enumerate(FontList::kJapaneseFilter, host::SHIFTJIS_CHARSET);
  Global<TextRendererFactory>::Set(&factory_);
  default_ = factory_.CreateGdiTextRenderer();
  if (!default_) return false;
  // Published all the same: a renderer without its font draws nothing, as the engine's does.
  const bool withFont = default_->CreateFont() == 0;
  TheDefaultTextRenderer::Set(default_.get());
  return withFont;
}

}  // namespace bw
