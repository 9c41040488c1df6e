// The renderers the application makes through the display manager: both kinds draw through one
// glyph source, and outline renderers size their glyph cache from the setting as it stands
// when each is made.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "graphics/text/text_renderer.h"
#include "host/font/glyph_source.h"

namespace bw {

class GlyphTextRendererFactory final : public TextRendererFactory {
 public:
  using CacheCapacity = std::function<uint32_t()>;

  // source must outlive every renderer made.
  GlyphTextRendererFactory(const host::GlyphSource& source, CacheCapacity capacity)
      : source_(source), capacity_(std::move(capacity)) {}

  std::unique_ptr<TextRenderer> CreateGdiTextRenderer() override;
  std::unique_ptr<TextRenderer> CreateOutlineTextRenderer() override;

 private:
  const host::GlyphSource& source_;
  CacheCapacity capacity_;
};

}  // namespace bw
