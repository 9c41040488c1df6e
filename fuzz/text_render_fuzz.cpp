// Both text renderers on the fixed-metric fake source, with any settings and any bytes as text
// (lone lead bytes, "@" codes, digits, line breaks, NULs): every measure and draw, onto 32- and
// 8-bit pictures and into a device context. Nothing may crash or touch memory it does not own.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/global.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/dib_surface.h"
#include "graphics/text/gdi_text_renderer.h"
#include "graphics/text/outline_text_renderer.h"
#include "host/font/fake_glyph_source.h"
#include "host/gdi/memory_dc.h"
#include "lib/text/text_render_input.h"
#include "platform/trig_tables.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

struct World {
  World() {
    bw::BuildBlendTables();
    bw::Global<bw::TrigTables>::Set(&trig);
  }
  bw::TrigTables trig;
};

void Configure(bw::TextRenderer& r, const bw::tools::TextRenderInput& in) {
  r.SetStyle(in.style % 3);
  r.SetAntialiasLevel(in.level % 4);
  r.SetShadowOffset(in.shadowX, in.shadowY);
  r.SetLineSpacing(in.lineSpacing);
  r.SetTextColor(250, 240, 10);
  r.SetDecorationColor(5, 6, 200);
  r.SetBackColor(!(in.flags & 8), 0, 255, 0);
  // A font that cannot be made keeps the one in force.
  (void)r.SetFont(in.height % 64, in.flags & 1, in.flags & 2, nullptr);
  (void)r.SetOrientation(in.angle);
}

void Exercise(bw::TextRenderer& r, const std::string& text) {
  bw::Size size;
  int32_t ox = 0, oy = 0, glyphs = 0;
  const int lines = r.MeasureText(text.c_str(), &size, &ox, &oy, true, &glyphs);
  // Negative line spacing may make the height negative: lines overlap as the script asked.
  Check(lines >= 0 && size.width >= 0 && ox <= 0 && oy <= 0);
  for (int bits : {32, 8}) {
    bw::DibSurface picture;
    Check(picture.Create(48, 40, bits, false) == bw::kSurfaceDone);
    bw::Rect rect;
    bw::Point end;
    // Text that cannot be drawn leaves the picture as it was.
    (void)r.DrawText(&picture, 20, 16, text.c_str(), &rect, &end);
    // Any input may be refused; the run goes on.
    (void)r.DrawTextLayer(&picture, -3, 30, text.c_str(), &rect, &end);
    (void)r.DrawString(&picture, 40, -5, text.c_str(), &rect, &end);
  }
  auto section = bw::host::DibSection::Create(40, 32, 32);
  bw::host::MemoryDc dc;
  dc.Select(section.get());
  // Any input may be refused; the run goes on.
  (void)r.DrawTextToDc(&dc, 5, 5, text.c_str(), nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World world;
  bw::tools::TextRenderInput in;
  if (!in.Decode(data, size) || in.text.size() > 256) return 0;
  const bw::host::FakeGlyphSource source(in.flags & 4);

  // Wide edges cost radius squared per pixel: only small glyphs take the raw radius.
  const bool rawRadius = in.flags & 128;
  if (rawRadius) in.height %= 8;
  bw::OutlineTextRenderer outline(source, in.flags & 32 ? 1 : 512);
  Configure(outline, in);
  outline.SetEdge(in.edgeStrength, rawRadius ? in.edgeRadius : in.edgeRadius % 9);
  // A font that cannot be made keeps the one in force.
  (void)outline.SetGradation(in.flags & 16, 0xFF0000, 0x0000FF, true);
  // A state the device refuses leaves the one it has.
  (void)outline.SetTexture(nullptr, 0, 0, 0, 0);
  // A picture whose bytes count up, cut by the fuzzed cells.
  std::vector<uint8_t> cells(64 * 32);
  for (size_t i = 0; i < cells.size(); ++i) cells[i] = uint8_t(i * 7);
  // Any input may be refused; the run goes on.
  (void)outline.GetTexture()->Cut(cells.data(), 64, 64, 32, in.cellCount, in.cellWidth,
                                  in.cellHeight, in.sets & 3);
  Check(outline.CountGlyphs(in.text.c_str()) >= 0);
  Exercise(outline, in.text);

  bw::GdiTextRenderer gdi(source);
  Configure(gdi, in);
  // Any input may be refused; the run goes on.
  (void)gdi.SetUnderlineStrikeOut(in.flags & 32, in.flags & 64);
  Exercise(gdi, in.text);
  return 0;
}
