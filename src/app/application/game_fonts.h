// The faces and text renderers the game draws with: the installed Japanese outline faces listed
// at start-up, the factory the display manager makes renderers through, and the renderer a null
// renderer stands for. The factory and the default renderer are published until this goes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "graphics/text/renderer_factory.h"
#include "scenario/font_list.h"

namespace bw {

class GameFonts {
 public:
  // glyphCacheSize: the outline renderers' cache size, read as each is made.
  explicit GameFonts(std::function<uint32_t()> glyphCacheSize);
  ~GameFonts();
  GameFonts(const GameFonts&) = delete;
  GameFonts& operator=(const GameFonts&) = delete;

  // Start-up's devices: the faces listed, the factory published and the default renderer made
  // (a GDI renderer as constructed). False when that renderer has no font: the default face did
  // not load.
  [[nodiscard]] bool Start();
  FontList& List() { return list_; }
  // Null before start-up.
  TextRenderer* DefaultRenderer() const { return default_.get(); }

 private:
  FontList list_;
  GlyphTextRendererFactory factory_;
  std::unique_ptr<TextRenderer> default_;
};

}  // namespace bw
