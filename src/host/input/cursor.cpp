#include "host/input/cursor.h"

#include <SDL.h>

#include <array>
#include <atomic>
#include <mutex>

#include "host/backend.h"

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

std::mutex cursorLock;
std::array<SDL_Cursor*, kCursorShapeCount> cursors{};  // guarded by cursorLock, made on first use
std::atomic<int32_t> shapeNow{0};
std::atomic<int32_t> displayCount{0};
std::atomic<bool> keyboardGrabbed{false};
std::atomic<bool> changed{false};

bool VideoUp() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

SDL_Cursor* DrawnCursor(const char* const* rows, int hotX, int hotY) {
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, kDrawnSize, kDrawnSize, 32, SDL_PIXELFORMAT_ARGB8888);
  if (!surface) return nullptr;
  for (int y = 0; y < kDrawnSize; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(surface->pixels) + y * surface->pitch);
    for (int x = 0; x < kDrawnSize; ++x) {
      row[x] = rows[y][x] == 'X' ? 0xFF000000u : rows[y][x] == '.' ? 0xFFFFFFFFu : 0u;
    }
  }
  SDL_Cursor* cursor = SDL_CreateColorCursor(surface, hotX, hotY);
  SDL_FreeSurface(surface);
  return cursor;
}

SDL_Cursor* MakeCursor(int32_t shape) {
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

// Event thread only.
void ApplyNow() {
  if (!VideoUp()) return;
  int32_t shape = shapeNow;
  {
    std::lock_guard<std::mutex> hold(cursorLock);
    if (!cursors[shape]) cursors[shape] = MakeCursor(shape);
    if (cursors[shape]) SDL_SetCursor(cursors[shape]);
  }
  SDL_ShowCursor(displayCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
  if (SDL_Window* window = SDL_GetKeyboardFocus()) {
    SDL_SetWindowKeyboardGrab(window, keyboardGrabbed ? SDL_TRUE : SDL_FALSE);
  }
}

// SDL's cursors belong to the thread that owns the windows.
void Changed() {
  if (IsEventThread()) {
    changed = false;
    ApplyNow();
  } else {
    changed = true;
  }
}

}  // namespace

bool SetCursorShape(int32_t shape) {
  if (shape < 0 || shape >= kCursorShapeCount) return false;
  shapeNow = shape;
  Changed();
  return true;
}

int32_t CursorShape() { return shapeNow; }

int32_t ShowCursor(bool show) {
  int32_t count = show ? ++displayCount : --displayCount;
  Changed();
  return count;
}

void SetKeyboardGrab(bool grab) {
  keyboardGrabbed = grab;
  Changed();
}

bool IsKeyboardGrabbed() { return keyboardGrabbed; }

void ApplyCursorState() {
  if (changed.exchange(false)) ApplyNow();
}

}  // namespace bw::host
