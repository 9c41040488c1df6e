// gui_pictures FOLDER: draws the pictures of the demo's GUI screen into FOLDER: the backdrop with
// the picture map's three tiles, the map itself (8 bits, one index per tile, holes elsewhere),
// the button, check box and radio button cells and the list's scroll thumb.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "lib/bmp/bmp_builder.h"
#include "lib/file_bytes.h"

namespace {

namespace fs = std::filesystem;
using bw::tools::BmpFields;

// Where the map lies on the screen, and its tiles within it.
constexpr int32_t kMapX = 420;
constexpr int32_t kMapY = 320;
constexpr int32_t kMapWidth = 180;
constexpr int32_t kMapHeight = 100;
constexpr int32_t kTileWidth = 50;
constexpr uint8_t kHole = 255;

// The tile under a point of the map, or kHole.
uint8_t TileAt(int32_t x, int32_t y) {
  if (y < 10 || y >= kMapHeight - 10) return kHole;
  for (uint8_t tile = 0; tile < 3; ++tile) {
    const int32_t left = 5 + tile * (kTileWidth + 10);
    if (x >= left && x < left + kTileWidth) return tile;
  }
  return kHole;
}

// A 24-bit picture from a colour function (0xRRGGBB), rows top first.
std::vector<uint8_t> Picture(int32_t width, int32_t height,
                             const std::function<uint32_t(int32_t, int32_t)>& colour) {
  BmpFields bmp;
  bmp.width = width;
  bmp.height = -height;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t c = colour(x, y);
      bmp.data.insert(bmp.data.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)});
    }
    bmp.data.resize((bmp.data.size() + 3) & ~size_t{3});
  }
  return bw::tools::BuildBmp(bmp);
}

// Cells side by side, each a framed face; mark draws the cell's sign (true: the ink colour).
std::vector<uint8_t> Cells(int32_t cellWidth, int32_t height, const std::vector<uint32_t>& faces,
                           const std::function<bool(int32_t cell, int32_t x, int32_t y)>& mark) {
  return Picture(cellWidth * static_cast<int32_t>(faces.size()), height, [&](int32_t x, int32_t y) {
    const int32_t cell = x / cellWidth;
    const int32_t cx = x % cellWidth;
    if (cx == 0 || y == 0 || cx == cellWidth - 1 || y == height - 1) return 0x203040u;
    if (mark(cell, cx, y)) return 0x102060u;
    return faces[static_cast<size_t>(cell)];
  });
}

std::vector<uint8_t> Map() {
  BmpFields bmp;
  bmp.width = kMapWidth;
  bmp.height = kMapHeight;
  bmp.bits = 8;
  for (uint32_t i = 0; i < 256; ++i) bmp.palette.push_back(i * 0x010101u);
  std::vector<std::vector<uint8_t>> rows;
  for (int32_t y = kMapHeight - 1; y >= 0; --y) {
    std::vector<uint8_t> row;
    for (int32_t x = 0; x < kMapWidth; ++x) row.push_back(TileAt(x, y));
    rows.push_back(std::move(row));
  }
  bmp.data = bw::tools::PackIndexRows(rows, 8);
  return bw::tools::BuildBmp(bmp);
}

bool Write(const fs::path& path, const std::vector<uint8_t>& bytes) {
  return bw::tools::WriteFileBytes("gui_pictures", path, bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gui_pictures FOLDER\n");
    return 2;
  }
  const fs::path folder = argv[1];
  constexpr uint32_t kTiles[] = {0xD04040, 0x40B050, 0x4060D0};
  const auto backdrop = [&](int32_t x, int32_t y) -> uint32_t {
    const uint8_t tile = TileAt(x - kMapX, y - kMapY);
    if (x >= kMapX && y >= kMapY && x < kMapX + kMapWidth && y < kMapY + kMapHeight &&
        tile != kHole) {
      return kTiles[tile];
    }
    const uint32_t level = 0x30 + static_cast<uint32_t>(y) * 0x40 / 480;
    return level << 16 | level << 8 | (level + 0x30);
  };
  // Buttons: normal, hover, pressed. Check boxes: the six cells of layout 0 (normal, hover,
  // pressed, then checked). Radio buttons: the four of layout 2 (normal, hover, pressed, checked).
  const auto nothing = [](int32_t, int32_t, int32_t) { return false; };
  const auto tick = [](int32_t cell, int32_t x, int32_t y) {
    return cell >= 3 && x >= 5 && x < 15 && y >= 5 && y < 15 && (x - 5 == y - 5 || x + y == 19);
  };
  const auto dot = [](int32_t cell, int32_t x, int32_t y) {
    return cell == 3 && (x - 10) * (x - 10) + (y - 10) * (y - 10) < 20;
  };
  const bool ok =
      Write(folder / "GUIBG.BMP", Picture(640, 480, backdrop)) &&
      Write(folder / "GUIMAP.BMP", Map()) &&
      Write(folder / "GUIBTN.BMP", Cells(96, 28, {0xC8D0D4, 0xE8F0F4, 0x909498}, nothing)) &&
      Write(folder / "GUICHK.BMP",
            Cells(20, 20, {0xF0F0F0, 0xFFFFC0, 0xC0C0C0, 0xF0F0F0, 0xFFFFC0, 0xC0C0C0}, tick)) &&
      Write(folder / "GUIRAD.BMP", Cells(20, 20, {0xF0F0F0, 0xFFFFC0, 0xC0C0C0, 0xF0F0F0}, dot)) &&
      Write(folder / "GUITHUMB.BMP",
            Cells(8, 12, {0x8090A0, 0xA0B0C0, 0x607080, 0x505050}, nothing));
  return ok ? 0 : 1;
}
