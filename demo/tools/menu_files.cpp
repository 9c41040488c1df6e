// menu_files: the system menu's pictures for the demo, with their labels drawn by the engine's
// own outline text renderer on the installed Gothic face.
//
//   menu_files DIR   DIR/SYS/SM_BASE.WGX (the panel under the buttons), DIR/SYS/SM_B00.WGX to
//                    SM_B11.WGX (one button each: normal, pointed at, pressed and disabled side
//                    by side, the label on every cell) and DIR/SYS/SM_BG.GMP (the twelve buttons
//                    on the panel, in the order the menu gives them their commands)
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/global.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/rendered_text.h"
#include "graphics/text/outline_text_renderer.h"
#include "host/cp932.h"
#include "host/font/glyph_source.h"
#include "lib/file_bytes.h"
#include "lib/gmp/gmp_writer.h"
#include "lib/tool_exit.h"
#include "lib/wgx/wgx_writer.h"
#include "platform/trig_tables.h"
#include "resource/images/gmp_file.h"
#include "scenario/tgs/tgs_system_menu.h"

namespace {

namespace fs = std::filesystem;
using bw::tools::kExitFailed;
using bw::tools::kExitOk;
using bw::tools::WgxPicture;

constexpr bw::tools::ToolUsage kUsage = {
    "menu_files: draws the demo's system menu: its panel, its twelve buttons and their screen.",
    "usage: menu_files DIR\n"};

constexpr uint32_t kButtonWidth = 117;
constexpr uint32_t kButtonHeight = 20;
constexpr int16_t kButtonLeft = 8;
constexpr int16_t kButtonTop = 8;
constexpr int16_t kButtonStep = 22;
constexpr int32_t kLabelHeight = 14;
constexpr int kCells = 4;

// The labels in the order of the menu's buttons: auto play, skip, back to the last choice, the
// text history, hide the window, save, load, quick save, quick load, settings, back to the
// title, quit.
constexpr const char* kLabels[bw::kTgsMenuButtons] = {
    "オート", "スキップ",       "前の選択肢へ",   "履歴", "ウィンドウを消す", "セーブ",
    "ロード", "クイックセーブ", "クイックロード", "設定", "タイトルへ",       "終了"};

// Per cell: the button's face, its edge and the label's colour.
struct CellLook {
  uint32_t face, edge, label;
};
constexpr CellLook kLooks[kCells] = {{0xFF283650, 0xFF5A6E96, 0xF0F0F8},
                                     {0xFF3C70C8, 0xFFB8D4FF, 0xFFFFFF},
                                     {0xFF1C2A48, 0xFF3C70C8, 0xC8D8F0},
                                     {0xFF30343C, 0xFF484C54, 0x9094A0}};

void FillRect(WgxPicture& p, uint32_t left, uint32_t top, uint32_t right, uint32_t bottom,
              uint32_t argb) {
  for (uint32_t y = top; y < bottom && y < p.height; ++y)
    for (uint32_t x = left; x < right && x < p.width; ++x) p.pixels[size_t(y) * p.width + x] = argb;
}

// A rectangle with a one-pixel edge of another colour.
void Framed(WgxPicture& p, uint32_t left, uint32_t top, uint32_t right, uint32_t bottom,
            uint32_t face, uint32_t edge) {
  FillRect(p, left, top, right, bottom, edge);
  FillRect(p, left + 1, top + 1, right - 1, bottom - 1, face);
}

WgxPicture Blank(uint32_t width, uint32_t height) {
  WgxPicture p;
  p.depth = 32;
  p.width = width;
  p.height = height;
  p.pixels.assign(size_t{width} * height, 0);
  return p;
}

// The panel: translucent dark blue with a light rim, the buttons' column a shade darker. The
// menu lays the panel over its buttons, so it is left clear where each button lies.
WgxPicture Base() {
  WgxPicture p = Blank(bw::kTgsMenuWidth, bw::kTgsMenuHeight);
  Framed(p, 0, 0, p.width, p.height, 0xE0182038, 0xF0A0B8E0);
  FillRect(p, kButtonLeft - 2, kButtonTop - 2, kButtonLeft + kButtonWidth + 2,
           kButtonTop + kButtonStep * (bw::kTgsMenuButtons - 1) + kButtonHeight + 2, 0xE0101830);
  for (int i = 0; i < bw::kTgsMenuButtons; ++i) {
    const uint32_t top = uint32_t(kButtonTop + kButtonStep * i);
    FillRect(p, kButtonLeft, top, kButtonLeft + kButtonWidth, top + kButtonHeight, 0);
  }
  return p;
}

// One button's strip of cells: each drawn on a surface, its label centred by its measured box.
bool Button(bw::TextRenderer& font, const std::string& label, WgxPicture& out) {
  bw::ImageSurface strip;
  if (strip.Create(int32_t(kButtonWidth) * kCells, kButtonHeight, 32, bw::kImageDibSection) != 0)
    return false;
  bw::TextBox box;
  if (!bw::MeasureTextBox(font, label.c_str(), &box)) return false;
  out = Blank(kButtonWidth * kCells, kButtonHeight);
  for (int cell = 0; cell < kCells; ++cell) {
    const uint32_t left = kButtonWidth * uint32_t(cell);
    Framed(out, left, 0, left + kButtonWidth, kButtonHeight, kLooks[cell].face, kLooks[cell].edge);
  }
  for (uint32_t y = 0; y < kButtonHeight; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(strip.GetRowPointer(int32_t(y)));
    for (uint32_t x = 0; x < out.width; ++x) row[x] = out.pixels[size_t(y) * out.width + x];
  }
  for (int cell = 0; cell < kCells; ++cell) {
    const uint32_t c = kLooks[cell].label;
    font.SetTextColor(uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c));
    const int32_t x = int32_t(kButtonWidth) * cell + (int32_t(kButtonWidth) - box.width) / 2;
    const int32_t y = (int32_t(kButtonHeight) - box.height) / 2 + (cell == 2 ? 1 : 0);
    if (font.DrawText(&strip, x - box.x, y - box.y, label.c_str(), nullptr, nullptr) !=
        bw::kTextDone)
      return false;
  }
  // The text is drawn over opaque faces: every pixel keeps its alpha.
  for (uint32_t y = 0; y < kButtonHeight; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(strip.GetRowPointer(int32_t(y)));
    for (uint32_t x = 0; x < out.width; ++x) {
      uint32_t& px = out.pixels[size_t(y) * out.width + x];
      px = (px & 0xFF000000u) | (row[x] & 0xFFFFFFu);
    }
  }
  return true;
}

bool Put(const fs::path& path, const std::vector<uint8_t>& bytes) {
  return bw::tools::WriteFileBytes("menu_files", path, bytes);
}

int Make(const fs::path& dir) {
  bw::BuildBlendTables();
  bw::TrigTables trig;
  bw::ScopedGlobal<bw::TrigTables> trigScope(&trig);
  bw::OutlineTextRenderer font(bw::host::FreeTypeGlyphSource(), 64);
  if (font.SetFont(kLabelHeight, false, false, bw::host::Cp932Literal("ＭＳ ゴシック").c_str()) !=
      0) {
    std::fprintf(stderr, "menu_files: no Gothic face\n");
    return kExitFailed;
  }
  std::error_code ec;
  fs::create_directories(dir / "SYS", ec);
  if (!Put(dir / "SYS/SM_BASE.WGX", bw::tools::WriteWgx(Base()))) return kExitFailed;
  bw::GmpFile gmp;
  for (int i = 0; i < bw::kTgsMenuButtons; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "SM_B%02d.WGX", i);
    WgxPicture button;
    if (!Button(font, bw::host::Cp932Literal(kLabels[i]), button)) {
      std::fprintf(stderr, "menu_files: cannot draw %s\n", name);
      return kExitFailed;
    }
    if (!Put(dir / "SYS" / name, bw::tools::WriteWgx(button))) return kExitFailed;
    gmp.entries.push_back({name, 1, kButtonLeft, int16_t(kButtonTop + kButtonStep * i), 255, true,
                           uint16_t(kButtonWidth), uint16_t(kButtonHeight),
                           bw::GmpFullStateCode(1)});
  }
  return Put(dir / "SYS/SM_BG.GMP", bw::tools::WriteGmp(gmp)) ? kExitOk : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  if (bw::tools::PrintHelpIfAsked(argc, argv, kUsage)) return kExitOk;
  if (argc != 2) return bw::tools::PrintUsage(kUsage);
  return Make(argv[1]);
}
