#include "lib/textshot/text_sheet.h"

#include <memory>

#include "common/global.h"
#include "graphics/device/direct3d_device.h"
#include "graphics/layers/text_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/rendered_text.h"
#include "graphics/text/gdi_text_renderer.h"
#include "graphics/text/outline_text_renderer.h"
#include "graphics/text/renderer_factory.h"
#include "graphics/text/text_texture.h"
#include "host/cp932.h"
#include "host/font/glyph_source.h"
#include "platform/trig_tables.h"
#include "resource/images/bmp_loader.h"
#include "scenario/message/script_message_text.h"
#include "script/guest_memory.h"

namespace bw::tools {
namespace {

using host::Cp932Literal;

constexpr int32_t kLeft = 16;
constexpr int32_t kTop = 12;
constexpr int32_t kRowGap = 10;
constexpr int32_t kColumnX = 584;  // the vertical column, right of the lines
constexpr int32_t kHeight = 24;
constexpr uint32_t kCacheCapacity = 512;
constexpr int32_t kCell = 24;  // picture glyph cells

const char* const kGothic = "ＭＳ ゴシック";
const char* const kVerticalGothic = "@ＭＳ ゴシック";
const char* const kMincho = "ＭＳ 明朝";
const char* const kLine = "吾輩は猫である。名前はまだ無い。";

class SheetWriter {
 public:
  SheetWriter(ImageSurface* image, std::vector<TextSample>* samples, std::string* error)
      : image_(image), samples_(samples), error_(error) {}

  // Draws the text with its measured box's top-left corner at (x, y).
  bool Place(const char* name, TextRenderer& renderer, const std::string& text, int32_t x,
             int32_t y, Rect* placed = nullptr) {
    TextBox box;
    if (!MeasureTextBox(renderer, text.c_str(), &box) ||
        renderer.DrawText(image_, x - box.x, y - box.y, text.c_str(), nullptr, nullptr) !=
            kTextDone) {
      return Fail(name);
    }
    const Rect r{x, y, x + box.width, y + box.height};
    samples_->push_back({name, r});
    if (placed) *placed = r;
    return true;
  }
  // The next line at the left margin.
  bool Line(const char* name, TextRenderer& renderer, const std::string& text) {
    Rect placed;
    if (!Place(name, renderer, text, kLeft, y_, &placed)) return false;
    y_ = placed.bottom + kRowGap;
    return true;
  }
  bool Fail(const char* name) {
    *error_ = name;
    return false;
  }
  int32_t NextY() const { return y_; }
  void Advance(int32_t height) { y_ += height + kRowGap; }
  ImageSurface* Image() { return image_; }
  std::vector<TextSample>* Samples() { return samples_; }

 private:
  ImageSurface* image_;
  std::vector<TextSample>* samples_;
  std::string* error_;
  int32_t y_ = kTop;
};

std::unique_ptr<OutlineTextRenderer> Outline(const char* face, bool bold = false,
                                             bool italic = false) {
  auto r = std::make_unique<OutlineTextRenderer>(host::FreeTypeGlyphSource(), kCacheCapacity);
  if (r->SetFont(kHeight, bold, italic, Cp932Literal(face).c_str()) != 0) return nullptr;
  return r;
}

std::unique_ptr<GdiTextRenderer> Gdi(int level) {
  auto r = std::make_unique<GdiTextRenderer>(host::FreeTypeGlyphSource());
  if (r->SetFont(kHeight, false, false, Cp932Literal(kMincho).c_str()) != 0) return nullptr;
  r->SetAntialiasLevel(level);
  return r;
}

// Three picture glyphs drawn into an 8-bit picture: a ring, a diamond and a bar.
bool CutPictureGlyphs(OutlineTextRenderer& renderer) {
  std::vector<uint8_t> cells(size_t(kCell) * 3 * kCell, 0);
  const int32_t pitch = kCell * 3, c = kCell / 2;
  for (int32_t y = 0; y < kCell; ++y)
    for (int32_t x = 0; x < kCell; ++x) {
      const int32_t dx = x - c, dy = y - c, d2 = dx * dx + dy * dy;
      if (d2 <= 10 * 10 && d2 >= 6 * 6) cells[size_t(y * pitch + x)] = 255;
      if (std::abs(dx) + std::abs(dy) <= 10) cells[size_t(y * pitch + kCell + x)] = 255;
      if (y >= 8 && y < 16 && x >= 2 && x < kCell - 2)
        cells[size_t(y * pitch + 2 * kCell + x)] = 255;
    }
  // A state the device refuses leaves the one it has.
  (void)renderer.SetTexture(nullptr, 3, kCell, kCell, kTextureFirstSet);
  TextTexture* texture = renderer.GetTexture();
  return texture &&
         texture->Cut(cells.data(), pitch, pitch, kCell, 3, kCell, kCell, kTextureFirstSet) == 0;
}

// A text layer drawn by a smoothing GDI renderer, its texture laid over the sheet by alpha.
bool TextLayerSample(SheetWriter& sheet) {
  Direct3DDevice device;
  ScopedGlobal<DirectDrawDevice> display(&device);
  ScopedGlobal<Direct3DDevice> display3d(&device);
  if (device.DirectDrawDevice::Create(false, true, nullptr, nullptr, 0, true, 0, 0) != 0)
    return sheet.Fail("text layer");
  std::unique_ptr<host::MemorySurface> target =
      host::MemorySurface::Create(16, 16, host::DirectDraw::DisplayFormat(32));
  if (!target || device.Create(target.get(), nullptr, false) != 0) return sheet.Fail("text layer");
  std::unique_ptr<GdiTextRenderer> renderer = Gdi(2);
  if (!renderer) return sheet.Fail("text layer");
  renderer->SetSmoothing(1);
  renderer->SetStyle(kTextEdge);
  renderer->SetTextColor(255, 255, 255);
  renderer->SetDecorationColor(200, 40, 40);
  bool ok;
  {
    TextLayer layer;
    ok = layer.SetText(kFormat8888, Cp932Literal("テキストレイヤー").c_str(), renderer.get()) == 0;
    ImageSurface copy;
    const int32_t w = layer.GetContentWidth(), h = layer.GetContentHeight();
    ok = ok && copy.Create(w, h, 32, kImageDibSection) == 0 &&
         copy.BlitFromObject(&layer, 0, 0, nullptr) == 0;
    const int32_t y = sheet.NextY();
    ok = ok && sheet.Image()->AlphaBlit(&copy, kLeft, y, nullptr, false) == 0;
    if (ok) {
      sheet.Samples()->push_back({"text layer", {kLeft, y, kLeft + w, y + h}});
      sheet.Advance(h);
    }
    // A state the device refuses leaves the one it has.
    (void)device.SetTexture(nullptr);
  }
  device.Release();
  FreeDirectDrawDeviceList();
  return ok || sheet.Fail("text layer");
}

// A compiled message as the main script hands it over, drawn by its message text object: the
// speaker's name part, a string put in from script memory, a tag that draws nothing, a line
// break and a picture glyph.
bool MessageSample(SheetWriter& sheet, OutlineTextRenderer& renderer) {
  GuestMemory memory(1 << 20);
  const std::string town = Cp932Literal("港町");
  const uint32_t address =
      memory.AllocateCopy({reinterpret_cast<const uint8_t*>(town.data()), town.size()}, true);
  std::string compiled = std::string(3, '\0') + "#" + Cp932Literal("語り手\\かたりて") + "$" +
                         Cp932Literal("ようこそ、") + "%" + std::string(1, '\0');
  for (int i = 0; i < 4; ++i) compiled += static_cast<char>(address >> (8 * i));
  compiled += Cp932Literal("へ。\\<\"face01\">ここが@1の目印です。");
  compiled += '\0';
  ScriptMessageText text(nullptr, &memory);
  const int32_t y = sheet.NextY(), lineHeight = kHeight + 4;
  renderer.SetLineSpacing(4);
  if (text.SetMessage({reinterpret_cast<const uint8_t*>(compiled.data()), compiled.size()}) != 0 ||
      text.DrawTextPart(kLeft, y, 1, sheet.Image(), &renderer, 0) != 0 ||
      text.SetOutput(sheet.Image(), nullptr, kLeft + 5 * kHeight, y, &renderer, false, false, 0) !=
          0 ||
      text.SeekTag(-1, true) != 2) {
    return sheet.Fail("message text");
  }
  sheet.Samples()->push_back({"message text", {kLeft, y, kColumnX - 8, y + 2 * lineHeight}});
  sheet.Advance(2 * lineHeight);
  return true;
}

}  // namespace

bool DrawTextSheet(ImageSurface* sheet, std::vector<TextSample>* samples, std::string* error) {
  samples->clear();
  BuildBlendTables();
  if (sheet->Create(kSheetWidth, kSheetHeight, 32, kImageDibSection) != 0) {
    *error = "sheet";
    return false;
  }
  // A surface without pixels, or an area that misses it, is left as it is.
  (void)sheet->Fill(kSheetBackground, nullptr);
  TrigTables trig;
  ScopedGlobal<TrigTables> trigScope(&trig);
  GlyphTextRendererFactory factory(host::FreeTypeGlyphSource(), [] { return kCacheCapacity; });
  ScopedGlobal<TextRendererFactory> factoryScope(&factory);
  SheetWriter writer(sheet, samples, error);
  const std::string line = Cp932Literal(kLine);

  std::unique_ptr<OutlineTextRenderer> plain = Outline(kGothic);
  if (!plain || !writer.Line("plain", *plain, line)) return writer.Fail("plain");

  std::unique_ptr<OutlineTextRenderer> shadow = Outline(kGothic);
  if (!shadow) return writer.Fail("shadow");
  shadow->SetStyle(kTextShadow);
  shadow->SetShadowOffset(3, 3);
  if (!writer.Line("shadow", *shadow, line)) return false;

  std::unique_ptr<OutlineTextRenderer> edge = Outline(kGothic);
  if (!edge) return writer.Fail("edge");
  edge->SetStyle(kTextEdge);
  edge->SetDecorationColor(20, 60, 200);
  if (!writer.Line("edge", *edge, line)) return false;

  std::unique_ptr<OutlineTextRenderer> graded = Outline(kMincho);
  if (!graded || graded->SetGradation(true, 0xFFF0A0, 0xE04020, true) != 0)
    return writer.Fail("gradation");
  if (!writer.Line("gradation", *graded, line)) return false;

  std::unique_ptr<OutlineTextRenderer> bold = Outline(kGothic, true);
  if (!bold || !writer.Line("bold", *bold, line)) return writer.Fail("bold");

  std::unique_ptr<OutlineTextRenderer> italic = Outline(kMincho, false, true);
  if (!italic || !writer.Line("italic", *italic, line)) return writer.Fail("italic");

  std::unique_ptr<OutlineTextRenderer> pictures = Outline(kGothic);
  if (!pictures || !CutPictureGlyphs(*pictures)) return writer.Fail("picture glyphs");
  pictures->SetTextColor(255, 220, 120);
  if (!writer.Line("picture glyphs", *pictures, Cp932Literal("絵文字@0@1@2と@@"))) return false;

  for (int level : {0, 2}) {
    std::unique_ptr<GdiTextRenderer> gdi = Gdi(level);
    const char* name = level == 0 ? "gdi level 0" : "gdi level 2";
    if (!gdi || gdi->SetUnderlineStrikeOut(true, false) != 0) return writer.Fail(name);
    gdi->SetBackColor(false, 40, 40, 120);
    if (!writer.Line(name, *gdi, Cp932Literal("ＧＤＩの文字、下線と背景つき。"))) return false;
  }

  if (!TextLayerSample(writer)) return false;
  if (!MessageSample(writer, *pictures)) return false;

  std::unique_ptr<OutlineTextRenderer> vertical = Outline(kVerticalGothic);
  if (!vertical || vertical->SetOrientation(2700) != 0) return writer.Fail("vertical");
  return writer.Place("vertical", *vertical, Cp932Literal("縦書き「ー」、１２３。"), kColumnX,
                      kTop);
}

std::vector<uint8_t> SheetBmp(const ImageSurface& sheet) {
  std::vector<uint8_t> out;
  const std::span<const uint8_t> pixels(sheet.GetPixels(),
                                        size_t(sheet.GetPitch()) * size_t(sheet.GetHeight()));
  const int written = BmpLoader::Save(
      kBmpSaveColour, pixels, sheet.GetWidth(), sheet.GetHeight(), 32, size_t(sheet.GetPitch()),
      [&](const void* p, size_t n) {
        out.insert(out.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
        return true;
      },
      nullptr);
  if (written != kBmpDone) out.clear();  // no half file
  return out;
}

}  // namespace bw::tools
