// The system menu the reader opens while a message waits: twelve buttons over a base picture,
// placed beside the pointer. The frame runs it (TgsFrame::SystemMenu) and acts on its answer;
// the parts, the pointer and the fade are the screen's, behind TgsMenuHost.
#pragma once

#include <cstdint>
#include <string>

namespace bw {

constexpr int kTgsMenuButtons = 12;
constexpr int kTgsMenuQuitButton = 11;
constexpr int32_t kTgsMenuWidth = 133;
constexpr int32_t kTgsMenuHeight = 280;
constexpr uint32_t kTgsMenuFadeMs = 150;

// SystemMenu answers besides the commands 8-18.
constexpr int32_t kMenuClosed = -1;
constexpr int32_t kMenuQuit = -2;

// A pointer coordinate while the pointer is parked at a screen side, and the pointer states
// that say which side.
constexpr int32_t kPointerParked = -2;
constexpr int kPointerParkedLeft = 4;
constexpr int kPointerParkedTop = 8;

struct TgsMenuPlace {
  int32_t x = 0;
  int32_t y = 0;
  bool moved = false;  // the pointer has to be brought onto the row's button
};

// The menu's top-left corner for a pointer at (px, py) in pointer state state, with row the
// button the pointer starts on (0-11).
TgsMenuPlace PlaceSystemMenu(int32_t px, int32_t py, int state, int row);

class TgsMenuHost {
 public:
  virtual ~TgsMenuHost() = default;

  // The pointer on the 800 x 600 screen (kPointerParked on a side it is parked at) and its state.
  virtual void GetPointer(int32_t& x, int32_t& y, int& state) = 0;
  // Makes the twelve buttons of "SYS/SM_BG.GMP" in a part group of their own, moved by (x, y),
  // and "SYS/SM_BASE.WGX" at (x, y), all hidden; only the buttons answer the pointer while the
  // menu is open. 0, or the loader's code with nothing left made.
  [[nodiscard]] virtual int Open(int32_t x, int32_t y) = 0;
  // Button i's state; checked only where the button has a check state, and a non-empty tooltip
  // replaces the file's.
  virtual void SetButton(int button, bool enabled, bool checked, const std::string& tooltip) = 0;
  // Its top-left on the screen; false when the menu has no such button.
  [[nodiscard]] virtual bool ButtonCorner(int button, int32_t& x, int32_t& y) = 0;
  virtual void FocusButton(int button) = 0;
  // False when the pointer cannot be placed.
  [[nodiscard]] virtual bool MovePointer(int32_t x, int32_t y) = 0;
  // fade: every part fades in (show) or out over kTgsMenuFadeMs on the menu's "sp_fade" task;
  // false when there is no task. Without fade, the parts are shown or hidden at once.
  [[nodiscard]] virtual bool SetMenuFade(bool fade, bool show) = 0;
  virtual bool FadeRunning() = 0;
  // Updates the parts at now: the button clicked since the last take, or -1.
  virtual int TakeClickedButton(uint32_t now) = 0;
  virtual void FadeOutMusic(uint32_t ms) = 0;
  // Removes the fade task and the parts, and gives the pointer back what it answered before.
  virtual void Close() = 0;
};

}  // namespace bw
