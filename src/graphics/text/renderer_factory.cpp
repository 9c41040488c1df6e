#include "graphics/text/renderer_factory.h"

#include <new>

#include "graphics/text/gdi_text_renderer.h"
#include "graphics/text/outline_text_renderer.h"

namespace bw {

std::unique_ptr<TextRenderer> GlyphTextRendererFactory::CreateGdiTextRenderer() {
  return std::unique_ptr<TextRenderer>(new (std::nothrow) GdiTextRenderer(source_));
}

std::unique_ptr<TextRenderer> GlyphTextRendererFactory::CreateOutlineTextRenderer() {
  const uint32_t capacity = capacity_ ? capacity_() : 0;
  return std::unique_ptr<TextRenderer>(new (std::nothrow) OutlineTextRenderer(source_, capacity));
}

}  // namespace bw
