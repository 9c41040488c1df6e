#include "host/sdl/sdl_cursors.h"

#include <SDL.h>

namespace bw::host {

namespace {

constexpr int32_t kShapeHelp = 2;
constexpr int32_t kShapeUpArrow = 10;
constexpr int kDrawnSize = 16;

// 'X' black, '.' white, anything else clear.
constexpr const char* kUpArrow[kDrawnSize] = {
    "       X        ", "      X.X       ", "     X...X      ", "    X.....X     ",
    "   X.......X    ", "  X.........X   ", " XXXXX...XXXXX  ", "     X...X      ",
    "     X...X      ", "     X...X      ", "     X...X      ", "     X...X      ",
    "     X...X      ", "     X...X      ", "     XXXXX      ", "                "};
constexpr const char* kHelp[kDrawnSize] = {
    "X               ", "XX      XXXX    ", "X.X    X....X   ", "X..X  X..XX..X  ",
    "X...X X.X  X.X  ", "X....X    X..X  ", "X.....X  X..X   ", "X......XX..X    ",
    "X.......X.X     ", "X..XXXXXX.X     ", "X.X     XXX     ", "XX      X.X     ",
    "X       XXX     ", "                ", "                ", "                "};

SDL_Cursor* DrawnCursor(const char* const* rows, int hotX, int hotY) {
  SDL_Surface* surface =
      SDL_CreateRGBSurfaceWithFormat(0, kDrawnSize, kDrawnSize, 32, SDL_PIXELFORMAT_ARGB8888);
  if (!surface) return nullptr;
  for (int y = 0; y < kDrawnSize; ++y) {
    auto* row =
        reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(surface->pixels) + y * surface->pitch);
    for (int x = 0; x < kDrawnSize; ++x) {
      row[x] = rows[y][x] == 'X' ? 0xFF000000u : rows[y][x] == '.' ? 0xFFFFFFFFu : 0u;
    }
  }
  SDL_Cursor* cursor = SDL_CreateColorCursor(surface, hotX, hotY);
  SDL_FreeSurface(surface);
  return cursor;
}

// The program's own cursors, 32 x 32 monochrome: 'X' black, '.' white, 'I' the screen's pixels
// inverted (black where the platform cannot invert), anything else clear.
constexpr int kProgramSize = 32;
constexpr const char* kPointingHand[] = {
    "     XX",           "    X..X",          "    X..X",          "    X..X",
    "    X..X",          "    X..XXX",        "    X..X..XXX",     "    X..X..X..XX",
    " XX X..X..X..X.X",  "X..XX........X..X", "X...X...........X", " X..............X",
    "  X.............X", "  X............X",  "   X...........X",  "   X..........X",
    "    X.........X",   "    X........X",    "     X.......X",    "     XXXXXXXXX"};
constexpr const char* kInvertedBeam[] = {
    "     IIIIIII", "        I", "        I", "        I", "        I", "        I",
    "        I",    "        I", "        I", "        I", "        I", "        I",
    "        I",    "        I", "        I", "        I", "        I", "     IIIIIII"};

template <size_t Rows>
SDL_Cursor* MonochromeCursor(const char* const (&rows)[Rows], int hotX, int hotY) {
  uint8_t data[kProgramSize * kProgramSize / 8] = {};
  uint8_t mask[kProgramSize * kProgramSize / 8] = {};
  for (size_t y = 0; y < Rows; ++y) {
    for (int x = 0; rows[y][x] != '\0' && x < kProgramSize; ++x) {
      const size_t at = y * (kProgramSize / 8) + static_cast<size_t>(x / 8);
      const uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
      const char c = rows[y][x];
      if (c == 'X' || c == 'I') data[at] |= bit;
      if (c == 'X' || c == '.') mask[at] |= bit;
    }
  }
  return SDL_CreateCursor(data, mask, kProgramSize, kProgramSize, hotX, hotY);
}

SDL_Cursor* MakeCursor(int32_t shape) {
  if (shape == kCursorPointingHand) return MonochromeCursor(kPointingHand, 5, 0);
  if (shape == kCursorInverted) return MonochromeCursor(kInvertedBeam, 8, 3);
  static constexpr SDL_SystemCursor kSystem[kCursorShapeCount] = {
      SDL_SYSTEM_CURSOR_ARROW,    SDL_SYSTEM_CURSOR_CROSSHAIR, SDL_SYSTEM_CURSOR_ARROW,
      SDL_SYSTEM_CURSOR_IBEAM,    SDL_SYSTEM_CURSOR_NO,        SDL_SYSTEM_CURSOR_SIZEALL,
      SDL_SYSTEM_CURSOR_SIZENESW, SDL_SYSTEM_CURSOR_SIZENS,    SDL_SYSTEM_CURSOR_SIZENWSE,
      SDL_SYSTEM_CURSOR_SIZEWE,   SDL_SYSTEM_CURSOR_ARROW,     SDL_SYSTEM_CURSOR_WAITARROW,
      SDL_SYSTEM_CURSOR_WAIT};
  if (shape == kShapeHelp) return DrawnCursor(kHelp, 0, 0);
  if (shape == kShapeUpArrow) return DrawnCursor(kUpArrow, 7, 0);
  return SDL_CreateSystemCursor(kSystem[shape]);
}

}  // namespace

SdlCursors::~SdlCursors() {
  for (SDL_Cursor* cursor : cursors_) {
    if (cursor) SDL_FreeCursor(cursor);
  }
}

void SdlCursors::Apply(const CursorState& state) {
  if (state.shape >= 0 && state.shape < kCursorTableSize) {
    SDL_Cursor*& cursor = cursors_[static_cast<size_t>(state.shape)];
    if (!cursor) cursor = MakeCursor(state.shape);
    if (cursor) SDL_SetCursor(cursor);
  }
  SDL_ShowCursor(state.visible ? SDL_ENABLE : SDL_DISABLE);
  if (SDL_Window* window = SDL_GetKeyboardFocus()) {
    SDL_SetWindowKeyboardGrab(window, state.keyboardGrabbed ? SDL_TRUE : SDL_FALSE);
  }
}

}  // namespace bw::host
